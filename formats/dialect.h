#pragma once
// Guesses a CSV text's delimiter, quote and line break from its first 10,000 characters.
#include "base/stream.h"

struct TCSVOptions {
  AnsiString LineBreak; // "\r\n", "\r" or "\n"
  char Delimiter = ','; // ',', ';' or '\t'
  AnsiString Quote;     // "\"", or empty when the text is taken as unquoted
};

constexpr size_t CSVDetectionSampleSize = 10000;

void DetectCSVOptions(const AnsiString& Text, TCSVOptions& Options);
// From the stream's first 10,000 bytes, up to a byte 0; the stream's position is kept.
void DetectCSVOptionsFromStream(TStream& Stream, TCSVOptions& Options);
