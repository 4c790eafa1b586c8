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

  // Ends the last line; Out must have room for 2 more bytes. The normalised size.
  size_t Finish(char* Out) {
    if (FSize != FLineEnd) {
      Out[FSize++] = '\r';
      Out[FSize++] = '\n';
    }
    return FSize;
  }

  size_t Size() const { return FSize; }

private:
  static constexpr size_t None = size_t(-1);
  size_t FSize = 0;
  bool FInQuotes = false;
  size_t FLineEnd = 0;       // the size right after the last line end written
  size_t FCrLineEnd = None;  // the same for a line end written for a CR: an LF right after joins it
};

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

void NormalizeCSVData(const AnsiString& FileName, TFastMemoryStream& Stream) {
  Stream.Clear();
  TLoadedText text = LoadText(FileName);
  NormalizeCSVText(text, Stream);
}

void NormalizeCSVText(TLoadedText& Text, TFastMemoryStream& Stream) {
  Stream.Clear();
  const std::string_view text = Text.View();
  // Exports come out a little shorter than they go in; most of them need this one reservation.
  Reserve(Stream, text.size() + text.size() / 8 + 2);
  TLineJoiner joiner;
  for (size_t done = 0; done < text.size();) {
    size_t piece = std::min(PieceSize, text.size() - done);
    // Close to the stream's limit the pieces get shorter, so that only a text that cannot fit fails.
    const size_t room = MaxStreamSize - joiner.Size();
    if (TLineJoiner::MaxGrowth * piece + 2 > room)
      piece = std::max<size_t>(1, room > 2 ? (room - 2) / TLineJoiner::MaxGrowth : 0);
    char* const out = Reserve(Stream, joiner.Size() + TLineJoiner::MaxGrowth * piece + 2);
    const bool more = joiner.Write(text.data() + done, piece, out);
    done += piece;
    Text.DoneUpTo(done);
    if (!more) break;
  }
  const size_t size = joiner.Finish(Reserve(Stream, joiner.Size() + 2));
  Stream.SetSize(static_cast<int64_t>(size));
  Stream.Seek(0, soFromEnd);
}

void NormalizeCSVText(const AnsiString& Text, TFastMemoryStream& Stream) {
  TLoadedText text(Text);
  NormalizeCSVText(text, Stream);
}
