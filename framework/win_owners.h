#pragma once
// The owners of the Win32 objects the Windows layer takes: one small class per kind of handle,
// which gives the object back when it goes, so that every exit path releases what it took and no
// function needs a cleanup ladder. Owners are move-only; a paint pass, a critical section and a
// lock do not move at all.
#include <windows.h>

#include <ole2.h>

#include <utility>

// ---- Plain handles

// The shape of every owner of a plain handle. TTraits names the handle's type (THandle), the
// value that stands for none (None), what counts as a handle (Valid) and the call that gives one
// back (Close).
template <class TTraits> class TOwnedHandle {
public:
  using THandle = typename TTraits::THandle;

  explicit TOwnedHandle(THandle Handle = TTraits::None()) : FHandle(Handle) {}
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;
  TOwnedHandle(TOwnedHandle&& Other) noexcept : FHandle(Other.Release()) {}
  TOwnedHandle& operator=(TOwnedHandle&& Other) noexcept {
    if (this != &Other) Reset(Other.Release());
    return *this;
  }
  ~TOwnedHandle() { Reset(); }

  THandle Get() const { return FHandle; }
  bool Valid() const { return TTraits::Valid(FHandle); }
  explicit operator bool() const { return Valid(); }
  // Returns the handle held so far and takes Handle.
  void Reset(THandle Handle = TTraits::None()) {
    const THandle old = FHandle;
    FHandle = Handle;
    if (TTraits::Valid(old) && old != Handle) TTraits::Close(old);
  }
  // The caller answers for the handle from here on.
  THandle Release() {
    const THandle handle = FHandle;
    FHandle = TTraits::None();
    return handle;
  }

private:
  THandle FHandle;
};

namespace win_owners {

// Handles that are null when there is none.
template <class T> struct TNullableTraits {
  using THandle = T;
  static T None() { return nullptr; }
  static bool Valid(T Handle) { return Handle != nullptr; }
};

// Kernel objects: files, events, threads. CreateFile says "none" with INVALID_HANDLE_VALUE, the
// others with null.
struct TKernelTraits {
  using THandle = HANDLE;
  static HANDLE None() { return nullptr; }
  static bool Valid(HANDLE Handle) { return Handle != nullptr && Handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE Handle) { CloseHandle(Handle); }
};

struct TFindTraits {
  using THandle = HANDLE;
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE Handle) { return Handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE Handle) { FindClose(Handle); }
};

template <class T> struct TGdiTraits : TNullableTraits<T> {
  static void Close(T Handle) { DeleteObject(Handle); }
};

struct TCreatedDCTraits : TNullableTraits<HDC> {
  static void Close(HDC DC) { DeleteDC(DC); }
};

struct TWindowTraits : TNullableTraits<HWND> {
  static void Close(HWND Window) { DestroyWindow(Window); }
};

struct TGlobalTraits : TNullableTraits<HGLOBAL> {
  static void Close(HGLOBAL Memory) { GlobalFree(Memory); }
};

template <class T> struct TLocalTraits : TNullableTraits<T> {
  static void Close(T Memory) { LocalFree(Memory); }
};

} // namespace win_owners

// A kernel object: a file from CreateFile, an event, a thread.
using TKernelHandle = TOwnedHandle<win_owners::TKernelTraits>;
// A search from FindFirstFile.
using TFindHandle = TOwnedHandle<win_owners::TFindTraits>;
// A GDI object of its own type, deleted when the owner goes.
template <class THandle> using TGdiObject = TOwnedHandle<win_owners::TGdiTraits<THandle>>;
using TFontHandle = TGdiObject<HFONT>;
using TBrushHandle = TGdiObject<HBRUSH>;
using TPenHandle = TGdiObject<HPEN>;
using TBitmapHandle = TGdiObject<HBITMAP>;
// A DC made by CreateCompatibleDC or CreateDC (not one of a window: see TWindowDC).
using TDCHandle = TOwnedHandle<win_owners::TCreatedDCTraits>;
// A window that is not a TWindow; destroying it works only on the thread that made it.
using TWindowHandle = TOwnedHandle<win_owners::TWindowTraits>;
// A block the system allocated with LocalAlloc for the caller to free, as a T.
template <class T> using TLocalMemory = TOwnedHandle<win_owners::TLocalTraits<T>>;

// A global memory block. SetClipboardData takes such a block over only when it succeeds, so the
// hand-over is the owner's.
class TGlobalMemory : public TOwnedHandle<win_owners::TGlobalTraits> {
public:
  using TOwnedHandle::TOwnedHandle;
  // Puts the block on the clipboard (opened by this thread) as Format. On success the clipboard
  // owns it and this owner holds none; on failure it stays here and goes with the owner.
  bool GiveToClipboard(UINT Format) {
    if (!Valid() || !SetClipboardData(Format, Get())) return false;
    Release();
    return true;
  }
};

// GlobalLock/GlobalUnlock of a block owned elsewhere (the clipboard's, or a TGlobalMemory).
class TGlobalLock {
public:
  explicit TGlobalLock(HGLOBAL Memory) : FMemory(Memory), FData(GlobalLock(Memory)) {}
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  TGlobalLock(TGlobalLock&& Other) noexcept
      : FMemory(Other.FMemory), FData(std::exchange(Other.FData, nullptr)) {}
  TGlobalLock& operator=(TGlobalLock&&) = delete;
  ~TGlobalLock() {
    if (FData) GlobalUnlock(FMemory);
  }
  // Null when the block could not be locked.
  void* Data() const { return FData; }
  size_t Size() const { return FData ? GlobalSize(FMemory) : 0; }

private:
  HGLOBAL FMemory;
  void* FData;
};

// ---- Device contexts

// Selects Object into DC and puts the previous object back when it goes. Declare it after the
// owner of Object, so that the object is deselected before it is deleted. The default selects
// nothing.
class TSelectObject {
public:
  TSelectObject() = default;
  TSelectObject(HDC DC, HGDIOBJ Object) : FDC(DC), FPrevious(SelectObject(DC, Object)) {}
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;
  TSelectObject(TSelectObject&& Other) noexcept
      : FDC(Other.FDC), FPrevious(std::exchange(Other.FPrevious, nullptr)) {}
  TSelectObject& operator=(TSelectObject&&) = delete;
  ~TSelectObject() {
    if (FPrevious && FPrevious != HGDI_ERROR) SelectObject(FDC, FPrevious);
  }

private:
  HDC FDC = nullptr;
  HGDIOBJ FPrevious = nullptr;
};

// GetDC/ReleaseDC. A null window gives the screen's DC.
class TWindowDC {
public:
  explicit TWindowDC(HWND Window) : FWindow(Window), FDC(GetDC(Window)) {}
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  TWindowDC(TWindowDC&& Other) noexcept
      : FWindow(Other.FWindow), FDC(std::exchange(Other.FDC, nullptr)) {}
  TWindowDC& operator=(TWindowDC&&) = delete;
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

// SaveDC/RestoreDC: origin, clipping and selections come back as they were.
class TSavedDC {
public:
  explicit TSavedDC(HDC DC) : FDC(DC), FState(SaveDC(DC)) {}
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;
  TSavedDC(TSavedDC&& Other) noexcept : FDC(Other.FDC), FState(std::exchange(Other.FState, 0)) {}
  TSavedDC& operator=(TSavedDC&&) = delete;
  ~TSavedDC() {
    if (FState) RestoreDC(FDC, FState);
  }

private:
  HDC FDC;
  int FState;
};

// An off-screen surface compatible with a DC, so that a window is painted in one piece.
class TMemoryDC {
public:
  TMemoryDC(HDC Compatible, int Width, int Height)
      : FDC(CreateCompatibleDC(Compatible)),
        FBitmap(CreateCompatibleBitmap(Compatible, Width > 0 ? Width : 1, Height > 0 ? Height : 1)),
        FSelection(FDC && FBitmap ? TSelectObject(FDC.Get(), FBitmap.Get()) : TSelectObject()) {}
  // False when the system had no memory for the surface.
  bool Valid() const { return FDC && FBitmap; }
  HDC Get() const { return FDC.Get(); }
  // Copies Rect of the surface to the same place in Target.
  void CopyTo(HDC Target, const RECT& Rect) const {
    BitBlt(Target, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, FDC.Get(),
           Rect.left, Rect.top, SRCCOPY);
  }

private:
  TDCHandle FDC;
  TBitmapHandle FBitmap;
  TSelectObject FSelection; // last: the bitmap leaves the DC before either goes
};

// ---- Threads

// An unnamed event; raises Exception when the system cannot make one.
class TEvent {
public:
  TEvent(bool ManualReset, bool Signalled);

  HANDLE Handle() const { return FHandle.Get(); }
  void Set() { SetEvent(FHandle.Get()); }
  void Reset() { ResetEvent(FHandle.Get()); }

private:
  TKernelHandle FHandle;
};

class TCriticalSection {
public:
  TCriticalSection() { InitializeCriticalSection(&FSection); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  ~TCriticalSection() { DeleteCriticalSection(&FSection); }

  void Enter() { EnterCriticalSection(&FSection); }
  void Leave() { LeaveCriticalSection(&FSection); }

private:
  CRITICAL_SECTION FSection;
};

class TLock {
public:
  explicit TLock(TCriticalSection& Section) : FSection(Section) { FSection.Enter(); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  ~TLock() { FSection.Leave(); }

private:
  TCriticalSection& FSection;
};

// ---- COM and OLE

// One reference to a COM object, released when the owner goes.
template <class T> class TComPtr {
public:
  // Takes over the reference Object carries (as from new or a call that returns one).
  explicit TComPtr(T* Object = nullptr) : FObject(Object) {}
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& Other) noexcept : FObject(Other.Release()) {}
  TComPtr& operator=(TComPtr&& Other) noexcept {
    if (this != &Other) Reset(Other.Release());
    return *this;
  }
  ~TComPtr() { Reset(); }

  T* Get() const { return FObject; }
  T* operator->() const { return FObject; }
  explicit operator bool() const { return FObject != nullptr; }
  // Releases the reference held so far and takes over Object's.
  void Reset(T* Object = nullptr) {
    T* const old = FObject;
    FObject = Object;
    if (old) old->Release();
  }
  // The caller answers for the reference from here on.
  T* Release() { return std::exchange(FObject, nullptr); }
  // For a call that returns a new reference through a T**: the one held so far is released first.
  T** Receive() {
    Reset();
    return &FObject;
  }

private:
  T* FObject;
};

// OleInitialize on this thread, undone when the scope goes if it succeeded.
class TOleInitialization {
public:
  TOleInitialization() : FInitialized(SUCCEEDED(OleInitialize(nullptr))) {}
  TOleInitialization(const TOleInitialization&) = delete;
  TOleInitialization& operator=(const TOleInitialization&) = delete;
  TOleInitialization(TOleInitialization&& Other) noexcept
      : FInitialized(std::exchange(Other.FInitialized, false)) {}
  TOleInitialization& operator=(TOleInitialization&&) = delete;
  ~TOleInitialization() {
    if (FInitialized) OleUninitialize();
  }
  // False when OLE refused, for example on a thread already in the multithreaded apartment.
  bool Initialized() const { return FInitialized; }

private:
  bool FInitialized;
};

// A storage medium that a data object filled in; ReleaseStgMedium when the owner goes.
class TStgMedium {
public:
  TStgMedium() : FMedium() {}
  TStgMedium(const TStgMedium&) = delete;
  TStgMedium& operator=(const TStgMedium&) = delete;
  TStgMedium(TStgMedium&& Other) noexcept : FMedium(std::exchange(Other.FMedium, STGMEDIUM())) {}
  TStgMedium& operator=(TStgMedium&&) = delete;
  ~TStgMedium() { ReleaseStgMedium(&FMedium); }

  STGMEDIUM* operator->() { return &FMedium; }
  // For IDataObject::GetData: the medium held so far is released first.
  STGMEDIUM* Receive() {
    ReleaseStgMedium(&FMedium);
    FMedium = STGMEDIUM();
    return &FMedium;
  }

private:
  STGMEDIUM FMedium;
};

// ---- The clipboard

// OpenClipboard, once; CloseClipboard when the owner goes if it was opened.
class TOpenedClipboard {
public:
  explicit TOpenedClipboard(HWND Owner) : FOpen(OpenClipboard(Owner) != FALSE) {}
  TOpenedClipboard(const TOpenedClipboard&) = delete;
  TOpenedClipboard& operator=(const TOpenedClipboard&) = delete;
  TOpenedClipboard(TOpenedClipboard&& Other) noexcept : FOpen(std::exchange(Other.FOpen, false)) {}
  TOpenedClipboard& operator=(TOpenedClipboard&&) = delete;
  ~TOpenedClipboard() {
    if (FOpen) CloseClipboard();
  }
  explicit operator bool() const { return FOpen; }

private:
  bool FOpen;
};
