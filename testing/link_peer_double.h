// The outside trading program of the local link, played on loopback: it
// logs in, sends its position and order tables, its subscriptions and a
// contract to show, answers heartbeats or stays silent, and sends
// malformed datagrams on request. Everything it receives is kept in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trading/pttlink.h"

namespace testing_support {

class LinkPeerDouble {
 public:
  // Bound to 127.0.0.1 on a port of its own.
  LinkPeerDouble();
  ~LinkPeerDouble();
  LinkPeerDouble(const LinkPeerDouble &) = delete;
  LinkPeerDouble &operator=(const LinkPeerDouble &) = delete;

  uint16_t Port() const { return port_; }
  // The terminal's link port the datagrams go to.
  void Target(uint16_t port) { target_ = port; }
  // Whether a "CHK|" is answered with "ASR|" (yes by default).
  void AnswerHeartbeats(bool answer) { answer_ = answer; }

  void Login(uint32_t id);
  void Leave() { SendRaw("ERR|"); }
  void SendPositions(const std::vector<pttlink::LinkPosition> &records);
  void SendOrders(const std::vector<pttlink::LinkOrder> &records);
  // Codes written at byte 12 of each record.
  void SendSubscriptions(const std::vector<std::string> &codes);
  void SendContract(const char *code);
  void SendRaw(const std::string &bytes);
  void SendRaw(const void *bytes, size_t length);

  // The next datagram, waiting up to timeoutMs of real time; answers a
  // "CHK|" on the way when told to (and returns it too). Empty on time-out.
  std::string Receive(int timeoutMs = 3000);
  // Receives until a datagram starting with verb arrives; empty on time-out.
  std::string ReceiveVerb(const char *verb, int timeoutMs = 3000);

  // A position or order record with the given count, index and code.
  static pttlink::LinkPosition Position(uint16_t count, uint16_t index, const char *code, int volume = 1);
  static pttlink::LinkOrder Order(uint16_t count, uint16_t index, const char *code, int number);

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  uint16_t target_ = 0;
  bool answer_ = true;
};

}  // namespace testing_support
