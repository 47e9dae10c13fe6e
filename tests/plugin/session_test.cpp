// The request frame against the simulated broker: the token rules, the busy
// texts, the synchronous order, the end of a list that breaks off and the
// logout with a thread stuck in the broker library.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "plugin/tradebridge.h"
#include "standins/simbroker/futures_contracts.h"
#include "testing/fake_clock.h"
#include "testing/settle.h"
#include "tests/plugin/session_fixture.h"
#include "tests/plugin/trade_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

// Logs out on a thread of its own while a fake clock moves on stepMs at a
// time, each step taken up by the other threads; the clock time it took.
uint64_t LogOutAgainstTheClock(uint64_t stepMs) {
  ScopedFakeClock clock;
  std::atomic<bool> done{false};
  std::thread logout([&] {
    TradeFinalize();
    done = true;
  });
  const uint64_t waited = testing_support::AdvanceUntil(clock, [&] { return done.load(); }, stepMs, 60000);
  logout.join();
  return waited;
}

TEST_F(SessionTest, AQueryRefusedWhileAnotherRunsGetsOneBusyTextAndTheFirstCompletes) {
  ASSERT_TRUE(Login());
  broker_.Hold(6018);
  EXPECT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));

  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitForCode(TN_ORDERS, true));
  const auto busy = NotesOf(TN_ORDERS);
  ASSERT_EQ(busy.size(), 1u);
  EXPECT_EQ(busy[0].bytes, "前次查询尚未完成，请稍后重试（P9）。");

  broker_.Release(6018);
  ASSERT_TRUE(WaitFor([&] {
    const auto contracts = NotesOf(TN_CONTRACT);
    return !contracts.empty() && contracts.back().value == 0;
  }));
  const auto contracts = NotesOf(TN_CONTRACT);
  // The shared futures contracts the broker lists, then the end mark.
  std::vector<const sim::FuturesContract *> listed;
  for (const sim::FuturesContract &c : sim::kFuturesContracts)
    if (c.code) listed.push_back(&c);
  ASSERT_EQ(contracts.size(), listed.size() + 1);
  EXPECT_STREQ(contracts[0].bytes.c_str() + 16, listed[0]->name);
  EXPECT_STREQ(contracts[0].bytes.c_str() + 16, "沪铜2402");

  // The token is free again: the same query now runs.
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_ORDERS).size() == 2; }));
  EXPECT_FALSE(NotesOf(TN_ORDERS)[1].text);
  EXPECT_EQ(NotesOf(TN_ORDERS)[1].value, 0);
}

TEST_F(SessionTest, EveryExportThatMustNotWaitPostsItsBusyCode) {
  ASSERT_TRUE(Login());
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  char contract[] = "cu2402", exchange[] = "SHFE", date[] = "20240115", text[] = "1";
  const struct {
    std::function<int()> call;
    uint32_t code;
    const char *busy;
  } cases[] = {
      {[&] { return QuerySettlementInfo(date, 0, 0); }, TN_SETTLEMENT_INFO, "P1"},
      {[&] { return QueryMaxOrderVolume(contract, exchange, 1, '0', '0', '1'); }, TN_MAX_ORDER_VOLUME, "P2"},
      {[&] { return QueryTradingAccount(date, 0); }, TN_QUERY_REPORT, "P3"},
      {[&] { return QueryInvestorPosition(0); }, TN_POSITIONS, "P4"},
      {[&] { return QuerySinglePosition(contract, '0', '1', 0); }, TN_SINGLE_POSITION, "P5"},
      {[&] { return QueryMoneyHistory(date, date); }, TN_QUERY_REPORT, "P6"},
      {[&] { return QueryTrade(nullptr, nullptr, 0); }, TN_TRADES, "P8"},
      {[&] { return QueryTrade(date, date, 0); }, TN_QUERY_REPORT, "P8"},
      {[&] { return QueryOrder(0); }, TN_ORDERS, "P9"},
      {[&] { return QueryQuote(contract, exchange, 0); }, TN_QUOTE, "P10"},
      {[&] { return QueryBankBalance(text, text, text, text); }, TN_BANK_BALANCE, "PA"},
      {[&] { return QueryBankTransferDetail(text, text); }, TN_BANK_TRANSFERS, "PB"},
      {[&] { return TransferBankToFuture(text, text, text, text, 10); }, TN_BANK_TO_FUTURE_DONE, "PC"},
      {[&] { return TransferFutureToBank(text, text, text, text, 10); }, TN_FUTURE_TO_BANK_DONE, "PD"},
  };
  for (const auto &c : cases) {
    const size_t before = NotesOf(c.code).size();
    EXPECT_EQ(c.call(), 0) << c.busy;
    ASSERT_TRUE(WaitFor([&] { return NotesOf(c.code).size() == before + 1; })) << c.busy;
    const Note note = NotesOf(c.code).back();
    EXPECT_TRUE(note.text) << c.busy;
    EXPECT_EQ(note.bytes, std::string("前次查询尚未完成，请稍后重试（") + c.busy + "）。");
  }
  broker_.Release(6018);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_CONTRACT).empty() && NotesOf(TN_CONTRACT).back().value == 0; }));
}

TEST_F(SessionTest, WithoutASessionTheExportsRefuseAndTheAnswersAtOnceNeedNoToken) {
  char text[] = "x";
  EXPECT_EQ(QueryOrder(1), kNoSession);
  EXPECT_EQ(QueryContract(), kNoSession);
  EXPECT_EQ(QueryBankBalance(text, text, text, text), kNoSession);
  EXPECT_EQ(QueryTradeStatistics(text, text), kNoSession);
  EXPECT_EQ(QuerySingleOrder(0), -1);
  EXPECT_EQ(QueryFutureToBankLimit(text, text), 0);
  char out[16] = "junk";
  GetExchangeID(0, out);
  EXPECT_STREQ(out, "");

  ASSERT_TRUE(Login());
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  // These answer at once even while the token is taken.
  EXPECT_EQ(QueryTradeStatistics(text, text), 0);
  EXPECT_EQ(QueryInvestorPositionDetail(), 0);
  EXPECT_EQ(QueryBrokerNotice(), 0);
  EXPECT_EQ(QueryFutureToBankLimit(text, text), 0);
  ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_QUERY_REPORT).size() == 2 && !NotesOf(TN_WITHDRAW_LIMIT).empty(); }));
  EXPECT_EQ(NotesOf(TN_QUERY_REPORT)[0].bytes, "暂不支持此功能。");
  const Note notice = NotesOf(TN_BROKER_NOTICE).at(0);
  EXPECT_TRUE(notice.text);
  EXPECT_EQ(notice.value, 0);
  int32_t limit;
  memcpy(&limit, NotesOf(TN_WITHDRAW_LIMIT)[0].bytes.data(), sizeof limit);
  EXPECT_EQ(limit, 0);
  GetExchangeID(8, out);
  EXPECT_STREQ(out, "");
  broker_.Release(6018);
}

TEST_F(SessionTest, OrderInsertWaitsForARunningQueryThenLeavesTheTokenFree) {
  ASSERT_TRUE(Login());
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  std::atomic<int> result{-99};
  char ref[13] = {}, error[232] = {};
  std::thread order([&] {
    char contract[] = "cu2402", exchange[] = "SHFE";
    result = OrderInsert(contract, exchange, 69000, 1, '0', '0', '1', ref, error);
  });
  // The order waits for the query; only the query's line reached the broker.
  EXPECT_EQ(broker_.RecordedLines().size(), 2u);  // the login and 6018
  broker_.Release(6018);
  order.join();
  EXPECT_EQ(result.load(), 0) << error;
  EXPECT_STREQ(ref, "1001");

  // A refused order returns the broker's code and text, and the token is
  // free for the next query.
  char unknown[] = "zz999", exchange[] = "SHFE";
  EXPECT_EQ(OrderInsert(unknown, exchange, 1, 1, '0', '0', '1', ref, error), 30003);
  EXPECT_STREQ(error, "合约代码不存在");
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty() && NotesOf(TN_ORDERS).back().value == 0; }));
  for (const auto &note : NotesOf(TN_ORDERS)) EXPECT_FALSE(note.text);
}

TEST_F(SessionTest, AContinuationThatFailsEndsTheListWithAnErrorNotAsComplete) {
  ASSERT_TRUE(Login());
  // The first answer, then the first packet come; the second packet fails.
  broker_.FailRequest(3, -100);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(WaitForCode(TN_CONTRACT, true));
  const auto notes = NotesOf(TN_CONTRACT);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_FALSE(notes[0].text);
  EXPECT_NE(notes[0].value, 0);
  EXPECT_EQ(notes[1].bytes, "网络通讯失败");
  // The token came back.
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty(); }));
  EXPECT_FALSE(NotesOf(TN_ORDERS)[0].text);
}

TEST_F(SessionTest, ALogoutLeavesAStuckWorkerItsSessionAndALaterLoginWorks) {
  ASSERT_TRUE(Login());
  std::weak_ptr<Session> first = CurrentSession();
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  // The logout waits 10 s of the clock for the threads, then gives up on
  // the worker.
  EXPECT_GE(LogOutAgainstTheClock(500), 10000u);
  EXPECT_EQ(QueryOrder(0), kNoSession);
  // The stuck worker still holds its session and the pool.
  EXPECT_FALSE(first.expired());
  EXPECT_GE(KnownResultPools(), 1);

  broker_.Release(6018);
  ASSERT_TRUE(WaitFor([&] { return first.expired(); }));
  // Its late results went nowhere.
  EXPECT_TRUE(NotesOf(TN_CONTRACT).empty());

  ASSERT_TRUE(Login());
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty(); }));
  EXPECT_EQ(NotesOf(TN_ORDERS).back().value, 0);
}

TEST_F(SessionTest, AStuckWorkerThatComesBackAfterANewLoginSendsNothingMore) {
  ASSERT_TRUE(Login());
  std::weak_ptr<Session> first = CurrentSession();
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  LogOutAgainstTheClock(500);
  ASSERT_FALSE(first.expired());

  // The library now serves the new login: the old worker's continuations
  // and seat lists would take the new session's answers.
  ASSERT_TRUE(Login());
  broker_.ClearRecordedLines();
  broker_.Release(6018);
  ASSERT_TRUE(WaitFor([&] { return first.expired(); }));
  EXPECT_TRUE(broker_.RecordedLines().empty());
  EXPECT_TRUE(NotesOf(TN_CONTRACT).empty());

  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty(); }));
  EXPECT_EQ(NotesOf(TN_ORDERS).back().value, 0);
}

// A logout that gives up on a worker stuck in the library leaves the library
// open under it (its connection keeps its account), and a login is refused
// until the worker has come back; then the library is closed and started
// afresh for the new login.
TEST_F(TradeTest, ALoginWaitsUntilTheWorkerALogoutLeftBehindHasEnded) {
  LogInOk();
  std::weak_ptr<Session> first = CurrentSession();
  broker_.Hold(6018);
  ASSERT_EQ(QueryContract(), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  EXPECT_GE(LogOutAgainstTheClock(500), 10000u);
  EXPECT_EQ(link_.Client().Account(), "880001") << "the library was closed under the stuck call";

  boxes_.Clear();
  EXPECT_EQ(LogIn(), kBrokerStartFailed);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "上次退出交易时仍有请求未结束，请稍后再登录。  ");
  EXPECT_EQ(CurrentSession(), nullptr);
  EXPECT_EQ(link_.Client().Account(), "880001");

  broker_.Release(6018);
  ASSERT_TRUE(WaitFor([&] { return first.expired() && OldSessionsEnded(); }));
  LogInOk();
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty(); }));
  EXPECT_EQ(NotesOf(TN_ORDERS).back().value, 0);
}

// A library that keeps saying a record waits but can't hand it over.
std::atomic<bool> g_pushJammed{true};
int JammedPushCount() { return g_pushJammed.load() ? 1 : 0; }
int JammedReceive(char *, int *) { return -4; }
int ConnectedStatus() { return 4; }

TEST(PushReceiver, ARecordThatCannotBeReceivedNeitherSpinsNorHoldsUpTheLogout) {
  g_pushJammed = true;
  std::shared_ptr<Session> session = CreateSession();
  ASSERT_TRUE(session);
  session->broker.CheckPushDataArrival = JammedPushCount;
  session->broker.ReceivePushData = JammedReceive;
  session->broker.GetConnectionStatus = ConnectedStatus;
  std::weak_ptr<Session> held = session;
  ASSERT_TRUE(StartSession(session));
  session.reset();
  // The clock moves in small steps, each one taken up by every thread
  // before the next: a receiver that watches its stop sees it long before
  // the logout's 10 s are up.
  const uint64_t waited = LogOutAgainstTheClock(50);
  const bool ended = held.expired();
  g_pushJammed = false;  // lets a receiver that was left behind go
  EXPECT_LT(waited, 10000u);
  EXPECT_TRUE(ended);
}

TEST_F(SessionTest, ConnectionChangesAreReportedOnce) {
  ASSERT_TRUE(Login());
  broker_.SetConnectionStatus(6);
  ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_CONNECTION_STATE).size() == 1; }));
  broker_.SetConnectionStatus(2);  // broken to lost: not a change worth telling
  broker_.SetConnectionStatus(4);
  ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_CONNECTION_STATE).size() == 2; }));
  const auto states = NotesOf(TN_CONNECTION_STATE);
  EXPECT_EQ(states[0].value, -1);
  EXPECT_EQ(states[1].value, 1);
}

}  // namespace
}  // namespace plugin_test
