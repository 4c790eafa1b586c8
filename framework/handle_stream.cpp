#include "framework/handle_stream.h"

#include "base/exceptions.h"

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
  DWORD done = 0;
  if (Count <= 0 || !ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), &done, nullptr)) return 0;
  return static_cast<int32_t>(done);
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
  DWORD done = 0;
  if (Count <= 0 || !WriteFile(FHandle, Buffer, static_cast<DWORD>(Count), &done, nullptr))
    return 0;
  return static_cast<int32_t>(done);
}

int64_t THandleStream::Seek(int64_t Offset, int Origin) {
  // The origins have the values of FILE_BEGIN, FILE_CURRENT and FILE_END.
  LARGE_INTEGER distance;
  distance.QuadPart = Offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(FHandle, distance, &position, static_cast<DWORD>(Origin))) return -1;
  return position.QuadPart;
}

void THandleStream::SetSize(int64_t NewSize) {
  const int64_t position = GetPosition();
  const bool done =
      NewSize >= 0 && Seek(NewSize, soFromBeginning) == NewSize && SetEndOfFile(FHandle);
  // A failed attempt leaves the position where it was.
  if (position >= 0 && (!done || position < NewSize)) SetPosition(position);
  if (!done)
    throw EStreamError("Stream-Gr\xF6\xDF"
                       "e kann nicht ge\xE4ndert werden");
}
