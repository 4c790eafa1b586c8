#include "platform/cp1252.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(Cp1252, KnownCharacters) {
  struct Case {
    unsigned char Byte;
    char16_t Unit;
  };
  const Case cases[] = {{0x00, 0x0000}, {0x41, 0x0041}, {0x80, 0x20AC}, {0x81, 0x0081},
                        {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090},
                        {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xC4, 0x00C4},
                        {0xDF, 0x00DF}, {0xFF, 0x00FF}};
  for (const Case& c : cases) {
    EXPECT_EQ(platform::cp1252::ToWide(c.Byte), c.Unit) << int(c.Byte);
    EXPECT_EQ(static_cast<unsigned char>(platform::cp1252::FromWide(c.Unit)), c.Byte)
        << int(c.Byte);
  }
}

TEST(Cp1252, UnitsOutsideTheCodePage) {
  struct Case {
    char16_t Unit;
    char Byte;
  };
  // 0x80 is the euro sign's byte, so U+0080 has none; best fit turns accented letters plain.
  const Case cases[] = {{0x0100, 'A'}, {0x0159, 'r'}, {0x4E00, '?'}, {0xD83D, '?'},
                        {0xDE00, '?'}, {0xFEFF, '?'}, {0xFFFF, '?'}};
  for (const Case& c : cases)
    EXPECT_EQ(platform::cp1252::FromWide(c.Unit), c.Byte) << int(c.Unit);
}

TEST(Cp1252, CasePairs) {
  // Pairs outside ASCII, and the letters without a partner in the code page.
  const unsigned char pairs[][2] = {{0xE4, 0xC4}, {0xFE, 0xDE}, {0x9A, 0x8A},
                                    {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
  for (const auto& p : pairs) {
    EXPECT_EQ(platform::cp1252::ToUpper(p[0]), p[1]) << int(p[0]);
    EXPECT_EQ(platform::cp1252::ToLower(p[1]), p[0]) << int(p[1]);
  }
  for (int same : {0xDF, 0xB5, 0xF7, 0xD7, 0x80, 0x31}) {
    EXPECT_EQ(platform::cp1252::ToUpper(static_cast<unsigned char>(same)), same);
    EXPECT_EQ(platform::cp1252::ToLower(static_cast<unsigned char>(same)), same);
  }
}

TEST(Conversion, RoundTripKeepsEveryByte) {
  AnsiString all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  const WideString wide = platform::AnsiToWide(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(platform::WideToAnsi(wide), all);
  EXPECT_EQ(platform::WideToAnsi(u"Dvo\u0159\u00E1k \u20AC"), "Dvor\xE1k \x80");
  EXPECT_EQ(platform::WideToAnsi(WideString()), "");
}

#ifdef _WIN32
// The POSIX build's tables must convert exactly as Windows does for code page 1252.
TEST(Conversion, PosixTablesEqualWindows1252) {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t unit = 0;
    ASSERT_EQ(MultiByteToWideChar(1252, 0, &byte, 1, &unit, 1), 1);
    EXPECT_EQ(char16_t(unit), platform::cp1252::ToWide(static_cast<unsigned char>(b))) << b;
  }
  int differences = 0;
  for (unsigned u = 0; u < 0x10000; ++u) {
    const wchar_t unit = static_cast<wchar_t>(u);
    char byte = 0;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, &unit, 1, &byte, 1, nullptr, nullptr), 1) << u;
    if (byte != platform::cp1252::FromWide(char16_t(u)) && ++differences <= 10)
      ADD_FAILURE() << "U+" << std::hex << u << ": Windows gives "
                    << int(static_cast<unsigned char>(byte));
  }
  EXPECT_EQ(differences, 0);
}

// The POSIX build's case tables must map exactly as Windows does for code page 1252.
TEST(Conversion, PosixCaseTablesEqualWindows1252) {
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
  for (int b = 0; b < 256; ++b) {
    char upper = static_cast<char>(b), lower = static_cast<char>(b);
    CharUpperBuffA(&upper, 1);
    CharLowerBuffA(&lower, 1);
    EXPECT_EQ(static_cast<unsigned char>(upper),
              platform::cp1252::ToUpper(static_cast<unsigned char>(b)))
        << b;
    EXPECT_EQ(static_cast<unsigned char>(lower),
              platform::cp1252::ToLower(static_cast<unsigned char>(b)))
        << b;
  }
}

TEST(Conversion, AnsiCodePageIsUsed) {
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
  for (unsigned u = 0; u < 0x10000; u += 7) {
    const char16_t unit = char16_t(u);
    EXPECT_EQ(platform::WideToAnsi(&unit, 1), AnsiString(1, platform::cp1252::FromWide(unit))) << u;
  }
}
#endif

} // namespace
