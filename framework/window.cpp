#include "framework/window.h"

#include <cstring>
#include <string>

#include "base/exceptions.h"
#include "framework/application.h"

namespace {

// Class names and window texts of the program are ASCII.
std::wstring Widened(const char* Text) {
  return std::wstring(Text, Text + std::strlen(Text));
}

// The class as RegisterClassExA or RegisterClassExW wants it; Char is char or wchar_t.
template <class WindowClass, class Char>
WindowClass ClassDescription(const Char* Name, const TWindowClass& Class, HINSTANCE Instance) {
  WindowClass windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = Class.Style;
  windowClass.lpfnWndProc = Class.Procedure;
  windowClass.hInstance = Instance;
  windowClass.hCursor = Class.Cursor;
  windowClass.lpszClassName = Name;
  return windowClass;
}

// The procedure a class of that name is registered with, asked in the given character set (a
// class of the other one gives a converting stub, which is never ours); null when there is none.
WNDPROC RegisteredProcedure(const char* Name, bool Unicode, HINSTANCE Instance) {
  if (Unicode) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    return GetClassInfoExW(Instance, Widened(Name).c_str(), &existing) ? existing.lpfnWndProc
                                                                       : nullptr;
  }
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  return GetClassInfoExA(Instance, Name, &existing) ? existing.lpfnWndProc : nullptr;
}

void RegisterWindowClass(const char* Name, const TWindowClass& Class, bool Unicode,
                         HINSTANCE Instance) {
  if (const WNDPROC registered = RegisteredProcedure(Name, Unicode, Instance)) {
    if (registered == Class.Procedure) return;
    // Windows of it would never reach our procedure.
    UnregisterClassA(Name, Instance);
  }
  const std::wstring wideName = Widened(Name);
  const WNDCLASSEXW wide = ClassDescription<WNDCLASSEXW>(wideName.c_str(), Class, Instance);
  const WNDCLASSEXA ansi = ClassDescription<WNDCLASSEXA>(Name, Class, Instance);
  if (!(Unicode ? RegisterClassExW(&wide) : RegisterClassExA(&ansi)))
    throw Exception(Format("Fensterklasse %s kann nicht registriert werden", Name));
}

bool IsOwnProcedure(HWND Window, WNDPROC Procedure) {
  // Asked in the window's own character set, the system gives the procedure itself.
  const LONG_PTR own = IsWindowUnicode(Window) ? GetWindowLongPtrW(Window, GWLP_WNDPROC)
                                               : GetWindowLongPtrA(Window, GWLP_WNDPROC);
  return reinterpret_cast<WNDPROC>(own) == Procedure;
}

LRESULT DefaultProcedure(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return IsWindowUnicode(Window) ? DefWindowProcW(Window, Msg, WParam, LParam)
                                 : DefWindowProcA(Window, Msg, WParam, LParam);
}

} // namespace

const char* const ProgramIconName = "MAINICON";

void SetProgramIcon(HWND Window) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  const struct {
    WPARAM Kind;
    int Width;
    int Height;
  } sizes[] = {
      {ICON_BIG, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)},
      {ICON_SMALL, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)},
  };
  for (const auto& size : sizes) {
    // Shared: the system keeps one copy per size for the program's lifetime, so no window owns it.
    const HANDLE icon =
        LoadImageA(instance, ProgramIconName, IMAGE_ICON, size.Width, size.Height, LR_SHARED);
    if (icon) SendMessageA(Window, WM_SETICON, size.Kind, reinterpret_cast<LPARAM>(icon));
  }
}

HWND CreateClassWindow(const TWindowCreateParams& Params, const TWindowClass& Class,
                       void* CreateParam) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWindowClass(Params.ClassName, Class, Params.Unicode, instance);
  const HWND window =
      Params.Unicode ? CreateWindowExW(Params.ExStyle, Widened(Params.ClassName).c_str(),
                                       Widened(Params.Text).c_str(), Params.Style, Params.Left,
                                       Params.Top, Params.Width, Params.Height, Params.Parent,
                                       nullptr, instance, CreateParam)
                     : CreateWindowExA(Params.ExStyle, Params.ClassName, Params.Text, Params.Style,
                                       Params.Left, Params.Top, Params.Width, Params.Height,
                                       Params.Parent, nullptr, instance, CreateParam);
  if (!window) throw Exception(Format("Fenster %s kann nicht erstellt werden", Params.ClassName));
  return window;
}

TWindow::~TWindow() {
  DestroyHandle();
}

TWindow* TWindow::FromHandle(HWND Window) {
  if (!Window || !IsWindow(Window)) return nullptr;
  if (!IsOwnProcedure(Window, &WindowProc)) return nullptr;
  return reinterpret_cast<TWindow*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
}

void TWindow::CreateOwnWindow(const TCreateParams& Params) {
  TWindowClass windowClass;
  windowClass.Procedure = &WindowProc;
  // Full repaints on resizing: the layout of the painted controls depends on the width.
  windowClass.Style = CS_HREDRAW | CS_VREDRAW;
  windowClass.Cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  // WindowProc takes the object from the creation parameters at WM_NCCREATE.
  CreateClassWindow(Params, windowClass, this);
}

void TWindow::CreateSubclassedWindow(const TCreateParams& Params) {
  const HWND window = CreateWindowExA(Params.ExStyle, Params.ClassName, Params.Text, Params.Style,
                                      Params.Left, Params.Top, Params.Width, Params.Height,
                                      Params.Parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) throw Exception(Format("Fenster %s kann nicht erstellt werden", Params.ClassName));
  FHandle = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FClassProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
}

void TWindow::DestroyHandle() {
  if (FHandle) DestroyWindow(FHandle);
}

LRESULT TWindow::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  return DefaultHandler(Msg, WParam, LParam);
}

LRESULT TWindow::DefaultHandler(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (FClassProc) return CallWindowProcA(FClassProc, FHandle, Msg, WParam, LParam);
  return DefaultProcedure(FHandle, Msg, WParam, LParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWindow* self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
  if (!self && Msg == WM_NCCREATE) {
    // The creation parameter comes first in either character set's structure.
    self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams);
    if (self) {
      self->FHandle = Window;
      SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
  if (!self) return DefaultProcedure(Window, Msg, WParam, LParam);
  return Dispatch(self, Window, Msg, WParam, LParam);
}

LRESULT TWindow::Dispatch(TWindow* Self, HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT result = 0;
  try {
    result = Self->WndProc(Msg, WParam, LParam);
  } catch (...) {
    Application.HandleException();
    // A message that was cut short by an error has nothing to report back.
    result = 0;
  }
  if (Msg == WM_NCDESTROY) {
    const WNDPROC classProc = Self->FClassProc;
    SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
    if (classProc) SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(classProc));
    Self->FHandle = nullptr;
    Self->FClassProc = nullptr;
    Self->HandleDestroyed();
  }
  return result;
}
