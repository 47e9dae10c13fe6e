#include "shell/quoteconn.h"

#include <new>
#include <string>

#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/realclient.h"
#include "market/reqqueue.h"
#include "market/startup_downloads.h"
#include "market/utildata.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "shell/entry.h"
#include "shell/profiletext.h"

TNormalClnt *QuoteServerClient = nullptr;
TRealDataClnt *RealtimeClient = nullptr;
TDataIO *MarketTableIO = nullptr;
TPushLogin PushLogin = {};

namespace {

void NetworkFailure(HWND owner, HWND dialog) {
  DeleteQuoteServerClient();
  if (dialog) SendMessageA(dialog, WM_LOGIN_FAILED, 0, 0);
  MessageBoxA(owner, "网络故障，与服务器的连接已断开。  ", "登录提示", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

void WriteConnectionLog(const char *text) {
  if (auto &log = ConnectionTradeLog()) log(TLOG_CONNECTION, text);
}

}  // namespace

std::function<void(int code, const char *text)> &ConnectionTradeLog() {
  static std::function<void(int, const char *)> log;
  return log;
}

int GetConnectionState() { return (QuoteServerClient ? 1 : 0) | (RealtimeClient ? 2 : 0); }

void SetQuoteServerClient(TNormalClnt *client) {
  if (client == QuoteServerClient) return;
  TNormalClnt *old = QuoteServerClient;
  QuoteServerClient = client;
  SetQueueClient(client);
  delete old;
}

void DeleteQuoteServerClient() { SetQuoteServerClient(nullptr); }

void DeleteRealtimeClient() {
  if (!RealtimeClient) return;
  WriteConnectionLog("1|0|");
  TRealDataClnt *old = RealtimeClient;
  RealtimeClient = nullptr;
  delete old;
}

int ConnectQuoteServer(HWND owner, HWND dialog, bool relogin, bool updateCodes, bool useCached) {
  (void)updateCodes;
  DeleteQuoteServerClient();
  TNormalClnt *client = new (std::nothrow) TNormalClnt;
  if (!client) {
    MessageBoxA(owner, "内存不足，无法连接服务器。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return 3;
  }
  const int result = client->Login(dialog, useCached);
  if (result != kLoginOk) {
    if (dialog) SendMessageA(dialog, WM_LOGIN_FAILED, 0, LPARAM(result));
    if (result != kLoginNoDirectory && result != kLoginNoDataServer && client->Text()[0] != '\0')
      MessageBoxA(owner, client->Text(), "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
    delete client;
    return result;
  }
  SetQuoteServerClient(client);
  if (!relogin && CheckProgramUpdate(*client, dialog) != 0) {
    NetworkFailure(owner, dialog);
    return 3;
  }
  if (SendClientVersion(*client, ProgramVersion) != 0) {
    NetworkFailure(owner, dialog);
    return 3;
  }
  if (dialog) SendMessageA(dialog, WM_LOGIN_UPDATE_STEP, 0, 0);
  if (DownloadConfigFiles(*client, dialog) != 0) {
    NetworkFailure(owner, dialog);
    return 3;
  }
  return 0;
}

int BuildMarketTableForLogin(HWND dialog, const std::atomic<bool> &cancel) {
  if (MarketTableIO) {
    // A re-login keeps the table; the dialog still learns that the login
    // is complete, as the table's build would have told it.
    if (dialog) SendMessageA(dialog, WM_LOGIN_DONE, 0, 0);
    return kBuildOk;
  }
  TDataIO *table = new (std::nothrow) TDataIO(dialog, cancel);
  if (!table) return kBuildNoMemory;
  MarketTableIO = table;
  return table->Failure();
}

void InterruptMarketTableBuild() {
  if (QuoteServerClient) QuoteServerClient->Interrupt();
}

bool FinishMarketTableForLogin(int result) {
  if (result == kBuildCancelled)
    DeleteQuoteServerClient();  // its connection may be shut down
  else
    TellMarketBuildFailure(result);
  if (MarketTableIO && MarketTable.loadState != 0) FreeMarketTable();
  return result == kBuildOk && MarketTableIO && QuoteServerClient;
}

bool BuildMarketTableOffline() {
  if (!MarketTableIO) MarketTableIO = new (std::nothrow) TDataIO(nullptr);
  return MarketTableIO && MarketTable.loadState == 0;
}

void FreeMarketTable() {
  delete MarketTableIO;
  MarketTableIO = nullptr;
}

bool PrepareRealtimeClient(HWND owner) {
  delete RealtimeClient;
  RealtimeClient = new (std::nothrow) TRealDataClnt;
  const bool made = RealtimeClient != nullptr;
  if (!made)
    MessageBoxA(owner, "内存不足，无法取得即时数据。  ", "提示", MB_OK | MB_ICONERROR | MB_TOPMOST);
  if (QuoteServerClient && !QuoteServerClient->ArmAsyncEvents()) DeleteQuoteServerClient();
  return made;
}

void ReadPushLogin() {
  const std::string file = std::string(UserDataPath) + "SERVER.INI";
  ReadProfileField("Server", "UserName", "", PushLogin.user, file.c_str());
  ReadProfileField("Server", "Password", "", PushLogin.password, file.c_str());
}

bool ConnectRealtimeClient() {
  if (!RealtimeClient) return false;
  if (RealtimeClient->ConnectAndLogin(PushLogin.user) == 1) return true;
  TRealDataClnt *old = RealtimeClient;
  RealtimeClient = nullptr;
  delete old;
  return false;
}

bool ReconnectClients() {
  if (QuoteServerClient && RealtimeClient) return false;
  if (!QuoteServerClient) {
    TNormalClnt *client = new (std::nothrow) TNormalClnt;
    if (!client) return false;
    if (client->Login(nullptr, false) != kLoginOk) {
      delete client;
      return false;
    }
    SetQuoteServerClient(client);
    if (!client->ArmAsyncEvents()) {
      DeleteQuoteServerClient();
      return false;
    }
  }
  if (!RealtimeClient) {
    RealtimeClient = new (std::nothrow) TRealDataClnt;
    if (!ConnectRealtimeClient()) return false;
  }
  WriteConnectionLog("1|1|");
  return true;
}
