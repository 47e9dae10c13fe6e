// Image lists over DIB pixels.
#include "classlib/imglist.h"

#include <algorithm>

#include "platform/gdi.h"

TChangeLink::~TChangeLink() {
  if (Sender) Sender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange && Sender) OnChange(Sender);
}

TCustomImageList::TCustomImageList(TComponent *owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
  BeginDestroy();
  for (TChangeLink *link : links_) link->Sender = nullptr;
  links_.clear();
}

void TCustomImageList::SetSize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  images_.clear();
  Change();
}

namespace {

// The bitmap's pixels as 0x00RRGGBB, rows top first.
bool ReadPixels(HBITMAP bitmap, int &width, int &height, std::vector<uint32_t> &pixels) {
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return false;
  width = info.bmWidth;
  height = info.bmHeight;
  pixels.assign(size_t(width) * size_t(height), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      pixels[size_t(y) * size_t(width) + size_t(x)] = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    }
  SelectObject(dc, old);
  DeleteDC(dc);
  return true;
}

}  // namespace

int TCustomImageList::AddMasked(HBITMAP bitmap, TColor maskColor) {
  int width, height;
  std::vector<uint32_t> pixels;
  if (!ReadPixels(bitmap, width, height, pixels)) return -1;
  int first = Count();
  COLORREF m = ColorToRGB(maskColor);
  uint32_t mask = (uint32_t(GetRValue(m)) << 16) | (uint32_t(GetGValue(m)) << 8) | GetBValue(m);
  // A strip of images side by side; the last partial one is left out.
  int count = std::max(1, width / width_);
  for (int i = 0; i < count; ++i) {
    Image image;
    image.pixels.assign(size_t(width_) * size_t(height_), 0xFFFFFF);
    for (int y = 0; y < std::min(height, height_); ++y)
      for (int x = 0; x < width_ && i * width_ + x < width; ++x)
        image.pixels[size_t(y) * size_t(width_) + size_t(x)] = pixels[size_t(y) * size_t(width) + size_t(i * width_ + x)];
    image.masked = maskColor != clNone;
    image.mask = mask;
    images_.push_back(std::move(image));
  }
  Change();
  return first;
}

int TCustomImageList::Add(HBITMAP bitmap) { return AddMasked(bitmap, clNone); }

void TCustomImageList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  images_.erase(images_.begin() + index);
  Change();
}

void TCustomImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  Change();
}

void TCustomImageList::Draw(TCanvas *canvas, int x, int y, int index, bool enabled) {
  if (canvas) Draw(canvas->Handle(), x, y, index, enabled);
}

void TCustomImageList::Draw(HDC dc, int x, int y, int index, bool enabled) {
  if (!dc || index < 0 || index >= Count()) return;
  const Image &image = images_[size_t(index)];
  for (int row = 0; row < height_; ++row)
    for (int col = 0; col < width_; ++col) {
      uint32_t p = image.pixels[size_t(row) * size_t(width_) + size_t(col)];
      if (image.masked && p == image.mask) continue;
      BYTE r = BYTE(p >> 16), g = BYTE(p >> 8), b = BYTE(p);
      if (!enabled) {
        // Greyed: the brightness, lifted towards white.
        int grey = (r * 30 + g * 59 + b * 11) / 100;
        grey = 128 + grey / 2;
        r = g = b = BYTE(grey);
      }
      SetPixelV(dc, x + col, y + row, RGB(r, g, b));
    }
}

void TCustomImageList::RegisterChanges(TChangeLink *link) {
  if (!link || std::find(links_.begin(), links_.end(), link) != links_.end()) return;
  if (link->Sender && link->Sender != this) link->Sender->UnRegisterChanges(link);
  link->Sender = this;
  links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink *link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->Sender = nullptr;
}

void TCustomImageList::Change() {
  if (Destroying()) return;
  for (TChangeLink *link : std::vector<TChangeLink *>(links_)) link->Change();
  if (OnChange) OnChange(this);
}
