// What the broker client library stand-in talks to: one connection to a
// broker. The simulated broker serves it in the same process (a test
// attaches it to the library) or behind the simulator program on loopback.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace sim {

constexpr int kAnswerSize = 4096;
constexpr int kPushSize = 16384;

// Error codes of the library itself (the broker's own codes come inside
// answers).
enum : int {
  kErrNotConnected = -2,
  kErrNoMorePackets = -3,
  kErrBadRequest = -4,
  kErrLinkFailed = -5,
  kErrRetryOnce = -11,
};

// Hands a pushed record over as ReceivePush does: as much as *length
// allows, NUL-terminated when there is room; *length becomes the bytes.
inline int CopyPushRecord(const std::string &record, char *buffer, int *length) {
  const int size = std::min(int(record.size()), *length);
  memcpy(buffer, record.data(), size_t(size));
  if (size < *length) buffer[size] = '\0';
  *length = size;
  return 0;
}

class BrokerEndpoint {
 public:
  virtual ~BrokerEndpoint() = default;
  // The login line; the answer (NUL-terminated, at most answerSize - 1
  // bytes) goes to answer. 0 or a library error code.
  virtual int Open(const char *brokerId, const char *address, int port, const char *line, char *answer,
                   int answerSize) = 0;
  virtual int Send(const char *line, char *answer, int answerSize) = 0;
  // Pushed records waiting.
  virtual int PushCount() = 0;
  // One pushed record into buffer; *length: the room in, the bytes out.
  virtual int ReceivePush(char *buffer, int *length) = 0;
  // 3 to 5 connected, 6 broken and reconnecting, others lost.
  virtual int ConnectionStatus() = 0;
  virtual void Close() = 0;
  // The text of a library error code.
  virtual void ErrorMessage(int code, char *text, int size) = 0;
  // The portal gateway's list of trading servers for an account: up to max
  // "address" and port pairs; returns the count or a negative error.
  virtual int SwitchList(const char *account, char (*addresses)[32], int *ports, int max) = 0;
};

}  // namespace sim

// The stand-in libraries export these besides their own calls, so a test
// can put an endpoint of its own process behind them (null detaches).
extern "C" typedef void (*KsiSimAttachFn)(sim::BrokerEndpoint *endpoint);
