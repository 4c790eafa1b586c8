#include "support/string_utils.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

#include "framework/exceptions.h"
#include "platform/platform.h"

// Windows-1252 letter pairs: 0x41-0x5A, 0xC0-0xD6 and 0xD8-0xDE with the bytes 0x20 above them,
// 0x8A, 0x8C and 0x8E with those 0x10 above, 0x9F with 0xFF. Micro sign (0xB5), sharp s (0xDF)
// and the signs 0xD7 and 0xF7 have no partner.
const TLatinCaseTables LatinCaseTables = {
    {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x8A, 0x9B, 0x8C, 0x9D, 0x8E, 0x9F,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xF7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0x9F,
    },
    {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x9A, 0x8B, 0x9C, 0x8D, 0x9E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x8A, 0x9B, 0x8C, 0x9D, 0x8E, 0xFF,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xD7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xDF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xF7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0x9F,
    },
};

namespace {

constexpr size_t NotFound = std::string_view::npos;

AnsiString ListIndexMessage(int Index) {
  return Format("Listenindex \xFC" "berschreitet das Maximum (%d)", Index);
}

bool HasCasePartner(unsigned char Byte) { return LatinCaseTables.Other[Byte] != Byte; }

// The old pattern of a replace, ready for searching. Comparing upper-case bytes is the same test
// as "equal, or partners by the other-case table": both letters of a pair share one upper byte and
// no other byte maps there. Patterns without any paired letter (the separators the import
// removes) are searched for byte for byte.
class TCaselessPattern {
public:
  explicit TCaselessPattern(const AnsiString& Pattern) : FPattern(Pattern), FFolded(Pattern) {
    for (char& c : FFolded) {
      const auto byte = static_cast<unsigned char>(c);
      FExact = FExact && !HasCasePartner(byte);
      c = static_cast<char>(LatinCaseTables.Upper[byte]);
    }
    FFirstExact = !HasCasePartner(static_cast<unsigned char>(Pattern[0]));
  }

  size_t Length() const { return FPattern.size(); }

  // The start of the first occurrence lying wholly in Text at or after From, or NotFound.
  size_t Find(std::string_view Text, size_t From) const {
    if (FExact) return Text.find(FPattern, From);
    const size_t length = FPattern.size();
    if (Text.size() < length) return NotFound;
    const auto* text = reinterpret_cast<const unsigned char*>(Text.data());
    const auto* folded = reinterpret_cast<const unsigned char*>(FFolded.data());
    const unsigned char* upper = LatinCaseTables.Upper;
    const size_t last = Text.size() - length;
    for (size_t at = From; at <= last; ++at) {
      if (FFirstExact) {
        const void* hit = std::memchr(text + at, folded[0], last - at + 1);
        if (!hit) return NotFound;
        at = static_cast<size_t>(static_cast<const unsigned char*>(hit) - text);
      } else if (upper[text[at]] != folded[0]) {
        continue;
      }
      size_t k = 1;
      while (k < length && upper[text[at + k]] == folded[k]) ++k;
      if (k == length) return at;
    }
    return NotFound;
  }

private:
  std::string_view FPattern;
  AnsiString FFolded;
  bool FExact = true;
  bool FFirstExact;
};

// Room for the result if every possible position matched, so that it is allocated once.
size_t ReplaceCapacity(size_t TextLength, size_t OldLength, size_t NewLength) {
  if (OldLength > NewLength) return TextLength;
  const size_t count = TextLength / OldLength;
  const size_t rest = TextLength % OldLength;
  // Wrapping around would reserve too little; this much cannot be had anyway.
  if (count > (std::numeric_limits<size_t>::max() - rest) / NewLength) throw std::bad_alloc();
  return NewLength * count + rest;
}

// The units of S decoded into Buffer of Length(S) + 1 units, or Utf8ToWideCharsFailed. One byte
// never gives more than one unit, so the capacity is never what ends the decoding.
size_t DecodeInto(char16_t* Buffer, const AnsiString& S) {
  const size_t result = Utf8ToWideChars(Buffer, S.size() + 1, S.data(), S.size());
  return result == Utf8ToWideCharsFailed || result == 0 ? Utf8ToWideCharsFailed : result - 1;
}

} // namespace

AnsiString TruncateString(const AnsiString& S, int MaxLength) {
  if (MaxLength >= 0 && S.size() <= static_cast<size_t>(MaxLength)) return S;
  const size_t keep = MaxLength > 2 ? static_cast<size_t>(MaxLength - 2) : 0;
  AnsiString result;
  result.reserve(keep + 2);
  result.append(S, 0, keep).append("..");
  return result;
}

TStringArray SplitString(const AnsiString& Separator, const AnsiString& Text, int MaxCount,
                         int FixedLength) {
  TStringArray pieces;
  if (Text.empty() || MaxCount < 0) return pieces;
  if (Separator.empty()) {
    pieces.push_back(Text);
    return pieces;
  }
  // The walk ends at the first byte 0. A byte search is enough: the ANSI code page is
  // single-byte, so every byte is a character boundary.
  const std::string_view text(Text.c_str());
  const std::string_view separator(Separator);
  const size_t lastPiece = MaxCount > 0 ? static_cast<size_t>(MaxCount) : 0;
  size_t start = 0;
  while (start < text.size()) {
    const bool isLast = pieces.size() + 1 == lastPiece;
    const size_t stop = isLast ? NotFound : text.find(separator, start);
    if (stop == NotFound) {
      pieces.emplace_back(text.substr(start));
      break;
    }
    pieces.emplace_back(text.substr(start, stop - start));
    start = stop + separator.size();
  }
  if (FixedLength != 0) pieces.resize(FixedLength > 0 ? static_cast<size_t>(FixedLength) : 0);
  return pieces;
}

AnsiString ReplaceTextAll(const AnsiString& S, const AnsiString& OldPattern,
                          const AnsiString& NewPattern) {
  if (OldPattern.empty() || OldPattern.size() > S.size()) return S;
  const TCaselessPattern pattern(OldPattern);
  const std::string_view text(S);
  size_t hit = pattern.Find(text, 0);
  if (hit == NotFound) return S;
  AnsiString result;
  result.reserve(ReplaceCapacity(S.size(), OldPattern.size(), NewPattern.size()));
  size_t done = 0;
  do {
    result.append(S, done, hit - done).append(NewPattern);
    done = hit + pattern.Length();
    hit = pattern.Find(text, done);
  } while (hit != NotFound);
  result.append(S, done, NotFound);
  return result;
}

void ReplaceTextInPlace(AnsiString& S, const AnsiString& OldPattern, const AnsiString& NewPattern) {
  if (OldPattern.empty() || OldPattern.size() > S.size()) return;
  if (NewPattern.size() > OldPattern.size() || &OldPattern == &S || &NewPattern == &S) {
    S = ReplaceTextAll(S, OldPattern, NewPattern);
    return;
  }
  // The text cannot grow, so it is rewritten where it stands: the write position never passes
  // the read position, and the search reads only bytes not yet overwritten.
  const TCaselessPattern pattern(OldPattern);
  size_t hit = pattern.Find(S, 0);
  if (hit == NotFound) return;
  char* data = &S[0];
  size_t write = hit;
  do {
    std::memcpy(data + write, NewPattern.data(), NewPattern.size());
    write += NewPattern.size();
    const size_t read = hit + pattern.Length();
    hit = pattern.Find(S, read);
    const size_t keep = (hit == NotFound ? S.size() : hit) - read;
    std::memmove(data + write, data + read, keep);
    write += keep;
  } while (hit != NotFound);
  S.resize(write);
}

AnsiString CollapseSpaces(const AnsiString& S) {
  const size_t first = S.find("  ");
  if (first == NotFound) return S;
  AnsiString result(S);
  char* data = &result[0];
  size_t write = first + 1;
  for (size_t read = first + 1; read < result.size(); ++read) {
    if (data[read] == ' ' && data[write - 1] == ' ') continue;
    data[write++] = data[read];
  }
  result.resize(write);
  return result;
}

namespace {

bool IsContinuation(unsigned Byte) { return (Byte & 0xC0) == 0x80; }

// After a lead 0xF0-0xF7 at Source[I - 1]: three continuation bytes follow, whatever value they
// spell with it.
bool HasFourByteTail(const unsigned char* Source, size_t SourceBytes, size_t I) {
  return SourceBytes - I >= 3 && IsContinuation(Source[I]) && IsContinuation(Source[I + 1]) &&
         IsContinuation(Source[I + 2]);
}

// Decodes units from Source[I] on until N reaches Capacity or the source ends, storing them from
// Dest[N] on when there is a Dest. False on a malformed sequence.
bool DecodeUnits(const unsigned char* Source, size_t SourceBytes, size_t& I, char16_t* Dest,
                 size_t Capacity, size_t& N) {
  size_t i = I;
  size_t n = N;
  while (i < SourceBytes && n < Capacity) {
    unsigned unit = Source[i++];
    if (unit >= 0xF0 && unit <= 0xF7 && HasFourByteTail(Source, SourceBytes, i)) {
      // A character beyond U+FFFF: one unit that every ANSI code page has.
      unit = '?';
      i += 3;
    } else if (unit >= 0x80) {
      if (i >= SourceBytes) return false;
      unsigned bits = unit & 0x3F;
      if (bits & 0x20) {
        const unsigned middle = Source[i++];
        if (!IsContinuation(middle) || i >= SourceBytes) return false;
        bits = (bits << 6) | (middle & 0x3F);
      }
      const unsigned last = Source[i++];
      if (!IsContinuation(last)) return false;
      unit = (bits << 6) | (last & 0x3F);
    }
    if (Dest) Dest[n] = static_cast<char16_t>(unit);
    ++n;
  }
  I = i;
  N = n;
  return true;
}

bool IsHighSurrogate(char16_t Unit) { return Unit >= 0xD800 && Unit <= 0xDBFF; }

} // namespace

size_t Utf8ToWideChars(char16_t* Dest, size_t MaxDestChars, const char* Source,
                       size_t SourceBytes) {
  if (!Source) return 0;
  // No room even for the terminating unit, which would otherwise land in front of Dest.
  if (Dest && MaxDestChars == 0) return 0;
  const auto* source = reinterpret_cast<const unsigned char*>(Source);
  const size_t capacity = Dest ? MaxDestChars : std::numeric_limits<size_t>::max();
  size_t i = 0;
  size_t n = 0;
  if (!DecodeUnits(source, SourceBytes, i, Dest, capacity, n)) return Utf8ToWideCharsFailed;
  if (!Dest) return n + 1;
  if (n >= MaxDestChars) n = MaxDestChars - 1;
  Dest[n] = 0;
  return n + 1;
}

WideString DecodeUTF8(const AnsiString& S) {
  if (S.empty()) return WideString();
  WideString text(S.size() + 1, u'\0');
  const size_t length = DecodeInto(&text[0], S);
  if (length == Utf8ToWideCharsFailed) return WideString();
  text.resize(length);
  return text;
}

AnsiString Utf8TextToAnsi(std::string_view S) {
  // Whole files pass through here: decoded and converted piece by piece, so that no UTF-16 copy
  // of the whole text is ever held.
  constexpr size_t PieceUnits = 1 << 16;
  const auto* source = reinterpret_cast<const unsigned char*>(S.data());
  std::unique_ptr<char16_t[]> units(new char16_t[std::min(S.size(), PieceUnits) + 1]);
  AnsiString result;
  size_t i = 0;
  size_t held = 0;
  while (i < S.size()) {
    size_t n = held;
    if (!DecodeUnits(source, S.size(), i, units.get(), PieceUnits, n)) return AnsiString();
    // A surrogate pair is converted as one character, so its first half waits for the second.
    held = i < S.size() && IsHighSurrogate(units[n - 1]) ? 1 : 0;
    if (result.capacity() < S.size()) result.reserve(S.size());
    result += platform::WideToAnsi(units.get(), n - held);
    if (held) units[0] = units[n - 1];
  }
  return result;
}

AnsiString AnsiToUtf8(const AnsiString& S) {
  AnsiString out;
  out.reserve(S.size() + S.size() / 8);
  for (char16_t unit : platform::AnsiToWide(S)) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

AnsiString FormatCount(int64_t Value) {
  const AnsiString separator = platform::ThousandSeparator();
  // Unsigned, so that the most negative value has a magnitude too.
  uint64_t magnitude = Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  AnsiString digits;
  do {
    digits += static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  AnsiString result = Value < 0 ? "-" : "";
  for (size_t i = digits.size(); i-- > 0;) {
    result += digits[i];
    if (i > 0 && i % 3 == 0) result += separator;
  }
  return result;
}

int TIntegerList::Add(int32_t Value) {
  FItems.push_back(Value);
  return Count() - 1;
}

int TIntegerList::IndexOf(int32_t Value) const {
  const auto it = std::find(FItems.begin(), FItems.end(), Value);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int32_t TIntegerList::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(ListIndexMessage(Index));
  return FItems[static_cast<size_t>(Index)];
}
