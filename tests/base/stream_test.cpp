#include "base/stream.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "tests/test_streams.h"

namespace {

TEST(Stream, SizeLeavesThePositionWhereItWas) {
  ChunkedStream stream("0123456789", 100);
  stream.SetPosition(4);
  EXPECT_EQ(stream.GetSize(), 10);
  EXPECT_EQ(stream.GetPosition(), 4);
}

TEST(Stream, ReadBufferWantsEveryByte) {
  ChunkedStream stream("0123456789", 4);
  char buffer[8] = {};
  EXPECT_THROW(stream.ReadBuffer(buffer, 8), EReadError);
  ChunkedStream enough("0123", 4);
  enough.ReadBuffer(buffer, 4);
  EXPECT_EQ(AnsiString(buffer, 4), "0123");
  enough.ReadBuffer(buffer, 0); // nothing wanted, nothing left: fine
  try {
    enough.ReadBuffer(buffer, 1);
    FAIL();
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.Message(), "Stream-Lesefehler");
  }
}

TEST(Stream, WriteBufferWantsEveryByte) {
  ChunkedStream stream("..........", 3);
  EXPECT_THROW(stream.WriteBuffer("abcdef", 6), EWriteError);
  ChunkedStream wide("..........", 10);
  wide.WriteBuffer("abc", 3);
  char buffer[3];
  wide.SetPosition(0);
  wide.ReadBuffer(buffer, 3);
  EXPECT_EQ(AnsiString(buffer, 3), "abc");
}

} // namespace
