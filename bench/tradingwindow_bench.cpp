// The trading window: one layout computed, a floating drag of 100 mouse
// moves with every page built (layouts counted per move), and showing the
// window (first layout and paint) offscreen.
#include <benchmark/benchmark.h>

#include <memory>

#include "classlib/forms.h"
#include "platform/winuser.h"
#include "testing/desk_ui_recorder.h"
#include "testing/market_fixture_min.h"
#include "testing/view_harness.h"
#include "trading/deskdata.h"
#include "trading/tradedesk.h"
#include "trading/tradelayout.h"
#include "trading/tradingwindow.h"

namespace {

void BM_ComputeTradingLayout(benchmark::State &state) {
  const TTradingSizes sizes;
  int page = 0;
  static const int kPages[] = {12, 13, 14, 15, 16, 17, 19, 20, 0, 22};
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeTradingLayout(1000, 300, page & 1, page % 4, false, kPages[page % 10], sizes));
    ++page;
  }
}
BENCHMARK(BM_ComputeTradingLayout);

// A main window with the trading window over its Panel7, on a trading page.
struct WindowWorld {
  market_fixture::MarketSandbox box;
  testing_support::ViewHarness harness;
  TTradeDesk data;
  DeskHostRecorder host;
  TDeskUi none;
  TTradingDesk desk{data, host, none};
  TForm *form = new TForm(nullptr);
  TOwnerDrawPanel *panel = new TOwnerDrawPanel(form);
  std::unique_ptr<TTradingWindow> window;
  WindowWorld() {
    form->SetClientSize(1000, 700);
    panel->SetParent(form);
    panel->SetAlign(alBottom);
    panel->SetHeight(300);
    window = std::make_unique<TTradingWindow>(panel, desk);
    desk.holderName = "张三";
    desk.pageState = kPageTrading;
    form->Show();
    harness.Pump();
  }
  ~WindowWorld() {
    window.reset();
    delete form;
  }
};

void BM_FloatingDrag100Moves(benchmark::State &state) {
  WindowWorld w;
  w.window->Float(RECT{100, 100, 700, 400});
  w.window->Layout();
  w.harness.Pump();
  int layouts = 0;
  for (auto _ : state) {
    POINT from{699, 399};
    ClientToScreen(w.panel->Handle(), &from);
    w.panel->SetBounds(100, 100, 600, 300);
    SendMessageA(w.panel->Handle(), WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, MAKELPARAM(WORD(from.x), WORD(from.y)));
    const int before = w.window->layoutCount;
    for (int i = 1; i <= 100; ++i)
      SendMessageA(w.panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(599 + i, 299 + i / 2));
    SendMessageA(w.panel->Handle(), WM_LBUTTONUP, 0, 0);
    w.harness.Pump();
    layouts = w.window->layoutCount - before;
  }
  state.counters["layouts_per_drag"] = layouts;
  state.counters["ms_per_move"] = benchmark::Counter(100, benchmark::Counter::kIsIterationInvariantRate |
                                                              benchmark::Counter::kInvert);
}
BENCHMARK(BM_FloatingDrag100Moves)->Unit(benchmark::kMillisecond);

void BM_ShowTradingWindow(benchmark::State &state) {
  WindowWorld w;
  for (auto _ : state) {
    w.panel->Hide();
    w.harness.Pump();
    w.panel->Show();
    w.window->Layout();
    w.harness.Pump();
    benchmark::DoNotOptimize(w.harness.Pixel(w.panel->Handle(), 5, 5));
  }
}
BENCHMARK(BM_ShowTradingWindow)->Unit(benchmark::kMillisecond);

}  // namespace
