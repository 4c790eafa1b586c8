#include "support/fast_memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/exceptions.h"

namespace {
constexpr int64_t MaxStreamSize = TFastMemoryStream::MaxSize;
static_assert(TFastMemoryStream::MaxSize == std::numeric_limits<int32_t>::max(), "32-bit sizes");
} // namespace

TFastMemoryStream::~TFastMemoryStream() {
  Clear();
}

void TFastMemoryStream::RaiseMemoryError() {
  throw EStreamError("TFastMemoryStream.Realloc: Memory Error");
}

void TFastMemoryStream::ReleaseBlock() {
  if (FBlock.Handle) platform::FreeBlock(FBlock);
}

void TFastMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TFastMemoryStream::SetCapacity(int32_t NewCapacity) {
  FMemory = Realloc(NewCapacity);
  FCapacity = NewCapacity;
}

void* TFastMemoryStream::Realloc(int32_t& NewCapacity) {
  if (NewCapacity < 0) RaiseMemoryError();
  if (NewCapacity > 0 && NewCapacity != FSize) {
    const int64_t rounded = (int64_t(NewCapacity) + ReserveStep - 1) / ReserveStep * ReserveStep;
    if (rounded > MaxStreamSize) RaiseMemoryError();
    NewCapacity = static_cast<int32_t>(rounded);
  }
  if (NewCapacity == FCapacity) return FMemory;
  if (NewCapacity == 0) {
    ReleaseBlock();
    return nullptr;
  }
  const size_t bytes = static_cast<size_t>(NewCapacity);
  if (FBlock.Handle) {
    if (!platform::ResizeBlock(FBlock, bytes)) RaiseMemoryError();
    return FBlock.Data;
  }
  platform::MemoryBlock block;
  if (!platform::AllocateBlock(block, bytes)) RaiseMemoryError();
  // A foreign block's content moves into the new own block.
  if (FMemory && FSize > 0) std::memcpy(block.Data, FMemory, std::min<size_t>(FSize, bytes));
  FBlock = block;
  return FBlock.Data;
}

void TFastMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0 || NewSize > MaxStreamSize) RaiseMemoryError();
  const int32_t oldPosition = FPosition;
  SetCapacity(static_cast<int32_t>(NewSize));
  FSize = static_cast<int32_t>(NewSize);
  if (oldPosition > FSize) FPosition = FSize;
}

void TFastMemoryStream::SetPointer(void* Block, int32_t Size) {
  ReleaseBlock();
  FMemory = Block;
  FSize = Size;
  FCapacity = Size; // writes never run past the caller's block
}

int32_t TFastMemoryStream::Read(void* Buffer, int32_t Count) {
  if (FPosition < 0 || Count < 0) return 0;
  const int32_t available = FSize - FPosition;
  if (available <= 0) return 0;
  const int32_t n = std::min(Count, available);
  if (n > 0) std::memcpy(Buffer, static_cast<const char*>(FMemory) + FPosition, size_t(n));
  FPosition += n;
  return n;
}

int32_t TFastMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (FPosition < 0 || Count < 0) return 0;
  const int64_t newEnd = int64_t(FPosition) + Count;
  if (newEnd <= 0) return 0;
  // Refuse rather than wrap: a 32-bit end would silently drop the write.
  if (newEnd > MaxStreamSize) RaiseMemoryError();
  if (newEnd > FSize) {
    if (newEnd > FCapacity) SetCapacity(static_cast<int32_t>(newEnd));
    FSize = static_cast<int32_t>(newEnd);
  }
  if (Count > 0) std::memcpy(static_cast<char*>(FMemory) + FPosition, Buffer, size_t(Count));
  FPosition = static_cast<int32_t>(newEnd);
  return Count;
}

int64_t TFastMemoryStream::Seek(int64_t Offset, int Origin) {
  const int64_t position = std::clamp<int64_t>(SeekTarget(Offset, Origin, FPosition, FSize),
                                               std::numeric_limits<int32_t>::min(), MaxStreamSize);
  FPosition = static_cast<int32_t>(position);
  return FPosition;
}
