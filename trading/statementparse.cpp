// The settlement statement parsers: layout A ('|' columns), layout B
// (blank-separated columns), layout C (a ruled grid whose blank runs become
// '|') and its floating variant. Each appends what it finds to the report's
// arrays.
//
// Every field is taken by a small scanner that reads the formats the way
// sscanf does (a conversion that finds nothing ends the row, the fields
// after it stay zero or empty) but copies a text into its field cut at the
// field's width less one, never leaving half a character; a '|' that is the
// second byte of a character does not end a field.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/emem.h"
#include "platform/gbk.h"
#include "platform/path.h"
#include "trading/accountreport.h"

namespace {

bool IsBlank(unsigned char c) { return (c >= 1 && c <= 32) || c == 127; }
bool IsLead(const char *p) {
  return platform::IsGbkLead(static_cast<unsigned char>(p[0])) && platform::IsGbkTrail(static_cast<unsigned char>(p[1]));
}

// At most width - 1 of length bytes, never half a character, and a NUL.
void CutCopy(char *out, size_t width, const char *text, size_t length) {
  if (!width) return;
  size_t at = 0;
  while (at < length && text[at]) {
    const size_t step = IsLead(text + at) && at + 1 < length ? 2 : 1;
    if (at + step > width - 1) break;
    at += step;
  }
  if (at) memcpy(out, text, at);
  out[at] = '\0';
}

template <size_t N>
void CutCopy(char (&out)[N], const char *text) {
  CutCopy(out, N, text, strlen(text));
}

bool StartsWith(const char *line, const char *text) { return strncmp(line, text, strlen(text)) == 0; }
bool Contains(const char *line, const char *text) { return strstr(line, text) != nullptr; }

// A number as strtod reads it; a text that is no number, or one that is
// not finite, reads as nothing.
bool ReadNumber(const char *text, double *value, const char **end = nullptr) {
  char *stop = nullptr;
  const double v = strtod(text, &stop);
  if (stop == text || !std::isfinite(v)) return false;
  *value = v;
  if (end) *end = stop;
  return true;
}

double NumberOf(const char *text) {
  double v = 0;
  return ReadNumber(text, &v) ? v : 0.0;
}

int32_t IntegerOf(const char *text) {
  const long v = strtol(text, nullptr, 10);
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// One destination of the scanner.
struct ScanField {
  char kind;  // 't' text (%[^|] or %s), 'f' double, 'd' integer
  void *out;
  size_t width;
};
template <size_t N>
ScanField T(char (&text)[N]) {
  return {'t', text, N};
}
ScanField F(double &v) { return {'f', &v, 0}; }
ScanField D(int32_t &v) { return {'d', &v, 0}; }

// Reads the line by the format into the fields in order; returns the
// number of conversions made.
int Scan(const char *line, const char *format, std::initializer_list<ScanField> fields) {
  const ScanField *field = fields.begin();
  int made = 0;
  const char *in = line;
  for (const char *f = format; *f;) {
    if (*f != '%') {
      if (IsBlank(static_cast<unsigned char>(*f))) {
        while (IsBlank(static_cast<unsigned char>(*in))) ++in;
        ++f;
        continue;
      }
      if (*in != *f) return made;
      ++in, ++f;
      continue;
    }
    if (field == fields.end()) return made;
    if (StartsWith(f, "%[^|]")) {
      f += 5;
      const char *start = in;
      while (*in && *in != '|') in += IsLead(in) ? 2 : 1;
      if (in == start) return made;
      CutCopy(static_cast<char *>(field->out), field->width, start, size_t(in - start));
    } else if (StartsWith(f, "%s")) {
      f += 2;
      while (IsBlank(static_cast<unsigned char>(*in))) ++in;
      const char *start = in;
      while (*in && !IsBlank(static_cast<unsigned char>(*in))) in += IsLead(in) ? 2 : 1;
      if (in == start) return made;
      CutCopy(static_cast<char *>(field->out), field->width, start, size_t(in - start));
    } else if (StartsWith(f, "%lf")) {
      f += 3;
      const char *end = nullptr;
      double v = 0;
      if (!ReadNumber(in, &v, &end)) return made;
      *static_cast<double *>(field->out) = v;
      in = end;
    } else if (StartsWith(f, "%d")) {
      f += 2;
      char *end = nullptr;
      const long v = strtol(in, &end, 10);
      if (end == in) return made;
      *static_cast<int32_t *>(field->out) = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
      in = end;
    } else {
      return made;
    }
    ++field, ++made;
  }
  return made;
}

// The blank-separated tokens of a line (runs of blanks count as one), into
// a list whose storage the caller keeps from line to line.
const std::vector<std::string> &Tokens(const char *line, std::vector<std::string> &tokens) {
  size_t count = 0;
  const char *p = line;
  while (*p) {
    while (IsBlank(static_cast<unsigned char>(*p))) ++p;
    const char *start = p;
    while (*p && !IsBlank(static_cast<unsigned char>(*p))) p += IsLead(p) ? 2 : 1;
    if (p == start) break;
    if (count == tokens.size()) tokens.emplace_back();
    tokens[count++].assign(start, size_t(p - start));
  }
  tokens.resize(count);
  return tokens;
}

// The i-th token into a field ("" past the end).
template <size_t N>
void TokenTo(char (&out)[N], const std::vector<std::string> &tokens, size_t i) {
  CutCopy(out, i < tokens.size() ? tokens[i].c_str() : "");
}
// Two adjacent tokens joined into one field (a contract's product and month).
template <size_t N>
void JoinedTokensTo(char (&out)[N], const std::vector<std::string> &tokens, size_t i) {
  std::string joined = i < tokens.size() ? tokens[i] : std::string();
  if (i + 1 < tokens.size()) joined += tokens[i + 1];
  CutCopy(out, joined.c_str());
}
int32_t TokenInteger(const std::vector<std::string> &tokens, size_t i) {
  return i < tokens.size() ? IntegerOf(tokens[i].c_str()) : 0;
}
double TokenNumber(const std::vector<std::string> &tokens, size_t i) {
  return i < tokens.size() ? NumberOf(tokens[i].c_str()) : 0.0;
}

// A statement read line by line into a buffer of a fixed size: a longer
// line is cut (never inside a character) and its rest passed over; every
// line is trimmed. The end of the text, or 50 empty lines in a row, ends
// the statement. The statement is a file, or a text already in memory.
class LineReader {
 public:
  LineReader(const char *path, size_t size, const std::string *text) : buffer_(size), text_(text) {
    if (text_) return;
    FILE *file = fopen(platform::ResolvePath(path).c_str(), "rb");
    if (!file) return;
    char chunk[16384];
    size_t n = 0;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) own_.append(chunk, n);
    fclose(file);
    text_ = &own_;
  }
  LineReader(const LineReader &) = delete;
  LineReader &operator=(const LineReader &) = delete;
  bool Open() const { return text_ != nullptr; }
  void Close() { text_ = nullptr; }

  char *Next() {
    if (!text_ || empties_ >= 50 || at_ >= text_->size()) return nullptr;
    const char *start = text_->data() + at_;
    const size_t rest = text_->size() - at_;
    const char *end = static_cast<const char *>(memchr(start, '\n', rest));
    const size_t length = end ? size_t(end - start) : rest;
    at_ += end ? length + 1 : length;
    size_t n = std::min(length, buffer_.size() - 1);
    // A line cut in the middle of a character loses the lone lead byte.
    if (n < length) {
      size_t whole = 0;
      while (whole < n) {
        const bool lead = platform::IsGbkLead(static_cast<unsigned char>(start[whole]));
        if (lead && whole + 1 >= n) break;
        whole += lead ? 2 : 1;
      }
      n = whole;
    }
    memcpy(buffer_.data(), start, n);
    buffer_[n] = '\0';
    Trim(buffer_.data());
    empties_ = buffer_[0] ? 0 : empties_ + 1;
    return buffer_.data();
  }

 private:
  std::vector<char> buffer_;
  std::string own_;
  const std::string *text_ = nullptr;
  size_t at_ = 0;
  int empties_ = 0;
};

template <class R>
void SetOnly(EArray<R> &array, double value) {
  array.RemoveAll();
  array.Add(R{value});
}

template <class R>
void SetOnlyDated(EArray<R> &array, const char *date, double value) {
  R record{};
  CutCopy(record.date, date);
  record.value = value;
  array.RemoveAll();
  array.Add(record);
}

template <class R>
void AddDated(EArray<R> &array, const char *date, double value) {
  R record{};
  CutCopy(record.date, date);
  record.value = value;
  array.Add(record);
}

// The name and id of an account line: "<id label>%s ... <name label>%s".
void ReadAccountLine(char *line, const char *idLabel, const char *nameLabel, char (&name)[32], char (&id)[16]) {
  char *at = strstr(line, nameLabel);
  std::string nameFormat = std::string(nameLabel) + "%s";
  Scan(at, nameFormat.c_str(), {T(name)});
  *at = '\0';
  if (char *idAt = strstr(line, idLabel)) {
    std::string idFormat = std::string(idLabel) + "%s";
    Scan(idAt, idFormat.c_str(), {T(id)});
  }
}

}  // namespace

int RemoveBlanks(char *out, const char *in) {
  int n = 0;
  for (; *in; ++in)
    if (!IsBlank(static_cast<unsigned char>(*in))) out[n++] = *in;
  out[n] = '\0';
  return n;
}

void CollapseBlanks(char separator, char *out, const char *in) {
  size_t n = 0;
  while (*in) {
    if (IsBlank(static_cast<unsigned char>(*in))) {
      while (IsBlank(static_cast<unsigned char>(*in))) ++in;
      out[n++] = separator;
      continue;
    }
    out[n++] = *in++;
  }
  out[n] = '\0';
}

void CopyAfterLabel(char *out, size_t outSize, const char *text, size_t labelLength, size_t length) {
  const size_t have = strlen(text);
  const char *from = labelLength < have ? text + labelLength : text + have;
  const size_t rest = strlen(from);
  CutCopy(out, outSize, from, length < rest ? length : rest);
}

// ---- layout A ----

void TAccountReport::ParseStatementA(const char *path) {
  LineReader reader(path, 4096, statementText_);
  if (!reader.Open()) return;
  std::vector<std::string> words;
  inTrades_ = inClosed_ = inPositions_ = false;
  char date[16] = {};
  // This statement's positions take the place of the period's only once
  // the statement has been read to its end: a statement met a second time
  // stops at its date and leaves the positions as they were.
  std::vector<ChiCangMingXi> statementPositions;
  bool duplicate = false;
  std::vector<char> plain(4096);
  while (char *line = reader.Next()) {
    if (Contains(line, "客户号")) {
      if (Contains(line, "客户名称")) ReadAccountLine(line, "客户号：", "客户名称：", holderName, accountId);
      continue;
    }
    if (inTrades_) {
      if (StartsWith(line, "|共")) {
        inTrades_ = false;
      } else if (line[0] && !Contains(line, "成交日期") && line[0] != '-') {
        RemoveBlanks(plain.data(), line);
        ChengJiaoJiLu t{};
        char part1[20] = {}, part2[20] = {};
        Scan(plain.data(), "|%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%lf|%d|%lf|%[^|]|%lf|%lf|%[^|]|",
             {T(t.firstColumn), T(t.secondColumn), T(part1), T(part2), T(t.direction), T(t.hedgeFlag), F(t.price),
              D(t.volume), F(t.amount), T(t.openClose), F(t.fee), F(t.closeProfit), T(t.tradeRef)});
        CutCopy(t.contract, (std::string(part1) + part2).c_str());
        CutCopy(t.statementDate, date);
        trades.Add(t);
      }
      continue;
    }
    if (StartsWith(line, "成交")) {
      inTrades_ = true;
      continue;
    }
    if (inClosed_) {
      if (StartsWith(line, "|共")) {
        inClosed_ = false;
      } else if (line[0] && !Contains(line, "平仓日期") && line[0] != '-') {
        RemoveBlanks(plain.data(), line);
        PingCangMingXi c{};
        char part1[20] = {}, part2[20] = {};
        Scan(plain.data(), "|%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%d|%lf|%lf|%lf|%lf|",
             {T(c.closeDate), T(c.exchange), T(part1), T(part2), T(c.openDate), T(c.direction), D(c.volume),
              F(c.openPrice), F(c.prevSettle), F(c.closePrice), F(c.profit)});
        CutCopy(c.contract, (std::string(part1) + part2).c_str());
        closedLots.Add(c);
      }
      continue;
    }
    if (StartsWith(line, "平仓明")) {
      inClosed_ = true;
      continue;
    }
    if (inPositions_) {
      if (StartsWith(line, "|共")) {
        inPositions_ = false;
      } else if (line[0] && !Contains(line, "品种") && line[0] != '-') {
        RemoveBlanks(plain.data(), line);
        ChiCangMingXi p{};
        char part1[20] = {}, part2[20] = {};
        double unused1 = 0, unused2 = 0;
        Scan(plain.data(), "|%[^|]|%[^|]|%d|%lf|%d|%lf|%lf|%lf|%lf|%lf|%[^|]",
             {T(part1), T(part2), D(p.buyVolume), F(p.buyAverage), D(p.sellVolume), F(p.sellAverage), F(unused1),
              F(unused2), F(p.profit), F(p.margin), T(p.hedgeFlag)});
        CutCopy(p.contract, (std::string(part1) + part2).c_str());
        statementPositions.push_back(p);
      }
      continue;
    }
    if (StartsWith(line, "持仓汇总")) {
      inPositions_ = true;
      continue;
    }

    // The figures. A number on the line is the value, 0.00 included.
    if (StartsWith(line, "日期")) {
      char text[16] = {};
      CopyAfterLabel(text, sizeof text, line, 6, sizeof text - 1);
      Trim(text);
      const long value = atol(text);
      bool seen = false;
      for (int32_t i = 0; i < dates.GetCount() && !seen; ++i) seen = atol(dates.GetData()[i].date) == value;
      if (seen) {
        duplicate = true;
        break;
      }
      TongJiRiQi d{};
      CutCopy(d.date, text);
      dates.Add(d);
      CutCopy(date, text);
      continue;
    }
    const std::vector<std::string> &tokens = Tokens(line, words);
    double v = 0;
    if (StartsWith(line, "期初结存")) {
      for (size_t i = 1; i < tokens.size(); ++i)
        if (ReadNumber(tokens[i].c_str(), &v)) {
          if (priceBegin.IsEmpty()) AddDated(priceBegin, date, v);
          break;
        }
    } else if (StartsWith(line, "持仓盯市盈亏")) {
      for (size_t i = 1; i < tokens.size(); ++i)
        if (ReadNumber(tokens[i].c_str(), &v)) {
          SetOnly(positionProfits, v);
          break;
        }
    } else if (StartsWith(line, "平仓盈亏")) {
      for (size_t i = 1; i < tokens.size(); ++i) {
        if (StartsWith(tokens[i].c_str(), "质")) break;
        if (ReadNumber(tokens[i].c_str(), &v)) {
          closeProfits.Add(PingCangYingKui{v});
          break;
        }
      }
    } else if (StartsWith(line, "手 续 费")) {
      bool margin = false, feeTaken = false;
      for (size_t i = 0; i < tokens.size(); ++i) {
        const char *token = tokens[i].c_str();
        if (StartsWith(token, "保证金占用")) margin = true;
        if (margin) {
          if (StartsWith(token, "基础保证金")) break;
          if (ReadNumber(token, &v)) {
            SetOnly(margins, v);
            break;
          }
        } else if (!feeTaken && ReadNumber(token, &v)) {
          fees.Add(ShouXuFei{v});
          feeTaken = true;
        }
      }
    } else if (StartsWith(line, "出 入 金")) {
      bool moveTaken = false;
      for (size_t i = 0; i < tokens.size(); ++i) {
        const char *token = tokens[i].c_str();
        if (StartsWith(token, "期末结存")) {
          if (i + 1 < tokens.size() && ReadNumber(tokens[i + 1].c_str(), &v)) {
            AddDated(priceBegin, date, v);
            SetOnlyDated(priceEnd, date, v);
          }
          for (size_t j = i + 1; j < tokens.size(); ++j)
            if (StartsWith(tokens[j].c_str(), "可用资金")) {
              if (j + 1 < tokens.size() && ReadNumber(tokens[j + 1].c_str(), &v)) SetOnly(available, v);
              break;
            }
          break;
        }
        if (!moveTaken && ReadNumber(token, &v)) {
          if (v != 0) cashMoves.Add(ChuRuJin{v});
          moveTaken = true;
        }
      }
    }
  }
  if (duplicate) return;
  positionsA.RemoveAll();
  for (const ChiCangMingXi &p : statementPositions) positionsA.Add(p);
}

// ---- layout B ----

void TAccountReport::ParseStatementB(const char *path) {
  LineReader reader(path, 1024, statementText_);
  if (!reader.Open()) return;
  std::vector<std::string> words;
  inTrades_ = inClosed_ = inPositions_ = false;
  positions.RemoveAll();
  SetOnly(positionProfits, 0.0);
  char date[16] = {};
  std::vector<char> plain(1024);
  while (char *line = reader.Next()) {
    if (Contains(line, "客户号:")) {
      if (Contains(line, "客户名称")) ReadAccountLine(line, "客户号:", "客户名称:", holderName, accountId);
      continue;
    }
    if (inTrades_ && StartsWith(line, "共")) {
      inTrades_ = false;
      continue;
    }
    if (inTrades_ && line[0] == '2') {
      const std::vector<std::string> &k = Tokens(line, words);
      ChengJiaoJiLu t{};
      TokenTo(t.firstColumn, k, 0);
      TokenTo(t.secondColumn, k, 1);
      JoinedTokensTo(t.contract, k, 2);
      TokenTo(t.direction, k, 4);
      t.price = TokenNumber(k, 5);
      t.volume = TokenInteger(k, 6);
      TokenTo(t.openClose, k, 7);
      t.amount = TokenNumber(k, 8);
      t.fee = TokenNumber(k, 9);
      TokenTo(t.hedgeFlag, k, 10);
      t.closeProfit = TokenNumber(k, 11);
      CutCopy(t.statementDate, date);
      trades.Add(t);
      continue;
    }
    if (StartsWith(line, "成交记录")) {
      inTrades_ = true;
      continue;
    }
    if (inClosed_ && StartsWith(line, "共")) {
      inClosed_ = false;
      continue;
    }
    if (inClosed_ && line[0] == '2') {
      const std::vector<std::string> &k = Tokens(line, words);
      PingCangMingXi c{};
      TokenTo(c.closeDate, k, 0);
      TokenTo(c.exchange, k, 1);
      JoinedTokensTo(c.contract, k, 2);
      TokenTo(c.direction, k, 5);
      c.closePrice = TokenNumber(k, 6);
      TokenTo(c.openDate, k, 7);
      c.openPrice = TokenNumber(k, 8);
      c.volume = TokenInteger(k, 9);
      c.prevSettle = TokenNumber(k, 10);
      c.profit = TokenNumber(k, 11);
      CutCopy(c.statementDate, date);
      closedLots.Add(c);
      continue;
    }
    if (StartsWith(line, "平仓明")) {
      inClosed_ = true;
      continue;
    }
    if (inPositions_) {
      if (StartsWith(line, "共")) inPositions_ = false;
      if (StartsWith(line, "共") || StartsWith(line, "交易所") || line[0] == '-' || !line[0]) continue;
      const std::vector<std::string> &k = Tokens(line, words);
      ChiCangMingXiJsd p{};
      TokenTo(p.exchange, k, 0);
      JoinedTokensTo(p.contract, k, 1);
      p.buyVolume = TokenInteger(k, 3);
      p.buyAverage = TokenNumber(k, 4);
      p.sellVolume = TokenInteger(k, 5);
      p.sellAverage = TokenNumber(k, 6);
      p.settlePrice = TokenNumber(k, 8);
      p.profit = TokenNumber(k, 9);
      p.value6 = TokenNumber(k, 10);
      p.margin = TokenNumber(k, 11);
      TokenTo(p.hedgeFlag, k, 12);
      CutCopy(p.statementDate, date);
      positions.Add(p);
      positionProfits.GetData()[0].value += p.profit;
      continue;
    }
    if (StartsWith(line, "持仓汇")) {
      inPositions_ = true;
      continue;
    }

    if (StartsWith(line, "日  期")) {
      char text[16] = {};
      CopyAfterLabel(text, sizeof text, line, 7, sizeof text - 1);
      Trim(text);
      TongJiRiQi d{};
      CutCopy(d.date, text);
      dates.Add(d);
      CutCopy(date, text);
    } else if (StartsWith(line, "出入金")) {
      RemoveBlanks(plain.data(), line);
      double move = 0, equity = 0, risk = 0;
      Scan(plain.data(), "出入金:%lf客户权益:%lf风险度:%lf", {F(move), F(equity), F(risk)});
      cashMoves.Add(ChuRuJin{move});
    } else if (StartsWith(line, "手续费")) {
      RemoveBlanks(plain.data(), line);
      double fee = 0, margin = 0, call = 0;
      Scan(plain.data(), "手续费:%lf保证金占用:%lf追加保证金:%lf", {F(fee), F(margin), F(call)});
      fees.Add(ShouXuFei{fee});
      SetOnly(margins, margin);
    } else if (StartsWith(line, "平仓盈亏")) {
      RemoveBlanks(plain.data(), line);
      double profit = 0, delivery = 0, call = 0;
      Scan(plain.data(), "平仓盈亏:%lf交割保证金:%lf追加保证金:%lf", {F(profit), F(delivery), F(call)});
      closeProfits.Add(PingCangYingKui{profit});
    } else if (StartsWith(line, "上日结存")) {
      const std::vector<std::string> &k = Tokens(line, words);
      if (priceBegin.IsEmpty() && k.size() > 1) AddDated(priceBegin, "", NumberOf(k[1].c_str()));
      for (size_t i = 1; i < k.size(); ++i) {
        if (StartsWith(k[i].c_str(), "当日结存:")) {
          const double v = TokenNumber(k, i + 1);
          SetOnlyDated(priceEnd, date, v);
          AddDated(priceBegin, date, v);
        } else if (StartsWith(k[i].c_str(), "可用资金:")) {
          SetOnly(available, TokenNumber(k, i + 1));
        }
      }
    }
  }
}

// ---- layout C ----

namespace {

// The ruled-grid rows: blank runs made '|'.
struct GridRow {
  explicit GridRow(const char *line) : text(strlen(line) + 1) { CollapseBlanks('|', text.data(), line); }
  const char *c_str() const { return text.data(); }
  std::vector<char> text;
};

bool IsRule(const char *line) { return line[0] == '-' || StartsWith(line, "━"); }

// A leading '.' of a grid line counts as a blank.
void DotAsBlank(char *line) {
  if (line[0] != '.') return;
  line[0] = ' ';
  Trim(line);
}

// The account block of the grid layouts: its title, the header starting
// "资产帐号", then the first line that is no rule holds the id, the name and
// the statement date. True when the line belonged to the block.
bool AccountBlock(const char *line, const char *title, int &state, char (&id)[16], char (&name)[32],
                  char (&date)[16]) {
  if (StartsWith(line, title)) {
    state = 1;
    return true;
  }
  if (state == 1 && StartsWith(line, "资产帐号")) {
    state = 2;
    return true;
  }
  if (state != 2 || !line[0] || line[0] == '-') return false;
  state = 0;
  const GridRow row(line);
  char rest[16] = {};
  Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%s", {T(id), T(name), T(date), T(rest)});
  return true;
}

// A position row of the grid layouts in the long format: a reference that
// is not kept, then contract, volumes, averages, settlement price, a number
// not kept, profit and margin.
ChiCangMingXiJsd LongPositionRow(const char *line) {
  const GridRow row(line);
  ChiCangMingXiJsd p{};
  double unused = 0;
  char reference[32] = {};
  Scan(row.c_str(), "%[^|]|%[^|]|%d|%lf|%d|%lf|%lf|%lf|%lf|%lf",
       {T(reference), T(p.contract), D(p.buyVolume), F(p.buyAverage), D(p.sellVolume), F(p.sellAverage),
        F(p.settlePrice), F(unused), F(p.profit), F(p.margin)});
  return p;
}

}  // namespace

void TAccountReport::ParseStatementC(const char *path) {
  // A padded row is longer than 200 bytes; the fee stands at its end.
  LineReader reader(path, 1024, statementText_);
  if (!reader.Open()) return;
  inTrades_ = inClosed_ = inPositions_ = false;
  positions.RemoveAll();
  positionProfits.RemoveAll();
  char date[16] = {};
  int accountState = 0;  // 1 title seen, 2 header seen: the next row is the account's
  bool cashArmed = false, longTrades = false, longClosed = false, shortPositions = false;
  double closedSum = 0, positionSum = 0;
  while (char *line = reader.Next()) {
    DotAsBlank(line);
    if (StartsWith(line, "交易结算单（浮动）")) {
      reader.Close();
      ParseStatementCFloating(path);
      return;
    }
    if (AccountBlock(line, "客户帐单_交易编码", accountState, accountId, holderName, date)) continue;
    if (StartsWith(line, "客户帐单_资金清单")) {
      cashArmed = true;
      continue;
    }
    if (cashArmed) {
      if (!line[0] || IsRule(line) || StartsWith(line, "期初权益") || StartsWith(line, "期初结存") ||
          StartsWith(line, "上日权益"))
        continue;
      cashArmed = false;
      GridRow row(line);
      if (char *percent = strchr(row.text.data(), '%')) memmove(percent, percent + 1, strlen(percent));
      double v[12] = {};
      Scan(row.c_str(), "%lf|%lf|%lf|%lf|%lf|%lf|%lf|%lf|%lf|%lf|%lf",
           {F(v[1]), F(v[2]), F(v[3]), F(v[4]), F(v[5]), F(v[6]), F(v[7]), F(v[8]), F(v[9]), F(v[10]), F(v[11])});
      if (v[2] > 0) cashMoves.Add(ChuRuJin{v[2]});
      if (v[3] > 0) cashMoves.Add(ChuRuJin{-v[3]});
      fees.Add(ShouXuFei{v[4]});
      SetOnly(margins, v[9]);
      SetOnly(available, v[7]);
      if (priceBegin.IsEmpty()) AddDated(priceBegin, date, v[1]);
      SetOnlyDated(priceEnd, date, v[6]);
      AddDated(priceBegin, date, v[6]);
      continue;
    }
    if (Contains(line, "成交记录")) {
      inTrades_ = true;
      continue;
    }
    if (inTrades_) {
      if (StartsWith(line, "合计")) {
        inTrades_ = false;
      } else if (StartsWith(line, "成交日期")) {
        longTrades = Contains(line, "成交金额");
      } else if (line[0] && !IsRule(line)) {
        const GridRow row(line);
        ChengJiaoJiLu t{};
        if (longTrades)
          Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%lf|%d|%lf|%[^|]|%lf",
               {T(t.firstColumn), T(t.secondColumn), T(t.contract), T(t.tradeRef), T(t.direction), F(t.price),
                D(t.volume), F(t.amount), T(t.openClose), F(t.fee)});
        else
          Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%lf|%d|%[^|]|%lf",
               {T(t.firstColumn), T(t.secondColumn), T(t.contract), T(t.tradeRef), T(t.direction), F(t.price),
                D(t.volume), T(t.openClose), F(t.fee)});
        CutCopy(t.statementDate, date);
        trades.Add(t);
      }
      continue;
    }
    if (Contains(line, "平仓盈亏单")) {
      inClosed_ = true;
      continue;
    }
    if (inClosed_) {
      if (StartsWith(line, "合计")) {
        inClosed_ = false;
      } else if (StartsWith(line, "平仓日期")) {
        longClosed = Contains(line, "平仓编号");
      } else if (line[0] && !IsRule(line)) {
        const GridRow row(line);
        PingCangMingXi c{};
        char unused[32] = {};
        if (longClosed)
          Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%lf|%lf|%d|%lf|%lf|%[^|]|%[^|]",
               {T(c.closeDate), T(c.exchange), T(c.contract), T(c.closeRef), T(c.direction), F(c.closePrice),
                F(c.openPrice), D(c.volume), F(c.prevSettle), F(c.profit), T(unused), T(c.openDate)});
        else
          Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%[^|]|%lf|%lf|%d|%lf|%lf|%[^|]|%[^|]",
               {T(c.closeDate), T(c.exchange), T(c.contract), T(c.direction), F(c.closePrice), F(c.openPrice),
                D(c.volume), F(c.prevSettle), F(c.profit), T(unused), T(c.openDate)});
        closedLots.Add(c);
        closedSum += c.profit;
      }
      continue;
    }
    if (Contains(line, "持仓盈亏单")) {
      inPositions_ = true;
      continue;
    }
    if (inPositions_) {
      if (StartsWith(line, "合计")) {
        inPositions_ = false;
      } else if (StartsWith(line, "合约")) {
        shortPositions = true;
      } else if (line[0] && !IsRule(line) && !StartsWith(line, "成交编号")) {
        ChiCangMingXiJsd p{};
        if (shortPositions) {
          const GridRow row(line);
          double unused = 0;
          Scan(row.c_str(), "%[^|]|%d|%lf|%d|%lf|%lf|%lf|%lf|%lf",
               {T(p.contract), D(p.buyVolume), F(p.buyAverage), D(p.sellVolume), F(p.sellAverage), F(p.settlePrice),
                F(unused), F(p.profit), F(p.margin)});
        } else {
          p = LongPositionRow(line);
        }
        positions.Add(p);
        positionSum += p.profit;
      }
      continue;
    }
  }
  SetOnly(positionProfits, positionSum);
  closeProfits.Add(PingCangYingKui{closedSum});
}

void TAccountReport::ParseStatementCFloating(const char *path) {
  LineReader reader(path, 1024, statementText_);
  if (!reader.Open()) return;
  inTrades_ = inClosed_ = inPositions_ = false;
  positions.RemoveAll();
  SetOnly(positionProfits, 0.0);
  char date[16] = {};
  int accountState = 0;
  bool inCash = false;
  // The number right after a label on the line, when the label is there.
  auto labelled = [](const char *line, const char *label, double *value) {
    const char *at = strstr(line, label);
    if (!at) return false;
    *value = NumberOf(at + strlen(label));
    return true;
  };
  while (char *line = reader.Next()) {
    DotAsBlank(line);
    if (AccountBlock(line, "期货客户帐单_交易编码", accountState, accountId, holderName, date)) continue;
    if (StartsWith(line, "期货客户帐单_资金清单")) {
      inCash = true;
      continue;
    }
    if (Contains(line, "成交记录单")) {
      inCash = false;
      inTrades_ = true;
      continue;
    }
    if (Contains(line, "平仓盈亏单")) {
      inCash = false;
      inClosed_ = true;
      continue;
    }
    if (Contains(line, "持仓盈亏单")) {
      inCash = false;
      inPositions_ = true;
      continue;
    }
    if (inTrades_) {
      if (line[0] == '0') {
        inTrades_ = false;
      } else if (line[0] && !IsRule(line) && !StartsWith(line, "成交日期")) {
        const GridRow row(line);
        ChengJiaoJiLu t{};
        char unused[32] = {};
        Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%lf|%d|%lf|%[^|]|%lf",
             {T(t.firstColumn), T(t.secondColumn), T(t.contract), T(t.tradeRef), T(t.direction), T(unused),
              F(t.price), D(t.volume), F(t.amount), T(t.openClose), F(t.fee)});
        CutCopy(t.statementDate, date);
        trades.Add(t);
      }
      continue;
    }
    if (inClosed_) {
      if (line[0] == '0') {
        inClosed_ = false;
      } else if (line[0] && !IsRule(line) && !StartsWith(line, "平仓日期")) {
        const GridRow row(line);
        PingCangMingXi c{};
        Scan(row.c_str(), "%[^|]|%[^|]|%[^|]|%[^|]|%[^|]|%lf|%lf|%d|%lf|%lf",
             {T(c.closeDate), T(c.exchange), T(c.contract), T(c.closeRef), T(c.direction), F(c.closePrice),
              F(c.openPrice), D(c.volume), F(c.prevSettle), F(c.profit)});
        closedLots.Add(c);
      }
      continue;
    }
    if (inPositions_) {
      if (StartsWith(line, "合计")) {
        inPositions_ = false;
      } else if (line[0] && !IsRule(line) && !StartsWith(line, "成交编号")) {
        const ChiCangMingXiJsd p = LongPositionRow(line);
        positions.Add(p);
        positionProfits.GetData()[0].value += p.profit;
      }
      continue;
    }
    if (inCash) {
      double v = 0;
      if (labelled(line, "上日帐面资金:", &v) && priceBegin.IsEmpty()) AddDated(priceBegin, date, v);
      if (labelled(line, "期末权益:", &v)) {
        SetOnlyDated(priceEnd, date, v);
        AddDated(priceBegin, date, v);
      }
      if (labelled(line, "期间入金:", &v) && v != 0) cashMoves.Add(ChuRuJin{v});
      if (labelled(line, "期间出金:", &v) && v != 0) cashMoves.Add(ChuRuJin{-v});
      if (labelled(line, "期间手续费:", &v)) fees.Add(ShouXuFei{v});
      if (labelled(line, "持仓保证金:", &v)) SetOnly(margins, v);
      if (labelled(line, "浮动平仓盈亏:", &v)) closeProfits.Add(PingCangYingKui{v});
      if (labelled(line, "可用资金:", &v)) SetOnly(available, v);
    }
  }
}
