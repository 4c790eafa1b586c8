#include "formats/workbook.h"

#include <cstring>

#include "formats/ods_sheet.h"
#include "formats/workbook_errors.h"
#include "formats/xlsx_sheet.h"

TContainerKind SniffContainer(std::string_view Bytes) {
  static const char CompoundFile[8] = {'\xD0', '\xCF', '\x11', '\xE0',
                                       '\xA1', '\xB1', '\x1A', '\xE1'};
  if (Bytes.size() >= sizeof CompoundFile &&
      std::memcmp(Bytes.data(), CompoundFile, sizeof CompoundFile) == 0)
    return TContainerKind::CompoundFile;
  // A local header first, or the end record of an archive without entries.
  if (Bytes.size() >= 4 && (Bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4) ||
                            Bytes.substr(0, 4) == std::string_view("PK\x05\x06", 4)))
    return TContainerKind::ZipArchive;
  return TContainerKind::Other;
}

AnsiString WorkbookText(std::string_view Bytes, const TWorkbookLimits& Limits) {
  switch (SniffContainer(Bytes)) {
  case TContainerKind::CompoundFile:
    throw Exception(OldWorkbookMessage);
  case TContainerKind::Other:
    ThrowNotAWorkbook();
  case TContainerKind::ZipArchive:
    break;
  }
  TZipArchive archive(Bytes, Limits.Zip);
  if (IsOfficePackage(archive)) return XlsxSheetText(archive, Limits.MaxText);
  if (IsOpenDocumentSpreadsheet(archive)) return OdsSheetText(archive, Limits.MaxText);
  ThrowNotAWorkbook();
}
