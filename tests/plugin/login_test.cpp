// The broker login: the server walk within a group, refusals, the login
// answer into the login block and the account summary, the first-login
// copy, the certificate form of the login line, the portal gateway road, a
// login over loopback, and the logout with a stalled broker.
#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "plugin/tradebridge.h"
#include "standins/simbroker/server.h"
#include "testing/fake_clock.h"
#include "testing/settle.h"
#include "tests/plugin/trade_fixture.h"

namespace plugin_test {
namespace {

using namespace tb;

constexpr const char *kFourServers =
    "s1=一\ns1a=127.0.0.1\ns1p=17001\ns1t=1\n"
    "s2=二\ns2a=127.0.0.1\ns2p=17002\ns2t=2\n"
    "s3=三\ns3a=127.0.0.1\ns3p=17003\ns3t=1\n"
    "s4=四\ns4a=127.0.0.1\ns4p=17004\ns4t=1\n";

class LoginTest : public TradeTest {
 protected:
  // The servers tried (the index in wParam's high half of each progress
  // note), from message number from on.
  std::vector<int> Tried(size_t from = 0) {
    std::vector<int> tried;
    const auto &messages = trace_.Messages();
    for (size_t i = from; i < messages.size(); ++i)
      if (messages[i].message == WM_TRADE_NOTIFY && (messages[i].wParam & 0xFFFF) == TN_LOGIN_PROGRESS)
        tried.push_back(int(messages[i].wParam >> 16));
    return tried;
  }
};

TEST_F(LoginTest, TheWalkTriesEveryServerOfTheGroupFromARandomOneAndNeverAnother) {
  WriteServers(kFourServers);
  EXPECT_EQ(GetServerCount(), 4);
  char name[8];
  GetServerName(2, name, sizeof name);
  EXPECT_STREQ(name, "三");

  const std::vector<std::vector<int>> rotations = {{0, 2, 3}, {2, 3, 0}, {3, 0, 2}};
  for (int attempt = 0; attempt < 3; ++attempt) {
    const size_t from = trace_.Messages().size();
    // An unknown account is refused by every server, but not for its
    // password: the walk goes on.
    EXPECT_EQ(LogIn("999999"), kLoginRefused);
    const std::vector<int> tried = Tried(from);
    EXPECT_NE(std::find(rotations.begin(), rotations.end(), tried), rotations.end()) << tried.size();
  }
  ASSERT_EQ(boxes_.Count(), 3u);
  EXPECT_EQ(boxes_.Calls().back().caption, "登录交易失败");
  EXPECT_EQ(boxes_.Calls().back().text, "客户号不存在");
  // The server being tried is noted in the caller's settings.
  EXPECT_NE(Read("../user/Consign.ini").find("server="), std::string::npos);
}

TEST_F(LoginTest, APasswordRefusalStopsTheWalkAtTheFirstServer) {
  WriteServers(kFourServers);
  EXPECT_EQ(LogIn("880001", "000000"), kLoginRefused);
  EXPECT_EQ(Tried().size(), 1u);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "密码不正确");
  // No session came of it.
  EXPECT_EQ(QueryOrder(0), kNoSession);
}

TEST_F(TradeTest, BadArgumentsAndAServerWithoutAddressAreRefusedAsSuch) {
  std::string account = "880001", password = "111111", empty, settings = "..\\user\\Consign.ini";
  EXPECT_EQ(TradeInitialize(window_, WM_TRADE_NOTIFY, 0, account.data(), empty.data(), empty.data(),
                            settings.data()),
            kBadArguments);
  EXPECT_EQ(TradeInitialize(nullptr, WM_TRADE_NOTIFY, 0, account.data(), password.data(), empty.data(),
                            settings.data()),
            kBadArguments);
  WriteServers("s1=一\ns1a=\ns1p=17001\n");
  EXPECT_EQ(LogIn(), kBadArguments);
  // An index past the list names no server.
  EXPECT_EQ(LogIn("880001", "111111", 5), kBadArguments);
}

TEST_F(TradeTest, ALoginFillsTheLoginBlockAndTheSummaryAndStartsTheSession) {
  LogInOk();
  const Note done = Last(TN_LOGIN_DONE);
  EXPECT_EQ(done.raw.substr(0, 3), std::string("10") + '0');
  EXPECT_EQ(done.raw.substr(3, 29), std::string(29, '\0'));
  EXPECT_STREQ(done.raw.c_str() + 32, ".\\880001.txt");
  EXPECT_EQ(Read("880001.txt"),
            "\r\n 客户名称:     张三          客户号: 880001\r\n"
            " 风险度:       0.00%（正常）\r\n"
            " 追加保证金:   0.00\r\n\r\n"
            " 上次登录地址: 127.0.0.1\r\n"
            " 上次登录时间: 2024-01-15 08:30:00\r\n"
            " 上次登录方式: 网上交易\r\n\r\n "
            "在线人数/最大可登录人数：1/5");
  EXPECT_EQ(broker_.RecordedLines().at(0), std::string(kHead) + "6011||other#C#|880001|111111|127.0.0.1|1|1|");
  char date[16], name[32], id[16], password[41];
  GetTradeDate(date);
  GetInvestor(name, id, password);
  EXPECT_STREQ(date, "20240115");
  EXPECT_STREQ(name, "张三");
  EXPECT_STREQ(id, "880001");
  EXPECT_STREQ(password, "111111");
  EXPECT_EQ(QueryOrder(0), 0);
  ASSERT_TRUE(WaitForCode(TN_ORDERS));
}

TEST_F(TradeTest, TheFirstLoginCopiesTheTradingFilesOnceAndNeverOverwrites) {
  Write("../user/Consign.ini", "[UI]\nx=1\n");
  Write("../user/Dealed.dat", "dealed");
  Write("../user/pcorder.dat", "pc");
  std::filesystem::create_directories("../user/stoporder/inner");
  Write("../user/stoporder/a.sto", "stop a");
  std::filesystem::create_directories("../user/880001");
  Write("../user/880001/pcorder.dat", "the account's own");
  LogInOk();
  EXPECT_TRUE(Exists("../user/880001/FilesCop.ied"));
  EXPECT_EQ(Read("../user/880001/Dealed.dat"), "dealed");
  EXPECT_EQ(Read("../user/880001/pcorder.dat"), "the account's own");
  EXPECT_EQ(Read("../user/880001/stoporder/a.sto"), "stop a");
  EXPECT_FALSE(Exists("../user/880001/stoporder/inner"));
  EXPECT_FALSE(Exists("../user/880001/stopordr.ini"));
  EXPECT_TRUE(Exists("../user/880001/tradelog"));

  TradeFinalize();
  std::filesystem::remove("../user/880001/Dealed.dat");
  LogInOk();
  EXPECT_FALSE(Exists("../user/880001/Dealed.dat"));
}

TEST_F(TradeTest, TheCertificateFormIsSentOnlyWithAnAuthorityAndAText) {
  WriteServers("s1=一\ns1a=127.0.0.1\ns1p=17001\nSKID=3\nBroker=0001\n");
  ASSERT_EQ(LogIn("880001", "111111", 0, ""), 0);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6011||other#C#|880001|111111|127.0.0.1|1|1|");
  TradeFinalize();
  ASSERT_EQ(LogIn("880001", "111111", 0, "123456"), 0);
  EXPECT_EQ(NewLines().at(0), std::string(kHead) +
                                  "6011||other#C#b|880001|111111|127.0.0.1|1|1|3|||2|3|||123456|1||KSCA||");
  // Every later line carries the certificate tag.
  EXPECT_EQ(QueryOrder(1), 0);
  ASSERT_TRUE(WaitForCode(TN_ORDERS));
  EXPECT_EQ(NewLines().at(0), std::string(kHead) + "6019||other#C#b|880001|111111|20240115|20240115|");
}

TEST_F(TradeTest, ARetryAndARedirectToAnotherTradingCentre) {
  // The library asks for one more try: the same server is tried again.
  broker_.FailRequest(1, -11);
  ASSERT_EQ(LogIn(), 0);
  EXPECT_EQ(NewLines().size(), 2u);
  TradeFinalize();

  // A server of another centre sends the client away.
  broker_.LoadScript("account 880002 password=1 name=李四 centre=B\nserver A 127.0.0.1 17001\n"
                     "server B 127.0.0.1 17002\n");
  EXPECT_EQ(LogIn("880002", "1"), kChangeTradingCentre);
  EXPECT_EQ(QueryOrder(0), kNoSession);
}

TEST_F(TradeTest, ThroughThePortalGatewayTheServerListComesFromTheGateway) {
  broker_.LoadScript("account 880002 password=1 name=李四 centre=B\nserver A 127.0.0.1 17001\n"
                     "server B 127.0.0.1 17002\n");
  WriteServers("s1=一\ns1a=127.0.0.1\ns1p=9000\nUseGate=1\n");
  ASSERT_EQ(LogIn("880002", "1"), 0);
  ASSERT_TRUE(WaitForCode(TN_LOGIN_DONE));
  // No progress through the gateway.
  for (const auto &note : Notes()) EXPECT_NE(note.code, TN_LOGIN_PROGRESS);
  TradeFinalize();
  EXPECT_EQ(LogIn("880002", "2"), kLoginRefused);
  EXPECT_EQ(boxes_.Calls().back().text, "密码不正确");
}

TEST_F(TradeTest, ThroughThePortalGatewayASecondSendAwayEndsTheLogin) {
  ScopedFakeClock clock;
  // The gateway lists the account's centre at an address whose server
  // belongs to another centre: every login there is sent away.
  broker_.LoadScript("account 880003 password=1 name=王五 centre=C\nserver A 127.0.0.1 17001\n"
                     "server C 127.0.0.1 17001\n");
  WriteServers("s1=一\ns1a=127.0.0.1\ns1p=9000\nUseGate=1\n");
  EXPECT_EQ(LogIn("880003", "1"), kLoginRefused);
  // Sent away once, the list is fetched again and tried; the second time
  // ends the login there.
  size_t logins = 0;
  for (const auto &line : NewLines()) logins += line.find("||6011||") != std::string::npos;
  EXPECT_EQ(logins, 2u);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "登录交易失败");
  EXPECT_EQ(boxes_.Calls()[0].text, "客户不属于该交易中心");
  EXPECT_NE(Read("../user/880003/tradelog/20240115.phl").find("2|客户不属于该交易中心，中止登录"), std::string::npos);
  EXPECT_EQ(QueryOrder(0), kNoSession);
}

TEST_F(TradeTest, ALoginOverLoopbackToTheSimulatorProgram) {
  sim::SimBroker remote;
  ASSERT_TRUE(remote.LoadScript(sim::SimBroker::DefaultScript()));
  sim::SimServer server(remote);
  ASSERT_TRUE(server.Listen("127.0.0.1", 0));
  WriteServers("s1=一\ns1a=127.0.0.1\ns1p=" + std::to_string(server.Port()) + "\n");
  auto attach = reinterpret_cast<KsiSimAttachFn>(GetProcAddress(GetModuleHandleA("KSInterB2C.dll"), "KSISim_Attach"));
  ASSERT_TRUE(attach);
  attach(nullptr);
  const int result = LogIn();
  EXPECT_EQ(result, 0);
  if (result == 0) {
    EXPECT_EQ(QueryInvestorPosition(1), 0);
    EXPECT_TRUE(WaitFor([&] { return !NotesOf(TN_POSITIONS).empty(); }));
    TradeFinalize();
  }
  attach(&link_.Client());
  server.Stop();
  EXPECT_EQ(remote.RecordedLines().at(0), std::string(kHead) + "6011||other#C#|880001|111111|127.0.0.1|1|1|");
}

TEST_F(TradeTest, ALogoutWithAStalledBrokerReturnsInTimeAndTheNextLoginWorks) {
  ScopedFakeClock clock;
  LogInOk();
  broker_.Hold(6012);
  char date[] = "20240115";
  ASSERT_EQ(QueryTradingAccount(date, 1), 0);
  ASSERT_TRUE(broker_.WaitHeld(1));
  std::atomic<bool> done{false};
  std::thread logout([&] {
    TradeFinalize();
    done = true;
  });
  // The clock moves a second at a time, and the logout does all that each
  // step allows before the next.
  const uint64_t waited = testing_support::AdvanceUntil(clock, [&] { return done.load(); }, 1000, 60000);
  logout.join();
  EXPECT_GE(waited, 10000u);
  EXPECT_LE(waited, 11000u);
  broker_.Release(6012);
  // A login waits until the worker left behind has come back.
  ASSERT_TRUE(WaitFor([] { return OldSessionsEnded(); }));
  LogInOk();
  EXPECT_EQ(QueryOrder(1), 0);
  ASSERT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty() && NotesOf(TN_ORDERS).back().value == 0; }));
}

TEST_F(TradeTest, TheTradeLogStaysInTheAccountFolderWhateverTradeDateTheBrokerSends) {
  // 10:00 on 8 March in Shanghai: the local date differs from every trade
  // date below.
  ScopedFakeClock clock(SYSTEMTIME{2024, 3, 5, 8, 2, 0, 0, 0});
  const struct {
    const char *tradeDate;
    const char *log;  // the file the login leaves the log in
  } cases[] = {
      {"20240115", "20240115.phl"},
      {"../../x", "20240308.phl"},
      {"..\\..\\x", "20240308.phl"},
      {"2024011520240116", "20240308.phl"},  // over-long: cut to 15 digits
      {"2024-1-15", "20240308.phl"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.tradeDate);
    std::error_code none;  // no folder before the first login
    for (const auto &entry : std::filesystem::directory_iterator("../user/880001/tradelog", none))
      std::filesystem::remove(entry.path());
    ASSERT_TRUE(broker_.LoadScript(std::string("logindate ") + c.tradeDate + "\n"));
    LogInOk();
    char date[16];
    GetTradeDate(date);
    EXPECT_EQ(std::string(date), std::string(c.tradeDate).substr(0, 15));
    // The login went on: the session works.
    notes_.clear();
    EXPECT_EQ(QueryOrder(1), 0);
    EXPECT_TRUE(WaitFor([&] { return !NotesOf(TN_ORDERS).empty() && NotesOf(TN_ORDERS).back().value == 0; }));
    TradeFinalize();

    const std::string log = Read("../user/880001/tradelog/" + std::string(c.log));
    EXPECT_NE(log.find("A|0|0||880001|"), std::string::npos);
    const bool byLocalDate = strcmp(c.log, "20240308.phl") == 0;
    EXPECT_EQ(log.find("交易日期不是日期") != std::string::npos, byLocalDate);
  }
  // Nothing was written beside or above the account folder.
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(".."))
    if (entry.is_regular_file() && entry.path().extension() == ".phl") names.push_back(entry.path().string());
  EXPECT_EQ(names, std::vector<std::string>{"../user/880001/tradelog/20240308.phl"});
}

}  // namespace
}  // namespace plugin_test
