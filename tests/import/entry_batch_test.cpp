#include "import/entry_batch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<AnsiString>;

Lines Export(TRBStringList& Dictionary) {
  TStringList target;
  Dictionary.AssignTo(target);
  Lines lines;
  for (int i = 0; i < target.Count(); ++i)
    lines.push_back(target[i]);
  return lines;
}

struct TRecord {
  AnsiString Name;
  TStringArray Keys;
};

// Keys as numbers are and as they are not: digits and "+", longer than the sixteen bytes a code
// holds, with other bytes (letters in both cases among them), empty; drawn from a small pool so
// that they repeat across records.
std::vector<TRecord> RandomRecords(std::mt19937& Random, size_t Count, size_t Pool) {
  std::vector<AnsiString> pool;
  const char alphabet[] = "0123456789+0000*aA\xE4\xC4";
  for (size_t i = 0; i < Pool; ++i) {
    AnsiString key(Random() % 22, '0');
    for (char& c : key)
      c = alphabet[Random() % (i % 5 == 0 ? sizeof alphabet - 1 : 11)];
    pool.push_back(key);
  }
  std::vector<TRecord> records(Count);
  for (size_t i = 0; i < Count; ++i) {
    records[i].Name = "Name " + std::to_string(i);
    for (size_t n = Random() % 4; n > 0; --n)
      records[i].Keys.push_back(pool[Random() % Pool]);
  }
  return records;
}

// One SetValue per entry, in file order: what the batches must come to.
Lines OneByOne(const std::vector<TRecord>& Records) {
  TRBStringList dictionary;
  for (const TRecord& record : Records)
    for (const AnsiString& key : record.Keys)
      dictionary.SetValue(key, record.Name);
  return Export(dictionary);
}

Lines InBatches(const std::vector<TRecord>& Records, size_t Split) {
  TEntryBatch first, second;
  for (size_t i = 0; i < Records.size(); ++i)
    (i < Split ? first : second).Add(Records[i].Name, Records[i].Keys);
  TRBStringList dictionary;
  TEntryBatch::StoreSorted(dictionary, first, second);
  EXPECT_EQ(first.Size() + second.Size(), 0u);
  return Export(dictionary);
}

// Small batches are stored in one sweep, large ones as two halves of the key range; equal keys
// must keep their file order in the sort and across the two batches either way.
TEST(EntryBatch, StoresWhatOneSetValuePerEntryInFileOrderStores) {
  std::mt19937 random(17);
  const struct {
    size_t Records, Pool;
  } cases[] = {{0, 1}, {1, 1}, {50, 5}, {3000, 200}, {60000, 5000}, {60000, 40}};
  for (const auto& c : cases) {
    const std::vector<TRecord> records = RandomRecords(random, c.Records, c.Pool);
    const Lines expected = OneByOne(records);
    for (const size_t split : {size_t(0), c.Records / 3, c.Records}) {
      ASSERT_EQ(InBatches(records, split), expected)
          << c.Records << " records, " << c.Pool << " keys, split at " << split;
    }
  }
}

// The dictionary lower-cases every key that is not a number: keys differing only in case are one
// key, whose last entry in file order wins, however the records are split between the batches.
TEST(EntryBatch, KeysDifferingOnlyInCaseAreOneKey) {
  const struct {
    std::vector<TRecord> Records;
    Lines Expected;
  } cases[] = {
      {{{"first", {"A"}}, {"second", {"a"}}, {"third", {"A"}}}, {"a=third"}},
      {{{"first", {"\xE4rger"}}, {"second", {"\xC4RGER"}}}, {"\xE4rger=second"}},
      // Past the sixteen bytes a code holds, and beside a number that is a prefix.
      {{{"first", {"01234567890123456789X", "0301"}}, {"second", {"01234567890123456789x"}}},
       {"01234567890123456789x=second", "0301=first"}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(OneByOne(c.Records), c.Expected);
    for (size_t split = 0; split <= c.Records.size(); ++split)
      EXPECT_EQ(InBatches(c.Records, split), c.Expected) << c.Expected[0] << ", split at " << split;
  }
}

} // namespace
