// The host's mouse pointer for tests of hover looks: the window layer asks
// the host where the pointer is (hover tracking, GetCursorPos), so a test
// puts it where it needs it. The pointer goes back where it was when the
// object goes, so that tests running later find it unmoved.
#pragma once

#include <QCursor>
#include <QPoint>

#include "platform/winuser.h"

namespace testing_support {

class ScopedHostPointer {
 public:
  ScopedHostPointer() : saved_(QCursor::pos()) { Away(); }
  ~ScopedHostPointer() { QCursor::setPos(saved_); }
  ScopedHostPointer(const ScopedHostPointer &) = delete;
  ScopedHostPointer &operator=(const ScopedHostPointer &) = delete;

  // Over a client point of the window.
  void At(HWND hwnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    QCursor::setPos(p.x, p.y);
  }
  // Far from every window.
  void Away() { QCursor::setPos(5000, 5000); }

 private:
  QPoint saved_;
};

}  // namespace testing_support
