#pragma once
// Basic types shared by every unit.
#include <cstdint>
#include <string>

// Counted 8-bit text in the ANSI code page; it may hold any byte, 0 included.
using AnsiString = std::string;
// UTF-16 text, as the Windows "W" functions take it.
using WideString = std::u16string;
// A file or folder name. On Windows UTF-8, turned into UTF-16 at each system call, so that every
// name the system can show survives (an unpaired surrogate too, in its three-byte form); elsewhere
// the bytes the system uses. Contact text never travels in it.
using PathString = std::string;
