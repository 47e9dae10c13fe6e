// The quote-service double, driven by a plain blocking client built on the
// terminal's own request encoding and frame checks.
#include "testing/quote_double.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/lzw.h"
#include "market/nclient_frames.h"
#include "testing/temp_folder.h"

using Bytes = std::vector<uint8_t>;

namespace {

// The double's data set (and every test folder) goes where the system's
// temporary folder is: TMPDIR when it names one.
TEST(TemporaryFolders, FreshFoldersFollowTMPDIR) {
  const std::string outer = testing_support::MakeTempFolder("kivo-tmpdir");
  ASSERT_FALSE(outer.empty());
  const char *before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  setenv("TMPDIR", outer.c_str(), 1);
  const std::string inner = testing_support::MakeTempFolder("kivo-quote-double");
  const std::string other = testing_support::MakeTempFolder("kivo-quote-double");
  if (before)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_EQ(std::filesystem::path(inner).parent_path(), std::filesystem::path(outer));
  EXPECT_TRUE(std::filesystem::is_directory(inner));
  EXPECT_NE(inner, other);
  std::error_code ignored;
  std::filesystem::remove_all(outer, ignored);
}

// A blocking loopback client with a receive time-out.
class Client {
 public:
  explicit Client(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval wait{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  }
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Connected() const { return connected_; }

  void Send(const Bytes &bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }
  void SendRequest(const REQUESTREC &request, const RequestInputs &inputs) {
    uint8_t frame[kMaxSentFrame];
    const int n = EncodeRequest(request, inputs, frame, sizeof frame);
    ASSERT_GT(n, 0);
    Send(Bytes(frame, frame + n));
  }

  // Reads through the terminal's frame assembler: the next frame, or the
  // error or end that came instead.
  struct Got {
    FrameAssembler::Result result = FrameAssembler::kWait;  // kWait: the stream ended
    FrameError error = FrameError::kNone;
    FRAMEHEAD head{};
    Bytes body;
    int receives = 0;
  };
  Got Next() {
    Got got;
    for (;;) {
      const uint8_t *body = nullptr;
      got.result = assembler_.Next(&got.head, &body);
      if (got.result == FrameAssembler::kFrame) {
        got.body.assign(body, body + got.head.bodyLength);
        return got;
      }
      if (got.result == FrameAssembler::kError) {
        got.error = assembler_.Error();
        return got;
      }
      const ssize_t n = ::recv(fd_, assembler_.Space(), size_t(assembler_.SpaceSize()), 0);
      if (n <= 0) {
        lastError_ = n < 0 ? errno : 0;
        return got;
      }
      assembler_.Received(int(n));
      ++got.receives;
    }
  }
  // Bytes until the peer closes (or the time-out); errno of the end.
  Bytes Rest(int *endError = nullptr) {
    Bytes all;
    uint8_t chunk[4096];
    for (;;) {
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) {
        if (endError) *endError = n < 0 ? errno : 0;
        return all;
      }
      all.insert(all.end(), chunk, chunk + n);
    }
  }
  int LastError() const { return lastError_; }

 private:
  int fd_ = -1;
  bool connected_ = false;
  int lastError_ = 0;
  FrameAssembler assembler_;
};

template <size_t N>
void SetText(char (&field)[N], const std::string &s) {
  std::memset(field, 0, N);
  std::memcpy(field, s.data(), std::min(s.size(), N));
}

REQUESTREC LoginRequest() {
  REQUESTREC r{};
  r.kind = REQ_LOGIN;
  return r;
}

RequestInputs Account(const std::string &user, const std::string &password, const DSINFO *grant = nullptr) {
  RequestInputs in;
  SetText(in.user, user);
  SetText(in.password, password);
  in.grant = grant;
  return in;
}

std::string Text(const Bytes &body) {
  uint8_t textClass = 0;
  char text[256];
  if (!ReadServerText(body.data(), int(body.size()), &textClass, text, sizeof text)) return "<malformed>";
  return text;
}

Bytes GrantBytes(const DSINFO &grant) {
  const uint8_t *p = reinterpret_cast<const uint8_t *>(&grant);
  return Bytes(p, p + sizeof grant);
}

// ---------------------------------------------------------------------------

TEST(QuoteDouble, DirectoryThenDataServerLogin) {
  QuoteDouble server;
  ASSERT_TRUE(server.Running());
  server.SetAccount("fx_alice", "secret");
  DSINFO grant = QuoteDouble::DefaultGrant();
  grant.session = 0xDEADBEEF;
  server.SetGrant(grant);
  const uint8_t actual[4] = {127, 0, 0, 9};
  server.SetDataServerAddress(actual);

  DSINFO got{};
  {
    Client directory(server.DirectoryPort());
    ASSERT_TRUE(directory.Connected());
    directory.SendRequest(LoginRequest(), Account("fx_alice", "secret"));
    Client::Got answer = directory.Next();
    ASSERT_EQ(answer.result, FrameAssembler::kFrame);
    EXPECT_EQ(answer.head.command, FRAME_LOGIN);
    ASSERT_TRUE(ReadGrant(answer.body.data(), int(answer.body.size()), &got));
    EXPECT_EQ(GrantBytes(got), GrantBytes(grant));
  }
  Client data(server.DataPort());
  data.SendRequest(LoginRequest(), Account("fx_alice", "secret", &got));
  Client::Got answer = data.Next();
  ASSERT_EQ(answer.result, FrameAssembler::kFrame);
  EXPECT_EQ(answer.head.command, FRAME_DS_LOGIN);
  EXPECT_EQ(answer.body, (Bytes{127, 0, 0, 9}));

  // The recorder has both requests byte for byte.
  ASSERT_TRUE(server.WaitForFrames(2));
  const auto dir = server.Frames(QuoteDouble::kDirectory);
  ASSERT_EQ(dir.size(), 1u);
  EXPECT_FALSE(dir[0].malformed);
  Bytes expected(kFrameHeadSize + 64, 0);
  const uint8_t head[] = {0x40, 3, 1, 0, 0, 0, 64, 0, 0, 0};
  std::memcpy(expected.data(), head, sizeof head);
  std::memcpy(expected.data() + 10, "fx_alice", 8);
  std::memcpy(expected.data() + 26, "secret", 6);
  expected[38] = 1;  // network kind
  expected[70] = 8;
  EXPECT_EQ(dir[0].raw, expected);
  const auto ds = server.Frames(QuoteDouble::kData, FRAME_DS_LOGIN);
  ASSERT_EQ(ds.size(), 1u);
  EXPECT_EQ(int{ds[0].Head().bodyLength}, 160);
  EXPECT_EQ(server.Accepted(QuoteDouble::kDirectory), 1);
  EXPECT_EQ(server.Accepted(QuoteDouble::kData), 1);
}

TEST(QuoteDouble, SingleLoginAnswersWithTheGrantOrTheAddress) {
  QuoteDouble server;
  Client first(server.DataPort());
  first.SendRequest(LoginRequest(), Account("bob", "pw"));
  Client::Got answer = first.Next();
  ASSERT_EQ(answer.result, FrameAssembler::kFrame);
  EXPECT_EQ(answer.head.command, FRAME_LOGIN);
  EXPECT_EQ(answer.body, GrantBytes(server.Grant()));

  server.SetSingleLoginAnswersWithAddress(true);
  Client second(server.DataPort());
  second.SendRequest(LoginRequest(), Account("bob", "pw"));
  answer = second.Next();
  ASSERT_EQ(answer.result, FrameAssembler::kFrame);
  EXPECT_EQ(answer.head.command, FRAME_DS_LOGIN);
  EXPECT_EQ(answer.body, (Bytes{127, 0, 0, 1}));
}

TEST(QuoteDouble, RefusesEachStepWithItsText) {
  struct Case {
    const char *name;
    std::function<void(QuoteDouble &)> setup;
    QuoteDouble::Role role;
    RequestInputs inputs;
    std::string text;
  };
  const DSINFO grant = QuoteDouble::DefaultGrant();
  DSINFO stale = grant;
  stale.session ^= 1;
  const Case cases[] = {
      {"wrong password at the directory", [](QuoteDouble &s) { s.SetAccount("alice", "right"); },
       QuoteDouble::kDirectory, Account("alice", "wrong"), "用户名或密码错误。"},
      {"directory told to refuse", [](QuoteDouble &s) { s.Refuse(QuoteDouble::kDirectory, 3, "账号已过期。", 1); },
       QuoteDouble::kDirectory, Account("alice", "pw"), "账号已过期。"},
      {"data server told to refuse", [](QuoteDouble &s) { s.Refuse(QuoteDouble::kData, 207, "服务器忙。"); },
       QuoteDouble::kData, Account("alice", "pw", &grant), "服务器忙。"},
      {"data login with another session", [](QuoteDouble &) {}, QuoteDouble::kData, Account("alice", "pw", &stale),
       "登录信息无效，请重新登录。"},
      {"single login told to refuse", [](QuoteDouble &s) { s.Refuse(QuoteDouble::kData, 3, "不允许登录。"); },
       QuoteDouble::kData, Account("alice", "pw"), "不允许登录。"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    QuoteDouble server;
    c.setup(server);
    Client client(server.Port(c.role));
    client.SendRequest(LoginRequest(), c.inputs);
    Client::Got answer = client.Next();
    ASSERT_EQ(answer.result, FrameAssembler::kFrame);
    EXPECT_EQ(answer.head.command, FRAME_SERVER_TEXT);
    EXPECT_EQ(Text(answer.body), c.text);
  }
}

TEST(QuoteDouble, PasswordChangeTakesTheNewPassword) {
  QuoteDouble server;
  server.SetAccount("alice", "old");
  Client client(server.DirectoryPort());
  REQUESTREC change{};
  change.kind = REQ_CHANGE_PASSWORD;
  SetText(change.code, "new");
  client.SendRequest(change, Account("alice", "old"));
  Client::Got answer = client.Next();
  ASSERT_EQ(answer.result, FrameAssembler::kFrame);
  EXPECT_EQ(answer.head.command, FRAME_CHANGE_PASSWORD);
  EXPECT_FALSE(answer.body.empty());
  EXPECT_EQ(server.AccountPassword(), "new");

  client.SendRequest(change, Account("alice", "old"));  // the old password no longer works
  answer = client.Next();
  EXPECT_EQ(answer.head.command, FRAME_SERVER_TEXT);
}

TEST(QuoteDouble, ShapedAnswersStillCarryTheGrant) {
  struct Case {
    const char *name;
    QuoteDouble::Shape shape;
    int frames;
    bool compressed;
  } cases[] = {
      {"in three parts", {.parts = 3}, 3, false},
      {"compressed", {.compress = true}, 1, true},
      {"compressed in two parts", {.parts = 2, .compress = true}, 2, true},
      {"written in pieces of 7 bytes", {.chunkBytes = 7, .chunkPauseMs = 1}, 1, false},
  };
  auto decoder = std::make_unique<LCompressLite>();
  std::vector<uint8_t> scratch(kDecodeBufferSize);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    QuoteDouble server;
    server.SetShape(QuoteDouble::kDirectory, FRAME_LOGIN, c.shape);
    Client client(server.DirectoryPort());
    client.SendRequest(LoginRequest(), Account("a", "b"));
    Bytes joined;
    for (int i = 0; i < c.frames; ++i) {
      Client::Got part = client.Next();
      ASSERT_EQ(part.result, FrameAssembler::kFrame);
      EXPECT_EQ(int{part.head.partCount}, c.frames);
      EXPECT_EQ(int{part.head.partIndex}, i);
      EXPECT_EQ(part.head.compressed != 0, c.compressed);
      const uint8_t *plain;
      int length;
      ASSERT_TRUE(DecodeFrameBody(part.head, part.body.data(), *decoder, scratch.data(), &plain, &length));
      joined.insert(joined.end(), plain, plain + length);
    }
    EXPECT_EQ(joined, GrantBytes(server.Grant()));
  }
}

TEST(QuoteDouble, DelayHoldsTheAnswerBack) {
  QuoteDouble server;
  server.SetShape(QuoteDouble::kDirectory, FRAME_LOGIN, {.delayMs = 300});
  Client client(server.DirectoryPort());
  const auto start = std::chrono::steady_clock::now();
  client.SendRequest(LoginRequest(), Account("a", "b"));
  ASSERT_EQ(client.Next().result, FrameAssembler::kFrame);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

// Each malformed answer is caught by the terminal's own checks, before any
// byte past what arrived is looked at.
TEST(QuoteDouble, MalformedAnswersAreProtocolErrors) {
  struct Case {
    QuoteDouble::Fault fault;
    FrameError expected;
  } cases[] = {
      {QuoteDouble::Fault::kBodyTooLong, FrameError::kBodyTooLong},
      {QuoteDouble::Fault::kPartIndexAtCount, FrameError::kBadPartIndex},
      {QuoteDouble::Fault::kBadMark, FrameError::kBadMark},
      {QuoteDouble::Fault::kUndecodable, FrameError::kUndecodable},
      {QuoteDouble::Fault::kDecodesTooLong, FrameError::kUndecodable},
  };
  auto decoder = std::make_unique<LCompressLite>();
  std::vector<uint8_t> scratch(kDecodeBufferSize);
  for (const Case &c : cases) {
    SCOPED_TRACE(FrameErrorText(c.expected));
    QuoteDouble server;
    server.SetShape(QuoteDouble::kDirectory, FRAME_LOGIN, {.fault = c.fault});
    Client client(server.DirectoryPort());
    client.SendRequest(LoginRequest(), Account("a", "b"));
    Client::Got got = client.Next();
    if (got.result == FrameAssembler::kFrame) {
      const uint8_t *plain;
      int length;
      EXPECT_FALSE(DecodeFrameBody(got.head, got.body.data(), *decoder, scratch.data(), &plain, &length));
      got.error = FrameError::kUndecodable;
    }
    EXPECT_EQ(got.error, c.expected);
  }
}

TEST(QuoteDouble, DropsTheConnectionWhenTold) {
  QuoteDouble server;
  const int grant = kFrameHeadSize + kDsinfoSize;
  struct Case {
    QuoteDouble::Fault fault;
    size_t bytes;
    int endError;
  } cases[] = {
      {QuoteDouble::Fault::kDrop, 0, 0},
      {QuoteDouble::Fault::kReset, 0, ECONNRESET},
      {QuoteDouble::Fault::kDropAfterAnswer, size_t(grant), 0},
      {QuoteDouble::Fault::kDropMidAnswer, size_t(grant / 2), 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.fault));
    server.SetShape(QuoteDouble::kDirectory, FRAME_LOGIN, {.fault = c.fault});
    Client client(server.DirectoryPort());
    client.SendRequest(LoginRequest(), Account("a", "b"));
    int endError = -1;
    EXPECT_EQ(client.Rest(&endError).size(), c.bytes);
    EXPECT_EQ(endError, c.endError);
  }
}

TEST(QuoteDouble, HandlerTableGrowsAndKeepAlivesNeedNoAnswer) {
  QuoteDouble server;
  server.SetHandler(QuoteDouble::kData, FRAME_CODE_TABLE, [](QuoteDouble::Exchange &e) {
    e.AnswerParts(FRAME_CODE_TABLE, {{e.body()[0], 1}, {e.body()[0], 2}});
  });
  Client client(server.DataPort());
  client.Send(Bytes(kKeepAliveFrame, kKeepAliveFrame + kFrameHeadSize));
  REQUESTREC codes{};
  codes.kind = REQ_CODE_TABLE;
  codes.market = 7;
  client.SendRequest(codes, RequestInputs{});
  // The keep-alive got nothing: the first frame back answers the code table.
  for (uint16_t part = 0; part < 2; ++part) {
    Client::Got got = client.Next();
    ASSERT_EQ(got.result, FrameAssembler::kFrame);
    EXPECT_EQ(got.head.command, FRAME_CODE_TABLE);
    EXPECT_EQ(int{got.head.partIndex}, int{part});
    EXPECT_EQ(got.body, (Bytes{7, uint8_t(part + 1)}));
  }
  ASSERT_TRUE(server.WaitForFrames(2));
  EXPECT_EQ(server.Frames()[0].raw, Bytes(kKeepAliveFrame, kKeepAliveFrame + kFrameHeadSize));

  // Frames of the double's own making reach the newest connection.
  EXPECT_TRUE(server.Send(QuoteDouble::kData,
                          QuoteDouble::MakeFrame(FRAME_SERVER_TEXT, QuoteDouble::ServerTextBody("通知", 20))));
  Client::Got notice = client.Next();
  ASSERT_EQ(notice.result, FrameAssembler::kFrame);
  EXPECT_EQ(Text(notice.body), "通知");
  EXPECT_FALSE(server.Send(QuoteDouble::kDirectory, {1}));

  server.DropConnections(QuoteDouble::kData);
  EXPECT_EQ(client.Next().result, FrameAssembler::kWait);
  EXPECT_EQ(server.OpenConnections(QuoteDouble::kData), 0);
}

TEST(QuoteDouble, AMalformedRequestIsRecordedAndHungUp) {
  QuoteDouble server;
  Client client(server.DataPort());
  Bytes junk = {0x41, 3, 1, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 4, 5};
  client.Send(junk);
  int endError = -1;
  EXPECT_TRUE(client.Rest(&endError).empty());
  ASSERT_TRUE(server.WaitForFrames(1));
  const auto frames = server.Frames();
  EXPECT_TRUE(frames[0].malformed);
  EXPECT_EQ(frames[0].raw, junk);
}

TEST(QuoteDouble, FixedPortsAreTaken) {
  QuoteDouble first;
  ASSERT_TRUE(first.Running());
  QuoteDouble::Options options;
  options.ports[QuoteDouble::kDirectory] = first.DirectoryPort();  // already in use
  QuoteDouble second(options);
  EXPECT_FALSE(second.Running());
}

}  // namespace
