#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/scan_path.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // VOXARO_PLAIN_PATHS=1 runs the text scanners on their plain paths: the import's tests are
  // registered once more that way.
  const char* plain = std::getenv("VOXARO_PLAIN_PATHS");
  std::unique_ptr<TScanPathSetting> setting;
  if (plain && std::strcmp(plain, "1") == 0)
    setting = std::make_unique<TScanPathSetting>(TScanPath::Plain);
  return RUN_ALL_TESTS();
}
