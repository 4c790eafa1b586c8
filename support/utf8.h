#pragma once
// UTF-8 in both directions between the loader and the terminal: decoding as the import reads a
// file, encoding for output outside the program.
#include <cstddef>
#include <string_view>

#include "base/system.h"

constexpr size_t Utf8ToWideCharsFailed = static_cast<size_t>(-1);

// Decodes UTF-8 leniently: a lead byte is judged by its bits 7 and 5 only, so overlong forms
// pass. A lead 0xF0-0xF7 with three continuation bytes is one "?" unit; with fewer it reads as a
// three-byte lead like any other byte with bit 5 set. With Dest, at most
// MaxDestChars - 1 units and a terminating 0 unit are written and the result is the number of
// units written plus one; a MaxDestChars of 0 writes nothing and gives 0. Without Dest the units
// are only counted (plus one). A null Source gives 0, malformed input Utf8ToWideCharsFailed.
size_t Utf8ToWideChars(char16_t* Dest, size_t MaxDestChars, const char* Source, size_t SourceBytes);

// Empty when S is empty or malformed anywhere.
WideString DecodeUTF8(const AnsiString& S);
// DecodeUTF8 converted to the ANSI code page; empty when the decoding is empty.
AnsiString Utf8TextToAnsi(std::string_view S);
// The same over Size bytes at Text, written over them: the converted text's size goes to NewSize.
// False when the bytes are no UTF-8; Text is then partly overwritten.
bool Utf8ToAnsiInPlace(char* Text, size_t Size, size_t& NewSize);

// Goes on checking Size bytes at Text from Position, sequence by sequence as Utf8ToWideChars
// decodes them, until Position reaches Stop (a sequence may reach beyond it, not beyond Size):
// false at a malformed one, where Position then stands. Ascii is cleared on the first byte above
// 127. A text may so be checked in chunks, each while it is in the cache.
bool CheckUtf8(const char* Text, size_t Size, size_t& Position, size_t Stop, bool& Ascii);

// Converts Size bytes at In that CheckUtf8 accepts to the ANSI code page at Out, which has room
// for Size bytes (no character takes more there than in UTF-8) and may be In itself: all of them
// when Last, else those whose sequence ends inside In and cannot go on after it, so that a text
// converted in pieces comes out as it would whole. The bytes written; Used the bytes of In taken.
size_t Utf8ToAnsiPiece(const char* In, size_t Size, bool Last, char* Out, size_t& Used);

// The text in UTF-8, for terminals and files outside the program.
AnsiString AnsiToUtf8(const AnsiString& S);
