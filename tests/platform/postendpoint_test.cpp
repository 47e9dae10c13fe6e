#include "platform/postendpoint.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/message_trace.h"
#include "testing/pump.h"

using testing_support::MessageTrace;
using testing_support::PumpUntil;

namespace {

constexpr UINT kThemeChanged = WM_DISPLAY_SETTINGS_CHANGED;
constexpr UINT kServiceQuit = WM_SERVICE_CLIENT_QUIT;

DWORD Self() { return GetCurrentProcessId(); }

// Raw bytes to the endpoint, as a faulty outside program might send them.
void SendRaw(HWND window, const void *bytes, size_t length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = platform::PostEndpointPath(Self(), window);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int s = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(s, 0);
  sendto(s, bytes, length, 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
  close(s);
}

size_t Count(const MessageTrace &trace, UINT message) {
  size_t n = 0;
  for (const auto &m : trace.Messages()) n += m.message == message;
  return n;
}

TEST(PostEndpoint, AnOutsideProgramsMessageReachesTheWindowAndNothingElseDoes) {
  MessageTrace trace;
  HWND window = trace.Create(0);
  {
    platform::PostEndpoint endpoint(window, {kThemeChanged, kServiceQuit});
    ASSERT_TRUE(endpoint.Open());
    std::thread outside([&] { EXPECT_TRUE(platform::PostToOutsideWindow(Self(), window, kThemeChanged, 3, -7)); });
    outside.join();
    ASSERT_TRUE(PumpUntil([&] { return Count(trace, kThemeChanged) == 1; }));
    for (const auto &m : trace.Messages())
      if (m.message == kThemeChanged) {
        EXPECT_EQ(m.wParam, 3u);
        EXPECT_EQ(m.lParam, -7);
      }

    // A message not on the list, a short datagram, another window's handle.
    EXPECT_TRUE(platform::PostToOutsideWindow(Self(), window, WM_CLOSE, 0, 0));
    SendRaw(window, "\x01\x02\x03\x04\x05", 5);
    const uint32_t foreign[4] = {uint32_t(uintptr_t(window)) + 1, kServiceQuit, 0, 0};
    SendRaw(window, foreign, sizeof foreign);
    ASSERT_TRUE(PumpUntil([&] { return endpoint.Dropped() == 3; }));
    EXPECT_EQ(endpoint.Posted(), 1u);
    EXPECT_EQ(Count(trace, WM_CLOSE), 0u);
    EXPECT_EQ(Count(trace, kServiceQuit), 0u);
  }
  EXPECT_FALSE(platform::PostToOutsideWindow(Self(), window, kThemeChanged, 0, 0)) << "the endpoint is gone";
}

// A second endpoint of the same window must neither take the first one over
// nor remove it. A socket left by a program that ended is replaced.
TEST(PostEndpoint, ALiveEndpointIsLeftToItsOwnerAndAStaleOneIsReplaced) {
  MessageTrace trace;
  HWND window = trace.Create(0);
  {
    platform::PostEndpoint first(window, {kThemeChanged});
    ASSERT_TRUE(first.Open());
    {
      platform::PostEndpoint second(window, {kThemeChanged});
      EXPECT_FALSE(second.Open());
    }
    EXPECT_TRUE(platform::PostToOutsideWindow(Self(), window, kThemeChanged, 1, 0));
    ASSERT_TRUE(PumpUntil([&] { return first.Posted() == 1; }));
  }

  // A bound socket whose program ended without removing it.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = platform::PostEndpointPath(Self(), window);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int stale = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(stale, 0);
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  close(stale);
  platform::PostEndpoint endpoint(window, {kThemeChanged});
  ASSERT_TRUE(endpoint.Open());
  EXPECT_TRUE(platform::PostToOutsideWindow(Self(), window, kThemeChanged, 2, 0));
  ASSERT_TRUE(PumpUntil([&] { return Count(trace, kThemeChanged) == 2; }));
}

// Window handles are numbered alike in every process: another terminal's
// window of the same handle has its own endpoint, and a message meant for
// one never reaches the other.
TEST(PostEndpoint, TwoTerminalsWithTheSameHandleHaveEndpointsOfTheirOwn) {
  MessageTrace trace;
  HWND window = trace.Create(0);
  const DWORD other = Self() + 1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = platform::PostEndpointPath(other, window);
  ASSERT_NE(path, platform::PostEndpointPath(Self(), window));
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());
  const int first = socket(AF_UNIX, SOCK_DGRAM, 0);  // the other terminal's endpoint
  ASSERT_GE(first, 0);
  ASSERT_EQ(bind(first, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  {
    platform::PostEndpoint mine(window, {kServiceQuit});
    ASSERT_TRUE(mine.Open());
    EXPECT_TRUE(platform::PostToOutsideWindow(Self(), window, kServiceQuit, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return mine.Posted() == 1; }));
  }
  uint8_t bytes[64];
  EXPECT_LT(recv(first, bytes, sizeof bytes, MSG_DONTWAIT), 0) << "the other terminal got nothing";
  close(first);
  unlink(path.c_str());
}

// A program the terminal starts finds it through its environment; without
// it, its parent is taken.
TEST(PostEndpoint, TheStartingProcessComesFromTheEnvironment) {
  const struct {
    const char *value;
    DWORD expected;
  } cases[] = {{"4321", 4321}, {nullptr, DWORD(getppid())}, {"", DWORD(getppid())}, {"12x", DWORD(getppid())},
               {"0", DWORD(getppid())}};
  for (const auto &c : cases) {
    if (c.value) setenv(platform::kPostProcessVariable, c.value, 1);
    else unsetenv(platform::kPostProcessVariable);
    EXPECT_EQ(platform::StartingProcess(), c.expected) << (c.value ? c.value : "(unset)");
  }
  unsetenv(platform::kPostProcessVariable);
}

}  // namespace
