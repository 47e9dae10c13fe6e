#include "views/reportcolumns.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

#include "market/blocks.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/gdi.h"
#include "platform/profile.h"
#include "views/viewdisplay.h"
#include "views/viewservices.h"

const char ReportColumnTable[kReportColumnCount][kReportColumnNameSize] = {
    "序",       "名称",     "昨结",     "开盘",     "最高",     "最低",     "最新",     "成交量",
    "成交金额", "代码",     "涨跌",     "幅度%",    "振幅%",    "量比",     "强弱度",   "多空平衡",
    "多头获利", "多头停损", "空头回补", "空头停损", "委比",     "快速涨跌%", "换手率%", "市盈率",
    "现手",     "买价",     "卖价",     "结算价",   "买量",     "卖量",     "仓差",     "时间",
    "买价/卖价", "买量/卖量", "前成一", "前成二",   "前成三",   "前成四",   "前成五",   "涨停",
    "跌停",     "买均",     "卖均",     "总买",     "总卖",     "昨收",     "净资产",   "每股收益",
    "预计收益", "净利润",   "总股本",   "流通股本", "总资产",   "总负债",   "流通市值", "总市值",
    "市净率",   "权重%",    "贡献度",
};

namespace {

struct StockRecords {
  TMarketData *market = nullptr;
  const STKINFO *info = nullptr;
  const REALQUOTE *quote = nullptr;
  const FINANCE *finance = nullptr;
  const PRICEHIST *history = nullptr;
  const MKKINDINFO *kind = nullptr;
  double divisor = 1;
};

// Everything a column rule reads of one instrument; false when the
// reference lies outside the market table.
bool Records(int market, int stock, StockRecords *r) {
  TMarketData *md = MarketAt(market);
  if (!md || stock < 0 || stock >= md->m_stockCount || stock >= md->m_loadedCount || !md->m_stocks ||
      !md->m_quotes)
    return false;
  r->market = md;
  r->info = &md->m_stocks[stock];
  r->quote = &md->m_quotes[stock];
  r->finance = md->m_finance ? &md->m_finance[stock] : nullptr;
  r->history = md->m_priceHist ? &md->m_priceHist[stock] : nullptr;
  int kind = r->info->kind;
  int kinds = std::min<int>(md->m_info.kindCount, kMaxStockKinds);
  r->kind = kind < kinds ? &md->m_info.kinds[kind] : nullptr;
  r->divisor = r->info->PriceDivisor();
  return true;
}

int MarketType(const StockRecords &r) { return r.market->m_info.type; }
bool FuturesLike(int type) { return type == 2 || type == 7 || type == 8; }
bool TurnoverMarket(int type) { return type == 1 || type == 6; }
bool NoOrderBook(const StockRecords &r) { return r.kind && r.kind->noOrderBook; }

double Price(const StockRecords &r, uint32_t raw) { return double(raw) / r.divisor; }

// P: the last price, or the previous close when there was no trade.
uint32_t LastOrClose(const REALQUOTE &q) { return q.last ? q.last : q.prevClose; }

int Strength(const StockRecords &r, double *value) {
  const REALQUOTE &q = *r.quote;
  *value = 0;
  if (!q.refPrice) return 0;
  const REALQUOTE *first = QuoteOf(r.market->m_market, 0);
  uint32_t r0 = first ? first->refPrice : 0;
  if (!r0) return 1;
  uint32_t l0 = first->last;
  *value = (double(q.last) - q.refPrice) * 100 / q.refPrice - (double(l0) - r0) * 100 / r0;
  return 1;
}

int Contribution(const StockRecords &r, double *value) {
  const TViewDisplay &d = ViewDisplay();
  const REALQUOTE &q = *r.quote;
  if (!r.finance || d.referenceIndexStock < 0 || !q.last || !q.prevClose || r.finance->indexWeight == 0) return 0;
  TMarketData *m0 = MarketAt(0);
  if (!m0 || d.referenceIndexStock >= m0->m_loadedCount || d.referenceIndexStock >= m0->m_stockCount) return 0;
  const uint32_t divisor = m0->m_stocks[d.referenceIndexStock].PriceDivisor();
  *value = (double(q.last) - q.prevClose) / q.prevClose * r.finance->indexWeight * d.referenceIndexPrevClose /
           divisor;
  return 1;
}

}  // namespace

const REALQUOTE *QuoteOf(int market, int stock) {
  StockRecords r;
  return Records(market, stock, &r) ? r.quote : nullptr;
}

const FINANCE *FinanceOf(int market, int stock) {
  StockRecords r;
  return Records(market, stock, &r) ? r.finance : nullptr;
}

int GetColumnValue(uint32_t stockWord, int column, double *value) {
  STKPTR s(stockWord);
  StockRecords r;
  if (!Records(s.market, s.stock, &r)) return 0;
  const REALQUOTE &q = *r.quote;
  const FINANCE *f = r.finance;
  const int type = MarketType(r);
  auto price = [&](uint32_t raw) {
    if (!raw) return 0;
    *value = Price(r, raw);
    return 1;
  };
  auto set = [&](double v) {
    *value = v;
    return 1;
  };
  switch (column) {
    case 2: return price(q.refPrice);
    case 3: return price(q.open);
    case 4: return price(q.high);
    case 5: return price(q.low);
    case 6: return price(q.last);
    case 7: return set(q.volume);
    case 8: return set(q.amount);
    case 10:
      if (!q.last) return 0;
      return set((double(q.last) - q.refPrice) / r.divisor);
    case 11:
      if (!q.last) return 0;
      if (!q.refPrice) return *value = 0, 0;
      return set((double(q.last) - q.refPrice) * 100 / q.refPrice);
    case 12:
      if (!q.refPrice) return *value = 0, 0;
      return set((double(q.high) - q.low) * 100 / q.refPrice);
    case 13: {
      if (FuturesLike(type)) return 0;
      if (q.prevOpenInterest <= 0 || !r.kind) return set(1.0);
      return set(double(r.kind->minutesPerDay) * q.volume / q.prevOpenInterest / (r.kind->currentTradingMinute + 1));
    }
    case 14: return Strength(r, value);
    case 20: {
      if (NoOrderBook(r)) return 0;
      double b = 0, a = 0;
      for (int i = 0; i < 5; ++i) b += q.bid[i].volume, a += q.ask[i].volume;
      if (!(b + a > 0)) return 0;
      return set((b - a) * 100 / (b + a));
    }
    case 21: return set(q.fastChange);
    case 22:
      if (!f || f->floatShares == 0) return 0;
      return set(q.volume / (double(f->floatShares) * 100));
    case 23:
      if (!f || !LastOrClose(q) || f->projectedEarningsPerShare <= 0) return 0;
      return set(Price(r, LastOrClose(q)) / f->projectedEarningsPerShare);
    case 24: return set(q.lastVolume);
    case 25:
    case 26: {
      uint32_t p = column == 25 ? q.bid[0].price : q.ask[0].price;
      if (s.market <= 1 && NoOrderBook(r)) return 0;
      return price(p);
    }
    case 27: return price(q.settlement);
    case 28:
    case 29:
      if (NoOrderBook(r)) return 0;
      return set(column == 28 ? q.bid[0].volume : q.ask[0].volume);
    case 30:
      if (!FuturesLike(type)) return 0;
      return set(double(q.amount) - q.prevOpenInterest);
    case 31: {
      uint32_t raw = q.time;
      std::memcpy(value, &raw, sizeof raw);
      return 1;
    }
    case 34: case 35: case 36: case 37: case 38:
      return r.history ? price(r.history->trades[column - 34]) : 0;
    case 39: return price(q.limitUp);
    case 40: return price(q.limitDown);
    case 45: return price(q.prevClose);
    case 46: return f ? set(f->netAssetsPerShare) : 0;
    case 47: return f ? set(f->earningsPerShare) : 0;
    case 48: return f ? set(f->projectedEarningsPerShare) : 0;
    case 49: return f ? set(double(f->netProfit) * 10000) : 0;
    case 50: return f ? set(double(f->totalShares) * 10000) : 0;
    case 51: return f ? set(double(f->floatShares) * 10000) : 0;
    case 52: return f ? set(double(f->totalAssets) * 10000) : 0;
    case 53: return f ? set(double(f->totalLiabilities) * 10000) : 0;
    case 54:
    case 55:
      if (!f || !LastOrClose(q)) return 0;
      return set(Price(r, LastOrClose(q)) * (column == 54 ? f->floatShares : f->totalShares) * 10000);
    case 56:
      if (!f || !LastOrClose(q) || f->netAssetsPerShare <= 0) return 0;
      return set(Price(r, LastOrClose(q)) / f->netAssetsPerShare);
    case 57:
      if (!f || f->indexWeight <= 0) return 0;
      return set(double(f->indexWeight) * 100);
    case 58: return Contribution(r, value);
    default: return 0;
  }
}

int CompareColorNumber(int32_t value, int32_t reference) {
  if (value == 0 || value == reference) return 20;
  return reference < value ? 21 : 19;
}

COLORREF GetCompareColor(int32_t value, int32_t reference) {
  return ViewColor(CompareColorNumber(value, reference));
}

int SignColorNumber(double value) {
  double t = std::trunc(value * 100 + 1000000);
  if (!(t > -2147483648.0 && t < 2147483647.0)) return t > 0 ? 21 : 19;
  return CompareColorNumber(int32_t(t), 1000000);
}

void FormatBigNumber(double value, char *out, size_t size) {
  double a = std::fabs(value);
  if (a >= 1e12)
    std::snprintf(out, size, "%.2f万亿", value * 1e-12);
  else if (a >= 1e8)
    std::snprintf(out, size, "%.2f亿", value * 1e-8);
  else if (a >= 10000)
    std::snprintf(out, size, "%.2f万", value * 1e-4);
  else
    std::snprintf(out, size, "%.2f", value);
}

namespace {

void Text(ReportCellText *cell, const char *format, double value) {
  std::snprintf(cell->text, sizeof cell->text, format, value);
}

void PriceText(char *out, size_t size, const StockRecords &r, double value) {
  std::snprintf(out, size, "%.*f", int(std::min<uint8_t>(r.info->decimals, 9)), value);
}

void PerUnit(char *out, size_t size, const StockRecords &r, double value) {
  int unit = r.info->VolumeUnit();
  std::snprintf(out, size, "%.0f", value / unit);
}

// Bytes of a fixed text field, up to its NUL or its size.
void CopyField(char *out, size_t size, const char *field, size_t fieldSize) {
  size_t n = strnlen(field, fieldSize);
  if (n >= size) n = size - 1;
  std::memcpy(out, field, n);
  out[n] = 0;
}

}  // namespace

void FormatReportCell(STKPTR stock, int column, int rowNumber, ReportCellText *cell) {
  std::memset(cell, 0, sizeof *cell);
  std::strcpy(cell->text, "---");
  cell->color = 20;
  StockRecords r;
  if (column == kColRowNumber) {
    std::snprintf(cell->text, sizeof cell->text, "%d", rowNumber);
    cell->color = 18;
    cell->hasValue = true;
    return;
  }
  if (!Records(stock.market, stock.stock, &r)) return;
  const REALQUOTE &q = *r.quote;
  const int type = MarketType(r);
  double v = 0;
  const bool has = column >= 0 && column < kReportColumnCount && GetColumnValue(stock.Word(), column, &v);
  cell->hasValue = has;
  auto cmp = [&](uint32_t raw) { return CompareColorNumber(int32_t(raw), int32_t(q.refPrice)); };
  auto priceCell = [&](uint32_t raw) {
    cell->color = cmp(raw);
    if (has) PriceText(cell->text, sizeof cell->text, r, v);
  };
  auto bigOrUnit = [&]() {
    cell->color = 49;
    if (!has) return;
    if (TurnoverMarket(type))
      FormatBigNumber(v, cell->text, sizeof cell->text);
    else
      PerUnit(cell->text, sizeof cell->text, r, v);
  };
  auto fixed = [&](const char *format, int color) {
    cell->color = color;
    if (has) Text(cell, format, v);
  };
  switch (column) {
    case 1:
      cell->color = 47;
      CopyField(cell->text, sizeof cell->text, r.info->name, sizeof r.info->name);
      cell->hasValue = true;
      return;
    case 9: {
      cell->color = 47;
      const STKINFOEX *ex = r.market->m_stocksEx ? &r.market->m_stocksEx[stock.stock] : nullptr;
      if (ex && ex->code[0])
        CopyField(cell->text, sizeof cell->text, ex->code, sizeof ex->code);
      else
        CopyField(cell->text, sizeof cell->text, r.info->code, sizeof r.info->code);
      cell->hasValue = true;
      return;
    }
    case 2:
    case 45:
      cell->color = 20;
      if (has) PriceText(cell->text, sizeof cell->text, r, v);
      return;
    case 3: priceCell(q.open); return;
    case 4: priceCell(q.high); return;
    case 5: priceCell(q.low); return;
    case 6: priceCell(q.last); return;
    case 10: priceCell(q.last); return;
    case 11: fixed("%.2f", cmp(q.last)); return;
    case 7:
    case 28:
    case 29:
      cell->color = 48;
      if (has) PerUnit(cell->text, sizeof cell->text, r, v);
      return;
    case 24:
      cell->color = 50;
      if (has) PerUnit(cell->text, sizeof cell->text, r, v);
      return;
    case 8: bigOrUnit(); return;
    case 30:
      cell->color = 49;
      if (has) PerUnit(cell->text, sizeof cell->text, r, v);
      return;
    case 12: case 13: case 22: case 23: case 46: case 56: case 57: fixed("%.2f", 20); return;
    case 47: case 48: fixed("%.4f", 20); return;
    case 14: case 20: case 21: fixed("%+.2f", has ? SignColorNumber(v) : 20); return;
    case 25: priceCell(q.bid[0].price); return;
    case 26: priceCell(q.ask[0].price); return;
    case 27:
      priceCell(q.settlement);
      if (has && stock.market == 3 && r.info->kind == 3 && std::strncmp(r.info->code, "0401", 4) == 0 &&
          q.settlement % 100 != 0)
        Text(cell, "%.2f", v);
      return;
    case 31: {
      cell->color = 18;
      uint32_t raw = q.time;
      int hour = (raw >> 12) & 0x1F, minute = (raw >> 6) & 0x3F, second = raw & 0x3F;
      ShiftHourByZone(&TimeZoneTable, stock.market, r.info->kind, &hour);
      std::snprintf(cell->text, sizeof cell->text, "%02d:%02d:%02d", hour, minute, second);
      return;
    }
    case 32:
    case 33: {
      cell->pair = true;
      const int first = column == 32 ? 25 : 28;
      double a = 0, b = 0;
      const bool hasA = GetColumnValue(stock.Word(), first, &a), hasB = GetColumnValue(stock.Word(), first + 1, &b);
      std::strcpy(cell->text, "-");
      std::strcpy(cell->second, "-");
      if (column == 32) {
        if (hasA) PriceText(cell->text, sizeof cell->text, r, a);
        if (hasB) PriceText(cell->second, sizeof cell->second, r, b);
        cell->color = cmp(q.bid[0].price);
        cell->secondColor = cmp(q.ask[0].price);
      } else {
        if (hasA) PerUnit(cell->text, sizeof cell->text, r, a);
        if (hasB) PerUnit(cell->second, sizeof cell->second, r, b);
        cell->color = cell->secondColor = 48;
      }
      cell->hasValue = hasA || hasB;
      return;
    }
    case 34: case 35: case 36: case 37: case 38:
      priceCell(r.history ? r.history->trades[column - 34] : 0);
      return;
    case 39: priceCell(q.limitUp); return;
    case 40: priceCell(q.limitDown); return;
    case 49: case 50: case 51: case 52: case 53: case 54: case 55: bigOrUnit(); return;
    case 58: fixed("%.2f", has && v < 0 ? 19 : 21); return;
    default: return;  // columns without a rule: "---"
  }
}

// ---- Text placement ------------------------------------------------------------

namespace {

SIZE Extent(HDC dc, const char *text) {
  SIZE s{0, 0};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &s);
  return s;
}

int Place(int mode, int start, int length, int extent) {
  if (mode == 0) return start + (length - extent) / 2;
  if (mode == 2) return start + length - extent - 3;
  return start + 3;
}

void Stars(HDC dc, const RECT &rect) { TextOutA(dc, rect.left + 2, rect.top + 2, "***", 3); }

}  // namespace

void DrawCellText(HDC dc, const RECT &rect, const char *text, int horizontal, int vertical) {
  SIZE s = Extent(dc, text);
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w < s.cx + 6 || h < s.cy + 6) return Stars(dc, rect);
  TextOutA(dc, Place(horizontal, rect.left, w, s.cx), Place(vertical, rect.top, h, s.cy), text,
           int(std::strlen(text)));
}

void DrawCellTextPair(HDC dc, const RECT &rect, COLORREF first, COLORREF second, const char *firstText,
                      const char *secondText, int horizontal, int vertical) {
  static const char kJoint[] = " / ";
  SIZE a = Extent(dc, firstText), b = Extent(dc, secondText), j = Extent(dc, kJoint);
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  const int total = a.cx + b.cx + j.cx;
  if (w < total + 6 || h < a.cy + 6) return Stars(dc, rect);
  int x = Place(horizontal, rect.left, w, total);
  const int y = Place(vertical, rect.top, h, a.cy);
  SetTextColor(dc, first);
  TextOutA(dc, x, y, firstText, int(std::strlen(firstText)));
  x += a.cx;
  SetTextColor(dc, ViewColor(47));
  TextOutA(dc, x, y, kJoint, 3);
  x += j.cx;
  SetTextColor(dc, second);
  TextOutA(dc, x, y, secondText, int(std::strlen(secondText)));
}

// ---- Blocks ----------------------------------------------------------------------

namespace {

STKPTR StepInBlock(int blockId, STKPTR current, int step) {
  BLOCK *block = FindBlockById(blockId);
  if (!block || !block->members || !block->memberCount) return current;
  const int n = std::min<int>(block->memberCount, kMaxBlockMembers);
  for (int i = 0; i < n; ++i) {
    const BLOCKMEMBER &m = block->members[i];
    if (m.market == current.market && m.kind == current.kind && m.stock == current.stock) {
      const BLOCKMEMBER &t = block->members[(i + step + n) % n];
      return STKPTR(t.market, t.kind, t.stock);
    }
  }
  return current;
}

}  // namespace

STKPTR NextStockInBlock(int blockId, STKPTR current) { return StepInBlock(blockId, current, 1); }
STKPTR PrevStockInBlock(int blockId, STKPTR current) { return StepInBlock(blockId, current, -1); }

bool AppendBlockMember(BLOCK *block, STKPTR stock) {
  if (!block || !block->members) return false;
  const int n = block->memberCount;
  if (n >= kMaxBlockMembers) return false;
  for (int i = 0; i < n; ++i)
    if (block->members[i].market == stock.market && block->members[i].stock == stock.stock) return false;
  BLOCKMEMBER &m = block->members[n];
  std::memset(&m, 0, sizeof m);
  m.market = stock.market;
  m.kind = stock.kind;
  m.stock = stock.stock;
  m.position = uint16_t(n);
  block->memberCount = uint16_t(n + 1);
  return true;
}

TViewServices &ViewServices() {
  static TViewServices services;
  return services;
}

void AddStockToUserBlock(STKPTR stock) {
  TViewServices &s = ViewServices();
  if (!s.chooseBlock) return;
  if (s.pauseKeyHook) s.pauseKeyHook(true);
  const int id = s.chooseBlock(true);
  if (s.pauseKeyHook) s.pauseKeyHook(false);
  if (id < 0) return;
  BLOCK *block = FindBlockById(id);
  if (!block || block->kind != kBlockUser) return;
  if (AppendBlockMember(block, stock)) SaveUserBlocks();
  if (s.notifyViews) s.notifyViews(10, stock.Word(), id, 0);
}

// ---- Hot keys ------------------------------------------------------------------------

void FormatHotKeyText(uint32_t flags, const char *keys, char *out) {
  static const char *const kNames[] = {"TAB",  "BACKSPACE", "INSERT", "DELETE", "HOME",  "END",
                                       "PAGEUP", "PAGEDOWN", "UP",   "LEFT",   "DOWN",  "RIGHT",
                                       "SPACE", "F1",  "F2",   "F3",   "F4",   "F5",   "F6",
                                       "F7",    "F8",  "F9",   "F10",  "F11",  "F12",  "ESC"};
  out[0] = 0;
  if ((flags & 0xF) == 0xF) return (void)std::strcpy(out, "CTRL+ALT+SHIFT");
  if ((flags & 0xD) == 0xD) return (void)std::strcpy(out, "CTRL+ALT");
  if ((flags & 0xB) == 0xB) return (void)std::strcpy(out, "CTRL+SHIFT");
  if ((flags & 0xE) == 0xE) return (void)std::strcpy(out, "ALT+SHIFT");
  if ((flags & 9) == 9) return (void)std::strcpy(out, "CTRL");
  if (flags & 1) std::strcat(out, "CTRL+");
  if ((flags & 0xC) == 0xC) return (void)std::strcat(out, "ALT");
  if (flags & 4) std::strcat(out, "ALT+");
  if ((flags & 0xA) == 0xA) return (void)std::strcat(out, "SHIFT");
  if (flags & 2) std::strcat(out, "SHIFT+");
  for (int i = 0; i < int(std::size(kNames)); ++i) {
    if (flags & (0x10u << i)) return (void)std::strcat(out, kNames[i]);
  }
  if (keys) std::strncat(out, keys, strnlen(keys, 16));
  if ((flags & 8) && !out[0]) std::strcpy(out, "ENTER");
}

// ---- Sorting ------------------------------------------------------------------------

namespace {

// Sorts rows (and a parallel array, when given) by a key with a stable
// order; the bubble sorts the order is defined by exchange only on strict
// inequality, which is what a stable sort gives.
template <class Key, class Less>
void StableSortRows(REPORTROW *rows, double *values, int count, Key key, Less less) {
  if (count < 2) return;
  using K = decltype(key(0));
  struct Entry {
    K key;
    int index;
  };
  thread_local std::vector<Entry> entries;
  thread_local std::vector<REPORTROW> rowCopy;
  thread_local std::vector<double> valueCopy;
  entries.resize(size_t(count));
  for (int i = 0; i < count; ++i) entries[size_t(i)] = {key(i), i};
  std::stable_sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) { return less(a.key, b.key); });
  rowCopy.assign(rows, rows + count);
  if (values) valueCopy.assign(values, values + count);
  for (int i = 0; i < count; ++i) {
    rows[i] = rowCopy[size_t(entries[size_t(i)].index)];
    if (values) values[i] = valueCopy[size_t(entries[size_t(i)].index)];
  }
}

template <class T>
auto Ordered(int direction) {
  return [ascending = direction == 1](const T &a, const T &b) { return ascending ? a < b : b < a; };
}

struct CodeKey {
  int market;
  int kind;
  char code[8];
  bool operator<(const CodeKey &o) const {
    if (market != o.market) return market < o.market;
    if (kind != o.kind) return kind < o.kind;
    return std::strcmp(code, o.code) < 0;
  }
};

}  // namespace

void SortRowsByPosition(REPORTROW *rows, int count, int direction) {
  StableSortRows(rows, nullptr, count, [&](int i) { return int(rows[i].position); }, Ordered<int>(direction));
}

void SortRowsByCode(REPORTROW *rows, int count, int direction) {
  for (int i = 0; i < count; ++i)
    if (!GetStockInfo(STKPTR(rows[i].market, 0, rows[i].stock))) return;
  StableSortRows(
      rows, nullptr, count,
      [&](int i) {
        const STKINFO *info = GetStockInfo(STKPTR(rows[i].market, 0, rows[i].stock));
        CodeKey k{info->market, info->kind, {}};
        CopyField(k.code, sizeof k.code, info->code, sizeof info->code);
        return k;
      },
      Ordered<CodeKey>(direction));
}

void SortRowsByFinance(REPORTROW *rows, int count, int direction, int column) {
  const int offsets[] = {46, 47, 48, 49, 50, 51, 52, 53};
  int field = -1;
  if (column >= 46 && column <= 53) field = column - offsets[0];
  if (column == 57) field = 8;
  if (field < 0) return;
  StableSortRows(
      rows, nullptr, count,
      [&](int i) {
        const FINANCE *f = FinanceOf(rows[i].market, rows[i].stock);
        float v = 0;
        if (f) std::memcpy(&v, reinterpret_cast<const char *>(f) + field * sizeof(float), sizeof v);
        return std::isnan(v) ? 0.0f : v;
      },
      Ordered<float>(1 - direction));
}

void SortRowsByValue(REPORTROW *rows, double *values, int count, int direction) {
  StableSortRows(rows, values, count, [&](int i) { return values[i]; },
                 [descending = direction == 1](double a, double b) {
                   if (std::isnan(a) || std::isnan(b)) return !std::isnan(a) && std::isnan(b);
                   return descending ? a > b : a < b;
                 });
}

void SortTopByValue(STKPTR *stocks, double *values, int count, int n, int direction) {
  for (int k = 0; k < n && k < count; ++k) {
    for (int i = count - 1; i > k; --i) {
      const bool move = direction == 1 ? values[i] > values[i - 1] : values[i] < values[i - 1];
      if (move) {
        std::swap(stocks[i], stocks[i - 1]);
        std::swap(values[i], values[i - 1]);
      }
    }
  }
}

// ---- Shared view fonts ------------------------------------------------------------------

void PrintYearLine(HDC page, int x, int y, const char *name) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[64];
  std::snprintf(line, sizeof line, "%d年 %s", int(now.wYear), name);
  HFONT font = CreateFontA(-48, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
  HGDIOBJ oldFont = SelectObject(page, font);
  SetBkMode(page, TRANSPARENT);
  SetTextColor(page, 0);
  TextOutA(page, x, y, line, int(std::strlen(line)));
  SelectObject(page, oldFont);
  DeleteObject(font);
}

HFONT ViewFont1 = nullptr, ViewFont2 = nullptr, ViewFont3 = nullptr, ViewFontEnlarged = nullptr;

void RebuildViewFonts() {
  if (ViewFontEnlarged && ViewFontEnlarged != ViewFont3) DeleteObject(ViewFontEnlarged);
  for (HFONT *f : {&ViewFont1, &ViewFont2, &ViewFont3})
    if (*f) DeleteObject(*f);
  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%sdefui.ini", UserDataPath);
  const int zoom = int(GetPrivateProfileIntA("UI", "BSZoom1", 6, path));
  ViewFont1 = CreateViewFont(ViewFont(3), 0, false);
  ViewFont2 = CreateViewFont(ViewFont(4), 0, false);
  ViewFont3 = CreateViewFont(ViewFont(5), 0, false);
  ViewFontEnlarged = zoom > 0 ? CreateViewFont(ViewFont(5), zoom, true) : ViewFont3;
}
