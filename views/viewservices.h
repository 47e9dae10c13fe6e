// What every view asks of the main window beyond the pane host
// (views/viewhost.h): the request client, notices to every view, the block,
// scheme, alarm and options dialogs and the key-hook pause flag. The main
// window fills these in; empty functions mean "not there" (offline, no
// dialog, no alarm engine). GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "market/marketrecords.h"
#include "views/viewattr.h"

struct TViewServices {
  // The main window holds a request client (the terminal is online).
  std::function<bool()> hasRequestClient;
  // Notify on every view of the page (and the quote board for code 10).
  std::function<void(int code, uint32_t stock, intptr_t first, intptr_t second)> notifyViews;
  // The block list dialog in its choosing mode: user blocks only (for
  // "加入自选") or every kind but sub-blocks; the chosen id or -1.
  std::function<int(bool userBlocksOnly)> chooseBlock;
  // The column scheme editor on a scheme; true when the user confirmed.
  std::function<bool(int scheme)> editScheme;
  // "板块设置(&B)" of the main menu.
  std::function<void()> blockSettings;
  // The alarm dialog and the alarm engine: the new alarm's index, -1 when
  // none was added; unset when there is no alarm engine.
  std::function<int(STKPTR stock)> addAlarm;
  // The display options dialog on the report page; it may change the
  // record's display flags.
  std::function<void(VIEW_ATTR_13 *record)> showOptions;
  // The main window's key-hook pause flag around modal dialogs.
  std::function<void(bool paused)> pauseKeyHook;
  // The main window's own "联动(&S)" item loses its check mark.
  std::function<void()> uncheckLinkMenu;
};
TViewServices &ViewServices();

