#include "controls/html_label.h"

#include <windows.h>

#include <oleacc.h>
#include <shellapi.h>

#include "controls/gdi_text_measurer.h"
#include "controls/html_label_accessible.h"
#include "framework/win_owners.h"

namespace {

// Added to the text's size when the label sizes itself, whatever the border width.
constexpr int AutoSizeExtra = 6;
// Added to the edge that AutoSizing may move, so that the layout is not bounded there.
constexpr int UnboundedEdge = 65535;

// Posted to the parent window for PostActivateLink: the link's index, and the label.
UINT ActivateLinkMessage() {
  static const UINT message = RegisterWindowMessageA("Voxaro.THTMLabel.ActivateLink");
  return message;
}

bool IsAddress(const AnsiString& Target) {
  return Target.find("://") != AnsiString::npos || Target.find("mailto:") != AnsiString::npos;
}

} // namespace

void THTMLabel::TMarkupStrings::Clear() {
  TStringList::Clear();
  Changed();
}

int THTMLabel::TMarkupStrings::Add(const AnsiString& S) {
  const int index = TStringList::Add(S);
  Changed();
  return index;
}

void THTMLabel::TMarkupStrings::SetUpdateState(bool Updating) {
  if (!Updating) FLabel.TextChanged();
}

void THTMLabel::TMarkupStrings::Changed() {
  if (UpdateCount() == 0) FLabel.TextChanged();
}

THTMLabel::THTMLabel(TWindowedControl* Parent) : TPaintedControl(Parent), FHTMLText(*this) {}

THTMLabel::~THTMLabel() {
  DisconnectAccessible();
}

void THTMLabel::SetHTMLText(const AnsiString& Line) {
  TStringsUpdate bracket(FHTMLText);
  FHTMLText.Clear();
  FHTMLText.Add(Line);
}

void THTMLabel::SetHTMLText(const TStrings& Lines) {
  const AnsiString line = WithoutLineBreaks(Lines.GetText());
  SetHTMLText(line);
}

AnsiString THTMLabel::DisplayText() const {
  AnsiString text;
  for (int i = 0; i < FHTMLText.Count(); ++i)
    text += FHTMLText[i];
  return text;
}

AnsiString THTMLabel::PlainText() const {
  return HTMLToPlainText(DisplayText());
}

std::vector<THTMLLink> THTMLabel::Links() const {
  return HTMLLinks(DisplayText());
}

void THTMLabel::TextChanged() {
  if (Parent()) {
    Parent()->SetText(PlainText());
    // Leaving the tab order, a parent with the focus hands it on.
    Parent()->SetTabStop(FocusLink() >= 0);
    // Also when the text is set again as it was: a screen reader then tells the counts again.
    if (Parent()->Handle())
      NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Parent()->Handle(), OBJID_CLIENT, CHILDID_SELF);
  }
  Invalidate();
}

void THTMLabel::SetAutoSizing(bool AutoSizing) {
  FAutoSizing = AutoSizing;
  if (AutoSizing) {
    if (Align() == alLeft || Align() == alRight) SetWidth(AutoSizeExtra);
    if (Align() == alTop || Align() == alBottom) SetHeight(AutoSizeExtra);
  }
  Invalidate();
}

void THTMLabel::SetAutoSizeType(TAutoSizeType Type) {
  FAutoSizeType = Type;
  if (FAutoSizing) SetAutoSizing(true);
}

void THTMLabel::SetBorderWidth(int Width) {
  FFrame.BorderWidth = Width;
  Invalidate();
}

void THTMLabel::SetBorderStyle(TBorderStyle Style) {
  FFrame.BorderStyle = Style;
  Invalidate();
}

void THTMLabel::SetBevelOuter(TBevelCut Cut) {
  FFrame.BevelOuter = Cut;
  Invalidate();
}

void THTMLabel::SetBevelInner(TBevelCut Cut) {
  FFrame.BevelInner = Cut;
  Invalidate();
}

void THTMLabel::SetBevelWidth(int Width) {
  FFrame.BevelWidth = Width;
  Invalidate();
}

void THTMLabel::SetEllipsis(bool Ellipsis) {
  FEllipsis = Ellipsis;
  Invalidate();
}

void THTMLabel::SetHover(bool Hover) {
  FHover = Hover;
  Invalidate();
}

void THTMLabel::SetHoverColor(TColor Color) {
  FHoverColor = Color;
  Invalidate();
}

void THTMLabel::SetHoverFontColor(TColor Color) {
  FHoverFontColor = Color;
  Invalidate();
}

void THTMLabel::SetURLColor(TColor Color) {
  FURLColor = Color;
  Invalidate();
}

void THTMLabel::SetVAlignment(TVAlignment Alignment) {
  FVAlignment = Alignment;
  Invalidate();
}

bool THTMLabel::SizesWidth() const {
  const TAlign align = Align();
  return FAutoSizing && (align == alNone || align == alLeft || align == alRight) &&
         (FAutoSizeType == asHorizontal || FAutoSizeType == asBoth);
}

bool THTMLabel::SizesHeight() const {
  const TAlign align = Align();
  return FAutoSizing && (align == alNone || align == alTop || align == alBottom) &&
         (FAutoSizeType == asVertical || FAutoSizeType == asBoth);
}

THTMLabel::TTextArea THTMLabel::TextArea() const {
  TTextArea area;
  area.Rect = LayoutLabelFrame(TRect{0, 0, Width(), Height()}, FFrame).TextArea;
  if (SizesWidth()) area.Rect.Right += UnboundedEdge;
  if (SizesHeight()) {
    area.Rect.Bottom += UnboundedEdge;
    area.UnboundedBottom = true;
  }
  return area;
}

THTMLLayout THTMLabel::LayoutFor(TTextMeasurer& Measurer) const {
  TTextArea area = TextArea();
  const AnsiString text = DisplayText();
  // A label that sizes its height fits its text and has no room to move it in; against the
  // unbounded bottom the text would move out of sight.
  if (FVAlignment != tvaTop && !area.UnboundedBottom) {
    const int height = LayoutHTML(text, area.Rect, Measurer, FEllipsis).ContentHeight;
    if (height < Height()) {
      if (FVAlignment == tvaCenter)
        area.Rect.Top += (Height() - height) / 2;
      else
        area.Rect.Top = area.Rect.Bottom - height;
    }
  }
  return LayoutHTML(text, area.Rect, Measurer, FEllipsis);
}

void THTMLabel::FitToContent(const THTMLLayout& Layout) {
  if (SizesHeight() && Layout.ContentHeight + AutoSizeExtra != Height())
    SetHeight(Layout.ContentHeight + AutoSizeExtra);
  if (SizesWidth() && Layout.ContentWidth + AutoSizeExtra != Width())
    SetWidth(Layout.ContentWidth + AutoSizeExtra);
}

void THTMLabel::Paint(HDC DC) {
  const RECT client{0, 0, Width(), Height()};
  TBrushHandle background(CreateSolidBrush(ColorToRGB(Color())));
  FillRect(DC, &client, background.Get());
  DrawFrame(DC);
  TGdiTextMeasurer measurer(DC, Font());
  const THTMLLayout layout = LayoutFor(measurer);
  DrawLayout(DC, layout, measurer);
  if (LinkFocused()) DrawFocus(DC, layout);
  FitToContent(layout);
}

void THTMLabel::DrawFocus(HDC DC, const THTMLLayout& Layout) const {
  // The colours a focus rectangle is drawn with, whatever the text left in the DC.
  SetTextColor(DC, RGB(0, 0, 0));
  SetBkColor(DC, RGB(255, 255, 255));
  for (const TRect& text : Layout.LinkRects(FocusLink())) {
    // One pixel beside the text, so that the dots do not touch its first and last letter.
    const RECT rect{text.Left - 1, text.Top, text.Right + 1, text.Bottom};
    DrawFocusRect(DC, &rect);
  }
}

void THTMLabel::DrawFrame(HDC DC) const {
  for (const TFrameStrip& strip : LayoutLabelFrame(TRect{0, 0, Width(), Height()}, FFrame).Strips) {
    TColor color = Color();
    switch (strip.Color) {
    case TStripColor::Background:
      break;
    case TStripColor::Highlight:
      color = clBtnHighlight;
      break;
    case TStripColor::Shadow:
      color = clBtnShadow;
      break;
    case TStripColor::Black:
      color = clBlack;
      break;
    }
    const RECT rect{strip.Rect.Left, strip.Rect.Top, strip.Rect.Right, strip.Rect.Bottom};
    TBrushHandle brush(CreateSolidBrush(ColorToRGB(color)));
    FillRect(DC, &rect, brush.Get());
  }
}

void THTMLabel::DrawLayout(HDC DC, const THTMLLayout& Layout, TGdiTextMeasurer& Measurer) const {
  SetBkMode(DC, TRANSPARENT);
  const COLORREF textColor = ColorToRGB(Font().Color());
  const COLORREF linkColor = ColorToRGB(FURLColor);
  const int hovered = FHover ? FHoverLink : -1;
  for (const THTMLPiece& piece : Layout.Pieces) {
    const THTMLLine& line = Layout.Lines[static_cast<size_t>(piece.Line)];
    if (!line.Drawn) break;
    COLORREF color = piece.Link >= 0 ? linkColor : textColor;
    if (piece.Link >= 0 && piece.Link == hovered) {
      if (FHoverColor != clNone) {
        const RECT band{piece.Left, line.Top + line.Height - line.GhHeight,
                        piece.Left + piece.Width, line.Top + line.Height};
        TBrushHandle brush(CreateSolidBrush(ColorToRGB(FHoverColor)));
        FillRect(DC, &band, brush.Get());
      }
      if (FHoverFontColor != clNone) color = ColorToRGB(FHoverFontColor);
    }
    SetTextColor(DC, color);
    Measurer.Draw(piece.Style, piece.Left, Layout.PieceTop(piece), piece.Text);
  }
}

void THTMLabel::SetHoverLink(int Link) {
  if (Link == FHoverLink) return;
  FHoverLink = Link;
  if (FHover) Invalidate();
}

HWND THTMLabel::MeasuringWindow() const {
  return Parent() ? Parent()->Handle() : nullptr;
}

void THTMLabel::Remeasure() {
  {
    TWindowDC dc(MeasuringWindow());
    TGdiTextMeasurer measurer(dc.Get(), Font());
    FitToContent(LayoutFor(measurer));
  }
  Invalidate();
}

THTMLLayout THTMLabel::CurrentLayout() const {
  TWindowDC dc(MeasuringWindow());
  TGdiTextMeasurer measurer(dc.Get(), Font());
  return LayoutFor(measurer);
}

int THTMLabel::LinkAt(int X, int Y, AnsiString& Target) const {
  const THTMLLayout layout = CurrentLayout();
  const int link = layout.LinkAt(X, Y);
  if (link >= 0) Target = layout.Links[static_cast<size_t>(link)];
  return link;
}

AnsiString THTMLabel::AnchorAt(int X, int Y) const {
  AnsiString target;
  LinkAt(X, Y, target);
  return target;
}

int THTMLabel::LinkIndexAt(int X, int Y) const {
  AnsiString target;
  return LinkAt(X, Y, target);
}

TRect THTMLabel::ScreenRect() const {
  POINT origin{Left(), Top()};
  if (MeasuringWindow()) ClientToScreen(MeasuringWindow(), &origin);
  return TRect{origin.x, origin.y, origin.x + Width(), origin.y + Height()};
}

std::vector<TRect> THTMLabel::LinkScreenRects(int Index) const {
  const TRect screen = ScreenRect();
  std::vector<TRect> rects = CurrentLayout().LinkRects(Index);
  for (TRect& rect : rects)
    rect = TRect{screen.Left + rect.Left, screen.Top + rect.Top, screen.Left + rect.Right,
                 screen.Top + rect.Bottom};
  return rects;
}

int THTMLabel::FocusLink() const {
  const std::vector<THTMLLink> links = Links();
  for (size_t i = 0; i < links.size(); ++i)
    if (!links[i].Target.empty()) return static_cast<int>(i);
  return -1;
}

bool THTMLabel::LinkFocused() const {
  // A parent that is no tab stop (a form) has the focus for itself, not for the link.
  return Parent() && Parent()->TabStop() && Parent()->Focused() && FocusLink() >= 0;
}

bool THTMLabel::FocusTheLink() {
  if (!Parent() || !Parent()->TabStop() || FocusLink() < 0) return false;
  Parent()->SetFocus();
  return LinkFocused();
}

void THTMLabel::ActivateLink(int Index) {
  const std::vector<THTMLLink> links = Links();
  if (Index < 0 || static_cast<size_t>(Index) >= links.size()) return;
  const AnsiString target = links[static_cast<size_t>(Index)].Target;
  if (!target.empty()) Press(target);
}

bool THTMLabel::PostActivateLink(int Index) {
  const std::vector<THTMLLink> links = Links();
  if (Index < 0 || static_cast<size_t>(Index) >= links.size() ||
      links[static_cast<size_t>(Index)].Target.empty() || !MeasuringWindow())
    return false;
  // The label itself only tells its message from another label's; it is never used as a pointer.
  return PostMessageA(MeasuringWindow(), ActivateLinkMessage(), static_cast<WPARAM>(Index),
                      reinterpret_cast<LPARAM>(this)) != FALSE;
}

void THTMLabel::Press(const AnsiString& Target) {
  if (IsAddress(Target))
    OpenTarget(Target);
  else if (OnAnchorClick)
    OnAnchorClick(this, Target);
}

bool THTMLabel::ParentMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Msg) {
  case WM_GETOBJECT:
    // OBJID_CLIENT comes as a 32-bit value, also in a 64-bit LPARAM.
    if (static_cast<DWORD>(LParam) != static_cast<DWORD>(OBJID_CLIENT)) return false;
    Result = AccessibleObject(WParam);
    return Result > 0;
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    FocusChanged(Msg == WM_SETFOCUS);
    return false;
  case WM_KEYDOWN: {
    const bool press = WParam == VK_RETURN || WParam == VK_SPACE;
    // Once for a key held down, and not with Ctrl, which gives these keys other meanings.
    const bool repeated = (LParam & (1 << 30)) != 0;
    if (!press || repeated || GetKeyState(VK_CONTROL) < 0 || !LinkFocused()) return false;
    ActivateLink(FocusLink());
    Result = 0;
    return true;
  }
  case WM_DESTROY:
    DisconnectAccessible();
    return false;
  default:
    if (Msg != ActivateLinkMessage() || LParam != reinterpret_cast<LPARAM>(this)) return false;
    ActivateLink(static_cast<int>(WParam));
    Result = 0;
    return true;
  }
}

void THTMLabel::FocusChanged(bool Focused) {
  const int link = FocusLink();
  if (link < 0) return;
  Invalidate();
  if (Focused && MeasuringWindow())
    NotifyWinEvent(EVENT_OBJECT_FOCUS, MeasuringWindow(), OBJID_CLIENT, link + 1);
}

LRESULT THTMLabel::AccessibleObject(WPARAM Flags) {
  if (!FAccessible) {
    TComPtr<IAccessible> standard;
    if (FAILED(CreateStdAccessibleObject(MeasuringWindow(), OBJID_CLIENT, AccessibleIid,
                                         reinterpret_cast<void**>(standard.Receive()))))
      return 0;
    FAccessible.Reset(new THTMLabelAccessible(*this, standard.Release()));
  }
  const LRESULT result =
      LresultFromObject(AccessibleIid, Flags, static_cast<IAccessible*>(FAccessible.Get()));
  // A failure leaves the question to the window's standard object.
  return result > 0 ? result : 0;
}

void THTMLabel::DisconnectAccessible() {
  if (!FAccessible) return;
  FAccessible->Disconnect();
  FAccessible.Reset();
}

void THTMLabel::MouseMove(TShiftState /*Shift*/, int X, int Y) {
  AnsiString target;
  const int link = LinkAt(X, Y, target);
  SetHoverLink(link);
  if (link >= 0) {
    const bool entered = Cursor() == crDefault || link != FAnchorIndex;
    FAnchor = target;
    FAnchorIndex = link;
    if (entered) {
      SetCursor(crHandPoint);
      if (OnAnchorEnter) OnAnchorEnter(this, target);
    }
  } else if (Cursor() == crHandPoint) {
    SetCursor(crDefault);
    if (OnAnchorExit) OnAnchorExit(this, FAnchor);
  }
}

void THTMLabel::MouseLeave() {
  FAnchorIndex = -1;
  SetHoverLink(-1);
  TPaintedControl::MouseLeave();
}

void THTMLabel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TPaintedControl::MouseDown(Button, Shift, X, Y);
  const AnsiString target = AnchorAt(X, Y);
  if (!target.empty()) Press(target);
}

void THTMLabel::OpenTarget(const AnsiString& Target) {
  ShellExecuteA(nullptr, "open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
