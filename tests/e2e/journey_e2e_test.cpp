// One start of the program taken through every way in and out: started with a file, a pasted
// path, the copy link, a dropped file, and its end after WM_CLOSE. It is what the 32-bit program
// gets where each start of it is dear (scripts/test-win32.sh runs it against build/win32, under
// an emulator where the kernel runs no i386 code); the win64 suite runs it against its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;

const wchar_t FirstStatus[] = L"Eine beliebige CSV Datei auf dieses Fenster ziehen, oder mit "
                              L"Strg+V eine Datei oder einen Inhalt einf\u00fcgen.";
const wchar_t CopiedStatus[] =
    L"Eine beliebige CSV Datei auf dieses Fenster ziehen, oder mit Strg+V eine Datei oder einen "
    L"Inhalt einf\u00fcgen.  Sie k\u00f6nnen die Daten jetzt in das \"Eigene Telefonbuch\" "
    L"einf\u00fcgen. Dort Strg+V oder rechte Maustaste \"Einf\u00fcgen\".";

wstring ImportedStatus(const ImporterResult& Import) {
  return wstring(FirstStatus) + L"  Kopieren des Inhaltes  " + Import.Summary;
}

wstring LinesWithBreaks(const std::vector<wstring>& Lines) {
  wstring text;
  for (const auto& line : Lines)
    text += line + L"\r\n";
  return text;
}

// "x86" for a process that runs under WoW64 (a 32-bit program on 64-bit Windows), else "x64".
std::string MachineOf(HANDLE Process) {
  BOOL wow64 = FALSE;
  return IsWow64Process(Process, &wow64) && wow64 ? "x86" : "x64";
}

class Journey : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(EmptyTheClipboard()) << "the clipboard cannot be emptied";
    ProgramTest::SetUp();
  }
};

TEST_F(Journey, OneRunTakesAFileAPastedPathTheLinkAndADropAndEndsAfterClose) {
  const wstring vcard = FFolder.Write(L"kontakte.vcf", SourceFile("examples/kontakte.vcf"));
  // What each file must show, from the driver's own importer: no further start of the program.
  const ImporterResult kontakte = RunImporter(FFolder, FKontakte);
  const ImporterResult other = RunImporter(FFolder, FOther);
  const ImporterResult cards = RunImporter(FFolder, vcard);
  for (const ImporterResult* import : {&kontakte, &other, &cards})
    ASSERT_FALSE(import->Lines.empty());

  HWND window = Start(FKontakte);
  ASSERT_NE(window, nullptr);
  const std::string machine = MachineOf(FProgram->Handle());
  const wstring expected = Environment(L"VOXARO_TESTED_MACHINE");
  if (!expected.empty()) {
    ASSERT_EQ(FromAnsi(machine), expected) << "the program driven is not the one meant";
  }
  HWND list = ListBoxOf(window);
  EXPECT_EQ(ListLines(list), kontakte.Lines);
  EXPECT_EQ(StatusText(window), ImportedStatus(kontakte));
  SaveScreenshot(window, "journey-" + machine);

  // A path on the clipboard, pasted with Ctrl+V.
  ASSERT_TRUE(PutClipboardText(FOther));
  ASSERT_TRUE(PressChord(window, {VK_CONTROL, 'V'}));
  EXPECT_TRUE(WaitForCaption(window, FOther));
  EXPECT_TRUE(WaitFor([&] { return ListLines(list) == other.Lines; }));
  EXPECT_TRUE(WaitFor([&] { return StatusText(window) == ImportedStatus(other); }));
  EXPECT_FALSE(Exists(PastedTextFile()));

  // "Kopieren des Inhaltes": every line on the clipboard, as Unicode and as ANSI text.
  HWND status = FindDescendant(window, L"TPanel", [](HWND w) { return !WindowText(w).empty(); });
  ASSERT_NE(status, nullptr);
  POINT link = {};
  ASSERT_TRUE(WaitFor([&] { return FindColour(window, status, RGB(0, 0, 255), &link); }))
      << "no blue link on screen";
  ASSERT_TRUE(PutClipboardText(L"vorher"));
  ASSERT_TRUE(ClickAt(window, link));
  EXPECT_TRUE(WaitFor([&] { return StatusText(window) == CopiedStatus; }));
  bool present = false;
  EXPECT_EQ(ClipboardUnicodeText(&present), LinesWithBreaks(other.Lines));
  EXPECT_TRUE(present);
  EXPECT_EQ(FromAnsi(ClipboardAnsiText()), LinesWithBreaks(other.Lines));

  // A dropped vCard file; the source is told that nothing was copied or moved.
  EXPECT_EQ(DragAndDrop(list, {vcard}, DROPEFFECT_COPY | DROPEFFECT_MOVE), DROPEFFECT_NONE);
  EXPECT_TRUE(WaitForCaption(window, vcard));
  EXPECT_TRUE(WaitFor([&] { return ListLines(list) == cards.Lines; }));
  EXPECT_TRUE(WaitFor([&] { return StatusText(window) == ImportedStatus(cards); }));
  EXPECT_EQ(FProgram->MessageBox(), nullptr);
  EXPECT_TRUE(Exists(vcard));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(FProgram->Ended(10000)) << "the program did not end after WM_CLOSE";
}

} // namespace
