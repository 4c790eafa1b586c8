#include "support/utf8.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/platform.h"

namespace {

bool IsContinuation(unsigned Byte) {
  return (Byte & 0xC0) == 0x80;
}

// After a lead 0xF0-0xF7 at Source[I - 1]: three continuation bytes follow, whatever value they
// spell with it.
bool HasFourByteTail(const unsigned char* Source, size_t SourceBytes, size_t I) {
  return SourceBytes - I >= 3 && IsContinuation(Source[I]) && IsContinuation(Source[I + 1]) &&
         IsContinuation(Source[I + 2]);
}

// The length of the sequence a lead byte above 127 at Source[I] starts, as DecodeUnits reads it;
// 0 when it is malformed or cut off by the end.
size_t SequenceLength(const unsigned char* Source, size_t Size, size_t I) {
  const unsigned lead = Source[I];
  if (lead >= 0xF0 && lead <= 0xF7 && HasFourByteTail(Source, Size, I + 1)) return 4;
  if (lead & 0x20)
    return Size - I >= 3 && IsContinuation(Source[I + 1]) && IsContinuation(Source[I + 2]) ? 3 : 0;
  return Size - I >= 2 && IsContinuation(Source[I + 1]) ? 2 : 0;
}

// The unit of a sequence of Length bytes at Source, as DecodeUnits makes it.
char16_t UnitOf(const unsigned char* Source, size_t Length) {
  if (Length == 4) return u'?';
  if (Length == 3)
    return static_cast<char16_t>((Source[0] & 0x0F) << 12 | (Source[1] & 0x3F) << 6 |
                                 (Source[2] & 0x3F));
  return static_cast<char16_t>((Source[0] & 0x1F) << 6 | (Source[1] & 0x3F));
}

bool EightAscii(const unsigned char* Source) {
  uint64_t eight;
  std::memcpy(&eight, Source, 8);
  return (eight & 0x8080808080808080ull) == 0;
}

// Decodes units from Source[I] on until N reaches Capacity or the source ends, storing them from
// Dest[N] on when there is a Dest. False on a malformed sequence.
bool DecodeUnits(const unsigned char* Source, size_t SourceBytes, size_t& I, char16_t* Dest,
                 size_t Capacity, size_t& N) {
  size_t i = I;
  size_t n = N;
  while (i < SourceBytes && n < Capacity) {
    // Most text is ASCII: eight bytes without a high bit are eight units.
    if (Dest && SourceBytes - i >= 8 && Capacity - n >= 8 && EightAscii(Source + i)) {
      for (int k = 0; k < 8; ++k)
        Dest[n + k] = Source[i + k];
      i += 8;
      n += 8;
      continue;
    }
    char16_t unit = Source[i];
    if (unit < 0x80) {
      ++i;
    } else {
      const size_t length = SequenceLength(Source, SourceBytes, i);
      if (length == 0) return false;
      unit = UnitOf(Source + i, length);
      i += length;
    }
    if (Dest) Dest[n] = unit;
    ++n;
  }
  I = i;
  N = n;
  return true;
}

bool IsHighSurrogate(char16_t Unit) {
  return Unit >= 0xD800 && Unit <= 0xDBFF;
}

// The units of S decoded into Buffer of Length(S) + 1 units, or Utf8ToWideCharsFailed. One byte
// never gives more than one unit, so the capacity is never what ends the decoding.
size_t DecodeInto(char16_t* Buffer, const AnsiString& S) {
  const size_t result = Utf8ToWideChars(Buffer, S.size() + 1, S.data(), S.size());
  return result == Utf8ToWideCharsFailed || result == 0 ? Utf8ToWideCharsFailed : result - 1;
}

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
  size_t checked = 0;
  bool ascii = true;
  if (S.empty() || !CheckUtf8(S.data(), S.size(), checked, S.size(), ascii)) return AnsiString();
  AnsiString result(S.size(), '\0');
  size_t used = 0;
  result.resize(Utf8ToAnsiPiece(S.data(), S.size(), true, &result[0], used));
  return result;
}

bool Utf8ToAnsiInPlace(char* Text, size_t Size, size_t& NewSize) {
  size_t checked = 0;
  bool ascii = true;
  if (!CheckUtf8(Text, Size, checked, Size, ascii)) return false;
  // No character's ANSI bytes are more than its UTF-8 bytes: each is written over bytes read.
  size_t used = 0;
  NewSize = Utf8ToAnsiPiece(Text, Size, true, Text, used);
  return true;
}

bool CheckUtf8(const char* Text, size_t Size, size_t& Position, size_t Stop, bool& Ascii) {
  const auto* source = reinterpret_cast<const unsigned char*>(Text);
  size_t i = Position;
  Stop = std::min(Stop, Size);
  while (i < Stop) {
    if (Stop - i >= 8 && EightAscii(source + i)) {
      i += 8;
      continue;
    }
    if (source[i] < 0x80) {
      ++i;
      continue;
    }
    Ascii = false;
    const size_t length = SequenceLength(source, Size, i);
    if (length == 0) {
      Position = i;
      return false;
    }
    i += length;
  }
  Position = i;
  return true;
}

namespace {

// Per UTF-16 unit its ANSI bytes, the second one in bits 8 to 15 and bit 16 set for two; 0 while
// the unit was not met. The code page stays what it is while the program runs, so the table is the
// process's, and threads that fill the same entry at once write the same value.
std::atomic<uint32_t> AnsiBytesOf[0x10000];

uint32_t AnsiBytes(char16_t Unit) {
  uint32_t bytes = AnsiBytesOf[Unit].load(std::memory_order_relaxed);
  if (bytes == 0) {
    const AnsiString ansi = platform::WideToAnsi(&Unit, 1);
    bytes = ansi.empty() ? uint32_t('?') : static_cast<unsigned char>(ansi[0]);
    if (ansi.size() > 1) bytes |= uint32_t(static_cast<unsigned char>(ansi[1])) << 8 | 1u << 16;
    AnsiBytesOf[Unit].store(bytes, std::memory_order_relaxed);
  }
  return bytes;
}

} // namespace

size_t Utf8ToAnsiPiece(const char* In, size_t Size, bool Last, char* Out, size_t& Used) {
  const auto* source = reinterpret_cast<const unsigned char*>(In);
  size_t i = 0, n = 0;
  while (i < Size) {
    if (Size - i >= 8 && EightAscii(source + i)) {
      std::memmove(Out + n, In + i, 8);
      i += 8;
      n += 8;
      continue;
    }
    if (source[i] < 0x80) {
      Out[n++] = In[i++];
      continue;
    }
    // A lead whose sequence might go on after this piece waits for the next one.
    if (!Last && Size - i < 4) break;
    const size_t length = SequenceLength(source, Size, i);
    if (length == 0) break; // not for text that CheckUtf8 accepts
    const char16_t unit = UnitOf(source + i, length);
    i += length;
    // A pair of surrogates is converted as one character, as Utf8TextToAnsi converts it.
    if (IsHighSurrogate(unit) && !Last && Size - i < 4) {
      i -= length;
      break;
    }
    if (IsHighSurrogate(unit) && i < Size && source[i] >= 0x80) {
      const size_t next = SequenceLength(source, Size, i);
      const char16_t low = next ? UnitOf(source + i, next) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        const char16_t pair[2] = {unit, low};
        const AnsiString ansi = platform::WideToAnsi(pair, 2);
        std::memcpy(Out + n, ansi.data(), ansi.size());
        n += ansi.size();
        i += next;
        continue;
      }
    }
    const uint32_t bytes = AnsiBytes(unit);
    Out[n++] = static_cast<char>(bytes & 0xFF);
    if (bytes >> 16) Out[n++] = static_cast<char>(bytes >> 8 & 0xFF);
  }
  Used = i;
  return n;
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
