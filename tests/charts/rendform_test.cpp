// The intraday view offscreen: its agents fed by the test, the coalesced
// redraw, the page commands, the data refresh, the keys and the mouse, and
// the picture sheets of the minute trend.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "charts/rendform.h"
#include "chart_world.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "platform/messages.h"
#include "platform/winuser.h"

namespace charts_test {
namespace {

using testing_support::ViewPage;

std::vector<TRENDREC> Series(int n, const std::function<uint32_t(int)> &price, float perMinute = 40) {
  std::vector<TRENDREC> out(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    TRENDREC &r = out[size_t(k)];
    r.price = price(k);
    r.volume = perMinute * float(k + 1) + float((k * 37) % 23) * float(k);
    r.amount = 50000.0f + float((k * 13) % 29) * 10.0f;
    r.advancing = uint16_t(200 + (k * 7) % 90);
    r.declining = uint16_t(220 - (k * 5) % 70);
    r.leadingOffset = int32_t((k % 40) - 15);
  }
  return out;
}

// Puts a series into an agent as if it had built it from the cache files.
void Feed(int32_t id, const std::vector<TRENDREC> &series) {
  CDataAgent *a = DataAgentAt(id);
  ASSERT_NE(a, nullptr);
  const int32_t bytes = int32_t(series.size() * sizeof(TRENDREC));
  if (!a->series || MSize(a->series) < bytes) {
    Free(a->series);
    a->series = Malloc(std::max(bytes, 1));
  }
  std::memcpy(a->series, series.data(), size_t(bytes));
  a->itemSize = int32_t(sizeof(TRENDREC));
  a->itemCount = int32_t(series.size());
  a->capacity = MSize(a->series) / a->itemSize;
}

uint32_t Wave(int k) { return 10000u + uint32_t(300 + int(120 * ((k * 7) % 41 - 20) / 20) + k * 2); }

class IntradayView : public ChartWorld {
 protected:
  IntradayView() { RegisterIntradayView(); }

  std::unique_ptr<ViewPage> Open(STKPTR stock, int width = 800, int height = 500, uint32_t flags = 0,
                                 uint32_t displayFlags = 0) {
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_INTRADAY, &record);
    record.stock = stock;
    record.flags = flags;
    record.displayFlags = displayFlags;
    auto page = std::make_unique<ViewPage>(VIEW_TYPE_INTRADAY, &record, width, height);
    harness_.Pump();
    return page;
  }
  static TRendForm *View(const ViewPage &page) { return page.View<TRendForm>(); }
  void Show(TRendForm *v, const std::vector<TRENDREC> &series) {
    Feed(v->TrendAgent, series);
    SendMessageA(v->Handle(), WM_AGENT_UPDATE, 100, v->TrendAgent);
    harness_.Advance(kRendRedrawMs + 10);
  }
  void Sheet(TRendForm *v, const std::string &name) {
    harness_.Pump();
    harness_.SavePng(harness_.Render(v), name.substr(0, name.size() - 4));
  }
};

TEST_F(IntradayView, ReplacesThePlaceholderAndDrawsTheTrend) {
  REALQUOTE &q = PutQuote(SH, 1);
  q.high = 10800;
  q.low = 9900;
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  ASSERT_NE(v, nullptr);
  ASSERT_GE(v->TrendAgent, 0);
  Show(v, Series(241, Wave));
  ASSERT_EQ(v->Trend.DayCount(), 1);
  const _TickData &d = *v->Trend.Day(0);
  EXPECT_EQ(d.GetPointCount(), 241);
  // The price line is drawn in its colour at its points.
  const TRENDPOINT &p = d.GetPoints()[120];
  EXPECT_EQ(harness_.Pixel(v->Handle(), p.x, p.y), ViewColor(44));
  Sheet(v, "intraday-1day.png");
}

TEST_F(IntradayView, BurstOfUpdatesDrawsOnce) {
  PutQuote(SH, 1);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  Show(v, Series(100, Wave));
  const uint32_t before = v->ChartDraws;
  for (int i = 0; i < 5; ++i) SendMessageA(v->Handle(), WM_AGENT_UPDATE, 0, v->TrendAgent);
  EXPECT_EQ(v->ChartDraws, before);
  harness_.Advance(kRendRedrawMs + 10);
  EXPECT_EQ(v->ChartDraws, before + 1);
  harness_.Advance(kRendRedrawMs * 3);
  EXPECT_EQ(v->ChartDraws, before + 1);

  // A progress value only moves the progress.
  SendMessageA(v->Handle(), WM_AGENT_UPDATE, 37, v->TrendAgent);
  EXPECT_EQ(v->LoadPercent, 37u);
  EXPECT_FALSE(v->RedrawPending);
  harness_.Advance(kRendRedrawMs + 10);
  EXPECT_EQ(v->ChartDraws, before + 1);
  v->DrawTrendChart();
  v->RefreshView(false);
  Sheet(v, "intraday-progress.png");
}

TEST_F(IntradayView, IndexInstrumentRefusesTheOtherPages) {
  PutQuote(SH, 0);
  auto page = Open(Stock(SH, 0), 800, 500, kRendPageTick);
  TRendForm *v = View(*page);
  EXPECT_EQ(v->m_attr.flags, 0u);
  for (int code : {28, 29, 30, 31}) v->ExecuteViewCommand(code);
  v->ToggleTickMode();
  EXPECT_EQ(v->m_attr.flags, 0u);
  Show(v, Series(241, Wave));
  Sheet(v, "intraday-index.png");
}

TEST_F(IntradayView, ViewCommands) {
  PutQuote(SH, 1);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  for (int code : {77, 78, 79, 80, 5}) v->ExecuteViewCommand(code);
  EXPECT_EQ(v->m_attr.flags, 0u);
  EXPECT_EQ(v->TradeAgent, -1);
  v->ExecuteViewCommand(28);
  EXPECT_EQ(v->m_attr.flags, kRendPageDetail);
  EXPECT_GE(v->TradeAgent, 0);
  v->ExecuteViewCommand(30);
  EXPECT_EQ(v->m_attr.flags, kRendPageDistribution);
  // Esc goes back to the minute trend.
  harness_.Key(VK_ESCAPE, TShiftState(), v->Handle());
  EXPECT_EQ(v->m_attr.flags, 0u);
}

// Where the position list sends the cursor: the centre of the chart's buy or
// sell button on the screen, only for its own instrument with the order panel
// shown and a button that has a place.
TEST_F(IntradayView, OrderButtonCentreAnswersOnlyForItsInstrumentWithThePanelShown) {
  PutQuote(SH, 1);
  PutQuote(SH, 2);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  v->OrderButtonRects[0] = Rect(600, 400, 660, 420);
  v->OrderButtonRects[1] = Rect(680, 400, 740, 421);
  POINT origin{0, 0};
  ClientToScreen(v->Handle(), &origin);
  POINT at{-1, -1};
  EXPECT_FALSE(v->OrderButtonCentre(Stock(SH, 1), true, at));  // the panel hidden
  v->OrderPanelVisible = true;
  ASSERT_TRUE(v->OrderButtonCentre(Stock(SH, 1), true, at));
  EXPECT_EQ(at.x - origin.x, 630);
  EXPECT_EQ(at.y - origin.y, 410);
  ASSERT_TRUE(v->OrderButtonCentre(Stock(SH, 1), false, at));
  EXPECT_EQ(at.x - origin.x, 710);
  EXPECT_EQ(at.y - origin.y, 410);
  EXPECT_FALSE(v->OrderButtonCentre(Stock(SH, 2), true, at));  // another instrument
  v->OrderButtonRects[1] = TRect();
  EXPECT_FALSE(v->OrderButtonCentre(Stock(SH, 1), false, at));  // no button drawn
}

TEST_F(IntradayView, DataRefreshDeletesTheCacheFilesOnceWithinTwoSeconds) {
  PutQuote(SH, 1);
  PutQuote(SH, 0);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  auto files = [&](const char *code) {
    for (const char *f : {"tick/%s.tik", "trend/%s.ot3", "tick/%s.tr3", "tick/%s.nnt"}) {
      char rel[64];
      std::snprintf(rel, sizeof rel, f, code);
      box_.WriteText(std::string("data/SH/") + rel, "x");
    }
  };
  auto count = [&](const char *code) {
    int n = 0;
    for (const char *f : {"tick/%s.tik", "trend/%s.ot3", "tick/%s.tr3", "tick/%s.nnt"}) {
      char rel[64];
      std::snprintf(rel, sizeof rel, f, code);
      n += box_.Exists(std::string("data/SH/") + rel);
    }
    return n;
  };
  // Offline: nothing is deleted.
  files("600000");
  v->RefreshHistory();
  EXPECT_EQ(count("600000"), 4);
  harness_.Advance(2100);

  bool online = true;
  ViewServices().hasRequestClient = [&] { return online; };
  v->RefreshHistory();
  EXPECT_EQ(count("600000"), 0);
  files("600000");
  harness_.Advance(500);
  v->RefreshHistory();  // the same instrument again within 2 s
  EXPECT_EQ(count("600000"), 4);
  // Another instrument at once.
  v->Notify(1, Stock(SH, 0).Word(), 0, 0);
  files("000001");
  v->RefreshHistory();
  EXPECT_EQ(count("000001"), 0);
}

TEST_F(IntradayView, ReloadFindsTheInstrumentAgainByCode) {
  PutQuote(DL, 1);
  auto page = Open(Stock(DL, 1));
  TRendForm *v = View(*page);
  // The table was rebuilt with the contract one row further down.
  STKINFO *stocks = MarketTable.markets[DL]->m_stocks;
  std::swap(stocks[1], stocks[2]);
  stocks[1].index = 1;
  stocks[2].index = 2;
  MarketTable.markets[DL]->InvalidateCodeIndex();
  v->ReloadData();
  EXPECT_EQ(v->m_attr.stock.stock, 2);
}

TEST_F(IntradayView, KeysWalkTheCursorAndChangeTheDays) {
  PutQuote(SH, 1);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  Show(v, Series(241, Wave));
  HWND w = v->Handle();
  // Right walks the minutes and turns the cross-hair on.
  harness_.Key(VK_RIGHT, TShiftState(), w);
  harness_.Key(VK_RIGHT, TShiftState(), w);
  EXPECT_TRUE(v->CrossHairOn);
  EXPECT_EQ(v->Trend.CursorPoint(), 2);
  EXPECT_EQ(v->MouseX, v->Trend.Day(0)->GetPoints()[2].x);
  harness_.Key(VK_LEFT, TShiftState(), w);
  EXPECT_EQ(v->Trend.CursorPoint(), 1);
  Sheet(v, "intraday-readout.png");

  // Up on one live day does nothing; Down adds days up to ten; Up drops one.
  harness_.Key(VK_UP, TShiftState(), w);
  EXPECT_EQ(v->Trend.DayCount(), 1);
  for (int i = 0; i < 12; ++i) harness_.Key(VK_DOWN, TShiftState(), w);
  EXPECT_EQ(v->Trend.DayCount(), 10);
  EXPECT_EQ(v->Trend.Day(9)->history, 0);
  harness_.Key(VK_UP, TShiftState(), w);
  EXPECT_EQ(v->Trend.DayCount(), 9);
  // Walking across days: the cursor steps from the live day into the one before.
  v->Trend.SetCursor(8, 0, 0);
  v->MouseX = -1;
  harness_.Key(VK_LEFT, TShiftState(), w);
  EXPECT_EQ(v->Trend.CursorDay(), 7);
}

TEST_F(IntradayView, SplitDragIsClamped) {
  PutQuote(SH, 1);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  Show(v, Series(241, Wave));
  TRENDRECT plot;
  v->Trend.GetPlotRect(&plot);
  const int x = (plot.left + plot.right) / 2;
  struct Case {
    int releaseY;
    float share;
  } cases[] = {{plot.top - 30, 0.1f}, {plot.bottom + 30, 0.9f}, {plot.top + (plot.bottom - plot.top) / 2, 0.5f}};
  for (const Case &c : cases) {
    const int split = v->Trend.GetSplitY();
    harness_.MouseDown(v->Handle(), x, split + 2);
    harness_.MouseMove(v->Handle(), x, c.releaseY);
    harness_.MouseUp(v->Handle(), x, c.releaseY);
    EXPECT_NEAR(v->Trend.GetPriceRatio(), c.share, 0.01f) << c.releaseY;
    EXPECT_EQ(v->Dragging, 0);
  }
}

TEST_F(IntradayView, EnterWithTheCrossHairFlagAndInfoPanelToggle) {
  PutQuote(SH, 1);
  auto page = Open(Stock(SH, 1), 800, 500, 0, 0x200);
  TRendForm *v = View(*page);
  Show(v, Series(241, Wave));
  v->m_attr.displayFlags |= 0x200;
  harness_.Key(VK_RETURN, TShiftState(), v->Handle());
  EXPECT_TRUE(v->CrossHairOn);
  harness_.Key(VK_RETURN, TShiftState(), v->Handle());
  EXPECT_FALSE(v->CrossHairOn);

  const int wide = v->ChartRect.Width();
  v->N5Click(v->N5);
  EXPECT_EQ(v->Panel1->Visible(), v->N5->Checked);
  if (v->Panel1->Visible()) EXPECT_EQ(v->ChartRect.Width(), wide - v->Panel1->Width());
}

TEST_F(IntradayView, PagingInstrumentsPostsOneSubscriptionOnKeyUp) {
  PutQuote(SH, 1);
  PutQuote(SH, 0);
  TForm main(nullptr);
  main.HandleNeeded();
  struct Host : ChartHost {
    HWND window = nullptr;
    HWND MainWindow() override { return window; }
  } host;
  host.window = main.Handle();
  TMainFrameHost *saved = SetMainFrameHost(&host);
  auto page = Open(Stock(SH, 1));
  TRendForm *v = View(*page);
  MSG msg;
  while (PeekMessageA(&msg, main.Handle(), WM_MF_REFRESH_SUBSCRIPTION, WM_MF_REFRESH_SUBSCRIPTION, PM_REMOVE)) {
  }
  WORD key = VK_NEXT;
  v->FormKeyDown(v, key, TShiftState());
  EXPECT_FALSE(SameStock(v->m_attr.stock, Stock(SH, 1)));
  v->FormKeyDown(v, key, TShiftState());
  EXPECT_TRUE(StockPagingActive);
  int posts = 0;
  while (PeekMessageA(&msg, main.Handle(), WM_MF_REFRESH_SUBSCRIPTION, WM_MF_REFRESH_SUBSCRIPTION, PM_REMOVE)) ++posts;
  EXPECT_EQ(posts, 0);
  v->FormKeyUp(v, key, TShiftState());
  EXPECT_FALSE(StockPagingActive);
  while (PeekMessageA(&msg, main.Handle(), WM_MF_REFRESH_SUBSCRIPTION, WM_MF_REFRESH_SUBSCRIPTION, PM_REMOVE)) ++posts;
  EXPECT_EQ(posts, 1);
  SetMainFrameHost(saved);
}

// The "商品叠加" caption redrawn on a mouse move keeps the chart's font (it
// stays inside its box); the tick chart has none, and back on the
// minute trend it is where it was.
TEST_F(IntradayView, OverlayCaptionKeepsItsFontAndIsNotOnTheTickChart) {
  PutQuote(DL, 0).refPrice = 10000;
  auto page = Open(Stock(DL, 0), 900, 500);
  TRendForm *v = View(*page);
  Show(v, Series(241, Wave));
  const TRect box = v->OverlayButtonRect;
  ASSERT_GT(box.Width(), 0);
  const COLORREF back = ViewColor(1);
  // Pixels other than the background in a band right of the caption's box
  // (up to the page buttons), where a larger font would reach.
  auto spill = [&] {
    int n = 0;
    for (int y = box.Top; y < box.Bottom; ++y)
      for (int x = box.Right + 1; x < box.Right + 12; ++x) n += harness_.Pixel(v->Handle(), x, y) != back;
    return n;
  };
  auto inBox = [&] {
    int n = 0;
    for (int y = box.Top; y < box.Bottom; ++y)
      for (int x = box.Left; x < box.Right; ++x) n += harness_.Pixel(v->Handle(), x, y) != back;
    return n;
  };
  const int drawn = inBox();
  ASSERT_GT(drawn, 0);
  ASSERT_EQ(spill(), 0);
  const int midX = (v->ChartRect.Left + v->ChartRect.Right) / 2, midY = v->ChartRect.Top + 100;
  struct Step {
    const char *what;
    int x, y;
  } steps[] = {{"away", midX, midY}, {"on the caption", box.Left + 2, box.Top + 2}, {"away again", midX, midY}};
  for (const Step &s : steps) {
    harness_.MouseMove(v->Handle(), s.x, s.y);
    EXPECT_EQ(spill(), 0) << s.what;
  }
  v->N16Click(nullptr);
  harness_.Pump();
  ASSERT_TRUE(v->m_attr.flags & kRendPageTick);
  for (const Step &s : steps) {
    harness_.MouseMove(v->Handle(), s.x, s.y);
    EXPECT_EQ(v->OverlayButtonRect.Width(), 0) << s.what;
    EXPECT_EQ(inBox() + spill(), 0) << "tick chart, " << s.what;
  }
  v->N16Click(nullptr);
  harness_.Pump();
  harness_.MouseMove(v->Handle(), midX, midY);
  EXPECT_EQ(v->OverlayButtonRect.Left, box.Left);
  EXPECT_EQ(inBox(), drawn);
  EXPECT_EQ(spill(), 0);
}

TEST_F(IntradayView, OverlayMenuListsAtMostTwentyInstruments) {
  // Market 3 with more than twenty index futures.
  TMarketData *zj = MarketTable.markets[ZJ];
  const int n = std::min<int>(zj->m_stockCount, 30);
  for (int i = 0; i < n; ++i) {
    zj->m_stocks[i] = market_fixture::MakeStock(ZJ, 3, ("IF" + std::to_string(10 + i)).c_str(), "股指");
    zj->m_stocks[i].index = uint16_t(i);
  }
  zj->m_loadedCount = n;
  PutQuote(ZJ, 0);
  auto page = Open(Stock(ZJ, 0));
  TRendForm *v = View(*page);
  STKPTR listed[kRendOverlayMenuLimit + 4];
  EXPECT_EQ(v->OverlayMenuStocks(listed), std::min(n, kRendOverlayMenuLimit));
}

TEST_F(IntradayView, PictureSheets) {
  // Several days, combination 1, the futures' open interest and marks, a
  // tall pane: sheets for a person to look at, with pixel probes where the
  // drawing fixes them.
  PutQuote(SH, 1);
  {
    auto page = Open(Stock(SH, 1), 900, 500);
    TRendForm *v = View(*page);
    Show(v, Series(241, Wave));
    for (int i = 0; i < 2; ++i) harness_.Key(VK_DOWN, TShiftState(), v->Handle());
    for (int d = 0; d < 2; ++d) {
      const auto past = Series(241, [d](int k) { return Wave(k + 40 * (d + 1)); });
      std::memcpy(v->Trend.Day(d)->Records(), past.data(), past.size() * sizeof(TRENDREC));
      v->Trend.Day(d)->SetCount(241);
    }
    v->RefreshView(false);
    Sheet(v, "intraday-3days.png");
    for (int i = 0; i < 7; ++i) harness_.Key(VK_DOWN, TShiftState(), v->Handle());
    EXPECT_EQ(v->Trend.DayCount(), 10);
    Sheet(v, "intraday-10days.png");
  }
  {
    auto page = Open(Stock(SH, 1), 800, 500);
    TRendForm *v = View(*page);
    v->N7Click(v->N7);
    EXPECT_EQ(v->ViewCombination, 1u);
    Show(v, Series(241, Wave));
    EXPECT_EQ(v->Trend.Day(0)->splitY, -10);
    Sheet(v, "intraday-combination1.png");
  }
  {
    REALQUOTE &q = PutQuote(DL, 0);
    q.refPrice = 10000;
    auto page = Open(Stock(DL, 0), 800, 500);
    TRendForm *v = View(*page);
    auto *order = reinterpret_cast<CHARTORDERMARK *>(v->TradeMarkOrders[0]);
    order->direction = '0';
    order->offset = '0';
    order->volume = 3;
    order->price = 10200;
    auto *position = reinterpret_cast<CHARTPOSITIONMARK *>(v->TradeMarkPositions[0]);
    position->direction = '1';
    position->volume = 2;
    position->price = 10400;
    position->multiplier = 10;
    Show(v, Series(226, Wave));
    EXPECT_NE(v->Trend.Day(0)->GetOpenInterestLine(), nullptr);
    Sheet(v, "intraday-futures.png");
  }
  {
    auto page = Open(Stock(SH, 1), 3840, 2160);
    TRendForm *v = View(*page);
    Show(v, Series(241, Wave));
    EXPECT_LE(v->Trend.Day(0)->GetPriceGridCount(), kTrendGridCapacity);
    Sheet(v, "intraday-tall.png");
  }
}

}  // namespace
}  // namespace charts_test
