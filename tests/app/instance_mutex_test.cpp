#include <windows.h>

#include <gtest/gtest.h>

#include "app/instance_mutex.h"
#include "base/system.h"

namespace {

// The exit status of voxaro_open_mutex, started beside this program, for Name.
DWORD OpenFromAnotherProcess(const AnsiString& Name) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    ADD_FAILURE() << "no module file name";
    return 99;
  }
  AnsiString helper(self, length);
  helper.erase(helper.find_last_of("\\/") + 1);
  helper += "voxaro_open_mutex.exe";
  AnsiString commandLine = "\"" + helper + "\" \"" + Name + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(helper.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << helper << ", error " << GetLastError();
    return 99;
  }
  CloseHandle(process.hThread);
  DWORD status = 99;
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    ADD_FAILURE() << "the helper did not end";
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hProcess);
  return status;
}

const char* const Name = "Global\\{7E41B0C2-5A9D-4F13-B8E6-0C2D94A61F58}";

TEST(InstanceMutex, AnotherProcessCanOpenItByNameWhileItExists) {
  {
    const TInstanceMutex mutex;
    EXPECT_NE(mutex.Handle(), nullptr);
    EXPECT_EQ(OpenFromAnotherProcess(Name), 0u);
    EXPECT_EQ(OpenFromAnotherProcess("Global\\{7E41B0C2-5A9D-4F13-B8E6-0C2D94A61F59}"), 1u);
    // A second one, as another instance of the program would make, opens the same object.
    const TInstanceMutex second;
    EXPECT_NE(second.Handle(), nullptr);
  }
  EXPECT_EQ(OpenFromAnotherProcess(Name), 1u);
}

} // namespace
