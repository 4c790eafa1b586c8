#include "import/entry_batch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "containers/text_arena.h"
#include "platform/platform.h"
#include "support/block_pool.h"
#include "support/pod_vector.h"
#include "support/prefetch.h"
#include "support/side_task.h"

namespace {

// Keys are compared by unsigned bytes, a prefix first. The code keeps that order in 4 bits per
// byte: 0 after the key's end, the bytes of a telephone number ("+" and digits) each their own
// value, and every other byte only its class, which orders it against the number bytes but not
// against the bytes of its class. A code is exact when the key is at most 16 bytes of number
// bytes; only then does an equal code mean an equal key. An inexact code ends after the first
// byte it cannot hold, so codes that differ still order their keys right.
constexpr int CodeBytes = 16;
// Below this the second thread costs more than it saves.
constexpr size_t MinSplitEntries = 1 << 16;
constexpr uint8_t BelowPlus = 1, Plus = 2, BetweenPlusAndZero = 3, Zero = 4, AboveNine = 14;

// Per byte its exact nibble, or 0 for a byte that has none.
struct TExactNibbles {
  uint8_t Of[256] = {};
  TExactNibbles() {
    Of[static_cast<unsigned char>('+')] = Plus;
    for (int digit = 0; digit < 10; ++digit)
      Of['0' + digit] = static_cast<uint8_t>(Zero + digit);
  }
};
const TExactNibbles ExactNibbles;

uint8_t ClassNibble(unsigned char C) {
  if (C < '+') return BelowPlus;
  if (C < '0') return BetweenPlusAndZero;
  return AboveNine;
}

// The code of Key; Exact tells whether it holds all of it.
uint64_t EncodeKey(std::string_view Key, bool& Exact) {
  uint64_t code = 0;
  const size_t n = std::min<size_t>(Key.size(), CodeBytes);
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(Key[i]);
    const uint8_t nibble = ExactNibbles.Of[c];
    const int shift = 60 - 4 * static_cast<int>(i);
    if (nibble == 0) {
      Exact = false;
      return code | uint64_t(ClassNibble(c)) << shift;
    }
    code |= uint64_t(nibble) << shift;
  }
  Exact = Key.size() <= CodeBytes;
  return code;
}

// An exact code's bytes end at its first 0, and only 0s follow.
std::string_view DecodeKey(uint64_t Code, char (&Buffer)[CodeBytes]) {
  static constexpr char Bytes[16] = {0,   0,   '+', 0,   '0', '1', '2', '3',
                                     '4', '5', '6', '7', '8', '9', 0,   0};
  const size_t n = Code == 0 ? 0 : CodeBytes - static_cast<size_t>(__builtin_ctzll(Code)) / 4;
  for (size_t i = 0; i < n; ++i)
    Buffer[i] = Bytes[Code >> (60 - 4 * i) & 0xF];
  return {Buffer, n};
}

// Least significant byte first, each pass stable; a byte that is the same in every code is
// skipped, which for numbers of usual length is the last few.
template <typename TEntries> void RadixSortByCode(TEntries& Entries, TBlockPool* Pool) {
  using TEntry = std::remove_reference_t<decltype(Entries[0])>;
  const size_t n = Entries.size();
  if (n < 2) return;
  std::vector<std::array<size_t, 256>> counts(8);
  for (auto& c : counts)
    c.fill(0);
  for (const TEntry& e : Entries)
    for (int b = 0; b < 8; ++b)
      ++counts[b][e.Code >> (8 * b) & 0xFF];
  // Not value-initialised: every slot is written before it is read. From the pool where there is
  // one: memory given back there, by the text before the sort, is touched already.
  TPoolBlock scratchBlock(Pool, n * sizeof(TEntry));
  TEntry* const scratch = reinterpret_cast<TEntry*>(scratchBlock.Data());
  platform::PreferLargePages(scratch, n * sizeof(TEntry));
  TEntry* from = Entries.data();
  TEntry* to = scratch;
  for (int b = 0; b < 8; ++b) {
    std::array<size_t, 256>& count = counts[b];
    if (std::find(count.begin(), count.end(), n) != count.end()) continue;
    size_t offset = 0;
    for (size_t& c : count)
      offset += std::exchange(c, offset);
    for (const TEntry* e = from; e != from + n; ++e)
      to[count[e->Code >> (8 * b) & 0xFF]++] = *e;
    std::swap(from, to);
  }
  if (from != Entries.data()) std::memcpy(Entries.data(), from, n * sizeof(TEntry));
}

} // namespace

struct TEntryBatch::TImpl {
  struct TEntry {
    // The key's first bytes, 4 bits each, most significant first; see EncodeKey.
    uint64_t Code;
    uint32_t Name;    // index into Names
    uint32_t LongKey; // 0 when Code holds the whole key, else 1 + index into LongKeys
  };
  static_assert(sizeof(TEntry) == 16, "entries are moved around by the million");

  struct TRange {
    size_t Begin, End;
  };

  explicit TImpl(TBlockPool* Pool) : Pool(Pool), NameText(Pool), Names(Pool), Entries(Pool) {}

  void Add(std::string_view Name, const TStringArray& Keys);
  void Clear();
  void Sort();
  AnsiString KeyOf(const TEntry& Entry) const;
  // Whether Entry orders before, or after, Key, whose code is Code.
  bool Before(const TEntry& Entry, uint64_t Code, bool Exact, std::string_view Key) const;
  bool After(const TEntry& Entry, uint64_t Code, bool Exact, std::string_view Key) const;
  // Stores the entries of the two ranges, merged as StoreSorted merges them.
  static void StoreRange(TRBStringList& Dictionary, const TImpl& First, TRange InFirst,
                         const TImpl& Second, TRange InSecond);
  // The key without a string of its own where the code holds it: then Buffer holds it.
  std::string_view KeyView(const TEntry& Entry, char (&Buffer)[16]) const;
  // Orders two entries whose codes are equal.
  bool KeyLess(const TEntry& A, const TEntry& B) const;
  void SortRunsOfLongKeys();

  TBlockPool* Pool;
  TTextArena NameText;
  TPodVector<const std::string_view*> Names; // a slot in NameText per record
  TPodVector<TEntry> Entries;
  std::vector<AnsiString> LongKeys;
  bool Sorted = true;
};

TEntryBatch::TEntryBatch(TBlockPool* Pool) : F(std::make_unique<TImpl>(Pool)) {}
TEntryBatch::~TEntryBatch() = default;

void TEntryBatch::Reserve(size_t Entries, size_t Records) {
  F->Entries.reserve(Entries);
  F->Names.reserve(Records);
}

void TEntryBatch::Add(std::string_view Name, const TStringArray& Keys) {
  F->Add(Name, Keys);
}

void TEntryBatch::Clear() {
  F->Clear();
}

size_t TEntryBatch::Size() const {
  return F->Entries.size();
}

void TEntryBatch::Sort() {
  F->Sort();
}

void TEntryBatch::TImpl::Add(std::string_view Name, const TStringArray& Keys) {
  if (Keys.empty()) return;
  const auto name = static_cast<uint32_t>(Names.size());
  Names.push_back(NameText.StoreSlot(Name));
  for (const AnsiString& key : Keys) {
    bool exact;
    uint64_t code = EncodeKey(key, exact);
    uint32_t longKey = 0;
    if (!exact) {
      // Ordered as the dictionary stores it, lower-cased, so that keys differing only in case
      // are one key here too. Exact keys hold only digits and "+", which have no case.
      LongKeys.push_back(key);
      AnsiString& folded = LongKeys.back();
      if (!folded.empty()) platform::LowerCaseAnsi(&folded[0], folded.size());
      code = EncodeKey(folded, exact);
      longKey = static_cast<uint32_t>(LongKeys.size());
    }
    Entries.push_back({code, name, longKey});
  }
  Sorted = Entries.size() < 2;
}

void TEntryBatch::TImpl::Clear() {
  Names.clear();
  Entries.clear();
  LongKeys.clear();
  NameText.Clear();
  Sorted = true;
}

std::string_view TEntryBatch::TImpl::KeyView(const TEntry& Entry, char (&Buffer)[16]) const {
  if (Entry.LongKey) return LongKeys[Entry.LongKey - 1];
  return DecodeKey(Entry.Code, Buffer);
}

AnsiString TEntryBatch::TImpl::KeyOf(const TEntry& Entry) const {
  char buffer[CodeBytes];
  return AnsiString(KeyView(Entry, buffer));
}

bool TEntryBatch::TImpl::KeyLess(const TEntry& A, const TEntry& B) const {
  if (!A.LongKey && !B.LongKey) return false;
  return KeyOf(A) < KeyOf(B);
}

void TEntryBatch::TImpl::Sort() {
  if (Sorted) return;
  RadixSortByCode(Entries, Pool);
  SortRunsOfLongKeys();
  Sorted = true;
}

// Equal codes order their entries only when both are exact; other runs of equal codes are sorted
// by the whole keys, still keeping the order of equal ones.
void TEntryBatch::TImpl::SortRunsOfLongKeys() {
  if (LongKeys.empty()) return;
  for (auto run = Entries.begin(); run != Entries.end();) {
    const uint64_t code = run->Code;
    auto end = run;
    bool inexact = false;
    for (; end != Entries.end() && end->Code == code; ++end)
      inexact |= end->LongKey != 0;
    if (inexact && end - run > 1)
      std::stable_sort(run, end,
                       [this](const TEntry& A, const TEntry& B) { return KeyLess(A, B); });
    run = end;
  }
}

// Whether Entry of Batch orders before Key (whose code is Code); equal codes compare whole keys
// only where one of them is inexact.
bool TEntryBatch::TImpl::Before(const TEntry& Entry, uint64_t Code, bool Exact,
                                std::string_view Key) const {
  if (Entry.Code != Code) return Entry.Code < Code;
  if (!Entry.LongKey && Exact) return false;
  char buffer[CodeBytes];
  return KeyView(Entry, buffer) < Key;
}

bool TEntryBatch::TImpl::After(const TEntry& Entry, uint64_t Code, bool Exact,
                               std::string_view Key) const {
  if (Entry.Code != Code) return Entry.Code > Code;
  if (!Entry.LongKey && Exact) return false;
  char buffer[CodeBytes];
  return KeyView(Entry, buffer) > Key;
}

void TEntryBatch::TImpl::StoreRange(TRBStringList& Dictionary, const TImpl& First, TRange InFirst,
                                    const TImpl& Second, TRange InSecond) {
  char key[CodeBytes];
  const auto store = [&](const TImpl& Batch, const TEntry& Entry) {
    Dictionary.SetStoredValue(Batch.KeyView(Entry, key), Batch.Names[Entry.Name]);
  };
  // Of equal keys the first batch's go first: they came earlier in the file.
  const auto secondFirst = [&](const TEntry& A, const TEntry& B) {
    if (A.Code != B.Code) return A.Code < B.Code;
    if (!A.LongKey && !B.LongKey) return false;
    return Second.KeyOf(A) < First.KeyOf(B);
  };
  const TEntry* a = First.Entries.data() + InFirst.Begin;
  const TEntry* b = Second.Entries.data() + InSecond.Begin;
  const TEntry* const aEnd = First.Entries.data() + InFirst.End;
  const TEntry* const bEnd = Second.Entries.data() + InSecond.End;
  // The names of consecutive keys lie anywhere: fetch those of the entries a few steps ahead.
  constexpr ptrdiff_t Ahead = 16;
  const auto prefetch = [](const TImpl& Batch, const TEntry* At, const TEntry* End) {
    if (End - At > Ahead) Prefetch(Batch.Names[At[Ahead].Name]);
  };
  while (a != aEnd || b != bEnd) {
    prefetch(First, a, aEnd);
    prefetch(Second, b, bEnd);
    if (a == aEnd || (b != bEnd && secondFirst(*b, *a)))
      store(Second, *b++);
    else
      store(First, *a++);
  }
}

void TEntryBatch::StoreSorted(TRBStringList& Dictionary, TEntryBatch& FirstBatch,
                              TEntryBatch& SecondBatch) {
  using TEntry = TImpl::TEntry;
  TImpl& First = *FirstBatch.F;
  TImpl& Second = *SecondBatch.F;
  First.Sort();
  Second.Sort();
  // The names are viewed where they are; the dictionary keeps them from now on.
  Dictionary.AdoptText(std::move(First.NameText));
  Dictionary.AdoptText(std::move(Second.NameText));
  const size_t firstSize = First.Entries.size(), secondSize = Second.Entries.size();

  if (firstSize + secondSize < MinSplitEntries) {
    TImpl::StoreRange(Dictionary, First, {0, firstSize}, Second, {0, secondSize});
  } else {
    // Two halves of the key range, each stored by a thread of its own into a tree of its own;
    // the key between them joins the trees. Its value is that of its last entry in file order.
    const TImpl& larger = firstSize >= secondSize ? First : Second;
    const AnsiString middle = larger.KeyOf(larger.Entries[larger.Entries.size() / 2]);
    bool exact;
    const uint64_t code = EncodeKey(middle, exact);
    const auto bounds = [&](const TImpl& Batch) {
      const auto& entries = Batch.Entries;
      const auto low = std::partition_point(entries.begin(), entries.end(), [&](const TEntry& E) {
        return Batch.Before(E, code, exact, middle);
      });
      const auto high = std::partition_point(low, entries.end(), [&](const TEntry& E) {
        return !Batch.After(E, code, exact, middle);
      });
      return std::make_pair(static_cast<size_t>(low - entries.begin()),
                            static_cast<size_t>(high - entries.begin()));
    };
    // Plain variables, not bindings: the lambda below captures them.
    size_t firstLow, firstHigh, secondLow, secondHigh;
    std::tie(firstLow, firstHigh) = bounds(First);
    std::tie(secondLow, secondHigh) = bounds(Second);
    const std::string_view* const middleValue =
        secondHigh > secondLow ? Second.Names[Second.Entries[secondHigh - 1].Name]
                               : First.Names[First.Entries[firstHigh - 1].Name];
    TRBStringList upper(nullptr, First.Pool);
    TSideTask storeUpper([&] {
      TImpl::StoreRange(upper, First, {firstHigh, firstSize}, Second, {secondHigh, secondSize});
    });
    TImpl::StoreRange(Dictionary, First, {0, firstLow}, Second, {0, secondLow});
    storeUpper.Wait();
    Dictionary.JoinStored(middle, middleValue, std::move(upper));
  }
  for (TImpl* batch : {&First, &Second}) {
    batch->Names.clear();
    batch->Entries.clear();
    batch->LongKeys.clear();
    batch->Sorted = true;
  }
}
