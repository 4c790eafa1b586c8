#include "import/csv_normalizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/exceptions.h"
#include "support/block_pool.h"
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

AnsiString Joined(const TPoolText& First, const TPoolText& Second) {
  return AnsiString(First.Data(), First.Size()) + AnsiString(Second.Data(), Second.Size());
}

// The room after each part is there, the first part's always: under the address sanitizer a
// short block fails here.
void FillTails(const TPoolText& First, const TPoolText& Second, size_t Tail) {
  ASSERT_NE(First.Data(), nullptr);
  for (const TPoolText* part : {&First, &Second})
    if (part->Data()) std::memset(part->Data() + part->Size(), '\r', Tail);
}

// Split anywhere, the two parts must give the one-part text: a split inside quotes (the quote
// state crosses lines), between CR and LF, inside a line, before or after a byte 0.
TEST(CSVNormalizer, TwoPartsAtEverySplitGiveWhatOnePartGives) {
  std::vector<AnsiString> texts = {
      "a;\"b\r\nc\";d\r\ne;f\r\n",
      "n;\"one\r\ntwo\r\n\"\"three\"\"\";x\r\ny;z\r\n",
      "a\r\r\nb\n\rc\r\"\"\nd\r\n",
      "a;b\nc;d\ne;f\n",
      "a;b\rc;d\re;f",
      "x;\"open\r\ny;1\r\nz;2\r\n",
      AnsiString("a;1\r\nb\0;2\r\nc;3\r\n", 17),
      AnsiString("a;1\r\nb;2\r\nc\0;3\r\n", 17),
      "\r\n\r\n\"\"\r\n",
      "\"\"\"\"",
      "\"\"\r\na\r\n",
  };
  std::mt19937 random(11);
  for (int i = 0; i < 60; ++i)
    texts.push_back(RandomText(random, 1 + random() % 40, "ab;\"\"\r\n\n"));
  size_t twoParts = 0;
  for (const AnsiString& text : texts) {
    const AnsiString expected = TwoStepNormalization(text);
    for (const bool blocks : {true, false}) {
      const TBlockScanSetting setting(blocks);
      for (size_t split = 0; split <= text.size(); ++split) {
        TBlockPool pool;
        TPoolText first(pool), second(pool);
        TLoadedText loaded(text);
        NormalizeCSVTextInParts(loaded, 3, first, second, split);
        ASSERT_EQ(Joined(first, second), expected)
            << testing::PrintToString(text) << " split at " << split;
        FillTails(first, second, 3);
        if (second.Size() > 0) {
          ++twoParts;
          ASSERT_GE(first.Size(), 2u) << testing::PrintToString(text) << " split at " << split;
          EXPECT_EQ(AnsiString(first.Data() + first.Size() - 2, 2), "\r\n");
        }
      }
    }
  }
  EXPECT_GT(twoParts, 200u);
}

TEST(CSVNormalizer, SplitInsideQuotesFallsBackToOnePart) {
  const AnsiString text = "n;\"one\r\ntwo\";x\r\ny;z\r\n";
  const struct {
    size_t Split;
    AnsiString Second;
  } cases[] = {
      {8, ""},         // after the quoted LF: the first part goes on over the rest
      {16, "y;z\r\n"}, // after the record's LF: two parts
      {7, ""},         // between the quoted CR and LF
      {17, ""},        // inside the last line
  };
  for (const auto& c : cases) {
    TBlockPool pool;
    TPoolText first(pool), second(pool);
    TLoadedText loaded(text);
    NormalizeCSVTextInParts(loaded, 0, first, second, c.Split);
    EXPECT_EQ(AnsiString(second.Data(), second.Size()), c.Second) << c.Split;
    EXPECT_EQ(Joined(first, second), "n;one<br><br>two;x\r\ny;z\r\n") << c.Split;
  }
}

// An export whose notes hold line breaks and doubled quotes: most line breaks after the middle
// stand inside quotes, and the split left to the normaliser still finds one between two records.
TEST(CSVNormalizer, LargeTextSplitsAtARecordAndGivesWhatOnePartGives) {
  AnsiString text = "\"Vorname\";\"Telefon\";\"Notizen\"\r\n";
  for (int i = 0; text.size() < (3u << 20); ++i)
    text += "\"Anna " + std::to_string(i) + "\";\"030 " + std::to_string(i) +
            "\";\"eins\r\nzwei\r\ndrei\r\nvier \"\"f\u00fcnf\"\"\r\nsechs\"\r\n";
  TFastMemoryStream stream;
  NormalizeCSVText(std::string_view(text), stream);
  TBlockPool pool;
  TPoolText first(pool), second(pool);
  TLoadedText loaded(text);
  NormalizeCSVTextInParts(loaded, 18, first, second);
  EXPECT_GT(second.Size(), 0u);
  EXPECT_EQ(Joined(first, second), Content(stream));
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
