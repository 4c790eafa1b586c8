#include "framework/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace {

void FreeList(LPWSTR* List) { LocalFree(List); }

std::vector<AnsiString> Arguments() {
  std::vector<AnsiString> arguments;
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&FreeList)> list(
      CommandLineToArgvW(GetCommandLineW(), &count), &FreeList);
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) {
    const LPWSTR argument = list.get()[i];
    arguments.push_back(platform::WideToAnsi(reinterpret_cast<const char16_t*>(argument),
                                             std::wcslen(argument)));
  }
  return arguments;
}

} // namespace

AnsiString ParamStr(int Index) {
  const std::vector<AnsiString> arguments = Arguments();
  if (Index < 0 || static_cast<size_t>(Index) >= arguments.size()) return AnsiString();
  return arguments[static_cast<size_t>(Index)];
}

int ParamCount() {
  const size_t count = Arguments().size();
  return count > 0 ? static_cast<int>(count) - 1 : 0;
}
