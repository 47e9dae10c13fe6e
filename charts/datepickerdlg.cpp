#include "charts/datepickerdlg.h"

#include <algorithm>

#include "platform/clock.h"

TDatePickerDlg::TDatePickerDlg(TComponent *owner) : TForm(owner) {
  SetCaption("选择日期");
  SetBorderStyle(bsDialog);
  Position = poScreenCenter;
  MonthCalendar1 = new TMonthCalendar(this);
  MonthCalendar1->SetParent(this);
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("确定");
  Button1->ModalResult = mrOk;
  Button1->SetDefault(true);
  Button1->SetBounds(0, 0, 75, 25);
  Button2 = new TButton(this);
  Button2->SetParent(this);
  Button2->SetCaption("取消");
  Button2->ModalResult = mrCancel;
  Button2->Cancel = true;
  Button2->SetBounds(0, 0, 75, 25);

  // The frame's parts as the form has them: a border on each side, the
  // caption on top.
  const int border = std::max((Width() - ClientWidth()) / 2, 0);
  const int caption = std::max(Height() - ClientHeight() - 2 * border, 0);
  const int cw = MonthCalendar1->Width(), ch = MonthCalendar1->Height();
  SetWidth(2 * border + cw + 4);
  SetHeight(ch + Button1->Height() + border + caption + 18);
  MonthCalendar1->SetBounds(0, 0, cw, ch);
  Button1->SetTop(ch + 7);
  Button2->SetTop(ch + 7);
  Button1->SetLeft(Width() - Button2->Width() - Button1->Width() - 17);
  Button2->SetLeft(Width() - Button2->Width() - 12);

  SYSTEMTIME today{};
  GetLocalTime(&today);
  MonthCalendar1->SetDate(today.wYear, today.wMonth, today.wDay);
}

PackedDateTime TDatePickerDlg::ChosenDate() const {
  return MakePackedDateTime(unsigned(MonthCalendar1->Year()), unsigned(MonthCalendar1->Month()),
                            unsigned(MonthCalendar1->Day()), 0, 0);
}

bool PickDateModal(PackedDateTime *date) {
  TDatePickerDlg dialog(nullptr);
  if (dialog.ShowModal() != mrOk) return false;
  *date = dialog.ChosenDate();
  return true;
}
