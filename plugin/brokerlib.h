// The broker vendor's client library and the portal gateway, bound by name
// at run time.
#pragma once

#include <cstdint>

#include "platform/module.h"
#include "platform/windef.h"

namespace tb {

// The names the client library goes by, and the version it must carry.
constexpr const char *kBrokerLibraryName = "KSInterB2C.dll";
constexpr const char *kBrokerLibraryFallbackName = "KSInterB2CD.dll";
constexpr const char *kBrokerLibraryVersion = "1, 6, 2011, 725";
constexpr const char *kPortalLibraryName = "ksPortalAPI.dll";

struct BrokerApi {
  int (*InitSystem)(int);
  int (*Start)();
  int (*Open)(const char *broker, const char *address, int port, int proxyKind, const char *proxyAddress,
              int proxyPort, const char *proxyUser, const char *proxyPassword, const char *line,
              char *answer);
  int (*SendToServer)(const char *line, char *answer);
  int (*GetErrorMessage)(int code, char *text, int size);
  int (*CheckPushDataArrival)();
  int (*ReceivePushData)(char *buffer, int *length);
  int (*GetConnectionStatus)();
  int (*Close)();
  int (*Stop)();
  int (*CleanUp)();
};

// Finds the library already loaded under either name, else loads it under
// either name, and binds all eleven entry points. False (api cleared) when
// the library or one entry point is missing.
bool BindBrokerLibrary(BrokerApi &api);

// True when the library file's version reads exactly kBrokerLibraryVersion
// (under "\StringFileInfo\080404b0\FileVersion"). name defaults to the
// primary name.
bool CheckBrokerLibraryVersion(const char *name = kBrokerLibraryName);

// Records of the portal gateway.
#pragma pack(push, 1)
struct PortalProxy {
  char user[128];
  char password[64];
  char address[32];
  int32_t port;
  int32_t kind;
};
static_assert(sizeof(PortalProxy) == 232);
struct PortalServer {
  char address[32];
  int32_t port;
};
struct PortalServerList {
  int32_t count;
  PortalServer servers[16];
};
static_assert(sizeof(PortalServerList) == 580);
#pragma pack(pop)

struct PortalApi {
  int (*InitInstance)(PortalProxy proxy, PortalServerList gateways, int a, int b);
  int (*GetSwitchList)(const char *account, int a, PortalServerList *servers, int timeoutMs, int b);
  int (*RestoralContext)(const char *account);
  int (*GetErrorDescribe)(int code, char *text, int size);
};

bool BindPortalLibrary(PortalApi &api);

}  // namespace tb
