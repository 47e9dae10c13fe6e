// The month calendar always holds a valid date: whatever is set, and as days,
// weeks and months are stepped by keys or picked by the mouse.
#include <gtest/gtest.h>

#include "classlib/forms.h"
#include "core/monthcalendar.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

TEST(MonthCalendar, HoldsAValidDateWhateverIsSetOrStepped) {
  TMonthCalendar calendar(nullptr);
  struct Set {
    int y, m, d, ey, em, ed;
  } sets[] = {{2024, 2, 31, 2024, 2, 29}, {2023, 2, 29, 2023, 2, 28}, {2024, 13, 0, 2024, 12, 1},
              {1200, 1, 1, 1601, 1, 1}};
  for (const Set &s : sets) {
    calendar.SetDate(s.y, s.m, s.d);
    EXPECT_EQ((std::vector<int>{calendar.Year(), calendar.Month(), calendar.Day()}),
              (std::vector<int>{s.ey, s.em, s.ed}))
        << s.y << "-" << s.m << "-" << s.d;
  }
  struct Step {
    int y, m, d, days, months, ey, em, ed;
  } steps[] = {{2024, 1, 31, 0, 1, 2024, 2, 29},  {2024, 12, 31, 1, 0, 2025, 1, 1},
               {2024, 3, 1, -1, 0, 2024, 2, 29},  {2024, 1, 15, 0, -1, 2023, 12, 15},
               {2024, 3, 31, 0, -13, 2023, 2, 28}, {2024, 3, 4, -7, 0, 2024, 2, 26}};
  for (const Step &s : steps) {
    calendar.SetDate(s.y, s.m, s.d);
    calendar.AddDays(s.days);
    calendar.AddMonths(s.months);
    EXPECT_EQ((std::vector<int>{calendar.Year(), calendar.Month(), calendar.Day()}),
              (std::vector<int>{s.ey, s.em, s.ed}))
        << s.y << "-" << s.m << "-" << s.d << " " << s.days << " " << s.months;
  }
  EXPECT_EQ(WeekdayOf(2024, 3, 3), 0) << "a Sunday";
  EXPECT_EQ(WeekdayOf(2000, 1, 1), 6);
}

TEST(MonthCalendar, MouseAndKeysPickDays) {
  ViewHarness harness;
  TForm form(nullptr);
  form.SetBounds(0, 0, 260, 220);
  auto *calendar = new TMonthCalendar(&form);
  calendar->SetParent(&form);
  calendar->SetDate(2024, 3, 4);
  int changes = 0;
  calendar->OnChange = [&](TObject *) { ++changes; };
  form.Show();
  harness.Pump();

  // 2024-03-01 is a Friday: day 3 opens the second week in the first column.
  const TRect sunday = calendar->DayRect(3);
  EXPECT_EQ(sunday.Left, 4);
  EXPECT_EQ(calendar->HitTest(sunday.Left + 2, sunday.Top + 2), 3);
  harness.Click(calendar, sunday.Left + 2, sunday.Top + 2);
  EXPECT_EQ(calendar->Day(), 3);
  EXPECT_EQ(changes, 1);

  harness.Key(VK_NEXT, TShiftState(), calendar->Handle());
  EXPECT_EQ(calendar->Month(), 4);
  harness.Key(VK_DOWN, TShiftState(), calendar->Handle());
  EXPECT_EQ(calendar->Day(), 10);
  // The caption's left arrow turns back a month.
  harness.Click(calendar, 5, 5);
  EXPECT_EQ((std::vector<int>{calendar->Year(), calendar->Month(), calendar->Day()}),
            (std::vector<int>{2024, 3, 10}));
  EXPECT_EQ(calendar->HitTest(5, TMonthCalendar::kHeight - 2), 0) << "below the last week";
}
