#include "platform/handles.h"

#include <mutex>
#include <vector>

namespace platform {
namespace {

// Slot i has the handle value (i + 1) * 4, as the originals' are multiples of 4.
constexpr size_t kMaxHandles = 1 << 24;

struct HandleTable {
  std::mutex lock;
  std::vector<std::shared_ptr<KernelObject>> slots;
  std::vector<size_t> free;
};

HandleTable &Table() {
  static HandleTable *table = new HandleTable;  // lives past static destruction
  return *table;
}

bool SlotOf(HANDLE handle, size_t &slot) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value == 0 || (value & 3) != 0 || value > kMaxHandles * 4) return false;
  slot = value / 4 - 1;
  return true;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  auto &table = Table();
  std::lock_guard guard(table.lock);
  size_t slot;
  if (!table.free.empty()) {
    slot = table.free.back();
    table.free.pop_back();
    table.slots[slot] = std::move(object);
  } else {
    if (table.slots.size() >= kMaxHandles) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    slot = table.slots.size();
    table.slots.push_back(std::move(object));
  }
  return reinterpret_cast<HANDLE>((slot + 1) * 4);
}

std::shared_ptr<KernelObject> ReferenceHandle(HANDLE handle) {
  auto &table = Table();
  size_t slot;
  if (SlotOf(handle, slot)) {
    std::lock_guard guard(table.lock);
    if (slot < table.slots.size() && table.slots[slot]) return table.slots[slot];
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle) {
  using namespace platform;
  auto &table = Table();
  size_t slot;
  std::shared_ptr<KernelObject> dropped;  // destroyed outside the lock
  if (SlotOf(handle, slot)) {
    std::lock_guard guard(table.lock);
    if (slot < table.slots.size() && table.slots[slot]) {
      dropped = std::move(table.slots[slot]);
      table.free.push_back(slot);
    }
  }
  if (!dropped) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
