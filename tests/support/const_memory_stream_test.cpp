#include "support/const_memory_stream.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"

namespace {

TEST(ConstMemoryStream, ReadsTheBytesWhereTheyAreAndWritesNothing) {
  const char bytes[] = "0123456789";
  TConstMemoryStream stream(bytes, 10);
  EXPECT_EQ(stream.GetSize(), 10);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(AnsiString(buffer, 4), "0123");
  EXPECT_EQ(stream.Seek(-2, soFromEnd), 8);
  EXPECT_EQ(stream.Read(buffer, 8), 2);
  EXPECT_EQ(AnsiString(buffer, 2), "89");
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  // Beyond the end the position stops there; before the start it is refused.
  EXPECT_EQ(stream.Seek(20, soFromBeginning), 10);
  EXPECT_EQ(stream.Seek(-1, soFromBeginning), -1);
  EXPECT_EQ(stream.GetPosition(), 10);
  EXPECT_EQ(stream.Write("x", 1), 0);
  EXPECT_THROW(stream.SetSize(5), EStreamError);
  EXPECT_EQ(AnsiString(bytes), "0123456789");
}

} // namespace
