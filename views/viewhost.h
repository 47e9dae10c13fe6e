// What the views and the page ask of the parts of the program above them:
// the main window (its menus and tool buttons, its colour table, the order
// panel, the page menu, the web-address dialog) and the formula library.
//
// The main window fills these in with its own object; until then, and in
// tests that install none, a host that does nothing answers (no tools
// shown, nothing checked, colours 0, no formulas).
#pragma once

#include <cstdint>
#include <functional>

#include "platform/windef.h"

class EToolTip;
class TLineToolBox;

class TMainFrameHost {
 public:
  virtual ~TMainFrameHost() = default;

  // The main window: the target of WM_MF_EVENT and
  // WM_MF_REFRESH_SUBSCRIPTION, and the parent of the page. Null when none.
  virtual HWND MainWindow() { return nullptr; }
  // "自动保存页面(&A)" is checked.
  virtual bool AutoSavePage() { return false; }
  // "闪电图优先(&T)" is checked: an intraday view opened for an
  // instrument starts in tick mode.
  virtual bool TickChartFirst() { return false; }
  // Shows or hides a kind of main-window tools: 0 the drawing-tool button
  // and the analysis menu, 2 the period buttons, 3 the block menu.
  virtual void ShowViewTools(bool show, int kind) {
    (void)show;
    (void)kind;
  }
  // The drawing-tool menu item is shown only for a K-line pane; the
  // drawing-tool box is hidden for other panes and shown for a K-line pane
  // when its tool button is down.
  virtual void ShowDrawingTools(bool klinePane) { (void)klinePane; }
  // Releases every period button of the tool bar and unchecks the period
  // menu items.
  virtual void ReleasePeriodButtons() {}
  // Puts the instrument into the active order panel; false when it is not
  // a tradable contract or trading is not bound.
  virtual bool SetOrderContract(uint32_t stockWord, int flag) {
    (void)stockWord;
    (void)flag;
    return false;
  }
  // Puts the instrument and a price into the active order panel.
  virtual void SetOrderContractAndPrice(uint32_t stockWord, double price) {
    (void)stockWord;
    (void)price;
  }
  // Presses the buy or sell button of the standard order panel, as its
  // offset box says.
  virtual void PressPanelOrderButton() {}
  // Fills up to positionCount position records (64 bytes each) and
  // orderCount cancellable-order records (68 bytes each) of the contract,
  // known by its code or its second (short) code; records left over stay
  // as they are. The account text goes to the outside trading link only.
  virtual void GetChartTradeMarks(const char *account, const char *code, const char *secondCode, void *positions,
                                  int positionCount, void *orders, int orderCount) {
    (void)account;
    (void)code;
    (void)secondCode;
    (void)positions;
    (void)positionCount;
    (void)orders;
    (void)orderCount;
  }
  // The main window's dialog-open flag (key preview off while set).
  virtual void SetDialogOpen(bool open) { (void)open; }
  // COLORnn of the colour table (1..64).
  virtual COLORREF ThemeColor(int number) {
    (void)number;
    return 0;
  }
  // Rebuilds the page menus; mark = table index + 1 of the page to check,
  // or -1 to find the open page from "LP3.DAT".
  virtual void BuildPageMenu(int mark) { (void)mark; }
  // Asks for a web address; true with the address on OK.
  virtual bool AskWebAddress(char (&address)[128]) {
    (void)address;
    return false;
  }
  // Makes the main window the active window.
  virtual void ActivateMainWindow() {}
  // The drawing-tool palette (null while it was never opened) and the code
  // of its pressed tool (-1 none), both kept by the main window.
  virtual TLineToolBox *LinePalette() { return nullptr; }
  virtual int LineToolCode() { return -1; }
  virtual void SetLineToolCode(int code) { (void)code; }
  // The main window's drawing-tool button is raised.
  virtual void RaiseLineButton() {}
  // The action of the main window's drawing-tool button: opens or shows
  // the palette.
  virtual void LineButtonClick() {}
  // The main window's shared tooltip, made on its window at first use;
  // null when there is no main window.
  virtual EToolTip *SharedToolTip() { return nullptr; }
  // After ReleasePeriodButtons: presses the tool button and checks the menu
  // item of a chart period (1..14; 0 presses nothing).
  virtual void PressPeriodButton(int period) { (void)period; }
  // Checks one of the main menu's scale items: 0 "数值坐标", 1 percent,
  // 2 logarithmic.
  virtual void CheckScaleItem(int item) { (void)item; }
};

// The host in use (never null) and the call that installs one (null puts
// the do-nothing host back); returns the one before.
TMainFrameHost *MainFrameHost();
TMainFrameHost *SetMainFrameHost(TMainFrameHost *host);

// The formula library as the views see it.
struct ViewFormulaServices {
  // The kind of the formula of that name (the low two bits of its flags: 0
  // sub-chart, 1 main-chart overlay, 2 main chart), or -1 when the library
  // holds none. Case-insensitive.
  std::function<int(const char *name)> kindOf;
};
ViewFormulaServices &FormulaServices();
// The kind of a named formula through the services; -1 without them.
int FormulaKind(const char *name);
