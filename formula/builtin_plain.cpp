// The built-ins that keep no state from bar to bar: prices and volumes of the
// bar, its date and time, the calculation clock, the bar's position, the
// chart period and the instrument's kind, arithmetic, mathematics, logic,
// the colour constructor and the plain references REF, REFX, BARSCOUNT and
// DATACOUNT.
#include <cmath>
#include <cstring>
#include <vector>

#include "core/datetime.h"
#include "formula/builtin.h"
#include "platform/clock.h"

namespace builtin {

namespace {

// The bar record at the current bar, or null for a context that has none.
inline const KLINEBAR *Rec(const INDEXCALC *ctx) {
  return ctx->bars && ctx->bar < ctx->barCount ? ctx->bars + ctx->bar : nullptr;
}

// Column of one argument under the mask, in a buffer of the caller.
inline void ArgColumn(const CKvIndexExpression *e, const INDEXCALC *ctx, uint32_t from, uint32_t count,
                      double *column, const uint8_t *mask) {
  if (e) {
    e->EvaluateRange(ctx, from, count, column, mask);
  } else {
    for (uint32_t i = 0; i < count; ++i) column[i] = 0;
  }
}

// A price field a column at a time. The last column made is kept while the
// same outermost evaluation goes on, since an expression often reads the same
// price in several calls (EMA(C,12)-EMA(C,26)).
struct PriceMemo {
  const KLINEBAR *bars = nullptr;
  uint64_t epoch = 0;
  uint32_t from = 0, count = 0, divisor = 0;
  uint32_t KLINEBAR::*field = nullptr;
  double values[kIndexColumnBlock];
};
thread_local PriceMemo g_priceMemo;

template <uint32_t KLINEBAR::*Field>
void PriceColumn(const INDEXCALC *ctx, uint32_t from, uint32_t count, double *out, const uint8_t *mask) {
  const double div = double(ctx->priceDivisor);
  const KLINEBAR *bars = ctx->bars + from;
  if (count > kIndexColumnBlock) {
    for (uint32_t i = 0; i < count; ++i)
      if (!mask || mask[i]) out[i] = double(bars[i].*Field) / div;
    return;
  }
  PriceMemo &memo = g_priceMemo;
  const uint64_t epoch = IndexColumnEpoch();
  if (memo.bars != ctx->bars || memo.from != from || memo.count != count || memo.epoch != epoch ||
      memo.divisor != ctx->priceDivisor || memo.field != Field) {
    for (uint32_t i = 0; i < count; ++i) memo.values[i] = double(bars[i].*Field) / div;
    memo.bars = ctx->bars;
    memo.from = from;
    memo.count = count;
    memo.epoch = epoch;
    memo.divisor = ctx->priceDivisor;
    memo.field = Field;
  }
  if (!mask) {
    std::memcpy(out, memo.values, count * sizeof(double));
  } else {
    for (uint32_t i = 0; i < count; ++i)
      if (mask[i]) out[i] = memo.values[i];
  }
}

template <float KLINEBAR::*Field>
void FloatColumn(const INDEXCALC *ctx, uint32_t from, uint32_t count, double *out, const uint8_t *mask) {
  const KLINEBAR *bars = ctx->bars + from;
  for (uint32_t i = 0; i < count; ++i)
    if (!mask || mask[i]) out[i] = double(bars[i].*Field);
}

template <double (*Kernel)(double)>
void UnaryColumn(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from, uint32_t count,
                 double *out, const uint8_t *mask) {
  std::vector<double> x(count);
  ArgColumn(args, ctx, from, count, x.data(), mask);
  for (uint32_t i = 0; i < count; ++i)
    if (!mask || mask[i]) out[i] = Kernel(x[i]);
}

// Built-ins of several arguments that evaluate each of them once, in order,
// at the current bar and combine the values.
template <int kArgs, double (*Kernel)(const double *)>
double Combine(const INDEXCALC *ctx, const CKvIndexFunctionParam *args) {
  double v[kArgs];
  for (int k = 0; k < kArgs; ++k, args = args ? args->next : nullptr) v[k] = Eval(args, ctx);
  return Kernel(v);
}

template <int kArgs, double (*Kernel)(const double *)>
void CombineColumn(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from,
                   uint32_t count, double *out, const uint8_t *mask) {
  std::vector<double> columns(static_cast<size_t>(kArgs) * count);
  const CKvIndexFunctionParam *a = args;
  for (int k = 0; k < kArgs; ++k, a = a ? a->next : nullptr)
    ArgColumn(a, ctx, from, count, columns.data() + size_t(k) * count, mask);
  for (uint32_t i = 0; i < count; ++i) {
    if (mask && !mask[i]) continue;
    double v[kArgs];
    for (int k = 0; k < kArgs; ++k) v[k] = columns[size_t(k) * count + i];
    out[i] = Kernel(v);
  }
}

double AbsK(double x) { return std::fabs(x); }
double AcosK(double x) { return std::acos(x); }
double AsinK(double x) { return std::asin(x); }
double AtanK(double x) { return std::atan(x); }
double CeilingK(double x) { return std::ceil(x); }
double CosK(double x) { return std::cos(x); }
double ExpK(double x) { return std::exp(x); }
double FloorK(double x) { return std::floor(x); }
double IntPartK(double x) { return std::trunc(x); }
double FracPartK(double x) { return x - std::trunc(x); }
// Natural and base-10 logarithms are not guarded: 0 gives minus infinity and
// a negative value NaN, and both travel on as they are.
double LnK(double x) { return std::log(x); }
double LogK(double x) { return std::log10(x); }
double NotK(double x) { return x == 0 ? 1.0 : 0.0; }
double ReverseK(double x) { return 0 - x; }
double SgnK(double x) { return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0); }
double SinK(double x) { return std::sin(x); }
double SqrtK(double x) { return x > 0 ? std::sqrt(x) : 0.0; }
double TanK(double x) { return std::tan(x); }
double PowK(const double *v) { return v[0] == 0 && v[1] < 0 ? 0.0 : std::pow(v[0], v[1]); }
double BetweenK(const double *v) {
  const double a = v[0], b = v[1], c = v[2];
  return (b <= a && a <= c) || (c <= a && a <= b) ? 1.0 : 0.0;
}
double RangeK(const double *v) {
  if (v[1] > v[0]) return 0.0;
  return v[0] <= v[2] ? 1.0 : 0.0;
}
double ColorRgbK(const double *v) {
  const int64_t r = Trunc(v[0] + 0.5) & 0xFF, g = Trunc(v[1] + 0.5) & 0xFF,
                b = Trunc(v[2] + 0.5) & 0xFF;
  return double(r + g * 256 + b * 65536);
}

// The value of trunc(x) as an unsigned 32-bit number.
uint32_t U32(double x) { return uint32_t(Trunc(x)); }

}  // namespace

// ---- Prices and volumes ---------------------------------------------------

KIVO_BUILTIN(Close) {
  const KLINEBAR *r = Rec(ctx);
  return r ? Price(ctx, r->close) : 0.0;
}
KIVO_BUILTIN(Open) {
  const KLINEBAR *r = Rec(ctx);
  return r ? Price(ctx, r->open) : 0.0;
}
KIVO_BUILTIN(High) {
  const KLINEBAR *r = Rec(ctx);
  return r ? Price(ctx, r->high) : 0.0;
}
KIVO_BUILTIN(Low) {
  const KLINEBAR *r = Rec(ctx);
  return r ? Price(ctx, r->low) : 0.0;
}
KIVO_BUILTIN(Settle) {
  const KLINEBAR *r = Rec(ctx);
  return r ? Price(ctx, r->settlement) : 0.0;
}
KIVO_BUILTIN(Vol) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(r->volume) : 0.0;
}
KIVO_BUILTIN(Amount) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(r->amount) : 0.0;
}

KIVO_COLUMN(CloseColumn) { PriceColumn<&KLINEBAR::close>(ctx, from, count, out, mask); }
KIVO_COLUMN(OpenColumn) { PriceColumn<&KLINEBAR::open>(ctx, from, count, out, mask); }
KIVO_COLUMN(HighColumn) { PriceColumn<&KLINEBAR::high>(ctx, from, count, out, mask); }
KIVO_COLUMN(LowColumn) { PriceColumn<&KLINEBAR::low>(ctx, from, count, out, mask); }
KIVO_COLUMN(SettleColumn) { PriceColumn<&KLINEBAR::settlement>(ctx, from, count, out, mask); }
KIVO_COLUMN(VolColumn) { FloatColumn<&KLINEBAR::volume>(ctx, from, count, out, mask); }
KIVO_COLUMN(AmountColumn) { FloatColumn<&KLINEBAR::amount>(ctx, from, count, out, mask); }

KIVO_BUILTIN(IsUp) {
  const KLINEBAR *r = Rec(ctx);
  return r && r->close > r->open ? 1.0 : 0.0;
}
KIVO_BUILTIN(IsDown) {
  const KLINEBAR *r = Rec(ctx);
  return r && r->close < r->open ? 1.0 : 0.0;
}
KIVO_BUILTIN(IsEqual) {
  const KLINEBAR *r = Rec(ctx);
  return r && r->close == r->open ? 1.0 : 0.0;
}

// ---- Date and time ----------------------------------------------------------

KIVO_BUILTIN(Date) {
  const KLINEBAR *r = Rec(ctx);
  if (!r) return 0.0;
  return double(int64_t(PackedYear(r->time)) * 10000 + PackedMonth(r->time) * 100 +
                PackedDay(r->time) - 19000000);
}
KIVO_BUILTIN(Time) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedHour(r->time) * 10000 + PackedMinute(r->time) * 100) : 0.0;
}
KIVO_BUILTIN(Time0) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedHour(r->time) * 3600 + PackedMinute(r->time) * 60) : 0.0;
}
KIVO_BUILTIN(Year) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedYear(r->time)) : 0.0;
}
KIVO_BUILTIN(Month) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedMonth(r->time)) : 0.0;
}
KIVO_BUILTIN(Day) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedDay(r->time)) : 0.0;
}
KIVO_BUILTIN(Hour) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedHour(r->time)) : 0.0;
}
KIVO_BUILTIN(Minute) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedMinute(r->time)) : 0.0;
}
KIVO_BUILTIN(Weekday) {
  const KLINEBAR *r = Rec(ctx);
  return r ? double(PackedWeekday(r->time)) : 0.0;
}

// The clock of the computer at the moment of evaluation, through the platform
// clock so that tests can fix it.
KIVO_BUILTIN(CurrentDate) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return double(int64_t(now.wYear) * 10000 + now.wMonth * 100 + now.wDay - 19000000);
}
KIVO_BUILTIN(CurrentTime) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return double(now.wHour * 10000 + now.wMinute * 100 + now.wSecond);
}

KIVO_BUILTIN(T0ToTime) {
  const uint32_t s = U32(Eval(args, ctx));
  return double(uint64_t(s / 3600) * 10000 + ((s % 3600) / 60) * 100 + s % 60);
}
KIVO_BUILTIN(TimeToT0) {
  const uint32_t t = U32(Eval(args, ctx));
  return double(uint64_t(t / 10000) * 3600 + ((t % 10000) / 100) * 60 + t % 100);
}

// ---- Position, period and instrument ----------------------------------------

KIVO_BUILTIN(BarPos) { return double(ctx->bar) + 1; }
KIVO_BUILTIN(BarStatus) {
  if (ctx->bar == 0) return 1.0;
  return ctx->bar + 1 == ctx->barCount ? 2.0 : 0.0;
}
KIVO_BUILTIN(IsLastBar) { return ctx->bar + 1 == ctx->barCount ? 1.0 : 0.0; }
// The optional argument of BARSCOUNT is never evaluated.
KIVO_BUILTIN(BarsCount) { return double(ctx->barCount); }
KIVO_BUILTIN(DataCount) { return double(ctx->barCount); }

KIVO_BUILTIN(DataPeriod) {
  const uint32_t m = ctx->periodMultiple;
  switch (ctx->periodKind) {
    case 6:
      switch (m) {
        case 1: return 1;
        case 5: return 2;
        case 15: return 3;
        case 30: return 4;
        case 60: return 5;
        default: return 11;
      }
    case 7: return m == 1 ? 6 : 10;
    case 8: return 7;
    case 9: return 8;
    case 10: return 10;
    case 11: return 9;
    case 1: return 0;
    case 3: return 12;
    case 5:
      switch (m) {
        case 1: return 13;
        case 5: return 14;
        case 15: return 15;
        case 30: return 16;
        default: return 17;
      }
    default: return 50;
  }
}

KIVO_BUILTIN(StkType) {
  const IndexStockFacts facts = IndexStockFactsOf(ctx->seriesInfo);
  switch (facts.market) {
    case 0:
    case 1: return facts.kind == 0 ? 0 : 1;
    case 3: return 7;
    case 4: return 6;
    default: return 5;
  }
}

// True when the argument is exactly one quoted text that is a byte prefix of
// the owner's code and the code goes on with a digit or ends there.
KIVO_BUILTIN(IsContract) {
  if (!args || args->TokenCount() != 1) return 0.0;
  const INDEXTOKEN &token = args->Tokens()[0];
  if (token.kind != kOperandText) return 0.0;
  const size_t n = strnlen(token.text, 7);
  if (strnlen(ctx->owner, sizeof ctx->owner) < n) return 0.0;
  if (std::memcmp(token.text, ctx->owner, n) != 0) return 0.0;
  const char after = n < sizeof ctx->owner ? ctx->owner[n] : 0;
  return after == 0 || (after >= '0' && after <= '9') ? 1.0 : 0.0;
}

// ---- Arithmetic and mathematics ---------------------------------------------

#define KIVO_UNARY(Name)                                                             \
  KIVO_BUILTIN(Name) { return Name##K(Eval(args, ctx)); }                            \
  KIVO_COLUMN(Name##Column) { UnaryColumn<Name##K>(ctx, args, from, count, out, mask); }
KIVO_UNARY(Abs)
KIVO_UNARY(Acos)
KIVO_UNARY(Asin)
KIVO_UNARY(Atan)
KIVO_UNARY(Ceiling)
KIVO_UNARY(Cos)
KIVO_UNARY(Exp)
KIVO_UNARY(Floor)
KIVO_UNARY(IntPart)
KIVO_UNARY(FracPart)
KIVO_UNARY(Ln)
KIVO_UNARY(Log)
KIVO_UNARY(Not)
KIVO_UNARY(Reverse)
KIVO_UNARY(Sgn)
KIVO_UNARY(Sin)
KIVO_UNARY(Sqrt)
KIVO_UNARY(Tan)
#undef KIVO_UNARY

KIVO_BUILTIN(Pow) { return Combine<2, PowK>(ctx, args); }
KIVO_COLUMN(PowColumn) { CombineColumn<2, PowK>(ctx, args, from, count, out, mask); }
KIVO_BUILTIN(Between) { return Combine<3, BetweenK>(ctx, args); }
KIVO_COLUMN(BetweenColumn) { CombineColumn<3, BetweenK>(ctx, args, from, count, out, mask); }
KIVO_BUILTIN(Range) { return Combine<3, RangeK>(ctx, args); }
KIVO_COLUMN(RangeColumn) { CombineColumn<3, RangeK>(ctx, args, from, count, out, mask); }
KIVO_BUILTIN(ColorRgb) { return Combine<3, ColorRgbK>(ctx, args); }

// B first; A only when B is not 0. The remainder keeps the sign of A.
KIVO_BUILTIN(Mod) {
  const double b = Eval(Arg(args, 1), ctx);
  if (b == 0) return 0.0;
  return std::fmod(Eval(args, ctx), b);
}

KIVO_BUILTIN(Max) {
  double r = Eval(args, ctx);
  for (const CKvIndexFunctionParam *a = args ? args->next : nullptr; a; a = a->next) {
    const double v = a->Evaluate(ctx);
    if (!(r >= v)) r = v;
  }
  return r;
}
KIVO_BUILTIN(Min) {
  double r = Eval(args, ctx);
  for (const CKvIndexFunctionParam *a = args ? args->next : nullptr; a; a = a->next) {
    const double v = a->Evaluate(ctx);
    if (r > v) r = v;
  }
  return r;
}

namespace {
template <bool kMax>
void ExtremeColumn(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from,
                   uint32_t count, double *out, const uint8_t *mask) {
  std::vector<double> r(count), v(count);
  ArgColumn(args, ctx, from, count, r.data(), mask);
  for (const CKvIndexFunctionParam *a = args ? args->next : nullptr; a; a = a->next) {
    a->EvaluateRange(ctx, from, count, v.data(), mask);
    for (uint32_t i = 0; i < count; ++i) {
      if (kMax ? !(r[i] >= v[i]) : r[i] > v[i]) r[i] = v[i];
    }
  }
  for (uint32_t i = 0; i < count; ++i)
    if (!mask || mask[i]) out[i] = r[i];
}
}  // namespace

KIVO_COLUMN(MaxColumn) { ExtremeColumn<true>(ctx, args, from, count, out, mask); }
KIVO_COLUMN(MinColumn) { ExtremeColumn<false>(ctx, args, from, count, out, mask); }

// ---- Logic -------------------------------------------------------------------

// Only the chosen branch is evaluated.
KIVO_BUILTIN(If) {
  const CKvIndexFunctionParam *a = Arg(args, 1);
  return Eval(args, ctx) != 0 ? Eval(a, ctx) : Eval(a ? a->next : nullptr, ctx);
}

KIVO_COLUMN(IfColumn) {
  std::vector<double> x(count), a(count), b(count);
  std::vector<uint8_t> chosen(count), other(count);
  ArgColumn(args, ctx, from, count, x.data(), mask);
  for (uint32_t i = 0; i < count; ++i) {
    const bool live = !mask || mask[i];
    chosen[i] = live && x[i] != 0;
    other[i] = live && !(x[i] != 0);
  }
  const CKvIndexFunctionParam *ifTrue = Arg(args, 1);
  ArgColumn(ifTrue, ctx, from, count, a.data(), chosen.data());
  ArgColumn(ifTrue ? ifTrue->next : nullptr, ctx, from, count, b.data(), other.data());
  for (uint32_t i = 0; i < count; ++i) {
    if (chosen[i]) out[i] = a[i];
    else if (other[i]) out[i] = b[i];
  }
}

// ---- Plain references ----------------------------------------------------------

// X n bars back; before the first bar the first bar's value.
KIVO_BUILTIN(Ref) {
  const double n = Eval(Arg(args, 1), ctx);
  if (!(n >= 0)) return 0.0;
  const int64_t k = Trunc(n);
  const uint32_t t = ctx->bar;
  return EvalAt(args, ctx, k < int64_t(t) ? uint32_t(t - k) : 0);
}

// X n bars ahead; past the end the last bar's value.
KIVO_BUILTIN(RefX) {
  const double n = Eval(Arg(args, 1), ctx);
  if (!(n >= 0) || ctx->barCount == 0) return 0.0;
  const uint64_t s = uint64_t(ctx->bar) + uint64_t(Trunc(n));
  return EvalAt(args, ctx, s < ctx->barCount ? uint32_t(s) : ctx->barCount - 1);
}

}  // namespace builtin
