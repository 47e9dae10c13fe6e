#include "platform/beep.h"

#include <QApplication>
#include <QMetaObject>

#include <mutex>

#include "platform/clock.h"
#include "platform/fileapi.h"

namespace {

std::mutex g_beepLock;

platform::BeepHandler &InstalledBeep() {
  static auto *handler = new platform::BeepHandler;  // lives past static destruction
  return *handler;
}

platform::SoundHandler &InstalledSound() {
  static auto *handler = new platform::SoundHandler;  // lives past static destruction
  return *handler;
}

void DesktopBeep() {
  if (qobject_cast<QApplication *>(QCoreApplication::instance()))
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QApplication::beep(); }, Qt::QueuedConnection);
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
  DesktopBeep();
  return false;
}

}  // namespace

namespace platform {

BeepHandler SetBeepHandler(BeepHandler handler) {
  std::lock_guard guard(g_beepLock);
  std::swap(InstalledBeep(), handler);
  return handler;
}

SoundHandler SetSoundHandler(SoundHandler handler) {
  std::lock_guard guard(g_beepLock);
  std::swap(InstalledSound(), handler);
  return handler;
}

}  // namespace platform

BOOL PlaySoundA(LPCSTR sound, HMODULE, DWORD flags) {
  if (!sound) return TRUE;
  if (!(flags & SND_FILENAME)) return FALSE;
  const DWORD attributes = GetFileAttributesA(sound);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
  platform::SoundHandler handler;
  {
    std::lock_guard guard(g_beepLock);
    handler = InstalledSound();
  }
  if (handler) handler({sound, (flags & SND_ASYNC) != 0});
  else DesktopBeep();
  return TRUE;
}

BOOL MessageBeep(UINT type) {
  Sound({false, type, 0, 0});
  return TRUE;
}

BOOL Beep(DWORD frequency, DWORD duration) {
  if (frequency < 37 || frequency > 32767) return FALSE;
  if (!Sound({true, 0, frequency, duration})) Sleep(duration);
  return TRUE;
}
