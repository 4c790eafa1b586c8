// The whole import of any file's bytes, from memory: the loader's decision, then the import of
// the text on the CSV or the vCard path.
#include "base/exceptions.h"
#include "formats/text_loading.h"
#include "formats/workbook.h"
#include "formats/workbook_errors.h"
#include "fuzz/fuzz_common.h"
#include "import/contact_import.h"
#include "support/block_pool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  TStringList lines;
  lines.Add("before");
  TImportCounts counts;
  try {
    counts = ImportContactBytes(bytes, lines, "49");
  } catch (const Exception& e) {
    // A table text without a line fails, a file in a container that is no readable workbook
    // fails, and the target is left alone.
    FUZZ_CHECK(lines.Count() == 1 && lines[0] == "before");
    if (SniffContainer(bytes) != TContainerKind::Other &&
        (e.Message() == OldWorkbookMessage || e.Message() == NotAWorkbookMessage ||
         e.Message() == DamagedWorkbookMessage))
      return 0;
    FUZZ_CHECK(e.Message() == "Try to read past eof");
    TBlockPool pool;
    FUZZ_CHECK(LoadTextFromBytes(bytes, pool).Kind() != TTextKind::VCard);
    return 0;
  }
  FUZZ_CHECK(counts.Names >= 0 && counts.Names <= counts.Numbers);
  FUZZ_CHECK(lines.Count() <= counts.Numbers);
  FUZZ_CHECK(counts.Names > 0 || lines.Count() == 0);
  for (int i = 0; i < lines.Count(); ++i) {
    const AnsiString& line = lines[i];
    const size_t equals = line.find('=');
    FUZZ_CHECK(equals != AnsiString::npos && line.find('=', equals + 1) == AnsiString::npos);
    FUZZ_CHECK(equals > 0 && line.size() - equals - 1 <= 50);
    FUZZ_CHECK(line.find('\0') == AnsiString::npos);
    // Keys strictly ascending by bytes.
    if (i > 0) {
      const AnsiString& before = lines[i - 1];
      FUZZ_CHECK(before.substr(0, before.find('=')) < line.substr(0, equals));
    }
  }
  return 0;
}
