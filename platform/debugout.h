// Debug output: lines for whoever watches the program, never shown to the
// user. By default a line goes to the standard error stream (GBK turned
// into UTF-8); a test may install a sink of its own to read the lines.
// Safe from any thread.
#pragma once

#include <functional>
#include <string>

#include "platform/windef.h"

// One line of debug output (GBK, NUL-terminated; a null text is ignored).
void OutputDebugStringA(LPCSTR text);

namespace platform {

using DebugOutputSink = std::function<void(const std::string &line)>;
// Installs a sink (an empty one puts the standard error stream back) and
// returns the one before.
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

}  // namespace platform
