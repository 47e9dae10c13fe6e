// The settlement statement parsers: a small statement of each layout parsed
// into the report's arrays and compared with a golden dump, and the cases
// where a layout's rules meet odd input.
#include <gtest/gtest.h>

#include <string>

#include "testing/market_fixture_min.h"
#include "tests/trading/report_fixture.h"
#include "trading/accountreport.h"

using report_test::DumpJson;
using report_test::ExpectGolden;
using report_test::WriteFile;

namespace {

// Layout A: '|' columns; an opening balance, margin and position profit of
// 0.00 on a flat account.
const char *const kLayoutA =
    "客户号：100200    客户名称：李四\n"
    "日期：20240108\n"
    "期初结存：       0.00   上日余额： 300.00\n"
    "出 入 金：    2000.00   期末结存：    52000.00   可用资金：   40000.00\n"
    "手 续 费：      12.00   保证金占用：     0.00   基础保证金：  7.00\n"
    "平仓盈亏：     500.00   质押金：  9.00\n"
    "持仓盯市盈亏：     0.00\n"
    "成交记录\n"
    "|成交日期|交易所|品种|交割期|买卖|投保|成交价|手数|成交额|开平|手续费|平仓盈亏|成交序号|\n"
    "-----------------------------------------------------------\n"
    "| 20240108 | 大商所 | m | 2405 | 买 | 投 | 3300 | 2 | 66000 | 开仓 | 4.00 | 0 | T001 |\n"
    "| 20240108 | 大商所 | m | 2405 | 卖出 | 投机 | 3350 | 1 | 33500 | 平仓 | 2.00 | 500.00 | T002 |\n"
    "|共2条|\n"
    "平仓明细\n"
    "|平仓日期|交易所|品种|交割期|开仓日期|买卖|手数|开仓价|昨结算|成交价|平仓盈亏|\n"
    "| 20240108 | 大商所 | m | 2405 | 20240105 | 卖 | 1 | 3300 | 3300 | 3350 | 500.00 |\n"
    "|共1条|\n"
    "持仓汇总\n"
    "|品种|交割期|买持|买均价|卖持|卖均价|昨结算|结算价|持仓盯市盈亏|保证金|投保|\n"
    "| m | 2405 | 1 | 3300 | 0 | 0 | 3300 | 3300 | 0.00 | 0.00 | 投 |\n"
    "|共1条|\n";

// Layout B, the system's own: blank columns; a contract longer than its
// field and a direction whose cut falls inside a character.
const char *const kLayoutB =
    "                    交易结算单\n"
    "客户号:880001    客户名称:张三\n"
    "日  期:20240108\n"
    "上日结存: 1000000.00    当日结存: 1012345.00    可用资金: 900000.00\n"
    "出入金: 5000.00    客户权益: 1012345.00    风险度: 10.5%\n"
    "手续费: 25.50    保证金占用: 112345.00    追加保证金: 0.00\n"
    "平仓盈亏: 3000.00    交割保证金: 0.00    追加保证金: 0.00\n"
    "成交记录\n"
    "成交日期 交易所 品种 交割期 买卖 成交价 手数 开平 成交额 手续费 投保 平仓盈亏\n"
    "20240108 上期所 cu 2405 卖 70500 1 平仓 352500 5.10 投 3000\n"
    "20240108 上期所 abcdefghijklmnop qrstuvwxyz 卖出 70000 2 开仓 700000 10.20 投机 0\n"
    "共 2 条\n"
    "平仓明细\n"
    "平仓日期 交易所 品种 交割期 成交序号 买卖 成交价 开仓日期 开仓价 手数 昨结算 平仓盈亏\n"
    "20240108 上期所 cu 2405 001 卖 70500 20240105 69900 1 69800 3000\n"
    "共 1 条\n"
    "持仓汇总\n"
    "交易所 品种 交割期 买持 买均价 卖持 卖均价 昨结算 结算价 持仓盈亏 浮动盈亏 保证金 投保\n"
    "上期所 cu 2405 2 70000 0 0 69800 70200 2000 2000 70200 投\n"
    "上期所 al 2405 0 0 1 19000 19100 19050 -500 -500 9500 投\n"
    "共 2 条\n";

// Layout B, a day without positions or trades and with an empty date.
const char *const kLayoutBFlat =
    "客户号:880001    客户名称:张三\n"
    "日  期:\n"
    "上日结存: 1012345.00    当日结存: 1012345.00    可用资金: 1012345.00\n"
    "出入金: 0.00    客户权益: 1012345.00    风险度: 0%\n"
    "持仓汇总\n"
    "交易所 品种 交割期 买持 买均价 卖持 卖均价 昨结算 结算价 持仓盈亏 浮动盈亏 保证金 投保\n"
    "共 0 条\n";

// Layout C with the long headers; the fee stands far out on a padded row.
std::string LayoutCLong() {
  const std::string pad(220, ' ');
  return "客户帐单_交易编码\n"
         "资产帐号      客户名称    日期        币种\n"
         "----------------------------------------\n"
         "300400        王五        20240108    人民币\n"
         "客户帐单_资金清单\n"
         "期初结存   入金    出金   手续费  平仓盈亏 期末结存  可用资金  持仓盈亏 保证金  风险度  其它\n"
         "━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━━\n"
         "100000.00  0.00  500.00  20.00  300.00  99780.00  80000.00  0.00  19780.00  19.8%  0.00\n"
         "成交记录\n"
         "成交日期  交易所  合约  成交编号  买卖  成交价  手数  成交金额  开平  手续费\n"
         "------\n"
         "20240108  郑商所  SR405  C001  卖  6400  2  128000  平仓" +
         pad + "10.00\n" +
         "合计\n"
         "平仓盈亏单\n"
         "平仓日期  交易所  合约  平仓编号  买卖  平仓价  开仓价  手数  昨结算  平仓盈亏  备注  开仓日期\n"
         "20240108  郑商所  SR405  C001  卖  6400  6385  2  6390  300.00  无  20240105\n"
         "合计\n"
         "持仓盈亏单\n"
         "成交编号  合约  买持  买均价  卖持  卖均价  结算价  昨结算  持仓盈亏  保证金\n"
         ".P001  SR405  1  6390  0  0  6400  6390  100.00  19780.00\n"
         "合计\n";
}

// Layout C with the short headers.
const char *const kLayoutCShort =
    "客户帐单_资金清单\n"
    "上日权益  入金  出金  手续费  平仓盈亏  期末权益  可用资金  持仓盈亏  保证金  风险度  其它\n"
    "5000.00  1000.00  0.00  3.00  -40.00  5957.00  5000.00  0.00  957.00  16%  0\n"
    "成交记录\n"
    "成交日期  交易所  合约  成交编号  买卖  成交价  手数  开平  手续费\n"
    "20240109  上期所  rb2405  S1  买  3900  1  平仓  3.00\n"
    "合计\n"
    "平仓盈亏单\n"
    "平仓日期  交易所  合约  买卖  平仓价  开仓价  手数  昨结算  平仓盈亏  备注  开仓日期\n"
    "20240109  上期所  rb2405  买  3900  3860  1  3880  -40.00  无  20240108\n"
    "合计\n"
    "持仓盈亏单\n"
    "合约  买持  买均价  卖持  卖均价  结算价  昨结算  持仓盈亏  保证金\n"
    "rb2405  0  0  1  3850  3890  3880  -400.00  957.00\n"
    "合计\n";

const char *const kLayoutCFloating =
    "交易结算单（浮动）\n"
    "期货客户帐单_交易编码\n"
    "资产帐号  客户名称  日期  币种\n"
    "500600  赵六  20240110  人民币\n"
    "期货客户帐单_资金清单\n"
    "上日帐面资金: 50000.00   期末权益: 50500.00\n"
    "期间入金: 0.00   期间出金: 200.00\n"
    "期间手续费: 6.00   持仓保证金: 4000.00\n"
    "浮动平仓盈亏: 706.00   可用资金: 46500.00\n"
    "成交记录单\n"
    "成交日期  交易所  合约  成交编号  买卖  投保  成交价  手数  成交金额  开平  手续费\n"
    "20240110  中金所  IF2402  F1  卖  投  3300  1  990000  平仓  6.00\n"
    "0\n"
    "平仓盈亏单\n"
    "平仓日期  交易所  合约  平仓编号  买卖  平仓价  开仓价  手数  昨结算  平仓盈亏\n"
    "20240110  中金所  IF2402  F1  卖  3300  3297.8  1  3299  660.00\n"
    "0\n"
    "持仓盈亏单\n"
    "成交编号  合约  买持  买均价  卖持  卖均价  结算价  昨结算  持仓盈亏  保证金\n"
    "F0  IF2402  1  3290  0  0  3300  3295  3000.00  4000.00\n"
    "合计\n";

class StatementParseTest : public testing::Test {
 protected:
  std::string Statement(const std::string &name, const std::string &text) {
    const std::string path = box_.Path("prog/" + name);
    WriteFile(path, text);
    return ".\\" + name;
  }
  market_fixture::MarketSandbox box_;
  TAccountReport report_;
};

TEST_F(StatementParseTest, EachLayoutFillsTheArraysAsTheGoldenDump) {
  struct Case {
    const char *golden;
    std::string text;
    void (TAccountReport::*parse)(const char *);
  } cases[] = {
      {"layout_a.json", kLayoutA, &TAccountReport::ParseStatementA},
      {"layout_b.json", kLayoutB, &TAccountReport::ParseStatementB},
      {"layout_c_long.json", LayoutCLong(), &TAccountReport::ParseStatementC},
      {"layout_c_short.json", kLayoutCShort, &TAccountReport::ParseStatementC},
      {"layout_c_floating.json", kLayoutCFloating, &TAccountReport::ParseStatementC},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.golden);
    report_.ClearArrays();
    report_.holderName[0] = report_.accountId[0] = '\0';
    (report_.*c.parse)(Statement("s.txt", c.text).c_str());
    ExpectGolden(DumpJson(report_), c.golden);
  }
}

TEST_F(StatementParseTest, LayoutAReadTwiceKeepsItsTradesAndPositions) {
  const std::string path = Statement("a.txt", kLayoutA);
  report_.ParseStatementA(path.c_str());
  report_.ParseStatementA(path.c_str());
  EXPECT_EQ(report_.dates.GetCount(), 1);
  EXPECT_EQ(report_.trades.GetCount(), 2);
  EXPECT_EQ(report_.closedLots.GetCount(), 1);
  // The second reading stopped at its date, before the positions.
  EXPECT_EQ(report_.positionsA.GetCount(), 1);
  EXPECT_EQ(report_.priceBegin.GetCount(), 2);  // opening and closing balance, once
}

TEST_F(StatementParseTest, LayoutAFlatCashLineStillTakesTheClosingBalance) {
  report_.ParseStatementA(Statement("a.txt",
                                    "日期：20240108\n"
                                    "出 入 金：       0.00   期末结存：    52000.00   可用资金：   0.00\n")
                              .c_str());
  EXPECT_EQ(report_.cashMoves.GetCount(), 0);
  ASSERT_EQ(report_.priceEnd.GetCount(), 1);
  EXPECT_EQ(report_.priceEnd.GetData()[0].value, 52000.0);
  ASSERT_EQ(report_.available.GetCount(), 1);
  EXPECT_EQ(report_.available.GetData()[0].value, 0.0);
}

TEST_F(StatementParseTest, LayoutALongLineIsCutAndItsRestPassedOver) {
  // The rest past the line buffer would read as a date line of its own.
  const std::string line = std::string(4095, 'x') + "日期：20240199\n";
  report_.ParseStatementA(Statement("a.txt", line + "日期：20240108\n").c_str());
  ASSERT_EQ(report_.dates.GetCount(), 1);
  EXPECT_STREQ(report_.dates.GetData()[0].date, "20240108");
}

TEST_F(StatementParseTest, LayoutBPositionProfitsAreThisStatementsSum) {
  report_.ParseStatementB(Statement("b1.txt", kLayoutB).c_str());
  ASSERT_EQ(report_.positionProfits.GetCount(), 1);
  EXPECT_EQ(report_.positionProfits.GetData()[0].value, 1500.0);
  report_.ParseStatementB(Statement("b2.txt", kLayoutBFlat).c_str());
  ASSERT_EQ(report_.positionProfits.GetCount(), 1);
  EXPECT_EQ(report_.positionProfits.GetData()[0].value, 0.0);
  EXPECT_EQ(report_.positions.GetCount(), 0);
  // The period opens with the first statement's opening balance, undated.
  ASSERT_EQ(report_.priceBegin.GetCount(), 3);
  EXPECT_STREQ(report_.priceBegin.GetData()[0].date, "");
  EXPECT_EQ(report_.priceBegin.GetData()[0].value, 1000000.0);
  EXPECT_STREQ(report_.priceBegin.GetData()[1].date, "20240108");
}

TEST_F(StatementParseTest, AStatementCutInsideASectionLeavesTheNextOneAlone) {
  report_.ParseStatementB(Statement("cut.txt", "日  期:20240108\n成交记录\n").c_str());
  report_.ParseStatementB(Statement("next.txt", "日  期:20240109\n2 this line is no trade\n").c_str());
  EXPECT_EQ(report_.trades.GetCount(), 0);
  report_.ParseStatementA(Statement("cutA.txt", "日期：20240110\n成交记录\n").c_str());
  report_.ParseStatementA(Statement("nextA.txt", "日期：20240111\n|x|y|\n").c_str());
  EXPECT_EQ(report_.trades.GetCount(), 0);
}

TEST_F(StatementParseTest, AMissingFileAddsNothing) {
  report_.ParseStatementA(".\\missing.txt");
  report_.ParseStatementB(".\\missing.txt");
  report_.ParseStatementC(".\\missing.txt");
  EXPECT_EQ(DumpJson(report_), DumpJson(TAccountReport()));
}

TEST(StatementText, BlanksAndLabels) {
  char out[64];
  EXPECT_EQ(RemoveBlanks(out, " a b\tc "), 3);
  EXPECT_STREQ(out, "abc");
  CollapseBlanks('|', out, "a   b \t c");
  EXPECT_STREQ(out, "a|b|c");
  // Never half a character: "日期：" is 6 bytes, then 4 bytes of room.
  CopyAfterLabel(out, 5, "日期：中文字", 6, 20);
  EXPECT_STREQ(out, "中文");
  CopyAfterLabel(out, 4, "日期：中文字", 6, 20);
  EXPECT_STREQ(out, "中");
  CopyAfterLabel(out, sizeof out, "日期", 6, 20);
  EXPECT_STREQ(out, "");
}

}  // namespace
