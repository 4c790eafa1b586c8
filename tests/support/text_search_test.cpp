#include "support/text_search.h"

#include <gtest/gtest.h>

#include <random>

#include "base/exceptions.h"
#include "platform/cp1252.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Case {
  AnsiString Pattern, Text;
  bool CaseSensitive;
  int64_t StartPos;
  bool Forward;
  int64_t Expected;
};

TEST(TextSearch, Cases) {
  const Case cases[] = {
      {"aab", "aaab", true, 1, true, 2},
      {"abc", "ab", true, 1, true, 0},
      {"abc", "ab", true, 0, false, 0},
      {"a", "", true, 1, true, 0},
      {"ab", "abxab", true, 1, true, 1},
      {"ab", "abxab", true, 2, true, 4},
      {"ab", "abxab", true, 5, true, 0},
      {"ab", "abxab", true, 0, false, 4},
      {"ab", "abxab", true, 4, false, 4},
      {"ab", "abxab", true, 3, false, 1},
      {"ab", "abxab", true, 99, false, 4},
      {"ab", "abxab", true, -1, false, 0},
      {"xab", "abxab", true, 1, true, 3}, // ends on the last byte
      {"", "abc", true, 0, false, 0},
      {"TELEFON",
       "Telefon gesch\xE4"
       "ftlich",
       false, 1, true, 1},
      {"TELEFON", "Telefon", true, 1, true, 0},
      {"\xC4RZTE", "Haus\xE4rzte", false, 1, true, 5},
      {"\xC4RZTE", "Haus\xE4rzte", false, 0, false, 5},
      {"b", "abAB", false, 3, true, 4},
      {"b", "abAB", true, 3, true, 0},
      {"B", "abAB", false, 3, false, 2},
      {"abc", "xxabc", true, 0, true, 3}, // a start below 1 counts as 1
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindTextPos(c.Pattern, c.Text, c.CaseSensitive, c.StartPos, c.Forward), c.Expected)
        << c.Pattern << " in " << c.Text << " from " << c.StartPos
        << (c.Forward ? " fwd" : " back");
}

TEST(TextSearch, EmptyPatternForwardRaises) {
  for (const AnsiString text : {"", "abc"}) {
    try {
      FindTextPos("", text, false, 1, true);
      FAIL() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "BufferLen is 0");
    }
  }
}

int64_t NaiveFind(const AnsiString& p, const AnsiString& t, bool exact, int64_t start,
                  bool forward) {
  auto key = [exact](char c) {
    const auto b = static_cast<unsigned char>(c);
    return exact ? b : UpperCaseTable[b];
  };
  auto matchesAt = [&](size_t s) {
    for (size_t j = 0; j < p.size(); ++j)
      if (key(p[j]) != key(t[s + j])) return false;
    return true;
  };
  if (p.empty() || p.size() > t.size()) return 0;
  const int64_t last = static_cast<int64_t>(t.size() - p.size()) + 1;
  if (forward) {
    for (int64_t s = std::max<int64_t>(start, 1); s <= last; ++s)
      if (matchesAt(static_cast<size_t>(s - 1))) return s;
  } else {
    for (int64_t s = start == 0 ? last : std::min(start, last); s >= 1; --s)
      if (matchesAt(static_cast<size_t>(s - 1))) return s;
  }
  return 0;
}

// Both methods against the obvious search, on texts full of near misses and case pairs; short
// texts and long ones, which are searched in different ways.
TEST(TextSearch, AgreesWithNaiveSearch) {
  std::mt19937 rng(4711);
  const char alphabet[] = {'a', 'b', 'A', 'B', '\xE4', '\xC4', '\xDF', '\xFF', '\x9F', '\0'};
  auto randomText = [&](size_t maxLength) {
    AnsiString s(rng() % (maxLength + 1), 'a');
    for (char& c : s)
      c = alphabet[rng() % sizeof alphabet];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const AnsiString text = randomText(round % 8 < 6 ? 24 : 700);
    const AnsiString pattern = randomText(4);
    if (pattern.empty()) continue;
    const bool exact = round % 2 == 0;
    const bool forward = round % 4 < 2;
    const int64_t start = static_cast<int64_t>(rng() % (text.size() + 3));
    ASSERT_EQ(FindTextPos(pattern, text, exact, start, forward),
              NaiveFind(pattern, text, exact, start, forward))
        << "round " << round;
  }
}

TEST(TextSearch, UpperCaseTableIsTheAnsiMapping) {
  for (int b = 0; b < 256; ++b) {
#ifdef _WIN32
    char c = static_cast<char>(b);
    CharUpperBuffA(&c, 1);
    EXPECT_EQ(UpperCaseTable[b], static_cast<unsigned char>(c)) << b;
#else
    EXPECT_EQ(UpperCaseTable[b], platform::cp1252::ToUpper(static_cast<unsigned char>(b))) << b;
#endif
  }
}

} // namespace
