// One manual order from the active order panel: the contract, the price (a
// number that must be a tick multiple or a price word read from the live
// quote), the clamped volume, the log, the confirmation, the plug-in's
// synchronous OrderInsert and its answer. An order the broker refused for a
// closed exchange can be kept as an open-trigger order.
#pragma once

#include <functional>

#include "platform/windef.h"

class TTradeDesk;
class TOrderBook;
class TOrderPanel;

class TManualOrder {
 public:
  TManualOrder(TTradeDesk &data, TOrderPanel &panel, TOrderBook &book, HWND owner);

  // buy, offset '0', '1' or '3', volume 0 for the panel's. 1 when the
  // plug-in accepted the order or it was kept as an open-trigger order.
  int PlaceManualOrder(bool buy, char offset, int volume);

  // The trading window (Panel7) is visible; the focus-back click at the
  // layout's panel; RefocusOrderArea.
  std::function<bool()> tradingWindowVisible;
  std::function<void()> panelClick;
  std::function<void()> refocusOrderArea;
  // The price field's handle, stored in the panel's tag before the click.
  int priceFieldHandle = 1;

 private:
  int Refuse(const char *text);
  void FocusPriceField();
  bool Visible() const { return tradingWindowVisible && tradingWindowVisible(); }

  TTradeDesk &data_;
  TOrderPanel &panel_;
  TOrderBook &book_;
  HWND owner_;
};
