#include "controls/html_label.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "framework/form.h"
#include "framework/panel.h"
#include "framework/win_owners.h"

namespace {

// Records the targets the shell would have opened.
class TRecordingLabel : public THTMLabel {
public:
  using THTMLabel::THTMLabel;
  std::vector<AnsiString> Opened;

protected:
  void OpenTarget(const AnsiString& Target) override { Opened.push_back(Target); }
};

// The label as the main window has it: top-aligned in a panel, sizing itself, 6-pixel border.
class HTMLabelTest : public testing::Test {
protected:
  HTMLabelTest() {
    Form.SetColor(clWhite);
    Form.SetClientSize(600, 400);
    // Not aligned, so that it can be narrower than a top-level window may be.
    Panel.SetBounds(0, 0, 600, 300);
    Label.SetAlign(alTop);
    Label.SetAutoSizing(true);
    Label.SetAutoSizeType(asBoth);
    Label.SetBorderWidth(6);
    Label.OnAnchorClick = [this](THTMLabel* Sender, const AnsiString& Anchor) {
      EXPECT_EQ(Sender, &Label);
      Clicked.push_back(Anchor);
    };
  }

  // Measured here with GDI directly, in the form's font.
  static TSize Extent(const AnsiString& Text, bool Bold = false) {
    TWindowDC dc(nullptr);
    TFontHandle font = TFont().CreateHandle(TFontStyles{Bold, false});
    TSelectObject selection(dc.Get(), font.Get());
    SIZE size = {};
    GetTextExtentPoint32A(dc.Get(), Text.data(), static_cast<int>(Text.size()), &size);
    return TSize{size.cx, size.cy};
  }

  void SetWidth(int Width) {
    Panel.SetBounds(0, 0, Width, 300);
    Label.Remeasure();
  }

  // The middle of the first piece of the link, in the panel's client coordinates.
  POINT LinkPoint() const {
    const THTMLLayout layout = Label.CurrentLayout();
    for (const THTMLPiece& piece : layout.Pieces) {
      if (piece.Link < 0) continue;
      const THTMLLine& line = layout.Lines[static_cast<size_t>(piece.Line)];
      return POINT{Label.Left() + piece.Left + piece.Width / 2,
                   Label.Top() + line.Top + line.Height - line.GhHeight / 2};
    }
    ADD_FAILURE() << "no link";
    return POINT{0, 0};
  }

  void Send(UINT Msg, WPARAM Keys, POINT Point) {
    SendMessageA(Panel.Handle(), Msg, Keys, MAKELPARAM(Point.x, Point.y));
  }

  TForm Form{"VoxaroLabelTest"};
  TPanel Panel{&Form};
  TRecordingLabel Label{&Panel};
  std::vector<AnsiString> Clicked;
};

const char* const LongText =
    "Eine beliebige CSV Datei auf dieses Fenster ziehen oder mit Strg und V eine Datei oder "
    "einen Inhalt einf\xFC"
    "gen und dann die Zeilen kopieren";

TEST_F(HTMLabelTest, EmptyTextIsOneGhHeightPlusSix) {
  Label.SetHTMLText("");
  Label.Remeasure();
  EXPECT_EQ(Label.Height(), Extent("gh").cy + 6);
}

TEST_F(HTMLabelTest, HeightFollowsTheLinesWhenNarrowedAndWidened) {
  Label.SetHTMLText(LongText);
  const int gh = Extent("gh").cy;
  SetWidth(2 * Extent(LongText).cx);
  EXPECT_EQ(Label.Height(), gh + 6);
  SetWidth(Extent(LongText).cx / 2);
  const int narrow = Label.Height();
  EXPECT_GE(narrow, 2 * gh + 6);
  EXPECT_EQ((narrow - 6) % gh, 0);
  EXPECT_EQ(Label.CurrentLayout().Lines.size(), static_cast<size_t>((narrow - 6) / gh));
  SetWidth(Extent(LongText).cx / 4);
  EXPECT_GT(Label.Height(), narrow);
  SetWidth(2 * Extent(LongText).cx);
  EXPECT_EQ(Label.Height(), gh + 6);
  EXPECT_EQ(Label.Width(), Panel.Width());
}

TEST_F(HTMLabelTest, BoldWordKeepsItsSpaceWhenTheSpaceOverflows) {
  Label.SetHTMLText("<b>Strg+V</b> eine");
  // Room for the bold word within the border, not for the space after it.
  SetWidth(12 + Extent("Strg+V", true).cx + 1);
  const THTMLLayout layout = Label.CurrentLayout();
  std::vector<AnsiString> lines(layout.Lines.size());
  for (const THTMLPiece& piece : layout.Pieces)
    lines[static_cast<size_t>(piece.Line)] += piece.Text;
  EXPECT_EQ(lines, (std::vector<AnsiString>{"Strg+V ", "eine"}));
}

TEST_F(HTMLabelTest, TextStartsInsideTheBorder) {
  Label.SetHTMLText("abc");
  Label.Remeasure();
  const THTMLLayout layout = Label.CurrentLayout();
  ASSERT_FALSE(layout.Pieces.empty());
  EXPECT_EQ(layout.Pieces[0].Left, 6);
  EXPECT_EQ(layout.Lines[0].Top, 6);
}

TEST_F(HTMLabelTest, AnchorAtFindsTheLinkOnly) {
  Label.SetHTMLText("ab <A href=\"x\">Kopieren des Inhaltes</A> cd");
  Label.Remeasure();
  const POINT link = LinkPoint();
  EXPECT_EQ(Label.AnchorAt(link.x - Label.Left(), link.y - Label.Top()), "x");
  EXPECT_EQ(Label.AnchorAt(7, link.y - Label.Top()), "");
  EXPECT_EQ(Label.AnchorAt(link.x - Label.Left(), Label.Height() + 20), "");
}

TEST_F(HTMLabelTest, PanelTextIsThePlainText) {
  Label.SetHTMLText("a <b>fett</b> &amp; <A href=\"x\">Link</A> M\xFCller");
  EXPECT_EQ(Panel.Text(), "a fett & Link M\xFCller");
  Label.HTMLText().Add(" mehr");
  EXPECT_EQ(Panel.Text(), "a fett & Link M\xFCller mehr");
}

struct PressCase {
  const char* Name;
  UINT Down, Up;
  WPARAM Keys;
};

class HTMLabelPress : public HTMLabelTest, public testing::WithParamInterface<PressCase> {};

TEST_P(HTMLabelPress, OnTheLinkRaisesOnAnchorClickOnThePress) {
  Label.SetHTMLText("ab <A href=\"x\">Kopieren des Inhaltes</A> cd");
  Label.Remeasure();
  const POINT link = LinkPoint();
  Send(GetParam().Down, GetParam().Keys, link);
  EXPECT_EQ(Clicked, (std::vector<AnsiString>{"x"}));
  Send(GetParam().Up, 0, link);
  EXPECT_EQ(Clicked.size(), 1u);
  Send(GetParam().Down, GetParam().Keys, POINT{Label.Left() + 7, link.y});
  Send(GetParam().Up, 0, POINT{Label.Left() + 7, link.y});
  EXPECT_EQ(Clicked.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, HTMLabelPress,
    testing::Values(PressCase{"Left", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
                    PressCase{"Right", WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
                    PressCase{"Middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON}),
    [](const testing::TestParamInfo<PressCase>& Info) { return AnsiString(Info.param.Name); });

TEST_F(HTMLabelTest, AddressTargetsGoToTheShell) {
  for (const AnsiString target : {"http://example.com/", "mailto:info@example.com"}) {
    Label.SetHTMLText("<A href=\"" + target + "\">Seite</A>");
    Label.Remeasure();
    const POINT link = LinkPoint();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, link);
    Send(WM_LBUTTONUP, 0, link);
  }
  EXPECT_TRUE(Clicked.empty());
  EXPECT_EQ(Label.Opened,
            (std::vector<AnsiString>{"http://example.com/", "mailto:info@example.com"}));
}

TEST_F(HTMLabelTest, MovingOverTheLinkShowsTheHandAndRaisesEnterAndExit) {
  std::vector<AnsiString> events;
  Label.OnAnchorEnter = [&](THTMLabel*, const AnsiString& Anchor) {
    events.push_back("enter " + Anchor);
  };
  Label.OnAnchorExit = [&](THTMLabel*, const AnsiString& Anchor) {
    events.push_back("exit " + Anchor);
  };
  Label.SetHTMLText("ab <A href=\"x\">Kopieren des Inhaltes</A> cd");
  Label.Remeasure();
  const POINT link = LinkPoint();
  Send(WM_MOUSEMOVE, 0, link);
  EXPECT_EQ(Label.Cursor(), crHandPoint);
  Send(WM_MOUSEMOVE, 0, POINT{link.x + 1, link.y});
  Send(WM_MOUSEMOVE, 0, POINT{Label.Left() + 7, link.y});
  EXPECT_EQ(Label.Cursor(), crDefault);
  EXPECT_EQ(events, (std::vector<AnsiString>{"enter x", "exit x"}));
}

// The label painted into a bitmap of its size, read back pixel by pixel.
class TPainted {
public:
  explicit TPainted(THTMLabel& Label)
      : FScreen(nullptr), FDC(CreateCompatibleDC(FScreen.Get())),
        FBitmap(CreateCompatibleBitmap(FScreen.Get(), Label.Width(), Label.Height())),
        FOld(SelectObject(FDC, FBitmap)) {
    Label.Paint(FDC);
  }
  ~TPainted() {
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    DeleteDC(FDC);
  }
  COLORREF At(int X, int Y) const { return GetPixel(FDC, X, Y); }
  bool Holds(const RECT& Rect, COLORREF Color) const {
    for (int y = Rect.top; y < Rect.bottom; ++y)
      for (int x = Rect.left; x < Rect.right; ++x)
        if (At(x, y) == Color) return true;
    return false;
  }

private:
  TWindowDC FScreen;
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
};

TEST_F(HTMLabelTest, AssignedListBecomesOneLineWithoutLineBreaks) {
  TStringList list;
  list.Add("a <b>fett</b>");
  list.Add(" b\rc\nd");
  Label.SetHTMLText(list);
  EXPECT_EQ(Label.HTMLText().Count(), 1);
  EXPECT_EQ(Label.DisplayText(), "a <b>fett</b> bcd");
  EXPECT_EQ(Panel.Text(), "a fett bcd");
  Label.SetHTMLText(Label.HTMLText());
  EXPECT_EQ(Label.DisplayText(), "a <b>fett</b> bcd");
}

TEST_F(HTMLabelTest, BevelsAndASingleBorderFrameTheTextAndAreDrawn) {
  Label.SetHTMLText("abc");
  Label.SetBorderStyle(TBorderStyle::Single);
  Label.SetBevelOuter(bvRaised);
  Label.SetBevelInner(bvLowered);
  Label.SetBevelWidth(2);
  Label.Remeasure();
  // Colour band 6, bevels 2 and 2, black band 6.
  const THTMLLayout layout = Label.CurrentLayout();
  ASSERT_FALSE(layout.Pieces.empty());
  EXPECT_EQ(layout.Pieces[0].Left, 16);
  EXPECT_EQ(layout.Lines[0].Top, 16);
  // The added 6 stays 6 whatever the frame.
  EXPECT_EQ(Label.Height(), Extent("gh").cy + 6);
  Label.SetAutoSizing(false);
  Label.SetAlign(alNone);
  Label.SetBounds(0, 0, 200, 60);
  Label.SetColor(static_cast<TColor>(RGB(200, 220, 240)));
  const TPainted painted(Label);
  EXPECT_EQ(painted.At(2, 30), RGB(200, 220, 240));
  EXPECT_EQ(painted.At(6, 30), ColorToRGB(clBtnHighlight)); // outer raised: light left edge
  EXPECT_EQ(painted.At(193, 30), ColorToRGB(clBtnShadow));  // and dark right edge
  EXPECT_EQ(painted.At(8, 30), ColorToRGB(clBtnShadow));    // inner lowered: dark left edge
  EXPECT_EQ(painted.At(12, 30), RGB(0, 0, 0));              // the black band
  EXPECT_EQ(painted.At(187, 30), RGB(0, 0, 0));
}

TEST_F(HTMLabelTest, EllipsisKeepsOneLineAndEndsItWithDots) {
  Label.SetHTMLText(LongText);
  Label.SetEllipsis(true);
  SetWidth(Extent(LongText).cx / 3);
  const THTMLLayout layout = Label.CurrentLayout();
  ASSERT_EQ(layout.Lines.size(), 1u);
  ASSERT_FALSE(layout.Pieces.empty());
  const AnsiString& last = layout.Pieces.back().Text;
  EXPECT_EQ(last.substr(last.size() - 3), "...");
  EXPECT_LT(layout.Lines[0].Width, Label.Width() - 12);
  EXPECT_EQ(Label.Height(), Extent("gh").cy + 6);
  Label.SetEllipsis(false);
  Label.Remeasure();
  EXPECT_GT(Label.Height(), Extent("gh").cy + 6);
}

TEST_F(HTMLabelTest, HoverPaintsTheLinkUnderTheMouseInItsColours) {
  const COLORREF yellow = RGB(255, 255, 0), red = RGB(255, 0, 0);
  Label.SetHTMLText("ab <A href=\"x\">Kopieren des Inhaltes</A> cd");
  Label.SetHoverColor(static_cast<TColor>(yellow));
  Label.SetHoverFontColor(static_cast<TColor>(red));
  Label.Remeasure();
  const POINT link = LinkPoint();
  const RECT whole{0, 0, Label.Width(), Label.Height()};
  struct TCase {
    const char* Name;
    bool Hover;
    POINT Mouse;
    bool Highlighted;
  };
  const TCase cases[] = {
      {"off, over the link", false, link, false},
      {"on, over the link", true, link, true},
      {"on, over plain text", true, POINT{Label.Left() + 7, link.y}, false},
  };
  for (const TCase& c : cases) {
    Label.SetHover(c.Hover);
    Send(WM_MOUSEMOVE, 0, c.Mouse);
    const TPainted painted(Label);
    EXPECT_EQ(painted.Holds(whole, yellow), c.Highlighted) << c.Name;
    EXPECT_EQ(painted.Holds(whole, red), c.Highlighted) << c.Name;
    EXPECT_EQ(painted.Holds(whole, ColorToRGB(clBlue)), !c.Highlighted) << c.Name;
  }
  Send(WM_MOUSEMOVE, 0, link);
  EXPECT_EQ(Label.HoverLink(), 0);
  Label.MouseLeave();
  EXPECT_EQ(Label.HoverLink(), -1);
}

const char* const LinkText = "ab <A href=\"x\">Kopieren des Inhaltes</A> cd";

TEST_F(HTMLabelTest, ALinkWithATargetMakesThePanelATabStop) {
  const struct {
    const char* Text;
    bool TabStop;
    int FocusLink;
  } cases[] = {{"kein Link", false, -1},
               {LinkText, true, 0},
               {"<a name=y>ohne Ziel</a>", false, -1},
               {"<a name=y>ohne</a> <a href=\"z\">mit</a>", true, 1}};
  Form.Show();
  for (const auto& c : cases) {
    Label.SetHTMLText(c.Text);
    EXPECT_EQ(Panel.TabStop(), c.TabStop) << c.Text;
    EXPECT_EQ(Label.FocusLink(), c.FocusLink) << c.Text;
    EXPECT_EQ(Label.FocusTheLink(), c.TabStop) << c.Text;
    SetFocus(nullptr);
  }
}

TEST_F(HTMLabelTest, EnterOrSpaceOnTheFocusedLinkPressesItOnce) {
  Form.Show();
  Label.SetHTMLText(LinkText);
  ASSERT_TRUE(Label.FocusTheLink());
  ASSERT_TRUE(Label.LinkFocused());
  BYTE keys[256] = {};
  const struct {
    const char* Name;
    WPARAM Key;
    LPARAM Flags;
    bool Ctrl;
    size_t Presses;
  } cases[] = {{"Enter", VK_RETURN, 1, false, 1},
               {"Space", VK_SPACE, 1, false, 1},
               {"held down", VK_RETURN, 1 | (1 << 30), false, 0},
               {"with Ctrl", VK_RETURN, 1, true, 0},
               {"another key", 'A', 1, false, 0}};
  for (const auto& c : cases) {
    Clicked.clear();
    keys[VK_CONTROL] = c.Ctrl ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(Panel.Handle(), WM_KEYDOWN, c.Key, c.Flags);
    EXPECT_EQ(Clicked.size(), c.Presses) << c.Name;
  }
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  // Without the focus, the keys are not the link's.
  SetFocus(nullptr);
  EXPECT_FALSE(Label.LinkFocused());
  Clicked.clear();
  SendMessageA(Panel.Handle(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_TRUE(Clicked.empty());
}

TEST_F(HTMLabelTest, CenteredTextMovesDownInAFixedLabel) {
  Label.SetAutoSizing(false);
  Label.SetAlign(alNone);
  Label.SetBounds(0, 0, 300, 100);
  Label.SetHTMLText("abc");
  const int gh = Extent("gh").cy;
  Label.SetVAlignment(tvaCenter);
  EXPECT_EQ(Label.CurrentLayout().Lines[0].Top, 6 + (100 - gh) / 2);
  Label.SetVAlignment(tvaBottom);
  EXPECT_EQ(Label.CurrentLayout().Lines[0].Top, 100 - 6 - gh);
}

} // namespace
