#pragma once
// A short display name from the joined name columns of one contact.
#include <string_view>

#include "base/system.h"

// Put in front of every word appended to a display name.
extern const AnsiString WordSeparator;
// Between several values of one field: number fields are split at it, display names lose it.
constexpr std::string_view ValueSeparator = ":::";

// True when both are non-empty and SubText occurs in Text, ignoring case by the user's ANSI
// upper-case mapping. Text is the text searched.
bool ContainsText(std::string_view Text, std::string_view SubText);

// Collapses blank runs, removes ":::", and keeps at most six words, leaving out every word of
// three or more characters that the name built so far already contains.
AnsiString BuildDisplayName(const AnsiString& Text);
// Memory BuildDisplayName keeps from one name to the next.
struct TNameScratch {
  AnsiString Tidied, Upper, UpperResult;
};
// The same into Result; Result and Scratch keep their memory from one name to the next.
void BuildDisplayName(std::string_view Text, AnsiString& Result, TNameScratch& Scratch);
