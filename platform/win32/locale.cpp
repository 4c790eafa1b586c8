#include <windows.h>

#include "platform/platform.h"

namespace platform {

char ListSeparator() {
  char separator[4] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, sizeof separator) > 1)
    return separator[0];
  return ',';
}

} // namespace platform
