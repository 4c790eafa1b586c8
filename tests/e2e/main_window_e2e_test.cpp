// The program as a user starts it: with a file, a folder, nothing, or a broken file; checked
// from outside through its windows.
#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;

const wchar_t FirstStatus[] = L"Eine beliebige CSV Datei auf dieses Fenster ziehen, oder mit "
                              L"Strg+V eine Datei oder einen Inhalt einf\u00fcgen.";
const char MutexName[] = "Global\\{7E41B0C2-5A9D-4F13-B8E6-0C2D94A61F58}";

wstring Quoted(const wstring& Path) {
  return L"\"" + Path + L"\"";
}

// Starts the program and waits until its main window shows Caption.
HWND WaitForCaption(VoxaroProcess& Program, const wstring& Caption) {
  HWND window = nullptr;
  WaitFor([&] {
    window = Program.MainWindow();
    return window && WindowText(window) == Caption;
  });
  return window;
}

bool MutexExists() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, MutexName);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

TEST(MainWindow, ShowsTheImportOfTheFileNamedOnTheCommandLine) {
  TempFolder folder;
  // More than 1 000 numbers, so that the counts need the thousands separator.
  std::string many = "Vorname;Nachname;Telefon privat;Mobiltelefon\r\n";
  for (int i = 0; i < 800; ++i)
    many += "J\xFCrgen;M\xFCller" + std::to_string(i) + ";030 " + std::to_string(100000 + i) +
            ";0171 " + std::to_string(200000 + i) + "\r\n";
  const struct {
    const char* Shot;
    wstring File;
  } cases[] = {
      {"after-start", folder.Write(L"kontakte.csv", SourceFile("examples/kontakte.csv"))},
      {"after-import", folder.Write(L"gro\u00dfe Liste.csv", many)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Shot);
    const ImporterResult expected = RunImporter(folder, c.File);
    ASSERT_FALSE(expected.Lines.empty());
    VoxaroProcess program(Quoted(c.File));
    ASSERT_TRUE(program.Started());
    HWND window = WaitForCaption(program, c.File);
    ASSERT_NE(window, nullptr) << "the caption never showed the path";
    EXPECT_EQ(ListLines(ListBoxOf(window)), expected.Lines);
    const wstring status = StatusText(window);
    EXPECT_EQ(status, wstring(FirstStatus) + L"  Kopieren des Inhaltes  " + expected.Summary);
    EXPECT_TRUE(
        WaitFor([&] { return GetForegroundWindow() == window; }, std::chrono::milliseconds(5000)));
    SaveScreenshot(window, c.Shot);
  }
  EXPECT_TRUE(std::regex_search(ToAnsi(RunImporter(folder, cases[1].File).Summary),
                                std::regex("^800 Namen 1\\.600 Nummern gefunden\\.$")));
}

TEST(MainWindow, StartsPlainWithoutAFileToImport) {
  TempFolder folder;
  const wstring file = folder.Write(L"a.csv", "Name,Telefon\r\nAnna,030 123\r\n");
  const struct {
    const char* Name;
    wstring Arguments;
    wstring Caption;
    size_t Lines;
  } cases[] = {
      {"no argument", L"", L"Voxaro", 0},
      {"a folder", Quoted(folder.Path()), L"Voxaro", 0},
      {"a missing file", Quoted(folder.Path() + L"\\fehlt.csv"), L"Voxaro", 0},
      {"a missing file first", Quoted(folder.Path() + L"\\fehlt.csv") + L" " + Quoted(file),
       L"Voxaro", 0},
      {"extra arguments", Quoted(file) + L" zweites drittes", file, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    VoxaroProcess program(c.Arguments);
    ASSERT_TRUE(program.Started());
    HWND window = WaitForCaption(program, c.Caption);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ListLines(ListBoxOf(window)).size(), c.Lines);
    if (c.Lines == 0) {
      EXPECT_EQ(StatusText(window), FirstStatus);
    }
    EXPECT_EQ(program.MessageBox(), nullptr);
  }
}

TEST(MainWindow, AFailingImportShowsTheErrorBoxAndThenOpensPlain) {
  TempFolder folder;
  const wstring empty = folder.Write(L"leer.csv", "");
  VoxaroProcess program(Quoted(empty));
  ASSERT_TRUE(program.Started());
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = program.MessageBox()) != nullptr; }));
  EXPECT_EQ(WindowText(box), L"TAPI Eigenes Telefonbuch erzeugen");
  EXPECT_EQ(MessageBoxText(box), L"Try to read past eof.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  HWND window = WaitForCaption(program, L"Voxaro");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitFor([&] { return program.MessageBox() == nullptr; }));
  EXPECT_TRUE(ListLines(ListBoxOf(window)).empty());
  EXPECT_EQ(StatusText(window), FirstStatus);
}

TEST(MainWindow, KeepsItsLayoutAndWrapsTheStatusWhenResized) {
  VoxaroProcess program(L"");
  ASSERT_TRUE(program.Started());
  HWND window = WaitForCaption(program, L"Voxaro");
  ASSERT_NE(window, nullptr);
  const SIZE client = ClientSize(window);
  EXPECT_EQ(client.cx, 624);
  EXPECT_EQ(client.cy, 644);
  HWND list = ListBoxOf(window);
  HWND status = FindDescendant(window, L"TPanel", [](HWND w) { return !WindowText(w).empty(); });
  ASSERT_NE(status, nullptr);
  // The list keeps 9 pixels to the window's edges and to the status panel.
  const auto margins = [&] {
    const RECT l = ChildRect(window, list), s = ChildRect(window, status);
    const SIZE c = ClientSize(window);
    return std::vector<LONG>{l.left, c.cx - l.right, c.cy - l.bottom, l.top - s.bottom};
  };
  const std::vector<LONG> nine = {9, 9, 9, 9};
  EXPECT_EQ(margins(), nine);
  const LONG wideTop = ChildRect(window, list).top;

  RECT frame = {};
  GetWindowRect(window, &frame);
  const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
  // Asynchronous: a window of another thread is otherwise resized by a message sent without a
  // time limit. The layout then follows in steps, so the checks wait for it to settle.
  constexpr UINT resize = SWP_NOMOVE | SWP_NOZORDER | SWP_ASYNCWINDOWPOS;
  SetWindowPos(window, nullptr, 0, 0, frameWidth - 330, frameHeight, resize);
  EXPECT_TRUE(WaitFor([&] { return ChildRect(window, list).top > wideTop && margins() == nine; },
                      std::chrono::milliseconds(5000)))
      << "the status text did not take more lines";
  EXPECT_EQ(margins(), nine);
  SaveScreenshot(window, "narrowed");

  SetWindowPos(window, nullptr, 0, 0, frameWidth, frameHeight, resize);
  EXPECT_TRUE(WaitFor(
      [&] {
        return ChildRect(window, list).top == wideTop && ClientSize(window).cx == 624 &&
               margins() == nine;
      },
      std::chrono::milliseconds(5000)));
  EXPECT_EQ(ClientSize(window).cx, 624);
  EXPECT_EQ(margins(), nine);
}

TEST(MainWindow, TheTaskbarWindowCarriesTheTitleAndMinimisesAndRestoresTheMainWindow) {
  TempFolder folder;
  const wstring file = folder.Write(L"a.csv", "Name,Telefon\r\nAnna,030 123\r\n");
  VoxaroProcess program(Quoted(file));
  ASSERT_TRUE(program.Started());
  HWND window = WaitForCaption(program, file);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> lines = ListLines(ListBoxOf(window));
  // The application window: top-level, size 0, the title, the owner of the main window.
  const HWND application = GetWindow(window, GW_OWNER);
  ASSERT_NE(application, nullptr);
  EXPECT_EQ(GetAncestor(application, GA_PARENT), GetDesktopWindow());
  EXPECT_EQ(GetWindow(application, GW_OWNER), nullptr);
  EXPECT_EQ(WindowText(application), L"TAPI Eigenes Telefonbuch erzeugen");
  EXPECT_TRUE(IsWindowVisible(application));
  RECT rect = {};
  GetWindowRect(application, &rect);
  EXPECT_EQ(rect.right - rect.left, 0);
  EXPECT_EQ(rect.bottom - rect.top, 0);
  // Only the application window has a taskbar button; the main window keeps its own caption.
  EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  EXPECT_EQ(GetWindowLongW(application, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            WS_SYSMENU);
  EXPECT_TRUE(
      WaitFor([&] { return GetForegroundWindow() == window; }, std::chrono::milliseconds(5000)));

  const auto minimised = [&] { return IsIconic(application) && !IsWindowVisible(window); };
  const auto restored = [&] {
    return !IsIconic(application) && IsWindowVisible(window) && GetForegroundWindow() == window;
  };
  // The taskbar button's minimise and restore, then the main window's own minimise command.
  for (HWND target : {application, window}) {
    SCOPED_TRACE(target == application ? "from the taskbar" : "from the main window");
    PostMessageW(target, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitFor(minimised, std::chrono::milliseconds(5000)));
    PostMessageW(application, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitFor(restored, std::chrono::milliseconds(5000)));
  }
  // Activating the application window (Alt+Tab, a click on its button) activates the main window.
  HWND other = CreateWindowExW(0, L"STATIC", L"anderes Programm", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                               50, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(other);
  EXPECT_TRUE(
      WaitFor([&] { return GetForegroundWindow() == other; }, std::chrono::milliseconds(5000)));
  WaitFor([] { return false; }, std::chrono::milliseconds(300));
  // Wine hands this driver's focus events to it late, and they can take the foreground back to the
  // desktop once: a second activation is allowed, but the main window must get it from there.
  bool activated = false;
  for (int attempt = 0; attempt < 2 && !activated; ++attempt) {
    SetForegroundWindow(application);
    activated =
        WaitFor([&] { return GetForegroundWindow() == window; }, std::chrono::milliseconds(3000));
  }
  EXPECT_TRUE(activated);
  DestroyWindow(other);
  EXPECT_EQ(ListLines(ListBoxOf(window)), lines);
  EXPECT_EQ(program.MessageBox(), nullptr);
  EXPECT_TRUE(program.Close(5000)) << "the program did not end with its window";
}

TEST(MainWindowSerial, HoldsTheNamedMutexWhileItRuns) {
  // The program of the test before may still be ending.
  ASSERT_TRUE(WaitFor([] { return !MutexExists(); }, std::chrono::milliseconds(10000)))
      << "another instance is running";
  VoxaroProcess program(L"");
  ASSERT_TRUE(program.Started());
  ASSERT_NE(WaitForCaption(program, L"Voxaro"), nullptr);
  EXPECT_TRUE(MutexExists());
  EXPECT_TRUE(program.Close());
  EXPECT_FALSE(MutexExists());
}

} // namespace
