// Series agents over the offline data set of testing/market_fixture.h and
// the quote-service doubles: series built from the cache alone, a request
// for missing days answered by the double and the rebuild it brings, live
// pushed quotes growing and opening bars of every period (checked against
// bars made here from the same trades), sharing and releasing, the edges of
// the tick and trend series, views that acquire and release while they are
// told, and a formula's cross-instrument reference served by an agent.
#include "market/dataagent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formula/indexmarket.h"
#include "formula/kvindex.h"
#include "market/answer.h"
#include "market/barseries.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "formula/formula_market.h"
#include "market/nclient.h"
#include "market/realclient.h"
#include "market/reqbuild.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/pump.h"
#include "testing/quote_double.h"
#include "testing/quote_double_push.h"
#include "testing/quote_double_requests.h"

namespace fs = std::filesystem;
using namespace market_fixture;
using testing_support::MessageTrace;
using testing_support::PumpUntil;

namespace {

SYSTEMTIME Utc(PackedDateTime t) {
  SYSTEMTIME s{};
  s.wYear = WORD(PackedYear(t));
  s.wMonth = WORD(PackedMonth(t));
  s.wDay = WORD(PackedDay(t));
  s.wHour = WORD(PackedHour(t));
  s.wMinute = WORD(PackedMinute(t));
  return s;
}

PackedDateTime DateOf(PackedDateTime t) { return t & kPackedDateMask; }

std::string Describe(const KLINEBAR &b) {
  char text[160];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u o%u h%u l%u c%u v%.9g a%.9g s%u", PackedYear(b.time),
                PackedMonth(b.time), PackedDay(b.time), PackedHour(b.time), PackedMinute(b.time), b.open, b.high,
                b.low, b.close, double(b.volume), double(b.amount), b.settlement);
  return text;
}
std::vector<std::string> Describe(const KLINEBAR *bars, size_t n) {
  std::vector<std::string> out;
  for (size_t i = 0; i < n; ++i) out.push_back(Describe(bars[i]));
  return out;
}
std::vector<std::string> Describe(const std::vector<KLINEBAR> &bars) { return Describe(bars.data(), bars.size()); }

// ---- Bars made here, the plain way ----------------------------------------------

// Consecutive bars that belong together folded into one, volumes added up
// in order; amounts too when they are turnover, else the last one stands.
std::vector<KLINEBAR> FoldWhile(
    const std::vector<KLINEBAR> &bars, bool turnover,
    const std::function<bool(const KLINEBAR &group, const KLINEBAR &next, size_t in)> &same) {
  std::vector<KLINEBAR> out;
  size_t in = 0;
  for (const KLINEBAR &b : bars) {
    if (!out.empty() && same(out.back(), b, in)) {
      KLINEBAR &g = out.back();
      g.time = b.time;
      g.close = b.close;
      g.settlement = b.settlement;
      g.high = std::max(g.high, b.high);
      g.low = std::min(g.low, b.low);
      g.volume += b.volume;
      g.amount = turnover ? g.amount + b.amount : b.amount;
      ++in;
    } else {
      out.push_back(b);
      in = 1;
    }
  }
  return out;
}
std::vector<KLINEBAR> InGroupsOf(const std::vector<KLINEBAR> &bars, size_t k, bool turnover) {
  return FoldWhile(bars, turnover, [k](const KLINEBAR &g, const KLINEBAR &b, size_t in) {
    return in < k && DateOf(g.time) == DateOf(b.time);
  });
}
std::vector<KLINEBAR> ByCalendar(const std::vector<KLINEBAR> &bars, bool turnover,
                                 bool (*same)(PackedDateTime, PackedDateTime)) {
  return FoldWhile(bars, turnover,
                   [same](const KLINEBAR &g, const KLINEBAR &b, size_t) { return same(g.time, b.time); });
}
std::vector<KLINEBAR> PerUnit(std::vector<KLINEBAR> bars, int32_t unit, bool amountToo) {
  for (KLINEBAR &b : bars) {
    b.volume /= float(unit);
    if (amountToo) b.amount /= float(unit);
  }
  return bars;
}

// One trade at a clock minute of the market: its price and volume, and
// its turnover (stock markets) or the open interest after it (futures).
struct Trade {
  int clock;
  uint32_t price;
  float volume;
  float amount;
};

// Today's one-minute bars from trades: one per trading minute up to the
// minute of now, stamped with its end; a minute without trades stays at the
// close before it (at first the given price and amount).
std::vector<KLINEBAR> MinuteBarsOf(const std::vector<std::pair<int, int>> &sessions, PackedDateTime date,
                                   const std::vector<Trade> &trades, int now, uint32_t flatPrice, float flatAmount,
                                   bool turnover) {
  std::vector<int> minutes;
  for (auto [open, close] : sessions)
    for (int m = open; m < close; ++m) minutes.push_back(m);
  std::vector<KLINEBAR> bars;
  size_t t = 0;
  uint32_t close = flatPrice;
  float level = flatAmount;
  for (size_t i = 0; i < minutes.size() && minutes[i] <= now; ++i) {
    KLINEBAR b{};
    const int end = minutes[i] + 1;
    b.time = date | PackedDateTime(end / 60) << 6 | PackedDateTime(end % 60);
    b.open = b.high = b.low = b.close = close;
    b.amount = turnover ? 0 : level;
    for (bool first = true; t < trades.size() && trades[t].clock == minutes[i]; ++t, first = false) {
      const Trade &x = trades[t];
      if (first) b.open = b.high = b.low = x.price;
      b.close = x.price;
      b.high = std::max(b.high, x.price);
      b.low = std::min(b.low, x.price);
      b.volume += x.volume;
      b.amount = turnover ? b.amount + x.amount : x.amount;
    }
    close = b.close;
    level = b.amount;
    bars.push_back(b);
  }
  return bars;
}

// ---- The world of a test -----------------------------------------------------------

// The data set written for a UTC moment, the market table built offline
// from it, and a stand-in for the main window that hands pushed quotes and
// answer notices to the agents as the real one does.
class AgentTest : public ::testing::Test {
 protected:
  explicit AgentTest(PackedDateTime utcNow) : clock_(Utc(utcNow)), desc_(StandardDataSet(utcNow)) {
    MaxDataRecords = desc_.maxDataRecords;
    GetSharedBarBuffer();
    WriteDataSet(desc_, box_.Root());
    UpdateCurrentUtcTime();
    LoadHolidayLists();
    io_ = std::make_unique<TDataIO>(nullptr);
    Reset();
    TakeOverRights(QuoteDouble::DefaultGrant());
    world_ = this;
    main_ = trace_.Create(0);
    trace_.SetHandler(main_, MainWindow);
    QuoteClientHooks().mainWindow = main_;
    view_ = trace_.Create(0);
  }
  ~AgentTest() override {
    FreeAllDataAgents();
    QuoteClientHooks() = TQuoteClientHooks{};
    Reset();
    ClearRights();
    MaxDataRecords = kDefaultMaxDataRecords;
    world_ = nullptr;
  }
  static void Reset() {
    CacheRequests() = CacheRequestHooks{};
    SetQueueClient(nullptr);
    ResetRequestQueue();
    ResetPushState();
  }

  // What the main window does with a pushed quote and an answer notice.
  static LRESULT MainWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MF_EVENT && wParam == kMfQuote) {
      const auto *slot = reinterpret_cast<const MFEVENTSLOT *>(lParam);
      const STKPTR stock(slot->stock);
      DispatchQuoteToAgents(slot->stock, MarketAt(stock.market)->m_quotes[stock.stock], slot->flags);
      ++world_->quotesSeen_;
      return 0;
    }
    if (message == WM_STOCK_DATA) {
      const int command = int(wParam >> 16 & 0xFFFF), low = int(wParam & 0xFFFF);
      const uint32_t stock = uint32_t(lParam);
      switch (command) {
        case FRAME_MINUTE_TREND: NotifyAgentsDataArrived(stock, kAgentMinuteTrend, 0, WPARAM(low)); break;
        case FRAME_RECENT_TRADES: NotifyAgentsDataArrived(stock, kAgentRecentTrades, 0, WPARAM(low)); break;
        case FRAME_TICKS: NotifyAgentsDataArrived(stock, kAgentTicks, 0, WPARAM(low)); break;
        case FRAME_BARS: {
          const int base = low & 0xFF, percent = low >> 8;
          if (base == 1 || base == 4 || base == 7)
            NotifyAgentsDataArrived(stock, kAgentMinuteBars, base == 1 ? 1 : (base == 4 ? 5 : 60), WPARAM(percent));
          else
            NotifyAgentsDataArrived(stock, kAgentDayBars, 1, WPARAM(percent));
          break;
        }
        default: break;
      }
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  int Find(int market, const char *code) const {
    const auto &list = desc_.markets[size_t(market)].instruments;
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].code == code) return int(i);
    ADD_FAILURE() << code;
    return 0;
  }
  STKPTR Stock(int market, const char *code) const { return STKPTR(market, 0, Find(market, code)); }
  REALQUOTE &QuoteOf(STKPTR s) { return MarketAt(s.market)->m_quotes[s.stock]; }

  int32_t Acquire(STKPTR stock, int period, uint32_t custom = 0, HWND window = nullptr) {
    uint8_t kind = 0;
    uint32_t count = 0;
    PeriodToAgentKind(period, custom, &kind, &count);
    return AcquireDataAgent(stock, kind, count, window ? window : view_);
  }
  static const CDataAgent &Agent(int32_t index) { return *DataAgentAt(index); }
  static std::vector<std::string> Series(int32_t index) {
    const CDataAgent &a = Agent(index);
    return Describe(a.Bars(), size_t(a.itemCount));
  }
  static std::vector<std::string> Today(int32_t index) {
    const CDataAgent &a = Agent(index);
    return Describe(a.Bars() + a.historyCount, size_t(a.itemCount - a.historyCount));
  }
  static std::vector<std::string> History(int32_t index) {
    const CDataAgent &a = Agent(index);
    return Describe(a.Bars(), size_t(a.historyCount));
  }

  // The cache of one instrument as it is before its first trade of the
  // day: no intraday files, no bars of today in the bar files, a quote
  // without trades.
  void StartTheDayAfresh(STKPTR s, const InstrumentSeries &series) {
    const MarketDesc &market = desc_.markets[s.market];
    const std::string folder = "data/" + market.shortName + "/";
    const std::string code = market.instruments[s.stock].code;
    for (const char *file : {"tick/%s.tik", "tick/%s.tr3", "tick/%s.nnt"}) {
      char name[64];
      std::snprintf(name, sizeof name, file, code.c_str());
      fs::remove(box_.Path(folder + name));
    }
    InstrumentSeries past = series;
    past.today.minutes.clear();
    auto write = [&](const char *file, int n) {
      const std::vector<KLINEBAR> bars = GroupMinuteBars(past, n);
      box_.Write(folder + file + code + (n == 1 ? ".m11" : n == 5 ? ".mi1" : ".hr1"), bars.data(),
                 bars.size() * sizeof(KLINEBAR));
    };
    write("min1/", 1);
    write("min/", 5);
    write("MIN60/", 60);
    REALQUOTE &q = QuoteOf(s);
    q.open = q.high = q.low = q.last = 0;
    q.volume = q.lastVolume = 0;
    const bool turnover = market.type == 1 || market.type == 6;
    q.amount = turnover ? 0 : q.prevOpenInterest;
  }

  ScopedFakeClock clock_;
  DataSetDesc desc_;
  MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
  MessageTrace trace_;
  HWND main_ = nullptr;
  HWND view_ = nullptr;
  int quotesSeen_ = 0;
  static AgentTest *world_;
};
AgentTest *AgentTest::world_ = nullptr;

// Monday 2024-01-15 02:00 UTC: 10:00 in Shanghai, half an hour traded; 13:00
// on the futures clock.
class MondayTest : public AgentTest {
 protected:
  MondayTest() : AgentTest(MakePackedDateTime(2024, 1, 15, 2, 0)) {}
};

// ---- Built from the cache ------------------------------------------------------------

TEST_F(MondayTest, BarAgentsBuildFromTheCacheAlone) {
  const STKPTR s = Stock(0, "600000");
  const InstrumentSeries series = BuildSeries(desc_, 0, s.stock);
  const int32_t unit = 100;
  const REALQUOTE quote = QuoteOf(s);
  const PackedDateTime today = TradingDateOf(desc_, 0, s.kind);

  // The bar files hold today's minutes already; the minute periods take
  // today from the trend all the same, so that they go on with the quotes:
  // the same bars with the current minute open at the end (the trend's
  // float sums round today's amounts differently, so those are left out).
  // The day-based ones add today's bar from the quote.
  InstrumentSeries live = series;
  {
    KLINEBAR open = live.today.minutes.back();
    open.time = MakePackedDateTime(2024, 1, 15, 10, 1);
    open.open = open.high = open.low = open.close;
    open.volume = open.amount = 0;
    live.today.minutes.push_back(open);
  }
  const std::vector<KLINEBAR> five = GroupMinuteBars(live, 5);
  KLINEBAR day{};
  day.time = today;
  day.open = quote.open;
  day.high = quote.high;
  day.low = quote.low;
  day.close = quote.last;
  day.settlement = quote.barSettlement ? quote.barSettlement : quote.last;
  day.volume = quote.volume / float(unit);
  day.amount = quote.amount;
  std::vector<KLINEBAR> days = PerUnit(series.days, unit, false);
  std::vector<KLINEBAR> months = PerUnit(ByCalendar(series.days, true, IsSameMonth), unit, false);
  KLINEBAR &january = months.back();
  ASSERT_EQ(PackedMonth(january.time), 1u);
  january.time = today;
  january.high = std::max(january.high, day.high);
  january.low = std::min(january.low, day.low);
  january.close = day.close;
  january.volume = day.volume + january.volume;
  january.amount = day.amount + january.amount;
  std::vector<KLINEBAR> weeks = PerUnit(ByCalendar(series.days, true, IsSameWeek), unit, false);
  weeks.push_back(day);  // a Monday opens a week
  days.push_back(day);

  struct Case {
    int period;
    std::vector<KLINEBAR> bars;
  } cases[] = {
      {1, PerUnit(GroupMinuteBars(live, 1), unit, false)},
      {4, PerUnit(five, unit, false)},
      {5, PerUnit(InGroupsOf(five, 3, true), unit, false)},
      {7, PerUnit(GroupMinuteBars(live, 60), unit, false)},
      {8, days},
      {9, weeks},
      {10, months},
  };
  for (const Case &c : cases) {
    const int32_t agent = Acquire(s, c.period);
    ASSERT_GE(agent, 0);
    if (c.period >= 8) {
      EXPECT_EQ(Series(agent), Describe(c.bars)) << "period " << c.period;
      continue;
    }
    std::vector<KLINEBAR> shown(Agent(agent).Bars(), Agent(agent).Bars() + Agent(agent).itemCount);
    std::vector<KLINEBAR> wanted = c.bars;
    for (auto *bars : {&shown, &wanted})
      for (KLINEBAR &b : *bars)
        if (b.time >= today) b.amount = 0;
    EXPECT_EQ(Describe(shown), Describe(wanted)) << "period " << c.period;
  }

  // Every bar agent stands on the one minute trend of the instrument,
  // itself built from today's trend file up to the current minute.
  const int32_t trend = Agent(Acquire(s, 8)).parent;
  ASSERT_GE(trend, 0);
  EXPECT_EQ(Agent(trend).kind, kAgentMinuteTrend);
  EXPECT_EQ(Agent(trend).dependentCount, uint32_t(std::size(cases)));
  EXPECT_EQ(Agent(trend).itemCount, int32_t(TodayTrend(series).size()));
  EXPECT_EQ(Agent(trend).itemCount, 1 + 30);
}

TEST_F(MondayTest, ViewsShareOneAgentAndTheLastReleaseFreesIt) {
  const STKPTR s = Stock(0, "600000");
  MessageTrace other;
  const HWND second = other.Create(0);
  const int32_t first = Acquire(s, 4);
  ASSERT_EQ(Acquire(s, 4, 0, second), first);
  const int32_t trend = Agent(first).parent;
  EXPECT_EQ(Agent(first).windowCount, 2u);
  const int32_t fifteen = Acquire(s, 5);
  EXPECT_NE(fifteen, first) << "another period, another agent";
  EXPECT_EQ(Agent(trend).dependentCount, 2u);

  ReleaseDataAgent(first, view_);
  EXPECT_TRUE(Agent(first).InUse());
  ReleaseDataAgent(first, view_);  // not listed any more: nothing happens
  EXPECT_TRUE(Agent(first).InUse());
  ReleaseDataAgent(first, second);
  EXPECT_FALSE(Agent(first).InUse());
  EXPECT_EQ(Agent(first).series, nullptr);
  EXPECT_EQ(Agent(first).parent, -1);
  EXPECT_EQ(Agent(trend).dependentCount, 1u);

  // A freed entry is taken again before the array grows.
  const int32_t count = DataAgents().GetCount();
  EXPECT_EQ(Acquire(s, 7), first);
  EXPECT_EQ(DataAgents().GetCount(), count);

  // The 65th window of one series gets an agent of its own.
  std::vector<int32_t> got;
  for (int i = 0; i < kAgentMaxWindows + 1; ++i)
    got.push_back(AcquireDataAgent(s, kAgentEmpty, 0, reinterpret_cast<HWND>(uintptr_t(0x1000 + i))));
  for (int i = 1; i < kAgentMaxWindows; ++i) EXPECT_EQ(got[size_t(i)], got[0]);
  EXPECT_NE(got.back(), got[0]);
  EXPECT_EQ(Agent(got[0]).itemSize, 0);

  // The last bar agent gone, its minute trend goes too.
  ReleaseDataAgent(fifteen, view_);
  EXPECT_TRUE(Agent(trend).InUse());
  ReleaseDataAgent(first, view_);
  EXPECT_FALSE(Agent(trend).InUse());
}

// A name table reloaded under the agents may move an instrument to another
// kind: rebuilding by kind goes by the kind it has now.
TEST_F(MondayTest, RebuildByKindFollowsTheReloadedNameTable) {
  const STKPTR s = Stock(0, "600000");
  const int32_t trend = AcquireDataAgent(s, kAgentMinuteTrend, 0, view_);
  TMarketData *md = MarketAt(0);
  const int before = Agent(trend).stock.kind;
  const int kinds = md->m_info.kindCount;
  ASSERT_GT(kinds, 1);
  const int after = (before + 1) % kinds;
  md->m_stocks[s.stock].kind = uint8_t(after);

  trace_.Clear();
  RebuildAgents(0, before);
  EXPECT_EQ(trace_.Count(WM_AGENT_UPDATE, view_), 0u) << "rebuilt by the kind it had";
  RebuildAgents(0, after);
  EXPECT_EQ(trace_.Count(WM_AGENT_UPDATE, view_), 1u);
  EXPECT_EQ(int(Agent(trend).stock.kind), after);
}

// ---- Missing days asked and answered -------------------------------------------------

TEST_F(MondayTest, MissingDaysAreAskedAndTheAgentRebuildsWhenTheyArrive) {
  const STKPTR s = Stock(0, "600000");
  const InstrumentSeries series = BuildSeries(desc_, 0, s.stock);
  std::vector<KLINEBAR> held(series.days.begin(), series.days.end() - 5);
  box_.Write("data/SH/day/600000.da1", held.data(), held.size() * sizeof(KLINEBAR));

  // The data server answers from the data set.
  QuoteDouble server;
  ASSERT_TRUE(server.Running());
  QuoteRequestServer(desc_).Install(server);
  WSADATA data;
  ws::WSAStartup(MAKEWORD(2, 2), &data);
  WritePrivateProfileStringA("Server", "Address", "127.0.0.1", ".\\SERVER.INI");
  WritePrivateProfileStringA("Server", "Port", std::to_string(server.DirectoryPort()).c_str(), ".\\SERVER.INI");
  WritePrivateProfileStringA("Server", "Port1", std::to_string(server.DataPort()).c_str(), ".\\SERVER.INI");
  const std::string user = std::string(UserDataPath) + "SERVER.INI";
  WritePrivateProfileStringA("Server", "UserName", "alice", user.c_str());
  WritePrivateProfileStringA("Server", "Password", "secret", user.c_str());
  {
    TNormalClnt client;
    ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
    ASSERT_TRUE(client.ArmAsyncEvents());
    SetQueueClient(&client);

    const int32_t day = Acquire(s, 8);
    const size_t heldBars = Agent(day).historyCount;
    EXPECT_EQ(heldBars, held.size());
    ASSERT_TRUE(PumpUntil([&] { return trace_.Count(WM_AGENT_UPDATE, view_) > 0; }));

    // One request, for the days after the last one held; the answer was
    // filed and the agent rebuilt with it.
    const auto asked = server.Frames(QuoteDouble::kData, FRAME_BARS);
    ASSERT_EQ(asked.size(), 1u);
    const std::vector<uint8_t> body = asked[0].Body();
    EXPECT_EQ(body[0], 8);
    uint32_t from = 0;
    std::memcpy(&from, body.data() + 14, 4);
    EXPECT_EQ(from, PackedNextDay(DateOf(held.back().time)));
    const auto told = trace_.Messages();
    const auto update = std::find_if(told.begin(), told.end(), [&](const auto &m) {
      return m.hwnd == view_ && m.message == WM_AGENT_UPDATE;
    });
    EXPECT_EQ(update->wParam, 100u);
    EXPECT_EQ(update->lParam, LPARAM(day));
    EXPECT_EQ(Agent(day).historyCount, int32_t(series.days.size()));
    EXPECT_EQ(History(day), Describe(PerUnit(series.days, 100, false)));
    EXPECT_EQ(Agent(day).itemCount, Agent(day).historyCount + 1) << "and today's bar after them";
    SetQueueClient(nullptr);
  }
  ws::WSACleanup();
}

// ---- Live quotes through the push server ------------------------------------------

// The push server and a push client logged in to it.
class LiveTest : public AgentTest {
 protected:
  explicit LiveTest(PackedDateTime utcNow) : AgentTest(utcNow) {
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    WritePrivateProfileStringA("Server", "dsAddr", "127.0.0.1", ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "Port2", std::to_string(push_.Port()).c_str(), ".\\SERVER.INI");
    client_ = std::make_unique<TRealDataClnt>();
    connected_ = client_->ConnectAndLogin("alice") == 1 &&
                 PumpUntil([&] { return push_.Logins().size() == 1; });
    utcMinute_ = int(PackedHour(CurrentUtcTime)) * 60 + int(PackedMinute(CurrentUtcTime));
  }
  ~LiveTest() override {
    client_.reset();
    ws::WSACleanup();
  }

  // Moves the push server's clock; the client moves the markets'.
  void PushClock(int utcMinute) {
    ASSERT_TRUE(push_.Push({QuotePushDouble::ClockItem(utcMinute)}));
    ASSERT_TRUE(PumpUntil([&] {
      return int(PackedHour(CurrentUtcTime)) * 60 + int(PackedMinute(CurrentUtcTime)) == utcMinute;
    }));
    utcMinute_ = utcMinute;
  }

  // One trade pushed as the instrument's quote, at the market minute
  // (moving the clock first when it is another minute).
  void PushTrade(STKPTR s, const Trade &t) {
    const TMarketData *md = MarketAt(s.market);
    const int utc = ((t.clock - md->m_info.hourOffset * 60) % 1440 + 1440) % 1440;
    std::vector<QuotePushDouble::Item> items;
    if (utc != utcMinute_) items.push_back(QuotePushDouble::ClockItem(utc));
    REALQUOTE q = QuoteOf(s);
    const bool turnover = md->m_info.type == 1 || md->m_info.type == 6;
    const uint32_t high = q.high, low = q.low;
    q.last = t.price;
    q.high = high > t.price ? high : t.price;
    q.low = low && low < t.price ? low : t.price;
    q.lastVolume = t.volume;
    q.volume += t.volume;
    q.amount = turnover ? q.amount + t.amount : t.amount;
    for (int level = 0; level < 5; ++level) {
      q.bid[level] = QUOTELEVEL{t.price - 1 - uint32_t(level), 10};
      q.ask[level] = QUOTELEVEL{t.price + uint32_t(level), 10};
    }
    const std::string code = desc_.markets[s.market].instruments[s.stock].code;
    items.push_back(QuotePushDouble::QuoteItem(s.market, s.stock, code, q));
    const int seen = quotesSeen_;
    ASSERT_TRUE(push_.Push(items));
    ASSERT_TRUE(PumpUntil([&] { return quotesSeen_ == seen + 1; }));
    utcMinute_ = utc;
  }

  // The opening price and the rest of the quote's head.
  void PushOpen(STKPTR s, uint32_t open) {
    REALQUOTE q = QuoteOf(s);
    q.open = open;
    const std::string code = desc_.markets[s.market].instruments[s.stock].code;
    ASSERT_TRUE(push_.Push({QuotePushDouble::PriceHeadItem(MarketTable.marketCount, s.market, code, q)}));
    ASSERT_TRUE(PumpUntil([&] { return QuoteOf(s).open == open; }));
  }

  QuotePushDouble push_;
  std::unique_ptr<TRealDataClnt> client_;
  bool connected_ = false;
  int utcMinute_ = 0;
};

// Monday 2024-01-15 01:10 UTC: 9:10 in Shanghai, before the first trade.
class ShanghaiMorningTest : public LiveTest {
 protected:
  ShanghaiMorningTest() : LiveTest(MakePackedDateTime(2024, 1, 15, 1, 10)) {}
};

TEST_F(ShanghaiMorningTest, PushedTradesGrowTheLastBarAndOpenNewOnesAtEveryBoundary) {
  ASSERT_TRUE(connected_) << client_->Text();
  const STKPTR s = Stock(0, "600000");
  const InstrumentSeries series = BuildSeries(desc_, 0, s.stock);
  ASSERT_TRUE(series.today.minutes.empty());
  const PackedDateTime today = TradingDateOf(desc_, 0, s.kind);
  const std::vector<std::pair<int, int>> sessions = {{570, 690}, {780, 900}};
  const int32_t unit = 100;

  const std::pair<int, int> periods[] = {{1, 1}, {4, 5}, {5, 15}, {6, 30}, {7, 60}};
  std::vector<int32_t> intraday;
  for (auto [period, minutes] : periods) intraday.push_back(Acquire(s, period));
  const int32_t day = Acquire(s, 8), week = Acquire(s, 9), month = Acquire(s, 10);
  const size_t history[] = {size_t(Agent(intraday[0]).historyCount), size_t(Agent(intraday[1]).historyCount)};
  EXPECT_EQ(history[0], series.pastDays.size() * 240);
  EXPECT_EQ(Agent(day).itemCount, int32_t(series.days.size())) << "nothing traded yet: no bar of today";

  const uint32_t p = series.quote.prevClose;
  const std::vector<Trade> trades = {
      {570, p + 10, 300, 3000},  {570, p + 30, 200, 2000}, {571, p - 20, 100, 1000},  {573, p + 40, 500, 5000},
      {574, p + 50, 100, 1000},  {575, p + 60, 200, 2000}, {584, p + 10, 100, 1000},  {585, p, 700, 7000},
      {629, p - 50, 100, 1000},  {630, p - 40, 100, 1000}, {689, p + 70, 400, 4000},  {780, p + 80, 100, 1000},
      {781, p + 20, 300, 3000},  {839, p - 10, 100, 1000}, {840, p + 90, 900, 9000},  {899, p + 100, 100, 1000},
  };
  PushOpen(s, trades[0].price);
  std::vector<Trade> done;
  KLINEBAR monthBefore = PerUnit(ByCalendar(series.days, true, IsSameMonth), unit, false).back();
  const size_t weeks = ByCalendar(series.days, true, IsSameWeek).size();
  for (const Trade &t : trades) {
    PushTrade(s, t);
    done.push_back(t);
    const std::vector<KLINEBAR> minutes =
        MinuteBarsOf(sessions, today, done, t.clock, trades[0].price, 0, true);
    SCOPED_TRACE(t.clock);
    for (size_t i = 0; i < std::size(periods); ++i) {
      const std::vector<KLINEBAR> expected = PerUnit(InGroupsOf(minutes, size_t(periods[i].second), true), unit, false);
      ASSERT_EQ(Today(intraday[i]), Describe(expected)) << "period " << periods[i].first;
    }

    const REALQUOTE &q = QuoteOf(s);
    KLINEBAR bar{};
    bar.time = today;
    bar.open = trades[0].price;
    bar.high = q.high;
    bar.low = q.low;
    bar.close = t.price;
    bar.settlement = q.barSettlement ? q.barSettlement : t.price;
    bar.volume = q.volume / float(unit);
    bar.amount = q.amount;
    ASSERT_EQ(Today(day), Describe(std::vector<KLINEBAR>{bar})) << "a day bar of its own";
    ASSERT_EQ(Agent(week).itemCount, int32_t(weeks + 1)) << "Monday opens a week";
    ASSERT_EQ(Describe(Agent(week).Bars()[weeks]), Describe(bar));
    KLINEBAR january = monthBefore;
    january.time = today;
    january.high = std::max(january.high, bar.high);
    january.low = std::min(january.low, bar.low);
    january.close = bar.close;
    january.volume = bar.volume + monthBefore.volume;
    january.amount = bar.amount + monthBefore.amount;
    ASSERT_EQ(Series(month).back(), Describe(january)) << "January goes on";
  }
  EXPECT_EQ(Agent(intraday[0]).historyCount, int32_t(history[0]));
  EXPECT_EQ(Agent(intraday[0]).itemCount, int32_t(history[0]) + 240) << "the whole day";
  EXPECT_EQ(Agent(intraday[4]).itemCount - Agent(intraday[4]).historyCount, 4);
  // Every agent told its view of every trade, live (wParam 0).
  const size_t told = trace_.Count(WM_AGENT_UPDATE, view_);
  EXPECT_EQ(told, trades.size() * (std::size(periods) + 3));
  for (const auto &m : trace_.Messages())
    if (m.message == WM_AGENT_UPDATE) EXPECT_EQ(m.wParam, 0u);
}

// Sunday 2024-01-14 13:03 UTC: 0:03 of Monday on the futures clock, three
// minutes into the night session.
class NightSessionTest : public LiveTest {
 protected:
  NightSessionTest() : LiveTest(MakePackedDateTime(2024, 1, 14, 13, 3)) {}
};

TEST_F(NightSessionTest, BarsRunFromTheNightSessionAcrossEveryBreakOfTheDay) {
  ASSERT_TRUE(connected_) << client_->Text();
  const STKPTR s = Stock(3, "CU05");
  const InstrumentSeries series = BuildSeries(desc_, 3, s.stock);
  StartTheDayAfresh(s, series);
  const PackedDateTime today = TradingDateOf(desc_, 3, s.kind);
  ASSERT_EQ(today, MakePackedDateTime(2024, 1, 15));
  const std::vector<std::pair<int, int>> sessions = {{0, 120}, {720, 795}, {810, 870}, {990, 1080}};
  const REALQUOTE start = QuoteOf(s);

  const std::pair<int, int> periods[] = {{1, 1}, {4, 5}, {5, 15}, {6, 30}, {7, 60}};
  std::vector<int32_t> intraday;
  for (auto [period, minutes] : periods) intraday.push_back(Acquire(s, period));
  const int32_t day = Acquire(s, 8);

  const uint32_t p = start.prevClose;
  const float oi = start.prevOpenInterest;
  const std::vector<Trade> trades = {
      {3, p + 10, 4, oi + 4},     {4, p + 20, 2, oi + 2},     {30, p - 10, 6, oi + 4},   {60, p, 2, oi + 6},
      {119, p + 30, 8, oi + 2},   {720, p + 40, 2, oi + 4},   {734, p + 10, 4, oi + 8},  {794, p - 20, 2, oi + 10},
      {810, p - 30, 6, oi + 4},   {869, p + 50, 2, oi + 6},   {990, p + 60, 4, oi + 2},  {1079, p + 70, 2, oi + 4},
  };
  PushOpen(s, trades[0].price);
  std::vector<Trade> done;
  for (const Trade &t : trades) {
    if (t.clock >= 720 && done.back().clock < 720) {
      // From the night session to the day: the clock passes midnight UTC.
      PushClock(23 * 60 + 30);
      PushClock(30);
    }
    PushTrade(s, t);
    done.push_back(t);
    SCOPED_TRACE(t.clock);
    // Before the first trade the minutes stand at the previous close.
    const std::vector<KLINEBAR> minutes = MinuteBarsOf(sessions, today, done, t.clock, p, oi, false);
    for (size_t i = 0; i < std::size(periods); ++i)
      ASSERT_EQ(Today(intraday[i]), Describe(InGroupsOf(minutes, size_t(periods[i].second), false)))
          << "period " << periods[i].first;
    const REALQUOTE &q = QuoteOf(s);
    KLINEBAR bar{};
    bar.time = today;
    bar.open = trades[0].price;
    bar.high = q.high;
    bar.low = q.low;
    bar.close = t.price;
    bar.settlement = q.barSettlement ? q.barSettlement : t.price;
    bar.volume = q.volume;
    bar.amount = t.amount;
    ASSERT_EQ(Today(day), Describe(std::vector<KLINEBAR>{bar}));
  }
  // The thirty-minute bar of 13:00 runs on after the break at 13:15.
  const CDataAgent &thirty = Agent(intraday[3]);
  std::vector<PackedDateTime> ends;
  for (int32_t i = thirty.historyCount; i < thirty.itemCount; ++i) ends.push_back(thirty.Bars()[i].time);
  EXPECT_NE(std::find(ends.begin(), ends.end(), today | 13 << 6 | 45), ends.end());
  EXPECT_EQ(thirty.itemCount - thirty.historyCount, 345 / 30 + 1);
}

// ---- Ticks, latest trades and the minute trend ----------------------------------------

TEST_F(MondayTest, TicksFollowTheDayWindowAndTheOpenInterest) {
  const STKPTR stock = Stock(0, "600000");
  const InstrumentSeries series = BuildSeries(desc_, 0, stock.stock);
  const int32_t ticks = AcquireDataAgent(stock, kAgentTicks, 0, view_);
  const std::vector<TICKREC> file = TodayTicks(series);
  ASSERT_EQ(Agent(ticks).itemCount, int32_t(file.size()));
  EXPECT_GE(Agent(ticks).capacity, 12800);
  EXPECT_EQ(Agent(ticks).series ? static_cast<const TICKREC *>(Agent(ticks).series)[1].volume : -1,
            file[1].volume - file[0].volume)
      << "per trade";

  // After the close the series stays as it is and nobody hears of it; the
  // minute trend still tells its windows.
  const int32_t trend = AcquireDataAgent(stock, kAgentMinuteTrend, 0, view_);
  TMarketData *md = MarketAt(0);
  PackedDateTime evening = CurrentUtcTime;
  ShiftPackedHours(&evening, 8);  // 18:00 in the market
  md->UpdateMarketClock(evening);
  REALQUOTE &q = QuoteOf(stock);
  q.volume += 100;
  q.lastVolume = 100;
  trace_.Clear();
  DispatchQuoteToAgents(stock.Word(), q, kAgentQuoteTrade);
  EXPECT_EQ(Agent(ticks).itemCount, int32_t(file.size()));
  EXPECT_EQ(trace_.Count(WM_AGENT_UPDATE, view_), 1u);
  EXPECT_EQ(trace_.Messages().back().lParam, LPARAM(trend));

  // A futures tick whose open interest moved by 12 on a trade of 2 stands
  // for 12, and the ticks are asked for again.
  const STKPTR cu = Stock(3, "CU05");
  const int32_t futures = AcquireDataAgent(cu, kAgentTicks, 0, view_);
  const int32_t before = Agent(futures).itemCount;
  ASSERT_GT(before, 0);
  EXPECT_EQ(IsTickRequestPending("CU05", 3), 0);
  REALQUOTE &f = QuoteOf(cu);
  const float lastAmount = static_cast<const TICKREC *>(Agent(futures).series)[before - 1].amount;
  f.amount = lastAmount + 12;
  f.lastVolume = 2;
  f.volume += 2;
  DispatchQuoteToAgents(cu.Word(), f, kAgentQuoteTrade | kAgentQuoteSeller);
  ASSERT_EQ(Agent(futures).itemCount, before + 1);
  const TICKREC &added = static_cast<const TICKREC *>(Agent(futures).series)[before];
  const uint32_t price = f.last;
  EXPECT_EQ(added.volume, 12.0f);
  EXPECT_EQ(added.side, 1);
  EXPECT_EQ(added.price, price);
  EXPECT_EQ(IsTickRequestPending("CU05", 3), 1);
  EXPECT_EQ(Agent(futures).count, 1u) << "one live item";
  EXPECT_NE(AcquireDataAgent(cu, kAgentTicks, 0, view_), futures) << "shared only while no live item came";
}

TEST_F(MondayTest, LiveTicksOutliveARebuildUntilTheFileHoldsThem) {
  const STKPTR stock = Stock(0, "600000");
  const InstrumentSeries series = BuildSeries(desc_, 0, stock.stock);
  std::vector<TICKREC> file = TodayTicks(series);
  const int32_t ticks = AcquireDataAgent(stock, kAgentTicks, 0, view_);
  ASSERT_EQ(Agent(ticks).itemCount, int32_t(file.size()));
  REALQUOTE &q = QuoteOf(stock);
  const float before = q.volume;
  ASSERT_EQ(before, file.back().volume);
  for (float v : {300.0f, 500.0f, 200.0f}) {
    q.volume += v;
    q.lastVolume = v;
    DispatchQuoteToAgents(stock.Word(), q, kAgentQuoteTrade | kAgentQuoteBuyer);
  }
  ASSERT_EQ(Agent(ticks).count, 3u);
  auto volumes = [&] {
    std::vector<float> out;
    const auto *r = static_cast<const TICKREC *>(Agent(ticks).series);
    for (int32_t i = int32_t(file.size()) - 1; i < Agent(ticks).itemCount; ++i) out.push_back(r[i].volume);
    return out;
  };
  const float lastFileTrade = file.back().volume - file[file.size() - 2].volume;
  EXPECT_EQ(volumes(), (std::vector<float>{lastFileTrade, 300, 500, 200}));

  // The file does not hold them yet: a rebuild keeps them as live items.
  NotifyAgentsDataArrived(stock.Word(), kAgentTicks, 0, 100);
  EXPECT_EQ(Agent(ticks).itemCount, int32_t(file.size()) + 3);
  EXPECT_EQ(Agent(ticks).count, 3u);
  EXPECT_EQ(volumes(), (std::vector<float>{lastFileTrade, 300, 500, 200}));

  // Once the file holds them they come from the file.
  float cumulative = before;
  for (float v : {300.0f, 500.0f, 200.0f}) {
    TICKREC t = file.back();
    t.volume = cumulative += v;
    file.push_back(t);
  }
  box_.Write("data/SH/tick/600000.tik", file.data(), file.size() * sizeof(TICKREC));
  char path[MAX_PATH];
  ASSERT_EQ(CacheFilePath(MarketAt(0), stock.stock, kCacheTicks, path, sizeof path), 1);
  ASSERT_TRUE(StampWithServerClock(path));
  NotifyAgentsDataArrived(stock.Word(), kAgentTicks, 0, 100);
  EXPECT_EQ(Agent(ticks).itemCount, int32_t(file.size()));
  EXPECT_EQ(Agent(ticks).count, 0u);
  EXPECT_EQ(volumes(), (std::vector<float>{200}));
}

TEST_F(MondayTest, LatestTradesHandOutTheNewestFifty) {
  const STKPTR stock = Stock(0, "600036");
  std::vector<TICKREC> trades(300);
  for (size_t i = 0; i < trades.size(); ++i) {
    trades[i].time = CurrentUtcTime;
    trades[i].price = 31000 + uint32_t(i);
    trades[i].volume = float(100 * (i + 1));
  }
  const std::string path = "data/SH/tick/600036.nnt";
  box_.Write(path, trades.data(), trades.size() * sizeof(TICKREC));
  char windows[MAX_PATH];
  ASSERT_EQ(CacheFilePath(MarketAt(0), stock.stock, kCacheRecentTrades, windows, sizeof windows), 1);
  ASSERT_TRUE(StampWithServerClock(windows));

  const int32_t agent = AcquireDataAgent(stock, kAgentRecentTrades, 0, view_);
  EXPECT_EQ(Agent(agent).itemCount, 300);
  const void *items = nullptr;
  int32_t n = 0;
  Agent(agent).GetSeries(&items, &n);
  ASSERT_EQ(n, kRecentTradesShown);
  EXPECT_EQ(static_cast<const TICKREC *>(items)[0].price, 31250u);
  EXPECT_EQ(static_cast<const TICKREC *>(items)[49].price, 31299u);
  EXPECT_EQ(static_cast<const TICKREC *>(items)[49].volume, 100.0f);
}

TEST_F(MondayTest, SkippedMinutesOfTheTrendStayAtThePriceBefore) {
  const STKPTR stock = Stock(0, "600000");
  const int32_t trend = AcquireDataAgent(stock, kAgentMinuteTrend, 0, view_);
  EXPECT_EQ(Agent(trend).itemCount, 1 + 30) << "up to 10:00";
  TMarketData *md = MarketAt(0);
  REALQUOTE &q = QuoteOf(stock);
  const float side0 = Agent(trend).sideVolume[0];

  // The minute from 10:00 opens with the quote.
  q.last += 5;
  q.volume += 100;
  q.lastVolume = 100;
  DispatchQuoteToAgents(stock.Word(), q, kAgentQuoteTrade | kAgentQuoteBuyer);
  const int32_t slots = Agent(trend).itemCount;
  ASSERT_EQ(slots, 1 + 31);
  EXPECT_EQ(Agent(trend).sideVolume[0], side0 + 100);
  const TRENDREC last = static_cast<const TRENDREC *>(Agent(trend).series)[slots - 1];
  const uint32_t price = q.last;
  const float volume = q.volume;
  EXPECT_EQ(last.price, price);
  EXPECT_EQ(last.firstPrice, price);
  EXPECT_EQ(last.volume, volume);

  // Three minutes on, the two minutes between stay flat.
  PackedDateTime later = CurrentUtcTime;
  later += 3;
  md->UpdateMarketClock(later);
  q.last += 7;
  q.volume += 50;
  q.lastVolume = 50;
  DispatchQuoteToAgents(stock.Word(), q, kAgentQuoteTrade);
  ASSERT_EQ(Agent(trend).itemCount, slots + 3);
  const auto *r = static_cast<const TRENDREC *>(Agent(trend).series);
  const double sum = last.priceVolume;
  for (int32_t i = slots; i < slots + 2; ++i) {
    const TRENDREC flat = r[i];
    const double flatSum = flat.priceVolume;
    EXPECT_EQ(flat.price, price) << i;
    EXPECT_EQ(flat.highPrice, price) << i;
    EXPECT_EQ(flat.lowPrice, price) << i;
    EXPECT_EQ(flat.volume, volume) << i;
    EXPECT_EQ(flatSum, sum) << i;
  }
  const TRENDREC now = r[slots + 2];
  const uint32_t newPrice = q.last;
  const float newVolume = q.volume;
  EXPECT_EQ(now.price, newPrice);
  EXPECT_EQ(now.firstPrice, newPrice);
  EXPECT_EQ(now.volume, newVolume);
  EXPECT_EQ(Agent(trend).sideVolume[0], side0 + 100 + 25) << "a trade of neither side counts half";
}

// ---- Views that acquire and release while they are told ------------------------------

LRESULT Busy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
struct BusyView {
  STKPTR other;
  HWND victim = nullptr;   // released from the agent on the first message
  int32_t released = -1;   // the agent the victim leaves
  int handled = 0;
} g_busy;

LRESULT Busy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_AGENT_UPDATE && g_busy.handled++ == 0) {
    // New agents until the array has moved, and another view leaves.
    const CDataAgent *before = DataAgents().GetData();
    for (uint32_t i = 1; i < 100000 && DataAgents().GetData() == before; ++i)
      AcquireDataAgent(g_busy.other, kAgentEmpty, i, hwnd);
    ReleaseDataAgent(g_busy.released, g_busy.victim);
    ReleaseDataAgent(int32_t(lParam), hwnd);
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(MondayTest, ViewsMayAcquireAndReleaseWhileTheyAreTold) {
  const STKPTR stock = Stock(0, "600000");
  const HWND busy = trace_.Create(0), victim = trace_.Create(0), after = trace_.Create(0);
  trace_.SetHandler(busy, Busy);
  const int32_t trend = AcquireDataAgent(stock, kAgentMinuteTrend, 0, busy);
  ASSERT_EQ(AcquireDataAgent(stock, kAgentMinuteTrend, 0, victim), trend);
  ASSERT_EQ(AcquireDataAgent(stock, kAgentMinuteTrend, 0, after), trend);
  const int32_t five = Acquire(stock, 4, 0, after);
  ASSERT_EQ(Agent(five).parent, trend);
  g_busy = BusyView{Stock(0, "600036"), victim, trend, 0};
  const CDataAgent *before = DataAgents().GetData();

  trace_.Clear();
  REALQUOTE &q = QuoteOf(stock);
  q.volume += 100;
  q.lastVolume = 100;
  DispatchQuoteToAgents(stock.Word(), q, kAgentQuoteTrade);
  EXPECT_NE(DataAgents().GetData(), before) << "the array moved while the views were told";
  EXPECT_EQ(trace_.Count(WM_AGENT_UPDATE, busy), 1u);
  EXPECT_EQ(trace_.Count(WM_AGENT_UPDATE, victim), 0u) << "it left before its turn";
  EXPECT_EQ(trace_.Count(WM_AGENT_UPDATE, after), 2u) << "the trend, then the five-minute bars on it";
  EXPECT_EQ(Agent(trend).windowCount, 1u);
  EXPECT_EQ(Agent(trend).windows[0], after);
  g_busy = BusyView{};
}

// ---- A formula's reference ---------------------------------------------------------

TEST_F(MondayTest, AFormulaReferenceReadsTheOtherInstrumentsAgent) {
  TFormulaMarket market;
  struct Installed {
    IIndexMarket *before;
    ~Installed() { SetIndexMarket(before); }
  } installed{SetIndexMarket(&market)};
  const STKPTR own = Stock(1, "000001");
  const int32_t chart = Acquire(own, 8);
  const CDataAgent &bars = Agent(chart);
  ASSERT_GT(bars.itemCount, 100);

  auto formula = std::make_unique<CKvIndex>();
  ASSERT_TRUE(formula->Compile("X:\"SH600000$CLOSE\";", false)) << formula->errorText;
  char owner[32] = "000001";
  formula->Calculate(view_, owner, kAgentDayBars, 1, GetStockInfo(own), bars.Bars(), uint32_t(bars.itemCount),
                     false, false);

  // The reference holds the day agent of SH 600000 for the chart's window.
  const STKPTR other = Stock(0, "600000");
  int32_t referenced = -1;
  for (int32_t i = 0; i < DataAgents().GetCount(); ++i) {
    const CDataAgent &a = Agent(i);
    if (a.InUse() && SameStock(a.stock, other) && a.kind == kAgentDayBars && a.windowCount == 1 &&
        a.windows[0] == view_)
      referenced = i;
  }
  ASSERT_GE(referenced, 0);
  const CDataAgent &sh = Agent(referenced);
  const CKvIndexVariable *x = formula->GetVariable(0);
  ASSERT_EQ(formula->calcCount, uint32_t(bars.itemCount));
  int compared = 0;
  for (int32_t i = 0, j = 0; i < bars.itemCount; ++i) {
    while (j + 1 < sh.itemCount && sh.Bars()[j + 1].time <= bars.Bars()[i].time) ++j;
    if (sh.Bars()[j].time != bars.Bars()[i].time) continue;
    EXPECT_DOUBLE_EQ(x->GetValue(uint32_t(i)), sh.Bars()[j].close / 1000.0) << i;
    ++compared;
  }
  EXPECT_GT(compared, 100);

  // The formula gone, its subscription goes with it.
  formula.reset();
  EXPECT_FALSE(Agent(referenced).InUse());
}

}  // namespace
