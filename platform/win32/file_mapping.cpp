#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

namespace {
HANDLE AsHandle(intptr_t File) { return reinterpret_cast<HANDLE>(File); }
} // namespace

ReadOnlyFileMapping::~ReadOnlyFileMapping() {
  if (FView) UnmapViewOfFile(FView);
  if (FMapping) CloseHandle(FMapping);
  if (AsHandle(FFile) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(FFile));
}

bool ReadOnlyFileMapping::Open(const AnsiString& FileName) {
  HANDLE file = CreateFileA(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FFile = reinterpret_cast<intptr_t>(file);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return false;
  FFileSize = static_cast<uint64_t>(size.QuadPart);
  return true;
}

bool ReadOnlyFileMapping::Map() {
  if (AsHandle(FFile) == INVALID_HANDLE_VALUE || FFileSize == 0 || FFileSize > SIZE_MAX) return false;
  FMapping = CreateFileMappingA(AsHandle(FFile), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!FMapping) return false;
  FView = static_cast<const char*>(MapViewOfFile(FMapping, FILE_MAP_READ, 0, 0, 0));
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
