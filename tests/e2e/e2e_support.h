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

// A folder of its own under the temporary folder, removed with everything in it at the end. Its
// name holds the driver's process id, so that a later run can tell a folder left by a driver that
// was ended before it could remove it.
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

// A full drive path in the form the system takes beyond 260 characters ("\\?\" before it).
wstring LongPath(const wstring& Path);
// Removes Folder with everything in it, names of any length.
void RemoveFolderTree(const wstring& Folder);

// The folder of the running test program: its tree's voxaro.exe and cli\voxaro-import.exe are
// built beside it.
wstring ProgramFolder();
// An environment variable's value, empty when it is not set.
wstring Environment(const wchar_t* Name);
// The folder of the voxaro.exe the tests drive: VOXARO_TESTED_PROGRAMS when set (the 32-bit tree,
// driven across processes by this 64-bit driver), else ProgramFolder().
wstring TestedProgramFolder();

// A wait's limit stretched by VOXARO_WAIT_FACTOR (a whole number, at least 1), for programs that
// run under an emulator many times slower than natively.
DWORD WaitLimit(DWORD Milliseconds);
std::chrono::milliseconds WaitLimit(std::chrono::milliseconds Limit);
// Contents of a file, or empty when it cannot be read.
std::string ReadFileBytes(const wstring& Path);
// The repository's file at a path relative to its root.
std::string SourceFile(const char* RelativePath);
// Windows-1252 bytes to UTF-16 and back, as the program's ANSI code page does.
wstring FromAnsi(const std::string& Text);
std::string ToAnsi(const wstring& Text);

// The command-line importer of the driver's own tree run on File: its raw lines and the last line
// of its standard error (the summary after an import). No lines when it cannot be started or does
// not end within a minute (it is then ended).
struct ImporterResult {
  std::vector<wstring> Lines;
  wstring Summary;
};
ImporterResult RunImporter(const TempFolder& Folder, const wstring& File);

// Waits until Condition holds, pumping this thread's messages; false after Timeout (stretched by
// WaitLimit, as is every limit below).
bool WaitFor(const std::function<bool()>& Condition,
             std::chrono::milliseconds Timeout = std::chrono::milliseconds(20000));

// A message to a window of another process, answered within TimeoutMs or given up: false when no
// answer came (the window is gone, or its thread was busy all that time). Unlike SMTO_ABORTIFHUNG,
// it waits for a thread that has just been busy for a long time: Wine calls such a thread hung
// until it next looks at its queue, also when its window is already on the screen.
bool SendBounded(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT* Result = nullptr,
                 UINT TimeoutMs = 5000);

// One run of voxaro.exe; the destructor closes it and, failing that, ends it. Every program the
// driver starts is in one job that ends them all when the driver goes, also when the driver is
// killed (as ctest does with a test over its time).
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

// Ends every program this driver started that still runs; false when one did not end.
bool EndStartedPrograms();
// Ends the programs of the tree (voxaro.exe, voxaro-import.exe) that an earlier driver started
// and left running: their parent is gone, or is this driver. Programs started from outside a
// driver (no parent under Wine) are left alone. Gives one line per program ended.
std::vector<wstring> EndLeftoverPrograms();
// Removes the temporary folders of drivers that no longer run.
std::vector<wstring> RemoveLeftoverFolders();

// The window's text, read as another process reads it (WM_GETTEXT with a time limit).
wstring WindowText(HWND Window);
// The first descendant of Parent of that window class whose text satisfies Accept (any when
// Accept is empty).
HWND FindDescendant(HWND Parent, const wchar_t* ClassName,
                    const std::function<bool(HWND)>& Accept = nullptr);
// The list box of the main window and its lines. A line the window does not answer for within
// the time limit is given as NoAnswer, and the lines end there.
HWND ListBoxOf(HWND MainWindow);
std::vector<wstring> ListLines(HWND ListBox);
extern const wchar_t NoAnswer[];
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
