#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/kernel.h"
#include "testing/fake_clock.h"
#include "testing/settle.h"

namespace {

TEST(Events, AutoResetReleasesOneWaitManualResetStaysSignalled) {
  HANDLE autoEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  CloseHandle(autoEvent);
  CloseHandle(manual);
}

TEST(Events, WaitForMultipleAnyAllAndTimeOut) {
  HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  {
    // The time-out runs on the platform clock: an hour passes when the fake
    // clock says so, not before.
    ScopedFakeClock clock;
    const ULONGLONG start = GetTickCount64();
    std::atomic<DWORD> result{WAIT_FAILED};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
      result = WaitForMultipleObjects(2, events, FALSE, 3'600'000);
      done = true;
    });
    while (!done) {
      clock.Advance(60'000);
      std::this_thread::yield();
    }
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount64() - start, 3'600'000u);
  }
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);  // one is not enough
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  std::thread setter([&] {
    SetEvent(events[0]);
    SetEvent(events[1]);
  });
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 5000), WAIT_OBJECT_0);
  setter.join();
  EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_TIMEOUT);  // consumed by the wait for all
  for (HANDLE h : events) CloseHandle(h);
}

TEST(Events, AWaitBegunOnTheRealClockCountsItsTimeOutAgainOnAFakeOne) {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<pid_t> waiterId{0};
  std::atomic<bool> done{false};
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] {
    waiterId = testing_support::ThreadId();
    result = WaitForSingleObject(never, 5000);
    done = true;
  });
  while (waiterId == 0) std::this_thread::yield();
  EXPECT_TRUE(testing_support::WaitForThreadToBlock(waiterId)) << "in the real-clock wait";
  {
    // Real ticks count from boot, fake ones from 1000: compared with each
    // other, the time-out would run out only when the fake clock reached
    // the machine's up-time.
    ScopedFakeClock clock;
    testing_support::AdvanceUntil(clock, [&] { return done.load(); }, 500, 20000);
    if (!done) SetEvent(never);  // frees a waiter that missed its time-out
    waiter.join();
  }
  EXPECT_EQ(result.load(), WAIT_TIMEOUT);
  CloseHandle(never);
}

TEST(Events, BadHandlesFailTheWait) {
  HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  CloseHandle(closed);
  EXPECT_EQ(WaitForSingleObject(closed, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForMultipleObjects(0, nullptr, FALSE, 0), WAIT_FAILED);
  EXPECT_FALSE(SetEvent(nullptr));
  EXPECT_FALSE(CloseHandle(closed));
}

DWORD ReturnParameter(LPVOID parameter) { return DWORD(reinterpret_cast<uintptr_t>(parameter)); }

TEST(Threads, ExitCodeAndWaitOnTheThread) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, &id);
  ASSERT_TRUE(thread);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  CloseHandle(thread);
}

TEST(Threads, SuspendedThreadStartsOnResumeAndReportsStillActive) {
  std::atomic<bool> ran{false};
  static std::atomic<bool> *flag;
  flag = &ran;
  HANDLE thread = CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return (*flag = true), 7u; }, nullptr, CREATE_SUSPENDED, nullptr);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
  EXPECT_FALSE(ran);
  ResumeThread(thread);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(ran);
  CloseHandle(thread);
}

TEST(CriticalSections, AreRecursiveAndExclusive) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  std::atomic<bool> other{true};
  std::thread([&] { other = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(other);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  std::thread([&] {
    other = TryEnterCriticalSection(&cs);
    if (other) LeaveCriticalSection(&cs);
  }).join();
  EXPECT_TRUE(other);
  DeleteCriticalSection(&cs);
}

}  // namespace
