#include "market/dataagent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/emem.h"
#include "market/barseries.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "platform/winuser.h"

namespace {

constexpr int32_t kTick = int32_t(sizeof(TICKREC));
constexpr int32_t kTrend = int32_t(sizeof(TRENDREC));
// Live appends work in place; a buffer within this many records of its end
// is rebuilt from the files.
constexpr int32_t kAppendReserve = 64;
constexpr int32_t kTickSpare = 516;
constexpr int32_t kTickMinimum = 12800;
constexpr int32_t kRecentTradesCapacity = 566;
// The trend holds a whole day and the reserve beside it, so a kind that
// trades up to 1440 minutes never runs into the rebuild.
constexpr int32_t kTrendCapacity = kTrendSlotsPerDay + kAppendReserve + 1;

uint32_t g_nextTag = 1;

enum Append : int { kUnchanged = 0, kChanged = 1 };

bool IsBarKind(int kind) { return kind >= kAgentUnbuilt5 && kind <= kAgentUnbuilt11; }
bool IsTurnoverMarket(int type) { return type == 1 || type == 6; }

int32_t ItemSizeOf(int kind) {
  switch (kind) {
    case kAgentTicks:
    case kAgentRecentTrades: return kTick;
    case kAgentMinuteTrend: return kTrend;
    default: return IsBarKind(kind) ? int32_t(sizeof(KLINEBAR)) : 0;
  }
}

// What an agent is about: its market, stock and kind, when the market
// table has them.
struct Place {
  TMarketData *md = nullptr;
  int stock = -1;
  int kind = -1;
  REALQUOTE *quote = nullptr;
  const STKINFO *info = nullptr;
};

Place PlaceOf(const CDataAgent &a) {
  Place p;
  p.md = MarketAt(a.stock.market);
  STKINFO *info = GetStockInfo(a.stock.Word());
  if (!p.md || !info) return Place{};
  p.stock = a.stock.stock;
  p.info = info;
  const int k = StockKindOf(p.md, p.stock);
  p.kind = k >= 0 && k < p.md->m_info.kindCount && k < kMaxStockKinds ? k : -1;
  p.quote = p.md->m_quotes ? &p.md->m_quotes[p.stock] : nullptr;
  return p;
}

int32_t IndexOf(const CDataAgent *a) {
  EArray<CDataAgent> &agents = DataAgents();
  const CDataAgent *first = agents.GetData();
  if (!first || a < first || a >= first + agents.GetCount()) return -1;
  return int32_t(a - first);
}

// Gives the agent's buffer room for at least n items of its size.
bool Reserve(CDataAgent *a, int32_t n) {
  const int64_t bytes = int64_t(n) * a->itemSize;
  if (bytes > INT32_MAX) return false;
  if (!a->series || MSize(a->series) < bytes) {
    Free(a->series);
    a->series = Malloc(int32_t(bytes));
  }
  a->capacity = a->series ? MSize(a->series) / a->itemSize : 0;
  return a->series != nullptr;
}

void ClearSums(CDataAgent *a) {
  a->sideVolume[0] = a->sideVolume[1] = 0;
  a->priceVolumeSum = a->volumeSum = 0;
}

// Markets whose trades bring no volume to compare with.
bool VolumeExempt(const Place &p) {
  const int type = p.md->m_info.type;
  return type == 3 || type == 4 || type == 7 || (type == 6 && p.md->m_info.kinds[p.kind].noOrderBook);
}

// Adds a trade's volume to its side; trades of neither side count half to
// each.
uint8_t AddToSide(CDataAgent *a, uint32_t flags, float volume) {
  if (flags & kAgentQuoteBuyer) {
    a->sideVolume[0] += volume;
    return 0;
  }
  if (flags & kAgentQuoteSeller) {
    a->sideVolume[1] += volume;
    return 1;
  }
  a->sideVolume[0] += volume / 2;
  a->sideVolume[1] += volume / 2;
  return 2;
}

// ---- Ticks and latest trades ---------------------------------------------------

// Builds a tick (or latest-trade) series from its file, keeping the trades
// that arrived live since the last build and that the file does not hold
// yet.
void BuildTrades(int32_t index, bool withRequests) {
  CDataAgent *a = DataAgentAt(index);
  if (!a) return;
  const bool ticks = a->kind == kAgentTicks;
  const Place p = PlaceOf(*a);
  ++a->generation;

  // The newest live items, kept aside.
  const int32_t live = std::clamp<int32_t>(int32_t(std::min<uint32_t>(a->count, INT32_MAX)), 0, a->itemCount);
  TICKREC *kept = nullptr;
  if (live > 0 && a->series && (kept = static_cast<TICKREC *>(Malloc(live * kTick))))
    std::memcpy(kept, static_cast<TICKREC *>(a->series) + (a->itemCount - live), size_t(live) * kTick);
  a->count = 0;
  a->itemCount = 0;
  ClearSums(a);

  int32_t room = kRecentTradesCapacity;
  if (ticks) room = std::max((p.md ? CountTicks(p.md, p.stock) : 0) + kTickSpare, kTickMinimum);
  if (!Reserve(a, room)) {
    Free(kept);
    return;
  }
  int32_t n = 0;
  TICKREC **buffer = reinterpret_cast<TICKREC **>(&a->series);
  const uint32_t tag = withRequests ? a->requestTag : 0;
  if (ticks)
    LoadTicksFor(buffer, a->stock.Word(), &n, tag);
  else
    LoadRecentTradesFor(buffer, a->stock.Word(), &n, tag);
  a->capacity = a->series ? MSize(a->series) / kTick : 0;
  n = std::clamp(n, 0, a->capacity);
  TICKREC *r = static_cast<TICKREC *>(a->series);
  REALQUOTE *q = p.quote;
  const bool turnover = p.md && IsTurnoverMarket(p.md->m_info.type);

  for (int32_t i = 0; i < n; ++i) {
    TICKREC &t = r[i];
    if (t.price == 0)
      t.price = i > 0 ? r[i - 1].price : (q && q->prevClose ? q->prevClose : (p.info ? p.info->priceDivisor : 0));
    if (q && q->high && t.price > q->high) q->high = t.price;
    if (q && q->low && t.price < q->low) q->low = t.price;
    if (i > 0 && t.volume < r[i - 1].volume) t.volume = r[i - 1].volume;
    if (i > 0 && turnover && t.amount < r[i - 1].amount) t.amount = r[i - 1].amount;
  }

  // Live trades the file does not hold yet: the newest that still fit under
  // the quote's volume, in their order, as running totals.
  const float fileVolume = n > 0 ? r[n - 1].volume : 0;
  if (q && q->last && q->volume > fileVolume && kept) {
    const float excess = q->volume - fileVolume;
    float sum = 0;
    int32_t take = 0;
    for (int32_t j = live - 1; j >= 0 && sum + kept[j].volume <= excess; --j, ++take) sum += kept[j].volume;
    float running = fileVolume;
    for (int32_t j = live - take; j < live && n < a->capacity; ++j) {
      TICKREC t = kept[j];
      running += t.volume;
      t.volume = running;
      r[n++] = t;
      ++a->count;
    }
  }
  Free(kept);

  // Per-trade volumes, each added to its side.
  float half = 0;
  for (int32_t i = n - 1; i >= 1; --i) {
    const float v = std::max(r[i].volume - r[i - 1].volume, 0.0f);
    r[i].volume = v;
    if (!ticks) continue;
    if (r[i].side == 0)
      a->sideVolume[0] += v;
    else if (r[i].side == 1)
      a->sideVolume[1] += v;
    else
      half += v;
  }
  a->sideVolume[0] += half / 2;
  a->sideVolume[1] += half / 2;
  if (ticks && p.md && !turnover && q && q->volume > 0) {
    for (int32_t i = 0; i < n; ++i) {
      a->priceVolumeSum += float(r[i].price) * r[i].volume;
      a->volumeSum += r[i].volume;
    }
  }
  if (!ticks) ClearSums(a);
  a->itemCount = n;
}

int AppendTrade(int32_t index, const REALQUOTE &q, uint32_t flags) {
  CDataAgent *a = DataAgentAt(index);
  const Place p = PlaceOf(*a);
  if (!p.md || p.kind < 0 || !IsInDayWindow(p.md, p.kind)) return kUnchanged;
  if (!a->series || a->itemCount >= a->capacity || !(flags & kAgentQuoteTrade)) return kChanged;
  TICKREC *r = static_cast<TICKREC *>(a->series);
  const int32_t n = a->itemCount;
  if (!VolumeExempt(p) && n > 0 && r[n - 1].volume >= q.volume) return kChanged;

  const bool ticks = a->kind == kAgentTicks;
  const int type = p.md->m_info.type;
  TICKREC t{};
  t.time = p.md->m_currentTime;
  t.price = q.last;
  t.volume = q.lastVolume;
  t.amount = q.amount;
  t.side = 2;
  // Futures: an open interest that moved by more than the trade shows a
  // trade that did not reach us; the file is asked for again.
  if (type == 2 && n > 0) {
    const float change = std::fabs(q.amount - r[n - 1].amount);
    if (change > t.volume) {
      t.volume = change;
      if (ticks)
        RequestTicks(p.md->m_market, p.stock, a->requestTag);
      else
        RequestRecentTrades(p.md->m_market, p.stock, kRecentTradesShown, a->requestTag);
    }
  }
  if (n > 0 && t.volume > 0) {
    if (ticks) {
      if (!IsTurnoverMarket(type)) {
        a->priceVolumeSum += float(t.price) * t.volume;
        a->volumeSum += t.volume;
      }
      t.side = AddToSide(a, flags, t.volume);
    } else {
      t.side = flags & kAgentQuoteBuyer ? 0 : (flags & kAgentQuoteSeller ? 1 : 2);
    }
  }
  r[n] = t;
  a->itemCount = n + 1;
  ++a->count;
  if (a->itemCount >= a->capacity - kAppendReserve) BuildTrades(index, true);
  return kChanged;
}

// ---- Today's minute trend ------------------------------------------------------

void BuildMinuteSeries(int32_t index, bool withRequests) {
  CDataAgent *a = DataAgentAt(index);
  if (!a) return;
  a->itemCount = 0;
  ClearSums(a);
  ++a->generation;
  if (!Reserve(a, kTrendCapacity)) return;
  const Place p = PlaceOf(*a);
  if (!p.md || p.kind < 0) return;

  TRENDHEAD head{};
  int32_t n = 0;
  LoadTrendFor(reinterpret_cast<TRENDREC **>(&a->series), a->stock.Word(), &n, &head,
               withRequests ? a->requestTag : 0);
  a->capacity = a->series ? MSize(a->series) / kTrend : 0;
  a->sideVolume[0] = head.side0Volume;
  a->sideVolume[1] = head.side1Volume;
  n = std::clamp(n, 0, std::min(a->capacity, CurrentTrendSlot(p.md, p.kind) + 1));

  TRENDREC *r = static_cast<TRENDREC *>(a->series);
  REALQUOTE *q = p.quote;
  const bool turnover = IsTurnoverMarket(p.md->m_info.type);
  // The opening price of a first minute that has none.
  const uint32_t opening = q && q->open && (n == 1 || (n > 1 && r[1].volume > 0)) ? q->open : head.refPrice;
  for (int32_t i = 0; i < n; ++i) {
    TRENDREC &t = r[i];
    const TRENDREC *prev = i > 0 ? &r[i - 1] : nullptr;
    if (q) {
      if (t.highPrice > q->high) q->high = t.highPrice;
      if (t.lowPrice && (q->low == 0 || t.lowPrice < q->low)) q->low = t.lowPrice;
    }
    if (t.price == 0) {
      const uint32_t price = prev ? prev->price : opening;
      t.price = t.firstPrice = t.highPrice = t.lowPrice = price;
      t.volume = prev ? prev->volume : 0;
      t.amount = turnover ? 0 : (prev ? prev->amount : head.refOpenInterest);
      t.priceVolume = prev ? prev->priceVolume : 0;
      t.advancing = prev ? prev->advancing : 0;
      t.declining = prev ? prev->declining : 0;
      t.leadingOffset = prev ? prev->leadingOffset : 0;
    }
    if (t.firstPrice == 0) t.firstPrice = prev ? prev->price : opening;
    if (t.lowPrice == 0) t.lowPrice = t.firstPrice < t.price ? t.firstPrice : t.price;
    if (prev) {
      if (t.volume < prev->volume) t.volume = prev->volume;
      if (turnover && t.amount < prev->amount) t.amount = prev->amount;
      if (!std::isfinite(t.priceVolume) || t.priceVolume < prev->priceVolume) t.priceVolume = prev->priceVolume;
    } else if (!std::isfinite(t.priceVolume)) {
      t.priceVolume = 0;
    }
  }
  if (!turnover && q && q->volume > 0 && n > 0) {
    a->priceVolumeSum = float(r[n - 1].priceVolume);
    a->volumeSum = r[n - 1].volume;
  }
  a->itemCount = n;
}

// A slot's volume takes the quote's; the price-volume sum grows by what
// the volume grew at this price.
void GrowSlot(TRENDREC &slot, float volume) {
  const double grown = (double(volume) - double(slot.volume)) * double(slot.price);
  if (grown > 0) slot.priceVolume += grown;
  slot.volume = volume;
}

// The volume rule of a slot that the quote updates. A quote whose volume
// fell below the minute before it (a late correction) sets the slots back.
void ApplyVolume(TRENDREC *r, int32_t s, float volume) {
  TRENDREC &slot = r[s];
  if (s == 0 || volume >= r[s - 1].volume) {
    GrowSlot(slot, volume);
  } else if (s == 1) {
    slot.volume = r[0].volume;
    slot.priceVolume = r[0].priceVolume;
  } else if (volume >= r[s - 2].volume) {
    r[s - 1].volume = r[s - 2].volume;
    r[s - 1].priceVolume = r[s - 2].priceVolume;
    slot.volume = r[s - 2].volume;
    slot.priceVolume = r[s - 2].priceVolume;
    GrowSlot(slot, volume);
  }
}

void TakeQuote(TRENDREC &slot, const REALQUOTE &q) {
  slot.price = q.last;
  slot.amount = q.amount;
  slot.advancing = q.indexCounters[1];
  slot.declining = q.indexCounters[2];
  slot.leadingOffset = int32_t(q.indexCounters[0]);
}

int AppendMinute(int32_t index, const REALQUOTE &q, uint32_t flags) {
  CDataAgent *a = DataAgentAt(index);
  const Place p = PlaceOf(*a);
  if (!p.md || p.kind < 0 || !IsInDayWindow(p.md, p.kind)) return kUnchanged;
  if (!(flags & kAgentQuoteTrade) || !a->series) return kChanged;
  TRENDREC *r = static_cast<TRENDREC *>(a->series);
  if (!VolumeExempt(p) && a->itemCount > 0 && r[a->itemCount - 1].volume >= q.volume) return kChanged;

  const int32_t s = CurrentTrendSlot(p.md, p.kind);
  if (s < 0 || s >= a->capacity) return kChanged;
  const bool turnover = IsTurnoverMarket(p.md->m_info.type);
  float before = 0;  // the open interest the series held before this quote
  if (a->itemCount == s + 1) {
    TRENDREC &slot = r[s];
    before = slot.amount;
    TakeQuote(slot, q);
    if (s >= 1 && slot.priceVolume == 0) slot.priceVolume = r[s - 1].priceVolume;
    ApplyVolume(r, s, q.volume);
    // Quote fields lie unaligned in their packed record: read them once.
    const uint32_t last = q.last, high = slot.highPrice, low = slot.lowPrice;
    slot.highPrice = high > last ? high : last;
    slot.lowPrice = low && low < last ? low : last;
  } else if (a->itemCount <= s) {
    for (int32_t j = a->itemCount; j < s; ++j) {
      TRENDREC &t = r[j];
      if (j == 0) {
        // The opening slot of a day whose first trade comes later.
        t = TRENDREC{};
        t.price = s == 1 && q.open ? q.open : (q.prevClose ? q.prevClose : p.info->priceDivisor);
        t.amount = turnover ? 0 : q.prevOpenInterest;
      } else {
        // A minute without trades: turnover stays where it was, as a build
        // from the file makes it (its cumulative values never fall).
        t = r[j - 1];
      }
      t.firstPrice = t.highPrice = t.lowPrice = t.price;
    }
    TRENDREC &slot = r[s];
    slot = TRENDREC{};
    if (s > 0) {
      slot.volume = r[s - 1].volume;
      slot.priceVolume = r[s - 1].priceVolume;
      before = r[s - 1].amount;
    }
    TakeQuote(slot, q);
    ApplyVolume(r, s, q.volume);
    slot.firstPrice = slot.highPrice = slot.lowPrice = q.last;
    a->itemCount = s + 1;
  } else {
    return kUnchanged;
  }

  if (p.md->m_info.type == 2 && s >= 1 && std::fabs(q.amount - before) > q.lastVolume)
    RequestMinuteTrend(p.md->m_market, p.stock, a->requestTag);
  if (q.lastVolume > 0) {
    if (!turnover) {
      a->priceVolumeSum += float(q.last) * q.lastVolume;
      a->volumeSum += q.lastVolume;
    }
    AddToSide(a, flags, q.lastVolume);
  }
  if (a->itemCount >= a->capacity - kAppendReserve) BuildMinuteSeries(index, true);
  return kChanged;
}

// ---- Notification -------------------------------------------------------------
// A receiver may acquire or release agents while it handles the message, so
// the lists are copied first, the agent is looked up again after every
// send, and a receiver that has left the list meanwhile hears nothing more.

bool Identical(int32_t index, uint32_t tag) {
  const CDataAgent *a = DataAgentAt(index);
  return a && a->requestTag == tag && a->InUse();
}

void NotifyWindows(int32_t index, WPARAM wParam) {
  const CDataAgent *a = DataAgentAt(index);
  if (!a || a->windowCount == 0) return;
  const uint32_t tag = a->requestTag;
  HWND list[kAgentMaxWindows];
  const uint32_t n = std::min<uint32_t>(a->windowCount, kAgentMaxWindows);
  std::memcpy(list, a->windows, n * sizeof(HWND));
  for (uint32_t i = 0; i < n; ++i) {
    a = DataAgentAt(index);
    if (!a || a->requestTag != tag || !a->InUse()) return;
    bool listed = i < a->windowCount && a->windows[i] == list[i];
    for (uint32_t j = 0; !listed && j < a->windowCount; ++j) listed = a->windows[j] == list[i];
    if (listed) SendMessageA(list[i], WM_AGENT_UPDATE, wParam, LPARAM(index));
  }
}

void NotifyDependents(int32_t index, WPARAM wParam) {
  const CDataAgent *a = DataAgentAt(index);
  if (!a || a->dependentCount == 0) return;
  const uint32_t tag = a->requestTag;
  uint32_t list[kAgentMaxDependents];
  const uint32_t n = std::min<uint32_t>(a->dependentCount, kAgentMaxDependents);
  std::memcpy(list, a->dependents, n * sizeof(uint32_t));
  for (uint32_t i = 0; i < n; ++i) {
    a = DataAgentAt(index);
    if (!a || a->requestTag != tag || !a->InUse()) return;
    bool listed = i < a->dependentCount && a->dependents[i] == list[i];
    for (uint32_t j = 0; !listed && j < a->dependentCount; ++j) listed = a->dependents[j] == list[i];
    CDataAgent *dependent = listed ? DataAgentAt(int32_t(list[i])) : nullptr;
    if (dependent && dependent->InUse() && dependent->parent == index) dependent->NotifyDependent(wParam);
  }
}

void Notify(int32_t index, WPARAM wParam) {
  const CDataAgent *a = DataAgentAt(index);
  if (!a) return;
  const uint32_t tag = a->requestTag;
  NotifyWindows(index, wParam);
  if (Identical(index, tag)) NotifyDependents(index, wParam);
}

// Builds an agent's series as its kind says; no message is sent.
void Build(int32_t index, bool withRequests, bool loadHistory) {
  CDataAgent *a = DataAgentAt(index);
  if (!a) return;
  switch (a->kind) {
    case kAgentTicks:
    case kAgentRecentTrades: BuildTrades(index, withRequests); break;
    case kAgentMinuteTrend: BuildMinuteSeries(index, withRequests); break;
    default:
      if (IsBarKind(a->kind)) BuildBarSeries(a, loadHistory, false, withRequests);
      break;
  }
}

void FreeBuffers(CDataAgent *a) {
  Free(a->series);
  Free(a->minuteWork);
  a->series = nullptr;
  a->minuteWork = nullptr;
}

void Clear(CDataAgent *a) {
  std::memset(static_cast<void *>(a), 0, sizeof *a);
  a->stock = STKPTR();
  a->parent = -1;
  a->todayStart = -1;
}

}  // namespace

// ---- The array ----------------------------------------------------------------

EArray<CDataAgent> &DataAgents() {
  static EArray<CDataAgent> agents(64);
  return agents;
}

CDataAgent *DataAgentAt(int32_t index) {
  EArray<CDataAgent> &agents = DataAgents();
  return index >= 0 && index < agents.GetCount() ? agents.GetData() + index : nullptr;
}

int32_t AcquireDataAgent(STKPTR stock, int kind, uint32_t count, uintptr_t receiver, int mode) {
  if (stock.IsNone() || (mode != kAgentWindow && mode != kAgentDependent)) return -1;
  EArray<CDataAgent> &agents = DataAgents();
  const int32_t n = agents.GetCount();
  for (int32_t i = 0; i < n; ++i) {
    CDataAgent &a = agents.GetData()[i];
    if (!a.InUse() || !SameStock(a.stock, stock) || a.kind != kind || a.count != count) continue;
    if (mode == kAgentWindow && a.windowCount < kAgentMaxWindows) {
      a.windows[a.windowCount++] = reinterpret_cast<HWND>(receiver);
      return i;
    }
    if (mode == kAgentDependent && a.dependentCount < kAgentMaxDependents) {
      a.dependents[a.dependentCount++] = uint32_t(receiver);
      return i;
    }
  }

  int32_t index = -1;
  for (int32_t i = 0; i < n && index < 0; ++i)
    if (!agents.GetData()[i].InUse()) index = i;
  if (index < 0) {
    CDataAgent blank;
    Clear(&blank);
    index = agents.Add(blank);
    if (index < 0) return -1;
  }
  CDataAgent *a = agents.GetData() + index;
  FreeBuffers(a);
  Clear(a);
  a->stock = STKPTR(stock.market, 0, stock.stock);
  a->kind = uint8_t(kind);
  a->count = count;
  a->itemSize = ItemSizeOf(kind);
  a->requestTag = g_nextTag++;
  if (g_nextTag == 0) g_nextTag = 1;  // 0 means "no tag" to the readers
  if (mode == kAgentWindow)
    a->windows[a->windowCount++] = reinterpret_cast<HWND>(receiver);
  else
    a->dependents[a->dependentCount++] = uint32_t(receiver);

  if (IsBarKind(kind)) {
    // The minute trend first: acquiring it may move the array.
    const int32_t parent = AcquireDataAgent(stock, kAgentMinuteTrend, 0, uintptr_t(index), kAgentDependent);
    a = DataAgentAt(index);
    a->parent = parent;
    BuildBarSeries(a, true, false, true);
  } else {
    Build(index, true, true);
  }
  return index;
}

void ReleaseDataAgent(int32_t index, uintptr_t receiver, int mode) {
  CDataAgent *a = DataAgentAt(index);
  if (!a || !a->InUse()) return;
  if (mode == kAgentWindow) {
    const HWND window = reinterpret_cast<HWND>(receiver);
    for (uint32_t i = 0; i < a->windowCount; ++i) {
      if (a->windows[i] != window) continue;
      std::memmove(a->windows + i, a->windows + i + 1, (a->windowCount - i - 1) * sizeof(HWND));
      a->windows[--a->windowCount] = nullptr;
      break;
    }
  } else if (mode == kAgentDependent) {
    for (uint32_t i = 0; i < a->dependentCount; ++i) {
      if (a->dependents[i] != uint32_t(receiver)) continue;
      std::memmove(a->dependents + i, a->dependents + i + 1, (a->dependentCount - i - 1) * sizeof(uint32_t));
      a->dependents[--a->dependentCount] = 0;
      break;
    }
  }
  if (a->InUse()) return;
  const int32_t parent = a->parent;
  FreeBuffers(a);
  Clear(a);
  if (parent >= 0) ReleaseDataAgent(parent, uintptr_t(index), kAgentDependent);
}

int32_t RenewDataAgent(int32_t held, STKPTR stock, int kind, uint32_t count, bool wanted, HWND window) {
  if (wanted && held >= 0)
    if (const CDataAgent *a = DataAgentAt(held))
      if (a->InUse() && SameStock(a->stock, stock) && a->kind == kind &&
          (kind == kAgentTicks || kind == kAgentRecentTrades || a->count == count))
        return held;
  const int32_t taken = wanted ? AcquireDataAgent(stock, kind, count, window) : -1;
  if (held >= 0) ReleaseDataAgent(held, window);
  return taken;
}

void FreeAllDataAgents() {
  EArray<CDataAgent> &agents = DataAgents();
  for (int32_t i = 0; i < agents.GetCount(); ++i) FreeBuffers(agents.GetData() + i);
  agents.RemoveAll();
}

// ---- One agent -------------------------------------------------------------------

void CDataAgent::GetSeries(const void **items, int32_t *n) const {
  const void *first = series;
  int32_t shown = series ? itemCount : 0;
  if (kind == kAgentRecentTrades && shown > kRecentTradesShown) {
    first = static_cast<const TICKREC *>(series) + (shown - kRecentTradesShown);
    shown = kRecentTradesShown;
  }
  if (items) *items = first;
  if (n) *n = shown;
}

void CDataAgent::Rebuild() {
  const int32_t index = IndexOf(this);
  if (index < 0 || !InUse()) return;
  const uint32_t tag = requestTag;
  if (IsBarKind(kind) && parent >= 0) {
    // The parent's own notification reaches this agent as a dependent.
    if (CDataAgent *trend = DataAgentAt(parent)) trend->Rebuild();
    if (!Identical(index, tag)) return;
  }
  Build(index, true, true);
  Notify(index, 100);
}

void CDataAgent::RequestHistory() {
  if (IsBarKind(kind)) RequestAgentHistory(this);
}

void CDataAgent::OnQuote(const REALQUOTE &quote, uint32_t flags) {
  const int32_t index = IndexOf(this);
  if (index < 0) return;
  int result;
  switch (kind) {
    case kAgentTicks:
    case kAgentRecentTrades: result = AppendTrade(index, quote, flags); break;
    case kAgentMinuteTrend: result = AppendMinute(index, quote, flags); break;
    default: return;
  }
  if (result == kChanged)
    Notify(index, 0);
  else if (kind == kAgentMinuteTrend)
    NotifyWindows(index, 0);
}

void CDataAgent::OnDataArrived(uint32_t base, WPARAM wParam) {
  const int32_t index = IndexOf(this);
  if (index < 0) return;
  if (wParam == 100) Build(index, false, true);
  Notify(index, wParam);
}

void CDataAgent::NotifyDependent(WPARAM wParam) {
  const int32_t index = IndexOf(this);
  if (index < 0) return;
  if (IsBarKind(kind)) {
    if (wParam == 0)
      UpdateTodayBars(this);
    else if (wParam == 100)
      BuildBarSeries(this, false, false, false);
  }
  NotifyWindows(index, wParam);
}

// ---- All agents of an instrument ---------------------------------------------------

void DispatchQuoteToAgents(uint32_t stockWord, const REALQUOTE &quote, uint32_t flags) {
  const uint8_t market = uint8_t(stockWord & 0xFF);
  const uint16_t stock = uint16_t(stockWord >> 16);
  EArray<CDataAgent> &agents = DataAgents();
  // Agents made while the quote goes round were built with it already.
  const int32_t n = agents.GetCount();
  for (int32_t i = 0; i < n && i < agents.GetCount(); ++i) {
    CDataAgent &a = agents.GetData()[i];
    if (a.stock.market == market && a.stock.stock == stock && a.kind <= kAgentMinuteTrend && a.InUse())
      a.OnQuote(quote, flags);
  }
}

void NotifyAgentsDataArrived(uint32_t stockWord, int dataKind, uint32_t value, WPARAM wParam) {
  const uint8_t market = uint8_t(stockWord & 0xFF);
  const uint16_t stock = uint16_t(stockWord >> 16);
  EArray<CDataAgent> &agents = DataAgents();
  const int32_t n = agents.GetCount();
  for (int32_t i = 0; i < n && i < agents.GetCount(); ++i) {
    CDataAgent &a = agents.GetData()[i];
    if (!a.InUse() || a.stock.market != market || a.stock.stock != stock) continue;
    bool affected;
    switch (dataKind) {
      case kAgentMinuteBars: {
        const uint32_t bars = a.count;
        affected = a.kind == kAgentMinuteBars &&
                   ((value == 60 && bars % 60 == 0) || (value == 5 && bars % 5 == 0 && bars % 60 != 0) ||
                    (value == 1 && bars % 5 != 0));
        break;
      }
      case kAgentDayBars: affected = a.kind > kAgentMinuteBars; break;
      case kAgentTicks:
      case kAgentRecentTrades:
      case kAgentEmpty: affected = a.kind == dataKind; break;
      default: affected = a.kind == dataKind && a.count == value; break;
    }
    if (affected) a.OnDataArrived(value, wParam);
  }
}

void RebuildAgents(int market, int stockKind) {
  EArray<CDataAgent> &agents = DataAgents();
  const int32_t n = agents.GetCount();
  for (int32_t i = 0; i < n && i < agents.GetCount(); ++i) {
    CDataAgent &a = agents.GetData()[i];
    if (!a.InUse()) continue;
    if (market != 255 && a.stock.market != market) continue;
    // The kind byte was looked up when the agent was made; a name table
    // reloaded since may have moved the instrument to another kind.
    a.stock = STKPTR(a.stock.market, 0, a.stock.stock);
    if (stockKind != 255 && a.stock.kind != stockKind) continue;
    a.Rebuild();
  }
}
