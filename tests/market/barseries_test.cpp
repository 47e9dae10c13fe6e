// Bar series building over a small hand-made stock market: periods and
// their folding, today's one-minute bars from the trend, the last pass over
// history, today's day-based bar from the quote, and the live refold, which
// must always give what a full build gives.
#include "market/barseries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/emem.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/reqqueue.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MarketSandbox;
using testing_support::MessageTrace;

namespace {

SYSTEMTIME Utc(int y, int m, int d, int h, int min) {
  SYSTEMTIME t{};
  t.wYear = WORD(y);
  t.wMonth = WORD(m);
  t.wDay = WORD(d);
  t.wHour = WORD(h);
  t.wMinute = WORD(min);
  return t;
}

PackedDateTime Day(int m, int d, int h = 0, int mi = 0) {
  return MakePackedDateTime(2024, unsigned(m), unsigned(d), unsigned(h), unsigned(mi));
}

KLINEBAR Bar(PackedDateTime time, uint32_t open, uint32_t high, uint32_t low, uint32_t close, float volume,
             float amount = 0) {
  KLINEBAR b{};
  b.time = time;
  b.open = open;
  b.high = high;
  b.low = low;
  b.close = close;
  b.volume = volume;
  b.amount = amount;
  return b;
}

std::string Describe(const KLINEBAR &b) {
  char text[160];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u o%u h%u l%u c%u v%g a%g s%u", PackedYear(b.time),
                PackedMonth(b.time), PackedDay(b.time), PackedHour(b.time), PackedMinute(b.time), b.open, b.high,
                b.low, b.close, double(b.volume), double(b.amount), b.settlement);
  return text;
}

std::vector<std::string> Describe(const KLINEBAR *bars, int32_t n) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < n; ++i) out.push_back(Describe(bars[i]));
  return out;
}

// The market's sessions: 9:30-11:30 and 13:00-15:00.
constexpr int kOpen1 = 570, kClose1 = 690, kOpen2 = 780, kClose2 = 900;

// The end-minute stamps of a day's 240 trading minutes.
std::vector<PackedDateTime> MinuteStamps(PackedDateTime date) {
  std::vector<PackedDateTime> out;
  for (auto [open, close] : {std::pair{kOpen1, kClose1}, std::pair{kOpen2, kClose2}})
    for (int m = open; m < close; ++m)
      out.push_back(date | PackedDateTime((m + 1) / 60) << 6 | PackedDateTime((m + 1) % 60));
  return out;
}

// One-minute bars of whole past days, a gentle walk.
std::vector<KLINEBAR> PastMinutes(std::initializer_list<PackedDateTime> days) {
  std::vector<KLINEBAR> bars;
  uint32_t price = 10000;
  for (PackedDateTime day : days)
    for (PackedDateTime t : MinuteStamps(day)) {
      const uint32_t next = price + (t % 7) - 3;
      bars.push_back(Bar(t, price, std::max(price, next) + 2, std::min(price, next) - 1, next, float(100 + t % 50),
                         float(1000 + t % 500)));
      price = next;
    }
  return bars;
}

// Groups of n consecutive bars (the days hold multiples of n).
std::vector<KLINEBAR> Groups(const std::vector<KLINEBAR> &bars, size_t n) {
  std::vector<KLINEBAR> out;
  for (size_t i = 0; i < bars.size(); i += n) {
    KLINEBAR b = bars[i];
    for (size_t j = i + 1; j < std::min(bars.size(), i + n); ++j) {
      b.time = bars[j].time;
      b.close = bars[j].close;
      b.high = std::max(b.high, bars[j].high);
      b.low = std::min(b.low, bars[j].low);
      b.volume += bars[j].volume;
      b.amount += bars[j].amount;
    }
    out.push_back(b);
  }
  return out;
}

class BarSeriesTest : public ::testing::Test {
 protected:
  // Wednesday 2024-01-17, 10:00 in the market.
  BarSeriesTest() : clock_(Utc(2024, 1, 17, 2, 0)) {
    // The scratch buffer is sized once, by the setting in force then.
    MaxDataRecords = kDefaultMaxDataRecords;
    GetSharedBarBuffer();
    UpdateCurrentUtcTime();
    MKINFO sh = MakeMarket("SH", "shd", 1, 4, 8, 0);
    AddKind(sh, "A股", {{kOpen1, kClose1}, {kOpen2, kClose2}}, 540, 960);
    // A market that trades nearly round the clock.
    MKINFO fx = MakeMarket("FX", "fxf", 4, 4, 8, 1);
    AddKind(fx, "直盘", {{0, 1430}}, 0, 1440);
    box_.WriteMarketInfo({sh, fx});
    STKINFO stock = MakeStock(0, 0, "600000", "甲");
    stock.volumeUnit = 100;
    box_.WriteTable(sh, "nametbl", std::vector<STKINFO>{stock});
    box_.WriteTable(fx, "nametbl", std::vector<STKINFO>{MakeStock(1, 0, "EURUSD", "欧元")});
    LoadHolidayLists();
    io_ = std::make_unique<TDataIO>(nullptr);
    ResetQueues();
    view_ = trace_.Create(0);
    MarketNow(1, 17, 10, 0);
  }
  ~BarSeriesTest() override {
    FreeAllDataAgents();
    ResetQueues();
    MaxDataRecords = kDefaultMaxDataRecords;
  }
  static void ResetQueues() {
    CacheRequests() = CacheRequestHooks{};
    SetQueueClient(nullptr);
    ResetRequestQueue();
  }

  TMarketData *Market() { return MarketAt(0); }
  REALQUOTE &Quote() { return Market()->m_quotes[0]; }
  STKPTR Stock() { return STKPTR(0, 0, 0); }

  // Moves the clock to a market time (UTC + 8) and rolls the market over
  // as the main window's timer would.
  void MarketNow(int month, int day, int hour, int minute) {
    PackedDateTime t = Day(month, day, hour, minute);
    ShiftPackedHours(&t, -8);
    clock_.SetUtc(Utc(int(PackedYear(t)), int(PackedMonth(t)), int(PackedDay(t)), int(PackedHour(t)),
                      int(PackedMinute(t))));
    UpdateCurrentUtcTime();
    for (int m = 0; m < MarketTable.marketCount; ++m) {
      TMarketData *md = MarketAt(m);
      md->UpdateMarketClock(CurrentUtcTime);
      for (int k = 0; k < md->m_info.kindCount; ++k) md->m_tradingDate[k] = ComputeTradingDate(md, k, m);
    }
  }

  void WriteBars(const std::string &relative, const std::vector<KLINEBAR> &bars) {
    box_.Write(relative, bars.data(), bars.size() * sizeof(KLINEBAR));
  }

  // A trade at the current clock; the quote follows it.
  void Trade(uint32_t price, float volume, uint32_t flags = kAgentQuoteTrade | kAgentQuoteBuyer) {
    REALQUOTE &q = Quote();
    if (!q.open) q.open = price;
    q.last = price;
    const uint32_t high = q.high, low = q.low;
    q.high = high > price ? high : price;
    q.low = low && low < price ? low : price;
    q.lastVolume = volume;
    q.volume += volume;
    q.amount += volume * 10;
    DispatchQuoteToAgents(Stock().Word(), q, flags);
  }

  int32_t Acquire(int period, uint32_t custom = 0) {
    uint8_t kind = 0;
    uint32_t count = 0;
    PeriodToAgentKind(period, custom, &kind, &count);
    return AcquireDataAgent(Stock(), kind, count, view_);
  }
  const CDataAgent &Agent(int32_t index) { return *DataAgentAt(index); }
  std::vector<std::string> Series(int32_t index) {
    const CDataAgent &a = Agent(index);
    return Describe(a.Bars(), a.itemCount);
  }

  ScopedFakeClock clock_;
  MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
  MessageTrace trace_;
  HWND view_ = nullptr;
};

// ---- Periods and folding -------------------------------------------------------

TEST(BarPeriods, CodesMapToAgentKindsAndBack) {
  struct Case {
    int period;
    uint32_t custom;
    uint8_t kind;
    uint32_t count;
    int back;
    uint32_t backCustom;
  } cases[] = {
      {1, 0, 6, 1, 1, 0},     {2, 0, 6, 3, 2, 0},    {3, 7, 6, 7, 3, 7},      {3, 5, 6, 5, 4, 0},
      {4, 0, 6, 5, 4, 0},     {5, 0, 6, 15, 5, 0},   {6, 0, 6, 30, 6, 0},     {7, 0, 6, 60, 7, 0},
      {8, 0, 7, 1, 8, 0},     {9, 0, 8, 1, 9, 0},    {10, 0, 9, 1, 10, 0},    {11, 0, 10, 1, 11, 0},
      {12, 3, 7, 3, 12, 3},   {13, 0, 6, 120, 13, 0}, {14, 0, 6, 240, 14, 0}, {0, 9, 7, 1, 8, 0},
      {99, 0, 7, 1, 8, 0},
  };
  for (const Case &c : cases) {
    uint8_t kind = 0;
    uint32_t count = 0, custom = 99;
    ASSERT_TRUE(PeriodToAgentKind(c.period, c.custom, &kind, &count));
    EXPECT_EQ(kind, c.kind) << c.period;
    EXPECT_EQ(count, c.count) << c.period;
    EXPECT_EQ(AgentPeriodCode(kind, count, &custom), c.back) << c.period;
    EXPECT_EQ(custom, c.backCustom) << c.period;
  }
  for (int kind : {0, 1, 2, 3, 4, 5, 11, 12}) EXPECT_EQ(AgentPeriodCode(kind, 1, nullptr), 0) << kind;
}

TEST(AggregateBars, FifteenMinutesStartAgainEveryDay) {
  // A day that ends after four five-minute bars leaves a last bar of one.
  std::vector<KLINEBAR> source = {
      Bar(Day(1, 15, 9, 35), 10, 14, 9, 12, 1, 100),  Bar(Day(1, 15, 9, 40), 12, 20, 11, 13, 2, 200),
      Bar(Day(1, 15, 9, 45), 13, 15, 5, 14, 3, 300),  Bar(Day(1, 15, 9, 50), 14, 16, 13, 15, 4, 400),
      Bar(Day(1, 16, 9, 35), 15, 17, 14, 16, 5, 500), Bar(Day(1, 16, 9, 40), 16, 18, 15, 17, 6, 600),
      Bar(Day(1, 16, 9, 45), 17, 19, 16, 18, 7, 700),
  };
  source[0].keep1 = 77;
  source[0].keep2 = 78;
  source[2].settlement = 555;
  for (int type : {1, 2}) {
    std::vector<KLINEBAR> target(source.size());
    int32_t n = 0;
    uint8_t complete = 0;
    AggregateBars(5, 0, source.data(), int32_t(source.size()), target.data(), &n, type, &complete);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(complete, 1);
    const KLINEBAR &first = target[0];
    EXPECT_EQ(first.time, Day(1, 15, 9, 45));
    EXPECT_EQ(first.open, 10u);
    EXPECT_EQ(first.close, 14u);
    EXPECT_EQ(first.high, 20u);
    EXPECT_EQ(first.low, 5u);
    EXPECT_EQ(first.volume, 6.0f);
    EXPECT_EQ(first.amount, type == 1 ? 600.0f : 300.0f) << "turnover adds up, open interest is a level";
    EXPECT_EQ(first.settlement, 555u);
    EXPECT_EQ(first.keep1, 77u);
    EXPECT_EQ(first.keep2, 78u);
    EXPECT_EQ(Describe(target[1]), Describe(source[3]));
    EXPECT_EQ(target[2].time, Day(1, 16, 9, 45));
  }
}

TEST(AggregateBars, DayBasedPeriodsGroupByCalendarOrByCount) {
  const std::vector<KLINEBAR> days = {
      Bar(Day(1, 25), 1, 2, 1, 2, 1), Bar(Day(1, 26), 2, 3, 1, 3, 1),  Bar(Day(1, 29), 3, 4, 2, 4, 1),
      Bar(Day(1, 31), 4, 5, 3, 5, 1), Bar(Day(2, 1), 5, 6, 4, 6, 1),  Bar(Day(3, 29), 6, 7, 5, 7, 1),
      Bar(Day(4, 1), 7, 8, 6, 8, 1),
  };
  struct Case {
    int period;
    uint32_t custom;
    std::vector<PackedDateTime> times;
    uint8_t complete;
  } cases[] = {
      {9, 1, {Day(1, 26), Day(2, 1), Day(3, 29), Day(4, 1)}, 1},  // Sunday-to-Saturday weeks
      {10, 1, {Day(1, 31), Day(2, 1), Day(3, 29), Day(4, 1)}, 1},
      {11, 1, {Day(3, 29), Day(4, 1)}, 1},
      {12, 3, {Day(1, 29), Day(3, 29), Day(4, 1)}, 0},  // the last group of three holds one
      {12, 7, {Day(4, 1)}, 1},
      {8, 1, {Day(1, 25), Day(1, 26), Day(1, 29), Day(1, 31), Day(2, 1), Day(3, 29), Day(4, 1)}, 1},
  };
  for (const Case &c : cases) {
    std::vector<KLINEBAR> target = days;  // folding in place
    int32_t n = 0;
    uint8_t complete = 9;
    AggregateBars(c.period, c.custom, target.data(), int32_t(target.size()), target.data(), &n, 1, &complete);
    std::vector<PackedDateTime> times;
    for (int32_t i = 0; i < n; ++i) times.push_back(target[size_t(i)].time);
    EXPECT_EQ(times, c.times) << c.period << "/" << c.custom;
    EXPECT_EQ(complete, c.complete) << c.period << "/" << c.custom;
  }
}

// ---- Today's one-minute bars -----------------------------------------------------

TEST_F(BarSeriesTest, IntradayBarsComeFromTheTrendMinuteByMinute) {
  MarketNow(1, 17, 10, 5);  // trading minute 35
  // Slot 0 is the opening, slot i trading minute i - 1; the trend reaches
  // 10:01-10:02, the four minutes after it have not traded.
  std::vector<TRENDREC> trend(33);
  for (size_t i = 0; i < trend.size(); ++i) {
    TRENDREC &r = trend[i];
    r.price = 1000 + uint32_t(i);
    r.firstPrice = 999 + uint32_t(i);
    r.highPrice = r.price + 2;
    r.lowPrice = r.price - 3;
    r.volume = float(100 * i * i);
    r.amount = float(7 * i);
  }
  trend[0].highPrice = 5000;  // the opening slot folds into the first minute
  std::vector<KLINEBAR> bars(kMinuteWorkBars);
  ASSERT_EQ(BuildIntradayBars(Market(), 0, trend.data(), int32_t(trend.size()), bars.data(), kMinuteWorkBars), 36);

  EXPECT_EQ(Describe(bars[0]), Describe(Bar(Day(1, 17, 9, 31), 999, 5000, 997, 1001, 100, 7)));
  EXPECT_EQ(Describe(bars[5]), Describe(Bar(Day(1, 17, 9, 36), 1005, 1008, 1003, 1006, 3600 - 2500, 7)));
  EXPECT_EQ(bars[29].time, Day(1, 17, 10, 0)) << "9:59 ends at 10:00";
  EXPECT_EQ(Describe(bars[31]), Describe(Bar(Day(1, 17, 10, 2), 1031, 1034, 1029, 1032, 102400 - 96100, 7)));
  for (int i = 32; i < 36; ++i) {
    const int end = kOpen1 + i + 1;
    EXPECT_EQ(Describe(bars[size_t(i)]), Describe(Bar(Day(1, 17, end / 60, end % 60), 1032, 1032, 1032, 1032, 0, 0)))
        << "flat after the last traded minute: " << i;
  }
  EXPECT_EQ(bars[35].time, Day(1, 17, 10, 6));
  EXPECT_EQ(BuildIntradayBars(Market(), 0, trend.data(), 0, bars.data(), kMinuteWorkBars), 0);
}

// ---- History ------------------------------------------------------------------------

TEST_F(BarSeriesTest, NoBarsAreReadWhenTheirNumberComesToZero) {
  std::vector<KLINEBAR> five = Groups(PastMinutes({Day(1, 15), Day(1, 16)}), 5);
  WriteBars("data/SH/min/600000.mi1", five);
  const int32_t longest = Market()->m_longestDay;
  ASSERT_EQ(longest, 240);

  // 5-minute bars: wanted - L/5 - 1 bars; 0 must not mean "the whole file".
  auto *buffer = static_cast<KLINEBAR *>(Malloc(4 * int32_t(sizeof(KLINEBAR))));
  const int32_t room = MSize(buffer) / int32_t(sizeof(KLINEBAR));
  std::memset(buffer, 0xAB, size_t(MSize(buffer)));
  int32_t n = -1;
  uint8_t complete = 0;
  EXPECT_EQ(LoadBarsForPeriod(&buffer, 0, "600000", &n, 4, 0, longest / 5 + 1, false, 0, &complete), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(reinterpret_cast<uint8_t *>(buffer)[0], 0xAB);

  // A caller's buffer is never given more than it holds: the newest bars.
  ASSERT_EQ(LoadBarsForPeriod(&buffer, 0, "600000", &n, 4, 0, 15000, false, 0, &complete), 1);
  ASSERT_EQ(n, room);
  EXPECT_EQ(Describe(buffer, n), Describe(five.data() + five.size() - size_t(room), room));
  Free(buffer);

  // No buffer: one of the series' size is made.
  KLINEBAR *made = nullptr;
  ASSERT_EQ(LoadBarsForPeriod(&made, 0, "600000", &n, 5, 0, 15000, false, 0, &complete), 1);
  EXPECT_GE(MSize(made), SeriesCapacity() * int32_t(sizeof(KLINEBAR)));
  EXPECT_EQ(n, int32_t(five.size() / 3));
  Free(made);
}

TEST_F(BarSeriesTest, ATinyMaxDataRecordsStillGivesASaneSeries) {
  const std::vector<KLINEBAR> minutes = PastMinutes({Day(1, 2), Day(1, 3), Day(1, 4), Day(1, 5), Day(1, 8), Day(1, 9),
                                                     Day(1, 10), Day(1, 11), Day(1, 12), Day(1, 15), Day(1, 16)});
  WriteBars("data/SH/min1/600000.m11", minutes);
  for (int32_t records : {1, 100, 241}) {
    MaxDataRecords = records;
    const int32_t agent = Acquire(1);
    ASSERT_GE(agent, 0);
    const CDataAgent &a = Agent(agent);
    EXPECT_EQ(a.capacity, kMinSeriesBars) << records;
    // wanted - L bars, less the reader's own margin of L + 16.
    const int32_t expected = kMinSeriesBars - 240 - 240 - 16;
    ASSERT_EQ(a.itemCount, expected) << records;
    KLINEBAR last = minutes.back();
    last.volume /= 100;
    EXPECT_EQ(Describe(a.Bars()[a.itemCount - 1]), Describe(last)) << records;
    ReleaseDataAgent(agent, view_);
  }
}

TEST_F(BarSeriesTest, TheLastPassCleansTheHistoryTimes) {
  // A bar stamped 25:10 by a session after midnight, a repeated minute and
  // one out of order.
  WriteBars("data/SH/min1/600000.m11",
            {Bar(Day(1, 15, 14, 58), 1, 1, 1, 1, 100), Bar(Day(1, 15, 25, 10), 2, 2, 2, 2, 200),
             Bar(Day(1, 16, 9, 31), 3, 3, 3, 3, 300), Bar(Day(1, 16, 9, 31), 4, 4, 4, 4, 400),
             Bar(Day(1, 16, 9, 30), 5, 5, 5, 5, 500), Bar(Day(1, 16, 9, 33), 6, 6, 6, 6, 600)});
  const int32_t minute = Acquire(1);
  const CDataAgent &a = Agent(minute);
  ASSERT_EQ(a.itemCount, 4);
  EXPECT_EQ(a.historyCount, 4);
  const std::vector<PackedDateTime> times = {Day(1, 15, 14, 58), Day(1, 16, 1, 10), Day(1, 16, 9, 31),
                                             Day(1, 16, 9, 33)};
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(a.Bars()[i].time, times[size_t(i)]) << i;
  EXPECT_EQ(a.Bars()[2].close, 3u) << "of two bars with one time the first stays";

  // Seven days in groups of three leave a short last group; when the last
  // pass takes it (its time repeats the one before), the history ends
  // complete with the volume of the group before.
  WriteBars("data/SH/day/600000.da1",
            {Bar(Day(1, 2), 1, 1, 1, 1, 100), Bar(Day(1, 3), 1, 1, 1, 1, 100), Bar(Day(1, 4), 1, 1, 1, 1, 100),
             Bar(Day(1, 5), 1, 1, 1, 1, 200), Bar(Day(1, 8), 1, 1, 1, 1, 200), Bar(Day(1, 9), 1, 1, 1, 1, 200),
             Bar(Day(1, 9), 1, 1, 1, 1, 900)});
  const int32_t days = Acquire(12, 3);
  const CDataAgent &d = Agent(days);
  EXPECT_EQ(d.itemCount, 2);
  EXPECT_EQ(d.historyCount, 2);
  EXPECT_EQ(d.historyComplete, 1);
  EXPECT_EQ(d.historyVolume, 6.0f);
}

// ---- Today's bar of day-based periods ------------------------------------------------------

class DayBarTest : public BarSeriesTest {
 protected:
  DayBarTest() {
    for (PackedDateTime d : {Day(1, 2), Day(1, 3), Day(1, 4), Day(1, 5), Day(1, 8), Day(1, 9), Day(1, 10),
                             Day(1, 11), Day(1, 12), Day(1, 15), Day(1, 16)})
      history_.push_back(Bar(d, 1000, 1100, 900, 1000 + PackedDay(d), 100 * PackedDay(d), 10 * PackedDay(d)));
    WriteBars("data/SH/day/600000.da1", history_);
    // Today's first trade reaches the minute trend, on which bars stand.
    trend_ = AcquireDataAgent(Stock(), kAgentMinuteTrend, 0, view_);
    Quote().open = 1010;
    Trade(1030, 2000);
    Quote().high = 1200;
    Quote().low = 800;
    Quote().volume = 5000;
    Quote().amount = 123456;
  }
  std::vector<KLINEBAR> history_;
  int32_t trend_ = -1;
};

TEST_F(DayBarTest, TodayOpensANewBarOrContinuesTheLastOne) {
  struct Case {
    int period;
    uint32_t custom;
    int32_t count;
    KLINEBAR last;
  } cases[] = {
      {8, 0, 12, Bar(Day(1, 17), 1010, 1200, 800, 1030, 50, 123456)},
      // Wednesday: the week of the 15th and 16th goes on.
      {9, 0, 3, Bar(Day(1, 17), 1000, 1200, 800, 1030, 50 + 31, 123456 + 310)},
      {10, 0, 1, Bar(Day(1, 17), 1000, 1200, 800, 1030, 50 + 95, 123456 + 950)},
      {11, 0, 1, Bar(Day(1, 17), 1000, 1200, 800, 1030, 50 + 95, 123456 + 950)},
      // Eleven days in tens: the short group of one goes on; in elevens a
      // new bar opens.
      {12, 10, 2, Bar(Day(1, 17), 1000, 1200, 800, 1030, 50 + 16, 123456 + 160)},
      {12, 11, 2, Bar(Day(1, 17), 1010, 1200, 800, 1030, 50, 123456)},
  };
  for (const Case &c : cases) {
    const int32_t agent = Acquire(c.period, c.custom);
    const CDataAgent &a = Agent(agent);
    ASSERT_EQ(a.itemCount, c.count) << c.period << "/" << c.custom;
    KLINEBAR expected = c.last;
    expected.settlement = a.Bars()[a.itemCount - 1].settlement;
    EXPECT_EQ(Describe(a.Bars()[a.itemCount - 1]), Describe(expected)) << c.period << "/" << c.custom;
  }
  const int32_t day = Acquire(8);
  EXPECT_EQ(Agent(day).Bars()[11].settlement, 1030u) << "no settlement yet: the last price";
}

TEST_F(DayBarTest, AHistoryBarOfTodayWins) {
  history_.push_back(Bar(Day(1, 17), 1, 2, 1, 2, 700, 70));
  WriteBars("data/SH/day/600000.da1", history_);
  const int32_t day = Acquire(8);
  const CDataAgent &a = Agent(day);
  ASSERT_EQ(a.itemCount, 12);
  EXPECT_EQ(a.historyCount, 12);
  EXPECT_EQ(Describe(a.Bars()[11]), Describe(Bar(Day(1, 17), 1, 2, 1, 2, 7, 70)));
}

// ---- Today's intraday bars ----------------------------------------------------------------

TEST_F(BarSeriesTest, TodayMinOnlyLeavesOutTheHistoryOfShortPeriods) {
  WriteBars("data/SH/min/600000.mi1", Groups(PastMinutes({Day(1, 16)}), 5));
  const int32_t trend = AcquireDataAgent(Stock(), kAgentMinuteTrend, 0, view_);
  MarketNow(1, 17, 9, 31);
  Trade(1000, 100);
  MarketNow(1, 17, 9, 52);
  Trade(1001, 100);

  int32_t five = Acquire(4);
  EXPECT_EQ(Agent(five).historyCount, 48);
  EXPECT_EQ(Agent(five).itemCount, 48 + 5);
  ReleaseDataAgent(five, view_);

  const std::string settings = std::string(UserDataPath) + "defui.ini";
  WritePrivateProfileStringA("UI", "TodayMinOnly", "1", settings.c_str());
  five = Acquire(4);
  EXPECT_EQ(Agent(five).historyCount, 0);
  ASSERT_EQ(Agent(five).itemCount, 5);
  EXPECT_EQ(Agent(five).Bars()[0].time, Day(1, 17, 9, 35));
  const int32_t hour = Acquire(7);
  EXPECT_EQ(Agent(hour).itemCount, 1) << "an hour has no history today either";
  ReleaseDataAgent(trend, view_);
}

TEST_F(BarSeriesTest, ALongTradingDayDoesNotRebuildTheTrendOnEveryQuote) {
  // Past 1376 trading minutes a trend of 1441 slots would sit within its
  // reserve for the rest of the day.
  const STKPTR fx(1, 0, 0);
  MarketNow(1, 17, 23, 40);
  const int32_t trend = AcquireDataAgent(fx, kAgentMinuteTrend, 0, view_);
  const uint32_t builds = Agent(trend).generation;
  REALQUOTE &q = MarketAt(1)->m_quotes[0];
  q.prevClose = 10950;
  for (int minute = 40; minute < 50; ++minute) {
    MarketNow(1, 17, 23, minute);
    q.last = 10950 + uint32_t(minute);
    q.volume += 10;
    q.lastVolume = 10;
    DispatchQuoteToAgents(fx.Word(), q, kAgentQuoteTrade);
    ASSERT_EQ(Agent(trend).itemCount, 1 + 23 * 60 + minute + 1) << minute;
  }
  EXPECT_EQ(Agent(trend).generation, builds) << "built once, when it was acquired";
  const auto *r = static_cast<const TRENDREC *>(Agent(trend).series);
  EXPECT_EQ(r[0].price, 10950u) << "the day before its first trade stays at the previous close";
  EXPECT_EQ(r[1 + 23 * 60 + 49].price, 10999u);
}

// A copy of a bar agent built in full from what is loaded, beside it.
std::vector<std::string> FullBuildOf(const CDataAgent &agent) {
  CDataAgent shadow = agent;
  shadow.series = Malloc(agent.capacity * int32_t(sizeof(KLINEBAR)));
  shadow.minuteWork = static_cast<KLINEBAR *>(Malloc(agent.workCapacity * int32_t(sizeof(KLINEBAR))));
  std::memcpy(shadow.series, agent.series, size_t(agent.capacity) * sizeof(KLINEBAR));
  std::memcpy(shadow.minuteWork, agent.minuteWork, size_t(agent.workCapacity) * sizeof(KLINEBAR));
  EXPECT_TRUE(BuildBarSeries(&shadow, false, false, false));
  std::vector<std::string> out = Describe(shadow.Bars(), shadow.itemCount);
  Free(shadow.series);
  Free(shadow.minuteWork);
  return out;
}

TEST_F(BarSeriesTest, HistoryReachingIntoTodayStillFollowsTheTrades) {
  // A server's history may hold today's bars up to the time it was asked;
  // today is taken from the trend all the same and goes on with the trades.
  const std::vector<KLINEBAR> past = PastMinutes({Day(1, 16)});
  WriteBars("data/SH/min1/600000.m11", past);
  WriteBars("data/SH/min/600000.mi1", Groups(past, 5));
  MarketNow(1, 17, 9, 25);
  const std::pair<int, uint32_t> periods[] = {{1, 0}, {4, 0}, {3, 7}};
  std::vector<int32_t> agents;
  for (auto [period, custom] : periods) agents.push_back(Acquire(period, custom));
  uint32_t price = 10000;
  for (int minute = 9 * 60 + 30; minute < 9 * 60 + 50; ++minute) {
    MarketNow(1, 17, minute / 60, minute % 60);
    Trade(price += 3, 10);
  }
  // The history arrives with today's first twenty minutes in it.
  std::vector<KLINEBAR> withToday = past;
  for (const KLINEBAR &b : PastMinutes({Day(1, 17)})) {
    if (withToday.size() == past.size() + 20) break;
    withToday.push_back(b);
  }
  WriteBars("data/SH/min1/600000.m11", withToday);
  WriteBars("data/SH/min/600000.mi1", Groups(withToday, 5));
  NotifyAgentsDataArrived(Stock().Word(), kAgentMinuteBars, 1, 100);
  NotifyAgentsDataArrived(Stock().Word(), kAgentMinuteBars, 5, 100);

  for (int minute = 9 * 60 + 50; minute < 10 * 60 + 5; ++minute) {
    MarketNow(1, 17, minute / 60, minute % 60);
    Trade(price += 3, 10);
    for (size_t i = 0; i < agents.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "period " << periods[i].first << " at " << minute / 60 << ":" << minute % 60);
      const CDataAgent &a = Agent(agents[i]);
      ASSERT_GT(a.itemCount, 0);
      const KLINEBAR &last = a.Bars()[a.itemCount - 1];
      EXPECT_EQ(last.close, price);
      EXPECT_EQ(Series(agents[i]), FullBuildOf(a));
    }
    const CDataAgent &one = Agent(agents[0]);
    EXPECT_EQ(one.Bars()[one.itemCount - 1].time, Day(1, 17, (minute + 1) / 60, (minute + 1) % 60));
    EXPECT_EQ(one.itemCount, 240 + minute - 9 * 60 - 30 + 1);
  }
}

TEST_F(BarSeriesTest, LiveQuotesRefoldTodayExactlyAsAFullBuild) {
  const std::vector<KLINEBAR> past = PastMinutes({Day(1, 15), Day(1, 16)});
  WriteBars("data/SH/min1/600000.m11", past);
  WriteBars("data/SH/min/600000.mi1", Groups(past, 5));
  WriteBars("data/SH/MIN60/600000.hr1", Groups(past, 60));
  MarketNow(1, 17, 9, 25);
  const std::pair<int, uint32_t> periods[] = {{1, 0}, {2, 0}, {3, 7}, {4, 0}, {5, 0},   {6, 0},
                                              {7, 0}, {13, 0}, {14, 0}, {3, 45}, {3, 120}, {8, 0}};
  std::vector<int32_t> agents;
  for (auto [period, custom] : periods) agents.push_back(Acquire(period, custom));

  std::mt19937 random(7);
  int minute = 9 * 60 + 25;
  uint32_t price = 10000;
  int checked = 0;
  while (minute < 15 * 60 + 5) {
    const int step = int(random() % 8);
    minute += step == 7 ? int(random() % 20) : step / 3;
    if (minute > kClose1 && minute < kOpen2) minute = kOpen2 + int(random() % 3);
    MarketNow(1, 17, minute / 60, minute % 60);
    price = price + uint32_t(random() % 9) - 4;
    const int what = int(random() % 10);
    if (what == 0) {
      // A correction: the volume falls back below the minute before.
      const float volume = Quote().volume;
      Quote().volume = volume > 300 ? volume - 300 : 0;
      Trade(price, 1);
    } else {
      Trade(price, float(1 + random() % 300), what == 1 ? 0 : kAgentQuoteTrade | kAgentQuoteSeller);
    }
    for (size_t i = 0; i < agents.size(); ++i) {
      const CDataAgent &a = Agent(agents[i]);
      ASSERT_EQ(Series(agents[i]), FullBuildOf(a)) << "period " << periods[i].first << "/" << periods[i].second
                                                   << " at " << minute / 60 << ":" << minute % 60;
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
  // The bars of the day reached the afternoon.
  const CDataAgent &one = Agent(agents[0]);
  EXPECT_GT(PackedHour(one.Bars()[one.itemCount - 1].time), 13u);
}

}  // namespace
