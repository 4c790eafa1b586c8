#pragma once
// Routines on counted byte strings in the ANSI code page, and two small containers the import
// keeps its pieces and column indexes in.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "framework/system.h"

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

constexpr size_t Utf8ToWideCharsFailed = static_cast<size_t>(-1);

// Decodes UTF-8 leniently: a lead byte is judged by its bits 7 and 5 only, so overlong forms
// pass. A lead 0xF0-0xF7 with three continuation bytes is one "?" unit; with fewer it reads as a
// three-byte lead like any other byte with bit 5 set. With Dest, at most
// MaxDestChars - 1 units and a terminating 0 unit are written and the result is the number of
// units written plus one; a MaxDestChars of 0 writes nothing and gives 0. Without Dest the units
// are only counted (plus one). A null Source gives 0, malformed input Utf8ToWideCharsFailed.
size_t Utf8ToWideChars(char16_t* Dest, size_t MaxDestChars, const char* Source,
                       size_t SourceBytes);

// Empty when S is empty or malformed anywhere.
WideString DecodeUTF8(const AnsiString& S);
// DecodeUTF8 converted to the ANSI code page; empty when the decoding is empty.
AnsiString Utf8TextToAnsi(std::string_view S);

// The text in UTF-8, for terminals and files outside the program.
AnsiString AnsiToUtf8(const AnsiString& S);

// Value in the format "0,": no decimals, the user's thousands separator between groups of
// three digits (1234 is "1.234" under German settings).
AnsiString FormatCount(int64_t Value);

// An ordered list of 32-bit integers.
class TIntegerList {
public:
  // The index of the new item.
  int Add(int32_t Value);
  // The index of the first item equal to Value, or -1.
  int IndexOf(int32_t Value) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  // Index from 0; out of range raises EListError.
  int32_t operator[](int Index) const;

private:
  std::vector<int32_t> FItems;
};
