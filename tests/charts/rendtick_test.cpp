// The intraday view's tick chart offscreen: its layout from the trade
// agent, its colours, the zoom keys and levels and paging.
#include <climits>
#include <cstring>
#include <vector>

#include "charts/rendform.h"
#include "chart_world.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/winuser.h"

namespace charts_test {
namespace {

using testing_support::ViewPage;

std::vector<TICKREC> Trades(int n) {
  std::vector<TICKREC> out(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    TICKREC &t = out[size_t(k)];
    t.time = MakePackedDateTime(2024, 3, 4, 9 + k / 120, (k / 2) % 60);
    t.price = 3000000 + uint32_t(1000 * ((k * 7) % 13));
    t.volume = float(1 + (k * 5) % 17);
    t.amount = 50000.0f + float(k % 30);
    t.side = uint8_t(k % 3);
  }
  return out;
}

class TickChart : public ChartWorld {
 protected:
  TickChart() { RegisterIntradayView(); }

  std::unique_ptr<ViewPage> Open(STKPTR stock, int width = 800, int height = 500) {
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_INTRADAY, &record);
    record.stock = stock;
    record.flags = kRendPageTick;
    auto page = std::make_unique<ViewPage>(VIEW_TYPE_INTRADAY, &record, width, height);
    harness_.Pump();
    return page;
  }
  static TRendForm *View(const ViewPage &page) { return page.View<TRendForm>(); }
  void Feed(TRendForm *v, const std::vector<TICKREC> &trades) {
    CDataAgent *a = DataAgentAt(v->TradeAgent);
    ASSERT_NE(a, nullptr);
    const int32_t bytes = int32_t(trades.size() * sizeof(TICKREC));
    if (!a->series || MSize(a->series) < bytes) {
      Free(a->series);
      a->series = Malloc(std::max(bytes, 1));
    }
    std::memcpy(a->series, trades.data(), size_t(bytes));
    a->itemSize = int32_t(sizeof(TICKREC));
    a->itemCount = int32_t(trades.size());
    a->capacity = MSize(a->series) / a->itemSize;
    SendMessageA(v->Handle(), WM_AGENT_UPDATE, 100, v->TradeAgent);
    harness_.Advance(kRendRedrawMs + 10);
  }
};

TEST_F(TickChart, DrawsTheTradesFromTheTradeAgent) {
  PutQuote(DL, 0).refPrice = 3005000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  ASSERT_NE(v, nullptr);
  ASSERT_GE(v->TradeAgent, 0);
  v->m_attr.displayFlags |= 0x1000;  // bars in the side's colours
  Feed(v, Trades(400));
  const _Tick &tick = v->Tick;
  ASSERT_GT(tick.GetVisibleCount(), 0);
  EXPECT_EQ(tick.windowEnd, 400);
  // The price line in its colour; the volume bars by side.
  const TRENDPOINT *p = tick.GetPoints();
  const int mid = tick.GetVisibleCount() / 2;
  EXPECT_EQ(harness_.Pixel(v->Handle(), p[mid].x, p[mid].y), ViewColor(44));
  int vt = 0, vb = 0;
  tick.GetVolumePaneSpan(&vt, &vb);
  const TRENDPOINT *bars = tick.GetVolumeBars();
  int checked = 0;
  for (int i = 0; i < tick.GetVisibleCount() && checked < 6; ++i) {
    if (bars[i].y >= vb - 4) continue;
    if (i > 0 && bars[i - 1].x == bars[i].x) continue;
    const COLORREF want = bars[i].rawPrice == 0 ? ViewColor(21) : ViewColor(19);
    EXPECT_EQ(harness_.Pixel(v->Handle(), bars[i].x, vb - 3), want) << i;
    ++checked;
  }
  harness_.Pump();
  harness_.SavePng(harness_.Render(v), "tick-chart");
}

TEST_F(TickChart, ZoomKeysLevelsAndPaging) {
  PutQuote(DL, 0).refPrice = 3005000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  Feed(v, Trades(3000));
  v->SetTickZoom(2);
  const int capacity = v->Tick.capacity;
  v->SetTickZoom(0);
  EXPECT_EQ(v->Tick.zoom, 0.25f);
  EXPECT_NEAR(v->Tick.capacity, 4 * capacity, 4);

  struct Step {
    WORD key;
    float zoom;
  } steps[] = {{VK_UP, 0.5f}, {VK_UP, 1.0f}, {VK_UP, 2.0f}, {VK_UP, 3.0f}, {VK_UP, 4.0f}, {VK_UP, 5.0f},
               {VK_UP, 5.0f}, {VK_DOWN, 4.0f}, {VK_DOWN, 3.0f}};
  for (const Step &s : steps) {
    WORD key = s.key;
    v->FormKeyDown(v, key, TShiftState());
    EXPECT_EQ(v->Tick.zoom, s.zoom);
  }
  // Ctrl+Left pages back by a capacity, Shift+Right half a capacity on.
  v->SetTickZoom(2);
  const int start = v->Tick.windowStart;
  const int a = v->Tick.capacity;
  ASSERT_GT(start, a);
  WORD left = VK_LEFT, right = VK_RIGHT;
  v->FormKeyDown(v, left, TShiftState() << ssCtrl);
  EXPECT_EQ(v->Tick.windowStart, start - a);
  v->FormKeyDown(v, right, TShiftState() << ssShift);
  EXPECT_EQ(v->Tick.windowStart, start - a + a / 2);
}

// A press in the time strip under the volume pane grabs the trades: moving
// left shows newer ones, right older ones, one trade per zoom step, the
// rest of a step kept for the next move; the window stays within the
// trades. A press elsewhere scrolls nothing.
TEST_F(TickChart, DraggingTheTimeStripScrollsTheWindow) {
  PutQuote(DL, 0).refPrice = 3005000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  Feed(v, Trades(3000));
  v->SetTickZoom(3);  // 2 pixels a trade
  ASSERT_EQ(v->Tick.zoom, 2.0f);
  RECT strip{};
  v->Tick.GetVolumeRect(&strip);
  const int y = (strip.top + strip.bottom) / 2, x0 = (strip.left + strip.right) / 2;
  RECT price{};
  v->Tick.GetPricePlotRect(&price);
  struct Case {
    const char *what;
    int pressY;
    std::vector<int> moves;  // x offsets from the press, in order
    int shift;               // change of the window start; INT_MIN: the start is 0
  } cases[] = {
      {"left by ten trades", y, {-20}, 10},
      {"right by ten trades", y, {20}, -10},
      {"pixel by pixel", y, {-1, -2, -3, -4, -5, -6, -7}, 3},
      {"past the first trade", y, {2400}, INT_MIN},
      {"in the price pane", (price.top + price.bottom) / 3, {-40}, 0},
  };
  for (const Case &c : cases) {
    v->Tick.windowStart = 1000;
    v->RefreshView(false);
    ASSERT_EQ(v->Tick.windowStart, 1000) << c.what;
    harness_.MouseMove(v->Handle(), x0, c.pressY);
    EXPECT_EQ(v->CursorKind, c.pressY == y ? 2 : 0) << c.what;
    harness_.MouseDown(v->Handle(), x0, c.pressY);
    for (int dx : c.moves) harness_.MouseMove(v->Handle(), x0 + dx, c.pressY);
    harness_.MouseUp(v->Handle(), x0 + c.moves.back(), c.pressY);
    EXPECT_EQ(v->Tick.windowStart, c.shift == INT_MIN ? 0 : 1000 + c.shift) << c.what;
    EXPECT_FALSE(v->Tick.tickDrag) << c.what;
  }
  // Dragged past the newest trade the chart shows the newest trades again.
  harness_.MouseDown(v->Handle(), strip.right - 2, y);
  harness_.MouseMove(v->Handle(), strip.left - 6000, y);
  harness_.MouseUp(v->Handle(), strip.left - 6000, y);
  EXPECT_EQ(v->Tick.windowEnd, 3000);
}

// The price/volume split of the tick chart drags as the minute trend's:
// the line follows the mouse, the release sets the share, held to 0.1..0.9.
TEST_F(TickChart, SplitDragSetsThePriceShare) {
  PutQuote(DL, 0).refPrice = 3005000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  Feed(v, Trades(400));
  RECT plot{};
  v->Tick.GetPricePlotRect(&plot);
  const int x = (plot.left + plot.right) / 2;
  struct Case {
    int releaseY;
    float share;
  } cases[] = {{int(plot.top) - 30, 0.1f}, {int(plot.bottom) + 30, 0.9f}, {int(plot.top + plot.bottom) / 2, 0.5f}};
  for (const Case &c : cases) {
    const int split = v->Tick.splitY;
    harness_.MouseMove(v->Handle(), x, split + 2);
    EXPECT_EQ(v->CursorKind, 1);
    harness_.MouseDown(v->Handle(), x, split + 2);
    harness_.MouseMove(v->Handle(), x, c.releaseY);
    EXPECT_EQ(v->DragLineY, c.releaseY);
    harness_.MouseUp(v->Handle(), x, c.releaseY);
    EXPECT_NEAR(v->Tick.ratio, c.share, 0.01f) << c.releaseY;
    EXPECT_EQ(v->Dragging, 0);
    EXPECT_FALSE(v->Tick.splitDrag);
  }
}

// The chart bitmap's pixels, for comparing before and after.
std::vector<uint32_t> ChartPixels(TRendForm *v) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = v->ClientWidth();
  info.bmiHeader.biHeight = -v->ClientHeight();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> pixels(size_t(v->ClientWidth()) * size_t(v->ClientHeight()));
  HDC dc = CreateCompatibleDC(nullptr);
  GetDIBits(dc, v->ChartBitmap, 0, UINT(v->ClientHeight()), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
  return pixels;
}

TEST_F(TickChart, CrossHairIsXoredIntoTheChartAndCopiesOnlyStripsAndLabels) {
  PutQuote(DL, 0).refPrice = 3005000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  Feed(v, Trades(400));
  harness_.Pump();
  const std::vector<uint32_t> before = ChartPixels(v);
  const TRect plot = v->CrossPlotRect();
  const int x = (plot.Left + plot.Right) / 2, y = plot.Top + 40;

  // The read-out and the boxes follow the trade under the mouse.
  WORD enter = VK_RETURN;
  v->m_attr.displayFlags |= 0x200;
  v->FormKeyDown(v, enter, TShiftState());
  ASSERT_TRUE(v->CrossHairOn);
  v->TrackTickCursor(x - 30, y + 20, v->Tick.HitTest(x - 30), false);
  v->TrackTickCursor(x, y, v->Tick.HitTest(x), false);
  EXPECT_TRUE(v->WatchPage->Visible());
  EXPECT_NE(v->WatchLabels[7]->Caption(), "------");
  for (const TRect &r : v->CrossCopies) {
    const bool strip = r.Width() == 3 || r.Height() == 3;
    const bool box = r.Width() <= 300 && r.Height() <= 30;
    EXPECT_TRUE(strip || box) << r.Left << "," << r.Top << " " << r.Width() << "x" << r.Height();
  }
  EXPECT_EQ(v->CrossCopies.size(), 8u) << "two lines old and new, two restored areas, two boxes";
  harness_.SavePng(harness_.Render(v), "tick-crosshair");

  v->EraseTrendCrossHair();
  EXPECT_EQ(ChartPixels(v), before) << "drawing the lines twice leaves the chart as it was";
}

// The label boxes' font is made once, not at every move; a changed font
// entry gives a new one at the next move (the old one deleted), a font
// change of the view and its close give it back.
TEST_F(TickChart, CrossHairLabelsKeepTheirFontUntilTheFontChanges) {
  PutQuote(DL, 0).refPrice = 3005000;
  // The first view makes the fonts the views share; a view opened and
  // closed after it leaves nothing behind.
  Open(Stock(DL, 0)).reset();
  harness_.Pump();
  size_t objectsBefore = platform::LiveGdiObjectCount();
  Open(Stock(DL, 0)).reset();
  harness_.Pump();
  EXPECT_EQ(platform::LiveGdiObjectCount(), objectsBefore) << "a view that never showed the labels";
  objectsBefore = platform::LiveGdiObjectCount();
  {
    auto page = Open(Stock(DL, 0));
    TRendForm *v = View(*page);
    Feed(v, Trades(400));
    harness_.Pump();
    const TRect plot = v->CrossPlotRect();
    const int x = (plot.Left + plot.Right) / 2, y = plot.Top + 40;
    v->CrossHairOn = true;
    v->TrackTickCursor(x, y, v->Tick.HitTest(x), false);
    const HFONT kept = v->CrossLabelFont.Held();
    ASSERT_NE(kept, nullptr);
    ASSERT_FALSE(v->CrossCopies.empty());
    const int boxHeight = v->CrossCopies.back().Height();
    const size_t objects = platform::LiveGdiObjectCount();
    for (int k = 1; k <= 10; ++k) v->TrackTickCursor(x - 3 * k, y + k, v->Tick.HitTest(x - 3 * k), false);
    EXPECT_EQ(v->CrossLabelFont.Held(), kept);
    EXPECT_EQ(platform::LiveGdiObjectCount(), objects);

    fonts_[9].size = 20;
    v->TrackTickCursor(x, y, v->Tick.HitTest(x), false);
    EXPECT_NE(v->CrossLabelFont.Held(), nullptr);
    EXPECT_GT(v->CrossCopies.back().Height(), boxHeight) << "the time box in the larger font";
    EXPECT_EQ(platform::LiveGdiObjectCount(), objects) << "the old font deleted";

    v->ApplyFonts();
    EXPECT_EQ(v->CrossLabelFont.Held(), nullptr);
    v->TrackTickCursor(x, y, v->Tick.HitTest(x), false);
  }
  harness_.Pump();
  EXPECT_EQ(platform::LiveGdiObjectCount(), objectsBefore) << "the labels' font goes with the view";
}

}  // namespace
}  // namespace charts_test

namespace charts_test {
namespace {

TEST(DetailPage, TheNewestTradesFillTheLastGroup) {
  struct Case {
    int count, groups, rows, first;
  } cases[] = {{120, 2, 40, 40}, {120, 3, 40, 0}, {121, 2, 40, 80}, {0, 2, 40, 0}, {30, 1, 40, 0}};
  for (const Case &c : cases)
    EXPECT_EQ(TRendForm::DetailPageFirst(c.count, c.groups, c.rows), c.first) << c.count << " " << c.groups;
}

// Esc on the detail and distribution pages, typed into the control that has
// the focus there, goes back to the chart the page was opened from.
TEST_F(TickChart, EscapeLeavesTheDetailAndDistributionPages) {
  PutQuote(DL, 0).refPrice = 3005000;
  struct Case {
    uint32_t from;
    int command;
    uint32_t back;
  } cases[] = {{kRendPageTick, 28, kRendPageTick},
               {kRendPageTick, 30, kRendPageTick},
               {0, 28, 0},
               {0, 31, 0}};
  for (const Case &c : cases) {
    auto page = Open(Stock(DL, 0));
    TRendForm *v = View(*page);
    Feed(v, Trades(120));
    v->m_attr.flags = c.from;
    v->RefreshView(true);
    v->ExecuteViewCommand(c.command);
    harness_.Pump();
    const HWND focus = GetFocus();
    ASSERT_NE(focus, v->Handle()) << c.command << ": the page's own control has the focus";
    harness_.Key(VK_ESCAPE, TShiftState(), focus);
    EXPECT_EQ(v->m_attr.flags & 0xF, c.back) << c.command << " from " << c.from;
    EXPECT_FALSE(v->Panel2->Visible() || v->Panel3->Visible()) << c.command;
  }
}

TEST_F(TickChart, DetailPageSheet) {
  PutQuote(DL, 0).refPrice = 3005000;
  Quote(DL, 0).prevOpenInterest = 50000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  v->m_attr.flags = kRendPageDetail;
  Feed(v, Trades(120));
  v->RefreshView(true);
  harness_.Pump();
  ASSERT_TRUE(v->Panel2->Visible());
  harness_.SavePng(harness_.Render(v), "detail-page-futures");
}

}  // namespace
}  // namespace charts_test

namespace charts_test {
namespace {

TEST_F(TickChart, DistributionPageShowsTheNatureGridForFuturesOnly) {
  struct Case {
    int market;
    bool natureGrid;
    const char *sheet;
  } cases[] = {{DL, true, "distribution-futures"}, {SH, false, nullptr}};
  for (const Case &c : cases) {
    PutQuote(c.market, c.market == SH ? 1 : 0).refPrice = 3005000;
    Quote(c.market, c.market == SH ? 1 : 0).prevOpenInterest = 50000;
    auto page = Open(Stock(c.market, c.market == SH ? 1 : 0));
    TRendForm *v = View(*page);
    v->m_attr.flags = kRendPageDistribution;
    Feed(v, Trades(300));
    v->RefreshView(true);
    harness_.Pump();
    ASSERT_TRUE(v->Panel3->Visible()) << c.market;
    EXPECT_EQ(v->DrawGrid2->RowCount(), int(v->Distribution.bars.size()) + 1);
    EXPECT_EQ(v->Distribution.bars.size(), 13u);
    EXPECT_EQ(v->DrawGrid3->Visible(), c.natureGrid) << c.market;
    if (c.sheet) harness_.SavePng(harness_.Render(v), c.sheet);
  }
}

// The distribution and nature grids draw every cell in one font kept by the
// view, not one made per cell; a font change of the view gives it back.
TEST_F(TickChart, DistributionCellsKeepOneFont) {
  PutQuote(DL, 0).refPrice = 3005000;
  auto page = Open(Stock(DL, 0));
  TRendForm *v = View(*page);
  v->m_attr.flags = kRendPageDistribution;
  Feed(v, Trades(300));
  v->RefreshView(true);
  harness_.Render(v);
  const HFONT kept = v->CellFont.Held();
  ASSERT_NE(kept, nullptr);
  const size_t objects = platform::LiveGdiObjectCount();
  harness_.Render(v);
  EXPECT_EQ(v->CellFont.Held(), kept);
  EXPECT_EQ(platform::LiveGdiObjectCount(), objects);
  v->ApplyFonts();
  EXPECT_EQ(v->CellFont.Held(), nullptr);
}

}  // namespace
}  // namespace charts_test

namespace charts_test {
namespace {

// Adding or removing an overlay subscribes the view again. On every page the
// view keeps the series its agents hold (the live trades and minutes are in
// no cache file), so the shown page does not go blank; the overlay is held
// but only the minute trend draws it, and leaving a page for the minute
// trend drops the overlays.
TEST_F(TickChart, OverlaysKeepTheSeriesOfEveryPage) {
  PutQuote(DL, 0).refPrice = 3005000;
  PutQuote(DL, 1).refPrice = 3005000;
  struct Case {
    uint32_t page;
    int command;  // 0: the page is shown by its flags
  } cases[] = {{0, 30}, {0, 28}, {kRendPageTick, 0}, {kRendPageTick, 31}, {0, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "page " << c.page << " command " << c.command);
    auto page = Open(Stock(DL, 0));
    TRendForm *v = View(*page);
    v->m_attr.flags = c.page;
    v->RefreshView(true);
    if (v->TradeAgent < 0) v->ExecuteViewCommand(28);  // only to get the trade agent
    Feed(v, Trades(300));
    DataAgentAt(v->TradeAgent)->count = 300;  // as trades appended live leave it
    CDataAgent *trend = DataAgentAt(v->TrendAgent);
    ASSERT_NE(trend, nullptr);
    std::vector<TRENDREC> minutes(60);
    for (size_t k = 0; k < minutes.size(); ++k) minutes[k].price = minutes[k].firstPrice = 3005000;
    Free(trend->series);
    trend->series = Malloc(int32_t(minutes.size() * sizeof(TRENDREC)));
    std::memcpy(trend->series, minutes.data(), minutes.size() * sizeof(TRENDREC));
    trend->itemCount = trend->capacity = int32_t(minutes.size());
    v->m_attr.flags = c.page;
    if (c.command) v->ExecuteViewCommand(c.command);
    v->RefreshView(true);
    const uint32_t flags = v->m_attr.flags;

    auto expectShown = [&](const char *step) {
      SCOPED_TRACE(step);
      EXPECT_EQ(v->m_attr.flags, flags);
      int trades = 0;
      v->TradeSeries(&trades);
      if (flags & (kRendPageDetail | kRendPageDistribution | kRendPageTick)) EXPECT_EQ(trades, 300);
      ASSERT_NE(DataAgentAt(v->TrendAgent), nullptr);
      EXPECT_EQ(DataAgentAt(v->TrendAgent)->itemCount, 60);
      if (flags & kRendPageDistribution) {
        EXPECT_TRUE(v->Panel3->Visible());
        EXPECT_EQ(v->Distribution.bars.size(), 13u);
        EXPECT_EQ(v->DrawGrid2->RowCount(), 14);
      } else if (flags & kRendPageDetail) {
        EXPECT_TRUE(v->Panel2->Visible());
      } else if (flags & kRendPageTick) {
        EXPECT_EQ(v->Tick.GetTickCount(), 300);
      } else {
        ASSERT_EQ(v->Trend.DayCount(), 1);
        EXPECT_EQ(v->Trend.Day(0)->GetPointCount(), 60);
      }
    };
    v->AddOverlay(Stock(DL, 1), true);
    harness_.Pump();
    EXPECT_TRUE(v->OverlaysShown());
    expectShown("overlay added");
    v->N15Click();
    harness_.Pump();
    EXPECT_FALSE(v->OverlaysShown());
    expectShown("overlays removed");

    if (flags & (kRendPageDetail | kRendPageDistribution)) {
      v->AddOverlay(Stock(DL, 1), true);
      harness_.Pump();
      harness_.Key(VK_ESCAPE, TShiftState(), GetFocus());
      EXPECT_EQ(v->OverlaysShown(), (flags & kRendPageTick) != 0) << "Esc back to the minute trend drops them";
    }
  }
}

}  // namespace
}  // namespace charts_test
