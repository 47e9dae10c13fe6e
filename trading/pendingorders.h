// Open-trigger orders as the order placing makes them: an order the broker
// refused because its exchange was closed, kept as an order record with
// state 'p' in the order array, numbered per account and written to the
// account's "Pending.dat" after every change.
#pragma once

#include <cstdint>

#include "platform/windef.h"
#include "trading/deskrecords.h"

class TTradeDesk;

// The next number of the account ([Config] Pending of its "Consign.ini",
// default 10000001); the stored value goes up by one.
uint32_t NextPendingOrderNumber(TTradeDesk &desk);
bool HasPendingOrders(const TTradeDesk &desk);
// "KVPO02" and every 'p' order in array order; a failure is logged and
// shown. False when the file could not be written whole.
bool SavePendingOrders(TTradeDesk &desk, HWND owner);
// A zeroed record of an open-trigger order with a new number, the local
// time and the given fields.
CKivoOrderField MakePendingOrder(TTradeDesk &desk, const char *exchange, const char *code, char direction,
                                 char offset, char hedge, double price, int32_t volume);
