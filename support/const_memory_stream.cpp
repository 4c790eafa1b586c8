#include "support/const_memory_stream.h"

#include <cstring>

#include "base/exceptions.h"

int32_t TConstMemoryStream::Read(void* Buffer, int32_t Count) {
  const int64_t n = Count < FSize - FPosition ? Count : FSize - FPosition;
  if (n <= 0) return 0;
  std::memcpy(Buffer, FBytes + FPosition, size_t(n));
  FPosition += n;
  return int32_t(n);
}

int64_t TConstMemoryStream::Seek(int64_t Offset, int Origin) {
  const int64_t target = SeekTarget(Offset, Origin, FPosition, FSize);
  if (target < 0) return -1;
  FPosition = target < FSize ? target : FSize;
  return FPosition;
}

void TConstMemoryStream::SetSize(int64_t) {
  throw EStreamError("Stream ist schreibgesch\xFCtzt");
}
