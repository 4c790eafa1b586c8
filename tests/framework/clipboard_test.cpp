#include "framework/clipboard.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "base/exceptions.h"

namespace {

class Clipboard : public testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override { OleUninitialize(); }

  // What a file manager puts on the clipboard for copied files: a DROPFILES block of UTF-16
  // names, each ended by a zero, the list by one more.
  static void PutFileList(const std::vector<std::u16string>& Names) {
    std::u16string list;
    for (const auto& name : Names)
      list += name + u'\0';
    list += u'\0';
    const size_t size = sizeof(DROPFILES) + list.size() * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, list.data(), list.size() * sizeof(char16_t));
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, memory);
    CloseClipboard();
  }

  static std::u16string UnicodeText() {
    std::u16string text;
    if (!OpenClipboard(nullptr)) return u"(not opened)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const char16_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }
};

TEST_F(Clipboard, TextRoundTripsAsAnsiAndReadsTheSameAsUnicode) {
  const struct {
    AnsiString Ansi;
    std::u16string Unicode;
  } cases[] = {
      {"", u""},
      {"0301234=J\xFCrgen M\xFCller\r\n", u"0301234=J\u00fcrgen M\u00fcller\r\n"},
      {"\x80 \x9F", u"\u20ac \u0178"},
  };
  for (const auto& c : cases) {
    SetClipboardText(nullptr, c.Ansi);
    EXPECT_EQ(ClipboardText(), c.Ansi);
    EXPECT_EQ(UnicodeText(), c.Unicode);
  }
}

// Text from a program of today keeps what the code page lacks; ANSI text alone is converted.
TEST_F(Clipboard, UnicodeTextAsItIsOrFromTheAnsiText) {
  const std::u16string unicode = u"C:\\Ay\u015Fe\\\U0001D11E.csv";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const size_t size = (unicode.size() + 1) * sizeof(char16_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 16); // larger than its text
  memcpy(GlobalLock(memory), unicode.c_str(), size);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
  EXPECT_EQ(ClipboardUnicodeText(), unicode);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const char text[] = "K\xE4se \x80";
  HGLOBAL ansi = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  memcpy(GlobalLock(ansi), text, sizeof text);
  GlobalUnlock(ansi);
  SetClipboardData(CF_TEXT, ansi);
  CloseClipboard();
  EXPECT_EQ(ClipboardUnicodeText(), u"K\u00E4se \u20AC");

  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(ClipboardUnicodeText(), u"");
}

// Another window holds the clipboard open for a while, as a program copying something does.
class TClipboardHolder {
public:
  explicit TClipboardHolder(DWORD Milliseconds)
      : FOpened(CreateEventA(nullptr, TRUE, FALSE, nullptr)), FThread([this, Milliseconds] {
          HWND window =
              CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
          const BOOL opened = OpenClipboard(window);
          SetEvent(FOpened);
          Sleep(Milliseconds);
          if (opened) CloseClipboard();
          DestroyWindow(window);
        }) {
    WaitForSingleObject(FOpened, 5000);
  }
  ~TClipboardHolder() {
    FThread.join();
    CloseHandle(FOpened);
  }

private:
  HANDLE FOpened;
  std::thread FThread;
};

TEST_F(Clipboard, HeldByAnotherWindowItIsWaitedForAboutASecondThenReportedInGerman) {
  SetClipboardText(nullptr, "vorher");
  {
    TClipboardHolder holder(300);
    EXPECT_EQ(ClipboardText(), "vorher");
  }
  TClipboardHolder holder(2500);
  const auto start = std::chrono::steady_clock::now();
  try {
    ClipboardText();
    ADD_FAILURE() << "the clipboard was opened while held";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Die Zwischenablage kann nicht ge\xF6"
                               "ffnet werden");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

// The names come as paths, with every letter of them.
TEST_F(Clipboard, FileListGivesTheNamesInOrderAndNothingWithoutOne) {
  PutFileList({u"C:\\Daten\\erste.csv", u"C:\\Daten\\zw\u00f6lf.csv",
               u"C:\\\u0141\u00F3d\u017A\\\U0001D11E \u0159.csv"});
  TStringList files;
  ClipboardFiles(files);
  ASSERT_EQ(files.Count(), 3);
  EXPECT_EQ(files[0], "C:\\Daten\\erste.csv");
  EXPECT_EQ(files[1], "C:\\Daten\\zw\xC3\xB6lf.csv");
  EXPECT_EQ(files[2], "C:\\\xC5\x81\xC3\xB3"
                      "d\xC5\xBA\\\xF0\x9D\x84\x9E \xC5\x99.csv");
  EXPECT_EQ(ClipboardText(), "");

  SetClipboardText(nullptr, "C:\\Daten\\erste.csv");
  ClipboardFiles(files);
  EXPECT_EQ(files.Count(), 0);
}

} // namespace
