#include "framework/application.h"

#include <exception>
#include <new>

#include "base/exceptions.h"

TApplication Application;

namespace {
// Posted to the application window when it was activated, so that the main form takes the
// activation once the system has finished activating.
constexpr UINT WM_ACTIVATE_MAIN_FORM = WM_APP + 0x100;
} // namespace

class TApplicationWindow : public TWindow {
public:
  explicit TApplicationWindow(TApplication& Owner) : FOwner(Owner) {
    TCreateParams params;
    params.ClassName = "TApplication";
    params.Text = Owner.Title().c_str();
    // Size 0 at the screen's centre: nothing to see, yet a button on the taskbar and in Alt+Tab.
    params.Style = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
    params.Left = GetSystemMetrics(SM_CXSCREEN) / 2;
    params.Top = GetSystemMetrics(SM_CYSCREEN) / 2;
    params.Width = 0;
    params.Height = 0;
    CreateOwnWindow(params);
    // Its button in the taskbar and in Alt+Tab shows the icon.
    SetProgramIcon(Handle());
  }

protected:
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override {
    switch (Msg) {
    case WM_SYSCOMMAND:
      switch (WParam & 0xFFF0) {
      case SC_MINIMIZE:
        FOwner.Minimize();
        return 0;
      case SC_RESTORE:
        FOwner.Restore();
        return 0;
      case SC_CLOSE:
        CloseMainForm();
        return 0;
      default:
        break;
      }
      break;
    case WM_CLOSE:
      CloseMainForm();
      return 0;
    case WM_SIZE:
      // Minimised or restored by someone else than Minimize and Restore (the shell).
      if (WParam == SIZE_MINIMIZED) FOwner.HideMainForm();
      if (WParam == SIZE_RESTORED) FOwner.ShowMainForm();
      break;
    case WM_ACTIVATE:
      if (LOWORD(WParam) != WA_INACTIVE && !IsIconic(Handle()))
        PostMessageA(Handle(), WM_ACTIVATE_MAIN_FORM, 0, 0);
      break;
    case WM_ACTIVATE_MAIN_FORM:
      if (GetActiveWindow() == Handle()) FOwner.ActivateMainForm();
      return 0;
    default:
      break;
    }
    return TWindow::WndProc(Msg, WParam, LParam);
  }

private:
  void CloseMainForm() {
    if (FOwner.MainForm()) FOwner.MainForm()->Close();
  }

  TApplication& FOwner;
};

TApplication::TApplication() = default;

TApplication::~TApplication() = default;

void TApplication::Initialize() {
  // Keep the system's own "no disk" and critical-error boxes away; errors are ours to show.
  SetErrorMode(SEM_FAILCRITICALERRORS);
  // Drag and drop and the clipboard's data object need OLE on the main thread.
  FOle.emplace();
  CreateHandle();
}

void TApplication::SetTitle(const AnsiString& Title) {
  FTitle = Title;
  if (Handle()) SetWindowTextA(Handle(), FTitle.c_str());
}

HWND TApplication::Handle() const {
  return FWindow ? FWindow->Handle() : nullptr;
}

void TApplication::CreateHandle() {
  if (!Handle()) FWindow = std::make_unique<TApplicationWindow>(*this);
}

void TApplication::DestroyHandle() {
  FWindow.reset();
  FMainFormHidden = false;
}

void TApplication::Minimize() {
  if (!Handle() || IsIconic(Handle())) return;
  HideMainForm();
  ShowWindow(Handle(), SW_MINIMIZE);
}

void TApplication::Restore() {
  if (!Handle() || !IsIconic(Handle())) return;
  ShowWindow(Handle(), SW_RESTORE);
  ShowMainForm();
  ActivateMainForm();
}

void TApplication::HideMainForm() {
  if (FMainFormHidden || !FMainForm || !FMainForm->Handle() ||
      !IsWindowVisible(FMainForm->Handle()))
    return;
  FMainFormHidden = true;
  // An error box over the main form goes and comes back with it.
  ShowOwnedPopups(FMainForm->Handle(), FALSE);
  ShowWindow(FMainForm->Handle(), SW_HIDE);
}

void TApplication::ShowMainForm() {
  if (!FMainFormHidden) return;
  FMainFormHidden = false;
  if (!FMainForm || !FMainForm->Handle()) return;
  ShowWindow(FMainForm->Handle(), SW_SHOW);
  ShowOwnedPopups(FMainForm->Handle(), TRUE);
}

void TApplication::ActivateMainForm() {
  if (!FMainForm || !FMainForm->Handle() || !IsWindowVisible(FMainForm->Handle())) return;
  const HWND target = GetLastActivePopup(FMainForm->Handle());
  if (IsWindowVisible(target) && IsWindowEnabled(target)) SetForegroundWindow(target);
}

void TApplication::AddForm(std::unique_ptr<TForm> Form) {
  if (!FMainForm) FMainForm = Form.get();
  FForms.push_back(std::move(Form));
}

void TApplication::Run() {
  if (FMainForm && FMainForm->Handle()) {
    // The taskbar button first; the main form then takes the activation as it appears.
    if (Handle()) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    FMainForm->Show();
    MSG msg;
    while (FMainForm->Handle() && GetMessageA(&msg, nullptr, 0, 0) > 0)
      HandleMessage(msg);
  }
  FMainForm = nullptr;
  while (!FForms.empty())
    FForms.pop_back();
  DestroyHandle();
  FOle.reset();
}

void TApplication::HandleMessage(MSG& Msg) {
  if (Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN) {
    PreviewKey(Msg);
    if (Msg.message == WM_KEYDOWN && DialogKey(Msg)) return;
  }
  TranslateMessage(&Msg);
  DispatchMessageA(&Msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave it for the loop that owns it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    HandleMessage(msg);
  }
}

void TApplication::PreviewKey(const MSG& Msg) {
  auto* form = dynamic_cast<TForm*>(TWindow::FromHandle(GetAncestor(Msg.hwnd, GA_ROOT)));
  if (!form || !form->KeyPreview()) return;
  // The key handler sees the key; the message still goes on to the focused control.
  WORD key = static_cast<WORD>(Msg.wParam);
  try {
    form->PreviewKey(key, KeyboardShiftState());
  } catch (...) {
    HandleException();
  }
}

bool TApplication::DialogKey(const MSG& Msg) {
  auto* form = dynamic_cast<TForm*>(TWindow::FromHandle(GetAncestor(Msg.hwnd, GA_ROOT)));
  if (!form) return false;
  try {
    return form->DialogKey(Msg, KeyboardShiftState());
  } catch (...) {
    HandleException();
    return true;
  }
}

void TApplication::HandleException() {
  try {
    try {
      throw;
    } catch (const Exception& error) {
      ShowException(error.Message());
    } catch (const std::bad_alloc&) {
      // The library's own text is English and says nothing to a user.
      ShowException("Zu wenig Arbeitsspeicher");
    } catch (const std::exception& error) {
      ShowException(error.what());
    } catch (...) {
      ShowException("Unbekannter Fehler");
    }
  } catch (...) {
    // Nothing is left to report with; the program goes on.
  }
}

void TApplication::ShowException(const AnsiString& Message) {
  const AnsiString text = MessageWithFullStop(Message);
  if (OnException) {
    OnException(text);
    return;
  }
  const HWND owner = FMainForm ? FMainForm->Handle() : nullptr;
  MessageBoxA(owner, text.c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR);
}
