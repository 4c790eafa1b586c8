#pragma once
// The set-up the end-to-end tests of the user's actions share: a folder of their own holding three
// small inputs, and voxaro.exe started on one of them.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace e2e {

// Table text as a spreadsheet copies it (Windows-1252), and a second small export.
extern const std::string SampleTable;
extern const std::string SampleOther;
// The status line as the window shows it at start and after all lines were copied.
extern const wchar_t FirstStatus[];
extern const wchar_t CopiedStatus[];
// The status line after an import of examples/kontakte.csv.
wstring KontakteStatus();

// Lines joined as the copy of all lines (a line break after each) or of one line gives them.
wstring Joined(const std::vector<wstring>& Lines, bool BreakAfterEach);

inline wstring Quoted(const wstring& Path) {
  return L"\"" + Path + L"\"";
}
// Where the window writes pasted text: "clp.csv" in the work folder under the temporary folder.
wstring WorkFolder();
wstring PastedTextFile();
bool Exists(const wstring& Path);

class ProgramTest : public testing::Test {
protected:
  // The inputs in the folder; no pasted-text copy left from before. The clipboard is the
  // subclass's to set.
  void SetUp() override;

  // Starts the program with File (none when empty) and waits until its import has shown.
  HWND Start(const wstring& File = L"");
  // Imports File with Ctrl+V of its path, as a user pastes it; false when its caption does not
  // come.
  bool Paste(HWND Window, const wstring& File);
  bool WaitForCaption(HWND Window, const wstring& Caption,
                      std::chrono::milliseconds Timeout = std::chrono::milliseconds(10000));

  TempFolder FFolder;
  wstring FTable, FOther, FKontakte;
  std::unique_ptr<VoxaroProcess> FProgram;
};

} // namespace e2e
