#pragma once
// THTMLabel: a non-windowed label showing a short markup text (see html_layout.h) with bold runs
// and links, wrapped at word boundaries within its width, that can size itself to its text.
// The layout is made anew for every paint, mouse movement and button press. So that test drivers
// can read it, the label's plain text is its parent window's text.
//
// Keyboard and screen readers: while the text has a link with a target, the parent window is a
// tab stop, and its keyboard focus is the first such link's, shown by the system's focus
// rectangle around the link's text; Enter or Space then does what a press on the link does. The
// parent's client object (WM_GETOBJECT) is the label's accessible object
// (html_label_accessible.h); every change of the text raises EVENT_OBJECT_NAMECHANGE for it, and
// the link taking the focus EVENT_OBJECT_FOCUS for the link. The parent should hold no other
// control that takes the focus.
#include <functional>
#include <vector>

#include "base/strings.h"
#include "controls/html_layout.h"
#include "framework/painted_control.h"
#include "framework/win_owners.h"

enum TAutoSizeType { asVertical, asHorizontal, asBoth };
enum TVAlignment { tvaTop, tvaCenter, tvaBottom };

class THTMLabel;
class THTMLabelAccessible;
class TGdiTextMeasurer;
using TAnchorClick = std::function<void(THTMLabel* Sender, const AnsiString& Anchor)>;

class THTMLabel : public TPaintedControl {
public:
  explicit THTMLabel(TWindowedControl* Parent);
  ~THTMLabel() override;

  // The markup; its lines are joined with nothing in between. Every change repaints the label.
  TStrings& HTMLText() { return FHTMLText; }
  const TStrings& HTMLText() const { return FHTMLText; }
  // Replaces the markup by one line.
  void SetHTMLText(const AnsiString& Line);
  // Assigning another list: its text with every CR and LF removed, as one line.
  void SetHTMLText(const TStrings& Lines);
  // The displayed markup: the lines joined.
  AnsiString DisplayText() const;
  // The displayed text as a reader takes it: tags removed, entities resolved.
  AnsiString PlainText() const;
  // The links of the displayed text, in order.
  std::vector<THTMLLink> Links() const;

  bool AutoSizing() const { return FAutoSizing; }
  // Turning it on sets the height (aligned top or bottom) or the width (left or right) to 6.
  void SetAutoSizing(bool AutoSizing);
  TAutoSizeType AutoSizeType() const { return FAutoSizeType; }
  void SetAutoSizeType(TAutoSizeType Type);
  int BorderWidth() const { return FFrame.BorderWidth; }
  void SetBorderWidth(int Width);
  TColor URLColor() const { return FURLColor; }
  void SetURLColor(TColor Color);
  TVAlignment VAlignment() const { return FVAlignment; }
  void SetVAlignment(TVAlignment Alignment);
  // Single: a black band of BorderWidth inside the bevels.
  TBorderStyle BorderStyle() const { return FFrame.BorderStyle; }
  void SetBorderStyle(TBorderStyle Style);
  TBevelCut BevelOuter() const { return FFrame.BevelOuter; }
  void SetBevelOuter(TBevelCut Cut);
  TBevelCut BevelInner() const { return FFrame.BevelInner; }
  void SetBevelInner(TBevelCut Cut);
  int BevelWidth() const { return FFrame.BevelWidth; }
  void SetBevelWidth(int Width);
  // One line per text line, cut with an ellipsis, instead of wrapping at words.
  bool Ellipsis() const { return FEllipsis; }
  void SetEllipsis(bool Ellipsis);
  // The link under the mouse drawn on HoverColor in HoverFontColor; clNone keeps the usual.
  bool Hover() const { return FHover; }
  void SetHover(bool Hover);
  TColor HoverColor() const { return FHoverColor; }
  void SetHoverColor(TColor Color);
  TColor HoverFontColor() const { return FHoverFontColor; }
  void SetHoverFontColor(TColor Color);
  // The index of the link under the mouse, -1 when none.
  int HoverLink() const { return FHoverLink; }

  // Lays the text out at once and, with AutoSizing, brings the size to the text's before it
  // returns; the drawing follows in the next paint.
  void Remeasure();
  // The target of the link at a client point, or empty.
  AnsiString AnchorAt(int X, int Y) const;
  // The index of the link at a client point, -1 when none.
  int LinkIndexAt(int X, int Y) const;
  // The layout the next paint would draw, in client coordinates.
  THTMLLayout CurrentLayout() const;
  // The label and a link's text (a rectangle per line) on the screen.
  TRect ScreenRect() const;
  std::vector<TRect> LinkScreenRects(int Index) const;

  // The link that takes the keyboard focus: the first with a target; -1 when there is none.
  int FocusLink() const;
  // That link has the keyboard focus.
  bool LinkFocused() const;
  // Gives the keyboard focus to that link; false when there is none, or its parent cannot take
  // the focus for it.
  bool FocusTheLink();
  // Does what a press on the link with that index does.
  void ActivateLink(int Index);
  // The same, once the messages already waiting are handled; false when that link has no target.
  bool PostActivateLink(int Index);

  // The target of a link pressed with any mouse button; targets with "://" or "mailto:" are
  // opened by the shell instead.
  TAnchorClick OnAnchorClick;
  TAnchorClick OnAnchorEnter;
  TAnchorClick OnAnchorExit;

  void Paint(HDC DC) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;
  // The focus, Enter and Space, the accessible object and the queued presses.
  bool ParentMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

protected:
  // The shell's "open" in a normally shown window.
  virtual void OpenTarget(const AnsiString& Target);

private:
  class TMarkupStrings : public TStringList {
  public:
    explicit TMarkupStrings(THTMLabel& Label) : FLabel(Label) {}
    void Clear() override;
    int Add(const AnsiString& S) override;

  protected:
    void SetUpdateState(bool Updating) override;

  private:
    void Changed();
    THTMLabel& FLabel;
  };

  struct TTextArea {
    TRect Rect;
    bool UnboundedBottom = false;
  };

  void TextChanged();
  TTextArea TextArea() const;
  bool SizesWidth() const;
  bool SizesHeight() const;
  // The layout as the paint pass makes it, vertical alignment included.
  THTMLLayout LayoutFor(TTextMeasurer& Measurer) const;
  void FitToContent(const THTMLLayout& Layout);
  void DrawFrame(HDC DC) const;
  void DrawLayout(HDC DC, const THTMLLayout& Layout, TGdiTextMeasurer& Measurer) const;
  void SetHoverLink(int Link);
  HWND MeasuringWindow() const;
  int LinkAt(int X, int Y, AnsiString& Target) const;
  // A press on a link with Target: the shell opens addresses, OnAnchorClick gets the rest.
  void Press(const AnsiString& Target);
  void DrawFocus(HDC DC, const THTMLLayout& Layout) const;
  void FocusChanged(bool Focused);
  LRESULT AccessibleObject(WPARAM Flags);
  void DisconnectAccessible();

  TMarkupStrings FHTMLText;
  bool FAutoSizing = false;
  TAutoSizeType FAutoSizeType = asVertical;
  TLabelFrameStyle FFrame; // BorderWidth among them
  TColor FURLColor = clBlue;
  TVAlignment FVAlignment = tvaTop;
  bool FEllipsis = false;
  bool FHover = false;
  TColor FHoverColor = clNone;
  TColor FHoverFontColor = clNone;
  int FHoverLink = -1;
  // The link last found under the mouse.
  AnsiString FAnchor;
  int FAnchorIndex = -1;
  // Made on the first request and kept, so that every request gets the same object.
  TComPtr<THTMLabelAccessible> FAccessible;
};
