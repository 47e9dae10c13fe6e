// Stand-in for the portal gateway library: it hands out the trading
// servers of the simulated broker for an account.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/version.h"
#include "standins/simbroker/broker_endpoint.h"
#include "standins/simbroker/wire.h"

KIVO_VERSION_STRING("\\StringFileInfo\\080404b0\\ProductName", "portal gateway (simulated)");

#define PAPI_API extern "C" __attribute__((visibility("default")))

namespace {

#pragma pack(push, 1)
struct Proxy {
  char user[128];
  char password[64];
  char address[32];
  int32_t port;
  int32_t kind;
};
struct ServerList {
  int32_t count;
  struct {
    char address[32];
    int32_t port;
  } servers[16];
};
#pragma pack(pop)
static_assert(sizeof(Proxy) == 232 && sizeof(ServerList) == 580);

enum : int { kNoGateway = 1, kNoList = 2 };

std::mutex g_lock;
sim::BrokerEndpoint *g_attached = nullptr;
ServerList g_gateways{};

}  // namespace

PAPI_API void PAPISim_Attach(sim::BrokerEndpoint *endpoint) {
  std::lock_guard guard(g_lock);
  g_attached = endpoint;
}

PAPI_API int PAPI_InitInstance(Proxy, ServerList gateways, int, int) {
  std::lock_guard guard(g_lock);
  g_gateways = gateways;
  return gateways.count > 0 && gateways.count <= 16 ? 0 : kNoGateway;
}

PAPI_API int PAPI_GetSwitchList(const char *account, int, ServerList *list, int, int) {
  if (!list) return kNoList;
  memset(list, 0, sizeof *list);
  char addresses[16][32];
  int ports[16];
  int count = -1;
  sim::BrokerEndpoint *attached;
  ServerList gateways;
  {
    std::lock_guard guard(g_lock);
    attached = g_attached;
    gateways = g_gateways;
  }
  if (attached) {
    count = attached->SwitchList(account, addresses, ports, 16);
  } else {
    for (int i = 0; i < gateways.count && i < 16 && count < 0; ++i) {
      char address[33] = {};
      memcpy(address, gateways.servers[i].address, 32);
      const int s = sim::wire::ConnectTo(address, gateways.servers[i].port);
      if (s < 0) continue;
      sim::wire::RemoteEndpoint remote(s);
      count = remote.SwitchList(account, addresses, ports, 16);
    }
  }
  if (count < 0) return kNoList;
  list->count = count;
  for (int i = 0; i < count; ++i) {
    memcpy(list->servers[i].address, addresses[i], 32);
    list->servers[i].port = ports[i];
  }
  return 0;
}

PAPI_API int PAPI_RestoralContext(const char *) { return 0; }

PAPI_API int PAPI_GetErrorDescribe(int code, char *text, int size) {
  if (!text || size <= 0) return 0;
  const char *message = code == kNoGateway ? "没有可用的门户网关" : code == kNoList ? "获取交易服务器列表失败" : "门户网关错误";
  snprintf(text, size_t(size), "%s", message);
  return 0;
}
