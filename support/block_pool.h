#pragma once
// The big blocks of one import, taken from address space the pool reserves and given back to it
// rather than to the system: a block taken after another was given back reuses its memory. Fresh
// pages cost the system the work of clearing them, which for an import of a few hundred
// megabytes is a good part of its time; memory the import has touched once is ready at once.
//
// Blocks are aligned to a cache line and not cleared. Several threads may take and give blocks at
// the same time. Blocks not given back go with the pool.
#include <cstddef>
#include <map>
#include <mutex>
#include <vector>

class TBlockPool {
public:
  static constexpr size_t Alignment = 64;

  // Address space for about ReserveHint bytes is reserved when the first block is taken; more is
  // reserved when that is used up.
  explicit TBlockPool(size_t ReserveHint = 0);
  ~TBlockPool();
  TBlockPool(const TBlockPool&) = delete;
  TBlockPool& operator=(const TBlockPool&) = delete;

  // Makes ReserveHint at least Bytes, while nothing is reserved yet.
  void Expect(size_t Bytes);
  // Size bytes (at least 1); throws std::bad_alloc when no memory can be had.
  void* Take(size_t Size);
  // A block of Take or Resize with the size it had; null does nothing.
  void Give(void* Block, size_t Size);
  // Block, of Size bytes, made NewSize bytes long: in place where the space after it is free or it
  // shrinks, else moved, keeping the content up to the smaller size. Throws std::bad_alloc, and
  // the block stays as it was.
  void* Resize(void* Block, size_t Size, size_t NewSize);

  // Bytes of the reservations that blocks have ever used: the pool's share of the memory.
  size_t HighWater() const;

private:
  struct TRegion {
    char* Begin = nullptr;
    size_t Size = 0;
    size_t Committed = 0;          // bytes from Begin that are usable
    size_t Used = 0;               // bytes from Begin that any block has reached
    std::map<size_t, size_t> Free; // offset -> length, no two of them adjacent
  };

  // The bytes a block of Size occupies in a region.
  static size_t Span(size_t Size);
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
