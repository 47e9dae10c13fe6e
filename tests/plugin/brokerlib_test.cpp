// The broker library stand-ins: names, version, and the simulated broker
// behind them, in process and as the program on loopback.
#include "plugin/brokerlib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/module.h"
#include "plugin/brokerstr.h"
#include "standins/simbroker/server.h"
#include "testing/sim_broker_link.h"

namespace {

using namespace tb;

std::string ProgramFolder() {
  char path[4096];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

TEST(BrokerLibrary, OnlyTheExpectedVersionPasses) {
  EXPECT_TRUE(CheckBrokerLibraryVersion());
  EXPECT_TRUE(CheckBrokerLibraryVersion(kBrokerLibraryFallbackName));
  EXPECT_FALSE(CheckBrokerLibraryVersion((ProgramFolder() + "wrongver\\KSInterB2C.dll").c_str()));
  EXPECT_FALSE(CheckBrokerLibraryVersion("NoSuchLibrary.dll"));
  // The portal library carries no file version at all.
  EXPECT_FALSE(CheckBrokerLibraryVersion(kPortalLibraryName));
}

TEST(BrokerLibrary, AllElevenEntryPointsBind) {
  BrokerApi api;
  ASSERT_TRUE(BindBrokerLibrary(api));
  EXPECT_NE(api.CleanUp, nullptr);
  PortalApi portal;
  ASSERT_TRUE(BindPortalLibrary(portal));
}

// A login line, then a list with its packets, a pushed record and the
// connection state, through whatever endpoint the library has.
void TalkToTheBroker(sim::SimBroker &broker, int port) {
  BrokerApi api;
  ASSERT_TRUE(BindBrokerLibrary(api));
  ASSERT_EQ(api.InitSystem(1), 0);
  ASSERT_EQ(api.Start(), 0);
  const RequestHead head{testing_support::kSimAdapter, "other#C#", "880001", "111111"};
  RequestLine login(6011, head);
  login.Add("127.0.0.1").Add("1").Add("1");
  char answer[kAnswerSize];
  ASSERT_EQ(api.Open("0001", "127.0.0.1", port, 0, "", 0, "", "", login.Line(), answer), 0);
  AnswerReader reader(answer);
  char field[64];
  reader.At(3, field);
  EXPECT_STREQ(field, "Y");
  reader.At(4, field);
  EXPECT_STREQ(field, "张三");
  EXPECT_EQ(api.GetConnectionStatus(), 3);

  RequestLine seats(6040, head);
  seats.Add("SHFE").Add("");
  ASSERT_EQ(api.SendToServer(seats.Line(), answer), 0);
  EXPECT_EQ(AnswerReader(answer).AtInt(4), 2);
  char next[kRequestLineSize];
  ASSERT_TRUE(FormatContinuation(head, next, sizeof next));
  ASSERT_EQ(api.SendToServer(next, answer), 0);
  AnswerReader seat(answer);
  seat.At(5, field);
  EXPECT_STREQ(field, "0001");
  ASSERT_EQ(api.SendToServer(next, answer), 0);
  // Nothing more to come: the library says so.
  const int none = api.SendToServer(next, answer);
  EXPECT_NE(none, 0);
  char text[kErrorTextSize];
  api.GetErrorMessage(none, text, sizeof text);
  EXPECT_STREQ(text, "没有后续数据包");

  broker.QueuePush("P|1|push|16006|||||0|", "880001");
  ASSERT_EQ(api.CheckPushDataArrival(), 1);
  char record[16384];
  int length = sizeof record;
  ASSERT_EQ(api.ReceivePushData(record, &length), 0);
  EXPECT_EQ(std::string(record, size_t(length)), "P|1|push|16006|||||0|");
  EXPECT_EQ(api.CheckPushDataArrival(), 0);

  api.Close();
  EXPECT_NE(api.SendToServer(seats.Line(), answer), 0);
  api.Stop();
  api.CleanUp();
}

TEST(BrokerLibrary, TalksToTheSimulatorInProcess) {
  testing_support::SimBrokerLink link;
  TalkToTheBroker(link.Broker(), 17001);
}

TEST(BrokerLibrary, TalksToTheSimulatorProgramOnLoopback) {
  sim::SimBroker broker;
  ASSERT_TRUE(broker.LoadScript(sim::SimBroker::DefaultScript()));
  sim::SimServer server(broker);
  ASSERT_TRUE(server.Listen("127.0.0.1", 0));
  TalkToTheBroker(broker, server.Port());
  // A refused login comes back as the broker's answer.
  BrokerApi api;
  ASSERT_TRUE(BindBrokerLibrary(api));
  api.Start();
  RequestLine login(6011, RequestHead{testing_support::kSimAdapter, "other#C#", "880001", "bad"});
  login.Add("127.0.0.1").Add("1").Add("1");
  char answer[kAnswerSize];
  ASSERT_EQ(api.Open("0001", "127.0.0.1", server.Port(), 0, "", 0, "", "", login.Line(), answer), 0);
  int code = 0;
  char text[kErrorTextSize];
  EXPECT_FALSE(AnswerSucceeded(answer, &code, text, sizeof text));
  EXPECT_STREQ(text, "密码不正确");
  api.Close();
  server.Stop();
  // Nobody listens any more.
  EXPECT_EQ(api.Open("0001", "127.0.0.1", server.Port(), 0, "", 0, "", "", login.Line(), answer), sim::kErrLinkFailed);
  api.Stop();
}

TEST(PortalLibrary, HandsOutTheTradingServersOfTheAccountsCentre) {
  testing_support::SimBrokerLink link(std::string(sim::SimBroker::DefaultScript()) +
                                      "account 880001 centre=B\n"
                                      "server A 127.0.0.1 17001\nserver B 127.0.0.1 17002\nserver B 127.0.0.1 17003\n");
  PortalApi portal;
  ASSERT_TRUE(BindPortalLibrary(portal));
  PortalServerList gateways{};
  gateways.count = 1;
  strcpy(gateways.servers[0].address, "127.0.0.1");
  gateways.servers[0].port = 17000;
  ASSERT_EQ(portal.InitInstance(PortalProxy{}, gateways, 67, 1), 0);
  PortalServerList servers{};
  ASSERT_EQ(portal.GetSwitchList("880001", 10, &servers, 3000, 0), 0);
  ASSERT_EQ(servers.count, 2);
  EXPECT_EQ(servers.servers[0].port, 17002);
  EXPECT_EQ(servers.servers[1].port, 17003);
  EXPECT_EQ(portal.InitInstance(PortalProxy{}, PortalServerList{}, 67, 1), 1);
  char text[128];
  portal.GetErrorDescribe(1, text, sizeof text);
  EXPECT_STREQ(text, "没有可用的门户网关");
}

}  // namespace
