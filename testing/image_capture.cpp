#include "testing/image_capture.h"

#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>

#include "platform/qtbridge.h"
#include "testing/view_harness.h"

namespace testing_support {
namespace {

QImage DibToImage(HBITMAP bitmap) {
  platform::DibInfo info;
  if (!platform::GetDibInfo(bitmap, info)) return QImage();
  QImage image(info.width, info.height, QImage::Format_RGB32);
  int bytes = info.bitsPerPixel / 8;
  for (int y = 0; y < info.height; ++y) {
    const unsigned char *row = info.bits + size_t(info.bottomUp ? info.height - 1 - y : y) * size_t(info.stride);
    for (int x = 0; x < info.width; ++x) {
      const unsigned char *p = row + x * bytes;  // blue, green, red
      image.setPixel(x, y, qRgb(p[2], p[1], p[0]));
    }
  }
  return image;
}

COLORREF PixelOf(const QImage &image, int x, int y) {
  if (image.isNull() || !image.rect().contains(x, y)) return 0xFFFFFFFFu;
  QRgb c = image.pixel(x, y);
  return RGB(BYTE(qRed(c)), BYTE(qGreen(c)), BYTE(qBlue(c)));
}

}  // namespace

bool SaveWindowPng(HWND hwnd, const std::string &path) {
  const QImage *image = platform::WindowImage(hwnd);
  return image && !image->isNull() && image->save(QString::fromStdString(path), "PNG");
}

QImage ShownImage(HWND hwnd) {
  HWND top = hwnd;
  while (top && (GetWindowLongA(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
  QWidget *widget = top ? platform::WidgetFromHandle(top) : nullptr;
  if (!widget || !widget->screen()) return QImage();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  const QImage all = widget->screen()->grabWindow(widget->winId()).toImage();
  RECT window, client;
  GetWindowRect(top, &window);
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  return all.copy(origin.x - window.left, origin.y - window.top, client.right, client.bottom)
      .convertToFormat(QImage::Format_RGB32);
}

bool SaveDibPng(HBITMAP bitmap, const std::string &path) {
  QImage image = DibToImage(bitmap);
  return !image.isNull() && image.save(QString::fromStdString(path), "PNG");
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
  const QImage *image = platform::WindowImage(hwnd);
  return image ? PixelOf(*image, x, y) : 0xFFFFFFFFu;
}

COLORREF DibPixel(HBITMAP bitmap, int x, int y) { return PixelOf(DibToImage(bitmap), x, y); }

std::string PicturePath(const std::string &name) { return ViewHarness::PicturesFolder() + "/" + name; }

}  // namespace testing_support
