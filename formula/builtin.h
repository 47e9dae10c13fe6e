// Inside the built-in unit: the table row as the compiler and the evaluator
// read it, the implementations the table names, and the shared helpers of
// the implementations (argument access, conversions, state records).
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "formula/indexfunc.h"
#include "formula/kvindex.h"

// Column evaluation works in blocks of at most this many bars; a column
// form is never asked for more at once.
constexpr uint32_t kIndexColumnBlock = 256;

// A number that changes with every outermost column evaluation (one range of
// one expression): columns derived from the bars alone may be reused while it
// stays the same, since the bars cannot change in between.
uint64_t IndexColumnEpoch();

// The values of an expression that is only a read of another statement over
// bars from .. from + count - 1, where they are stored (they stay as they are
// while the caller evaluates: only the statement being calculated is
// written); null when the expression is anything else or the values are not
// stored that way.
const double *IndexStoredColumn(const CKvIndexExpression &e, const INDEXCALC *ctx, uint32_t from,
                                uint32_t count);
// The expression is a single constant or parameter, one value at every bar,
// and a column evaluation of it here would fill a column with that value:
// true with the value in *value.
bool IndexConstantColumnValue(const CKvIndexExpression &e, const INDEXCALC *ctx, double *value);

// Evaluates a call over bars from .. from + count - 1 where mask allows,
// writing only those entries of out, with exactly the calls the built-in
// would make bar by bar in ascending order.
using IndexColumnImpl = void (*)(const INDEXCALC *ctx, const CKvIndexFunctionParam *args,
                                 uint32_t from, uint32_t count, double *out, const uint8_t *mask);

// A stateful call set up to run over one block of bars a stretch at a time,
// so that the evaluator can advance several independent calls in lockstep and
// their recurrences overlap in the processor.
class IndexColumnRunner {
 public:
  virtual ~IndexColumnRunner() = default;
  // Bars from + i0 .. from + i1 - 1 into out[i0 .. i1 - 1], skipping those
  // whose mask byte is 0; successive calls continue in ascending order.
  virtual void StepRange(uint32_t i0, uint32_t i1, double *out, const uint8_t *mask) = 0;
  // Bars i0 .. i1 - 1 as the recurrence y = (2x + keep*y) / div with fixed
  // weights, for the evaluator to advance together with others in one loop:
  // fills chain and returns true, after which the evaluator computes those
  // bars into chain.out and hands the last value back with EndChain; false
  // when the stretch is not such a recurrence (the bars then go through
  // StepRange).
  struct Chain {
    const double *x;
    double *out;
    double y, keep, div;
    uint32_t i0, i1;
  };
  virtual bool BeginChain(uint32_t, uint32_t, double *, Chain &) { return false; }
  virtual void EndChain(const Chain &) {}
};
constexpr size_t kIndexRunnerBytes = 9 * 1024;
// Builds a runner in place (kIndexRunnerBytes), or returns null when the call
// cannot run that way (arguments that are not pure).
using IndexRunnerMaker = IndexColumnRunner *(*)(void *place, const INDEXCALC *ctx,
                                                const CKvIndexFunctionParam *args, uint32_t from,
                                                uint32_t count);

// ---- Statements side by side -------------------------------------------------
//
// A run of statements evaluated together a block of bars at a time: in each
// round every statement takes its own block and the stateful calls of all of
// them advance in lockstep, while each statement combines its columns of the
// round before. `lag` is one more than that of any statement of the run the
// statement reads (0 when it reads none); the statement works twice as many
// blocks behind the run's first one, so what it reads is final by then. All
// statements of a run share one pass serial (their calls keep state apart by
// call site). The values are those of evaluating each statement over the
// whole range in turn.
struct IndexStatementJob {
  CKvIndexVariable *variable = nullptr;
  INDEXCALC ctx;
  uint32_t lag = 0;
};
void EvaluateStatementsSideBySide(CKvIndex *formula, IndexStatementJob *jobs, size_t jobCount,
                                  uint32_t from, uint32_t count);
// An expression fit for that: evaluated a column at a time, calling nothing
// that looks at the whole series.
bool IndexExpressionSideBySide(const CKvIndexExpression &e);
// Whether statements run side by side at all (on unless a test compares the
// two ways).
void SetIndexStatementsSideBySide(bool on);
bool IndexStatementsSideBySide();

// One row of the built-in table: the public record, how a call is
// evaluated a column at a time (null: bar by bar through the row's impl),
// how it runs in lockstep with others (null: it does not), and whether the
// built-in keeps state from bar to bar.
struct IndexBuiltinRow {
  INDEXFUNC f;
  IndexColumnImpl column;
  bool stateful;
  IndexRunnerMaker runner = nullptr;
};

// The row with that name (case-insensitive), null when none or longer than 15.
const IndexBuiltinRow *FindIndexBuiltin(const char *text, int length);
const IndexBuiltinRow *IndexBuiltinRows();

struct ArgumentValues;
struct BuiltinStateList;

// Argument access and conversions shared by the implementations.
namespace builtin {

// The n-th argument (0-based), null past the end.
inline const CKvIndexFunctionParam *Arg(const CKvIndexFunctionParam *args, int n) {
  while (args && n-- > 0) args = args->next;
  return args;
}
inline double Eval(const CKvIndexExpression *e, const INDEXCALC *ctx) {
  return e ? e->Evaluate(ctx) : 0.0;
}
inline double EvalAt(const CKvIndexExpression *e, const INDEXCALC *ctx, uint32_t bar) {
  if (!e) return 0.0;
  if (bar == ctx->bar) return e->Evaluate(ctx);
  INDEXCALC at = *ctx;
  at.bar = bar;
  return e->Evaluate(&at);
}

// Truncation toward zero into a range that every window arithmetic can take:
// NaN gives 0, and magnitudes beyond 2^31 are clamped.
inline int64_t Trunc(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483648LL;
  return int64_t(v);
}

inline double Price(const INDEXCALC *ctx, uint32_t raw) {
  return double(raw) / double(ctx->priceDivisor);
}

// Reads one argument at the current bar or another bar, from a column
// computed beforehand when the bar lies in it, from the pass's values of the
// argument when it has them (see ShareValues), else by evaluating.
class ArgReader {
 public:
  explicit ArgReader(const CKvIndexExpression *e) : expr_(e) {}
  // uniform: every entry of the column is the same value, bit for bit.
  void SetColumn(const double *column, uint32_t from, uint32_t count, bool uniform = false) {
    column_ = column;
    from_ = from;
    count_ = count;
    uniform_ = uniform;
  }
  // An argument that keeps state (a stateful built-in, a reference) is
  // evaluated once per bar of the pass and read from there after: a window
  // that reads it at earlier bars would otherwise evaluate it anew at every
  // one of them, each time from scratch, and nested windows would multiply
  // the cost level by level. The values are kept with the list of the
  // built-in that reads them. An argument that reads its own statement
  // changes while the pass writes it: its values are kept only at the bars
  // before the one the statement's pass is at, where they are final (and
  // not at all when it reads bars ahead). True when the reader goes through
  // kept values.
  bool ShareValues(BuiltinStateList &list, const INDEXCALC *ctx);
  double Now(const INDEXCALC *ctx) const {
    const uint32_t i = ctx->bar - from_;
    if (column_ && i < count_) return column_[i];
    if (values_) return Kept(ctx, ctx->bar);
    return Eval(expr_, ctx);
  }
  double At(const INDEXCALC *ctx, uint32_t bar) const {
    const uint32_t i = bar - from_;
    if (column_ && i < count_) return column_[i];
    if (values_) return Kept(ctx, bar);
    return EvalAt(expr_, ctx, bar);
  }
  const CKvIndexExpression *expression() const { return expr_; }
  // The column (indexed by bar - from), null when there is none.
  const double *column() const { return column_; }
  // The column holds one value throughout (a constant argument).
  bool uniform() const { return uniform_; }

 private:
  double Kept(const INDEXCALC *ctx, uint32_t bar) const;

  const CKvIndexExpression *expr_;
  const double *column_ = nullptr;
  uint32_t from_ = 0;
  uint32_t count_ = 0;
  bool uniform_ = false;
  ArgumentValues *values_ = nullptr;
};

// Shows the calculation's out-of-memory message (warning, topmost, no owner).
void ReportOutOfMemory();

bool ArgumentsPure(const CKvIndexFunctionParam *args);
// Points the readers at the arguments' values over the range (every bar, not
// masked: the arguments are pure, so evaluating them at more bars changes
// nothing): a statement's stored values are read where they are, anything
// else is evaluated into its column of columns (count entries per argument).
void ArgumentColumns(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from,
                     uint32_t count, double *columns, ArgReader *readers, int argCount);
int CountArguments(const CKvIndexFunctionParam *args);

}  // namespace builtin

// ---- State records -------------------------------------------------------

// The head every state record starts with.
struct BuiltinState {
  uint32_t serial;          // the pass that made it
  BuiltinState *next;       // next record of the same built-in
  const void *callSite;     // the call's first argument node
  uint32_t lastBar;         // the bar it last served
};

enum class BuiltinPool : uint8_t { Window, LongWindow, Small };

// Block sizes of the three pools: the ring records (a window of 1024 values
// or two of 512), the long-ring records (8192 values) and the small records.
constexpr int32_t kWindowStateBytes = 8256;
constexpr int32_t kLongWindowStateBytes = 65600;
constexpr int32_t kSmallStateBytes = 64;

// The records of BACKSET, FILTER and ZIG: a heap array (from Malloc) over
// the whole range, freed with the record.
struct HeapArrayState : BuiltinState {
  void *array;
  uint32_t count;
};

// The values of one argument expression at the bars of one pass, as far as
// they were asked for.
struct ArgumentValues {
  const CKvIndexExpression *argument;
  uint32_t serial;
  const KLINEBAR *bars;
  uint32_t barCount;
  ArgumentValues *next;
  std::unique_ptr<double[]> values;   // barCount entries
  std::unique_ptr<uint8_t[]> known;   // 1 where values holds the bar's value
  // The argument reads its own statement: only its values at bars whose
  // statement values are final (before the context's finalBefore) are kept.
  bool finalOnly = false;
};

// The records of one stateful built-in (STD and STDP use VAR's and VARP's).
struct BuiltinStateList {
  BuiltinState *head = nullptr;
  // The kept argument values of this built-in's calls, all of one pass.
  ArgumentValues *values = nullptr;
  BuiltinPool pool = BuiltinPool::Small;
  // Frees what a record holds besides its block (heap arrays); may be null.
  void (*dispose)(BuiltinState *) = nullptr;
};

namespace builtin {

// Step 1 of every stateful call: a record (or kept argument values) of
// another pass means a new pass has begun, and everything the list holds is
// released.
void BeginCall(BuiltinStateList &list, uint32_t serial);
// Releases the kept values of one argument (nothing for null).
void ReleaseValues(BuiltinStateList &list, const CKvIndexExpression *argument);
BuiltinState *FindState(BuiltinStateList &list, const void *site);
// Unlinks and releases one record.
void ReleaseState(BuiltinStateList &list, BuiltinState *record);
// A block of the list's pool, or null when the pool has none.
void *AllocState(BuiltinStateList &list);
// Returns an unlinked block to its pool.
void FreeStateBlock(BuiltinStateList &list, void *block);
// Fills the head and appends the record.
void KeepState(BuiltinStateList &list, BuiltinState *record, uint32_t serial, const void *site,
               uint32_t bar);
int32_t PoolBlockSize(BuiltinPool pool);

}  // namespace builtin

// ---- The implementations the table names ---------------------------------

#define KIVO_BUILTIN(name) \
  double name(const INDEXCALC *ctx, const CKvIndexFunctionParam *args)
#define KIVO_RUNNER(name)                                                                  \
  IndexColumnRunner *name(void *place, const INDEXCALC *ctx, const CKvIndexFunctionParam *args, \
                          uint32_t from, uint32_t count)
#define KIVO_COLUMN(name)                                                                   \
  void name(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from, uint32_t count, \
            double *out, const uint8_t *mask)

namespace builtin {

// Price, date-time, arithmetic, mathematics, logic and the rest without state.
KIVO_BUILTIN(Abs); KIVO_BUILTIN(Acos); KIVO_BUILTIN(Amount); KIVO_BUILTIN(Asin);
KIVO_BUILTIN(Atan); KIVO_BUILTIN(BarPos); KIVO_BUILTIN(BarsCount); KIVO_BUILTIN(BarStatus);
KIVO_BUILTIN(Between); KIVO_BUILTIN(Close); KIVO_BUILTIN(Ceiling); KIVO_BUILTIN(ColorRgb);
KIVO_BUILTIN(Cos); KIVO_BUILTIN(CurrentDate); KIVO_BUILTIN(CurrentTime);
KIVO_BUILTIN(DataCount); KIVO_BUILTIN(DataPeriod); KIVO_BUILTIN(Date); KIVO_BUILTIN(Day);
KIVO_BUILTIN(Exp); KIVO_BUILTIN(Floor); KIVO_BUILTIN(FracPart); KIVO_BUILTIN(High);
KIVO_BUILTIN(Hour); KIVO_BUILTIN(If); KIVO_BUILTIN(IntPart); KIVO_BUILTIN(IsContract);
KIVO_BUILTIN(IsDown); KIVO_BUILTIN(IsEqual); KIVO_BUILTIN(IsLastBar); KIVO_BUILTIN(IsUp);
KIVO_BUILTIN(Low); KIVO_BUILTIN(Ln); KIVO_BUILTIN(Log); KIVO_BUILTIN(Max); KIVO_BUILTIN(Min);
KIVO_BUILTIN(Minute); KIVO_BUILTIN(Mod); KIVO_BUILTIN(Month); KIVO_BUILTIN(Not);
KIVO_BUILTIN(Open); KIVO_BUILTIN(Pow); KIVO_BUILTIN(Range); KIVO_BUILTIN(Ref);
KIVO_BUILTIN(RefX); KIVO_BUILTIN(Reverse); KIVO_BUILTIN(Settle); KIVO_BUILTIN(Sgn);
KIVO_BUILTIN(Sin); KIVO_BUILTIN(Sqrt); KIVO_BUILTIN(StkType); KIVO_BUILTIN(T0ToTime);
KIVO_BUILTIN(Tan); KIVO_BUILTIN(Time); KIVO_BUILTIN(Time0); KIVO_BUILTIN(TimeToT0);
KIVO_BUILTIN(Vol); KIVO_BUILTIN(Weekday); KIVO_BUILTIN(Year);

KIVO_COLUMN(CloseColumn); KIVO_COLUMN(OpenColumn); KIVO_COLUMN(HighColumn);
KIVO_COLUMN(LowColumn); KIVO_COLUMN(VolColumn); KIVO_COLUMN(AmountColumn);
KIVO_COLUMN(SettleColumn);
// Built-ins that evaluate every argument once at the current bar and combine
// the values: their column form evaluates argument columns and combines.
KIVO_COLUMN(AbsColumn); KIVO_COLUMN(AcosColumn); KIVO_COLUMN(AsinColumn);
KIVO_COLUMN(AtanColumn); KIVO_COLUMN(CeilingColumn); KIVO_COLUMN(CosColumn);
KIVO_COLUMN(ExpColumn); KIVO_COLUMN(FloorColumn); KIVO_COLUMN(FracPartColumn);
KIVO_COLUMN(IntPartColumn); KIVO_COLUMN(LnColumn); KIVO_COLUMN(LogColumn);
KIVO_COLUMN(NotColumn); KIVO_COLUMN(ReverseColumn); KIVO_COLUMN(SgnColumn);
KIVO_COLUMN(SinColumn); KIVO_COLUMN(SqrtColumn); KIVO_COLUMN(TanColumn);
KIVO_COLUMN(PowColumn); KIVO_COLUMN(BetweenColumn); KIVO_COLUMN(RangeColumn);
KIVO_COLUMN(MaxColumn); KIVO_COLUMN(MinColumn); KIVO_COLUMN(IfColumn);

// Moving windows, recursive averages, crosses, references and whole-series
// markers.
KIVO_BUILTIN(Ma); KIVO_BUILTIN(Sum); KIVO_BUILTIN(Count); KIVO_BUILTIN(Hhv); KIVO_BUILTIN(Llv);
KIVO_BUILTIN(Wma); KIVO_BUILTIN(Ema); KIVO_BUILTIN(Sma); KIVO_BUILTIN(Dma);
KIVO_BUILTIN(Cross); KIVO_BUILTIN(LongCross); KIVO_BUILTIN(ValueWhen); KIVO_BUILTIN(BarsLast);
KIVO_BUILTIN(BarsSince); KIVO_BUILTIN(BackSet); KIVO_BUILTIN(Filter);
KIVO_COLUMN(MaColumn); KIVO_COLUMN(SumColumn); KIVO_COLUMN(CountColumn);
KIVO_COLUMN(HhvColumn); KIVO_COLUMN(LlvColumn); KIVO_COLUMN(WmaColumn);
KIVO_COLUMN(EmaColumn); KIVO_COLUMN(SmaColumn); KIVO_COLUMN(DmaColumn);
KIVO_RUNNER(MaRunner); KIVO_RUNNER(SumRunner); KIVO_RUNNER(CountRunner);
KIVO_RUNNER(HhvRunner); KIVO_RUNNER(LlvRunner); KIVO_RUNNER(WmaRunner);
KIVO_RUNNER(EmaRunner); KIVO_RUNNER(SmaRunner); KIVO_RUNNER(DmaRunner);

// Window statistics, stop-and-reverse and zigzag.
KIVO_BUILTIN(AveDev); KIVO_BUILTIN(DevSq); KIVO_BUILTIN(Var); KIVO_BUILTIN(VarP);
KIVO_BUILTIN(Std); KIVO_BUILTIN(StdP); KIVO_BUILTIN(Sar); KIVO_BUILTIN(SarKivo);
KIVO_BUILTIN(Zig);
KIVO_COLUMN(AveDevColumn); KIVO_COLUMN(DevSqColumn); KIVO_COLUMN(VarColumn);
KIVO_COLUMN(VarPColumn); KIVO_COLUMN(StdColumn); KIVO_COLUMN(StdPColumn);
KIVO_RUNNER(AveDevRunner); KIVO_RUNNER(DevSqRunner); KIVO_RUNNER(VarRunner);
KIVO_RUNNER(VarPRunner); KIVO_RUNNER(StdRunner); KIVO_RUNNER(StdPRunner);

// The state lists, one per stateful built-in.
enum StateListId {
  kListMa, kListSum, kListCount, kListHhv, kListLlv, kListWma,
  kListCross, kListLongCross,
  kListAveDev, kListDevSq, kListVar, kListVarP,
  kListValueWhen, kListBarsLast, kListBarsSince, kListSma, kListDma, kListEma,
  kListSar, kListSarKivo,
  kListBackSet, kListFilter, kListZig,
  kStateListCount
};
BuiltinStateList &StateList(StateListId id);

}  // namespace builtin

// ---- The protocol of a stateful call ----------------------------------------
//
// A family of stateful built-ins describes itself with:
//   kList                   its state list
//   State : BuiltinState    what a record keeps
//   Params                  the values of its "constant" arguments at this bar
//   Prepare(ctx, r, p)      evaluates them; false: the result is 0 and no
//                           record is made or touched
//   Continues(rec, p, t)    whether the record can serve bar t (it served t - 1)
//   Continue(ctx, r, p, rec) the value at t from the record, updating it
//   Keepable(p, t)          whether a record may be kept for these arguments
//   Scratch(ctx, r, p, st)  the value at t from scratch, filling a record
//   Direct(ctx, r, p)       the same value without a record
// Scratch and Direct must agree exactly, so that a pool without blocks changes
// nothing but the speed.

namespace builtin {

template <class Family>
double StatefulStep(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, const ArgReader *r) {
  using State = typename Family::State;
  static_assert(sizeof(State) <= size_t(Family::kPoolBytes), "state record outgrows its pool block");
  BuiltinStateList &list = StateList(Family::kList);
  BeginCall(list, ctx->serial);
  const uint32_t t = ctx->bar;
  const bool last = t + 1 >= ctx->barCount;
  State *rec = static_cast<State *>(FindState(list, args));
  typename Family::Params p;
  if (!Family::Prepare(ctx, r, p)) {
    if (rec && last) ReleaseState(list, rec);
    return 0.0;
  }
  if (rec && t == rec->lastBar + 1 && Family::Continues(*rec, p, t)) {
    const double v = Family::Continue(ctx, r, p, *rec);
    rec->lastBar = t;
    if (last) ReleaseState(list, rec);
    return v;
  }
  if (rec) ReleaseState(list, rec);
  if (!last && Family::Keepable(p, t)) {
    if (void *block = AllocState(list)) {
      State *fresh = new (block) State();
      const double v = Family::Scratch(ctx, r, p, *fresh);
      KeepState(list, fresh, ctx->serial, args, t);
      return v;
    }
  }
  return Family::Direct(ctx, r, p);
}

// The bar-by-bar entry of a family: readers that evaluate, or read the
// pass's values of arguments that keep state. Like a record, those values
// are not kept past the last bar of the range.
template <class Family, int kArgs>
double StatefulCall(const INDEXCALC *ctx, const CKvIndexFunctionParam *args) {
  ArgReader r[4] = {ArgReader(Arg(args, 0)), ArgReader(kArgs > 1 ? Arg(args, 1) : nullptr),
                    ArgReader(kArgs > 2 ? Arg(args, 2) : nullptr), ArgReader(nullptr)};
  BuiltinStateList &list = StateList(Family::kList);
  BeginCall(list, ctx->serial);
  bool kept = false;
  for (int k = 0; k < kArgs; ++k) kept = r[k].ShareValues(list, ctx) || kept;
  const double v = StatefulStep<Family>(ctx, args, r);
  if (kept && ctx->bar + 1 >= ctx->barCount)
    for (int k = 0; k < kArgs; ++k) ReleaseValues(list, r[k].expression());
  return v;
}

// A stateful call over a block whose arguments are pure: they are computed as
// columns first, so nothing runs between two bars of this call that could
// touch its state list; once a bar has left a record for the call site, the
// next bar finds it unchanged and skips the look-up.
template <class Family>
class StatefulRunner final : public IndexColumnRunner {
 public:
  using State = typename Family::State;

  StatefulRunner(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from, uint32_t count)
      : args_(args),
        from_(from),
        at_(*ctx),
        list_(StateList(Family::kList)),
        r_{ArgReader(Arg(args, 0)), ArgReader(Arg(args, 1)), ArgReader(Arg(args, 2)), ArgReader(nullptr)} {
    const int n = CountArguments(args);
    ArgumentColumns(ctx, args, from, count, columns_, r_, n < 4 ? n : 4);
  }
  static IndexColumnRunner *Make(void *place, const INDEXCALC *ctx, const CKvIndexFunctionParam *args,
                                 uint32_t from, uint32_t count) {
    static_assert(sizeof(StatefulRunner) <= kIndexRunnerBytes, "runner outgrows its place");
    if (count > kIndexColumnBlock || CountArguments(args) > 4 || !ArgumentsPure(args)) return nullptr;
    return new (place) StatefulRunner(ctx, args, from, count);
  }

  bool BeginChain(uint32_t i0, uint32_t i1, double *out, Chain &c) override {
    if constexpr (requires { Family::Chain(r_, *held_, i0, i1, c); }) {
      // Like Run: a record to continue and no bar the last of the range.
      if (held_ && i1 > i0 && from_ + i1 < at_.barCount && Family::Chain(r_, *held_, i0, i1, c)) {
        c.out = out;
        c.i0 = i0;
        c.i1 = i1;
        return true;
      }
    }
    return false;
  }
  void EndChain(const Chain &c) override {
    if constexpr (requires(Chain &d) { Family::Chain(r_, *held_, 0u, 0u, d); }) {
      held_->y = c.y;
      held_->lastBar = from_ + c.i1 - 1;
    }
  }

  void StepRange(uint32_t i0, uint32_t i1, double *out, const uint8_t *mask) override {
    uint32_t i = i0;
    while (i < i1) {
      // A family with a Run continues its record over a stretch of bars in
      // one tight loop: no bar of it masked out, none the last of the range.
      if constexpr (requires { Family::Run(r_, *held_, 0u, 0u, out); }) {
        if (held_ && !mask) {
          uint32_t end = i1;
          if (from_ + end >= at_.barCount) end = at_.barCount - 1 - from_;
          if (end > i) {
            const uint32_t stop = Family::Run(r_, *held_, i, end, out);
            if (stop > i) {
              held_->lastBar = from_ + stop - 1;
              i = stop;
              continue;
            }
          }
        }
      }
      if (mask && !mask[i]) held_ = nullptr;
      else out[i] = StepOne(from_ + i);
      ++i;
    }
  }
 private:
  inline double StepOne(uint32_t t) {
    at_.bar = t;
    if (held_) {
      const bool last = t + 1 >= at_.barCount;
      typename Family::Params p;
      if (!Family::Prepare(&at_, r_, p)) {
        if (last) ReleaseState(list_, held_);
        held_ = nullptr;
        return 0.0;
      }
      if (Family::Continues(*held_, p, t)) {
        const double v = Family::Continue(&at_, r_, p, *held_);
        held_->lastBar = t;
        if (last) {
          ReleaseState(list_, held_);
          held_ = nullptr;
        }
        return v;
      }
    }
    const double v = StatefulStep<Family>(&at_, args_, r_);
    held_ = static_cast<State *>(FindState(list_, args_));
    if (held_ && held_->lastBar != t) held_ = nullptr;
    return v;
  }

  const CKvIndexFunctionParam *args_;
  uint32_t from_;
  INDEXCALC at_;
  BuiltinStateList &list_;
  ArgReader r_[4];
  State *held_ = nullptr;
  double columns_[4 * kIndexColumnBlock];
};

// Runs one runner over a block, or the call bar by bar when it cannot run.
void RunColumn(IndexRunnerMaker make, const INDEXCALC *ctx, const CKvIndexFunctionParam *args,
               uint32_t from, uint32_t count, double *out, const uint8_t *mask, IndexFunctionImpl impl);

template <class Family>
void StatefulColumn(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from,
                    uint32_t count, double *out, const uint8_t *mask, IndexFunctionImpl impl) {
  RunColumn(&StatefulRunner<Family>::Make, ctx, args, from, count, out, mask, impl);
}

}  // namespace builtin
