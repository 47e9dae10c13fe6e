#include "classlib/image.h"

#include <memory>

TImage::TImage(TComponent *owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this] { Invalidate(); };
}

void TImage::SetStretch(bool stretch) {
  if (stretch == stretch_) return;
  stretch_ = stretch;
  Invalidate();
}

void TImage::SetCenter(bool center) {
  if (center == center_) return;
  center_ = center;
  Invalidate();
}

TCanvas *TImage::Canvas() {
  if (!picture_.Graphic()) {
    auto bitmap = std::make_unique<TBitmap>();
    if (!bitmap->SetSize(Width(), Height())) return nullptr;
    picture_.SetGraphic(std::move(bitmap));
  }
  TBitmap *bitmap = picture_.Bitmap();
  return bitmap ? bitmap->Canvas() : nullptr;
}

void TImage::Paint() {
  TGraphic *graphic = picture_.Graphic();
  if (!graphic || graphic->Empty()) return;
  const TRect client = ClientRect();
  RECT target{0, 0, graphic->Width(), graphic->Height()};
  if (stretch_) {
    target = client;
  } else if (center_) {
    const LONG x = (client.Width() - target.right) / 2, y = (client.Height() - target.bottom) / 2;
    target = RECT{x, y, x + target.right, y + target.bottom};
  }
  graphic->Draw(TGraphicControl::Canvas()->Handle(), target);
}
