// The window without a mouse, as real key presses drive it: Tab and Shift+Tab between the list
// and the status line's link, Enter and Space on the link, and the focus rectangle the link shows
// while it has the focus (Ctrl+C in the list is among the actions' tests).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/e2e_accessible.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;
using std::chrono::milliseconds;

class Keyboard : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(EmptyTheClipboard()) << "the clipboard cannot be emptied";
    ProgramTest::SetUp();
  }

  bool FocusComesTo(HWND Window, HWND Expected) {
    return WaitFor([&] { return FocusOf(Window) == Expected; }, milliseconds(5000));
  }
};

TEST_F(Keyboard, TabAndShiftTabMoveBetweenTheListAndTheLinkWhileThereIsOne) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window), status = StatusPanel(window);
  ASSERT_TRUE(FocusComesTo(window, list));
  for (const auto& chord : {std::vector<WORD>{VK_TAB}, std::vector<WORD>{VK_SHIFT, VK_TAB}}) {
    ASSERT_TRUE(PressChord(window, chord));
    EXPECT_EQ(FocusOf(window), list) << "no link yet: the focus stays in the list";
  }
  ASSERT_TRUE(Paste(window, FKontakte));
  const std::vector<wstring> lines = ListLines(list);
  ASSERT_TRUE(PutClipboardText(L"vorher"));
  const struct {
    const char* Name;
    std::vector<WORD> Chord;
    HWND Focus;
  } steps[] = {
      {"Tab to the link", {VK_TAB}, status},
      {"Tab back round to the list", {VK_TAB}, list},
      {"Shift+Tab to the link", {VK_SHIFT, VK_TAB}, status},
      {"Shift+Tab back to the list", {VK_SHIFT, VK_TAB}, list},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Name);
    ASSERT_TRUE(PressChord(window, step.Chord));
    EXPECT_TRUE(FocusComesTo(window, step.Focus));
  }
  // Moving the focus does nothing else.
  EXPECT_EQ(StatusText(window), KontakteStatus());
  EXPECT_EQ(ListLines(list), lines);
  EXPECT_EQ(ClipboardUnicodeText(), L"vorher");
}

TEST_F(Keyboard, EnterOrSpaceOnTheLinkCopiesAllLinesAndTheFocusGoesBackToTheList) {
  for (const WORD key : {WORD{VK_RETURN}, WORD{VK_SPACE}}) {
    SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Space");
    HWND window = Start(FKontakte);
    ASSERT_NE(window, nullptr);
    HWND list = ListBoxOf(window), status = StatusPanel(window);
    const std::vector<wstring> lines = ListLines(list);
    ASSERT_FALSE(lines.empty());
    ASSERT_TRUE(PutClipboardText(L"vorher"));
    ASSERT_TRUE(PressChord(window, {VK_TAB}));
    ASSERT_TRUE(FocusComesTo(window, status));
    ASSERT_TRUE(PressChord(window, {key}));
    EXPECT_TRUE(WaitFor([&] { return ClipboardUnicodeText() == Joined(lines, true); }));
    EXPECT_TRUE(WaitFor([&] { return StatusText(window) == CopiedStatus; }));
    EXPECT_TRUE(FocusComesTo(window, list));
    EXPECT_EQ(ListLines(list), lines);
    // The link is gone, and with it the other stop.
    ASSERT_TRUE(PressChord(window, {VK_TAB}));
    EXPECT_EQ(FocusOf(window), list);
  }
}

TEST_F(Keyboard, TheFocusRectangleIsOnTheLinkOnlyWhileItHasTheFocus) {
  HWND window = Start(FKontakte);
  ASSERT_NE(window, nullptr);
  HWND list = ListBoxOf(window), status = StatusPanel(window);
  ComRef<IAccessible> object;
  ClientObject(status, object);
  ASSERT_TRUE(object);
  const auto link = [&] { return ReadElement(object.Get(), 1).Location; };
  // The dotted frame just beside the link's text, left and right: about every other pixel dark
  // in the columns that are blank otherwise.
  const auto dark = [](const RECT& Link) {
    const ScreenPixels pixels({Link.left - 2, Link.top, Link.right + 2, Link.bottom});
    return std::min(pixels.DarkInColumn(Link.left - 1, Link.top, Link.bottom),
                    pixels.DarkInColumn(Link.right, Link.top, Link.bottom));
  };
  const auto framed = [&](const RECT& Link) {
    return WaitFor([&] { return dark(Link) >= (Link.bottom - Link.top) / 3; }, milliseconds(3000));
  };
  const auto plain = [&](const RECT& Link) {
    return WaitFor([&] { return dark(Link) == 0; }, milliseconds(3000));
  };

  const RECT wide = link();
  ASSERT_GT(wide.bottom - wide.top, 0);
  EXPECT_TRUE(plain(wide)) << "a frame while the list has the focus";
  ASSERT_TRUE(PressChord(window, {VK_TAB}));
  ASSERT_TRUE(FocusComesTo(window, status));
  EXPECT_TRUE(framed(wide)) << "no frame around the focused link";
  SaveScreenshot(window, "link-focused");

  // Narrower, the status line wraps and the link moves; the frame goes with it.
  RECT frame = {};
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left - 330, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_ASYNCWINDOWPOS);
  RECT narrow = wide;
  ASSERT_TRUE(WaitFor([&] { return (narrow = link()).top != wide.top; }, milliseconds(5000)))
      << "the link did not move";
  EXPECT_EQ(FocusOf(window), status);
  EXPECT_TRUE(framed(narrow)) << "the frame did not follow the link";
  SaveScreenshot(window, "link-focused-narrowed");

  ASSERT_TRUE(PressChord(window, {VK_SHIFT, VK_TAB}));
  ASSERT_TRUE(FocusComesTo(window, list));
  EXPECT_TRUE(plain(narrow)) << "the frame stayed after the focus left";
}

} // namespace
