#include "formats/text_loading.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "support/block_pool.h"
#include "support/mapped_file_stream.h"
#include "support/side_task.h"
#include "support/string_utils.h"
#include "support/utf8.h"

const char UTF8BOM[3] = {'\xEF', '\xBB', '\xBF'};

namespace {

bool StartsWithBOM(std::string_view Text) {
  return Text.size() >= 3 && std::memcmp(Text.data(), UTF8BOM, 3) == 0;
}

size_t CountZerosIn(std::string_view Text) {
  size_t zeros = 0;
  const char* p = Text.data();
  const char* const end = p + Text.size();
  while (p < end && (p = static_cast<const char*>(std::memchr(p, 0, size_t(end - p))))) {
    ++zeros;
    ++p;
  }
  return zeros;
}

// Every file passes here, read for the first time: a large one is read by two threads, which
// also share the work of mapping its pages in.
size_t CountZeros(std::string_view Text) {
  constexpr size_t Shared = size_t(1) << 20;
  if (Text.size() < Shared) return CountZerosIn(Text);
  const size_t half = Text.size() / 2;
  size_t later = 0;
  TSideTask countLater([&] { later = CountZerosIn(Text.substr(half)); });
  const size_t zeros = CountZerosIn(Text.substr(0, half));
  countLater.Wait();
  return zeros + later;
}

} // namespace

bool HasUTF8BOM(TStream& Stream) {
  bool seen = false;
  if (Stream.GetSize() >= 10) {
    Stream.SetPosition(0);
    char head[5];
    seen = Stream.Read(head, 5) == 5 && std::memcmp(head, UTF8BOM, 3) == 0;
  }
  Stream.SetPosition(0);
  return seen;
}

AnsiString StripUTF8BOM(const AnsiString& Text) {
  return StartsWithBOM(Text) ? Text.substr(3) : Text;
}

AnsiString RemoveNulChars(std::string_view Text) {
  AnsiString result;
  result.reserve(Text.size());
  for (size_t from = 0; from < Text.size();) {
    const size_t zero = std::min(Text.find('\0', from), Text.size());
    result.append(Text, from, zero - from);
    from = zero + 1;
  }
  return result;
}

bool IsVCardText(std::string_view Text) {
  // Asked of every import, so only the start is looked at; a byte 0 there is no blank and no
  // letter of the first line, and a byte 0 right after it ends the text.
  static constexpr std::string_view Begin = "BEGIN:VCARD";
  const size_t first = Text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || Text.size() - first < Begin.size()) return false;
  for (size_t i = 0; i < Begin.size(); ++i) {
    const char c = Text[first + i];
    if ((c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) != Begin[i]) return false;
  }
  const size_t after = first + Begin.size();
  return after == Text.size() || Text[after] == '\r' || Text[after] == '\n' || Text[after] == 0;
}

namespace {

bool IsBreak(char C) {
  return C == '\r' || C == '\n';
}
bool IsFoldBlank(char C) {
  return C == ' ' || C == '\t';
}

} // namespace

namespace {

// Writes Text without its folds to Out, which has room for Text.size() bytes; the bytes written.
size_t UnfoldInto(std::string_view Text, char* Out) {
  // A blank or TAB right after a line break takes the break with it. Seen from the result, so
  // that no fold is left even where removing one puts a blank behind an earlier, empty line.
  // Only a run of breaks, blanks and TABs that starts with a break can take anything back, and
  // never more than its own breaks: the byte before it is none. So the text between such runs
  // is copied as it is, and each run is worked through on its own.
  const char* p = Text.data();
  const char* const end = p + Text.size();
  size_t size = 0;
  while (p != end) {
    const char* stop = p;
    while (stop != end && !IsBreak(*stop))
      ++stop;
    std::memcpy(Out + size, p, static_cast<size_t>(stop - p));
    size += static_cast<size_t>(stop - p);
    p = stop;
    const size_t runStart = size;
    for (; p != end && (IsBreak(*p) || IsFoldBlank(*p)); ++p) {
      if (IsFoldBlank(*p) && size > runStart && IsBreak(Out[size - 1]))
        size -= size >= runStart + 2 && Out[size - 1] == '\n' && Out[size - 2] == '\r' ? 2 : 1;
      else
        Out[size++] = *p;
    }
  }
  return size;
}

} // namespace

AnsiString UnfoldLines(std::string_view Text) {
  AnsiString result(Text.size(), '\0');
  result.resize(Text.empty() ? 0 : UnfoldInto(Text, &result[0]));
  return result;
}

AnsiString Utf16ToAnsi(std::string_view Bytes, bool BigEndian) {
  // Converted piece by piece, so that no UTF-16 copy of a whole large file is held. Surrogates
  // become "?" here rather than in the platform's conversion, which differs between platforms.
  constexpr size_t PieceUnits = 1 << 16;
  const auto* bytes = reinterpret_cast<const unsigned char*>(Bytes.data());
  const size_t count = Bytes.size() / 2;
  auto unitAt = [&](size_t i) -> char16_t {
    const unsigned first = bytes[2 * i], second = bytes[2 * i + 1];
    return static_cast<char16_t>(BigEndian ? first << 8 | second : second << 8 | first);
  };
  auto isHigh = [](char16_t u) { return u >= 0xD800 && u <= 0xDBFF; };
  auto isLow = [](char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
  std::unique_ptr<char16_t[]> piece(new char16_t[std::min(count, PieceUnits) + 1]);
  AnsiString result;
  result.reserve(count);
  size_t held = 0;
  for (size_t i = 0; i < count; ++i) {
    char16_t unit = unitAt(i);
    if (unit == 0) continue;
    if (isHigh(unit) || isLow(unit)) {
      if (isHigh(unit) && i + 1 < count && isLow(unitAt(i + 1))) ++i;
      unit = u'?';
    }
    piece[held++] = unit;
    if (held == PieceUnits) {
      result += platform::WideToAnsi(piece.get(), held);
      held = 0;
    }
  }
  result += platform::WideToAnsi(piece.get(), held);
  return result;
}

namespace {

AnsiString UnfoldedIfVCard(AnsiString Text) {
  return IsVCardText(Text) ? UnfoldLines(Text) : std::move(Text);
}

// The leading UTF-16 units of Bytes as bytes, enough of them to tell whether they begin like a
// vCard: up to the first unit 0, or a unit beyond ASCII, which becomes "?".
AnsiString AsciiUnitsAtStart(std::string_view Bytes, bool BigEndian) {
  static const size_t Enough = std::strlen("BEGIN:VCARD") + 1;
  AnsiString units;
  size_t letters = 0;
  for (size_t i = 0; i + 1 < Bytes.size() && letters < Enough; i += 2) {
    const auto first = static_cast<unsigned char>(Bytes[i]);
    const auto second = static_cast<unsigned char>(Bytes[i + 1]);
    const unsigned unit = BigEndian ? first << 8 | second : second << 8 | first;
    if (unit == 0) break;
    units += unit < 0x80 ? static_cast<char>(unit) : '?';
    if (unit >= 0x80) break;
    if (letters > 0 || !std::strchr(" \t\r\n", static_cast<int>(unit))) ++letters;
  }
  return units;
}
} // namespace

namespace {

// The loaded text of a file holding Bytes, when it is not Bytes themselves: false means the
// bytes are used as they are, and Text is left alone. With ZerosCounted false the zero bytes of a
// text that is neither UTF-8 nor a vCard are not counted: its bytes are used as they are, which
// is right as long as they hold no byte 0, and ZerosCounted tells the caller so.
// Where DecodeFileBytes may put a vCard's text, the file's largest kind of text: a buffer of
// Pool, whose first Size bytes it is then, instead of an AnsiString; and the mapping of the file,
// whose pages may go as they are done.
struct TBufferedText {
  TMappedFileStream* Source = nullptr;
  TBlockPool* Pool = nullptr;
  TTextBuffer Buffer;
  size_t Size = 0;
  bool Used = false;
};

// A vCard text in UTF-8 or 8-bit, Text, unfolded and decoded into Out.Buffer; false where its
// bytes are no UTF-8. Zeros and UnfoldedSize: the zero bytes and the size of the unfolded text.
bool UnfoldAndDecodeVCard(std::string_view Text, TBufferedText& Out, size_t& Zeros,
                          size_t& UnfoldedSize);

bool DecodeFileBytes(std::string_view Bytes, AnsiString& Text, bool& ZerosCounted,
                     TBufferedText* Buffered = nullptr) {
  if (Bytes.size() >= 2) {
    const auto first = static_cast<unsigned char>(Bytes[0]);
    const auto second = static_cast<unsigned char>(Bytes[1]);
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
      Text = UnfoldedIfVCard(Utf16ToAnsi(Bytes.substr(2), first == 0xFE));
      return true;
    }
  }
  // A vCard in UTF-16 without a mark is read as if it had one; the zero bytes below would tell
  // UTF-16 only when every character lies below 256.
  for (const bool bigEndian : {false, true}) {
    if (IsVCardText(AsciiUnitsAtStart(Bytes, bigEndian))) {
      Text = UnfoldLines(Utf16ToAnsi(Bytes, bigEndian));
      return true;
    }
  }
  const bool bomSeen = Bytes.size() >= 10 && StartsWithBOM(Bytes);
  std::string_view text = bomSeen ? Bytes.substr(3) : Bytes;
  // A writer may fold a vCard line inside a UTF-8 character, so the folds go before decoding.
  AnsiString unfolded;
  const bool vcard = IsVCardText(text);
  if (vcard) {
    // Unfolded and decoded in one go; the count of zero bytes is made on the way, and decides
    // first.
    TBufferedText own;
    TBufferedText& out = Buffered ? *Buffered : own;
    size_t zeros = 0, unfoldedSize = 0;
    const bool decoded = UnfoldAndDecodeVCard(text, out, zeros, unfoldedSize);
    if (decoded && zeros != unfoldedSize / 2) {
      if (Buffered) {
        out.Used = true;
      } else {
        Text.assign(out.Buffer.Data(), out.Size);
      }
      return true;
    }
    out.Buffer.Release();
    // Rare: UTF-16 by its zero bytes, or no UTF-8. The way without shortcuts.
    unfolded = UnfoldLines(text);
    text = unfolded;
  }

  // UTF-16 of characters below 256 has a zero byte in every unit; an empty text lands here too.
  const auto narrowed = [&] {
    AnsiString narrow = RemoveNulChars(text);
    AnsiString ansi = Utf8TextToAnsi(narrow);
    Text = UnfoldedIfVCard(ansi.empty() ? std::move(narrow) : std::move(ansi));
    return true;
  };
  const bool countNow = ZerosCounted || vcard;
  if (countNow && CountZeros(text) == text.size() / 2) return narrowed();
  AnsiString ansi = Utf8TextToAnsi(text);
  if (!ansi.empty()) {
    // Valid UTF-8 may still be UTF-16 by its zero bytes.
    if (!countNow && CountZeros(text) == text.size() / 2) return narrowed();
    ZerosCounted = true;
    Text = std::move(ansi);
    return true;
  }
  // Not UTF-8: the bytes as they are, a mark included.
  ZerosCounted = countNow;
  if (!vcard) return false;
  Text = (bomSeen ? AnsiString(UTF8BOM, 3) : AnsiString()) + unfolded;
  return true;
}

// Where a text may be cut so that its two sides unfold and decode on their own: before an ASCII
// byte that is no line break, blank or TAB, at From or after it; the end when there is none.
size_t FoldFreeCut(std::string_view Text, size_t From) {
  size_t at = From;
  while (at < Text.size() && (static_cast<unsigned char>(Text[at]) >= 0x80 || IsBreak(Text[at]) ||
                              IsFoldBlank(Text[at])))
    ++at;
  return std::min(at, Text.size());
}

// Unfolds Text into Out piece by piece, so that a mapping's pages can go as they are done; the
// bytes written.
size_t UnfoldInPieces(std::string_view Text, size_t Offset, TMappedFileStream* Source, char* Out) {
  constexpr size_t PieceSize = size_t(4) << 20;
  size_t size = 0;
  for (size_t done = 0; done < Text.size();) {
    const size_t cut = FoldFreeCut(Text, std::min(Text.size(), done + PieceSize));
    size += UnfoldInto(Text.substr(done, cut - done), Out + size);
    if (Source)
      Source->DropPages(static_cast<int64_t>(Offset + done), static_cast<int64_t>(cut - done));
    done = cut;
  }
  return size;
}

bool UnfoldAndDecodeVCard(std::string_view Text, TBufferedText& Out, size_t& Zeros,
                          size_t& UnfoldedSize) {
  // The mapping's offset of Text, which may follow a byte-order mark.
  TMappedFileStream* const source = Out.Source;
  const size_t offset = source ? static_cast<size_t>(Text.data() - source->Memory()) : 0;
  Out.Buffer = TTextBuffer(std::max<size_t>(Text.size(), 1), Out.Pool);
  char* const buffer = Out.Buffer.Data();
  // A part of the text, unfolded to At in the buffer, where it starts in the text; a part's
  // result is never longer than the part, so it stays inside the part's own room.
  struct TPart {
    size_t Zeros = 0, Unfolded = 0, Size = 0;
    bool Decoded = false;
  };
  const auto part = [&](size_t At, size_t End, TPart& Part) {
    Part.Unfolded = UnfoldInPieces(Text.substr(At, End - At), offset + At, source, buffer + At);
    Part.Zeros = CountZerosIn(std::string_view(buffer + At, Part.Unfolded));
    Part.Decoded = Part.Unfolded > 0 && Utf8ToAnsiInPlace(buffer + At, Part.Unfolded, Part.Size);
  };
  constexpr size_t Shared = size_t(1) << 20;
  const size_t cut = Text.size() < Shared ? Text.size() : FoldFreeCut(Text, Text.size() / 2);
  TPart first, later;
  if (cut == Text.size()) {
    part(0, Text.size(), first);
  } else {
    // Two threads, each a half; the cut is before an ASCII byte outside any fold, where neither
    // a fold nor a UTF-8 sequence can cross it.
    TSideTask second([&] { part(cut, Text.size(), later); });
    part(0, cut, first);
    second.Wait();
    if (later.Decoded) std::memmove(buffer + first.Size, buffer + cut, later.Size);
  }
  Zeros = first.Zeros + later.Zeros;
  UnfoldedSize = first.Unfolded + later.Unfolded;
  Out.Size = first.Size + later.Size;
  return first.Decoded && (cut == Text.size() || later.Decoded);
}

} // namespace

AnsiString LoadBytesAsAnsiText(std::string_view Bytes) {
  AnsiString text;
  bool zerosCounted = true;
  return DecodeFileBytes(Bytes, text, zerosCounted) ? text : AnsiString(Bytes);
}

TTextBuffer::TTextBuffer(size_t Capacity, TBlockPool* Pool)
    : FData(Pool ? static_cast<char*>(Pool->Take(Capacity)) : new char[Capacity]),
      FCapacity(Capacity), FPool(Pool) {}

TTextBuffer& TTextBuffer::operator=(TTextBuffer&& Other) noexcept {
  if (this == &Other) return *this;
  Release();
  FData = Other.FData;
  FCapacity = Other.FCapacity;
  FPool = Other.FPool;
  Other.FData = nullptr;
  Other.FCapacity = 0;
  return *this;
}

void TTextBuffer::Release() {
  if (FPool)
    FPool->Give(FData, FCapacity);
  else
    delete[] FData;
  FData = nullptr;
  FCapacity = 0;
}

TLoadedText::TLoadedText(TTextBuffer Buffer, size_t Size)
    : FBuffer(std::move(Buffer)), FView(FBuffer.Data(), Size), FVCard(IsVCardText(FView)) {}

TLoadedText::TLoadedText(AnsiString Text)
    : FText(std::move(Text)), FView(FText), FVCard(IsVCardText(FView)) {}

TLoadedText::TLoadedText(std::unique_ptr<TMappedFileStream> File)
    : FFile(std::move(File)), FView(FFile->Memory(), static_cast<size_t>(FFile->GetSize())),
      FVCard(IsVCardText(FView)) {}

TLoadedText::TLoadedText(TLoadedText&& Other) noexcept {
  *this = std::move(Other);
}

TLoadedText& TLoadedText::operator=(TLoadedText&& Other) noexcept {
  if (this == &Other) return *this;
  // A short string's bytes move with it, so the view is made anew for text in a string.
  const bool inString = !Other.FFile && !Other.FBuffer.Data();
  FText = std::move(Other.FText);
  FBuffer = std::move(Other.FBuffer);
  FFile = std::move(Other.FFile);
  FView = inString ? std::string_view(FText) : Other.FView;
  FDone = Other.FDone;
  FVCard = Other.FVCard;
  FZerosCounted = Other.FZerosCounted;
  Other.FText.clear();
  Other.FView = {};
  Other.FDone = 0;
  Other.FVCard = false;
  Other.FZerosCounted = true;
  return *this;
}

TLoadedText::~TLoadedText() = default;

void TLoadedText::DoneUpTo(size_t Bytes) {
  if (!FFile || Bytes <= FDone) return;
  FFile->DropPages(static_cast<int64_t>(FDone), static_cast<int64_t>(Bytes - FDone));
  FDone = Bytes;
}

void TLoadedText::Drop(size_t From, size_t To) const {
  if (FFile && To > From)
    FFile->DropPages(static_cast<int64_t>(From), static_cast<int64_t>(To - From));
}

bool TLoadedText::CountZeros() {
  if (FZerosCounted) return false;
  FZerosCounted = true;
  AnsiString text;
  bool zerosCounted = true;
  if (!DecodeFileBytes(FView, text, zerosCounted) || text == FView) return false;
  *this = TLoadedText(std::move(text));
  return true;
}

TLoadedText LoadText(const PathString& FileName, TZeroCount Zeros, TBlockPool* Pool) {
  auto stream = std::make_unique<TMappedFileStream>(FileName);
  // The file's bytes are read where they are mapped; a decoded text is a new one, and the
  // mapping then goes as soon as it is made.
  AnsiString text;
  bool zerosCounted = Zeros == TZeroCount::Now;
  TBufferedText buffered;
  buffered.Source = stream.get();
  buffered.Pool = Pool;
  // About what an import of the file takes: its text, and about as much again for the rest.
  if (Pool) Pool->Expect(2 * static_cast<size_t>(stream->GetSize()) + (size_t(64) << 20));
  if (DecodeFileBytes(std::string_view(stream->Memory(), static_cast<size_t>(stream->GetSize())),
                      text, zerosCounted, &buffered)) {
    if (buffered.Used) return TLoadedText(std::move(buffered.Buffer), buffered.Size);
    return TLoadedText(std::move(text));
  }
  TLoadedText loaded(std::move(stream));
  loaded.FZerosCounted = zerosCounted;
  return loaded;
}

AnsiString LoadFileAsAnsiText(const PathString& FileName) {
  return AnsiString(LoadText(FileName).View());
}
