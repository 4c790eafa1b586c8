#include "tests/e2e/e2e_input.h"

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <utility>

namespace e2e {

namespace {

class OpenedClipboard {
public:
  OpenedClipboard() {
    for (int attempt = 0; attempt < 200 && !FOpen; ++attempt) {
      FOpen = OpenClipboard(nullptr) != FALSE;
      if (!FOpen) Sleep(10);
    }
  }
  ~OpenedClipboard() {
    if (FOpen) CloseClipboard();
  }
  bool Open() const { return FOpen; }

private:
  bool FOpen = false;
};

HGLOBAL GlobalBytes(const void* Data, size_t Size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Size);
  if (memory) {
    memcpy(GlobalLock(memory), Data, Size);
    GlobalUnlock(memory);
  }
  return memory;
}

// The shell's file list: a DROPFILES header and the UTF-16 names, each ended by a zero, the list
// by one more.
HGLOBAL FileList(const std::vector<std::wstring>& Files) {
  std::wstring names;
  for (const auto& file : Files) names += file + L'\0';
  names += L'\0';
  std::string block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t), '\0');
  DROPFILES header = {};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  memcpy(&block[0], &header, sizeof header);
  memcpy(&block[sizeof header], names.data(), names.size() * sizeof(wchar_t));
  return GlobalBytes(block.data(), block.size());
}

void SendKey(WORD Key, bool Up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = Key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(Key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = Up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

void MouseTo(POINT Screen, DWORD Extra = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(Screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(Screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | Extra;
  SendInput(1, &input, sizeof input);
}

// Lets the input reach the other process before the next step.
void Settle(DWORD Ms = 150) {
  const DWORD end = GetTickCount() + Ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

// A data object with one format, the file list, as a file manager offers for a drag.
class FileDataObject : public IDataObject {
public:
  FileDataObject(const std::vector<std::wstring>& Files, std::function<void()> OnNamesTaken)
      : FFiles(Files), FOnNamesTaken(std::move(OnNamesTaken)) {}
  virtual ~FileDataObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
    if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IDataObject)) {
      *Object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *Object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --FReferences;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* Format, STGMEDIUM* Medium) override {
    if (QueryGetData(Format) != S_OK) return DV_E_FORMATETC;
    Medium->tymed = TYMED_HGLOBAL;
    Medium->hGlobal = FileList(FFiles);
    Medium->pUnkForRelease = nullptr;
    if (FOnNamesTaken) {
      const std::function<void()> taken = std::move(FOnNamesTaken);
      FOnNamesTaken = nullptr;
      taken();
    }
    return Medium->hGlobal ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* Format) override {
    return Format && Format->cfFormat == CF_HDROP && (Format->tymed & TYMED_HGLOBAL) &&
                   Format->dwAspect == DVASPECT_CONTENT
               ? S_OK
               : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* Out) override {
    Out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD Direction, IEnumFORMATETC** Enum) override {
    if (Direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &format, Enum);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

private:
  std::atomic<ULONG> FReferences{1};
  std::vector<std::wstring> FFiles;
  std::function<void()> FOnNamesTaken;
};

class ButtonDropSource : public IDropSource {
public:
  virtual ~ButtonDropSource() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
    if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IDropSource)) {
      *Object = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *Object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL Escape, DWORD Keys) override {
    if (Escape) return DRAGDROP_S_CANCEL;
    return (Keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

} // namespace

void EmptyTheClipboard() {
  OpenedClipboard clipboard;
  if (clipboard.Open()) EmptyClipboard();
}

void PutClipboardText(const std::wstring& Text) {
  OpenedClipboard clipboard;
  if (!clipboard.Open()) return;
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, GlobalBytes(Text.c_str(), (Text.size() + 1) * sizeof(wchar_t)));
}

void PutClipboardAnsiText(const std::string& Text) {
  OpenedClipboard clipboard;
  if (!clipboard.Open()) return;
  EmptyClipboard();
  SetClipboardData(CF_TEXT, GlobalBytes(Text.c_str(), Text.size() + 1));
}

ClipboardHold::ClipboardHold(DWORD Milliseconds)
    : FMilliseconds(Milliseconds), FReady(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      FThread(CreateThread(nullptr, 0, Hold, this, 0, nullptr)) {
  WaitForSingleObject(FReady, 10000);
}

ClipboardHold::~ClipboardHold() {
  WaitForSingleObject(FThread, INFINITE);
  CloseHandle(FThread);
  CloseHandle(FReady);
}

DWORD WINAPI ClipboardHold::Hold(void* Parameter) {
  auto* self = static_cast<ClipboardHold*>(Parameter);
  // Opened with a window: opened without one, another program opening it without one succeeds
  // under Wine.
  HWND window = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  self->FOpened = OpenClipboard(window) != FALSE;
  const DWORD milliseconds = self->FMilliseconds;
  SetEvent(self->FReady);
  Sleep(milliseconds);
  if (self->FOpened) CloseClipboard();
  DestroyWindow(window);
  return 0;
}

void PutClipboardFiles(const std::vector<std::wstring>& Files) {
  OpenedClipboard clipboard;
  if (!clipboard.Open()) return;
  EmptyClipboard();
  SetClipboardData(CF_HDROP, FileList(Files));
}

std::wstring ClipboardUnicodeText(bool* Present) {
  std::wstring text;
  if (Present) *Present = false;
  OpenedClipboard clipboard;
  if (!clipboard.Open()) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (Present) *Present = true;
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  return text;
}

std::string ClipboardAnsiText(bool* Present) {
  std::string text;
  if (Present) *Present = false;
  OpenedClipboard clipboard;
  if (!clipboard.Open()) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (Present) *Present = true;
    text = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  return text;
}

bool Activate(HWND Window) {
  if (GetForegroundWindow() == Window) return true;
  // Wine grants the foreground to any process; the attachment is the fallback Windows needs.
  // Detaching again can leave Wine without a foreground window, so it is only the second try.
  SetForegroundWindow(Window);
  Settle(100);
  if (GetForegroundWindow() == Window) return true;
  const DWORD other = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD self = GetCurrentThreadId();
  if (other && other != self) AttachThreadInput(other, self, TRUE);
  SetForegroundWindow(Window);
  if (other && other != self) AttachThreadInput(other, self, FALSE);
  Settle(100);
  return GetForegroundWindow() == Window;
}

void PressChord(HWND Window, const std::vector<WORD>& Keys) {
  Activate(Window);
  for (WORD key : Keys) SendKey(key, false);
  for (auto key = Keys.rbegin(); key != Keys.rend(); ++key) SendKey(*key, true);
  Settle(300);
}

void ClickAt(HWND Window, POINT Client, int Button) {
  Activate(Window);
  POINT screen = Client;
  ClientToScreen(Window, &screen);
  MouseTo(screen);
  Settle(50);
  MouseTo(screen, Button == VK_RBUTTON ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  MouseTo(screen, Button == VK_RBUTTON ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
  Settle(300);
}

bool FindColour(HWND Window, HWND Child, COLORREF Color, POINT* Found) {
  RECT rect = {};
  GetWindowRect(Child, &rect);
  HDC screen = GetDC(nullptr);
  bool found = false;
  for (LONG y = rect.top; y < rect.bottom && !found; ++y)
    for (LONG x = rect.left; x < rect.right && !found; ++x)
      if (GetPixel(screen, x, y) == Color) {
        POINT point = {x, y};
        ScreenToClient(Window, &point);
        *Found = point;
        found = true;
      }
  ReleaseDC(nullptr, screen);
  return found;
}

long DragAndDrop(HWND Target, const std::vector<std::wstring>& Files, DWORD Allowed, bool Shift) {
  DragOptions options;
  options.Allowed = Allowed;
  options.Shift = Shift;
  return DragAndDrop(Target, Files, options);
}

long DragAndDrop(HWND Target, const std::vector<std::wstring>& Files, const DragOptions& Options) {
  const bool Shift = Options.Shift;
  // Quick: just long enough for the drag loop to start and see the mouse over the target.
  const DWORD startWait = Options.Quick ? 60 : 300, stepWait = Options.Quick ? 15 : 40;
  const int steps = Options.Quick ? 3 : 10;
  RECT target = {};
  GetWindowRect(Target, &target);
  const POINT end = {(target.left + target.right) / 2, (target.top + target.bottom) / 2};
  // The drag starts from a small window of ours beside the target, as from a file manager.
  HWND source = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"source", WS_POPUP | WS_VISIBLE,
                                std::max(0L, target.left - 60), target.top, 40, 40, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  RECT from = {};
  GetWindowRect(source, &from);
  const POINT start = {(from.left + from.right) / 2, (from.top + from.bottom) / 2};
  Activate(source);
  if (Shift) SendKey(VK_SHIFT, false);
  MouseTo(start);
  Settle(Options.Quick ? 20 : 50);
  MouseTo(start, MOUSEEVENTF_LEFTDOWN);
  Settle(Options.Quick ? 20 : 50);

  // The drag loop runs on this thread; another moves the mouse and lets go over the target.
  std::thread hand([&] {
    Sleep(startWait);
    for (int step = 1; step <= steps; ++step) {
      MouseTo({start.x + (end.x - start.x) * step / steps,
               start.y + (end.y - start.y) * step / steps});
      Sleep(stepWait);
    }
    Sleep(startWait);
    MouseTo(end, MOUSEEVENTF_LEFTUP);
  });
  auto* data = new FileDataObject(Files, Options.OnNamesTaken);
  ButtonDropSource dropSource;
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = DoDragDrop(data, &dropSource, Options.Allowed, &effect);
  hand.join();
  data->Release();
  if (Shift) SendKey(VK_SHIFT, true);
  DestroyWindow(source);
  if (!Options.Quick) Settle(50);
  return result == DRAGDROP_S_DROP ? static_cast<long>(effect) : -1;
}

} // namespace e2e
