#pragma once
// The CSV path of the import: the text normalised, its dialect detected, the name and number
// columns found by the header row's words, and each record's fields in those columns handed on.
#include "formats/text_loading.h"
#include "import/record_path.h"

// Header words: a column whose header contains one (ignoring case) is a name or number column.
extern const char* const NameHeaders[5];
extern const char* const NumberHeaders[3];

// Text is a table for the CSV reader, normalised a few lines at a time as its records are read,
// and given back once they are. Delimiter 0 has it detected; a reader that knows the text's
// cells gives it.
void ReadCSVRecords(TLoadedText Text, TRecordPath& Records, char Delimiter = 0);
