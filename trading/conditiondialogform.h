// The window of the condition-order dialog "条件单设置" over
// TConditionDialogModel: the contract, side and offset, the condition
// panel, the order panel with the price words and the quick volumes, the
// stops, the cancel options and the validity, in an advanced and a simple
// layout. Every handler reads the controls into the model and shows the
// model again.
#pragma once

#include <functional>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpcombobox.h"
#include "core/xpdatetimepicker.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xppriceedit.h"
#include "core/xpradiobutton.h"
#include "core/xpupdown.h"
#include "trading/conditiondialog.h"

class TSetConditionOrderDlg : public TForm {
 public:
  TSetConditionOrderDlg(TComponent *owner, TConditionDialogModel &model);

  TLabel *LabelContract, *Label2, *Label46;
  TXPComboBox *XPComboBox4;
  TXPRadioButton *XPRadioButton1, *XPRadioButton2, *XPRadioButton3, *XPRadioButton4, *XPRadioButton5;
  TPanel *Panel4, *Panel3;
  TXPRadioButton *XPRadioButton6, *XPRadioButton7, *XPRadioButton8, *XPRadioButton9;
  TXPComboBox *XPComboBox1, *XPComboBox2, *XPComboBox3;
  TXPEdit *XPEdit2, *XPEdit3, *XPEdit14;
  TXPPriceEdit *XPPriceEdit1, *XPPriceEdit2, *XPPriceEdit3, *XPPriceEdit4, *XPPriceEdit5;
  TXPDateTimePicker *DateTimePicker1;
  TXPListBox *XPListBox1;
  TPanel *PanelVolumePicker1;
  TXPCheckBox *XPCheckBox8, *XPCheckBox3;
  TLabel *LabelStop, *LabelTrailing, *LabelProfit, *LabelSeconds;
  TXPButton *XPButton1, *XPButton2, *XPButton3;

  // The model into the controls, and the controls into the model.
  void ShowModel();
  void ReadControls();
  void XPButton1Click();  // OK
  void XPButton3Click();  // layout
  void XPPriceEdit1Exit();

 private:
  TConditionDialogModel &model_;
  bool showing_ = false;
};

// Runs the dialog over the model modally with the shell's modal-dialog
// flag set around it (setModal may be empty); true on OK.
bool RunConditionDialog(TConditionDialogModel &model, const std::function<void(bool)> &setModal);
