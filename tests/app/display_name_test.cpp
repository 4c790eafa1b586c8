#include "app/display_name.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayName, BuildDisplayName) {
  const std::pair<AnsiString, AnsiString> cases[] = {
      {"Anna Muster Muster GmbH Anna Muster", "Anna Muster GmbH"},
      {" Muster", "Muster"},
      {"", ""},
      {"   ", ""},
      {"1 2 3 4 5 6 7 8", "1 2 3 4 5 6"},
      {"Anna Ann", "Anna"},       // part of an earlier, longer word
      {"Ann Anna", "Ann Anna"},
      {"Muster MUSTER muster", "Muster"},
      {"M\xFCller M\xDCLLER", "M\xFCller"},  // case of the ANSI code page
      {"AG AG KG KG", "AG AG KG KG"},
      {"Co & Co & Co & Co", "Co & Co & Co &"},
      // Left-out words do not count toward the six.
      {"Anna Anna Anna Anna a b c d e f", "Anna a b c d e"},
      {"Anna Muster ::: Berta Muster", "Anna Muster  Berta"},
      {"Anna:::Berta", "AnnaBerta"},
      {"Anna\tMuster Muster", "Anna\tMuster"},
      {"  Anna    Muster  ", "Anna Muster"},
      {"Erika Mustermann Mustermann Erika Mustermann", "Erika Mustermann"},
      {"Ein sehr langer Firmenname der nicht gek\xFCrzt wird", "Ein sehr langer Firmenname der nicht"},
      // The words end at a byte 0, with or without blank runs to collapse first.
      {std::string("Anna Muster\0Berta", 17), "Anna Muster"},
      {std::string("Anna  Muster\0 Berta", 19), "Anna Muster"},
  };
  for (const auto& [joined, expected] : cases) EXPECT_EQ(BuildDisplayName(joined), expected) << joined;
}

TEST(DisplayName, ContainsText) {
  const std::tuple<AnsiString, AnsiString, bool> cases[] = {
      {"Telefon gesch\xE4" "ftlich", "Telefon", true}, {"Mobiltelefon", "Telefon", true},
      {"Home Phone", "Phone", true}, {"Anzeigename", "Name", true},
      {"E-Mail", "Name", false}, {"", "Name", false}, {"Name", "", false},
      {"Tel", "Telefon", false},
  };
  for (const auto& [text, sub, expected] : cases) EXPECT_EQ(ContainsText(text, sub), expected) << text;
}

} // namespace
