// The system's private window messages. Their numbers are fixed: the
// plug-in and outside programs post them by number, so they never change,
// and no two of them may be equal (checked below at compile time).
#pragma once

#include <cstddef>

#include "platform/windef.h"

// ---- sockets -----------------------------------------------------------------
// Every socket event, at the hidden socket window: wParam the socket, lParam
// the event and error as WSAAsyncSelect packs them.
constexpr UINT WM_SOCKET_NOTIFY = 883;

// ---- the quote clients -------------------------------------------------------
// Sent to the main window for every pushed quote (wParam kMfQuote) and
// price head (kMfPriceHead), lParam the address of an MFEVENTSLOT; posted
// once per new clock minute (wParam kMfClockMinute, lParam the minute of
// the day).
constexpr UINT WM_MF_EVENT = 2026;
// Posted to the main window when the request connection closes (wParam 0,
// lParam 0); the push client's link events come as the same message.
constexpr UINT WM_QUOTE_EVENT = 2527;
// To the asking view: wParam low 16 bits = N of the ranking file "%s%d.tmp"
// in the main window's temporary folder, lParam = the request's value3. The
// view owns the file from then on.
constexpr UINT WM_SORT_DATA_READY = 2529;
// Posted to the main window by a click on the service area of the menu
// bar; wParam 0 or 1 for the area's two parts.
constexpr UINT WM_START_SERVICE_CLIENT = 2531;
// To the main window, (0, 0): a server text or the password-change
// confirmation is in the request client's text.
constexpr UINT WM_SERVER_TEXT = 2533;
// Sent for every pushed news headline the user may read; lParam the
// address of a NEWSREC that lives only during the send.
constexpr UINT WM_NEWS_ARRIVED = 2548;
// Sent (not posted) to every subscriber window of a series agent. lParam =
// the agent's index; wParam = 0 when live items were appended, 100 when the
// series was rebuilt, else the download progress in percent.
constexpr UINT WM_AGENT_UPDATE = 2559;
// To the main window: wParam high word = the answer command, low word its
// progress percent or a sub-code (command 12: percent << 8 | bar base;
// 40 and 41: the information class; 15: 2 for a news text); lParam the
// packed STKPTR of the instrument, or a market, news id, channel, value or
// pointer as the command has it.
constexpr UINT WM_STOCK_DATA = 2624;
// To the main window: wParam market << 16 | kCodeTableMore (lParam = the
// entries received so far: ask from there) or | kCodeTableDone (lParam 0:
// ask for the extended name table).
constexpr UINT WM_CODE_TABLE_PROGRESS = 2625;

// ---- trading -----------------------------------------------------------------
// Posted by the trading plug-in to the window and number the terminal gave
// its login (the terminal gives its main window and this number): wParam low
// 16 bits the notification code, bit 18 the text flag, lParam a value or a
// result block the receiver returns to the plug-in.
constexpr UINT WM_TRADE_NOTIFY = 2566;

// ---- the login dialog --------------------------------------------------------
// These are sent, so the sender waits until the dialog has handled them.
// wParam 0, lParam an error code or 0.
constexpr UINT WM_LOGIN_FAILED = 2725;
// wParam the number of markets, lParam the market whose tables come next.
constexpr UINT WM_LOGIN_MARKET_SYNC = 2726;
// wParam 0, lParam 0: the market table is complete.
constexpr UINT WM_LOGIN_DONE = 2727;
// Before the first connect and before the data-server connect of a login.
constexpr UINT WM_LOGIN_FIND_SERVER = 2728;
constexpr UINT WM_LOGIN_CONNECT_SERVER = 2729;
// wParam 1, lParam 1 once the update answer is in.
constexpr UINT WM_LOGIN_CHECK_VERSION = 2730;
// wParam 0 and lParam 1 to 7 before each configuration file, and 8 before
// the block index is written.
constexpr UINT WM_LOGIN_UPDATE_STEP = 2731;

namespace platform {

// Every private message; a new one goes here too.
inline constexpr UINT kPrivateMessages[] = {
    WM_SOCKET_NOTIFY,        WM_MF_EVENT,          WM_QUOTE_EVENT,          WM_SORT_DATA_READY,
    WM_START_SERVICE_CLIENT, WM_SERVER_TEXT,       WM_NEWS_ARRIVED,         WM_AGENT_UPDATE,
    WM_STOCK_DATA,           WM_CODE_TABLE_PROGRESS, WM_LOGIN_FAILED,       WM_LOGIN_MARKET_SYNC,
    WM_LOGIN_DONE,           WM_LOGIN_FIND_SERVER, WM_LOGIN_CONNECT_SERVER, WM_LOGIN_CHECK_VERSION,
    WM_LOGIN_UPDATE_STEP,    WM_TRADE_NOTIFY,
};

template <size_t N>
constexpr bool AllDistinct(const UINT (&numbers)[N]) {
  for (size_t i = 0; i < N; ++i)
    for (size_t j = i + 1; j < N; ++j)
      if (numbers[i] == numbers[j]) return false;
  return true;
}

static_assert(AllDistinct(kPrivateMessages), "two private messages share a number");

}  // namespace platform
