#include "controls/gdi_text_measurer.h"

TGdiTextMeasurer::TGdiTextMeasurer(HDC DC, const TFont& Font) : FDC(DC), FFont(Font) {}

void TGdiTextMeasurer::Select(const THTMLStyle& Style) {
  const int slot = Slot(Style);
  if (slot == FSelected) return;
  TFontHandle& font = FFonts[slot];
  if (!font) font = FFont.CreateHandle(TFontStyles{Style.Bold, Style.Underline});
  if (!FSelection)
    FSelection = std::make_unique<TSelectObject>(FDC, font.Get());
  else
    SelectObject(FDC, font.Get());
  FSelected = slot;
}

TSize TGdiTextMeasurer::TextExtent(const THTMLStyle& Style, const AnsiString& Text) {
  Select(Style);
  SIZE size = {};
  GetTextExtentPoint32A(FDC, Text.data(), static_cast<int>(Text.size()), &size);
  return TSize{size.cx, size.cy};
}

void TGdiTextMeasurer::Draw(const THTMLStyle& Style, int X, int Y, const AnsiString& Text) {
  Select(Style);
  const int length = static_cast<int>(Text.size());
  FAdvances.assign(Text.size(), 0);
  SIZE size = {};
  if (length == 0 ||
      !GetTextExtentExPointA(FDC, Text.data(), length, 0, nullptr, FAdvances.data(), &size)) {
    TextOutA(FDC, X, Y, Text.data(), length);
    return;
  }
  // The partial extents become the advance of each character.
  for (int i = length - 1; i > 0; --i)
    FAdvances[i] -= FAdvances[i - 1];
  ExtTextOutA(FDC, X, Y, 0, nullptr, Text.data(), static_cast<UINT>(length), FAdvances.data());
}
