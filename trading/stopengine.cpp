#include "trading/stopengine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/emem.h"
#include "market/dataio5.h"
#include "trading/conditionorders.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/firingjournal.h"
#include "trading/stoporders.h"
#include "trading/tradelog.h"

struct TStopEngine::Run {
  STKPTR stock;
  const REALQUOTE &quote;
  const PRICEHIST *history;
  double divisor;
  double last;
  // The instrument's slot while the index is in use, else null.
  Slot *slot = nullptr;
  bool cleared = false;  // queued volumes set to 0 in this run
  bool contractSought = false;
  const CContractInfo *contract = nullptr;

  // The first contract record of the instrument, sought once per run.
  const CContractInfo *Contract(const TTradeDesk &desk) {
    if (contractSought) return contract;
    contractSought = true;
    if (slot) {
      contract = slot->contract >= 0 ? &desk.contracts[slot->contract] : nullptr;
      return contract;
    }
    for (int32_t c = 0; c < desk.contractCount && !contract; ++c)
      if (SameStock(desk.contracts[c].Stock, stock)) contract = &desk.contracts[c];
    return contract;
  }
};

namespace {

const PRICEHIST kNoHistory{};

double Price(uint32_t raw, double divisor) { return double(raw) / divisor; }

int TriggerCount(int option) { return option < 1 ? 1 : option > 6 ? 6 : option; }

// A trailing step is taken when the price reaches it within a millionth,
// so that a price landing right on a step is not missed for the rounding
// of the sums (prices come in thousandths, at finest ten-thousandths).
constexpr double kStopEngineTrailSlack = 1e-6;

// The whole steps of d by which the price has gone past the reference,
// upwards for a long, downwards for a short: counted at once, so that a far
// jump over a fine distance takes no more time than one step.
double StopEngineTrailSteps(double reference, double d, double last, bool isLong) {
  const double gap = (isLong ? last - reference : reference - last) + kStopEngineTrailSlack;
  return gap >= d ? std::floor(gap / d) : 0;
}

const char *HedgeShortName(char hedge) { return hedge == '2' ? "  套" : hedge == '3' ? "  保" : "投"; }
const char *AttributeSuffix(char attribute) { return attribute == 1 ? ",昨仓" : attribute == 2 ? ",今仓" : ""; }

// Instruments are told apart by market and stock index only, as SameStock
// does; the key never reaches the empty slot's all-ones.
uint32_t StopIndexKey(STKPTR stock) { return uint32_t(stock.market) | uint32_t(stock.stock) << 8; }
size_t StopIndexHash(uint32_t key) {
  uint32_t h = key * 0x9E3779B1u;
  return size_t(h ^ h >> 15);
}

}  // namespace

bool StopEngineMarket(int market) {
  const TMarketData *data = MarketAt(market);
  if (data && data->m_info.type == 2) return true;
  for (int i = 0; i < GetExtraCodeAskMarketCount(); ++i)
    if (GetExtraCodeAskMarketAt(i) == market) return true;
  return false;
}

TStopEngine::TStopEngine(TTradeDesk &desk, TAutomationHooks &hooks, TConditionOrders &conditions)
    : tradeDate(PluginTradeDate), desk_(desk), hooks_(hooks), conditions_(conditions) {}

inline bool TStopEngine::IndexCurrent() const {
  return indexBuilt_ && desk_.positions.Changes() == seenPositions_ && desk_.conditions.Changes() == seenConditions_ &&
         desk_.ContractTableChanges() == seenContracts_ && desk_.positions.GetData() == seenPositionData_ &&
         desk_.conditions.GetData() == seenConditionData_ && desk_.contracts == seenContractData_;
}

inline TStopEngine::Slot *TStopEngine::FindSlot(uint32_t key) {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t h = StopIndexHash(key) & mask;; h = (h + 1) & mask) {
    Slot &slot = slots_[h];
    if (slot.key == key) return &slot;
    if (slot.key == kNoSlotKey) return nullptr;
  }
}

void TStopEngine::CheckStopOrders(STKPTR stock, const REALQUOTE &quote, const STKINFO &info) {
  Check(stock, true, quote, info);
}

void TStopEngine::CheckStopOrders(uint32_t word, const REALQUOTE &quote, const STKINFO &info) {
  STKPTR stock;
  stock.market = uint8_t(word & 0xFF);
  stock.stock = uint16_t(word >> 16);
  Check(stock, false, quote, info);
}

void TStopEngine::Check(STKPTR stock, bool kindKnown, const REALQUOTE &quote, const STKINFO &info) {
  if (!StopEngineMarket(stock.market)) return;
  if (hooks_.linkSendQuote) hooks_.linkSendQuote(kindKnown ? stock : STKPTR(stock.Word()), quote);
  const bool wasEmpty = desk_.tasks.IsEmpty();
  const bool indexed = !walkAll && (IndexCurrent() || BuildIndex());
  Slot *slot = indexed ? FindSlot(StopIndexKey(stock)) : nullptr;
  if (indexed && !slot) {
    // No position and no condition order of the instrument: nothing can
    // fire or move, only a queue that waits goes on.
    if (!desk_.tasks.IsEmpty() && hooks_.Armed()) hooks_.StartQueue(desk_.tasks, wasEmpty);
    return;
  }
  const double divisor = double(info.PriceDivisor());
  bool stopsReached = true, ordersReached = true;
  if (slot) {
    // The lowest and the highest of the prices the entries and orders are
    // tested against: the last price, and the bid and the ask where they
    // are not 0. Dividing keeps the order of the raw prices.
    uint32_t low = quote.last, high = quote.last;
    for (const uint32_t side : {quote.bid[0].price, quote.ask[0].price}) {
      if (side && side < low) low = side;
      if (side > high) high = side;
    }
    const double lowest = Price(low, divisor), highest = Price(high, divisor);
    stopsReached = false;
    if (slot->positionCount > 0) {
      if (!slot->stopBandKnown || slot->stopBandSeen != StopEntryChanges()) ComputeStopBand(*slot);
      stopsReached = slot->stopAlways || lowest <= slot->stopLow || highest >= slot->stopHigh;
    }
    ordersReached = slot->conditionCount > 0 && (lowest <= slot->orderLow || highest >= slot->orderHigh);
  }
  Run run{stock, quote, &kNoHistory, divisor, Price(quote.last, divisor)};
  run.slot = slot;
  if (!stopsReached && !ordersReached) {
    // Nothing fires or moves at this price.
    if (hooks_.positionPageShown) ProfitColumns(run);
    if (!desk_.tasks.IsEmpty() && hooks_.Armed()) hooks_.StartQueue(desk_.tasks, wasEmpty);
    return;
  }
  const TMarketData *market = MarketAt(stock.market);
  if (market && market->m_priceHist && stock.stock < market->m_loadedCount) run.history = &market->m_priceHist[stock.stock];
  const bool armed = hooks_.Armed();
  if (stopsReached && armed && hooks_.Allows(kRightStopOrders)) {
    PositionPass(run, false);
    PositionPass(run, true);
  }
  ProfitColumns(run);
  if (!armed) return;
  if (ordersReached && hooks_.Allows(kRightConditionOrders)) ConditionTest(run);
  // Close tasks go out whether or not the account may use condition orders.
  hooks_.StartQueue(desk_.tasks, wasEmpty);
}

void TStopEngine::ComputeStopBand(Slot &slot) {
  double low = -HUGE_VAL, high = HUGE_VAL;
  bool always = false;
  for (int32_t k = 0; k < slot.positionCount; ++k) {
    const InvestorPosition_Lite &r = desk_.positions.GetData()[positionRefs_[size_t(slot.firstPosition + k)]];
    if (!r.Stops || (r.PosiDirection != '2' && r.PosiDirection != '3')) continue;
    const bool isLong = r.PosiDirection == '2';
    // The same sums and tests as the walk makes (a trailing step's edge
    // drawn in by twice the slack, so that no rounding leaves a step out),
    // so that a price outside the band is one the walk would pass over.
    for (const StopOrder *e = r.Stops->First; e; e = e->Next) {
      if (PriceIsSet(e->StopPrice) && PriceIsSet(e->Trailing)) {
        if (!PriceIsSet(e->TrailReference)) {
          always = true;
        } else if (isLong) {
          const double step = e->TrailReference + e->Trailing - 2 * kStopEngineTrailSlack;
          if (step < high) high = step;
        } else {
          const double step = e->TrailReference - e->Trailing + 2 * kStopEngineTrailSlack;
          if (step > low) low = step;
        }
      }
      if (PriceIsSet(e->StopPrice)) {
        if (isLong && e->StopPrice > low) low = e->StopPrice;
        if (!isLong && e->StopPrice < high) high = e->StopPrice;
      }
      if (PriceIsSet(e->ProfitPrice)) {
        if (isLong && e->ProfitPrice < high) high = e->ProfitPrice;
        if (!isLong && e->ProfitPrice > low) low = e->ProfitPrice;
      }
    }
  }
  slot.stopLow = low;
  slot.stopHigh = high;
  slot.stopAlways = always;
  slot.stopBandSeen = StopEntryChanges();
  slot.stopBandKnown = true;
}

TStopEngine::Slot *TStopEngine::AddSlot(uint32_t key) {
  const size_t mask = slots_.size() - 1;
  size_t h = StopIndexHash(key) & mask;
  while (slots_[h].key != key && slots_[h].key != kNoSlotKey) h = (h + 1) & mask;
  slots_[h].key = key;
  return &slots_[h];
}

bool TStopEngine::BuildIndex() {
  indexBuilt_ = false;
  const int32_t positions = desk_.positions.GetCount();
  const int32_t conditions = desk_.conditions.GetCount();
  const InvestorPosition_Lite *position = desk_.positions.GetData();
  const ConditionOrder *condition = desk_.conditions.GetData();
  // At most half the table is taken, so every probe ends on an empty slot.
  size_t size = 16;
  while (size < 2 * (size_t(positions) + size_t(conditions))) size *= 2;
  try {
    slots_.assign(size, Slot{kNoSlotKey, 0, 0, 0, 0, -1, -HUGE_VAL, HUGE_VAL, 0, 0, 0, false, false});
    positionRefs_.resize(size_t(positions));
    conditionRefs_.resize(size_t(conditions));
  } catch (const std::bad_alloc &) {
    return false;
  }
  for (int32_t i = 0; i < positions; ++i) ++AddSlot(StopIndexKey(position[i].Stock))->positionCount;
  for (int32_t i = 0; i < conditions; ++i) ++AddSlot(StopIndexKey(condition[i].Stock))->conditionCount;
  int32_t nextPosition = 0, nextCondition = 0;
  for (Slot &slot : slots_) {
    if (slot.key == kNoSlotKey) continue;
    slot.firstPosition = nextPosition;
    nextPosition += slot.positionCount;
    slot.positionCount = 0;
    slot.firstCondition = nextCondition;
    nextCondition += slot.conditionCount;
    slot.conditionCount = 0;
  }
  for (int32_t i = 0; i < positions; ++i) {
    Slot *slot = FindSlot(StopIndexKey(position[i].Stock));
    positionRefs_[size_t(slot->firstPosition + slot->positionCount++)] = i;
  }
  for (int32_t i = 0; i < conditions; ++i) {
    Slot *slot = FindSlot(StopIndexKey(condition[i].Stock));
    conditionRefs_[size_t(slot->firstCondition + slot->conditionCount++)] = i;
    // Paused orders count too: a page may resume them in place.
    const ConditionOrder &order = condition[i];
    if (order.TriggerKind == 0 && order.TriggerPrice < slot->orderHigh) slot->orderHigh = order.TriggerPrice;
    if (order.TriggerKind == 1 && order.TriggerPrice > slot->orderLow) slot->orderLow = order.TriggerPrice;
  }
  for (int32_t c = 0; c < desk_.contractCount; ++c) {
    Slot *slot = FindSlot(StopIndexKey(desk_.contracts[c].Stock));
    if (slot && slot->contract < 0) slot->contract = c;
  }
  seenPositions_ = desk_.positions.Changes();
  seenConditions_ = desk_.conditions.Changes();
  seenContracts_ = desk_.ContractTableChanges();
  seenPositionData_ = position;
  seenConditionData_ = condition;
  seenContractData_ = desk_.contracts;
  indexBuilt_ = true;
  return true;
}

template <typename Record, typename Visit>
void TStopEngine::ForEachOfInstrument(Run &run, const EArray<Record> &array, const std::vector<int32_t> &refs,
                                      int32_t first, int32_t count, uint32_t seen, Visit visit) {
  int32_t next = 0;
  if (run.slot) {
    for (int32_t k = 0; k < count && array.Changes() == seen; ++k) next = visit(refs[size_t(first + k)]);
    if (array.Changes() == seen) return;
  }
  for (int32_t i = next; i < array.GetCount();) i = SameStock(array.GetData()[i].Stock, run.stock) ? visit(i) : i + 1;
}

void TStopEngine::PositionPass(Run &run, bool yesterday) {
  if (run.slot && run.slot->positionCount == 0) return;
  const InvestorPosition_Lite *dialog = hooks_.stopDialogPosition ? hooks_.stopDialogPosition() : nullptr;
  auto visit = [&](int32_t i) {
    InvestorPosition_Lite &r = desk_.positions.GetData()[i];
    if ((r.Attribute == 1) != yesterday || r.Volume <= 0 || !r.Stops || !r.Stops->First) return i + 1;
    if (dialog && SameStock(dialog->Stock, r.Stock) && dialog->PosiDirection == r.PosiDirection &&
        dialog->HedgeFlag == r.HedgeFlag)
      return i + 1;
    if ((r.PosiDirection != '2' && r.PosiDirection != '3') || run.last == 0) return i + 1;
    const CContractInfo *contract = run.Contract(desk_);
    if (!contract || !(contract->PriceTick > 0)) return i + 1;
    WalkEntries(run, i, *contract);
    return i + 1;
  };
  const int32_t first = run.slot ? run.slot->firstPosition : 0, count = run.slot ? run.slot->positionCount : 0;
  ForEachOfInstrument(run, desk_.positions, positionRefs_, first, count, seenPositions_, visit);
}

void TStopEngine::WalkEntries(Run &run, int32_t index, const CContractInfo &contract) {
  InvestorPosition_Lite &r = desk_.positions.GetData()[index];
  const bool isLong = r.PosiDirection == '2';
  const TradingOptions &o = desk_.options;
  const double last = run.last;
  bool moved = false;
  auto current = [&](int method) {
    if (method != 1) return last;
    const uint32_t side = isLong ? run.quote.bid[0].price : run.quote.ask[0].price;
    return side ? Price(side, run.divisor) : last;
  };
  auto history = [&](int method) -> const uint32_t * {
    if (method != 1) return run.history->trades;
    return isLong ? run.history->bids : run.history->asks;
  };
  auto reached = [&](double price, double level, bool atOrBelow) { return atOrBelow ? price <= level : price >= level; };
  auto hit = [&](double level, int method, int count, bool atOrBelow) {
    if (!reached(current(method), level, atOrBelow)) return false;
    const uint32_t *previous = history(method);
    for (int k = 2; k <= TriggerCount(count); ++k)
      if (previous[k - 2] == 0 || !reached(Price(previous[k - 2], run.divisor), level, atOrBelow)) return false;
    return true;
  };

  StopOrder **link = &r.Stops->First;
  while (r.Stops && *link) {
    StopOrder *e = *link;
    bool changed = false;
    if (PriceIsSet(e->StopPrice) && PriceIsSet(e->Trailing)) {
      const double d = e->Trailing;
      if (!PriceIsSet(e->TrailReference)) {
        e->TrailReference = last;
        changed = true;
      } else if (const double steps = StopEngineTrailSteps(e->TrailReference, d, last, isLong); steps > 0) {
        const double move = isLong ? steps * d : -steps * d;
        e->TrailReference += move;
        e->StopPrice += move;
        changed = true;
      }
      if (changed) MarkStopEntriesChanged();
      moved = moved || changed;
    }
    bool stopHit = PriceIsSet(e->StopPrice) && hit(e->StopPrice, o.StopTriggerMethodL, o.StopTrigger, isLong);
    bool profitHit =
        !stopHit && PriceIsSet(e->ProfitPrice) && hit(e->ProfitPrice, o.StopTriggerMethodP, o.StopTriggerP, !isLong);
    bool fired = false;
    if (stopHit || profitHit) fired = Fire(run, index, link, stopHit, contract);
    if (fired || changed) {
      if (hooks_.updatePositionStopColumns) hooks_.updatePositionStopColumns(index);
      SaveStopOrders(desk_, &r, true);
    }
    if (*link == e) link = &e->Next;
  }
  // Entries whose stops moved take their places again, so that what is
  // left goes to the entry the order names, as after a restart.
  if (moved && r.Stops && r.Stops->First && r.Stops->First->Next) {
    StopOrder *before = r.Stops->First;
    r.Stops->Sort(r.PosiDirection);
    bool reordered = before != r.Stops->First;
    for (StopOrder *a = before, *b = r.Stops->First; !reordered && a && b; a = a->Next, b = b->Next)
      reordered = a != b;
    if (reordered) SaveStopOrders(desk_, &r, false);
  }
}

bool TStopEngine::Fire(Run &run, int32_t index, StopOrder **link, bool stop, const CContractInfo &contract) {
  if (!run.cleared) {
    for (int32_t i = 0; i < desk_.positions.GetCount(); ++i) desk_.positions.GetData()[i].Further = 0;
    run.cleared = true;
  }
  InvestorPosition_Lite &r = desk_.positions.GetData()[index];
  StopOrder *e = *link;
  const int32_t references = r.Stops->References;
  const bool alone = references <= 1;
  const int32_t available = r.Volume - r.Frozen - r.Further;
  if (available <= 0 && !alone) return false;

  char text[512];
  LogQuoteSnapshot(desk_, contract, run.quote, *run.history, text, sizeof text);
  const int32_t logged = references == 2 ? (e->Volume < available ? e->Volume : available) : e->Volume;
  const char *code = r.InstrumentID;
  const int codeLength = int(strnlen(code, sizeof r.InstrumentID));
  const CTime32 set = e->SetTime;
  snprintf(text, sizeof text, "%c|%s|%.*s|%c|%c|%i|%i|%.3f|%.3f|%.3f|%u-%02u-%02u %02u:%02u:%02u", stop ? '7' : '8',
           "自动", codeLength, code, r.PosiDirection, r.HedgeFlag, int(r.Attribute), logged,
           stop ? e->StopPrice : 0.0, stop ? e->Trailing : 0.0, stop ? 0.0 : e->ProfitPrice, 2000u + set.year,
           unsigned(set.month), unsigned(set.day), unsigned(set.hour), unsigned(set.minute), unsigned(set.second));
  WriteTradeLog(desk_, TLOG_STOP_EVENT, text);
  if (alone) {
    if (available < 1) {
      WriteTradeLog(desk_, TLOG_TEXT, "1|可用数量为0，未能平仓");
    } else if (available < e->Volume) {
      snprintf(text, sizeof text,
               stop ? "1|可用数量（%i）小于止损数量，以可用数量下单" : "1|可用数量（%i）小于止盈数量，以可用数量下单",
               available);
      WriteTradeLog(desk_, TLOG_TEXT, text);
    }
  }

  int32_t intentNumber = 0;
  if (available > 0) {
    OrderScript task;
    memset(static_cast<void *>(&task), 0, sizeof task);
    memcpy(task.InstrumentID, code, size_t(codeLength));
    const bool isLong = r.PosiDirection == '2';
    if (stop)
      snprintf(task.Description, sizeof task.Description, "对 %.*s(%s,%s%s) 执行止损（止损触发: %.3f，浮动: %.3f）",
               codeLength, code, isLong ? "买" : "卖", HedgeShortName(r.HedgeFlag), AttributeSuffix(r.Attribute),
               e->StopPrice, e->Trailing);
    else
      snprintf(task.Description, sizeof task.Description, "对 %.*s(%s,%s%s) 执行止盈（止盈触发: %.3f）", codeLength,
               code, isLong ? "买" : "卖", HedgeShortName(r.HedgeFlag), AttributeSuffix(r.Attribute), e->ProfitPrice);
    task.Direction = isLong ? '1' : '0';
    task.OffsetFlag = r.Attribute == 2 ? '3' : '1';
    task.HedgeFlag = r.HedgeFlag;
    task.TaskKind = kTaskStop;
    task.Volume = uint32_t(available < e->Volume ? available : e->Volume);
    task.OrderLink = -1;
    const double tick = contract.PriceTick;
    switch (stop ? desk_.options.StopLPrice : desk_.options.StopPPrice) {
      case 1:
        task.PriceKind = 3;
        task.TimeOut = -1;
        break;
      case 2:
        task.PriceKind = isLong ? 6 : 5;
        task.TimeOut = -1;
        break;
      case 3:
        task.PriceKind = 2;
        task.PriceValue = std::trunc((stop ? e->StopPrice : e->ProfitPrice) / tick + 0.000001) * tick;
        task.TimeOut = -1;
        break;
      default:
        task.PriceKind = 1;
        task.PriceValue = (isLong ? desk_.options.PriceOffsetSSell : desk_.options.PriceOffsetS) * tick;
        task.TimeOut = 0;
        break;
    }
    // The intent goes first: the entry gives up volume only once it is
    // written and the task is queued.
    if (hooks_.journal) {
      FiringIntent intent;
      intent.kind = kFiringStop;
      memcpy(intent.code, code, size_t(codeLength));
      intent.posDirection = r.PosiDirection;
      intent.posHedge = r.HedgeFlag;
      PutStopRecord(*e, intent.image);
      intent.volume = int32_t(task.Volume);
      intent.tradeDate = tradeDate ? tradeDate() : 0;
      intentNumber = hooks_.journal->Record(intent, task);
      TaskIntent(task) = intentNumber;
    }
    if (desk_.tasks.Add(task) < 0) {
      if (intentNumber) hooks_.journal->Forget(intentNumber);
      WriteTradeLog(desk_, TLOG_TEXT, "1|内存不足，止损单未能下单");
      return false;
    }
    r.Further += int32_t(task.Volume);
  }
  if (alone || available >= e->Volume) {
    *link = e->Next;
    Free(e);
  } else {
    e->Volume -= available;
  }
  MarkStopEntriesChanged();
  return true;
}

void TStopEngine::ProfitColumns(Run &run) {
  if (run.slot && run.slot->positionCount == 0) return;
  if (!hooks_.positionPageShown || !hooks_.positionPageShown() || !hooks_.profitCells) return;
  auto visit = [&](int32_t i) {
    const InvestorPosition_Lite &r = desk_.positions.GetData()[i];
    if (r.Volume <= 0) return i + 1;
    const CContractInfo *contract = run.Contract(desk_);
    if (!contract) return i + 1;
    const double p = run.quote.last ? run.last : Price(run.quote.prevClose, run.divisor);
    if (p == 0) {
      hooks_.profitCells(i, "", "");
      return i + 1;
    }
    const double units = double(r.Volume) * contract->VolumeMultiple;
    const double sign = r.PosiDirection == '2' ? 1 : -1;
    char floating[32], holding[32] = "";
    snprintf(floating, sizeof floating, "%.2f", sign * (p - r.OpenAverage) * units);
    TrimPriceText(floating);
    if (r.HoldingAverage != 0) {
      snprintf(holding, sizeof holding, "%.2f", sign * (p - r.HoldingAverage) * units);
      TrimPriceText(holding);
    }
    hooks_.profitCells(i, floating, holding);
    return i + 1;
  };
  const int32_t first = run.slot ? run.slot->firstPosition : 0, count = run.slot ? run.slot->positionCount : 0;
  ForEachOfInstrument(run, desk_.positions, positionRefs_, first, count, seenPositions_, visit);
}

void TStopEngine::ConditionTest(Run &run) {
  if (run.last == 0 || (run.slot && run.slot->conditionCount == 0)) return;
  bool fired = false;
  auto visit = [&](int32_t i) {
    const ConditionOrder &order = desk_.conditions.GetData()[i];
    // The price test is the cheap one; the contract is looked up only for
    // an order that is met.
    const CContractInfo *contract = nullptr;
    if ((order.TriggerKind == 0 || order.TriggerKind == 1) && !(order.State & 0x01) &&
        ConditionPriceMet(order, run.quote, *run.history, uint32_t(run.divisor)))
      contract = desk_.FindContract(order.InstrumentID);
    if (contract && contract->PriceTick > 0) {
      char text[512];
      LogQuoteSnapshot(desk_, *contract, run.quote, *run.history, text, sizeof text);
      const int32_t before = desk_.conditions.GetCount();
      conditions_.FireConditionOrder(i, contract);
      // An order that left the list: the next one now has its index.
      if (desk_.conditions.GetCount() < before) {
        fired = true;
        return i;
      }
    }
    return i + 1;
  };
  const int32_t first = run.slot ? run.slot->firstCondition : 0, count = run.slot ? run.slot->conditionCount : 0;
  ForEachOfInstrument(run, desk_.conditions, conditionRefs_, first, count, seenConditions_, visit);
  if (fired && hooks_.conditionPageActiveTab && hooks_.conditionPageActiveTab() && hooks_.refillConditionPage)
    hooks_.refillConditionPage();
}
