#include "framework/clipboard.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "base/exceptions.h"
#include "platform/platform.h"

namespace {

// The clipboard is one per session; another program may hold it for a moment, so the attempts
// go on for about a second before the user is told.
constexpr ULONGLONG OpenClipboardPatienceMs = 1000;

class OpenedClipboard {
public:
  explicit OpenedClipboard(HWND Owner = nullptr) {
    const ULONGLONG end = GetTickCount64() + OpenClipboardPatienceMs;
    for (;;) {
      if (OpenClipboard(Owner)) {
        FOpen = true;
        return;
      }
      if (GetTickCount64() >= end) break;
      Sleep(10);
    }
    throw Exception("Die Zwischenablage kann nicht ge\xF6" "ffnet werden");
  }
  ~OpenedClipboard() {
    if (FOpen) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

private:
  bool FOpen = false;
};

class LockedGlobal {
public:
  explicit LockedGlobal(HGLOBAL Memory) : FMemory(Memory), FData(GlobalLock(Memory)) {}
  ~LockedGlobal() {
    if (FData) GlobalUnlock(FMemory);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;
  void* Data() const { return FData; }
  size_t Size() const { return FData ? GlobalSize(FMemory) : 0; }

private:
  HGLOBAL FMemory;
  void* FData;
};

// A moveable global block holding Size bytes of Data, for SetClipboardData to take over.
HGLOBAL GlobalCopy(const void* Data, size_t Size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, Size);
  if (!memory) throw Exception("Zu wenig Arbeitsspeicher");
  {
    LockedGlobal locked(memory);
    if (!locked.Data()) {
      GlobalFree(memory);
      throw Exception("Zu wenig Arbeitsspeicher");
    }
    memcpy(locked.Data(), Data, Size);
  }
  return memory;
}

void Offer(UINT Format, const void* Data, size_t Size) {
  HGLOBAL memory = GlobalCopy(Data, Size);
  if (!SetClipboardData(Format, memory)) {
    GlobalFree(memory);
    throw Exception("Die Zwischenablage kann nicht beschrieben werden");
  }
}

} // namespace

AnsiString ClipboardText() {
  OpenedClipboard clipboard;
  HANDLE data = GetClipboardData(CF_TEXT);
  if (!data) return AnsiString();
  LockedGlobal locked(data);
  const char* text = static_cast<const char*>(locked.Data());
  if (!text) return AnsiString();
  // The block may be larger than its text; the text ends at the first zero.
  const size_t size = locked.Size();
  const void* end = memchr(text, 0, size);
  return AnsiString(text, end ? static_cast<const char*>(end) - text : size);
}

void SetClipboardText(HWND Owner, const AnsiString& Text) {
  const WideString wide = platform::AnsiToWide(Text);
  OpenedClipboard clipboard(Owner);
  if (!EmptyClipboard()) throw Exception("Die Zwischenablage kann nicht beschrieben werden");
  Offer(CF_TEXT, Text.c_str(), Text.size() + 1);
  Offer(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
}

void ClipboardFiles(TStrings& Files) {
  Files.Clear();
  IDataObject* object = nullptr;
  if (FAILED(OleGetClipboard(&object)) || !object) return;
  try {
    ReadFileNames(object, Files);
  } catch (...) {
    object->Release();
    throw;
  }
  object->Release();
}

void ReadFileNames(IDataObject* Data, TStrings& Files) {
  Files.Clear();
  if (!Data) return;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  struct Medium : STGMEDIUM {
    Medium() : STGMEDIUM() {}
    ~Medium() { ReleaseStgMedium(this); }
  } medium;
  if (FAILED(Data->GetData(&format, &medium))) return;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      const UINT length = DragQueryFileW(drop, i, nullptr, 0);
      std::wstring name(length + 1, L'\0');
      DragQueryFileW(drop, i, &name[0], length + 1);
      name.resize(length);
      Files.Add(platform::WideToAnsi(reinterpret_cast<const char16_t*>(name.data()), name.size()));
    }
  }
}
