// Calculating a formula over a bar series: the per-bar storage of statements
// and drawing statements, the statement passes (with the tower rule), the
// drawing statements' passes and the indicator line colours.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/emem.h"
#include "formula/builtin.h"
#include "formula/kvindex.h"
#include "platform/msgbox.h"

namespace {

constexpr uint32_t kStorageStep = 2048;  // storage grows in whole blocks of this many bars

uint32_t RoundedCapacity(uint32_t bars) {
  return uint32_t((uint64_t(bars) + kStorageStep - 1) / kStorageStep * kStorageStep);
}

// A zero-filled block of count records of size bytes, or null.
void *AllocateRecords(uint64_t count, uint64_t size) {
  const uint64_t bytes = count * size;
  if (bytes > uint64_t(INT32_MAX)) return nullptr;
  return Malloc(int32_t(bytes));
}

// Makes a statement's storage hold barCount records; a block that is too
// small is replaced, carrying the records before `keep` over.
bool EnsureStorage(CKvIndexVariable &v, uint32_t barCount, uint32_t keep) {
  if (barCount == 0 || v.capacity >= barCount) return true;
  const uint32_t capacity = RoundedCapacity(barCount);
  const uint32_t size = v.RecordSize();
  void *block = AllocateRecords(capacity, size);
  if (!block) return false;
  if (v.values && keep) std::memcpy(block, v.values, size_t(std::min(keep, v.capacity)) * size);
  Free(v.values);
  v.values = block;
  v.capacity = capacity;
  return true;
}

void ClearBits(uint8_t *bits, uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; ++i) bits[i >> 3] &= uint8_t(~(1u << (i & 7)));
}

// Makes a drawing statement's condition bits and series hold barCount bars
// and clears the range about to be calculated (from `restart` on).
bool EnsureDrawStorage(CKvIndexDraw &d, uint32_t barCount, uint32_t restart, bool incremental) {
  if (d.kind == kDrawBkBmp || d.kind == kDrawGbk) return true;
  const bool hasBits = CKvIndexDraw::HasCondition(d.kind);
  const int seriesCount = CKvIndexDraw::SeriesCount(d.kind);
  if (barCount > d.capacity) {
    const uint32_t capacity = RoundedCapacity(barCount);
    uint8_t *bits = nullptr;
    double *series[4] = {};
    bool ok = true;
    if (hasBits) ok = (bits = static_cast<uint8_t *>(AllocateRecords(capacity / 8, 1))) != nullptr;
    for (int k = 0; ok && k < seriesCount; ++k)
      ok = (series[k] = static_cast<double *>(AllocateRecords(capacity, sizeof(double)))) != nullptr;
    if (!ok) {
      Free(bits);
      for (double *s : series) Free(s);
      return false;
    }
    if (incremental && d.capacity) {
      if (hasBits && d.condBits) std::memcpy(bits, d.condBits, d.capacity / 8);
      for (int k = 0; k < seriesCount; ++k)
        if (d.series[k]) std::memcpy(series[k], d.series[k], size_t(d.capacity) * sizeof(double));
    }
    Free(d.condBits);
    d.condBits = bits;
    for (int k = 0; k < 4; ++k) {
      Free(d.series[k]);
      d.series[k] = series[k];
    }
    d.capacity = capacity;
  }
  const uint32_t from = incremental ? restart : 0;
  if (from < barCount) {
    if (d.condBits) ClearBits(d.condBits, from, barCount);
    for (int k = 0; k < seriesCount; ++k)
      if (d.series[k]) std::fill(d.series[k] + from, d.series[k] + barCount, 0.0);
  }
  return true;
}

// The tower line: a rising part p1-p2 and a falling part p3-p4 per bar,
// derived from the raw closes (and the first bar's open).
void TowerStep(IndexTowerRecord &r, const IndexTowerRecord &q, uint32_t c) {
  auto rise = [&r, &q, c]() {
    r.state = 1;
    r.p1 = c;
    r.p2 = q.p1;
  };
  auto flat = [&r, &q, c]() {
    r.state = 2;
    r.p1 = q.p1;
    r.p2 = c;
  };
  auto breakDown = [&r, &q, c]() {
    r.state = 3;
    r.p1 = q.p1;
    r.p2 = q.p2;
    r.p3 = c;
    r.p4 = q.p2;
  };
  auto fall = [&r, &q, c]() {
    r.state = 4;
    r.p3 = c;
    r.p4 = q.p3;
  };
  auto hold = [&r, &q, c]() {
    r.state = 5;
    r.p3 = q.p3;
    r.p4 = c;
  };
  auto breakUp = [&r, &q, c]() {
    r.state = 6;
    r.p1 = c;
    r.p2 = q.p4;
    r.p3 = q.p4;
    r.p4 = q.p3;
  };
  switch (q.state) {
    case 3:
      if (q.p2 < c) breakUp();
      else if (c < q.p3) fall();
      else hold();
      break;
    case 4:
      if (c < q.p3) fall();
      else if (q.p4 < c) breakUp();
      else hold();
      break;
    case 5:
      if (q.p4 < c) breakUp();
      else if (c < q.p3) fall();
      else hold();
      break;
    case 6:
      if (c < q.p2) breakDown();
      else if (q.p1 < c) rise();
      else flat();
      break;
    default:  // 0, 1, 2
      if (q.p1 < c) rise();
      else if (c < q.p2) breakDown();
      else flat();
      break;
  }
}

void TowerRun(IndexTowerRecord *records, const KLINEBAR *bars, uint32_t a, uint32_t n) {
  // A restart goes back at most 32 bars and puts their records back after.
  const uint32_t w = std::min<uint32_t>(a, 32);
  const uint32_t s = a - w;
  std::vector<IndexTowerRecord> saved(records + s, records + a);
  IndexTowerRecord &first = records[s];
  const uint32_t c = bars[s].close, o = bars[s].open;
  if (o < c) {
    first.state = 1;
    first.p1 = c;
    first.p2 = o;
  } else if (c < o) {
    first.state = 4;
    first.p3 = c;
    first.p4 = o;
  } else {
    first.state = 0;
    first.p1 = first.p3 = c;
    first.p2 = first.p4 = o;
  }
  for (uint32_t i = s + 1; i < a + n; ++i) TowerStep(records[i], records[i - 1], bars[i].close);
  std::copy(saved.begin(), saved.end(), records + s);
}

// Adds the statements an expression reads (through call arguments too) to
// reads; false when it reads its own or a later one.
bool ReadsEarlierStatements(const CKvIndexExpression &e, int32_t self, std::vector<int32_t> &reads) {
  const INDEXTOKEN *tokens = e.Tokens();
  for (uint32_t i = 0; i < e.TokenCount(); ++i) {
    if (tokens[i].kind != kOperandVariable) continue;
    if (tokens[i].index < 0 || tokens[i].index >= self) return false;
    reads.push_back(tokens[i].index);
  }
  for (uint32_t c = 0; c < e.CallCount(); ++c)
    for (const CKvIndexFunctionParam *a = e.GetCall(c)->args; a; a = a->next)
      if (!ReadsEarlierStatements(*a, self, reads)) return false;
  return true;
}

// A statement that can be evaluated side by side with the ones before it:
// a line of values evaluated a column at a time, reading only statements
// before it and nothing that looks at the whole series.
bool SideBySideStatement(const CKvIndexVariable &v, int32_t self, std::vector<int32_t> &reads) {
  switch (v.style) {
    case kStyleKStick:
    case kStyleBarStick:
    case kStyleTowerStick:
    case kStylePointFigure: return false;
    default: break;
  }
  return v.expression && v.values && v.RecordSize() == sizeof(double) &&
         IndexExpressionSideBySide(*v.expression) && ReadsEarlierStatements(*v.expression, self, reads);
}

}  // namespace

INDEXCALC MakeIndexContext(CKvIndex *formula, const char *owner, uint8_t periodKind,
                           uint32_t periodMultiple, const STKINFO *seriesInfo, const KLINEBAR *bars,
                           uint32_t barCount, uint32_t priceDivisor) {
  INDEXCALC ctx;
  ctx.periodKind = periodKind;
  ctx.periodMultiple = periodMultiple;
  if (owner) std::memcpy(ctx.owner, owner, strnlen(owner, sizeof ctx.owner));
  ctx.seriesInfo = seriesInfo;
  ctx.bars = bars;
  ctx.barCount = barCount;
  ctx.priceDivisor = priceDivisor;
  ctx.formula = formula;
  ctx.serial = NextIndexSerial();
  return ctx;
}

// ---- Statements ------------------------------------------------------------------------------

void CKvIndexVariable::Calculate(CKvIndex *formula, const char *owner, uint8_t periodKind,
                                 uint32_t periodMultiple, const STKINFO *seriesInfo, const KLINEBAR *bars,
                                 uint32_t first, uint32_t count, uint32_t priceDivisor) {
  if (count == 0 || !values || first + count > capacity || !bars) return;
  switch (style) {
    case kStyleKStick:
    case kStyleBarStick:
      std::memcpy(static_cast<KLINEBAR *>(values) + first, bars + first, size_t(count) * sizeof(KLINEBAR));
      return;
    case kStyleTowerStick:
      TowerRun(static_cast<IndexTowerRecord *>(values), bars, first, count);
      return;
    case kStylePointFigure: return;
    default: break;
  }
  double *out = static_cast<double *>(values) + first;
  if (!expression) {
    std::fill(out, out + count, 0.0);
    return;
  }
  INDEXCALC ctx = MakeIndexContext(formula, owner, periodKind, periodMultiple, seriesInfo, bars, first + count,
                                   priceDivisor);
  ctx.statementPass = true;
  expression->EvaluateRange(&ctx, first, count, out);
}

// ---- Drawing statements ------------------------------------------------------------------------

void CKvIndexDraw::Calculate(CKvIndex *formula, const char *owner, uint8_t periodKind,
                             uint32_t periodMultiple, const STKINFO *seriesInfo, const KLINEBAR *bars,
                             uint32_t start, uint32_t count, uint32_t priceDivisor) {
  if (count == 0 || kind == kDrawBkBmp || kind == kDrawGbk || start + count > capacity) return;
  const uint32_t end = start + count;
  // One pass: a context with a serial of its own; out[i] belongs to bar start + i.
  auto pass = [&](const std::unique_ptr<CKvIndexExpression> &e, double *out, const uint8_t *mask) {
    const INDEXCALC ctx =
        MakeIndexContext(formula, owner, periodKind, periodMultiple, seriesInfo, bars, end, priceDivisor);
    if (e) {
      e->EvaluateRange(&ctx, start, count, out, mask);
    } else {
      for (uint32_t i = 0; i < count; ++i)
        if (!mask || mask[i]) out[i] = 0.0;
    }
  };

  if (kind == kDrawLine) {
    if (!condBits || !series[0] || !series[2] || !series[3]) return;
    INDEXCALC c[5];
    for (auto &ctx : c)
      ctx = MakeIndexContext(formula, owner, periodKind, periodMultiple, seriesInfo, bars, end, priceDivisor);
    auto eval = [&](int k, uint32_t bar) {
      c[k].bar = bar;
      return args[k] ? args[k]->Evaluate(&c[k]) : 0.0;
    };
    // The bits only get set here: the range was cleared before. A start found
    // at a bar is closed at a later bar, never the same one.
    bool pending = false;
    for (uint32_t b = start; b < end; ++b) {
      if (!pending) {
        if (eval(0, b) != 0) {
          condBits[b >> 3] |= uint8_t(1u << (b & 7));
          series[0][b] = eval(1, b);
          pending = true;
        }
      } else if (eval(2, b) != 0) {
        condBits[b >> 3] |= uint8_t(1u << (b & 7));
        series[2][b] = eval(3, b);
        series[3][b] = eval(4, b);
        pending = false;
      }
    }
    return;
  }

  std::vector<uint8_t> mask;
  if (HasCondition(kind)) {
    if (!condBits) return;
    std::vector<double> condition(count);
    pass(args[0], condition.data(), nullptr);
    mask.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t b = start + i;
      mask[i] = condition[i] != 0;
      if (mask[i]) condBits[b >> 3] |= uint8_t(1u << (b & 7));
      else condBits[b >> 3] &= uint8_t(~(1u << (b & 7)));
    }
  }
  // (target series, argument slot, only where the condition holds)
  struct ValuePass {
    int series;
    int arg;
    bool whereSet;
  };
  std::vector<ValuePass> passes;
  switch (kind) {
    case kDrawText:
    case kDrawIcon:
    case kDrawBmp:
    case kDrawPolyLine:
      if (!series[0]) return;
      passes = {{0, 1, true}};
      break;
    case kDrawNumber: passes = {{0, 1, true}, {1, 2, true}, {2, 3, true}}; break;
    case kDrawFillRgn: passes = {{0, 1, false}, {1, 2, false}}; break;
    case kDrawStickLine:
    case kDrawSlope: passes = {{0, 1, true}, {1, 2, true}, {2, 3, true}, {3, 4, true}}; break;
    case kDrawPartLine: passes = {{0, 1, false}}; break;
    case kDrawKLine:
    case kDrawBarLine: passes = {{0, 1, false}, {1, 2, false}, {2, 3, false}, {3, 4, false}}; break;
    default: break;
  }
  for (const ValuePass &p : passes) {
    if (!series[p.series]) continue;
    pass(args[p.arg], series[p.series] + start, p.whereSet ? mask.data() : nullptr);
  }
}

// ---- The formula ----------------------------------------------------------------------------------

bool CKvIndex::CalculateOne(HWND notifyWindow, const char *owner, uint8_t periodKind,
                            uint32_t periodMultiple, const STKINFO *info, const KLINEBAR *bars,
                            uint32_t barCount, bool incremental) {
  // A formula that only a full calculation may update waits for one.
  if (incremental && (flags & kIndexFullRecalcOnly)) return true;
  if (!bars) barCount = 0;
  if (!incremental) {
    for (auto &v : variables) v->Subscribe(notifyWindow, periodKind, periodMultiple);
    for (auto &d : draws) d->SubscribeReferences(notifyWindow, periodKind, periodMultiple);
  }
  seriesInfo = info;
  uint32_t restart = incremental && calcCount > 2 ? calcCount - 2 : 0;
  // A series that became shorter restarts where it now ends.
  restart = std::min(restart, barCount);
  calcCount = 0;
  if (!info) return false;

  bool ok = true;
  for (auto &v : variables) ok = ok && EnsureStorage(*v, barCount, incremental ? restart : 0);
  for (auto &d : draws) ok = ok && EnsureDrawStorage(*d, barCount, restart, incremental);
  if (!ok) {
    MessageBoxA(nullptr, "内存不足，无法计算指标。  ", "错误", MB_ICONERROR);
    return false;
  }

  calcCount = barCount;
  const uint32_t divisor = IndexStockFactsOf(info).priceDivisor;
  const uint32_t count = barCount - restart;
  auto alone = [&](CKvIndexVariable &v) {
    currentVariable = &v;
    v.Calculate(this, owner, periodKind, periodMultiple, info, bars, restart, count, divisor);
    currentVariable = nullptr;
  };
  // Runs of statements go side by side; the others one at a time in between.
  std::vector<IndexStatementJob> run;
  std::vector<int32_t> inRun(variables.size(), -1);  // a statement's place in the run
  auto finishRun = [&]() {
    if (run.size() == 1) alone(*run[0].variable);
    else if (run.size() > 1) EvaluateStatementsSideBySide(this, run.data(), run.size(), restart, count);
    std::fill(inRun.begin(), inRun.end(), -1);
    run.clear();
  };
  std::vector<int32_t> reads;
  for (size_t k = 0; k < variables.size(); ++k) {
    CKvIndexVariable &v = *variables[k];
    reads.clear();
    if (!IndexStatementsSideBySide() || count == 0 || !SideBySideStatement(v, int32_t(k), reads)) {
      finishRun();
      alone(v);
      continue;
    }
    IndexStatementJob job;
    job.variable = &v;
    for (const int32_t r : reads)
      if (inRun[size_t(r)] >= 0) job.lag = std::max(job.lag, run[size_t(inRun[size_t(r)])].lag + 1);
    job.ctx = MakeIndexContext(this, owner, periodKind, periodMultiple, info, bars, barCount, divisor);
    job.ctx.statementPass = true;
    if (!run.empty()) job.ctx.serial = run[0].ctx.serial;
    inRun[k] = int32_t(run.size());
    run.push_back(job);
  }
  finishRun();
  for (auto &d : draws) d->Calculate(this, owner, periodKind, periodMultiple, info, bars, restart, count, divisor);
  return true;
}

void CKvIndex::Calculate(HWND notifyWindow, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                         const STKINFO *info, const KLINEBAR *bars, uint32_t barCount, bool withChain,
                         bool incremental) {
  for (CKvIndex *f = this; f; f = withChain ? f->next : nullptr)
    if (!f->CalculateOne(notifyWindow, owner, periodKind, periodMultiple, info, bars, barCount, incremental))
      return;
}

int CKvIndex::AssignChainLineColours(int slot) {
  for (CKvIndex *f = this; f; f = f->next) slot = f->AssignLineColours(slot);
  return slot;
}

int CKvIndex::AssignLineColours(int slot) {
  const COLORREF *table = IndexColorTable();
  for (const auto &v : variables) {
    if (!(v->flags & kVariableOutput) || (v->flags & kVariableHasColor)) continue;
    switch (v->style) {
      case kStyleLine:
      case kStyleCircleDot:
      case kStyleStick:
      case kStylePointDot:
      case kStyleCrossDot:
      case kStyleInternal: break;
      default: continue;
    }
    if (slot < 0 || slot >= kIndexColorSlots) slot = 3;
    v->color = table[slot];
    if (++slot > 10) slot = 3;
  }
  return slot;
}
