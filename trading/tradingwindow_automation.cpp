// The trading window's automation: the after-login check list page, the
// condition-order page and the two dialogs, bound to the desk's automation,
// the dispatcher and the list commands.
#include "trading/tradingwindow.h"

#include "trading/automationpages.h"
#include "trading/conditiondialog.h"
#include "trading/conditiondialogform.h"
#include "trading/conditionpage.h"
#include "trading/deskautomation.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/listforms.h"
#include "trading/listrows.h"
#include "trading/stopdialog.h"
#include "trading/stopdialogform.h"

void TTradingWindow::ConnectAutomation(TDeskAutomation &automation, TListCommands &commands) {
  if (automation_ || !dispatcher_) return;
  automation_ = &automation;
  TTradeDispatcher &dispatch = *dispatcher_;
  TTradeDesk &data = desk_.Data();

  if (!runConditionDialog)
    runConditionDialog = [this](TConditionDialogModel &model) { return RunConditionDialog(model, setModal); };
  if (!runStopDialog) runStopDialog = [this](TStopDialogModel &model) { RunStopDialog(model, setModal); };

  // The check list fills Panel21; "确认" arms the automation, "退出"
  // closes trading.
  TAutomationCheckList &list = automation.checkList;
  checkListPanel = new TCheckListPanel(panel_, list);
  checkListPanel->SetParent(Panel21);
  checkListPanel->SetAlign(alClient);
  checkListPanel->confirm = [&dispatch] { dispatch.XPButton50Click(); };
  checkListPanel->exit = [this] { desk_.OnTradeCloseClick(TCloseSender::OtherExit); };
  list.orderListChanged = [this, &dispatch] {
    OnOrderRadioClick(dispatch.book, desk_.Data(), desk_.pageState, desk_.orderTag);
  };
  list.showInstrument = [this](STKPTR stock) {
    if (showInstrument) showInstrument(stock);
  };
  dispatch.hooks.fillAutomationCheckList = [this, &list] {
    list.Fill();
    checkListPanel->ShowRows();
  };
  Name("TCheckListPanel", checkListPanel);

  // The condition-order page takes the place the layout gives its tabs.
  conditionPage = std::make_unique<TConditionPage>(data, automation.conditions);
  TConditionPage &page = *conditionPage;
  page.rights = automation.hooks.rights;
  page.runDialog = [this](TConditionDialogModel &model) { return runConditionDialog(model); };
  page.panelContract = [this] { return orderPanel.contract; };
  page.setPanelContract = [this](const std::string &code) { orderPanel.contract = code; };
  page.startQueue = [&dispatch] { dispatch.taskQueue.StartOrderScripts(); };
  page.focusList = [this] {
    TWinControl *list = conditionPagePanel->XPListViewConditionOrder;
    if (list->Showing()) list->SetFocus();
  };
  conditionPagePanel = new TConditionPagePanel(panel_, page);
  conditionPagePanel->SetParent(XPTabControl4);
  conditionPagePanel->SetAlign(alClient);
  Name("TConditionPagePanel", conditionPagePanel);

  // The stop dialog from the position list's stop columns, button and menu.
  commands.stopRight = dispatch.positionBook.stopRight;
  commands.setStopOrderForPosition = [this](int32_t position) { SetStopOrderForPosition(position); };
}

void TTradingWindow::SetStopOrderForPosition(int32_t position) {
  TTradeDesk &data = desk_.Data();
  if (position < 0 || position >= data.positions.GetCount()) return;
  TStopDialogRun run;
  run.runModal = [this](TStopDialogModel &model) {
    if (runStopDialog) runStopDialog(model);
  };
  // The list shows the new stop columns at once, not only after the next
  // answer from the broker refills it.
  if (dispatcher_)
    run.updateStopColumns = [this](const InvestorPosition_Lite &p) {
      if (dispatcher_->positionBook.updateStopColumns) dispatcher_->positionBook.updateStopColumns(p);
      if (listArea) listArea->ShowPositions();
    };
  run.refocusOrderPanel = [this] { RefocusOrderPanel(); };
  // The dialog works on a copy: a position list rebuilt meanwhile leaves
  // the record it was opened for intact.
  const InvestorPosition_Lite held = data.positions.GetData()[position];
  ::SetStopOrderForPosition(data, &held, run);
}

TConditionDialogRun TTradingWindow::ConditionDialogRun() {
  TConditionDialogRun run;
  run.runModal = [this](TConditionDialogModel &model) { return runConditionDialog && runConditionDialog(model); };
  if (automation_) {
    TConditionOrders &conditions = automation_->conditions;
    run.saveConditionOrders = [&conditions] { conditions.SaveConditionOrders(); };
    run.rights = automation_->hooks.rights;
  }
  run.showConditionPage = [this] { ShowConditionPage(); };
  run.refocusOrderPanel = [this] { RefocusOrderPanel(); };
  return run;
}

void TTradingWindow::ConditionTabsFirst() {
  if (!conditionPagePanel) return;
  conditionPagePanel->XPTabControl4->SetTabIndex(0);
  conditionPagePanel->XPTabControl4Change();
}

void TTradingWindow::ShowConditionPage() {
  ConditionTabsFirst();
  desk_.pageState = kPageConditions;
  Layout();
  if (conditionPage && conditionPage->focusList) conditionPage->focusList();
}
