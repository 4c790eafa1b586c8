#pragma once
// Calls from any thread that run on one owner thread, inside its ordinary message loop: each
// owner thread with live synchronisers has a hidden window, and a call is a message sent to it.
#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "framework/win_owners.h"

constexpr UINT WM_SYNC_RELEASE = 0x8FFC; // WM_APP + 0xFFC
constexpr UINT WM_SYNC_CALL = 0x8FFD;    // WM_APP + 0xFFD

extern const char* const SyncWindowClassName;

struct TclSyncInfo;

class TclThreadSynchronizer {
public:
  using TMethod = std::function<void()>;

  // Owned by the current thread, which gets its hidden window now if it has none.
  TclThreadSynchronizer();
  // Owned by another thread; that thread must already have live synchronisers (their window
  // serves this one too), else Exception is raised: no thread can make a window for another.
  explicit TclThreadSynchronizer(DWORD OwnerThreadId);
  TclThreadSynchronizer(const TclThreadSynchronizer&) = delete;
  TclThreadSynchronizer& operator=(const TclThreadSynchronizer&) = delete;
  ~TclThreadSynchronizer();

  // Returns when Method has run on the owner thread, raising again what it raised there. Once
  // cancelled, returns without running it. On the owner thread itself, Method runs directly.
  void Synchronize(const TMethod& Method);
  // From now on calls are answered without running their method, also a call already waiting.
  void Cancel();
  bool Cancelled() const { return FCancelled; }
  DWORD OwnerThreadId() const { return FOwnerThreadId; }

private:
  friend class TclSynchronizerManager;

  const TMethod* FMethod = nullptr;
  std::exception_ptr FException;
  DWORD FOwnerThreadId;
  // Found once at construction; the info lives at least as long as this synchroniser counts in it.
  TclSyncInfo* FInfo = nullptr;
  std::atomic<bool> FCancelled{false};
  TEvent FCancelEvent{true, false};
};

// One per owner thread.
struct TclSyncInfo {
  DWORD OwnerThreadId = 0;
  TWindowHandle Window;
  // Live synchronisers of that thread, less the releases its message loop has not handled yet.
  int UseCount = 0;
  // How deep the owner thread is inside synchronised calls, and set while it is in none: a call
  // that arrives while another runs (a modal loop inside the first) waits for it to end.
  int CallDepth = 0;
  TEvent Idle{true, true};
};

class TclSynchronizerManager {
public:
  TclSynchronizerManager() = default;
  TclSynchronizerManager(const TclSynchronizerManager&) = delete;
  TclSynchronizerManager& operator=(const TclSynchronizerManager&) = delete;
  ~TclSynchronizerManager();

  void AddSynchronizer(TclThreadSynchronizer* Synchronizer);
  void RemoveSynchronizer(TclThreadSynchronizer* Synchronizer);
  // The hidden window of that thread, or none.
  HWND WindowOf(DWORD ThreadId);

private:
  friend class TclThreadSynchronizer;

  // Under the lock.
  TclSyncInfo* FindInfo(DWORD ThreadId) const;
  void ReleaseInfo(TclSyncInfo* Info);
  // On the thread it is to belong to.
  static HWND CreateHiddenWindow();
  static LRESULT HandleCall(TclThreadSynchronizer* Synchronizer);
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

  TCriticalSection FLock;
  std::vector<std::unique_ptr<TclSyncInfo>> FInfos;
};

// Created on first use, freed at program end.
TclSynchronizerManager& SynchronizerManager();
