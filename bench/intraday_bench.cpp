// The intraday view's redraw: the layout of the days (axes measured, every
// day laid out) and the drawing into the off-screen bitmap, timed apart,
// for 1 and 10 days with 0 and 7 overlays at 1920 x 1080 and 3840 x 2160;
// and a paint of the view against a plain copy of a bitmap of the chart's
// size to the same window.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "charts/rendform.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/msgbox_recorder.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "testing/view_page.h"
#include "views/reportcolumns.h"

namespace {

std::vector<TRENDREC> Series(int n, int shift) {
  std::vector<TRENDREC> out(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    TRENDREC &r = out[size_t(k)];
    r.price = 10000u + uint32_t(((k + shift) * 37) % 400);
    r.volume = 40.0f * float(k + 1);
    r.amount = 5000.0f + float(k);
  }
  return out;
}

void Feed(int32_t id, const std::vector<TRENDREC> &series) {
  CDataAgent *a = DataAgentAt(id);
  if (!a) return;
  const int32_t bytes = int32_t(series.size() * sizeof(TRENDREC));
  if (!a->series || MSize(a->series) < bytes) {
    Free(a->series);
    a->series = Malloc(bytes);
  }
  std::memcpy(a->series, series.data(), size_t(bytes));
  a->itemSize = int32_t(sizeof(TRENDREC));
  a->itemCount = int32_t(series.size());
  a->capacity = MSize(a->series) / a->itemSize;
}

struct IntradayBench {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world;
  MessageBoxRecorder boxes;
  std::unique_ptr<testing_support::ViewPage> page;
  TRendForm *view = nullptr;

  IntradayBench(int width, int height, int days, int overlays) {
    RebuildViewFonts();
    RegisterIntradayView();
    const STKPTR others[] = {STKPTR(0, 0, 0), STKPTR(0, 0, 2), STKPTR(0, 0, 3), STKPTR(1, 0, 0),
                             STKPTR(1, 0, 1), STKPTR(1, 0, 2), STKPTR(2, 0, 0)};
    world.PutQuote(0, 1);
    for (const STKPTR &s : others) world.PutQuote(s.market, s.stock);
    VIEW_ATTR_13 record{};
    InitViewAttr(VIEW_TYPE_INTRADAY, &record);
    record.stock = STKPTR(0, 0, 1);
    page = std::make_unique<testing_support::ViewPage>(VIEW_TYPE_INTRADAY, &record, width, height);
    harness.Pump();
    view = page->View<TRendForm>();
    COverlappedStock **tail = &view->Overlays;
    for (int i = 0; i < overlays; ++i) {
      *tail = new COverlappedStock;
      (*tail)->stock = others[i];
      tail = &(*tail)->next;
    }
    view->HasOverlays = overlays > 0;
    view->SubscribeAgents(0);
    Feed(view->TrendAgent, Series(241, 0));
    int i = 0;
    for (COverlappedStock *o = view->Overlays; o; o = o->next) Feed(o->agent, Series(o->stock.market == 2 ? 226 : 241, ++i));
    WORD down = VK_DOWN;
    for (int d = 1; d < days; ++d) view->FormKeyDown(view, down, TShiftState());
    const auto past = Series(241, 5);
    for (int d = 0; d + 1 < view->Trend.DayCount(); ++d) {
      std::memcpy(view->Trend.Day(d)->Records(), past.data(), past.size() * sizeof(TRENDREC));
      view->Trend.Day(d)->SetCount(241);
    }
    view->RefreshView(true);
    harness.Pump();
  }
};

void BM_IntradayLayout(benchmark::State &state) {
  IntradayBench b(int(state.range(2)), int(state.range(2)) * 9 / 16, int(state.range(0)), int(state.range(1)));
  for (auto _ : state) b.view->MeasureTrendAxes();
}
void BM_IntradayDraw(benchmark::State &state) {
  IntradayBench b(int(state.range(2)), int(state.range(2)) * 9 / 16, int(state.range(0)), int(state.range(1)));
  for (auto _ : state) b.view->DrawTrendChart();
}
void BM_IntradayRefreshView(benchmark::State &state) {
  IntradayBench b(int(state.range(2)), int(state.range(2)) * 9 / 16, int(state.range(0)), int(state.range(1)));
  for (auto _ : state) b.view->RefreshView(true);
}
#define INTRADAY_ARGS ArgsProduct({{1, 10}, {0, 7}, {1920, 3840}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_IntradayLayout)->INTRADAY_ARGS;
BENCHMARK(BM_IntradayDraw)->INTRADAY_ARGS;
BENCHMARK(BM_IntradayRefreshView)->INTRADAY_ARGS;

void BM_IntradayPaint(benchmark::State &state) {
  IntradayBench b(1920, 1080, 1, 0);
  for (auto _ : state) {
    InvalidateRect(b.view->Handle(), nullptr, FALSE);
    UpdateWindow(b.view->Handle());
  }
}
BENCHMARK(BM_IntradayPaint)->Unit(benchmark::kMicrosecond);

void BM_IntradayPlainCopy(benchmark::State &state) {
  IntradayBench b(1920, 1080, 1, 0);
  const TRect r = b.view->ChartRect;
  HDC screen = GetDC(b.view->Handle());
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.Right, r.Bottom);
  HDC mem = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(mem, bitmap);
  for (auto _ : state) BitBlt(screen, r.Left, r.Top, r.Width(), r.Height(), mem, r.Left, r.Top, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bitmap);
  ReleaseDC(b.view->Handle(), screen);
}
BENCHMARK(BM_IntradayPlainCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
