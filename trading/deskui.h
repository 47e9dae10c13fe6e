// What the trading desk asks of its window and of the main window, as two
// interfaces: the trading window's widgets implement TDeskUi, the main
// window implements TDeskHost. A desk driven without a window (tests) gets
// recorders of both.
//
// The login page lives in the desk as a model (TLoginPageModel): the desk
// reads and changes the model, the window copies the user's input into it
// before an operation (ReadLoginPage) and shows it afterwards
// (LoginPageChanged).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windef.h"

struct TLoginPageModel {
  // XPListBox1
  std::vector<std::string> servers;
  int serverIndex = -1;
  bool serversEnabled = true;
  // XPEdit4, XPEdit5, XPEditSK1
  std::string account, password, code;
  bool accountEnabled = true, passwordEnabled = true, codeEnabled = true;
  // XPComboBoxSecurityType
  std::vector<std::string> securityItems{"验证码", "动态密码"};
  int securityIndex = 0;
  bool securityEnabled = true;
  // LabelSK1, the security combo and the code edit are shown.
  bool securityShown = true;
  // PanelVerify is shown (security mode "验证码").
  bool verifyShown = true;
  // XPCheckBox1 "保存客户号"
  bool saveAccount = true;
  bool saveAccountEnabled = true;
  // XPButton5
  std::string loginCaption = "登录";
  bool loginEnabled = true;
  // XPRadioButtonUI1..4: the checked one and whether they are enabled.
  int layoutRadio = 0;
  bool radiosEnabled = true;
  // Label10: text, colour (BGR) and size.
  std::string message;
  COLORREF messageColour = 0xFF0000;
  int messageSize = 9;
  // Label27
  std::string disclaimer;
  // XPButton7..XPButton16 captions; PanelSoftKey shown.
  std::string keypad[10];
  bool keypadShown = false;
  // The verification code's four characters with the angle (tenths of a
  // degree) and colour (BGR) each is drawn in.
  char verifyCode[5] = {};
  int verifyAngles[4] = {};
  COLORREF verifyColours[4] = {};
  // The bank page's note (Label18) and the monitoring-centre button.
  std::string bankNote;
  bool cfmmcShown = false;
};

// The password page's controls.
struct TPasswordPageModel {
  int kind = 0;  // XPComboBox2: 0 "交易密码", 1 "资金密码", -1 none
  std::string current, fresh, repeat;  // XPEdit8, XPEdit9, XPEdit10
};

// The trading window as the desk drives it.
class TDeskUi {
 public:
  virtual ~TDeskUi() = default;
  // ---- the login page ----
  virtual void ReadLoginPage(TLoginPageModel &page) { (void)page; }
  virtual void LoginPageChanged() {}
  virtual void VerifyCodeChanged() {}
  // The password edit gets the focus (after a refused login).
  virtual void FocusPasswordEdit() {}
  // ---- the text page ----
  virtual void ClearViewer() {}
  // false when the file could not be loaded.
  virtual bool LoadViewer(const char *path) {
    (void)path;
    return false;
  }
  virtual void FocusViewer() {}
  // Word wrap off and left alignment, or the font size.
  virtual void ViewerPlain() {}
  virtual void ViewerFontSize(int size) { (void)size; }
  virtual void TextButtons(const char *confirm, const char *exit) {
    (void)confirm;
    (void)exit;
  }
  // The task page's progress text, whole.
  virtual void TaskProgress(const std::string &text) { (void)text; }
  // ---- the frame ----
  // Panel7Resize: the page of the page state.
  virtual void Layout() {}
  virtual bool Docked() { return true; }
  // Panel7's bounds in the main window's client area.
  virtual RECT PanelBounds() { return RECT{0, 0, 0, 0}; }
  virtual bool PanelVisible() { return false; }
  // The main window's client size.
  virtual SIZE MainClientSize() { return SIZE{1024, 768}; }
  // Docked at the bottom with that height, the splitter shown.
  virtual void Dock(int height) { (void)height; }
  // Floating at the rectangle, moved without activation or z-order change,
  // and shown.
  virtual void Float(const RECT &rect) { (void)rect; }
  virtual void ShowQuickDeal(bool show) { (void)show; }
  virtual void RefocusOrderArea() {}
  // The mouse cursor to a point of the screen; where the window system
  // refuses, it stays.
  virtual void PutCursor(POINT screen) { (void)screen; }
  // The normal order panel's status line (funds, volumes, warnings) emptied.
  virtual void ClearOrderStatusLine() {}
  virtual void RefocusOrderPanel() {}
  // The title band changed (connection state, title).
  virtual void RepaintFrame() {}
  // ---- pages the later parts fill ----
  // Mode 1 of the set-up: every order panel and list to its starting state.
  virtual void ResetTradingPanels() {}
  virtual void ClearContractCombos() {}
  // The quick order panel after the login: its quick keys shown, its
  // direction and offset at their first items.
  virtual void ShowQuickKeys() {}
  // Every code of the desk's contract table into the quick order panel's
  // and the quick-deal bar's contract lists.
  virtual void FillContractCombos() {}
  // The trading connection's band (Splitter2) at that height.
  virtual void ConnectionBand(int height) { (void)height; }
  // The order list filter: "可撤" checked (else "全部"), "全部" shown.
  virtual void OrderFilter(bool cancellable, bool allShown) {
    (void)cancellable;
    (void)allShown;
  }
  virtual void ConditionTabsFirst() {}
  virtual void QueryTabChange() {}
  virtual void BankPageReset() {}
  // The order entry layout changed between 0 and 1 in the options dialog:
  // the new panel takes the old one's contract, volume and price.
  virtual void OrderLayoutChanged(int from, int to) {
    (void)from;
    (void)to;
  }
  // The options dialog (modal): true after OK.
  virtual bool RunOptionsDialog() { return false; }
  virtual void RunReportDialog() {}
  // The navigation shows its selected item again (a refused change).
  virtual void RedrawNavigation() {}
  // ---- the password page ----
  virtual void ReadPasswordPage(TPasswordPageModel &page) { (void)page; }
  virtual void PasswordPageChanged(const TPasswordPageModel &page) { (void)page; }
  virtual void FocusCurrentPassword() {}
};

// The main window as the desk needs it.
class TDeskHost {
 public:
  virtual ~TDeskHost() = default;
  // The owner of boxes and the target of the plug-in's notifications.
  virtual HWND Window() = 0;
  virtual void SetTitle(const char *title) = 0;
  virtual std::string Title() = 0;
  // ToolButton17Click's second meaning: the trading window hidden and its
  // geometry saved to the account's file.
  virtual void HideTradingWindow(const char *account) = 0;
  // N37Click: shows or hides the trading window; its check mark.
  virtual void ToggleTradingWindow() = 0;
  virtual bool TradingWindowChecked() = 0;
  virtual void SetModal(bool modal) = 0;
  virtual int ServerMinute() = 0;
  virtual bool QuoteConnected() = 0;
  virtual uint32_t ProgramVersion() = 0;
  // The trading marks of the charts are dropped (WM_TRADE_VIEWS_UPDATE 0, 0).
  virtual void PostViewsUpdate() = 0;
  // The quote client exists (the contracts can be re-bound).
  virtual bool HasQuoteClient() = 0;
};
