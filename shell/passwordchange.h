// "修改密码(&P)": the change of the quote-service account's password, on one
// of three roads. With the outside account library loaded the library
// changes it, directly or (when the user's network settings ask for the
// relay or a proxy) through the loopback listener that carries its request
// line over the terminal's own connection. Without the library the request
// goes to the quote service: to the directory server by a worker thread, or
// queued on the live request connection.
#pragma once

#include <cstdint>
#include <functional>

#include "market/acctcheck.h"
#include "platform/windef.h"

class TNormalClnt;

// The road the library's request takes.
enum class TPasswordRoad { kDirect, kProxy, kRelay };
// Relay when "%sSERVER.INI" [ProxyServer] GreenWay is set and ".\SERVER.INI"
// [Server] GC and GCPort both are; else proxy when UseProxy is set; else
// direct.
TPasswordRoad ChoosePasswordRoad();

struct PASSWORDCHANGEREC {
  char user[16];
  char password[12];
  char newPassword[12];
};
static_assert(sizeof(PASSWORDCHANGEREC) == 40);

// A result r with its message, as the change shows it (owner the frame):
// r < 0 the message as a failure, 0 the fixed success text, r > 0 the
// message under "修改密码成功".
void ShowPasswordResult(HWND owner, int result, const char *message);

// The directory-server road on its own thread: changes the password with a
// private request client, frees the record (heap, Malloc) and shows its
// box on the GUI thread without an owner. The client's result.
int PasswordChangeWorker(PASSWORDCHANGEREC *record);
// The worker's box text for a result of TNormalClnt::ChangePassword; the
// client's text for a refusal.
const char *PasswordWorkerText(int result, const char *serverText);

// What the change needs once the dialog was accepted.
struct TPasswordChangeRequest {
  HWND owner = nullptr;
  const char *user = "";          // the current login's user name
  const char *loginPassword = ""; // the current login's password
  const char *current = "";       // the dialog's current-password edit
  const char *fresh = "";         // the dialog's new-password edit
};

// Where the change goes; the running program's by default, tests put in
// their own.
struct TPasswordChangeHooks {
  // The account library when loaded in the process (never loaded here).
  std::function<AccountLibrary()> library;
  // Starts the worker on a thread of its own with the record.
  std::function<void(PASSWORDCHANGEREC *record)> startWorker;
  // Queues the new password on the live request connection.
  std::function<void(const char *newPassword)> queueOnConnection;
};
TPasswordChangeHooks &PasswordChangeHooks();

// The change after an accepted dialog, with the request client of the
// quote connection (nothing happens without one).
void ChangeAccountPassword(const TPasswordChangeRequest &request, TNormalClnt *requestClient);
