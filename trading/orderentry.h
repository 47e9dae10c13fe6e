// The order-entry panels as the trader works them, without a window: the
// ordinary panel (layout 0), the keyboard-order panel (layout 1), the quick
// order panel (layout 2) and the quick-deal bar that mirrors the first two.
// Each panel's shared fields (contract, order type, volume, price) live in
// TOrderPanel, which manual orders read; this class holds what else the
// panels show (offset choice, button states and price lines, price labels,
// status texts, one-click bindings) and runs their handlers. The forms copy
// the user's input in, call a handler and show the result.
//
// The contract hand-over from the quote views (SetOrderContract) and the
// refresh of the price fields on every quote (UpdatePriceFields) live here
// too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "market/marketrecords.h"
#include "platform/windef.h"
#include "trading/orderpanel.h"

class TTradingDesk;
class TTradeDesk;
class TOrderPanel;
class TManualOrder;
struct CContractInfo;
struct TOrderFields;

// Colours of the panels (BGR).
constexpr COLORREF kEntryWhite = 0xFFFFFF;
constexpr COLORREF kEntryRed = 0x0000FF;
constexpr COLORREF kEntryGreen = 0x008000;
constexpr COLORREF kEntryBlue = 0xFF0000;
constexpr COLORREF kEntryGrey = 0x99A8AC;
constexpr COLORREF kBlockFocusColour = 0x8BDEFC;

// Bounds of the texts copied between fields.
constexpr size_t kContractTextMax = 31;
constexpr size_t kPriceTextMax = 31;
constexpr size_t kVolumeTextMax = 11;

// The ordinary panel beyond the shared fields.
struct TOrdinaryPanelModel {
  // ComboBox1002 and the rows it drops down.
  std::vector<std::string> offsetItems{"1.开仓", "2.平今", "3.平仓"};
  int offsetRows = 3;
  int offsetItem = 0;
  bool offsetEnabled = true;  // off while "自动" is ticked
  COLORREF colour = kEntryWhite;
  bool queryShown = true;  // XPButton1026
  bool buyEnabled = true, sellEnabled = true;
  // The buttons' hints: "^" and the price each would send at.
  std::string buyHint, sellHint;
  bool priceEnabled = true;
  bool autoOffset = false;  // XPCheckBox2
  bool volumeButtonsShown = false, wordListShown = false;
  int contractTag = 0;  // 1 groups listed, 2 a group's codes listed
  std::vector<std::string> contractItems;
};

// The keyboard-order panel beyond the shared fields.
struct TKeyboardPanelModel {
  std::string funds, openable;       // XPEdit6, XPEdit7
  std::string buyLabel, sellLabel;   // Label20, Label36
  bool buttonsEnabled = true;        // the six order buttons
  // One button left enabled by a position's close (by tag 1 to 6).
  bool buttonEnabled[7] = {true, true, true, true, true, true, true};
  void EnableButtons() {
    buttonsEnabled = true;
    for (bool &b : buttonEnabled) b = true;
  }
  bool priceEnabled = true;
  bool blockFocused = false;         // OwnerDrawPanel1 coloured
  bool volumeButtonsShown = false, wordListShown = false;
  int contractTag = 0;
  std::vector<std::string> contractItems;
};

// The quick order panel beyond the shared fields.
struct TQuickPanelModel {
  int direction = 0;  // XPComboBoxF9: 0 buy, 1 sell
  int offset = 0;     // XPComboBoxF10: 0 open, 1 close today, 2 close
  std::string directionItems[2]{"1.买入", "3.卖出"};
  std::string offsetItems[3]{"1.开仓", "2.平今", "3.平仓"};
  bool shield = false, shieldEnabled = true;  // XPCheckBoxF4
  bool oneClick = false;                      // XPCheckBoxF5
  bool fieldsEnabled = true;
  // The key letters of slots 5, 6, 7, 8 (LabelF57, LabelF58, LabelF60,
  // LabelF59) and the two rows' over-price ticks.
  std::string keys[4];
  std::string ticks[2]{"0", "0"};
  COLORREF colour = kEntryWhite;  // PanelF24, PanelF25, PanelF29
  int orderColor = 0;             // the buttons' backgrounds
  std::string funds, openable;    // LabelF65, LabelF66
  bool pressed[3] = {};           // XPButtonF53, F54, F55 between down and up
};

// The quick-deal bar: a mirror of the active panel of layouts 0 and 1.
struct TQuickDealBarModel {
  std::string contract, volume = "1", price;
  int stepper = 1;
  bool priceEnabled = true;
};

// What the panels reach outside the trading desk. An empty hook does
// nothing (or answers "no").
struct TOrderEntryHooks {
  // Scroll the position list to the instrument's rows.
  std::function<void(STKPTR)> showContractPositions;
  // SyncContract: the page's active view shows the instrument.
  std::function<void(STKPTR)> syncActiveView;
  // The instrument of the page's active view (none when there is none).
  std::function<STKPTR()> activeViewStock;
  // "自动": orders that close first and open the rest.
  std::function<void(bool buy)> placeAutoOffsetOrders;
  // "全部撤单"
  std::function<void()> cancelAllOrders;
  // The layout-3 position filter "持仓" set.
  std::function<void()> showPositionFilter;
  // A control of a panel or the bar gets the focus (its form name).
  std::function<void(const char *name)> focus;
  // The caret of a contract field goes behind its text.
  std::function<void(const char *name)> caretToEnd;
  // N37Click: the hidden trading window shown.
  std::function<void()> showTradingWindow;
  // The ordinary panel is on screen (its status line can be seen).
  std::function<bool()> ordinaryShown;
};

// The answer of the openable-volume query.
enum class TVolumeQuery { None, Refused, BadPrice, Failed, Sent };

class TOrderEntry {
 public:
  TOrderEntry(TTradingDesk &desk, TOrderPanel &panel, TManualOrder &manual);

  TOrdinaryPanelModel ordinary;
  TKeyboardPanelModel keyboard;
  TQuickPanelModel quick;
  TQuickDealBarModel bar;
  // Both hedge combos: the same items, the same choice.
  std::vector<std::string> hedgeItems{"投机", "保值"};
  int hedgeIndex = 0;
  // The last openable-volume query of any panel.
  DWORD lastVolumeQueryTick = 0;
  char lastVolumeQueryContract[32] = {};
  // "..\cfg\Trading.ini" [Option] GrapPriceMode.
  int grapPriceMode = 0;
  TOrderEntryHooks hooks;

  // ---- set-up ----
  // The offset items of the ordinary panel by GrapPriceMode.
  void ApplyGrapPriceMode(int mode);
  void LoadGrapPriceMode();
  // The quick panel's key letters, bindings, tick counts and colours.
  void ApplyQuickOrderKeys();

  // ---- shared ----
  // True when a text the panels or the bar show changed (a repaint is due);
  // quoteTextsChanged says which.
  bool UpdatePriceFields(STKPTR stock);
  // The same for a pushed quote of the instrument as the frame hands it on
  // (STKPTR::Word(), its quote and record), without looking them up again.
  bool UpdateQuotePrices(uint32_t stock, const REALQUOTE &quote, const STKINFO &info);
  // The filled panel's price field, its price lines (the ordinary buttons'
  // hints or the keyboard labels), the bar's price.
  enum : unsigned { kQuotePriceField = 1, kQuotePriceLines = 2, kQuoteBarPrice = 4 };
  unsigned quoteTextsChanged = 0;
  // Whether a pushed quote of the instrument repaints the fields.
  bool QuoteRefreshes(STKPTR stock) const;
  // The hedge choice by the contract code (IF/TF may be arbitrage).
  void ApplyHedgeChoices(const char *code);
  void HedgeChange(int item);
  // The active panel's price spinner (+1 up, -1 down); the field gets the
  // focus in layouts 0 and 1.
  void StepPrice(int delta);
  void MirrorPanelToQuickDeal(bool contract, bool volume, bool price);
  void MirrorQuickDealToPanel(bool contract, bool volume, bool price);

  // The layout changed between 0 and 1 in the options: the new panel takes
  // the old one's contract and volume; the keyboard panel starts without a
  // price and with a limit order.
  void OrderLayoutChanged(int from, int to);

  // ---- the hand-over from the views ----
  bool SetOrderContract(STKPTR stock);
  bool SetOrderContractAndPrice(STKPTR stock, double price);

  // ---- the ordinary panel ----
  void ComboBox1002Change(int item);
  void ShowClosableVolumes();
  void XPEdit1002Change();
  void XPButton1032Click(bool buy);
  void XPButton1002Click(bool sender);
  void ComboBox1005Change(int kind);
  TVolumeQuery XPButton1026Click(bool sender);
  void XPEdit1002Exit();
  void XPListBox1012Click(int item);
  void XPCheckBox2Click(bool checked);
  // The contract field: the groups listed, an item chosen (-1 none) or
  // text typed, and the exit (real with the focus gone to a list or not).
  void ContractDropDown(int layout);
  void ComboBox1001Change(int selected = -1);
  void ComboBox1001Exit(bool sender, bool toList = false);

  // ---- the keyboard-order panel ----
  // An order button by its tag (1 to 6).
  void XPButton32Click(int tag);
  TVolumeQuery XPButton39Click(bool sender);
  void ComboBox1Change(int selected = -1);
  void ComboBox1Exit(bool sender, bool toList = false);
  void ComboBox5Change(int kind);
  void XPEdit2Change();
  void XPEdit2Exit();
  void XPListBox2Click(int item);
  void Label20Click(bool sell);
  // The button block got or lost the focus (WM_TRADE_FOCUS: stillInside).
  void OwnerDrawPanel1Enter() { keyboard.blockFocused = true; }
  void TradeFocus(bool stillInside) {
    if (!stillInside) keyboard.blockFocused = false;
  }
  // The volume buttons (Panel22, Panel24) and the price-word lists of the
  // ordinary (layout 0) and keyboard (layout 1) panels.
  void VolumeFieldClick(int layout);
  void VolumeButtonClick(int layout, const char *caption);
  void PriceFieldClick(int layout);
  void PanelMouseMove(int layout);
  // "条件单" of either panel.
  void NewConditionOrder();

  // ---- the quick order panel ----
  void XPButtonF53Click();
  TVolumeQuery XPButtonF54Click(bool sender);
  void XPButtonF55Click();
  void XPCheckBoxF4Click(bool checked);
  void XPCheckBoxF5Click(bool checked);
  // The volume (row -1) or a row's tick count stepped.
  void XPUpDownF14ChangingEx(int row, int step);
  void XPEditF20Change(int row);
  void LabelF83DblClick(int row);
  void XPComboBoxF1Change();
  void XPComboBoxF1Exit(bool sender, bool toList = false);
  void XPComboBoxF9Change(int item) { quick.direction = item == 1 ? 1 : 0; }

  // ---- the quick-deal bar ----
  // A bar button by its tag (0 to 5).
  void XPButton42Click(int tag);
  void XPComboBox8Change();
  void XPComboBox8Exit();
  void XPEdit12Change();
  void XPPriceEdit2Change();
  void XPPriceEdit2Exit();
  void XPUpDown2ChangingEx(int delta);
  // A digit typed on a bar button: the button it moves to, or null.
  static const char *QuickDealDigitTarget(int digit);

  TOrderPanel &Panel() { return panel_; }
  // The layout whose panel is filled (3 fills layout 0's).
  int PanelLayout() const;

 private:
  // UpdatePriceFields with the stock's quote scale when the caller has it.
  bool RefreshPriceTexts(STKPTR stock, const TQuoteScale *scale);
  TOrderFields &Fields(int layout);
  const CContractInfo *PanelContractInfo() const;
  std::string WordText(int kind, const char *other) const;
  void Status(const std::string &text, COLORREF colour);
  void ExpressWarning();
  int DefaultVolume(const CContractInfo *contract, bool limited) const;
  void SetVolume(TOrderFields &f, int volume);
  // Short names replaced in a contract field; true when the text is a
  // code of the contract table.
  bool ReplaceShortName(std::string &text, bool firstOnly, const char *field);
  TVolumeQuery QueryVolume(bool sender, const TOrderFields &f, int word, unsigned *seconds, int *result);
  void AfterOrder(int layout);
  void ResetPage();
  bool PageIsRefocusable() const;
  void ContractGroupChosen(std::vector<std::string> &items, int &tag, int selected);

  TTradingDesk &desk_;
  TTradeDesk &data_;
  TOrderPanel &panel_;
  TManualOrder &manual_;
  // The prices last printed into the texts that follow every quote.
  TPriceText buyHintText_, sellHintText_, buyLabelText_, sellLabelText_, quickPriceText_;
};

// The second code a linked program gets for a contract's extended code
// and kind: a six-character futures code of kind 2 shortened to its two
// letters and last three digits, else empty.
void LinkSecondCode(const char *code, int kind, char out[8]);
