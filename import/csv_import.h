#pragma once
// The CSV path of the import: the text normalised, its dialect detected, the name and number
// columns found by the header row's words, and each record handed to a collector, as the vCard
// path hands on each card.
#include "import/contact_import.h"
#include "formats/text_loading.h"

// Header words: a column whose header contains one (ignoring case) is a name or number column.
extern const char* const NameHeaders[5];
extern const char* const NumberHeaders[3];

// Text as LoadText gives it, one that is no vCard. The records after the middle of a large text
// are read by a second thread into Later, the others into Earlier; both come back sorted. The
// normalised text's memory comes from Pool. Text is released once it is normalised. False, with
// nothing done, when a byte 0 ended a text whose zero bytes were not counted, and counting them
// gave another text, which Text then is.
bool ImportCSVText(TLoadedText& Text, const AnsiString& CountryCode, TBlockPool& Pool,
                   TContactCollector& Earlier, TContactCollector& Later);
