// The order-entry panels in the main window: built once the trading window
// and the dispatcher exist, fed by the quote road and the views' hand-over,
// and followed by the frame's own record of the panel's contract.
#include "shell/mframe.h"

#include <algorithm>
#include <vector>

#include "charts/drawview.h"
#include "classlib/combobox.h"
#include "platform/commctrl.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "shell/framecore.h"
#include "shell/framesubclass.h"
#include "trading/automationpages.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/listforms.h"
#include "trading/manualorder.h"
#include "trading/orderentry.h"
#include "trading/orderforms.h"
#include "trading/orderpanel.h"
#include "trading/tradedesk.h"
#include "trading/tradingwindow.h"
#include "views/mvchild.h"
#include "views/report.h"
#include "views/viewattr.h"

void TMFrame::BindOrderPanels() {
  if (orderEntry || !tradingWindow || !tradeDispatcher || !tradingDesk) return;
  orderPanel = std::make_unique<TOrderPanel>(desk);
  manualOrder = std::make_unique<TManualOrder>(desk, *orderPanel, tradeDispatcher->book, Handle());
  manualOrder->tradingWindowVisible = [this] { return Panel7 && Panel7->Visible(); };
  manualOrder->refocusOrderArea = [this] { tradingWindow->RefocusOrderArea(); };
  manualOrder->panelClick = [this] { tradingWindow->RefocusOrderPanel(); };
  orderEntry = std::make_unique<TOrderEntry>(*tradingDesk, *orderPanel, *manualOrder);
  orderEntry->LoadGrapPriceMode();
  TOrderEntryHooks &h = orderEntry->hooks;
  h.activeViewStock = [this] {
    TMultiViewChild *view = Core().ActiveView();
    return view ? view->m_attr.stock : STKPTR();
  };
  h.syncActiveView = [this](STKPTR stock) {
    TMultiViewChild *view = Core().ActiveView();
    if (!view) return;
    const int type = view->ViewType();
    if (type == VIEW_TYPE_INTRADAY || type == VIEW_TYPE_KLINE)
      view->Notify(1, stock.Word(), 0, 0);
    else if (type == VIEW_TYPE_REPORT)
      static_cast<TReport *>(view)->LocateStock(stock.Word());
  };
  h.showTradingWindow = [this] {
    if (tradingHost) tradingHost->ToggleTradingWindow();
  };
  h.focus = [this](const char *name) {
    auto *control = dynamic_cast<TWinControl *>(tradingWindow->Control(name));
    if (control && control->Showing()) control->SetFocus();
  };
  h.caretToEnd = [this](const char *name) {
    auto *box = dynamic_cast<TWinControl *>(tradingWindow->Control(name));
    if (!box || !box->HandleAllocated()) return;
    const int end = int(box->Text().size());
    SendMessageA(box->Handle(), CB_SETEDITSEL, 0, MAKELPARAM(end, end));
  };
  orderForms = std::make_unique<TOrderPanelForms>(*tradingWindow, *orderEntry, this);
  orderForms->focusTarget = Handle();
  // The bar is a one-line strip along the bottom of the main window, above
  // the status bar: the place the docked trading window takes, since the bar
  // shows only while that window floats.
  orderForms->PanelQuickDeal->SetAlign(alBottom);
  orderForms->PanelQuickDeal->SetHeight(28);
  orderForms->changed = [this] { orderStock = orderPanel->PanelContract; };
  h.placeAutoOffsetOrders = [this](bool buy) {
    if (listCommands) listCommands->PlaceAutoOffsetOrders(buy);
  };
  // The lists' commands fill the panel on screen: the model first (the
  // commands' own step), then the widgets with the panel's handlers.
  if (listCommands) {
    listCommands->manual = manualOrder.get();
    listCommands->panel = orderPanel.get();
    listCommands->grapPriceMode = orderEntry->grapPriceMode;
    listCommands->chartOrderButton = [this](STKPTR instrument, bool buy, POINT &screen) {
      auto *chart = dynamic_cast<TDrawView *>(Core().ActiveView());
      return chart && chart->OrderButtonCentre(instrument, buy, screen);
    };
    auto prepared = listCommands->preparePanel;
    listCommands->preparePanel = [this, prepared](const TPanelPrepare &p) {
      if (prepared) prepared(p);
      if (orderForms) orderForms->Prepare(p);
      orderStock = orderPanel->PanelContract;
    };
    auto mirrored = listCommands->mirrorPanelToQuickDeal;
    listCommands->mirrorPanelToQuickDeal = [this, mirrored] {
      if (mirrored) mirrored();
      orderEntry->MirrorPanelToQuickDeal(true, true, true);
      orderForms->Refresh();
    };
  }
  // Every quote of a position's contract rewrites the profit cells of its
  // rows while the holdings list shows.
  auto stops = receivers.checkStopOrders;
  receivers.checkStopOrders = [this, stops](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
    if (stops) stops(stock, quote, info);
    TListAreaForm *lists = tradingWindow ? tradingWindow->listArea : nullptr;
    if (!lists || !tradeDispatcher || !lists->Showing() || !lists->XPPushRadioButton1->Checked()) return;
    if (RefreshQuoteProfits(tradeDispatcher->positionBook, desk.positions, STKPTR(stock)) > 0)
      lists->ShowPositionProfits();
  };
  receivers.orderEntryLayout = [this] { return desk.options.Layout; };
  receivers.orderPriceIsWord = [this] { return PriceWordOf(orderPanel->fields[0].price.c_str()) >= 0; };
  receivers.updatePriceFields = [this](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
    // Only a changed text repaints the panel.
    if (orderEntry->UpdateQuotePrices(stock, quote, info)) orderForms->RefreshQuotePrices(orderEntry->quoteTextsChanged);
  };
  // The dispatcher's answers (funds, openable volume) fill the panels: it
  // sees the panel's contract, hedge flag and offset before each
  // notification and its texts are shown after it.
  auto notify = receivers.tradeNotify;
  receivers.tradeNotify = [this, notify](WPARAM wParam, LPARAM lParam) {
    if (orderEntry && tradeDispatcher) {
      TOrderPanelFields &fields = tradeDispatcher->panel;
      fields.contract = orderPanel->Active().contract;
      fields.hedge = desk.options.HedgeFlag;
      fields.offsetItem = orderEntry->ordinary.offsetItem;
      fields.label1005 = orderPanel->hint;
      fields.label1005Colour = orderPanel->hintColour;
      fields.edit6 = orderEntry->keyboard.funds;
      fields.edit7 = orderEntry->keyboard.openable;
      fields.labelF65 = orderEntry->quick.funds;
      fields.labelF66 = orderEntry->quick.openable;
    }
    if (notify) notify(wParam, lParam);
    if (orderEntry && tradeDispatcher) {
      const TOrderPanelFields &fields = tradeDispatcher->panel;
      if (fields.label1005 != orderPanel->hint || fields.label1005Colour != orderPanel->hintColour) {
        orderPanel->hint = fields.label1005;
        orderPanel->hintColour = fields.label1005Colour;
        orderPanel->hintShown = true;
      }
      orderEntry->keyboard.funds = fields.edit6;
      orderEntry->keyboard.openable = fields.edit7;
      orderEntry->quick.funds = fields.labelF65;
      orderEntry->quick.openable = fields.labelF66;
      orderForms->Refresh();
    }
  };
  // The keyboard block turns white again once the focus left it.
  auto previous = receivers.tradeFocus;
  receivers.tradeFocus = [this, previous](LPARAM control) {
    if (previous) previous(control);
    if (!orderForms || HWND(control) != orderForms->XPButton39->Handle()) return;
    const HWND block = orderForms->OwnerDrawPanel1->Handle();
    const HWND focus = GetFocus();
    orderEntry->TradeFocus(focus && (focus == block || IsChild(block, focus)));
    orderForms->Refresh();
  };
}

bool TMFrame::SetOrderContract(uint32_t stockWord, int flag) {
  (void)flag;
  if (!orderEntry) return false;
  const bool found = orderEntry->SetOrderContract(STKPTR(stockWord));
  orderStock = orderPanel->PanelContract;
  orderForms->Refresh();
  return found;
}

void TMFrame::SetOrderContractAndPrice(uint32_t stockWord, double price) {
  if (!orderEntry) return;
  orderEntry->SetOrderContractAndPrice(STKPTR(stockWord), price);
  orderStock = orderPanel->PanelContract;
  orderForms->Refresh();
}

void TMFrame::SubclassDeskControls() {
  if (!tradingWindow) return;
  TTradingWindow &w = *tradingWindow;
  std::vector<TXPListView *> lists;
  if (w.listArea) lists.insert(lists.end(), {w.listArea->XPListView1, w.listArea->XPListView2, w.listArea->XPListView3});
  if (w.conditionPagePanel) lists.push_back(w.conditionPagePanel->XPListViewConditionOrder);
  if (w.checkListPanel) lists.push_back(w.checkListPanel->XPListView5);
  for (TXPListView *list : lists)
    if (list) InstallListHeaderProc(reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETHEADER, 0, 0)));
  for (const char *name : {"ComboBox1001", "ComboBox1"})
    if (auto *box = dynamic_cast<TComboBox *>(w.Control(name)); box && box->Edit())
      InstallContractEditProc(box->Edit()->Handle());
  if (w.Panel13) InstallTradeNoticeProc(w.Panel13->Handle());
}

// ---- the trading window's key and the keyboard block's focus ----

void TMFrame::N37Click() {
  ToolButton17Click();
  const bool shown = Panel7->Visible();
  if (TToolButton *button = chrome ? chrome->Button("ToolButton17") : nullptr) button->SetDown(shown);
  if (TMenuItem *item = chrome ? chrome->MenuItem("N37") : nullptr) item->Checked = shown;
}

void TMFrame::TradingWindowKey() {
  N37Click();
  if (!Panel7->Visible() || !tradingDesk || !orderForms) return;
  if (desk.options.Layout != kLayoutKeyboard || tradingDesk->collapsed) return;
  TOwnerDrawPanel *block = orderForms->OwnerDrawPanel1;
  RECT frame{}, panel{};
  if (!block->HandleAllocated() || !GetWindowRect(Handle(), &frame) || !GetWindowRect(block->Handle(), &panel)) return;
  if (panel.left < frame.left || panel.top < frame.top || panel.right > frame.right || panel.bottom > frame.bottom)
    return;
  ClickOrderBlock();
}

void TMFrame::ClickOrderBlock() {
  if (!orderForms || !orderForms->OwnerDrawPanel1->HandleAllocated()) return;
  const HWND block = orderForms->OwnerDrawPanel1->Handle();
  RECT r{};
  if (!IsWindowVisible(block) || !GetWindowRect(block, &r)) return;
  // A press goes to the window holding the capture wherever the cursor is:
  // while another holds it (a drag, a held button) the click would land there.
  if (const HWND captured = GetCapture(); captured && captured != block) return;
  // A window in front of the block (a box, a menu) would take the click.
  const POINT corner{r.left + 1, r.top + 1};
  if (WindowFromPoint(corner) != block) return;
  POINT saved{};
  GetCursorPos(&saved);
  SetCursorPos(corner.x, corner.y);
  mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  SetCursorPos(saved.x, saved.y);
}

void TMFrame::FocusIdleOrderBlock(DWORD now) {
  if (!tradingDesk || !tradingWindow || !orderForms) return;
  const TTradingDesk &trading = *tradingDesk;
  if (trading.locked || trading.pageState < kPageTrading) return;
  if (desk.options.Layout != kLayoutKeyboard || trading.collapsed) return;
  if (!Panel7->Visible() || !tradingWindow->Panel12->Visible() || GetActiveWindow() != Handle()) return;
  if (!orderForms->OwnerDrawPanel1->HandleAllocated()) return;
  const HWND block = orderForms->OwnerDrawPanel1->Handle();
  const HWND focus = GetFocus();
  if (focus && (focus == block || IsChild(block, focus))) return;
  const DWORD idle = DWORD(std::max(desk.options.FocusInputOrder, 0)) * 1000u;
  if (now - trading.LastInput() < idle) return;
  ClickOrderBlock();
}
