#include "containers/text_arena.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace {
constexpr size_t FirstBlockSize = 4096;
// Big blocks for millions of names, in large pages where the OS has them.
constexpr size_t MaxBlockSize = size_t(16) << 20;
} // namespace

std::string_view TTextArena::Keep(std::string_view Text) {
  const size_t size = Text.size();
  if (size == 0) return {};
  char* copy;
  if (static_cast<size_t>(FEnd - FNext) >= size) {
    copy = FNext;
    FNext += size;
  } else if (size > FNextBlockSize / 4) {
    // A long text gets a block of its own; the open block stays open for short ones.
    FBlocks.emplace_back(new char[size]);
    copy = FBlocks.back().get();
  } else {
    FBlocks.emplace_back(new char[FNextBlockSize]);
    copy = FBlocks.back().get();
    platform::PreferLargePages(copy, FNextBlockSize);
    FNext = copy + size;
    FEnd = copy + FNextBlockSize;
    FNextBlockSize = std::min(2 * FNextBlockSize, MaxBlockSize);
  }
  std::memcpy(copy, Text.data(), size);
  return {copy, size};
}

void TTextArena::Adopt(TTextArena&& Other) {
  if (&Other == this) return;
  FBlocks.insert(FBlocks.end(), std::make_move_iterator(Other.FBlocks.begin()),
                 std::make_move_iterator(Other.FBlocks.end()));
  Other.Clear();
}

void TTextArena::Clear() {
  FBlocks.clear();
  FNext = FEnd = nullptr;
  FNextBlockSize = FirstBlockSize;
}
