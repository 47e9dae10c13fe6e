// Order insert, cancel and the order list.
#include "plugin/orders.h"

#include <cstdio>
#include <cstring>

#include "core/eautolock.h"
#include "plugin/requests.h"
#include "plugin/tradelog.h"

namespace tb {

const OrderFieldMap kInsertAnswerFields = {5, 4, 7, 9, 10, 11, 13, 15, 17, 18, 19, 21, -1, 25, 29, 31, -1, 33};
const OrderFieldMap kOrderListFields = {3, 5, 6, 8, 9, 10, 12, 14, 16, 17, 18, 20, 21, 24, 28, 30, 32, 35};
const OrderFieldMap kPushedOrderFields = {9, 8, 11, 13, 14, 15, 17, 19, 21, 22, 23, 25, 26, 29, 33, 35, 39, 41};

void ApplyOrderStatus(CKivoOrderField &order, char letter) {
  char request = order.OrderStatus[0], state = 'a';
  switch (letter) {
    case 'a': request = '3', state = '3'; break;
    case 'b': case 'd': case 'm': case 'q': request = '3', state = '5'; break;
    case 'c': request = '3', state = '0'; break;
    case 'f': request = '1', state = '3'; break;
    case 'n': case 's': request = '0', state = '3'; break;
    case 'p': request = '3', state = '1'; break;
    default: break;
  }
  if (request == '1') state = order.VolumeTraded < 1 ? '3' : '1';
  order.OrderStatus[0] = request;
  order.OrderStatus[1] = state;
}

namespace {
int32_t Volume(const AnswerFields &f, int index) { return HoldVolume(f.Int(index)); }
}  // namespace

void ReadOrder(const AnswerFields &f, const OrderFieldMap &map, CKivoOrderField &order) {
  auto text = [&](int index, char *out, size_t width) {
    if (index >= 0) f.Get(index, out, width);
  };
  text(map.exchange, order.ExchangeID, sizeof order.ExchangeID);
  text(map.reference, order.OrderRef, sizeof order.OrderRef);
  text(map.contract, order.InstrumentID, sizeof order.InstrumentID);
  text(map.message, order.StatusMsg, sizeof order.StatusMsg);
  if (map.message2 >= 0 && !f.Empty(map.message2)) text(map.message2, order.StatusMsg, sizeof order.StatusMsg);
  order.Direction = DecodeDirection(f.Char(map.direction));
  char offsetText[kSkipWidth];
  f.Get(map.offset + 1, offsetText);
  order.OffsetFlag = DecodeOffset(f.Char(map.offset), offsetText);
  order.HedgeFlag = DecodeHedge(f.Char(map.hedge));
  order.VolumeTotal = Volume(f, map.volume);
  order.LimitPrice = f.Double(map.price);
  order.VolumeTraded = Volume(f, map.traded);
  order.VolumeRemain = Volume(f, map.remain);
  text(map.text120, order.CancelText120, sizeof order.CancelText120);
  text(map.insertTime, order.InsertTime, sizeof order.InsertTime);
  text(map.secondTime, order.SecondTime, sizeof order.SecondTime);
  text(map.text16, order.CancelText16, sizeof order.CancelText16);
  text(map.text24, order.CancelText24, sizeof order.CancelText24);
  ApplyOrderStatus(order, f.Char(map.status));
}

uint64_t OrderNumber(const char *reference) {
  uint64_t number = 0;
  if (!reference) return 0;
  while (*reference == ' ') ++reference;
  // An order reference holds at most 12 digits; more would not fit its
  // field, and stopping there keeps the value from wrapping.
  for (int digits = 0; *reference >= '0' && *reference <= '9' && digits < 19; ++reference, ++digits)
    number = number * 10 + uint64_t(*reference - '0');
  return number;
}

void OrderInsertRoutine(Session &session) {
  RequestSlot &slot = session.slot;
  const char direction = char(slot.small[0]), offset = char(slot.small[1]), hedge = char(slot.small[2]);
  char code[8], seat[16];
  session.exchanges.Seat(slot.text[1], hedge, code, seat);
  const char raw[3][2] = {{direction, 0}, {offset, 0}, {hedge, 0}};
  const char sent[3][2] = {{EncodeDirection(direction), 0}, {EncodeOffset(offset), 0}, {EncodeHedge(hedge), 0}};
  RequestLine line(6021, session.Head());
  line.Add(slot.text[1]).Add(slot.text[0]);
  for (int i = 0; i < 3; ++i) line.AddSentOnly(sent[i]).AddLoggedOnly(raw[i]);
  line.Add(slot.volume).AddPrice(slot.price < 0 ? 0 : slot.price).Add(seat).Add(code);

  char answer[kAnswerSize];
  slot.result = SendRequest(session, line, 3099, answer, slot.errorText);
  if (slot.result != 0) {
    session.SignalReady();
    return;
  }
  auto *order = static_cast<CKivoOrderField *>(session.AllocBlock());
  CKivoOrderField record{};
  ReadOrder(AnswerFields(answer), kInsertAnswerFields, record);
  record.PriceType = record.LimitPrice == 0 ? '1' : '2';
  snprintf(slot.orderRef, sizeof slot.orderRef, "%s", record.OrderRef);
  {
    EAutoLock lock(&session.orderMapLock);
    session.AddOrder(OrderNumber(record.OrderRef), OrderCounts{record.VolumeTotal, 0, 0});
  }
  slot.result = 0;
  if (order) *order = record;
  session.SignalReady();
  // The order went in; a missing block only loses its return.
  if (order) session.PostBlock(TN_ORDER_RETURN, order);
}

void OrderActionRoutine(Session &session) {
  const CKivoOrderField &order = session.slot.order;
  char exchange[sizeof order.ExchangeID + 1] = {}, contract[sizeof order.InstrumentID + 1] = {};
  char reference[sizeof order.OrderRef + 1] = {}, text120[sizeof order.CancelText120 + 1] = {};
  char text16[sizeof order.CancelText16 + 1] = {}, text24[sizeof order.CancelText24 + 1] = {};
  // The record came from the terminal: its texts need not end inside their
  // fields.
  memcpy(exchange, order.ExchangeID, sizeof order.ExchangeID);
  memcpy(contract, order.InstrumentID, sizeof order.InstrumentID);
  memcpy(reference, order.OrderRef, sizeof order.OrderRef);
  memcpy(text120, order.CancelText120, sizeof order.CancelText120);
  memcpy(text16, order.CancelText16, sizeof order.CancelText16);
  memcpy(text24, order.CancelText24, sizeof order.CancelText24);
  const char raw[3][2] = {{order.Direction, 0}, {order.OffsetFlag, 0}, {order.HedgeFlag, 0}};
  const char sent[3][2] = {
      {EncodeDirection(order.Direction), 0}, {EncodeOffset(order.OffsetFlag), 0}, {EncodeHedge(order.HedgeFlag), 0}};
  char at168[16];
  snprintf(at168, sizeof at168, "%i", order.Reserved168);

  RequestLine line(6022, session.Head());
  line.Add(exchange).Add(contract);
  for (int i = 0; i < 3; ++i) line.AddSentOnly(sent[i]).AddLoggedOnly(raw[i]);
  line.Add(order.VolumeTotal).AddPrice(order.LimitPrice).Add(reference).Add(order.VolumeRemain).Add(text120);
  line.Add(text16).AddSentOnly(text24).AddLoggedOnly(at168);

  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 3100, answer, error) != 0) {
    char *block = static_cast<char *>(session.AllocBlock());
    if (block) FillActionError(block, order, error);
    session.SignalReady();
    session.PostBlock(TN_ORDER_ACTION_RESULT | TN_TEXT_FLAG, block);
    return;
  }
  auto *result = static_cast<CKivoOrderField *>(session.AllocBlock());
  if (result) {
    *result = order;
    const AnswerFields f(answer);
    ApplyOrderStatus(*result, f.Char(7));
    f.Get(8, result->StatusMsg);
  }
  session.SignalReady();
  if (result) session.PostBlock(TN_ORDER_RETURN, result);
}

void OrdersRoutine(Session &session) {
  RequestLine line(6019, session.Head());
  line.Add(session.tradeDate).Add(session.tradeDate);
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3108,
      [&](AnswerReader &packet) {
        CKivoOrderField order{};
        ReadOrder(AnswerFields(packet.Rest(), 3), kOrderListFields, order);
        if (!order.InstrumentID[0] || order.VolumeTotal == 0) return;
        {
          EAutoLock lock(&session.orderMapLock);
          session.AddOrder(OrderNumber(order.OrderRef),
                           OrderCounts{order.VolumeTotal, order.VolumeTraded,
                                       order.OrderStatus[1] == '5' ? order.VolumeRemain : 0});
        }
        if (auto *block = static_cast<CKivoOrderField *>(session.AllocBlock())) {
          *block = order;
          session.PostBlock(TN_ORDERS, block);
        }
      },
      error);
  session.SignalReady();
  if (result != 0)
    session.PostText(TN_ORDERS, error);
  else
    session.PostValue(TN_ORDERS, 0);
}

}  // namespace tb
