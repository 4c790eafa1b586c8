#pragma once
// The limits of the tests' waits, stretched for programs that run under an emulator many times
// slower than natively: VOXARO_WAIT_FACTOR (a whole number from 1, set by scripts/test-win32.sh)
// times as long. Only limits: a wait that ends early still ends early.
#include <windows.h>

#include <cstdlib>

inline DWORD WaitFactor() {
  static const DWORD factor = [] {
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("VOXARO_WAIT_FACTOR", text, sizeof text);
    const unsigned long value =
        length > 0 && length < sizeof text ? std::strtoul(text, nullptr, 10) : 1;
    return static_cast<DWORD>(value < 1 ? 1 : value > 1000 ? 1000 : value);
  }();
  return factor;
}

inline DWORD StretchedLimit(DWORD Milliseconds) {
  if (Milliseconds == INFINITE) return INFINITE;
  const ULONGLONG stretched = ULONGLONG(Milliseconds) * WaitFactor();
  return static_cast<DWORD>(stretched < INFINITE ? stretched : INFINITE - 1);
}
