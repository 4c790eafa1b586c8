// The ways in and out as the user takes them: dropping files, Ctrl+V, the copy link and Enter.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;

std::vector<wstring> Lines(HWND Window) {
  return ListLines(ListBoxOf(Window));
}

// Each test starts from an empty clipboard, its own folder and a running program that has
// imported Start (or nothing).
class Actions : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(EmptyTheClipboard()) << "the clipboard cannot be emptied";
    ProgramTest::SetUp();
  }

  // The lines the program shows for File, taken from a run of its own.
  std::vector<wstring> LinesOf(const wstring& File) {
    VoxaroProcess program(Quoted(File));
    HWND window = nullptr;
    WaitFor([&] { return (window = program.MainWindow()) && WindowText(window) == File; });
    return window ? Lines(window) : std::vector<wstring>{L"(no window)"};
  }
};

TEST_F(Actions, DropImportsTheFirstFileAndTellsTheSourceNothingWasCopiedOrMoved) {
  const std::vector<wstring> expected = LinesOf(FOther);
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window);
  for (const bool move : {false, true}) {
    SCOPED_TRACE(move ? "move gesture" : "copy gesture");
    ASSERT_TRUE(SendBounded(list, LB_RESETCONTENT, 0, 0));
    const long effect = DragAndDrop(list, {FOther, FKontakte, FTable},
                                    DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, move);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_TRUE(WaitForCaption(window, FOther));
    EXPECT_TRUE(WaitFor([&] { return Lines(window) == expected; }));
    EXPECT_TRUE(Exists(FOther));
  }
}

TEST_F(Actions, ADroppedFolderChangesOnlyTheCaptionAndTwoQuickDropsBothImport) {
  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window);
  const std::vector<wstring> before = Lines(window);
  const wstring status = StatusText(window);
  EXPECT_EQ(DragAndDrop(list, {FFolder.Path()}, DROPEFFECT_COPY | DROPEFFECT_LINK), 0);
  EXPECT_TRUE(WaitForCaption(window, FFolder.Path()));
  Sleep(500);
  EXPECT_EQ(Lines(window), before);
  EXPECT_EQ(StatusText(window), status);
  EXPECT_EQ(FProgram->MessageBox(), nullptr);

  const std::vector<wstring> kontakte = LinesOf(FKontakte);
  EXPECT_EQ(DragAndDrop(list, {FTable}, DROPEFFECT_COPY), 0);
  EXPECT_EQ(DragAndDrop(list, {FKontakte}, DROPEFFECT_COPY), 0);
  EXPECT_TRUE(WaitForCaption(window, FKontakte));
  EXPECT_TRUE(WaitFor([&] { return Lines(window) == kontakte; }));
}

TEST_F(Actions, ADroppedVCardFileShowsTheLinesOfItsCards) {
  const wstring vcard = FFolder.Write(L"kontakte.vcf", SourceFile("examples/kontakte.vcf"));
  const wstring joerg = L"J\u00f6rg M\u00fcller & S\u00f6hne GmbH Vertrieb";
  const std::vector<wstring> expected = {
      L"0033142685300=\u00c9lodie Lef\u00e8vre Boulangerie Lef\u00e8vre, P\u00e8re et",
      L"004533123456=Mette S\u00f8rensen",
      L"01712345678=" + joerg,
      L"0301234567=" + joerg,
      L"0301234568=" + joerg,
      L"0403344550=Nordlicht Reisen",
      L"0403344559=Nordlicht Reisen",
      L"0406432131550=Mette S\u00f8rensen",
      L"089555012=Anna Sch\u00e4fer",
      L"089555013=Anna Sch\u00e4fer"};
  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DragAndDrop(ListBoxOf(window), {vcard}, DROPEFFECT_COPY | DROPEFFECT_MOVE),
            DROPEFFECT_NONE);
  EXPECT_TRUE(WaitForCaption(window, vcard));
  EXPECT_TRUE(WaitFor([&] { return Lines(window) == expected; }));
  EXPECT_EQ(StatusText(window),
            wstring(FirstStatus) + L"  Kopieren des Inhaltes  5 Namen 10 Nummern gefunden.");
  EXPECT_EQ(FProgram->MessageBox(), nullptr);
  EXPECT_TRUE(Exists(vcard));
}

TEST_F(Actions, ClosingRightAfterADropEndsTheProgram) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DragAndDrop(ListBoxOf(window), {FKontakte}, DROPEFFECT_COPY), 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(FProgram->Ended(10000)) << "the program hung at its end";
}

TEST_F(Actions, CtrlVImportsAPathACopiedFileOrThePastedText) {
  const std::vector<wstring> other = LinesOf(FOther), table = LinesOf(FTable);
  const std::vector<wstring> none;
  const struct {
    const char* Name;
    std::function<bool()> Put;
    wstring Caption;
    const std::vector<wstring>* Lines;
  } cases[] = {
      {"a path", [&] { return PutClipboardText(FOther); }, FOther, &other},
      {"file:// and a path", [&] { return PutClipboardText(L"file://" + FOther); }, FOther, &other},
      // Capitals are not the prefix: the text is imported as a table of one header line.
      {"FILE:// and a path", [&] { return PutClipboardText(L"FILE://" + FOther); },
       L"Zwischenablage", &none},
      {"a copied file",
       [&] {
         return PutClipboardFiles({FOther, FKontakte});
       },
       FOther, &other},
      {"table text", [&] { return PutClipboardText(FromAnsi(SampleTable)); }, L"Zwischenablage",
       &table},
  };
  HWND window = Start(FKontakte);
  ASSERT_NE(window, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(SendBounded(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"vorher")));
    ASSERT_TRUE(c.Put());
    ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
    EXPECT_TRUE(WaitForCaption(window, c.Caption));
    EXPECT_TRUE(WaitFor([&] { return Lines(window) == *c.Lines; }));
    EXPECT_EQ(FProgram->MessageBox(), nullptr);
    EXPECT_FALSE(Exists(PastedTextFile()));
  }
}

TEST_F(Actions, CtrlVWithAnEmptyClipboardShowsTheErrorAndLeavesNoCopy) {
  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> before = Lines(window);
  ASSERT_TRUE(EmptyTheClipboard());
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FProgram->MessageBox()) != nullptr; }));
  EXPECT_EQ(WindowText(box), L"TAPI Eigenes Telefonbuch erzeugen");
  EXPECT_EQ(MessageBoxText(box), L"Try to read past eof.");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return FProgram->MessageBox() == nullptr; }));
  EXPECT_EQ(Lines(window), before);
  EXPECT_EQ(WindowText(window), FOther);
  EXPECT_FALSE(Exists(PastedTextFile()));
}

TEST_F(Actions, CtrlShiftVAndCtrlAltVDoNothing) {
  HWND window = Start(FOther);
  ASSERT_NE(window, nullptr);
  const std::vector<wstring> before = Lines(window);
  ASSERT_TRUE(PutClipboardText(FKontakte));
  for (const auto& chord : {std::vector<WORD>{VK_CONTROL, VK_SHIFT, 'V'},
                            std::vector<WORD>{VK_CONTROL, VK_MENU, 'V'}}) {
    ASSERT_TRUE(PressChord(window, chord));
    Sleep(500);
    EXPECT_EQ(WindowText(window), FOther);
    EXPECT_EQ(Lines(window), before);
  }
  // The same clipboard with plain Ctrl+V does import, so the chords above were really seen.
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  EXPECT_TRUE(WaitForCaption(window, FKontakte));
}

TEST_F(Actions, TheLinkCopiesAllLinesWithEitherButtonAndIsGoneUntilTheNextImport) {
  const wstring headerOnly = FFolder.Write(L"leer.csv", "Name;Telefon\r\n");
  const struct {
    const char* Name;
    wstring File;
    int Button;
  } cases[] = {
      {"left button", FKontakte, VK_LBUTTON},
      {"right button", FOther, VK_RBUTTON},
      {"empty list", headerOnly, VK_LBUTTON},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    HWND window = Start(c.File);
    ASSERT_NE(window, nullptr);
    HWND status = FindDescendant(window, L"TPanel", [](HWND w) { return !WindowText(w).empty(); });
    const std::vector<wstring> lines = Lines(window);
    ASSERT_TRUE(PutClipboardText(L"vorher"));
    POINT link = {};
    ASSERT_TRUE(FindColour(window, status, RGB(0, 0, 255), &link)) << "no blue link on screen";
    if (c.Button == VK_LBUTTON && !lines.empty()) SaveScreenshot(window, "link");
    ASSERT_TRUE(ClickAt(window, link, c.Button));
    EXPECT_TRUE(WaitFor([&] { return StatusText(window) == CopiedStatus; }));
    bool present = false;
    EXPECT_EQ(ClipboardUnicodeText(&present), Joined(lines, true));
    EXPECT_TRUE(present);
    EXPECT_EQ(FromAnsi(ClipboardAnsiText()), Joined(lines, true));
    POINT stillThere = {};
    EXPECT_FALSE(FindColour(window, status, RGB(0, 0, 255), &stillThere));
    EXPECT_EQ(Lines(window), lines);
  }
}

// Ctrl+C as every list has it, beside Enter.
TEST_F(Actions, EnterOrCtrlCCopiesTheSelectedLineWithoutALineBreak) {
  HWND window = Start(FKontakte);
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window);
  const std::vector<wstring> lines = Lines(window);
  ASSERT_GE(lines.size(), 3u);
  const wstring status = StatusText(window);
  const std::vector<WORD> enter = {VK_RETURN}, shiftEnter = {VK_SHIFT, VK_RETURN},
                          ctrlC = {VK_CONTROL, 'C'};
  for (const auto* chord : {&enter, &ctrlC}) {
    SCOPED_TRACE(chord == &enter ? "Enter, no line selected" : "Ctrl+C, no line selected");
    ASSERT_TRUE(PutClipboardText(L"vorher"));
    ASSERT_TRUE(SendBounded(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0));
    ASSERT_TRUE(PressChord(window, *chord));
    EXPECT_EQ(ClipboardUnicodeText(), L"vorher");
  }
  for (const auto* chord : {&enter, &shiftEnter, &ctrlC}) {
    SCOPED_TRACE(chord == &ctrlC ? "Ctrl+C" : chord == &enter ? "Enter" : "Shift+Enter");
    ASSERT_TRUE(SendBounded(list, LB_SETCURSEL, 2, 0));
    ASSERT_TRUE(PutClipboardText(L"vorher"));
    ASSERT_TRUE(PressChord(window, *chord));
    EXPECT_TRUE(WaitFor([&] { return ClipboardUnicodeText() == lines[2]; },
                        std::chrono::milliseconds(5000)));
  }
  EXPECT_EQ(StatusText(window), status);
  EXPECT_EQ(Lines(window), lines);
}

} // namespace
