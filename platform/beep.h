// The warning sound. Every call goes through one process-wide handler when
// one is installed (tests install a recorder); otherwise the desktop's beep
// sounds, when a Qt application exists.
#pragma once

#include <functional>

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

}  // namespace platform

BOOL MessageBeep(UINT type);
// Returns when the tone has ended (at once when a handler is installed).
// Fails for a frequency outside 37..32767 hertz, as the desktop refuses it.
BOOL Beep(DWORD frequency, DWORD duration);
