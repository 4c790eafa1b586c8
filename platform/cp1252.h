#pragma once
// Windows-1252 exactly as Windows converts it, for the POSIX build (whose ANSI code page it is)
// and for checking that build against Windows.
#include <cstdint>

namespace platform {
namespace cp1252 {

// The character of a byte; the five bytes 1252 leaves undefined map to U+0081, U+008D, U+008F,
// U+0090 and U+009D as on Windows.
char16_t ToWide(unsigned char Byte);
// The byte for a UTF-16 unit: its own byte, else the Windows best-fit byte, else '?'. Surrogates
// are converted one unit at a time, as Windows does for this code page.
char FromWide(char16_t Unit);
// The letter case mappings Windows applies to this code page (CharUpperBuffA, CharLowerBuffA):
// the letters of ASCII and Latin-1 with their pairs among 0x80..0x9F; every other byte, ß and µ
// included, maps to itself.
unsigned char ToUpper(unsigned char Byte);
unsigned char ToLower(unsigned char Byte);

} // namespace cp1252
} // namespace platform
