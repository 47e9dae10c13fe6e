// The state records of the built-ins: three fixed-size block pools and one
// list of records per stateful built-in, with the rules every stateful call
// follows (a new pass releases what the last one left; a call site keeps its
// record only while it is called at consecutive bars; nothing is kept past
// the last bar of the range).
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/ebufferpool.h"
#include "formula/builtin.h"
#include "platform/msgbox.h"

namespace builtin {

namespace {

constexpr int32_t kWindowBlock = kWindowStateBytes;
constexpr int32_t kLongWindowBlock = kLongWindowStateBytes;
constexpr int32_t kSmallBlock = kSmallStateBytes;

EBufferPool *g_pools[3] = {};
BuiltinStateList g_lists[kStateListCount];
bool g_listsReady = false;

void FreeHeapArray(BuiltinState *record);

void PrepareLists() {
  if (g_listsReady) return;
  auto set = [](StateListId id, BuiltinPool pool, void (*dispose)(BuiltinState *) = nullptr) {
    g_lists[id].pool = pool;
    g_lists[id].dispose = dispose;
  };
  for (StateListId id : {kListMa, kListSum, kListCount, kListHhv, kListLlv, kListWma, kListCross,
                         kListLongCross})
    set(id, BuiltinPool::Window);
  for (StateListId id : {kListAveDev, kListDevSq, kListVar, kListVarP})
    set(id, BuiltinPool::LongWindow);
  for (StateListId id : {kListValueWhen, kListBarsLast, kListBarsSince, kListSma, kListDma,
                         kListEma, kListSar, kListSarKivo})
    set(id, BuiltinPool::Small);
  for (StateListId id : {kListBackSet, kListFilter, kListZig})
    set(id, BuiltinPool::Small, FreeHeapArray);
  g_listsReady = true;
}

EBufferPool *Pool(BuiltinPool pool) {
  IndexBuiltinStartup();
  return g_pools[int(pool)];
}

void FreeHeapArray(BuiltinState *record) {
  auto *r = static_cast<HeapArrayState *>(record);
  Free(r->array);
  r->array = nullptr;
}

void ReleaseAllValues(BuiltinStateList &list) {
  ArgumentValues *v = list.values;
  list.values = nullptr;
  while (v) {
    ArgumentValues *next = v->next;
    delete v;
    v = next;
  }
}

void ReleaseAll(BuiltinStateList &list) {
  ReleaseAllValues(list);
  BuiltinState *r = list.head;
  list.head = nullptr;
  while (r) {
    BuiltinState *next = r->next;
    if (list.dispose) list.dispose(r);
    FreeStateBlock(list, r);
    r = next;
  }
}

}  // namespace

int32_t PoolBlockSize(BuiltinPool pool) {
  switch (pool) {
    case BuiltinPool::Window: return kWindowBlock;
    case BuiltinPool::LongWindow: return kLongWindowBlock;
    default: return kSmallBlock;
  }
}

BuiltinStateList &StateList(StateListId id) {
  PrepareLists();
  return g_lists[id];
}

void BeginCall(BuiltinStateList &list, uint32_t serial) {
  if ((list.head && list.head->serial != serial) || (list.values && list.values->serial != serial))
    ReleaseAll(list);
}

void ReleaseValues(BuiltinStateList &list, const CKvIndexExpression *argument) {
  if (!argument) return;
  for (ArgumentValues **link = &list.values; *link; link = &(*link)->next) {
    if ((*link)->argument == argument) {
      ArgumentValues *v = *link;
      *link = v->next;
      delete v;
      return;
    }
  }
}

bool ArgReader::ShareValues(BuiltinStateList &list, const INDEXCALC *ctx) {
  values_ = nullptr;
  if (!expr_ || expr_->IsPure() || ctx->barCount == 0) return false;
  const bool finalOnly = expr_->ReadsOwnStatement();
  if (finalOnly && (ctx->finalBefore == 0 || expr_->CallsFullRecalcBuiltin())) return false;
  for (ArgumentValues *v = list.values; v; v = v->next) {
    if (v->argument != expr_) continue;
    if (v->serial == ctx->serial && v->bars == ctx->bars && v->barCount == ctx->barCount) {
      values_ = v;
      return true;
    }
    ReleaseValues(list, expr_);  // made for other bars
    break;
  }
  auto *v = new (std::nothrow) ArgumentValues{expr_, ctx->serial, ctx->bars, ctx->barCount, nullptr, nullptr, nullptr};
  if (!v) return false;
  v->finalOnly = finalOnly;
  v->values.reset(new (std::nothrow) double[ctx->barCount]);
  v->known.reset(new (std::nothrow) uint8_t[ctx->barCount]());
  if (!v->values || !v->known) {
    // Without the memory the argument is evaluated wherever it is read.
    delete v;
    return false;
  }
  v->next = list.values;
  list.values = v;
  values_ = v;
  return true;
}

double ArgReader::Kept(const INDEXCALC *ctx, uint32_t bar) const {
  ArgumentValues &v = *values_;
  if (bar >= v.barCount || (v.finalOnly && bar >= ctx->finalBefore)) return EvalAt(expr_, ctx, bar);
  if (!v.known[bar]) {
    v.values[bar] = EvalAt(expr_, ctx, bar);
    v.known[bar] = 1;
  }
  return v.values[bar];
}

BuiltinState *FindState(BuiltinStateList &list, const void *site) {
  for (BuiltinState *r = list.head; r; r = r->next)
    if (r->callSite == site) return r;
  return nullptr;
}

void ReleaseState(BuiltinStateList &list, BuiltinState *record) {
  for (BuiltinState **link = &list.head; *link; link = &(*link)->next) {
    if (*link == record) {
      *link = record->next;
      break;
    }
  }
  if (list.dispose) list.dispose(record);
  FreeStateBlock(list, record);
}

void *AllocState(BuiltinStateList &list) {
  EBufferPool *pool = Pool(list.pool);
  return pool ? pool->Alloc() : nullptr;
}

void FreeStateBlock(BuiltinStateList &list, void *block) {
  if (EBufferPool *pool = g_pools[int(list.pool)]) pool->Free(block);
}

void KeepState(BuiltinStateList &list, BuiltinState *record, uint32_t serial, const void *site,
               uint32_t bar) {
  record->serial = serial;
  record->callSite = site;
  record->lastBar = bar;
  record->next = nullptr;
  BuiltinState **link = &list.head;
  while (*link) link = &(*link)->next;
  *link = record;
}

void ReportOutOfMemory() {
  MessageBoxA(nullptr, "内存不足，无法计算指标。  ", "错误", MB_ICONWARNING | MB_TOPMOST);
}

int CountArguments(const CKvIndexFunctionParam *args) {
  int n = 0;
  for (; args; args = args->next) ++n;
  return n;
}

bool ArgumentsPure(const CKvIndexFunctionParam *args) {
  for (; args; args = args->next)
    if (!args->IsPure()) return false;
  return true;
}

namespace {

// Columns of one value each, for the calls that read a constant argument,
// so that a call set up block after block does not fill its column again
// every time. A column keeps its value while that value is asked for; it
// takes another only in a later outermost evaluation than the last one that
// asked for it, when nothing reads it any more.
struct StateUniformColumn {
  bool filled = false;
  uint64_t bits = 0;
  uint64_t epoch = 0;
  double values[kIndexColumnBlock];
};
thread_local StateUniformColumn g_stateUniformColumns[8];

const double *StateUniformColumnOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const uint64_t epoch = IndexColumnEpoch();
  StateUniformColumn *spare = nullptr;
  for (StateUniformColumn &c : g_stateUniformColumns) {
    if (c.filled && c.bits == bits) {
      c.epoch = epoch;
      return c.values;
    }
    if (!spare && (!c.filled || c.epoch != epoch)) spare = &c;
  }
  if (!spare) return nullptr;
  std::fill(spare->values, spare->values + kIndexColumnBlock, value);
  spare->filled = true;
  spare->bits = bits;
  spare->epoch = epoch;
  return spare->values;
}

}  // namespace

void ArgumentColumns(const INDEXCALC *ctx, const CKvIndexFunctionParam *args, uint32_t from,
                     uint32_t count, double *columns, ArgReader *readers, int argCount) {
  for (int k = 0; k < argCount && args; ++k, args = args->next) {
    if (const double *stored = IndexStoredColumn(*args, ctx, from, count)) {
      readers[k].SetColumn(stored, from, count);
      continue;
    }
    double *column = columns + size_t(k) * count;
    double value;
    if (count <= kIndexColumnBlock && IndexConstantColumnValue(*args, ctx, &value)) {
      const double *shared = StateUniformColumnOf(value);
      if (!shared) {
        std::fill(column, column + count, value);
        shared = column;
      }
      readers[k].SetColumn(shared, from, count, true);
      continue;
    }
    args->EvaluateRange(ctx, from, count, column, nullptr);
    readers[k].SetColumn(column, from, count);
  }
}

void RunColumn(IndexRunnerMaker make, const INDEXCALC *ctx, const CKvIndexFunctionParam *args,
               uint32_t from, uint32_t count, double *out, const uint8_t *mask, IndexFunctionImpl impl) {
  alignas(16) unsigned char place[kIndexRunnerBytes];
  if (IndexColumnRunner *runner = make(place, ctx, args, from, count)) {
    runner->StepRange(0, count, out, mask);
    runner->~IndexColumnRunner();
    return;
  }
  INDEXCALC at = *ctx;
  for (uint32_t i = 0; i < count; ++i) {
    if (mask && !mask[i]) continue;
    at.bar = from + i;
    out[i] = impl(&at, args);
  }
}

}  // namespace builtin

void IndexBuiltinStartup() {
  using namespace builtin;
  if (g_pools[0]) return;
  g_pools[int(BuiltinPool::Window)] = new EBufferPool(kWindowBlock, 32, 1, false);
  g_pools[int(BuiltinPool::LongWindow)] = new EBufferPool(kLongWindowBlock, 2, 1, false);
  g_pools[int(BuiltinPool::Small)] = new EBufferPool(kSmallBlock, 128, 1, false);
}

void IndexBuiltinShutdown() {
  using namespace builtin;
  if (!g_pools[0]) return;
  // The records still listed go back with their heap arrays, so that nothing
  // they hold outlives the pools.
  PrepareLists();
  for (BuiltinStateList &list : g_lists) ReleaseAll(list);
  for (int i = 2; i >= 0; --i) {
    delete g_pools[i];
    g_pools[i] = nullptr;
  }
}
