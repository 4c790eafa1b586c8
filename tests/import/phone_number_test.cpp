#include "import/phone_number.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "tests/test_locale.h"

namespace {

using namespace std::string_literals;

struct Case {
  AnsiString Text, Country, Normalized, Key;
};

TEST(PhoneNumber, NormalizeAndStrip) {
  const Case cases[] = {
      {"+49 (30) 123-456", "49", "030123456", "030123456"},
      {"0049 30 123456", "49", "004930123456", "030123456"},
      {"+1 555 1234", "49", "0015551234", "0015551234"},
      {"030/123456", "49", "030123456", "030123456"},
      {"Tel. 0171 555", "49", "0171555", "0171555"},
      {"n/a", "49", "", ""},
      {"", "49", "", ""},
      {"+41 44 123", "41", "044123", "044123"},
      {"+41 44 123", "49", "004144123", "004144123"},
      {"030-12 34", "49", "0301234", "0301234"},
      {"0049+30", "49", "0049+30", "0+30"},
      {"49301234", "49", "49301234", "49301234"},
      {"+49 30 1234", "49", "0301234", "0301234"},
      {"0049 30 1234", "49", "0049301234", "0301234"},
      {"030 1234", "49", "0301234", "0301234"},
      {"+4930<br>1234", "49", "0301234", "0301234"},
      {"\xB9"
       "030 12\t34\0"s
       "5",
       "49", "03012345", "03012345"},
      // The trunk 0 written beside an international prefix is not dialled.
      {"+49 (0) 40 6432131-550", "49", "0406432131550", "0406432131550"},
      {"+49(0)40 6432131-550", "49", "0406432131550", "0406432131550"},
      {"0049 (0) 30 1234", "49", "0049301234", "0301234"},
      {"+33 (0)1 42 68 53 00", "49", "0033142685300", "0033142685300"},
      {"+1234 (0) 5", "49", "00123405", "00123405"}, // four digits are no country code
      {"(0)30 123", "49", "030123", "030123"},
      {"030 (0) 123", "49", "0300123", "0300123"},
      {"+49 (0) 30 (0) 1", "49",
       "030"
       "01",
       "03001"}, // only the first
      {"+ (0) 30", "49", "00030", "00030"},
  };
  for (const Case& c : cases) {
    const AnsiString normalized = NormalizePhoneNumber(c.Text, c.Country);
    EXPECT_EQ(normalized, c.Normalized) << c.Text;
    EXPECT_EQ(StripCountryPrefix(normalized, c.Country), c.Key) << c.Text;
  }
}

TEST(PhoneNumber, AtMostHundredCharactersAfterARewrittenPrefix) {
  const AnsiString digits(150, '7');
  EXPECT_EQ(NormalizePhoneNumber("+49" + digits, "49"), "0" + digits.substr(0, 100));
  EXPECT_EQ(NormalizePhoneNumber("+1" + digits, "49"), "00" + ("1" + digits).substr(0, 100));
  EXPECT_EQ(StripCountryPrefix("0049" + digits, "49"), "0" + digits.substr(0, 100));
  EXPECT_EQ(NormalizePhoneNumber("0" + digits, "49"), "0" + digits);
  EXPECT_EQ(StripCountryPrefix("0" + digits, "49"), "0" + digits);
}

// The rules step by step: the digits and "+" before the first "(0)", that "(0)" left out after
// an international prefix of one to three digits, the rest, then the prefix rewritten.
AnsiString PlainNormalization(const AnsiString& Text, const AnsiString& Country) {
  const auto keep = [](const AnsiString& Part) {
    AnsiString kept;
    for (char c : Part)
      if ((c >= '0' && c <= '9') || c == '+') kept += c;
    return kept;
  };
  AnsiString number;
  const size_t trunk = Text.find("(0)");
  if (trunk == AnsiString::npos) {
    number = keep(Text);
  } else {
    number = keep(Text.substr(0, trunk));
    const size_t prefix = number.rfind('+', 0) == 0 ? 1 : number.rfind("00", 0) == 0 ? 2 : 0;
    const size_t digits = number.size() - prefix;
    const bool international = prefix > 0 && digits >= 1 && digits <= 3 &&
                               keep(number.substr(prefix)) == number.substr(prefix) &&
                               number.find('+', prefix) == AnsiString::npos;
    number += keep(Text.substr(trunk + (international ? 3 : 0)));
  }
  if (number.rfind("+" + Country, 0) == 0) return "0" + number.substr(1 + Country.size(), 100);
  if (number.rfind('+', 0) == 0) return "00" + number.substr(1, 100);
  return number;
}

TEST(PhoneNumber, MatchesThePlainRulesOnRandomTexts) {
  std::mt19937 random(99);
  const char alphabet[] = "0123456789+++(())00 -/x";
  AnsiString key; // kept from round to round, as the import keeps it
  for (int round = 0; round < 20000; ++round) {
    AnsiString text(random() % (round % 50 ? 24 : 240), ' ');
    for (char& c : text)
      c = alphabet[random() % (sizeof alphabet - 1)];
    const AnsiString country = round % 3 ? "49" : "1";
    const AnsiString number = NormalizePhoneNumber(text, country);
    ASSERT_EQ(number, PlainNormalization(text, country)) << text;
    NumberKey(text, country, key);
    ASSERT_EQ(key, StripCountryPrefix(number, country)) << text;
  }
}

#ifndef _WIN32
TEST(CountryCode, UserLocales) {
  TLocaleEnvironment locale;
  const std::pair<const char*, const char*> cases[] = {
      {"de_DE.UTF-8", "49"}, {"de_CH.UTF-8", "41"},
      {"en_US.UTF-8", "1"},  {"cs_CZ.UTF-8", "49"}, // 420 has three digits
      {"C", "49"},                                  // no telephone prefix
      {"xx_YY.UTF-8", "49"},                        // no such locale
  };
  for (const auto& [name, expected] : cases) {
    locale.Use(name);
    EXPECT_EQ(GetCountryCode(), expected) << name;
  }
}
#else
// Wine takes the user locale from the environment it starts in; the test suite runs this test
// once per locale with the code it must give.
TEST(CountryCode, UserLocale) {
  const char* expected = std::getenv("VOXARO_EXPECTED_COUNTRY");
  if (!expected) GTEST_SKIP() << "run with a locale by the suite";
  EXPECT_EQ(GetCountryCode(), expected);
}
#endif

} // namespace
