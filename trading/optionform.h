// The window of the trading options dialog "交易参数设置": seven pages
// under a tab control whose controls show and edit the TOptionDlg model.
// Every handler hands the control's value to the model and shows the
// model again, so the rules live in one place.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "core/xplistbox.h"
#include "core/xpradiobutton.h"
#include "core/xptabcontrol.h"
#include "trading/optiondlg.h"

class TOptionForm : public TForm {
 public:
  TOptionForm(TComponent *owner, TTradeDesk &desk);

  TOptionDlg model;

  TXPTabControl *XPTabControl1;
  TPanel *pages[7] = {};
  // ---- general page ----
  TXPCheckBox *floatBox, *expressBox, *keyboardBox, *soundBox, *autoLockBox, *autoAdjustBox;
  TXPEdit *autoLockEdit, *autoAdjustEdit, *soundEdit;
  TXPButton *browseButton, *XPButton3;  // "浏览...", play
  TXPRadioButton *leftRadios[2] = {};      // Left 0 and 1
  TXPComboBox *layoutCombos[2] = {};       // LayOut1, LayOut2
  // ---- quick-operation page ----
  TXPCheckBox *offsetBox, *timeOutBox, *reorderBox;
  TXPEdit *offsetEdit, *timeOutEdit, *reorderEdit;
  // ---- stop page ----
  TXPComboBox *lossKindCombo, *profitKindCombo;
  TXPCheckBox *offsetSBox, *offsetSSellBox, *timeOutSBox, *reorderSBox;
  TXPEdit *offsetSEdit, *offsetSSellEdit, *timeOutSEdit, *reorderSEdit;
  // ---- automatic stops ----
  TXPListBox *XPListBox1;
  TXPEdit *lossEdit, *profitEdit, *trailingEdit;
  TXPButton *stopModifyButton;
  // ---- default volumes ----
  TXPListBox *volumeLists[2];
  TXPEdit *volumeEdits[2];
  // ---- short names ----
  TXPListBox *XPListBox2;
  TXPEdit *shortNameEdit, *shortTargetEdit;
  TXPButton *shortButton;
  // ---- bottom ----
  TXPButton *XPButton1, *cancelButton, *helpButton;

  void XPTabControl1Change(TObject *sender);
  void XPButton1Click(TObject *sender);  // "确定"
  void XPButton3Click(TObject *sender);  // play
  void BrowseClick(TObject *sender);
  void HelpClick(TObject *sender);
  // Shows the model in the controls.
  void ShowModel();

 private:
  struct PairControls {
    TXPCheckBox *box;
    TXPEdit *edit;
    TValuePair *pair;
  };
  TPanel *Page(int tab);
  TXPCheckBox *Check(TWinControl *parent, int x, int y, const char *caption);
  TXPEdit *Edit(TWinControl *parent, int x, int y, int w = 50);
  TXPButton *Button(TWinControl *parent, int x, int y, int w, const char *caption, std::function<void()> click);
  TXPListBox *List(TWinControl *parent, bool coloured);
  // A value pair's check box and number edit on a line of the page.
  void AddPair(TXPCheckBox *&box, TXPEdit *&edit, TWinControl *parent, int y, const char *caption, TValuePair *pair,
               std::function<void(bool)> check);
  void ReadEdits();
  void ShowLines(TXPListBox *list, const std::vector<std::string> &lines);

  std::vector<PairControls> pairs_;
  bool showing_ = false;
  std::vector<std::pair<TXPCheckBox *, bool TradingOptions::*>> flagBoxes_;
};

// Runs the dialog modally over the desk; true after OK. The after-close
// effects are the caller's (TOptionDlg::AfterClose).
bool RunOptionForm(TTradeDesk &desk, TOptionDlg::Effects *effects = nullptr);
