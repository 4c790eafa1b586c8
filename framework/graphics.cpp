#include "framework/graphics.h"

#include <cstring>

COLORREF ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return static_cast<COLORREF>(Color);
}

TFont::TFont(const TFont& Other)
    : FName(Other.FName), FHeight(Other.FHeight), FCharset(Other.FCharset), FColor(Other.FColor) {}

TFont& TFont::operator=(const TFont& Other) {
  if (this != &Other) {
    FName = Other.FName;
    FHeight = Other.FHeight;
    FCharset = Other.FCharset;
    FColor = Other.FColor;
    FHandle.Reset();
  }
  return *this;
}

void TFont::SetName(const AnsiString& Name) {
  FName = Name;
  FHandle.Reset();
}

void TFont::SetHeight(int Height) {
  FHeight = Height;
  FHandle.Reset();
}

void TFont::SetCharset(BYTE Charset) {
  FCharset = Charset;
  FHandle.Reset();
}

HFONT TFont::Handle() const {
  if (!FHandle) FHandle = CreateHandle(TFontStyles());
  return FHandle.Get();
}

TFontHandle TFont::CreateHandle(const TFontStyles& Styles) const {
  LOGFONTA font = {};
  font.lfHeight = FHeight;
  font.lfWeight = Styles.Bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = Styles.Underline ? TRUE : FALSE;
  font.lfCharSet = FCharset;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::strncpy(font.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
  return TFontHandle(CreateFontIndirectA(&font));
}
