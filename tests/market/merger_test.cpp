#include "market/merger.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "market/dataio5.h"
#include "market/utildata.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;
using market_fixture::MarketSandbox;

namespace {

CMarketCombo Combo(std::initializer_list<std::pair<int, uint32_t>> units) {
  CMarketCombo combo;
  for (auto [market, start] : units) {
    CMarketComboUnit unit;
    unit.m_market = market;
    unit.m_startMinute = start;
    combo.m_units.push_back(unit);
  }
  return combo;
}

TEST(MarketComboTest, SelectsTheUnitActiveAtTheMinute) {
  struct Case {
    const char *what;
    CMarketCombo combo;
    int minute, market;
  } cases[] = {
      {"day unit", Combo({{3, 480}, {9, 1260}}), 600, 3},
      {"at its start", Combo({{3, 480}, {9, 1260}}), 480, 3},
      {"night unit", Combo({{3, 480}, {9, 1260}}), 1300, 9},
      {"after midnight", Combo({{3, 480}, {9, 1260}}), 120, 9},
      {"just before the day", Combo({{3, 480}, {9, 1260}}), 479, 9},
      {"next day's minutes", Combo({{3, 480}, {9, 1260}}), 1440 + 120, 9},
      {"1440 stays", Combo({{3, 480}, {9, 1260}}), 1440, 9},
      {"order of units does not matter", Combo({{9, 1260}, {3, 480}}), 600, 3},
      {"start 0 is no start", Combo({{1, 0}, {2, 600}}), 700, 2},
      {"start 0 as fallback only when greatest", Combo({{1, 0}, {2, 600}}), 500, 2},
      {"all at 0: the last", Combo({{1, 0}, {2, 0}, {5, 0}}), 700, 5},
      {"equal starts: the earlier", Combo({{1, 600}, {2, 600}}), 700, 1},
      {"equal fallback: the later", Combo({{1, 900}, {2, 900}}), 100, 2},
      {"no units", Combo({}), 700, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.combo.SelectUnitMarket(c.minute), c.market);
  }
  CMarketCombo combo = Combo({{3, 480}, {9, 1260}});
  EXPECT_EQ(combo.HasMarket(9), 1);
  EXPECT_EQ(combo.HasMarket(4), 0);
}

SYSTEMTIME Utc(WORD y, WORD m, WORD d, WORD h, WORD min) {
  SYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = m;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = min;
  return t;
}

// Five markets: a day and a night futures market of the same contracts
// (1 and 3), with a stock market (4) in their combo, and two others.
class MergerTest : public testing::Test {
 protected:
  MergerTest() : clock_(Utc(2024, 1, 15, 2, 0)) {
    UpdateCurrentUtcTime();
    MKINFO sh = MakeMarket("SH", "shd", 1, 4);
    AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO dl = MakeMarket("DL", "dlf", 2, 4);
    AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
    MKINFO zz = MakeMarket("ZZ", "zzd", 1, 4);
    AddKind(zz, "A股", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO dn = MakeMarket("DN", "dnf", 2, 4);
    AddKind(dn, "期货", {{1260, 1380}}, 1200, 1440);
    MKINFO hk = MakeMarket("HK", "hkd", 1, 4);
    AddKind(hk, "A股", {{570, 690}, {780, 900}}, 540, 960);
    box_.WriteMarketInfo({sh, dl, zz, dn, hk});
    box_.WriteTable(sh, "nametbl", std::vector<STKINFO>{MakeStock(0, 0, "M01", "同码")});
    box_.WriteTable(dl, "nametbl", std::vector<STKINFO>{MakeStock(1, 0, "M01", "豆粕"), MakeStock(1, 0, "M05", "豆粕05")});
    box_.WriteTable(dl, "nametble", std::vector<STKINFOEX>{MakeStockEx("M2401"), MakeStockEx("M2405")});
    box_.WriteTable(zz, "nametbl", std::vector<STKINFO>{MakeStock(2, 0, "M01", "同码")});
    box_.WriteTable(dn, "nametbl", std::vector<STKINFO>{MakeStock(3, 0, "M09", "夜09"), MakeStock(3, 0, "m01", "夜01")});
    box_.WriteTable(dn, "nametble", std::vector<STKINFOEX>{MakeStockEx("M2409"), MakeStockEx("M2401")});
    box_.WriteTable(hk, "nametbl", std::vector<STKINFO>{MakeStock(4, 0, "M05", "同码"), MakeStock(4, 0, "00700", "港")});
    box_.WriteText("cfg/MktMerge.ini",
                   "[Combo1]\nMarketNumber=3\nMarket1ID=4\nMarket1Time=0\nMarket2ID=1\nMarket2Time=480\n"
                   "Market3ID=3\nMarket3Time=1260\n"
                   "[Merge1]\nMarketNumber=2\nMarket1ID=0\nMarket2ID=2\n"
                   "[COMBOX]\nMarketNumber=2\nMarket1ID=2\nMarket1Time=0\nMarket2ID=9\nMarket2Time=600\n"
                   "[comboEmpty]\nMarketNumber=0\n"
                   "[Combo-neg]\nMarketNumber=-3\nMarket1ID=1\n");
    io_ = std::make_unique<TDataIO>(nullptr);
  }
  ~MergerTest() override { CMarketMerger::FreeInstance(); }

  STKINFO *Stock(int market, int index) { return &MarketTable.markets[market]->m_stocks[index]; }

  ScopedFakeClock clock_;
  MarketSandbox box_;
  MessageBoxRecorder boxes_;
  std::unique_ptr<TDataIO> io_;
};

TEST_F(MergerTest, LoadsEveryComboSection) {
  ASSERT_EQ(MarketTable.marketCount, 5);
  CMarketMerger *merger = CMarketMerger::Instance();
  EXPECT_EQ(CMarketMerger::Instance(), merger);
  EXPECT_TRUE(merger->m_combos.empty());
  EXPECT_EQ(merger->LoadDefault(), 1);
  ASSERT_EQ(merger->m_combos.size(), 4u);  // Merge1 is no combo
  const CMarketCombo &first = merger->m_combos[0];
  ASSERT_EQ(first.m_units.size(), 3u);
  EXPECT_EQ(first.m_units[1].m_market, 1);
  EXPECT_EQ(first.m_units[1].m_startMinute, 480u);
  EXPECT_EQ(first.m_units[2].m_market, 3);
  EXPECT_EQ(merger->m_combos[1].m_units[1].m_market, 9);
  EXPECT_TRUE(merger->m_combos[2].m_units.empty());
  EXPECT_TRUE(merger->m_combos[3].m_units.empty());

  // Many sections (more names than the first buffer holds) and an absurd
  // unit count.
  std::string text = "[Combo0]\nMarketNumber=100000\nMarket1ID=3\n";
  for (int i = 1; i < 300; ++i) text += "[ComboNumber" + std::to_string(i) + "]\nMarketNumber=1\nMarket1ID=1\n";
  box_.WriteText("cfg/other.ini", text);
  EXPECT_EQ(merger->Load("..\\cfg\\other.ini"), 1);
  ASSERT_EQ(merger->m_combos.size(), 300u);
  EXPECT_EQ(merger->m_combos[0].m_units.size(), size_t(kMaxMarkets));
  EXPECT_EQ(merger->m_combos[0].m_units[0].m_market, 3);
  EXPECT_EQ(merger->m_combos[0].m_units[1].m_market, 0);  // absent keys read as 0
  EXPECT_EQ(merger->m_combos[299].m_units.size(), 1u);

  EXPECT_EQ(merger->Load("..\\cfg\\missing.ini"), 1);
  EXPECT_TRUE(merger->m_combos.empty());

  CMarketMerger::FreeInstance();
  EXPECT_TRUE(CMarketMerger::Instance()->m_combos.empty());
}

TEST_F(MergerTest, MapsMarketsAndInstruments) {
  CMarketMerger *merger = CMarketMerger::Instance();
  merger->LoadDefault();
  struct MarketCase {
    int market, minute, mapped;
  } markets[] = {
      {1, 600, 1},  {1, 1300, 3}, {3, 120, 3},  {3, 600, 1},  {1, 1440 + 120, 3},
      {4, 600, 1},                // a member that is never active itself
      {0, 1300, 0},               // in no combo
      {2, 700, 2},  {9, 700, 9},  // the active unit is no market of the table
      {-1, 600, -1},
  };
  for (const MarketCase &c : markets) {
    SCOPED_TRACE(testing::Message() << c.market << "@" << c.minute);
    EXPECT_EQ(merger->MapMarket(c.market, c.minute), c.mapped);
  }

  struct MergedCase {
    int a, b, merged;
  } pairs[] = {{1, 3, 1}, {3, 1, 1}, {4, 3, 1}, {1, 1, 1}, {2, 9, 1}, {1, 2, 0}, {0, 2, 0}, {5, 5, 0}};
  for (const MergedCase &c : pairs) {
    SCOPED_TRACE(testing::Message() << c.a << "+" << c.b);
    EXPECT_EQ(merger->AreMerged(c.a, c.b), c.merged);
  }

  struct StockCase {
    const char *what;
    STKINFO *entry;
    int minute;
    STKINFO *mapped;
  } stocks[] = {
      {"night contract", Stock(1, 0), 1300, Stock(3, 1)},  // codes compare without case
      {"the night market lacks it", Stock(1, 1), 1300, Stock(1, 1)},
      {"day", Stock(3, 1), 600, Stock(1, 0)},
      {"day market already", Stock(1, 0), 600, Stock(1, 0)},
      {"no combo", Stock(0, 0), 1300, Stock(0, 0)},
      {"active market not in the table", Stock(2, 0), 700, Stock(2, 0)},
      {"null", nullptr, 600, nullptr},
  };
  for (const StockCase &c : stocks) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(merger->MapStock(c.entry, c.minute), c.mapped);
  }

  // The first unit market with extended codes is DL (the stock market
  // before it has none).
  struct ComboCase {
    const char *what;
    const STKINFO *entry;
    const STKINFO *found;
  } combos[] = {
      {"night contract", Stock(3, 1), Stock(1, 0)},
      {"code the futures market lacks", Stock(3, 0), nullptr},
      {"stock market of the combo", Stock(4, 0), Stock(1, 1)},
      {"no combo", Stock(0, 0), nullptr},
      {"combo without a futures market", Stock(2, 0), nullptr},
      {"null", nullptr, nullptr},
  };
  for (const ComboCase &c : combos) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(merger->FindComboStock(c.entry), c.found);
  }
}

}  // namespace
