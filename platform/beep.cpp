#include "platform/beep.h"

#include <QApplication>
#include <QMetaObject>

#include <mutex>

#include "platform/clock.h"

namespace {

std::mutex g_beepLock;

platform::BeepHandler &InstalledBeep() {
  static auto *handler = new platform::BeepHandler;  // lives past static destruction
  return *handler;
}

// False when the desktop's beep sounded (a handler took it otherwise).
bool Sound(const platform::BeepCall &call) {
  platform::BeepHandler handler;
  {
    std::lock_guard guard(g_beepLock);
    handler = InstalledBeep();
  }
  if (handler) {
    handler(call);
    return true;
  }
  if (qobject_cast<QApplication *>(QCoreApplication::instance()))
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QApplication::beep(); }, Qt::QueuedConnection);
  return false;
}

}  // namespace

namespace platform {

BeepHandler SetBeepHandler(BeepHandler handler) {
  std::lock_guard guard(g_beepLock);
  std::swap(InstalledBeep(), handler);
  return handler;
}

}  // namespace platform

BOOL MessageBeep(UINT type) {
  Sound({false, type, 0, 0});
  return TRUE;
}

BOOL Beep(DWORD frequency, DWORD duration) {
  if (frequency < 37 || frequency > 32767) return FALSE;
  if (!Sound({true, 0, frequency, duration})) Sleep(duration);
  return TRUE;
}
