#include <gtest/gtest.h>
#include <ole2.h>

#include "tests/e2e/e2e_guard.h"
#include "tests/e2e/e2e_support.h"

// ctest ends a test at 180 s without a word; the watchdog speaks up well before that. Under an
// emulator the budget is stretched as every wait is (VOXARO_WAIT_FACTOR).
constexpr DWORD TestBudgetMs = 150000;

// The driver drags files and reads the clipboard's data object: it needs OLE on its thread.
int main(int argc, char** argv) {
  if (FAILED(OleInitialize(nullptr))) return 3;
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(
      new e2e::TestGuard(e2e::WaitLimit(TestBudgetMs)));
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
