#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/messages.h"
#include "platform/winsock.h"
#include "platform/winuser.h"
#include "testing/message_trace.h"
#include "testing/pump.h"

using testing_support::MessageTrace;
using testing_support::PumpUntil;

namespace {


struct Loopback : ::testing::Test {
  void SetUp() override {
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    listener = ws::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(listener, INVALID_SOCKET);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(ws::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(ws::listen(listener, 4), 0);
    int length = sizeof address;
    ws::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
    window = trace.Create(WS_POPUP);
  }
  void TearDown() override {
    for (SOCKET s : {client, server, listener})
      if (s != INVALID_SOCKET) ws::closesocket(s);
    DestroyWindow(window);
    ws::WSACleanup();
  }
  void Connect() {
    client = ws::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(port);
    ASSERT_EQ(ws::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    server = ws::accept(listener, nullptr, nullptr);
    ASSERT_NE(server, INVALID_SOCKET);
  }
  std::vector<WORD> Events(SOCKET s) const {
    std::vector<WORD> events;
    for (auto &m : trace.Messages())
      if (m.message == WM_SOCKET_NOTIFY && SOCKET(m.wParam) == s) events.push_back(WSAGETSELECTEVENT(m.lParam));
    return events;
  }
  MessageTrace trace;
  HWND window = nullptr;
  SOCKET listener = INVALID_SOCKET, client = INVALID_SOCKET, server = INVALID_SOCKET;
  uint16_t port = 0;
};

TEST_F(Loopback, ReadNoticeComesOnceUntilRecvAndCloseFollowsTheData) {
  Connect();
  ASSERT_EQ(ws::WSAAsyncSelect(server, window, WM_SOCKET_NOTIFY, FD_READ | FD_WRITE | FD_CLOSE), 0);
  ASSERT_TRUE(PumpUntil([&] { return Events(server) == std::vector<WORD>{FD_WRITE}; }));

  ws::send(client, "abc", 3, 0);
  ws::send(client, "def", 3, 0);
  ASSERT_TRUE(PumpUntil([&] { return Events(server).size() == 2; }));
  PumpUntil([] { return false; }, 30);
  EXPECT_EQ(Events(server), (std::vector<WORD>{FD_WRITE, FD_READ}));  // one notice, not one per send

  char buffer[16];
  EXPECT_EQ(ws::recv(server, buffer, 2, 0), 2);  // data remains: another notice
  ASSERT_TRUE(PumpUntil([&] { return Events(server).size() == 3; }));
  EXPECT_EQ(Events(server).back(), FD_READ);

  ws::shutdown(client, SD_SEND);  // an orderly end while four bytes wait
  PumpUntil([] { return false; }, 30);
  EXPECT_EQ(Events(server).size(), 3u);
  EXPECT_EQ(ws::recv(server, buffer, sizeof buffer, 0), 4);
  ASSERT_TRUE(PumpUntil([&] { return Events(server).size() == 4; }));
  EXPECT_EQ(Events(server).back(), FD_CLOSE);
  auto last = trace.Messages().back();
  EXPECT_EQ(WSAGETSELECTERROR(last.lParam), 0);
  EXPECT_EQ(ws::recv(server, buffer, sizeof buffer, 0), 0);
}

TEST_F(Loopback, WouldBlockReenablesTheWriteNotice) {
  Connect();
  int small = 4096;
  ws::setsockopt(server, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char *>(&small), sizeof small);
  ws::WSAAsyncSelect(server, window, WM_SOCKET_NOTIFY, FD_WRITE);
  ASSERT_TRUE(PumpUntil([&] { return Events(server).size() == 1; }));
  std::string block(65536, 'x');
  int sent = 0;
  while (ws::send(server, block.data(), int(block.size()), 0) > 0) ++sent;
  EXPECT_EQ(ws::WSAGetLastError(), WSAEWOULDBLOCK);
  char sink[65536];
  unsigned long off = 0;
  ws::ioctlsocket(client, FIONBIO, &off);
  // Draining the peer frees room; the write notice comes back once.
  ASSERT_TRUE(PumpUntil([&] {
    ws::recv(client, sink, sizeof sink, MSG_DONTWAIT);
    return Events(server).size() == 2;
  }));
  EXPECT_EQ(Events(server).back(), FD_WRITE);
}

TEST_F(Loopback, NonBlockingConnectReportsFdConnect) {
  SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(ws::WSAAsyncSelect(s, window, WM_SOCKET_NOTIFY, FD_CONNECT), 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  address.sin_port = htons(port);
  int r = ws::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
  EXPECT_TRUE(r == 0 || ws::WSAGetLastError() == WSAEWOULDBLOCK);
  if (r != 0) {
    ASSERT_TRUE(PumpUntil([&] { return !Events(s).empty(); }));
    EXPECT_EQ(Events(s).front(), FD_CONNECT);
  }
  ws::closesocket(s);
}

TEST_F(Loopback, ErrorsAreWindowsSocketCodes) {
  SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
  ws::closesocket(listener);
  listener = INVALID_SOCKET;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  address.sin_port = htons(port);
  EXPECT_EQ(ws::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address), SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), WSAECONNREFUSED);
  ws::closesocket(s);
  char byte;
  EXPECT_EQ(ws::recv(s, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), WSAENOTSOCK);
  SOCKET again = ws::socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(again, s);  // numbers are never given out twice
  ws::closesocket(again);
}

TEST_F(Loopback, BlockingReceiveTimesOut) {
  Connect();
  DWORD ms = 50;
  ws::setsockopt(server, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char *>(&ms), sizeof ms);
  char byte;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ws::recv(server, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), WSAETIMEDOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}

TEST(NameLookup, NumericLocalAndInvalidNames) {
  hostent *numeric = ws::gethostbyname("127.0.0.1");
  ASSERT_TRUE(numeric);
  EXPECT_EQ(reinterpret_cast<in_addr *>(numeric->h_addr_list[0])->s_addr, inet_addr("127.0.0.1"));
  EXPECT_EQ(ws::gethostbyname("no-such-host.invalid"), nullptr);
  EXPECT_EQ(ws::WSAGetLastError(), WSAHOST_NOT_FOUND);
}

TEST(Select, ReportsReadableSockets) {
  WSADATA data;
  ws::WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET a = ws::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  ws::bind(a, reinterpret_cast<sockaddr *>(&address), sizeof address);
  int length = sizeof address;
  ws::getsockname(a, reinterpret_cast<sockaddr *>(&address), &length);
  WSAFDSET read;
  WSA_FD_ZERO(&read);
  WSA_FD_SET(a, &read);
  timeval brief{0, 20000};
  EXPECT_EQ(ws::select(0, &read, nullptr, nullptr, &brief), 0);
  EXPECT_EQ(read.fd_count, 0u);
  ws::sendto(a, "x", 1, 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
  WSA_FD_SET(a, &read);
  EXPECT_EQ(ws::select(0, &read, nullptr, nullptr, &brief), 1);
  EXPECT_TRUE(WSA_FD_ISSET(a, &read));
  ws::closesocket(a);
  ws::WSACleanup();
}

}  // namespace
