#include "trading/checklist.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "core/emem.h"
#include "market/dataio5.h"
#include "trading/conditionorders.h"
#include "trading/deskdata.h"
#include "trading/pendingorders.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

namespace {

constexpr uint8_t kCheckPausedBit = 0x01;

const char *CheckSideText(char direction) { return direction == '0' ? "买" : "卖"; }
const char *CheckOffsetText(char offset) {
  return offset == '0' ? "开仓" : offset == '1' ? "平仓" : "平今";
}

std::string CheckPadded(const char *text, size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

std::string CheckPiece(const char *name, double price, size_t width) {
  char text[64];
  if (PriceIsSet(price))
    snprintf(text, sizeof text, "%s: %.3f", name, price);
  else
    snprintf(text, sizeof text, "%s: ---", name);
  return CheckPadded(text, width);
}

int CheckDecimalsOf(STKPTR stock) {
  if (stock.IsNone()) return 2;
  const STKINFO *info = GetStockInfo(stock);
  return info ? std::clamp<int>(info->decimals, 0, 6) : 2;
}

std::string CheckText(const char *text, size_t size) { return std::string(text, strnlen(text, size)); }


}  // namespace

std::string CheckListStopCondition(double stop, double trailing, double profit) {
  return CheckPiece("止损", stop, 16) + CheckPiece("浮动止损", trailing, 20) + CheckPiece("止盈", profit, 16);
}

std::string CheckListConditionText(const ConditionOrder &order, int decimals) {
  decimals = std::clamp(decimals, 0, 6);
  char text[192];
  std::string out;
  switch (order.TriggerKind) {
    case 0:
    case 1: {
      static const char *const sources[] = {"最新价", "买一价", "卖一价"};
      const char *source = sources[order.PriceSource < 3 ? order.PriceSource : 0];
      snprintf(text, sizeof text, "当 %s%s%.*f 时以 ", source, order.TriggerKind == 0 ? ">=" : "<=", decimals,
               order.TriggerPrice);
      out = text;
      break;
    }
    case 2: out = "当开盘时以 "; break;
    case 3: {
      const CTime32 at = TriggerTimeOf(order);
      snprintf(text, sizeof text, "当时间到达 %02u:%02u:%02u 时以 ", unsigned(at.hour), unsigned(at.minute),
               unsigned(at.second));
      out = text;
      break;
    }
    default: break;
  }
  switch (order.PriceKind) {
    case 2:
      snprintf(text, sizeof text, "%.*f", decimals, order.FixedPrice);
      out += text;
      break;
    case 3: out += "挂单价"; break;
    case 5: out += "涨停价"; break;
    case 6: out += "跌停价"; break;
    default:
      if (order.TickOffset != 0) {
        snprintf(text, sizeof text, "%s 调整%i价位", "对手价", int(order.TickOffset));
        out += text;
      } else {
        out += "对手价";
      }
  }
  snprintf(text, sizeof text, " %s%s", CheckSideText(order.Direction), CheckOffsetText(order.OffsetFlag));
  return out + text;
}

namespace {

// The row of an open-trigger order, a stop entry or a condition order.
TCheckListRow CheckPendingRow(const CKivoOrderField &o, int32_t index) {
  TCheckListRow row;
  row.key = {kCheckPending, index, 0};
  row.cells[kCheckColumnKind] = "开盘触发";
  row.cells[kCheckColumnContract] = CheckText(o.InstrumentID, sizeof o.InstrumentID);
  row.cells[kCheckColumnVolume] = std::to_string(o.VolumeTotal);
  char text[160];
  snprintf(text, sizeof text, "开盘后, 以价格 %.3f %s%s", o.LimitPrice, CheckSideText(o.Direction),
           CheckOffsetText(o.OffsetFlag));
  row.cells[kCheckColumnCondition] = text;
  row.cells[kCheckColumnAction] = "-";
  return row;
}

TCheckListRow CheckStopRow(const InvestorPosition_Lite &p, const StopOrder &e, int32_t index, int32_t sub) {
  TCheckListRow row;
  row.key = {kCheckStop, index, sub};
  row.cells[kCheckColumnKind] = "止损止盈";
  row.cells[kCheckColumnContract] = CheckText(p.InstrumentID, sizeof p.InstrumentID);
  row.cells[kCheckColumnVolume] = std::to_string(e.Volume);
  row.cells[kCheckColumnCondition] = CheckListStopCondition(e.StopPrice, e.Trailing, e.ProfitPrice);
  row.cells[kCheckColumnAction] = "-";
  return row;
}

TCheckListRow CheckConditionRow(const ConditionOrder &c, int32_t index) {
  TCheckListRow row;
  row.key = {kCheckCondition, index, 0};
  row.cells[kCheckColumnKind] = c.TriggerKind == 0 || c.TriggerKind == 1 ? "价格触发"
                                : c.TriggerKind == 2                     ? "开盘触发"
                                : c.TriggerKind == 3                     ? "时间触发"
                                                                         : "未知";
  row.cells[kCheckColumnContract] = CheckText(c.InstrumentID, sizeof c.InstrumentID);
  row.cells[kCheckColumnVolume] = std::to_string(c.Volume);
  row.cells[kCheckColumnCondition] = CheckListConditionText(c, CheckDecimalsOf(c.Stock));
  row.cells[kCheckColumnAction] = "-";
  return row;
}

}  // namespace

TAutomationCheckList::TAutomationCheckList(TTradeDesk &desk, TConditionOrders &conditions)
    : desk_(desk), conditions_(conditions) {}

void TAutomationCheckList::Fill() {
  rows.clear();
  auto separate = [this] {
    if (!rows.empty()) rows.push_back(TCheckListRow{});
  };
  bool first = true;
  for (int32_t i = 0; i < desk_.orders.GetCount(); ++i) {
    const CKivoOrderField &o = desk_.orders.GetData()[i];
    if (o.OrderStatus[1] != 'p') continue;
    if (first) separate(), first = false;
    rows.push_back(CheckPendingRow(o, i));
  }

  // Records of one key share one list; they need not be neighbours.
  std::set<const StopOrderPointer *> listed;
  first = true;
  for (int32_t i = 0; i < desk_.positions.GetCount(); ++i) {
    const InvestorPosition_Lite &p = desk_.positions.GetData()[i];
    if (!p.Stops || !p.Stops->First) continue;
    if (!listed.insert(p.Stops).second) continue;
    if (first) separate(), first = false;
    int32_t sub = 0;
    for (const StopOrder *e = p.Stops->First; e; e = e->Next, ++sub) rows.push_back(CheckStopRow(p, *e, i, sub));
  }

  first = true;
  for (int32_t i = desk_.conditions.GetCount() - 1; i >= 0; --i) {
    const ConditionOrder &c = desk_.conditions.GetData()[i];
    if (c.TriggerKind == -1 || (c.State & kCheckPausedBit)) continue;
    if (first) separate(), first = false;
    rows.push_back(CheckConditionRow(c, i));
  }
}

bool TAutomationCheckList::DeleteRow(int row) {
  if (row < 0 || size_t(row) >= rows.size()) return false;
  const TCheckListKey key = rows[size_t(row)].key;
  // The arrays may have changed since the list was filled: only an item
  // that still shows what the row shows is deleted.
  const auto shown = rows[size_t(row)].cells;
  bool removed = false;
  switch (key.kind) {
    case kCheckPending: {
      if (key.index >= desk_.orders.GetCount()) break;
      const CKivoOrderField o = desk_.orders.GetData()[key.index];
      if (o.OrderStatus[1] != 'p' || CheckPendingRow(o, key.index).cells != shown) break;
      char text[64];
      snprintf(text, sizeof text, "2|登录前|%.12s", o.OrderRef);
      WriteTradeLog(desk_, TLOG_PENDING_EVENT, text);
      desk_.orders.RemoveAt(key.index);
      SavePendingOrders(desk_, desk_.owner);
      if (orderListChanged) orderListChanged();
      removed = true;
      break;
    }
    case kCheckStop: {
      if (key.index >= desk_.positions.GetCount()) break;
      InvestorPosition_Lite &p = desk_.positions.GetData()[key.index];
      if (!p.Stops) break;
      StopOrder **link = &p.Stops->First;
      for (int32_t n = 0; *link && n < key.sub; ++n) link = &(*link)->Next;
      StopOrder *entry = *link;
      if (!entry || CheckStopRow(p, *entry, key.index, key.sub).cells != shown) break;
      *link = entry->Next;
      Free(entry);
      MarkStopEntriesChanged();
      WriteTradeLog(desk_, TLOG_STOP_EVENT, "2|登录前");
      SaveStopOrders(desk_, &p, false);
      removed = true;
      break;
    }
    case kCheckCondition:
      if (key.index >= desk_.conditions.GetCount() ||
          CheckConditionRow(desk_.conditions.GetData()[key.index], key.index).cells != shown)
        break;
      desk_.conditions.RemoveAt(key.index);
      WriteTradeLog(desk_, TLOG_CONDITION_EVENT, "2|登录前");
      conditions_.SaveConditionOrders();
      removed = true;
      break;
    default: break;
  }
  if (removed) Fill();
  return removed;
}

void TAutomationCheckList::DeleteAll() {
  WriteTradeLog(desk_, TLOG_PENDING_EVENT, "2|登录前|");
  for (int32_t i = desk_.orders.GetCount() - 1; i >= 0; --i)
    if (desk_.orders.GetData()[i].OrderStatus[1] == 'p') desk_.orders.RemoveAt(i);
  SavePendingOrders(desk_, desk_.owner);
  if (orderListChanged) orderListChanged();
  WriteTradeLog(desk_, TLOG_STOP_EVENT, "2|登录前");
  for (int32_t i = 0; i < desk_.positions.GetCount(); ++i)
    if (StopOrderPointer *holder = desk_.positions.GetData()[i].Stops) holder->FreeEntries();
  SaveStopOrders(desk_, nullptr, false);
  WriteTradeLog(desk_, TLOG_CONDITION_EVENT, "2|登录前");
  desk_.conditions.RemoveAll();
  conditions_.SaveConditionOrders();
  rows.clear();
}

STKPTR TAutomationCheckList::RowInstrument(int row) const {
  if (row < 0 || size_t(row) >= rows.size()) return STKPTR();
  const TCheckListKey &key = rows[size_t(row)].key;
  switch (key.kind) {
    case kCheckPending:
      if (key.index < desk_.orders.GetCount()) {
        const CContractInfo *c = desk_.FindContract(
            CheckText(desk_.orders.GetData()[key.index].InstrumentID, sizeof(CKivoOrderField::InstrumentID)).c_str());
        if (c) return c->Stock;
      }
      break;
    case kCheckStop:
      if (key.index < desk_.positions.GetCount()) return desk_.positions.GetData()[key.index].Stock;
      break;
    case kCheckCondition:
      if (key.index < desk_.conditions.GetCount()) return desk_.conditions.GetData()[key.index].Stock;
      break;
    default: break;
  }
  return STKPTR();
}

void TAutomationCheckList::SelectRow(int row) {
  if (!desk_.options.SyncContract) return;
  const STKPTR stock = RowInstrument(row);
  if (!stock.IsNone() && showInstrument) showInstrument(stock);
}
