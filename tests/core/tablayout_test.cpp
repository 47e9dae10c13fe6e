#include <gtest/gtest.h>

#include "core/tablayout.h"

namespace {

// A 188 x 24 strip with 12-pixel buttons, slope 4 and six titles 30 pixels
// wide: each tab is drawn 54 pixels wide between x = 16 and x = 172.
PageTabLayout SixTabs() {
  PageTabLayout l;
  l.widths.assign(6, 30);
  l.CalculateTabRects();
  return l;
}

int RectWidth(const RECT *r) { return r ? r->right - r->left : -1; }

TEST(PageTabLayout, TabsAreLaidOutFromTheLeftButtonAndCutAtTheRight) {
  PageTabLayout l = SixTabs();
  EXPECT_EQ(l.end, 3);
  ASSERT_NE(l.TabRect(0), nullptr);
  EXPECT_EQ(l.TabRect(0)->left, 16);
  EXPECT_EQ(l.TabRect(1)->left, 70);
  EXPECT_EQ(l.TabRect(2)->right, 172);  // cut
  EXPECT_EQ(l.TabRect(3), nullptr);
  EXPECT_FALSE(l.LastVisibleFits());
  EXPECT_EQ(l.TabAt(20, 5), 0);
  EXPECT_EQ(l.TabAt(5, 5), -1);  // the left button
}

TEST(PageTabLayout, ScrollingToATabShowsItWhole) {
  PageTabLayout l = SixTabs();
  ASSERT_TRUE(l.SetActive(4));
  EXPECT_EQ(l.first, 3);
  EXPECT_EQ(RectWidth(l.TabRect(4)), l.DrawnWidth(4));
  EXPECT_EQ(RectWidth(l.TabRect(2)), 4);  // the sliver

  // Activating or clicking the cut last tab scrolls it into full view too.
  PageTabLayout a = SixTabs();
  ASSERT_TRUE(a.SetActive(2));
  EXPECT_EQ(a.first, 1);
  EXPECT_EQ(RectWidth(a.TabRect(2)), a.DrawnWidth(2));

  PageTabLayout c = SixTabs();
  ASSERT_TRUE(c.Click(2));
  EXPECT_EQ(c.first, 1);
  EXPECT_EQ(RectWidth(c.TabRect(2)), c.DrawnWidth(2));
}

TEST(PageTabLayout, ScrollTargetStopsAtTheFirstTitle) {
  PageTabLayout l;
  l.widths = {10, 10};
  l.CalculateTabRects();
  EXPECT_EQ(l.ScrollTarget(1), 0);
  EXPECT_EQ(l.ScrollTarget(0), 0);
}

TEST(PageTabLayout, ActivationAndClicksThatChangeNothing) {
  PageTabLayout l = SixTabs();
  for (int n : {0, -1, 6}) EXPECT_FALSE(l.SetActive(n)) << n;  // active, negative, past the last
  EXPECT_FALSE(l.Click(0));                                     // the active tab
  EXPECT_FALSE(l.ScrollLeft());                                 // first is 0
  EXPECT_TRUE(l.ScrollRight());
  EXPECT_EQ(l.first, 1);
  // The sliver is tab 0: clicking it activates it and shows it whole.
  EXPECT_EQ(l.TabAt(13, 5), 0);
  ASSERT_TRUE(l.SetActive(1));
  ASSERT_TRUE(l.Click(0));
  EXPECT_EQ(l.first, 0);
  EXPECT_EQ(l.active, 0);
}

TEST(PageTabLayout, ScrollRightStopsWhenTheLastTabFits) {
  PageTabLayout l = SixTabs();
  while (l.ScrollRight()) {
  }
  EXPECT_EQ(l.end, 6);
  EXPECT_TRUE(l.LastVisibleFits());
  EXPECT_EQ(RectWidth(l.TabRect(5)), l.DrawnWidth(5));
}

TEST(TabSetLayout, WidthsFollowTheTitleLength) {
  TabSetLayout l;
  l.titles = {"abcd", "efgh", "ijklmnop"};
  l.height = 20;
  struct Case {
    int width;
    bool scroll;
    RECT third;
    bool thirdShown;
  };
  for (const Case &c : {Case{200, false, {96, 0, 168, 20}, true}, Case{168, false, {96, 0, 168, 20}, true},
                        Case{150, true, {}, false}}) {
    l.width = c.width;
    l.Update();
    EXPECT_EQ(l.scrollMode, c.scroll) << c.width;
    RECT r{};
    ASSERT_TRUE(l.GetItemRect(1, &r));
    EXPECT_EQ(r.left, 48);
    EXPECT_EQ(r.right, 96);
    EXPECT_EQ(l.GetItemRect(2, &r), c.thirdShown) << c.width;
    if (c.thirdShown) {
      EXPECT_EQ(r.left, c.third.left);
      EXPECT_EQ(r.right, c.third.right);
    }
  }
}

TEST(TabSetLayout, HitTestsAndButtons) {
  TabSetLayout l;
  l.titles = {"abcd", "efgh", "ijklmnop"};
  l.width = 150;
  l.height = 20;
  l.startMargin = 2;
  l.Update();
  struct Case {
    int x, y, hit, offset;
  };
  for (const Case &c : {Case{1, 5, -1, 0}, Case{2, 5, 0, 48}, Case{49, 5, 0, 1}, Case{50, 0, 1, 48},
                        Case{50, 20, -1, 0}, Case{110, 5, -1, 0}, Case{122, 5, TabSetLayout::kLeftButton, 0},
                        Case{136, 5, TabSetLayout::kRightButton, 0}}) {
    int offset = 0;
    EXPECT_EQ(l.ItemAtPos(c.x, c.y, &offset), c.hit) << c.x << "," << c.y;
    if (c.hit >= 0) EXPECT_EQ(offset, c.offset) << c.x;
  }
}

TEST(TabSetLayout, ScrollingAndPullingBack) {
  TabSetLayout l;
  l.titles = {"abcd", "efgh", "ijklmnop", "qrstuvwx"};  // 48, 48, 72, 72
  l.width = 200;
  l.height = 20;
  l.Update();
  ASSERT_TRUE(l.scrollMode);
  EXPECT_FALSE(l.ScrollLeft());
  ASSERT_TRUE(l.ScrollRight());
  RECT r{};
  EXPECT_FALSE(l.GetItemRect(0, &r));  // scrolled off to the left
  ASSERT_TRUE(l.GetItemRect(1, &r));
  EXPECT_EQ(r.left, 0);

  l.first = 3;
  l.Update();  // tabs from 3 leave room: 2 comes back in, 1 does not fit
  EXPECT_EQ(l.first, 2);
  EXPECT_FALSE(l.ScrollRight());
  l.width = 400;
  l.Update();
  EXPECT_FALSE(l.scrollMode);
  EXPECT_EQ(l.first, 0);
}

}  // namespace
