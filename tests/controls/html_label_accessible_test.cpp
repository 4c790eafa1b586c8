#include "controls/html_label_accessible.h"

#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/html_label.h"
#include "framework/application.h"
#include "framework/form.h"
#include "framework/panel.h"
#include "framework/win_owners.h"

namespace {

VARIANT Id(long Child) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = Child;
  return child;
}

std::wstring Taken(BSTR Text) {
  std::wstring text = Text ? std::wstring(Text, SysStringLen(Text)) : std::wstring();
  SysFreeString(Text);
  return text;
}

// The label's object, asked for as a screen reader asks: the window's client object.
TComPtr<IAccessible> ClientObject(HWND Window) {
  TComPtr<IAccessible> object;
  EXPECT_EQ(AccessibleObjectFromWindow(Window, static_cast<DWORD>(OBJID_CLIENT), AccessibleIid,
                                       reinterpret_cast<void**>(object.Receive())),
            S_OK);
  return object;
}

// A label as the main window has it: top-aligned in a panel of a shown form, sizing itself.
struct TLabelWindow {
  explicit TLabelWindow(const AnsiString& Text) {
    Form.SetColor(clWhite);
    Form.SetClientSize(600, 400);
    Panel.SetBounds(0, 0, 600, 300);
    Label->SetAlign(alTop);
    Label->SetAutoSizing(true);
    Label->SetAutoSizeType(asBoth);
    Label->SetBorderWidth(6);
    Label->OnAnchorClick = [this](THTMLabel*, const AnsiString& Anchor) {
      Clicked.push_back(Anchor);
    };
    Label->SetHTMLText(Text);
    Form.Show();
    Label->Remeasure();
  }

  TOleInitialization Ole;
  TForm Form{"VoxaroAccessibleTest"};
  TPanel Panel{&Form};
  std::unique_ptr<THTMLabel> Label = std::make_unique<THTMLabel>(&Panel);
  std::vector<AnsiString> Clicked;
};

struct LinkExpected {
  std::wstring Name;
  long State;
  std::wstring Action;
};

struct TreeCase {
  const char* Name;
  AnsiString Text;
  std::wstring Expected;
  std::vector<LinkExpected> Links;
};

class AccessibleTree : public testing::TestWithParam<TreeCase> {};

TEST_P(AccessibleTree, IsAStaticTextNamedAsShownWithItsLinksAsChildren) {
  TLabelWindow window(GetParam().Text);
  const TComPtr<IAccessible> object = ClientObject(window.Panel.Handle());
  ASSERT_TRUE(object);
  VARIANT role;
  ASSERT_EQ(object->get_accRole(Id(CHILDID_SELF), &role), S_OK);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_STATICTEXT);
  BSTR name = nullptr;
  ASSERT_EQ(object->get_accName(Id(CHILDID_SELF), &name), S_OK);
  EXPECT_EQ(Taken(name), GetParam().Expected);
  long count = -1;
  ASSERT_EQ(object->get_accChildCount(&count), S_OK);
  ASSERT_EQ(count, static_cast<long>(GetParam().Links.size()));
  for (long child = 1; child <= count; ++child) {
    const LinkExpected& expected = GetParam().Links[static_cast<size_t>(child - 1)];
    SCOPED_TRACE(child);
    ASSERT_EQ(object->get_accRole(Id(child), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_LINK);
    ASSERT_EQ(object->get_accName(Id(child), &name), S_OK);
    EXPECT_EQ(Taken(name), expected.Name);
    VARIANT state;
    ASSERT_EQ(object->get_accState(Id(child), &state), S_OK);
    EXPECT_EQ(state.lVal, expected.State);
    BSTR action = nullptr;
    object->get_accDefaultAction(Id(child), &action);
    EXPECT_EQ(Taken(action), expected.Action);
    IDispatch* own = nullptr;
    EXPECT_EQ(object->get_accChild(Id(child), &own), S_FALSE) << "a simple element";
  }
  for (const long wrong : {count + 1, -3L})
    EXPECT_EQ(object->get_accName(Id(wrong), &name), E_INVALIDARG) << wrong;
}

const long Clickable = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;

INSTANTIATE_TEST_SUITE_P(
    HTMLabelAccessible, AccessibleTree,
    testing::Values(TreeCase{"NoLink",
                             "a <b>fett</b> &amp; M\xFCller &lt;x&gt;",
                             L"a fett & M\u00fcller <x>",
                             {}},
                    TreeCase{"CopyLink",
                             "ab  <A href=\"x\">Kopieren des Inhaltes</A>  <b>14</b> Namen",
                             L"ab  Kopieren des Inhaltes  14 Namen",
                             {{L"Kopieren des Inhaltes", Clickable, L"Klicken"}}},
                    // Only a link with a target takes the focus and can be pressed.
                    TreeCase{"FirstWithoutTarget",
                             "<a name=y>eins</a> <a href=\"x\">zwei</a>",
                             L"eins zwei",
                             {{L"eins", 0, L""}, {L"zwei", Clickable, L"Klicken"}}}),
    [](const testing::TestParamInfo<TreeCase>& Info) { return std::string(Info.param.Name); });

TEST(HTMLabelAccessible, PlacesAndHitsAreWhereTheLabelDrawsThem) {
  TLabelWindow window("ab <A href=\"x\">Kopieren des Inhaltes</A> cd");
  const TComPtr<IAccessible> object = ClientObject(window.Panel.Handle());
  ASSERT_TRUE(object);
  long left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(object->accLocation(&left, &top, &width, &height, Id(CHILDID_SELF)), S_OK);
  const TRect label = window.Label->ScreenRect();
  EXPECT_EQ((TRect{left, top, left + width, top + height}), label);
  ASSERT_EQ(object->accLocation(&left, &top, &width, &height, Id(1)), S_OK);
  const std::vector<TRect> link = window.Label->LinkScreenRects(0);
  ASSERT_EQ(link.size(), 1u);
  EXPECT_EQ((TRect{left, top, left + width, top + height}), link[0]);
  const struct {
    POINT Screen;
    HRESULT Result;
    VARTYPE Type;
    long Child;
  } hits[] = {{{left + width / 2, top + height / 2}, S_OK, VT_I4, 1},
              {{label.Left + 7, top + height / 2}, S_OK, VT_I4, CHILDID_SELF},
              {{label.Left + 7, label.Bottom + 5}, S_FALSE, VT_EMPTY, 0}};
  for (const auto& hit : hits) {
    VARIANT child;
    EXPECT_EQ(object->accHitTest(hit.Screen.x, hit.Screen.y, &child), hit.Result);
    EXPECT_EQ(child.vt, hit.Type);
    if (hit.Type == VT_I4) {
      EXPECT_EQ(child.lVal, hit.Child);
    }
  }
  const struct {
    long Direction;
    long Start;
    HRESULT Result;
    long Found;
  } moves[] = {{NAVDIR_FIRSTCHILD, CHILDID_SELF, S_OK, 1},
               {NAVDIR_LASTCHILD, CHILDID_SELF, S_OK, 1},
               {NAVDIR_NEXT, 1, S_FALSE, 0},
               {NAVDIR_PREVIOUS, 1, S_FALSE, 0},
               {NAVDIR_FIRSTCHILD, 1, E_INVALIDARG, 0}};
  for (const auto& move : moves) {
    VARIANT found;
    EXPECT_EQ(object->accNavigate(move.Direction, Id(move.Start), &found), move.Result)
        << move.Direction << " from " << move.Start;
    if (move.Result == S_OK) {
      EXPECT_EQ(found.lVal, move.Found);
    }
  }
  HWND own = nullptr;
  TComPtr<IOleWindow> oleWindow;
  ASSERT_EQ(object->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(oleWindow.Receive())),
            S_OK);
  EXPECT_EQ(oleWindow->GetWindow(&own), S_OK);
  EXPECT_EQ(own, window.Panel.Handle());
}

TEST(HTMLabelAccessible, TheLinkTakesTheFocusAndItsDefaultActionPressesItLater) {
  TLabelWindow window("ab <A href=\"x\">Kopieren des Inhaltes</A> cd");
  const TComPtr<IAccessible> object = ClientObject(window.Panel.Handle());
  ASSERT_TRUE(object);
  EXPECT_EQ(object->accSelect(SELFLAG_TAKESELECTION, Id(1)), DISP_E_MEMBERNOTFOUND);
  ASSERT_EQ(object->accSelect(SELFLAG_TAKEFOCUS, Id(1)), S_OK);
  EXPECT_EQ(GetFocus(), window.Panel.Handle());
  VARIANT state, focused;
  ASSERT_EQ(object->get_accState(Id(1), &state), S_OK);
  EXPECT_EQ(state.lVal, Clickable | STATE_SYSTEM_FOCUSED);
  ASSERT_EQ(object->get_accState(Id(CHILDID_SELF), &state), S_OK);
  EXPECT_EQ(state.lVal & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE), 0);
  EXPECT_NE(state.lVal & STATE_SYSTEM_READONLY, 0);
  ASSERT_EQ(object->get_accFocus(&focused), S_OK);
  EXPECT_EQ(focused.vt, VT_I4);
  EXPECT_EQ(focused.lVal, 1);
  // The caller is not kept waiting for what the press does.
  EXPECT_EQ(object->accDoDefaultAction(Id(1)), S_OK);
  EXPECT_TRUE(window.Clicked.empty());
  Application.ProcessMessages();
  EXPECT_EQ(window.Clicked, (std::vector<AnsiString>{"x"}));
}

TEST(HTMLabelAccessible, EveryCallFailsAsDisconnectedOnceTheLabelOrItsWindowIsGone) {
  const std::vector<std::pair<const char*, std::function<void(TLabelWindow&)>>> ends = {
      {"window closed", [](TLabelWindow& W) { W.Form.Close(); }},
      {"label freed", [](TLabelWindow& W) { W.Label.reset(); }},
  };
  for (const auto& end : ends) {
    SCOPED_TRACE(end.first);
    TLabelWindow window("<A href=\"x\">Kopieren des Inhaltes</A>");
    const TComPtr<IAccessible> object = ClientObject(window.Panel.Handle());
    ASSERT_TRUE(object);
    end.second(window);
    IAccessible* const a = object.Get();
    BSTR text = nullptr;
    VARIANT v;
    long n = 0, l = 0, t = 0, w = 0, h = 0;
    IDispatch* parent = nullptr;
    const std::pair<const char*, HRESULT> results[] = {
        {"get_accName", a->get_accName(Id(CHILDID_SELF), &text)},
        {"get_accRole", a->get_accRole(Id(1), &v)},
        {"get_accState", a->get_accState(Id(CHILDID_SELF), &v)},
        {"get_accChildCount", a->get_accChildCount(&n)},
        {"get_accParent", a->get_accParent(&parent)},
        {"get_accFocus", a->get_accFocus(&v)},
        {"get_accDefaultAction", a->get_accDefaultAction(Id(1), &text)},
        {"accLocation", a->accLocation(&l, &t, &w, &h, Id(CHILDID_SELF))},
        {"accHitTest", a->accHitTest(10, 10, &v)},
        {"accNavigate", a->accNavigate(NAVDIR_FIRSTCHILD, Id(CHILDID_SELF), &v)},
        {"accDoDefaultAction", a->accDoDefaultAction(Id(1))},
        {"accSelect", a->accSelect(SELFLAG_TAKEFOCUS, Id(1))},
    };
    for (const auto& result : results)
      EXPECT_EQ(result.second, RPC_E_DISCONNECTED) << result.first;
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(parent, nullptr);
    // Still an object to release, and the one it was.
    TComPtr<IUnknown> identity;
    EXPECT_EQ(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Receive())), S_OK);
    Application.ProcessMessages();
    EXPECT_TRUE(window.Clicked.empty());
  }
}

} // namespace
