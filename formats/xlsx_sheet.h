#pragma once
// The first visible worksheet of an Office Open XML workbook (.xlsx, .xlsm) as text (see
// formats/sheet_text.h): the package's relationships lead to the workbook, its sheets in order,
// the shared strings and the number formats; the sheet part is parsed as it is inflated.
#include <cstdint>

#include "base/system.h"
#include "formats/zip_archive.h"

// Whether the archive is such a package: it has package relationships, or a workbook part where
// they would lead.
bool IsOfficePackage(const TZipArchive& Archive);

// Throws the not-a-workbook message when the package's document is no workbook, the damaged
// workbook's for everything else that cannot be read, or a text beyond MaxText bytes.
AnsiString XlsxSheetText(TZipArchive& Archive, uint64_t MaxText);
