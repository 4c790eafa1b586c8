#include "base/strings.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/exceptions.h"

namespace {

std::vector<AnsiString> Items(const TStrings& List) {
  std::vector<AnsiString> items;
  for (int i = 0; i < List.Count(); ++i)
    items.push_back(List.Get(i));
  return items;
}

struct TextCase {
  const char* Name;
  AnsiString Text;
  std::vector<AnsiString> Expected;
};

class SetTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(SetTextTest, CutsAtEveryLineBreakForm) {
  TStringList list;
  list.Add("old");
  list.SetText(GetParam().Text);
  EXPECT_EQ(Items(list), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, SetTextTest,
    testing::Values(
        TextCase{"Empty", "", {}}, TextCase{"OneLineNoBreak", "a", {"a"}},
        TextCase{"FinalCrLfAddsNothing", "a\r\nb\r\n", {"a", "b"}},
        TextCase{"LoneCr", "a\rb", {"a", "b"}}, TextCase{"LoneLf", "a\nb\n", {"a", "b"}},
        TextCase{"LfCrIsTwoBreaks", "a\n\rb", {"a", "", "b"}}, TextCase{"OnlyABreak", "\r\n", {""}},
        TextCase{"EmptyLinesKept", "\r\n\r\nx", {"", "", "x"}},
        TextCase{"NulIsAnOrdinaryByte", AnsiString("a\0b\r\nc", 6), {AnsiString("a\0b", 3), "c"}},
        TextCase{"AnsiBytesKept", "M\xFCller\r\n", {"M\xFCller"}}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.Name; });

TEST(Strings, GetTextPutsCrLfAfterEveryItem) {
  TStringList list;
  EXPECT_EQ(list.GetText(), "");
  list.Add("1=a");
  list.Add("");
  list.Add("2=b");
  EXPECT_EQ(list.GetText(), "1=a\r\n\r\n2=b\r\n");
}

TEST(Strings, TextRoundTrips) {
  TStringList list;
  list.SetText("x\ry\nz");
  TStringList copy;
  copy.SetText(list.GetText());
  EXPECT_EQ(Items(copy), (std::vector<AnsiString>{"x", "y", "z"}));
}

TEST(Strings, IndexOutOfRangeRaisesListError) {
  TStringList list;
  list.Add("a");
  EXPECT_EQ(list.Get(0), "a");
  for (int index : {-1, 1}) {
    try {
      list.Get(index);
      FAIL() << "no error for index " << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), Format("Listenindex \xFC"
                                    "berschreitet das Maximum (%d)",
                                    index));
    }
  }
}

// Records when the list would redraw, as the list box's item list does.
class RecordingList : public TStringList {
public:
  std::vector<bool> States;

protected:
  void SetUpdateState(bool Updating) override { States.push_back(Updating); }
};

TEST(Strings, UpdatesNestAndSetTextBracketsItself) {
  RecordingList list;
  list.BeginUpdate();
  list.BeginUpdate();
  list.SetText("a\r\nb");
  list.EndUpdate();
  EXPECT_EQ(list.States, std::vector<bool>{true});
  list.EndUpdate();
  EXPECT_EQ(list.States, (std::vector<bool>{true, false}));
  list.EndUpdate(); // unbalanced: ignored
  list.SetText("c");
  EXPECT_EQ(list.States, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(list.UpdateCount(), 0);
}

class FailingList : public TStringList {
public:
  int Add(const AnsiString& S) override {
    if (S == "bad") throw Exception("refused");
    return TStringList::Add(S);
  }
};

TEST(Strings, FailedSetTextEndsTheUpdate) {
  FailingList list;
  EXPECT_THROW(list.SetText("a\r\nbad\r\nc"), Exception);
  EXPECT_EQ(list.UpdateCount(), 0);
  EXPECT_EQ(Items(list), std::vector<AnsiString>{"a"});
}

} // namespace
