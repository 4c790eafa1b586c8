#include "framework/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "framework/win_owners.h"
#include "platform/platform.h"

namespace {

std::vector<AnsiString> Arguments() {
  std::vector<AnsiString> arguments;
  int count = 0;
  const TLocalMemory<LPWSTR*> list(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) {
    const LPWSTR argument = list.Get()[i];
    arguments.push_back(
        platform::WideToAnsi(reinterpret_cast<const char16_t*>(argument), std::wcslen(argument)));
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
