// The trading window's automation in the main window: the check list, the
// condition-order page and the stop dialog bound to the desk's automation,
// and "条件单" of the order panels opening a new condition order from the
// active panel.
#include "shell/mframe.h"

#include <algorithm>
#include <string>

#include "trading/conditiondialog.h"
#include "trading/conditionpage.h"
#include "trading/deskautomation.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/orderentry.h"
#include "trading/orderforms.h"
#include "trading/orderpanel.h"
#include "trading/tradedesk.h"
#include "trading/tradingwindow.h"
#include "views/mvchild.h"
#include "views/report.h"
#include "views/viewattr.h"

TConditionRequest ConditionRequestFromPanels(const TTradeDesk &desk, TOrderPanel &panel, const TOrderEntry &entry) {
  TConditionRequest request;
  const TOrderFields &f = panel.Active();
  request.contract = f.contract;
  request.price = f.price;
  request.volume = std::max(1, std::atoi(f.volume.c_str()));
  request.hedge = desk.options.HedgeFlag;
  // Only the ordinary panel tells the sides and the offset apart; the
  // other panels' buttons are enabled together.
  if (desk.options.Layout == kLayoutNormal) {
    const TOrdinaryPanelModel &o = entry.ordinary;
    request.directionHint = !o.buyEnabled ? 1 : !o.sellEnabled ? 0 : -1;
    request.offsetHint = o.offsetItem;
  }
  return request;
}

void TMFrame::XPButton128Click() {
  if (!tradingWindow || !orderPanel || !orderEntry) return;
  TConditionDialogRun run = tradingWindow->ConditionDialogRun();
  run.resetOrderPanel = [this] {
    const TradingOptions &options = desk.options;
    const char *word = kPriceWords[options.DefaultPrice == 1 ? kWordQueue : kWordOpposite];
    if (options.Layout == kLayoutNormal) {
      TOrderFields &f = orderPanel->fields[0];
      orderEntry->ordinary.buyEnabled = orderEntry->ordinary.sellEnabled = true;
      if (options.ResetToOpen && orderEntry->ordinary.offsetItem != 0) {
        const CContractInfo *contract = desk.FindContract(f.contract.c_str());
        const int volume = contract ? contract->DefaultOpenVolume : 1;
        f.volume = std::to_string(std::clamp(volume, f.spinMin, std::max(f.spinMin, f.spinMax)));
        orderEntry->ComboBox1002Change(0);
      }
      if (options.ResetToNow && f.priceKind == 0) f.price = word;
    } else {
      TOrderFields &f = orderPanel->Active();
      orderEntry->keyboard.buttonsEnabled = true;
      if (options.ResetToNow && f.priceKind == 0) f.price = word;
    }
    if (options.ResetToNow) orderEntry->UpdatePriceFields(STKPTR());
    if (orderForms) orderForms->Refresh();
  };
  OpenNewConditionOrder(desk, ConditionRequestFromPanels(desk, *orderPanel, *orderEntry), run);
}

void TMFrame::BindAutomationPages() {
  if (!automation || !tradingWindow || !listCommands || tradingWindow->conditionPage) return;
  TTradingWindow &window = *tradingWindow;
  window.setModal = [this](bool on) {
    if (tradingHost) tradingHost->SetModal(on);
  };
  window.showInstrument = [this](STKPTR stock) {
    TMultiViewChild *view = Core().ActiveView();
    if (!view || stock.IsNone()) return;
    const int type = view->ViewType();
    if (type == VIEW_TYPE_INTRADAY || type == VIEW_TYPE_KLINE)
      view->Notify(1, stock.Word(), 0, 0);
    else if (type == VIEW_TYPE_REPORT)
      static_cast<TReport *>(view)->LocateStock(stock.Word());
  };
  window.ConnectAutomation(*automation, *listCommands);
  if (tradingDesk) tradingDesk->conditionDialogHook = [this] { XPButton128Click(); };
  if (!orderPanel || !orderEntry) return;
  // A condition row's instrument goes into the active order panel's
  // contract field, handled as if the user left the field.
  TConditionPage &page = *window.conditionPage;
  page.panelContract = [this] { return orderPanel->Active().contract; };
  page.setPanelContract = [this](const std::string &code) {
    const int layout = desk.options.Layout;
    orderPanel->Active().contract = code;
    if (layout == kLayoutKeyboard)
      orderEntry->ComboBox1Exit(false);
    else if (layout == kLayoutQuick)
      orderEntry->XPComboBoxF1Exit(false);
    else
      orderEntry->ComboBox1001Exit(false);
    orderStock = orderPanel->PanelContract;
    if (orderForms) orderForms->Refresh();
  };
}
