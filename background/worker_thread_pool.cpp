#include "background/worker_thread_pool.h"

#include <process.h>

#include <cerrno>

#include "base/exceptions.h"

namespace {

thread_local TThreadEx* CurrentThreadEx = nullptr;

} // namespace

TThreadEx::TThreadEx() {
  const DWORD owner =
      CurrentThreadEx ? CurrentThreadEx->Synchronizer().OwnerThreadId() : GetCurrentThreadId();
  FSynchronizer = std::make_unique<TclThreadSynchronizer>(owner);
}

TThreadEx::~TThreadEx() {
  if (!FHandle) return;
  Terminate();
  WaitFor(GetCurrentThreadId() == FSynchronizer->OwnerThreadId());
}

void TThreadEx::Start() {
  unsigned id = 0;
  const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadProc, this, 0, &id);
  if (handle == 0) throw Exception(Format("Cannot create a thread, error %d", errno));
  FHandle.Reset(reinterpret_cast<HANDLE>(handle));
  FThreadId = id;
}

unsigned __stdcall TThreadEx::ThreadProc(void* Parameter) {
  TThreadEx* self = static_cast<TThreadEx*>(Parameter);
  CurrentThreadEx = self;
  try {
    self->Execute();
    if (self->OnTerminate) self->Synchronizer().Synchronize([self] { self->OnTerminate(self); });
  } catch (...) {
    // A thread ends quietly.
  }
  return 0;
}

void TThreadEx::WaitFor(bool ServeSentMessages) {
  if (!FHandle) return;
  const HANDLE thread = FHandle.Get();
  while (ServeSentMessages) {
    const DWORD result =
        MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) return;
    if (result != WAIT_OBJECT_0 + 1) break;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  WaitForSingleObject(thread, INFINITE);
}

TclWorkerThread::TclWorkerThread(TclThreadPool* Pool) : FPool(Pool) {}

TclWorkerThread::~TclWorkerThread() {
  Stop();
  // At shutdown the thread may be waiting in Synchronize for this very thread.
  WaitFor(FPool->FShuttingDown);
  FJob.reset();
}

void TclWorkerThread::Stop() {
  Terminate();
  Synchronizer().Cancel();
  FStopEvent.Set();
}

void TclWorkerThread::Execute() {
  HANDLE waits[2] = {FStopEvent.Handle(), FJobEvent.Handle()};
  while (!Terminated()) {
    const DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) break;
    if (result == WAIT_OBJECT_0 + 1)
      RunJob();
    else
      Sleep(1); // a failed wait must not spin
  }
}

void TclWorkerThread::RunJob() {
  if (FJob) {
    try {
      FJob->Execute();
      Synchronizer().Synchronize([this] { FJob->SyncExecute(); });
    } catch (...) {
      // Job failures are discarded.
    }
    FJob.reset();
  }
  FPool->FinishJob(this);
}

TclThreadPool::TclThreadPool() {
  // Made before any pool finishes its construction, so that it outlives static pools.
  SynchronizerManager();
}

TclThreadPool::~TclThreadPool() {
  Shutdown();
}

int TclThreadPool::MinThreads() const {
  TLock lock(FLock);
  return FMinThreads;
}

void TclThreadPool::SetMinThreads(int Value) {
  TLock lock(FLock);
  FMinThreads = Value;
}

int TclThreadPool::MaxThreads() const {
  TLock lock(FLock);
  return FMaxThreads;
}

void TclThreadPool::SetMaxThreads(int Value) {
  TLock lock(FLock);
  FMaxThreads = Value;
}

TclThreadPool::TState TclThreadPool::State() const {
  TLock lock(FLock);
  TState state{FThreads.Count(), 0, FJobs.Count()};
  for (int i = 0; i < FThreads.Count(); ++i)
    if (FThreads.Items(i)->Busy()) ++state.Busy;
  return state;
}

TclWorkerThread* TclThreadPool::CreateWorkerThread() {
  return AppendThread(std::make_unique<TclWorkerThread>(this));
}

TclWorkerThread* TclThreadPool::AppendThread(std::unique_ptr<TclWorkerThread> Thread) {
  Thread->Start();
  TclWorkerThread* started = Thread.get();
  FThreads.Add(std::move(Thread));
  return started;
}

void TclThreadPool::AddJob(std::unique_ptr<TWorkerThreadJob> Job) {
  if (!Job) return;
  TLock lock(FLock);
  if (FShuttingDown) return;
  TclWorkerThread* thread = FindIdleThread();
  if (!thread && FThreads.Count() < FMaxThreads) thread = CreateWorkerThread();
  if (thread)
    AssignJob(thread, std::move(Job));
  else
    FJobs.Push(std::move(Job));
  EnsureMinThreads();
  TrimIdleThreads();
}

TclWorkerThread* TclThreadPool::FindIdleThread() const {
  for (int i = 0; i < FThreads.Count(); ++i)
    if (!FThreads.Items(i)->Busy()) return FThreads.Items(i);
  return nullptr;
}

void TclThreadPool::AssignJob(TclWorkerThread* Thread, std::unique_ptr<TWorkerThreadJob> Job) {
  Thread->FJob = std::move(Job);
  Thread->FBusy = true;
  ++FPendingDispatches;
  Thread->FJobEvent.Set();
}

void TclThreadPool::EnsureMinThreads() {
  while (FThreads.Count() < FMinThreads)
    CreateWorkerThread();
}

void TclThreadPool::TrimIdleThreads() {
  if (FThreads.Count() < FMinThreads) return;
  // Idle threads wait for nothing but their events, so a plain wait under the lock is safe.
  for (int i = FThreads.Count() - 1; i >= FMinThreads - 1 && i >= 0; --i)
    if (!FThreads.Items(i)->Busy()) FThreads.Delete(i);
}

void TclThreadPool::DispatchQueuedJob() {
  if (FJobs.Count() == 0) return;
  TclWorkerThread* thread = FindIdleThread();
  if (!thread && FThreads.Count() < FMaxThreads) thread = CreateWorkerThread();
  if (thread) AssignJob(thread, FJobs.Pop());
}

void TclThreadPool::FinishJob(TclWorkerThread* Thread) {
  TLock lock(FLock);
  --FPendingDispatches;
  const bool dispatch = !Thread->Terminated();
  if (dispatch) TryDispatchQueuedJob();
  Thread->FBusy = false;
  // When every other thread that held a job has already looked at the queue, nobody else would:
  // the queued jobs would wait for the next AddJob, or be lost at shutdown. The finishing thread
  // is idle now and may take the job itself; AssignJob then makes it busy again, and it must
  // stay so until it has run that job, or the next AddJob would replace the running job.
  if (dispatch && FPendingDispatches == 0) TryDispatchQueuedJob();
}

void TclThreadPool::TryDispatchQueuedJob() {
  try {
    DispatchQueuedJob();
  } catch (...) {
    // No thread to be had now; the job stays queued for the next thread that finishes.
  }
}

void TclThreadPool::Shutdown() {
  {
    TLock lock(FLock);
    if (FShuttingDown) return;
    FShuttingDown = true;
    FJobs.Clear();
    for (int i = 0; i < FThreads.Count(); ++i)
      FThreads.Items(i)->Stop();
  }
  for (;;) {
    std::unique_ptr<TclWorkerThread> thread;
    {
      TLock lock(FLock);
      if (FThreads.Count() == 0) break;
      thread = FThreads.Extract(0);
    }
    thread.reset();
  }
}
