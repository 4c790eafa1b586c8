#include "platform/cp1252.h"
#include "platform/platform.h"

// The POSIX build's ANSI code page is Windows-1252.
namespace platform {

AnsiString WideToAnsi(const char16_t* Text, size_t Length) {
  AnsiString result(Length, '\0');
  for (size_t i = 0; i < Length; ++i)
    result[i] = Text[i] < 0x80 ? static_cast<char>(Text[i]) : cp1252::FromWide(Text[i]);
  return result;
}

WideString AnsiToWide(const AnsiString& Text) {
  WideString result(Text.size(), u'\0');
  for (size_t i = 0; i < Text.size(); ++i)
    result[i] = cp1252::ToWide(static_cast<unsigned char>(Text[i]));
  return result;
}

} // namespace platform
