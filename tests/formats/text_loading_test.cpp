#include "formats/text_loading.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/exceptions.h"
#include "support/block_pool.h"
#include "support/fast_memory_stream.h"
#include "support/utf8.h"
#include "tests/test_files.h"

using namespace std::string_literals;

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

// The text as the import reads it: the loaded text's pieces.
AnsiString Pieces(const TLoadedText& Text) {
  AnsiString text;
  Text.ForEachPiece(0, Text.Bytes().size(), [&](std::string_view Piece) {
    text += Piece;
    return true;
  });
  return text;
}

AnsiString LoadedBytes(const AnsiString& Bytes) {
  TBlockPool pool;
  return Pieces(LoadTextFromBytes(Bytes, pool));
}

AnsiString UpToFirstZero(const AnsiString& Text) {
  return Text.substr(0, Text.find('\0'));
}

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
  // The import reads the text up to its first byte 0, in pieces, from the file or from memory.
  const AnsiString expected = UpToFirstZero(GetParam().Expected);
  EXPECT_EQ(LoadedBytes(GetParam().Bytes), expected);
  TBlockPool pool;
  EXPECT_EQ(Pieces(LoadText(name, pool)), expected);
}

const std::u16string UmlautsEuroAndEmoji =
    u"Name;Telefon\r\nJ\u00FCrgen \u20AC \U0001F600;0301\r\n";
const AnsiString UmlautsEuroAndEmojiAnsi = "Name;Telefon\r\nJ\xFCrgen \x80 ?;0301\r\n";

INSTANTIATE_TEST_SUITE_P(
    TextLoading, LoadTest,
    testing::Values(
        LoadCase{"Empty", "", ""}, LoadCase{"Ascii", "a;b\r\n1;2\r\n", "a;b\r\n1;2\r\n"},
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
        LoadCase{"OtherZeroCountIsRaw", AnsiString("a\0\0b;c\r\n", 8),
                 AnsiString("a\0\0b;c\r\n", 8)},
        // A character beyond U+FFFF is one "?" and leaves the rest of the text decoded.
        LoadCase{"Utf8FourByteFormBetweenUmlauts", "M\xC3\xBCller \xF0\x9F\x98\x80 J\xC3\xB6rg",
                 "M\xFCller ? J\xF6rg"},
        LoadCase{"Utf8FourByteLeadWithTwoFollowBytesIsRaw", "M\xC3\xBCller \xF0\x9F!",
                 "M\xC3\xBCller \xF0\x9F!"},
        // UTF-16 with a byte-order mark, in either order.
        LoadCase{"Utf16LittleEndianWithMark", MarkedUtf16(UmlautsEuroAndEmoji, false),
                 UmlautsEuroAndEmojiAnsi},
        LoadCase{"Utf16BigEndianWithMark", MarkedUtf16(UmlautsEuroAndEmoji, true),
                 UmlautsEuroAndEmojiAnsi},
        LoadCase{"Utf16WithMarkOddLastByteIgnored", MarkedUtf16(u"a;\u00E4", false) + "\x42",
                 "a;\xE4"},
        LoadCase{"Utf16WithMarkOddLastByteIgnoredBigEndian",
                 MarkedUtf16(u"a;\u00E4", true) + "\x42", "a;\xE4"},
        LoadCase{"Utf16WithMarkDropsZeroUnits", MarkedUtf16(std::u16string(u"a\0;\0b", 5), false),
                 "a;b"},
        LoadCase{"Utf16WithMarkLoneSurrogates",
                 MarkedUtf16(std::u16string{u'a', 0xDC00, u'b', 0xD83D, u'c', 0xD83D}, false),
                 "a?b?c?"},
        LoadCase{"Utf16WithMarkBestFit", MarkedUtf16(u"\u0141ukasz \u0100", true), "Lukasz A"},
        LoadCase{"Utf16MarkOnly", "\xFF\xFE", ""},
        LoadCase{"Utf16MarkAndOneByte",
                 "\xFE\xFF"
                 "A",
                 ""},
        LoadCase{"Utf16WithMarkHoldingUtf8IsNotDecodedAgain",
                 MarkedUtf16(u"J\u00C3\u00BCrgen", false), "J\xC3\xBCrgen"}),
    [](const testing::TestParamInfo<LoadCase>& info) { return info.param.Name; });

TEST(TextLoading, RealUtf16ExportWithMarkLosesItsZeroBytes) {
  const AnsiString name = TestDataFile("real/roundcube_gmail_utf16le.csv");
  const AnsiString bytes = ReadFileBytes(name);
  ASSERT_EQ(bytes.size(), 3992u);
  // Its characters are all ASCII: every second byte after the mark.
  AnsiString ascii;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    ascii += bytes[i];
  EXPECT_EQ(LoadFileAsAnsiText(name), ascii);
}

// vCard files lose their folds before their bytes are decoded; other files keep every line.
TEST(TextLoading, VCardFolds) {
  const AnsiString card = "BEGIN:VCARD\r\nFN:J\xF6rg\r\nEND:VCARD\r\n";
  const struct {
    const char* Name;
    AnsiString Bytes;
    AnsiString Expected;
  } cases[] = {
      {"a UTF-8 character split by a fold", "BEGIN:VCARD\r\nFN:J\xC3\r\n \xB6rg\r\nEND:VCARD\r\n",
       card},
      {"after a mark and blank lines, folded with LF and a TAB",
       BOM + " \t\r\nbegin:vcard\nFN:J\xC3\n\t\xB6rg\r\nEND:VCARD\r\n",
       " \t\r\nbegin:vcard\nFN:J\xF6rg\r\nEND:VCARD\r\n"},
      {"a lone CR, and only one blank goes", "BEGIN:VCARD\rFN:J\r  \xC3\xB6rg\r\nEND:VCARD\r\n",
       "BEGIN:VCARD\rFN:J \xF6rg\r\nEND:VCARD\r\n"},
      {"Windows-1252 bytes: raw, but unfolded", "BEGIN:VCARD\r\nFN:J\r\n \xF6rg\r\nEND:VCARD\r\n",
       card},
      {"Windows-1252 bytes after a mark keep it",
       BOM + "BEGIN:VCARD\r\nFN:J\r\n \xF6rg\r\nEND:VCARD\r\n", BOM + card},
      {"UTF-16 with a mark: unfolded after conversion",
       MarkedUtf16(u"BEGIN:VCARD\r\nFN:J\r\n \u00F6rg\r\nEND:VCARD\r\n", true), card},
      {"UTF-16 without a mark: unfolded after conversion",
       Utf16("BEGIN:VCARD\r\nFN:J\r\n \xF6rg\r\nEND:VCARD\r\n", false), card},
      // An empty line before a doubly indented one: what the first fold leaves is a fold too.
      {"no fold left", "BEGIN:VCARD\r\nFN:A\r\r\n  B\n\t\r\n C\r\n", "BEGIN:VCARD\r\nFN:ABC\r\n"},
      {"a CSV file keeps its lines", "Name;Telefon\r\n Anna;0301\r\n\tBerta;0302\r\n",
       "Name;Telefon\r\n Anna;0301\r\n\tBerta;0302\r\n"},
      {"not at the start: no vCard", "x\r\nBEGIN:VCARD\r\nFN:J\r\n \xC3\xB6rg\r\n",
       "x\r\nBEGIN:VCARD\r\nFN:J\r\n \xF6rg\r\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LoadedBytes(c.Bytes), UpToFirstZero(c.Expected)) << c.Name;
}

// The definition of unfolding, a byte at a time and seen from the result.
AnsiString UnfoldedByteByByte(const AnsiString& Text) {
  AnsiString result;
  for (const char c : Text) {
    const bool afterBreak = !result.empty() && (result.back() == '\r' || result.back() == '\n');
    if ((c == ' ' || c == '\t') && afterBreak)
      result.resize(result.size() >= 2 && result.substr(result.size() - 2) == "\r\n"
                        ? result.size() - 2
                        : result.size() - 1);
    else
      result += c;
  }
  return result;
}

TEST(TextLoading, UnfoldingGivesWhatItsDefinitionGives) {
  std::vector<AnsiString> texts = {"a\r\n b", "\r\r \n ", "a\r\n\r\n  b",       " x",
                                   "x \r\ny", "\n\r ",    "a\r \n b\t\r\n\t\tc"};
  std::mt19937 random(5);
  for (int i = 0; i < 5000; ++i) {
    AnsiString text(random() % 30, 'a');
    for (char& c : text)
      c = " \t\r\nab\xC3"[random() % 7];
    texts.push_back(text);
  }
  for (const AnsiString& text : texts)
    EXPECT_EQ(UnfoldLines(text), UnfoldedByteByByte(text)) << testing::PrintToString(text);
}

// A large vCard is unfolded and decoded by two threads, in pieces, while its mapping goes; the
// text must be what unfolding and decoding the whole gives, also where folds cut UTF-8 characters
// near the pieces' and the halves' edges, and where a pool holds it.
TEST(TextLoading, LargeVCardsLoadAsTheirWholeUnfoldedAndDecoded) {
  AnsiString utf8 = "BEGIN:VCARD\r\n";
  for (int i = 0; utf8.size() < (9u << 20); ++i) {
    utf8 += "N:M\xC3\xBCller " + std::to_string(i) +
            ";J\xC3\xB6rg\r\nNOTE:" + AnsiString(static_cast<size_t>(i % 97), 'n') +
            "\xC3\r\n \xA4\r\n\t \xE2\x82\r\n \xAC\r\n" + "END:VCARD\r\nBEGIN:VCARD\r\n";
  }
  AnsiString latin = utf8;
  latin[latin.size() / 2 + 3] = '\xFC'; // no UTF-8 any more: the bytes, unfolded
  TTempDir dir;
  for (const AnsiString* bytes : {&utf8, &latin}) {
    const AnsiString name = dir.Write("big.vcf", *bytes);
    const AnsiString unfolded = UnfoldedByteByByte(*bytes);
    const AnsiString decoded = Utf8TextToAnsi(unfolded);
    const AnsiString expected = decoded.empty() ? unfolded : decoded;
    EXPECT_EQ(bytes == &utf8, !decoded.empty());
    TBlockPool pool;
    const TLoadedText text = LoadText(name, pool);
    EXPECT_EQ(text.Kind(), TTextKind::VCard);
    EXPECT_TRUE(text.Bytes() == expected);
  }
}

// An address book writes UTF-16 without a mark; a vCard is known by its first line in either
// byte order, whatever letters its cards hold.
TEST(TextLoading, VCardInUtf16WithoutAMark) {
  const std::u16string cards[] = {
      u"BEGIN:VCARD\r\nFN:\u014Cdamont\u00E9\r\nTEL:0301\r\nEND:VCARD\r\n",
      u" \t\r\n\nbegin:vcard\r\nN:\u01FCgestr\u00F6m;\U0001F600\r\n  \u0159\r\nEND:VCARD\r\n",
  };
  for (const auto& card : cards) {
    for (const bool bigEndian : {false, true}) {
      const AnsiString marked = MarkedUtf16(card, bigEndian);
      const AnsiString unmarked = marked.substr(2);
      EXPECT_EQ(LoadedBytes(unmarked), LoadedBytes(marked)) << bigEndian;
    }
  }
  EXPECT_EQ(LoadedBytes(MarkedUtf16(cards[0], false).substr(2)),
            "BEGIN:VCARD\r\nFN:Odamont\xE9\r\nTEL:0301\r\nEND:VCARD\r\n");
  // Other UTF-16 files without a mark go on as before: a table of characters below 256 loses its
  // zero bytes, and one with a letter beyond them is taken as it is.
  EXPECT_EQ(LoadedBytes(Utf16("Name;Telefon\r\nBEGIN:VCARD\xE9\r\n", false)),
            "Name;Telefon\r\nBEGIN:VCARD\xE9\r\n");
  const AnsiString csv = MarkedUtf16(u"Name\r\n\u014C", false).substr(2);
  EXPECT_EQ(LoadedBytes(csv), UpToFirstZero(csv));
}

// The one rule that makes a text a vCard file, for the loader and the import alike.
TEST(TextLoading, IsVCardText) {
  const std::pair<AnsiString, bool> cases[] = {{"BEGIN:VCARD\r\nFN:A\r\n", true},
                                               {" \t\r\n\n\rbegin:vCard\nFN:A", true},
                                               {"BEGIN:VCARD", true},
                                               {"BEGIN:VCARD\0x"s, true},
                                               {"BEGIN:VCARD \r\n", false},
                                               {"BEGIN:VCARDS\r\n", false},
                                               {"\xEF\xBB\xBF"
                                                "BEGIN:VCARD\r\n",
                                                false},
                                               {"Name\r\nBEGIN:VCARD\r\n", false},
                                               {"\0BEGIN:VCARD"s, false},
                                               {"BEGIN:VCAR", false},
                                               {"", false},
                                               // The first units of UTF-16 without a mark:
                                               // "?" stands for a unit beyond ASCII.
                                               {"BEGIN:VCARD?", false}};
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(IsVCardText(text), expected) << text;
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
  const Case cases[] = {{BOM + "1234567", true},
                        {BOM + "123456", false},
                        {"x" + BOM + "123456", false},
                        {"\xEF\xBB"
                         "0123456789",
                         false},
                        {"", false}};
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
