#include "tests/window_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/helper_program.h"
#include "tests/test_files.h"

AnsiString ReadFromAnotherProcess(HWND Window) {
  TTempDir dir;
  const AnsiString output = dir.FileName("window.txt");
  const DWORD status = RunHelperProgram(
      "voxaro_read_window.exe",
      std::to_string(reinterpret_cast<intptr_t>(Window)) + " \"" + output + "\"", 30000, true);
  EXPECT_EQ(status, 0u);
  return ReadFileBytes(output);
}
