#include "containers/rb_tree.h"

namespace {
bool IsRed(const TRBNode* Node) { return Node && Node->Color == TRBTree::Red; }

// Recursion is bounded by the height, at most 2 * log2(n + 1).
void FreeSubtree(TRBNode* Node) {
  if (!Node) return;
  FreeSubtree(Node->Left);
  FreeSubtree(Node->Right);
  delete Node;
}
} // namespace

TRBNode* TRBTree::Find(const void* Key) const {
  TRBNode* node = FRoot;
  while (node) {
    const int r = FCompare(node->Key, Key);
    if (r < 0)
      node = node->Right;
    else if (r > 0)
      node = node->Left;
    else
      return node;
  }
  return nullptr;
}

TRBNode* TRBTree::Add(void* Key) {
  // Allocated first, so that running out of memory leaves the tree untouched.
  TRBNode* fresh = new TRBNode{Key, nullptr, nullptr, nullptr, Red};

  // Strict tests: an equal key never moves the ends, so a refused duplicate cannot either.
  TRBNode* const oldFirst = FFirstNode;
  TRBNode* const oldLast = FLastNode;
  if (!FFirstNode || FCompare(Key, FFirstNode->Key) < 0) FFirstNode = fresh;
  if (!FLastNode || FCompare(FLastNode->Key, Key) < 0) FLastNode = fresh;

  TRBNode* parent = nullptr;
  TRBNode* node = FRoot;
  while (node) {
    parent = node;
    const int r = FCompare(Key, node->Key);
    if (r < 0) {
      node = node->Left;
    } else if (r > 0) {
      node = node->Right;
    } else {
      // Only an inconsistent comparison gets here with a moved end; do not leave it dangling.
      FFirstNode = oldFirst;
      FLastNode = oldLast;
      delete fresh;
      return node;
    }
  }

  fresh->Parent = parent;
  if (!parent)
    FRoot = fresh;
  else if (FCompare(Key, parent->Key) < 0)
    parent->Left = fresh;
  else
    parent->Right = fresh;
  ++FCount;

  FixUpAfterInsert(fresh);
  FRoot->Color = Black;
  return fresh;
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

TRBNode* TRBTree::NextNode(TRBNode* Node) {
  if (Node->Right) {
    Node = Node->Right;
    while (Node->Left) Node = Node->Left;
    return Node;
  }
  while (Node->Parent && Node == Node->Parent->Right) Node = Node->Parent;
  return Node->Parent;
}

void TRBTree::Clear() {
  FreeSubtree(FRoot);
  FRoot = nullptr;
  FFirstNode = nullptr;
  FLastNode = nullptr;
  FCount = 0;
}
