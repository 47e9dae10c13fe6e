#include "market/nclient.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/lzw.h"
#include "market/answer.h"
#include "platform/messages.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/handles.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/winuser.h"

uint32_t AccountDate = 0;
uint32_t LoginSessionValue = 0;

namespace {

constexpr char kServerIni[] = ".\\SERVER.INI";
constexpr char kGrantFile[] = "..\\cfg\\dsinfo.dat";
constexpr int kDefaultDataPort = 13152;
constexpr int kDefaultRelayPort = 443;

// The relay's request, sent byte for byte, and the start of the only
// answer it accepts (with its final blank).
constexpr char kRelayRequest[] = "CONNECT 127.0.0.1:80 HTTP/1.0\r\nUser-Agent: Kivo/1.0\r\n\r\n";
constexpr int kRelayRequestLength = int(sizeof kRelayRequest - 1);
static_assert(kRelayRequestLength == 55);
constexpr char kRelayStatus[] = "HTTP/1.0 200 ";
constexpr int kRelayStatusLength = int(sizeof kRelayStatus - 1);

constexpr char kTextNetworkInit[] = "网络初始化失败。";
constexpr char kTextNetworkError[] = "网络连接发生错误。";
constexpr char kTextUnknown[] = "未知错误。";
constexpr char kTextRelaySend[] = "发送数据失败，无法通过绿色通道中转。";
constexpr char kTextRelayReceive[] = "接收数据失败，无法通过绿色通道中转。";
constexpr char kTextRelayRefused[] = "认证失败，无法通过绿色通道中转。";
constexpr char kTextProxyUnreachable[] = "无法连接代理服务器。";
constexpr char kTextProxyAuthFailed[] = "代理服务器认证失败。";
constexpr char kTextProxyAuthNeeded[] = "代理服务器需要身份验证。";
constexpr char kTextSocks4Name[] = "SOCKS4 代理不支持域名。";

std::string UserServerIni() {
  return std::string(UserDataPath, strnlen(UserDataPath, sizeof UserDataPath)) + "SERVER.INI";
}

int ReadInt(const char *section, const char *key, int fallback, const char *file) {
  return int(GetPrivateProfileIntA(section, key, fallback, file));
}

// Both time-outs of the blocking phase on the client's socket.
void SetBlockingTimeouts(SOCKET s) {
  const DWORD ms = QuoteClientHooks().blockingTimeoutMs;
  ws::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
  ws::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
}

bool IsDotted(const char *host) {
  in_addr address{};
  return host && inet_pton(AF_INET, host, &address) == 1;
}

}  // namespace

TQuoteClientHooks &QuoteClientHooks() {
  static TQuoteClientHooks hooks;
  return hooks;
}

TNormalClnt::TNormalClnt() : m_decoder(new LCompressLite), m_answers(new TAnswerReader) {}

TNormalClnt::~TNormalClnt() {
  TNormalClnt::OnClose(0);
  delete m_decoder;
}

void TNormalClnt::SetText(const char *text) { std::snprintf(m_text, sizeof m_text, "%s", text ? text : ""); }

bool TNormalClnt::SendAllOnce(const void *bytes, int length) { return Send(bytes, length, 0) == length; }

// ---- connecting ----

int TNormalClnt::Connect(const char *host, int port) {
  const std::string userIni = UserServerIni();
  const int useProxy = ReadInt("ProxyServer", "UseProxy", 0, userIni.c_str());
  const int greenWay = ReadInt("ProxyServer", "GreenWay", 0, userIni.c_str());
  char relay[64] = {};
  const char *target = host ? host : "";
  int targetPort = port;
  bool viaRelay = false;
  if (greenWay != 0) {
    GetPrivateProfileStringA("Server", "GC", "", relay, sizeof relay, kServerIni);
    if (relay[0] != '\0' && ReadInt("Server", "GCPort", 0, kServerIni) != 0) {
      viaRelay = true;
      target = relay;
      targetPort = ReadInt("Server", "GCPort", kDefaultRelayPort, kServerIni);
    }
  }
  EmptyReceiveBuffer();
  int result;
  if (useProxy != 0)
    result = ConnectViaProxy(target, targetPort, useProxy);
  else
    result = ESock::Connect(target, targetPort) ? kConnectOk : kConnectFailed;
  if (!viaRelay || result != kConnectOk) return result;
  return RelayHandshake();
}

// The answer is taken a byte at a time so that nothing after its blank line
// is swallowed: the frames follow on the same stream. It must fit in the
// receive buffer; one that fills it without a blank line is refused, as is
// one that ends before its status line could be checked.
int TNormalClnt::RelayHandshake() {
  if (!SendAllOnce(kRelayRequest, kRelayRequestLength)) {
    Close();
    SetText(kTextRelaySend);
    return kConnectBroken;
  }
  EmptyReceiveBuffer();
  for (;;) {
    if (m_recvCount == kReceiveBufferSize) break;
    if (Receive(m_recv + m_recvCount, 1, 0) < 1) {
      EmptyReceiveBuffer();
      Close();
      SetText(kTextRelayReceive);
      return kConnectBroken;
    }
    ++m_recvCount;
    if (m_recvCount == kRelayStatusLength && std::memcmp(m_recv, kRelayStatus, kRelayStatusLength) != 0) break;
    if (m_recvCount >= 4 && std::memcmp(m_recv + m_recvCount - 4, "\r\n\r\n", 4) == 0) {
      if (m_recvCount < kRelayStatusLength) break;
      EmptyReceiveBuffer();
      return kConnectOk;
    }
  }
  EmptyReceiveBuffer();
  Close();
  SetText(kTextRelayRefused);
  return kConnectRefused;
}

int TNormalClnt::FailProxy(int result, const char *text) {
  Close();
  if (text) SetText(text);
  return result;
}

int TNormalClnt::ConnectViaProxy(const char *host, int port, int type) {
  const std::string userIni = UserServerIni();
  char address[64] = {};
  char user[32] = {};
  char password[32] = {};
  GetPrivateProfileStringA("ProxyServer", "Address", "", address, sizeof address, userIni.c_str());
  const int proxyPort = ReadInt("ProxyServer", "Port", 0, userIni.c_str());
  GetPrivateProfileStringA("ProxyServer", "UserName", "", user, sizeof user, userIni.c_str());
  GetPrivateProfileStringA("ProxyServer", "Password", "", password, sizeof password, userIni.c_str());
  const bool certUser = ReadInt("ProxyServer", "CertUser", 0, userIni.c_str()) != 0;
  if (!host) host = "";
  if (!ESock::Connect(address, proxyPort)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  int result;
  switch (type) {
    case kProxySocks5:
      result = Socks5(host, port, certUser, user, password);
      break;
    case kProxySocks4:
      result = Socks4(host, port);
      break;
    case kProxyHttp:
      result = HttpConnect(host, port, certUser, user, password);
      break;
    default:
      return FailProxy(kConnectBroken, kTextProxyUnreachable);
  }
  EmptyReceiveBuffer();
  return result;
}

bool TNormalClnt::ReceiveRest(int have, int total) {
  while (have < total) {
    const int n = Receive(m_recv + have, total - have, 0);
    if (n < 1) return false;
    have += n;
  }
  return true;
}

int TNormalClnt::Socks5(const char *host, int port, bool certUser, const char *user, const char *password) {
  const uint8_t greeting[3] = {5, 1, uint8_t(certUser ? 2 : 0)};
  if (!SendAllOnce(greeting, 3)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  // Both bytes of the choice are needed before either is looked at.
  if (!ReceiveRest(0, 2) || m_recv[0] != 5 || (m_recv[1] != 0 && m_recv[1] != 2))
    return FailProxy(kConnectRefused, kTextProxyAuthFailed);
  if (m_recv[1] == 2) {
    if (!certUser) return FailProxy(kConnectRefused, kTextProxyAuthNeeded);
    // The settings give at most 31 characters each.
    const size_t userLength = strnlen(user, 31);
    const size_t passwordLength = strnlen(password, 31);
    uint8_t request[3 + 31 + 31];
    size_t n = 0;
    request[n++] = 1;
    request[n++] = uint8_t(userLength);
    std::memcpy(request + n, user, userLength);
    n += userLength;
    request[n++] = uint8_t(passwordLength);
    std::memcpy(request + n, password, passwordLength);
    n += passwordLength;
    if (!SendAllOnce(request, int(n))) return FailProxy(kConnectBroken, kTextProxyUnreachable);
    if (!ReceiveRest(0, 2) || m_recv[0] != 1 || m_recv[1] != 0) return FailProxy(kConnectRefused, kTextProxyAuthFailed);
  }
  uint8_t request[7 + 255];
  size_t n = 0;
  request[n++] = 5;
  request[n++] = 1;
  request[n++] = 0;
  if (IsDotted(host)) {
    in_addr address{};
    inet_pton(AF_INET, host, &address);
    request[n++] = 1;
    std::memcpy(request + n, &address, 4);
    n += 4;
  } else {
    const size_t length = std::strlen(host);
    // The length goes out as one byte.
    if (length > 255) return FailProxy(kConnectBroken, kTextProxyUnreachable);
    request[n++] = 3;
    request[n++] = uint8_t(length);
    std::memcpy(request + n, host, length);
    n += length;
  }
  const uint16_t wirePort = htons(uint16_t(port));
  std::memcpy(request + n, &wirePort, 2);
  n += 2;
  if (!SendAllOnce(request, int(n))) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  const int got = Receive(m_recv, 10, 0);
  if (got <= 1 || m_recv[1] != 0) return FailProxy(kConnectFailed, nullptr);
  // The reply's length follows from its address type; all of it is taken so
  // that no byte of it is mistaken for a frame. A type of no known length is
  // left as it came.
  int have = got;
  if (have < 4 && !ReceiveRest(have, 4)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  have = std::max(have, 4);
  int total = have;
  switch (m_recv[3]) {
    case 1:
      total = 10;
      break;
    case 4:
      total = 22;
      break;
    case 3:
      if (have < 5 && !ReceiveRest(have, 5)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
      have = std::max(have, 5);
      total = 7 + m_recv[4];
      break;
    default:
      break;
  }
  if (!ReceiveRest(have, total)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  return kConnectOk;
}

int TNormalClnt::Socks4(const char *host, int port) {
  if (!IsDotted(host)) return FailProxy(kConnectRefused, kTextSocks4Name);
  in_addr address{};
  inet_pton(AF_INET, host, &address);
  uint8_t request[9];
  const uint16_t wirePort = htons(uint16_t(port));
  request[0] = 4;
  request[1] = 1;
  std::memcpy(request + 2, &wirePort, 2);
  std::memcpy(request + 4, &address, 4);
  request[8] = 0;  // empty user id
  if (!SendAllOnce(request, 9)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  const int got = Receive(m_recv, 8, 0);
  if (got <= 1 || m_recv[1] != 90) return FailProxy(kConnectFailed, nullptr);
  // The reply always has 8 bytes: take those that came late too.
  if (!ReceiveRest(got, 8)) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  return kConnectOk;
}

int TNormalClnt::HttpConnect(const char *host, int port, bool certUser, const char *user, const char *password) {
  std::string request =
      "CONNECT " + std::string(host) + ":" + std::to_string(unsigned(port) & 0xFFFF) + " HTTP/1.0\r\n";
  if (certUser) {
    char pair[64];
    std::snprintf(pair, sizeof pair, "%.31s:%.31s", user, password);
    char encoded[128];
    Base64Encode(pair, encoded, sizeof encoded);
    request += "Proxy-Authorization:Basic ";
    request += encoded;
    request += "\r\n";
  }
  request += "\r\n";
  if (!SendAllOnce(request.data(), int(request.size()))) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  const int got = Receive(m_recv, kReceiveBufferSize - 1, 0);
  if (got <= 11) return FailProxy(kConnectBroken, kTextProxyUnreachable);
  m_recv[got] = 0;
  for (int i = 0; i < got; ++i) m_recv[i] = uint8_t(std::toupper(m_recv[i]));
  const char *answer = reinterpret_cast<const char *>(m_recv);
  if (std::strstr(answer, "HTTP/1.0 407") || std::strstr(answer, "HTTP/1.1 407"))
    return FailProxy(kConnectRefused, certUser ? kTextProxyAuthFailed : kTextProxyAuthNeeded);
  if (std::strstr(answer, "HTTP/1.0 200") || std::strstr(answer, "HTTP/1.1 200")) return kConnectOk;
  return FailProxy(kConnectFailed, nullptr);
}

// ---- login ----

void TNormalClnt::TakeOverGrant(const DSINFO &grant) {
  TakeOverRights(grant);
  AccountDate = AccountDateNumber(grant.accountDate);
}

void TNormalClnt::WriteActualAddress(const uint8_t (&address)[4]) {
  char text[16];
  FormatDottedAddress(address, text);
  WritePrivateProfileStringA("Server", "dsActual", text, kServerIni);
}

int TNormalClnt::ChangePassword(const char *record) {
  if (!Create(SOCK_STREAM, 0, AF_INET)) {
    Close();
    return 3;
  }
  SetBlockingTimeouts(m_socket);
  if (ReadInt("Server", "NOJH", 0, kServerIni) != 0) {
    Close();
    return 5;
  }
  char host[64] = {};
  GetPrivateProfileStringA("Server", "Address", "", host, sizeof host, kServerIni);
  const int connected = Connect(host, ReadInt("Server", "Port", 0, kServerIni));
  if (connected != kConnectOk) {
    Close();
    return connected == kConnectFailed ? 1 : 2;
  }
  REQUESTREC request{};
  request.kind = REQ_CHANGE_PASSWORD;
  if (record) std::memcpy(request.code, record + 28, 11);  // 12 bytes, the last one 0
  RequestInputs inputs;
  GatherRequestInputs(request, &inputs);
  uint8_t frame[kFrameHeadSize + 64];
  const int length = EncodeRequest(request, inputs, frame, sizeof frame);
  int bodyLength = -1;
  if (length < 0 || SendFrame(frame, length) != length || !ReadHeaderBlocking() ||
      (bodyLength = ReadBodyBlocking()) < 0) {
    m_sendCount = 0;
    Close();
    return 3;
  }
  if (m_head.command == FRAME_SERVER_TEXT) {
    uint8_t textClass = 0;
    if (!ReadServerText(m_body, bodyLength, &textClass, m_text, sizeof m_text)) SetText(kTextUnknown);
    Close();
    return 4;
  }
  Close();
  return 0;
}

int TNormalClnt::Login(HWND progress, bool useCached) {
  if (!Create(SOCK_STREAM, 0, AF_INET)) {
    SetText(kTextNetworkInit);
    Close();
    return kLoginNetwork;
  }
  SetBlockingTimeouts(m_socket);
  m_directory = ReadInt("Server", "NOJH", 0, kServerIni) == 0 ? 1 : 0;
  char host[64] = {};
  GetPrivateProfileStringA("Server", (!m_directory && useCached) ? "DirectIP" : "Address", "", host, sizeof host,
                           kServerIni);
  const int port =
      m_directory ? ReadInt("Server", "Port", 0, kServerIni) : ReadInt("Server", "Port1", kDefaultDataPort, kServerIni);
  if (progress) SendMessageA(progress, WM_LOGIN_FIND_SERVER, 0, 0);
  if (!(m_directory && useCached)) {
    const int r = Connect(host, port);
    if (r != kConnectOk) {
      Close();
      return r == kConnectFailed ? kLoginNoDirectory : kLoginNetwork;
    }
  }
  TQuoteClientHooks &hooks = QuoteClientHooks();
  if (hooks.resetRequestQueue) hooks.resetRequestQueue();
  m_answers->Reset();

  if (!m_directory) {
    const int r = LoginExchange(true, nullptr);
    if (r != kExchangeOk) {
      Close();
      return r == kExchangeNetwork ? kLoginNetwork : kLoginRefused;
    }
    // The data arrive on this same connection: its server is the data server.
    if (!IsDotted(host)) {
      hostent *found = ws::gethostbyname(host);
      if (found && found->h_addr_list[0]) {
        uint8_t address[4];
        std::memcpy(address, found->h_addr_list[0], 4);
        char text[16];
        FormatDottedAddress(address, text);
        std::snprintf(host, sizeof host, "%s", text);
        WritePrivateProfileStringA("Server", "DirectIP", host, kServerIni);
      }
    }
    WritePrivateProfileStringA("Server", "dsAddr", host, kServerIni);
  } else {
    DSINFO grant{};
    if (useCached) {
      HANDLE file = CreateFileA(kGrantFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      DWORD got = 0;
      if (file != INVALID_HANDLE_VALUE) {
        if (!ReadFile(file, &grant, sizeof grant, &got, nullptr)) got = 0;
        CloseHandle(file);
      }
      if (got < sizeof grant) {
        Close();
        return kLoginNoDirectory;
      }
      TakeOverGrant(grant);
    } else {
      const int r = LoginExchange(true, &grant);
      if (r != kExchangeOk) {
        Close();
        return r == kExchangeNetwork ? kLoginNetwork : kLoginRefused;
      }
      platform::WriteFileReplacing(platform::ResolvePath(kGrantFile),
                                   std::string_view(reinterpret_cast<const char *>(&grant), sizeof grant));
    }
    LoginSessionValue = grant.session;
    char dataServer[64];
    {
      char dotted[16];
      FormatDottedAddress(grant.dataServer, dotted);
      std::snprintf(dataServer, sizeof dataServer, "%s", dotted);
    }
    const auto &args = hooks.arguments;
    if (args.size() >= 2 && args[0].compare(0, 2, "/d") == 0 && !args[1].empty())
      std::snprintf(dataServer, sizeof dataServer, "%s", args[1].c_str());
    WritePrivateProfileStringA("Server", "dsAddr", dataServer, kServerIni);

    Close();
    if (!Create(SOCK_STREAM, 0, AF_INET)) {
      SetText(kTextNetworkInit);
      Close();
      return kLoginNetwork;
    }
    SetBlockingTimeouts(m_socket);
    if (progress) SendMessageA(progress, WM_LOGIN_CONNECT_SERVER, 0, 0);
    const int c = Connect(dataServer, ReadInt("Server", "Port1", kDefaultDataPort, kServerIni));
    if (c != kConnectOk) {
      Close();
      return c == kConnectFailed ? kLoginNoDataServer : kLoginNetwork;
    }
    if (hooks.resetRequestQueue) hooks.resetRequestQueue();
    m_answers->Reset();
    const int r = LoginExchange(false, &grant);
    if (r != kExchangeOk) {
      Close();
      return r == kExchangeNetwork ? kLoginNetwork : kLoginRefused;
    }
  }
  m_sessionStart = SYSTEMTIME{};
  m_sessionStart.wYear = WORD(PackedYear(CurrentUtcTime));
  m_sessionStart.wMonth = WORD(PackedMonth(CurrentUtcTime));
  m_sessionStart.wDay = WORD(PackedDay(CurrentUtcTime));
  m_sessionStart.wHour = WORD(PackedHour(CurrentUtcTime));
  m_sessionStart.wMinute = WORD(PackedMinute(CurrentUtcTime));
  return kLoginOk;
}

// Every answer body is checked for the length its layout needs before a
// field of it is read; a server text is cut to the text field.
int TNormalClnt::LoginExchange(bool firstLogin, DSINFO *grant) {
  SetText(kTextNetworkError);
  const bool toDataServer = m_directory && !firstLogin;
  if (toDataServer && !grant) return kExchangeNetwork;
  REQUESTREC request{};
  request.kind = REQ_LOGIN;
  RequestInputs inputs;
  GatherRequestInputs(request, &inputs);
  inputs.grant = toDataServer ? grant : nullptr;
  uint8_t frame[kFrameHeadSize + sizeof(DSLOGINBODY)];
  const int length = EncodeRequest(request, inputs, frame, sizeof frame);
  if (length < 0 || SendFrame(frame, length) != length) {
    m_sendCount = 0;
    return kExchangeNetwork;
  }
  if (!ReadHeaderBlocking()) return kExchangeNetwork;
  const int bodyLength = ReadBodyBlocking();
  if (bodyLength < 0) return kExchangeNetwork;

  uint8_t address[4];
  switch (m_head.command) {
    case FRAME_SERVER_TEXT: {
      uint8_t textClass = 0;
      if (!ReadServerText(m_body, bodyLength, &textClass, m_text, sizeof m_text)) SetText(kTextUnknown);
      return kExchangeRefused;
    }
    case FRAME_LOGIN: {
      if (m_directory && !firstLogin) {
        SetText("");
        return kExchangeOk;
      }
      DSINFO answer;
      if (!ReadGrant(m_body, bodyLength, &answer)) return kExchangeNetwork;
      SetText("");
      TakeOverGrant(answer);
      LoginSessionValue = answer.session;
      if (m_directory) {
        if (grant) *grant = answer;
        return kExchangeOk;
      }
      std::memcpy(address, answer.dataServer, 4);
      break;
    }
    case FRAME_DS_LOGIN:
      if (!ReadDataServerAddress(m_body, bodyLength, address)) return kExchangeNetwork;
      SetText("");
      break;
    default:
      SetText(kTextUnknown);
      return kExchangeRefused;
  }
  WriteActualAddress(address);
  return kExchangeOk;
}

// ---- reading in the blocking phase ----

void TNormalClnt::Interrupt() {
  if (m_socket != INVALID_SOCKET) ws::shutdown(m_socket, SD_BOTH);
}

bool TNormalClnt::ReadHeaderBlocking() {
  uint8_t *head = reinterpret_cast<uint8_t *>(&m_head);
  int have = 0;
  while (have < kFrameHeadSize) {
    const int n = Receive(head + have, kFrameHeadSize - have, 0);
    if (n <= 0) return false;
    have += n;
  }
  return CheckFrameHead(m_head, FrameLink::kRequest) == FrameError::kNone;
}

int TNormalClnt::ReadBodyBlocking() {
  // The head was checked: the body fits in the receive buffer.
  const int length = m_head.bodyLength;
  int have = 0;
  while (have < length) {
    const int n = Receive(m_recv + have, length - have, 0);
    if (n < 1) return -1;
    have += n;
  }
  const uint8_t *plain = nullptr;
  int plainLength = 0;
  if (!DecodeFrameBody(m_head, m_recv, *m_decoder, m_decoded, &plain, &plainLength)) return -1;
  m_body = plain;
  m_bodyLength = plainLength;
  return plainLength;
}

// ---- sending ----

void TNormalClnt::Rearm() {
  if (m_async) AsyncSelect(FD_READ | FD_WRITE | FD_CLOSE);
}

bool TNormalClnt::Flush() { return SendQueued(m_send, m_sendCount); }

int TNormalClnt::SendFrame(const void *frame, int length) {
  if (length < 0 || length > kSendBufferSize - m_sendCount) return -1;
  std::memcpy(m_send + m_sendCount, frame, size_t(length));
  m_sendCount += length;
  const int before = m_sendCount;
  if (!Flush()) return -1;
  Rearm();
  return before - m_sendCount;
}

int TNormalClnt::SendKeepAlive() {
  if (m_sendCount + kFrameHeadSize > kSendBufferSize) {
    OnClose(0);
    return 0;
  }
  std::memcpy(m_send + m_sendCount, kKeepAliveFrame, kFrameHeadSize);
  m_sendCount += kFrameHeadSize;
  if (!Flush()) {
    OnClose(0);
    return 0;
  }
  Rearm();
  return 1;
}

int TNormalClnt::ArmAsyncEvents() {
  if (!AsyncSelect(FD_READ | FD_WRITE | FD_CLOSE)) {
    OnClose(0);
    return 0;
  }
  m_async = 1;
  return 1;
}

// ---- socket handlers ----

// Answers are read and dispatched by the answer reader; server texts and
// the password confirmation go to this client's text.
void TNormalClnt::OnReceive(int error) { m_answers->Read(*this, error, m_text, sizeof m_text); }

// Notices are asked for again only while bytes wait: a writable socket
// would otherwise report itself for ever.
void TNormalClnt::OnSend(int error) {
  if (m_sendCount > 0 && !Flush()) {
    OnClose(GetLastError());
    return;
  }
  if (m_sendCount > 0) Rearm();
}

void TNormalClnt::OnClose(int error) {
  if (m_socket == INVALID_SOCKET) return;
  Close();
  m_headPending = 0;
  m_recvCount = 0;
  m_sendCount = 0;
  m_bodyLength = 0;
  m_body = nullptr;
  HWND main = QuoteClientHooks().mainWindow;
  if (main) PostMessageA(main, WM_QUOTE_EVENT, 0, 0);
}

// ---- base64 ----

void Base64EncodeGroup(const uint8_t *input, int count, char *output) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const uint32_t v = uint32_t(input[0]) << 16 | uint32_t(count > 1 ? input[1] : 0) << 8 | (count > 2 ? input[2] : 0);
  output[0] = kAlphabet[(v >> 18) & 63];
  output[1] = kAlphabet[(v >> 12) & 63];
  output[2] = count > 1 ? kAlphabet[(v >> 6) & 63] : '=';
  output[3] = count > 2 ? kAlphabet[v & 63] : '=';
}

int Base64Encode(const char *text, char *output, size_t capacity) {
  if (!output || capacity == 0) return 0;
  const auto *in = reinterpret_cast<const uint8_t *>(text ? text : "");
  size_t left = std::strlen(reinterpret_cast<const char *>(in));
  size_t out = 0;
  int groups = 0;
  while (left > 0) {
    const int count = int(std::min<size_t>(left, 3));
    const bool lineBreak = groups == 18;
    const size_t need = 4 + (lineBreak ? 2 : 0);
    if (out + need + 1 > capacity) break;
    if (lineBreak) {
      output[out++] = '\r';
      output[out++] = '\n';
      groups = 0;
    }
    Base64EncodeGroup(in, count, output + out);
    out += 4;
    ++groups;
    in += count;
    left -= size_t(count);
  }
  output[out] = '\0';
  return int(out);
}

// ---- the main window's login step ----

int LoginQuoteClient(TNormalClnt *&client, HWND progress, bool useCached) {
  delete client;
  client = new (std::nothrow) TNormalClnt;
  HWND main = QuoteClientHooks().mainWindow;
  if (!client) {
    MessageBoxA(main, "内存不足，无法连接服务器。  ", "错误", MB_OK | MB_ICONERROR);
    return kLoginNetwork;
  }
  const int result = client->Login(progress, useCached);
  if (result == kLoginOk) return result;
  if (progress) SendMessageA(progress, WM_LOGIN_FAILED, 0, LPARAM(result));
  if (result != kLoginNoDirectory && result != kLoginNoDataServer && client->Text()[0] != '\0')
    MessageBoxA(main, client->Text(), "错误", MB_OK | MB_ICONERROR);
  delete client;
  client = nullptr;
  return result;
}
