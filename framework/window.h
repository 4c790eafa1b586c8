#pragma once
// The base of every window the program owns: the window procedure routes each message to the
// object's virtual WndProc; the object lives in the window's GWLP_USERDATA. Windows of the
// program's own classes are created through it; windows of system classes ("ListBox") are
// subclassed, so the same routing applies. No C++ exception leaves the window procedure: it goes
// to the application's error box.
#include <windows.h>

#include "base/system.h"

struct TWindowCreateParams {
  const char* ClassName = nullptr;
  const char* Text = "";
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int Left = CW_USEDEFAULT;
  int Top = CW_USEDEFAULT;
  int Width = CW_USEDEFAULT;
  int Height = CW_USEDEFAULT;
  HWND Parent = nullptr;
  // A window of a class registered in UTF-16: its text keeps every letter, also those the ANSI
  // code page lacks; the system converts for ANSI callers.
  bool Unicode = false;
};

// How a window class of the program's own is registered.
struct TWindowClass {
  WNDPROC Procedure = nullptr;
  UINT Style = 0;
  HCURSOR Cursor = nullptr;
};

// Registers Params.ClassName as Class says, unless it is registered with Class's procedure
// already (registered with another procedure, it is replaced), then creates a window of it with
// CreateParam as the creation parameter. Raises Exception when the system refuses either.
HWND CreateClassWindow(const TWindowCreateParams& Params, const TWindowClass& Class,
                       void* CreateParam);

// The name of the program's icon resource. Being its only icon group, it is also the first, the
// one Explorer, shortcuts and the installer show for the program.
extern const char* const ProgramIconName;
// Gives Window the program's icon as its large and small icon (title bar, taskbar, Alt+Tab). A
// program without the resource leaves the system's default in place.
void SetProgramIcon(HWND Window);

class TWindow {
public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  // Destroys the window if it still exists.
  virtual ~TWindow();

  HWND Handle() const { return FHandle; }
  // The object behind a window of this program, or null for any other window.
  static TWindow* FromHandle(HWND Window);

protected:
  using TCreateParams = TWindowCreateParams;

  // Registers the class on first use (arrow cursor, no background brush) and creates the
  // window. Raises Exception when the system refuses.
  void CreateOwnWindow(const TCreateParams& Params);
  // Creates a window of an existing system class and routes its messages here; unhandled
  // messages go on to the class's own procedure.
  void CreateSubclassedWindow(const TCreateParams& Params);
  void DestroyHandle();
  bool IsSubclassed() const { return FClassProc != nullptr; }

  virtual LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam);
  // What the window would do without us: DefWindowProcA or DefWindowProcW, as the window is, or
  // the system class's procedure.
  LRESULT DefaultHandler(UINT Msg, WPARAM WParam, LPARAM LParam);
  // The window is gone (WM_NCDESTROY); Handle() is null from here on.
  virtual void HandleDestroyed() {}

private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  static LRESULT Dispatch(TWindow* Self, HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

  HWND FHandle = nullptr;
  WNDPROC FClassProc = nullptr;
};
