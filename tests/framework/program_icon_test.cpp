// Every window with a button of its own shows the program's icon: the forms in their title bar,
// the application window in the taskbar and in Alt+Tab.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/application.h"
#include "framework/window.h"
#include "tests/icons.h"

namespace {

// Both sizes of Window's icon are the program's icon at the size the system shows them.
void ExpectProgramIcon(HWND Window) {
  const struct {
    const char* Name;
    WPARAM Kind;
    int Width;
  } kinds[] = {
      {"large", ICON_BIG, GetSystemMetrics(SM_CXICON)},
      {"small", ICON_SMALL, GetSystemMetrics(SM_CXSMICON)},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.Name);
    const TIconPixels shown = WindowIconPixels(Window, kind.Kind);
    ASSERT_FALSE(shown.Pixels.empty()) << "no icon of this size";
    EXPECT_EQ(shown.Width, kind.Width);
    EXPECT_EQ(shown.Height, kind.Width);
    const TIconPixels program = ResourceIconPixels(ProgramIconName, kind.Kind);
    ASSERT_FALSE(program.Pixels.empty()) << "the test program lacks the icon resource";
    EXPECT_TRUE(shown.Pixels == program.Pixels) << "another picture than the program's icon";
    EXPECT_FALSE(shown.Pixels == GenericIconPixels(kind.Kind).Pixels) << "the generic icon";
  }
}

TEST(ProgramIcon, FormsShowItInBothSizes) {
  TForm form("VoxaroIconTest");
  ExpectProgramIcon(form.Handle());
}

TEST(ProgramIcon, ApplicationWindowShowsItInTheTaskbar) {
  Application.CreateHandle();
  ExpectProgramIcon(Application.Handle());
  Application.DestroyHandle();
}

} // namespace
