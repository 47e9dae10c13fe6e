#include "testing/quote_double.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>

#include "core/lzw.h"
#include "testing/loopback_frame_server.h"
#include "testing/lzw_encoder.h"

namespace {

using Clock = std::chrono::steady_clock;
// When a held answer falls due: when the test releases it.
constexpr Clock::time_point kHeld = Clock::time_point::max();

// The text of a fixed field: up to its NUL or its end.
std::string FieldText(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

std::vector<std::vector<uint8_t>> Cut(const std::vector<uint8_t> &body, int parts) {
  std::vector<std::vector<uint8_t>> out;
  const size_t n = body.size();
  for (int i = 0; i < parts; ++i)
    out.emplace_back(body.begin() + ptrdiff_t(n * size_t(i) / size_t(parts)),
                     body.begin() + ptrdiff_t(n * size_t(i + 1) / size_t(parts)));
  return out;
}

}  // namespace

struct QuoteDouble::Step {
  enum Action { kWrite, kClose, kReset };
  Clock::time_point due;
  Action action = kWrite;
  std::vector<uint8_t> bytes;
  size_t sent = 0;
};

struct QuoteDouble::Connection {
  int id = 0;
  Role role = kDirectory;
  int fd = -1;
  std::vector<uint8_t> in;
  std::deque<Step> out;
  Clock::time_point lastDue;
  bool blocked = false;  // the socket took no more bytes; wait until it can
};

// --- Frames ---------------------------------------------------------------

FRAMEHEAD QuoteDouble::Frame::Head() const { return loopback_frame::HeadOf(raw); }

std::vector<uint8_t> QuoteDouble::Frame::Body() const { return loopback_frame::BodyOf(raw); }

std::vector<uint8_t> QuoteDouble::MakeFrame(uint8_t command, const std::vector<uint8_t> &body, uint16_t partCount,
                                            uint16_t partIndex, uint8_t compressed, uint8_t mark) {
  const FRAMEHEAD head{mark, command, partCount, partIndex, uint16_t(body.size()), compressed, 0};
  std::vector<uint8_t> frame(kFrameHeadSize + body.size());
  std::memcpy(frame.data(), &head, kFrameHeadSize);
  std::copy(body.begin(), body.end(), frame.begin() + kFrameHeadSize);
  return frame;
}

std::vector<uint8_t> QuoteDouble::ServerTextBody(const std::string &text, uint8_t textClass) {
  std::vector<uint8_t> body(3 + text.size() + 1, 0);
  body[2] = textClass;
  std::memcpy(body.data() + 3, text.data(), text.size());
  return body;
}

// --- Exchange -------------------------------------------------------------

void QuoteDouble::Exchange::Answer(uint8_t command, std::vector<uint8_t> body) {
  Out out;
  out.kind = Out::kAnswer;
  out.command = command;
  out.parts.push_back(std::move(body));
  out.cut = true;
  out_.push_back(std::move(out));
}

void QuoteDouble::Exchange::AnswerParts(uint8_t command, std::vector<std::vector<uint8_t>> parts) {
  Out out;
  out.kind = Out::kAnswer;
  out.command = command;
  out.parts = std::move(parts);
  out_.push_back(std::move(out));
}

void QuoteDouble::Exchange::Refuse(const std::string &text, uint8_t textClass) {
  Answer(FRAME_SERVER_TEXT, ServerTextBody(text, textClass));
}

void QuoteDouble::Exchange::SendRaw(std::vector<uint8_t> bytes) {
  Out out;
  out.kind = Out::kRaw;
  out.parts.push_back(std::move(bytes));
  out_.push_back(std::move(out));
}

void QuoteDouble::Exchange::Drop() {
  Out out;
  out.kind = Out::kDrop;
  out_.push_back(std::move(out));
}

// --- Life -----------------------------------------------------------------

QuoteDouble::QuoteDouble() : QuoteDouble(Options{}) {}

QuoteDouble::QuoteDouble(const Options &options) : grant_(DefaultGrant()) {
  InstallDefaultHandlers();
  for (int role = 0; role < kRoleCount; ++role) {
    listeners_[role] = loopback_frame::OpenListener(options.ports[role], &ports_[role]);
    if (listeners_[role] < 0) return;
  }
  running_ = thread_.Start([this] { Serve(); });
}

QuoteDouble::~QuoteDouble() {
  thread_.Stop();
  for (int fd : listeners_)
    if (fd >= 0) ::close(fd);
}

// --- Settings -------------------------------------------------------------

DSINFO QuoteDouble::DefaultGrant() {
  DSINFO grant{};
  grant.accountDate = PackAccountDate(2030, 12, 31);
  for (int market = 0; market < 48; ++market) {
    grant.marketRights[2 * market] = 0xFF;
    grant.marketRights[2 * market + 1] = 0xFE;  // kinds 8-14; kind 15 is never granted
  }
  std::memset(grant.newsRights, 0xFF, sizeof grant.newsRights);
  grant.featureRights[kFeatureOrderByte] =
      kRightStopOrders | kRightConditionOrders | kRightQuickOrderLayout | kRightArbitrageLayout;
  grant.featureRights[kFeatureDepthByte] = kRightDepthKind1 | kRightDepthKind3;
  grant.featureRights[kFeatureFormulaByte] = kRightSystemFormulas;
  const uint8_t loopback[4] = {127, 0, 0, 1};
  std::memcpy(grant.dataServer, loopback, 4);
  grant.session = 0x5A17C0DEu;
  grant.value522 = 0x0102;
  grant.value524 = 0x0A0B0C0Du;
  return grant;
}

void QuoteDouble::SetGrant(const DSINFO &grant) {
  std::lock_guard guard(lock_);
  grant_ = grant;
}

DSINFO QuoteDouble::Grant() const {
  std::lock_guard guard(lock_);
  return grant_;
}

void QuoteDouble::SetDataServerAddress(const uint8_t (&address)[4]) {
  std::lock_guard guard(lock_);
  std::memcpy(dataServerAddress_, address, 4);
}

void QuoteDouble::SetSingleLoginAnswersWithAddress(bool on) {
  std::lock_guard guard(lock_);
  singleLoginAddress_ = on;
}

void QuoteDouble::SetAccount(const std::string &user, const std::string &password) {
  std::lock_guard guard(lock_);
  accountSet_ = true;
  user_ = user;
  password_ = password;
}

std::string QuoteDouble::AccountPassword() const {
  std::lock_guard guard(lock_);
  return password_;
}

void QuoteDouble::Refuse(Role role, uint8_t command, const std::string &text, uint8_t textClass) {
  std::lock_guard guard(lock_);
  refusals_[role][command] = Refusal{true, text, textClass};
}

void QuoteDouble::Accept(Role role, uint8_t command) {
  std::lock_guard guard(lock_);
  refusals_[role][command] = Refusal{};
}

void QuoteDouble::SetHandler(Role role, uint8_t command, Handler handler) {
  std::lock_guard guard(lock_);
  handlers_[role][command] = std::move(handler);
}

void QuoteDouble::SetShape(Role role, uint8_t command, const Shape &shape) {
  std::lock_guard guard(lock_);
  shapes_[role][command] = shape;
}

void QuoteDouble::ClearShapes() {
  std::lock_guard guard(lock_);
  for (auto &row : shapes_)
    for (Shape &shape : row) shape = Shape{};
}

// --- Recorder -------------------------------------------------------------

std::vector<QuoteDouble::Frame> QuoteDouble::Frames() const {
  std::lock_guard guard(lock_);
  return frames_;
}

std::vector<QuoteDouble::Frame> QuoteDouble::Frames(Role role) const {
  std::lock_guard guard(lock_);
  std::vector<Frame> out;
  for (const Frame &f : frames_)
    if (f.role == role) out.push_back(f);
  return out;
}

std::vector<QuoteDouble::Frame> QuoteDouble::Frames(Role role, uint8_t command) const {
  std::lock_guard guard(lock_);
  std::vector<Frame> out;
  for (const Frame &f : frames_)
    if (f.role == role && f.Command() == command) out.push_back(f);
  return out;
}

bool QuoteDouble::WaitForFrames(size_t count, int timeoutMs) const {
  std::unique_lock guard(lock_);
  return framesArrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return frames_.size() >= count; });
}

void QuoteDouble::ClearFrames() {
  std::lock_guard guard(lock_);
  frames_.clear();
}

int QuoteDouble::Accepted(Role role) const {
  std::lock_guard guard(lock_);
  return accepted_[role];
}

int QuoteDouble::OpenConnections(Role role) const {
  std::lock_guard guard(lock_);
  return open_[role];
}

// --- Acting on its own ----------------------------------------------------

bool QuoteDouble::Send(Role role, std::vector<uint8_t> bytes) {
  if (!running_) return false;
  return thread_.Call([&] {
    Connection *newest = nullptr;
    for (Connection *c : connections_)
      if (c->role == role && c->fd >= 0) newest = c;
    if (newest != nullptr) {
      Step step;
      step.due = std::max(Clock::now(), newest->lastDue);
      step.bytes = std::move(bytes);
      newest->lastDue = step.due;
      newest->out.push_back(std::move(step));
      return true;
    }
    return false;
  });
}

void QuoteDouble::DropConnections(Role role, bool reset) {
  if (!running_) return;
  thread_.Call([&] {
    for (Connection *c : connections_)
      if (c->role == role) CloseConnection(*c, reset);
    return true;
  });
}

void QuoteDouble::ReleaseHeld() {
  if (!running_) return;
  thread_.Call([&] {
    const Clock::time_point now = Clock::now();
    for (Connection *c : connections_) {
      for (Step &step : c->out)
        if (step.due == kHeld) step.due = now;
      if (c->lastDue == kHeld) c->lastDue = now;
    }
    return true;
  });
}

// --- The thread -----------------------------------------------------------

void QuoteDouble::Serve() {
  std::vector<pollfd> fds;
  while (thread_.RunPosted()) {
    for (Connection *c : connections_) WriteTo(*c);
    std::erase_if(connections_, [](Connection *c) {
      if (c->fd >= 0) return false;
      delete c;
      return true;
    });

    // Wait for input, for a socket that can take bytes again, or for the
    // next step that falls due.
    const Clock::time_point now = Clock::now();
    int timeout = -1;
    fds.clear();
    fds.push_back(pollfd{thread_.WakeFd(), POLLIN, 0});
    for (int fd : listeners_) fds.push_back(pollfd{fd, POLLIN, 0});
    for (Connection *c : connections_) {
      short events = POLLIN;
      if (!c->out.empty()) {
        if (c->blocked) {
          events |= POLLOUT;
        } else {
          const auto wait = std::chrono::ceil<std::chrono::milliseconds>(c->out.front().due - now).count();
          const int ms = int(std::clamp<long long>(wait, 0, 60000));
          timeout = timeout < 0 ? ms : std::min(timeout, ms);
        }
      }
      fds.push_back(pollfd{c->fd, events, 0});
    }
    if (::poll(fds.data(), nfds_t(fds.size()), timeout) < 0) continue;

    if (fds[0].revents & POLLIN) thread_.DrainWake();
    for (int role = 0; role < kRoleCount; ++role)
      if (fds[1 + size_t(role)].revents & POLLIN) AcceptOn(Role(role));
    // Connections accepted just now are not in fds yet.
    const size_t polled = fds.size() - 1 - kRoleCount;
    for (size_t i = 0; i < polled; ++i) {
      Connection &c = *connections_[i];
      const short revents = fds[1 + kRoleCount + i].revents;
      if (revents & POLLOUT) c.blocked = false;
      if (c.fd >= 0 && (revents & (POLLIN | POLLHUP | POLLERR))) ReadFrom(c);
    }
  }
  for (Connection *c : connections_) {
    CloseConnection(*c, false);
    delete c;
  }
  connections_.clear();
}

void QuoteDouble::AcceptOn(Role role) {
  for (;;) {
    const int fd = loopback_frame::AcceptOne(listeners_[role]);
    if (fd < 0) return;
    auto *c = new Connection;
    c->id = nextConnection_++;
    c->role = role;
    c->fd = fd;
    c->lastDue = Clock::now();
    connections_.push_back(c);
    std::lock_guard guard(lock_);
    ++accepted_[role];
    ++open_[role];
  }
}

void QuoteDouble::ReadFrom(Connection &c) {
  const bool open = loopback_frame::ReadAvailable(c.fd, c.in);
  // When the client closed or the connection failed, take what came first.
  TakeFrames(c);
  if (!open) CloseConnection(c, false);
}

void QuoteDouble::TakeFrames(Connection &c) {
  const bool taken = loopback_frame::TakeFrames(
      c.in, [&] { return c.fd >= 0; },
      [&](const FRAMEHEAD &head, std::vector<uint8_t> raw) {
        Frame frame{c.role, c.id, std::move(raw)};
        std::vector<uint8_t> body = frame.Body();
        Record(std::move(frame));
        Dispatch(c, head, std::move(body));
      },
      [&](std::vector<uint8_t> rest) { Record(Frame{c.role, c.id, std::move(rest), true}); });
  // No way to find the next frame: keep what came and hang up.
  if (!taken) CloseConnection(c, false);
}

void QuoteDouble::Record(Frame frame) {
  {
    std::lock_guard guard(lock_);
    frames_.push_back(std::move(frame));
  }
  framesArrived_.notify_all();
}

void QuoteDouble::Dispatch(Connection &c, const FRAMEHEAD &head, std::vector<uint8_t> body) {
  Handler handler;
  Shape shape;
  Refusal refusal;
  {
    std::lock_guard guard(lock_);
    handler = handlers_[c.role][head.command];
    shape = shapes_[c.role][head.command];
    refusal = refusals_[c.role][head.command];
  }
  Exchange exchange(*this, c.role, c.id, head, std::move(body));
  if (refusal.on)
    exchange.Refuse(refusal.text, refusal.textClass);
  else if (handler)
    handler(exchange);
  const bool hangUp = shape.fault == Fault::kDrop || shape.fault == Fault::kReset;
  if (!exchange.out_.empty() || hangUp) Queue(c, exchange, shape);
}

void QuoteDouble::Queue(Connection &c, const Exchange &exchange, const Shape &shape) {
  std::vector<uint8_t> bytes;
  bool close = false;
  bool first = true;
  for (const Exchange::Out &out : exchange.out_) {
    if (out.kind == Exchange::Out::kRaw) {
      bytes.insert(bytes.end(), out.parts[0].begin(), out.parts[0].end());
      continue;
    }
    if (out.kind == Exchange::Out::kDrop) {
      close = true;
      break;
    }
    const std::vector<std::vector<uint8_t>> parts =
        out.cut && shape.parts > 1 ? Cut(out.parts[0], shape.parts) : out.parts;
    for (size_t i = 0; i < parts.size(); ++i) {
      std::vector<uint8_t> body = shape.compress ? LzwEncode(parts[i].data(), parts[i].size()) : parts[i];
      FRAMEHEAD head{};
      head.mark = kFrameMark;
      head.command = out.command;
      head.partCount = uint16_t(parts.size());
      head.partIndex = uint16_t(i);
      head.bodyLength = uint16_t(body.size());
      head.compressed = shape.compress ? 1 : 0;
      if (first) {
        switch (shape.fault) {
          case Fault::kBodyTooLong: head.bodyLength = kMaxFrameBody + 1; break;
          case Fault::kPartIndexAtCount: head.partIndex = head.partCount; break;
          case Fault::kBadMark: head.mark = 'A'; break;
          case Fault::kUndecodable:
            // A run must begin with a literal byte; 300 is none.
            body = LzwCodeWriter().Put({300, LCompressLite::kEndCode}, 9).Bytes();
            head.compressed = 1;
            head.bodyLength = uint16_t(body.size());
            break;
          case Fault::kDecodesTooLong:
            body = LzwEncode(std::string(kDecodeBufferSize - 4, 'x'));
            head.compressed = 1;
            head.bodyLength = uint16_t(body.size());
            break;
          default: break;
        }
        first = false;
      }
      const uint8_t *h = reinterpret_cast<const uint8_t *>(&head);
      bytes.insert(bytes.end(), h, h + kFrameHeadSize);
      bytes.insert(bytes.end(), body.begin(), body.end());
    }
  }
  Step::Action ending = Step::kClose;
  switch (shape.fault) {
    case Fault::kDrop:
      bytes.clear();
      close = true;
      break;
    case Fault::kReset:
      bytes.clear();
      close = true;
      ending = Step::kReset;
      break;
    case Fault::kDropAfterAnswer: close = true; break;
    case Fault::kDropMidAnswer:
      bytes.resize(bytes.size() / 2);
      close = true;
      break;
    default: break;
  }

  Clock::time_point due =
      shape.held ? kHeld : std::max(Clock::now() + std::chrono::milliseconds(shape.delayMs), c.lastDue);
  const size_t piece = shape.chunkBytes == 0 ? bytes.size() : shape.chunkBytes;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    if (at > 0 && due != kHeld) due += std::chrono::milliseconds(shape.chunkPauseMs);
    Step step;
    step.due = due;
    step.bytes.assign(bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(std::min(bytes.size(), at + piece)));
    c.out.push_back(std::move(step));
  }
  if (close) {
    Step step;
    step.due = due;
    step.action = ending;
    c.out.push_back(std::move(step));
  }
  c.lastDue = due;
}

void QuoteDouble::WriteTo(Connection &c) {
  const Clock::time_point now = Clock::now();
  while (c.fd >= 0 && !c.blocked && !c.out.empty() && c.out.front().due <= now) {
    Step &step = c.out.front();
    if (step.action != Step::kWrite) {
      CloseConnection(c, step.action == Step::kReset);
      return;
    }
    while (step.sent < step.bytes.size()) {
      const ssize_t n = ::send(c.fd, step.bytes.data() + step.sent, step.bytes.size() - step.sent, MSG_NOSIGNAL);
      if (n > 0) {
        step.sent += size_t(n);
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        c.blocked = true;
        return;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        CloseConnection(c, false);
        return;
      }
    }
    c.out.pop_front();
  }
}

void QuoteDouble::CloseConnection(Connection &c, bool reset) {
  if (c.fd < 0) return;
  loopback_frame::CloseSocket(c.fd, reset);
  c.fd = -1;
  c.out.clear();
  std::lock_guard guard(lock_);
  --open_[c.role];
}

// --- The login exchanges --------------------------------------------------

void QuoteDouble::InstallDefaultHandlers() {
  handlers_[kDirectory][FRAME_LOGIN] = [this](Exchange &e) { ServeDirectoryLogin(e); };
  handlers_[kDirectory][FRAME_CHANGE_PASSWORD] = [this](Exchange &e) { ServePasswordChange(e); };
  handlers_[kData][FRAME_LOGIN] = [this](Exchange &e) { ServeSingleLogin(e); };
  handlers_[kData][FRAME_DS_LOGIN] = [this](Exchange &e) { ServeDataLogin(e); };
  // Keep-alives (command 1) are recorded and need no answer.
}

bool QuoteDouble::CheckAccount(const char *user, size_t userSize, const char *password, size_t passwordSize) const {
  std::lock_guard guard(lock_);
  return !accountSet_ || (FieldText(user, userSize) == user_ && FieldText(password, passwordSize) == password_);
}

void QuoteDouble::ServeDirectoryLogin(Exchange &e) {
  DIRLOGINBODY request;
  if (e.body().size() < sizeof request) return e.Refuse("登录请求格式错误。");
  std::memcpy(&request, e.body().data(), sizeof request);
  if (!CheckAccount(request.user, sizeof request.user, request.password, sizeof request.password))
    return e.Refuse("用户名或密码错误。");
  const DSINFO grant = Grant();
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&grant);
  e.Answer(FRAME_LOGIN, std::vector<uint8_t>(bytes, bytes + sizeof grant));
}

void QuoteDouble::ServeSingleLogin(Exchange &e) {
  bool withAddress;
  uint8_t address[4];
  {
    std::lock_guard guard(lock_);
    withAddress = singleLoginAddress_;
    std::memcpy(address, dataServerAddress_, 4);
  }
  if (!withAddress) return ServeDirectoryLogin(e);
  DIRLOGINBODY request;
  if (e.body().size() < sizeof request) return e.Refuse("登录请求格式错误。");
  std::memcpy(&request, e.body().data(), sizeof request);
  if (!CheckAccount(request.user, sizeof request.user, request.password, sizeof request.password))
    return e.Refuse("用户名或密码错误。");
  e.Answer(FRAME_DS_LOGIN, std::vector<uint8_t>(address, address + 4));
}

void QuoteDouble::ServeDataLogin(Exchange &e) {
  DSLOGINBODY request;
  if (e.body().size() < sizeof request) return e.Refuse("登录请求格式错误。");
  std::memcpy(&request, e.body().data(), sizeof request);
  if (!CheckAccount(request.user, sizeof request.user, request.password, sizeof request.password))
    return e.Refuse("用户名或密码错误。");
  DSINFO grant;
  uint8_t address[4];
  {
    std::lock_guard guard(lock_);
    grant = grant_;
    std::memcpy(address, dataServerAddress_, 4);
  }
  // The data server takes only a client that shows the directory's grant.
  if (request.eight != 8 || request.session != grant.session || request.value522 != grant.value522 ||
      request.value524 != grant.value524 ||
      std::memcmp(request.marketRights, grant.marketRights, sizeof request.marketRights) != 0 ||
      std::memcmp(request.newsRights, grant.newsRights, sizeof request.newsRights) != 0)
    return e.Refuse("登录信息无效，请重新登录。");
  e.Answer(FRAME_DS_LOGIN, std::vector<uint8_t>(address, address + 4));
}

void QuoteDouble::ServePasswordChange(Exchange &e) {
  if (e.body().size() < 40) return e.Refuse("请求格式错误。");
  const char *body = reinterpret_cast<const char *>(e.body().data());
  if (!CheckAccount(body, 16, body + 16, 12)) return e.Refuse("用户名或密码错误。");
  {
    std::lock_guard guard(lock_);
    if (accountSet_) password_ = FieldText(body + 28, 12);
  }
  e.Answer(FRAME_CHANGE_PASSWORD, std::vector<uint8_t>(4, 0));
}
