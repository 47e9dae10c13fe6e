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
// Posted by the main window to itself when it is first shown: ask for the
// system message when a request client exists.
constexpr UINT WM_MF_CONNECT = 2526;
// Posted by the main window to itself at the end of its creation: toggle the
// trading window once when the trading plug-in is bound.
constexpr UINT WM_OPEN_TRADING = 2129;
// Posted to the main window when display settings changed (also by the
// outside theme tool); lParam says what changed.
constexpr UINT WM_DISPLAY_SETTINGS_CHANGED = 2128;
// Posted to the customer-service client's windows (and by it back to the
// main window): quit.
constexpr UINT WM_SERVICE_CLIENT_QUIT = 1538;
// Posted to a quote report by the ranking commands: wParam = the column id
// to sort by, from the top, in its first direction.
constexpr UINT WM_REPORT_SORT_COLUMN = 2532;
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

// ---- the page of panes and its views -----------------------------------------
// Posted to the page with lParam the pane (view) concerned.
constexpr UINT WM_MVM_ACTIVATE_VIEW = 2534;  // zoom the pane
constexpr UINT WM_MVM_RESTORE_VIEW = 2535;   // restore the zoomed pane
constexpr UINT WM_MVM_SPLIT_HORZ = 2536;     // upper and lower half
constexpr UINT WM_MVM_SPLIT_VERT = 2537;     // left and right half
constexpr UINT WM_MVM_CLOSE_PANE = 2538;
constexpr UINT WM_MVM_SHOW_REPORT = 2539;
constexpr UINT WM_MVM_SHOW_TICK = 2540;
// A non-zero wParam is a PackedDateTime day to show.
constexpr UINT WM_MVM_SHOW_MINUTE = 2541;
constexpr UINT WM_MVM_SHOW_KLINE = 2542;
constexpr UINT WM_MVM_SHOW_TEXT = 2543;
constexpr UINT WM_MVM_SHOW_NEWS = 2544;
constexpr UINT WM_MVM_SHOW_WEB = 2545;
constexpr UINT WM_MVM_BACK = 2546;
// To a pane: it has been placed.
constexpr UINT WM_MVC_LAYOUT_DONE = 2547;
constexpr UINT WM_MVM_STEP_BACK = 2549;
constexpr UINT WM_MVM_STEP_FORWARD = 2550;
// To a view: wParam the number of the hand-over file "%s\%u.txt" in the
// application-data folder, lParam the drop point on the screen (x low, y
// high word). Other programs post it too.
constexpr UINT WM_DROP_STOCKS = 2552;
// To a chart view: its information panel on or off; its period menu at the
// screen point in lParam.
constexpr UINT WM_VIEW_TOGGLE_INFO = 2553;
constexpr UINT WM_VIEW_PERIOD_MENU = 2554;
// Posted by the interval-statistics dialog to its K-line view whenever the
// interval changes: wParam, lParam point to the dialog's start and end times.
constexpr UINT WM_ZONE_STAT_RANGE = 2555;
// To the main window, (0, 0): the set of instruments the views show may
// have changed.
constexpr UINT WM_MF_REFRESH_SUBSCRIPTION = 2626;
// Sent to the main window after a user block was deleted: wParam the
// block's id. The reports and the quote board drop the block.
constexpr UINT WM_BLOCK_DELETED = 2627;

// ---- the main window's inbox ----------------------------------------------------
// Handed on unchanged to every K-line view: an indicator or its parameters
// changed.
constexpr UINT WM_INDEX_CHANGED = 2125;
constexpr UINT WM_INDEX_PARAM_CHANGED = 2126;
// To a chart view, (0, 0): its detail list scrolls to the newest trade.
constexpr UINT WM_DETAIL_LIST_TO_END = 2127;
// Show the alarm window (0, 0).
constexpr UINT WM_SHOW_ALARM_WINDOW = 2530;
// A linked view switched its instrument; lParam the view.
constexpr UINT WM_LINKED_STOCK_CHANGED = 2551;
// From the trading desk: wParam 0 orders, trades or positions changed, 1
// show the contract of the record in lParam (code text at byte 12), 2 the
// outside trading program changed its subscriptions.
constexpr UINT WM_TRADE_VIEWS_UPDATE = 2565;
// A control of the trading window lost the focus; lParam the control.
constexpr UINT WM_TRADE_FOCUS = 2567;
// Every K-line view reloads and repaints (0, 0).
constexpr UINT WM_KLINE_PROPERTY_CHANGED = 2628;
// The active chart view initialises itself again (0, 0).
constexpr UINT WM_ACTIVE_CHART_REINIT = 2629;

// ---- trading -----------------------------------------------------------------
// Posted by the trading plug-in to the window and number the terminal gave
// its login (the terminal gives its main window and this number): wParam low
// 16 bits the notification code, bit 18 the text flag, lParam a value or a
// result block the receiver returns to the plug-in.
constexpr UINT WM_TRADE_NOTIFY = 2566;
// The account report dialog: posted to itself once every statement of the
// period is in (0, 0); posted by the dispatcher when a statement failed
// (wParam the text block, or 0; the dialog returns the block).
constexpr UINT WM_TONGJI_READY = 3524;
constexpr UINT WM_TONGJI_SETTLEMENT = 3525;
// The stop dialog's notice to itself (lParam the notice code), shown after
// the edit that caused it has finished.
constexpr UINT WM_STOP_DIALOG_NOTICE = 3526;

// To a news view: wParam the news type, lParam the news id of an item to
// show (the real-time message pop-up's news mode).
constexpr UINT WM_NEWS_SHOW_ITEM = 0x0400 + 1;  // WM_USER + 1

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
// Posted by a speed-test thread: wParam the average milliseconds (2000 =
// failed), lParam the server's list index.
constexpr UINT WM_SPEED_TEST_RESULT = 2732;
// Posted by the login dialog to itself: try the next server of the list.
constexpr UINT WM_LOGIN_NEXT_SERVER = 2744;
// Posted by the login dialog's market-table worker to the dialog as its
// last act: wParam what the worker's build ended with, lParam 0.
constexpr UINT WM_LOGIN_WORKER_END = 2733;

namespace platform {

// Every private message; a new one goes here too.
inline constexpr UINT kPrivateMessages[] = {
    WM_SOCKET_NOTIFY,        WM_MF_EVENT,          WM_QUOTE_EVENT,          WM_SORT_DATA_READY,
    WM_START_SERVICE_CLIENT, WM_SERVER_TEXT,       WM_NEWS_ARRIVED,         WM_AGENT_UPDATE,
    WM_STOCK_DATA,           WM_CODE_TABLE_PROGRESS, WM_LOGIN_FAILED,       WM_LOGIN_MARKET_SYNC,
    WM_LOGIN_DONE,           WM_LOGIN_FIND_SERVER, WM_LOGIN_CONNECT_SERVER, WM_LOGIN_CHECK_VERSION,
    WM_LOGIN_UPDATE_STEP,    WM_SPEED_TEST_RESULT, WM_LOGIN_NEXT_SERVER,    WM_LOGIN_WORKER_END,
    WM_MVM_ACTIVATE_VIEW,    WM_MVM_RESTORE_VIEW,  WM_MVM_SPLIT_HORZ,       WM_MVM_SPLIT_VERT,
    WM_MVM_CLOSE_PANE,       WM_MVM_SHOW_REPORT,   WM_MVM_SHOW_TICK,        WM_MVM_SHOW_MINUTE,
    WM_MVM_SHOW_KLINE,       WM_MVM_SHOW_TEXT,     WM_MVM_SHOW_NEWS,        WM_MVM_SHOW_WEB,
    WM_MVM_BACK,             WM_MVC_LAYOUT_DONE,   WM_MVM_STEP_BACK,        WM_MVM_STEP_FORWARD,
    WM_DROP_STOCKS,          WM_VIEW_TOGGLE_INFO,  WM_VIEW_PERIOD_MENU,     WM_MF_REFRESH_SUBSCRIPTION,
    WM_REPORT_SORT_COLUMN,   WM_BLOCK_DELETED,      WM_TRADE_NOTIFY,         WM_NEWS_SHOW_ITEM,
    WM_MF_CONNECT,           WM_OPEN_TRADING,       WM_DISPLAY_SETTINGS_CHANGED, WM_SERVICE_CLIENT_QUIT,
    WM_INDEX_CHANGED,        WM_INDEX_PARAM_CHANGED, WM_SHOW_ALARM_WINDOW,  WM_LINKED_STOCK_CHANGED,
    WM_TRADE_VIEWS_UPDATE,   WM_TRADE_FOCUS,       WM_KLINE_PROPERTY_CHANGED, WM_ACTIVE_CHART_REINIT,
    WM_DETAIL_LIST_TO_END,   WM_ZONE_STAT_RANGE,
    WM_TONGJI_READY,         WM_TONGJI_SETTLEMENT,    WM_STOP_DIALOG_NOTICE,
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
