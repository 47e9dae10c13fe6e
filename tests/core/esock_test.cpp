#include <gtest/gtest.h>

#include <vector>

#include "core/esock.h"
#include "platform/winuser.h"
#include "testing/fake_clock.h"
#include "testing/pump.h"

using testing_support::PumpUntil;

namespace {

struct Recording : ESock {
  std::vector<std::pair<int, int>> events;  // (event, error)
  int depth = 0;
  int deepest = 0;
  std::function<void()> duringReceive;
  void OnReceive(int error) override {
    ++depth;
    deepest = std::max(deepest, depth);
    events.emplace_back(FD_READ, error);
    if (duringReceive) duringReceive();
    --depth;
  }
  void OnSend(int error) override { events.emplace_back(FD_WRITE, error); }
  void OnClose(int error) override { events.emplace_back(FD_CLOSE, error); }
};

void Notify(SOCKET s, WORD event, WORD error = 0) {
  PostMessageA(ESock::Window()->m_hWnd, WM_SOCKET_NOTIFY, WPARAM(s), WSAMAKESELECTREPLY(event, error));
}

TEST(ESock, EventsReachTheirHandlersWithTheirErrors) {
  Recording sock;
  ASSERT_TRUE(sock.Create(SOCK_STREAM, 0, AF_INET));
  Notify(sock.m_socket, FD_READ);  // nothing to read: no handler
  Notify(sock.m_socket, FD_CLOSE, WSAECONNABORTED);
  Notify(sock.m_socket, FD_WRITE);
  Notify(0, 0);
  platform::ProcessPendingMessages();
  EXPECT_EQ(sock.events, (std::vector<std::pair<int, int>>{{FD_CLOSE, WSAECONNABORTED}, {FD_WRITE, 0}}));
}

TEST(ESock, EventForASocketClosedMeanwhileIsIgnored) {
  Recording sock;
  ASSERT_TRUE(sock.Create(SOCK_STREAM, 0, AF_INET));
  SOCKET old = sock.m_socket;
  Notify(old, FD_CLOSE);
  sock.Close();
  ASSERT_TRUE(sock.Create(SOCK_STREAM, 0, AF_INET));  // a new socket, a new number
  platform::ProcessPendingMessages();
  EXPECT_TRUE(sock.events.empty());
}

TEST(ESock, SocketTableHoldsSixtyFour) {
  std::vector<std::unique_ptr<Recording>> socks;
  for (int i = 0; i < ESock::kMaxSockets; ++i) {
    socks.push_back(std::make_unique<Recording>());
    ASSERT_TRUE(socks.back()->Create(SOCK_STREAM, 0, AF_INET)) << i;
  }
  Recording extra;
  EXPECT_FALSE(extra.Create(SOCK_STREAM, 0, AF_INET));
  socks[10]->Close();
  EXPECT_TRUE(extra.Create(SOCK_STREAM, 0, AF_INET));
}

TEST(ESock, UnresolvableNameFailsAfterTwoPauses) {
  ScopedFakeClock clock;
  Recording sock;
  ASSERT_TRUE(sock.Create(SOCK_STREAM, 0, AF_INET));
  DWORD start = GetTickCount();
  EXPECT_FALSE(sock.Connect("quotes.invalid", 80));
  EXPECT_EQ(GetTickCount() - start, 1000u);
  EXPECT_EQ(sock.GetLastError(), WSAEINVAL);
}

TEST(ESock, EachEventIsDispatchedOnceAndAHandlerIsNotReentered) {
  Recording sock;
  ASSERT_TRUE(sock.Create(SOCK_STREAM, 0, AF_INET));
  Recording other;
  ASSERT_TRUE(other.Create(SOCK_STREAM, 0, AF_INET));
  // The read handler runs a nested loop (as a message box would) while more
  // events for both sockets arrive.
  bool nested = false;
  sock.duringReceive = [&] {
    if (nested) return;
    nested = true;
    Notify(sock.m_socket, FD_WRITE);
    Notify(other.m_socket, FD_WRITE);
    platform::ProcessPendingMessages();
    EXPECT_EQ(other.events.size(), 1u);  // other sockets go on
    EXPECT_EQ(sock.events.size(), 1u);   // this one waits for its handler
  };
  // Make FIONREAD non-zero: a real peer sends a byte.
  WSADATA data;
  ws::WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET listener = ws::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  ws::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
  ws::listen(listener, 1);
  int length = sizeof address;
  ws::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
  ASSERT_TRUE(sock.Connect("127.0.0.1", ntohs(address.sin_port)));
  SOCKET peer = ws::accept(listener, nullptr, nullptr);
  ws::send(peer, "x", 1, 0);
  ASSERT_TRUE(sock.AsyncSelect(FD_READ | FD_CLOSE));
  ASSERT_TRUE(PumpUntil([&] { return sock.events.size() == 2; }));
  PumpUntil([] { return false; }, 30);
  EXPECT_EQ(sock.events, (std::vector<std::pair<int, int>>{{FD_READ, 0}, {FD_WRITE, 0}}));
  EXPECT_EQ(other.events.size(), 1u);
  EXPECT_EQ(sock.deepest, 1);
  ws::closesocket(peer);
  ws::closesocket(listener);
  ws::WSACleanup();
}

}  // namespace
