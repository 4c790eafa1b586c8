#pragma once
// A stream over a file the system holds open. It never closes the file; a subclass that opens one
// owns it.
#include "base/stream.h"
#include "platform/platform.h"

class THandleStream : public TStream {
public:
  explicit THandleStream(platform::FileHandle AHandle) : FHandle(AHandle) {}

  // 0 when the file refuses.
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  // -1 when the file refuses, for example before the start or for an unknown origin.
  int64_t Seek(int64_t Offset, int Origin) override;
  // Cuts or extends the file; a position beyond the new end moves to it. Raises EStreamError.
  void SetSize(int64_t NewSize) override;

  platform::FileHandle Handle() const { return FHandle; }

protected:
  platform::FileHandle FHandle;
};
