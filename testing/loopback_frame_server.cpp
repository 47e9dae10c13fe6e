#include "testing/loopback_frame_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace loopback_frame {

int OpenListener(uint16_t port, uint16_t *bound) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *bound = ntohs(address.sin_port);
  return fd;
}

int AcceptOne(int listener) {
  const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

bool ReadAvailable(int fd, std::vector<uint8_t> &in) {
  uint8_t chunk[16384];
  for (;;) {
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) {
      in.insert(in.end(), chunk, chunk + n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

void CloseSocket(int fd, bool reset) {
  if (reset) {
    const linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  ::close(fd);
}

FRAMEHEAD HeadOf(const std::vector<uint8_t> &raw) {
  FRAMEHEAD head{};
  std::memcpy(&head, raw.data(), std::min(raw.size(), sizeof head));
  return head;
}

std::vector<uint8_t> BodyOf(const std::vector<uint8_t> &raw) {
  if (raw.size() <= size_t(kFrameHeadSize)) return {};
  return std::vector<uint8_t>(raw.begin() + kFrameHeadSize, raw.end());
}

ServerThread::~ServerThread() {
  Stop();
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

bool ServerThread::Start(std::function<void()> loop) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  thread_ = std::thread(std::move(loop));
  return true;
}

void ServerThread::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard guard(lock_);
    stop_ = true;
  }
  Wake();
  thread_.join();
}

void ServerThread::Post(std::function<void()> work) {
  {
    std::lock_guard guard(lock_);
    inbox_.push_back(std::move(work));
  }
  Wake();
}

bool ServerThread::Call(std::function<bool()> work) {
  std::mutex done;
  std::condition_variable doneSignal;
  bool finished = false;
  bool result = false;
  Post([&] {
    const bool r = work();
    std::lock_guard guard(done);
    result = r;
    finished = true;
    doneSignal.notify_one();
  });
  std::unique_lock guard(done);
  doneSignal.wait(guard, [&] { return finished; });
  return result;
}

bool ServerThread::RunPosted() {
  std::vector<std::function<void()>> work;
  {
    std::lock_guard guard(lock_);
    if (stop_) return false;
    work.swap(inbox_);
  }
  for (auto &w : work) w();
  return true;
}

void ServerThread::Wake() {
  const char wake = 1;
  (void)!::write(wake_[1], &wake, 1);
}

void ServerThread::DrainWake() {
  char drain[64];
  while (::read(wake_[0], drain, sizeof drain) > 0) {
  }
}

}  // namespace loopback_frame
