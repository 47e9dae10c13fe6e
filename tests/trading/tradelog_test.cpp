// The desk's trade log through the logger stand-in: the file's place, every
// snapshot record's line, lists closed by their empty record, the purge of
// old days, the open failure, the readable copies by category and one daily
// file shared with the plug-in's own binding.
#include "trading/tradelog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "core/netutil.h"
#include "plugin/tradelog.h"
#include "tests/trading/desk_fixture.h"

namespace trading_test {
namespace {

class TradeLogTest : public DeskTest {
 protected:
  TradeLogTest() { EXPECT_EQ(BindLoggerLibrary(), 1); }
  ~TradeLogTest() override { CloseTradeLog(desk_); }

  std::vector<std::string> Records(const std::string &name = "20240115.phl") const { return TradeLogRecords(name); }
  void Open() { ASSERT_EQ(OpenTradeLog(desk_, 20240115), 1); }
};

TEST_F(TradeLogTest, OptionsAreThirtyFourValuesEachEndingInABar) {
  Open();
  TradingOptions &o = desk_.options;
  o.ExpressOrder = true, o.Autopending1 = 2, o.DefaultPrice = 1, o.HedgeFlag = '3', o.PriceOffset = -2;
  o.TimeOut = 6, o.StopTrigger = 4, o.StopLPrice = 3, o.TimeOutS = 11, o.StopPPrice = 2, o.StopExpiredDefault = 0;
  LogTradeOptions(desk_);
  EXPECT_EQ(Records(), std::vector<std::string>{"3004|1|1|0|1|0|2|0|1|0|3|0|-2|6|1|0|0|4|3|0|11|1|0|1|1|2|0|11|1|0|0|"
                                                "0|0|0|0|"});
}

TEST_F(TradeLogTest, AQuoteSnapshotInterleavesTheRecentPricesAndReadsTheCodeInItsField) {
  Open();
  CContractInfo contract = Contract("CU2405");
  memcpy(contract.InstrumentID, "ABCDEFGH", 8);  // no NUL in the field
  REALQUOTE quote{};
  quote.last = 70120000, quote.bid[0] = {70110000, 12}, quote.ask[0] = {70130000, 7};
  PRICEHIST recent{};
  for (uint32_t i = 0; i < 5; ++i) recent.trades[i] = 1000 * (i + 1), recent.bids[i] = 10000 * (i + 1), recent.asks[i] = 100000 * (i + 1);
  char buffer[512];
  LogQuoteSnapshot(desk_, contract, quote, recent, buffer, sizeof buffer);
  const std::string expected =
      "ABCDEFGH|70120.000|70110.000|12|70130.000|7|1.000|10.000|100.000|2.000|20.000|200.000|3.000|30.000|300.000|"
      "4.000|40.000|400.000|5.000|50.000|500.000";
  EXPECT_EQ(Records(), std::vector<std::string>{"3003|" + expected});
  // A short buffer cuts the record instead of overrunning.
  char small[16];
  LogQuoteSnapshot(desk_, contract, quote, recent, small, sizeof small);
  EXPECT_EQ(Records().back(), "3003|" + expected.substr(0, 15));
}

TEST_F(TradeLogTest, ListsEndInAnEmptyRecordEvenWhenEmpty) {
  Open();
  LogPendingOrders(desk_);
  LogStopSettings(desk_);
  LogConditionOrders(desk_);
  EXPECT_EQ(Records(), (std::vector<std::string>{"3005|", "3006|", "3007|"}));
}

TEST_F(TradeLogTest, PendingStopAndConditionListsWriteTheirRecords) {
  Open();
  CKivoOrderField pending{}, broker{};
  strcpy(pending.InstrumentID, "M2401");
  pending.Direction = char('1' | 0x80), pending.OffsetFlag = '0', pending.OrderStatus[1] = 'p';
  pending.LimitPrice = 3050.5, pending.VolumeTotal = 4;
  broker = pending, broker.OrderStatus[1] = '3';
  desk_.orders.Add(broker);
  desk_.orders.Add(pending);
  LogPendingOrders(desk_);

  // Yesterday's and today's records of one side share a holder: written
  // once, by today's.
  StopOrder second{0, CTime32(), 1, nullptr, 3000, 0, 0, 0, 0, 0};
  StopOrder first{0, CTime32(), 2, &second, 2990.5, 5, 3100, 3010, 20240115, 0};
  StopOrderPointer shared{&first, 2}, empty{nullptr, 1};
  InvestorPosition_Lite yesterday{}, today{}, bare{};
  strcpy(yesterday.InstrumentID, "M2401"), yesterday.PosiDirection = '2', yesterday.HedgeFlag = '1';
  today = yesterday, yesterday.Attribute = 1, today.Attribute = 2;
  yesterday.Stops = today.Stops = &shared;
  bare = yesterday, bare.Stops = &empty;
  desk_.positions.Add(yesterday);
  desk_.positions.Add(today);
  desk_.positions.Add(bare);
  LogStopSettings(desk_);

  ConditionOrder atOpen{}, byPrice{};
  strcpy(atOpen.InstrumentID, "CU2405");
  atOpen.Direction = '0', atOpen.OffsetFlag = '0', atOpen.PriceSource = 1, atOpen.Ticks = 3;
  atOpen.TriggerKind = 2, atOpen.TriggerPrice = 70000, atOpen.PriceKind = 1, atOpen.TickOffset = 2;
  atOpen.CancelAfter = 30, atOpen.Reorder = 1, atOpen.Volume = 5, atOpen.Expiry = 20240115, atOpen.State = 1;
  atOpen.StopPrice = 69000, atOpen.Made = SYSTEMTIME{2024, 1, 1, 15, 9, 30, 5, 0};
  byPrice = atOpen, byPrice.TriggerKind = 0, byPrice.PriceKind = 2, byPrice.FixedPrice = 70100;
  desk_.conditions.Add(byPrice);
  desk_.conditions.Add(atOpen);
  LogConditionOrders(desk_);

  EXPECT_EQ(Records(), (std::vector<std::string>{
                           "3005|M2401|3050.500|1|0|4",
                           "3005|",
                           "3006|M2401|2|1|2|2990.500|5.000|3100.000|3010.000|20240115",
                           "3006|M2401|2|1|1|3000.000|0.000|0.000|0.000|0",
                           "3006|",
                           // Newest first; trigger kind 2 has zeros in fields 3 to 6.
                           "3007|CU2405|2|0|0|0.000|0|1|2|0.000|0|0|5|20240115|1|69000.000|0.000|0.000|30|1|0|2024|1|"
                           "15|9|30|5|0|0|0|0|0|0|0|",
                           "3007|CU2405|0|1|3|70000.000|0|2|0|70100.000|0|0|5|20240115|1|69000.000|0.000|0.000|0|0|0|"
                           "2024|1|15|9|30|5|0|0|0|0|0|0|0|",
                           "3007|",
                       }));
}

TEST_F(TradeLogTest, RecordsWithoutAnOpenLogAreDropped) {
  EXPECT_EQ(WriteTradeLog(desk_, TLOG_TEXT, "0|x"), -1);
  EXPECT_EQ(WriteTradeLogValues(desk_, TLOG_ORDER_RESULT, "0|", "1"), -1);
  Open();
  EXPECT_EQ(WriteTradeLogValues(desk_, TLOG_ORDER_RESULT, "0|", "10001"), 0);
  CloseTradeLog(desk_);
  EXPECT_EQ(desk_.tradeLog, 0u);
  EXPECT_EQ(WriteTradeLog(desk_, TLOG_TEXT, "0|y"), -1);
  EXPECT_EQ(Records(), std::vector<std::string>{"3012|0||10001"});
}

TEST_F(TradeLogTest, APurgeDeletesOnlyValidDailyFilesOverThirtyDaysOld) {
  const char *names[] = {"20240101.phl", "20240229.phl", "20230229.phl", "1.phl", "abc.phl", "2024010A.phl",
                         "20240101x.phl"};
  const std::string folder = "user/880001/tradelog/";
  for (const char *name : names) box_.WriteText(folder + name, "x");
  std::filesystem::create_directories(box_.Path(folder + "20231201.phl"));
  struct Case {
    int date;
    std::vector<std::string> gone;
  } cases[] = {
      {20240131, {}},
      {20240201, {"20240101.phl"}},
      {20240330, {}},
      {20240331, {"20240229.phl"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.date);
    PurgeTradeLogs(desk_, c.date);
    for (const std::string &name : c.gone) EXPECT_FALSE(box_.Exists(folder + name)) << name;
  }
  for (const char *name : {"20230229.phl", "1.phl", "abc.phl", "2024010A.phl", "20240101x.phl"})
    EXPECT_TRUE(box_.Exists(folder + name)) << name;
  EXPECT_TRUE(std::filesystem::is_directory(box_.Path(folder + "20231201.phl")));
}

TEST_F(TradeLogTest, AFileTheLoggerCantOpenShowsItsReasonAndPath) {
  std::filesystem::create_directories(box_.Path("user/880001/tradelog/20240115.phl"));
  desk_.owner = reinterpret_cast<HWND>(0x42);
  EXPECT_EQ(OpenTradeLog(desk_, 20240115), 0);
  EXPECT_EQ(desk_.tradeLog, 0u);
  ASSERT_EQ(boxes_.Count(), 1u);
  const platform::MessageBoxCall box = boxes_.Calls()[0];
  EXPECT_EQ(box.text, "无法创建日志，无法打开日志文件。\n\n" + TradeLogFile(desk_, 20240115));
  EXPECT_EQ(box.caption, "错误");
  EXPECT_EQ(box.owner, desk_.owner);
  EXPECT_EQ(box.type & MB_TOPMOST, MB_TOPMOST);
}

TEST_F(TradeLogTest, TheLoggerKeepsReadableCopiesByCategory) {
  Open();
  WriteTradeLog(desk_, TLOG_TASK, "0|0|0|快捷平仓");
  WriteTradeLog(desk_, TLOG_TASK, "0|1|1|止损");
  WriteTradeLogValues(desk_, TLOG_TASK, "0|2|2|", "条件单出错");
  WriteTradeLog(desk_, TLOG_TASK, "0||0|所有任务均已结束");
  WriteTradeLog(desk_, TLOG_STOP_EVENT, "4|");
  WriteTradeLog(desk_, TLOG_CONDITION_EVENT, "4|");
  WriteTradeLog(desk_, TLOG_ORDER_REQUEST, "M2401|0|0|1|3050.000|1|手动");
  EXPECT_EQ(Records("20240115traderec.txt"), Records());
  EXPECT_EQ(Records().size(), 7u);
  EXPECT_EQ(Records("20240115tradere0.txt"), std::vector<std::string>{"3015|0|0|0|快捷平仓"});
  EXPECT_EQ(Records("20240115tradere1.txt"), (std::vector<std::string>{"3015|0|1|1|止损", "3009|4|"}));
  EXPECT_EQ(Records("20240115tradere2.txt"), (std::vector<std::string>{"3015|0|2|2||条件单出错", "3010|4|"}));
  EXPECT_EQ(EventLogFile(desk_, 0, "20240115"), desk_.AccountFile("tradelog\\20240115traderec.txt"));
  EXPECT_EQ(EventLogFile(desk_, 2, "20240115"), desk_.AccountFile("tradelog\\20240115tradere1.txt"));
}

TEST_F(TradeLogTest, ThePluginAndTheDeskWriteOneDailyFileInOrder) {
  ASSERT_TRUE(tb::BindLogger());
  Open();
  ASSERT_TRUE(tb::OpenTradeLog(TradeLogFile(desk_, 20240115).c_str()));
  WriteTradeLog(desk_, TLOG_CONNECTION, "1|1|");
  tb::LogText(3072, "0|1");
  LogDiskSpace(desk_);
  tb::LogTextPair(3095, "R|6011|", "880001");
  WriteTradeLog(desk_, TLOG_VERSION, "0|1.2.3");
  tb::CloseTradeLog();
  const std::vector<std::string> records = Records();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0], "3072|1|1|");
  EXPECT_EQ(records[1], "3072|0|1");
  EXPECT_EQ(records[2].rfind("3001|1|", 0), 0u);
  EXPECT_EQ(records[2].back(), 'M');
  EXPECT_EQ(records[3], "3095|R|6011||880001");
  EXPECT_EQ(records[4], "3002|0|1.2.3");
  // One numbering for both writers.
  std::istringstream in(box_.Read("user/880001/tradelog/20240115.phl"));
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) EXPECT_EQ(line.substr(0, line.find('|')), std::to_string(n));
}

}  // namespace
}  // namespace trading_test
