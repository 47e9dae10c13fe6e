#include "views/reportcolumns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "testing/fake_clock.h"
#include "testing/report_world.h"
#include "views/viewservices.h"

using testing_support::ReportWorld;

namespace {

// The world with a plain quote on every instrument.
struct ColumnWorld {
  ColumnWorld() {
    for (int m = 0; m < 4; ++m)
      for (int s = 0; s < MarketTable.markets[m]->m_loadedCount; ++s) world_.PutQuote(m, s);
  }
  std::string Text(STKPTR stock, int column, int *color = nullptr) {
    ReportCellText cell;
    FormatReportCell(stock, column, 7, &cell);
    if (color) *color = cell.color;
    std::string text = cell.text;
    if (cell.pair) text += std::string("|") + cell.second;
    return text;
  }

  ScopedFakeClock clock_;
  ReportWorld world_;
};

class ColumnTest : public testing::Test, public ColumnWorld {};

const STKPTR kBank(0, 0, 1);     // SH 600000
const STKPTR kShIndex(0, 0, 0);  // SH 000001, kind without order book
const STKPTR kBean(2, 0, 0);     // DL M01
const STKPTR kBond(3, 0, 0);     // ZJ 0401A, market 3 kind 3
const STKPTR kFutIndex(3, 0, 2); // ZJ IF01, kind without order book

struct CellCase {
  const char *what;
  STKPTR stock;
  int column;
  std::function<void(ReportWorld &)> change;
  const char *text;
  int color;
};

TEST(ColumnCells, TextAndColourOfEveryKindOfColumn) {
  auto noTrade = [](ReportWorld &w) { w.Quote(0, 1).last = 0; };
  auto noReference = [](ReportWorld &w) { w.Quote(0, 1).refPrice = 0; };
  const CellCase cases[] = {
      {"row number", kBank, 0, nullptr, "7", 18},
      {"name", kBank, 1, nullptr, "浦发", 47},
      {"reference", kBank, 2, nullptr, "10.00", 20},
      {"open above reference", kBank, 3, nullptr, "10.10", 21},
      {"low below reference", kBank, 5, nullptr, "9.80", 19},
      {"last", kBank, 6, nullptr, "10.20", 21},
      {"volume per unit", kBank, 7, [](ReportWorld &w) { w.Info(0, 1).volumeUnit = 100; }, "10", 48},
      {"turnover in a stock market is a big number", kBank, 8,
       [](ReportWorld &w) { w.Quote(0, 1).amount = 2.5e8f; }, "2.50亿", 49},
      {"open interest in futures per unit", kBean, 8, nullptr, "2000", 49},
      {"code", kBank, 9, nullptr, "600000", 47},
      {"extended code of a futures contract", kBean, 9, nullptr, "M2401", 47},
      {"change", kBank, 10, nullptr, "0.20", 21},
      {"change at the reference still prints", kBank, 10, [](ReportWorld &w) { w.Quote(0, 1).last = 10000; },
       "0.00", 20},
      {"change percent", kBank, 11, nullptr, "2.00", 21},
      {"amplitude", kBank, 12, nullptr, "7.00", 20},
      {"order ratio", kBank, 20, nullptr, "-16.67", 19},
      {"fast change, sign colour", kBank, 21, [](ReportWorld &w) { w.Quote(0, 1).fastChange = 0.004f; }, "+0.00",
       20},
      {"bid", kBank, 25, nullptr, "10.19", 21},
      {"ask volume", kBank, 29, nullptr, "7", 48},
      {"open interest change", kBean, 30, [](ReportWorld &w) { w.Quote(2, 0).prevOpenInterest = 1500; }, "500", 49},
      {"no open interest change outside futures", kBank, 30, nullptr, "---", 49},
      {"bid / ask pair", kBank, 32, nullptr, "10.19|10.21", 21},
      {"bid / ask volume pair with a missing half", kBank, 33, [](ReportWorld &w) { w.Quote(0, 1).ask[0].volume = 0; },
       "5|0", 48},
      {"columns without a rule", kBank, 15, nullptr, "---", 20},
      {"no trade: last", kBank, 6, noTrade, "---", 20},
      {"no trade: change", kBank, 10, noTrade, "---", 20},
      {"no trade: change percent", kBank, 11, noTrade, "---", 20},
      {"no trade: reference still shown", kBank, 2, noTrade, "10.00", 20},
      {"no average volume: volume ratio 1", kBank, 13, nullptr, "1.00", 20},
      {"no volume ratio in futures", kBean, 13, nullptr, "---", 20},
      {"reference 0: change percent, colour of the last price", kBank, 11, noReference, "---", 21},
      {"reference 0: amplitude", kBank, 12, noReference, "---", 20},
      {"reference 0: strength", kBank, 14, noReference, "---", 20},
      {"index without order book: bid", kShIndex, 25, nullptr, "---", 21},
      {"index without order book: ask", kShIndex, 26, nullptr, "---", 21},
      {"index without order book: bid volume", kShIndex, 28, nullptr, "---", 48},
      {"index without order book: order ratio", kShIndex, 20, nullptr, "---", 20},
      {"same kind in market 3 keeps its bid", kFutIndex, 25, nullptr, "10.19", 21},
      {"same kind in market 3 has no bid volume", kFutIndex, 28, nullptr, "---", 48},
      {"settlement in the instrument's decimals", kBond, 27,
       [](ReportWorld &w) { w.Quote(3, 0).settlement = 10100, w.Info(3, 0).decimals = 3; }, "10.100", 21},
      {"settlement exception of 0401 bonds", kBond, 27,
       [](ReportWorld &w) { w.Quote(3, 0).settlement = 10050, w.Info(3, 0).decimals = 3; }, "10.05", 21},
      {"no finance outside markets 0 and 1", kBean, 46, nullptr, "---", 20},
      {"float shares as a big number", kBank, 51, [](ReportWorld &w) { w.Finance(0, 1).floatShares = 50000; },
       "5.00亿", 49},
      {"turnover rate", kBank, 22, [](ReportWorld &w) { w.Finance(0, 1).floatShares = 20; }, "0.50", 20},
      {"earnings with four decimals", kBank, 47, [](ReportWorld &w) { w.Finance(0, 1).earningsPerShare = 0.125f; },
       "0.1250", 20},
      {"price earnings needs projected earnings", kBank, 23, nullptr, "---", 20},
      {"contribution before 000300 is known", kBank, 58,
       [](ReportWorld &w) { w.Finance(0, 1).indexWeight = 0.05f; }, "---", 21},
      {"time of the last change", kBank, 31, [](ReportWorld &w) { w.Quote(0, 1).time = 10 << 12 | 30 << 6 | 15; },
       "10:30:15", 18},
  };
  for (const CellCase &c : cases) {
    ColumnWorld fresh;
    if (c.change) c.change(fresh.world_);
    int color = -1;
    EXPECT_EQ(fresh.Text(c.stock, c.column, &color), c.text) << c.what;
    EXPECT_EQ(color, c.color) << c.what;
  }
}

TEST_F(ColumnTest, ValuesFollowTheirRules) {
  double v = -1;
  world_.Quote(0, 1).refPrice = 0;
  EXPECT_EQ(GetColumnValue(kBank.Word(), 11, &v), 0);
  EXPECT_EQ(v, 0.0);  // written as 0 when the reference is 0
  world_.PutQuote(0, 1);

  // Strength: the instrument's change against the change of its market's first instrument.
  world_.Quote(0, 0).last = 10100;  // +1 %
  ASSERT_EQ(GetColumnValue(kBank.Word(), 14, &v), 1);
  EXPECT_NEAR(v, 1.0, 1e-9);
  ReportCellText cell;
  FormatReportCell(kBank, 14, 1, &cell);
  EXPECT_STREQ(cell.text, "+1.00");
  EXPECT_EQ(cell.color, 21);
  world_.Quote(0, 0).refPrice = 0;  // that instrument has no reference: 0 as a value
  ASSERT_EQ(GetColumnValue(kBank.Word(), 14, &v), 1);
  EXPECT_EQ(v, 0.0);

  // Volume ratio over the kind's minutes.
  world_.Quote(0, 1).prevOpenInterest = 240;  // average day volume
  MarketTable.markets[0]->m_info.kinds[1].currentTradingMinute = 59;
  const int minutes = MarketTable.markets[0]->m_info.kinds[1].minutesPerDay;
  ASSERT_EQ(GetColumnValue(kBank.Word(), 13, &v), 1);
  EXPECT_NEAR(v, minutes * 1000.0 / 240 / 60, 1e-9);

  // Contribution once the reference index is known.
  ViewDisplay().referenceIndexStock = 3;
  ViewDisplay().referenceIndexPrevClose = 3000000;  // 3000.000
  world_.Finance(0, 1).indexWeight = 0.05f;
  ASSERT_EQ(GetColumnValue(kBank.Word(), 58, &v), 1);
  EXPECT_NEAR(v, 0.02 * 0.05 * 3000, 1e-6);
  world_.Quote(0, 1).last = 9800;
  FormatReportCell(kBank, 58, 1, &cell);
  EXPECT_EQ(cell.color, 19);

  // Time is copied raw into the first four bytes.
  double raw = 0;
  world_.Quote(0, 1).time = 0x12345;
  ASSERT_EQ(GetColumnValue(kBank.Word(), 31, &raw), 1);
  uint32_t word = 0;
  std::memcpy(&word, &raw, sizeof word);
  EXPECT_EQ(word, 0x12345u);
}

TEST_F(ColumnTest, ReferencesOutsideTheMarketTableHaveNoValue) {
  double v = 0;
  EXPECT_EQ(GetColumnValue(4u << 16, 46, &v), 0);  // past SH's loaded entries
  EXPECT_EQ(GetColumnValue(0x00FF0007u, 6, &v), 0);  // no market 7
  EXPECT_EQ(FinanceOf(0, 1000), nullptr);
  EXPECT_EQ(QuoteOf(47, 0), nullptr);
  ReportCellText cell;
  FormatReportCell(STKPTR(), 6, 1, &cell);
  EXPECT_STREQ(cell.text, "---");
}

TEST(CompareColor, EqualUpDownAndSign) {
  EXPECT_EQ(CompareColorNumber(0, 500), 20);
  EXPECT_EQ(CompareColorNumber(0, -5), 20);
  EXPECT_EQ(CompareColorNumber(7, 7), 20);
  EXPECT_EQ(CompareColorNumber(8, 7), 21);
  EXPECT_EQ(CompareColorNumber(6, 7), 19);
  EXPECT_EQ(CompareColorNumber(-1, 7), 19);  // signed comparison
  EXPECT_EQ(SignColorNumber(-0.001), 19);
  EXPECT_EQ(SignColorNumber(0.0), 20);
  EXPECT_EQ(SignColorNumber(0.009), 20);
  EXPECT_EQ(SignColorNumber(0.01), 21);
}

TEST(BigNumber, Units) {
  const struct {
    double value;
    const char *text;
  } cases[] = {{1.5e12, "1.50万亿"}, {2.5e8, "2.50亿"}, {-2e8, "-2.00亿"}, {12345, "1.23万"}, {9999, "9999.00"}, {0, "0.00"}};
  for (const auto &c : cases) {
    char out[32];
    FormatBigNumber(c.value, out, sizeof out);
    EXPECT_STREQ(out, c.text) << c.value;
  }
}

TEST(HotKeyText, FlagsAndTypedKeys) {
  const struct {
    uint32_t flags;
    const char *keys;
    const char *text;
  } cases[] = {
      {0, "", ""},
      {8, "", "ENTER"},
      {8, "61", "61"},
      {1 | 0x10000000, "", "CTRL+F12"},
      {0xF, "", "CTRL+ALT+SHIFT"},
      {0xD, "", "CTRL+ALT"},
      {0xB, "", "CTRL+SHIFT"},
      {0xE, "", "ALT+SHIFT"},
      {9, "", "CTRL"},
      {0xC, "", "ALT"},
      {0xA, "", "SHIFT"},
      {1, "M", "CTRL+M"},
      {4, "Z", "ALT+Z"},
      {2 | 0x800, "", "SHIFT+PAGEDOWN"},
      {0x10 | 0x20, "", "TAB"},  // the lowest key bit names the key
      {0x20000, "", "F1"},
      {0x40000, "", "F2"},
      {0x20000000, "", "ESC"},
      {0x10000, "X", "SPACE"},
  };
  for (const auto &c : cases) {
    char out[64];
    FormatHotKeyText(c.flags, c.keys, out);
    EXPECT_STREQ(out, c.text) << std::hex << c.flags;
  }
}

// ---- Blocks --------------------------------------------------------------

TEST_F(ColumnTest, BlockStepping) {
  BLOCK *dl = world_.Block("大连");
  ASSERT_NE(dl, nullptr);
  ASSERT_EQ(dl->memberCount, 4);
  const STKPTR first(2, 0, 0), last(2, 0, 3);
  EXPECT_EQ(NextStockInBlock(dl->blockId, first).stock, 1);
  EXPECT_EQ(NextStockInBlock(dl->blockId, last).stock, 0);  // wraps
  EXPECT_EQ(PrevStockInBlock(dl->blockId, first).stock, 3);
  EXPECT_EQ(NextStockInBlock(dl->blockId, kBank).Word(), kBank.Word());  // not a member
  EXPECT_EQ(NextStockInBlock(9999, first).Word(), first.Word());         // no block
}

TEST_F(ColumnTest, AddToUserBlockKeepsMembersAndTellsTheViews) {
  BLOCK *user = AllocBlock();
  ASSERT_NE(user, nullptr);
  user->kind = kBlockUser;
  std::vector<int> notices;
  std::vector<bool> paused;
  ViewServices().chooseBlock = [&](bool userBlocksOnly) {
    EXPECT_TRUE(userBlocksOnly);
    return int(user->blockId);
  };
  ViewServices().pauseKeyHook = [&](bool on) { paused.push_back(on); };
  ViewServices().notifyViews = [&](int code, uint32_t, intptr_t id, intptr_t) {
    notices.push_back(code * 1000 + int(id));
  };
  AddStockToUserBlock(kBank);
  AddStockToUserBlock(kBank);  // already there: unchanged, still told
  ASSERT_EQ(user->memberCount, 1);
  EXPECT_EQ(user->members[0].stock, 1);
  EXPECT_EQ(notices, (std::vector<int>{10000 + user->blockId, 10000 + user->blockId}));
  EXPECT_EQ(paused, (std::vector<bool>{true, false, true, false}));  // around each dialog
  ViewServices().chooseBlock = [](bool) { return -1; };  // cancelled: nothing
  AddStockToUserBlock(kBean);
  EXPECT_EQ(notices.size(), 2u);
  ViewServices() = {};
}

// ---- Sorting ----------------------------------------------------------------

std::vector<int> Stocks(const std::vector<REPORTROW> &rows) {
  std::vector<int> out;
  for (const REPORTROW &r : rows) out.push_back(r.market * 100 + r.stock);
  return out;
}

REPORTROW Row(int market, int stock, int position) {
  REPORTROW r{};
  r.market = uint8_t(market);
  r.stock = uint16_t(stock);
  r.position = uint16_t(position);
  return r;
}

TEST_F(ColumnTest, PositionCodeAndFinanceSorts) {
  std::vector<REPORTROW> rows{Row(2, 3, 2), Row(0, 1, 0), Row(1, 2, 1), Row(2, 0, 0), Row(0, 3, 3)};
  SortRowsByPosition(rows.data(), int(rows.size()), 1);
  EXPECT_EQ(Stocks(rows), (std::vector<int>{1, 200, 102, 203, 3}));  // equal positions keep their order
  SortRowsByPosition(rows.data(), int(rows.size()), 0);
  EXPECT_EQ(Stocks(rows), (std::vector<int>{3, 203, 102, 1, 200}));

  // Market, then kind, then code: SH 000300 (kind 0) before SH 600000 (kind 1).
  SortRowsByCode(rows.data(), int(rows.size()), 1);
  EXPECT_EQ(Stocks(rows), (std::vector<int>{3, 1, 102, 203, 200}));  // C05 before M01
  SortRowsByCode(rows.data(), int(rows.size()), 0);
  EXPECT_EQ(Stocks(rows), (std::vector<int>{200, 203, 102, 1, 3}));
  // A row without a name entry leaves the rows as they are.
  std::vector<REPORTROW> broken{Row(2, 3, 0), Row(0, 7, 1), Row(0, 1, 2)};
  SortRowsByCode(broken.data(), 3, 1);
  EXPECT_EQ(Stocks(broken), (std::vector<int>{203, 7, 1}));

  world_.Finance(0, 1).netAssetsPerShare = 2;
  world_.Finance(0, 3).netAssetsPerShare = 5;
  world_.Finance(1, 2).netAssetsPerShare = -1;
  std::vector<REPORTROW> f{Row(0, 1, 0), Row(2, 0, 1), Row(1, 2, 2), Row(0, 3, 3)};
  SortRowsByFinance(f.data(), 4, 1, 46);  // descending; futures count 0
  EXPECT_EQ(Stocks(f), (std::vector<int>{3, 1, 200, 102}));
  SortRowsByFinance(f.data(), 4, 0, 46);
  EXPECT_EQ(Stocks(f), (std::vector<int>{102, 200, 1, 3}));
  SortRowsByFinance(f.data(), 4, 1, 55);  // not a finance column
  EXPECT_EQ(Stocks(f), (std::vector<int>{102, 200, 1, 3}));
}

TEST(SortByValue, OrderStabilityAndNaN) {
  std::vector<REPORTROW> rows;
  for (int i = 0; i < 6; ++i) rows.push_back(Row(0, i, i));
  std::vector<double> values{1.0, 3.0, NAN, 3.0, -2.0, 0.0};
  SortRowsByValue(rows.data(), values.data(), 6, 1);
  EXPECT_EQ(Stocks(rows), (std::vector<int>{1, 3, 0, 5, 4, 2}));
  EXPECT_EQ(values[0], 3.0);
  EXPECT_TRUE(std::isnan(values[5]));
  SortRowsByValue(rows.data(), values.data(), 6, 0);
  EXPECT_EQ(Stocks(rows), (std::vector<int>{4, 5, 0, 1, 3, 2}));
  SortRowsByValue(rows.data(), values.data(), 0, 1);  // nothing to do
  SortRowsByValue(rows.data(), values.data(), 1, 1);
  EXPECT_EQ(rows[0].stock, 4);
}

TEST(SortTopByValue, NBestInOrderEqualValuesKeepTheirOrder) {
  std::vector<STKPTR> stocks;
  for (int i = 0; i < 6; ++i) {
    STKPTR s;
    s.market = 0;
    s.stock = uint16_t(i);
    stocks.push_back(s);
  }
  std::vector<double> values{1, 5, 2, 5, 9, 0};
  SortTopByValue(stocks.data(), values.data(), 6, 3, 1);
  EXPECT_EQ(stocks[0].stock, 4);
  EXPECT_EQ(stocks[1].stock, 1);
  EXPECT_EQ(stocks[2].stock, 3);
  std::vector<double> before = values;
  SortTopByValue(stocks.data(), values.data(), 6, 0, 1);
  EXPECT_EQ(values, before);
  SortTopByValue(stocks.data(), values.data(), 6, 2, 0);
  EXPECT_EQ(values[0], 0);
  EXPECT_EQ(values[1], 1);
}

}  // namespace
