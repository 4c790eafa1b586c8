#pragma once
// A stream over an operating-system file handle. It never closes the handle; a subclass that
// opens one owns it.
#include <windows.h>

#include "base/stream.h"

class THandleStream : public TStream {
public:
  explicit THandleStream(HANDLE AHandle) : FHandle(AHandle) {}

  // 0 when the handle refuses.
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  // -1 when the handle refuses, for example before the start or for an unknown origin.
  int64_t Seek(int64_t Offset, int Origin) override;
  // Cuts or extends the file; a position beyond the new end moves to it. Raises EStreamError.
  void SetSize(int64_t NewSize) override;

  HANDLE Handle() const { return FHandle; }

protected:
  HANDLE FHandle;
};
