// Open-trigger orders: their file, their numbering, and sending them when
// the automation is armed or an exchange opens, without ever sending one
// twice across a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/trading/orderdesk_fixture.h"
#include "trading/firingjournal.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace trading_test {
namespace {

const char kFile[] = "user/880001/Pending.dat";
const char kJournal[] = "user/880001/firing.jnl";

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

  // A stored value that cannot be read continues past the kept orders'
  // numbers; a number a kept order holds is skipped; after the last number
  // the count starts again at the first.
  struct Case {
    const char *stored;
    std::vector<const char *> kept;
    uint32_t given;
    const char *next;
  } cases[] = {
      {"abc", {"10000005", "10000009", "10000002"}, 10000010, "10000011"},
      {"abc", {}, 10000001, "10000002"},
      {"", {"10000007"}, 10000008, "10000009"},
      {"-1", {"10000004"}, 10000005, "10000006"},
      {"12x", {"10000004"}, 10000005, "10000006"},
      {"4294967297", {"10000004"}, 10000005, "10000006"},
      {"0", {}, 10000001, "10000002"},
      {"10000003", {"10000003", "10000004"}, 10000005, "10000006"},
      {"2147483646", {}, 2147483646, "2147483647"},
      {"2147483647", {}, 2147483647, "10000001"},
      {"2147483647", {"2147483647", "10000001"}, 10000002, "10000003"},
      {"abc", {"2147483647"}, 10000001, "10000002"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string("stored \"") + c.stored + "\"");
    desk_.orders.RemoveAll();
    for (const char *number : c.kept) snprintf(Keep("SHFE", "CU2405", '0', 71000, 1).OrderRef, 13, "%s", number);
    const std::string ini = std::string("[Config]\r\nPending=") + c.stored + "\r\n";
    box_.Write("user/880001/Consign.ini", ini.data(), ini.size());
    EXPECT_EQ(NextPendingOrderNumber(desk_), c.given);
    EXPECT_NE(box_.Read("user/880001/Consign.ini").find(std::string("Pending=") + c.next + "\r"), std::string::npos)
        << box_.Read("user/880001/Consign.ini");
  }
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

// The files as each send found them.
std::vector<size_t> FileSizesAtSend, JournalSizesAtSend;
std::string WatchedFile, WatchedJournal;
bool JournalGoesAtSend = false;
size_t WatchedSize(const std::string &path) {
  std::error_code missing;
  const uintmax_t size = std::filesystem::file_size(path, missing);
  return missing ? 0 : size_t(size);
}
int WatchingInsert(char *, char *, double, int, char, char, char, char *ref, char *) {
  FileSizesAtSend.push_back(WatchedSize(WatchedFile));
  JournalSizesAtSend.push_back(WatchedSize(WatchedJournal));
  if (JournalGoesAtSend) std::filesystem::remove(WatchedJournal);
  snprintf(ref, 13, "%zu", 500 + FileSizesAtSend.size());
  return 0;
}

// Each accepted send is on disk before the next one: without the journal
// the file is rewritten after it; with the journal the walk is announced
// once and each answer is added to the journal, the file rewritten once
// at the end; when the journal cannot take an answer (its file went), the
// file is rewritten after that send.
TEST_F(PendingOrdersTest, EachAcceptedSendIsKeptBeforeTheNext) {
  const size_t head = 6, intents = 8 + 3 * kIntentRecordSize;
  struct Case {
    const char *name;
    bool journal, journalGoes;
    std::vector<size_t> fileSizes, journalSizes;
  } cases[] = {
      {"without the journal",
       false,
       false,
       {head + 3 * kPendingRecordSize, head + 2 * kPendingRecordSize, head + kPendingRecordSize},
       {0, 0, 0}},
      {"with the journal",
       true,
       false,
       {head + 3 * kPendingRecordSize, head + 3 * kPendingRecordSize, head + 3 * kPendingRecordSize},
       {intents, intents + kIntentRecordSize, intents + 2 * kIntentRecordSize}},
      {"the journal's file gone at the first send",
       true,
       true,
       {head + 3 * kPendingRecordSize, head + 2 * kPendingRecordSize, head + kPendingRecordSize},
       {intents, 0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    JournalGoesAtSend = c.journalGoes;
    desk_.orders.RemoveAll();
    for (int i = 0; i < 3; ++i) Keep("SHFE", "CU2405", '0', 71000 + i, 1);
    SavePendingOrders(desk_, desk_.owner);
    TFiringJournal journal(desk_);
    pending_.journal = c.journal ? &journal : nullptr;
    FileSizesAtSend.clear();
    JournalSizesAtSend.clear();
    WatchedFile = box_.Path(kFile);
    WatchedJournal = box_.Path(kJournal);
    TradePlugin.OrderInsert = WatchingInsert;
    pending_.Execute(nullptr);
    EXPECT_EQ(FileSizesAtSend, c.fileSizes);
    EXPECT_EQ(JournalSizesAtSend, c.journalSizes);
    EXPECT_EQ(box_.Read(kFile), "KVPO02");
    EXPECT_EQ(WatchedSize(WatchedJournal), 0u);
    pending_.journal = nullptr;
  }
  JournalGoesAtSend = false;
}

TEST_F(PendingOrdersTest, CancelledOnesLeaveTheArrayAndTheFile) {
  Keep("SHFE", "CU2405", '0', 71000, 2);
  Keep("DCE", "M2401", '1', 3500, 1).OrderStatus[0] = '1';
  SavePendingOrders(desk_, desk_.owner);
  pending_.RemoveCancelled();
  EXPECT_EQ(PendingNumbers(), (std::vector<std::string>{"10000001"}));
  EXPECT_EQ(FileRecords(), 1u);
}

// The broker of the crash probe: it answers each call from its script
// (accepting when the script ends) and the process ends (an exception
// unwinds the walk) at the call the case names, before or after the broker
// took that order.
struct ProcessEnded {};
struct PendingCrashBroker {
  std::vector<std::pair<int, std::string>> answers;
  size_t endAt = 0;  // the call during which the process ends; 0 never
  bool taken = false;
  size_t calls = 0;
  std::vector<double> holds;  // the prices of the orders it took, in order
};
PendingCrashBroker PendingBroker;
int CrashingInsert(char *, char *, double price, int, char, char, char, char *ref, char *text) {
  const bool ending = ++PendingBroker.calls == PendingBroker.endAt;
  if (ending && !PendingBroker.taken) throw ProcessEnded{};
  const std::pair<int, std::string> answer =
      PendingBroker.calls <= PendingBroker.answers.size() ? PendingBroker.answers[PendingBroker.calls - 1] : std::make_pair(0, std::string());
  if (answer.first == 0) {
    PendingBroker.holds.push_back(price);
    snprintf(ref, 13, "%zu", 100 + PendingBroker.holds.size());
  } else {
    snprintf(text, 1024, "%s", answer.second.c_str());
  }
  if (ending) throw ProcessEnded{};
  return answer.first;
}

// A crash in the middle of a walk of three orders A, B, C (A and B alike
// but for the price, which the broker's list does not tell apart), with
// the journal's appended answers kept (the program ended) or lost (the
// machine went down before they reached the disk). After the restart the
// broker's list settles the walk; the login's "确认" sends the rest. Each
// order reaches the broker at most once, a refused one only when it was
// kept for the opening.
TEST_F(PendingOrdersTest, ACrashInTheMiddleOfAWalkSendsNothingTwiceAndLosesNothing) {
  const double A = 71000, B = 71010, C = 71020;
  const std::pair<int, std::string> accept{0, ""}, closed{1, "不是交易时间"}, funds{1, "资金不足"};
  struct Case {
    const char *name;
    std::vector<std::pair<int, std::string>> answers;
    size_t endAt;
    bool taken;
    std::vector<double> heldAtCrash, heldAtEnd;
  } cases[] = {
      {"the broker took the second", {}, 2, true, {A, B}, {A, B, C}},
      {"the second never reached the broker", {}, 2, false, {A}, {A, B, C}},
      {"the first refused as closed, the third never reached", {closed, accept}, 3, false, {B}, {B, A, C}},
      {"the first refused for good, the broker took the third", {funds, accept}, 3, true, {B, C}, {B, C}},
      {"the first refused as closed, the broker took the second", {closed}, 2, true, {B}, {B, A, C}},
  };
  for (const Case &c : cases) {
    for (const bool answersLost : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (answersLost ? ", answers lost" : ", answers kept"));
      desk_.orders.RemoveAll();
      PendingBroker = PendingCrashBroker{c.answers, c.endAt, c.taken, 0, {}};
      {
        TFiringJournal journal(desk_);
        pending_.journal = &journal;
        for (double price : {A, B, C}) Keep("SHFE", "CU2405", '0', price, price == C ? 2 : 1);
        SavePendingOrders(desk_, desk_.owner);
        TradePlugin.OrderInsert = CrashingInsert;
        EXPECT_THROW(pending_.Execute(nullptr), ProcessEnded);
        EXPECT_EQ(PendingBroker.holds, c.heldAtCrash);
      }
      // The machine's crash keeps what was flushed: the journal as the last
      // whole write left it, three intents.
      if (answersLost) std::filesystem::resize_file(box_.Path(kJournal), 8 + 3 * kIntentRecordSize);

      // Restart: the contract list loads the file before the broker's
      // orders are known; the order list brings those the broker holds
      // and the journal is read to settle them.
      desk_.orders.RemoveAll();
      TFiringJournal restarted(desk_);
      pending_.journal = &restarted;
      pending_.Load(false);
      for (size_t i = 0; i < PendingBroker.holds.size(); ++i) {
        const std::string ref = std::to_string(101 + i);
        desk_.orders.Add(
            Order(ref.c_str(), "CU2405", '0', '0', PendingBroker.holds[i] == C ? 2 : 1, 0, '3', '3', PendingBroker.holds[i]));
      }
      pending_.Load(true);
      EXPECT_TRUE(restarted.Intents().empty());
      EXPECT_EQ(FileRecords(), c.heldAtEnd.size() - c.heldAtCrash.size());
      // "确认" after the login.
      PendingBroker.endAt = 0;
      PendingBroker.answers.clear();
      pending_.Execute(nullptr);
      EXPECT_EQ(PendingBroker.holds, c.heldAtEnd);
      EXPECT_EQ(box_.Read(kFile), "KVPO02");
      EXPECT_FALSE(std::filesystem::exists(box_.Path(kJournal)));
      pending_.journal = nullptr;
    }
  }
}

// A walk whose file could not be written at its end leaves its answers in
// the journal; the next walk settles them and writes the file first, so a
// crash in it is settled against the broker's orders alone: with its own
// order alike the first walk's, it is still not sent twice.
TEST_F(PendingOrdersTest, AWalkWhoseFileFailedIsSettledBeforeTheNext) {
  const double A = 71000, B = 71010, C = 71020;
  {
    TFiringJournal journal(desk_);
    pending_.journal = &journal;
    Keep("SHFE", "CU2405", '0', A, 1);
    Keep("SHFE", "CU2405", '0', B, 1);
    SavePendingOrders(desk_, desk_.owner);
    const std::string blocker = box_.Path(kFile) + ".new";
    std::filesystem::create_directory(blocker);
    PendingBroker = PendingCrashBroker{};
    TradePlugin.OrderInsert = CrashingInsert;
    pending_.Execute(nullptr);
    ASSERT_EQ(PendingBroker.holds, (std::vector<double>{A, B}));
    ASSERT_EQ(FileRecords(), 2u);  // the write failed
    std::filesystem::remove(blocker);
    // Their returns reach the order list.
    desk_.orders.Add(Order("101", "CU2405", '0', '0', 1, 0, '3', '3', A));
    desk_.orders.Add(Order("102", "CU2405", '0', '0', 1, 0, '3', '3', B));
    Keep("SHFE", "CU2405", '0', C, 1);
    SavePendingOrders(desk_, desk_.owner);  // as the order placing keeps it
    PendingBroker.endAt = 3;
    PendingBroker.taken = true;
    EXPECT_THROW(pending_.Execute(nullptr), ProcessEnded);
    ASSERT_EQ(PendingBroker.holds, (std::vector<double>{A, B, C}));
  }
  desk_.orders.RemoveAll();
  TFiringJournal restarted(desk_);
  pending_.journal = &restarted;
  pending_.Load(false);
  const char *refs[] = {"101", "102", "103"};
  for (size_t i = 0; i < 3; ++i) desk_.orders.Add(Order(refs[i], "CU2405", '0', '0', 1, 0, '3', '3', PendingBroker.holds[i]));
  pending_.Load(true);
  PendingBroker.endAt = 0;
  pending_.Execute(nullptr);
  EXPECT_EQ(PendingBroker.holds, (std::vector<double>{A, B, C}));
  EXPECT_EQ(box_.Read(kFile), "KVPO02");
  pending_.journal = nullptr;
}

// The journal follows the desk to another account: every answer, appended
// or rewritten whole, goes to the file of the account whose intent it is.
TEST_F(PendingOrdersTest, TheJournalKeepsEachAccountsAnswersInItsOwnFile) {
  const char kOther[] = "user/880002/firing.jnl";
  const CKivoOrderField order = MakePendingOrder(desk_, "SHFE", "CU2405", '0', '0', '1', 71000, 1);
  TFiringJournal journal(desk_);
  const int32_t first = journal.RecordPending(order);
  ASSERT_GT(first, 0);
  ASSERT_TRUE(journal.NotePendingAnswer(first, kIntentSent, "101"));
  const std::string firstFile = box_.Read(kJournal);
  // The other account's journal holds an intent a crash left.
  std::filesystem::create_directories(box_.Path("user/880002"));
  desk_.SetAccount("880002");
  int32_t other;
  {
    TFiringJournal crashed(desk_);
    other = crashed.RecordPending(order);
  }
  ASSERT_GT(other, 0);
  ASSERT_TRUE(journal.HasPendingIntents());
  EXPECT_TRUE(journal.NotePendingAnswer(other, kIntentSent, "201"));
  // Back on the first account before the journal reads it again.
  desk_.SetAccount("880001");
  EXPECT_TRUE(journal.NotePendingAnswer(other, kIntentRefused, "资金不足"));
  EXPECT_TRUE(box_.Read(kJournal) == firstFile) << "the first account's journal changed";
  desk_.SetAccount("880002");
  TFiringJournal reread(desk_);
  ASSERT_TRUE(reread.HasPendingIntents());
  ASSERT_EQ(reread.Intents().size(), 1u);
  EXPECT_EQ(reread.Intents()[0].state, kIntentRefused);
  EXPECT_STREQ(reread.Intents()[0].reference, "201");
  EXPECT_EQ(box_.Read(kOther).size(), 8 + kIntentRecordSize);
  desk_.SetAccount("880001");
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
