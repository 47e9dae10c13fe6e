// Small request-and-answer servers on 127.0.0.1 for the blocking clients:
// the HTTP download and the account check. Each takes one connection at a
// time on a thread of its own, reads until the request is complete, records
// it and answers as the test set it up: with bytes, with silence (the
// connection stays open until the next one or the end) or by hanging up.
// Plain POSIX sockets; started by the constructor, stopped by the
// destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class RequestServer {
 public:
  // What to do with a complete request.
  struct Reply {
    enum Kind { kAnswer, kSilent, kHangUp } kind = kAnswer;
    std::string bytes;
    size_t chunkBytes = 0;  // written in pieces of this many bytes; 0 at once
  };
  // True once `in` holds a whole request.
  using Complete = std::function<bool(const std::string &in)>;

  explicit RequestServer(Complete complete);
  ~RequestServer();
  RequestServer(const RequestServer &) = delete;
  RequestServer &operator=(const RequestServer &) = delete;

  bool Running() const { return listener_ >= 0; }
  uint16_t Port() const { return port_; }
  void SetReply(const Reply &reply);
  // Every request taken so far, as it came.
  std::vector<std::string> Requests() const;
  int Connections() const { return connections_.load(); }

 private:
  void Loop();
  void Serve(int fd);

  Complete complete_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex lock_;
  Reply reply_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A web server: a request ends at its blank line. The reply is the whole
// answer, head and body, as bytes.
class HttpDouble : public RequestServer {
 public:
  HttpDouble();
  // "HTTP/1.0 <status>\r\nContent-Length: n\r\n\r\n<body>"; without the
  // length line when withLength is false.
  static std::string Answer(const std::string &status, const std::string &body, bool withLength = true);
};

// The login server of the outside account library: a request is one line;
// the reply one line "<anything>|<code>|<message>\n".
class AccountDouble : public RequestServer {
 public:
  AccountDouble();
  void Answer(int code, const std::string &message);
};

}  // namespace testing_support
