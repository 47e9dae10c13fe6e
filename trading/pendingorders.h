// Open-trigger orders as the order placing makes them: an order the broker
// refused because its exchange was closed, kept as an order record with
// state 'p' in the order array, numbered per account and written to the
// account's "Pending.dat" after every change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/windef.h"
#include "trading/deskrecords.h"

class TTradeDesk;
class TOrderBook;
class TFiringJournal;

// The next number of the account ([Config] Pending of its "Consign.ini",
// default 10000001); the stored value goes up by one.
uint32_t NextPendingOrderNumber(TTradeDesk &desk);
bool HasPendingOrders(const TTradeDesk &desk);
// "KVPO02" and every 'p' order in array order, as a new file renamed over
// the old one; a failure is logged and shown (the old file stays). Then the
// snapshot goes to the trade log and the charts are told. False when the
// file could not be written. Without flush the file is whole against a
// crash of the program only (see ReplaceFileBytes).
bool SavePendingOrders(TTradeDesk &desk, HWND owner, bool flush = true);
// A zeroed record of an open-trigger order with a new number, the local
// time and the given fields.
CKivoOrderField MakePendingOrder(TTradeDesk &desk, const char *exchange, const char *code, char direction,
                                 char offset, char hedge, double price, int32_t volume);

// One record of "Pending.dat", field by field (exposed for tests). A record
// read keeps state 'p' and its texts end within their widths.
constexpr size_t kPendingRecordSize = 216;
void PutPendingRecord(const CKivoOrderField &order, unsigned char out[kPendingRecordSize]);
CKivoOrderField GetPendingRecord(const unsigned char in[kPendingRecordSize]);

// Loading, removing and sending the open-trigger orders of the order book.
class TPendingOrders {
 public:
  TPendingOrders(TTradeDesk &desk, TOrderBook &book);

  // Set from the after-login confirmation; nothing is sent before.
  std::function<bool()> armed;
  // Sends are announced here before the order call; null: none.
  TFiringJournal *journal = nullptr;

  // Replaces the array's 'p' orders by the file's. ordersComplete: the
  // broker's orders of today are in the array, so that sends a crash
  // interrupted can be settled against them.
  void Load(bool ordersComplete);
  // The 'p' orders the user marked cancelled leave the array and the file.
  void RemoveCancelled();
  // Sends the 'p' orders (of the exchange, or all when null). The file is
  // rewritten after each accepted send; when that fails the walk stops.
  void Execute(const char *exchange);

 private:
  bool RemoveNumber(const char *number);
  // The journal's open-trigger intents settled against the array; the file
  // is written (always when rewrite) before they are dropped. False when
  // it could not be.
  bool SettleSends(bool rewrite);
  TTradeDesk &desk_;
  TOrderBook &book_;
};
