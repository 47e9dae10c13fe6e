#include "testing/closed_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

ClosedTcpPort::ClosedTcpPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
      ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) == 0)
    port_ = ntohs(address.sin_port);
}

ClosedTcpPort::~ClosedTcpPort() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace testing_support
