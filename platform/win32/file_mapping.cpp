#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/system_path.h"

namespace platform {

struct ReadOnlyFileMapping::TSystemHandles {
  HANDLE File = INVALID_HANDLE_VALUE;
  HANDLE Mapping = nullptr;
};

ReadOnlyFileMapping::ReadOnlyFileMapping() : FHandles(new TSystemHandles) {}

ReadOnlyFileMapping::~ReadOnlyFileMapping() {
  if (FView) UnmapViewOfFile(FView);
  if (FHandles->Mapping) CloseHandle(FHandles->Mapping);
  if (FHandles->File != INVALID_HANDLE_VALUE) CloseHandle(FHandles->File);
}

bool ReadOnlyFileMapping::Open(const PathString& FileName) {
  std::wstring path;
  if (!SystemPath(FileName, path)) return false;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FHandles->File = file;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return false;
  FFileSize = static_cast<uint64_t>(size.QuadPart);
  return true;
}

bool ReadOnlyFileMapping::Map() {
  if (FHandles->File == INVALID_HANDLE_VALUE || FFileSize == 0 || FFileSize > SIZE_MAX)
    return false;
  FHandles->Mapping = CreateFileMappingW(FHandles->File, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!FHandles->Mapping) return false;
  FView = static_cast<const char*>(MapViewOfFile(FHandles->Mapping, FILE_MAP_READ, 0, 0, 0));
  return FView != nullptr;
}

void ReadOnlyFileMapping::DropPages(size_t Offset, size_t Length) {
  if (!FView || Offset >= FFileSize) return;
  Length = static_cast<size_t>(std::min<uint64_t>(Length, FFileSize - Offset));
  // Unlocking pages that are not locked takes them out of the working set; the call then reports
  // an error, which is the expected outcome here.
  VirtualUnlock(const_cast<char*>(FView) + Offset, Length);
}

} // namespace platform
