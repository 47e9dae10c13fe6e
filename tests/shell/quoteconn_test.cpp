#include "shell/quoteconn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/marketside.h"
#include "market/nclient.h"
#include "market/realclient.h"
#include "market/reqqueue.h"
#include "market/utildata.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "testing/closed_port.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"
#include "testing/quote_service.h"
#include "testing/terminal_sandbox.h"

namespace fs = std::filesystem;
using testing_support::MessageTrace;

namespace {

// A terminal's folders naming the quote service on loopback; the program
// folder is the current one.
class QuoteConnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.Running());
    sandbox_ = std::make_unique<TerminalSandbox>(dataSet_, service_, "alice", "secret", "kivo-quoteconn");
    ASSERT_TRUE(sandbox_->Ready());
    root_ = sandbox_->Root();
    dialog_ = trace_.Create(0);
    ConnectionTradeLog() = [this](int code, const char *text) { log_.push_back(std::to_string(code) + " " + text); };
  }
  void TearDown() override {
    DeleteRealtimeClient();
    DeleteQuoteServerClient();
    ConnectionTradeLog() = nullptr;
    sandbox_.reset();
  }
  void UserAccount(const std::string &user, const std::string &password) {
    std::ofstream(root_ + "/user/SERVER.INI", std::ios::binary)
        << "[Server]\r\nVersion=1\r\nUserName=" << user << "\r\nPassword=" << password << "\r\n";
  }
  // The push double's thread records a login once it has read it.
  bool LoginsReach(size_t count) {
    for (int i = 0; i < 1000 && service_.Push().Logins().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return service_.Push().Logins().size() == count;
  }
  std::vector<LPARAM> Sent(UINT message) const {
    std::vector<LPARAM> out;
    for (const auto &m : trace_.Messages())
      if (m.message == message) out.push_back(m.lParam);
    return out;
  }

  market_fixture::DataSetDesc dataSet_ = market_fixture::StandardDataSet(UtcNowPacked());
  QuoteService service_{dataSet_, QuoteService::Options{0, 0, 0, 0, "alice", "secret"}};
  std::unique_ptr<TerminalSandbox> sandbox_;
  std::string root_;
  MessageTrace trace_;
  HWND dialog_ = nullptr;
  MessageBoxRecorder boxes_;
  std::vector<std::string> log_;
};

TEST_F(QuoteConnTest, AConnectLogsInDownloadsAndKeepsTheClientForTheQueue) {
  ASSERT_EQ(ConnectQuoteServer(nullptr, dialog_, false, false, false), 0);
  ASSERT_NE(QuoteServerClient, nullptr);
  EXPECT_EQ(QueueClient(), QuoteServerClient) << "the request queue sends through the new client";
  EXPECT_EQ(GetConnectionState(), 1);
  ASSERT_FALSE(Sent(WM_LOGIN_UPDATE_STEP).empty());
  EXPECT_EQ(Sent(WM_LOGIN_UPDATE_STEP).front(), 0) << "step 0 before the configuration files";
  EXPECT_TRUE(Sent(WM_LOGIN_FAILED).empty());
  EXPECT_TRUE(boxes_.Calls().empty());
  EXPECT_TRUE(fs::exists(root_ + "/cfg/mkinfo.cfg"));
}

// A refusal is the server's text in an error box; an unreachable server is
// left to the dialog's ladder without a box.
TEST_F(QuoteConnTest, ARefusalShowsTheServersTextAndAnUnreachableServerShowsNothing) {
  UserAccount("alice", "wrong");
  EXPECT_EQ(ConnectQuoteServer(nullptr, dialog_, false, false, false), kLoginRefused);
  EXPECT_EQ(QuoteServerClient, nullptr);
  EXPECT_EQ(Sent(WM_LOGIN_FAILED), std::vector<LPARAM>{kLoginRefused});
  ASSERT_EQ(boxes_.Calls().size(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "用户名或密码错误。");
  EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
  EXPECT_TRUE(boxes_.Calls()[0].type & MB_TOPMOST);

  // Nothing listens on the directory port.
  testing_support::ClosedTcpPort closed;
  std::ofstream(root_ + "/bin/SERVER.INI", std::ios::binary)
      << "[Server]\r\nAddress=127.0.0.1\r\nPort=" << closed.Port() << "\r\n";
  trace_.Clear();
  EXPECT_EQ(ConnectQuoteServer(nullptr, dialog_, false, false, false), kLoginNoDirectory);
  EXPECT_EQ(Sent(WM_LOGIN_FAILED), std::vector<LPARAM>{kLoginNoDirectory});
  EXPECT_EQ(boxes_.Calls().size(), 1u);
}

// One silent attempt makes whatever is missing, logs the connection, and
// does nothing when both clients are there.
TEST_F(QuoteConnTest, AReconnectMakesTheMissingClientsAndWritesTheConnectionRecord) {
  ReadPushLogin();
  EXPECT_STREQ(PushLogin.user, "alice");
  ASSERT_TRUE(ReconnectClients());
  EXPECT_EQ(GetConnectionState(), 3);
  EXPECT_TRUE(QuoteServerClient->Armed());
  ASSERT_TRUE(LoginsReach(1));
  EXPECT_EQ(service_.Push().Logins()[0].user, "alice");
  EXPECT_EQ(log_, std::vector<std::string>{"3072 1|1|"});
  EXPECT_FALSE(ReconnectClients());

  DeleteRealtimeClient();
  EXPECT_EQ(log_.back(), "3072 1|0|");
  EXPECT_EQ(GetConnectionState(), 1);
  ASSERT_TRUE(ReconnectClients());
  EXPECT_TRUE(LoginsReach(2));

  // A push server that is gone: the attempt fails and leaves no client.
  DeleteRealtimeClient();
  WritePrivateProfileStringA("Server", "Port2", "1", ".\\SERVER.INI");
  TNormalClnt *before = QuoteServerClient;
  EXPECT_FALSE(ReconnectClients());
  EXPECT_EQ(before, QuoteServerClient);
  EXPECT_EQ(GetConnectionState(), 1);
}

// The login worker's build and its end on the GUI thread: a cancelled
// first build leaves neither table nor client, so the next login builds
// the table afresh; a cancelled re-login keeps the table it did not build.
TEST_F(QuoteConnTest, ACancelledBuildIsFreedAndTheNextLoginBuildsTheTable) {
  std::atomic<bool> cancel{true};
  ASSERT_EQ(ConnectQuoteServer(nullptr, dialog_, false, false, false), 0);
  EXPECT_EQ(BuildMarketTableForLogin(dialog_, cancel), kBuildCancelled);
  EXPECT_FALSE(FinishMarketTableForLogin(kBuildCancelled));
  EXPECT_EQ(MarketTableIO, nullptr);
  EXPECT_EQ(QuoteServerClient, nullptr) << "its connection may have been shut down";

  cancel = false;
  ASSERT_EQ(ConnectQuoteServer(nullptr, dialog_, false, false, false), 0);
  EXPECT_EQ(BuildMarketTableForLogin(dialog_, cancel), kBuildOk);
  EXPECT_TRUE(FinishMarketTableForLogin(kBuildOk));
  ASSERT_NE(MarketTableIO, nullptr);
  EXPECT_EQ(MarketTable.marketCount, int(dataSet_.markets.size()));
  EXPECT_EQ(Sent(WM_LOGIN_DONE).size(), 1u);

  TDataIO *table = MarketTableIO;
  EXPECT_EQ(BuildMarketTableForLogin(dialog_, cancel), kBuildOk) << "a re-login";
  EXPECT_EQ(Sent(WM_LOGIN_DONE).size(), 2u);
  EXPECT_FALSE(FinishMarketTableForLogin(kBuildCancelled));
  EXPECT_EQ(MarketTableIO, table);
  EXPECT_EQ(QuoteServerClient, nullptr);
  EXPECT_TRUE(boxes_.Calls().empty());
  FreeMarketTable();
}

}  // namespace
