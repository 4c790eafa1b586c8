#pragma once
// Text for the terminal of the two command-line programs.
#include "support/string_utils.h"

// UTF-8 on POSIX; Windows consoles take the ANSI bytes as they are.
inline AnsiString ForTerminal(const AnsiString& Text) {
#ifdef _WIN32
  return Text;
#else
  return AnsiToUtf8(Text);
#endif
}
