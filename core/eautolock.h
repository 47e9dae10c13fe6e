// A scoped hold on a critical section, around every access to a structure
// that a worker thread also touches.
#pragma once

#include "platform/kernel.h"

class EAutoLock {
 public:
  explicit EAutoLock(CRITICAL_SECTION *section) : m_section(section) { m_held = Lock(); }
  ~EAutoLock() {
    if (m_held) LeaveCriticalSection(m_section);
  }
  EAutoLock(const EAutoLock &) = delete;
  EAutoLock &operator=(const EAutoLock &) = delete;

  int32_t Lock() {
    EnterCriticalSection(m_section);
    return 1;
  }

 private:
  int32_t m_held;
  CRITICAL_SECTION *m_section;
};
