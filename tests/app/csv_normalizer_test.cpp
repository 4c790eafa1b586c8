#include "app/csv_normalizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/exceptions.h"
#include "support/block_scan.h"
#include "tests/test_files.h"
#include "tests/test_scan.h"

namespace {

AnsiString Content(TFastMemoryStream& Stream) {
  return Stream.GetSize() == 0
             ? AnsiString()
             : AnsiString(static_cast<const char*>(Stream.Memory()), size_t(Stream.GetSize()));
}

AnsiString NormalizedFile(const AnsiString& Bytes) {
  TTempDir dir;
  TFastMemoryStream stream;
  stream.WriteBuffer("stale", 5);
  NormalizeCSVData(dir.Write("in.csv", Bytes), stream);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  return Content(stream);
}

struct NormalizeCase {
  const char* Name;
  AnsiString File;
  AnsiString Expected;
};

class NormalizeTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, Stream) {
  EXPECT_EQ(NormalizedFile(GetParam().File), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    CSVNormalizer, NormalizeTest,
    testing::Values(
        NormalizeCase{"Empty", "", ""},
        NormalizeCase{"LastLineGetsCrLf", "a;b\r\n1;2", "a;b\r\n1;2\r\n"},
        NormalizeCase{"QuotedCrLfBecomesTwoBreaks", "n;note\r\nx;\"one\r\ntwo\"\r\n",
                      "n;note\r\nx;one<br><br>two\r\n"},
        NormalizeCase{"QuotedLoneLf", "\"a\nb\";c\n", "a<br>b;c\r\n"},
        NormalizeCase{"QuotedDelimiterLosesItsQuotes", "\"M\xFCller; Hans\";030\r\n",
                      "M\xFCller; Hans;030\r\n"},
        NormalizeCase{"DoubledQuotesVanish", "\"say \"\"hi\"\"\";x\r\n", "say hi;x\r\n"},
        NormalizeCase{"UnbalancedQuoteJoinsTheRest", "a;\"b\r\nc;d\r\ne\r\n",
                      "a;b<br><br>c;d<br><br>e<br><br>\r\n"},
        NormalizeCase{"LfOnly", "a;b\nc;d\n", "a;b\r\nc;d\r\n"},
        NormalizeCase{"CrOnly", "a;b\rc;d\r", "a;b\r\nc;d\r\n"},
        NormalizeCase{"CrLf", "a;b\r\nc;d\r\n", "a;b\r\nc;d\r\n"},
        NormalizeCase{"EmptyLineKept", "a\r\n\r\nb", "a\r\n\r\nb\r\n"},
        NormalizeCase{"LfCrIsTwoBreaks", "a\n\rb", "a\r\n\r\nb\r\n"},
        // Quotes vanish before the lines are cut: CR and LF with quotes between are one break.
        NormalizeCase{"QuotesBetweenCrAndLf", "a\r\"\"\nb", "a\r\nb\r\n"},
        NormalizeCase{"QuotedLfAfterCr", "a\r\"\n\"b", "a\r\n<br>b\r\n"},
        NormalizeCase{"QuoteAfterLastBreak", "a\r\n\"", "a\r\n"},
        NormalizeCase{"Utf8Decoded", "N\xC3\xA4he;1\n", "N\xE4he;1\r\n"},
        // A loaded text starting with a byte 0 (not UTF-16: one zero among three bytes).
        NormalizeCase{"LeadingNulGivesNothing", AnsiString("\0a;b", 4), ""},
        NormalizeCase{"TextEndsAtNul", AnsiString("a;b\r\nc\0d;e\r\n", 12), "a;b\r\nc\r\n"}),
    [](const testing::TestParamInfo<NormalizeCase>& info) { return info.param.Name; });

TEST(CSVNormalizer, NoQuoteNoStrayLineBreakInTheResult) {
  const AnsiString out = NormalizedFile("\"a\r\";\"b\"\"\nc\"\r\n\"\r\"\n\rx\"\"");
  size_t crlf = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    ASSERT_NE(out[i], '"');
    if (out[i] == '\r') {
      ASSERT_LT(i + 1, out.size());
      ASSERT_EQ(out[i + 1], '\n');
      ++crlf;
    } else if (out[i] == '\n') {
      ASSERT_EQ(out[i - 1], '\r');
    }
  }
  EXPECT_GT(crlf, 0u);
  EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
}

TEST(CSVNormalizer, LargeFileInOneReservation) {
  AnsiString file;
  for (int i = 0; i < 50000; ++i)
    file += "Name " + std::to_string(i) + ";\"0301 " + std::to_string(i) + "\"\n";
  const AnsiString out = NormalizedFile(file);
  AnsiString expected;
  for (int i = 0; i < 50000; ++i)
    expected += "Name " + std::to_string(i) + ";0301 " + std::to_string(i) + "\r\n";
  EXPECT_EQ(out, expected);
}

// The two steps as written down: the quote toggle into one text, then that text cut into lines.
AnsiString TwoStepNormalization(const AnsiString& Text) {
  AnsiString joined;
  bool inQuotes = false;
  for (char c : Text) {
    if (c == '"')
      inQuotes = !inQuotes;
    else if ((c == '\r' || c == '\n') && inQuotes)
      joined += "<br>";
    else
      joined += c;
  }
  TFastMemoryStream stream;
  WriteLinesCRLF(joined, stream);
  return Content(stream);
}

AnsiString RandomText(std::mt19937& Random, size_t Length, const char* Alphabet) {
  const size_t letters = std::strlen(Alphabet);
  AnsiString text(Length, ' ');
  for (char& c : text)
    c = Alphabet[Random() % letters];
  return text;
}

// Both paths against the two steps, on texts in blocks of exactly their size: under the address
// sanitizer a read past a text fails here. Plain runs and a sparse alphabet give blocks without a
// line break, which the block path copies whole.
TEST(CSVNormalizer, BothPathsMatchTheTwoSteps) {
  const std::vector<AnsiString> endings = {
      "", "\"", "\r\n", "\n\"", "\"a\r\nb\"\"c\";d\n", "\r", "\n", "\"\r", AnsiString("\0x", 2)};
  for (const AnsiString& text : ScanTexts(endings, "abcdefghijklmnop\xE4;,\"\"\r\n", 11)) {
    const auto copy = ExactCopy(text);
    const std::string_view view(copy.get(), text.size());
    const AnsiString expected = TwoStepNormalization(text);
    for (const bool blocks : {true, false}) {
      const TBlockScanSetting setting(blocks);
      TFastMemoryStream stream;
      NormalizeCSVText(view, stream);
      ASSERT_EQ(Content(stream), expected) << testing::PrintToString(text) << " blocks " << blocks;
    }
  }
}

TEST(CSVNormalizer, MatchesTheTwoStepsAcrossPiecesOfALargeText) {
  std::mt19937 random(7);
  AnsiString text = RandomText(random, 5 << 20, "abcdefghijklmnopqrstuvwxyz;,\"\"\"\r\n");
  TFastMemoryStream stream;
  NormalizeCSVText(text, stream);
  EXPECT_EQ(Content(stream), TwoStepNormalization(text));
}

TEST(CSVNormalizer, MissingFileLeavesTheStreamEmpty) {
  TTempDir dir;
  TFastMemoryStream stream;
  stream.WriteBuffer("old content", 11);
  try {
    NormalizeCSVData(dir.FileName("missing.csv"), stream);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "OSError");
  }
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST(WriteLinesCRLF, Lines) {
  struct Case {
    AnsiString Text;
    AnsiString Expected;
  };
  const Case cases[] = {{"", ""},
                        {"a", "a\r\n"},
                        {"a\r\n", "a\r\n"},
                        {"a\r\nb", "a\r\nb\r\n"},
                        {"\r\n", "\r\n"},
                        {"\n\n", "\r\n\r\n"},
                        {"a\n\rb", "a\r\n\r\nb\r\n"},
                        {"a\r\rb", "a\r\n\r\nb\r\n"},
                        {AnsiString("a\0b", 3), "a\r\n"},
                        {AnsiString("\0a", 2), ""}};
  for (const Case& c : cases) {
    TFastMemoryStream stream;
    WriteLinesCRLF(c.Text, stream);
    EXPECT_EQ(Content(stream), c.Expected) << testing::PrintToString(c.Text);
  }
}

TEST(WriteLinesCRLF, AppendsAtThePosition) {
  TFastMemoryStream stream;
  stream.WriteBuffer("head\r\n", 6);
  WriteLinesCRLF("x\ny", stream);
  EXPECT_EQ(Content(stream), "head\r\nx\r\ny\r\n");
}

} // namespace
