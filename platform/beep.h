// The warning sound. Every call goes through one process-wide handler when
// one is installed (tests install a recorder); otherwise the desktop's beep
// sounds, when a Qt application exists.
#pragma once

#include <functional>
#include <string>

#include "platform/windef.h"

namespace platform {

struct BeepCall {
  bool tone;        // Beep (a tone) rather than MessageBeep (a sound kind)
  UINT type;        // MessageBeep's kind: MB_OK, MB_ICONHAND, ... or 0xFFFFFFFF
  DWORD frequency;  // Beep's tone, in hertz
  DWORD duration;   // and length, in milliseconds
};
using BeepHandler = std::function<void(const BeepCall &)>;

// Installs a handler (an empty one puts the desktop's beep back) and returns
// the one installed before. The handler runs on the calling thread.
BeepHandler SetBeepHandler(BeepHandler handler);

// A sound file played by PlaySoundA, as a handler sees it.
struct SoundCall {
  std::string path;
  bool async;  // the caller did not wait for the end
};
using SoundHandler = std::function<void(const SoundCall &)>;

// Installs the handler of PlaySoundA (an empty one puts the desktop's beep
// back) and returns the one installed before. It runs on the calling thread.
SoundHandler SetSoundHandler(SoundHandler handler);

}  // namespace platform

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_FILENAME = 0x00020000;

// Plays a wave file (SND_FILENAME), synchronously unless SND_ASYNC is given.
// A handler takes the call when one is installed; otherwise the desktop's
// beep stands for the file. FALSE when the file does not exist; a null name
// stops nothing and succeeds.
BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);

BOOL MessageBeep(UINT type);
// Returns when the tone has ended (at once when a handler is installed).
// Fails for a frequency outside 37..32767 hertz, as the desktop refuses it.
BOOL Beep(DWORD frequency, DWORD duration);
