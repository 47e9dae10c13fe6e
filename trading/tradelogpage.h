// The event-log page: a tab control over the readable copies of the day's
// trade log ("全部", "快捷操作", "止损止盈", "条件单") and a memo that shows
// the chosen one. The trading window places it on its log page.
#pragma once

#include <functional>
#include <string>

#include "classlib/forms.h"
#include "core/xpmemo.h"
#include "core/xptabcontrol.h"

class TTradeDesk;

class TTradeLogPage : public TForm {
 public:
  // tradeDate gives the plug-in's trade date text; by default the bound
  // plug-in's.
  TTradeLogPage(TComponent *owner, const TTradeDesk &desk, std::function<std::string()> tradeDate = nullptr);

  TXPTabControl *XPTabControl5;
  TXPMemo *XPMemo2;

  // A tab was chosen: the memo is cleared and focused, the tab's file is
  // loaded (a missing one leaves it empty) and an empty line appended.
  void XPTabControl5Change(TObject *sender);
  // The memo fills the tab control less 14 pixels across and 36 down.
  void XPTabControl5Resize(TObject *sender);

 private:
  const TTradeDesk &desk_;
  std::function<std::string()> tradeDate_;
};
