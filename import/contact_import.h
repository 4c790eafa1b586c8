#pragma once
// The import: a contact export, CSV or vCard, becomes sorted "number=name" lines and two counts.
// The loader tells which reader the text is for (csv_import, vcard_import); both hand each record
// to a TContactCollector, which makes the entries and counts the same way for both.
#include <cstdint>

#include "import/display_name.h"
#include "import/entry_batch.h"
#include "base/strings.h"
#include "base/system.h"
#include "containers/rb_dictionary.h"
#include "formats/text_loading.h"
#include "support/string_utils.h"

struct TImportCounts {
  // Records that gave a display name and at least one number.
  int32_t Names = 0;
  // Every number of those records, repeats included.
  int32_t Numbers = 0;
};

// The dictionary key of a normalised number: the own country code taken off.
AnsiString EntryKey(const AnsiString& Number, const AnsiString& CountryCode);
// Stores Name under Number's key: the import's way of storing one entry, by definition. The
// import itself stores sorted batches of entries (TContactCollector, TEntryBatch); its tests
// compare that with AddEntry called once per entry in file order.
void AddEntry(TRBStringList& Dictionary, const AnsiString& Number, const AnsiString& Name,
              const AnsiString& CountryCode);

// Where the records of both readers end: each record's display name and numbers become
// dictionary entries and counts.
class TContactCollector {
public:
  // Pool, when given, holds the big blocks of the entries and of the dictionary AssignTo builds;
  // it must outlive the collector.
  explicit TContactCollector(const AnsiString& CountryCode, TBlockPool* Pool = nullptr)
      : FCountryCode(CountryCode), FPool(Pool), FEntries(Pool) {}
  TContactCollector(const TContactCollector&) = delete;
  TContactCollector& operator=(const TContactCollector&) = delete;

  // JoinedName: the record's name parts joined with blanks; Numbers: its normalised, non-empty
  // numbers in record order. A record with a display name and at least one number counts.
  void AddRecord(const AnsiString& JoinedName, const TStringArray& Numbers);
  const TImportCounts& Counts() const { return FCounts; }
  // The number of entries, one per number of every record that counted.
  size_t Size() const;
  // Room for the records of TextBytes bytes of text, as a guess.
  void ReserveFor(size_t TextBytes);
  // Drops every record and count.
  void Clear();

  // Orders the entries by number. Collectors of separate runs of records may sort in separate
  // threads; AssignTo sorts what is not sorted yet.
  void Sort();
  // Replaces Target's lines with the entries, in ascending order of the numbers, the last record
  // winning for a number.
  void AssignTo(TStrings& Target);
  // The same for this collector's records followed by Later's.
  void AssignTo(TStrings& Target, TContactCollector& Later);

private:
  AnsiString FCountryCode;
  TBlockPool* FPool;
  TEntryBatch FEntries;
  // Reused from record to record.
  TStringArray FKeys;
  AnsiString FName;
  TNameScratch FScratch;
  TImportCounts FCounts;
};

// Imports a text as LoadText gives it; otherwise as ImportContacts. The import's big blocks come
// from Pool, which may hold the text already, or else from a pool of its own.
TImportCounts ImportContactsFromText(TLoadedText Text, TStrings& Target,
                                     const AnsiString& CountryCode, TBlockPool* Pool = nullptr);
TImportCounts ImportContactsFromText(const AnsiString& Text, TStrings& Target,
                                     const AnsiString& CountryCode);

// Imports FileName and replaces Target's lines with the result, only once the whole file has
// been read; on an error Target is left as it was and the error goes on.
TImportCounts ImportContacts(const PathString& FileName, TStrings& Target,
                             const AnsiString& CountryCode);
// The same with the user's country code.
TImportCounts ImportContacts(const PathString& FileName, TStrings& Target);
