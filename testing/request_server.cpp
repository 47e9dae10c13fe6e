#include "testing/request_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "testing/loopback_frame_server.h"

namespace testing_support {

RequestServer::RequestServer(Complete complete) : complete_(std::move(complete)) {
  listener_ = loopback_frame::OpenListener(0, &port_);
  if (listener_ >= 0) thread_ = std::thread([this] { Loop(); });
}

RequestServer::~RequestServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

void RequestServer::SetReply(const Reply &reply) {
  std::lock_guard hold(lock_);
  reply_ = reply;
}

std::vector<std::string> RequestServer::Requests() const {
  std::lock_guard hold(lock_);
  return requests_;
}

void RequestServer::Loop() {
  int silent = -1;  // a connection left open without an answer
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = loopback_frame::AcceptOne(listener_);
    if (fd < 0) continue;
    ++connections_;
    if (silent >= 0) ::close(silent);
    silent = -1;
    std::string in;
    bool whole = false;
    while (!stop_ && !whole) {
      pollfd c{fd, POLLIN, 0};
      if (::poll(&c, 1, 20) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      in.append(chunk, size_t(n));
      whole = complete_(in);
    }
    Reply reply;
    {
      std::lock_guard hold(lock_);
      requests_.push_back(in);
      reply = reply_;
    }
    if (!whole || reply.kind == Reply::kHangUp) {
      ::close(fd);
      continue;
    }
    if (reply.kind == Reply::kSilent) {
      silent = fd;
      continue;
    }
    const size_t step = reply.chunkBytes ? reply.chunkBytes : reply.bytes.size();
    for (size_t at = 0; at < reply.bytes.size() && !stop_;) {
      pollfd w{fd, POLLOUT, 0};
      if (::poll(&w, 1, 20) <= 0) continue;
      const ssize_t n = ::send(fd, reply.bytes.data() + at, std::min(step, reply.bytes.size() - at), MSG_NOSIGNAL);
      if (n <= 0) break;
      at += size_t(n);
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
  }
  if (silent >= 0) ::close(silent);
}

HttpDouble::HttpDouble()
    : RequestServer([](const std::string &in) { return in.find("\r\n\r\n") != std::string::npos; }) {}

std::string HttpDouble::Answer(const std::string &status, const std::string &body, bool withLength) {
  std::string head = "HTTP/1.0 " + status + "\r\nServer: double\r\n";
  if (withLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return head + "\r\n" + body;
}

AccountDouble::AccountDouble()
    : RequestServer([](const std::string &in) { return in.find('\n') != std::string::npos; }) {}

void AccountDouble::Answer(int code, const std::string &message) {
  Reply reply;
  reply.bytes = "A|" + std::to_string(code) + "|" + message + "\n";
  SetReply(reply);
}

}  // namespace testing_support
