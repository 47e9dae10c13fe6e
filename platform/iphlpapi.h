// The IP helper's adapter list: the machine's network adapters with their
// hardware addresses, loopback left out, in the order the system numbers
// them. Tests fix the list so that request lines do not depend on the
// machine.
#pragma once

#include <string>
#include <vector>

#include "platform/windef.h"

constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_NO_DATA = 232;
constexpr UINT MAX_ADAPTER_ADDRESS_LENGTH = 8;
constexpr UINT MAX_ADAPTER_NAME_LENGTH = 256;

// Only the fields the system reads are kept.
struct IP_ADAPTER_INFO {
  IP_ADAPTER_INFO *Next;
  DWORD ComboIndex;
  char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
  UINT AddressLength;
  BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
  DWORD Index;
};
typedef IP_ADAPTER_INFO *PIP_ADAPTER_INFO;

// Fills a chain of records into the buffer. ERROR_BUFFER_OVERFLOW with
// *size set to the bytes needed when the buffer is too small (or null);
// ERROR_NO_DATA when the machine has no adapter besides loopback.
DWORD GetAdaptersInfo(PIP_ADAPTER_INFO info, ULONG *size);

namespace platform {

struct FixedAdapter {
  std::string name;
  BYTE address[6];
};
// Puts a fixed list in place of the machine's (an empty list means none);
// ClearFixedAdapters puts the machine's back.
void SetFixedAdapters(const std::vector<FixedAdapter> &adapters);
void ClearFixedAdapters();

}  // namespace platform
