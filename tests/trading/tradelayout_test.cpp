// The trading window's layout against rectangles computed by hand, the
// floating frame's hit test, cursors and drag limits, the stored geometry's
// sanity rule, and the texts cut on character boundaries.
#include "trading/tradelayout.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi.h"
#include "platform/winuser.h"

namespace {

struct Box {
  int part, left, top, width, height;
};

void ExpectPlaced(const TTradingLayout &l, const Box &b) {
  SCOPED_TRACE(b.part);
  const TPartPlacement &p = l.parts[b.part];
  EXPECT_EQ(p.show, 1);
  ASSERT_TRUE(p.place);
  EXPECT_EQ(p.left, b.left);
  EXPECT_EQ(p.top, b.top);
  EXPECT_EQ(p.width, b.width);
  EXPECT_EQ(p.height, b.height);
}

void ExpectHidden(const TTradingLayout &l, std::initializer_list<int> parts) {
  for (int part : parts) EXPECT_EQ(l.parts[part].show, 0) << part;
}

const TTradingSizes kSizes;  // tree 121, tabs 23, strip 21, collapse 9, splitter 218, quick panel 92

TEST(TradingLayoutTest, TradingPagesByLayoutDockedFloatingAndCollapsed) {
  struct Case {
    const char *name;
    int W, H;
    bool docked;
    int layout;
    bool collapsed;
    std::vector<Box> placed;
    std::vector<int> hidden;
  } cases[] = {
      // Docked 1000 x 300: the order panel's width 846 is cut to 287.
      {"docked layout 0", 1000, 300, true, 0, false,
       {{kPartOrderNormal, 122, 0, 287, 218}, {kPartCollapse, 408, -1, 9, 219}, {kPartListArea, 418, 0, 560, 300},
        {kPartTree, 0, 0, 121, 300}, {kPartStrip, 979, 0, 21, 300}},
       {kPartOrderKeyboard, kPartOrderQuick, kPartTabs, kPartLoginPage}},
      {"docked layout 1", 1000, 300, true, 1, false,
       {{kPartListArea, 121, 0, 560, 300}, {kPartOrderKeyboard, 683, 0, 287, 218}, {kPartCollapse, 970, -1, 9, 219}},
       {kPartOrderNormal, kPartOrderQuick}},
      {"docked layout 2", 1000, 300, true, 2, false,
       {{kPartOrderQuick, 121, 0, 856, 92}, {kPartListArea, 123, 92, 856, 208}},
       {kPartOrderNormal, kPartOrderKeyboard, kPartCollapse}},
      // Docked 150 high: the order panels take the height there is.
      {"docked low", 1000, 150, true, 0, false,
       {{kPartOrderNormal, 122, 0, 287, 150}, {kPartCollapse, 408, -1, 9, 151}, {kPartListArea, 418, 0, 560, 150}},
       {}},
      // Floating 330 x 265 under the title band and the tabs.
      {"floating layout 0", 330, 265, false, 0, false,
       {{kPartOrderNormal, 4, 47, 287, 215}, {kPartCollapse, 290, 46, 9, 216}, {kPartListArea, 300, 47, 5, 215},
        {kPartTabs, 3, 24, 324, 23}, {kPartStrip, 306, 47, 21, 215}},
       {kPartTree}},
      {"floating layout 2", 330, 265, false, 2, false,
       {{kPartOrderQuick, 3, 47, 301, 92}, {kPartListArea, 5, 139, 301, 120}}, {}},
      {"collapsed layout 0", 1000, 300, true, 0, true,
       {{kPartCollapse, 121, -1, 9, 219}, {kPartListArea, 131, 0, 847, 300}}, {kPartOrderNormal}},
      {"collapsed layout 1", 1000, 300, true, 1, true,
       {{kPartListArea, 121, 0, 847, 300}, {kPartCollapse, 970, -1, 9, 219}}, {kPartOrderKeyboard}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const TTradingLayout l = ComputeTradingLayout(c.W, c.H, c.docked, c.layout, c.collapsed, 12, kSizes);
    EXPECT_TRUE(l.changed);
    EXPECT_EQ(l.navItem, 0);
    EXPECT_TRUE(l.listAreaLayout);
    EXPECT_STREQ(l.collapseHint, c.collapsed ? "显示" : "隐藏");
    for (const Box &b : c.placed) ExpectPlaced(l, b);
    ExpectHidden(l, {kPartLoginPage, kPartTextPage, kPartCheckPage, kPartQueryTabs, kPartBankTabs, kPartAboutPage,
                     kPartLogTabs});
    for (int part : c.hidden) EXPECT_EQ(l.parts[part].show, 0) << part;
  }
}

TEST(TradingLayoutTest, ArbitrageShowsListsAndNavigationButLeavesTheListAreaWhereItIs) {
  const TTradingLayout l = ComputeTradingLayout(1000, 300, true, 3, false, 13, kSizes);
  EXPECT_EQ(l.parts[kPartListArea].show, 1);
  EXPECT_FALSE(l.parts[kPartListArea].place);
  EXPECT_EQ(l.parts[kPartTree].show, 1);
  ExpectHidden(l, {kPartOrderNormal, kPartOrderKeyboard, kPartOrderQuick});
  EXPECT_EQ(l.navItem, 1);
}

TEST(TradingLayoutTest, TabPagesTaskPageAndWholeWindowPages) {
  struct Case {
    int state;
    bool docked;
    Box page;
    int nav;
  } cases[] = {
      {16, true, {kPartQueryTabs, 122, 0, 858, 300}, 5},
      {17, true, {kPartBankTabs, 122, 0, 858, 300}, 8},
      {19, true, {kPartAboutPage, 122, 0, 858, 300}, 7},
      {19, false, {kPartAboutPage, 4, 47, 973, 250}, 7},
      {20, true, {kPartTextPage, 1, 0, 977, 300}, -1},
      {20, false, {kPartTextPage, 3, 24, 973, 273}, -1},
      {0, true, {kPartLoginPage, 0, 0, 1000, 300}, -1},
      {5, false, {kPartLoginPage, 3, 24, 994, 273}, -1},
      {2, true, {kPartTextPage, 0, 0, 1000, 300}, -1},
      {9, true, {kPartCheckPage, 0, 0, 1000, 300}, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.state);
    const TTradingLayout l = ComputeTradingLayout(1000, 300, c.docked, 0, false, c.state, kSizes);
    ExpectPlaced(l, c.page);
    EXPECT_EQ(l.navItem, c.nav);
    ExpectHidden(l, {kPartOrderNormal, kPartCollapse, kPartListArea});
    if (c.state == 20) {
      ExpectPlaced(l, {kPartStrip, c.docked ? 979 : 976, c.docked ? 0 : 24, 21, c.docked ? 300 : 273});
      ExpectHidden(l, {kPartTree, kPartTabs});
    } else if (c.state < 12) {
      ExpectHidden(l, {kPartTree, kPartTabs, kPartStrip});
    } else {
      EXPECT_EQ(l.parts[c.docked ? kPartTree : kPartTabs].show, 1);
    }
  }
}

TEST(TradingLayoutTest, UnknownStatesChangeNothing) {
  for (int state : {6, 10, 11, 18, 21, 23, -1}) {
    const TTradingLayout l = ComputeTradingLayout(1000, 300, true, 0, false, state, kSizes);
    EXPECT_FALSE(l.changed) << state;
    for (const TPartPlacement &p : l.parts) EXPECT_EQ(p, TPartPlacement{}) << state;
  }
}

TEST(TradingLayoutTest, ListPagesShowTheirPanelAndRestoreTheFilterFromTheOrderTag) {
  struct Case {
    int state, tag, filter, trades, conditions;
  } cases[] = {
      {12, 10, 1, -1, -1}, {12, 1, 0, -1, -1}, {13, 11, 1, 0, 0},
      {14, 10, 0, 1, 0},   {15, 11, -1, 0, 0}, {22, 11, -1, 0, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.state);
    const TTradingLayout l = ComputeTradingLayout(1000, 300, true, 0, false, c.state, kSizes, c.tag);
    EXPECT_EQ(l.cancellableFilter, c.filter);
    EXPECT_EQ(l.parts[kPartTradesPanel].show, c.trades);
    EXPECT_EQ(l.parts[kPartConditionPage].show, c.conditions);
  }
}

TEST(TradingLayoutTest, OrderPanelWidthIsNeverNegative) {
  const TTradingLayout l = ComputeTradingLayout(30, 265, false, 1, false, 12, kSizes);
  EXPECT_EQ(l.parts[kPartOrderKeyboard].width, 0);
}

TEST(TradingFrameTest, HitCodesAtTheBorderAndCaptionEdgesWithTheirCursors) {
  struct Case {
    int x, y, hit;
    LPCSTR cursor;
  } cases[] = {
      {1, 1, HTTOPLEFT, IDC_SIZENWSE},     {398, 2, HTTOPRIGHT, IDC_SIZENESW},  {100, 2, HTTOP, IDC_SIZENS},
      {100, 3, HTCAPTION, IDC_SIZEALL},    {100, 23, HTCAPTION, IDC_SIZEALL},   {100, 24, HTCLIENT, nullptr},
      {2, 100, HTLEFT, IDC_SIZEWE},        {3, 100, HTCLIENT, nullptr},         {397, 100, HTRIGHT, IDC_SIZEWE},
      {396, 100, HTCLIENT, nullptr},       {100, 297, HTBOTTOM, IDC_SIZENS},    {100, 296, HTCLIENT, nullptr},
      {2, 298, HTBOTTOMLEFT, IDC_SIZENESW}, {399, 299, HTBOTTOMRIGHT, IDC_SIZENWSE}, {2, 10, HTLEFT, IDC_SIZEWE},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    EXPECT_EQ(TradingHitTest(false, c.x, c.y, 400, 300), c.hit);
    EXPECT_EQ(TradingHitCursor(c.hit), c.cursor);
    EXPECT_EQ(TradingHitTest(true, c.x, c.y, 400, 300), HTCLIENT);
  }
}

TEST(TradingFrameTest, EdgeDragsStopAtTheMinimumAndCaptionDragsMove) {
  const RECT start{100, 100, 500, 400};
  const RECT left = TradingDragRect(HTLEFT, start, 300, 0);
  EXPECT_EQ(left.left, 500 - 320);
  EXPECT_EQ(left.right, 500);
  const RECT corner = TradingDragRect(HTBOTTOMRIGHT, start, -200, -100);
  EXPECT_EQ(corner.right - corner.left, 320);
  EXPECT_EQ(corner.bottom - corner.top, 265);
  const RECT top = TradingDragRect(HTTOP, start, 0, -50);
  EXPECT_EQ(top.top, 50);
  EXPECT_EQ(top.bottom, 400);
  const RECT moved = TradingDragRect(HTCAPTION, start, -30, 40);
  EXPECT_EQ(moved.left, 70);
  EXPECT_EQ(moved.top, 140);
  EXPECT_EQ(moved.right - moved.left, 400);
}

TEST(TradingGeometryTest, StoredFloatPosFallsUnderTheSanityRule) {
  const RECT centred{112, 249, 912, 518};  // 800 x (218 + 51) in 1024 x 768
  struct Case {
    const char *text;
    bool parsed;
    RECT result;
  } cases[] = {
      {"0,0,0,0", true, centred},
      {"100,100,160,300", true, centred},            // width 160
      {"-400,100,429,300", true, centred},           // left + width < 30
      {"100,718,400,300", true, centred},            // top + 30 reaches the height - 20
      {"994,100,400,300", true, centred},            // left + 30 reaches the width
      {"100,717,400,300", true, {100, 717, 500, 1017}},
      {"100,120,500,300", true, {100, 120, 600, 420}},
      {" 100 , 120 , 500 , 300 ", true, {100, 120, 600, 420}},
      {"abc", false, centred},
      {"100,120,500", false, centred},               // partial
      {"100,120,500,300x", false, centred},
      {"2147483647,0,400,300", false, centred},      // would wrap left + width
      {"100,100,99999999999999999999,300", false, centred},
      {"", false, centred},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    RECT stored;
    EXPECT_EQ(ParseFloatPos(c.text, &stored), c.parsed);
    const RECT r = SaneFloatRect(stored, 1024, 768, 218);
    EXPECT_EQ(r.left, c.result.left);
    EXPECT_EQ(r.top, c.result.top);
    EXPECT_EQ(r.right, c.result.right);
    EXPECT_EQ(r.bottom, c.result.bottom);
  }
}

TEST(TradingGeometryTest, WndHeightIsAtLeastTheSplitterMinimum) {
  struct Case {
    const char *text;
    int height;
  } cases[] = {{"300", 300}, {"100", 218}, {"x", 218}, {"", 218}, {"300x", 218}, {"99999999999", 218}, {"-5", 218}};
  for (const Case &c : cases) EXPECT_EQ(ParseWndHeight(c.text, 218), c.height) << c.text;
}

TEST(TradingLoginPageTest, TheLoginBlockIsCentredKeepingItsColumnDistances) {
  const TLoginColumns design;
  const TLoginPlaces p = CentreLoginBlock(design, 1001);
  EXPECT_EQ(p.width, 592);
  EXPECT_EQ(p.x, 204);  // (1001 - 592) / 2, rounded toward zero
  EXPECT_EQ(p.labels, 204 + 170);
  EXPECT_EQ(p.edits, 204 + 234);
  EXPECT_EQ(p.codeEdit, p.edits + 86);
  EXPECT_EQ(p.keypad, p.edits + 158);
  EXPECT_EQ(p.checkBox, p.keypad - 1);
  EXPECT_EQ(p.button5, p.keypad + 44);
  EXPECT_EQ(p.button6, p.button5 + 76);
  EXPECT_EQ(CentreLoginBlock(design, 500).x, -46);
}

// The task page keeps only its confirm button ("中止" while tasks run),
// centred; the pages 19 and 21 have the viewer alone.
TEST(TradingTextPageTest, ButtonsByPage) {
  struct Case {
    int page;
    bool confirm, exit;
    RECT viewer, confirmAt, exitAt;
  } cases[] = {
      {1, true, true, {0, 0, 400, 269}, {129, 273, 199, 297}, {200, 273, 270, 297}},
      {20, true, false, {0, 0, 400, 269}, {165, 273, 235, 297}, {}},
      {19, false, false, {0, 0, 400, 300}, {}, {}},
      {21, false, false, {0, 0, 400, 300}, {}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.page);
    const TTextPagePlaces p = TextPageLayout(400, 300, c.page);
    EXPECT_EQ(p.showConfirm, c.confirm);
    EXPECT_EQ(p.showExit, c.exit);
    EXPECT_TRUE(EqualRect(&p.viewer, &c.viewer));
    if (c.confirm) EXPECT_TRUE(EqualRect(&p.confirm, &c.confirmAt));
    if (c.exit) EXPECT_TRUE(EqualRect(&p.exit, &c.exitAt));
  }
}

TEST(TradingTextTest, CutsStayOnCharacterBoundaries) {
  struct Case {
    const char *text;
    size_t n;
    const char *cut;
  } cases[] = {{"交易abc", 3, "交"}, {"交易abc", 4, "交易"}, {"a交易", 2, "a"}, {"a交易", 3, "a交"}, {"abc", 9, "abc"},
                 // 0xFF is no lead byte: it never takes the next character's first byte along.
                 {"\xFF" "交", 2, "\xFF"}};
  for (const Case &c : cases) {
    char out[32];
    strncopy(out, c.text, c.n);
    EXPECT_STREQ(out, c.cut) << c.text << " " << c.n;
    char in[32];
    strcpy(in, c.text);
    strncut(in, c.n);
    EXPECT_STREQ(in, c.cut);
  }
  // The band's 63-byte title after an odd number of single bytes.
  std::string title = "a";
  for (int i = 0; i < 40; ++i) title += "易";
  char band[64];
  strncopy(band, title.c_str(), 63);
  EXPECT_EQ(strlen(band), 63u);
  strncopy(band, ("ab" + title.substr(1)).c_str(), 63);
  EXPECT_EQ(strlen(band), 62u);
}

TEST(TradingTextTest, TheHolderNameStandsDownTheStripOneCharacterPerLine) {
  struct Case {
    const char *name;
    bool left;
    std::vector<std::pair<std::string, int>> lines;  // bottom 200
  } cases[] = {
      {"张三", false, {{"张", 140}, {"三", 154}}},  // two characters stand a line higher
      {"张三丰", false, {{"张", 140}, {"三", 154}, {"丰", 168}}},
      {"张三丰", true, {{"张", 122}, {"三", 136}, {"丰", 150}}},
      {"A张", false, {{"A", 154}, {"张", 168}}},  // never half a character
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TStripChar out[16];
    ASSERT_EQ(StripNameChars(c.name, 200, c.left, out), int(c.lines.size()));
    for (size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(out[i].text, c.lines[i].first);
      EXPECT_EQ(out[i].y, c.lines[i].second);
    }
  }
}

}  // namespace
