// Stand-ins for the trading window and the main window around a trading
// desk driven without windows: every call is recorded as a line of text
// ("Layout 12", "Dock 218", "HideTradingWindow 880001", ...) and the
// answers (geometry, dialog results, the title) are settable.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "trading/deskui.h"

class TTradingDesk;

class DeskUiRecorder : public TDeskUi {
 public:
  // The desk whose page state "Layout" records (may be set later).
  TTradingDesk *desk = nullptr;
  std::vector<std::string> calls;
  // The calls starting with the prefix.
  std::vector<std::string> Calls(const std::string &prefix = "") const;
  void Clear() { calls.clear(); }

  // ---- answers ----
  bool docked = true;
  bool panelVisible = true;
  RECT bounds{0, 550, 1024, 768};
  SIZE mainSize{1024, 768};
  bool optionsOk = false;
  // What the user changes in the options dialog before it closes.
  std::function<void()> optionsDialog;
  bool viewerLoads = true;
  std::string viewerFile;
  TPasswordPageModel typedPassword;  // what ReadPasswordPage gives
  bool hasTypedPassword = false;

  // When set, the login page's edits behave as the window's do: they show
  // the desk's account, password and code as of the last LoginPageChanged,
  // and ReadLoginPage gives back what they show.
  bool showsLoginEdits = false;
  std::string shownAccount, shownPassword, shownCode;

  void ReadLoginPage(TLoginPageModel &page) override;
  void LoginPageChanged() override;
  void VerifyCodeChanged() override { calls.push_back("VerifyCodeChanged"); }
  void FocusPasswordEdit() override { calls.push_back("FocusPasswordEdit"); }
  void ClearViewer() override { calls.push_back("ClearViewer"); }
  bool LoadViewer(const char *path) override;
  void FocusViewer() override { calls.push_back("FocusViewer"); }
  void ViewerPlain() override { calls.push_back("ViewerPlain"); }
  void ViewerFontSize(int size) override { calls.push_back("ViewerFontSize " + std::to_string(size)); }
  void TextButtons(const char *confirm, const char *exit) override;
  void Layout() override;
  bool Docked() override { return docked; }
  RECT PanelBounds() override { return bounds; }
  bool PanelVisible() override { return panelVisible; }
  SIZE MainClientSize() override { return mainSize; }
  void Dock(int height) override;
  void Float(const RECT &rect) override;
  void ShowQuickDeal(bool show) override { calls.push_back(std::string("ShowQuickDeal ") + (show ? "1" : "0")); }
  void RefocusOrderArea() override { calls.push_back("RefocusOrderArea"); }
  void PutCursor(POINT screen) override {
    calls.push_back("PutCursor " + std::to_string(screen.x) + " " + std::to_string(screen.y));
  }
  void ClearOrderStatusLine() override { calls.push_back("ClearOrderStatusLine"); }
  void RefocusOrderPanel() override { calls.push_back("RefocusOrderPanel"); }
  void ResetTradingPanels() override { calls.push_back("ResetTradingPanels"); }
  void ClearContractCombos() override { calls.push_back("ClearContractCombos"); }
  void FillContractCombos() override { calls.push_back("FillContractCombos"); }
  void ConnectionBand(int height) override { calls.push_back("ConnectionBand " + std::to_string(height)); }
  void OrderFilter(bool cancellable, bool allShown) override;
  void ConditionTabsFirst() override { calls.push_back("ConditionTabsFirst"); }
  void QueryTabChange() override { calls.push_back("QueryTabChange"); }
  void BankPageReset() override { calls.push_back("BankPageReset"); }
  bool RunOptionsDialog() override;
  void OrderLayoutChanged(int from, int to) override {
    calls.push_back("OrderLayoutChanged " + std::to_string(from) + " " + std::to_string(to));
  }
  void ShowQuickKeys() override { calls.push_back("ShowQuickKeys"); }
  void RunReportDialog() override { calls.push_back("RunReportDialog"); }
  void RedrawNavigation() override { calls.push_back("RedrawNavigation"); }
  void ReadPasswordPage(TPasswordPageModel &page) override;
  void PasswordPageChanged(const TPasswordPageModel &page) override;
  void FocusCurrentPassword() override { calls.push_back("FocusCurrentPassword"); }
};

// A host that answers like a connected main window and records nothing:
// for benchmarks, where recording would be part of the measured time.
class QuietDeskHost : public TDeskHost {
 public:
  HWND Window() override { return nullptr; }
  void SetTitle(const char *) override {}
  std::string Title() override { return {}; }
  void HideTradingWindow(const char *) override {}
  void ToggleTradingWindow() override {}
  bool TradingWindowChecked() override { return true; }
  void SetModal(bool) override {}
  int ServerMinute() override { return 120; }
  bool QuoteConnected() override { return true; }
  uint32_t ProgramVersion() override { return 0; }
  void PostViewsUpdate() override {}
  bool HasQuoteClient() override { return true; }
};

class DeskHostRecorder : public TDeskHost {
 public:
  // The desk that saves the geometry when the window is hidden.
  TTradingDesk *desk = nullptr;
  std::vector<std::string> calls;
  std::vector<std::string> Calls(const std::string &prefix = "") const;

  HWND window = nullptr;
  std::string title = "云帆行家";
  bool checked = true;
  bool modal = false;
  bool modalSeen = false;  // the modal flag was set at some point
  int serverMinute = 120;
  bool quoteConnected = true;
  bool quoteClient = true;

  HWND Window() override { return window; }
  void SetTitle(const char *text) override;
  std::string Title() override { return title; }
  void HideTradingWindow(const char *account) override;
  void ToggleTradingWindow() override;
  bool TradingWindowChecked() override { return checked; }
  void SetModal(bool on) override;
  int ServerMinute() override { return serverMinute; }
  bool QuoteConnected() override { return quoteConnected; }
  uint32_t ProgramVersion() override { return 30000001; }
  void PostViewsUpdate() override { calls.push_back("PostViewsUpdate"); }
  bool HasQuoteClient() override { return quoteClient; }
};
