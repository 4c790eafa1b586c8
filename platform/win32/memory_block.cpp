#include <windows.h>

#include "platform/platform.h"

namespace platform {

// Large pages need a privilege a desktop user does not have.
void PreferLargePages(void* /*Data*/, size_t /*Size*/) {}

void* ReserveAddressSpace(size_t Size) {
  return VirtualAlloc(nullptr, Size, MEM_RESERVE, PAGE_NOACCESS);
}

bool CommitAddressSpace(void* Data, size_t Size) {
  // Committed memory is only backed once touched; committing it again changes nothing.
  return VirtualAlloc(Data, Size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void ReleaseAddressSpace(void* Data, size_t /*Size*/) {
  if (Data) VirtualFree(Data, 0, MEM_RELEASE);
}

bool AllocateBlock(MemoryBlock& Block, size_t Size) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, Size);
  if (!handle) return false;
  void* data = GlobalLock(handle);
  if (!data) {
    GlobalFree(handle);
    return false;
  }
  Block.Handle = handle;
  Block.Data = data;
  return true;
}

bool ResizeBlock(MemoryBlock& Block, size_t Size) {
  HGLOBAL handle = static_cast<HGLOBAL>(Block.Handle);
  // A locked block cannot move, so unlock it for the reallocation and lock whichever block results.
  GlobalUnlock(handle);
  HGLOBAL grown = GlobalReAlloc(handle, Size, GMEM_MOVEABLE);
  if (grown) handle = grown;
  void* data = GlobalLock(handle);
  if (!data) return false;
  Block.Handle = handle;
  Block.Data = data;
  return grown != nullptr;
}

void FreeBlock(MemoryBlock& Block) {
  if (Block.Handle) {
    GlobalUnlock(static_cast<HGLOBAL>(Block.Handle));
    GlobalFree(static_cast<HGLOBAL>(Block.Handle));
  }
  Block.Handle = Block.Data = nullptr;
}

} // namespace platform
