// The statistical built-ins: the window statistics AVEDEV, DEVSQ, VAR, VARP,
// STD and STDP, the two parabolic stop-and-reverse functions SAR and
// SAR_KIVO, and the zigzag ZIG.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>

#include "core/emem.h"
#include "formula/builtin.h"

namespace builtin {

namespace {

// ---- Window statistics -------------------------------------------------------------

constexpr uint32_t kLongRing = 8192;

enum class StatOp { AveDev, DevSq, Var, VarP };

constexpr StateListId StatList(StatOp op) {
  switch (op) {
    case StatOp::AveDev: return kListAveDev;
    case StatOp::DevSq: return kListDevSq;
    case StatOp::Var: return kListVar;
    default: return kListVarP;
  }
}

template <StatOp kOp>
struct StatFamily {
  static constexpr StateListId kList = StatList(kOp);
  static constexpr int32_t kPoolBytes = kLongWindowStateBytes;
  struct State : BuiltinState {
    int32_t n;
    uint32_t start;
    uint32_t count;
    double ring[kLongRing];
  };
  struct Params {
    int64_t n;
  };

  static bool Prepare(const INDEXCALC *ctx, const ArgReader *r, Params &p) {
    const double n = r[1].Now(ctx);
    if (!(n >= 0)) return false;
    p.n = Trunc(n);
    return true;
  }
  // Window 0 covers every bar so far: a record holds it while it fits.
  static bool Keepable(const Params &p, uint32_t t) {
    return p.n == 0 ? uint64_t(t) + 1 <= kLongRing : p.n <= int64_t(kLongRing);
  }
  static bool Continues(const State &s, const Params &p, uint32_t t) {
    return s.n == p.n && Keepable(p, t);
  }
  static uint32_t WindowStart(int64_t n, uint32_t t) {
    return n == 0 || n > int64_t(t) ? 0 : uint32_t(int64_t(t) - n + 1);
  }

  // The statistic of m values read oldest first through at(i); at may be
  // called twice per value (mean first, deviations after).
  template <class At>
  static double Compute(uint32_t m, At at) {
    if (kOp == StatOp::AveDev || kOp == StatOp::DevSq) {
      double sum = 0;
      for (uint32_t i = 0; i < m; ++i) sum += at(i);
      const double mean = sum / double(m);
      double dev = 0;
      for (uint32_t i = 0; i < m; ++i) {
        const double d = at(i) - mean;
        dev += kOp == StatOp::AveDev ? std::fabs(d) : d * d;
      }
      return kOp == StatOp::AveDev ? dev / double(m) : dev;
    }
    if (m <= 1) return 0.0;
    double sum = 0, squares = 0;
    for (uint32_t i = 0; i < m; ++i) {
      const double v = at(i);
      sum += v;
      squares += v * v;
    }
    const double md = double(m);
    // The one-pass form may come out a little below 0 for a flat window.
    return kOp == StatOp::Var ? (md * squares - sum * sum) / (md * (md - 1))
                              : (md * squares - sum * sum) / (md * md);
  }
  static double RingValue(const State &s) {
    return Compute(s.count, [&s](uint32_t i) { return s.ring[(s.start + i) & (kLongRing - 1)]; });
  }

  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    const uint32_t t = ctx->bar;
    const uint32_t w0 = WindowStart(p.n, t);
    s.n = int32_t(p.n);
    s.start = 0;
    s.count = t - w0 + 1;
    for (uint32_t i = 0; i < s.count; ++i) s.ring[i] = r[0].At(ctx, w0 + i);
    return RingValue(s);
  }
  // Without a record every value is evaluated where it is needed, twice over
  // for the deviation statistics.
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    const uint32_t t = ctx->bar;
    const uint32_t w0 = WindowStart(p.n, t);
    return Compute(t - w0 + 1, [&](uint32_t i) { return r[0].At(ctx, w0 + i); });
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    const double x = r[0].Now(ctx);
    if (s.n == 0 || s.count < uint32_t(s.n)) {
      s.ring[(s.start + s.count) & (kLongRing - 1)] = x;
      ++s.count;
    } else {
      s.start = (s.start + 1) & (kLongRing - 1);
      s.ring[(s.start + s.count - 1) & (kLongRing - 1)] = x;
    }
    return RingValue(s);
  }
};

// STD and STDP are VAR and VARP under a root, sharing their records.
template <class Variance>
struct RootFamily : Variance {
  using typename Variance::Params;
  using typename Variance::State;
  static double Root(double v) { return v > 0 ? std::sqrt(v) : 0.0; }
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    return Root(Variance::Scratch(ctx, r, p, s));
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    return Root(Variance::Direct(ctx, r, p));
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    return Root(Variance::Continue(ctx, r, p, s));
  }
};
using StdFamily = RootFamily<StatFamily<StatOp::Var>>;
using StdPFamily = RootFamily<StatFamily<StatOp::VarP>>;

// ---- Stop and reverse ------------------------------------------------------------------

struct TrendState : BuiltinState {
  int32_t trend;   // 1 a fall just ended, -1 a rise just ended, 2 rising, -2 falling
  double extreme;  // SAR only
  double factor;
  double sar;
};

struct TrendParams {
  int64_t n;
  double step;  // S and M as fractions
  double limit;
  double af0;
};

// The bars' windows of the stop: `before`, the n bars before t (fewer at the
// start), and `recent`, the last n bars up to t.
struct TrendWindows {
  const INDEXCALC *ctx;
  uint32_t t, start;
  TrendWindows(const INDEXCALC *c, int64_t n) : ctx(c), t(c->bar) {
    start = int64_t(t) > n ? uint32_t(int64_t(t) - n) : 0;
  }
  const KLINEBAR &Bar(uint32_t i) const { return ctx->bars[i]; }
  double P(uint32_t raw) const { return Price(ctx, raw); }
  uint32_t LowestLow(uint32_t a, uint32_t b) const {
    uint32_t v = Bar(a).low;
    for (uint32_t i = a + 1; i <= b; ++i) v = std::min(v, Bar(i).low);
    return v;
  }
  uint32_t HighestHigh(uint32_t a, uint32_t b) const {
    uint32_t v = Bar(a).high;
    for (uint32_t i = a + 1; i <= b; ++i) v = std::max(v, Bar(i).high);
    return v;
  }
  uint32_t BeforeEnd() const { return t > 0 ? t - 1 : 0; }
  uint32_t RecentStart() const { return start + 1 > t ? t : start + 1; }
  double BeforeLow() const { return P(LowestLow(start, BeforeEnd())); }
  double BeforeHigh() const { return P(HighestHigh(start, BeforeEnd())); }
  double RecentLow() const { return P(LowestLow(RecentStart(), t)); }
  double RecentHigh() const { return P(HighestHigh(RecentStart(), t)); }
  // The window fell when the bar before t closed below the window's first open.
  bool Fell() const { return Bar(BeforeEnd()).close < Bar(start).open; }
};

template <bool kKivo>
struct SarFamily {
  static constexpr StateListId kList = kKivo ? kListSarKivo : kListSar;
  static constexpr int32_t kPoolBytes = kSmallStateBytes;
  using State = TrendState;
  using Params = TrendParams;

  static bool Prepare(const INDEXCALC *ctx, const ArgReader *r, Params &p) {
    const double n = r[0].Now(ctx);
    const double s = r[1].Now(ctx);
    const double m = r[2].Now(ctx);
    if (!(n > 0) || !ctx->bars) return false;
    p.n = Trunc(n);
    p.step = s / 100;
    p.limit = m / 100;
    p.af0 = std::min(s, m) / 100;
    return p.n != 0;
  }
  static bool Continues(const State &s, const Params &, uint32_t) {
    return s.trend == 1 || s.trend == -1 || s.trend == 2 || s.trend == -2;
  }
  static bool Keepable(const Params &, uint32_t) { return true; }
  static double Raise(double factor, const Params &p) { return std::min(factor + p.step, p.limit); }

  // Trend 1: a fall has just ended.
  static void AfterFall(const TrendWindows &w, const Params &p, State &s) {
    const uint32_t t = w.t;
    if (kKivo) {
      const double lo = w.BeforeLow(), hi = w.BeforeHigh();
      s.sar = lo + (hi - lo) * p.af0;
      s.factor = p.af0;
      s.trend = s.sar <= w.P(w.Bar(t).close) ? 2 : -1;
      return;
    }
    s.sar = w.BeforeLow();
    if (s.sar <= w.P(w.Bar(t).low)) {
      s.trend = 2;
      s.factor = p.af0;
      s.extreme = w.RecentHigh();
    } else {
      s.trend = -1;
    }
  }
  // Trend -1: a rise has just ended.
  static void AfterRise(const TrendWindows &w, const Params &p, State &s) {
    const uint32_t t = w.t;
    if (kKivo) {
      s.sar = w.BeforeHigh();
      s.factor = p.af0;
      s.trend = w.P(w.Bar(t).close) <= s.sar ? -2 : 1;
      return;
    }
    s.sar = w.BeforeHigh();
    if (w.P(w.Bar(t).high) <= s.sar) {
      s.trend = -2;
      s.factor = p.af0;
      s.extreme = w.RecentLow();
    } else {
      s.trend = 1;
    }
  }
  static void Rising(const TrendWindows &w, const Params &p, State &s) {
    const uint32_t t = w.t;
    if (kKivo) {
      if (w.Bar(t).high > w.Bar(t - 1).high) s.factor = Raise(s.factor, p);
      s.sar = s.sar + (w.BeforeHigh() - s.sar) * s.factor;
      s.trend = s.sar <= w.P(w.Bar(t).close) ? 2 : -1;
      return;
    }
    s.sar = s.sar + (s.extreme - s.sar) * s.factor;
    if (s.sar <= w.P(w.Bar(t).low)) {
      if (w.P(w.Bar(t).high) > s.extreme) s.factor = Raise(s.factor, p);
      s.extreme = w.RecentHigh();
    } else {
      s.trend = -1;
    }
  }
  // The traditional variant steps toward the window's highest high even here.
  static void Falling(const TrendWindows &w, const Params &p, State &s) {
    const uint32_t t = w.t;
    if (kKivo) {
      if (w.Bar(t).low < w.Bar(t - 1).low) s.factor = Raise(s.factor, p);
      s.sar = s.sar + (w.BeforeHigh() - s.sar) * s.factor;
      s.trend = w.P(w.Bar(t).close) <= s.sar ? -2 : 1;
      return;
    }
    s.sar = s.sar + (s.extreme - s.sar) * s.factor;
    if (w.P(w.Bar(t).high) <= s.sar) {
      if (w.P(w.Bar(t).low) < s.extreme) s.factor = Raise(s.factor, p);
      s.extreme = w.RecentLow();
    } else {
      s.trend = 1;
    }
  }

  static double Scratch(const INDEXCALC *ctx, const ArgReader *, const Params &p, State &s) {
    const TrendWindows w(ctx, p.n);
    if (w.Fell()) AfterRise(w, p, s);
    else AfterFall(w, p, s);
    return s.sar;
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    State s{};
    return Scratch(ctx, r, p, s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *, const Params &p, State &s) {
    const TrendWindows w(ctx, p.n);
    switch (s.trend) {
      case 1: AfterFall(w, p, s); break;
      case -1: AfterRise(w, p, s); break;
      case 2: Rising(w, p, s); break;
      default: Falling(w, p, s); break;
    }
    return s.sar;
  }
};

// ---- Zigzag ------------------------------------------------------------------------------

struct ZigPoint {
  uint32_t bar;
  uint32_t price;  // in bar units
};


// The turning points of the whole range; points has room for one per bar.
uint32_t ZigPoints(const KLINEBAR *bars, uint32_t count, int64_t k, double p, ZigPoint *points) {
  auto price = [bars, k](uint32_t s, bool peak) -> uint32_t {
    switch (k) {
      case 0: return bars[s].open;
      case 1: return bars[s].high;
      case 2: return bars[s].low;
      case 4: return peak ? bars[s].high : bars[s].low;
      default: return bars[s].close;
    }
  };
  if (count < 3) {
    for (uint32_t s = 0; s < count; ++s) points[s] = {s, k == 4 ? bars[s].close : price(s, true)};
    return count;
  }
  const bool firstIsPeak = bars[1].close < bars[0].close;
  points[0] = {0, price(0, firstIsPeak)};
  points[1] = {1, price(1, !firstIsPeak)};
  uint32_t n = 2, a = 0, b = 1;
  // A reversal is measured against the current extreme's price; a price of 0
  // cannot be measured against and counts as no reversal.
  auto reverses = [p](double from, double to) { return from != 0 && (from - to) / from >= p; };
  for (uint32_t s = 2; s < count; ++s) {
    const bool last = s + 1 == count;
    if (bars[a].close <= bars[b].close) {  // a rising leg
      const uint32_t peak = price(b, true), trough = price(s, false);
      if (reverses(double(peak), double(trough))) {
        points[n++] = {s, trough};
        a = b;
        b = s;
      } else if (price(s, true) >= peak) {
        points[n - 1] = {s, price(s, true)};
        b = s;
      } else if (last) {
        points[n++] = {s, trough};
      }
    } else {  // a falling leg
      const uint32_t trough = price(b, false), peak = price(s, true);
      if (trough != 0 && (double(peak) - double(trough)) / double(trough) >= p) {
        points[n++] = {s, peak};
        a = b;
        b = s;
      } else if (price(s, false) <= trough) {
        points[n - 1] = {s, price(s, false)};
        b = s;
      } else if (last) {
        points[n++] = {s, peak};
      }
    }
  }
  return n;
}

// The zigzag's value at bar t: the points' prices, straight lines between.
double ZigValue(const ZigPoint *points, uint32_t n, uint32_t t) {
  if (n == 0) return 0.0;
  if (t <= points[0].bar) return points[0].price;
  if (t >= points[n - 1].bar) return points[n - 1].price;
  uint32_t lo = 0, hi = n - 1;  // points[lo].bar < t < points[hi].bar
  while (hi - lo > 1) {
    const uint32_t mid = (lo + hi) / 2;
    if (points[mid].bar == t) return points[mid].price;
    if (points[mid].bar < t) lo = mid;
    else hi = mid;
  }
  const double p0 = points[lo].price, p1 = points[hi].price;
  return p0 + (p1 - p0) * double(t - points[lo].bar) / double(points[hi].bar - points[lo].bar);
}

}  // namespace

KIVO_BUILTIN(AveDev) { return StatefulCall<StatFamily<StatOp::AveDev>, 2>(ctx, args); }
KIVO_BUILTIN(DevSq) { return StatefulCall<StatFamily<StatOp::DevSq>, 2>(ctx, args); }
KIVO_BUILTIN(Var) { return StatefulCall<StatFamily<StatOp::Var>, 2>(ctx, args); }
KIVO_BUILTIN(VarP) { return StatefulCall<StatFamily<StatOp::VarP>, 2>(ctx, args); }
KIVO_BUILTIN(Std) { return StatefulCall<StdFamily, 2>(ctx, args); }
KIVO_BUILTIN(StdP) { return StatefulCall<StdPFamily, 2>(ctx, args); }
KIVO_BUILTIN(Sar) { return StatefulCall<SarFamily<false>, 3>(ctx, args); }
KIVO_BUILTIN(SarKivo) { return StatefulCall<SarFamily<true>, 3>(ctx, args); }

KIVO_COLUMN(AveDevColumn) {
  StatefulColumn<StatFamily<StatOp::AveDev>>(ctx, args, from, count, out, mask, AveDev);
}
KIVO_COLUMN(DevSqColumn) {
  StatefulColumn<StatFamily<StatOp::DevSq>>(ctx, args, from, count, out, mask, DevSq);
}
KIVO_COLUMN(VarColumn) { StatefulColumn<StatFamily<StatOp::Var>>(ctx, args, from, count, out, mask, Var); }
KIVO_COLUMN(VarPColumn) {
  StatefulColumn<StatFamily<StatOp::VarP>>(ctx, args, from, count, out, mask, VarP);
}
KIVO_COLUMN(StdColumn) { StatefulColumn<StdFamily>(ctx, args, from, count, out, mask, Std); }
KIVO_COLUMN(StdPColumn) { StatefulColumn<StdPFamily>(ctx, args, from, count, out, mask, StdP); }

KIVO_RUNNER(AveDevRunner) {
  return StatefulRunner<StatFamily<StatOp::AveDev>>::Make(place, ctx, args, from, count);
}
KIVO_RUNNER(DevSqRunner) {
  return StatefulRunner<StatFamily<StatOp::DevSq>>::Make(place, ctx, args, from, count);
}
KIVO_RUNNER(VarRunner) { return StatefulRunner<StatFamily<StatOp::Var>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(VarPRunner) { return StatefulRunner<StatFamily<StatOp::VarP>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(StdRunner) { return StatefulRunner<StdFamily>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(StdPRunner) { return StatefulRunner<StdPFamily>::Make(place, ctx, args, from, count); }

// ZIG works out the turning points of the whole range at the first call of
// a pass and answers every later call of the pass from them.
KIVO_BUILTIN(Zig) {
  BuiltinStateList &list = StateList(kListZig);
  BeginCall(list, ctx->serial);
  const uint32_t t = ctx->bar;
  const bool last = t + 1 >= ctx->barCount;
  if (auto *rec = static_cast<HeapArrayState *>(FindState(list, args))) {
    const double v = ZigValue(static_cast<ZigPoint *>(rec->array), rec->count, t) / double(ctx->priceDivisor);
    rec->lastBar = t;
    if (last) ReleaseState(list, rec);
    return v;
  }
  const uint32_t count = ctx->barCount;
  if (count == 0 || !ctx->bars) return 0.0;
  int64_t k = Trunc(Eval(args, ctx) + 0.5);
  if (k < 0 || k > 4) k = 3;
  const double p = Eval(Arg(args, 1), ctx) / 100;
  void *block = AllocState(list);
  auto *points = static_cast<ZigPoint *>(Malloc(int32_t(std::min<uint64_t>(uint64_t(count) * sizeof(ZigPoint), INT32_MAX))));
  if (!block || !points || uint64_t(count) * sizeof(ZigPoint) > INT32_MAX) {
    if (block) FreeStateBlock(list, block);
    Free(points);
    if (t == 0) ReportOutOfMemory();
    return 0.0;
  }
  auto *rec = new (block) HeapArrayState();
  rec->array = points;
  rec->count = ZigPoints(ctx->bars, count, k, p, points);
  const double v = ZigValue(points, rec->count, t) / double(ctx->priceDivisor);
  if (last) {
    Free(points);
    FreeStateBlock(list, block);
  } else {
    KeepState(list, rec, ctx->serial, args, t);
  }
  return v;
}

}  // namespace builtin
