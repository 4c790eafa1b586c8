// Faults the window survives, driven from outside. Each case starts from a known clipboard and a
// folder of its own, and ends with the window alive and answering, the list either the expected
// new lines or exactly the old ones, no pasted-text copy left, and the program ending within 5 s
// of its window being closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;
using std::chrono::milliseconds;

wstring GeneratedExport(const wchar_t* Name) {
  return ProgramFolder() + L"\\e2e-data\\" + Name;
}

std::vector<wstring> Lines(HWND Window) {
  return ListLines(ListBoxOf(Window));
}

// -1 when the list does not answer.
LRESULT LineCount(HWND Window) {
  LRESULT count = 0;
  return SendBounded(ListBoxOf(Window), LB_GETCOUNT, 0, 0, &count) ? count : -1;
}

wstring LineAt(HWND Window, LRESULT Index) {
  HWND list = ListBoxOf(Window);
  LRESULT length = 0, copied = 0;
  if (!SendBounded(list, LB_GETTEXTLEN, Index, 0, &length)) return NoAnswer;
  if (length < 0) return L"(none)";
  wstring line(static_cast<size_t>(length) + 1, L'\0');
  if (!SendBounded(list, LB_GETTEXT, Index, reinterpret_cast<LPARAM>(&line[0]), &copied))
    return NoAnswer;
  line.resize(std::min(static_cast<size_t>(copied < 0 ? 0 : copied), line.size() - 1));
  return line;
}

// A list too long to read line by line from outside: its length, first, middle and last line.
bool ShowsLinesOf(HWND Window, const std::vector<wstring>& Expected) {
  const LRESULT count = LineCount(Window);
  if (Expected.empty() || count != static_cast<LRESULT>(Expected.size())) return false;
  for (const size_t i : {size_t{0}, Expected.size() / 2, Expected.size() - 1})
    if (LineAt(Window, static_cast<LRESULT>(i)) != Expected[i]) return false;
  return true;
}

class Faults : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(PutClipboardText(L"bekannt")) << "the clipboard cannot be set";
    ProgramTest::SetUp();
  }

  std::vector<wstring> LinesOf(const wstring& File) { return RunImporter(FFolder, File).Lines; }

  HWND WaitForBox(milliseconds Timeout) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FProgram->MessageBox()) != nullptr; }, Timeout);
    return box;
  }

  // How every case ends: the window answers, no copy of pasted text is left, and closing it ends
  // the program within 5 s.
  void ExpectAliveAndEndingOnClose(HWND Window) {
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result), 0)
        << "the window does not answer";
    EXPECT_EQ(FProgram->MessageBox(), nullptr);
    EXPECT_FALSE(Exists(PastedTextFile()));
    PostMessageW(Window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(FProgram->Ended(5000)) << "the program did not end within 5 s of closing";
  }
};

TEST_F(Faults, TwentyQuickDropsEndWithTheLastDroppedFile) {
  const std::vector<wstring> other = LinesOf(FOther);
  HWND window = Start(FTable);
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window);
  DragOptions quick;
  quick.Quick = true;
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(DragAndDrop(list, {i % 2 ? FOther : FKontakte}, quick), DROPEFFECT_NONE) << i;
  EXPECT_TRUE(WaitForCaption(window, FOther));
  EXPECT_TRUE(WaitFor([&] { return Lines(window) == other; }));
  // A drop's import still to come would show the other file after this pause.
  Sleep(500);
  EXPECT_EQ(Lines(window), other);
  ExpectAliveAndEndingOnClose(window);
}

TEST_F(Faults, ALockedFileDroppedChangesOnlyTheCaptionAndOnTheCommandLineShowsTheErrorBox) {
  const wstring locked = FFolder.Write(L"gesperrt.csv", SourceFile("examples/kontakte.csv"));
  // Another program has it open without sharing.
  HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  struct TUnlock {
    HANDLE Lock;
    ~TUnlock() { CloseHandle(Lock); }
  } unlock{lock};

  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> before = Lines(window);
  EXPECT_EQ(DragAndDrop(ListBoxOf(window), {locked}, DROPEFFECT_COPY), DROPEFFECT_NONE);
  EXPECT_TRUE(WaitForCaption(window, locked));
  Sleep(500);
  EXPECT_EQ(Lines(window), before);
  EXPECT_EQ(FProgram->MessageBox(), nullptr) << "a drop showed an error";
  ExpectAliveAndEndingOnClose(window);

  FProgram.reset(new VoxaroProcess(Quoted(locked)));
  HWND box = WaitForBox(milliseconds(20000));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), L"TAPI Eigenes Telefonbuch erzeugen");
  EXPECT_EQ(MessageBoxText(box), L"OSError.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = FProgram->MainWindow()) != nullptr; }));
  EXPECT_TRUE(WaitFor([&] { return FProgram->MessageBox() == nullptr; }));
  EXPECT_EQ(WindowText(window), L"Voxaro");
  EXPECT_TRUE(Lines(window).empty());
  ExpectAliveAndEndingOnClose(window);
}

TEST_F(Faults, AFileDeletedBetweenTheDropAndItsImportLeavesTheList) {
  const wstring doomed = FFolder.Write(L"gleich-weg.csv", SourceFile("examples/kontakte.csv"));
  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> before = Lines(window);
  // Deleted as soon as the window has taken the name, well inside the 50 ms before its import.
  DragOptions options;
  bool deleted = false;
  options.OnNamesTaken = [&] { deleted = DeleteFileW(doomed.c_str()) != FALSE; };
  EXPECT_EQ(DragAndDrop(ListBoxOf(window), {doomed}, options), DROPEFFECT_NONE);
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(WaitForCaption(window, doomed));
  Sleep(500);
  EXPECT_EQ(Lines(window), before);
  ExpectAliveAndEndingOnClose(window);
}

TEST_F(Faults, CtrlVWaitsForAClipboardHeldBrieflyAndReportsOneHeldTooLongInGerman) {
  const std::vector<wstring> other = LinesOf(FOther);
  HWND window = Start(FKontakte);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> before = Lines(window);

  ASSERT_TRUE(PutClipboardText(FOther));
  ASSERT_TRUE(Activate(window));
  {
    ClipboardHold hold(300);
    ASSERT_TRUE(hold.Opened());
    ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
    // Nothing was pasted while the clipboard was held.
    if (!hold.Released()) {
      EXPECT_EQ(WindowText(window), FKontakte);
    }
  }
  EXPECT_TRUE(WaitForCaption(window, FOther));
  EXPECT_TRUE(WaitFor([&] { return Lines(window) == other; }));
  EXPECT_EQ(FProgram->MessageBox(), nullptr);

  ASSERT_TRUE(PutClipboardText(FKontakte));
  ASSERT_TRUE(Activate(window));
  {
    ClipboardHold hold(10000);
    ASSERT_TRUE(hold.Opened());
    ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
    HWND box = WaitForBox(milliseconds(8000));
    ASSERT_NE(box, nullptr) << "no error box while the clipboard was held";
    EXPECT_FALSE(hold.Released());
    EXPECT_EQ(WindowText(box), L"TAPI Eigenes Telefonbuch erzeugen");
    EXPECT_EQ(MessageBoxText(box), L"Die Zwischenablage kann nicht ge\u00f6ffnet werden.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return FProgram->MessageBox() == nullptr; }));
  }
  EXPECT_EQ(WindowText(window), FOther);
  EXPECT_EQ(Lines(window), other);
  ExpectAliveAndEndingOnClose(window);
}

TEST_F(Faults, CtrlVOf50MBOfTableTextImportsAndLeavesNoCopy) {
  // 100 000 rows with a long note each, as a spreadsheet with a notes column copies them.
  std::string text = "Vorname\tNachname\tTelefon gesch\xE4"
                     "ftlich\tNotizen\r\n";
  const std::string note(500, 'x');
  text.reserve(52u << 20);
  for (int i = 0; i < 100000; ++i)
    text += "Vera" + std::to_string(i) + "\tK\xFChn\t030 " + std::to_string(5000000 + i) + "\t" +
            note + "\r\n";
  ASSERT_GE(text.size(), 50u << 20);
  const std::vector<wstring> expected = LinesOf(FFolder.Write(L"gross.txt", text));
  ASSERT_EQ(expected.size(), 100000u);

  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PutClipboardAnsiText(text));
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  EXPECT_TRUE(WaitForCaption(window, L"Zwischenablage", milliseconds(90000)));
  EXPECT_TRUE(ShowsLinesOf(window, expected));
  EXPECT_FALSE(Exists(PastedTextFile()));
  ExpectAliveAndEndingOnClose(window);
}

TEST_F(Faults, AWorkFolderThatCannotBeCreatedShowsTheErrorBoxAndLeavesTheList) {
  // A file stands where the work folder would be made.
  DeleteFileW(PastedTextFile().c_str());
  RemoveDirectoryW(WorkFolder().c_str());
  ASSERT_FALSE(Exists(WorkFolder())) << "the work folder holds files";
  struct TBlocker {
    wstring Path;
    ~TBlocker() { DeleteFileW(Path.c_str()); }
  } blocker{WorkFolder()};
  HANDLE file =
      CreateFileW(blocker.Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);

  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> before = Lines(window);
  ASSERT_TRUE(PutClipboardText(FromAnsi(SampleTable)));
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  // Saving tries 100 times, 100 ms apart, before it gives up.
  HWND box = WaitForBox(milliseconds(40000));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Datei " + PastedTextFile() + L" kann nicht erstellt werden.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return FProgram->MessageBox() == nullptr; }));
  EXPECT_EQ(WindowText(window), FOther);
  EXPECT_EQ(Lines(window), before);
  EXPECT_FALSE(Exists(PastedTextFile()));
  ExpectAliveAndEndingOnClose(window);
}

TEST_F(Faults, A300kExportDroppedWhileTheWindowIsBusyIsImportedOnce) {
  const wstring previous = GeneratedExport(L"contacts-100k.csv");
  const wstring big = GeneratedExport(L"contacts-300k.csv");
  ASSERT_TRUE(Exists(previous) && Exists(big)) << "the generated exports are missing";
  const std::vector<wstring> table = LinesOf(FTable);
  // The importer's lines of the big export, made on the other core while the window works.
  std::vector<wstring> expected;
  std::thread importer([&] { expected = LinesOf(big); });
  struct TJoin {
    std::thread& Thread;
    ~TJoin() {
      if (Thread.joinable()) Thread.join();
    }
  } join{importer};

  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window);
  DragOptions quick;
  quick.Quick = true;
  // The second drop comes while the window takes in and draws the first one's long list.
  EXPECT_EQ(DragAndDrop(list, {previous}, quick), DROPEFFECT_NONE);
  EXPECT_EQ(DragAndDrop(list, {big}, quick), DROPEFFECT_NONE);
  // The drop itself waits until the window has finished with the first list.
  EXPECT_TRUE(WaitForCaption(window, big, milliseconds(90000)));
  importer.join();
  ASSERT_GT(expected.size(), 300000u);
  ASSERT_TRUE(WaitFor([&] { return ShowsLinesOf(window, expected); }, milliseconds(90000)))
      << "the dropped export's lines never showed";
  // A second import of the same drop would fill the emptied list again.
  ASSERT_TRUE(SendBounded(list, LB_RESETCONTENT, 0, 0)) << "the list does not answer";
  Sleep(2000);
  EXPECT_EQ(LineCount(window), 0);
  // And the window takes the next paste as usual.
  ASSERT_TRUE(PutClipboardText(FTable));
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  EXPECT_TRUE(WaitForCaption(window, FTable));
  EXPECT_TRUE(WaitFor([&] { return Lines(window) == table; }));
  ExpectAliveAndEndingOnClose(window);
}

} // namespace
