// The date-time field always holds a valid date or time, whatever is set,
// stepped or typed.
#include <gtest/gtest.h>

#include "classlib/forms.h"
#include "core/datetimepicker.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

TEST(DateTimePicker, HoldsAValidDateWhateverIsSet) {
  struct Case {
    int y, m, d;
    const char *shown;
  } cases[] = {{2011, 2, 30, "2011-02-28"}, {2012, 2, 30, "2012-02-29"}, {2000, 2, 29, "2000-02-29"},
               {1900, 13, 0, "1900-12-01"}, {2011, 4, 31, "2011-04-30"}};
  TDateTimePicker picker(nullptr);
  for (const Case &c : cases) {
    picker.SetDate(c.y, c.m, c.d);
    EXPECT_EQ(picker.DisplayText(), c.shown) << c.y << "-" << c.m << "-" << c.d;
  }
  picker.Kind = dtkTime;
  picker.SetTime(25, 61, -1);
  EXPECT_EQ(picker.DisplayText(), "23:59:00");
}

TEST(DateTimePicker, KeysStepAndTypeTheSelectedPart) {
  ViewHarness harness;
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 80);
  auto *picker = new TDateTimePicker(&form);
  picker->SetParent(&form);
  picker->SetDate(2011, 1, 31);
  form.Show();
  picker->SetFocus();
  harness.Key(VK_RIGHT);  // the month
  harness.Key(VK_UP);
  EXPECT_EQ(picker->DisplayText(), "2011-02-28") << "the day held to the new month";
  harness.Key(VK_DOWN);
  harness.Key(VK_DOWN);
  EXPECT_EQ(picker->DisplayText(), "2011-12-28") << "the month wraps";
  harness.Key(VK_RIGHT);  // the day
  harness.Type("31");
  EXPECT_EQ(picker->Day(), 31);
  harness.Key(VK_LEFT);
  harness.Key(VK_LEFT);
  harness.Type("2012");
  EXPECT_EQ(picker->DisplayText(), "2012-12-31");
}
