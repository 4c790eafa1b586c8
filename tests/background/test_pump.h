#pragma once
// The test thread plays the main thread: it pumps its own messages while it waits.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "tests/wait_limit.h"

// Dispatches what is queued for this thread until Done holds; false when the deadline passes
// (stretched under an emulator). Without Done it pumps for exactly that time.
inline bool PumpUntil(const std::function<bool()>& Done, int Milliseconds = 10000) {
  const DWORD asked = static_cast<DWORD>(Milliseconds);
  const DWORD limit = Done ? StretchedLimit(asked) : asked;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (Done && Done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

inline void PumpFor(int Milliseconds) {
  PumpUntil(nullptr, Milliseconds);
}

// A hang must fail the test, not block the suite: past the limit (stretched under an emulator)
// the process ends with status 3.
class TWatchdog {
public:
  TWatchdog(DWORD Milliseconds, const char* What)
      : FMilliseconds(StretchedLimit(Milliseconds)), FWhat(What),
        FDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        FThread(CreateThread(nullptr, 0, Watch, this, 0, nullptr)) {}
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;
  ~TWatchdog() {
    SetEvent(FDone);
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    CloseHandle(FDone);
  }

private:
  static DWORD WINAPI Watch(void* Parameter) {
    TWatchdog* self = static_cast<TWatchdog*>(Parameter);
    if (WaitForSingleObject(self->FDone, self->FMilliseconds) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "watchdog: %s did not end\n", self->FWhat);
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
  }

  DWORD FMilliseconds;
  const char* FWhat;
  HANDLE FDone;
  HANDLE FThread;
};
