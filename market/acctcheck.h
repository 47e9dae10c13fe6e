// The check of a quote account through the outside account library
// "AcctBridge.dll", before the login dialog starts the session.
//
// Directly, the library asks its login server itself. When the user works
// through a proxy or the relay, a one-shot listener on 127.0.0.1 takes the
// library's one request line, which is forwarded over a connection made as
// the request client makes it (proxy, relay or direct) to the login server,
// and the one answer line "<ignored>|<code>|<message>" is read here.
//
// Every wait is bounded: the listener's thread and the wait for the
// library's line end after kRelayWaitMs (platform clock), closing the
// listener; a library that returns without having connected ends the wait
// at once. The line is at most 126 characters and its line feed, the
// answer at most 512 bytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "market/serverlist.h"
#include "platform/windef.h"

typedef int (*AcbVerifyAccountFn)(char *message, const char *user, const char *password, const char *host, int port,
                                  int flag);
typedef int (*AcbModifyAccountPWFn)(char *message, const char *user, const char *password, const char *newPassword,
                                    const char *host, int port, int flag);

// The library, taken when already loaded, else loaded by name; it stays
// loaded. Entry points it lacks stay null; module is null without it.
struct AccountLibrary {
  HMODULE module = nullptr;
  AcbVerifyAccountFn verify = nullptr;
  AcbModifyAccountPWFn modify = nullptr;
};
AccountLibrary BindAccountLibrary(const char *name = ".\\AcctBridge.dll");

// The block the listener's thread shares with the waiting side.
struct RelayExchange {
  std::atomic<uint8_t> done{0};
  char line[128] = {};  // the library's line with its line feed, NUL-terminated
  std::atomic<uint32_t> port{0};
  std::atomic<uint32_t> error{0};
  std::atomic<bool> cancel{false};  // set by the waiting side: close and end
  // Set by the waiting side once the library's call returned: a connection
  // that is not there by then never comes.
  std::atomic<bool> libraryReturned{false};
  HANDLE signal = nullptr;          // set whenever port, error or done changes
  RelayExchange();
  ~RelayExchange();
  RelayExchange(const RelayExchange &) = delete;
  RelayExchange &operator=(const RelayExchange &) = delete;
};

// Relay errors.
enum : uint32_t {
  kRelayNoLibrary = 1,
  kRelayNoSocket = 2,
  kRelayNoPort = 3,
  kRelayListen = 4,
  kRelayAccept = 5,
  kRelayLine = 6,  // closed, failed, full without a line feed, or given up waiting
};

constexpr DWORD kRelayWaitMs = 10000;
// Where the listener starts looking for a free port.
constexpr int kRelayFirstPort = 800;

// The listener: publishes its port, takes one connection and one line.
// Always 0.
DWORD LoginRelayThread(std::shared_ptr<RelayExchange> block);

// The next '|'-separated field of text at `at` into field (at most size - 1
// characters, blanks trimmed at both ends); the position after the '|', or
// the end.
const char *NextDelimitedField(const char *at, char *field, int size);

// One exchange through the loopback listener: call(host, port) runs the
// library against the listener, the line it sends is forwarded over a
// request-client connection to host:port and the answer "x|code|message"
// read back. The failure boxes say "网络初始化失败(n)，" or "网络错误，没有可用
// 的端口。" followed by tail (the caller's own words). True with the
// answer's code and message; false after a failure box.
struct RelayTarget {
  const char *host;
  int port;
};
constexpr int kRelayAnswerSize = 512;
bool RelayLibraryLine(HWND owner, const RelayTarget &target, const char *tail,
                      const std::function<void(const char *host, int port)> &call, int &code,
                      char (&message)[kRelayAnswerSize]);

// Runs the check for the selected server with the typed account; message
// boxes are owned by owner. True to go on with the login, false to stop.
bool CheckAccount(HWND owner, const QuoteServerEntry &entry, const char *user, const char *password,
                  AcbVerifyAccountFn verify);
