// The window of the stop-loss and take-profit dialog "止损止盈设置": the
// list of stop rows with its in-place editors, the split radios and the
// buttons, over TStopDialogModel. Notices arrive as the dialog's private
// message so that they come after the edit that caused them.
#pragma once

#include <functional>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "core/xplistview.h"
#include "core/xppriceedit.h"
#include "core/xpradiobutton.h"
#include "core/xpupdown.h"
#include "trading/stopdialog.h"

class TSetStopOrderDlg : public TForm {
 public:
  TSetStopOrderDlg(TComponent *owner, TStopDialogModel &model);
  ~TSetStopOrderDlg() override;

  TLabel *Label1, *Label8, *Label6, *Label5, *Label14, *Label9, *Label10, *Label12, *Label13;
  TXPListView *XPListView1;
  TXPEdit *XPEdit1;
  TXPUpDown *XPUpDown4;
  TXPPriceEdit *XPPriceEdit1, *XPPriceEdit2, *XPPriceEdit3;
  TXPUpDown *XPUpDown1, *XPUpDown2, *XPUpDown3;
  TXPComboBox *XPComboBox1;
  TXPRadioButton *XPRadioButton1, *XPRadioButton2, *XPRadioButton3;
  TXPButton *XPButton1, *XPButton4, *XPButton2;

  // Shows the model's rows.
  void ShowRows();
  // A left press on a cell: its editor opens over it (the column under x).
  void XPListView1MouseDown(int x, int y);
  // The open editor closed.
  void XPEdit1Exit();
  void XPRadioButton1Click(TObject *sender);
  void XPButton1Click();
  void XPButton4Click();
  void Label9Click();
  // One arrow or wheel step in the open price editor.
  void StepEditor(bool up);
  void HideEditors();

  void WndProc(TMessage &message) override;

 private:
  TWinControl *OpenEditor() const;
  TStopDialogModel &model_;
  int editRow_ = -1, editColumn_ = -1;
  LONG_PTR headerProc_ = 0;
};

// Runs the dialog over the model modally with the shell's modal-dialog
// flag set around it (setModal may be empty); true when it was saved.
bool RunStopDialog(TStopDialogModel &model, const std::function<void(bool)> &setModal);
// Closes the open stop dialog unsaved (before the lists are asked again).
void CloseOpenStopDialog();
