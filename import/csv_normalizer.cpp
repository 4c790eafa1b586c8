#include "import/csv_normalizer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "base/exceptions.h"
#include "formats/text_loading.h"
#include "support/block_pool.h"
#include "support/block_scan.h"
#include "support/side_task.h"

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

  // Whether the text so far leaves the joiner as a fresh one starts: outside quotes, after a line
  // end (or at the start), and with no CR whose line end an LF would join.
  bool AtLineStart() const {
    return !FInQuotes && FSize == FLineEnd && FCrLineEnd != FSize;
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

void TPoolText::Release() {
  FPool.Give(FData, FCapacity);
  FData = nullptr;
  FSize = FCapacity = 0;
}

void TPoolText::Swap(TPoolText& Other) {
  std::swap(FData, Other.FData);
  std::swap(FSize, Other.FSize);
  std::swap(FCapacity, Other.FCapacity);
}

char* TPoolText::Reserve(size_t Bytes) {
  if (Bytes > FCapacity) {
    if (Bytes > MaxStreamSize) throw EStreamError("TFastMemoryStream.Realloc: Memory Error");
    const size_t grown = std::min(std::max(Bytes, FCapacity + FCapacity / 2), MaxStreamSize);
    FData = static_cast<char*>(FPool.Resize(FData, FCapacity, grown));
    FCapacity = grown;
  }
  return FData;
}

void TPoolText::Finish(size_t Size, size_t Tail) {
  Reserve(Size + Tail);
  // Not one byte more than that: under the address sanitizer a read past the room is caught.
  FData = static_cast<char*>(FPool.Resize(FData, FCapacity, Size + Tail));
  FCapacity = Size + Tail;
  FSize = Size;
}

// The normalisation of a run of a text into a TPoolText, piece by piece.
class TPartNormalizer {
public:
  explicit TPartNormalizer(TPoolText& Out) : FOut(Out) {}

  // Normalises Text[From, To) after what came before; false once a byte 0 ended the text.
  // Source, when given, may let the pages of a mapping go as they are done.
  bool Write(std::string_view Text, size_t From, size_t To, const TLoadedText* Source) {
    // Exports come out a little shorter than they go in; most of them need this one reservation.
    FOut.Reserve(FJoiner.Size() + (To - From) + (To - From) / 8 + 2);
    for (size_t done = From; done < To;) {
      size_t piece = std::min(PieceSize, To - done);
      // Close to the limit the pieces get shorter, so that only a text that cannot fit fails.
      const size_t room = MaxStreamSize - FJoiner.Size();
      if (TLineJoiner::MaxGrowth * piece + 2 > room)
        piece = std::max<size_t>(1, room > 2 ? (room - 2) / TLineJoiner::MaxGrowth : 0);
      char* const out = FOut.Reserve(FJoiner.Size() + TLineJoiner::MaxGrowth * piece + 2);
      const bool more = FJoiner.Write(Text.data() + done, piece, out);
      if (Source) Source->Drop(done, done + piece);
      done += piece;
      if (!more) return false;
    }
    return true;
  }
  bool AtLineStart() const { return FJoiner.AtLineStart(); }
  void Finish(size_t Tail) {
    const size_t size = FJoiner.Finish(FOut.Reserve(FJoiner.Size() + 2));
    FOut.Finish(size, Tail);
  }

private:
  TPoolText& FOut;
  TLineJoiner FJoiner;
};

namespace {

// Below this the second thread costs more than it saves.
constexpr size_t MinSplitSize = size_t(1) << 20;

size_t CountQuotesPlainly(std::string_view Text) {
  return static_cast<size_t>(std::count(Text.begin(), Text.end(), '"'));
}

#if VOXARO_SIMD_NORMALIZER
const bool HaveSse2 = __builtin_cpu_supports("sse2");

// Sixteen bytes at a time, all inside Text: each byte lane counts its quotes for up to 255
// blocks, then the lanes are summed.
__attribute__((target("sse2"))) size_t CountQuotesInBlocks(std::string_view Text) {
  const __m128i quote = _mm_set1_epi8('"');
  const char* p = Text.data();
  const char* const end = p + Text.size();
  size_t total = 0;
  while (end - p >= 16) {
    const size_t blocks = std::min<size_t>(255, static_cast<size_t>(end - p) / 16);
    __m128i lanes = _mm_setzero_si128();
    for (size_t i = 0; i < blocks; ++i, p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      // A quote compares as all ones, which is minus one.
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, quote));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    total += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
  return total + CountQuotesPlainly(std::string_view(p, static_cast<size_t>(end - p)));
}

size_t CountQuotes(std::string_view Text) {
  return HaveSse2 && BlockScanEnabled() ? CountQuotesInBlocks(Text) : CountQuotesPlainly(Text);
}
#else
size_t CountQuotes(std::string_view Text) {
  return CountQuotesPlainly(Text);
}
#endif

// Just after the first line break after the middle of Text that stands outside quotes, where the
// second thread can start as a fresh normalisation does; 0 for a text too short to share, or
// without such a line break. The quote state crosses lines, so the quotes before the middle are
// counted first, by both threads.
size_t SplitAfterMiddle(std::string_view Text) {
  if (Text.size() < MinSplitSize) return 0;
  const size_t middle = Text.size() / 2;
  size_t later = 0;
  size_t quotes = 0;
  {
    TSideTask countLater(
        [&] { later = CountQuotes(Text.substr(middle / 2, middle - middle / 2)); });
    quotes = CountQuotes(Text.substr(0, middle / 2));
    countLater.Wait();
  }
  bool inQuotes = (quotes + later) % 2 != 0;
  for (size_t i = middle; i + 1 < Text.size(); ++i) {
    const char c = Text[i];
    if (c == '"')
      inQuotes = !inQuotes;
    else if (c == '\n' && !inQuotes)
      return i + 1;
  }
  return 0;
}

void CheckTotal(size_t Total) {
  if (Total > MaxStreamSize) throw EStreamError("TFastMemoryStream.Realloc: Memory Error");
}

} // namespace

bool NormalizeCSVTextInParts(TLoadedText& Text, size_t Tail, TPoolText& First, TPoolText& Second,
                             size_t Split) {
  First.Release();
  Second.Release();
  const std::string_view text = Text.View();
  const size_t split = Split == AnySplit ? SplitAfterMiddle(text) : std::min(Split, text.size());
  TPartNormalizer first(First);
  bool ended = false;
  if (split == 0 || split == text.size()) {
    ended = !first.Write(text, 0, text.size(), &Text);
  } else {
    TPartNormalizer second(Second);
    bool secondEnded = false;
    TSideTask normalizeSecond([&] {
      secondEnded = !second.Write(text, split, text.size(), &Text);
      second.Finish(Tail);
    });
    ended = !first.Write(text, 0, split, &Text);
    normalizeSecond.Wait();
    if (ended) {
      // A byte 0 ended the text in the first part.
      Second.Release();
    } else if (!first.AtLineStart()) {
      // The split fell inside quotes or inside a line: the first part goes on over the rest.
      Second.Release();
      ended = !first.Write(text, split, text.size(), &Text);
    } else {
      ended = secondEnded;
    }
  }
  first.Finish(Tail);
  // The first part holds the start of the text, header row included, whenever there is one.
  if (First.Size() == 0 && Second.Size() > 0) First.Swap(Second);
  CheckTotal(First.Size() + Second.Size() + Tail);
  return ended;
}
