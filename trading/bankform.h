// The bank page's form: the transfer tab (passwords, amount, the two funds
// fields and their buttons, the message line) and the records tab (the
// query button and the memo) over TBankPage, or the note panel when the
// plug-in has no bank transfers. The page's model keeps every text; the
// form hands the edits to it and shows what it holds.
#pragma once

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "core/xpbutton.h"
#include "core/xpcombobox.h"
#include "core/xpedit.h"
#include "core/xpmemo.h"
#include "core/xppriceedit.h"
#include "core/xptabcontrol.h"
#include "trading/bankpage.h"

class TBankForm : public TForm {
 public:
  TBankForm(TComponent *owner, TBankPage &page);

  TXPTabControl *XPTabControl3;
  TPanel *PanelBank, *PanelBank1;
  TLabel *Label18, *LabelBankNotice;
  TXPComboBox *XPComboBoxBank;
  TXPEdit *XPEditBank1, *XPEditBank2;
  TXPPriceEdit *XPPriceEditBank2;
  TPanel *PanelBank2, *PanelBank3;
  TXPButton *XPButtonBank1, *XPButtonBank2, *XPButtonBank3, *XPButtonBank4, *XPButtonBankQuery;
  TXPMemo *XPMemoBank;

  void XPTabControl3Change(TObject *sender);
  void XPTabControl3Resize(TObject *sender);
  void PanelBankResize(TObject *sender);
  // Shows what the page holds (after a handler or a notification).
  void ShowPage();

 private:
  void ReadEdits();
  TControl *transferControls_[13] = {};

  TBankPage &page_;
};
