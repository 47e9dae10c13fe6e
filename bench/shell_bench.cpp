// The main window: one tick of its one-second timer with nothing to do, and
// a cold start offline to the page shown with its report filled, over 48
// markets of 2,000 instruments each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/ownerdrawpanel.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "platform/winctrl.h"
#include "shell/maintimer.h"
#include "shell/mframe.h"
#include "shell/quoteconn.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"
#include "views/report.h"

namespace {

class IdleHost : public TMainTimerHost {
 public:
  bool HasRequestClient() override { return false; }
  bool HasPushClient() override { return false; }
  DWORD PushLastActivity() override { return 0; }
  bool PushCongested() override { return false; }
  void SendPushKeepAlive() override {}
  void SendRequestKeepAlive() override {}
  void RequestCodeTable(int) override {}
  void ReconnectAttempt() override {}
  void PostReconnectQuestion() override {}
  void ClearKindQuotes(int, int) override {}
  void RebuildAgents(int, int) override {}
};

// Offline, no client, retry counter -1, no market loaded: the tick only
// counts, walks its pulses and calls the trading checks.
void BM_MainTimerIdleTick(benchmark::State &state) {
  IdleHost host;
  TRandomSource random;
  TMainTimer timer(host, random);
  DWORD now = 1000;
  for (auto _ : state) {
    now += 1000;
    timer.Tick(now);
    benchmark::DoNotOptimize(timer.tickCounter);
  }
}
BENCHMARK(BM_MainTimerIdleTick);

market_fixture::DataSetDesc LargeDataSet() {
  using namespace market_fixture;
  DataSetDesc desc = StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0));
  desc.markets.clear();
  desc.sharedBlocks = BlockFileDesc{};
  desc.userBlocks = BlockFileDesc{};
  desc.news.clear();
  for (int m = 0; m < 48; ++m) {
    MarketDesc market;
    char text[16];
    std::snprintf(text, sizeof text, "M%02d", m);
    market.name = text;
    market.shortName = text;
    market.extension = text;
    market.type = 1;
    market.calendarKey = 0;
    market.kinds.push_back(KindDesc{"A", {{570, 690}, {780, 900}}, 560, 910});
    for (int i = 0; i < 2000; ++i) {
      InstrumentDesc instrument;
      std::snprintf(text, sizeof text, "%06d", i);
      instrument.code = text;
      std::snprintf(text, sizeof text, "S%d", i);
      instrument.name = text;
      instrument.price = 5.0 + i % 50;
      market.instruments.push_back(instrument);
    }
    desc.markets.push_back(market);
  }
  return desc;
}

class OfflineParts : public TFrameParts {
 public:
  int ShowLoginDialog(TMFrame &, bool) override { return 3; }
};

// The main window shown offline over the standard data set, closed when the
// benchmark ends.
struct ShellBenchOfflineFrame {
  ShellBenchOfflineFrame() {
    platform::RegisterStandardControls();
    market_fixture::WriteDataSet(market_fixture::StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0)), box.Root());
    frame = new TMFrame(nullptr, parts);
    frame->Show();
    harness.Pump();
  }
  ~ShellBenchOfflineFrame() {
    frame->Close();
    harness.Pump();
    delete frame;
  }
  market_fixture::MarketSandbox box;
  testing_support::ViewHarness harness;
  MessageBoxRecorder boxes{IDNO};
  ShellRecorder shell;
  OfflineParts parts;
  TMFrame *frame = nullptr;
};

void BM_ColdStartOfflineToTheFilledReport(benchmark::State &state) {
  platform::RegisterStandardControls();
  market_fixture::MarketSandbox box;
  market_fixture::WriteDataSet(LargeDataSet(), box.Root());
  testing_support::ViewHarness harness;
  MessageBoxRecorder boxes(IDNO);
  ShellRecorder shell;
  OfflineParts parts;
  int rows = 0, markets = 0;
  for (auto _ : state) {
    auto *frame = new TMFrame(nullptr, parts);
    frame->Show();
    harness.Pump();
    auto *report = frame->page && frame->page->PaneCount() > 0 ? static_cast<TReport *>(frame->page->PaneAt(0))
                                                               : nullptr;
    rows = report ? report->Core().rowCount : 0;
    state.PauseTiming();
    markets = MarketTable.marketCount;
    frame->Close();
    harness.Pump();
    delete frame;
    state.ResumeTiming();
  }
  state.counters["markets"] = markets;
  state.counters["report_rows"] = rows;
}
BENCHMARK(BM_ColdStartOfflineToTheFilledReport)->Unit(benchmark::kMillisecond)->Iterations(5);

// A pushed quote on the quote board: the card of a visible member (its
// rectangle invalidated, arg 0) against an instrument the board does not
// show (only the member search, arg 1), with the standard data set's
// largest block on the board.
void BM_QuoteBoardPush(benchmark::State &state) {
  ShellBenchOfflineFrame offline;
  TMFrame *frame = offline.frame;
  testing_support::ViewHarness &harness = offline.harness;
  int id = -1, members = 0;
  for (int i = 0; i < BlockTable.blockCount; ++i)
    if (BlockTable.blocks[i].inUse && BlockTable.blocks[i].memberCount > members) {
      id = BlockTable.blocks[i].blockId;
      members = BlockTable.blocks[i].memberCount;
    }
  frame->quoteBoardBlock = id;
  frame->Q1Click(true);
  harness.Pump();
  const BLOCK *block = id >= 0 ? FindBlockById(id) : nullptr;
  const int visible = std::min(frame->board.columns * frame->board.rows, members);
  const uint32_t shown = block && visible > 0 ? uint32_t(block->members[visible - 1].market) |
                                                    (uint32_t(block->members[visible - 1].stock) << 16)
                                              : 0;
  const uint32_t key = state.range(0) ? (uint32_t(9) | (uint32_t(999) << 16)) : shown;
  for (auto _ : state) frame->RedrawQuoteBoardStock(key);
  state.counters["visible_cards"] = visible;
}
BENCHMARK(BM_QuoteBoardPush)->Arg(0)->Arg(1);

// One step of the news ticker on the frame's 30 ms timer: the offset moves
// and only the ticker panel repaints (arg 0), against a repaint of the
// whole status bar in the same run (arg 1). The other panels' paints during
// the steps are counted: none are expected.
void BM_TickerStep(benchmark::State &state) {
  int others = 0, ticker = 0;  // counted by the panels until the frame is gone
  ShellBenchOfflineFrame offline;
  TMFrame *frame = offline.frame;
  testing_support::ViewHarness &harness = offline.harness;
  frame->SetBounds(0, 0, 1600, 1000);  // a ticker panel of some 800 pixels
  harness.Pump();
  for (int i = 0; i < TFrameCore::kMaxTickerItems; ++i) {
    char title[64];
    std::snprintf(title, sizeof title, "沪铜主力合约收盘上涨，成交放大 %d", i);
    frame->Core().AppendTicker(title);
  }
  TFrameChrome &chrome = *frame->chrome;
  for (TOwnerDrawPanel *drawn : {chrome.Panel2, chrome.Panel5, chrome.Panel6}) {
    drawn->OnDraw = [previous = drawn->OnDraw, &others](TObject *sender, HDC dc, RECT *r) {
      ++others;
      if (previous) previous(sender, dc, r);
    };
  }
  chrome.Panel1->OnDraw = [previous = chrome.Panel1->OnDraw, &ticker](TObject *sender, HDC dc, RECT *r) {
    ++ticker;
    if (previous) previous(sender, dc, r);
  };
  const bool whole = state.range(0) != 0;
  for (auto _ : state) {
    if (whole) frame->StatusPanel->Repaint();
    else frame->Timer2Timer(nullptr);
  }
  state.counters["other_panel_paints"] = whole ? 0 : others;
  state.counters["ticker_paints_per_step"] =
      benchmark::Counter(double(ticker) / double(std::max<int64_t>(1, state.iterations())));
  state.counters["ticker_width"] = chrome.Panel1->Width();
}
BENCHMARK(BM_TickerStep)->Arg(0)->Arg(1);

}  // namespace
