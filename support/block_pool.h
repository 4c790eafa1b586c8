#pragma once
// The big blocks of one import, taken from address space the pool reserves and given back to it
// rather than to the system: a block taken after another was given back reuses its memory. Fresh
// pages cost the system the work of clearing them, which for an import of a few hundred
// megabytes is a good part of its time; memory the import has touched once is ready at once.
//
// Blocks are aligned to a cache line and not cleared. Several threads may take and give blocks at
// the same time. Memory is taken from a pool through TPoolBlock only, which gives it back.
#include <cstddef>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/platform.h"

class TBlockPool {
public:
  static constexpr size_t Alignment = 64;

  // Address space for about ReserveHint bytes is reserved when the first block is taken; more is
  // reserved when that is used up.
  explicit TBlockPool(size_t ReserveHint = 0);
  ~TBlockPool();
  TBlockPool(const TBlockPool&) = delete;
  TBlockPool& operator=(const TBlockPool&) = delete;

  // Address space an import of a text of TextBytes reserves: the text, and about as much again
  // for what the import makes of it.
  static size_t SizeForImportOf(size_t TextBytes);
  // Makes ReserveHint at least Bytes, while nothing is reserved yet.
  void Expect(size_t Bytes);

private:
  friend class TPoolBlock;

  // Size bytes (at least 1); throws std::bad_alloc when no memory can be had.
  void* Take(size_t Size);
  // A block of Take or Resize with the size it had; null does nothing.
  void Give(void* Block, size_t Size);
  // Block, of Size bytes, made NewSize bytes long: in place where the space after it is free or it
  // shrinks, else moved, keeping the content up to the smaller size. Throws std::bad_alloc, and
  // the block stays as it was.
  void* Resize(void* Block, size_t Size, size_t NewSize);

  struct TRegion {
    char* Begin = nullptr;
    size_t Size = 0;
    size_t Committed = 0;          // bytes from Begin that are usable
    size_t Used = 0;               // bytes from Begin that any block has reached
    std::map<size_t, size_t> Free; // offset -> length, no two of them adjacent
  };

  // The bytes a block of Size occupies in a region.
  static size_t Footprint(size_t Size);
  // A span of Bytes at a free offset of Region, or false.
  bool Carve(TRegion& Region, size_t Bytes, size_t& Offset);
  // Marks Bytes at Offset free, merged with free neighbours.
  static void Release(TRegion& Region, size_t Offset, size_t Bytes);
  bool Commit(TRegion& Region, size_t End);
  TRegion* RegionOf(const void* Block);
  void AddRegion(size_t AtLeast);

  mutable std::mutex FLock;
  size_t FReserveHint;
  std::vector<TRegion> FRegions;
};

// A block of Size bytes from a pool, or from the system where there is none, that gives its
// memory back when it goes. Not cleared.
class TPoolBlock {
public:
  TPoolBlock() = default;
  // An empty block, whose memory Resize takes from Pool.
  explicit TPoolBlock(TBlockPool* Pool) : FPool(Pool) {}
  // Throws std::bad_alloc when no memory can be had.
  TPoolBlock(TBlockPool* Pool, size_t Size);
  TPoolBlock(TPoolBlock&& Other) noexcept { *this = std::move(Other); }
  TPoolBlock& operator=(TPoolBlock&& Other) noexcept;
  TPoolBlock(const TPoolBlock&) = delete;
  TPoolBlock& operator=(const TPoolBlock&) = delete;
  ~TPoolBlock() { Release(); }

  char* Data() const { return static_cast<char*>(FData); }
  size_t Size() const { return FSize; }
  TBlockPool* Pool() const { return FPool; }
  // NewSize bytes, keeping the content up to the smaller size: in place where it can, else moved.
  // Throws std::bad_alloc, and the block stays as it was. An empty block is taken from Pool.
  void Resize(size_t NewSize);
  // Gives the memory back; the block is empty afterwards, and keeps its pool.
  void Release();

private:
  TBlockPool* FPool = nullptr;
  void* FData = nullptr;
  size_t FSize = 0;
  platform::MemoryBlock FSystemBlock; // where there is no pool
};
