#include "platform/postendpoint.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/messages.h"
#include "platform/winuser.h"
#include "testing/message_trace.h"
#include "testing/pump.h"

using testing_support::MessageTrace;
using testing_support::PumpUntil;

namespace {

constexpr UINT kThemeChanged = WM_DISPLAY_SETTINGS_CHANGED;
constexpr UINT kServiceQuit = WM_SERVICE_CLIENT_QUIT;

// Raw bytes to the endpoint, as a faulty outside program might send them.
void SendRaw(HWND window, const void *bytes, size_t length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = platform::PostEndpointPath(window);
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
    std::thread outside([&] { EXPECT_TRUE(platform::PostToOutsideWindow(window, kThemeChanged, 3, -7)); });
    outside.join();
    ASSERT_TRUE(PumpUntil([&] { return Count(trace, kThemeChanged) == 1; }));
    for (const auto &m : trace.Messages())
      if (m.message == kThemeChanged) {
        EXPECT_EQ(m.wParam, 3u);
        EXPECT_EQ(m.lParam, -7);
      }

    // A message not on the list, a short datagram, another window's handle.
    EXPECT_TRUE(platform::PostToOutsideWindow(window, WM_CLOSE, 0, 0));
    SendRaw(window, "\x01\x02\x03\x04\x05", 5);
    const uint32_t foreign[4] = {uint32_t(uintptr_t(window)) + 1, kServiceQuit, 0, 0};
    SendRaw(window, foreign, sizeof foreign);
    ASSERT_TRUE(PumpUntil([&] { return endpoint.Dropped() == 3; }));
    EXPECT_EQ(endpoint.Posted(), 1u);
    EXPECT_EQ(Count(trace, WM_CLOSE), 0u);
    EXPECT_EQ(Count(trace, kServiceQuit), 0u);
  }
  EXPECT_FALSE(platform::PostToOutsideWindow(window, kThemeChanged, 0, 0)) << "the endpoint is gone";
}

// Window handles are numbered alike in every process, so a second terminal
// meets the first one's endpoint under the same name: it must neither take
// it over nor remove it. A socket left by a program that ended is replaced.
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
    EXPECT_TRUE(platform::PostToOutsideWindow(window, kThemeChanged, 1, 0));
    ASSERT_TRUE(PumpUntil([&] { return first.Posted() == 1; }));
  }

  // A bound socket whose program ended without removing it.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = platform::PostEndpointPath(window);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int stale = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(stale, 0);
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  close(stale);
  platform::PostEndpoint endpoint(window, {kThemeChanged});
  ASSERT_TRUE(endpoint.Open());
  EXPECT_TRUE(platform::PostToOutsideWindow(window, kThemeChanged, 2, 0));
  ASSERT_TRUE(PumpUntil([&] { return Count(trace, kThemeChanged) == 2; }));
}

}  // namespace
