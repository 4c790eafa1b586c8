#pragma once
// The import: a contact export, CSV or vCard, becomes sorted "number=name" lines and two counts.
#include <cstdint>
#include <string_view>

#include "base/strings.h"
#include "base/system.h"

struct TImportCounts {
  // Records that gave a display name and at least one number.
  int32_t Names = 0;
  // Every number of those records, repeats included.
  int32_t Numbers = 0;
};

// Imports FileName and replaces Target's lines with the result, only once the whole file has
// been read; on an error Target is left as it was and the error goes on.
TImportCounts ImportContacts(const PathString& FileName, TStrings& Target,
                             const AnsiString& CountryCode);
// The same with the user's country code.
TImportCounts ImportContacts(const PathString& FileName, TStrings& Target);
// The same for a file's bytes in memory.
TImportCounts ImportContactBytes(std::string_view Bytes, TStrings& Target,
                                 const AnsiString& CountryCode);
