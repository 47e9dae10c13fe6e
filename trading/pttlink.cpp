#include "trading/pttlink.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <strings.h>

#include "core/emem.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "platform/clock.h"
#include "platform/handles.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "platform/winuser.h"

namespace pttlink {

namespace {

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1, host order
constexpr int kTableStep = 64;

bool IsVerb(const uint8_t *data, const char *verb) { return std::memcmp(data, verb, 4) == 0; }

template <size_t N>
void CopyCode(char (&out)[N], const char *code) {
  std::memset(out, 0, N);
  if (code) std::memcpy(out, code, strnlen(code, N - 1));
}

int32_t Truncated(float value) { return int32_t(value + 0.1f); }

bool SameCode(const char *field, size_t width, const char *code) {
  char own[33] = {};
  std::memcpy(own, field, std::min(width, sizeof own - 1));
  return strcasecmp(own, code) == 0;
}

}  // namespace

LinkQuote BuildQuote(const char *code, const REALQUOTE &q) {
  LinkQuote out{};
  std::memcpy(out.Verb, "QTE|", 4);
  out.One = 1;
  out.Three = 3;
  CopyCode(out.Code, code);
  out.PrevClose = q.prevClose;
  out.RefPrice = q.refPrice;
  out.Open = q.open;
  out.High = q.high;
  out.Low = q.low;
  out.Last = q.last;
  out.LimitUp = q.limitUp;
  out.LimitDown = q.limitDown;
  out.BarSettlement = q.barSettlement;
  out.BarSettlement2 = q.barSettlement;
  out.Volume = Truncated(q.volume);
  out.Amount = Truncated(q.amount);
  out.PrevOpenInterest = Truncated(q.prevOpenInterest);
  for (int i = 0; i < 5; ++i) {
    out.Bid[i] = {q.bid[i].price, Truncated(q.bid[i].volume)};
    out.Ask[i] = {q.ask[i].price, Truncated(q.ask[i].volume)};
  }
  out.End = -4096;
  return out;
}

LinkContract BuildContract(const char *code, const char *secondCode, uint8_t byte56, uint8_t byte57, int32_t int58,
                           int32_t int62) {
  LinkContract out{};
  std::memcpy(out.Verb, "COD|", 4);
  CopyCode(out.Code, code);
  CopyCode(out.SecondCode, secondCode);
  out.Byte56 = byte56;
  out.Byte57 = byte57;
  out.Int58 = int58;
  out.Int62 = int62;
  return out;
}

TPttLinkCore::TPttLinkCore(uint32_t ownId) : ownId_(ownId) {}
TPttLinkCore::~TPttLinkCore() = default;

TPttLinkCore::Send TPttLinkCore::Verb(uint16_t port, const char *verb, const uint32_t *value) {
  Send send{port, std::vector<uint8_t>(verb, verb + 4)};
  if (value) {
    send.bytes.resize(8);
    std::memcpy(send.bytes.data() + 4, value, 4);
  }
  return send;
}

template <class Record>
bool TPttLinkCore::Store(Table<Record> &table, const Record &record) {
  if (record.Index == 0) {
    table.count = 0;
    if (table.capacity < record.Count) {
      const int capacity = (record.Count + kTableStep - 1) / kTableStep * kTableStep;
      table.records.reset(new (std::nothrow) Record[size_t(capacity)]);
      table.capacity = table.records ? capacity : 0;
    }
    if (table.capacity >= record.Count) std::memset(table.records.get(), 0, sizeof(Record) * record.Count);
  }
  // A record outside its own table, or of a table larger than what was
  // allocated for it, is refused.
  if (record.Index >= record.Count || record.Count > table.capacity) return false;
  table.records[record.Index] = record;
  if (record.Index + 1 != record.Count) return false;
  table.count = record.Count;
  return true;
}

TPttLinkCore::Step TPttLinkCore::Receive(const uint8_t *data, int length, uint32_t address, uint16_t port,
                                         uint32_t tick) {
  Step step;
  if (!data || length < 4 || ntohl(address) != kLoopback) return step;
  const uint16_t from = ntohs(port);
  const uint16_t peer = PeerPort();
  const bool fromPeer = peer != 0 && from == peer;

  if (IsVerb(data, "LOG|")) {
    if (length < 8) return step;
    uint32_t id;
    std::memcpy(&id, data + 4, 4);
    if (peer == 0) {
      {
        std::lock_guard guard(lock_);
        peerId_ = id;
        peerTick_ = tick;
        peerPort_ = from;
      }
      step.change = Change::Linked;
      step.sends.push_back(Verb(from, "ACP|", &ownId_));
    } else if (fromPeer && id == PeerId()) {
      peerTick_ = tick;
      step.sends.push_back(Verb(from, "ACP|", &ownId_));
    } else {
      step.sends.push_back(Verb(from, "ERR|", nullptr));
    }
    return step;
  }
  // Everything else comes from the linked peer only.
  if (!fromPeer) return step;

  if (IsVerb(data, "ASR|")) {
    peerTick_ = tick;
  } else if (IsVerb(data, "POS|") || IsVerb(data, "ODR|")) {
    const bool isPosition = IsVerb(data, "POS|");
    if (length != 4 + int(isPosition ? sizeof(LinkPosition) : sizeof(LinkOrder))) return step;
    peerTick_ = tick;
    std::lock_guard guard(lock_);
    bool complete;
    uint16_t count;
    std::memcpy(&count, data + 4, 2);
    if (isPosition) {
      LinkPosition record;
      std::memcpy(&record, data + 4, sizeof record);
      record.InstrumentID[sizeof record.InstrumentID - 1] = 0;
      if (count == 0) positions_.count = 0;
      complete = count == 0 || Store(positions_, record);
    } else {
      LinkOrder record;
      std::memcpy(&record, data + 4, sizeof record);
      record.InstrumentID[sizeof record.InstrumentID - 1] = 0;
      record.ExchangeID[sizeof record.ExchangeID - 1] = 0;
      if (count == 0) orders_.count = 0;
      complete = count == 0 || Store(orders_, record);
      if (complete && orders_.count > 1)
        std::stable_sort(orders_.records.get(), orders_.records.get() + orders_.count,
                         [](const LinkOrder &a, const LinkOrder &b) { return a.OrderNumber < b.OrderNumber; });
    }
    if (complete) step.posts.push_back(Post{0, nullptr});
  } else if (IsVerb(data, "SSB|")) {
    peerTick_ = tick;
    const int n = std::min((length - 4) / int(sizeof(LinkSubscription)), kMaxSubscriptions);
    {
      std::lock_guard guard(lock_);
      std::memcpy(subscriptions_, data + 4, size_t(n) * sizeof(LinkSubscription));
      for (int i = 0; i < n; ++i) subscriptions_[i].Code[sizeof subscriptions_[i].Code - 1] = 0;
      subscriptionCount_ = n;
    }
    step.posts.push_back(Post{2, nullptr});
  } else if (IsVerb(data, "ERR|")) {
    std::lock_guard guard(lock_);
    DropLocked(step);
  } else if (IsVerb(data, "COD|")) {
    if (length != 4 + int(sizeof(LinkPeerContract))) return step;
    peerTick_ = tick;
    auto record = std::unique_ptr<LinkPeerContract>(new (std::nothrow) LinkPeerContract);
    if (!record) return step;
    std::memcpy(record.get(), data + 4, sizeof *record);
    record->Code[sizeof record->Code - 1] = 0;
    step.posts.push_back(Post{1, std::move(record)});
  }
  return step;
}

void TPttLinkCore::DropLocked(Step &step) {
  peerPort_ = 0;
  peerId_ = 0;
  peerTick_ = 0;
  positions_.count = 0;
  orders_.count = 0;
  step.change = Change::Dropped;
  step.posts.push_back(Post{0, nullptr});
}

TPttLinkCore::Step TPttLinkCore::Pass(uint32_t tick) {
  Step step;
  const uint16_t peer = PeerPort();
  if (peer == 0) return step;
  const uint32_t last = peerTick_;
  if (TicksElapsed(last, tick, kDropMs)) {
    std::lock_guard guard(lock_);
    DropLocked(step);
  } else if (TicksElapsed(last, tick, kHeartbeatMs)) {
    step.sends.push_back(Verb(peer, "CHK|", &ownId_));
  }
  return step;
}

int TPttLinkCore::Subscriptions(LinkSubscription *out, int max) const {
  std::lock_guard guard(lock_);
  const int n = std::clamp(max, 0, subscriptionCount_);
  if (n) std::memcpy(out, subscriptions_, size_t(n) * sizeof *out);
  return n;
}

void TPttLinkCore::TradeTables(const char *code, const char *secondCode, LinkPosition *positions,
                               int maxPositions, int *positionCount, LinkOrder *orders, int maxOrders,
                               int *orderCount) const {
  const auto wanted = [&](const char *field, size_t width) {
    return (code && SameCode(field, width, code)) || (secondCode && secondCode[0] && SameCode(field, width, secondCode));
  };
  std::lock_guard guard(lock_);
  int n = 0;
  for (int i = 0; i < positions_.count && n < maxPositions; ++i)
    if (wanted(positions_.records[i].InstrumentID, sizeof positions_.records[i].InstrumentID))
      positions[n++] = positions_.records[i];
  if (positionCount) *positionCount = n;
  n = 0;
  for (int i = 0; i < orders_.count && n < maxOrders; ++i)
    if (wanted(orders_.records[i].InstrumentID, sizeof orders_.records[i].InstrumentID)) orders[n++] = orders_.records[i];
  if (orderCount) *orderCount = n;
}

int TPttLinkCore::PositionCount() const {
  std::lock_guard guard(lock_);
  return positions_.count;
}

int TPttLinkCore::OrderCount() const {
  std::lock_guard guard(lock_);
  return orders_.count;
}

void TPttLinkCore::Clear() {
  std::lock_guard guard(lock_);
  peerPort_ = 0;
  peerId_ = 0;
  peerTick_ = 0;
  positions_ = {};
  orders_ = {};
  subscriptionCount_ = 0;
}

}  // namespace pttlink

// ---- the running link ----

using pttlink::TPttLinkCore;

namespace {

struct LinkRun {
  explicit LinkRun(uint32_t id) : core(id) {}
  TPttLinkCore core;
  HWND window = nullptr;
  SOCKET socket = INVALID_SOCKET;
  uint16_t port = 0;
  std::atomic<bool> stop{false};
  HANDLE thread = nullptr;
};

// Set and cleared on the GUI thread; the worker holds its own share.
std::shared_ptr<LinkRun> g_run;

void SendTo(SOCKET socket, uint16_t port, const void *bytes, size_t length) {
  if (socket == INVALID_SOCKET || port == 0) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  ws::sendto(socket, static_cast<const char *>(bytes), int(length), 0, reinterpret_cast<const sockaddr *>(&to),
             sizeof to);
}

void Apply(LinkRun &run, TPttLinkCore::Step &step) {
  for (const auto &send : step.sends) SendTo(run.socket, send.port, send.bytes.data(), send.bytes.size());
  for (auto &post : step.posts) {
    if (PostMessageA(run.window, WM_TRADE_VIEWS_UPDATE, post.what, reinterpret_cast<LPARAM>(post.record.get())))
      post.record.release();
  }
}

DWORD Worker(LPVOID parameter) {
  std::shared_ptr<LinkRun> run(std::move(*static_cast<std::shared_ptr<LinkRun> *>(parameter)));
  delete static_cast<std::shared_ptr<LinkRun> *>(parameter);
  uint8_t buffer[pttlink::kMaxDatagram];
  while (!run->stop.load()) {
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int n = ws::recvfrom(run->socket, reinterpret_cast<char *>(buffer), sizeof buffer, 0,
                               reinterpret_cast<sockaddr *>(&from), &fromLength);
    if (run->stop.load()) break;
    if (n < 0 && ws::WSAGetLastError() == WSAENOTSOCK) break;
    if (n >= 0) {
      auto step = run->core.Receive(buffer, n, from.sin_addr.s_addr, from.sin_port, GetTickCount());
      Apply(*run, step);
    }
    auto step = run->core.Pass(GetTickCount());
    Apply(*run, step);
  }
  return 0;
}

}  // namespace

uint16_t PttLinkPort() {
  const UINT port = GetPrivateProfileIntA("Parameter", "Linkport", pttlink::kDefaultPort, "..\\cfg\\setting.ini");
  return port > 0 && port < 65536 ? uint16_t(port) : pttlink::kDefaultPort;
}

bool PttLinkStart(HWND window, uint16_t port) {
  PttLinkStop();
  auto run = std::make_shared<LinkRun>(GetCurrentProcessId());
  run->window = window;
  run->socket = ws::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (run->socket == INVALID_SOCKET) return false;
  const int bufferSize = 65536;
  const DWORD timeout = 500;
  ws::setsockopt(run->socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char *>(&bufferSize), sizeof bufferSize);
  ws::setsockopt(run->socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&bufferSize), sizeof bufferSize);
  ws::setsockopt(run->socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
  // Only programs on this machine may link.
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  local.sin_port = htons(port ? port : PttLinkPort());
  int length = sizeof local;
  if (ws::bind(run->socket, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0 ||
      ws::getsockname(run->socket, reinterpret_cast<sockaddr *>(&local), &length) != 0) {
    ws::closesocket(run->socket);
    return false;
  }
  run->port = ntohs(local.sin_port);
  auto *share = new std::shared_ptr<LinkRun>(run);
  run->thread = CreateThread(nullptr, 0, Worker, share, 0, nullptr);
  if (!run->thread) {
    delete share;
    ws::closesocket(run->socket);
    return false;
  }
  g_run = std::move(run);
  return true;
}

void PttLinkStop() {
  std::shared_ptr<LinkRun> run = std::move(g_run);
  if (!run) return;
  SendTo(run->socket, run->core.PeerPort(), "ERR|", 4);
  run->stop = true;
  // A byte to our own port ends the worker's wait at once.
  SendTo(run->socket, run->port, "", 1);
  ws::closesocket(run->socket);
  WaitForSingleObject(run->thread, 2000);
  CloseHandle(run->thread);
  run->core.Clear();
}

uint16_t PttLinkPeerPort() { return g_run ? g_run->core.PeerPort() : 0; }
uint16_t PttLinkBoundPort() { return g_run ? g_run->port : 0; }

void PttLinkSendContract(const char *code, const char *secondCode, uint8_t byte56, uint8_t byte57, int32_t int58,
                         int32_t int62) {
  LinkRun *run = g_run.get();
  if (!run || !run->core.PeerPort()) return;
  const auto datagram = pttlink::BuildContract(code, secondCode, byte56, byte57, int58, int62);
  SendTo(run->socket, run->core.PeerPort(), &datagram, sizeof datagram);
}

void PttLinkSendQuote(STKPTR stock, const REALQUOTE &quote) {
  LinkRun *run = g_run.get();
  if (!run || !run->core.PeerPort()) return;
  const STKINFO *info = GetStockInfo(stock);
  const STKINFO *combo = info ? CMarketMerger::Instance()->FindComboStock(info) : nullptr;
  const TMarketData *market = combo ? MarketAt(combo->market) : nullptr;
  if (!market || !market->m_stocksEx) return;
  const STKINFOEX *ex = GetStockInfoEx(STKPTR(combo->market, 0, combo->index));
  if (!ex || !ex->code[0]) return;
  char code[sizeof ex->code + 1] = {};
  std::memcpy(code, ex->code, sizeof ex->code);
  const auto datagram = pttlink::BuildQuote(code, quote);
  SendTo(run->socket, run->core.PeerPort(), &datagram, sizeof datagram);
}

int PttLinkGetSubscriptions(pttlink::LinkSubscription *records, int max) {
  return g_run ? g_run->core.Subscriptions(records, max) : 0;
}

void PttLinkGetTradeTables(const char *code, const char *secondCode, pttlink::LinkPosition *positions,
                           int maxPositions, pttlink::LinkOrder *orders, int maxOrders) {
  int positionCount = 0, orderCount = 0;
  if (g_run)
    g_run->core.TradeTables(code, secondCode, positions, maxPositions, &positionCount, orders, maxOrders,
                            &orderCount);
  for (int i = positionCount; i < maxPositions; ++i) positions[i] = {};
  for (int i = orderCount; i < maxOrders; ++i) orders[i] = {};
}

void PttLinkFreeContract(LPARAM record) { delete reinterpret_cast<pttlink::LinkPeerContract *>(record); }
