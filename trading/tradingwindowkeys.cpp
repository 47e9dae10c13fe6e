#include "trading/tradingwindowkeys.h"

#include "trading/deskdata.h"
#include "trading/orderforms.h"
#include "trading/tradingoptions.h"
#include "trading/tradingwindow.h"

HWND TTradingWindowKeys::Control(const char *name) {
  auto *control = dynamic_cast<TWinControl *>(window_.Control(name ? name : ""));
  return control && control->HandleAllocated() ? control->Handle() : nullptr;
}

bool TTradingWindowKeys::Locked() { return desk_.locked; }

int TTradingWindowKeys::TradingState() { return desk_.pageState; }

int TTradingWindowKeys::OrderEntryLayout() { return desk_.Data().options.Layout; }

bool TTradingWindowKeys::KeyboardOrderActive() {
  return desk_.Data().options.Layout == kLayoutKeyboard && !desk_.collapsed;
}

bool TTradingWindowKeys::FloatAutoHide() { return desk_.Data().options.FloatUIAutoHide; }

bool TTradingWindowKeys::Floating() { return window_.PanelVisible() && !window_.Docked(); }

bool TTradingWindowKeys::Checked(const char *name) {
  auto *box = dynamic_cast<TCheckBox *>(window_.Control(name ? name : ""));
  return box && box->Checked();
}

int TTradingWindowKeys::NodeCount() { return window_.XPTreeView1->Items()->Count(); }

int TTradingWindowKeys::SelectedNode() { return window_.NavigationItem(); }

void TTradingWindowKeys::ChangeNode(int node) {
  if (node < 0 || node >= NodeCount()) return;
  if (desk_.CheckTradingPageChange(node))
    desk_.ShowTradingPage(node);
  else
    window_.RedrawNavigation();
}

int TTradingWindowKeys::ComboIndex(const char *name) {
  auto *box = dynamic_cast<TCustomComboBox *>(window_.Control(name ? name : ""));
  return box ? box->ItemIndex() : -1;
}

void TTradingWindowKeys::SelectCombo(const char *name, int index) {
  auto *box = dynamic_cast<TCustomComboBox *>(window_.Control(name ? name : ""));
  if (!box) return;
  box->SetItemIndex(index);
  if (box->OnChange) box->OnChange(box);
}

// The spins and order buttons belong to the order panels: nothing answers
// before their forms are built.
bool TTradingWindowKeys::SpinRange(const char *name, Spin &spin) {
  int minimum = 0, maximum = 0;
  if (!window_.orderForms || !TOrderPanelForms::VolumeSpin(name, &minimum, &maximum)) return false;
  spin.minimum = minimum;
  spin.maximum = maximum;
  spin.increment = 1;
  return true;
}

void TTradingWindowKeys::SetSpinPosition(const char *, int) {}

void TTradingWindowKeys::PressOrderButton(const char *button) {
  if (window_.orderForms) window_.orderForms->Press(button);
}

void TTradingWindowKeys::CancelAllOrders() {
  if (window_.orderForms) window_.orderForms->Press("XPButton38");
}

void TTradingWindowKeys::QueryOpenable() {
  if (window_.orderForms) window_.orderForms->Press("XPButton39");
}

void TTradingWindowKeys::NewConditionOrder() {
  if (desk_.conditionDialogHook) desk_.conditionDialogHook();
}

void TTradingWindowKeys::StepPrice(const char *spin, int step, TSpinDirection, bool) {
  if (window_.orderForms) window_.orderForms->StepPrice(spin, step);
}

void TTradingWindowKeys::HideWindow() { desk_.OnTradeHideClick(); }
