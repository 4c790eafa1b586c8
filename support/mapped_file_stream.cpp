#include "support/mapped_file_stream.h"

#include <algorithm>
#include <cstring>

#include "base/exceptions.h"

namespace {
[[noreturn]] void RaiseOSError() {
  throw Exception("OSError");
}
} // namespace

TMappedFileStream::TMappedFileStream(const PathString& FileName) {
  if (!FFile.Open(FileName)) RaiseOSError();
  // A larger file would be read truncated to its low 32 bits; refuse it instead.
  if (!SizeFits(FFile.FileSize())) RaiseOSError();
  FSize = static_cast<int64_t>(FFile.FileSize());
  if (FSize != 0 && !FFile.Map()) RaiseOSError();
}

int32_t TMappedFileStream::Read(void* Buffer, int32_t Count) {
  if (FPosition < 0 || Count <= 0) return 0;
  const int64_t left = FSize - FPosition;
  const int32_t n = left >= Count ? Count : static_cast<int32_t>(left > 0 ? left : 0);
  if (n > 0) {
    std::memcpy(Buffer, FFile.View() + FPosition, static_cast<size_t>(n));
    FPosition += n;
  }
  return n;
}

int32_t TMappedFileStream::Write(const void*, int32_t) {
  throw Exception("TMappedFileStream is read only");
}

int64_t TMappedFileStream::Seek(int64_t Offset, int Origin) {
  const int64_t position = std::min(SeekTarget(Offset, Origin, FPosition, FSize), FSize);
  FPosition = position;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(position)));
}
