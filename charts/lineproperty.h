// The property dialog of a drawn object: the date, time and value of its
// one or two points and its colour. After OK the view reads the points'
// time and price and the colour and moves the points onto its bars.
#pragma once

#include "charts/drawline.h"
#include "classlib/dialogs.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/datetimepicker.h"
#include "core/xpbutton.h"

class TLinePropertyDlg : public TForm {
 public:
  // info: the instrument's name-table entry for the value format (null:
  // four decimals).
  TLinePropertyDlg(const STKINFO *info, TComponent *owner, const TLine *line);

  int type;
  int pointCount;
  LINEPOINT points[2];
  COLORREF colour;

  TLabel *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
  TPanel *Panel1, *Panel2;
  TDateTimePicker *DateTimePicker1, *DateTimePicker2, *DateTimePicker3, *DateTimePicker4;
  TEdit *Edit1, *Edit2;
  TXPButton *XPButton1, *XPButton2, *XPButton3;
  TColorDialog *ColorDialog1;

 private:
  void XPButton1Click(TObject *sender);
  void XPButton2Click(TObject *sender);
  void ShowPoint(int i);
  void ReadPoint(int i);
};
