#include "testing/quote_double_push.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "testing/loopback_frame_server.h"
#include "testing/lzw_encoder.h"

namespace {

// As many whole items as one plain body takes.
// Room is left for the trailing bytes a test may ask for.
constexpr size_t kItemsPerFrame = (size_t(kMaxFrameBody) - (kPushItemSize - 1)) / kPushItemSize;
// The script never makes up for more than this many items of a kind in
// one turn (after a pause of the machine, say).
constexpr double kMostPerTurn = 2000;
constexpr int kTurnMs = 20;

enum ScriptKind { kQuotes, kShortQuotes, kPriceHeads, kAdvice, kNews, kMessages, kKinds };

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// UTC of the machine, moved by hours, as a broken-down time.
std::tm UtcTm(int hours = 0) {
  const std::time_t now = std::time(nullptr) + std::time_t(hours) * 3600;
  std::tm t{};
  gmtime_r(&now, &t);
  return t;
}

int UtcMinuteOfDay() {
  const std::tm t = UtcTm();
  return t.tm_hour * 60 + t.tm_min;
}

template <class T>
QuotePushDouble::Item ItemOf(const T &record) {
  static_assert(sizeof(T) == kPushItemSize);
  QuotePushDouble::Item item{};
  std::memcpy(item.data(), &record, sizeof record);
  return item;
}

void CopyCode(char (&field)[8], const std::string &code) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, code.data(), std::min(code.size(), sizeof field - 1));
}

const char *const kHeadlines[] = {
    "盘中快讯：成交持续活跃", "期货夜盘开盘平稳", "外汇市场午盘综述", "机构观点：关注量能变化",
    "交易所发布风险提示",     "板块轮动加快",     "资金流向日报",     "今日重要财经日程",
};

}  // namespace

struct QuotePushDouble::Connection {
  int id = 0;
  int fd = -1;
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  bool loggedIn = false;
  std::vector<STKMS> subscription;
  size_t cursors[kKinds] = {};
};

struct QuotePushDouble::LiveQuote {
  int market = 0;
  int stock = 0;
  std::string code;
  REALQUOTE quote{};
  uint32_t tick = 1;
  int32_t lot = 1;
  bool noBook = false;
  bool turnover = true;
  uint32_t divisor = 1;
};

// --- Frames and items -------------------------------------------------------

FRAMEHEAD QuotePushDouble::Frame::Head() const { return loopback_frame::HeadOf(raw); }

std::vector<uint8_t> QuotePushDouble::Frame::Body() const { return loopback_frame::BodyOf(raw); }

QuotePushDouble::Item QuotePushDouble::ClockItem(int minute) {
  PUSHCLOCKITEM item{};
  item.minute = uint16_t(minute);
  return ItemOf(item);
}

QuotePushDouble::Item QuotePushDouble::QuoteItem(int market, int stock, const std::string &code,
                                                 const REALQUOTE &quote) {
  PUSHQUOTEITEM item{};
  item.market = uint16_t(market);
  item.stock = uint16_t(stock);
  const auto *q = reinterpret_cast<const uint8_t *>(&quote);
  std::memcpy(item.prices, q + offsetof(REALQUOTE, high), sizeof item.prices);
  std::memcpy(item.book, q + offsetof(REALQUOTE, bid), sizeof item.book);
  CopyCode(item.code, code);
  item.barSettlement = quote.barSettlement;
  return ItemOf(item);
}

QuotePushDouble::Item QuotePushDouble::ShortQuoteItem(int marketCount, int market, const std::string &code,
                                                      const REALQUOTE &quote) {
  PUSHSHORTQUOTEITEM item{};
  item.kind = uint8_t(marketCount + kPushShortQuoteKind);
  item.market = uint16_t(market);
  std::memcpy(item.prices, reinterpret_cast<const uint8_t *>(&quote) + offsetof(REALQUOTE, high),
              sizeof item.prices);
  std::memcpy(item.counters, quote.indexCounters, sizeof item.counters);
  CopyCode(item.code, code);
  return ItemOf(item);
}

QuotePushDouble::Item QuotePushDouble::PriceHeadItem(int marketCount, int market, const std::string &code,
                                                     const REALQUOTE &quote) {
  PUSHPRICEHEADITEM item{};
  item.kind = uint8_t(marketCount + kPushPriceHeadKind);
  item.market = uint16_t(market);
  std::memcpy(item.head, &quote, sizeof item.head);
  CopyCode(item.code, code);
  return ItemOf(item);
}

QuotePushDouble::Item QuotePushDouble::AdviceItem(int market, int stock, const ADVICEREC &record) {
  PUSHADVICEITEM item{};
  item.market = uint16_t(market);
  item.stock = uint16_t(kAdviceStockBase + stock);
  item.record = record;
  return ItemOf(item);
}

QuotePushDouble::Item QuotePushDouble::NewsItem(int marketCount, uint8_t type, uint32_t id, uint32_t dateTime,
                                                const std::string &title) {
  PUSHNEWSITEM item{};
  item.kind = uint8_t(marketCount + kPushNewsKind);
  item.type = type;
  item.id = id;
  item.dateTime = dateTime;
  std::memcpy(item.title, title.data(), std::min(title.size(), sizeof item.title - 1));
  return ItemOf(item);
}

QuotePushDouble::Item QuotePushDouble::MessageItem(int marketCount) {
  Item item{};
  item[0] = uint8_t(marketCount + kPushMessageKind);
  return item;
}

std::vector<uint8_t> QuotePushDouble::ItemsBody(const std::vector<Item> &items) {
  std::vector<uint8_t> body;
  body.reserve(items.size() * kPushItemSize);
  for (const Item &item : items) body.insert(body.end(), item.begin(), item.end());
  return body;
}

std::vector<uint8_t> QuotePushDouble::SessionMessageBody(uint32_t session, const std::string &text) {
  std::vector<uint8_t> body(kSessionMessageSize, 0);
  std::memcpy(body.data(), &session, 4);
  std::memcpy(body.data() + kSessionMessageText, text.data(),
              std::min(text.size(), size_t(kSessionMessageSize - kSessionMessageText - 1)));
  return body;
}

std::vector<uint8_t> QuotePushDouble::MakeFrame(uint8_t command, const std::vector<uint8_t> &body,
                                                Compression compression, uint8_t mark) {
  std::vector<uint8_t> packed;
  bool compressed = false;
  if (compression == Compression::kLzw) {
    packed = LzwEncode(body.data(), body.size());
    compressed = true;
  } else if (compression == Compression::kZlib) {
    uLongf size = compressBound(uLong(body.size()));
    packed.resize(size);
    if (compress2(packed.data(), &size, body.data(), uLong(body.size()), Z_DEFAULT_COMPRESSION) == Z_OK) {
      packed.resize(size);
      compressed = true;
    }
  }
  // A body that does not shrink below the frame limit goes out plain.
  if (!compressed || packed.size() > size_t(kMaxFrameBody)) {
    packed = body;
    compressed = false;
  }
  const FRAMEHEAD head{mark, command, 1, 0, uint16_t(packed.size()), uint8_t(compressed ? 1 : 0), 0};
  std::vector<uint8_t> frame(kFrameHeadSize + packed.size());
  std::memcpy(frame.data(), &head, kFrameHeadSize);
  std::copy(packed.begin(), packed.end(), frame.begin() + kFrameHeadSize);
  return frame;
}

uint32_t QuotePushDouble::NewsDateTime(PackedDateTime time) {
  const uint32_t date = PackedYear(time) % 100 * 10000 + PackedMonth(time) * 100 + PackedDay(time);
  const uint32_t clock = PackedHour(time) * 100 + PackedMinute(time);
  return clock << 20 | date;
}

// --- Life -------------------------------------------------------------------

QuotePushDouble::QuotePushDouble() : QuotePushDouble(Options{}) {}

QuotePushDouble::QuotePushDouble(const Options &options) {
  listener_ = loopback_frame::OpenListener(options.port, &port_);
  if (listener_ < 0) return;
  running_ = thread_.Start([this] { Serve(); });
}

QuotePushDouble::~QuotePushDouble() {
  thread_.Stop();
  if (listener_ >= 0) ::close(listener_);
  for (auto &[key, live] : quotes_) delete live;
}

bool QuotePushDouble::RunAndWait(std::function<bool()> work) {
  if (!running_) return false;
  return thread_.Call(std::move(work));
}

// --- Settings ---------------------------------------------------------------

void QuotePushDouble::SetDataSet(const market_fixture::DataSetDesc &desc) {
  std::vector<std::vector<STKINFO>> names;
  for (size_t m = 0; m < desc.markets.size(); ++m) names.push_back(market_fixture::NameTable(desc, int(m)));
  RunAndWait([this, desc, names = std::move(names)]() mutable {
    desc_ = std::move(desc);
    names_ = std::move(names);
    for (auto &[key, live] : quotes_) delete live;
    quotes_.clear();
    return true;
  });
}

void QuotePushDouble::SetScript(const Script &script) {
  std::lock_guard guard(lock_);
  script_ = script;
}

void QuotePushDouble::SetCompression(Compression compression) {
  std::lock_guard guard(lock_);
  compression_ = compression;
}

void QuotePushDouble::SetSlowNetwork(bool slow) {
  std::lock_guard guard(lock_);
  slow_ = slow;
}

void QuotePushDouble::SetTrailingBytes(size_t bytes) {
  std::lock_guard guard(lock_);
  trailing_ = std::min(bytes, size_t(kPushItemSize - 1));
}

// --- By hand ----------------------------------------------------------------

std::vector<uint8_t> QuotePushDouble::ItemsFrame(const std::vector<Item> &items) {
  std::vector<uint8_t> body = ItemsBody(items);
  size_t trailing;
  {
    std::lock_guard guard(lock_);
    trailing = trailing_;
  }
  body.resize(body.size() + trailing, 0xEE);
  return FrameFor(FRAME_PUSH_QUOTES, body);
}

std::vector<uint8_t> QuotePushDouble::FrameFor(uint8_t command, const std::vector<uint8_t> &body) {
  Compression compression;
  bool slow;
  {
    std::lock_guard guard(lock_);
    compression = compression_;
    slow = slow_;
  }
  return MakeFrame(command, body, compression, slow ? kFrameMarkSlowNetwork : kFrameMark);
}

// Thread only.
bool QuotePushDouble::QueueToClients(const std::vector<uint8_t> &frame, size_t items) {
  bool any = false;
  for (Connection *c : connections_) {
    if (c->fd < 0 || !c->loggedIn) continue;
    c->out.insert(c->out.end(), frame.begin(), frame.end());
    any = true;
  }
  if (any) {
    std::lock_guard guard(lock_);
    itemsPushed_ += items;
    ++framesPushed_;
  }
  return any;
}

bool QuotePushDouble::Push(const std::vector<Item> &items) {
  const std::vector<uint8_t> frame = ItemsFrame(items);
  return RunAndWait([&] { return QueueToClients(frame, items.size()); });
}

bool QuotePushDouble::PushFrame(uint8_t command, const std::vector<uint8_t> &body) {
  const std::vector<uint8_t> frame = FrameFor(command, body);
  return RunAndWait([&] { return QueueToClients(frame, 0); });
}

bool QuotePushDouble::PushSessionMessage(uint32_t session, const std::string &text) {
  return PushFrame(FRAME_PUSH_MESSAGE, SessionMessageBody(session, text));
}

bool QuotePushDouble::SendRaw(std::vector<uint8_t> bytes) {
  return RunAndWait([&] {
    bool any = false;
    for (Connection *c : connections_) {
      if (c->fd < 0 || !c->loggedIn) continue;
      c->out.insert(c->out.end(), bytes.begin(), bytes.end());
      any = true;
    }
    return any;
  });
}

void QuotePushDouble::DropConnections(bool reset) {
  RunAndWait([&] {
    for (Connection *c : connections_) {
      WriteTo(*c);
      CloseConnection(*c, reset);
    }
    return true;
  });
}

// --- Recorder ---------------------------------------------------------------

std::vector<QuotePushDouble::Frame> QuotePushDouble::Frames() const {
  std::lock_guard guard(lock_);
  return frames_;
}

std::vector<QuotePushDouble::Frame> QuotePushDouble::Frames(uint8_t command) const {
  std::lock_guard guard(lock_);
  std::vector<Frame> out;
  for (const Frame &f : frames_)
    if (f.Command() == command) out.push_back(f);
  return out;
}

void QuotePushDouble::ClearFrames() {
  std::lock_guard guard(lock_);
  frames_.clear();
}

std::vector<QuotePushDouble::Login> QuotePushDouble::Logins() const {
  std::lock_guard guard(lock_);
  return logins_;
}

std::vector<STKMS> QuotePushDouble::Subscription() const {
  std::lock_guard guard(lock_);
  return subscription_;
}

int QuotePushDouble::Accepted() const {
  std::lock_guard guard(lock_);
  return accepted_;
}

int QuotePushDouble::OpenConnections() const {
  std::lock_guard guard(lock_);
  return open_;
}

size_t QuotePushDouble::ItemsPushed() const {
  std::lock_guard guard(lock_);
  return itemsPushed_;
}

size_t QuotePushDouble::FramesPushed() const {
  std::lock_guard guard(lock_);
  return framesPushed_;
}

// --- The thread -------------------------------------------------------------

void QuotePushDouble::Serve() {
  std::vector<pollfd> fds;
  lastTurnMs_ = NowMs();
  while (thread_.RunPosted()) {
    const int timeout = RunScript();

    for (Connection *c : connections_) WriteTo(*c);
    std::erase_if(connections_, [](Connection *c) {
      if (c->fd >= 0) return false;
      delete c;
      return true;
    });

    fds.clear();
    fds.push_back(pollfd{thread_.WakeFd(), POLLIN, 0});
    fds.push_back(pollfd{listener_, POLLIN, 0});
    for (Connection *c : connections_)
      fds.push_back(pollfd{c->fd, short(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});
    if (::poll(fds.data(), nfds_t(fds.size()), timeout) < 0) continue;

    if (fds[0].revents & POLLIN) thread_.DrainWake();
    if (fds[1].revents & POLLIN) AcceptNew();
    const size_t polled = fds.size() - 2;
    for (size_t i = 0; i < polled; ++i) {
      Connection &c = *connections_[i];
      if (c.fd >= 0 && (fds[2 + i].revents & (POLLIN | POLLHUP | POLLERR))) ReadFrom(c);
    }
  }
  for (Connection *c : connections_) {
    CloseConnection(*c, false);
    delete c;
  }
  connections_.clear();
}

void QuotePushDouble::AcceptNew() {
  for (;;) {
    const int fd = loopback_frame::AcceptOne(listener_);
    if (fd < 0) return;
    auto *c = new Connection;
    c->id = nextConnection_++;
    c->fd = fd;
    connections_.push_back(c);
    std::lock_guard guard(lock_);
    ++accepted_;
    ++open_;
  }
}

void QuotePushDouble::ReadFrom(Connection &c) {
  const bool open = loopback_frame::ReadAvailable(c.fd, c.in);
  TakeFrames(c);
  if (!open) CloseConnection(c, false);
}

void QuotePushDouble::TakeFrames(Connection &c) {
  const bool taken = loopback_frame::TakeFrames(
      c.in, [&] { return c.fd >= 0; },
      [&](const FRAMEHEAD &head, std::vector<uint8_t> raw) {
        const uint8_t *body = raw.data() + kFrameHeadSize;
        bool pushClock = false;
        std::vector<STKMS> fresh;
        {
          std::lock_guard guard(lock_);
          frames_.push_back(Frame{c.id, raw});
          if (head.command == FRAME_PUSH_LOGIN && head.bodyLength >= offsetof(PUSHLOGINBODY, user) + 16) {
            PUSHLOGINBODY login{};
            std::memcpy(&login, body, std::min<size_t>(head.bodyLength, sizeof login));
            logins_.push_back(Login{c.id, login.session, std::string(login.user, strnlen(login.user, 16))});
            c.loggedIn = true;
            pushClock = script_.clockEachMinute;
          } else if (head.command == FRAME_SUBSCRIBE && head.bodyLength >= sizeof(SUBSCRIBEBODY)) {
            SUBSCRIBEBODY list;
            std::memcpy(&list, body, sizeof list);
            const int count = std::min<int>(list.count, SUBSCRIBEBODY::kMaxEntries);
            if (script_.snapshotOnSubscribe)
              for (int i = 0; i < count; ++i)
                if (std::none_of(c.subscription.begin(), c.subscription.end(), [&](const STKMS &held) {
                      return held.market == list.entries[i].market && held.stock == list.entries[i].stock;
                    }))
                  fresh.push_back(list.entries[i]);
            c.subscription.assign(list.entries, list.entries + count);
            std::fill(std::begin(c.cursors), std::end(c.cursors), 0);
            subscription_ = c.subscription;
          }
        }
        if (pushClock) PushClock(c, UtcMinuteOfDay());
        if (!fresh.empty() && c.loggedIn) PushSnapshots(c, fresh);
      },
      [&](std::vector<uint8_t> rest) {
        std::lock_guard guard(lock_);
        frames_.push_back(Frame{c.id, std::move(rest), true});
      });
  if (!taken) CloseConnection(c, false);
}

void QuotePushDouble::WriteTo(Connection &c) {
  while (c.fd >= 0 && !c.out.empty()) {
    const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n > 0) {
      c.out.erase(c.out.begin(), c.out.begin() + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    CloseConnection(c, false);
  }
}

void QuotePushDouble::CloseConnection(Connection &c, bool reset) {
  if (c.fd < 0) return;
  loopback_frame::CloseSocket(c.fd, reset);
  c.fd = -1;
  c.out.clear();
  std::lock_guard guard(lock_);
  --open_;
}

// --- The live market ----------------------------------------------------------

void QuotePushDouble::PushClock(Connection &c, int minute) { QueueItems(c, {ClockItem(minute)}); }

void QuotePushDouble::QueueItems(Connection &c, const std::vector<Item> &items) {
  for (size_t at = 0; at < items.size(); at += kItemsPerFrame) {
    const size_t n = std::min(kItemsPerFrame, items.size() - at);
    const std::vector<Item> part(items.begin() + ptrdiff_t(at), items.begin() + ptrdiff_t(at + n));
    const std::vector<uint8_t> frame = ItemsFrame(part);
    c.out.insert(c.out.end(), frame.begin(), frame.end());
    std::lock_guard guard(lock_);
    itemsPushed_ += n;
    ++framesPushed_;
  }
}

void QuotePushDouble::PushSnapshots(Connection &c, const std::vector<STKMS> &entries) {
  const int marketCount = int(names_.size());
  std::vector<Item> items;
  for (const STKMS &entry : entries)
    if (LiveQuote *live = Quote(entry.market, entry.stock)) {
      items.push_back(PriceHeadItem(marketCount, live->market, live->code, live->quote));
      items.push_back(QuoteItem(live->market, live->stock, live->code, live->quote));
    }
  QueueItems(c, items);
}

QuotePushDouble::LiveQuote *QuotePushDouble::Quote(int market, int stock) {
  if (market < 0 || size_t(market) >= names_.size() || stock < 0 || size_t(stock) >= names_[size_t(market)].size())
    return nullptr;
  auto found = quotes_.find({market, stock});
  if (found != quotes_.end()) return found->second;
  const market_fixture::InstrumentSeries series = market_fixture::BuildSeries(desc_, market, stock);
  const STKINFO &name = names_[size_t(market)][size_t(stock)];
  const market_fixture::MarketDesc &m = desc_.markets[size_t(market)];
  const market_fixture::InstrumentDesc &in = m.instruments[size_t(stock)];
  auto *live = new LiveQuote;
  live->market = market;
  live->stock = stock;
  live->code = in.code;
  live->quote = series.quote;
  live->tick = market_fixture::PriceStepUnits(in);
  live->lot = std::max<int32_t>(in.volumeUnit, 1);
  live->noBook = in.kind >= 0 && size_t(in.kind) < m.kinds.size() && m.kinds[size_t(in.kind)].noOrderBook;
  live->turnover = series.turnover;
  live->divisor = std::max<uint32_t>(uint32_t(name.priceDivisor), 1);
  quotes_[{market, stock}] = live;
  return live;
}

// One trade: the price moves a tick either way (or stays), inside the
// limits; the volume grows by a few lots; the book follows the price.
void QuotePushDouble::Move(LiveQuote &live) {
  random_ = random_ * 1103515245u + 12345u;
  const uint32_t r = random_ >> 16;
  REALQUOTE &q = live.quote;
  uint32_t price = q.last ? q.last : (q.prevClose ? q.prevClose : live.tick * 100);
  const int way = int(r % 3) - 1;
  if (way > 0) price += live.tick;
  if (way < 0 && price > live.tick) price -= live.tick;
  if (q.limitUp && price > q.limitUp) price = q.limitUp;
  if (q.limitDown && price < q.limitDown) price = q.limitDown;
  const float lots = float(1 + (r >> 2) % 20) * float(live.lot);
  q.last = price;
  if (!q.open) q.open = price;
  // Packed fields: compared by value, never bound to references.
  if (price > q.high) q.high = price;
  if (q.low == 0 || price < q.low) q.low = price;
  q.volume += lots;
  q.lastVolume = lots;
  if (live.turnover)
    q.amount += lots * float(price) / float(live.divisor);
  else
    q.amount = std::max(0.0f, q.amount + float(int((r >> 7) % 21) - 10) * float(live.lot));
  if (live.noBook) return;
  for (int level = 0; level < 5; ++level) {
    const uint32_t below = live.tick * uint32_t(level + (way > 0 ? 1 : 0));
    const uint32_t above = live.tick * uint32_t(level + (way > 0 ? 0 : 1));
    q.bid[level].price = price > below ? price - below : 0;
    q.ask[level].price = price + above;
    q.bid[level].volume = float(1 + (r >> (level + 3)) % 50) * float(live.lot);
    q.ask[level].volume = float(1 + (r >> (level + 5)) % 50) * float(live.lot);
  }
}

bool QuotePushDouble::NextSubscribed(Connection &c, size_t *cursor, int *market, int *stock) {
  for (size_t tries = 0; tries < c.subscription.size(); ++tries) {
    const STKMS entry = c.subscription[*cursor % c.subscription.size()];
    *cursor = (*cursor + 1) % c.subscription.size();
    if (entry.market < names_.size() && entry.stock < names_[entry.market].size()) {
      *market = entry.market;
      *stock = entry.stock;
      return true;
    }
  }
  return false;
}

int QuotePushDouble::RunScript() {
  Script script;
  {
    std::lock_guard guard(lock_);
    script = script_;
  }
  const int64_t now = NowMs();
  const double elapsed = double(now - lastTurnMs_) / 1000.0;
  lastTurnMs_ = now;
  const double rates[kKinds] = {script.quotesPerSecond, script.shortQuotesPerSecond, script.priceHeadsPerSecond,
                                script.advicePerSecond, script.newsPerSecond,       script.messagesPerSecond};
  bool active = script.clockEachMinute;
  bool anyClient = false;
  for (Connection *c : connections_) anyClient = anyClient || (c->fd >= 0 && c->loggedIn);
  int due[kKinds] = {};
  for (int k = 0; k < kKinds; ++k) {
    if (rates[k] <= 0 || !anyClient) {
      credit_[k] = 0;
      continue;
    }
    active = true;
    credit_[k] = std::min(credit_[k] + rates[k] * elapsed, kMostPerTurn);
    due[k] = int(std::floor(credit_[k]));
    credit_[k] -= due[k];
  }
  if (!active) return -1;

  const int minute = UtcMinuteOfDay();
  const bool newMinute = script.clockEachMinute && minute != lastMinute_;
  lastMinute_ = minute;
  const int marketCount = int(names_.size());
  const int newsHours = desc_.markets.empty() ? 8 : desc_.markets[0].hourOffset;

  for (Connection *c : connections_) {
    if (c->fd < 0 || !c->loggedIn) continue;
    std::vector<Item> items;
    if (newMinute) items.push_back(ClockItem(minute));
    int market = 0, stock = 0;
    for (int i = 0; i < due[kQuotes] && NextSubscribed(*c, &c->cursors[kQuotes], &market, &stock); ++i)
      if (LiveQuote *live = Quote(market, stock)) {
        Move(*live);
        items.push_back(QuoteItem(market, stock, live->code, live->quote));
      }
    for (int i = 0; i < due[kShortQuotes] && NextSubscribed(*c, &c->cursors[kShortQuotes], &market, &stock); ++i)
      if (LiveQuote *live = Quote(market, stock)) {
        Move(*live);
        items.push_back(ShortQuoteItem(marketCount, market, live->code, live->quote));
      }
    for (int i = 0; i < due[kPriceHeads] && NextSubscribed(*c, &c->cursors[kPriceHeads], &market, &stock); ++i)
      if (LiveQuote *live = Quote(market, stock))
        items.push_back(PriceHeadItem(marketCount, market, live->code, live->quote));
    for (int i = 0; i < due[kAdvice] && NextSubscribed(*c, &c->cursors[kAdvice], &market, &stock); ++i) {
      ADVICEREC record{};
      record.key = nextAdviceKey_++;
      std::snprintf(reinterpret_cast<char *>(record.body), sizeof record.body, "提示%u", unsigned(record.key));
      items.push_back(AdviceItem(market, stock, record));
    }
    for (int i = 0; i < due[kNews]; ++i) {
      const std::tm t = UtcTm(newsHours);
      const PackedDateTime time = MakePackedDateTime(unsigned(t.tm_year + 1900), unsigned(t.tm_mon + 1),
                                                     unsigned(t.tm_mday), unsigned(t.tm_hour), unsigned(t.tm_min));
      const uint32_t id = nextNewsId_++;
      const std::string title = kHeadlines[id % (sizeof kHeadlines / sizeof kHeadlines[0])];
      items.push_back(NewsItem(marketCount, uint8_t(1 + id % 3), id, NewsDateTime(time), title));
    }
    for (int i = 0; i < due[kMessages]; ++i) items.push_back(MessageItem(marketCount));

    QueueItems(*c, items);
  }
  return kTurnMs;
}
