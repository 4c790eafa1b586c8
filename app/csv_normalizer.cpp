#include "app/csv_normalizer.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "base/exceptions.h"
#include "csv/text_loading.h"
#include "support/block_scan.h"

// Block instructions for the normaliser where the compiler can target them; the machine is asked
// at run time.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VOXARO_SIMD_NORMALIZER 1
#include <immintrin.h>
#else
#define VOXARO_SIMD_NORMALIZER 0
#endif

namespace {

// Plain bytes and quotes are handled without a branch of their own: in this kind of file they
// alternate every few bytes, and mispredicted branches would cost more than the copying.
enum TByteKind : unsigned char { Plain, Quote, Special };

struct TByteKinds {
  TByteKind Of[256] = {};
  TByteKinds() {
    Of[static_cast<unsigned char>('"')] = Quote;
    for (unsigned char c : {'\0', '\r', '\n'})
      Of[c] = Special;
  }
};
const TByteKinds Kinds;

// Both steps of the normalisation in one pass: the quote toggle's output is cut into CR LF lines
// as it is produced, so no intermediate text is held. Fed the text piece by piece; the text ends
// at its first byte 0.
class TLineJoiner {
public:
  // At most this many bytes come out per byte going in ("<br>" for a line break in quotes).
  static constexpr size_t MaxGrowth = 4;

  // Appends the normalised form of In (up to Count bytes) at Out + Size; false once it met the
  // byte 0 that ends the text. Out must have room for MaxGrowth bytes per byte of In.
  bool Write(const char* In, size_t Count, char* Out) {
#if VOXARO_SIMD_NORMALIZER
    if (FBlocks) return WriteBlocks(In, Count, Out);
#endif
    return WriteBytes(In, Count, Out);
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

private:
  static const bool HaveBlockInstructions;

  bool WriteBytes(const char* In, size_t Count, char* Out) {
    const auto* in = reinterpret_cast<const unsigned char*>(In);
    const auto* const end = in + Count;
    size_t size = FSize;
    bool inQuotes = FInQuotes;
    bool ended = false;
    while (in != end) {
      const unsigned char c = *in++;
      const TByteKind kind = Kinds.Of[c];
      if (kind == Special) {
        if (c == 0) {
          ended = true;
          break;
        }
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
    return !ended;
  }

#if VOXARO_SIMD_NORMALIZER
  bool WriteBlocks(const char* In, size_t Count, char* Out);
#endif

  static constexpr size_t None = size_t(-1);
  const bool FBlocks = HaveBlockInstructions && BlockScanEnabled();
  size_t FSize = 0;
  bool FInQuotes = false;
  size_t FLineEnd = 0;      // the size right after the last line end written
  size_t FCrLineEnd = None; // the same for a line end written for a CR: an LF right after joins it
};

#if VOXARO_SIMD_NORMALIZER
const bool TLineJoiner::HaveBlockInstructions = __builtin_cpu_supports("ssse3");

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

// Sixteen bytes at a time: a block without a line break or byte 0 is copied without its quotes,
// eight bytes per shuffle, and its quotes only flip the quote state; any other block goes the
// plain way. Every store stays within the room MaxGrowth grants for the block.
__attribute__((target("ssse3"))) bool TLineJoiner::WriteBlocks(const char* In, size_t Count,
                                                               char* Out) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  const char* in = In;
  const char* const end = In + Count;
  while (end - in >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf)),
                     _mm_cmpeq_epi8(block, zero));
    if (_mm_movemask_epi8(special) != 0) {
      if (!WriteBytes(in, 16, Out)) return false;
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
  return WriteBytes(in, static_cast<size_t>(end - in), Out);
}
#else
const bool TLineJoiner::HaveBlockInstructions = false;
#endif

// The text goes through in pieces, so that a mapped file's pages can go as soon as they are done.
constexpr size_t PieceSize = size_t(4) << 20;
constexpr size_t MaxStreamSize = std::numeric_limits<int32_t>::max();

// Gives the stream room for Needed bytes, growing it by half at least, so that a moving block is
// copied only a few times.
char* Reserve(TFastMemoryStream& Stream, size_t Needed) {
  const auto have = static_cast<size_t>(Stream.GetSize());
  if (Needed > have) {
    const size_t grown = std::min(std::max(Needed, have + have / 2), MaxStreamSize);
    if (Needed > grown) throw EStreamError("TFastMemoryStream.Realloc: Memory Error");
    Stream.SetSize(static_cast<int64_t>(grown));
  }
  return static_cast<char*>(Stream.Memory());
}

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
  TLoadedText text = LoadText(FileName);
  NormalizeCSVText(text, Stream);
}

namespace {

// The normalisation of Text; Source, when given, learns how far its text is done.
void NormalizeInto(std::string_view Text, TFastMemoryStream& Stream, TLoadedText* Source) {
  Stream.Clear();
  // Exports come out a little shorter than they go in; most of them need this one reservation.
  Reserve(Stream, Text.size() + Text.size() / 8 + 2);
  TLineJoiner joiner;
  for (size_t done = 0; done < Text.size();) {
    size_t piece = std::min(PieceSize, Text.size() - done);
    // Close to the stream's limit the pieces get shorter, so that only a text that cannot fit
    // fails.
    const size_t room = MaxStreamSize - joiner.Size();
    if (TLineJoiner::MaxGrowth * piece + 2 > room)
      piece = std::max<size_t>(1, room > 2 ? (room - 2) / TLineJoiner::MaxGrowth : 0);
    char* const out = Reserve(Stream, joiner.Size() + TLineJoiner::MaxGrowth * piece + 2);
    const bool more = joiner.Write(Text.data() + done, piece, out);
    done += piece;
    if (Source) Source->DoneUpTo(done);
    if (!more) break;
  }
  const size_t size = joiner.Finish(Reserve(Stream, joiner.Size() + 2));
  Stream.SetSize(static_cast<int64_t>(size));
  Stream.Seek(0, soFromEnd);
}

} // namespace

void NormalizeCSVText(TLoadedText& Text, TFastMemoryStream& Stream) {
  NormalizeInto(Text.View(), Stream, &Text);
}

void NormalizeCSVText(std::string_view Text, TFastMemoryStream& Stream) {
  NormalizeInto(Text, Stream, nullptr);
}
