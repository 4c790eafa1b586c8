// Files whose names hold letters the ANSI code page lacks, one beyond U+FFFF, and names beyond 260
// characters, taken every way in: each shows the file's lines and its name exactly as the caption.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;

// A Polish city, a Turkish given name, and a musical symbol beyond U+FFFF.
const wchar_t FolderName[] = L"\u0141\u00F3d\u017A Ay\u015Fe \U0001D11E";
// UTF-8 contact text: the name still comes out in the ANSI code page, the letter it lacks as its
// nearest one.
const std::string Export = "Name;Telefon\r\nAnton Dvo\xC5\x99\xC3\xA1k;040 998877\r\n";
const std::vector<wstring> ExportLines = {L"040998877=Anton Dvor\u00E1k"};

std::vector<wstring> Lines(HWND Window) {
  return ListLines(ListBoxOf(Window));
}

// A file URI as a browser writes it: slashes, and every byte of UTF-8 beyond ASCII (and the
// blank) percent-encoded.
wstring FileUri(const wstring& Path) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, Path.c_str(), static_cast<int>(Path.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Path.c_str(), static_cast<int>(Path.size()), &utf8[0], size,
                      nullptr, nullptr);
  wstring uri = L"file:///";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\\') {
      uri += L'/';
    } else if (byte > 0x7F || byte == ' ') {
      wchar_t encoded[4];
      std::swprintf(encoded, 4, L"%%%02X", byte);
      uri += encoded;
    } else {
      uri += static_cast<wchar_t>(byte);
    }
  }
  return uri;
}

// Sets an environment variable of the driver, which the programs it starts inherit, for the
// object's lifetime.
class EnvironmentVariable {
public:
  EnvironmentVariable(const wchar_t* Name, const wstring& Value) : FName(Name) {
    wchar_t saved[32768];
    const DWORD length = GetEnvironmentVariableW(Name, saved, 32768);
    FHad = length > 0 && length < 32768;
    if (FHad) FSaved.assign(saved, length);
    SetEnvironmentVariableW(Name, Value.c_str());
  }
  ~EnvironmentVariable() { SetEnvironmentVariableW(FName, FHad ? FSaved.c_str() : nullptr); }
  EnvironmentVariable(const EnvironmentVariable&) = delete;
  EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
  const wchar_t* FName;
  bool FHad = false;
  wstring FSaved;
};

class UnicodePaths : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(EmptyTheClipboard()) << "the clipboard cannot be emptied";
    ProgramTest::SetUp();
    FUnicodeFolder = FFolder.Path() + L"\\" + FolderName;
    ASSERT_TRUE(CreateDirectoryW(FUnicodeFolder.c_str(), nullptr));
    FExport = FFolder.Write(wstring(FolderName) + L"\\Kontakte Dvo\u0159\u00E1k.csv", Export);
    // Folders of 60 characters until the file's name is well beyond 260.
    wstring folder = FUnicodeFolder;
    while (folder.size() < 300) {
      folder += L"\\" + wstring(59, L'l') + L"\u0142";
      ASSERT_TRUE(CreateDirectoryW(LongPath(folder).c_str(), nullptr));
    }
    FLongExport = FFolder.Write(folder.substr(FFolder.Path().size() + 1) + L"\\\u015F.csv", Export);
    ASSERT_GT(FLongExport.size(), 300u);
  }

  // Ctrl+V once Put has filled the clipboard; true when the caption and lines followed.
  void Paste(HWND Window, const std::function<bool()>& Put, const wstring& Caption,
             const std::vector<wstring>& Expected) {
    ASSERT_TRUE(SendBounded(Window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"vorher")));
    ASSERT_TRUE(SendBounded(ListBoxOf(Window), LB_RESETCONTENT, 0, 0));
    ASSERT_TRUE(Put());
    ASSERT_TRUE(PressChord(Window, {VK_CONTROL, 'V'}));
    EXPECT_TRUE(WaitForCaption(Window, Caption)) << WindowText(Window);
    EXPECT_TRUE(WaitFor([&] { return Lines(Window) == Expected; }));
    EXPECT_EQ(FProgram->MessageBox(), nullptr);
  }

  wstring FUnicodeFolder, FExport, FLongExport;
};

TEST_F(UnicodePaths, TheCommandLineOfTheWindowAndOfTheImporter) {
  for (const wstring& file : {FExport, FLongExport}) {
    SCOPED_TRACE(file.size());
    HWND window = Start(file);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowText(window), file);
    EXPECT_EQ(Lines(window), ExportLines);
    const wstring status = StatusText(window), counts = L"  1 Namen 1 Nummern gefunden.";
    EXPECT_EQ(status.substr(status.size() - std::min(status.size(), counts.size())), counts);
    const ImporterResult imported = RunImporter(FFolder, file);
    EXPECT_EQ(imported.Lines, ExportLines);
    EXPECT_EQ(imported.Summary, L"1 Namen 1 Nummern gefunden.");
  }
}

TEST_F(UnicodePaths, ADropAndEveryPaste) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window);
  for (const wstring& file : {FExport, FLongExport}) {
    SCOPED_TRACE(file.size());
    ASSERT_TRUE(SendBounded(list, LB_RESETCONTENT, 0, 0));
    EXPECT_EQ(DragAndDrop(list, {file}, DROPEFFECT_COPY), DROPEFFECT_NONE);
    EXPECT_TRUE(WaitForCaption(window, file));
    EXPECT_TRUE(WaitFor([&] { return Lines(window) == ExportLines; }));

    const struct {
      const char* Name;
      std::function<bool()> Put;
    } pastes[] = {
        {"a copied file", [&] { return PutClipboardFiles({file}); }},
        {"its path", [&] { return PutClipboardText(file); }},
        {"its path as \"copy as path\" gives it", [&] { return PutClipboardText(Quoted(file)); }},
        {"file:// and its path", [&] { return PutClipboardText(L"file://" + file); }},
        {"its file URI", [&] { return PutClipboardText(FileUri(file)); }},
    };
    for (const auto& paste : pastes) {
      SCOPED_TRACE(paste.Name);
      Paste(window, paste.Put, file, ExportLines);
    }
  }
  EXPECT_FALSE(Exists(PastedTextFile()));
}

TEST_F(UnicodePaths, TableTextWithTheTemporaryFolderUnderSuchAName) {
  const wstring temp = FUnicodeFolder + L"\\\u015Eeyma \u00D6zt\u00FCrk\\Temp";
  ASSERT_TRUE(
      CreateDirectoryW((FUnicodeFolder + L"\\\u015Eeyma \u00D6zt\u00FCrk").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const std::vector<wstring> table = {L"01712345678=Anna Berger", L"0301234567=Anna Berger",
                                      L"0897654321=J\u00FCrgen K\u00F6hler"};
  HWND window = nullptr;
  {
    const EnvironmentVariable tmp(L"TMP", temp), tempVariable(L"TEMP", temp);
    window = Start();
  }
  ASSERT_NE(window, nullptr);
  Paste(
      window, [] { return PutClipboardText(FromAnsi(SampleTable)); }, L"Zwischenablage", table);
  // The copy was made, imported and removed in the work folder under that name.
  EXPECT_TRUE(Exists(temp + L"\\QVTempDir"));
  EXPECT_FALSE(Exists(temp + L"\\QVTempDir\\clp.csv"));
}

} // namespace
