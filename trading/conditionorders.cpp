#include "trading/conditionorders.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/efile.h"
#include "market/dataio5.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "trading/deskdata.h"
#include "trading/firingjournal.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

namespace {

#pragma pack(push, 1)
// The stored record, field by field.
struct ConditionRecord {
  char instrument[8];
  char direction;
  char offset;
  char hedge;
  uint8_t priceSource;
  uint8_t ticks;
  int8_t triggerKind;
  int8_t priceKind;
  uint8_t reserved15;
  int32_t volume;
  int32_t tickOffset;
  int32_t cancelAfter;
  int32_t reserved28;
  unsigned char trigger[8];  // a double, or a CTime32 and 4 zero bytes
  double fixedPrice;
  double stopPrice;
  double profitPrice;
  double trailing;
  int32_t expiry;
  int32_t reserved76;
  uint8_t reorder;
  uint8_t state;
  uint8_t reserved82[6];
  uint16_t made[8];  // SYSTEMTIME
};
#pragma pack(pop)
static_assert(sizeof(ConditionRecord) == kConditionRecordSize);
static_assert(offsetof(ConditionRecord, ticks) == 12 && offsetof(ConditionRecord, volume) == 16);
static_assert(offsetof(ConditionRecord, cancelAfter) == 24 && offsetof(ConditionRecord, trigger) == 32);
static_assert(offsetof(ConditionRecord, fixedPrice) == 40 && offsetof(ConditionRecord, stopPrice) == 48);
static_assert(offsetof(ConditionRecord, trailing) == 64 && offsetof(ConditionRecord, expiry) == 72);
static_assert(offsetof(ConditionRecord, reorder) == 80 && offsetof(ConditionRecord, state) == 81);
static_assert(offsetof(ConditionRecord, made) == 88);

struct Version {
  const char *magic;
  size_t size;
};
const Version kVersions[] = {{"KVDL10", 72}, {"KVDL11", 72}, {"KVDL12", 80},
                             {"KVDL13", 88}, {"KVDL14", 104}, {"KVDL20", 104}};
const char kDealedMagic[] = "KVDD13";
constexpr uint8_t kPaused = 0x01, kByHand = 0x02;

void SystemTimeWords(const SYSTEMTIME &t, uint16_t out[8]) {
  const uint16_t words[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
  memcpy(out, words, sizeof words);
}

int DecimalsOf(const CContractInfo &contract) {
  const STKINFO *info = GetStockInfo(contract.Stock);
  const int decimals = info ? info->decimals : 2;
  return decimals < 0 ? 0 : decimals > 6 ? 6 : decimals;
}

uint32_t DivisorOf(STKPTR stock) {
  const STKINFO *info = GetStockInfo(stock);
  return info ? info->PriceDivisor() : 1000;
}

const REALQUOTE *QuoteOf(STKPTR stock) {
  const TMarketData *market = MarketAt(stock.market);
  if (!market || stock.stock >= market->m_loadedCount || !market->m_quotes) return nullptr;
  return &market->m_quotes[stock.stock];
}

// The task text: a format printed with the decimals, then with the values.
void Describe(const ConditionOrder &c, int decimals, char *out, size_t size) {
  char format[160];
  const std::string code(c.InstrumentID, strnlen(c.InstrumentID, sizeof c.InstrumentID));
  if (c.TriggerKind == 2) {
    snprintf(out, size, "条件单: %s(开盘时)", code.c_str());
  } else if (c.TriggerKind == 3) {
    const CTime32 t = TriggerTimeOf(c);
    snprintf(out, size, "条件单: %s(%02u:%02u:%02u)", code.c_str(), unsigned(t.hour), unsigned(t.minute),
             unsigned(t.second));
  } else if (c.TriggerKind == 0 || c.TriggerKind == 1) {
    static const char *const kSources[] = {"最新价", "买一价", "卖一价"};
    snprintf(format, sizeof format, "条件单: %%s(%%s) %%s %%.%if", decimals);
    snprintf(out, size, format, code.c_str(), kSources[c.PriceSource <= 2 ? c.PriceSource : 0],
             c.TriggerKind == 1 ? "<=" : ">=", c.TriggerPrice);
  } else {
    snprintf(out, size, "条件单: %s(预埋)", code.c_str());
  }
  if (PriceIsSet(c.StopPrice) || PriceIsSet(c.ProfitPrice)) {
    snprintf(format, sizeof format, ", 止损 %%.%if 浮动 %%.%if 止盈 %%.%if", decimals, decimals, decimals);
    const size_t used = strnlen(out, size);
    if (used + 1 < size) snprintf(out + used, size - used, format, c.StopPrice, c.Trailing, c.ProfitPrice);
  }
}

}  // namespace

void PutConditionRecord(const ConditionOrder &c, unsigned char out[kConditionRecordSize]) {
  ConditionRecord r{};
  memcpy(r.instrument, c.InstrumentID, sizeof r.instrument);
  r.direction = c.Direction;
  r.offset = c.OffsetFlag;
  r.hedge = c.HedgeFlag;
  r.priceSource = c.PriceSource;
  r.ticks = c.Ticks;
  r.triggerKind = c.TriggerKind;
  r.priceKind = c.PriceKind;
  r.volume = c.Volume;
  r.tickOffset = c.TickOffset;
  r.cancelAfter = c.CancelAfter;
  memcpy(r.trigger, &c.TriggerPrice, sizeof r.trigger);
  r.fixedPrice = c.FixedPrice;
  r.stopPrice = c.StopPrice;
  r.profitPrice = c.ProfitPrice;
  r.trailing = c.Trailing;
  r.expiry = c.Expiry;
  r.reorder = c.Reorder;
  r.state = c.State;
  SystemTimeWords(c.Made, r.made);
  memcpy(out, &r, sizeof r);
}

ConditionOrder GetConditionRecord(const unsigned char in[kConditionRecordSize]) {
  ConditionRecord r;
  memcpy(&r, in, sizeof r);
  ConditionOrder c;
  memset(static_cast<void *>(&c), 0, sizeof c);
  memcpy(c.InstrumentID, r.instrument, sizeof c.InstrumentID - 1);
  c.Direction = r.direction;
  c.OffsetFlag = r.offset;
  c.HedgeFlag = r.hedge;
  c.PriceSource = r.priceSource;
  c.Ticks = r.ticks;
  c.TriggerKind = r.triggerKind;
  c.PriceKind = r.priceKind;
  c.Volume = r.volume;
  c.TickOffset = r.tickOffset;
  c.CancelAfter = r.cancelAfter;
  memcpy(&c.TriggerPrice, r.trigger, sizeof r.trigger);
  c.FixedPrice = r.fixedPrice;
  c.StopPrice = r.stopPrice;
  c.ProfitPrice = r.profitPrice;
  c.Trailing = r.trailing;
  c.Expiry = r.expiry;
  c.Reorder = r.reorder;
  c.State = r.state;
  c.Made.wYear = r.made[0];
  c.Made.wMonth = r.made[1];
  c.Made.wDayOfWeek = r.made[2];
  c.Made.wDay = r.made[3];
  c.Made.wHour = r.made[4];
  c.Made.wMinute = r.made[5];
  c.Made.wSecond = r.made[6];
  c.Made.wMilliseconds = r.made[7];
  c.Stock = STKPTR();
  return c;
}

double ConditionSourcePrice(const ConditionOrder &order, const REALQUOTE &quote, uint32_t divisor) {
  uint32_t price = quote.last;
  if (order.PriceSource == 1 && quote.bid[0].price) price = quote.bid[0].price;
  if (order.PriceSource == 2 && quote.ask[0].price) price = quote.ask[0].price;
  return double(price) / divisor;
}

bool ConditionPriceMet(const ConditionOrder &order, const REALQUOTE &quote, const PRICEHIST &history,
                       uint32_t divisor) {
  const uint32_t *previous = order.PriceSource == 1   ? history.bids
                             : order.PriceSource == 2 ? history.asks
                                                      : history.trades;
  const bool atOrAbove = order.TriggerKind == 0;
  auto meets = [&](double price) { return atOrAbove ? price >= order.TriggerPrice : price <= order.TriggerPrice; };
  if (!meets(ConditionSourcePrice(order, quote, divisor))) return false;
  const int ticks = order.Ticks < 1 ? 1 : order.Ticks > 6 ? 6 : order.Ticks;
  for (int k = 2; k <= ticks; ++k) {
    const uint32_t p = previous[k - 2];
    if (p == 0 || !meets(double(p) / divisor)) return false;
  }
  return true;
}

TConditionOrders::TConditionOrders(TTradeDesk &desk, TAutomationHooks &hooks)
    : tradeDate(PluginTradeDate), desk_(desk), hooks_(hooks) {}

bool TConditionOrders::ContractUsable(const CContractInfo *contract) const {
  return contract && contract->PriceTick > 0;
}

void TConditionOrders::LoadConditionOrders(int32_t tradeDate) {
  desk_.conditions.RemoveAll();
  aside_.clear();
  const std::string path = desk_.AccountFile("DEALLIST.SET");
  const int32_t file = FileOpen(path.c_str(), "rb");
  if (file <= 0) return;
  char magic[6] = {};
  int version = -1;
  if (FileRead(file, magic, 1, 6) == 6)
    for (int v = 0; v < 6; ++v)
      if (memcmp(magic, kVersions[v].magic, 6) == 0) version = v;
  bool rewrite = version < 4;
  if (version >= 0) {
    const size_t size = kVersions[version].size;
    const int32_t length = FileSize(file);
    const int32_t count = length > 6 ? int32_t((length - 6) / int32_t(size)) : 0;
    unsigned char bytes[kConditionRecordSize];
    for (int32_t i = 0; i < count; ++i) {
      memset(bytes, 0, sizeof bytes);
      if (FileRead(file, bytes, 1, int32_t(size)) != int32_t(size)) break;
      if (version == 2) {
        memset(bytes + 48, 0, 24);
        bytes[80] = 1;
      } else if (version <= 1) {
        memset(bytes + 48, 0, 28);
        bytes[80] = 1;
        if (version == 0) bytes[14] = uint8_t(bytes[14] + 1);
      }
      ConditionOrder order = GetConditionRecord(bytes);
      if (version >= 2 && order.Expiry != 0 && order.Expiry < tradeDate) continue;
      // The tick count is held to what the price history can answer.
      if (order.Ticks < 1 || order.Ticks > 6) order.Ticks = order.Ticks < 1 ? 1 : 6;
      if (version == 4) order.State = 0;
      const CContractInfo *contract = desk_.FindContract(order.InstrumentID);
      if (!contract) {
        if (!contractsComplete) {
          std::array<unsigned char, kConditionRecordSize> kept;
          PutConditionRecord(order, kept.data());
          aside_.push_back(kept);
        }
        continue;
      }
      order.Stock = contract->Stock;
      if (desk_.conditions.Add(order) < 0) {
        MessageBoxA(desk_.owner, "内存不足，部分条件单未能读入。  ", "错误", MB_ICONWARNING | MB_TOPMOST);
        break;
      }
    }
  }
  FileClose(file);
  if (rewrite) SaveConditionOrders();
}

void TConditionOrders::SaveConditionOrders() {
  if (desk_.contractCount > 0) {
    std::string bytes("KVDL20");
    for (int32_t i = 0; i < desk_.conditions.GetCount(); ++i) {
      unsigned char record[kConditionRecordSize];
      PutConditionRecord(desk_.conditions.GetData()[i], record);
      bytes.append(reinterpret_cast<const char *>(record), sizeof record);
    }
    for (const auto &kept : aside_) bytes.append(reinterpret_cast<const char *>(kept.data()), kept.size());
    if (!ReplaceFileBytes(desk_.AccountFile("DEALLIST.SET"), bytes.data(), bytes.size()))
      MessageBoxA(desk_.owner, "写文件失败，条件单无法保存。  ", "错误", MB_ICONWARNING | MB_TOPMOST);
  }
  LogConditionOrders(desk_);
}

void TConditionOrders::AppendDealed(const ConditionOrder &order, bool byHand) {
  const std::string path = desk_.AccountFile("Dealed.dat");
  int32_t file = FileOpen(path.c_str(), "r+b");
  if (file <= 0) return;
  char magic[6] = {};
  const bool ours = FileSize(file) >= 6 && FileRead(file, magic, 1, 6) == 6 && memcmp(magic, kDealedMagic, 6) == 0;
  bool ok = true;
  if (!ours) {
    ok = FileTruncate(file, 0) == 0 && FileWrite(file, kDealedMagic, 1, 6) == 6;
  } else {
    // A torn last record is cut off so that the records stay aligned.
    const int32_t length = FileSize(file);
    ok = FileTruncate(file, 6 + (length - 6) / int32_t(kConditionRecordSize) * int32_t(kConditionRecordSize)) >= 0;
  }
  if (ok) {
    unsigned char record[kConditionRecordSize];
    PutConditionRecord(order, record);
    if (byHand) record[81] |= kByHand;
    SYSTEMTIME now;
    GetLocalTime(&now);
    uint16_t words[8];
    SystemTimeWords(now, words);
    memcpy(record + 88, words, sizeof words);
    FileWrite(file, record, 1, sizeof record);
  }
  FileClose(file);
}

bool TConditionOrders::FireConditionOrder(int32_t index, const CContractInfo *contract) {
  if (index < 0 || index >= desk_.conditions.GetCount()) return true;
  const bool byHand = contract == nullptr;
  ConditionOrder order = desk_.conditions.GetData()[index];
  const std::string code(order.InstrumentID, strnlen(order.InstrumentID, sizeof order.InstrumentID));
  char text[512];
  if (!contract) contract = desk_.FindContract(order.InstrumentID);
  if (!ContractUsable(contract)) {
    snprintf(text, sizeof text, "2|合约%s不可交易", code.c_str());
    WriteTradeLog(desk_, TLOG_TEXT, text);
    desk_.conditions.RemoveAt(index);
    SaveConditionOrders();
    snprintf(text, sizeof text, "合约 %s 不可交易。  ", code.c_str());
    MessageBoxA(desk_.owner, text, "提示", MB_ICONERROR | MB_TOPMOST);
    return true;
  }
  if (byHand && order.OffsetFlag == '0') {
    // Before the first trade or with an empty book side the last price
    // stands in; with no price at all nothing is refused.
    const REALQUOTE *quote = QuoteOf(contract->Stock);
    const uint32_t divisor = DivisorOf(contract->Stock);
    const bool buy = order.Direction == '0';
    auto current = [&](int method) {
      if (!quote) return 0.0;
      const uint32_t side = buy ? quote->bid[0].price : quote->ask[0].price;
      return double(method == 1 && side ? side : quote->last) / divisor;
    };
    const double c1 = current(desk_.options.StopTriggerMethodL);
    if (PriceIsSet(order.StopPrice) && c1 != 0 && (buy ? c1 <= order.StopPrice : c1 >= order.StopPrice)) {
      WriteTradeLog(desk_, TLOG_TEXT, "2|最新价已超过条件单的止损价");
      MessageBoxA(desk_.owner, "最新价已达到或超过止损价，请先修改止损价。  ", "提示", MB_ICONERROR);
      return false;
    }
    const double c2 = current(desk_.options.StopTriggerMethodP);
    if (PriceIsSet(order.ProfitPrice) && c2 != 0 && (buy ? c2 >= order.ProfitPrice : c2 <= order.ProfitPrice)) {
      WriteTradeLog(desk_, TLOG_TEXT, "2|最新价已超过条件单的止盈价");
      MessageBoxA(desk_.owner, "最新价已达到或超过止盈价，请先修改止盈价。  ", "提示", MB_ICONERROR);
      return false;
    }
  }
  snprintf(text, sizeof text, "7|%s|%s|%c|%c|%c|%u|%u|%i|%i|%i|%i|%i|%.3f|%.3f|%.3f|%.3f|%.3f|%i|%u|%u",
           byHand ? "手动" : "自动", code.c_str(), order.Direction, order.OffsetFlag, order.HedgeFlag,
           unsigned(order.PriceSource), unsigned(order.Ticks), int(order.TriggerKind), int(order.PriceKind),
           order.Volume, order.TickOffset, order.CancelAfter, order.TriggerKind == 3 ? 0.0 : order.TriggerPrice,
           order.FixedPrice, order.StopPrice, order.ProfitPrice, order.Trailing, order.Expiry,
           unsigned(order.Reorder), unsigned(order.State));
  WriteTradeLog(desk_, TLOG_CONDITION_EVENT, text);

  OrderScript task;
  memset(static_cast<void *>(&task), 0, sizeof task);
  memcpy(task.InstrumentID, order.InstrumentID, sizeof task.InstrumentID - 1);
  Describe(order, DecimalsOf(*contract), task.Description, sizeof task.Description);
  task.Direction = order.Direction;
  task.OffsetFlag = order.OffsetFlag;
  task.HedgeFlag = order.HedgeFlag;
  task.TaskKind = kTaskCondition;
  task.PriceKind = uint8_t(order.PriceKind);
  task.Reorder = order.Reorder;
  task.Volume = uint32_t(order.Volume);
  task.TimeOut = order.CancelAfter == 0 ? -1 : order.CancelAfter;
  if (order.PriceKind == 2 || order.PriceKind == 5 || order.PriceKind == 6) task.TimeOut = -1;
  if (order.PriceKind == 2)
    task.PriceValue = order.FixedPrice;
  else if (order.PriceKind != 5 && order.PriceKind != 6)
    task.PriceValue = order.TickOffset * contract->PriceTick;
  if (order.OffsetFlag == '0') {
    task.StopPrice = order.StopPrice;
    task.ProfitPrice = order.ProfitPrice;
    task.Trailing = order.Trailing;
  }
  task.OrderLink = -1;

  // The intent first: the order leaves the list only once it is written.
  if (hooks_.journal) {
    FiringIntent intent;
    intent.kind = kFiringCondition;
    PutConditionRecord(order, intent.image);
    intent.volume = order.Volume;
    intent.tradeDate = tradeDate ? tradeDate() : 0;
    TaskIntent(task) = hooks_.journal->Record(intent, task);
  }
  if (desk_.tasks.Add(task) < 0) {
    if (hooks_.journal && TaskIntent(task)) hooks_.journal->Forget(TaskIntent(task));
    WriteTradeLog(desk_, TLOG_TEXT, "1|内存不足，条件单未能下单");
    return false;
  }
  AppendDealed(order, byHand);
  desk_.conditions.RemoveAt(index);
  SaveConditionOrders();
  return true;
}

void TConditionOrders::AfterWalk(bool fired, bool wasEmpty) {
  if (fired && hooks_.conditionPageActiveTab && hooks_.conditionPageActiveTab() && hooks_.refillConditionPage)
    hooks_.refillConditionPage();
  hooks_.StartQueue(desk_.tasks, wasEmpty);
}

template <typename Due>
void TConditionOrders::FireDue(Due due) {
  const bool wasEmpty = desk_.tasks.IsEmpty();
  if (!hooks_.Armed() || !hooks_.Allows(kRightConditionOrders)) return;
  bool fired = false;
  for (int32_t i = 0; i < desk_.conditions.GetCount();) {
    const ConditionOrder &order = desk_.conditions.GetData()[i];
    const CContractInfo *contract = nullptr;
    if (!(order.State & kPaused)) contract = desk_.FindContract(order.InstrumentID);
    if (ContractUsable(contract) && due(order, *contract)) {
      const int32_t before = desk_.conditions.GetCount();
      FireConditionOrder(i, contract);
      if (desk_.conditions.GetCount() < before) {
        fired = true;
        continue;
      }
    }
    ++i;
  }
  AfterWalk(fired, wasEmpty);
}

void TConditionOrders::TriggerOpenConditionOrders(const char *exchange) {
  FireDue([exchange](const ConditionOrder &order, const CContractInfo &contract) {
    return order.TriggerKind == 2 && strncasecmp(contract.ExchangeID, exchange, sizeof contract.ExchangeID) == 0;
  });
}

void TConditionOrders::CheckTimeConditionOrders() {
  SYSTEMTIME local;
  GetLocalTime(&local);
  CTime32 time(local);
  const int32_t now = int32_t(time.hour) * 10000 + int32_t(time.minute) * 100 + int32_t(time.second);
  time.PrevMinute();
  int32_t start = int32_t(time.hour) * 10000 + int32_t(time.minute) * 100 + int32_t(time.second);
  if (now < start) start = -1;
  FireDue([now, start](const ConditionOrder &order, const CContractInfo &) {
    if (order.TriggerKind != 3) return false;
    const CTime32 at = TriggerTimeOf(order);
    const int32_t t = int32_t(at.hour) * 10000 + int32_t(at.minute) * 100 + int32_t(at.second);
    return start < t && t <= now;
  });
}

bool TConditionOrders::HasArmedAutomation() const {
  for (int32_t i = 0; i < desk_.conditions.GetCount(); ++i) {
    const ConditionOrder &order = desk_.conditions.GetData()[i];
    if (order.TriggerKind != -1 && !(order.State & kPaused)) return true;
  }
  if (hooks_.hasPendingOrders && hooks_.hasPendingOrders()) return true;
  for (int32_t i = 0; i < desk_.positions.GetCount(); ++i)
    if (desk_.positions.GetData()[i].StopCount() > 0) return true;
  return false;
}
