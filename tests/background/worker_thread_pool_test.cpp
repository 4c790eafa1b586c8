#include "background/worker_thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <stdexcept>

#include "base/exceptions.h"
#include "tests/background/test_pump.h"

namespace {

// What happened to one job; the pool frees the job, the record stays with the test.
struct TRecord {
  std::atomic<DWORD> ExecuteThread{0};
  std::atomic<DWORD> SyncThread{0};
  std::atomic<bool> Destroyed{false};
  // Execute waits for it, so that the job keeps its thread busy until the test lets it go.
  TEvent Gate{true, true};
};

class TTestJob : public TWorkerThreadJob {
public:
  TTestJob(TRecord& Record, std::function<void()> OnExecute = {}, std::function<void()> OnSync = {})
      : FRecord(Record), FOnExecute(std::move(OnExecute)), FOnSync(std::move(OnSync)) {}
  ~TTestJob() override { FRecord.Destroyed = true; }
  void Execute() override {
    FRecord.ExecuteThread = GetCurrentThreadId();
    WaitForSingleObject(FRecord.Gate.Handle(), 20000);
    if (FOnExecute) FOnExecute();
  }
  void SyncExecute() override {
    FRecord.SyncThread = GetCurrentThreadId();
    if (FOnSync) FOnSync();
  }

private:
  TRecord& FRecord;
  std::function<void()> FOnExecute;
  std::function<void()> FOnSync;
};

class TRecords {
public:
  TRecord& New(bool Gated) {
    FItems.emplace_back();
    if (Gated) FItems.back().Gate.Reset();
    return FItems.back();
  }
  TRecord& operator[](size_t Index) { return FItems[Index]; }
  bool AllDestroyed() const {
    for (const TRecord& record : FItems)
      if (!record.Destroyed) return false;
    return true;
  }
  void OpenAll() {
    for (TRecord& record : FItems)
      record.Gate.Set();
  }

private:
  std::deque<TRecord> FItems;
};

void AddGated(TWorkerThreadPool& Pool, TRecords& Records, int Count) {
  for (int i = 0; i < Count; ++i)
    Pool.AddJob(std::make_unique<TTestJob>(Records.New(true)));
}

void ExpectState(const TclThreadPool::TState& State, int Threads, int Busy, int Queued) {
  EXPECT_EQ(State.Threads, Threads);
  EXPECT_EQ(State.Busy, Busy);
  EXPECT_EQ(State.Queued, Queued);
}

// The first of five busy threads has finished; the sixth job still waits.
void FiveBusyOneQueuedOneFinished(TWorkerThreadPool& Pool, TRecords& Records, bool QueuedGated) {
  AddGated(Pool, Records, 5);
  Pool.AddJob(std::make_unique<TTestJob>(Records.New(QueuedGated)));
  ExpectState(Pool.State(), 5, 5, 1);
  Records[0].Gate.Set();
  ASSERT_TRUE(PumpUntil([&] { return Records[0].Destroyed && Pool.State().Busy == 4; }));
  // Still busy while it looked at the queue, the first finisher could not take the job.
  ExpectState(Pool.State(), 5, 4, 1);
  EXPECT_EQ(Records[5].ExecuteThread, 0u);
}

TEST(Pool, FirstJobCreatesTheFirstThreadThatStaysBusyUntilItsSyncExecuteRanOnTheMainThread) {
  TWatchdog watchdog(30000, "the test");
  TRecords records;
  TWorkerThreadPool pool;
  ExpectState(pool.State(), 0, 0, 0);
  AddGated(pool, records, 1);
  ExpectState(pool.State(), 1, 1, 0);
  records.OpenAll();
  ASSERT_TRUE(PumpUntil([&] { return records[0].Destroyed && pool.State().Busy == 0; }));
  ExpectState(pool.State(), 1, 0, 0);
  EXPECT_EQ(records[0].SyncThread, GetCurrentThreadId());
  EXPECT_NE(records[0].ExecuteThread, GetCurrentThreadId());
}

TEST(Pool, JobAddedWhileFiveThreadsAreBusyIsHandedOnWhenASecondThreadFinishes) {
  TWatchdog watchdog(30000, "the test");
  TRecords records;
  TWorkerThreadPool pool;
  ASSERT_NO_FATAL_FAILURE(FiveBusyOneQueuedOneFinished(pool, records, false));
  records[1].Gate.Set();
  ASSERT_TRUE(PumpUntil([&] { return records[5].Destroyed.load(); }));
  EXPECT_EQ(records[5].ExecuteThread, records[0].ExecuteThread);
  records.OpenAll();
  ASSERT_TRUE(PumpUntil([&] { return records.AllDestroyed(); }));
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(records[i].SyncThread, GetCurrentThreadId()) << i;
}

TEST(Pool, JobAddedWhileAThreadIsIdleGoesToItAheadOfTheQueuedJobs) {
  TWatchdog watchdog(30000, "the test");
  TRecords records;
  TWorkerThreadPool pool;
  ASSERT_NO_FATAL_FAILURE(FiveBusyOneQueuedOneFinished(pool, records, true));
  AddGated(pool, records, 1);
  ExpectState(pool.State(), 5, 5, 1);
  ASSERT_TRUE(PumpUntil([&] { return records[6].ExecuteThread != 0; }));
  EXPECT_EQ(records[6].ExecuteThread, records[0].ExecuteThread);
  EXPECT_EQ(records[5].ExecuteThread, 0u);
  records.OpenAll();
  ASSERT_TRUE(PumpUntil([&] { return records.AllDestroyed(); }));
}

TEST(Pool, NoIdleThreadIsLeftAfterAnyAddJob) {
  TWatchdog watchdog(60000, "the test");
  TRecords records;
  TWorkerThreadPool pool;
  for (int round = 0; round < 12; ++round) {
    // Some threads idle, some busy, sometimes all five busy and jobs queued.
    const int jobs = 1 + round % 7;
    for (int i = 0; i < jobs; ++i) {
      AddGated(pool, records, 1);
      const TclThreadPool::TState state = pool.State();
      ASSERT_EQ(state.Busy, state.Threads) << "round " << round << ", job " << i;
    }
    records.OpenAll();
    ASSERT_TRUE(PumpUntil([&] { return records.AllDestroyed() && pool.State().Busy == 0; }));
  }
}

TEST(Pool, ShutdownFreesQueuedJobsUnrunAndRunsNoSyncExecute) {
  TWatchdog watchdog(30000, "the shutdown");
  TRecords records;
  {
    TWorkerThreadPool pool;
    AddGated(pool, records, 8);
    ExpectState(pool.State(), 5, 5, 3);
    ASSERT_TRUE(PumpUntil([&] {
      for (size_t i = 0; i < 5; ++i)
        if (records[i].ExecuteThread == 0) return false;
      return true;
    }));
    // The running jobs reach Synchronize while the pool goes.
    records.OpenAll();
  }
  EXPECT_TRUE(records.AllDestroyed());
  for (size_t i = 0; i < 8; ++i)
    EXPECT_EQ(records[i].SyncThread, 0u) << i;
  for (size_t i = 5; i < 8; ++i)
    EXPECT_EQ(records[i].ExecuteThread, 0u) << i;
}

TEST(Pool, ExceptionOfAJobIsDiscardedAndTheNextJobRuns) {
  struct TCase {
    const char* Name;
    std::function<void()> OnExecute;
    std::function<void()> OnSync;
    bool SyncRuns;
  };
  const TCase cases[] = {
      {"Execute raises", [] { throw std::runtime_error("execute"); }, {}, false},
      {"SyncExecute raises Exception", {}, [] { throw Exception("sync"); }, true},
      {"SyncExecute raises an int", {}, [] { throw 7; }, true},
  };
  TWatchdog watchdog(30000, "the test");
  for (const TCase& c : cases) {
    TRecords records;
    TWorkerThreadPool pool;
    pool.AddJob(std::make_unique<TTestJob>(records.New(false), c.OnExecute, c.OnSync));
    ASSERT_TRUE(PumpUntil([&] { return records[0].Destroyed && pool.State().Busy == 0; }))
        << c.Name;
    pool.AddJob(std::make_unique<TTestJob>(records.New(false)));
    ASSERT_TRUE(PumpUntil([&] { return records[1].Destroyed.load(); })) << c.Name;
    EXPECT_EQ(records[0].SyncThread != 0, c.SyncRuns) << c.Name;
    EXPECT_EQ(records[1].SyncThread, GetCurrentThreadId()) << c.Name;
    EXPECT_EQ(records[1].ExecuteThread, records[0].ExecuteThread) << c.Name;
  }
}

TEST(Pool, ThreadMadeByAWorkerHasItsSyncExecuteRunOnTheMainThread) {
  TWatchdog watchdog(30000, "the test");
  TRecords records;
  TWorkerThreadPool pool;
  pool.SetMaxThreads(1);
  AddGated(pool, records, 2);
  ExpectState(pool.State(), 1, 1, 1);
  // Room for a second thread: the finishing worker makes it for the queued job.
  pool.SetMaxThreads(2);
  records.OpenAll();
  ASSERT_TRUE(PumpUntil([&] { return records.AllDestroyed(); }));
  EXPECT_EQ(pool.State().Threads, 2);
  EXPECT_NE(records[1].ExecuteThread, records[0].ExecuteThread);
  EXPECT_EQ(records[0].SyncThread, GetCurrentThreadId());
  EXPECT_EQ(records[1].SyncThread, GetCurrentThreadId());
}

TEST(Pool, OneThreadStaysBusyWithTheQueuedJobItTookWhileAThirdAddJobArrives) {
  TWatchdog watchdog(30000, "the test");
  TRecords records;
  TWorkerThreadPool pool;
  pool.SetMaxThreads(1);
  AddGated(pool, records, 2);
  ExpectState(pool.State(), 1, 1, 1);
  records[0].Gate.Set();
  // No other thread can be had, so the finishing thread runs the queued job itself.
  ASSERT_TRUE(PumpUntil([&] { return records[1].ExecuteThread != 0; }));
  EXPECT_EQ(records[1].ExecuteThread, records[0].ExecuteThread);
  ExpectState(pool.State(), 1, 1, 0);
  AddGated(pool, records, 1);
  // The running job is neither replaced nor freed; the new one waits for it.
  EXPECT_FALSE(records[1].Destroyed);
  ExpectState(pool.State(), 1, 1, 1);
  records.OpenAll();
  ASSERT_TRUE(PumpUntil([&] { return records.AllDestroyed() && pool.State().Busy == 0; }));
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i].ExecuteThread, records[0].ExecuteThread) << i;
    EXPECT_EQ(records[i].SyncThread, GetCurrentThreadId()) << i;
  }
}

TEST(Pool, EveryQueuedJobRunsWithoutAFurtherAddJob) {
  TWatchdog watchdog(60000, "the test");
  for (int maxThreads : {1, 2, 5}) {
    for (int round = 0; round < 10; ++round) {
      TRecords records;
      TWorkerThreadPool pool;
      pool.SetMaxThreads(maxThreads);
      // Not pumping meanwhile: the workers all wait in Synchronize and are served at once.
      for (int i = 0; i < 8; ++i)
        pool.AddJob(std::make_unique<TTestJob>(records.New(false)));
      ASSERT_TRUE(PumpUntil([&] { return records.AllDestroyed(); }, 5000))
          << maxThreads << " threads, round " << round << ": " << pool.State().Queued
          << " jobs left in the queue";
      EXPECT_LE(pool.State().Threads, maxThreads);
    }
  }
}

TEST(Pool, ShutdownRightAfterAddJobEndsWithoutHangAndWithoutSyncExecute) {
  TWatchdog watchdog(60000, "the shutdown");
  for (int round = 0; round < 400; ++round) {
    std::atomic<bool> ending{false};
    std::atomic<bool> lateSync{false};
    TRecords records;
    {
      TWorkerThreadPool pool;
      pool.AddJob(std::make_unique<TTestJob>(
          records.New(false), [round] { Sleep(static_cast<DWORD>(round % 3)); },
          [&] { lateSync = lateSync || ending; }));
      // Shutdown before, while or after the worker makes its call, served or not.
      if (round % 2)
        PumpFor(round % 5);
      else
        Sleep(static_cast<DWORD>(round % 5));
      ending = true;
    }
    ASSERT_TRUE(records[0].Destroyed) << "round " << round;
    ASSERT_FALSE(lateSync) << "round " << round;
  }
}

} // namespace
