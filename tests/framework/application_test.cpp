#include "framework/application.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "framework/list_box.h"

namespace {

// Routes the error box into Errors; puts the application's settings back afterwards.
class ApplicationTest : public testing::Test {
protected:
  ApplicationTest() : FTitle(Application.Title()) {
    Application.OnException = [this](const AnsiString& Message) { Errors.push_back(Message); };
    List.SetAlign(alClient);
  }
  ~ApplicationTest() override {
    Application.OnException = nullptr;
    Application.SetTitle(FTitle);
  }

  void PressKey(WORD Key) {
    PostMessageA(List.Handle(), WM_KEYDOWN, Key, 1);
    Application.ProcessMessages();
  }

  std::vector<AnsiString> Errors;
  std::vector<AnsiString> Seen;
  TForm Form{"VoxaroKeyTest"};
  TListBox List{&Form};

private:
  AnsiString FTitle;
};

struct PreviewCase {
  const char* Name;
  bool Preview;
  bool FormClearsKey;
  std::vector<AnsiString> Expected;
};

class KeyPreview : public ApplicationTest, public testing::WithParamInterface<PreviewCase> {};

TEST_P(KeyPreview, FormSeesTheKeyFirstAndTheControlStillGetsIt) {
  Form.SetKeyPreview(GetParam().Preview);
  Form.OnKeyDown = [this](TControl* Sender, WORD& Key, TShiftState) {
    EXPECT_EQ(Sender, &Form);
    Seen.push_back("form " + std::to_string(Key));
    if (GetParam().FormClearsKey) Key = 0;
  };
  List.OnKeyDown = [this](TControl*, WORD& Key, TShiftState) {
    Seen.push_back("list " + std::to_string(Key));
  };
  PressKey('V');
  EXPECT_EQ(Seen, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Application, KeyPreview,
    testing::Values(PreviewCase{"On", true, false, {"form 86", "list 86"}},
                    PreviewCase{"OnAndCleared", true, true, {"form 86", "list 86"}},
                    PreviewCase{"Off", false, false, {"list 86"}}),
    [](const testing::TestParamInfo<PreviewCase>& Info) { return AnsiString(Info.param.Name); });

// As in a dialog: the key moves the focus and goes no further, the form's preview seeing it first.
TEST_F(ApplicationTest, TabMovesTheFocusAndReachesNoControl) {
  TListBox second(&Form);
  Form.Show();
  Form.SetKeyPreview(true);
  Form.OnKeyDown = [this](TControl*, WORD& Key, TShiftState) {
    Seen.push_back("form " + std::to_string(Key));
  };
  for (TListBox* list : {&List, &second})
    list->OnKeyDown = [this](TControl*, WORD& Key, TShiftState) {
      Seen.push_back("list " + std::to_string(Key));
    };
  List.SetFocus();
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), second.Handle());
  EXPECT_EQ(Seen, (std::vector<AnsiString>{"form 9"}));
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE));
}

TEST_F(ApplicationTest, ErrorsInHandlersReachTheErrorBoxAndTheProgramGoesOn) {
  Form.SetKeyPreview(true);
  Form.OnKeyDown = [](TControl*, WORD& Key, TShiftState) {
    if (Key == 'A') throw std::runtime_error("Vorschau kaputt");
  };
  List.OnKeyDown = [this](TControl*, WORD& Key, TShiftState) {
    if (Key == 'B') throw Exception("Try to read past eof");
    if (Key == 'D') throw std::bad_alloc();
    Seen.push_back("list " + std::to_string(Key));
  };
  PressKey('A');
  PressKey('B');
  PressKey('C');
  PressKey('D');
  EXPECT_EQ(Errors, (std::vector<AnsiString>{"Vorschau kaputt.", "Try to read past eof.",
                                             "Zu wenig Arbeitsspeicher."}));
  EXPECT_EQ(Seen, (std::vector<AnsiString>{"list 65", "list 67"}));
}

TEST_F(ApplicationTest, ApplicationWindowCarriesTheTitleAndOwnsTheFormsMadeAfterIt) {
  Application.CreateHandle();
  Application.SetTitle("TAPI Eigenes Telefonbuch erzeugen");
  const HWND window = Application.Handle();
  ASSERT_NE(window, nullptr);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "TAPI Eigenes Telefonbuch erzeugen");
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 0);
  EXPECT_EQ(rect.bottom - rect.top, 0);
  // A button in the taskbar: unowned, no tool window, a caption with the minimise command.
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  {
    TForm owned("VoxaroOwnedTest");
    EXPECT_EQ(GetWindow(owned.Handle(), GW_OWNER), window);
    EXPECT_EQ(GetWindowLongA(owned.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  }
  // The fixture's form came before the window: a button of its own.
  EXPECT_EQ(GetWindow(Form.Handle(), GW_OWNER), nullptr);
  EXPECT_NE(GetWindowLongA(Form.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  Application.DestroyHandle();
  EXPECT_EQ(Application.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(ApplicationTest, ErrorsInFormEventsReachTheErrorBox) {
  Form.OnCreate = [](TControl*) { throw Exception("OSError"); };
  Form.DoCreate();
  EXPECT_EQ(Errors, (std::vector<AnsiString>{"OSError."}));
}

TEST_F(ApplicationTest, ErrorBoxIsAStandardMessageBoxUnderTheTitle) {
  Application.OnException = nullptr;
  Application.SetTitle("Voxaro Fehlertest");
  std::atomic<bool> found{false};
  AnsiString text;
  std::thread closer([&] {
    for (int attempt = 0; attempt < 200 && !found; ++attempt) {
      Sleep(50);
      const HWND box = FindWindowA("#32770", "Voxaro Fehlertest");
      if (!box) continue;
      char buffer[256] = {};
      GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
      text = buffer;
      found = true;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  });
  Application.ShowException("Datei nicht lesbar");
  closer.join();
  EXPECT_TRUE(found);
  EXPECT_EQ(text, "Datei nicht lesbar.");
}

} // namespace
