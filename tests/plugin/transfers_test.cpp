// Bank-futures transfers on a fake clock: the banks, a transfer and a
// balance polled to their end, a transfer that never ends, a final state
// without success, and the transfer table with its 30 days and hidden
// account numbers.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "plugin/tradebridge.h"
#include "testing/fake_clock.h"
#include "tests/plugin/trade_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

class TransferTest : public TradeTest {
 protected:
  void SetUp() override {
    TradeTest::SetUp();
    LogInOk();
  }
  int ToFutures(double amount, const char *bankPassword = "333333") {
    std::string bank = "1", account = "6222000012345678", funds = "222222", password = bankPassword;
    return TransferBankToFuture(bank.data(), account.data(), funds.data(), password.data(), amount);
  }
  int Balance() {
    std::string bank = "1", account = "6222000012345678", funds = "222222", password = "333333";
    return QueryBankBalance(bank.data(), account.data(), funds.data(), password.data());
  }
  size_t Polls() {
    size_t polls = 0;
    for (const auto &line : NewLines()) polls += line.find("||6043||") != std::string::npos;
    return polls;
  }
  ScopedFakeClock clock_;
};

TEST_F(TransferTest, BanksAreListedWithoutTheCooperatingOnes) {
  broker_.LoadScript("bank 880001 code=合作 name=合作行 account=1\n"
                     "bank 880001 code=2 name=建设银行 account=6227000000000001234567890123456789 balance=1\n");
  ASSERT_EQ(QueryBank(), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_BANKS).empty() && NotesOf(TN_BANKS).back().value == 0; }));
  const auto banks = NotesOf(TN_BANKS);
  ASSERT_EQ(banks.size(), 3u);
  const auto first = Record<CKivoTransferBankField>(banks[0]);
  EXPECT_STREQ(first.BankID, "1");
  EXPECT_STREQ(first.BankName, "工商银行");
  char account[32];
  BankAccountText(first, account);
  EXPECT_STREQ(account, "6222000012345678");
  // An account longer than its field keeps what fits before the flag.
  BankAccountText(Record<CKivoTransferBankField>(banks[1]), account);
  EXPECT_STREQ(account, "6227000000000001234567890123456");
  EXPECT_EQ(banks[1].raw[88], '\0');
}

TEST_F(TransferTest, ATransferIsPolledEveryTwoSecondsUntilItSucceeds) {
  broker_.LoadScript("transferpolls 3\n");
  const uint64_t start = clock_.TickMs();
  ASSERT_EQ(ToFutures(1000), 0);
  const Note done = Last(TN_BANK_TO_FUTURE_DONE);
  EXPECT_STREQ(done.raw.c_str(), "银行资金转期货成功。");
  EXPECT_EQ(clock_.TickMs() - start, 6000u);
  const auto lines = NewLines();
  EXPECT_EQ(lines.at(0), std::string(kHead) + "6041||other#C#|880001|222222|333333|1000.00|01|1|6222000012345678|");
  EXPECT_EQ(lines.at(1), std::string(kHead) + "6043||other#C#|880001|111111|5001|");
  EXPECT_EQ(lines.size(), 4u);
}

TEST_F(TransferTest, ATransferTheBrokerSettlesAtOnceIsToldAsDoneNotAsFailed) {
  // Told as a failure, it would be made again: the money would move twice.
  broker_.LoadScript("transferpolls 0\n");
  const uint64_t start = clock_.TickMs();
  ASSERT_EQ(ToFutures(1000), 0);
  EXPECT_STREQ(Last(TN_BANK_TO_FUTURE_DONE).raw.c_str(), "银行资金转期货成功。");
  EXPECT_EQ(clock_.TickMs(), start);
  EXPECT_EQ(Polls(), 0u);
  // One that fails at once is told with its result.
  broker_.LoadScript("transferoutcome 转账失败 银行系统忙\n");
  ASSERT_EQ(ToFutures(1000), 0);
  EXPECT_EQ(Last(TN_BANK_TO_FUTURE_DONE, true).bytes, "银行系统忙");
}

TEST_F(TransferTest, ATransferThatNeverEndsTimesOutAfterTwentySeconds) {
  broker_.LoadScript("transferpolls 1000\n");
  const uint64_t start = clock_.TickMs();
  ASSERT_EQ(ToFutures(1000), 0);
  const Note timeout = Last(TN_BANK_TO_FUTURE_DONE, true);
  EXPECT_EQ(timeout.bytes, "转账超时。请在交易时段执行银期转账操作。");
  const uint64_t waited = clock_.TickMs() - start;
  EXPECT_GT(waited, 20000u - 1);
  EXPECT_LT(waited, 24000u);
  EXPECT_EQ(Polls(), 10u);
  // The token is free again.
  ASSERT_EQ(QueryInvestorPosition(0), 0);
  ASSERT_TRUE(WaitForCode(TN_POSITIONS));
  EXPECT_FALSE(NotesOf(TN_POSITIONS)[0].text);
}

// The other operations that never end: each tells its own time-out text
// under its own code once 20 s have passed on the fake clock.
TEST_F(TransferTest, TheOtherOperationsTimeOutWithTheirOwnTexts) {
  broker_.LoadScript("transferpolls 1000\n");
  std::string bank = "1", account = "6222000012345678", funds = "222222", password = "333333";
  struct Case {
    const char *name;
    std::function<int()> start;
    int code;
    const char *text;
  } cases[] = {
      {"to the bank",
       [&] { return TransferFutureToBank(bank.data(), account.data(), funds.data(), password.data(), 10); },
       TN_FUTURE_TO_BANK_DONE, "转账超时。请在交易时段执行银期转账操作。"},
      {"balance", [&] { return Balance(); }, TN_BANK_BALANCE, "查询超时。请在交易时段执行银期转账操作。"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    notes_.clear();
    const uint64_t start = clock_.TickMs();
    ASSERT_EQ(c.start(), 0);
    EXPECT_EQ(Last(c.code, true).bytes, c.text);
    const uint64_t waited = clock_.TickMs() - start;
    EXPECT_GT(waited, 20000u - 1);
    EXPECT_LT(waited, 24000u);
  }
}

TEST_F(TransferTest, TheBalanceAndItsFailures) {
  ASSERT_EQ(Balance(), 0);
  const auto balance = Record<TB_BANK_BALANCE>(Last(TN_BANK_BALANCE));
  EXPECT_EQ(balance.Balance, 80000);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6041||other#C#|880001|222222|333333|0.00|05|1|6222000012345678|");

  // A final state without success posts the record's result.
  broker_.LoadScript("transferoutcome 查询失败 银行系统忙\n");
  ASSERT_EQ(Balance(), 0);
  EXPECT_EQ(Last(TN_BANK_BALANCE, true).bytes, "银行系统忙");

  // A refusal of the submission posts the broker's text under the
  // operation's code.
  notes_.clear();
  ASSERT_EQ(ToFutures(10, "000000"), 0);
  EXPECT_EQ(Last(TN_BANK_TO_FUTURE_DONE, true).bytes, "银行密码不正确");
  std::string bank = "1", account = "6222000012345678", funds = "222222", password = "333333";
  ASSERT_EQ(TransferFutureToBank(bank.data(), account.data(), funds.data(), password.data(), 10), 0);
  EXPECT_EQ(Last(TN_FUTURE_TO_BANK_DONE, true).bytes, "银行系统忙");
}

TEST_F(TransferTest, TheTransferTableCoversThirtyDaysAndHidesAccountNumbers) {
  ASSERT_EQ(ToFutures(1000), 0);
  ASSERT_TRUE(WaitForCode(TN_BANK_TO_FUTURE_DONE));
  NewLines();
  char a[] = "", b[] = "";
  ASSERT_EQ(QueryBankTransferDetail(a, b), 0);
  const Note table = Last(TN_BANK_TRANSFERS);
  EXPECT_STREQ(table.raw.c_str(), ".\\880001Money.txt");
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6043||other#C#|880001|111111||20231216|20240115|");
  const std::string text = Read("880001Money.txt");
  ASSERT_GT(text.size(), 251u);
  EXPECT_EQ(text.substr(0, 4), "\r\n  ");
  EXPECT_EQ(text.substr(251), "           5001 |     工商银行 |     ************5678 | 20240115 | 10:00:00 | "
                              "银行转期货 |      1000.00 |     转账成功 | 交易成功\r\n");

  // The 30 days before the first of March, in a common and a leap year.
  for (const auto &[date, from] : {std::pair{"20230301", "20230130"}, std::pair{"20240301", "20240131"}}) {
    TradeFinalize();
    broker_.LoadScript(std::string("tradedate ") + date + "\n");
    const size_t logins = NotesOf(TN_LOGIN_DONE).size(), tables = NotesOf(TN_BANK_TRANSFERS).size();
    ASSERT_EQ(LogIn(), 0);
    ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_LOGIN_DONE).size() > logins; }));
    NewLines();
    ASSERT_EQ(QueryBankTransferDetail(a, b), 0);
    ASSERT_TRUE(WaitFor([&] { return NotesOf(TN_BANK_TRANSFERS).size() > tables; }));
    EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6043||other#C#|880001|111111||" + from + "|" + date + "|");
  }
}

}  // namespace
}  // namespace plugin_test
