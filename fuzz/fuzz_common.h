#pragma once
// Shared by the fuzz targets: a check that stops the run with its condition.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/system.h"

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);          \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)
