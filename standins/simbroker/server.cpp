#include "standins/simbroker/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "standins/simbroker/wire.h"

namespace sim {

SimServer::SimServer(SimBroker &broker) : m_broker(broker) {}

SimServer::~SimServer() { Stop(); }

bool SimServer::Listen(const char *address, int port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(uint16_t(port));
  if (inet_pton(AF_INET, address, &where.sin_addr) != 1) return false;
  m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listener < 0) return false;
  const int on = 1;
  setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  socklen_t length = sizeof where;
  if (bind(m_listener, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 || listen(m_listener, 8) != 0 ||
      getsockname(m_listener, reinterpret_cast<sockaddr *>(&where), &length) != 0) {
    close(m_listener);
    m_listener = -1;
    return false;
  }
  m_port = ntohs(where.sin_port);
  m_acceptor = std::thread([this] { AcceptLoop(); });
  return true;
}

void SimServer::Stop() {
  if (m_stopping.exchange(true)) return;
  if (m_listener >= 0) shutdown(m_listener, SHUT_RDWR);
  if (m_acceptor.joinable()) m_acceptor.join();
  if (m_listener >= 0) close(m_listener);
  m_listener = -1;
  std::vector<std::thread> connections;
  {
    std::lock_guard guard(m_lock);
    for (int s : m_sockets) shutdown(s, SHUT_RDWR);
    connections.swap(m_connections);
  }
  for (auto &connection : connections) connection.join();
}

void SimServer::AcceptLoop() {
  while (!m_stopping.load()) {
    const int s = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (s < 0) {
      if (m_stopping.load()) return;
      continue;
    }
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard guard(m_lock);
    if (m_stopping.load()) {
      close(s);
      return;
    }
    m_sockets.push_back(s);
    m_connections.emplace_back([this, s] { Serve(s); });
  }
}

void SimServer::Serve(int s) {
  std::unique_ptr<SimClient> client = m_broker.Connect();
  wire::Frame call;
  while (wire::ReadCall(s, call)) {
    wire::Frame reply;
    auto text = [&](size_t i) { return i < call.strings.size() ? call.strings[i].c_str() : ""; };
    switch (call.op) {
      case wire::kOpen:
      case wire::kSend: {
        std::string answer(kAnswerSize, '\0');
        reply.value = call.op == wire::kOpen
                          ? client->Open(text(0), text(1), call.value, text(2), answer.data(), kAnswerSize)
                          : client->Send(text(0), answer.data(), kAnswerSize);
        answer.resize(strnlen(answer.data(), answer.size()));
        reply.strings.push_back(answer);
        break;
      }
      case wire::kPushCount:
        reply.value = client->PushCount();
        break;
      case wire::kReceivePush: {
        int length = std::clamp(call.value, 1, kPushSize);
        std::string record(size_t(length), '\0');
        reply.value = client->ReceivePush(record.data(), &length);
        record.resize(reply.value == 0 ? size_t(length) : 0);
        reply.strings.push_back(record);
        break;
      }
      case wire::kStatus:
        reply.value = client->ConnectionStatus();
        break;
      case wire::kClose:
        client->Close();
        break;
      case wire::kErrorMessage: {
        char message[256] = {};
        client->ErrorMessage(call.value, message, sizeof message);
        reply.strings.push_back(message);
        break;
      }
      case wire::kSwitchList: {
        char addresses[16][32];
        int ports[16];
        reply.value = client->SwitchList(text(0), addresses, ports, std::clamp(call.value, 0, 16));
        for (int i = 0; i < reply.value; ++i) {
          reply.strings.push_back(addresses[i]);
          reply.strings.push_back(std::to_string(ports[i]));
        }
        break;
      }
      default:
        reply.value = kErrBadRequest;
        break;
    }
    if (!wire::WriteAnswer(s, reply)) break;
  }
  client->Close();
  std::lock_guard guard(m_lock);
  m_sockets.erase(std::remove(m_sockets.begin(), m_sockets.end(), s), m_sockets.end());
  close(s);
}

}  // namespace sim
