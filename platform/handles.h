// Kernel object handles (files, events, threads, find searches): one table
// for all of them, so CloseHandle works on any. Values fit in 32 bits because
// callers keep file handles in 32-bit fields.
#pragma once

#include <memory>

#include "platform/windef.h"

namespace platform {

struct KernelObject {
  virtual ~KernelObject() = default;
};

// Returns null (and sets ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
// Null (and ERROR_INVALID_HANDLE) for a closed, unknown or pseudo handle.
std::shared_ptr<KernelObject> ReferenceHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> ReferenceHandleAs(HANDLE handle) {
  auto object = std::dynamic_pointer_cast<T>(ReferenceHandle(handle));
  if (!object && handle) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace platform

// Drops the handle; the object lives on while someone still uses it.
BOOL CloseHandle(HANDLE handle);
