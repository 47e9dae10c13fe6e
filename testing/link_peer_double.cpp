#include "testing/link_peer_double.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace testing_support {

LinkPeerDouble::LinkPeerDouble() {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0 &&
      ::getsockname(fd_, reinterpret_cast<sockaddr *>(&local), &length) == 0)
    port_ = ntohs(local.sin_port);
}

LinkPeerDouble::~LinkPeerDouble() {
  if (fd_ >= 0) ::close(fd_);
}

void LinkPeerDouble::SendRaw(const void *bytes, size_t length) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(target_);
  ::sendto(fd_, bytes, length, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
}

void LinkPeerDouble::SendRaw(const std::string &bytes) { SendRaw(bytes.data(), bytes.size()); }

void LinkPeerDouble::Login(uint32_t id) {
  char datagram[8] = {'L', 'O', 'G', '|'};
  std::memcpy(datagram + 4, &id, 4);
  SendRaw(datagram, sizeof datagram);
}

template <class Record>
static std::string Datagram(const char *verb, const Record &record) {
  std::string bytes(verb, 4);
  bytes.append(reinterpret_cast<const char *>(&record), sizeof record);
  return bytes;
}

void LinkPeerDouble::SendPositions(const std::vector<pttlink::LinkPosition> &records) {
  for (const auto &record : records) SendRaw(Datagram("POS|", record));
}

void LinkPeerDouble::SendOrders(const std::vector<pttlink::LinkOrder> &records) {
  for (const auto &record : records) SendRaw(Datagram("ODR|", record));
}

void LinkPeerDouble::SendSubscriptions(const std::vector<std::string> &codes) {
  std::string bytes("SSB|");
  for (const auto &code : codes) {
    pttlink::LinkSubscription record{};
    std::strncpy(record.Code, code.c_str(), sizeof record.Code - 1);
    bytes.append(reinterpret_cast<const char *>(&record), sizeof record);
  }
  SendRaw(bytes);
}

void LinkPeerDouble::SendContract(const char *code) {
  pttlink::LinkPeerContract record{};
  std::strncpy(record.Code, code, sizeof record.Code - 1);
  SendRaw(Datagram("COD|", record));
}

std::string LinkPeerDouble::Receive(int timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return {};
  char buffer[pttlink::kMaxDatagram];
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length);
  if (n < 0) return {};
  std::string datagram(buffer, size_t(n));
  if (answer_ && datagram.compare(0, 4, "CHK|") == 0) SendRaw("ASR|");
  return datagram;
}

std::string LinkPeerDouble::ReceiveVerb(const char *verb, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    std::string datagram = Receive(int(left.count()));
    if (datagram.compare(0, 4, verb) == 0) return datagram;
  }
}

pttlink::LinkPosition LinkPeerDouble::Position(uint16_t count, uint16_t index, const char *code, int volume) {
  pttlink::LinkPosition record{};
  record.Count = count;
  record.Index = index;
  std::strncpy(record.InstrumentID, code, sizeof record.InstrumentID - 1);
  record.Direction = '0';
  record.Volume = volume;
  return record;
}

pttlink::LinkOrder LinkPeerDouble::Order(uint16_t count, uint16_t index, const char *code, int number) {
  pttlink::LinkOrder record{};
  record.Count = count;
  record.Index = index;
  std::strncpy(record.InstrumentID, code, sizeof record.InstrumentID - 1);
  record.OrderNumber = number;
  record.Direction = '0';
  record.OffsetFlag = '0';
  return record;
}

}  // namespace testing_support
