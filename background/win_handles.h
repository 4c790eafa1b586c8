#pragma once
// Thin owners of the Win32 objects the background units use.
#include <windows.h>

// An unnamed event; raises Exception when the system cannot make one.
class TEvent {
public:
  TEvent(bool ManualReset, bool Signalled);
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;
  ~TEvent() { CloseHandle(FHandle); }

  HANDLE Handle() const { return FHandle; }
  void Set() { SetEvent(FHandle); }
  void Reset() { ResetEvent(FHandle); }

private:
  HANDLE FHandle;
};

class TCriticalSection {
public:
  TCriticalSection() { InitializeCriticalSection(&FSection); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  ~TCriticalSection() { DeleteCriticalSection(&FSection); }

  void Enter() { EnterCriticalSection(&FSection); }
  void Leave() { LeaveCriticalSection(&FSection); }

private:
  CRITICAL_SECTION FSection;
};

class TLock {
public:
  explicit TLock(TCriticalSection& Section) : FSection(Section) { FSection.Enter(); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  ~TLock() { FSection.Leave(); }

private:
  TCriticalSection& FSection;
};
