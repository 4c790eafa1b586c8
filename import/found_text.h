#pragma once
// What an import found, in the words the status line and the command-line importer use.
#include <cstdint>

#include "base/system.h"
#include "import/contact_import.h"

// Value in the format "0,": no decimals, the user's thousands separator between groups of
// three digits (1234 is "1.234" under German settings).
AnsiString FormatCount(int64_t Value);

// "N Namen M Nummern gefunden." with both counts formatted; Bold puts each count in the markup
// of a bold run, as the status line shows it.
AnsiString FoundText(const TImportCounts& Counts, bool Bold);
