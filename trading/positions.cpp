#include "trading/positions.h"

#include <algorithm>
#include <cctype>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "market/dataio5.h"
#include "market/rights.h"
#include "platform/fileapi.h"
#include "platform/profile.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

namespace {

std::string Field(const char *text, size_t room) { return std::string(text, strnlen(text, room)); }

// A contract code (at most 8 bytes) folded to upper case as one word.
inline uint64_t CodeKey(const char *code) {
  uint64_t key = 0;
  for (int i = 0; i < 8 && code[i]; ++i) {
    const uint8_t c = uint8_t(code[i]);
    key |= uint64_t(c >= 'a' && c <= 'z' ? c - 32 : c) << (8 * i);
  }
  return key;
}

// The same for a whole 8-byte code field, a word at a time.
inline uint64_t CodeKey8(const char (&code)[8]) {
  constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  uint64_t w;
  memcpy(&w, code, 8);
  if (const uint64_t zero = (w - ones) & ~w & highs) {
    const int first = __builtin_ctzll(zero) / 8;
    w = first ? w & ((uint64_t(1) << (8 * first)) - 1) : 0;
  }
  const uint64_t low7 = w & ~highs;
  const uint64_t fromA = low7 + (0x80 - 'a') * ones, pastZ = low7 + (0x80 - 'z' - 1) * ones;
  const uint64_t lower = (fromA ^ pastZ) & ~w & highs;
  return w ^ (lower >> 2);
}

bool SameCode(const char *a, const char *b) { return CodeKey(a) == CodeKey(b); }

std::string Printed(const char *format, double value) {
  char text[64];
  snprintf(text, sizeof text, format, value);
  return TrimPriceText(text);
}

// The direction a trade of that position side opens with: a buy builds a
// long, a sell a short.
char OpeningDirection(char side) { return side == '2' ? '0' : '1'; }

// The offset of a close as the positions count it: '2' and '4' are
// closes, '3' only where the exchange closes today separately.
char NormalOffset(TTradeDesk &data, const char *code, char offset) {
  if (offset == '2' || offset == '4') return '1';
  if (offset == '3') {
    const CContractInfo *c = data.FindContract(code);
    if (!c || !IsProcessCloseToday(c->ExchangeID)) return '1';
  }
  return offset;
}

bool Counts(const CKivoOrderField &o) { return o.OrderStatus[1] == '3' || o.OrderStatus[1] == '1'; }

// The side of the positions an order closes: a sell closes a long.
char ClosedSide(char direction) { return (direction & 0x7F) == '1' ? '2' : '3'; }

}  // namespace

bool CloseMatches(char offset, char attribute) {
  return (offset == '3' && attribute == 2) || (offset == '1' && attribute != 2);
}

int ComparePositions(const InvestorPosition_Lite &a, const InvestorPosition_Lite &b) {
  if (const int c = strncasecmp(a.InstrumentID, b.InstrumentID, sizeof a.InstrumentID)) return c < 0 ? -1 : 1;
  if (a.PosiDirection != b.PosiDirection) return a.PosiDirection < b.PosiDirection ? -1 : 1;
  if (a.Attribute != b.Attribute) return a.Attribute < b.Attribute ? -1 : 1;
  return 0;
}

TQuoteScale QuoteScaleOf(STKPTR stock) {
  TQuoteScale s;
  if (stock.IsNone()) return s;
  const TMarketData *market = MarketAt(stock.market);
  if (!market || !market->m_stocks || !market->m_quotes || stock.stock >= market->m_loadedCount) return s;
  return QuoteScaleOf(market->m_quotes[stock.stock], market->m_stocks[stock.stock]);
}

TQuoteScale QuoteScaleOf(const REALQUOTE &quote, const STKINFO &info) {
  TQuoteScale s;
  s.decimals = std::clamp<int>(info.decimals, 0, 6);
  // A price read with a guessed divisor could send a wrong order.
  if (info.priceDivisor == 0) return s;
  s.divisor = info.priceDivisor;
  s.quote = &quote;
  return s;
}

TQuotePrices QuotePricesOf(STKPTR stock) { return QuotePricesOf(QuoteScaleOf(stock)); }

TQuotePrices QuotePricesOf(const TQuoteScale &s) {
  TQuotePrices q;
  q.decimals = s.decimals;
  if (!s.quote) return q;
  const double d = s.divisor;
  const REALQUOTE &r = *s.quote;
  q.valid = true;
  q.prevClose = r.prevClose / d;
  q.refPrice = r.refPrice / d;
  q.limitUp = r.limitUp / d;
  q.limitDown = r.limitDown / d;
  q.last = r.last / d;
  q.bid1 = r.bid[0].price / d;
  q.ask1 = r.ask[0].price / d;
  return q;
}

namespace {
uint64_t dayFilesGeneration = 0;
}

void NoteDayFilesChanged() { ++dayFilesGeneration; }
uint64_t DayFilesGeneration() { return dayFilesGeneration; }

bool TPositionBook::ScriptStops(const char *orderRef, double &stop, double &trailing, double &profit) {
  const std::string key = Field(orderRef, 13);
  std::string value;
  if (scriptGeneration_ != dayFilesGeneration) {
    scriptOrders_.clear();
    scriptWhole_ = false;
    scriptGeneration_ = dayFilesGeneration;
    const std::string file = ScriptOrderFile();
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
      scriptWhole_ = true;
    } else {
      std::vector<char> section(1 << 16);
      const DWORD n = GetPrivateProfileSectionA("Order", section.data(), DWORD(section.size()), file.c_str());
      // A section too long for the buffer is read key by key.
      scriptWhole_ = n < section.size() - 2;
      for (size_t at = 0; scriptWhole_ && at < n && section[at];) {
        const std::string entry(section.data() + at);
        at += entry.size() + 1;
        const size_t equals = entry.find('=');
        if (equals != std::string::npos) scriptOrders_.emplace(entry.substr(0, equals), entry.substr(equals + 1));
      }
    }
  }
  if (scriptWhole_) {
    const auto it = scriptOrders_.find(key);
    if (it == scriptOrders_.end()) return false;
    value = it->second;
  } else {
    char text[256] = {};
    GetPrivateProfileStringA("Order", key.c_str(), "", text, sizeof text, ScriptOrderFile().c_str());
    value = text;
  }
  const size_t first = value.find(',');
  const size_t second = first == std::string::npos ? first : value.find(',', first + 1);
  if (second == std::string::npos) return false;
  stop = atof(value.c_str());
  trailing = atof(value.c_str() + first + 1);
  profit = atof(value.c_str() + second + 1);
  return true;
}

TPositionBook::TPositionBook(TTradeDesk &data) : data_(data) {
  stopRight = [] { return (UserRights[kFeatureOrderByte] & kRightStopOrders) != 0; };
}

std::string TPositionBook::ScriptOrderFile() const { return data_.AccountFile("scriptorder.ini"); }

// ---- today's part ----

TTodayPart TPositionBook::TodayOpenPart(const char *code, char direction, char hedge, int mode,
                                        int32_t positionVolume) const {
  const char opening = OpeningDirection(direction);
  const Trade_Lite *t = data_.trades.GetData();
  const int32_t n = data_.trades.GetCount();
  int64_t consume = 0;
  if (mode == 1) {
    for (int32_t i = 0; i < n; ++i)
      if (t[i].OffsetFlag == '3' && t[i].Direction != opening && t[i].HedgeFlag == hedge && SameCode(t[i].InstrumentID, code))
        consume += t[i].Volume;
  } else {
    int64_t opened = 0;
    for (int32_t i = 0; i < n; ++i)
      if (t[i].OffsetFlag == '0' && t[i].Direction == opening && t[i].HedgeFlag == hedge && SameCode(t[i].InstrumentID, code))
        opened += t[i].Volume;
    consume = std::max<int64_t>(opened - positionVolume, 0);
  }
  int64_t volume = 0;
  double amount = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (!(t[i].OffsetFlag == '0' && t[i].Direction == opening && t[i].HedgeFlag == hedge && SameCode(t[i].InstrumentID, code)))
      continue;
    int64_t v = t[i].Volume;
    if (consume > 0) {
      const int64_t taken = std::min(consume, v);
      consume -= taken;
      v -= taken;
    }
    if (v <= 0) continue;
    volume += v;
    amount += double(v) * t[i].Price;
  }
  TTodayPart part;
  if (volume <= 0) return part;
  part.volume = int32_t(std::min<int64_t>(volume, INT32_MAX));
  part.price = amount / double(volume);
  return part;
}

// ---- the position list ----

namespace {
// The byte-10 conversions of a position block.
void ConvertAmounts(InvestorPosition_Lite &p, const TB_POSITION &block, const CContractInfo *c) {
  const uint8_t kind = uint8_t(block.Zero10[0]);
  if (kind == 0) return;
  const double v = p.Volume, m = c ? c->VolumeMultiple : 0;
  const bool usable = c && v != 0 && m != 0;
  if (kind == 1) {
    p.OpenAverage = usable ? block.OpenAmount / v / m : 0;
    p.HoldingAverage = usable ? block.HoldingAmount / v / m : 0;
  } else if (kind == 2) {
    double base;
    memcpy(&base, block.Zero32, sizeof base);
    const double x = usable ? block.HoldingAmount / v / m : 0;
    p.HoldingAverage = !c ? 0 : p.PosiDirection == '2' ? base - x : base + x;
  }
  p.OpenAmount = p.OpenAverage;
  p.HoldingAmount = p.HoldingAverage;
}
}  // namespace

int32_t TPositionBook::PositionListRecord(const TB_POSITION &block, int serverMinute) {
  if (block.Volume <= 0) return 0;
  InvestorPosition_Lite p(block, serverMinute);
  const CContractInfo *c = data_.FindContract(p.InstrumentID);
  ConvertAmounts(p, block, c);
  const int32_t v = p.Volume;
  int32_t stored = 0;
  bool lost = false;
  if ((p.PosiDirection == '2' || p.PosiDirection == '3') && c && IsProcessCloseToday(c->ExchangeID)) {
    const TTodayPart today = TodayOpenPart(p.InstrumentID, p.PosiDirection, p.HedgeFlag, 1, v);
    const int32_t tv = std::min(today.volume, v);
    InvestorPosition_Lite q = p;
    q.Attribute = 2;
    q.Volume = tv;
    q.OpenAverage = q.HoldingAverage = q.OpenAmount = q.HoldingAmount = today.price;
    p.Attribute = 1;
    p.Volume = v - tv;
    if (p.Volume != 0) {
      p.OpenAverage = (double(v) * p.OpenAverage - double(tv) * today.price) / p.Volume;
      p.HoldingAverage = (double(v) * p.HoldingAverage - double(tv) * today.price) / p.Volume;
    } else {
      p.OpenAverage = p.HoldingAverage = 0;
    }
    p.OpenAmount = p.OpenAverage;
    p.HoldingAmount = p.HoldingAverage;
    if (p.Volume > 0) {
      if (data_.positions.Add(p) < 0) lost = true; else ++stored;
    }
    if (tv > 0) {
      if (data_.positions.Add(q) < 0) lost = true; else ++stored;
    }
  } else {
    const TTodayPart today = TodayOpenPart(p.InstrumentID, p.PosiDirection, p.HedgeFlag, 0, v);
    if (v > today.volume) {
      p.OpenAmount = (double(v) * p.OpenAverage - double(today.volume) * today.price) / double(v - today.volume);
      p.HoldingAmount = (double(v) * p.HoldingAverage - double(today.volume) * today.price) / double(v - today.volume);
    } else {
      p.OpenAmount = p.OpenAverage;
      p.HoldingAmount = p.HoldingAverage;
    }
    if (data_.positions.Add(p) < 0) lost = true; else ++stored;
  }
  if (lost) {
    storeFailed = 1;
    return -1;
  }
  return stored;
}

void TPositionBook::SortPositions() {
  InvestorPosition_Lite *p = data_.positions.GetData();
  std::stable_sort(p, p + data_.positions.GetCount(),
                   [](const InvestorPosition_Lite &a, const InvestorPosition_Lite &b) { return ComparePositions(a, b) < 0; });
  data_.positions.MarkChanged();
}

void TPositionBook::PositionListEnd(int tradeDate) {
  SortPositions();
  RecountFrozenVolumes();
  // A list that lost a position does not load the stop files: the lost
  // position's entries would have no record to join.
  if (data_.stopStore && !storeFailed) stopLoadFailed = data_.stopStore->LoadStopOrders(tradeDate);
  FillPositionList();
  if (updateRealtimeSubscription) updateRealtimeSubscription(1);
}

void TPositionBook::UpdatePositionPrices(const TB_POSITION &block, int serverMinute) {
  if (block.Volume <= 0) return;
  int64_t sum = 0;
  const InvestorPosition_Lite *all = data_.positions.GetData();
  for (int32_t i = 0; i < data_.positions.GetCount(); ++i)
    if (strncasecmp(all[i].InstrumentID, block.InstrumentID, 8) == 0 && all[i].PosiDirection == block.PosiDirection &&
        all[i].HedgeFlag == block.HedgeFlag)
      sum += all[i].Volume;
  if (sum != block.Volume) return;
  InvestorPosition_Lite p(block, serverMinute);
  const CContractInfo *c = data_.FindContract(p.InstrumentID);
  if (!c) return;
  ConvertAmounts(p, block, c);
  const int32_t v = p.Volume;
  char attribute;
  if (IsProcessCloseToday(c->ExchangeID)) {
    const TTodayPart today = TodayOpenPart(p.InstrumentID, p.PosiDirection, p.HedgeFlag, 1, v);
    const int32_t y = v - today.volume;
    if (y < 1) return;
    p.OpenAverage = (double(v) * p.OpenAverage - double(today.volume) * today.price) / y;
    p.HoldingAverage = (double(v) * p.HoldingAverage - double(today.volume) * today.price) / y;
    p.OpenAmount = p.OpenAverage;
    p.HoldingAmount = p.HoldingAverage;
    attribute = 1;
  } else {
    const TTodayPart today = TodayOpenPart(p.InstrumentID, p.PosiDirection, p.HedgeFlag, 0, v);
    if (today.volume < v) {
      p.OpenAmount = (double(v) * p.OpenAverage - double(today.volume) * today.price) / double(v - today.volume);
      p.HoldingAmount = (double(v) * p.HoldingAverage - double(today.volume) * today.price) / double(v - today.volume);
    } else {
      p.OpenAmount = p.OpenAverage;
      p.HoldingAmount = p.HoldingAverage;
    }
    attribute = 0;
  }
  InvestorPosition_Lite *records = data_.positions.GetData();
  for (int32_t i = 0; i < data_.positions.GetCount(); ++i) {
    InvestorPosition_Lite &r = records[i];
    if (r.Attribute != attribute || r.PosiDirection != p.PosiDirection || r.HedgeFlag != p.HedgeFlag ||
        strncasecmp(r.InstrumentID, p.InstrumentID, 8) != 0)
      continue;
    r.OpenAverage = p.OpenAverage;
    r.HoldingAverage = p.HoldingAverage;
    r.OpenAmount = p.OpenAmount;
    r.HoldingAmount = p.HoldingAmount;
    r.Refresh = 0;
    if (i < int32_t(rows.rows.size())) {
      TListRow &row = rows.rows[size_t(i)];
      row.items.resize(kPosColumns);
      row.items[kPosOpenAverage] = Printed("%.3f", r.OpenAverage);
      row.items[kPosHoldingAverage] = r.HoldingAverage == 0 ? "" : Printed("%.3f", r.HoldingAverage);
      WriteProfitColumns(row, r);
    }
    return;
  }
}

// ---- frozen volumes ----

namespace {
// The positions by contract: an open-addressed table of chain heads and
// the chain of each record, so that every order finds its positions
// without walking all of them. The storage is kept between recounts.
class TPositionsByCode {
 public:
  using Slot = TPositionBook::TCodeSlot;
  TPositionsByCode(std::vector<Slot> &slots, std::vector<int32_t> &next, const InvestorPosition_Lite *p, int32_t n)
      : slots_(slots), next_(next) {
    size_t size = 16;
    while (size < size_t(n) * 2) size <<= 1;
    slots_.assign(size, Slot{0, -1});
    next_.resize(size_t(n));
    mask_ = size - 1;
    for (int32_t i = n - 1; i >= 0; --i) {
      const uint64_t key = CodeKey8(p[i].InstrumentID);
      Slot &slot = Find(key);
      slot.key = key;
      next_[size_t(i)] = slot.head;
      slot.head = i;
    }
  }
  int32_t First(const char (&code)[8]) { return Find(CodeKey8(code)).head; }
  int32_t Next(int32_t i) const { return next_[size_t(i)]; }

 private:
  Slot &Find(uint64_t key) {
    size_t i = size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & mask_;
    while (slots_[i].head >= 0 && slots_[i].key != key) i = (i + 1) & mask_;
    return slots_[i];
  }
  std::vector<Slot> &slots_;
  std::vector<int32_t> &next_;
  size_t mask_ = 0;
};
}  // namespace

void TPositionBook::RecountFrozenVolumes() {
  InvestorPosition_Lite *p = data_.positions.GetData();
  const int32_t np = data_.positions.GetCount();
  for (int32_t i = 0; i < np; ++i) p[i].Frozen = 0;
  if (np == 0) return;
  TPositionsByCode byCode(slots_, next_, p, np);
  const CKivoOrderField *o = data_.orders.GetData();
  const int32_t no = data_.orders.GetCount();
  for (int32_t k = 0; k < no; ++k) {
    if (!Counts(o[k]) || o[k].OffsetFlag == '0') continue;
    const int32_t first = byCode.First(o[k].InstrumentID);
    if (first < 0) continue;
    const char offset = NormalOffset(data_, o[k].InstrumentID, o[k].OffsetFlag);
    if (offset != '1' && offset != '3') continue;
    const char side = ClosedSide(o[k].Direction);
    const int32_t open = o[k].VolumeTotal - o[k].VolumeTraded;
    for (int32_t i = first; i >= 0; i = byCode.Next(i))
      if (p[i].PosiDirection == side && p[i].HedgeFlag == o[k].HedgeFlag && CloseMatches(offset, p[i].Attribute))
        p[i].Frozen += open;
  }
  if (int32_t(rows.rows.size()) == np)
    for (int32_t i = 0; i < np; ++i) RowAvailable(i);
}

void TPositionBook::RowAvailable(int32_t index) {
  if (index < 0 || index >= int32_t(rows.rows.size()) || index >= data_.positions.GetCount()) return;
  const InvestorPosition_Lite &p = data_.positions.GetData()[index];
  TListRow &row = rows.rows[size_t(index)];
  row.items.resize(kPosColumns);
  row.items[kPosAvailable] = std::to_string(int64_t(p.Volume) - p.Frozen);
}

void TPositionBook::RecountFrozenForOrder(const CKivoOrderField &order) {
  const char offset = NormalOffset(data_, order.InstrumentID, order.OffsetFlag);
  if (offset != '1' && offset != '3') return;
  const char side = ClosedSide(order.Direction);
  const char direction = char(order.Direction & 0x7F);
  const uint64_t code = CodeKey(order.InstrumentID);
  InvestorPosition_Lite *p = data_.positions.GetData();
  const int32_t np = data_.positions.GetCount();
  // The positions this order's kind of close can bind, found once.
  int32_t matched[8];
  std::vector<int32_t> more;
  int32_t count = 0;
  for (int32_t i = 0; i < np; ++i) {
    if (p[i].PosiDirection != side || p[i].HedgeFlag != order.HedgeFlag || CodeKey(p[i].InstrumentID) != code) continue;
    p[i].Frozen = 0;
    if (count < 8) matched[count] = i; else more.push_back(i);
    ++count;
  }
  if (count == 0) return;
  const auto at = [&](int32_t n) { return n < 8 ? matched[n] : more[size_t(n - 8)]; };
  const CKivoOrderField *o = data_.orders.GetData();
  for (int32_t k = 0; k < data_.orders.GetCount(); ++k) {
    if (!Counts(o[k]) || (o[k].Direction & 0x7F) != direction || o[k].HedgeFlag != order.HedgeFlag ||
        o[k].OffsetFlag == '0' || CodeKey(o[k].InstrumentID) != code)
      continue;
    const char f = NormalOffset(data_, o[k].InstrumentID, o[k].OffsetFlag);
    if (f != '1' && f != '3') continue;
    for (int32_t n = 0; n < count; ++n)
      if (CloseMatches(f, p[at(n)].Attribute)) p[at(n)].Frozen += o[k].VolumeTotal - o[k].VolumeTraded;
  }
  for (int32_t n = 0; n < count; ++n) RowAvailable(at(n));
  if (showClosableVolumes) showClosableVolumes();
}

bool TPositionBook::FindOrderNumber(const char *orderRef, char *out) const {
  const CKivoOrderField *o = data_.orders.GetData();
  for (int32_t k = 0; k < data_.orders.GetCount(); ++k)
    if (strncasecmp(o[k].OrderRef, orderRef, sizeof o[k].OrderRef) == 0) {
      memcpy(out, o[k].CancelText120, sizeof o[k].CancelText120);
      out[sizeof o[k].CancelText120 - 1] = 0;
      return true;
    }
  return false;
}

// ---- rows ----

void TPositionBook::WriteProfitColumns(TListRow &row, const InvestorPosition_Lite &p) const {
  row.items.resize(kPosColumns);
  row.items[kPosFloatProfit].clear();
  row.items[kPosHoldingProfit].clear();
  const CContractInfo *c = data_.FindContract(p.InstrumentID);
  // Without a volume multiple a profit is no number at all.
  if (!c || c->VolumeMultiple == 0 || p.Volume <= 0) return;
  const TQuotePrices q = QuotePricesOf(p.Stock);
  const double price = q.last != 0 ? q.last : q.prevClose;
  if (!q.valid || price == 0) return;
  const double s = p.PosiDirection == '3' ? -1 : 1;
  const double vm = double(p.Volume) * c->VolumeMultiple;
  row.items[kPosFloatProfit] = Printed("%.2f", s * (price - p.OpenAverage) * vm);
  if (p.HoldingAverage != 0) row.items[kPosHoldingProfit] = Printed("%.2f", s * (price - p.HoldingAverage) * vm);
}

TListRow TPositionBook::PositionRow(int32_t index) const {
  const InvestorPosition_Lite &p = data_.positions.GetData()[index];
  TListRow row;
  row.data = index;
  row.caption = Field(p.InstrumentID, sizeof p.InstrumentID);
  row.items.resize(kPosColumns);
  row.items[kPosDirection] = p.PosiDirection == '2' ? "买　" : p.PosiDirection == '3' ? "　卖" : "";
  row.items[kPosAttribute] = p.Attribute == 2 ? "今仓" : p.Attribute != 0 ? "昨仓" : "-";
  row.items[kPosVolume] = std::to_string(p.Volume);
  row.items[kPosAvailable] = std::to_string(int64_t(p.Volume) - p.Frozen);
  if (data_.FindContract(p.InstrumentID) && p.Volume > 0 && (p.PosiDirection == '2' || p.PosiDirection == '3')) {
    row.items[kPosOpenAverage] = Printed("%.3f", p.OpenAverage);
    row.items[kPosHoldingAverage] = p.HoldingAverage == 0 ? "" : Printed("%.3f", p.HoldingAverage);
    WriteProfitColumns(row, p);
  }
  row.items[kPosHedge] = HedgeFlagName(p.HedgeFlag);
  return row;
}

void TPositionBook::FillPositionList() {
  rows.rows.clear();
  for (int32_t i = 0; i < data_.positions.GetCount(); ++i) rows.rows.push_back(PositionRow(i));
  if (updateStopColumns)
    for (int32_t i = 0; i < data_.positions.GetCount(); ++i) updateStopColumns(data_.positions.GetData()[i]);
  ++listFills;
}

// ---- trades ----

bool TPositionBook::AttachStops(InvestorPosition_Lite &p, const CContractInfo &c, const Trade_Lite &t, bool script,
                                double s, double g, double f) {
  TStopStore *store = data_.stopStore;
  stopAdded = false;
  if (!store) return false;
  const int expiry = data_.options.StopExpiredDefault;
  auto note = [this, expiry](int32_t volume, double stop, double trailing, double profit, double reference) {
    stopAdded = true;
    stopAddition = {volume, stop, trailing, profit, reference, expiry};
  };
  const double x = t.Price, tick = c.PriceTick;
  if (script) {
    WriteTradeLog(data_, TLOG_STOP_EVENT, "0|条件单");
    const double stop = s > 0.0001 ? s : 0;
    const double trailing = s > 0.0001 && g > 0.0001 ? g : 0;
    const double profit = f > 0.0001 ? f : 0;
    store->AddStop(p, t.Volume, stop, trailing, profit, x, expiry);
    note(t.Volume, stop, trailing, profit, x);
    return true;
  }
  if (!stopRight || !stopRight()) return false;
  const bool buy = t.Direction == '0';
  const uint32_t loss = buy ? c.BuyLoss : c.SellLoss;
  const uint32_t profitTicks = buy ? c.BuyProfit : c.SellProfit;
  const uint32_t trailTicks = buy ? c.BuyTrailing : c.SellTrailing;
  const double profit = profitTicks == 0 ? 0 : buy ? x + profitTicks * tick : x - profitTicks * tick;
  if (loss != 0) {
    WriteTradeLog(data_, TLOG_STOP_EVENT, "0|自动");
    const double stop = buy ? x - loss * tick : x + loss * tick;
    store->AddStop(p, t.Volume, stop, trailTicks * tick, profit, x, expiry);
    note(t.Volume, stop, trailTicks * tick, profit, x);
    return true;
  }
  if (profitTicks != 0) {
    WriteTradeLog(data_, TLOG_STOP_EVENT, "0|自动");
    store->AddStop(p, t.Volume, 0, 0, profit, 0, expiry);
    note(t.Volume, 0, 0, profit, 0);
    return true;
  }
  return false;
}

void TPositionBook::ApplyTradeToPositions(const Trade_Lite &t) {
  const CContractInfo *c = data_.FindContract(t.InstrumentID);
  if (!c || t.Volume <= 0) return;
  const bool closeToday = IsProcessCloseToday(c->ExchangeID);
  TStopStore *store = data_.stopStore;
  // Stops an opening order of a condition task carries.
  bool script = false;
  double s = 0, g = 0, f = 0;
  // Only an opening attaches stops.
  if (t.OffsetFlag == '0' && ScriptStops(t.OrderRef, s, g, f)) script = s > 0.0001 || f > 0.0001;
  InvestorPosition_Lite *all = data_.positions.GetData();
  int32_t found = -1;
  bool opening = false;
  for (int32_t i = 0; i < data_.positions.GetCount() && found < 0; ++i) {
    const InvestorPosition_Lite &p = all[i];
    if (p.HedgeFlag != t.HedgeFlag || strncasecmp(p.InstrumentID, t.InstrumentID, 8) != 0) continue;
    const char opener = p.PosiDirection == '2' ? '0' : p.PosiDirection == '3' ? '1' : 0;
    if (!opener) continue;
    if (t.Direction == opener && t.OffsetFlag == '0' && (p.Attribute == 0 || p.Attribute == 2)) {
      found = i;
      opening = true;
    } else if (t.Direction != opener &&
               ((t.OffsetFlag == '1' && (p.Attribute == 0 || p.Attribute == 1)) || (t.OffsetFlag == '3' && p.Attribute == 2))) {
      found = i;
    }
  }
  const int32_t n = t.Volume;
  const double x = t.Price;
  bool changed = false;  // a record was added or removed
  if (found >= 0 && opening) {
    InvestorPosition_Lite &p = all[found];
    const double v = p.Volume;
    p.OpenAverage = (v * p.OpenAverage + n * x) / (v + n);
    p.HoldingAverage = (v * p.HoldingAverage + n * x) / (v + n);
    p.Volume += n;
    if (AttachStops(p, *c, t, script, s, g, f) && store) {
      store->SortStops(p);
      store->TrimStops(p);
      store->SaveStopOrders(&p, true);
      if (stopDialogChanged) stopDialogChanged(&p);
    }
  } else if (found >= 0) {
    InvestorPosition_Lite &p = all[found];
    const int32_t rest = p.Volume - n;
    p.Volume = rest;
    if (rest > 0) {
      if (p.Attribute == 1) {
        p.Refresh = 1;
      } else if (p.Attribute == 2) {
        const TTodayPart today = TodayOpenPart(p.InstrumentID, p.PosiDirection, p.HedgeFlag, 1, rest);
        p.OpenAverage = p.HoldingAverage = today.price;
      } else {
        const TTodayPart today = TodayOpenPart(p.InstrumentID, p.PosiDirection, p.HedgeFlag, 0, rest);
        const int32_t q = std::min(today.volume, rest);
        p.OpenAverage = (double(rest - q) * p.OpenAmount + q * today.price) / rest;
        p.HoldingAverage = (double(rest - q) * p.HoldingAmount + q * today.price) / rest;
        if (q < rest) p.Refresh = 1;
      }
      if (store && store->TrimStops(p)) store->SaveStopOrders(&p, true);
      if (stopDialogChanged) stopDialogChanged(nullptr);
    } else {
      const int32_t k = store ? store->StopCount(p) : 0;
      if (store && p.Stops) {
        if (store->Release(p.Stops)) {
          store->FreeHolder(p.Stops);
          p.Stops = nullptr;
        } else {
          p.Volume = 0;
          store->TrimStops(p);
        }
      }
      if (stopDialogChanged) stopDialogChanged(nullptr);
      if (store) store->SaveStopOrders(&p, k > 0);
      data_.positions.RemoveAt(found);
      changed = true;
    }
  } else if (t.OffsetFlag == '0') {
    InvestorPosition_Lite p{};
    memcpy(p.InstrumentID, t.InstrumentID, sizeof p.InstrumentID);
    p.InstrumentID[7] = 0;
    p.PosiDirection = t.Direction == '0' ? '2' : '3';
    p.HedgeFlag = t.HedgeFlag;
    p.Attribute = closeToday ? 2 : 0;
    p.Volume = n;
    p.OpenAverage = p.HoldingAverage = p.OpenAmount = p.HoldingAmount = x;
    p.Stock = LookupContractStock(p.InstrumentID, data_.MergerMinute());
    for (int32_t i = 0; i < data_.positions.GetCount(); ++i) {
      const InvestorPosition_Lite &o = all[i];
      if (o.Stops && o.PosiDirection == p.PosiDirection && o.HedgeFlag == p.HedgeFlag && SameStock(o.Stock, p.Stock) &&
          !p.Stock.IsNone()) {
        p.Stops = store ? store->AddRef(o.Stops) : nullptr;
        break;
      }
    }
    const bool attached = AttachStops(p, *c, t, script, s, g, f);
    const int32_t index = data_.positions.Add(p);
    if (index >= 0) {
      InvestorPosition_Lite &added = data_.positions.GetData()[index];
      // A fresh holder is saved at once like a shared one: an automatic
      // stop must survive a restart.
      if (store && (attached || added.Stops)) {
        store->SortStops(added);
        store->TrimStops(added);
        store->SaveStopOrders(&added, true);
        if (stopDialogChanged) stopDialogChanged(&added);
      }
      SortPositions();
    } else if (store && p.Stops) {
      if (store->Release(p.Stops)) store->FreeHolder(p.Stops);
    }
    changed = true;
  } else {
    return;
  }
  if (changed) {
    FillPositionList();
    if (updateRealtimeSubscription) updateRealtimeSubscription(1);
    return;
  }
  InvestorPosition_Lite &p = data_.positions.GetData()[found];
  if (found < int32_t(rows.rows.size())) {
    TListRow &row = rows.rows[size_t(found)];
    row.items.resize(kPosColumns);
    row.items[kPosVolume] = std::to_string(p.Volume);
    row.items[kPosAvailable] = std::to_string(int64_t(p.Volume) - p.Frozen);
    if (p.Volume > 0) {
      row.items[kPosOpenAverage] = Printed("%.3f", p.OpenAverage);
      row.items[kPosHoldingAverage] = p.HoldingAverage == 0 ? "" : Printed("%.3f", p.HoldingAverage);
      WriteProfitColumns(row, p);
    }
  }
  if (updateStopColumns) updateStopColumns(p);
}
