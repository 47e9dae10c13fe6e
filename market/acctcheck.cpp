#include "market/acctcheck.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "market/nclient.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/module.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winsock.h"

namespace {

constexpr long kSliceMs = 50;  // how often the listener looks at the cancel flag

void Publish(RelayExchange &b) {
  if (b.signal) SetEvent(b.signal);
}

void Fail(RelayExchange &b, uint32_t error) {
  b.error = error;
  Publish(b);
}

// Waits until the socket is readable or the block is cancelled; false when
// cancelled or the wait failed. With untilLibraryReturns, a socket that is
// still not readable once the library's call has returned ends the wait.
bool WaitReadable(SOCKET s, RelayExchange &b, bool untilLibraryReturns = false) {
  while (!b.cancel) {
    const bool returned = untilLibraryReturns && b.libraryReturned;
    WSAFDSET set;
    WSA_FD_ZERO(&set);
    WSA_FD_SET(s, &set);
    timeval slice{0, returned ? 0 : kSliceMs * 1000};
    const int ready = ws::select(0, &set, nullptr, nullptr, &slice);
    if (ready < 0) return false;
    if (ready > 0) return true;
    if (returned) return false;
  }
  return false;
}

std::string RelayErrorText(uint32_t error, const char *tail) {
  static const int number[] = {0, 1, 2, 0, 3, 4, 5};
  if (error == kRelayNoPort) return std::string("网络错误，没有可用的端口。") + tail;
  if (error == 0 || error >= std::size(number)) return std::string();
  return "网络初始化失败(" + std::to_string(number[error]) + ")，" + tail;
}

std::string StepFailedText(int step, const char *tail) {
  return "网络初始化失败(" + std::to_string(step) + ")，" + tail;
}

void Show(HWND owner, const char *text, const char *caption, UINT icon) {
  MessageBoxA(owner, text, caption, MB_OK | icon | MB_TOPMOST);
}

// The library's answer code: < 0 refused (stop), > 0 a notice, 0 silent.
bool JudgeAnswer(HWND owner, int code, const char *message) {
  if (code < 0) {
    Show(owner, message, "登录失败", MB_ICONERROR);
    return false;
  }
  if (code > 0) Show(owner, message, "提示", MB_ICONINFORMATION);
  return true;
}

// Waits on the block's signal until the test holds or the time is up
// (platform clock); sends to the GUI thread are served meanwhile.
template <class Test>
bool WaitFor(RelayExchange &b, Test test) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (test()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= kRelayWaitMs) return test();
    WaitForSingleObject(b.signal, kRelayWaitMs - spent);
  }
}

}  // namespace

bool RelayLibraryLine(HWND owner, const RelayTarget &target, const char *tail,
                      const std::function<void(const char *host, int port)> &call, int &code,
                      char (&message)[kRelayAnswerSize]) {
  code = 0;
  message[0] = '\0';
  auto block = std::make_shared<RelayExchange>();
  std::thread(LoginRelayThread, block).detach();
  // Every way out of here lets the listener go.
  struct Release {
    RelayExchange &b;
    ~Release() { b.cancel = true; }
  } release{*block};
  const auto fail = [&](const std::string &text) {
    if (!text.empty()) Show(owner, text.c_str(), "错误", MB_ICONERROR);
    return false;
  };

  if (!WaitFor(*block, [&] { return block->port != 0 || block->error != 0; }))
    return fail(RelayErrorText(kRelayListen, tail));
  if (block->error != 0) return fail(RelayErrorText(block->error, tail));
  call("127.0.0.1", int(block->port));
  block->libraryReturned = true;
  // A library that went without connecting is not waited for.
  if (!WaitFor(*block, [&] { return block->done != 0 || block->error != 0; }) || block->error != 0)
    return fail(RelayErrorText(kRelayLine, tail));

  TNormalClnt client;
  if (!client.Create(SOCK_STREAM, 0, AF_INET)) return fail(StepFailedText(6, tail));
  const DWORD timeout = QuoteClientHooks().blockingTimeoutMs;
  ws::setsockopt(client.m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
  ws::setsockopt(client.m_socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
  if (client.Connect(target.host, target.port) != kConnectOk) {
    client.Close();
    return fail(StepFailedText(7, tail));
  }
  const int length = int(strnlen(block->line, sizeof block->line));
  if (client.Send(block->line, length, 0) != length) {
    client.Close();
    return fail(StepFailedText(8, tail));
  }
  char answer[kRelayAnswerSize + 1] = {};
  int have = 0;
  while (have == 0 || answer[have - 1] != '\n') {
    // The answer is read into its 512 bytes and no further.
    const int n = have < kRelayAnswerSize ? client.Receive(answer + have, kRelayAnswerSize - have, 0) : 0;
    if (n <= 0) {
      client.Close();
      return fail(StepFailedText(9, tail));
    }
    have += n;
  }
  client.Close();
  answer[have] = '\0';
  char field[kRelayAnswerSize];
  const char *at = NextDelimitedField(answer, field, sizeof field);  // not looked at
  at = NextDelimitedField(at, field, sizeof field);
  code = std::atoi(field);
  NextDelimitedField(at, message, kRelayAnswerSize);
  // The message ends with the line.
  message[strcspn(message, "\r\n")] = '\0';
  return true;
}

RelayExchange::RelayExchange() : signal(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
RelayExchange::~RelayExchange() {
  if (signal) CloseHandle(signal);
}

AccountLibrary BindAccountLibrary(const char *name) {
  AccountLibrary library;
  library.module = GetModuleHandleA(name);
  if (!library.module) library.module = LoadLibraryA(name);
  if (!library.module) return library;
  library.verify = reinterpret_cast<AcbVerifyAccountFn>(GetProcAddress(library.module, "AcbVerifyAccount"));
  library.modify = reinterpret_cast<AcbModifyAccountPWFn>(GetProcAddress(library.module, "AcbModifyAccountPW"));
  return library;
}

DWORD LoginRelayThread(std::shared_ptr<RelayExchange> block) {
  RelayExchange &b = *block;
  WSADATA data;
  if (ws::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    Fail(b, kRelayNoLibrary);
    return 0;
  }
  struct Cleanup {
    SOCKET listener = INVALID_SOCKET, peer = INVALID_SOCKET;
    ~Cleanup() {
      if (peer != INVALID_SOCKET) ws::closesocket(peer);
      if (listener != INVALID_SOCKET) ws::closesocket(listener);
      ws::WSACleanup();
    }
  } s;
  s.listener = ws::socket(AF_INET, SOCK_STREAM, 0);
  if (s.listener == INVALID_SOCKET) {
    Fail(b, kRelayNoSocket);
    return 0;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  int port = kRelayFirstPort;
  for (; port <= 65535 && !b.cancel; ++port) {
    address.sin_port = htons(uint16_t(port));
    if (ws::bind(s.listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) break;
  }
  if (port > 65535 || b.cancel) {
    Fail(b, kRelayNoPort);
    return 0;
  }
  if (ws::listen(s.listener, 5) != 0) {
    Fail(b, kRelayListen);
    return 0;
  }
  b.port = uint32_t(port);
  Publish(b);
  if (!WaitReadable(s.listener, b, true)) {
    Fail(b, kRelayLine);
    return 0;
  }
  if ( (s.peer = ws::accept(s.listener, nullptr, nullptr)) == INVALID_SOCKET) {
    Fail(b, kRelayAccept);
    return 0;
  }
  size_t have = 0;
  while (have == 0 || b.line[have - 1] != '\n') {
    // The line must end inside the area, with room for the NUL: at most 126
    // characters and the line feed.
    const int n = have < sizeof b.line - 1 && WaitReadable(s.peer, b)
                      ? ws::recv(s.peer, b.line + have, int(sizeof b.line - 1 - have), 0)
                      : 0;
    if (n <= 0) {
      Fail(b, kRelayLine);
      return 0;
    }
    have += size_t(n);
  }
  b.line[have] = '\0';
  b.done = 1;
  Publish(b);
  return 0;
}

const char *NextDelimitedField(const char *at, char *field, int size) {
  if (size <= 0) return at;
  field[0] = '\0';
  if (!at) return at;
  const char *end = std::strchr(at, '|');
  const char *stop = end ? end : at + std::strlen(at);
  const char *from = at;
  while (from < stop && (*from == ' ' || *from == '\t')) ++from;
  const char *to = stop;
  while (to > from && (to[-1] == ' ' || to[-1] == '\t')) --to;
  const int n = std::min(int(to - from), size - 1);
  std::memcpy(field, from, size_t(n));
  field[n] = '\0';
  return end ? end + 1 : stop;
}

bool CheckAccount(HWND owner, const QuoteServerEntry &entry, const char *user, const char *password,
                  AcbVerifyAccountFn verify) {
  if (!verify) return false;
  char name[32], secret[32];
  std::snprintf(name, sizeof name, "%.31s", user ? user : "");
  std::snprintf(secret, sizeof secret, "%.31s", password ? password : "");
  const std::string userIni = UserServerIniPath();
  const bool viaRelay = GetPrivateProfileIntA("ProxyServer", "GreenWay", 0, userIni.c_str()) != 0 &&
                        entry.relayHost[0] != '\0' && entry.relayPort != 0;
  const bool viaProxy = GetPrivateProfileIntA("ProxyServer", "UseProxy", 0, userIni.c_str()) != 0;
  if (viaRelay || viaProxy) {
    char host[16] = {};
    GetPrivateProfileStringA("Server", viaRelay ? "GC" : "LoginServer", "", host, sizeof host, kServerListIni);
    const int port = int(GetPrivateProfileIntA("Server", viaRelay ? "GCPort" : "LoginPort", 0, kServerListIni));
    int code = 0;
    char message[kRelayAnswerSize];
    const auto call = [&](const char *listenerHost, int listenerPort) {
      char ignored[kRelayAnswerSize] = {};
      verify(ignored, name, secret, listenerHost, listenerPort, 8);
    };
    if (!RelayLibraryLine(owner, RelayTarget{host, port}, "无法登录服务器。  ", call, code, message)) return false;
    return JudgeAnswer(owner, code, message);
  }
  char host[16] = {};
  GetPrivateProfileStringA("Server", "LoginServer", "", host, sizeof host, kServerListIni);
  const int port = int(GetPrivateProfileIntA("Server", "LoginPort", 0, kServerListIni));
  char message[kRelayAnswerSize] = {};
  const int code = verify(message, name, secret, host, port, 8);
  message[kRelayAnswerSize - 1] = '\0';
  return JudgeAnswer(owner, code, message);
}
