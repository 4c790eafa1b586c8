#include "import/csv_normalizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/exceptions.h"
#include "support/block_pool.h"
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

// The loaded text of Bytes, in a block of exactly its size, normalised on Path; the text itself
// to Loaded. Where a second thread may start, the two runs from there must give the same, and the
// room after each run of lines is filled: under the address sanitizer a short block fails here.
AnsiString Normalized(const AnsiString& Bytes, TScanPath Path, AnsiString& Loaded,
                      bool* Cut = nullptr) {
  const TScanPathSetting setting(Path);
  const auto copy = ExactCopy(Bytes);
  TBlockPool pool;
  const TLoadedText text = LoadTextFromBytes(std::string_view(copy.get(), Bytes.size()), pool);
  Loaded.clear();
  text.ForEachPiece(0, text.Bytes().size(), [&](std::string_view Piece) {
    Loaded += Piece;
    return true;
  });
  bool whole = true;
  const auto normalized = [&](size_t From, size_t To) {
    AnsiString lines;
    whole = NormalizeCSVLines(text, From, To, 3, pool, [&](char* Lines, size_t Length) {
      EXPECT_EQ(AnsiString(Lines + Length - 2, 2), "\r\n");
      std::memset(Lines + Length, '\r', 3);
      lines.append(Lines, Length);
      return true;
    });
    return lines;
  };
  const size_t size = text.Bytes().size();
  const AnsiString onePass = normalized(0, size);
  const size_t cut = CSVCutAfterMiddle(text.Bytes());
  if (Cut) *Cut = cut > 0;
  if (cut > 0) {
    const AnsiString first = normalized(0, cut);
    if (whole) {
      EXPECT_EQ(first + normalized(cut, size), onePass) << "cut at " << cut;
    }
  }
  return onePass;
}

// Every path against the two steps, over short texts where the stops fall at every offset
// around the sixteen-byte blocks, and over a large one that two threads normalise.
TEST(CSVNormalizer, EveryPathMatchesTheTwoSteps) {
  const std::vector<AnsiString> endings = {
      "", "\"", "\r\n", "\n\"", "\"a\r\nb\"\"c\";d\n", "\r", "\n", "\"\r", AnsiString("\0x", 2)};
  std::vector<AnsiString> texts = ScanTexts(endings, "abcdefghijklmnop\xE4;,\"\"\r\n", 11);
  std::mt19937 random(7);
  texts.push_back(RandomText(random, 5 << 20, "abcdefghijklmnopqrstuvwxyz;,\"\"\"\r\n"));
  for (const AnsiString& text : texts) {
    for (const TScanPath path : TakeableScanPaths()) {
      AnsiString loaded;
      const AnsiString normalized = Normalized(text, path, loaded);
      ASSERT_EQ(normalized, TwoStepNormalization(loaded))
          << testing::PrintToString(text.substr(0, 100)) << " path " << int(path);
    }
  }
}

// A large text is cut after the first line break outside quotes after its middle. With the
// middle at every place of each snippet (the quote state crosses lines; CR and LF pairs; a
// UTF-8 sequence spelling a byte 0 ends the text), the two runs give what one pass gives.
TEST(CSVNormalizer, CutAtEveryPlaceNearTheMiddleGivesWhatOnePassGives) {
  const AnsiString snippets[] = {
      "a;\"b\r\nc\";d\r\ne;f\r\n",  "n;\"one\r\ntwo\r\n\"\"three\"\"\";x\r\n",
      "a\r\r\nb\n\rc\r\"\"\nd\r\n", "a;b\rc;d\re;f\r",
      "x;\"open\r\ny;1\r\n",        "\xC3\xA4\n\xC0\x80\nz\n",
  };
  const AnsiString record = "Name;0301 23;\"Notiz\"\r\n";
  size_t twoParts = 0;
  for (const AnsiString& snippet : snippets) {
    AnsiString head;
    while (head.size() < (600u << 10))
      head += record;
    for (size_t at = 0; at < snippet.size(); ++at) {
      // The middle falls at the snippet's byte at.
      const size_t total = 2 * (head.size() + at) + 1;
      AnsiString text = head + snippet;
      text.append(total - text.size(), 'x');
      AnsiString loaded;
      bool cut = false;
      const AnsiString normalized = Normalized(text, ActiveScanPath(), loaded, &cut);
      ASSERT_EQ(normalized, TwoStepNormalization(loaded))
          << testing::PrintToString(snippet) << " middle at " << at;
      twoParts += cut;
    }
  }
  EXPECT_GT(twoParts, 20u);
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
