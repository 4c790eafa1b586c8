#pragma once
// An ordered set of opaque keys: a red-black tree with parent links and null leaves. Every
// decision about order goes through the comparison function; the keys stay the caller's.
#include <cstddef>
#include <cstdint>

struct TRBNode {
  void* Key;
  TRBNode* Left;
  TRBNode* Right;
  TRBNode* Parent;
  uint8_t Color;  // TRBTree::Red or TRBTree::Black
};

// Negative when A orders before B, zero when equal, positive after; only the sign counts.
using TRBCompareFunc = int (*)(const void* A, const void* B);

class TRBTree {
public:
  static constexpr uint8_t Red = 0;
  static constexpr uint8_t Black = 1;

  explicit TRBTree(TRBCompareFunc Compare) : FCompare(Compare) {}
  TRBTree(const TRBTree&) = delete;
  TRBTree& operator=(const TRBTree&) = delete;
  ~TRBTree() { Clear(); }

  // The node whose key compares equal to Key, or null.
  TRBNode* Find(const void* Key) const;
  // The new node; when an equal key is present, that node, and the tree stays as it was.
  TRBNode* Add(void* Key);
  // The in-order successor. Never ask it for LastNode: the climb would run off the root.
  static TRBNode* NextNode(TRBNode* Node);
  // Frees the nodes, not the keys.
  void Clear();

  TRBNode* Root() const { return FRoot; }
  TRBNode* FirstNode() const { return FFirstNode; }
  TRBNode* LastNode() const { return FLastNode; }
  TRBCompareFunc Compare() const { return FCompare; }
  size_t Count() const { return FCount; }

private:
  void RotateLeft(TRBNode* X);
  void RotateRight(TRBNode* X);
  void FixUpAfterInsert(TRBNode* X);

  TRBNode* FRoot = nullptr;
  TRBNode* FFirstNode = nullptr;
  TRBNode* FLastNode = nullptr;
  TRBCompareFunc FCompare;
  size_t FCount = 0;
};
