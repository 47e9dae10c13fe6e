// The trading window as the main window's key routing sees it: its
// controls by their form names ("Panel12", "XPEdit1", "XPButton32", ...),
// the desk's state that decides which keys it takes, and the desk's
// handlers the keys run. The trading window implements it; the key routing
// reaches the window only through it.
#pragma once

#include "platform/windef.h"

// How a price spin is asked to step.
enum class TSpinDirection { None, Up, Down };

class TTradeKeyTargets {
 public:
  virtual ~TTradeKeyTargets() = default;

  // The window of a named control of the trading window or of the
  // quick-deal bar; null when there is none.
  virtual HWND Control(const char *name) = 0;

  // ---- state ----
  // The window is locked (only its login page takes keys).
  virtual bool Locked() = 0;
  // The Tag of the login page: below 12 a login page shows, else a
  // trading page.
  virtual int TradingState() = 0;
  // 0 standard, 1 keyboard, 2 quick-order, 3 arbitrage panel.
  virtual int OrderEntryLayout() = 0;
  // The keyboard panel's digit keys act.
  virtual bool KeyboardOrderActive() = 0;
  // "自动隐藏" of the floating window.
  virtual bool FloatAutoHide() = 0;
  // The window is shown and floats (not docked at the frame's bottom).
  virtual bool Floating() = 0;
  // A check box's state ("XPCheckBoxF4").
  virtual bool Checked(const char *name) = 0;

  // ---- the navigation tree ----
  virtual int NodeCount() = 0;
  // -1 when none is selected.
  virtual int SelectedNode() = 0;
  // Asks the desk to change to the node; it switches when it allows.
  virtual void ChangeNode(int node) = 0;

  // ---- combo boxes and spins ----
  virtual int ComboIndex(const char *name) = 0;
  // Selects an item and runs the box's change handler.
  virtual void SelectCombo(const char *name, int index) = 0;
  struct Spin {
    int minimum = 0;
    int maximum = 0;
    int increment = 1;
  };
  // False when there is no such spin.
  virtual bool SpinRange(const char *name, Spin &spin) = 0;
  virtual void SetSpinPosition(const char *name, int position) = 0;

  // ---- handlers ----
  // An order button of the keyboard panel (its name as sender).
  virtual void PressOrderButton(const char *button) = 0;
  virtual void CancelAllOrders() = 0;
  // "查可开"
  virtual void QueryOpenable() = 0;
  // "条件单"
  virtual void NewConditionOrder() = 0;
  // One tick of a price spin ("XPUpDown3", "XPUpDown1003", "XPUpDownF12"):
  // step -1 or +1; spinAsSender passes the spin itself as the sender.
  virtual void StepPrice(const char *spin, int step, TSpinDirection direction, bool spinAsSender) = 0;
  // Hides the floating window.
  virtual void HideWindow() = 0;
};
