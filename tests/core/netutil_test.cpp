// The blocking network services: the echo request and its checks, the
// HTTP download against a web server double on loopback (directly and
// through the user's proxy), the news chooser's order of tries, and the
// binding of the logger library.
#include "core/netutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/winsock.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"
#include "testing/request_server.h"
#include "testing/temp_folder.h"

using testing_support::HttpDouble;
using testing_support::RequestServer;

namespace {

std::vector<uint8_t> Echo(uint8_t type, uint16_t id, uint16_t sequence, int length = 44) {
  std::vector<uint8_t> m(size_t(length), 0);
  if (length > 0) m[0] = type;
  if (length >= 8) {
    std::memcpy(m.data() + 4, &id, 2);
    std::memcpy(m.data() + 6, &sequence, 2);
  }
  return m;
}

TEST(InternetChecksum, FollowsTheInternetSum) {
  struct Case {
    const char *what;
    std::vector<uint8_t> bytes;
    uint16_t sum;
  } cases[] = {
      {"empty echo request", Echo(8, 0, 0), 0xFFF7},
      {"words of RFC 1071", {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x0D22},
      {"odd last byte added as it is", {0x01}, 0xFFFE},
      {"carries folded", {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00}, 0xFFFD},
  };
  for (const Case &c : cases) EXPECT_EQ(InternetChecksum(c.bytes.data(), int(c.bytes.size())), c.sum) << c.what;
  // The empty request's checksum reads F7 FF in the packet.
  std::vector<uint8_t> request = Echo(8, 0, 0);
  const uint16_t sum = InternetChecksum(request.data(), 44);
  std::memcpy(request.data() + 2, &sum, 2);
  EXPECT_EQ(request[2], 0xF7);
  EXPECT_EQ(request[3], 0xFF);
  EXPECT_EQ(InternetChecksum(request.data(), 44), 0) << "a packet with its checksum sums to nothing";
}

// Replies handed out one by one, each after some milliseconds of the fake
// clock; nothing left is the socket's time-out.
struct ScriptedPing {
  struct Reply {
    int afterMs;
    std::vector<uint8_t> bytes;
  };
  std::deque<Reply> replies;
  std::vector<std::vector<uint8_t>> sent;
  std::vector<uint32_t> addresses;
  bool opens = true;
  int receives = 0;
};

class FakeTransport : public PingTransport {
 public:
  FakeTransport(ScriptedPing &script, FakeClock &clock) : script_(script), clock_(clock) {}
  bool Open(DWORD timeoutMs) override {
    EXPECT_EQ(timeoutMs, 2000u);
    return script_.opens;
  }
  bool Send(uint32_t address, const void *message, int length) override {
    const auto *bytes = static_cast<const uint8_t *>(message);
    script_.sent.emplace_back(bytes, bytes + length);
    script_.addresses.push_back(address);
    return true;
  }
  int Receive(void *buffer, int capacity) override {
    ++script_.receives;
    if (script_.replies.empty()) {
      clock_.Advance(2000);
      return -1;
    }
    ScriptedPing::Reply r = script_.replies.front();
    script_.replies.pop_front();
    clock_.Advance(uint64_t(r.afterMs));
    const int n = std::min(int(r.bytes.size()), capacity);
    std::memcpy(buffer, r.bytes.data(), size_t(n));
    return n;
  }

 private:
  ScriptedPing &script_;
  FakeClock &clock_;
};

class PingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NetHooks().pingTransport = [this] { return std::make_unique<FakeTransport>(script_, clock_); };
  }
  void TearDown() override { NetHooks() = NetUtilHooks{}; }
  ScopedFakeClock clock_;
  ScriptedPing script_;
};

TEST_F(PingTest, SendsOneEchoRequestAndTimesOnlyItsOwnReply) {
  const uint16_t seq = 101;
  struct Case {
    const char *what;
    std::vector<ScriptedPing::Reply> replies;
    int result;
  } cases[] = {
      {"own reply", {{30, Echo(0, seq, seq)}}, 30},
      {"others first", {{5, Echo(0, 7, 7)}, {5, Echo(0, seq, 3)}, {5, Echo(0, seq, seq)}}, 15},
      {"own request looped back", {{5, Echo(8, seq, seq)}, {10, Echo(0, seq, seq)}}, 15},
      {"cut short", {{5, Echo(0, seq, seq, 20)}, {6, Echo(0, seq, seq, 7)}, {5, Echo(0, seq, seq)}}, 16},
      {"unreachable report", {{5, Echo(3, seq, seq)}}, -1},
      {"only other identifiers for 2 s", {{700, Echo(0, 1, 1)}, {700, Echo(0, 2, 2)}, {700, Echo(0, 3, 3)},
                                          {10, Echo(0, seq, seq)}}, -1},
      {"nothing", {}, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    script_ = ScriptedPing{};
    script_.replies.assign(c.replies.begin(), c.replies.end());
    EXPECT_EQ(Ping("127.0.0.1", seq), c.result);
    ASSERT_EQ(script_.sent.size(), 1u);
    const std::vector<uint8_t> &m = script_.sent[0];
    ASSERT_EQ(m.size(), 44u);
    EXPECT_EQ(m[0], 8);
    EXPECT_EQ(m[1], 0);
    EXPECT_EQ(m[4] | m[5] << 8, seq);
    EXPECT_EQ(m[6] | m[7] << 8, seq);
    EXPECT_EQ(InternetChecksum(m.data(), 44), 0);
    EXPECT_EQ(script_.addresses[0], inet_addr("127.0.0.1"));
  }
  // Other identifiers for 2 s: the fourth reply, in time but too late, is not read.
  EXPECT_EQ(script_.receives, 1);
}

TEST_F(PingTest, FailsWithoutSocketOrAddress) {
  script_.opens = false;
  EXPECT_EQ(Ping("127.0.0.1", 1), -1);
  EXPECT_TRUE(script_.sent.empty());
  script_.opens = true;
  EXPECT_EQ(Ping("no-such-host.invalid", 1), -1);
  EXPECT_EQ(Ping("", 1), -1);
  EXPECT_TRUE(script_.sent.empty());
}

// The system's own socket against this machine's loopback address.
TEST(PingSystem, LoopbackAnswersWhenTheSystemLetsUsPing) {
  auto transport = MakeSystemPingTransport();
  if (!transport->Open(2000)) GTEST_SKIP() << "no ICMP socket allowed here";
  transport.reset();
  const int ms = Ping("127.0.0.1", 4242);
  EXPECT_GE(ms, 0);
  EXPECT_LT(ms, 2000);
}

// ---- the download ----

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(web_.Running());
    registry_ = box_.Root() + "/registry.ini";
    setenv("KIVO_REGISTRY_FILE", registry_.c_str(), 1);
    NetHooks().httpPort = web_.Port();
  }
  void TearDown() override {
    NetHooks() = NetUtilHooks{};
    unsetenv("KIVO_REGISTRY_FILE");
  }
  void UseProxy(int enable, const std::string &server) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD on = DWORD(enable);
    RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&on), sizeof on);
    RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE *>(server.c_str()),
                   DWORD(server.size() + 1));
    RegCloseKey(key);
  }
  void Reply(const std::string &bytes, size_t chunk = 0) {
    RequestServer::Reply r;
    r.bytes = bytes;
    r.chunkBytes = chunk;
    web_.SetReply(r);
  }
  bool TempLeft() const { return box_.Exists("cfg/webnews.ini.new") || box_.Exists("cfg/a.ini.new"); }

  ScopedFakeClock clock_;  // name look-ups pause on it
  market_fixture::MarketSandbox box_;
  HttpDouble web_;
  std::string registry_;
};

TEST_F(DownloadTest, ReplacesTheTargetOnlyWithAWholeAnnouncedBody) {
  const std::string body = "[Group1]\r\ns1=news.example\r\n";
  std::string bigHead = "HTTP/1.0 200 OK\r\n";
  while (bigHead.size() < 5000) bigHead += "X-Filler: 0123456789012345678901234567890123456789\r\n";
  struct Case {
    const char *what;
    std::string answer;
    size_t chunk;
    int result;
    std::string target;
  } cases[] = {
      {"whole", HttpDouble::Answer("200 OK", body), 0, 1, body},
      {"in small pieces", HttpDouble::Answer("200 OK", body), 7, 1, body},
      {"empty body", HttpDouble::Answer("200 OK", ""), 0, 1, ""},
      {"more than announced", HttpDouble::Answer("200 OK", body) + "TRAILING", 0, 1, body},
      {"not found", HttpDouble::Answer("404 Not Found", "gone"), 0, 0, "old"},
      {"no length", HttpDouble::Answer("200 OK", body, false), 0, 1, "old"},
      {"ends early", "HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n" + body, 0, 1, "old"},
      {"head longer than the buffer", bigHead + "Content-Length: 4\r\n\r\nbody", 0, 0, "old"},
      {"head never ends", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n", 0, 0, "old"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    box_.WriteText("cfg/webnews.ini", "old");
    Reply(c.answer, c.chunk);
    EXPECT_EQ(HttpGetFile("127.0.0.1", "webnews.html", "..\\cfg\\webnews.ini"), c.result);
    EXPECT_EQ(box_.Read("cfg/webnews.ini"), c.target);
    EXPECT_FALSE(TempLeft());
  }
}

// The new file takes the target's place whole: a reader that has the old
// one open reads the old one to its end.
TEST_F(DownloadTest, TheTargetIsReplacedNotWrittenOver) {
  box_.WriteText("cfg/webnews.ini", "[Group1]\r\ns1=old\r\n");
  std::ifstream reader(box_.Path("cfg/webnews.ini"), std::ios::binary);
  ASSERT_TRUE(reader.is_open());
  Reply(HttpDouble::Answer("200 OK", "[Group1]\r\ns1=new.example\r\n"));
  ASSERT_EQ(HttpGetFile("127.0.0.1", "webnews.html", "..\\cfg\\webnews.ini"), 1);
  std::stringstream seen;
  seen << reader.rdbuf();
  EXPECT_EQ(seen.str(), "[Group1]\r\ns1=old\r\n");
  EXPECT_EQ(box_.Read("cfg/webnews.ini"), "[Group1]\r\ns1=new.example\r\n");
  EXPECT_FALSE(TempLeft());
}

TEST_F(DownloadTest, RequestsDirectlyOrThroughTheUsersProxy) {
  Reply(HttpDouble::Answer("200 OK", "x"));
  ASSERT_EQ(HttpGetFile("127.0.0.1", "webnews.html", "..\\cfg\\a.ini"), 1);
  // A proxy that is switched off, or written without a port, is not used.
  UseProxy(0, "10.255.255.1:" + std::to_string(web_.Port()));
  ASSERT_EQ(HttpGetFile("127.0.0.1", "webnews.html", "..\\cfg\\b.ini"), 1);
  UseProxy(1, "127.0.0.1:" + std::to_string(web_.Port()));
  NetHooks().httpPort = 1;  // nothing listens there: only the proxy can answer
  ASSERT_EQ(HttpGetFile("news.example", "webnews.html", "..\\cfg\\c.ini"), 1);
  const auto requests = web_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0],
            "GET /webnews.html HTTP/1.0\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0 "
            "(compatible; MSIE 6.0; Windows NT 5.0)\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(requests[1], requests[0]);
  EXPECT_EQ(requests[2],
            "GET http://news.example/webnews.html HTTP/1.0\r\nHost: news.example\r\nUser-Agent: Mozilla/4.0 "
            "(compatible; MSIE 6.0; Windows NT 5.0)\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
            "Proxy-Connection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(box_.Read("cfg/c.ini"), "x");
}

TEST_F(DownloadTest, FailsWhenNobodyAnswers) {
  RequestServer::Reply hangUp;
  hangUp.kind = RequestServer::Reply::kHangUp;
  web_.SetReply(hangUp);
  EXPECT_EQ(HttpGetFile("127.0.0.1", "webnews.html", "..\\cfg\\a.ini"), 0);
  NetHooks().httpPort = 1;
  EXPECT_EQ(HttpGetFile("127.0.0.1", "webnews.html", "..\\cfg\\a.ini"), 0);
  EXPECT_EQ(HttpGetFile("no-such-host.invalid", "webnews.html", "..\\cfg\\a.ini"), 0);
  EXPECT_FALSE(box_.Exists("cfg/a.ini"));
  EXPECT_FALSE(TempLeft());
}

// The chooser talks through the proxy, so the request lines show which
// server it tried, in order.
class ChooserTest : public DownloadTest {
 protected:
  void SetUp() override {
    DownloadTest::SetUp();
    UseProxy(1, "127.0.0.1:" + std::to_string(web_.Port()));
    NetHooks().random = [this] { return random_; };
    Reply(HttpDouble::Answer("404 Not Found", ""));
  }
  std::vector<std::string> Tried() const {
    std::vector<std::string> hosts;
    for (const std::string &r : web_.Requests()) {
      const size_t from = r.find("http://") + 7;
      hosts.push_back(r.substr(from, r.find('/', from) - from));
    }
    return hosts;
  }
  std::string NewsUrl() const {
    char url[64] = "unset";
    GetPrivateProfileStringA("News", "URL", "unset", url, sizeof url, "..\\cfg\\Setting.ini");
    return url;
  }
  int random_ = 0;
};

TEST_F(ChooserTest, TriesFromTheRandomServerOnThenTheOtherNetwork) {
  box_.WriteText("cfg/webnews.ini",
                 "[Group1]\r\ns1=a1\r\ns2=HTTP://News.Example.COM/path/page\r\ns3=a3\r\ns5=never\r\n"
                 "[Group2]\r\ns1=b1\r\ns2=b2\r\n");
  box_.WriteText("cfg/Setting.ini", "[News]\r\nURL=stale\r\n");
  random_ = 4;
  EXPECT_EQ(NewsServerChooser(nullptr), 0u);
  // 4 mod 3 = 1: s2, s3, s1; then the other network from 4 mod 2 = 0: b1, b2.
  EXPECT_EQ(Tried(), (std::vector<std::string>{"news.example.com", "a3", "a1", "b1", "b2"}));
  EXPECT_EQ(NewsUrl(), "");
}

TEST_F(ChooserTest, TheQuoteServersNetworkComesFirstAndTheFirstAnswerWins) {
  box_.WriteText("cfg/webnews.ini", "[Group1]\r\ns1=a1\r\n[Group2]\r\ns1=b1\r\ns2=b2\r\n");
  box_.WriteText("prog/server.ini", "[RIGHT]\r\nlastindex=1\r\nNetwork1=2\r\n");
  random_ = 1;
  Reply(HttpDouble::Answer("200 OK", "[Group1]\r\ns1=fresh\r\n"));
  EXPECT_EQ(NewsServerChooser(nullptr), 0u);
  EXPECT_EQ(Tried(), std::vector<std::string>{"b2"});
  EXPECT_EQ(NewsUrl(), "b2");
  EXPECT_EQ(box_.Read("cfg/webnews.ini"), "[Group1]\r\ns1=fresh\r\n");
}

// Every login attempt asks for a chooser; while one is at work no other
// starts, so two never write the same files at once.
TEST_F(ChooserTest, OneChooserAtATime) {
  box_.WriteText("cfg/webnews.ini", "[Group1]\r\ns1=a1\r\n");
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false, released = false;
  NetHooks().random = [&] {
    std::unique_lock hold(lock);
    entered = true;
    changed.notify_all();
    changed.wait(hold, [&] { return released; });
    return 0;
  };
  ASSERT_TRUE(StartNewsServerChooser());
  {
    std::unique_lock hold(lock);
    ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(10), [&] { return entered; }));
  }
  EXPECT_FALSE(StartNewsServerChooser());
  EXPECT_FALSE(StartNewsServerChooser());
  {
    std::lock_guard hold(lock);
    released = true;
  }
  changed.notify_all();
  WaitForNewsServerChooser();
  EXPECT_EQ(Tried(), std::vector<std::string>{"a1"});
  // Once it has ended, the next attempt starts one again.
  EXPECT_TRUE(StartNewsServerChooser());
  WaitForNewsServerChooser();
  EXPECT_EQ(Tried().size(), 2u);
}

TEST_F(ChooserTest, AnEmptyNetworkEndsTheSearch) {
  box_.WriteText("cfg/webnews.ini", "[Group2]\r\ns1=b1\r\n");
  EXPECT_EQ(NewsServerChooser(nullptr), 0u);
  EXPECT_TRUE(Tried().empty());
  EXPECT_EQ(NewsUrl(), "");
}

// ---- the logger binding ----

TEST(LoggerBinding, OnlyVersionOneIsBound) {
  ASSERT_EQ(BindLoggerLibrary(), 1);
  EXPECT_TRUE(KvLogger.GetDllVersion && KvLogger.Open && KvLogger.Close && KvLogger.GetErrorMsg && KvLogger.Log &&
              KvLogger.Logs);
  EXPECT_EQ(BindLoggerLibrary("kvlogger_v2.dll"), 0);
  EXPECT_EQ(KvLogger.Open, nullptr);
  EXPECT_EQ(KvLogger.Log, nullptr);
  EXPECT_EQ(BindLoggerLibrary("no_such_logger.dll"), 0);
  EXPECT_EQ(BindLoggerLibrary(), 1) << "binding again binds anew";
  EXPECT_NE(KvLogger.Logs, nullptr);
}

}  // namespace
