// The offline data set of testing/market_fixture.h, written for the fake
// clock and loaded through the real readers: it must be one coherent
// picture of the markets, not a pile of files that each parse.
#include "testing/market_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/emem.h"
#include "market/blocks.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/newsindex.h"
#include "market/utildata.h"
#include "standins/simbroker/futures_contracts.h"
#include "standins/simbroker/simbroker.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"

using namespace market_fixture;

namespace {

PackedDateTime UtcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return MakePackedDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
}

std::string Field(const char *text, size_t size) { return std::string(text, strnlen(text, size)); }

class MarketFixtureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDataSet(desc_, box_.Root());
    UpdateCurrentUtcTime();
    LoadHolidayLists();
  }

  // 2024-01-15 02:00 UTC: Monday 10:00 in Shanghai, 13:00 on the futures
  // clock; every market is in a session.
  ScopedFakeClock clock_;
  MarketSandbox box_;
  DataSetDesc desc_ = StandardDataSet(UtcNow());
};

TEST_F(MarketFixtureTest, MarketTableBuildsOfflineWithEveryInstrumentAndQuote) {
  TDataIO io(nullptr);
  ASSERT_EQ(MarketTable.loadState, 0);
  ASSERT_EQ(MarketTable.marketCount, int(desc_.markets.size()));
  for (int m = 0; m < MarketTable.marketCount; ++m) {
    const MarketDesc &market = desc_.markets[size_t(m)];
    SCOPED_TRACE(market.shortName);
    const TMarketData *md = MarketAt(m);
    ASSERT_NE(md, nullptr);
    EXPECT_EQ(FindMarketByName(market.shortName.c_str()), md);
    ASSERT_EQ(md->m_loadedCount, int(market.instruments.size()));
    for (size_t k = 0; k < market.kinds.size(); ++k)
      EXPECT_EQ(md->m_tradingDate[k], TradingDateOf(desc_, m, int(k))) << "kind " << k;
    for (int i = 0; i < md->m_loadedCount; ++i) {
      const InstrumentDesc &in = market.instruments[size_t(i)];
      STKINFO *info = GetStockInfo(STKPTR(m, 0, i));
      ASSERT_NE(info, nullptr);
      EXPECT_EQ(Field(info->code, sizeof info->code), in.code);
      EXPECT_EQ(Field(info->name, sizeof info->name), in.name);
      EXPECT_EQ(FindStockInMarket(in.code.c_str(), m), info);
      EXPECT_EQ(STKPTR(m, 0, i).kind, in.kind);
      InstrumentSeries series = BuildSeries(desc_, m, i);
      EXPECT_EQ(std::memcmp(&md->m_quotes[i], &series.quote, sizeof(REALQUOTE)), 0) << in.code;
      if (md->m_finance) EXPECT_EQ(std::memcmp(&md->m_finance[i], &series.finance, sizeof(FINANCE)), 0) << in.code;
    }
  }

  // A code in two markets: the index in SH, a bank in SZ.
  uint16_t market = 0;
  STKPTR found;
  ASSERT_EQ(FindStockRef("000001", &market, &found, 1), 1);
  EXPECT_EQ(found.kind, 0);
  EXPECT_EQ(IsIndexStock(0, "000001"), 1);
  market = 1;
  ASSERT_EQ(FindStockRef("000001", &market, &found, 1), 1);
  EXPECT_EQ(found.market, 1);
  EXPECT_EQ(found.kind, 1);
  market = 2;
  ASSERT_NE(LookupStock("cu05", &market, 1), nullptr);
  EXPECT_EQ(market, 3);

  // Futures: in the futures list, found by their contract codes.
  ASSERT_EQ(GetFuturesMarketCount(), 1);
  EXPECT_EQ(GetFuturesMarketAt(0), 3);
  const STKINFO *sugar = FindStockByAltCode("SR409", 3);
  ASSERT_NE(sugar, nullptr);
  EXPECT_EQ(Field(sugar->code, sizeof sugar->code), "SR09");
  const STKINFO *pta = FindStockByAltCode("PTA2405", 3);  // all seven bytes of the field
  ASSERT_NE(pta, nullptr);
  EXPECT_EQ(Field(pta->code, sizeof pta->code), "PTA05");
}

// The simulated broker's contracts, read back from the script it starts
// with, are found by the terminal's look-up in the data set and quoted on
// the broker's price tick; the price statements move the broker to the
// quoted last prices, so that an order at a quoted price is one it takes.
TEST_F(MarketFixtureTest, EveryContractOfTheSimulatedBrokerIsQuotedOnItsTick) {
  TDataIO io(nullptr);
  std::map<std::string, double> moved;  // the price statements, by contract
  {
    std::istringstream statements(BrokerPriceStatements(desc_));
    std::string verb, code;
    double price = 0;
    while (statements >> verb >> code >> price) {
      EXPECT_EQ(verb, "price");
      moved[code] = price;
    }
    sim::SimBroker broker;
    std::string error;
    EXPECT_TRUE(broker.LoadScript(std::string(sim::SimBroker::DefaultScript()) + BrokerPriceStatements(desc_), &error))
        << error;
  }
  std::istringstream script(sim::SimBroker::DefaultScript());
  std::string line;
  size_t listed = 0;
  while (std::getline(script, line)) {
    std::istringstream words(line);
    std::string verb, exchange, code, word;
    words >> verb >> exchange >> code;
    if (verb != "contract") continue;
    ++listed;
    SCOPED_TRACE(code);
    double tick = 0;
    while (words >> word)
      if (word.rfind("tick=", 0) == 0) tick = std::stod(word.substr(5));
    STKINFO *info = FindStockByAltCode(code.c_str(), 3);
    ASSERT_NE(info, nullptr);
    // Packed fields: read by value.
    const REALQUOTE q = MarketAt(3)->m_quotes[info->index];
    const uint32_t last = q.last, prevClose = q.prevClose, open = q.open, high = q.high, low = q.low,
                   bid = q.bid[0].price, ask = q.ask[0].price;
    const double divisor = info->priceDivisor;
    ASSERT_GT(last, 0u);
    ASSERT_EQ(moved.count(code), 1u);
    EXPECT_DOUBLE_EQ(moved[code], last / divisor);
    const uint32_t step = uint32_t(std::lround(tick * divisor));
    for (uint32_t value : {last, prevClose, open, high, low, bid, ask}) EXPECT_EQ(value % step, 0u) << value;
  }
  size_t traded = 0;
  for (const sim::FuturesContract &c : sim::kFuturesContracts) traded += c.code != nullptr;
  EXPECT_EQ(listed, traded);
  EXPECT_EQ(moved.size(), traded);
  EXPECT_GE(listed, 5u);
}

TEST_F(MarketFixtureTest, CalendarAndZonesAnswerAsTheDataSetSays) {
  TDataIO io(nullptr);
  struct Case {
    int date;
    int key;
    bool trades;
  } cases[] = {
      {20231002, 0, false},                       // National Day, a Monday
      {20231002, 3, false}, {20231002, 2, true},  // the foreign-exchange key knows no holidays
      {20231007, 2, true},                        // a listed weekend day
      {20231007, 0, false}, {20240112, 0, true},  // an ordinary Friday
  };
  for (const Case &c : cases) {
    PackedDateTime date =
        MakePackedDateTime(unsigned(c.date / 10000), unsigned(c.date / 100 % 100), unsigned(c.date % 100));
    EXPECT_EQ(IsNonTradingDay(&date, c.key), c.trades ? 0 : 1) << c.date << " key " << c.key;
    EXPECT_EQ(IsTradingDay(desc_, date, c.key), c.trades) << c.date << " key " << c.key;
  }
  // The futures clock is shown in the reference zone, three hours back.
  EXPECT_EQ(TimeZoneTable.file.zoneCount, desc_.zones.size());
  EXPECT_EQ(TimeZoneTable.working[3 * kMaxStockKinds].hourOffset, -3);
  EXPECT_EQ(TimeZoneTable.working[0].hourOffset, 0);
}

TEST_F(MarketFixtureTest, SharedUserAndOlderFormBlocksLoad) {
  TDataIO io(nullptr);
  TBlockGroup blocks;
  struct Case {
    const BlockFileDesc &file;
    uint8_t kind;
  } cases[] = {{desc_.sharedBlocks, kBlockShared}, {desc_.userBlocks, kBlockUser}};
  for (const Case &c : cases) {
    for (const BlockDesc &desc : c.file.blocks) {
      SCOPED_TRACE(desc.name);
      const BLOCK *block = FindBlockByName(desc.name.c_str());
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(block->kind, c.kind);
      ASSERT_EQ(block->memberCount, desc.members.size());
      for (size_t i = 0; i < desc.members.size(); ++i) {
        const BLOCKMEMBER &member = block->members[i];
        const STKINFO *info = GetStockInfo(uint32_t(member.market) | uint32_t(member.stock) << 16);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(std::string(MarketAt(member.market)->m_info.shortName) + " " + Field(info->code, sizeof info->code),
                  desc.members[i]);
      }
    }
  }
  // The shared file came in the older form and was rewritten at once.
  ASSERT_TRUE(desc_.sharedBlocks.olderForm);
  EXPECT_EQ(box_.Read("cfg/blocks.ini").rfind("[FileInfo]\r\nVersion=1\r\n", 0), 0u);
  const BLOCK *sh = FindBlockByName("上海证券");
  ASSERT_NE(sh, nullptr);
  EXPECT_EQ(sh->memberCount, desc_.markets[0].instruments.size());
}

TEST_F(MarketFixtureTest, CacheFilesReadBackAndIntradayFilesAreKept) {
  TDataIO io(nullptr);
  int histories = 0;
  for (int m = 0; m < MarketTable.marketCount; ++m) {
    const MarketDesc &market = desc_.markets[size_t(m)];
    const TMarketData *md = MarketAt(m);
    for (int i = 0; i < int(market.instruments.size()); ++i) {
      const InstrumentDesc &in = market.instruments[size_t(i)];
      if (!in.history) continue;
      SCOPED_TRACE(market.shortName + " " + in.code);
      ++histories;
      InstrumentSeries series = BuildSeries(desc_, m, i);

      // Day bars: every completed trading day, rising, well formed.
      KLINEBAR *bars = nullptr;
      int32_t count = 0;
      ASSERT_EQ(ReadBars(md, &bars, in.code.c_str(), &count, 8, 0, 0), 1);
      EXPECT_GE(count, 300);
      ASSERT_EQ(count, int32_t(series.days.size()));
      EXPECT_EQ(std::memcmp(bars, series.days.data(), size_t(count) * sizeof(KLINEBAR)), 0);
      for (int32_t b = 0; b < count; ++b) {
        const KLINEBAR &bar = bars[b];
        PackedDateTime date = bar.time;
        EXPECT_EQ(IsNonTradingDay(&date, market.calendarKey), 0) << "bar " << b;
        if (b > 0) EXPECT_GT(bar.time, bars[b - 1].time) << "bar " << b;
        EXPECT_GE(bar.high, std::max(bar.open, bar.close)) << "bar " << b;
        EXPECT_LE(bar.low, std::min(bar.open, bar.close)) << "bar " << b;
        EXPECT_GT(bar.low, 0u) << "bar " << b;
      }
      EXPECT_LT(bars[count - 1].time, md->m_tradingDate[in.kind]);
      Free(bars);

      // Minute bars: the past minute days whole, today up to the clock.
      const int minutes = md->m_info.kinds[in.kind].minutesPerDay;
      bars = nullptr;
      ASSERT_EQ(ReadBars(md, &bars, in.code.c_str(), &count, 1, 0, 0), 1);
      EXPECT_EQ(count, int32_t(desc_.minuteDays * minutes + series.today.minutes.size()));
      Free(bars);

      // A past day of the trend history.
      std::vector<TRENDITEM> items(kTrendItemsLimit);
      int32_t itemCount = 0;
      uint32_t extra = 0;
      EXPECT_EQ(ReadTrendDay(md, i, series.pastDays.back().date, items.data(), &itemCount, &extra), 1);
      EXPECT_EQ(itemCount, minutes + 1);
      // The history holds each minute's own volume, not the running total.
      const DayMinutes &past = series.pastDays.back();
      for (size_t k : {size_t(1), past.minutes.size() - 1})
        EXPECT_FLOAT_EQ(items[k + 1].volume, float(past.minutes[k].volume)) << in.code << " minute " << k;

      // Today's intraday files carry the clock's trading day and stay.
      ASSERT_FALSE(series.today.minutes.empty());
      EXPECT_EQ(CountTicks(md, i), int32_t(series.today.minutes.size()));
      EXPECT_EQ(CountTrendMinutes(md, i), int32_t(series.today.minutes.size() + 1));
      EXPECT_TRUE(box_.Exists("data/" + market.shortName + "/tick/" + in.code + ".tik"));
      EXPECT_TRUE(box_.Exists("data/" + market.shortName + "/tick/" + in.code + ".tr3"));
    }
  }
  EXPECT_EQ(histories, 5);
}

// The data set fits whatever the clock says: over a weekend, before the
// open (yesterday's day is then the one in the intraday files) and in the
// futures night session (which opens the next clock day).
TEST(MarketFixtureClock, IntradayFilesFollowTheClocksTradingDay) {
  struct Case {
    const char *what;
    SYSTEMTIME utc;
  } cases[] = {
      {"Saturday", {2024, 1, 6, 13, 3, 0, 0, 0}},
      {"Monday before the open", {2024, 1, 1, 15, 0, 30, 0, 0}},
      {"Monday night session", {2024, 1, 1, 15, 13, 30, 0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ScopedFakeClock clock(c.utc);
    MarketSandbox box;
    const DataSetDesc desc = StandardDataSet(UtcNow());
    WriteDataSet(desc, box.Root());
    UpdateCurrentUtcTime();
    LoadHolidayLists();
    TDataIO io(nullptr);
    ASSERT_EQ(MarketTable.loadState, 0);
    for (int m = 0; m < MarketTable.marketCount; ++m) {
      const MarketDesc &market = desc.markets[size_t(m)];
      for (int i = 0; i < int(market.instruments.size()); ++i) {
        const InstrumentDesc &in = market.instruments[size_t(i)];
        if (!in.history) continue;
        SCOPED_TRACE(market.shortName + " " + in.code);
        EXPECT_EQ(MarketAt(m)->m_tradingDate[in.kind], TradingDateOf(desc, m, in.kind));
        InstrumentSeries series = BuildSeries(desc, m, i);
        EXPECT_FALSE(series.today.minutes.empty());
        EXPECT_EQ(CountTicks(MarketAt(m), i), int32_t(series.today.minutes.size()));
        EXPECT_EQ(CountTrendMinutes(MarketAt(m), i), int32_t(series.today.minutes.size() + 1));
      }
    }
  }
}

TEST_F(MarketFixtureTest, NewsIndexListsTheHeadlines) {
  TNewsIndex news;
  news.Load();
  ASSERT_EQ(news.Count(), int32_t(desc_.news.size()));
  std::vector<NEWSREC> latest(3);
  ASSERT_EQ(news.GetLatest(0, latest.data(), 3), 3);
  for (size_t i = 0; i < 3; ++i) EXPECT_STREQ(latest[i].title, desc_.news[desc_.news.size() - 3 + i].title.c_str());
  char path[kNewsTextPathSize];
  NewsTextPath(desc_.news[0].id, path);
  EXPECT_TRUE(box_.Exists("data/info/" + std::string(path).substr(std::string(path).rfind('\\') + 1)));
}

// A description the files can't hold is refused before anything is written.
TEST(MarketFixtureDescription, BrokenDescriptionsAreRefused) {
  ScopedFakeClock clock;
  const DataSetDesc good = StandardDataSet(UtcNow());
  struct Case {
    const char *what;
    std::function<void(DataSetDesc &)> breakIt;
  } cases[] = {
      {"code too long", [](DataSetDesc &s) { s.markets[0].instruments[0].code = "1234567"; }},
      {"code leaves its folder", [](DataSetDesc &s) { s.markets[0].instruments[0].code = "..\\x"; }},
      {"session past midnight",
       [](DataSetDesc &s) {
         s.markets[2].kinds[0].sessions = {{420, 1440}};
       }},
      {"block member not in the set", [](DataSetDesc &s) { s.userBlocks.blocks[0].members.push_back("SH 999999"); }},
      {"news identifier twice", [](DataSetDesc &s) { s.news.push_back(s.news[0]); }},
      {"minute days beyond the day bars", [](DataSetDesc &s) { s.minuteDays = s.dayBars + 1; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    MarketSandbox box;
    DataSetDesc desc = good;
    c.breakIt(desc);
    EXPECT_THROW(WriteDataSet(desc, box.Root()), std::invalid_argument);
    EXPECT_FALSE(box.Exists("cfg/mkinfo.cfg"));
  }
}

}  // namespace
