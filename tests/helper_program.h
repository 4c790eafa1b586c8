#pragma once
// The test helpers are small programs built beside the test program (voxaro_open_mutex,
// voxaro_read_window, voxaro_drop_at_exit); a test starts one and looks at its exit status.
#include <windows.h>

#include "base/system.h"

// What RunHelperProgram gives when the helper did not end in time (it is ended then) or did not
// start at all; either adds a test failure.
constexpr DWORD HelperHung = 98;
constexpr DWORD HelperNotStarted = 99;

// Runs Name from this test program's folder with Arguments and waits at most TimeoutMs for its
// exit status. With ServeMessages this thread's messages are dispatched meanwhile, so that the
// helper may send messages to this thread's windows.
DWORD RunHelperProgram(const char* Name, const AnsiString& Arguments, DWORD TimeoutMs,
                       bool ServeMessages = false);
