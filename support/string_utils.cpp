#include "support/string_utils.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

#include "base/exceptions.h"
#include "platform/cp1252.h"

namespace {
// The pairs are those Windows applies to code page 1252, whatever the user's code page.
TLatinCaseTables MakeLatinCaseTables() {
  TLatinCaseTables tables;
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<unsigned char>(byte);
    const unsigned char upper = platform::cp1252::ToUpper(b);
    tables.Upper[byte] = upper;
    tables.Other[byte] = upper != b ? upper : platform::cp1252::ToLower(b);
  }
  return tables;
}
} // namespace

const TLatinCaseTables LatinCaseTables = MakeLatinCaseTables();

namespace {

constexpr size_t NotFound = std::string_view::npos;

bool HasCasePartner(unsigned char Byte) {
  return LatinCaseTables.Other[Byte] != Byte;
}

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
      while (k < length && upper[text[at + k]] == folded[k])
        ++k;
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

bool IsDigits(std::string_view S) {
  if (S.empty()) return false;
  for (const char c : S)
    if (c < '0' || c > '9') return false;
  return true;
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
