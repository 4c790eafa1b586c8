#include "framework/form.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/list_box.h"
#include "framework/panel.h"

namespace {

TEST(Form, ClientSizeIsExactWithTheChosenFrame) {
  TForm form("VoxaroFormTest");
  form.SetBorderStyle(bsSizeable);
  form.SetBorderIcons(biSystemMenu);
  form.SetClientSize(624, 644);
  EXPECT_EQ(form.ClientWidth(), 624);
  EXPECT_EQ(form.ClientHeight(), 644);
  const LONG style = GetWindowLongA(form.Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_SYSMENU | WS_CAPTION),
            WS_THICKFRAME | WS_SYSMENU | WS_CAPTION);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  form.SetBorderStyle(bsSingle);
  EXPECT_EQ(GetWindowLongA(form.Handle(), GWL_STYLE) & WS_THICKFRAME, 0);
  EXPECT_EQ(form.ClientWidth(), 624);
  EXPECT_EQ(form.ClientHeight(), 644);
}

TEST(Form, FirstShowResizesCentresShowsAndFocusesTheActiveControl) {
  TForm form("VoxaroFormTest");
  TListBox list(&form);
  list.SetAlign(alClient);
  form.SetClientSize(300, 200);
  form.SetPosition(poScreenCenter);
  form.SetActiveControl(&list);
  std::vector<AnsiString> events;
  form.OnResize = [&](TControl*) { events.push_back("resize"); };
  form.OnShow = [&](TControl*) {
    events.push_back(IsWindowVisible(form.Handle()) ? "show, visible" : "show");
  };
  form.Show();
  form.Show();
  EXPECT_EQ(events, (std::vector<AnsiString>{"resize", "show"}));
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  EXPECT_EQ(form.Left(), (GetSystemMetrics(SM_CXSCREEN) - form.Width()) / 2);
  EXPECT_EQ(form.Top(), (GetSystemMetrics(SM_CYSCREEN) - form.Height()) / 2);
  SetFocus(form.Handle());
  EXPECT_EQ(GetFocus(), list.Handle());
  form.SetClientSize(320, 200);
  EXPECT_EQ(events.back(), "resize");
}

// A shown form with three lists, the middle one inside a panel; all three tab stops.
class TabOrder : public testing::Test {
protected:
  TabOrder() {
    for (TControl* control : std::vector<TControl*>{&First, &Panel, &Last})
      control->SetBounds(0, 0, 100, 50);
    Middle.SetBounds(0, 0, 100, 50);
    Form.Show();
  }

  TForm Form{"VoxaroFormTest"};
  TListBox First{&Form};
  TPanel Panel{&Form};
  TListBox Middle{&Panel};
  TListBox Last{&Form};
};

TEST_F(TabOrder, GoesRoundTheTabStopsInTheOrderTheyWereMade) {
  EXPECT_EQ(Form.FindNextControl(&First, true), &Middle);
  EXPECT_EQ(Form.FindNextControl(&Middle, true), &Last);
  EXPECT_EQ(Form.FindNextControl(&Last, true), &First);
  EXPECT_EQ(Form.FindNextControl(&First, false), &Last);
  EXPECT_EQ(Form.FindNextControl(&Form, true), &First);
  EXPECT_EQ(Form.FindNextControl(&Form, false), &Last);
  // Hidden, disabled and plain windows are passed over; the only stop left finds itself.
  Middle.SetVisible(false);
  EnableWindow(Last.Handle(), FALSE);
  EXPECT_EQ(Form.FindNextControl(&First, true), &First);
  First.SetTabStop(false);
  EXPECT_EQ(Form.FindNextControl(&First, true), nullptr);
  EXPECT_FALSE(Form.SelectNext(&First, true));
}

TEST_F(TabOrder, TabKeysMoveTheFocusAndTheActiveControlFollowsIt) {
  First.SetFocus();
  const struct {
    TShiftState Shift;
    bool Moves;
    TListBox* Focus;
  } keys[] = {{0, true, &Middle},
              {0, true, &Last},
              {ssShift, true, &Middle},
              {ssCtrl, false, &Middle},
              {ssAlt, false, &Middle}};
  for (const auto& key : keys) {
    const MSG tab = {GetFocus(), WM_KEYDOWN, VK_TAB, 1, 0, {}};
    EXPECT_EQ(Form.DialogKey(tab, key.Shift), key.Moves);
    EXPECT_EQ(GetFocus(), key.Focus->Handle());
    EXPECT_EQ(Form.ActiveControl(), key.Focus);
  }
  // The form gives the focus back where it was.
  SetFocus(Form.Handle());
  EXPECT_EQ(GetFocus(), Middle.Handle());
  const MSG other = {GetFocus(), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
  EXPECT_FALSE(Form.DialogKey(other, 0));
}

TEST_F(TabOrder, AWindowThatTakesTabItselfKeepsIt) {
  HWND edit =
      CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE, 0, 0, 100,
                      50, Form.Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  SetFocus(edit);
  const MSG tab = {edit, WM_KEYDOWN, VK_TAB, 1, 0, {}};
  EXPECT_FALSE(Form.DialogKey(tab, 0));
  EXPECT_EQ(GetFocus(), edit);
  DestroyWindow(edit);
}

TEST_F(TabOrder, LeavingTheTabOrderWithTheFocusHandsItOn) {
  Middle.SetFocus();
  Middle.SetTabStop(false);
  EXPECT_FALSE(Middle.TabStop());
  EXPECT_EQ(GetFocus(), Last.Handle());
  EXPECT_EQ(Form.ActiveControl(), &Last);
  // Only child windows: a top-level window has its maximise box in that bit.
  const LONG style = GetWindowLongA(Form.Handle(), GWL_STYLE);
  Form.SetTabStop(true);
  EXPECT_EQ(GetWindowLongA(Form.Handle(), GWL_STYLE), style);
  EXPECT_FALSE(Form.TabStop());
}

LRESULT CALLBACK ForeignProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return DefWindowProcA(Window, Msg, WParam, LParam);
}

// Kept, a class of the form's name with another procedure would never hand the form its window.
TEST(Form, ClassOfAnotherProcedureIsReplaced) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  const char* const name = "VoxaroForeignForm";
  UnregisterClassA(name, instance);
  WNDCLASSA foreign = {};
  foreign.lpfnWndProc = ForeignProc;
  foreign.hInstance = instance;
  foreign.lpszClassName = name;
  ASSERT_NE(RegisterClassA(&foreign), 0);

  TForm form(name);
  ASSERT_NE(form.Handle(), nullptr);
  EXPECT_EQ(TWindow::FromHandle(form.Handle()), &form);
  WNDCLASSA found = {};
  ASSERT_TRUE(GetClassInfoA(instance, name, &found));
  EXPECT_NE(found.lpfnWndProc, ForeignProc);
  EXPECT_EQ(found.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
}

TEST(Form, CloseDestroysTheWindow) {
  TForm form("VoxaroFormTest");
  TListBox list(&form);
  form.Close();
  EXPECT_EQ(form.Handle(), nullptr);
  EXPECT_EQ(list.Handle(), nullptr);
  EXPECT_EQ(list.Items().Count(), 0);
}

} // namespace
