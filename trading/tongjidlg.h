// The trade and account report dialog "交易及账户报告": the period (last
// week, last month, or from one date to another), the button that builds
// the report, and the web browser that shows it. The work is the report
// object's; the dialog hands it the clicks and its two private messages.
#pragma once

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/richview.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpdatetimepicker.h"
#include "core/xpradiobutton.h"

class TAccountReport;

class TTongJiDlg : public TForm {
 public:
  TTongJiDlg(TComponent *owner, TAccountReport &report);
  ~TTongJiDlg() override;

  TPanel *Panel1;
  TLabel *Label1, *Label3;
  TXPRadioButton *XPRadioButton2, *XPRadioButton3, *XPRadioButton4;
  TXPDateTimePicker *DateTimePicker1, *DateTimePicker2;
  TXPButton *XPButton1;
  TWebBrowser *CppWebBrowser1;

  void XPRadioButton2Click(TObject *sender);
  void XPRadioButton3Click(TObject *sender);
  void XPRadioButton4Click(TObject *sender);
  void XPButton1Click(TObject *sender);

  // A picker's date as yyyymmdd; a text that is no date reads as the date
  // the picker was last given.
  int PickerDate(TXPDateTimePicker *picker);
  void SetPickerDate(TXPDateTimePicker *picker, int yyyymmdd);

  void WndProc(TMessage &message) override;

 private:
  TAccountReport &report_;
  int lastFrom_ = 0, lastTo_ = 0;
};

// Runs the dialog modally over the report, as the trading window's
// navigation does: the report knows it as the open dialog while it is
// shown. Returns the modal result.
int ShowAccountReport(TComponent *owner, TAccountReport &report);
