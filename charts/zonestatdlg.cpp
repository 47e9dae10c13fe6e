#include "charts/zonestatdlg.h"

#include <cstdio>
#include <set>

#include "core/chartgfx.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "platform/messages.h"

namespace {

// The dialogs alive now: the ranges a view may still read.
std::set<const TZoneStatDlg *> &OpenDialogs() {
  static std::set<const TZoneStatDlg *> open;
  return open;
}

int DaysInMonth(unsigned year, unsigned month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return days[month - 1];
}

bool ValidDateTime(PackedDateTime t) {
  const unsigned month = PackedMonth(t), day = PackedDay(t);
  return month >= 1 && month <= 12 && day >= 1 && int(day) <= DaysInMonth(PackedYear(t), month) &&
         PackedHour(t) <= 23 && PackedMinute(t) <= 59;
}

PackedDateTime WithClock(PackedDateTime t, unsigned hour, unsigned minute) {
  return (t & kPackedDateMask) | (PackedDateTime(hour) << 6) | minute;
}

// One minute (intraday) or one calendar day forward or back; false for a
// value that is not a valid date-time, which ends a search.
bool StepTime(PackedDateTime *t, bool intraday, bool forward) {
  if (!ValidDateTime(*t)) return false;
  if (!intraday) {
    if (forward)
      PackedNextDayInPlace(t);
    else
      PackedPreviousDayInPlace(t);
    return true;
  }
  unsigned hour = PackedHour(*t), minute = PackedMinute(*t);
  if (forward) {
    if (minute < 59) {
      *t = WithClock(*t, hour, minute + 1);
    } else if (hour < 23) {
      *t = WithClock(*t, hour + 1, 0);
    } else {
      *t = WithClock(*t, 0, 0);
      PackedNextDayInPlace(t);
    }
  } else {
    if (minute > 0) {
      *t = WithClock(*t, hour, minute - 1);
    } else if (hour > 0) {
      *t = WithClock(*t, hour - 1, 59);
    } else {
      *t = WithClock(*t, 23, 59);
      PackedPreviousDayInPlace(t);
    }
  }
  return true;
}

std::string Format(const char *format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

const char *const kFieldCaptions[TZoneStatDlg::kFieldCount] = {"期初价", "最低价",   "最高价",   "期末价",
                                                                 "成交量", "成交额",   "加权均价", "区间涨幅",
                                                                 "区间振幅", "区间换手"};

}  // namespace

TZoneStatDlg::TZoneStatDlg(TWinControl *owner, const int *barCount, PackedDateTime endTime,
                           PackedDateTime startTime, const KLINEBAR *bars, const uint32_t *times, int period,
                           STKPTR stock)
    : TForm(owner),
      StartTime(startTime),
      EndTime(endTime),
      view_(owner),
      barCount_(barCount),
      bars_(bars),
      times_(times),
      period_(period),
      stock_(stock) {
  OpenDialogs().insert(this);
  const STKINFO *info = GetStockInfo(stock);
  char caption[64];
  std::snprintf(caption, sizeof caption, "%s 区间统计", info ? info->name : "");
  SetCaption(caption);
  SetBorderStyle(bsDialog);
  Position = poScreenCenter;
  SetWidth(300);
  SetHeight(330);

  auto label = [this](const char *text, int x, int y) {
    auto *l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption(text);
    l->SetBounds(x, y, 64, 14);
    return l;
  };
  auto edit = [this](int x, int y, int w) {
    auto *e = new TEdit(this);
    e->SetParent(this);
    e->SetReadOnly(true);
    e->SetBounds(x, y, w, 20);
    return e;
  };
  label("起始时间", 12, 14);
  StartEdit = edit(80, 10, 130);
  label("结束时间", 12, 40);
  EndEdit = edit(80, 36, 130);
  XPUpDown1 = new TXPUpDown(this);
  XPUpDown2 = new TXPUpDown(this);
  int top = 10;
  for (TXPUpDown *spinner : {XPUpDown1, XPUpDown2}) {
    spinner->SetParent(this);
    spinner->Min = -1;
    spinner->Max = 1;
    spinner->SetPosition(0);
    spinner->SetBounds(212, top, 16, 20);
    top += 26;
  }
  XPUpDown1->OnChangingEx = [this](TObject *s, bool &allow, short v, TUpDownDirection d) {
    XPUpDown1ChangingEx(s, allow, v, d);
  };
  XPUpDown2->OnChangingEx = [this](TObject *s, bool &allow, short v, TUpDownDirection d) {
    XPUpDown2ChangingEx(s, allow, v, d);
  };
  for (int i = 0; i < kFieldCount; ++i) {
    const int column = i % 2, row = i / 2;
    Labels[i] = label(kFieldCaptions[i], 12 + 140 * column, 72 + 28 * row);
    Fields[i] = edit(72 + 140 * column, 68 + 28 * row, 76);
  }
  // Turnover needs the instrument's financial record.
  const TMarketData *market = MarketAt(stock.market);
  const bool finance = market && market->m_finance;
  Labels[kTurnover]->SetVisible(finance);
  Fields[kTurnover]->SetVisible(finance);
  CountLabel = label("共0个", 12, 216);
  PeriodLabel = label("分析周期", 150, 216);
  CloseButton = new TButton(this);
  CloseButton->SetParent(this);
  CloseButton->SetCaption("关闭");
  CloseButton->ModalResult = mrCancel;
  CloseButton->Cancel = true;
  CloseButton->SetBounds(110, 250, 72, 25);
  Compute();
}

TZoneStatDlg::~TZoneStatDlg() { OpenDialogs().erase(this); }

bool TZoneStatDlg::ReadRange(WPARAM wParam, LPARAM lParam, PackedDateTime *start, PackedDateTime *end) {
  for (const TZoneStatDlg *dialog : OpenDialogs()) {
    if (wParam == WPARAM(&dialog->FoundStart) && lParam == LPARAM(&dialog->FoundEnd)) {
      if (start) *start = dialog->FoundStart;
      if (end) *end = dialog->FoundEnd;
      return true;
    }
  }
  return false;
}

std::string TZoneStatDlg::FieldText(Field field) const { return Fields[field]->Text(); }
std::string TZoneStatDlg::FieldLabel(Field field) const { return Labels[field]->Caption(); }

void TZoneStatDlg::ShowTimes() {
  char text[32];
  for (int i = 0; i < 2; ++i) {
    const PackedDateTime t = i == 0 ? StartTime : EndTime;
    if (period_ < kZoneStatDailyPeriod)
      std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", PackedYear(t), PackedMonth(t), PackedDay(t),
                    PackedHour(t), PackedMinute(t));
    else
      std::snprintf(text, sizeof text, "%04u-%02u-%02u", PackedYear(t), PackedMonth(t), PackedDay(t));
    (i == 0 ? StartEdit : EndEdit)->SetText(text);
  }
}

void TZoneStatDlg::ClearFields() {
  CountLabel->SetCaption("共0个");
  for (TEdit *field : Fields) field->SetText("");
}

void TZoneStatDlg::Compute() {
  ShowTimes();
  const TMarketData *market = MarketAt(stock_.market);
  const int kind = market ? StockKindOf(market, stock_.stock) : 0;
  LocalTimeToMarket(&TimeZoneTable, stock_.market, kind, &StartTime);
  LocalTimeToMarket(&TimeZoneTable, stock_.market, kind, &EndTime);

  const int count = barCount_ && bars_ ? *barCount_ : 0;
  const bool intraday = period_ < kZoneStatDailyPeriod;
  int i = count > 0 ? FindBarByTime(bars_, count, StartTime) : -1;
  while (i < 0 && count > 0 && StartTime < EndTime && StepTime(&StartTime, intraday, true))
    i = FindBarByTime(bars_, count, StartTime);
  int j = count > 0 ? FindBarByTime(bars_, count, EndTime) : -1;
  while (j < 0 && count > 0 && EndTime > StartTime && StepTime(&EndTime, intraday, false))
    j = FindBarByTime(bars_, count, EndTime);
  if (i < 0 || j < 0 || i > j) {
    StartIndex = EndIndex = -1;
    ClearFields();
    return;
  }
  StartIndex = i;
  EndIndex = j;
  FoundStart = bars_[i].time;
  FoundEnd = bars_[j].time;
  if (view_) PostMessageA(view_->Handle(), WM_ZONE_STAT_RANGE, WPARAM(&FoundStart), LPARAM(&FoundEnd));

  const STKINFO *info = GetStockInfo(stock_);
  const double divisor = info ? double(info->PriceDivisor()) : 1000.0;
  const int type = market ? market->m_info.type : 0;
  const bool noVolume = stock_.market == 4;
  char priceFormat[16];
  std::snprintf(priceFormat, sizeof priceFormat, "%%.%df", info ? int(info->decimals) : 2);

  const KLINEBAR &first = bars_[i], &last = bars_[j];
  double base = first.close;
  if ((type == 2 || type == 8) && period_ == kZoneStatDailyPeriod && first.settlement != 0) base = first.settlement;
  uint32_t high = first.high, low = first.low;
  double volume = 0, amount = 0, weighted = 0;
  for (int k = i; k <= j; ++k) {
    const KLINEBAR &bar = bars_[k];
    if (bar.high > high) high = bar.high;
    if (bar.low < low) low = bar.low;
    volume += bar.volume;
    amount += bar.amount;
    weighted += bar.close / divisor * bar.volume;
  }
  char text[32];
  std::snprintf(text, sizeof text, "共%u个", unsigned(j - i + 1));
  CountLabel->SetCaption(text);
  Fields[kOpen]->SetText(Format(priceFormat, first.open / divisor));
  Fields[kClose]->SetText(Format(priceFormat, last.close / divisor));
  Fields[kHigh]->SetText(Format(priceFormat, high / divisor));
  Fields[kLow]->SetText(Format(priceFormat, low / divisor));
  Fields[kVolume]->SetText(noVolume ? "" : Format("%.0f", volume));
  if (type == 2 || type == 7) {
    Labels[kAmount]->SetCaption("仓差");
    Fields[kAmount]->SetText(Format("%.0f", double(last.amount) - double(first.amount)));
  } else {
    Labels[kAmount]->SetCaption("成交额");
    std::string shown;
    if (type == 8)
      shown = Format("%.0f", amount);
    else if (amount >= 1e12)
      shown = Format("%.2f万亿", amount / 1e12);
    else if (amount >= 1e8)
      shown = Format("%.2f亿", amount / 1e8);
    else if (amount >= 1e4)
      shown = Format("%.2f万", amount / 1e4);
    else
      shown = Format("%8.2f", amount);
    Fields[kAmount]->SetText(noVolume ? "" : shown);
  }
  Fields[kAverage]->SetText(noVolume || volume == 0 ? "" : Format(priceFormat, weighted / volume));
  // Both over the base price: signed, and 0 when there is no base.
  const double change = base != 0 ? (double(last.close) - base) * 100 / base : 0;
  const double amplitude = base != 0 ? (double(high) - double(low)) * 100 / base : 0;
  Fields[kChange]->SetText(Format("%+.2f%%", change));
  Fields[kAmplitude]->SetText(Format("%.2f%%", amplitude));
  Fields[kTurnover]->SetText("");
  if (market && market->m_finance && stock_.stock < market->m_stockCount) {
    const float floatShares = market->m_finance[stock_.stock].floatShares;
    if (floatShares != 0) Fields[kTurnover]->SetText(Format("%.2f%%", volume / floatShares));
  }
}

void TZoneStatDlg::StepBound(bool start, bool up) {
  if (StartIndex < 0 || EndIndex < 0 || !times_) return;
  const int count = barCount_ ? *barCount_ : 0;
  if (start) {
    if (up && StartIndex + 1 < EndIndex)
      ++StartIndex;
    else if (!up && StartIndex > 0)
      --StartIndex;
    else
      return;
    StartTime = times_[StartIndex];
  } else {
    if (up && EndIndex + 1 < count)
      ++EndIndex;
    else if (!up && EndIndex - 1 > StartIndex)
      --EndIndex;
    else
      return;
    EndTime = times_[EndIndex];
  }
  const TMarketData *market = MarketAt(stock_.market);
  const int kind = market ? StockKindOf(market, stock_.stock) : 0;
  MarketTimeToLocal(&TimeZoneTable, stock_.market, kind, &StartTime);
  MarketTimeToLocal(&TimeZoneTable, stock_.market, kind, &EndTime);
  Compute();
}

void TZoneStatDlg::XPUpDown1ChangingEx(TObject *, bool &allow, short, TUpDownDirection direction) {
  allow = false;
  if (direction != updNone) StepBound(true, direction == updUp);
}

void TZoneStatDlg::XPUpDown2ChangingEx(TObject *, bool &allow, short, TUpDownDirection direction) {
  allow = false;
  if (direction != updNone) StepBound(false, direction == updUp);
}
