// Open-trigger orders: their file, their numbering, and sending them when
// the automation is armed or an exchange opens, without ever sending one
// twice across a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/trading/orderdesk_fixture.h"
#include "trading/firingjournal.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace trading_test {
namespace {

const char kFile[] = "user/880001/Pending.dat";

class PendingOrdersTest : public OrderDeskTest {
 protected:
  PendingOrdersTest() : pending_(dispatch_.pending) {
    pending_.armed = [this] { return armed_; };
  }
  // Adds an open-trigger order to the array (not saved).
  CKivoOrderField &Keep(const char *exchange, const char *code, char direction, double price, int volume) {
    desk_.orders.Add(MakePendingOrder(desk_, exchange, code, direction, '0', '1', price, volume));
    return desk_.orders.GetData()[desk_.orders.GetCount() - 1];
  }
  std::vector<std::string> PendingNumbers() const {
    std::vector<std::string> numbers;
    for (int32_t i = 0; i < desk_.orders.GetCount(); ++i)
      if (desk_.orders.GetData()[i].OrderStatus[1] == 'p') numbers.emplace_back(desk_.orders.GetData()[i].OrderRef);
    return numbers;
  }
  size_t FileRecords() const { return (box_.Read(kFile).size() - 6) / kPendingRecordSize; }

  TPendingOrders &pending_;
  bool armed_ = true;
};

TEST_F(PendingOrdersTest, NumbersStartAtTheDefaultAndAreNeverReused) {
  EXPECT_EQ(NextPendingOrderNumber(desk_), 10000001u);
  EXPECT_EQ(NextPendingOrderNumber(desk_), 10000002u);
  EXPECT_NE(box_.Read("user/880001/Consign.ini").find("Pending=10000003"), std::string::npos);
}

TEST_F(PendingOrdersTest, FileRoundTripAndDamagedFiles) {
  Keep("SHFE", "CU2405", '0', 71000, 2);
  Keep("DCE", "M2401", '1', 0, 1);
  ASSERT_TRUE(SavePendingOrders(desk_, desk_.owner));
  const std::string whole = box_.Read(kFile);
  ASSERT_EQ(whole.size(), 6 + 2 * kPendingRecordSize);
  EXPECT_EQ(whole.substr(0, 6), "KVPO02");
  // The field-by-field image is the packed record's.
  EXPECT_EQ(0, memcmp(whole.data() + 6, &desk_.orders.GetData()[0], kPendingRecordSize));

  struct Case {
    const char *name;
    std::string bytes;
    size_t orders;
    bool rewritten;  // the file no longer holds what was there
  } cases[] = {
      {"whole", whole, 2, false},
      {"partial tail", whole + std::string(100, 'x'), 2, false},
      {"foreign magic", "KVPO01" + whole.substr(6), 0, true},
      {"shorter than the magic", "KVP", 0, true},
  };
  for (const Case &c : cases) {
    desk_.orders.RemoveAll();
    box_.Write(kFile, c.bytes.data(), c.bytes.size());
    pending_.Load(false);
    EXPECT_EQ(PendingNumbers().size(), c.orders) << c.name;
    if (c.rewritten) EXPECT_EQ(box_.Read(kFile), "KVPO02") << c.name;
    else EXPECT_EQ(box_.Read(kFile), c.bytes) << c.name;
  }
  // Loading again replaces the array's open-trigger orders, never adds.
  box_.Write(kFile, whole.data(), whole.size());
  pending_.Load(false);
  pending_.Load(false);
  EXPECT_EQ(PendingNumbers(), (std::vector<std::string>{"10000001", "10000002"}));
}

TEST_F(PendingOrdersTest, ARecordReadKeepsItsStateAndEndsItsTexts) {
  unsigned char raw[kPendingRecordSize];
  memset(raw, 'A', sizeof raw);
  const std::string bytes = "KVPO02" + std::string(reinterpret_cast<const char *>(raw), sizeof raw);
  box_.Write(kFile, bytes.data(), bytes.size());
  pending_.Load(false);
  ASSERT_EQ(desk_.orders.GetCount(), 1);
  const CKivoOrderField &o = desk_.orders.GetData()[0];
  EXPECT_EQ(o.OrderStatus[1], 'p');
  EXPECT_EQ(strlen(o.InstrumentID), sizeof o.InstrumentID - 1);
  EXPECT_EQ(strlen(o.StatusMsg), sizeof o.StatusMsg - 1);
  EXPECT_EQ(strlen(o.OrderRef), sizeof o.OrderRef - 1);
  EXPECT_EQ(strlen(o.InsertTime), sizeof o.InsertTime - 1);
}

TEST_F(PendingOrdersTest, NothingIsSentBeforeTheAutomationIsArmed) {
  Keep("SHFE", "CU2405", '0', 71000, 2);
  armed_ = false;
  pending_.Execute(nullptr);
  EXPECT_TRUE(Orders.sent.empty());
  EXPECT_EQ(PendingNumbers().size(), 1u);
}

TEST_F(PendingOrdersTest, SendingKeepsClosedExchangeRefusalsAndDropsOthersWithOneBox) {
  Keep("SHFE", "CU2405", '0', 71000, 2);
  Keep("DCE", "M2401", '1', 3500, 1);
  Keep("CZCE", "SR405", '0', 5000, 3);
  Keep("DCE", "M2401", '0', 3400, 4);
  SavePendingOrders(desk_, desk_.owner);
  Orders.answers = {{0, ""}, {1, "不是交易时间Server message: closed"}, {1, "资金不足"}, {1, "价格超出涨跌停"}};
  pending_.Execute(nullptr);
  ASSERT_EQ(Orders.sent.size(), 4u);
  EXPECT_EQ(PendingNumbers(), (std::vector<std::string>{"10000002"}));
  EXPECT_EQ(FileRecords(), 1u);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "开盘触发执行完毕但有错误发生，请至“事件日志”中查看原因。  ");
  const std::vector<std::string> log = LogRecords();
  // The broker's text is logged without its server part.
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string &r) {
                            return r.rfind("3012|1|", 0) == 0 && r.find("不是交易时间") != std::string::npos &&
                                   r.find("Server") == std::string::npos;
                          }),
            1);
  EXPECT_NE(std::find(log.begin(), log.end(), "3008|7|登录后|10000001|CU2405|71000.000|0|0|1|2"), log.end());

  // Refused again when its exchange opens: kept, no box.
  Orders.answers = {{1, "未处于开盘状态"}};
  pending_.Execute("dce");
  EXPECT_EQ(Orders.sent.size(), 5u);
  EXPECT_EQ(PendingNumbers().size(), 1u);
  EXPECT_EQ(boxes_.Count(), 1u);
}

TEST_F(PendingOrdersTest, AnExchangeLimitsTheWalk) {
  Keep("SHFE", "CU2405", '0', 71000, 2);
  Keep("DCE", "M2401", '1', 3500, 1);
  Keep("SHFE", "CU2405", '1', 72000, 1);
  pending_.Execute("shfe");
  ASSERT_EQ(Orders.sent.size(), 2u);
  EXPECT_EQ(Orders.sent[0].code, "CU2405");
  EXPECT_EQ(Orders.sent[1].code, "CU2405");
  EXPECT_EQ(PendingNumbers(), (std::vector<std::string>{"10000002"}));
}

// The file as each send found it.
std::vector<size_t> FileSizesAtSend;
std::string WatchedFile;
int WatchingInsert(char *, char *, double, int, char, char, char, char *ref, char *) {
  FILE *f = fopen(WatchedFile.c_str(), "rb");
  size_t size = 0;
  if (f) {
    fseek(f, 0, SEEK_END);
    size = size_t(ftell(f));
    fclose(f);
  }
  FileSizesAtSend.push_back(size);
  snprintf(ref, 13, "%zu", 500 + FileSizesAtSend.size());
  return 0;
}

TEST_F(PendingOrdersTest, TheFileIsRewrittenAfterEachAcceptedSend) {
  for (int i = 0; i < 3; ++i) Keep("SHFE", "CU2405", '0', 71000 + i, 1);
  SavePendingOrders(desk_, desk_.owner);
  FileSizesAtSend.clear();
  WatchedFile = box_.Path(kFile);
  TradePlugin.OrderInsert = WatchingInsert;
  pending_.Execute(nullptr);
  EXPECT_EQ(FileSizesAtSend, (std::vector<size_t>{6 + 3 * kPendingRecordSize, 6 + 2 * kPendingRecordSize,
                                                  6 + kPendingRecordSize}));
  EXPECT_EQ(box_.Read(kFile), "KVPO02");
}

TEST_F(PendingOrdersTest, CancelledOnesLeaveTheArrayAndTheFile) {
  Keep("SHFE", "CU2405", '0', 71000, 2);
  Keep("DCE", "M2401", '1', 3500, 1).OrderStatus[0] = '1';
  SavePendingOrders(desk_, desk_.owner);
  pending_.RemoveCancelled();
  EXPECT_EQ(PendingNumbers(), (std::vector<std::string>{"10000001"}));
  EXPECT_EQ(FileRecords(), 1u);
}

// The broker of the crash probe: it takes every order, and the process
// ends (an exception unwinds the walk) right after it took the second.
struct ProcessEnded {};
std::vector<SentOrder> BrokerHolds;
int CrashingInsert(char *contract, char *, double price, int volume, char direction, char offset, char hedge,
                   char *ref, char *) {
  BrokerHolds.push_back({contract, price, volume, direction, offset, hedge});
  snprintf(ref, 13, "%zu", 100 + BrokerHolds.size());
  if (BrokerHolds.size() == 2) throw ProcessEnded{};
  return 0;
}
int TakingInsert(char *contract, char *, double price, int volume, char direction, char offset, char hedge,
                 char *ref, char *) {
  BrokerHolds.push_back({contract, price, volume, direction, offset, hedge});
  snprintf(ref, 13, "%zu", 100 + BrokerHolds.size());
  return 0;
}

// A crash between the broker's acceptance and the rewrite: after the
// restart the broker's order list decides; nothing is sent twice.
TEST_F(PendingOrdersTest, ACrashAfterTheBrokerAcceptedSendsNothingTwice) {
  BrokerHolds.clear();
  {
    TFiringJournal journal(desk_);
    pending_.journal = &journal;
    for (int i = 0; i < 3; ++i) Keep("SHFE", "CU2405", '0', 71000, 1 + i);
    SavePendingOrders(desk_, desk_.owner);
    TradePlugin.OrderInsert = CrashingInsert;
    EXPECT_THROW(pending_.Execute(nullptr), ProcessEnded);
    ASSERT_EQ(BrokerHolds.size(), 2u);
  }
  // Restart: the contract list loads the file before the broker's orders
  // are known; the order list brings the two the broker holds.
  desk_.orders.RemoveAll();
  TFiringJournal restarted(desk_);
  ASSERT_TRUE(restarted.Load());
  // Both sends keep their intents: the first one's goes only with the
  // flushed save after the walk.
  ASSERT_EQ(restarted.Intents().size(), 2u);
  pending_.journal = &restarted;
  pending_.Load(false);
  EXPECT_EQ(PendingNumbers().size(), 2u);
  for (size_t i = 0; i < BrokerHolds.size(); ++i) {
    const std::string ref = std::to_string(101 + i);
    desk_.orders.Add(Order(ref.c_str(), "CU2405", '0', '0', BrokerHolds[i].volume, 0, '3', '3', 71000));
  }
  pending_.Load(true);
  EXPECT_EQ(PendingNumbers(), (std::vector<std::string>{"10000003"}));
  EXPECT_EQ(FileRecords(), 1u);
  EXPECT_TRUE(restarted.Intents().empty());
  // "确认" after the login.
  TradePlugin.OrderInsert = TakingInsert;
  pending_.Execute(nullptr);
  ASSERT_EQ(BrokerHolds.size(), 3u);
  EXPECT_EQ(BrokerHolds[0].volume, 1);
  EXPECT_EQ(BrokerHolds[1].volume, 2);
  EXPECT_EQ(BrokerHolds[2].volume, 3);
  EXPECT_EQ(box_.Read(kFile), "KVPO02");
}

TEST_F(PendingOrdersTest, AnInterruptedSendTheBrokerNeverGotIsSentAgain) {
  TFiringJournal journal(desk_);
  pending_.journal = &journal;
  Keep("SHFE", "CU2405", '0', 71000, 2);
  SavePendingOrders(desk_, desk_.owner);
  ASSERT_GT(journal.RecordPending(desk_.orders.GetData()[0]), 0);
  desk_.orders.RemoveAll();
  desk_.orders.Add(Order("101", "CU2405", '0', '0', 1, 0, '3', '3', 71000));  // another volume
  pending_.Load(true);
  EXPECT_EQ(PendingNumbers().size(), 1u);
  EXPECT_TRUE(journal.Intents().empty());
}

}  // namespace
}  // namespace trading_test
