#include "formula/inputtext.h"

#include "formula/indexdlgparts.h"

TInputTextDlg::TInputTextDlg(TComponent *owner) : TForm(owner) {
  SetBorderStyle(bsDialog);
  SetClientSize(353, 102);
  Position = poScreenCenter;
  Font()->SetName("Tahoma");

  Label1 = new TLabel(this);
  Label1->SetParent(this);
  Label1->AutoSize = false;
  Label1->SetBounds(10, 10, 333, 16);
  Label1->SetCaption("请输入:");
  Edit1 = new TXPEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(10, 30, 333, 21);
  CheckBox1 = new TXPCheckBox(this);
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(10, 68, 175, 17);
  CheckBox1->SetCaption("全部");
  CheckBox1->SetChecked(true);
  MakeIndexOkCancel(this, Button1, Button2, 193, 271, 66, 72, 23, true);
  OnShow = [this](TObject *s) { FormShow(s); };
}

void TInputTextDlg::Setup(const std::string &caption, const std::string &prompt, const char *checkCaption,
                          int inputMode, int maxLength) {
  SetCaption(caption);
  Label1->SetCaption(prompt);
  CheckBox1->SetVisible(checkCaption != nullptr);
  if (checkCaption) CheckBox1->SetCaption(checkCaption);
  Edit1->Clear();
  mode = inputMode;
  Edit1->SetPasswordChar(mode == 1 ? '*' : 0);
  Edit1->SetVisible(mode != 2);
  Edit1->SetMaxLength(maxLength < 0 ? 0 : maxLength);
}

void TInputTextDlg::FormShow(TObject *) {
  if (Edit1->CanFocus()) Edit1->SetFocus();
}
