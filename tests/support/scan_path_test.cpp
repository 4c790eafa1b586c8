#include "support/scan_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// The import's tests run a second time with VOXARO_PLAIN_PATHS=1 (tests/test_main.cpp); this one
// fails when that run would take the block paths all the same.
TEST(ScanPaths, SwitchFollowsTheEnvironment) {
  const char* plain = std::getenv("VOXARO_PLAIN_PATHS");
  const bool forced = plain && std::strcmp(plain, "1") == 0;
  const TScanPath active = ActiveScanPath();
  if (forced) {
    EXPECT_EQ(active, TScanPath::Plain);
  }
  EXPECT_TRUE(CanTakeScanPath(active));
  EXPECT_TRUE(CanTakeScanPath(TScanPath::Plain));
  {
    const TScanPathSetting setting(TScanPath::Plain);
    EXPECT_EQ(ActiveScanPath(), TScanPath::Plain);
  }
  EXPECT_EQ(ActiveScanPath(), active);
}

} // namespace
