#include "trading/listcommands.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/msgbox.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/listrows.h"
#include "trading/manualorder.h"
#include "trading/orderpanel.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"
#include "trading/positions.h"
#include "trading/pttlink.h"
#include "trading/tradedesk.h"
#include "trading/tradelog.h"

namespace {

constexpr const char *kFrozenText = "现有的平仓委托还未成交，持仓被冻结，不可平仓。";

// A text field of a record read within its width.
std::string ListCmdField(const char *field, size_t width) { return std::string(field, strnlen(field, width)); }

bool ListCmdHasNumber(const CKivoOrderField &o) { return o.CancelText120[0] != 0 || o.OrderRef[0] != 0; }
bool ListCmdPending(const CKivoOrderField &o) { return o.OrderStatus[1] == 'p'; }
bool ListCmdFilledOpening(const CKivoOrderField &o) {
  return o.OffsetFlag == '0' && (o.OrderStatus[1] == '0' || o.OrderStatus[1] == '5') && o.VolumeTraded > 0;
}
// The same order record: a modal box lets other messages run meanwhile, and
// the array may have been refilled or lost a row under the index.
bool ListCmdSameOrder(const CKivoOrderField &a, const CKivoOrderField &b) {
  return memcmp(a.OrderRef, b.OrderRef, sizeof a.OrderRef) == 0 &&
         memcmp(a.CancelText120, b.CancelText120, sizeof a.CancelText120) == 0 &&
         memcmp(a.InstrumentID, b.InstrumentID, sizeof a.InstrumentID) == 0 && a.Direction == b.Direction &&
         a.OffsetFlag == b.OffsetFlag;
}
bool ListCmdCloseToday(const TTradeDesk &data, const char *code) {
  const CContractInfo *c = data.FindContract(code);
  return c && IsProcessCloseToday(c->ExchangeID);
}

}  // namespace

const char *OrderButtonOfLayout(int layout, bool buy, char offset, bool quickDeal) {
  if (quickDeal) {
    if (buy) return offset == '3' ? "XPButton44" : offset == '0' ? "XPButton42" : "XPButton46";
    return offset == '3' ? "XPButton45" : offset == '0' ? "XPButton43" : "XPButton47";
  }
  if (layout == kLayoutNormal) return buy ? "XPButton1032" : "XPButton1033";
  if (buy) return offset == '3' ? "XPButton34" : offset == '0' ? "XPButton32" : "XPButton37";
  return offset == '3' ? "XPButton2" : offset == '0' ? "XPButton33" : "XPButton35";
}

TListCommands::TListCommands(TTradingDesk &desk, TTradeDispatcher &dispatch)
    : desk_(desk), data_(desk.Data()), dispatch_(dispatch) {}

int TListCommands::Box(const char *text, const char *caption, unsigned type) {
  return MessageBoxA(data_.owner, text, caption, type);
}

int32_t TListCommands::OrderIndexOfRow(int row) const {
  const TListModel &model = dispatch_.book.lists.orderRows;
  if (row < 0 || row >= int(model.rows.size())) return -1;
  const int32_t index = model.rows[size_t(row)].data;
  return index >= 0 && index < data_.orders.GetCount() ? index : -1;
}

int32_t TListCommands::PositionIndexOfRow(int row) const {
  const TListModel &model = dispatch_.positionBook.rows;
  if (row < 0 || row >= int(model.rows.size())) return -1;
  return row < data_.positions.GetCount() ? row : -1;
}

void TListCommands::RemoveCancelledPending() {
  const int32_t before = data_.orders.GetCount();
  dispatch_.pending.RemoveCancelled();
  if (data_.orders.GetCount() != before)
    OnOrderRadioClick(dispatch_.book, data_, desk_.pageState, desk_.orderTag);
}

// ---- cancel ----

TListCommands::TCancelOutcome TListCommands::CancelOneOrder(int32_t index, const char *remark, int *result) {
  if (index < 0 || index >= data_.orders.GetCount()) return kCancelRefused;
  CKivoOrderField &o = data_.orders.GetData()[index];
  if (ListCmdPending(o)) {
    o.OrderStatus[0] = '1';
    return kCancelDone;
  }
  if (!ListCmdHasNumber(o) || !IsOrderCancellable(o)) return kCancelRefused;
  char text[64];
  snprintf(text, sizeof text, "%s|%s", ListCmdField(o.OrderRef, sizeof o.OrderRef).c_str(), remark);
  WriteTradeLog(data_, TLOG_CANCEL_REQUEST, text);
  const int r = TradePlugin.OrderAction ? TradePlugin.OrderAction(&o, 0) : -1;
  if (result) *result = r;
  if (r == 0) return kCancelDone;
  snprintf(text, sizeof text, "1|%i", r);
  WriteTradeLog(data_, TLOG_CANCEL_RESULT, text);
  return kCancelFailed;
}

void TListCommands::OnOrderCancelClick(const std::vector<int> &selectedRows) {
  if (selectedRows.empty()) {
    Box("请先选择需要撤单的委托。  ", "提示", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    desk_.Ui().RefocusOrderArea();
    return;
  }
  std::vector<int32_t> indexes;
  for (int row : selectedRows)
    if (const int32_t i = OrderIndexOfRow(row); i >= 0) indexes.push_back(i);
  int done = 0, refused = 0;
  for (int32_t i : indexes) {
    int r = 0;
    switch (CancelOneOrder(i, "手动", &r)) {
      case kCancelDone: ++done; break;
      case kCancelRefused: ++refused; break;
      case kCancelFailed: {
        RemoveCancelledPending();
        if (desk_.pageState == kPageTrading) {
          char text[48];
          snprintf(text, sizeof text, "撤单出错 (%i) ", r);
          Box(text, "提示", MB_OK | MB_ICONERROR | MB_TOPMOST);
        }
        desk_.Ui().RefocusOrderPanel();
        return;
      }
    }
  }
  RemoveCancelledPending();
  if (refused > 0) {
    Box(done > 0 ? "部分委托撤单失败，委托号为空或处于不可撤状态。  " : "撤单失败，委托号为空或处于不可撤状态。  ",
        "失败", MB_OK | MB_ICONERROR | MB_TOPMOST);
    desk_.Ui().RefocusOrderArea();
  }
}

void TListCommands::OnOrderCancelAllClick() {
  for (int32_t i = 0; i < data_.orders.GetCount(); ++i) {
    const CKivoOrderField &o = data_.orders.GetData()[i];
    if (!ListCmdPending(o) && !IsOrderCancellable(o)) continue;
    int r = 0;
    if (CancelOneOrder(i, "手动", &r) == kCancelFailed) {
      if (desk_.pageState == kPageTrading) {
        char text[48];
        snprintf(text, sizeof text, "撤单出错 (%i) ", r);
        Box(text, "提示", MB_OK | MB_ICONERROR | MB_TOPMOST);
        desk_.Ui().RefocusOrderPanel();
      }
      break;
    }
  }
  RemoveCancelledPending();
}

// ---- the order panel ----

int32_t TListCommands::DefaultOpenVolume(const char *code) const {
  const CContractInfo *c = data_.FindContract(code);
  if (!c) return 1;
  int lo = 1, hi = 10000;
  if (panel) {
    const TOrderFields &f = panel->Active();
    lo = f.spinMin, hi = std::max(f.spinMin, f.spinMax);
  }
  return std::clamp<int32_t>(c->DefaultOpenVolume, lo, hi);
}

void TListCommands::Apply(TPanelPrepare &prepare) {
  if (panel && prepare.layout >= 0 && prepare.layout < 3) {
    TOrderFields &f = panel->fields[prepare.layout];
    f.contract = prepare.contract;
    if (!prepare.contractOnly) {
      if (prepare.volume > 0) {
        f.volume = std::to_string(prepare.volume);
        if (!prepare.keepSpinTag) f.spinPosition = prepare.volume;
      }
      if (prepare.layout != kLayoutQuick) {
        f.price = prepare.price;
        if (f.priceKind >= 0) f.priceKind = 0;
      }
    }
  }
  if (preparePanel) preparePanel(prepare);
}

void TListCommands::ContractIntoPanel(const char *code) {
  const int layout = data_.options.Layout;
  if (layout == kLayoutArbitrage) return;
  TPanelPrepare prepare;
  prepare.layout = layout;
  prepare.contractOnly = true;
  prepare.contract = code;
  if (panel && panel->fields[layout].contract == prepare.contract && layout != kLayoutQuick) return;
  Apply(prepare);
}

void TListCommands::PrepareOrderClose(const CKivoOrderField &o) {
  const std::string code = ListCmdField(o.InstrumentID, sizeof o.InstrumentID);
  const bool c = ListCmdCloseToday(data_, code.c_str());
  const bool buy = (o.Direction & 0x7F) == '0';
  const int layout = data_.options.Layout;
  TPanelPrepare prepare;
  prepare.layout = layout;
  prepare.contract = code;
  prepare.volume = o.VolumeTraded;
  const char closing = c ? '3' : '1';
  if (layout == kLayoutNormal) {
    prepare.offsetItem = c ? "2.平今" : "3.平仓";
    prepare.keepSpinTag = true;
  }
  if (layout == kLayoutNormal || layout == kLayoutKeyboard) {
    if (!desk_.collapsed) {
      prepare.focusPrice = true;
      prepare.cursorButton = OrderButtonOfLayout(layout, !buy, closing, false);
    } else if (quickDealVisible && quickDealVisible()) {
      prepare.quickDealButton = OrderButtonOfLayout(layout, !buy, closing, true);
    }
    Apply(prepare);
  }
  if (mirrorPanelToQuickDeal) mirrorPanelToQuickDeal();
}

void TListCommands::PreparePositionClose(const InvestorPosition_Lite &p, int32_t available) {
  const std::string code = ListCmdField(p.InstrumentID, sizeof p.InstrumentID);
  const bool isLong = p.PosiDirection == '2';
  const char closing = p.Attribute == 2 ? '3' : '1';
  data_.options.HedgeFlag = p.HedgeFlag;
  int layout = data_.options.Layout;
  TPanelPrepare prepare;
  prepare.hedgeIndex = p.HedgeFlag == '1' ? 0 : p.HedgeFlag == '3' ? 1 : 2;
  prepare.contract = code;
  prepare.volume = available;
  if (layout == kLayoutNormal || layout == kLayoutArbitrage) {
    layout = kLayoutNormal;
    prepare.offsetItem = p.Attribute == 2 ? "2.平今" : "3.平仓";
    const CContractInfo *c = data_.FindContract(code.c_str());
    if (c && c->DefaultCloseVolume > 0 && available >= c->DefaultCloseVolume) prepare.volume = c->DefaultCloseVolume;
    prepare.keepSpinTag = true;
    if (!desk_.collapsed) {
      prepare.focusPrice = true;
      prepare.buttons = {{"XPButton1032", !isLong}, {"XPButton1033", isLong}};
    }
  } else if (layout == kLayoutKeyboard) {
    if (!desk_.collapsed) {
      prepare.focusPrice = true;
      const char *match = OrderButtonOfLayout(layout, !isLong, closing, false);
      prepare.buttons = {{"XPButton32", false}, {"XPButton33", false}};
      for (const char *b : {"XPButton2", "XPButton35", "XPButton34", "XPButton37"})
        prepare.buttons.emplace_back(b, strcmp(b, match) == 0);
    }
  }
  prepare.layout = layout;
  if (layout == kLayoutNormal || layout == kLayoutKeyboard) {
    if (desk_.collapsed && quickDealVisible && quickDealVisible())
      prepare.quickDealButton = OrderButtonOfLayout(layout, !isLong, closing, true);
    Apply(prepare);
  } else if (preparePanel) {
    preparePanel(prepare);  // the hedge combos only
  }
  if (mirrorPanelToQuickDeal) mirrorPanelToQuickDeal();
}

void TListCommands::XPButton30Click(int row) {
  if (row < 0) {
    Box("请先选择需要修改的委托。  ", "提示", MB_OK | MB_ICONINFORMATION);
    desk_.Ui().RefocusOrderArea();
    return;
  }
  const int32_t index = OrderIndexOfRow(row);
  if (index < 0) return;
  CKivoOrderField &o = data_.orders.GetData()[index];
  const CKivoOrderField asked = o;
  const char state = o.OrderStatus[1];
  if (state == 'p') {
    o.OrderStatus[0] = '1';
  } else if (state != '0' && state != '5') {
    bool send = true;
    if (!ListCmdHasNumber(o)) {
      if (Box("需要修改的委托编号为空，无法撤单。是否继续修改？  ", " 确认", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
      send = false;
    }
    if (send && !IsOrderCancellable(o)) {
      if (Box("需要修改的委托处于不可撤状态。是否继续修改？  ", " 确认", MB_YESNO | MB_ICONWARNING) != IDYES) return;
      send = false;
    }
    // An order that cannot be cancelled is not sent a cancel: the user only
    // chose to go on with the change.
    if (send && CancelOneOrder(index, "手动改单") == kCancelFailed &&
        Box("需要修改的委托撤单失败。是否继续修改？  ", " 确认", MB_YESNO | MB_ICONERROR) != IDYES)
      return;
  }
  // The boxes let other messages run: the order may have left the array.
  if (index >= data_.orders.GetCount() || !ListCmdSameOrder(data_.orders.GetData()[index], asked)) return;
  const CKivoOrderField &order = data_.orders.GetData()[index];
  const std::string code = ListCmdField(order.InstrumentID, sizeof order.InstrumentID);
  int32_t u = order.VolumeTotal - order.VolumeTraded;
  if (u < 1) u = DefaultOpenVolume(code.c_str());
  const bool buy = (order.Direction & 0x7F) == '0';
  const int layout = data_.options.Layout;
  if (layout == kLayoutNormal || layout == kLayoutKeyboard) {
    TPanelPrepare prepare;
    prepare.layout = layout;
    prepare.contract = code;
    prepare.volume = u;
    if (layout == kLayoutNormal)
      prepare.offsetItem = order.OffsetFlag == '3' ? "2.平今" : order.OffsetFlag == '0' ? "1.开仓" : "3.平仓";
    if (!desk_.collapsed) {
      prepare.focusPrice = true;
      prepare.cursorButton = OrderButtonOfLayout(layout, buy, order.OffsetFlag, false);
    } else if (quickDealVisible && quickDealVisible()) {
      prepare.quickDealButton = OrderButtonOfLayout(layout, buy, order.OffsetFlag, true);
    }
    Apply(prepare);
  }
  if (mirrorPanelToQuickDeal) mirrorPanelToQuickDeal();
  RemoveCancelledPending();
}

// ---- quick operations ----

void TListCommands::AddTask(const char *code, const char *format, char sideWord, char hedge, char direction,
                            char offset, int32_t volume, bool wait) {
  OrderScript t{};
  CopyGbkCut(t.InstrumentID, sizeof t.InstrumentID, code);
  snprintf(t.Description, sizeof t.Description, format, t.InstrumentID, sideWord == '0' ? "买" : "卖",
           HedgeFlagShortName(hedge));
  t.Direction = direction;
  t.OffsetFlag = offset;
  t.HedgeFlag = hedge;
  t.Volume = uint32_t(volume);
  t.TaskKind = kTaskQuick;
  t.PriceKind = kTaskPriceOffsetTicks;
  t.WaitForPrevious = wait ? 1 : 0;
  t.OrderLink = -1;
  data_.tasks.Add(t);
}

void TListCommands::PositionOperation(TQuick kind, const std::vector<int> &selectedRows) {
  std::vector<int32_t> indexes;
  if (kind == TQuick::CloseAll) {
    if (data_.positions.GetCount() < 1) return;
    if (Box("对所有持仓执行平仓操作，是否确认？  ", "提示", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    for (int32_t i = 0; i < data_.positions.GetCount(); ++i) indexes.push_back(i);
  } else {
    if (selectedRows.empty()) {
      if (!dispatch_.positionBook.rows.rows.empty()) {
        const char *text = kind == TQuick::Close     ? "请先选中需要平仓的合约。按住 Ctrl 键可进行多选。  "
                           : kind == TQuick::Reverse ? "请先选中需要反手的合约。按住 Ctrl 键可进行多选。  "
                                                     : "请先选中需要锁仓的合约。按住 Ctrl 键可进行多选。  ";
        Box(text, "提示", MB_OK | MB_ICONINFORMATION);
        desk_.Ui().RefocusOrderArea();
      }
      return;
    }
    for (int row : selectedRows)
      if (const int32_t i = PositionIndexOfRow(row); i >= 0) indexes.push_back(i);
  }
  int64_t frozen = 0;
  for (int32_t i : indexes) {
    const InvestorPosition_Lite p = data_.positions.GetData()[i];
    if (p.PosiDirection != '2' && p.PosiDirection != '3') continue;
    const bool isLong = p.PosiDirection == '2';
    const char direction = isLong ? '1' : '0';
    const char side = isLong ? '0' : '1';
    const char closing = p.Attribute == 2 ? '3' : '1';
    const int32_t available = p.Volume - p.Frozen;
    const std::string code = ListCmdField(p.InstrumentID, sizeof p.InstrumentID);
    if (kind == TQuick::Lock) {
      if (p.Volume > 0) AddTask(code.c_str(), "对 %s(%s,%s) 快捷锁仓", side, p.HedgeFlag, direction, '0', p.Volume, false);
      continue;
    }
    frozen += p.Volume - available;
    if (available <= 0) continue;
    switch (kind) {
      case TQuick::Close:
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷平仓", side, p.HedgeFlag, direction, closing, available, false);
        break;
      case TQuick::CloseAll:
        AddTask(code.c_str(), "对 %s(%s,%s) 执行全部平仓", side, p.HedgeFlag, direction, closing, available, false);
        break;
      default:
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷反手（平仓）", side, p.HedgeFlag, direction, closing, available, false);
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷反手（反向开仓）", side, p.HedgeFlag, direction, '0', available, true);
        break;
    }
  }
  if (!data_.tasks.IsEmpty()) {
    dispatch_.taskQueue.StartOrderScripts();
    return;
  }
  if (kind != TQuick::Lock && frozen > 0) Box(kFrozenText, "提示", MB_OK | MB_ICONINFORMATION);
}

void TListCommands::OrderOperation(TQuick kind, const std::vector<int> &selectedRows) {
  for (int row : selectedRows) {
    const int32_t i = OrderIndexOfRow(row);
    if (i < 0) continue;
    const CKivoOrderField o = data_.orders.GetData()[i];
    if (!ListCmdFilledOpening(o)) continue;
    const std::string code = ListCmdField(o.InstrumentID, sizeof o.InstrumentID);
    const char side = (o.Direction & 0x7F) == '0' ? '0' : '1';
    const char direction = side == '0' ? '1' : '0';
    const char closing = ListCmdCloseToday(data_, code.c_str()) ? '3' : '1';
    switch (kind) {
      case TQuick::Close:
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷平仓", side, o.HedgeFlag, direction, closing, o.VolumeTraded, false);
        break;
      case TQuick::Lock:
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷锁仓", side, o.HedgeFlag, direction, '0', o.VolumeTraded, false);
        break;
      default:
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷反手（平仓）", side, o.HedgeFlag, direction, closing, o.VolumeTraded,
                false);
        AddTask(code.c_str(), "对 %s(%s,%s) 快捷反手（反向开仓）", side, o.HedgeFlag, direction, '0',
                o.VolumeTraded, true);
        break;
    }
  }
  if (!data_.tasks.IsEmpty()) {
    dispatch_.taskQueue.StartOrderScripts();
    return;
  }
  const char *text = kind == TQuick::Close     ? "请先选中需要平仓的“已成交开仓委托”。按住 Ctrl 键可进行多选。  "
                     : kind == TQuick::Reverse ? "请先选中需要反手的“已成交开仓委托”。按住 Ctrl 键可进行多选。  "
                                               : "请先选中需要锁仓的“已成交开仓委托”。按住 Ctrl 键可进行多选。  ";
  Box(text, "提示", MB_OK | MB_ICONINFORMATION);
  desk_.Ui().RefocusOrderArea();
}

void TListCommands::OnPositionCloseClick(const std::vector<int> &selectedRows, bool holdingsTab) {
  if (holdingsTab) PositionOperation(TQuick::Close, selectedRows);
}
void TListCommands::OnPositionReverseClick(const std::vector<int> &selectedRows) {
  PositionOperation(TQuick::Reverse, selectedRows);
}
void TListCommands::OnPositionLockClick(const std::vector<int> &selectedRows) {
  PositionOperation(TQuick::Lock, selectedRows);
}
void TListCommands::XPButton60Click() { PositionOperation(TQuick::CloseAll, {}); }
void TListCommands::XPButton40Click(const std::vector<int> &selectedRows) { OrderOperation(TQuick::Close, selectedRows); }
void TListCommands::XPButton26Click(const std::vector<int> &selectedRows) {
  OrderOperation(TQuick::Reverse, selectedRows);
}
void TListCommands::XPButton41Click(const std::vector<int> &selectedRows) { OrderOperation(TQuick::Lock, selectedRows); }

// ---- the automatic offset ----

void TListCommands::PlaceAutoOffsetOrders(bool buy) {
  if (!manual || !panel) return;
  const TOrderFields &f = panel->fields[kLayoutNormal];
  int32_t v = atoi(f.volume.c_str());
  const std::string contract = f.contract;
  const char closes = buy ? '3' : '2';
  int32_t today = 0, other = 0;
  for (int32_t i = 0; i < data_.positions.GetCount(); ++i) {
    const InvestorPosition_Lite &p = data_.positions.GetData()[i];
    if (p.PosiDirection != closes || strncasecmp(p.InstrumentID, contract.c_str(), sizeof p.InstrumentID) != 0)
      continue;
    (p.Attribute == 2 ? today : other) = p.Volume - p.Frozen;
  }
  for (const auto &[amount, offset] : {std::pair{today, '3'}, std::pair{other, '1'}}) {
    if (amount <= 0) continue;
    if (amount >= v) {
      manual->PlaceManualOrder(buy, offset, v);
      return;
    }
    if (manual->PlaceManualOrder(buy, offset, amount) == 0) return;
    v -= amount;
  }
  if (v > 0) manual->PlaceManualOrder(buy, '0', v);
}

// ---- the timer ----

void TListCommands::OnTradeTimer() {
  dispatch_.taskQueue.CheckTaskTimeouts();
  RefreshSinglePositions();
  if (checkTimeConditionOrders) checkTimeConditionOrders();
}

void TListCommands::RefreshSinglePositions() {
  if (desk_.pageState < kPageTrading) return;
  if (++singleRefreshCounter < 3) return;
  singleRefreshCounter = 0;
  if (!TradePlugin.QuerySinglePosition) return;
  // Asked without waiting: the answer comes as a notification, and a busy
  // plug-in's refusal is dropped (the next round asks again).
  for (int32_t i = 0; i < data_.positions.GetCount(); ++i) {
    const InvestorPosition_Lite p = data_.positions.GetData()[i];
    if (!p.Refresh) continue;
    char code[sizeof p.InstrumentID + 1] = {};
    memcpy(code, p.InstrumentID, sizeof p.InstrumentID);
    TradePlugin.QuerySinglePosition(code, p.PosiDirection, p.HedgeFlag, 0);
  }
}

// ---- rows ----

void TListCommands::XPListView1SelectItem(int row) {
  const TListModel &model = dispatch_.book.lists.orderRows;
  if (OrderIndexOfRow(row) < 0 || model.rows[size_t(row)].items.empty()) return;
  ContractIntoPanel(model.rows[size_t(row)].items[0].c_str());
}

void TListCommands::XPListView2SelectItem(int row) {
  const TListModel &model = dispatch_.book.lists.tradeRows;
  if (row < 0 || row >= int(model.rows.size()) || model.rows[size_t(row)].items.empty()) return;
  const int32_t data = model.rows[size_t(row)].data;
  if (data < 0 || data >= data_.trades.GetCount()) return;
  ContractIntoPanel(model.rows[size_t(row)].items[0].c_str());
}

void TListCommands::XPListView3SelectItem(int row, bool holdingsTab) {
  if (!holdingsTab) return;
  const int32_t index = PositionIndexOfRow(row);
  if (index < 0) return;
  const TListRow &r = dispatch_.positionBook.rows.rows[size_t(row)];
  const int layout = data_.options.Layout;
  if (layout != kLayoutQuick) {
    TPanelPrepare prepare;
    prepare.layout = layout == kLayoutKeyboard ? kLayoutKeyboard : kLayoutNormal;
    prepare.contractOnly = true;
    prepare.contract = r.caption;
    if (panel && panel->fields[prepare.layout].contract == prepare.contract) return;
    Apply(prepare);
    return;
  }
  TPanelPrepare prepare;
  prepare.layout = kLayoutQuick;
  prepare.contract = r.caption;
  const auto startsWith = [&](int item, const char *word) {
    return int(r.items.size()) > item && r.items[size_t(item)].rfind(word, 0) == 0;
  };
  prepare.quickDirectionIndex = startsWith(0, "买") ? 1 : 0;
  prepare.quickOffsetIndex = startsWith(1, "今") ? 1 : 2;
  if (const CContractInfo *c = data_.FindContract(r.caption.c_str())) prepare.volume = c->DefaultOpenVolume;
  Apply(prepare);
}

void TListCommands::XPListView1LButtonDblClk(int row) {
  const int32_t index = OrderIndexOfRow(row);
  if (index < 0) return;
  const CKivoOrderField o = data_.orders.GetData()[index];
  if (!ListCmdHasNumber(o) && !ListCmdPending(o)) {
    Box("由于委托号为空，撤单失败。  ", "失败", MB_OK | MB_ICONERROR | MB_TOPMOST);
    desk_.Ui().RefocusOrderArea();
    return;
  }
  if (data_.options.ClickOrderToClose && ListCmdFilledOpening(o)) {
    PrepareOrderClose(o);
    return;
  }
  if (!IsOrderCancellable(o)) {
    Box("撤单失败，委托处于不可撤状态。  ", "失败", MB_OK | MB_ICONERROR);
    desk_.Ui().RefocusOrderArea();
    return;
  }
  if (!data_.options.DirectCancelOrder) {
    if (Box("撤销选中的委托吗？  ", "确认", MB_YESNO) != IDYES) return;
    // Another order under the index by now is not the one the user confirmed.
    if (index >= data_.orders.GetCount() || !ListCmdSameOrder(data_.orders.GetData()[index], o)) {
      desk_.Ui().RefocusOrderArea();
      return;
    }
  }
  if (ListCmdPending(data_.orders.GetData()[index])) {
    char text[160];
    snprintf(text, sizeof text, "2||%s|%s|%.3f|%c|%c|%c|%i", ListCmdField(o.CancelText120, sizeof o.CancelText120).c_str(),
             ListCmdField(o.InstrumentID, sizeof o.InstrumentID).c_str(), o.LimitPrice, o.Direction, o.OffsetFlag,
             o.HedgeFlag, o.VolumeTotal);
    WriteTradeLog(data_, TLOG_PENDING_EVENT, text);
    data_.orders.RemoveAt(index);
    dispatch_.book.InvalidateIndex();
    OnOrderRadioClick(dispatch_.book, data_, desk_.pageState, desk_.orderTag);
    SavePendingOrders(data_, data_.owner);
  } else {
    int r = 0;
    if (CancelOneOrder(index, "手动", &r) == kCancelFailed && desk_.pageState == kPageTrading) {
      char text[48];
      snprintf(text, sizeof text, "撤单出错 (%i) ", r);
      Box(text, "提示", MB_OK | MB_ICONERROR | MB_TOPMOST);
    }
  }
  desk_.Ui().RefocusOrderArea();
}

void TListCommands::XPListView3LButtonDblClk(int row) {
  const int32_t index = PositionIndexOfRow(row);
  if (index < 0) return;
  const InvestorPosition_Lite p = data_.positions.GetData()[index];
  const int32_t available = p.Volume - p.Frozen;
  if (available <= 0) {
    Box(kFrozenText, "提示", MB_OK | MB_ICONINFORMATION);
    desk_.Ui().RefocusOrderArea();
    return;
  }
  if (p.PosiDirection != '2' && p.PosiDirection != '3') return;
  if (data_.options.FastClosePosition) {
    const bool isLong = p.PosiDirection == '2';
    AddTask(ListCmdField(p.InstrumentID, sizeof p.InstrumentID).c_str(), "对 %s(%s,%s) 快捷平仓", isLong ? '0' : '1',
            p.HedgeFlag, isLong ? '1' : '0', p.Attribute == 2 ? '3' : '1', available, false);
    dispatch_.taskQueue.StartOrderScripts();
    return;
  }
  PreparePositionClose(p, available);
  // With prices taken from the chart, the cursor goes on to the chart's
  // button of the closing side.
  if (grapPriceMode != 1 || !chartOrderButton) return;
  POINT centre{0, 0};
  if (chartOrderButton(p.Stock, p.PosiDirection == '3', centre)) desk_.Ui().PutCursor(centre);
}

void TListCommands::XPListView3MouseDown(int row, int x, int scrollX, const std::vector<int> &columnWidths) {
  if (dispatch_.positionBook.rows.rows.empty() || columnWidths.size() < 11) return;
  const int32_t index = PositionIndexOfRow(row);
  if (index < 0) return;
  const int hx = x + scrollX;
  int left = 0;
  bool inside = false;
  for (size_t k = 0; k <= 10; ++k) {
    if ((k == 9 || k == 10) && hx >= left && hx < left + columnWidths[k]) inside = true;
    left += columnWidths[k];
  }
  if (!inside) return;
  if (stopRight && stopRight()) {
    if (setStopOrderForPosition) setStopOrderForPosition(index);
    return;
  }
  Box("您没有使用止损止盈的权限。  ", "警告", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  desk_.Ui().RefocusOrderArea();
}

// ---- the chart bridge ----

namespace {

int32_t ListCmdPriceWord(double price) {
  const double v = price * 1000 + 0.1;
  if (!(v > -2147483648.0)) return INT32_MIN;
  if (!(v < 2147483647.0)) return INT32_MAX;
  return int32_t(v);
}

void ListCmdPut32(unsigned char *at, int32_t value) { memcpy(at, &value, sizeof value); }

bool ListCmdCodeMatches(const char *field, size_t width, const char *code1, const char *code2) {
  const std::string code = ListCmdField(field, width);
  if (code1 && strcasecmp(code.c_str(), code1) == 0) return true;
  return code2 && code2[0] && strcasecmp(code.c_str(), code2) == 0;
}

}  // namespace

void GetChartTradeMarks(const TTradeDesk &data, int pageState, const char *code1, const char *code2,
                        unsigned char *positions, int maxPositions, unsigned char *orders, int maxOrders) {
  maxPositions = positions ? std::max(maxPositions, 0) : 0;
  maxOrders = orders ? std::max(maxOrders, 0) : 0;
  if (pageState <= 0) {
    PttLinkGetTradeTables(code1, code2, reinterpret_cast<pttlink::LinkPosition *>(positions), maxPositions,
                          reinterpret_cast<pttlink::LinkOrder *>(orders), maxOrders);
    return;
  }
  if (maxPositions > 0) memset(positions, 0, size_t(maxPositions) * 64);
  if (maxOrders > 0) memset(orders, 0, size_t(maxOrders) * 68);
  int n = 0;
  for (int32_t i = 0; i < data.positions.GetCount() && n < maxPositions; ++i) {
    const InvestorPosition_Lite &p = data.positions.GetData()[i];
    if (!ListCmdCodeMatches(p.InstrumentID, sizeof p.InstrumentID, code1, code2)) continue;
    const std::string code = ListCmdField(p.InstrumentID, sizeof p.InstrumentID);
    const CContractInfo *c = data.FindContract(code.c_str());
    if (!c) continue;
    unsigned char *r = positions + size_t(n++) * 64;
    memcpy(r + 16, code.data(), std::min<size_t>(code.size(), 7));
    r[48] = p.PosiDirection == '2' ? '0' : '1';
    r[49] = uint8_t(p.Attribute);
    ListCmdPut32(r + 52, p.Volume);
    ListCmdPut32(r + 56, ListCmdPriceWord(p.OpenAverage));
    ListCmdPut32(r + 60, c->VolumeMultiple);
  }
  n = 0;
  for (int32_t i = 0; i < data.orders.GetCount() && n < maxOrders; ++i) {
    const CKivoOrderField &o = data.orders.GetData()[i];
    if (!IsOrderCancellable(o) || !ListCmdCodeMatches(o.InstrumentID, sizeof o.InstrumentID, code1, code2)) continue;
    unsigned char *r = orders + size_t(n++) * 68;
    const std::string exchange = ListCmdField(o.ExchangeID, sizeof o.ExchangeID);
    memcpy(r + 4, exchange.data(), std::min<size_t>(exchange.size(), 7));
    const std::string code = ListCmdField(o.InstrumentID, sizeof o.InstrumentID);
    memcpy(r + 16, code.data(), std::min<size_t>(code.size(), 7));
    const long number = strtol(ListCmdField(o.OrderRef, sizeof o.OrderRef).c_str(), nullptr, 10);
    ListCmdPut32(r + 48, int32_t(std::clamp<long>(number, INT32_MIN, INT32_MAX)));
    r[52] = uint8_t(o.Direction & 0x7F);
    r[53] = uint8_t(o.OffsetFlag);
    ListCmdPut32(r + 56, o.VolumeTotal);
    ListCmdPut32(r + 60, o.VolumeTraded);
    ListCmdPut32(r + 64, ListCmdPriceWord(o.LimitPrice));
  }
}

int PanelOrderButtonToPress(int offsetItem, bool buyEnabled, bool sellEnabled) {
  switch (offsetItem) {
    case 1:
    case 2:
      if (buyEnabled != sellEnabled) return buyEnabled ? 1 : 2;
      return buyEnabled ? 0 : 2;
    case 3: return 1;
    case 4: return 2;
    default: return 0;
  }
}

int RefreshQuoteProfits(TPositionBook &book, const EArray<InvestorPosition_Lite> &positions, STKPTR stock) {
  int rewritten = 0;
  const InvestorPosition_Lite *p = positions.GetData();
  const int32_t n = std::min<int32_t>(positions.GetCount(), int32_t(book.rows.rows.size()));
  for (int32_t i = 0; i < n; ++i) {
    if (!SameStock(p[i].Stock, stock) || p[i].Volume <= 0) continue;
    TListRow &row = book.rows.rows[size_t(i)];
    if (row.items.size() < kPosColumns) row.items.resize(kPosColumns);
    book.WriteProfitColumns(row, p[i]);
    ++rewritten;
  }
  return rewritten;
}
