// The query page's form: the tab control over the report panel (date
// fields, statement kind, "查询", "打印", the margin-monitoring centre's
// button, the status line and the memo) and the password panel, showing
// what TQueryPage holds.
#pragma once

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "core/xpbutton.h"
#include "core/xpedit.h"
#include "core/xpmemo.h"
#include "core/xpradiobutton.h"
#include "core/xptabcontrol.h"
#include "trading/querypage.h"

class TQueryForm : public TForm {
 public:
  TQueryForm(TComponent *owner, TQueryPage &page);

  TXPTabControl *XPTabControl2;
  TPanel *Panel17, *Panel15;
  TLabel *Label6, *Label16, *Label22;
  TXPEdit *XPEdit3, *XPEdit11;
  TXPRadioButton *XPRadioButton6, *XPRadioButton7;
  TXPButton *XPButton27, *XPButton36, *XPButtonCFMMC;
  TXPMemo *XPMemo3;

  void XPTabControl2Change(TObject *sender);
  void XPTabControl2Resize(TObject *sender);
  void Panel17Resize(TObject *sender);
  // Shows what the page holds (after a handler or an answer).
  void ShowPage();

 private:
  void ReadEdits();
  TQueryPage &page_;
  bool showing_ = false;
};
