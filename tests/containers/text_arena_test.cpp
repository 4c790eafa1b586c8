#include "containers/text_arena.h"

#include <gtest/gtest.h>

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
      kept.push_back((i % 2 ? other : arena).Keep(texts[i]));
    arena.Adopt(std::move(other));
    // Adopted: other is empty, and the arena keeps going where it was.
    EXPECT_TRUE(other.Keep("").empty());
    kept.push_back(arena.Keep("after adoption"));
  }
  for (size_t i = 0; i < texts.size(); ++i)
    ASSERT_EQ(kept[i], texts[i]) << i;
  EXPECT_EQ(kept.back(), "after adoption");

  arena.Clear();
  EXPECT_EQ(arena.Keep("again"), "again");
}

} // namespace
