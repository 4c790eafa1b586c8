#include "formats/sheet_text.h"

#include <gtest/gtest.h>

#include "formats/workbook_errors.h"

namespace {

struct ConvertCase {
  const char* Utf8;
  const char* Cell;
};

class CellConverterTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(CellConverterTest, CellForm) {
  TCellConverter converter;
  AnsiString out = "x";
  converter.Append(GetParam().Utf8, out);
  EXPECT_EQ(out, AnsiString("x") + GetParam().Cell);
}

INSTANTIATE_TEST_SUITE_P(
    SheetText, CellConverterTest,
    testing::Values(ConvertCase{"Anna Muster", "Anna Muster"}, ConvertCase{"", ""},
                    // Windows-1252, best fit, and one "?" for a character beyond U+FFFF.
                    ConvertCase{"J\xC3\xB6rg M\xC3\xBCller \xE2\x82\xAC", "J\xF6rg M\xFCller \x80"},
                    ConvertCase{"\xC5\x81ukasz", "Lukasz"},
                    ConvertCase{"a\xF0\x9F\x98\x80"
                                "b",
                                "a?b"},
                    // A TAB is a blank; a line break or a quote quotes the cell.
                    ConvertCase{"a\tb", "a b"}, ConvertCase{"a\nb", "\"a\nb\""},
                    ConvertCase{"a\rb", "\"a\rb\""},
                    ConvertCase{"Sagt \"Chefin\"\t", "\"Sagt \"\"Chefin\"\" \""},
                    ConvertCase{"\"", "\"\"\"\""}));

struct NumberCase {
  const char* Value;
  size_t Width;
  const char* Digits; // nullptr: not a whole number of at most 15 digits
};

class WholeNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(WholeNumberTest, Digits) {
  AnsiString digits = "unchanged";
  const bool whole = WholeNumberDigits(GetParam().Value, GetParam().Width, digits);
  if (GetParam().Digits) {
    EXPECT_TRUE(whole);
    EXPECT_EQ(digits, GetParam().Digits);
  } else {
    EXPECT_FALSE(whole) << digits;
  }
}

INSTANTIATE_TEST_SUITE_P(
    SheetText, WholeNumberTest,
    testing::Values(
        NumberCase{"301234567", 0, "301234567"}, NumberCase{"301234567", 10, "0301234567"},
        NumberCase{"301234567", 5, "301234567"}, NumberCase{"4930123456", 1, "4930123456"},
        NumberCase{"4.930123456E9", 0, "4930123456"}, NumberCase{"4.930123456e+9", 0, "4930123456"},
        NumberCase{"1E2", 0, "100"}, NumberCase{"12.30E1", 0, "123"}, NumberCase{"1.0", 0, "1"},
        NumberCase{"00012", 0, "12"}, NumberCase{" 42 ", 0, "42"}, NumberCase{"+7", 0, "7"},
        NumberCase{"0", 4, "0000"}, NumberCase{"-0", 0, "0"}, NumberCase{"0.0", 0, "0"},
        NumberCase{"-5", 3, "-005"}, NumberCase{"123456789012345", 0, "123456789012345"},
        NumberCase{"9.99999999999999E14", 0, "999999999999999"},
        NumberCase{"1234567890123456", 0, nullptr}, NumberCase{"1E15", 0, nullptr},
        NumberCase{"1.5", 0, nullptr}, NumberCase{"0.5", 0, nullptr},
        NumberCase{"1e-1", 0, nullptr}, NumberCase{"", 0, nullptr}, NumberCase{"abc", 0, nullptr},
        NumberCase{"1e", 0, nullptr}, NumberCase{"INF", 0, nullptr},
        NumberCase{"1.2.3", 0, nullptr}, NumberCase{".", 0, nullptr}, NumberCase{"-", 0, nullptr},
        NumberCase{"1E99999999999999", 0, nullptr}));

TEST(SheetText, RowsAndLinesFromTheirFirstColumnAndRow) {
  TSheetRow row(1000);
  TSheetLines lines(1000);
  row.Put(1, "b");
  row.Put(3, "d", 2);
  lines.Put(1, row.Text());
  row.Clear();
  EXPECT_TRUE(row.Empty());
  row.Put(0, "x");
  lines.Put(3, row.Text(), 2);
  EXPECT_EQ(lines.Rows(), 5u);
  EXPECT_EQ(lines.Text(), "\r\n\tb\t\td\td\r\n\r\nx\r\nx\r\n");
}

TEST(SheetText, LimitsAndOrder) {
  const auto expectDamaged = [](auto Action) {
    try {
      Action();
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), DamagedWorkbookMessage);
    }
  };
  TSheetRow row(10);
  row.Put(0, "ab", 3); // "ab\tab\tab" is 8 bytes
  expectDamaged([&] { row.Put(3, "xy"); });
  expectDamaged([&] { TSheetRow(10).Put(2, "x", 5); });
  // A column or a row again, or an earlier one.
  expectDamaged([&] { row.Put(2, "x"); });
  TSheetLines lines(20);
  lines.Put(2, "abc");
  expectDamaged([&] { lines.Put(2, "x"); });
  // 7 bytes so far; the limit counts the empty lines and the repeats before anything is written.
  expectDamaged([&] { lines.Put(4, "xy", 3); });
  expectDamaged([&] { TSheetLines(1000).Put(0, "x", 0xFFFFFFFF); });
  lines.Put(3, "x", 2);
  EXPECT_EQ(lines.Text(), "\r\n\r\nabc\r\nx\r\nx\r\n");
}

struct MergeCase {
  const char* Name;
  AnsiString Text;
  std::vector<TCellRange> Ranges;
  AnsiString Expected;
};

class BlankCoveredTest : public testing::TestWithParam<MergeCase> {};

TEST_P(BlankCoveredTest, Text) {
  AnsiString text = GetParam().Text;
  BlankCoveredCells(text, GetParam().Ranges);
  EXPECT_EQ(text, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    SheetText, BlankCoveredTest,
    testing::Values(
        MergeCase{"None", "a\tb\r\n", {}, "a\tb\r\n"},
        MergeCase{"OneCellCoversNothing", "a\tb\r\n", {{0, 1, 0, 1}}, "a\tb\r\n"},
        // A header over three columns that kept the hidden cells' values; the row ends at its
        // last non-empty cell afterwards.
        MergeCase{"HeaderRow",
                  "Kontakte\tx\ty\r\nName\tTelefon\r\n",
                  {{0, 0, 0, 2}},
                  "Kontakte\r\nName\tTelefon\r\n"},
        MergeCase{"Middle", "a\tb\tc\td\r\n", {{0, 1, 0, 2}}, "a\tb\t\td\r\n"},
        MergeCase{"Down", "a\tb\r\nc\td\r\ne\tf\r\n", {{0, 1, 2, 1}}, "a\tb\r\nc\r\ne\r\n"},
        // Quoted line breaks are no rows; rows after the ranges move up as the text shrinks.
        MergeCase{"QuotedBreaks",
                  "\"a\r\nb\"\t\"c\r\nd\"\r\ne\tf\r\ng\r\n",
                  {{0, 0, 1, 1}},
                  "\"a\r\nb\"\r\n\r\ng\r\n"},
        // Rows at the end that lose everything are no rows of the sheet any more.
        MergeCase{"LastRowsEmptied", "a\r\nb\r\n\r\nc\r\n", {{0, 0, 3, 0}}, "a\r\n"},
        MergeCase{"BeyondTheText", "a\tb\r\n", {{0, 0, 9, 9}, {5, 0, 6, 1}}, "a\r\n"},
        MergeCase{
            "TwoInOneRow", "a\tb\tc\td\te\r\n", {{0, 3, 0, 4}, {0, 0, 0, 1}}, "a\t\tc\td\r\n"}),
    [](const testing::TestParamInfo<MergeCase>& Info) { return Info.param.Name; });

} // namespace
