#pragma once
// Text for the terminal of the two command-line programs.
#include "base/system.h"
#include "platform/platform.h"
#include "support/utf8.h"

// The ANSI bytes where the terminal takes them, UTF-8 elsewhere.
inline AnsiString ForTerminal(const AnsiString& Text) {
  return platform::TerminalTakesAnsi() ? Text : AnsiToUtf8(Text);
}
