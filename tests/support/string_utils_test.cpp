#include "support/string_utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "base/exceptions.h"
#include "tests/test_locale.h"

namespace {

using namespace std::string_literals;
using Pieces = std::vector<AnsiString>;

TEST(StringUtils, TruncateString) {
  const std::tuple<AnsiString, int, AnsiString> cases[] = {
      {"abcde", 5, "abcde"},
      {"abcdef", 5, "abc.."},
      {"abc", 5, "abc"},
      {"", 0, ""},
      {AnsiString(51, 'n'), 50, AnsiString(48, 'n') + ".."},
      {"a\0\xFC"
       "bcd"s,
       5, "a\0\xFC.."s},
      // Too small a maximum keeps nothing of S, and must not cut outside it.
      {"abc", 2, ".."},
      {"abc", 0, ".."}};
  for (const auto& [s, max, expected] : cases)
    EXPECT_EQ(TruncateString(s, max), expected) << s;
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
      {"", "a", 0, 3, {"a"}}, // returned before FixedLength is looked at
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
    for (int b = 0; b < 256; ++b)
      Upper[b] = Other[b] = static_cast<unsigned char>(b);
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
      {"Stra\xDF"
       "e STRASSE \xFF",
       "\xDF", "ss", "Strasse STRASSE \xFF"},
      {"Stra\xDF"
       "e",
       "SS", "x",
       "Stra\xDF"
       "e"},
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
    for (char& c : s)
      c = alphabet[random() % (sizeof alphabet - 1)];
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
      {"  a   b ", " a b "}, {" \t ", " \t "},     {"", ""},
      {"     ", " "},        {"a\t\tb", "a\t\tb"}, {"\0  \0"s, "\0 \0"s}};
  for (const auto& [s, expected] : cases)
    EXPECT_EQ(CollapseSpaces(s), expected) << s;
}

} // namespace
