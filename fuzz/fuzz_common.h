#pragma once
// Shared by the fuzz targets: the input as a file, since the loader and the import map files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "framework/system.h"

class TFuzzFile {
public:
  TFuzzFile(const uint8_t* Data, size_t Size) {
    const char* dir = std::getenv("TMPDIR");
    FName = AnsiString(dir && *dir ? dir : "/tmp") + "/voxaro-fuzz-" + std::to_string(getpid()) + ".csv";
    std::FILE* f = std::fopen(FName.c_str(), "wb");
    if (!f) std::abort();
    if (Size && std::fwrite(Data, 1, Size, f) != Size) std::abort();
    std::fclose(f);
  }
  ~TFuzzFile() { std::remove(FName.c_str()); }
  const AnsiString& Name() const { return FName; }

private:
  AnsiString FName;
};

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                            \
    }                                                                          \
  } while (0)
