#include "csv/text_loading.h"

#include <gtest/gtest.h>

#include "framework/exceptions.h"
#include "support/fast_memory_stream.h"
#include "tests/test_files.h"

namespace {

AnsiString Utf16(const AnsiString& Ansi, bool BigEndian) {
  AnsiString bytes;
  for (char c : Ansi) {
    if (BigEndian) bytes += '\0';
    bytes += c;
    if (!BigEndian) bytes += '\0';
  }
  return bytes;
}

const AnsiString BOM = "\xEF\xBB\xBF";
const AnsiString UmlautsUtf8 = "Name;Telefon\r\nM\xC3\xBCller J\xC3\xB6rg;0301\r\n";
const AnsiString UmlautsAnsi = "Name;Telefon\r\nM\xFCller J\xF6rg;0301\r\n";

struct LoadCase {
  const char* Name;
  AnsiString Bytes;
  AnsiString Expected;
};

class LoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadTest, GivesAnsiText) {
  TTempDir dir;
  const AnsiString name = dir.Write("in.csv", GetParam().Bytes);
  EXPECT_EQ(LoadFileAsAnsiText(name), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextLoading, LoadTest,
    testing::Values(
        LoadCase{"Empty", "", ""},
        LoadCase{"Ascii", "a;b\r\n1;2\r\n", "a;b\r\n1;2\r\n"},
        LoadCase{"AnsiWithUmlautsUnchanged", UmlautsAnsi, UmlautsAnsi},
        LoadCase{"Utf8WithoutMark", UmlautsUtf8, UmlautsAnsi},
        LoadCase{"Utf8WithMark", BOM + UmlautsUtf8, UmlautsAnsi},
        LoadCase{"Utf8EuroSign", "Preis \xE2\x82\xAC", "Preis \x80"},
        LoadCase{"Utf8WithoutAnsiFormBecomesQuestionMark", "\xE4\xB8\x80;x", "?;x"},
        // Under 10 bytes the mark is not looked for; it decodes as U+FEFF, which ANSI lacks.
        LoadCase{"ShortFileKeepsTheMark", BOM + "a;b", "?a;b"},
        LoadCase{"MarkWithInvalidRestIsRaw", BOM + UmlautsAnsi, BOM + UmlautsAnsi},
        LoadCase{"MalformedUtf8IsRaw", "ok;\xC3(\r\n", "ok;\xC3(\r\n"},
        LoadCase{"Utf16LittleEndian", Utf16(UmlautsAnsi, false), UmlautsAnsi},
        LoadCase{"Utf16BigEndian", Utf16(UmlautsAnsi, true), UmlautsAnsi},
        LoadCase{"Utf16OfUtf8BytesIsDecoded", Utf16(UmlautsUtf8, false), UmlautsAnsi},
        // With a mark, UTF-16 has one zero byte fewer than half its length: loaded raw.
        LoadCase{"Utf16WithMarkIsRaw", "\xFF\xFE" + Utf16("a;b\r\n", false),
                 "\xFF\xFE" + Utf16("a;b\r\n", false)},
        LoadCase{"OtherZeroCountIsRaw", AnsiString("a\0\0b;c\r\n", 8), AnsiString("a\0\0b;c\r\n", 8)}),
    [](const testing::TestParamInfo<LoadCase>& info) { return info.param.Name; });

TEST(TextLoading, RealUtf16ExportWithMarkComesBackRaw) {
  const AnsiString name = TestDataFile("real/roundcube_gmail_utf16le.csv");
  const AnsiString bytes = ReadFileBytes(name);
  ASSERT_EQ(bytes.size(), 3992u);
  EXPECT_EQ(LoadFileAsAnsiText(name), bytes);
}

TEST(TextLoading, MissingFileRaisesOSError) {
  TTempDir dir;
  try {
    LoadFileAsAnsiText(dir.FileName("nope.csv"));
    FAIL() << "loaded a missing file";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "OSError");
  }
}

TEST(TextLoading, HasUTF8BOM) {
  struct Case {
    AnsiString Bytes;
    bool Expected;
  };
  const Case cases[] = {{BOM + "1234567", true}, {BOM + "123456", false}, {"x" + BOM + "123456", false},
                        {"\xEF\xBB" "0123456789", false}, {"", false}};
  for (const Case& c : cases) {
    TFastMemoryStream stream;
    if (!c.Bytes.empty()) stream.WriteBuffer(c.Bytes.data(), int32_t(c.Bytes.size()));
    EXPECT_EQ(HasUTF8BOM(stream), c.Expected) << c.Bytes;
    EXPECT_EQ(stream.GetPosition(), 0);
  }
}

TEST(TextLoading, StripAndRemove) {
  EXPECT_EQ(StripUTF8BOM(BOM + "abc"), "abc");
  EXPECT_EQ(StripUTF8BOM(BOM), "");
  EXPECT_EQ(StripUTF8BOM("\xEF\xBB"), "\xEF\xBB");
  EXPECT_EQ(StripUTF8BOM("a" + BOM), "a" + BOM);
  EXPECT_EQ(RemoveNulChars(AnsiString("\0a\0\0b\0", 6)), "ab");
  EXPECT_EQ(RemoveNulChars(AnsiString("\0\0", 2)), "");
  EXPECT_EQ(RemoveNulChars("\xFF\x01"), "\xFF\x01");
}

} // namespace
