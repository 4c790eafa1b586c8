#pragma once
// Telephone numbers in one national form: the own country with a leading 0, others with 00.
#include <string_view>

#include "base/system.h"

// The user's country calling code (one or two digits), "49" whenever it cannot be had.
AnsiString GetCountryCode();

// Keeps only "0123456789+" and rewrites a leading "+" with the own code to "0", any other
// leading "+" to "00", keeping at most 100 characters after a rewritten prefix. A "(0)" trunk
// prefix right after an international prefix ("+49 (0) 40 ...") is left out first.
AnsiString NormalizePhoneNumber(std::string_view Text, std::string_view CountryCode);

// A leading "00" with the own code becomes "0", keeping at most 100 characters after it.
AnsiString StripCountryPrefix(std::string_view Number, std::string_view CountryCode);

// StripCountryPrefix(NormalizePhoneNumber(Text, CountryCode), CountryCode) into Key, the number's
// key in the dictionary, without a string of its own on the way: the import makes one for every
// number.
void NumberKey(std::string_view Text, std::string_view CountryCode, AnsiString& Key);
