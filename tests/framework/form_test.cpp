#include "framework/form.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/list_box.h"

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
