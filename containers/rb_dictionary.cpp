#include "containers/rb_dictionary.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace {
TRBKeyData* EntryOf(const TRBNode* Node) { return static_cast<TRBKeyData*>(Node->Key); }
AnsiString* ValueCell(void* Data) { return static_cast<AnsiString*>(Data); }

// Created before the main window exists and closed at exit; nobody ever waits on it, its name
// existing is the whole point. Another running instance makes the creation open the same object.
class TInstanceMutex {
public:
  TInstanceMutex()
      : FHandle(platform::CreateSharedMutex("Global\\{7E41B0C2-5A9D-4F13-B8E6-0C2D94A61F58}")) {}
  TInstanceMutex(const TInstanceMutex&) = delete;
  TInstanceMutex& operator=(const TInstanceMutex&) = delete;
  ~TInstanceMutex() {
    platform::CloseSharedMutex(FHandle);
    FHandle = nullptr;
  }
  void* Handle() const { return FHandle; }

private:
  void* FHandle;
};

const TInstanceMutex GInstanceMutex;
} // namespace

void* InstanceMutex() { return GInstanceMutex.Handle(); }

void TRBClearEnumerator::Visit(TRBNode* Node) {
  TRBKeyData* entry = EntryOf(Node);
  if (OnDispose) OnDispose(entry->Data);
  delete entry;
  Node->Key = nullptr;
}

void TRBAssignToEnumerator::Visit(TRBNode* Node) {
  const TRBKeyData* entry = EntryOf(Node);
  FLine.assign(entry->Key);
  FLine += '=';
  if (entry->Data) FLine += *ValueCell(entry->Data);
  Target->Add(FLine);
}

void TRBCustomDictionary::Clear() {
  std::unique_ptr<TCustomRBEnumerator> visitor = GetClearEnumeratorClass()();
  visitor->OnDispose = [this](void* Data) { DisposeData(Data); };
  ForEach(*visitor);
  visitor.reset();
  FTree.Clear();
}

void TRBCustomDictionary::ForEach(TCustomRBEnumerator& Visitor) {
  TRBNode* node = FTree.FirstNode();
  TRBNode* const last = FTree.LastNode();
  while (node != last) {
    Visitor.Visit(node);
    node = TRBTree::NextNode(node);
  }
  if (node) Visitor.Visit(node);
}

int CompareKeyData(const void* A, const void* B) {
  const AnsiString& a = static_cast<const TRBKeyData*>(A)->Key;
  const AnsiString& b = static_cast<const TRBKeyData*>(B)->Key;
  const size_t common = std::min(a.size(), b.size());
  const int r = common ? std::memcmp(a.data(), b.data(), common) : 0;
  if (r != 0) return r < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

TRBEnumeratorClass TRBCustomStringDictionary::GetClearEnumeratorClass() const {
  return []() -> std::unique_ptr<TCustomRBEnumerator> {
    return std::make_unique<TRBClearEnumerator>();
  };
}

TRBKeyData* TRBCustomStringDictionary::Lookup(const TRBKeyData& Probe) const {
  const TRBNode* node = FTree.Find(&Probe);
  return node ? EntryOf(node) : nullptr;
}

TRBKeyData* TRBCustomStringDictionary::FindKey(const AnsiString& Key) const {
  TRBKeyData probe;
  probe.Key = Key;
  return Lookup(probe);
}

TRBKeyData* TRBCustomStringDictionary::FindOrAdd(AnsiString Key, int32_t Tag, bool* Added) {
  if (Added) *Added = false;
  // The key lives in the probe until it moves on into a new entry: one string for both.
  TRBKeyData probe;
  probe.Key = std::move(Key);
  if (UniqueKeys) {
    if (TRBKeyData* found = Lookup(probe)) return found;
  }
  auto entry = std::make_unique<TRBKeyData>();
  entry->Key = std::move(probe.Key);
  entry->Tag = Tag;
  TRBKeyData* const present = EntryOf(FTree.Add(entry.get()));
  if (present != entry.get()) return present;
  if (Added) *Added = true;
  return entry.release();
}

void TRBStringList::DisposeData(void* Data) { delete ValueCell(Data); }

void TRBStringList::SetValue(const AnsiString& Key, AnsiString Value) {
  UniqueKeys = true;
  AnsiString lowered = Key;
  if (!lowered.empty()) platform::AnsiLowerBuff(&lowered[0], lowered.size());
  TRBKeyData* entry = FindOrAdd(std::move(lowered), -1);
  if (entry->Data)
    *ValueCell(entry->Data) = std::move(Value);
  else
    entry->Data = new AnsiString(std::move(Value));
}

void TRBStringList::AssignTo(TStrings& Target) {
  Target.Clear();
  Target.SetCapacity(static_cast<int>(FTree.Count()));
  TRBAssignToEnumerator visitor(&Target);
  ForEach(visitor);
}
