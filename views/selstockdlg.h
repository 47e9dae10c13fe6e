// The instrument picker "选择商品": a tree of markets (with their stock-kind
// blocks), system blocks and user blocks, and the instruments of the
// chosen node; option panels for overlays (scale) and spread analysis
// (data item and operation). The keyboard wizard also works while it is
// open: the main window hands its instrument over and presses OK.
#pragma once

#include "core/xpbutton.h"
#include "core/xplistbox.h"
#include "core/xpradiobutton.h"
#include "core/xptreeview.h"
#include "market/marketrecords.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/listbox.h"
#include "classlib/stdctrls.h"
#include "classlib/treeview.h"

class TSelStockDlg : public TForm {
 public:
  // mode 1: the scale panel; 2: the data-item and operation panels; any
  // other: no option panel.
  TSelStockDlg(TComponent *owner, int market, int mode);

  // The chosen instrument; the empty reference when nothing is chosen.
  STKPTR chosen;

  TXPTreeView *XPTreeView1;
  TXPListBox *ListBox1;
  TPanel *Panel1, *Panel2, *Panel3;
  TXPRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4, *RadioButton7, *RadioButton8,
      *RadioButton9, *RadioButton10, *XPRadioButton1;
  TLabel *Label1;
  TXPButton *Button1, *Button2;

  void FillContractTree(int market);
  void XPTreeView1Change(TObject *sender, TTreeNode *node);
  void ListBox1Click(TObject *sender);
  void Button1Click(TObject *sender);
};

// The picker that is open now (one at a time), null when none is.
extern TSelStockDlg *OpenStockPicker;
