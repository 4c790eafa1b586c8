#include "framework/form.h"

#include <algorithm>
#include <string>
#include <vector>

#include "framework/application.h"

TForm::TForm(const char* ClassName) : TWindowedControl(nullptr) {
  SetColor(clBtnFace);
  TCreateParams params;
  params.ClassName = ClassName;
  params.Style = WindowStyle();
  // Owned by the application window, which carries the taskbar button; a form without one (in
  // the tests) has a button of its own.
  params.Parent = Application.Handle();
  if (!params.Parent) FExStyle = WS_EX_APPWINDOW;
  params.ExStyle = FExStyle;
  params.Width = 320;
  params.Height = 240;
  // The caption may show a file's name, whatever letters it holds.
  params.Unicode = true;
  CreateOwnWindow(params);
  SetProgramIcon(Handle());
}

WideString TForm::Caption() const {
  if (!Handle()) return WideString();
  const int length = GetWindowTextLengthW(Handle());
  if (length <= 0) return WideString();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(Handle(), &text[0], length + 1);
  return WideString(text.begin(), text.begin() + (copied > 0 ? copied : 0));
}

void TForm::SetCaption(const WideString& Caption) {
  if (Handle()) SetWindowTextW(Handle(), std::wstring(Caption.begin(), Caption.end()).c_str());
}

DWORD TForm::WindowStyle() const {
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
  if (FBorderStyle == bsSizeable) style |= WS_THICKFRAME;
  if (FBorderIcons & biSystemMenu) {
    style |= WS_SYSMENU;
    if (FBorderIcons & biMinimize) style |= WS_MINIMIZEBOX;
    if (FBorderIcons & biMaximize) style |= WS_MAXIMIZEBOX;
  }
  return style;
}

void TForm::ApplyWindowStyle() {
  if (!Handle()) return;
  const LONG_PTR visible = GetWindowLongPtrA(Handle(), GWL_STYLE) & WS_VISIBLE;
  SetWindowLongPtrA(Handle(), GWL_STYLE, static_cast<LONG_PTR>(WindowStyle()) | visible);
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyClientSize();
}

void TForm::SetBorderStyle(TFormBorderStyle Style) {
  FBorderStyle = Style;
  ApplyWindowStyle();
}

void TForm::SetBorderIcons(TBorderIcons Icons) {
  FBorderIcons = Icons;
  ApplyWindowStyle();
}

void TForm::SetClientSize(int Width, int Height) {
  FClientWidth = Width;
  FClientHeight = Height;
  ApplyClientSize();
}

void TForm::ApplyClientSize() {
  if (!Handle() || FClientWidth < 0) return;
  RECT frame{0, 0, FClientWidth, FClientHeight};
  AdjustWindowRectEx(&frame, WindowStyle(), FALSE, FExStyle);
  SetBounds(Left(), Top(), frame.right - frame.left, frame.bottom - frame.top);
  // The frame the system draws may differ from what AdjustWindowRectEx predicts; correct once.
  const TRect client = ClientRect();
  if (client.Width() != FClientWidth || client.Height() != FClientHeight)
    SetBounds(Left(), Top(), Width() + FClientWidth - client.Width(),
              Height() + FClientHeight - client.Height());
}

void TForm::SetActiveControl(TWindowedControl* Control) {
  FActiveControl = Control;
  if (Control && Handle() && GetActiveWindow() == Handle()) Control->SetFocus();
}

namespace {

// The windowed controls inside Parent, depth first in the order they were made.
void CollectWindowed(const TWindowedControl& Parent, std::vector<TWindowedControl*>& Found) {
  for (TControl* control : Parent.Controls())
    if (auto* windowed = dynamic_cast<TWindowedControl*>(control)) {
      Found.push_back(windowed);
      CollectWindowed(*windowed, Found);
    }
}

bool CanTabTo(const TWindowedControl& Control) {
  return Control.TabStop() && IsWindowVisible(Control.Handle()) &&
         IsWindowEnabled(Control.Handle());
}

} // namespace

TWindowedControl* TForm::FindNextControl(TWindowedControl* From, bool Forward) const {
  std::vector<TWindowedControl*> controls;
  CollectWindowed(*this, controls);
  const int count = static_cast<int>(controls.size());
  const auto from = std::find(controls.begin(), controls.end(), From);
  // From outside the controls (the form itself), going forward starts at the first.
  const int start =
      from != controls.end() ? static_cast<int>(from - controls.begin()) : (Forward ? -1 : count);
  for (int step = 1; step <= count; ++step) {
    const int index = ((start + (Forward ? step : -step)) % count + count) % count;
    if (CanTabTo(*controls[static_cast<size_t>(index)]))
      return controls[static_cast<size_t>(index)];
  }
  return nullptr;
}

bool TForm::SelectNext(TWindowedControl* From, bool Forward) {
  TWindowedControl* next = FindNextControl(From, Forward);
  if (!next) return false;
  next->SetFocus();
  return true;
}

bool TForm::DialogKey(const MSG& Msg, TShiftState Shift) {
  if (Msg.wParam != VK_TAB || (Shift & (ssCtrl | ssAlt)) != 0) return false;
  MSG message = Msg;
  const LRESULT code =
      SendMessageA(Msg.hwnd, WM_GETDLGCODE, Msg.wParam, reinterpret_cast<LPARAM>(&message));
  if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return false;
  auto* from = dynamic_cast<TWindowedControl*>(TWindow::FromHandle(Msg.hwnd));
  return SelectNext(from && from != this ? from : FActiveControl, (Shift & ssShift) == 0);
}

void TForm::DescendantFocused(TWindowedControl* Control) {
  // Not a window that holds the focus only for a moment, such as the parent of a control hidden
  // while it had it.
  if (Control != this && Control->TabStop()) FActiveControl = Control;
}

void TForm::DescendantLeftTabOrder(TWindowedControl* Control) {
  const bool focused = Control->Focused();
  if (!focused && FActiveControl != Control) return;
  TWindowedControl* next = FindNextControl(Control, true);
  FActiveControl = next;
  if (!focused) return;
  if (next)
    next->SetFocus();
  else
    ::SetFocus(Handle());
}

void TForm::Show() {
  if (!Handle()) return;
  if (!FShown) {
    FShown = true;
    FReportedClientSize = TSize{ClientWidth(), ClientHeight()};
    RaiseEvent(OnResize);
    if (FPosition == poScreenCenter)
      SetBounds((GetSystemMetrics(SM_CXSCREEN) - Width()) / 2,
                (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2, Width(), Height());
    RaiseEvent(OnShow);
    if (!Handle()) return;
  }
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
}

void TForm::Close() {
  if (Handle()) SendMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TForm::DoCreate() {
  RaiseEvent(OnCreate);
}

void TForm::PreviewKey(WORD& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TForm::Resized() {
  // Before the first show this is the size being set up; Show raises it once for the result.
  // The first ShowWindow repeats the size, which is no change.
  if (!FShown) return;
  const TSize size{ClientWidth(), ClientHeight()};
  if (size.cx == FReportedClientSize.cx && size.cy == FReportedClientSize.cy) return;
  FReportedClientSize = size;
  RaiseEvent(OnResize);
}

void TForm::RaiseEvent(const TNotifyEvent& Event) {
  if (!Event) return;
  try {
    Event(this);
  } catch (...) {
    Application.HandleException();
  }
}

LRESULT TForm::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
  case WM_SETFOCUS:
    if (FActiveControl && FActiveControl->Handle()) {
      FActiveControl->SetFocus();
      return 0;
    }
    break;
  case WM_DESTROY:
    if (Application.MainForm() == this) PostQuitMessage(0);
    break;
  case WM_SYSCOMMAND:
    // The main form minimises as the whole application, into the application window's button.
    if ((WParam & 0xFFF0) == SC_MINIMIZE && Application.MainForm() == this &&
        Application.Handle()) {
      Application.Minimize();
      return 0;
    }
    break;
  default:
    break;
  }
  return TWindowedControl::WndProc(Msg, WParam, LParam);
}
