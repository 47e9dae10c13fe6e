// The password change's roads: the account library directly, through the
// loopback relay over a proxy, and without the library the quote service.
#include "shell/passwordchange.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/emem.h"
#include "market/nclient.h"
#include "market/serverlist.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/proxy_doubles.h"
#include "testing/quote_double.h"
#include "testing/request_server.h"
#include "testing/view_harness.h"

using testing_support::AccountDouble;

namespace {

void Write(const char *section, const char *key, const std::string &value, const std::string &file) {
  WritePrivateProfileStringA(section, key, value.c_str(), file.c_str());
}

class PasswordChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    saved_ = PasswordChangeHooks();
    PasswordChangeHooks().library = [] { return BindAccountLibrary("AcctBridge.dll"); };
    ASSERT_TRUE(account_.Running());
    Write("Server", "LoginServer", "127.0.0.1", kServerListIni);
    Write("Server", "LoginPort", std::to_string(account_.Port()), kServerListIni);
  }
  void TearDown() override {
    PasswordChangeHooks() = saved_;
    ws::WSACleanup();
  }
  TPasswordChangeRequest Request() const {
    TPasswordChangeRequest r;
    r.user = "alice";
    r.loginPassword = "secret";
    r.current = "secret";
    r.fresh = "newpass";
    return r;
  }
  testing_support::ViewHarness harness_;
  market_fixture::MarketSandbox box_;
  MessageBoxRecorder boxes_;
  AccountDouble account_;
  TPasswordChangeHooks saved_;
};

TEST_F(PasswordChangeTest, TheRoadFollowsTheNetworkSettings) {
  struct Case {
    const char *greenWay, *useProxy, *gc, *gcPort;
    TPasswordRoad road;
  } cases[] = {
      {"1", "1", "10.0.0.9", "443", TPasswordRoad::kRelay},
      {"1", "0", "10.0.0.9", "443", TPasswordRoad::kRelay},
      {"1", "1", "10.0.0.9", "", TPasswordRoad::kProxy},  // GreenWay without GCPort
      {"1", "0", "10.0.0.9", "", TPasswordRoad::kDirect},
      {"1", "0", "", "443", TPasswordRoad::kDirect},
      {"0", "1", "10.0.0.9", "443", TPasswordRoad::kProxy},
      {"0", "0", "10.0.0.9", "443", TPasswordRoad::kDirect},
  };
  for (const Case &c : cases) {
    Write("ProxyServer", "GreenWay", c.greenWay, UserServerIniPath());
    Write("ProxyServer", "UseProxy", c.useProxy, UserServerIniPath());
    Write("Server", "GC", c.gc, kServerListIni);
    Write("Server", "GCPort", c.gcPort, kServerListIni);
    EXPECT_EQ(ChoosePasswordRoad(), c.road) << c.greenWay << c.useProxy << c.gc << "|" << c.gcPort;
  }
}

TEST_F(PasswordChangeTest, TheLibraryChangesItDirectlyOrThroughTheRelay) {
  ProxyDouble proxy(ProxyKind::kSocks5);
  ASSERT_TRUE(proxy.Running());
  struct Case {
    bool viaProxy;
    int code;
    const char *message;
    const char *text, *caption;
  } cases[] = {
      {false, 0, "", "修改密码成功，下次登录请使用新密码。  ", "提示"},
      {false, -1, "旧密码错误", "旧密码错误", "修改密码失败"},
      {false, 3, "三天后生效", "三天后生效", "修改密码成功"},
      {true, 0, "", "修改密码成功，下次登录请使用新密码。  ", "提示"},
      {true, -1, "旧密码错误", "旧密码错误", "修改密码失败"},
      {true, 3, "三天后生效", "三天后生效", "修改密码成功"},
  };
  TNormalClnt client;
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.viaProxy) + " " + std::to_string(c.code));
    Write("ProxyServer", "UseProxy", c.viaProxy ? "1" : "0", UserServerIniPath());
    Write("ProxyServer", "Address", "127.0.0.1", UserServerIniPath());
    Write("ProxyServer", "Port", std::to_string(proxy.Port()), UserServerIniPath());
    boxes_.Clear();
    account_.Answer(c.code, c.message);
    ChangeAccountPassword(Request(), &client);
    ASSERT_EQ(boxes_.Count(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, c.text);
    EXPECT_EQ(boxes_.Calls()[0].caption, c.caption);
    EXPECT_EQ(account_.Requests().back(), "M|alice|secret|newpass|8\n");
  }
  EXPECT_EQ(proxy.RequestedPort(), account_.Port());
}

TEST_F(PasswordChangeTest, WithoutTheLibraryTheQuoteServiceIsAsked) {
  PasswordChangeHooks().library = [] { return AccountLibrary{}; };
  std::vector<std::string> queued;
  PasswordChangeHooks().queueOnConnection = [&](const char *fresh) { queued.push_back(fresh); };
  PASSWORDCHANGEREC *started = nullptr;
  PasswordChangeHooks().startWorker = [&](PASSWORDCHANGEREC *record) { started = record; };
  TNormalClnt client;
  ASSERT_TRUE(client.DirectoryLogin()) << "a client that logs in at the directory server";
  TPasswordChangeRequest request = Request();
  request.fresh = "abcdefghijklmnopq";  // longer than the fields
  ChangeAccountPassword(request, &client);
  ASSERT_NE(started, nullptr);
  EXPECT_STREQ(started->user, "alice");
  EXPECT_STREQ(started->password, "secret");
  EXPECT_STREQ(started->newPassword, "abcdefghijk");
  Free(started);
  started = nullptr;
  ChangeAccountPassword(request, nullptr);
  EXPECT_EQ(started, nullptr) << "nothing without the request client";
  EXPECT_TRUE(queued.empty());
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(PasswordChangeTest, ASingleLoginQueuesTheChangeOnTheQuoteConnection) {
  // Logged in at the data server only: no directory session for a worker,
  // so the new password (cut to its field) goes out on the quote connection.
  PasswordChangeHooks().library = [] { return AccountLibrary{}; };
  std::vector<std::string> queued;
  PasswordChangeHooks().queueOnConnection = [&](const char *fresh) { queued.push_back(fresh); };
  bool started = false;
  PasswordChangeHooks().startWorker = [&](PASSWORDCHANGEREC *record) {
    started = true;
    Free(record);
  };
  QuoteDouble quotes;
  ASSERT_TRUE(quotes.Running());
  Write("Server", "NOJH", "1", kServerListIni);
  Write("Server", "Address", "127.0.0.1", kServerListIni);
  Write("Server", "Port1", std::to_string(quotes.DataPort()), kServerListIni);
  Write("Server", "UserName", "alice", UserServerIniPath());
  Write("Server", "Password", "secret", UserServerIniPath());
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
  ASSERT_FALSE(client.DirectoryLogin());
  TPasswordChangeRequest request = Request();
  request.fresh = "abcdefghijklmnopq";
  ChangeAccountPassword(request, &client);
  EXPECT_EQ(queued, std::vector<std::string>{"abcdefghijklmno"});
  EXPECT_FALSE(started);
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST(PasswordWorkerTest, EveryResultHasItsText) {
  struct Case {
    int result;
    const char *text;
  } cases[] = {
      {0, "修改密码成功，下次登录请使用新密码。  "}, {1, "无法连接服务器，修改密码失败。  "},
      {2, "网络错误，修改密码失败。  "},           {3, "网络错误，修改密码失败。  "},
      {4, "口令不符合规则"},                      {5, "内部错误，修改密码失败。  "},
  };
  for (const Case &c : cases) EXPECT_STREQ(PasswordWorkerText(c.result, "口令不符合规则"), c.text) << c.result;
}

}  // namespace
