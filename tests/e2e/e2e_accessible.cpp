#include "tests/e2e/e2e_accessible.h"

#include <algorithm>
#include <sstream>

#include "tests/e2e/e2e_support.h"

namespace e2e {

const IID AccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

void ClientObject(HWND Window, ComRef<IAccessible>& Object) {
  if (FAILED(AccessibleObjectFromWindow(Window, static_cast<DWORD>(OBJID_CLIENT), AccessibleIid,
                                        Object.Receive())))
    Object.Reset();
}

namespace {

VARIANT ChildVariant(long Child) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = Child;
  return child;
}

// Keeps the first failure.
void Note(HRESULT Result, HRESULT& First) {
  if (FAILED(Result) && SUCCEEDED(First)) First = Result;
}

std::wstring Taken(BSTR Text) {
  std::wstring text = Text ? std::wstring(Text, SysStringLen(Text)) : std::wstring();
  SysFreeString(Text);
  return text;
}

// The names the SDK gives them, so that the report reads the same in every locale.
std::wstring RoleText(long Role) {
  switch (Role) {
  case ROLE_SYSTEM_STATICTEXT:
    return L"ROLE_SYSTEM_STATICTEXT";
  case ROLE_SYSTEM_LINK:
    return L"ROLE_SYSTEM_LINK";
  case ROLE_SYSTEM_CLIENT:
    return L"ROLE_SYSTEM_CLIENT";
  default:
    return L"role " + std::to_wstring(Role);
  }
}

std::wstring StateText(long State) {
  static const struct {
    long Bit;
    const wchar_t* Name;
  } names[] = {{STATE_SYSTEM_FOCUSED, L"FOCUSED"},     {STATE_SYSTEM_READONLY, L"READONLY"},
               {STATE_SYSTEM_INVISIBLE, L"INVISIBLE"}, {STATE_SYSTEM_FOCUSABLE, L"FOCUSABLE"},
               {STATE_SYSTEM_LINKED, L"LINKED"},       {STATE_SYSTEM_UNAVAILABLE, L"UNAVAILABLE"}};
  std::wstring text;
  long rest = State;
  for (const auto& name : names)
    if (State & name.Bit) {
      text += (text.empty() ? L"" : L"|") + std::wstring(name.Name);
      rest &= ~name.Bit;
    }
  if (rest) text += (text.empty() ? L"" : L"|") + std::to_wstring(rest);
  return text.empty() ? L"0" : text;
}

} // namespace

AccessibleElement ReadElement(IAccessible* Object, long Child) {
  AccessibleElement element;
  const VARIANT child = ChildVariant(Child);
  VARIANT value;
  VariantInit(&value);
  Note(Object->get_accRole(child, &value), element.Result);
  if (value.vt == VT_I4) element.Role = value.lVal;
  VariantClear(&value);
  BSTR text = nullptr;
  Note(Object->get_accName(child, &text), element.Result);
  element.Name = Taken(text);
  Note(Object->get_accState(child, &value), element.Result);
  if (value.vt == VT_I4) element.State = value.lVal;
  VariantClear(&value);
  long left = 0, top = 0, width = 0, height = 0;
  Note(Object->accLocation(&left, &top, &width, &height, child), element.Result);
  element.Location = {left, top, left + width, top + height};
  text = nullptr;
  // No default action is no failure.
  const HRESULT action = Object->get_accDefaultAction(child, &text);
  if (action != DISP_E_MEMBERNOTFOUND) Note(action, element.Result);
  element.DefaultAction = Taken(text);
  return element;
}

AccessibleTree ReadTree(IAccessible* Object) {
  AccessibleTree tree;
  tree.Self = ReadElement(Object, CHILDID_SELF);
  long count = 0;
  tree.Result = Object->get_accChildCount(&count);
  if (FAILED(tree.Result) || count <= 0) return tree;
  std::vector<VARIANT> children(static_cast<size_t>(count));
  long obtained = 0;
  tree.Result = AccessibleChildren(Object, 0, count, children.data(), &obtained);
  for (long i = 0; i < obtained; ++i) {
    VARIANT& child = children[static_cast<size_t>(i)];
    if (child.vt == VT_I4) {
      tree.ChildIds.push_back(child.lVal);
      tree.Children.push_back(ReadElement(Object, child.lVal));
    } else if (child.vt == VT_DISPATCH && child.pdispVal) {
      ComRef<IAccessible> own;
      if (SUCCEEDED(child.pdispVal->QueryInterface(AccessibleIid, own.Receive()))) {
        tree.ChildIds.push_back(CHILDID_SELF);
        tree.Children.push_back(ReadElement(own.Get(), CHILDID_SELF));
      }
    }
    VariantClear(&child);
  }
  return tree;
}

std::wstring Describe(const AccessibleTree& Tree) {
  std::wostringstream out;
  const auto line = [&](const AccessibleElement& e, const wchar_t* Indent, long Id) {
    out << Indent << L"child " << Id << L": " << RoleText(e.Role) << L", name \"" << e.Name
        << L"\", state " << StateText(e.State) << L" (0x" << std::hex << e.State << std::dec
        << L"), location left " << e.Location.left << L" top " << e.Location.top << L" width "
        << e.Location.right - e.Location.left << L" height " << e.Location.bottom - e.Location.top;
    if (!e.DefaultAction.empty()) out << L", default action \"" << e.DefaultAction << L"\"";
    out << L"\n";
  };
  line(Tree.Self, L"", CHILDID_SELF);
  for (size_t i = 0; i < Tree.Children.size(); ++i)
    line(Tree.Children[i], L"  ", Tree.ChildIds[i]);
  return out.str();
}

HWND StatusPanel(HWND MainWindow) {
  return FindDescendant(MainWindow, L"TPanel",
                        [](HWND Window) { return !WindowText(Window).empty(); });
}

HWND FocusOf(HWND Window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(Window, nullptr), &info) ? info.hwndFocus
                                                                            : nullptr;
}

namespace {
std::vector<std::pair<HWINEVENTHOOK, std::vector<WinEvent>*>> Recorders;
} // namespace

WinEventRecorder::WinEventRecorder(DWORD Event, DWORD ProcessId) {
  FHook = SetWinEventHook(Event, Event, nullptr, &Record, ProcessId, 0, WINEVENT_OUTOFCONTEXT);
  if (FHook) Recorders.emplace_back(FHook, &FEvents);
}

WinEventRecorder::~WinEventRecorder() {
  if (!FHook) return;
  UnhookWinEvent(FHook);
  Recorders.erase(std::remove_if(Recorders.begin(), Recorders.end(),
                                 [this](const auto& r) { return r.first == FHook; }),
                  Recorders.end());
}

void CALLBACK WinEventRecorder::Record(HWINEVENTHOOK Hook, DWORD Event, HWND Window, LONG Object,
                                       LONG Child, DWORD /*Thread*/, DWORD /*Time*/) {
  for (auto& recorder : Recorders)
    if (recorder.first == Hook) recorder.second->push_back({Event, Window, Object, Child});
}

int WinEventRecorder::Count(HWND Window, LONG Object, LONG Child) const {
  return static_cast<int>(std::count_if(FEvents.begin(), FEvents.end(), [&](const WinEvent& e) {
    return e.Window == Window && e.Object == Object && e.Child == Child;
  }));
}

ScreenPixels::ScreenPixels(const RECT& Screen) : FRect(Screen) {
  const int width = std::max(0L, Screen.right - Screen.left);
  const int height = std::max(0L, Screen.bottom - Screen.top);
  FPixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), CLR_INVALID);
  if (width == 0 || height == 0) return;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, Screen.left, Screen.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < FPixels.size(); ++i) {
      const DWORD bgra = pixels[i];
      FPixels[i] = RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

COLORREF ScreenPixels::At(int ScreenX, int ScreenY) const {
  if (ScreenX < FRect.left || ScreenX >= FRect.right || ScreenY < FRect.top ||
      ScreenY >= FRect.bottom)
    return CLR_INVALID;
  const size_t width = static_cast<size_t>(FRect.right - FRect.left);
  return FPixels[static_cast<size_t>(ScreenY - FRect.top) * width +
                 static_cast<size_t>(ScreenX - FRect.left)];
}

int ScreenPixels::DarkInColumn(int X, int Top, int Bottom) const {
  int dark = 0;
  for (int y = Top; y < Bottom; ++y) {
    const COLORREF pixel = At(X, y);
    if (pixel != CLR_INVALID && GetRValue(pixel) < 128 && GetGValue(pixel) < 128 &&
        GetBValue(pixel) < 128)
      ++dark;
  }
  return dark;
}

} // namespace e2e
