// Workbooks as office programs save them, by every way into the window, and the old binary format
// refused with its text.
#include <gtest/gtest.h>

#include <functional>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;
using std::chrono::milliseconds;

std::vector<wstring> Lines(HWND Window) {
  return ListLines(ListBoxOf(Window));
}

// The sheet of tests/data/workbooks/sources/kontakte.csv, which every office program saved
// alike. Calc and Gnumeric stored the plain phone numbers as numbers, so they lost their zero.
const std::vector<wstring> KontakteLines = {
    L"030999=Lukasz Dvor\u00e1k",
    L"040123456=Stadtwerke",
    L"1511234567=Lukasz Dvor\u00e1k",
    L"301234567=J\u00f6rg M\u00fcller & S\u00f6hne GmbH",
    L"33142685300=\u00c9lodie Lef\u00e8vre Atelier Nord",
    L"4917123456789=J\u00f6rg M\u00fcller & S\u00f6hne GmbH",
    L"89555012=Anna Sch\u00e4fer",
};

wstring KontakteSheetStatus() {
  return wstring(FirstStatus) + L"  Kopieren des Inhaltes  5 Namen 7 Nummern gefunden.";
}

const char OldWorkbookText[] = "Diese Arbeitsmappe ist im alten Excel-Format (.xls) oder mit einem "
                               "Kennwort gesichert. Bitte als .xlsx oder CSV speichern.";

class Workbooks : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(EmptyTheClipboard()) << "the clipboard cannot be emptied";
    ProgramTest::SetUp();
  }

  wstring Copy(const wchar_t* Name) {
    return FFolder.Write(Name,
                         SourceFile((std::string("tests/data/workbooks/") + ToAnsi(Name)).c_str()));
  }
};

TEST_F(Workbooks, StartedDroppedOrPastedAsACopiedFileShowTheLinesOfTheFirstSheet) {
  const wstring started = Copy(L"kontakte-calc.xlsx");
  const wstring dropped = Copy(L"kontakte-gnumeric.ods");
  const wstring copied = Copy(L"kontakte-calc.ods");
  const wstring pasted = Copy(L"kontakte-gnumeric.xlsx");

  HWND window = Start(started);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Lines(window) == KontakteLines; }));
  EXPECT_EQ(StatusText(window), KontakteSheetStatus());

  const struct {
    const char* Name;
    std::function<bool()> Import;
    const wstring& File;
  } ways[] = {
      {"dropped",
       [&] {
         return DragAndDrop(ListBoxOf(window), {dropped}, DROPEFFECT_COPY) == DROPEFFECT_NONE;
       },
       dropped},
      {"a copied file",
       [&] {
         return PutClipboardFiles({copied}) && PressChord(window, {VK_CONTROL, 'V'});
       },
       copied},
      {"a pasted path",
       [&] {
         return PutClipboardText(pasted) && PressChord(window, {VK_CONTROL, 'V'});
       },
       pasted},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.Name);
    // Another import between the ways, so that each shows its lines anew.
    ASSERT_TRUE(Paste(window, FOther));
    ASSERT_TRUE(WaitFor([&] { return Lines(window) != KontakteLines; }));
    ASSERT_TRUE(way.Import());
    EXPECT_TRUE(WaitForCaption(window, way.File));
    EXPECT_TRUE(WaitFor([&] { return Lines(window) == KontakteLines; }));
    EXPECT_EQ(StatusText(window), KontakteSheetStatus());
    EXPECT_EQ(FProgram->MessageBox(), nullptr);
    EXPECT_TRUE(Exists(way.File));
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(FProgram->Ended(10000)) << "the program hung at its end";
}

TEST_F(Workbooks, AnOldBinaryWorkbookShowsItsTextWhenStartedOrPastedAndNothingWhenDropped) {
  const wstring old = FFolder.Write(L"alt.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) +
                                                    std::string(504, '\0'));
  FProgram.reset(new VoxaroProcess(Quoted(old)));
  HWND box = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (box = FProgram->MessageBox()) != nullptr; }, milliseconds(20000)));
  EXPECT_EQ(MessageBoxText(box), FromAnsi(OldWorkbookText));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = FProgram->MainWindow()) != nullptr; }));
  EXPECT_TRUE(WaitFor([&] { return FProgram->MessageBox() == nullptr; }));
  EXPECT_TRUE(Lines(window).empty());

  // Over an earlier import: the pasted path shows the text and keeps the lines; the drop keeps
  // them silently.
  ASSERT_TRUE(Paste(window, FOther));
  std::vector<wstring> before;
  ASSERT_TRUE(WaitFor([&] { return !(before = Lines(window)).empty(); }));
  ASSERT_TRUE(PutClipboardText(old));
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  ASSERT_TRUE(WaitFor([&] { return (box = FProgram->MessageBox()) != nullptr; }));
  EXPECT_EQ(MessageBoxText(box), FromAnsi(OldWorkbookText));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return FProgram->MessageBox() == nullptr; }));
  EXPECT_EQ(Lines(window), before);

  EXPECT_EQ(DragAndDrop(ListBoxOf(window), {old}, DROPEFFECT_COPY), DROPEFFECT_NONE);
  EXPECT_TRUE(WaitForCaption(window, old));
  Sleep(500);
  EXPECT_EQ(FProgram->MessageBox(), nullptr) << "a drop showed an error";
  EXPECT_EQ(Lines(window), before);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(FProgram->Ended(10000)) << "the program hung at its end";
}

} // namespace
