#pragma once
// What keeps the end-to-end tests apart and bounded: each test starts from a clean desktop, and a
// watchdog ends a test that runs over its time with a message of its own, well before ctest's
// limit would kill the driver without one.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace e2e {

// Before each test: ends the programs an earlier test left running (also those of a driver that
// was killed), lets go of held mouse buttons and keys, empties the clipboard, and removes the
// temporary folders of ended drivers and what the program's work folder kept from an earlier test.
// Tells on standard error what it found.
void CleanStart();

class TestGuard : public testing::EmptyTestEventListener {
public:
  explicit TestGuard(DWORD BudgetMs) : FBudgetMs(BudgetMs) {}
  ~TestGuard() override;
  void OnTestStart(const testing::TestInfo& Test) override;
  // A test the watchdog had to end fails here.
  void OnTestEnd(const testing::TestInfo& Test) override;

private:
  void Watch(std::string Name);

  DWORD FBudgetMs;
  HANDLE FEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread FWatchdog;
  std::atomic<bool> FFired{false};
};

} // namespace e2e
