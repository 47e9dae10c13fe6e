#include "trading/tradedesk.h"

#include "trading/optiondlg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "core/netutil.h"
#include "market/merger.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "trading/deskdata.h"
#include "trading/pluginapi.h"
#include "trading/tradelayout.h"
#include "trading/tradelog.h"

namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;

std::string ReadText(const char *section, const char *key, const char *fallback, const char *file, size_t max) {
  char text[512] = {};
  GetPrivateProfileStringA(section, key, fallback, text, DWORD(std::min(max + 1, sizeof text)), file);
  return text;
}

void WriteNumber(const char *section, const char *key, long value, const char *file) {
  char text[24];
  snprintf(text, sizeof text, "%li", value);
  WritePrivateProfileStringA(section, key, text, file);
}

// A text cut to at most n bytes on a character boundary.
std::string Cut(const std::string &text, size_t n) {
  char out[128];
  strncopy(out, text.c_str(), std::min(n, sizeof out - 1));
  return out;
}

bool Readable(const char *path) {
  const int32_t file = FileOpen(path, "rb");
  if (file <= 0) return false;
  FileClose(file);
  return true;
}

int LocalDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wYear * 10000 + now.wMonth * 100 + now.wDay;
}

const char *LoginFailureText(int result) {
  switch (result) {
    case 0x7FFFFFFA: return "登录失败，文件 KSInterB2C.dll 丢失或不正确。";
    case 0x7FFFFFFB: return "登录失败，交易初始化失败。";
    case 0x7FFFFFFC: return "登录失败。";
    case 0x7FFFFFFD: return "登录失败，内部错误。";
    case 0x7FFFFFFE: return "登录失败。内存不足，交易无法初始化。";
    default: return "登录失败，未知错误。";
  }
}

}  // namespace

std::string UserConsign() { return std::string(UserDataPath) + "Consign.ini"; }

TTradingDesk::TTradingDesk(TTradeDesk &data, TDeskHost &host, TDeskUi &ui) : data_(data), host_(host), ui_(&ui) {}

std::string TTradingDesk::AccountConsign(const char *account) const {
  return std::string(UserDataPath) + account + "\\Consign.ini";
}

std::string TTradingDesk::ShortName() {
  char name[64] = {};
  if (TradePlugin.GetShortNameOfTradeSystem) TradePlugin.GetShortNameOfTradeSystem(name);
  return name;
}

void TTradingDesk::ShowPage(int state) {
  pageState = state;
  ui_->Layout();
}

void TTradingDesk::SetMessage(const char *text, COLORREF colour, int size) {
  login.message = text;
  login.messageColour = colour;
  login.messageSize = size;
}

void TTradingDesk::EnableLoginControls(bool enabled) {
  login.serversEnabled = login.radiosEnabled = enabled;
  login.accountEnabled = login.passwordEnabled = login.codeEnabled = enabled;
  login.securityEnabled = login.saveAccountEnabled = login.loginEnabled = enabled;
}

// ---- set-up ----

void TTradingDesk::SetupTradingPanel(int mode) {
  if (mode == 0) SetupMode0();
  else if (mode == 1) SetupMode1();
}

void TTradingDesk::SetupMode0() {
  data_.owner = host_.Window();
  const bool bound = bind ? bind() : BindLoggerLibrary(loggerName) && LoadTradePlugin(host_.Window(), pluginName);
  if (!bound) return;

  connectionState = 0;
  ui_->RepaintFrame();
  queryInterval = int32_t(GetPrivateProfileIntA("UI", "QueryInterval", 10, kSharedConsign)) * 1000;

  const int noSk = int(GetPrivateProfileIntA("UI", "NoSK", 0, kSharedConsign));
  login.securityItems = {"验证码", "动态密码"};
  if (noSk == 1) login.securityItems.pop_back();

  data_.tasks.RemoveAll();
  passwordPage.kind = 0;

  login.servers.clear();
  login.serversEnabled = login.radiosEnabled = true;
  const int count = TradePlugin.GetServerCount ? TradePlugin.GetServerCount() : 0;
  for (int i = 0; i < count; ++i) {
    char name[256] = {};
    TradePlugin.GetServerName(i, name, sizeof name);
    if (!name[0]) break;
    login.servers.push_back(name);
  }
  const std::string shortName = ShortName();
  const std::string user = UserConsign();
  const int server = int(GetPrivateProfileIntA(shortName.c_str(), "server", 0, user.c_str()));
  login.serverIndex = server < 0 || server >= int(login.servers.size()) ? 0 : server;
  if (login.servers.empty()) login.serverIndex = -1;

  login.account.clear();
  login.password.clear();
  login.code.clear();
  EnableLoginControls(true);
  login.securityShown = true;
  login.loginCaption = "登录";
  locked = false;
  XPRadioButtonUI1Click();

  const std::string ad = ReadText("UserInfo", "TradeAD", "", "..\\cfg\\usersetting.ini", 255);
  if (!ad.empty()) login.disclaimer = ad;

  // The keypad: digit j goes to the k-th key still without a digit.
  random.Seed(GetTickCount());
  int remaining[10];
  for (int i = 0; i < 10; ++i) remaining[i] = i;
  for (int j = 0; j < 10; ++j) {
    const int k = random.Next() % (10 - j);
    login.keypad[remaining[k]] = std::string(1, char('0' + j));
    for (int i = k; i < 9 - j; ++i) remaining[i] = remaining[i + 1];
  }
  PanelVerifyClick();

  const int secType = int(GetPrivateProfileIntA("UI", "SecType", noSk == 2 ? 1 : 0, user.c_str()));
  login.securityIndex = secType < 0 || secType >= int(login.securityItems.size()) ? 0 : secType;
  XPComboBoxSecurityTypeChange();

  login.saveAccount = GetPrivateProfileIntA(shortName.c_str(), "SaveAccount", 1, user.c_str()) != 0;
  if (login.saveAccount) login.account = ReadText(shortName.c_str(), "Account", "", user.c_str(), 255);

  // Stored 0 keyboard, 1 normal, 2 quick order, 3 arbitrage.
  const int simpleUi = int(GetPrivateProfileIntA("Script", "SimpleUI", 1, kSharedConsign));
  login.layoutRadio = simpleUi == 0 ? 1 : simpleUi == 2 ? 2 : simpleUi == 3 ? 3 : 0;

  char systemName[256] = {};
  if (TradePlugin.GetNameOfTradeSystem) TradePlugin.GetNameOfTradeSystem(systemName);
  char note[400];
  snprintf(note, sizeof note, "请使用%s网上交易软件的银期转帐功能。", systemName);
  login.bankNote = note;
  login.cfmmcShown = TradePlugin.QueryCFMMC != nullptr;
  ui_->LoginPageChanged();
  ui_->BankPageReset();

  pageState = kPageLogin;
  OnTradeCloseClick(TCloseSender::None);
}

void TTradingDesk::SetupMode1() {
  char id[64] = {};
  if (TradePlugin.GetInvestor) TradePlugin.GetInvestor(nullptr, id, nullptr);
  data_.SetAccount(id);
  const std::string file = AccountConsign(data_.Account());
  const int shortNameResult = TradePlugin.GetShortNameOfTradeSystem ? TradePlugin.GetShortNameOfTradeSystem(nullptr) : 1;
  LoadTradingOptions(data_.options, file.c_str(), kSharedConsign, shortNameResult);
  hideTag = data_.options.HideTradePanel;
  data_.FreeContracts();
  ui_->ClearContractCombos();
  data_.orders.RemoveAll();
  data_.trades.RemoveAll();
  data_.positions.RemoveAll();
  if (data_.options.Layout == kLayoutQuick) {
    orderTag = 10;
    ui_->OrderFilter(true, false);
  } else {
    orderTag = int(GetPrivateProfileIntA("UI", "OrderTag", 10, file.c_str()));
    ui_->OrderFilter(orderTag / 10 == 1, true);
  }
  ui_->TextButtons("确认", "退出");
  ui_->ClearViewer();
  ui_->ResetTradingPanels();
}

// ---- the login page ----

void TTradingDesk::PanelVerifyClick() {
  random.Seed(uint32_t(platform::UnixTimeNow()));
  for (int i = 0; i < 4; ++i) login.verifyCode[i] = char('0' + random.Next() % 10);
  login.verifyCode[4] = '\0';
  for (int i = 0; i < 4; ++i) {
    login.verifyAngles[i] = random.Next() % 300;
    login.verifyColours[i] = COLORREF(random.Next() % 0x808080);
  }
  ui_->VerifyCodeChanged();
}

void TTradingDesk::XPComboBoxSecurityTypeChange() { login.verifyShown = login.securityIndex == 0; }

void TTradingDesk::XPRadioButtonUI1Click() { SetMessage("电信、联通用户请分别登录电信、联通站点。", kBlue, 9); }

void TTradingDesk::ImageSoftKeyClick() {
  login.keypadShown = true;
  ui_->LoginPageChanged();
}

void TTradingDesk::XPButton7Click(const char *caption) {
  ui_->ReadLoginPage(login);
  if (!login.passwordEnabled) return;
  std::string text = Cut(login.password, 63);
  while (caption && *caption == ' ') ++caption;
  if (caption && *caption >= '0' && *caption <= '9') {
    if (text.size() < 63) text += *caption;
  } else if (!text.empty()) {
    text.pop_back();
  }
  login.password = text;
  ui_->LoginPageChanged();
}

void TTradingDesk::XPButton5Click() {
  if (loginRunning) return;  // a second login while the first one runs
  ui_->ReadLoginPage(login);
  bool keepRelogin = false;
  [&] {
    SetMessage("", kRed, 11);
    if (login.serverIndex < 0 || login.serverIndex >= int(login.servers.size()))
      return SetMessage("请先选择交易服务器。", kRed, 11);
    const std::string account = Cut(login.account, 31), password = Cut(login.password, 47);
    const std::string code = Cut(login.code, 15);
    if (account.empty() || password.empty())
      return SetMessage("登录失败。请填写用户号及交易密码。", kRed, 11);
    if (locked) {
      keepRelogin = true;
      if (password != keptPassword) return SetMessage("交易密码错误。", kRed, 11);
      SetMessage("", kBlue, 9);
      locked = false;
      ui_->LoginPageChanged();
      ShowPage(kPageTrading);
      return;
    }
    keptPassword = password;
    const bool dynamic = login.securityIndex == 1;
    if (!dynamic && code != login.verifyCode) {
      SetMessage("请填入正确的验证码。", kRed, 11);
      PanelVerifyClick();
      return;
    }
    if (dynamic && code.empty()) return SetMessage("请填入正确的动态密码。", kRed, 11);
    if (login.layoutRadio == kLayoutQuick && !(UserRights[kFeatureOrderByte] & kRightQuickOrderLayout))
      return SetMessage("登录失败，您没有使用“快单手”的权限。", kRed, 11);
    if (login.layoutRadio == kLayoutArbitrage && !(UserRights[kFeatureOrderByte] & kRightArbitrageLayout))
      return SetMessage("登录失败，您没有使用“套利”的权限。", kRed, 11);
    if (!TradePlugin.TradeInitialize) return SetMessage("登录失败，请重新安装本软件。", kRed, 11);
    data_.SetAccount(account.c_str());
    data_.owner = host_.Window();
    if (!OpenTradeLog(data_, LocalDate())) return;

    EnableLoginControls(false);
    ui_->LoginPageChanged();
    const std::string shortName = ShortName();
    const std::string user = UserConsign();
    WritePrivateProfileStringA(shortName.c_str(), "SaveAccount", login.saveAccount ? "1" : "0", user.c_str());
    WritePrivateProfileStringA(shortName.c_str(), "Account", login.saveAccount ? account.c_str() : "", user.c_str());
    WriteNumber(shortName.c_str(), "server", login.serverIndex, user.c_str());
    WriteNumber("UI", "SecType", login.securityIndex, user.c_str());

    std::string a = account, p = password, c = dynamic ? code : std::string(), settings = user;
    loginRunning = true;
    const int result = TradePlugin.TradeInitialize(host_.Window(), WM_TRADE_NOTIFY, login.serverIndex, a.data(),
                                                   p.data(), c.data(), settings.data());
    loginRunning = false;
    if (result == 0) {
      keepRelogin = true;
      SetMessage("正在连接服务器...", kBlue, 9);
      const int layout = login.layoutRadio >= 1 && login.layoutRadio <= 3 ? login.layoutRadio : kLayoutNormal;
      data_.options.Layout = layout;
      data_.options.KeyboardLayout = layout == kLayoutKeyboard;
      WriteSimpleUI(layout, kSharedConsign);
      return;
    }
    SetMessage(LoginFailureText(result), kRed, 11);
    EnableLoginControls(true);
    login.securityShown = true;
    ui_->LoginPageChanged();
    ui_->FocusPasswordEdit();
  }();
  if (!keepRelogin) autoRelogin = 0;
  ui_->LoginPageChanged();
}

void TTradingDesk::CloseTrading(const char *text) {
  OnTradeCloseClick(TCloseSender::None);
  SetupTradingPanel(0);
  SetMessage(text, kRed, 11);
  ui_->LoginPageChanged();
}

bool TTradingDesk::StepAsked(int result, const char *failure, const char *waiting) {
  if (result != 0) {
    char text[64];
    snprintf(text, sizeof text, failure, result);
    CloseTrading(text);
    return false;
  }
  SetMessage(waiting, kBlue, 9);
  ui_->LoginPageChanged();
  ShowPage(kPageLogin);
  return true;
}

void TTradingDesk::XPButton19Click() {
  switch (pageState) {
    case kPageLoggedIn: {
      const char *note = "..\\cfg\\brokernote.txt";
      if (!autoRelogin && Readable(note)) {
        ui_->ClearViewer();
        ui_->LoadViewer(note);
        ui_->TextButtons("认可", "不认可");
        ShowPage(kPageNoteApproved);
        ui_->FocusViewer();
        return;
      }
      pageState = kPageNoteApproved;
      XPButton19Click();
      return;
    }
    case kPageNoteApproved:
      ui_->TextButtons("确认", "退出");
      if (!TradePlugin.QueryBrokerNotice || TradePlugin.QueryBrokerNotice() != 0) {
        pageState = kPageNoticeRead;
        XPButton19Click();
        return;
      }
      SetMessage("正在查询系统通知...", kBlue, 9);
      ui_->LoginPageChanged();
      ShowPage(kPageLogin);
      ui_->ClearViewer();
      return;
    case kPageNoticeRead: {
      ui_->ClearViewer();
      ui_->ViewerPlain();
      const int first = loginFlags & 0xFFFF, second = loginFlags >> 16 & 0xFFFF;
      if (autoRelogin || first == 0 || second != 0) {
        PostMessageA(host_.Window(), WM_TRADE_NOTIFY, 5, 0);
        return;
      }
      char date[2] = "";
      const int r = TradePlugin.QuerySettlementInfo ? TradePlugin.QuerySettlementInfo(date, 1, 1) : -1;
      if (StepAsked(r, "查询结算单失败 (%i) ", "正在查询结算单...")) ui_->ClearViewer();
      return;
    }
    case kPageStatement: {
      ui_->ClearViewer();
      ui_->ViewerFontSize(11);
      const int r = TradePlugin.SettlementInfoConfirm ? TradePlugin.SettlementInfoConfirm() : -1;
      StepAsked(r, "确认结算单失败 (%i) ", "确认结算单...");
      return;
    }
    case kPageTasks:
      if (data_.tasks.GetCount() > 0) {
        if (MessageBoxA(host_.Window(), "中止所有的任务吗？  ", "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) !=
            IDYES)
          return;
        data_.tasks.RemoveAll();
        WriteTradeLog(data_, TLOG_TASK, "0||1|用户中止了所有任务");
      }
      ui_->ClearViewer();
      ui_->TextButtons("确认", "退出");
      if (locked) return;
      pageState = windowTag == 12 || windowTag == 15 ? windowTag : kPageTrading;
      windowTag = 0;
      ui_->Layout();
      return;
    default: return;
  }
}

// ---- window commands ----

void TTradingDesk::DockWindow() {
  const std::string file = AccountConsign(data_.Account());
  const RECT r = ui_->PanelBounds();
  char pos[64];
  snprintf(pos, sizeof pos, "%i,%i,%i,%i", int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top));
  WritePrivateProfileStringA("UI", "FloatPos", pos, file.c_str());
  char height[32] = {};
  GetPrivateProfileStringA("UI", "WndHeight", "", height, sizeof height, file.c_str());
  ui_->Dock(ParseWndHeight(height, splitterMin));
  ui_->Layout();
}

void TTradingDesk::OnTradeFloatClick(bool sender) {
  TradingOptions &o = data_.options;
  const std::string file = AccountConsign(data_.Account());
  if (o.FloatUI) {
    ui_->ShowQuickDeal(false);
    if (sender) {
      o.FloatUI = false;
      WritePrivateProfileStringA("Script", "FloatUI", "0", file.c_str());
    }
    if (ui_->Docked()) return;
    DockWindow();
    return;
  }
  o.FloatUI = true;
  WritePrivateProfileStringA("Script", "FloatUI", "1", file.c_str());
  if (!ui_->Docked()) return;
  const RECT bounds = ui_->PanelBounds();
  const long height = std::max<long>(bounds.bottom - bounds.top, splitterMin);
  WriteNumber("UI", "WndHeight", height, file.c_str());
  WriteNumber("UI", "WndHeight", height, UserConsign().c_str());
  char text[128] = {};
  GetPrivateProfileStringA("UI", "FloatPos", "0,0,0,0", text, sizeof text, file.c_str());
  RECT stored;
  ParseFloatPos(text, &stored);
  const SIZE main = ui_->MainClientSize();
  ui_->Float(SaneFloatRect(stored, main.cx, main.cy, splitterMin));
  ui_->Layout();
  if (o.QuickDeal) ui_->ShowQuickDeal(true);
}

void TTradingDesk::OnTradeHideClick() { host_.ToggleTradingWindow(); }

void TTradingDesk::OnTradeLockClick() {
  locked = true;
  SetMessage("交易已锁定，请输入交易密码解锁。", kRed, 11);
  login.loginCaption = "解锁";
  login.loginEnabled = true;
  login.passwordEnabled = true;
  login.password.clear();
  login.securityShown = false;
  ui_->LoginPageChanged();
  ShowPage(kPageLogin);
}

void TTradingDesk::OnTradeCloseClick(TCloseSender sender) {
  if (!autoRelogin && pageState > 10 &&
      MessageBoxA(host_.Window(), "关闭交易系统？  ", "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) {
    ui_->RefocusOrderArea();
    return;
  }
  if (closing) closing();
  host_.SetTitle("kivo");
  automationArmed = false;
  autoRelogin = 0;
  data_.conditions.RemoveAll();
  char id[17] = {};
  if (TradingBound()) {
    char buffer[64] = {};
    TradePlugin.GetInvestor(nullptr, buffer, nullptr);
    strncopy(id, buffer, 16);
    TradePlugin.TradeFinalize();
  }
  data_.FreeContracts();
  ui_->ClearContractCombos();
  CloseTradeLog(data_);
  ui_->ShowQuickDeal(false);
  if (!ui_->Docked()) DockWindow();
  ShowPage(kPageLogin);
  if (sender != TCloseSender::None) {
    host_.HideTradingWindow(id);
    SetupTradingPanel(0);
  }
  host_.PostViewsUpdate();
}

bool TTradingDesk::CheckTradingPageChange(int entry) {
  switch (entry) {
    case 4:
      if (UserRights[kFeatureOrderByte] & kRightConditionOrders) return true;
      MessageBoxA(host_.Window(), "您没有使用条件单的权限。  ", "警告", MB_ICONWARNING | MB_TOPMOST);
      ui_->RefocusOrderArea();
      return false;
    case 9:
      host_.SetModal(true);
      ui_->RunReportDialog();
      host_.SetModal(false);
      return false;
    case 6: {
      const TradingOptions before = data_.options;
      host_.SetModal(true);
      const bool ok = ui_->RunOptionsDialog();
      host_.SetModal(false);
      if (ok) pageState = kPageTrading;
      ApplyOptionEffects(TOptionDlg::Effects{before, data_.options});
      return false;
    }
    default: return true;
  }
}

void TTradingDesk::ApplyOptionEffects(const TOptionDlg::Effects &effects) {
  LogTradeOptions(data_);
  if (effects.LayoutChanged()) {
    ui_->OrderLayoutChanged(effects.before.Layout, effects.after.Layout);
    ui_->Layout();
  }
  if (effects.KeyboardChanged() && effects.after.KeyboardLayout)
    MessageBoxA(host_.Window(),
                "您已启用“键盘下单”。当下单区域激活时，按下“1”至“6”中任一按键委托将立即发出。  ", "警告",
                MB_ICONWARNING | MB_TOPMOST);
  if (effects.before.FloatUI != effects.after.FloatUI) {
    // The float command turns the window the other way from the option's
    // state; the dialog has stored the new one already.
    data_.options.FloatUI = !effects.after.FloatUI;
    OnTradeFloatClick(false);
    data_.options.FloatUI = effects.after.FloatUI;
  }
  if (effects.FloatChanged()) ui_->ShowQuickDeal(effects.QuickDealShown());
  ui_->ClearOrderStatusLine();
  ui_->RefocusOrderArea();
}

void TTradingDesk::ShowTradingPage(int entry) {
  static const int kStates[10] = {12, 13, 14, 15, 22, 16, -1, 19, 17, -1};
  if (entry < 0 || entry > 9 || kStates[entry] < 0) return;
  if (entry == 0 && data_.options.Layout == kLayoutQuick) ui_->OrderFilter(orderTag / 10 == 1, false);
  if (entry == 1 && data_.options.Layout == kLayoutQuick) ui_->OrderFilter(orderTag % 10 == 1, true);
  if (entry == 4) ui_->ConditionTabsFirst();
  if (entry == 5) ui_->QueryTabChange();
  if (entry == 8) ui_->BankPageReset();
  ShowPage(kStates[entry]);
}

void TTradingDesk::XPButton25Click() {
  ui_->ReadPasswordPage(passwordPage);
  auto refuse = [this](const char *text) {
    MessageBoxA(host_.Window(), text, "错误", MB_ICONERROR | MB_TOPMOST);
    ui_->RefocusOrderArea();
    ui_->FocusCurrentPassword();
  };
  if (GetPrivateProfileIntA("UI", "ChangeP", 1, kSharedConsign) == 0) return refuse("修改密码失败。  ");
  if (passwordPage.kind < 0) return refuse("请选择要修改的密码的类型。  ");
  if (passwordPage.current.empty()) return refuse("请输入当前密码。  ");
  if (passwordPage.fresh.empty()) return refuse("请输入新密码。  ");
  if (passwordPage.fresh != passwordPage.repeat) {
    passwordPage.fresh.clear();
    passwordPage.repeat.clear();
    ui_->PasswordPageChanged(passwordPage);
    return refuse("两次输入的新密码不一致，请重新输入。  ");
  }
  std::string current = Cut(passwordPage.current, 63), fresh = Cut(passwordPage.fresh, 63);
  passwordPage.current.clear();
  passwordPage.fresh.clear();
  passwordPage.repeat.clear();
  ui_->PasswordPageChanged(passwordPage);
  const int r = TradePlugin.ChangePassword ? TradePlugin.ChangePassword(unsigned(passwordPage.kind), current.data(),
                                                                         fresh.data())
                                           : -1;
  if (r == 0) {
    ui_->RefocusOrderArea();
    ui_->FocusCurrentPassword();
    return;
  }
  char text[64];
  snprintf(text, sizeof text, "修改密码失败 (%i) 。  ", r);
  refuse(text);
}

void TTradingDesk::XPButton48Click() {
  collapsed = !collapsed;
  ui_->Layout();
}

void TTradingDesk::RemapTradeContracts(bool fromMenu) {
  if (fromMenu) {
    CMarketMerger::Instance()->LoadDefault();
    if (!host_.HasQuoteClient()) return;
  }
  const int minute = host_.ServerMinute() + 480;
  auto rebind = [minute](const char *code, STKPTR &stock) {
    char text[9] = {};
    strncopy(text, code, 8);
    const STKPTR found = LookupContractStock(text, minute);
    if (!found.IsNone()) stock = found;
  };
  for (int32_t i = 0; i < data_.contractCount; ++i) rebind(data_.contracts[i].InstrumentID, data_.contracts[i].Stock);
  for (int32_t i = 0; i < data_.positions.GetCount(); ++i)
    rebind(data_.positions.GetData()[i].InstrumentID, data_.positions.GetData()[i].Stock);
  for (int32_t i = 0; i < data_.conditions.GetCount(); ++i)
    rebind(data_.conditions.GetData()[i].InstrumentID, data_.conditions.GetData()[i].Stock);
  data_.MarkContractsChanged();
  data_.positions.MarkChanged();
  data_.conditions.MarkChanged();
}

// ---- geometry ----

void TTradingDesk::SaveWindowGeometry(const char *account) {
  if (!account || !account[0]) return;
  const std::string file = AccountConsign(account);
  const char *f = file.c_str();
  const RECT r = ui_->PanelBounds();
  if (!ui_->Docked()) {
    char pos[64];
    snprintf(pos, sizeof pos, "%i,%i,%i,%i", int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top));
    WritePrivateProfileStringA("UI", "FloatPos", pos, f);
  } else {
    const long height = std::max<long>(r.bottom - r.top, splitterMin);
    WriteNumber("UI", "WndHeight", height, f);
    WriteNumber("UI", "WndHeight", height, UserConsign().c_str());
  }
  WritePrivateProfileStringA("UI", "HideTradePanel", hideTag ? "1" : "0", f);
  WriteNumber("UI", "PPercent", data_.options.PPercent, f);
  WriteNumber("UI", "PPercentWidth", data_.options.PPercentWidth, f);
  WriteNumber("UI", "OrderTag", orderTag, f);
}

void TTradingDesk::TradingIdle(DWORD now) {
  const int minutes = data_.options.AutoLockSystem;
  if (minutes <= 0 || locked || !OnTradingPage()) return;
  if (now - lastInput_ >= DWORD(minutes) * 60000u) OnTradeLockClick();
}
