// The simulated broker behind a loopback port: every connection of a
// broker library gets its own client of the broker.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "standins/simbroker/simbroker.h"

namespace sim {

class SimServer {
 public:
  explicit SimServer(SimBroker &broker);
  ~SimServer();
  SimServer(const SimServer &) = delete;
  SimServer &operator=(const SimServer &) = delete;

  // Listens on address:port (port 0 picks a free one); false when the port
  // can't be had.
  bool Listen(const char *address, int port);
  int Port() const { return m_port; }
  // Closes the port and every connection and waits for their threads.
  void Stop();

 private:
  void AcceptLoop();
  void Serve(int socket);

  SimBroker &m_broker;
  int m_listener = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  std::thread m_acceptor;
  std::mutex m_lock;
  std::vector<int> m_sockets;
  std::vector<std::thread> m_connections;
};

}  // namespace sim
