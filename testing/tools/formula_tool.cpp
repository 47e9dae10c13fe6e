// formula_tool: compiles an indicator formula and calculates it over bars
// read from a CSV file, printing the statements, their reverse Polish code
// and the output values per bar, so that formulas can be checked against
// values computed elsewhere.
//
//   formula_tool [options] FORMULA_FILE BARS_CSV
//
// The formula text may be GBK or UTF-8 (told apart by whether it is valid
// UTF-8; --gbk or --utf8 decides instead). The bar file has one bar per line:
//   date,time,open,high,low,close,volume,amount[,settle]
// date as YYYYMMDD or YYYY-MM-DD, time as HHMM or HH:MM (empty or 0 for day
// bars), prices as decimals; a first line that does not start with a digit
// is taken as a header. Output is UTF-8.
//
// Options:
//   --divisor N         price divisor of the instrument (default 100)
//   --code CODE         the instrument's code, for ISCONTRACT (default TEST)
//   --market M --kind K the instrument's market and kind bytes, for STKTYPE
//   --period KIND,MULT  series kind and multiple (default 7,1: day bars)
//   --param NAME=VALUE  a parameter of the formula (repeatable)
//   --gbk | --utf8      the encoding of the formula file
//   --only SECTIONS     any of s (statements), r (reverse Polish), v (values)
//   --precision N       significant digits of the values (default 10)
//
// Cross-instrument references find no instrument here and read 0.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/datetime.h"
#include "formula/indexfunc.h"
#include "formula/kvindex.h"
#include "platform/gbk.h"

namespace {

struct Instrument {
  uint32_t divisor = 100;
  uint8_t market = 3;
  uint8_t kind = 0;
};

// The one instrument of the run; nothing else exists.
class ToolMarket : public IIndexMarket {
 public:
  explicit ToolMarket(const Instrument &i) : instrument_(i) {}
  const STKINFO *Info() const { return reinterpret_cast<const STKINFO *>(&instrument_); }
  const STKINFO *FindStockInMarket(const char *, uint8_t) override { return nullptr; }
  const STKINFO *FindStockFromMarket(const char *, uint8_t *) override { return nullptr; }
  const STKINFO *LookupStock(const char *, uint16_t *, bool) override { return nullptr; }
  IndexStockFacts Facts(const STKINFO *) override {
    IndexStockFacts f;
    f.market = instrument_.market;
    f.kind = instrument_.kind;
    f.index = 0;
    f.priceDivisor = instrument_.divisor;
    return f;
  }
  const STKINFO *GetStockInfo(IndexStockRef) override { return nullptr; }
  int32_t AcquireDataAgent(IndexStockRef, uint8_t, uint32_t, HWND) override { return -1; }
  void ReleaseDataAgent(int32_t, HWND) override {}
  void GetSeries(int32_t, const KLINEBAR **bars, uint32_t *count) override {
    *bars = nullptr;
    *count = 0;
  }

 private:
  Instrument instrument_;
};

[[noreturn]] void Usage(const char *problem) {
  if (problem) std::fprintf(stderr, "formula_tool: %s\n", problem);
  std::fprintf(stderr,
               "usage: formula_tool [--divisor N] [--code CODE] [--market M] [--kind K] [--period KIND,MULT]\n"
               "                    [--param NAME=VALUE]... [--gbk|--utf8] [--only srv] [--precision N]\n"
               "                    FORMULA_FILE BARS_CSV\n");
  std::exit(2);
}

bool ReadFile(const char *path, std::string &text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

bool IsUtf8(const std::string &s) {
  size_t i = 0;
  while (i < s.size()) {
    const uint8_t c = uint8_t(s[i]);
    size_t n;
    if (c < 0x80) n = 0;
    else if ((c >> 5) == 6) n = 1;
    else if ((c >> 4) == 14) n = 2;
    else if ((c >> 3) == 30) n = 3;
    else return false;
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((uint8_t(s[i + k]) >> 6) != 2) return false;
    i += n + 1;
  }
  return true;
}

std::string Utf8(const char *gbk) { return platform::GbkToUtf8(gbk ? gbk : ""); }

std::vector<std::string> SplitCsv(const std::string &line) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line) {
    if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else if (c != '\r' && c != '"') {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

bool ParseNumber(const std::string &text, double &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end && *end == 0 && std::isfinite(value);
}

// One line of the bar file into a bar; false with a reason when malformed.
bool ParseBar(const std::string &line, uint32_t divisor, KLINEBAR &bar, std::string &reason) {
  const auto f = SplitCsv(line);
  if (f.size() < 8) {
    reason = "fewer than 8 fields";
    return false;
  }
  std::string date;
  for (char c : f[0])
    if (c >= '0' && c <= '9') date += c;
  std::string time;
  for (char c : f[1])
    if (c >= '0' && c <= '9') time += c;
  if (date.size() != 8) {
    reason = "date is not YYYYMMDD";
    return false;
  }
  const unsigned y = unsigned(std::stoul(date.substr(0, 4))), m = unsigned(std::stoul(date.substr(4, 2))),
                 d = unsigned(std::stoul(date.substr(6, 2)));
  unsigned hh = 0, mm = 0;
  if (!time.empty()) {
    if (time.size() > 4) {
      reason = "time is not HHMM";
      return false;
    }
    const unsigned t = unsigned(std::stoul(time));
    hh = t / 100;
    mm = t % 100;
  }
  if (m < 1 || m > 12 || d < 1 || d > 31 || y > 4095 || hh > 23 || mm > 59) {
    reason = "date or time out of range";
    return false;
  }
  double v[7] = {};
  const size_t count = f.size() >= 9 ? 7 : 6;
  for (size_t i = 0; i < count; ++i)
    if (!ParseNumber(f[2 + i], v[i])) {
      reason = "field " + std::to_string(3 + i) + " is not a number";
      return false;
    }
  auto raw = [divisor, &reason](double price, uint32_t &out) {
    const double scaled = std::llround(price * divisor);
    if (scaled < 0 || scaled > 4294967295.0) {
      reason = "a price does not fit the divisor";
      return false;
    }
    out = uint32_t(scaled);
    return true;
  };
  std::memset(&bar, 0, sizeof bar);
  bar.time = MakePackedDateTime(y, m, d, hh, mm);
  if (!raw(v[0], bar.open) || !raw(v[1], bar.high) || !raw(v[2], bar.low) || !raw(v[3], bar.close)) return false;
  bar.volume = float(v[4]);
  bar.amount = float(v[5]);
  if (count == 7 && !raw(v[6], bar.settlement)) return false;
  return true;
}

// The strings are built by appending: GCC 12 warns falsely (restrict,
// array bounds) about `"literal" + std::string` once it is inlined.
std::string Joined(const char *prefix, const std::string &text) {
  std::string out(prefix);
  out += text;
  return out;
}

std::string TokenText(const CKvIndexExpression &e, const INDEXTOKEN &t, const CKvIndex &f) {
  static const char *const kOps[] = {"(", "?", "?", "?", "*", "/", "+", "-", "<", ">", "<=", ">=", "=", "<>", "AND", "OR"};
  char buffer[64];
  switch (t.kind) {
    case kOperandOperator: return t.op < 16 ? kOps[t.op] : "?";
    case kOperandConstant: std::snprintf(buffer, sizeof buffer, "%.17g", t.value); return buffer;
    case kOperandParam: return Joined("$", Utf8(t.index >= 0 && t.index < 16 ? f.params[t.index].name : "?"));
    case kOperandCall: {
      const CKvIndexFunction *call = e.GetCall(uint32_t(t.index));
      if (!call) return "?()";
      std::string text = call->name;
      if (call->args) {
        text += "(";
        for (const CKvIndexFunctionParam *a = call->args; a; a = a->next) {
          text += "[";
          for (uint32_t i = 0; i < a->TokenCount(); ++i) {
            if (i) text += ' ';
            text += TokenText(*a, a->Tokens()[i], f);
          }
          text += a->next ? "]," : "]";
        }
        text += ")";
      }
      return text;
    }
    case kOperandVariable: {
      if (t.index < 0) return "@self";
      const CKvIndexVariable *v = f.GetVariable(t.index);
      return Joined("@", v && v->name[0] ? Utf8(v->name) : Joined("#", std::to_string(t.index)));
    }
    case kOperandReference: {
      const CKvIndexRefother *r = e.GetReference(uint32_t(t.index));
      std::string text = Joined("\"", r ? Utf8(r->code) : "?");
      text += "$...\"";
      return text;
    }
    default: {
      char text[8] = {};
      std::memcpy(text, t.text, 7);
      return Joined("'", Utf8(text)) + "'";
    }
  }
}

std::string ColumnName(const CKvIndexVariable &v, uint32_t index) {
  return v.name[0] ? Utf8(v.name) : Joined("#", std::to_string(index));
}

}  // namespace

int main(int argc, char **argv) {
  Instrument instrument;
  std::string code = "TEST", only = "srv";
  uint8_t periodKind = 7;
  uint32_t periodMultiple = 1;
  int precision = 10;
  int encoding = 0;  // 0 guess, 1 GBK, 2 UTF-8
  std::vector<std::pair<std::string, double>> params;
  std::vector<const char *> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(("missing value after " + a).c_str());
      return argv[++i];
    };
    if (a == "--divisor") {
      const long d = std::strtol(value().c_str(), nullptr, 10);
      if (d <= 0 || d > 100000000) Usage("the divisor must be 1 to 100000000");
      instrument.divisor = uint32_t(d);
    } else if (a == "--code") {
      code = value();
    } else if (a == "--market") {
      instrument.market = uint8_t(std::strtoul(value().c_str(), nullptr, 10));
    } else if (a == "--kind") {
      instrument.kind = uint8_t(std::strtoul(value().c_str(), nullptr, 10));
    } else if (a == "--period") {
      const std::string p = value();
      periodKind = uint8_t(std::strtoul(p.c_str(), nullptr, 10));
      const size_t comma = p.find(',');
      periodMultiple = comma == std::string::npos ? 1 : uint32_t(std::strtoul(p.c_str() + comma + 1, nullptr, 10));
    } else if (a == "--param") {
      const std::string p = value();
      const size_t eq = p.find('=');
      double v = 0;
      if (eq == std::string::npos || !ParseNumber(p.substr(eq + 1), v)) Usage("--param wants NAME=VALUE");
      params.emplace_back(p.substr(0, eq), v);
    } else if (a == "--gbk") {
      encoding = 1;
    } else if (a == "--utf8") {
      encoding = 2;
    } else if (a == "--only") {
      only = value();
    } else if (a == "--precision") {
      precision = std::max(1, std::min(17, int(std::strtol(value().c_str(), nullptr, 10))));
    } else if (a == "--help" || a == "-h") {
      Usage(nullptr);
    } else if (!a.empty() && a[0] == '-') {
      Usage(("unknown option " + a).c_str());
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2) Usage("a formula file and a bar file are needed");

  std::string text;
  if (!ReadFile(files[0], text)) {
    std::fprintf(stderr, "formula_tool: cannot read %s\n", files[0]);
    return 1;
  }
  if (text.find('\0') != std::string::npos) text.resize(text.find('\0'));
  if (encoding == 2 || (encoding == 0 && IsUtf8(text))) text = platform::Utf8ToGbk(text);

  ToolMarket market(instrument);
  SetIndexMarket(&market);
  CKvIndex formula;
  for (const auto &p : params) {
    CKvIndexParam record{};
    const std::string name = platform::Utf8ToGbk(p.first);
    std::snprintf(record.name, sizeof record.name, "%s", name.c_str());
    record.minimum = -1e300;
    record.maximum = 1e300;
    record.defaultValue = record.value = p.second;
    record.reserved = 1;
    if (!formula.AddParam(record)) {
      std::fprintf(stderr, "formula_tool: parameter %s is repeated or one too many\n", p.first.c_str());
      return 1;
    }
  }
  if (!formula.Compile(text.c_str(), true)) {
    std::printf("error: %s at byte %d, length %u\n", Utf8(formula.errorText).c_str(), formula.errorPos,
                formula.errorLen);
    return 1;
  }

  std::ifstream bars(files[1]);
  if (!bars) {
    std::fprintf(stderr, "formula_tool: cannot read %s\n", files[1]);
    return 1;
  }
  std::vector<KLINEBAR> series;
  std::string line;
  for (size_t number = 1; std::getline(bars, line); ++number) {
    if (line.empty() || line == "\r") continue;
    if (series.empty() && !(line[0] >= '0' && line[0] <= '9')) continue;  // a header
    KLINEBAR bar;
    std::string reason;
    if (!ParseBar(line, instrument.divisor, bar, reason)) {
      std::fprintf(stderr, "formula_tool: %s line %zu: %s\n", files[1], number, reason.c_str());
      return 1;
    }
    series.push_back(bar);
  }

  char owner[32] = {};
  std::snprintf(owner, sizeof owner, "%s", code.c_str());
  for (char *c = owner; *c; ++c)
    if (*c >= 'a' && *c <= 'z') *c = char(*c - 32);
  formula.Calculate(nullptr, owner, periodKind, periodMultiple, market.Info(), series.data(),
                    uint32_t(series.size()), false, false);

  if (only.find('s') != std::string::npos) {
    std::printf("# statements: index,name,output,style,precision,color,linethick,full-recalculation\n");
    for (uint32_t i = 0; i < formula.VariableCount(); ++i) {
      const CKvIndexVariable &v = *formula.GetVariable(int32_t(i));
      char color[16] = "-";
      if (v.flags & kVariableHasColor) std::snprintf(color, sizeof color, "0x%06X", unsigned(v.Color()));
      std::printf("%u,%s,%d,%d,%d,%s,%d,%d\n", i, ColumnName(v, i).c_str(), (v.flags & kVariableOutput) ? 1 : 0,
                  v.style, v.precision, color, v.lineThick, (v.flags & kIndexFullRecalcOnly) ? 1 : 0);
    }
    std::printf("# drawing statements: %zu; reference lines:", formula.draws.size());
    for (uint32_t i = 0; i < formula.refLineCount; ++i)
      std::printf(" %.*f", formula.refLines[i].decimals, formula.refLines[i].value);
    std::printf("\n");
  }
  if (only.find('r') != std::string::npos) {
    std::printf("# reverse Polish code\n");
    for (uint32_t i = 0; i < formula.VariableCount(); ++i) {
      const CKvIndexVariable &v = *formula.GetVariable(int32_t(i));
      std::string rpn;
      if (v.expression)
        for (uint32_t k = 0; k < v.expression->TokenCount(); ++k) {
          if (k) rpn += ' ';
          rpn += TokenText(*v.expression, v.expression->Tokens()[k], formula);
        }
      std::printf("%s: %s\n", ColumnName(v, i).c_str(), rpn.c_str());
    }
  }
  if (only.find('v') != std::string::npos) {
    std::printf("bar,date,time");
    std::vector<uint32_t> columns;
    for (uint32_t i = 0; i < formula.VariableCount(); ++i) {
      const CKvIndexVariable &v = *formula.GetVariable(int32_t(i));
      if (v.style >= kStyleKStick && v.style <= kStylePointFigure) continue;
      columns.push_back(i);
      std::printf(",%s", ColumnName(v, i).c_str());
    }
    std::printf("\n");
    for (uint32_t b = 0; b < formula.calcCount; ++b) {
      const PackedDateTime t = series[b].time;
      std::printf("%u,%04u%02u%02u,%02u%02u", b, PackedYear(t), PackedMonth(t), PackedDay(t), PackedHour(t),
                  PackedMinute(t));
      for (uint32_t i : columns) std::printf(",%.*g", precision, formula.GetVariable(int32_t(i))->GetValue(b));
      std::printf("\n");
    }
  }
  SetIndexMarket(nullptr);
  return 0;
}
