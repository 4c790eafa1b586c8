#pragma once
// The window as a screen reader reads it: the accessible objects (MSAA) of another process's
// windows, their elements and children, and the events they raise; and the screen's pixels, to
// see what the window draws for the keyboard.
#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

namespace e2e {

// IID_IAccessible. mingw-w64's liboleacc.a has an import thunk under that name, which is no GUID.
extern const IID AccessibleIid;

// One reference to a COM object, released at the end.
template <class T> class ComRef {
public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }
  T* Get() const { return FObject; }
  T* operator->() const { return FObject; }
  explicit operator bool() const { return FObject != nullptr; }
  void Reset() {
    if (FObject) FObject->Release();
    FObject = nullptr;
  }
  void** Receive() {
    Reset();
    return reinterpret_cast<void**>(&FObject);
  }

private:
  T* FObject = nullptr;
};

// The accessible object of a window's client area, as AccessibleObjectFromWindow gives it; null
// when it gives none.
void ClientObject(HWND Window, ComRef<IAccessible>& Object);

// What a screen reader reads of one element: the object itself (CHILDID_SELF) or one of its
// simple children. Result is S_OK, or the first call that failed.
struct AccessibleElement {
  long Role = 0;
  std::wstring Name;
  long State = 0;
  RECT Location = {};
  std::wstring DefaultAction;
  HRESULT Result = S_OK;
};
AccessibleElement ReadElement(IAccessible* Object, long Child);

// An object and its children as AccessibleChildren lists them; a child that is an object of its
// own is read as that object's self.
struct AccessibleTree {
  AccessibleElement Self;
  std::vector<long> ChildIds; // CHILDID_SELF for a child that is an object of its own
  std::vector<AccessibleElement> Children;
  HRESULT Result = S_OK; // of the child count and AccessibleChildren
};
AccessibleTree ReadTree(IAccessible* Object);
// One line per element, as the report shows it: role, name, state, location, default action.
std::wstring Describe(const AccessibleTree& Tree);

// The status line's window: the panel of the main window whose text is the status.
HWND StatusPanel(HWND MainWindow);
// The window that has the keyboard focus in the thread of Window.
HWND FocusOf(HWND Window);

// The events one kind raises for the windows of one process, seen by an out-of-context hook of
// this thread as it pumps its messages (WaitFor does).
struct WinEvent {
  DWORD Event;
  HWND Window;
  LONG Object;
  LONG Child;
};
class WinEventRecorder {
public:
  WinEventRecorder(DWORD Event, DWORD ProcessId);
  ~WinEventRecorder();
  WinEventRecorder(const WinEventRecorder&) = delete;
  WinEventRecorder& operator=(const WinEventRecorder&) = delete;
  bool Hooked() const { return FHook != nullptr; }
  // The events of Window's object and child seen so far.
  int Count(HWND Window, LONG Object, LONG Child) const;
  void Clear() { FEvents.clear(); }

private:
  static void CALLBACK Record(HWINEVENTHOOK Hook, DWORD Event, HWND Window, LONG Object, LONG Child,
                              DWORD Thread, DWORD Time);
  HWINEVENTHOOK FHook = nullptr;
  std::vector<WinEvent> FEvents;
};

// The screen's pixels in a rectangle of screen coordinates, as the window shows them now.
class ScreenPixels {
public:
  explicit ScreenPixels(const RECT& Screen);
  COLORREF At(int ScreenX, int ScreenY) const;
  // How many pixels of a column (X, from Top to Bottom exclusive) are dark: all three channels
  // below half.
  int DarkInColumn(int X, int Top, int Bottom) const;

private:
  RECT FRect;
  std::vector<COLORREF> FPixels;
};

} // namespace e2e
