#pragma once
// A read-only stream over bytes that stay their owner's, such as a loaded resource or a buffer
// being examined: nothing is copied, and the bytes must outlive the stream.
#include <cstddef>
#include <cstdint>

#include "base/stream.h"

class TConstMemoryStream : public TStream {
public:
  TConstMemoryStream(const void* Bytes, size_t Size)
      : FBytes(static_cast<const uint8_t*>(Bytes)), FSize(static_cast<int64_t>(Size)) {}

  int32_t Read(void* Buffer, int32_t Count) override;
  // Writes nothing.
  int32_t Write(const void*, int32_t) override { return 0; }
  // The position stays within the bytes; a target before them is refused with -1.
  int64_t Seek(int64_t Offset, int Origin) override;
  // Raises EStreamError.
  void SetSize(int64_t) override;

private:
  const uint8_t* FBytes;
  int64_t FSize;
  int64_t FPosition = 0;
};
