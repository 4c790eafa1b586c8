#pragma once
// The names the Win32 file calls take.
#include <string>

#include "base/system.h"

namespace platform {

// Name as a full UTF-16 path in its long form, for the "W" file calls. False when Name cannot
// name a file: it is empty, holds a zero byte, or is longer than the system takes.
bool SystemPath(const PathString& Name, std::wstring& Path);

} // namespace platform
