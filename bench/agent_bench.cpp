// Series agents: a pushed quote reaching every live series of one
// instrument (the hottest path of the terminal, run for every quote inside
// the socket's read handler), and a chart's series built from the cache
// when it opens or a download arrives.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/emem.h"
#include "market/barseries.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/winuser.h"
#include "testing/market_fixture_min.h"

namespace {

constexpr int kOpen1 = 570, kClose1 = 690, kOpen2 = 780, kClose2 = 900;

int64_t g_updates = 0;
int64_t g_allocations = 0;

LRESULT CountUpdates(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_AGENT_UPDATE) {
    ++g_updates;
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND ChartWindow() {
  static HWND hwnd = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountUpdates;
    wc.lpszClassName = "BenchAgentChart";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "BenchAgentChart", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }();
  return hwnd;
}

// One stock market of a sandbox with an instrument whose bar files the
// benchmark writes; the market clock on a Wednesday at the minute given.
struct Market {
  market_fixture::MarketSandbox box;
  TDataIO *io = nullptr;

  Market() {
    MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 4);
    market_fixture::AddKind(sh, "A", {{kOpen1, kClose1}, {kOpen2, kClose2}}, 540, 960);
    box.WriteMarketInfo({sh});
    STKINFO stock = market_fixture::MakeStock(0, 0, "600000", "name");
    stock.volumeUnit = 100;
    box.WriteTable(sh, "nametbl", std::vector<STKINFO>{stock});
    LoadHolidayLists();
  }
  void Open(int minute) {
    io = new TDataIO(nullptr);
    At(minute);
  }
  ~Market() {
    FreeAllDataAgents();
    delete io;
  }
  TMarketData *md() const { return MarketAt(0); }
  void At(int minute) {
    CurrentUtcTime = MakePackedDateTime(2024, 1, 17, unsigned(minute / 60), unsigned(minute % 60));
    ShiftPackedHours(&CurrentUtcTime, -8);
    md()->UpdateMarketClock(CurrentUtcTime);
    for (int k = 0; k < md()->m_info.kindCount; ++k) md()->m_tradingDate[k] = ComputeTradingDate(md(), k, 0);
  }
  void Write(const char *relative, const std::vector<KLINEBAR> &bars) {
    box.Write(relative, bars.data(), bars.size() * sizeof(KLINEBAR));
  }
};

// Whole days of one-minute bars (or of bars of n minutes) before the
// Wednesday, a day per calendar day going back.
std::vector<KLINEBAR> MinuteBars(int days, int n) {
  std::vector<KLINEBAR> bars;
  PackedDateTime date = MakePackedDateTime(2024, 1, 16);
  for (int d = 1; d < days; ++d) PackedPreviousDayInPlace(&date);
  uint32_t price = 10000;
  for (int d = 0; d < days; ++d, date = PackedNextDay(date)) {
    for (auto [open, close] : {std::pair{kOpen1, kClose1}, std::pair{kOpen2, kClose2}}) {
      for (int m = open; m < close; m += n) {
        const int end = std::min(m + n, close);
        KLINEBAR b{};
        b.time = date | PackedDateTime(end / 60) << 6 | PackedDateTime(end % 60);
        b.open = price;
        price = price + uint32_t(m % 7) - 3;
        b.close = price;
        b.high = std::max(b.open, b.close) + 2;
        b.low = std::min(b.open, b.close) - 2;
        b.volume = float(100 * (1 + m % 13));
        b.amount = b.volume * 10;
        bars.push_back(b);
      }
    }
  }
  return bars;
}

std::vector<KLINEBAR> DayBars(int n) {
  std::vector<KLINEBAR> bars(static_cast<size_t>(n));
  PackedDateTime day = MakePackedDateTime(2024, 1, 16);
  for (int i = n - 1; i >= 0; --i) {
    KLINEBAR &b = bars[size_t(i)];
    b.time = day;
    b.open = b.close = 10000 + uint32_t(i % 100);
    b.high = b.close + 5;
    b.low = b.close - 5;
    b.volume = 1e6f;
    b.amount = 1e8f;
    PackedPreviousDayInPlace(&day);
  }
  return bars;
}

// A trade per minute of today up to the clock, as the push client brings
// them.
void TradeThroughTheDay(Market &m, int until) {
  REALQUOTE &q = m.md()->m_quotes[0];
  q.open = q.high = q.low = q.last = 10000;
  for (int minute = kOpen1; minute <= until; ++minute) {
    if (minute >= kClose1 && minute < kOpen2) continue;
    m.At(minute);
    q.last = 10000 + uint32_t(minute % 11);
    q.lastVolume = 100;
    q.volume += 100;
    q.amount += 100000;
    DispatchQuoteToAgents(STKPTR(0, 0, 0).Word(), q, kAgentQuoteTrade | kAgentQuoteBuyer);
  }
}

// One pushed quote reaching 50 live bar series of one instrument (every
// minute period from 1 to 40, the 60, 120 and 240 minute periods, five
// N-day periods, weeks and months), through their minute trend, in the
// afternoon with the day's bars behind it. Each series tells a chart.
void BM_QuoteToFiftyAgents(benchmark::State &state) {
  Market m;
  m.Write("data/SH/min1/600000.m11", MinuteBars(20, 1));
  m.Write("data/SH/min/600000.mi1", MinuteBars(20, 5));
  m.Write("data/SH/MIN60/600000.hr1", MinuteBars(20, 60));
  m.Write("data/SH/day/600000.da1", DayBars(3000));
  m.Open(kOpen1);
  const HWND chart = ChartWindow();
  const STKPTR stock(0, 0, 0);
  int agents = 0;
  for (uint32_t n = 1; n <= 40; ++n, ++agents) AcquireDataAgent(stock, kAgentMinuteBars, n, chart);
  for (uint32_t n : {60u, 120u, 240u}) agents += AcquireDataAgent(stock, kAgentMinuteBars, n, chart) >= 0;
  for (uint32_t n : {1u, 2u, 5u, 10u, 20u}) agents += AcquireDataAgent(stock, kAgentDayBars, n, chart) >= 0;
  agents += AcquireDataAgent(stock, kAgentWeekBars, 1, chart) >= 0;
  agents += AcquireDataAgent(stock, kAgentMonthBars, 1, chart) >= 0;
  TradeThroughTheDay(m, 14 * 60 + 30);

  REALQUOTE &q = m.md()->m_quotes[0];
  g_updates = 0;
  g_allocations = 0;
  SetMallocRefusal([](int32_t) {
    ++g_allocations;
    return false;
  });
  uint32_t step = 0;
  for (auto _ : state) {
    q.last = 10000 + (++step & 7);
    q.lastVolume = 1;
    q.volume += 1;
    DispatchQuoteToAgents(stock.Word(), q, kAgentQuoteTrade | kAgentQuoteBuyer);
  }
  SetMallocRefusal(nullptr);
  state.counters["agents"] = agents;
  state.counters["updates/quote"] = double(g_updates) / double(state.iterations());
  state.counters["allocs/quote"] = double(g_allocations) / double(state.iterations());
}
BENCHMARK(BM_QuoteToFiftyAgents);

// A day chart opening: 15,000 day bars read from the cache, today's bar
// from the quote. The setting's capacity is chosen so that the file reader
// takes exactly 15,000 bars (it keeps a day's room for today below it).
void BM_BuildDaySeries(benchmark::State &state) {
  constexpr int kBars = 15000;
  const int32_t saved = MaxDataRecords;
  Market m;
  m.Write("data/SH/day/600000.da1", DayBars(kBars));
  m.Open(10 * 60);
  MaxDataRecords = kBars + 1 + 240 + 16;
  if (MSize(GetSharedBarBuffer()) < kBars * 40) state.SkipWithError("the shared buffer is smaller");
  const HWND chart = ChartWindow();
  const STKPTR stock(0, 0, 0);
  const int32_t trend = AcquireDataAgent(stock, kAgentMinuteTrend, 0, chart);
  TradeThroughTheDay(m, 10 * 60);
  const bool rebuild = state.range(0) != 0;
  const int32_t held = rebuild ? AcquireDataAgent(stock, kAgentDayBars, 1, chart) : -1;
  int32_t bars = 0;
  for (auto _ : state) {
    if (rebuild) {
      // A download arrived: the held series is read again.
      NotifyAgentsDataArrived(stock.Word(), kAgentDayBars, 1, 100);
      bars = DataAgentAt(held)->itemCount;
    } else {
      // A chart opens and closes.
      const int32_t agent = AcquireDataAgent(stock, kAgentDayBars, 1, chart);
      bars = DataAgentAt(agent)->itemCount;
      ReleaseDataAgent(agent, chart);
    }
  }
  if (bars != kBars + 1) state.SkipWithError("not 15,000 bars and today");
  state.counters["bars"] = bars;
  ReleaseDataAgent(trend, chart);
  MaxDataRecords = saved;
}
BENCHMARK(BM_BuildDaySeries)->ArgName("rebuild")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A five-minute chart opening in the afternoon: 60 days of five-minute
// bars from the cache, today's from the minute trend. With period 2 the
// same from 60 days of one-minute bars folded by three.
void BM_BuildMinuteSeries(benchmark::State &state) {
  const int period = int(state.range(0));
  Market m;
  m.Write("data/SH/min1/600000.m11", MinuteBars(60, 1));
  m.Write("data/SH/min/600000.mi1", MinuteBars(60, 5));
  m.Open(kOpen1);
  const HWND chart = ChartWindow();
  const STKPTR stock(0, 0, 0);
  const int32_t trend = AcquireDataAgent(stock, kAgentMinuteTrend, 0, chart);
  TradeThroughTheDay(m, 14 * 60 + 30);
  uint8_t kind = 0;
  uint32_t count = 0;
  PeriodToAgentKind(period, 0, &kind, &count);
  int32_t bars = 0;
  for (auto _ : state) {
    const int32_t agent = AcquireDataAgent(stock, kind, count, chart);
    bars = DataAgentAt(agent)->itemCount;
    ReleaseDataAgent(agent, chart);
  }
  state.counters["bars"] = bars;
  ReleaseDataAgent(trend, chart);
}
BENCHMARK(BM_BuildMinuteSeries)->ArgName("period")->Arg(4)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
