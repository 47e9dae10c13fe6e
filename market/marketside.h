// The one start-up of the market side: the request hooks of the cache
// readers, the request queue's client, the hooks of both quote clients, of
// the answers, of the market table's build and of the start-up downloads,
// and the news index. The main window calls it when it is created; tests
// and tools call it with their own window and client instead of filling in
// each hook by hand. StopMarketSide undoes it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"

class TNormalClnt;

struct TMarketSideSetup {
  // Receives the clients' messages (WM_QUOTE_EVENT, WM_MF_EVENT,
  // WM_STOCK_DATA ...); null: none are posted.
  HWND mainWindow = nullptr;
  // The program's arguments after its name ("/d" address, "/latency").
  std::vector<std::string> arguments;
  // Where rankings are staged, ending in a separator; empty: the system's.
  std::string tempFolder;
  // The request client of whoever owns it (null while there is none), and
  // how to drop it when a download of the market table's build fails.
  std::function<TNormalClnt *()> requestClient;
  std::function<void()> dropRequestClient;
  // The page's views as the answers reach them; empty: no views.
  std::function<HWND(uint32_t tag)> viewByTag;
  std::function<void(uint32_t tag)> redrawFastChange;
  std::function<void(const char *key)> reloadNote;
  // True while the main window shows its modal information box.
  std::function<bool()> modalBoxShown;
  // Starts the updater; empty: the downloads' own default.
  std::function<bool()> startUpdater;
  // Makes and loads the program's news index (NewsIndex) when there is none.
  bool loadNewsIndex = true;
};

void StartMarketSide(const TMarketSideSetup &setup);
// Every hook back to empty, the queue emptied and without a client, and a
// news index made here saved and freed.
void StopMarketSide();
