#include "platform/iphlpapi.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>

namespace {

struct Adapter {
  std::string name;
  BYTE address[6];
  DWORD index;
};

std::mutex g_lock;
std::optional<std::vector<platform::FixedAdapter>> g_fixed;

bool ParseMac(const std::string &text, BYTE out[6]) {
  unsigned v[6];
  if (sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
    return false;
  bool any = false;
  for (int i = 0; i < 6; ++i) {
    out[i] = BYTE(v[i]);
    any = any || v[i] != 0;
  }
  return any;
}

std::string ReadLine(const std::string &path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// Every interface with a hardware address other than zero (loopback has
// none), by interface number.
std::vector<Adapter> MachineAdapters() {
  std::vector<Adapter> adapters;
  DIR *listing = opendir("/sys/class/net");
  if (!listing) return adapters;
  while (dirent *entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || name == "lo") continue;
    const std::string base = "/sys/class/net/" + name;
    Adapter adapter{name, {}, 0};
    if (!ParseMac(ReadLine(base + "/address"), adapter.address)) continue;
    adapter.index = DWORD(strtoul(ReadLine(base + "/ifindex").c_str(), nullptr, 10));
    adapters.push_back(adapter);
  }
  closedir(listing);
  std::sort(adapters.begin(), adapters.end(),
            [](const Adapter &a, const Adapter &b) { return a.index < b.index; });
  return adapters;
}

std::vector<Adapter> CurrentAdapters() {
  {
    std::lock_guard guard(g_lock);
    if (g_fixed) {
      std::vector<Adapter> adapters;
      DWORD index = 1;
      for (const auto &fixed : *g_fixed) {
        Adapter adapter{fixed.name, {}, index++};
        memcpy(adapter.address, fixed.address, 6);
        adapters.push_back(adapter);
      }
      return adapters;
    }
  }
  return MachineAdapters();
}

}  // namespace

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO info, ULONG *size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  const std::vector<Adapter> adapters = CurrentAdapters();
  if (adapters.empty()) return ERROR_NO_DATA;
  const ULONG needed = ULONG(adapters.size() * sizeof(IP_ADAPTER_INFO));
  if (!info || *size < needed) {
    *size = needed;
    return ERROR_BUFFER_OVERFLOW;
  }
  for (size_t i = 0; i < adapters.size(); ++i) {
    IP_ADAPTER_INFO &record = info[i];
    memset(&record, 0, sizeof record);
    record.Next = i + 1 < adapters.size() ? &info[i + 1] : nullptr;
    record.ComboIndex = adapters[i].index;
    record.Index = adapters[i].index;
    snprintf(record.AdapterName, sizeof record.AdapterName, "%s", adapters[i].name.c_str());
    record.AddressLength = 6;
    memcpy(record.Address, adapters[i].address, 6);
  }
  return ERROR_SUCCESS;
}

namespace platform {

void SetFixedAdapters(const std::vector<FixedAdapter> &adapters) {
  std::lock_guard guard(g_lock);
  g_fixed = adapters;
}

void ClearFixedAdapters() {
  std::lock_guard guard(g_lock);
  g_fixed.reset();
}

}  // namespace platform
