#include "containers/rb_tree.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "support/block_pool.h"
#include "support/prefetch.h"

namespace {
bool IsRed(const TRBNode* Node) {
  return Node && Node->Color == TRBTree::Red;
}

constexpr size_t CacheLine = 64;
constexpr size_t FirstBlockBytes = 4096;
// Millions of nodes fill big blocks, which come in large pages where the OS has them; not too big,
// so that they fit into the places a block pool has free.
constexpr size_t MaxBlockBytes = size_t(8) << 20;

size_t RoundUp(size_t N, size_t To) {
  return (N + To - 1) / To * To;
}

void PrefetchNode(const TRBNode* Node) {
  if (Node) Prefetch(Node);
}
size_t SlotsPerBlock(size_t Bytes, size_t SlotSize) {
  return std::max<size_t>(1, Bytes / SlotSize);
}
} // namespace

TRBNodeArena::TRBNodeArena(size_t SlotSize, TBlockPool* Pool)
    : FSlotSize(RoundUp(SlotSize, alignof(void*))), FPool(Pool),
      FNextSlots(SlotsPerBlock(FirstBlockBytes, FSlotSize)) {}

void TRBNodeArena::Grow() {
  const size_t slack = 2 * CacheLine;
  if (FSlotSize > (SIZE_MAX - slack) / FNextSlots) throw std::bad_alloc();
  // Room for the entry first, so that a failing block leaves nothing behind.
  FBlocks.reserve(FBlocks.size() + 1);
  TBlock block{TPoolBlock(FPool, slack + FNextSlots * FSlotSize), nullptr, nullptr, nullptr};
  const uintptr_t address = reinterpret_cast<uintptr_t>(block.Memory.Data());
  block.Begin = block.Memory.Data() + (RoundUp(address, CacheLine) - address);
  block.End = block.Begin + FNextSlots * FSlotSize;
  block.Used = block.Begin;
  platform::PreferLargePages(block.Begin, FNextSlots * FSlotSize);
  if (!FBlocks.empty()) FBlocks.back().Used = FNext;
  FBlocks.push_back(std::move(block));
  FNext = FBlocks.back().Begin;
  FEnd = FBlocks.back().End;
  FNextSlots = std::max(FNextSlots, std::min(2 * FNextSlots, MaxBlockBytes / FSlotSize));
}

std::vector<TRBNodeArena::TRun> TRBNodeArena::Runs(size_t MaxSlots) const {
  std::vector<TRun> runs;
  const size_t most = std::max<size_t>(1, MaxSlots) * FSlotSize;
  for (const TBlock& block : FBlocks) {
    char* const end = &block == &FBlocks.back() ? FNext : block.Used;
    for (char* begin = block.Begin; begin != end;) {
      char* const stop = static_cast<size_t>(end - begin) > most ? begin + most : end;
      runs.push_back({begin, stop});
      begin = stop;
    }
  }
  return runs;
}

void TRBNodeArena::Release() {
  FBlocks.clear();
  FNext = FEnd = nullptr;
  FNextSlots = SlotsPerBlock(FirstBlockBytes, FSlotSize);
}

void TRBNodeArena::Adopt(TRBNodeArena&& Other) {
  if (&Other == this || Other.FBlocks.empty()) return;
  if (!FBlocks.empty()) FBlocks.back().Used = FNext;
  // Other's open block is the last one now, so that new slots come after every slot so far.
  FBlocks.insert(FBlocks.end(), std::make_move_iterator(Other.FBlocks.begin()),
                 std::make_move_iterator(Other.FBlocks.end()));
  FNext = Other.FNext;
  FEnd = Other.FEnd;
  FNextSlots = std::max(FNextSlots, Other.FNextSlots);
  Other.FBlocks.clear();
  Other.FNext = Other.FEnd = nullptr;
  Other.FNextSlots = SlotsPerBlock(FirstBlockBytes, Other.FSlotSize);
}

TRBTree::TRBTree(TRBCompareFunc Compare, size_t PayloadSize, TBlockPool* Pool)
    : FCompare(Compare), FPayloadSpan(RoundUp(PayloadSize, alignof(void*))),
      FArena(FPayloadSpan + sizeof(TRBNode), Pool) {}

void TRBTree::Link(TRBNode* Fresh, TRBNode* Parent, bool AsLeft) {
  Fresh->Parent = Parent;
  if (!Parent)
    FRoot = Fresh;
  else if (AsLeft)
    Parent->Left = Fresh;
  else
    Parent->Right = Fresh;
  ++FCount;
  FixUpAfterInsert(Fresh);
  FRoot->Color = Black;
}

void TRBTree::FixUpAfterInsert(TRBNode* X) {
  while (X != FRoot && IsRed(X->Parent)) {
    TRBNode* const g = X->Parent->Parent;
    if (X->Parent == g->Left) {
      TRBNode* const uncle = g->Right;
      if (IsRed(uncle)) {
        X->Parent->Color = Black;
        uncle->Color = Black;
        g->Color = Red;
        X = g;
        continue;
      }
      if (X == X->Parent->Right) {
        X = X->Parent;
        RotateLeft(X);
      }
      X->Parent->Color = Black;
      g->Color = Red;
      RotateRight(g);
    } else {
      TRBNode* const uncle = g->Left;
      if (IsRed(uncle)) {
        X->Parent->Color = Black;
        uncle->Color = Black;
        g->Color = Red;
        X = g;
        continue;
      }
      if (X == X->Parent->Left) {
        X = X->Parent;
        RotateRight(X);
      }
      X->Parent->Color = Black;
      g->Color = Red;
      RotateLeft(g);
    }
  }
}

void TRBTree::RotateLeft(TRBNode* X) {
  TRBNode* const y = X->Right;
  X->Right = y->Left;
  if (y->Left) y->Left->Parent = X;
  y->Parent = X->Parent;
  if (!X->Parent)
    FRoot = y;
  else if (X == X->Parent->Left)
    X->Parent->Left = y;
  else
    X->Parent->Right = y;
  y->Left = X;
  X->Parent = y;
}

void TRBTree::RotateRight(TRBNode* X) {
  TRBNode* const y = X->Left;
  X->Left = y->Right;
  if (y->Right) y->Right->Parent = X;
  y->Parent = X->Parent;
  if (!X->Parent)
    FRoot = y;
  else if (X == X->Parent->Right)
    X->Parent->Right = y;
  else
    X->Parent->Left = y;
  y->Right = X;
  X->Parent = y;
}

int TRBTree::BlackHeight(const TRBNode* Node) {
  int height = 0;
  for (; Node; Node = Node->Left)
    height += Node->Color == Black;
  return height;
}

// The join of two red-black trees: the new node goes red in place of a black node of the taller
// tree's inner spine whose subtree is as high as the other tree, with that subtree and the other
// tree as its children; the usual insertion fix-up then mends a red parent.
TRBNode* TRBTree::Join(void* Key, TRBTree&& Right) {
  TRBNode* const fresh =
      new (FArena.Reserve() + FPayloadSpan) TRBNode{Key, nullptr, nullptr, nullptr, Red};
  FArena.Commit();
  FArena.Adopt(std::move(Right.FArena));

  TRBNode* const left = FRoot;
  TRBNode* const right = Right.FRoot;
  const int leftHeight = BlackHeight(left), rightHeight = BlackHeight(right);
  const bool intoLeft = leftHeight >= rightHeight;
  TRBNode* parent = nullptr;
  TRBNode* spine = intoLeft ? left : right;
  for (int height = intoLeft ? leftHeight : rightHeight;
       !(height == (intoLeft ? rightHeight : leftHeight) && !IsRed(spine));) {
    height -= !IsRed(spine);
    parent = spine;
    spine = intoLeft ? spine->Right : spine->Left;
  }
  fresh->Left = intoLeft ? spine : left;
  fresh->Right = intoLeft ? right : spine;
  if (fresh->Left) fresh->Left->Parent = fresh;
  if (fresh->Right) fresh->Right->Parent = fresh;
  fresh->Parent = parent;
  FRoot = intoLeft ? left : right;
  if (!parent)
    FRoot = fresh;
  else if (intoLeft)
    parent->Right = fresh;
  else
    parent->Left = fresh;

  if (!FFirstNode) FFirstNode = fresh;
  FLastNode = Right.FLastNode ? Right.FLastNode : fresh;
  FCount += Right.FCount + 1;
  // The arena holds this tree's nodes, the joining one, then Right's: key order if both were.
  FAddOrderIsKeyOrder = FAddOrderIsKeyOrder && Right.FAddOrderIsKeyOrder;
  Right.FRoot = Right.FFirstNode = Right.FLastNode = nullptr;
  Right.FCount = 0;
  Right.FAddOrderIsKeyOrder = true;

  FixUpAfterInsert(fresh);
  FRoot->Color = Black;
  return fresh;
}

TRBNode* TRBTree::NextNode(TRBNode* Node) {
  if (Node->Right) {
    Node = Node->Right;
    // Each right child on the way down is next but one after its left subtree: start fetching
    // it now, the walk over scattered nodes is otherwise one cache miss after another.
    PrefetchNode(Node->Right);
    while (Node->Left) {
      Node = Node->Left;
      PrefetchNode(Node->Right);
    }
    return Node;
  }
  while (Node->Parent && Node == Node->Parent->Right)
    Node = Node->Parent;
  return Node->Parent;
}

void TRBTree::Clear() {
  FArena.Release();
  FRoot = nullptr;
  FFirstNode = nullptr;
  FLastNode = nullptr;
  FCount = 0;
  FAddOrderIsKeyOrder = true;
}
