// The broker system's server list and the login.
#pragma once

#include "platform/windef.h"

namespace tb {

// The server list of "..\CFG\Consign.ini" [jsd]: s1, s2, ... up to the first
// missing or empty name.
int ServerCount();
// The trimmed name of server index + 1, at most size - 1 bytes; empty when
// missing.
void ServerName(int index, char *out, int size);

// The login behind TradeInitialize, after its argument test.
int Login(HWND window, UINT message, int serverIndex, const char *account, const char *password,
          const char *certificate, const char *settingsPath);

}  // namespace tb
