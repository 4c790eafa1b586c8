#include "support/handle_stream.h"

#include "base/exceptions.h"

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const int32_t done = platform::ReadFromFile(FHandle, Buffer, Count);
  return done > 0 ? done : 0;
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  const int32_t done = platform::WriteToFile(FHandle, Buffer, Count);
  return done > 0 ? done : 0;
}

int64_t THandleStream::Seek(int64_t Offset, int Origin) {
  return platform::SeekFile(FHandle, Offset, Origin);
}

void THandleStream::SetSize(int64_t NewSize) {
  const int64_t position = GetPosition();
  const bool done =
      NewSize >= 0 && Seek(NewSize, soFromBeginning) == NewSize && platform::TruncateFile(FHandle);
  // A failed attempt leaves the position where it was.
  if (position >= 0 && (!done || position < NewSize)) SetPosition(position);
  if (!done)
    throw EStreamError("Stream-Gr\xF6\xDF"
                       "e kann nicht ge\xE4ndert werden");
}
