#pragma once
// The first visible table of an OpenDocument spreadsheet (.ods) as text (see
// formats/sheet_text.h): content.xml parsed as it is inflated, its repeats of rows and columns
// written out as far as they hold something and cut at the sheet's size, the number styles from
// styles.xml and content.xml's own.
#include <cstdint>

#include "base/system.h"
#include "formats/zip_archive.h"

// Whether the archive is an OpenDocument package that may be a spreadsheet: it has content.xml,
// and its mimetype, where it has one, is a spreadsheet's.
bool IsOpenDocumentSpreadsheet(TZipArchive& Archive);

// Throws the not-a-workbook message when the document is no spreadsheet, the damaged workbook's
// for everything else that cannot be read, or a text beyond MaxText bytes.
AnsiString OdsSheetText(TZipArchive& Archive, uint64_t MaxText);
