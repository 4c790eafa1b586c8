#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "platform/cp1252.h"
#include "platform/platform.h"

namespace platform {

void AnsiUpperBuff(char* Buffer, size_t Length) {
  for (size_t i = 0; i < Length; ++i)
    Buffer[i] = static_cast<char>(cp1252::ToUpper(static_cast<unsigned char>(Buffer[i])));
}

void AnsiLowerBuff(char* Buffer, size_t Length) {
  for (size_t i = 0; i < Length; ++i)
    Buffer[i] = static_cast<char>(cp1252::ToLower(static_cast<unsigned char>(Buffer[i])));
}

// POSIX locales carry no list separator.
char ListSeparator() { return ','; }

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

void* CreateSharedMutex(const char*) { return nullptr; }
void CloseSharedMutex(void*) {}

} // namespace platform
