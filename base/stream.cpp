#include "base/stream.h"

#include "base/exceptions.h"

int64_t TStream::GetSize() {
  const int64_t position = Seek(0, soFromCurrent);
  const int64_t size = Seek(0, soFromEnd);
  Seek(position, soFromBeginning);
  return size;
}

int64_t TStream::SeekTarget(int64_t Offset, int Origin, int64_t Position, int64_t Size) {
  switch (Origin) {
  case soFromBeginning:
    return Offset;
  case soFromCurrent:
    return Position + Offset;
  case soFromEnd:
    return Size + Offset;
  default:
    return Position; // unknown origins leave it
  }
}

size_t TStream::ReadAvailable(void* Buffer, size_t Count) {
  size_t got = 0;
  while (got < Count) {
    const size_t want = Count - got;
    const int32_t n =
        Read(static_cast<char*>(Buffer) + got, want > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(want));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream-Lesefehler");
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream-Schreibfehler");
}
