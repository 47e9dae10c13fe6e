#include "testing/proxy_doubles.h"

#include "testing/loopback_frame_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct ProxyDouble::Connection {
  int fd;
  int index;
};

namespace {

std::string Lower(std::string s) {
  for (char &c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

std::string ProxyBase64(const std::string &bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
    for (int k = 3; k >= 0; --k) out += kAlphabet[(v >> (6 * k)) & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest) {
    uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
    if (rest == 2) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

ProxyDouble::ProxyDouble(ProxyKind kind) : kind_(kind) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) return;
  int fd = loopback_frame::OpenListener(0, &port_);
  if (fd < 0) return;
  listener_ = fd;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ProxyDouble::~ProxyDouble() {
  stopping_ = true;
  if (wake_[1] >= 0) {
    const char stop = 1;
    (void)!::write(wake_[1], &stop, 1);
  }
  {
    // Unblocks workers that wait in a send to a client that does not read.
    std::lock_guard guard(lock_);
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
  }
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard guard(lock_);
    workers.swap(workers_);
  }
  for (auto &t : workers) t.join();
  for (int fd : {listener_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

void ProxyDouble::SetTargetPorts(std::vector<uint16_t> ports) {
  std::lock_guard guard(lock_);
  targetPorts_ = std::move(ports);
}

void ProxyDouble::RequireCredentials(const std::string &user, const std::string &password) {
  std::lock_guard guard(lock_);
  credentials_ = true;
  user_ = user;
  password_ = password;
}

void ProxyDouble::SetAnswer(int step, const std::string &bytes, After after) {
  std::lock_guard guard(lock_);
  answers_[step] = Answer{bytes, after};
}

std::vector<std::string> ProxyDouble::Handshakes() const {
  std::lock_guard guard(lock_);
  return handshakes_;
}

int ProxyDouble::Connections() const {
  std::lock_guard guard(lock_);
  return int(handshakes_.size());
}

std::string ProxyDouble::RequestedHost() const {
  std::lock_guard guard(lock_);
  return requestedHost_;
}

uint16_t ProxyDouble::RequestedPort() const {
  std::lock_guard guard(lock_);
  return requestedPort_;
}

void ProxyDouble::Record(int index, const std::string &bytes) {
  std::lock_guard guard(lock_);
  handshakes_[size_t(index)] += bytes;
}

void ProxyDouble::Requested(const std::string &host, uint16_t port) {
  std::lock_guard guard(lock_);
  requestedHost_ = host;
  requestedPort_ = port;
}

void ProxyDouble::Track(int fd, bool add) {
  std::lock_guard guard(lock_);
  if (add) {
    open_.insert(fd);
    // A stop that came first must still end this connection at once.
    if (stopping_) ::shutdown(fd, SHUT_RDWR);
  } else {
    open_.erase(fd);
  }
}

void ProxyDouble::AcceptLoop() {
  for (;;) {
    pollfd polls[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = ::poll(polls, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || stopping_ || (polls[1].revents & POLLIN)) return;
    if (!(polls[0].revents & POLLIN)) continue;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::lock_guard guard(lock_);
    int index = int(handshakes_.size());
    handshakes_.emplace_back();
    open_.insert(client);
    workers_.emplace_back([this, client, index] { Serve(client, index); });
  }
}

bool ProxyDouble::SendAll(int fd, const std::string &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool ProxyDouble::ReadExact(Connection &c, size_t n, std::string *out) {
  out->clear();
  while (out->size() < n) {
    pollfd polls[2] = {{c.fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = ::poll(polls, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || stopping_) return false;
    char buffer[512];
    ssize_t got = ::recv(c.fd, buffer, std::min(sizeof buffer, n - out->size()), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    std::string chunk(buffer, size_t(got));
    Record(c.index, chunk);
    *out += chunk;
  }
  return true;
}

bool ProxyDouble::ReadHeaders(Connection &c, std::string *out) {
  out->clear();
  std::string byte;
  // One byte at a time, so that nothing after the blank line is taken.
  while (out->size() < 8192) {
    if (!ReadExact(c, 1, &byte)) return false;
    *out += byte;
    if (out->size() >= 4 && out->compare(out->size() - 4, 4, "\r\n\r\n") == 0) return true;
  }
  return false;
}

ProxyDouble::After ProxyDouble::Respond(Connection &c, int step, const std::string &usual) {
  Answer answer{usual, After::kContinue};
  {
    std::lock_guard guard(lock_);
    auto it = answers_.find(step);
    if (it != answers_.end()) answer = it->second;
  }
  if (!answer.bytes.empty() && !SendAll(c.fd, answer.bytes)) return After::kClose;
  return answer.after;
}

int ProxyDouble::ConnectTarget(int index, uint16_t requestedPort) {
  uint16_t port = requestedPort;
  {
    std::lock_guard guard(lock_);
    if (!targetPorts_.empty()) port = targetPorts_[std::min(size_t(index), targetPorts_.size() - 1)];
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (port == 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  Track(fd, true);
  return fd;
}

int ProxyDouble::Socks4(Connection &c) {
  std::string head, byte;
  if (!ReadExact(c, 8, &head)) return -1;
  // The user id runs to a NUL.
  for (int i = 0; i < 256; ++i) {
    if (!ReadExact(c, 1, &byte)) return -1;
    if (byte[0] == 0) break;
  }
  uint16_t port = uint16_t(uint8_t(head[2]) << 8 | uint8_t(head[3]));
  char host[32];
  std::snprintf(host, sizeof host, "%u.%u.%u.%u", uint8_t(head[4]), uint8_t(head[5]), uint8_t(head[6]),
                uint8_t(head[7]));
  Requested(host, port);
  int target = (head[0] == 4 && head[1] == 1) ? ConnectTarget(c.index, port) : -1;
  std::string usual = head.substr(0, 8);
  usual[0] = 0;
  usual[1] = char(target >= 0 ? 90 : 91);
  return Conclude(c, 0, usual, target);
}

int ProxyDouble::Socks5(Connection &c) {
  std::string greeting, methods;
  if (!ReadExact(c, 2, &greeting) || !ReadExact(c, uint8_t(greeting[1]), &methods)) return -1;
  bool needAuth, offersAuth = methods.find('\x02') != std::string::npos;
  std::string user, password;
  {
    std::lock_guard guard(lock_);
    needAuth = credentials_;
    user = user_;
    password = password_;
  }
  char method = '\xFF';
  if (greeting[0] == 5) {
    if (needAuth && offersAuth)
      method = 2;
    else if (!needAuth && methods.find('\0') != std::string::npos)
      method = 0;
  }
  After after = Respond(c, 0, std::string("\x05", 1) + method);
  if (after == After::kContinue && method == '\xFF') after = After::kClose;
  if (after != After::kContinue) {
    if (after == After::kHold) Hold(c.fd);
    return -1;
  }
  if (method == 2) {
    std::string version, length, gotUser, gotPassword;
    if (!ReadExact(c, 2, &version) || !ReadExact(c, uint8_t(version[1]), &gotUser) || !ReadExact(c, 1, &length) ||
        !ReadExact(c, uint8_t(length[0]), &gotPassword))
      return -1;
    bool ok = version[0] == 1 && gotUser == user && gotPassword == password;
    after = Respond(c, 1, ok ? std::string("\x01\x00", 2) : std::string("\x01\x01", 2));
    if (after == After::kContinue && !ok) after = After::kClose;
    if (after != After::kContinue) {
      if (after == After::kHold) Hold(c.fd);
      return -1;
    }
  }
  std::string request, address, port;
  if (!ReadExact(c, 4, &request)) return -1;
  std::string host;
  switch (request[3]) {
    case 1: {
      if (!ReadExact(c, 4, &address)) return -1;
      char text[32];
      std::snprintf(text, sizeof text, "%u.%u.%u.%u", uint8_t(address[0]), uint8_t(address[1]), uint8_t(address[2]),
                    uint8_t(address[3]));
      host = text;
      break;
    }
    case 3: {
      std::string length;
      if (!ReadExact(c, 1, &length) || !ReadExact(c, uint8_t(length[0]), &host)) return -1;
      break;
    }
    case 4:
      if (!ReadExact(c, 16, &address)) return -1;
      host = "ipv6";
      break;
    default:
      return -1;
  }
  if (!ReadExact(c, 2, &port)) return -1;
  uint16_t targetPort = uint16_t(uint8_t(port[0]) << 8 | uint8_t(port[1]));
  Requested(host, targetPort);
  int target = (request[0] == 5 && request[1] == 1) ? ConnectTarget(c.index, targetPort) : -1;
  std::string usual("\x05\x00\x00\x01\x7F\x00\x00\x01", 8);
  if (target < 0) usual = std::string("\x05\x05\x00\x01\x00\x00\x00\x00", 8);
  usual += port;
  return Conclude(c, 2, usual, target);
}

int ProxyDouble::HttpConnect(Connection &c, bool relay) {
  std::string request;
  if (!ReadHeaders(c, &request)) return -1;
  // "CONNECT host:port HTTP/1.x"
  size_t lineEnd = request.find("\r\n");
  std::string line = request.substr(0, lineEnd);
  std::string host;
  uint16_t port = 0;
  bool wellFormed = line.compare(0, 8, "CONNECT ") == 0;
  if (wellFormed) {
    size_t space = line.find(' ', 8);
    std::string target = line.substr(8, space == std::string::npos ? std::string::npos : space - 8);
    size_t colon = target.rfind(':');
    wellFormed = colon != std::string::npos;
    if (wellFormed) {
      host = target.substr(0, colon);
      port = uint16_t(std::atoi(target.c_str() + colon + 1));
      Requested(host, port);
    }
  }
  bool authorised = true;
  if (!relay) {
    std::lock_guard guard(lock_);
    if (credentials_) {
      authorised = false;
      std::string expected = ProxyBase64(user_ + ":" + password_);
      size_t at = lineEnd;
      while (at != std::string::npos && at + 2 < request.size()) {
        size_t next = request.find("\r\n", at + 2);
        std::string header = request.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
        size_t colon = header.find(':');
        if (colon != std::string::npos && Lower(Trim(header.substr(0, colon))) == "proxy-authorization") {
          std::string value = Trim(header.substr(colon + 1));
          if (Lower(value.substr(0, 6)) == "basic " && Trim(value.substr(6)) == expected) authorised = true;
        }
        at = next;
      }
    }
  }
  int target = -1;
  std::string usual;
  if (!wellFormed) {
    usual = "HTTP/1.0 400 Bad Request\r\n\r\n";
  } else if (!authorised) {
    usual = "HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"proxy\"\r\n\r\n";
  } else {
    target = ConnectTarget(c.index, port);
    usual = target >= 0 ? (relay ? "HTTP/1.0 200 OK\r\n\r\n" : "HTTP/1.0 200 Connection established\r\n\r\n")
                        : "HTTP/1.0 502 Bad Gateway\r\n\r\n";
  }
  return Conclude(c, 0, usual, target);
}

int ProxyDouble::Conclude(Connection &c, int step, const std::string &usual, int target) {
  const After after = Respond(c, step, usual);
  if (after == After::kContinue && target >= 0) return target;
  if (target >= 0) {
    Track(target, false);
    ::close(target);
  }
  if (after == After::kHold) Hold(c.fd);
  return -1;
}

void ProxyDouble::Hold(int client) {
  for (;;) {
    pollfd polls[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = ::poll(polls, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || stopping_) return;
    char buffer[4096];
    ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
  }
}

void ProxyDouble::Forward(int client, int target) {
  char buffer[65536];
  bool clientOpen = true, targetOpen = true;
  while (clientOpen || targetOpen) {
    bool readClient = clientOpen && !paused_;
    pollfd polls[3] = {
        {readClient ? client : -1, POLLIN, 0}, {targetOpen ? target : -1, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    // A short wait so that resuming a paused tunnel is seen soon.
    int r = ::poll(polls, 3, 10);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || stopping_) return;
    if (polls[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        clientOpen = false;
        ::shutdown(target, SHUT_WR);
        // A client that reset its end wants nothing more from the target.
        if (n < 0) return;
      } else {
        if (!SendAll(target, std::string(buffer, size_t(n)))) return;
      }
    }
    if (polls[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = ::recv(target, buffer, sizeof buffer, 0);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        targetOpen = false;
        ::shutdown(client, SHUT_WR);
        if (n < 0) return;
      } else {
        if (!SendAll(client, std::string(buffer, size_t(n)))) return;
      }
    }
  }
}

void ProxyDouble::Serve(int client, int index) {
  int one = 1;
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  Connection c{client, index};
  int target = -1;
  switch (kind_) {
    case ProxyKind::kSocks4:
      target = Socks4(c);
      break;
    case ProxyKind::kSocks5:
      target = Socks5(c);
      break;
    case ProxyKind::kHttpConnect:
      target = HttpConnect(c, false);
      break;
    case ProxyKind::kRelay:
      target = HttpConnect(c, true);
      break;
  }
  if (target >= 0) {
    ::setsockopt(target, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Forward(client, target);
    Track(target, false);
    ::close(target);
  }
  Track(client, false);
  ::close(client);
}
