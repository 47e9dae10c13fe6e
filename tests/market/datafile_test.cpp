#include "market/datafile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/emem.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MarketSandbox;

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

time_t EpochOf(PackedDateTime utc) {
  tm t{};
  t.tm_year = int(PackedYear(utc)) - 1900;
  t.tm_mon = int(PackedMonth(utc)) - 1;
  t.tm_mday = int(PackedDay(utc));
  t.tm_hour = int(PackedHour(utc));
  t.tm_min = int(PackedMinute(utc));
  return timegm(&t);
}

template <class T>
std::string Bytes(const std::vector<T> &v) {
  return std::string(reinterpret_cast<const char *>(v.data()), v.size() * sizeof(T));
}
template <class T>
std::string Bytes(const T &v) {
  return std::string(reinterpret_cast<const char *>(&v), sizeof v);
}
template <class T>
std::vector<T> Records(const std::string &bytes, size_t skip = 0) {
  std::vector<T> out(bytes.size() > skip ? (bytes.size() - skip) / sizeof(T) : 0);
  if (!out.empty()) std::memcpy(out.data(), bytes.data() + skip, out.size() * sizeof(T));
  return out;
}

TICKREC Tick(uint32_t price, float volume) {
  TICKREC t{};
  t.time = MakePackedDateTime(2024, 1, 15, 10, 0);
  t.price = price;
  t.volume = volume;
  return t;
}

KLINEBAR Bar(PackedDateTime time, uint32_t close = 0) {
  KLINEBAR b{};
  b.time = time;
  b.close = close;
  b.open = close + 1;
  return b;
}

PackedDateTime Day(int d, int month = 1) { return MakePackedDateTime(2024, unsigned(month), unsigned(d)); }
PackedDateTime Minute(int d, int h, int m) { return MakePackedDateTime(2024, 1, unsigned(d), unsigned(h), unsigned(m)); }

TRENDITEM Item(uint32_t price, float volume, float amount, int32_t counter = 0) {
  TRENDITEM t{};
  t.price = price;
  t.volume = volume;
  t.amount = amount;
  t.leadingOffset = counter;
  return t;
}

ADVICEREC Advice(uint32_t key, uint8_t tag) {
  ADVICEREC a{};
  a.key = key;
  a.body[0] = tag;
  return a;
}

// Market 0 "SH": a stock market whose kind 0 holds index instruments, with
// codes that must never become paths; market 1 "SZ": a second stock
// market; market 2 "DL": futures with a night session, whose day starts in
// the evening before.
constexpr int kSH = 0, kDL = 2;
constexpr int kIndex = 0, kStock = 1, kDotDot = 2, kSlash = 3, kColon = 4, kLetters = 5, kParent = 6;
constexpr int kFuture = 0;

class CacheTest : public testing::Test {
 protected:
  CacheTest() : clock_(Utc(2024, 1, 15, 2, 0)) {  // Monday 10:00 in market time
    UpdateCurrentUtcTime();
    MKINFO sh = MakeMarket("SH", "shd", 1, 8, 8, 0);
    AddKind(sh, "指数", {{570, 690}, {780, 900}}, 540, 960);
    AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO sz = MakeMarket("SZ", "szd", 1, 2, 8, 1);
    AddKind(sz, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO dl = MakeMarket("DL", "dlf", 2, 2, 8, 3);
    AddKind(dl, "期货", {{540, 690}, {810, 900}, {1260, 1380}}, 1230, 1440);
    box_.WriteMarketInfo({sh, sz, dl});
    box_.WriteTable(sh, "nametbl",
                    std::vector<STKINFO>{MakeStock(0, 0, "000001", "指数"), MakeStock(0, 1, "600000", "甲"),
                                         MakeStock(0, 1, "..\\x", "乙"), MakeStock(0, 1, "a/b", "丙"),
                                         MakeStock(0, 1, "c:d", "丁"), MakeStock(0, 1, "AB12", "戊"),
                                         MakeStock(0, 1, "..", "己")});
    box_.WriteTable(sz, "nametbl", std::vector<STKINFO>{MakeStock(1, 0, "399001", "指数")});
    box_.WriteTable(dl, "nametbl", std::vector<STKINFO>{MakeStock(2, 0, "m2405", "豆粕")});
    io_ = std::make_unique<TDataIO>(nullptr);
    CacheRequests() = CacheRequestHooks{};
  }
  ~CacheTest() override {
    CacheRequests() = CacheRequestHooks{};
    MaxDataRecords = kDefaultMaxDataRecords;
  }

  TMarketData *Market(int m) { return MarketTable.markets[m]; }

  // Moves the clock to a market time (UTC + 8) and rolls every market over
  // as the main window's timer would.
  void MarketNow(int y, int mo, int d, int h, int mi) {
    PackedDateTime t = MakePackedDateTime(unsigned(y), unsigned(mo), unsigned(d), unsigned(h), unsigned(mi));
    ShiftPackedHours(&t, -8);
    clock_.SetUtc(Utc(int(PackedYear(t)), int(PackedMonth(t)), int(PackedDay(t)), int(PackedHour(t)),
                      int(PackedMinute(t))));
    UpdateCurrentUtcTime();
    for (int m = 0; m < MarketTable.marketCount; ++m) {
      TMarketData *md = Market(m);
      md->UpdateMarketClock(CurrentUtcTime);
      for (int k = 0; k < md->m_info.kindCount; ++k)
        md->m_tradingDate[k] = ComputeTradingDate(md, k, md->m_info.calendarKey);
    }
  }

  std::string PathOf(int market, int stock, CacheKind kind, uint32_t number = 0) {
    char path[MAX_PATH];
    EXPECT_EQ(CacheFilePath(Market(market), stock, kind, path, sizeof path, number), 1);
    return path;
  }
  // The file in the scratch folder, as another program would see it.
  std::string Rel(int market, int stock, CacheKind kind, uint32_t number = 0) {
    std::string p = PathOf(market, stock, kind, number).substr(3);  // without "..\"
    for (char &c : p)
      if (c == '\\') c = '/';
    if (p.compare(0, 4, "Data") == 0) p[0] = 'd';
    return p;
  }
  void Put(int market, int stock, CacheKind kind, const std::string &bytes, uint32_t number = 0) {
    box_.WriteText(Rel(market, stock, kind, number), bytes);
  }
  std::string Get(int market, int stock, CacheKind kind, uint32_t number = 0) {
    return box_.Read(Rel(market, stock, kind, number));
  }
  bool Exists(int market, int stock, CacheKind kind, uint32_t number = 0) {
    return box_.Exists(Rel(market, stock, kind, number));
  }
  // Sets a file's last-write time from a market time (UTC + 8).
  void WrittenAt(int market, int stock, CacheKind kind, PackedDateTime marketTime) {
    timespec times[2] = {{0, UTIME_OMIT}, {EpochOf(marketTime) - 8 * 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, box_.Path(Rel(market, stock, kind)).c_str(), times, 0), 0);
  }
  time_t WriteTimeOf(int market, int stock, CacheKind kind, uint32_t number = 0) {
    struct stat st{};
    EXPECT_EQ(stat(box_.Path(Rel(market, stock, kind, number)).c_str(), &st), 0);
    return st.st_mtim.tv_sec;
  }

  ScopedFakeClock clock_;
  MarketSandbox box_;
  std::unique_ptr<TDataIO> io_;
};

// ---- Paths -----------------------------------------------------------------

TEST_F(CacheTest, EveryKindHasItsPath) {
  const std::string n = std::to_string(Day(15));
  const std::pair<CacheKind, std::string> cases[] = {
      {kCacheTicks, "..\\data\\SH\\tick\\600000.tik"},
      {kCacheRecentTrades, "..\\data\\SH\\tick\\600000.nnt"},
      {kCacheTodayTrend, "..\\data\\SH\\tick\\600000.tr3"},
      {kCacheMin1Bars, "..\\data\\SH\\min1\\600000.m11"},
      {kCacheMin5Bars, "..\\data\\SH\\min\\600000.mi1"},
      {kCacheMin60Bars, "..\\data\\SH\\MIN60\\600000.hr1"},
      {kCacheDayBars, "..\\data\\SH\\day\\600000.da1"},
      {kCacheTrendHistory, "..\\data\\SH\\trend\\600000.ot3"},
      {kCacheTrendDay, "..\\Data\\SH\\trend\\600000" + n + ".ot3"},
      {kCacheAdvice, "..\\Data\\SH\\advice\\600000.adv"},
      {kCacheWeight, "..\\Data\\SH\\weight\\600000.wgt"},
      {kCacheBaseText, "..\\Data\\SH\\base\\600000.Txt"},
      {kCacheInfoIndex, "..\\Data\\SH\\base\\600000" + n + ".idx"},
      {kCacheInfoText, "..\\Data\\SH\\base\\600000" + n + ".txt"},
  };
  for (const auto &[kind, want] : cases) EXPECT_EQ(PathOf(kSH, kStock, kind, Day(15)), want) << kind;
  EXPECT_EQ(BarFileKindOfBase(8), kCacheDayBars);
  EXPECT_EQ(BarFileKindOfBase(7), kCacheMin60Bars);
  EXPECT_EQ(BarFileKindOfBase(3), kCacheMin1Bars);
  EXPECT_EQ(BarFileKindOfBase(5), kCacheMin5Bars);
}

TEST_F(CacheTest, PathsComeOnlyFromSafeCodesOfTheTable) {
  char path[MAX_PATH] = "x";
  // The table's own spelling, whatever the caller's.
  ASSERT_EQ(CacheFilePathForCode(Market(kSH), "ab12", kCacheDayBars, path, sizeof path), 1);
  EXPECT_STREQ(path, "..\\data\\SH\\day\\AB12.da1");
  for (int stock : {kDotDot, kSlash, kColon, kParent, 99, -1}) {
    std::strcpy(path, "x");
    EXPECT_EQ(CacheFilePath(Market(kSH), stock, kCacheTicks, path, sizeof path), 0) << stock;
    EXPECT_STREQ(path, "") << stock;
  }
  for (const char *code : {"..\\x", "600000\\..", "nothere", "", "../600000"})
    EXPECT_EQ(CacheFilePathForCode(Market(kSH), code, kCacheTicks, path, sizeof path), 0) << code;
  EXPECT_EQ(CacheFilePathForCode(Market(kSH), nullptr, kCacheTicks, path, sizeof path), 0);
  EXPECT_EQ(CacheFilePath(Market(kSH), kStock, kCacheTicks, path, 10), 0);  // too long for the buffer

  // Nothing is written for a refused code.
  TICKREC t = Tick(10, 1);
  EXPECT_EQ(WriteTicksPart(Market(kSH), kDotDot, 0, &t, sizeof t, true), -1);
  EXPECT_EQ(MergeBarAnswer(Market(kSH), kSlash, 8, nullptr, 0), 0);
  EXPECT_FALSE(box_.Exists("x.tik"));
  EXPECT_FALSE(box_.Exists("data/SH/x.tik"));
}

// ---- Stale intraday files ----------------------------------------------------

struct StaleCase {
  const char *what;
  int market, stock;
  PackedDateTime written;          // market time
  int nowDay, nowHour, nowMinute;  // January 2024, market time
  bool deleted;
};
void PrintTo(const StaleCase &c, std::ostream *os) { *os << c.what; }

class StaleFileTest : public CacheTest, public testing::WithParamInterface<std::tuple<StaleCase, CacheKind>> {};

TEST_P(StaleFileTest, FirstCountDeletesAFileOfAnotherDay) {
  auto [c, kind] = GetParam();
  MarketNow(2024, 1, c.nowDay, c.nowHour, c.nowMinute);
  std::string bytes(kind == kCacheTodayTrend ? 16 + 48 : 40, '\1');
  Put(c.market, c.stock, kind, bytes);
  WrittenAt(c.market, c.stock, kind, c.written);
  const TMarketData *m = Market(c.market);
  int32_t n = kind == kCacheTicks          ? CountTicks(m, c.stock)
              : kind == kCacheRecentTrades ? CountRecentTrades(m, c.stock)
                                           : CountTrendMinutes(m, c.stock);
  EXPECT_EQ(n, c.deleted ? 0 : kind == kCacheTodayTrend ? 1 : 2);
  EXPECT_EQ(Exists(c.market, c.stock, kind), !c.deleted);
}

const StaleCase kStaleCases[] = {
    {"written yesterday", kSH, kStock, Minute(14, 15, 0), 15, 10, 0, true},
    {"written today after the day start", kSH, kStock, Minute(15, 9, 30), 15, 10, 0, false},
    {"written today before the day start", kSH, kStock, Minute(15, 8, 59), 15, 10, 0, true},
    {"day start not yet past: trading for Friday", kSH, kStock, Minute(15, 8, 0), 15, 9, 1, false},
    {"Saturday is no trading day", kSH, kStock, Minute(13, 8, 0), 13, 10, 0, false},
    {"written on Friday, read on Saturday", kSH, kStock, Minute(12, 15, 0), 13, 10, 0, true},
    // 17:00 UTC on the 14th is 01:00 on the 15th in market time; the night
    // session's day began the evening before, so the file is today's.
    {"night session after midnight", kDL, kFuture, Minute(15, 1, 0), 15, 10, 0, false},
    {"night session of the evening before", kDL, kFuture, Minute(14, 22, 0), 15, 10, 0, true},
    {"evening session today, after the day start", kDL, kFuture, Minute(15, 21, 0), 15, 21, 30, false},
    {"today before the evening day start", kDL, kFuture, Minute(15, 14, 0), 15, 21, 30, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, StaleFileTest,
                         testing::Combine(testing::ValuesIn(kStaleCases),
                                          testing::Values(kCacheTicks, kCacheRecentTrades, kCacheTodayTrend)));

// ---- Reading intraday files --------------------------------------------------

TEST_F(CacheTest, IntradayReadersTakeWholeRecordsOnly) {
  std::vector<TICKREC> ticks = {Tick(10, 1), Tick(11, 2), Tick(12, 3)};
  Put(kSH, kStock, kCacheTicks, Bytes(ticks) + "torn!!!");
  WrittenAt(kSH, kStock, kCacheTicks, Minute(15, 9, 40));
  EXPECT_EQ(CountTicks(Market(kSH), kStock), 3);
  std::vector<TICKREC> got(5);
  int32_t n = 2;
  ASSERT_EQ(ReadTicks(Market(kSH), got.data(), kStock, &n), 1);
  EXPECT_EQ(n, 2);
  n = 5;
  ASSERT_EQ(ReadTicks(Market(kSH), got.data(), kStock, &n), 1);
  ASSERT_EQ(n, 3);
  got.resize(3);
  EXPECT_EQ(Bytes(got), Bytes(ticks));
  n = 5;
  EXPECT_EQ(ReadRecentTrades(Market(kSH), got.data(), kStock, &n), 0);  // no file
  EXPECT_EQ(n, 0);

  // A trend file shorter than its head holds nothing.
  Put(kSH, kStock, kCacheTodayTrend, std::string(10, '\1'));
  WrittenAt(kSH, kStock, kCacheTodayTrend, Minute(15, 9, 40));
  EXPECT_EQ(CountTrendMinutes(Market(kSH), kStock), 0);
  TRENDREC minutes[3];
  TRENDHEAD head{};
  n = 3;
  EXPECT_EQ(ReadTrendMinutes(Market(kSH), minutes, kStock, &n, &head), 0);

  TRENDHEAD stored{1.5f, 2.5f, 3000, 4.5f};
  std::vector<TRENDREC> records(2);
  records[0].price = 7;
  records[1].price = 8;
  Put(kSH, kStock, kCacheTodayTrend, Bytes(stored) + Bytes(records) + "torn");
  WrittenAt(kSH, kStock, kCacheTodayTrend, Minute(15, 9, 40));
  n = 3;
  ASSERT_EQ(ReadTrendMinutes(Market(kSH), minutes, kStock, &n, &head), 1);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(Bytes(head), Bytes(stored));
  EXPECT_EQ(minutes[1].price, 8u);
}

TEST_F(CacheTest, LoadersGrowTheBufferAndAskTheServer) {
  std::vector<std::string> asked;
  CacheRequests().ticks = [&](int m, int s, uint32_t tag) { asked.push_back("tik " + std::to_string(tag)); };
  CacheRequests().recentTrades = [&](int m, int s, int count, uint32_t tag) {
    asked.push_back("nnt " + std::to_string(count));
  };
  CacheRequests().minuteTrend = [&](int m, int s, uint32_t tag) { asked.push_back("tr3"); };
  uint32_t word = STKPTR(kSH, 0, kStock).Word();

  TICKREC *buffer = static_cast<TICKREC *>(Malloc(sizeof(TICKREC)));
  int32_t n = -1;
  EXPECT_EQ(LoadTicksFor(&buffer, word, &n, 7), 1);  // no file: ask, nothing read
  EXPECT_EQ(n, 0);
  EXPECT_EQ(LoadTicksFor(&buffer, word, &n, 0), 1);  // no tag: nothing asked
  EXPECT_EQ(asked, std::vector<std::string>{"tik 7"});

  std::vector<TICKREC> ticks = {Tick(10, 1), Tick(11, 2), Tick(12, 3)};
  Put(kSH, kStock, kCacheTicks, Bytes(ticks));
  WrittenAt(kSH, kStock, kCacheTicks, Minute(15, 9, 40));
  ASSERT_EQ(LoadTicksFor(&buffer, word, &n, 7), 1);
  ASSERT_EQ(n, 3);
  EXPECT_GE(MSize(buffer), int32_t(3 * sizeof(TICKREC)));
  EXPECT_EQ(buffer[2].price, 12u);
  EXPECT_EQ(asked.size(), 2u);  // asked again after reading

  EXPECT_EQ(LoadRecentTradesFor(&buffer, word, &n, 9), 1);
  TRENDREC *trend = nullptr;
  TRENDHEAD head;
  EXPECT_EQ(LoadTrendFor(&trend, word, &n, &head, 9), 1);
  EXPECT_EQ(asked, (std::vector<std::string>{"tik 7", "tik 7", "nnt 50", "tr3"}));

  EXPECT_EQ(LoadTicksFor(nullptr, word, &n, 7), 0);
  EXPECT_EQ(LoadTicksFor(&buffer, STKPTR(kSH, 0, 40).Word(), &n, 7), 0);  // not in the table
  EXPECT_EQ(LoadTicksFor(&buffer, STKPTR(30, 0, 0).Word(), &n, 7), 0);
  Free(buffer);
  Free(trend);
}

// ---- Intraday answer writes --------------------------------------------------

TEST_F(CacheTest, TickPartsAppendStampAndBringTheQuoteForward) {
  REALQUOTE &quote = Market(kSH)->m_quotes[kStock];
  quote.volume = 2;
  quote.last = 5;
  std::vector<TICKREC> first = {Tick(10, 1), Tick(11, 2)}, second = {Tick(12, 3), Tick(13, 4)};
  Put(kSH, kStock, kCacheTicks, "torn");  // a torn tail is written over
  EXPECT_EQ(WriteTicksPart(Market(kSH), kStock, 0, first.data(), 40, false), 2);
  EXPECT_EQ(quote.last, 5u);
  EXPECT_EQ(WriteTicksPart(Market(kSH), kStock, 1, second.data(), 40 + 7, true), 2);
  EXPECT_EQ(Get(kSH, kStock, kCacheTicks), Bytes(first) + Bytes(second));
  EXPECT_EQ(WriteTimeOf(kSH, kStock, kCacheTicks), EpochOf(CurrentUtcTime));
  EXPECT_EQ(quote.last, 13u);
  EXPECT_EQ(quote.volume, 4.0f);
  // A quote already ahead of the file keeps its values.
  EXPECT_EQ(WriteTicksPart(Market(kSH), kStock, 0, first.data(), 20, true), 1);
  EXPECT_EQ(quote.last, 13u);

  // Latest trades start afresh with every answer.
  Put(kSH, kStock, kCacheRecentTrades, Bytes(second));
  EXPECT_EQ(WriteRecentTradesPart(Market(kSH), kStock, 0, first.data(), 40, false), 2);
  EXPECT_EQ(WriteRecentTradesPart(Market(kSH), kStock, 1, second.data(), 20, true), 1);
  EXPECT_EQ(Get(kSH, kStock, kCacheRecentTrades), Bytes(first) + Bytes(second[0]));
}

TEST_F(CacheTest, TrendPartsReplaceTheLastMinuteAndMapRecords) {
  TRENDHEAD head{1, 2, 3000, 4};
  // Others send the stored record's first 40 bytes.
  std::vector<TRENDREC> stored(3);
  for (int i = 0; i < 3; ++i) stored[size_t(i)].price = uint32_t(100 + i);
  Put(kSH, kStock, kCacheTodayTrend, Bytes(TRENDHEAD{}) + Bytes(stored));
  TRENDREC fresh{};
  fresh.price = 200;
  fresh.volume = 9;
  fresh.lowPrice = 190;
  std::memset(fresh.reserved, 0x55, sizeof fresh.reserved);
  std::string body = Bytes(head) + Bytes(fresh).substr(0, 40) + Bytes(fresh).substr(0, 40);
  Market(kSH)->m_quotes[kStock].volume = 1;
  EXPECT_EQ(WriteTrendAnswerPart(Market(kSH), kStock, 0, body.data(), int32_t(body.size()), false), 2);
  EXPECT_EQ(WriteTrendAnswerPart(Market(kSH), kStock, 1, body.data() + 16, 40, true), 1);
  std::string file = Get(kSH, kStock, kCacheTodayTrend);
  EXPECT_EQ(file.substr(0, 16), Bytes(head));
  auto records = Records<TRENDREC>(file, 16);
  ASSERT_EQ(records.size(), 5u);  // two kept, the third replaced, two more
  EXPECT_EQ(records[1].price, 101u);
  EXPECT_EQ(records[2].price, 200u);
  EXPECT_EQ(records[4].lowPrice, 190u);
  EXPECT_EQ(records[4].advancing, 0);
  EXPECT_EQ(WriteTimeOf(kSH, kStock, kCacheTodayTrend), EpochOf(CurrentUtcTime));
  EXPECT_EQ(Market(kSH)->m_quotes[kStock].last, 200u);

  // Index instruments send 32-byte records.
  uint8_t wire[32] = {};
  uint32_t price = 3100, first = 3050, high = 3120, low = 3040, offset = 77;
  float volume = 5, amount = 6;
  uint16_t up = 300, down = 200;
  std::memcpy(wire + 0, &price, 4);
  std::memcpy(wire + 4, &volume, 4);
  std::memcpy(wire + 8, &amount, 4);
  std::memcpy(wire + 12, &first, 4);
  std::memcpy(wire + 16, &high, 4);
  std::memcpy(wire + 20, &low, 4);
  std::memcpy(wire + 24, &up, 2);
  std::memcpy(wire + 26, &down, 2);
  std::memcpy(wire + 28, &offset, 4);
  body = Bytes(head) + std::string(reinterpret_cast<char *>(wire), 32);
  EXPECT_EQ(WriteTrendAnswerPart(Market(kSH), kIndex, 0, body.data(), int32_t(body.size()), true), 1);
  records = Records<TRENDREC>(Get(kSH, kIndex, kCacheTodayTrend), 16);
  ASSERT_EQ(records.size(), 1u);
  TRENDREC &r = records[0];
  EXPECT_EQ(std::make_tuple(+r.price, +r.volume, +r.amount, +r.priceVolume, +r.firstPrice, +r.highPrice, +r.lowPrice),
            std::make_tuple(3100u, 5.0f, 6.0f, 0.0, 3050u, 3120u, 3040u));
  EXPECT_EQ(std::make_tuple(+r.advancing, +r.declining, +r.leadingOffset), std::make_tuple(300, 200, 77));

  // A later part without a head, or a first part too short for one, drops the file.
  EXPECT_EQ(WriteTrendAnswerPart(Market(kDL), kFuture, 1, body.data() + 16, 40, true), -1);
  EXPECT_FALSE(Exists(kDL, kFuture, kCacheTodayTrend));
  EXPECT_EQ(WriteTrendAnswerPart(Market(kSH), kIndex, 0, body.data(), 15, true), -1);
  EXPECT_FALSE(Exists(kSH, kIndex, kCacheTodayTrend));
}

// ---- Bars --------------------------------------------------------------------

struct MergeCase {
  const char *what;
  std::vector<PackedDateTime> stored, fresh;
  int base;
  std::vector<PackedDateTime> want;  // empty: the file is left as it was
};

TEST_F(CacheTest, BarMergesFollowTheirRules) {
  const MergeCase cases[] = {
      {"into a new file", {}, {Day(3), Day(4)}, 8, {Day(3), Day(4)}},
      {"all before", {Day(10), Day(11)}, {Day(3), Day(4)}, 8, {Day(3), Day(4), Day(10), Day(11)}},
      {"all after", {Day(3), Day(4)}, {Day(10)}, 8, {Day(3), Day(4), Day(10)}},
      {"interleaved, equal replaces", {Day(3), Day(5), Day(8)}, {Day(4), Day(5), Day(9)}, 8,
       {Day(3), Day(4), Day(5), Day(8), Day(9)}},
      {"day bars lose hour and minute", {Day(3)}, {Minute(4, 15, 0)}, 9, {Day(3), Day(4)}},
      {"minute bars keep them", {}, {Minute(4, 9, 31), Minute(4, 9, 32)}, 1, {Minute(4, 9, 31), Minute(4, 9, 32)}},
      {"out-of-order bars dropped", {}, {Day(5), Day(4), Day(5), Day(6)}, 8, {Day(5), Day(6)}},
      {"year 0 writes nothing", {Day(3)}, {Day(4), MakePackedDateTime(0, 1, 5)}, 8, {}},
  };
  for (const MergeCase &c : cases) {
    std::vector<KLINEBAR> stored, fresh;
    for (PackedDateTime t : c.stored) stored.push_back(Bar(t, 1));
    for (PackedDateTime t : c.fresh) fresh.push_back(Bar(t, 2));
    box_.WriteText("data/SH/day/600000.da1", Bytes(stored));
    if (c.stored.empty()) std::remove(box_.Path("data/SH/day/600000.da1").c_str());
    int result = MergeBarsIntoFile("..\\data\\SH\\day\\600000.da1", fresh.data(), c.base, int(fresh.size()));
    std::vector<KLINEBAR> got = Records<KLINEBAR>(box_.Read("data/SH/day/600000.da1"));
    if (c.want.empty()) {
      EXPECT_EQ(result, 0) << c.what;
      EXPECT_EQ(Bytes(got), Bytes(stored)) << c.what;
      continue;
    }
    EXPECT_EQ(result, 1) << c.what;
    std::vector<PackedDateTime> times;
    for (const KLINEBAR &b : got) {
      times.push_back(b.time);
      // Where a new bar has the time, it is the new bar that was kept.
      bool isNew = false;
      for (PackedDateTime t : c.fresh) isNew |= (c.base >= 8 ? t & kPackedDateMask : t) == b.time;
      EXPECT_EQ(b.close, isNew ? 2u : 1u) << c.what;
    }
    EXPECT_EQ(times, c.want) << c.what;
  }
}

TEST_F(CacheTest, BarMergeKeepsTheNewestStoredBarsAndStamps) {
  MaxDataRecords = 3;
  std::vector<KLINEBAR> stored;
  for (int d = 1; d <= 5; ++d) stored.push_back(Bar(Day(d), 1));
  Put(kSH, kStock, kCacheMin60Bars, Bytes(stored) + "torn");
  CurrentUtcTime = Minute(10, 6, 0);
  KLINEBAR fresh = Bar(Day(9), 2);
  ASSERT_EQ(MergeBarAnswer(Market(kSH), kStock, 7, &fresh, 1), 1);
  std::vector<KLINEBAR> got = Records<KLINEBAR>(Get(kSH, kStock, kCacheMin60Bars));
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].time, Day(3));
  EXPECT_EQ(got[3].time, Day(9));
  EXPECT_EQ(Get(kSH, kStock, kCacheMin60Bars).size(), 4 * sizeof(KLINEBAR));
  EXPECT_EQ(WriteTimeOf(kSH, kStock, kCacheMin60Bars), EpochOf(Minute(10, 6, 0)));
}

TEST_F(CacheTest, ReadBarsTakesTheNewestWanted) {
  std::vector<KLINEBAR> stored;
  for (int i = 0; i < 100; ++i) stored.push_back(Bar(Minute(1 + i / 24, i % 24, 0), uint32_t(i)));
  Put(kSH, kStock, kCacheMin5Bars, Bytes(stored) + "torn");
  const int spare = Market(kSH)->m_longestDay + 16;
  ASSERT_EQ(spare, 256);

  struct Case {
    int wanted;
    int32_t capacity;
    int32_t count;
  } cases[] = {{0, 200, 100}, {spare + 10, 200, 10}, {spare, 200, 0}, {spare - 5, 200, 0}, {spare + 500, 200, 100},
               {0, 30, 30}};
  std::vector<KLINEBAR> buffer(200);
  for (const Case &c : cases) {
    KLINEBAR *p = buffer.data();
    int32_t n = -1;
    ASSERT_EQ(ReadBars(Market(kSH), &p, "600000", &n, 4, c.wanted, c.capacity), 1) << c.wanted;
    ASSERT_EQ(n, c.count) << c.wanted;
    if (n > 0) EXPECT_EQ(p[n - 1].close, 99u) << c.wanted;  // newest last
  }
  // Without a buffer one is made with room to spare.
  KLINEBAR *made = nullptr;
  int32_t n = 0;
  ASSERT_EQ(ReadBars(Market(kSH), &made, "600000", &n, 4, spare + 10, 0), 1);
  EXPECT_EQ(n, 10);
  EXPECT_GE(MSize(made), int32_t((10 + spare) * sizeof(KLINEBAR)));
  Free(made);
  made = nullptr;
  ASSERT_EQ(ReadBars(Market(kSH), &made, "AB12", &n, 8, 0, 0), 1);  // no file
  EXPECT_EQ(n, 0);
  EXPECT_GE(MSize(made), int32_t(spare * sizeof(KLINEBAR)));
  Free(made);

  KLINEBAR *p = buffer.data();
  EXPECT_EQ(ReadBars(Market(kSH), &p, "600000", &n, 2, 0, 200), 0);  // no such base
  EXPECT_EQ(ReadBars(Market(kSH), &p, "..\\x", &n, 4, 0, 200), 0);
  EXPECT_EQ(ReadBars(Market(kSH), &p, "999999", &n, 4, 0, 200), 0);
}

TEST_F(CacheTest, DayBarPairFindsTheDateExactly) {
  std::vector<KLINEBAR> stored;
  for (int d : {2, 3, 4, 5, 8, 9, 10}) stored.push_back(Bar(Day(d), uint32_t(d * 10)));
  Put(kSH, kStock, kCacheDayBars, Bytes(stored) + std::string(39, '\xff'));
  KLINEBAR pair[2];
  for (int d : {3, 5, 8, 10}) {
    ASSERT_EQ(ReadDayBarPair(kSH, "600000", Day(d), pair), 1) << d;
    EXPECT_EQ(pair[1].close, uint32_t(d * 10));
    EXPECT_EQ(pair[0].time, d == 8 ? Day(5) : Day(d - 1));
  }
  ASSERT_EQ(ReadDayBarAt(Market(kSH), "600000", Day(2), pair), 1);
  EXPECT_EQ(pair[0].close, pair[1].open);  // the first bar's open stands for the previous close
  EXPECT_EQ(pair[0].time, 0u);
  for (PackedDateTime missing : {Day(1), Day(6), Day(11), Minute(3, 9, 0)})
    EXPECT_EQ(ReadDayBarPair(kSH, "600000", missing, pair), 0);
  EXPECT_EQ(ReadDayBarPair(47, "600000", Day(3), pair), 0);
  EXPECT_EQ(ReadDayBarPair(-1, "600000", Day(3), pair), 0);
  EXPECT_EQ(ReadDayBarPair(kSH, "", Day(3), pair), 0);
  EXPECT_EQ(ReadDayBarPair(kSH, nullptr, Day(3), pair), 0);
  EXPECT_EQ(ReadDayBarPair(kSH, "600000", Day(3), nullptr), 0);
}

// ---- Advice --------------------------------------------------------------------

TEST_F(CacheTest, AdviceAppendsOrMergesTheNewest) {
  const char *path = "..\\data\\SH\\advice\\600000.adv";
  std::vector<ADVICEREC> a = {Advice(10, 1), Advice(20, 1)};
  ASSERT_EQ(MergeAdviceFile(path, a.data(), 2), 1);
  std::vector<ADVICEREC> b = {Advice(20, 2), Advice(30, 2)};
  ASSERT_EQ(MergeAdviceFile(path, b.data(), 2), 1);  // at or after the last: appended
  std::vector<ADVICEREC> c = {Advice(5, 3), Advice(20, 3)};
  ASSERT_EQ(MergeAdviceFile(path, c.data(), 2), 1);  // reaches back: merged
  std::vector<ADVICEREC> got = Records<ADVICEREC>(box_.Read("data/SH/advice/600000.adv"));
  std::vector<std::pair<uint32_t, int>> keys;
  for (const ADVICEREC &r : got) keys.emplace_back(r.key, r.body[0]);
  EXPECT_EQ(keys, (std::vector<std::pair<uint32_t, int>>{{5, 3}, {10, 1}, {20, 1}, {20, 2}, {20, 3}, {30, 2}}));

  std::vector<ADVICEREC> backwards = {Advice(40, 4), Advice(35, 4)};
  EXPECT_EQ(MergeAdviceFile(path, backwards.data(), 2), 0);
  EXPECT_EQ(box_.Read("data/SH/advice/600000.adv").size(), 6 * sizeof(ADVICEREC));

  // Only the newest 1024 survive a merge.
  std::vector<ADVICEREC> many;
  for (uint32_t k = 100; k < 1200; ++k) many.push_back(Advice(k, 5));
  ASSERT_EQ(MergeAdviceAnswer(Market(kSH), kStock, many.data(), int(many.size())), 1);
  ASSERT_EQ(MergeAdviceFile(path, c.data(), 1), 1);
  got = Records<ADVICEREC>(box_.Read("data/SH/advice/600000.adv"));
  ASSERT_EQ(got.size(), 1024u);
  EXPECT_EQ(got.front().key, 1199u - 1023u);
  EXPECT_EQ(got.back().key, 1199u);

  // A torn last record is written over by an append.
  box_.WriteText("data/SH/advice/600000.adv", Bytes(a) + "torn");
  ASSERT_EQ(MergeAdviceFile(path, b.data() + 1, 1), 1);
  EXPECT_EQ(box_.Read("data/SH/advice/600000.adv"), Bytes(a) + Bytes(b[1]));
}

// ---- Trend history -------------------------------------------------------------

class TrendHistoryTest : public CacheTest {
 protected:
  // A downloaded day of items for the futures contract (571 a day).
  void PutDay(int market, int stock, PackedDateTime date, const std::vector<TRENDITEM> &items,
              uint32_t extra = 0) {
    std::string bytes = market == kSH && stock == kIndex ? Bytes(extra) : "";
    Put(market, stock, kCacheTrendDay, bytes + Bytes(items), date);
  }
  std::vector<TRENDITEM> Flat(int n, uint32_t price) {
    return std::vector<TRENDITEM>(size_t(n), Item(price, 1, 100));
  }
  // The dates of the history's blocks.
  std::vector<PackedDateTime> Dates(int market, int stock) {
    std::string file = Get(market, stock, kCacheTrendHistory);
    int items = TrendItemsPerDay(Market(market), stock);
    size_t block = 4 + (market == kSH && stock == kIndex ? 4 : 0) + size_t(items) * 20;
    std::vector<PackedDateTime> dates;
    for (size_t at = 4; at + block <= file.size(); at += block) {
      PackedDateTime d;
      std::memcpy(&d, file.data() + at, 4);
      dates.push_back(d);
    }
    return dates;
  }
};

TEST_F(TrendHistoryTest, MergedDaysStayInDateOrder) {
  const int items = TrendItemsPerDay(Market(kDL), kFuture);
  ASSERT_EQ(items, 361);
  for (int d : {10, 8, 12, 9}) {
    PutDay(kDL, kFuture, Day(d), Flat(items, uint32_t(d)));
    ASSERT_EQ(MergeTrendDay(Market(kDL), kFuture, Day(d)), 1) << d;
  }
  EXPECT_EQ(Dates(kDL, kFuture), (std::vector<PackedDateTime>{Day(8), Day(9), Day(10), Day(12)}));
  size_t size = Get(kDL, kFuture, kCacheTrendHistory).size();
  EXPECT_EQ(size, 4 + 4 * (4 + 361 * 20u));

  // The same date again replaces its block in place.
  PutDay(kDL, kFuture, Day(9), Flat(items, 99));
  ASSERT_EQ(MergeTrendDayFor(STKPTR(kDL, 0, kFuture).Word(), Day(9)), 1);
  EXPECT_EQ(Get(kDL, kFuture, kCacheTrendHistory).size(), size);

  std::vector<TRENDITEM> buffer(kTrendItemsLimit);
  int32_t n = 0;
  uint32_t extra = 1;
  for (int d : {8, 9, 10, 12}) {
    ASSERT_EQ(ReadTrendDay(Market(kDL), kFuture, Day(d), buffer.data(), &n, &extra), 1) << d;
    EXPECT_EQ(n, items);
    EXPECT_EQ(extra, 0u);
    EXPECT_EQ(buffer[360].price, d == 9 ? 99u : uint32_t(d));
  }
  for (int d : {7, 11, 13}) EXPECT_EQ(ReadTrendDay(Market(kDL), kFuture, Day(d), buffer.data(), &n, &extra), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(Get(kDL, kFuture, kCacheTrendHistory).size(), size);  // nothing cut
}

TEST_F(TrendHistoryTest, ShortDaysAreCompletedAndGapsFlattened) {
  // Futures keep open interest in the amount field; stock markets turnover.
  for (auto [market, stock] : {std::pair{kDL, kFuture}, std::pair{kSH, kStock}}) {
    std::vector<TRENDITEM> day = {Item(0, 5, 50, 1), Item(0, 6, 60, 2), Item(300, 7, 70, 3), Item(0, 8, 80, 4),
                                  Item(310, 9, 90, 5)};
    PutDay(market, stock, Day(15), day);
    ASSERT_EQ(MergeTrendDay(Market(market), stock, Day(15)), 1);
    std::vector<TRENDITEM> got(kTrendItemsLimit);
    int32_t n = 0;
    uint32_t extra;
    ASSERT_EQ(ReadTrendDay(Market(market), stock, Day(15), got.data(), &n, &extra), 1);
    ASSERT_EQ(n, TrendItemsPerDay(Market(market), stock));
    float keep = market == kDL ? 1 : 0;  // open interest carried, turnover not
    auto expect = [&](int i, uint32_t price, float volume, float amount, int32_t counter) {
      const TRENDITEM &t = got[size_t(i)];
      EXPECT_EQ(std::make_tuple(+t.price, +t.volume, +t.amount, +t.leadingOffset),
                std::make_tuple(price, volume, amount, counter))
          << market << " item " << i;
    };
    // Leading items take the first price; for futures the backfill of
    // reading then gives them the open interest of the first traded one.
    expect(0, 300, 0, market == kDL ? 70 : 0, 3);
    expect(1, 300, 0, market == kDL ? 70 : 0, 3);
    expect(2, 300, 7, 70, 3);
    expect(3, 300, 0, keep * 70, 3);  // a gap takes the item before it
    expect(4, 310, 9, 90, 5);
    expect(n - 1, 310, 0, keep * 90, 5);  // the missing rest of the day
  }
  // Less than one item merges nothing and leaves the history alone.
  std::string before = Get(kDL, kFuture, kCacheTrendHistory);
  Put(kDL, kFuture, kCacheTrendDay, std::string(19, '\1'), Day(16));
  EXPECT_EQ(MergeTrendDay(Market(kDL), kFuture, Day(16)), 0);
  Put(kDL, kFuture, kCacheTrendDay, std::string(25, '\0'), Day(16));
  EXPECT_EQ(MergeTrendDay(Market(kDL), kFuture, Day(16)), 1);
  EXPECT_NE(Get(kDL, kFuture, kCacheTrendHistory), before);
  EXPECT_EQ(MergeTrendDay(Market(kDL), kFuture, Day(17)), 0);  // no day file
}

TEST_F(TrendHistoryTest, IndexDaysCarryTheirExtraWord) {
  const int items = TrendItemsPerDay(Market(kSH), kIndex);
  ASSERT_EQ(items, 241);
  PutDay(kSH, kIndex, Day(11), Flat(items, 11), 0xABCD);
  PutDay(kSH, kIndex, Day(12), Flat(items, 12), 0x1234);
  ASSERT_EQ(MergeTrendDay(Market(kSH), kIndex, Day(12)), 1);
  ASSERT_EQ(MergeTrendDay(Market(kSH), kIndex, Day(11)), 1);
  EXPECT_EQ(Get(kSH, kIndex, kCacheTrendHistory).size(), 4 + 2 * (8 + 241 * 20u));
  std::vector<TRENDITEM> got(kTrendItemsLimit);
  int32_t n = 0;
  uint32_t extra = 0;
  ASSERT_EQ(ReadTrendDay(Market(kSH), kIndex, Day(11), got.data(), &n, &extra), 1);
  EXPECT_EQ(extra, 0xABCDu);
  EXPECT_EQ(got[240].price, 11u);
}

TEST_F(TrendHistoryTest, DamagedHistoriesAreCutBack) {
  const int items = TrendItemsPerDay(Market(kDL), kFuture);
  const size_t block = 4 + size_t(items) * 20;
  for (int d : {8, 9, 10, 11, 12}) {
    PutDay(kDL, kFuture, Day(d), Flat(items, uint32_t(d)));
    ASSERT_EQ(MergeTrendDay(Market(kDL), kFuture, Day(d)), 1);
  }
  const std::string good = Get(kDL, kFuture, kCacheTrendHistory);
  std::vector<TRENDITEM> buffer(kTrendItemsLimit);
  int32_t n;
  uint32_t extra;
  auto read = [&](int d) { return ReadTrendDay(Market(kDL), kFuture, Day(d), buffer.data(), &n, &extra); };
  auto withDate = [&](int blockIndex, uint32_t date) {
    std::string bytes = good;
    std::memcpy(bytes.data() + 4 + size_t(blockIndex) * block, &date, 4);
    return bytes;
  };
  struct Case {
    const char *what;
    std::string file;
    int day;
    int found;
    size_t size;  // afterwards
  } cases[] = {
      {"another header empties the file", std::string("\x07\0\0\0", 4) + good.substr(4), 10, 0, 0},
      {"too short for a header", "\x01\x02", 10, 0, 0},
      {"a torn first block is cut", good.substr(0, 4 + block / 2), 8, 0, 4},
      {"a torn tail is ignored", good + "torn", 12, 1, good.size() + 4},
      {"invalid first date", withDate(0, MakePackedDateTime(2024, 13, 1)), 10, 0, 4},
      {"invalid last date", withDate(4, MakePackedDateTime(2024, 2, 30)), 12, 0, 4 + 4 * block},
      {"invalid middle date met by the search", withDate(2, 0xFFFFFFFF), 11, 0, 4 + 2 * block},
      {"the first block is read before any other", withDate(2, 0xFFFFFFFF), 8, 1, good.size()},
  };
  for (Case &c : cases) {
    Put(kDL, kFuture, kCacheTrendHistory, c.file);
    // The cut leaves the blocks before the bad one readable.
    EXPECT_EQ(read(c.day), c.found) << c.what;
    EXPECT_EQ(Get(kDL, kFuture, kCacheTrendHistory).size(), c.size) << c.what;
    if (c.size > 4 && c.size <= good.size()) EXPECT_EQ(read(8), 1) << c.what;
  }
  // A merge into a damaged history starts it again with the new day.
  Put(kDL, kFuture, kCacheTrendHistory, std::string("\x07\0\0\0", 4) + good.substr(4));
  PutDay(kDL, kFuture, Day(15), Flat(items, 15));
  ASSERT_EQ(MergeTrendDay(Market(kDL), kFuture, Day(15)), 1);
  EXPECT_EQ(Dates(kDL, kFuture), std::vector<PackedDateTime>{Day(15)});
}

TEST_F(TrendHistoryTest, MissingDaysAreAskedFor) {
  std::vector<std::pair<int, PackedDateTime>> asked;
  CacheRequests().trendHistory = [&](int m, int s, PackedDateTime date, uint32_t tag) {
    asked.emplace_back(int(tag), date);
  };
  std::vector<TRENDITEM> buffer(kTrendItemsLimit);
  int32_t n;
  uint32_t extra;
  uint32_t word = STKPTR(kDL, 0, kFuture).Word();
  EXPECT_EQ(ReadDayTrend(word, Minute(9, 15, 0), buffer.data(), &n, &extra, 0), 0);
  EXPECT_EQ(ReadDayTrend(word, Minute(9, 15, 0), buffer.data(), &n, &extra, 4), 0);
  EXPECT_EQ(ReadDayTrend(STKPTR(kDL, 0, 9).Word(), Day(9), buffer.data(), &n, &extra, 4), 0);
  EXPECT_EQ(asked, (std::vector<std::pair<int, PackedDateTime>>{{4, Day(9)}}));
}

TEST_F(TrendHistoryTest, DayPartsRepeatEmptyMinutesAndMergeAtTheEnd) {
  // Futures send 12-byte items: price, volume, amount.
  auto wire = [](std::initializer_list<std::tuple<uint32_t, float, float>> items) {
    std::string bytes;
    for (auto [p, v, a] : items) bytes += Bytes(p) + Bytes(v) + Bytes(a);
    return bytes;
  };
  std::string part0 = wire({{0, 0, 7}, {500, 3, 8}, {0, 4, 9}});
  std::string part1 = wire({{510, 0.5f, 10}, {520, 2, 11}}) + "torn!";  // a torn item is not written
  TMarketData *dl = Market(kDL);
  EXPECT_EQ(WriteTrendDayPart(dl, kFuture, Minute(9, 15, 0), 0, part0.data(), int32_t(part0.size()), false), 3);
  auto day = Records<TRENDITEM>(Get(kDL, kFuture, kCacheTrendDay, Day(9)));
  ASSERT_EQ(day.size(), 3u);
  EXPECT_EQ(day[0].price, 0u);  // the first stays as it came
  EXPECT_EQ(day[2].price, 500u);
  EXPECT_EQ(day[2].amount, 8.0f);
  EXPECT_EQ(WriteTrendDayPart(dl, kFuture, Day(9), 1, part1.data(), int32_t(part1.size()), true), 2);
  EXPECT_FALSE(Exists(kDL, kFuture, kCacheTrendDay, Day(9)));
  std::vector<TRENDITEM> got(kTrendItemsLimit);
  int32_t n;
  uint32_t extra;
  ASSERT_EQ(ReadDayTrend(STKPTR(kDL, 0, kFuture).Word(), Day(9), got.data(), &n, &extra, 0), 1);
  EXPECT_EQ(got[3].price, 500u);  // repeated across the parts
  EXPECT_EQ(got[4].price, 520u);

  // Index instruments: every part starts with the extra word; the first one is kept.
  std::string index0 = Bytes(uint32_t(0x77)) + Bytes(Item(3000, 5, 6, 1)),
              index1 = Bytes(uint32_t(0x88)) + Bytes(Item(3010, 6, 7, 2));
  TMarketData *sh = Market(kSH);
  EXPECT_EQ(WriteTrendDayPart(sh, kIndex, Day(9), 0, index0.data(), int32_t(index0.size()), false), 1);
  EXPECT_EQ(WriteTrendDayPart(sh, kIndex, Day(9), 1, index1.data(), int32_t(index1.size()), false), 1);
  EXPECT_EQ(Get(kSH, kIndex, kCacheTrendDay, Day(9)),
            Bytes(uint32_t(0x77)) + Bytes(Item(3000, 5, 6, 1)) + Bytes(Item(3010, 6, 7, 2)));
  // A later part without a start drops the day.
  Put(kSH, kIndex, kCacheTrendDay, "ab", Day(10));
  EXPECT_EQ(WriteTrendDayPart(sh, kIndex, Day(10), 1, index1.data(), int32_t(index1.size()), true), -1);
  EXPECT_FALSE(Exists(kSH, kIndex, kCacheTrendDay, Day(10)));
}

// ---- Byte files ------------------------------------------------------------------

TEST_F(CacheTest, ByteFilesAppendReplaceAndStamp) {
  TMarketData *sh = Market(kSH);
  CurrentUtcTime = Minute(15, 3, 0);
  EXPECT_EQ(WriteWeightPart(sh, kStock, 0, "abc", 3, false), 3);
  EXPECT_EQ(WriteWeightPart(sh, kStock, 1, "de", 2, true), 2);
  EXPECT_EQ(Get(kSH, kStock, kCacheWeight), "abcde");
  EXPECT_EQ(WriteTimeOf(kSH, kStock, kCacheWeight), EpochOf(Minute(15, 3, 0)));

  Put(kSH, kStock, kCacheBaseText, "old text, rather long");
  EXPECT_EQ(WriteBaseTextPart(sh, kStock, 0, "new", 3, false), 3);
  EXPECT_EQ(WriteBaseTextPart(sh, kStock, 1, " text", 5, true), 5);
  EXPECT_EQ(Get(kSH, kStock, kCacheBaseText), "new text");
  EXPECT_EQ(WriteTimeOf(kSH, kStock, kCacheBaseText), EpochOf(Minute(15, 3, 0)));

  std::string records(256 * 2 + 100, 'r');
  Put(kSH, kStock, kCacheInfoIndex, std::string(256, 'o') + "torn", 3);
  EXPECT_EQ(WriteInfoIndexPart(sh, kStock, 3, 0, records.data(), int32_t(records.size()), true), 2);
  EXPECT_EQ(Get(kSH, kStock, kCacheInfoIndex, 3), std::string(256, 'o') + std::string(512, 'r'));
  EXPECT_EQ(WriteTimeOf(kSH, kStock, kCacheInfoIndex, 3), EpochOf(Minute(15, 3, 0)));

  int32_t written = 99;
  Put(kSH, kStock, kCacheInfoText, "head", 3);
  EXPECT_EQ(WriteInfoTextPart(sh, kStock, 3, 2000, 0, "AB", 2, &written), 2);
  EXPECT_EQ(WriteInfoTextPart(sh, kStock, 3, 2000, 1, "CD", 2, &written), 2);
  EXPECT_EQ(written, 4);
  EXPECT_EQ(Get(kSH, kStock, kCacheInfoText, 3), "head" + std::string(1996, '\0') + "ABCD");
  // Text inside the file is written in place.
  EXPECT_EQ(WriteInfoTextPart(sh, kStock, 3, 1, 0, "xy", 2, &written), 2);
  EXPECT_EQ(Get(kSH, kStock, kCacheInfoText, 3).substr(0, 4), "hxyd");
  EXPECT_EQ(WriteInfoTextPart(sh, kStock, 3, uint32_t(kInfoTextOffsetLimit) + 1, 0, "x", 1, &written), -1);
  EXPECT_EQ(WriteInfoTextPart(sh, kStock, 3, 0, 0, "x", 1, nullptr), -1);
}

}  // namespace
