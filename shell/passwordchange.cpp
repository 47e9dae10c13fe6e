#include "shell/passwordchange.h"

#include <cstdio>
#include <cstring>
#include <thread>

#include "core/emem.h"
#include "market/nclient.h"
#include "market/reqbuild.h"
#include "market/serverlist.h"
#include "platform/kernel.h"
#include "platform/module.h"
#include "platform/msgbox.h"
#include "platform/profile.h"

namespace {

constexpr char kSuccessText[] = "修改密码成功，下次登录请使用新密码。  ";
constexpr char kTail[] = "无法修改密码。  ";

void Box(HWND owner, const char *text, const char *caption, UINT icon) {
  MessageBoxA(owner, text, caption, MB_OK | icon | MB_TOPMOST);
}

// Copies at most size - 1 bytes and terminates.
template <size_t N>
void CopyField(char (&field)[N], const char *text) {
  std::memset(field, 0, N);
  if (text) std::strncpy(field, text, N - 1);
}

int ServerInt(const char *key) { return int(GetPrivateProfileIntA("Server", key, 0, kServerListIni)); }

}  // namespace

TPasswordRoad ChoosePasswordRoad() {
  const std::string userIni = UserServerIniPath();
  char relay[16] = {};
  GetPrivateProfileStringA("Server", "GC", "", relay, sizeof relay, kServerListIni);
  if (GetPrivateProfileIntA("ProxyServer", "GreenWay", 0, userIni.c_str()) != 0 && relay[0] != '\0' &&
      ServerInt("GCPort") != 0)
    return TPasswordRoad::kRelay;
  if (GetPrivateProfileIntA("ProxyServer", "UseProxy", 0, userIni.c_str()) != 0) return TPasswordRoad::kProxy;
  return TPasswordRoad::kDirect;
}

void ShowPasswordResult(HWND owner, int result, const char *message) {
  if (result < 0)
    Box(owner, message, "修改密码失败", MB_ICONERROR);
  else if (result == 0)
    Box(owner, kSuccessText, "提示", MB_ICONINFORMATION);
  else
    Box(owner, message, "修改密码成功", MB_ICONINFORMATION);
}

const char *PasswordWorkerText(int result, const char *serverText) {
  switch (result) {
    case 0: return kSuccessText;
    case 1: return "无法连接服务器，修改密码失败。  ";
    case 2: return "网络错误，修改密码失败。  ";
    case 3: return "网络错误，修改密码失败。  ";
    case 4: return serverText ? serverText : "";
    default: return "内部错误，修改密码失败。  ";
  }
}

int PasswordChangeWorker(PASSWORDCHANGEREC *record) {
  auto client = std::make_unique<TNormalClnt>();
  const int result = client->ChangePassword(reinterpret_cast<const char *>(record));
  Free(record);
  const std::string text = PasswordWorkerText(result, client->Text());
  // The box belongs to the GUI thread; this thread waits for it.
  platform::RunOnGuiThread([&] {
    if (result == 0)
      Box(nullptr, text.c_str(), "成功", MB_ICONINFORMATION);
    else
      Box(nullptr, text.c_str(), "失败", MB_ICONERROR);
  });
  client.reset();
  return result;
}

TPasswordChangeHooks &PasswordChangeHooks() {
  static TPasswordChangeHooks hooks = [] {
    TPasswordChangeHooks h;
    h.library = [] {
      AccountLibrary library;
      // Only a library the login loaded counts; it is never loaded here.
      library.module = GetModuleHandleA(".\\AcctBridge.dll");
      if (library.module)
        library.modify =
            reinterpret_cast<AcbModifyAccountPWFn>(GetProcAddress(library.module, "AcbModifyAccountPW"));
      return library;
    };
    h.startWorker = [](PASSWORDCHANGEREC *record) { std::thread(PasswordChangeWorker, record).detach(); };
    h.queueOnConnection = [](const char *newPassword) { RequestPasswordChange(newPassword); };
    return h;
  }();
  return hooks;
}

void ChangeAccountPassword(const TPasswordChangeRequest &request, TNormalClnt *requestClient) {
  if (!requestClient) return;
  TPasswordChangeHooks &hooks = PasswordChangeHooks();
  const AccountLibrary library = hooks.library ? hooks.library() : AccountLibrary{};
  if (library.module) {
    if (!library.modify) {
      Box(request.owner, "AcctBridge.dll 不正确，无法修改密码。  ", "错误", MB_ICONERROR);
      return;
    }
    char user[32], current[32], fresh[32];
    std::snprintf(user, sizeof user, "%.31s", request.user);
    std::snprintf(current, sizeof current, "%.31s", request.current);
    std::snprintf(fresh, sizeof fresh, "%.31s", request.fresh);
    const TPasswordRoad road = ChoosePasswordRoad();
    char host[16] = {};
    const bool viaRelay = road == TPasswordRoad::kRelay;
    GetPrivateProfileStringA("Server", viaRelay ? "GC" : "LoginServer", "", host, sizeof host, kServerListIni);
    const int port = ServerInt(viaRelay ? "GCPort" : "LoginPort");
    if (road == TPasswordRoad::kDirect) {
      char message[kRelayAnswerSize] = {};
      const int result = library.modify(message, user, current, fresh, host, port, 8);
      message[kRelayAnswerSize - 1] = '\0';
      ShowPasswordResult(request.owner, result, message);
      return;
    }
    int code = 0;
    char message[kRelayAnswerSize];
    const auto call = [&](const char *listenerHost, int listenerPort) {
      char ignored[kRelayAnswerSize] = {};
      library.modify(ignored, user, current, fresh, listenerHost, listenerPort, 8);
    };
    if (RelayLibraryLine(request.owner, RelayTarget{host, port}, kTail, call, code, message))
      ShowPasswordResult(request.owner, code, message);
    return;
  }
  if (requestClient->DirectoryLogin()) {
    auto *record = static_cast<PASSWORDCHANGEREC *>(Malloc(sizeof(PASSWORDCHANGEREC)));
    if (!record) return;
    CopyField(record->user, request.user);
    CopyField(record->password, request.loginPassword);
    CopyField(record->newPassword, request.fresh);
    if (hooks.startWorker) hooks.startWorker(record);
    return;
  }
  char fresh[16];
  CopyField(fresh, request.fresh);
  if (hooks.queueOnConnection) hooks.queueOnConnection(fresh);
}
