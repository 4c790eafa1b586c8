#pragma once
// A small pool of worker threads for two-part jobs: Execute on a worker thread, then SyncExecute
// on the thread that serves the worker's synchronised calls (the thread that called AddJob),
// while the worker waits for it.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "background/cont_nrs.h"
#include "background/thread_synchronizer.h"
#include "framework/win_owners.h"

class TWorkerThreadJob {
public:
  TWorkerThreadJob() = default;
  TWorkerThreadJob(const TWorkerThreadJob&) = delete;
  TWorkerThreadJob& operator=(const TWorkerThreadJob&) = delete;
  virtual ~TWorkerThreadJob() = default;

  virtual void Execute() = 0;
  virtual void SyncExecute() = 0;
};

// A thread with a synchroniser. The synchroniser is owned by the creating thread; a TThreadEx
// created on another TThreadEx hands its calls to the thread its creator hands them to, since a
// worker thread serves no messages.
class TThreadEx {
public:
  TThreadEx(const TThreadEx&) = delete;
  TThreadEx& operator=(const TThreadEx&) = delete;
  // Terminates the thread and waits for its end; a subclass whose Execute uses the subclass's
  // own members waits in its own destructor already.
  virtual ~TThreadEx();

  // Runs Execute on a new thread; separate from construction so that no thread sees a half-built
  // object.
  void Start();
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Waits for the thread to end. With ServeSentMessages, messages sent to the current thread
  // (synchronised calls among them) are handled meanwhile; nothing posted is touched.
  void WaitFor(bool ServeSentMessages);
  DWORD ThreadId() const { return FThreadId; }
  TclThreadSynchronizer& Synchronizer() { return *FSynchronizer; }

  // Called through the synchroniser at the end of the run, with the thread as sender.
  std::function<void(TThreadEx* Sender)> OnTerminate;

protected:
  TThreadEx();
  virtual void Execute() = 0;

private:
  static unsigned __stdcall ThreadProc(void* Parameter);

  std::unique_ptr<TclThreadSynchronizer> FSynchronizer;
  TKernelHandle FHandle;
  DWORD FThreadId = 0;
  std::atomic<bool> FTerminated{false};
};

class TclThreadPool;

class TclWorkerThread : public TThreadEx {
public:
  explicit TclWorkerThread(TclThreadPool* Pool);
  // Stops the thread, waits for its end and frees a job it still holds.
  ~TclWorkerThread() override;

  void Stop();
  bool Busy() const { return FBusy; }
  TWorkerThreadJob* Job() const { return FJob.get(); }

protected:
  void Execute() override;

private:
  friend class TclThreadPool;
  void RunJob();

  TclThreadPool* FPool;
  std::atomic<bool> FBusy{false};
  std::unique_ptr<TWorkerThreadJob> FJob;
  TEvent FJobEvent{false, false};
  TEvent FStopEvent{false, false};
};

class TclThreadPool {
public:
  struct TState {
    int Threads;
    int Busy;
    int Queued;
  };

  TclThreadPool();
  TclThreadPool(const TclThreadPool&) = delete;
  TclThreadPool& operator=(const TclThreadPool&) = delete;
  virtual ~TclThreadPool();

  // The job belongs to the pool from here on. Call it on the thread whose message loop is to run
  // the jobs' SyncExecute. After Shutdown a job is freed unrun.
  void AddJob(std::unique_ptr<TWorkerThreadJob> Job);
  // Frees the queued jobs unrun and every thread. Waiting for the threads, it handles the
  // synchronised calls sent to this thread but answers them without running them, so a job
  // never runs its SyncExecute into a program that is ending. Call it on the thread that serves
  // the jobs' calls and not from inside one of them; a second call does nothing.
  void Shutdown();

  int MinThreads() const;
  void SetMinThreads(int Value);
  int MaxThreads() const;
  void SetMaxThreads(int Value);
  TState State() const;

protected:
  // Makes a TclWorkerThread for this pool, starts it and appends it to Threads. Under the pool
  // lock; on a worker thread when DispatchQueuedJob needs a thread.
  virtual TclWorkerThread* CreateWorkerThread();
  TclWorkerThread* AppendThread(std::unique_ptr<TclWorkerThread> Thread);

private:
  friend class TclWorkerThread;

  // Under the pool lock.
  TclWorkerThread* FindIdleThread() const;
  void AssignJob(TclWorkerThread* Thread, std::unique_ptr<TWorkerThreadJob> Job);
  void EnsureMinThreads();
  void TrimIdleThreads();
  void DispatchQueuedJob();
  // DispatchQueuedJob for a worker thread, which has nobody to report a failure to.
  void TryDispatchQueuedJob();
  // The end of a job on its worker thread.
  void FinishJob(TclWorkerThread* Thread);

  TObjectList<TclWorkerThread> FThreads;
  TObjectQueue<TWorkerThreadJob> FJobs;
  int FMinThreads = 1;
  int FMaxThreads = 5;
  mutable TCriticalSection FLock;
  // Threads holding a job that have not yet looked at the queue after it.
  int FPendingDispatches = 0;
  std::atomic<bool> FShuttingDown{false};
};

class TWorkerThreadPool : public TclThreadPool {
public:
  // Before the derived part goes, since the workers call CreateWorkerThread.
  ~TWorkerThreadPool() override { Shutdown(); }
};
