#include "support/fast_memory_stream.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

#include "base/exceptions.h"

namespace {

constexpr int32_t Step = 262144;

AnsiString Content(TFastMemoryStream& Stream) {
  return AnsiString(static_cast<const char*>(Stream.Memory()), size_t(Stream.GetSize()));
}

void ExpectMemoryError(const std::function<void()>& Action) {
  try {
    Action();
    ADD_FAILURE() << "no memory error";
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "TFastMemoryStream.Realloc: Memory Error");
  }
}

struct GrowthCase {
  int32_t WriteEnd;
  int32_t Capacity;
};

TEST(FastMemoryStream, ReservesInSteps) {
  const GrowthCase cases[] = {
      {1, Step}, {Step, Step}, {Step + 1, 2 * Step}, {3 * Step - 7, 3 * Step}};
  for (const GrowthCase& c : cases) {
    TFastMemoryStream stream;
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
    stream.SetPosition(c.WriteEnd - 1);
    EXPECT_EQ(stream.Write("x", 1), 1);
    EXPECT_EQ(stream.Capacity(), c.Capacity) << c.WriteEnd;
    EXPECT_EQ(stream.GetSize(), c.WriteEnd);
    EXPECT_EQ(stream.GetPosition(), c.WriteEnd);
  }
}

TEST(FastMemoryStream, GrowingKeepsTheContent) {
  TFastMemoryStream stream;
  AnsiString expected;
  for (int i = 0; expected.size() < size_t(3 * Step); ++i) {
    const AnsiString line = "line " + std::to_string(i) + ";x\r\n";
    stream.WriteBuffer(line.data(), int32_t(line.size()));
    expected += line;
  }
  EXPECT_EQ(stream.Capacity(), 4 * Step);
  EXPECT_EQ(Content(stream), expected);
  AnsiString back(expected.size(), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(&back[0], int32_t(back.size()));
  EXPECT_EQ(back, expected);
}

TEST(FastMemoryStream, SetSize) {
  TFastMemoryStream stream;
  stream.WriteBuffer("0123456789", 10);
  EXPECT_EQ(stream.Capacity(), Step);

  stream.SetSize(10); // the current size trims the reservation to exactly it
  EXPECT_EQ(stream.Capacity(), 10);
  EXPECT_EQ(Content(stream), "0123456789");

  stream.SetPosition(8);
  stream.SetSize(5); // below the position: the position follows the end
  EXPECT_EQ(stream.GetPosition(), 5);
  EXPECT_EQ(stream.Capacity(), Step);
  EXPECT_EQ(Content(stream), "01234");

  stream.SetPosition(2);
  stream.SetSize(7); // above the position: the position stays
  EXPECT_EQ(stream.GetPosition(), 2);
  EXPECT_EQ(stream.GetSize(), 7);

  stream.SetSize(0);
  EXPECT_EQ(stream.Capacity(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST(FastMemoryStream, ClearFreesEverything) {
  TFastMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.Clear();
  EXPECT_EQ(stream.Capacity(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
  stream.WriteBuffer("de", 2);
  EXPECT_EQ(Content(stream), "de");
}

TEST(FastMemoryStream, ReadAtOrPastTheEndGivesNothing) {
  TFastMemoryStream stream;
  char buffer[4] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  stream.WriteBuffer("abc", 3);
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  EXPECT_EQ(stream.GetPosition(), 3);
  stream.Seek(10, soFromBeginning);
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  EXPECT_EQ(stream.GetPosition(), 10);
  stream.SetPosition(1);
  EXPECT_EQ(stream.Read(buffer, 4), 2);
  EXPECT_EQ(AnsiString(buffer, 2), "bc");
  EXPECT_EQ(stream.GetPosition(), 3);
}

TEST(FastMemoryStream, RefusesNegativeCountsAndPositions) {
  TFastMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, -1), 0);
  EXPECT_EQ(stream.Write("x", -1), 0);
  stream.Seek(-2, soFromBeginning); // no clamping
  EXPECT_EQ(stream.GetPosition(), -2);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  EXPECT_EQ(stream.Write("x", 1), 0);
  EXPECT_EQ(Content(stream), "abc");
}

TEST(FastMemoryStream, SeekOrigins) {
  struct Case {
    int64_t Offset;
    int Origin;
    int64_t Expected;
  };
  const Case cases[] = {
      {0, soFromEnd, 10},     {-3, soFromEnd, 7},      {5, soFromEnd, 15}, {2, soFromCurrent, 6},
      {-4, soFromCurrent, 0}, {9, soFromBeginning, 9}, {100, 7, 4}};
  for (const Case& c : cases) {
    TFastMemoryStream stream;
    stream.WriteBuffer("0123456789", 10);
    stream.SetPosition(4);
    EXPECT_EQ(stream.Seek(c.Offset, c.Origin), c.Expected) << c.Offset << "/" << c.Origin;
    EXPECT_EQ(stream.GetPosition(), c.Expected);
  }
}

TEST(FastMemoryStream, WriteBeyondTheEndExtendsTheSize) {
  TFastMemoryStream stream;
  stream.WriteBuffer("ab", 2);
  stream.Seek(6, soFromBeginning);
  stream.WriteBuffer("z", 1);
  EXPECT_EQ(stream.GetSize(), 7);
  const AnsiString content = Content(stream);
  EXPECT_EQ(content.substr(0, 2), "ab");
  EXPECT_EQ(content.back(), 'z');
}

// Sizes that do not fit 32 bits are refused instead of wrapping; nothing is allocated for them.
TEST(FastMemoryStream, RefusesToGrowPast2GiB) {
  constexpr int32_t max = std::numeric_limits<int32_t>::max();
  TFastMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.Seek(max - 1, soFromBeginning);
  ExpectMemoryError([&] { stream.Write("xyz", 3); });
  EXPECT_EQ(stream.GetSize(), 3);
  EXPECT_EQ(stream.GetPosition(), max - 1);
  EXPECT_EQ(stream.Capacity(), Step);

  ExpectMemoryError([&] { stream.SetSize(int64_t(max) + 1); });
  ExpectMemoryError([&] { stream.SetSize(-1); });
  ExpectMemoryError([&] { stream.SetCapacity(max - 5); }); // rounding would pass 2 GiB
  EXPECT_EQ(Content(stream), "abc");
  EXPECT_EQ(stream.Capacity(), Step);

  // A seek past the 32-bit range stays at its edge, so the next write is refused too.
  EXPECT_EQ(stream.Seek(int64_t(max) + 10, soFromBeginning), max);
  ExpectMemoryError([&] { stream.Write("x", 1); });
}

TEST(FastMemoryStream, SetPointerReadsTheCallersBlockAndCopiesItToGrow) {
  char block[] = "hello";
  TFastMemoryStream stream;
  stream.WriteBuffer("own", 3);
  stream.SetPointer(block, 5);
  EXPECT_EQ(stream.Memory(), block);
  EXPECT_EQ(stream.GetSize(), 5);
  stream.SetPosition(0);
  char buffer[5];
  stream.ReadBuffer(buffer, 5);
  EXPECT_EQ(AnsiString(buffer, 5), "hello");

  stream.SetPosition(0);
  stream.WriteBuffer("J", 1); // within the block: written in place
  EXPECT_EQ(AnsiString(block), "Jello");

  stream.Seek(0, soFromEnd);
  stream.WriteBuffer(" world", 6); // beyond it: moves to a block of the stream's own
  EXPECT_NE(stream.Memory(), block);
  EXPECT_EQ(Content(stream), "Jello world");
  EXPECT_EQ(AnsiString(block), "Jello");
}

} // namespace
