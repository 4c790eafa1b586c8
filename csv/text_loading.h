#pragma once
// Loads a CSV file as one text in the ANSI code page, whether it holds 8-bit text, UTF-8 with or
// without a byte-order mark, or UTF-16 without a mark whose characters all lie below 256.
#include <string_view>

#include "framework/stream.h"

// EF BB BF
extern const char UTF8BOM[3];

// Raises the stream's "OSError" when the file cannot be opened or mapped.
AnsiString LoadFileAsAnsiText(const AnsiString& FileName);

// True for a stream of at least 10 bytes that starts with the mark; the position is 0 afterwards.
bool HasUTF8BOM(TStream& Stream);
AnsiString StripUTF8BOM(const AnsiString& Text);
AnsiString RemoveNulChars(std::string_view Text);
