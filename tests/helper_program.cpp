#include "tests/helper_program.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/win_owners.h"

namespace {

AnsiString BesideThisProgram(const char* Name) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return AnsiString();
  AnsiString path(self, length);
  path.erase(path.find_last_of("\\/") + 1);
  return path + Name;
}

// Waits at most TimeoutMs for Process to end, dispatching this thread's messages when asked to.
bool Ended(HANDLE Process, DWORD TimeoutMs, bool ServeMessages) {
  if (!ServeMessages) return WaitForSingleObject(Process, TimeoutMs) == WAIT_OBJECT_0;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD passed = GetTickCount() - start;
    if (passed >= TimeoutMs) return WaitForSingleObject(Process, 0) == WAIT_OBJECT_0;
    const DWORD wait =
        MsgWaitForMultipleObjects(1, &Process, FALSE, TimeoutMs - passed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) return true;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
  }
}

// Each start of a program under an emulator takes a minute or more: VOXARO_WAIT_FACTOR (set by
// scripts/test-win32.sh) stretches the limit.
DWORD Stretched(DWORD TimeoutMs) {
  char text[16] = {};
  const DWORD length = GetEnvironmentVariableA("VOXARO_WAIT_FACTOR", text, sizeof text);
  const unsigned long factor = length > 0 && length < sizeof text ? strtoul(text, nullptr, 10) : 1;
  const ULONGLONG stretched = ULONGLONG(TimeoutMs) * (factor > 1 ? factor : 1);
  return static_cast<DWORD>(stretched < INFINITE ? stretched : INFINITE - 1);
}

} // namespace

DWORD RunHelperProgram(const char* Name, const AnsiString& Arguments, DWORD TimeoutMs,
                       bool ServeMessages) {
  const DWORD limit = Stretched(TimeoutMs);
  const AnsiString helper = BesideThisProgram(Name);
  AnsiString commandLine = "\"" + helper + "\" " + Arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (helper.empty() || !CreateProcessA(helper.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &started)) {
    ADD_FAILURE() << "cannot start " << Name << ", error " << GetLastError();
    return HelperNotStarted;
  }
  const TKernelHandle thread(started.hThread);
  const TKernelHandle process(started.hProcess);
  if (!Ended(process.Get(), limit, ServeMessages)) {
    ADD_FAILURE() << Name << " did not end within " << limit << " ms";
    TerminateProcess(process.Get(), HelperHung);
    return HelperHung;
  }
  DWORD status = HelperNotStarted;
  GetExitCodeProcess(process.Get(), &status);
  return status;
}
