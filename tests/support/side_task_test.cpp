#include "support/side_task.h"

#include <gtest/gtest.h>

#include <new>

#include "base/exceptions.h"

namespace {

// An error raised at once, while the task is still being made, arrives at Wait all the same.
TEST(SideTask, WaitRaisesWhatTheWorkRaised) {
  TSideTask fails([] { throw Exception("Try to read past eof"); });
  try {
    fails.Wait();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Try to read past eof");
  }
  TSideTask runsOutOfMemory([] { throw std::bad_alloc(); });
  EXPECT_THROW(runsOutOfMemory.Wait(), std::bad_alloc);
}

TEST(SideTask, WorkIsDoneWhenWaitOrTheDestructorReturns) {
  int result = 0;
  {
    TSideTask task([&] { result = 1; });
    task.Wait();
    EXPECT_EQ(result, 1);
  }
  {
    TSideTask task([&] { result = 2; });
  }
  EXPECT_EQ(result, 2);
  // An error that nobody waits for goes with the task.
  {
    TSideTask task([] { throw Exception("dropped"); });
  }
}

} // namespace
