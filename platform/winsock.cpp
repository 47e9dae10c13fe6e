#include "platform/winsock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/winuser.h"

namespace {

thread_local int t_wsaError = 0;
std::atomic<int> g_startups{0};

int MapErrno(int e) {
  switch (e) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN:
    case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: return WSAECONNRESET;
    case EPIPE: return WSAESHUTDOWN;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

int Fail(int error) {
  t_wsaError = error;
  return SOCKET_ERROR;
}
int FailErrno() { return Fail(MapErrno(errno)); }

struct Socket {
  int fd = -1;
  int type = 0;
  std::atomic<bool> nonBlocking{false};
  bool listening = false;
  bool connecting = false;  // a non-blocking connect in progress
  DWORD receiveTimeout = 0;
  DWORD sendTimeout = 0;
  // Asynchronous notification, under g_table.lock.
  HWND window = nullptr;
  UINT message = 0;
  long mask = 0;
  long enabled = 0;  // events that may be posted now
  bool closePosted = false;
  bool inEpoll = false;
  // A hang-up that can't be reported until the reader takes its data:
  // epoll would report it again and again, so the socket waits outside.
  bool parked = false;
};

struct Table {
  std::mutex lock;
  std::unordered_map<SOCKET, std::shared_ptr<Socket>> sockets;
  SOCKET next = 0x100;
  int epoll = -1;
  bool monitorStarted = false;
};
Table &TheTable() {
  static Table *table = new Table;  // the monitor thread outlives static destruction
  return *table;
}

std::shared_ptr<Socket> Find(SOCKET s) {
  Table &table = TheTable();
  std::lock_guard guard(table.lock);
  auto it = table.sockets.find(s);
  if (it == table.sockets.end()) return nullptr;
  return it->second;
}

void Post(const Socket &socket, SOCKET s, long event, int error) {
  PostMessageA(socket.window, socket.message, WPARAM(s), WSAMAKESELECTREPLY(WORD(event), WORD(error)));
}

// The epoll interest that matches what may be posted now. Table lock held.
void UpdateInterest(SOCKET s, Socket &socket) {
  Table &table = TheTable();
  uint32_t events = 0;
  if (!socket.closePosted && socket.window && !socket.parked) {
    // While a read notice waits for its recv, the data must not be seen again.
    if (socket.enabled & (FD_READ | FD_ACCEPT))
      events |= EPOLLIN | EPOLLRDHUP;
    else if ((socket.enabled & FD_CLOSE) && !(socket.mask & FD_READ))
      events |= EPOLLRDHUP;
    if (socket.enabled & FD_WRITE) events |= EPOLLOUT;
    if (socket.connecting && (socket.enabled & FD_CONNECT)) events |= EPOLLOUT;
  }
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = s;
  if (events && !socket.inEpoll) {
    if (epoll_ctl(table.epoll, EPOLL_CTL_ADD, socket.fd, &ev) == 0) socket.inEpoll = true;
  } else if (events && socket.inEpoll) {
    epoll_ctl(table.epoll, EPOLL_CTL_MOD, socket.fd, &ev);
  } else if (!events && socket.inEpoll) {
    epoll_ctl(table.epoll, EPOLL_CTL_DEL, socket.fd, nullptr);
    socket.inEpoll = false;
  }
}

void Enable(SOCKET s, long events) {
  Table &table = TheTable();
  std::lock_guard guard(table.lock);
  auto it = table.sockets.find(s);
  if (it == table.sockets.end()) return;
  Socket &socket = *it->second;
  if (!socket.window) return;
  long add = events & socket.mask;
  if ((socket.enabled & add) == add && !socket.parked) return;
  socket.enabled |= add;
  socket.parked = false;
  UpdateInterest(s, socket);
}

int PendingBytes(int fd) {
  int count = 0;
  return ioctl(fd, FIONREAD, &count) == 0 ? count : 0;
}

int SocketError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  return error;
}

// Turns what epoll saw into the events Windows would post, each once until
// the call that re-enables it.
void Handle(SOCKET s, uint32_t seen) {
  Table &table = TheTable();
  std::lock_guard guard(table.lock);
  auto it = table.sockets.find(s);
  if (it == table.sockets.end()) return;
  Socket &socket = *it->second;
  if (!socket.window || socket.closePosted) return;
  if (socket.connecting && (seen & (EPOLLOUT | EPOLLERR | EPOLLHUP))) {
    socket.connecting = false;
    int error = SocketError(socket.fd);
    if (socket.enabled & FD_CONNECT) {
      socket.enabled &= ~FD_CONNECT;
      Post(socket, s, FD_CONNECT, MapErrno(error));
    }
    if (error) {
      UpdateInterest(s, socket);
      return;
    }
  }
  if (socket.listening) {
    if ((seen & EPOLLIN) && (socket.enabled & FD_ACCEPT)) {
      socket.enabled &= ~FD_ACCEPT;
      Post(socket, s, FD_ACCEPT, 0);
    }
    UpdateInterest(s, socket);
    return;
  }
  bool readable = seen & EPOLLIN;
  bool ended = seen & (EPOLLRDHUP | EPOLLHUP | EPOLLERR);
  int pending = (readable || ended) ? PendingBytes(socket.fd) : 0;
  if (pending > 0 || (readable && !ended && socket.type == SOCK_DGRAM)) {
    // Data comes first; the close follows once it has been read.
    if (socket.enabled & FD_READ) {
      socket.enabled &= ~FD_READ;
      Post(socket, s, FD_READ, 0);
    } else if (seen & (EPOLLHUP | EPOLLERR)) {
      socket.parked = true;
    }
  } else if (ended && socket.type == SOCK_STREAM) {
    int error = SocketError(socket.fd);
    socket.closePosted = true;
    if (socket.mask & FD_CLOSE) Post(socket, s, FD_CLOSE, error ? MapErrno(error) : 0);
  }
  if ((seen & EPOLLOUT) && (socket.enabled & FD_WRITE)) {
    socket.enabled &= ~FD_WRITE;
    Post(socket, s, FD_WRITE, 0);
  }
  UpdateInterest(s, socket);
}

void Monitor() {
  Table &table = TheTable();
  epoll_event events[64];
  for (;;) {
    int n = epoll_wait(table.epoll, events, 64, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int i = 0; i < n; ++i) {
      Handle(SOCKET(events[i].data.u64), events[i].events);
    }
  }
}

// Table lock held.
bool StartMonitor() {
  Table &table = TheTable();
  if (table.monitorStarted) return true;
  table.epoll = epoll_create1(EPOLL_CLOEXEC);
  if (table.epoll < 0) return false;
  table.monitorStarted = true;
  std::thread(Monitor).detach();
  return true;
}

bool WaitFd(int fd, short events, DWORD timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = poll(&p, 1, timeoutMs ? int(timeoutMs) : -1);
    if (r < 0 && errno == EINTR) continue;
    return r > 0;
  }
}

hostent *FillHost(const std::vector<in_addr> &addresses, const char *name) {
  thread_local std::string storedName;
  thread_local std::vector<in_addr> stored;
  thread_local std::vector<char *> list;
  thread_local char *aliases[1] = {nullptr};
  thread_local hostent host;
  storedName = name;
  stored = addresses;
  list.clear();
  for (auto &a : stored) list.push_back(reinterpret_cast<char *>(&a));
  list.push_back(nullptr);
  host.h_name = storedName.data();
  host.h_aliases = aliases;
  host.h_addrtype = AF_INET;
  host.h_length = sizeof(in_addr);
  host.h_addr_list = list.data();
  return &host;
}

}  // namespace

namespace ws {

int WSAStartup(WORD version, WSADATA *data) {
  if (!data) return WSAEFAULT;
  std::memset(data, 0, sizeof *data);
  data->wVersion = version;
  data->wHighVersion = MAKEWORD(2, 2);
  std::strcpy(data->szDescription, "WinSock 2.0");
  std::strcpy(data->szSystemStatus, "Running");
  ++g_startups;
  return 0;
}

int WSACleanup() {
  if (g_startups.load() <= 0) return Fail(WSANOTINITIALISED);
  --g_startups;
  return 0;
}

int WSAGetLastError() { return t_wsaError; }
void WSASetLastError(int error) { t_wsaError = error; }

SOCKET socket(int family, int type, int protocol) {
  if (g_startups.load() <= 0) {
    Fail(WSANOTINITIALISED);
    return INVALID_SOCKET;
  }
  int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  auto socket = std::make_shared<Socket>();
  socket->fd = fd;
  socket->type = type;
  Table &table = TheTable();
  std::lock_guard guard(table.lock);
  SOCKET s = table.next;
  table.next += 4;
  table.sockets[s] = std::move(socket);
  return s;
}

int closesocket(SOCKET s) {
  std::shared_ptr<Socket> socket;
  {
    Table &table = TheTable();
    std::lock_guard guard(table.lock);
    auto it = table.sockets.find(s);
    if (it == table.sockets.end()) return Fail(WSAENOTSOCK);
    socket = std::move(it->second);
    table.sockets.erase(it);
    if (socket->inEpoll) epoll_ctl(table.epoll, EPOLL_CTL_DEL, socket->fd, nullptr);
    socket->inEpoll = false;
    socket->window = nullptr;
  }
  ::close(socket->fd);
  return 0;
}

int connect(SOCKET s, const sockaddr *address, int length) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!address || length < int(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  if (socket->nonBlocking) {
    if (::connect(socket->fd, address, socklen_t(length)) == 0) return 0;
    int error = errno;
    if (error == EINPROGRESS) {
      Table &table = TheTable();
      std::lock_guard guard(table.lock);
      socket->connecting = true;
      UpdateInterest(s, *socket);
    }
    return Fail(MapErrno(error));
  }
  // Blocking: connect without blocking, then wait with a limit.
  int flags = fcntl(socket->fd, F_GETFL);
  fcntl(socket->fd, F_SETFL, flags | O_NONBLOCK);
  int result = ::connect(socket->fd, address, socklen_t(length));
  int error = result == 0 ? 0 : errno;
  if (error == EINPROGRESS) {
    if (!WaitFd(socket->fd, POLLOUT, socket->sendTimeout ? socket->sendTimeout : 21000))
      error = ETIMEDOUT;
    else
      error = SocketError(socket->fd);
  }
  fcntl(socket->fd, F_SETFL, flags);
  if (error) return Fail(MapErrno(error));
  return 0;
}

int bind(SOCKET s, const sockaddr *address, int length) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!address) return Fail(WSAEFAULT);
  int one = 1;
  // Windows lets a listener reuse a port in TIME_WAIT without asking.
  ::setsockopt(socket->fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  return ::bind(socket->fd, address, socklen_t(length)) == 0 ? 0 : FailErrno();
}

int listen(SOCKET s, int backlog) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (::listen(socket->fd, backlog) != 0) return FailErrno();
  socket->listening = true;
  return 0;
}

SOCKET accept(SOCKET s, sockaddr *address, int *length) {
  auto socket = Find(s);
  if (!socket) {
    Fail(WSAENOTSOCK);
    return INVALID_SOCKET;
  }
  socklen_t len = length ? socklen_t(*length) : 0;
  int fd = ::accept4(socket->fd, address, length ? &len : nullptr, SOCK_CLOEXEC);
  int error = errno;
  Enable(s, FD_ACCEPT);
  if (fd < 0) {
    Fail(MapErrno(error));
    return INVALID_SOCKET;
  }
  if (length) *length = int(len);
  auto accepted = std::make_shared<Socket>();
  accepted->fd = fd;
  accepted->type = SOCK_STREAM;
  Table &table = TheTable();
  std::lock_guard guard(table.lock);
  SOCKET result = table.next;
  table.next += 4;
  table.sockets[result] = std::move(accepted);
  return result;
}

int send(SOCKET s, const char *buffer, int length, int flags) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  for (;;) {
    ssize_t n = ::send(socket->fd, buffer, size_t(length), flags | MSG_NOSIGNAL);
    if (n >= 0) return int(n);
    int error = errno;
    if (error == EINTR) continue;
    if (error == EAGAIN && !socket->nonBlocking) {
      if (socket->sendTimeout) return Fail(WSAETIMEDOUT);
      continue;
    }
    if (error == EAGAIN) Enable(s, FD_WRITE);
    return Fail(MapErrno(error));
  }
}

int recv(SOCKET s, char *buffer, int length, int flags) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  for (;;) {
    ssize_t n = ::recv(socket->fd, buffer, size_t(length), flags);
    int error = errno;
    // Reading re-enables the read notice: more data gives another one.
    Enable(s, FD_READ);
    if (n >= 0) return int(n);
    if (error == EINTR) continue;
    if (error == EAGAIN && !socket->nonBlocking) return Fail(WSAETIMEDOUT);
    return Fail(MapErrno(error));
  }
}

int sendto(SOCKET s, const char *buffer, int length, int flags, const sockaddr *to, int toLength) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  ssize_t n = ::sendto(socket->fd, buffer, size_t(length), flags | MSG_NOSIGNAL, to, socklen_t(toLength));
  if (n >= 0) return int(n);
  int error = errno;
  if (error == EAGAIN && socket->nonBlocking) Enable(s, FD_WRITE);
  return Fail(MapErrno(error == EAGAIN && !socket->nonBlocking ? ETIMEDOUT : error));
}

int recvfrom(SOCKET s, char *buffer, int length, int flags, sockaddr *from, int *fromLength) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  socklen_t len = fromLength ? socklen_t(*fromLength) : 0;
  ssize_t n = ::recvfrom(socket->fd, buffer, size_t(length), flags, from, fromLength ? &len : nullptr);
  int error = errno;
  Enable(s, FD_READ);
  if (n < 0) return Fail(MapErrno(error == EAGAIN && !socket->nonBlocking ? ETIMEDOUT : error));
  if (fromLength) *fromLength = int(len);
  return int(n);
}

int shutdown(SOCKET s, int how) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  int mode = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : SHUT_RDWR;
  return ::shutdown(socket->fd, mode) == 0 ? 0 : FailErrno();
}

int ioctlsocket(SOCKET s, long command, unsigned long *argument) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!argument) return Fail(WSAEFAULT);
  if (command == long(FIONREAD)) {
    int count = 0;
    if (ioctl(socket->fd, FIONREAD, &count) != 0) return FailErrno();
    *argument = static_cast<unsigned long>(count);
    return 0;
  }
  if (command == long(FIONBIO)) {
    bool on = *argument != 0;
    {
      // An asynchronously selected socket can't be made blocking again.
      Table &table = TheTable();
      std::lock_guard guard(table.lock);
      if (!on && socket->mask) return Fail(WSAEINVAL);
    }
    int flags = fcntl(socket->fd, F_GETFL);
    fcntl(socket->fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
    socket->nonBlocking = on;
    return 0;
  }
  return Fail(WSAEINVAL);
}

int setsockopt(SOCKET s, int level, int name, const char *value, int length) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!value || length < 0) return Fail(WSAEFAULT);
  if (level == SOL_SOCKET && (name == SO_RCVTIMEO || name == SO_SNDTIMEO)) {
    if (length < int(sizeof(DWORD))) return Fail(WSAEFAULT);
    DWORD ms;
    std::memcpy(&ms, value, sizeof ms);
    timeval tv{time_t(ms / 1000), suseconds_t((ms % 1000) * 1000)};
    if (::setsockopt(socket->fd, level, name, &tv, sizeof tv) != 0) return FailErrno();
    (name == SO_RCVTIMEO ? socket->receiveTimeout : socket->sendTimeout) = ms;
    return 0;
  }
  return ::setsockopt(socket->fd, level, name, value, socklen_t(length)) == 0 ? 0 : FailErrno();
}

int getsockopt(SOCKET s, int level, int name, char *value, int *length) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!value || !length || *length < 0) return Fail(WSAEFAULT);
  if (level == SOL_SOCKET && (name == SO_RCVTIMEO || name == SO_SNDTIMEO)) {
    if (*length < int(sizeof(DWORD))) return Fail(WSAEFAULT);
    DWORD ms = name == SO_RCVTIMEO ? socket->receiveTimeout : socket->sendTimeout;
    std::memcpy(value, &ms, sizeof ms);
    *length = sizeof ms;
    return 0;
  }
  if (level == SOL_SOCKET && name == SO_ERROR) {
    if (*length < int(sizeof(int))) return Fail(WSAEFAULT);
    int error = MapErrno(SocketError(socket->fd));
    std::memcpy(value, &error, sizeof error);
    *length = sizeof error;
    return 0;
  }
  socklen_t len = socklen_t(*length);
  if (::getsockopt(socket->fd, level, name, value, &len) != 0) return FailErrno();
  *length = int(len);
  return 0;
}

int getsockname(SOCKET s, sockaddr *address, int *length) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!address || !length) return Fail(WSAEFAULT);
  socklen_t len = socklen_t(*length);
  if (::getsockname(socket->fd, address, &len) != 0) return FailErrno();
  *length = int(len);
  return 0;
}

int getpeername(SOCKET s, sockaddr *address, int *length) {
  auto socket = Find(s);
  if (!socket) return Fail(WSAENOTSOCK);
  if (!address || !length) return Fail(WSAEFAULT);
  socklen_t len = socklen_t(*length);
  if (::getpeername(socket->fd, address, &len) != 0) return FailErrno();
  *length = int(len);
  return 0;
}

int select(int, WSAFDSET *read, WSAFDSET *write, WSAFDSET *except, const timeval *timeout) {
  struct Entry {
    WSAFDSET *set;
    SOCKET s;
  };
  std::vector<pollfd> polls;
  std::vector<Entry> entries;
  for (WSAFDSET *set : {read, write, except}) {
    if (!set) continue;
    for (unsigned i = 0; i < set->fd_count && i < kWsaSetSize; ++i) {
      auto socket = Find(set->fd_array[i]);
      if (!socket) return Fail(WSAENOTSOCK);
      short events = set == read ? POLLIN : set == write ? POLLOUT : POLLPRI;
      polls.push_back(pollfd{socket->fd, events, 0});
      entries.push_back(Entry{set, set->fd_array[i]});
    }
  }
  if (polls.empty()) return Fail(WSAEINVAL);
  int ms = timeout ? int(timeout->tv_sec * 1000 + timeout->tv_usec / 1000) : -1;
  int r;
  do {
    r = poll(polls.data(), polls.size(), ms);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return FailErrno();
  for (WSAFDSET *set : {read, write, except})
    if (set) set->fd_count = 0;
  int ready = 0;
  for (size_t i = 0; i < polls.size(); ++i) {
    short want = polls[i].events;
    short got = polls[i].revents;
    bool hit = (got & want) || (want != POLLPRI && (got & (POLLERR | POLLHUP)));
    if (!hit) continue;
    WSAFDSET *set = entries[i].set;
    set->fd_array[set->fd_count++] = entries[i].s;
    ++ready;
  }
  return ready;
}

hostent *gethostbyname(const char *name) {
  if (!name) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  std::string_view text(name);
  if (text.size() >= 8 && text.substr(text.size() - 8) == ".invalid") {
    Fail(WSAHOST_NOT_FOUND);
    return nullptr;
  }
  in_addr numeric{};
  if (inet_pton(AF_INET, name, &numeric) == 1) return FillHost({numeric}, name);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  int r = getaddrinfo(name, nullptr, &hints, &found);
  if (r != 0 || !found) {
    Fail(r == EAI_AGAIN ? WSATRY_AGAIN : WSAHOST_NOT_FOUND);
    return nullptr;
  }
  std::vector<in_addr> addresses;
  for (addrinfo *a = found; a; a = a->ai_next)
    addresses.push_back(reinterpret_cast<sockaddr_in *>(a->ai_addr)->sin_addr);
  freeaddrinfo(found);
  return FillHost(addresses, name);
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long mask) {
  Table &table = TheTable();
  std::shared_ptr<Socket> socket;
  {
    std::lock_guard guard(table.lock);
    auto it = table.sockets.find(s);
    if (it == table.sockets.end()) return Fail(WSAENOTSOCK);
    socket = it->second;
    if (mask && !IsWindow(window)) return Fail(WSAEINVAL);
    if (!StartMonitor()) return Fail(WSAENOBUFS);
    socket->window = mask ? window : nullptr;
    socket->message = message;
    socket->mask = mask;
    // Arming (again) re-enables every event: what is true now is posted.
    socket->enabled = mask;
    socket->closePosted = false;
    UpdateInterest(s, *socket);
  }
  if (mask) {
    int flags = fcntl(socket->fd, F_GETFL);
    fcntl(socket->fd, F_SETFL, flags | O_NONBLOCK);
    socket->nonBlocking = true;
  }
  return 0;
}

}  // namespace ws
