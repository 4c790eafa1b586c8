#include "tests/e2e/e2e_support.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/wait_limit.h"

namespace e2e {

namespace {

constexpr UINT ReadTimeoutMs = 5000;

wstring Widen(const std::string& Text, UINT CodePage) {
  if (Text.empty()) return {};
  const int length =
      MultiByteToWideChar(CodePage, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CodePage, 0, Text.data(), static_cast<int>(Text.size()), &result[0], length);
  return result;
}

const wchar_t TempFolderPrefix[] = L"voxaro-e2e-";

wstring TempPath() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  return base;
}

bool ProcessRuns(DWORD ProcessId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, ProcessId);
  if (!process) return false;
  const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return runs;
}

// The job of every program the driver starts. Closed only with the driver, and then it ends
// whatever is left in it.
HANDLE ProgramsJob() {
  static HANDLE job = [] {
    HANDLE made = CreateJobObjectW(nullptr, nullptr);
    if (made) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return made;
  }();
  return job;
}

// The processes started and not yet seen ended, as handles of their own, so that the watchdog
// can end them while their owners still use theirs.
std::mutex StartedLock;
std::vector<HANDLE> Started;

void Remember(HANDLE Process) {
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), Process, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return;
  std::lock_guard<std::mutex> lock(StartedLock);
  Started.erase(std::remove_if(Started.begin(), Started.end(),
                               [](HANDLE p) {
                                 if (WaitForSingleObject(p, 0) != WAIT_OBJECT_0) return false;
                                 CloseHandle(p);
                                 return true;
                               }),
                Started.end());
  Started.push_back(own);
}

// CreateProcessW, with the process put in the job before it runs a single instruction.
bool StartProgram(const wstring& Program, wstring CommandLine, BOOL InheritHandles,
                  STARTUPINFOW& Startup, PROCESS_INFORMATION& Process) {
  if (!CreateProcessW(Program.c_str(), &CommandLine[0], nullptr, nullptr, InheritHandles,
                      CREATE_SUSPENDED, nullptr, nullptr, &Startup, &Process))
    return false;
  if (HANDLE job = ProgramsJob()) AssignProcessToJobObject(job, Process.hProcess);
  Remember(Process.hProcess);
  ResumeThread(Process.hThread);
  return true;
}

wstring Lower(wstring Text) {
  for (wchar_t& c : Text)
    c = static_cast<wchar_t>(std::towlower(c));
  return Text;
}

} // namespace

wstring LongPath(const wstring& Path) {
  const bool drive = Path.size() >= 3 && Path[1] == L':' && Path[2] == L'\\';
  return drive ? L"\\\\?\\" + Path : Path;
}

void RemoveFolderTree(const wstring& Folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(LongPath(Folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const wstring path = Folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(path);
      } else {
        SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(LongPath(path).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(LongPath(Folder).c_str());
}

namespace {

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
  const wstring base = TempPath();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wostringstream name;
    name << base << TempFolderPrefix << GetCurrentProcessId() << L"-" << counter++;
    if (CreateDirectoryW(name.str().c_str(), nullptr)) {
      FPath = name.str();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  RemoveFolderTree(FPath);
}

wstring TempFolder::Write(const wstring& Name, const std::string& Bytes) const {
  const wstring path = FPath + L"\\" + Name;
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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

wstring Environment(const wchar_t* Name) {
  const DWORD size = GetEnvironmentVariableW(Name, nullptr, 0);
  if (size == 0) return {};
  wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(Name, &value[0], size));
  return value;
}

wstring TestedProgramFolder() {
  const wstring folder = Environment(L"VOXARO_TESTED_PROGRAMS");
  return folder.empty() ? ProgramFolder() : folder;
}

DWORD WaitLimit(DWORD Milliseconds) {
  return StretchedLimit(Milliseconds);
}

std::chrono::milliseconds WaitLimit(std::chrono::milliseconds Limit) {
  return Limit * WaitFactor();
}

std::string ReadFileBytes(const wstring& Path) {
  HANDLE file = CreateFileW(LongPath(Path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
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

wstring FromAnsi(const std::string& Text) {
  return Widen(Text, 1252);
}

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
  const bool started = StartProgram(program, commandLine, TRUE, startup, process);
  const DWORD startError = started ? 0 : GetLastError(); // before CloseHandle may change it
  CloseHandle(outFile);
  CloseHandle(errFile);
  ImporterResult result;
  if (!started) {
    std::fprintf(stderr, "voxaro-import.exe could not be started (error %lu)\n", startError);
    return result;
  }
  const bool ended = WaitForSingleObject(process.hProcess, WaitLimit(60000)) == WAIT_OBJECT_0;
  if (!ended) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!ended) {
    std::fprintf(stderr, "voxaro-import.exe did not end within a minute and was ended\n");
    return result;
  }
  // Exit status 1 is a reported error, whose text the summary holds; anything else is told here.
  if (exitCode > 1) std::fprintf(stderr, "voxaro-import.exe ended with 0x%lx\n", exitCode);
  const std::string raw = ReadFileBytes(out);
  for (size_t start = 0; start < raw.size();) {
    const size_t end = raw.find("\r\n", start);
    if (end == std::string::npos) break;
    result.Lines.push_back(FromAnsi(raw.substr(start, end - start)));
    start = end + 2;
  }
  wstring summary = FromAnsi(ReadFileBytes(err));
  while (!summary.empty() && (summary.back() == L'\n' || summary.back() == L'\r'))
    summary.pop_back();
  result.Summary = summary.substr(summary.find_last_of(L'\n') + 1);
  return result;
}

bool WaitFor(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + WaitLimit(Timeout);
  for (;;) {
    if (Condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

VoxaroProcess::VoxaroProcess(const wstring& Arguments) {
  const wstring program = TestedProgramFolder() + L"\\voxaro.exe";
  wstring commandLine = L"\"" + program + L"\"";
  if (!Arguments.empty()) commandLine += L" " + Arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  FStartTicks = now.QuadPart;
  if (!StartProgram(program, commandLine, FALSE, startup, process)) return;
  CloseHandle(process.hThread);
  FProcess = process.hProcess;
  FId = process.dwProcessId;
}

VoxaroProcess::~VoxaroProcess() {
  if (!FProcess) return;
  if (!Ended(0) && !Close(5000)) TerminateProcess(FProcess, 99);
  WaitForSingleObject(FProcess, WaitLimit(5000));
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
  return !FProcess || WaitForSingleObject(FProcess, WaitLimit(TimeoutMs)) == WAIT_OBJECT_0;
}

bool EndStartedPrograms() {
  std::lock_guard<std::mutex> lock(StartedLock);
  for (HANDLE process : Started)
    TerminateProcess(process, 98);
  bool allEnded = true;
  for (HANDLE process : Started) {
    allEnded = WaitForSingleObject(process, 5000) == WAIT_OBJECT_0 && allEnded;
    CloseHandle(process);
  }
  Started.clear();
  return allEnded;
}

std::vector<wstring> EndLeftoverPrograms() {
  std::vector<wstring> ended;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ended;
  std::vector<PROCESSENTRY32W> processes;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    processes.push_back(entry);
  CloseHandle(snapshot);
  const DWORD self = GetCurrentProcessId();
  for (const PROCESSENTRY32W& p : processes) {
    const wstring name = Lower(p.szExeFile);
    if (name != L"voxaro.exe" && name != L"voxaro-import.exe") continue;
    const DWORD parent = p.th32ParentProcessID;
    if (parent == 0 || (parent != self && ProcessRuns(parent))) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.th32ProcessID);
    if (!process) continue;
    TerminateProcess(process, 97);
    const bool gone = WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
    CloseHandle(process);
    std::wostringstream line;
    line << name << L" (process " << p.th32ProcessID << L", started by process " << parent << L") "
         << (gone ? L"ended" : L"could not be ended");
    ended.push_back(line.str());
  }
  return ended;
}

std::vector<wstring> RemoveLeftoverFolders() {
  std::vector<wstring> removed;
  const wstring base = TempPath();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((base + TempFolderPrefix + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return removed;
  std::vector<wstring> names;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  const size_t prefix = wcslen(TempFolderPrefix);
  for (const wstring& name : names) {
    const DWORD owner = wcstoul(name.c_str() + prefix, nullptr, 10);
    if (owner == GetCurrentProcessId() || ProcessRuns(owner)) continue;
    RemoveFolderTree(base + name);
    removed.push_back(base + name);
  }
  return removed;
}

bool SendBounded(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT* Result,
                 UINT TimeoutMs) {
  DWORD_PTR answer = 0;
  const bool answered = SendMessageTimeoutW(Window, Message, WParam, LParam, SMTO_NORMAL,
                                            WaitLimit(TimeoutMs), &answer) != 0;
  if (Result) *Result = answered ? static_cast<LRESULT>(answer) : 0;
  return answered;
}

wstring WindowText(HWND Window) {
  LRESULT length = 0;
  if (!SendBounded(Window, WM_GETTEXTLENGTH, 0, 0, &length, ReadTimeoutMs) || length < 0) return {};
  wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  SendBounded(Window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied,
              ReadTimeoutMs);
  text.resize(std::min(static_cast<size_t>(copied < 0 ? 0 : copied), text.size() - 1));
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

HWND FindDescendant(HWND Parent, const wchar_t* ClassName,
                    const std::function<bool(HWND)>& Accept) {
  DescendantSearch search{ClassName, &Accept, nullptr};
  EnumChildWindows(Parent, MatchDescendant, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND ListBoxOf(HWND MainWindow) {
  return FindDescendant(MainWindow, L"ListBox");
}

const wchar_t NoAnswer[] = L"(the list box did not answer)";

std::vector<wstring> ListLines(HWND ListBox) {
  std::vector<wstring> lines;
  LRESULT count = 0;
  if (!SendBounded(ListBox, LB_GETCOUNT, 0, 0, &count, ReadTimeoutMs)) return {NoAnswer};
  lines.reserve(static_cast<size_t>(count < 0 ? 0 : count));
  for (LRESULT i = 0; i < count; ++i) {
    // Wine returns UTF-16 to a W call whatever the list was filled with.
    LRESULT length = 0, copied = 0;
    if (!SendBounded(ListBox, LB_GETTEXTLEN, i, 0, &length, ReadTimeoutMs)) {
      lines.push_back(NoAnswer);
      break;
    }
    wstring line(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
    if (!SendBounded(ListBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]), &copied,
                     ReadTimeoutMs)) {
      lines.push_back(NoAnswer);
      break;
    }
    line.resize(std::min(static_cast<size_t>(copied < 0 ? 0 : copied), line.size() - 1));
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
  // Let the window finish painting before the screen is read. RDW_UPDATENOW would send the paint
  // to the other process and wait for it without a limit; the window paints once it has answered.
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  SendBounded(Window, WM_NULL, 0, 0);
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
