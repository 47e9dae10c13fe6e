// The simulated broker put behind the broker library stand-in (and the
// portal gateway stand-in) for as long as the object lives, in the test's
// own process. The machine's adapter list is replaced by one adapter with
// the address 00-1A-2B-3C-4D-5E, so request lines are the same everywhere.
#pragma once

#include <memory>
#include <string>

#include "platform/module.h"
#include "standins/simbroker/simbroker.h"

namespace testing_support {

constexpr const char *kSimAdapter = "001A2B3C4D5E";

class SimBrokerLink {
 public:
  explicit SimBrokerLink(const std::string &script = sim::SimBroker::DefaultScript());
  ~SimBrokerLink();
  SimBrokerLink(const SimBrokerLink &) = delete;
  SimBrokerLink &operator=(const SimBrokerLink &) = delete;

  sim::SimBroker &Broker() { return m_broker; }
  sim::SimClient &Client() { return *m_client; }
  bool Attached() const { return m_attached; }

 private:
  sim::SimBroker m_broker;
  std::unique_ptr<sim::SimClient> m_client;
  HMODULE m_library = nullptr;
  HMODULE m_portal = nullptr;
  bool m_attached = false;
};

}  // namespace testing_support
