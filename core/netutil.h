// Small blocking network services beside the asynchronous socket layer: an
// ICMP echo ("ping") with its checksum, a raw HTTP/1.0 file download, the
// worker that picks a reachable news web server after each login, and the
// run-time binding of the optional logger library "kvlogger.dll".
//
// None of them shows a message. Ping and HttpGetFile block; they run on the
// login dialog's speed-test threads and on the news chooser's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/windef.h"

// The Internet checksum (RFC 1071): one's-complement sum of the 16-bit
// words in host order, a last odd byte added as it is, carries folded,
// complemented.
uint16_t InternetChecksum(const void *data, int length);

// What Ping sends and receives through: the system's ICMP socket (an
// unprivileged datagram socket where the system allows one, else a raw
// socket), or what a test puts in its place.
class PingTransport {
 public:
  virtual ~PingTransport();
  // Opens the socket with a receive time-out of timeoutMs; false on failure.
  virtual bool Open(DWORD timeoutMs) = 0;
  // Sends the ICMP message to the IPv4 address (network order); false on
  // failure.
  virtual bool Send(uint32_t address, const void *message, int length) = 0;
  // The next ICMP message that arrived, without its IP header: its length,
  // or -1 on an error or when the time-out passed with nothing.
  virtual int Receive(void *buffer, int capacity) = 0;
};

// Test seams of the network services. Empty members take the system's own.
struct NetUtilHooks {
  std::function<std::unique_ptr<PingTransport>()> pingTransport;
  // The port of a direct download (80).
  uint16_t httpPort = 80;
  // The chooser's random numbers (seeded with the tick count otherwise).
  std::function<int()> random;
};
NetUtilHooks &NetHooks();

// The system's ICMP transport.
std::unique_ptr<PingTransport> MakeSystemPingTransport();

// Resolves a dotted address or a name (three attempts, 500 ms apart);
// false when the name is unknown. The address is in network order.
bool ResolveHost(const char *host, uint32_t *address);

// Round-trip milliseconds of one echo request with identifier and sequence
// number both `sequence`, or -1 on any failure or after 2 seconds without
// the matching reply. Only an echo reply of the whole length with our
// identifier and sequence counts.
int Ping(const char *host, uint16_t sequence);

// Fetches http://host/path into target over HTTP/1.0, through the user's
// Internet proxy when one is enabled, by way of "<target>.new", which is
// renamed over the target when complete (a reader of the target sees the
// old file or the new one, whole). 1 when the server answered 200 (the
// target is replaced when the announced length arrived whole, left alone
// when the body came without a length or ended early), 0 on every failure
// (connection, status, a head that does not fit the 4096-byte buffer, a
// receive error or time-out, a file error); "<target>.new" never stays
// behind.
int HttpGetFile(const char *host, const char *path, const char *target);

// The news chooser's thread procedure (argument unused, result 0): writes
// an empty "..\cfg\Setting.ini" [News] URL, then tries the servers of the
// quote server's network in "..\cfg\webnews.ini" from a random one on,
// then those of the other network, and writes the first host that served
// "webnews.html" as [News] URL.
DWORD NewsServerChooser(LPVOID);
// Starts NewsServerChooser on a thread of its own, unless the one started
// before is still at work (its choice stands): choosers all read and write
// the same files, so one runs at a time. True when this call started one.
bool StartNewsServerChooser();
// Waits until the chooser started last has ended.
void WaitForNewsServerChooser();

// ---- the logger library ----

// The entry points of "kvlogger.dll". A handle is a 32-bit value, 0 for
// none; Open gives 0 or an error code whose text GetErrorMsg gives.
typedef int (*KvGetDllVersionFn)();
typedef int (*KvOpenFn)(const char *path, int mode, uint32_t *handle);
typedef int (*KvCloseFn)(uint32_t handle);
typedef const char *(*KvGetErrorMsgFn)(int code);
typedef int (*KvLogFn)(uint32_t handle, int code, const char *text, int reserved1, int reserved2);
typedef int (*KvLogsFn)(uint32_t handle, int code, const char *const *texts, int count, int reserved1,
                        int reserved2);

// The process-wide table; every entry is null until bound.
struct KvLoggerApi {
  KvGetDllVersionFn GetDllVersion = nullptr;
  KvOpenFn Open = nullptr;
  KvCloseFn Close = nullptr;
  KvGetErrorMsgFn GetErrorMsg = nullptr;
  KvLogFn Log = nullptr;
  KvLogsFn Logs = nullptr;
};
extern KvLoggerApi KvLogger;

// 1 when the library was found loaded or could be loaded, answered version
// 1 and its five calls were bound; 0 otherwise, with the table cleared.
// Binding again binds anew; the library stays loaded. The name is the
// library's ("kvlogger.dll"); tests name another build.
int BindLoggerLibrary(const char *name = "kvlogger.dll");
