#include "controls/html_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Fixed widths: 6 pixels a character, 7 in bold; lines 14 high, bold text 15.
class TFixedMeasurer : public TTextMeasurer {
public:
  TSize TextExtent(const THTMLStyle& Style, const AnsiString& Text) override {
    const int width = static_cast<int>(Text.size()) * (Style.Bold ? 7 : 6);
    return TSize{width, Style.Bold ? 15 : 14};
  }
};

TRect Area(int Width, int Height = 1000) {
  return TRect{10, 20, 10 + Width, 20 + Height};
}

THTMLLayout Layout(const AnsiString& Text, const TRect& Rect) {
  TFixedMeasurer measurer;
  return LayoutHTML(Text, Rect, measurer);
}

// The texts of the pieces, one string per line.
std::vector<AnsiString> LineTexts(const THTMLLayout& L) {
  std::vector<AnsiString> lines(L.Lines.size());
  for (const THTMLPiece& piece : L.Pieces)
    lines[static_cast<size_t>(piece.Line)] += piece.Text;
  return lines;
}

using Lines = std::vector<AnsiString>;

struct WrapCase {
  const char* Name;
  AnsiString Text;
  int Width;
  Lines Expected;
};

class Wrapping : public testing::TestWithParam<WrapCase> {};

TEST_P(Wrapping, SetsPiecesIntoLines) {
  EXPECT_EQ(LineTexts(Layout(GetParam().Text, Area(GetParam().Width))), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    HTMLLayout, Wrapping,
    testing::Values(
        // "aaaa " and "bbbb" are 30 and 24 wide: the sum must stay below the width.
        WrapCase{"SumEqualToWidthWraps", "aaaa bbbb", 54, {"aaaa ", "bbbb"}},
        WrapCase{"SumBelowWidthFits", "aaaa bbbb", 55, {"aaaa bbbb"}},
        // Bold "Strg+V" is 42 wide; its space overflows 45 but continues the word.
        WrapCase{"SpaceAfterTagStaysWithWord", "<b>Strg+V</b> eine", 45, {"Strg+V ", "eine"}},
        WrapCase{"PunctuationAfterTagStays", "xx <b>ziehen</b>, y", 70, {"xx ziehen, ", "y"}},
        WrapCase{"PieceWiderThanAreaStays", "a verylongword b", 30, {"a verylongword ", "b"}},
        WrapCase{"FirstPieceAlwaysPlaced", "verylongword", 10, {"verylongword"}},
        WrapCase{"BreakTagInAnyCase", "a<BR>b<br>c", 500, {"a", "b", "c"}},
        WrapCase{"CarriageReturnBreaks", "a\rb", 500, {"a", "b"}},
        WrapCase{"LineFeedIsDropped", "a\nb c", 500, {"ab c"}},
        WrapCase{"UnknownTagsSkipped", "a<i>b</i><font color=\"red\">c", 500, {"abc"}},
        WrapCase{"UnclosedTagEndsText", "ab <b cd", 500, {"ab "}},
        WrapCase{"EntitiesDoNotOpenTags", "&lt;b&gt;x", 500, {"<b>x"}},
        WrapCase{"NonBreakingSpaceDoesNotSplit",
                 "aaaa&nbsp;bbbb",
                 30,
                 {"aaaa\xA0"
                  "bbbb"}}),
    [](const testing::TestParamInfo<WrapCase>& Info) { return AnsiString(Info.param.Name); });

struct EntityCase {
  const char* Entity;
  const char* Bytes;
};

class Entities : public testing::TestWithParam<EntityCase> {};

TEST_P(Entities, BecomeTheirWindows1252Characters) {
  EXPECT_EQ(HTMLToPlainText(AnsiString("x") + GetParam().Entity + "y"),
            AnsiString("x") + GetParam().Bytes + "y");
}

INSTANTIATE_TEST_SUITE_P(HTMLLayout, Entities,
                         testing::Values(EntityCase{"&amp;", "&"}, EntityCase{"&quot;", "\""},
                                         EntityCase{"&sect;", "\xA7"},
                                         EntityCase{"&permil;", "\x89"},
                                         EntityCase{"&reg;", "\xAE"}, EntityCase{"&copy;", "\xA9"},
                                         EntityCase{"&para;", "\xB6"},
                                         EntityCase{"&trade;", "\x99"},
                                         EntityCase{"&euro;", "\x80"}, EntityCase{"&nbsp;", "\xA0"},
                                         EntityCase{"&lt;", "<"}, EntityCase{"&gt;", ">"},
                                         EntityCase{"&unknown;", "&unknown;"}));

TEST(HTMLLayout, EmptyTextIsOneGhHighLine) {
  const THTMLLayout layout = Layout("", Area(100));
  ASSERT_EQ(layout.Lines.size(), 1u);
  EXPECT_EQ(layout.ContentHeight, 14);
  EXPECT_EQ(layout.ContentWidth, 0);
}

TEST(HTMLLayout, LineWidthLeavesOutTheTrailingSpace) {
  const THTMLLayout layout = Layout("aaaa bbbb <b>cc </b>d", Area(67));
  ASSERT_EQ(LineTexts(layout), (Lines{"aaaa bbbb ", "cc d"}));
  EXPECT_EQ(layout.Lines[0].Width, 54);
  EXPECT_EQ(layout.Lines[1].Width, 21 + 6);
  EXPECT_EQ(layout.ContentWidth, 54);
}

TEST(HTMLLayout, TallerPieceRaisesItsLineAndPiecesSitOnTheBottom) {
  const THTMLLayout layout = Layout("ab <b>cd</b><br>ef", Area(500));
  ASSERT_EQ(layout.Lines.size(), 2u);
  EXPECT_EQ(layout.Lines[0].Top, 20);
  EXPECT_EQ(layout.Lines[0].Height, 15);
  EXPECT_EQ(layout.Lines[0].GhHeight, 14);
  EXPECT_EQ(layout.Lines[1].Top, 35);
  EXPECT_EQ(layout.ContentHeight, 15 + 14);
  ASSERT_EQ(layout.Pieces.size(), 3u);
  EXPECT_EQ(layout.PieceTop(layout.Pieces[0]), 21); // plain text, one pixel lower than bold
  EXPECT_EQ(layout.PieceTop(layout.Pieces[1]), 20);
  EXPECT_EQ(layout.Pieces[1].Left, 10 + 18);
}

TEST(HTMLLayout, LineStartingInBoldTakesTheBoldGhHeight) {
  const THTMLLayout layout = Layout("<b>ab cd</b>", Area(30));
  ASSERT_EQ(layout.Lines.size(), 2u);
  EXPECT_EQ(layout.Lines[1].GhHeight, 15);
}

TEST(HTMLLayout, LinkTargetIsBetweenTheFirstQuotes) {
  const THTMLLayout layout =
      Layout("a <A href=\"one\" title=\"two\">l k</A> b <a name=x>c</a>", Area(500));
  EXPECT_EQ(layout.Links, (Lines{"one", ""}));
  std::vector<int> links;
  std::vector<bool> underlined;
  for (const THTMLPiece& piece : layout.Pieces) {
    links.push_back(piece.Link);
    underlined.push_back(piece.Style.Underline);
  }
  EXPECT_EQ(links, (std::vector<int>{-1, 0, 0, -1, -1, 1}));
  EXPECT_EQ(underlined, (std::vector<bool>{false, true, true, false, false, true}));
}

struct HitCase {
  int X, Y;
  int Expected;
};

class LinkAt : public testing::TestWithParam<HitCase> {};

// "ab " (10..28), then the link "cd " (28..46) and "ef" (46..58) on a line from 20 to 34.
TEST_P(LinkAt, FindsTheLinkWithinItsPiecesAndGhBand) {
  const THTMLLayout layout = Layout("ab <a href=\"t\">cd ef</a> gh", Area(500));
  EXPECT_EQ(layout.LinkAt(GetParam().X, GetParam().Y), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(HTMLLayout, LinkAt,
                         testing::Values(HitCase{28, 27, 0}, HitCase{58, 27, 0},
                                         HitCase{27, 27, -1}, HitCase{59, 27, -1},
                                         HitCase{40, 21, 0}, HitCase{40, 33, 0},
                                         HitCase{40, 20, -1}, HitCase{40, 34, -1}));

TEST(HTMLLayout, LinkWithoutTargetIsNeverFound) {
  const THTMLLayout layout = Layout("<a name=x>cd</a>", Area(500));
  EXPECT_EQ(layout.LinkAt(15, 27), -1);
}

TEST(HTMLLayout, LinesBelowTheAreaAreNotDrawnNorHit) {
  // Lines at 20, 34 and 48; an area bottom of 50 leaves room for the "gh" height of two.
  const THTMLLayout layout = Layout("a<br>b<br><a href=\"t\">c</a>", TRect{10, 20, 100, 50});
  ASSERT_EQ(layout.Lines.size(), 3u);
  EXPECT_TRUE(layout.Lines[0].Drawn);
  EXPECT_TRUE(layout.Lines[1].Drawn);
  EXPECT_FALSE(layout.Lines[2].Drawn);
  EXPECT_EQ(layout.LinkAt(12, 55), -1);
  EXPECT_EQ(layout.ContentHeight, 42);
}

struct LinkRectCase {
  const char* Name;
  AnsiString Text;
  TRect Area;
  std::vector<TRect> Expected; // of link 0
};

class LinkRects : public testing::TestWithParam<LinkRectCase> {};

TEST_P(LinkRects, CoverTheLinkTextLineByLine) {
  EXPECT_EQ(Layout(GetParam().Text, GetParam().Area).LinkRects(0), GetParam().Expected);
}

// 6 pixels a character; plain lines 14 high, a bold piece raises its line to 15.
INSTANTIATE_TEST_SUITE_P(
    HTMLLayout, LinkRects,
    testing::Values(
        LinkRectCase{"OneLine", "ab <a href=\"t\">cd ef</a> gh", Area(500), {{28, 20, 58, 34}}},
        // "ab cd " fills the first line; its space is not part of the link's rectangle there.
        LinkRectCase{"WrappedWithoutTheSpaceThatEndsTheLine",
                     "ab <a href=\"t\">cd ef</a>",
                     Area(40),
                     {{28, 20, 40, 34}, {10, 34, 22, 48}}},
        LinkRectCase{"BandOfTheGhHeightAtTheBottomOfATallerLine",
                     "<b>ab</b> <a href=\"t\">cd</a>",
                     Area(500),
                     {{30, 21, 42, 35}}},
        // Lines at 20 and 34; a bottom of 40 leaves no room for the second.
        LinkRectCase{"LineNotDrawnLeftOut",
                     "<a href=\"t\">a<br>b</a>",
                     TRect{10, 20, 100, 40},
                     {{10, 20, 16, 34}}},
        LinkRectCase{"NoSuchLink", "ab cd", Area(500), {}}),
    [](const testing::TestParamInfo<LinkRectCase>& Info) { return AnsiString(Info.param.Name); });

TEST(HTMLLayout, LinksCarryTheirTargetAndTextAsAReaderTakesIt) {
  const std::vector<THTMLLink> links =
      HTMLLinks("a <A href=\"x\">Kopieren des <b>Inhaltes</b></A> b <a name=y>M&amp;M<br>2</a> "
                "<a href=\"z\">c");
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(links[0].Target, "x");
  EXPECT_EQ(links[0].Text, "Kopieren des Inhaltes");
  EXPECT_EQ(links[1].Target, "");
  EXPECT_EQ(links[1].Text, "M&M\r\n2");
  EXPECT_EQ(links[2].Target, "z");
  EXPECT_EQ(links[2].Text, "c"); // open to the end of the text
  EXPECT_TRUE(HTMLLinks("kein <b>Link</b>").empty());
  // The same links, in the same order, as the layout finds them.
  const THTMLLayout layout = Layout("<a href=\"x\">a</a> <a href=\"y\">b</a>", Area(500));
  EXPECT_EQ(layout.Links, (Lines{"x", "y"}));
}

using EllipsisCase = WrapCase;

class Ellipsis : public testing::TestWithParam<EllipsisCase> {};

TEST_P(Ellipsis, KeepsEachTextLineOnOneLineCutToTheArea) {
  TFixedMeasurer measurer;
  EXPECT_EQ(LineTexts(LayoutHTML(GetParam().Text, Area(GetParam().Width), measurer, true)),
            GetParam().Expected);
}

// 6 pixels a character, 7 in bold; a line's width must stay below the area's.
INSTANTIATE_TEST_SUITE_P(
    HTMLLayout, Ellipsis,
    testing::Values(
        EllipsisCase{"FitsUncut", "aaaa bbbb", 55, {"aaaa bbbb"}},
        // 54 is not below 54: "aaaa b..." is 54 too, "aaaa ..." 48.
        EllipsisCase{"SumEqualToWidthIsCut", "aaaa bbbb", 54, {"aaaa ..."}},
        EllipsisCase{"CutInsideAWord", "abcdefghij", 40, {"abc..."}},
        EllipsisCase{"NoRoomLeavesTheEllipsisAlone", "abcdefghij", 10, {"..."}},
        // After the cut the rest of that line is dropped, the next text line starts anew.
        // Bold "bbbb" overflows and no bold letter fits before the bold "...".
        EllipsisCase{"RestOfTheLineDropped", "aaaa<b>bbbb</b>cc<br>dd", 50, {"aaaa...", "dd"}},
        EllipsisCase{"CarriageReturnStartsALine", "aaaaaaaaaa\rbb", 40, {"aaa...", "bb"}},
        EllipsisCase{"PieceInBoldMeasuredInBold", "<b>aaaaaa</b>", 40, {"aa..."}}),
    [](const testing::TestParamInfo<EllipsisCase>& Info) { return AnsiString(Info.param.Name); });

TEST(HTMLLayout, EllipsisKeepsTheLinkOfTheCutPiece) {
  TFixedMeasurer measurer;
  const THTMLLayout layout =
      LayoutHTML("ab <A href=\"x\">Kopieren</A> cd", Area(60), measurer, true);
  ASSERT_EQ(LineTexts(layout), (Lines{"ab Kop..."}));
  ASSERT_EQ(layout.Pieces.size(), 2u);
  EXPECT_EQ(layout.Pieces[1].Link, 0);
  EXPECT_EQ(layout.Pieces[1].Width, 36);
  EXPECT_EQ(layout.Lines[0].Width, 54);
  EXPECT_EQ(layout.LinkAt(50, 27), 0);
}

struct FrameCase {
  const char* Name;
  TLabelFrameStyle Style;
  TRect TextArea;
  std::vector<TStripColor> Colors; // of the strips, four for each band, outside in
};

class Frame : public testing::TestWithParam<FrameCase> {};

TEST_P(Frame, ShrinksTheTextAreaByEachBand) {
  const TLabelFrame frame = LayoutLabelFrame(TRect{0, 0, 100, 50}, GetParam().Style);
  EXPECT_EQ(frame.TextArea, GetParam().TextArea);
  std::vector<TStripColor> colors;
  for (const TFrameStrip& strip : frame.Strips)
    colors.push_back(strip.Color);
  EXPECT_EQ(colors, GetParam().Colors);
}

const TStripColor Bg = TStripColor::Background, Hi = TStripColor::Highlight,
                  Sh = TStripColor::Shadow, Bk = TStripColor::Black;

INSTANTIATE_TEST_SUITE_P(
    HTMLLayout, Frame,
    testing::Values(FrameCase{"Nothing", {}, TRect{0, 0, 100, 50}, {}},
                    FrameCase{"BorderWidthOnly", {6}, TRect{6, 6, 94, 44}, {Bg, Bg, Bg, Bg}},
                    FrameCase{"SingleAddsABlackBandOfBorderWidth",
                              {3, TBorderStyle::Single},
                              TRect{6, 6, 94, 44},
                              {Bg, Bg, Bg, Bg, Bk, Bk, Bk, Bk}},
                    FrameCase{"SingleWithoutBorderWidthHasNoBand",
                              {0, TBorderStyle::Single},
                              TRect{0, 0, 100, 50},
                              {}},
                    FrameCase{"RaisedOuterLoweredInner",
                              {0, TBorderStyle::None, bvRaised, bvLowered, 2},
                              TRect{4, 4, 96, 46},
                              {Hi, Hi, Sh, Sh, Sh, Sh, Hi, Hi}},
                    FrameCase{"AllOfThem",
                              {1, TBorderStyle::Single, bvLowered, bvRaised, 1},
                              TRect{4, 4, 96, 46},
                              {Bg, Bg, Bg, Bg, Sh, Sh, Hi, Hi, Hi, Hi, Sh, Sh, Bk, Bk, Bk, Bk}}),
    [](const testing::TestParamInfo<FrameCase>& Info) { return AnsiString(Info.param.Name); });

TEST(HTMLLayout, FrameStripsLieAlongTheInsideOfTheirBand) {
  TLabelFrameStyle style;
  style.BorderWidth = 2;
  style.BevelOuter = bvRaised;
  style.BevelWidth = 3;
  const TLabelFrame frame = LayoutLabelFrame(TRect{0, 0, 100, 50}, style);
  ASSERT_EQ(frame.Strips.size(), 8u);
  // The bevel's band: inside the 2-pixel border, 3 pixels wide.
  EXPECT_EQ(frame.Strips[4].Rect, (TRect{2, 2, 98, 5}));   // top
  EXPECT_EQ(frame.Strips[5].Rect, (TRect{2, 2, 5, 48}));   // left
  EXPECT_EQ(frame.Strips[6].Rect, (TRect{2, 45, 98, 48})); // bottom
  EXPECT_EQ(frame.Strips[7].Rect, (TRect{95, 2, 98, 48})); // right
}

TEST(HTMLLayout, AssignedListLosesEveryLineBreak) {
  EXPECT_EQ(WithoutLineBreaks("a\r\nb <b>c</b>\r\n\rd\ne\r\n"), "ab <b>c</b>de");
  EXPECT_EQ(WithoutLineBreaks(""), "");
}

TEST(HTMLLayout, PlainTextDropsTagsAndKeepsBreaks) {
  EXPECT_EQ(HTMLToPlainText("a <b>b</b>&amp; <A href=\"x\">c</A><BR>d\re\nf"), "a b& c\r\nd\r\nef");
}

} // namespace
