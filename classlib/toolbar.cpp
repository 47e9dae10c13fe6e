#include "classlib/toolbar.h"

#include <algorithm>

#include "classlib/graphics.h"
#include "platform/gdi.h"

TToolBar::TToolBar(TComponent *owner) : TCustomControl(owner) {
  SetAlign(alTop);
  SetHeight(ButtonHeight + 4);
}

namespace {

// The caption's width in the button's font, with room at both ends.
int ToolButtonCaptionWidth(TToolButton *button) {
  if (button->Caption().empty()) return 0;
  HDC dc = GetDC(nullptr);
  if (!dc) return 0;
  TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.Font()->Assign(button->Font());
  const int width = canvas.TextWidth(button->Caption());
  canvas.SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  return width + 8;
}

}  // namespace

void TToolBar::Arrange() {
  int x = 2, y = 2;
  bool wrapNext = false;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl *control = Controls(i);
    if (!control->Visible()) continue;
    if (wrapNext) {
      x = 2;
      y += ButtonHeight;
    }
    auto *button = dynamic_cast<TToolButton *>(control);
    const int width = button && button->AutoSize ? std::max(ButtonWidth, ToolButtonCaptionWidth(button)) : ButtonWidth;
    control->SetBounds(x, y, width, ButtonHeight);
    x += width;
    wrapNext = button && button->Wrap;
  }
  Invalidate();
}

void TToolBar::Paint() {
  TCanvas *canvas = Canvas();
  if (OnAdvancedCustomDraw) {
    bool defaultDraw = true;
    OnAdvancedCustomDraw(this, canvas, TRect(0, 0, Width(), Height()), defaultDraw);
    if (!defaultDraw) return;
  }
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(TRect(0, 0, Width(), Height()));
  canvas->Pen()->SetColor(clBtnShadow);
  canvas->MoveTo(0, Height() - 1);
  canvas->LineTo(Width(), Height() - 1);
}

TToolButton::TToolButton(TComponent *owner) : TGraphicControl(owner) { SetBounds(0, 0, 48, 22); }

void TToolButton::SetBar(TToolBar *bar) {
  SetParent(bar);
  if (bar) bar->Arrange();
}

void TToolButton::SetDown(bool down) {
  if (down_ == down) return;
  down_ = down;
  Invalidate();
}

void TToolButton::Paint() {
  TCanvas *canvas = Canvas();
  auto *bar = dynamic_cast<TToolBar *>(Parent());
  if (bar && bar->OnAdvancedCustomDrawButton) {
    bool defaultDraw = true;
    bar->OnAdvancedCustomDrawButton(bar, this, canvas, defaultDraw);
    if (!defaultDraw) return;
  }
  const TRect r(0, 0, Width(), Height());
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(r);
  if (pressing_ || down_) {
    canvas->Pen()->SetColor(clBtnShadow);
    canvas->MoveTo(0, Height() - 1);
    canvas->LineTo(0, 0);
    canvas->LineTo(Width() - 1, 0);
    canvas->Pen()->SetColor(clBtnHighlight);
    canvas->LineTo(Width() - 1, Height() - 1);
    canvas->LineTo(0, Height() - 1);
  }
  if (bar && !bar->ShowCaptions) return;
  canvas->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
  canvas->Brush()->SetStyle(bsClear);
  const std::string text = Caption();
  const int shift = pressing_ ? 1 : 0;
  canvas->TextOut((Width() - canvas->TextWidth(text)) / 2 + shift, (Height() - canvas->TextHeight(text)) / 2 + shift,
                  text);
  canvas->Brush()->SetStyle(bsSolid);
}

void TToolButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    pressing_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TToolButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (pressing_) Invalidate();
  pressing_ = false;
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TToolButton::Click() {
  pressing_ = false;
  TGraphicControl::Click();
}
