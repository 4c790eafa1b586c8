#include <windows.h>

#include <climits>

#include "base/exceptions.h"
#include "platform/platform.h"

namespace platform {

namespace {
// The Win32 conversions take int lengths; texts come from files of less than 2 GiB.
int CheckedLength(size_t Length) {
  if (Length > INT_MAX) throw Exception("Zu wenig Arbeitsspeicher");
  return static_cast<int>(Length);
}
} // namespace

AnsiString WideToAnsi(const char16_t* Text, size_t Length) {
  if (Length == 0) return AnsiString();
  const int length = CheckedLength(Length);
  const auto* wide = reinterpret_cast<const wchar_t*>(Text);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  AnsiString result(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide, length, &result[0], size, nullptr, nullptr);
  return result;
}

WideString AnsiToWide(const AnsiString& Text) {
  if (Text.empty()) return WideString();
  const int length = CheckedLength(Text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, Text.data(), length, nullptr, 0);
  WideString result(static_cast<size_t>(size > 0 ? size : 0), u'\0');
  if (size > 0)
    MultiByteToWideChar(CP_ACP, 0, Text.data(), length, reinterpret_cast<wchar_t*>(&result[0]),
                        size);
  return result;
}

} // namespace platform
