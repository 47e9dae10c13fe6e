// Proxies on loopback for tests of the quote clients' connect path: SOCKS4,
// SOCKS5 (with or without user name and password), HTTP CONNECT (with or
// without Basic authentication) and the relay, whose client always asks for
// "CONNECT 127.0.0.1:80 HTTP/1.0" and is put through to a fixed target.
//
// Each double listens on 127.0.0.1 on a free port, takes any number of
// connections, records the handshake bytes each one sent and, once the
// handshake is answered, forwards bytes both ways between the client and a
// target on 127.0.0.1. Nothing ever leaves loopback: a host name asked for
// is recorded and then reached as 127.0.0.1. The double stops (and drops its
// connections) when it goes out of scope.
//
// A test can replace the answer of any handshake step, which covers
// refusals, wrong answers, answers cut short, a stall (no answer at all) and
// a dropped connection. The steps, counted from 0:
//   SOCKS4        0 the connect request
//   SOCKS5        0 the greeting, 1 the user name and password (only when the
//                 double selected that method), 2 the connect request
//   HTTP CONNECT  0 the request up to its blank line
//   relay         0 the request up to its blank line
//
// Plain POSIX sockets and threads of its own: it needs neither the socket
// layer's start-up nor the GUI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

enum class ProxyKind { kSocks4, kSocks5, kHttpConnect, kRelay };

class ProxyDouble {
 public:
  // What follows a replaced answer.
  enum class After {
    kContinue,  // go on as though the usual answer had been sent
    kHold,      // answer nothing more; keep the connection until the client ends it
    kClose,     // close the connection
  };

  explicit ProxyDouble(ProxyKind kind);
  ~ProxyDouble();
  ProxyDouble(const ProxyDouble &) = delete;
  ProxyDouble &operator=(const ProxyDouble &) = delete;

  // False when the listening socket or its thread could not be set up.
  bool Running() const { return listener_ >= 0; }
  const char *Host() const { return "127.0.0.1"; }
  uint16_t Port() const { return port_; }
  ProxyKind Kind() const { return kind_; }

  // Tunnels go to this port of 127.0.0.1 instead of the one the client
  // asked for. The relay needs it: its clients always ask for port 80.
  void SetTargetPort(uint16_t port) { SetTargetPorts({port}); }
  // One port for each connection in the order they come, the last one for
  // every later connection: a login through the relay reaches the directory
  // server first and the data server next.
  void SetTargetPorts(std::vector<uint16_t> ports);
  // SOCKS5 then selects the user-name method when the client offers it (and
  // refuses every method otherwise) and checks the pair; HTTP CONNECT
  // answers 407 unless the request carries this pair as Basic credentials.
  void RequireCredentials(const std::string &user, const std::string &password);
  // Sends bytes (in one send; empty sends nothing) instead of the usual
  // answer of a step, after reading what the client sent for it.
  void SetAnswer(int step, const std::string &bytes, After after = After::kHold);
  // No answer at a step, and the connection held: the client waits.
  void StallAt(int step) { SetAnswer(step, std::string(), After::kHold); }
  // The connection closed at a step instead of an answer.
  void CloseAt(int step) { SetAnswer(step, std::string(), After::kClose); }
  // While paused, tunnels stop reading what their clients send, so that a
  // client's sends back up; resuming drains them.
  void PauseForwarding(bool paused) { paused_ = paused; }

  // The handshake bytes of each connection, in order of connection: what the
  // client sent before forwarding began (or before the connection ended).
  std::vector<std::string> Handshakes() const;
  int Connections() const;
  // The target the last connect request named: the host as text (dotted
  // address or name) and the port.
  std::string RequestedHost() const;
  uint16_t RequestedPort() const;

 private:
  struct Answer {
    std::string bytes;
    After after;
  };
  struct Connection;

  void AcceptLoop();
  void Serve(int client, int index);
  // Each handshake returns the target fd (connected) to forward to, or -1
  // when the connection ends without forwarding.
  int Socks4(Connection &c);
  int Socks5(Connection &c);
  int HttpConnect(Connection &c, bool relay);
  void Forward(int client, int target);
  void Hold(int client);

  // Reads exactly n bytes into the handshake record; false when the client
  // went away or the double stops.
  bool ReadExact(Connection &c, size_t n, std::string *out);
  // Reads up to and including a blank line (at most 8192 bytes).
  bool ReadHeaders(Connection &c, std::string *out);
  // Sends the usual answer or the replacement for step; returns what comes
  // next: kContinue to go on, kHold or kClose.
  After Respond(Connection &c, int step, const std::string &usual);
  // The handshake's last answer: the tunnel's target when the answer went out
  // and the target could be reached, else -1 with the target closed.
  int Conclude(Connection &c, int step, const std::string &usual, int target);
  int ConnectTarget(int index, uint16_t requestedPort);
  void Record(int index, const std::string &bytes);
  void Requested(const std::string &host, uint16_t port);
  bool SendAll(int fd, const std::string &bytes);
  void Track(int fd, bool add);

  const ProxyKind kind_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> paused_{false};
  std::thread acceptor_;

  mutable std::mutex lock_;
  std::vector<std::thread> workers_;
  std::set<int> open_;  // fds of live connections and their targets
  std::vector<std::string> handshakes_;
  std::map<int, Answer> answers_;
  std::vector<uint16_t> targetPorts_;
  bool credentials_ = false;
  std::string user_, password_;
  std::string requestedHost_;
  uint16_t requestedPort_ = 0;
};

// Base64 of the standard alphabet with "=" padding and no line breaks, for
// checking the credentials a client sends.
std::string ProxyBase64(const std::string &bytes);
