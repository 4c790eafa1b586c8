#pragma once
// Counting and finding one byte value in a text, sixteen bytes at a time where the scan path
// allows it (support/scan_path.h): the runtime's own memchr goes a byte at a time in some C
// libraries, and the import runs these over whole files.
#include <cstddef>
#include <string_view>

#include "support/scan_path.h"

// How often Byte occurs in Text.
size_t CountByte(std::string_view Text, char Byte);
// The first place of Byte in Text from From on, or Text.size() when there is none.
size_t FindByte(std::string_view Text, char Byte, size_t From = 0);

// The same on a given path, for the tests that hold each path to the plain one.
size_t CountByte(std::string_view Text, char Byte, TScanPath Path);
size_t FindByte(std::string_view Text, char Byte, size_t From, TScanPath Path);
