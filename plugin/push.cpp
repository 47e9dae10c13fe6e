// What the push receiver does with a pushed record: order states and fills
// become order returns kept consistent through the order map, notices and
// exchange status are passed on, and a new trading day at the broker
// empties the map and asks the terminal to log in again.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/eautolock.h"
#include "platform/gbk.h"
#include "plugin/orders.h"
#include "plugin/requests.h"
#include "plugin/tradelog.h"

namespace tb {

namespace {

// Pushed records are split with this width; no destination is wider.
constexpr size_t kPushFieldWidth = 260;

const OrderFieldMap kFillFields = {8, 10, 13, 11, 12, 15, 17, 19, -1, 23, 21, 22, 27, 30, -1, 31, -1, 36};

void SetMessage(CKivoOrderField &order, const char *message) {
  snprintf(order.StatusMsg, sizeof order.StatusMsg, "%s", message);
}

const char *CancelMessage(int traded) { return traded > 0 ? "部成部撤" : "已经撤销"; }

// Logs the order's state line and posts it as an order return.
void PostOrder(Session &session, const CKivoOrderField &order) {
  char line[160];
  snprintf(line, sizeof line, "%.*s|%.3f|%i|%i|%i|%.*s", int(sizeof order.OrderRef), order.OrderRef,
           order.LimitPrice, order.VolumeTotal, order.VolumeTraded, order.VolumeRemain,
           int(sizeof order.StatusMsg), order.StatusMsg);
  LogText(kLogPushState, line);
  auto *block = static_cast<CKivoOrderField *>(session.AllocBlock());
  if (!block) return;
  *block = order;
  session.PostBlock(TN_ORDER_RETURN, block);
}

// text contains word, matching at character boundaries only.
bool ContainsWord(const char *text, const char *word) {
  const size_t length = strlen(word);
  for (const char *at = text; *at;) {
    if (strncmp(at, word, length) == 0) return true;
    at += platform::IsGbkPair(at, 0) ? 2 : 1;
  }
  return false;
}

void OrderState(Session &session, const AnswerFields &f, const char *text) {
  if (f.Empty(7)) return;
  LogText(kLogPushOrder, text);
  CKivoOrderField order{};
  ReadOrder(f, kPushedOrderFields, order);
  char &state = order.OrderStatus[1];
  // Order states never report fills themselves: the fills do.
  if (state == '1' || state == '0') {
    state = '3';
    order.VolumeTraded = 0;
    order.VolumeRemain = order.VolumeTotal;
  }
  bool post = false;
  {
    EAutoLock lock(&session.orderMapLock);
    const uint64_t number = OrderNumber(order.OrderRef);
    OrderCounts *entry = session.FindOrder(number);
    if (!entry) {
      session.AddOrder(number, OrderCounts{order.VolumeTotal, 0, state == '5' ? order.VolumeRemain : 0});
      if (state == '5') {
        order.VolumeTraded = order.VolumeRemain = 0;
        state = '3';
        SetMessage(order, "已经报入");
      }
      post = state == '3';
    } else {
      OrderCounts &c = *entry;
      if (c.volume > 0 && c.traded + c.cancelled >= c.volume) return;  // complete
      if (c.volume == 0) c.volume = order.VolumeTotal;
      if (state == '5') {
        if (order.VolumeRemain <= c.cancelled) return;
        c.cancelled = order.VolumeRemain;
        if (c.traded + c.cancelled < c.volume) return;
        order.VolumeTraded = c.traded;
        order.VolumeRemain = c.cancelled;
        SetMessage(order, CancelMessage(c.traded));
        post = true;
      } else if (state == '3' && c.cancelled > 0) {
        if (c.traded + c.cancelled < c.volume) return;
        order.VolumeTotal = c.volume;
        order.VolumeTraded = c.traded;
        order.VolumeRemain = c.cancelled;
        state = '5';
        SetMessage(order, CancelMessage(c.traded));
        post = true;
      } else if (state == '3' && c.traded > 0) {
        order.VolumeTraded = c.traded;
        order.VolumeRemain = std::max(c.volume - c.traded, 0);
        state = c.traded < c.volume ? '1' : '0';
        SetMessage(order, state == '1' ? "部分成交" : "全部成交");
        post = true;
      } else {
        post = state == '3';
      }
    }
  }
  if (post) PostOrder(session, order);
}

// The order volume of an order the map does not know, asked of the broker
// and held like every other volume (0 when the request fails).
int AskOrderVolume(Session &session, const CKivoOrderField &fill) {
  char reference[sizeof fill.OrderRef + 1] = {}, text24[sizeof fill.CancelText24 + 1] = {};
  memcpy(reference, fill.OrderRef, sizeof fill.OrderRef);
  memcpy(text24, fill.CancelText24, sizeof fill.CancelText24);
  RequestLine line(6020, session.Head());
  line.Add(reference).Add(text24);
  char answer[kAnswerSize], error[kErrorTextSize];
  EAutoLock lock(&session.workerLock);
  if (SendRequest(session, line, 3108, answer, error) != 0) return 0;
  return HoldVolume(AnswerFields(answer).Int(7));
}

// The fill's state from the order's counts after it.
void StateAfterFill(CKivoOrderField &fill, const OrderCounts &c) {
  fill.VolumeRemain = std::max(c.volume - c.traded, 0);
  const bool full = c.volume > 0 && c.traded >= c.volume;
  fill.OrderStatus[1] = full ? '0' : '1';
  SetMessage(fill, full ? "全部成交" : "部分成交");
}

void Fill(Session &session, const AnswerFields &f, const char *text) {
  if (f.Empty(7)) return;
  LogText(kLogPushFill, text);
  CKivoOrderField fill{};
  ReadOrder(f, kFillFields, fill);
  f.Get(28, fill.FillText);
  fill.VolumeTotal = 0;  // the terminal knows a fill by it
  const int volume = fill.VolumeTraded;
  const uint64_t number = OrderNumber(fill.OrderRef);

  OrderCounts after{};
  bool known;
  {
    EAutoLock lock(&session.orderMapLock);
    OrderCounts *entry = session.FindOrder(number);
    known = entry != nullptr;
    if (entry) {
      entry->traded = AddVolume(entry->traded, volume);
      after = *entry;
    }
  }
  if (!known) {
    const int ordered = AskOrderVolume(session, fill);
    if (ordered > 0) {
      CKivoOrderField accepted = fill;
      accepted.VolumeTotal = ordered;
      accepted.VolumeTraded = 0;
      accepted.VolumeRemain = ordered;
      accepted.OrderStatus[0] = accepted.OrderStatus[1] = '3';
      SetMessage(accepted, "已报入");
      memset(accepted.FillText, 0, sizeof accepted.FillText);
      PostOrder(session, accepted);
    }
    EAutoLock lock(&session.orderMapLock);
    if (OrderCounts *entry = session.FindOrder(number)) {
      entry->traded = AddVolume(entry->traded, volume);
      after = *entry;
    } else {
      after = OrderCounts{ordered, volume, 0};
      session.AddOrder(number, after);
    }
  }
  StateAfterFill(fill, after);
  PostOrder(session, fill);
  if (after.cancelled >= 1 && after.traded + after.cancelled >= after.volume) {
    CKivoOrderField cancelled = fill;
    cancelled.VolumeTotal = after.volume;
    cancelled.VolumeTraded = after.traded;
    cancelled.VolumeRemain = after.cancelled;
    cancelled.OrderStatus[1] = '5';
    SetMessage(cancelled, CancelMessage(after.traded));
    PostOrder(session, cancelled);
  }
}

void Notice(Session &session, const AnswerFields &f, const char *text) {
  LogText(kLogPushNotice, text);
  if (!f.Empty(7)) {
    if (!f.Is(8, "0") || f.Is(15, "录出通知") || f.Is(15, "登录通知")) return;
    char *block = static_cast<char *>(session.AllocBlock());
    if (block) f.Get(16, block, kResultBlockSize);
    session.PostBlock(TN_SYSTEM_NOTICE, block);
    return;
  }
  char code[kPushFieldWidth];
  f.Get(11, code);
  if (f.Is(8, "2")) {
    const char *rest = f.After(11);
    const int state = ContainsWord(rest, "开盘") ? 1 : ContainsWord(rest, "收盘") || ContainsWord(rest, "暂停") ? 2 : 0;
    if (!state) return;
    ExchangeEntry entry{};
    const int index = session.exchanges.MarkStatus(code, state, &entry);
    if (index < 0) return;
    char line[96];
    snprintf(line, sizeof line, "0|交易所%s席位%s%s", entry.exchange, entry.tradingCode[0],
             state == 1 ? "开盘" : "收盘");
    LogText(kLogFreeText, line);
    session.PostValue(TN_EXCHANGE_STATUS, LPARAM(index) << 16 | state);
    return;
  }
  if (strcmp(code, "SYSTEM") != 0) return;
  char date[kPushFieldWidth];
  f.Get(14, date);
  if (strcmp(date, session.tradeDate) == 0) return;
  {
    EAutoLock lock(&session.orderMapLock);
    session.ClearOrders();
  }
  LogText(kLogFreeText, "0|收到初始化通知");
  session.PostValue(TN_EXCHANGE_STATUS, 0);
}

}  // namespace

void HandlePushRecord(Session &session, char *text, int) {
  const AnswerFields f(text);
  char head[kPushFieldWidth];
  f.Get(3, head);
  if (strlen(head) != 5 || strncmp(head, "1600", 4) != 0) return;
  switch (head[4]) {
    case '2':
    case '4': return OrderState(session, f, text);
    case '5': return Fill(session, f, text);
    case '6': return Notice(session, f, text);
    default: return;
  }
}

}  // namespace tb
