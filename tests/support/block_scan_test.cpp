#include "support/block_scan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// The import's tests run a second time with VOXARO_PLAIN_PATHS=1 (tests/test_main.cpp); this one
// fails when that run would take the block paths all the same.
TEST(ScanPaths, SwitchFollowsTheEnvironment) {
  const char* plain = std::getenv("VOXARO_PLAIN_PATHS");
  const bool blocks = !(plain && std::strcmp(plain, "1") == 0);
  EXPECT_EQ(BlockScanEnabled(), blocks);
  {
    const TBlockScanSetting setting(!blocks);
    EXPECT_EQ(BlockScanEnabled(), !blocks);
  }
  EXPECT_EQ(BlockScanEnabled(), blocks);
}

} // namespace
