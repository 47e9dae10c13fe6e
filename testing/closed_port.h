// A loopback TCP port on which nobody listens for as long as this lives:
// it is bound here without listening and without address reuse, so a
// connection to it is refused and no other program (a test server running
// beside this test) can start listening on it meanwhile.
#pragma once

#include <cstdint>

namespace testing_support {

class ClosedTcpPort {
 public:
  ClosedTcpPort();
  ~ClosedTcpPort();
  ClosedTcpPort(const ClosedTcpPort &) = delete;
  ClosedTcpPort &operator=(const ClosedTcpPort &) = delete;

  // 0 when no port could be had.
  uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace testing_support
