#include "framework/list_box.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/exceptions.h"
#include "framework/form.h"
#include "support/string_utils.h"
#include "support/utf8.h"
#include "tests/window_reader.h"

namespace {

class ListBoxTest : public testing::Test {
protected:
  ListBoxTest() {
    Form.SetClientSize(300, 200);
    List.SetAlign(alClient);
  }

  std::vector<AnsiString> Lines() const {
    std::vector<AnsiString> lines;
    for (int i = 0; i < List.Items().Count(); ++i)
      lines.push_back(List.Items().Get(i));
    return lines;
  }

  TForm Form{"VoxaroListTest"};
  TListBox List{&Form};
};

TEST_F(ListBoxTest, ItemsLiveInTheControl) {
  TStrings& items = List.Items();
  EXPECT_EQ(items.Add("0301234567=J\xF6rg M\xFCller"), 0);
  EXPECT_EQ(items.Add(""), 1);
  EXPECT_EQ(items.Add("089555012=Anna"), 2);
  EXPECT_EQ(SendMessageA(List.Handle(), LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Lines(),
            (std::vector<AnsiString>{"0301234567=J\xF6rg M\xFCller", "", "089555012=Anna"}));
  EXPECT_EQ(items.GetText(), "0301234567=J\xF6rg M\xFCller\r\n\r\n089555012=Anna\r\n");
  EXPECT_THROW(items.Get(3), EListError);
  EXPECT_THROW(items.Get(-1), EListError);
  items.SetText("a\r\nb");
  EXPECT_EQ(Lines(), (std::vector<AnsiString>{"a", "b"}));
  items.Clear();
  EXPECT_EQ(items.Count(), 0);
}

TEST_F(ListBoxTest, LargeFillWithReservedStorage) {
  TStrings& items = List.Items();
  items.BeginUpdate();
  items.Clear();
  items.SetCapacity(5000);
  for (int i = 0; i < 5000; ++i)
    items.Add(Format("%05d=Name", i));
  items.EndUpdate();
  ASSERT_EQ(items.Count(), 5000);
  EXPECT_EQ(items.Get(4999), "04999=Name");
}

// The storage reservations the list box window is asked for, in order.
std::vector<WPARAM> Reservations;
WNDPROC ListProcedure = nullptr;

LRESULT CALLBACK RecordReservations(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == LB_INITSTORAGE) Reservations.push_back(W);
  return CallWindowProcA(ListProcedure, Window, Message, W, L);
}

TEST_F(ListBoxTest, StorageIsReservedInDoublingStepsThatAddUpToTheAnnouncedLines) {
  // Windows adds reservations up, so the steps must not reserve more than was announced; Wine
  // gives each back at the next insertion, so they must come while the lines do.
  const struct {
    int Announced, Added;
    std::vector<WPARAM> Steps;
  } cases[] = {
      {100000, 100000, {16384, 16384, 32768, 34464}},
      {1000, 1500, {1000}},
      {40000, 10, {16384}},
  };
  for (const auto& c : cases) {
    TStrings& items = List.Items();
    Reservations.clear();
    ListProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        List.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordReservations)));
    {
      TStringsUpdate update(items);
      items.Clear();
      items.SetCapacity(c.Announced, int64_t(c.Announced) * 20);
      for (int i = 0; i < c.Added; ++i)
        items.Add("0301234567=Name");
    }
    SetWindowLongPtrA(List.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProcedure));
    EXPECT_EQ(Reservations, c.Steps) << c.Announced << " lines announced";
    EXPECT_EQ(items.Count(), c.Added);
  }
}

// A fill in blocks, prepared as the export prepares them (on another thread there), gives the
// lines one Add each gives, a line cut at its first byte 0 as Add cuts it; the storage is
// reserved step by step all the same.
TEST_F(ListBoxTest, BlocksOfPreparedLinesGiveWhatAddGives) {
  const std::vector<AnsiString> lines = {
      "0301234567=J\xF6rg M\xFCller", "", "=", "\x80 \xFF", AnsiString("089=An\0na", 10),
      "0171=" + AnsiString(300, 'x')};
  std::vector<AnsiString> expected;
  TStrings& items = List.Items();
  for (const AnsiString& line : lines)
    items.Add(line);
  expected = Lines();
  EXPECT_EQ(expected[4], "089=An");
  for (const size_t perBlock : {size_t(1), size_t(4), lines.size()}) {
    {
      TStringsUpdate update(items);
      items.Clear();
      items.SetCapacity(static_cast<int>(lines.size()));
      for (size_t first = 0; first < lines.size(); first += perBlock) {
        TLineBlock block;
        for (size_t i = first; i < std::min(lines.size(), first + perBlock); ++i)
          block.Append(lines[i]);
        items.PrepareLines(block);
        items.AddLines(block);
      }
    }
    EXPECT_EQ(Lines(), expected) << perBlock << " lines a block";
  }

  Reservations.clear();
  ListProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      List.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordReservations)));
  {
    TStringsUpdate update(items);
    items.Clear();
    items.SetCapacity(100000);
    TLineBlock block;
    for (int i = 0; i < 100000; ++i) {
      block.Append("0301234567=Name");
      if (block.Count() == 8192 || i + 1 == 100000) {
        items.PrepareLines(block);
        items.AddLines(block);
        block.Clear();
      }
    }
  }
  SetWindowLongPtrA(List.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProcedure));
  EXPECT_EQ(Reservations, (std::vector<WPARAM>{16384, 16384, 32768, 34464}));
  EXPECT_EQ(items.Count(), 100000);
}

TEST_F(ListBoxTest, IsAPlainStandardListBox) {
  // The scroll bar (and its style bit) appears once the lines do not fit.
  for (int i = 0; i < 100; ++i)
    List.Items().Add("Zeile");
  char className[32] = {};
  GetClassNameA(List.Handle(), className, sizeof className);
  EXPECT_STREQ(className, "ListBox");
  const LONG style = GetWindowLongA(List.Handle(), GWL_STYLE);
  EXPECT_EQ(style & (LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP),
            LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP);
  EXPECT_EQ(style & (LBS_SORT | LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE), 0);
}

TEST_F(ListBoxTest, ItemHeightSurvivesANewFont) {
  List.SetItemHeight(14);
  EXPECT_EQ(List.ItemHeight(), 14);
  TFont large;
  large.SetHeight(-24);
  Form.SetFont(large);
  EXPECT_EQ(List.ItemHeight(), 14);
}

TEST_F(ListBoxTest, AnotherProcessReadsTheLinesAsText) {
  List.Items().Add("0301234567=J\xF6rg M\xFCller & S\xF6hne");
  List.Items().Add("0033142685300=\xC9lodie Lef\xE8vre");
  EXPECT_EQ(ReadFromAnotherProcess(List.Handle()),
            "ListBox\n\n" + AnsiToUtf8("0301234567=J\xF6rg M\xFCller & S\xF6hne\n"
                                       "0033142685300=\xC9lodie Lef\xE8vre\n"));
}

} // namespace
