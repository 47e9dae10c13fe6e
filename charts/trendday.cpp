#include "charts/trendday.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "charts/intradaymarkets.h"
#include "core/emem.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "platform/msgbox.h"

namespace {

constexpr char kNoMemory[] = "内存不足，图形无法显示。";
constexpr char kNoMemoryBars[] = "内存不足 , 图形无法显示。";
constexpr char kNoMemoryAxis[] = "内存不足，图形无法显示。  ";
constexpr char kAxisTooLong[] = "叠加品种后时间轴大于1天，无法完成叠加。";
constexpr int kRecordBytes = kTrendSlotsPerDay * int(sizeof(TRENDREC));

void ShowError(const char *text) { MessageBoxA(nullptr, text, "错误", MB_ICONERROR | MB_TOPMOST); }


int KindOf(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  return m ? StockKindOf(m, stock.stock) : 0;
}

int MarketType(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  return m ? m->m_info.type : 0;
}

// Trading minutes of the instrument's kind + 1 (the opening slot).
int SlotsPerDay(const MKINFO &info, int kind) {
  if (kind < 0 || kind >= kMaxStockKinds) return 1;
  int minutes = info.kinds[kind].minutesPerDay;
  if (minutes == 0) minutes = TradingMinutesOfKind(&info, kind);
  return std::clamp(minutes + 1, 1, kTrendAxisLimit);
}

// Hours of the merged axis may leave 0..23 (an overlay shifted from
// another time zone): they compare as signed values.
bool Earlier(uint32_t hourA, uint32_t minuteA, uint32_t hourB, uint32_t minuteB) {
  return hourA != hourB ? int32_t(hourA) < int32_t(hourB) : minuteA < minuteB;
}

}  // namespace

// ---- Free helpers ----------------------------------------------------------------------

uint32_t GetPriceUnit(uint32_t divisor, int decimals) {
  if (divisor == 0) return 1;
  int digits = 0;  // floor(log10(divisor)), in integers
  for (uint32_t d = divisor; d >= 10; d /= 10) ++digits;
  if (decimals >= digits) return 1;
  uint32_t unit = 1;
  for (int i = decimals < 0 ? 0 : decimals; i < digits; ++i) unit *= 10;
  return unit;
}

uint32_t GetPriceUnit(const VIEW_ATTR_13 &attr) {
  const STKINFO *info = GetStockInfo(attr.stock);
  return info ? GetPriceUnit(info->PriceDivisor(), info->decimals) : 1;
}

uint32_t RoundToUnits(uint32_t price, uint32_t unit) {
  if (unit == 0) unit = 1;
  return uint32_t((uint64_t(unit) * 5 / 10 + price) / unit);
}

int TrendToPerMinute(int market, const TRENDREC *source, int count, TRENDREC *destination) {
  if (count <= 0 || !source || !destination) return 0;
  count = std::min(count, kTrendSlotsPerDay);
  std::memmove(destination, source, size_t(count) * sizeof(TRENDREC));
  const TMarketData *m = MarketAt(market);
  const bool turnover = m && (m->m_info.type == 1 || m->m_info.type == 6);
  for (int i = count - 1; i >= 1; --i) {
    destination[i].volume -= destination[i - 1].volume;
    if (turnover) destination[i].amount -= destination[i - 1].amount;
  }
  return count;
}

int FindTimeSlot(const TIMESLOT *axis, int count, uint32_t minute, uint32_t hour) {
  int lo = 0, hi = count - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (axis[mid].hour == hour && axis[mid].minute == minute) return mid;
    if (Earlier(axis[mid].hour, axis[mid].minute, hour, minute))
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return -1;
}

int FindTimeSlotInsertPos(const TIMESLOT *axis, int count, uint32_t minute, uint32_t hour) {
  int lo = 0, hi = count;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (axis[mid].hour == hour && axis[mid].minute == minute) return mid;
    if (Earlier(axis[mid].hour, axis[mid].minute, hour, minute))
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// ---- Life cycle ------------------------------------------------------------------------

_TickData::_TickData() = default;

_TickData::~_TickData() {
  Free(records_);
  Free(points_);
  for (int i = 0; i < kTrendOverlaySlots; ++i) {
    Free(overlayRecords_[i]);
    Free(overlayPoints_[i]);
  }
  Free(volumeBars_);
  Free(secondLine_);
  Free(adBars_);
  Free(oiLine_);
  Free(axis_);
  Free(stamps_);
}

bool _TickData::EnsureRecords(TRENDREC **buffer) {
  if (*buffer && MSize(*buffer) >= kRecordBytes) return true;
  Free(*buffer);
  *buffer = static_cast<TRENDREC *>(Malloc(kRecordBytes));
  if (!*buffer) {
    ShowError(kNoMemory);
    return false;
  }
  return true;
}

bool _TickData::EnsurePoints(TRENDPOINT **points, int capacity, const char *message) {
  if (*points) return true;
  *points = static_cast<TRENDPOINT *>(Malloc(capacity * int(sizeof(TRENDPOINT))));
  if (!*points) {
    ShowError(message);
    return false;
  }
  std::memset(*points, 0, size_t(capacity) * sizeof(TRENDPOINT));
  return true;
}

// ---- Loading ---------------------------------------------------------------------------

bool _TickData::LoadToday(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr) {
  count_ = 0;
  // The divisor is known before the first layout asks for the ranges.
  if (const STKINFO *info = GetStockInfo(attr.stock)) {
    decimals = info->decimals;
    divisor = info->PriceDivisor();
  }
  if (!EnsureRecords(&records_)) return false;
  if (series && count > 0) {
    count_ = TrendToPerMinute(attr.stock.market, series, count, records_);
    mainStock = attr.stock;
  }
  return true;
}

bool _TickData::LoadOverlay(const TRENDREC *series, int count, STKPTR stock, int slot) {
  if (slot < 0 || slot >= kTrendOverlaySlots) return false;
  overlayCount_[slot] = 0;
  if (!EnsureRecords(&overlayRecords_[slot])) return false;
  if (series && count > 0) {
    hasOverlays = 1;
    overlaySlots = slot + 1;
    overlayCount_[slot] = TrendToPerMinute(stock.market, series, count, overlayRecords_[slot]);
    overlayStocks[slot] = stock;
  }
  return true;
}

bool _TickData::LoadHistoryDay(const TRENDREC *series, int count, const VIEW_ATTR_13 &attr) {
  if (const STKINFO *info = GetStockInfo(attr.stock)) {
    decimals = info->decimals;
    divisor = info->PriceDivisor();
  }
  if (const TMarketData *m = MarketOf(attr.stock)) axisCount_ = uint32_t(SlotsPerDay(m->m_info, KindOf(attr.stock)));
  count_ = 0;
  if (!EnsureRecords(&records_)) return false;
  for (int i = 0; i < kTrendOverlaySlots; ++i) {
    overlayCount_[i] = 0;
    if (!EnsureRecords(&overlayRecords_[i])) return false;
  }
  if (series && count > 0) {
    count_ = std::min(count, kTrendSlotsPerDay);
    std::memcpy(records_, series, size_t(count_) * sizeof(TRENDREC));
  }
  return true;
}

// ---- Ranges ----------------------------------------------------------------------------

void _TickData::SetMargins(int left, int right, int m, int labelWidth, int volumeBottom) {
  leftMargin_ = left;
  rightMargin_ = right;
  m_ = m;
  labelWidth_ = labelWidth;
  volumeBottom_ = volumeBottom;
}

void _TickData::FillMissingOpenInterest() {
  for (int i = GetCount() - 2; i >= 0; --i)
    if (!(records_[i].amount > 0)) records_[i].amount = records_[i + 1].amount;
}

int _TickData::GetOverlayCount(int slot) const {
  if (slot < 0 || slot >= kTrendOverlaySlots || !overlayRecords_[slot]) return 0;
  return std::max(overlayCount_[slot], 0);
}

const TRENDREC *_TickData::GetOverlayRecords(int slot) const {
  return slot >= 0 && slot < kTrendOverlaySlots ? overlayRecords_[slot] : nullptr;
}

const TRENDPOINT *_TickData::GetOverlayPoints(int slot) const {
  return slot >= 0 && slot < overlaySlots && slot < kTrendOverlaySlots ? overlayPoints_[slot] : nullptr;
}

int _TickData::GetOverlayPointCount(int slot) const {
  return GetOverlayPoints(slot) ? overlayPointCount_[slot] : 0;
}

// The extremes are kept in raw units of the shown instrument throughout:
// the shown series and the reference compare exactly, and an overlay's
// price converts to our units rounded outwards so that its extreme stays
// inside the range.
uint32_t _TickData::GetMaxPrice(uint32_t reference) const {
  const int n = GetCount();
  if (n == 0) return 0;
  uint64_t best = 0;
  for (int i = 0; i < n; ++i) {
    best = std::max<uint64_t>(best, records_[i].price);
    if (reference != 0 && i > 0)
      best = std::max<uint64_t>(best, uint64_t(std::max(0.0, (records_[i].leadingOffset * 0.0001 + 1) * reference)));
  }
  const uint64_t mainDivisor = divisor ? divisor : 1;
  for (int s = 0; s < overlaySlots && s < kTrendOverlaySlots; ++s) {
    const STKINFO *info = GetStockInfo(overlayStocks[s]);
    const int c = GetOverlayCount(s);
    if (!info || c == 0) continue;
    uint32_t high = 0;
    for (int i = 0; i < c; ++i) high = std::max(high, overlayRecords_[s][i].price);
    const uint64_t d = info->PriceDivisor();
    best = std::max(best, (uint64_t(high) * mainDivisor + d - 1) / d);
  }
  return uint32_t(std::min<uint64_t>(best, std::numeric_limits<uint32_t>::max()));
}

uint32_t _TickData::GetMinPrice(uint32_t reference) const {
  const int n = GetCount();
  if (n == 0) return 0;
  uint64_t best = std::numeric_limits<uint64_t>::max();
  for (int i = 0; i < n; ++i) {
    best = std::min<uint64_t>(best, records_[i].price);
    if (reference != 0 && i > 0)
      best = std::min<uint64_t>(best, uint64_t(std::max(0.0, (records_[i].leadingOffset * 0.0001 + 1) * reference)));
  }
  const uint64_t mainDivisor = divisor ? divisor : 1;
  for (int s = 0; s < overlaySlots && s < kTrendOverlaySlots; ++s) {
    const STKINFO *info = GetStockInfo(overlayStocks[s]);
    const int c = GetOverlayCount(s);
    if (!info || c == 0) continue;
    uint32_t low = std::numeric_limits<uint32_t>::max();
    for (int i = 0; i < c; ++i) low = std::min(low, overlayRecords_[s][i].price);
    best = std::min(best, uint64_t(low) * mainDivisor / info->PriceDivisor());
  }
  return uint32_t(std::min<uint64_t>(best, std::numeric_limits<uint32_t>::max()));
}

float _TickData::GetMaxVolume() const {
  float best = 0;
  for (int i = 0; i < GetCount(); ++i) best = std::max(best, records_[i].volume);
  return best;
}

float _TickData::GetMaxOpenInterest() const {
  const int n = GetCount();
  if (n == 0) return 0;
  float best = records_[0].amount;
  for (int i = 1; i < n; ++i) best = std::max(best, records_[i].amount);
  return best;
}

float _TickData::GetMinOpenInterest() const {
  const int n = GetCount();
  if (n == 0) return 0;
  float best = records_[0].amount;
  for (int i = 1; i < n; ++i) best = std::min(best, records_[i].amount);
  return best;
}

int _TickData::FindIndexOverlay(const VIEW_ATTR_13 &attr) const {
  const STKINFO *shown = GetStockInfo(attr.stock);
  if (!shown || !IsIndexFutures(attr.stock.market, shown->kind)) return -1;
  uint16_t market = kReferenceIndexMarket;
  const STKINFO *index = LookupStock(kReferenceIndexCode, &market, 0);
  if (!index) return -1;
  for (int s = 0; s < overlaySlots && s < kTrendOverlaySlots; ++s)
    if (overlayStocks[s].market == market && overlayStocks[s].stock == index->index) return s;
  return -1;
}

// ---- Layout ----------------------------------------------------------------------------

void _TickData::ClearLayout() {
  std::memset(priceGrid_, 0, sizeof priceGrid_);
  std::memset(volumeGrid_, 0, sizeof volumeGrid_);
  std::memset(timeLines_, 0, sizeof timeLines_);
  std::memset(timeLabels_, 0, sizeof timeLabels_);
  priceGridCount_ = timeLineCount_ = volumeGridCount_ = timeLabelCount_ = 0;
  pointCount_ = adCount_ = 0;
  std::fill(std::begin(overlayPointCount_), std::end(overlayPointCount_), 0);
}

void _TickData::Layout(const VIEW_ATTR_13 &attr, float paneRatio, int gridHalfCount) {
  ratio = paneRatio;
  if (GetCount() > 0)
    std::snprintf(dayLabel, sizeof dayLabel, "%02u/%02u", PackedMonth(date) % 100, PackedDay(date) % 100);
  ClearLayout();

  const int m0 = m_, vb0 = volumeBottom_;
  const int top = pane_.top, bottom = pane_.bottom;
  int split = int(std::trunc(top + (bottom - top - 2 * m0 - vb0) * double(ratio) + 2 * m0));
  pricePane = {pane_.left, top, pane_.right, split};
  volumePane = {pane_.left, split, pane_.right, bottom};
  const int priceH0 = split - top, volumeH0 = bottom - split;
  anchors_[0] = {pane_.left + 2, top + 2};
  anchors_[1] = {pane_.left + leftMargin_ + 2, top + m0 + 4};
  anchors_[2] = {pane_.left + leftMargin_ + 2, split + 4};

  if (ratio > 0.9f || (priceH0 > 2 * m0 + 1 && volumeH0 > m0 + vb0 + 1)) {
    BuildPricePane(attr, gridHalfCount);
    BuildVolumePane(attr);
    return;
  }
  if (priceH0 <= 2 * m0 + 1) {
    // The price pane is too small: give it room from the volume pane when
    // that has it, and drop the margins that do not fit.
    if (volumeH0 > 3 * m0 + vb0 + 1) split = top + 3 * m0 + 1;
    pricePane.bottom = split;
    volumePane.top = split;
    if (pricePane.bottom - pricePane.top <= 2 * m_ + 1) m_ = 0;
    if (volumeH0 <= m0 + vb0 + 1) volumeBottom_ = 0;
    BuildPricePane(attr, gridHalfCount);
    if (volumeH0 > m0 + vb0 + 1) m_ = m0;
    BuildVolumePane(attr);
  } else {
    // The volume pane is too small.
    if (priceH0 > 4 * m0 + 1) {
      volumePane.top = bottom - (2 * m0 + vb0 + 1);
    } else {
      volumePane.top = bottom - (m0 + vb0 + 1);
      volumeBottom_ = 0;
    }
    split = volumePane.top;
    pricePane.bottom = split;
    if (pricePane.bottom - pricePane.top <= 2 * m_ + 1) m_ = 0;
    BuildPricePane(attr, gridHalfCount);
    if (volumeH0 <= m0 + vb0 + 1) m_ = 0;
    BuildVolumePane(attr);
  }
  if (priceH0 <= 2 * m0 + 1) anchors_[0] = anchors_[1] = {-16, -16};
  if (volumeH0 <= m0 + vb0 + 1) anchors_[2] = {-16, -16};
}

void _TickData::StampSlots(const MKINFO &info, int kind, int n, TIMESLOT *out) const {
  int previous = -1;
  for (int k = 0; k < n; ++k) {
    int c = TradingMinuteToClock(&info, k, kind);
    if (k == n - 1) ++c;
    // A slot carries the end of its minute: the first minute after a
    // break shows the time the session before it ended.
    const int raw = c;
    if (previous >= 0 && c > previous + 1) c = previous + 1;
    previous = raw;
    out[k] = {uint32_t(c % 60), uint32_t(c / 60)};
  }
}

bool _TickData::BuildMergedTimeAxis(const MKINFO &info, int kind) {
  const int n = SlotsPerDay(info, kind);
  if (!stamps_) stamps_ = static_cast<TIMESLOT *>(Malloc(kTrendAxisLimit * int(sizeof(TIMESLOT))));
  if (!axis_ || axisCapacity_ < uint32_t(n)) {
    Free(axis_);
    axisCapacity_ = uint32_t(std::max(n, kTrendAxisLimit));
    axis_ = static_cast<TIMESLOT *>(Malloc(int(axisCapacity_ * sizeof(TIMESLOT))));
  }
  if (!axis_ || !stamps_) {
    Free(axis_);
    axis_ = nullptr;
    axisCapacity_ = axisCount_ = 0;
    ShowError(kNoMemoryAxis);
    return false;
  }
  StampSlots(info, kind, n, axis_);
  axisCount_ = uint32_t(n);
  for (int k = 0; k < n && k < GetCount(); ++k) {
    points_[k].hour = int32_t(axis_[k].hour);
    points_[k].minute = int32_t(axis_[k].minute);
  }
  for (int s = 0; s < overlaySlots && s < kTrendOverlaySlots; ++s) {
    const int c = GetOverlayCount(s);
    const TMarketData *om = MarketOf(overlayStocks[s]);
    if (c == 0 || !om) continue;
    const int d = om->m_info.hourOffset - info.hourOffset;
    const int on = SlotsPerDay(om->m_info, KindOf(overlayStocks[s]));
    StampSlots(om->m_info, KindOf(overlayStocks[s]), on, stamps_);
    for (int j = 0; j < on; ++j) {
      const uint32_t hour = uint32_t(int32_t(stamps_[j].hour) - d);
      const uint32_t minute = stamps_[j].minute;
      if (j < c) {
        overlayPoints_[s][j].hour = int32_t(hour);
        overlayPoints_[s][j].minute = int32_t(minute);
      }
      const int at = FindTimeSlotInsertPos(axis_, int(axisCount_), minute, hour);
      if (at < int(axisCount_) && axis_[at].hour == hour && axis_[at].minute == minute) continue;
      // The merged axis holds one day: 1441 slots.
      if (at > kTrendAxisLimit - 1 || axisCount_ >= uint32_t(kTrendAxisLimit)) {
        ShowError(kAxisTooLong);
        return false;
      }
      std::memmove(axis_ + at + 1, axis_ + at, (axisCount_ - uint32_t(at)) * sizeof(TIMESLOT));
      axis_[at] = {minute, hour};
      ++axisCount_;
    }
  }
  return true;
}

int _TickData::SlotX(int slot, int n, int w) const {
  const int span = std::max(n - 1, 1);
  return int(int64_t(slot) * w / span) + pricePane.left + leftMargin_;
}

int _TickData::ClampX(int x) const { return std::min(x, pricePane.right - rightMargin_ - 1); }

void _TickData::BuildPricePane(const VIEW_ATTR_13 &attr, int halfCount) {
  const STKINFO *info = GetStockInfo(attr.stock);
  const TMarketData *market = MarketOf(attr.stock);
  if (info) {
    decimals = info->decimals;
    divisor = info->PriceDivisor();
  }
  if (!EnsurePoints(&points_, kTrendPointCapacity, kNoMemory)) return;
  for (TRENDPOINT *&p : overlayPoints_)
    if (!EnsurePoints(&p, kTrendPointCapacity, kNoMemory)) return;
  const int kind = KindOf(attr.stock);
  const bool merged = hasOverlays != 0 && market;
  if (merged) {
    if (!BuildMergedTimeAxis(market->m_info, kind)) return;
  } else {
    axisCount_ = uint32_t(market ? SlotsPerDay(market->m_info, kind) : 1);
  }
  const int n = int(axisCount_);

  const int top = pricePane.top, split = pricePane.bottom;
  const int h = split - top - 2 * m_;
  const int w = pricePane.right - pricePane.left - leftMargin_ - rightMargin_;
  frame[0] = {pricePane.left - 1, top + m_};
  frame[1] = {pricePane.right + 1, top + m_};
  frame[2] = {pricePane.left - 1, split};
  frame[3] = {pricePane.right + 1, split};
  splitY = ratio > 0.9f ? -10 : split;

  const uint32_t unit = GetPriceUnit(divisor, decimals);
  BuildPriceGrid(h, halfCount, unit);
  if (market) BuildTimeGrid(market->m_info, attr.stock.market, kind, n, w, split);

  // Main points: each at its slot, or with overlays at the merged slot of
  // its time; every point carries its slot's time.
  const int count = std::min(GetCount(), kTrendPointCapacity);
  if (!merged && market) {
    if (!stamps_) stamps_ = static_cast<TIMESLOT *>(Malloc(kTrendAxisLimit * int(sizeof(TIMESLOT))));
    if (stamps_) {
      StampSlots(market->m_info, kind, n, stamps_);
      for (int k = 0; k < count && k < n; ++k) {
        points_[k].hour = int32_t(stamps_[k].hour);
        points_[k].minute = int32_t(stamps_[k].minute);
      }
    }
  }
  const double div = divisor ? double(divisor) : 1.0;
  for (int k = 0; k < count; ++k) {
    TRENDPOINT &p = points_[k];
    const TRENDREC &r = records_[k];
    int slot = k;
    if (merged) {
      slot = FindTimeSlot(axis_, n, uint32_t(p.minute), uint32_t(p.hour));
      if (slot < 0) slot = std::min(k, n - 1);
    }
    p.y = PriceToY(RoundToUnits(r.price, unit));
    p.x = ClampX(SlotX(slot, n, w));
    p.value = float(r.price / div);
    p.rawPrice = r.price;
    p.volume = r.volume;
    p.amount = r.amount;
  }
  pointCount_ = count;

  for (int s = 0; s < overlaySlots && s < kTrendOverlaySlots; ++s) {
    const STKINFO *oinfo = GetStockInfo(overlayStocks[s]);
    const int c = std::min(GetOverlayCount(s), kTrendPointCapacity);
    if (!oinfo || c == 0 || !merged) continue;
    const double od = oinfo->PriceDivisor();
    for (int j = 0; j < c; ++j) {
      TRENDPOINT &p = overlayPoints_[s][j];
      const TRENDREC &r = overlayRecords_[s][j];
      const double real = r.price / od;
      p.y = PriceToY((real * div + unit * 5 * 0.1) / unit);
      int slot = FindTimeSlot(axis_, n, uint32_t(p.minute), uint32_t(p.hour));
      if (slot < 0) slot = std::min(j, n - 1);
      p.x = ClampX(SlotX(slot, n, w));
      p.value = float(real);
      p.rawPrice = uint32_t(std::llround(real * div));
      p.volume = r.volume;
      p.amount = r.amount;
    }
    overlayPointCount_[s] = c;
  }
  BuildSecondLine(attr, unit);
}

void _TickData::BuildPriceGrid(int h, int halfCount, uint32_t unit) {
  // Every grid holds at most 59 lines: a pane taller than 1799 pixels gets
  // wider intervals rather than more lines.
  constexpr int kMaxHalf = (kTrendGridCapacity - 1) / 2;
  const int half = halfCount != 0 ? std::min(halfCount, kMaxHalf)
                                  : std::min(std::max(1, h > 0 ? h / kTrendGridPitch : 0), kMaxHalf);
  const int b = 2 * half + 1;
  const int mid = b / 2;
  const int64_t B = basePrice, H = highPrice, L = lowPrice, s = gridStep;
  const int64_t u = unit ? unit : 1;
  const int64_t bu = B / u;
  for (int k = 0; k < b; ++k) {
    GRIDLINE &g = priceGrid_[k];
    g.x1 = pricePane.left + leftMargin_;
    g.x2 = pricePane.right - rightMargin_;
    g.y1 = g.y2 = pricePane.top + 2 * m_ + int(int64_t(k) * h / (b - 1));
    double value;
    if (k == mid) {
      g.relation = 2;
      value = double(bu);
    } else if (k > mid) {
      g.relation = 3;
      value = s != 0 ? double(bu - (k - mid) * s) : double(bu) - std::trunc(double(B - L) * (k - mid) / mid / u);
    } else {
      g.relation = 1;
      value = s != 0 ? double(bu + s * (mid - k))
                     : double((int64_t(std::trunc(double(H - B) * (mid - k) / mid)) + B) / u);
    }
    g.value = float(value);
    g.percent = bu != 0 ? float((value - double(bu)) * 100.0 / double(bu)) : 0.0f;
    g.shown = 1;
  }
  priceGridCount_ = b;
  if (b >= 2 && priceGrid_[1].y1 - priceGrid_[0].y1 < 18)
    for (int k = 0; k < b; ++k) priceGrid_[k].shown = 0;
}

void _TickData::BuildTimeGrid(const MKINFO &info, int market, int kind, int n, int w, int priceBottom) {
  auto add = [&](int x, int clock) {
    if (timeLineCount_ >= kTrendGridCapacity) return;
    const int i = timeLineCount_++;
    TIMELINE &t = timeLines_[i];
    const int hour = ((clock < 0 ? clock - 59 : clock) / 60 % 24 + 24) % 24, minute = (clock % 60 + 60) % 60;
    t.x = t.x2 = x;
    t.top = pricePane.top + ((i == 0 && (position == 1 || position == 2)) ? m_ : 2 * m_);
    // A hidden volume pane leaves the lines ending at the price pane.
    t.bottom = priceBottom;
    t.timeCode = hour * 100 + minute * 100 / 60;
    if (timeLabelCount_ >= kTrendTimeLabelCapacity) return;
    TIMELABEL &l = timeLabels_[timeLabelCount_++];
    int shown = hour;
    ShiftHourByZone(&TimeZoneTable, market, kind, &shown);
    std::snprintf(l.text, sizeof l.text, "%02u:%02u", unsigned(shown) % 24u, unsigned(minute) % 60u);
    l.x = x - labelWidth_ / 2;
    l.y = pane_.bottom - volumeBottom_ + 2;
    l.minute = minute;
  };
  if (hasOverlays && axis_ && int(axisCount_) == n) {
    for (int k = 0; k < n; ++k) {
      const int clock = int32_t(axis_[k].hour) * 60 + int(axis_[k].minute);
      if (k == 0 || k == n - 1 || axis_[k].minute == 0 || axis_[k].minute == 30) add(SlotX(k, n, w), clock);
    }
  } else {
    auto clockOf = [&](int k) { return TradingMinuteToClock(&info, k, kind) + (k == n - 1 ? 1 : 0); };
    add(SlotX(0, n, w), clockOf(0));
    for (int k = 1; k <= n - 3; ++k)
      if ((clockOf(k) + 1) % 30 == 0) add(SlotX(k + 1, n, w), clockOf(k) + 1);
    if (n >= 3 && clockOf(n - 2) % 30 == 0) add(SlotX(n - 2, n, w), clockOf(n - 2));
    if (n >= 2) add(SlotX(n - 1, n, w), clockOf(n - 1));
  }
  if (timeLineCount_ > 0) {
    --timeLines_[0].x;
    --timeLines_[0].x2;
    if (timeLabelCount_ > 0) --timeLabels_[0].x;
    if (position == 1 || position == 3) timeLines_[timeLineCount_ - 1].top = pricePane.top + m_;
  }
  // Thin the labels: the smallest step i at which every pair of lines i
  // apart leaves room for a label.
  const int count = timeLabelCount_;
  int step = 1;
  for (bool crowded = true; crowded && step < count;) {
    crowded = false;
    for (int j = 0; j + step < count; ++j)
      if (timeLines_[j + step].x - timeLines_[j].x < labelWidth_ + 5) {
        crowded = true;
        ++step;
        break;
      }
  }
  if (step > 1 && step < count && timeLabels_[step].minute != timeLabels_[0].minute) ++step;
  for (int j = 0; j < count; ++j) timeLabels_[j].shown = j % step == 0 ? 1 : 0;
}

void _TickData::BuildSecondLine(const VIEW_ATTR_13 &attr, uint32_t unit) {
  if (!EnsurePoints(&secondLine_, kTrendPointCapacity, kNoMemory)) return;
  if (!EnsurePoints(&adBars_, kTrendPointCapacity + 1, kNoMemoryBars)) return;
  const int count = pointCount_;
  const STKINFO *info = GetStockInfo(attr.stock);
  const double u = unit ? unit : 1;
  const double B = basePrice, H = highPrice, L = lowPrice;
  auto bar = [&](int k, const TRENDREC &r, int x) {
    const double v = B + (int(r.advancing) - int(r.declining)) * (H - L) / 300;
    TRENDPOINT &p = adBars_[k + 1];
    p.y = PriceToY(v / u);
    p.x = ClampX(x);
    p.value = float(v);
  };
  int empty = 0;
  adCount_ = 0;
  const int indexSlot = FindIndexOverlay(attr);
  const bool majorIndex = info && IsMajorIndexCode(attr.stock.market, info->code);
  if (count > 0 && !majorIndex && indexSlot >= 0) {
    const int c = std::min(GetOverlayPointCount(indexSlot), kTrendPointCapacity);
    for (int k = 0; k < c; ++k) bar(k, overlayRecords_[indexSlot][k], overlayPoints_[indexSlot][k].x);
    adBars_[0].y = PriceToY(double(basePrice / (unit ? unit : 1)));
    adCount_ = c + 1;
  }
  if (count > 0 && majorIndex) {
    const TMarketData *m = MarketOf(attr.stock);
    double r = m ? m->m_quotes[attr.stock.stock].prevClose : 0;
    if (history && dayReference != 0) r = dayReference;
    for (int k = 0; k < count; ++k) {
      const double v = (records_[k].leadingOffset * 0.0001 + 1) * r;
      secondLine_[k].y = PriceToY(v / u);
      secondLine_[k].x = points_[k].x;
      secondLine_[k].value = float(v);
      bar(k, records_[k], points_[k].x);
    }
    adBars_[0].y = PriceToY(double(basePrice / (unit ? unit : 1)));
    adCount_ = count + 1;
  } else {
    // The average price (also for an index future beside its index's bars).
    double sum = 0, total = 0;
    for (int k = 0; k < count; ++k) {
      const TRENDREC &r = records_[k];
      if (r.priceVolume == 0)
        sum += double(r.price) * r.volume;
      else
        sum = r.priceVolume;
      total += r.volume;
      TRENDPOINT &p = secondLine_[k];
      p.x = points_[k].x;
      if (total == 0 || std::fabs(r.volume) < 0.00001) {
        ++empty;
        if (k == 0) {
          p.y = PriceToY(r.price / u);
          p.value = float(r.price);
        } else {
          p.y = secondLine_[k - 1].y;
          p.value = secondLine_[k - 1].value;
        }
      } else {
        const double average = sum / total;
        p.y = PriceToY(average / u);
        p.value = float(average);
      }
    }
  }
  if (!majorIndex && empty == count) adCount_ = 0;
  secondLineShown_ = majorIndex ? count > 0 : empty != count;
}

void _TickData::BuildVolumePane(const VIEW_ATTR_13 &attr) {
  volumeGridCount_ = 0;
  const int t = volumePane.top + m_;
  const int hv = volumePane.bottom - volumeBottom_ - t;
  if (hv < 1) return;
  anchors_[2] = {volumePane.left + leftMargin_ + 2, volumePane.top + 4};
  const int type = MarketType(attr.stock);
  const bool openInterest = type == 2 || type == 8;
  const int c = std::clamp(2 * (hv / kTrendGridPitch), 2, kTrendGridCapacity - 2);
  const int q = (attr.displayFlags & 0x2000) ? c : c / 2;
  for (int i = 0; i <= c; ++i) {
    GRIDLINE &g = volumeGrid_[i];
    g.x1 = volumePane.left + leftMargin_;
    g.x2 = volumePane.right - rightMargin_;
    if (i == c) {
      g.x1 = pricePane.left;
      g.x2 = pricePane.right;
    }
    g.y1 = g.y2 = t + int(int64_t(i) * hv / c);
    g.percent = float(100 - i * (100 / c));
    g.value = highVolume != 0 ? highVolume - float(i) * highVolume / float(c) : float(c - i);
    if (openInterest && i <= q) g.openInterest = float(q - i) * (highOpenInterest - lowOpenInterest) / float(q) + lowOpenInterest;
    g.shown = 1;
  }
  volumeGridCount_ = c + 1;
  if (volumeGrid_[1].y1 - volumeGrid_[0].y1 < 18)
    for (int i = 0; i <= c; ++i) volumeGrid_[i].shown = 0;

  const double scale = (highVolume == 0 || hv < 3) ? 0 : (hv - 2) / double(highVolume);
  if (!EnsurePoints(&volumeBars_, kTrendPointCapacity, kNoMemory)) return;
  const int base = volumePane.bottom - volumeBottom_;
  for (int k = 0; k < pointCount_; ++k) {
    volumeBars_[k].y = int(std::trunc(base - records_[k].volume * scale));
    volumeBars_[k].x = points_[k].x;
    volumeBars_[k].volume = records_[k].volume;
  }
  if (!openInterest) return;
  if (!EnsurePoints(&oiLine_, kTrendPointCapacity, kNoMemory)) return;
  for (int k = 0; k < pointCount_; ++k) {
    oiLine_[k].y = OpenInterestToY(records_[k].amount);
    int x = points_[k].x;
    if (x >= volumePane.right - rightMargin_) x = volumePane.right - rightMargin_ - 1;
    oiLine_[k].x = x;
    oiLine_[k].amount = records_[k].amount;
  }
}

// ---- Coordinates -----------------------------------------------------------------------

int _TickData::PriceToY(double x) const {
  const int b = priceGridCount_;
  if (b < 2) return 0;
  for (int i = 0; i < b - 1; ++i) {
    const double vi = priceGrid_[i].value, vn = priceGrid_[i + 1].value;
    if (!(vi >= x && x >= vn)) continue;
    const int d = priceGrid_[i + 1].y1 - priceGrid_[i].y1;
    int c = vi == vn ? 0 : int(std::trunc(d * (x - vn) / (vi - vn)));
    if (i == 0 && c == d) c = d - 1;
    if (i == b - 2 && c == 0) c = 2;
    return priceGrid_[i + 1].y1 - c;
  }
  return x > priceGrid_[0].value ? priceGrid_[0].y1 + 1 : priceGrid_[b - 1].y1 - 2;
}

int _TickData::OpenInterestToY(double x) const {
  const int n = volumeGridCount_;
  for (int i = 0; i < n - 1; ++i) {
    const double vi = volumeGrid_[i].openInterest, vn = volumeGrid_[i + 1].openInterest;
    if (!(vi >= x && x >= vn)) continue;
    const int d = volumeGrid_[i + 1].y1 - volumeGrid_[i].y1;
    int c = vi == vn ? 0 : int(std::trunc(d * (x - vn) / (vi - vn)));
    if (i == 0 && c == d) c = d - 1;
    return volumeGrid_[i + 1].y1 - c;
  }
  return n > 0 ? volumeGrid_[n - 1].y1 : 0;
}

int GridValueAtY(const GRIDLINE *grid, int n, int y) {
  for (int i = 0; i < n - 1; ++i) {
    const int yi = grid[i].y1, yn = grid[i + 1].y1;
    if (!(yi <= y && y <= yn)) continue;
    if (yn == yi || y == yn) return int(grid[i + 1].value);
    const int64_t span = int64_t(std::trunc(grid[i].value - grid[i + 1].value));
    return int((yn - y) * span / (yn - yi) + int64_t(grid[i + 1].value));
  }
  return -1;
}

int _TickData::YToPrice(int y) const { return GridValueAtY(priceGrid_, priceGridCount_, y); }
int _TickData::YToVolume(int y) const { return GridValueAtY(volumeGrid_, volumeGridCount_, y); }

void _TickData::GetVolumePaneSpan(int *top, int *bottom) const {
  if (ratio > 0.9f) {
    *top = *bottom = -1;
    return;
  }
  *top = volumePane.top + m_;
  *bottom = volumePane.bottom - volumeBottom_;
}

void _TickData::GetVolumePaneRect(TRENDRECT *rect) const {
  *rect = {volumePane.left, volumePane.top, volumePane.right, volumePane.bottom - volumeBottom_};
}
