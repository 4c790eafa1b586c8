#pragma once
// Which way the text scanners go: sixteen bytes at a time with the instructions this processor
// has, or byte by byte. The byte-by-byte path is the reference that the tests hold every block
// path to. The choice is made here and nowhere else.

enum class TScanPath { Plain, Sse2, Ssse3 };

// The best path this processor can take, unless a setting asks for another.
TScanPath ActiveScanPath();
// Whether this processor can take Path.
bool CanTakeScanPath(TScanPath Path);

// Path, one this processor can take, for one scope; the tests run every path they can this way.
class TScanPathSetting {
public:
  explicit TScanPathSetting(TScanPath Path);
  ~TScanPathSetting();
  TScanPathSetting(const TScanPathSetting&) = delete;
  TScanPathSetting& operator=(const TScanPathSetting&) = delete;

private:
  TScanPath FBefore;
};
