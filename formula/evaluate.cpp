// Evaluating compiled expressions, bar by bar and a column at a time, and
// the cross-instrument references.
//
// A program is reverse Polish. Its evaluation is defined by a walk that
// reduces it from the left: at each operator the two tokens just before it
// are its operands, read when the operator is reached (so an operand token is
// evaluated late, and not at all where a division by 0 or a decided AND/OR
// leaves it alone), and the result replaces them as a constant. The shape of
// that walk does not depend on any value, so Finish() works it out once as a
// list of steps whose operands are program tokens or results of earlier
// steps; evaluating the steps in order makes exactly the walk's calls.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "formula/builtin.h"
#include "formula/kvindex.h"

namespace {

uint32_t g_serial = 1;
thread_local uint64_t g_evaluations = 0;

inline double Apply(uint8_t op, double l, double r) {
  switch (op) {
    case kOpMul: return l * r;
    case kOpAdd: return l + r;
    case kOpSub: return l - r;
    case kOpLess: return l < r ? 1.0 : 0.0;
    case kOpGreater: return l > r ? 1.0 : 0.0;
    case kOpLessEqual: return l <= r ? 1.0 : 0.0;
    case kOpGreaterEqual: return l >= r ? 1.0 : 0.0;
    case kOpEqual: return l == r ? 1.0 : 0.0;
    case kOpNotEqual: return l != r ? 1.0 : 0.0;
    default: return 0.0;
  }
}

inline bool IsPlainOperator(uint8_t op) { return op >= kOpMul && op <= kOpNotEqual && op != kOpDiv; }

}  // namespace

uint32_t NextIndexSerial() { return g_serial++; }
uint64_t IndexEvaluations() { return g_evaluations; }

int32_t FindBarAtOrBefore(const KLINEBAR *bars, uint32_t count, uint32_t t) {
  if (!bars || count == 0 || bars[0].time > t) return -1;
  if (bars[count - 1].time < t) return int32_t(count - 1);
  int64_t lo = 0, hi = int64_t(count) - 1;
  while (lo <= hi) {
    const int64_t mid = (lo + hi) / 2;
    const uint32_t m = bars[mid].time;
    if (m == t) return int32_t(mid);
    if (m > t) {
      hi = mid - 1;
      if (hi >= 0 && bars[hi].time <= t) return int32_t(hi);
    } else {
      if (mid + 1 < int64_t(count) && bars[mid + 1].time > t) return int32_t(mid);
      lo = mid + 1;
    }
  }
  return -1;
}

// ---- The expression ---------------------------------------------------------------

CKvIndexExpression::CKvIndexExpression() = default;

CKvIndexExpression::~CKvIndexExpression() { Reset(); }

void CKvIndexExpression::Reset() {
  tokens_.clear();
  calls_.clear();
  refs_.clear();  // each reference releases its subscription
  steps_.clear();
  lastTokenIsOperator_ = false;
  readsOwnStatement_ = false;
  pure_ = true;
}

int32_t CKvIndexExpression::AddCall(std::unique_ptr<CKvIndexFunction> call) {
  calls_.push_back(std::move(call));
  return int32_t(calls_.size() - 1);
}

int32_t CKvIndexExpression::AddReference(std::unique_ptr<CKvIndexRefother> ref) {
  refs_.push_back(std::move(ref));
  return int32_t(refs_.size() - 1);
}

CKvIndexFunction *CKvIndexExpression::GetCall(uint32_t n) const {
  return n < calls_.size() ? calls_[n].get() : nullptr;
}

CKvIndexRefother *CKvIndexExpression::GetReference(uint32_t n) const {
  return n < refs_.size() ? refs_[n].get() : nullptr;
}

void CKvIndexExpression::Finish() {
  steps_.clear();
  std::vector<std::pair<bool, int32_t>> items;  // (is a step result, index)
  bool broken = false;
  for (size_t i = 0; i < tokens_.size(); ++i) {
    const INDEXTOKEN &token = tokens_[i];
    if (token.kind != kOperandOperator) {
      items.emplace_back(false, int32_t(i));
      continue;
    }
    // An operator without two operands before it ends the walk there; the
    // compiler never makes such a program.
    if (items.size() < 2) {
      broken = true;
      break;
    }
    const auto right = items.back();
    items.pop_back();
    const auto left = items.back();
    items.pop_back();
    steps_.push_back(Step{token.op, left.first, right.first, left.second, right.second});
    items.emplace_back(true, int32_t(steps_.size() - 1));
  }
  lastTokenIsOperator_ =
      !broken && tokens_.size() > 1 && tokens_.back().kind == kOperandOperator && !steps_.empty();

  readsOwnStatement_ = false;
  pure_ = true;
  for (const INDEXTOKEN &token : tokens_) {
    if (token.kind == kOperandVariable && token.index == -1) readsOwnStatement_ = true;
    if (token.kind == kOperandReference) pure_ = false;
  }
  for (const auto &call : calls_) {
    if (!call->row || call->row->stateful) pure_ = false;
    for (const CKvIndexFunctionParam *a = call->args; a; a = a->next) {
      readsOwnStatement_ = readsOwnStatement_ || a->readsOwnStatement_;
      pure_ = pure_ && a->pure_;
    }
  }
  if (readsOwnStatement_) pure_ = false;
}

bool CKvIndexExpression::CallsFullRecalcBuiltin() const {
  for (const auto &call : calls_) {
    if (call->row && (call->row->f.flags & kFunctionFullRecalc)) return true;
    for (const CKvIndexFunctionParam *a = call->args; a; a = a->next)
      if (a->CallsFullRecalcBuiltin()) return true;
  }
  return false;
}

double CKvIndexExpression::EvaluateOperand(const INDEXTOKEN &token, const INDEXCALC *ctx) const {
  switch (token.kind) {
    case kOperandConstant: return token.value;
    case kOperandParam: {
      const CKvIndex *f = ctx->formula;
      return f && token.index >= 0 && uint32_t(token.index) < f->paramCount && token.index < 16
                 ? f->params[token.index].value
                 : 0.0;
    }
    case kOperandCall:
      return token.index >= 0 && size_t(token.index) < calls_.size() ? calls_[token.index]->Call(ctx) : 0.0;
    case kOperandVariable: {
      const CKvIndexVariable *v = ctx->formula ? ctx->formula->GetVariable(token.index) : nullptr;
      return v ? v->GetValue(ctx->bar) : 0.0;
    }
    case kOperandReference:
      return token.index >= 0 && size_t(token.index) < refs_.size() ? refs_[token.index]->GetValue(ctx) : 0.0;
    default: return 0.0;
  }
}

inline double CKvIndexExpression::Source(bool isStep, int32_t index, const double *steps,
                                         const INDEXCALC *ctx) const {
  return isStep ? steps[index] : EvaluateOperand(tokens_[index], ctx);
}

double CKvIndexExpression::Evaluate(const INDEXCALC *ctx) const {
  ++g_evaluations;
  const size_t n = tokens_.size();
  if (n == 0) return 0.0;
  if (n == 1) return EvaluateOperand(tokens_[0], ctx);
  const size_t k = steps_.size();
  double local[32];
  std::unique_ptr<double[]> heap;
  double *v = local;
  if (k > 32) {
    heap.reset(new double[k]);
    v = heap.get();
  }
  for (size_t i = 0; i < k; ++i) {
    const Step &s = steps_[i];
    double result;
    switch (s.op) {
      case kOpDiv: {
        const double r = Source(s.rightIsStep, s.right, v, ctx);
        result = r == 0 ? 0.0 : Source(s.leftIsStep, s.left, v, ctx) / r;
        break;
      }
      case kOpAnd:
        result = Source(s.leftIsStep, s.left, v, ctx) != 0 && Source(s.rightIsStep, s.right, v, ctx) != 0
                     ? 1.0
                     : 0.0;
        break;
      case kOpOr:
        result = Source(s.leftIsStep, s.left, v, ctx) != 0 || Source(s.rightIsStep, s.right, v, ctx) != 0
                     ? 1.0
                     : 0.0;
        break;
      default:
        if (IsPlainOperator(s.op)) {
          const double l = Source(s.leftIsStep, s.left, v, ctx);
          const double r = Source(s.rightIsStep, s.right, v, ctx);
          result = Apply(s.op, l, r);
        } else {
          result = 0.0;
        }
        break;
    }
    v[i] = result;
  }
  return lastTokenIsOperator_ && k > 0 ? v[k - 1] : 0.0;
}

// ---- A column at a time -------------------------------------------------------------
//
// Evaluating a whole column of bars per operand gives the same values and the
// same calls at the same bars as the bar-by-bar walk: operands that the walk
// leaves unread at a bar are evaluated under a mask without that bar. What
// changes is only the order between different call sites, which nothing can
// tell apart as long as every call goes to a built-in of the table (each call
// site keeps its own state) and no operand reads the statement's own values
// while they are being written. Anything else is evaluated bar by bar.

class IndexColumnEvaluator {
 public:
  static bool Eligible(const CKvIndexExpression &e) {
    if (e.readsOwnStatement_) return false;
    for (const auto &call : e.calls_) {
      if (!call->row || call->impl != call->row->f.impl) return false;
      for (const CKvIndexFunctionParam *a = call->args; a; a = a->next)
        if (!Eligible(*a)) return false;
    }
    return true;
  }

  static void Operand(const CKvIndexExpression &e, const INDEXTOKEN &token, const INDEXCALC *ctx,
                      uint32_t from, uint32_t n, double *out, const uint8_t *mask) {
    switch (token.kind) {
      case kOperandConstant:
      case kOperandParam: {
        const double v = e.EvaluateOperand(token, ctx);
        for (uint32_t i = 0; i < n; ++i)
          if (!mask || mask[i]) out[i] = v;
        return;
      }
      case kOperandCall: {
        if (token.index < 0 || size_t(token.index) >= e.calls_.size()) break;
        const CKvIndexFunction &call = *e.calls_[token.index];
        if (call.row && call.row->column && call.impl == call.row->f.impl) {
          call.row->column(ctx, call.args, from, n, out, mask);
          return;
        }
        INDEXCALC at = *ctx;
        for (uint32_t i = 0; i < n; ++i) {
          if (mask && !mask[i]) continue;
          at.bar = from + i;
          out[i] = call.Call(&at);
        }
        return;
      }
      case kOperandVariable: {
        const CKvIndexVariable *v = ctx->formula ? ctx->formula->GetVariable(token.index) : nullptr;
        if (v && !mask && v->RecordSize() == sizeof(double) && from + n <= v->capacity) {
          std::memcpy(out, static_cast<const double *>(v->values) + from, n * sizeof(double));
          return;
        }
        for (uint32_t i = 0; i < n; ++i)
          if (!mask || mask[i]) out[i] = v ? v->GetValue(from + i) : 0.0;
        return;
      }
      case kOperandReference: {
        INDEXCALC at = *ctx;
        for (uint32_t i = 0; i < n; ++i) {
          if (mask && !mask[i]) continue;
          at.bar = from + i;
          out[i] = e.EvaluateOperand(token, &at);
        }
        return;
      }
      default: break;
    }
    for (uint32_t i = 0; i < n; ++i)
      if (!mask || mask[i]) out[i] = 0.0;
  }

  // Both operands of an operator as stateful calls running side by side, a few
  // bars at a time, left before right; false when either call cannot run that
  // way.
  static bool Lockstep(const CKvIndexExpression &e, const INDEXTOKEN &a, const INDEXTOKEN &b,
                       const INDEXCALC *ctx, uint32_t from, uint32_t n, const uint8_t *mask, double *outA,
                       double *outB) {
    const CKvIndexFunction *calls[2] = {Runnable(e, a), Runnable(e, b)};
    if (!calls[0] || !calls[1]) return false;
    alignas(16) unsigned char places[2][kIndexRunnerBytes];
    IndexColumnRunner *runA = calls[0]->row->runner(places[0], ctx, calls[0]->args, from, n);
    if (!runA) return false;
    IndexColumnRunner *runB = calls[1]->row->runner(places[1], ctx, calls[1]->args, from, n);
    if (!runB) {
      runA->~IndexColumnRunner();
      return false;
    }
    // A few bars of one, then the same bars of the other: close enough for
    // the processor to overlap their recurrences.
    constexpr uint32_t kStride = 8;
    for (uint32_t i = 0; i < n; i += kStride) {
      const uint32_t end = std::min(n, i + kStride);
      runA->StepRange(i, end, outA, mask);
      runB->StepRange(i, end, outB, mask);
    }
    runA->~IndexColumnRunner();
    runB->~IndexColumnRunner();
    return true;
  }
  // The tokens of calls that can run ahead of the rest of the expression over
  // a block without a mask: the expression's only token, or an operand of a
  // plain operator (read at every bar the expression is evaluated at).
  static void RunnableOperands(const CKvIndexExpression &e, std::vector<int32_t> &tokens) {
    if (e.tokens_.size() == 1) {
      if (Runnable(e, e.tokens_[0])) tokens.push_back(0);
      return;
    }
    for (const CKvIndexExpression::Step &step : e.steps_) {
      if (!IsPlainOperator(step.op)) continue;
      if (!step.leftIsStep && Runnable(e, e.tokens_[step.left])) tokens.push_back(step.left);
      if (!step.rightIsStep && Runnable(e, e.tokens_[step.right])) tokens.push_back(step.right);
    }
  }
  static IndexColumnRunner *MakeRunner(const CKvIndexExpression &e, int32_t token, void *place,
                                       const INDEXCALC *ctx, uint32_t from, uint32_t n) {
    const CKvIndexFunction *call = Runnable(e, e.tokens_[token]);
    return call ? call->row->runner(place, ctx, call->args, from, n) : nullptr;
  }
  static size_t TokenCount(const CKvIndexExpression &e) { return e.tokens_.size(); }

  static const double *Stored(const CKvIndexExpression &e, const INDEXCALC *ctx, uint32_t from, uint32_t n);
  static bool ConstantValue(const CKvIndexExpression &e, const INDEXCALC *ctx, double *value);

  static bool ContainsSkippingOperator(const CKvIndexExpression &e) {
    for (const CKvIndexExpression::Step &step : e.steps_)
      if (step.op == kOpDiv || step.op == kOpAnd || step.op == kOpOr) return true;
    return false;
  }
  static const CKvIndexFunction *Runnable(const CKvIndexExpression &e, const INDEXTOKEN &token) {
    if (token.kind != kOperandCall || token.index < 0 || size_t(token.index) >= e.calls_.size()) return nullptr;
    const CKvIndexFunction *call = e.calls_[token.index].get();
    return call->row && call->row->runner && call->impl == call->row->f.impl ? call : nullptr;
  }

  // One block of bars. `ready` (per token, null entries where there is none)
  // holds the columns of calls that already ran over the block without a
  // mask; they are taken instead of calling again.
  static void Block(const CKvIndexExpression &e, const INDEXCALC *ctx, uint32_t from, uint32_t n,
                    double *out, const uint8_t *mask, const double *const *ready = nullptr) {
    const size_t tokens = e.tokens_.size();
    if (tokens == 1) {
      if (ready && ready[0] && !mask) {
        if (ready[0] != out) std::memcpy(out, ready[0], n * sizeof(double));
        return;
      }
      Operand(e, e.tokens_[0], ctx, from, n, out, mask);
      return;
    }
    const size_t k = e.steps_.size();
    if (tokens == 0 || k == 0) {
      for (uint32_t i = 0; i < n; ++i)
        if (!mask || mask[i]) out[i] = 0.0;
      return;
    }
    constexpr size_t kStackSteps = 8;
    double stackColumns[kStackSteps * kIndexColumnBlock];
    std::unique_ptr<double[]> heapColumns;
    double *columns = stackColumns;
    if (k > kStackSteps) {
      heapColumns.reset(new double[k * kIndexColumnBlock]);
      columns = heapColumns.get();
    }
    double left[kIndexColumnBlock], right[kIndexColumnBlock];
    uint8_t sub[kIndexColumnBlock];
    // Without a mask every entry is written before it is read; with one, the
    // entries of bars left out are read (and their results dropped), so they
    // must hold some value.
    if (mask || ContainsSkippingOperator(e)) {
      std::fill(left, left + n, 0.0);
      std::fill(right, right + n, 0.0);
    }

    auto source = [&](bool isStep, int32_t index, const uint8_t *m, double *scratch) -> const double * {
      if (isStep) return columns + size_t(index) * kIndexColumnBlock;
      if (ready && ready[index] && !m) return ready[index];
      const INDEXTOKEN &token = e.tokens_[index];
      // A statement's values are read where they are stored.
      if (token.kind == kOperandVariable && !m && ctx->formula) {
        const CKvIndexVariable *v = ctx->formula->GetVariable(token.index);
        if (v && v->RecordSize() == sizeof(double) && from + n <= v->capacity)
          return static_cast<const double *>(v->values) + from;
      }
      Operand(e, token, ctx, from, n, scratch, m);
      return scratch;
    };
    // Without a mask the last step writes straight into out.
    const bool direct = !mask && e.lastTokenIsOperator_;
    for (size_t s = 0; s < k; ++s) {
      const CKvIndexExpression::Step &step = e.steps_[s];
      double *result = direct && s + 1 == k ? out : columns + s * kIndexColumnBlock;
      switch (step.op) {
        case kOpDiv: {
          const double *r = source(step.rightIsStep, step.right, mask, right);
          for (uint32_t i = 0; i < n; ++i) sub[i] = (!mask || mask[i]) && r[i] != 0;
          const double *l = source(step.leftIsStep, step.left, sub, left);
          for (uint32_t i = 0; i < n; ++i) result[i] = r[i] == 0 ? 0.0 : l[i] / r[i];
          break;
        }
        case kOpAnd:
        case kOpOr: {
          const bool isAnd = step.op == kOpAnd;
          const double *l = source(step.leftIsStep, step.left, mask, left);
          for (uint32_t i = 0; i < n; ++i) sub[i] = (!mask || mask[i]) && ((l[i] != 0) == isAnd);
          const double *r = source(step.rightIsStep, step.right, sub, right);
          for (uint32_t i = 0; i < n; ++i) {
            const bool lv = l[i] != 0;
            result[i] = isAnd ? (lv && r[i] != 0 ? 1.0 : 0.0) : (lv || r[i] != 0 ? 1.0 : 0.0);
          }
          break;
        }
        default: {
          if (!IsPlainOperator(step.op)) {
            std::fill(result, result + n, 0.0);
            break;
          }
          // A constant side is applied as it is, without a column of copies.
          auto constant = [&](bool isStep, int32_t index) {
            if (isStep) return false;
            const uint8_t kind = e.tokens_[index].kind;
            return kind == kOperandConstant || kind == kOperandParam;
          };
          if (step.op == kOpMul || step.op == kOpAdd || step.op == kOpSub) {
            const bool rightConstant = constant(step.rightIsStep, step.right);
            if (rightConstant || constant(step.leftIsStep, step.left)) {
              const double *x = rightConstant ? source(step.leftIsStep, step.left, mask, left)
                                              : source(step.rightIsStep, step.right, mask, right);
              const double c = e.EvaluateOperand(e.tokens_[rightConstant ? step.right : step.left], ctx);
              if (step.op == kOpMul) {
                if (rightConstant) for (uint32_t i = 0; i < n; ++i) result[i] = x[i] * c;
                else for (uint32_t i = 0; i < n; ++i) result[i] = c * x[i];
              } else if (step.op == kOpAdd) {
                if (rightConstant) for (uint32_t i = 0; i < n; ++i) result[i] = x[i] + c;
                else for (uint32_t i = 0; i < n; ++i) result[i] = c + x[i];
              } else {
                if (rightConstant) for (uint32_t i = 0; i < n; ++i) result[i] = x[i] - c;
                else for (uint32_t i = 0; i < n; ++i) result[i] = c - x[i];
              }
              break;
            }
          }
          const double *l = left, *r = right;
          if (ready || step.leftIsStep || step.rightIsStep ||
              !Lockstep(e, e.tokens_[step.left], e.tokens_[step.right], ctx, from, n, mask, left, right)) {
            l = source(step.leftIsStep, step.left, mask, left);
            r = source(step.rightIsStep, step.right, mask, right);
          }
          switch (step.op) {
            case kOpMul:
              for (uint32_t i = 0; i < n; ++i) result[i] = l[i] * r[i];
              break;
            case kOpAdd:
              for (uint32_t i = 0; i < n; ++i) result[i] = l[i] + r[i];
              break;
            case kOpSub:
              for (uint32_t i = 0; i < n; ++i) result[i] = l[i] - r[i];
              break;
            default:
              for (uint32_t i = 0; i < n; ++i) result[i] = Apply(step.op, l[i], r[i]);
              break;
          }
          break;
        }
      }
    }
    if (direct) return;
    const double *last = columns + (k - 1) * kIndexColumnBlock;
    for (uint32_t i = 0; i < n; ++i)
      if (!mask || mask[i]) out[i] = e.lastTokenIsOperator_ ? last[i] : 0.0;
  }
};

bool CKvIndexExpression::ColumnEligible() const { return IndexColumnEvaluator::Eligible(*this); }

const double *IndexStoredColumn(const CKvIndexExpression &e, const INDEXCALC *ctx, uint32_t from,
                                uint32_t count) {
  return IndexColumnEvaluator::Stored(e, ctx, from, count);
}

bool IndexConstantColumnValue(const CKvIndexExpression &e, const INDEXCALC *ctx, double *value) {
  return IndexColumnEvaluator::ConstantValue(e, ctx, value);
}

// Column evaluation keeps its columns on the stack, some tens of kilobytes a
// level; below this many nested levels the calls go bar by bar instead.
constexpr int kMaxColumnDepth = 8;
thread_local int g_columnDepth = 0;
thread_local uint64_t g_columnEpoch = 0;

uint64_t IndexColumnEpoch() { return g_columnEpoch; }

bool IndexColumnEvaluator::ConstantValue(const CKvIndexExpression &e, const INDEXCALC *ctx, double *value) {
  if (e.tokens_.size() != 1 || g_columnDepth >= kMaxColumnDepth) return false;
  const INDEXTOKEN &token = e.tokens_[0];
  if (token.kind != kOperandConstant && token.kind != kOperandParam) return false;
  *value = e.EvaluateOperand(token, ctx);
  return true;
}

// Where a column evaluation of the expression would copy the values.
const double *IndexColumnEvaluator::Stored(const CKvIndexExpression &e, const INDEXCALC *ctx, uint32_t from,
                                           uint32_t n) {
  if (e.tokens_.size() != 1 || e.tokens_[0].kind != kOperandVariable || !ctx->formula) return nullptr;
  if (g_columnDepth >= kMaxColumnDepth || !Eligible(e)) return nullptr;
  const CKvIndexVariable *v = ctx->formula->GetVariable(e.tokens_[0].index);
  if (!v || v == ctx->formula->currentVariable || v->RecordSize() != sizeof(double) || !v->values ||
      from + n > v->capacity)
    return nullptr;
  return static_cast<const double *>(v->values) + from;
}

void CKvIndexExpression::EvaluateRange(const INDEXCALC *ctx, uint32_t from, uint32_t count,
                                       double *out, const uint8_t *mask) const {
  if (count == 0) return;
  if (g_columnDepth >= kMaxColumnDepth || !ColumnEligible()) {
    // Bar by bar, each value stored before the next bar is evaluated: an
    // expression that reads its own statement sees the values of this pass at
    // the bars before.
    INDEXCALC at = *ctx;
    // Contexts made inside a statement's pass know the bar it is at.
    const bool statementPass = at.statementPass;
    at.statementPass = false;
    for (uint32_t i = 0; i < count; ++i) {
      if (mask && !mask[i]) continue;
      at.bar = from + i;
      if (statementPass) at.finalBefore = at.bar;
      out[i] = Evaluate(&at);
    }
    return;
  }
  if (g_columnDepth == 0) ++g_columnEpoch;
  ++g_columnDepth;
  for (uint32_t b = 0; b < count; b += kIndexColumnBlock) {
    const uint32_t n = std::min(kIndexColumnBlock, count - b);
    IndexColumnEvaluator::Block(*this, ctx, from + b, n, out + b, mask ? mask + b : nullptr);
  }
  --g_columnDepth;
}

// ---- Statements side by side -------------------------------------------------------

namespace {

thread_local bool g_sideBySide = true;

// A call of one statement running ahead over the statement's block; its
// columns alternate between rounds, since the one of the round before is
// still read while the call runs over its next block.
struct AheadCall {
  alignas(16) unsigned char place[kIndexRunnerBytes];
  double column[2][kIndexColumnBlock];
  IndexColumnRunner *runner = nullptr;
  double *out = nullptr;
  uint32_t n = 0;
};

// A statement's block of one round.
struct StatementBlock {
  bool active = false;
  uint32_t from = 0, n = 0;
  double *out = nullptr;
  std::vector<const double *> ready;  // per token: the column of a call that ran ahead
};

struct StatementPlan {
  const CKvIndexExpression *expression = nullptr;
  std::vector<int32_t> tokens;  // calls that run ahead
  size_t firstCall = 0;         // their places in the run's list
  uint32_t behind = 0;          // blocks behind the run's first statement
  StatementBlock block[2];      // by round parity
  std::vector<const double *> part;  // the ready columns from a bar of the block on
};

// Cache lines to fetch ahead while the recurrences run: the loop waits on
// its divisions most of the time, so one line a bar costs it nothing, while
// the same lines fetched all at once would hold it up. Kept as ranges, taken
// a line at a time.
struct IndexFetchQueue {
  static constexpr size_t kRanges = 16;
  const char *begin[kRanges];
  const char *end[kRanges];
  size_t next = 0, count = 0;
  const char *line = nullptr, *lineEnd = nullptr;  // the range being taken

  void Add(const void *from, const void *to) {
    const char *b = static_cast<const char *>(from), *e = static_cast<const char *>(to);
    if (b >= e) return;
    if (count == kRanges) {
      for (; b < e; b += 64) __builtin_prefetch(b);
      return;
    }
    begin[count] = b;
    end[count++] = e;
  }
  bool Empty() const { return line >= lineEnd && next == count; }
  // Fetches the next line, if any is left.
  inline void One() {
    if (line >= lineEnd) {
      if (next == count) return;
      line = begin[next];
      lineEnd = end[next];
      ++next;
    }
    __builtin_prefetch(line);
    line += 64;
  }
  void Drain() {
    while (!Empty()) One();
    next = count = 0;
    line = lineEnd = nullptr;
  }
};

// Up to four recurrences over the same bars in one loop, so that the
// processor overlaps them; each step is exactly the runner's own.
template <int K>
void IndexRunChainGroup(IndexColumnRunner::Chain *c, IndexFetchQueue &fetch) {
  const double *x[K];
  double *out[K];
  double y[K], keep[K], div[K];
  for (int k = 0; k < K; ++k) {
    x[k] = c[k].x;
    out[k] = c[k].out;
    y[k] = c[k].y;
    keep[k] = c[k].keep;
    div[k] = c[k].div;
  }
  const char *line = fetch.line, *lineEnd = fetch.lineEnd;
  const uint32_t i0 = c[0].i0, i1 = c[0].i1;
  for (uint32_t i = i0; i < i1; ++i) {
    if (line < lineEnd) {
      __builtin_prefetch(line);
      line += 64;
    } else if (fetch.next < fetch.count) {
      line = fetch.begin[fetch.next];
      lineEnd = fetch.end[fetch.next];
      ++fetch.next;
    }
    for (int k = 0; k < K; ++k) out[k][i] = y[k] = (2 * x[k][i] + keep[k] * y[k]) / div[k];
  }
  fetch.line = line;
  fetch.lineEnd = lineEnd;
  for (int k = 0; k < K; ++k) c[k].y = y[k];
}

void IndexRunChains(IndexColumnRunner::Chain *c, size_t count, IndexFetchQueue &fetch) {
  size_t k = 0;
  while (k < count) {
    // A group shares its bars.
    size_t g = 1;
    while (g < 4 && k + g < count && c[k + g].i0 == c[k].i0 && c[k + g].i1 == c[k].i1) ++g;
    switch (g) {
      case 4: IndexRunChainGroup<4>(c + k, fetch); break;
      case 3: IndexRunChainGroup<3>(c + k, fetch); break;
      case 2: IndexRunChainGroup<2>(c + k, fetch); break;
      default: IndexRunChainGroup<1>(c + k, fetch); break;
    }
    k += g;
  }
}

}  // namespace

bool IndexExpressionSideBySide(const CKvIndexExpression &e) {
  return IndexColumnEvaluator::Eligible(e) && !e.CallsFullRecalcBuiltin();
}

void SetIndexStatementsSideBySide(bool on) { g_sideBySide = on; }
bool IndexStatementsSideBySide() { return g_sideBySide; }

void EvaluateStatementsSideBySide(CKvIndex *formula, IndexStatementJob *jobs, size_t jobCount, uint32_t from,
                                  uint32_t count) {
  if (count == 0 || jobCount == 0) return;
  auto whole = [&](IndexStatementJob &job) {
    formula->currentVariable = job.variable;
    job.variable->expression->EvaluateRange(&job.ctx, from, count,
                                            static_cast<double *>(job.variable->values) + from);
    formula->currentVariable = nullptr;
  };
  if (g_columnDepth >= kMaxColumnDepth) {
    for (size_t j = 0; j < jobCount; ++j) whole(jobs[j]);
    return;
  }
  std::vector<StatementPlan> plans(jobCount);
  size_t calls = 0;
  uint32_t maxBehind = 0;
  for (size_t j = 0; j < jobCount; ++j) {
    StatementPlan &p = plans[j];
    p.expression = jobs[j].variable->expression.get();
    IndexColumnEvaluator::RunnableOperands(*p.expression, p.tokens);
    p.firstCall = calls;
    calls += p.tokens.size();
    const size_t tokens = IndexColumnEvaluator::TokenCount(*p.expression);
    for (StatementBlock &k : p.block) k.ready.assign(tokens, nullptr);
    p.part.assign(tokens, nullptr);
    // A block's calls run in one round and the rest of it is evaluated in the
    // next, so a statement stays two blocks behind what it reads.
    p.behind = 2 * jobs[j].lag;
    maxBehind = std::max(maxBehind, p.behind);
  }
  std::unique_ptr<AheadCall[]> ahead(calls ? new AheadCall[calls] : nullptr);
  std::vector<IndexColumnRunner::Chain> chains(calls);
  std::vector<AheadCall *> chainOwner(calls);
  IndexFetchQueue fetch;

  // The rest of the statements' blocks of the round before, bars i0 .. i1 - 1
  // of each, in statement order.
  auto finish = [&](int parity, uint32_t i0, uint32_t i1) {
    for (size_t j = 0; j < jobCount; ++j) {
      StatementPlan &p = plans[j];
      const StatementBlock &k = p.block[parity];
      if (!k.active || i0 >= k.n) continue;
      const uint32_t n = std::min(k.n, i1) - i0;
      for (size_t t = 0; t < p.part.size(); ++t) p.part[t] = k.ready[t] ? k.ready[t] + i0 : nullptr;
      formula->currentVariable = jobs[j].variable;
      IndexColumnEvaluator::Block(*p.expression, &jobs[j].ctx, k.from + i0, n, k.out + i0, nullptr,
                                  p.part.data());
      formula->currentVariable = nullptr;
    }
  };

  if (g_columnDepth == 0) ++g_columnEpoch;
  ++g_columnDepth;
  const uint32_t blocks = (count + kIndexColumnBlock - 1) / kIndexColumnBlock;
  // One round more than blocks: the last one only finishes.
  for (uint32_t round = 0; round <= blocks + maxBehind; ++round) {
    const int now = int(round & 1), before = now ^ 1;
    // Each statement's block, and its calls that run ahead set up over it.
    for (size_t j = 0; j < jobCount; ++j) {
      StatementPlan &p = plans[j];
      StatementBlock &k = p.block[now];
      k.active = round >= p.behind && round - p.behind < blocks;
      std::fill(k.ready.begin(), k.ready.end(), nullptr);
      if (!k.active) continue;
      const uint32_t b = (round - p.behind) * kIndexColumnBlock;
      k.from = from + b;
      k.n = std::min(kIndexColumnBlock, count - b);
      k.out = static_cast<double *>(jobs[j].variable->values) + k.from;
      formula->currentVariable = jobs[j].variable;
      for (size_t c = 0; c < p.tokens.size(); ++c) {
        AheadCall &a = ahead[p.firstCall + c];
        const int32_t token = p.tokens[c];
        a.runner = IndexColumnEvaluator::MakeRunner(*p.expression, token, a.place, &jobs[j].ctx, k.from, k.n);
        a.n = k.n;
        // A statement that is just the call gets the values straight away.
        a.out = k.ready.size() == 1 ? k.out : a.column[now];
        k.ready[size_t(token)] = a.runner ? a.out : nullptr;
      }
      formula->currentVariable = nullptr;
    }
    // The rest of the blocks of the round before, which has no part in the
    // recurrences, then the calls of every statement over the whole block
    // (a stretch per call costs more in setting up than the processor gains
    // from overlapping shorter ones). Meanwhile the bars of the next round are
    // fetched into the cache (the first statement reads them right after),
    // and the statements' blocks of this round, which are written next.
    constexpr uint32_t kStride = kIndexColumnBlock;
    constexpr uint32_t kFinishPart = kIndexColumnBlock;
    const uint32_t next = (round + 1) * kIndexColumnBlock;
    const KLINEBAR *coming = jobs[0].ctx.bars && next < count ? jobs[0].ctx.bars + from + next : nullptr;
    const uint32_t comingCount = coming ? std::min(kIndexColumnBlock, count - next) : 0;
    for (uint32_t i = 0; i < kIndexColumnBlock; i += kStride) {
      if (i % kFinishPart == 0) finish(before, i, i + kFinishPart);
      if (i < comingCount) fetch.Add(coming + i, coming + std::min(comingCount, i + kStride));
      for (const StatementPlan &p : plans) {
        const StatementBlock &k = p.block[now];
        if (k.active && i < k.n) fetch.Add(k.out + i, k.out + std::min(k.n, i + kStride));
      }
      // Calls whose stretch is a plain recurrence go through one loop
      // together; the others step on their own.
      size_t chained = 0;
      for (size_t c = 0; c < calls; ++c) {
        AheadCall &a = ahead[c];
        if (!a.runner || i >= a.n) continue;
        const uint32_t end = std::min(a.n, i + kStride);
        if (a.runner->BeginChain(i, end, a.out, chains[chained])) {
          chainOwner[chained++] = &a;
          continue;
        }
        // The first bar of a block finds the call's record; the rest of the
        // stretch may then go with the others.
        a.runner->StepRange(i, i + 1, a.out, nullptr);
        if (i + 1 < end && a.runner->BeginChain(i + 1, end, a.out, chains[chained])) chainOwner[chained++] = &a;
        else if (i + 1 < end) a.runner->StepRange(i + 1, end, a.out, nullptr);
      }
      if (chained) {
        IndexRunChains(chains.data(), chained, fetch);
        for (size_t c = 0; c < chained; ++c) chainOwner[c]->runner->EndChain(chains[c]);
      }
      fetch.Drain();
    }
    for (size_t c = 0; c < calls; ++c) {
      if (ahead[c].runner) ahead[c].runner->~IndexColumnRunner();
      ahead[c].runner = nullptr;
    }
  }
  --g_columnDepth;
}

// ---- References ----------------------------------------------------------------------------

void CKvIndexExpression::Subscribe(HWND window, uint8_t periodKind, uint32_t periodMultiple) {
  for (size_t i = refs_.size(); i-- > 0;) refs_[i]->Subscribe(window, periodKind, periodMultiple);
  for (const auto &call : calls_)
    for (CKvIndexFunctionParam *a = call->args; a; a = a->next) a->Subscribe(window, periodKind, periodMultiple);
}

bool CKvIndexExpression::ReferencesStock(IndexStockRef stock) const {
  for (const auto &ref : refs_)
    if (ref->stock.index != 0xFFFF && ref->stock.market == stock.market && ref->stock.index == stock.index)
      return true;
  for (const auto &call : calls_)
    for (const CKvIndexFunctionParam *a = call->args; a; a = a->next)
      if (a->ReferencesStock(stock)) return true;
  return false;
}

void CKvIndexRefother::Subscribe(HWND window, uint8_t periodKind, uint32_t periodMultiple) {
  const int32_t oldAgent = agent;
  const HWND oldWindow = notifyWindow;
  agent = -1;
  IIndexMarket *provider = IndexMarket();
  if (code[0]) {
    notifyWindow = window;
    const STKINFO *info = nullptr;
    if (provider) {
      if (market == 255) {
        uint8_t found = 2;
        info = provider->FindStockFromMarket(code, &found);
        if (info) market = found;
      } else {
        info = provider->FindStockInMarket(code, market);
      }
    }
    if (info) {
      const IndexStockFacts facts = provider->Facts(info);
      stock = IndexStockRef{market, facts.kind, facts.index};
      priceDivisor = facts.priceDivisor;
      agent = provider->AcquireDataAgent(stock, periodKind, periodMultiple, window);
      if (agent < 0) agent = -1;
    } else {
      stock = IndexStockRef{};
    }
  }
  // The new subscription is made before the old one goes, so an unchanged
  // one keeps its agent alive.
  if (oldAgent >= 0 && provider) provider->ReleaseDataAgent(oldAgent, oldWindow);
}

double CKvIndexRefother::GetValue(const INDEXCALC *ctx) const {
  IIndexMarket *provider = IndexMarket();
  if (agent < 0 || !field || !provider) return 0.0;
  if (!ctx->bars || ctx->bar >= ctx->barCount) return 0.0;
  const KLINEBAR *bars = nullptr;
  uint32_t count = 0;
  provider->GetSeries(agent, &bars, &count);
  const int32_t found = FindBarAtOrBefore(bars, count, ctx->bars[ctx->bar].time);
  if (found < 0) return 0.0;
  INDEXCALC other;
  other.periodKind = ctx->periodKind;
  other.periodMultiple = ctx->periodMultiple;
  std::memcpy(other.owner, code, sizeof other.owner);
  other.seriesInfo = provider->GetStockInfo(stock);
  other.bars = bars;
  other.barCount = count;
  other.bar = uint32_t(found);
  other.priceDivisor = priceDivisor;
  other.formula = ctx->formula;
  other.serial = NextIndexSerial();
  return field(&other, nullptr);
}
