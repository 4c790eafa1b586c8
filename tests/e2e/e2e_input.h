#pragma once
// The user's side of the end-to-end tests: the clipboard as other programs use it, real key
// presses and mouse clicks through the system's input queue, and a real drag of files from a
// window of this program onto another process's window.
#include <windows.h>

#include <ole2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// The clipboard, opened without an owner window so that no window of ours has to keep serving it.
// Each gives false when the clipboard could not be opened within two seconds or not be written.
bool EmptyTheClipboard();
bool PutClipboardText(const std::wstring& Text);
// ANSI bytes as the clipboard's only text format, as an older program offers text.
bool PutClipboardAnsiText(const std::string& Text);
// Files as a file manager copies them: the shell's file-list format.
bool PutClipboardFiles(const std::vector<std::wstring>& Files);
// The clipboard's text as UTF-16 and as ANSI bytes; Present tells whether there was any.
std::wstring ClipboardUnicodeText(bool* Present = nullptr);
std::string ClipboardAnsiText(bool* Present = nullptr);

// Another program holding the clipboard open: a window of a thread of ours opens it before the
// constructor returns and closes it when Milliseconds have passed. The destructor waits for that,
// five seconds longer at most.
class ClipboardHold {
public:
  explicit ClipboardHold(DWORD Milliseconds);
  ~ClipboardHold();
  ClipboardHold(const ClipboardHold&) = delete;
  ClipboardHold& operator=(const ClipboardHold&) = delete;
  bool Opened() const { return FOpened; }
  bool Released() const { return WaitForSingleObject(FThread, 0) == WAIT_OBJECT_0; }

private:
  // Shared with the holding thread, which may outlive the object when it is stuck.
  struct TState;
  static DWORD WINAPI Hold(void* Parameter);
  std::shared_ptr<TState> FState;
  HANDLE FThread = nullptr;
  bool FOpened = false;
};

// Makes Window the foreground window, attached the way a user's click would make it; tries for
// up to three seconds, since Wine may hand the foreground back to the last window a moment later.
bool Activate(HWND Window);
// Presses the keys down in order and releases them in reverse, as one chord, once Window is the
// foreground window; false (and no key pressed) when it could not be made so.
bool PressChord(HWND Window, const std::vector<WORD>& Keys);
// A press and release of Button (VK_LBUTTON, VK_RBUTTON) at a point in Window's client area, as
// PressChord, false when Window could not be made the foreground window.
bool ClickAt(HWND Window, POINT Client, int Button = VK_LBUTTON);
// Lets go of every mouse button and modifier key the system still holds down, as a driver ended
// in the middle of a drag or a chord leaves them. Gives the names of those it let go.
std::vector<std::wstring> ReleaseHeldInput();
// The first pixel of exactly Color that the screen shows inside Child, in Window's client
// coordinates; false when there is none.
bool FindColour(HWND Window, HWND Child, COLORREF Color, POINT* Found);

// Drags Files from a window of this program and drops them at the centre of Target, with the
// mouse moved and released through the input queue. Allowed are the effects offered; with
// Shift held the user's gesture is a move. Gives the effect the target reported, or -1 when the
// drag did not end in a drop that gave the target the names.
//
// Every step has a limit. The mouse moves once the drag loop holds the mouse, and lets go once
// the target has taken the drag. A drag whose loop does not take the release is cancelled, and a
// drag that never reached the target is tried again (three attempts in all); a target that does
// not answer the drop within a minute is ended. The button is let go whatever happened, and
// what went wrong is written to standard error.
long DragAndDrop(HWND Target, const std::vector<std::wstring>& Files, DWORD Allowed,
                 bool Shift = false);

struct DragOptions {
  DWORD Allowed = DROPEFFECT_COPY;
  bool Shift = false;
  // A short drag of about a tenth of a second, for drops in quick succession.
  bool Quick = false;
  // Called once, right after the target has taken the names from the drag's data.
  std::function<void()> OnNamesTaken;
};
long DragAndDrop(HWND Target, const std::vector<std::wstring>& Files, const DragOptions& Options);

} // namespace e2e
