#include "classlib/picture.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/gdi.h"
#include "platform/path.h"

namespace platform {
namespace {

constexpr int64_t kMaxPictureFileBytes = int64_t(256) << 20;

bool ReadFileBytes(const std::string &windowsPath, std::vector<uint8_t> &bytes) {
  bytes.clear();
  const std::string posix = ResolvePath(windowsPath.c_str());
  struct stat info {};
  if (posix.empty() || ::stat(posix.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (info.st_size > kMaxPictureFileBytes) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  std::FILE *file = std::fopen(posix.c_str(), "rb");
  if (!file) {
    SetLastError(ErrorFromErrno(errno, posix));
    return false;
  }
  bytes.resize(size_t(info.st_size));
  const size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  bytes.resize(got);
  return true;
}

// A DIB section without a palette (a negative height: top-down); null
// unless it has its bits.
HBITMAP CreateDib(int width, int height, WORD bitCount, void **bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = BI_RGB;
  *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  if (bitmap && !*bits) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

enum class Format { Unknown, Bmp, Ico, Jpeg };

Format Sniff(const std::vector<uint8_t> &b) {
  if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return Format::Bmp;
  if (b.size() >= 4 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return Format::Jpeg;
  if (b.size() >= 4 && b[0] == 0 && b[1] == 0 && (b[2] == 1 || b[2] == 2) && b[3] == 0) return Format::Ico;
  return Format::Unknown;
}

bool Decode(Format format, const std::vector<uint8_t> &bytes, PixelImage &out) {
  switch (format) {
    case Format::Bmp: return DecodeBmp(bytes.data(), bytes.size(), out);
    case Format::Ico: return DecodeIco(bytes.data(), bytes.size(), out);
    case Format::Jpeg: return DecodeJpeg(bytes.data(), bytes.size(), out);
    default: out = PixelImage(); return false;
  }
}

// Reads a file that must hold the given format.
bool LoadAs(Format format, const std::string &windowsPath, PixelImage &out) {
  std::vector<uint8_t> bytes;
  out = PixelImage();
  if (!ReadFileBytes(windowsPath, bytes)) return false;
  if (Sniff(bytes) != format || !Decode(format, bytes, out)) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  return true;
}

}  // namespace

bool WritePictureFile(const std::string &windowsPath, const std::vector<uint8_t> &bytes) {
  const std::string posix = ResolvePath(windowsPath.c_str());
  if (posix.empty() || bytes.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // A new file renamed over the old one, so a failure leaves the old one whole.
  const std::string temporary = posix + ".part";
  std::FILE *file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    SetLastError(ErrorFromErrno(errno, posix));
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), posix.c_str()) != 0) {
    std::remove(temporary.c_str());
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  return true;
}

HBITMAP CreateBitmapFromPixels(const PixelImage &image) {
  if (image.Empty() || image.argb.size() != size_t(image.width) * size_t(image.height)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void *bits = nullptr;
  HBITMAP bitmap = CreateDib(image.width, image.height, 24, &bits);
  if (!bitmap) return nullptr;
  const size_t stride = ((size_t(image.width) * 24 + 31) / 32) * 4;
  auto *rows = static_cast<uint8_t *>(bits);
  for (int y = 0; y < image.height; ++y) {
    uint8_t *p = rows + size_t(image.height - 1 - y) * stride;
    const uint32_t *source = image.argb.data() + size_t(y) * size_t(image.width);
    for (int x = 0; x < image.width; ++x) {
      *p++ = uint8_t(source[x]);
      *p++ = uint8_t(source[x] >> 8);
      *p++ = uint8_t(source[x] >> 16);
    }
  }
  return bitmap;
}

bool PixelsFromBitmap(HBITMAP bitmap, PixelImage &out) {
  out = PixelImage();
  DibInfo dib;
  if (!bitmap || !GetDibInfo(bitmap, dib) || !dib.bits || (dib.bitsPerPixel != 24 && dib.bitsPerPixel != 32) ||
      dib.width <= 0 || dib.height <= 0)
    return false;
  out.width = dib.width;
  out.height = dib.height;
  out.argb.resize(size_t(dib.width) * size_t(dib.height));
  const int bytes = dib.bitsPerPixel / 8;
  for (int y = 0; y < dib.height; ++y) {
    const uint8_t *p = dib.bits + size_t(dib.bottomUp ? dib.height - 1 - y : y) * size_t(dib.stride);
    uint32_t *target = out.argb.data() + size_t(y) * size_t(dib.width);
    for (int x = 0; x < dib.width; ++x, p += bytes)
      target[x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  return true;
}

namespace {

bool StretchBitmap(HDC dc, const RECT &rect, HBITMAP bitmap, int width, int height) {
  HDC source = CreateCompatibleDC(dc);
  if (!source) return false;
  HGDIOBJ previous = SelectObject(source, bitmap);
  const BOOL done = StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0,
                               width, height, SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
  return done;
}

// A 32-bit top-down bitmap of premultiplied pixels, as AlphaBlend takes them.
HBITMAP CreatePremultipliedBitmap(const PixelImage &image) {
  void *bits = nullptr;
  HBITMAP bitmap = CreateDib(image.width, -image.height, 32, &bits);
  if (!bitmap) return nullptr;
  auto *target = static_cast<uint32_t *>(bits);
  for (size_t i = 0; i < image.argb.size(); ++i) {
    const uint32_t p = image.argb[i], a = p >> 24;
    const uint32_t r = (p >> 16 & 0xFF) * a / 255, g = (p >> 8 & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
    target[i] = a << 24 | r << 16 | g << 8 | b;
  }
  return bitmap;
}

}  // namespace

}  // namespace platform

using namespace platform;

HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags) {
  if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  PixelImage image;
  if (!LoadAs(Format::Bmp, name, image)) return nullptr;
  return CreateBitmapFromPixels(image);
}

// ---- TBitmap ----

TBitmap::~TBitmap() {
  if (canvas_) {
    canvas_->SetHandle(nullptr);
    SelectObject(canvasDc_, canvasDefault_);
    DeleteDC(canvasDc_);
  }
  if (handle_) DeleteObject(handle_);
}

// A bitmap can't be deleted while a context holds it: the canvas's context
// lets go of the old one before it goes and takes up the new one.
void TBitmap::Reselect() {
  if (!canvas_) return;
  canvas_->SetHandle(nullptr);
  SelectObject(canvasDc_, handle_ ? handle_ : canvasDefault_);
  canvas_->SetHandle(canvasDc_);
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == handle_) return;
  HBITMAP old = handle_;
  handle_ = bitmap;
  Reselect();
  if (old) DeleteObject(old);
}

HBITMAP TBitmap::ReleaseHandle() {
  HBITMAP bitmap = handle_;
  handle_ = nullptr;
  Reselect();
  return bitmap;
}

TCanvas *TBitmap::Canvas() {
  if (!canvas_) {
    canvasDc_ = CreateCompatibleDC(nullptr);
    if (!canvasDc_) return nullptr;
    canvas_ = std::make_unique<TCanvas>();
    canvasDefault_ = GetCurrentObject(canvasDc_, OBJ_BITMAP);
    if (handle_) SelectObject(canvasDc_, handle_);
    canvas_->SetHandle(canvasDc_);
  }
  return canvas_.get();
}

bool TBitmap::SetSize(int width, int height) {
  if (width <= 0 || height <= 0) {
    SetHandle(nullptr);
    return width == 0 || height == 0;
  }
  PixelImage white;
  white.width = width;
  white.height = height;
  if (!PictureSizeAllowed(width, height)) return false;
  white.argb.assign(size_t(width) * size_t(height), 0xFFFFFFFFu);
  return SetPixels(white);
}

int TBitmap::Width() const {
  DibInfo dib;
  return handle_ && GetDibInfo(handle_, dib) ? dib.width : 0;
}

int TBitmap::Height() const {
  DibInfo dib;
  return handle_ && GetDibInfo(handle_, dib) ? dib.height : 0;
}

bool TBitmap::GetPixels(PixelImage &out) { return PixelsFromBitmap(handle_, out); }

bool TBitmap::Draw(HDC dc, const RECT &rect) {
  if (!handle_) return false;
  // A bitmap lives in one context at a time: with a canvas, draw from its.
  if (canvasDc_)
    return StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, canvasDc_, 0, 0,
                      Width(), Height(), SRCCOPY);
  return StretchBitmap(dc, rect, handle_, Width(), Height());
}

bool TBitmap::SetPixels(const PixelImage &image) {
  HBITMAP bitmap = CreateBitmapFromPixels(image);
  if (!bitmap) return false;
  SetHandle(bitmap);
  return true;
}

bool TBitmap::LoadFromFile(const std::string &fileName) {
  PixelImage image;
  if (!LoadAs(Format::Bmp, fileName, image)) {
    SetHandle(nullptr);
    return false;
  }
  return SetPixels(image);
}

bool TBitmap::SaveToFile(const std::string &fileName) {
  PixelImage image;
  return GetPixels(image) && WritePictureFile(fileName, EncodeBmp24(image));
}

void TBitmap::Assign(TGraphic &source) {
  if (&source == this) return;
  PixelImage image;
  if (!source.GetPixels(image) || !SetPixels(image)) SetHandle(nullptr);
}

// ---- TIcon ----

bool TIcon::LoadFromFile(const std::string &fileName) {
  shown_.SetHandle(nullptr);
  return LoadAs(Format::Ico, fileName, image_);
}

bool TIcon::GetPixels(PixelImage &out) {
  out = image_;
  return !image_.Empty();
}

bool TIcon::SetAsApplicationIcon() const {
  if (image_.Empty() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance())) return false;
  const QImage image(reinterpret_cast<const uchar *>(image_.argb.data()), image_.width, image_.height,
                     image_.width * 4, QImage::Format_ARGB32);
  QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(image.copy())));
  return true;
}

bool TIcon::Draw(HDC dc, const RECT &rect) {
  if (image_.Empty()) return false;
  if (shown_.Empty()) {
    if (image_.hasAlpha)
      shown_.SetHandle(CreatePremultipliedBitmap(image_));
    else
      shown_.SetPixels(image_);
    if (shown_.Empty()) return false;
  }
  if (!image_.hasAlpha) return shown_.Draw(dc, rect);
  HDC source = CreateCompatibleDC(dc);
  if (!source) return false;
  HGDIOBJ previous = SelectObject(source, shown_.Handle());
  const BOOL done = AlphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0,
                               image_.width, image_.height, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
  SelectObject(source, previous);
  DeleteDC(source);
  return done;
}

// ---- TJPEGImage ----

bool TJPEGImage::LoadFromFile(const std::string &fileName) {
  shown_.SetHandle(nullptr);
  return LoadAs(Format::Jpeg, fileName, image_);
}

bool TJPEGImage::Draw(HDC dc, const RECT &rect) {
  if (image_.Empty()) return false;
  if (shown_.Empty() && !shown_.SetPixels(image_)) return false;
  return shown_.Draw(dc, rect);
}

bool TJPEGImage::SaveToFile(const std::string &fileName) {
  std::vector<uint8_t> bytes;
  return EncodeJpeg(image_, CompressionQuality, bytes) && WritePictureFile(fileName, bytes);
}

bool TJPEGImage::GetPixels(PixelImage &out) {
  out = image_;
  return !image_.Empty();
}

void TJPEGImage::Assign(TGraphic &source) {
  if (&source == this) return;
  shown_.SetHandle(nullptr);
  if (!source.GetPixels(image_)) image_ = PixelImage();
  // JPEG has no transparency: what was see-through is shown opaque.
  for (uint32_t &pixel : image_.argb) pixel |= 0xFF000000u;
  image_.hasAlpha = false;
}

// ---- TPicture ----

namespace {

struct FileFormat {
  std::string description;
  TPicture::Factory factory;
};

struct NoCaseLess {
  bool operator()(const std::string &a, const std::string &b) const { return CompareNoCase(a, b) < 0; }
};

std::mutex formatsLock;

std::map<std::string, FileFormat, NoCaseLess> &Formats() {
  static std::map<std::string, FileFormat, NoCaseLess> formats = [] {
    std::map<std::string, FileFormat, NoCaseLess> built;
    built["bmp"] = {"Bitmaps", [] { return std::make_unique<TBitmap>(); }};
    built["ico"] = {"Icons", [] { return std::make_unique<TIcon>(); }};
    built["jpg"] = {"JPEG Image File", [] { return std::make_unique<TJPEGImage>(); }};
    built["jpeg"] = {"JPEG Image File", [] { return std::make_unique<TJPEGImage>(); }};
    return built;
  }();
  return formats;
}

std::string ExtensionOf(const std::string &fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return {};
  return fileName.substr(dot + 1);
}

}  // namespace

void TPicture::Clear() { SetGraphic(nullptr); }

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (OnChange) OnChange();
}

void TPicture::RegisterFileFormat(const std::string &extension, const std::string &description, Factory factory) {
  std::lock_guard<std::mutex> hold(formatsLock);
  Formats()[extension] = {description, std::move(factory)};
}

bool TPicture::LoadFromFile(const std::string &fileName) {
  Factory factory;
  {
    std::lock_guard<std::mutex> hold(formatsLock);
    auto found = Formats().find(ExtensionOf(fileName));
    if (found != Formats().end()) factory = found->second.factory;
  }
  std::unique_ptr<TGraphic> graphic = factory ? factory() : nullptr;
  if (!factory) SetLastError(ERROR_INVALID_DATA);
  if (!graphic || !graphic->LoadFromFile(fileName)) {
    SetGraphic(nullptr);
    return false;
  }
  SetGraphic(std::move(graphic));
  return true;
}

bool TPicture::SaveToFile(const std::string &fileName) { return graphic_ && graphic_->SaveToFile(fileName); }

TBitmap *TPicture::Bitmap() const { return dynamic_cast<TBitmap *>(graphic_.get()); }
