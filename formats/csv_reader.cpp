#include "formats/csv_reader.h"

#include <cstdint>
#include <cstring>

#include "base/exceptions.h"
#include "platform/platform.h"
#include "support/byte_scan.h"
#include "support/scan_path.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VOXARO_SIMD_READER 1
#include <emmintrin.h>
#define VOXARO_SSE2 __attribute__((target("sse2")))
#else
#define VOXARO_SIMD_READER 0
#endif

TCSVReader::TCSVReader(TStream& Stream, char Delimiter)
    : FDelimiter(Delimiter != 0 ? Delimiter : platform::ListSeparator()),
      FBlockScan(ActiveScanPath() >= TScanPath::Sse2), FFields(InitialFieldCapacity) {
  const int64_t left = Stream.GetSize() - Stream.GetPosition();
  const size_t dataSize = left > 0 ? static_cast<size_t>(left) : 0;
  FBuffer.reset(new char[dataSize + ClosingBytes]);
  // The closing bytes go after what actually arrived, so a short delivery leaves no unset bytes.
  CloseText(FBuffer.get(), Stream.ReadAvailable(FBuffer.get(), dataSize));
  FBegin = FBuffer.get();
  Reset();
}

TCSVReader::TCSVReader(const char* Text, size_t Length, char Delimiter)
    : FBegin(Text), FDelimiter(Delimiter != 0 ? Delimiter : platform::ListSeparator()),
      FBlockScan(ActiveScanPath() >= TScanPath::Sse2), FFields(InitialFieldCapacity) {
  // Without them the scan would run past the text. All of them are read here, so that a caller
  // who is short of room is caught at once (by the address sanitizer, if not by the values).
  static const char Closing[ClosingBytes] = {LineEnd};
  if (std::memcmp(Text + Length, Closing, ClosingBytes) != 0)
    throw Exception("CSV text without its closing bytes");
  Reset();
}

void TCSVReader::CloseText(char* Text, size_t Length) {
  Text[Length] = LineEnd;
  std::memset(Text + Length + 1, 0, ClosingBytes - 1);
}

void TCSVReader::Reset() {
  FCurrent = FBegin;
  FEof = false;
  FFinished = false;
  FFieldCount = 0;
}

void TCSVReader::First() {
  Reset();
  Next();
}

void TCSVReader::GrowFields(bool Double) {
  FFields.resize(Double ? FFields.size() * 2 : FFields.size() + 1);
}

bool TCSVReader::SkipQuotedSection(const char*& Cur) {
  for (;;) {
    ++Cur;
    if (*Cur == 0) return false;
    if (*Cur == Quote) {
      if (Cur[1] != Quote) {
        ++Cur;
        return true;
      }
      ++Cur; // a doubled quote is content
    }
  }
}

namespace {

// The stops of a record's scan one after the other: the line end, the delimiter or byte 0.
class TPlainStops {
public:
  TPlainStops(char Delimiter, const char* From) : FDelimiter(Delimiter), FCur(From) {}
  void RestartAt(const char* From) { FCur = From; }
  const char* Next() {
    while (*FCur != TCSVReader::LineEnd && *FCur != FDelimiter && *FCur != 0)
      ++FCur;
    return FCur++;
  }

private:
  char FDelimiter;
  const char* FCur;
};

#if VOXARO_SIMD_READER
// The same sixteen bytes at a time, each block read where the scan stands. A block starts at or
// before the byte 0 that ends the data, which stops every scan, so no read reaches more than 15
// bytes past it: into the text's padding, whose stops are never used. Its instructions are
// compiled for the scan that the scan path allows to use them, and inlined there.
class TBlockStops {
public:
  VOXARO_SSE2 TBlockStops(char Delimiter, const char* From)
      : FLineEnd(_mm_set1_epi8(TCSVReader::LineEnd)), FDelimiter(_mm_set1_epi8(Delimiter)) {
    RestartAt(From);
  }
  VOXARO_SSE2 void RestartAt(const char* From) {
    FBlock = From;
    FMask = Stops(FBlock);
  }
  VOXARO_SSE2 const char* Next() {
    while (FMask == 0)
      FMask = Stops(FBlock += 16);
    const char* const stop = FBlock + __builtin_ctz(FMask);
    FMask &= FMask - 1;
    return stop;
  }

private:
  VOXARO_SSE2 unsigned Stops(const char* Block) const {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Block));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, FLineEnd), _mm_cmpeq_epi8(bytes, FDelimiter)),
        _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
  }

  __m128i FLineEnd, FDelimiter;
  const char* FBlock;
  unsigned FMask;
};
#endif

} // namespace

// The scan, per record: in a field, at a delimiter (next field starts, maybe quoted), at the line
// end (record complete), at byte 0 (data exhausted: Eof, the record so far stays current).
template <typename TStops> inline void TCSVReader::ReadRecord() {
  const char* cur = FCurrent;
  const char* fieldStart = cur;
  FFieldCount = 0;
  if (FFinished) throw Exception("Try to read past eof");

  if (*cur == Quote && !SkipQuotedSection(cur)) return void(FEof = true);
  TStops stops(FDelimiter, cur);
  for (;;) {
    const char* const stop = stops.Next();
    const char c = *stop;
    if (c == LineEnd) {
      if (stop != FCurrent) StoreField(fieldStart, stop, false);
      FCurrent = stop;
      if (stop[1] == 0) {
        FFinished = true;
        FEof = true;
      } else {
        FCurrent += LineBreakLength;
      }
      return;
    }
    if (c == 0) return void(FEof = true);
    StoreField(fieldStart, stop, true);
    fieldStart = stop + 1;
    if (*fieldStart == Quote) {
      cur = fieldStart;
      if (!SkipQuotedSection(cur)) return void(FEof = true);
      stops.RestartAt(cur);
    }
  }
}

void TCSVReader::ReadRecordPlainly() {
  ReadRecord<TPlainStops>();
}

#if VOXARO_SIMD_READER
VOXARO_SSE2 void TCSVReader::ReadRecordInBlocks() {
  ReadRecord<TBlockStops>();
}
#else
void TCSVReader::ReadRecordInBlocks() {
  ReadRecord<TPlainStops>();
}
#endif

void TCSVReader::Next() {
  if (FBlockScan)
    ReadRecordInBlocks();
  else
    ReadRecordPlainly();
}

AnsiString TCSVReader::GetField(int32_t Index) const {
  AnsiString text;
  AppendField(Index, text);
  return text;
}

void TCSVReader::AppendField(int32_t Index, AnsiString& Dest) const {
  if (!HasField(Index)) return;
  const TFieldRef& field = FFields[static_cast<size_t>(Index)];
  if (field.Length == 0) return;
  if (field.Start[0] != Quote) return void(Dest.append(field.Start, field.Length));
  if (field.Length < 2) return;
  const char* p = field.Start + 1;
  const char* const stop = field.Start + field.Length - 1;
  while (p < stop) {
    const char* const quote = p + FindByte(std::string_view(p, size_t(stop - p)), Quote);
    Dest.append(p, quote);
    if (quote == stop) break;
    Dest += Quote;
    // A doubled quote gives one; a lone one inside the field is kept.
    p = quote + (quote + 1 < stop && quote[1] == Quote ? 2 : 1);
  }
}
