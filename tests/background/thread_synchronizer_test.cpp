#include "background/thread_synchronizer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "background/async_drop.h"
#include "background/worker_thread_pool.h"
#include "base/exceptions.h"
#include "tests/background/test_pump.h"

namespace {

// No hidden window left on this thread, whatever ran before in this process.
void ExpectNoWindow() {
  ShutdownASyncDrop();
  ASSERT_TRUE(PumpUntil([] { return !SynchronizerManager().WindowOf(GetCurrentThreadId()); }));
}

LRESULT CALLBACK ForeignProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  return DefWindowProcA(Window, Message, WParam, LParam);
}

TEST(Synchronizer, MethodRunsOnTheOwnerThreadAndItsExceptionIsRaisedOnTheCaller) {
  TWatchdog watchdog(30000, "the test");
  TclThreadSynchronizer synchronizer;
  std::atomic<DWORD> ranOn{0};
  std::atomic<bool> done{false};
  AnsiString caught;
  std::thread worker([&] {
    synchronizer.Synchronize([&] { ranOn = GetCurrentThreadId(); });
    try {
      synchronizer.Synchronize([] { throw EListError("from the owner"); });
    } catch (const EListError& e) {
      caught = e.Message();
    }
    // The stored exception is not raised again by the next call.
    synchronizer.Synchronize([] {});
    done = true;
  });
  const bool finished = PumpUntil([&] { return done.load(); });
  if (!finished) synchronizer.Cancel();
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(ranOn, GetCurrentThreadId());
  EXPECT_EQ(caught, "from the owner");
}

TEST(Synchronizer, ClassOfAnotherWindowProcedureIsReplacedAndOursIsKept) {
  TWatchdog watchdog(30000, "the test");
  ExpectNoWindow();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  UnregisterClassA(SyncWindowClassName, instance);
  WNDCLASSA foreign = {};
  foreign.lpfnWndProc = ForeignProc;
  foreign.hInstance = instance;
  foreign.lpszClassName = SyncWindowClassName;
  foreign.style = CS_DBLCLKS;
  ASSERT_NE(RegisterClassA(&foreign), 0);

  TclThreadSynchronizer synchronizer;
  WNDCLASSA found = {};
  ASSERT_TRUE(GetClassInfoA(instance, SyncWindowClassName, &found));
  EXPECT_NE(found.lpfnWndProc, ForeignProc);
  EXPECT_EQ(found.style, 0u);
  EXPECT_EQ(found.hCursor, nullptr);

  HWND window = SynchronizerManager().WindowOf(GetCurrentThreadId());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
  std::atomic<bool> served{false};
  std::thread caller([&] { synchronizer.Synchronize([&] { served = true; }); });
  EXPECT_TRUE(PumpUntil([&] { return served.load(); }));
  if (!served) synchronizer.Cancel();
  caller.join();

  // A second thread's window while ours exists: re-registering would fail on the class in use.
  std::atomic<bool> made{false};
  std::thread other([&] {
    {
      TclThreadSynchronizer own;
      made = SynchronizerManager().WindowOf(GetCurrentThreadId()) != nullptr;
    }
    PumpUntil([] { return !SynchronizerManager().WindowOf(GetCurrentThreadId()); });
  });
  other.join();
  EXPECT_TRUE(made);
}

TEST(Synchronizer, WindowGoesWhenTheReleaseOfTheLastSynchronizerIsHandled) {
  TWatchdog watchdog(30000, "the test");
  ExpectNoWindow();
  auto first = std::make_unique<TclThreadSynchronizer>();
  auto second = std::make_unique<TclThreadSynchronizer>();
  HWND window = SynchronizerManager().WindowOf(GetCurrentThreadId());
  ASSERT_NE(window, nullptr);
  first.reset();
  PumpFor(50);
  EXPECT_TRUE(IsWindow(window));
  second.reset();
  // The count falls only when this thread handles the posted release.
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(SynchronizerManager().WindowOf(GetCurrentThreadId()), window);
  ASSERT_TRUE(PumpUntil([] { return !SynchronizerManager().WindowOf(GetCurrentThreadId()); }));
  EXPECT_FALSE(IsWindow(window));
}

class TShortThread : public TThreadEx {
protected:
  void Execute() override {}
};

TEST(Synchronizer, OnTerminateRunsOnTheCreatingThreadWithTheThreadAsSender) {
  TWatchdog watchdog(30000, "the test");
  TShortThread thread;
  std::atomic<TThreadEx*> sender{nullptr};
  std::atomic<DWORD> ranOn{0};
  thread.OnTerminate = [&](TThreadEx* Sender) {
    ranOn = GetCurrentThreadId();
    sender = Sender;
  };
  thread.Start();
  ASSERT_TRUE(PumpUntil([&] { return ranOn != 0; }));
  EXPECT_EQ(ranOn, GetCurrentThreadId());
  EXPECT_EQ(sender, &thread);
}

} // namespace
