#include "core/speedbutton.h"

#include "classlib/graphics.h"
#include "platform/gdi.h"

TSpeedButton::TSpeedButton(TComponent *owner) : TGraphicControl(owner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetDown(bool down) {
  if (GroupIndex == 0) down = false;
  if (down == down_) return;
  down_ = down;
  if (down && Parent()) {
    TWinControl *parent = Parent();
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto *other = dynamic_cast<TSpeedButton *>(parent->Controls(i));
      if (other && other != this && other->GroupIndex == GroupIndex && other->down_) {
        other->down_ = false;
        other->Invalidate();
      }
    }
  }
  Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    pressing_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (pressing_) Invalidate();
  pressing_ = false;
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::Click() {
  pressing_ = false;
  if (GroupIndex != 0) {
    if (!down_)
      SetDown(true);
    else if (AllowAllUp)
      SetDown(false);
  }
  TGraphicControl::Click();
}

void TSpeedButton::PaintTo(HDC dc, const RECT &r) {
  const bool sunk = down_ || pressing_;
  HBRUSH face = CreateSolidBrush(ColorToRGB(sunk ? TColor(0xF4F4F4) : clBtnFace));
  FillRect(dc, &r, face);
  DeleteObject(face);
  if (sunk || !Flat) {
    const COLORREF light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
    HPEN topLeft = CreatePen(PS_SOLID, 1, sunk ? dark : light);
    HPEN bottomRight = CreatePen(PS_SOLID, 1, sunk ? light : dark);
    HGDIOBJ old = SelectObject(dc, topLeft);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, bottomRight);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left - 1, r.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(topLeft);
    DeleteObject(bottomRight);
  }
  if (glyph_.Empty()) return;
  const int w = glyph_.Width(), h = glyph_.Height();
  const int shift = sunk ? 1 : 0;
  const int x = r.left + (r.right - r.left - w) / 2 + shift, y = r.top + (r.bottom - r.top - h) / 2 + shift;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, glyph_.Handle());
  const COLORREF clear = GetPixel(source, 0, h - 1);
  TransparentBlt(dc, x, y, w, h, source, 0, 0, w, h, clear);
  SelectObject(source, old);
  DeleteDC(source);
}

void TSpeedButton::Paint() {
  TCanvas *canvas = Canvas();
  PaintTo(canvas->Handle(), ClientRect());
}
