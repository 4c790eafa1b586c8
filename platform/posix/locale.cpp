#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "platform/cp1252.h"
#include "platform/platform.h"

namespace platform {

void UpperCaseAnsi(char* Buffer, size_t Length) {
  for (size_t i = 0; i < Length; ++i)
    Buffer[i] = static_cast<char>(cp1252::ToUpper(static_cast<unsigned char>(Buffer[i])));
}

void LowerCaseAnsi(char* Buffer, size_t Length) {
  for (size_t i = 0; i < Length; ++i)
    Buffer[i] = static_cast<char>(cp1252::ToLower(static_cast<unsigned char>(Buffer[i])));
}

// POSIX locales carry no list separator.
char ListSeparator() {
  return ',';
}

bool UserCountryCode(AnsiString& Code) {
  // The user's locale from the environment, without touching the process's global locale.
  locale_t user = newlocale(LC_TELEPHONE_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return false;
  const char* prefix = nl_langinfo_l(_NL_TELEPHONE_INT_PREFIX, user);
  AnsiString code = prefix ? prefix : "";
  freelocale(user);
  if (code.empty() || code.size() > 2) return false;
  for (char c : code)
    if (c < '0' || c > '9') return false;
  Code = code;
  return true;
}

AnsiString ThousandSeparator() {
  locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return AnsiString();
  const char* utf8 = nl_langinfo_l(THOUSEP, user);
  // The locales the program meets write the separator as one UTF-8 character.
  WideString wide;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : ""); *c;) {
    if (*c < 0x80) {
      wide += char16_t(*c++);
    } else if ((*c & 0xE0) == 0xC0 && c[1]) {
      wide += char16_t(((c[0] & 0x1F) << 6) | (c[1] & 0x3F));
      c += 2;
    } else if ((*c & 0xF0) == 0xE0 && c[1] && c[2]) {
      wide += char16_t(((c[0] & 0x0F) << 12) | ((c[1] & 0x3F) << 6) | (c[2] & 0x3F));
      c += 3;
    } else {
      break;
    }
  }
  freelocale(user);
  return WideToAnsi(wide);
}

void* CreateSharedMutex(const char*) {
  return nullptr;
}
void CloseSharedMutex(void*) {}

} // namespace platform
