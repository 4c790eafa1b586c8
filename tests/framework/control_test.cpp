#include "framework/control.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/bevel.h"
#include "framework/form.h"
#include "framework/panel.h"

namespace {

struct Docked {
  TAlign Align;
  int Size; // height for top and bottom, width for left and right
  TRect Expected;
};

// Five children of a 200 x 100 client area, added in the order given.
std::vector<TRect> Layout(const std::vector<Docked>& Children) {
  TForm form("VoxaroAlignTest");
  form.SetClientSize(200, 100);
  std::vector<std::unique_ptr<TPanel>> panels;
  for (const Docked& child : Children) {
    panels.push_back(std::make_unique<TPanel>(&form));
    panels.back()->SetBounds(0, 0, child.Size, child.Size);
    panels.back()->SetAlign(child.Align);
  }
  std::vector<TRect> bounds;
  for (const auto& panel : panels)
    bounds.push_back(panel->BoundsRect());
  return bounds;
}

std::vector<TRect> Expected(const std::vector<Docked>& Children) {
  std::vector<TRect> bounds;
  for (const Docked& child : Children)
    bounds.push_back(child.Expected);
  return bounds;
}

class Alignment : public testing::TestWithParam<std::vector<Docked>> {};

TEST_P(Alignment, HandsOutTheClientAreaInInsertionOrder) {
  EXPECT_EQ(Layout(GetParam()), Expected(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Control, Alignment,
    testing::Values(std::vector<Docked>{{alTop, 10, {0, 0, 200, 10}},
                                        {alBottom, 20, {0, 80, 200, 100}},
                                        {alLeft, 30, {0, 10, 30, 80}},
                                        {alRight, 40, {160, 10, 200, 80}},
                                        {alClient, 0, {30, 10, 160, 80}}},
                    // Left first takes the full height; the client child waits for all the others.
                    std::vector<Docked>{{alClient, 0, {30, 10, 160, 80}},
                                        {alLeft, 30, {0, 0, 30, 100}},
                                        {alTop, 10, {30, 0, 200, 10}},
                                        {alRight, 40, {160, 10, 200, 100}},
                                        {alBottom, 20, {30, 80, 160, 100}}},
                    std::vector<Docked>{{alTop, 150, {0, 0, 200, 150}},
                                        {alClient, 0, {0, 100, 200, 100}}}));

TEST(Control, AlignedChildrenFollowResizesAndEachOther) {
  TForm form("VoxaroAlignTest");
  form.SetClientSize(200, 100);
  TPanel top(&form);
  top.SetHeight(10);
  top.SetAlign(alTop);
  TPanel rest(&form);
  rest.SetAlign(alClient);
  TBevel left(&rest);
  left.SetWidth(9);
  left.SetAlign(alLeft);
  TPanel inner(&rest);
  inner.SetAlign(alClient);

  form.SetClientSize(300, 150);
  EXPECT_EQ(rest.BoundsRect(), (TRect{0, 10, 300, 150}));
  EXPECT_EQ(inner.BoundsRect(), (TRect{9, 0, 300, 140}));
  top.SetHeight(25);
  EXPECT_EQ(rest.BoundsRect(), (TRect{0, 25, 300, 150}));
  EXPECT_EQ(inner.BoundsRect(), (TRect{9, 0, 300, 125}));
  RECT window;
  GetWindowRect(inner.Handle(), &window);
  MapWindowPoints(nullptr, rest.Handle(), reinterpret_cast<POINT*>(&window), 2);
  EXPECT_EQ((TRect{window.left, window.top, window.right, window.bottom}), inner.BoundsRect());
}

TEST(Control, ColourAndFontComeFromTheParentUnlessSet) {
  TForm form("VoxaroAlignTest");
  form.SetColor(clWhite);
  TFont font;
  font.SetHeight(-20);
  form.SetFont(font);
  TPanel panel(&form);
  TBevel bevel(&panel);
  EXPECT_EQ(bevel.Color(), clWhite);
  EXPECT_EQ(bevel.Font().Height(), -20);
  panel.SetColor(clBlue);
  EXPECT_EQ(bevel.Color(), clBlue);
}

} // namespace
