// A time server on loopback for tests: a UDP server on 127.0.0.1 on a free
// port, started by the test and stopped when it goes out of scope. It
// answers each request the way it was told: with a chosen time or an offset
// from the asker's own transmit time, late, not at all, too short, with
// bytes of no meaning, or in another mode than a server's.
//
// It works on plain POSIX sockets and its own thread, so it needs neither
// the socket layer's start-up nor the program's clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class SntpServer {
 public:
  enum class Reply {
    kAnswer,     // a well-formed server reply
    kSilent,     // no reply at all
    kShort,      // the first ShortLength() bytes of a well-formed reply
    kGarbage,    // 48 bytes of no meaning, in client mode and without a time
    kWrongMode,  // a well-formed reply that says it comes from a client
  };

  SntpServer();
  ~SntpServer();
  SntpServer(const SntpServer &) = delete;
  SntpServer &operator=(const SntpServer &) = delete;

  // False when the socket or the thread could not be set up.
  bool Running() const { return fd_ >= 0; }
  const char *Host() const { return "127.0.0.1"; }
  uint16_t Port() const { return port_; }

  // The server's time: the asker's transmit time moved by seconds (so that a
  // client whose clock stands still measures exactly this offset), or a
  // fixed 64-bit NTP time for the receive and transmit fields.
  void AnswerWithOffset(double seconds);
  void AnswerWithTime(uint64_t ntpTime);
  void SetReply(Reply reply);
  // Several datagrams for each request, sent in this order (a kSilent entry
  // sends nothing), such as a short one before a good one.
  void SetReplies(std::vector<Reply> replies);
  void SetShortLength(int bytes);
  // Waits this long (real time) before answering; 0 answers at once.
  void SetDelayMs(int ms);
  void SetStratum(int stratum);
  void SetLeapIndicator(int leap);

  // Requests received so far, as they arrived.
  std::vector<std::vector<uint8_t>> Requests() const;

 private:
  void Serve();
  std::vector<uint8_t> BuildReply(Reply kind, const std::vector<uint8_t> &request) const;

  int fd_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex lock_;
  std::vector<Reply> replies_{Reply::kAnswer};
  bool fixedTime_ = false;
  uint64_t time_ = 0;
  double offset_ = 0;
  int shortLength_ = 20;
  int delayMs_ = 0;
  int stratum_ = 2;
  int leap_ = 0;
  std::vector<std::vector<uint8_t>> requests_;
};
