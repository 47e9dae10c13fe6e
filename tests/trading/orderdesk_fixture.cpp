#include "tests/trading/orderdesk_fixture.h"

#include <cstring>

#include "market/dataio5.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace trading_test {

OrderScriptBroker Orders;

namespace {

int Insert(char *contract, char *, double price, int volume, char direction, char offset, char hedge, char *ref,
           char *text) {
  Orders.sent.push_back({contract, price, volume, direction, offset, hedge});
  if (!Orders.answers.empty()) {
    const OrderScriptBroker::Answer answer = Orders.answers.front();
    Orders.answers.pop_front();
    if (answer.result != 0) {
      strcpy(text, answer.text.c_str());
      return answer.result;
    }
  }
  if (ref) snprintf(ref, 13, "%i", Orders.nextRef++);
  return 0;
}

int Action(const CKivoOrderField *order, int) {
  Orders.cancels.emplace_back(order->OrderRef);
  return Orders.cancelResult;
}

int CloseToday(char *exchange) { return exchange && strcmp(exchange, "SHFE") == 0; }

CContractInfo Make(const char *code, const char *exchange, STKPTR stock, double tick, int multiple) {
  CContractInfo c{};
  strncpy(c.InstrumentID, code, 7);
  strncpy(c.ExchangeID, exchange, 7);
  c.Stock = stock;
  c.PriceTick = tick;
  c.VolumeMultiple = multiple;
  c.DefaultOpenVolume = 1;
  return c;
}

}  // namespace

OrderDeskTest::OrderDeskTest() {
  Orders = OrderScriptBroker{};
  TradePlugin.OrderInsert = Insert;
  TradePlugin.OrderAction = Action;
  TradePlugin.ProcessCloseToday = CloseToday;
  const CContractInfo table[] = {Make("CU2405", "SHFE", Stock(1), 1, 5), Make("M2401", "DCE", Stock(0), 1, 10),
                                 Make("SR405", "CZCE", Stock(2), 0.2, 10)};
  desk_.SetContracts(table, 3);
  GetStockInfo(Stock(2))->decimals = 1;
  desk_.stopStore = &stops_;
  desk_.options.TimeOut = 5;
  EXPECT_EQ(OpenTradeLog(desk_, 20240115), 1);
}

OrderDeskTest::~OrderDeskTest() {
  desk_.stopStore = nullptr;
  desk_.positions.RemoveAll();
}

void OrderDeskTest::SetQuote(int stock, double bid, double ask, double last, double prevClose, double limitUp,
                             double limitDown) {
  REALQUOTE &q = MarketAt(1)->m_quotes[stock];
  q = REALQUOTE{};
  const auto word = [](double v) { return uint32_t(v * 1000 + 0.5); };
  q.bid[0].price = word(bid);
  q.ask[0].price = word(ask);
  q.last = word(last);
  q.prevClose = word(prevClose);
  q.limitUp = word(limitUp);
  q.limitDown = word(limitDown);
}

CKivoOrderField OrderDeskTest::Order(const char *ref, const char *code, char direction, char offset, int volume,
                                     int traded, char orderState, char requestState, double price) {
  CKivoOrderField o{};
  strncpy(o.OrderRef, ref, 12);
  strncpy(o.InstrumentID, code, 7);
  strcpy(o.ExchangeID, "SHFE");
  o.Direction = direction;
  o.OffsetFlag = offset;
  o.HedgeFlag = '1';
  o.VolumeTotal = volume;
  o.VolumeTraded = traded;
  o.OrderStatus[0] = requestState;
  o.OrderStatus[1] = orderState;
  o.PriceType = '2';
  o.LimitPrice = price;
  strcpy(o.CancelText120, "  1234");
  strcpy(o.InsertTime, "09:30:00");
  return o;
}

TB_TRADE OrderDeskTest::Trade(const char *ref, const char *code, char direction, char offset, int volume,
                              double price, const char *time) {
  TB_TRADE t{};
  strncpy(t.InstrumentID, code, 7);
  strncpy(t.OrderRef, ref, 12);
  t.Direction = direction;
  t.OffsetFlag = offset;
  t.HedgeFlag = '1';
  t.Volume = volume;
  t.Price = price;
  strncpy(t.TradeTime, time, 8);
  return t;
}

void OrderDeskTest::PushOrder(const CKivoOrderField &order) {
  Notify(tb::TN_ORDER_RETURN, LPARAM(Broker.Block(&order, sizeof order)));
}

void OrderDeskTest::PushTrade(const TB_TRADE &trade) { Notify(22, LPARAM(Broker.Block(&trade, sizeof trade))); }

InvestorPosition_Lite OrderDeskTest::Position(const char *code, char direction, int volume, double price,
                                              char attribute) {
  InvestorPosition_Lite p{};
  strncpy(p.InstrumentID, code, 7);
  p.PosiDirection = direction;
  p.HedgeFlag = '1';
  p.Attribute = attribute;
  p.Volume = volume;
  p.OpenAverage = p.HoldingAverage = p.OpenAmount = p.HoldingAmount = price;
  p.Stock = desk_.FindContract(code) ? desk_.FindContract(code)->Stock : STKPTR();
  return p;
}

std::vector<std::string> OrderDeskTest::LogRecords() const { return TradeLogRecords(); }

}  // namespace trading_test
