// A month calendar: one month as a grid of weeks (Sunday first) under a
// caption with the month and two arrows that turn the month. It always
// holds a valid date: setting one brings each part into its range, and
// turning the month keeps the day within the new month's length. A click
// on a day picks it; Left and Right step a day, Up and Down a week, PageUp
// and PageDown a month.
#pragma once

#include "classlib/controls.h"

class TMonthCalendar : public TCustomControl {
 public:
  VCL_CLASS_NAME(TMonthCalendar)
  explicit TMonthCalendar(TComponent *owner);

  void SetDate(int year, int month, int day);
  int Year() const { return year_; }
  int Month() const { return month_; }
  int Day() const { return day_; }
  // Days (negative: back) and months forward from the shown date.
  void AddDays(int days);
  void AddMonths(int months);

  // The day of the shown month at a client point, 0 for none; -1 and +1 for
  // the caption's arrows.
  int HitTest(int x, int y) const;
  // The rectangle of a day of the shown month.
  TRect DayRect(int day) const;

  // The size the calendar needs.
  static constexpr int kCellWidth = 26, kCellHeight = 18, kCaptionHeight = 24;
  static constexpr int kWidth = 7 * kCellWidth + 8;
  static constexpr int kHeight = kCaptionHeight + kCellHeight + 6 * kCellHeight + 6;

  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  LRESULT DialogCode() override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void Changed();
  int year_ = 2000, month_ = 1, day_ = 1;
};

// 0 Sunday .. 6 Saturday of a date of the Gregorian calendar.
int WeekdayOf(int year, int month, int day);
