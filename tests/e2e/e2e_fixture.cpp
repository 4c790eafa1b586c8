#include "tests/e2e/e2e_fixture.h"

#include "tests/e2e/e2e_input.h"

namespace e2e {

const std::string SampleTable = "Vorname\tNachname\tTelefon privat\tMobiltelefon\r\n"
                                "Anna\tBerger\t030 1234567\t0171 2345678\r\n"
                                "J\xFCrgen\tK\xF6hler\t+49 (0)89 7654321\t\r\n";
const std::string SampleOther = "Name;Telefon\r\nZora Zimmermann;040 998877\r\n";

const wchar_t FirstStatus[] = L"Eine beliebige CSV Datei auf dieses Fenster ziehen, oder mit "
                              L"Strg+V eine Datei oder einen Inhalt einf\u00fcgen.";
const wchar_t CopiedStatus[] =
    L"Eine beliebige CSV Datei auf dieses Fenster ziehen, oder mit Strg+V eine Datei oder einen "
    L"Inhalt einf\u00fcgen.  Sie k\u00f6nnen die Daten jetzt in das \"Eigene Telefonbuch\" "
    L"einf\u00fcgen. Dort Strg+V oder rechte Maustaste \"Einf\u00fcgen\".";

wstring KontakteStatus() {
  return wstring(FirstStatus) + L"  Kopieren des Inhaltes  14 Namen 27 Nummern gefunden.";
}

wstring Joined(const std::vector<wstring>& Lines, bool BreakAfterEach) {
  wstring text;
  for (const auto& line : Lines)
    text += line + (BreakAfterEach ? L"\r\n" : L"");
  return text;
}

wstring WorkFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return wstring(temp) + L"QVTempDir";
}

wstring PastedTextFile() {
  return WorkFolder() + L"\\clp.csv";
}

bool Exists(const wstring& Path) {
  return GetFileAttributesW(LongPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ProgramTest::SetUp() {
  DeleteFileW(PastedTextFile().c_str());
  FTable = FFolder.Write(L"tabelle.txt", SampleTable);
  FOther = FFolder.Write(L"andere.csv", SampleOther);
  FKontakte = FFolder.Write(L"kontakte.csv", SourceFile("examples/kontakte.csv"));
}

HWND ProgramTest::Start(const wstring& File) {
  FProgram.reset(new VoxaroProcess(File.empty() ? L"" : Quoted(File)));
  HWND window = nullptr;
  const wstring caption = File.empty() ? L"Voxaro" : File;
  WaitFor([&] { return (window = FProgram->MainWindow()) && WindowText(window) == caption; });
  EXPECT_NE(window, nullptr) << "the program did not come up";
  return window;
}

bool ProgramTest::Paste(HWND Window, const wstring& File) {
  return PutClipboardText(File) && PressChord(Window, {VK_CONTROL, 'V'}) &&
         WaitForCaption(Window, File);
}

bool ProgramTest::WaitForCaption(HWND Window, const wstring& Caption,
                                 std::chrono::milliseconds Timeout) {
  return WaitFor([&] { return WindowText(Window) == Caption; }, Timeout);
}

} // namespace e2e
