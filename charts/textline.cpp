#include "charts/textline.h"

#include <cstring>

#include "charts/drawline.h"
#include "core/emem.h"
#include "views/viewdisplay.h"

TTextLineDlg::TTextLineDlg(TComponent *owner, char (&text)[256], char (&face)[32], COLORREF *colour,
                           uint32_t *style, int32_t *height, SIZE *extent)
    : TForm(owner), text_(text), face_(face), colour_(colour), style_(style), height_(height), extent_(extent) {
  SetCaption("请输入文字");
  SetBorderStyle(bsDialog);
  Position = poScreenCenter;
  SetClientSize(290, 80);
  Edit1 = new TEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(8, 10, 274, 21);
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("确定");
  Button1->SetBounds(48, 46, 75, 25);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *sender) { Button1Click(sender); };
  Button2 = new TButton(this);
  Button2->SetParent(this);
  Button2->SetCaption("取消");
  Button2->SetBounds(128, 46, 75, 25);
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;
  Button3 = new TButton(this);
  Button3->SetParent(this);
  Button3->SetCaption("字体(&F)");
  Button3->SetBounds(208, 46, 75, 25);
  Button3->OnClick = [this](TObject *sender) { Button3Click(sender); };
  FontDialog1 = new TFontDialog(this);

  *height_ = 15;
  *style_ = 0;
  std::memset(face_, 0, sizeof face_);
  std::strcpy(face_, "Tahoma");
  *colour_ = ColourLuminance(ViewColor(1)) > 127999 ? 0x000000 : 0xFFFFFF;
  SetActiveControl(Edit1);
  DoCreate();
}

void TTextLineDlg::Button3Click(TObject *) {
  TFont *font = FontDialog1->Font();
  font->SetName(face_);
  font->SetHeight(*height_);
  font->SetColor(TColor(*colour_));
  // The style bits of the object and of the font are the same values.
  font->SetStyle(TFontStyles(*style_ & (fsBold | fsItalic | fsUnderline | fsStrikeOut)));
  if (!FontDialog1->Execute()) return;
  *height_ = font->Height();
  *style_ = font->Style() & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
  *colour_ = COLORREF(ColorToRGB(font->Color()));
  std::memset(face_, 0, sizeof face_);
  AnsiToBuf(font->Name(), face_, sizeof face_);
}

void TTextLineDlg::Button1Click(TObject *) {
  std::memset(text_, 0, sizeof text_);
  AnsiToBuf(Edit1->Text(), text_, sizeof text_);
  if (!text_[0]) {
    SetModalResult(mrCancel);
    return;
  }
  *extent_ = MeasureLineText(text_, face_, *height_, *style_, true);
  SetModalResult(mrOk);
}
