#include "core/netutil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "core/emem.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/kernel.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/winsock.h"

KvLoggerApi KvLogger;

namespace {

constexpr DWORD kPingTimeoutMs = 2000;
constexpr int kEchoLength = 44;
constexpr int kReplyRoom = 320;
constexpr DWORD kHttpTimeoutMs = 10000;
constexpr int kHttpBuffer = 4096;
constexpr char kSettingIni[] = "..\\cfg\\Setting.ini";
constexpr char kWebNewsIni[] = "..\\cfg\\webnews.ini";
constexpr char kServerIni[] = ".\\server.ini";

// Windows Sockets started for as long as it lives.
class SocketLibrary {
 public:
  SocketLibrary() {
    WSADATA data;
    started_ = ws::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~SocketLibrary() {
    if (started_) ws::WSACleanup();
  }
  SocketLibrary(const SocketLibrary &) = delete;
  SocketLibrary &operator=(const SocketLibrary &) = delete;

 private:
  bool started_;
};

// A socket closed on every way out.
class ScopedSocket {
 public:
  explicit ScopedSocket(SOCKET s = INVALID_SOCKET) : s_(s) {}
  ~ScopedSocket() { Reset(); }
  ScopedSocket(const ScopedSocket &) = delete;
  ScopedSocket &operator=(const ScopedSocket &) = delete;
  void Reset(SOCKET s = INVALID_SOCKET) {
    if (s_ != INVALID_SOCKET) ws::closesocket(s_);
    s_ = s;
  }
  SOCKET get() const { return s_; }
  bool valid() const { return s_ != INVALID_SOCKET; }

 private:
  SOCKET s_;
};

bool SetTimeouts(SOCKET s, DWORD ms, bool send) {
  if (ws::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms) != 0) return false;
  return !send || ws::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms) == 0;
}

class SystemPingTransport : public PingTransport {
 public:
  bool Open(DWORD timeoutMs) override {
    // An unprivileged ICMP socket where the system allows it: the system
    // then owns the identifier and hands us only the replies to this socket.
    socket_.Reset(ws::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP));
    datagram_ = socket_.valid();
    if (!datagram_) socket_.Reset(ws::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
    return socket_.valid() && SetTimeouts(socket_.get(), timeoutMs, false);
  }
  bool Send(uint32_t address, const void *message, int length) override {
    if (length >= 8) std::memcpy(identifier_, static_cast<const uint8_t *>(message) + 4, 2);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    return ws::sendto(socket_.get(), static_cast<const char *>(message), length, 0,
                      reinterpret_cast<const sockaddr *>(&to), sizeof to) == length;
  }
  int Receive(void *buffer, int capacity) override {
    uint8_t packet[kReplyRoom + 64];
    const int n = ws::recvfrom(socket_.get(), reinterpret_cast<char *>(packet), sizeof packet, 0, nullptr, nullptr);
    if (n <= 0) return -1;
    int skip = 0;
    if (!datagram_) {
      // A raw socket gives the IP header first; its length is in its first byte.
      skip = (packet[0] & 0x0F) * 4;
      if (skip < 20 || skip > n) return 0;
    }
    const int length = std::min(n - skip, capacity);
    std::memcpy(buffer, packet + skip, size_t(length));
    // The datagram socket's replies carry the identifier the system chose;
    // they are ours, so they carry ours.
    if (datagram_ && length >= 8) std::memcpy(static_cast<uint8_t *>(buffer) + 4, identifier_, 2);
    return length;
  }

 private:
  SocketLibrary library_;
  ScopedSocket socket_;
  bool datagram_ = false;
  uint8_t identifier_[2] = {};
};

uint16_t Read16(const uint8_t *at) {
  uint16_t v;
  std::memcpy(&v, at, 2);
  return v;
}

// The user's Internet proxy, when one is enabled and written host:port.
bool ReadProxy(std::string *host, int *port) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  DWORD enable = 0, size = sizeof enable, type = 0;
  char server[257] = {};
  bool found = false;
  if (RegQueryValueExA(key, "ProxyEnable", nullptr, &type, reinterpret_cast<LPBYTE>(&enable), &size) ==
          ERROR_SUCCESS &&
      enable == 1) {
    size = 256;
    if (RegQueryValueExA(key, "ProxyServer", nullptr, &type, reinterpret_cast<LPBYTE>(server), &size) ==
        ERROR_SUCCESS) {
      server[256] = '\0';
      if (const char *colon = std::strchr(server, ':')) {
        *host = std::string(server, size_t(colon - server));
        *port = std::atoi(colon + 1);
        found = true;
      }
    }
  }
  RegCloseKey(key);
  return found;
}

// Appends bytes to the open temporary file; false on a short write.
bool Append(HANDLE file, const char *bytes, size_t count) {
  DWORD written = 0;
  return count == 0 || (WriteFile(file, bytes, DWORD(count), &written, nullptr) && written == count);
}

int NextRandom() {
  NetUtilHooks &hooks = NetHooks();
  if (hooks.random) return hooks.random();
  thread_local std::minstd_rand engine;
  thread_local bool seeded = false;
  if (!seeded) {
    engine.seed(GetTickCount());
    seeded = true;
  }
  return int(engine() & 0x7FFFFFFF);
}

int CountServers(const char *section) {
  int count = 0;
  for (;;) {
    char key[16], value[8];
    std::snprintf(key, sizeof key, "s%d", count + 1);
    if (GetPrivateProfileStringA(section, key, "", value, sizeof value, kWebNewsIni) == 0) return count;
    ++count;
  }
}

// Tries server number `number` (from 1) of the section: true when its page came.
bool TryNewsServer(const char *section, int number) {
  char key[16], value[260] = {};
  std::snprintf(key, sizeof key, "s%d", number);
  GetPrivateProfileStringA(section, key, "", value, sizeof value, kWebNewsIni);
  std::string host(value);
  std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (host.rfind("http://", 0) == 0) host.erase(0, 7);
  host = host.substr(0, host.find('/'));
  if (HttpGetFile(host.c_str(), "webnews.html", kWebNewsIni) != 1) return false;
  WritePrivateProfileStringA("News", "URL", host.c_str(), kSettingIni);
  return true;
}

// r + 1 to count, then 1 to r.
bool TrySection(const char *section, int count, int r) {
  for (int i = r + 1; i <= count; ++i)
    if (TryNewsServer(section, i)) return true;
  for (int i = 1; i <= r; ++i)
    if (TryNewsServer(section, i)) return true;
  return false;
}

}  // namespace

PingTransport::~PingTransport() = default;

NetUtilHooks &NetHooks() {
  static NetUtilHooks hooks;
  return hooks;
}

std::unique_ptr<PingTransport> MakeSystemPingTransport() { return std::make_unique<SystemPingTransport>(); }

uint16_t InternetChecksum(const void *data, int length) {
  const auto *bytes = static_cast<const uint8_t *>(data);
  uint32_t sum = 0;
  int i = 0;
  for (; i + 1 < length; i += 2) sum += Read16(bytes + i);
  if (i < length) sum += bytes[i];
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return uint16_t(~sum);
}

bool ResolveHost(const char *host, uint32_t *address) {
  if (!host || !*host) return false;
  in_addr dotted{};
  if (inet_pton(AF_INET, host, &dotted) == 1) {
    *address = dotted.s_addr;
    return true;
  }
  SocketLibrary library;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt > 0) Sleep(500);
    hostent *found = ws::gethostbyname(host);
    if (found && found->h_addr_list[0]) {
      std::memcpy(address, found->h_addr_list[0], 4);
      return true;
    }
  }
  return false;
}

int Ping(const char *host, uint16_t sequence) {
  uint32_t address = 0;
  if (!ResolveHost(host, &address)) return -1;
  NetUtilHooks &hooks = NetHooks();
  std::unique_ptr<PingTransport> transport = hooks.pingTransport ? hooks.pingTransport() : MakeSystemPingTransport();
  if (!transport || !transport->Open(kPingTimeoutMs)) return -1;
  uint8_t request[kEchoLength] = {};
  request[0] = 8;  // echo request
  std::memcpy(request + 4, &sequence, 2);
  std::memcpy(request + 6, &sequence, 2);
  const uint16_t sum = InternetChecksum(request, kEchoLength);
  std::memcpy(request + 2, &sum, 2);
  const DWORD start = GetTickCount();
  if (!transport->Send(address, request, kEchoLength)) return -1;
  uint8_t reply[kReplyRoom];
  for (;;) {
    const int n = transport->Receive(reply, sizeof reply);
    if (n < 0) return -1;
    // Our echo comes back whole, as an echo reply, with our identifier and
    // sequence; anything else (other programs' pings, errors) is passed over.
    if (n == kEchoLength && reply[0] == 0 && reply[1] == 0 && Read16(reply + 4) == sequence &&
        Read16(reply + 6) == sequence)
      return int(GetTickCount() - start);
    if (TicksElapsed(start, GetTickCount(), kPingTimeoutMs)) return -1;
  }
}

int HttpGetFile(const char *host, const char *path, const char *target) {
  if (!host || !path || !target) return 0;
  std::string proxyHost;
  int proxyPort = 0;
  const bool viaProxy = ReadProxy(&proxyHost, &proxyPort);

  SocketLibrary library;
  ScopedSocket s(ws::socket(AF_INET, SOCK_STREAM, 0));
  if (!s.valid() || !SetTimeouts(s.get(), kHttpTimeoutMs, true)) return 0;
  uint32_t address = 0;
  if (!ResolveHost(viaProxy ? proxyHost.c_str() : host, &address)) return 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(uint16_t(viaProxy ? proxyPort : NetHooks().httpPort));
  if (ws::connect(s.get(), reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) return 0;

  std::string request;
  if (viaProxy) {
    request = std::string("GET http://") + host + "/" + path +
              " HTTP/1.0\r\nHost: " + host +
              "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\nAccept: */*\r\n"
              "Accept-Language: zh-cn\r\nProxy-Connection: Keep-Alive\r\n\r\n";
  } else {
    request = std::string("GET /") + path +
              " HTTP/1.0\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\nHost: " +
              host + "\r\nConnection: Keep-Alive\r\n\r\n";
  }
  if (ws::send(s.get(), request.data(), int(request.size()), 0) != int(request.size())) return 0;

  // The body goes to a file of this download's own beside the target, which
  // then takes the target's place whole: a reader of the target never sees
  // it half written.
  const std::string temp = std::string(target) + ".new";
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  auto finish = [&](int result, bool replace) {
    CloseHandle(file);
    if (replace && !MoveFileExA(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING)) result = 0;
    DeleteFileA(temp.c_str());
    return result;
  };

  char buffer[kHttpBuffer];
  int have = 0;
  bool headDone = false;
  long long announced = -1;  // Content-Length, -1 when none came
  long long received = 0;
  for (;;) {
    if (!headDone && have == kHttpBuffer - 1) return finish(0, false);  // the head does not fit
    const int n = ws::recv(s.get(), buffer + have, kHttpBuffer - 1 - have, 0);
    if (n < 0) return finish(0, false);
    if (n == 0) return finish(headDone ? 1 : 0, false);  // closed: nothing is put in place
    have += n;
    buffer[have] = '\0';
    const char *body = buffer;
    if (!headDone) {
      const char *end = static_cast<const char *>(memmem(buffer, size_t(have), "\r\n\r\n", 4));
      if (!end) continue;
      const std::string head(buffer, size_t(end - buffer));
      if (head.find(" 200 OK") == std::string::npos) return finish(0, false);
      const size_t length = head.find("Content-Length: ");
      if (length != std::string::npos) announced = std::atoll(head.c_str() + length + 16);
      headDone = true;
      body = end + 4;
    }
    long long count = buffer + have - body;
    if (announced >= 0) count = std::min(count, announced - received);
    if (!Append(file, body, size_t(count))) return finish(0, false);
    received += count;
    have = 0;
    if (announced >= 0 && received >= announced) return finish(1, true);
  }
}

DWORD NewsServerChooser(LPVOID) {
  WritePrivateProfileStringA("News", "URL", "", kSettingIni);
  const int index = int(GetPrivateProfileIntA("RIGHT", "lastindex", 0, kServerIni));
  char key[24];
  std::snprintf(key, sizeof key, "Network%d", index);
  const int group = int(GetPrivateProfileIntA("RIGHT", key, 1, kServerIni));
  char section[24];
  std::snprintf(section, sizeof section, "Group%d", group);
  int count = CountServers(section);
  if (count == 0) return 0;
  if (TrySection(section, count, NextRandom() % count)) return 0;
  std::snprintf(section, sizeof section, "Group%d", group == 1 ? 2 : 1);
  count = CountServers(section);
  if (count == 0) return 0;
  TrySection(section, count, NextRandom() % count);
  return 0;
}

namespace {

// The chooser thread started last; `done` once it has ended.
struct ChooserThread {
  std::mutex lock;
  std::thread thread;
  std::atomic<bool> done{true};
  ~ChooserThread() {
    if (thread.joinable()) {
      if (done) thread.join();
      else thread.detach();
    }
  }
};

ChooserThread &Chooser() {
  static ChooserThread chooser;
  return chooser;
}

}  // namespace

bool StartNewsServerChooser() {
  ChooserThread &c = Chooser();
  std::lock_guard guard(c.lock);
  if (!c.done) return false;
  if (c.thread.joinable()) c.thread.join();
  c.done = false;
  c.thread = std::thread([&c] {
    NewsServerChooser(nullptr);
    c.done = true;
  });
  return true;
}

void WaitForNewsServerChooser() {
  ChooserThread &c = Chooser();
  std::lock_guard guard(c.lock);
  if (c.thread.joinable()) c.thread.join();
}

int BindLoggerLibrary(const char *name) {
  KvLogger = KvLoggerApi{};
  HMODULE module = GetModuleHandleA(name);
  if (!module) module = LoadLibraryA(name);
  if (!module) return 0;
  auto version = reinterpret_cast<KvGetDllVersionFn>(GetProcAddress(module, "GetDllVersion"));
  if (!version || version() != 1) return 0;
  KvLoggerApi api;
  api.GetDllVersion = version;
  api.Open = reinterpret_cast<KvOpenFn>(GetProcAddress(module, "Open"));
  api.Close = reinterpret_cast<KvCloseFn>(GetProcAddress(module, "Close"));
  api.GetErrorMsg = reinterpret_cast<KvGetErrorMsgFn>(GetProcAddress(module, "GetErrorMsg"));
  api.Log = reinterpret_cast<KvLogFn>(GetProcAddress(module, "Log"));
  api.Logs = reinterpret_cast<KvLogsFn>(GetProcAddress(module, "Logs"));
  // A library that lacks one of the calls is not bound at all: callers may
  // then rely on every entry of a bound table.
  if (!api.Open || !api.Close || !api.GetErrorMsg || !api.Log || !api.Logs) return 0;
  KvLogger = api;
  return 1;
}
