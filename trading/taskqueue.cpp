#include "trading/taskqueue.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/clock.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/orderbook.h"
#include "trading/orderpanel.h"
#include "trading/pendingorders.h"
#include "trading/positions.h"
#include "trading/pluginapi.h"
#include "trading/tradedesk.h"
#include "trading/tradelog.h"

namespace {

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
  char text[1200];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Description(const OrderScript &t) { return std::string(t.Description, strnlen(t.Description, sizeof t.Description)); }
std::string Ref(const OrderScript &t) { return std::string(t.OrderRef, strnlen(t.OrderRef, sizeof t.OrderRef)); }

bool ClosedExchangeText(const std::string &text) {
  return text.find("未处于开盘状态") != std::string::npos || text.find("不是交易时间") != std::string::npos;
}

DWORD Tick() {
  const DWORD now = GetTickCount();
  return now == 0 ? 1 : now;
}

}  // namespace

TTaskQueue::TTaskQueue(TTradingDesk &desk, TOrderBook &book, TDeskHost &host)
    : desk_(desk), data_(desk.Data()), book_(book), host_(host) {}

void TTaskQueue::Progress(const std::string &line) {
  if (line.empty()) {
    progress += "\r\n";
    desk_.Ui().TaskProgress(progress);
    return;
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[48];
  snprintf(stamp, sizeof stamp, "<%u-%02u-%02u %02u:%02u:%02u.%03u>", unsigned(now.wYear), unsigned(now.wMonth) % 100u,
           unsigned(now.wDay) % 100u, unsigned(now.wHour) % 100u, unsigned(now.wMinute) % 100u,
           unsigned(now.wSecond) % 100u, unsigned(now.wMilliseconds) % 1000u);
  progress += stamp;
  progress += line;
  progress += "\r\n";
  desk_.Ui().TaskProgress(progress);
}

void TTaskQueue::Log(const OrderScript &task, int level, const char *text) {
  WriteTradeLog(data_, TLOG_TASK, Format("0|%i|%i|%s", int(task.TaskKind), level, text).c_str());
}

void TTaskQueue::LogError(const OrderScript &task, const char *text) {
  WriteTradeLogValues(data_, TLOG_TASK, Format("0|%i|2|", int(task.TaskKind)).c_str(), text);
}

void TTaskQueue::RemoveFailed(int32_t index) {
  ++failures;
  data_.tasks.RemoveAt(index);
  if (index >= data_.tasks.GetCount()) return;
  const OrderScript next = data_.tasks.GetData()[index];
  if (next.WaitForPrevious != 1) return;
  Progress(Format("由于前一任务未能完成，[%s]已被撤销。", Description(next).c_str()));
  Log(next, 0, Description(next).c_str());
  Log(next, 2, "因前置任务未完成而撤销");
  data_.tasks.RemoveAt(index);
}

bool TTaskQueue::RemoveDone(int32_t index) {
  data_.tasks.RemoveAt(index);
  if (index >= data_.tasks.GetCount()) return false;
  OrderScript &next = data_.tasks.GetData()[index];
  if (next.WaitForPrevious != 1) return false;
  next.WaitForPrevious = 0;
  return true;
}

int32_t TTaskQueue::FindTask(const char *orderRef) const {
  if (!orderRef || !orderRef[0]) return -1;
  const OrderScript *t = data_.tasks.GetData();
  for (int32_t i = 0; i < data_.tasks.GetCount(); ++i)
    if (t[i].OrderRef[0] && strncasecmp(t[i].OrderRef, orderRef, 13) == 0) return i;
  return -1;
}

void TTaskQueue::StartOrderScripts() {
  if (data_.tasks.IsEmpty()) return;
  progress.clear();
  desk_.Ui().TaskProgress(progress);
  buttonCaption = "中止";
  failures = 0;
  running_ = true;
  desk_.Ui().TextButtons("中止", "退出");
  if (!desk_.locked && desk_.pageState != kPageTasks) {
    desk_.windowTag = desk_.pageState;
    desk_.pageState = kPageTasks;
    desk_.Ui().Layout();
  }
  RunOrderScripts();
}

void TTaskQueue::Finish() {
  if (!running_) return;
  running_ = false;
  if (failures == 0) {
    WriteTradeLog(data_, TLOG_TASK, "0||0|所有任务均已结束");
    buttonCaption = "确认";
    desk_.XPButton19Click();
    return;
  }
  Progress("");
  Progress(Format("所有任务均已结束，其中 %i 个任务失败。", failures));
  WriteTradeLog(data_, TLOG_TASK, Format("0||1|所有任务均已结束，其中%i个任务失败", failures).c_str());
  buttonCaption = "确定";
  failures = 0;
  desk_.Ui().TextButtons("确定", "退出");
}

void TTaskQueue::RunOrderScripts() {
  // OrderInsert may dispatch the GUI thread's messages; a nested run would
  // send a task twice.
  if (depth_ > 0) return;
  ++depth_;
  if (!data_.tasks.IsEmpty()) running_ = true;
  bool pendingAdded = false;
  for (int32_t r = 0; r < data_.tasks.GetCount(); ++r) {
    OrderScript &task = data_.tasks.GetData()[r];
    if (task.OrderRef[0] || (task.WaitForPrevious == 1 && r > 0)) continue;
    const std::string description = Description(task);
    const CContractInfo *c = data_.FindContract(task.InstrumentID);
    // A contract without a positive tick cannot be priced: not tradable.
    if (!c || !(c->PriceTick > 0)) {
      Progress(Format("错误: 合约不可交易，[%s]无法完成。", description.c_str()));
      Log(task, 0, description.c_str());
      Log(task, 2, "因合约不可交易而撤销");
      RemoveFailed(r--);
      continue;
    }
    Progress("");
    Progress(description + "。");
    Log(task, 0, description.c_str());
    const TQuotePrices q = QuotePricesOf(c->Stock);
    const bool buy = task.Direction == '0';
    const double tick = c->PriceTick;
    if (data_.TaskActionOnLimit(task)) {
      if (buy && q.ask1 == 0 && q.bid1 != 0) {
        Progress("警告: 没有卖盘，可能为涨停状态。使用买一价下单（可能无法成交）。");
        Log(task, 1, "涨停状态，使用涨停价下单");
        task.PriceKind = kTaskPriceFixed;
        task.PriceValue = q.bid1;
        task.TimeOut = -1;
      } else if (!buy && q.bid1 == 0 && q.ask1 != 0) {
        Progress("警告: 没有买盘，可能为跌停状态。使用卖一价下单（可能无法成交）。");
        Log(task, 1, "跌停状态，使用跌停价下单");
        task.PriceKind = kTaskPriceFixed;
        task.PriceValue = q.ask1;
        task.TimeOut = -1;
      }
    }
    double price = 0;
    const char *missing = nullptr;  // the log's text of a missing price
    std::string missingLine;
    const uint8_t kind = task.PriceKind;
    if (kind == kTaskPriceFixed) {
      price = task.PriceValue;
    } else if (kind == kTaskPriceOffsetTicks || kind == kTaskPriceOppositePlus || kind == kTaskPriceQueuePlus) {
      const bool askSide = (kind == kTaskPriceQueuePlus) != buy;
      const double side = askSide ? q.ask1 : q.bid1;
      if (side == 0) {
        missing = askSide ? "没有卖盘，任务无法完成" : "没有买盘，任务无法完成";
        missingLine = askSide ? "错误: 没有卖盘，任务无法完成。" : "错误: 没有买盘，任务无法完成。";
      } else {
        const double step = kind == kTaskPriceOffsetTicks ? data_.TaskPriceOffset(task) * tick : task.PriceValue;
        if (kind == kTaskPriceQueuePlus)
          price = buy ? side - step : side + step;
        else
          price = buy ? side + step : side - step;
      }
    } else {
      const double base = kind == kTaskPriceLastPlus  ? q.last
                          : kind == kTaskPriceLimitUp ? q.limitUp
                          : kind == kTaskPriceLimitDown ? q.limitDown
                                                        : 0;
      if (base == 0) {
        const char *name = kind == kTaskPriceLimitUp ? "涨停价" : kind == kTaskPriceLimitDown ? "跌停价" : "价位";
        missingLine = Format("错误: %s为 0，任务无法完成。", kind == kTaskPriceLimitUp     ? "涨停价"
                                                         : kind == kTaskPriceLimitDown ? "跌停价"
                                                                                       : "最新价");
        const std::string text = Format("0|%i|2|%s为0，任务无法完成", int(task.TaskKind), name);
        WriteTradeLog(data_, TLOG_TASK, text.c_str());
        Progress(missingLine);
        RemoveFailed(r--);
        continue;
      }
      price = kind == kTaskPriceLastPlus ? (buy ? base + task.PriceValue : base - task.PriceValue) : base;
    }
    if (missing) {
      LogError(task, missing);
      Progress(missingLine);
      RemoveFailed(r--);
      continue;
    }
    char code[8] = {}, exchange[9] = {};
    memcpy(code, c->InstrumentID, 7);
    memcpy(exchange, c->ExchangeID, 7);
    const char offset = task.OffsetFlag;
    Progress(Format("自动下单: %s %s %s %i手 价格: %.3f，%s。", code, buy ? "买入" : "卖出",
                    offset == '0' ? "开仓" : offset == '3' ? "平今" : "平仓", int(task.Volume), price,
                    HedgeFlagName(task.HedgeFlag)));
    WriteTradeLog(data_, TLOG_ORDER_REQUEST,
                  Format("%s|%c|%c|%c|%.3f|%i|自动", code, task.Direction, offset, task.HedgeFlag, price,
                         int(task.Volume))
                      .c_str());
    char text[1024] = {};
    memcpy(text, task.Description, strnlen(task.Description, sizeof task.Description));
    char orderRef[16] = {};
    const OrderScript sent = task;
    const int result = TradePlugin.OrderInsert
                           ? TradePlugin.OrderInsert(code, exchange, price, int(task.Volume), task.Direction, offset,
                                                     task.HedgeFlag, orderRef, text)
                           : -1;
    text[sizeof text - 1] = 0;
    orderRef[sizeof orderRef - 1] = 0;
    if (onOrderInsert) onOrderInsert(TTaskInsert{&sent, price, result, orderRef, text});
    OrderScript &t = data_.tasks.GetData()[r];
    t.StartTick = Tick();
    if (result == 0) {
      memcpy(t.OrderRef, orderRef, sizeof t.OrderRef);
      t.OrderLink = -1;
      if (offset == '0' && (t.StopPrice > 0.0001 || t.ProfitPrice > 0.0001))
        WritePrivateProfileStringA("Order", orderRef, Format("%.3f,%.3f,%.3f", t.StopPrice, t.Trailing, t.ProfitPrice).c_str(),
                                   data_.AccountFile("scriptorder.ini").c_str());
      NoteDayFilesChanged();
      WriteTradeLogValues(data_, TLOG_ORDER_RESULT, "0|", orderRef);
      const bool noTimeout = t.TimeOut < 0 || (t.TimeOut == 0 && data_.TaskTimeOut(t) < 1);
      if (kind == kTaskPriceFixed || t.PriceKind == kTaskPriceFixed) {
        Progress(Format("完成: 下单完毕，委托号-%s。", orderRef));
        RemoveDone(r--);
      } else if (noTimeout) {
        Progress(Format("完成: 下单完毕（不保证成交），委托号-%s。", orderRef));
        RemoveDone(r--);
      } else {
        Progress(Format("下单完毕，委托号-%s。", orderRef));
      }
      continue;
    }
    const std::string message = CutServerMessage(text);
    WriteTradeLogValues(data_, TLOG_ORDER_RESULT, "1||", message.c_str());
    const bool fixed = t.PriceKind == kTaskPriceFixed;
    const int shortName = TradePlugin.GetShortNameOfTradeSystem ? TradePlugin.GetShortNameOfTradeSystem(nullptr) : 2;
    if ((t.TaskKind == kTaskStop || t.TaskKind == kTaskCondition) && shortName <= 1 && ClosedExchangeText(message)) {
      const CKivoOrderField pending =
          MakePendingOrder(data_, exchange, code, t.Direction, offset, t.HedgeFlag, price, int32_t(t.Volume));
      if (data_.orders.Add(pending) >= 0) {
        Progress(fixed ? Format("下单出错，已添加为开盘触发单。%s", message.c_str())
                       : Format("下单出错，已添加为开盘触发单 %s。%s", pending.OrderRef, message.c_str()));
        WriteTradeLog(data_, TLOG_PENDING_EVENT,
                      Format("0|自动|%s|%s|%.3f|%c|%c|%c|%i", pending.OrderRef, code, price, t.Direction, offset,
                             t.HedgeFlag, int(t.Volume))
                          .c_str());
        data_.tasks.RemoveAt(r--);
        pendingAdded = true;
      } else {
        Progress(Format("错误: 下单出错。内存不足，添加开盘触发单失败。%s", message.c_str()));
        WriteTradeLog(data_, TLOG_TEXT, "2|内存不足，添加开盘触发单失败");
        RemoveFailed(r--);
      }
      continue;
    }
    Progress(fixed ? Format("错误: 下单出错，任务无法完成。%s", message.c_str())
                   : Format("错误: 任务无法完成。%s", message.c_str()));
    LogError(t, message.c_str());
    RemoveFailed(r--);
  }
  if (pendingAdded) {
    book_.SortOrders();
    SavePendingOrders(data_, host_.Window());
    ++book_.lists.orderRebuilds;
  }
  --depth_;
  if (data_.tasks.IsEmpty()) Finish();
}

void TTaskQueue::CheckTaskTimeouts() {
  const DWORD now = GetTickCount();
  bool release = false, removed = false;
  for (int32_t i = 0; i < data_.tasks.GetCount(); ++i) {
    OrderScript &t = data_.tasks.GetData()[i];
    // Every sent task is followed, linked or not: an order never seen is
    // treated like one without a broker number.
    if (!t.OrderRef[0] || t.CancelSent) continue;
    if (t.StartTick == 0) t.StartTick = 1;
    const bool noTimeout = t.TimeOut < 0 || (t.TimeOut == 0 && data_.TaskTimeOut(t) < 1);
    const CKivoOrderField *order = t.OrderLink >= 0 ? book_.OrderByRef(t.OrderRef) : nullptr;
    if (noTimeout) {
      if (!order) continue;
      Progress(Format("完成: [%s]下单完毕（不保证成交），委托号-%s。", Description(t).c_str(), Ref(t).c_str()));
      Log(t, 0, "下单完毕（不保证成交）");
      if (RemoveDone(i--)) release = true;
      removed = true;
      continue;
    }
    const int T = t.TimeOut > 0 ? t.TimeOut : data_.TaskTimeOut(t);
    const uint64_t elapsed = DWORD(now - t.StartTick);
    if (elapsed < uint64_t(T) * 1000) continue;
    const int limit = std::max(T, 20);
    const bool late = elapsed >= 20000;
    const std::string description = Description(t);
    if (!order || !order->CancelText120[0]) {
      if (!late) {
        Progress(Format("异常: %d 秒内未全部成交，但委托号为空，无法撤单。", T));
        Log(t, 1, Format("%i秒内未全部成交，但委托号为空，无法撤单", T).c_str());
        continue;
      }
      Progress(Format("错误: 由于委托号为空，%i 秒内未能撤单。[%s]无法完成。", limit, description.c_str()));
      Log(t, 2, Format("委托号为空，%i秒内未能撤单，任务失败", limit).c_str());
      RemoveFailed(i--);
      removed = true;
      continue;
    }
    if (IsOrderCancellable(*order)) {
      Progress(Format("%d 秒内未全部成交，撤单。", T));
      Log(t, 0, Format("%d秒内未全部成交，撤单", T).c_str());
      WriteTradeLog(data_, TLOG_CANCEL_REQUEST, Format("%s|自动", Ref(t).c_str()).c_str());
      t.CancelSent = 1;
      const int result = TradePlugin.OrderAction ? TradePlugin.OrderAction(order, 0) : -1;
      if (result != 0) {
        OrderScript &failed = data_.tasks.GetData()[i];
        Progress(Format("错误: 撤单出错 (%i)，[%s]无法完成。", result, description.c_str()));
        WriteTradeLog(data_, TLOG_CANCEL_RESULT, Format("1|%i", result).c_str());
        Log(failed, 2, Format("撤单出错，%i", result).c_str());
        RemoveFailed(i--);
        removed = true;
      }
      continue;
    }
    if (!late) {
      Progress(Format("异常: %d 秒内未全部成交，但委托不可撤销。", T));
      Log(t, 1, Format("%i秒内未全部成交，但委托不可撤销", T).c_str());
      continue;
    }
    Progress(Format("错误: %i 秒内未能撤单。[%s]无法完成。", limit, description.c_str()));
    Log(t, 2, Format("%i秒内未能撤单，任务失败", limit).c_str());
    RemoveFailed(i--);
    removed = true;
  }
  if (release || (removed && data_.tasks.IsEmpty())) RunOrderScripts();
}

void TTaskQueue::OnTaskOrderReturn(CKivoOrderField *order) {
  if (!order || data_.tasks.IsEmpty()) return;
  const int32_t i = FindTask(order->OrderRef);
  if (i < 0) return;
  OrderScript &t = data_.tasks.GetData()[i];
  t.OrderLink = 1;
  const std::string ref = Ref(t), description = Description(t);
  bool run = false;
  switch (order->OrderStatus[1]) {
    case '0':
      Progress(Format("委托 %s 已全部成交。", ref.c_str()));
      Log(t, 0, "全部成交");
      run = RemoveDone(i);
      break;
    case '5':
      if (t.CancelSent) {
        const int64_t rest = std::max<int64_t>(int64_t(t.Volume) - order->VolumeTraded, 0);
        t.Volume = uint32_t(rest);
        memset(t.OrderRef, 0, sizeof t.OrderRef);
        t.OrderLink = -1;
        t.StartTick = 0;
        t.CancelSent = 0;
        if (rest > 0) {
          const bool reorder = data_.TaskReorder(t);
          Progress(Format("委托 %s 撤单成功%s。", ref.c_str(), reorder ? "" : "，任务完成"));
          Log(t, 0, "撤单成功");
          if (reorder) {
            RunOrderScripts();
            return;
          }
        } else {
          Progress(Format("委托 %s 已全部成交。", ref.c_str()));
          Log(t, 0, "全部成交");
        }
        run = RemoveDone(i);
      } else {
        const std::string message(order->StatusMsg, strnlen(order->StatusMsg, sizeof order->StatusMsg));
        Progress(message);
        Log(t, 2, message.c_str());
        Progress(Format("错误: 委托 %s 被系统撤销，[%s]无法完成。", ref.c_str(), description.c_str()));
        Log(t, 2, "委托被系统撤销，任务失败");
        RemoveFailed(i);
      }
      break;
    case '2':
    case '4':
      Progress(Format("错误: 委托 %s 被系统挂起，[%s]无法完成。", ref.c_str(), description.c_str()));
      Log(t, 2, "委托被系统挂起，任务失败");
      RemoveFailed(i);
      break;
    default: break;
  }
  if (run || data_.tasks.IsEmpty()) RunOrderScripts();
}

bool TTaskQueue::OnTaskCancelResult(const char *block) {
  if (!block) return false;
  char ref[14] = {};
  memcpy(ref, block, 13);
  const int32_t i = FindTask(ref);
  if (i < 0) return false;
  const char *raw = tb::ActionErrorText(block);
  const std::string text(raw, strnlen(raw, tb::kResultBlockSize - tb::kActionErrorTextOffset));
  if (text.find("不允许撤销全部成交状态的委托单") != std::string::npos ||
      text.find("委托已全部成交，不可撤单") != std::string::npos)
    return true;
  OrderScript &t = data_.tasks.GetData()[i];
  Progress(Format("错误: 撤单出错，%s，[%s]无法完成。", text.c_str(), Description(t).c_str()));
  WriteTradeLog(data_, TLOG_CANCEL_RESULT, ("1|" + text).c_str());
  Log(t, 2, ("撤单出错，" + text).c_str());
  RemoveFailed(i);
  if (data_.tasks.IsEmpty()) RunOrderScripts();
  return true;
}
