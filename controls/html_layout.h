#pragma once
// The markup label's text layout, apart from any drawing: the markup is cut into pieces, the
// pieces are set into lines that fit the text area, and the links are found again by position;
// and the frame around the text area. The layout depends only on the text, the area and the text
// extents a measurer reports.
//
// Markup: "<b>" "</b>" bold, "<A ...>" a link whose target is the text between the first pair of
// double quotes inside the tag, "</A>" ends it, "<BR>" and CR end the line, LF is dropped; other
// tags are skipped, a "<" without ">" ends the text. The entities &amp; &quot; &sect; &permil;
// &reg; &copy; &para; &trade; &euro; &nbsp; &lt; &gt; stand for their Windows-1252 characters.
#include <vector>

#include "base/geometry.h"
#include "base/system.h"

struct THTMLStyle {
  bool Bold = false;
  bool Underline = false; // the text of a link
};

inline bool operator==(const THTMLStyle& A, const THTMLStyle& B) {
  return A.Bold == B.Bold && A.Underline == B.Underline;
}

class TTextMeasurer {
public:
  virtual ~TTextMeasurer() = default;
  // Width and height of Text drawn as a single line in the font of Style.
  virtual TSize TextExtent(const THTMLStyle& Style, const AnsiString& Text) = 0;
};

struct THTMLPiece {
  AnsiString Text; // entities resolved, with its trailing space if it has one
  THTMLStyle Style;
  int Link = -1; // index into THTMLLayout::Links, -1 outside links
  int Line = 0;
  int Left = 0;
  int Width = 0;
  int Height = 0;
};

struct THTMLLine {
  int Top = 0;
  int Height = 0;   // the "gh" height of its first font, or a taller piece's
  int GhHeight = 0; // the "gh" height of the font current at the line's start
  int Width = 0;    // without a trailing space
  // False for a line whose top plus its "gh" height lies below the area, and all after it.
  bool Drawn = true;
};

struct THTMLLayout {
  std::vector<THTMLPiece> Pieces;
  std::vector<THTMLLine> Lines;
  std::vector<AnsiString> Links; // targets, in text order
  int ContentWidth = 0;          // the widest line
  int ContentHeight = 0;         // the sum of the line heights

  // Where a piece is drawn: its line's bottom less its own height.
  int PieceTop(const THTMLPiece& Piece) const;
  // The link at a point, -1 when none: the point lies horizontally within a piece of the link
  // (both ends included) and strictly inside the "gh"-high band that ends at the bottom of the
  // piece's line. Only drawn lines count; a link with an empty target is never found.
  int LinkAt(int X, int Y) const;
  // Where a link's text lies, one rectangle per drawn line it runs over: from its first piece's
  // left to its last piece's right, less a space that ends the line, over the band LinkAt tests.
  std::vector<TRect> LinkRects(int Link) const;
};

// Wrapping (the default) cuts the text at spaces and sets words into lines. With Ellipsis each
// line of the text stays one line: what does not fit is cut and ends with "...".
THTMLLayout LayoutHTML(const AnsiString& Text, const TRect& Area, TTextMeasurer& Measurer,
                       bool Ellipsis = false);

// The frame between the label's edge and its text, from the outside in: a band of BorderWidth
// in the label's colour, the outer and the inner bevel of BevelWidth each, and with a single
// border style a black band of BorderWidth.
enum TBevelCut { bvNone, bvLowered, bvRaised };
enum class TBorderStyle { None, Single };

struct TLabelFrameStyle {
  int BorderWidth = 0;
  TBorderStyle BorderStyle = TBorderStyle::None;
  TBevelCut BevelOuter = bvNone;
  TBevelCut BevelInner = bvNone;
  int BevelWidth = 1;
};

enum class TStripColor { Background, Highlight, Shadow, Black };

// A rectangle of the frame to fill with one colour.
struct TFrameStrip {
  TRect Rect;
  TStripColor Color;
};

struct TLabelFrame {
  std::vector<TFrameStrip> Strips; // in painting order
  TRect TextArea;
};

TLabelFrame LayoutLabelFrame(const TRect& Client, const TLabelFrameStyle& Style);

// A list's text as the label takes it when another list is assigned: every CR and LF removed.
AnsiString WithoutLineBreaks(const AnsiString& Text);

// The text as a reader would take it: tags removed, entities resolved, line breaks as CR LF.
AnsiString HTMLToPlainText(const AnsiString& Text);

// A link as a reader takes it, whatever the width it is laid out in.
struct THTMLLink {
  AnsiString Target;
  AnsiString Text; // as HTMLToPlainText gives it
};

// The links of a text, in the order of THTMLLayout::Links.
std::vector<THTMLLink> HTMLLinks(const AnsiString& Text);
