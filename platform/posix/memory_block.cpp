#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

namespace {
constexpr size_t LargePage = size_t(2) << 20;
// Below this a block is not worth the kernel's work of assembling large pages.
constexpr size_t LargeBlock = size_t(4) << 20;
} // namespace

void PreferLargePages(void* Data, size_t Size) {
#ifdef MADV_HUGEPAGE
  if (!Data || Size < LargeBlock) return;
  const auto begin = reinterpret_cast<uintptr_t>(Data);
  const uintptr_t first = (begin + LargePage - 1) & ~(LargePage - 1);
  const uintptr_t last = (begin + Size) & ~(LargePage - 1);
  // Only a hint: where it is refused, small pages serve as before.
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)Data;
  (void)Size;
#endif
}

void* ReserveAddressSpace(size_t Size) {
  // Readable and writable at once; pages are only backed once touched, and no swap is set aside.
  void* data = mmap(nullptr, Size, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (data == MAP_FAILED) return nullptr;
  PreferLargePages(data, Size);
  return data;
}

bool CommitAddressSpace(void* /*Data*/, size_t /*Size*/) {
  return true;
}

void ReleaseAddressSpace(void* Data, size_t Size) {
  if (Data) munmap(Data, Size);
}

bool AllocateBlock(MemoryBlock& Block, size_t Size) {
  void* data = std::malloc(Size == 0 ? 1 : Size);
  if (!data) return false;
  PreferLargePages(data, Size);
  Block.Handle = Block.Data = data;
  return true;
}

bool ResizeBlock(MemoryBlock& Block, size_t Size) {
  void* data = std::realloc(Block.Data, Size == 0 ? 1 : Size);
  if (!data) return false;
  PreferLargePages(data, Size);
  Block.Handle = Block.Data = data;
  return true;
}

void FreeBlock(MemoryBlock& Block) {
  std::free(Block.Data);
  Block.Handle = Block.Data = nullptr;
}

} // namespace platform
