// The trading window's state and commands, without a window: which page
// shows, the login page (servers, account, password, second factor, soft
// keypad, verification code, layout), the trading login and the steps of
// the settlement confirmation, floating and docking, hiding, locking,
// closing the session, the page switch with its dialog entries, the
// password change, the collapse of the order panel and the re-binding of
// the trading contracts. The window (TDeskUi) shows what the desk holds;
// the main window (TDeskHost) gives the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "trading/deskui.h"
#include "trading/optiondlg.h"

class TTradeDesk;

// The page states of the trading window.
enum : int {
  kPageLogin = 0,
  kPageStatement = 1,
  kPageLoggedIn = 2,
  kPageNoteApproved = 7,
  kPageContracts = 3,
  kPageOrdersLoaded = 4,
  kPageTradesLoaded = 5,
  kPageNoticeRead = 8,
  kPageCheckList = 9,
  kPageTrading = 12,
  kPageOrders = 13,
  kPageTrades = 14,
  kPagePositions = 15,
  kPageQuery = 16,
  kPageBank = 17,
  kPageAbout = 19,
  kPageTasks = 20,
  kPageConditions = 22,
};

// Who asked for the close: the four exit buttons also hide the window
// and build a new login page.
enum class TCloseSender { None, CmdClose, LoginExit, TextExit, OtherExit };

// The generator of the keypad's order and the verification code: the C
// library's sequence, 0..32767, kept per desk.
class TDeskRandom {
 public:
  void Seed(uint32_t seed) { state_ = seed; }
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return int(state_ >> 16 & 0x7FFF);
  }

 private:
  uint32_t state_ = 1;
};

class TTradingDesk {
 public:
  TTradingDesk(TTradeDesk &data, TDeskHost &host, TDeskUi &ui);
  TTradingDesk(const TTradingDesk &) = delete;
  TTradingDesk &operator=(const TTradingDesk &) = delete;

  TTradeDesk &Data() { return data_; }
  TDeskUi &Ui() { return *ui_; }
  void SetUi(TDeskUi &ui) { ui_ = &ui; }

  // ---- state (what the window keeps in tags) ----
  int pageState = kPageLogin;   // Panel11
  int windowTag = 0;            // Panel7: the page to return to after the tasks
  int connectionState = 0;      // Splitter2: below 0 the trading link is lost
  bool collapsed = false;       // XPButton48
  int hideTag = 0;              // XPButton48's other tag: HideTradePanel
  bool locked = false;
  int autoRelogin = 0;
  int32_t loginFlags = 0;       // XPRichEdit1: low word first flag, high word second
  int32_t queryInterval = 10000;
  int orderTag = 10;            // XPListView1
  bool automationArmed = false;
  // The kept login password (compared when unlocking).
  std::string keptPassword;
  // The account holder's name for the command strip.
  std::string holderName;
  // A login is running (TradeInitialize has not returned).
  bool loginRunning = false;
  // The splitter's minimum size: the least docked height.
  int splitterMin = 218;
  // The libraries bound by the set-up.
  const char *loggerName = "kvlogger.dll";
  const char *pluginName = "Tradebridge.dll";
  // Replaces the binding of both libraries when set (true: bound).
  std::function<bool()> bind;

  TLoginPageModel login;
  TPasswordPageModel passwordPage;
  // Called when trading closes (after the question, when one is asked).
  std::function<void()> closing;
  // "条件单" of the order panels: a new condition order.
  std::function<void()> conditionDialogHook;
  TDeskRandom random;

  // ---- set-up ----
  // Mode 0: bind, build the login page and close what is left; mode 1:
  // the investor's options and the empty starting state of the panels.
  void SetupTradingPanel(int mode);

  // ---- the login page ----
  void PanelVerifyClick();
  void XPComboBoxSecurityTypeChange();
  void XPRadioButtonUI1Click();
  // A keypad key with that caption.
  void XPButton7Click(const char *caption);
  void ImageSoftKeyClick();
  // Log in, or unlock a locked window.
  void XPButton5Click();
  // The confirm button of the text page by page state.
  void XPButton19Click();

  // ---- window commands ----
  // Float or dock; with a sender the FloatUI option is toggled and written.
  void OnTradeFloatClick(bool sender);
  void OnTradeHideClick();
  void OnTradeLockClick();
  void OnTradeCloseClick(TCloseSender sender);
  // The navigation: false refuses the change of a top-level entry.
  bool CheckTradingPageChange(int entry);
  void ShowTradingPage(int entry);
  // What the options dialog changed, applied after it closed whatever its
  // result: the log record, the order panel of a new layout, the keyboard
  // warning, floating or docking and the quick-deal bar, the focus.
  void ApplyOptionEffects(const TOptionDlg::Effects &effects);
  // "修改" on the password page.
  void XPButton25Click();
  // The collapse button: the order panel hidden or shown.
  void XPButton48Click();
  // Every contract, position and condition order to the instrument its
  // code has now; from the menu the merging table is reloaded first and
  // nothing else happens without a quote client.
  void RemapTradeContracts(bool fromMenu);

  // ---- the window's geometry ----
  // Writes FloatPos or WndHeight, HideTradePanel, PPercent, PPercentWidth
  // and OrderTag to the account's "Consign.ini" (nothing for no account).
  void SaveWindowGeometry(const char *account);

  // ---- idle lock ----
  // An input message at that tick.
  void NoteInput(DWORD now) { lastInput_ = now; }
  DWORD LastInput() const { return lastInput_; }
  // The one-second check: locks a trading page (12 to 16) once the user
  // has been idle for AutoLockSystem minutes.
  void TradingIdle(DWORD now);

  // The shown page's navigation entry is a trading page.
  bool OnTradingPage() const { return pageState >= 12 && pageState <= 16; }

 private:
  friend class TTradeDispatcher;
  void ShowPage(int state);
  void SetMessage(const char *text, COLORREF colour, int size);
  void EnableLoginControls(bool enabled);
  // Close trading, then a fresh login page with the text.
  void CloseTrading(const char *text);
  // A statement step's request answered result: refused, trading closes
  // with the failure text (%i the result); asked, the login page waits
  // with the waiting text. True when asked.
  bool StepAsked(int result, const char *failure, const char *waiting);
  void DockWindow();
  void SetupMode0();
  void SetupMode1();
  std::string ShortName();
  std::string AccountConsign(const char *account) const;

  TTradeDesk &data_;
  TDeskHost &host_;
  TDeskUi *ui_;
  DWORD lastInput_ = 0;
};

// The settings files of the desk.
constexpr const char *kSharedConsign = "..\\cfg\\Consign.ini";
std::string UserConsign();
