// Serves the GUI thread's messages until a condition holds, for tests that
// wait for something another thread or the network does.
#pragma once

#include <functional>

namespace testing_support {

// True when the condition held within the time (real milliseconds).
bool PumpUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

}  // namespace testing_support
