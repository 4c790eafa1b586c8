#include "support/scan_path.h"

#include <atomic>

namespace {

TScanPath BestPath() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  if (__builtin_cpu_supports("ssse3")) return TScanPath::Ssse3;
  if (__builtin_cpu_supports("sse2")) return TScanPath::Sse2;
#endif
  return TScanPath::Plain;
}

const TScanPath Best = BestPath();
// Atomic: a setting is then never a data race with a scanner starting on another thread.
std::atomic<TScanPath> Active{Best};

} // namespace

TScanPath ActiveScanPath() {
  return Active.load(std::memory_order_relaxed);
}

bool CanTakeScanPath(TScanPath Path) {
  return Path <= Best;
}

TScanPathSetting::TScanPathSetting(TScanPath Path) : FBefore(ActiveScanPath()) {
  Active.store(CanTakeScanPath(Path) ? Path : Best, std::memory_order_relaxed);
}

TScanPathSetting::~TScanPathSetting() {
  Active.store(FBefore, std::memory_order_relaxed);
}
