#pragma once
// Owners of device contexts: a window's DC, a paint pass, an off-screen buffer, and a saved DC
// state.
#include <windows.h>

#include "framework/gdi_object.h"

// GetDC/ReleaseDC. A null window gives the screen's DC.
class TWindowDC {
public:
  explicit TWindowDC(HWND Window) : FWindow(Window), FDC(GetDC(Window)) {}
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  ~TWindowDC() {
    if (FDC) ReleaseDC(FWindow, FDC);
  }
  HDC Get() const { return FDC; }

private:
  HWND FWindow;
  HDC FDC;
};

// BeginPaint/EndPaint around one WM_PAINT.
class TPaintDC {
public:
  explicit TPaintDC(HWND Window) : FWindow(Window), FStruct(), FDC(BeginPaint(Window, &FStruct)) {}
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  ~TPaintDC() { EndPaint(FWindow, &FStruct); }
  HDC Get() const { return FDC; }
  const RECT& PaintRect() const { return FStruct.rcPaint; }

private:
  HWND FWindow;
  PAINTSTRUCT FStruct;
  HDC FDC;
};

// An off-screen surface compatible with a DC, so that a window is painted in one piece.
class TMemoryDC {
public:
  TMemoryDC(HDC Compatible, int Width, int Height);
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;
  ~TMemoryDC();
  // False when the system had no memory for the surface.
  bool Valid() const { return FDC && FBitmap; }
  HDC Get() const { return FDC; }
  // Copies Rect of the surface to the same place in Target.
  void CopyTo(HDC Target, const RECT& Rect) const;

private:
  HDC FDC;
  TBitmapHandle FBitmap;
  HGDIOBJ FPrevious = nullptr;
};

// SaveDC/RestoreDC: origin, clipping and selections come back as they were.
class TSavedDC {
public:
  explicit TSavedDC(HDC DC) : FDC(DC), FState(SaveDC(DC)) {}
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;
  ~TSavedDC() {
    if (FState) RestoreDC(FDC, FState);
  }

private:
  HDC FDC;
  int FState;
};
