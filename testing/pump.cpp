#include "testing/pump.h"

#include <chrono>
#include <thread>

#include "platform/winuser.h"

namespace testing_support {

bool PumpUntil(const std::function<bool()> &condition, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    platform::ProcessPendingMessages();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace testing_support
