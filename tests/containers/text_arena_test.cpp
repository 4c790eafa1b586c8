#include "containers/text_arena.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Texts of every length around the block sizes, each with bytes of its own.
std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  for (size_t i = 0; i < 3000; ++i) {
    const size_t length = i % 7 == 0 ? (i * 131) % 70000 : i % 60;
    std::string text(length, '\0');
    for (size_t j = 0; j < length; ++j)
      text[j] = static_cast<char>(i * 7 + j);
    texts.push_back(std::move(text));
  }
  return texts;
}

TEST(TextArena, KeptTextStaysWhereItIsThroughGrowthAndAdoption) {
  const std::vector<std::string> texts = Texts();
  TTextArena arena;
  std::vector<std::string_view> kept;
  {
    TTextArena other;
    for (size_t i = 0; i < texts.size(); ++i)
      kept.push_back((i % 2 ? other : arena).Store(texts[i]));
    arena.Adopt(std::move(other));
    // Adopted: other is empty, and the arena keeps going where it was.
    EXPECT_TRUE(other.Store("").empty());
    kept.push_back(arena.Store("after adoption"));
  }
  for (size_t i = 0; i < texts.size(); ++i)
    ASSERT_EQ(kept[i], texts[i]) << i;
  EXPECT_EQ(kept.back(), "after adoption");

  arena.Clear();
  EXPECT_EQ(arena.Store("again"), "again");
}

// A moved arena's text stays where it was; what the moved-from arena keeps afterwards goes into
// blocks of its own, not into the target's open block, and freeing them leaves the target's text.
TEST(TextArena, MovedFromArenaStartsAfresh) {
  for (const bool assign : {false, true}) {
    TTextArena source;
    const std::string_view before = source.Store("kept before the move");
    std::optional<TTextArena> target;
    if (assign) {
      target.emplace().Store("dropped with the target's old blocks");
      *target = std::move(source);
    } else {
      target.emplace(std::move(source));
    }
    const std::string_view fromSource = source.Store("kept by the source");
    const std::string_view fromTarget = target->Store("kept by the target");
    EXPECT_EQ(fromSource, "kept by the source") << assign;
    source.Clear();
    EXPECT_EQ(before, "kept before the move") << assign;
    EXPECT_EQ(fromTarget, "kept by the target") << assign;
  }
}

} // namespace
