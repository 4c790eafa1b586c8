#include "import/csv_normalizer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/exceptions.h"
#include "support/byte_scan.h"
#include "support/scan_path.h"
#include "support/side_task.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VOXARO_SIMD_NORMALIZER 1
#include <immintrin.h>
#else
#define VOXARO_SIMD_NORMALIZER 0
#endif

namespace {

// Plain bytes and quotes are handled without a branch of their own: in this kind of file they
// alternate every few bytes, and mispredicted branches would cost more than the copying.
enum TByteKind : unsigned char { Plain, Quote, LineBreak };

struct TByteKinds {
  TByteKind Of[256] = {};
  TByteKinds() {
    Of[static_cast<unsigned char>('"')] = Quote;
    Of[static_cast<unsigned char>('\r')] = LineBreak;
    Of[static_cast<unsigned char>('\n')] = LineBreak;
  }
};
const TByteKinds Kinds;

// Both steps of the normalisation in one pass: the quote toggle's output is cut into CR LF lines
// as it is produced, so no intermediate text is held. Fed the text (which holds no byte 0) piece
// by piece.
class TLineJoiner {
public:
  // At most this many bytes come out per byte going in ("<br>" for a line break in quotes).
  static constexpr size_t MaxGrowth = 4;

  // Appends the normalised form of Count bytes of In at Out + Size(); Out must have room for
  // MaxGrowth bytes per byte of In.
  void Write(const char* In, size_t Count, char* Out) {
#if VOXARO_SIMD_NORMALIZER
    if (FBlocks) return WriteBlocks(In, Count, Out);
#endif
    WriteBytes(In, Count, Out);
  }

  // Ends the last line; Out must have room for 2 more bytes. The normalised size.
  size_t Finish(char* Out) {
    if (FSize != FLineEnd) {
      Out[FSize++] = '\r';
      Out[FSize++] = '\n';
    }
    return FSize;
  }

  size_t Size() const {
    return FSize;
  }
  // The size right after the last line end written.
  size_t LineEnd() const {
    return FLineEnd;
  }
  // The output up to Bytes, which ends a line, has gone: what follows starts the output again.
  void Rebase(size_t Bytes) {
    FSize -= Bytes;
    FLineEnd -= Bytes;
    if (FCrLineEnd != None) FCrLineEnd -= Bytes;
  }

private:
  void WriteBytes(const char* In, size_t Count, char* Out) {
    const auto* in = reinterpret_cast<const unsigned char*>(In);
    const auto* const end = in + Count;
    size_t size = FSize;
    bool inQuotes = FInQuotes;
    while (in != end) {
      const unsigned char c = *in++;
      const TByteKind kind = Kinds.Of[c];
      if (kind == LineBreak) {
        if (inQuotes) {
          std::memcpy(Out + size, "<br>", 4);
          size += 4;
        } else if (c == '\n' && size == FCrLineEnd) {
          FCrLineEnd = None;
        } else {
          Out[size++] = '\r';
          Out[size++] = '\n';
          FLineEnd = size;
          FCrLineEnd = c == '\r' ? size : None;
        }
        continue;
      }
      // A quote is stored too but not counted, so the next byte overwrites it.
      Out[size] = static_cast<char>(c);
      size += kind == Plain;
      inQuotes ^= kind == Quote;
    }
    FSize = size;
    FInQuotes = inQuotes;
  }

#if VOXARO_SIMD_NORMALIZER
  void WriteBlocks(const char* In, size_t Count, char* Out);
#endif

  static constexpr size_t None = size_t(-1);
  const bool FBlocks = ActiveScanPath() >= TScanPath::Ssse3;
  size_t FSize = 0;
  bool FInQuotes = false;
  size_t FLineEnd = 0;      // the size right after the last line end written
  size_t FCrLineEnd = None; // the same for a line end written for a CR: an LF right after joins it
};

#if VOXARO_SIMD_NORMALIZER
// For each pattern of 8 kept bytes: where the shuffle finds them, packed to the front, and how
// many there are.
struct TPackTables {
  alignas(16) uint8_t Shuffle[256][8];
  uint8_t Kept[256];
  TPackTables() {
    for (int mask = 0; mask < 256; ++mask) {
      int n = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (mask & (1 << bit)) Shuffle[mask][n++] = static_cast<uint8_t>(bit);
      Kept[mask] = static_cast<uint8_t>(n);
      for (int rest = n; rest < 8; ++rest)
        Shuffle[mask][rest] = 0x80;
    }
  }
};
const TPackTables PackTables;

// Sixteen bytes at a time: a block without a line break is copied without its quotes, eight bytes
// per shuffle, and its quotes only flip the quote state; any other block goes the plain way.
// Every store stays within the room MaxGrowth grants for the block.
__attribute__((target("ssse3"))) void TLineJoiner::WriteBlocks(const char* In, size_t Count,
                                                               char* Out) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const char* in = In;
  const char* const end = In + Count;
  while (end - in >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf));
    if (_mm_movemask_epi8(breaks) != 0) {
      WriteBytes(in, 16, Out);
      in += 16;
      continue;
    }
    const auto quotes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, quote)));
    char* const out = Out + FSize;
    if (quotes == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
      FSize += 16;
    } else {
      const unsigned keepLow = ~quotes & 0xFF, keepHigh = ~quotes >> 8 & 0xFF;
      const __m128i low = _mm_shuffle_epi8(
          block, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(PackTables.Shuffle[keepLow])));
      const __m128i high = _mm_shuffle_epi8(
          _mm_srli_si128(block, 8),
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(PackTables.Shuffle[keepHigh])));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), low);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + PackTables.Kept[keepLow]), high);
      FSize += PackTables.Kept[keepLow] + PackTables.Kept[keepHigh];
      FInQuotes ^= (16 - PackTables.Kept[keepLow] - PackTables.Kept[keepHigh]) & 1;
    }
    in += 16;
  }
  WriteBytes(in, static_cast<size_t>(end - in), Out);
}
#endif

// The normalisation of a run of a text into a buffer that is handed on a run of complete lines at
// a time, each step's worth, and then holds only the line begun last.
class TLineNormalizer {
public:
  TLineNormalizer(TBlockPool& Pool, size_t Room, const TNormalizedLines& Lines)
      : FBuffer(&Pool), FRoom(Room), FLines(Lines) {}

  // Normalises the text from From to To; false when the text ended before To or the lines'
  // taker said stop.
  bool Write(const TLoadedText& Text, size_t From, size_t To) {
    return Text.ForEachPiece(From, To, [&](std::string_view Piece) {
      for (size_t done = 0; done < Piece.size() && !FStopped; done += Step) {
        const size_t step = std::min(Step, Piece.size() - done);
        FJoiner.Write(Piece.data() + done, step,
                      Reserve(FJoiner.Size() + TLineJoiner::MaxGrowth * step + 2));
        FStopped = !Hand(FJoiner.LineEnd());
      }
      return !FStopped;
    });
  }

  // Ends the last line and hands on the rest, unless the taker said stop.
  bool Finish() {
    if (FStopped) return false;
    FJoiner.Finish(Reserve(FJoiner.Size() + 2));
    return Hand(FJoiner.Size());
  }

private:
  // In steps short enough that the buffer stays in the cache between the normaliser and the
  // reader of its lines.
  static constexpr size_t Step = size_t(32) << 10;

  // Room for Bytes and for the room after them, keeping what is there; grows by half at least.
  char* Reserve(size_t Bytes) {
    const size_t have = FBuffer.Size();
    if (Bytes > TFastMemoryStream::MaxSize) TFastMemoryStream::RaiseMemoryError();
    if (Bytes + FRoom > have) FBuffer.Resize(std::max(Bytes + FRoom, have + have / 2));
    return FBuffer.Data();
  }

  // The lines up to Length, and then what follows them moves to the front.
  bool Hand(size_t Length) {
    if (Length == 0) return true;
    const size_t rest = FJoiner.Size() - Length;
    FRest.assign(FBuffer.Data() + Length, rest);
    const bool go = FLines(FBuffer.Data(), Length);
    if (rest > 0) std::memcpy(FBuffer.Data(), FRest.data(), rest);
    FJoiner.Rebase(Length);
    return go;
  }

  TPoolBlock FBuffer;
  size_t FRoom;
  const TNormalizedLines& FLines;
  TLineJoiner FJoiner;
  AnsiString FRest;
  bool FStopped = false;
};

} // namespace

void WriteLinesCRLF(const AnsiString& Text, TStream& Stream) {
  const char* p = Text.data();
  const char* const end = p + std::strlen(p);
  while (p < end) {
    const char* line = p;
    while (p < end && *p != '\r' && *p != '\n')
      ++p;
    Stream.WriteBuffer(line, static_cast<int32_t>(p - line));
    Stream.WriteBuffer("\r\n", 2);
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}

void NormalizeCSVData(const PathString& FileName, TFastMemoryStream& Stream) {
  Stream.Clear();
  TBlockPool pool;
  NormalizeCSVLines(LoadText(FileName, pool), 0, std::string_view::npos, 0, pool,
                    [&](char* Lines, size_t Length) {
                      Stream.WriteBuffer(Lines, static_cast<int32_t>(Length));
                      return true;
                    });
}

bool NormalizeCSVLines(const TLoadedText& Text, size_t From, size_t To, size_t Room,
                       TBlockPool& Pool, const TNormalizedLines& Lines) {
  TLineNormalizer normalizer(Pool, Room, Lines);
  To = std::min(To, Text.Bytes().size());
  const bool more = normalizer.Write(Text, From, To);
  return normalizer.Finish() && more;
}

size_t CSVCutAfterMiddle(std::string_view Bytes) {
  // The quote state crosses lines, so the quotes before the middle are counted first, by two
  // threads.
  const size_t middle = Bytes.size() / 2;
  size_t later = 0;
  size_t quotes = 0;
  {
    TSideTask countLater(
        [&] { later = CountByte(Bytes.substr(middle / 2, middle - middle / 2), '"'); });
    quotes = CountByte(Bytes.substr(0, middle / 2), '"');
    countLater.Wait();
  }
  bool inQuotes = (quotes + later) % 2 != 0;
  for (size_t i = middle; i + 1 < Bytes.size(); ++i) {
    const char c = Bytes[i];
    if (c == '"')
      inQuotes = !inQuotes;
    else if (c == '\n' && !inQuotes)
      return i + 1;
  }
  return 0;
}
