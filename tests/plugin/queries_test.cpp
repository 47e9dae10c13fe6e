// Queries: the report files byte for byte in GBK (both account forms, money
// history with and without movements, trade history), the contract list
// with its month filter, GBK names and seats, positions, maximum volumes,
// password checks, the settlement statement and the margin-monitoring data.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "plugin/tradebridge.h"
#include "standins/simbroker/futures_contracts.h"
#include "testing/fake_clock.h"
#include "tests/plugin/trade_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

class QueryTest : public TradeTest {
 protected:
  void SetUp() override {
    TradeTest::SetUp();
    LogInOk();
  }
  // Waits for a list's end mark (or its error text).
  std::vector<Note> List(uint32_t code) {
    EXPECT_TRUE(WaitFor([&] {
      const auto notes = NotesOf(code);
      return !notes.empty() && (notes.back().value == 0 || notes.back().text);
    }));
    return NotesOf(code);
  }
  // The path and the two amounts of the last report.
  std::string ReportPath(double *first = nullptr, double *second = nullptr) {
    const Note note = Last(TN_QUERY_REPORT);
    const size_t end = note.raw.find('\0');
    if (first) memcpy(first, note.raw.data() + end + 1, sizeof *first);
    if (second) memcpy(second, note.raw.data() + end + 9, sizeof *second);
    return note.raw.substr(0, end);
  }
};

TEST_F(QueryTest, TheTradingAccountOfTodayAndOfAPastDate) {
  char today[] = "20240115", past[] = "20240112";
  ASSERT_EQ(QueryTradingAccount(today, 1), 0);
  double first = 0, second = 0;
  EXPECT_EQ(ReportPath(&first, &second), ".\\880001Account.txt");
  EXPECT_EQ(first, 500000);
  EXPECT_EQ(second, 500000);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6012||other#C#|880001|111111|20240115||");
  EXPECT_EQ(Read("880001Account.txt"),
            "\r\n 动态权益:       500000.00        可用资金:       500000.00\r\n"
            " 上日结存:       500000.00        当日出入金:          0.00\r\n\r\n"
            " 持仓盈亏:            0.00        平仓盈亏:            0.00\r\n"
            " 手续费:              0.00\r\n\r\n"
            " 买入冻结:            0.00        卖出冻结:            0.00\r\n"
            " 买入保证金:          0.00        卖出保证金:          0.00\r\n"
            " 总保证金:            0.00        动态风险:          0.0000");

  notes_.clear();
  ASSERT_EQ(QueryTradingAccount(past, 1), 0);
  EXPECT_EQ(ReportPath(&first, &second), ".\\880001Account.txt");
  EXPECT_EQ(first, 0);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6032||other#C#|880001|111111|20240112||");
  EXPECT_EQ(Read("880001Account.txt"),
            "\r\n 当日结存:       500000.00        可用资金:       500000.00\r\n"
            " 上日结存:       500000.00\r\n\r\n"
            " 持仓盈亏:            0.00        平仓盈亏:            0.00\r\n"
            " 手续费:              0.00\r\n"
            " 保证金:              0.00        风险:                0.00");
}

TEST_F(QueryTest, MoneyHistoryWithMovementsAndForAnEmptyPeriod) {
  char from[] = "20240101", to[] = "20240115";
  ASSERT_EQ(QueryMoneyHistory(from, to), 0);
  EXPECT_EQ(ReportPath(), ".\\880001Money.txt");
  const std::string money = Read("880001Money.txt");
  EXPECT_EQ(money.substr(0, 86), "\r\n   日期   | 流水号 |  币种  |     银行     |     出金     |     入金     |    摘要\r\n");
  EXPECT_EQ(money.substr(162), " 20240110 |     12 | 人民币 |     工商银行 |         0.00 |    100000.00 | 银行转入\r\n");

  notes_.clear();
  char emptyFrom[] = "20230101", emptyTo[] = "20230131";
  ASSERT_EQ(QueryMoneyHistory(emptyFrom, emptyTo), 0);
  EXPECT_EQ(ReportPath(), ".\\880001Money.txt");
  EXPECT_EQ(Read("880001Money.txt"), "\r\n 查询时段内无出入金记录。");
}

TEST_F(QueryTest, TodaysTradesAreListedAndAPeriodsGoIntoTheTradeReport) {
  ScopedFakeClock clock;  // the trade's time
  char contract[] = "cu2402", exchange[] = "SHFE", ref[13], error[232];
  ASSERT_EQ(OrderInsert(contract, exchange, 0, 1, '0', '0', '1', ref, error), 0);
  ASSERT_EQ(QueryTrade(nullptr, nullptr, 1), 0);
  const auto trades = List(TN_TRADES);
  ASSERT_EQ(trades.size(), 2u);
  const auto trade = Record<TB_TRADE>(trades[0]);
  EXPECT_STREQ(trade.InstrumentID, "cu2402");
  EXPECT_STREQ(trade.OrderRef, "1001");
  EXPECT_EQ(trade.Direction, '0');
  EXPECT_EQ(trade.OffsetFlag, '0');
  EXPECT_EQ(trade.HedgeFlag, '1');
  EXPECT_EQ(trade.Volume, 1);
  EXPECT_EQ(trade.Price, 69000);
  EXPECT_STREQ(trade.Text43, "T1");
  EXPECT_STREQ(trade.Text21, "SHFE");
  EXPECT_STREQ(trade.TradeTime, "10:00:00");

  char from[] = "20240101", to[] = "20240115";
  ASSERT_EQ(QueryTrade(from, to, 1), 0);
  EXPECT_EQ(ReportPath(), ".\\880001Trade.txt");
  EXPECT_EQ(NotesOf(TN_TRADES).size(), 2u);
  EXPECT_EQ(Read("880001Trade.txt"),
            "\r\n   日期      时间      合约  买卖  开平   成交价格  数量   手续费    投保  成交号\r\n\r\n"
            " 20240115  10:00:00  cu2402    买  开仓  69000.000     1     5.00    投机       1\r\n");
  notes_.clear();
  char old[] = "20230101";
  ASSERT_EQ(QueryTrade(old, old, 1), 0);
  EXPECT_EQ(ReportPath(), ".\\880001Trade.txt");
  EXPECT_EQ(Read("880001Trade.txt"), "\r\n 查询时段内无成交。");
}

TEST_F(QueryTest, ContractsOfThisMonthOnwardWithWholeGbkNamesAndTheirSeats) {
  broker_.LoadScript(
      "contract SHFE cu2312 name=过期 delivery=2312\n"
      "contract SHFE cu2401 name=沪铜2401 delivery=2401\n"
      "contract DCE a2405 name=豆\x81|一号 attr=7 tick=1 delivery=2405\n"
      "contract INE CU2409 name=铜 delivery=2409\n"
      "contract INE sc2409 name=原油 delivery=2409\n"
      "contract DCE y2405 name=豆粕主力合约2405 delivery=2405\n");
  ASSERT_EQ(QueryContract(), 0);
  const auto notes = List(TN_CONTRACT);
  std::vector<std::string> codes;
  for (size_t i = 0; i + 1 < notes.size(); ++i) codes.push_back(Record<TB_CONTRACT>(notes[i]).InstrumentID);
  // The built-in contracts, then the script's from this month on.
  std::vector<std::string> expected;
  for (const sim::FuturesContract &c : sim::kFuturesContracts)
    if (c.code) expected.push_back(c.code);
  const size_t own = expected.size();
  for (const char *code : {"cu2401", "a2405", "CU2409", "sc2409", "y2405"}) expected.push_back(code);
  EXPECT_EQ(codes, expected);
  ASSERT_EQ(notes.size(), own + 6);
  const auto gbk = Record<TB_CONTRACT>(notes[own + 1]);
  EXPECT_STREQ(gbk.InstrumentName, "豆\x81|一号");
  EXPECT_EQ(gbk.Attribute, 7);
  EXPECT_EQ(gbk.PriceTick, 1);
  EXPECT_EQ(gbk.Valid, 1);
  EXPECT_STREQ(Record<TB_CONTRACT>(notes[own + 4]).InstrumentName, "豆粕主力合约240");  // cut at 15 bytes
  EXPECT_STREQ(Record<TB_CONTRACT>(notes[4]).InstrumentID, "IF2402");
  EXPECT_EQ(Record<TB_CONTRACT>(notes[4]).PriceTick, 0.2);

  const char *exchanges[] = {"SHFE", "DCE", "CZCE", "CFFEX", "INE", ""};
  for (unsigned i = 0; i < 6; ++i) {
    char id[8] = "junk";
    GetExchangeID(i, id);
    EXPECT_STREQ(id, exchanges[i]) << i;
  }
  // The first contract of the close-today products names the exchange.
  char shfe[] = "shfe", ine[] = "INE";
  EXPECT_EQ(ProcessCloseToday(shfe), 1);
  EXPECT_EQ(ProcessCloseToday(ine), 0);
  // One seat query per exchange, in the table's order.
  std::vector<std::string> seats;
  for (const auto &line : NewLines())
    if (line.find("||6040||") != std::string::npos) seats.push_back(line.substr(line.rfind("111111|")));
  EXPECT_EQ(seats, (std::vector<std::string>{"111111|SHFE||", "111111|DCE||", "111111|CZCE||", "111111|CFFEX||",
                                             "111111|INE||"}));
}

// A delivery month out of all reason is far ahead, not a number that wraps
// below this month.
TEST_F(QueryTest, AHugeDeliveryMonthIsListedWithoutOverflow) {
  broker_.LoadScript("contract SHFE zz9999 name=远 delivery=99999999999\n"
                     "contract SHFE zz0001 name=负 delivery=-99999999999\n");
  ASSERT_EQ(QueryContract(), 0);
  std::vector<std::string> codes;
  for (const auto &note : List(TN_CONTRACT))
    if (note.value != 0) codes.push_back(Record<TB_CONTRACT>(note).InstrumentID);
  EXPECT_NE(std::find(codes.begin(), codes.end(), "zz9999"), codes.end());
  EXPECT_EQ(std::find(codes.begin(), codes.end(), "zz0001"), codes.end());
}

TEST_F(QueryTest, PositionsPostEachHeldSideAndTheSingleQueryOnlyTheAskedOne) {
  broker_.LoadScript("position 880001 cu2402 long=2 short=1 price=69000\n"
                     "position 880001 m2405 long=0 short=3 price=3300 hedge=1\n");
  ASSERT_EQ(QueryInvestorPosition(1), 0);
  const auto notes = List(TN_POSITIONS);
  ASSERT_EQ(notes.size(), 4u);
  std::vector<std::string> sides;
  for (size_t i = 0; i < 3; ++i) {
    const auto p = Record<TB_POSITION>(notes[i]);
    sides.push_back(std::string(p.InstrumentID) + p.PosiDirection + p.HedgeFlag + std::to_string(p.Volume));
  }
  EXPECT_EQ(sides, (std::vector<std::string>{"cu240221" "2", "cu240231" "1", "m240533" "3"}));
  EXPECT_EQ(Record<TB_POSITION>(notes[0]).HoldingAmount, 69000);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6014||other#C#|880001|111111|20240115|20240115|");

  char contract[] = "CU2402";
  ASSERT_EQ(QuerySinglePosition(contract, '3', '1', 1), 0);
  const auto single = List(TN_SINGLE_POSITION);
  ASSERT_EQ(single.size(), 2u);
  EXPECT_EQ(Record<TB_POSITION>(single[0]).PosiDirection, '3');
  EXPECT_EQ(Record<TB_POSITION>(single[0]).Volume, 1);
}

TEST_F(QueryTest, MaximumVolumesToOpenAndToClose) {
  broker_.LoadScript("position 880001 cu2402 long=2 short=0 price=69000\n");
  char contract[] = "cu2402", exchange[] = "SHFE";
  ASSERT_EQ(QueryMaxOrderVolume(contract, exchange, 69000, '0', '0', '1'), 0);
  auto result = Record<TB_MAXVOL>(Last(TN_MAX_ORDER_VOLUME));
  EXPECT_EQ(std::string(&result.Direction, 3), "001");
  // 431000 of funds left beside the position at 34500 of margin a lot.
  EXPECT_EQ(result.MaxVolume, 12);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6044||other#C#|880001|111111|cu2402|SHFE|69000.000|0|0|");

  // Closing needs the seats of the contract query.
  ASSERT_EQ(QueryContract(), 0);
  List(TN_CONTRACT);
  NewLines();
  notes_.clear();
  ASSERT_EQ(QueryMaxOrderVolume(contract, exchange, 69000, '1', '1', '1'), 0);
  result = Record<TB_MAXVOL>(Last(TN_MAX_ORDER_VOLUME));
  EXPECT_EQ(result.OffsetFlag, '1');
  EXPECT_EQ(result.MaxVolume, 2);
  EXPECT_EQ(NewLines().at(0),
            std::string(kHead) + "6068||other#C#|880001|111111|cu2402|SHFE|69000.000|1|0|8800101||");
}

TEST_F(QueryTest, PasswordChecksNeedNoRequestAndAChangeTakesEffect) {
  const struct {
    unsigned kind;
    const char *old, *fresh, *refusal;
  } refusals[] = {
      {0, "111111", "123456789", "新密码长度不能超过 8 位。"},
      {2, "111111", "1234", "需修改的密码的类型不正确。"},
      {0, "111112", "1234", "输入的“当前密码”不正确。"},
  };
  for (const auto &r : refusals) {
    std::string old = r.old, fresh = r.fresh;
    ASSERT_EQ(ChangePassword(r.kind, old.data(), fresh.data()), 0);
    EXPECT_EQ(Last(TN_PASSWORD_CHANGED, true).bytes, r.refusal);
    notes_.clear();
  }
  EXPECT_TRUE(NewLines().empty());

  char old[] = "111111", eight[] = "12345678";
  ASSERT_EQ(ChangePassword(0, old, eight), 0);
  EXPECT_EQ(Last(TN_PASSWORD_CHANGED).value, 0);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6023||other#C#|880001|111111|12345678|");
  char password[41];
  GetInvestor(nullptr, nullptr, password);
  EXPECT_STREQ(password, "12345678");
  // Later lines carry the new password.
  ASSERT_EQ(QueryOrder(1), 0);
  List(TN_ORDERS);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6019||other#C#|880001|12345678|20240115|20240115|");

  notes_.clear();
  char funds[] = "222222", wrong[] = "000000", fresh[] = "abc";
  ASSERT_EQ(ChangePassword(1, funds, fresh), 0);
  EXPECT_EQ(Last(TN_PASSWORD_CHANGED).value, 1);
  ASSERT_EQ(ChangePassword(1, wrong, fresh), 0);
  EXPECT_EQ(Last(TN_PASSWORD_CHANGED, true).bytes, "原密码不正确");
}

TEST_F(QueryTest, TheStatementIsWrittenPacketByPacketAndConfirmed) {
  Write("880001settle.tmp", "an old statement\r\n");
  char date[] = "20240115";
  ASSERT_EQ(QuerySettlementInfo(date, 3, 1), 0);
  const Note note = Last(TN_SETTLEMENT_INFO);
  EXPECT_STREQ(note.raw.c_str(), ".\\880001settle.tmp");
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6072||other#C#|880001|111111|3|20240115|");
  const std::string statement = Read("880001settle.tmp");
  EXPECT_EQ(statement.substr(0, 12), "交易结算单\r\n");
  EXPECT_NE(statement.find("\r\n客户号: 880001    客户名称: 张三    日期: 20240115\r\n"), std::string::npos);
  EXPECT_EQ(statement.find("old"), std::string::npos);

  ASSERT_EQ(SettlementInfoConfirm(), 0);
  EXPECT_EQ(Last(TN_SETTLEMENT_CONFIRMED).value, 0);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6071||other#C#|880001|111111");
}

TEST_F(QueryTest, TheMarginMonitoringLoginData) {
  ASSERT_EQ(QueryCFMMC(), 0);
  const auto data = Record<TB_CFMMC>(Last(TN_CFMMC));
  EXPECT_STREQ(data.CompanyID, "0001");
  EXPECT_STREQ(data.AccountID, "880001");
  EXPECT_EQ(data.KeyID, 12345);
  EXPECT_STREQ(data.Password, "abcdef");
}

// The quote record as the terminal reads it: the contract, then the last,
// bid and ask prices in thousandths.
struct QuoteHead {
  char InstrumentID[32];
  int32_t Prices[3];
};

TEST_F(QueryTest, AQuotesPricesInThousandthsHeldToWhatTheFieldHolds) {
  const struct {
    double price;
    int32_t last;
  } cases[] = {
      {69000.5, 69000500},
      {1e12, std::numeric_limits<int32_t>::max()},
      {-1e12, std::numeric_limits<int32_t>::min()},
  };
  char contract[] = "cu2402", exchange[] = "SHFE";
  size_t seen = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.price);
    broker_.SetPrice("cu2402", c.price);
    ASSERT_EQ(QueryQuote(contract, exchange, 1), 0);
    ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_QUOTE).size() > seen; }));
    const Note note = NotesOf(TN_QUOTE).back();
    seen = NotesOf(TN_QUOTE).size();
    ASSERT_FALSE(note.text) << note.bytes;
    const auto quote = Record<QuoteHead>(note);
    EXPECT_STREQ(quote.InstrumentID, "cu2402");
    EXPECT_EQ(quote.Prices[0], c.last);
  }
}

}  // namespace
}  // namespace plugin_test
