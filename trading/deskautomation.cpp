#include "trading/deskautomation.h"

#include "market/rights.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/stopdialog.h"
#include "trading/stopdialogform.h"

TDeskAutomation::TDeskAutomation(TTradeDesk &desk)
    : stops(desk), journal(desk), conditions(desk, hooks), engine(desk, hooks, conditions), checkList(desk, conditions), desk_(desk) {
  hooks.journal = &journal;
  hooks.rights = [] { return UserRights[kFeatureOrderByte]; };
  journal.saveConditionOrders = [this] { conditions.SaveConditionOrders(); };
  desk.stopStore = &stops;
  // The journal's file is read before its first use (and again for another
  // account); what a crash left is settled once the stops are back.
  stops.loaded = [this](int32_t tradeDate) { journal.Reconcile(tradeDate); };
  hooks.stopDialogPosition = []() -> const InvestorPosition_Lite * {
    const TStopDialogModel *dialog = OpenStopDialog();
    return dialog ? &dialog->Position() : nullptr;
  };
}

TDeskAutomation::~TDeskAutomation() {
  if (desk_.stopStore == &stops) desk_.stopStore = nullptr;
}

void TDeskAutomation::PositionsComplete(int32_t tradeDate) { stops.LoadStopOrders(tradeDate); }

void TDeskAutomation::OnOrderInsert(const OrderScript &task, int result, const char *reference, const char *text) {
  journal.OnOrderInsert(task, result, reference, text);
}

void TDeskAutomation::Bind(TDispatchHooks &dispatch) {
  dispatch.loadConditionOrders = [this](int tradeDate) { conditions.LoadConditionOrders(tradeDate); };
  dispatch.triggerOpenConditionOrders = [this](const char *exchange) { conditions.TriggerOpenConditionOrders(exchange); };
  dispatch.hasArmedAutomation = [this] { return conditions.HasArmedAutomation(); };
  dispatch.fillAutomationCheckList = [this] { checkList.Fill(); };
  dispatch.closeStopDialog = [] { CloseOpenStopDialog(); };
}
