#include "support/block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr size_t MB = size_t(1) << 20;

struct TBlock {
  char* Data;
  size_t Size;
  unsigned char Fill;
};

void FillBlock(const TBlock& Block) {
  std::memset(Block.Data, Block.Fill, Block.Size);
}

bool HoldsFill(const TBlock& Block, size_t Size) {
  for (size_t i = 0; i < Size; ++i)
    if (static_cast<unsigned char>(Block.Data[i]) != Block.Fill) return false;
  return true;
}

bool Overlap(const TBlock& A, const TBlock& B) {
  return A.Data < B.Data + B.Size && B.Data < A.Data + A.Size;
}

TEST(BlockPool, AGivenBackBlockIsTakenAgainBeforeFreshSpace) {
  const struct {
    const char* Name;
    size_t First, Second; // sizes of the block given back and of the one taken after it
  } cases[] = {
      {"same size", 10 * MB, 10 * MB},
      {"smaller", 10 * MB, 3 * MB},
      {"one byte", 1, 1},
      {"odd sizes", 12345, 777},
  };
  for (const auto& c : cases) {
    TBlockPool pool(64 * MB);
    char* const first = static_cast<char*>(pool.Take(c.First));
    char* const kept = static_cast<char*>(pool.Take(MB));
    pool.Give(first, c.First);
    char* const second = static_cast<char*>(pool.Take(c.Second));
    EXPECT_EQ(second, first) << c.Name;
    EXPECT_NE(kept, first) << c.Name;
    for (const char* block : {first, kept})
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % TBlockPool::Alignment, 0u) << c.Name;
  }
}

TEST(BlockPool, NeighboursGivenBackJoinIntoOneFreePlace) {
  TBlockPool pool(64 * MB);
  char* const a = static_cast<char*>(pool.Take(4 * MB));
  char* const b = static_cast<char*>(pool.Take(4 * MB));
  char* const c = static_cast<char*>(pool.Take(4 * MB));
  pool.Take(MB); // keeps the space after c taken
  // In an order that joins each with the free place before and after it.
  pool.Give(a, 4 * MB);
  pool.Give(c, 4 * MB);
  pool.Give(b, 4 * MB);
  EXPECT_EQ(pool.Take(12 * MB), a);
}

TEST(BlockPool, ResizeGrowsInPlaceWhereTheSpaceAfterIsFreeAndMovesOtherwise) {
  const struct {
    const char* Name;
    size_t Size, NewSize;
    bool BlockAfter; // a block taken right after it
    bool InPlace;
  } cases[] = {
      {"grows into free space", 2 * MB, 8 * MB, false, true},
      {"shrinks", 8 * MB, 3 * MB, true, true},
      {"same size", 5 * MB, 5 * MB, true, true},
      {"grows past a neighbour", 2 * MB, 8 * MB, true, false},
      {"grows from one byte", 1, 100000, true, false},
  };
  for (const auto& c : cases) {
    TBlockPool pool(64 * MB);
    TBlock block{static_cast<char*>(pool.Take(c.Size)), c.Size, 0x5A};
    FillBlock(block);
    TBlock after{nullptr, MB, 0xA5};
    if (c.BlockAfter) {
      after.Data = static_cast<char*>(pool.Take(after.Size));
      FillBlock(after);
    }
    char* const resized = static_cast<char*>(pool.Resize(block.Data, c.Size, c.NewSize));
    EXPECT_EQ(resized == block.Data, c.InPlace) << c.Name;
    const TBlock moved{resized, c.NewSize, block.Fill};
    EXPECT_TRUE(HoldsFill(moved, std::min(c.Size, c.NewSize))) << c.Name;
    std::memset(resized, 0x11, c.NewSize);
    if (c.BlockAfter) {
      EXPECT_TRUE(HoldsFill(after, after.Size)) << c.Name;
      EXPECT_FALSE(Overlap(moved, after)) << c.Name;
    }
  }
}

TEST(BlockPool, MoreRegionsWhenTheFirstIsUsedUp) {
  // A hint far too small: the pool reserves on, and blocks larger than any region fit too.
  TBlockPool pool(1);
  std::vector<TBlock> blocks;
  for (size_t size : {40 * MB, 40 * MB, 100 * MB, 3 * MB, 70 * MB}) {
    blocks.push_back(
        {static_cast<char*>(pool.Take(size)), size, static_cast<unsigned char>(blocks.size() + 1)});
    // The first and the last byte: enough to tell blocks apart without touching all their pages.
    blocks.back().Data[0] = blocks.back().Data[size - 1] = static_cast<char>(blocks.back().Fill);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    for (size_t j = 0; j < i; ++j)
      EXPECT_FALSE(Overlap(blocks[i], blocks[j])) << i << " " << j;
    for (const size_t at : {size_t(0), blocks[i].Size - 1})
      EXPECT_EQ(static_cast<unsigned char>(blocks[i].Data[at]), blocks[i].Fill) << i;
  }
  EXPECT_GE(pool.HighWater(), 253 * MB);
}

TEST(BlockPool, ThreadsTakeAndGiveWithoutSharingABlock) {
  TBlockPool pool(16 * MB);
  char* const start = static_cast<char*>(pool.Take(1));
  pool.Give(start, 1);
  // Each thread keeps a few blocks, fills each with its own byte, and checks it before giving it
  // back: a block handed out twice at once shows as a changed byte.
  const auto work = [&](unsigned Seed) {
    std::mt19937 random(Seed);
    std::vector<TBlock> held;
    for (int step = 0; step < 2000; ++step) {
      if (held.size() < 8 && random() % 3 != 0) {
        const size_t size = 1 + random() % (random() % 4 == 0 ? MB / 2 : 5000);
        TBlock block{static_cast<char*>(pool.Take(size)), size,
                     static_cast<unsigned char>(random() | 1)};
        FillBlock(block);
        held.push_back(block);
      } else if (!held.empty()) {
        const size_t i = random() % held.size();
        EXPECT_TRUE(HoldsFill(held[i], held[i].Size));
        if (random() % 2) {
          const size_t newSize = 1 + random() % MB;
          held[i].Data = static_cast<char*>(pool.Resize(held[i].Data, held[i].Size, newSize));
          EXPECT_TRUE(HoldsFill(held[i], std::min(held[i].Size, newSize)));
          held[i].Size = newSize;
          FillBlock(held[i]);
        } else {
          pool.Give(held[i].Data, held[i].Size);
          held.erase(held.begin() + static_cast<ptrdiff_t>(i));
        }
      }
    }
    for (const TBlock& block : held) {
      EXPECT_TRUE(HoldsFill(block, block.Size));
      pool.Give(block.Data, block.Size);
    }
  };
  std::thread other(work, 2u);
  work(1u);
  other.join();
  // Everything given back joins into one free place again, where the first block was.
  EXPECT_EQ(pool.Take(40 * MB), start);
}

} // namespace
