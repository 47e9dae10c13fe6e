// The simulated broker as a broker: orders live and fill, positions and
// funds follow, transfers settle after a few polls, pushes reach the
// account's connections, and bad input is refused with a reason.
#include "standins/simbroker/simbroker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string &text) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == '|')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

class SimBrokerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(broker_.LoadScript(sim::SimBroker::DefaultScript()));
    client_ = broker_.Connect();
    const auto login = Call(6011, "127.0.0.1|1|1", true);
    ASSERT_EQ(login.at(3), "Y");
  }
  // Sends "R|adapter||code||tag|880001|111111|fields|" and splits the answer.
  std::vector<std::string> Call(int code, const std::string &fields, bool login = false) {
    std::string line = "R|001A2B3C4D5E||" + std::to_string(code) + "||other#C#|880001|111111|";
    if (!fields.empty()) line += fields + "|";
    char answer[sim::kAnswerSize];
    const int result = login ? client_->Open("0001", "127.0.0.1", 17001, line.c_str(), answer, sizeof answer)
                             : client_->Send(line.c_str(), answer, sizeof answer);
    if (result != 0) return {"library", std::to_string(result)};
    return Split(answer);
  }
  // A list: every packet's fields.
  std::vector<std::vector<std::string>> List(int code, const std::string &fields) {
    const auto first = Call(code, fields);
    std::vector<std::vector<std::string>> packets;
    if (first.size() < 5 || first[3] != "Y") return packets;
    for (int i = 0; i < std::stoi(first[4]); ++i) packets.push_back(Call(0, ""));
    return packets;
  }
  std::vector<std::string> Pushes() {
    std::vector<std::string> records;
    while (client_->PushCount() > 0) {
      char record[sim::kPushSize];
      int length = sizeof record;
      if (client_->ReceivePush(record, &length) != 0) break;
      records.emplace_back(record, size_t(length));
    }
    return records;
  }

  sim::SimBroker broker_;
  std::unique_ptr<sim::SimClient> client_;
};

TEST_F(SimBrokerTest, AMarketableOrderFillsAndMovesPositionAndFunds) {
  const auto before = Call(6012, "20240115|");
  const auto order = Call(6021, "SHFE|cu2402|0|0|0|2|69000.000|0001|88000101");
  ASSERT_EQ(order.at(3), "Y");
  EXPECT_EQ(order.at(9), "a");  // accepted; the fill comes as a push
  const auto pushes = Pushes();
  ASSERT_EQ(pushes.size(), 3u);  // accepted, fill, filled
  EXPECT_EQ(Split(pushes[0]).at(3), "16002");
  EXPECT_EQ(Split(pushes[1]).at(3), "16005");
  EXPECT_EQ(Split(pushes[1]).at(21), "2");
  EXPECT_EQ(Split(pushes[2]).at(13), "c");

  const auto positions = List(6014, "20240115|20240115");
  ASSERT_EQ(positions.size(), 1u);
  EXPECT_EQ(positions[0].at(5), "cu2402");
  EXPECT_EQ(positions[0].at(7), "2");
  const auto trades = List(6013, "20240115|20240115");
  ASSERT_EQ(trades.size(), 1u);
  EXPECT_EQ(trades[0].at(14), "2");
  const auto after = Call(6012, "20240115|");
  EXPECT_LT(std::stod(after.at(12)), std::stod(before.at(12)));  // margin held, fee paid
}

TEST_F(SimBrokerTest, ARestingOrderFillsInPartsAndTheRestIsCancelled) {
  const auto order = Call(6021, "SHFE|cu2402|1|0|0|5|69500.000||");
  ASSERT_EQ(order.at(3), "Y");
  const int ref = std::stoi(order.at(4));
  Pushes();
  ASSERT_TRUE(broker_.FillOrder(ref, 2));
  auto orders = List(6019, "20240115|20240115");
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0].at(8), "p");
  EXPECT_EQ(orders[0].at(18), "2");

  const auto cancel = Call(6022, "SHFE|cu2402|1|0|0|5|69500.000|" + std::to_string(ref) + "|3|||");
  ASSERT_EQ(cancel.at(3), "Y");
  EXPECT_EQ(cancel.at(7), "d");
  EXPECT_EQ(cancel.at(8), "部成部撤");
  orders = List(6019, "20240115|20240115");
  EXPECT_EQ(orders[0].at(20), "3");
  // A second cancel is refused.
  const auto again = Call(6022, "SHFE|cu2402|1|0|0|5|69500.000|" + std::to_string(ref) + "|3|||");
  EXPECT_EQ(again.at(3), "N");
  EXPECT_EQ(again.at(4), "30011");

  // The market reaching a resting buy fills it.
  const auto buy = Call(6021, "SHFE|cu2402|0|0|0|1|68000.000||");
  Pushes();
  broker_.SetPrice("cu2402", 67990);
  const auto pushes = Pushes();
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_EQ(Split(pushes[0]).at(10), buy.at(4));
}

TEST_F(SimBrokerTest, OrdersTheBrokerRefuses) {
  const struct {
    const char *fields;
    const char *code;
  } cases[] = {
      {"SHFE|zz9999|0|0|0|1|1.000||", "30003"},
      {"DCE|cu2402|0|0|0|1|69000.000||", "30003"},
      {"SHFE|cu2402|0|0|0|0|69000.000||", "30004"},
      {"SHFE|cu2402|0|0|0|1|69005.000||", "30005"},
      {"SHFE|cu2402|0|0|0|1000|69000.000||", "30001"},
      {"SHFE|cu2402|1|1|0|1|69000.000||", "30002"},
  };
  for (const auto &c : cases) {
    const auto answer = Call(6021, c.fields);
    EXPECT_EQ(answer.at(3), "N") << c.fields;
    EXPECT_EQ(answer.at(4), c.code) << c.fields;
    EXPECT_FALSE(answer.at(5).empty());
  }
  EXPECT_TRUE(Pushes().empty());
}

TEST_F(SimBrokerTest, ATransferSettlesAfterItsPolls) {
  ASSERT_TRUE(broker_.LoadScript("transferpolls 2"));
  const std::string line = "R|001A2B3C4D5E||6041||other#C#|880001|222222|333333|1000.00|01|1|6222000012345678|";
  char answer[sim::kAnswerSize];
  ASSERT_EQ(client_->Send(line.c_str(), answer, sizeof answer), 0);
  const auto submitted = Split(answer);
  ASSERT_EQ(submitted.at(3), "Y");
  EXPECT_EQ(submitted.at(12), "处理中");
  const std::string serial = submitted.at(5);
  EXPECT_EQ(List(6043, serial).at(0).at(12), "处理中");
  const auto settled = List(6043, serial);
  EXPECT_EQ(settled.at(0).at(12), "转账成功");
  EXPECT_EQ(settled.at(0).at(11), "1000.00");
  EXPECT_EQ(Call(6012, "20240115|").at(21), "1000.00");
  // A wrong bank password is refused at once.
  const std::string bad = "R|001A2B3C4D5E||6041||other#C#|880001|222222|000000|1.00|01|1|6222000012345678|";
  ASSERT_EQ(client_->Send(bad.c_str(), answer, sizeof answer), 0);
  EXPECT_EQ(Split(answer).at(5), "银行密码不正确");
}

TEST_F(SimBrokerTest, TheTestInterfaceShapesWhatTheLibrarySees) {
  broker_.FailRequest(2, -100);
  EXPECT_EQ(Call(6042, "").at(3), "Y");
  EXPECT_EQ(Call(0, ""), (std::vector<std::string>{"library", "-100"}));
  EXPECT_EQ(Call(0, "").at(4), "1");  // the packet is still there
  broker_.QueuePush("P|1|push|16006|x||||0|");
  broker_.QueuePush("P|2|push|16006|x||||0|", "someone else");
  EXPECT_EQ(Pushes().size(), 1u);
  broker_.SetConnectionStatus(6);
  EXPECT_EQ(client_->ConnectionStatus(), 6);
  client_->Close();
  EXPECT_EQ(client_->ConnectionStatus(), 0);
  EXPECT_EQ(Call(6018, ""), (std::vector<std::string>{"library", std::to_string(sim::kErrNotConnected)}));
  EXPECT_EQ(broker_.RecordedLines().size(), 5u);
}

// A new trading day: the trade date moves on (to the next calendar day
// unless named) and every logged-in connection is pushed the notice the
// plug-in takes for a re-initialisation; the next login gives the new date.
TEST_F(SimBrokerTest, ReinitStartsANewTradingDayAndTellsEveryConnection) {
  const struct {
    const char *before;  // the trade date set first; null keeps it
    const char *statement;
    const char *date;  // the new trade date; null: refused
  } cases[] = {
      {nullptr, "reinit", "20240116"},
      {nullptr, "reinit 20240301", "20240301"},
      {nullptr, "reinit 20240301", nullptr},  // the same day
      {nullptr, "reinit 2024", nullptr},
      {"tradedate 20240228", "reinit", "20240229"},
      {"tradedate 20241231", "reinit", "20250101"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.statement);
    if (c.before) ASSERT_TRUE(broker_.LoadScript(c.before));
    EXPECT_EQ(broker_.LoadScript(c.statement), c.date != nullptr);
    const auto pushes = Pushes();
    if (!c.date) {
      EXPECT_TRUE(pushes.empty());
      continue;
    }
    ASSERT_EQ(pushes.size(), 1u);
    const auto notice = Split(pushes[0]);
    EXPECT_EQ(notice.at(3), "16006");
    EXPECT_EQ(notice.at(7), "");
    EXPECT_EQ(notice.at(11), "SYSTEM");
    EXPECT_EQ(notice.at(14), c.date);
    EXPECT_EQ(Call(6011, "127.0.0.1|1|1", true).at(8), c.date);
  }
}

TEST(SimBrokerScript, ALineItDoesNotKnowIsToldWithItsNumber) {
  sim::SimBroker broker;
  std::string error;
  EXPECT_FALSE(broker.LoadScript("tradedate 20240115\n# a comment\nsell everything\n", &error));
  EXPECT_EQ(error, "line 3: unknown statement \"sell\"");
  EXPECT_FALSE(broker.LoadScript("position 999 cu2402 long=1", &error));
  EXPECT_FALSE(broker.LoadScript("tradedate 2024", &error));
}

TEST(SimBrokerLogin, RefusalsAndTheTradingCentre) {
  sim::SimBroker broker;
  ASSERT_TRUE(broker.LoadScript(std::string(sim::SimBroker::DefaultScript()) +
                                "account 880001 centre=B\nserver A 127.0.0.1 17001\nserver B 127.0.0.1 17002\n"));
  auto client = broker.Connect();
  char answer[sim::kAnswerSize];
  const struct {
    const char *account, *password;
    int port;
    const char *code;
  } cases[] = {
      {"880009", "111111", 17002, "10001"},
      {"880001", "000000", 17002, "10002"},
      {"880001", "111111", 17001, "50001"},
      {"880001", "111111", 17002, ""},
  };
  for (const auto &c : cases) {
    const std::string line = std::string("R|||6011||other#C#|") + c.account + "|" + c.password + "|127.0.0.1|1|1|";
    ASSERT_EQ(client->Open("0001", "127.0.0.1", c.port, line.c_str(), answer, sizeof answer), 0);
    const auto fields = Split(answer);
    EXPECT_EQ(fields.at(3), *c.code ? "N" : "Y") << c.account << c.port;
    if (*c.code) EXPECT_EQ(fields.at(4), c.code);
  }
  EXPECT_EQ(client->Account(), "880001");
}

}  // namespace
