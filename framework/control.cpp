#include "framework/control.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/painted_control.h"
#include "framework/win_owners.h"

TShiftState KeyboardShiftState() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

namespace {

const TFont& DefaultFont() {
  static const TFont font;
  return font;
}

TShiftState MouseShiftState(WPARAM Keys) {
  TShiftState shift = 0;
  if (Keys & MK_SHIFT) shift |= ssShift;
  if (Keys & MK_CONTROL) shift |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  if (Keys & MK_LBUTTON) shift |= ssLeft;
  if (Keys & MK_RBUTTON) shift |= ssRight;
  if (Keys & MK_MBUTTON) shift |= ssMiddle;
  return shift;
}

} // namespace

// ---- TControl

TControl::TControl(TWindowedControl* Parent) : FParent(Parent) {
  if (FParent) FParent->InsertControl(this);
}

TControl::~TControl() {
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
  const TRect bounds{Left, Top, Left + std::max(Width, 0), Top + std::max(Height, 0)};
  if (bounds == FBounds) return;
  const TRect old = FBounds;
  FBounds = bounds;
  BoundsChanged(old);
  // An aligned control that changes its own size moves its neighbours.
  if (FAlign != alNone && FParent && !FParent->FAligning) FParent->Realign();
}

void TControl::SetAlign(TAlign Align) {
  if (FAlign == Align) return;
  FAlign = Align;
  if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool Visible) {
  if (FVisible == Visible) return;
  FVisible = Visible;
  VisibleChanged();
  if (FParent && FAlign != alNone) FParent->Realign();
}

TColor TControl::Color() const {
  if (FHasColor || !FParent) return FColor;
  return FParent->Color();
}

void TControl::SetColor(TColor Color) {
  FHasColor = true;
  FColor = Color;
  ColorChanged();
}

const TFont& TControl::Font() const {
  if (FFont) return *FFont;
  return FParent ? FParent->Font() : DefaultFont();
}

void TControl::SetFont(const TFont& Font) {
  FFont = std::make_unique<TFont>(Font);
  FontChanged();
}

// ---- TWindowedControl

TWindowedControl::~TWindowedControl() {
  // While the object is still this class, so that its own handlers see the window go.
  DestroyHandle();
}

AnsiString TWindowedControl::Text() const {
  if (!Handle()) return AnsiString();
  const int length = GetWindowTextLengthA(Handle());
  AnsiString text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(Handle(), &text[0], length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void TWindowedControl::SetText(const AnsiString& Text) {
  if (Handle()) SetWindowTextA(Handle(), Text.c_str());
}

TRect TWindowedControl::ClientRect() const {
  RECT client = {};
  if (Handle()) GetClientRect(Handle(), &client);
  return TRect{0, 0, client.right, client.bottom};
}

void TWindowedControl::Realign() {
  if (FAligning) return;
  FAligning = true;
  TRect rest = ClientRect();
  for (int pass = 0; pass < 2; ++pass) {
    for (TControl* control : FControls) {
      const TAlign align = control->Align();
      if (!control->Visible() || align == alNone || (align == alClient) != (pass == 1)) continue;
      const int width = std::min(control->Width(), std::max(rest.Width(), 0));
      const int height = std::min(control->Height(), std::max(rest.Height(), 0));
      switch (align) {
      case alTop:
        control->SetBounds(rest.Left, rest.Top, rest.Width(), control->Height());
        rest.Top += height;
        break;
      case alBottom:
        control->SetBounds(rest.Left, rest.Bottom - height, rest.Width(), control->Height());
        rest.Bottom -= height;
        break;
      case alLeft:
        control->SetBounds(rest.Left, rest.Top, control->Width(), rest.Height());
        rest.Left += width;
        break;
      case alRight:
        control->SetBounds(rest.Right - width, rest.Top, control->Width(), rest.Height());
        rest.Right -= width;
        break;
      default:
        control->SetBounds(rest.Left, rest.Top, rest.Width(), rest.Height());
        break;
      }
    }
  }
  FAligning = false;
}

void TWindowedControl::Invalidate() {
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TWindowedControl::InvalidateRect(const TRect& Rect) {
  if (!Handle() || Rect.Width() <= 0 || Rect.Height() <= 0) return;
  const RECT rect{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  ::InvalidateRect(Handle(), &rect, FALSE);
}

void TWindowedControl::SetFocus() {
  if (Handle()) ::SetFocus(Handle());
}

bool TWindowedControl::Focused() const {
  return Handle() && GetFocus() == Handle();
}

bool TWindowedControl::TabStop() const {
  if (!Handle()) return false;
  const LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE);
  return (style & WS_CHILD) && (style & WS_TABSTOP);
}

void TWindowedControl::SetTabStop(bool TabStop) {
  if (!Handle() || this->TabStop() == TabStop) return;
  const LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE);
  // A top-level window has its maximise box in that bit.
  if (!(style & WS_CHILD)) return;
  SetWindowLongPtrA(Handle(), GWL_STYLE,
                    TabStop ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  if (!TabStop && Parent()) Parent()->DescendantLeftTabOrder(this);
}

void TWindowedControl::DescendantFocused(TWindowedControl* Control) {
  if (Parent()) Parent()->DescendantFocused(Control);
}

void TWindowedControl::DescendantLeftTabOrder(TWindowedControl* Control) {
  if (Parent()) Parent()->DescendantLeftTabOrder(Control);
}

TPaintedControl* TWindowedControl::PaintedControlAt(int X, int Y) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* painted = dynamic_cast<TPaintedControl*>(*it);
    if (painted && painted->Visible() && painted->BoundsRect().Contains(X, Y)) return painted;
  }
  return nullptr;
}

void TWindowedControl::UpdateCursor() {
  POINT point;
  if (!Handle() || !GetCursorPos(&point) || WindowFromPoint(point) != Handle()) return;
  if (!SetPaintedCursor()) ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

void TWindowedControl::InsertControl(TControl* Control) {
  FControls.push_back(Control);
  if (Control->Align() != alNone) Realign();
}

void TWindowedControl::RemoveControl(TControl* Control) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), Control), FControls.end());
  if (FMouseControl == Control) FMouseControl = nullptr;
  if (FCaptureControl == Control) FCaptureControl = nullptr;
}

void TWindowedControl::BoundsChanged(const TRect& /*Old*/) {
  if (!Handle() || FApplyingBounds) return;
  FApplyingBounds = true;
  SetWindowPos(Handle(), nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  FApplyingBounds = false;
  // The system may have refused or adjusted the size (minimum track size of a top-level window).
  ReadBoundsFromWindow();
}

void TWindowedControl::ReadBoundsFromWindow() {
  RECT window;
  if (!Handle() || !GetWindowRect(Handle(), &window)) return;
  if (const HWND parent = GetParent(Handle());
      parent && (GetWindowLongA(Handle(), GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  StoreBounds(TRect{window.left, window.top, window.right, window.bottom});
}

void TWindowedControl::VisibleChanged() {
  if (Handle()) ShowWindow(Handle(), Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWindowedControl::FontChanged() {
  if (Handle() && IsSubclassed())
    SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
  Invalidate();
  for (TControl* control : FControls)
    control->FontChanged();
}

void TWindowedControl::ColorChanged() {
  Invalidate();
  for (TControl* control : FControls)
    control->ColorChanged();
}

void TWindowedControl::HandleDestroyed() {
  FMouseControl = nullptr;
  FCaptureControl = nullptr;
  FTrackingLeave = false;
  // The form must not keep it as its active control.
  if (Parent()) Parent()->DescendantLeftTabOrder(this);
}

void TWindowedControl::KeyDown(WORD& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWindowedControl::PaintWindow(HDC DC, const RECT& Update) {
  TBrushHandle brush(CreateSolidBrush(ColorToRGB(Color())));
  FillRect(DC, &Update, brush.Get());
  PaintControls(DC, Update);
}

void TWindowedControl::PaintControls(HDC DC, const RECT& Update) {
  const TRect update{Update.left, Update.top, Update.right, Update.bottom};
  for (TControl* control : FControls) {
    auto* painted = dynamic_cast<TPaintedControl*>(control);
    if (!painted || !painted->Visible()) continue;
    const TRect& bounds = painted->BoundsRect();
    if (bounds.Right <= update.Left || bounds.Left >= update.Right || bounds.Bottom <= update.Top ||
        bounds.Top >= update.Bottom || bounds.Width() <= 0 || bounds.Height() <= 0)
      continue;
    TSavedDC saved(DC);
    OffsetViewportOrgEx(DC, bounds.Left, bounds.Top, nullptr);
    IntersectClipRect(DC, 0, 0, bounds.Width(), bounds.Height());
    painted->Paint(DC);
  }
}

bool TWindowedControl::HandleMouse(UINT Msg, WPARAM WParam, LPARAM LParam) {
  const int x = GET_X_LPARAM(LParam);
  const int y = GET_Y_LPARAM(LParam);
  const TShiftState shift = MouseShiftState(GET_KEYSTATE_WPARAM(WParam));
  TMouseButton button = mbLeft;
  bool down = false;
  switch (Msg) {
  case WM_MOUSEMOVE: {
    if (!FTrackingLeave) {
      TRACKMOUSEEVENT track = {sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle(), 0};
      FTrackingLeave = TrackMouseEvent(&track) != FALSE;
    }
    SetMouseControl(PaintedControlAt(x, y));
    TPaintedControl* target = FCaptureControl ? FCaptureControl : FMouseControl;
    if (target) target->MouseMove(shift, x - target->Left(), y - target->Top());
    return true;
  }
  case WM_LBUTTONDOWN:
    down = true;
    break;
  case WM_RBUTTONDOWN:
    down = true;
    button = mbRight;
    break;
  case WM_MBUTTONDOWN:
    down = true;
    button = mbMiddle;
    break;
  case WM_LBUTTONUP:
    break;
  case WM_RBUTTONUP:
    button = mbRight;
    break;
  case WM_MBUTTONUP:
    button = mbMiddle;
    break;
  default:
    return false;
  }
  TPaintedControl* target = FCaptureControl ? FCaptureControl : PaintedControlAt(x, y);
  if (down) {
    if (target && !FCaptureControl) {
      FCaptureControl = target;
      SetCapture(Handle());
    }
    if (target) target->MouseDown(button, shift, x - target->Left(), y - target->Top());
  } else {
    if (target) target->MouseUp(button, shift, x - target->Left(), y - target->Top());
    if ((shift & (ssLeft | ssRight | ssMiddle)) == 0 && FCaptureControl) {
      FCaptureControl = nullptr;
      ReleaseCapture();
    }
  }
  return true;
}

void TWindowedControl::SetMouseControl(TPaintedControl* Control) {
  if (Control == FMouseControl) return;
  TPaintedControl* previous = FMouseControl;
  FMouseControl = Control;
  if (previous) previous->MouseLeave();
  if (Control) Control->MouseEnter();
}

bool TWindowedControl::SetPaintedCursor() {
  POINT point;
  if (!GetCursorPos(&point) || !ScreenToClient(Handle(), &point)) return false;
  const TPaintedControl* control =
      FCaptureControl ? FCaptureControl : PaintedControlAt(point.x, point.y);
  if (!control || control->Cursor() == crDefault) return false;
  ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
  return true;
}

LRESULT TWindowedControl::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
  case WM_WINDOWPOSCHANGED:
    if (!FApplyingBounds) ReadBoundsFromWindow();
    break;
  case WM_SIZE:
    Realign();
    Resized();
    break;
  case WM_SETFOCUS:
    DescendantFocused(this);
    break;
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN: {
    WORD key = static_cast<WORD>(WParam);
    KeyDown(key, KeyboardShiftState());
    if (key == 0) return 0;
    break;
  }
  default:
    break;
  }
  if (!IsSubclassed()) {
    switch (Msg) {
    case WM_ERASEBKGND:
      return 1; // WM_PAINT fills the whole update area
    case WM_PAINT: {
      TPaintDC paint(Handle());
      const RECT& update = paint.PaintRect();
      TMemoryDC buffer(paint.Get(), ClientWidth(), ClientHeight());
      if (buffer.Valid()) {
        PaintWindow(buffer.Get(), update);
        buffer.CopyTo(paint.Get(), update);
      } else {
        PaintWindow(paint.Get(), update);
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(WParam) == Handle() && LOWORD(LParam) == HTCLIENT &&
          SetPaintedCursor())
        return TRUE;
      break;
    case WM_MOUSELEAVE:
      FTrackingLeave = false;
      SetMouseControl(nullptr);
      return 0;
    case WM_CAPTURECHANGED:
      // A message box or another window took the mouse; its button releases will not come here.
      FCaptureControl = nullptr;
      break;
    default:
      if (HandleMouse(Msg, WParam, LParam)) return 0;
      break;
    }
  }
  LRESULT answer = 0;
  if (OfferToPaintedControls(Msg, WParam, LParam, answer)) return answer;
  return DefaultHandler(Msg, WParam, LParam);
}

bool TWindowedControl::OfferToPaintedControls(UINT Msg, WPARAM WParam, LPARAM LParam,
                                              LRESULT& Result) {
  // By index: a child may leave the list while it handles the message.
  for (size_t i = 0; i < FControls.size(); ++i) {
    auto* painted = dynamic_cast<TPaintedControl*>(FControls[i]);
    if (painted && painted->ParentMessage(Msg, WParam, LParam, Result)) return true;
  }
  return false;
}
