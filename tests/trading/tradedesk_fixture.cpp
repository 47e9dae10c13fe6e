#include "tests/trading/tradedesk_fixture.h"

#include <cstdio>
#include <cstring>

#include "core/netutil.h"
#include "market/rights.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace trading_test {

FakeBroker Fake;

std::vector<std::string> FakeBroker::Calls(const std::string &prefix) const {
  std::vector<std::string> out;
  for (const std::string &c : calls)
    if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
  return out;
}

namespace {

int Version() { return 26; }
int ShortName(char *out) {
  if (out) strcpy(out, "JSD");
  return 1;
}
char *SystemName(char *out) {
  strcpy(out, "金仕达");
  return out;
}
int ServerCount() { return int(Fake.servers.size()); }
void ServerName(int index, char *out, int size) { snprintf(out, size_t(size), "%s", Fake.servers[size_t(index)].c_str()); }
int Initialize(HWND, UINT message, int server, char *account, char *password, char *code, char *settings) {
  Fake.calls.push_back("TradeInitialize " + std::to_string(message) + " " + std::to_string(server) + " " + account +
                       " " + password + " [" + code + "] " + settings);
  return Fake.initResult;
}
void Finalize() { Fake.calls.push_back("TradeFinalize"); }
void Investor(char *, char *id, char *) {
  if (id) strcpy(id, Fake.investor.c_str());
}
int Notice() {
  Fake.calls.push_back("QueryBrokerNotice");
  return Fake.noticeResult;
}
int Settlement(char *date, unsigned number, int wait) {
  Fake.calls.push_back("QuerySettlementInfo [" + std::string(date) + "] " + std::to_string(number) + " " +
                       std::to_string(wait));
  return Fake.settleResult;
}
int Confirm() {
  Fake.calls.push_back("SettlementInfoConfirm");
  return Fake.confirmResult;
}
int Change(unsigned kind, char *current, char *fresh) {
  Fake.calls.push_back("ChangePassword " + std::to_string(kind) + " " + current + " " + fresh);
  return Fake.changeResult;
}
int TradeDate(char *out) {
  strcpy(out, "20240115");
  return 0;
}

}  // namespace

void InstallFakePlugin() {
  TradePlugin = TradePluginApi{};
  TradePlugin.GetTraderDllVersion = Version;
  TradePlugin.GetNameOfTradeSystem = SystemName;
  TradePlugin.GetShortNameOfTradeSystem = ShortName;
  TradePlugin.GetServerCount = ServerCount;
  TradePlugin.GetServerName = ServerName;
  TradePlugin.TradeInitialize = Initialize;
  TradePlugin.TradeFinalize = Finalize;
  TradePlugin.GetInvestor = Investor;
  TradePlugin.GetTradeDate = TradeDate;
  TradePlugin.QueryBrokerNotice = Notice;
  TradePlugin.QuerySettlementInfo = Settlement;
  TradePlugin.SettlementInfoConfirm = Confirm;
  TradePlugin.ChangePassword = Change;
}

TradingDeskTest::TradingDeskTest()
    : clock_(market_fixture::UtcAt(2024, 1, 15, 2, 0)), desk_(data_, host_, ui_) {
  Fake = FakeBroker{};
  ui_.desk = &desk_;
  host_.desk = &desk_;
  host_.window = trace_.Create(0);
  desk_.bind = [] {
    InstallFakePlugin();
    return true;
  };
  BindLoggerLibrary();
  memset(UserRights, 0, sizeof UserRights);
}

TradingDeskTest::~TradingDeskTest() {
  CloseTradeLog(data_);
  TradePlugin = TradePluginApi{};
  memset(UserRights, 0, sizeof UserRights);
  if (host_.window) DestroyWindow(host_.window);
}

void TradingDeskTest::FillLogin() {
  desk_.login.serverIndex = 0;
  desk_.login.account = "880001";
  desk_.login.password = "111111";
  desk_.login.code = desk_.login.verifyCode;
}

void TradingDeskTest::LogInToTradingPage() {
  desk_.SetupTradingPanel(0);
  FillLogin();
  desk_.XPButton5Click();
  ASSERT_EQ(desk_.login.message, "正在连接服务器...");
  desk_.SetupTradingPanel(1);
  desk_.pageState = kPageTrading;
}

std::string TradingDeskTest::UserIni(const std::string &section, const std::string &key) {
  char text[256] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "(none)", text, sizeof text, UserConsign().c_str());
  return text;
}

std::string TradingDeskTest::AccountIni(const std::string &section, const std::string &key) {
  char text[256] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "(none)", text, sizeof text,
                           data_.AccountFile("Consign.ini").c_str());
  return text;
}

std::vector<WPARAM> TradingDeskTest::PostedNotifications() {
  MSG msg;
  while (PeekMessageA(&msg, host_.window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  std::vector<WPARAM> out;
  for (const auto &m : trace_.Messages())
    if (m.message == WM_TRADE_NOTIFY) out.push_back(m.wParam);
  return out;
}

}  // namespace trading_test
