#pragma once
// Workbooks as the import reads them: an Office Open XML workbook (.xlsx, .xlsm) or an
// OpenDocument spreadsheet (.ods), told by their content. The text of the first visible sheet is
// what the sheet gives when it is saved as tab-separated text (formats/sheet_text.h), in the
// ANSI code page, for the CSV path with TAB as its delimiter.
#include <cstdint>
#include <string_view>

#include "base/system.h"
#include "formats/zip_archive.h"

// What a file's first bytes say it is: a zip archive, which may hold a workbook, a compound
// file (an old binary workbook, or one protected with a password), or neither.
enum class TContainerKind { Other, ZipArchive, CompoundFile };
TContainerKind SniffContainer(std::string_view Bytes);

struct TWorkbookLimits {
  TZipLimits Zip;
  // The sheet's text, and the shared strings, in bytes.
  uint64_t MaxText = uint64_t(1) << 30;
};

// The text of the first visible worksheet of the workbook held in Bytes, which the function reads
// where they lie (a mapped file's view is best), inflating and parsing the sheet in pieces: it
// holds the shared strings and the text it makes, never a whole inflated part. Empty for a
// workbook without a visible worksheet, or with an empty one. Throws Exception with
// OldWorkbookMessage, NotAWorkbookMessage or DamagedWorkbookMessage (formats/workbook_errors.h).
AnsiString WorkbookText(std::string_view Bytes, const TWorkbookLimits& Limits = TWorkbookLimits());
