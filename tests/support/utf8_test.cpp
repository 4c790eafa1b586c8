#include "support/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/platform.h"

namespace {

using namespace std::string_literals;

TEST(Utf8, DecodeUTF8) {
  const std::u16string failed = u"(failed)";
  const std::pair<AnsiString, std::u16string> cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xC3\xA4", {0xE4}},
      {"a\xC3", failed},
      {"\xC3"
       "A",
       failed},
      {"\xE2\x82\xAC", {0x20AC}},
      {"\xE2\x82", failed},
      {"\xE2"
       "A\xAC",
       failed},
      {"\xC1\x81", u"A"}, // overlong forms pass
      {"\xC0\x80", {0}},
      {"\xE0\x81\x81", u"A"},
      {"\xED\xA0\x80", {0xD800}},
      {"\xFF\xBF\xBF\x9F\xBF", {0xFFFF, 0x07FF}}, // leads judged by bits 7 and 5 only
      // A lead 0xF0-0xF7 with three follow bytes is one "?", whatever it spells.
      {"\xF0\x9F\x98\x80", u"?"},
      {"\xC3\xA4\xF0\x9F\x98\x80\xC3\xB6", {0xE4, u'?', 0xF6}},
      {"\xF0\x80\x80\x80"
       "A",
       u"?A"},                          // overlong
      {"\xF7\xBF\xBF\xBF", u"?"},       // above U+10FFFF
      {"\xF0\x9F\x98\x80\x80", failed}, // the fifth byte leads and nothing follows
      // With fewer follow bytes the lead is a three-byte one, as before.
      {"\xF0\x9F\x98"
       "A",
       {0x07D8, u'A'}},
      {"\xF0\x9F"
       "AB",
       failed},
      {"\xF8\x88\x80\x80", failed}, // 0xF8 is no four-byte lead: 0x80 then leads
      {"a\0b"s, {u'a', 0, u'b'}},
      {"Gr\xC3\xBC\xC3"
       "e",
       failed}};
  for (const auto& [bytes, units] : cases) {
    const bool fails = units == failed;
    EXPECT_EQ(DecodeUTF8(bytes), fails ? u"" : units) << bytes;
    EXPECT_EQ(Utf8ToWideChars(nullptr, 0, bytes.data(), bytes.size()),
              fails ? Utf8ToWideCharsFailed : units.size() + 1)
        << bytes;
  }
}

TEST(Utf8, Utf8ToWideCharsCapacity) {
  const char16_t nul = 0;
  // Bytes, capacity, result, the units written up to the result.
  const std::tuple<AnsiString, size_t, size_t, std::u16string> cases[] = {
      {"abc", 4, 4, u"abc" + std::u16string(1, nul)},
      {"abc", 3, 3, u"ab" + std::u16string(1, nul)},
      {"abcde", 3, 3, u"ab" + std::u16string(1, nul)},
      {"abc", 1, 1, {nul}},
      {"", 2, 1, {nul}},
      {"\xC3\xA4x", 2, 2, {0xE4, nul}},
      {"a\xC3", 1, 1, {nul}}, // full before the malformed byte is reached
      {"a\xC3", 2, Utf8ToWideCharsFailed, u"a"},
      {"abc", 0, 0, {}}}; // no room even for the terminating unit
  const char16_t unset = 0xAAAA;
  for (const auto& [bytes, capacity, result, written] : cases) {
    // One guard unit in front of the destination, two behind its capacity.
    std::u16string buffer(capacity + 3, unset);
    EXPECT_EQ(Utf8ToWideChars(&buffer[1], capacity, bytes.data(), bytes.size()), result) << bytes;
    EXPECT_EQ(buffer.substr(1, written.size()), written) << bytes << " into " << capacity;
    EXPECT_EQ(buffer[0], unset) << "written in front of " << bytes;
    EXPECT_EQ(buffer.substr(capacity + 1), std::u16string(2, unset)) << "written past " << bytes;
  }
}

TEST(Utf8, Utf8ToWideCharsCountOnlyAndNoSource) {
  EXPECT_EQ(Utf8ToWideChars(nullptr, 1, "abcdef", 6), 7u);
  EXPECT_EQ(Utf8ToWideChars(nullptr, 0, "abc", 2), 3u);
  // Bytes past SourceBytes are not read, even where they would complete the sequence.
  EXPECT_EQ(Utf8ToWideChars(nullptr, 0, "\xE2\x82\xAC", 2), Utf8ToWideCharsFailed);
  EXPECT_EQ(Utf8ToWideChars(nullptr, 0, "\xC3\xA4", 1), Utf8ToWideCharsFailed);
  char16_t unit = u'x';
  EXPECT_EQ(Utf8ToWideChars(&unit, 1, nullptr, 3), 0u);
  EXPECT_EQ(Utf8ToWideChars(nullptr, 0, nullptr, 3), 0u);
  EXPECT_EQ(unit, u'x');
}

TEST(Utf8, Utf8TextToAnsi) {
  const std::pair<AnsiString, AnsiString> cases[] = {
      {"Hello, World 0123", "Hello, World 0123"},
      {"M\xC3\xBCller J\xC3\xB6rg \xC3\x84\xC3\x96\xC3\x9C\xC3\x9F",
       "M\xFCller J\xF6rg \xC4\xD6\xDC\xDF"},
      {"\xE2\x82\xAC 5", "\x80 5"},
      {"\xE4\xB8\xAD", "?"}, // U+4E2D has no Windows-1252 form
      {"J\xC3\xBCrgen \xF0\x9F\x98\x80 K\xC3\xB6hler", "J\xFCrgen ? K\xF6hler"},
      {"a\0b"s, "a\0b"s},
      {"ok \xC3", ""},
      {"", ""}};
  for (const auto& [utf8, ansi] : cases)
    EXPECT_EQ(Utf8TextToAnsi(utf8), ansi) << utf8;
}

TEST(Utf8, Utf8TextToAnsiOfLongTexts) {
  // Long texts are converted piece by piece; the result must be that of converting them whole,
  // also where a surrogate pair (here U+1F600 as two three-byte forms) straddles two pieces.
  const AnsiString pair = "\xED\xA0\xBD\xED\xB8\x80";
  const AnsiString filler(65535, 'a');
  const AnsiString cases[] = {
      filler + pair + "b", filler + "a" + pair + pair, filler + filler + "\xC3\xA4" + pair,
      AnsiString(200000, 'x') + "\xC3\xA4", filler + "\xF0\x9F\x98\x80\xC3\xA4"};
  for (const AnsiString& utf8 : cases) {
    const AnsiString whole = platform::WideToAnsi(DecodeUTF8(utf8));
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(Utf8TextToAnsi(utf8), whole) << utf8.size();
  }
  // A malformed byte in a later piece still empties the whole result.
  EXPECT_EQ(Utf8TextToAnsi(AnsiString(200000, 'x') + "\xC3"), "");
  EXPECT_EQ(Utf8TextToAnsi(filler + pair.substr(0, 4)), "");
}

// Converted over its own bytes, a text gives what Utf8TextToAnsi gives, or fails where that gives
// nothing: eight ASCII bytes at every offset next to sequences of every length, pieces' edges,
// surrogates, malformed bytes.
TEST(Utf8, InPlaceConversionGivesWhatTheCopyGives) {
  std::vector<AnsiString> texts = {"",
                                   "a",
                                   "abcdefgh",
                                   "abcdefgh\xC3\xA4",
                                   "\xC3\xA4"
                                   "abcdefghij",
                                   AnsiString(65535, 'a') + "\xED\xA0\xBD\xED\xB8\x80"
                                                            "b",
                                   AnsiString(70000, 'b') + "\xC3",
                                   "a\0b\0\xE2\x82\xAC"};
  std::mt19937 random(17);
  const char* const pieces[] = {"a",
                                "Zz09",
                                "\xC3\xBC",
                                "\xE2\x82\xAC",
                                "\xF0\x9F\x98\x80",
                                "\xED\xA0\xBD",
                                "\xED\xB8\x80",
                                "\xC3",
                                "\x80",
                                " ",
                                "\0"};
  for (int i = 0; i < 3000; ++i) {
    AnsiString text;
    const int count = static_cast<int>(random() % 40);
    for (int k = 0; k < count; ++k)
      text += random() % 3 ? AnsiString(random() % 12, 'x') : AnsiString(pieces[random() % 11]);
    texts.push_back(text);
  }
  for (const AnsiString& text : texts) {
    const AnsiString copied = Utf8TextToAnsi(text);
    AnsiString buffer = text;
    size_t size = 0;
    const bool converted = !buffer.empty() && Utf8ToAnsiInPlace(&buffer[0], buffer.size(), size);
    EXPECT_EQ(converted, !copied.empty()) << testing::PrintToString(text);
    if (converted) {
      EXPECT_EQ(buffer.substr(0, size), copied) << testing::PrintToString(text);
    }
  }
}

// The import checks a file in chunks and converts it in pieces cut anywhere, carrying what a
// piece leaves over into the next: both must agree with the decoding of the whole, on random
// bytes as well as on texts with every kind of sequence (overlong and four-byte forms, pairs of
// encoded surrogates).
TEST(Utf8, ChunksAndPiecesAgreeWithTheWhole) {
  std::vector<AnsiString> texts = {
      "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80 x\xED\xA0\xBD\xED\xB8\x80y\xED\xA0\xBDz",
      "\x80\x80\xF8\x80\x80\xF0\x80\x80!\xC0\x80"
      "ab",
      "\xC3", "a\xE2\x82", ""};
  std::mt19937 random(5);
  const char alphabet[] = "ab\x80\xBF\xC3\xE2\xED\xA0\xB8\xF0\x9F";
  for (int i = 0; i < 3000; ++i) {
    AnsiString text(random() % 30, ' ');
    for (char& c : text)
      c = alphabet[random() % (sizeof alphabet - 1)];
    texts.push_back(text);
  }
  for (const AnsiString& text : texts) {
    const bool valid =
        Utf8ToWideChars(nullptr, 0, text.data(), text.size()) != Utf8ToWideCharsFailed;
    for (size_t chunk = 1; chunk <= 4; ++chunk) {
      size_t at = 0;
      bool ascii = true, checked = true;
      for (size_t stop = chunk; checked && at < text.size(); stop += chunk)
        checked = CheckUtf8(text.data(), text.size(), at, stop, ascii);
      ASSERT_EQ(checked, valid) << testing::PrintToString(text) << " chunks of " << chunk;
    }
    if (!valid) continue;
    // The definition: the UTF-16 units converted to the ANSI code page.
    const AnsiString whole = platform::WideToAnsi(DecodeUTF8(text));
    ASSERT_EQ(Utf8TextToAnsi(text), whole) << testing::PrintToString(text);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      AnsiString out(text.size(), '\0');
      size_t used = 0;
      const size_t first = Utf8ToAnsiPiece(text.data(), cut, false, &out[0], used);
      const AnsiString rest = text.substr(used);
      size_t restUsed = 0;
      const size_t second = Utf8ToAnsiPiece(rest.data(), rest.size(), true, &out[first], restUsed);
      out.resize(first + second);
      ASSERT_EQ(out, whole) << testing::PrintToString(text) << " cut at " << cut;
      ASSERT_EQ(used + restUsed, text.size());
    }
  }
}

TEST(Utf8, AnsiToUtf8) {
  EXPECT_EQ(AnsiToUtf8("M\xFCller \x80 \x81"), "M\xC3\xBCller \xE2\x82\xAC \xC2\x81");
  EXPECT_EQ(AnsiToUtf8(""), "");
}

} // namespace
