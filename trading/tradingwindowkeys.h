// The trading window as the main window's key routing sees it: its named
// controls, the desk's state that decides which keys it takes and the
// handlers the keys run. The handlers of the order panels are empty until
// those panels are built.
#pragma once

#include "trading/tradekeys.h"

class TTradingWindow;
class TTradingDesk;

class TTradingWindowKeys : public TTradeKeyTargets {
 public:
  TTradingWindowKeys(TTradingWindow &window, TTradingDesk &desk) : window_(window), desk_(desk) {}

  HWND Control(const char *name) override;
  bool Locked() override;
  int TradingState() override;
  int OrderEntryLayout() override;
  bool KeyboardOrderActive() override;
  bool FloatAutoHide() override;
  bool Floating() override;
  bool Checked(const char *name) override;
  int NodeCount() override;
  int SelectedNode() override;
  void ChangeNode(int node) override;
  int ComboIndex(const char *name) override;
  void SelectCombo(const char *name, int index) override;
  bool SpinRange(const char *name, Spin &spin) override;
  void SetSpinPosition(const char *name, int position) override;
  void PressOrderButton(const char *button) override;
  void CancelAllOrders() override;
  void QueryOpenable() override;
  void NewConditionOrder() override;
  void StepPrice(const char *spin, int step, TSpinDirection direction, bool spinAsSender) override;
  void HideWindow() override;

 private:
  TTradingWindow &window_;
  TTradingDesk &desk_;
};
