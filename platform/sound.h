// Playing a wave file. Every call goes through one process-wide handler
// when one is installed (tests install a recorder); otherwise the sound is
// left to the desktop, which here only checks that the file is there.
#pragma once

#include <functional>
#include <string>

#include "platform/windef.h"

enum : DWORD { SND_SYNC = 0x0000, SND_ASYNC = 0x0001, SND_NODEFAULT = 0x0002, SND_FILENAME = 0x00020000 };

namespace platform {

struct SoundCall {
  std::string file;  // as the caller passed it
  DWORD flags;
};
using SoundHandler = std::function<BOOL(const SoundCall &)>;

// Installs a handler (an empty one puts the default back) and returns the
// one installed before.
SoundHandler SetSoundHandler(SoundHandler handler);

}  // namespace platform

// FALSE when the file can't be played (it is missing).
BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
