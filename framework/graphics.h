#pragma once
// Colours and fonts of the controls.
#include <windows.h>

#include <cstdint>

#include "base/system.h"
#include "framework/win_owners.h"

// A COLORREF, or a system colour: the high bit set and the COLOR_ index in the low byte.
using TColor = int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBlue = 0xFF0000; // COLORREF order: 0x00BBGGRR
constexpr TColor clGray = 0x808080;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clWindowText = static_cast<TColor>(0x80000000u | COLOR_WINDOWTEXT);
constexpr TColor clBtnFace = static_cast<TColor>(0x80000000u | COLOR_BTNFACE);
constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000000u | COLOR_BTNHIGHLIGHT);
constexpr TColor clBtnShadow = static_cast<TColor>(0x80000000u | COLOR_BTNSHADOW);

COLORREF ColorToRGB(TColor Color);

struct TFontStyles {
  bool Bold = false;
  bool Underline = false;
};

// A font description. The handle for the plain style is made when first asked for and kept;
// other styles are made on request and belong to the caller.
class TFont {
public:
  TFont() = default;
  TFont(const TFont& Other);
  TFont& operator=(const TFont& Other);

  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& Name);
  // As LOGFONT's lfHeight: negative values give the character height in pixels.
  int Height() const { return FHeight; }
  void SetHeight(int Height);
  BYTE Charset() const { return FCharset; }
  void SetCharset(BYTE Charset);
  TColor Color() const { return FColor; }
  void SetColor(TColor Color) { FColor = Color; }

  HFONT Handle() const;
  TFontHandle CreateHandle(const TFontStyles& Styles) const;

private:
  AnsiString FName = "Tahoma";
  int FHeight = -12;
  BYTE FCharset = ANSI_CHARSET;
  TColor FColor = clWindowText;
  mutable TFontHandle FHandle;
};
