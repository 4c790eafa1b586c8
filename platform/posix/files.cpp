#include <stdlib.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

bool CreateTempFile(AnsiString& FileName) {
  const char* folder = getenv("TMPDIR");
  AnsiString name = AnsiString(folder && *folder ? folder : "/tmp") + "/voxaro-XXXXXX";
  const int fd = mkstemp(&name[0]);
  if (fd < 0) return false;
  close(fd);
  FileName = name;
  return true;
}

void UseBinaryStandardStreams() {}

bool TerminalTakesAnsi() {
  return false;
}

} // namespace platform
