#include "tests/e2e/e2e_guard.h"

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {

namespace {

void Tell(const std::wstring& What) {
  std::fprintf(stderr, "clean start: %s\n", ToAnsi(What).c_str());
  std::fflush(stderr);
}

} // namespace

void CleanStart() {
  // Programs first: a program left running may own the clipboard, and emptying it would wait for
  // that program's answer.
  EndStartedPrograms();
  for (const wstring& line : EndLeftoverPrograms())
    Tell(line + L", left by an earlier test");
  for (const wstring& name : ReleaseHeldInput())
    Tell(L"let go of the " + name);
  if (!EmptyTheClipboard()) Tell(L"the clipboard could not be emptied");
  for (const wstring& folder : RemoveLeftoverFolders())
    Tell(L"removed " + folder + L", left by an earlier test");
  // The work folder: a file standing in its place, or a pasted-text copy kept in it.
  const wstring work = WorkFolder();
  const DWORD attributes = GetFileAttributesW(work.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(work.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(work.c_str())) Tell(L"removed the file " + work + L" left by an earlier test");
  } else if (Exists(PastedTextFile()) && DeleteFileW(PastedTextFile().c_str())) {
    Tell(L"removed " + PastedTextFile() + L", left by an earlier test");
  }
}

TestGuard::~TestGuard() {
  if (FWatchdog.joinable()) {
    SetEvent(FEnded);
    FWatchdog.join();
  }
  CloseHandle(FEnded);
}

void TestGuard::OnTestStart(const testing::TestInfo& Test) {
  CleanStart();
  ResetEvent(FEnded);
  FFired = false;
  FWatchdog =
      std::thread(&TestGuard::Watch, this, std::string(Test.test_suite_name()) + "." + Test.name());
}

void TestGuard::OnTestEnd(const testing::TestInfo& Test) {
  SetEvent(FEnded);
  if (FWatchdog.joinable()) FWatchdog.join();
  if (FFired) {
    // The test is still the current one here, and the result printer comes after this listener.
    ADD_FAILURE() << Test.test_suite_name() << "." << Test.name() << " ran over its time of "
                  << FBudgetMs / 1000 << " s; the watchdog ended the programs it had started";
  }
  // Nothing of this test runs on into the next one.
  EndStartedPrograms();
}

void TestGuard::Watch(std::string Name) {
  if (WaitForSingleObject(FEnded, FBudgetMs) == WAIT_OBJECT_0) return;
  FFired = true;
  std::fprintf(stderr,
               "watchdog: %s has run for %lu s; ending the programs it started, so that the "
               "waits on them end\n",
               Name.c_str(), FBudgetMs / 1000);
  std::fflush(stderr);
  EndStartedPrograms();
  ReleaseHeldInput();
  if (WaitForSingleObject(FEnded, 15000) == WAIT_OBJECT_0) return;
  std::fprintf(stderr, "watchdog: %s is still stuck in the driver 15 s later; ending the driver\n",
               Name.c_str());
  std::fflush(stderr);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 4);
}

} // namespace e2e
