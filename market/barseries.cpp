#include "market/barseries.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/datetime.h"
#include "core/emem.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/reqqueue.h"
#include "market/utildata.h"
#include "platform/profile.h"

namespace {

constexpr int32_t kBar = int32_t(sizeof(KLINEBAR));

PackedDateTime DateOf(PackedDateTime t) { return t & kPackedDateMask; }

// Turnover (types 1 and 6) adds up over a bar; open interest is a level.
bool IsTurnoverMarket(int type) { return type == 1 || type == 6; }
// Markets whose amount is a level counted in lots like the volume.
bool AmountInLots(int type) { return type == 2 || type == 7 || type == 8; }

bool IsDayCode(int code) { return code >= 8 && code <= 12; }

// The stock kind of an agent's instrument when the market has it.
int KindIndex(const TMarketData *md, const STKPTR &stock) {
  const int k = StockKindOf(md, stock.stock);
  return k >= 0 && k < md->m_info.kindCount && k < kMaxStockKinds ? k : -1;
}

bool IsTradingDay(const TMarketData *md, PackedDateTime date) {
  return IsNonTradingDay(&date, md->m_market) == 0;
}

// The market clock's date, or when the kind does not trade for it, the
// trading day before it.
PackedDateTime SeriesDate(const TMarketData *md, int kind) {
  PackedDateTime date = DateOf(md->m_currentTime);
  if (TradesTodayForKind(md, kind)) return date;
  if (!IsValidPackedDate(&date)) return date;
  PackedPreviousDayInPlace(&date);
  // A calendar closes at most 63 holidays and the weekends between them.
  for (int step = 0; step < 800 && !IsTradingDay(md, date); ++step) PackedPreviousDayInPlace(&date);
  return date;
}

// The end minute of a trading minute on the date: its clock minute plus
// one, carried into the next hour and over midnight. Sessions that run past
// midnight give hours above 23, which the last pass of a build moves to
// the next date; only hours the field can't hold step the date here.
PackedDateTime EndMinuteTime(const TMarketData *md, int kind, PackedDateTime date, int32_t index) {
  const int clock = TradingMinuteToClock(&md->m_info, index, kind);
  int hour = clock / 60, minute = clock % 60 + 1;
  if (minute == 60) {
    minute = 0;
    if (++hour == 24) {
      PackedNextDayInPlace(&date);
      hour = 0;
    }
  }
  while (hour > 31) {
    PackedNextDayInPlace(&date);
    hour -= 24;
  }
  return date | PackedDateTime(hour) << 6 | PackedDateTime(minute);
}

// One-minute bars of today a full day needs: the bars up to the current
// trading minute while the kind trades today, else the whole day.
int32_t IntradayBarCount(const TMarketData *md, int kind, int32_t capacity, bool tradesToday) {
  int32_t n = TradingMinutesOfKind(&md->m_info, kind);
  if (tradesToday) n = ClockToTradingMinute(&md->m_info, md->m_currentMinute, kind) + 1;
  return std::clamp(n, 0, std::max(capacity, 0));
}

// Bars from..n-1 of today's one-minute bars from a trend of a records.
// Slot 0 (the opening) and slot 1 make bar 0, slot i + 1 bar i; bars past
// the trend repeat the last close. Volumes (and turnover) per minute.
void FillIntradayBars(const TMarketData *md, int kind, const TRENDREC *r, int32_t a, KLINEBAR *w, int32_t from,
                      int32_t n, PackedDateTime date) {
  const bool turnover = IsTurnoverMarket(md->m_info.type);
  const int32_t last = a >= 2 ? a - 2 : 0;  // the last bar the trend makes
  auto cumVolume = [&](int32_t j) {
    j = std::min(j, last);
    return j == 0 ? (a > 1 ? r[1].volume : r[0].volume) : r[j + 1].volume;
  };
  auto cumAmount = [&](int32_t j) {
    j = std::min(j, last);
    return j == 0 ? (a > 1 ? r[1].amount : r[0].amount) : r[j + 1].amount;
  };
  const uint32_t lastClose = last == 0 ? (a > 1 ? r[1].price : r[0].price) : r[last + 1].price;
  for (int32_t j = from; j < n; ++j) {
    KLINEBAR b{};
    if (j == 0) {
      b.close = r[0].price;
      b.open = r[0].firstPrice;
      b.high = r[0].highPrice;
      b.low = r[0].lowPrice;
      if (a > 1) {
        b.close = r[1].price;
        const uint32_t high = r[1].highPrice, low = r[1].lowPrice;
        b.high = std::max(b.high, high);
        b.low = std::min(b.low, low);
      }
    } else if (j <= last) {
      const TRENDREC &s = r[j + 1];
      b.close = s.price;
      b.open = s.firstPrice;
      b.high = s.highPrice;
      b.low = s.lowPrice;
    } else {
      b.close = b.open = b.high = b.low = lastClose;
    }
    b.volume = j > 0 ? cumVolume(j) - cumVolume(j - 1) : cumVolume(0);
    b.amount = turnover && j > 0 ? cumAmount(j) - cumAmount(j - 1) : cumAmount(j);
    b.time = EndMinuteTime(md, kind, date, j);
    w[j] = b;
  }
}

// One-minute bars per bar of an intraday period.
int32_t MinuteGroupSize(int period, uint32_t custom) {
  switch (period) {
    case 2: return 3;
    case 3: return int32_t(std::clamp<uint32_t>(custom, 1, kMinuteWorkBars));
    case 4: return 5;
    case 5: return 15;
    case 6: return 30;
    case 7: return 60;
    case 13: return 120;
    case 14: return 240;
    default: return 1;
  }
}

// History bars per bar of an intraday period built on a bar file: the
// file's base is chosen so that this is whole.
int32_t HistoryGroupSize(int period, uint32_t custom) {
  switch (period) {
    case 2:
    case 5: return 3;
    case 6: return 6;
    case 13: custom = 120; break;
    case 14: custom = 240; break;
    case 3: break;
    default: return 1;
  }
  uint32_t k = custom % 60 == 0 ? custom / 60 : (custom % 5 == 0 ? custom / 5 : custom);
  return int32_t(std::clamp<uint32_t>(k, 1, INT32_MAX));
}

// Adds a bar to the one being folded: time, close and settlement of the
// newest, open and the two kept values of the first.
void FoldInto(KLINEBAR &bar, const KLINEBAR &next, bool turnover) {
  bar.time = next.time;
  bar.close = next.close;
  bar.settlement = next.settlement;
  bar.high = std::max(bar.high, next.high);
  bar.low = std::min(bar.low, next.low);
  bar.volume += next.volume;
  bar.amount = turnover ? bar.amount + next.amount : next.amount;
}

// Folds groups of k bars of the same day; target may be the source.
int32_t FoldByDay(const KLINEBAR *source, int32_t n, KLINEBAR *target, int32_t k, bool turnover) {
  int32_t out = 0, inGroup = 0;
  for (int32_t i = 0; i < n; ++i) {
    const KLINEBAR b = source[i];
    if (inGroup > 0 && inGroup < k && DateOf(b.time) == DateOf(target[out - 1].time)) {
      FoldInto(target[out - 1], b, turnover);
      ++inGroup;
    } else {
      target[out++] = b;
      inGroup = 1;
    }
  }
  return out;
}

void DivideByUnit(KLINEBAR *bars, int32_t n, int32_t unit, int type) {
  if (unit == 1) return;
  const bool amount = AmountInLots(type);
  for (int32_t i = 0; i < n; ++i) {
    bars[i].volume /= float(unit);
    if (amount) bars[i].amount /= float(unit);
  }
}

// Drops the oldest n history bars of the series.
void DropOldest(CDataAgent *a, KLINEBAR *bars, int32_t n) {
  if (n <= 0) return;
  n = std::min(n, a->historyCount);
  std::memmove(bars, bars + n, size_t(a->historyCount - n) * sizeof(KLINEBAR));
  a->historyCount -= n;
}

// The last pass of a build over bars from..count-1 (those before were
// passed before): intraday hours past 23 move to the next date, day-based
// bars lose hour and minute, and a bar not later than the one before it
// goes, with every bar after it up to the first one that is later. A run
// that takes the end of the history completes it. The remaining count.
int32_t FinalPass(CDataAgent *a, KLINEBAR *bars, int32_t count, int32_t from, bool dayBased) {
  const int32_t history = a->historyCount;
  int32_t out = std::max(from, 0), removedHistory = 0;
  for (int32_t i = out; i < count; ++i) {
    KLINEBAR b = bars[i];
    if (dayBased) {
      b.time = DateOf(b.time);
    } else if (PackedHour(b.time) > 23) {
      PackedDateTime date = DateOf(b.time);
      PackedNextDayInPlace(&date);
      b.time = date | PackedDateTime(PackedHour(b.time) - 24) << 6 | PackedMinute(b.time);
    }
    if (out > 0 && b.time <= bars[out - 1].time) {
      if (i < history) {
        ++removedHistory;
        if (i == history - 1) {
          a->historyComplete = 1;
          a->historyVolume = bars[out - 1].volume;
          a->historyAmount = bars[out - 1].amount;
        }
      }
      continue;
    }
    bars[out++] = b;
  }
  a->historyCount = history - removedHistory;
  return out;
}

// A NUL-terminated copy of a name-table code.
struct CodeText {
  char text[sizeof(STKINFO::code) + 1];
  explicit CodeText(const STKINFO &info) {
    std::memcpy(text, info.code, sizeof info.code);
    text[sizeof info.code] = 0;
  }
};

bool TodayMinutesOnly(int period, uint32_t custom) {
  const bool minutePeriod = period == 1 || period == 2 || period == 4 || period == 5 || period == 6 ||
                            (period == 3 && custom < 60);
  if (!minutePeriod) return false;
  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%sdefui.ini", UserDataPath);
  return GetPrivateProfileIntA("UI", "TodayMinOnly", 0, path) != 0;
}

// Today's one-minute bars folded after the history, with what the live
// refold needs to know about them.
void AppendIntradayToday(CDataAgent *a, const TMarketData *md, int kind, const CDataAgent &parent, int period,
                         uint32_t custom, int32_t unit, int32_t *appended) {
  KLINEBAR *bars = static_cast<KLINEBAR *>(a->series);
  const PackedDateTime date = SeriesDate(md, kind);
  const int32_t n = IntradayBarCount(md, kind, a->workCapacity, TradesTodayForKind(md, kind));
  if (parent.itemCount >= 1 && n > 0)
    FillIntradayBars(md, kind, static_cast<const TRENDREC *>(parent.series), parent.itemCount, a->minuteWork, 0, n,
                     date);
  const int32_t built = parent.itemCount >= 1 ? n : 0;
  // Room for the whole day beside the history: the oldest history goes.
  const int32_t day = std::max(TrendMinutesOfKind(md, kind), built);
  DropOldest(a, bars, a->historyCount + day - a->capacity);
  int32_t m = 0;
  AggregateMinuteBars(period, custom, a->minuteWork, std::min(built, a->capacity - a->historyCount),
                      bars + a->historyCount, &m, md->m_info.type);
  DivideByUnit(bars + a->historyCount, m, unit, md->m_info.type);
  *appended = m;
  a->todayStart = a->historyCount;
  a->todayMinutes = built;
  a->todayTrendCount = parent.itemCount;
  a->todayParentGeneration = parent.generation;
  a->todayDate = date;
}

// A bar stamp as the last pass leaves it: hours past 23 on the next date.
PackedDateTime PassedBarTime(PackedDateTime t) {
  if (PackedHour(t) <= 23) return t;
  PackedDateTime date = DateOf(t);
  PackedNextDayInPlace(&date);
  return date | PackedDateTime(PackedHour(t) - 24) << 6 | PackedMinute(t);
}

// A server answers a history request with the bars up to the time it was
// asked, today's first ones among them. Today is made from the trend, which
// goes on with the trades, so the history gives up its bars of today's
// trading minutes. Whether today's bars can follow what is left.
bool CutHistoryAtToday(CDataAgent *a, const KLINEBAR *bars, const TMarketData *md, int kind, PackedDateTime date) {
  const int32_t minutes = TrendMinutesOfKind(md, kind);
  if (minutes <= 0) return a->historyCount == 0 || bars[a->historyCount - 1].time <= date;
  const PackedDateTime first = PassedBarTime(EndMinuteTime(md, kind, date, 0));
  const PackedDateTime last = PassedBarTime(EndMinuteTime(md, kind, date, minutes - 1));
  int32_t n = a->historyCount;
  while (n > 0) {
    const PackedDateTime t = PassedBarTime(bars[n - 1].time);
    if (t < first || t > last) break;
    --n;
  }
  a->historyCount = n;
  return n == 0 || PassedBarTime(bars[n - 1].time) < first;
}

void AppendDayToday(CDataAgent *a, const REALQUOTE &q, int period, PackedDateTime today, int32_t unit, int type,
                    int32_t *appended) {
  KLINEBAR *bars = static_cast<KLINEBAR *>(a->series);
  const uint32_t last = q.last;
  const uint32_t open = q.open ? q.open : last, high = q.high ? q.high : last, low = q.low ? q.low : last;
  const int32_t hc = a->historyCount;
  bool extend = false;
  if (hc > 0) {
    const PackedDateTime t = bars[hc - 1].time;
    extend = (period == 9 && IsSameWeek(t, today)) || (period == 10 && IsSameMonth(t, today)) ||
             (period == 11 && IsSameQuarter(t, today)) || (period == 12 && !a->historyComplete);
  }
  if (extend) {
    KLINEBAR &bar = bars[hc - 1];
    bar.time = today;
    bar.high = std::max(bar.high, high);
    bar.low = std::min(bar.low, low);
    bar.close = last;
    bar.volume = q.volume / float(unit) + a->historyVolume;
    bar.amount = AmountInLots(type) ? q.amount / float(unit) : q.amount + a->historyAmount;
    *appended = 0;
    return;
  }
  if (a->historyCount >= a->capacity) DropOldest(a, bars, 1);
  KLINEBAR &bar = bars[a->historyCount];
  bar = KLINEBAR{};
  bar.time = today;
  bar.open = open;
  bar.high = high;
  bar.low = low;
  bar.close = last;
  bar.settlement = q.barSettlement ? q.barSettlement : last;
  bar.volume = q.volume;
  bar.amount = q.amount;
  DivideByUnit(&bar, 1, unit, type);
  *appended = 1;
}

}  // namespace

// ---- Market time -------------------------------------------------------------

bool TradesTodayForKind(const TMarketData *md, int kind) {
  if (!md || kind < 0 || kind >= kMaxStockKinds) return false;
  const PackedDateTime date = DateOf(md->m_currentTime);
  return IsTradingDay(md, date) && date == DateOf(md->m_tradingDate[kind]);
}

int32_t TrendMinutesOfKind(const TMarketData *md, int kind) {
  if (!md) return 0;
  return std::min(TradingMinutesOfKind(&md->m_info, kind), kTrendSlotsPerDay - 1);
}

int32_t CurrentTrendSlot(const TMarketData *md, int kind) {
  const int32_t day = TrendMinutesOfKind(md, kind);
  if (!TradesTodayForKind(md, kind)) return day;
  const MKKINDINFO &k = md->m_info.kinds[kind];
  const int sessions = std::min<int>(k.sessionCount, kMaxSessions);
  if (sessions <= 0) return day;
  const int now = md->m_currentMinute;
  if (now < k.open[0]) return 0;
  const int open = k.open[sessions - 1], close = k.close[sessions - 1];
  if (now >= std::max(open, close)) return day;
  return std::min(ClockToTradingMinute(&md->m_info, now, kind) + 1, day);
}

// ---- Periods -----------------------------------------------------------------

int32_t SeriesCapacity() { return std::max(MaxDataRecords, kMinSeriesBars); }

bool PeriodToAgentKind(int period, uint32_t custom, uint8_t *kind, uint32_t *count) {
  if (!kind || !count) return false;
  struct Row {
    uint8_t kind;
    uint32_t count;
  };
  static const Row rows[15] = {{7, 1},  {6, 1},  {6, 3}, {6, 0}, {6, 5},   {6, 15},  {6, 30}, {6, 60},
                               {7, 1},  {8, 1},  {9, 1}, {10, 1}, {7, 0}, {6, 120}, {6, 240}};
  const Row &row = period >= 1 && period <= 14 ? rows[period] : rows[0];
  *kind = row.kind;
  *count = period == 3 || period == 12 ? custom : row.count;
  return true;
}

int AgentPeriodCode(int kind, uint32_t count, uint32_t *custom) {
  uint32_t scratch = 0;
  if (!custom) custom = &scratch;
  *custom = 0;
  switch (kind) {
    case kAgentMinuteBars:
      switch (count) {
        case 240: return 14;
        case 120: return 13;
        case 60: return 7;
        case 30: return 6;
        case 15: return 5;
        case 5: return 4;
        case 3: return 2;
        case 1: return 1;
        default: *custom = count; return 3;
      }
    case kAgentDayBars:
      if (count == 1) return 8;
      *custom = count;
      return 12;
    case kAgentWeekBars: return 9;
    case kAgentMonthBars: return 10;
    case kAgentQuarterBars: return 11;
    default: return 0;
  }
}

// ---- History -------------------------------------------------------------------

int LoadBarsForPeriod(KLINEBAR **buffer, int market, const char *code, int32_t *count, int period,
                      uint32_t custom, int32_t wanted, bool history, uint32_t tag, uint8_t *complete) {
  if (count) *count = 0;
  if (complete) *complete = 1;
  TMarketData *md = MarketAt(market);
  if (!buffer || !count || !code || !*code || !md) return 0;

  const int32_t longest = md->m_longestDay;
  int base = 0;
  int64_t read = 0;
  if (IsDayCode(period)) {
    base = 8;
    read = int64_t(wanted) - 1;
  } else if (period == 4 || period == 5 || period == 6 || (period == 3 && custom % 5 == 0 && custom % 60 != 0)) {
    base = 4;
    read = int64_t(wanted) - longest / 5 - 1;
  } else if (period == 7 || period == 13 || period == 14 || (period == 3 && custom % 60 == 0)) {
    base = 7;
    read = int64_t(wanted) - longest / 60 - 1;
  } else if (period == 1 || period == 2 || period == 3) {
    base = 1;
    read = int64_t(wanted) - longest;
  }

  int result = 0;
  // No bars to read means none: a wanted number of 0 would make the file
  // reader take the whole file.
  void *shared = base && read > 0 ? GetSharedBarBuffer() : nullptr;
  if (shared) {
    // Neither the scratch buffer nor the caller's may take more than it
    // holds; the reader keeps the newest bars that fit.
    int32_t room = MSize(shared) / kBar;
    if (*buffer) room = std::min(room, MSize(*buffer) / kBar);
    else room = std::min(room, SeriesCapacity());
    KLINEBAR *scratch = static_cast<KLINEBAR *>(shared);
    int32_t got = 0;
    // ReadBars keeps L + 16 bars of room below the number it is given.
    const int64_t given = std::min<int64_t>(read, INT32_MAX - longest - 16);
    if (room > 0 && ReadBars(md, &scratch, code, &got, base, int(given), room) && got > 0) {
      if (!*buffer) *buffer = static_cast<KLINEBAR *>(Malloc(SeriesCapacity() * kBar + 640));
      if (*buffer) {
        uint8_t done = 1;
        AggregateBars(period, custom, scratch, std::min(got, room), *buffer, count, md->m_info.type, &done);
        if (complete) *complete = done;
        result = 1;
      }
    }
  }

  if (tag && QueueClient()) {
    const int stock = md->FindStockIndex(code);
    if (stock >= 0) RequestBars(market, stock, period, int(custom), history, tag);
  }
  return result;
}

void AggregateBars(int period, uint32_t custom, const KLINEBAR *source, int32_t n, KLINEBAR *target,
                   int32_t *out, int marketType, uint8_t *complete) {
  if (complete) *complete = 1;
  if (!out) return;
  *out = 0;
  if (!source || !target || n <= 0) return;
  const bool turnover = IsTurnoverMarket(marketType);
  const bool copy = period == 0 || period == 1 || period == 4 || period == 7 || period == 8 ||
                    (period == 12 && custom == 1) || (period == 3 && (custom == 1 || custom == 5 || custom == 60)) ||
                    period < 0 || period > 14;
  if (copy) {
    if (target != source) std::memmove(target, source, size_t(n) * sizeof(KLINEBAR));
    *out = n;
    return;
  }
  if (period >= 9 && period <= 11) {
    auto same = period == 9 ? IsSameWeek : (period == 10 ? IsSameMonth : IsSameQuarter);
    int32_t m = 0;
    for (int32_t i = 0; i < n; ++i) {
      const KLINEBAR b = source[i];
      if (m > 0 && same(target[m - 1].time, b.time))
        FoldInto(target[m - 1], b, turnover);
      else
        target[m++] = b;
    }
    *out = m;
    return;
  }
  if (period == 12) {
    const int32_t k = int32_t(std::clamp<uint32_t>(custom, 1, INT32_MAX));
    int32_t m = 0, inGroup = 0;
    for (int32_t i = 0; i < n; ++i) {
      const KLINEBAR b = source[i];
      if (inGroup > 0 && inGroup < k) {
        FoldInto(target[m - 1], b, turnover);
        ++inGroup;
      } else {
        target[m++] = b;
        inGroup = 1;
      }
    }
    if (complete && inGroup < k) *complete = 0;
    *out = m;
    return;
  }
  *out = FoldByDay(source, n, target, HistoryGroupSize(period, custom), turnover);
}

void AggregateMinuteBars(int period, uint32_t custom, const KLINEBAR *bars, int32_t n, KLINEBAR *target,
                         int32_t *out, int marketType) {
  if (!out) return;
  *out = 0;
  if (!bars || !target || n <= 0) return;
  *out = FoldByDay(bars, n, target, MinuteGroupSize(period, custom), IsTurnoverMarket(marketType));
}

int32_t BuildIntradayBars(const TMarketData *md, int kind, const TRENDREC *records, int32_t count,
                          KLINEBAR *target, int32_t capacity) {
  if (!md || !records || !target || count < 1 || kind < 0 || kind >= kMaxStockKinds) return 0;
  const int32_t n = IntradayBarCount(md, kind, capacity, TradesTodayForKind(md, kind));
  FillIntradayBars(md, kind, records, count, target, 0, n, SeriesDate(md, kind));
  return n;
}

// ---- Building --------------------------------------------------------------------

bool BuildBarSeries(CDataAgent *a, bool loadHistory, bool historyRequest, bool requests) {
  if (!a) return false;
  a->itemCount = 0;
  a->todayLive = 0;
  a->todayStart = -1;
  if (!a->series || !a->minuteWork) {
    if (!a->series) {
      a->series = Malloc(SeriesCapacity() * kBar);
      a->capacity = SeriesCapacity();
      a->historyCount = 0;
    }
    if (!a->minuteWork) {
      a->minuteWork = static_cast<KLINEBAR *>(Malloc(kMinuteWorkBars * kBar));
      a->workCapacity = kMinuteWorkBars;
    }
    if (!a->series || !a->minuteWork) {
      Free(a->series);
      Free(a->minuteWork);
      a->series = nullptr;
      a->minuteWork = nullptr;
      a->capacity = a->workCapacity = 0;
      a->historyCount = 0;
      return false;
    }
  }
  uint32_t custom = 0;
  const int period = AgentPeriodCode(a->kind, a->count, &custom);
  if (period == 0) return false;

  KLINEBAR *bars = static_cast<KLINEBAR *>(a->series);
  const STKINFO *info = GetStockInfo(a->stock.Word());
  const TMarketData *md = MarketAt(a->stock.market);
  const int kind = md ? KindIndex(md, a->stock) : -1;
  if (!info || !md || kind < 0) {
    a->historyCount = 0;
    return true;
  }
  const int32_t unit = info->volumeUnit > 0 ? info->volumeUnit : 1;
  const int type = md->m_info.type;
  const bool dayBased = IsDayCode(period);

  // The setting is read when history is loaded; a build from what is held
  // keeps what that load decided.
  if (loadHistory && !dayBased && TradesTodayForKind(md, kind) && TodayMinutesOnly(period, custom)) {
    a->historyCount = 0;
    a->historyComplete = 1;
    a->historyVolume = a->historyAmount = 0;
  } else if (loadHistory) {
    a->historyCount = 0;
    a->historyVolume = a->historyAmount = 0;
    a->historyComplete = 1;
    int32_t n = 0;
    uint8_t complete = 1;
    const CodeText code(*info);
    if (LoadBarsForPeriod(&bars, a->stock.market, code.text, &n, period, custom, SeriesCapacity(), historyRequest,
                          requests ? a->requestTag : 0, &complete)) {
      a->historyComplete = complete;
      a->historyCount = std::clamp(n, 0, a->capacity);
      DivideByUnit(bars, a->historyCount, unit, type);
      if (a->historyCount > 0) {
        a->historyVolume = bars[a->historyCount - 1].volume;
        a->historyAmount = bars[a->historyCount - 1].amount;
      }
    }
  }
  a->historyCount = std::clamp(a->historyCount, 0, a->capacity);

  const PackedDateTime today = SeriesDate(md, kind);
  const CDataAgent *parent = DataAgentAt(a->parent);
  int32_t appended = 0;
  const int32_t before = a->historyCount;
  bool followsHistory = parent && parent->series && parent->itemCount > 0 &&
                        parent->itemSize == int32_t(sizeof(TRENDREC)) && TradesTodayForKind(md, kind);
  if (followsHistory && !dayBased)
    followsHistory = CutHistoryAtToday(a, bars, md, kind, today);
  else if (followsHistory)
    followsHistory = a->historyCount == 0 || bars[a->historyCount - 1].time <= today;
  if (followsHistory) {
    if (!dayBased) {
      AppendIntradayToday(a, md, kind, *parent, period, custom, unit, &appended);
    } else if (md->m_quotes && md->m_quotes[a->stock.stock].last) {
      AppendDayToday(a, md->m_quotes[a->stock.stock], period, today, unit, type, &appended);
    }
  }

  // History is passed once, when it is loaded; later builds start at its
  // last bar, which today may have continued.
  const int32_t history = a->historyCount;
  const int32_t count = history + appended;
  const int32_t from = loadHistory ? 0 : std::max(std::min(before, history) - 1, 0);
  a->itemCount = FinalPass(a, bars, count, from, dayBased);

  // Today refolds in place later only when this pass left it whole.
  if (!dayBased && a->todayStart >= 0 && appended > 0 && a->historyCount == history && a->itemCount == count) {
    const KLINEBAR *w = a->minuteWork;
    const int32_t n = a->todayMinutes;
    a->todayLive = n > 0 && DateOf(w[0].time) == DateOf(w[n - 1].time) && PackedHour(w[n - 1].time) <= 23;
  } else {
    a->todayStart = -1;
  }
  return true;
}

bool UpdateTodayBars(CDataAgent *a) {
  if (!a) return false;
  const CDataAgent *parent = DataAgentAt(a->parent);
  const TMarketData *md = MarketAt(a->stock.market);
  const STKINFO *info = GetStockInfo(a->stock.Word());
  uint32_t custom = 0;
  const int period = AgentPeriodCode(a->kind, a->count, &custom);
  const int kind = md ? KindIndex(md, a->stock) : -1;
  KLINEBAR *bars = static_cast<KLINEBAR *>(a->series);
  bool live = a->todayLive && parent && md && info && kind >= 0 && bars && a->minuteWork &&
              parent->generation == a->todayParentGeneration && parent->series && parent->itemCount >= 1 &&
              a->todayStart == a->historyCount && DateOf(md->m_currentTime) == a->todayDate &&
              TradesTodayForKind(md, kind);
  int32_t n = 0;
  if (live) {
    n = IntradayBarCount(md, kind, a->workCapacity, true);
    live = n >= a->todayMinutes && n > 0;
  }
  if (!live) return BuildBarSeries(a, false, false, false);

  // The trend changes at its last two slots, the bars from three before
  // its last one; a flat tail follows the last traded minute.
  const int32_t trend = parent->itemCount;
  int32_t from = std::max(std::min(a->todayTrendCount, a->todayMinutes) - 4, 0);
  if (from < 2) from = 0;
  KLINEBAR *w = a->minuteWork;
  FillIntradayBars(md, kind, static_cast<const TRENDREC *>(parent->series), trend, w, from, n, a->todayDate);
  if (DateOf(w[n - 1].time) != DateOf(w[0].time) || PackedHour(w[n - 1].time) > 23)
    return BuildBarSeries(a, false, false, false);

  const int32_t k = MinuteGroupSize(period, custom);
  const int32_t groupStart = from / k * k;
  const int32_t first = a->todayStart + groupStart / k;
  const int32_t total = a->todayStart + (n + k - 1) / k;
  if (total > a->capacity) return BuildBarSeries(a, false, false, false);
  int32_t m = 0;
  AggregateMinuteBars(period, custom, w + groupStart, n - groupStart, bars + first, &m, md->m_info.type);
  DivideByUnit(bars + first, m, info->volumeUnit > 0 ? info->volumeUnit : 1, md->m_info.type);
  if (first > 0 && bars[first].time <= bars[first - 1].time) return BuildBarSeries(a, false, false, false);
  a->itemCount = first + m;
  a->todayMinutes = n;
  a->todayTrendCount = trend;
  return true;
}

void RequestAgentHistory(const CDataAgent *a) {
  if (!a || a->itemCount >= MaxDataRecords) return;
  const uint32_t n = a->count;
  int period = 0;
  uint32_t custom = 1;
  switch (a->kind) {
    case kAgentMinuteBars:
      if (n > 0 && n % 60 == 0) {
        period = 7;
        custom = n / 60;
      } else if (n > 0 && n % 5 == 0) {
        period = 4;
        custom = n / 5;
      } else {
        period = 1;
        custom = n;
      }
      break;
    case kAgentDayBars:
      period = 8;
      custom = n;
      break;
    case kAgentWeekBars: period = 9; break;
    case kAgentMonthBars: period = 10; break;
    case kAgentQuarterBars: period = 11; break;
    default: return;
  }
  RequestBars(a->stock.market, a->stock.stock, period, int(custom), true, a->requestTag);
}
