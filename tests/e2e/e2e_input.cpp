#include "tests/e2e/e2e_input.h"

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "tests/e2e/e2e_support.h"

namespace e2e {

namespace {

class OpenedClipboard {
public:
  OpenedClipboard() {
    const DWORD start = GetTickCount(), limit = WaitLimit(2000);
    while (!(FOpen = OpenClipboard(nullptr) != FALSE) && GetTickCount() - start < limit)
      Sleep(10);
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

// Hands Memory to the opened clipboard, or frees it.
bool Offer(UINT Format, HGLOBAL Memory) {
  if (!Memory) return false;
  if (SetClipboardData(Format, Memory)) return true;
  GlobalFree(Memory);
  return false;
}

// The shell's file list: a DROPFILES header and the UTF-16 names, each ended by a zero, the list
// by one more.
HGLOBAL FileList(const std::vector<std::wstring>& Files) {
  std::wstring names;
  for (const auto& file : Files)
    names += file + L'\0';
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

// A button let go where the mouse is.
void MouseButton(DWORD Flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = Flags;
  SendInput(1, &input, sizeof input);
}

bool Held(int Key) {
  return (GetAsyncKeyState(Key) & 0x8000) != 0;
}

void Report(const std::string& What) {
  std::fprintf(stderr, "drag: %s\n", What.c_str());
  std::fflush(stderr);
}

// Waits, without pumping messages, until Condition holds; false after Ms.
bool PollUntil(const std::function<bool()>& Condition, DWORD Ms) {
  const DWORD start = GetTickCount();
  while (!Condition()) {
    if (GetTickCount() - start >= Ms) return false;
    Sleep(5);
  }
  return true;
}

// The window that holds the mouse for that thread, as the drag loop's tracking window does.
HWND CaptureOf(DWORD Thread) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(Thread, &info) ? info.hwndCapture : nullptr;
}

// What the two threads of one drag share: the drag loop's (this program's main thread) and the
// hand's, which moves the mouse.
struct DragState {
  DWORD LoopThread = GetCurrentThreadId();
  HWND CaptureBefore = CaptureOf(GetCurrentThreadId());
  std::atomic<bool> Accepted{false}; // the target has answered the drag with an effect
  std::atomic<bool> Released{false}; // the hand has let go of the button
  std::atomic<bool> Decided{false};  // the source has told the loop to drop or to cancel
  std::atomic<bool> GiveUp{false};   // the loop did not take the release: cancel
  // The loop asks the source every few tens of milliseconds while it runs, and not at all while
  // it waits in a call to the target (a busy target answers late).
  std::atomic<DWORD> LastQuery{GetTickCount()};
  std::atomic<int> QueriesAfterRelease{0};
  std::shared_ptr<std::atomic<bool>> NamesTaken = std::make_shared<std::atomic<bool>>(false);
  HANDLE Ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DragState() = default;
  DragState(const DragState&) = delete;
  DragState& operator=(const DragState&) = delete;
  ~DragState() { CloseHandle(Ended); }
  bool LoopEnded() const { return WaitForSingleObject(Ended, 0) == WAIT_OBJECT_0; }
};

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
  FileDataObject(const std::vector<std::wstring>& Files, std::function<void()> OnNamesTaken,
                 std::shared_ptr<std::atomic<bool>> NamesTaken)
      : FFiles(Files), FOnNamesTaken(std::move(OnNamesTaken)), FNamesTaken(std::move(NamesTaken)) {}
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
    if (Medium->hGlobal) *FNamesTaken = true;
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
  std::shared_ptr<std::atomic<bool>> FNamesTaken;
};

class ButtonDropSource : public IDropSource {
public:
  explicit ButtonDropSource(DragState& State) : FState(State) {}
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
    FState.LastQuery = GetTickCount();
    if (FState.Released) ++FState.QueriesAfterRelease;
    if (Escape || FState.GiveUp) {
      FState.Decided = true;
      return DRAGDROP_S_CANCEL;
    }
    // Wine routes the release to the capture of the foreground window's thread. When a window of
    // the target has become the foreground window meanwhile (Wine hands the foreground back late),
    // the release goes there, and Keys shows the button held for ever. Once the hand has let go,
    // the button's state on the desktop tells.
    const bool held = (Keys & MK_LBUTTON) && !(FState.Released && !Held(VK_LBUTTON));
    if (held) return S_OK;
    FState.Decided = true;
    return DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD Effect) override {
    if (Effect != DROPEFFECT_NONE) FState.Accepted = true;
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }

private:
  DragState& FState;
};

} // namespace

bool EmptyTheClipboard() {
  OpenedClipboard clipboard;
  return clipboard.Open() && EmptyClipboard();
}

bool PutClipboardText(const std::wstring& Text) {
  OpenedClipboard clipboard;
  return clipboard.Open() && EmptyClipboard() &&
         Offer(CF_UNICODETEXT, GlobalBytes(Text.c_str(), (Text.size() + 1) * sizeof(wchar_t)));
}

bool PutClipboardAnsiText(const std::string& Text) {
  OpenedClipboard clipboard;
  return clipboard.Open() && EmptyClipboard() &&
         Offer(CF_TEXT, GlobalBytes(Text.c_str(), Text.size() + 1));
}

struct ClipboardHold::TState {
  DWORD Milliseconds = 0;
  HANDLE Ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> Opened{false};
  ~TState() { CloseHandle(Ready); }
};

ClipboardHold::ClipboardHold(DWORD Milliseconds) : FState(std::make_shared<TState>()) {
  FState->Milliseconds = Milliseconds;
  auto* shared = new std::shared_ptr<TState>(FState);
  FThread = CreateThread(nullptr, 0, Hold, shared, 0, nullptr);
  if (!FThread) {
    delete shared;
    return;
  }
  FOpened = WaitForSingleObject(FState->Ready, WaitLimit(10000)) == WAIT_OBJECT_0 && FState->Opened;
}

ClipboardHold::~ClipboardHold() {
  if (!FThread) return;
  if (WaitForSingleObject(FThread, FState->Milliseconds + WaitLimit(5000)) != WAIT_OBJECT_0)
    std::fprintf(stderr, "the thread holding the clipboard did not end\n");
  CloseHandle(FThread);
}

DWORD WINAPI ClipboardHold::Hold(void* Parameter) {
  const std::unique_ptr<std::shared_ptr<TState>> shared(
      static_cast<std::shared_ptr<TState>*>(Parameter));
  TState& state = **shared;
  // Opened with a window: opened without one, another program opening it without one succeeds
  // under Wine.
  HWND window = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  const bool opened = OpenClipboard(window) != FALSE;
  state.Opened = opened;
  SetEvent(state.Ready);
  Sleep(state.Milliseconds);
  if (opened) CloseClipboard();
  DestroyWindow(window);
  return 0;
}

bool PutClipboardFiles(const std::vector<std::wstring>& Files) {
  OpenedClipboard clipboard;
  return clipboard.Open() && EmptyClipboard() && Offer(CF_HDROP, FileList(Files));
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

namespace {

bool ActivateOnce(HWND Window) {
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

} // namespace

bool Activate(HWND Window) {
  const DWORD start = GetTickCount();
  while (IsWindow(Window)) {
    if (ActivateOnce(Window)) return true;
    if (GetTickCount() - start >= WaitLimit(3000)) break;
  }
  return false;
}

bool PressChord(HWND Window, const std::vector<WORD>& Keys) {
  if (!Activate(Window)) return false;
  for (WORD key : Keys)
    SendKey(key, false);
  for (auto key = Keys.rbegin(); key != Keys.rend(); ++key)
    SendKey(*key, true);
  Settle(300);
  return true;
}

std::vector<std::wstring> ReleaseHeldInput() {
  std::vector<std::wstring> released;
  const struct {
    int Key;
    DWORD Up;
    const wchar_t* Name;
  } buttons[] = {{VK_LBUTTON, MOUSEEVENTF_LEFTUP, L"left mouse button"},
                 {VK_RBUTTON, MOUSEEVENTF_RIGHTUP, L"right mouse button"},
                 {VK_MBUTTON, MOUSEEVENTF_MIDDLEUP, L"middle mouse button"}};
  for (const auto& button : buttons)
    if (Held(button.Key)) {
      MouseButton(button.Up);
      released.push_back(button.Name);
    }
  const struct {
    WORD Key;
    const wchar_t* Name;
  } keys[] = {{VK_SHIFT, L"Shift"}, {VK_CONTROL, L"Ctrl"}, {VK_MENU, L"Alt"}};
  for (const auto& key : keys)
    if (Held(key.Key)) {
      SendKey(key.Key, true);
      released.push_back(key.Name);
    }
  if (!released.empty()) Settle(100);
  return released;
}

bool ClickAt(HWND Window, POINT Client, int Button) {
  if (!Activate(Window)) return false;
  POINT screen = Client;
  ClientToScreen(Window, &screen);
  MouseTo(screen);
  Settle(50);
  MouseTo(screen, Button == VK_RBUTTON ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  MouseTo(screen, Button == VK_RBUTTON ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
  Settle(300);
  return true;
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

namespace {

// One drag from a new source window of ours. Gives what DoDragDrop gave, and whether the target
// took the names.
HRESULT DragOnce(HWND Target, const std::vector<std::wstring>& Files, const DragOptions& Options,
                 DWORD* Effect, bool* NamesTaken) {
  // Quick: just long enough for the drag loop to see the mouse over the target.
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
  if (Options.Shift) SendKey(VK_SHIFT, false);
  MouseTo(start);
  Settle(Options.Quick ? 20 : 50);
  MouseTo(start, MOUSEEVENTF_LEFTDOWN);
  Settle(Options.Quick ? 20 : 50);

  DragState state;
  // The drag loop runs on this thread; the hand moves the mouse and lets go over the target.
  std::thread hand([&] {
    const auto loopEnded = [&] { return state.LoopEnded(); };
    // Input sent before the loop holds the mouse would go past it.
    const bool holding = PollUntil(
        [&] {
          const HWND capture = CaptureOf(state.LoopThread);
          return loopEnded() || (capture && capture != state.CaptureBefore);
        },
        WaitLimit(5000));
    if (!holding) Report("the drag loop did not take the mouse in time");
    if (!loopEnded()) {
      Sleep(startWait);
      for (int step = 1; step <= steps; ++step) {
        MouseTo({start.x + (end.x - start.x) * step / steps,
                 start.y + (end.y - start.y) * step / steps});
        Sleep(stepWait);
      }
      // Let go once the target has taken the drag, or at once while the loop waits for a busy
      // target: the drop is then meant to come while the target is busy.
      const auto waitingForTarget = [&] { return GetTickCount() - state.LastQuery > 250; };
      if (!PollUntil([&] { return state.Accepted || loopEnded() || waitingForTarget(); },
                     WaitLimit(3000)))
        Report("the target did not answer the drag with an effect in time");
      Sleep(stepWait);
    }
    MouseTo(end, MOUSEEVENTF_LEFTUP);
    state.Released = true;
    // A loop that still asks but does not take the release is stuck; one that does not ask is
    // in a call to the target and is waited for below.
    if (!PollUntil([&] { return state.Decided || loopEnded(); }, WaitLimit(3000)) &&
        state.QueriesAfterRelease > 0) {
      Report("the drag loop did not take the release in time: cancelling it");
      state.GiveUp = true;
    }
    // The drop is a call into the target, which answers once it is done with what it is doing.
    if (WaitForSingleObject(state.Ended, WaitLimit(60000)) == WAIT_OBJECT_0) return;
    DWORD owner = 0;
    GetWindowThreadProcessId(Target, &owner);
    Report("the target did not answer the drop in time: ending its process");
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, owner)) {
      TerminateProcess(process, 96);
      CloseHandle(process);
    }
    if (WaitForSingleObject(state.Ended, WaitLimit(10000)) != WAIT_OBJECT_0)
      Report("the drag loop still runs after its target was ended");
  });
  auto* data = new FileDataObject(Files, Options.OnNamesTaken, state.NamesTaken);
  ButtonDropSource dropSource(state);
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = DoDragDrop(data, &dropSource, Options.Allowed, &effect);
  SetEvent(state.Ended);
  hand.join();
  data->Release();
  // Whatever happened, the desktop is left with no button or key held.
  if (Held(VK_LBUTTON)) MouseButton(MOUSEEVENTF_LEFTUP);
  if (Options.Shift) SendKey(VK_SHIFT, true);
  DestroyWindow(source);
  *Effect = effect;
  *NamesTaken = *state.NamesTaken;
  return result;
}

} // namespace

long DragAndDrop(HWND Target, const std::vector<std::wstring>& Files, const DragOptions& Options) {
  constexpr int Attempts = 3;
  for (int attempt = 1; attempt <= Attempts && IsWindow(Target); ++attempt) {
    DWORD effect = DROPEFFECT_NONE;
    bool namesTaken = false;
    const HRESULT result = DragOnce(Target, Files, Options, &effect, &namesTaken);
    if (!Options.Quick) Settle(50);
    // A drag that reached the target counts as it ended; one that did not may be tried again,
    // since the target saw nothing of it.
    if (namesTaken) return result == DRAGDROP_S_DROP ? static_cast<long>(effect) : -1;
    char what[120];
    std::snprintf(what, sizeof what,
                  "attempt %d of %d did not give the target the names (DoDragDrop: 0x%08lx)",
                  attempt, Attempts, static_cast<unsigned long>(result));
    Report(what);
  }
  return -1;
}

} // namespace e2e
