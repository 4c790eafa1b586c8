#include "support/block_scan.h"

#include <atomic>

namespace {
// Atomic: setting it is then never a data race with a scanner starting on another thread.
std::atomic<bool> BlockScan{true};
} // namespace

bool BlockScanEnabled() {
  return BlockScan.load(std::memory_order_relaxed);
}

void EnableBlockScan(bool On) {
  BlockScan.store(On, std::memory_order_relaxed);
}
