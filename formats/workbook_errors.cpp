#include "formats/workbook_errors.h"

const char* const OldWorkbookMessage =
    "Diese Arbeitsmappe ist im alten Excel-Format (.xls) oder mit einem Kennwort gesichert. "
    "Bitte als .xlsx oder CSV speichern.";
const char* const NotAWorkbookMessage = "Die Datei ist keine Arbeitsmappe.";
const char* const DamagedWorkbookMessage = "Die Arbeitsmappe kann nicht gelesen werden.";

void ThrowDamagedWorkbook() {
  throw Exception(DamagedWorkbookMessage);
}

void ThrowNotAWorkbook() {
  throw Exception(NotAWorkbookMessage);
}
