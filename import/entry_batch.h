#pragma once
// The entries of a run of contact records before they go into the dictionary: per entry a
// dictionary key (a normalised number) and the display name of its record, the name stored once
// per record. Sorted by key with a stable radix sort, batches of consecutive runs of records are
// stored in one ascending sweep, so the dictionary's tree is built at its right end.
#include <cstddef>
#include <memory>
#include <string_view>

#include "containers/rb_dictionary.h"
#include "support/string_utils.h"

class TBlockPool;

class TEntryBatch {
public:
  // Pool, when given, holds the batch's big blocks, and the names' text also once a dictionary
  // has it; it must outlive both.
  explicit TEntryBatch(TBlockPool* Pool = nullptr);
  ~TEntryBatch();
  TEntryBatch(const TEntryBatch&) = delete;
  TEntryBatch& operator=(const TEntryBatch&) = delete;

  // Room for about that many entries, of about Records records.
  void Reserve(size_t Entries, size_t Records);
  // One entry per key, in the given order, all under Name.
  void Add(std::string_view Name, const TStringArray& Keys);
  // Drops every entry and name.
  void Clear();
  size_t Size() const;

  // Orders the entries by their keys as the dictionary stores them, lower-cased by the ANSI code
  // page, byte by byte; equal keys keep their order.
  void Sort();

  // Stores the entries of sorted batches, given in file order, in ascending key order, so that of
  // equal keys the one added last wins as it would with one SetValue per entry in file order.
  // The names move into the dictionary; the batches are left empty.
  static void StoreSorted(TRBStringList& Dictionary, TEntryBatch& First, TEntryBatch& Second);

private:
  struct TImpl;
  std::unique_ptr<TImpl> F;
};
