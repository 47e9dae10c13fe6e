// The dialog that asks for the text and font of a new text object. It works
// on the object's own fields: text, face, colour, style bits, height and the
// measured extent that serves as the object's hit box.
#pragma once

#include <cstdint>

#include "classlib/dialogs.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"

class TTextLineDlg : public TForm {
 public:
  // Resets the font to "Tahoma" 15, regular, in black or white by the chart
  // background; the edit starts empty.
  TTextLineDlg(TComponent *owner, char (&text)[256], char (&face)[32], COLORREF *colour, uint32_t *style,
               int32_t *height, SIZE *extent);

  TEdit *Edit1;
  TButton *Button1;
  TButton *Button2;
  TButton *Button3;
  TFontDialog *FontDialog1;

 private:
  void Button1Click(TObject *sender);
  void Button3Click(TObject *sender);

  char (&text_)[256];
  char (&face_)[32];
  COLORREF *colour_;
  uint32_t *style_;
  int32_t *height_;
  SIZE *extent_;
};
