#include "trading/pttlink.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/winsock.h"
#include "shell/framecore.h"
#include "testing/link_peer_double.h"
#include "testing/message_trace.h"
#include "testing/pump.h"
#include "tests/trading/desk_fixture.h"

using pttlink::LinkOrder;
using pttlink::LinkPosition;
using pttlink::TPttLinkCore;
using testing_support::LinkPeerDouble;

namespace {

const uint32_t kLoopbackNet = htonl(INADDR_LOOPBACK);
constexpr uint16_t kPeer = 40001, kOther = 40002;

template <class Record>
std::string Datagram(const char *verb, const Record &record) {
  std::string bytes(verb, 4);
  bytes.append(reinterpret_cast<const char *>(&record), sizeof record);
  return bytes;
}

std::string Login(uint32_t id) {
  std::string bytes("LOG|");
  bytes.append(reinterpret_cast<const char *>(&id), 4);
  return bytes;
}

class LinkCore : public testing::Test {
 protected:
  TPttLinkCore::Step Feed(const std::string &bytes, uint16_t port = kPeer, uint32_t address = kLoopbackNet) {
    return core_.Receive(reinterpret_cast<const uint8_t *>(bytes.data()), int(bytes.size()), address, htons(port),
                         tick_);
  }
  void Link() { ASSERT_EQ(Feed(Login(77)).change, TPttLinkCore::Change::Linked); }
  static std::vector<WPARAM> Posts(const TPttLinkCore::Step &step) {
    std::vector<WPARAM> out;
    for (const auto &post : step.posts) out.push_back(post.what);
    return out;
  }
  static std::string Sent(const TPttLinkCore::Step &step, size_t i = 0) {
    if (i >= step.sends.size()) return {};
    return std::string(step.sends[i].bytes.begin(), step.sends[i].bytes.end());
  }

  TPttLinkCore core_{4242};
  uint32_t tick_ = 100000;
};

TEST_F(LinkCore, AcceptsOnePeerAndRefusesASecond) {
  auto step = Feed(Login(77));
  EXPECT_EQ(step.change, TPttLinkCore::Change::Linked);
  ASSERT_EQ(step.sends.size(), 1u);
  EXPECT_EQ(step.sends[0].port, kPeer);
  const uint32_t own = 4242;
  EXPECT_EQ(Sent(step), std::string("ACP|") + std::string(reinterpret_cast<const char *>(&own), 4));
  EXPECT_EQ(core_.PeerId(), 77u);

  step = Feed(Login(78), kOther);
  EXPECT_EQ(Sent(step), "ERR|");
  EXPECT_EQ(step.sends[0].port, kOther);
  EXPECT_EQ(core_.PeerPort(), kPeer);
  EXPECT_EQ(core_.PeerId(), 77u);
  // The same peer logging in again is answered and stays.
  EXPECT_EQ(Sent(Feed(Login(77))).substr(0, 4), "ACP|");
  // A peer with another id on the same port is refused.
  EXPECT_EQ(Sent(Feed(Login(79))), "ERR|");
}

TEST_F(LinkCore, PositionTableBecomesVisibleWithItsLastRecord) {
  Link();
  EXPECT_TRUE(Posts(Feed(Datagram("POS|", LinkPeerDouble::Position(3, 0, "M2401")))).empty());
  EXPECT_TRUE(Posts(Feed(Datagram("POS|", LinkPeerDouble::Position(3, 1, "M2405")))).empty());
  EXPECT_EQ(core_.PositionCount(), 0);
  EXPECT_EQ(Posts(Feed(Datagram("POS|", LinkPeerDouble::Position(3, 2, "m2401", 5)))), std::vector<WPARAM>{0});
  EXPECT_EQ(core_.PositionCount(), 3);

  LinkPosition found[4];
  LinkOrder orders[1];
  int positions = 0, orderCount = 0;
  core_.TradeTables("M2401", "", found, 4, &positions, orders, 1, &orderCount);
  ASSERT_EQ(positions, 2);  // without regard to case
  EXPECT_EQ(found[1].Volume, 5);
  core_.TradeTables("X", "M2405", found, 4, &positions, orders, 1, &orderCount);
  EXPECT_EQ(positions, 1);

  // A table announced with count 0 empties it.
  EXPECT_EQ(Posts(Feed(Datagram("POS|", LinkPeerDouble::Position(0, 0, "")))), std::vector<WPARAM>{0});
  EXPECT_EQ(core_.PositionCount(), 0);
}

TEST_F(LinkCore, OrderTableIsSortedByOrderNumber) {
  Link();
  const int numbers[] = {30, 10, 20};
  for (uint16_t i = 0; i < 3; ++i) Feed(Datagram("ODR|", LinkPeerDouble::Order(3, i, "M2401", numbers[i])));
  LinkPosition positions[1];
  LinkOrder orders[4];
  int positionCount = 0, orderCount = 0;
  core_.TradeTables("M2401", "", positions, 1, &positionCount, orders, 4, &orderCount);
  ASSERT_EQ(orderCount, 3);
  EXPECT_EQ(orders[0].OrderNumber, 10);
  EXPECT_EQ(orders[1].OrderNumber, 20);
  EXPECT_EQ(orders[2].OrderNumber, 30);
}

TEST_F(LinkCore, SubscriptionsAndContractsArePosted) {
  Link();
  std::string list("SSB|");
  for (int i = 0; i < 65; ++i) {
    pttlink::LinkSubscription record{};
    std::memset(record.Code, 'A' + i % 26, sizeof record.Code);  // no NUL of its own
    list.append(reinterpret_cast<const char *>(&record), sizeof record);
  }
  EXPECT_EQ(Posts(Feed(list)), std::vector<WPARAM>{2});
  pttlink::LinkSubscription got[80];
  ASSERT_EQ(core_.Subscriptions(got, 80), 64);
  EXPECT_EQ(strnlen(got[0].Code, sizeof got[0].Code), sizeof got[0].Code - 1);
  EXPECT_EQ(Posts(Feed("SSB|")), std::vector<WPARAM>{2});
  EXPECT_EQ(core_.Subscriptions(got, 80), 0);

  // Each contract carries its own copy, cut to its width.
  pttlink::LinkPeerContract body{};
  std::memset(body.Code, 'C', sizeof body.Code);
  auto first = Feed(Datagram("COD|", body));
  std::memset(body.Code, 'D', sizeof body.Code);
  auto second = Feed(Datagram("COD|", body));
  ASSERT_EQ(Posts(first), std::vector<WPARAM>{1});
  ASSERT_EQ(Posts(second), std::vector<WPARAM>{1});
  EXPECT_NE(first.posts[0].record.get(), second.posts[0].record.get());
  EXPECT_EQ(first.posts[0].record->Code[0], 'C');
  EXPECT_EQ(second.posts[0].record->Code[0], 'D');
  EXPECT_EQ(first.posts[0].record->Code[sizeof body.Code - 1], 0);
  // The handler's free takes what the post carried.
  PttLinkFreeContract(reinterpret_cast<LPARAM>(first.posts[0].record.release()));
}

TEST_F(LinkCore, SilentPeerGetsHeartbeatsAndIsDropped) {
  Link();
  Feed(Datagram("POS|", LinkPeerDouble::Position(1, 0, "M2401")));
  tick_ += 2999;
  EXPECT_TRUE(core_.Pass(tick_).sends.empty());
  for (int pass = 0; pass < 3; ++pass) {
    tick_ += 500;
    auto step = core_.Pass(tick_);
    EXPECT_EQ(Sent(step).substr(0, 4), "CHK|");
    EXPECT_EQ(step.sends[0].port, kPeer);
  }
  // An answer restarts the count.
  Feed("ASR|");
  EXPECT_TRUE(core_.Pass(tick_ + 2999).sends.empty());
  tick_ += 15000;
  auto step = core_.Pass(tick_);
  EXPECT_EQ(step.change, TPttLinkCore::Change::Dropped);
  EXPECT_EQ(Posts(step), std::vector<WPARAM>{0});
  EXPECT_EQ(core_.PeerPort(), 0);
  EXPECT_EQ(core_.PositionCount(), 0);
  // The next login from anyone is accepted.
  EXPECT_EQ(Feed(Login(5), kOther).change, TPttLinkCore::Change::Linked);
}

TEST_F(LinkCore, PeerLeavingEmptiesTables) {
  Link();
  Feed(Datagram("ODR|", LinkPeerDouble::Order(1, 0, "M2401", 1)));
  ASSERT_EQ(core_.OrderCount(), 1);
  auto step = Feed("ERR|");
  EXPECT_EQ(step.change, TPttLinkCore::Change::Dropped);
  EXPECT_EQ(Posts(step), std::vector<WPARAM>{0});
  EXPECT_EQ(core_.OrderCount(), 0);
  EXPECT_TRUE(core_.Pass(tick_ + 20000).sends.empty());
}

TEST_F(LinkCore, MalformedDatagramsChangeNothing) {
  Link();
  Feed(Datagram("POS|", LinkPeerDouble::Position(1, 0, "KEEP")));
  ASSERT_EQ(core_.PositionCount(), 1);
  const std::string position = Datagram("POS|", LinkPeerDouble::Position(2, 1, "M2401"));
  struct Case {
    const char *what;
    std::string bytes;
    uint16_t port;
    uint32_t address;
  } cases[] = {
      {"short", "PO", kPeer, kLoopbackNet},
      {"position one byte short", position.substr(0, position.size() - 1), kPeer, kLoopbackNet},
      {"position one byte long", position + "x", kPeer, kLoopbackNet},
      {"order of a position's length", "ODR|" + position.substr(4), kPeer, kLoopbackNet},
      {"contract too short", "COD|" + std::string(61, 'x'), kPeer, kLoopbackNet},
      {"index not below count", Datagram("POS|", LinkPeerDouble::Position(2, 2, "M2401")), kPeer, kLoopbackNet},
      {"count past the allocation", Datagram("POS|", LinkPeerDouble::Position(500, 499, "M2401")), kPeer,
       kLoopbackNet},
      {"not the peer", Datagram("POS|", LinkPeerDouble::Position(1, 0, "M2401")), kOther, kLoopbackNet},
      {"foreign source", Datagram("POS|", LinkPeerDouble::Position(1, 0, "M2401")), kPeer, htonl(0x0A000001)},
      {"login from afar", Login(9), kOther, htonl(0x0A000001)},
  };
  for (const Case &c : cases) {
    auto step = Feed(c.bytes, c.port, c.address);
    EXPECT_TRUE(step.posts.empty()) << c.what;
    EXPECT_TRUE(step.sends.empty()) << c.what;
    EXPECT_EQ(core_.PositionCount(), 1) << c.what;
    EXPECT_EQ(core_.PeerPort(), kPeer) << c.what;
  }
  // A table of 2 whose records then claim a larger count is refused too.
  Feed(Datagram("POS|", LinkPeerDouble::Position(2, 0, "A")));
  auto step = Feed(Datagram("POS|", LinkPeerDouble::Position(300, 1, "B")));
  EXPECT_TRUE(step.posts.empty());
  EXPECT_EQ(core_.PositionCount(), 0);
}

TEST(LinkQuote, TakesEachWordFromItsOffset) {
  // Every byte of the quote record distinct, so each field shows where it
  // came from.
  uint8_t bytes[sizeof(REALQUOTE)];
  for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = uint8_t(i + 1);
  // Float fields as whole numbers, so the truncation is visible.
  const auto setFloat = [&](size_t offset, float value) { std::memcpy(bytes + offset, &value, 4); };
  setFloat(50, 1234.95f);
  setFloat(54, 7.0f);
  setFloat(8, 99.92f);
  for (int i = 0; i < 5; ++i) {
    setFloat(74 + 8 * i, float(10 + i) - 0.05f);
    setFloat(114 + 8 * i, float(20 + i));
  }
  REALQUOTE quote;
  std::memcpy(&quote, bytes, sizeof quote);
  const auto q = pttlink::BuildQuote("CU2405", quote);
  uint8_t out[sizeof q];
  std::memcpy(out, &q, sizeof q);
  const auto word = [](const uint8_t *p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
  };
  EXPECT_EQ(std::memcmp(out, "QTE|", 4), 0);
  EXPECT_EQ(out[4], 1);
  EXPECT_EQ(out[5], 3);
  EXPECT_STREQ(reinterpret_cast<const char *>(out + 8), "CU2405");
  const int wordOffsets[] = {0, 4, 12, 38, 42, 46, 24, 28, 150, 150};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(word(out + 44 + 4 * i), word(bytes + wordOffsets[i])) << i;
  EXPECT_EQ(int32_t(word(out + 84)), 1235);
  EXPECT_EQ(int32_t(word(out + 88)), 7);
  EXPECT_EQ(int32_t(word(out + 92)), 100);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(word(out + 104 + 8 * i), word(bytes + 70 + 8 * i)) << i;
    EXPECT_EQ(int32_t(word(out + 108 + 8 * i)), 10 + i) << i;
    EXPECT_EQ(word(out + 144 + 8 * i), word(bytes + 110 + 8 * i)) << i;
    EXPECT_EQ(int32_t(word(out + 148 + 8 * i)), 20 + i) << i;
  }
  EXPECT_EQ(int32_t(word(out + 184)), -4096);
}

// ---- over loopback ----

uint16_t FreeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local);
  ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length);
  ::close(fd);
  return ntohs(local.sin_port);
}

class LinkLoopback : public trading_test::DeskTest {
 protected:
  LinkLoopback() {
    WSADATA data;
    ws::WSAStartup(0x0202, &data);
    window_ = trace_.Create(WS_POPUP);
  }
  ~LinkLoopback() override {
    PttLinkStop();
    DestroyWindow(window_);
    ws::WSACleanup();
  }
  // Waits for the next WM_TRADE_VIEWS_UPDATE with wParam what.
  bool WaitPost(WPARAM what) {
    return testing_support::PumpUntil([&] {
      for (size_t i = seen_; i < trace_.Messages().size(); ++i)
        if (trace_.Messages()[i].message == WM_TRADE_VIEWS_UPDATE && trace_.Messages()[i].wParam == what) {
          seen_ = i + 1;
          return true;
        }
      return false;
    });
  }

  testing_support::MessageTrace trace_;
  HWND window_ = nullptr;
  size_t seen_ = 0;
};

TEST_F(LinkLoopback, PeerDoubleTradesTablesAndQuotes) {
  ASSERT_TRUE(PttLinkStart(window_, FreeUdpPort()));
  LinkPeerDouble peer;
  peer.Target(PttLinkBoundPort());
  peer.Login(99);
  const std::string accepted = peer.ReceiveVerb("ACP|");
  ASSERT_EQ(accepted.size(), 8u);
  uint32_t id;
  std::memcpy(&id, accepted.data() + 4, 4);
  EXPECT_EQ(id, GetCurrentProcessId());
  EXPECT_EQ(PttLinkPeerPort(), peer.Port());

  // A position table reaches the chart bridge's copy.
  peer.SendPositions({LinkPeerDouble::Position(2, 0, "M2401", 3), LinkPeerDouble::Position(2, 1, "CU2405", 4)});
  ASSERT_TRUE(WaitPost(0));
  LinkPosition positions[4];
  LinkOrder orders[4];
  PttLinkGetTradeTables("CU2405", "", positions, 4, orders, 4);
  EXPECT_EQ(positions[0].Volume, 4);
  EXPECT_EQ(positions[1].Volume, 0);

  // A subscription is answered with the contract's quote through the frame.
  peer.SendSubscriptions({"M2401"});
  ASSERT_TRUE(WaitPost(2));
  TFrameReceivers receivers;
  receivers.linkSubscriptions = [](uint8_t (*records)[kLinkRecordSize], int max) {
    return PttLinkGetSubscriptions(reinterpret_cast<pttlink::LinkSubscription *>(records), max);
  };
  receivers.linkSendQuote = [](uint32_t stock, const REALQUOTE &quote) { PttLinkSendQuote(STKPTR(stock), quote); };
  TFrameLinks links;
  TFrameCore core(links, receivers);
  MarketAt(1)->m_quotes[0].last = 3456;
  LRESULT result = 0;
  core.HandleMessage(WM_TRADE_VIEWS_UPDATE, 2, 0, result);
  const std::string quote = peer.ReceiveVerb("QTE|");
  ASSERT_EQ(quote.size(), sizeof(pttlink::LinkQuote));
  EXPECT_STREQ(quote.c_str() + 8, "M2401");
  uint32_t last;
  std::memcpy(&last, quote.data() + 64, 4);
  EXPECT_EQ(last, 3456u);

  // A contract to show travels as its own record.
  peer.SendContract("CU2405");
  ASSERT_TRUE(WaitPost(1));
  const LPARAM record = trace_.Messages()[seen_ - 1].lParam;
  EXPECT_STREQ(reinterpret_cast<const pttlink::LinkPeerContract *>(record)->Code, "CU2405");
  PttLinkFreeContract(record);

  // The order panel's contract.
  PttLinkSendContract("CU2405", "CU405", 0, 0, 0, 0);
  const std::string contract = peer.ReceiveVerb("COD|");
  ASSERT_EQ(contract.size(), 66u);
  EXPECT_STREQ(contract.c_str() + 16, "CU2405");
  EXPECT_STREQ(contract.c_str() + 48, "CU405");

  PttLinkStop();
  EXPECT_EQ(peer.ReceiveVerb("ERR|"), "ERR|");
  EXPECT_EQ(PttLinkPeerPort(), 0);
}

}  // namespace
