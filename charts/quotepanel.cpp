#include "charts/quotepanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "charts/drawview.h"
#include "core/chartgfx.h"
#include "core/etooltip.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/dlgtext.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"
#include "views/viewservices.h"

const char kDefaultDetailItems[] = "31,30,29,28,27,17,18,19,20,21,1,2,3,4,5,6,7,8,9,10,37,38,11,12,13,14";

namespace {

constexpr int kMargin = 5;
constexpr const char *kMissing = "---";

const char *const kLabels[48] = {
    "",     "最新", "均价", "涨跌", "昨结", "幅度", "开盘", "总手", "最高", "现手", "最低", "金额",
    "量比", "外盘", "内盘", "委比", "委差", "买一", "买二", "买三", "买四", "买五", "",     "",
    "",     "",     "",     "卖一", "卖二", "卖三", "卖四", "卖五", "",     "",     "",     "",
    "",     "涨停", "跌停", "买均", "卖均", "",     "",     "昨收", "市盈", "市净", "换手", "均价"};

// Markets whose reference price is the previous close (by market index).
bool ReferenceIsPreviousClose(int market) {
  static const int kMarkets[] = {0, 1, 2, 4, 5, 8, 9, 11, 13, 14, 16};
  return std::find(std::begin(kMarkets), std::end(kMarkets), market) != std::end(kMarkets);
}

// The instrument of a view with what its values are read from.
struct Shown {
  const STKINFO *info = nullptr;
  const TMarketData *market = nullptr;
  const REALQUOTE *quote = nullptr;
  int type = 0;
  int kind = -1;
  bool indexKind = false;
};

Shown ShownOf(const TDrawView &view) {
  Shown s;
  const STKPTR stock = view.m_attr.stock;
  s.info = GetStockInfo(stock);
  if (!s.info || stock.market >= kMaxMarkets) return Shown{};
  s.market = MarketAt(stock.market);
  s.quote = ::QuoteOf(stock.market, stock.stock);
  if (!s.market || !s.quote) return Shown{};
  s.type = s.market->m_info.type;
  s.kind = StockKindOf(s.market, stock.stock);
  s.indexKind = s.kind >= 0 && s.kind < kMaxStockKinds && s.market->m_info.kinds[s.kind].noOrderBook;
  return s;
}

// The instrument code, bounded: a full seven-byte field has no terminator.
std::string CodeText(const STKINFO &info) { return ::FieldText(info.code, sizeof info.code); }

bool IsDeliveryEstimate(const TDrawView &view, const Shown &s) {
  return view.m_attr.stock.market == 3 && s.kind == 3 && CodeText(*s.info).rfind("0401", 0) == 0 &&
         s.quote->settlement % 100 != 0;
}

// A double held to the range of the colour rule's integers.
int32_t ToInt32(double v) {
  if (!(v == v)) return 0;
  return int32_t(std::clamp(std::llround(std::clamp(v, -2147483648.0, 2147483647.0)), -2147483648LL, 2147483647LL));
}

int Decimals(const TDrawView &view, const STKINFO &info) {
  return std::clamp(view.ConvertedPrices ? view.ConvertedDecimals : int(info.decimals), 0, 8);
}

double Multiplier(const TDrawView &view) {
  const double m = view.PriceMultiplier;
  return view.ConvertedPrices && m > 0 && std::isfinite(m) ? m : 1.0;
}

void FormatPrice(char *text, size_t size, double value, int decimals) {
  std::snprintf(text, size, "%.*f", decimals, value);
}

// The minute trend's average price (price x volume sum over the volume sum),
// in shown units; false without an agent.
bool TrendAverage(const TDrawView &view, const STKINFO &info, double *value) {
  const CDataAgent *agent = DataAgentAt(view.TrendAgent);
  if (!agent) return false;
  const double m = Multiplier(view);
  *value = agent->volumeSum != 0 ? double(agent->priceVolumeSum) / double(agent->volumeSum) / (info.PriceDivisor() / m)
                                 : 0.0;
  return true;
}

}  // namespace

// ---- Item lists ------------------------------------------------------------------------------

const char *QuotePanelItemName(int item) { return item >= 1 && item < 48 ? kLabels[item] : ""; }

int QuotePanelRowKind(int item) {
  if (item >= 27 && item <= 31) return 1;
  if (item >= 17 && item <= 21) return 2;
  if ((item >= 1 && item <= 16) || item == 37 || item == 38 || (item >= 43 && item <= 47)) return 3;
  if (item == 39 || item == 40) return 4;
  return 0;
}

int DetailItemGroup(int marketType) {
  switch (marketType) {
    case 1: return 1;
    case 3: return 2;
    case 4: return 3;
    case 6: return 4;
    case 7: return 5;
    case 8: return 6;
    default: return 0;
  }
}

namespace {
int GroupOfMarket(int market) {
  const TMarketData *m = market >= 0 && market < kMaxMarkets ? MarketAt(market) : nullptr;
  return DetailItemGroup(m ? m->m_info.type : 0);
}
}  // namespace

void LoadDetailItems(int group, uint8_t *items) {
  char key[32];
  std::snprintf(key, sizeof key, "DetailItem3%i", group);
  char shared[256] = {}, text[256] = {};
  GetPrivateProfileStringA("UI", key, kDefaultDetailItems, shared, sizeof shared, "..\\cfg\\defui.ini");
  const std::string user = std::string(UserDataPath) + "defui.ini";
  GetPrivateProfileStringA("UI", key, shared, text, sizeof text, user.c_str());
  std::memset(items, 0, kDetailItemCount);
  const char *p = text;
  for (int i = 0; i < kDetailItemCount; ++i) {
    char *end = nullptr;
    const long value = std::strtol(p, &end, 10);
    if (end == p) break;
    items[i] = uint8_t(value);
    p = end;
    if (*p != ',') break;
    ++p;
  }
}

void LoadMarketDetailItems(int market, uint8_t *items) { LoadDetailItems(GroupOfMarket(market), items); }

void SaveDetailItems(int group, const uint8_t *items) {
  std::string text;
  for (int i = 0; i < kDetailItemCount && items[i]; ++i) text += std::to_string(unsigned(items[i])) + ",";
  if (!text.empty()) text.pop_back();
  char key[32];
  std::snprintf(key, sizeof key, "DetailItem3%i", group);
  const std::string user = std::string(UserDataPath) + "defui.ini";
  WritePrivateProfileStringA("UI", key, text.c_str(), user.c_str());
}

void SaveMarketDetailItems(int market, const uint8_t *items) { SaveDetailItems(GroupOfMarket(market), items); }

// ---- Foreign futures ---------------------------------------------------------------------------

double PositiveFactor(const char *text) {
  if (!text) return 1.0;
  char *end = nullptr;
  const double v = std::strtod(text, &end);
  return end != text && std::isfinite(v) && v > 0 ? v : 1.0;
}

bool ParseForeignFuturesEntry(const char *text, ForeignFuturesEntry *entry) {
  *entry = ForeignFuturesEntry{};
  if (!text || !*text) return false;
  std::string fields[5];
  std::string rest = text;
  for (int i = 0; i < 5; ++i) {
    const size_t bar = rest.find('|');
    std::string field = rest.substr(0, bar);
    const size_t first = field.find_first_not_of(" \t");
    const size_t last = field.find_last_not_of(" \t");
    field = first == std::string::npos ? std::string() : field.substr(first, last - first + 1);
    char cut[32];
    CopyGbkCut(cut, sizeof cut, field, 31);
    fields[i] = cut;
    if (bar == std::string::npos) break;
    rest = rest.substr(bar + 1);
  }
  entry->multiplier = PositiveFactor(fields[0].c_str());
  CopyGbkCut(entry->nativeUnit, sizeof entry->nativeUnit, fields[1], 31);
  CopyGbkCut(entry->convertedUnit, sizeof entry->convertedUnit, fields[2], 31);
  entry->decimals = int(std::clamp(std::atol(fields[3].c_str()), 0L, 8L));
  CopyGbkCut(entry->currency, sizeof entry->currency, fields[4], 31);
  return true;
}

// ---- Labels and values --------------------------------------------------------------------------

const char *QuotePanelLabel(const TDrawView &view, int valueCode) {
  const int item = valueCode + 1;
  if (item < 1 || item > 47) return "";
  const Shown s = ShownOf(view);
  const int type = s.type;
  switch (item) {
    case kItemLast: return type == 8 ? "现价" : kLabels[item];
    case kItemAverage:
      if (type != 2) return kLabels[item];
      return s.info && IsDeliveryEstimate(view, s) ? "交割(估)" : "结算";
    case kItemReference:
      if (type == 8) return "前均";
      return ReferenceIsPreviousClose(view.m_attr.stock.market) ? "昨收" : kLabels[item];
    case kItemVolume: return type == 8 ? "成交量" : kLabels[item];
    case kItemLastVolume: return type == 8 ? "现量" : kLabels[item];
    case kItemAmount:
      if (type == 2 || type == 7) return "持仓";
      return type == 8 ? "订货量" : kLabels[item];
    case kItemVolumeRatio:
      if (type == 2 || type == 7) return "仓差";
      return type == 8 ? "订货差" : kLabels[item];
    default: return kLabels[item];
  }
}

void FormatQuotePanelValue(const TDrawView &view, char *text, size_t size, int *colorIndex, int valueCode) {
  std::snprintf(text, size, "%s", kMissing);
  *colorIndex = 19;
  const Shown s = ShownOf(view);
  if (!s.info) return;
  const STKINFO &info = *s.info;
  const REALQUOTE &q = *s.quote;
  const double divisor = info.PriceDivisor();
  const double unit = info.VolumeUnit();
  const double m = Multiplier(view);
  const int decimals = Decimals(view, info);
  const int type = s.type;
  const int item = valueCode + 1;
  auto price = [&](uint32_t raw) {
    if (!raw) return;
    FormatPrice(text, size, raw * m / divisor, decimals);
    *colorIndex = PriceColorIndex(int32_t(raw), int32_t(q.refPrice));
  };
  auto volume = [&](double v) {
    std::snprintf(text, size, "%.0f", v / unit);
    *colorIndex = 32;
  };
  double bids = 0, asks = 0;
  if (!s.indexKind)
    for (int i = 0; i < 5; ++i) {
      bids += q.bid[i].volume;
      asks += q.ask[i].volume;
    }
  const int sideColor = PriceColorIndex(ToInt32(bids), ToInt32(asks));
  auto average = [&]() {
    double value = 0;
    if (type == 2 || type == 8) {
      const uint32_t settlement = q.settlement ? q.settlement : q.barSettlement;
      if (!settlement) return;
      value = settlement / divisor;
      if (type == 2 && IsDeliveryEstimate(view, s))
        std::snprintf(text, size, "%.2f", value);
      else
        FormatPrice(text, size, value, decimals);
    } else if (type == 1 || type == 6) {
      const double last = q.last * m / divisor;
      value = ScaleStepToRange(q.volume, q.amount, float(last));
      FormatPrice(text, size, value, decimals);
      value /= m;
    } else {
      if (!TrendAverage(view, info, &value)) return;
      FormatPrice(text, size, value, decimals);
      value /= m;
    }
    *colorIndex = PriceColorIndex(ToInt32(value * divisor), int32_t(q.refPrice));
  };
  switch (item) {
    case kItemLast: price(q.last); break;
    case kItemAverage: average(); break;
    case kItemChange:
      if (!q.last) break;
      FormatPrice(text, size, (double(q.last) - double(q.refPrice)) * m / divisor, decimals);
      *colorIndex = PriceColorIndex(int32_t(q.last), int32_t(q.refPrice));
      break;
    case kItemReference:
      if (q.refPrice) FormatPrice(text, size, q.refPrice * m / divisor, decimals);
      break;
    case kItemChangePercent:
      if (!q.last || !q.refPrice) break;
      std::snprintf(text, size, "%.2f%%", (double(q.last) - double(q.refPrice)) * 100.0 / double(q.refPrice));
      *colorIndex = PriceColorIndex(int32_t(q.last), int32_t(q.refPrice));
      break;
    case kItemOpen: price(q.open); break;
    case kItemHigh: price(q.high); break;
    case kItemLow: price(q.low); break;
    case kItemVolume: volume(q.volume); break;
    case kItemLastVolume: volume(q.lastVolume); break;
    case kItemAmount:
      if (type == 2 || type == 7 || type == 8) {
        volume(q.amount);
      } else {
        FormatBigNumber(q.amount, text, size);
        *colorIndex = 32;
      }
      break;
    case kItemVolumeRatio: {
      const bool interest = type == 2 || type == 7 || type == 8;
      double v = 0;
      if (!GetColumnValue(view.m_attr.stock.Word(), interest ? 30 : 13, &v)) break;
      std::snprintf(text, size, interest ? "%.0f" : "%.2f", v);
      *colorIndex = interest ? 32 : 19;
      break;
    }
    case kItemBuyerVolume:
    case kItemSellerVolume: {
      const CDataAgent *agent = DataAgentAt(view.TrendAgent);
      const double sum = agent ? agent->sideVolume[item == kItemBuyerVolume ? 0 : 1] : 0.0;
      if (sum > 0)
        std::snprintf(text, size, "%.0f", sum / unit);
      else
        std::snprintf(text, size, "0");
      *colorIndex = item == kItemBuyerVolume ? 20 : 18;
      break;
    }
    case kItemOrderRatio:
      if (bids + asks == 0) break;
      std::snprintf(text, size, "%+.2f%%", (bids - asks) * 100.0 / (bids + asks));
      *colorIndex = sideColor;
      break;
    case kItemOrderDifference:
      std::snprintf(text, size, "%.0f", (bids - asks) / unit);
      *colorIndex = sideColor;
      break;
    case kItemLimitUp: price(q.limitUp); break;
    case kItemLimitDown: price(q.limitDown); break;
    case kItemPrevClose: price(q.prevClose); break;
    case kItemBidAverage:
    case kItemBidAverage + 1:
    case kItemBidAverage + 2:
    case kItemBidAverage + 3: break;
    case kItemPeRatio:
    case kItemPbRatio: {
      const FINANCE *finance = FinanceOf(view.m_attr.stock.market, view.m_attr.stock.stock);
      const uint32_t raw = q.last ? q.last : q.prevClose;
      const double per = finance ? (item == kItemPeRatio ? finance->projectedEarningsPerShare
                                                         : finance->netAssetsPerShare)
                                 : 0.0;
      if (!finance || !raw || !(per > 0)) break;
      std::snprintf(text, size, "%.2f", raw / divisor / per);
      break;
    }
    case kItemTurnover: {
      const FINANCE *finance = FinanceOf(view.m_attr.stock.market, view.m_attr.stock.stock);
      if (!finance || !(finance->floatShares > 0)) break;
      std::snprintf(text, size, "%.2f%%", q.volume / (double(finance->floatShares) * 100.0));
      break;
    }
    case kItemDayAverage:
      if (type == 2 && s.kind == 3) {
        double value = 0;
        if (!TrendAverage(view, info, &value)) break;
        FormatPrice(text, size, value, decimals);
        *colorIndex = PriceColorIndex(ToInt32(value / m * divisor), int32_t(q.refPrice));
      } else {
        average();
      }
      break;
    default:
      if (item >= kItemBid1 && item <= kItemBid1 + 4) {
        if (!s.indexKind) price(q.bid[item - kItemBid1].price);
      } else if (item >= kItemAsk1 && item <= kItemAsk1 + 4) {
        if (!s.indexKind) price(q.ask[item - kItemAsk1].price);
      } else if (item >= kItemBidVolume1 && item <= kItemBidVolume1 + 4) {
        volume(q.bid[item - kItemBidVolume1].volume);
      } else if (item >= kItemAskVolume1 && item <= kItemAskVolume1 + 4) {
        volume(q.ask[item - kItemAskVolume1].volume);
      }
      break;
  }
}

THoverUnderline &HoverUnderline() {
  static THoverUnderline underline;
  return underline;
}

// ---- The view's quote panel --------------------------------------------------------------------

namespace {

// The frame's tool tip, made on first use.
EToolTip *FrameToolTip() {
  static EToolTip *tip = nullptr;
  if (!tip) {
    HWND main = MainFrameHost()->MainWindow();
    if (!main) return nullptr;
    tip = new EToolTip(main);
  }
  return tip;
}

struct PanelPainter {
  HDC dc;
  int width;
  SIZE Extent(HFONT font, const char *text) {
    SIZE size{};
    SelectObject(dc, font);
    GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
    return size;
  }
  // Text at x, vertically centred in the row from top; its rectangle.
  TRect Left(HFONT font, COLORREF color, int x, int top, int rowHeight, const char *text) {
    const SIZE size = Extent(font, text);
    SetTextColor(dc, color);
    const int y = top + (rowHeight - int(size.cy)) / 2;
    TextOutA(dc, x, y, text, int(std::strlen(text)));
    return TRect(x, y, x + int(size.cx), y + int(size.cy));
  }
  TRect Right(HFONT font, COLORREF color, int right, int top, int rowHeight, const char *text) {
    const SIZE size = Extent(font, text);
    return Left(font, color, right - int(size.cx), top, rowHeight, text);
  }
  void Separator(int y) {
    HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(14));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, width, y);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
};

HFONT FontOr(HFONT font) { return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

void Underline(HDC dc, const THoverUnderline &u, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, u.x1, u.y1, nullptr);
  LineTo(dc, u.x2, u.y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

// The cell of a plain item, or -1.
int PlainCell(int item) {
  switch (item) {
    case kItemReference: return 10;
    case kItemLow: return 11;
    case kItemOpen: return 12;
    case kItemHigh: return 13;
    case kItemLimitUp: return 14;
    case kItemLimitDown: return 15;
    case kItemPrevClose: return 16;
    default: return -1;
  }
}

}  // namespace

void TDrawView::LoadInstrumentSettings() {
  LoadTradeMarks();
  PriceMultiplier = 1.0;
  ConvertedDecimals = 0;
  NativeUnitText[0] = ConvertedUnitText[0] = 0;
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const TMarketData *market = m_attr.stock.market < kMaxMarkets ? MarketAt(m_attr.stock.market) : nullptr;
  const int type = market ? market->m_info.type : 0;
  if (info && type == 7) {
    char text[128] = {};
    const std::string code = ::FieldText(info->code, sizeof info->code);
    GetPrivateProfileStringA("PARAM", code.c_str(), "", text, sizeof text, "..\\cfg\\forfur.ini");
    ForeignFuturesEntry entry;
    if (ParseForeignFuturesEntry(text, &entry)) {
      char rate[64] = {};
      GetPrivateProfileStringA("FOREX", entry.currency, "1", rate, sizeof rate, "..\\cfg\\forex.ini");
      PriceMultiplier = entry.multiplier * PositiveFactor(rate);
      std::memcpy(NativeUnitText, entry.nativeUnit, sizeof NativeUnitText);
      std::memcpy(ConvertedUnitText, entry.convertedUnit, sizeof ConvertedUnitText);
      ConvertedDecimals = entry.decimals;
    }
  }
  ReadBigOrderThreshold();
  if (BrokerQueueMode && type == 6 && ViewServices().hasRequestClient && ViewServices().hasRequestClient())
    RequestBrokerQueue(m_attr.stock.market, m_attr.stock.stock);
}

void TDrawView::MsgPagePaint(TObject *) {
  if (Panel1->Visible()) DrawQuotePanel();
}

void TDrawView::DrawQuotePanel() {
  if (!MsgPage || TabChooser->TabIndex() != 0) return;
  std::fill(std::begin(PriceCells), std::end(PriceCells), TRect());
  const int W = std::max(MsgPage->Width(), 1), H = std::max(MsgPage->Height(), 1);
  if (!m_panelDC || m_panelWidth != W || m_panelHeight != H) {
    if (m_panelDC) {
      SelectObject(m_panelDC, m_panelOld);
      DeleteDC(m_panelDC);
      DeleteObject(m_panelBitmap);
    }
    HDC screen = GetDC(nullptr);
    m_panelDC = CreateCompatibleDC(screen);
    m_panelBitmap = CreateCompatibleBitmap(screen, W, H);
    ReleaseDC(nullptr, screen);
    m_panelOld = SelectObject(m_panelDC, m_panelBitmap);
    m_panelWidth = W;
    m_panelHeight = H;
  }
  HDC dc = m_panelDC;
  RECT all = {0, 0, W, H};
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &all, back);
  DeleteObject(back);
  auto show = [&] {
    if (Panel1->Visible()) BitBlt(MsgPage->Canvas()->Handle(), 0, 0, W, H, dc, 0, 0, SRCCOPY);
  };
  const Shown s = ShownOf(*this);
  if (!s.info) {
    show();
    return;
  }
  const STKINFO &info = *s.info;
  const REALQUOTE &q = *s.quote;
  const HFONT font1 = FontOr(ViewFont1), font2 = FontOr(ViewFont2), font3 = FontOr(ViewFont3),
              zoomed = FontOr(ViewFontEnlarged);
  PanelPainter p{dc, W};
  HGDIOBJ oldFont = SelectObject(dc, font2);
  SetBkMode(dc, TRANSPARENT);
  const SIZE label = p.Extent(font2, "卖一");
  const SIZE digit = p.Extent(font3, "0");
  const SIZE zoomDigit = p.Extent(zoomed, "0");
  const int LW = int(label.cx), LH = int(label.cy), DW = 10 * int(digit.cx), DH = int(digit.cy);
  const int R = std::max(DH, LH) + 4, R1 = std::max(int(zoomDigit.cy), LH) + 4;
  const int m = kMargin, G = m + LW + DW;
  const COLORREF labelColor = ViewColor(31);
  char value[64];
  int color = 19;
  auto valueOf = [&](int item) {
    FormatQuotePanelValue(*this, value, sizeof value, &color, item - 1);
    return ViewColor(color + 1);
  };

  // Title: name and code.
  std::string code = ::FieldText(info.code, sizeof info.code);
  if (s.market->m_stocksEx) {
    const STKINFOEX *ex = GetStockInfoEx(m_attr.stock);
    if (ex && ex->code[0]) code = FieldText(ex->code, sizeof ex->code);
  }
  const std::string title = ::FieldText(info.name, sizeof info.name) + "(" + code + ")";
  const SIZE titleSize = p.Extent(font1, title.c_str());
  SetTextColor(dc, ViewColor(24));
  TextOutA(dc, (W - int(titleSize.cx)) / 2, 2, title.c_str(), int(title.size()));
  int y = LH + 4;
  p.Separator(y);
  y += 1;

  if (s.indexKind && (s.type == 1 || s.type == 6)) {
    static const std::pair<const char *, int> kRows[] = {
        {"最新指数", kItemLast},      {"指数涨跌", kItemChange}, {"涨跌幅度", kItemChangePercent},
        {"昨日收盘", kItemReference}, {"今日开盘", kItemOpen},   {"今日最高", kItemHigh},
        {"今日最低", kItemLow},       {"总成交量", kItemVolume}, {"总成交额", kItemAmount}};
    for (const auto &[name, item] : kRows) {
      p.Left(font2, labelColor, m, y, R, name);
      const COLORREF c = valueOf(item);
      p.Right(font3, c, 2 * LW + 2 * m + DW, y, R, value);
      y += R;
    }
  } else {
    bool depth = s.type == 1 || s.type == 6;
    if (s.type == 2 || s.type == 8)
      for (int i = 1; i < 5 && !depth; ++i)
        depth = q.bid[i].price || q.ask[i].price || q.bid[i].volume != 0 || q.ask[i].volume != 0;
    bool leftHalf = true;
    const uint8_t *items = DetailItems();
    for (int i = 0; i < kDetailItemCount && items[i]; ++i) {
      const int c = items[i];
      const bool last = i + 1 == kDetailItemCount || !items[i + 1];
      if (i > 0 && QuotePanelRowKind(items[i - 1]) != QuotePanelRowKind(c)) {
        if (!leftHalf) y += R;
        p.Separator(y);
        y += 1;
        leftHalf = true;
      }
      if (c == kItemBid1 || c == kItemAsk1) {
        const bool bid = c == kItemBid1;
        p.Left(font2, labelColor, m, y, R1, depth ? (bid ? "买一" : "卖一") : (bid ? "买入" : "卖出"));
        COLORREF col = valueOf(c);
        const int width = int(p.Extent(zoomed, value).cx);
        const bool atG = G - width >= LW + 2 * m;
        const TRect cell = p.Right(zoomed, col, atG ? G : LW + 2 * m + width, y, R1, value);
        PriceCells[bid ? 5 : 4] = cell;
        col = valueOf(c + 5);
        p.Left(zoomed, col, atG ? W - G : cell.Right + m, y, R1, value);
        y += R1;
        leftHalf = true;
      } else if ((c >= 18 && c <= 21) || (c >= 28 && c <= 31)) {
        if (!depth) continue;
        p.Left(font2, labelColor, m, y, R, kLabels[c]);
        COLORREF col = valueOf(c);
        const TRect cell = p.Right(font3, col, G, y, R, value);
        PriceCells[c <= 21 ? 5 + (c - 17) : 4 - (c - 27)] = cell;
        col = valueOf(c + 5);
        p.Left(font3, col, W - G, y, R, value);
        y += R;
        leftHalf = true;
      } else if ((c == kItemLimitUp || c == kItemLimitDown) && s.type == 8) {
        continue;
      } else if (c == kItemBidAverage || c == kItemAskAverage) {
        p.Left(font2, labelColor, m, y, R, QuotePanelLabel(*this, c - 1));
        COLORREF col = valueOf(c);
        p.Right(font3, col, G, y, R, value);
        col = valueOf(c + 1);
        p.Right(font3, col, W - m, y, R, value);
        y += R;
        leftHalf = true;
      } else {
        const int cellIndex = PlainCell(c);
        const COLORREF col = valueOf(c);
        const int width = int(p.Extent(font3, value).cx);
        if (leftHalf) {
          p.Left(font2, labelColor, m, y, R, QuotePanelLabel(*this, c - 1));
          p.Right(font3, col, G, y, R, value);
          if (cellIndex >= 0) PriceCells[cellIndex] = TRect(G - width, y, G, y + R);
          if (last) y += R;
        } else {
          p.Left(font2, labelColor, W - m - LW - DW, y, R, QuotePanelLabel(*this, c - 1));
          p.Right(font3, col, W - m, y, R, value);
          if (cellIndex >= 0) PriceCells[cellIndex] = TRect(W - m - width, y, W - m, y + R);
          y += R;
        }
        leftHalf = !leftHalf;
      }
    }
    const THoverUnderline &u = HoverUnderline();
    if (u.drawn && u.view == this) Underline(dc, u, ViewColor(33));
  }
  p.Separator(y);
  y += 1;

  if (s.type == 7 && NativeUnitText[0]) {
    RECT row = {0, y, W, y + R};
    HBRUSH fill = CreateSolidBrush(ViewColor(64));
    FillRect(dc, &row, fill);
    DeleteObject(fill);
    p.Left(font2, labelColor, m, y, R, "单位");
    const TRect native = p.Right(font3, ViewColor(24), W - m, y, R, NativeUnitText);
    const TRect converted = p.Right(font3, ViewColor(24), G, y, R, ConvertedUnitText);
    // A small arrow before the unit in use.
    const int ax = (ConvertedPrices ? converted.Left : native.Left) - 14, ay = y + R / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(24));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    for (int i = 0; i < 4; ++i) {
      MoveToEx(dc, ax + 3 + i, ay - 3 + i, nullptr);
      LineTo(dc, ax + 3 + i, ay + 4 - i);
    }
    MoveToEx(dc, ax, ay, nullptr);
    LineTo(dc, ax + 3, ay);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    PriceCells[kPriceCellUnitRow] = TRect(m, y, W - m, y + R);
    y += R;
    p.Separator(y);
    y += 1;
  }
  SelectObject(dc, oldFont);

  QuotePanelHeight = y;
  if (MsgPage->Height() != y) {
    MsgPage->SetHeight(y);
    Panel1Resize();
  }
  show();
}

int TDrawView::PriceCellAt(int x, int y, int last) const {
  for (int i = 0; i <= last && i < kPriceCellCount; ++i) {
    const TRect &r = PriceCells[i];
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return i;
  }
  return -1;
}

void TDrawView::MsgPageMouseMove(TObject *, TShiftState, int x, int y) {
  THoverUnderline &u = HoverUnderline();
  HDC dc = MsgPage->Canvas()->Handle();
  auto erase = [&] {
    if (u.drawn && u.view == this) Underline(dc, u, ViewColor(1));
    u = THoverUnderline{};
  };
  erase();
  const int cell = PriceCellAt(x, y, kPriceCellCount - 1);
  if (cell >= 0) {
    if (HandCursor) SetCursor(HandCursor);
    if (cell <= 16) {
      const TRect &r = PriceCells[cell];
      u.x1 = r.Left;
      u.x2 = r.Right;
      u.y1 = u.y2 = r.Bottom - 1;
      u.drawn = true;
      u.view = this;
      Underline(dc, u, ViewColor(33));
    }
  }
  if (EToolTip *tip = FrameToolTip()) tip->Hide();
  if (HandleAllocated()) PostMessageA(Handle(), WM_NCMOUSEMOVE, 0, 0);
}

void TDrawView::MsgPageMouseDown(TObject *, TMouseButton button, TShiftState, int x, int y) {
  Activate();
  const TPoint screen = MsgPage->ClientToScreen(TPoint(x, y));
  if (button == mbRight) ShowContextMenu(screen.x, screen.y);
  if (button == mbLeft && GrapPriceMode == 1) OrderFromPriceCellAt(x + MsgPage->Left(), y + MsgPage->Top());
  const TRect &unit = PriceCells[kPriceCellUnitRow];
  if (button == mbLeft && x >= unit.Left && x <= unit.Right && y >= unit.Top && y <= unit.Bottom &&
      unit.Right > unit.Left) {
    ConvertedPrices = !ConvertedPrices;
    if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_ACTIVE_CHART_REINIT, 0, 0);
  }
}

void TDrawView::MsgPageDblClick(TObject *) {
  if (GrapPriceMode == 0)
    OrderFromPriceCell();
  else if (GrapPriceMode == 1)
    MainFrameHost()->PressPanelOrderButton();
}

void TDrawView::OrderFromPriceCell() {
  POINT p{};
  GetCursorPos(&p);
  const TPoint at = Panel1->ScreenToClient(TPoint(p.x, p.y));
  OrderFromPriceCellAt(at.x, at.y);
}

void TDrawView::OrderFromPriceCellAt(int x, int y) {
  if (!m_page || m_page->m_active != this) return;
  // The cells are in MsgPage's pixels; MsgPage sits at the panel's top.
  const int cell = PriceCellAt(x - MsgPage->Left(), y - MsgPage->Top(), 16);
  if (cell < 0) return;
  const Shown s = ShownOf(*this);
  if (!s.info) return;
  const REALQUOTE &q = *s.quote;
  uint32_t raw = 0;
  if (cell <= 4)
    raw = q.ask[4 - cell].price;
  else if (cell <= 9)
    raw = q.bid[cell - 5].price;
  else {
    const uint32_t fixed[] = {q.refPrice, q.low, q.open, q.high, q.limitUp, q.limitDown, q.prevClose};
    raw = fixed[cell - 10];
  }
  MainFrameHost()->SetOrderContractAndPrice(m_attr.stock.Word(), double(raw) / s.info->PriceDivisor());
}
