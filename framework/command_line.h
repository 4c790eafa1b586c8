#pragma once
// The program's command-line arguments, split by the Windows rules from the UTF-16 command line,
// as paths.
#include "base/system.h"

// Index 0 is the program; beyond the last argument the result is empty.
PathString ParamStr(int Index);
