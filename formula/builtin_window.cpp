// The built-ins that look at earlier (or later) bars: the moving windows MA,
// SUM, COUNT, HHV, LLV and WMA (EMA2), the recursive averages EMA, SMA and
// DMA, the references VALUEWHEN, BARSLAST and BARSSINCE, the crosses CROSS
// and LONGCROSS, and the whole-series markers BACKSET and FILTER.
//
// Each value is defined by its from-scratch rule; a call site called at
// consecutive bars carries a record from bar to bar and gives the same value
// from it (for the running sums of MA and SUM up to rounding: the record
// subtracts the oldest value where a fresh sum would add the window anew).
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "core/emem.h"
#include "formula/builtin.h"

namespace builtin {

namespace {

constexpr uint32_t kRing = 1024;
constexpr uint32_t kPairRing = 512;

// ---- Moving windows -----------------------------------------------------------

enum class RingOp { Ma, Sum, Count, Hhv, Llv, Wma };

constexpr StateListId RingList(RingOp op) {
  switch (op) {
    case RingOp::Ma: return kListMa;
    case RingOp::Sum: return kListSum;
    case RingOp::Count: return kListCount;
    case RingOp::Hhv: return kListHhv;
    case RingOp::Llv: return kListLlv;
    default: return kListWma;
  }
}

// The first bar of an n-bar window ending at t (n = 0: every bar so far).
inline uint32_t WindowStart(int64_t n, uint32_t t) {
  if (n == 0 || n > int64_t(t)) return 0;
  return uint32_t(int64_t(t) - n + 1);
}

template <RingOp kOp>
struct RingFamily {
  static constexpr StateListId kList = RingList(kOp);
  static constexpr int32_t kPoolBytes = kWindowStateBytes;
  struct State : BuiltinState {
    int32_t n;        // the window the record serves; 0 = every bar so far
    uint32_t start;   // ring slot of the oldest value
    uint32_t count;   // values in the ring
    double running;   // sum, count of non-zero values, extreme or weighted sum
    double ring[kRing];
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
  static bool Continues(const State &s, const Params &p, uint32_t) { return s.n == p.n; }
  static bool Keepable(const Params &p, uint32_t) { return p.n <= int64_t(kRing); }

  // What the running value of a cumulative window becomes with one more value
  // at bar s.
  static double Accumulate(double running, double x, uint32_t s) {
    switch (kOp) {
      case RingOp::Ma:
      case RingOp::Sum: return running + x;
      case RingOp::Count: return running + (x != 0 ? 1 : 0);
      case RingOp::Hhv: return x > running ? x : running;
      case RingOp::Llv: return x < running ? x : running;
      default: return running + double(s + 1) * x;
    }
  }
  static double CumulativeValue(double running, uint32_t t) {
    switch (kOp) {
      case RingOp::Ma: return running / (double(t) + 1);
      case RingOp::Wma: return running / ((double(t) + 1) * (double(t) + 2) / 2);
      default: return running;
    }
  }
  static double CumulativeFrom(double x0) {
    switch (kOp) {
      case RingOp::Count: return x0 != 0 ? 1 : 0;
      case RingOp::Wma: return x0;  // weight 1
      default: return x0;
    }
  }
  static double Cumulative(const INDEXCALC *ctx, const ArgReader *r) {
    const uint32_t t = ctx->bar;
    double running = CumulativeFrom(r[0].At(ctx, 0));
    for (uint32_t s = 1; s <= t; ++s) running = Accumulate(running, r[0].At(ctx, s), s);
    return running;
  }

  // The value over m window values read in order (oldest first) through at(i).
  template <class At>
  static double Fold(uint32_t m, double running, At at) {
    switch (kOp) {
      case RingOp::Ma: return running / double(m);
      case RingOp::Sum:
      case RingOp::Count: return running;
      case RingOp::Hhv: {
        double v = at(0);
        for (uint32_t i = 1; i < m; ++i)
          if (at(i) > v) v = at(i);
        return v;
      }
      case RingOp::Llv: {
        double v = at(0);
        for (uint32_t i = 1; i < m; ++i)
          if (at(i) < v) v = at(i);
        return v;
      }
      default: {
        double v = 0;
        for (uint32_t i = 0; i < m; ++i) v += double(i + 1) * at(i);
        return v / (double(m) * (double(m) + 1) / 2);
      }
    }
  }
  // The running value of a window made fresh, added up oldest first.
  template <class At>
  static double FreshRunning(uint32_t m, At at) {
    double v = 0;
    if (kOp == RingOp::Ma || kOp == RingOp::Sum) {
      for (uint32_t i = 0; i < m; ++i) v += at(i);
    } else if (kOp == RingOp::Count) {
      for (uint32_t i = 0; i < m; ++i) v += at(i) != 0 ? 1 : 0;
    }
    return v;
  }

  static double RingValue(const State &s) {
    return Fold(s.count, s.running, [&s](uint32_t i) { return s.ring[(s.start + i) & (kRing - 1)]; });
  }

  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    const uint32_t t = ctx->bar;
    s.n = int32_t(p.n);
    if (p.n == 0) {
      s.running = Cumulative(ctx, r);
      return CumulativeValue(s.running, t);
    }
    const uint32_t w0 = WindowStart(p.n, t);
    s.start = 0;
    s.count = t - w0 + 1;
    for (uint32_t i = 0; i < s.count; ++i) s.ring[i] = r[0].At(ctx, w0 + i);
    s.running = FreshRunning(s.count, [&s](uint32_t i) { return s.ring[i]; });
    return RingValue(s);
  }

  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    const uint32_t t = ctx->bar;
    if (p.n == 0) return CumulativeValue(Cumulative(ctx, r), t);
    const uint32_t w0 = WindowStart(p.n, t);
    const uint32_t m = t - w0 + 1;
    std::vector<double> v(m);
    for (uint32_t i = 0; i < m; ++i) v[i] = r[0].At(ctx, w0 + i);
    auto at = [&v](uint32_t i) { return v[i]; };
    return Fold(m, FreshRunning(m, at), at);
  }

  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    const double x = r[0].Now(ctx);
    const uint32_t t = ctx->bar;
    if (s.n == 0) {
      s.running = Accumulate(s.running, x, t);
      return CumulativeValue(s.running, t);
    }
    const uint32_t n = uint32_t(s.n);
    if (s.count < n) {
      s.ring[(s.start + s.count) & (kRing - 1)] = x;
      ++s.count;
    } else {
      const double old = s.ring[s.start];
      if (kOp == RingOp::Ma || kOp == RingOp::Sum) s.running -= old;
      if (kOp == RingOp::Count) s.running -= old != 0 ? 1 : 0;
      s.start = (s.start + 1) & (kRing - 1);
      s.ring[(s.start + n - 1) & (kRing - 1)] = x;
    }
    if (kOp == RingOp::Ma || kOp == RingOp::Sum) s.running += x;
    if (kOp == RingOp::Count) s.running += x != 0 ? 1 : 0;
    return RingValue(s);
  }
};

// ---- Recursive averages and references with one value of state -------------

struct ValueState : BuiltinState {
  double y;
  int64_t n;   // SMA: the N the record was made with; BARSSINCE: the first true bar or -1
  double m;    // SMA: the M the record was made with
};

struct NoParams {};

// The families of one value share the protocol; the value at bar t is the
// recurrence applied to the value at t - 1.
struct ValueFamilyBase {
  static constexpr int32_t kPoolBytes = kSmallStateBytes;
  using State = ValueState;
  static bool Continues(const State &, const NoParams &, uint32_t) { return true; }
  static bool Keepable(const NoParams &, uint32_t) { return true; }
  static bool Prepare(const INDEXCALC *, const ArgReader *, NoParams &) { return true; }
};

// The two-argument smoothings (EMA, DMA) differ only in their step
// Derived::Step(previous Y, X, second argument at that bar).
template <class Derived>
struct SmoothingFamily : ValueFamilyBase {
  using Params = NoParams;
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    double y = r[0].At(ctx, 0);
    for (uint32_t b = 1; b <= ctx->bar; ++b) {
      const double x = r[0].At(ctx, b);
      y = Derived::Step(y, x, r[1].At(ctx, b));
    }
    s.y = y;
    return y;
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    State s;
    return Scratch(ctx, r, p, s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    const double x = r[0].Now(ctx);
    s.y = Derived::Step(s.y, x, r[1].Now(ctx));
    return s.y;
  }
};

// EMA: Y(0) = X(0); Y = (2X + (n - 1)Y') / (n + 1) with n taken at every bar
// (below 0 counts as 0).
struct EmaFamily : SmoothingFamily<EmaFamily> {
  static constexpr StateListId kList = kListEma;
  // The weight of the previous value (n - 1) and the divisor (n + 1).
  static void Weights(double nArg, double &keep, double &div) {
    int64_t n = Trunc(nArg);
    if (n < 0) n = 0;
    keep = double(n - 1);
    div = double(n + 1);
  }
  static double Step(double y, double x, double nArg) {
    double keep, div;
    Weights(nArg, keep, div);
    return (2 * x + keep * y) / div;
  }
  // Continue over columns i0 .. i1 - 1, the value kept in a register.
  static uint32_t Run(const ArgReader *r, State &s, uint32_t i0, uint32_t i1, double *out) {
    const double *x = r[0].column(), *n = r[1].column();
    if (!x || !n) return i0;
    if (i0 >= i1) return i0;
    // The weights are worked out again only where N changes (a NaN never
    // equals itself, so it is taken afresh at every bar).
    double y = s.y, nNow = n[i0];
    double keep = 0, div = 1;
    Weights(nNow, keep, div);
    for (uint32_t i = i0; i < i1; ++i) {
      if (n[i] != nNow) Weights(nNow = n[i], keep, div);
      out[i] = y = (2 * x[i] + keep * y) / div;
    }
    s.y = y;
    return i1;
  }
  // The same over columns i0 .. i1 - 1 when N stays the same throughout,
  // handed to the evaluator to be run together with other calls.
  static bool Chain(const ArgReader *r, const State &s, uint32_t i0, uint32_t i1, IndexColumnRunner::Chain &c) {
    const double *x = r[0].column(), *n = r[1].column();
    if (!x || !n || i0 >= i1) return false;
    const double nNow = n[i0];
    if (!(nNow == nNow)) return false;
    // Compared bit for bit, without a branch per bar: a zero of the other
    // sign only sends the stretch the slower way. A constant N needs no look.
    if (!r[1].uniform()) {
      uint64_t first, differ = 0;
      std::memcpy(&first, n + i0, sizeof first);
      for (uint32_t i = i0 + 1; i < i1; ++i) {
        uint64_t bits;
        std::memcpy(&bits, n + i, sizeof bits);
        differ |= bits ^ first;
      }
      if (differ) return false;
    }
    Weights(nNow, c.keep, c.div);
    c.x = x;
    c.y = s.y;
    return true;
  }
};

// SMA: exponential smoothing with weight M/N seeded with X(0); N and M of the
// current bar serve every step, so a record made with other ones starts over.
struct SmaParams {
  int64_t n;
  double m;
};
struct SmaFamily : ValueFamilyBase {
  static constexpr StateListId kList = kListSma;
  using Params = SmaParams;
  static bool Prepare(const INDEXCALC *ctx, const ArgReader *r, Params &p) {
    const double n = r[1].Now(ctx);
    const double m = r[2].Now(ctx);
    if (!(n > 0)) return false;
    p.n = Trunc(n);
    p.m = m;
    return p.n != 0 && m > 0 && !(m > double(p.n));
  }
  static bool Continues(const State &s, const Params &p, uint32_t) { return s.n == p.n && s.m == p.m; }
  static bool Keepable(const Params &, uint32_t) { return true; }
  static double Step(double y, double x, const Params &p) {
    return (p.m * x + (double(p.n) - p.m) * y) / double(p.n);
  }
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    double y = r[0].At(ctx, 0);
    for (uint32_t b = 1; b <= ctx->bar; ++b) y = Step(y, r[0].At(ctx, b), p);
    s.y = y;
    s.n = p.n;
    s.m = p.m;
    return y;
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    State s;
    return Scratch(ctx, r, p, s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    s.y = Step(s.y, r[0].Now(ctx), p);
    return s.y;
  }
  // Continue over columns while N and M stay those of the record.
  static uint32_t Run(const ArgReader *r, State &s, uint32_t i0, uint32_t i1, double *out) {
    const double *x = r[0].column(), *n = r[1].column(), *m = r[2].column();
    if (!x || !n || !m) return i0;
    const Params p{s.n, s.m};
    double y = s.y;
    uint32_t i = i0;
    for (; i < i1; ++i) {
      if (!(n[i] > 0) || Trunc(n[i]) != p.n || m[i] != p.m) break;
      out[i] = y = Step(y, x[i], p);
    }
    s.y = y;
    return i;
  }
};

// DMA: Y = A·X + (1 − A)·Y′ for 0 < A ≤ 1; any other A keeps Y′.
struct DmaFamily : SmoothingFamily<DmaFamily> {
  static constexpr StateListId kList = kListDma;
  static double Step(double y, double x, double a) { return a > 0 && a <= 1 ? a * x + (1 - a) * y : y; }
};

// VALUEWHEN: A at the latest bar where X held; 0 before X ever held.
struct ValueWhenFamily : ValueFamilyBase {
  static constexpr StateListId kList = kListValueWhen;
  using Params = NoParams;
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    s.y = 0;
    for (int64_t b = ctx->bar; b >= 0; --b) {
      if (r[0].At(ctx, uint32_t(b)) != 0) {
        s.y = r[1].At(ctx, uint32_t(b));
        break;
      }
    }
    return s.y;
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    State s;
    return Scratch(ctx, r, p, s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    if (r[0].Now(ctx) != 0) s.y = r[1].Now(ctx);
    return s.y;
  }
};

// BARSLAST: bars since the latest bar in 1..t where X held; t when none
// (bar 0 is never tested).
struct BarsLastFamily : ValueFamilyBase {
  static constexpr StateListId kList = kListBarsLast;
  using Params = NoParams;
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    const uint32_t t = ctx->bar;
    s.y = double(t);
    for (uint32_t b = t; b >= 1; --b) {
      if (r[0].At(ctx, b) != 0) {
        s.y = double(t - b);
        break;
      }
    }
    return s.y;
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    State s;
    return Scratch(ctx, r, p, s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    s.y = r[0].Now(ctx) != 0 ? 0.0 : s.y + 1;
    return s.y;
  }
};

// BARSSINCE: 0 until X first holds, 0 at that bar, then one more per bar.
// The record keeps the first true bar itself, so a count of 0 at the first
// true bar is not mistaken for "never".
struct BarsSinceFamily : ValueFamilyBase {
  static constexpr StateListId kList = kListBarsSince;
  using Params = NoParams;
  static double Value(const State &s, uint32_t t) { return s.n < 0 ? 0.0 : double(int64_t(t) - s.n); }
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    s.n = -1;
    for (uint32_t b = 0; b <= ctx->bar; ++b) {
      if (r[0].At(ctx, b) != 0) {
        s.n = b;
        break;
      }
    }
    return Value(s, ctx->bar);
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    State s;
    return Scratch(ctx, r, p, s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    if (s.n < 0 && r[0].Now(ctx) != 0) s.n = ctx->bar;
    return Value(s, ctx->bar);
  }
};

// ---- Crosses ----------------------------------------------------------------------

// A and B of the last 512 bars, slot = bar mod 512, from bar `first` on.
struct PairState : BuiltinState {
  uint32_t n;
  uint32_t first;
  double a[kPairRing];
  double b[kPairRing];
  void Store(uint32_t bar, double va, double vb) {
    a[bar & (kPairRing - 1)] = va;
    b[bar & (kPairRing - 1)] = vb;
  }
};

// CROSS: A(t) > B(t) and, skipping bars where A = B (at most 511 back), the
// first earlier bar with A != B has A < B.
struct CrossFamily {
  static constexpr StateListId kList = kListCross;
  static constexpr int32_t kPoolBytes = kWindowStateBytes;
  using State = PairState;
  using Params = NoParams;
  static bool Prepare(const INDEXCALC *, const ArgReader *, Params &) { return true; }
  static bool Continues(const State &, const Params &, uint32_t) { return true; }
  static bool Keepable(const Params &, uint32_t) { return true; }
  static int64_t Lowest(uint32_t t, uint32_t first) {
    const int64_t reach = int64_t(t) - int64_t(kPairRing - 1);
    return reach > int64_t(first) ? reach : int64_t(first);
  }

  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    const uint32_t t = ctx->bar;
    const double a = r[0].Now(ctx), b = r[1].Now(ctx);
    s.Store(t, a, b);
    s.first = t;
    // Walk back when the result needs it (A above B) or when a later bar's
    // walk will need it (A equal to B here).
    if (!(a > b) && !(a == b)) return 0.0;
    const int64_t lowest = Lowest(t, 0);
    for (int64_t k = int64_t(t) - 1; k >= lowest; --k) {
      const uint32_t bar = uint32_t(k);
      const double ak = r[0].At(ctx, bar), bk = r[1].At(ctx, bar);
      s.Store(bar, ak, bk);
      s.first = bar;
      if (ak != bk) return a > b && ak < bk ? 1.0 : 0.0;
    }
    return 0.0;
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    auto s = std::make_unique<State>();
    return Scratch(ctx, r, p, *s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    const uint32_t t = ctx->bar;
    const double a = r[0].Now(ctx), b = r[1].Now(ctx);
    s.Store(t, a, b);
    if (!(a > b)) return 0.0;
    const int64_t lowest = Lowest(t, s.first);
    for (int64_t k = int64_t(t) - 1; k >= lowest; --k) {
      const uint32_t slot = uint32_t(k) & (kPairRing - 1);
      if (s.a[slot] != s.b[slot]) return s.a[slot] < s.b[slot] ? 1.0 : 0.0;
    }
    return 0.0;
  }
};

// LONGCROSS: A(t) > B(t), A ≤ B over the n - 1 bars before, A < B exactly n
// bars back. A = B at that bar gives false, and so does n = 0.
struct LongCrossFamily {
  static constexpr StateListId kList = kListLongCross;
  static constexpr int32_t kPoolBytes = kWindowStateBytes;
  using State = PairState;
  struct Params {
    uint32_t n;
  };
  static bool Prepare(const INDEXCALC *ctx, const ArgReader *r, Params &p) {
    const int64_t n = Trunc(r[2].Now(ctx));
    p.n = n < 0 || n > int64_t(kPairRing - 1) ? kPairRing - 1 : uint32_t(n);
    return true;
  }
  static bool Continues(const State &s, const Params &p, uint32_t) { return s.n == p.n; }
  static bool Keepable(const Params &, uint32_t) { return true; }
  static double Judge(const State &s, uint32_t t) {
    const uint32_t n = s.n;
    auto a = [&s](uint32_t bar) { return s.a[bar & (kPairRing - 1)]; };
    auto b = [&s](uint32_t bar) { return s.b[bar & (kPairRing - 1)]; };
    if (!(a(t) > b(t)) || t < n || n == 0) return 0.0;
    for (uint32_t bar = t - 1; bar > t - n; --bar)
      if (a(bar) > b(bar)) return 0.0;
    return a(t - n) < b(t - n) ? 1.0 : 0.0;
  }
  static double Scratch(const INDEXCALC *ctx, const ArgReader *r, const Params &p, State &s) {
    const uint32_t t = ctx->bar;
    s.n = p.n;
    s.first = t > p.n ? t - p.n : 0;
    for (uint32_t bar = s.first; bar <= t; ++bar) {
      const double va = r[0].At(ctx, bar);
      s.Store(bar, va, r[1].At(ctx, bar));
    }
    return Judge(s, t);
  }
  static double Direct(const INDEXCALC *ctx, const ArgReader *r, const Params &p) {
    auto s = std::make_unique<State>();
    return Scratch(ctx, r, p, *s);
  }
  static double Continue(const INDEXCALC *ctx, const ArgReader *r, const Params &, State &s) {
    const double va = r[0].Now(ctx);
    s.Store(ctx->bar, va, r[1].Now(ctx));
    return Judge(s, ctx->bar);
  }
};

// ---- Whole-series markers ------------------------------------------------------------


inline bool Bit(const uint8_t *bits, uint32_t i) { return (bits[i >> 3] >> (i & 7)) & 1; }
inline void SetBit(uint8_t *bits, uint32_t i) { bits[i >> 3] |= uint8_t(1u << (i & 7)); }

// BACKSET and FILTER mark the whole range at the first call of a pass and
// answer every later call of the pass from the marks.
template <bool kBackSet>
double SeriesBits(const INDEXCALC *ctx, const CKvIndexFunctionParam *args) {
  BuiltinStateList &list = StateList(kBackSet ? kListBackSet : kListFilter);
  BeginCall(list, ctx->serial);
  const uint32_t t = ctx->bar;
  const bool last = t + 1 >= ctx->barCount;
  if (auto *rec = static_cast<HeapArrayState *>(FindState(list, args))) {
    const double v = t < rec->count && Bit(static_cast<uint8_t *>(rec->array), t) ? 1.0 : 0.0;
    rec->lastBar = t;
    if (last) ReleaseState(list, rec);
    return v;
  }
  const uint32_t count = ctx->barCount;
  if (count == 0) return 0.0;
  void *block = AllocState(list);
  auto *bits = static_cast<uint8_t *>(Malloc(int32_t((uint64_t(count) + 7) / 8)));
  if (!block || !bits) {
    if (block) FreeStateBlock(list, block);
    Free(bits);
    if (t == 0) ReportOutOfMemory();
    return 0.0;
  }
  int64_t n = Trunc(Eval(Arg(args, 1), ctx) + 0.5);
  INDEXCALC at = *ctx;
  if (kBackSet) {
    int64_t marked = -1;  // the highest bar marked so far
    for (uint32_t s = 0; s < count; ++s) {
      at.bar = s;
      if (args->Evaluate(&at) == 0 || n <= 0) continue;
      int64_t lo = int64_t(s) - n + 1;
      if (lo < marked + 1) lo = marked + 1;
      if (lo < 0) lo = 0;
      for (int64_t k = lo; k <= int64_t(s); ++k) SetBit(bits, uint32_t(k));
      marked = s;
    }
  } else {
    // A negative count would walk backwards for ever: it blanks nothing.
    if (n < 0) n = 0;
    for (int64_t s = 0; s < int64_t(count); ++s) {
      at.bar = uint32_t(s);
      if (args->Evaluate(&at) != 0) {
        SetBit(bits, uint32_t(s));
        s += n;
      }
    }
  }
  auto *rec = new (block) HeapArrayState();
  rec->array = bits;
  rec->count = count;
  const double v = Bit(bits, t) ? 1.0 : 0.0;
  if (last) {
    Free(bits);
    FreeStateBlock(list, block);
  } else {
    KeepState(list, rec, ctx->serial, args, t);
  }
  return v;
}

}  // namespace

KIVO_BUILTIN(Ma) { return StatefulCall<RingFamily<RingOp::Ma>, 2>(ctx, args); }
KIVO_BUILTIN(Sum) { return StatefulCall<RingFamily<RingOp::Sum>, 2>(ctx, args); }
KIVO_BUILTIN(Count) { return StatefulCall<RingFamily<RingOp::Count>, 2>(ctx, args); }
KIVO_BUILTIN(Hhv) { return StatefulCall<RingFamily<RingOp::Hhv>, 2>(ctx, args); }
KIVO_BUILTIN(Llv) { return StatefulCall<RingFamily<RingOp::Llv>, 2>(ctx, args); }
KIVO_BUILTIN(Wma) { return StatefulCall<RingFamily<RingOp::Wma>, 2>(ctx, args); }
KIVO_BUILTIN(Ema) { return StatefulCall<EmaFamily, 2>(ctx, args); }
KIVO_BUILTIN(Sma) { return StatefulCall<SmaFamily, 3>(ctx, args); }
KIVO_BUILTIN(Dma) { return StatefulCall<DmaFamily, 2>(ctx, args); }
KIVO_BUILTIN(ValueWhen) { return StatefulCall<ValueWhenFamily, 2>(ctx, args); }
KIVO_BUILTIN(BarsLast) { return StatefulCall<BarsLastFamily, 1>(ctx, args); }
KIVO_BUILTIN(BarsSince) { return StatefulCall<BarsSinceFamily, 1>(ctx, args); }
KIVO_BUILTIN(Cross) { return StatefulCall<CrossFamily, 2>(ctx, args); }
KIVO_BUILTIN(LongCross) { return StatefulCall<LongCrossFamily, 3>(ctx, args); }
KIVO_BUILTIN(BackSet) { return SeriesBits<true>(ctx, args); }
KIVO_BUILTIN(Filter) { return SeriesBits<false>(ctx, args); }

KIVO_COLUMN(MaColumn) { StatefulColumn<RingFamily<RingOp::Ma>>(ctx, args, from, count, out, mask, Ma); }
KIVO_COLUMN(SumColumn) { StatefulColumn<RingFamily<RingOp::Sum>>(ctx, args, from, count, out, mask, Sum); }
KIVO_COLUMN(CountColumn) {
  StatefulColumn<RingFamily<RingOp::Count>>(ctx, args, from, count, out, mask, Count);
}
KIVO_COLUMN(HhvColumn) { StatefulColumn<RingFamily<RingOp::Hhv>>(ctx, args, from, count, out, mask, Hhv); }
KIVO_COLUMN(LlvColumn) { StatefulColumn<RingFamily<RingOp::Llv>>(ctx, args, from, count, out, mask, Llv); }
KIVO_COLUMN(WmaColumn) { StatefulColumn<RingFamily<RingOp::Wma>>(ctx, args, from, count, out, mask, Wma); }
KIVO_COLUMN(EmaColumn) { StatefulColumn<EmaFamily>(ctx, args, from, count, out, mask, Ema); }
KIVO_COLUMN(SmaColumn) { StatefulColumn<SmaFamily>(ctx, args, from, count, out, mask, Sma); }
KIVO_COLUMN(DmaColumn) { StatefulColumn<DmaFamily>(ctx, args, from, count, out, mask, Dma); }

KIVO_RUNNER(MaRunner) { return StatefulRunner<RingFamily<RingOp::Ma>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(SumRunner) { return StatefulRunner<RingFamily<RingOp::Sum>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(CountRunner) {
  return StatefulRunner<RingFamily<RingOp::Count>>::Make(place, ctx, args, from, count);
}
KIVO_RUNNER(HhvRunner) { return StatefulRunner<RingFamily<RingOp::Hhv>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(LlvRunner) { return StatefulRunner<RingFamily<RingOp::Llv>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(WmaRunner) { return StatefulRunner<RingFamily<RingOp::Wma>>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(EmaRunner) { return StatefulRunner<EmaFamily>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(SmaRunner) { return StatefulRunner<SmaFamily>::Make(place, ctx, args, from, count); }
KIVO_RUNNER(DmaRunner) { return StatefulRunner<DmaFamily>::Make(place, ctx, args, from, count); }

}  // namespace builtin
