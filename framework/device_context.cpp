#include "framework/device_context.h"

TMemoryDC::TMemoryDC(HDC Compatible, int Width, int Height)
    : FDC(CreateCompatibleDC(Compatible)),
      FBitmap(CreateCompatibleBitmap(Compatible, Width > 0 ? Width : 1, Height > 0 ? Height : 1)) {
  if (FDC && FBitmap) FPrevious = SelectObject(FDC, FBitmap.Get());
}

TMemoryDC::~TMemoryDC() {
  if (FDC) {
    if (FPrevious) SelectObject(FDC, FPrevious);
    DeleteDC(FDC);
  }
}

void TMemoryDC::CopyTo(HDC Target, const RECT& Rect) const {
  BitBlt(Target, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, FDC,
         Rect.left, Rect.top, SRCCOPY);
}
