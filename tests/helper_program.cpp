#include "tests/helper_program.h"

#include <gtest/gtest.h>

#include "framework/win_owners.h"
#include "tests/wait_limit.h"

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

} // namespace

DWORD RunHelperProgram(const char* Name, const AnsiString& Arguments, DWORD TimeoutMs,
                       bool ServeMessages) {
  // Each start of a program under an emulator takes a minute or more.
  const DWORD limit = StretchedLimit(TimeoutMs);
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
