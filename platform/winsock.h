// Windows Sockets over POSIX sockets, with asynchronous notification as a
// window message.
//
// The C library already owns socket, connect, send, recv, select and the
// address records under these names, so the calls live in namespace ws
// (ws::send, ws::recv, ...) and take our SOCKET; the address records
// (sockaddr_in, in_addr, hostent) and the byte-order and address helpers
// (htons, inet_addr, inet_ntoa) are the C library's own, whose layouts
// and meanings match. Socket numbers count up and are never given out
// twice, so an event queued for a closed socket can't reach a newer one.
// Option levels and names are the C library's numbers; the receive and send
// time-outs take a DWORD of milliseconds, as on Windows.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include "platform/windef.h"

typedef UINT_PTR SOCKET;
constexpr SOCKET INVALID_SOCKET = ~SOCKET(0);
constexpr int SOCKET_ERROR = -1;

// Events of WSAAsyncSelect; the low word of the message's lParam.
enum : long { FD_READ = 1, FD_WRITE = 2, FD_OOB = 4, FD_ACCEPT = 8, FD_CONNECT = 16, FD_CLOSE = 32 };
constexpr LPARAM WSAMAKESELECTREPLY(WORD event, WORD error) { return MAKELPARAM(event, error); }
constexpr WORD WSAGETSELECTEVENT(LPARAM l) { return LOWORD(uintptr_t(l)); }
constexpr WORD WSAGETSELECTERROR(LPARAM l) { return HIWORD(uintptr_t(l)); }

enum : int {
  WSAEINTR = 10004,
  WSAEBADF = 10009,
  WSAEACCES = 10013,
  WSAEFAULT = 10014,
  WSAEINVAL = 10022,
  WSAEMFILE = 10024,
  WSAEWOULDBLOCK = 10035,
  WSAEINPROGRESS = 10036,
  WSAEALREADY = 10037,
  WSAENOTSOCK = 10038,
  WSAEDESTADDRREQ = 10039,
  WSAEMSGSIZE = 10040,
  WSAEPROTOTYPE = 10041,
  WSAENOPROTOOPT = 10042,
  WSAEPROTONOSUPPORT = 10043,
  WSAEOPNOTSUPP = 10045,
  WSAEAFNOSUPPORT = 10047,
  WSAEADDRINUSE = 10048,
  WSAEADDRNOTAVAIL = 10049,
  WSAENETDOWN = 10050,
  WSAENETUNREACH = 10051,
  WSAENETRESET = 10052,
  WSAECONNABORTED = 10053,
  WSAECONNRESET = 10054,
  WSAENOBUFS = 10055,
  WSAEISCONN = 10056,
  WSAENOTCONN = 10057,
  WSAESHUTDOWN = 10058,
  WSAETIMEDOUT = 10060,
  WSAECONNREFUSED = 10061,
  WSAEHOSTDOWN = 10064,
  WSAEHOSTUNREACH = 10065,
  WSANOTINITIALISED = 10093,
  WSAHOST_NOT_FOUND = 11001,
  WSATRY_AGAIN = 11002,
  WSANO_RECOVERY = 11003,
  WSANO_DATA = 11004,
};

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char *lpVendorInfo;
};

// A set of sockets for ws::select. The C library's fd_set and FD_ macros
// keep their names, so ours carry a WSA prefix.
constexpr unsigned kWsaSetSize = 64;
struct WSAFDSET {
  unsigned fd_count;
  SOCKET fd_array[kWsaSetSize];
};
inline void WSA_FD_ZERO(WSAFDSET *set) { set->fd_count = 0; }
inline void WSA_FD_SET(SOCKET s, WSAFDSET *set) {
  for (unsigned i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == s) return;
  if (set->fd_count < kWsaSetSize) set->fd_array[set->fd_count++] = s;
}
inline bool WSA_FD_ISSET(SOCKET s, const WSAFDSET *set) {
  for (unsigned i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == s) return true;
  return false;
}

enum : int { SD_RECEIVE = 0, SD_SEND = 1, SD_BOTH = 2 };

namespace ws {

int WSAStartup(WORD version, WSADATA *data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

// Fails with WSANOTINITIALISED before WSAStartup, as on Windows.
SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
// Blocking unless the socket was made non-blocking (FIONBIO or
// WSAAsyncSelect); a blocking connect gives up after the send time-out, or
// 21 seconds without one.
int connect(SOCKET s, const sockaddr *address, int length);
int bind(SOCKET s, const sockaddr *address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr *address, int *length);
int send(SOCKET s, const char *buffer, int length, int flags);
int recv(SOCKET s, char *buffer, int length, int flags);
int sendto(SOCKET s, const char *buffer, int length, int flags, const sockaddr *to, int toLength);
int recvfrom(SOCKET s, char *buffer, int length, int flags, sockaddr *from, int *fromLength);
int shutdown(SOCKET s, int how);
// FIONBIO and FIONREAD (the C library's numbers).
int ioctlsocket(SOCKET s, long command, unsigned long *argument);
int setsockopt(SOCKET s, int level, int name, const char *value, int length);
int getsockopt(SOCKET s, int level, int name, char *value, int *length);
int getsockname(SOCKET s, sockaddr *address, int *length);
int getpeername(SOCKET s, sockaddr *address, int *length);
// The count of ready sockets; the sets keep only the ready ones. A null
// time-out waits for ever.
int select(int ignored, WSAFDSET *read, WSAFDSET *write, WSAFDSET *except, const timeval *timeout);
// IPv4 only, from a per-thread record. Names under the reserved ".invalid"
// fail at once without asking a name server.
hostent *gethostbyname(const char *name);

// Makes the socket non-blocking and posts message to window for each of the
// events in mask, with wParam the socket and lParam the event and error.
// Each event is posted once and comes again after the call that re-enables
// it: FD_READ after a recv, FD_WRITE after a send that would block,
// FD_ACCEPT after an accept. A mask of 0 stops the notification.
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long mask);

}  // namespace ws
