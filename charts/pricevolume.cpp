#include "charts/pricevolume.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charts/drawview.h"
#include "charts/tradenature.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

// ---- The statistics ------------------------------------------------------------------------

namespace {

PackedDateTime PvWithClock(PackedDateTime t, unsigned hour, unsigned minute) {
  return (t & kPackedDateMask) | (PackedDateTime(hour & 0x1F) << 6) | PackedDateTime(minute & 0x3F);
}

// One minute back: minute 0 goes to 59 of the hour before, hour 0 to 23 of
// the day before.
PackedDateTime PvMinuteBack(PackedDateTime t) {
  const unsigned hour = PackedHour(t), minute = PackedMinute(t);
  if (minute > 0) return PvWithClock(t, hour, minute - 1);
  if (hour > 0) return PvWithClock(t, hour - 1, 59);
  PackedDateTime day = PvWithClock(t, 23, 59);
  PackedPreviousDayInPlace(&day);
  return day;
}

PackedDateTime PvMinuteForward(PackedDateTime t) {
  const unsigned hour = PackedHour(t), minute = PackedMinute(t);
  if (minute < 59) return PvWithClock(t, hour, minute + 1);
  if (hour < 23) return PvWithClock(t, hour + 1, 0);
  PackedDateTime day = PvWithClock(t, 0, 0);
  PackedNextDayInPlace(&day);
  return day;
}

// A time of day written HHMM on the date of t.
PackedDateTime PvClockOf(PackedDateTime t, int32_t hhmm) {
  const int32_t v = std::max(hhmm, 0);
  return PvWithClock(t, unsigned(v / 100), unsigned(v % 100));
}

// Most minutes the last-minutes mode walks back: a year.
constexpr int32_t kPvMostMinutes = 366 * 1440;

}  // namespace

void PriceVolumeWindow(const TPriceVolumeRange &range, PackedDateTime first, PackedDateTime last,
                       PackedDateTime *start, PackedDateTime *end) {
  *start = 0;
  *end = 0;
  if (range.timeMode == 1) {
    PackedDateTime t = last;
    const int32_t minutes = std::clamp(range.param1, 0, kPvMostMinutes);
    for (int32_t i = 0; i < minutes; ++i) t = PvMinuteBack(t);
    *start = t;
  } else if (range.timeMode == 2) {
    *start = PvClockOf(first, range.param1);
    *end = PvMinuteForward(PvClockOf(first, range.param2));
  }
}

int NearestPriceVolumePrice(const std::map<int, int> &prices, int target) {
  if (prices.empty()) return 0;
  auto above = prices.lower_bound(target);
  if (above == prices.end()) return std::prev(above)->first;
  if (above == prices.begin()) return above->first;
  auto below = std::prev(above);
  const int64_t up = int64_t(above->first) - target, down = int64_t(target) - below->first;
  return down <= up ? below->first : above->first;
}

void BuildPriceVolumeStats(const TICKREC *trades, int count, const TPriceVolumeRange &range,
                           const TPriceVolumeInstrument &instrument, std::map<int, int> &buy,
                           std::map<int, int> &sell, std::map<int, int> &all, TPriceVolumeFigures *figures) {
  buy.clear();
  sell.clear();
  all.clear();
  *figures = TPriceVolumeFigures{};
  if (!trades || count <= 0) return;

  PackedDateTime start = 0, end = 0;
  PriceVolumeWindow(range, trades[0].time, trades[count - 1].time, &start, &end);
  const int32_t unit = instrument.volumeUnit > 0 ? instrument.volumeUnit : 1;
  const double least = double(range.volumeLimit) * unit;
  const bool futures = instrument.marketType == 2;

  double tallies[kShareCount] = {};
  double buyAmount = 0, sellAmount = 0, total = 0;
  auto add = [](std::map<int, int> &map, int price, float volume, int32_t *most) {
    int &slot = map[price];
    slot = int(std::trunc(double(slot) + double(volume)));
    *most = std::max(*most, slot);
  };
  for (int i = 0; i < count; ++i) {
    const TICKREC &t = trades[i];
    const float v = t.volume;
    if (double(v) < least) continue;
    if (range.timeMode == 1 && t.time < start) continue;
    if (range.timeMode == 2 && (t.time < start || t.time >= end)) continue;
    const int p = int(t.price);
    const bool buyer = t.side == 0;
    if (buyer) {
      add(buy, p, v, &figures->maxSideVolume);
      buyAmount += double(t.price) * double(v);
      figures->buyVolume += double(v);
    } else {
      add(sell, p, v, &figures->maxSideVolume);
      sellAmount += double(t.price) * double(v);
      figures->sellVolume += double(v);
    }
    add(all, p, v, &figures->maxVolume);
    total += double(v);
    if (!futures) continue;
    const float before = i > 0 ? trades[i - 1].amount : instrument.previousOpenInterest;
    const double d = double(t.amount) - double(before);
    const double dv = double(v);
    switch (ClassifyTrade(v, float(d), unit, kNatureRaw)) {
      case kNatureTurnover:
        tallies[buyer ? kShareLongTurnover : kShareShortTurnover] += dv;
        break;
      case kNatureBothOpen:
        tallies[kShareBothOpen] += dv;
        break;
      case kNatureBothClose:
        tallies[kShareBothClose] += dv;
        break;
      case kNatureOpen:
        tallies[buyer ? kShareLongOpen : kShareShortOpen] += dv;
        tallies[buyer ? kShareLongOpenTurn : kShareShortOpenTurn] += std::fabs(dv) >= std::fabs(d) ? dv - d : 0;
        break;
      case kNatureClose:
        tallies[buyer ? kShareShortClose : kShareLongClose] += dv;
        tallies[buyer ? kShareShortCloseTurn : kShareLongCloseTurn] += std::fabs(dv) >= std::fabs(d) ? dv + d : 0;
        break;
    }
  }
  if (futures && total > 0)
    for (int k = 0; k < kShareCount; ++k) figures->shares[k] = float(tallies[k] * 100.0 / total);
  const double divisor = instrument.divisor != 0 ? instrument.divisor : 1;
  figures->buyAverage = figures->buyVolume != 0 ? buyAmount / figures->buyVolume / divisor : 0;
  figures->sellAverage = figures->sellVolume != 0 ? sellAmount / figures->sellVolume / divisor : 0;
}

void SavePriceVolumeDefaults(const TPriceVolumeRange &range) {
  const std::string file = std::string(UserDataPath) + "defui.ini";
  const auto put = [&file](const char *key, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    WritePrivateProfileStringA("PVStatistic", key, text, file.c_str());
  };
  put("VolLimit", range.volumeLimit);
  put("TimeLimit", range.timeMode);
  put("TimeParam1", range.param1);
  put("TimeParam2", range.param2);
}

// ---- The range dialog ----------------------------------------------------------------------

TPriceVolumeSettingDialog::TPriceVolumeSettingDialog(TComponent *owner) : TForm(owner) {
  SetCaption("价量分布图设置");
  SetBorderStyle(bsDialog);
  Position = poScreenCenter;
  SetClientWidth(300);
  SetClientHeight(196);

  GroupBox1 = new TGroupBox(this);
  GroupBox1->SetParent(this);
  GroupBox1->SetCaption(" 统计范围 ");
  GroupBox1->SetBounds(8, 6, 284, 124);
  auto label = [this](const char *text, int x, int y) {
    auto *l = new TLabel(this);
    l->SetParent(GroupBox1);
    l->SetCaption(text);
    l->SetBounds(x, y, int(std::strlen(text)) * 6 + 4, 14);
    return l;
  };
  label("数量:  ≥", 12, 24);
  VolumeLimit = new TEdit(this);
  VolumeLimit->SetParent(GroupBox1);
  VolumeLimit->SetBounds(72, 20, 60, 20);
  VolumeLimit->SetText("0");
  VolumeUpDown = new TUpDown(this);
  VolumeUpDown->SetParent(GroupBox1);
  VolumeUpDown->SetBounds(132, 20, 16, 20);
  VolumeUpDown->Min = 0;
  VolumeUpDown->Max = 32767;
  VolumeUpDown->Associate = VolumeLimit;
  label("手", 154, 24);

  label("时间:", 12, 50);
  All = new TRadioButton(this);
  All->SetParent(GroupBox1);
  All->SetCaption("全部");
  All->SetBounds(72, 48, 60, 18);
  Near = new TRadioButton(this);
  Near->SetParent(GroupBox1);
  Near->SetCaption("最近");
  Near->SetBounds(72, 72, 50, 18);
  TimeLimit = new TEdit(this);
  TimeLimit->SetParent(GroupBox1);
  TimeLimit->SetBounds(124, 70, 50, 20);
  TimeUpDown = new TUpDown(this);
  TimeUpDown->SetParent(GroupBox1);
  TimeUpDown->SetBounds(174, 70, 16, 20);
  TimeUpDown->Min = 0;
  TimeUpDown->Max = 1440;
  TimeUpDown->Associate = TimeLimit;
  label("分钟", 196, 74);
  Range = new TRadioButton(this);
  Range->SetParent(GroupBox1);
  Range->SetCaption("从");
  Range->SetBounds(72, 96, 36, 18);
  StartTime = new TDateTimePicker(this);
  StartTime->SetParent(GroupBox1);
  StartTime->Kind = dtkTime;
  StartTime->SetBounds(110, 94, 70, 20);
  label("到", 184, 98);
  EndTime = new TDateTimePicker(this);
  EndTime->SetParent(GroupBox1);
  EndTime->Kind = dtkTime;
  EndTime->SetBounds(204, 94, 70, 20);
  All->SetChecked(true);

  Default = new TCheckBox(this);
  Default->SetParent(this);
  Default->SetCaption("保存为默认设置");
  Default->SetBounds(14, 138, 130, 18);

  OK = new TButton(this);
  OK->SetParent(this);
  OK->SetCaption("确定");
  OK->SetBounds(136, 164, 72, 24);
  OK->SetDefault(true);
  OK->ModalResult = mrOk;
  OK->OnClick = [this](TObject *s) { OKClick(s); };
  CANCEL = new TButton(this);
  CANCEL->SetParent(this);
  CANCEL->SetCaption("取消");
  CANCEL->SetBounds(218, 164, 72, 24);
  CANCEL->Cancel = true;
  CANCEL->ModalResult = mrCancel;
  FormCreate();
}

void TPriceVolumeSettingDialog::FormCreate() {
  StartTime->SetDate(2011, 1, 1);
  StartTime->SetTime(9, 0, 0);
  EndTime->SetDate(2011, 1, 1);
  EndTime->SetTime(15, 0, 0);
  TimeUpDown->SetPosition(30);
  TimeLimit->SetText("30");
}

void TPriceVolumeSettingDialog::ShowRange(const TPriceVolumeRange &range) {
  VolumeUpDown->SetPosition(range.volumeLimit);
  VolumeLimit->SetText(std::to_string(range.volumeLimit));
  if (range.timeMode == 1) {
    Near->SetChecked(true);
    TimeUpDown->SetPosition(range.param1);
    TimeLimit->SetText(std::to_string(range.param1));
  } else if (range.timeMode == 2) {
    Range->SetChecked(true);
    StartTime->SetDate(2011, 1, 1);
    StartTime->SetTime(range.param1 / 100, range.param1 % 100, 0);
    EndTime->SetDate(2011, 1, 1);
    EndTime->SetTime(range.param2 / 100, range.param2 % 100, 0);
  } else {
    All->SetChecked(true);
  }
}

void TPriceVolumeSettingDialog::OKClick(TObject *) {
  const char *warning = nullptr;
  const int start = StartTime->Hour() * 60 + StartTime->Minute();
  const int end = EndTime->Hour() * 60 + EndTime->Minute();
  if (Range->Checked() && start > end)
    warning = "起始时间应早于结束时间。  ";
  else if (std::atol(VolumeLimit->Text().c_str()) > 32767)
    warning = "数量限制不能超过 32767。  ";
  else if (Near->Checked() && std::atol(TimeLimit->Text().c_str()) > 240)
    warning = "分钟数不能超过 240。  ";
  if (!warning) return;
  MessageBoxA(HandleAllocated() ? Handle() : nullptr, warning, "提示", MB_ICONWARNING);
  SetModalResult(mrNone);
}

TPriceVolumeRange TPriceVolumeSettingDialog::ChosenRange() const {
  TPriceVolumeRange r;
  r.volumeLimit = int32_t(std::atol(VolumeLimit->Text().c_str()));
  if (All->Checked()) {
    r.timeMode = 0;
  } else if (Near->Checked()) {
    r.timeMode = 1;
    r.param1 = int32_t(std::atol(TimeLimit->Text().c_str()));
  } else {
    r.timeMode = 2;
    r.param1 = StartTime->Hour() * 100 + StartTime->Minute();
    r.param2 = EndTime->Hour() * 100 + EndTime->Minute();
  }
  return r;
}

// ---- The view's box ------------------------------------------------------------------------

namespace {

HFONT PvFont(HFONT font) { return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

bool PvIndexKind(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  if (!m || stock.stock >= m->m_loadedCount) return false;
  const int kind = StockKindOf(m, stock.stock);
  return kind >= 0 && kind < kMaxStockKinds && m->m_info.kinds[kind].noOrderBook;
}

int PvMarketType(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  return m ? m->m_info.type : 0;
}

void PvLine(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void PvFill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  RECT r{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void PvText(HDC dc, HFONT font, COLORREF color, const char *text, int left, int top, int right, int bottom,
            UINT align) {
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  RECT r{left, top, right, bottom};
  DrawTextA(dc, text, -1, &r, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old);
}

int PvTextHeight(HDC dc) {
  HGDIOBJ old = SelectObject(dc, PvFont(ViewFont2));
  SIZE s{};
  GetTextExtentPoint32A(dc, "测", 2, &s);
  SelectObject(dc, old);
  return int(s.cy);
}

}  // namespace

int TDrawView::PriceVolumeBottom() const {
  return int(std::trunc(double(Panel1->Height() - 52) * ChartPriceRatio + 35));
}

int TDrawView::PriceVolumeY(int price) const {
  const int B = PriceVolumeBottom();
  const double span = double(PriceAxisTop) - double(PriceAxisBottom);
  if (span == 0) return 36;
  return int(std::trunc(double(B - 36) * (1.0 - (double(price) - double(PriceAxisBottom)) / span) + 36));
}

void TDrawView::RebuildPriceVolumeStats() {
  CDataAgent *agent = TradeAgent >= 0 ? DataAgentAt(TradeAgent) : nullptr;
  const TICKREC *trades = agent ? static_cast<const TICKREC *>(agent->series) : nullptr;
  const int count = trades && agent->itemSize == int32_t(sizeof(TICKREC)) ? agent->itemCount : 0;
  TPriceVolumeInstrument instrument;
  if (const STKINFO *info = GetStockInfo(m_attr.stock)) {
    instrument.volumeUnit = info->VolumeUnit();
    instrument.divisor = info->PriceDivisor();
  }
  instrument.marketType = PvMarketType(m_attr.stock);
  if (const REALQUOTE *q = QuoteOf(m_attr.stock.market, m_attr.stock.stock))
    instrument.previousOpenInterest = q->prevOpenInterest;
  const TPriceVolumeRange range{StatsVolumeLimit, StatsTimeMode, StatsTimeParam1, StatsTimeParam2};
  // Trades are only ever appended between two builds of the series, so the
  // agent, its build and its length tell whether anything new came.
  PriceVolumeSource source;
  source.agent = agent ? TradeAgent : -1;
  source.agentTag = agent ? agent->requestTag : 0;
  source.generation = agent ? agent->generation : 0;
  source.series = trades;
  source.count = count;
  source.stock = m_attr.stock.Word();
  source.range = range;
  source.instrument = instrument;
  if (PriceVolumeValid && source == PriceVolumeCounted) return;
  PriceVolumeCounted = source;
  PriceVolumeValid = true;
  ++PriceVolumeBuilds;
  TPriceVolumeFigures f;
  BuildPriceVolumeStats(trades, count, range, instrument, BuyVolumeByPrice, SellVolumeByPrice, VolumeByPrice, &f);
  MaxSideVolume = f.maxSideVolume;
  MaxVolume = f.maxVolume;
  std::copy(std::begin(f.shares), std::end(f.shares), std::begin(NatureShares));
  BuyAverage = f.buyAverage;
  SellAverage = f.sellAverage;
  BuyVolume = f.buyVolume;
  SellVolume = f.sellVolume;
}

void TDrawView::SetChartPriceRatio(double ratio) {
  HoverFraction = -1.0;
  ChartPriceRatio = ratio;
  if (PriceVolume) PriceVolume->Invalidate();
}

void TDrawView::PriceVolumePaint(TObject *) {
  if (!TabChooser || TabChooser->TabIndex() != 1) return;
  if (TradeAgent < 0) {
    if (HandleAllocated()) TradeAgent = AcquireDataAgent(m_attr.stock, kAgentTicks, 0, Handle());
    return;
  }
  RebuildPriceVolumeStats();
  const int W = std::max(PriceVolume->Width(), 1), H = std::max(PriceVolume->Height(), 1);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, W, H);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  PvFill(dc, 0, 0, W, H, ViewColor(1));

  const bool index = PvIndexKind(m_attr.stock);
  const HFONT font2 = PvFont(ViewFont2);
  HPEN labelPen = CreatePen(PS_SOLID, 1, ViewColor(31));
  HGDIOBJ oldPen = SelectObject(dc, labelPen);
  if (!index) {
    PvText(dc, font2, ViewColor(31), "对比模式", 30, 2, 150, 17, DT_LEFT);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 15, 3, 27, 15);
    SelectObject(dc, oldBrush);
    if (ComparisonMode) {
      static const int kCheck[6][4] = {{19, 11, 25, 5}, {19, 12, 25, 6}, {19, 10, 25, 4},
                                       {17, 9, 19, 11}, {17, 10, 19, 12}, {17, 8, 19, 10}};
      for (const auto &l : kCheck) PvLine(dc, l[0], l[1], l[2], l[3]);
    }
  }
  PvText(dc, font2, ViewColor(31), "设置统计范围", W / 2, 2, W / 2 + 100, 17, DT_LEFT);
  {
    HGDIOBJ old = SelectObject(dc, font2);
    SIZE s{};
    GetTextExtentPoint32A(dc, "设置统计范围", 12, &s);
    SelectObject(dc, old);
    PvLine(dc, W / 2, 15, W / 2 + int(s.cx), 15);
  }
  SelectObject(dc, oldPen);
  DeleteObject(labelPen);

  const int B = PriceVolumeBottom();
  HPEN gridPen = CreatePen(PS_SOLID, 1, ViewColor(14));
  oldPen = SelectObject(dc, gridPen);
  PvLine(dc, 0, 18, W, 18);
  const bool comparison = ComparisonMode && !index;
  if (comparison) PvLine(dc, W / 2, 18, W / 2, B);
  PvLine(dc, 0, B, W, B);
  PvLine(dc, 0, B + 1, W, B + 1);
  SelectObject(dc, oldPen);
  DeleteObject(gridPen);

  if (PriceAxisTop != PriceAxisBottom) {
    auto bars = [&](const std::map<int, int> &map, COLORREF color, auto span) {
      HPEN pen = CreatePen(PS_SOLID, 1, color);
      HGDIOBJ old = SelectObject(dc, pen);
      for (const auto &[price, volume] : map) {
        const int y = PriceVolumeY(price);
        const auto [from, to] = span(volume);
        PvLine(dc, from, y, to, y);
      }
      SelectObject(dc, old);
      DeleteObject(pen);
    };
    if (comparison && MaxSideVolume != 0) {
      const double half = W / 2 - 4;
      bars(SellVolumeByPrice, ViewColor(19), [&](int v) {
        return std::pair<int, int>(W / 2 + 1, W / 2 + 1 + int(std::trunc(double(v) / MaxSideVolume * half)));
      });
      bars(BuyVolumeByPrice, ViewColor(21), [&](int v) {
        return std::pair<int, int>(W / 2 - int(std::trunc(double(v) / MaxSideVolume * half)), W / 2);
      });
    } else if (!comparison && MaxVolume != 0) {
      bars(VolumeByPrice, ViewColor(33), [&](int v) {
        return std::pair<int, int>(0, int(std::trunc(double(v) / MaxVolume * double(W - 4))));
      });
    }
  }
  HoverPrice = -1;
  DrawPriceVolumeHover(dc);
  int y = B + 57;
  if (PvMarketType(m_attr.stock) == 2) DrawNatureShares(dc, y);
  DrawSideAverages(dc, y);

  BitBlt(PriceVolume->Canvas()->Handle(), 0, 0, W, H, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

void TDrawView::DrawPriceVolumeHover(HDC given) {
  if (PriceAxisTop == PriceAxisBottom) return;
  HDC dc = given ? given : PriceVolume->Canvas()->Handle();
  const int W = PriceVolume->Width();
  const double span = double(PriceAxisTop) - double(PriceAxisBottom);
  const int target = int(std::trunc(double(PriceAxisTop) - span * HoverFraction));
  const int N = NearestPriceVolumePrice(VolumeByPrice, target);

  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(14));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const int oldRop = SetROP2(dc, R2_NOT);
  if (HoverPrice >= 0) PvLine(dc, 0, PriceVolumeY(HoverPrice), W, PriceVolumeY(HoverPrice));
  if (HoverFraction > -1) {
    PvLine(dc, 0, PriceVolumeY(N), W, PriceVolumeY(N));
    HoverPrice = N;
  }
  SetROP2(dc, oldRop);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  const int o = int(std::trunc(double(Panel1->Height() - 52) * ChartPriceRatio));
  const int h = PvTextHeight(dc);
  PvFill(dc, -1, o + 36, W + 1, o + 2 * h + 66, ViewColor(1));
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const double divisor = info ? info->PriceDivisor() : 1000;
  const int unit = info ? info->VolumeUnit() : 1;
  const double m = ConvertedPrices && PriceMultiplier > 0 && std::isfinite(PriceMultiplier) ? PriceMultiplier : 1.0;
  const int decimals = std::clamp(ConvertedPrices ? ConvertedDecimals : (info ? int(info->decimals) : 2), 0, 8);
  const HFONT font2 = PvFont(ViewFont2), font3 = PvFont(ViewFont3);
  const double middle = (double(PriceAxisTop) + double(PriceAxisBottom)) / 2;
  const COLORREF priceColor = N > middle ? ViewColor(21) : N < middle ? ViewColor(19) : ViewColor(33);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, N / divisor * m);
  const int top1 = o + 47;
  PvText(dc, font2, ViewColor(31), "价格", 3, top1, W / 2 - 3, top1 + h, DT_LEFT);
  PvText(dc, font3, priceColor, text, 3, top1, W / 2 - 3, top1 + h, DT_RIGHT);
  const int top2 = top1 + h + 10;
  auto volumeAt = [&](const std::map<int, int> &map) {
    auto it = map.find(N);
    std::snprintf(text, sizeof text, "%d", it == map.end() ? 0 : it->second / unit);
    return text;
  };
  if (PvIndexKind(m_attr.stock)) {
    PvText(dc, font2, ViewColor(31), "成交", 3, top2, W / 2 - 3, top2 + h, DT_LEFT);
    PvText(dc, font3, ViewColor(33), volumeAt(SellVolumeByPrice), 3, top2, W / 2 - 3, top2 + h, DT_RIGHT);
  } else {
    PvText(dc, font2, ViewColor(31), "多方成交", 3, top2, W / 2 - 3, top2 + h, DT_LEFT);
    PvText(dc, font3, ViewColor(21), volumeAt(BuyVolumeByPrice), 3, top2, W / 2 - 3, top2 + h, DT_RIGHT);
    PvText(dc, font2, ViewColor(31), "空方成交", W / 2 + 3, top2, W - 3, top2 + h, DT_LEFT);
    PvText(dc, font3, ViewColor(19), volumeAt(SellVolumeByPrice), W / 2 + 3, top2, W - 3, top2 + h, DT_RIGHT);
  }
}

void TDrawView::PriceVolumeMouseMove(int y) {
  if (y < 36) return;
  // Until the chart has laid out its price area the ratio is 0: nothing to map.
  const int height = int(std::trunc(double(Panel1->Height() - 52) * ChartPriceRatio));
  if (height <= 0) return;
  HoverFraction = std::clamp(double(y - 36) / height, 0.0, 1.0);
  const double span = double(PriceAxisTop) - double(PriceAxisBottom);
  const int N = NearestPriceVolumePrice(VolumeByPrice, int(std::trunc(double(PriceAxisTop) - span * HoverFraction)));
  if (N != HoverPrice) DrawPriceVolumeHover(nullptr);
}

void TDrawView::PriceVolumeMouseDown(TMouseButton button, int x, int y) {
  const int W = PriceVolume->Width();
  if (button == mbLeft && x >= 15 && x <= 72 && y >= 2 && y <= 17) {
    ComparisonMode = !ComparisonMode;
  } else if (button == mbLeft && x >= W / 2 && x <= W / 2 + 78 && y >= 2 && y <= 17) {
    TPriceVolumeSettingDialog dialog(this);
    dialog.ShowRange({StatsVolumeLimit, StatsTimeMode, StatsTimeParam1, StatsTimeParam2});
    MainFrameHost()->SetDialogOpen(true);
    const bool ok = dialog.ShowModal() == mrOk;
    MainFrameHost()->SetDialogOpen(false);
    if (ok) {
      const TPriceVolumeRange r = dialog.ChosenRange();
      StatsVolumeLimit = r.volumeLimit;
      StatsTimeMode = r.timeMode;
      StatsTimeParam1 = r.param1;
      StatsTimeParam2 = r.param2;
      if (dialog.Default->Checked()) SavePriceVolumeDefaults(r);
    }
  }
  PriceVolume->Invalidate();
}

void TDrawView::DrawNatureShares(HDC dc, int &y) {
  const int W = PriceVolume->Width();
  const int h = PvTextHeight(dc);
  const HFONT font2 = PvFont(ViewFont2), font3 = PvFont(ViewFont3);
  struct Row {
    const char *left, *right;
    int leftShare, rightShare, leftTurn, rightTurn;
    int leftColor, rightColor;
  };
  static const Row kRows[4] = {
      {"多换", "空换", kShareLongTurnover, kShareShortTurnover, -1, -1, 21, 19},
      {"双开", "双平", kShareBothOpen, kShareBothClose, -1, -1, 48, 48},
      {"多开", "空开", kShareLongOpen, kShareShortOpen, kShareLongOpenTurn, kShareShortOpenTurn, 48, 48},
      {"空平", "多平", kShareShortClose, kShareLongClose, kShareShortCloseTurn, kShareLongCloseTurn, 48, 48},
  };
  float most = 0;
  for (int k = 0; k < kShareLongOpenTurn; ++k) most = std::max(most, NatureShares[k]);
  const double M = most > 0 ? most : 1e8;
  const int L = W / 6 - 1, axis = W / 2;
  char text[32];
  int top = y;
  for (const Row &row : kRows) {
    const int r1 = top + 10, r2 = top + h + 10;
    std::snprintf(text, sizeof text, "%2.1f%%", NatureShares[row.leftShare]);
    PvText(dc, font2, ViewColor(31), row.left, 3, r1, W / 3, r2, DT_LEFT);
    PvText(dc, font3, ViewColor(33), text, 3, r1, W / 3, r2, DT_RIGHT);
    std::snprintf(text, sizeof text, "%2.1f%%", NatureShares[row.rightShare]);
    PvText(dc, font2, ViewColor(31), row.right, 2 * W / 3, r1, W - 3, r2, DT_RIGHT);
    PvText(dc, font3, ViewColor(33), text, 2 * W / 3, r1, W - 3, r2, DT_LEFT);
    const int bt = r1 + 2, bb = r2 - 2;
    const int leftLength = int(std::trunc(NatureShares[row.leftShare] / M * L));
    const int rightLength = int(std::trunc(NatureShares[row.rightShare] / M * L));
    PvFill(dc, axis - leftLength, bt, axis, bb, ViewColor(row.leftColor));
    PvFill(dc, axis, bt, axis + rightLength, bb, ViewColor(row.rightColor));
    if (row.leftTurn >= 0) {
      const int lt = std::min(int(std::trunc(NatureShares[row.leftTurn] / M * L)), leftLength);
      const int rt = std::min(int(std::trunc(NatureShares[row.rightTurn] / M * L)), rightLength);
      PvFill(dc, axis - lt, bt, axis, bb, ViewColor(21));
      PvFill(dc, axis, bt, axis + rt, bb, ViewColor(19));
    }
    top = r2;
  }
  y = top + 10;
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(12));
  HGDIOBJ old = SelectObject(dc, pen);
  PvLine(dc, 0, y, W, y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TDrawView::DrawSideAverages(HDC dc, int y) {
  const int W = PriceVolume->Width();
  const int h = PvTextHeight(dc);
  const HFONT font2 = PvFont(ViewFont2), font3 = PvFont(ViewFont3);
  const bool index = PvIndexKind(m_attr.stock);
  const STKINFO *info = GetStockInfo(m_attr.stock);
  const double divisor = info ? info->PriceDivisor() : 1000;
  const double m = ConvertedPrices && PriceMultiplier > 0 && std::isfinite(PriceMultiplier) ? PriceMultiplier : 1.0;
  const int decimals = std::clamp(ConvertedPrices ? ConvertedDecimals : (info ? int(info->decimals) : 2), 0, 8);
  const double middle = (double(PriceAxisTop) + double(PriceAxisBottom)) / 2;
  auto colorOf = [&](double value) {
    const double raw = value * divisor;
    return raw > middle ? ViewColor(21) : raw < middle ? ViewColor(19) : ViewColor(33);
  };
  char text[64];
  const int r1 = y + 10, r2 = y + h + 10;
  const double left = index ? SellAverage : BuyAverage;
  std::snprintf(text, sizeof text, "%.*f", decimals, left * m);
  PvText(dc, font2, ViewColor(31), index ? "均价" : "多方均价", 3, r1, W / 2 - 3, r2, DT_LEFT);
  PvText(dc, font3, colorOf(left), text, 3, r1, W / 2 - 3, r2, DT_RIGHT);
  if (index) return;
  std::snprintf(text, sizeof text, "%.*f", decimals, SellAverage * m);
  PvText(dc, font2, ViewColor(31), "空方均价", W / 2 + 3, r1, W - 3, r2, DT_LEFT);
  PvText(dc, font3, colorOf(SellAverage), text, W / 2 + 3, r1, W - 3, r2, DT_RIGHT);

  const int s1 = r2 + 10, s2 = r2 + h + 10;
  const double sum = BuyVolume + SellVolume;
  const double b = sum != 0 ? BuyVolume / sum * 100 : 0, s = sum != 0 ? SellVolume / sum * 100 : 0;
  std::snprintf(text, sizeof text, "%.1f%%", b);
  PvText(dc, font3, ViewColor(33), "多", 3, s1, W / 3, s2, DT_LEFT);
  PvText(dc, font3, ViewColor(33), text, 3, s1, W / 3, s2, DT_RIGHT);
  std::snprintf(text, sizeof text, "%.1f%%", s);
  PvText(dc, font3, ViewColor(33), "空", 2 * W / 3, s1, W - 3, s2, DT_RIGHT);
  PvText(dc, font3, ViewColor(33), text, 2 * W / 3, s1, W - 3, s2, DT_LEFT);
  double bs = b / 100, ss = s / 100;
  const double larger = std::max(bs, ss);
  if (larger > 0) {
    bs /= larger;
    ss /= larger;
  }
  const int unitLength = W / 6 - 1;
  PvFill(dc, W / 2 - int(std::trunc(unitLength * bs)), s1 + 2, W / 2, s2 - 2, ViewColor(21));
  PvFill(dc, W / 2 + 1, s1 + 2, W / 2 + 1 + int(std::trunc(unitLength * ss)), s2 - 2, ViewColor(19));
}
