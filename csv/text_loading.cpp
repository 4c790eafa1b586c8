#include "csv/text_loading.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/platform.h"
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

AnsiString UnfoldLines(std::string_view Text) {
  // A blank or TAB right after a line break takes the break with it. Seen from the result, so
  // that no fold is left even where removing one puts a blank behind an earlier, empty line.
  AnsiString result;
  result.reserve(Text.size());
  for (const char c : Text) {
    const bool afterBreak = !result.empty() && (result.back() == '\r' || result.back() == '\n');
    if ((c == ' ' || c == '\t') && afterBreak) {
      const size_t size = result.size();
      result.resize(size >= 2 && result[size - 1] == '\n' && result[size - 2] == '\r' ? size - 2
                                                                                      : size - 1);
    } else {
      result += c;
    }
  }
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
bool DecodeFileBytes(std::string_view Bytes, AnsiString& Text, bool& ZerosCounted) {
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

} // namespace

AnsiString LoadBytesAsAnsiText(std::string_view Bytes) {
  AnsiString text;
  bool zerosCounted = true;
  return DecodeFileBytes(Bytes, text, zerosCounted) ? text : AnsiString(Bytes);
}

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
  // A short string's bytes move with it, so the view is made anew for owned text.
  const bool owned = !Other.FFile;
  FText = std::move(Other.FText);
  FFile = std::move(Other.FFile);
  FView = owned ? std::string_view(FText) : Other.FView;
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

TLoadedText LoadText(const PathString& FileName, TZeroCount Zeros) {
  auto stream = std::make_unique<TMappedFileStream>(FileName);
  // The file's bytes are read where they are mapped; a decoded text is a new one, and the
  // mapping then goes as soon as it is made.
  AnsiString text;
  bool zerosCounted = Zeros == TZeroCount::Now;
  if (DecodeFileBytes(std::string_view(stream->Memory(), static_cast<size_t>(stream->GetSize())),
                      text, zerosCounted))
    return TLoadedText(std::move(text));
  TLoadedText loaded(std::move(stream));
  loaded.FZerosCounted = zerosCounted;
  return loaded;
}

AnsiString LoadFileAsAnsiText(const PathString& FileName) {
  return AnsiString(LoadText(FileName).View());
}
