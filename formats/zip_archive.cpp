#include "formats/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "formats/workbook_errors.h"

namespace {

constexpr uint32_t LocalHeaderSignature = 0x04034b50;
constexpr uint32_t CentralHeaderSignature = 0x02014b50;
constexpr uint32_t EndSignature = 0x06054b50;
constexpr uint32_t Zip64EndSignature = 0x06064b50;
constexpr uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr size_t LocalHeaderSize = 30;
constexpr size_t CentralHeaderSize = 46;
constexpr size_t EndSize = 22;
constexpr size_t Zip64LocatorSize = 20;
constexpr size_t Zip64EndSize = 56;
constexpr uint16_t Stored = 0;
constexpr uint16_t Deflated = 8;

// Little-endian fields at an offset that the caller has checked.
uint16_t Get16(std::string_view Bytes, uint64_t At) {
  const auto* p = reinterpret_cast<const unsigned char*>(Bytes.data() + At);
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Get32(std::string_view Bytes, uint64_t At) {
  return Get16(Bytes, At) | uint32_t(Get16(Bytes, At + 2)) << 16;
}
uint64_t Get64(std::string_view Bytes, uint64_t At) {
  return Get32(Bytes, At) | uint64_t(Get32(Bytes, At + 4)) << 32;
}

bool Fits(std::string_view Bytes, uint64_t At, uint64_t Size) {
  return At <= Bytes.size() && Size <= Bytes.size() - At;
}

void Require(bool Condition) {
  if (!Condition) ThrowDamagedWorkbook();
}

// Size bytes from Compressed bytes, as the ratio rule allows: at most MaxRatio times as many.
bool WithinRatio(uint64_t Size, uint64_t Compressed, const TZipLimits& Limits) {
  return Size <= Limits.RatioFrom ||
         Size / Limits.MaxRatio + (Size % Limits.MaxRatio != 0) <= Compressed;
}

struct TDirectory {
  uint64_t Entries = 0;
  uint64_t Offset = 0;
  uint64_t Size = 0;
  // Where the directory must end: the record that follows it.
  uint64_t End = 0;
};

TDirectory FindDirectory(std::string_view Bytes) {
  // The end record is the last one whose comment reaches no further than the archive.
  Require(Bytes.size() >= EndSize);
  const uint64_t lowest = Bytes.size() > EndSize + 0xFFFF ? Bytes.size() - EndSize - 0xFFFF : 0;
  uint64_t end = Bytes.size() - EndSize;
  while (!(Get32(Bytes, end) == EndSignature &&
           end + EndSize + Get16(Bytes, end + 20) <= Bytes.size())) {
    Require(end > lowest);
    --end;
  }
  Require(Get16(Bytes, end + 4) == 0 && Get16(Bytes, end + 6) == 0);
  TDirectory directory;
  directory.Entries = Get16(Bytes, end + 10);
  Require(Get16(Bytes, end + 8) == directory.Entries);
  directory.Size = Get32(Bytes, end + 12);
  directory.Offset = Get32(Bytes, end + 16);
  directory.End = end;
  const bool zip64 =
      directory.Entries == 0xFFFF || directory.Size == 0xFFFFFFFF || directory.Offset == 0xFFFFFFFF;
  if (zip64 && end >= Zip64LocatorSize &&
      Get32(Bytes, end - Zip64LocatorSize) == Zip64LocatorSignature) {
    const uint64_t locator = end - Zip64LocatorSize;
    const uint64_t record = Get64(Bytes, locator + 8);
    Require(Get32(Bytes, locator + 4) == 0 && Get32(Bytes, locator + 16) <= 1);
    Require(record <= locator && Fits(Bytes, record, Zip64EndSize) &&
            Get32(Bytes, record) == Zip64EndSignature);
    Require(Get32(Bytes, record + 16) == 0 && Get32(Bytes, record + 20) == 0);
    directory.Entries = Get64(Bytes, record + 32);
    Require(Get64(Bytes, record + 24) == directory.Entries);
    directory.Size = Get64(Bytes, record + 40);
    directory.Offset = Get64(Bytes, record + 48);
    directory.End = record;
  }
  Require(directory.Offset <= directory.End && directory.Size == directory.End - directory.Offset);
  return directory;
}

// The Zip64 extra field's values, for the fields whose 32 bits are all ones, in this order.
void ReadZip64Extra(std::string_view Extra, TZipEntry& Entry, uint64_t& LocalOffset) {
  for (uint64_t at = 0; at + 4 <= Extra.size();) {
    const uint16_t id = Get16(Extra, at), size = Get16(Extra, at + 2);
    Require(Fits(Extra, at + 4, size));
    if (id == 1) {
      uint64_t field = at + 4;
      const uint64_t end = field + size;
      for (uint64_t* value : {&Entry.Size, &Entry.CompressedSize, &LocalOffset}) {
        if (*value != 0xFFFFFFFF) continue;
        Require(field + 8 <= end);
        *value = Get64(Extra, field);
        field += 8;
      }
      return;
    }
    at += 4 + size;
  }
}

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(A[i]) != lower(B[i])) return false;
  }
  return true;
}

} // namespace

TZipArchive::TZipArchive(std::string_view Bytes, const TZipLimits& Limits)
    : FBytes(Bytes), FLimits(Limits) {
  const TDirectory directory = FindDirectory(Bytes);
  Require(directory.Entries <= FLimits.MaxEntries);
  FEntries.reserve(static_cast<size_t>(directory.Entries));
  // Where each entry lies, from its local header to the end of its data: no two may overlap,
  // nor reach into the directory.
  struct TSpan {
    uint64_t From, To;
  };
  std::vector<TSpan> spans;
  spans.reserve(FEntries.capacity());
  uint64_t at = directory.Offset;
  for (uint64_t i = 0; i < directory.Entries; ++i) {
    Require(at + CentralHeaderSize <= directory.End && Get32(Bytes, at) == CentralHeaderSignature);
    TZipEntry entry;
    const uint16_t flags = Get16(Bytes, at + 8);
    entry.Method = Get16(Bytes, at + 10);
    entry.Crc = Get32(Bytes, at + 16);
    entry.CompressedSize = Get32(Bytes, at + 20);
    entry.Size = Get32(Bytes, at + 24);
    const uint16_t nameSize = Get16(Bytes, at + 28), extraSize = Get16(Bytes, at + 30);
    const uint16_t commentSize = Get16(Bytes, at + 32);
    uint64_t local = Get32(Bytes, at + 42);
    const uint64_t next = at + CentralHeaderSize + nameSize + extraSize + commentSize;
    Require(next <= directory.End && Get16(Bytes, at + 34) == 0);
    // Encrypted entries cannot be read.
    Require((flags & 0x41) == 0);
    entry.Name.assign(Bytes.data() + at + CentralHeaderSize, nameSize);
    ReadZip64Extra(Bytes.substr(at + CentralHeaderSize + nameSize, extraSize), entry, local);
    Require(Fits(Bytes, local, LocalHeaderSize) && Get32(Bytes, local) == LocalHeaderSignature);
    const uint64_t data =
        local + LocalHeaderSize + Get16(Bytes, local + 26) + Get16(Bytes, local + 28);
    Require(Fits(Bytes, data, entry.CompressedSize));
    Require(entry.Method != Stored || entry.CompressedSize == entry.Size);
    entry.DataOffset = data;
    spans.push_back({local, data + entry.CompressedSize});
    FEntries.push_back(std::move(entry));
    at = next;
  }
  Require(at == directory.End);
  std::sort(spans.begin(), spans.end(),
            [](const TSpan& A, const TSpan& B) { return A.From < B.From; });
  for (size_t i = 0; i < spans.size(); ++i)
    Require(spans[i].To <= (i + 1 < spans.size() ? spans[i + 1].From : directory.Offset));
}

const TZipEntry* TZipArchive::Find(std::string_view Name) const {
  for (const TZipEntry& entry : FEntries)
    if (SameName(entry.Name, Name)) return &entry;
  return nullptr;
}

struct TZipEntryReader::TInflater {
  z_stream Stream{};
  bool Open = false;
  bool Ended = false;
  ~TInflater() {
    if (Open) inflateEnd(&Stream);
  }
};

TZipEntryReader::TZipEntryReader(TZipArchive& Archive, const TZipEntry& Entry)
    : FArchive(Archive), FEntry(Entry) {
  Require(Entry.Method == Stored || Entry.Method == Deflated);
  // An entry must inflate to its declared size, so one that declares more than the limits allow
  // can only end damaged: at once, instead of after inflating up to the limit. The counts while
  // inflating hold the rest to the limits.
  const TZipLimits& limits = Archive.FLimits;
  Require(Entry.Size <= limits.MaxInflated - std::min(Archive.FInflated, limits.MaxInflated));
  Require(WithinRatio(Entry.Size, Entry.CompressedSize, limits));
  if (Entry.Method == Deflated) {
    FInflater = std::make_unique<TInflater>();
    const int status = inflateInit2(&FInflater->Stream, -MAX_WBITS);
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    Require(status == Z_OK);
    FInflater->Open = true;
  }
}

TZipEntryReader::~TZipEntryReader() = default;

void TZipEntryReader::Count(size_t Bytes) {
  FProduced += Bytes;
  FArchive.FInflated += Bytes;
  const TZipLimits& limits = FArchive.FLimits;
  Require(FProduced <= FEntry.Size && FArchive.FInflated <= limits.MaxInflated);
  Require(WithinRatio(FProduced, FEntry.CompressedSize, limits));
}

void TZipEntryReader::Finish() {
  Require(FProduced == FEntry.Size && FCrc == FEntry.Crc);
  FDone = true;
}

size_t TZipEntryReader::Read(char* Buffer, size_t Capacity) {
  if (FDone || Capacity == 0) return 0;
  Capacity = std::min<size_t>(Capacity, size_t(1) << 30);
  const char* const data = FArchive.FBytes.data() + FEntry.DataOffset;
  size_t produced = 0;
  if (!FInflater) {
    produced = static_cast<size_t>(std::min<uint64_t>(Capacity, FEntry.CompressedSize - FConsumed));
    std::memcpy(Buffer, data + FConsumed, produced);
    FConsumed += produced;
  } else if (!FInflater->Ended) {
    z_stream& stream = FInflater->Stream;
    stream.next_out = reinterpret_cast<Bytef*>(Buffer);
    stream.avail_out = static_cast<uInt>(Capacity);
    while (stream.avail_out > 0 && !FInflater->Ended) {
      if (stream.avail_in == 0 && FConsumed < FEntry.CompressedSize) {
        const uint64_t piece = std::min<uint64_t>(FEntry.CompressedSize - FConsumed, 1 << 30);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data + FConsumed));
        stream.avail_in = static_cast<uInt>(piece);
        FConsumed += piece;
      }
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status == Z_MEM_ERROR) throw std::bad_alloc();
      // Z_BUF_ERROR here: the stream wants more than the entry holds.
      Require(status == Z_OK || status == Z_STREAM_END);
      FInflater->Ended = status == Z_STREAM_END;
    }
    produced = Capacity - stream.avail_out;
  }
  if (produced == 0) {
    Finish();
    return 0;
  }
  Count(produced);
  FCrc = static_cast<uint32_t>(
      crc32(FCrc, reinterpret_cast<const Bytef*>(Buffer), static_cast<uInt>(produced)));
  return produced;
}

AnsiString ReadZipEntry(TZipArchive& Archive, const TZipEntry& Entry) {
  TZipEntryReader reader(Archive, Entry);
  AnsiString bytes;
  constexpr size_t Piece = 64 << 10;
  for (;;) {
    const size_t held = bytes.size();
    bytes.resize(held + Piece);
    const size_t read = reader.Read(&bytes[held], Piece);
    bytes.resize(held + read);
    if (read == 0) return bytes;
  }
}
