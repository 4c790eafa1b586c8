#include "framework/clipboard.h"

#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "base/exceptions.h"
#include "framework/win_owners.h"
#include "platform/platform.h"

namespace {

// The clipboard is one per session; another program may hold it for a moment, so the attempts
// go on for about a second before the user is told.
constexpr ULONGLONG OpenClipboardPatienceMs = 1000;

TOpenedClipboard OpenClipboardPatiently(HWND Owner = nullptr) {
  const ULONGLONG end = GetTickCount64() + OpenClipboardPatienceMs;
  for (;;) {
    TOpenedClipboard clipboard(Owner);
    if (clipboard) return clipboard;
    if (GetTickCount64() >= end) break;
    Sleep(10);
  }
  throw Exception("Die Zwischenablage kann nicht ge\xF6"
                  "ffnet werden");
}

// A moveable global block holding Size bytes of Data, for SetClipboardData to take over.
TGlobalMemory GlobalCopy(const void* Data, size_t Size) {
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, Size));
  if (!memory) throw Exception("Zu wenig Arbeitsspeicher");
  const TGlobalLock locked(memory.Get());
  if (!locked.Data()) throw Exception("Zu wenig Arbeitsspeicher");
  memcpy(locked.Data(), Data, Size);
  return memory;
}

void Offer(UINT Format, const void* Data, size_t Size) {
  if (!GlobalCopy(Data, Size).GiveToClipboard(Format))
    throw Exception("Die Zwischenablage kann nicht beschrieben werden");
}

} // namespace

AnsiString ClipboardText() {
  const TOpenedClipboard clipboard = OpenClipboardPatiently();
  HANDLE data = GetClipboardData(CF_TEXT);
  if (!data) return AnsiString();
  const TGlobalLock locked(data);
  const char* text = static_cast<const char*>(locked.Data());
  if (!text) return AnsiString();
  // The block may be larger than its text; the text ends at the first zero.
  const size_t size = locked.Size();
  const void* end = memchr(text, 0, size);
  return AnsiString(text, end ? static_cast<const char*>(end) - text : size);
}

WideString ClipboardUnicodeText() {
  {
    const TOpenedClipboard clipboard = OpenClipboardPatiently();
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      const TGlobalLock locked(data);
      const auto* text = static_cast<const char16_t*>(locked.Data());
      if (!text) return WideString();
      // As with ANSI text, the block may be larger than its text.
      const size_t units = locked.Size() / sizeof(char16_t);
      size_t length = 0;
      while (length < units && text[length] != 0)
        ++length;
      return WideString(text, length);
    }
  }
  return platform::AnsiToWide(ClipboardText());
}

void SetClipboardText(HWND Owner, const AnsiString& Text) {
  const WideString wide = platform::AnsiToWide(Text);
  const TOpenedClipboard clipboard = OpenClipboardPatiently(Owner);
  if (!EmptyClipboard()) throw Exception("Die Zwischenablage kann nicht beschrieben werden");
  Offer(CF_TEXT, Text.c_str(), Text.size() + 1);
  Offer(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
}

void ClipboardFiles(TStrings& Files) {
  Files.Clear();
  TComPtr<IDataObject> object;
  if (FAILED(OleGetClipboard(object.Receive())) || !object) return;
  ReadFileNames(object.Get(), Files);
}

void ReadFileNames(IDataObject* Data, TStrings& Files) {
  Files.Clear();
  if (!Data) return;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  TStgMedium medium;
  if (FAILED(Data->GetData(&format, medium.Receive()))) return;
  if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
    HDROP drop = static_cast<HDROP>(medium->hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      const UINT length = DragQueryFileW(drop, i, nullptr, 0);
      std::wstring name(length + 1, L'\0');
      DragQueryFileW(drop, i, &name[0], length + 1);
      name.resize(length);
      Files.Add(
          platform::PathFromWide(reinterpret_cast<const char16_t*>(name.data()), name.size()));
    }
  }
}
