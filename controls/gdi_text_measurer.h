#pragma once
// Text extents of the markup styles measured through GDI, in fonts made from one base font; the
// same object selects the fonts for drawing. The DC gets its previous font back at the end.
#include <windows.h>

#include <memory>
#include <vector>

#include "controls/html_layout.h"
#include "framework/graphics.h"
#include "framework/win_owners.h"

class TGdiTextMeasurer : public TTextMeasurer {
public:
  TGdiTextMeasurer(HDC DC, const TFont& Font);
  TSize TextExtent(const THTMLStyle& Style, const AnsiString& Text) override;
  // Selects the font of Style into the DC.
  void Select(const THTMLStyle& Style);
  // Draws Text with its glyphs at the advances TextExtent measures, so that the drawing ends where
  // the layout says (a plain TextOut may place them differently from its own extents).
  void Draw(const THTMLStyle& Style, int X, int Y, const AnsiString& Text);

private:
  static int Slot(const THTMLStyle& Style) {
    return (Style.Bold ? 1 : 0) + (Style.Underline ? 2 : 0);
  }

  HDC FDC;
  const TFont& FFont;
  TFontHandle FFonts[4]; // before the selection, so that a font is deselected before it goes
  std::unique_ptr<TSelectObject> FSelection;
  int FSelected = -1;
  std::vector<INT> FAdvances;
};
