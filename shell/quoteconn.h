// The two quote connections of the terminal and the routines that make and
// drop them: the login dialog's connect routine, the market table's build
// on the dialog's worker, the push client's start and login, one silent
// reconnect attempt, and the connection state other parts read.
//
// The clients and the market table's owner are process-wide (null when
// there is none); everything but BuildMarketTableForLogin runs on the GUI
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/windef.h"
#include "trading/tradelog.h"

class TNormalClnt;
class TRealDataClnt;
class TDataIO;

extern TNormalClnt *QuoteServerClient;
extern TRealDataClnt *RealtimeClient;
// The market table's owner: made at the first login or for offline browsing.
extern TDataIO *MarketTableIO;

// Bit 0: a request client exists; bit 1: a push client exists.
int GetConnectionState();

// The trade log record TLOG_CONNECTION the connection writes when it is
// made ("1|1|") or dropped ("1|0|"); empty: no trade log is open.
std::function<void(int code, const char *text)> &ConnectionTradeLog();

// The request client replaced (the request queue follows it); the old one
// is deleted.
void SetQuoteServerClient(TNormalClnt *client);
void DeleteQuoteServerClient();
// Deletes the push client; "1|0|" goes to the trade log when one is open.
void DeleteRealtimeClient();

// The connect routine the login dialog runs on the GUI thread: 0 connected
// and configured; 1 or 2 the connection could not be made (the dialog tries
// the next server); 3 failed after a message. Message boxes are owned by
// owner. Without relogin the program update is checked first.
int ConnectQuoteServer(HWND owner, HWND dialog, bool relogin, bool updateCodes, bool useCached);

// On the login dialog's worker after a login: builds the market table with
// the dialog as progress window, unless one exists already (a re-login keeps
// it, and the dialog is told the login is done). It stops once cancel is
// set and shows nothing: kBuildOk or why it failed (TMarketBuildFailure),
// which the dialog hands to FinishMarketTableForLogin.
int BuildMarketTableForLogin(HWND dialog, const std::atomic<bool> &cancel);
// While that build runs and the dialog is closed: a table download the
// worker is held in returns at once (the request client's connection is
// shut down).
void InterruptMarketTableBuild();
// Once the worker has ended, with its result: a failed build is told (a
// failed download also drops the request client), a cancelled one drops
// the request client, and a table that did not come whole is freed, so
// that a later login builds it afresh. True when the table stands and the
// request client is there; otherwise the caller tells the user and closes
// (after a cancel it just closes).
bool FinishMarketTableForLogin(int result);
// The market table from the local files (offline browsing), unless one
// exists; false when it failed to load.
bool BuildMarketTableOffline();
// Frees the market table (each market writes its quote cache back).
void FreeMarketTable();

// On the GUI thread after the dialog's worker: a fresh push client (not
// connected) and the request client's socket armed. False when the push
// client could not be made (after the message).
bool PrepareRealtimeClient(HWND owner);

// The push client's login data: "%sSERVER.INI" [Server] UserName and
// Password, read after every login dialog.
struct TPushLogin {
  char user[16];
  char password[16];
};
extern TPushLogin PushLogin;
void ReadPushLogin();
// Connects and logs in the push client with PushLogin; false (the client
// deleted) when that failed.
bool ConnectRealtimeClient();

// One silent reconnect attempt: makes and logs in whichever client is
// missing. True when both clients exist afterwards and one of them was
// made here (the caller then refreshes everything); false when nothing was
// missing or a step failed (the failed client is deleted).
bool ReconnectClients();
