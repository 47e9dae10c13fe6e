// The small operations of the formula records: construction, clearing,
// copying, parameters, reference lines, statements and the error record.
#include "formula/kvindex.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/emem.h"
#include "formula/builtin.h"
#include "formula/lexer.h"
#include "platform/gdi.h"
#include "platform/winuser.h"

void SetIndexName(char *field, size_t size, const char *text, int length) {
  std::memset(field, 0, size);
  if (!text || length <= 0 || size == 0) return;
  const size_t n = std::min(size - 1, size_t(length));
  std::memcpy(field, text, n);
}

// ---- CKvIndexFunction ---------------------------------------------------------

CKvIndexFunction::~CKvIndexFunction() { Clear(); }

void CKvIndexFunction::Clear() {
  impl = nullptr;
  row = nullptr;
  std::memset(name, 0, sizeof name);
  while (args) {
    CKvIndexFunctionParam *next = args->next;
    delete args;
    args = next;
  }
}

bool CKvIndexFunction::SetName(const char *text, int length) {
  SetIndexName(name, sizeof name, text, length);
  row = FindIndexBuiltin(text, length);
  impl = row ? row->f.impl : nullptr;
  return row != nullptr;
}

void CKvIndexFunction::AddArgument(std::unique_ptr<CKvIndexFunctionParam> argument) {
  CKvIndexFunctionParam **link = &args;
  while (*link) link = &(*link)->next;
  *link = argument.release();
}

uint32_t CKvIndexFunction::ArgumentCount() const {
  uint32_t n = 0;
  for (const CKvIndexFunctionParam *a = args; a; a = a->next) ++n;
  return n;
}

// ---- CKvIndexRefother ----------------------------------------------------------

CKvIndexRefother::~CKvIndexRefother() { Release(); }

void CKvIndexRefother::Release() {
  if (agent >= 0) {
    if (IIndexMarket *market = IndexMarket()) market->ReleaseDataAgent(agent, notifyWindow);
  }
  agent = -1;
}

// ---- CKvIndexVariable -----------------------------------------------------------

CKvIndexVariable::CKvIndexVariable() = default;

CKvIndexVariable::~CKvIndexVariable() { Free(values); }

void CKvIndexVariable::Clear() {
  flags = 0;
  style = kStyleLine;
  color = 0;
  colorSlot = nullptr;
  lineThick = 1;
  std::memset(name, 0, sizeof name);
  expression.reset();
  Free(values);
  values = nullptr;
  capacity = 0;
}

void CKvIndexVariable::SetName(const char *text, int length) { SetIndexName(name, sizeof name, text, length); }

void CKvIndexVariable::SetValue(uint32_t bar, double value) {
  if (style >= kStyleKStick && style <= kStylePointFigure) return;
  if (bar < capacity) static_cast<double *>(values)[bar] = value;
}

COLORREF CKvIndexVariable::Color() const {
  return (flags & kVariableColorSlot) && colorSlot ? *colorSlot : color;
}

uint32_t CKvIndexVariable::RecordSize() const {
  switch (style) {
    case kStyleKStick:
    case kStyleBarStick: return sizeof(KLINEBAR);
    case kStyleTowerStick: return sizeof(IndexTowerRecord);
    case kStylePointFigure: return 16;
    default: return sizeof(double);
  }
}

void CKvIndexVariable::Subscribe(HWND window, uint8_t periodKind, uint32_t periodMultiple) {
  if (expression) expression->Subscribe(window, periodKind, periodMultiple);
}

// ---- CKvIndexDraw ------------------------------------------------------------------

CKvIndexDraw::CKvIndexDraw() = default;

CKvIndexDraw::~CKvIndexDraw() {
  Free(condBits);
  for (double *s : series) Free(s);
  if (picture) DeleteObject(picture);
}

int CKvIndexDraw::SeriesCount(int32_t kind) {
  switch (kind) {
    case kDrawText:
    case kDrawIcon:
    case kDrawBmp:
    case kDrawPartLine:
    case kDrawPolyLine: return 1;
    case kDrawFillRgn: return 2;
    case kDrawNumber: return 3;
    case kDrawStickLine:
    case kDrawKLine:
    case kDrawBarLine:
    case kDrawLine:
    case kDrawSlope: return 4;
    default: return 0;
  }
}

bool CKvIndexDraw::HasCondition(int32_t kind) {
  switch (kind) {
    case kDrawBkBmp:
    case kDrawGbk:
    case kDrawKLine:
    case kDrawBarLine: return false;
    default: return kind >= kDrawText && kind <= kDrawVertLine;
  }
}

uint32_t CKvIndexDraw::IconNumber() const {
  uint32_t n;
  std::memcpy(&n, text, sizeof n);
  return n;
}

void CKvIndexDraw::SetIconNumber(uint32_t number) { std::memcpy(text, &number, sizeof number); }

void CKvIndexDraw::SubscribeReferences(HWND window, uint8_t periodKind, uint32_t periodMultiple) {
  for (auto &arg : args)
    if (arg) arg->Subscribe(window, periodKind, periodMultiple);
}

bool CKvIndexDraw::ReferencesStock(IndexStockRef stock) const {
  for (const auto &arg : args)
    if (arg && arg->ReferencesStock(stock)) return true;
  return false;
}

// ---- CKvIndex ------------------------------------------------------------------------

CKvIndex::CKvIndex() {
  std::memset(name, 0, sizeof name);
  std::memset(password, 0, sizeof password);
  std::memset(description, 0, sizeof description);
  std::memset(params, 0, sizeof params);
  std::memset(refLines, 0, sizeof refLines);
  std::memset(errorText, 0, sizeof errorText);
}

CKvIndex::~CKvIndex() {
  // The chain behind is deleted one by one rather than by recursion, so a
  // long chain cannot exhaust the stack.
  while (CKvIndex *behind = next) {
    next = behind->next;
    behind->next = nullptr;
    delete behind;
  }
  Clear();
  Free(formulaText);
  Free(usageNotes);
}

void CKvIndex::Clear() {
  std::memset(name, 0, sizeof name);
  std::memset(password, 0, sizeof password);
  std::memset(description, 0, sizeof description);
  if (formulaText) formulaText[0] = 0;
  if (usageNotes) usageNotes[0] = 0;
  flags = 0;
  paramCount = 0;
  refLineCount = 0;
  currentVariable = nullptr;
  variables.clear();
  draws.clear();
  seriesInfo = nullptr;
  calcCount = 0;
  selected = 0;
  legendRect = RECT{};
}

bool CKvIndex::EnsureTextBuffer(char *&buffer, size_t length) {
  if (length >= size_t(INT32_MAX)) return false;
  const size_t wanted = std::max<size_t>(length + 1, 4096);
  if (buffer && size_t(MSize(buffer)) >= wanted) return true;
  Free(buffer);
  buffer = static_cast<char *>(Malloc(int32_t(wanted)));
  return buffer != nullptr;
}

void CKvIndex::Assign(const CKvIndex &source) {
  if (&source == this) return;
  Clear();
  SetError("", 0, 0);
  std::memcpy(name, source.name, sizeof name);
  std::memcpy(password, source.password, sizeof password);
  std::memcpy(description, source.description, sizeof description);
  flags = source.flags;
  std::memcpy(params, source.params, sizeof params);
  paramCount = std::min<uint32_t>(source.paramCount, 16);
  if (source.usageNotes && source.usageNotes[0]) SetUsageNotes(source.usageNotes);
  if (source.formulaText && source.formulaText[0]) {
    const size_t length = std::strlen(source.formulaText);
    if (EnsureTextBuffer(formulaText, length)) std::memcpy(formulaText, source.formulaText, length + 1);
  }
}

bool CKvIndex::AssignAndCompile(const CKvIndex &source) {
  if (&source == this) return Compile(formulaText, true);
  Clear();
  SetError("", 0, 0);
  std::memcpy(name, source.name, sizeof name);
  std::memcpy(password, source.password, sizeof password);
  std::memcpy(description, source.description, sizeof description);
  flags = source.flags;
  std::memcpy(params, source.params, sizeof params);
  paramCount = std::min<uint32_t>(source.paramCount, 16);
  if (source.usageNotes && source.usageNotes[0]) SetUsageNotes(source.usageNotes);
  if (source.formulaText && source.formulaText[0]) return Compile(source.formulaText, true);
  return true;
}

void CKvIndex::SetUsageNotes(const char *text) {
  if (!text || !text[0]) return;
  const size_t length = std::strlen(text);
  if (!EnsureTextBuffer(usageNotes, length)) return;
  std::memcpy(usageNotes, text, length + 1);
}

void CKvIndex::SetUsageNotesFromWindow(HWND window) {
  int length = GetWindowTextLengthA(window);
  if (length <= 0) return;
  std::string text(size_t(length) + 1, '\0');
  length = GetWindowTextA(window, text.data(), length + 1);
  if (length <= 0) return;
  text.resize(size_t(length));
  SetUsageNotes(text.c_str());
}

void CKvIndex::SetError(const char *message, int32_t position, uint32_t length) {
  std::memset(errorText, 0, sizeof errorText);
  if (message) {
    const size_t n = std::min(std::strlen(message), sizeof errorText - 1);
    std::memcpy(errorText, message, n);
  }
  errorPos = position;
  errorLen = length;
}

void CKvIndex::GetError(char *text, int32_t *position, uint32_t *length) const {
  if (text) std::memcpy(text, errorText, sizeof errorText);
  if (position) *position = errorPos;
  if (length) *length = errorLen;
}

bool CKvIndex::AddParam(const CKvIndexParam &param) {
  if (paramCount >= 16) return false;
  if (FindParam(param.name, int(strnlen(param.name, sizeof param.name))) >= 0) return false;
  params[paramCount] = param;
  params[paramCount].name[sizeof param.name - 1] = 0;
  ++paramCount;
  return true;
}

CKvIndexParam *CKvIndex::GetParam(uint32_t i) { return i < paramCount ? &params[i] : nullptr; }

void CKvIndex::SetParam(uint32_t i, const CKvIndexParam &param) {
  if (i < paramCount) params[i] = param;
}

int32_t CKvIndex::FindParam(const char *name) const {
  return name ? FindParam(name, int(std::strlen(name))) : -1;
}

int32_t CKvIndex::FindParam(const char *text, int length) const {
  if (!text || length <= 0 || length > 31) return -1;
  for (uint32_t i = 0; i < paramCount && i < 16; ++i)
    if (indexlex::SameName(text, length, params[i].name)) return int32_t(i);
  return -1;
}

bool CKvIndex::AddRefLine(double value, int32_t decimals) {
  for (uint32_t i = 0; i < refLineCount; ++i)
    if (refLines[i].value == value) return true;
  if (refLineCount >= 16) return false;
  refLines[refLineCount].decimals = decimals;
  refLines[refLineCount].value = value;
  ++refLineCount;
  return true;
}

const CKvIndexRefLine *CKvIndex::GetRefLine(uint32_t i) const {
  return i < refLineCount ? &refLines[i] : nullptr;
}

int32_t CKvIndex::FindVariable(const char *name) const {
  return name ? FindVariable(name, int(std::strlen(name))) : -1;
}

int32_t CKvIndex::FindVariable(const char *text, int length) const {
  if (!text || length <= 0 || length > 15) return -1;
  for (size_t i = 0; i < variables.size(); ++i)
    if (indexlex::SameName(text, length, variables[i]->name)) return int32_t(i);
  return -1;
}

void CKvIndex::AppendVariable(std::unique_ptr<CKvIndexVariable> variable) {
  variables.push_back(std::move(variable));
}

void CKvIndex::AppendDraw(std::unique_ptr<CKvIndexDraw> draw) { draws.push_back(std::move(draw)); }

bool CKvIndex::ReferencesStock(IndexStockRef stock, bool followChain) const {
  for (const CKvIndex *f = this; f; f = followChain ? f->next : nullptr) {
    for (const auto &v : f->variables)
      if (v->expression && v->expression->ReferencesStock(stock)) return true;
    for (const auto &d : f->draws)
      if (d->ReferencesStock(stock)) return true;
  }
  return false;
}
