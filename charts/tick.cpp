#include "charts/tick.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"

float TickZoomOfLevel(int level) {
  if (level <= 0) return 0.25f;
  if (level == 1) return 0.5f;
  return float(level - 1);
}

int ReadTickZoomLevel() {
  const std::string file = std::string(UserDataPath) + "clrfont.INI";
  return int(GetPrivateProfileIntA("Parameter", "TickZoomLevel", 3, file.c_str()));
}

uint32_t ChartReferencePrice(STKPTR stock) {
  const TMarketData *market = stock.market < kMaxMarkets ? MarketAt(stock.market) : nullptr;
  if (!market || !market->m_quotes || stock.stock >= market->m_stockCount) return 0;
  return market->m_quotes[stock.stock].refPrice;
}

namespace {

int MarketTypeOf(STKPTR stock) {
  const TMarketData *market = stock.market < kMaxMarkets ? MarketAt(stock.market) : nullptr;
  return market ? market->m_info.type : 0;
}

// The running average's weight of one trade.
double Weight(const TICKREC &t) { return t.volume >= 0.001f ? t.volume : 1.0; }

}  // namespace

_Tick::_Tick() { zoom = TickZoomOfLevel(ReadTickZoomLevel()); }

bool _Tick::SetTicks(TICKREC *ticks, int count, const VIEW_ATTR_13 &attr) {
  ticks_ = count > 0 ? ticks : nullptr;
  count_ = ticks_ ? count : 0;
  if (const STKINFO *info = GetStockInfo(attr.stock)) {
    decimals = info->decimals;
    divisor = info->PriceDivisor();
  }
  const TMarketData *market = attr.stock.market < kMaxMarkets ? MarketAt(attr.stock.market) : nullptr;
  if (market) {
    const int kind = StockKindOf(market, attr.stock.stock);
    if (kind >= 0 && kind < kMaxStockKinds) slots = market->m_info.kinds[kind].minutesPerDay + 1u;
  }
  return true;
}

void _Tick::SetPaneRect(const RECT &rect, int left, int right, int margin, int bottom) {
  pane = rect;
  leftMargin = left;
  rightMargin = right;
  m = margin;
  vb = bottom;
}

void _Tick::SplitPanes() {
  pricePane = {pane.left, pane.top, pane.right, pane.bottom};
  if (ratio > 0.9f) {
    pricePane.bottom = pane.bottom - vb;
    splitY = -10;
    volumePane = {pane.left, pane.bottom, pane.right, pane.bottom};
  } else {
    splitY = int(pane.top + (pane.bottom - pane.top - 2 * m - vb) * double(ratio) + 2 * m);
    pricePane.bottom = splitY;
    volumePane = {pane.left, splitY, pane.right, pane.bottom};
  }
  frame[0][0] = pricePane.left;
  frame[0][1] = pricePane.top + m;
  frame[0][2] = pricePane.right;
  frame[0][3] = pricePane.top + m;
  frame[1][0] = volumePane.left;
  frame[1][1] = volumePane.top;
  frame[1][2] = volumePane.right;
  frame[1][3] = volumePane.top;
  anchors[0] = {pane.left + 2, pane.top + 3};
  anchors[1] = {pricePane.left + leftMargin + 3, pricePane.top + m + 4};
  anchors[2] = {volumePane.left + leftMargin + 3, volumePane.top + 4};
  if (pricePane.bottom - pricePane.top <= 2 * m + 1) anchors[0] = anchors[1] = {-16, -16};
  if (ratio > 0.9f || volumePane.bottom - volumePane.top <= m + vb + 1) anchors[2] = {-16, -16};
}

void _Tick::ComputeRanges(uint32_t unit) {
  const double c = 0.9 * capacity;
  if (windowStart < 0) {
    windowStart = std::max(0, int(count_ - c));
    windowEnd = count_;
  } else {
    windowEnd = int(std::min<int64_t>(count_, int64_t(windowStart) + capacity));
  }
  if (windowEnd - windowStart < c) windowStart = std::max(0, int(windowEnd - c));
  if (windowStart > windowEnd) windowStart = windowEnd;
  visibleCount = windowEnd - windowStart;
  if (visibleCount <= 0) return;
  int64_t high = 0, low = INT64_MAX;
  for (int i = windowStart; i < windowEnd; ++i) {
    high = std::max<int64_t>(high, ticks_[i].price);
    low = std::min<int64_t>(low, ticks_[i].price);
  }
  if (averageShown) {
    double sum = 0, total = 0;
    for (int i = 0; i < windowEnd; ++i) {
      const double w = Weight(ticks_[i]);
      sum += w * ticks_[i].price;
      total += w;
      if (i < windowStart) continue;
      const int64_t average = int64_t(total < 0.001 ? sum : sum / total);
      if (average < low) low = average - unit;
      if (average > high) high = average + unit;
    }
  }
  highest = high;
  lowest = low;
  highAmount = lowAmount = ticks_[windowStart].amount;
  for (int i = windowStart; i < windowEnd; ++i) {
    highVolume = std::max(highVolume, ticks_[i].volume);
    highAmount = std::max(highAmount, ticks_[i].amount);
    lowAmount = std::min(lowAmount, ticks_[i].amount);
  }
}

void _Tick::Layout(const VIEW_ATTR_13 &attr) {
  points_.clear();
  average_.clear();
  bars_.clear();
  oiLine_.clear();
  priceGridCount = volumeGridCount = visibleCount = 0;
  highest = lowest = 0;
  highVolume = highAmount = lowAmount = 0;
  std::fill(std::begin(referenceLine), std::end(referenceLine), 0);
  averageShown = (attr.displayFlags & 0x400) ? 0 : 1;

  SplitPanes();
  const int width = pricePane.right - pricePane.left - leftMargin - rightMargin;
  capacity = zoom > 0 ? std::max(0, int(width / zoom)) : 50;
  const int span = windowEnd - windowStart;
  if (windowStart >= 0 && int(0.9 * capacity) + 1 >= span && span >= int(0.9 * capacity) - 1) windowStart = -1;
  follow = windowStart == -1;
  if (capacity < count_ - windowStart) follow = false;

  // Trades without an open-interest value take the next trade's.
  for (int i = count_ - 2; i >= std::max(0, windowStart); --i)
    if (!(ticks_[i].amount > 0)) ticks_[i].amount = ticks_[i + 1].amount;

  const uint32_t unit = GetPriceUnit(divisor, decimals);
  ComputeRanges(unit);
  BuildPricePane(attr, unit);
  if (ratio <= 0.9f) BuildVolumePane(attr, MarketTypeOf(attr.stock));
}

void _Tick::BuildPricePane(const VIEW_ATTR_13 &attr, uint32_t unit) {
  const int64_t u = unit ? unit : 1;
  const int64_t D = divisor ? divisor : 1000;
  int64_t r = ChartReferencePrice(attr.stock);
  // Without a reference the middle of the range stands in; without trades
  // either, the grid spans 0 to 2D around D.
  if (r <= 0) {
    if (highest != 0 && lowest != 0) {
      r = (highest + lowest) / 2;
    } else {
      r = D;
      highest = 2 * D;
      lowest = 0;
    }
  }
  if (highest == 0 && lowest == 0) {
    highest = r + 2 * D;
    lowest = std::max<int64_t>(0, r - 2 * D);
  }
  const int top = pricePane.top;
  const int h = std::max(0, int(pricePane.bottom - top - 2 * m));
  int64_t c = std::max(2, 2 * (h / 60)) + 1;
  int64_t T = highest / u, B = lowest / u;
  if (T == B) {
    ++T;
    --B;
  }
  while (c >= 1.2 * double(T - B)) c = c * 5 / 6;
  if (c > T - B) {
    T += c - (T - B) / 2;
    B -= c - (T - B) / 2;
  }
  c = std::clamp<int64_t>(c, 4, 6);
  if (c > T - B) {
    if (T - B >= 4) {
      c = T - B;
    } else {
      const int64_t d = c - (T - B);
      T += d / 2;
      B -= d / 2 + (d % 2);
    }
  }
  int64_t rest = (T - B) % c;
  if (rest < c / 2 && c > 4) {
    c = 4;
    rest = (T - B) % c;
  }
  if (rest != 0) {
    if (T - rest >= highest / u)
      T -= rest;
    else
      T += c - rest;
  }
  highest = T * u;
  lowest = B * u;
  priceGridCount = int(c + 1);
  const int64_t ru = r / u;
  for (int i = 0; i <= c; ++i) {
    GRIDLINE &g = priceGrid_[i];
    g = GRIDLINE{};
    g.x1 = pricePane.left + leftMargin;
    g.x2 = pricePane.right - rightMargin;
    g.y1 = g.y2 = int(top + 2 * m + int64_t(h) * i / c);
    const int64_t value = (highest - (highest - lowest) * i / c) / u;
    g.value = float(value);
    g.relation = ru > value ? 3 : 1;
    g.percent = r != 0 ? float(double(value - ru) * 100.0 * double(u) / double(r)) : 0.0f;
    g.shown = 1;
  }
  if (priceGridCount > 1 && priceGrid_[1].y1 - priceGrid_[0].y1 < 18)
    for (int i = 0; i < priceGridCount; ++i) priceGrid_[i].shown = 0;
  for (int i = 0; i + 1 < priceGridCount; ++i) {
    const int64_t vi = int64_t(priceGrid_[i].value), vn = int64_t(priceGrid_[i + 1].value);
    if (!(vi >= ru && ru >= vn)) continue;
    const int yi = priceGrid_[i].y1, yn = priceGrid_[i + 1].y1;
    const int y = vi == vn ? yn : int(yn - (yn - yi) * (ru - vn) / (vi - vn));
    referenceLine[0] = priceGrid_[i].x1;
    referenceLine[1] = referenceLine[3] = y;
    referenceLine[2] = priceGrid_[i].x2;
    break;
  }

  if (visibleCount <= 0) return;
  points_.resize(size_t(visibleCount));
  double sum = 0, total = 0;
  bool anyVolume = false;
  for (int i = 0; i < windowEnd; ++i) {
    const TICKREC &t = ticks_[i];
    sum += Weight(t) * t.price;
    total += Weight(t);
    anyVolume = anyVolume || t.volume >= 0.001f;
    if (i < windowStart) continue;
    TRENDPOINT &p = points_[size_t(i - windowStart)];
    p = TRENDPOINT{};
    p.x = int((i - windowStart) * double(zoom)) + leftMargin + pricePane.left + 1;
    p.y = PriceToY(t.price / u, unit);
    p.value = float(t.price / u);
    p.rawPrice = t.price;
    p.volume = t.volume;
    p.amount = t.amount;
  }
  if (!averageShown || !anyVolume) return;
  average_.resize(size_t(visibleCount));
  sum = total = 0;
  for (int i = 0; i < windowEnd; ++i) {
    sum += Weight(ticks_[i]) * ticks_[i].price;
    total += Weight(ticks_[i]);
    if (i < windowStart) continue;
    const double average = total < 0.001 ? sum : sum / total;
    TRENDPOINT &p = average_[size_t(i - windowStart)];
    p = TRENDPOINT{};
    p.x = points_[size_t(i - windowStart)].x;
    p.y = PriceToY(int64_t(average) / u, unit);
    p.value = float(average);
    p.rawPrice = uint32_t(average);
  }
}

void _Tick::BuildVolumePane(const VIEW_ATTR_13 &attr, int marketType) {
  volumeGridCount = 0;
  const int t = volumePane.top + m;
  const int hv = volumePane.bottom - volumePane.top - m - vb;
  if (hv <= 0) return;
  // Like the day grids: never more than 60 lines.
  int c = std::min(std::max(2, 2 * (hv / 60)), kTrendGridCapacity - 2);
  double high = std::max(double(highVolume), double(c));
  high = std::ceil(std::trunc(high) / c) * c;
  highVolume = float(high);
  const double step = high / c;
  const double g = c / 2;
  // Without any change of open interest in the window the line lies on the
  // bottom of the pane.
  const bool flat = !(highAmount > lowAmount);
  if (highAmount - lowAmount < g) highAmount += float(std::fabs(highAmount - g) + 1);
  highAmount = float(lowAmount + std::ceil((double(highAmount) - lowAmount) / g) * g);
  const bool openInterest = marketType == 2 || marketType == 8;
  const int q = (attr.displayFlags & 0x2000) ? c : c / 2;
  volumeGridCount = c + 1;
  for (int i = 0; i <= c; ++i) {
    GRIDLINE &line = volumeGrid_[i];
    line = GRIDLINE{};
    line.x1 = i == c ? volumePane.left : volumePane.left + leftMargin;
    line.x2 = i == c ? volumePane.right : volumePane.right - rightMargin;
    line.y1 = line.y2 = t + hv * i / c;
    line.percent = float(100.0 - (100.0 / c) * i);
    line.value = high != 0 ? float(high - step * i) : line.percent;
    if (openInterest && i <= q && q > 0)
      line.openInterest = float(double(q - i) * (double(highAmount) - lowAmount) / q + lowAmount);
    line.shown = 1;
  }
  if (volumeGrid_[1].y1 - volumeGrid_[0].y1 < 18)
    for (int i = 0; i <= c; ++i) volumeGrid_[i].shown = 0;
  if (visibleCount <= 0) return;
  const double scale = high != 0 && hv >= 3 ? (hv - 2) / high : 0;
  bars_.resize(size_t(visibleCount));
  for (int i = 0; i < visibleCount; ++i) {
    const TICKREC &trade = ticks_[windowStart + i];
    TRENDPOINT &b = bars_[size_t(i)];
    b = TRENDPOINT{};
    b.x = points_[size_t(i)].x;
    b.y = int(volumePane.bottom - vb - trade.volume * scale);
    b.rawPrice = trade.side;
    b.volume = trade.volume;
  }
  if (!openInterest) return;
  oiLine_.resize(size_t(visibleCount));
  for (int i = 0; i < visibleCount; ++i) {
    const TICKREC &trade = ticks_[windowStart + i];
    TRENDPOINT &p = oiLine_[size_t(i)];
    p = TRENDPOINT{};
    p.x = points_[size_t(i)].x;
    p.y = !flat ? OpenInterestToY(trade.amount) : volumePane.bottom - vb;
    p.amount = trade.amount;
  }
}

int _Tick::PriceToY(int64_t x, uint32_t unit) const {
  const int b = priceGridCount;
  if (b < 2) return 0;
  const int64_t u = unit ? unit : 1;
  if (x >= highest / u) return priceGrid_[0].y1 + 1;
  if (x <= lowest / u) return priceGrid_[b - 1].y1 - 2;
  for (int i = 0; i < b - 1; ++i) {
    const int64_t vi = int64_t(priceGrid_[i].value), vn = int64_t(priceGrid_[i + 1].value);
    if (!(vi >= x && x >= vn)) continue;
    const int d = priceGrid_[i + 1].y1 - priceGrid_[i].y1;
    int j = vi == vn ? 0 : int(d * (x - vn) / (vi - vn));
    if (i == b - 2 && j == 0) j = 2;
    if (i == 0 && j == d) j = d - 2;
    return priceGrid_[i + 1].y1 - j - 1;
  }
  return priceGrid_[b - 1].y1 - 2;
}

int _Tick::OpenInterestToY(double x) const {
  const int n = volumeGridCount;
  for (int i = 0; i < n - 1; ++i) {
    const double vi = volumeGrid_[i].openInterest, vn = volumeGrid_[i + 1].openInterest;
    if (!(vi >= x && x >= vn)) continue;
    const int d = volumeGrid_[i + 1].y1 - volumeGrid_[i].y1;
    int c = vi == vn ? 0 : int(std::trunc(d * std::trunc(x - vn) / (vi - vn)));
    if (i == 0 && c == d) c = d - 1;
    return volumeGrid_[i + 1].y1 - c;
  }
  return n > 0 ? volumeGrid_[n - 1].y1 : 0;
}

int _Tick::YToPrice(int y, bool atCursor) const {
  if (atCursor) {
    if (!ticks_ || cursorIndex < 0 || cursorIndex >= count_) return 0;
    return int(ticks_[cursorIndex].price);
  }
  return GridValueAtY(priceGrid_, priceGridCount, y);
}

int _Tick::YToVolume(int y) const { return GridValueAtY(volumeGrid_, volumeGridCount, y); }

int _Tick::PointAt(const std::vector<TRENDPOINT> &points, int x) const {
  const int n = int(points.size());
  for (int i = 0; i < n; ++i) {
    if (x == points[size_t(i)].x) return i;
    if (i + 1 < n && points[size_t(i)].x < x && x <= points[size_t(i + 1)].x) return i + 1;
  }
  return -1;
}

const TICKREC *_Tick::HitTest(int x) {
  const int i = PointAt(points_, x);
  if (i < 0 || !ticks_) return nullptr;
  cursorIndex = windowStart + i;
  cursorX = points_[size_t(i)].x;
  cursorY = points_[size_t(i)].y;
  return &ticks_[cursorIndex];
}

const TICKREC *_Tick::StepCursor(int step, int *x, int *y) {
  if (!points_.empty() && ticks_) {
    if (step > 0)
      cursorIndex = cursorIndex < windowEnd - 1 ? std::max(cursorIndex + 1, windowStart) : windowEnd - 1;
    else
      cursorIndex = cursorIndex > windowStart ? std::min(cursorIndex - 1, windowEnd - 1) : windowStart;
    const TRENDPOINT &p = points_[size_t(cursorIndex - windowStart)];
    cursorX = p.x;
    cursorY = p.y;
  }
  if (x) *x = cursorX;
  if (y) *y = cursorY;
  return !points_.empty() && ticks_ ? &ticks_[cursorIndex] : nullptr;
}

const TICKREC *_Tick::NextTick(int *x, int *y) { return StepCursor(1, x, y); }
const TICKREC *_Tick::PrevTick(int *x, int *y) { return StepCursor(-1, x, y); }

uint32_t _Tick::GetAveragePriceAtX(int x) const {
  const int i = PointAt(average_, x);
  return i < 0 ? 0 : average_[size_t(i)].rawPrice;
}

void _Tick::GetVolumePaneSpan(int *top, int *bottom) const {
  if (top) *top = volumePane.top + m;
  if (bottom) *bottom = volumePane.bottom - vb;
}

void _Tick::GetMargins(int *left, int *right, int *top, int *bottom) const {
  if (left) *left = pane.left + leftMargin;
  if (right) *right = pane.right - rightMargin;
  if (top) *top = pane.top + m;
  if (bottom) *bottom = pane.bottom - vb;
}

void _Tick::GetPricePlotRect(RECT *rect) const {
  *rect = {pane.left + leftMargin, pane.top + 2 * m, pane.right - rightMargin, pane.bottom - vb};
}

void _Tick::GetVolumePlotRect(RECT *rect) const {
  *rect = {volumePane.left + leftMargin, volumePane.top, volumePane.right - rightMargin, volumePane.bottom - vb};
}

void _Tick::GetVolumeRect(RECT *rect) const {
  *rect = {volumePane.left, volumePane.bottom - vb, volumePane.right, volumePane.bottom};
}
