// The order and trade lists rebuilt from their arrays: the rows the list
// views show, newest on top, each carrying its record's index.
#pragma once

#include "trading/orderbook.h"

class TTradeDesk;

// OnOrderRadioClick: every order (or only the cancellable ones), newest on
// top; an open-trigger order shows "-" for its reference. On the trading
// page the tens digit, on the orders page the units digit of orderTag
// remembers the filter.
void OnOrderRadioClick(TOrderBook &book, const TTradeDesk &data, int pageState, int &orderTag);
// OnTradeRadioClick: every trade in the list's mode.
void OnTradeRadioClick(TOrderBook &book, const TTradeDesk &data);
