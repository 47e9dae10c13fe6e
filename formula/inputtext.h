// TInputTextDlg: the one-line input box of the formula dialogs, the charts
// and the main window: a prompt, an edit (plain, password or none) and an
// optional check box beside OK and Cancel. The callers check what was typed.
#pragma once

#include <string>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpedit.h"

class TInputTextDlg : public TForm {
 public:
  explicit TInputTextDlg(TComponent *owner);

  // Caption and prompt; the check box is shown with its caption only when
  // one is given (its checked state stays as it is); the edit is emptied.
  // Mode 0 plain text, 1 password ('*'), 2 no edit. A negative maximum
  // length means no limit.
  void Setup(const std::string &caption, const std::string &prompt, const char *checkCaption, int mode,
             int maxLength);
  void FormShow(TObject *sender);

  TLabel *Label1;
  TXPEdit *Edit1;
  TXPButton *Button1, *Button2;
  TXPCheckBox *CheckBox1;
  int mode = 0;
};
