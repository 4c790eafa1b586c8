#pragma once
// What the end-to-end tests need to drive voxaro.exe from outside: start it, find its windows,
// read what they show, and take pictures of them. Everything goes through the real windows,
// as another program or a screen reader would see them.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using std::wstring;

// A folder of its own under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const wstring& Path() const { return FPath; }
  // Writes Bytes as the file Name in the folder and gives its full path.
  wstring Write(const wstring& Name, const std::string& Bytes) const;

private:
  wstring FPath;
};

// The folder of the running test program: voxaro.exe is built beside it.
wstring ProgramFolder();
// Contents of a file, or empty when it cannot be read.
std::string ReadFileBytes(const wstring& Path);
// The repository's file at a path relative to its root.
std::string SourceFile(const char* RelativePath);
// Windows-1252 bytes to UTF-16 and back, as the program's ANSI code page does.
wstring FromAnsi(const std::string& Text);
std::string ToAnsi(const wstring& Text);

// The command-line importer of the same tree run on File: its raw lines and the last line of its
// standard error (the summary after an import). No lines when it cannot be started.
struct ImporterResult {
  std::vector<wstring> Lines;
  wstring Summary;
};
ImporterResult RunImporter(const TempFolder& Folder, const wstring& File);

// Waits until Condition holds, pumping this thread's messages; false after Timeout.
bool WaitFor(const std::function<bool()>& Condition,
             std::chrono::milliseconds Timeout = std::chrono::milliseconds(20000));

// One run of voxaro.exe; the destructor closes it and, failing that, ends it.
class VoxaroProcess {
public:
  // Arguments are joined as written; quote them where needed.
  explicit VoxaroProcess(const wstring& Arguments);
  ~VoxaroProcess();
  VoxaroProcess(const VoxaroProcess&) = delete;
  VoxaroProcess& operator=(const VoxaroProcess&) = delete;

  bool Started() const { return FProcess != nullptr; }
  DWORD Id() const { return FId; }
  HANDLE Handle() const { return FProcess; }
  LONGLONG StartTicks() const { return FStartTicks; }
  // The main window: the visible top-level window of the process holding a list box.
  HWND MainWindow() const;
  // A standard message box of the process, or null.
  HWND MessageBox() const;
  // Closes the main window and waits for the process to end; false when it does not end.
  bool Close(DWORD TimeoutMs = 10000);
  bool Ended(DWORD TimeoutMs) const;

private:
  HANDLE FProcess = nullptr;
  DWORD FId = 0;
  LONGLONG FStartTicks = 0;
};

// The window's text, read as another process reads it (WM_GETTEXT with a time limit).
wstring WindowText(HWND Window);
// The first descendant of Parent of that window class whose text satisfies Accept (any when
// Accept is empty).
HWND FindDescendant(HWND Parent, const wchar_t* ClassName,
                    const std::function<bool(HWND)>& Accept = nullptr);
// The list box of the main window and its lines.
HWND ListBoxOf(HWND MainWindow);
std::vector<wstring> ListLines(HWND ListBox);
// The status line's plain text: the window text of the panel that hosts the label.
wstring StatusText(HWND MainWindow);
// The message text of a standard message box.
wstring MessageBoxText(HWND Box);
// A rectangle of a child in the client coordinates of Window.
RECT ChildRect(HWND Window, HWND Child);
SIZE ClientSize(HWND Window);

// Saves what the screen shows of Window as a 24-bit BMP under the build's screenshot folder,
// named Name.bmp; the test script turns these into PNG files.
void SaveScreenshot(HWND Window, const std::string& Name);

} // namespace e2e
