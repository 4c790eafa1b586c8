#pragma once
// Owners of GDI objects: one object each, deleted when the owner goes; and the restore of whatever
// a device context held before an object was selected into it.
#include <windows.h>

template <class THandle>
class TGdiObject {
public:
  explicit TGdiObject(THandle Handle = nullptr) : FHandle(Handle) {}
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  TGdiObject(TGdiObject&& Other) noexcept : FHandle(Other.FHandle) { Other.FHandle = nullptr; }
  TGdiObject& operator=(TGdiObject&& Other) noexcept {
    if (this != &Other) {
      Reset(Other.FHandle);
      Other.FHandle = nullptr;
    }
    return *this;
  }
  ~TGdiObject() { Reset(); }

  THandle Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }
  void Reset(THandle Handle = nullptr) {
    if (FHandle) DeleteObject(FHandle);
    FHandle = Handle;
  }

private:
  THandle FHandle;
};

using TFontHandle = TGdiObject<HFONT>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TPenHandle = TGdiObject<HPEN>;
using TBitmapHandle = TGdiObject<HBITMAP>;

// Selects Object into DC and puts the previous object back when it goes. Declare it after the
// owner of Object, so that the object is deselected before it is deleted.
class TSelectObject {
public:
  TSelectObject(HDC DC, HGDIOBJ Object) : FDC(DC), FPrevious(SelectObject(DC, Object)) {}
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;
  ~TSelectObject() {
    if (FPrevious && FPrevious != HGDI_ERROR) SelectObject(FDC, FPrevious);
  }

private:
  HDC FDC;
  HGDIOBJ FPrevious;
};
