// The trading options dialog "交易参数设置" without its window: the seven
// tabs' values as the controls hold them, the rules that tie the controls
// together while the dialog is open, the per-product lists, the short names
// and quick-order keys, and OK, which stores everything in its order. The
// form binds its controls to these members and calls the handlers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windef.h"
#include "trading/deskdata.h"

// A check box with its number edit: unchecked, the edit shows the pair's
// neutral value and is disabled.
struct TValuePair {
  bool checked = false;
  int value = 0;
  int low = 0, high = 32767;
  int neutral = 0;
  bool enabled = true;
  void Check(bool on);
  // A checked box's number within its up-down's range; 0 unchecked.
  int Stored() const;
};

// One line of a list: its text and background colour (BGR).
struct TOptionLine {
  std::string text;
  COLORREF colour = 0xFFFFFF;
};

class TOptionDlg {
 public:
  enum Tab { kGeneral, kQuick, kStop, kAutoStop, kOpenVolume, kCloseVolume, kShortNames };
  static const char *const kTabNames[7];
  static constexpr COLORREF kStopLineColour = 0xFFDAB9;

  // Fills from the desk's options, contract table and short names.
  explicit TOptionDlg(TTradeDesk &desk);

  int tab = kGeneral;
  TradingOptions edited;  // flags and combos as the controls hold them
  bool keyboardBox = false;  // "键盘下单"

  // ---- value pairs ----
  TValuePair priceOffset, timeOut, reorderTimeOut;                          // tab 1
  TValuePair priceOffsetS, priceOffsetSSell, timeOutS, reorderTimeOutS;     // tab 2
  TValuePair autoLock, autoAdjust;                                          // tab 0
  void CheckTimeOut(bool stopPage, bool reorder, bool on);
  void SetStopPriceKinds(int lossKind, int profitKind);
  void SetExpressOrder(bool on);

  // ---- layout combos (written at once) ----
  void DropDownLayout(int combo);
  void ChangeLayout(int combo, int value);
  void SetLeft(bool left);

  // ---- per-product lists ----
  std::vector<std::string> products;
  std::vector<TOptionLine> stopLines;  // four per product
  std::vector<std::string> openLines, closeLines;
  int selectedLine = -1;
  int lossEdit = 0, profitEdit = 0, trailingEdit = 0, volumeEdit = 0;
  void SelectStopLine(int line);
  // "修改" of tabs 3 to 5; quiet on OK (no message boxes).
  void ModifyStops(bool quiet = false);
  void ModifyVolume(bool close);
  // "全部复位" of the shown tab, after asking.
  void ResetAll();

  // ---- short names ----
  std::vector<std::string> shortLines;
  std::string shortName, shortTarget;
  int selectedShort = -1;
  const char *ShortButtonText() const;
  void AddOrChangeShortName();
  void DeleteShortName();

  // ---- quick-order keys ----
  char keys[15] = {};
  // Sets a slot's key; false (edit emptied) when refused.
  bool SetKey(int slot, char key);

  // ---- deal sound and help ----
  void PlaySound();
  // The help page's address with the tab's anchor.
  std::string HelpAddress() const;

  // "确定": stores everything.
  void Ok();

  // What the opener applies after the dialog closed, whatever its result:
  // the options before and after, to tell the layout, keyboard, float and
  // quick-deal changes apart.
  struct Effects {
    TradingOptions before, after;
    bool LayoutChanged() const { return before.Layout != after.Layout; }
    bool KeyboardChanged() const { return before.KeyboardLayout != after.KeyboardLayout; }
    bool FloatChanged() const { return before.FloatUI != after.FloatUI || before.QuickDeal != after.QuickDeal; }
    bool QuickDealShown() const { return after.FloatUI && after.QuickDeal; }
  };
  Effects AfterClose() const { return Effects{before_, desk_.options}; }

 private:
  void FillPairs();
  void BuildStopLines();
  void BuildVolumeLines();
  void BuildShortLines();
  std::string StopLineText(int product, bool sell) const;
  const CContractInfo *ProductContract(int product) const;
  void Box(const char *text, const char *caption, UINT type) const;

  TTradeDesk &desk_;
  TradingOptions before_;
  int layoutBeforeDrop_[2] = {};
  std::vector<int> productFirst_;  // first contract of each product
};
