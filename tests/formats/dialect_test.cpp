#include "formats/dialect.h"

#include <gtest/gtest.h>

#include "support/fast_memory_stream.h"
#include "tests/test_streams.h"

namespace {

AnsiString Repeat(const AnsiString& S, size_t Count) {
  AnsiString text;
  for (size_t i = 0; i < Count; ++i)
    text += S;
  return text;
}

struct DetectCase {
  const char* Name;
  AnsiString Text;
  char Delimiter;
  AnsiString Quote;
  AnsiString LineBreak;
};

class DetectTest : public testing::TestWithParam<DetectCase> {};

TEST_P(DetectTest, Options) {
  TCSVOptions options;
  options.Delimiter = 'x';
  options.Quote = "q";
  options.LineBreak = "l";
  DetectCSVOptions(GetParam().Text, options);
  EXPECT_EQ(options.Delimiter, GetParam().Delimiter);
  EXPECT_EQ(options.Quote, GetParam().Quote);
  EXPECT_EQ(options.LineBreak, GetParam().LineBreak);
}

INSTANTIATE_TEST_SUITE_P(
    Delimiter, DetectTest,
    testing::Values(DetectCase{"Nothing", "", ',', "", "\r\n"},
                    DetectCase{"CommaWinsTieWithSemicolon", "a,b;c", ',', "", "\r\n"},
                    DetectCase{"SemicolonWinsTieWithTab", "a;b\tc", ';', "", "\r\n"},
                    DetectCase{"TabAlone", "a\tb\tc", '\t', "", "\r\n"},
                    DetectCase{"MostSemicolons", "a,b;c;d", ';', "", "\r\n"},
                    DetectCase{"TabBeatsEqualCommaAndSemicolon", "a,b;c\td\te", '\t', "", "\r\n"},
                    DetectCase{"OnlyAfterTheSample", Repeat("x", 10000) + ";;;\t\t", ',', "",
                               "\r\n"},
                    DetectCase{"CountedInsideQuotes", "\"a;b;c\",d", ';', "", "\r\n"}),
    [](const testing::TestParamInfo<DetectCase>& info) { return info.param.Name; });

// Quote is kept when the quotes outnumber 1.5 x the delimiter count, rounded half to even.
INSTANTIATE_TEST_SUITE_P(
    Quote, DetectTest,
    testing::Values(
        DetectCase{"NoDelimiterOneQuote", "\"", ',', "\"", "\r\n"},
        DetectCase{"NoDelimiterNoQuote", "x", ',', "", "\r\n"},
        DetectCase{"One_TwoQuotes", ";\"\"", ';', "", "\r\n"},
        DetectCase{"One_ThreeQuotes", ";\"\"\"", ';', "\"", "\r\n"},
        DetectCase{"Two_ThreeQuotes", ";;\"\"\"", ';', "", "\r\n"},
        DetectCase{"Two_FourQuotes", ";;\"\"\"\"", ';', "\"", "\r\n"},
        DetectCase{"Three_FourQuotes", ";;;" + Repeat("\"", 4), ';', "", "\r\n"},
        DetectCase{"Three_FiveQuotes", ";;;" + Repeat("\"", 5), ';', "\"", "\r\n"},
        DetectCase{"Five_EightQuotes", Repeat(",", 5) + Repeat("\"", 8), ',', "", "\r\n"},
        DetectCase{"Five_NineQuotes", Repeat(",", 5) + Repeat("\"", 9), ',', "\"", "\r\n"},
        DetectCase{"QuotesAfterTheSampleNotCounted", ";" + Repeat("x", 9999) + "\"\"\"", ';', "",
                   "\r\n"}),
    [](const testing::TestParamInfo<DetectCase>& info) { return info.param.Name; });

INSTANTIATE_TEST_SUITE_P(
    LineBreak, DetectTest,
    testing::Values(DetectCase{"OneLine", "a;b", ';', "", "\r\n"},
                    DetectCase{"CrLf", "a\r\nb", ',', "", "\r\n"},
                    DetectCase{"LfOnly", "a\nb\n", ',', "", "\n"},
                    DetectCase{"CrOnly", "a\rb\r", ',', "", "\r"},
                    DetectCase{"LoneCrAmongLfs", "a\nb\nc\rd\n", ',', "", "\r"},
                    DetectCase{"LfCrIsNotCrLf", "a\n\rb", ',', "", "\r"},
                    DetectCase{"OneCrLfAmongLfs", "a\nb\nc\r\n", ',', "", "\r\n"},
                    DetectCase{"CrLfSplitByTheSampleEnd", Repeat("x", 9999) + "\r\n", ',', "",
                               "\r"}),
    [](const testing::TestParamInfo<DetectCase>& info) { return info.param.Name; });

TEST(DetectFromStream, KeepsThePositionAndStopsAtNul) {
  TFastMemoryStream stream;
  const AnsiString text = AnsiString("a,b\n", 4) + AnsiString(";;;;\0;;;", 8);
  stream.WriteBuffer(text.data(), int32_t(text.size()));
  stream.SetPosition(5);
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);
  EXPECT_EQ(stream.GetPosition(), 5);
  EXPECT_EQ(options.Delimiter, ';'); // 4 before the byte 0; the 3 after it are not seen
  EXPECT_EQ(options.Quote, "");
  EXPECT_EQ(options.LineBreak, "\n");
}

TEST(DetectFromStream, LooksOnlyAtTheFirst10000Bytes) {
  TFastMemoryStream stream;
  const AnsiString text = Repeat("x", 10000) + Repeat(";", 50);
  stream.WriteBuffer(text.data(), int32_t(text.size()));
  TCSVOptions options;
  DetectCSVOptionsFromStream(stream, options);
  EXPECT_EQ(options.Delimiter, ',');
  EXPECT_EQ(stream.GetPosition(), int64_t(text.size()));
}

TEST(DetectFromStream, EmptyAndShortDeliveries) {
  TFastMemoryStream empty;
  TCSVOptions options;
  DetectCSVOptionsFromStream(empty, options);
  EXPECT_EQ(options.Delimiter, ',');
  EXPECT_EQ(options.Quote, "");
  EXPECT_EQ(options.LineBreak, "\r\n");

  ChunkedStream chunked("a\tb\tc;d\r\n", 2); // the whole sample, even in pieces
  DetectCSVOptionsFromStream(chunked, options);
  EXPECT_EQ(options.Delimiter, '\t');
  EXPECT_EQ(chunked.GetPosition(), 0);
}

} // namespace
