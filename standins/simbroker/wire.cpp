#include "standins/simbroker/wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace sim::wire {

namespace {

bool ReadAll(int socket, void *data, size_t size) {
  auto *at = static_cast<char *>(data);
  while (size > 0) {
    const ssize_t got = recv(socket, at, size, 0);
    if (got <= 0) return false;
    at += got;
    size -= size_t(got);
  }
  return true;
}

bool WriteAll(int socket, const void *data, size_t size) {
  const auto *at = static_cast<const char *>(data);
  while (size > 0) {
    const ssize_t sent = send(socket, at, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    at += sent;
    size -= size_t(sent);
  }
  return true;
}

void PutU32(std::string &out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += char((value >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const char *at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t(static_cast<unsigned char>(at[i])) << (8 * i);
  return value;
}

bool Write(int socket, const Frame &frame, bool call) {
  std::string body;
  if (call) body += char(frame.op);
  PutU32(body, uint32_t(frame.value));
  for (const auto &text : frame.strings) {
    PutU32(body, uint32_t(text.size()));
    body += text;
  }
  std::string out;
  PutU32(out, uint32_t(body.size()));
  out += body;
  return WriteAll(socket, out.data(), out.size());
}

bool Read(int socket, Frame &frame, bool call) {
  char head[4];
  if (!ReadAll(socket, head, 4)) return false;
  const uint32_t size = GetU32(head);
  const uint32_t fixed = call ? 5 : 4;
  if (size < fixed || size > kMaxFrame) return false;
  std::string body(size, '\0');
  if (!ReadAll(socket, body.data(), size)) return false;
  const char *at = body.data();
  const char *end = at + size;
  frame = Frame{};
  if (call) frame.op = uint8_t(*at++);
  frame.value = int32_t(GetU32(at));
  at += 4;
  while (at < end) {
    if (end - at < 4) return false;
    const uint32_t length = GetU32(at);
    at += 4;
    if (length > uint32_t(end - at)) return false;
    frame.strings.emplace_back(at, length);
    at += length;
  }
  return true;
}

// Copies a text into a caller's buffer of size bytes, NUL-terminated.
void CopyOut(const std::string &text, char *out, int size) {
  if (!out || size <= 0) return;
  const size_t length = std::min(text.size(), size_t(size - 1));
  memcpy(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace

bool ReadCall(int socket, Frame &frame) { return Read(socket, frame, true); }
bool ReadAnswer(int socket, Frame &frame) { return Read(socket, frame, false); }
bool WriteCall(int socket, const Frame &frame) { return Write(socket, frame, true); }
bool WriteAnswer(int socket, const Frame &frame) { return Write(socket, frame, false); }

int ConnectTo(const char *address, int port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(uint16_t(port));
  if (!address || inet_pton(AF_INET, address, &where.sin_addr) != 1) return -1;
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  if (connect(s, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0) {
    close(s);
    return -1;
  }
  const int on = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return s;
}

RemoteEndpoint::RemoteEndpoint(int socket) : m_socket(socket) {}

RemoteEndpoint::~RemoteEndpoint() {
  if (m_socket >= 0) close(m_socket);
}

bool RemoteEndpoint::Call(const Frame &call, Frame &answer) {
  std::lock_guard guard(m_lock);
  if (m_socket < 0) return false;
  if (WriteCall(m_socket, call) && ReadAnswer(m_socket, answer)) return true;
  close(m_socket);
  m_socket = -1;
  return false;
}

int RemoteEndpoint::Open(const char *brokerId, const char *address, int port, const char *line, char *answer,
                         int answerSize) {
  Frame reply;
  if (!Call(Frame{kOpen, port, {brokerId ? brokerId : "", address ? address : "", line ? line : ""}}, reply))
    return kErrLinkFailed;
  CopyOut(reply.strings.empty() ? "" : reply.strings[0], answer, answerSize);
  return reply.value;
}

int RemoteEndpoint::Send(const char *line, char *answer, int answerSize) {
  Frame reply;
  if (!Call(Frame{kSend, 0, {line ? line : ""}}, reply)) return kErrLinkFailed;
  CopyOut(reply.strings.empty() ? "" : reply.strings[0], answer, answerSize);
  return reply.value;
}

int RemoteEndpoint::PushCount() {
  Frame reply;
  return Call(Frame{kPushCount, 0, {}}, reply) ? reply.value : 0;
}

int RemoteEndpoint::ReceivePush(char *buffer, int *length) {
  if (!buffer || !length || *length <= 0) return kErrBadRequest;
  Frame reply;
  if (!Call(Frame{kReceivePush, *length, {}}, reply)) return kErrLinkFailed;
  if (reply.value != 0) return reply.value;
  return CopyPushRecord(reply.strings.empty() ? std::string() : reply.strings[0], buffer, length);
}

int RemoteEndpoint::ConnectionStatus() {
  Frame reply;
  return Call(Frame{kStatus, 0, {}}, reply) ? reply.value : 0;
}

void RemoteEndpoint::Close() {
  Frame reply;
  Call(Frame{kClose, 0, {}}, reply);
}

void RemoteEndpoint::ErrorMessage(int code, char *text, int size) {
  Frame reply;
  if (Call(Frame{kErrorMessage, code, {}}, reply) && !reply.strings.empty())
    CopyOut(reply.strings[0], text, size);
  else
    CopyOut("与交易服务器的连接中断", text, size);
}

int RemoteEndpoint::SwitchList(const char *account, char (*addresses)[32], int *ports, int max) {
  Frame reply;
  if (!Call(Frame{kSwitchList, max, {account ? account : ""}}, reply)) return kErrLinkFailed;
  int count = 0;
  for (size_t i = 0; i + 1 < reply.strings.size() && count < max; i += 2, ++count) {
    CopyOut(reply.strings[i], addresses[count], 32);
    ports[count] = atoi(reply.strings[i + 1].c_str());
  }
  return reply.value < 0 ? reply.value : count;
}

}  // namespace sim::wire
