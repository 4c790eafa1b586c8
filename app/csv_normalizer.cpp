#include "app/csv_normalizer.h"

#include <cstring>
#include <limits>

#include "csv/text_loading.h"
#include "framework/exceptions.h"

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

size_t CountByte(const AnsiString& Text, char Byte) {
  size_t count = 0;
  const char* const end = Text.data() + Text.size();
  for (const char* p = Text.data();
       (p = static_cast<const char*>(std::memchr(p, Byte, size_t(end - p)))); ++p)
    ++count;
  return count;
}

// Upper bound of the normalised size: a line break grows to at most four bytes ("<br>"), and
// the last line may gain a CR LF.
size_t NormalizedBound(const AnsiString& Text) {
  return Text.size() + 3 * (CountByte(Text, '\r') + CountByte(Text, '\n')) + 2;
}

// Both steps of the normalisation in one pass: the quote toggle's output is cut into CR LF lines
// as it is produced, so no intermediate text is held. The text ends at its first byte 0, which
// a string always has behind its last byte. Without Store only the size is worked out.
template <bool Store> size_t JoinAndWriteLines(const AnsiString& Text, char* Out) {
  constexpr size_t None = size_t(-1);
  const auto* in = reinterpret_cast<const unsigned char*>(Text.c_str());
  size_t size = 0;
  bool inQuotes = false;
  size_t lineEnd = 0;      // the size right after the last line end written
  size_t crLineEnd = None; // the same for a line end written for a CR: an LF right after joins it
  auto put = [&](const char* Bytes, size_t Count) {
    if (Store) std::memcpy(Out + size, Bytes, Count);
    size += Count;
  };
  for (;;) {
    const unsigned char c = *in++;
    const TByteKind kind = Kinds.Of[c];
    if (kind == Special) {
      if (c == 0) break;
      if (inQuotes) {
        put("<br>", 4);
      } else if (c == '\n' && size == crLineEnd) {
        crLineEnd = None;
      } else {
        put("\r\n", 2);
        lineEnd = size;
        crLineEnd = c == '\r' ? size : None;
      }
      continue;
    }
    // A quote is stored too but not counted, so the next byte overwrites it.
    if (Store) Out[size] = static_cast<char>(c);
    size += kind == Plain;
    inQuotes ^= kind == Quote;
  }
  if (size != lineEnd) put("\r\n", 2);
  return size;
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

void NormalizeCSVData(const AnsiString& FileName, TFastMemoryStream& Stream) {
  Stream.Clear();
  NormalizeCSVText(LoadFileAsAnsiText(FileName), Stream);
}

void NormalizeCSVText(const AnsiString& Text, TFastMemoryStream& Stream) {
  Stream.Clear();
  constexpr size_t MaxStreamSize = std::numeric_limits<int32_t>::max();
  size_t bound = NormalizedBound(Text);
  if (bound > MaxStreamSize) bound = JoinAndWriteLines<false>(Text, nullptr);
  if (bound > MaxStreamSize) throw EStreamError("TFastMemoryStream.Realloc: Memory Error");
  // One reservation for the whole result, written in place and then cut to its size.
  Stream.SetSize(static_cast<int64_t>(bound));
  const size_t size = JoinAndWriteLines<true>(Text, static_cast<char*>(Stream.Memory()));
  Stream.SetSize(static_cast<int64_t>(size));
  Stream.Seek(0, soFromEnd);
}
