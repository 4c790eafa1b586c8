#pragma once
// A small zip writer for the tests of the workbook reader: archives made in memory, including
// ones that a writer would never make.
#include <cstdint>
#include <vector>

#include "base/system.h"

// Raw deflate of Data (no zlib header), as zip entries hold it.
AnsiString Deflated(const AnsiString& Data);
uint32_t Crc32(const AnsiString& Data);
// Raw deflate of Block repeated Count times, made of one compressed Block repeated: a bomb of
// Count * Block.size() bytes from a small archive.
AnsiString DeflatedRepeats(const AnsiString& Block, size_t Count);

class TZipWriter {
public:
  // An entry holding Data, deflated or stored.
  TZipWriter& Add(const AnsiString& Name, const AnsiString& Data, bool Deflate = true);
  // An entry with these compressed bytes and these declared values, as they are.
  TZipWriter& AddRaw(const AnsiString& Name, const AnsiString& Compressed, uint16_t Method,
                     uint32_t Crc, uint64_t Size);
  // One more directory record for the local header of entry Index, under another name.
  TZipWriter& AddAlias(const AnsiString& Name, size_t Index);
  AnsiString Bytes() const;

private:
  struct TEntry {
    AnsiString Name, Compressed;
    uint16_t Method;
    uint32_t Crc;
    uint64_t Size;
    size_t LocalOf; // its own index, or the entry whose local header an alias shares
  };
  std::vector<TEntry> FEntries;
};
