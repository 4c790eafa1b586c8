#pragma once
// A memory stream that reserves its block in steps of 256 KiB, so that many small writes cost
// one reallocation per step. Sizes and positions are 32-bit; growth beyond that is refused.
#include "base/stream.h"
#include "platform/platform.h"

class TFastMemoryStream : public TStream {
public:
  static constexpr int32_t ReserveStep = 0x40000;

  TFastMemoryStream() = default;
  ~TFastMemoryStream() override;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  // No clamping, except to the 32-bit range of the position.
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t NewSize) override;

  // Frees the block; size and position become 0.
  void Clear();
  void SetCapacity(int32_t NewCapacity);
  // Makes the stream read and write the caller's block of Size bytes, which stays the caller's;
  // growing copies it into a block of the stream's own.
  void SetPointer(void* Block, int32_t Size);

  void* Memory() const { return FMemory; }
  int32_t Capacity() const { return FCapacity; }

  // The most the stream holds, and the error of growing beyond it or of memory running out. The
  // import's other buffers of normalised text keep to the same limit and report it the same way.
  static constexpr size_t MaxSize = 0x7FFFFFFF;
  [[noreturn]] static void RaiseMemoryError();

protected:
  // Returns the block for NewCapacity (rounded up to the reserve step unless it equals the size)
  // and leaves the capacity it chose in NewCapacity.
  virtual void* Realloc(int32_t& NewCapacity);

private:
  void ReleaseBlock();

  int32_t FCapacity = 0;
  void* FMemory = nullptr;
  int32_t FSize = 0;
  int32_t FPosition = 0;
  platform::MemoryBlock FBlock; // the stream's own block, empty while a foreign one is attached
};
