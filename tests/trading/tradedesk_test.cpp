// The trading desk without windows: the login page's set-up, the login's
// refusals and results, the confirmation steps, locking, closing, the page
// checks, the password change and floating through the settings files.
#include <gtest/gtest.h>

#include <functional>

#include <algorithm>
#include <set>

#include "market/rights.h"
#include "platform/messages.h"
#include "tests/trading/tradedesk_fixture.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace trading_test {
namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;

std::string Keypad(const TLoginPageModel &page) {
  std::string order;
  for (const std::string &key : page.keypad) order += key;
  return order;
}

TEST_F(TradingDeskTest, SetUpBuildsTheLoginPageFromTheSettings) {
  Fake.servers = {"电信主站", "联通主站", "", "备用"};
  box_.WriteText("cfg/Consign.ini", "[UI]\nNoSK=1\nQueryInterval=3\n[Script]\nSimpleUI=3\n");
  box_.WriteText("user/Consign.ini", "[JSD]\nserver=7\nAccount=123456\n");
  box_.WriteText("cfg/usersetting.ini", "[UserInfo]\nTradeAD=免责声明\n");
  desk_.SetupTradingPanel(0);

  const TLoginPageModel &p = desk_.login;
  EXPECT_EQ(p.servers, (std::vector<std::string>{"电信主站", "联通主站"}));  // up to the first empty name
  EXPECT_EQ(p.serverIndex, 0);                                                // stored 7 of 2
  EXPECT_EQ(p.securityItems, std::vector<std::string>{"验证码"});
  EXPECT_EQ(p.account, "123456");
  EXPECT_TRUE(p.saveAccount);
  EXPECT_EQ(p.layoutRadio, 3);  // SimpleUI 3 is the arbitrage layout
  EXPECT_EQ(p.disclaimer, "免责声明");
  EXPECT_EQ(p.bankNote, "请使用金仕达网上交易软件的银期转帐功能。");
  EXPECT_EQ(p.message, "电信、联通用户请分别登录电信、联通站点。");
  EXPECT_EQ(p.messageColour, kBlue);
  EXPECT_EQ(desk_.queryInterval, 3000);
  EXPECT_EQ(std::string(p.verifyCode).size(), 4u);
  // The set-up ends closing what was left: no question, the plug-in's
  // session ended, the login page shown.
  EXPECT_EQ(Fake.Calls("TradeFinalize").size(), 1u);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(desk_.pageState, kPageLogin);
  EXPECT_EQ(host_.Calls("PostViewsUpdate").size(), 1u);

  // NoSK 2: the dynamic password is the default without a stored SecType;
  // SaveAccount 0 leaves the account empty.
  box_.WriteText("cfg/Consign.ini", "[UI]\nNoSK=2\n");
  box_.WriteText("user/Consign.ini", "[JSD]\nserver=1\nSaveAccount=0\nAccount=123456\n");
  desk_.SetupTradingPanel(0);
  EXPECT_EQ(p.securityItems.size(), 2u);
  EXPECT_EQ(p.securityIndex, 1);
  EXPECT_FALSE(p.verifyShown);
  EXPECT_EQ(p.serverIndex, 1);
  EXPECT_EQ(p.account, "");
  EXPECT_EQ(p.layoutRadio, 0);
}

TEST_F(TradingDeskTest, TheKeypadCarriesEachDigitOnceInAnOrderOfTheTickCount) {
  std::set<std::string> orders;
  for (uint64_t tick : {1000u, 2000u, 2000u}) {
    clock_.SetTick(tick);
    desk_.SetupTradingPanel(0);
    std::string order = Keypad(desk_.login);
    orders.insert(order);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, "0123456789");
  }
  EXPECT_EQ(orders.size(), 2u);  // two seeds, two orders; the same seed, the same order
}

TEST_F(TradingDeskTest, WithoutTheLoggerNothingAfterTheBindingRuns) {
  desk_.bind = nullptr;
  desk_.loggerName = "nosuchlogger.dll";
  desk_.SetupTradingPanel(0);
  EXPECT_FALSE(TradingBound());
  EXPECT_TRUE(desk_.login.servers.empty());
  EXPECT_TRUE(ui_.calls.empty());
  EXPECT_TRUE(host_.calls.empty());
}

TEST_F(TradingDeskTest, TheVerificationCodeIsDrawnAgainOnlyInANewSecond) {
  desk_.PanelVerifyClick();
  const std::string first = desk_.login.verifyCode;
  desk_.PanelVerifyClick();
  EXPECT_EQ(desk_.login.verifyCode, first);
  bool changed = false;
  for (int i = 0; i < 5 && !changed; ++i) {
    clock_.Advance(1000);
    desk_.PanelVerifyClick();
    changed = desk_.login.verifyCode != first;
  }
  EXPECT_TRUE(changed);
}

TEST_F(TradingDeskTest, TheKeypadEditsThePasswordUpTo63Characters) {
  desk_.login.password = std::string(62, '1');
  desk_.XPButton7Click(" 5");
  EXPECT_EQ(desk_.login.password.size(), 63u);
  desk_.XPButton7Click("6");
  EXPECT_EQ(desk_.login.password.size(), 63u);
  desk_.XPButton7Click("←退格");
  EXPECT_EQ(desk_.login.password, std::string(62, '1'));
  desk_.login.passwordEnabled = false;
  desk_.XPButton7Click("7");
  EXPECT_EQ(desk_.login.password.size(), 62u);
}

TEST_F(TradingDeskTest, LoginRefusalsNeverReachThePlugin) {
  struct Case {
    const char *name;
    std::function<void(TTradingDesk &)> change;
    const char *text;
  } cases[] = {
      {"no server", [](TTradingDesk &d) { d.login.serverIndex = -1; }, "请先选择交易服务器。"},
      {"no account", [](TTradingDesk &d) { d.login.account.clear(); }, "登录失败。请填写用户号及交易密码。"},
      {"no password", [](TTradingDesk &d) { d.login.password.clear(); }, "登录失败。请填写用户号及交易密码。"},
      {"wrong code", [](TTradingDesk &d) { d.login.code = "abcd"; }, "请填入正确的验证码。"},
      {"empty dynamic password",
       [](TTradingDesk &d) {
         d.login.securityIndex = 1;
         d.login.code.clear();
       },
       "请填入正确的动态密码。"},
      {"quick layout", [](TTradingDesk &d) { d.login.layoutRadio = 2; }, "登录失败，您没有使用“快单手”的权限。"},
      {"arbitrage layout", [](TTradingDesk &d) { d.login.layoutRadio = 3; }, "登录失败，您没有使用“套利”的权限。"},
      {"unbound", [](TTradingDesk &) { TradePlugin.TradeInitialize = nullptr; }, "登录失败，请重新安装本软件。"},
  };
  desk_.SetupTradingPanel(0);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    InstallFakePlugin();
    FillLogin();
    desk_.login.securityIndex = 0;
    desk_.login.layoutRadio = 0;
    desk_.autoRelogin = 1;
    c.change(desk_);
    ui_.Clear();
    desk_.XPButton5Click();
    EXPECT_EQ(desk_.login.message, c.text);
    EXPECT_EQ(desk_.login.messageColour, kRed);
    EXPECT_EQ(desk_.login.messageSize, 11);
    EXPECT_TRUE(desk_.login.loginEnabled);
    EXPECT_EQ(desk_.autoRelogin, 0);
    EXPECT_TRUE(Fake.Calls("TradeInitialize").empty());
    EXPECT_EQ(ui_.Calls("VerifyCodeChanged").size(), std::string(c.name) == "wrong code" ? 1u : 0u);
  }
  // With the rights the layouts pass.
  UserRights[0] = kRightQuickOrderLayout | kRightArbitrageLayout;
  InstallFakePlugin();
  FillLogin();
  desk_.login.layoutRadio = 3;
  desk_.XPButton5Click();
  EXPECT_EQ(Fake.Calls("TradeInitialize").size(), 1u);
}

TEST_F(TradingDeskTest, LoginResultsAndWhatTheyLeave) {
  struct Case {
    int result;
    const char *text;
  } cases[] = {
      {0x7FFFFFFA, "登录失败，文件 KSInterB2C.dll 丢失或不正确。"},
      {0x7FFFFFFB, "登录失败，交易初始化失败。"},
      {0x7FFFFFFC, "登录失败。"},
      {0x7FFFFFFD, "登录失败，内部错误。"},
      {0x7FFFFFFE, "登录失败。内存不足，交易无法初始化。"},
      {0x7FFFFFF9, "登录失败，未知错误。"},
      {-100, "登录失败，未知错误。"},
  };
  desk_.SetupTradingPanel(0);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.result);
    Fake.initResult = c.result;
    FillLogin();
    desk_.login.serverIndex = 1;
    desk_.login.saveAccount = false;
    ui_.Clear();
    desk_.XPButton5Click();
    EXPECT_EQ(desk_.login.message, c.text);
    EXPECT_TRUE(desk_.login.accountEnabled && desk_.login.passwordEnabled && desk_.login.loginEnabled &&
                desk_.login.serversEnabled && desk_.login.radiosEnabled);
    EXPECT_TRUE(desk_.login.securityShown);
    EXPECT_EQ(ui_.Calls("FocusPasswordEdit").size(), 1u);
    // The login memory is written before the call.
    EXPECT_EQ(UserIni("JSD", "server"), "1");
    EXPECT_EQ(UserIni("JSD", "SaveAccount"), "0");
    EXPECT_EQ(UserIni("JSD", "Account"), "");
    EXPECT_EQ(UserIni("UI", "SecType"), "0");
  }
  // Success: the code edit is not passed in the code mode, the layout is
  // kept in the shared file and the controls stay disabled.
  Fake.initResult = 0;
  Fake.calls.clear();
  FillLogin();
  desk_.login.layoutRadio = 1;
  desk_.XPButton5Click();
  ASSERT_EQ(Fake.Calls("TradeInitialize").size(), 1u);
  EXPECT_EQ(Fake.calls[0], "TradeInitialize 2566 0 880001 111111 [] " + UserConsign());
  EXPECT_EQ(desk_.login.message, "正在连接服务器...");
  EXPECT_EQ(desk_.login.messageColour, kBlue);
  EXPECT_EQ(desk_.login.messageSize, 9);
  EXPECT_FALSE(desk_.login.loginEnabled);
  EXPECT_EQ(data_.options.Layout, 1);
  EXPECT_TRUE(data_.options.KeyboardLayout);
  EXPECT_EQ(box_.Read("cfg/Consign.ini").find("SimpleUI=0") != std::string::npos, true);
  EXPECT_EQ(desk_.keptPassword, "111111");
  EXPECT_NE(data_.tradeLog, 0u);

  // The dynamic password goes to the plug-in.
  CloseTradeLog(data_);
  Fake.calls.clear();
  FillLogin();
  desk_.login.securityIndex = 1;
  desk_.login.code = "778899";
  desk_.XPButton5Click();
  EXPECT_EQ(Fake.calls[0], "TradeInitialize 2566 0 880001 111111 [778899] " + UserConsign());
}

TEST_F(TradingDeskTest, ConfirmationStepsByPageState) {
  LogInToTradingPage();
  Fake.calls.clear();

  // 2 without the broker's note: 7 at once, whose notice query waits.
  desk_.pageState = kPageLoggedIn;
  desk_.XPButton19Click();
  EXPECT_EQ(Fake.calls, std::vector<std::string>{"QueryBrokerNotice"});
  EXPECT_EQ(desk_.login.message, "正在查询系统通知...");
  EXPECT_EQ(desk_.pageState, kPageLogin);

  // 2 with the note: it is shown for approval.
  box_.WriteText("cfg/brokernote.txt", "经纪公司须知");
  Fake.calls.clear();
  ui_.Clear();
  desk_.pageState = kPageLoggedIn;
  desk_.XPButton19Click();
  EXPECT_TRUE(Fake.calls.empty());
  EXPECT_EQ(ui_.Calls("TextButtons"), std::vector<std::string>{"TextButtons 认可 不认可"});
  EXPECT_EQ(ui_.Calls("Layout"), std::vector<std::string>{"Layout 7"});
  EXPECT_EQ(ui_.Calls("FocusViewer").size(), 1u);

  // 7 with the notice refused: 8 at once, which asks for the statement.
  desk_.loginFlags = 1;  // first flag 1, second 0
  Fake.noticeResult = 5;
  desk_.XPButton19Click();
  EXPECT_EQ(Fake.calls, (std::vector<std::string>{"QueryBrokerNotice", "QuerySettlementInfo [] 1 1"}));
  EXPECT_EQ(desk_.login.message, "正在查询结算单...");
  EXPECT_EQ(desk_.pageState, kPageLogin);

  // 8 posts "statement confirmed" by the flag rule.
  struct Flags {
    int32_t flags;
    int relogin;
    bool posts;
  } flags[] = {{1, 0, false}, {0, 0, true}, {1 | 1 << 16, 0, true}, {1, 1, true}};
  for (const Flags &f : flags) {
    SCOPED_TRACE(f.flags);
    trace_.Clear();
    Fake.calls.clear();
    desk_.loginFlags = f.flags;
    desk_.autoRelogin = f.relogin;
    desk_.pageState = kPageNoticeRead;
    desk_.XPButton19Click();
    EXPECT_EQ(PostedNotifications(), f.posts ? std::vector<WPARAM>{5} : std::vector<WPARAM>{});
    EXPECT_EQ(Fake.Calls("QuerySettlementInfo").size(), f.posts ? 0u : 1u);
  }
  desk_.autoRelogin = 0;

  // A refused statement query or confirmation closes trading.
  struct Refusal {
    int state;
    int *result;
    const char *text;
  } refusals[] = {{kPageNoticeRead, &Fake.settleResult, "查询结算单失败 (-3) "},
                  {kPageStatement, &Fake.confirmResult, "确认结算单失败 (-3) "}};
  for (const Refusal &r : refusals) {
    SCOPED_TRACE(r.text);
    *r.result = -3;
    desk_.loginFlags = 1;
    desk_.pageState = r.state;
    Fake.calls.clear();
    desk_.XPButton19Click();
    EXPECT_EQ(desk_.login.message, r.text);
    EXPECT_EQ(desk_.pageState, kPageLogin);
    EXPECT_TRUE(desk_.login.loginEnabled);
    EXPECT_EQ(Fake.Calls("TradeFinalize").size(), 2u);  // the close, and the new page's
    *r.result = 0;
  }
  desk_.pageState = kPageStatement;
  desk_.XPButton19Click();
  EXPECT_EQ(desk_.login.message, "确认结算单...");
}

TEST_F(TradingDeskTest, TheTaskPageAsksBeforeItAbortsTheTasks) {
  LogInToTradingPage();
  data_.tasks.Add(OrderScript{});
  desk_.pageState = kPageTasks;
  desk_.windowTag = 15;
  boxes_.QueueAnswer(IDNO);
  desk_.XPButton19Click();
  EXPECT_EQ(data_.tasks.GetCount(), 1);
  EXPECT_EQ(desk_.pageState, kPageTasks);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "中止所有的任务吗？  ");

  boxes_.QueueAnswer(IDYES);
  desk_.XPButton19Click();
  EXPECT_EQ(data_.tasks.GetCount(), 0);
  EXPECT_EQ(desk_.pageState, kPagePositions);
  EXPECT_EQ(desk_.windowTag, 0);

  // Without tasks nothing is asked; a locked window stays on its page.
  boxes_.Clear();
  desk_.pageState = kPageTasks;
  desk_.locked = true;
  desk_.XPButton19Click();
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(desk_.pageState, kPageTasks);
}

TEST_F(TradingDeskTest, LockAcceptsOnlyTheLastPasswordAndTheIdleTimeLocks) {
  LogInToTradingPage();
  desk_.OnTradeLockClick();
  EXPECT_TRUE(desk_.locked);
  EXPECT_EQ(desk_.pageState, kPageLogin);
  EXPECT_EQ(desk_.login.message, "交易已锁定，请输入交易密码解锁。");
  EXPECT_EQ(desk_.login.loginCaption, "解锁");
  EXPECT_FALSE(desk_.login.securityShown);
  EXPECT_EQ(desk_.login.password, "");

  Fake.calls.clear();
  desk_.login.password = "222222";
  desk_.login.serverIndex = 1;
  desk_.XPButton5Click();
  EXPECT_EQ(desk_.login.message, "交易密码错误。");
  EXPECT_TRUE(desk_.locked);
  desk_.login.password = "111111";
  desk_.login.code = "";
  desk_.XPButton5Click();
  EXPECT_FALSE(desk_.locked);
  EXPECT_EQ(desk_.pageState, kPageTrading);
  EXPECT_EQ(desk_.login.messageColour, kBlue);
  EXPECT_TRUE(Fake.calls.empty());  // unlocking never logs in again

  // AutoLockSystem 2: two idle minutes on a trading page lock it.
  data_.options.AutoLockSystem = 2;
  desk_.NoteInput(GetTickCount());
  clock_.Advance(119000);
  desk_.TradingIdle(GetTickCount());
  EXPECT_FALSE(desk_.locked);
  clock_.Advance(1000);
  desk_.TradingIdle(GetTickCount());
  EXPECT_TRUE(desk_.locked);
  // Never on the login page.
  desk_.locked = false;
  desk_.pageState = kPageLogin;
  clock_.Advance(600000);
  desk_.TradingIdle(GetTickCount());
  EXPECT_FALSE(desk_.locked);
}

TEST_F(TradingDeskTest, CloseAsksOnTradingPagesUnlessTheLoginRepeatsItself) {
  LogInToTradingPage();
  Fake.calls.clear();
  boxes_.QueueAnswer(IDNO);
  desk_.OnTradeCloseClick(TCloseSender::CmdClose);
  EXPECT_EQ(boxes_.Calls()[0].text, "关闭交易系统？  ");
  EXPECT_TRUE(Fake.calls.empty());
  EXPECT_EQ(desk_.pageState, kPageTrading);
  EXPECT_EQ(ui_.Calls("RefocusOrderArea").size(), 1u);
  EXPECT_NE(data_.tradeLog, 0u);

  // AutoRelogin: no question, the flag cleared, the window kept.
  boxes_.Clear();
  desk_.autoRelogin = 1;
  desk_.OnTradeCloseClick(TCloseSender::None);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(desk_.autoRelogin, 0);
  EXPECT_EQ(Fake.Calls("TradeFinalize").size(), 1u);
  EXPECT_EQ(data_.tradeLog, 0u);
  EXPECT_TRUE(host_.Calls("HideTradingWindow").empty());
  EXPECT_EQ(host_.title, "kivo");
}

TEST_F(TradingDeskTest, CloseFromTheStripHidesTheWindowSavesItAndBuildsANewLoginPage) {
  LogInToTradingPage();
  host_.calls.clear();
  ui_.bounds = RECT{0, 468, 1024, 768};  // docked, 300 high
  desk_.orderTag = 11;
  boxes_.QueueAnswer(IDYES);
  desk_.OnTradeCloseClick(TCloseSender::CmdClose);
  EXPECT_EQ(host_.Calls("HideTradingWindow"), std::vector<std::string>{"HideTradingWindow 880001"});
  EXPECT_EQ(AccountIni("UI", "WndHeight"), "300");
  EXPECT_EQ(UserIni("UI", "WndHeight"), "300");
  EXPECT_EQ(AccountIni("UI", "OrderTag"), "11");
  EXPECT_EQ(AccountIni("UI", "PPercent"), "500000");
  EXPECT_EQ(AccountIni("UI", "HideTradePanel"), "0");
  EXPECT_EQ(data_.tradeLog, 0u);
  EXPECT_EQ(desk_.login.loginCaption, "登录");
  EXPECT_TRUE(desk_.login.loginEnabled);
  EXPECT_EQ(desk_.pageState, kPageLogin);
  EXPECT_EQ(host_.Calls("PostViewsUpdate").size(), 2u);  // the close's and the new page's
}

TEST_F(TradingDeskTest, TheOptionsDialogsChangesTakeEffectWhenItCloses) {
  const struct {
    const char *name;
    std::function<void(TradingOptions &)> change;
    bool ok;
    std::vector<std::string> calls;  // of the window, after the dialog (the status line emptied last)
    std::string box;
  } cases[] = {
      {"nothing changed", [](TradingOptions &) {}, false, {"ClearOrderStatusLine", "RefocusOrderArea"}, ""},
      {"layout 0 to 1", [](TradingOptions &o) { o.Layout = kLayoutKeyboard; }, true,
       {"OrderLayoutChanged 0 1", "Layout 12", "ClearOrderStatusLine", "RefocusOrderArea"}, ""},
      {"keyboard order switched on", [](TradingOptions &o) { o.KeyboardLayout = true; }, true, {"ClearOrderStatusLine", "RefocusOrderArea"},
       "您已启用“键盘下单”。当下单区域激活时，按下“1”至“6”中任一按键委托将立即发出。  "},
      {"keyboard order switched off", [](TradingOptions &o) { o.KeyboardLayout = false; }, true,
       {"ClearOrderStatusLine", "RefocusOrderArea"}, ""},
      {"quick-deal bar on while floating", [](TradingOptions &o) { o.QuickDeal = true; }, true,
       {"ShowQuickDeal 0", "ClearOrderStatusLine", "RefocusOrderArea"}, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    LogInToTradingPage();
    data_.options.Layout = kLayoutNormal;
    data_.options.KeyboardLayout = std::string(c.name) == "keyboard order switched off";
    data_.options.FloatUI = false;
    data_.options.QuickDeal = false;
    desk_.pageState = kPageTrades;
    ui_.optionsOk = c.ok;
    ui_.optionsDialog = [&] { c.change(data_.options); };
    ui_.Clear();
    boxes_.Clear();
    EXPECT_FALSE(desk_.CheckTradingPageChange(6));
    std::vector<std::string> calls = ui_.Calls();
    calls.erase(calls.begin());  // the dialog itself
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(desk_.pageState, c.ok ? kPageTrading : kPageTrades);
    ASSERT_EQ(boxes_.Count(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) EXPECT_EQ(boxes_.Calls()[0].text, c.box);
  }
}

TEST_F(TradingDeskTest, FloatingChosenInTheOptionsDialogFloatsTheWindowAndBack) {
  LogInToTradingPage();
  data_.options.FloatUI = false;
  data_.options.QuickDeal = true;
  ui_.docked = true;
  ui_.optionsOk = true;
  ui_.optionsDialog = [&] { data_.options.FloatUI = true; };
  ui_.Clear();
  desk_.CheckTradingPageChange(6);
  EXPECT_TRUE(data_.options.FloatUI);
  EXPECT_EQ(ui_.Calls("Float").size(), 1u);
  EXPECT_EQ(ui_.Calls("ShowQuickDeal").back(), "ShowQuickDeal 1");

  ui_.docked = false;
  ui_.optionsDialog = [&] { data_.options.FloatUI = false; };
  ui_.Clear();
  desk_.CheckTradingPageChange(6);
  EXPECT_FALSE(data_.options.FloatUI);
  EXPECT_EQ(ui_.Calls("Dock").size(), 1u);
  EXPECT_EQ(ui_.Calls("ShowQuickDeal").back(), "ShowQuickDeal 0");
}

TEST_F(TradingDeskTest, PageChecksAndSwitches) {
  LogInToTradingPage();
  // Condition orders need their right.
  EXPECT_FALSE(desk_.CheckTradingPageChange(4));
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].text, "您没有使用条件单的权限。  ");
  EXPECT_EQ(boxes_.Calls()[0].caption, "警告");
  UserRights[0] = kRightConditionOrders;
  EXPECT_TRUE(desk_.CheckTradingPageChange(4));

  // The two dialogs: refused, modal, the page kept.
  desk_.pageState = kPageTrades;
  EXPECT_FALSE(desk_.CheckTradingPageChange(6));
  EXPECT_FALSE(desk_.CheckTradingPageChange(9));
  EXPECT_EQ(host_.Calls("SetModal"), (std::vector<std::string>{"SetModal 1", "SetModal 0", "SetModal 1", "SetModal 0"}));
  EXPECT_EQ(ui_.Calls("RunOptionsDialog").size(), 1u);
  EXPECT_EQ(ui_.Calls("RunReportDialog").size(), 1u);
  EXPECT_EQ(desk_.pageState, kPageTrades);

  struct Switch {
    int entry, state;
    const char *call;
  } switches[] = {{0, 12, nullptr}, {1, 13, nullptr}, {2, 14, nullptr}, {3, 15, nullptr},
                  {4, 22, "ConditionTabsFirst"}, {5, 16, "QueryTabChange"}, {7, 19, nullptr}, {8, 17, "BankPageReset"}};
  for (const Switch &s : switches) {
    SCOPED_TRACE(s.entry);
    ui_.Clear();
    desk_.ShowTradingPage(s.entry);
    EXPECT_EQ(desk_.pageState, s.state);
    EXPECT_EQ(ui_.Calls("Layout"), std::vector<std::string>{"Layout " + std::to_string(s.state)});
    if (s.call) EXPECT_EQ(ui_.Calls(s.call).size(), 1u);
  }
}

TEST_F(TradingDeskTest, PasswordChangeRefusalsAndTheCall) {
  LogInToTradingPage();
  struct Case {
    TPasswordPageModel typed;
    const char *text;  // null: the call is made
  } cases[] = {
      {{-1, "1", "2", "2"}, "请选择要修改的密码的类型。  "},
      {{0, "", "2", "2"}, "请输入当前密码。  "},
      {{0, "1", "", ""}, "请输入新密码。  "},
      {{0, "1", "2", "3"}, "两次输入的新密码不一致，请重新输入。  "},
      {{1, "111111", "222222", "222222"}, nullptr},
  };
  ui_.hasTypedPassword = true;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text ? c.text : "call");
    boxes_.Clear();
    Fake.calls.clear();
    ui_.Clear();
    ui_.typedPassword = c.typed;
    desk_.XPButton25Click();
    EXPECT_EQ(ui_.Calls("FocusCurrentPassword").size(), 1u);
    if (c.text) {
      ASSERT_EQ(boxes_.Count(), 1u);
      EXPECT_EQ(boxes_.Calls()[0].text, c.text);
      EXPECT_EQ(boxes_.Calls()[0].caption, "错误");
      EXPECT_TRUE(Fake.calls.empty());
    } else {
      EXPECT_EQ(boxes_.Count(), 0u);
      EXPECT_EQ(Fake.calls, std::vector<std::string>{"ChangePassword 1 111111 222222"});
      EXPECT_EQ(ui_.Calls("PasswordPageChanged"), std::vector<std::string>{"PasswordPageChanged ||"});
    }
  }
  // The repetition that differs empties both new-password edits.
  ui_.typedPassword = {0, "1", "2", "3"};
  desk_.XPButton25Click();
  EXPECT_EQ(ui_.typedPassword.current, "1");
  EXPECT_EQ(ui_.typedPassword.fresh, "");
  // A refusing plug-in and a switched-off change.
  Fake.changeResult = 17;
  ui_.typedPassword = {0, "1", "2", "2"};
  boxes_.Clear();
  desk_.XPButton25Click();
  EXPECT_EQ(boxes_.Calls()[0].text, "修改密码失败 (17) 。  ");
  box_.WriteText("cfg/Consign.ini", "[UI]\nChangeP=0\n");
  boxes_.Clear();
  desk_.XPButton25Click();
  EXPECT_EQ(boxes_.Calls()[0].text, "修改密码失败。  ");
}

TEST_F(TradingDeskTest, FloatAndDockThroughTheAccountFile) {
  LogInToTradingPage();
  ui_.bounds = RECT{0, 468, 1024, 768};
  box_.WriteText("user/880001/Consign.ini", "[UI]\nFloatPos=100,120,500,300\n");
  data_.options.QuickDeal = true;
  desk_.OnTradeFloatClick(true);
  EXPECT_TRUE(data_.options.FloatUI);
  EXPECT_EQ(AccountIni("Script", "FloatUI"), "1");
  EXPECT_EQ(AccountIni("UI", "WndHeight"), "300");
  EXPECT_EQ(ui_.Calls("Float"), std::vector<std::string>{"Float 100,120,500,300"});
  EXPECT_EQ(ui_.Calls("ShowQuickDeal").back(), "ShowQuickDeal 1");

  ui_.bounds = RECT{50, 60, 450, 360};  // moved and sized while floating
  desk_.OnTradeFloatClick(true);
  EXPECT_FALSE(data_.options.FloatUI);
  EXPECT_EQ(AccountIni("Script", "FloatUI"), "0");
  EXPECT_EQ(AccountIni("UI", "FloatPos"), "50,60,400,300");
  EXPECT_EQ(ui_.Calls("Dock"), std::vector<std::string>{"Dock 300"});
  EXPECT_EQ(ui_.Calls("ShowQuickDeal").back(), "ShowQuickDeal 0");

  // A broken stored rectangle opens centred.
  box_.WriteText("user/880001/Consign.ini", "[UI]\nFloatPos=99999999999,1,2,3\n");
  ui_.Clear();
  desk_.OnTradeFloatClick(true);
  EXPECT_EQ(ui_.Calls("Float"), std::vector<std::string>{"Float 112,249,800,269"});
}

TEST_F(TradingDeskTest, SetUpAfterTheLoginStartsTheListsEmpty) {
  desk_.SetupTradingPanel(0);
  box_.WriteText("user/880001/Consign.ini", "[UI]\nOrderTag=1\nHideTradePanel=1\n");
  data_.orders.Add(CKivoOrderField{});
  struct Case {
    int layout;
    const char *filter;
    int tag;
  } cases[] = {{2, "OrderFilter 可撤 全部隐藏", 10}, {0, "OrderFilter 全部", 1}};
  for (const Case &c : cases) {
    ui_.Clear();
    data_.options.Layout = c.layout;
    desk_.SetupTradingPanel(1);
    EXPECT_EQ(ui_.Calls("OrderFilter"), std::vector<std::string>{c.filter});
    EXPECT_EQ(desk_.orderTag, c.tag);
    EXPECT_EQ(data_.orders.GetCount(), 0);
    EXPECT_EQ(desk_.hideTag, 1);
    EXPECT_STREQ(data_.Account(), "880001");
  }
}

}  // namespace
}  // namespace trading_test
