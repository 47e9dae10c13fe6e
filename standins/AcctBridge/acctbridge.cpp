// The outside account library: checks a quote account, or changes its
// password, by one line to the login server and one line back.
//
//   check:  "V|<user>|<password>|<flag>\n"
//   change: "M|<user>|<password>|<new password>|<flag>\n"
//   answer: "<anything>|<code>|<message>\n"   (code < 0 refused, 0 accepted,
//                                              > 0 accepted with a notice)
//
// The message of the answer is copied into the caller's 512-byte buffer;
// when the server can't be reached or does not answer, the result is -1
// with a text of the library's own. Every wait ends after 10 seconds.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define ACB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kMessageSize = 512;
constexpr int kWaitMs = 10000;

void SetMessage(char *message, const char *text) {
  if (message) std::snprintf(message, kMessageSize, "%s", text);
}

int Connect(const char *host, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(uint16_t(port));
  if (!host || inet_pton(AF_INET, host, &to.sin_addr) != 1) {
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_INET;
    if (!host || getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return -1;
    to.sin_addr = reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval wait{kWaitMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends the line and reads the answer line; its code, with its message in
// the caller's buffer.
int Exchange(char *message, const std::string &line, const char *host, int port) {
  const int fd = Connect(host, port);
  if (fd < 0) {
    SetMessage(message, "无法连接帐号服务器。");
    return -1;
  }
  size_t sent = 0;
  while (sent < line.size()) {
    const ssize_t n = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += size_t(n);
  }
  char answer[kMessageSize] = {};
  size_t have = 0;
  while (sent == line.size() && have < sizeof answer - 1 && (have == 0 || answer[have - 1] != '\n')) {
    const ssize_t n = ::recv(fd, answer + have, sizeof answer - 1 - have, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    have += size_t(n);
  }
  ::close(fd);
  if (have == 0 || answer[have - 1] != '\n') {
    SetMessage(message, "帐号服务器没有应答。");
    return -1;
  }
  answer[have - 1] = '\0';
  if (have >= 2 && answer[have - 2] == '\r') answer[have - 2] = '\0';
  const char *code = std::strchr(answer, '|');
  const char *text = code ? std::strchr(code + 1, '|') : nullptr;
  if (!code || !text) {
    SetMessage(message, "帐号服务器的应答无法识别。");
    return -1;
  }
  SetMessage(message, text + 1);
  return std::atoi(code + 1);
}

std::string Field(const char *text) {
  std::string s(text ? text : "");
  // A field never carries the separator or a line end.
  for (char &c : s)
    if (c == '|' || c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

ACB_EXPORT int AcbVerifyAccount(char *message, const char *user, const char *password, const char *host, int port,
                                int flag) {
  SetMessage(message, "");
  const std::string line = "V|" + Field(user) + "|" + Field(password) + "|" + std::to_string(flag) + "\n";
  return Exchange(message, line, host, port);
}

ACB_EXPORT int AcbModifyAccountPW(char *message, const char *user, const char *password, const char *newPassword,
                                  const char *host, int port, int flag) {
  SetMessage(message, "");
  const std::string line = "M|" + Field(user) + "|" + Field(password) + "|" + Field(newPassword) + "|" +
                           std::to_string(flag) + "\n";
  return Exchange(message, line, host, port);
}
