#include "platform/sound.h"

#include <mutex>

#include "platform/fileapi.h"

namespace platform {
namespace {
std::mutex g_lock;
SoundHandler g_handler;
}  // namespace

SoundHandler SetSoundHandler(SoundHandler handler) {
  std::lock_guard guard(g_lock);
  std::swap(g_handler, handler);
  return handler;
}

}  // namespace platform

BOOL PlaySoundA(LPCSTR sound, HMODULE, DWORD flags) {
  platform::SoundHandler handler;
  {
    std::lock_guard guard(platform::g_lock);
    handler = platform::g_handler;
  }
  if (handler) return handler(platform::SoundCall{sound ? sound : "", flags});
  return sound && GetFileAttributesA(sound) != INVALID_FILE_ATTRIBUTES;
}
