#pragma once
#include <algorithm>
#include <cstring>

#include "base/stream.h"

// A stream over a fixed array that moves at most Chunk bytes per call, like a pipe would.
class ChunkedStream : public TStream {
public:
  ChunkedStream(AnsiString Data, int32_t Chunk) : FData(std::move(Data)), FChunk(Chunk) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    const int32_t n = std::min<int64_t>({Count, FChunk, int64_t(FData.size()) - FPosition});
    if (n <= 0) return 0;
    std::memcpy(Buffer, FData.data() + FPosition, size_t(n));
    FPosition += n;
    return n;
  }
  int32_t Write(const void* Buffer, int32_t Count) override {
    const int32_t n = std::min(Count, FChunk);
    FData.replace(size_t(FPosition), size_t(n), static_cast<const char*>(Buffer), size_t(n));
    FPosition += n;
    return n;
  }
  int64_t Seek(int64_t Offset, int Origin) override {
    FPosition = Origin == soFromBeginning ? Offset
                : Origin == soFromCurrent ? FPosition + Offset
                                          : int64_t(FData.size()) + Offset;
    return FPosition;
  }
  void SetSize(int64_t NewSize) override { FData.resize(size_t(NewSize)); }

private:
  AnsiString FData;
  int32_t FChunk;
  int64_t FPosition = 0;
};
