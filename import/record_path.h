#pragma once
// Where the records of every reader end. A reader hands on each record as its name parts, in
// column order, and its number texts; from there every record is treated alike: the name parts
// joined with a blank (empty ones too), the display name built, its "=" removed and cut to 50
// characters, each number normalised and dropped when empty, the counts, and the entries sorted
// and stored in the dictionary whose lines the import gives.
#include <cstdint>
#include <string_view>

#include "base/strings.h"
#include "base/system.h"
#include "containers/rb_dictionary.h"
#include "import/contact_import.h"
#include "import/display_name.h"
#include "import/entry_batch.h"
#include "support/side_task.h"
#include "support/string_utils.h"

class TBlockPool;

// Stores Name under Number's key (the number without the own country code): the way of storing
// one entry. The import stores sorted batches of entries, which must come to the same.
void AddEntry(TRBStringList& Dictionary, const AnsiString& Number, const AnsiString& Name,
              const AnsiString& CountryCode);

// The records of one run of a text, in text order.
class TRecordSink {
public:
  TRecordSink(const AnsiString& CountryCode, TBlockPool& Pool);
  TRecordSink(const TRecordSink&) = delete;
  TRecordSink& operator=(const TRecordSink&) = delete;

  void AddNamePart(std::string_view Part);
  // A field of number texts, several of them separated by ":::".
  void AddNumbers(std::string_view Field);
  // One number text.
  void AddNumber(std::string_view Text);
  // The record counts when it has a display name and a number; the next one starts empty.
  void EndRecord();

private:
  friend class TRecordPath;

  AnsiString FCountryCode;
  TEntryBatch FEntries;
  TImportCounts FCounts;
  // The open record, and memory kept from one record to the next.
  AnsiString FJoined;
  bool FHasNamePart = false;
  TStringArray FKeys;
  AnsiString FKey;
  AnsiString FName;
  TNameScratch FScratch;
};

// The records of a text, read by one reader or, for a large text, by two at the same time, each
// into a sink of its own; then sorted and stored.
class TRecordPath {
public:
  TRecordPath(const AnsiString& CountryCode, TBlockPool& Pool);

  TBlockPool& Pool() const { return FPool; }

  // Reads the records of a text of Size bytes. Read(From, To, Sink) reads those from From to To
  // into Sink, and tells whether the record after To is one that a reader starting there reads
  // too. A large text is read as two parts at the same time, cut where Cut() says (0: nowhere);
  // when the first part's reader says no, the whole text is read again by one reader.
  template <typename TCut, typename TRead> void Read(size_t Size, TCut Cut, TRead Read);

  // Both parts' entries sorted, at the same time, and stored in key order; Target's lines
  // replaced with the dictionary's. The counts of all records.
  TImportCounts StoreInto(TStrings& Target);

private:
  // Room for the records of Bytes bytes of text, as a guess.
  static void Reserve(TRecordSink& Sink, size_t Bytes);
  void Restart();

  TBlockPool& FPool;
  TRecordSink FEarlier, FLater;
};

template <typename TCut, typename TRead> void TRecordPath::Read(size_t Size, TCut Cut, TRead Read) {
  const size_t cut = Size >= MinSharedBytes ? Cut() : 0;
  if (cut == 0 || cut >= Size) {
    Reserve(FEarlier, Size);
    Read(0, Size, FEarlier);
    return;
  }
  Reserve(FEarlier, cut);
  Reserve(FLater, Size - cut);
  bool fresh = false;
  {
    TSideTask readLater([&] { Read(cut, Size, FLater); });
    fresh = Read(0, cut, FEarlier);
    readLater.Wait();
  }
  if (fresh) return;
  Restart();
  Read(0, Size, FEarlier);
}
