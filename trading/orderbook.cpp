#include "trading/orderbook.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/deskui.h"
#include "trading/dispatcher.h"
#include "trading/pluginapi.h"
#include "trading/positions.h"
#include "trading/tradelog.h"

namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr const char *kTradeLostText = "内存不足，部分成交未能保存，程序可能无法正常运行。";
constexpr const char *kTradeLostLog = "2|内存不足，部分成交未能保存";
constexpr const char *kOrderLostLog = "2|内存不足，部分委托未能保存";

// A fixed-width text field as a string (never past its room).
std::string Field(const char *text, size_t room) { return std::string(text, strnlen(text, room)); }

template <size_t N>
void CopyField(char (&dst)[N], const char *src, size_t room) {
  const size_t n = std::min(strnlen(src, room), N - 1);
  memcpy(dst, src, n);
  memset(dst + n, 0, N - n);
}

std::string IndexKey(const char *ref) {
  std::string key = Field(ref, 12);
  for (char &c : key) c = char(toupper(static_cast<unsigned char>(c)));
  return key;
}


char OrderState(const CKivoOrderField &o) { return o.OrderStatus[1]; }
char RequestState(const CKivoOrderField &o) { return o.OrderStatus[0]; }
bool FinalState(char state) { return state == '0' || state == '5'; }

// The offset a trade is listed and booked with.
char TradeOffset(TTradeDesk &data, const Trade_Lite &t) {
  if (t.OffsetFlag == '2' || t.OffsetFlag == '4') return '1';
  if (t.OffsetFlag == '3') {
    const CContractInfo *c = data.FindContract(t.InstrumentID);
    if (c && !IsProcessCloseToday(c->ExchangeID)) return '1';
  }
  return t.OffsetFlag;
}

std::string PriceText(double price, const char *format = "%.3f") {
  char text[64];
  snprintf(text, sizeof text, format, price);
  return TrimPriceText(text);
}

}  // namespace

// ---- texts ----

const char *OrderStatusText(const CKivoOrderField &order, char *buffer) {
  const char request = RequestState(order);
  const char *text = "未知";
  switch (OrderState(order)) {
    case '1':
      text = request == '1'   ? "部分成交，申请撤单"
             : request == '2' ? "部分成交，申请修改"
             : request == '5' ? "部分成交，拒绝撤单"
             : request == '6' ? "部分成交，拒绝修改"
                              : "部分成交";
      break;
    case '2': text = "部分成交 (NQ)"; break;
    case '3':
      text = request == '0'   ? "正在申报"
             : request == '1' ? "未成交，申请撤单"
             : request == '2' ? "未成交，申请修改"
             : request == '3' ? "已申报，未成交"
             : request == '5' ? "未成交，拒绝撤单"
             : request == '6' ? "未成交，拒绝修改"
                              : "未成交 (Q)";
      break;
    case '4': text = request == '4' ? "拒绝申报" : "未成交 (NQ)"; break;
    case '0': text = "已成交"; break;
    case '5': text = order.VolumeTraded > 0 ? "部分成交，已撤单" : "未成交，已撤单"; break;
    case 'a': text = "正在申报"; break;
    case 'p': text = "等待申报"; break;
    default: break;
  }
  strcpy(buffer, text);
  return buffer;
}

bool IsOrderCancellable(const CKivoOrderField &order) {
  switch (OrderState(order)) {
    case '0': case '5': return false;
    case '1': case '3': return RequestState(order) != '1';
    case '4': return RequestState(order) != '4';
    default: return true;
  }
}

const char *StripBlanks(const char *text) {
  static char buffer[256];
  size_t n = 0;
  for (; text && *text && n + 1 < sizeof buffer; ++text)
    if (*text != ' ') buffer[n++] = *text;
  buffer[n] = 0;
  return buffer;
}

const char *OrderDirectionText(char direction) {
  direction = char(direction & 0x7F);
  return direction == '0' ? "买　" : direction == '1' ? "　卖" : "";
}

const char *OrderOffsetText(char offset) {
  switch (offset) {
    case '0': return "开　";
    case '1': return "　平";
    case '2': return "强平";
    case '3': return "平今";
    case '4': return "平昨";
    default: return "";
  }
}

std::string OrderPriceText(char priceKind, double price) {
  if (priceKind == '1') return "市价";
  if (priceKind == '3') return "最优价";
  return PriceText(price);
}

void CopyOrderFields(CKivoOrderField &dst, const CKivoOrderField &src, bool adding) {
  memcpy(dst.OrderRef, src.OrderRef, sizeof dst.OrderRef);
  memcpy(dst.CancelText120, src.CancelText120, sizeof dst.CancelText120);
  memcpy(dst.InstrumentID, src.InstrumentID, sizeof dst.InstrumentID);
  dst.Direction = src.Direction;
  dst.OffsetFlag = src.OffsetFlag;
  dst.HedgeFlag = src.HedgeFlag;
  dst.VolumeTotal = src.VolumeTotal;
  dst.OrderStatus[0] = src.OrderStatus[0];
  dst.OrderStatus[1] = src.OrderStatus[1];
  if (adding) dst.Reserved164 = src.Reserved164;
  dst.VolumeTraded = src.VolumeTraded;
  if (src.LimitPrice > 0 || (src.LimitPrice == 0 && src.PriceType == '1')) {
    dst.LimitPrice = src.LimitPrice;
    dst.PriceType = src.PriceType;
  }
  if (src.ExchangeID[0]) memcpy(dst.ExchangeID, src.ExchangeID, sizeof dst.ExchangeID);
  if (src.FillText[0]) memcpy(dst.FillText, src.FillText, sizeof dst.FillText);
  if (src.InsertTime[0]) memcpy(dst.InsertTime, src.InsertTime, sizeof dst.InsertTime);
  if (src.SecondTime[0]) memcpy(dst.SecondTime, src.SecondTime, sizeof dst.SecondTime);
  if (src.StatusMsg[0]) memcpy(dst.StatusMsg, src.StatusMsg, sizeof dst.StatusMsg);
  dst.VolumeRemain = 0;
  dst.Reserved168 = src.Reserved168;
  memcpy(dst.CancelText16, src.CancelText16, sizeof dst.CancelText16);
  memcpy(dst.CancelText24, src.CancelText24, sizeof dst.CancelText24);
}

int CompareOrderRefs(const CKivoOrderField &a, const CKivoOrderField &b) {
  const long x = atol(Field(a.OrderRef, sizeof a.OrderRef).c_str());
  const long y = atol(Field(b.OrderRef, sizeof b.OrderRef).c_str());
  return x < y ? -1 : x > y ? 1 : 0;
}

namespace {
// The night session's first minute when night trades sort first, else -1.
int NightResortMinute() {
  const char *file = "..\\cfg\\NightTrade.ini";
  if (GetPrivateProfileIntA("Option", "ResortTrade", 0, file) == 0) return -1;
  return int(GetPrivateProfileIntA("Option", "BeginMinute", 1260, file));
}

int CompareTradeTimesAt(const Trade_Lite &a, const Trade_Lite &b, int night) {
  const std::string ta = Field(a.TradeTime, sizeof a.TradeTime), tb = Field(b.TradeTime, sizeof b.TradeTime);
  if (night >= 0) {
    const auto minute = [](const std::string &t) { return atoi(t.c_str()) * 60 + (t.size() > 3 ? atoi(t.c_str() + 3) : 0); };
    const bool na = minute(ta) >= night, nb = minute(tb) >= night;
    if (na != nb) return na ? -1 : 1;
  }
  if (const int c = ta.compare(tb)) return c < 0 ? -1 : 1;
  const long x = atol(Field(a.Text19, sizeof a.Text19).c_str()), y = atol(Field(b.Text19, sizeof b.Text19).c_str());
  return x < y ? -1 : x > y ? 1 : 0;
}
}  // namespace

int CompareTradeTimes(const Trade_Lite &a, const Trade_Lite &b) { return CompareTradeTimesAt(a, b, NightResortMinute()); }

int TListModel::RowOf(int32_t data) const {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].data == data) return int(i);
  return -1;
}

const char *const kCloseHelpText =
    "\r\n\r\n\r\n解决方法：\r\n1. 如持仓数量显示不正确，请在持仓列表中点击鼠标右键，选择“刷新”；\r\n"
    "2. 对于上海期货交易所合约，今仓请使用“平今”，昨仓请使用“平仓”；\r\n"
    "3. 登录交易时，电信用户请选择电信站点，联通用户请选择联通站点。";

bool IsCloseVolumeText(const std::string &text) {
  for (const char *word : {"过平仓", "超过可平仓数量", "超过可平今数量", "大于可平仓数量", "超过可平数量"})
    if (text.find(word) != std::string::npos) return true;
  return false;
}

std::string CutServerMessage(const char *text) {
  std::string s = text ? std::string(text, strnlen(text, tb::kMaxBlockText)) : std::string();
  const size_t at = s.find("Server message:");
  if (at != std::string::npos) s.resize(at);
  return s;
}

// ---- the book ----

TOrderBook::TOrderBook(TTradeDesk &data, TDeskHost &host) : data_(data), host_(host) {}
TOrderBook::~TOrderBook() = default;

void TOrderBook::RebuildIndex() {
  index_.clear();
  const CKivoOrderField *orders = data_.orders.GetData();
  const int32_t n = data_.orders.GetCount();
  index_.reserve(size_t(n) * 2);
  for (int32_t i = 0; i < n; ++i) index_.emplace(IndexKey(orders[i].OrderRef), i);
  indexed_ = n;
}

int32_t TOrderBook::FindOrder(const char *orderRef) {
  if (!orderRef || !orderRef[0]) return -1;
  const std::string key = IndexKey(orderRef);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (indexed_ != data_.orders.GetCount()) RebuildIndex();
    const auto it = index_.find(key);
    // A miss stands: sorting keeps the set of references, and emptying or
    // growing the array changes its count.
    if (it == index_.end()) return -1;
    if (it->second < data_.orders.GetCount() && IndexKey(data_.orders.GetData()[it->second].OrderRef) == key)
      return it->second;
    indexed_ = -1;  // the array was re-sorted elsewhere
  }
  return -1;
}

CKivoOrderField *TOrderBook::OrderByRef(const char *orderRef) {
  const int32_t i = FindOrder(orderRef);
  return i < 0 ? nullptr : data_.orders.GetData() + i;
}

int32_t TOrderBook::AddOrder(const CKivoOrderField &source) {
  CKivoOrderField record{};
  CopyOrderFields(record, source, true);
  const int32_t i = data_.orders.Add(record);
  if (i >= 0 && indexed_ == i) {
    index_.emplace(IndexKey(record.OrderRef), i);
    indexed_ = i + 1;
  }
  return i;
}

void TOrderBook::SortOrders() {
  CKivoOrderField *o = data_.orders.GetData();
  std::stable_sort(o, o + data_.orders.GetCount(),
                   [](const CKivoOrderField &a, const CKivoOrderField &b) { return CompareOrderRefs(a, b) < 0; });
  RebuildIndex();
}

void TOrderBook::SortTrades() {
  const int night = nightMinute_ = NightResortMinute();
  Trade_Lite *t = data_.trades.GetData();
  std::stable_sort(t, t + data_.trades.GetCount(),
                   [night](const Trade_Lite &a, const Trade_Lite &b) { return CompareTradeTimesAt(a, b, night) < 0; });
}

void TOrderBook::PlaceLastTrade() {
  if (nightMinute_ == -2) nightMinute_ = NightResortMinute();
  const int night = nightMinute_;
  Trade_Lite *t = data_.trades.GetData();
  const int32_t n = data_.trades.GetCount();
  if (n < 2) return;
  const Trade_Lite last = t[n - 1];
  // The array was sorted before the append: the same order a full sort
  // gives, found by a binary search.
  Trade_Lite *at = std::upper_bound(t, t + n - 1, last, [night](const Trade_Lite &a, const Trade_Lite &b) {
    return CompareTradeTimesAt(a, b, night) < 0;
  });
  if (at == t + n - 1) return;
  memmove(static_cast<void *>(at + 1), at, size_t(t + n - 1 - at) * sizeof *at);
  *at = last;
}

// ---- "ordrtime.ini" ----

std::string TOrderBook::InsertTimeFile() const { return data_.AccountFile("ordrtime.ini"); }

bool TOrderBook::ReadInsertTime(const char *orderRef, char out[9]) {
  const std::string key = StripBlanks(Field(orderRef, 13).c_str());
  char value[16] = {};
  GetPrivateProfileStringA("Insert", key.c_str(), "", value, 9, InsertTimeFile().c_str());
  value[8] = 0;
  memcpy(out, value, 9);
  if (value[0]) insertTimes_[key] = value;
  return value[0] != 0;
}

void TOrderBook::WriteInsertTime(const char *orderRef, const char *time) {
  const std::string key = StripBlanks(Field(orderRef, 13).c_str());
  const std::string value = Field(time, 8);
  if (key.empty()) return;
  if (insertGeneration_ != DayFilesGeneration()) {
    insertTimes_.clear();
    insertGeneration_ = DayFilesGeneration();
  }
  const auto it = insertTimes_.find(key);
  if (it != insertTimes_.end() && it->second == value) return;
  char stored[16] = {};
  GetPrivateProfileStringA("Insert", key.c_str(), "", stored, 9, InsertTimeFile().c_str());
  if (value != stored) WritePrivateProfileStringA("Insert", key.c_str(), value.c_str(), InsertTimeFile().c_str());
  insertTimes_[key] = value;
}

// ---- rows ----

TListRow TOrderBook::OrderRow(int32_t index) const {
  const CKivoOrderField &o = data_.orders.GetData()[index];
  TListRow row;
  row.data = index;
  row.caption = Field(o.InsertTime, sizeof o.InsertTime);
  char state[32];
  row.items = {Field(o.InstrumentID, sizeof o.InstrumentID),
               OrderDirectionText(o.Direction),
               OrderOffsetText(o.OffsetFlag),
               OrderPriceText(o.PriceType, o.LimitPrice),
               std::to_string(o.VolumeTotal),
               std::to_string(o.VolumeTraded),
               "",
               OrderStatusText(o, state),
               Field(o.SecondTime, sizeof o.SecondTime),
               Field(o.StatusMsg, sizeof o.StatusMsg),
               HedgeFlagShortName(o.HedgeFlag),
               Field(o.OrderRef, sizeof o.OrderRef)};
  return row;
}

TListRow TOrderBook::TradeRow(const Trade_Lite &t, int32_t data) const {
  TListRow row;
  row.data = data;
  row.caption = Field(t.TradeTime, sizeof t.TradeTime);
  row.items = {Field(t.InstrumentID, sizeof t.InstrumentID),
               OrderDirectionText(t.Direction),
               OrderOffsetText(t.OffsetFlag),
               PriceText(t.Price),
               std::to_string(t.Volume),
               HedgeFlagShortName(t.HedgeFlag),
               Field(t.OrderRef, sizeof t.OrderRef)};
  return row;
}

// ---- the order list ----

int32_t TOrderBook::OrderListRecord(const CKivoOrderField &record) {
  CKivoOrderField r = record;
  if (!r.InsertTime[0]) ReadInsertTime(r.OrderRef, r.InsertTime);
  return AddOrder(r) < 0 ? -1 : data_.orders.GetCount();
}

void TOrderBook::OrderListEnd() {
  SortOrders();
  if (positions) positions->RecountFrozenVolumes();
  if (loadPendingOrders) {
    loadPendingOrders();
    InvalidateIndex();
  }
  ++lists.orderRebuilds;
}

// ---- the trade list ----

int32_t TOrderBook::TradeListRecord(const TB_TRADE &block) {
  Trade_Lite t(block);
  if (!t.Text19[0] && positions) positions->FindOrderNumber(t.OrderRef, t.Text19);
  t.OffsetFlag = TradeOffset(data_, t);
  return data_.trades.Add(t) < 0 ? -1 : data_.trades.GetCount();
}

void TOrderBook::TradeListEnd(bool storeFailed) {
  if (!storeFailed) {
    lists.tradeWarning.clear();
    lists.tradeWarningShown = false;
    ++lists.tradePaneLayouts;
  }
  SortTrades();
  ++lists.tradeRebuilds;
}

void TOrderBook::TradeStoreFailed() {
  lists.tradeWarning = kTradeLostText;
  lists.tradeWarningColour = kRed;
  WriteTradeLog(data_, TLOG_TEXT, kTradeLostLog);
  lists.tradeWarningShown = true;
  ++lists.tradePaneLayouts;
}

// ---- order returns ----

void TOrderBook::FillReturn(CKivoOrderField &r) {
  TB_TRADE trade{};
  CopyField(trade.InstrumentID, r.InstrumentID, 7);
  CopyField(trade.OrderRef, r.OrderRef, 12);
  CopyField(trade.Text21, r.FillText, 20);
  trade.Direction = char(r.Direction & 0x7F);
  CopyField(trade.Text43, r.CancelText120, 20);
  trade.OffsetFlag = r.OffsetFlag;
  trade.HedgeFlag = r.HedgeFlag;
  trade.Price = r.LimitPrice;
  trade.Volume = r.VolumeTraded;
  CopyField(trade.TradeTime, r.InsertTime, 8);
  if (CKivoOrderField *o = OrderByRef(r.OrderRef)) {
    const int64_t R = int64_t(o->VolumeTotal) - o->VolumeTraded;
    const int64_t F = int64_t(r.VolumeRemain) + r.VolumeTraded;
    if (R < F) {
      CopyOrderFields(r, *o, false);  // the fill is counted already
    } else {
      o->OrderStatus[0] = r.OrderStatus[0];
      o->OrderStatus[1] = r.OrderStatus[1];
      memcpy(o->StatusMsg, r.StatusMsg, sizeof o->StatusMsg);
      memcpy(o->CancelText120, r.CancelText120, sizeof o->CancelText120);
      if (R == F) {
        o->VolumeTraded += r.VolumeTraded;
      } else {
        // The traded volume is what the order leaves open, never outside
        // the order's own volume.
        const int64_t traded = int64_t(o->VolumeTotal) - r.VolumeRemain;
        o->VolumeTraded = int32_t(std::clamp<int64_t>(traded, 0, std::max<int32_t>(o->VolumeTotal, 0)));
      }
      o->VolumeRemain = 0;
      CopyOrderFields(r, *o, false);
    }
  }
  TradeReturn(&trade);
}

void TOrderBook::OrderReturn(const CKivoOrderField *record) {
  if (!record) {
    WriteTradeLog(data_, TLOG_TEXT, kOrderLostLog);
    return;
  }
  CKivoOrderField r = *record;
  if (r.VolumeTotal != 0) {
    if (const CKivoOrderField *o = OrderByRef(r.OrderRef)) {
      const bool newer = o->VolumeTraded > r.VolumeTraded || (FinalState(OrderState(*o)) && !FinalState(OrderState(r)));
      if (newer) CopyOrderFields(r, *o, false);
    }
  } else {
    FillReturn(r);
  }
  if (r.InsertTime[0]) {
    WriteInsertTime(r.OrderRef, r.InsertTime);
  } else if (!ReadInsertTime(r.OrderRef, r.InsertTime)) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    snprintf(r.InsertTime, sizeof r.InsertTime, "%02u:%02u:%02u", unsigned(now.wHour) % 100u,
             unsigned(now.wMinute) % 100u, unsigned(now.wSecond) % 100u);
  }
  bool dropped = false;
  const int32_t at = FindOrder(r.OrderRef);
  if (at >= 0) {
    CKivoOrderField &o = data_.orders.GetData()[at];
    CopyOrderFields(o, r, false);
    o.Reserved164 = 0;
    r = o;
    if (onTaskOrderReturn) onTaskOrderReturn(&o);
    const int32_t index = FindOrder(r.OrderRef);
    const int row = index < 0 ? -1 : lists.orderRows.RowOf(index);
    if (row >= 0) {
      if (!lists.cancellableOnly || IsOrderCancellable(data_.orders.GetData()[index]))
        lists.orderRows.rows[size_t(row)] = OrderRow(index);
      else
        lists.orderRows.rows.erase(lists.orderRows.rows.begin() + row);
    }
  } else if (r.VolumeTraded >= 0) {
    CKivoOrderField fresh{};
    CopyOrderFields(fresh, r, true);
    fresh.Reserved164 = 0;
    if (OrderState(r) == '3' && RequestState(r) == '0') {
      const DWORD tick = GetTickCount();
      fresh.Reserved164 = int32_t(tick == 0 ? 1 : tick);
    }
    if (r.LimitPrice == 0 && (r.PriceType == '2' || fresh.PriceType == 0)) fresh.PriceType = '1';
    const int32_t index = AddOrder(fresh);
    if (onTaskOrderReturn) onTaskOrderReturn(index < 0 ? nullptr : data_.orders.GetData() + index);
    if (index < 0) {
      WriteTradeLog(data_, TLOG_TEXT, kOrderLostLog);
    } else if (hasPendingOrders && hasPendingOrders()) {
      SortOrders();
      ++lists.orderRebuilds;
    } else if (!lists.cancellableOnly || IsOrderCancellable(data_.orders.GetData()[index])) {
      lists.orderRows.InsertTop(OrderRow(index));
    }
  } else {
    dropped = true;
  }
  if (!dropped && positions) positions->RecountFrozenForOrder(r);
  host_.PostViewsUpdate();
}

// ---- trades ----

void AddTradeToSummaryRow(TListRow &row, const Trade_Lite &t) {
  const int64_t oldVolume = atol(row.items[4].c_str());
  const double oldPrice = atof(row.items[3].c_str());
  const int64_t volume = oldVolume + t.Volume;
  if (volume > 0) row.items[3] = PriceText((double(oldVolume) * oldPrice + double(t.Volume) * t.Price) / double(volume));
  row.items[4] = std::to_string(volume);
  row.caption = Field(t.TradeTime, sizeof t.TradeTime);
}

void TOrderBook::MergeTradeRow(const Trade_Lite &t, int32_t data) {
  TListModel &model = lists.tradeRows;
  const std::string code = Field(t.InstrumentID, sizeof t.InstrumentID);
  const std::string ref = Field(t.OrderRef, sizeof t.OrderRef);
  TListRow fresh = TradeRow(t, data);
  for (TListRow &row : model.rows) {
    if (row.items.size() < 7 || strcasecmp(row.items[0].c_str(), code.c_str()) != 0) continue;
    const bool match = lists.tradeMode == TTradeListMode::ByOrder
                           ? row.items[6] == ref
                           : row.items[1] == fresh.items[1] && row.items[2] == fresh.items[2] &&
                                 row.items[5] == fresh.items[5];
    if (!match) continue;
    AddTradeToSummaryRow(row, t);
    return;
  }
  model.InsertTop(std::move(fresh));
}

void TOrderBook::TradeReturn(const TB_TRADE *block) {
  if (!block) {
    TradeStoreFailed();
    return;
  }
  Trade_Lite t(*block);
  if (t.Volume > 0) {
    if (clearPanelFunds) clearPanelFunds();
    if (data_.options.PlayDealSound && data_.options.DealSound[0])
      PlaySoundA(data_.options.DealSound, nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
    t.OffsetFlag = TradeOffset(data_, t);
    const int32_t index = data_.trades.Add(t);
    if (index < 0) {
      TradeStoreFailed();
    } else {
      if (lists.tradeMode == TTradeListMode::Detail)
        lists.tradeRows.InsertTop(TradeRow(t, index));
      else
        MergeTradeRow(t, index);
      PlaceLastTrade();
    }
    if (positions) positions->ApplyTradeToPositions(t);
  }
  host_.PostViewsUpdate();
}

// ---- errors ----

void TOrderBook::InsertError(const char *text) {
  if (text) {
    std::string message = CutServerMessage(text);
    WriteTradeLogValues(data_, TLOG_ORDER_RESULT, "1||", message.c_str());
    if (IsCloseVolumeText(message)) message += kCloseHelpText;
    MessageBoxA(host_.Window(), message.c_str(), "错误", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  } else {
    MessageBoxA(host_.Window(), "系统内存不足。", "错误", MB_OK | MB_ICONERROR);
  }
  if (refocusOrderArea && (!tradingWindowVisible || tradingWindowVisible())) refocusOrderArea();
}

void TOrderBook::CancelError(const char *block) {
  if (block && onTaskCancelResult && onTaskCancelResult(block)) return;
  // The log and the box both take the error text after the reference.
  const std::string text = block ? Field(tb::ActionErrorText(block), tb::kResultBlockSize - tb::kActionErrorTextOffset)
                                 : std::string();
  WriteTradeLogValues(data_, TLOG_CANCEL_RESULT, "1|", block ? text.c_str() : "系统内存不足");
  MessageBoxA(host_.Window(), block ? text.c_str() : "撤单出错，系统内存不足。", "错误",
              MB_OK | MB_ICONERROR | MB_TOPMOST);
  if (refocusOrderArea) refocusOrderArea();
}
