// The simulator's own wire between the broker library stand-in and the
// simulator program: each call of an endpoint travels as one frame and is
// answered by one frame. Frames: a 32-bit length of what follows, then for
// a call an operation byte, a 32-bit argument and strings; for an answer a
// 32-bit result and strings. Each string is a 32-bit length and its bytes.
// All numbers are little-endian.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "standins/simbroker/broker_endpoint.h"

namespace sim::wire {

enum Op : uint8_t {
  kOpen = 1,
  kSend,
  kPushCount,
  kReceivePush,
  kStatus,
  kClose,
  kErrorMessage,
  kSwitchList,
};

// Frames larger than this are refused: nothing the broker says is larger.
constexpr uint32_t kMaxFrame = 1 << 20;

struct Frame {
  uint8_t op = 0;
  int32_t value = 0;  // the argument of a call, the result of an answer
  std::vector<std::string> strings;
};

// False when the peer closed or sent a frame that is not one.
bool ReadCall(int socket, Frame &frame);
bool ReadAnswer(int socket, Frame &frame);
bool WriteCall(int socket, const Frame &frame);
bool WriteAnswer(int socket, const Frame &frame);

// A connected socket to address:port (dotted), or -1.
int ConnectTo(const char *address, int port);

// An endpoint on the far side of the wire. Every call is one exchange,
// one at a time; a broken wire makes every call fail with kErrLinkFailed
// and the connection state read as lost.
class RemoteEndpoint : public BrokerEndpoint {
 public:
  // Takes a connected socket.
  explicit RemoteEndpoint(int socket);
  ~RemoteEndpoint() override;

  int Open(const char *brokerId, const char *address, int port, const char *line, char *answer,
           int answerSize) override;
  int Send(const char *line, char *answer, int answerSize) override;
  int PushCount() override;
  int ReceivePush(char *buffer, int *length) override;
  int ConnectionStatus() override;
  void Close() override;
  void ErrorMessage(int code, char *text, int size) override;
  int SwitchList(const char *account, char (*addresses)[32], int *ports, int max) override;

 private:
  bool Call(const Frame &call, Frame &answer);
  std::mutex m_lock;
  int m_socket;
};

}  // namespace sim::wire
