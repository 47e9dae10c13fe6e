// Messages that cross threads while the receiving thread makes and destroys
// its windows.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/kernel.h"
#include "platform/winuser.h"
#include "testing/fake_clock.h"

namespace {

constexpr UINT kPing = WM_USER + 1;

LRESULT Answer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing) return 7;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

const char *ChurnClass() {
  static const char *name = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Answer;
    wc.lpszClassName = "KivoChurn";
    RegisterClassA(&wc);
    return "KivoChurn";
  }();
  return name;
}

// What the other threads saw: every call either reached the window or failed
// the way a dead window fails.
struct Outcomes {
  std::atomic<int> delivered{0};
  std::atomic<int> refused{0};
  std::atomic<int> wrong{0};
};

TEST(WindowThreads, PostAndSendToAWindowBeingDestroyedFailCleanly) {
  const char *cls = ChurnClass();
  std::atomic<HWND> current{nullptr};
  std::atomic<bool> stop{false};
  std::atomic<DWORD> ownerId{0};
  Outcomes posts, sends, owners;
  enum Call { kPost, kSend, kAskOwner };
  const Call calls[] = {kPost, kPost, kSend, kAskOwner};
  auto hits = [&] { return posts.delivered.load() + sends.delivered.load(); };

  // The owner makes a window, lets the others aim at it, answers what they
  // sent and destroys it, again and again.
  std::thread owner([&] {
    ownerId = GetCurrentThreadId();
    // A bounded drain: the others post faster than one thread takes.
    auto serve = [] {
      MSG msg;
      for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) DispatchMessageA(&msg);
    };
    for (int round = 0; round < 2000; ++round) {
      HWND hwnd = CreateWindowExA(0, cls, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
      current = hwnd;
      // Making a window takes longer than serving one, so the others find
      // mostly dead windows: the first windows wait until one call got
      // through, the very first however long the others take to be given
      // a processor.
      serve();
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(round == 0 ? 10 : 0);
      for (int spin = 0; hits() == 0 && (spin < 100 || std::chrono::steady_clock::now() < until); ++spin) {
        std::this_thread::yield();
        serve();
      }
      DestroyWindow(hwnd);
      serve();
    }
    stop = true;
  });

  auto aim = [&](Call call) {
    while (!stop) {
      HWND hwnd = current.load();
      if (!hwnd) continue;
      SetLastError(0);
      if (call == kAskOwner) {
        DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
        bool gone = thread == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE;
        ++(thread == ownerId ? owners.delivered : gone ? owners.refused : owners.wrong);
      } else if (call == kSend) {
        LRESULT answer = SendMessageA(hwnd, kPing, 0, 0);
        // A send queued before the window died is answered 0.
        auto &counter = answer == 7 ? sends.delivered : answer == 0 ? sends.refused : sends.wrong;
        ++counter;
      } else if (PostMessageA(hwnd, kPing, 0, 0)) {
        ++posts.delivered;
      } else {
        ++(GetLastError() == ERROR_INVALID_WINDOW_HANDLE ? posts.refused : posts.wrong);
      }
    }
  };
  std::vector<std::thread> others;
  for (Call call : calls) others.emplace_back(aim, call);
  owner.join();
  for (auto &t : others) t.join();

  EXPECT_EQ(posts.wrong.load(), 0);
  EXPECT_EQ(sends.wrong.load(), 0);
  EXPECT_EQ(owners.wrong.load(), 0);
  EXPECT_GT(posts.delivered.load() + sends.delivered.load(), 0);
}

TEST(WindowThreads, AWindowOfAnotherThreadCanBeNeitherParentNorOwner) {
  const char *cls = ChurnClass();
  HWND mine = CreateWindowExA(0, cls, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(mine);
  for (DWORD style : {DWORD(WS_CHILD), DWORD(WS_POPUP)}) {
    SCOPED_TRACE(style);
    HWND made = nullptr;
    DWORD error = 0;
    std::thread([&] {
      made = CreateWindowExA(0, cls, "", style, 0, 0, 10, 10, mine, nullptr, nullptr, nullptr);
      error = GetLastError();
      if (made) DestroyWindow(made);
    }).join();
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  }
  HWND moved = mine;
  DWORD error = 0;
  std::thread([&] {
    HWND theirs = CreateWindowExA(0, cls, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    moved = SetParent(theirs, mine);
    error = GetLastError();
    DestroyWindow(theirs);
  }).join();
  EXPECT_EQ(moved, nullptr);
  EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(GetWindow(mine, GW_CHILD), nullptr);
  EXPECT_TRUE(DestroyWindow(mine));
}

TEST(WindowThreads, AWorkersTimerFiresWhenThePlatformClockPassesIt) {
  ScopedFakeClock clock;
  const ULONGLONG start = GetTickCount64();
  std::atomic<bool> done{false};
  MSG got{};
  std::thread worker([&] {
    UINT_PTR id = SetTimer(nullptr, 0, 3'600'000, nullptr);
    GetMessageA(&got, nullptr, 0, 0);  // idle until the timer is due
    KillTimer(nullptr, id);
    done = true;
  });
  while (!done) {
    clock.Advance(60'000);
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(got.message, UINT(WM_TIMER));
  EXPECT_GE(GetTickCount64() - start, 3'600'000u);
}

}  // namespace
