#include "background/async_drop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "tests/background/test_pump.h"
#include "tests/helper_program.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<AnsiString> Items(const TStrings& Files) {
  std::vector<AnsiString> items;
  for (int i = 0; i < Files.Count(); ++i)
    items.push_back(Files.Get(i));
  return items;
}

class AsyncDrop : public testing::Test {
protected:
  void TearDown() override { ShutdownASyncDrop(); }
  TWatchdog FWatchdog{60000, "the test"};
};

TEST_F(AsyncDrop, ReturnsWithEffectNoneAndCallsBackWithTheNamesNoEarlierThan50msLater) {
  struct TCase {
    const char* Text;
    std::vector<AnsiString> Names;
  };
  const TCase cases[] = {
      {"C:\\a.csv", {"C:\\a.csv"}},
      {"a.csv\r\nb.csv\r\nc.csv", {"a.csv", "b.csv", "c.csv"}},
      {"a\rb\nc\r\n", {"a", "b", "c"}},
      {"a\n\r\nb", {"a", "", "b"}},
      {"", {}},
  };
  for (const TCase& c : cases) {
    int calls = 0;
    DWORD thread = 0;
    Clock::duration delay{};
    AnsiString context;
    std::vector<AnsiString> names;
    AnsiString text = c.Text;
    AnsiString callerContext = "ctx";
    int32_t effect = 5;
    const Clock::time_point start = Clock::now();
    ASyncDrop(effect, callerContext, text, [&](const AnsiString& Context, TStrings& Files) {
      ++calls;
      delay = Clock::now() - start;
      thread = GetCurrentThreadId();
      context = Context;
      names = Items(Files);
    });
    EXPECT_EQ(effect, 0) << c.Text;
    EXPECT_EQ(calls, 0) << c.Text;
    // The job holds copies.
    text = "changed";
    callerContext = "changed";
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; })) << c.Text;
    PumpFor(20);
    EXPECT_EQ(calls, 1) << c.Text;
    EXPECT_GE(delay, std::chrono::milliseconds(50)) << c.Text;
    EXPECT_EQ(thread, GetCurrentThreadId()) << c.Text;
    EXPECT_EQ(context, "ctx") << c.Text;
    EXPECT_EQ(names, c.Names) << c.Text;
  }
}

TEST_F(AsyncDrop, TwoDropsInQuickSuccessionAreCalledBackOneAfterTheOther) {
  for (int round = 0; round < 5; ++round) {
    int inside = 0;
    bool overlapped = false;
    std::vector<AnsiString> seen;
    // A callback that runs a modal loop of its own, as an import showing a box would.
    auto callback = [&](const AnsiString&, TStrings& Files) {
      if (++inside > 1) overlapped = true;
      seen.push_back(Files.Get(0));
      PumpFor(80);
      --inside;
    };
    int32_t effect = 1;
    ASyncDrop(effect, "", "first.csv", callback);
    ASyncDrop(effect, "", "second.csv", callback);
    // The first worker still sleeps: the second drop got a second thread.
    EXPECT_EQ(ASyncDropInstance()->Pool().State().Threads, 2);
    ASSERT_TRUE(PumpUntil([&] {
      return seen.size() == 2 && inside == 0 && ASyncDropInstance()->Pool().State().Busy == 0;
    })) << round;
    EXPECT_FALSE(overlapped) << round;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<AnsiString>{"first.csv", "second.csv"})) << round;
  }
}

TEST_F(AsyncDrop, TwentyDropsWithoutAPauseAreEachCalledBackOnceOnTheMainThread) {
  int inside = 0;
  bool overlapped = false;
  std::vector<DWORD> threads;
  std::vector<AnsiString> seen;
  auto callback = [&](const AnsiString&, TStrings& Files) {
    if (++inside > 1) overlapped = true;
    threads.push_back(GetCurrentThreadId());
    seen.push_back(Files.Get(0));
    // An import takes a while; meanwhile the other workers wait to be served.
    Sleep(5);
    --inside;
  };
  std::vector<AnsiString> dropped;
  for (int i = 0; i < 20; ++i) {
    dropped.push_back(i % 2 ? "b.csv" : "a.csv");
    int32_t effect = 1;
    ASyncDrop(effect, "", dropped.back(), callback);
    EXPECT_EQ(effect, 0);
  }
  // Five threads at most; the other drops wait in the queue.
  EXPECT_EQ(ASyncDropInstance()->Pool().State().Threads, 5);
  ASSERT_TRUE(PumpUntil(
      [&] { return seen.size() == 20 && ASyncDropInstance()->Pool().State().Busy == 0; }));
  PumpFor(100);
  EXPECT_EQ(seen.size(), 20u);
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(threads, std::vector<DWORD>(20, GetCurrentThreadId()));
  std::sort(seen.begin(), seen.end());
  std::sort(dropped.begin(), dropped.end());
  EXPECT_EQ(seen, dropped);
}

TEST_F(AsyncDrop, ExceptionOfTheCallbackIsDiscardedAndTheNextDropIsCalledBack) {
  int32_t effect = 1;
  bool failed = false;
  ASyncDrop(effect, "", "bad.csv", [&](const AnsiString&, TStrings&) {
    failed = true;
    throw EInOutError("Datei nicht gefunden", 2);
  });
  ASSERT_TRUE(PumpUntil([&] { return failed && ASyncDropInstance()->Pool().State().Busy == 0; }));
  AnsiString second;
  ASyncDrop(effect, "", "good.csv",
            [&](const AnsiString&, TStrings& Files) { second = Files.Get(0); });
  ASSERT_TRUE(PumpUntil([&] { return !second.empty(); }));
  EXPECT_EQ(second, "good.csv");
}

TEST_F(AsyncDrop, ShutdownSoonAfterADropNeverCallsBack) {
  for (int round = 0; round < 60; ++round) {
    bool called = false;
    int32_t effect = 1;
    const Clock::time_point start = Clock::now();
    ASyncDrop(effect, "", "late.csv", [&](const AnsiString&, TStrings&) { called = true; });
    // Up to just short of the 50 ms, with the queue served meanwhile or not.
    const int wait = round % 40;
    if (round % 2)
      PumpUntil([&] { return Clock::now() - start >= std::chrono::milliseconds(wait); });
    else
      Sleep(static_cast<DWORD>(wait));
    // A busy machine may hold this thread past the 50 ms; then the drop was due, and only what
    // comes after the shutdown counts.
    const bool due = Clock::now() - start >= std::chrono::milliseconds(50);
    const bool calledBefore = called;
    ShutdownASyncDrop();
    ShutdownASyncDrop();
    EXPECT_EQ(ASyncDropInstance(), nullptr);
    PumpFor(round % 10 == 0 ? 80 : 0);
    ASSERT_TRUE(due || !calledBefore) << "round " << round;
    ASSERT_EQ(called, calledBefore) << "round " << round;
  }
}

// A helper program drops and ends within the 50 ms, by its own shutdown call or by program end.
DWORD RunDropAtExit(const char* Mode, int DelayMs) {
  return RunHelperProgram("voxaro_drop_at_exit.exe",
                          AnsiString(Mode) + " " + std::to_string(DelayMs), 20000);
}

TEST_F(AsyncDrop, ProgramEndingSoonAfterADropEndsWithoutHangAndWithoutCallback) {
  // 0: ended cleanly, as expected; 3: called back after the end; 4: no callback though one was
  // due; 98: hung.
  for (const char* mode : {"exit", "shutdown"})
    for (int delay : {0, 5, 20, 45, 120})
      EXPECT_EQ(RunDropAtExit(mode, delay), 0u) << mode << " after " << delay << " ms";
}

} // namespace
