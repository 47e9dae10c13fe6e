// The command dispatcher: each of the commands 1 to 83 turned into its
// action on the page, the active view or the frame's receivers. It keeps no
// state of its own.
#pragma once

#include "shell/commands.h"
#include "shell/framecore.h"

class TMultiViewChild;

class TCommandDispatcher {
 public:
  explicit TCommandDispatcher(TFrameCore &core) : core_(core) {}

  // Codes outside 1..83 do nothing.
  void ExecuteCommand(int code);
  // Chart period 0..14 for the active view (a K-line view switches, other
  // views bring one forward or make one).
  void SetChartPeriod(int period);
  // The report to show a block (-1: none) in; null without a page.
  TMultiViewChild *OpenReport(int blockId);
  // An instrument's chart of the attributes' type: shown in the linked
  // views, then the page's chart of that type brought forward (an intraday
  // one in the mode "闪电图优先" asks for), or one made in the active pane.
  void ShowChart(const VIEW_ATTR_13 &attributes);

 private:
  TMultiViewChild *Active() const { return core_.ActiveView(); }
  void View(TViewAction action, TMultiViewChild *view, intptr_t arg);
  void Frame(TFrameAction action, intptr_t arg = 0);
  void BringForward(TMultiViewChild *view);
  TMultiViewChild *CreateInActivePane(const VIEW_ATTR_13 &attributes);
  // The active view's stock list into the attributes; the handle of a list
  // made here (a report's rows), else 0.
  uint32_t HandOverList(VIEW_ATTR_13 &attributes);
  // A found view takes the attributes: the list gains the view's reference.
  void SwitchFound(TMultiViewChild *view, const VIEW_ATTR_13 &attributes);
  bool TickMode(TMultiViewChild *view);
  void AlignTickMode(TMultiViewChild *view, bool both);
  int MarketGroupBlock(int code) const;
  void LeadingIndex(int code);
  void SwitchChart();
  void UserStocks();
  void CyclePeriod(bool back);
  void News();
  void BaseInformation();
  void Notes(int channel);
  void Ranking(int code);
  void AddToUserBlock();
  void IntradayChart();

  TFrameCore &core_;
};
