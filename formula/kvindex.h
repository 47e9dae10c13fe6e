// Indicator formulas: one CKvIndex holds a formula's identity, parameters,
// reference lines and text and, once compiled, its statements (output lines
// and hidden intermediates) and drawing statements. Every statement holds a
// compiled expression in reverse Polish order together with the built-in call
// nodes and the cross-instrument references its tokens name.
//
// Compiling is in compiler.cpp, evaluating expressions in evaluate.cpp,
// calculating a formula over bars in calculate.cpp, the built-in functions in
// the builtin_*.cpp files around the table in builtin_table.cpp.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "formula/indexmarket.h"
#include "formula/indexpaint.h"
#include "market/records.h"
#include "platform/windef.h"

class CKvIndex;
class CKvIndexExpression;
class CKvIndexFunction;
class CKvIndexRefother;
struct CKvIndexFunctionParam;
struct IndexBuiltinRow;

// Flag bits shared by formulas, statements and drawing statements.
constexpr uint32_t kIndexFullRecalcOnly = 0x400;  // only a full calculation updates it

// CKvIndex::flags.
constexpr uint32_t kIndexKindMask = 3;  // 0 sub-chart, 1 overlay on the main chart, 2 main chart
constexpr uint32_t kIndexHasPassword = 4;
constexpr uint32_t kIndexSystem = 8;
constexpr uint32_t kIndexOwnRange = 0x10;

// CKvIndexVariable::flags.
constexpr uint32_t kVariableOutput = 1;     // shown and painted (NAME: or unnamed)
constexpr uint32_t kVariableHasColor = 2;   // a COLOR option was given
constexpr uint32_t kVariableColorSlot = 4;  // the colour is a slot of the display table

enum IndexOperandKind : uint8_t {
  kOperandOperator = 0,
  kOperandConstant = 1,
  kOperandParam = 2,
  kOperandCall = 3,
  kOperandVariable = 4,  // index -1: the statement being calculated
  kOperandReference = 5,
  kOperandText = 6,      // quoted text; evaluates as 0
};

enum IndexOperator : uint8_t {
  kOpOpen = 0,  // an open parenthesis on the compiler's stack; never in a program
  kOpMul = 4,
  kOpDiv = 5,
  kOpAdd = 6,
  kOpSub = 7,
  kOpLess = 8,
  kOpGreater = 9,
  kOpLessEqual = 10,
  kOpGreaterEqual = 11,
  kOpEqual = 12,
  kOpNotEqual = 13,
  kOpAnd = 14,
  kOpOr = 15,
};

enum IndexLineStyle : uint8_t {
  kStyleLine = 0,
  kStyleColorStick = 1,
  kStyleVolStick = 2,
  kStyleCircleDot = 3,
  kStyleKStick = 4,       // the bars themselves; the expression is not evaluated
  kStyleBarStick = 5,     // likewise
  kStyleTowerStick = 6,   // tower records derived from the bars
  kStylePointFigure = 7,  // nothing is calculated
  kStyleStick = 8,
  kStylePointDot = 9,
  kStyleCrossDot = 10,
  kStyleInternal = 11,
};

enum IndexDrawKind : int32_t {
  kDrawText = 1,
  kDrawIcon = 2,
  kDrawBmp = 3,
  kDrawBkBmp = 4,
  kDrawGbk = 5,
  kDrawNumber = 7,
  kDrawFillRgn = 8,
  kDrawStickLine = 9,
  kDrawKLine = 10,
  kDrawPartLine = 12,
  kDrawPolyLine = 13,
  kDrawBarLine = 14,
  kDrawLine = 15,
  kDrawSlope = 16,
  kDrawVertLine = 17,
};

// One token of a compiled program.
struct INDEXTOKEN {
  uint8_t kind = kOperandOperator;  // IndexOperandKind
  union {
    double value;   // constant
    int32_t index;  // parameter, call, statement or reference
    uint8_t op;     // IndexOperator
    char text[8];   // quoted text: the first 7 bytes, zero-padded
  };
  INDEXTOKEN() : value(0) {}
};

// The evaluation context every expression and built-in receives. A built-in
// that needs another bar copies the whole context and changes `bar` in the
// copy; the context it was given is never changed.
struct INDEXCALC {
  uint8_t periodKind = 0;       // series kind of the chart period (6 minutes ... 10 quarters)
  uint32_t periodMultiple = 0;  // minutes or days per bar of that kind
  char owner[32] = {};          // upper-case code of the instrument being calculated
  const STKINFO *seriesInfo = nullptr;
  const KLINEBAR *bars = nullptr;
  uint32_t barCount = 0;        // end (exclusive) of the bars that may be read
  uint32_t bar = 0;             // the current bar
  uint32_t priceDivisor = 0;
  CKvIndex *formula = nullptr;  // parameters and statements are read from it
  uint32_t serial = 0;          // one value per pass; window built-ins see a new pass by it
  // A statement's own pass: its bars are written in ascending order, so
  // before the bar it is at (finalBefore) its own values are final. Set
  // for the pass of a statement; contexts made inside it keep finalBefore.
  bool statementPass = false;
  uint32_t finalBefore = 0;
};

// A built-in: evaluates its arguments (a list in source order, null when
// there are none) with the context as it needs and returns the value.
using IndexFunctionImpl = double (*)(const INDEXCALC *ctx, const CKvIndexFunctionParam *args);

// A fresh evaluation context of one pass: the arguments filled in and a
// serial of its own.
INDEXCALC MakeIndexContext(CKvIndex *formula, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                           const STKINFO *seriesInfo, const KLINEBAR *bars, uint32_t barCount,
                           uint32_t priceDivisor);

// Takes the evaluation counter's current value and advances it; every
// statement pass and every cross-instrument lookup takes one.
uint32_t NextIndexSerial();
// How many times this thread has evaluated an expression at one bar: the
// work of a pass, for tests and benchmarks that bound it.
uint64_t IndexEvaluations();

// The index of the latest bar whose time is not after t (times compared as
// unsigned packed values), or -1.
int32_t FindBarAtOrBefore(const KLINEBAR *bars, uint32_t count, uint32_t t);

// A compiled expression: the reverse Polish program, the call nodes and the
// references its tokens name.
class CKvIndexExpression {
 public:
  CKvIndexExpression();
  virtual ~CKvIndexExpression();
  CKvIndexExpression(const CKvIndexExpression &) = delete;
  CKvIndexExpression &operator=(const CKvIndexExpression &) = delete;

  // Empties the program and deletes the call nodes and references (each
  // reference releases its subscription first).
  void Reset();

  // The value at ctx->bar. The operands of an operator are evaluated when the
  // operator is reached, left before right, except that a division reads its
  // right side first and leaves the left unread when the right is 0, and AND
  // and OR leave their right side unread once the left decides the result.
  // A side that is itself a sub-expression has been evaluated already by
  // then; only a single-token side is ever left unread.
  double Evaluate(const INDEXCALC *ctx) const;
  double EvaluateOperand(const INDEXTOKEN &token, const INDEXCALC *ctx) const;
  // The values at bars from .. from + count - 1 (only where mask[i] is not 0
  // when a mask is given): exactly the values, calls and skipped calls of
  // Evaluate at each of those bars in ascending order. Entries of out where
  // the mask is 0 are left alone. Evaluates whole columns at a time where
  // nothing could tell the difference.
  void EvaluateRange(const INDEXCALC *ctx, uint32_t from, uint32_t count, double *out,
                     const uint8_t *mask = nullptr) const;

  // Resolves and subscribes the references, also those inside call
  // arguments at any depth.
  void Subscribe(HWND window, uint8_t periodKind, uint32_t periodMultiple);
  bool ReferencesStock(IndexStockRef stock) const;

  uint32_t TokenCount() const { return uint32_t(tokens_.size()); }
  const INDEXTOKEN *Tokens() const { return tokens_.data(); }
  uint32_t CallCount() const { return uint32_t(calls_.size()); }
  uint32_t ReferenceCount() const { return uint32_t(refs_.size()); }
  // Null past the end.
  CKvIndexFunction *GetCall(uint32_t n) const;
  CKvIndexRefother *GetReference(uint32_t n) const;

  // True when the expression or any argument of its calls, at any depth,
  // calls a built-in marked for full recalculation only.
  bool CallsFullRecalcBuiltin() const;
  // Nothing inside keeps or reads state: no built-in with state, no
  // cross-instrument reference, no read of the statement's own value. Such an
  // expression gives the same values however often and in whatever order it
  // is evaluated.
  bool IsPure() const { return pure_; }
  // The statement's own name is read here or inside an argument.
  bool ReadsOwnStatement() const { return readsOwnStatement_; }

 private:
  friend class IndexParser;
  friend class IndexColumnEvaluator;

  // One operator of the program as the evaluation walk meets it: its
  // operands are tokens of the program (read when the operator is reached)
  // or results of earlier steps.
  struct Step {
    uint8_t op;
    bool leftIsStep;
    bool rightIsStep;
    int32_t left;
    int32_t right;
  };

  int32_t AddCall(std::unique_ptr<CKvIndexFunction> call);
  int32_t AddReference(std::unique_ptr<CKvIndexRefother> ref);
  // Derives the walk and the purity marks from the finished program.
  void Finish();
  double Source(bool isStep, int32_t index, const double *steps, const INDEXCALC *ctx) const;
  bool ColumnEligible() const;

  std::vector<INDEXTOKEN> tokens_;
  std::vector<std::unique_ptr<CKvIndexFunction>> calls_;
  std::vector<std::unique_ptr<CKvIndexRefother>> refs_;
  std::vector<Step> steps_;
  bool lastTokenIsOperator_ = false;
  bool readsOwnStatement_ = false;  // here or in any argument
  bool pure_ = true;  // no state kept anywhere inside: no stateful built-in, reference or own statement
};

// A call's arguments: a compiled expression and the next argument. The first
// argument node also names the call site to the built-ins that keep state.
struct CKvIndexFunctionParam : CKvIndexExpression {
  CKvIndexFunctionParam *next = nullptr;
};

// A call node: the built-in and its arguments.
class CKvIndexFunction {
 public:
  CKvIndexFunction() = default;
  ~CKvIndexFunction();
  CKvIndexFunction(const CKvIndexFunction &) = delete;
  CKvIndexFunction &operator=(const CKvIndexFunction &) = delete;

  // No built-in, empty name, arguments deleted.
  void Clear();
  // Stores the name and looks its built-in up; false when there is none.
  bool SetName(const char *text, int length);
  void AddArgument(std::unique_ptr<CKvIndexFunctionParam> argument);
  uint32_t ArgumentCount() const;
  // impl(ctx, first argument), or 0 without a built-in.
  double Call(const INDEXCALC *ctx) const {
    return impl ? impl(ctx, args) : 0.0;
  }

  IndexFunctionImpl impl = nullptr;
  char name[32] = {};
  CKvIndexFunctionParam *args = nullptr;  // owned chain
  const IndexBuiltinRow *row = nullptr;   // the table row the name resolved to
};

// One cross-instrument reference, "CODE$FIELD".
class CKvIndexRefother {
 public:
  CKvIndexRefother() = default;
  // Releases the subscription.
  ~CKvIndexRefother();
  CKvIndexRefother(const CKvIndexRefother &) = delete;
  CKvIndexRefother &operator=(const CKvIndexRefother &) = delete;

  // Resolves the code and subscribes an agent of the period for the window;
  // the new subscription is made before the old one is released.
  void Subscribe(HWND window, uint8_t periodKind, uint32_t periodMultiple);
  // The field at the other instrument's latest bar not after the context's
  // bar time; 0 without a subscription or before its first bar.
  double GetValue(const INDEXCALC *ctx) const;
  void Release();

  uint8_t market = 255;   // 0 SH form, 1 SZ form, 255 find by code; then where found
  char code[32] = {};     // upper case; the six digits for the SH and SZ forms
  IndexStockRef stock;    // resolved instrument; market 255 and index 0xFFFF when not
  uint32_t priceDivisor = 0;
  int32_t agent = -1;
  HWND notifyWindow = nullptr;
  IndexFunctionImpl field = nullptr;  // a built-in without arguments
};

// The record of a parameter, 72 bytes as in the library and export files.
struct CKvIndexParam {
  char name[32];
  double minimum;
  double maximum;
  double defaultValue;
  double reserved;  // the editor stores 1.0; nothing reads it
  double value;     // what the formula text sees
};
static_assert(sizeof(CKvIndexParam) == 72);

struct CKvIndexRefLine {
  int32_t decimals;  // digits after the point as written
  double value;
};
static_assert(sizeof(CKvIndexRefLine) == 16);

// The per-bar record of a TOWERSTICK statement: p1-p2 the rising part,
// p3-p4 the falling part, prices in bar units.
struct IndexTowerRecord {
  int32_t state;
  uint32_t p1, p2, p3, p4;
};
static_assert(sizeof(IndexTowerRecord) == 20);

// One statement: an output line, a hidden intermediate or an unnamed line.
class CKvIndexVariable {
 public:
  CKvIndexVariable();
  ~CKvIndexVariable();
  CKvIndexVariable(const CKvIndexVariable &) = delete;
  CKvIndexVariable &operator=(const CKvIndexVariable &) = delete;

  // Flags, style and colour 0, thickness 1, empty name, expression and
  // storage gone; the precision stays.
  void Clear();
  void SetName(const char *text, int length);
  // The double stored for the bar; 0 for the styles that keep no doubles
  // (KSTICK to POINTFIGURE) and past the storage.
  //
  // A value may be NaN or an infinity: LN and LOG of 0 or less, ASIN and
  // ACOS outside [-1, 1], POW of a negative base to a fractional power, EXP
  // and products that overflow, a price divisor of 0. Such values travel on
  // as they are: arithmetic keeps them, a comparison with NaN is false, NOT,
  // AND, OR and IF take NaN as "not 0", and a window length, bar offset or
  // count made from one counts as 0 (NaN) or is clamped (an infinity), so no
  // built-in loops or reads outside the bars because of them. Code that
  // scales, sums or loops over stored values must skip non-finite ones.
  double GetValue(uint32_t bar) const {
    if (style >= kStyleKStick && style <= kStylePointFigure) return 0.0;
    return bar < capacity ? static_cast<const double *>(values)[bar] : 0.0;
  }
  void SetValue(uint32_t bar, double value);
  // The colour to paint with: the slot's current value for a SYSCOLOR.
  COLORREF Color() const;
  // Bytes of one per-bar record of the statement's style.
  uint32_t RecordSize() const;

  // Calculates bars first .. first + count - 1 into the storage (which must
  // hold them).
  void Calculate(CKvIndex *formula, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                 const STKINFO *seriesInfo, const KLINEBAR *bars, uint32_t first, uint32_t count,
                 uint32_t priceDivisor);
  void Subscribe(HWND window, uint8_t periodKind, uint32_t periodMultiple);

  char name[16] = {};
  uint32_t flags = 0;
  int32_t precision = 4;
  uint8_t style = kStyleLine;
  COLORREF color = 0;
  const COLORREF *colorSlot = nullptr;  // with kVariableColorSlot
  int32_t lineThick = 1;
  std::unique_ptr<CKvIndexExpression> expression;
  // Per-bar records of the style (KLINEBAR, IndexTowerRecord, 16 reserved
  // bytes or double), from Malloc; capacity counts records.
  void *values = nullptr;
  uint32_t capacity = 0;
};

// One drawing statement.
class CKvIndexDraw {
 public:
  CKvIndexDraw();
  ~CKvIndexDraw();
  CKvIndexDraw(const CKvIndexDraw &) = delete;
  CKvIndexDraw &operator=(const CKvIndexDraw &) = delete;

  // How many per-bar series the kind keeps and whether it keeps condition
  // bits (DRAWBKBMP and DRAWGBK keep nothing).
  static int SeriesCount(int32_t kind);
  static bool HasCondition(int32_t kind);

  // Bit of bar i.
  bool Condition(uint32_t bar) const {
    return condBits && bar < capacity && (condBits[bar >> 3] >> (bar & 7)) & 1;
  }
  uint32_t IconNumber() const;
  void SetIconNumber(uint32_t number);

  // Calculates bars start .. start + count - 1; the storage must hold them
  // and the range must have been cleared.
  void Calculate(CKvIndex *formula, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                 const STKINFO *seriesInfo, const KLINEBAR *bars, uint32_t start, uint32_t count,
                 uint32_t priceDivisor);
  void SubscribeReferences(HWND window, uint8_t periodKind, uint32_t periodMultiple);
  bool ReferencesStock(IndexStockRef stock) const;

  // Painting (indexpaint_draw.cpp). Paints the statement at chart position
  // c, whose bar in the formula's series is `bar`; cPrev and barPrev name
  // the position before it (-1 when not given). The background kinds are
  // painted by PaintBackground at the last visible bar only.
  void Paint(EDibBitmap *dib, double gap, double width, int64_t c, int64_t cPrev, uint32_t first,
             uint32_t count, uint32_t bar, int64_t barPrev, double scale, double minimum, double maximum,
             const RECT &rect, uint8_t inverted);
  void PaintBackground(HDC dc, const RECT &rect, CKvIndex *formula, const char *owner, uint8_t periodKind,
                       uint32_t periodMultiple, const STKINFO *info, const IndexWindow &window,
                       uint32_t priceDivisor);

  int32_t kind = 0;
  uint32_t flags = 0;
  std::unique_ptr<CKvIndexExpression> args[5];
  uint8_t *condBits = nullptr;           // from Malloc
  double *series[4] = {};                // from Malloc
  uint32_t capacity = 0;                 // bars the arrays hold
  uint16_t align = 1;
  uint16_t valign = 1;
  COLORREF color = 0xFFFFFFFFu;          // all bits set: no COLOR option
  uint8_t dotStyle = 0;
  uint8_t lineThick = 1;
  uint8_t fontSize = 0;
  HGDIOBJ picture = nullptr;             // loaded by the painter; deleted with the statement
  char text[260] = {};                   // DRAWICON keeps its number in the first 4 bytes
  POINT lastPoint{INT_MAX, INT_MAX};
};

class CKvIndex {
 public:
  CKvIndex();
  // Deletes the formulas chained behind it too.
  virtual ~CKvIndex();
  CKvIndex(const CKvIndex &) = delete;
  CKvIndex &operator=(const CKvIndex &) = delete;

  // Empties everything but the error record and the text buffers (which stay
  // allocated, empty).
  void Clear();
  // Copies identity, flags, parameters, usage notes and text; no reference
  // lines, statements or calculation state, nothing compiled.
  void Assign(const CKvIndex &source);
  // Like Assign, but the source's text is compiled (trusted) instead of copied.
  bool AssignAndCompile(const CKvIndex &source);
  void SetUsageNotes(const char *text);
  void SetUsageNotesFromWindow(HWND window);

  void SetError(const char *message, int32_t position, uint32_t length);
  void GetError(char *text, int32_t *position, uint32_t *length) const;

  bool AddParam(const CKvIndexParam &param);
  CKvIndexParam *GetParam(uint32_t i);
  void SetParam(uint32_t i, const CKvIndexParam &param);
  int32_t FindParam(const char *name) const;
  int32_t FindParam(const char *name, int length) const;

  bool AddRefLine(double value, int32_t decimals);
  const CKvIndexRefLine *GetRefLine(uint32_t i) const;
  int ApplySavedRefLine(const CKvIndexRefLine *record) { return 0; }

  // -1 gives the statement being compiled or calculated.
  CKvIndexVariable *GetVariable(int32_t i) const {
    if (i < 0) return i == -1 ? currentVariable : nullptr;
    return uint32_t(i) < variables.size() ? variables[i].get() : nullptr;
  }
  int32_t FindVariable(const char *name) const;
  int32_t FindVariable(const char *name, int length) const;
  void AppendVariable(std::unique_ptr<CKvIndexVariable> variable);
  void AppendDraw(std::unique_ptr<CKvIndexDraw> draw);
  uint32_t VariableCount() const { return uint32_t(variables.size()); }

  // Compiling (compiler.cpp). True on success; on failure the error record
  // holds the message and the span in formulaText, and the formula is
  // cleared. An untrusted compile also requires the instruments of
  // cross-instrument references to exist.
  bool Compile(const char *text, bool trusted);
  bool CompileFromWindow(HWND edit, bool trusted);
  // One expression of the text up to ",", ";", an unmatched ")" or the end,
  // checked and (with an expression object) translated; the length consumed,
  // 0 on an error. Positions in the error record are relative to text.
  uint32_t ParseExpression(const char *text, CKvIndexExpression *expression, bool trusted,
                           bool *fullRecalc);

  // Calculating (calculate.cpp).
  void Calculate(HWND notifyWindow, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                 const STKINFO *info, const KLINEBAR *bars, uint32_t barCount, bool withChain,
                 bool incremental);
  int AssignLineColours(int slot);
  // The same along this formula and the ones chained after it, each going on
  // from the slot the one before returned: the colours of a window.
  int AssignChainLineColours(int slot);
  bool ReferencesStock(IndexStockRef stock, bool followChain) const;

  // Range and scale (indexscale.cpp). GetValueRange: the range of what the
  // formula (and with includeChain the formulas chained after it, relative
  // overlays left out) draws in the visible window; false when there is
  // nothing. PaintScale: the labels into scaleRect and their dotted rows
  // across the plot; percentMode 1 labels percentages of percentBase.
  bool GetValueRange(const RECT &rect, const IndexWindow &window, double *minimum, double *maximum,
                     uint8_t inverted, uint8_t includeChain) const;
  void PaintScale(EDibBitmap *dib, const RECT &plotRect, const RECT &scaleRect, double minimum,
                  double maximum, double percentBase, int32_t percentMode, uint8_t scaleOnLeft,
                  uint8_t inverted, double priceFactor) const;

  // Painting (indexpaint.cpp). Paint draws the output lines, the drawing
  // statements, the chain (with includeChain) and last the trade marks into
  // the bitmap through its device context; priceFactor multiplies the prices
  // of the highest/lowest marks; lastPrice (0: none) gives the positions
  // their profit. PaintBackground paints the background statements (a
  // picture, a gradient) of the chain. HitTest: the point lies on one of
  // this formula's output lines.
  void Paint(EDibBitmap *dib, const RECT &rect, const IndexWindow &window, double width, double gap,
             double minimum, double maximum, uint8_t inverted, double priceFactor, uint8_t includeChain,
             uint8_t antiAliasAllowed, const IndexPositionMark *positions, uint32_t positionCount,
             const IndexOrderMark *orders, uint32_t orderCount, double lastPrice, uint8_t lastPriceLine);
  void PaintBackground(HDC dc, const char *owner, uint8_t periodKind, uint32_t periodMultiple,
                       const STKINFO *info, const RECT &rect, const IndexWindow &window, uint8_t inverted,
                       uint8_t includeChain);
  bool HitTest(POINT point, const RECT &rect, const IndexWindow &window, double width, double gap,
               double minimum, double maximum, uint8_t inverted) const;
  // A formula drawn into the main chart over its own range.
  bool IsRelativeOverlay() const { return (flags & kIndexKindMask) == 1 && (flags & kIndexOwnRange); }

  // Parameter values per chart period in the user's "%siparam.dat"
  // (iparam.cpp); the period code is the slot, 0 to 15. Loading sets the
  // values of the formulas chained behind this one (the last first), then
  // this one's; saving stores this formula's values into the period's slot,
  // or into every slot for code 0. Both leave everything as it is when the
  // library no longer holds a formula of the name.
  void LoadParamValues(uint32_t period);
  void SaveParamValues(uint32_t period);

  char name[16];
  char password[32];
  char description[512];
  char *formulaText = nullptr;  // from Malloc, NUL-terminated
  char *usageNotes = nullptr;   // from Malloc, NUL-terminated
  uint32_t flags = 0;
  CKvIndexParam params[16];
  uint32_t paramCount = 0;
  CKvIndexRefLine refLines[16];
  uint32_t refLineCount = 0;
  std::vector<std::unique_ptr<CKvIndexVariable>> variables;
  CKvIndexVariable *currentVariable = nullptr;
  std::vector<std::unique_ptr<CKvIndexDraw>> draws;
  char errorText[64];
  int32_t errorPos = 0;
  uint32_t errorLen = 0;
  const STKINFO *seriesInfo = nullptr;
  uint32_t calcCount = 0;
  uint8_t selected = 0;
  RECT legendRect{};
  CKvIndex *next = nullptr;  // owned

 private:
  friend class IndexParser;
  // Makes the buffer hold at least max(length + 1, 4096) bytes; false when
  // it cannot.
  static bool EnsureTextBuffer(char *&buffer, size_t length);
  bool CalculateOne(HWND notifyWindow, const char *owner, uint8_t periodKind,
                    uint32_t periodMultiple, const STKINFO *info, const KLINEBAR *bars,
                    uint32_t barCount, bool incremental);
};

// True when the span is exactly one of the 15 drawing keywords.
bool IsDrawKeyword(const char *text, int length);

// Sets a fixed-size name field: at most size - 1 bytes, zero-padded.
void SetIndexName(char *field, size_t size, const char *text, int length);
