#include "tests/e2e/e2e_support.h"

#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {

constexpr UINT ReadTimeoutMs = 5000;

wstring Widen(const std::string& Text, UINT CodePage) {
  if (Text.empty()) return {};
  const int length = MultiByteToWideChar(CodePage, 0, Text.data(), static_cast<int>(Text.size()),
                                         nullptr, 0);
  wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CodePage, 0, Text.data(), static_cast<int>(Text.size()), &result[0], length);
  return result;
}

void RemoveTree(const wstring& Folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((Folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const wstring path = Folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(Folder.c_str());
}

struct ProcessWindows {
  DWORD ProcessId;
  std::vector<HWND> Windows;
};

// Window enumeration callbacks are stdcall in the 32-bit build, which a lambda cannot be.
BOOL CALLBACK CollectProcessWindow(HWND Window, LPARAM Param) {
  auto* s = reinterpret_cast<ProcessWindows*>(Param);
  DWORD owner = 0;
  GetWindowThreadProcessId(Window, &owner);
  if (owner == s->ProcessId && IsWindowVisible(Window)) s->Windows.push_back(Window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD ProcessId) {
  ProcessWindows search{ProcessId, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.Windows;
}

wstring ClassOf(HWND Window) {
  wchar_t name[256] = {};
  GetClassNameW(Window, name, 256);
  return name;
}

} // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wostringstream name;
    name << base << L"voxaro-e2e-" << GetCurrentProcessId() << L"-" << counter++;
    if (CreateDirectoryW(name.str().c_str(), nullptr)) {
      FPath = name.str();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() { RemoveTree(FPath); }

wstring TempFolder::Write(const wstring& Name, const std::string& Bytes) const {
  const wstring path = FPath + L"\\" + Name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
  DWORD written = 0;
  const BOOL ok = Bytes.empty() || WriteFile(file, Bytes.data(), static_cast<DWORD>(Bytes.size()),
                                             &written, nullptr);
  CloseHandle(file);
  if (!ok || written != Bytes.size()) throw std::runtime_error("cannot write a test file");
  return path;
}

wstring ProgramFolder() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::string ReadFileBytes(const wstring& Path) {
  HANDLE file = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::string SourceFile(const char* RelativePath) {
  // Wine shows the Unix root as drive Z:.
  std::string path = std::string("Z:") + VOXARO_SOURCE_DIR + "/" + RelativePath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return ReadFileBytes(Widen(path, CP_UTF8));
}

wstring FromAnsi(const std::string& Text) { return Widen(Text, 1252); }

std::string ToAnsi(const wstring& Text) {
  if (Text.empty()) return {};
  const int length = WideCharToMultiByte(1252, 0, Text.data(), static_cast<int>(Text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(1252, 0, Text.data(), static_cast<int>(Text.size()), &result[0], length,
                      nullptr, nullptr);
  return result;
}

ImporterResult RunImporter(const TempFolder& Folder, const wstring& File) {
  const wstring out = Folder.Path() + L"\\importer.out", err = Folder.Path() + L"\\importer.err";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outFile = CreateFileW(out.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE errFile = CreateFileW(err.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr);
  const wstring program = ProgramFolder() + L"\\cli\\voxaro-import.exe";
  wstring commandLine = L"\"" + program + L"\" --raw \"" + File + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = outFile;
  startup.hStdError = errFile;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(outFile);
  CloseHandle(errFile);
  ImporterResult result;
  if (!started) return result;
  WaitForSingleObject(process.hProcess, 60000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const std::string raw = ReadFileBytes(out);
  for (size_t start = 0; start < raw.size();) {
    const size_t end = raw.find("\r\n", start);
    if (end == std::string::npos) break;
    result.Lines.push_back(FromAnsi(raw.substr(start, end - start)));
    start = end + 2;
  }
  wstring summary = FromAnsi(ReadFileBytes(err));
  while (!summary.empty() && (summary.back() == L'\n' || summary.back() == L'\r')) summary.pop_back();
  result.Summary = summary.substr(summary.find_last_of(L'\n') + 1);
  return result;
}

bool WaitFor(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  for (;;) {
    if (Condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

VoxaroProcess::VoxaroProcess(const wstring& Arguments) {
  const wstring program = ProgramFolder() + L"\\voxaro.exe";
  wstring commandLine = L"\"" + program + L"\"";
  if (!Arguments.empty()) commandLine += L" " + Arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  FStartTicks = now.QuadPart;
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return;
  CloseHandle(process.hThread);
  FProcess = process.hProcess;
  FId = process.dwProcessId;
}

VoxaroProcess::~VoxaroProcess() {
  if (!FProcess) return;
  if (!Ended(0) && !Close(5000)) TerminateProcess(FProcess, 99);
  WaitForSingleObject(FProcess, 5000);
  CloseHandle(FProcess);
}

HWND VoxaroProcess::MainWindow() const {
  for (HWND window : TopLevelWindows(FId))
    if (ListBoxOf(window)) return window;
  return nullptr;
}

HWND VoxaroProcess::MessageBox() const {
  for (HWND window : TopLevelWindows(FId))
    if (ClassOf(window) == L"#32770") return window;
  return nullptr;
}

bool VoxaroProcess::Close(DWORD TimeoutMs) {
  for (HWND box = MessageBox(); box; box = MessageBox()) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    if (!WaitFor([&] { return MessageBox() != box; }, std::chrono::milliseconds(2000))) break;
  }
  if (HWND window = MainWindow()) PostMessageW(window, WM_CLOSE, 0, 0);
  return Ended(TimeoutMs);
}

bool VoxaroProcess::Ended(DWORD TimeoutMs) const {
  return !FProcess || WaitForSingleObject(FProcess, TimeoutMs) == WAIT_OBJECT_0;
}

wstring WindowText(HWND Window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ReadTimeoutMs,
                           &length))
    return {};
  wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(Window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                      SMTO_ABORTIFHUNG, ReadTimeoutMs, &copied);
  text.resize(copied);
  return text;
}

namespace {

struct DescendantSearch {
  const wchar_t* ClassName;
  const std::function<bool(HWND)>* Accept;
  HWND Found;
};

BOOL CALLBACK MatchDescendant(HWND Window, LPARAM Param) {
  auto* s = reinterpret_cast<DescendantSearch*>(Param);
  if (ClassOf(Window) != s->ClassName) return TRUE;
  if (*s->Accept && !(*s->Accept)(Window)) return TRUE;
  s->Found = Window;
  return FALSE;
}

} // namespace

HWND FindDescendant(HWND Parent, const wchar_t* ClassName, const std::function<bool(HWND)>& Accept) {
  DescendantSearch search{ClassName, &Accept, nullptr};
  EnumChildWindows(Parent, MatchDescendant, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND ListBoxOf(HWND MainWindow) { return FindDescendant(MainWindow, L"ListBox"); }

std::vector<wstring> ListLines(HWND ListBox) {
  std::vector<wstring> lines;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(ListBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, ReadTimeoutMs, &count))
    return lines;
  lines.reserve(count);
  for (DWORD_PTR i = 0; i < count; ++i) {
    // Wine returns UTF-16 to a W call whatever the list was filled with.
    const LRESULT length = SendMessageW(ListBox, LB_GETTEXTLEN, i, 0);
    wstring line(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
    const LRESULT copied = SendMessageW(ListBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
    line.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
    lines.push_back(line);
  }
  return lines;
}

wstring StatusText(HWND MainWindow) {
  HWND panel = FindDescendant(MainWindow, L"TPanel",
                              [](HWND Window) { return !WindowText(Window).empty(); });
  return panel ? WindowText(panel) : wstring();
}

wstring MessageBoxText(HWND Box) {
  // The standard message box shows its text in a static control of id 0xFFFF.
  HWND text = GetDlgItem(Box, 0xFFFF);
  return text ? WindowText(text) : wstring();
}

RECT ChildRect(HWND Window, HWND Child) {
  RECT rect = {};
  GetWindowRect(Child, &rect);
  MapWindowPoints(HWND_DESKTOP, Window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE ClientSize(HWND Window) {
  RECT rect = {};
  GetClientRect(Window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

void SaveScreenshot(HWND Window, const std::string& Name) {
  RECT rect = {};
  if (!GetWindowRect(Window, &rect)) return;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  // Let the window finish painting before the screen is read.
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(200);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  const DWORD imageSize = stride * height;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  const wstring folder = ProgramFolder() + L"\\screenshots";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  bytes.append(static_cast<const char*>(bits), imageSize);
  const wstring path = folder + L"\\" + Widen(Name, CP_UTF8) + L".bmp";
  HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

} // namespace e2e
