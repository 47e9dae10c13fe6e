#include "market/dataio5.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/emem.h"
#include "market/calendar.h"
#include "platform/messages.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;
using market_fixture::MarketSandbox;
using market_fixture::UtcAt;

namespace {

std::string Bytes(const void *p, size_t n) { return std::string(static_cast<const char *>(p), n); }

REALQUOTE Quote(uint32_t seed) {
  REALQUOTE q;
  std::memset(&q, 0, sizeof q);
  q.prevClose = seed;
  q.last = seed + 1;
  q.volume = float(seed) * 10;
  q.amount = float(seed) * 100;
  q.bid[4].price = seed + 2;
  q.barSettlement = seed + 3;
  return q;
}

// Four markets as the login would leave them on disk: two stock markets
// (the first with finance records) and two futures markets.
struct Markets {
  MKINFO sh, sz, zj, dl;
  std::vector<STKINFO> shStocks, szStocks, zjStocks, dlStocks;
  std::vector<STKINFOEX> zjCodes;
  std::vector<REALQUOTE> shQuotes;
  std::vector<FINANCE> shFinance;

  Markets() {
    sh = MakeMarket("SH", "shd", 1, 8, 8, 0);
    AddKind(sh, "指数", {{570, 690}, {780, 900}}, 540, 960);
    AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    sz = MakeMarket("SZ", "szd", 1, 8, 8, 1);
    AddKind(sz, "指数", {{570, 690}, {780, 900}}, 540, 960);
    AddKind(sz, "A股", {{570, 690}, {780, 900}}, 540, 960);
    zj = MakeMarket("ZJ", "zjf", 2, 6, 8, 2);
    AddKind(zj, "指数", {{555, 690}, {780, 915}}, 540, 960);
    AddKind(zj, "期权", {{555, 690}, {780, 915}}, 540, 960);
    AddKind(zj, "期货", {{555, 690}, {780, 915}}, 540, 960);
    dl = MakeMarket("DL", "dlf", 2, 4, 8, 3);
    AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);

    shStocks = {MakeStock(0, 0, "000001", "综合指数"), MakeStock(0, 1, "600000  ", "银行甲乙  "),
                MakeStock(0, 1, "abc", "小写"), MakeStock(0, 0, "000300", "沪深300")};
    shStocks[1].index = 99;  // the position counts, not the stored index
    szStocks = {MakeStock(1, 0, "399001", "成份指数"), MakeStock(1, 1, "000001", "银行丙"),
                MakeStock(1, 1, "000002", "地产")};
    zjStocks = {MakeStock(2, 0, "IF", "股指"), MakeStock(2, 2, "IF2403", "沪深03"), MakeStock(2, 1, "IO24", "期权"),
                MakeStock(2, 2, "XY01", "五位")};
    zjCodes = {MakeStockEx(""), MakeStockEx("AB1203"), MakeStockEx("CD1203"), MakeStockEx("CU203")};
    dlStocks = {MakeStock(3, 0, "M01", "豆粕"), MakeStock(3, 0, "M05", "豆粕05")};
    for (uint32_t i = 0; i < shStocks.size(); ++i) shQuotes.push_back(Quote(1000 * (i + 1)));
    for (uint32_t i = 0; i < shStocks.size(); ++i) {
      FINANCE f{};
      f.earningsPerShare = float(i) + 0.5f;
      f.indexWeight = 0.25f;
      shFinance.push_back(f);
    }
  }

  void Write(const MarketSandbox &box) const {
    box.WriteMarketInfo({sh, sz, zj, dl});
    box.WriteTable(sh, "nametbl", shStocks);
    box.WriteTable(sz, "nametbl", szStocks);
    box.WriteTable(zj, "nametbl", zjStocks);
    box.WriteTable(zj, "nametble", zjCodes);
    box.WriteTable(dl, "nametbl", dlStocks);
    box.WriteTable(sh, "real", shQuotes);
    box.WriteTable(sh, "Finance", shFinance);
  }
};

class MarketTableTest : public testing::Test {
 protected:
  MarketTableTest() : clock_(UtcAt(2024, 1, 15, 2, 0)) { UpdateCurrentUtcTime(); }

  ScopedFakeClock clock_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  Markets markets_;
};

TEST_F(MarketTableTest, OfflineBuildFillsTheTable) {
  markets_.Write(box_);
  box_.WriteText("cfg/MarketEx.ini", "[Option]\nExtraOnlineCodeAsk=3, 1,x,99,-1,1,0\n");
  {
    TDataIO io(nullptr);
    EXPECT_EQ(MarketTable.loadState, 0);
    EXPECT_EQ(MarketTable.firstBuild, 0);
    ASSERT_EQ(MarketTable.marketCount, 4);
    EXPECT_EQ(boxes_.Count(), 0u);

    TMarketData *sh = MarketTable.markets[0];
    ASSERT_NE(sh, nullptr);
    EXPECT_EQ(sh->m_loadedCount, 4);
    EXPECT_STREQ(sh->m_stocks[1].code, "600000");  // trailing blanks gone
    EXPECT_STREQ(sh->m_stocks[1].name, "银行甲乙");
    EXPECT_EQ(+sh->m_stocks[1].index, 1);
    EXPECT_EQ(Bytes(sh->m_quotes, 4 * sizeof(REALQUOTE)),
              Bytes(markets_.shQuotes.data(), 4 * sizeof(REALQUOTE)));
    EXPECT_EQ(+sh->m_finance[2].earningsPerShare, 2.5f);
    EXPECT_NE(sh->m_priceHist, nullptr);
    EXPECT_NE(sh->m_brokerQueues, nullptr);
    EXPECT_EQ(sh->m_stocksEx, nullptr);
    EXPECT_EQ(+MarketTable.markets[1]->m_finance[0].earningsPerShare, 0.0f);  // no file
    EXPECT_EQ(MarketTable.markets[2]->m_finance, nullptr);
    EXPECT_NE(MarketTable.markets[2]->m_stocksEx, nullptr);
    EXPECT_EQ(MarketTable.markets[1]->m_stocksEx, nullptr);
    EXPECT_EQ(sh->m_tradingDate[1], MakePackedDateTime(2024, 1, 15));

    // Futures markets other than market 0, and the extra list as read.
    ASSERT_EQ(GetFuturesMarketCount(), 2);
    EXPECT_EQ(GetFuturesMarketAt(0), 2);
    EXPECT_EQ(GetFuturesMarketAt(1), 3);
    EXPECT_EQ(GetFuturesMarketAt(2), 0);
    EXPECT_EQ(GetFuturesMarketAt(-1), 0);
    ASSERT_EQ(GetExtraCodeAskMarketCount(), 3);
    EXPECT_EQ(GetExtraCodeAskMarketAt(0), 3);
    EXPECT_EQ(GetExtraCodeAskMarketAt(1), 1);
    EXPECT_EQ(GetExtraCodeAskMarketAt(2), 0);

    EXPECT_EQ(FindMarketByName("zj"), MarketTable.markets[2]);
    EXPECT_EQ(FindMarketByName(""), nullptr);
    EXPECT_EQ(FindMarketByName(nullptr), nullptr);
    EXPECT_EQ(FindMarketByName("XX"), nullptr);
  }
  // Every market writes its quotes back: loaded-count records, byte for byte.
  EXPECT_EQ(box_.Read(box_.Table(markets_.sh, "real")),
            Bytes(markets_.shQuotes.data(), markets_.shQuotes.size() * sizeof(REALQUOTE)));
  EXPECT_EQ(box_.Read(box_.Table(markets_.sh, "Finance")),
            Bytes(markets_.shFinance.data(), markets_.shFinance.size() * sizeof(FINANCE)));
  EXPECT_EQ(box_.Read(box_.Table(markets_.dl, "real")).size(), 2 * sizeof(REALQUOTE));
  EXPECT_FALSE(box_.Exists(box_.Table(markets_.dl, "Finance")));
  for (TMarketData *m : MarketTable.markets) EXPECT_EQ(m, nullptr);
}

TEST_F(MarketTableTest, ReferencesTakeTheirKindFromTheNameTable) {
  markets_.Write(box_);
  TDataIO io(nullptr);
  struct Case {
    int market, kindGiven, stock;
    uint8_t kind;
    bool hasInfo;
  } cases[] = {
      {0, 7, 0, 0, true},       {0, 0, 1, 1, true},      {2, 0, 1, 2, true},
      {0, 3, 0xFFFF, 255, false},  // no stock: kind 255 whatever was passed
      {0, 0, 4, 1, false},         // beyond the loaded entries: kind count - 1
      {2, 0, 5, 2, false},         // within the capacity but not loaded
      {3, 0, 100, 0, false},
      {4, 0, 0, 255, false},       // no such market
      {47, 0, 0, 255, false},      {255, 0, 0, 255, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.market << "/" << c.stock);
    STKPTR p(c.market, c.kindGiven, c.stock);
    EXPECT_EQ(+p.kind, c.kind);
    EXPECT_EQ(GetStockInfo(p) != nullptr, c.hasInfo);
    STKPTR again(p.Word());
    EXPECT_EQ(again.Word(), p.Word());
    STKPTR copy = p;
    EXPECT_TRUE(SameStock(copy, p));
  }
  STKPTR none;
  EXPECT_EQ(none.Word(), 0xFFFFFFFFu);
  EXPECT_EQ(GetStockInfo(none), nullptr);
  EXPECT_EQ(GetStockInfoEx(STKPTR(2, 0, 1))->code, std::string("AB1203"));
  EXPECT_EQ(GetStockInfoEx(STKPTR(0, 0, 1)), nullptr);  // no extended table
  EXPECT_EQ(GetStockInfoEx(STKPTR(2, 0, 4)), nullptr);
}

TEST_F(MarketTableTest, CodeLookups) {
  markets_.Write(box_);
  TDataIO io(nullptr);
  struct Case {
    const char *code;
    uint16_t market;
    int searchAll;
    int found;
    uint16_t marketAfter;
    int stock;
  } cases[] = {
      {"000001", 0, 0, 1, 0, 0},  {"000001", 1, 0, 1, 1, 1},  // same code, each market its own
      {"600000", 0, 0, 1, 0, 1},  {"ABC", 0, 0, 1, 0, 2},     // without regard to case
      {"if2403", 2, 0, 1, 2, 1},  {"600000", 1, 0, 0, 1, -1},
      {"600000", 1, 1, 1, 0, 1},  // found in another market: the market follows
      {"M05", 0, 1, 1, 3, 1},     {"M05", 4, 1, 0, 4, -1},    // market out of range
      {"", 0, 1, 0, 0, -1},       {"60000", 0, 1, 0, 0, -1},  {"6000000", 0, 1, 0, 0, -1},
      {"600000000000", 0, 1, 0, 0, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << " in " << c.market);
    uint16_t market = c.market;
    STKPTR ref;
    EXPECT_EQ(FindStockRef(c.code, &market, &ref, c.searchAll), c.found);
    EXPECT_EQ(market, c.marketAfter);
    uint16_t again = c.market;
    STKINFO *info = LookupStock(c.code, &again, c.searchAll);
    EXPECT_EQ(info != nullptr, c.found == 1);
    if (!c.found) continue;
    EXPECT_EQ(+ref.market, c.marketAfter);
    EXPECT_EQ(+ref.stock, c.stock);
    EXPECT_EQ(info, GetStockInfo(ref));
    EXPECT_EQ(MarketTable.markets[c.marketAfter]->FindStockIndex(c.code), c.stock);
  }
  uint16_t market = 0;
  EXPECT_EQ(FindStockRef(nullptr, &market, nullptr, 1), 0);

  uint32_t from = 1;
  EXPECT_EQ(FindStockFromMarket("000001", &from), &MarketTable.markets[1]->m_stocks[1]);
  EXPECT_EQ(from, 1u);
  from = 2;
  EXPECT_EQ(FindStockFromMarket("000001", &from), nullptr);  // only upwards
  from = 0;
  EXPECT_EQ(FindStockFromMarket("m01", &from), &MarketTable.markets[3]->m_stocks[0]);
  EXPECT_EQ(from, 3u);
  EXPECT_EQ(FindStockInMarket("000001", 9), nullptr);
  EXPECT_EQ(MarketTable.markets[0]->FindStock(nullptr), nullptr);
  EXPECT_EQ(MarketTable.markets[0]->FindStockIndex("none"), -1);
}

TEST_F(MarketTableTest, AlternativeCodesOfFuturesContracts) {
  markets_.Write(box_);
  TDataIO io(nullptr);
  struct Case {
    const char *text;
    int market;
    int stock;  // -1: none
  } cases[] = {
      {"AB1203", 2, 1}, {"ab1203", 2, 1}, {"AB203", 2, 1},  // kind 2, six characters: short form too
      {"CD1203", 2, 2}, {"CD203", 2, -1},                  // kind 1 has no short form
      {"CU203", 2, 3},  {"CU03", 2, -1},                   // a five-character code has none
      {"", 2, -1},      {"AB1203", 0, -1},                 // market without extended codes
      {"AB1203", 9, -1}, {"AB12034", 2, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " in " << c.market);
    STKINFO *e = FindStockByAltCode(c.text, c.market);
    if (c.stock < 0) {
      EXPECT_EQ(e, nullptr);
    } else {
      EXPECT_EQ(e, &MarketTable.markets[c.market]->m_stocks[c.stock]);
    }
  }
  EXPECT_EQ(FindStockByAltCode(nullptr, 2), nullptr);
}

TEST_F(MarketTableTest, StepsThroughAMarketWrappingRound) {
  markets_.Write(box_);
  TDataIO io(nullptr);
  TMarketData *sh = MarketTable.markets[0];
  struct Case {
    STKPTR current;
    const TMarketData *market;
    int next, prev;
  } cases[] = {
      {STKPTR(0, 0, 0), sh, 1, 3},
      {STKPTR(0, 0, 3), sh, 0, 2},
      {STKPTR(0, 0, 2), sh, 3, 1},
      {STKPTR(0, 0, 7), sh, 0, 3},  // beyond the loaded entries
      {STKPTR(1, 0, 1), sh, 1, 1},  // another market: unchanged
      {STKPTR(0, 0, 1), nullptr, 1, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.current.market) << "/" << int(c.current.stock));
    STKPTR result;
    EXPECT_EQ(NextStockInMarket(&result, c.market, c.current), &result);
    EXPECT_EQ(+result.stock, c.next);
    EXPECT_EQ(+result.market, c.current.market);
    EXPECT_EQ(+result.kind, STKPTR(c.current.market, 0, c.next).kind);
    PrevStockInMarket(&result, c.market, c.current);
    EXPECT_EQ(+result.stock, c.prev);
  }
}

TEST_F(MarketTableTest, IndexCodes) {
  markets_.Write(box_);
  TDataIO io(nullptr);
  struct Case {
    int market;
    const char *code;
    int major, index;
  } cases[] = {
      {0, "000001", 1, 1}, {0, "000300", 1, 1}, {0, "000002", 1, 0},  // listed, but no entry here
      {1, "000001", 0, 0},  // a share in market 1
      {1, "399001", 1, 1}, {1, "399006", 1, 0}, {0, "399001", 0, 0}, {0, "600000", 0, 0},
      {2, "IF", 0, 0},     // kind 0, but not market 0 or 1
      {0, "000001 ", 0, 0},  // a blank is part of the code
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.market << " " << c.code);
    EXPECT_EQ(IsMajorIndexCode(c.market, c.code), c.major);
    EXPECT_EQ(IsIndexStock(c.market, c.code), c.index);
  }
}

TEST_F(MarketTableTest, CodeIndexFollowsTheNameTable) {
  markets_.shStocks.push_back(MakeStock(0, 1, "600000", "duplicate"));
  markets_.Write(box_);
  TDataIO io(nullptr);
  TMarketData *sh = MarketTable.markets[0];
  EXPECT_EQ(sh->FindStockIndex("600000"), 1);  // the first of two wins

  // A code-table answer rewrites entries in place.
  std::memcpy(sh->m_stocks[1].code, "601111", 7);
  EXPECT_EQ(sh->FindStockIndex("601111"), -1);  // a miss can't tell without being told
  EXPECT_EQ(sh->FindStockIndex("600000"), 4);   // a hit is checked against the entry
  sh->InvalidateCodeIndex();
  EXPECT_EQ(sh->FindStockIndex("601111"), 1);

  // A longer table is noticed by its count.
  sh->m_stocks[5] = MakeStock(0, 1, "688001", "new");
  sh->m_loadedCount = 6;
  EXPECT_EQ(sh->FindStockIndex("688001"), 5);
  sh->m_loadedCount = 2;
  EXPECT_EQ(sh->FindStockIndex("688001"), -1);
  EXPECT_EQ(sh->FindStockIndex("000001"), 0);
}

// ---- Damaged and missing files ---------------------------------------------

TEST_F(MarketTableTest, DamagedTableFilesAreCutOrIgnored) {
  struct Case {
    const char *what;
    std::string file;
    std::string bytes;
    int shLoaded, zjLoaded;
    uint32_t firstQuote;  // prevClose of stock 0 of SH
    float firstEps;
    const char *zjCode3;
  } cases[] = {
      {"name table with a partial record", box_.Table(markets_.sh, "nametbl"),
       Bytes(markets_.shStocks.data(), 2 * 32 + 17), 2, 4, 1000, 0.5f, "CU203"},
      {"name table longer than the capacity", box_.Table(markets_.zj, "nametbl"),
       Bytes(markets_.zjStocks.data(), 4 * 32) + Bytes(markets_.zjStocks.data(), 4 * 32), 4, 6, 1000, 0.5f,
       "CU203"},
      {"empty name table", box_.Table(markets_.sh, "nametbl"), "", 0, 4, 0, 0.0f, "CU203"},
      {"short extended names", box_.Table(markets_.zj, "nametble"), Bytes(markets_.zjCodes.data(), 3 * 7 + 4), 4,
       4, 1000, 0.5f, ""},
      {"quotes of a wrong size", box_.Table(markets_.sh, "real"),
       Bytes(markets_.shQuotes.data(), sizeof(REALQUOTE)) + "x", 4, 4, 0, 0.5f, "CU203"},
      {"quotes for more stocks than loaded", box_.Table(markets_.sh, "real"),
       Bytes(markets_.shQuotes.data(), 4 * sizeof(REALQUOTE)) + Bytes(markets_.shQuotes.data(), 4 * sizeof(REALQUOTE)),
       4, 4, 1000, 0.5f, "CU203"},
      {"finance of a wrong size", box_.Table(markets_.sh, "Finance"), Bytes(markets_.shFinance.data(), 35), 4, 4,
       1000, 0.0f, "CU203"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    markets_.Write(box_);
    box_.Write(c.file, c.bytes.data(), c.bytes.size());
    TDataIO io(nullptr);
    ASSERT_EQ(MarketTable.loadState, 0);
    TMarketData *sh = MarketTable.markets[0], *zj = MarketTable.markets[2];
    EXPECT_EQ(sh->m_loadedCount, c.shLoaded);
    EXPECT_EQ(zj->m_loadedCount, c.zjLoaded);
    EXPECT_EQ(+sh->m_quotes[0].prevClose, c.firstQuote);
    EXPECT_EQ(+sh->m_finance[0].earningsPerShare, c.firstEps);
    EXPECT_EQ(std::string(zj->m_stocksEx[3].code, strnlen(zj->m_stocksEx[3].code, 7)), c.zjCode3);
    if (zj->m_loadedCount > 4) EXPECT_STREQ(zj->m_stocks[5].code, "IF2403");
    for (int i = sh->m_loadedCount; i < sh->m_stockCount; ++i) EXPECT_EQ(+sh->m_quotes[i].prevClose, 0u);
  }
}

TEST_F(MarketTableTest, UnterminatedFieldsAreCutToTheirFields) {
  STKINFO wild = MakeStock(0, 1, "", "");
  std::memset(wild.code, 'C', sizeof wild.code);
  std::memset(wild.name, 'N', sizeof wild.name);
  markets_.shStocks = {wild};
  std::memset(markets_.sz.name, 'M', sizeof markets_.sz.name);
  markets_.sz.kindCount = 200;  // only 15 kinds exist
  markets_.Write(box_);
  TDataIO io(nullptr);
  TMarketData *sh = MarketTable.markets[0];
  EXPECT_STREQ(sh->m_stocks[0].code, "CCCCCC");
  EXPECT_STREQ(sh->m_stocks[0].name, "NNNNNNNN");
  EXPECT_EQ(sh->FindStockIndex("cccccc"), 0);
  EXPECT_EQ(std::strlen(MarketTable.markets[1]->m_info.name), 14u);
  EXPECT_EQ(+MarketTable.markets[1]->m_info.kindCount, 15);
}

TEST_F(MarketTableTest, MarketDescriptionsBeyondTheTableAreIgnored) {
  std::vector<MKINFO> records;
  for (int i = 0; i < 50; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "M%02d", i);
    records.push_back(MakeMarket(name, "m", 3, 2));
    box_.WriteTable(records.back(), "nametbl", std::vector<STKINFO>{MakeStock(i, 0, name, name)});
  }
  std::string bytes = Bytes(records.data(), records.size() * sizeof(MKINFO));
  {
    box_.Write("cfg/mkinfo.cfg", bytes.data(), bytes.size());
    TDataIO io(nullptr);
    EXPECT_EQ(MarketTable.loadState, 0);
    EXPECT_EQ(MarketTable.marketCount, 48);
    EXPECT_STREQ(MarketTable.markets[47]->m_stocks[0].code, "M47");
    uint16_t market = 0;
    EXPECT_EQ(LookupStock("M48", &market, 1), nullptr);
  }
  {
    box_.Write("cfg/mkinfo.cfg", bytes.data(), 3 * sizeof(MKINFO) - 1);  // a partial third record
    TDataIO io(nullptr);
    EXPECT_EQ(MarketTable.marketCount, 2);
    EXPECT_EQ(MarketTable.markets[2], nullptr);
  }
}

TEST_F(MarketTableTest, MissingFilesFailTheBuild) {
  testing_support::MessageTrace trace;
  HWND progress = trace.Create(0);
  {
    TDataIO io(progress);  // no mkinfo.cfg
    EXPECT_EQ(MarketTable.loadState, -1);
    EXPECT_EQ(boxes_.Count(), 0u);
  }
  markets_.Write(box_);
  std::remove(box_.Path(box_.Table(markets_.zj, "nametbl")).c_str());
  trace.Clear();
  {
    TDataIO io(progress);
    EXPECT_EQ(MarketTable.loadState, -1);
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, "市场信息不存在，不能脱机浏览。请连接服务器查看。  ");
    EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
    // With DownEach at its default every market counts as one to download
    // and is announced, even offline.
    EXPECT_EQ(trace.NumbersOf({WM_LOGIN_MARKET_SYNC, WM_LOGIN_FAILED, WM_LOGIN_DONE}, progress),
              (std::vector<UINT>{WM_LOGIN_MARKET_SYNC, WM_LOGIN_MARKET_SYNC, WM_LOGIN_MARKET_SYNC, WM_LOGIN_FAILED}));
  }
}

// ---- Allocation failures -----------------------------------------------------

int32_t g_refusedSize = -1;
bool RefuseOneSize(int32_t size) { return size == g_refusedSize; }

struct RefusalScope {
  explicit RefusalScope(int32_t size) {
    g_refusedSize = size;
    SetMallocRefusal(RefuseOneSize);
  }
  ~RefusalScope() { SetMallocRefusal(nullptr); }
};

TEST_F(MarketTableTest, AMarketWithoutItsArraysIsSkipped) {
  markets_.zj.stockCount = 777;  // a size no other array has
  markets_.Write(box_);
  {
    RefusalScope refuse(777 * int32_t(sizeof(REALQUOTE)));
    TDataIO io(nullptr);
    EXPECT_EQ(MarketTable.loadState, 0);
    EXPECT_EQ(MarketTable.markets[2], nullptr);
    ASSERT_NE(MarketTable.markets[3], nullptr);
    EXPECT_EQ(MarketTable.markets[3]->m_loadedCount, 2);
    EXPECT_EQ(GetFuturesMarketCount(), 1);
    EXPECT_EQ(GetStockInfo(STKPTR(2, 0, 1)), nullptr);
    EXPECT_EQ(+STKPTR(2, 0, 1).kind, 255);
    uint16_t market = 2;
    EXPECT_EQ(LookupStock("M01", &market, 1), &MarketTable.markets[3]->m_stocks[0]);
  }
  EXPECT_FALSE(box_.Exists(box_.Table(markets_.zj, "real")));
  EXPECT_TRUE(box_.Exists(box_.Table(markets_.dl, "real")));

  {
    RefusalScope refuse(777 * int32_t(sizeof(STKINFO)));
    TMarketData broken(5, markets_.zj);
    EXPECT_EQ(broken.m_error, kMarketAllocError);
    EXPECT_EQ(broken.m_quotes, nullptr);
    EXPECT_EQ(broken.Load(1, 0), 0);
    broken.ClearKindQuotes(0);
  }
}

TEST_F(MarketTableTest, NoMemoryForAMarketFailsTheBuild) {
  markets_.Write(box_);
  testing_support::MessageTrace trace;
  HWND progress = trace.Create(0);
  RefusalScope refuse(int32_t(sizeof(TMarketData)));
  TDataIO io(progress);
  EXPECT_EQ(MarketTable.loadState, -1);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "内存不足，初始化失败。  ");
  EXPECT_EQ(trace.NumbersOf({WM_LOGIN_MARKET_SYNC, WM_LOGIN_FAILED, WM_LOGIN_DONE}, progress),
            std::vector<UINT>{WM_LOGIN_FAILED});
}

// ---- Online build ------------------------------------------------------------

struct ServerDouble {
  bool connected = true;
  std::vector<int> codeTables, finance;
  int failCodeTablesOf = -1;
  int dropped = 0;

  void Install() {
    MarketTableServices &s = MarketServices();
    s.hasRequestClient = [this] { return connected; };
    s.downloadCodeTables = [this](TMarketData &m) {
      codeTables.push_back(m.m_market);
      if (m.m_market == failCodeTablesOf) return -1;
      for (int i = 0; i < 3 && i < m.m_stockCount; ++i) {
        char code[32];
        std::snprintf(code, sizeof code, "D%d%d", m.m_market, i);
        m.m_stocks[i] = MakeStock(m.m_market, 0, code, "dl");
      }
      return 3;
    };
    s.downloadFinance = [this](TMarketData &m) {
      finance.push_back(m.m_market);
      return 0;
    };
    s.dropRequestClient = [this] {
      ++dropped;
      connected = false;
    };
  }
};

TEST_F(MarketTableTest, OnlineBuildDownloadsWhatItMust) {
  markets_.Write(box_);
  box_.WriteText("user/SETTING.INI", "[Parameter]\nDownEach=0\n");
  std::remove(box_.Path(box_.Table(markets_.sh, "nametbl")).c_str());
  ServerDouble server;
  server.Install();
  testing_support::MessageTrace trace;
  HWND progress = trace.Create(0);
  TDataIO io(progress);
  EXPECT_EQ(MarketTable.loadState, 0);
  // Market 0 has no local table; 1 and 2 use theirs; 3 is always fetched.
  EXPECT_EQ(server.codeTables, (std::vector<int>{0, 3}));
  EXPECT_EQ(server.finance, (std::vector<int>{0}));
  EXPECT_EQ(MarketTable.markets[0]->m_loadedCount, 3);
  EXPECT_EQ(MarketTable.markets[0]->FindStockIndex("d02"), 2);
  EXPECT_EQ(MarketTable.markets[1]->m_loadedCount, 3);
  EXPECT_EQ(MarketTable.markets[3]->m_loadedCount, 3);
  // Online, quotes come from the servers: the local quote file is not read.
  EXPECT_EQ(+MarketTable.markets[0]->m_quotes[0].prevClose, 0u);
  std::vector<testing_support::TracedMessage> sync;
  for (const auto &m : trace.Messages())
    if (m.hwnd == progress && (m.message == WM_LOGIN_MARKET_SYNC || m.message == WM_LOGIN_DONE)) sync.push_back(m);
  ASSERT_EQ(sync.size(), 3u);
  EXPECT_EQ(sync[0].message, WM_LOGIN_MARKET_SYNC);
  EXPECT_EQ(sync[0].wParam, 4u);
  EXPECT_EQ(sync[0].lParam, 0);
  EXPECT_EQ(sync[1].lParam, 3);
  EXPECT_EQ(sync[2].message, WM_LOGIN_DONE);
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(MarketTableTest, FailedDownloadDropsTheClient) {
  markets_.Write(box_);
  ServerDouble server;
  server.failCodeTablesOf = 3;
  server.Install();
  testing_support::MessageTrace trace;
  HWND progress = trace.Create(0);
  TDataIO io(progress);
  EXPECT_EQ(MarketTable.loadState, -1);
  EXPECT_EQ(server.dropped, 1);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "网络故障，下载市场信息失败。  ");
  EXPECT_EQ(trace.Count(WM_LOGIN_FAILED, progress), 1u);
  EXPECT_EQ(trace.Count(WM_LOGIN_DONE, progress), 0u);
}

// The build on the login dialog's worker tells nothing and drops nothing:
// it stops before the next market once cancelled, and a failure waits for
// the GUI thread to tell it.
TEST_F(MarketTableTest, AWorkersBuildStopsWhenCancelledAndLeavesTheTellingToTheGuiThread) {
  markets_.Write(box_);
  struct Case {
    const char *name;
    int cancelIn;  // the market whose download sets the cancel, -1 none
    int failIn;    // the market whose download fails, -1 none
    int failure;
    std::vector<int> downloaded;
    std::vector<UINT> told;  // to the progress window
  } cases[] = {
      {"cancelled in market 0", 0, -1, kBuildCancelled, {0}, {WM_LOGIN_MARKET_SYNC}},
      {"cut off by the cancel", 1, 1, kBuildCancelled, {0, 1}, {WM_LOGIN_MARKET_SYNC, WM_LOGIN_MARKET_SYNC}},
      {"cancelled after the last market", 3, -1, kBuildCancelled, {0, 1, 2, 3},
       std::vector<UINT>(4, WM_LOGIN_MARKET_SYNC)},
      {"a failed download", -1, 3, kBuildDownloadFailed, {0, 1, 2, 3},
       {WM_LOGIN_MARKET_SYNC, WM_LOGIN_MARKET_SYNC, WM_LOGIN_MARKET_SYNC, WM_LOGIN_MARKET_SYNC, WM_LOGIN_FAILED}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.Clear();
    ServerDouble server;
    server.failCodeTablesOf = c.failIn;
    server.Install();
    std::atomic<bool> cancel{false};
    auto download = MarketServices().downloadCodeTables;
    MarketServices().downloadCodeTables = [&](TMarketData &m) {
      if (m.m_market == c.cancelIn) cancel = true;
      return download(m);
    };
    testing_support::MessageTrace trace;
    HWND progress = trace.Create(0);
    {
      TDataIO io(progress, cancel);
      EXPECT_EQ(io.Failure(), c.failure);
      EXPECT_EQ(MarketTable.loadState, -1);
      EXPECT_EQ(server.codeTables, c.downloaded);
      EXPECT_EQ(trace.NumbersOf({WM_LOGIN_MARKET_SYNC, WM_LOGIN_FAILED, WM_LOGIN_DONE}, progress), c.told);
      EXPECT_EQ(boxes_.Count(), 0u);
      EXPECT_EQ(server.dropped, 0);
      // The GUI thread's part.
      TellMarketBuildFailure(io.Failure());
      EXPECT_EQ(boxes_.Count(), c.failure == kBuildDownloadFailed ? 1u : 0u);
      EXPECT_EQ(server.dropped, c.failure == kBuildDownloadFailed ? 1 : 0);
    }
    MarketServices() = MarketTableServices{};
  }
}

// ---- Quotes ------------------------------------------------------------------

TEST_F(MarketTableTest, ClearingAKindKeepsOpenInterestOfFutures) {
  markets_.Write(box_);
  TDataIO io(nullptr);
  for (int m : {0, 2}) {
    TMarketData *md = MarketTable.markets[m];
    for (int i = 0; i < md->m_loadedCount; ++i) {
      md->m_quotes[i] = Quote(100 + i);
      md->m_priceHist[i].trades[0] = 7;
    }
  }
  ClearKindQuotes(MarketTable.markets[0], 1);  // stocks 1 and 2
  TMarketData *sh = MarketTable.markets[0];
  EXPECT_EQ(+sh->m_quotes[0].last, 101u);
  EXPECT_EQ(+sh->m_quotes[1].last, 0u);
  EXPECT_EQ(+sh->m_quotes[1].amount, 0.0f);
  EXPECT_EQ(+sh->m_priceHist[2].trades[0], 0u);
  EXPECT_EQ(+sh->m_priceHist[3].trades[0], 7u);
  // The whole array goes to the file, loaded or not.
  EXPECT_EQ(box_.Read(box_.Table(markets_.sh, "real")), Bytes(sh->m_quotes, 8 * sizeof(REALQUOTE)));

  TMarketData *zj = MarketTable.markets[2];
  zj->ClearKindQuotes(2);  // stocks 1 and 3
  EXPECT_EQ(+zj->m_quotes[1].last, 0u);
  EXPECT_EQ(+zj->m_quotes[1].amount, 10100.0f);  // open interest stays
  EXPECT_EQ(+zj->m_quotes[2].last, 103u);
  ClearKindQuotes(nullptr, 0);
}

TEST(BrokerQueue, CountsNeverPassTheFortySlots) {
  BROKERQUEUE q{};
  struct Case {
    uint16_t stored;
    int readable;
  } cases[] = {{0, 0}, {7, 7}, {40, 40}, {41, 40}, {0xFFFF, 40}};
  for (const Case &c : cases) {
    q.count[0] = c.stored;
    q.count[1] = c.stored;
    EXPECT_EQ(q.Count(0), c.readable) << c.stored;
    EXPECT_EQ(q.Count(1), c.readable) << c.stored;
  }
  EXPECT_EQ(q.Count(2), 0);
  EXPECT_EQ(q.Count(-1), 0);
}

}  // namespace
