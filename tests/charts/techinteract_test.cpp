#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "charts/drawline.h"
#include "charts/linefile.h"
#include "charts/linetool.h"
#include "core/emem.h"
#include "formula/kvindex.h"
#include "market/dataagent.h"
#include "platform/gdi.h"
#include "platform/profile.h"
#include "platform/menu.h"
#include "platform/winuser.h"
#include "techform_world.h"
#include "testing/image_capture.h"

namespace {

using kline_test::Bar;
using kline_test::Day;
using kline_test::KLineContrastShare;

class TechInteractTest : public kline_test::TechFormTest {
 protected:
  // A view of 200 daily bars with K and MA, VOL and MACD.
  TTechForm *Chart(int bars = 200, std::vector<const char *> names = {"K", "VOL", "MACD"}) {
    Unpatch();
    page_ = Open(Data(names));
    TTechForm *v = View(*page_);
    Feed(v, bars);
    if (v->barAgent != -1) Patch(v->barAgent, std::vector<KLINEBAR>(v->bars, v->bars + v->barCount));
    v->UpdateScreen(true);
    return v;
  }
  // H plot columns at zoom level 28 (pitch 28).
  static void Columns(TTechForm *v, int h) {
    v->zoomLevel = 28;
    v->chartRect.right = v->chartRect.left + v->scaleWidth + h * 28;
  }
  static void Key(TTechForm *v, WORD key, TShiftState shift = TShiftState()) { v->FormKeyDown(nullptr, key, shift); }
  static uint32_t Point(int x, int y) { return uint32_t(uint16_t(x)) | (uint32_t(uint16_t(y)) << 16); }

  // Puts a series into a data agent for as long as the patch lasts, so that
  // reloads of the view read it.
  void Patch(int32_t index, std::vector<KLINEBAR> series) {
    CDataAgent *a = DataAgentAt(index);
    ASSERT_NE(a, nullptr);
    Patched p{index, a->series, a->itemSize, a->itemCount, std::make_unique<std::vector<KLINEBAR>>(std::move(series))};
    a->series = p.data->data();
    a->itemSize = int32_t(sizeof(KLINEBAR));
    a->itemCount = int32_t(p.data->size());
    patched_.push_back(std::move(p));
  }
  void Unpatch() {
    for (auto it = patched_.rbegin(); it != patched_.rend(); ++it)
      if (CDataAgent *a = DataAgentAt(it->index)) {
        a->series = it->series;
        a->itemSize = it->itemSize;
        a->itemCount = it->itemCount;
      }
    patched_.clear();
  }
  // The partner's (first overlay node's) series; the view's own bars stay.
  void PartnerSeries(TTechForm *v, std::vector<KLINEBAR> series) {
    ASSERT_NE(v->overlays, nullptr);
    Patch(v->overlays->agent, std::move(series));
  }
  // Takes the partner's patch away before the chain lets its agent go.
  void DropPartner() {
    if (patched_.size() > 1) {
      Patched own = std::move(patched_.front());
      patched_.erase(patched_.begin());
      Unpatch();
      patched_.push_back(std::move(own));
    }
  }
  ~TechInteractTest() override {
    Unpatch();
    page_.reset();
  }

  struct Patched {
    int32_t index;
    void *series;
    int32_t itemSize, itemCount;
    std::unique_ptr<std::vector<KLINEBAR>> data;
  };
  std::vector<Patched> patched_;
  std::unique_ptr<testing_support::ViewPage> page_;
};

// ---- Zoom arithmetic ---------------------------------------------------------------------

TEST(KLineZoomForBars, IntervalZoomPicksTheWidestFittingLevel) {
  struct Case {
    double width, bars;
    int level;
  } cases[] = {{600, 10, 28}, {600, 1000, 2}, {600, 5000, 0}};
  for (const Case &c : cases)
    EXPECT_EQ(TTechForm::ZoomForBars(c.width, c.bars), c.level) << c.width << " / " << c.bars;
}

// ---- Keyboard --------------------------------------------------------------------------------

TEST_F(TechInteractTest, ScrollStepsByColumnsThatFit) {
  TTechForm *v = Chart();
  struct Case {
    int h;
    unsigned shift;
    int step;
  } cases[] = {{2, ssShift, 1}, {3, ssShift, 1}, {6, ssShift, 3}, {10, ssShift, 5},
               {6, ssCtrl, 1},  {10, ssCtrl, 5}, {10, ssCtrl | ssShift, 5}};
  for (const Case &c : cases) {
    Columns(v, c.h);
    v->firstBar = 100;
    Key(v, VK_LEFT, c.shift);
    EXPECT_EQ(v->firstBar, 100 - c.step) << "H " << c.h << " shift " << c.shift;
    v->firstBar = 100;
    Key(v, VK_RIGHT, c.shift);
    EXPECT_EQ(v->firstBar, 100 + c.step) << "H " << c.h << " shift " << c.shift;
  }
}

TEST_F(TechInteractTest, ScrollingOntoTheAutomaticPositionAndPastTheOldestBar) {
  TTechForm *v = Chart();
  Columns(v, 10);
  const uint32_t maxStart = v->AutoStart();
  v->firstBar = int32_t(maxStart) - 3;
  Key(v, VK_RIGHT, ssShift);
  EXPECT_EQ(v->firstBar, -1);
  // From the automatic position the left scroll starts at maxStart.
  Key(v, VK_LEFT, ssShift);
  EXPECT_EQ(v->firstBar, int32_t(maxStart) - 5);
  v->firstBar = 2;
  Key(v, VK_LEFT, ssShift);
  EXPECT_EQ(v->firstBar, 0);
  // Ctrl+Home and Ctrl+End need the cross-hair.
  v->crossHair = 1;
  Key(v, VK_END, ssCtrl);
  EXPECT_EQ(v->firstBar, -1);
  Key(v, VK_HOME, ssShift);
  EXPECT_EQ(v->firstBar, 0);
}

TEST_F(TechInteractTest, CursorKeysDriveTheCrossHair) {
  TTechForm *v = Chart();
  // The first press switches the cross-hair on at the last visible column.
  Key(v, VK_LEFT);
  EXPECT_EQ(v->crossHair, 1);
  EXPECT_TRUE(v->Panel2->Visible());
  EXPECT_EQ(v->cursorMode, 8);
  EXPECT_EQ(v->cursorBar, 199);
  Key(v, VK_LEFT);
  EXPECT_EQ(v->cursorBar, 198);
  // Right on the last column while scrolled back returns to the newest
  // bars; a second Right does nothing.
  v->firstBar = 150;
  v->cursorBar = 199;
  Key(v, VK_RIGHT);
  EXPECT_EQ(v->firstBar, -1);
  EXPECT_EQ(v->cursorBar, 199);
  Key(v, VK_RIGHT);
  EXPECT_EQ(v->firstBar, -1);
  EXPECT_EQ(v->cursorBar, 199);
  // At zoom level 0 two columns share a pixel: each press still moves the
  // pointer and the cursor.
  v->zoomLevel = 0;
  v->DrawChart();
  v->cursorBar = 100;
  Key(v, VK_LEFT);
  for (int k = 0; k < 3; ++k) {
    const int x = v->mouseX, bar = v->cursorBar;
    Key(v, VK_RIGHT);
    EXPECT_GE(v->mouseX, x + 1);
    EXPECT_GE(v->cursorBar, bar + 1);
  }
}

TEST_F(TechInteractTest, ZoomKeys) {
  TTechForm *v = Chart(40);
  v->zoomLevel = 27;
  Key(v, VK_UP);
  Key(v, VK_UP);
  EXPECT_EQ(v->zoomLevel, 28);
  // Zooming out until the bars no longer fill 93 % of the plot goes back
  // to the newest bars.
  v->zoomLevel = 16;
  v->firstBar = 3;
  for (int k = 0; k < 4; ++k) Key(v, VK_DOWN);
  EXPECT_EQ(v->zoomLevel, 12);
  EXPECT_EQ(v->firstBar, -1);
  v->zoomLevel = 0;
  Key(v, VK_DOWN);
  EXPECT_EQ(v->zoomLevel, 0);
  // Down with the detail list expanded moves the list, not the zoom.
  v->zoomLevel = 10;
  v->Panel1->Show();
  v->DetailScrollLock = true;
  Key(v, VK_DOWN);
  EXPECT_EQ(v->zoomLevel, 10);
}

TEST_F(TechInteractTest, EscapeOrderCrossHairThenOverlaysThenBack) {
  TTechForm *v = Chart();
  v->DoubleClickAt(Point(v->windowRects[0].left + 300, v->windowRects[0].top + 100));
  ASSERT_EQ(v->crossHair, 1);
  v->AddOverlay(ChartWorld::Stock(charts_test::SZ, 0), true, false);
  Key(v, VK_ESCAPE);
  EXPECT_EQ(v->crossHair, 0);
  EXPECT_FALSE(v->Panel2->Visible());
  EXPECT_NE(v->overlays, nullptr);
  Key(v, VK_ESCAPE);
  EXPECT_EQ(v->overlays, nullptr);
  Key(v, VK_ESCAPE);  // posts the way back to the page
  EXPECT_EQ(v->overlays, nullptr);
}

TEST_F(TechInteractTest, DeletePrecedence) {
  TTechForm *v = Chart(200, {"K", "VOL", "MACD", "RSI"});
  // MA over K: removed and MaOnK written as 0.
  CKvIndex *ma = v->windows[0]->next;
  ASSERT_NE(ma, nullptr);
  ASSERT_STREQ(ma->name, "MA");
  ma->selected = 1;
  Key(v, VK_DELETE);
  EXPECT_EQ(v->windows[0]->next, nullptr);
  EXPECT_EQ(KLineChartSettings().maOnK, 0);
  EXPECT_EQ(GetPrivateProfileIntA("PARAMETER", "MaOnK", 9, (std::string(UserDataPath) + "clrfont.INI").c_str()), 0u);
  KLineChartSettings().maOnK = 1;
  // The main formula is not deleted by the key.
  v->windows[0]->selected = 1;
  Key(v, VK_DELETE);
  EXPECT_NE(v->windows[0], nullptr);
  v->windows[0]->selected = 0;
  // The middle one of three sub-windows, answered No, then Yes.
  const RECT before0 = v->windowRects[0], before1 = v->windowRects[1], before2 = v->windowRects[2],
             before3 = v->windowRects[3];
  CKvIndex *rsi = v->windows[3];
  v->windows[2]->selected = 1;
  boxes_.QueueAnswer(IDNO);
  Key(v, VK_DELETE);
  EXPECT_EQ(v->windowCount, 4u);
  boxes_.QueueAnswer(IDYES);
  Key(v, VK_DELETE);
  ASSERT_EQ(v->windowCount, 3u);
  const int d = before2.bottom - before2.top;
  EXPECT_EQ(v->windowRects[0].bottom, before0.bottom + d);
  EXPECT_EQ(v->windowRects[1].top, before1.top + d);
  EXPECT_EQ(v->windowRects[2].top, before3.top);
  EXPECT_EQ(v->windows[2], rsi);
  EXPECT_STREQ(v->windowNames[2], "RSI");
  EXPECT_TRUE(v->N9->Checked);
  double sum = 0;
  for (uint32_t i = 0; i < 3; ++i) sum += v->heights[i];
  EXPECT_NEAR(sum, 1.0, 1e-9);
}

TEST_F(TechInteractTest, IndicatorWalkWrapsBothWays) {
  UserRights[2] |= 8;  // the formulas bound to a right are offered too
  TTechForm *v = Chart();
  std::vector<std::string> names;
  for (CKvIndexGroup *g = KvIndexManager().groups; g; g = g->next)
    for (CKvIndex *f = g->first; f; f = f->next)
      if ((f->flags & kIndexKindMask) != 1 && (f->flags & kIndexKindMask) != 2) names.emplace_back(f->name);
  ASSERT_GE(names.size(), 3u);
  v->activeWindow = 1;
  v->ApplyIndicator(names.front().c_str(), true);
  v->PreviousIndicator();
  EXPECT_EQ(std::string(v->windows[1]->name), names.back());
  v->NextIndicator();
  EXPECT_EQ(std::string(v->windows[1]->name), names.front());
  v->ExecuteViewCommand(79);
  EXPECT_EQ(std::string(v->windows[1]->name), names[1]);
  v->ExecuteViewCommand(77);
  EXPECT_EQ(std::string(v->windows[1]->name), names.front());
}

// ---- Mouse ---------------------------------------------------------------------------------

TEST_F(TechInteractTest, BorderDragIsHeldThirtyTwoPixelsFromTheEnds) {
  TTechForm *v = Chart();
  const int x = v->windowRects[0].left + v->scaleWidth + 100;
  // The bottom row of window 0 starts a drag of the border to window 1.
  const int border = v->windowRects[0].bottom - 1;
  v->FormMouseDown(nullptr, mbLeft, TShiftState(), x, border);
  ASSERT_EQ(v->splitDrag, 1);
  v->FormMouseUp(nullptr, mbLeft, TShiftState(), x, 0);
  EXPECT_EQ(v->windowRects[0].bottom, v->windowRects[0].top + 32);
  v->FormMouseDown(nullptr, mbLeft, TShiftState(), x, v->windowRects[0].bottom - 1);
  ASSERT_EQ(v->splitDrag, 1);
  v->FormMouseUp(nullptr, mbLeft, TShiftState(), x, 10000);
  EXPECT_EQ(v->windowRects[1].top, v->windowRects[1].bottom - 32);
  // A single window has no border band.
  v->SetWindowCount(1);
  v->FormMouseDown(nullptr, mbLeft, TShiftState(), x, v->windowRects[0].bottom - 1);
  EXPECT_EQ(v->splitDrag, 0);
  v->FormMouseUp(nullptr, mbLeft, TShiftState(), x, v->windowRects[0].bottom - 1);
}

TEST_F(TechInteractTest, AxisDragUnderOnePitchAndFromTheAutomaticPosition) {
  TTechForm *v = Chart();
  Columns(v, 10);
  const int y = v->chartRect.bottom - 8, x = v->chartRect.left + v->scaleWidth + 100;
  v->FormMouseDown(nullptr, mbLeft, TShiftState(), x, y);
  ASSERT_EQ(v->axisDrag, 1);
  v->FormMouseMove(v, TShiftState(), x + 27, y);
  EXPECT_EQ(v->firstBar, -1);
  // The first step only pins the automatic position.
  v->FormMouseMove(v, TShiftState(), x + 28, y);
  EXPECT_EQ(v->firstBar, int32_t(v->AutoStart()));
  v->FormMouseMove(v, TShiftState(), x + 28 + 56, y);
  EXPECT_EQ(v->firstBar, int32_t(v->AutoStart()) - 2);
  v->FormMouseUp(nullptr, mbLeft, TShiftState(), x, y);
  EXPECT_EQ(v->axisDrag, 0);
}

TEST_F(TechInteractTest, HorizontalRubberBandZoomsWithoutTheMenu) {
  TTechForm *v = Chart();
  const int y = v->windowRects[0].top + 100, left = v->chartRect.left + v->scaleWidth + 40;
  struct Case {
    int bars;
    bool zooms;
  } cases[] = {{4, false}, {30, true}};
  for (const Case &c : cases) {
    v->zoomLevel = 16;
    v->firstBar = -1;
    const double pitch = KLinePitch(16);
    const int dx = int(c.bars * pitch);
    v->FormMouseDown(nullptr, mbLeft, TShiftState(), left, y);
    ASSERT_EQ(v->rubberBand, 1) << c.bars;
    v->FormMouseMove(v, TShiftState(), left + dx, y);
    v->FormMouseUp(nullptr, mbLeft, TShiftState(), left + dx, y);
    EXPECT_EQ(v->rubberBand, 0);
    if (c.zooms) EXPECT_EQ(v->zoomLevel, TTechForm::ZoomForBars(v->PlotWidth(), dx / pitch)) << c.bars;
    else EXPECT_EQ(v->zoomLevel, 16) << c.bars;
  }
}

TEST_F(TechInteractTest, DoubleClicksMaximiseOrDoNothing) {
  TTechForm *v = Chart();
  const int x = v->chartRect.left + v->scaleWidth + 50;
  // The time-axis strip holds no sub-window: nothing happens.
  v->DoubleClickAt(Point(x, v->chartRect.bottom - 5));
  EXPECT_EQ(v->windowMaximised, 0);
  const double h0 = v->heights[0];
  v->DoubleClickAt(Point(x, v->windowRects[2].top + 10));
  EXPECT_EQ(v->windowMaximised, 1);
  EXPECT_DOUBLE_EQ(v->heights[0], h0);
  EXPECT_DOUBLE_EQ(v->heights[1], 0.0);
  EXPECT_DOUBLE_EQ(v->heights[2], 1 - h0);
  harness_.SavePng(harness_.Render(v->Handle()), "kline-maximised-sub");
  v->DoubleClickAt(Point(x, v->windowRects[2].top + 10));
  EXPECT_EQ(v->windowMaximised, 0);
  EXPECT_DOUBLE_EQ(v->heights[1], v->savedHeights[1]);
}

TEST_F(TechInteractTest, IntervalStatisticsGetOneTimePerBar) {
  TTechForm *v = Chart(50);
  std::vector<uint32_t> times;
  uint32_t start = 0, end = 0;
  KLineZoneStatDialog() = [&](const KLineZoneStatRequest &r) {
    EXPECT_TRUE(KLineZoneStatShowing());
    times.assign(r.times, r.times + *r.barCount);
    start = r.start;
    end = r.end;
  };
  // Spread analysis against a partner with days the instrument lacks.
  v->SetSpreadAnalysis(ChartWorld::Stock(charts_test::SZ, 0), 3, 1, false);
  std::vector<KLINEBAR> other;
  for (int i = 0; i < 50; ++i) other.push_back(Bar(Day(2022, 1 + unsigned(i / 28), 1 + unsigned(i % 28)), 1000));
  PartnerSeries(v, other);
  v->BuildTimeAxis();
  ASSERT_GT(v->timeCount, v->barCount);
  v->NZoneStatClick();
  ASSERT_EQ(times.size(), 50u);
  for (uint32_t k = 0; k < 50; ++k) EXPECT_EQ(times[k], v->bars[k].time);
  EXPECT_EQ(end, v->barTimes[v->timeCount - 1]);
  EXPECT_FALSE(KLineZoneStatShowing());
  // With an empty time axis there is nothing to measure.
  times.clear();
  v->barCount = 0;
  DataAgentAt(v->overlays->agent)->itemCount = 0;
  v->BuildTimeAxis();
  v->NZoneStatClick();
  EXPECT_TRUE(times.empty());
  KLineZoneStatDialog() = nullptr;
}

// ---- Overlays and spread analysis ------------------------------------------------------------

TEST_F(TechInteractTest, SpreadValues) {
  TTechForm *v = Chart(5, {"K"});
  const STKPTR partner = ChartWorld::Stock(charts_test::SZ, 0);
  const uint32_t own = v->stockInfo->PriceDivisor(), theirs = ChartWorld::Info(charts_test::SZ, 0).PriceDivisor();
  // The instrument's closes 10 .. 14 on five days.
  for (uint32_t i = 0; i < 5; ++i) v->bars[i] = Bar(Day(2024, 3, 4 + i), (10 + i) * own);
  auto partnerBars = [&](std::vector<double> closes) {
    // Days 4 .. 8, then a day the instrument lacks.
    std::vector<KLINEBAR> s;
    for (size_t i = 0; i < closes.size(); ++i) s.push_back(Bar(Day(2024, 3, 4 + unsigned(i)), uint32_t(closes[i] * theirs)));
    return s;
  };
  struct Case {
    const char *what;
    uint8_t mode;
    std::vector<double> partner, out1;
  } cases[] = {
      {"difference below zero", 1, {20, 20, 20, 20, 20, 5}, {-10, -9, -8, -7, -6, 0}},
      {"ratio with a zero partner", 0, {5, 0, 6, 6.5, 14, 5}, {2, 0, 2, 2, 1, 1}},
  };
  for (const Case &c : cases) {
    DropPartner();
    v->SetSpreadAnalysis(partner, 3, c.mode, false);
    PartnerSeries(v, partnerBars(c.partner));
    v->BuildTimeAxis();
    v->ComputeSpread();
    const CKvIndexVariable *out = v->windows[0]->GetVariable(0);
    ASSERT_NE(out, nullptr);
    for (size_t i = 0; i < c.out1.size(); ++i)
      EXPECT_NEAR(out->GetValue(uint32_t(i)), c.out1[i], 1e-9) << c.what << " bar " << i;
  }
  // Combined with a constant difference: the range widens by 0.0001 and
  // the ratio line is stretched onto it.
  DropPartner();
  v->SetSpreadAnalysis(partner, 3, 2, false);
  PartnerSeries(v, partnerBars({9, 10, 11, 12, 13}));
  v->BuildTimeAxis();
  v->ComputeSpread();
  EXPECT_DOUBLE_EQ(v->spreadScale[0], 1.0);
  EXPECT_DOUBLE_EQ(v->spreadScale[1], 1.0001);
  const CKvIndexVariable *ratio = v->windows[0]->GetVariable(1);
  ASSERT_NE(ratio, nullptr);
  EXPECT_NEAR(ratio->GetValue(0), v->spreadScale[1], 1e-9);  // the highest ratio 10/9 maps to the top
  EXPECT_NEAR(ratio->GetValue(4), v->spreadScale[0], 1e-9);  // the lowest 14/13 to the bottom
  EXPECT_STREQ(v->windows[0]->name, "套利分析");
}

TEST_F(TechInteractTest, OverlaysAddedSwitchedAndScaled) {
  TTechForm *v = Chart(30, {"K"});
  const STKPTR a = ChartWorld::Stock(charts_test::SZ, 0), b = ChartWorld::Stock(charts_test::SH, 0);
  v->SetSpreadAnalysis(a, 3, 1, false);
  ASSERT_TRUE(v->SpreadAnalysis());
  // Adding an overlay ends spread analysis: the partner becomes the new
  // instrument's node and window 0 has its library formula again.
  v->AddOverlay(b, true, false);
  ASSERT_NE(v->overlays, nullptr);
  EXPECT_FALSE(v->SpreadAnalysis());
  EXPECT_EQ(v->overlays->next, nullptr);
  EXPECT_EQ(v->overlays->stock.market, b.market);
  EXPECT_STREQ(v->windows[0]->name, "K");
  EXPECT_EQ(v->overlays->indicator->variables.empty(), false);
  v->AddOverlay(b, false, false);
  EXPECT_EQ(v->overlays->next, nullptr);  // the same instrument twice: one node
  EXPECT_EQ(v->overlays->ownScale, 1);
  v->AddOverlay(a, false, false);
  ASSERT_NE(v->overlays->next, nullptr);
  for (COverlappedStock *n = v->overlays; n; n = n->next) EXPECT_EQ(n->ownScale, 0);
  v->R1Click(v->R1);
  for (COverlappedStock *n = v->overlays; n; n = n->next) EXPECT_EQ(n->ownScale, 1);
  v->R1Click(v->R2);
  for (COverlappedStock *n = v->overlays; n; n = n->next) EXPECT_EQ(n->ownScale, 0);
  // The view data keeps them and a new view restores them.
  MVCDATA_12 data = Data({"K"});
  v->StoreChartData(&data);
  EXPECT_EQ(data.overlays[0].market, b.market);
  EXPECT_EQ(data.overlays[1].market, a.market);
  EXPECT_EQ(data.overlays[2].market, 255);
  EXPECT_EQ(data.firstOverlayOwnFormula, 0);
  Unpatch();
  page_ = Open(data);
  TTechForm *w = View(*page_);
  ASSERT_NE(w->overlays, nullptr);
  ASSERT_NE(w->overlays->next, nullptr);
  EXPECT_EQ(w->overlays->ownScale, 0);
  // A stored spread analysis comes back as one.
  w->SetSpreadAnalysis(a, 1, 2, false);
  data = Data({"K"});
  w->StoreChartData(&data);
  EXPECT_EQ(data.firstOverlayOwnFormula, 1);
  EXPECT_EQ(data.firstOverlayByte, 2);
  EXPECT_EQ(data.firstOverlaySetting, 1u);
  Unpatch();
  page_ = Open(data);
  TTechForm *x = View(*page_);
  ASSERT_TRUE(x->SpreadAnalysis());
  EXPECT_EQ(x->overlays->spreadItem, 1);
  EXPECT_EQ(x->overlays->ownScale, 2);
}

TEST_F(TechInteractTest, RemovingOverlaysKeepsTheFirstVisibleDate) {
  TTechForm *v = Chart(200, {"K"});
  v->AddOverlay(ChartWorld::Stock(charts_test::SZ, 0), true, false);
  v->firstBar = 40;
  const uint32_t t = v->barTimes[40];
  v->RemoveOverlays();
  EXPECT_EQ(v->overlays, nullptr);
  EXPECT_EQ(v->barTimes[v->firstBar], t);
}

// ---- Menus ------------------------------------------------------------------------------------

TEST_F(TechInteractTest, PopupPerState) {
  TTechForm *v = Chart();
  auto pop = [&] {
    harness_.Soon([&] { harness_.PostKey(VK_ESCAPE); });
    v->FormContextPopup(v->chartRect.left + v->scaleWidth + 30, v->windowRects[0].top + 40);
    return v->lastPopup;
  };
  EXPECT_EQ(pop(), v->PopupMenu1);
  v->windows[1]->selected = 1;
  EXPECT_EQ(pop(), v->PopupMenu2);
  v->windows[1]->selected = 0;
  // With the grid shown there is no analysis or window-count menu.
  v->ExecuteViewCommand(28);
  EXPECT_TRUE(v->DrawGrid1->Visible());
  v->TechPopupMenu1Popup(nullptr);
  EXPECT_FALSE(v->Nanaly->Visible);
  EXPECT_FALSE(v->N6->Visible);
  WORD esc = VK_ESCAPE;
  v->FormKeyDown(nullptr, esc, TShiftState());
  EXPECT_FALSE(v->DrawGrid1->Visible());
  v->TechPopupMenu1Popup(nullptr);
  EXPECT_TRUE(v->Nanaly->Visible);
  EXPECT_TRUE(v->PeriodItems[8]->Checked);
  // A selected sub-chart formula offers its deletion, the main one not.
  v->windows[1]->selected = 1;
  v->TechPopupMenu1Popup(nullptr);
  EXPECT_TRUE(v->EraseIdx->Visible);
  v->windows[1]->selected = 0;
  v->windows[0]->selected = 1;
  v->TechPopupMenu1Popup(nullptr);
  EXPECT_FALSE(v->EraseIdx->Visible);
  v->windows[0]->selected = 0;
}

TEST_F(TechInteractTest, ReverseSubAnsweredNoAndDeleteAllAnsweredNo) {
  TTechForm *v = Chart();
  KLineChartSettings().reverseSub = 0;
  v->N39->Checked = false;
  v->N37->Checked = false;
  const size_t asked = boxes_.Count();
  boxes_.QueueAnswer(IDNO);
  v->N39Click();
  EXPECT_TRUE(v->N39->Checked);
  EXPECT_FALSE(v->N37->Checked);
  EXPECT_EQ(boxes_.Count(), asked + 1);
  KLineChartSettings().reverseSub = 1;
  v->lines[0] = TLine::CreateByType(1);
  v->lineCount = 1;
  boxes_.QueueAnswer(IDNO);
  v->A1Click();
  EXPECT_EQ(v->lineCount, 1u);
  EXPECT_NE(v->lines[0], nullptr);
}

TEST_F(TechInteractTest, FullSubscriptionListGetsNothing) {
  TTechForm *v = Chart();
  UserRights[2] = 0xFF;
  EArray<STKMS> list;
  for (int i = 0; i < 256; ++i) list.Add(STKMS{uint8_t(200), uint16_t(i)});
  v->CollectStocks(&list);
  EXPECT_EQ(list.GetCount(), 256);
}

// ---- The bar value grid ------------------------------------------------------------------------

TEST_F(TechInteractTest, GridRowsFollowTheBarsAndStaleRowsStayEmpty) {
  TTechForm *v = Chart(12);
  v->ExecuteViewCommand(28);
  EXPECT_EQ(v->DrawGrid1->RowCount(), 13);
  EXPECT_EQ(v->DrawGrid1->Row(), 12);
  EXPECT_NE(v->m_attr.flags & 2, 0u);
  harness_.Pump();
  harness_.SavePng(harness_.Render(v->Handle()), "kline-grid");
  // Fewer bars than rows: the rows past them show only their background.
  v->barCount = 3;
  v->DrawGrid1->Invalidate();
  harness_.Pump();
  const int rowHeight = v->DrawGrid1->RowHeights(5);
  const int y = rowHeight * 5 + rowHeight / 2;
  bool onlyBackground = true;
  for (int x = 2; x < 82 * 7; x += 3) {
    const COLORREF c = harness_.Pixel(v->DrawGrid1, x, y);
    if (c != ViewColor(17) && c != ViewColor(63)) onlyBackground = false;
  }
  EXPECT_TRUE(onlyBackground);
  WORD esc = VK_ESCAPE;
  v->FormKeyDown(nullptr, esc, TShiftState());
  EXPECT_EQ(v->DrawGrid1->RowCount(), 2);
  EXPECT_EQ(v->m_attr.flags & 2, 0u);
}

// ---- Drawing from the palette -----------------------------------------------------------------------

TEST_F(TechInteractTest, LinesFromThePalettePlacedMovedAndDeleted) {
  TTechForm *v = Chart(120, {"K", "VOL"});
  TLineToolBox palette(nullptr);
  host_.linePalette = &palette;
  const int left = v->chartRect.left + v->ScaleLeft(), top = v->windowRects[0].top;
  auto press = [v](int x, int y) {
    v->FormMouseDown(nullptr, mbLeft, TShiftState(), x, y);
    v->FormMouseUp(nullptr, mbLeft, TShiftState(), x, y);
  };
  // A segment from the palette: two clicks place it and raise the tool.
  host_.lineTool = 2;
  press(left + 100, top + 60);
  EXPECT_EQ(v->lineCount, 1u);
  EXPECT_EQ(host_.lineTool, 2) << "the tool stays pressed until the object is placed";
  press(left + 300, top + 140);
  ASSERT_EQ(v->lineCount, 1u);
  ASSERT_NE(v->lines[0], nullptr);
  EXPECT_EQ(v->lines[0]->state, kLinePlaced);
  EXPECT_EQ(host_.lineTool, -1);
  // Grabbed by its body, moved and dropped with the next click.
  auto middle = [v] {
    const LINEPOINT &a = v->lines[0]->anchors[0], &b = v->lines[0]->anchors[1];
    return POINT{(a.x + b.x) / 2, (a.y + b.y) / 2};
  };
  const int x0 = v->lines[0]->anchors[0].x;
  POINT m = middle();
  press(m.x, m.y);
  EXPECT_EQ(v->lineEditState, 2u);
  v->FormMouseMove(v, TShiftState(), m.x + 60, m.y + 10);
  press(m.x + 60, m.y + 10);
  EXPECT_EQ(v->lineEditState, 0u);
  EXPECT_EQ(v->lines[0]->state, kLinePlaced);
  EXPECT_GT(v->lines[0]->anchors[0].x, x0 + 30);
  // A full set of objects takes no new one.
  v->lineCount = kMaxViewLines;
  host_.lineTool = 2;
  press(left + 50, top + 30);
  EXPECT_EQ(v->lineCount, uint32_t(kMaxViewLines));
  EXPECT_EQ(v->lines[1], nullptr);
  v->lineCount = 1;
  // The delete tool takes the object it hits and is raised.
  host_.lineTool = kToolDelete;
  m = middle();
  press(m.x, m.y);
  EXPECT_EQ(v->lineCount, 0u);
  EXPECT_EQ(host_.lineTool, -1);
  host_.linePalette = nullptr;
}

// ---- Live bars through the bar agent ---------------------------------------------------------------

TEST_F(TechInteractTest, LiveBarsFollowTheAgent) {
  // A progress message only moves the bar; an update (0) recalculates the
  // main chart at once and the sub-windows at the pulse; a full update
  // (100) recalculates every window at once.
  struct Case {
    WPARAM kind;
    uint32_t barsAfter, subBeforePulse;
  } cases[] = {{37, 120, 120}, {0, 121, 120}, {100, 121, 121}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind);
    TTechForm *v = Chart(120, {"K", "VOL", "MACD"});
    ASSERT_NE(v->barAgent, -1);
    std::vector<KLINEBAR> grown(v->bars, v->bars + v->barCount);
    KLINEBAR next = grown.back();
    next.time = PackedNextDay(next.time & kPackedDateMask);
    next.close += 300;
    next.high = next.close + 10;
    grown.push_back(next);
    Patch(v->barAgent, grown);
    SendMessageA(v->Handle(), WM_AGENT_UPDATE, c.kind, v->barAgent);
    EXPECT_EQ(v->barCount, c.barsAfter);
    if (c.kind == 37) {
      EXPECT_EQ(v->loadPercent, 37u);
      continue;
    }
    EXPECT_EQ(v->bars[120].close, next.close);
    EXPECT_EQ(v->windows[0]->calcCount, 121u);
    EXPECT_EQ(v->windows[1]->calcCount, c.subBeforePulse);
    EXPECT_EQ(v->windows[2]->calcCount, c.subBeforePulse);
    v->FrameTimer();
    EXPECT_EQ(v->windows[1]->calcCount, 121u);
    EXPECT_EQ(v->windows[2]->calcCount, 121u);
    // The new bar is on the time axis and in view.
    EXPECT_EQ(v->timeCount, 121u);
    EXPECT_EQ(v->barTimes[120], next.time);
  }
}

// ---- Subscribing again ------------------------------------------------------------------------------

// A period change or a reload subscribes the view again: the agents it keeps
// for its instrument keep the trades and minutes they took live (appending
// grows a trade agent's count, so a fresh request would not share it). A
// refresh of the history builds them again from the files.
TEST_F(TechInteractTest, SubscribingAgainKeepsTheLiveTradesAndMinutes) {
  auto put = [](int32_t id, int32_t itemSize, int32_t n, uint32_t appended) {
    CDataAgent *a = DataAgentAt(id);
    ASSERT_NE(a, nullptr);
    Free(a->series);
    a->series = Malloc(itemSize * n);
    std::memset(a->series, 0, size_t(itemSize * n));
    a->itemSize = itemSize;
    a->itemCount = a->capacity = n;
    a->count = appended;
  };
  struct Case {
    const char *step;
    int period;  // 0: a reload
    bool refresh, kept;
  } cases[] = {{"weekly", 9, false, true}, {"reload", 0, false, true}, {"refresh", 0, true, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.step);
    Unpatch();
    page_ = Open(Data({"K"}));
    TTechForm *v = View(*page_);
    put(v->RecentAgent, int32_t(sizeof(TICKREC)), 30, 30);
    put(v->TrendAgent, int32_t(sizeof(TRENDREC)), 60, 0);
    harness_.Advance(2100);
    if (c.period) v->SetPeriod(c.period);
    else if (c.refresh) v->RefreshHistory();
    else v->ReloadData();
    ASSERT_NE(DataAgentAt(v->RecentAgent), nullptr);
    ASSERT_NE(DataAgentAt(v->TrendAgent), nullptr);
    EXPECT_EQ(DataAgentAt(v->RecentAgent)->itemCount, c.kept ? 30 : 0);
    EXPECT_EQ(DataAgentAt(v->TrendAgent)->itemCount, c.kept ? 60 : 0);
    EXPECT_NE(v->barAgent, -1);
    if (c.period) EXPECT_EQ(v->m_attr.period, c.period);
  }
}

// ---- Fonts kept between draws -----------------------------------------------------------------------

// The legend bar's font is made once, not at every draw; a changed font
// entry, or a font change of the view, gives a new one with the old one
// deleted.
TEST_F(TechInteractTest, LegendsKeepTheirFontUntilTheFontChanges) {
  TTechForm *v = Chart(120, {"K", "VOL"});
  v->DrawLegends(nullptr, false);
  const HFONT kept = v->legendFont_.Held();
  ASSERT_NE(kept, nullptr);
  const size_t objects = platform::LiveGdiObjectCount();
  for (int k = 0; k < 5; ++k) v->DrawLegends(nullptr, false);
  EXPECT_EQ(v->legendFont_.Held(), kept);
  EXPECT_EQ(platform::LiveGdiObjectCount(), objects);

  fonts_[9].size = 20;
  v->DrawLegends(nullptr, false);
  EXPECT_NE(v->legendFont_.Held(), nullptr);
  EXPECT_EQ(platform::LiveGdiObjectCount(), objects) << "the old font deleted";
  v->ApplyFonts();
  v->DrawLegends(nullptr, false);
  EXPECT_EQ(platform::LiveGdiObjectCount(), objects) << "after the view's font change";
}

// ---- Pictures ------------------------------------------------------------------------------------

TEST_F(TechInteractTest, Pictures) {
  TTechForm *v = Chart(120, {"K", "VOL"});
  testing_support::PictureSheet sheet(2);
  auto shoot = [&](const char *name) {
    const QImage image = harness_.Render(v->Handle());
    harness_.SavePng(image, name);
    sheet.Add(name, image);
  };
  const int left = v->chartRect.left + v->scaleWidth + 100, top = v->windowRects[0].top + 60;
  v->FormMouseDown(nullptr, mbLeft, TShiftState(), left, top);
  v->FormMouseMove(v, TShiftState(), left + 200, top + 120);
  shoot("kline-rubberband");
  HDC dc = GetDC(v->Handle());
  v->DrawRubberBand(dc);
  ReleaseDC(v->Handle(), dc);
  v->rubberBand = v->rubberShown = 0;
  v->ClipCursorToRect(nullptr);
  // A marked interval as the statistics dialog marks it.
  v->zoneStart = &v->barTimes[60];
  v->zoneEnd = &v->barTimes[90];
  v->DrawChart();
  v->UpdateScreen(true);
  shoot("kline-interval-marked");
  v->zoneStart = v->zoneEnd = nullptr;
  for (bool relative : {true, false}) {
    DropPartner();
    v->RemoveOverlays();
    v->AddOverlay(ChartWorld::Stock(charts_test::SZ, 0), relative, false);
    std::vector<KLINEBAR> s(v->bars, v->bars + v->barCount);
    for (auto &b : s) b.close = b.open = b.high = b.low = b.close / 2 + 3000;
    PartnerSeries(v, s);
    v->RecalcIndicators(nullptr, false);
    v->DrawChart();
    v->UpdateScreen(true);
    shoot(relative ? "kline-overlays-relative" : "kline-overlays-absolute");
    // The instrument's own candles stay readable under the overlay.
    EXPECT_GT(KLineContrastShare(harness_.Render(v->Handle()), v->windowRects[0], ViewColor(1)), 0.01);
  }
  DropPartner();
  v->RemoveOverlays();
  for (uint8_t mode : {uint8_t(1), uint8_t(2)}) {
    DropPartner();
    v->SetSpreadAnalysis(ChartWorld::Stock(charts_test::SZ, 0), 3, mode, false);
    std::vector<KLINEBAR> s(v->bars, v->bars + v->barCount);
    for (size_t i = 0; i < s.size(); ++i) s[i].close = s[i].close * 9 / 10 + uint32_t((i * 53) % 400);
    PartnerSeries(v, s);
    v->BuildTimeAxis();
    v->ComputeSpread();
    v->DrawChart();
    v->UpdateScreen(true);
    shoot(mode == 1 ? "kline-spread-difference" : "kline-spread-both");
  }
  harness_.SavePng(sheet.Compose(), "kline-interaction-sheet");
}

TEST_F(TechInteractTest, MenuPictures) {
  TTechForm *v = Chart(120, {"K", "VOL", "MACD"});
  // The popup as shown, taken inside its loop and then dismissed.
  auto shoot = [&](int window, const char *name) {
    QImage image;
    harness_.Soon([&] {
      harness_.Pump();
      if (HWND popup = FindWindowA("#32768", nullptr)) image = harness_.Render(popup);
      EndMenu();
    });
    v->FormContextPopup(v->chartRect.left + v->scaleWidth + 30, v->windowRects[window].top + 40);
    ASSERT_FALSE(image.isNull()) << name;
    harness_.SavePng(image, name);
  };
  shoot(0, "kline-menu-view");
  EXPECT_EQ(v->lastPopup, v->PopupMenu1);
  v->windows[1]->selected = 1;
  shoot(1, "kline-menu-indicator");
  EXPECT_EQ(v->lastPopup, v->PopupMenu2);
  v->windows[1]->selected = 0;
}

}  // namespace

