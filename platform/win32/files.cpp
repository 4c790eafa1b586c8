#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "platform/platform.h"

namespace platform {

bool CreateTempFile(AnsiString& FileName) {
  char folder[MAX_PATH + 1] = {};
  char name[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH) return false;
  // Unique 0 makes Windows create the file itself, under a name no one else holds.
  if (GetTempFileNameA(folder, "vox", 0, name) == 0) return false;
  FileName = name;
  return true;
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool TerminalTakesAnsi() {
  return true;
}

} // namespace platform
