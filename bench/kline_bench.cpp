// The K-line view at 1920 x 1080 over 1,000 daily bars: the whole chart
// drawn (K with MA, VOL and MACD), set against the plain candlestick drawing
// of the GDI benchmark in the same run; the chart drawn and put on the
// window with six windows, and a live bar through the bar agent (the agent's
// message to the end of the screen update) against it; a cross-hair mouse
// move; zoom levels 0, 16 and 28; the timer pulse over ZIG and SAR; and one
// step of a held Shift+Right against drawing and updating the screen.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "charts/techform.h"
#include "core/datetime.h"
#include "formula/indexmarket.h"
#include "formula/kvindexlib.h"
#include "formula/libsource.h"
#include "market/dataagent.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/msgbox_recorder.h"
#include "testing/report_world.h"
#include "testing/system_library.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/reportcolumns.h"

namespace {

// Two sub-chart formulas over the functions that only a full calculation
// updates.
const char kKLineBenchFormulas[] =
    "\ngroup 测试\n\n"
    "formula ZIGW\nkind sub\ndescription 之字\ntext\nZ:ZIG(3,10);\nend\n\n"
    "formula SARW\nkind sub\ndescription 抛物\ntext\nS:SAR(10,2,20);\nend\n";

KLINEBAR KLineBenchBar(int i) {
  KLINEBAR b{};
  const unsigned d = unsigned(i);
  b.time = MakePackedDateTime(1990 + d / 336, 1 + d / 28 % 12, 1 + d % 28);
  const uint32_t base = 10000 + uint32_t((i * 37) % 700) + uint32_t(i % 200) * 5;
  b.open = base;
  b.close = (i % 3) ? base + 150 : base - 150;
  b.high = std::max(b.open, b.close) + 60;
  b.low = std::min(b.open, b.close) - 60;
  b.volume = float(1000 + (i * 13) % 500);
  b.amount = b.volume * 100.0f;
  return b;
}

struct KLineBench {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world;
  MessageBoxRecorder boxes;
  std::unique_ptr<testing_support::ViewPage> page;
  TTechForm *view = nullptr;
  COLORREF *oldColors = nullptr;
  const VIEWFONTDEF *oldFonts = nullptr;
  // The bar agent's series while the bench lives.
  std::vector<KLINEBAR> series;
  void *savedSeries = nullptr;
  int32_t savedSize = 0, savedCount = 0;

  KLineBench(std::vector<const char *> names, int bars = 1000) {
    RebuildViewFonts();
    std::string error;
    KvIndexManager().Clear();
    ReadIndexLibrarySource(testing_support::ReadWholeFile(testing_support::SystemLibrarySource()) +
                               kKLineBenchFormulas,
                           KvIndexManager(), &error);
    oldColors = SetIndexColorTable(world.colors);
    oldFonts = SetIndexFontTable(world.fonts);
    RegisterKLineView();
    page = std::make_unique<testing_support::ViewPage>(VIEW_TYPE_REPORT, nullptr, 1920, 1080);
    harness.Pump();
    TMultiViewChild *pane = page->Page()->PaneAt(0);
    MVCDATA_12 data{};
    data.windowCount = uint32_t(names.size());
    for (size_t i = 0; i < names.size(); ++i) std::strcpy(data.formulas[i], names[i]);
    for (STKPTR &s : data.overlays) s.market = 255;
    *pane->m_viewData = data;
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_KLINE, &record);
    record.stock = STKPTR(0, 0, 1);
    record.period = 8;
    page->Page()->CreateView(pane->m_node, &record, 1, 0);
    harness.Pump();
    view = page->View<TTechForm>();
    series.reserve(size_t(bars) * 2 + 1);
    for (int i = 0; i < bars; ++i) series.push_back(KLineBenchBar(i));
    if (CDataAgent *a = Agent()) {
      savedSeries = a->series;
      savedSize = a->itemSize;
      savedCount = a->itemCount;
    }
    Publish();
    SendMessageA(view->Handle(), WM_AGENT_UPDATE, 100, view->barAgent);
    view->zoomLevel = view->ZoomForBars(view->PlotWidth(), double(bars));
    view->DrawChart();
    view->UpdateScreen(true);
  }
  ~KLineBench() {
    if (CDataAgent *a = Agent()) {
      a->series = savedSeries;
      a->itemSize = savedSize;
      a->itemCount = savedCount;
    }
    page.reset();
    RegisterViewClass(VIEW_TYPE_KLINE, nullptr);
    SetIndexColorTable(oldColors);
    SetIndexFontTable(oldFonts);
    KvIndexManager().Clear();
  }
  CDataAgent *Agent() const { return view && view->barAgent >= 0 ? DataAgentAt(view->barAgent) : nullptr; }
  // The agent holds the bench's series as its own.
  void Publish() {
    if (CDataAgent *a = Agent()) {
      a->series = series.data();
      a->itemSize = int32_t(sizeof(KLINEBAR));
      a->itemCount = int32_t(series.size());
    }
  }
  bool Ready(benchmark::State &state) const {
    if (view && view->barCount > 0) return true;
    state.SkipWithError("the K-line view has no bars");
    return false;
  }
};

void BM_KLineDrawChart1000Bars(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD"});
  if (!b.Ready(state)) return;
  for (auto _ : state) {
    b.view->DrawChart();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KLineDrawChart1000Bars)->Unit(benchmark::kMillisecond);

void BM_KLineDrawAndUpdateScreenSixWindows(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD", "AMOUNT", "RSI", "DMA"});
  if (!b.Ready(state)) return;
  for (auto _ : state) {
    b.view->DrawChart();
    b.view->UpdateScreen(true);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KLineDrawAndUpdateScreenSixWindows)->Unit(benchmark::kMillisecond);

// A new bar arrives: the agent's message, the series reloaded, the main
// chart recalculated, drawn and put on the window.
void BM_KLineLiveBarSixWindows(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD", "AMOUNT", "RSI", "DMA"});
  if (!b.Ready(state)) return;
  const size_t base = b.series.size();
  int next = int(base);
  for (auto _ : state) {
    if (b.series.size() == b.series.capacity()) {
      state.PauseTiming();
      b.series.resize(base);
      next = int(base);
      b.Publish();
      SendMessageA(b.view->Handle(), WM_AGENT_UPDATE, 100, b.view->barAgent);
      state.ResumeTiming();
    }
    b.series.push_back(KLineBenchBar(next++));
    b.Publish();
    SendMessageA(b.view->Handle(), WM_AGENT_UPDATE, 0, b.view->barAgent);
  }
}
BENCHMARK(BM_KLineLiveBarSixWindows)->Unit(benchmark::kMillisecond);

// The cross-hair follows the mouse: XOR lines, label boxes and legends.
void BM_KLineCrossHairMouseMove(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD"});
  if (!b.Ready(state)) return;
  TTechForm *v = b.view;
  v->crossHair = 1;
  const int left = v->chartRect.left + v->ScaleLeft() + 10, width = v->PlotWidth() - 20;
  const int y = (v->windowRects[0].top + v->windowRects[0].bottom) / 2;
  int step = 0;
  for (auto _ : state) {
    v->FormMouseMove(nullptr, TShiftState(), left + (step * 37) % width, y);
    ++step;
  }
  v->crossHair = 0;
}
BENCHMARK(BM_KLineCrossHairMouseMove)->Unit(benchmark::kMicrosecond);

void BM_KLineDrawChartAtZoom(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD"});
  if (!b.Ready(state)) return;
  b.view->zoomLevel = int32_t(state.range(0));
  for (auto _ : state) {
    b.view->DrawChart();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KLineDrawChartAtZoom)->Arg(0)->Arg(16)->Arg(28)->Unit(benchmark::kMillisecond);

// The frame timer's pulse after incremental updates: the sub-windows
// brought up to date, ZIG and SAR calculated in full, the chart redrawn.
void BM_KLinePulseZigSar(benchmark::State &state) {
  KLineBench b({"K", "ZIGW", "SARW"});
  if (!b.Ready(state)) return;
  for (auto _ : state) {
    b.view->pendingIncremental = b.view->pendingFuture = 1;
    b.view->FrameTimer();
  }
}
BENCHMARK(BM_KLinePulseZigSar)->Unit(benchmark::kMillisecond);

// Held Shift+Right: one scroll step (no recalculation, no reload).
void BM_KLineShiftRightStep(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD"});
  if (!b.Ready(state)) return;
  TTechForm *v = b.view;
  v->zoomLevel = 16;
  v->DrawChart();
  v->UpdateScreen(true);
  for (auto _ : state) {
    if (v->firstBar == -1) {
      state.PauseTiming();
      v->firstBar = 0;
      state.ResumeTiming();
    }
    WORD key = VK_RIGHT;
    v->FormKeyDown(nullptr, key, TShiftState(ssShift));
  }
}
BENCHMARK(BM_KLineShiftRightStep)->Unit(benchmark::kMillisecond);

void BM_KLineDrawAndUpdateScreen(benchmark::State &state) {
  KLineBench b({"K", "VOL", "MACD"});
  if (!b.Ready(state)) return;
  b.view->zoomLevel = 16;
  for (auto _ : state) {
    b.view->DrawChart();
    b.view->UpdateScreen(true);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KLineDrawAndUpdateScreen)->Unit(benchmark::kMillisecond);

}  // namespace
