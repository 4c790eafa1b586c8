#include "containers/rb_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

int CompareInts(const void* A, const void* B) {
  const int a = *static_cast<const int*>(A), b = *static_cast<const int*>(B);
  return a < b ? -1 : a > b ? 1 : 0;
}

const int* KeyOf(const TRBNode* Node) {
  return static_cast<const int*>(Node->Key);
}

// Value -> the address that was added first for it, which the tree must keep.
using TModel = std::map<int, const int*>;

struct TShapeCheck {
  std::string Fault;
  int Height = 0;
  // Colours, parent links and order below Node; returns the black height.
  int Walk(const TRBNode* Node, const TRBNode* Parent, const int* Low, const int* High, int Depth) {
    if (!Node) {
      Height = std::max(Height, Depth);
      return 0;
    }
    const int value = *KeyOf(Node);
    if (Node->Parent != Parent) Fault = "parent link at " + std::to_string(value);
    if ((Low && value <= *Low) || (High && value >= *High))
      Fault = "order at " + std::to_string(value);
    if (Node->Color > TRBTree::Black) Fault = "colour byte at " + std::to_string(value);
    const bool redChild = (Node->Left && Node->Left->Color == TRBTree::Red) ||
                          (Node->Right && Node->Right->Color == TRBTree::Red);
    if (Node->Color == TRBTree::Red && redChild) Fault = "red-red at " + std::to_string(value);
    const int left = Walk(Node->Left, Node, Low, KeyOf(Node), Depth + 1);
    const int right = Walk(Node->Right, Node, KeyOf(Node), High, Depth + 1);
    if (left != right) Fault = "black height at " + std::to_string(value);
    return left + (Node->Color == TRBTree::Black ? 1 : 0);
  }
};

// Every invariant of Tree against Model; the first fault found, or "". Model keys are even, so
// odd values probe misses.
std::string CheckTree(const TRBTree& Tree, const TModel& Model) {
  const size_t n = Model.size();
  if (Tree.Count() != n) return "count " + std::to_string(Tree.Count());
  if (n == 0) return Tree.Root() || Tree.FirstNode() || Tree.LastNode() ? "not empty" : "";
  if (!Tree.Root() || Tree.Root()->Color != TRBTree::Black) return "root not black";
  TShapeCheck shape;
  shape.Walk(Tree.Root(), nullptr, nullptr, nullptr, 0);
  if (!shape.Fault.empty()) return shape.Fault;
  if (shape.Height > 2 * std::log2(n + 1.0)) return "height " + std::to_string(shape.Height);
  if (KeyOf(Tree.FirstNode()) != Model.begin()->second) return "FirstNode";
  if (KeyOf(Tree.LastNode()) != Model.rbegin()->second) return "LastNode";

  std::vector<const int*> walked;
  TRBNode* node = Tree.FirstNode();
  for (; node != Tree.LastNode() && walked.size() < n; node = TRBTree::NextNode(node))
    walked.push_back(KeyOf(node));
  walked.push_back(KeyOf(node));
  std::vector<const int*> expected;
  for (const auto& entry : Model)
    expected.push_back(entry.second);
  if (walked != expected) return "in-order walk";

  for (const auto& [value, key] : Model) {
    const TRBNode* hit = Tree.Find(&value);
    if (!hit || KeyOf(hit) != key) return "Find missed " + std::to_string(value);
    const int odd = value + 1;
    if (Tree.Find(&odd)) return "Find hit " + std::to_string(odd);
  }
  return "";
}

enum class TInsertion { Plain, Hinted };

// Adds Values (stored in Storage, whose addresses stay put) and checks every step's result.
void AddAll(TRBTree& Tree, TModel& Model, std::deque<int>& Storage, const std::vector<int>& Values,
            const std::string& Scenario, TInsertion How = TInsertion::Plain) {
  for (size_t i = 0; i < Values.size(); ++i) {
    Storage.push_back(Values[i]);
    const int* key = &Storage.back();
    const auto present = Model.find(*key);
    TRBNode* const node = How == TInsertion::Hinted ? Tree.AddLast(const_cast<int*>(key))
                                                    : Tree.Add(const_cast<int*>(key));
    if (present == Model.end()) {
      Model[*key] = key;
      ASSERT_EQ(KeyOf(node), key) << Scenario << " at " << i;
    } else {
      ASSERT_EQ(KeyOf(node), present->second) << Scenario << " duplicate at " << i;
    }
    if (i < 256 || i % 97 == 0 || i + 1 == Values.size()) {
      ASSERT_EQ(CheckTree(Tree, Model), "") << Scenario << " after " << i + 1 << " adds";
    }
  }
}

TEST(RBTree, KeepsEveryInvariantOverManyInsertionOrdersAndAfterClear) {
  std::mt19937 random(20240611);
  const auto even = [](int v) { return 2 * v; };
  const struct {
    const char* Name;
    std::function<int(int)> Value; // the i-th of 3000 keys
  } scenarios[] = {
      {"ascending", [&](int i) { return even(i); }},
      {"descending", [&](int i) { return even(3000 - i); }},
      {"ascending, each twice", [&](int i) { return even(i / 2); }},
      {"descending, earlier keys again",
       [&](int i) { return even(i % 3 ? 3000 - i : 3000 - i / 2); }},
      {"random, few duplicates", [&](int) { return even(int(random() % 1000000)); }},
      {"random, many duplicates", [&](int) { return even(int(random() % 700)); }},
      {"zigzag", [&](int i) { return even(i % 2 ? i : 6000 - i); }},
  };
  // The hinted insertion must give a valid tree for any order, not only for sorted batches.
  for (const TInsertion how : {TInsertion::Plain, TInsertion::Hinted}) {
    for (const auto& scenario : scenarios) {
      const std::string name =
          std::string(scenario.Name) + (how == TInsertion::Hinted ? ", hinted" : "");
      TRBTree tree(CompareInts);
      TModel model;
      std::deque<int> storage;
      std::vector<int> values;
      for (int i = 0; i < 3000; ++i)
        values.push_back(scenario.Value(i));
      AddAll(tree, model, storage, values, name, how);
      tree.Clear();
      model.clear();
      ASSERT_EQ(CheckTree(tree, model), "") << name;
      ASSERT_EQ(tree.Find(&values[0]), nullptr) << name;
      AddAll(tree, model, storage, {values.begin(), values.begin() + 100}, name, how);
    }
  }
}

TEST(RBTree, HintedInsertionOfASortedBatchStaysBalanced) {
  // Ascending keys with runs of equal ones, as a sorted batch of entries arrives.
  TRBTree tree(CompareInts);
  TModel model;
  std::deque<int> storage;
  std::vector<int> values;
  for (int i = 0; i < 100000; ++i)
    values.push_back(2 * (i / 3));
  for (size_t i = 0; i < values.size(); ++i) {
    const int* key = &storage.emplace_back(values[i]);
    const TRBNode* node = tree.AddLast(const_cast<int*>(key));
    model.emplace(*key, key); // the first address of each value stays
    ASSERT_EQ(KeyOf(node), model[*key]) << i;
    if ((i & (i + 1)) == 0 || i + 1 == values.size()) {
      ASSERT_EQ(CheckTree(tree, model), "") << "after " << i + 1 << " adds";
    }
  }
}

TEST(RBTree, JoinKeepsEveryInvariantAndEveryNode) {
  std::mt19937 random(31);
  // Left and right sizes, among them empty and lopsided ones, so either tree may be the taller.
  const std::pair<int, int> sizes[] = {{0, 0},   {0, 1},    {1, 0},    {1, 1},     {0, 500},
                                       {500, 0}, {1, 2000}, {2000, 1}, {700, 900}, {3000, 3000}};
  for (const auto& [leftSize, rightSize] : sizes) {
    for (const TInsertion how : {TInsertion::Plain, TInsertion::Hinted}) {
      const std::string name = std::to_string(leftSize) + "+" + std::to_string(rightSize) +
                               (how == TInsertion::Hinted ? ", hinted" : "");
      TRBTree left(CompareInts, 8), right(CompareInts, 8);
      TModel model;
      std::deque<int> storage;
      std::vector<int> leftValues, rightValues;
      for (int i = 0; i < leftSize; ++i)
        leftValues.push_back(2 * i);
      for (int i = 0; i < rightSize; ++i)
        rightValues.push_back(2 * (leftSize + 1 + i));
      if (how == TInsertion::Plain) {
        std::shuffle(leftValues.begin(), leftValues.end(), random);
        std::shuffle(rightValues.begin(), rightValues.end(), random);
      }
      TModel rightModel;
      AddAll(left, model, storage, leftValues, name, how);
      AddAll(right, rightModel, storage, rightValues, name, how);
      int* const pivot = &storage.emplace_back(2 * leftSize);
      const TRBNode* joined = left.Join(pivot, std::move(right));
      model.insert(rightModel.begin(), rightModel.end());
      model[*pivot] = pivot;
      ASSERT_EQ(KeyOf(joined), pivot) << name;
      ASSERT_EQ(CheckTree(left, model), "") << name;
      ASSERT_EQ(CheckTree(right, TModel()), "") << name;
      size_t visited = 0;
      left.ForEachInAddOrder([&](TRBNode*) { ++visited; });
      EXPECT_EQ(visited, model.size()) << name;
      // The joined tree goes on growing at either end.
      int& after = storage.emplace_back(2 * (leftSize + rightSize + 2));
      left.AddLast(&after);
      model[after] = &after;
      EXPECT_EQ(CheckTree(left, model), "") << name;
    }
  }
}

std::vector<const int*> InOrder(const TRBTree& Tree) {
  std::vector<const int*> keys;
  for (TRBNode* node = Tree.FirstNode(); node;
       node = node == Tree.LastNode() ? nullptr : TRBTree::NextNode(node))
    keys.push_back(KeyOf(node));
  return keys;
}

std::vector<const int*> InAddOrder(const TRBTree& Tree) {
  std::vector<const int*> keys;
  Tree.ForEachInAddOrder([&](TRBNode* Node) { keys.push_back(KeyOf(Node)); });
  return keys;
}

TEST(RBTree, AddOrderIsKeyOrderExactlyWhileEveryNewKeyCameAtTheRightEnd) {
  const struct {
    const char* Name;
    std::vector<int> Values;
    bool InKeyOrder;
  } cases[] = {
      {"empty", {}, true},
      {"one key", {10}, true},
      {"ascending", {2, 4, 6, 20, 22}, true},
      {"ascending with repeats", {2, 2, 4, 4, 4, 14, 14}, true},
      {"a repeat of an earlier key", {2, 4, 6, 4, 8}, true},
      {"descending", {10, 8, 6}, false},
      {"one key before the last", {2, 4, 8, 6}, false},
      {"one key before the first at the end", {6, 8, 10, 12, 2}, false},
      {"zigzag", {2, 20, 4, 18, 6}, false},
  };
  for (const TInsertion how : {TInsertion::Plain, TInsertion::Hinted}) {
    for (const auto& c : cases) {
      const std::string name = std::string(c.Name) + (how == TInsertion::Hinted ? ", hinted" : "");
      TRBTree tree(CompareInts);
      TModel model;
      std::deque<int> storage;
      AddAll(tree, model, storage, c.Values, name, how);
      EXPECT_EQ(tree.AddOrderIsKeyOrder(), c.InKeyOrder) << name;
      // Where it says so, the walk in memory order is the in-order walk; where not, these
      // orders indeed differ.
      EXPECT_EQ(InAddOrder(tree) == InOrder(tree), c.InKeyOrder) << name;
      tree.Clear();
      EXPECT_TRUE(tree.AddOrderIsKeyOrder()) << name;
    }
  }
}

TEST(RBTree, AJoinOfTwoTreesInKeyOrderLeavesItsNodesInKeyOrder) {
  const struct {
    int Left, Right;
    bool LeftSorted, RightSorted;
  } cases[] = {{0, 0, true, true},      {0, 300, true, true},    {300, 0, true, true},
               {1, 1, true, true},      {2000, 3, true, true},   {3, 2000, true, true},
               {700, 900, true, true},  {700, 900, false, true}, {700, 900, true, false},
               {700, 900, false, false}};
  std::mt19937 random(5);
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.Left) + (c.LeftSorted ? "" : " shuffled") + "+" +
                             std::to_string(c.Right) + (c.RightSorted ? "" : " shuffled");
    // Payload, so that the nodes fill several blocks of each arena.
    TRBTree left(CompareInts, 200), right(CompareInts, 200);
    std::deque<int> storage;
    std::vector<int> leftValues, rightValues;
    for (int i = 0; i < c.Left; ++i)
      leftValues.push_back(2 * i);
    for (int i = 0; i < c.Right; ++i)
      rightValues.push_back(2 * (c.Left + 1 + i));
    if (!c.LeftSorted) std::shuffle(leftValues.begin(), leftValues.end(), random);
    if (!c.RightSorted) std::shuffle(rightValues.begin(), rightValues.end(), random);
    TModel leftModel, rightModel;
    AddAll(left, leftModel, storage, leftValues, name);
    AddAll(right, rightModel, storage, rightValues, name);
    left.Join(&storage.emplace_back(2 * c.Left), std::move(right));
    const bool sorted = (c.LeftSorted || c.Left < 2) && (c.RightSorted || c.Right < 2);
    EXPECT_EQ(left.AddOrderIsKeyOrder(), sorted) << name;
    if (sorted) {
      EXPECT_EQ(InAddOrder(left), InOrder(left)) << name;
    }
    EXPECT_TRUE(right.AddOrderIsKeyOrder()) << name;
    // Growing on at the right end keeps it; a key elsewhere ends it.
    left.AddLast(&storage.emplace_back(4 * (c.Left + c.Right) + 10));
    EXPECT_EQ(left.AddOrderIsKeyOrder(), sorted) << name;
    if (sorted) {
      EXPECT_EQ(InAddOrder(left), InOrder(left)) << name;
    }
    left.Add(&storage.emplace_back(-1));
    EXPECT_FALSE(left.AddOrderIsKeyOrder()) << name;
  }
}

TEST(RBTree, TheWalkInAddOrderFetchesAheadOnlyNodesItVisitsThatManyVisitsLater) {
  for (const size_t distance : {size_t(1), size_t(5), size_t(16)}) {
    // Payloads of a few hundred bytes: the nodes fill many blocks, so the look-ahead meets
    // their ends.
    TRBTree tree(CompareInts, 300);
    std::deque<int> storage;
    for (int i = 0; i < 3000; ++i)
      tree.AddLast(&storage.emplace_back(i));
    std::vector<const TRBNode*> visits;
    std::map<const TRBNode*, size_t> fetchedAt; // node -> visits before its fetch
    tree.ForEachInAddOrder([&](TRBNode* Node) { visits.push_back(Node); },
                           [&](TRBNode* Node) { fetchedAt.emplace(Node, visits.size()); },
                           distance);
    std::vector<const int*> keys;
    for (const TRBNode* node : visits)
      keys.push_back(KeyOf(node));
    ASSERT_EQ(keys, InAddOrder(tree)) << distance;
    size_t checked = 0;
    for (size_t i = 0; i < visits.size(); ++i) {
      const auto fetched = fetchedAt.find(visits[i]);
      if (fetched == fetchedAt.end()) continue;
      EXPECT_EQ(fetched->second + distance, i) << distance << " at " << i;
      ++checked;
    }
    EXPECT_EQ(checked, fetchedAt.size()) << distance;
    // Only the last few of each block go unfetched.
    EXPECT_GT(checked, visits.size() * 9 / 10) << distance;
  }
}

// Pre-order values and colours: any change of structure shows.
std::string Shape(const TRBNode* Node) {
  if (!Node) return ".";
  return std::to_string(*KeyOf(Node)) + (Node->Color ? "b(" : "r(") + Shape(Node->Left) + "," +
         Shape(Node->Right) + ")";
}

TEST(RBTree, DuplicateAddReturnsThePresentNodeAndChangesNothing) {
  TRBTree tree(CompareInts);
  std::deque<int> first, again;
  for (int i = 0; i < 500; ++i)
    tree.Add(&first.emplace_back((i * 7919) % 500));
  const std::string before = Shape(tree.Root());
  for (int i = 0; i < 500; ++i) {
    const TRBNode* node = tree.Add(&again.emplace_back(i));
    ASSERT_EQ(*KeyOf(node), i);
    EXPECT_NE(KeyOf(node), &again.back());
  }
  EXPECT_EQ(Shape(tree.Root()), before);
  EXPECT_EQ(tree.Count(), 500u);
}

// Inconsistent on purpose: as A the wildcard equals everything, as B it orders after everything.
int CompareWithWildcard(const void* A, const void* B) {
  if (*static_cast<const int*>(A) == INT_MAX) return 0;
  if (*static_cast<const int*>(B) == INT_MAX) return -1;
  return CompareInts(A, B);
}

TEST(RBTree, RefusedKeyNeverBecomesAnEndEvenUnderAnInconsistentComparison) {
  TRBTree tree(CompareWithWildcard);
  int keys[] = {1, 2, 3, INT_MAX};
  for (int& key : keys)
    tree.Add(&key);
  ASSERT_EQ(tree.Count(), 3u);
  EXPECT_EQ(KeyOf(tree.FirstNode()), &keys[0]);
  EXPECT_EQ(KeyOf(tree.LastNode()), &keys[2]);
}

// Payload bytes derived from the key, so that storage shared by two nodes shows.
void FillPayload(void* Payload, size_t Size, int Key) {
  unsigned char* bytes = static_cast<unsigned char*>(Payload);
  for (size_t i = 0; i < Size; ++i)
    bytes[i] = static_cast<unsigned char>(Key + i * 31);
}

bool HoldsPayload(const void* Payload, size_t Size, int Key) {
  const unsigned char* bytes = static_cast<const unsigned char*>(Payload);
  for (size_t i = 0; i < Size; ++i)
    if (bytes[i] != static_cast<unsigned char>(Key + i * 31)) return false;
  return true;
}

TEST(RBTree, EachNodeKeepsItsOwnPayloadAcrossManyBlocksAndAfterClear) {
  const struct {
    size_t PayloadSize;
    int Keys;
  } cases[] = {{0, 3000}, {1, 3000}, {48, 20000}, {80, 20000}, {300, 5000}, {(1 << 20) + 8, 3}};
  for (const auto& c : cases) {
    const std::string name = "payload " + std::to_string(c.PayloadSize);
    TRBTree tree(CompareInts, c.PayloadSize);
    for (int round = 0; round < 2; ++round) {
      TModel model;
      std::deque<int> storage;
      std::vector<const int*> added;
      const int keys = round == 0 ? c.Keys : std::min(c.Keys, 100);
      for (int i = 0; i < keys; ++i) {
        const int* key = &storage.emplace_back(2 * int((i * 7919LL) % keys));
        TRBNode* node = tree.Add(const_cast<int*>(key));
        ASSERT_EQ(KeyOf(node), key) << name << " at " << i;
        FillPayload(tree.Payload(node), c.PayloadSize, *key);
        added.push_back(key);
        model[*key] = key;
        // A refused key after every new one: a full block's next slot is taken and given back.
        int& again = storage.emplace_back(*KeyOf(tree.Root()));
        ASSERT_NE(KeyOf(tree.Add(&again)), &again) << name << " at " << i;
      }
      ASSERT_EQ(CheckTree(tree, model), "") << name << " round " << round;

      std::vector<const int*> visited;
      tree.ForEachInAddOrder([&](TRBNode* Node) {
        visited.push_back(KeyOf(Node));
        const uintptr_t address = reinterpret_cast<uintptr_t>(tree.Payload(Node));
        EXPECT_EQ(address % alignof(void*), 0u) << name;
        EXPECT_TRUE(HoldsPayload(tree.Payload(Node), c.PayloadSize, *KeyOf(Node))) << name;
      });
      EXPECT_EQ(visited, added) << name << " round " << round;

      tree.Clear();
      visited.clear();
      tree.ForEachInAddOrder([&](TRBNode* Node) { visited.push_back(KeyOf(Node)); });
      EXPECT_TRUE(visited.empty()) << name;
    }
  }
}

} // namespace
