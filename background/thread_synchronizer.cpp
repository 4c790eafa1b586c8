#include "background/thread_synchronizer.h"

#include <algorithm>

#include "base/exceptions.h"
#include "framework/window.h"

const char* const SyncWindowClassName = "QV-D3A08F61-72BC-4E95-A1F4-6B5E2C90D7A3";

namespace {

// Results of WM_SYNC_CALL. A call that would nest inside a running one is deferred: the caller
// waits until the owner thread is out of synchronised calls and sends again.
constexpr LRESULT SyncNotRun = 0;
constexpr LRESULT SyncRan = 1;
constexpr LRESULT SyncDeferred = 2;

} // namespace

TclThreadSynchronizer::TclThreadSynchronizer() : TclThreadSynchronizer(GetCurrentThreadId()) {}

TclThreadSynchronizer::TclThreadSynchronizer(DWORD OwnerThreadId) : FOwnerThreadId(OwnerThreadId) {
  SynchronizerManager().AddSynchronizer(this);
}

TclThreadSynchronizer::~TclThreadSynchronizer() {
  SynchronizerManager().RemoveSynchronizer(this);
}

void TclThreadSynchronizer::Cancel() {
  FCancelled = true;
  FCancelEvent.Set();
}

void TclThreadSynchronizer::Synchronize(const TMethod& Method) {
  if (FCancelled) return;
  if (GetCurrentThreadId() == FOwnerThreadId) {
    Method();
    return;
  }
  FException = nullptr;
  FMethod = &Method;
  for (;;) {
    const LRESULT result =
        SendMessageA(FInfo->Window.Get(), WM_SYNC_CALL, 0, reinterpret_cast<LPARAM>(this));
    if (result != SyncDeferred) {
      FMethod = nullptr;
      if (result == SyncNotRun && !FCancelled)
        throw Exception("The synchronized call was not delivered");
      break;
    }
    HANDLE waits[2] = {FCancelEvent.Handle(), FInfo->Idle.Handle()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  }
  if (FException) {
    std::exception_ptr raised = FException;
    FException = nullptr;
    std::rethrow_exception(raised);
  }
}

TclSynchronizerManager& SynchronizerManager() {
  static TclSynchronizerManager manager;
  return manager;
}

TclSynchronizerManager::~TclSynchronizerManager() {
  // Destroying a window of another thread fails harmlessly; the system takes those with their
  // thread.
  while (!FInfos.empty())
    FInfos.pop_back();
}

TclSyncInfo* TclSynchronizerManager::FindInfo(DWORD ThreadId) const {
  for (const std::unique_ptr<TclSyncInfo>& info : FInfos)
    if (info->OwnerThreadId == ThreadId) return info.get();
  return nullptr;
}

HWND TclSynchronizerManager::WindowOf(DWORD ThreadId) {
  TLock lock(FLock);
  TclSyncInfo* info = FindInfo(ThreadId);
  return info ? info->Window.Get() : nullptr;
}

HWND TclSynchronizerManager::CreateHiddenWindow() {
  TWindowCreateParams params;
  params.ClassName = SyncWindowClassName;
  params.Left = params.Top = params.Width = params.Height = 0;
  TWindowClass windowClass;
  windowClass.Procedure = WindowProc;
  return CreateClassWindow(params, windowClass, nullptr);
}

void TclSynchronizerManager::AddSynchronizer(TclThreadSynchronizer* Synchronizer) {
  const DWORD owner = Synchronizer->FOwnerThreadId;
  TLock lock(FLock);
  TclSyncInfo* info = FindInfo(owner);
  if (!info || info->UseCount == 0) {
    if (owner != GetCurrentThreadId())
      throw Exception("The owner thread of a synchronizer has no synchronizer window");
    if (!info) {
      FInfos.push_back(std::make_unique<TclSyncInfo>());
      info = FInfos.back().get();
      info->OwnerThreadId = owner;
    }
    try {
      info->Window.Reset(CreateHiddenWindow());
    } catch (...) {
      FInfos.erase(std::find_if(FInfos.begin(), FInfos.end(),
                                [info](const auto& item) { return item.get() == info; }));
      throw;
    }
  }
  ++info->UseCount;
  Synchronizer->FInfo = info;
}

void TclSynchronizerManager::RemoveSynchronizer(TclThreadSynchronizer* Synchronizer) {
  TclSyncInfo* info = Synchronizer->FInfo;
  if (!info) return;
  {
    TLock lock(FLock);
    if (PostMessageA(info->Window.Get(), WM_SYNC_RELEASE, 0, reinterpret_cast<LPARAM>(info)))
      return;
  }
  // The owner's queue is gone (its thread ended) or full: nobody will handle the release.
  ReleaseInfo(info);
}

void TclSynchronizerManager::ReleaseInfo(TclSyncInfo* Info) {
  std::unique_ptr<TclSyncInfo> gone;
  {
    TLock lock(FLock);
    auto it = std::find_if(FInfos.begin(), FInfos.end(),
                           [Info](const auto& item) { return item.get() == Info; });
    if (it == FInfos.end()) return;
    if (--Info->UseCount > 0) return;
    gone = std::move(*it);
    FInfos.erase(it);
  }
  // Outside the lock: destroying a window may handle messages, and their handlers may come back
  // here or take the pool lock. A window of another thread (whose queue is gone) is not ours to
  // destroy; the call fails harmlessly, and the system takes the window with its thread.
  gone.reset();
}

LRESULT TclSynchronizerManager::HandleCall(TclThreadSynchronizer* Synchronizer) {
  if (Synchronizer->FCancelled) return SyncNotRun;
  TclSyncInfo& info = *Synchronizer->FInfo;
  if (info.CallDepth > 0) return SyncDeferred;
  ++info.CallDepth;
  info.Idle.Reset();
  Synchronizer->FException = nullptr;
  try {
    (*Synchronizer->FMethod)();
  } catch (...) {
    Synchronizer->FException = std::current_exception();
  }
  if (--info.CallDepth == 0) info.Idle.Set();
  return SyncRan;
}

LRESULT CALLBACK TclSynchronizerManager::WindowProc(HWND Window, UINT Message, WPARAM WParam,
                                                    LPARAM LParam) {
  switch (Message) {
  case WM_SYNC_CALL:
    return HandleCall(reinterpret_cast<TclThreadSynchronizer*>(LParam));
  case WM_SYNC_RELEASE:
    SynchronizerManager().ReleaseInfo(reinterpret_cast<TclSyncInfo*>(LParam));
    return 0;
  default:
    return DefWindowProcA(Window, Message, WParam, LParam);
  }
}
