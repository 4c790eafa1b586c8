// Drops a name, runs its message loop for the given time, then ends. "exit" leaves the drop
// hand-off to program end; "shutdown" calls ShutdownASyncDrop after its loop, as the program does.
// Either way the window is gone first. Exit status 3: called back after the end; 4: no callback
// although its time had come; 5: the effect was not set to none.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "background/async_drop.h"

namespace {

bool Ended = false;
bool Called = false;

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const bool shutdown = std::strcmp(argv[1], "shutdown") == 0;
  const int delay = std::atoi(argv[2]);
  HWND window = CreateWindowExA(0, "STATIC", "main", 0, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
  int32_t effect = 1;
  ASyncDrop(effect, "", "a.csv", [window](const AnsiString&, TStrings&) {
    if (Ended || !IsWindow(window)) ExitProcess(3);
    Called = true;
  });
  if (effect != 0) return 5;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    const auto left = end - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) break;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
  DestroyWindow(window);
  if (shutdown) ShutdownASyncDrop();
  Ended = true;
  if (delay >= 100 && !Called) return 4;
  return 0;
}
