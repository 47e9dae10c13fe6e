// The dispatcher's world with three contracts and their quotes: CU2405 of
// an exchange that closes today separately (tick 1, multiple 5), M2401
// (tick 1, multiple 10) and SR405 (tick 0.2, multiple 10, one decimal); an
// in-memory stop store and a plug-in whose OrderInsert and OrderAction
// answer from a script and remember every call.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "tests/trading/dispatcher_fixture.h"
#include "testing/stopstore_standin.h"

namespace trading_test {

struct SentOrder {
  std::string code;
  double price;
  int volume;
  char direction, offset, hedge;
};

struct OrderScriptBroker {
  struct Answer {
    int result;
    std::string text;
  };
  std::deque<Answer> answers;  // the next OrderInsert's answer; accepted when empty
  std::vector<SentOrder> sent;
  int nextRef = 100;
  std::vector<std::string> cancels;
  int cancelResult = 0;
};
extern OrderScriptBroker Orders;

class OrderDeskTest : public DispatcherTest {
 protected:
  OrderDeskTest();
  ~OrderDeskTest() override;

  // The quote of stock 0 (M01), 1 (CU05) or 2 (SR05) of the day market.
  void SetQuote(int stock, double bid, double ask, double last = 0, double prevClose = 0, double limitUp = 0,
                double limitDown = 0);
  static STKPTR Stock(int stock) { return STKPTR(1, 0, stock); }
  // An order record as the plug-in posts it.
  static CKivoOrderField Order(const char *ref, const char *code, char direction, char offset, int volume,
                               int traded, char orderState, char requestState = '3', double price = 3500);
  static TB_TRADE Trade(const char *ref, const char *code, char direction, char offset, int volume, double price,
                        const char *time = "10:00:00");
  // An order return delivered as the plug-in posts it (a block).
  void PushOrder(const CKivoOrderField &order);
  void PushTrade(const TB_TRADE &trade);
  InvestorPosition_Lite Position(const char *code, char direction, int volume, double price, char attribute = 0);
  // "code|text" of every record of today's trade log.
  std::vector<std::string> LogRecords() const;

  TStopStoreStandIn stops_;
};

}  // namespace trading_test
