// Waiting for other threads to do all they can for now, for tests whose code
// runs on threads of its own while the test moves a fake clock or stands in
// for a user. Each wait looks at the threads' states in /proc instead of
// guessing how much real time a thread needs, so a slow or busy machine
// changes how long the wait takes, never what the test sees afterwards.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>

class FakeClock;

namespace testing_support {

// The kernel's id of the calling thread.
pid_t ThreadId();

// True once the thread (a ThreadId) is blocked: asleep in the kernel, or
// gone. False when it was still running after timeoutMs of real time.
bool WaitForThreadToBlock(pid_t thread, int timeoutMs = 10000);

// True once every other thread of the process is blocked and none of them
// ran between two looks: whatever they do next waits for something the
// calling thread does (a message it serves, a clock it moves). False when
// that did not happen within timeoutMs of real time.
bool WaitForOtherThreadsToBlock(int timeoutMs = 10000);

// Moves the clock on by stepMs at a time until done() holds or limitMs have
// passed, and after each step lets the other threads do what that step
// allows; the time moved on. When a thread never settles (it spins), the
// steps go on without waiting, so the test's own checks report it.
uint64_t AdvanceUntil(FakeClock &clock, const std::function<bool()> &done, uint64_t stepMs, uint64_t limitMs);

}  // namespace testing_support
