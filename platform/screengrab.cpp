#include "platform/screengrab.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstring>

#include "platform/winuser.h"

namespace platform {

namespace {

ScreenGrabber &InstalledGrabber() {
  static ScreenGrabber grabber;
  return grabber;
}

PixelImage PictureOf(const QImage &source, int width, int height) {
  PixelImage out;
  if (!PictureSizeAllowed(width, height)) return out;
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  out.width = width;
  out.height = height;
  out.argb.assign(size_t(width) * size_t(height), 0xFF000000u);
  const int w = std::min(width, image.width()), h = std::min(height, image.height());
  for (int y = 0; y < h; ++y) {
    const auto *row = reinterpret_cast<const uint32_t *>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) out.argb[size_t(y) * size_t(width) + size_t(x)] = row[x] | 0xFF000000u;
  }
  return out;
}

PixelImage HostGrab() {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    const QPixmap desktop = screen->grabWindow(0);
    if (!desktop.isNull() && desktop.width() > 0) return PictureOf(desktop.toImage(), width, height);
  }
  // The platform gives no picture of the desktop: our own windows, the
  // bottom-most first, at their places.
  QImage canvas(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32);
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  for (QWidget *top : QApplication::topLevelWidgets()) {
    if (!top->isVisible() || top->isMinimized()) continue;
    painter.drawPixmap(top->frameGeometry().topLeft(), top->grab());
  }
  painter.end();
  return PictureOf(canvas, width, height);
}

}  // namespace

PixelImage GrabScreenPicture() {
  if (InstalledGrabber()) return InstalledGrabber()();
  return HostGrab();
}

ScreenGrabber SetScreenGrabber(ScreenGrabber grabber) {
  ScreenGrabber previous = std::move(InstalledGrabber());
  InstalledGrabber() = std::move(grabber);
  return previous;
}

}  // namespace platform
