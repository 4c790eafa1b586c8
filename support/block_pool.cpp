#include "support/block_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/platform.h"

// Under AddressSanitizer a block's neighbours and a given-back block are poisoned, as the
// sanitizer's own allocator would leave them, so that the pool hides no overrun.
#if defined(__SANITIZE_ADDRESS__)
#define VOXARO_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOXARO_POOL_ASAN 1
#endif
#endif
#ifdef VOXARO_POOL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

constexpr size_t MinRegion = size_t(64) << 20;
// Windows commits in steps of at least this much, so that a growing import asks rarely.
constexpr size_t CommitStep = size_t(4) << 20;
#ifdef VOXARO_POOL_ASAN
constexpr size_t RedZone = TBlockPool::Alignment;
#else
constexpr size_t RedZone = 0;
#endif

size_t RoundUp(size_t N, size_t To) {
  return (N + To - 1) / To * To;
}

void MarkUsable(const void* Block, size_t Size, size_t Span) {
#ifdef VOXARO_POOL_ASAN
  ASAN_UNPOISON_MEMORY_REGION(Block, Size);
  ASAN_POISON_MEMORY_REGION(static_cast<const char*>(Block) + Size, Span - Size);
#else
  (void)Block;
  (void)Size;
  (void)Span;
#endif
}

void MarkUnusable(const void* Block, size_t Span) {
#ifdef VOXARO_POOL_ASAN
  ASAN_POISON_MEMORY_REGION(Block, Span);
#else
  (void)Block;
  (void)Span;
#endif
}

} // namespace

TBlockPool::TBlockPool(size_t ReserveHint) : FReserveHint(ReserveHint) {}

TBlockPool::~TBlockPool() {
  for (TRegion& region : FRegions) {
#ifdef VOXARO_POOL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(region.Begin, region.Used);
#endif
    platform::ReleaseAddressSpace(region.Begin, region.Size);
  }
}

size_t TBlockPool::Footprint(size_t Size) {
  if (Size > SIZE_MAX - 2 * Alignment - RedZone) throw std::bad_alloc();
  return RoundUp(std::max<size_t>(Size, 1) + RedZone, Alignment);
}

bool TBlockPool::Commit(TRegion& Region, size_t End) {
  if (End <= Region.Committed) return true;
  const size_t target = std::min(
      Region.Size, RoundUp(std::max(End, Region.Committed + CommitStep), size_t(64) << 10));
  if (!platform::CommitAddressSpace(Region.Begin + Region.Committed, target - Region.Committed))
    return false;
  Region.Committed = target;
  return true;
}

bool TBlockPool::Carve(TRegion& Region, size_t Bytes, size_t& Offset) {
  // The lowest free place that fits: blocks given back lie low, and their memory is touched.
  for (auto free = Region.Free.begin(); free != Region.Free.end(); ++free) {
    if (free->second < Bytes) continue;
    if (!Commit(Region, free->first + Bytes)) return false;
    Offset = free->first;
    const size_t rest = free->second - Bytes;
    Region.Free.erase(free);
    if (rest > 0) Region.Free.emplace(Offset + Bytes, rest);
    Region.Used = std::max(Region.Used, Offset + Bytes);
    return true;
  }
  return false;
}

void TBlockPool::Release(TRegion& Region, size_t Offset, size_t Bytes) {
  auto next = Region.Free.lower_bound(Offset);
  if (next != Region.Free.end() && Offset + Bytes == next->first) {
    Bytes += next->second;
    next = Region.Free.erase(next);
  }
  if (next != Region.Free.begin()) {
    const auto previous = std::prev(next);
    if (previous->first + previous->second == Offset) {
      previous->second += Bytes;
      return;
    }
  }
  Region.Free.emplace_hint(next, Offset, Bytes);
}

TBlockPool::TRegion* TBlockPool::RegionOf(const void* Block) {
  const char* const address = static_cast<const char*>(Block);
  for (TRegion& region : FRegions)
    if (address >= region.Begin && address < region.Begin + region.Size) return &region;
  return nullptr;
}

void TBlockPool::AddRegion(size_t AtLeast) {
  // The first region as the hint asks, each later one as large as all before it, so that a
  // wrong hint costs a few reservations only.
  size_t before = 0;
  for (const TRegion& region : FRegions)
    before += region.Size;
  const size_t granule = size_t(2) << 20;
  size_t size =
      RoundUp(std::max({AtLeast, FRegions.empty() ? FReserveHint : before, MinRegion}), granule);
  const size_t least = RoundUp(AtLeast, granule);
  // Where address space is short (a 32-bit process), a smaller reservation still serves.
  void* data = platform::ReserveAddressSpace(size);
  while (!data && size > least) {
    size = std::max(least, RoundUp(size / 2, granule));
    data = platform::ReserveAddressSpace(size);
  }
  if (!data) throw std::bad_alloc();
  TRegion region;
  region.Begin = static_cast<char*>(data);
  region.Size = size;
  region.Free.emplace(0, size);
  FRegions.push_back(std::move(region));
}

size_t TBlockPool::SizeForImportOf(size_t TextBytes) {
  return 2 * TextBytes + (size_t(64) << 20);
}

void TBlockPool::Expect(size_t Bytes) {
  std::lock_guard<std::mutex> lock(FLock);
  if (FRegions.empty()) FReserveHint = std::max(FReserveHint, Bytes);
}

void* TBlockPool::Take(size_t Size) {
  const size_t bytes = Footprint(Size);
  std::lock_guard<std::mutex> lock(FLock);
  size_t offset = 0;
  for (TRegion& region : FRegions) {
    if (Carve(region, bytes, offset)) {
      MarkUsable(region.Begin + offset, Size, bytes);
      return region.Begin + offset;
    }
  }
  AddRegion(bytes);
  TRegion& region = FRegions.back();
  if (!Carve(region, bytes, offset)) throw std::bad_alloc();
  MarkUsable(region.Begin + offset, Size, bytes);
  return region.Begin + offset;
}

void TBlockPool::Give(void* Block, size_t Size) {
  if (!Block) return;
  const size_t bytes = Footprint(Size);
  std::lock_guard<std::mutex> lock(FLock);
  TRegion* const region = RegionOf(Block);
  if (!region) return;
  MarkUnusable(Block, bytes);
  Release(*region, static_cast<size_t>(static_cast<char*>(Block) - region->Begin), bytes);
}

void* TBlockPool::Resize(void* Block, size_t Size, size_t NewSize) {
  if (!Block) return Take(NewSize);
  const size_t bytes = Footprint(Size), newBytes = Footprint(NewSize);
  {
    std::lock_guard<std::mutex> lock(FLock);
    TRegion* const region = RegionOf(Block);
    if (!region) throw std::bad_alloc();
    const size_t offset = static_cast<size_t>(static_cast<char*>(Block) - region->Begin);
    if (newBytes <= bytes) {
      if (newBytes < bytes) {
        MarkUnusable(static_cast<char*>(Block) + newBytes, bytes - newBytes);
        Release(*region, offset + newBytes, bytes - newBytes);
      }
      MarkUsable(Block, NewSize, newBytes);
      return Block;
    }
    const auto after = region->Free.find(offset + bytes);
    if (after != region->Free.end() && after->second >= newBytes - bytes &&
        Commit(*region, offset + newBytes)) {
      const size_t rest = after->second - (newBytes - bytes);
      region->Free.erase(after);
      if (rest > 0) region->Free.emplace(offset + newBytes, rest);
      region->Used = std::max(region->Used, offset + newBytes);
      MarkUsable(Block, NewSize, newBytes);
      return Block;
    }
  }
  void* const moved = Take(NewSize);
  std::memcpy(moved, Block, std::min(Size, NewSize));
  Give(Block, Size);
  return moved;
}

TPoolBlock::TPoolBlock(TBlockPool* Pool, size_t Size) : FPool(Pool) {
  Resize(Size);
}

TPoolBlock& TPoolBlock::operator=(TPoolBlock&& Other) noexcept {
  if (this == &Other) return *this;
  Release();
  FPool = Other.FPool;
  FData = std::exchange(Other.FData, nullptr);
  FSize = std::exchange(Other.FSize, 0);
  FSystemBlock = std::exchange(Other.FSystemBlock, platform::MemoryBlock());
  return *this;
}

void TPoolBlock::Resize(size_t NewSize) {
  if (FPool) {
    FData = FData ? FPool->Resize(FData, FSize, NewSize) : FPool->Take(NewSize);
  } else {
    const size_t bytes = std::max<size_t>(NewSize, 1);
    const bool done = FSystemBlock.Data ? platform::ResizeBlock(FSystemBlock, bytes)
                                        : platform::AllocateBlock(FSystemBlock, bytes);
    if (!done) throw std::bad_alloc();
    FData = FSystemBlock.Data;
  }
  FSize = NewSize;
}

void TPoolBlock::Release() {
  if (FPool)
    FPool->Give(FData, FSize);
  else if (FSystemBlock.Data)
    platform::FreeBlock(FSystemBlock);
  FData = nullptr;
  FSize = 0;
}
