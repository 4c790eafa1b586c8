#pragma once
// The user's side of the end-to-end tests: the clipboard as other programs use it, real key
// presses and mouse clicks through the system's input queue, and a real drag of files from a
// window of this program onto another process's window.
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The clipboard, opened without an owner window so that no window of ours has to keep serving it.
void EmptyTheClipboard();
void PutClipboardText(const std::wstring& Text);
// ANSI bytes as the clipboard's only text format, as an older program offers text.
void PutClipboardAnsiText(const std::string& Text);
// Files as a file manager copies them: the shell's file-list format.
void PutClipboardFiles(const std::vector<std::wstring>& Files);
// The clipboard's text as UTF-16 and as ANSI bytes; Present tells whether there was any.
std::wstring ClipboardUnicodeText(bool* Present = nullptr);
std::string ClipboardAnsiText(bool* Present = nullptr);

// Another program holding the clipboard open: a window of a thread of ours opens it before the
// constructor returns and closes it when Milliseconds have passed. The destructor waits for that.
class ClipboardHold {
public:
  explicit ClipboardHold(DWORD Milliseconds);
  ~ClipboardHold();
  ClipboardHold(const ClipboardHold&) = delete;
  ClipboardHold& operator=(const ClipboardHold&) = delete;
  bool Opened() const { return FOpened; }
  bool Released() const { return WaitForSingleObject(FThread, 0) == WAIT_OBJECT_0; }

private:
  static DWORD WINAPI Hold(void* Parameter);
  DWORD FMilliseconds;
  HANDLE FReady;
  HANDLE FThread;
  bool FOpened = false;
};

// Makes Window the foreground window, attached the way a user's click would make it.
bool Activate(HWND Window);
// Presses the keys down in order and releases them in reverse, as one chord.
void PressChord(HWND Window, const std::vector<WORD>& Keys);
// A press and release of Button (VK_LBUTTON, VK_RBUTTON) at a point in Window's client area.
void ClickAt(HWND Window, POINT Client, int Button = VK_LBUTTON);
// The first pixel of exactly Color that the screen shows inside Child, in Window's client
// coordinates; false when there is none.
bool FindColour(HWND Window, HWND Child, COLORREF Color, POINT* Found);

// Drags Files from a window of this program and drops them at the centre of Target, with the
// mouse moved and released through the input queue. Allowed are the effects offered; with
// Shift held the user's gesture is a move. Gives the effect the target reported, or -1 when the
// drag did not end in a drop.
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
