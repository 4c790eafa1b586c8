#include "framework/command_line.h"

#include <vector>

#include "platform/platform.h"

PathString ParamStr(int Index) {
  const std::vector<PathString> arguments = platform::ProgramArguments(0, nullptr);
  if (Index < 0 || static_cast<size_t>(Index) >= arguments.size()) return PathString();
  return arguments[static_cast<size_t>(Index)];
}
