// The window as a screen reader reads it from another process: the status line's accessible
// object and its link, the events the window raises for them, and a reference that outlives the
// window. The tree read after an import is printed, for whoever checks it by eye.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/e2e/e2e_accessible.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/e2e_input.h"
#include "tests/e2e/e2e_support.h"

namespace {

using namespace e2e;
using std::chrono::milliseconds;

const wchar_t LinkName[] = L"Kopieren des Inhaltes";

VARIANT Child(long Id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = Id;
  return child;
}

bool Inside(const RECT& Inner, const RECT& Outer) {
  return Inner.left >= Outer.left && Inner.top >= Outer.top && Inner.right <= Outer.right &&
         Inner.bottom <= Outer.bottom && Inner.right > Inner.left && Inner.bottom > Inner.top;
}

bool Same(const RECT& A, const RECT& B) {
  return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

void Print(const wchar_t* Title, const wstring& Text) {
  const wstring all = wstring(Title) + L":\n" + Text;
  const int size = WideCharToMultiByte(CP_UTF8, 0, all.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, all.c_str(), -1, &utf8[0], size, nullptr, nullptr);
  std::printf("%s", utf8.c_str());
  std::fflush(stdout);
}

wstring NameOf(IAccessible* Object) {
  return ReadElement(Object, CHILDID_SELF).Name;
}

class Accessibility : public ProgramTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(EmptyTheClipboard()) << "the clipboard cannot be emptied";
    ProgramTest::SetUp();
  }
};

TEST_F(Accessibility, TheStatusLineIsATextWhoseLinkIsNamedPlacedAndClicked) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  HWND status = StatusPanel(window);
  ASSERT_NE(status, nullptr);
  ComRef<IAccessible> object;
  ClientObject(status, object);
  ASSERT_TRUE(object) << "the status line gives no accessible object";
  RECT panel = {};
  GetWindowRect(status, &panel);

  AccessibleTree tree = ReadTree(object.Get());
  EXPECT_EQ(tree.Self.Result, S_OK);
  EXPECT_EQ(tree.Self.Role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(tree.Self.Name, FirstStatus);
  EXPECT_TRUE(Same(tree.Self.Location, panel)) << "the label fills its panel";
  EXPECT_TRUE(tree.Children.empty());

  // The same reference reads what the window shows after an import.
  ASSERT_TRUE(Paste(window, FKontakte));
  ASSERT_TRUE(WaitFor([&] { return NameOf(object.Get()) == KontakteStatus(); }));
  tree = ReadTree(object.Get());
  Print(L"accessibility tree of the status line after the import of kontakte.csv", Describe(tree));
  EXPECT_EQ(tree.Result, S_OK);
  EXPECT_EQ(tree.Self.Role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(tree.Self.Name, KontakteStatus());
  EXPECT_EQ(tree.Self.State & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED), 0);
  ASSERT_EQ(tree.ChildIds, std::vector<long>{1});
  const AccessibleElement& link = tree.Children[0];
  EXPECT_EQ(link.Result, S_OK);
  EXPECT_EQ(link.Role, ROLE_SYSTEM_LINK);
  EXPECT_EQ(link.Name, LinkName);
  EXPECT_EQ(link.State, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED);
  EXPECT_EQ(link.DefaultAction, L"Klicken");
  // Where it is drawn: every blue pixel of the status line lies inside the link's place.
  GetWindowRect(status, &panel);
  ASSERT_TRUE(Inside(link.Location, panel));
  const ScreenPixels pixels(panel);
  int blue = 0, outside = 0;
  for (LONG y = panel.top; y < panel.bottom; ++y)
    for (LONG x = panel.left; x < panel.right; ++x)
      if (pixels.At(x, y) == RGB(0, 0, 255)) {
        ++blue;
        if (!PtInRect(&link.Location, POINT{x, y})) ++outside;
      }
  EXPECT_GT(blue, 0);
  EXPECT_EQ(outside, 0);
  VARIANT hit;
  VariantInit(&hit);
  EXPECT_EQ(object->accHitTest((link.Location.left + link.Location.right) / 2,
                               (link.Location.top + link.Location.bottom) / 2, &hit),
            S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, 1);

  // The default action is a press on the link.
  const std::vector<wstring> lines = ListLines(ListBoxOf(window));
  ASSERT_TRUE(PutClipboardText(L"vorher"));
  EXPECT_EQ(object->accDoDefaultAction(Child(1)), S_OK);
  EXPECT_TRUE(WaitFor([&] { return ClipboardUnicodeText() == Joined(lines, true); }));
  EXPECT_TRUE(WaitFor([&] { return NameOf(object.Get()) == CopiedStatus; }));
  tree = ReadTree(object.Get());
  EXPECT_EQ(tree.Self.Role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_TRUE(tree.Children.empty());
  EXPECT_EQ(object->accDoDefaultAction(Child(1)), E_INVALIDARG) << "the link is gone";
  EXPECT_EQ(ListLines(ListBoxOf(window)), lines);
}

TEST_F(Accessibility, TheStatusLineTellsItsNewTextAndTheLinkItsFocus) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  HWND status = StatusPanel(window);
  WinEventRecorder names(EVENT_OBJECT_NAMECHANGE, FProgram->Id());
  WinEventRecorder focus(EVENT_OBJECT_FOCUS, FProgram->Id());
  ASSERT_TRUE(names.Hooked() && focus.Hooked());
  const auto named = [&] { return names.Count(status, OBJID_CLIENT, CHILDID_SELF) > 0; };
  ASSERT_TRUE(Paste(window, FKontakte));
  EXPECT_TRUE(WaitFor(named, milliseconds(5000))) << "no name change after the import";
  // Read as a screen reader does when the event comes: from the event's window and ids.
  ComRef<IAccessible> object;
  VARIANT child;
  VariantInit(&child);
  ASSERT_EQ(AccessibleObjectFromEvent(status, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      reinterpret_cast<IAccessible**>(object.Receive()), &child),
            S_OK);
  EXPECT_EQ(NameOf(object.Get()), KontakteStatus());

  ASSERT_TRUE(PressChord(window, {VK_TAB}));
  EXPECT_TRUE(WaitFor([&] { return focus.Count(status, OBJID_CLIENT, 1) > 0; }, milliseconds(5000)))
      << "no focus event for the link";
  names.Clear();
  ASSERT_TRUE(PressChord(window, {VK_RETURN}));
  EXPECT_TRUE(WaitFor(named, milliseconds(5000))) << "no name change after the copy";
  EXPECT_EQ(NameOf(object.Get()), CopiedStatus);
}

TEST_F(Accessibility, AReferenceHeldAfterTheWindowClosedFailsCleanly) {
  HWND window = Start(FKontakte);
  ASSERT_NE(window, nullptr);
  ComRef<IAccessible> object;
  ClientObject(StatusPanel(window), object);
  ASSERT_TRUE(object);
  ASSERT_EQ(NameOf(object.Get()), KontakteStatus());
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(FProgram->Ended(10000)) << "the program did not end";
  // Each call comes back, and with a failure that tells the object is gone.
  const auto gone = [](HRESULT Result) {
    return Result == RPC_E_DISCONNECTED || Result == CO_E_OBJNOTCONNECTED ||
           Result == RPC_E_SERVER_DIED || Result == RPC_E_SERVER_DIED_DNE ||
           Result == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           Result == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
  };
  BSTR name = nullptr;
  const HRESULT read = object->get_accName(Child(CHILDID_SELF), &name);
  EXPECT_TRUE(gone(read)) << std::hex << read;
  EXPECT_EQ(name, nullptr);
  long count = -1;
  const HRESULT counted = object->get_accChildCount(&count);
  EXPECT_TRUE(gone(counted)) << std::hex << counted;
  const HRESULT pressed = object->accDoDefaultAction(Child(1));
  EXPECT_TRUE(gone(pressed)) << std::hex << pressed;
  std::printf("calls after the window closed: get_accName 0x%08lx, get_accChildCount 0x%08lx, "
              "accDoDefaultAction 0x%08lx\n",
              static_cast<unsigned long>(read), static_cast<unsigned long>(counted),
              static_cast<unsigned long>(pressed));
  object.Reset();
}

} // namespace
