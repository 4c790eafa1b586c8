#pragma once
// A zip archive read where its bytes lie: the central directory, checked for consistency and
// overlapping entries, and each entry inflated in pieces with its size and checksum checked and
// the limits counted on the way. Only what a workbook needs: stored and deflated entries, Zip64
// sizes, one disk. Every fault throws the damaged workbook's message (formats/workbook_errors.h).
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/system.h"

// Counted while inflating, never taken from the sizes an archive declares.
struct TZipLimits {
  size_t MaxEntries = 10000;
  // All entries read from one archive together.
  uint64_t MaxInflated = uint64_t(1) << 30;
  // An entry beyond RatioFrom inflated bytes may hold at most MaxRatio times its compressed size.
  uint64_t RatioFrom = uint64_t(1) << 20;
  uint64_t MaxRatio = 200;
};

struct TZipEntry {
  AnsiString Name;
  uint16_t Method = 0;
  uint32_t Crc = 0;
  // As declared; the compressed bytes lie at DataOffset in the archive.
  uint64_t CompressedSize = 0;
  uint64_t Size = 0;
  uint64_t DataOffset = 0;
};

class TZipArchive {
public:
  // Bytes must outlive the archive.
  explicit TZipArchive(std::string_view Bytes, const TZipLimits& Limits = TZipLimits());

  const std::vector<TZipEntry>& Entries() const { return FEntries; }
  // The entry of that name, ignoring ASCII case as package part names do; nullptr when absent.
  const TZipEntry* Find(std::string_view Name) const;
  const TZipLimits& Limits() const { return FLimits; }

private:
  friend class TZipEntryReader;

  std::string_view FBytes;
  TZipLimits FLimits;
  std::vector<TZipEntry> FEntries;
  uint64_t FInflated = 0;
};

// One entry's bytes, inflated in pieces as the caller asks for them.
class TZipEntryReader {
public:
  TZipEntryReader(TZipArchive& Archive, const TZipEntry& Entry);
  ~TZipEntryReader();
  TZipEntryReader(const TZipEntryReader&) = delete;
  TZipEntryReader& operator=(const TZipEntryReader&) = delete;

  // Up to Capacity (at most 1 GiB) next bytes into Buffer; 0 once the entry has ended, its size
  // and checksum found right.
  size_t Read(char* Buffer, size_t Capacity);

private:
  struct TInflater;

  void Count(size_t Bytes);
  void Finish();

  TZipArchive& FArchive;
  const TZipEntry& FEntry;
  std::unique_ptr<TInflater> FInflater;
  uint64_t FConsumed = 0;
  uint64_t FProduced = 0;
  uint32_t FCrc = 0;
  bool FDone = false;
};

// A whole entry, for the small parts a reader looks at in one piece.
AnsiString ReadZipEntry(TZipArchive& Archive, const TZipEntry& Entry);
