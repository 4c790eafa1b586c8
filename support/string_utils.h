#pragma once
// Routines on counted byte strings in the ANSI code page: cutting, splitting, replacing.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/system.h"

using TStringArray = std::vector<AnsiString>;

// S itself when it fits, else its first MaxLength - 2 bytes and "..". Below a maximum of 2 no
// bytes of S are kept and the result is ".." alone.
AnsiString TruncateString(const AnsiString& S, int MaxLength);

// Cuts Text at each exact occurrence of Separator. Text ends at its first byte 0. An empty Text
// or a negative MaxCount gives no pieces, an empty Separator the whole Text as one piece. With
// MaxCount > 0 the last piece holds the rest of the text. A nonzero FixedLength pads with empty
// strings or drops pieces to that many; a negative one leaves none.
TStringArray SplitString(const AnsiString& Separator, const AnsiString& Text, int MaxCount,
                         int FixedLength);

// Fixed Windows-1252 letter pairs, independent of the user's locale: Upper maps the lower letter
// of each pair to its upper one, Other maps each letter of a pair to its partner; every other
// byte maps to itself.
struct TLatinCaseTables {
  unsigned char Upper[256];
  unsigned char Other[256];
};
extern const TLatinCaseTables LatinCaseTables;

// Every leftmost, non-overlapping occurrence of OldPattern, ignoring case by LatinCaseTables,
// replaced by NewPattern as given.
AnsiString ReplaceTextAll(const AnsiString& S, const AnsiString& OldPattern,
                          const AnsiString& NewPattern);
// S = ReplaceTextAll(S, ...); an empty OldPattern leaves S alone.
void ReplaceTextInPlace(AnsiString& S, const AnsiString& OldPattern, const AnsiString& NewPattern);

// Every run of space bytes (0x20 only) becomes one space; nothing is trimmed.
AnsiString CollapseSpaces(const AnsiString& S);

// True when S is not empty and holds only the digits 0 to 9.
bool IsDigits(std::string_view S);
