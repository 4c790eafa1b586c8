#include "containers/text_arena.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "platform/platform.h"

namespace {
constexpr size_t FirstBlockSize = 4096;
// Big blocks for millions of names, in large pages where the OS has them.
constexpr size_t MaxBlockSize = size_t(16) << 20;
} // namespace

TTextArena::TTextArena(TTextArena&& Other) noexcept : FPool(Other.FPool) {
  *this = std::move(Other);
}

TTextArena& TTextArena::operator=(TTextArena&& Other) noexcept {
  if (&Other == this) return *this;
  Clear();
  FPool = Other.FPool;
  FBlocks = std::move(Other.FBlocks);
  Other.FBlocks.clear();
  FNext = Other.FNext;
  FEnd = Other.FEnd;
  FNextBlockSize = Other.FNextBlockSize;
  Other.Clear();
  return *this;
}

char* TTextArena::NewBlock(size_t Size) {
  FBlocks.emplace_back(FPool, Size);
  return FBlocks.back().Data();
}

char* TTextArena::Take(size_t Size, size_t Alignment) {
  const auto misalignment = reinterpret_cast<uintptr_t>(FNext) % Alignment;
  const size_t padding = misalignment ? Alignment - misalignment : 0;
  if (FNext && static_cast<size_t>(FEnd - FNext) >= padding + Size) {
    char* const taken = FNext + padding;
    FNext = taken + Size;
    return taken;
  }
  // A long text gets a block of its own; the open block stays open for short ones. Blocks are
  // aligned for any type.
  if (Size > FNextBlockSize / 4) return NewBlock(Size);
  char* const taken = NewBlock(FNextBlockSize);
  platform::PreferLargePages(taken, FNextBlockSize);
  FNext = taken + Size;
  FEnd = taken + FNextBlockSize;
  FNextBlockSize = std::min(2 * FNextBlockSize, MaxBlockSize);
  return taken;
}

std::string_view TTextArena::Store(std::string_view Text) {
  if (Text.empty()) return {};
  char* const copy = Take(Text.size(), 1);
  std::memcpy(copy, Text.data(), Text.size());
  return {copy, Text.size()};
}

const std::string_view* TTextArena::StoreSlot(std::string_view Text) {
  char* const slot = Take(sizeof(std::string_view) + Text.size(), alignof(std::string_view));
  char* const copy = slot + sizeof(std::string_view);
  if (!Text.empty()) std::memcpy(copy, Text.data(), Text.size());
  return new (slot) std::string_view(copy, Text.size());
}

void TTextArena::Adopt(TTextArena&& Other) {
  if (&Other == this) return;
  FBlocks.insert(FBlocks.end(), std::make_move_iterator(Other.FBlocks.begin()),
                 std::make_move_iterator(Other.FBlocks.end()));
  Other.FBlocks.clear();
  Other.Clear();
}

void TTextArena::Clear() {
  FBlocks.clear();
  FNext = FEnd = nullptr;
  FNextBlockSize = FirstBlockSize;
}
