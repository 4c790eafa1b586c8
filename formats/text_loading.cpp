#include "formats/text_loading.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "base/ascii.h"
#include "formats/vcard_reader.h"
#include "formats/workbook.h"
#include "platform/platform.h"
#include "support/block_pool.h"
#include "support/byte_scan.h"
#include "support/mapped_file_stream.h"
#include "support/side_task.h"
#include "support/string_utils.h"
#include "support/utf8.h"

const char UTF8BOM[3] = {'\xEF', '\xBB', '\xBF'};

namespace {

constexpr size_t NotFound = std::string_view::npos;
// A mapped file is read a piece of this size at a time, so that its pages can go back soon.
constexpr size_t PieceSize = size_t(4) << 20;

bool StartsWithBOM(std::string_view Text) {
  return Text.size() >= 3 && std::memcmp(Text.data(), UTF8BOM, 3) == 0;
}

// What one read of a text tells the loader: its zero bytes, where the first one is, and whether
// it is UTF-8, maybe of ASCII alone.
struct TTextFacts {
  size_t Zeros = 0;
  size_t FirstZero = NotFound;
  bool Utf8 = true;
  bool Ascii = true;
};

TTextFacts FactsOfRun(std::string_view Text) {
  // A chunk at a time, checked for UTF-8 while it is in the cache after its zeros are counted.
  constexpr size_t Chunk = size_t(64) << 10;
  TTextFacts facts;
  size_t checked = 0;
  for (size_t at = 0; at < Text.size(); at += Chunk) {
    const std::string_view chunk = Text.substr(at, Chunk);
    const size_t zeros = CountByte(chunk, '\0');
    if (zeros > 0 && facts.FirstZero == NotFound) facts.FirstZero = at + FindByte(chunk, '\0');
    facts.Zeros += zeros;
    if (facts.Utf8)
      facts.Utf8 = CheckUtf8(Text.data(), Text.size(), checked, at + chunk.size(), facts.Ascii);
  }
  return facts;
}

// A large text is read by two threads, cut before an ASCII byte, where no UTF-8 sequence crosses;
// the read also maps the file's pages in.
TTextFacts FactsOf(std::string_view Text) {
  size_t cut = Text.size();
  if (Text.size() >= MinSharedBytes) {
    cut = Text.size() / 2;
    while (cut < Text.size() && static_cast<unsigned char>(Text[cut]) >= 0x80)
      ++cut;
  }
  if (cut == Text.size()) return FactsOfRun(Text);
  TTextFacts later;
  TSideTask readLater([&] { later = FactsOfRun(Text.substr(cut)); });
  TTextFacts facts = FactsOfRun(Text.substr(0, cut));
  readLater.Wait();
  if (facts.FirstZero == NotFound && later.FirstZero != NotFound)
    facts.FirstZero = cut + later.FirstZero;
  facts.Zeros += later.Zeros;
  facts.Utf8 = facts.Utf8 && later.Utf8;
  facts.Ascii = facts.Ascii && later.Ascii;
  return facts;
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
    const size_t zero = FindByte(Text, '\0', from);
    result.append(Text, from, zero - from);
    from = zero + 1;
  }
  return result;
}

bool IsVCardText(std::string_view Text) {
  // Asked of every import, so only the start is looked at; a byte 0 there is no blank and no
  // letter of the first line, and a byte 0 right after it ends the text.
  return StartsWithCardBegin(SkipBlankLines(Text));
}

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
    while (stop != end && !IsLineBreak(*stop))
      ++stop;
    std::memcpy(Out + size, p, static_cast<size_t>(stop - p));
    size += static_cast<size_t>(stop - p);
    p = stop;
    const size_t runStart = size;
    for (; p != end && (IsLineBreak(*p) || IsBlankOrTab(*p)); ++p) {
      if (IsBlankOrTab(*p) && size > runStart && IsLineBreak(Out[size - 1]))
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

// Where a text may be cut so that its two sides unfold and decode on their own: before an ASCII
// byte that is no line break, blank or TAB, at From or after it; the end when there is none.
size_t FoldFreeCut(std::string_view Text, size_t From) {
  size_t at = From;
  while (at < Text.size() && (static_cast<unsigned char>(Text[at]) >= 0x80 ||
                              IsLineBreak(Text[at]) || IsBlankOrTab(Text[at])))
    ++at;
  return std::min(at, Text.size());
}

// How the loader reads a file's bytes: as they are, from Offset on (Raw); as UTF-8, from Offset
// on (Utf8); or as the text of Block, decoded from them.
struct TTextForm {
  enum { Raw, Utf8, Decoded } How = Raw;
  size_t Offset = 0;
  TTextKind Kind = TTextKind::Table;
  // For Raw and Utf8: the first byte 0 after Offset, or NotFound.
  size_t FirstZero = NotFound;
  TPoolBlock Block;
};

} // namespace

// Decides how a file's bytes become its text; a vCard in UTF-8 or 8-bit is unfolded and decoded
// on the way by two threads, giving the mapping's pages back as it goes.
class TTextLoader {
public:
  TTextLoader(std::string_view Bytes, TBlockPool& Pool, TMappedFileStream* File)
      : FBytes(Bytes), FPool(Pool), FFile(File) {}

  TTextForm Decide();
  static TLoadedText Load(std::string_view Bytes, TBlockPool& Pool,
                          std::unique_ptr<TMappedFileStream> File);

private:
  TTextForm Decoded(std::string_view Text) const {
    TTextForm form;
    form.How = TTextForm::Decoded;
    form.Kind = IsVCardText(Text) ? TTextKind::VCard : TTextKind::Table;
    form.Block = TPoolBlock(&FPool, Text.size());
    if (!Text.empty()) std::memcpy(form.Block.Data(), Text.data(), Text.size());
    return form;
  }
  // Text, a vCard in UTF-8 or 8-bit, unfolded and decoded into Block; false where its bytes are no
  // UTF-8. Zeros and UnfoldedSize: the zero bytes and the size of the unfolded text.
  bool UnfoldAndDecodeVCard(std::string_view Text, TPoolBlock& Block, size_t& Size, size_t& Zeros,
                            size_t& UnfoldedSize) const;
  size_t UnfoldInPieces(std::string_view Text, char* Out) const;
  void DropPages(std::string_view Done) const {
    if (FFile)
      FFile->DropPages(static_cast<int64_t>(Done.data() - FFile->Memory()),
                       static_cast<int64_t>(Done.size()));
  }

  std::string_view FBytes;
  TBlockPool& FPool;
  TMappedFileStream* FFile;
};

size_t TTextLoader::UnfoldInPieces(std::string_view Text, char* Out) const {
  size_t size = 0;
  for (size_t done = 0; done < Text.size();) {
    const size_t cut = FoldFreeCut(Text, std::min(Text.size(), done + PieceSize));
    size += UnfoldInto(Text.substr(done, cut - done), Out + size);
    DropPages(Text.substr(done, cut - done));
    done = cut;
  }
  return size;
}

bool TTextLoader::UnfoldAndDecodeVCard(std::string_view Text, TPoolBlock& Block, size_t& Size,
                                       size_t& Zeros, size_t& UnfoldedSize) const {
  Block = TPoolBlock(&FPool, std::max<size_t>(Text.size(), 1));
  char* const buffer = Block.Data();
  // A part of the text, unfolded to where it starts in the text; a part's result is never
  // longer than the part, so it stays inside the part's own room.
  struct TPart {
    size_t Zeros = 0, Unfolded = 0, Size = 0;
    bool Decoded = false;
  };
  const auto part = [&](size_t At, size_t End, TPart& Part) {
    Part.Unfolded = UnfoldInPieces(Text.substr(At, End - At), buffer + At);
    Part.Zeros = CountByte(std::string_view(buffer + At, Part.Unfolded), '\0');
    Part.Decoded = Part.Unfolded > 0 && Utf8ToAnsiInPlace(buffer + At, Part.Unfolded, Part.Size);
  };
  const size_t cut =
      Text.size() < MinSharedBytes ? Text.size() : FoldFreeCut(Text, Text.size() / 2);
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
  Size = first.Size + later.Size;
  return first.Decoded && (cut == Text.size() || later.Decoded);
}

TTextForm TTextLoader::Decide() {
  const std::string_view bytes = FBytes;
  // A workbook, known by its container, whatever its first cell says.
  if (SniffContainer(bytes) != TContainerKind::Other) {
    TTextForm form = Decoded(WorkbookText(bytes));
    form.Kind = TTextKind::Sheet;
    return form;
  }
  if (bytes.size() >= 2) {
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF))
      return Decoded(UnfoldedIfVCard(Utf16ToAnsi(bytes.substr(2), first == 0xFE)));
  }
  // A vCard in UTF-16 without a mark is read as if it had one; the zero bytes below would tell
  // UTF-16 only when every character lies below 256.
  for (const bool bigEndian : {false, true})
    if (IsVCardText(AsciiUnitsAtStart(bytes, bigEndian)))
      return Decoded(UnfoldLines(Utf16ToAnsi(bytes, bigEndian)));

  const bool bomSeen = bytes.size() >= 10 && StartsWithBOM(bytes);
  const size_t offset = bomSeen ? 3 : 0;
  std::string_view text = bytes.substr(offset);
  // A writer may fold a vCard line inside a UTF-8 character, so the folds go before decoding.
  AnsiString unfolded;
  const bool vcard = IsVCardText(text);
  if (vcard) {
    // Unfolded and decoded in one go; the count of zero bytes is made on the way, and decides
    // first.
    TTextForm form;
    size_t size = 0, zeros = 0, unfoldedSize = 0;
    if (UnfoldAndDecodeVCard(text, form.Block, size, zeros, unfoldedSize) &&
        zeros != unfoldedSize / 2) {
      form.How = TTextForm::Decoded;
      form.Kind = TTextKind::VCard;
      form.Block.Resize(size);
      return form;
    }
    // Rare: UTF-16 by its zero bytes, or no UTF-8. The way without shortcuts.
    unfolded = UnfoldLines(text);
    text = unfolded;
  }

  const TTextFacts facts = FactsOf(text);
  // UTF-16 of characters below 256 has a zero byte in every unit; an empty text lands here too.
  if (facts.Zeros == text.size() / 2) {
    AnsiString narrow = RemoveNulChars(text);
    AnsiString ansi = Utf8TextToAnsi(narrow);
    return Decoded(UnfoldedIfVCard(ansi.empty() ? std::move(narrow) : std::move(ansi)));
  }
  if (vcard) {
    if (facts.Utf8) return Decoded(Utf8TextToAnsi(text));
    // Not UTF-8: the bytes as they are, a mark included.
    return Decoded((bomSeen ? AnsiString(UTF8BOM, 3) : AnsiString()) + unfolded);
  }
  TTextForm form;
  // ASCII is the same text in UTF-8 and in every ANSI code page.
  form.How = facts.Utf8 && !facts.Ascii ? TTextForm::Utf8 : TTextForm::Raw;
  // Not UTF-8: the bytes as they are, a mark included (it holds no byte 0).
  form.Offset = facts.Utf8 ? offset : 0;
  if (facts.FirstZero != NotFound) form.FirstZero = facts.FirstZero + offset - form.Offset;
  return form;
}

TLoadedText TTextLoader::Load(std::string_view Bytes, TBlockPool& Pool,
                              std::unique_ptr<TMappedFileStream> File) {
  Pool.Expect(TBlockPool::SizeForImportOf(Bytes.size()));
  TTextForm form = TTextLoader(Bytes, Pool, File.get()).Decide();
  TLoadedText text;
  text.FKind = form.Kind;
  if (form.How == TTextForm::Decoded) {
    // The mapping goes as soon as the text is decoded.
    text.FBlock = std::move(form.Block);
    const std::string_view decoded(text.FBlock.Data(), text.FBlock.Size());
    text.FBytes = decoded.substr(0, FindByte(decoded, '\0'));
    return text;
  }
  text.FUtf8 = form.How == TTextForm::Utf8;
  text.FBytes = Bytes.substr(form.Offset);
  if (form.FirstZero != NotFound) text.FBytes = text.FBytes.substr(0, form.FirstZero);
  text.FFile = std::move(File);
  return text;
}

TLoadedText::TLoadedText() = default;
TLoadedText::TLoadedText(TLoadedText&& Other) noexcept = default;
TLoadedText& TLoadedText::operator=(TLoadedText&& Other) noexcept = default;
TLoadedText::~TLoadedText() = default;

bool TLoadedText::ForEachPiece(size_t From, size_t To,
                               const std::function<bool(std::string_view)>& Piece) const {
  // UTF-8 is decoded in pieces that stay in the cache between decoding and their use.
  constexpr size_t DecodedPieceSize = size_t(256) << 10;
  To = std::min(To, FBytes.size());
  const auto drop = [&](size_t Begin, size_t End) {
    if (FFile && End > Begin)
      FFile->DropPages(static_cast<int64_t>(FBytes.data() - FFile->Memory() + Begin),
                       static_cast<int64_t>(End - Begin));
  };
  if (!FUtf8) {
    for (size_t done = From; done < To;) {
      const size_t end = std::min(To, done + PieceSize);
      const bool go = Piece(FBytes.substr(done, end - done));
      drop(done, end);
      if (!go) return false;
      done = end;
    }
    return true;
  }
  std::unique_ptr<char[]> out(new char[std::min(DecodedPieceSize, To - std::min(From, To)) + 1]);
  size_t dropped = From;
  for (size_t done = From; done < To;) {
    const size_t end = std::min(To, done + DecodedPieceSize);
    size_t used = 0;
    const size_t size =
        Utf8ToAnsiPiece(FBytes.data() + done, end - done, end == To, out.get(), used);
    const std::string_view piece(out.get(), size);
    const size_t zero = FindByte(piece, '\0');
    if (!Piece(piece.substr(0, zero)) || zero < size) return false;
    done += used;
    if (done - dropped >= PieceSize || done == To) {
      drop(dropped, done);
      dropped = done;
    }
  }
  return true;
}

void TLoadedText::Release() {
  FBytes = {};
  FFile.reset();
  FBlock.Release();
}

TLoadedText LoadText(const PathString& FileName, TBlockPool& Pool) {
  auto file = std::make_unique<TMappedFileStream>(FileName);
  const std::string_view bytes(file->Memory(), static_cast<size_t>(file->GetSize()));
  return TTextLoader::Load(bytes, Pool, std::move(file));
}

TLoadedText LoadTextFromBytes(std::string_view Bytes, TBlockPool& Pool) {
  return TTextLoader::Load(Bytes, Pool, nullptr);
}

AnsiString LoadFileAsAnsiText(const PathString& FileName) {
  TMappedFileStream file(FileName);
  const std::string_view bytes(file.Memory(), static_cast<size_t>(file.GetSize()));
  TBlockPool pool;
  TTextForm form = TTextLoader(bytes, pool, nullptr).Decide();
  switch (form.How) {
  case TTextForm::Decoded:
    return AnsiString(form.Block.Data(), form.Block.Size());
  case TTextForm::Utf8:
    return Utf8TextToAnsi(bytes.substr(form.Offset));
  default:
    return AnsiString(bytes.substr(form.Offset));
  }
}
