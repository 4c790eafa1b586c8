#pragma once
// An ordered set of opaque keys: a red-black tree with parent links and null leaves. Every
// decision about order goes through the comparison function; the keys stay the caller's.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "support/block_pool.h"

struct TRBNode {
  void* Key;
  TRBNode* Left;
  TRBNode* Right;
  TRBNode* Parent;
  uint8_t Color; // TRBTree::Red or TRBTree::Black
};

// Negative when A orders before B, zero when equal, positive after; only the sign counts.
using TRBCompareFunc = int (*)(const void* A, const void* B);

// Node storage in big blocks, handed out one slot after the other and given back only all at
// once: no heap block per node, and the nodes can be walked in memory order.
class TRBNodeArena {
public:
  // Slots are SlotSize rounded up to the alignment of a pointer, one right after the other: a
  // node and what it carries need no more, and millions of them fill less memory so. Pool,
  // when given, holds the blocks and must outlive every arena that comes to hold them.
  explicit TRBNodeArena(size_t SlotSize, TBlockPool* Pool = nullptr);
  TRBNodeArena(const TRBNodeArena&) = delete;
  TRBNodeArena& operator=(const TRBNodeArena&) = delete;
  ~TRBNodeArena() { Release(); }

  // The next free slot; it stays free until Commit, so a caller that changes its mind just does
  // not commit. Throws std::bad_alloc, and then nothing has changed.
  char* Reserve() {
    if (FNext == FEnd) Grow();
    return FNext;
  }
  void Commit() { FNext += FSlotSize; }
  // Frees every block; what the slots hold is not destroyed.
  void Release();
  // Other's slots become this arena's, where they are, after this arena's own; Other is left
  // empty. Slots are handed out from Other's open block from then on, so that the slots stay in
  // the order they were committed.
  void Adopt(TRBNodeArena&& Other);

  // Calls Visit for every committed slot, in the order they were committed; with Ahead, also
  // Ahead for the slot Distance slots further on in the same block, where there is one.
  template <typename TVisit> void ForEachSlot(TVisit Visit) const {
    ForEachSlot(
        Visit, [](char*) {}, 0);
  }
  template <typename TVisit, typename TAhead>
  void ForEachSlot(TVisit Visit, TAhead Ahead, size_t Distance) const;

  // The committed slots as runs of consecutive memory, in the order they were committed, each of
  // at most MaxSlots slots, so that several threads can walk a share each.
  struct TRun {
    char* Begin;
    char* End;
  };
  std::vector<TRun> Runs(size_t MaxSlots) const;
  template <typename TVisit, typename TAhead>
  void ForEachSlotIn(const TRun& Run, TVisit Visit, TAhead Ahead, size_t Distance) const;

private:
  struct TBlock {
    TPoolBlock Memory;
    char* Begin;
    char* End;
    char* Used; // the end of the committed slots, once the block is no longer the open one
  };
  void Grow();

  size_t FSlotSize;
  TBlockPool* FPool;
  size_t FNextSlots;           // capacity of the block Grow makes next
  std::vector<TBlock> FBlocks; // the last one is the open one
  char* FNext = nullptr;
  char* FEnd = nullptr;
};

class TRBTree {
public:
  static constexpr uint8_t Red = 0;
  static constexpr uint8_t Black = 1;

  // Every node gets PayloadSize bytes of storage of its own, right before it and aligned for a
  // pointer (see Payload). The nodes' storage comes from Pool when one is given.
  explicit TRBTree(TRBCompareFunc Compare, size_t PayloadSize = 0, TBlockPool* Pool = nullptr);
  TRBTree(const TRBTree&) = delete;
  TRBTree& operator=(const TRBTree&) = delete;
  ~TRBTree() { Clear(); }

  // The node whose key compares equal to Key, or null.
  TRBNode* Find(const void* Key) const { return FindBy(Key, FCompare); }
  // The new node; when an equal key is present, that node, and the tree stays as it was.
  TRBNode* Add(void* Key) { return AddBy(Key, FCompare); }
  // Add with a hint for keys that mostly come in ascending order: a key after LastNode is linked
  // on at the right end without a descent, one equal to LastNode finds it at once; any other key
  // goes through Add. A sorted batch so builds the tree in linear time.
  TRBNode* AddLast(void* Key) { return AddLastBy(Key, FCompare); }
  // Find and Add with a comparison the caller can inline. It must order exactly as Compare()
  // does; it is called with the same arguments in the same order.
  template <typename TCompare> TRBNode* FindBy(const void* Key, TCompare Compare) const;
  template <typename TCompare> TRBNode* AddBy(void* Key, TCompare Compare);
  template <typename TCompare> TRBNode* AddLastBy(void* Key, TCompare Compare);
  // Appends Right after this tree's last node with Key between them: every key of this tree must
  // order before Key and Key before every key of Right, which is not checked. Right's nodes
  // stay where they are and become this tree's, with what their payloads hold; Right is left
  // empty. The new node for Key is returned; like a node of Add, it comes with the payload
  // NextPayload showed.
  TRBNode* Join(void* Key, TRBTree&& Right);
  // The in-order successor. Never ask it for LastNode: the climb would run off the root.
  static TRBNode* NextNode(TRBNode* Node);
  // Frees the nodes, not the keys, and not what the caller built in the payloads.
  void Clear();

  // The storage the node of the next Add will come with, so that a caller can build its key
  // there first. Until a node is added it stays the next one's.
  void* NextPayload() { return FArena.Reserve(); }
  // The storage that came with Node; it ends where the node begins.
  void* Payload(TRBNode* Node) const { return reinterpret_cast<char*>(Node) - FPayloadSpan; }
  // Calls Visit for every node, in the order they were added (after a Join this tree's nodes,
  // the joining key's, then Right's), which is memory order: far cheaper than the in-order walk.
  template <typename TVisit> void ForEachInAddOrder(TVisit Visit) const {
    FArena.ForEachSlot([&](char* Slot) { Visit(NodeIn(Slot)); });
  }
  // The same, calling Ahead for the node Distance nodes further on, mostly, before each visit.
  template <typename TVisit, typename TAhead>
  void ForEachInAddOrder(TVisit Visit, TAhead Ahead, size_t Distance) const {
    FArena.ForEachSlot([&](char* Slot) { Visit(NodeIn(Slot)); },
                       [&](char* Slot) { Ahead(NodeIn(Slot)); }, Distance);
  }
  // The nodes in add order as runs of consecutive memory, for walks shared among threads.
  using TRun = TRBNodeArena::TRun;
  std::vector<TRun> AddOrderRuns(size_t MaxNodes) const { return FArena.Runs(MaxNodes); }
  template <typename TVisit, typename TAhead>
  void ForEachInRun(const TRun& Run, TVisit Visit, TAhead Ahead, size_t Distance) const {
    FArena.ForEachSlotIn(
        Run, [&](char* Slot) { Visit(NodeIn(Slot)); }, [&](char* Slot) { Ahead(NodeIn(Slot)); },
        Distance);
  }
  // True when the order the nodes were added in is ascending key order, so that
  // ForEachInAddOrder walks them in order: every node added so far was added at the right end
  // (a key after every key before it, as a sorted batch comes), and a Join joined two such trees.
  bool AddOrderIsKeyOrder() const { return FAddOrderIsKeyOrder; }

  TRBNode* Root() const { return FRoot; }
  TRBNode* FirstNode() const { return FFirstNode; }
  TRBNode* LastNode() const { return FLastNode; }
  TRBCompareFunc Compare() const { return FCompare; }
  size_t Count() const { return FCount; }

private:
  // Black nodes from Node down to a leaf, Node included.
  static int BlackHeight(const TRBNode* Node);
  void RotateLeft(TRBNode* X);
  void RotateRight(TRBNode* X);
  void FixUpAfterInsert(TRBNode* X);
  // Links Fresh as Parent's Left or Right child and restores the colours.
  void Link(TRBNode* Fresh, TRBNode* Parent, bool AsLeft);
  TRBNode* NodeIn(char* Slot) const { return reinterpret_cast<TRBNode*>(Slot + FPayloadSpan); }

  TRBNode* FRoot = nullptr;
  TRBNode* FFirstNode = nullptr;
  TRBNode* FLastNode = nullptr;
  TRBCompareFunc FCompare;
  size_t FCount = 0;
  size_t FPayloadSpan;
  bool FAddOrderIsKeyOrder = true;
  TRBNodeArena FArena;
};

template <typename TVisit, typename TAhead>
void TRBNodeArena::ForEachSlotIn(const TRun& Run, TVisit Visit, TAhead Ahead,
                                 size_t Distance) const {
  const size_t reach = Distance * FSlotSize;
  char* slot = Run.Begin;
  if (reach > 0)
    for (; static_cast<size_t>(Run.End - slot) > reach; slot += FSlotSize) {
      Ahead(slot + reach);
      Visit(slot);
    }
  for (; slot != Run.End; slot += FSlotSize)
    Visit(slot);
}

template <typename TVisit, typename TAhead>
void TRBNodeArena::ForEachSlot(TVisit Visit, TAhead Ahead, size_t Distance) const {
  for (const TBlock& block : FBlocks)
    ForEachSlotIn({block.Begin, &block == &FBlocks.back() ? FNext : block.Used}, Visit, Ahead,
                  Distance);
}

template <typename TCompare> TRBNode* TRBTree::FindBy(const void* Key, TCompare Compare) const {
  TRBNode* node = FRoot;
  while (node) {
    const int r = Compare(node->Key, Key);
    if (r < 0)
      node = node->Right;
    else if (r > 0)
      node = node->Left;
    else
      return node;
  }
  return nullptr;
}

template <typename TCompare> TRBNode* TRBTree::AddBy(void* Key, TCompare Compare) {
  // Reserved first, so that running out of memory leaves the tree untouched; a refused key
  // leaves the slot uncommitted, free for the next one.
  TRBNode* const fresh =
      new (FArena.Reserve() + FPayloadSpan) TRBNode{Key, nullptr, nullptr, nullptr, Red};

  // Strict tests: an equal key never moves the ends, so a refused duplicate cannot either.
  TRBNode* const oldFirst = FFirstNode;
  TRBNode* const oldLast = FLastNode;
  if (!FFirstNode || Compare(Key, FFirstNode->Key) < 0) FFirstNode = fresh;
  if (!FLastNode || Compare(FLastNode->Key, Key) < 0) FLastNode = fresh;

  TRBNode* parent = nullptr;
  TRBNode* node = FRoot;
  while (node) {
    parent = node;
    const int r = Compare(Key, node->Key);
    if (r < 0) {
      node = node->Left;
    } else if (r > 0) {
      node = node->Right;
    } else {
      // Only an inconsistent comparison gets here with a moved end; do not leave it dangling.
      FFirstNode = oldFirst;
      FLastNode = oldLast;
      return node;
    }
  }

  FArena.Commit();
  Link(fresh, parent, parent && Compare(Key, parent->Key) < 0);
  // Only a node that became the last one keeps the nodes in key order as they were added.
  if (FLastNode != fresh) FAddOrderIsKeyOrder = false;
  return fresh;
}

template <typename TCompare> TRBNode* TRBTree::AddLastBy(void* Key, TCompare Compare) {
  if (!FLastNode) return AddBy(Key, Compare);
  const int r = Compare(FLastNode->Key, Key);
  if (r == 0) return FLastNode;
  if (r > 0) return AddBy(Key, Compare);
  TRBNode* const fresh =
      new (FArena.Reserve() + FPayloadSpan) TRBNode{Key, nullptr, nullptr, nullptr, Red};
  FArena.Commit();
  // The largest node has no right child: that is where a larger key belongs.
  TRBNode* const parent = FLastNode;
  FLastNode = fresh;
  Link(fresh, parent, false);
  return fresh;
}
