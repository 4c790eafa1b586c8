#include "platform/cp1252.h"

#include <array>

namespace platform {
namespace cp1252 {

namespace {

constexpr char16_t Upper[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct BestFit {
  char16_t Unit;
  unsigned char Byte;
};

constexpr BestFit BestFits[] = {
#include "platform/cp1252_best_fit.inc"
};

using ReverseTable = std::array<char, 0x10000>;

ReverseTable MakeReverseTable() {
  ReverseTable table;
  table.fill('?');
  for (const BestFit& fit : BestFits)
    table[fit.Unit] = static_cast<char>(fit.Byte);
  for (int b = 0; b < 256; ++b)
    table[ToWide(static_cast<unsigned char>(b))] = static_cast<char>(b);
  return table;
}

} // namespace

unsigned char ToUpper(unsigned char Byte) {
  if ((Byte >= 'a' && Byte <= 'z') || (Byte >= 0xE0 && Byte <= 0xFE && Byte != 0xF7))
    return Byte - 0x20;
  switch (Byte) {
  case 0x9A:
  case 0x9C:
  case 0x9E:
    return Byte - 0x10;
  case 0xFF:
    return 0x9F;
  default:
    return Byte;
  }
}

unsigned char ToLower(unsigned char Byte) {
  if ((Byte >= 'A' && Byte <= 'Z') || (Byte >= 0xC0 && Byte <= 0xDE && Byte != 0xD7))
    return Byte + 0x20;
  switch (Byte) {
  case 0x8A:
  case 0x8C:
  case 0x8E:
    return Byte + 0x10;
  case 0x9F:
    return 0xFF;
  default:
    return Byte;
  }
}

char16_t ToWide(unsigned char Byte) {
  return Byte >= 0x80 && Byte < 0xA0 ? Upper[Byte - 0x80] : char16_t(Byte);
}

char FromWide(char16_t Unit) {
  static const ReverseTable table = MakeReverseTable();
  return table[Unit];
}

} // namespace cp1252
} // namespace platform
