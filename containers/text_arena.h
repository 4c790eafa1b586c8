#pragma once
// Text stored in big blocks that never move, handed out as views and freed all at once: millions of
// short strings without a heap block each.
#include <cstddef>
#include <string_view>
#include <vector>

#include "support/block_pool.h"

class TTextArena {
public:
  // Pool, when given, holds the blocks and must outlive every arena that comes to hold them.
  explicit TTextArena(TBlockPool* Pool = nullptr) : FPool(Pool) {}
  ~TTextArena() { Clear(); }
  // The text moves with its blocks and stays where it is; Other is left empty, so that what it
  // keeps later goes into blocks of its own.
  TTextArena(TTextArena&& Other) noexcept;
  TTextArena& operator=(TTextArena&& Other) noexcept;
  TTextArena(const TTextArena&) = delete;
  TTextArena& operator=(const TTextArena&) = delete;

  // A copy of Text that stays where it is until Clear or destruction.
  std::string_view Store(std::string_view Text);
  // A copy of Text and a view of that copy, both stored as Store stores them: a slot that any
  // number of owners may point to.
  const std::string_view* StoreSlot(std::string_view Text);
  // Other's text becomes this arena's, at the same addresses; Other is left empty.
  void Adopt(TTextArena&& Other);
  void Clear();

private:
  // Size bytes at an address aligned to Alignment.
  char* Take(size_t Size, size_t Alignment);
  char* NewBlock(size_t Size);

  TBlockPool* FPool;
  std::vector<TPoolBlock> FBlocks;
  char* FNext = nullptr;
  char* FEnd = nullptr;
  size_t FNextBlockSize = 4096;
};
