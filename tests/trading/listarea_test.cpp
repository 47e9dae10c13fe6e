// The list area's arrangement, the lists' menus and colours, and the user's
// refresh with its query interval.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi.h"
#include "testing/image_capture.h"
#include "tests/trading/dispatcher_fixture.h"
#include "trading/listarea.h"

namespace {

using trading_test::Broker;
using trading_test::DispatcherTest;

TPaneBox At(TPaneAlign align, int left, int top, int width, int height) {
  TPaneBox box;
  box.shown = true;
  box.align = align;
  box.left = left;
  box.top = top;
  box.width = width;
  box.height = height;
  return box;
}
const TPaneBox kHidden{};

struct TradingPageCase {
  const char *name;
  int width, height;
  bool left;
  int a, b, pPercent, pPercentWidth;
  TPaneBox panes[kListPaneCount];
  TPaneBox splitter;
};

TEST(ListArea, TheTradingPageStacksOrSetsItsTwoPanesSideBySide) {
  const TradingPageCase cases[] = {
      {"stacked, positions over orders", 1000, 400, false, 0, 1, 500000, 500000,
       {At(kAlignClient, 0, 0, 1000, 200), At(kAlignBottom, 0, 203, 1000, 197), kHidden, kHidden},
       At(kAlignBottom, 0, 200, 1000, 3)},
      {"stacked, equal panes: one pane at the bottom with the splitter", 1000, 400, false, 1, 1, 500000, 500000,
       {kHidden, At(kAlignBottom, 0, 203, 1000, 197), kHidden, kHidden},
       At(kAlignBottom, 0, 200, 1000, 3)},
      {"stacked, a bottom pane of no height gets 86", 6, 6, false, 0, 2, 500000, 500000,
       {At(kAlignClient, 0, 0, 6, 0), kHidden, At(kAlignBottom, 0, -80, 6, 86), kHidden},
       At(kAlignBottom, 0, -83, 6, 3)},
      {"side by side, 300000 leaves the positions 0.7 of the width less 3", 1000, 300, true, 0, 1, 500000, 300000,
       {At(kAlignLeft, 0, 0, 697, 300), At(kAlignClient, 699, 0, 301, 300), kHidden, kHidden},
       At(kAlignLeft, 697, 24, 2, 276)},
      {"side by side, the positions at least 460 on the left", 600, 300, true, 0, 1, 500000, 500000,
       {At(kAlignLeft, 0, 0, 460, 300), At(kAlignClient, 462, 0, 138, 300), kHidden, kHidden},
       At(kAlignLeft, 460, 24, 2, 276)},
      {"side by side, the positions at least 460 on the right", 600, 300, true, 1, 0, 500000, 500000,
       {At(kAlignClient, 299, 0, 460, 300), At(kAlignLeft, 0, 0, 297, 300), kHidden, kHidden},
       At(kAlignLeft, 297, 24, 2, 276)},
      {"side by side, another pane of no width gets 326", 6, 300, true, 2, 3, 500000, 500000,
       {kHidden, kHidden, At(kAlignLeft, 0, 0, 326, 300), At(kAlignClient, 328, 0, 0, 300)},
       At(kAlignLeft, 326, 24, 2, 276)},
      {"side by side, equal panes: one pane at the left with the splitter", 1000, 300, true, 2, 2, 500000, 500000,
       {kHidden, kHidden, At(kAlignLeft, 0, 0, 497, 300), kHidden},
       At(kAlignLeft, 497, 24, 2, 276)},
      {"a pane number out of range is not shown", 1000, 400, false, 7, 9, 500000, 500000,
       {kHidden, kHidden, kHidden, kHidden},
       At(kAlignBottom, 0, 200, 1000, 3)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const TListArea area = SetPositionLeftOrNot(c.width, c.height, c.left, c.a, c.b, c.pPercent, c.pPercentWidth);
    EXPECT_TRUE(area.changed);
    for (int pane = 0; pane < kListPaneCount; ++pane) EXPECT_EQ(area.panes[pane], c.panes[pane]) << "pane " << pane;
    EXPECT_EQ(area.splitter, c.splitter);
    EXPECT_EQ(area.splitterMinSize, 64);
  }
}

TEST(ListArea, OtherPagesShowOnePaneFillingTheAreaOrNothingChanges) {
  const struct {
    int page, pane;
  } cases[] = {{13, kPaneOrders}, {14, kPaneTrades}, {15, kPanePositions}, {22, kPaneConditions}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.page);
    const TListArea area = Panel4Resize(c.page, 800, 300, {});
    ASSERT_TRUE(area.changed);
    for (int pane = 0; pane < kListPaneCount; ++pane)
      EXPECT_EQ(area.panes[pane], pane == c.pane ? At(kAlignNone, 0, 0, 800, 300) : kHidden);
    EXPECT_FALSE(area.splitter.shown);
  }
  EXPECT_FALSE(Panel4Resize(16, 800, 300, {}).changed);
  EXPECT_FALSE(Panel4Resize(3, 800, 300, {}).changed);
  TListAreaOptions options;
  options.left = true;
  options.pPercentWidth = 300000;
  EXPECT_EQ(Panel4Resize(12, 1000, 300, options).panes[kPanePositions], At(kAlignLeft, 0, 0, 697, 300));
}

TEST(ListArea, TheSplitterStoresThePositionsPanesShare) {
  const struct {
    const char *name;
    bool left;
    int positionsWidth, positionsHeight, width, height;
    int pPercent, pPercentWidth;
  } cases[] = {
      {"side by side at 40 % is stored as the least", true, 400, 0, 1000, 300, 500000, 465000},
      {"side by side just under the threshold", true, 466, 0, 1000, 300, 500000, 465000},
      {"side by side at the threshold", true, 467, 0, 1000, 300, 500000, 467000},
      {"side by side at 48 %", true, 480, 0, 1000, 300, 500000, 480000},
      {"stacked at three quarters", false, 0, 300, 1000, 400, 750000, 500000},
      {"stacked on a small area", false, 0, 1, 1000, 3, 333333, 500000},
      {"an empty area keeps the values", true, 400, 0, 0, 300, 500000, 500000},
      {"an empty stacked area keeps the values", false, 0, 100, 1000, 0, 500000, 500000},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    int pPercent = 500000, pPercentWidth = 500000;
    Splitter3Moved(c.left, c.positionsWidth, c.positionsHeight, c.width, c.height, pPercent, pPercentWidth);
    EXPECT_EQ(pPercent, c.pPercent);
    EXPECT_EQ(pPercentWidth, c.pPercentWidth);
  }
}

TEST(ListArea, TabColumnsSplitThePaneHeightAndTheListStartsAfterThem) {
  TTabColumn tabs = PositionTabColumn(500, 201, true);
  EXPECT_EQ(tabs.upper, At(kAlignNone, 0, 0, 30, 100));
  EXPECT_EQ(tabs.lower, At(kAlignNone, 0, 100, 30, 101));
  EXPECT_EQ(tabs.list, At(kAlignNone, 30, 0, 470, 201));
  tabs = PositionTabColumn(500, 201, false);
  EXPECT_EQ(tabs.upper, At(kAlignNone, 0, 0, 30, 201));
  EXPECT_FALSE(tabs.lower.shown);
  tabs = OrderTabColumn(400, 200, false);
  EXPECT_FALSE(tabs.upper.shown);
  EXPECT_EQ(tabs.lower, At(kAlignNone, 0, 0, 30, 200));
  EXPECT_EQ(tabs.list, At(kAlignNone, 30, 0, 370, 200));
  EXPECT_TRUE(OrdersPaneClickChoosesAll(99, 200));
  EXPECT_FALSE(OrdersPaneClickChoosesAll(100, 200));

  const TTabCaption caption = TabCaptionPlacement(RECT{0, 100, 30, 200}, true);
  EXPECT_EQ(caption.first.x, 9);
  EXPECT_EQ(caption.first.y, 42);
  EXPECT_EQ(caption.second.y, 56);
  EXPECT_EQ(caption.colour, RGB(0x40, 0x40, 0x40));
  EXPECT_EQ(TabCaptionPlacement(RECT{0, 0, 30, 100}, false).colour, RGB(0xA0, 0xA0, 0xA0));
}

std::vector<std::string> Texts(const std::vector<TListMenuItem> &items) {
  std::vector<std::string> texts;
  for (const auto &item : items) texts.push_back(item.text ? item.text : "-");
  return texts;
}

TEST(ListArea, MenusOfferTheStopAndPositionCommandsOnlyOnTheHoldingsTab) {
  EXPECT_EQ(Texts(OrderListMenu()),
            (std::vector<std::string>{"刷新(&R)", "-", "撤单(&Q)", "全部撤单(&A)", "改单(&M)", "-", "快捷平仓(&C)",
                                      "快捷反手(&O)", "快捷锁仓(&L)"}));
  EXPECT_EQ(Texts(PositionListMenu(false)), (std::vector<std::string>{"刷新(&R)", "-", "快捷平仓(&C)"}));
  const auto holdings = PositionListMenu(true);
  EXPECT_EQ(Texts(holdings), (std::vector<std::string>{"刷新(&R)", "-", "快捷平仓(&C)", "快捷反手(&O)",
                                                        "快捷锁仓(&L)", "-", "止损止盈(&S)"}));
  EXPECT_EQ(holdings.back().command, TListCommand::PositionStops);
  const auto pane = OrdersPaneMenu(true);
  ASSERT_EQ(pane.size(), 2u);
  EXPECT_TRUE(pane[0].radio && !pane[0].checked);
  EXPECT_TRUE(pane[1].radio && pane[1].checked);
  EXPECT_EQ(pane[1].command, TListCommand::ShowCancellableOrders);
}

TEST(ListArea, CellColoursFollowListColumnAndText) {
  constexpr COLORREF red = RGB(255, 0, 0), green = RGB(0, 127, 0), blue = RGB(0, 0, 255),
                     magenta = RGB(210, 0, 210), black = RGB(0, 0, 0);
  const struct {
    TListKind list;
    int column;
    const char *text;
    std::optional<COLORREF> colour;
  } cases[] = {
      {TListKind::Orders, 2, "买　", red},       {TListKind::Orders, 2, "　卖", green},
      {TListKind::Trades, 2, "", green},         {TListKind::Orders, 3, "开　", black},
      {TListKind::Trades, 3, "　平", magenta},   {TListKind::Orders, 3, "平今", blue},
      {TListKind::Orders, 3, "平昨", red},       {TListKind::Trades, 3, "强平", red},
      {TListKind::Orders, 4, "3500", {}},        {TListKind::Orders, 1, "买", {}},
      {TListKind::Positions, 1, "买　", red},    {TListKind::Positions, 1, "　卖", green},
      {TListKind::Positions, 2, "昨仓", magenta}, {TListKind::Positions, 2, "今仓", blue},
      {TListKind::Positions, 2, "-", black},     {TListKind::Positions, 7, "-300", green},
      {TListKind::Positions, 7, "300", red},     {TListKind::Positions, 8, "", red},
      {TListKind::Positions, 3, "买", {}},       {TListKind::Positions, 9, "-1", {}},
      {TListKind::Orders, 2, nullptr, green},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(int(c.list)) + "/" + std::to_string(c.column));
    EXPECT_EQ(ListCellColour(c.list, c.column, c.text), c.colour);
  }
  // A focused selection draws in the highlight text; an unfocused one keeps
  // the rule; a column without a rule takes the row's colour.
  EXPECT_EQ(ListCellTextColour(TListKind::Positions, 7, "-3", true, true, 0x123456), GetSysColor(COLOR_HIGHLIGHTTEXT));
  EXPECT_EQ(ListCellTextColour(TListKind::Positions, 7, "-3", true, false, 0x123456), green);
  EXPECT_EQ(ListCellTextColour(TListKind::Positions, 3, "5", true, false, 0x123456), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(ListCellTextColour(TListKind::Positions, 3, "5", false, false, 0x123456), COLORREF(0x123456));
  EXPECT_EQ(ListRowBackground(0, false, false), RGB(255, 255, 255));
  EXPECT_EQ(ListRowBackground(3, false, true), RGB(245, 245, 245));
  EXPECT_EQ(ListRowBackground(3, true, true), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ListRowBackground(3, true, false), GetSysColor(COLOR_BTNFACE));
}

TEST(ListArea, TheBannerNamesTheConnectionLoss) {
  EXPECT_EQ(ConnectionBannerText(0), nullptr);
  EXPECT_EQ(ConnectionBannerText(5), nullptr);
  EXPECT_STREQ(ConnectionBannerText(-1), "交易服务器已断开。正在自动重连，请等待...");
  EXPECT_STREQ(ConnectionBannerText(-2), "您已被交易服务器断开。");
  EXPECT_STREQ(ConnectionBannerText(-7), "重新登录时出现错误。");
}

TEST(ListRefresh, TheIntervalAndARunningRefreshRefuseTheUserAcrossTheTickWrap) {
  const struct {
    const char *name;
    DWORD last, now;
    int tag;
    TRefreshRefusal refusal;
    DWORD lastAfter;
  } cases[] = {
      {"first refresh", 0, 5000, 0, TRefreshRefusal::None, 5000},
      {"3 s after the last", 5000, 8000, 0, TRefreshRefusal::Interval, 5000},
      {"10 s after the last", 5000, 15000, 0, TRefreshRefusal::None, 15000},
      {"a refresh still runs", 5000, 15000, 1, TRefreshRefusal::Running, 15000},
      {"a tick count of 0 is taken as 1", 0, 0, 0, TRefreshRefusal::None, 1},
      {"3 s across the wrap", 0xFFFFF000u, 0x00000400u, 0, TRefreshRefusal::Interval, 0xFFFFF000u},
      {"11 s across the wrap", 0xFFFFF000u, 0x00002000u, 0, TRefreshRefusal::None, 0x00002000u},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    DWORD last = c.last;
    EXPECT_EQ(CheckUserRefresh(last, c.tag, 10000, c.now), c.refusal);
    EXPECT_EQ(last, c.lastAfter);
  }
  EXPECT_NE(RefreshRefusalText(TRefreshRefusal::Interval, 10000).find("间隔 10 秒"), std::string::npos);
  EXPECT_EQ(RefreshRefusalText(TRefreshRefusal::Running, 10000).rfind("前次查询尚未完成", 0), 0u);
}

TEST_F(DispatcherTest, AUserRefreshInsideTheIntervalIsRefusedAndAsksNothing) {
  trading_.pageState = kPageTrading;
  trading_.queryInterval = 10000;
  Broker.answers["QueryOrder 0"] = [] {};
  int stopDialogCloses = 0;
  dispatch_.hooks.closeStopDialog = [&] { ++stopDialogCloses; };
  dispatch_.XPButton4Click(true);
  EXPECT_EQ(Broker.calls, std::vector<std::string>{"QueryOrder 0"});
  EXPECT_EQ(dispatch_.refreshTag, 1);
  EXPECT_EQ(boxes_.Count(), 0u);

  // 3 s later: the interval text with 10, nothing asked.
  clock_.Advance(3000);
  dispatch_.XPButton4Click(true);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_NE(boxes_.Calls()[0].text.find("间隔 10 秒"), std::string::npos);
  EXPECT_EQ(boxes_.Calls()[0].caption, "提示");
  EXPECT_EQ(boxes_.Calls()[0].type & MB_ICONMASK, UINT(MB_ICONWARNING));
  EXPECT_EQ(Broker.calls.size(), 1u);
  EXPECT_EQ(ui_.Calls("RefocusOrderPanel").size(), 1u);

  // Past the interval while the first still runs: the running text.
  clock_.Advance(8000);
  dispatch_.XPButton4Click(true);
  ASSERT_EQ(boxes_.Count(), 2u);
  EXPECT_EQ(boxes_.Calls()[1].text.rfind("前次查询尚未完成", 0), 0u);
  EXPECT_EQ(Broker.calls.size(), 1u);
  EXPECT_EQ(stopDialogCloses, 3);
}

TEST_F(DispatcherTest, ATradeListFailureShowsInTheTradePaneAndABoxOnlyOffItsOwnPage) {
  Broker.results["QueryTrade 0"] = 4;
  Broker.answers["QueryTrade 0"] = [] {};
  trading_.pageState = kPageTrades;
  dispatch_.refreshTag = 1;
  dispatch_.XPButton20Click();
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(dispatch_.refreshTag, 0);
  EXPECT_TRUE(dispatch_.book.lists.tradeWarningShown);
  EXPECT_EQ(dispatch_.book.lists.tradeWarning, "查询当日成交失败 (4) ");
  EXPECT_EQ(dispatch_.book.lists.tradeWarningColour, RGB(255, 0, 0));

  trading_.pageState = kPageTrading;
  dispatch_.XPButton20Click();
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
  EXPECT_EQ(boxes_.Calls()[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
  EXPECT_EQ(ui_.Calls("RefocusOrderPanel").size(), 1u);

  // Asked: the pane says so in blue.
  Broker.results.erase("QueryTrade 0");
  dispatch_.XPButton20Click();
  EXPECT_EQ(dispatch_.book.lists.tradeWarning, "正在查询当日成交...");
  EXPECT_EQ(dispatch_.book.lists.tradeWarningColour, RGB(0, 0, 255));
}

}  // namespace

namespace {

// A white bitmap the banners are painted into, one above the other.
class BannerCanvas {
 public:
  BannerCanvas(int width, int height) : width_(width) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const uint32_t *>(bits);
    old_ = SelectObject(dc_, bitmap_);
    RECT all{0, 0, width, height};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc_, &all, white);
    DeleteObject(white);
  }
  ~BannerCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  HBITMAP Bitmap() const { return bitmap_; }
  // Pixels in the band that are mostly red (the bits are 0xRRGGBB).
  int RedPixels(const RECT &band) const {
    int count = 0;
    for (int y = band.top; y < band.bottom; ++y)
      for (int x = band.left; x < band.right; ++x) {
        const uint32_t c = bits_[y * width_ + x];
        if ((c >> 16 & 0xFF) > 200 && (c >> 8 & 0xFF) < 100 && (c & 0xFF) < 100) ++count;
      }
    return count;
  }

 private:
  int width_;
  HDC dc_;
  HBITMAP bitmap_;
  const uint32_t *bits_ = nullptr;
  HGDIOBJ old_;
};

TEST(ListArea, TheBannerPaintsRedTextOnlyWhileDisconnected) {
  const int states[] = {-1, -2, -3, 1};
  BannerCanvas canvas(420, 24 * 4);
  for (int i = 0; i < 4; ++i) PaintConnectionBanner(canvas.Dc(), RECT{0, 24 * i, 420, 24 * (i + 1)}, states[i]);
  testing_support::SaveDibPng(canvas.Bitmap(), testing_support::PicturePath("trade-banner.png"));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(states[i]);
    EXPECT_GT(canvas.RedPixels(RECT{0, 24 * i, 420, 24 * (i + 1)}), 20);
    // 2 pixels kept free at the left edge.
    EXPECT_EQ(canvas.RedPixels(RECT{0, 24 * i, 2, 24 * (i + 1)}), 0);
  }
  EXPECT_EQ(canvas.RedPixels(RECT{0, 72, 420, 96}), 0);
}

}  // namespace
