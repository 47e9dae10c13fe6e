#include "charts/multitrend.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/datetime.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "platform/msgbox.h"

namespace {

constexpr uint32_t kDateMask = ~uint32_t(0x7FF);  // hour and minute bits cleared
constexpr int kMaxHalfCount = (kTrendGridCapacity - 1) / 2;


const REALQUOTE *QuoteOf(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  return m && stock.stock < m->m_loadedCount ? &m->m_quotes[stock.stock] : nullptr;
}

bool NonTrading(const TMarketData *m, PackedDateTime date) {
  return m && IsNonTradingDay(&date, m->m_info.calendarKey) != 0;
}

void NoMemory() { MessageBoxA(nullptr, "内存不足，图形无法显示。", "错误", MB_ICONERROR | MB_TOPMOST); }

}  // namespace

PackedDateTime TrendTradingDate(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  if (!m) return 0;
  PackedDateTime date = m->m_currentTime & kDateMask;
  const int kind = StockKindOf(m, stock.stock);
  const PackedDateTime kindDate = kind >= 0 && kind < kMaxStockKinds ? m->m_tradingDate[kind] & kDateMask : date;
  if (NonTrading(m, date) || date != kindDate) {
    PackedPreviousDayInPlace(&date);
    for (int guard = 0; guard < 366 && NonTrading(m, date); ++guard) PackedPreviousDayInPlace(&date);
  }
  return date & kDateMask;
}

CMultiTrend::CMultiTrend() {
  days_.reserve(16);
  dayRects_.reserve(16);
}

CMultiTrend::~CMultiTrend() { Clear(); }

// ---- Days ------------------------------------------------------------------------------

_TickData *CMultiTrend::LiveDay() {
  if (!days_.empty()) return days_.back();
  auto *day = new (std::nothrow) _TickData;
  if (!day) {
    NoMemory();
    return nullptr;
  }
  day->ratio = ratio_;
  days_.push_back(day);
  return day;
}

void CMultiTrend::SetToday(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr) {
  if (!days_.empty() && days_.back()->history) {
    for (_TickData *d : days_) d->mainStock = attr.stock;
    return;
  }
  _TickData *day = LiveDay();
  if (!day) return;
  const REALQUOTE *quote = QuoteOf(attr.stock);
  day->LoadToday(series, quote && quote->last == 0 ? 0 : count, attr);
  day->mainStock = attr.stock;
  day->date = TrendTradingDate(attr.stock);
}

void CMultiTrend::SetTodayOverlay(const TRENDREC *series, int count, STKPTR stock, int slot) {
  if (slot < 0 || slot >= kTrendOverlaySlots) return;
  if (!days_.empty() && days_.back()->history) {
    for (_TickData *d : days_) {
      d->hasOverlays = 1;
      d->overlaySlots = slot + 1;
      d->overlayStocks[slot] = stock;
    }
    return;
  }
  _TickData *day = LiveDay();
  if (!day) return;
  const REALQUOTE *quote = QuoteOf(stock);
  day->LoadOverlay(series, quote && quote->last == 0 ? 0 : count, stock, slot);
}

bool CMultiTrend::AddHistoryDay(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr) {
  auto *day = new (std::nothrow) _TickData;
  if (!day) {
    MessageBoxA(nullptr, "内存不足，无法显示更多数据。", "提示", MB_TOPMOST);
    return false;
  }
  day->LoadHistoryDay(series, count, attr);
  day->history = 1;
  day->ratio = GetPriceRatio();
  days_.insert(days_.begin(), day);
  return true;
}

void CMultiTrend::ClearOverlays() {
  for (_TickData *d : days_) {
    d->hasOverlays = 0;
    d->overlaySlots = 0;
    for (STKPTR &s : d->overlayStocks) s = STKPTR(0, 0, 0);
    d->mainStock = STKPTR(0, 0, 0);
  }
}

void CMultiTrend::Clear() {
  for (_TickData *d : days_) delete d;
  days_.clear();
}

void CMultiTrend::DropOldestDay() {
  if (days_.empty()) return;
  delete days_.front();
  days_.erase(days_.begin());
}

void CMultiTrend::KeepLastDay() {
  if (days_.size() < 2) return;
  for (size_t i = 0; i + 1 < days_.size(); ++i) delete days_[i];
  days_.erase(days_.begin(), days_.end() - 1);
}

// ---- Geometry --------------------------------------------------------------------------

void CMultiTrend::SetPriceRatio(float ratio) {
  ratio_ = ratio;
  for (_TickData *d : days_) d->ratio = ratio;
}

float CMultiTrend::GetPriceRatio() const { return days_.empty() ? 0.7f : days_.front()->ratio; }

int CMultiTrend::GetSplitY() const { return days_.empty() ? 0 : days_.front()->splitY; }

void CMultiTrend::GetPlotRect(TRENDRECT *rect) const {
  *rect = {chart_.left + left_, chart_.top + 2 * m_, chart_.right - right_, chart_.bottom - volumeBottom_};
}

void CMultiTrend::Layout(const VIEW_ATTR_13 &attr, int a, int b, int m, int d, int e) {
  left_ = a;
  right_ = b;
  m_ = m;
  labelWidth_ = d;
  volumeBottom_ = e;
  low_ = high_ = 0;
  highVolume_ = highOpenInterest_ = lowOpenInterest_ = 0;
  dayRects_.clear();
  const int n = DayCount();
  if (n == 0) return;
  days_.front()->position = n == 1 ? 1 : 2;

  const int u = chart_.right - chart_.left - a - b;
  for (int i = 0; i < n; ++i) {
    _TickData *day = days_[size_t(i)];
    TRENDRECT r{chart_.left, chart_.top, chart_.right, chart_.bottom};
    if (n == 1) {
      day->SetMargins(a, b, m, d, e);
      r.left = chart_.left + 1;
    } else if (i == 0) {
      day->SetMargins(a, 0, m, d, e);
      r.left = chart_.left + i * u / n + 1;
      r.right = chart_.left + (i + 1) * u / n + a;
    } else if (i < n - 1) {
      day->SetMargins(0, 0, m, d, e);
      day->position = 4;
      r.left = chart_.left + i * u / n + a + 1;
      r.right = chart_.left + (i + 1) * u / n + a;
    } else {
      day->SetMargins(0, b, m, d, e);
      day->position = 3;
      r.left = chart_.left + i * u / n + a + 1;
      r.right = chart_.left + (i + 1) * u / n + a + b;
    }
    dayRects_.push_back(r);
  }

  // Common ranges over the days.
  const REALQUOTE *quote = QuoteOf(attr.stock);
  bool first = true;
  for (int i = 0; i < n; ++i) {
    _TickData *day = days_[size_t(i)];
    day->SetPaneRect(dayRects_[size_t(i)]);
    day->FillMissingOpenInterest();
    const uint32_t ref = day->history ? day->dayReference : (quote ? quote->prevClose : 0);
    const uint32_t lo = day->GetMinPrice(ref), hi = day->GetMaxPrice(ref);
    if (lo != 0 && (low_ == 0 || lo < low_)) low_ = lo;
    high_ = std::max(high_, hi);
    highVolume_ = std::max(highVolume_, day->GetMaxVolume());
    const float olo = day->GetMinOpenInterest(), ohi = day->GetMaxOpenInterest();
    day->dayLowAmount = olo;
    day->dayHighAmount = ohi;
    if (olo != 0 && (first || lowOpenInterest_ == 0 || olo < lowOpenInterest_)) lowOpenInterest_ = olo;
    if (ohi != 0) highOpenInterest_ = std::max(highOpenInterest_, ohi);
    first = false;
  }

  // The day's own extremes.
  const _TickData *only = n == 1 ? days_.front() : nullptr;
  bool overlays = false;
  for (const _TickData *day : days_) overlays = overlays || day->hasOverlays;
  if (only && only->history) {
    const STKINFO *info = GetStockInfo(attr.stock);
    KLINEBAR pair[2];
    if (info && ReadDayBarPair(attr.stock.market, info->code, only->date, pair)) {
      if (pair[1].low != 0 && (low_ == 0 || pair[1].low < low_)) low_ = pair[1].low;
      high_ = std::max(high_, pair[1].high);
    }
  } else if (quote) {
    const uint32_t dayLow = quote->low, dayHigh = quote->high;  // the record is packed
    if (n > 1 || overlays) {
      if (dayLow != 0 && low_ != 0) low_ = std::min(low_, dayLow);
      if (dayHigh != 0 && high_ != 0) high_ = std::max(high_, dayHigh);
    } else {
      if (dayLow != 0 && (dayLow < low_ || low_ < dayLow / 2)) low_ = dayLow;
      if (dayHigh != 0 && (dayHigh > high_ || high_ / 2 > dayHigh)) high_ = dayHigh;
    }
  }

  // Price scale.
  const STKINFO *info = GetStockInfo(attr.stock);
  const uint32_t unit = info ? GetPriceUnit(info->PriceDivisor(), info->decimals) : 1;
  const float ratio = GetPriceRatio();
  const int P = int(std::trunc((chart_.bottom - chart_.top - 2 * m - e) * double(ratio)));
  const int upper = std::min(std::max(1, int(std::trunc(P * 0.5 / 35 + 0.5))), kMaxHalfCount);
  const int lower = std::min(std::max(1, int(std::trunc(P * 0.5 / 45 + 0.5))), kMaxHalfCount);
  uint32_t step = 0;
  gridHalf_ = 0;
  if (low_ != 0 && high_ != 0) {
    base_ = ComputeBasePrice(attr);
    const uint64_t highUnits = (uint64_t(unit) * 5 / 10 + high_) / unit;
    const uint64_t lowUnits = low_ / unit;
    const int64_t E = int64_t(base_ / unit) - int64_t(lowUnits);
    const int f = std::max(lower, std::min(upper, 7));
    if (E <= f) {
      gridHalf_ = f;
      step = 1;
    } else {
      for (int i = lower; i <= upper; ++i)
        if (E % i == 0) {
          gridHalf_ = i;
          step = uint32_t(E / i);
          break;
        }
    }
    high_ = uint32_t(std::min<uint64_t>(highUnits * unit, 0xFFFFFFFFu));
    low_ = uint32_t(lowUnits * unit);
  } else {
    base_ = ComputeBasePrice(attr);
  }

  // Volume scale: at least one unit per grid interval.
  const int H = chart_.bottom - chart_.top - P - e - 3 * m;
  const int c = std::clamp(2 * (H / kTrendGridPitch), 2, kTrendGridCapacity - 2);
  const TMarketData *market = MarketOf(attr.stock);
  if (float(c) > highVolume_) {
    const int kind = market ? StockKindOf(market, attr.stock.stock) : 0;
    const bool hundreds = market && (market->m_info.type == 1 || market->m_info.type == 4 ||
                                     (kind >= 0 && kind < kMaxStockKinds && market->m_info.kinds[kind].noOrderBook));
    highVolume_ = hundreds ? float(c) * 100 : float(c);
  }
  highVolume_ = std::ceil(highVolume_ / float(c)) * float(c);

  // Open-interest scale.
  const float g = float(c / 2);
  if (highOpenInterest_ == lowOpenInterest_) highOpenInterest_ += g;
  if (highOpenInterest_ - lowOpenInterest_ < g) highOpenInterest_ += std::fabs(highOpenInterest_ - g);
  highOpenInterest_ = lowOpenInterest_ + g * std::ceil((highOpenInterest_ - lowOpenInterest_) / g);

  for (_TickData *day : days_) {
    day->highPrice = high_;
    day->lowPrice = low_;
    day->basePrice = base_;
    day->highVolume = highVolume_;
    day->highOpenInterest = highOpenInterest_;
    day->lowOpenInterest = lowOpenInterest_;
    day->gridStep = step;
    day->Layout(attr, ratio, gridHalf_);
    const int lines = day->GetTimeGridCount();
    TIMELINE *t = day->TimeGrid();
    for (int k = 0; k < lines; ++k) t[k].emphasis = (n == 1 || k == 0 || k == lines - 1) ? 1 : 0;
  }
}

uint32_t CMultiTrend::ComputeBasePrice(const VIEW_ATTR_13 &attr) {
  const STKINFO *info = GetStockInfo(attr.stock);
  const REALQUOTE *quote = QuoteOf(attr.stock);
  const int64_t divisor = info ? info->PriceDivisor() : 1000;
  int64_t H = high_, L = low_, base = 0;
  if (DayCount() == 1 && days_.front()->history) {
    const _TickData *day = days_.front();
    KLINEBAR pair[2];
    if (info && ReadDayBarPair(attr.stock.market, info->code, day->date, pair))
      base = pair[0].settlement ? pair[0].settlement : pair[0].close;
    else if (day->GetCount() > 0)
      base = day->GetRecords()[0].price;
    else
      base = (H + L) / 2;
  } else if (quote) {
    base = quote->refPrice;
  }
  if (base == 0 && H == 0 && L == 0)
    base = divisor * 100;
  else if (base == 0 || (attr.displayFlags & 0x8))
    base = (H + L) / 2;
  const int64_t u = info ? GetPriceUnit(info->PriceDivisor(), info->decimals) : 1;
  if (u != 1 && base % u >= u * 5 / 10) base = (base / u + 1) * u;
  if (H == 0 && L == 0) {
    H = int64_t(std::trunc(base + base * 0.1));
    L = int64_t(std::trunc(base - base * 0.1));
  }
  if (base <= 0) {
    if (H != 0 && L != 0) {
      base = (H + L) / 2;
    } else {
      H = divisor * 2;
      L = 0;
      base = divisor;
    }
  }
  if (base == H && base == L) {
    H = int64_t(std::trunc(base + base * 0.1));
    L = int64_t(std::trunc(base - base * 0.1));
  } else if (base >= H) {
    H = 2 * base - L;
  } else if (base <= L) {
    L = 2 * base - H;
  } else if (H - base >= base - L) {
    L = 2 * base - H;
  } else {
    H = 2 * base - L;
  }
  if (base > 0 && double(H - base) / double(base) < 0.0001) {
    H = int64_t(std::trunc(base + base * 0.0001));
    L = int64_t(std::trunc(base - base * 0.0001));
  }
  high_ = uint32_t(std::clamp<int64_t>(H, 0, 0xFFFFFFFFll));
  low_ = uint32_t(std::clamp<int64_t>(L, 0, 0xFFFFFFFFll));
  base_ = uint32_t(std::clamp<int64_t>(base, 0, 0xFFFFFFFFll));
  return base_;
}

// ---- Hit tests -------------------------------------------------------------------------

bool CMultiTrend::Select(int x, int *day, int *point) const {
  for (int i = 0; i < DayCount() && i < int(dayRects_.size()); ++i) {
    if (x < dayRects_[size_t(i)].left || x > dayRects_[size_t(i)].right) continue;
    const _TickData *d = days_[size_t(i)];
    const TRENDPOINT *p = d->GetPoints();
    const int count = d->GetPointCount();
    // The last point can be selected too: a day of one point has one.
    for (int j = 0; p && j < count; ++j) {
      if (x == p[j].x) {
        *day = i;
        *point = j;
        return true;
      }
      if (j + 1 < count && p[j].x < x && x <= p[j + 1].x) {
        *day = i;
        *point = j + 1;
        return true;
      }
    }
    return false;
  }
  return false;
}

void CMultiTrend::HitTest(int x) {
  int day, point;
  if (!Select(x, &day, &point)) return;
  cursorDay_ = day;
  cursorPoint_ = point;
  cursorX_ = x;
}

const TRENDPOINT *CMultiTrend::FindPointAtX(int x, bool *history) const {
  int day, point;
  if (!Select(x, &day, &point)) return nullptr;
  if (history) *history = days_[size_t(day)]->history != 0;
  return &days_[size_t(day)]->GetPoints()[point];
}

const TRENDPOINT *CMultiTrend::FindOverlayPointAtX(int x, int slot, bool *history) const {
  for (int i = 0; i < DayCount() && i < int(dayRects_.size()); ++i) {
    if (x < dayRects_[size_t(i)].left || x > dayRects_[size_t(i)].right) continue;
    const _TickData *d = days_[size_t(i)];
    const TRENDPOINT *p = d->GetOverlayPoints(slot);
    const int count = d->GetOverlayPointCount(slot);
    for (int j = 0; p && j < count; ++j)
      if (x == p[j].x || (j + 1 < count && p[j].x < x && x <= p[j + 1].x)) {
        if (history) *history = d->history != 0;
        return x == p[j].x ? &p[j] : &p[j + 1];
      }
    return nullptr;
  }
  return nullptr;
}

float CMultiTrend::GetSecondLineValueAtX(int x) const {
  int day, point;
  if (!Select(x, &day, &point)) return 0;
  const TRENDPOINT *line = days_[size_t(day)]->GetSecondLine();
  return line ? line[point].value : 0;
}

const TRENDPOINT *CMultiTrend::NextPoint(int *x) {
  if (cursorDay_ < 0 || cursorDay_ >= DayCount()) {
    *x = cursorX_;
    return nullptr;
  }
  const _TickData *d = days_[size_t(cursorDay_)];
  if (cursorPoint_ + 1 < d->GetPointCount()) {
    ++cursorPoint_;
  } else if (cursorDay_ + 1 < DayCount() && days_[size_t(cursorDay_ + 1)]->GetPointCount() > 0) {
    ++cursorDay_;
    cursorPoint_ = 0;
  }
  d = days_[size_t(cursorDay_)];
  if (cursorPoint_ >= d->GetPointCount()) {
    *x = cursorX_;
    return nullptr;
  }
  const TRENDPOINT *p = &d->GetPoints()[cursorPoint_];
  cursorX_ = *x = p->x;
  return p;
}

const TRENDPOINT *CMultiTrend::PrevPoint(int *x) {
  if (DayCount() == 0 || cursorDay_ < 0 || cursorDay_ >= DayCount()) {
    *x = cursorX_;
    return nullptr;
  }
  if (cursorPoint_ > 0) {
    --cursorPoint_;
  } else if (cursorDay_ > 0) {
    --cursorDay_;
    const int count = days_[size_t(cursorDay_)]->GetPointCount();
    cursorPoint_ = count < 2 ? 0 : count - 1;
  }
  const _TickData *d = days_[size_t(cursorDay_)];
  if (cursorPoint_ >= d->GetPointCount()) {
    *x = cursorX_;
    return nullptr;
  }
  const TRENDPOINT *p = &d->GetPoints()[cursorPoint_];
  cursorX_ = *x = p->x;
  return p;
}

int CMultiTrend::YToPrice(int y) const { return days_.empty() ? -1 : days_.front()->YToPrice(y); }
int CMultiTrend::YToVolume(int y) const { return days_.empty() ? -1 : days_.front()->YToVolume(y); }
