#include "import/found_text.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/test_locale.h"

namespace {

TEST(FoundText, FormatCount) {
  const std::pair<int64_t, AnsiString> cases[] = {
      {0, "0"},          {999, "999"},
      {1234, "1.234"},   {1234567, "1.234.567"},
      {-1000, "-1.000"}, {INT64_MIN, "-9.223.372.036.854.775.808"}};
#ifndef _WIN32
  TLocaleEnvironment locale;
  locale.Use("de_DE.UTF-8");
#endif
  // The Windows suite runs under a German user locale.
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(FormatCount(value), expected) << value;
#ifndef _WIN32
  const std::pair<const char*, AnsiString> others[] = {{"de_CH.UTF-8", "1\x92"
                                                                       "234"},
                                                       {"en_US.UTF-8", "1,234"},
                                                       {"C", "1234"}};
  for (const auto& [name, expected] : others) {
    locale.Use(name);
    EXPECT_EQ(FormatCount(1234), expected) << name;
  }
#endif
}

TEST(FoundText, PlainAndWithTheCountsInBold) {
  // The Windows suite runs under a German user locale.
#ifndef _WIN32
  TLocaleEnvironment locale;
  locale.Use("de_DE.UTF-8");
#endif
  EXPECT_EQ(FoundText({1234, 0}, false), "1.234 Namen 0 Nummern gefunden.");
  EXPECT_EQ(FoundText({2, 3}, true), "<b>2</b> Namen <b>3</b> Nummern gefunden.");
}

} // namespace
