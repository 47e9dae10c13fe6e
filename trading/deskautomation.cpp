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
  hooks.stopDialogPosition = []() -> const InvestorPosition_Lite * {
    const TStopDialogModel *dialog = OpenStopDialog();
    return dialog ? &dialog->Position() : nullptr;
  };
}

TDeskAutomation::~TDeskAutomation() {
  if (desk_.stopStore == &stops) desk_.stopStore = nullptr;
}

void TDeskAutomation::PositionsComplete(int32_t tradeDate) {
  stops.LoadStopOrders(tradeDate);
  // The file is read once per run; afterwards memory and file agree.
  if (!journalLoaded_) journal.Load();
  journalLoaded_ = true;
  journal.Reconcile(tradeDate);
}

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
