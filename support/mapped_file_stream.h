#pragma once
// A read-only stream over a file mapped into memory as a whole.

#include <algorithm>

#include "base/stream.h"
#include "platform/platform.h"

class TMappedFileStream : public TStream {
public:
  // Largest file taken: positions and sizes reach callers as 32-bit signed values.
  static constexpr uint64_t MaxFileSize = 0x7FFFFFFF;

  // Raises Exception("OSError") when the file cannot be opened or mapped, or is too large.
  explicit TMappedFileStream(const PathString& FileName);

  int32_t Read(void* Buffer, int32_t Count) override;
  // Raises "TMappedFileStream is read only".
  int32_t Write(const void* Buffer, int32_t Count) override;
  // The new position is clamped to at most the size.
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t) override {}

  static bool SizeFits(uint64_t FileSize) { return FileSize <= MaxFileSize; }
  // The mapped bytes, for readers that need no copy; null for an empty file.
  const char* Memory() const { return FFile.View(); }
  // Length bytes from Offset will not be read again soon: their memory may go back to the system.
  void DropPages(int64_t Offset, int64_t Length) {
    if (Offset >= 0 && Length > 0 && Offset < FSize)
      FFile.DropPages(static_cast<size_t>(Offset),
                      static_cast<size_t>(std::min(Length, FSize - Offset)));
  }

private:
  int64_t FPosition = 0;
  int64_t FSize = 0;
  platform::ReadOnlyFileMapping FFile;
};
