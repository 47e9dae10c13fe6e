#include "views/viewattr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "tests/views/view_world.h"

namespace {

using views_test::ViewWorld;

class ViewAttrTest : public ViewWorld {
 protected:
  static VIEW_ATTR_13 Filled(int type, int *result = nullptr) {
    VIEW_ATTR_13 r;
    std::memset(static_cast<void *>(&r), 0xA5, sizeof r);
    const int got = InitViewAttr(type, &r);
    if (result) *result = got;
    return r;
  }
  void InstallFormulas() {
    static const std::map<std::string, int> kinds = {{"K", 2},    {"BOLL", 2}, {"MA", 1},  {"EXPMA", 1}, {"VOL", 0},
                                                     {"MACD", 0}, {"KDJ", 0},  {"RSI", 0}, {"OBV", 0},   {"WR", 0}};
    FormulaServices().kindOf = [](const char *name) {
      auto it = kinds.find(name);
      return it == kinds.end() ? -1 : it->second;
    };
  }
};

TEST_F(ViewAttrTest, ReportDefaultsWalkTheSystemBlocks) {
  int result = 0;
  const VIEW_ATTR_13 r = Filled(VIEW_TYPE_REPORT, &result);
  EXPECT_EQ(result, 1);
  // The empty block is skipped for the instrument but still makes a tab;
  // the two-word name is found by joining its words.
  EXPECT_TRUE(SameStock(r.stock, Stock(1, 0)));
  EXPECT_EQ(int(r.currentBlock), BlockId("上海期货"));
  ASSERT_EQ(r.tabCount, 3);
  EXPECT_EQ(r.tabIds[0], BlockId("空板"));
  EXPECT_EQ(r.tabIds[1], BlockId("上海期货"));
  EXPECT_EQ(r.tabIds[2], BlockId("自选 一"));
  EXPECT_EQ(r.zoomStep, 1);
  EXPECT_EQ(r.keptTopRow, -1);
  const uint8_t columns[] = {0, 1, 6, 24, 25, 26, 28, 29, 7, 10, 8, 30, 3, 4, 5, 11};
  ASSERT_EQ(r.columnCount, 16u);
  EXPECT_EQ(std::memcmp(r.columns, columns, sizeof columns), 0);
  EXPECT_EQ(r.webAddress[0], 0);
}

TEST_F(ViewAttrTest, SystemBlocksThatNameNothing) {
  struct Case {
    const char *sysBlocks;
    int tabs;
    int firstTab;  // -1: block id 0
  } cases[] = {
      {"甲乙 丙丁", 1, -1},
      // Two unknown words whose joined length passes 15 bytes: both skipped.
      {"长长长长长长 短短短短短短", 1, -1},
      // Tokens under 3 bytes are passed over.
      {"空 自选 一", 1, -2},
  };
  for (const Case &c : cases) {
    SetSysBlocks(c.sysBlocks);
    const VIEW_ATTR_13 r = Filled(VIEW_TYPE_REPORT);
    EXPECT_EQ(r.tabCount, c.tabs) << c.sysBlocks;
    if (c.firstTab == -1) {
      EXPECT_EQ(r.tabIds[0], 0) << c.sysBlocks;
      EXPECT_EQ(r.stock.Word(), 0u) << c.sysBlocks;
    } else {
      EXPECT_EQ(r.tabIds[0], BlockId("自选 一")) << c.sysBlocks;
    }
    int result = 0;
    Filled(VIEW_TYPE_KLINE, &result);
    EXPECT_EQ(result, 1);
  }
}

TEST_F(ViewAttrTest, UnknownCodesLeaveACleanRecord) {
  SetUserSetting("UI", "Property", "4660");
  int result = 1;
  const VIEW_ATTR_13 r = Filled(0x2002, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(r.viewType, 0x2002);
  EXPECT_TRUE(SameStock(r.stock, Stock(1, 0)));
  EXPECT_EQ(r.displayFlags, 4660u);
  EXPECT_EQ(r.tabCount, 0);
  EXPECT_EQ(r.webAddress[0], 0);
  EXPECT_EQ(Filled(VIEW_TYPE_NONE, &result).viewType, 0);
  EXPECT_EQ(result, 0);
}

TEST_F(ViewAttrTest, OnlyNewsAndNotesKeepTheWebAddress) {
  for (int type : {VIEW_TYPE_NEWS, VIEW_TYPE_NOTES, VIEW_TYPE_REPORT, VIEW_TYPE_KLINE, VIEW_TYPE_TEXT}) {
    VIEW_ATTR_13 r;
    std::memset(static_cast<void *>(&r), 0, sizeof r);
    std::strcpy(r.webAddress, "http://example.invalid/");
    InitViewAttr(type, &r);
    const bool kept = type == VIEW_TYPE_NEWS || type == VIEW_TYPE_NOTES;
    EXPECT_EQ(std::string(r.webAddress), kept ? "http://example.invalid/" : "") << std::hex << type;
  }
}

TEST_F(ViewAttrTest, KLineFormulasFollowTheLibrary) {
  InstallFormulas();
  struct Case {
    const char *mainGraph, *subGraph;
    std::vector<std::string> formulas;
  } cases[] = {
      {"BOLL,MA", "VOL,MACD", {"BOLL", "VOL", "MACD"}},
      {"VOL", "VOL", {"K", "VOL"}},          // a sub-chart formula can't be the main one
      {"NOSUCH", "", {"K"}},                 // nor an unknown one
      {"", " MACD , ,MA,XYZ", {"K", "MACD"}},  // trimmed; overlays and unknown items skipped
      {"K", "VOL,MACD,KDJ,RSI,OBV,WR", {"K", "VOL", "MACD", "KDJ", "RSI", "OBV"}},
  };
  for (const Case &c : cases) {
    SetUserSetting("UI", "MainGraph", c.mainGraph);
    SetUserSetting("UI", "SubGraph", c.subGraph);
    const VIEW_ATTR_13 r = Filled(VIEW_TYPE_KLINE);
    ASSERT_EQ(r.windowCount, c.formulas.size()) << c.mainGraph << " / " << c.subGraph;
    for (size_t i = 0; i < c.formulas.size(); ++i) EXPECT_EQ(std::string(r.formulas[i]), c.formulas[i]);
    EXPECT_EQ(r.period, 8);
    EXPECT_EQ(r.keptTopRow, 1);
  }
}

TEST_F(ViewAttrTest, RankingAndNewPaneDefaults) {
  const VIEW_ATTR_13 r = Filled(VIEW_TYPE_RANKING);
  EXPECT_EQ(r.tabCount, 1);
  EXPECT_EQ(r.tabIds[0], 11);

  InstallFormulas();
  SetUserSetting("UI", "MainGraph", "K,MA,VOL,EXPMA");
  SetUserSetting("UI", "InfoVisible", "0");
  MVCDATA_12 data;
  InitViewData(&data);
  EXPECT_EQ(data.tabCount, 3u);
  EXPECT_EQ(data.currentBlock, 0u);
  EXPECT_EQ(data.paneCount, 2u);
  EXPECT_EQ(data.infoVisible, 0);
  EXPECT_EQ(std::string(data.overlayFormulas[0]), "MA");
  EXPECT_EQ(std::string(data.overlayFormulas[1]), "EXPMA");
  EXPECT_EQ(data.overlayFormulas[2][0], 0);
  EXPECT_TRUE(IsOverlayEnd(data.overlays[0]));
  EXPECT_TRUE(IsEndMark(data.refLines[5][0].value));
  EXPECT_TRUE(IsEndMark(data.overlayParams[7][0]));
}

TEST_F(ViewAttrTest, OldRecordsBecomeCurrentStepByStep) {
  SetUserSetting("UI", "Property", "99");
  WritePrivateProfileStringA("News", "WebURL1", "http://news.invalid/", "..\\CFG\\defui.ini");
  VIEW_ATTR_5 v5;
  std::memset(static_cast<void *>(&v5), 0, sizeof v5);
  v5.head.viewType = VIEW_TYPE_REPORT;
  v5.head.stock = Stock(0, 1);
  v5.head.columnCount = 2;
  v5.head.tabCount = 2;
  v5.tabIds[0] = 0x12345;  // only the low 16 bits survive
  v5.tabIds[1] = 7;
  v5.dropped156 = 1234;
  v5.windowCount = 3;
  std::strcpy(v5.formulas[2], "MACD");
  v5.period = 5;
  v5.flags = kViewFlagTickMode;
  VIEW_ATTR_10 v10;
  ConvertViewAttr5To10(v5, v10);
  EXPECT_EQ(v10.zoomStep, 1);
  EXPECT_EQ(v10.keptTopRow, -1);
  VIEW_ATTR_11 v11;
  ConvertViewAttr10To11(v10, v11);
  VIEW_ATTR_12 v12;
  ConvertViewAttr11To12(v11, v12);
  VIEW_ATTR_13 r;
  ConvertViewAttr12To13(v12, r);
  EXPECT_EQ(r.viewType, VIEW_TYPE_REPORT);
  EXPECT_TRUE(SameStock(r.stock, Stock(0, 1)));
  EXPECT_EQ(r.tabIds[0], 0x2345);
  EXPECT_EQ(r.tabIds[1], 7);
  EXPECT_EQ(r.tabIds[2], 0);
  EXPECT_EQ(r.windowCount, 3u);
  EXPECT_EQ(std::string(r.formulas[2]), "MACD");
  EXPECT_EQ(r.period, 5);
  EXPECT_EQ(r.flags, kViewFlagTickMode);
  EXPECT_EQ(r.zoomStep, 1);
  EXPECT_EQ(r.keptTopRow, -1);
  EXPECT_EQ(r.HandOverList(), 0u);
  EXPECT_EQ(r.kept220, 0u);
  EXPECT_EQ(r.displayFlags, 99u);
  EXPECT_EQ(std::string(r.webAddress), "http://news.invalid/");

  v5.head.viewType = VIEW_TYPE_KLINE;
  ConvertViewAttr5To10(v5, v10);
  EXPECT_EQ(v10.keptTopRow, 1);
}

TEST(HandOverList, HandlesGoStaleWhenTheLastReferenceGoes) {
  const int before = LiveViewStockLists();
  const STKPTR items[2] = {STKPTR(0, 0, 1), STKPTR(0, 0, 2)};
  const uint32_t h = NewViewStockList(items, 2);
  ASSERT_NE(h, 0u);
  ASSERT_NE(FindViewStockList(h), nullptr);
  EXPECT_EQ(FindViewStockList(h)->count, 2u);
  EXPECT_TRUE(AddRefViewStockList(h));
  EXPECT_TRUE(AddRefViewStockList(h));
  ReleaseViewStockList(h);
  EXPECT_NE(FindViewStockList(h), nullptr);
  ReleaseViewStockList(h);
  EXPECT_EQ(FindViewStockList(h), nullptr);
  EXPECT_FALSE(AddRefViewStockList(h));
  // A new list in the same slot gets a new handle.
  const uint32_t again = NewViewStockList(items, 1);
  EXPECT_NE(again, h);
  DropUnusedViewStockList(again);
  EXPECT_EQ(LiveViewStockLists(), before);
  EXPECT_EQ(FindViewStockList(0x12345678), nullptr);
}

}  // namespace
