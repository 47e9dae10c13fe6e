#include "formula/indexdlgparts.h"

TXPButton *MakeIndexButton(TForm *form, const char *caption, int x, int y, int w, int h) {
  auto *b = new TXPButton(form);
  b->SetParent(form);
  b->SetCaption(caption);
  b->SetBounds(x, y, w, h);
  return b;
}

void MakeIndexOkCancel(TForm *form, TXPButton *&ok, TXPButton *&cancel, int okX, int cancelX, int y, int w, int h,
                       bool closes) {
  ok = MakeIndexButton(form, "确定", okX, y, w, h);
  ok->SetDefault(true);
  if (closes) ok->ModalResult = mrOk;
  cancel = MakeIndexButton(form, "取消", cancelX, y, w, h);
  cancel->Cancel = true;
  cancel->ModalResult = mrCancel;
}

TLabel *MakeIndexLabel(TForm *form, const char *caption, int x, int y) {
  auto *l = new TLabel(form);
  l->SetParent(form);
  l->SetBounds(x, y, 40, 14);
  l->SetCaption(caption);
  return l;
}
