#include "import/contact_import.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "import/csv_import.h"
#include "import/display_name.h"
#include "import/phone_number.h"
#include "import/vcard_import.h"
#include "formats/text_loading.h"
#include "support/side_task.h"
#include "support/string_utils.h"

namespace {

constexpr int MaxNameLength = 50;

} // namespace

AnsiString EntryKey(const AnsiString& Number, const AnsiString& CountryCode) {
  return StripCountryPrefix(Number, CountryCode);
}

void AddEntry(TRBStringList& Dictionary, const AnsiString& Number, const AnsiString& Name,
              const AnsiString& CountryCode) {
  Dictionary.SetValue(EntryKey(Number, CountryCode), Name);
}

void TContactCollector::AddRecord(const AnsiString& JoinedName, const TStringArray& Numbers) {
  if (Numbers.empty()) return;
  AnsiString& name = FName;
  BuildDisplayName(JoinedName, name, FScratch);
  if (name.empty()) return;
  // The first "=" of a line must separate number and name.
  if (name.find('=') != AnsiString::npos) ReplaceTextInPlace(name, "=", "");
  if (name.size() > size_t(MaxNameLength)) name = TruncateString(name, MaxNameLength);
  ++FCounts.Names;
  FCounts.Numbers += static_cast<int32_t>(Numbers.size());
  FKeys.clear();
  for (const AnsiString& number : Numbers)
    FKeys.push_back(EntryKey(number, FCountryCode));
  FEntries.Add(name, FKeys);
}

void TContactCollector::Sort() {
  FEntries.Sort();
}

size_t TContactCollector::Size() const {
  return FEntries.Size();
}

void TContactCollector::Clear() {
  FEntries.Clear();
  FCounts = TImportCounts();
}

void TContactCollector::ReserveFor(size_t TextBytes) {
  // An address book export spends a few hundred bytes per contact and a few dozen per number; a
  // guess on the generous side costs only address space, one too small a copy or two.
  FEntries.Reserve(TextBytes / 48, TextBytes / 192);
}

void TContactCollector::AssignTo(TStrings& Target) {
  TContactCollector none(FCountryCode, FPool);
  AssignTo(Target, none);
}

void TContactCollector::AssignTo(TStrings& Target, TContactCollector& Later) {
  TRBStringList dictionary(nullptr, FPool);
  TEntryBatch::StoreSorted(dictionary, FEntries, Later.FEntries);
  TStringsUpdate bracket(Target);
  dictionary.AssignTo(Target);
}

TImportCounts ImportContactsFromText(TLoadedText Text, TStrings& Target,
                                     const AnsiString& CountryCode, TBlockPool* Pool) {
  // The import's big blocks, first the text's, then the entries', the sort's and the
  // dictionary's, come from one pool: a block taken after the text was given back reuses memory
  // that is touched already. Address space for about twice the text is reserved at once.
  TBlockPool ownPool(2 * Text.View().size() + (size_t(64) << 20));
  TBlockPool& pool = Pool ? *Pool : ownPool;
  TContactCollector earlier(CountryCode, &pool), later(CountryCode, &pool);
  if (Text.IsVCard()) {
    ImportVCardText(Text.View(), CountryCode, earlier, later);
    // The text's memory goes back to the pool before the sort and the dictionary need theirs.
    Text = TLoadedText();
    if (later.Size() > 0) {
      TSideTask sortLater([&] { later.Sort(); });
      earlier.Sort();
      sortLater.Wait();
    }
  } else if (!ImportCSVText(Text, CountryCode, pool, earlier, later)) {
    // Its zero bytes made the file UTF-16: another text, maybe a vCard.
    return ImportContactsFromText(std::move(Text), Target, CountryCode, Pool);
  }
  earlier.AssignTo(Target, later);
  return {earlier.Counts().Names + later.Counts().Names,
          earlier.Counts().Numbers + later.Counts().Numbers};
}

TImportCounts ImportContactsFromText(const AnsiString& Text, TStrings& Target,
                                     const AnsiString& CountryCode) {
  return ImportContactsFromText(TLoadedText(Text), Target, CountryCode);
}

TImportCounts ImportContacts(const PathString& FileName, TStrings& Target,
                             const AnsiString& CountryCode) {
  // Most files hold no byte 0: the pass that counts them is left to the reader that meets one.
  // A vCard's text is the import's first big block.
  TBlockPool pool;
  return ImportContactsFromText(LoadText(FileName, TZeroCount::WhenMet, &pool), Target, CountryCode,
                                &pool);
}

TImportCounts ImportContacts(const PathString& FileName, TStrings& Target) {
  return ImportContacts(FileName, Target, GetCountryCode());
}
