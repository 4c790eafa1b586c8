#pragma once
// The program's command-line arguments, split by the Windows rules and converted to the ANSI
// code page.
#include "base/system.h"

// Index 0 is the program; beyond the last argument the result is empty.
AnsiString ParamStr(int Index);
// The number of arguments after the program's name.
int ParamCount();
