#include "support/string_utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "framework/exceptions.h"
#include "platform/platform.h"
#include "tests/test_locale.h"

namespace {

using namespace std::string_literals;
using Pieces = std::vector<AnsiString>;

TEST(StringUtils, TruncateString) {
  const std::tuple<AnsiString, int, AnsiString> cases[] = {
      {"abcde", 5, "abcde"}, {"abcdef", 5, "abc.."}, {"abc", 5, "abc"}, {"", 0, ""},
      {AnsiString(51, 'n'), 50, AnsiString(48, 'n') + ".."}, {"a\0\xFC" "bcd"s, 5, "a\0\xFC.."s},
      // Too small a maximum keeps nothing of S, and must not cut outside it.
      {"abc", 2, ".."}, {"abc", 0, ".."}};
  for (const auto& [s, max, expected] : cases) EXPECT_EQ(TruncateString(s, max), expected) << s;
}

TEST(StringUtils, SplitString) {
  const std::tuple<AnsiString, AnsiString, int, int, Pieces> cases[] = {
      {":::", "a:::b", 0, 0, {"a", "b"}},
      {":::", ":::a", 0, 0, {"", "a"}},
      {":::", "a::::::b", 0, 0, {"a", "", "b"}},
      {":::", "a:::", 0, 0, {"a"}},
      {":::", "::::::", 0, 0, {"", ""}},
      {"x", "aXb", 0, 0, {"aXb"}},
      {":::", "", 0, 0, {}},
      {"", "a:::b", 0, 0, {"a:::b"}},
      {"", "a", 0, 3, {"a"}},  // returned before FixedLength is looked at
      {":::", "a:::b:::d", 2, 0, {"a", "b:::d"}},
      {" ", "a b c", 1, 0, {"a b c"}},
      {" ", "a b", 5, 0, {"a", "b"}},
      {":::", "a:::b", -1, 0, {}},
      {":::", "a", 0, 3, {"a", "", ""}},
      {":::", "a:::b:::c", 0, 2, {"a", "b"}},
      {":::", "", 0, 3, {}},
      {":::", "a:::b", 0, -2, {}},
      {":::", "a:::b\0:::c"s, 0, 0, {"a", "b"}},
      {":::", "a::\0:b"s, 0, 0, {"a::"}},
      {":::", "\0a"s, 0, 2, {"", ""}},
      {":\0"s, "a:b", 0, 0, {"a:b"}},
      {" ", "Hans  Peter \xDC", 0, 0, {"Hans", "", "Peter", "\xDC"}}};
  for (const auto& [separator, text, maxCount, fixedLength, expected] : cases)
    EXPECT_EQ(SplitString(separator, text, maxCount, fixedLength), expected)
        << text << " at " << separator << ", " << maxCount << ", " << fixedLength;
}

// The letter pairs as listed: first upper byte, last upper byte, first lower byte.
struct CaseTables {
  unsigned char Upper[256], Other[256];
  CaseTables() {
    const int ranges[][3] = {{0x41, 0x5A, 0x61}, {0x8A, 0x8A, 0x9A}, {0x8C, 0x8C, 0x9C},
                             {0x8E, 0x8E, 0x9E}, {0x9F, 0x9F, 0xFF}, {0xC0, 0xD6, 0xE0},
                             {0xD8, 0xDE, 0xF8}};
    for (int b = 0; b < 256; ++b) Upper[b] = Other[b] = static_cast<unsigned char>(b);
    for (const auto& r : ranges)
      for (int u = r[0]; u <= r[1]; ++u) {
        const int lower = r[2] + u - r[0];
        Upper[lower] = static_cast<unsigned char>(u);
        Other[u] = static_cast<unsigned char>(lower);
        Other[lower] = static_cast<unsigned char>(u);
      }
  }
};
const CaseTables Listed;

TEST(StringUtils, LatinCaseTablesHoldExactlyTheListedPairs) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(LatinCaseTables.Upper[b], Listed.Upper[b]) << "byte " << b;
    EXPECT_EQ(LatinCaseTables.Other[b], Listed.Other[b]) << "byte " << b;
  }
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      const bool equal = a == b || Listed.Other[a] == b;
      const AnsiString replaced =
          ReplaceTextAll(AnsiString(1, char(b)), AnsiString(1, char(a)), "<>");
      EXPECT_EQ(replaced == "<>", equal) << "old " << a << ", text " << b;
    }
}

TEST(StringUtils, ReplaceTextAllAndInPlace) {
  const std::tuple<AnsiString, AnsiString, AnsiString, AnsiString> cases[] = {
      {"ABCabc", "b", "x", "AxCaxc"},
      {"aaa", "aa", "x", "xa"},
      {"ab", "abc", "x", "ab"},
      {"", "a", "x", ""},
      {"abc", "", "x", "abc"},
      {"\xC4rger \xE4rger", "\xE4", "ae", "aerger aerger"},
      {"Stra\xDF" "e STRASSE \xFF", "\xDF", "ss", "Strasse STRASSE \xFF"},
      {"Stra\xDF" "e", "SS", "x", "Stra\xDF" "e"},
      {"M\xDCLLER, m\xFCller", "m\xFCller", "X", "X, X"},
      {"\x9F\xFF", "\xFF", "y", "yy"},
      {"a=b=c", "=", " = ", "a = b = c"},
      {"aA", "a", "Zz", "ZzZz"},
      {"=Max=Muster=", "=", "", "MaxMuster"},
      {"a:::b::::::c:::", ":::", "", "abc"},
      {":::::", ":::", "", "::"},
      {"abcab", "abc", "-", "-ab"},
      {"Abc", "aBC", "", ""},
      {"a\0b\0"s, "\0"s, "-", "a-b-"}};
  for (const auto& [s, old, replacement, expected] : cases) {
    EXPECT_EQ(ReplaceTextAll(s, old, replacement), expected) << s << " / " << old;
    AnsiString text = s;
    ReplaceTextInPlace(text, old, replacement);
    EXPECT_EQ(text, expected) << s << " / " << old;
  }
}

// The scan as the algorithm states it, with the pairs as listed.
AnsiString ReferenceReplace(const AnsiString& S, const AnsiString& Old, const AnsiString& New) {
  if (Old.empty() || Old.size() > S.size()) return S;
  auto byte = [](char c) { return static_cast<unsigned char>(c); };
  AnsiString result;
  size_t i = 0;
  while (S.size() - i >= Old.size()) {
    bool match = Listed.Upper[byte(S[i])] == Listed.Upper[byte(Old[0])];
    for (size_t k = 1; match && k < Old.size(); ++k)
      match = S[i + k] == Old[k] || Listed.Other[byte(Old[k])] == byte(S[i + k]);
    result += match ? New : AnsiString(1, S[i]);
    i += match ? Old.size() : 1;
  }
  return result + S.substr(i);
}

TEST(StringUtils, ReplaceMatchesTheScanOnRandomTexts) {
  const char alphabet[] = "aAbB=:\xE4\xC4\xDF\xFF\x9F";
  const AnsiString news[] = {"", "-", "<=>"};
  std::mt19937 random(20240611);
  auto text = [&](size_t MaxLength) {
    AnsiString s(random() % (MaxLength + 1), ' ');
    for (char& c : s) c = alphabet[random() % (sizeof alphabet - 1)];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const AnsiString s = text(24), old = text(3), &replacement = news[random() % 3];
    const AnsiString expected = ReferenceReplace(s, old, replacement);
    ASSERT_EQ(ReplaceTextAll(s, old, replacement), expected) << s << " / " << old;
    AnsiString inPlace = s;
    ReplaceTextInPlace(inPlace, old, replacement);
    ASSERT_EQ(inPlace, expected) << s << " / " << old;
  }
}

TEST(StringUtils, ReplaceInPlaceWithItselfAsPattern) {
  AnsiString s = "ab";
  ReplaceTextInPlace(s, s, "x");
  EXPECT_EQ(s, "x");
  s = "ab";
  ReplaceTextInPlace(s, "B", s);
  EXPECT_EQ(s, "aab");
}

TEST(StringUtils, CollapseSpaces) {
  const std::pair<AnsiString, AnsiString> cases[] = {
      {"  a   b ", " a b "}, {" \t ", " \t "},   {"", ""},
      {"     ", " "},        {"a\t\tb", "a\t\tb"}, {"\0  \0"s, "\0 \0"s}};
  for (const auto& [s, expected] : cases) EXPECT_EQ(CollapseSpaces(s), expected) << s;
}

TEST(StringUtils, DecodeUTF8) {
  const std::u16string failed = u"(failed)";
  const std::pair<AnsiString, std::u16string> cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xC3\xA4", {0xE4}},
      {"a\xC3", failed},
      {"\xC3" "A", failed},
      {"\xE2\x82\xAC", {0x20AC}},
      {"\xE2\x82", failed},
      {"\xE2" "A\xAC", failed},
      {"\xC1\x81", u"A"},  // overlong forms pass
      {"\xC0\x80", {0}},
      {"\xE0\x81\x81", u"A"},
      {"\xED\xA0\x80", {0xD800}},
      {"\xFF\xBF\xBF\x9F\xBF", {0xFFFF, 0x07FF}},  // leads judged by bits 7 and 5 only
      // A lead 0xF0-0xF7 with three follow bytes is one "?", whatever it spells.
      {"\xF0\x9F\x98\x80", u"?"},
      {"\xC3\xA4\xF0\x9F\x98\x80\xC3\xB6", {0xE4, u'?', 0xF6}},
      {"\xF0\x80\x80\x80" "A", u"?A"},           // overlong
      {"\xF7\xBF\xBF\xBF", u"?"},                 // above U+10FFFF
      {"\xF0\x9F\x98\x80\x80", failed},          // the fifth byte leads and nothing follows
      // With fewer follow bytes the lead is a three-byte one, as before.
      {"\xF0\x9F\x98" "A", {0x07D8, u'A'}},
      {"\xF0\x9F" "AB", failed},
      {"\xF8\x88\x80\x80", failed},              // 0xF8 is no four-byte lead: 0x80 then leads
      {"a\0b"s, {u'a', 0, u'b'}},
      {"Gr\xC3\xBC\xC3" "e", failed}};
  for (const auto& [bytes, units] : cases) {
    const bool fails = units == failed;
    EXPECT_EQ(DecodeUTF8(bytes), fails ? u"" : units) << bytes;
    EXPECT_EQ(Utf8ToWideChars(nullptr, 0, bytes.data(), bytes.size()),
              fails ? Utf8ToWideCharsFailed : units.size() + 1)
        << bytes;
  }
}

TEST(StringUtils, Utf8ToWideCharsCapacity) {
  const char16_t nul = 0;
  // Bytes, capacity, result, the units written up to the result.
  const std::tuple<AnsiString, size_t, size_t, std::u16string> cases[] = {
      {"abc", 4, 4, u"abc" + std::u16string(1, nul)},
      {"abc", 3, 3, u"ab" + std::u16string(1, nul)},
      {"abcde", 3, 3, u"ab" + std::u16string(1, nul)},
      {"abc", 1, 1, {nul}},
      {"", 2, 1, {nul}},
      {"\xC3\xA4x", 2, 2, {0xE4, nul}},
      {"a\xC3", 1, 1, {nul}},  // full before the malformed byte is reached
      {"a\xC3", 2, Utf8ToWideCharsFailed, u"a"},
      {"abc", 0, 0, {}}};  // no room even for the terminating unit
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

TEST(StringUtils, Utf8ToWideCharsCountOnlyAndNoSource) {
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

TEST(StringUtils, Utf8TextToAnsi) {
  const std::pair<AnsiString, AnsiString> cases[] = {
      {"Hello, World 0123", "Hello, World 0123"},
      {"M\xC3\xBCller J\xC3\xB6rg \xC3\x84\xC3\x96\xC3\x9C\xC3\x9F",
       "M\xFCller J\xF6rg \xC4\xD6\xDC\xDF"},
      {"\xE2\x82\xAC 5", "\x80 5"},
      {"\xE4\xB8\xAD", "?"},  // U+4E2D has no Windows-1252 form
      {"J\xC3\xBCrgen \xF0\x9F\x98\x80 K\xC3\xB6hler", "J\xFCrgen ? K\xF6hler"},
      {"a\0b"s, "a\0b"s},
      {"ok \xC3", ""},
      {"", ""}};
  for (const auto& [utf8, ansi] : cases) EXPECT_EQ(Utf8TextToAnsi(utf8), ansi) << utf8;
}

TEST(StringUtils, Utf8TextToAnsiOfLongTexts) {
  // Long texts are converted piece by piece; the result must be that of converting them whole,
  // also where a surrogate pair (here U+1F600 as two three-byte forms) straddles two pieces.
  const AnsiString pair = "\xED\xA0\xBD\xED\xB8\x80";
  const AnsiString filler(65535, 'a');
  const AnsiString cases[] = {filler + pair + "b", filler + "a" + pair + pair,
                              filler + filler + "\xC3\xA4" + pair,
                              AnsiString(200000, 'x') + "\xC3\xA4",
                              filler + "\xF0\x9F\x98\x80\xC3\xA4"};
  for (const AnsiString& utf8 : cases) {
    const AnsiString whole = platform::WideToAnsi(DecodeUTF8(utf8));
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(Utf8TextToAnsi(utf8), whole) << utf8.size();
  }
  // A malformed byte in a later piece still empties the whole result.
  EXPECT_EQ(Utf8TextToAnsi(AnsiString(200000, 'x') + "\xC3"), "");
  EXPECT_EQ(Utf8TextToAnsi(filler + pair.substr(0, 4)), "");
}

TEST(StringUtils, IntegerList) {
  TIntegerList list;
  EXPECT_EQ(list.IndexOf(0), -1);
  const int32_t values[] = {7, -3, 7, INT32_MIN, INT32_MAX, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(list.Add(values[i]), i);
  EXPECT_EQ(list.Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(list[i], values[i]);
  const std::pair<int32_t, int> lookups[] = {{7, 0},  {-3, 1}, {INT32_MIN, 3}, {INT32_MAX, 4},
                                             {0, 5},  {8, -1}, {-7, -1}};
  for (const auto& [value, index] : lookups) EXPECT_EQ(list.IndexOf(value), index) << value;
}

TEST(StringUtils, IntegerListIndexOutOfRangeRaisesListError) {
  TIntegerList list;
  const std::pair<int, int> probes[] = {{0, 0}, {1, -1}, {1, 1}, {1, INT32_MAX}};
  for (const auto& [count, index] : probes) {
    while (list.Count() < count) list.Add(42);
    try {
      (void)list[index];
      ADD_FAILURE() << "no error for index " << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), Format("Listenindex \xFC" "berschreitet das Maximum (%d)", index));
    }
  }
}

TEST(StringUtils, FormatCount) {
  const std::pair<int64_t, AnsiString> cases[] = {
      {0, "0"}, {999, "999"}, {1234, "1.234"}, {1234567, "1.234.567"}, {-1000, "-1.000"},
      {INT64_MIN, "-9.223.372.036.854.775.808"}};
#ifndef _WIN32
  TLocaleEnvironment locale;
  locale.Use("de_DE.UTF-8");
#endif
  // The Windows suite runs under a German user locale.
  for (const auto& [value, expected] : cases) EXPECT_EQ(FormatCount(value), expected) << value;
#ifndef _WIN32
  const std::pair<const char*, AnsiString> others[] = {
      {"de_CH.UTF-8", "1\x92" "234"}, {"en_US.UTF-8", "1,234"}, {"C", "1234"}};
  for (const auto& [name, expected] : others) {
    locale.Use(name);
    EXPECT_EQ(FormatCount(1234), expected) << name;
  }
#endif
}

TEST(StringUtils, AnsiToUtf8) {
  EXPECT_EQ(AnsiToUtf8("M\xFCller \x80 \x81"), "M\xC3\xBCller \xE2\x82\xAC \xC2\x81");
  EXPECT_EQ(AnsiToUtf8(""), "");
}

} // namespace
