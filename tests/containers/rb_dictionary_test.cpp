#include "containers/rb_dictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "base/exceptions.h"

namespace {

using namespace std::string_literals;
using Lines = std::vector<AnsiString>;

Lines Items(const TStrings& List) {
  Lines items;
  for (int i = 0; i < List.Count(); ++i)
    items.push_back(List.Get(i));
  return items;
}

Lines Export(TRBStringList& Dictionary) {
  TStringList target;
  Dictionary.AssignTo(target);
  return Items(target);
}

TEST(RBStringList, ExportsInByteOrderOfTheKeys) {
  TRBStringList dictionary;
  for (const AnsiString& key : {"031"s, "\xFC"s, "03011"s, "z"s, "0301"s, "+4930"s, "\xB0"s, "030"s,
                                ""s, "0"s, "0\0"s, "9"s})
    dictionary.SetValue(key, "n");
  EXPECT_EQ(Export(dictionary), (Lines{"=n", "+4930=n", "0=n", "0\0=n"s, "030=n", "0301=n",
                                       "03011=n", "031=n", "9=n", "z=n", "\xB0=n", "\xFC=n"}));
}

TEST(RBStringList, OneLowerCasedKeyPerNumberAndTheLastValueWins) {
  const struct {
    const char* Name;
    std::vector<std::pair<AnsiString, AnsiString>> Values;
    Lines Expected;
  } cases[] = {
      {"last value wins", {{"0301", "Anna"}, {"0301", "Bernd"}}, {"0301=Bernd"}},
      {"ASCII case", {{"AbC", "1"}, {"abc", "2"}, {"ABC", "3"}}, {"abc=3"}},
      {"ANSI case",
       {{"\xC4rger", "1"}, {"\xE4rger", "2"}, {"\xD6l", "3"}},
       {"\xE4rger=2", "\xF6l=3"}},
      {"empty key and value", {{"", "Zentrale"}, {"030", ""}}, {"=Zentrale", "030="}},
      {"empty value replaces", {{"030", "x"}, {"030", ""}}, {"030="}},
  };
  for (const auto& c : cases) {
    TRBStringList dictionary;
    for (const auto& [key, value] : c.Values)
      dictionary.SetValue(key, value);
    EXPECT_EQ(Export(dictionary), c.Expected) << c.Name;
  }
}

TEST(RBStringList, MatchesASortedMapOverManyRandomKeys) {
  std::mt19937 random(7);
  const char alphabet[] = "+019aA\xC4\xE4\xFC";
  std::map<AnsiString, AnsiString> model; // std::string orders by unsigned bytes, as keys must
  TRBStringList dictionary;
  for (int i = 0; i < 20000; ++i) {
    AnsiString key(random() % 6, ' ');
    for (char& c : key)
      c = alphabet[random() % (sizeof alphabet - 1)];
    AnsiString lowered = key;
    for (char& c : lowered)
      c = c == 'A' ? 'a' : c == '\xC4' ? '\xE4' : c;
    const AnsiString value = std::to_string(i);
    dictionary.SetValue(key, value);
    model[lowered] = value;
  }
  Lines expected;
  for (const auto& [key, value] : model)
    expected.push_back(key + "=" + value);
  EXPECT_EQ(Export(dictionary), expected);
  EXPECT_EQ(dictionary.Tree().Count(), model.size());
}

// Records the keys a visit sees, in its order.
class TKeyRecorder : public TCustomRBEnumerator {
public:
  void Visit(TRBNode* Node) override {
    Keys.emplace_back(std::string_view(static_cast<TRBKeyData*>(Node->Key)->Key));
  }
  Lines Keys;
};

Lines InOrderKeys(const TRBStringList& Dictionary) {
  Lines keys;
  const TRBTree& tree = Dictionary.Tree();
  for (TRBNode* node = tree.FirstNode(); node;
       node = node == tree.LastNode() ? nullptr : TRBTree::NextNode(node))
    keys.emplace_back(std::string_view(static_cast<TRBKeyData*>(node->Key)->Key));
  return keys;
}

TEST(RBStringList, ForEachVisitsInKeyOrderWhateverOrderTheKeysCameIn) {
  const auto numbers = [](int From, int To, int Step) {
    Lines keys;
    for (int i = From; i != To; i += Step)
      keys.push_back("0" + std::to_string(1000000 + i));
    return keys;
  };
  Lines shuffled = numbers(0, 5000, 1), shuffledUpper = numbers(3001, 6000, 1);
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
  std::shuffle(shuffledUpper.begin(), shuffledUpper.end(), std::mt19937(4));
  Lines lateKey = numbers(0, 5000, 1);
  lateKey.push_back("0");
  const struct {
    const char* Name;
    Lines Lower; // keys stored in this dictionary, in this order
    Lines Upper; // keys of a second one joined to it at Middle, when not empty
    AnsiString Middle;
  } cases[] = {
      {"ascending", numbers(0, 5000, 1), {}, ""},
      {"ascending with repeats and letters", {"0301", "0301", "0302", "A", "a", "b"}, {}, ""},
      {"descending", numbers(5000, 0, -1), {}, ""},
      {"shuffled", shuffled, {}, ""},
      {"one key before the others at the end", lateKey, {}, ""},
      {"joined in order", numbers(0, 3000, 1), numbers(3001, 6000, 1), "01003000"},
      {"joined, upper shuffled", numbers(0, 3000, 1), shuffledUpper, "01003000"},
      {"joined out of order", numbers(3001, 6000, 1), numbers(0, 3000, 1), "01003000"},
  };
  for (const auto& c : cases) {
    std::map<AnsiString, AnsiString> model;
    TRBStringList dictionary;
    for (const AnsiString& key : c.Lower) {
      dictionary.SetValue(key, "v" + key);
      model[key == "A" ? "a" : key] = "v" + key;
    }
    if (!c.Middle.empty()) {
      TRBStringList upper;
      for (const AnsiString& key : c.Upper) {
        upper.SetValue(key, "w" + key);
        model[key] = "w" + key;
      }
      TTextArena text;
      const std::string_view* middle = text.StoreSlot("m");
      dictionary.AdoptText(std::move(text));
      dictionary.JoinStored(c.Middle, middle, std::move(upper));
      model[c.Middle] = "m";
    }
    Lines keys, lines;
    for (const auto& [key, value] : model) {
      keys.push_back(key);
      lines.push_back(key + "=" + value);
    }
    TKeyRecorder recorder;
    dictionary.ForEach(recorder);
    EXPECT_EQ(recorder.Keys, keys) << c.Name;
    EXPECT_EQ(InOrderKeys(dictionary), keys) << c.Name;
    EXPECT_EQ(Export(dictionary), lines) << c.Name;
  }
}

// Records how the lines come: one at a time or in blocks, and how many blocks were prepared. A
// block is prepared with a mark that AddLines checks, and either step may raise on request.
class TBlockTarget : public TStrings {
public:
  int Count() const override { return static_cast<int>(Added.size()); }
  AnsiString Get(int Index) const override { return Added.at(static_cast<size_t>(Index)); }
  void Clear() override { Added.clear(); }
  int Add(const AnsiString& S) override {
    Added.push_back(S);
    ++Singly;
    return Count() - 1;
  }
  void PrepareLines(TLineBlock& Block) const override {
    if (FailPreparing && Prepared.load() >= 3) throw Exception("prepare failed");
    Block.Prepared = "prepared " + std::to_string(Block.Count());
    ++Prepared;
  }
  void AddLines(const TLineBlock& Block) override {
    EXPECT_EQ(Block.Prepared, "prepared " + std::to_string(Block.Count()));
    ++Blocks;
    for (size_t i = 0; i < Block.Count(); ++i)
      Added.emplace_back(Block.Line(i));
    if (FailAfter > 0 && Added.size() >= FailAfter) throw Exception("list full");
  }

  Lines Added;
  int Singly = 0, Blocks = 0;
  mutable std::atomic<int> Prepared{0};
  bool FailPreparing = false;
  size_t FailAfter = 0;
};

// Large trees built at their right end are exported in blocks by two threads; every other one
// line by line. Either way the lines are those of the in-order walk, in its order.
TEST(RBStringList, ExportInBlocksGivesTheLinesOfTheInOrderWalk) {
  const auto key = [](int I) { return "0" + std::to_string(10000000 + I); };
  const struct {
    const char* Name;
    int Keys;
    bool Shuffled, Joined, InBlocks;
  } cases[] = {
      {"large, ascending", 100000, false, false, true},
      {"large, joined", 100000, false, true, true},
      {"large, shuffled", 60000, true, false, false},
      {"small, ascending", 1000, false, false, false},
  };
  for (const auto& c : cases) {
    std::vector<int> order(static_cast<size_t>(c.Keys));
    for (int i = 0; i < c.Keys; ++i)
      order[static_cast<size_t>(i)] = i;
    if (c.Shuffled) std::shuffle(order.begin(), order.end(), std::mt19937(9));
    TRBStringList dictionary;
    TRBStringList upper;
    for (const int i : order) {
      // Values of every length from empty to long, some with a CR, an LF or a byte 0.
      AnsiString value(static_cast<size_t>(i % 70), static_cast<char>('a' + i % 26));
      if (i % 11 == 0) value += AnsiString("\r\n\0x", 4);
      (c.Joined && i > c.Keys / 2 ? upper : dictionary).SetValue(key(i), value);
    }
    if (c.Joined) {
      TTextArena text;
      const std::string_view* middle = text.StoreSlot("Mitte");
      dictionary.AdoptText(std::move(text));
      dictionary.JoinStored(key(c.Keys / 2) + "5", middle, std::move(upper));
    }
    TRBAssignToEnumerator walk(nullptr);
    TStringList inOrder;
    walk.Target = &inOrder;
    TRBNode* node = dictionary.Tree().FirstNode();
    for (; node; node = node == dictionary.Tree().LastNode() ? nullptr : TRBTree::NextNode(node))
      walk.Visit(node);
    TBlockTarget target;
    target.Add("stale");
    target.Singly = 0;
    dictionary.AssignTo(target);
    EXPECT_EQ(target.Added, Items(inOrder)) << c.Name;
    EXPECT_EQ(target.Blocks > 1, c.InBlocks) << c.Name;
    EXPECT_EQ(target.Singly, c.InBlocks ? 0 : inOrder.Count()) << c.Name;
    EXPECT_EQ(target.Prepared.load(), target.Blocks) << c.Name;
    // The list's own Add serves a list that takes no blocks.
    EXPECT_EQ(Export(dictionary), Items(inOrder)) << c.Name;
  }
}

TEST(RBStringList, AnErrorOfTheListEndsTheExportInBlocks) {
  TRBStringList dictionary;
  for (int i = 0; i < 100000; ++i)
    dictionary.SetValue(std::to_string(1000000 + i), "Name");
  for (const bool preparing : {false, true}) {
    TBlockTarget target;
    target.FailPreparing = preparing;
    target.FailAfter = preparing ? 0 : 20000;
    try {
      dictionary.AssignTo(target);
      ADD_FAILURE() << "no error, preparing " << preparing;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), preparing ? "prepare failed" : "list full");
    }
    EXPECT_LT(target.Added.size(), 100000u) << preparing;
  }
  // The dictionary is as it was.
  TBlockTarget target;
  dictionary.AssignTo(target);
  EXPECT_EQ(target.Added.size(), 100000u);
  EXPECT_EQ(target.Added.front(), "1000000=Name");
}

TEST(RBStringList, TargetHoldsOnlyTheExportAndKeepsItAfterTheDictionary) {
  TStringList target;
  target.Add("alt=1");
  {
    TRBStringList dictionary;
    dictionary.AssignTo(target);
    EXPECT_EQ(target.Count(), 0);
    target.Add("alt=2");
    dictionary.SetValue("2", "b");
    dictionary.SetValue("1", "a");
    dictionary.AssignTo(target);
  }
  EXPECT_EQ(Items(target), (Lines{"1=a", "2=b"}));
}

TEST(RBStringList, ClearFreesEverythingAndTheDictionaryStaysUsable) {
  TRBStringList dictionary;
  for (int i = 0; i < 100; ++i)
    dictionary.SetValue(std::to_string(i), AnsiString(40, 'x'));
  dictionary.Clear();
  EXPECT_EQ(dictionary.Tree().Count(), 0u);
  EXPECT_EQ(Export(dictionary), Lines{});
  dictionary.SetValue("1", "neu");
  EXPECT_EQ(Export(dictionary), Lines{"1=neu"});
}

TEST(RBStringList, FindKeyComparesTheKeyUnchangedAndFindOrAddReportsAdding) {
  TRBStringList dictionary;
  dictionary.SetValue("ABC", "1");
  const TRBKeyData* entry = dictionary.FindKey("abc");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(*entry->Data, "1");
  EXPECT_EQ(dictionary.FindKey("ABC"), nullptr);

  bool added = true;
  EXPECT_EQ(dictionary.FindOrAdd(TRBKey("abc"), &added), entry);
  EXPECT_FALSE(added);
  const TRBKeyData* fresh = dictionary.FindOrAdd(TRBKey("neu"), &added);
  EXPECT_TRUE(added);
  EXPECT_EQ(fresh->Data, nullptr);
  EXPECT_EQ(Export(dictionary), (Lines{"abc=1", "neu="}));
}

int ReverseOrder(const void* A, const void* B) {
  return CompareKeyData(B, A);
}

TEST(RBStringList, OrdersByTheComparisonGivenAtCreation) {
  TRBStringList dictionary(ReverseOrder);
  for (const char* key : {"b", "c", "a"})
    dictionary.SetValue(key, "");
  EXPECT_EQ(Export(dictionary), (Lines{"c=", "b=", "a="}));
}

int Sign(int Value) {
  return (Value > 0) - (Value < 0);
}

TEST(RBStringList, DefaultComparisonOrdersLongKeysByUnsignedBytes) {
  const struct {
    AnsiString A, B;
    int Expected;
  } cases[] = {
      {"", "", 0},
      {"", "0", -1},
      {"01234567", "01234567", 0},
      {"01234567", "01234568", -1},
      {"012345678", "01234567", 1},
      {"0123456789abcdef", "0123456789abcdeg", -1},
      {"0123456789abcdef", "0123456789abcdef0", -1},
      {"\x01\x00\x00\x00\x00\x00\x00\x00"s, "\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s, 1},
      {"0123456\x80", "0123456\x7F", 1},
      {"01234567\xFF", "01234567\x01", 1},
      {"0123\0\x01"s + "567", "0123\0\x02"s + "567", -1},
  };
  for (const auto& c : cases) {
    TRBKeyData a, b;
    a.Key = c.A;
    b.Key = c.B;
    EXPECT_EQ(CompareKeyData(&a, &b), c.Expected) << c.A << " / " << c.B;
    EXPECT_EQ(CompareKeyData(&b, &a), -c.Expected) << c.B << " / " << c.A;
  }

  // Keys around the eight-byte steps, with shared prefixes and bytes on either side of 0x80.
  std::mt19937 random(11);
  const char alphabet[] = {'\0', '0', '1', '\x7F', '\x80', '\xFF'};
  const auto randomKey = [&](const AnsiString& Prefix) {
    AnsiString key = Prefix.substr(0, random() % (Prefix.size() + 1));
    for (size_t n = random() % 6; n > 0; --n)
      key += alphabet[random() % sizeof alphabet];
    return key;
  };
  for (int i = 0; i < 5000; ++i) {
    TRBKeyData a, b;
    a.Key = randomKey(AnsiString(random() % 20, '0'));
    b.Key = randomKey(AnsiString(std::string_view(a.Key)));
    ASSERT_EQ(CompareKeyData(&a, &b), Sign(std::string_view(a.Key).compare(b.Key))) << i;
  }
}

TEST(RBStringList, ARefusedKeyLeavesThePresentEntryInItsNode) {
  TRBStringList dictionary;
  dictionary.SetValue("030123456789", AnsiString(40, 'a'));
  TRBKeyData* const present = dictionary.FindKey("030123456789");
  dictionary.UniqueKeys = false;
  bool added = true;
  EXPECT_EQ(dictionary.FindOrAdd(TRBKey("030123456789"), &added), present);
  EXPECT_FALSE(added);
  EXPECT_EQ(dictionary.Tree().Root()->Key, present);
  for (int i = 0; i < 1000; ++i)
    dictionary.SetValue("030123456789", AnsiString(40, 'b'));
  EXPECT_EQ(dictionary.Tree().Count(), 1u);
  EXPECT_EQ(Export(dictionary), Lines{"030123456789=" + AnsiString(40, 'b')});
}

} // namespace
