// The sort orders of the trading desk's lists, as comparators for the
// platform's quick sort (each takes two records and returns negative, zero
// or positive).
#pragma once

#include "trading/deskrecords.h"

struct CKivoOrderField;

// Contracts by their instrument: market byte, kind byte, stock index.
int CompareContractsByStock(const void *a, const void *b);
// Orders by the order reference taken as a decimal number.
int CompareOrdersByRef(const void *a, const void *b);
// Trades by their time text, then by the number of their first text. With
// "..\cfg\NightTrade.ini" [Option] ResortTrade set, trades from
// BeginMinute (default 21:00) on come before the day's own.
int CompareTradesByTime(const void *a, const void *b);
// Positions by contract code (any case), direction, then attribute.
int ComparePositions(const void *a, const void *b);

// The night-trade rule of the trade order.
struct TTradeSortRule {
  bool resort = false;
  int beginMinute = 1260;
};
TTradeSortRule ReadTradeSortRule();
// Sorts the trades with CompareTradesByTime, reading the rule once for the
// whole sort (a comparison outside a sort reads it itself).
void SortTrades(Trade_Lite *trades, int count);
