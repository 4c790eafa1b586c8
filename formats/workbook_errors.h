#pragma once
// The messages of a workbook that cannot be read. Each is thrown as the class library's
// Exception, as every other import error.
#include "base/exceptions.h"

// A compound file: an old binary workbook, or one protected with a password.
extern const char* const OldWorkbookMessage;
// A zip archive that holds no workbook.
extern const char* const NotAWorkbookMessage;
// A damaged archive or part, or one beyond the reader's limits.
extern const char* const DamagedWorkbookMessage;

[[noreturn]] void ThrowDamagedWorkbook();
[[noreturn]] void ThrowNotAWorkbook();
