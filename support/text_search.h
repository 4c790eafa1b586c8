#pragma once
// Byte pattern search in ANSI text: Horspool forward, a plain scan backward, with or without case.
#include <cstdint>
#include <string_view>

#include "base/system.h"

// The ANSI upper-case mapping of the user's code page, taken once when the program starts.
extern unsigned char UpperCaseTable[256];

// The 1-based position in Text where Pattern begins, or 0. Forward: the first match beginning at
// or after StartPos (below 1 counts as 1); an empty Pattern raises "BufferLen is 0". Backward:
// the last match beginning at or before StartPos, 0 meaning the last possible start; an empty
// Pattern gives 0. Without CaseSensitive both bytes are compared through UpperCaseTable.
int64_t FindTextPos(std::string_view Pattern, std::string_view Text, bool CaseSensitive,
                    int64_t StartPos, bool Forward);
