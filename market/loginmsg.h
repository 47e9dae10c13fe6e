// The messages the login dialog receives while a session starts and the
// market table is built. They are sent, so the sender waits until the
// dialog has handled them.
#pragma once

#include "platform/windef.h"

// wParam 0, lParam an error code or 0.
constexpr UINT WM_LOGIN_FAILED = 2725;
// wParam the number of markets, lParam the market whose tables come next.
constexpr UINT WM_LOGIN_MARKET_SYNC = 2726;
// wParam 0, lParam 0: the market table is complete.
constexpr UINT WM_LOGIN_DONE = 2727;
