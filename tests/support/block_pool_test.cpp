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

bool HoldsFill(const TPoolBlock& Block, unsigned char Fill, size_t Size) {
  for (size_t i = 0; i < Size; ++i)
    if (static_cast<unsigned char>(Block.Data()[i]) != Fill) return false;
  return true;
}

bool Overlap(const TPoolBlock& A, const TPoolBlock& B) {
  return A.Data() < B.Data() + B.Size() && B.Data() < A.Data() + A.Size();
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
    TPoolBlock first(&pool, c.First);
    const TPoolBlock kept(&pool, MB);
    char* const firstData = first.Data();
    first.Release();
    EXPECT_EQ(first.Data(), nullptr) << c.Name;
    const TPoolBlock second(&pool, c.Second);
    EXPECT_EQ(second.Data(), firstData) << c.Name;
    EXPECT_NE(kept.Data(), firstData) << c.Name;
    for (const char* block : {firstData, kept.Data()})
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % TBlockPool::Alignment, 0u) << c.Name;
  }
}

TEST(BlockPool, NeighboursGivenBackJoinIntoOneFreePlace) {
  TBlockPool pool(64 * MB);
  TPoolBlock a(&pool, 4 * MB), b(&pool, 4 * MB), c(&pool, 4 * MB);
  const TPoolBlock keep(&pool, MB); // keeps the space after c taken
  char* const start = a.Data();
  // In an order that joins each with the free place before and after it; a block that moves
  // gives its memory back when it is overwritten.
  a.Release();
  c = TPoolBlock();
  b.Release();
  EXPECT_EQ(TPoolBlock(&pool, 12 * MB).Data(), start);
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
    TPoolBlock block(&pool, c.Size);
    std::memset(block.Data(), 0x5A, c.Size);
    TPoolBlock after;
    if (c.BlockAfter) {
      after = TPoolBlock(&pool, MB);
      std::memset(after.Data(), 0xA5, MB);
    }
    char* const before = block.Data();
    block.Resize(c.NewSize);
    EXPECT_EQ(block.Data() == before, c.InPlace) << c.Name;
    EXPECT_EQ(block.Size(), c.NewSize) << c.Name;
    EXPECT_TRUE(HoldsFill(block, 0x5A, std::min(c.Size, c.NewSize))) << c.Name;
    std::memset(block.Data(), 0x11, c.NewSize);
    if (c.BlockAfter) {
      EXPECT_TRUE(HoldsFill(after, 0xA5, MB)) << c.Name;
      EXPECT_FALSE(Overlap(block, after)) << c.Name;
    }
  }
}

TEST(BlockPool, MoreRegionsWhenTheFirstIsUsedUp) {
  // A hint far too small: the pool reserves on, and blocks larger than any region fit too.
  TBlockPool pool(1);
  std::vector<TPoolBlock> blocks;
  for (size_t size : {40 * MB, 40 * MB, 100 * MB, 3 * MB, 70 * MB}) {
    blocks.emplace_back(&pool, size);
    // The first and the last byte: enough to tell blocks apart without touching all their pages.
    blocks.back().Data()[0] = blocks.back().Data()[size - 1] = static_cast<char>(blocks.size());
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    for (size_t j = 0; j < i; ++j)
      EXPECT_FALSE(Overlap(blocks[i], blocks[j])) << i << " " << j;
    for (const size_t at : {size_t(0), blocks[i].Size() - 1})
      EXPECT_EQ(static_cast<size_t>(blocks[i].Data()[at]), i + 1) << i;
  }
}

TEST(BlockPool, BlocksWithoutAPoolAreTheSystemsAndKeepTheirContent) {
  TPoolBlock block(nullptr, 1000);
  std::memset(block.Data(), 0x3C, 1000);
  block.Resize(5 * MB);
  EXPECT_TRUE(HoldsFill(block, 0x3C, 1000));
  TPoolBlock moved = std::move(block);
  EXPECT_EQ(block.Data(), nullptr);
  EXPECT_EQ(moved.Size(), 5 * MB);
  EXPECT_TRUE(HoldsFill(moved, 0x3C, 1000));
}

TEST(BlockPool, ThreadsTakeAndGiveWithoutSharingABlock) {
  TBlockPool pool(16 * MB);
  char* const start = TPoolBlock(&pool, 1).Data();
  // Each thread keeps a few blocks, fills each with its own byte, and checks it before giving it
  // back: a block handed out twice at once shows as a changed byte.
  const auto work = [&](unsigned Seed) {
    std::mt19937 random(Seed);
    struct THeld {
      TPoolBlock Block;
      unsigned char Fill;
    };
    std::vector<THeld> held;
    for (int step = 0; step < 2000; ++step) {
      if (held.size() < 8 && random() % 3 != 0) {
        const size_t size = 1 + random() % (random() % 4 == 0 ? MB / 2 : 5000);
        held.push_back({TPoolBlock(&pool, size), static_cast<unsigned char>(random() | 1)});
        std::memset(held.back().Block.Data(), held.back().Fill, size);
      } else if (!held.empty()) {
        THeld& h = held[random() % held.size()];
        EXPECT_TRUE(HoldsFill(h.Block, h.Fill, h.Block.Size()));
        if (random() % 2) {
          const size_t size = h.Block.Size(), newSize = 1 + random() % MB;
          h.Block.Resize(newSize);
          EXPECT_TRUE(HoldsFill(h.Block, h.Fill, std::min(size, newSize)));
          std::memset(h.Block.Data(), h.Fill, newSize);
        } else {
          h.Block.Release();
          held.erase(held.begin() + (&h - held.data()));
        }
      }
    }
    for (const THeld& h : held)
      EXPECT_TRUE(HoldsFill(h.Block, h.Fill, h.Block.Size()));
  };
  std::thread other(work, 2u);
  work(1u);
  other.join();
  // Everything given back joins into one free place again, where the first block was.
  EXPECT_EQ(TPoolBlock(&pool, 40 * MB).Data(), start);
}

} // namespace
