#include "tests/window_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

AnsiString ReadFromAnotherProcess(HWND Window) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  AnsiString helper(self, length);
  helper.erase(helper.find_last_of("\\/") + 1);
  helper += "voxaro_read_window.exe";
  TTempDir dir;
  const AnsiString output = dir.FileName("window.txt");
  AnsiString commandLine = "\"" + helper + "\" " +
                           std::to_string(reinterpret_cast<intptr_t>(Window)) + " \"" + output +
                           "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(helper.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << helper;
    return AnsiString();
  }
  CloseHandle(process.hThread);
  const DWORD deadline = GetTickCount() + 30000;
  for (;;) {
    const DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 1000, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
    if (GetTickCount() > deadline) {
      ADD_FAILURE() << "the helper did not end";
      TerminateProcess(process.hProcess, 99);
      break;
    }
  }
  DWORD status = 99;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  EXPECT_EQ(status, 0u);
  return ReadFileBytes(output);
}
