// A trading plug-in session logged in as 880001 to the simulated broker
// behind the broker library stand-in and started, as the login leaves it
// but without the login's files and log: for tests and benchmarks that
// drive the plug-in's frame and routines directly.
#pragma once

#include <memory>

#include "platform/windef.h"
#include "plugin/session.h"

namespace testing_support {

// Posts go to window as WM_TRADE_NOTIFY. Null when the library or the
// login failed. The port is the trading server's on 127.0.0.1 (the
// simulator program's when no broker is attached in-process).
std::shared_ptr<tb::Session> OpenSimSession(HWND window, int port = 17001);

}  // namespace testing_support
