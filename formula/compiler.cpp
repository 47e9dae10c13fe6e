// The compiler of the formula language: statements, expressions into reverse
// Polish programs, calls, cross-instrument references, drawing statements,
// options and reference lines. It stops at the first fault with a message and
// the byte span of the fault in the formula text.
//
// Every expression is read twice: a check pass that validates it and counts
// the tokens, and (when a program is wanted) a translation pass over the same
// text. Both run through one scanner so they can never disagree.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "formula/builtin.h"
#include "formula/kvindex.h"
#include "formula/lexer.h"
#include "platform/winuser.h"

using namespace indexlex;

namespace {

// The messages, GBK in the program.
const char kEmptyFormula[] = "指标公式不能为空。";
const char kNoMemory[] = "内存不足。";
const char kSyntax[] = "语法错误。";
const char kBadChar[] = "错误字符。";
const char kUndefined[] = "变量未定义。";
const char kNoFunction[] = "不支持此函数。";
const char kDrawAlone[] = "绘图函数应单独使用，且不能有名称。";
const char kHiddenByVariable[] = "由于已定义了同名的变量，此函数不再可用。请更改同名变量的名称。";
const char kHiddenByParam[] = "由于已定义了同名的参数，此函数不再可用。请更改同名参数的名称。";
const char kNoClosingQuote[] = "缺少对应的 ' 。";
const char kBadNumber[] = "语法错误，数值格式不正确。";
const char kNumberTooLong[] = "数值太长。";
const char kBadOperator[] = "运算符使用有误。";
const char kUnexpectedEnd[] = "表达式意外结束。";
const char kUnbalanced[] = "括号不匹配。";
const char kInternal[] = "内部错误。";
const char kTooManyArgs[] = "函数参数过多。";
const char kTooFewArgs[] = "函数缺少参数。";
const char kRefNoClose[] = "语法错误，无与之匹配的 \" 。";
const char kRefNoDollar[] = "语法错误，目前仅支持跨品种数据调用。";
const char kRefNoCode[] = "语法错误，请指定需要引用数据的品种代码。";
const char kRefCodeTooLong[] = "语法错误，品种代码太长。";
const char kRefNoStock[] = "错误，指定的品种不存在。";
const char kRefNoField[] = "语法错误，请指定需要引用的数据类型。";
const char kRefUnknownField[] = "语法错误，指定的数据类型不存在。";
const char kRefBadField[] = "语法错误，数据类型不可引用。";
const char kNameTooLong[] = "变量名太长，名称最长为 15 个字符。";
const char kRefLineTwice[] = "参考线重复定义。";
const char kNameIsParam[] = "变量名称与参数名称重复，请使用其它名称。";
const char kNameIsVariable[] = "变量名称与已有变量相同，请使用其它名称。";
const char kEmptyExpression[] = "变量的表达式不能为空。";
const char kUnknownOption[] = "控制符不可识别或不可在此使用。";
const char kBadColor[] = "颜色值格式不正确。";
const char kRefLineNumber[] = "设置参考线时必须使用数值。";
const char kWantString[] = "此处应使用字符串。";
const char kEmptyText[] = "文字不能为空。";
const char kEmptyPicture[] = "图片路径不能为空。";
const char kTextTooLong[] = "文字长度不能超过256（128个汉字）。";
const char kPictureTooLong[] = "图片路径长度不能超过 256。";

// The range messages of the numeric options.
struct NumberRange {
  uint32_t low, high;
  const char *noDigit;   // nothing numeric after the word
  const char *badDigit;  // a non-digit among the digits, or out of range
  const char *tooLong;   // more than 10 digits
};
const NumberRange kPrecis{0, 6, kSyntax, "此处需要十进制整数，取值范围 0 - 6 。", "数值太长。此处取值范围为 0 - 6 。"};
const NumberRange kThick{0, 7, "语法错误。此处需要十进制整数，取值范围 0 - 7 。", "此处需要十进制整数，取值范围 0 - 7 。",
                         "数值太长。此处取值范围为 0 - 7 。"};
const NumberRange kAlign{0, 2, kSyntax, "此处需要十进制整数，取值范围 0 - 2 。", "数值太长。此处取值范围为 0 - 2 。"};
const NumberRange kVAlign{0, 3, kSyntax, "此处需要十进制整数，取值范围 0 - 3 。", "数值太长。此处取值范围为 0 - 3 。"};
const NumberRange kFontSize{8, 72, "语法错误。此处需要十进制整数，取值范围 8 - 72 。",
                            "此处需要十进制整数，取值范围 8 - 72 。", "数值太长。此处取值范围为 8 - 72 。"};
const char kIconDigit[] = "此处需要十进制整数，取值范围 1 - 14 。";
const char kIconTooLong[] = "数值太长。此处取值范围为 1 - 14 。";

struct NamedColor {
  const char *name;
  COLORREF value;
};
const NamedColor kColors[] = {
    {"RED", 0x0000FF},     {"BLUE", 0xFF0000},    {"GRAY", 0x808080},    {"LIME", 0x00FF00},
    {"NAVY", 0x800000},    {"TEAL", 0x808000},    {"CYAN", 0xFFFF00},    {"AQUA", 0xFFFF00},
    {"GREEN", 0x00FF00},   {"WHITE", 0xFFFFFF},   {"OLIVE", 0x008080},   {"BROWN", 0x000084},
    {"YELLOW", 0x00FFFF},  {"SILVER", 0xC0C0C0},  {"MAROON", 0x000080},  {"PURPLE", 0x800080},
    {"MAGENTA", 0xFF00FF}, {"FUCHSIA", 0xFF00FF}, {"LIRED", 0x8484FF},   {"LIGREEN", 0x00FF84},
    {"LIBLUE", 0xFFFF00},
};

// Style words in the order they are tried (as prefixes).
struct StyleWord {
  const char *word;
  uint8_t style;
};
const StyleWord kStyleWords[] = {
    {"KSTICK", kStyleKStick},         {"BARSTICK", kStyleBarStick},
    {"TOWERSTICK", kStyleTowerStick}, {"VOLSTICK", kStyleVolStick},
    {"COLORSTICK", kStyleColorStick}, {"CIRCLEDOT", kStyleCircleDot},
    {"CROSSDOT", kStyleCrossDot},     {"POINTDOT", kStylePointDot},
    {"STICK", kStyleStick},           {"POINTFIGURE", kStylePointFigure},
    {"SSL_KIVOINTERNAL", kStyleInternal},
};

struct DrawKeyword {
  const char *word;
  int32_t kind;
};
const DrawKeyword kDrawKeywords[] = {
    {"DRAWTEXT", kDrawText},     {"DRAWICON", kDrawIcon},   {"DRAWBMP", kDrawBmp},
    {"DRAWBKBMP", kDrawBkBmp},   {"DRAWGBK", kDrawGbk},     {"DRAWNUMBER", kDrawNumber},
    {"FILLRGN", kDrawFillRgn},   {"STICKLINE", kDrawStickLine}, {"DRAWKLINE", kDrawKLine},
    {"PARTLINE", kDrawPartLine}, {"POLYLINE", kDrawPolyLine}, {"DRAWBARLINE", kDrawBarLine},
    {"DRAWLINE", kDrawLine},     {"DRAWSL", kDrawSlope},    {"VERTLINE", kDrawVertLine},
};

int32_t DrawKindOf(const char *text, int length) {
  for (const DrawKeyword &k : kDrawKeywords)
    if (int(std::strlen(k.word)) == length && std::memcmp(k.word, text, size_t(length)) == 0) return k.kind;
  return 0;
}

bool StartsWith(const char *p, const char *word) { return std::strncmp(p, word, std::strlen(word)) == 0; }

bool SameSpan(const char *p, int length, const char *word) {
  return int(std::strlen(word)) == length && std::memcmp(p, word, size_t(length)) == 0;
}

// Ends an option word or value: ",", ";", a blank, a comment or the end.
bool EndsWord(char c) { return c == 0 || c == ',' || c == ';' || c == '{' || IsBlank(c); }

bool StartsOperand(const char *p) {
  return IsUpper(*p) || IsDigit(*p) || *p == '_' || *p == '(' || IsLead(*p) || (*p == '.' && IsDigit(p[1]));
}

}  // namespace

bool IsDrawKeyword(const char *text, int length) { return text && DrawKindOf(text, length) != 0; }

// The parser of one compile; positions are offsets from `base`, which is the
// formula text when compiling a whole formula.
class IndexParser {
 public:
  IndexParser(CKvIndex &formula, const char *base, bool trusted)
      : f_(formula), base_(base), trusted_(trusted) {}

  // One statement from p; the position after it (past its ";"), or null.
  const char *Statement(const char *p);
  // One expression from p up to ",", ";", an unmatched ")" or the end; the
  // position where it stopped (p itself for an empty expression), or null on
  // a fault. With an expression object the program is built as well.
  const char *Expression(const char *p, CKvIndexExpression *e, bool *mark);

 private:
  // What the scanner found before the current token, for the unary signs.
  enum Prev { kAtStart, kAfterOpen, kAfterCompare, kAfterArithmetic, kAfterOperand };

  struct Emitter {
    CKvIndexExpression *e;
    std::vector<uint8_t> stack;  // operator codes, 0 for "("
    void Operator(uint8_t op, uint8_t limit) {
      while (!stack.empty() && stack.back() != kOpOpen && stack.back() <= limit) {
        Token(kOperandOperator).op = stack.back();
        stack.pop_back();
      }
      stack.push_back(op);
    }
    INDEXTOKEN &Token(uint8_t kind) {
      e->tokens_.emplace_back();
      e->tokens_.back().kind = kind;
      return e->tokens_.back();
    }
  };

  const char *Scan(const char *p, Emitter *em, bool *mark);
  const char *Call(const char *p, CKvIndexFunction *call, bool *mark);
  const char *Reference(const char *p, CKvIndexRefother *ref);
  const char *RefLines(const char *p);
  const char *Draw(const char *p, int32_t kind, int keywordLength);
  const char *Options(const char *p, CKvIndexVariable &v);
  // Reads the digits of a numeric option starting at p into *value; returns
  // the end of the digits or null.
  const char *Digits(const char *p, const NumberRange &range, uint32_t *value);
  // Reads a colour word at p (after "COLOR"); returns its end or null.
  const char *Color(const char *p, COLORREF *value, const COLORREF **slot);

  bool Resolve(const char *name, int length, INDEXTOKEN *token, CKvIndexExpression *e);

  std::nullptr_t Fail(const char *message, const char *at, size_t length) {
    f_.SetError(message, int32_t(at - base_), uint32_t(length));
    return nullptr;
  }
  // One byte, or nothing at the end of the text.
  std::nullptr_t FailAt(const char *message, const char *at) { return Fail(message, at, *at ? 1 : 0); }

  CKvIndex &f_;
  const char *base_;
  bool trusted_;
  int callDepth_ = 0;  // calls inside calls, each a level of recursion here and in evaluation
};

// Deeper nesting than this is refused as a syntax error, so that neither the
// compiler nor the evaluator can run out of stack on a pathological text.
constexpr int kMaxCallDepth = 500;

// ---- Expressions ---------------------------------------------------------------------------

const char *IndexParser::Expression(const char *p, CKvIndexExpression *e, bool *mark) {
  bool ownMark = false;
  if (!mark) mark = &ownMark;
  const char *end = Scan(p, nullptr, mark);
  if (!end || !e) return end;
  e->Reset();
  Emitter em{e, {}};
  if (!Scan(p, &em, mark)) {
    e->Reset();
    return nullptr;
  }
  e->Finish();
  return end;
}

const char *IndexParser::Scan(const char *p, Emitter *em, bool *mark) {
  bool seenOperand = false, lastOperator = false, anyToken = false;
  int depth = 0;
  Prev prev = kAtStart;
  auto operandHere = [&]() { return !seenOperand || lastOperator; };
  auto operand = [&]() {
    seenOperand = true;
    lastOperator = false;
    anyToken = true;
    prev = kAfterOperand;
  };

  for (;;) {
    // A comment counts only after a blank.
    if (IsBlank(*p) || (*p == '{' && p > base_ && IsBlank(p[-1]))) {
      p = SkipBlanksAndComments(p);
      continue;
    }
    const char c = *p;
    if (c == 0 || c == ';' || c == ',') break;
    if (c == ')') {
      if (depth == 0) break;
      --depth;
      if (em) {
        while (!em->stack.empty() && em->stack.back() != kOpOpen) {
          em->Token(kOperandOperator).op = em->stack.back();
          em->stack.pop_back();
        }
        if (!em->stack.empty()) em->stack.pop_back();
      }
      anyToken = true;
      ++p;
      continue;
    }
    if (c == '(') {
      if (!operandHere()) return FailAt(kSyntax, p);
      ++depth;
      if (em) em->stack.push_back(kOpOpen);
      anyToken = true;
      prev = kAfterOpen;
      ++p;
      continue;
    }

    // Signs in front of an operand.
    if ((c == '-' || c == '+') && (prev == kAtStart || prev == kAfterOpen || prev == kAfterCompare) &&
        StartsOperand(SkipBlanksAndComments(p + 1))) {
      if (c == '+') {
        ++p;
        continue;
      }
      if (em) {
        em->Token(kOperandConstant).value = 0;
        em->Operator(kOpSub, kOpSub);
      }
      seenOperand = true;
      lastOperator = true;
      anyToken = true;
      prev = kAfterArithmetic;
      ++p;
      continue;
    }

    // Binary operators.
    uint8_t op = 0, limit = 0;
    int opLength = 1;
    Prev after = kAfterCompare;
    switch (c) {
      case '*': op = kOpMul, limit = 5, after = kAfterArithmetic; break;
      case '/': op = kOpDiv, limit = 5, after = kAfterArithmetic; break;
      case '+': op = kOpAdd, limit = 7, after = kAfterArithmetic; break;
      case '-': op = kOpSub, limit = 7, after = kAfterArithmetic; break;
      case '=': op = kOpEqual, limit = 13; break;
      case '<':
        if (p[1] == '=') op = kOpLessEqual, limit = 11, opLength = 2;
        else if (p[1] == '>') op = kOpNotEqual, limit = 13, opLength = 2;
        else op = kOpLess, limit = 11;
        break;
      case '>':
        if (p[1] == '=') op = kOpGreaterEqual, limit = 11, opLength = 2;
        else op = kOpGreater, limit = 11;
        break;
      default: break;
    }
    const char *nameEnd = IsNameStart(p) ? NameEnd(p) : p;
    if (!op && SameSpan(p, int(nameEnd - p), "AND")) op = kOpAnd, limit = 14, opLength = 3;
    if (!op && SameSpan(p, int(nameEnd - p), "OR")) op = kOpOr, limit = 15, opLength = 2;
    if (op) {
      if (!seenOperand || lastOperator) return Fail(kSyntax, p, size_t(opLength));
      if (em) em->Operator(op, limit);
      lastOperator = true;
      anyToken = true;
      prev = after;
      p += opLength;
      continue;
    }

    // Operands.
    if (IsUpper(c) || c == '_' || IsLead(c)) {
      if (IsLead(c) && !IsTrail(p[1])) return Fail(kBadChar, p, 1);
      const char *end = nameEnd;
      // A lead byte with a faulty trail byte inside the name.
      if (IsLead(*end) && !IsTrail(end[1])) return Fail(kBadChar, end, 1);
      const int length = int(end - p);
      if (!operandHere()) return Fail(kSyntax, p, 1);
      const char *follow = SkipBlanks(end);
      if (*follow == '(') {
        if (length > 15) return Fail(kNoFunction, p, size_t(length));
        if (!FindIndexBuiltin(p, length))
          return Fail(IsDrawKeyword(p, length) ? kDrawAlone : kNoFunction, p, size_t(length));
        if (f_.FindVariable(p, length) >= 0) return Fail(kHiddenByVariable, p, size_t(length));
        if (f_.FindParam(p, length) >= 0) return Fail(kHiddenByParam, p, size_t(length));
        std::unique_ptr<CKvIndexFunction> call;
        if (em) call = std::make_unique<CKvIndexFunction>();
        const char *next = Call(p, call.get(), mark);
        if (!next) return nullptr;
        if (em) em->Token(kOperandCall).index = em->e->AddCall(std::move(call));
        p = next;
      } else {
        if (length > 15) return Fail(kUndefined, p, size_t(length));
        INDEXTOKEN token;
        if (!Resolve(p, length, &token, em ? em->e : nullptr)) {
          if (em) return Fail(kInternal, p, size_t(length));
          return Fail(kUndefined, p, size_t(length));
        }
        if (em) em->e->tokens_.push_back(token);
        p = end;
      }
      operand();
      continue;
    }
    if (IsDigit(c) || c == '.') {
      if (c == '.') {
        if (!IsDigit(p[1])) return Fail(kSyntax, p, 1);
        if (lastOperator) return Fail(kBadOperator, p, 1);
      }
      if (!operandHere()) return Fail(kSyntax, p, 1);
      const char *end = p;
      const char *secondDot = nullptr;
      int dots = 0;
      while (IsDigit(*end) || *end == '.') {
        if (*end == '.' && ++dots == 2 && !secondDot) secondDot = end;
        ++end;
      }
      if (secondDot) return Fail(kBadNumber, secondDot, 1);
      if (end - p >= 32) return Fail(kNumberTooLong, p, size_t(end - p));
      if (em) em->Token(kOperandConstant).value = NumberFromText(p, int(end - p));
      p = end;
      operand();
      continue;
    }
    if (c == '\'') {
      if (!operandHere() || anyToken) return Fail(kSyntax, p, 1);
      const char *close = std::strchr(p + 1, '\'');
      if (!close) return Fail(kNoClosingQuote, p, 1);
      if (em) {
        INDEXTOKEN &token = em->Token(kOperandText);
        std::memset(token.text, 0, sizeof token.text);
        std::memcpy(token.text, p + 1, std::min<size_t>(size_t(close - p - 1), 7));
      }
      p = close + 1;
      operand();
      continue;
    }
    if (c == '"') {
      if (!operandHere()) return Fail(kSyntax, p, 1);
      std::unique_ptr<CKvIndexRefother> ref;
      if (em) ref = std::make_unique<CKvIndexRefother>();
      const char *next = Reference(p, ref.get());
      if (!next) return nullptr;
      if (em) em->Token(kOperandReference).index = em->e->AddReference(std::move(ref));
      p = next;
      operand();
      continue;
    }
    return Fail(kBadChar, p, 1);
  }

  if (lastOperator) return FailAt(kUnexpectedEnd, p);
  if (depth > 0) return FailAt(kUnbalanced, p);
  if (em) {
    while (!em->stack.empty()) {
      if (em->stack.back() != kOpOpen) em->Token(kOperandOperator).op = em->stack.back();
      em->stack.pop_back();
    }
  }
  return p;
}

// A name outside a call: a parameter, an earlier statement, a built-in used
// without arguments, or the statement's own name.
bool IndexParser::Resolve(const char *name, int length, INDEXTOKEN *token, CKvIndexExpression *e) {
  int32_t index = f_.FindParam(name, length);
  if (index >= 0) {
    token->kind = kOperandParam;
    token->index = index;
    return true;
  }
  index = f_.FindVariable(name, length);
  if (index >= 0) {
    token->kind = kOperandVariable;
    token->index = index;
    return true;
  }
  const IndexBuiltinRow *row = FindIndexBuiltin(name, length);
  if (row && row->f.minArgs == 0) {
    token->kind = kOperandCall;
    if (e) {
      auto call = std::make_unique<CKvIndexFunction>();
      call->SetName(name, length);
      token->index = e->AddCall(std::move(call));
    }
    return true;
  }
  if (f_.currentVariable && f_.currentVariable->name[0] && SameName(name, length, f_.currentVariable->name)) {
    token->kind = kOperandVariable;
    token->index = -1;
    return true;
  }
  return false;
}

const char *IndexParser::Call(const char *p, CKvIndexFunction *call, bool *mark) {
  if (callDepth_ >= kMaxCallDepth) return Fail(kSyntax, p, 1);
  struct Level {
    int &depth;
    explicit Level(int &d) : depth(d) { ++depth; }
    ~Level() { --depth; }
  } level(callDepth_);
  const char *nameEnd = p;
  while (IsUpper(*nameEnd) || IsDigit(*nameEnd) || *nameEnd == '_') ++nameEnd;
  const int length = int(nameEnd - p);
  const IndexBuiltinRow *row = length <= 15 ? FindIndexBuiltin(p, length) : nullptr;
  if (!row) return Fail(kNoFunction, p, size_t(length));
  if (row->f.flags & kFunctionFullRecalc) *mark = true;
  if (call) call->SetName(p, length);

  const char *q = SkipBlanks(nameEnd);
  if (*q != '(') return FailAt(kSyntax, q);
  q = SkipBlanks(q + 1);
  int count = 0;
  for (;;) {
    if (*q == ')') {
      if (count < row->f.minArgs) {
        if (call) call->Clear();
        return Fail(kTooFewArgs, p, size_t(length));
      }
      return q + 1;
    }
    std::unique_ptr<CKvIndexFunctionParam> arg;
    if (call) arg = std::make_unique<CKvIndexFunctionParam>();
    const char *end = Expression(q, arg.get(), mark);
    if (!end) {
      if (call) call->Clear();
      return nullptr;
    }
    if (end == q) {
      if (call) call->Clear();
      return FailAt(kSyntax, q);
    }
    if (++count > row->f.maxArgs) {
      if (call) call->Clear();
      const char *argEnd = SkipBackBlanksAndComments(q, end);
      return Fail(kTooManyArgs, q, size_t(argEnd - q));
    }
    if (call) call->AddArgument(std::move(arg));
    q = end;
    if (*q == ')') continue;
    if (*q == ',') {
      const char *next = SkipBlanks(q + 1);
      const char n = *next;
      if (!(IsUpper(n) || IsDigit(n) || n == '_' || n == '+' || n == '-' || n == '(' || n == '.' ||
            IsDoubleByte(next))) {
        if (call) call->Clear();
        return FailAt(kSyntax, next);
      }
      q = next;
      continue;
    }
    if (call) call->Clear();
    return FailAt(kSyntax, q);
  }
}

const char *IndexParser::Reference(const char *p, CKvIndexRefother *ref) {
  const char *close = std::strchr(p + 1, '"');
  if (!close) return Fail(kRefNoClose, p, 1);
  const char *dollar = static_cast<const char *>(std::memchr(p + 1, '$', size_t(close - p - 1)));
  if (!dollar) return Fail(kRefNoDollar, p, 1);

  const char *code = SkipBlanksAndComments(p + 1);
  if (code > dollar) code = dollar;
  const char *codeEnd = SkipBackBlanksAndComments(code, dollar);
  const int codeLength = int(codeEnd - code);
  if (codeLength <= 0) return Fail(kRefNoCode, dollar, 1);
  uint8_t market = 255;
  const char *digits = code;
  int digitCount = codeLength;
  if (codeLength > 6) {
    bool ok = codeLength == 8 && code[0] == 'S' && (code[1] == 'H' || code[1] == 'Z');
    for (int i = 2; ok && i < 8; ++i) ok = IsDigit(code[i]);
    if (!ok) return Fail(kRefCodeTooLong, code, size_t(codeLength));
    market = code[1] == 'H' ? 0 : 1;
    digits = code + 2;
    digitCount = 6;
  }
  char text[32] = {};
  std::memcpy(text, digits, size_t(digitCount));
  UpperCase(text);

  if (!trusted_) {
    IIndexMarket *provider = IndexMarket();
    const STKINFO *found = nullptr;
    if (provider) {
      if (market != 255) {
        found = provider->FindStockInMarket(text, market);
      } else {
        uint16_t where = 0;
        found = provider->LookupStock(text, &where, true);
      }
    }
    if (!found) return Fail(kRefNoStock, code, size_t(codeLength));
  }
  if (ref) {
    ref->market = market;
    std::memcpy(ref->code, text, sizeof ref->code);
    ref->agent = -1;
  }

  const char *field = SkipBlanksAndComments(dollar + 1);
  if (field > close) field = close;
  const char *fieldEnd = SkipBackBlanksAndComments(field, close);
  const int fieldLength = int(fieldEnd - field);
  if (fieldLength <= 0) return Fail(kRefNoField, dollar, 1);
  const IndexBuiltinRow *row = FindIndexBuiltin(field, fieldLength);
  if (!row) return Fail(kRefUnknownField, field, size_t(fieldLength));
  if (row->f.maxArgs != 0) return Fail(kRefBadField, field, size_t(fieldLength));
  if (ref) ref->field = row->f.impl;
  return close + 1;
}

// ---- Statements ----------------------------------------------------------------------------

const char *IndexParser::Statement(const char *s) {
  const char *p = SkipBlanksAndComments(s);
  if (*p == 0) return p;
  if (*p == ';') return p + 1;
  if (*p == ',') return Fail(kSyntax, p, 1);

  auto variable = std::make_unique<CKvIndexVariable>();
  struct Current {
    CKvIndex &f;
    ~Current() { f.currentVariable = nullptr; }
  } current{f_};
  f_.currentVariable = variable.get();

  const char *start = p;
  bool named = false;
  if (IsNameStart(p)) {
    const char *nameEnd = NameEnd(p);
    const int length = int(nameEnd - p);
    const char *r = SkipBlanksAndComments(nameEnd);
    if (*r == ':') {
      if (length >= 16) return Fail(kNameTooLong, p, size_t(length));
      if (SameSpan(p, length, "REFLINE")) {
        if (f_.refLineCount != 0) return Fail(kRefLineTwice, p, size_t(length));
        return RefLines(r + 1);
      }
      if (f_.FindParam(p, length) >= 0) return Fail(kNameIsParam, p, size_t(length));
      if (f_.FindVariable(p, length) >= 0) return Fail(kNameIsVariable, p, size_t(length));
      variable->SetName(p, length);
      const char *e = r + 1;
      if (*e == '=') {
        ++e;
      } else {
        variable->flags |= kVariableOutput;
      }
      const char *blanksEnd = SkipBlanks(e);
      start = blanksEnd > e ? SkipBlanksAndComments(blanksEnd) : blanksEnd;
      if (*start == 0 || *start == ',' || *start == ';') return Fail(kEmptyExpression, p, size_t(length));
      named = true;
    } else if (IsDrawKeyword(p, length)) {
      return Draw(p, DrawKindOf(p, length), length);
    }
  }
  if (!named) variable->flags |= kVariableOutput;

  auto expression = std::make_unique<CKvIndexExpression>();
  bool mark = false;
  const char *end = Expression(start, expression.get(), &mark);
  if (!end) return nullptr;
  if (end == start) return FailAt(kSyntax, start);
  variable->expression = std::move(expression);

  end = Options(end, *variable);
  if (!end) return nullptr;
  if (mark) variable->flags |= kIndexFullRecalcOnly;
  else variable->flags &= ~kIndexFullRecalcOnly;
  f_.AppendVariable(std::move(variable));
  return end;
}

// The options after a statement's expression, up to its ";" or the end.
const char *IndexParser::Options(const char *p, CKvIndexVariable &v) {
  for (;;) {
    if (*p == 0) return p;
    if (*p == ';') return p + 1;
    if (*p != ',') return FailAt(kSyntax, p);
    const char *w = SkipBlanksAndComments(p + 1);
    const StyleWord *style = nullptr;
    for (const StyleWord &s : kStyleWords)
      if (StartsWith(w, s.word)) {
        style = &s;
        break;
      }
    if (style) {
      const char *after = w + std::strlen(style->word);
      if (*after != ',' && *after != ';' && *after != 0) return FailAt(kSyntax, after);
      v.style = style->style;
      p = after;
      continue;
    }
    const char *end = nullptr;
    if (StartsWith(w, "PRECIS")) {
      uint32_t value = 0;
      end = Digits(w + 6, kPrecis, &value);
      if (!end) return nullptr;
      v.precision = int32_t(value);
    } else if (StartsWith(w, "COLOR")) {
      COLORREF color = 0;
      const COLORREF *slot = nullptr;
      end = Color(w + 5, &color, &slot);
      if (!end) return nullptr;
      v.flags |= kVariableHasColor;
      if (slot) {
        v.flags |= kVariableColorSlot;
        v.colorSlot = slot;
        v.color = 0;
      } else {
        v.flags &= ~kVariableColorSlot;
        v.colorSlot = nullptr;
        v.color = color;
      }
    } else if (StartsWith(w, "LINETHICK")) {
      uint32_t value = 0;
      end = Digits(w + 9, kThick, &value);
      if (!end) return nullptr;
      v.lineThick = int32_t(value);
    } else {
      const char *wordEnd = w;
      while (*wordEnd && *wordEnd != ',' && *wordEnd != ';' && !IsBlank(*wordEnd)) ++wordEnd;
      return Fail(kUnknownOption, w, size_t(wordEnd - w));
    }
    p = SkipBlanksAndComments(end);
  }
}

const char *IndexParser::Digits(const char *p, const NumberRange &range, uint32_t *value) {
  if (!IsDigit(*p)) return FailAt(range.noDigit, p);
  const char *q = p;
  while (!EndsWord(*q)) {
    if (!IsDigit(*q)) return Fail(range.badDigit, q, 1);
    ++q;
  }
  if (q - p > 10) return Fail(range.tooLong, p, size_t(q - p));
  uint64_t v = 0;
  for (const char *d = p; d < q; ++d) v = v * 10 + uint64_t(*d - '0');
  if (v < range.low || v > range.high) return Fail(range.badDigit, p, size_t(q - p));
  *value = uint32_t(v);
  return q;
}

const char *IndexParser::Color(const char *p, COLORREF *value, const COLORREF **slot) {
  const char *end = p;
  while (!EndsWord(*end)) ++end;
  const int length = int(end - p);
  *slot = nullptr;
  for (const NamedColor &c : kColors) {
    if (SameSpan(p, length, c.name)) {
      *value = c.value;
      return end;
    }
  }
  if (length >= 9 && length <= 10 && StartsWith(p, "SYSCOLOR")) {
    const char *d = p + 8;
    if (IsDigit(d[0]) && (length == 9 || IsDigit(d[1]))) {
      const int n = length == 9 ? d[0] - '0' : (d[0] - '0') * 10 + (d[1] - '0');
      if (n < kIndexColorSlots) {
        *slot = IndexColorTable() + n;
        *value = **slot;
        return end;
      }
    }
    return Fail(kBadColor, p, size_t(length));
  }
  if (length == 6) {
    COLORREF v = 0;
    for (int i = 0; i < 6; ++i) {
      const char c = p[i];
      int digit;
      if (IsDigit(c)) digit = c - '0';
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else return Fail(kBadColor, p + i, 1);
      v = v * 16 + COLORREF(digit);
    }
    *value = v;
    return end;
  }
  return Fail(kBadColor, p, size_t(length));
}

// REFLINE:value,value,...  up to ";" or the end.
const char *IndexParser::RefLines(const char *p) {
  const char *q = SkipBlanksAndComments(p);
  if (*q == 0) return q;
  if (*q == ';') return q + 1;
  for (;;) {
    q = SkipBlanksAndComments(q);
    const char c = *q;
    if (!(IsDigit(c) || c == '+' || c == '-' || c == '.')) return FailAt(kRefLineNumber, q);
    bool negative = false;
    if (c == '+' || c == '-') {
      negative = c == '-';
      q = SkipBlanks(q + 1);
    }
    const char *number = q;
    while (IsDigit(*q) || *q == '.') ++q;
    const char *numberEnd = q;
    const char *r = (IsBlank(*q) || *q == '{') ? SkipBlanksAndComments(q) : q;
    if (*r != ',' && *r != ';' && *r != 0) return FailAt(kBadNumber, r);
    const int length = int(numberEnd - number);
    if (!IsNumberText(number, length)) return Fail(kBadNumber, number, size_t(length));
    const char *dot = static_cast<const char *>(std::memchr(number, '.', size_t(length)));
    const int32_t decimals = dot ? int32_t(numberEnd - dot - 1) : 0;
    double value = NumberFromText(number, length);
    if (negative) value = -value;
    f_.AddRefLine(value, decimals);  // a repeated value or a 17th line is passed over
    if (*r == ',') {
      q = r + 1;
      continue;
    }
    return *r == ';' ? r + 1 : r;
  }
}

// ---- Drawing statements -----------------------------------------------------------------

const char *IndexParser::Draw(const char *p, int32_t kind, int keywordLength) {
  auto draw = std::make_unique<CKvIndexDraw>();
  draw->kind = kind;
  if (kind == kDrawPolyLine || kind == kDrawLine) draw->flags |= kIndexFullRecalcOnly;

  // The arguments: expressions into slots, or the quoted text, or the icon.
  enum ArgKind { kExpr, kQuoted, kIcon };
  struct ArgSlot {
    ArgKind kind;
    int slot;
  };
  std::vector<ArgSlot> layout;
  auto exprs = [&layout](int first, int count) {
    for (int i = 0; i < count; ++i) layout.push_back({kExpr, first + i});
  };
  switch (kind) {
    case kDrawText:
    case kDrawBmp: exprs(0, 2), layout.push_back({kQuoted, 0}); break;
    case kDrawIcon: exprs(0, 2), layout.push_back({kIcon, 0}); break;
    case kDrawBkBmp: exprs(0, 1), layout.push_back({kQuoted, 0}); break;
    case kDrawGbk:
    case kDrawNumber: exprs(0, 4); break;
    case kDrawFillRgn: exprs(0, 3); break;
    case kDrawStickLine:
    case kDrawLine:
    case kDrawSlope: exprs(0, 5); break;
    case kDrawKLine:
    case kDrawBarLine: exprs(1, 4); break;
    case kDrawPartLine:
    case kDrawPolyLine: exprs(0, 2); break;
    case kDrawVertLine: exprs(0, 1); break;
    default: return Fail(kInternal, p, size_t(keywordLength));
  }

  const char *q = SkipBlanks(p + keywordLength);
  if (*q != '(') return FailAt(kSyntax, q);
  ++q;
  bool mark = false;
  for (size_t i = 0; i < layout.size(); ++i) {
    if (i > 0) {
      q = SkipBlanks(q);
      if (*q == ')') return FailAt(kTooFewArgs, q);
      if (*q != ',') return FailAt(kSyntax, q);
      ++q;
    }
    const char *a = SkipBlanks(q);
    switch (layout[i].kind) {
      case kExpr: {
        if (*a == 0 || *a == ',' || *a == ';' || *a == ')') return FailAt(kSyntax, a);
        auto e = std::make_unique<CKvIndexExpression>();
        const char *end = Expression(a, e.get(), &mark);
        if (!end) return nullptr;
        if (end == a) return FailAt(kSyntax, a);
        draw->args[layout[i].slot] = std::move(e);
        q = end;
        break;
      }
      case kQuoted: {
        const bool isText = kind == kDrawText;
        if (*a != '\'') return FailAt(kWantString, a);
        const char *close = std::strchr(a + 1, '\'');
        if (!close) return Fail(kUnexpectedEnd, a + std::strlen(a), 0);
        const size_t length = size_t(close - a - 1);
        if (length == 0) return Fail(isText ? kEmptyText : kEmptyPicture, a, 2);
        if (length > 259) return Fail(isText ? kTextTooLong : kPictureTooLong, a + 1, length);
        std::memset(draw->text, 0, sizeof draw->text);
        std::memcpy(draw->text, a + 1, length);
        q = close + 1;
        break;
      }
      case kIcon: {
        const char *d = a;
        while (*d && !IsBlank(*d) && *d != ',' && *d != ';' && *d != ')') {
          if (!IsDigit(*d)) return Fail(kIconDigit, d, 1);
          ++d;
        }
        if (d == a) return FailAt(kIconDigit, a);
        if (d - a > 10) return Fail(kIconTooLong, a, size_t(d - a));
        uint64_t v = 0;
        for (const char *c = a; c < d; ++c) v = v * 10 + uint64_t(*c - '0');
        draw->SetIconNumber(v > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(v));
        q = d;
        break;
      }
    }
  }
  q = SkipBlanks(q);
  if (*q != ')') return FailAt(kSyntax, q);
  ++q;

  // Options, each after ",", up to ";" or the end.
  const bool lines = kind == kDrawPartLine || kind == kDrawPolyLine || kind == kDrawLine ||
                     kind == kDrawSlope || kind == kDrawVertLine;
  const bool texts = kind == kDrawText || kind == kDrawNumber;
  for (;;) {
    q = SkipBlanksAndComments(q);
    if (*q == 0) break;
    if (*q == ';') {
      ++q;
      break;
    }
    if (*q != ',') return FailAt(kSyntax, q);
    const char *w = SkipBlanksAndComments(q + 1);
    uint32_t value = 0;
    const char *end = nullptr;
    if (StartsWith(w, "ALIGN")) {
      end = Digits(w + 5, kAlign, &value);
      if (end) draw->align = uint16_t(value);
    } else if (StartsWith(w, "VALIGN")) {
      end = Digits(w + 6, kVAlign, &value);
      if (end) draw->valign = uint16_t(value);
    } else if (StartsWith(w, "COLOR")) {
      COLORREF color = 0;
      const COLORREF *slot = nullptr;
      end = Color(w + 5, &color, &slot);
      if (end) draw->color = color;
    } else if (lines && StartsWith(w, "LINETHICK")) {
      end = Digits(w + 9, kThick, &value);
      if (end) draw->lineThick = uint8_t(value);
    } else if (texts && StartsWith(w, "FONTSIZE")) {
      end = Digits(w + 8, kFontSize, &value);
      if (end) draw->fontSize = uint8_t(value);
    } else if (kind == kDrawPartLine &&
               (StartsWith(w, "CIRCLEDOT") || StartsWith(w, "CROSSDOT") || StartsWith(w, "POINTDOT"))) {
      const size_t length = w[1] == 'I' ? 9 : 8;
      draw->dotStyle = w[1] == 'I' ? kStyleCircleDot : (w[1] == 'R' ? kStyleCrossDot : kStylePointDot);
      end = w + length;
      if (*end != ',' && *end != ';' && *end != 0) return FailAt(kSyntax, end);
    } else {
      const char *wordEnd = w;
      while (*wordEnd && *wordEnd != ',' && *wordEnd != ';' && !IsBlank(*wordEnd)) ++wordEnd;
      return Fail(kUnknownOption, w, size_t(wordEnd - w));
    }
    if (!end) return nullptr;
    q = end;
  }

  if (mark) draw->flags |= kIndexFullRecalcOnly;
  f_.AppendDraw(std::move(draw));
  return q;
}

// ---- CKvIndex -------------------------------------------------------------------------------

bool CKvIndex::Compile(const char *text, bool trusted) {
  refLineCount = 0;
  currentVariable = nullptr;
  variables.clear();
  draws.clear();
  SetError("", 0, 0);
  try {
    if (!text || !*SkipBlanksAndComments(text)) {
      Clear();
      SetError(kEmptyFormula, 0, 0);
      return false;
    }
    if (text != formulaText) {
      const size_t length = std::strlen(text);
      if (!EnsureTextBuffer(formulaText, length)) {
        Clear();
        SetError(kNoMemory, 0, 0);
        return false;
      }
      std::memmove(formulaText, text, length + 1);
    }
    // Everything after the leading blanks and comments is upper-cased, quoted
    // texts included; the trail bytes of double-byte characters stay as they
    // are, so Chinese text survives.
    UpperCase(const_cast<char *>(SkipBlanksAndComments(formulaText)));

    IndexParser parser(*this, formulaText, trusted);
    const char *p = formulaText;
    while (*p) {
      const char *next = parser.Statement(p);
      if (!next) {
        char message[64];
        int32_t position;
        uint32_t length;
        GetError(message, &position, &length);
        Clear();
        SetError(message, position, length);
        return false;
      }
      p = next;
    }
  } catch (const std::bad_alloc &) {
    Clear();
    SetError(kNoMemory, 0, 0);
    return false;
  }
  for (const auto &v : variables)
    if (v->flags & kIndexFullRecalcOnly) flags |= kIndexFullRecalcOnly;
  for (const auto &d : draws)
    if (d->flags & kIndexFullRecalcOnly) flags |= kIndexFullRecalcOnly;
  return true;
}

bool CKvIndex::CompileFromWindow(HWND edit, bool trusted) {
  const int length = GetWindowTextLengthA(edit);
  if (length <= 0) return Compile("", trusted);
  if (!EnsureTextBuffer(formulaText, size_t(length))) {
    Clear();
    SetError(kNoMemory, 0, 0);
    return false;
  }
  const int got = GetWindowTextA(edit, formulaText, length + 1);
  formulaText[got > 0 ? got : 0] = 0;
  return Compile(formulaText, trusted);
}

uint32_t CKvIndex::ParseExpression(const char *text, CKvIndexExpression *expression, bool trusted,
                                   bool *fullRecalc) {
  if (!text) return 0;
  IndexParser parser(*this, text, trusted);
  try {
    const char *end = parser.Expression(text, expression, fullRecalc);
    return end ? uint32_t(end - text) : 0;
  } catch (const std::bad_alloc &) {
    if (expression) expression->Reset();
    SetError(kNoMemory, 0, 0);
    return 0;
  }
}
