// The push receiver: order states and fills kept consistent through the
// order map, the look-up of an unknown order, a partly traded cancel told
// once, references past 2^32, notices, exchange status, the broker's new
// trading day, and the map emptied when the thread ends.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>

#include "core/eautolock.h"
#include "plugin/orders.h"
#include "plugin/tradebridge.h"
#include "tests/plugin/trade_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

// A pushed record: the fields given by index, the others empty.
std::string Pushed(const std::map<int, std::string> &fields) {
  std::string record;
  const int last = fields.rbegin()->first;
  for (int i = 0; i <= last; ++i) {
    auto found = fields.find(i);
    if (found != fields.end()) record += found->second;
    record += '|';
  }
  return record;
}

std::string OrderState(const std::string &ref, char letter, int volume, int remaining,
                       const std::string &contract = "cu2402", const std::string &message = "msg") {
  return Pushed({{0, "P"}, {3, "16002"}, {7, "880001"}, {8, ref}, {9, "SHFE"}, {11, contract},
                 {13, std::string(1, letter)}, {14, message}, {15, "0"}, {17, "0"}, {18, "开仓"}, {19, "0"},
                 {21, std::to_string(volume)}, {22, "69000.000"}, {23, "0"}, {25, std::to_string(remaining)},
                 {26, "L" + ref}, {29, "09:00:01"}, {41, "9" + ref}});
}

std::string FillOf(const std::string &ref, int volume, int remaining) {
  return Pushed({{0, "P"}, {3, "16005"}, {7, "880001"}, {8, "SHFE"}, {10, ref}, {11, "p"}, {12, "成交"},
                 {13, "cu2402"}, {15, "0"}, {17, "0"}, {18, "开仓"}, {19, "0"}, {21, std::to_string(volume)},
                 {22, std::to_string(remaining)}, {23, "69010.000"}, {27, "L" + ref}, {28, "T77"}, {30, "09:00:02"},
                 {36, "9" + ref}});
}

// Exchange status or a notice.
std::string Notice(const std::map<int, std::string> &fields) {
  std::map<int, std::string> all = fields;
  all[0] = "P";
  all[3] = "16006";
  return Pushed(all);
}

class PushTest : public TradeTest {
 protected:
  void SetUp() override {
    TradeTest::SetUp();
    broker_.LoadScript("autofill off\n");
    LogInOk();
  }
  void Push(const std::string &record) { broker_.QueuePush(record); }
  // Pushes a notice the receiver posts, and waits for it: every record
  // before it has been handled.
  void Settle() {
    // Counted by the mark alone: a notice pushed before it may still be on
    // its way.
    auto marks = [&] {
      size_t count = 0;
      for (const auto &note : NotesOf(TN_SYSTEM_NOTICE)) count += strcmp(note.bytes.c_str(), "mark") == 0;
      return count;
    };
    const size_t before = marks();
    Push(Notice({{7, "1"}, {8, "0"}, {15, "系统通知"}, {16, "mark"}}));
    ASSERT_TRUE(WaitFor([&] { return marks() > before; }));
  }
  static std::string State(const CKivoOrderField &order) {
    return std::string(order.OrderStatus, 2) + " " + std::to_string(order.VolumeTotal) + "/" +
           std::to_string(order.VolumeTraded) + "/" + std::to_string(order.VolumeRemain) + " " + order.StatusMsg;
  }
};

TEST_F(PushTest, AnAcceptedOrderThenItsFullFillArriveInThatOrder) {
  char contract[] = "cu2402", exchange[] = "SHFE", ref[13], error[232];
  ASSERT_EQ(OrderInsert(contract, exchange, 68000, 2, '0', '0', '1', ref, error), 0);
  ASSERT_TRUE(broker_.FillOrder(1001, 2));
  Settle();
  ASSERT_TRUE(WaitFor([&] { return !AnswerReturns().empty(); }));
  // The insert's answer, the pushed acceptance, the fill; the pushed
  // "all traded" state of a complete order is not told again.
  EXPECT_EQ(Returns().size(), 3u);
  const auto pushed = PushedReturns();
  ASSERT_EQ(pushed.size(), 2u);
  EXPECT_EQ(State(pushed[0]), "33 2/0/2 已报入");
  EXPECT_EQ(State(pushed[1]), "30 0/2/0 全部成交");
  EXPECT_STREQ(pushed[1].FillText, "T1");
  EXPECT_EQ(pushed[1].LimitPrice, 68000);
}

TEST_F(PushTest, AFillOfAnOrderNeverSeenIsLookedUpAndAnnouncedFirst) {
  char contract[] = "cu2402", exchange[] = "SHFE", ref[13], error[232];
  ASSERT_EQ(OrderInsert(contract, exchange, 68000, 5, '0', '0', '1', ref, error), 0);
  ASSERT_TRUE(WaitFor([&] { return !AnswerReturns().empty(); }));
  Settle();
  {
    // As if the plug-in had started after the order went in.
    auto session = CurrentSession();
    EAutoLock lock(&session->orderMapLock);
    session->ClearOrders();
  }
  const size_t before = Returns().size();
  NewLines();
  ASSERT_TRUE(broker_.FillOrder(1001, 2));
  Settle();
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6020||other#C#|880001|111111|1001|901001|");
  const auto returns = Returns();
  ASSERT_GE(returns.size(), before + 2);
  EXPECT_EQ(State(returns[before]), "33 5/0/5 已报入");
  EXPECT_STREQ(returns[before].FillText, "");
  EXPECT_EQ(State(returns[before + 1]), "31 0/2/3 部分成交");
  EXPECT_STREQ(returns[before + 1].FillText, "T1");
}

// The broker's answer about an order the map does not know is held like
// every other volume, so the counts after the fill never overflow.
TEST_F(PushTest, TheVolumeAskedForAnUnknownOrderIsHeldToItsRange) {
  const struct {
    const char *answered;
    std::vector<std::string> told;
  } cases[] = {
      {"-2147483648", {"31 0/2/0 部分成交"}},
      {"99999999999", {"33 1000000000/0/1000000000 已报入", "31 0/2/999999998 部分成交"}},
  };
  char contract[] = "cu2402", exchange[] = "SHFE", ref[13], error[232];
  int order = 1001;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.answered);
    ASSERT_EQ(OrderInsert(contract, exchange, 68000, 5, '0', '0', '1', ref, error), 0);
    Settle();
    {
      auto session = CurrentSession();
      EAutoLock lock(&session->orderMapLock);
      session->ClearOrders();
    }
    broker_.SetAnswerField(6020, 7, c.answered);
    const size_t before = Returns().size();
    ASSERT_TRUE(broker_.FillOrder(order++, 2));
    Settle();
    const auto returns = Returns();
    // The fill's returns come first; the broker's pushed state may follow.
    std::vector<std::string> told;
    for (size_t i = before; i < returns.size() && told.size() < c.told.size(); ++i)
      told.push_back(State(returns[i]));
    EXPECT_EQ(told, c.told);
    for (size_t i = before; i < returns.size(); ++i) EXPECT_GE(returns[i].VolumeRemain, 0);
  }
}

TEST_F(PushTest, APartlyTradedCancelIsToldOnceWithBothCounts) {
  Push(OrderState("77", 'a', 5, 5));
  Push(FillOf("77", 2, 3));
  Push(OrderState("77", 'd', 5, 3));
  Settle();
  auto returns = Returns();
  ASSERT_EQ(returns.size(), 3u);
  EXPECT_EQ(State(returns[0]), "33 5/0/5 msg");
  EXPECT_EQ(State(returns[1]), "31 0/2/3 部分成交");
  EXPECT_EQ(State(returns[2]), "35 5/2/3 部成部撤");
  // The same state again changes nothing.
  Push(OrderState("77", 'd', 5, 3));
  Settle();
  EXPECT_EQ(Returns().size(), 3u);
}

TEST_F(PushTest, PushedStatesTable) {
  // Each row starts with an empty map (a new order reference).
  const struct {
    std::vector<std::string> records;
    std::vector<std::string> told;
  } cases[] = {
      // A cancelled order never seen is told as accepted.
      {{OrderState("101", 'd', 4, 4)}, {"33 4/0/0 已经报入"}},
      // A traded state never reports a fill itself.
      {{OrderState("102", 'c', 3, 0)}, {"33 3/0/3 msg"}},
      // A fill after the cancel of the rest ends the order with a cancel.
      {{OrderState("103", 'a', 5, 5), OrderState("103", 'd', 5, 3), FillOf("103", 2, 0)},
       {"33 5/0/5 msg", "31 0/2/3 部分成交", "35 5/2/3 部成部撤"}},
      // A cancel of an untraded order.
      {{OrderState("104", 'a', 2, 2), OrderState("104", 'd', 2, 2)}, {"33 2/0/2 msg", "35 2/0/2 已经撤销"}},
      // A refused order is told as it comes.
      {{OrderState("105", 'f', 2, 2)}, {"13 2/0/2 msg"}},
      // A state of an order that is complete is not told again.
      {{OrderState("106", 'a', 1, 1), FillOf("106", 1, 0), OrderState("106", 'a', 1, 1)},
       {"33 1/0/1 msg", "30 0/1/0 全部成交"}},
  };
  for (const auto &c : cases) {
    const size_t before = Returns().size();
    for (const auto &record : c.records) Push(record);
    Settle();
    std::vector<std::string> told;
    const auto returns = Returns();
    for (size_t i = before; i < returns.size(); ++i) told.push_back(State(returns[i]));
    EXPECT_EQ(told, c.told) << c.records[0];
  }
}

TEST_F(PushTest, ReferencesPast4GiBKeepTheirOwnOrders) {
  // 4294968297 is 2^32 + 1001: a key cut to 32 bits would take it for 1001.
  Push(OrderState("1001", 'a', 5, 5));
  Settle();
  NewLines();
  Push(FillOf("4294968297", 1, 0));
  Settle();
  const auto lines = NewLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], std::string(kHead) + "6020||other#C#|880001|111111|4294968297|94294968297|");
}

TEST_F(PushTest, FieldsLongerThanTheirPlaceAreCutToIt) {
  Push(OrderState("88", 'a', 1, 1, std::string(40, 'x'), std::string(300, 'm')));
  Settle();
  const auto returns = Returns();
  ASSERT_EQ(returns.size(), 1u);
  EXPECT_EQ(std::string(returns[0].InstrumentID), std::string(7, 'x'));
  EXPECT_EQ(std::string(returns[0].StatusMsg), std::string(63, 'm'));
  EXPECT_STREQ(returns[0].OrderRef, "88");
}

// Volumes out of all reason are held to what a count can take, so adding
// fills never overflows; a negative one counts as none.
TEST_F(PushTest, VolumesOutOfAllReasonAreHeldAndNeverOverflowTheCounts) {
  Push(OrderState("66", 'a', 5, 5));
  Push(FillOf("66", -3, 5));
  Push(FillOf("66", INT32_MAX, -7));
  Push(FillOf("66", INT32_MAX, 0));
  Settle();
  const auto returns = Returns();
  ASSERT_GE(returns.size(), 4u);
  EXPECT_EQ(returns[1].VolumeTraded, 0);
  EXPECT_EQ(State(returns[2]), "30 0/" + std::to_string(kMaxVolume) + "/0 全部成交");
  for (const auto &order : returns) {
    EXPECT_GE(order.VolumeTraded, 0);
    EXPECT_LE(order.VolumeTraded, kMaxVolume);
    EXPECT_GE(order.VolumeRemain, 0);
  }
}

TEST_F(PushTest, NoticesExchangeStatusAndTheBrokersNewDay) {
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_CONTRACT).empty() && NotesOf(TN_CONTRACT).back().value == 0; }));
  char exchange[8];
  GetExchangeID(1, exchange);
  EXPECT_STREQ(exchange, "DCE");

  Push(Notice({{7, "1"}, {8, "0"}, {15, "登录通知"}, {16, "ignored"}}));
  Push(Notice({{7, "1"}, {8, "0"}, {15, "系统通知"}, {16, "今晚系统维护"}}));
  Push(Notice({{8, "2"}, {11, "1000001"}, {12, "交易所"}, {13, "开盘"}}));
  Push(Notice({{8, "2"}, {11, "8800101"}, {12, "暂停交易"}}));
  Push(Notice({{8, "2"}, {11, "9999999"}, {12, "开盘"}}));  // no such seat
  Push(Notice({{8, "1"}, {11, "SYSTEM"}, {14, "20240115"}}));  // the session's own day
  Settle();
  const auto notices = NotesOf(TN_SYSTEM_NOTICE);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_STREQ(notices[0].bytes.c_str(), "今晚系统维护");
  auto states = NotesOf(TN_EXCHANGE_STATUS);
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0].value, 1 << 16 | 1);
  EXPECT_EQ(states[1].value, 0 << 16 | 2);

  Push(OrderState("1", 'a', 1, 1));
  Settle();
  Push(Notice({{8, "1"}, {11, "SYSTEM"}, {14, "20240116"}}));
  ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_EXCHANGE_STATUS).size() == 3; }));
  EXPECT_EQ(NotesOf(TN_EXCHANGE_STATUS)[2].value, 0);
  auto session = CurrentSession();
  EAutoLock lock(&session->orderMapLock);
  EXPECT_EQ(session->orderKeys.GetCount(), 0);
}

// The simulated broker's own new trading day is one the plug-in takes.
TEST_F(PushTest, TheSimulatorsReinitIsTheBrokersNewDay) {
  ASSERT_TRUE(broker_.LoadScript("reinit"));
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_EXCHANGE_STATUS).empty(); }));
  EXPECT_EQ(NotesOf(TN_EXCHANGE_STATUS)[0].value, 0);
}

// The exchange table of the contract query, as the exports show it.
std::vector<std::string> ExchangeIds() {
  std::vector<std::string> ids;
  for (unsigned i = 0; i < unsigned(kExchangeCount); ++i) {
    char id[8] = "junk";
    GetExchangeID(i, id);
    ids.push_back(id);
  }
  return ids;
}

const std::vector<std::string> kExchangeIds = {"SHFE", "DCE", "CZCE", "CFFEX", "", "", "", ""};

class ExchangeTableTest : public PushTest {
 protected:
  // Runs the contract query to its end.
  void QueryContracts() {
    const size_t ends = Ends();
    ASSERT_EQ(QueryContract(), 0);
    ASSERT_TRUE(WaitFor([&] { return Ends() > ends; }));
  }
  size_t Ends() {
    size_t count = 0;
    for (const auto &note : NotesOf(TN_CONTRACT)) count += note.value == 0;
    return count;
  }
  // Status notices told for an exchange (its index in the high half).
  size_t StatusNotes(int index) {
    size_t count = 0;
    for (const auto &note : NotesOf(TN_EXCHANGE_STATUS)) count += (note.value >> 16) == index;
    return count;
  }
};

TEST_F(ExchangeTableTest, ARerunQueryLeavesTheLastWholeTableInUseUntilItsEnd) {
  QueryContracts();
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  // The terminal and the push receiver still find every exchange.
  EXPECT_EQ(ExchangeIds(), kExchangeIds);
  char shfe[] = "SHFE";
  EXPECT_EQ(ProcessCloseToday(shfe), 1);
  Push(Notice({{8, "2"}, {11, "1000001"}, {12, "开盘"}}));
  Settle();
  EXPECT_EQ(StatusNotes(1), 1u);
  broker_.Release(6018);
  ASSERT_TRUE(WaitFor([&] { return Ends() == 2; }));
  EXPECT_EQ(ExchangeIds(), kExchangeIds);
}

TEST_F(ExchangeTableTest, RewritesWhileTheTerminalAndThePushReceiverReadShowOnlyWholeTables) {
  QueryContracts();
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0}, halfTables{0};
  std::thread terminal([&] {
    char shfe[] = "SHFE";
    while (!stop.load()) {
      if (ExchangeIds() != kExchangeIds || ProcessCloseToday(shfe) != 1) ++halfTables;
      ++reads;
    }
  });
  constexpr int kRewrites = 60;
  for (int i = 0; i < kRewrites; ++i) {
    Push(Notice({{8, "2"}, {11, "1000001"}, {12, i % 2 ? "开盘" : "收盘"}}));
    QueryContracts();
  }
  Settle();
  stop = true;
  terminal.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(halfTables.load(), 0);
  // Every status notice found its exchange.
  EXPECT_EQ(StatusNotes(1), size_t(kRewrites));
}

TEST_F(PushTest, WhenTheReceiverEndsTheOrderMapGivesEveryBlockBack) {
  for (int i = 0; i < 50; ++i) Push(OrderState(std::to_string(500 + i), 'a', 1, 1));
  Settle();
  std::shared_ptr<Session> session = CurrentSession();
  {
    EAutoLock lock(&session->orderMapLock);
    EXPECT_EQ(session->orderKeys.GetCount(), 50);
  }
  Notes();  // every posted block back
  TradeFinalize();
  // The session is still held here: the blocks came back when the thread
  // ended, not when the session went.
  EXPECT_EQ(session->orderKeys.GetCount(), 0);
  ASSERT_TRUE(session->pool);
  EXPECT_EQ(session->pool->Outstanding(), 0);
}

}  // namespace
}  // namespace plugin_test
