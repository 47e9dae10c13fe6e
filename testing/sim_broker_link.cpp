#include "testing/sim_broker_link.h"

#include "platform/iphlpapi.h"

namespace testing_support {

namespace {

void Attach(HMODULE module, const char *name, sim::BrokerEndpoint *endpoint) {
  if (auto attach = reinterpret_cast<KsiSimAttachFn>(GetProcAddress(module, name))) attach(endpoint);
}

}  // namespace

SimBrokerLink::SimBrokerLink(const std::string &script) {
  platform::SetFixedAdapters({{"eth0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}});
  m_broker.LoadScript(script);
  m_client = m_broker.Connect();
  m_library = LoadLibraryA("KSInterB2C.dll");
  m_portal = LoadLibraryA("ksPortalAPI.dll");
  Attach(m_library, "KSISim_Attach", m_client.get());
  Attach(m_portal, "PAPISim_Attach", m_client.get());
  m_attached = m_library && GetProcAddress(m_library, "KSISim_Attach");
}

SimBrokerLink::~SimBrokerLink() {
  // A connection the library still holds must not outlive the client.
  if (auto close = reinterpret_cast<int (*)()>(GetProcAddress(m_library, "KSI_Close_B2C"))) close();
  Attach(m_library, "KSISim_Attach", nullptr);
  Attach(m_portal, "PAPISim_Attach", nullptr);
  if (m_library) FreeLibrary(m_library);
  if (m_portal) FreeLibrary(m_portal);
  platform::ClearFixedAdapters();
}

}  // namespace testing_support
