// Controls the formula dialogs make the same way.
#pragma once

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"

// A push button on the form.
TXPButton *MakeIndexButton(TForm *form, const char *caption, int x, int y, int w, int h);
// "确定" as the default button (closing with OK when `closes`) and "取消"
// as the cancel button, side by side.
void MakeIndexOkCancel(TForm *form, TXPButton *&ok, TXPButton *&cancel, int okX, int cancelX, int y, int w, int h,
                       bool closes);
// A label sized to its caption.
TLabel *MakeIndexLabel(TForm *form, const char *caption, int x, int y);
