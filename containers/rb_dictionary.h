#pragma once
// Dictionaries over TRBTree: sorted, unique string keys. TRBStringList maps keys to string
// values and writes itself into a string list as "key=value" lines in ascending byte order of
// the keys. Work over every entry is done by visitors derived from TCustomRBEnumerator.
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/strings.h"
#include "base/system.h"
#include "containers/rb_tree.h"
#include "containers/text_arena.h"

// An entry's key: a counted string of bytes, up to 15 of them in place, so that an entry and its
// tree node fill one cache line; a longer key is in a block of its own.
class TRBKey {
public:
  TRBKey() = default;
  TRBKey(std::string_view Text) { Assign(Text); }
  TRBKey(const TRBKey& Other) { Assign(Other); }
  TRBKey(TRBKey&& Other) noexcept;
  TRBKey& operator=(std::string_view Text);
  TRBKey& operator=(const TRBKey& Other) { return *this = std::string_view(Other); }
  TRBKey& operator=(TRBKey&& Other) noexcept;
  ~TRBKey() { Free(); }

  // Whether the key is in place, which needs nothing done when it goes.
  bool InPlace() const { return !IsFar(); }
  const char* data() const { return IsFar() ? FarData() : FBytes; }
  char* data() { return IsFar() ? FarData() : FBytes; }
  size_t size() const;
  bool empty() const { return size() == 0; }
  operator std::string_view() const { return {data(), size()}; }

private:
  static constexpr size_t MostInPlace = 15;
  // The last byte: the count of a key in place, or this for one in a block of its own, whose
  // address and length then stand at the start.
  static constexpr unsigned char Far = 0xFF;
  bool IsFar() const { return static_cast<unsigned char>(FBytes[MostInPlace]) == Far; }
  char* FarData() const;
  void Assign(std::string_view Text);
  void Free();

  char FBytes[MostInPlace + 1] = {};
};

// One entry; the tree's keys point to these. Key comes last, right before the tree node that
// follows the entry in its slot.
struct TRBKeyData {
  // The cell holding the value, or null while none is set; cells are the dictionary's and may be
  // shared by several entries.
  const std::string_view* Data = nullptr;
  TRBKey Key;
};

class TCustomRBEnumerator {
public:
  TCustomRBEnumerator() = default;
  TCustomRBEnumerator(const TCustomRBEnumerator&) = delete;
  TCustomRBEnumerator& operator=(const TCustomRBEnumerator&) = delete;
  virtual ~TCustomRBEnumerator() = default;

  // Called once per node, in ascending key order; the node's Key is its TRBKeyData.
  virtual void Visit(TRBNode* Node) = 0;
};

// Appends "key=value" for each entry to Target.
class TRBAssignToEnumerator : public TCustomRBEnumerator {
public:
  explicit TRBAssignToEnumerator(TStrings* Target = nullptr) : Target(Target) {}
  void Visit(TRBNode* Node) override;

  TStrings* Target; // not owned

private:
  AnsiString FLine; // reused, so a line costs only the target's own copy
};

class TRBCustomDictionary {
public:
  // PayloadSize: the storage each tree node carries for its entry (see TRBTree::Payload). Pool,
  // when given, holds the nodes and must outlive the dictionary.
  explicit TRBCustomDictionary(TRBCompareFunc Compare, size_t PayloadSize = 0,
                               TBlockPool* Pool = nullptr)
      : FTree(Compare, PayloadSize, Pool) {}
  TRBCustomDictionary(const TRBCustomDictionary&) = delete;
  TRBCustomDictionary& operator=(const TRBCustomDictionary&) = delete;
  // Frees the tree only: a base destructor cannot reach a subclass's entries, so every subclass
  // that owns entries calls Clear in its own destructor.
  virtual ~TRBCustomDictionary() = default;

  // Frees every entry and its data; the dictionary stays usable.
  virtual void Clear();

  // Visits every node in ascending key order, without recursion. Ahead, when given, is called
  // for the node a few steps before its visit, to fetch what the visit will read.
  void ForEach(TCustomRBEnumerator& Visitor, void (*Ahead)(const TRBNode*) = nullptr);

  const TRBTree& Tree() const { return FTree; }

protected:
  TRBTree FTree;
};

// Unsigned bytes, a prefix before its extensions; -1, 0 or +1. Compares TRBKeyData entries.
int CompareKeyData(const void* A, const void* B);

class TRBCustomStringDictionary : public TRBCustomDictionary {
public:
  // Without a comparison function, CompareKeyData.
  explicit TRBCustomStringDictionary(TRBCompareFunc Compare = nullptr)
      : TRBCustomStringDictionary(Compare, nullptr) {}
  ~TRBCustomStringDictionary() override { Clear(); }

  // Frees every entry, visiting the nodes in memory order, not key order.
  void Clear() override;

  // The entry whose key compares equal to Key as given (no case folding), or null.
  TRBKeyData* FindKey(const AnsiString& Key) const;
  // The entry for Key, made without data when there was none; Added tells which. With UniqueKeys
  // off the key is not looked up first, but the tree still keeps the entry present for it.
  TRBKeyData* FindOrAdd(TRBKey Key, bool* Added = nullptr);

  bool UniqueKeys = true;

protected:
  // Each entry lives in its tree node's payload: no heap block per entry.
  TRBCustomStringDictionary(TRBCompareFunc Compare, TBlockPool* Pool);
  // A new entry at Where, holding Key.
  TRBKeyData* NewEntry(void* Where, TRBKey&& Key);

  // Entries whose key is not in place, which Clear must destroy one by one.
  size_t FKeysApart = 0;

private:
  TRBKeyData* Lookup(const TRBKeyData& Probe) const;
};

class TRBStringList : public TRBCustomStringDictionary {
public:
  // The value slots and their text are stored in big blocks, apart from the entries. Pool, when
  // given, holds the nodes and the text and must outlive the dictionary.
  explicit TRBStringList(TRBCompareFunc Compare = nullptr, TBlockPool* Pool = nullptr)
      : TRBCustomStringDictionary(Compare, Pool), FText(Pool) {}
  ~TRBStringList() override { Clear(); }

  // The entries, and the cells and text of their values.
  void Clear() override;

  // Stores a copy of Value under Key lower-cased by the ANSI code page; the last value for a key
  // wins. Keys in ascending order are added without a descent of the tree.
  void SetValue(std::string_view Key, std::string_view Value);
  // Text and slots that SetStoredValue's values may be; they stay until Clear or destruction.
  void AdoptText(TTextArena&& Text) { FText.Adopt(std::move(Text)); }
  // SetValue without the copy: Value is a slot of text given to AdoptText, and many keys may
  // share it.
  void SetStoredValue(std::string_view Key, const std::string_view* Value);
  // Adds Right's entries and Key with its stored Value, with Right's tree joined to this one in a
  // single step where every key here orders before Key and Key before every key of Right (as
  // stored, lower-cased), and one entry at a time otherwise. Right is left empty.
  void JoinStored(std::string_view Key, const std::string_view* Value, TRBStringList&& Right);
  // Empties Target and appends one "key=value" line per entry in ascending key order. The
  // caller brackets it with Target's BeginUpdate and EndUpdate.
  void AssignTo(TStrings& Target);

private:
  TTextArena FText;
};
