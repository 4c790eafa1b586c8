#include <windows.h>

#include <gtest/gtest.h>

#include "app/instance_mutex.h"
#include "base/system.h"
#include "tests/helper_program.h"

namespace {

// The exit status of voxaro_open_mutex, started beside this program, for Name.
DWORD OpenFromAnotherProcess(const AnsiString& Name) {
  return RunHelperProgram("voxaro_open_mutex.exe", "\"" + Name + "\"", 30000);
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
