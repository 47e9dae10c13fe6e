#include "market/nclient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/closed_port.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"
#include "testing/proxy_doubles.h"
#include "testing/pump.h"
#include "testing/quote_double.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;
using testing_support::MessageTrace;
using testing_support::PumpUntil;

namespace {

constexpr char kServerIni[] = ".\\SERVER.INI";
constexpr char kUserIni[] = ".\\user\\SERVER.INI";

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += char(b);
  return s;
}

std::string PortBytes(uint16_t port) { return Bytes({port >> 8, port & 0xFF}); }

std::string Str(const std::vector<uint8_t> &v) { return std::string(v.begin(), v.end()); }

std::string ReadIni(const char *file, const char *section, const char *key) {
  char value[128] = {};
  GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
  return value;
}

void Set(const char *file, const char *section, const char *key, const std::string &value) {
  WritePrivateProfileStringA(section, key, value.c_str(), file);
}

// A client that remembers the errors its socket handlers were given.
struct WatchedClient : TNormalClnt {
  std::vector<int> closeErrors;
  int sendEvents = 0;
  void OnClose(int error) override {
    if (m_socket != INVALID_SOCKET) closeErrors.push_back(error);
    TNormalClnt::OnClose(error);
  }
  void OnSend(int error) override {
    ++sendEvents;
    TNormalClnt::OnSend(error);
  }
  ~WatchedClient() override { TNormalClnt::OnClose(0); }
};

// Each test runs in a program folder "prog" with "..\cfg" beside it and the
// user folder ".\user\", against a quote double whose directory and data
// servers are named by the settings.
class NClientTest : public testing_support::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(root_ + "/prog/user");
    fs::create_directories(root_ + "/cfg");
    fs::current_path(root_ + "/prog");
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    std::memcpy(savedUserPath_, UserDataPath, sizeof savedUserPath_);
    std::snprintf(UserDataPath, sizeof UserDataPath, "%s", ".\\user\\");
    ClearRights();
    AccountDate = 0;
    LoginSessionValue = 0;
    QuoteClientHooks() = TQuoteClientHooks{};
    progress_ = trace_.Create(0);
    main_ = trace_.Create(0);
    QuoteClientHooks().mainWindow = main_;
    ASSERT_TRUE(quotes_.Running());
    Set(kServerIni, "Server", "Address", "127.0.0.1");
    Set(kServerIni, "Server", "Port", std::to_string(quotes_.DirectoryPort()));
    Set(kServerIni, "Server", "Port1", std::to_string(quotes_.DataPort()));
    Set(kUserIni, "Server", "UserName", "alice");
    Set(kUserIni, "Server", "Password", "secret");
  }
  void TearDown() override {
    delete client_;
    client_ = nullptr;
    QuoteClientHooks() = TQuoteClientHooks{};
    ClearRights();
    std::memcpy(UserDataPath, savedUserPath_, sizeof savedUserPath_);
    ws::WSACleanup();
    TempFolderTest::TearDown();
  }

  void UseProxy(const ProxyDouble &proxy, int kind, const std::string &user = "", const std::string &password = "") {
    Set(kUserIni, "ProxyServer", "UseProxy", std::to_string(kind));
    Set(kUserIni, "ProxyServer", "Address", proxy.Host());
    Set(kUserIni, "ProxyServer", "Port", std::to_string(proxy.Port()));
    Set(kUserIni, "ProxyServer", "UserName", user);
    Set(kUserIni, "ProxyServer", "Password", password);
    Set(kUserIni, "ProxyServer", "CertUser", user.empty() ? "0" : "1");
  }
  void UseRelay(const ProxyDouble &relay) {
    Set(kUserIni, "ProxyServer", "GreenWay", "1");
    Set(kServerIni, "Server", "GC", relay.Host());
    Set(kServerIni, "Server", "GCPort", std::to_string(relay.Port()));
  }

  // Logs in the way the main window does; the client is kept on success.
  int LoginAsMainWindow(bool useCached = false) { return LoginQuoteClient(client_, progress_, useCached); }

  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (auto &call : boxes_.Calls()) {
      EXPECT_EQ(call.caption, "错误");
      texts.push_back(call.text);
    }
    return texts;
  }

  QuoteDouble quotes_;
  MessageBoxRecorder boxes_;
  MessageTrace trace_;
  HWND progress_ = nullptr;
  HWND main_ = nullptr;
  TNormalClnt *client_ = nullptr;
  char savedUserPath_[MAX_PATH] = {};
};

// The directory login body: prefixed user name, password, network kind,
// 30 zero bytes and 8.
std::string DirectoryLoginBody(const std::string &user, const std::string &password, int network = 1) {
  std::string body(64, '\0');
  user.copy(&body[0], std::min<size_t>(user.size(), 64));
  password.copy(&body[16], std::min<size_t>(password.size(), 48));
  body[28] = char(network);
  body[60] = 8;
  return body;
}

TEST_F(NClientTest, TwoStepLoginSendsExactRequestsAndKeepsTheGrant) {
  Put(root_ + "/cfg/usersetting.ini", "[UserInfo]\nfix=ab\n");
  Set(kServerIni, "Server", "Network", "3");
  DSINFO grant = QuoteDouble::DefaultGrant();
  grant.accountDate = PackAccountDate(2031, 6, 30);
  grant.marketRights[0] = 0x80;  // market 0: kind 0 only
  grant.marketRights[1] = 0;
  grant.session = 0x11223344;
  grant.value522 = 0x5566;
  grant.value524 = 0x778899AA;
  quotes_.SetGrant(grant);
  const uint8_t actual[4] = {10, 0, 0, 7};
  quotes_.SetDataServerAddress(actual);

  TNormalClnt client;
  ASSERT_EQ(client.Login(progress_, false), kLoginOk) << client.Text();

  auto directory = quotes_.Frames(QuoteDouble::kDirectory);
  ASSERT_EQ(directory.size(), 1u);
  EXPECT_EQ(Str(directory[0].raw),
            Bytes({0x40, 3, 1, 0, 0, 0, 64, 0, 0, 0}) + DirectoryLoginBody("abalice", "secret", 3));
  auto data = quotes_.Frames(QuoteDouble::kData);
  ASSERT_EQ(data.size(), 1u);
  std::string expected = Bytes({0x40, 207, 1, 0, 0, 0, 160, 0, 0, 0});
  std::string body(160, '\0');
  body.replace(0, 7, "abalice");
  body.replace(16, 6, "secret");
  body[28] = 8;
  body.replace(30, 96, std::string(reinterpret_cast<const char *>(grant.marketRights), 96));
  body.replace(126, 16, std::string(reinterpret_cast<const char *>(grant.newsRights), 16));
  body.replace(142, 10, Bytes({0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0xAA, 0x99, 0x88, 0x77}));
  EXPECT_EQ(Str(data[0].raw), expected + body);

  EXPECT_EQ(Get(root_ + "/cfg/dsinfo.dat"), std::string(reinterpret_cast<const char *>(&grant), sizeof grant));
  EXPECT_EQ(ReadIni(kServerIni, "Server", "dsAddr"), "127.0.0.1");
  EXPECT_EQ(ReadIni(kServerIni, "Server", "dsActual"), "10.0.0.7");
  EXPECT_EQ(HasMarketRight(0, 0), 1);
  EXPECT_EQ(HasMarketRight(0, 1), 0);
  EXPECT_EQ(AccountDate, 20310630u);
  EXPECT_EQ(LoginSessionValue, 0x11223344u);
  EXPECT_EQ(trace_.NumbersOf({WM_LOGIN_FIND_SERVER, WM_LOGIN_CONNECT_SERVER}, progress_),
            (std::vector<UINT>{WM_LOGIN_FIND_SERVER, WM_LOGIN_CONNECT_SERVER}));
  // The directory connection is given up; the data connection stays.
  EXPECT_TRUE(PumpUntil([&] { return quotes_.OpenConnections(QuoteDouble::kDirectory) == 0; }));
  EXPECT_EQ(quotes_.OpenConnections(QuoteDouble::kData), 1);
  EXPECT_NE(client.m_socket, INVALID_SOCKET);
}

// Answers that come in small chunks, late, or compressed are read whole.
TEST_F(NClientTest, LoginReadsAnswersInChunksLateAndCompressed) {
  struct Case {
    const char *name;
    QuoteDouble::Shape shape;
  };
  QuoteDouble::Shape chunks;
  chunks.chunkBytes = 3;
  chunks.chunkPauseMs = 2;
  QuoteDouble::Shape packed;
  packed.compress = true;
  QuoteDouble::Shape late;
  late.delayMs = 100;
  for (const Case &c : {Case{"chunks", chunks}, Case{"compressed", packed}, Case{"late", late}}) {
    quotes_.SetShape(QuoteDouble::kDirectory, FRAME_LOGIN, c.shape);
    quotes_.SetShape(QuoteDouble::kData, FRAME_DS_LOGIN, c.shape);
    TNormalClnt client;
    EXPECT_EQ(client.Login(nullptr, false), kLoginOk) << c.name << ": " << client.Text();
    const uint32_t session = QuoteDouble::DefaultGrant().session;
    EXPECT_EQ(LoginSessionValue, session) << c.name;
  }
}

struct ProxyCase {
  const char *name;
  ProxyKind kind;
  int useProxy;
  const char *user;
  const char *password;
  // The first connection's handshake, with %port% for the directory port.
  std::string handshake;
};

std::string WithPort(std::string text, uint16_t port, bool binary) {
  const std::string mark = "%port%";
  size_t at = text.find(mark);
  if (at != std::string::npos) text.replace(at, mark.size(), binary ? PortBytes(port) : std::to_string(port));
  return text;
}

TEST_F(NClientTest, LoginThroughEachProxyKind) {
  const std::string loopback = Bytes({127, 0, 0, 1});
  const std::vector<ProxyCase> cases = {
      {"socks4", ProxyKind::kSocks4, kProxySocks4, "", "", Bytes({4, 1}) + "%port%" + loopback + Bytes({0})},
      {"socks5", ProxyKind::kSocks5, kProxySocks5, "", "",
       Bytes({5, 1, 0}) + Bytes({5, 1, 0, 1}) + loopback + "%port%"},
      {"socks5 with password", ProxyKind::kSocks5, kProxySocks5, "proxu", "pw9",
       Bytes({5, 1, 2}) + Bytes({1, 5}) + "proxu" + Bytes({3}) + "pw9" + Bytes({5, 1, 0, 1}) + loopback + "%port%"},
      {"http", ProxyKind::kHttpConnect, kProxyHttp, "", "", "CONNECT 127.0.0.1:%port% HTTP/1.0\r\n\r\n"},
      {"http with password", ProxyKind::kHttpConnect, kProxyHttp, "proxu", "pw9",
       "CONNECT 127.0.0.1:%port% HTTP/1.0\r\nProxy-Authorization:Basic cHJveHU6cHc5\r\n\r\n"},
  };
  for (const ProxyCase &c : cases) {
    SCOPED_TRACE(c.name);
    ProxyDouble proxy(c.kind);
    ASSERT_TRUE(proxy.Running());
    if (c.user[0]) proxy.RequireCredentials(c.user, c.password);
    UseProxy(proxy, c.useProxy, c.user, c.password);
    quotes_.ClearFrames();
    TNormalClnt client;
    ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
    auto handshakes = proxy.Handshakes();
    ASSERT_EQ(handshakes.size(), 2u);  // directory, then data server
    const bool binary = c.kind != ProxyKind::kHttpConnect;
    EXPECT_EQ(handshakes[0], WithPort(c.handshake, quotes_.DirectoryPort(), binary));
    EXPECT_EQ(handshakes[1], WithPort(c.handshake, quotes_.DataPort(), binary));
    EXPECT_EQ(quotes_.Frames(QuoteDouble::kDirectory, FRAME_LOGIN).size(), 1u);
    EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_DS_LOGIN).size(), 1u);
  }
}

// A SOCKS5 proxy that names a domain in its reply: the whole reply is read,
// so the first frame is not taken for part of it.
TEST_F(NClientTest, Socks5ReplyWithADomainIsReadWhole) {
  ProxyDouble proxy(ProxyKind::kSocks5);
  proxy.SetAnswer(2, Bytes({5, 0, 0, 3, 9}) + "localhost" + Bytes({0, 80}), ProxyDouble::After::kContinue);
  UseProxy(proxy, kProxySocks5);
  TNormalClnt client;
  EXPECT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
}

TEST_F(NClientTest, LoginThroughTheRelay) {
  ProxyDouble relay(ProxyKind::kRelay);
  relay.SetTargetPorts({quotes_.DirectoryPort(), quotes_.DataPort()});
  UseRelay(relay);
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
  const std::string request = "CONNECT 127.0.0.1:80 HTTP/1.0\r\nUser-Agent: Kivo/1.0\r\n\r\n";
  EXPECT_EQ(relay.Handshakes(), (std::vector<std::string>{request, request}));
  EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_DS_LOGIN).size(), 1u);
}

// The relay and a proxy together: the proxy is asked for the relay.
TEST_F(NClientTest, RelayBehindAProxy) {
  ProxyDouble relay(ProxyKind::kRelay);
  relay.SetTargetPorts({quotes_.DirectoryPort(), quotes_.DataPort()});
  ProxyDouble proxy(ProxyKind::kHttpConnect);
  UseRelay(relay);
  UseProxy(proxy, kProxyHttp);
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
  EXPECT_EQ(proxy.RequestedPort(), relay.Port());
  EXPECT_EQ(relay.Connections(), 2);
}

struct RelayCase {
  const char *name;
  std::string answer;  // empty: the relay closes without answering
  int login;
  const char *text;
};

TEST_F(NClientTest, RelayAnswersThatAreRefused) {
  const std::vector<RelayCase> cases = {
      {"HTTP/1.1", "HTTP/1.1 200 OK\r\n\r\n", kLoginNetwork, "认证失败，无法通过绿色通道中转。"},
      {"not 200", "HTTP/1.0 403 Forbidden\r\n\r\n", kLoginNetwork, "认证失败，无法通过绿色通道中转。"},
      {"blank line before the status", "HTTP/1.0\r\n\r\n", kLoginNetwork, "认证失败，无法通过绿色通道中转。"},
      {"no blank line in a full buffer", "HTTP/1.0 200 " + std::string(9000, 'x'), kLoginNetwork,
       "认证失败，无法通过绿色通道中转。"},
      {"closed", "", kLoginNetwork, "接收数据失败，无法通过绿色通道中转。"},
  };
  for (const RelayCase &c : cases) {
    SCOPED_TRACE(c.name);
    ProxyDouble relay(ProxyKind::kRelay);
    relay.SetTargetPort(quotes_.DirectoryPort());
    if (c.answer.empty())
      relay.CloseAt(0);
    else
      relay.SetAnswer(0, c.answer, ProxyDouble::After::kClose);
    UseRelay(relay);
    boxes_.Clear();
    EXPECT_EQ(LoginAsMainWindow(), c.login);
    EXPECT_EQ(client_, nullptr);
    EXPECT_EQ(Boxes(), std::vector<std::string>{c.text});
    EXPECT_TRUE(quotes_.Frames().empty());
  }
}

TEST_F(NClientTest, SingleLoginUsesOneConnection) {
  Set(kServerIni, "Server", "NOJH", "1");
  Set(kServerIni, "Server", "Address", "localhost");
  DSINFO grant = QuoteDouble::DefaultGrant();
  grant.dataServer[0] = 10, grant.dataServer[1] = 1, grant.dataServer[2] = 2, grant.dataServer[3] = 3;
  grant.session = 77;
  quotes_.SetGrant(grant);
  TNormalClnt client;
  ASSERT_EQ(client.Login(progress_, false), kLoginOk) << client.Text();
  EXPECT_FALSE(client.DirectoryLogin());
  EXPECT_EQ(quotes_.Accepted(QuoteDouble::kDirectory), 0);
  auto frames = quotes_.Frames(QuoteDouble::kData);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(Str(frames[0].Body()), DirectoryLoginBody("alice", "secret"));
  // The host name is resolved and kept for the next cached login.
  EXPECT_EQ(ReadIni(kServerIni, "Server", "DirectIP"), "127.0.0.1");
  EXPECT_EQ(ReadIni(kServerIni, "Server", "dsAddr"), "127.0.0.1");
  EXPECT_EQ(ReadIni(kServerIni, "Server", "dsActual"), "10.1.2.3");
  EXPECT_EQ(LoginSessionValue, 77u);
  EXPECT_EQ(trace_.NumbersOf({WM_LOGIN_FIND_SERVER, WM_LOGIN_CONNECT_SERVER}, progress_),
            std::vector<UINT>{WM_LOGIN_FIND_SERVER});
}

TEST_F(NClientTest, SingleLoginAnsweredWithAnAddress) {
  Set(kServerIni, "Server", "NOJH", "1");
  const uint8_t address[4] = {10, 4, 5, 6};
  quotes_.SetDataServerAddress(address);
  quotes_.SetSingleLoginAnswersWithAddress(true);
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
  EXPECT_EQ(ReadIni(kServerIni, "Server", "dsActual"), "10.4.5.6");
  EXPECT_EQ(HasMarketRight(0, 0), 0);  // no grant came
}

// With the cache, single login goes straight to DirectIP at Port1.
TEST_F(NClientTest, CachedSingleLoginGoesToDirectIp) {
  Set(kServerIni, "Server", "NOJH", "1");
  Set(kServerIni, "Server", "Address", "nowhere.invalid");
  Set(kServerIni, "Server", "DirectIP", "127.0.0.1");
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, true), kLoginOk) << client.Text();
  EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_LOGIN).size(), 1u);
  EXPECT_EQ(quotes_.Frames().size(), 1u);
}

TEST_F(NClientTest, CachedGrantSkipsTheDirectory) {
  DSINFO grant = QuoteDouble::DefaultGrant();
  grant.session = 4242;
  quotes_.SetGrant(grant);
  Put(root_ + "/cfg/dsinfo.dat", std::string(reinterpret_cast<const char *>(&grant), sizeof grant));
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, true), kLoginOk) << client.Text();
  EXPECT_EQ(quotes_.Accepted(QuoteDouble::kDirectory), 0);
  auto data = quotes_.Frames(QuoteDouble::kData, FRAME_DS_LOGIN);
  ASSERT_EQ(data.size(), 1u);
  uint32_t session;
  std::memcpy(&session, data[0].Body().data() + 142, 4);
  EXPECT_EQ(session, 4242u);
  EXPECT_EQ(HasFeatureRight(1), 1);
}

TEST_F(NClientTest, MissingOrShortCachedGrantGivesOne) {
  for (int size : {-1, 0, 527}) {
    SCOPED_TRACE(size);
    fs::remove(root_ + "/cfg/dsinfo.dat");
    if (size >= 0) Put(root_ + "/cfg/dsinfo.dat", std::string(size_t(size), '\x01'));
    TNormalClnt client;
    EXPECT_EQ(client.Login(nullptr, true), kLoginNoDirectory);
    EXPECT_EQ(client.m_socket, INVALID_SOCKET);
    EXPECT_EQ(HasFeatureRight(1), 0);
  }
  EXPECT_EQ(quotes_.Accepted(QuoteDouble::kDirectory) + quotes_.Accepted(QuoteDouble::kData), 0);
}

TEST_F(NClientTest, CommandLineNamesTheDataServer) {
  DSINFO grant = QuoteDouble::DefaultGrant();
  quotes_.SetGrant(grant);
  QuoteClientHooks().arguments = {"/d", "localhost"};
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
  EXPECT_EQ(ReadIni(kServerIni, "Server", "dsAddr"), "localhost");
  EXPECT_EQ(quotes_.Accepted(QuoteDouble::kData), 1);
}

TEST_F(NClientTest, EachLoginExchangeEmptiesTheRequestQueue) {
  static int resets;
  resets = 0;
  QuoteClientHooks().resetRequestQueue = [] { ++resets; };
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk);
  EXPECT_EQ(resets, 2);
}

struct ServerRefusalCase {
  const char *name;
  std::function<void(QuoteDouble &)> arrange;
  int login;
  std::vector<std::string> boxes;
};

std::vector<uint8_t> Filled(size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

// Refused or broken at each step of the login; the user sees the server's
// text, or the client's own for a network failure.
TEST_F(NClientTest, LoginRefusedAtEachStep) {
  using Q = QuoteDouble;
  auto answerWith = [](Q::Role role, uint8_t command, uint8_t answer, std::vector<uint8_t> body) {
    return [=](Q &q) { q.SetHandler(role, command, [=](Q::Exchange &e) { e.Answer(answer, body); }); };
  };
  const std::string longText(400, 'z');
  const std::vector<ServerRefusalCase> cases = {
      {"directory refuses",
       [](Q &q) { q.Refuse(Q::kDirectory, FRAME_LOGIN, "帐号已过期。", 5); },
       kLoginRefused,
       {"帐号已过期。"}},
      {"data server refuses",
       [](Q &q) { q.Refuse(Q::kData, FRAME_DS_LOGIN, "服务器已满。"); },
       kLoginRefused,
       {"服务器已满。"}},
      {"wrong password", [](Q &q) { q.SetAccount("alice", "other"); }, kLoginRefused, {"用户名或密码错误。"}},
      {"server text cut to its field",
       [=](Q &q) { q.Refuse(Q::kDirectory, FRAME_LOGIN, longText); },
       kLoginRefused,
       {std::string(255, 'z')}},
      {"refusal without a text",
       answerWith(Q::kDirectory, FRAME_LOGIN, FRAME_SERVER_TEXT, {0, 0}),
       kLoginRefused,
       {"未知错误。"}},
      {"unknown answer", answerWith(Q::kDirectory, FRAME_LOGIN, 9, {1, 2, 3}), kLoginRefused, {"未知错误。"}},
      {"grant cut short",
       answerWith(Q::kDirectory, FRAME_LOGIN, FRAME_LOGIN, Filled(527, 0xFF)),
       kLoginNetwork,
       {"网络连接发生错误。"}},
      {"address cut short",
       answerWith(Q::kData, FRAME_DS_LOGIN, FRAME_DS_LOGIN, {127, 0}),
       kLoginNetwork,
       {"网络连接发生错误。"}},
      {"directory drops",
       [](Q &q) {
         Q::Shape drop;
         drop.fault = Q::Fault::kDrop;
         q.SetShape(Q::kDirectory, FRAME_LOGIN, drop);
       },
       kLoginNetwork,
       {"网络连接发生错误。"}},
      {"body above 8192",
       [](Q &q) {
         Q::Shape bad;
         bad.fault = Q::Fault::kBodyTooLong;
         q.SetShape(Q::kDirectory, FRAME_LOGIN, bad);
       },
       kLoginNetwork,
       {"网络连接发生错误。"}},
      {"undecodable body",
       [](Q &q) {
         Q::Shape bad;
         bad.fault = Q::Fault::kUndecodable;
         q.SetShape(Q::kData, FRAME_DS_LOGIN, bad);
       },
       kLoginNetwork,
       {"网络连接发生错误。"}},
  };
  for (const ServerRefusalCase &c : cases) {
    SCOPED_TRACE(c.name);
    QuoteDouble quotes;
    ASSERT_TRUE(quotes.Running());
    Set(kServerIni, "Server", "Port", std::to_string(quotes.DirectoryPort()));
    Set(kServerIni, "Server", "Port1", std::to_string(quotes.DataPort()));
    c.arrange(quotes);
    boxes_.Clear();
    trace_.Clear();
    EXPECT_EQ(LoginAsMainWindow(), c.login);
    EXPECT_EQ(client_, nullptr);
    EXPECT_EQ(Boxes(), c.boxes);
    std::vector<UINT> failed;
    for (auto &m : trace_.Messages())
      if (m.hwnd == progress_ && m.message == WM_LOGIN_FAILED) {
        failed.push_back(m.message);
        EXPECT_EQ(m.lParam, c.login);
      }
    EXPECT_EQ(failed.size(), 1u);
  }
}

// Servers that can't be reached: the result tells which, and nothing is shown.
TEST_F(NClientTest, UnreachableServersAreToldApartWithoutABox) {
  testing_support::ClosedTcpPort closed;
  Set(kServerIni, "Server", "Port", std::to_string(closed.Port()));
  EXPECT_EQ(LoginAsMainWindow(), kLoginNoDirectory);
  Set(kServerIni, "Server", "Port", std::to_string(quotes_.DirectoryPort()));
  Set(kServerIni, "Server", "Port1", std::to_string(closed.Port()));
  EXPECT_EQ(LoginAsMainWindow(), kLoginNoDataServer);
  EXPECT_TRUE(boxes_.Calls().empty());
}

struct ProxyRefusalCase {
  const char *name;
  ProxyKind kind;
  int useProxy;
  const char *user;  // non-empty: CertUser with password "pw"
  std::function<void(ProxyDouble &)> arrange;
  int login;
  std::vector<std::string> boxes;
};

TEST_F(NClientTest, ProxyRefusals) {
  using A = ProxyDouble::After;
  const std::vector<ProxyRefusalCase> cases = {
      {"socks5 wants a password the user has not set",
       ProxyKind::kSocks5,
       kProxySocks5,
       "",
       [](ProxyDouble &p) {
         p.SetAnswer(0, Bytes({5, 2}), A::kClose);
       },
       kLoginNetwork,
       {"代理服务器需要身份验证。"}},
      {"socks5 takes no method",
       ProxyKind::kSocks5,
       kProxySocks5,
       "",
       [](ProxyDouble &p) { p.RequireCredentials("u", "pw"); },
       kLoginNetwork,
       {"代理服务器认证失败。"}},
      {"socks5 wrong password",
       ProxyKind::kSocks5,
       kProxySocks5,
       "u",
       [](ProxyDouble &p) { p.RequireCredentials("u", "other"); },
       kLoginNetwork,
       {"代理服务器认证失败。"}},
      {"socks5 choice cut short",
       ProxyKind::kSocks5,
       kProxySocks5,
       "",
       [](ProxyDouble &p) { p.SetAnswer(0, Bytes({5}), A::kClose); },
       kLoginNetwork,
       {"代理服务器认证失败。"}},
      {"socks5 connect refused",
       ProxyKind::kSocks5,
       kProxySocks5,
       "",
       [](ProxyDouble &p) {
         p.SetAnswer(2, Bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0}), A::kClose);
       },
       kLoginNoDirectory,
       {}},
      {"socks5 reply cut short",
       ProxyKind::kSocks5,
       kProxySocks5,
       "",
       [](ProxyDouble &p) {
         p.SetAnswer(2, Bytes({5, 0, 0, 1, 127}), A::kClose);
       },
       kLoginNetwork,
       {"无法连接代理服务器。"}},
      {"socks4 rejected",
       ProxyKind::kSocks4,
       kProxySocks4,
       "",
       [](ProxyDouble &p) {
         p.SetAnswer(0, Bytes({0, 91, 0, 0, 0, 0, 0, 0}), A::kClose);
       },
       kLoginNoDirectory,
       {}},
      {"http needs a password",
       ProxyKind::kHttpConnect,
       kProxyHttp,
       "",
       [](ProxyDouble &p) { p.RequireCredentials("u", "pw"); },
       kLoginNetwork,
       {"代理服务器需要身份验证。"}},
      {"http wrong password",
       ProxyKind::kHttpConnect,
       kProxyHttp,
       "u",
       [](ProxyDouble &p) { p.RequireCredentials("u", "other"); },
       kLoginNetwork,
       {"代理服务器认证失败。"}},
      {"http forbidden",
       ProxyKind::kHttpConnect,
       kProxyHttp,
       "",
       [](ProxyDouble &p) { p.SetAnswer(0, "HTTP/1.1 403 Forbidden\r\n\r\n", A::kClose); },
       kLoginNoDirectory,
       {}},
      {"http answer of 11 bytes",
       ProxyKind::kHttpConnect,
       kProxyHttp,
       "",
       [](ProxyDouble &p) { p.SetAnswer(0, "HTTP/1.0 20", A::kClose); },
       kLoginNetwork,
       {"无法连接代理服务器。"}},
      {"proxy closes at once",
       ProxyKind::kHttpConnect,
       kProxyHttp,
       "",
       [](ProxyDouble &p) { p.CloseAt(0); },
       kLoginNetwork,
       {"无法连接代理服务器。"}},
  };
  for (const ProxyRefusalCase &c : cases) {
    SCOPED_TRACE(c.name);
    ProxyDouble proxy(c.kind);
    c.arrange(proxy);
    UseProxy(proxy, c.useProxy, c.user, c.user[0] ? "pw" : "");
    boxes_.Clear();
    EXPECT_EQ(LoginAsMainWindow(), c.login);
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_TRUE(quotes_.Frames().empty());
  }
}

TEST_F(NClientTest, ProxyThatCannotBeReachedOrNamesAHost) {
  testing_support::ClosedTcpPort closed;
  Set(kUserIni, "ProxyServer", "UseProxy", "1");
  Set(kUserIni, "ProxyServer", "Address", "127.0.0.1");
  Set(kUserIni, "ProxyServer", "Port", std::to_string(closed.Port()));
  EXPECT_EQ(LoginAsMainWindow(), kLoginNetwork);
  // SOCKS4 can't carry a host name.
  ProxyDouble socks4(ProxyKind::kSocks4);
  UseProxy(socks4, kProxySocks4);
  Set(kServerIni, "Server", "Address", "localhost");
  EXPECT_EQ(LoginAsMainWindow(), kLoginNetwork);
  for (const std::string &sent : socks4.Handshakes()) EXPECT_EQ(sent, "");
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"无法连接代理服务器。", "SOCKS4 代理不支持域名。"}));
}

// A blocking read the server never answers ends at once when another
// thread interrupts the client, long before the blocking time-out.
TEST_F(NClientTest, AnInterruptEndsABlockingReadAtOnce) {
  QuoteClientHooks().blockingTimeoutMs = 600000;
  TNormalClnt client;
  ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
  // The data server has no handler for the code table: it never answers.
  const std::vector<uint8_t> frame = QuoteDouble::MakeFrame(FRAME_CODE_TABLE, std::vector<uint8_t>(8));
  ASSERT_EQ(client.SendFrame(frame.data(), int(frame.size())), int(frame.size()));
  auto read = std::async(std::launch::async, [&] { return client.ReadHeaderBlocking(); });
  ASSERT_TRUE(testing_support::PumpUntil(
      [&] { return !quotes_.Frames(QuoteDouble::kData, FRAME_CODE_TABLE).empty(); }, 20000));
  client.Interrupt();
  const bool ended = read.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  if (!ended) quotes_.DropConnections(QuoteDouble::kData);  // lets the read end
  EXPECT_TRUE(ended) << "the read waits for the time-out";
  EXPECT_FALSE(read.get());
}

// ---- the asynchronous phase ----

class NClientArmedTest : public NClientTest {
 protected:
  void LogIn(WatchedClient &client) {
    ASSERT_EQ(client.Login(nullptr, false), kLoginOk) << client.Text();
    ASSERT_EQ(client.ArmAsyncEvents(), 1);
    trace_.Clear();
  }
};

TEST_F(NClientArmedTest, KeepAliveIsABareHead) {
  WatchedClient client;
  LogIn(client);
  quotes_.ClearFrames();
  EXPECT_EQ(client.SendKeepAlive(), 1);
  ASSERT_TRUE(quotes_.WaitForFrames(1));
  EXPECT_EQ(Str(quotes_.Frames()[0].raw), Bytes({0x40, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(client.QueuedBytes(), 0);
}

// A peer that stops reading: bytes wait in the send buffer, and the write
// notice that comes once the peer drains sends them, in order.
TEST_F(NClientArmedTest, StalledPeerDrainsOnTheWriteNotice) {
  ProxyDouble proxy(ProxyKind::kHttpConnect);
  UseProxy(proxy, kProxyHttp);
  WatchedClient client;
  LogIn(client);
  quotes_.ClearFrames();
  int small = 64 * 1024;
  ws::setsockopt(client.m_socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char *>(&small), sizeof small);
  proxy.PauseForwarding(true);
  std::vector<uint8_t> body(1500);
  int sent = 0;
  for (int i = 0; i < 100000 && client.QueuedBytes() == 0; ++i) {
    for (size_t k = 0; k < body.size(); ++k) body[k] = uint8_t(i + k);
    uint8_t frame[kFrameHeadSize + 1500];
    const int length = EncodeFrame(99, body.data(), int(body.size()), frame, sizeof frame);
    ASSERT_GE(client.SendFrame(frame, length), 0);
    ++sent;
  }
  ASSERT_GT(client.QueuedBytes(), 0);
  // With a frame waiting the buffer has no room for another one.
  uint8_t frame[kFrameHeadSize + 1500];
  EXPECT_EQ(client.SendFrame(frame, EncodeFrame(99, body.data(), int(body.size()), frame, sizeof frame)), -1);
  proxy.PauseForwarding(false);
  EXPECT_TRUE(PumpUntil([&] { return client.QueuedBytes() == 0; }, 10000));
  EXPECT_GT(client.sendEvents, 0);
  ASSERT_TRUE(quotes_.WaitForFrames(size_t(sent), 10000));
  auto frames = quotes_.Frames();
  ASSERT_EQ(frames.size(), size_t(sent));
  for (int i = 0; i < sent; ++i) {
    ASSERT_FALSE(frames[size_t(i)].malformed);
    ASSERT_EQ(frames[size_t(i)].Body()[0], uint8_t(i)) << i;
  }
  EXPECT_NE(client.m_socket, INVALID_SOCKET);
}

// With the peer stalled and the send buffer full, the keep-alive gives up:
// the client closes and tells the main window.
TEST_F(NClientArmedTest, KeepAliveIntoAFullBufferCloses) {
  ProxyDouble proxy(ProxyKind::kHttpConnect);
  UseProxy(proxy, kProxyHttp);
  WatchedClient client;
  LogIn(client);
  proxy.PauseForwarding(true);
  std::vector<uint8_t> body(2000, 7);
  uint8_t frame[kFrameHeadSize + 2000];
  const int length = EncodeFrame(99, body.data(), int(body.size()), frame, sizeof frame);
  for (int i = 0; i < 100000 && client.QueuedBytes() == 0; ++i) ASSERT_GE(client.SendFrame(frame, length), 0);
  int calls = 0;
  while (client.SendKeepAlive() == 1 && calls < 100000) ++calls;
  EXPECT_LT(calls, 100000);
  EXPECT_EQ(client.m_socket, INVALID_SOCKET);
  EXPECT_EQ(client.QueuedBytes(), 0);
  EXPECT_EQ(client.SendKeepAlive(), 0);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace_.Count(WM_QUOTE_EVENT, main_), 1u);
}

TEST_F(NClientArmedTest, PeerEndingTheConnectionReachesOnClose) {
  struct Case {
    const char *name;
    bool reset;
    int error;
  };
  for (const Case &c : {Case{"orderly end", false, 0}, Case{"reset", true, WSAECONNRESET}}) {
    SCOPED_TRACE(c.name);
    WatchedClient client;
    LogIn(client);
    quotes_.DropConnections(QuoteDouble::kData, c.reset);
    ASSERT_TRUE(PumpUntil([&] { return !client.closeErrors.empty(); }));
    EXPECT_EQ(client.closeErrors, std::vector<int>{c.error});
    EXPECT_EQ(client.m_socket, INVALID_SOCKET);
    EXPECT_TRUE(PumpUntil([&] { return trace_.Count(WM_QUOTE_EVENT, main_) == 1; }));
  }
}

// Answers that arrive before the reader exists are taken off the socket,
// so the close that follows still comes through.
TEST_F(NClientArmedTest, DataBeforeTheCloseIsTakenOff) {
  WatchedClient client;
  LogIn(client);
  ASSERT_TRUE(quotes_.Send(QuoteDouble::kData, QuoteDouble::MakeFrame(FRAME_KEEPALIVE, {})));
  ASSERT_TRUE(quotes_.Send(QuoteDouble::kData, std::vector<uint8_t>(20000, 0x40)));
  quotes_.DropConnections(QuoteDouble::kData);
  EXPECT_TRUE(PumpUntil([&] { return !client.closeErrors.empty(); }));
}

TEST_F(NClientArmedTest, DeletingAnOpenClientTellsTheMainWindowOnce) {
  auto client = std::make_unique<TNormalClnt>();
  ASSERT_EQ(client->Login(nullptr, false), kLoginOk);
  client->OnClose(0);
  client->OnClose(0);
  client.reset();
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace_.Count(WM_QUOTE_EVENT, main_), 1u);
  client = std::make_unique<TNormalClnt>();
  ASSERT_EQ(client->Login(nullptr, false), kLoginOk);
  client.reset();
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace_.Count(WM_QUOTE_EVENT, main_), 2u);
}

TEST(Base64Encode, GroupsPaddingAndLineBreaks) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"abc", "YWJj"},
      {"ab", "YWI="},
      {"a", "YQ=="},
      {"", ""},
      {"u:pw", "dTpwdw=="},
      // 18 whole groups fill a line; the break comes only before more.
      {std::string(54, 'a'), std::string(18, 'x')},
      {std::string(55, 'a'), std::string(18, 'x') + "\r\nYQ=="},
  };
  for (const Case &c : cases) {
    std::string expected = c.out;
    // "x" stands for the group of "aaa".
    for (size_t at; (at = expected.find('x')) != std::string::npos;) expected.replace(at, 1, "YWFh");
    char out[256];
    EXPECT_EQ(Base64Encode(c.in.c_str(), out, sizeof out), int(expected.size())) << c.in;
    EXPECT_EQ(std::string(out), expected) << c.in;
  }
  // Cut at a whole group when the output is short.
  char out[8];
  EXPECT_EQ(Base64Encode("abcdef", out, sizeof out), 4);
  EXPECT_STREQ(out, "YWJj");
}

}  // namespace

namespace {

TEST_F(NClientTest, PasswordChangeAsksTheDirectoryServer) {
  char record[40] = {};
  std::memcpy(record + 28, "newsecret123", 12);  // the last byte goes out as 0
  enum Arrange { kNothing, kRefuse, kSingleLogin, kUnreachable };
  struct Case {
    const char *name;
    Arrange arrange;
    int result;
    const char *text;
  };
  const Case cases[] = {
      {"accepted", kNothing, 0, ""},
      {"refused with the server's text", kRefuse, 4, "旧密码错误。"},
      {"single-login mode has no directory", kSingleLogin, 5, nullptr},
      {"directory unreachable", kUnreachable, 1, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    quotes_.Accept(QuoteDouble::kDirectory, FRAME_CHANGE_PASSWORD);
    quotes_.ClearFrames();
    Set(kServerIni, "Server", "NOJH", c.arrange == kSingleLogin ? "1" : "0");
    Set(kServerIni, "Server", "Port", c.arrange == kUnreachable ? "1" : std::to_string(quotes_.DirectoryPort()));
    if (c.arrange == kRefuse) quotes_.Refuse(QuoteDouble::kDirectory, FRAME_CHANGE_PASSWORD, "旧密码错误。");
    TNormalClnt client;
    EXPECT_EQ(client.ChangePassword(record), c.result);
    if (c.text) EXPECT_STREQ(client.Text(), c.text);
    EXPECT_EQ(client.m_socket, INVALID_SOCKET);  // closed on every path
    auto sent = quotes_.Frames(QuoteDouble::kDirectory, FRAME_CHANGE_PASSWORD);
    if (c.result == 0 || c.result == 4) {
      ASSERT_EQ(sent.size(), 1u);
      auto body = sent[0].Body();
      ASSERT_EQ(body.size(), 40u);
      EXPECT_EQ(std::string(reinterpret_cast<char *>(body.data()), 5), "alice");
      EXPECT_EQ(std::string(reinterpret_cast<char *>(body.data()) + 28, 12), std::string("newsecret12\0", 12));
    } else {
      EXPECT_TRUE(sent.empty());
    }
  }
}

}  // namespace
