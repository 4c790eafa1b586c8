#pragma once
// The entries of a run of contact records before they go into the dictionary: per entry a
// dictionary key (a normalised number) and the display name of its record, the name stored once
// per record. Sorted by key with a stable radix sort, batches of consecutive runs of records are
// stored in one ascending sweep, so the dictionary's tree is built at its right end.
#include <cstdint>
#include <string_view>
#include <vector>

#include "containers/rb_dictionary.h"
#include "containers/text_arena.h"
#include "support/pod_vector.h"
#include "support/string_utils.h"

class TEntryBatch {
public:
  // Pool, when given, holds the batch's big blocks, and the names' text also once a dictionary
  // has it; it must outlive both.
  explicit TEntryBatch(TBlockPool* Pool = nullptr)
      : FPool(Pool), FNameText(Pool), FNames(Pool), FEntries(Pool) {}
  TEntryBatch(const TEntryBatch&) = delete;
  TEntryBatch& operator=(const TEntryBatch&) = delete;

  // Room for about that many entries, of about Records records.
  void Reserve(size_t Entries, size_t Records) {
    FEntries.reserve(Entries);
    FNames.reserve(Records);
  }
  // One entry per key, in the given order, all under Name.
  void Add(std::string_view Name, const TStringArray& Keys);
  // Drops every entry and name.
  void Clear();
  size_t Size() const { return FEntries.size(); }

  // Orders the entries by their keys as the dictionary stores them, lower-cased by the ANSI code
  // page, byte by byte; equal keys keep their order.
  void Sort();

  // Stores the entries of sorted batches, given in file order, in ascending key order, so that of
  // equal keys the one added last wins as it would with one SetValue per entry in file order.
  // The names move into the dictionary; the batches are left empty.
  static void StoreSorted(TRBStringList& Dictionary, TEntryBatch& First, TEntryBatch& Second);

private:
  struct TEntry {
    // The key's first bytes, 4 bits each, most significant first; see EncodeKey.
    uint64_t Code;
    uint32_t Name;    // index into FNames
    uint32_t LongKey; // 0 when Code holds the whole key, else 1 + index into FLongKeys
  };
  static_assert(sizeof(TEntry) == 16, "entries are moved around by the million");

  struct TRange {
    size_t Begin, End;
  };

  AnsiString KeyOf(const TEntry& Entry) const;
  // Whether Entry orders before, or after, Key, whose code is Code.
  bool Before(const TEntry& Entry, uint64_t Code, bool Exact, std::string_view Key) const;
  bool After(const TEntry& Entry, uint64_t Code, bool Exact, std::string_view Key) const;
  // Stores the entries of the two ranges, merged as StoreSorted merges them.
  static void StoreRange(TRBStringList& Dictionary, const TEntryBatch& First, TRange InFirst,
                         const TEntryBatch& Second, TRange InSecond);
  // The same without a string of its own where the code holds the key: then Buffer holds it.
  std::string_view KeyView(const TEntry& Entry, char (&Buffer)[16]) const;
  // Orders two entries whose codes are equal.
  bool KeyLess(const TEntry& A, const TEntry& B) const;
  void SortRunsOfLongKeys();

  TBlockPool* FPool;
  TTextArena FNameText;
  TPodVector<const std::string_view*> FNames; // a slot in FNameText per record
  TPodVector<TEntry> FEntries;
  std::vector<AnsiString> FLongKeys;
  bool FSorted = true;
};
