#include "core/monthcalendar.h"

#include <algorithm>
#include <cstdio>

#include "classlib/graphics.h"
#include "core/datetimepicker.h"
#include "platform/clock.h"
#include "platform/gdi.h"

namespace {

constexpr int kMcFirstYear = 1601, kMcLastYear = 4095;

}  // namespace

int WeekdayOf(int year, int month, int day) {
  const int64_t days = platform::DaysFromCivil(year, month, day);
  return int(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
}

TMonthCalendar::TMonthCalendar(TComponent *owner) : TCustomControl(owner) {
  TabStop = true;
  SetBounds(0, 0, kWidth, kHeight);
  SetColor(clWindow);
}

void TMonthCalendar::SetDate(int year, int month, int day) {
  year_ = std::clamp(year, kMcFirstYear, kMcLastYear);
  month_ = std::clamp(month, 1, 12);
  day_ = std::clamp(day, 1, DaysInMonth(year_, month_));
  Invalidate();
}

void TMonthCalendar::Changed() {
  Invalidate();
  if (OnChange) OnChange(this);
}

void TMonthCalendar::AddDays(int days) {
  int64_t y;
  int m, d;
  platform::CivilFromDays(platform::DaysFromCivil(year_, month_, day_) + days, y, m, d);
  if (y < kMcFirstYear || y > kMcLastYear) return;
  SetDate(int(y), m, d);
  Changed();
}

void TMonthCalendar::AddMonths(int months) {
  const long index = long(year_) * 12 + (month_ - 1) + months;
  const int y = int(index / 12), m = int(index % 12) + 1;
  if (y < kMcFirstYear || y > kMcLastYear) return;
  SetDate(y, m, day_);
  Changed();
}

TRect TMonthCalendar::DayRect(int day) const {
  if (day < 1 || day > DaysInMonth(year_, month_)) return TRect();
  const int cell = WeekdayOf(year_, month_, 1) + day - 1;
  const int x = 4 + (cell % 7) * kCellWidth, y = kCaptionHeight + kCellHeight + (cell / 7) * kCellHeight;
  return TRect(x, y, x + kCellWidth, y + kCellHeight);
}

int TMonthCalendar::HitTest(int x, int y) const {
  if (y >= 0 && y < kCaptionHeight) {
    if (x >= 0 && x < 24) return -1;
    if (x >= Width() - 24 && x < Width()) return 1;
    return 0;
  }
  for (int d = 1; d <= DaysInMonth(year_, month_); ++d) {
    const TRect r = DayRect(d);
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return d;
  }
  return 0;
}

LRESULT TMonthCalendar::DialogCode() { return DLGC_WANTARROWS; }

void TMonthCalendar::KeyDown(WORD &key, TShiftState shift) {
  switch (key) {
    case VK_LEFT: AddDays(-1), key = 0; break;
    case VK_RIGHT: AddDays(1), key = 0; break;
    case VK_UP: AddDays(-7), key = 0; break;
    case VK_DOWN: AddDays(7), key = 0; break;
    case VK_PRIOR: AddMonths(-1), key = 0; break;
    case VK_NEXT: AddMonths(1), key = 0; break;
    default: break;
  }
  TCustomControl::KeyDown(key, shift);
}

void TMonthCalendar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus()) SetFocus();
  if (button == mbLeft) {
    const bool caption = y >= 0 && y < kCaptionHeight;
    const int hit = HitTest(x, y);
    if (caption && hit != 0) {
      AddMonths(hit);
    } else if (!caption && hit > 0 && hit != day_) {
      day_ = hit;
      Changed();
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TMonthCalendar::Paint() {
  HDC dc = Canvas()->Handle();
  const TRect r = ClientRect();
  RECT all{r.Left, r.Top, r.Right, r.Bottom};
  HBRUSH back = CreateSolidBrush(ColorToRGB(clWindow));
  FillRect(dc, &all, back);
  DeleteObject(back);
  RECT caption{r.Left, r.Top, r.Right, r.Top + kCaptionHeight};
  HBRUSH band = CreateSolidBrush(ColorToRGB(clActiveCaption));
  FillRect(dc, &caption, band);
  DeleteObject(band);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(clCaptionText));
  char text[32];
  std::snprintf(text, sizeof text, "%d年%d月", year_, month_);
  DrawTextA(dc, text, -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT left{r.Left, r.Top, r.Left + 24, r.Top + kCaptionHeight};
  RECT right{r.Right - 24, r.Top, r.Right, r.Top + kCaptionHeight};
  DrawTextA(dc, "<", 1, &left, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  DrawTextA(dc, ">", 1, &right, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  static const char *const kWeekdays[7] = {"日", "一", "二", "三", "四", "五", "六"};
  SetTextColor(dc, ColorToRGB(clActiveCaption));
  for (int i = 0; i < 7; ++i) {
    RECT cell{4 + i * kCellWidth, kCaptionHeight, 4 + (i + 1) * kCellWidth, kCaptionHeight + kCellHeight};
    DrawTextA(dc, kWeekdays[i], -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  for (int d = 1; d <= DaysInMonth(year_, month_); ++d) {
    const TRect t = DayRect(d);
    RECT cell{t.Left, t.Top, t.Right, t.Bottom};
    if (d == day_) {
      HBRUSH mark = CreateSolidBrush(ColorToRGB(clHighlight));
      FillRect(dc, &cell, mark);
      DeleteObject(mark);
      SetTextColor(dc, ColorToRGB(clHighlightText));
    } else {
      SetTextColor(dc, ColorToRGB(clWindowText));
    }
    std::snprintf(text, sizeof text, "%d", d);
    DrawTextA(dc, text, -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}
