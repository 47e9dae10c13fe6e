// A date or time field that always holds a valid value: the date as year,
// month and day ("yyyy-mm-dd"), the time as hour, minute and second
// ("hh:mm:ss"). Left and Right pick a part, Up and Down step it (wrapping
// within its range, the day held to the month's length) and digits type
// it. Setting an invalid value brings each part into its range.
#pragma once

#include <functional>

#include "classlib/controls.h"

enum TDateTimeKind { dtkDate, dtkTime };

class TDateTimePicker : public TCustomControl {
 public:
  VCL_CLASS_NAME(TDateTimePicker)
  explicit TDateTimePicker(TComponent *owner);

  TDateTimeKind Kind = dtkDate;

  void SetDate(int year, int month, int day);
  int Year() const { return parts_[0]; }
  int Month() const { return parts_[1]; }
  int Day() const { return parts_[2]; }
  void SetTime(int hour, int minute, int second);
  int Hour() const { return time_[0]; }
  int Minute() const { return time_[1]; }
  int Second() const { return time_[2]; }

  // The shown text.
  std::string DisplayText() const;
  // The part the keys act on: 0..2.
  int SelectedPart() const { return part_; }

  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  LRESULT DialogCode() override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void WMChar(TWMChar &msg) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void WMFocus(TWMFocus &msg) override;

 private:
  void StepPart(int delta);
  void Changed();
  int parts_[3] = {2000, 1, 1};
  int time_[3] = {0, 0, 0};
  int part_ = 0;
  int typed_ = 0;  // digits typed into the part so far
};

// Days of a month of the Gregorian calendar.
int DaysInMonth(int year, int month);
