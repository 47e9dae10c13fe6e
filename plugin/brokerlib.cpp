#include "plugin/brokerlib.h"

#include <cstring>
#include <vector>

#include "platform/version.h"

namespace tb {

namespace {

HMODULE FindOrLoad(const char *primary, const char *fallback) {
  HMODULE module = GetModuleHandleA(primary);
  if (!module && fallback) module = GetModuleHandleA(fallback);
  if (!module) module = LoadLibraryA(primary);
  if (!module && fallback) module = LoadLibraryA(fallback);
  return module;
}

template <class Entry>
bool Bind(HMODULE module, const char *name, Entry &entry) {
  entry = reinterpret_cast<Entry>(GetProcAddress(module, name));
  return entry != nullptr;
}

}  // namespace

bool BindBrokerLibrary(BrokerApi &api) {
  api = BrokerApi{};
  HMODULE module = FindOrLoad(kBrokerLibraryName, kBrokerLibraryFallbackName);
  if (!module) return false;
  BrokerApi bound{};
  const bool all = Bind(module, "KSI_InitSystem_B2C", bound.InitSystem) &&
                   Bind(module, "KSI_Start_B2C", bound.Start) && Bind(module, "KSI_Open_B2C", bound.Open) &&
                   Bind(module, "KSI_SendToServer_B2C", bound.SendToServer) &&
                   Bind(module, "KSI_GetErrorMessage_B2C", bound.GetErrorMessage) &&
                   Bind(module, "KSI_CheckPushDataArrival_B2C", bound.CheckPushDataArrival) &&
                   Bind(module, "KSI_ReceivePushData_B2C", bound.ReceivePushData) &&
                   Bind(module, "KSI_GetConnectionStatus_B2C", bound.GetConnectionStatus) &&
                   Bind(module, "KSI_Close_B2C", bound.Close) && Bind(module, "KSI_Stop_B2C", bound.Stop) &&
                   Bind(module, "KSI_CleanUp_B2C", bound.CleanUp);
  if (all) api = bound;
  return all;
}

bool CheckBrokerLibraryVersion(const char *name) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(name, &handle);
  if (size == 0) return false;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(name, handle, size, block.data())) return false;
  LPVOID value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\StringFileInfo\\080404b0\\FileVersion", &value, &length) || !value)
    return false;
  return strcmp(static_cast<const char *>(value), kBrokerLibraryVersion) == 0;
}

bool BindPortalLibrary(PortalApi &api) {
  api = PortalApi{};
  HMODULE module = FindOrLoad(kPortalLibraryName, nullptr);
  if (!module) return false;
  PortalApi bound{};
  const bool all = Bind(module, "PAPI_InitInstance", bound.InitInstance) &&
                   Bind(module, "PAPI_GetSwitchList", bound.GetSwitchList) &&
                   Bind(module, "PAPI_RestoralContext", bound.RestoralContext) &&
                   Bind(module, "PAPI_GetErrorDescribe", bound.GetErrorDescribe);
  if (all) api = bound;
  return all;
}

}  // namespace tb
