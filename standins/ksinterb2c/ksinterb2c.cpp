// Stand-in for the broker vendor's client library. Behind it is the
// simulated broker: in the caller's own process when a test attaches one,
// else the simulator program at the server address the login names.
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/version.h"
#include "standins/simbroker/broker_endpoint.h"
#include "standins/simbroker/wire.h"

#ifndef KSI_FILE_VERSION
#define KSI_FILE_VERSION "1, 6, 2011, 725"
#endif
KIVO_VERSION_STRING("\\StringFileInfo\\080404b0\\FileVersion", KSI_FILE_VERSION);
KIVO_VERSION_STRING("\\StringFileInfo\\080404b0\\ProductName", "B2C client library (simulated)");

#define KSI_API extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_lock;
sim::BrokerEndpoint *g_attached = nullptr;
// The connection of the last login; calls hold it while they run, so a
// stuck call keeps it alive through a new login.
std::shared_ptr<sim::BrokerEndpoint> g_active;
bool g_started = false;

std::shared_ptr<sim::BrokerEndpoint> Active() {
  std::lock_guard guard(g_lock);
  return g_active;
}

void ErrorText(int code, char *text, int size) {
  if (!text || size <= 0) return;
  const char *message = "交易接口未初始化";
  if (code == sim::kErrNotConnected) message = "未连接到交易服务器";
  if (code == sim::kErrLinkFailed) message = "无法连接交易服务器";
  snprintf(text, size_t(size), "%s", message);
}

}  // namespace

KSI_API void KSISim_Attach(sim::BrokerEndpoint *endpoint) {
  std::lock_guard guard(g_lock);
  g_attached = endpoint;
}

KSI_API int KSI_InitSystem_B2C(int) { return 0; }

KSI_API int KSI_Start_B2C() {
  std::lock_guard guard(g_lock);
  g_started = true;
  return 0;
}

KSI_API int KSI_Open_B2C(const char *broker, const char *address, int port, int, const char *, int, const char *,
                         const char *, const char *line, char *answer) {
  if (answer) answer[0] = '\0';
  std::shared_ptr<sim::BrokerEndpoint> endpoint;
  {
    std::lock_guard guard(g_lock);
    if (!g_started) return sim::kErrNotConnected;
    if (g_attached) endpoint = std::shared_ptr<sim::BrokerEndpoint>(g_attached, [](sim::BrokerEndpoint *) {});
  }
  if (!endpoint) {
    const int s = sim::wire::ConnectTo(address, port);
    if (s < 0) return sim::kErrLinkFailed;
    endpoint = std::make_shared<sim::wire::RemoteEndpoint>(s);
  }
  {
    std::lock_guard guard(g_lock);
    g_active = endpoint;
  }
  return endpoint->Open(broker, address, port, line, answer, sim::kAnswerSize);
}

KSI_API int KSI_SendToServer_B2C(const char *line, char *answer) {
  if (answer) answer[0] = '\0';
  auto endpoint = Active();
  return endpoint ? endpoint->Send(line, answer, sim::kAnswerSize) : sim::kErrNotConnected;
}

KSI_API int KSI_GetErrorMessage_B2C(int code, char *text, int size) {
  auto endpoint = Active();
  if (endpoint)
    endpoint->ErrorMessage(code, text, size);
  else
    ErrorText(code, text, size);
  return 0;
}

KSI_API int KSI_CheckPushDataArrival_B2C() {
  auto endpoint = Active();
  return endpoint ? endpoint->PushCount() : 0;
}

KSI_API int KSI_ReceivePushData_B2C(char *buffer, int *length) {
  auto endpoint = Active();
  return endpoint ? endpoint->ReceivePush(buffer, length) : sim::kErrNotConnected;
}

KSI_API int KSI_GetConnectionStatus_B2C() {
  auto endpoint = Active();
  return endpoint ? endpoint->ConnectionStatus() : 0;
}

KSI_API int KSI_Close_B2C() {
  std::shared_ptr<sim::BrokerEndpoint> endpoint;
  {
    std::lock_guard guard(g_lock);
    endpoint.swap(g_active);
  }
  if (endpoint) endpoint->Close();
  return 0;
}

KSI_API int KSI_Stop_B2C() {
  std::lock_guard guard(g_lock);
  g_started = false;
  return 0;
}

KSI_API int KSI_CleanUp_B2C() { return 0; }
