#include "containers/rb_dictionary.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "support/prefetch.h"
#include "support/side_task.h"

namespace {
TRBKeyData* EntryOf(const TRBNode* Node) {
  return static_cast<TRBKeyData*>(Node->Key);
}
size_t AlignedSize(size_t Size) {
  return (Size + alignof(TRBKeyData) - 1) / alignof(TRBKeyData) * alignof(TRBKeyData);
}

uint64_t LoadBigEndian64(const unsigned char* P) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;
  std::memcpy(&v, P, sizeof v);
  return __builtin_bswap64(v);
#else
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i)
    v = v << 8 | P[i];
  return v;
#endif
}

// Eight bytes at a time: the keys of neighbouring nodes share long prefixes, and a call of
// memcmp per tree level costs more than the comparison itself.
inline int CompareKeyStrings(std::string_view A, std::string_view B) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(A.data());
  const unsigned char* b = reinterpret_cast<const unsigned char*>(B.data());
  const size_t common = std::min(A.size(), B.size());
  size_t i = 0;
  for (; i + 8 <= common; i += 8) {
    const uint64_t x = LoadBigEndian64(a + i), y = LoadBigEndian64(b + i);
    if (x != y) return x < y ? -1 : 1;
  }
  for (; i < common; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  if (A.size() == B.size()) return 0;
  return A.size() < B.size() ? -1 : 1;
}

// Digits and "+", all a telephone number holds, are the same in every case mapping.
bool IsCaseless(std::string_view Key) {
  for (const char c : Key)
    if ((c < '0' || c > '9') && c != '+') return false;
  return true;
}

// CompareKeyData for the tree to inline.
struct TKeyDataOrder {
  int operator()(const void* A, const void* B) const {
    return CompareKeyStrings(static_cast<const TRBKeyData*>(A)->Key,
                             static_cast<const TRBKeyData*>(B)->Key);
  }
};

// The values lie wherever their text was stored: fetch them before they are read. A value's
// text follows its cell.
void FetchValue(const TRBNode* Node) {
  if (const void* data = EntryOf(Node)->Data) Prefetch(data);
}

// Below this many lines the export goes line by line.
constexpr size_t MinBlockExport = size_t(1) << 15;
// Blocks made ahead of the one being added, at most.
constexpr size_t BlocksAhead = 4;
// Lines per block at most: blocks small enough to stay in the cache, and few enough to be made
// and added in turns without waiting much.
constexpr size_t BlockLines = 8192;
// A phone-book line is about this long; a longer one only costs a copy of its block.
constexpr size_t ExpectedLineBytes = 48;

// The lines of a tree whose nodes lie in key order, made in blocks, a run of nodes each, by two
// threads: the list's own thread adds the blocks in order and makes the next one itself whenever
// it would otherwise wait; a second thread makes blocks ahead of it. A list whose adding takes
// long (a window's) gets nearly every block made, and prepared, by the second thread; one whose
// adding is quick (a file's) gets them made by both.
class TLineExport {
public:
  TLineExport(const TRBTree& Tree, TStrings& Target)
      : FTree(Tree), FTarget(Target), FRuns(Tree.AddOrderRuns(BlockLines)) {}

  void Run() {
    TSideTask helper([this] { MakeAhead(); });
    // Destroyed before the helper, which it wakes to end: also when adding raises.
    struct TStopper {
      TLineExport& Export;
      ~TStopper() { Export.Stop(); }
    } stopper{*this};
    std::unique_lock<std::mutex> lock(FLock);
    while (FNextToAdd < FRuns.size() && !FError) {
      const size_t slot = FNextToAdd % BlocksAhead;
      if (FReady[slot] && FReadyRun[slot] == FNextToAdd) {
        lock.unlock();
        FTarget.AddLines(FBlocks[slot]);
        lock.lock();
        FReady[slot] = false;
        ++FNextToAdd;
        FChanged.notify_all();
      } else if (FNextToMake < FRuns.size() && FNextToMake < FNextToAdd + BlocksAhead) {
        const size_t run = FNextToMake++;
        lock.unlock();
        Make(run);
        lock.lock();
      } else {
        FChanged.wait(lock);
      }
    }
    lock.unlock();
    Stop();
    helper.Wait();
    if (FError) std::rethrow_exception(FError);
  }

private:
  void Stop() {
    std::lock_guard<std::mutex> lock(FLock);
    FStop = true;
    FChanged.notify_all();
  }

  void MakeAhead() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
      FChanged.wait(lock, [this] {
        return FStop || FNextToMake >= FRuns.size() || FNextToMake < FNextToAdd + BlocksAhead;
      });
      if (FStop || FNextToMake >= FRuns.size()) return;
      const size_t run = FNextToMake++;
      lock.unlock();
      try {
        Make(run);
      } catch (...) {
        lock.lock();
        FError = std::current_exception();
        FChanged.notify_all();
        return;
      }
      lock.lock();
    }
  }

  // "key=value" for every node of the run, then the list's preparation; marks the block ready.
  void Make(size_t Run) {
    TLineBlock& block = FBlocks[Run % BlocksAhead];
    block.Clear();
    // Reserved once for the usual lines: a block that grew by doubling would copy itself into
    // fresh memory a few times. It keeps its memory for the blocks it holds later.
    block.Bytes.reserve(BlockLines * ExpectedLineBytes);
    block.Ends.reserve(BlockLines);
    FTree.ForEachInRun(
        FRuns[Run],
        [&](TRBNode* Node) {
          const TRBKeyData* entry = EntryOf(Node);
          block.Bytes.append(entry->Key.data(), entry->Key.size());
          block.Bytes += '=';
          if (entry->Data) block.Bytes += *entry->Data;
          block.Ends.push_back(block.Bytes.size());
        },
        FetchValue, 16);
    FTarget.PrepareLines(block);
    std::lock_guard<std::mutex> lock(FLock);
    FReady[Run % BlocksAhead] = true;
    FReadyRun[Run % BlocksAhead] = Run;
    FChanged.notify_all();
  }

  const TRBTree& FTree;
  TStrings& FTarget;
  const std::vector<TRBTree::TRun> FRuns;
  TLineBlock FBlocks[BlocksAhead];
  bool FReady[BlocksAhead] = {};
  size_t FReadyRun[BlocksAhead] = {};
  std::mutex FLock;
  std::condition_variable FChanged;
  size_t FNextToMake = 0;
  size_t FNextToAdd = 0;
  bool FStop = false;
  std::exception_ptr FError;
};

} // namespace

TRBKey::TRBKey(TRBKey&& Other) noexcept {
  std::memcpy(FBytes, Other.FBytes, sizeof FBytes);
  std::memset(Other.FBytes, 0, sizeof Other.FBytes);
}

TRBKey& TRBKey::operator=(TRBKey&& Other) noexcept {
  if (this != &Other) {
    Free();
    std::memcpy(FBytes, Other.FBytes, sizeof FBytes);
    std::memset(Other.FBytes, 0, sizeof Other.FBytes);
  }
  return *this;
}

TRBKey& TRBKey::operator=(std::string_view Text) {
  // The text may be this key's own.
  TRBKey copy(Text);
  return *this = std::move(copy);
}

size_t TRBKey::size() const {
  if (!IsFar()) return static_cast<unsigned char>(FBytes[MostInPlace]);
  uint32_t size;
  std::memcpy(&size, FBytes + sizeof(char*), sizeof size);
  return size;
}

char* TRBKey::FarData() const {
  char* data;
  std::memcpy(&data, FBytes, sizeof data);
  return data;
}

void TRBKey::Assign(std::string_view Text) {
  if (Text.size() <= MostInPlace) {
    if (!Text.empty()) std::memcpy(FBytes, Text.data(), Text.size());
    FBytes[MostInPlace] = static_cast<char>(Text.size());
    return;
  }
  // A key comes from a file of less than 2 GiB.
  char* const data = new char[Text.size()];
  std::memcpy(data, Text.data(), Text.size());
  const auto size = static_cast<uint32_t>(Text.size());
  std::memcpy(FBytes, &data, sizeof data);
  std::memcpy(FBytes + sizeof data, &size, sizeof size);
  FBytes[MostInPlace] = static_cast<char>(Far);
}

void TRBKey::Free() {
  if (IsFar()) delete[] FarData();
}

void TRBAssignToEnumerator::Visit(TRBNode* Node) {
  const TRBKeyData* entry = EntryOf(Node);
  FLine.assign(entry->Key.data(), entry->Key.size());
  FLine += '=';
  if (entry->Data) FLine += *entry->Data;
  Target->Add(FLine);
}

void TRBCustomDictionary::Clear() {
  FTree.Clear();
}

void TRBCustomDictionary::ForEach(TCustomRBEnumerator& Visitor, void (*Ahead)(const TRBNode*)) {
  // Nodes fetched a few visits ahead: the visits read what the nodes point to.
  constexpr int Distance = 16;
  if (FTree.AddOrderIsKeyOrder()) {
    // A tree built at its right end holds its nodes in key order in memory: walked there, the
    // nodes come one after the other instead of one cache miss each.
    const auto visit = [&](TRBNode* Node) { Visitor.Visit(Node); };
    if (Ahead)
      FTree.ForEachInAddOrder(visit, Ahead, Distance);
    else
      FTree.ForEachInAddOrder(visit);
    return;
  }
  TRBNode* node = FTree.FirstNode();
  TRBNode* const last = FTree.LastNode();
  // A second walk a few nodes ahead of the visits.
  TRBNode* ahead = Ahead ? node : nullptr;
  for (int i = 0; ahead && i < Distance; ++i) {
    Ahead(ahead);
    ahead = ahead == last ? nullptr : TRBTree::NextNode(ahead);
  }
  while (node != last) {
    Visitor.Visit(node);
    node = TRBTree::NextNode(node);
    if (ahead) {
      Ahead(ahead);
      ahead = ahead == last ? nullptr : TRBTree::NextNode(ahead);
    }
  }
  if (node) Visitor.Visit(node);
}

int CompareKeyData(const void* A, const void* B) {
  return TKeyDataOrder()(A, B);
}

TRBCustomStringDictionary::TRBCustomStringDictionary(TRBCompareFunc Compare, TBlockPool* Pool)
    : TRBCustomDictionary(Compare ? Compare : CompareKeyData, AlignedSize(sizeof(TRBKeyData)),
                          Pool) {}

void TRBCustomStringDictionary::Clear() {
  // An entry lives in its node's payload, which the tree's Clear releases; only one with a key
  // apart needs to be destroyed first. Every node once, as ForEach would, but without a cache
  // miss per step of the in-order walk.
  if (FKeysApart > 0) FTree.ForEachInAddOrder([](TRBNode* Node) { EntryOf(Node)->~TRBKeyData(); });
  FKeysApart = 0;
  TRBCustomDictionary::Clear();
}

TRBKeyData* TRBCustomStringDictionary::NewEntry(void* Where, TRBKey&& Key) {
  TRBKeyData* const entry = new (Where) TRBKeyData;
  entry->Key = std::move(Key);
  FKeysApart += !entry->Key.InPlace();
  return entry;
}

TRBKeyData* TRBCustomStringDictionary::Lookup(const TRBKeyData& Probe) const {
  const TRBNode* node = FTree.Compare() == CompareKeyData ? FTree.FindBy(&Probe, TKeyDataOrder())
                                                          : FTree.Find(&Probe);
  return node ? EntryOf(node) : nullptr;
}

TRBKeyData* TRBCustomStringDictionary::FindKey(const AnsiString& Key) const {
  TRBKeyData probe;
  probe.Key = Key;
  return Lookup(probe);
}

TRBKeyData* TRBCustomStringDictionary::FindOrAdd(TRBKey Key, bool* Added) {
  if (Added) *Added = false;
  if (FTree.Compare() == CompareKeyData) {
    // The entry is made where the tree's next node will carry it, and handed to the tree as the
    // key; a present key leaves that slot free again. Add's own descent finds a present key just
    // as a lookup would, and a second descent of millions of scattered nodes costs real time.
    TRBKeyData* const entry = NewEntry(FTree.NextPayload(), std::move(Key));
    TRBNode* const node = FTree.AddLastBy(entry, TKeyDataOrder());
    if (node->Key != entry) {
      FKeysApart -= !entry->Key.InPlace();
      entry->~TRBKeyData();
      return EntryOf(node);
    }
    if (Added) *Added = true;
    return entry;
  }
  // The key lives in the probe until it moves on into a new entry: one string for both. The
  // tree is given the probe, and keeps it only if it adds a node.
  TRBKeyData probe;
  probe.Key = std::move(Key);
  if (UniqueKeys) {
    if (TRBKeyData* found = Lookup(probe)) return found;
  }
  TRBNode* const node = FTree.Add(&probe);
  if (node->Key != &probe) return EntryOf(node);
  // Nothing here can throw, so the node never keeps pointing to the probe.
  TRBKeyData* const entry = NewEntry(FTree.Payload(node), std::move(probe.Key));
  node->Key = entry;
  if (Added) *Added = true;
  return entry;
}

void TRBStringList::Clear() {
  TRBCustomStringDictionary::Clear();
  FText.Clear();
}

void TRBStringList::SetValue(std::string_view Key, std::string_view Value) {
  SetStoredValue(Key, FText.StoreSlot(Value));
}

void TRBStringList::SetStoredValue(std::string_view Key, const std::string_view* Value) {
  UniqueKeys = true;
  TRBKey key(Key);
  if (!IsCaseless(key)) platform::LowerCaseAnsi(key.data(), key.size());
  TRBKeyData* entry = FindOrAdd(std::move(key));
  // A cell may be shared: a new value gets a cell of its own instead of changing the old one.
  entry->Data = Value;
}

void TRBStringList::JoinStored(std::string_view Key, const std::string_view* Value,
                               TRBStringList&& Right) {
  FText.Adopt(std::move(Right.FText));
  TRBKeyData probe;
  probe.Key = Key;
  if (!IsCaseless(probe.Key)) platform::LowerCaseAnsi(probe.Key.data(), probe.Key.size());
  const TRBNode* const last = FTree.LastNode();
  const TRBNode* const first = Right.FTree.FirstNode();
  const bool ordered = FTree.Compare() == CompareKeyData &&
                       Right.FTree.Compare() == CompareKeyData &&
                       (!last || CompareKeyData(last->Key, &probe) < 0) &&
                       (!first || CompareKeyData(&probe, first->Key) < 0);
  if (!ordered) {
    SetStoredValue(probe.Key, Value);
    for (TRBNode* node = Right.FTree.FirstNode(); node;) {
      const TRBKeyData* entry = EntryOf(node);
      SetStoredValue(entry->Key, entry->Data ? entry->Data : FText.StoreSlot({}));
      node = node == Right.FTree.LastNode() ? nullptr : TRBTree::NextNode(node);
    }
    Right.Clear();
    return;
  }
  UniqueKeys = true;
  TRBKeyData* const entry = NewEntry(FTree.NextPayload(), std::move(probe.Key));
  entry->Data = Value;
  FKeysApart += std::exchange(Right.FKeysApart, 0);
  FTree.Join(entry, std::move(Right.FTree));
}

void TRBStringList::AssignTo(TStrings& Target) {
  Target.Clear();
  // The lines' bytes would take a walk over every value; the count is what a list needs most.
  Target.SetCapacity(static_cast<int>(FTree.Count()));
  if (FTree.AddOrderIsKeyOrder() && FTree.Count() >= MinBlockExport) {
    TLineExport(FTree, Target).Run();
    return;
  }
  TRBAssignToEnumerator visitor(&Target);
  ForEach(visitor, FetchValue);
}
