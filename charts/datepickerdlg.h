// "选择日期": a month calendar and two buttons; the intraday view's history
// recall shows it modally and, on OK, reads the calendar's date.
#pragma once

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/datetime.h"
#include "core/monthcalendar.h"

class TDatePickerDlg : public TForm {
 public:
  explicit TDatePickerDlg(TComponent *owner);
  // The calendar's date at midnight.
  PackedDateTime ChosenDate() const;

  TMonthCalendar *MonthCalendar1 = nullptr;
  TButton *Button1 = nullptr, *Button2 = nullptr;
};

// Shows the dialog modally; true with the chosen date on OK.
bool PickDateModal(PackedDateTime *date);
