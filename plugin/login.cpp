#include "plugin/login.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "core/efile.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "platform/winuser.h"
#include "plugin/answerfields.h"
#include "plugin/brokerlib.h"
#include "plugin/records.h"
#include "plugin/reportfile.h"
#include "plugin/requests.h"
#include "plugin/session.h"
#include "plugin/tradebridge.h"
#include "plugin/tradelog.h"

namespace tb {

namespace {

constexpr const char *kServerSettings = "..\\CFG\\Consign.ini";
// Longer account folder paths are not created.
constexpr size_t kMaxFolderPath = 4089;

// The value of a [jsd] key with blanks removed at both ends.
void ReadTrimmed(const char *key, char *out, int size) {
  char value[256] = {};
  GetPrivateProfileStringA("jsd", key, "", value, sizeof value, kServerSettings);
  const char *start = value;
  while (*start == ' ' || *start == '\t') ++start;
  size_t length = strlen(start);
  while (length > 0 && (start[length - 1] == ' ' || start[length - 1] == '\t')) --length;
  if (size <= 0) return;
  if (length > size_t(size - 1)) length = size_t(size - 1);
  memcpy(out, start, length);
  out[length] = '\0';
}

int ServerInt(int server, const char *suffix, int fallback) {
  char key[24];
  snprintf(key, sizeof key, "s%d%s", server + 1, suffix);
  return int(GetPrivateProfileIntA("jsd", key, fallback, kServerSettings));
}

void ServerAddress(int server, char out[64]) {
  char key[24];
  snprintf(key, sizeof key, "s%da", server + 1);
  ReadTrimmed(key, out, 64);
}

void ShowError(HWND window, const char *text, const char *caption) {
  MessageBoxA(window, text, caption, MB_OK | MB_ICONERROR | MB_TOPMOST);
}

// Serves the caller's pending messages between two server attempts.
void DispatchPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A host name as a dotted address: up to three tries, 500 ms apart.
bool Resolve(const char *host, char out[32]) {
  if (inet_addr(host) != INADDR_NONE) {
    snprintf(out, 32, "%s", host);
    return true;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt) Sleep(500);
    if (hostent *entry = ws::gethostbyname(host); entry && entry->h_addr_list && entry->h_addr_list[0]) {
      in_addr address;
      memcpy(&address, entry->h_addr_list[0], sizeof address);
      snprintf(out, 32, "%s", inet_ntoa(address));
      return true;
    }
  }
  return false;
}

// The file name of the trade log by the local date.
std::string LocalDateLogName() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[32];
  snprintf(name, sizeof name, "tradelog\\%04u%02u%02u.phl", now.wYear, now.wMonth, now.wDay);
  return name;
}

// The file name of the trade log by the trade date; empty when the date is
// not one. The date comes from the broker and becomes part of a path, so
// only eight digits are taken: a separator, "..", or an over-long field cut
// to its place is not a date.
std::string TradeDateLogName(const char *tradeDate) {
  size_t digits = 0;
  while (tradeDate[digits] >= '0' && tradeDate[digits] <= '9') ++digits;
  if (digits == 8 && tradeDate[digits] == '\0') return std::string("tradelog\\") + tradeDate + ".phl";
  return std::string();
}

// What a login attempt carries from one server to the next.
struct LoginArgs {
  HWND window;
  UINT message;
  const char *account;
  const char *password;
  const char *certificate;
  const char *settingsPath;
  std::string dataFolder;
  std::string accountFolder;
  char adapter[16];
  char error[kErrorTextSize];
};

// The proxy of "server.ini" in the data folder.
struct Proxy {
  int use = 0;
  char address[32] = {};
  int port = 0;
  bool certUser = false;
  char user[128] = {};
  char password[64] = {};
};

Proxy ReadProxy(const std::string &dataFolder, int userWidth, int passwordWidth) {
  const std::string path = dataFolder + "server.ini";
  Proxy proxy;
  proxy.use = int(GetPrivateProfileIntA("ProxyServer", "UseProxy", 0, path.c_str()));
  GetPrivateProfileStringA("ProxyServer", "Address", "", proxy.address, sizeof proxy.address, path.c_str());
  proxy.port = int(GetPrivateProfileIntA("ProxyServer", "Port", 0, path.c_str()));
  proxy.certUser = GetPrivateProfileIntA("ProxyServer", "CertUser", 0, path.c_str()) != 0;
  if (proxy.certUser) {
    GetPrivateProfileStringA("ProxyServer", "UserName", "", proxy.user, DWORD(userWidth), path.c_str());
    GetPrivateProfileStringA("ProxyServer", "Password", "", proxy.password, DWORD(passwordWidth), path.c_str());
  }
  return proxy;
}

// The broker library's proxy kind.
int ProxyKind(const Proxy &proxy) {
  const bool user = proxy.certUser && proxy.user[0];
  switch (proxy.use) {
    case 0: return 0;
    case 1: return user ? 3 : 2;
    case 2: return 1;
    default: return user ? 5 : 4;
  }
}

const char *AuthorityName(int skid) {
  switch (skid) {
    case 1: return "SHECA";
    case 2: return "DCDT";
    case 3: return "KSCA";
    case 4: return "HXDCDT";
    default: return "";
  }
}

bool IsTradingCentreChange(int code) {
  return (code >= 50001 && code <= 50003) || (code >= 31100051 && code <= 31100053);
}

// The account summary ".\<account>.txt" from the login answer.
void WriteSummary(const char *path, const AnswerFields &f, const char *account) {
  char name[32], risk[kSkipWidth], extra[kSkipWidth], address[kSkipWidth], time[kSkipWidth], way[kSkipWidth],
      online[kSkipWidth];
  f.Get(4, name);
  f.Get(5, risk);
  f.Get(6, extra);
  f.Get(9, address);
  f.Get(11, time);
  f.Get(12, way);
  f.Get(24, online);
  const char state = f.Char(7);
  const char *stateText = state == '0' ? "（正常）" : state == '1' ? "（追加）" : state == '2' ? "（强平）" : "";
  char dateText[kSkipWidth];
  f.Get(10, dateText);
  const unsigned date = unsigned(strtoul(dateText, nullptr, 10));
  const char *wayText = way[0] == '2' && !way[1]   ? "电话委托"
                        : way[0] == '3' && !way[1] ? "网上交易"
                        : way[0] == '7' && !way[1] ? "第三方委托"
                                                   : way;
  ReportFile file(path, ReportFile::kTruncate);
  file.Printf("\r\n 客户名称:     %s          客户号: %s\r\n", name, account);
  file.Printf(" 风险度:       %s%s\r\n", risk, stateText);
  file.Printf(" 追加保证金:   %s\r\n\r\n", extra);
  file.Printf(" 上次登录地址: %s\r\n", address);
  file.Printf(" 上次登录时间: %u-%02u-%02u %s\r\n", date / 10000, date / 100 % 100, date % 100, time);
  file.Printf(" 上次登录方式: %s\r\n\r\n ", wayText);
  file.Printf("在线人数/最大可登录人数：%s", online);
}

// One connection to a trading server. Returns 0 with the session started,
// or a failure code with the partial session torn down and the error text
// in args.error.
int Connect(LoginArgs &args, const char *host, int port, bool retry) {
  args.error[0] = '\0';
  BrokerApi api{};
  if (!BindBrokerLibrary(api)) return kNoSession;
  if (api.InitSystem(1) != 0 || api.Start() != 0) {
    LogText(kLogFreeText, "2|金仕达初始化失败");
    api.Stop();
    api.CleanUp();
    return kBrokerStartFailed;
  }
  std::shared_ptr<Session> session = CreateSession();
  if (!session) {
    LogText(kLogFreeText, "2|内存不足");
    api.Close();
    api.Stop();
    api.CleanUp();
    TradeFinalize();
    return kOutOfMemory;
  }
  session->broker = api;
  session->window = args.window;
  session->message = args.message;
  CopyBounded(session->account, args.account);
  CopyBounded(session->password, args.password);
  CopyBounded(session->adapter, args.adapter);
  CopyBounded(session->dataFolder, args.dataFolder.c_str());
  CopyBounded(session->accountFolder, args.accountFolder.c_str());

  const Proxy proxy = ReadProxy(args.dataFolder, 32, 32);
  char broker[64];
  ReadTrimmed("Broker", broker, sizeof broker);
  const int skid = int(GetPrivateProfileIntA("jsd", "SKID", 0, kServerSettings));
  const bool authority = skid != 0 && args.certificate && args.certificate[0];
  CopyBounded(session->clientTag, authority ? "other#C#b" : "other#C#");
  RequestLine line(6011, session->Head());
  line.Add("127.0.0.1").Add("1").Add("1");
  char number[16];
  snprintf(number, sizeof number, "%d", authority ? skid : 0);
  if (authority) {
    line.Add("3").Add("").Add("").Add("2").Add(number).Add("").Add("").Add(args.certificate).Add("1").Add("");
    line.Add(AuthorityName(skid)).Add("");
  }
  {
    std::string copy = std::string("R|0|") + session->adapter + "|" + session->clientTag + "|" + session->account +
                       "||" + number + "|" + (authority ? args.certificate : "") + "|" +
                       (authority ? AuthorityName(skid) : "") + "|3.2|";
    LogText(kLogLogin, copy.c_str());
  }

  char address[32];
  if (!Resolve(host, address)) {
    CopyBounded(args.error, "解析 B2C 网关地址失败");
    LogText(kLogFreeText, "2|解析B2C网关地址失败");
    EndSession(session);
    TradeFinalize();
    return kLoginRefused;
  }
  char answer[kAnswerSize] = {};
  const int opened = line.Ok() ? api.Open(broker, address, port, ProxyKind(proxy), proxy.address, proxy.port,
                                          proxy.user, proxy.password, line.Line(), answer)
                               : -1;  // a certificate text too long for the line
  answer[kAnswerSize - 1] = '\0';
  if (opened != 0) {
    api.GetErrorMessage(opened, args.error, int(kErrorTextSize));
    args.error[kErrorTextSize - 1] = '\0';
    char text[kErrorTextSize + 32];
    snprintf(text, sizeof text, "A|0|%i|%s", opened, args.error);
    LogText(kLogLogin, text);
    EndSession(session);
    if (opened == -11 && retry) return Connect(args, host, port, false);
    return kLoginRefused;
  }
  const AnswerFields f(answer);
  if (f.Char(3) != 'Y') {
    char code[kSkipWidth];
    f.Get(4, code);
    f.Get(5, args.error);
    char text[kErrorTextSize + kSkipWidth + 16];
    snprintf(text, sizeof text, "A|0|%s|%s", code, args.error);
    LogText(kLogLogin, text);
    EndSession(session);
    return IsTradingCentreChange(atoi(code)) ? kChangeTradingCentre : kLoginRefused;
  }

  char *block = static_cast<char *>(session->AllocBlock());
  if (!block) {
    EndSession(session);
    TradeFinalize();
    return kOutOfMemory;
  }
  f.Get(4, session->holderName);
  f.Get(8, session->tradeDate);
  block[0] = f.Char(13);
  block[1] = f.Char(14);
  block[2] = f.Char(29);
  char summary[64];
  snprintf(summary, sizeof summary, ".\\%s.txt", session->account);
  snprintf(block + kLoginPathOffset, kResultBlockSize - kLoginPathOffset, "%s", summary);
  WriteSummary(summary, f, session->account);

  // A trade date that is not one must not fail the login: the log is then
  // named by the local date, and says why.
  const std::string byTradeDate = TradeDateLogName(session->tradeDate);
  OpenTradeLog((args.accountFolder + (byTradeDate.empty() ? LocalDateLogName() : byTradeDate)).c_str());
  if (byTradeDate.empty()) LogText(kLogFreeText, "2|交易日期不是日期，交易日志按本地日期命名");
  {
    const std::string head = std::string("A|0|0||") + session->account + "|";
    LogTextPair(kLogLogin, head.c_str(), f.After(3));
  }

  auto pool = session->pool;
  if (!StartSession(session)) {
    pool->Free(block);
    LogText(kLogFreeText, "2|启动线程失败");
    TradeFinalize();
    ShowError(args.window, "启动线程失败。  ", "登录失败");
    return kOutOfMemory;
  }
  session->PostBlock(TN_LOGIN_DONE, block);
  return 0;
}

// Copies every file (not folder) of one folder of the data folder into the
// same folder of the account folder, never overwriting.
void CopyFolderFiles(const std::string &from, const std::string &to) {
  MakeDirChain(to.c_str());
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((from + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    CopyFileA((from + found.cFileName).c_str(), (to + found.cFileName).c_str(), TRUE);
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// At the account's first login: the marker file, then the terminal's
// per-user trading files.
void CopyAtFirstLogin(const std::string &dataFolder, const std::string &accountFolder) {
  const std::string marker = accountFolder + "FilesCop.ied";
  if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  { ReportFile create(marker.c_str(), ReportFile::kTruncate); }
  static const char *const kFiles[] = {"Consign.ini", "ordrtime.ini", "scriptorder.ini", "Dealed.dat",
                                       "DEALLIST.SET", "pcorder.dat",  "stopordr.ini"};
  for (const char *name : kFiles)
    CopyFileA((dataFolder + name).c_str(), (accountFolder + name).c_str(), TRUE);
  CopyFolderFiles(dataFolder + "stoporder\\", accountFolder + "stoporder\\");
  CopyFolderFiles(dataFolder + "tradelog\\", accountFolder + "tradelog\\");
}

int DirectLogin(LoginArgs &args, int serverIndex) {
  const int count = ServerCount();
  if (serverIndex < 0 || serverIndex >= count) {
    LogText(kLogFreeText, "2|服务器地址或端口为空");
    return kBadArguments;
  }
  const int group = ServerInt(serverIndex, "t", 0);
  int members = 0;
  for (int i = 0; i < count; ++i) members += ServerInt(i, "t", 0) == group;
  // A random member of the group starts the walk.
  std::minstd_rand random{uint32_t(platform::UnixTimeNow())};
  int start = serverIndex;
  if (members > 0) {
    int pick = int(random() % uint32_t(members));
    for (int i = 0; i < count; ++i)
      if (ServerInt(i, "t", 0) == group && pick-- == 0) {
        start = i;
        break;
      }
  }
  for (int step = 0; step < count; ++step) {
    const int server = (start + step) % count;
    if (ServerInt(server, "t", 0) != group) continue;
    PostMessageA(args.window, args.message, WPARAM(uint32_t(server) << 16 | TN_LOGIN_PROGRESS), 0);
    DispatchPending();
    char index[16];
    snprintf(index, sizeof index, "%d", server);
    WritePrivateProfileStringA("jsd", "server", index, args.settingsPath);
    char host[64];
    ServerAddress(server, host);
    const int port = ServerInt(server, "p", 0);
    if (!host[0] || port == 0) {
      LogText(kLogFreeText, "2|服务器地址或端口为空");
      return kBadArguments;
    }
    const int result = Connect(args, host, port, true);
    if (result != kLoginRefused) return result;
    if (strstr(args.error, "密码不正确")) break;
  }
  ShowError(args.window, args.error, "登录交易失败");
  return kLoginRefused;
}

int GatewayLogin(LoginArgs &args, int serverIndex) {
  auto fail = [&](const char *log, const char *text, const char *caption, int code) {
    if (log) LogText(kLogFreeText, log);
    TradeFinalize();
    ShowError(args.window, text, caption);
    return code;
  };
  char index[16];
  snprintf(index, sizeof index, "%d", serverIndex);
  WritePrivateProfileStringA("jsd", "server", index, args.settingsPath);
  PortalApi portal{};
  if (!BindPortalLibrary(portal))
    return fail("2|门户网关接口加载失败", "文件 ksPortalAPI.dll 不存在或不完整。  ", "登录失败", kNoSession);

  PortalServerList gateways{};
  const int group = ServerInt(serverIndex, "t", 0);
  const int count = ServerCount();
  for (int i = 0; i < count && gateways.count < 16; ++i) {
    char host[64];
    ServerAddress(i, host);
    if (ServerInt(i, "t", 0) != group || !host[0]) continue;
    char address[32];
    char line[128];
    if (!Resolve(host, address)) {
      snprintf(line, sizeof line, "2|解析门户网关地址失败 %s", host);
      LogText(kLogFreeText, line);
      ShowError(args.window, "解析门户网关地址失败", "错误");
      continue;
    }
    PortalServer &gateway = gateways.servers[gateways.count++];
    CopyBounded(gateway.address, address);
    gateway.port = ServerInt(i, "p", 0);
    snprintf(line, sizeof line, "0|门户网关 %s:%d", address, gateway.port);
    LogText(kLogFreeText, line);
  }
  const Proxy proxy = ReadProxy(args.dataFolder, 128, 64);
  PortalProxy portalProxy{};
  if (proxy.use >= 1 && proxy.use <= 3) {
    CopyBounded(portalProxy.user, proxy.user);
    CopyBounded(portalProxy.password, proxy.password);
    CopyBounded(portalProxy.address, proxy.address);
    portalProxy.port = proxy.port;
    portalProxy.kind = proxy.use == 1 ? 2 : proxy.use == 2 ? 1 : 3;
  }
  auto portalFailure = [&](int code) {
    char text[128] = {};
    portal.GetErrorDescribe(code, text, sizeof text);
    text[sizeof text - 1] = '\0';
    char line[160];
    snprintf(line, sizeof line, "2|%s", text);
    return fail(line, text, "登录门户网关失败", kLoginRefused);
  };
  if (int code = portal.InitInstance(portalProxy, gateways, 67, 1); code != 0) return portalFailure(code);
  LogText(kLogFreeText, "0|通过门户网关查询B2C地址");
  PortalServerList servers{};
  if (int code = portal.GetSwitchList(args.account, 10, &servers, 3000, 0); code != 0) return portalFailure(code);

  bool switched = false;
  for (int i = 0; i < servers.count && i < 16; ++i) {
    DispatchPending();
    char host[33] = {};
    memcpy(host, servers.servers[i].address, sizeof servers.servers[i].address);
    const int port = servers.servers[i].port;
    char line[96];
    snprintf(line, sizeof line, "0|交易服务器 %s:%u", host, unsigned(port));
    LogText(kLogFreeText, line);
    const int result = Connect(args, host, port, true);
    if (result == 0) return 0;
    if (result == kChangeTradingCentre) {
      if (switched) return fail("2|客户不属于该交易中心，中止登录", args.error, "登录交易失败", kLoginRefused);
      switched = true;
      portal.RestoralContext(args.account);
      LogText(kLogFreeText, "0|交易中心切换，重新查询B2C地址");
      servers = PortalServerList{};
      if (int code = portal.GetSwitchList(args.account, 10, &servers, 3000, 0); code != 0)
        return portalFailure(code);
      i = -1;
      continue;
    }
    if (result == kLoginRefused) {
      if (strstr(args.error, "密码不正确")) return fail(nullptr, args.error, "登录交易失败", kLoginRefused);
      continue;
    }
    TradeFinalize();
    return result;
  }
  return fail("2|所有网关均无法登录", args.error, "登录交易失败", kLoginRefused);
}

}  // namespace

int ServerCount() {
  int count = 0;
  for (;; ++count) {
    char key[16];
    char name[256];
    snprintf(key, sizeof key, "s%d", count + 1);
    ReadTrimmed(key, name, sizeof name);
    if (!name[0]) return count;
  }
}

void ServerName(int index, char *out, int size) {
  if (!out || size <= 0) return;
  out[0] = '\0';
  if (index < 0) return;
  char key[16];
  snprintf(key, sizeof key, "s%d", index + 1);
  ReadTrimmed(key, out, size);
}

int Login(HWND window, UINT message, int serverIndex, const char *account, const char *password,
          const char *certificate, const char *settingsPath) {
  // A login starts from a clean state: a session still open ends first,
  // and the library is not started again under a call of an old session
  // that is still inside it.
  EndSession();
  if (!OldSessionsEnded()) {
    LogText(kLogFreeText, "2|上次退出的交易线程尚未结束");
    ShowError(window, "上次退出交易时仍有请求未结束，请稍后再登录。  ", "登录失败");
    return kBrokerStartFailed;
  }
  LoginArgs args{window, message, account, password, certificate, settingsPath ? settingsPath : "", {}, {}, {}, {}};
  const char *slash = strrchr(args.settingsPath, '\\');
  args.dataFolder.assign(args.settingsPath, slash ? size_t(slash - args.settingsPath + 1) : 0);
  args.accountFolder = slash ? args.dataFolder + account + "\\" : std::string(".\\") + account + "\\";
  if (args.accountFolder.size() <= kMaxFolderPath) MakeDirChain(args.accountFolder.c_str());
  CopyAtFirstLogin(args.dataFolder, args.accountFolder);

  if (!CheckBrokerLibraryVersion()) {
    ShowError(window, "文件 KSInterB2C.dll 版本不匹配。  ", "登录失败");
    return kNoSession;
  }
  BindLogger();
  CloseTradeLog();
  OpenTradeLog((args.accountFolder + LocalDateLogName()).c_str());
  ReadAdapterAddress(args.adapter);
  if (GetPrivateProfileIntA("jsd", "UseGate", 0, kServerSettings) != 0) return GatewayLogin(args, serverIndex);
  return DirectLogin(args, serverIndex);
}

}  // namespace tb
