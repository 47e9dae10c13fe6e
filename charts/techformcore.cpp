#include "charts/techformcore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/datetime.h"
#include "formula/kvindex.h"
#include "platform/gbk.h"

using platform::GbkCopyCut;

namespace {

// Bar width and gap by zoom level, stored as the chart has always had them.
constexpr double kWidths[kKLineMaxZoom + 1] = {
    0.5, 0.533333333, 0.571428571, 0.61538461, 0.666666667, 0.727272727, 0.8, 0.888888889, 1, 1.142857,
    1.333333333, 1.5, 1.5, 2.166666667, 2.4, 3, 5, 5.5, 6, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25};
constexpr double kGaps[kKLineMaxZoom + 1] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.1, 0.5, 0.5, 0.8,
                                             1, 1, 1.5, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3};

int HeldZoom(int zoom) { return std::clamp(zoom, 0, kKLineMaxZoom); }

// A price adjusted in double precision, held to the unsigned range before
// it is truncated.
uint32_t HeldPrice(long double v) {
  if (!(v > 0)) return 0;
  if (v >= 4294967295.0L) return 0xFFFFFFFFu;
  return uint32_t(v);
}

// k x 10000 of a record: 10 shares become 10 + the new ones per 10.
int64_t ShareFactor(const KLineWeight &w) {
  return 100000 + int64_t(w.bonus) + int64_t(w.rights) + int64_t(w.capitalised);
}

template <class F>
void EachPrice(KLINEBAR &bar, F f) {
  bar.open = f(bar.open);
  bar.high = f(bar.high);
  bar.low = f(bar.low);
  bar.close = f(bar.close);
}

// Appends a piece unless it would not fit (with its NUL).
bool Append(char *buffer, size_t size, size_t &used, const char *piece) {
  const size_t n = std::strlen(piece);
  if (used + n + 1 > size) return false;
  std::memcpy(buffer + used, piece, n + 1);
  used += n;
  return true;
}

}  // namespace

double KLineBarWidth(int zoom) { return kWidths[HeldZoom(zoom)]; }
double KLineBarGap(int zoom) { return kGaps[HeldZoom(zoom)]; }

void KLineDefaultShares(int n, double *heights) {
  std::fill(heights, heights + kKLineMaxWindows, 0.0);
  switch (n) {
    case 2: heights[0] = 0.7, heights[1] = 0.3; break;
    case 3: heights[0] = 0.6, heights[1] = 0.16, heights[2] = 0.24; break;
    case 4: heights[0] = 0.52, heights[1] = heights[2] = heights[3] = 0.16; break;
    case 5:
      heights[0] = 0.44;
      for (int i = 1; i < 5; ++i) heights[i] = 0.14;
      break;
    case 6:
      heights[0] = 0.4;
      for (int i = 1; i < 6; ++i) heights[i] = 0.12;
      break;
    default: heights[0] = 1.0; break;
  }
}

void KLineLayoutWindows(const RECT &chart, const double *heights, int n, RECT *rects) {
  n = std::clamp(n, 1, kKLineMaxWindows);
  int y = chart.top + kKLineTitleHeight;
  const int usable = chart.bottom - chart.top - kKLineTitleHeight - kKLineAxisHeight;
  for (int i = 0; i < n - 1; ++i) {
    const int bottom = int(double(usable) * heights[i] + double(y));
    rects[i] = RECT{chart.left, y, chart.right, bottom};
    y = bottom;
  }
  rects[n - 1] = RECT{chart.left, y, chart.right, chart.bottom - kKLineAxisHeight};
}

std::string KLinePeriodText(int period, uint32_t periodCount) {
  static const char *const kTexts[15] = {"即时", "1分",  "3分",  "任意分", "5分",   "15分",  "30分", "60分",
                                         "日线", "周线", "月线", "季线",   "任意天", "120分", "240分"};
  char text[32];
  if (period == 3) {
    std::snprintf(text, sizeof text, "%d分", int(periodCount));
    return text;
  }
  if (period == 12) {
    std::snprintf(text, sizeof text, "%d天", int(periodCount));
    return text;
  }
  return period >= 0 && period < 15 ? kTexts[period] : "";
}

CacheKind KLineHistoryFile(int period, uint32_t periodCount) {
  switch (period) {
    case 1:
    case 2: return kCacheMin1Bars;
    case 3:
      if (periodCount % 5 != 0) return kCacheMin1Bars;
      return periodCount % 60 == 0 ? kCacheMin60Bars : kCacheMin5Bars;
    case 4:
    case 5:
    case 6: return kCacheMin5Bars;
    case 7:
    case 13:
    case 14: return kCacheMin60Bars;
    default: return kCacheDayBars;
  }
}

uint32_t LowerBoundU32(const uint32_t *values, uint32_t count, uint32_t key) {
  if (!values || count == 0) return 0;
  return uint32_t(std::lower_bound(values, values + count, key) - values);
}

void MergeTimes(std::vector<uint32_t> &axis, const KLINEBAR *bars, uint32_t count) {
  if (!bars || count == 0) return;
  // Both lists ascend: one linear merge keeps every time once.
  std::vector<uint32_t> merged;
  merged.reserve(axis.size() + count);
  size_t i = 0;
  uint32_t j = 0;
  while (i < axis.size() || j < count) {
    uint32_t t;
    if (j >= count || (i < axis.size() && axis[i] <= bars[j].time)) {
      t = axis[i++];
      if (j < count && bars[j].time == t) ++j;
    } else {
      t = bars[j++].time;
    }
    if (merged.empty() || merged.back() != t) merged.push_back(t);
  }
  axis.swap(merged);
}

void AdjustBarsForward(KLINEBAR *bars, uint32_t count, const KLineWeight *weights, uint32_t weightCount) {
  if (!bars || !weights || count == 0 || weightCount == 0) return;
  for (uint32_t b = 0; b < count; ++b) {
    for (uint32_t w = 0; w < weightCount; ++w) {
      const KLineWeight &r = weights[w];
      if (ComparePackedDate(r.date, bars[b].time) <= 0) continue;
      // P' = (10 P - d + p q / 10000) / k, with k x 10000 in integers.
      const int64_t k = ShareFactor(r);
      EachPrice(bars[b], [&](uint32_t p) {
        const long double top = (static_cast<long double>(p) * 10 - static_cast<long double>(r.dividend) +
                                 static_cast<long double>(r.rights) * static_cast<long double>(r.rightsPrice) / 10000.0L) *
                                10000.0L;
        return HeldPrice(top / static_cast<long double>(k));
      });
    }
  }
}

void AdjustBarsBackward(KLINEBAR *bars, uint32_t count, const KLineWeight *weights, uint32_t weightCount) {
  if (!bars || !weights || count == 0 || weightCount == 0) return;
  uint32_t applied = 0;
  for (uint32_t b = 0; b < count; ++b) {
    while (applied < weightCount && ComparePackedDate(weights[applied].date, bars[b].time) <= 0) ++applied;
    for (uint32_t w = applied; w-- > 0;) {
      const KLineWeight &r = weights[w];
      const int64_t k = ShareFactor(r);
      // P' = (P k - p q / 10000 + d) / 10.
      EachPrice(bars[b], [&](uint32_t p) {
        const long double v = (static_cast<long double>(p) * static_cast<long double>(k) / 10000.0L -
                               static_cast<long double>(r.rights) * static_cast<long double>(r.rightsPrice) / 10000.0L +
                               static_cast<long double>(r.dividend)) /
                              10.0L;
        return HeldPrice(v);
      });
    }
  }
}

uint32_t InfoRecordDate(const uint8_t *record) {
  uint32_t d;
  std::memcpy(&d, record + 3, 4);
  return d;
}

namespace {
// First record dated at or after start, last at or before end.
uint32_t FirstInfoAtOrAfter(const uint8_t *r, uint32_t count, uint32_t start) {
  uint32_t lo = 0, hi = count;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (InfoRecordDate(r + size_t(mid) * kKLineInfoRecordSize) < start) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}
int64_t LastInfoAtOrBefore(const uint8_t *r, uint32_t count, uint32_t end) {
  uint32_t lo = 0, hi = count;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (InfoRecordDate(r + size_t(mid) * kKLineInfoRecordSize) <= end) lo = mid + 1;
    else hi = mid;
  }
  return int64_t(lo) - 1;
}
bool InfoSpanEmpty(const uint8_t *r, uint32_t count, uint32_t start, uint32_t end) {
  return !r || count == 0 || end < start || end < InfoRecordDate(r) ||
         start > InfoRecordDate(r + size_t(count - 1) * kKLineInfoRecordSize);
}
}  // namespace

int FindInfoMarker(const uint8_t *records, uint32_t count, uint32_t start, uint32_t end) {
  if (InfoSpanEmpty(records, count, start, end)) return -1;
  const int64_t last = LastInfoAtOrBefore(records, count, end);
  if (last < 0) return -1;
  return InfoRecordDate(records + size_t(last) * kKLineInfoRecordSize) >= start ? int(last) : -1;
}

bool InfoMarkerText(const uint8_t *records, uint32_t count, uint32_t start, uint32_t end, char *buffer,
                    size_t size) {
  if (!buffer || size == 0) return false;
  buffer[0] = 0;
  if (InfoSpanEmpty(records, count, start, end)) return false;
  const int64_t first = FirstInfoAtOrAfter(records, count, start);
  const int64_t last = LastInfoAtOrBefore(records, count, end);
  if (last < first) return false;
  size_t used = 0;
  Append(buffer, size, used, "历史信息地雷（双击标记查看）\r\n\r\n");
  for (int64_t i = last; i >= first && i > last - 6; --i) {
    char title[64];
    GbkCopyCut(reinterpret_cast<const char *>(records + size_t(i) * kKLineInfoRecordSize + 11), 63, title,
               sizeof title);
    Append(buffer, size, used, title);
    Append(buffer, size, used, "\r\n");
  }
  if (last - first + 1 > 6) {
    Append(buffer, size, used, "\r\n更多内容请双击标记查看。");
  } else if (used >= 2) {
    buffer[used - 2] = 0;
  }
  return true;
}

namespace {
bool WeightSpanEmpty(const KLineWeight *w, uint32_t count, uint32_t start, uint32_t end) {
  return !w || count == 0 || end < w[0].date || start > w[count - 1].date;
}
uint32_t FirstWeightAtOrAfter(const KLineWeight *w, uint32_t count, uint32_t start) {
  return uint32_t(std::partition_point(w, w + count, [&](const KLineWeight &r) { return r.date < start; }) - w);
}
}  // namespace

bool HasWeightInSpan(const KLineWeight *weights, uint32_t count, uint32_t start, uint32_t end) {
  if (WeightSpanEmpty(weights, count, start, end)) return false;
  const uint32_t i = FirstWeightAtOrAfter(weights, count, start);
  return i < count && (weights[i].date <= end || weights[i].date == start);
}

bool WeightText(const KLineWeight *weights, uint32_t count, uint32_t start, uint32_t end, uint32_t divisor,
                int decimals, char *buffer, size_t size) {
  if (!buffer || size == 0) return false;
  buffer[0] = 0;
  if (WeightSpanEmpty(weights, count, start, end)) return false;
  const uint32_t first = FirstWeightAtOrAfter(weights, count, start);
  const double div = divisor ? double(divisor) : 1.0;
  size_t used = 0;
  bool full = false;
  auto put = [&](const char *piece) {
    if (!full && !Append(buffer, size, used, piece)) full = true;
  };
  for (uint32_t j = first; j < count && j < first + 3 && weights[j].date <= end && !full; ++j) {
    const KLineWeight &r = weights[j];
    char piece[128], format[64];
    if (j > first) put("\r\n");
    std::snprintf(piece, sizeof piece, "除权日 %04d-%02d-%02d\r\n", int(PackedYear(r.date)),
                  int(PackedMonth(r.date)), int(PackedDay(r.date)));
    put(piece);
    if (r.bonus) {
      std::snprintf(piece, sizeof piece, "每10股送%.3f股\r\n", r.bonus * 0.0001);
      put(piece);
    }
    if (r.rights) {
      std::snprintf(piece, sizeof piece, "每10股配%.3f股\r\n", r.rights * 0.0001);
      put(piece);
    }
    if (r.rightsPrice) {
      std::snprintf(format, sizeof format, "配股价%%-.%df元\r\n", decimals);
      std::snprintf(piece, sizeof piece, format, r.rightsPrice / div);
      put(piece);
    }
    if (r.dividend) {
      std::snprintf(format, sizeof format, "每10股送红利%%-.%df元\r\n", decimals);
      std::snprintf(piece, sizeof piece, format, r.dividend / div);
      put(piece);
    }
    if (r.capitalised) {
      std::snprintf(piece, sizeof piece, "每10股转增%.3f股\r\n", r.capitalised * 0.0001);
      put(piece);
    }
    if (!r.bonus && !r.rights && !r.rightsPrice && !r.dividend && !r.capitalised) {
      if (r.floatShares) {
        std::snprintf(piece, sizeof piece, "上市后流通股本%u万股\r\n", r.floatShares);
        put(piece);
      }
      if (r.totalShares) {
        std::snprintf(piece, sizeof piece, "上市后总股本%u万股\r\n", r.totalShares);
        put(piece);
      }
    }
  }
  if (used >= 2 && buffer[used - 2] == '\r' && buffer[used - 1] == '\n') buffer[used -= 2] = 0;
  return used > 0;
}

namespace {
// The parameter whose name sits between the first two underscores of a
// line name ("MA_N_" -> N), searched from the last parameter; -1 none.
int ParamInName(const CKvIndex &f, const char *name, size_t *prefix) {
  const char *a = std::strchr(name, '_');
  if (!a) return -1;
  const char *b = std::strchr(a + 1, '_');
  if (!b || b == a + 1) return -1;
  const std::string p(a + 1, b);
  for (uint32_t i = std::min<uint32_t>(f.paramCount, 16); i-- > 0;) {
    if (strcasecmp(f.params[i].name, p.c_str()) == 0) {
      *prefix = size_t(a - name);
      return int(i);
    }
  }
  return -1;
}
}  // namespace

std::string KLineLegendName(const CKvIndex &formula, const char *name) {
  size_t prefix = 0;
  const int p = ParamInName(formula, name, &prefix);
  if (p < 0) return name;
  char value[32];
  std::snprintf(value, sizeof value, "%.0f", formula.params[p].value + 0.1);
  return std::string(name, prefix) + value;
}

bool KLineLegendHasParamName(const CKvIndex &formula) {
  for (const auto &v : formula.variables) {
    if (!v || !v->name[0]) continue;
    if (v->style == kStyleKStick || v->style == kStyleBarStick || v->style == kStyleTowerStick ||
        v->style == kStylePointFigure || v->style > kStyleInternal)
      continue;
    size_t prefix;
    if (ParamInName(formula, v->name, &prefix) >= 0) return true;
  }
  return false;
}

std::vector<KLineTimeLabel> KLineTimeLabels(const uint32_t *times, uint32_t first, uint32_t end, bool dayPeriod,
                                            int plotLeft, int rightLimit, const std::function<int(uint32_t)> &centre,
                                            const std::function<int(const std::string &)> &width) {
  std::vector<KLineTimeLabel> out;
  uint32_t lastKey = 0, lastMajor = 0;
  int lastX = -65535, lastWidth = 0;
  for (uint32_t i = first + 1; i < end; ++i) {
    const uint32_t t = times[i];
    const uint32_t major = dayPeriod ? PackedYear(t) : PackedMonth(t);
    const uint32_t minor = dayPeriod ? PackedMonth(t) : PackedDay(t);
    const uint32_t key = major * 100 + minor;
    if (key != lastKey) {
      const int x = centre(i);
      if (x - lastX > std::max(70, lastWidth + 10)) {
        char text[32];
        if (major == lastMajor) std::snprintf(text, sizeof text, "%02u", minor);
        else if (dayPeriod) std::snprintf(text, sizeof text, "%u%02u", major, minor);
        else std::snprintf(text, sizeof text, "%02u%02u", major, minor);
        const int w = width(text);
        const int tx = std::max(x - w / 2, plotLeft + 2);
        if (tx + w < rightLimit) {
          out.push_back({tx, text});
          lastMajor = major;
          lastX = tx;
          lastWidth = w;
        }
      }
    }
    lastKey = key;
  }
  return out;
}
