#include "support/byte_scan.h"

#include <gtest/gtest.h>

#include "tests/test_scan.h"

namespace {

// Every path against the plain one, over texts in blocks of exactly their size (under the
// address sanitizer a read past a text fails here), from every start.
TEST(ByteScan, EveryPathCountsAndFindsWhatThePlainOneDoes) {
  const std::vector<AnsiString> endings = {"", "\"", "x\"", AnsiString(1, '\0'), "\"\"\""};
  for (const AnsiString& text : ScanTexts(endings, "ab\"\r\n", 3)) {
    const auto copy = ExactCopy(text);
    const std::string_view view(copy.get(), text.size());
    for (const char byte : {'"', '\0', '\n'}) {
      const size_t count = CountByte(view, byte, TScanPath::Plain);
      for (const TScanPath path : TakeableScanPaths()) {
        ASSERT_EQ(CountByte(view, byte, path), count) << testing::PrintToString(text);
        for (size_t from = 0; from <= text.size() + 1; ++from)
          ASSERT_EQ(FindByte(view, byte, from, path), FindByte(view, byte, from, TScanPath::Plain))
              << testing::PrintToString(text) << " from " << from;
      }
    }
  }
}

} // namespace
