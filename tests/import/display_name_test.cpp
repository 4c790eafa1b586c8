#include "import/display_name.h"

#include <gtest/gtest.h>

#include <random>

#include "support/string_utils.h"

namespace {

TEST(DisplayName, BuildDisplayName) {
  const std::pair<AnsiString, AnsiString> cases[] = {
      {"Anna Muster Muster GmbH Anna Muster", "Anna Muster GmbH"},
      {" Muster", "Muster"},
      {"", ""},
      {"   ", ""},
      {"1 2 3 4 5 6 7 8", "1 2 3 4 5 6"},
      {"Anna Ann", "Anna"}, // part of an earlier, longer word
      {"Ann Anna", "Ann Anna"},
      {"Muster MUSTER muster", "Muster"},
      {"M\xFCller M\xDCLLER", "M\xFCller"}, // case of the ANSI code page
      {"AG AG KG KG", "AG AG KG KG"},
      {"Co & Co & Co & Co", "Co & Co & Co &"},
      // Left-out words do not count toward the six.
      {"Anna Anna Anna Anna a b c d e f", "Anna a b c d e"},
      {"Anna Muster ::: Berta Muster", "Anna Muster  Berta"},
      {"Anna:::Berta", "AnnaBerta"},
      {"Anna\tMuster Muster", "Anna\tMuster"},
      {"  Anna    Muster  ", "Anna Muster"},
      {"Erika Mustermann Mustermann Erika Mustermann", "Erika Mustermann"},
      {"Ein sehr langer Firmenname der nicht gek\xFCrzt wird",
       "Ein sehr langer Firmenname der nicht"},
      // The words end at a byte 0, with or without blank runs to collapse first.
      {std::string("Anna Muster\0Berta", 17), "Anna Muster"},
      {std::string("Anna  Muster\0 Berta", 19), "Anna Muster"},
  };
  for (const auto& [joined, expected] : cases)
    EXPECT_EQ(BuildDisplayName(joined), expected) << joined;
}

// The steps as written down: blank runs collapsed, ":::" removed, the words split at blanks up to
// a byte 0, each kept unless it has three or more characters and the name so far contains it,
// six at most, then the ends trimmed.
AnsiString PlainDisplayName(const AnsiString& Joined) {
  AnsiString text = CollapseSpaces(Joined);
  ReplaceTextInPlace(text, ":::", "");
  AnsiString result;
  int count = 0;
  for (const AnsiString& word : SplitString(" ", text, 0, 0)) {
    if (count == 6) break;
    if (word.size() < 3 || !ContainsText(result, word)) {
      result += " " + word;
      ++count;
    }
  }
  size_t begin = 0, end = result.size();
  while (begin < end && static_cast<unsigned char>(result[begin]) <= ' ')
    ++begin;
  while (end > begin && static_cast<unsigned char>(result[end - 1]) <= ' ')
    --end;
  return result.substr(begin, end - begin);
}

TEST(DisplayName, MatchesThePlainStepsOnRandomNames) {
  std::mt19937 random(5);
  const AnsiString words[] = {
      "Anna", "anna", "Ann", "M\xFCller", "M\xDCLLER",         ":::", ":",   "AG",
      "&",    "",     " ",   "\t",        AnsiString(1, '\0'), "Co",  "GmbH"};
  AnsiString result;
  TNameScratch scratch;
  for (int round = 0; round < 20000; ++round) {
    AnsiString joined;
    for (size_t n = random() % 12; n > 0; --n) {
      joined += words[random() % (sizeof words / sizeof *words)];
      if (random() % 3) joined += ' ';
    }
    const AnsiString expected = PlainDisplayName(joined);
    ASSERT_EQ(BuildDisplayName(joined), expected) << testing::PrintToString(joined);
    BuildDisplayName(joined, result, scratch);
    ASSERT_EQ(result, expected) << testing::PrintToString(joined);
  }
}

TEST(DisplayName, ContainsText) {
  const std::tuple<AnsiString, AnsiString, bool> cases[] = {
      {"Telefon gesch\xE4"
       "ftlich",
       "Telefon", true},
      {"Mobiltelefon", "Telefon", true},
      {"Home Phone", "Phone", true},
      {"Anzeigename", "Name", true},
      {"E-Mail", "Name", false},
      {"", "Name", false},
      {"Name", "", false},
      {"Tel", "Telefon", false},
  };
  for (const auto& [text, sub, expected] : cases)
    EXPECT_EQ(ContainsText(text, sub), expected) << text;
}

} // namespace
