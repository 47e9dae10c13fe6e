// The downloads that follow a login while the request socket still blocks:
// the update check, the client version, the seven configuration files, the
// sector-block index and its member files, and, while the market table is
// built, each market's code table (with the contract codes of futures
// markets) and the finance records of markets 0 and 1.
//
// A fault in what one download brings (a refused or empty page, a part
// record, a file longer than announced) costs that item only: what arrived
// whole is kept, nothing half-made is written, the reason goes to the debug
// output, and the login goes on. Only a failed exchange (the connection
// went, a head was refused) fails the step.
//
// Every exchange sends one request through the client's send buffer and
// reads its answer on the spot (TNormalClnt::ReadHeaderBlocking and
// ReadBodyBlocking), so these run before ArmAsyncEvents. The main window's
// connect routine calls CheckProgramUpdate (not on a re-login),
// SendClientVersion and DownloadConfigFiles in this order on the GUI
// thread; the market table reaches DownloadCodeTables and DownloadFinance
// through MarketServices() (market/dataio5.h) on the login dialog's loader
// thread. A failed exchange makes the caller delete the client: what was
// replaced before it stays replaced.
//
// Nothing an answer says is taken on trust: every body is checked for the
// length its layout needs, counts are bounded by what the body holds and by
// the tables' room, and no code or name from the server becomes a path
// component unchecked.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/messages.h"
#include "platform/windef.h"

class TNormalClnt;
class TMarketData;


// The configuration files of "..\cfg\", in the order they are brought up to
// date.
constexpr int kStartupConfigFileCount = 7;
extern const char *const kStartupConfigFiles[kStartupConfigFileCount];

// What the downloads need of the program around them.
struct TStartupHooks {
  // Starts the updater ".\selfupd.exe" with "-Silently -runbykivo"; false
  // when it could not be started. Empty: the program file itself is started
  // as a process of its own.
  std::function<bool()> startUpdater;
};
TStartupHooks &StartupHooks();

// Asks for the newest program version and starts the updater when
// ".\version.txt" (at most 11 characters, decimal; missing or empty is 0)
// names an older one. 0 done, whatever the answer was; -1 when the
// exchange failed.
int CheckProgramUpdate(TNormalClnt &client, HWND progress);

// Announces the program version (major x 10000000 + minor x 10000 +
// release) as "%u.%u.%u". 0 when an answer with a body came, else -1.
int SendClientVersion(TNormalClnt &client, uint32_t programVersion);

// The seven configuration files, then the block index and the member files
// of every block that is new, changed or missing locally (in batches of at
// most 10), then the holiday lists are read again. 0 done, -1 when an
// exchange failed. A part entry at the end of the index is left out; a
// block file that did not come whole is not written, and the index written
// keeps the local entry of that block (or leaves it out), so that it is
// asked for again.
int DownloadConfigFiles(TNormalClnt &client, HWND progress);

// One configuration file "..\cfg\<name>", staged in ".\updt.tmp" slice by
// slice and put in place only when complete, with the server's date as its
// last-write time (00:00 UTC). A last slice that runs past the announced
// size is kept up to that size. 1 done (replaced, or already current, or a
// file that could not be written or put together, such as one whose size
// changes midway or is 0: the old file stays), 0 when the exchange failed.
int UpdateConfigFile(TNormalClnt &client, const char *name);

// The market's name table from the server, page by page, bounded by the
// market's capacity; written to its nametbl file (and for futures markets
// the contract codes to nametble) and taken as the market's loaded
// entries. Returns the number of entries, or -1 when an exchange failed
// (nothing of the market is changed then). A page that is refused, empty
// before the total, or for another market or entry ends the table: the
// pages that came are the market's entries for this session, and no file
// is written. A market whose folder or extension is no safe file name is
// left empty without asking.
int DownloadCodeTables(TNormalClnt &client, TMarketData &market);

// The finance records of the market: the first eight values of every
// record an answer names, for stocks inside the named market's loaded
// entries (others are skipped). 0, or -1 when the exchange failed.
int DownloadFinance(TNormalClnt &client, TMarketData &market);
