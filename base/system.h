#pragma once
// Basic types shared by every unit.
#include <cstdint>
#include <string>

// Counted 8-bit text in the ANSI code page; it may hold any byte, 0 included.
using AnsiString = std::string;
// UTF-16 text, as the Windows "W" functions take it.
using WideString = std::u16string;
