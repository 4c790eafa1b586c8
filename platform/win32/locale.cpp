#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

namespace {
template <typename Mapping> void InPieces(char* Buffer, size_t Length, Mapping Map) {
  while (Length > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(Length, 0x40000000));
    Map(Buffer, piece);
    Buffer += piece;
    Length -= piece;
  }
}
} // namespace

void UpperCaseAnsi(char* Buffer, size_t Length) {
  InPieces(Buffer, Length, ::CharUpperBuffA);
}
void LowerCaseAnsi(char* Buffer, size_t Length) {
  InPieces(Buffer, Length, ::CharLowerBuffA);
}

char ListSeparator() {
  char separator[4] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, sizeof separator) > 1)
    return separator[0];
  return ',';
}

bool UserCountryCode(AnsiString& Code) {
  // Three characters with the terminating zero: a three-digit code does not fit and fails.
  char code[3] = {};
  if (GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_ICOUNTRY, code, sizeof code) <= 0) return false;
  Code = code;
  return true;
}

AnsiString ThousandSeparator() {
  char separator[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, sizeof separator) <= 0)
    return AnsiString();
  return separator;
}

void* CreateSharedMutex(const char* Name) {
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return nullptr;
  // Present but null: every user and process may open the object.
  if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) return nullptr;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, TRUE};
  return CreateMutexA(&attributes, FALSE, Name);
}

void CloseSharedMutex(void* Handle) {
  if (Handle) CloseHandle(Handle);
}

} // namespace platform
