#include <cstdlib>

#include "platform/platform.h"

namespace platform {

bool AllocateBlock(MemoryBlock& Block, size_t Size) {
  void* data = std::malloc(Size == 0 ? 1 : Size);
  if (!data) return false;
  Block.Handle = Block.Data = data;
  return true;
}

bool ResizeBlock(MemoryBlock& Block, size_t Size) {
  void* data = std::realloc(Block.Data, Size == 0 ? 1 : Size);
  if (!data) return false;
  Block.Handle = Block.Data = data;
  return true;
}

void FreeBlock(MemoryBlock& Block) {
  std::free(Block.Data);
  Block.Handle = Block.Data = nullptr;
}

} // namespace platform
