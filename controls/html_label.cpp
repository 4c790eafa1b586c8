#include "controls/html_label.h"

#include <windows.h>

#include <shellapi.h>

#include "controls/gdi_text_measurer.h"
#include "framework/win_owners.h"

namespace {

// Added to the text's size when the label sizes itself, whatever the border width.
constexpr int AutoSizeExtra = 6;
// Added to the edge that AutoSizing may move, so that the layout is not bounded there.
constexpr int UnboundedEdge = 65535;

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

void THTMLabel::TextChanged() {
  if (Parent()) Parent()->SetText(HTMLToPlainText(DisplayText()));
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
  FitToContent(layout);
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
  if (target.empty()) return;
  if (target.find("://") != AnsiString::npos || target.find("mailto:") != AnsiString::npos)
    OpenTarget(target);
  else if (OnAnchorClick)
    OnAnchorClick(this, target);
}

void THTMLabel::OpenTarget(const AnsiString& Target) {
  ShellExecuteA(nullptr, "open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
