#include "controls/html_layout.h"

#include <algorithm>
#include <cstring>

#include "base/ascii.h"

namespace {

enum class TTokenKind { Piece, Tag, LineBreak };

struct TToken {
  TTokenKind Kind;
  AnsiString Text; // a piece's raw text, or a tag's content between "<" and ">"
};

// The scan is in one of two states. In text, a piece grows up to the next "<" or CR, or (when
// wrapping) up to and including the next space, whichever comes first; LF bytes are dropped on
// the way and a CR is a line break of its own. In a tag, everything up to the next ">" is the
// tag's content; a tag that never closes ends the text.
std::vector<TToken> ScanHTML(const AnsiString& Text, bool SplitAtSpaces = true) {
  std::vector<TToken> tokens;
  const size_t n = Text.size();
  size_t i = 0;
  while (i < n) {
    const char c = Text[i];
    if (c == '<') {
      const size_t close = Text.find('>', i + 1);
      if (close == AnsiString::npos) break;
      tokens.push_back({TTokenKind::Tag, Text.substr(i + 1, close - i - 1)});
      i = close + 1;
    } else if (c == '\r') {
      tokens.push_back({TTokenKind::LineBreak, AnsiString()});
      ++i;
    } else if (c == '\n') {
      ++i;
    } else {
      AnsiString piece;
      while (i < n && Text[i] != '<' && Text[i] != '\r') {
        const char b = Text[i++];
        if (b == '\n') continue;
        piece += b;
        if (b == ' ' && SplitAtSpaces) break;
      }
      tokens.push_back({TTokenKind::Piece, piece});
    }
  }
  return tokens;
}

struct TEntity {
  const char* Name;
  const char* Bytes;
};

const TEntity Entities[] = {
    {"&amp;", "&"},     {"&quot;", "\""},   {"&sect;", "\xA7"}, {"&permil;", "\x89"},
    {"&reg;", "\xAE"},  {"&copy;", "\xA9"}, {"&para;", "\xB6"}, {"&trade;", "\x99"},
    {"&euro;", "\x80"}, {"&nbsp;", "\xA0"}, {"&lt;", "<"},      {"&gt;", ">"},
};

// Resolved within the text of a piece, so that "&lt;" shows a "<" instead of opening a tag.
AnsiString ResolveEntities(const AnsiString& Raw) {
  if (Raw.find('&') == AnsiString::npos) return Raw;
  AnsiString text;
  size_t i = 0;
  while (i < Raw.size()) {
    bool resolved = false;
    if (Raw[i] == '&') {
      for (const TEntity& entity : Entities) {
        const size_t length = std::strlen(entity.Name);
        if (Raw.compare(i, length, entity.Name) == 0) {
          text += entity.Bytes;
          i += length;
          resolved = true;
          break;
        }
      }
    }
    if (!resolved) text += Raw[i++];
  }
  return text;
}

enum class TTagKind { Bold, EndBold, Link, EndLink, LineBreak, Other };

TTagKind ClassifyTag(const AnsiString& Content) {
  if (!Content.empty() && UpperAscii(Content[0]) == 'A') return TTagKind::Link;
  AnsiString name;
  for (char c : Content)
    name += UpperAscii(c);
  if (name == "B") return TTagKind::Bold;
  if (name == "/B") return TTagKind::EndBold;
  if (name == "/A") return TTagKind::EndLink;
  if (name == "BR") return TTagKind::LineBreak;
  return TTagKind::Other;
}

AnsiString LinkTarget(const AnsiString& Content) {
  const size_t open = Content.find('"');
  if (open == AnsiString::npos) return AnsiString();
  const size_t close = Content.find('"', open + 1);
  if (close == AnsiString::npos) return AnsiString();
  return Content.substr(open + 1, close - open - 1);
}

// Sets pieces into lines: the line being filled, and what the width test needs to know of it.
class TLineSetter {
public:
  TLineSetter(THTMLLayout& Layout, const TRect& Area, TTextMeasurer& Measurer, bool Ellipsis)
      : FLayout(Layout), FArea(Area), FMeasurer(Measurer), FEllipsis(Ellipsis) {}

  void OpenLine(const THTMLStyle& Style) {
    THTMLLine line;
    line.Top =
        FLayout.Lines.empty() ? FArea.Top : FLayout.Lines.back().Top + FLayout.Lines.back().Height;
    line.GhHeight = line.Height = FMeasurer.TextExtent(Style, "gh").cy;
    FLayout.Lines.push_back(line);
    FSum = 0;
    FEndsWithSpace = false;
    FSpaceWidth = 0;
    FEmpty = true;
    FCut = false;
  }

  void CloseLine() { FLayout.Lines.back().Width = FSum - (FEndsWithSpace ? FSpaceWidth : 0); }

  void Place(const AnsiString& Text, const THTMLStyle& Style, int Link) {
    if (FEllipsis) {
      PlaceCut(Text, Style, Link);
      return;
    }
    const TSize extent = FMeasurer.TextExtent(Style, Text);
    const int areaWidth = FArea.Width();
    // A piece that overflows stays when it is wider than the area by itself, or when it goes on
    // a word that a tag interrupted; otherwise it starts the next line.
    if (!FEmpty && FSum + extent.cx >= areaWidth && extent.cx < areaWidth && FEndsWithSpace) {
      CloseLine();
      OpenLine(Style);
    }
    Append(Text, Style, Link, extent);
  }

private:
  // Without wrapping: a piece that does not fit is cut to the longest start that fits with the
  // ellipsis after it (the ellipsis alone when none does), and the rest of the line is dropped.
  void PlaceCut(const AnsiString& Text, const THTMLStyle& Style, int Link) {
    if (FCut) return;
    const int areaWidth = FArea.Width();
    const TSize extent = FMeasurer.TextExtent(Style, Text);
    if (FSum + extent.cx < areaWidth) {
      Append(Text, Style, Link, extent);
      return;
    }
    size_t low = 0, high = Text.size();
    while (low < high) {
      const size_t middle = (low + high + 1) / 2;
      if (FSum + FMeasurer.TextExtent(Style, Text.substr(0, middle) + Ellipsis).cx < areaWidth)
        low = middle;
      else
        high = middle - 1;
    }
    const AnsiString cut = Text.substr(0, low) + Ellipsis;
    Append(cut, Style, Link, FMeasurer.TextExtent(Style, cut));
    FCut = true;
  }

  void Append(const AnsiString& Text, const THTMLStyle& Style, int Link, const TSize& Extent) {
    THTMLLine& line = FLayout.Lines.back();
    THTMLPiece piece;
    piece.Text = Text;
    piece.Style = Style;
    piece.Link = Link;
    piece.Line = static_cast<int>(FLayout.Lines.size()) - 1;
    piece.Left = FArea.Left + FSum;
    piece.Width = Extent.cx;
    piece.Height = Extent.cy;
    FLayout.Pieces.push_back(piece);
    FSum += Extent.cx;
    line.Height = std::max(line.Height, Extent.cy);
    FEndsWithSpace = Text.back() == ' ';
    FSpaceWidth = FEndsWithSpace ? FMeasurer.TextExtent(Style, " ").cx : 0;
    FEmpty = false;
  }

  static constexpr const char* Ellipsis = "...";

  THTMLLayout& FLayout;
  const TRect& FArea;
  TTextMeasurer& FMeasurer;
  const bool FEllipsis;
  bool FCut = false; // the line has been cut; its further pieces are dropped
  int FSum = 0;
  bool FEndsWithSpace = false;
  int FSpaceWidth = 0;
  bool FEmpty = true;
};

} // namespace

int THTMLLayout::PieceTop(const THTMLPiece& Piece) const {
  const THTMLLine& line = Lines[static_cast<size_t>(Piece.Line)];
  return line.Top + line.Height - Piece.Height;
}

int THTMLLayout::LinkAt(int X, int Y) const {
  for (const THTMLPiece& piece : Pieces) {
    if (piece.Link < 0 || Links[static_cast<size_t>(piece.Link)].empty()) continue;
    const THTMLLine& line = Lines[static_cast<size_t>(piece.Line)];
    if (!line.Drawn) continue;
    const int bottom = line.Top + line.Height;
    if (X >= piece.Left && X <= piece.Left + piece.Width && Y > bottom - line.GhHeight &&
        Y < bottom)
      return piece.Link;
  }
  return -1;
}

std::vector<TRect> THTMLLayout::LinkRects(int Link) const {
  std::vector<TRect> rects;
  int line = -1;
  int lineLeft = 0;
  for (const THTMLPiece& piece : Pieces) {
    const THTMLLine& own = Lines[static_cast<size_t>(piece.Line)];
    if (!own.Drawn) break;
    // The first piece of a line starts at the area's left edge, where the line's width counts from.
    if (piece.Line != line) {
      line = piece.Line;
      lineLeft = piece.Left;
    }
    if (piece.Link != Link) continue;
    const int bottom = own.Top + own.Height;
    const int right = std::min(piece.Left + piece.Width, lineLeft + own.Width);
    if (rects.empty() || rects.back().Bottom != bottom)
      rects.push_back(TRect{piece.Left, bottom - own.GhHeight, right, bottom});
    else
      rects.back().Right = std::max(rects.back().Right, right);
  }
  return rects;
}

THTMLLayout LayoutHTML(const AnsiString& Text, const TRect& Area, TTextMeasurer& Measurer,
                       bool Ellipsis) {
  THTMLLayout layout;
  TLineSetter setter(layout, Area, Measurer, Ellipsis);
  THTMLStyle style;
  int link = -1;
  setter.OpenLine(style);
  for (const TToken& token : ScanHTML(Text, !Ellipsis)) {
    TTagKind kind = TTagKind::LineBreak;
    if (token.Kind == TTokenKind::Piece) {
      const AnsiString text = ResolveEntities(token.Text);
      setter.Place(text, style, link);
      continue;
    }
    if (token.Kind == TTokenKind::Tag) kind = ClassifyTag(token.Text);
    switch (kind) {
    case TTagKind::Bold:
      style.Bold = true;
      break;
    case TTagKind::EndBold:
      style.Bold = false;
      break;
    case TTagKind::Link:
      link = static_cast<int>(layout.Links.size());
      layout.Links.push_back(LinkTarget(token.Text));
      style.Underline = true;
      break;
    case TTagKind::EndLink:
      link = -1;
      style.Underline = false;
      break;
    case TTagKind::LineBreak:
      setter.CloseLine();
      setter.OpenLine(style);
      break;
    case TTagKind::Other:
      break;
    }
  }
  setter.CloseLine();

  bool drawn = true;
  for (THTMLLine& line : layout.Lines) {
    drawn = drawn && line.Top + line.GhHeight <= Area.Bottom;
    line.Drawn = drawn;
    layout.ContentHeight += line.Height;
    layout.ContentWidth = std::max(layout.ContentWidth, line.Width);
  }
  return layout;
}

AnsiString HTMLToPlainText(const AnsiString& Text) {
  AnsiString plain;
  for (const TToken& token : ScanHTML(Text)) {
    if (token.Kind == TTokenKind::Piece)
      plain += ResolveEntities(token.Text);
    else if (token.Kind == TTokenKind::LineBreak || ClassifyTag(token.Text) == TTagKind::LineBreak)
      plain += "\r\n";
  }
  return plain;
}

std::vector<THTMLLink> HTMLLinks(const AnsiString& Text) {
  std::vector<THTMLLink> links;
  bool inLink = false;
  for (const TToken& token : ScanHTML(Text)) {
    if (token.Kind == TTokenKind::Piece) {
      if (inLink) links.back().Text += ResolveEntities(token.Text);
      continue;
    }
    const TTagKind kind =
        token.Kind == TTokenKind::LineBreak ? TTagKind::LineBreak : ClassifyTag(token.Text);
    if (kind == TTagKind::Link) {
      links.push_back({LinkTarget(token.Text), AnsiString()});
      inLink = true;
    } else if (kind == TTagKind::EndLink) {
      inLink = false;
    } else if (kind == TTagKind::LineBreak && inLink) {
      links.back().Text += "\r\n";
    }
  }
  return links;
}

namespace {

// Four strips along the inside of Outer, Width wide: top and left in one colour, bottom and
// right in the other.
void AddBand(std::vector<TFrameStrip>& Strips, const TRect& Outer, int Width, TStripColor TopLeft,
             TStripColor BottomRight) {
  if (Width <= 0) return;
  Strips.push_back({TRect{Outer.Left, Outer.Top, Outer.Right, Outer.Top + Width}, TopLeft});
  Strips.push_back({TRect{Outer.Left, Outer.Top, Outer.Left + Width, Outer.Bottom}, TopLeft});
  Strips.push_back(
      {TRect{Outer.Left, Outer.Bottom - Width, Outer.Right, Outer.Bottom}, BottomRight});
  Strips.push_back({TRect{Outer.Right - Width, Outer.Top, Outer.Right, Outer.Bottom}, BottomRight});
}

TRect Shrunk(const TRect& Rect, int By) {
  return TRect{Rect.Left + By, Rect.Top + By, Rect.Right - By, Rect.Bottom - By};
}

void AddBevel(std::vector<TFrameStrip>& Strips, TRect& Area, TBevelCut Cut, int Width) {
  if (Cut == bvNone) return;
  const bool raised = Cut == bvRaised;
  AddBand(Strips, Area, Width, raised ? TStripColor::Highlight : TStripColor::Shadow,
          raised ? TStripColor::Shadow : TStripColor::Highlight);
  Area = Shrunk(Area, Width);
}

} // namespace

TLabelFrame LayoutLabelFrame(const TRect& Client, const TLabelFrameStyle& Style) {
  TLabelFrame frame;
  TRect area = Client;
  AddBand(frame.Strips, area, Style.BorderWidth, TStripColor::Background, TStripColor::Background);
  area = Shrunk(area, Style.BorderWidth);
  AddBevel(frame.Strips, area, Style.BevelOuter, Style.BevelWidth);
  AddBevel(frame.Strips, area, Style.BevelInner, Style.BevelWidth);
  if (Style.BorderStyle == TBorderStyle::Single) {
    AddBand(frame.Strips, area, Style.BorderWidth, TStripColor::Black, TStripColor::Black);
    area = Shrunk(area, Style.BorderWidth);
  }
  frame.TextArea = area;
  return frame;
}

AnsiString WithoutLineBreaks(const AnsiString& Text) {
  AnsiString result;
  result.reserve(Text.size());
  for (char c : Text)
    if (!IsLineBreak(c)) result += c;
  return result;
}
