#include "testing/sntp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

namespace {

void Put64(uint8_t *p, uint64_t v) {
  for (int i = 7; i >= 0; --i, v >>= 8) p[i] = uint8_t(v);
}

uint64_t Get64(const uint8_t *p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}

// Seconds in 32.32 fixed point with the standard 2^32 scale.
uint64_t Shift(uint64_t time, double seconds) {
  const double size = std::fabs(seconds);
  const uint64_t delta =
      (uint64_t(std::trunc(size)) << 32) + uint64_t(std::llround((size - std::trunc(size)) * 4294967296.0));
  return seconds >= 0 ? time + delta : time - delta;
}

}  // namespace

SntpServer::SntpServer() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

SntpServer::~SntpServer() {
  if (thread_.joinable()) {
    const char stop = 1;
    (void)!::write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : {fd_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

void SntpServer::AnswerWithOffset(double seconds) {
  std::lock_guard guard(lock_);
  fixedTime_ = false;
  offset_ = seconds;
}

void SntpServer::AnswerWithTime(uint64_t ntpTime) {
  std::lock_guard guard(lock_);
  fixedTime_ = true;
  time_ = ntpTime;
}

void SntpServer::SetReply(Reply reply) { SetReplies({reply}); }

void SntpServer::SetReplies(std::vector<Reply> replies) {
  std::lock_guard guard(lock_);
  replies_ = std::move(replies);
}

void SntpServer::SetShortLength(int bytes) {
  std::lock_guard guard(lock_);
  shortLength_ = bytes < 0 ? 0 : bytes > 48 ? 48 : bytes;
}

void SntpServer::SetDelayMs(int ms) {
  std::lock_guard guard(lock_);
  delayMs_ = ms;
}

void SntpServer::SetStratum(int stratum) {
  std::lock_guard guard(lock_);
  stratum_ = stratum;
}

void SntpServer::SetLeapIndicator(int leap) {
  std::lock_guard guard(lock_);
  leap_ = leap;
}

std::vector<std::vector<uint8_t>> SntpServer::Requests() const {
  std::lock_guard guard(lock_);
  return requests_;
}

std::vector<uint8_t> SntpServer::BuildReply(Reply kind, const std::vector<uint8_t> &request) const {
  std::vector<uint8_t> reply(48, 0);
  const uint64_t asked = request.size() >= 48 ? Get64(request.data() + 40) : 0;
  const uint64_t now = fixedTime_ ? time_ : Shift(asked, offset_);
  const int mode = kind == Reply::kWrongMode ? 3 : 4;
  reply[0] = uint8_t(((leap_ & 3) << 6) | (3 << 3) | mode);
  reply[1] = uint8_t(stratum_);
  reply[2] = 6;     // poll interval
  reply[3] = 0xEC;  // precision, about a microsecond
  std::memcpy(reply.data() + 12, "LOCL", 4);
  Put64(reply.data() + 16, now);  // reference time
  Put64(reply.data() + 24, asked);
  Put64(reply.data() + 32, now);
  Put64(reply.data() + 40, now);
  if (kind == Reply::kShort) reply.resize(size_t(shortLength_));
  if (kind == Reply::kGarbage) {
    // Reserved mode 0, every other byte a pattern.
    for (size_t i = 0; i < reply.size(); ++i) reply[i] = uint8_t(0x5A ^ (i * 37));
    reply[0] = 0xF8;
  }
  return reply;
}

void SntpServer::Serve() {
  for (;;) {
    pollfd polls[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(polls, 2, -1) < 0) continue;
    if (polls[1].revents) return;
    if (!(polls[0].revents & POLLIN)) continue;

    uint8_t buffer[512];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &fromLength);
    if (got < 0) continue;

    std::vector<std::vector<uint8_t>> replies;
    int delay;
    {
      std::lock_guard guard(lock_);
      requests_.emplace_back(buffer, buffer + got);
      delay = delayMs_;
      for (Reply kind : replies_)
        if (kind != Reply::kSilent) replies.push_back(BuildReply(kind, requests_.back()));
    }
    if (replies.empty()) continue;
    if (delay > 0) {
      pollfd stop{wake_[0], POLLIN, 0};
      if (::poll(&stop, 1, delay) > 0) return;
    }
    for (const auto &reply : replies)
      ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr *>(&from), fromLength);
  }
}
