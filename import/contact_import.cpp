#include "import/contact_import.h"

#include <utility>

#include "formats/text_loading.h"
#include "import/csv_import.h"
#include "import/phone_number.h"
#include "import/record_path.h"
#include "import/vcard_import.h"
#include "support/block_pool.h"

namespace {

// The text's reader hands its records to the record path, which stores them once the text's
// memory has gone back to the pool: the sort and the dictionary then reuse it.
TImportCounts ImportLoadedText(TLoadedText Text, TStrings& Target, const AnsiString& CountryCode,
                               TBlockPool& Pool) {
  TRecordPath records(CountryCode, Pool);
  switch (Text.Kind()) {
  case TTextKind::VCard:
    ReadVCardRecords(std::move(Text), records);
    break;
  case TTextKind::Sheet:
    // The cells' bounds are known: no guess of the delimiter.
    ReadCSVRecords(std::move(Text), records, '\t');
    break;
  case TTextKind::Table:
    ReadCSVRecords(std::move(Text), records);
    break;
  }
  return records.StoreInto(Target);
}

} // namespace

TImportCounts ImportContacts(const PathString& FileName, TStrings& Target,
                             const AnsiString& CountryCode) {
  TBlockPool pool;
  return ImportLoadedText(LoadText(FileName, pool), Target, CountryCode, pool);
}

TImportCounts ImportContacts(const PathString& FileName, TStrings& Target) {
  return ImportContacts(FileName, Target, GetCountryCode());
}

TImportCounts ImportContactBytes(std::string_view Bytes, TStrings& Target,
                                 const AnsiString& CountryCode) {
  TBlockPool pool;
  return ImportLoadedText(LoadTextFromBytes(Bytes, pool), Target, CountryCode, pool);
}
