#include "market/realclient.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/efile.h"
#include "core/emem.h"
#include "core/lzw.h"
#include "market/dataio5.h"
#include "market/newsindex.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/memory.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/winuser.h"

TPushState PushState{};

namespace {

constexpr char kServerIni[] = ".\\SERVER.INI";
constexpr char kSettingIni[] = "..\\cfg\\setting.ini";
constexpr char kNewsTypeIni[] = "..\\CFG\\NEWSTYPE.INI";
constexpr int kSubscribeFrameSize = kFrameHeadSize + int(sizeof(SUBSCRIBEBODY));
static_assert(kSubscribeFrameSize == 784);
constexpr int kLoginFrameSize = kFrameHeadSize + int(sizeof(PUSHLOGINBODY));
static_assert(kLoginFrameSize == 96);
// 45 minutes between two slow-network notices.
constexpr DWORD kSlowNoticeInterval = 2700000;

// The answer messages of the request side that the push side posts too:
// WM_STOCK_DATA with the command in the high word.
constexpr WPARAM kAdviceArrived = WPARAM(FRAME_ADVICE) << 16;
constexpr WPARAM kRealtimeMessageArrived = WPARAM(FRAME_REALTIME_MESSAGE) << 16;
constexpr LPARAM kNewsPopUp = -2;
// The value of the real-time message request after a slow-network mark,
// and when the server says a message waits.
constexpr uint32_t kSlowNetworkNotice = 3;
constexpr uint32_t kMessageWaiting = 0xFFFFFFFFu;

// REALQUOTE byte ranges the items carry.
constexpr size_t kHeadBytes = 0;       // 32 bytes: previous close ... limit down
constexpr size_t kCounterBytes = 32;   // three uint16
constexpr size_t kPriceBytes = 38;     // 24 bytes: high ... last volume
constexpr size_t kBookBytes = 70;      // 80 bytes: five bid levels, five ask levels
constexpr size_t kBarSettlementBytes = 150;
static_assert(offsetof(REALQUOTE, indexCounters) == kCounterBytes && offsetof(REALQUOTE, high) == kPriceBytes);
static_assert(offsetof(REALQUOTE, bid) == kBookBytes && offsetof(REALQUOTE, barSettlement) == kBarSettlementBytes);
static_assert(offsetof(REALQUOTE, time) == 66);

uint8_t *BytesOf(REALQUOTE &quote) { return reinterpret_cast<uint8_t *>(&quote); }

uint16_t U16At(const uint8_t *p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Whether the integer part of a volume moved away from a value that was
// not 0. trunc keeps a value off the wire (NaN, 1e30) out of an integer
// conversion.
bool WholeChanged(float now, float before) { return before != 0.0f && std::trunc(now) != std::trunc(before); }

// The request client's connect path, lent the push client's socket: the
// direct, proxy and relay handshakes run on that socket as they would on
// the request client's own. The connector never owns the socket: a close
// it asks for is left to the push client, and it lets go before it dies.
class PushConnector final : public TNormalClnt {
 public:
  explicit PushConnector(SOCKET socket) : m_lent(socket) { m_socket = socket; }
  ~PushConnector() override { m_socket = INVALID_SOCKET; }
  void Close() override { m_socket = INVALID_SOCKET; }
  void OnClose(int) override { m_socket = INVALID_SOCKET; }
  // Still usable after the handshake: it asked for no close.
  bool Kept() const { return m_socket == m_lent; }

 private:
  SOCKET m_lent;
};

bool IsTradeByPrice(int marketType, bool noOrderBook) {
  return marketType == 3 || marketType == 4 || marketType == 7 || (marketType == 6 && noOrderBook);
}

// The change time of a quote: the market's minute plus the seconds since
// the last clock item, as a packed time (second bits 0-5, minute 6-11,
// hour 12-16) in bytes 66-68; byte 69 is kept.
void StampChangeTime(REALQUOTE &quote, const TMarketData &market) {
  uint32_t seconds = 0;
  if (PushState.lastClockTick != 0) seconds = DWORD(GetTickCount() - PushState.lastClockTick) / 1000;
  const uint64_t total = uint64_t(market.m_currentMinute) * 60 + seconds;
  const uint32_t second = uint32_t(total % 60);
  const uint32_t minute = uint32_t(total / 60 % 60);
  const uint32_t hour = uint32_t(total / 3600 % 24);
  quote.time = (quote.time & 0xFF000000u) | hour << 12 | minute << 6 | second;
}

}  // namespace

// On a trade the last five prices, best bids and best asks move one place
// older, and the quote before this one becomes the newest of each (its
// price where it had no bid or ask).
void ShiftPriceHistory(PRICEHIST &history, const REALQUOTE &before) {
  std::memmove(history.trades + 1, history.trades, 4 * sizeof(uint32_t));
  std::memmove(history.bids + 1, history.bids, 4 * sizeof(uint32_t));
  std::memmove(history.asks + 1, history.asks, 4 * sizeof(uint32_t));
  history.trades[0] = before.last;
  history.bids[0] = before.bid[0].price ? before.bid[0].price : before.last;
  history.asks[0] = before.ask[0].price ? before.ask[0].price : before.last;
}

namespace {

// The kind's no-order-book flag; false for a kind the market does not have.
bool NoOrderBook(const TMarketData &market, int kind) {
  return kind >= 0 && kind < kMaxStockKinds && kind < market.m_info.kindCount &&
         market.m_info.kinds[kind].noOrderBook != 0;
}

void LocalNow(SYSTEMTIME *t) { GetLocalTime(t); }

void AppendLine(const char *path, const char *line, int length) {
  if (length <= 0) return;
  int32_t file = FileOpen(path, "ab");
  if (file <= 0) return;
  FileWrite(file, line, 1, length);
  FileClose(file);
}

// A code or name that may go into a file name: no separators, no "..".
bool IsSafeFileWord(const char *text, size_t size) {
  const size_t n = strnlen(text, size);
  if (n == 0) return false;
  for (size_t i = 0; i < n; ++i)
    if (text[i] == '\\' || text[i] == '/' || text[i] == ':') return false;
  return std::string_view(text, n).find("..") == std::string_view::npos;
}

void ReadNewsOptions() {
  if (PushState.newsOptionsRead) return;
  PushState.newsOptionsRead = 1;
  PushState.oemOnly = int32_t(GetPrivateProfileIntA("OEMNEWS", "OemOnly", 0, kNewsTypeIni));
  PushState.popOem = int32_t(GetPrivateProfileIntA("OEMNEWS", "PopOem", 0, kNewsTypeIni));
}

bool NewsTypeMarked(int type) {
  char key[16];
  std::snprintf(key, sizeof key, "ID%d", type);
  char value[8] = {};
  GetPrivateProfileStringA("OEMNEWS", key, "", value, sizeof value, kNewsTypeIni);
  return value[0] != '\0';
}

bool LatencyLogOn() {
  if (!PushState.latencyTested) {
    PushState.latencyTested = 1;
    for (const std::string &argument : QuoteClientHooks().arguments)
      if (argument.find("/latency") != std::string::npos) PushState.latencyLog = 1;
  }
  return PushState.latencyLog != 0;
}

}  // namespace

void ResetPushState() { PushState = TPushState{}; }

TPushClientHooks &PushClientHooks() {
  static TPushClientHooks hooks;
  return hooks;
}

// ---- life ----

TRealDataClnt::TRealDataClnt() : m_decoder(new LCompressLite) {
  m_lastActivity = GetTickCount();
  GetPrivateProfileStringA("Log", "Code", "", m_logCode, sizeof m_logCode, kSettingIni);
}

TRealDataClnt::~TRealDataClnt() {
  TRealDataClnt::OnClose(0);
  delete m_subscription;
  delete m_decoder;
}

void TRealDataClnt::SetText(const char *text) { std::snprintf(m_text, sizeof m_text, "%s", text ? text : ""); }

void TRealDataClnt::Shut() {
  Close();
  m_armed = 0;
  m_frames.Clear();
  m_sendCount = 0;
}

// ---- connecting ----

int TRealDataClnt::ConnectAndLogin(const char *user) {
  Shut();
  SetText("");
  if (!Create(SOCK_STREAM, 0, AF_INET)) {
    SetText("网络初始化失败。");
    Shut();
    return 0;
  }
  char host[64] = {};
  GetPrivateProfileStringA("Server", "dsAddr", "", host, sizeof host, kServerIni);
  const int port = int(GetPrivateProfileIntA("Server", "Port2", kDefaultPushPort, kServerIni));
  m_slowNetwork = 0;
  int connected;
  bool kept;
  {
    PushConnector connector(m_socket);
    connected = connector.Connect(host, port);
    kept = connector.Kept();
    if (connected != kConnectOk) SetText(connector.Text());
  }
  if (connected != kConnectOk || !kept) {
    Shut();
    return 0;
  }

  uint8_t frame[kLoginFrameSize];
  PUSHLOGINBODY body{};
  body.eight = 8;
  body.session = LoginSessionValue;
  if (user) std::memcpy(body.user, user, strnlen(user, sizeof body.user));
  if (EncodeFrame(FRAME_PUSH_LOGIN, &body, int(sizeof body), frame, sizeof frame) != kLoginFrameSize) {
    Shut();
    return 0;
  }
  // The socket still blocks here: one send takes the whole frame or fails.
  if (Send(frame, kLoginFrameSize, 0) != kLoginFrameSize || !AsyncSelect(FD_READ | FD_WRITE | FD_CLOSE)) {
    Shut();
    return 0;
  }
  m_armed = 1;
  m_lastActivity = GetTickCount();
  return 1;
}

// ---- sending ----

void TRealDataClnt::Rearm() {
  if (m_armed) AsyncSelect(FD_READ | FD_WRITE | FD_CLOSE);
}

bool TRealDataClnt::Flush() { return SendQueued(m_send, m_sendCount); }

int TRealDataClnt::SendKeepAlive() {
  if (m_sendCount + kFrameHeadSize > kSendBufferSize) {
    OnClose(0);
    return 0;
  }
  std::memcpy(m_send + m_sendCount, kKeepAliveFrame, kFrameHeadSize);
  m_sendCount += kFrameHeadSize;
  if (m_socket == INVALID_SOCKET || !Flush()) {
    m_sendCount = 0;
    OnClose(GetLastError());
    return 0;
  }
  m_lastActivity = GetTickCount();
  Rearm();
  return 1;
}

int TRealDataClnt::Subscribe(EArray<STKMS> *list, uint16_t value, int flag) {
  if (m_socket == INVALID_SOCKET || m_sendCount + kSubscribeFrameSize > kSendBufferSize) {
    delete list;
    OnClose(0);
    return -1;
  }
  SUBSCRIBEBODY body{};
  const int count = list ? std::min<int32_t>(list->GetCount(), SUBSCRIBEBODY::kMaxEntries) : 0;
  if (count > 0) std::memcpy(body.entries, list->GetData(), size_t(count) * sizeof(STKMS));
  body.count = uint16_t(count);
  body.value = value;
  body.flag = flag ? 1 : 0;
  delete m_subscription;
  m_subscription = list;

  EncodeFrame(FRAME_SUBSCRIBE, &body, int(sizeof body), m_send + m_sendCount, kSubscribeFrameSize);
  m_sendCount += kSubscribeFrameSize;
  if (!Flush()) {
    m_sendCount = 0;
    OnClose(GetLastError());
    return -1;
  }
  m_lastActivity = GetTickCount();
  Rearm();
  return 0;
}

// ---- socket handlers ----

// Data first, as long as the socket has any; every frame completed by a
// receive is handled before the next receive.
void TRealDataClnt::OnReceive(int error) {
  if (error != 0) {
    OnClose(error);
    return;
  }
  while (m_socket != INVALID_SOCKET) {
    // What waits is always less than one frame: there is room.
    uint8_t *space = m_frames.Space();
    const int n = Receive(space, m_frames.SpaceSize(), 0);
    if (n == 0) {
      OnClose(0);
      return;
    }
    if (n < 0) {
      const int why = GetLastError();
      if (why == WSAEWOULDBLOCK) {
        Rearm();
        return;
      }
      OnClose(why);
      return;
    }
    m_lastActivity = GetTickCount();
    if (!Received(n)) return;
  }
}

// Notices are asked for again only while bytes wait: a writable socket
// would otherwise report itself for ever.
void TRealDataClnt::OnSend(int error) {
  if (m_sendCount > 0 && !Flush()) {
    OnClose(GetLastError());
    return;
  }
  m_lastActivity = GetTickCount();
  if (m_sendCount > 0) Rearm();
}

void TRealDataClnt::OnClose(int error) {
  if (m_socket == INVALID_SOCKET) return;
  Shut();
  HWND main = QuoteClientHooks().mainWindow;
  if (main) PostMessageA(main, WM_QUOTE_EVENT, 0, kQuoteEventPushLink);
}

// ---- reading ----

bool TRealDataClnt::Received(int count) {
  m_frames.Received(count);
  if (MakeFrame()) return true;
  if (m_socket != INVALID_SOCKET)
    OnClose(0);
  else
    m_frames.Clear();
  return false;
}

bool TRealDataClnt::TakeReceived(const void *bytes, int count) {
  const uint8_t *p = static_cast<const uint8_t *>(bytes);
  if (count < 0 || (!p && count > 0)) return false;
  while (count > 0) {
    // MakeFrame takes every whole frame, so what waits is less than one
    // frame and there is always room.
    const int room = m_frames.SpaceSize();
    if (room <= 0) return false;
    const int n = std::min(room, count);
    std::memcpy(m_frames.Space(), p, size_t(n));
    p += n;
    count -= n;
    if (!Received(n)) return false;
  }
  return true;
}

bool TRealDataClnt::MakeFrame() {
  FRAMEHEAD head;
  const uint8_t *body = nullptr;
  for (;;) {
    switch (m_frames.Next(&head, &body)) {
      case FrameAssembler::kWait:
        return true;
      case FrameAssembler::kError:
        return false;
      case FrameAssembler::kFrame:
        NoteFrameMark(head.mark);
        // A handler of the main window that closes the connection empties
        // the buffer: the next call then waits.
        if (MakeData(head, body) < 0) return false;
        break;
    }
  }
}

void TRealDataClnt::NoteFrameMark(uint8_t mark) {
  if (mark == kFrameMarkSlowNetwork) {
    m_slowNetwork = 1;
    CheckSlowNetwork();
  } else {
    m_slowNetwork = 0;
  }
}

// The user's [PARAMETER] Networkblocked date silences the notice for that
// day; otherwise the request client asks for the notice text, at most once
// in 45 minutes.
void TRealDataClnt::CheckSlowNetwork() {
  const DWORD now = GetTickCount();
  if (m_lastNotice != 0 && !TicksElapsed(m_lastNotice, now, kSlowNoticeInterval)) return;
  m_lastNotice = now != 0 ? now : 1;
  char setting[MAX_PATH + 16];
  std::snprintf(setting, sizeof setting, "%sSETTING.INI", UserDataPath);
  const int blocked = int(GetPrivateProfileIntA("PARAMETER", "Networkblocked", 0, setting));
  SYSTEMTIME t;
  LocalNow(&t);
  const int today = t.wYear * 10000 + t.wMonth * 100 + t.wDay;
  const auto &request = PushClientHooks().requestRealtimeMessage;
  if (blocked < today && request) request(kSlowNetworkNotice);
}

bool TRealDataClnt::Decode(const FRAMEHEAD &head, const uint8_t *body, const uint8_t **plain, int *length) {
  if (head.compressed == 0) {
    *plain = body;
    *length = head.bodyLength;
    return true;
  }
  auto lzw = [&] {
    int32_t n = 0;
    if (m_decoder->Decode(body, head.bodyLength, m_decoded, kDecodeBufferSize, &n) != LCompressLite::kOk) return false;
    *length = n;
    return true;
  };
  auto zlib = [&] {
    uLongf n = kDecodeBufferSize;
    if (uncompress(m_decoded, &n, body, head.bodyLength) != Z_OK) return false;
    *length = int(n);
    return true;
  };
  *plain = m_decoded;
  if (PushState.compressionMode == TPushState::kModeZlib) {
    if (zlib()) return true;
    if (!lzw()) return false;
    PushState.compressionMode = TPushState::kModeLzw;
    return true;
  }
  if (lzw()) {
    PushState.compressionMode = TPushState::kModeLzw;
    return true;
  }
  if (!zlib()) return false;
  PushState.compressionMode = TPushState::kModeZlib;
  return true;
}

int TRealDataClnt::MakeData(const FRAMEHEAD &head, const uint8_t *body) {
  const uint8_t *plain = nullptr;
  int length = 0;
  if (!Decode(head, body, &plain, &length)) return -1;
  return DispatchPush(head.command, plain, length) < 0 ? -1 : 0;
}

// ---- dispatch ----

int TRealDataClnt::DispatchPush(int command, const uint8_t *body, int length) {
  if (length < 0 || (!body && length > 0)) return -1;
  if (command == FRAME_PUSH_MESSAGE) {
    if (length < kSessionMessageSize) return -1;
    uint32_t session;
    std::memcpy(&session, body, 4);
    if (session != LoginSessionValue) return 0;
    HWND main = QuoteClientHooks().mainWindow;
    if (main) {
      auto *block = static_cast<uint8_t *>(HeapAlloc(GetProcessHeap(), 0, kSessionMessageSize));
      if (block) {
        std::memcpy(block, body, kSessionMessageSize);
        // The receiver reads the text up to its NUL: it ends inside the block.
        block[kSessionMessageSize - 1] = 0;
      }
      PostMessageA(main, WM_QUOTE_EVENT, kQuoteEventSessionEnd, LPARAM(block));
    }
    return -1;
  }
  if (command != FRAME_PUSH_QUOTES || length == 0) return 0;
  // Whole items are handled in order; bytes after the last of them are no
  // item and are left.
  const int marketCount = MarketTable.marketCount;
  for (int at = 0; length - at >= kPushItemSize; at += kPushItemSize) DispatchItem(body + at, marketCount);
  return length;
}

void TRealDataClnt::DispatchItem(const uint8_t *item, int marketCount) {
  const uint16_t u0 = U16At(item);
  const uint16_t u2 = U16At(item + 2);
  // An advice item of market 0 may have a zero at byte 108 too; its stock
  // field (10000 and up) is never a minute of the day.
  if (u0 == 0 && item[offsetof(PUSHCLOCKITEM, mark)] == 0 && u2 < kAdviceStockBase) {
    ApplyClock(u2);
    return;
  }
  if (u0 < marketCount) {
    if (u2 < kAdviceStockBase)
      ApplyQuote(item);
    else
      ApplyAdvice(item);
    return;
  }
  const int kind = int(item[0]) - marketCount;
  switch (kind) {
    case kPushNewsKind:
      ApplyNews(item);
      break;
    case kPushMessageKind:
      if (const auto &request = PushClientHooks().requestRealtimeMessage) request(kMessageWaiting);
      break;
    case kPushPriceHeadKind:
      ApplyPriceHead(item);
      break;
    case kPushShortQuoteKind:
      ApplyShortQuote(item);
      break;
    default:
      break;
  }
}

void TRealDataClnt::SendEvent(WPARAM kind, uint32_t stock, uint32_t flags) {
  MFEVENTSLOT &slot = PushState.slots[PushState.nextSlot % TPushState::kEventSlots];
  PushState.nextSlot = (PushState.nextSlot + 1) % TPushState::kEventSlots;
  slot.stock = stock;
  slot.flags = flags;
  HWND main = QuoteClientHooks().mainWindow;
  if (main) SendMessageA(main, WM_MF_EVENT, kind, LPARAM(&slot));
}

// A minute outside the day (1440 or more) would not fit the clock's hour
// field: such an item is ignored.
void TRealDataClnt::ApplyClock(int minute) {
  if (minute < 0 || minute >= 1440) return;
  const int current = int(PackedHour(CurrentUtcTime)) * 60 + int(PackedMinute(CurrentUtcTime));
  if (PushState.lastClockTick != 0 && minute == current) return;
  const DWORD now = GetTickCount();
  PushState.lastClockTick = now != 0 ? now : 1;
  if (minute > 1380) PushState.clockRollOver = 1;
  if (PushState.clockRollOver && minute < 60) {
    PackedNextDayInPlace(&CurrentUtcTime);
    PushState.clockRollOver = 0;
  }
  CurrentUtcTime = MakePackedDateTime(PackedYear(CurrentUtcTime), PackedMonth(CurrentUtcTime), PackedDay(CurrentUtcTime),
                                      unsigned(minute / 60), unsigned(minute % 60));
  for (int m = 0; m < MarketTable.marketCount; ++m)
    if (TMarketData *market = MarketAt(m)) market->UpdateMarketClock(CurrentUtcTime);
  HWND main = QuoteClientHooks().mainWindow;
  if (main) PostMessageA(main, WM_MF_EVENT, kMfClockMinute, LPARAM(minute));
}

void TRealDataClnt::ApplyQuote(const uint8_t *bytes) {
  PUSHQUOTEITEM item;
  std::memcpy(&item, bytes, sizeof item);
  TMarketData *market = MarketAt(item.market);
  if (!market || !market->m_quotes) return;
  const int stock = market->FindStockIndex(item.code);
  if (stock < 0 || stock >= market->m_stockCount) return;

  if (m_logCode[0] != '\0' && std::strncmp(m_logCode, item.code, 7) == 0) LogQuote(item);
  if (item.market == 7 && std::strncmp(item.code, "GOTZ", sizeof item.code) == 0 && LatencyLogOn()) LogLatency(item);

  REALQUOTE &quote = market->m_quotes[stock];
  REALQUOTE next = quote;
  std::memcpy(BytesOf(next) + kPriceBytes, item.prices, sizeof item.prices);
  std::memcpy(BytesOf(next) + kBookBytes, item.book, sizeof item.book);
  std::memcpy(BytesOf(next) + kBarSettlementBytes, &item.barSettlement, 4);
  if (std::memcmp(item.prices, BytesOf(quote) + kPriceBytes, sizeof item.prices) != 0 ||
      std::memcmp(item.book, BytesOf(quote) + kBookBytes, sizeof item.book) != 0)
    StampChangeTime(next, *market);

  const int kind = market->m_stocks[stock].kind;
  const bool noBook = NoOrderBook(*market, kind);
  uint32_t flags = 0;
  if (next.last != quote.last) flags |= kQuoteLastChanged;
  if (WholeChanged(next.lastVolume, quote.lastVolume)) flags |= kQuoteLastVolumeChanged;
  if (!noBook) {
    if (next.bid[0].price != quote.bid[0].price) flags |= kQuoteBidChanged;
    if (next.ask[0].price != quote.ask[0].price) flags |= kQuoteAskChanged;
    if (WholeChanged(next.bid[0].volume, quote.bid[0].volume)) flags |= kQuoteBidVolumeChanged;
    if (WholeChanged(next.ask[0].volume, quote.ask[0].volume)) flags |= kQuoteAskVolumeChanged;
    for (int level = 1; level < 5; ++level) {
      if (next.bid[level].price != quote.bid[level].price) flags |= kQuoteDepthBidChanged;
      if (next.ask[level].price != quote.ask[level].price) flags |= kQuoteDepthAskChanged;
      if (WholeChanged(next.bid[level].volume, quote.bid[level].volume)) flags |= kQuoteDepthBidVolumeChanged;
      if (WholeChanged(next.ask[level].volume, quote.ask[level].volume)) flags |= kQuoteDepthAskVolumeChanged;
    }
  }
  if (WholeChanged(next.volume, quote.volume)) flags |= kQuoteVolumeChanged;
  const bool trade = next.volume > quote.volume ||
                     (next.last != quote.last && IsTradeByPrice(market->m_info.type, noBook));
  if (trade) {
    flags |= kQuoteTrade;
    // Against the book before the trade; when that was empty, the new one.
    uint32_t ask = quote.ask[0].price, bid = quote.bid[0].price;
    if (ask == 0 && bid == 0) {
      ask = next.ask[0].price;
      bid = next.bid[0].price;
    }
    if (ask != 0 || bid != 0) {
      if (next.last >= ask)
        flags |= kQuoteTradeUp;
      else if (bid >= next.last)
        flags |= kQuoteTradeDown;
    }
    if (market->m_priceHist) ShiftPriceHistory(market->m_priceHist[stock], quote);
  }
  quote = next;

  // Futures-type markets show levels 2-5 only to accounts with the right.
  if (market->m_info.type == 2 && ((kind == 1 && !(UserRights[kFeatureDepthByte] & kRightDepthKind1)) ||
                                   (kind == 3 && !(UserRights[kFeatureDepthByte] & kRightDepthKind3)))) {
    std::memset(static_cast<void *>(&quote.bid[1]), 0, 4 * sizeof(QUOTELEVEL));
    std::memset(static_cast<void *>(&quote.ask[1]), 0, 4 * sizeof(QUOTELEVEL));
  }
  SendEvent(kMfQuote, STKPTR(item.market, 0, stock).Word(), flags);
}

void TRealDataClnt::ApplyShortQuote(const uint8_t *bytes) {
  PUSHSHORTQUOTEITEM item;
  std::memcpy(&item, bytes, sizeof item);
  TMarketData *market = MarketAt(item.market);
  if (!market || !market->m_quotes) return;
  const int stock = market->FindStockIndex(item.code);
  if (stock < 0 || stock >= market->m_stockCount) return;

  REALQUOTE &quote = market->m_quotes[stock];
  REALQUOTE next = quote;
  std::memcpy(BytesOf(next) + kPriceBytes, item.prices, sizeof item.prices);
  std::memcpy(BytesOf(next) + kCounterBytes, item.counters, sizeof item.counters);
  // High, low and last decide whether it changed.
  if (std::memcmp(item.prices, BytesOf(quote) + kPriceBytes, 12) != 0) StampChangeTime(next, *market);

  const bool noBook = NoOrderBook(*market, market->m_stocks[stock].kind);
  uint32_t flags = 0;
  if (next.last != quote.last) flags |= kQuoteLastChanged;
  if (WholeChanged(next.lastVolume, quote.lastVolume)) flags |= kQuoteLastVolumeChanged;
  if (WholeChanged(next.volume, quote.volume)) flags |= kQuoteVolumeChanged;
  if (next.volume > quote.volume || (next.last != quote.last && IsTradeByPrice(market->m_info.type, noBook))) {
    flags |= kQuoteTrade;
    if (market->m_priceHist) ShiftPriceHistory(market->m_priceHist[stock], quote);
  }
  quote = next;
  SendEvent(kMfQuote, STKPTR(item.market, 0, stock).Word(), flags);
}

void TRealDataClnt::ApplyPriceHead(const uint8_t *bytes) {
  PUSHPRICEHEADITEM item;
  std::memcpy(&item, bytes, sizeof item);
  TMarketData *market = MarketAt(item.market);
  if (!market || !market->m_quotes) return;
  const int stock = market->FindStockIndex(item.code);
  if (stock < 0 || stock >= market->m_stockCount) return;
  REALQUOTE &quote = market->m_quotes[stock];
  std::memcpy(BytesOf(quote) + kHeadBytes, item.head, sizeof item.head);
  if (quote.refPrice == 0) quote.refPrice = quote.prevClose;
  SendEvent(kMfPriceHead, STKPTR(item.market, 0, stock).Word(), kQuotePriceHead);
}

void TRealDataClnt::ApplyAdvice(const uint8_t *bytes) {
  PUSHADVICEITEM item;
  std::memcpy(&item, bytes, sizeof item);
  const int marketIndex = item.market & 0xFF;
  const int stock = item.stock - kAdviceStockBase;
  const STKPTR ref(marketIndex, 0, stock);
  if (!GetStockInfo(ref)) return;
  MergeAdviceAnswer(MarketAt(marketIndex), stock, &item.record, 1);
  HWND main = QuoteClientHooks().mainWindow;
  if (main) PostMessageA(main, WM_STOCK_DATA, kAdviceArrived, LPARAM(ref.Word()));
}

void TRealDataClnt::ApplyNews(const uint8_t *item) {
  if (NewsIndex && NewsIndex->IsListLoading()) return;
  NEWSREC record;
  if (!NewsRecordFromItem(item, kPushItemSize, &record)) return;
  if (NewsIndex) NewsIndex->Insert(record, true);
  const int type = int(NewsTypeOf(record));
  if (!HasFeatureRight(type)) return;
  ReadNewsOptions();
  const bool marked = NewsTypeMarked(type);
  HWND main = QuoteClientHooks().mainWindow;
  if (!(PushState.oemOnly && !marked) && main) SendMessageA(main, WM_NEWS_ARRIVED, 0, LPARAM(&record));
  const auto &modal = PushClientHooks().modalBoxShown;
  if (PushState.popOem && marked && !(modal && modal())) {
    const std::string text = std::string("NEWS:\r\n") + record.title;
    if (platform::WriteFileReplacing(platform::ResolvePath(".\\rtmsg.txt"), text) == 0 && main)
      PostMessageA(main, WM_STOCK_DATA, kRealtimeMessageArrived, kNewsPopUp);
  }
}

// ---- logs ----

void TRealDataClnt::LogQuote(const PUSHQUOTEITEM &item) {
  if (!IsSafeFileWord(m_logCode, sizeof m_logCode)) return;
  SYSTEMTIME t;
  LocalNow(&t);
  char path[64];
  std::snprintf(path, sizeof path, ".\\%.7s-%04u%02u%02u.txt", m_logCode, unsigned(t.wYear), unsigned(t.wMonth),
                unsigned(t.wDay));
  uint32_t last;
  float volume;
  std::memcpy(&last, item.prices + 8, 4);
  std::memcpy(&volume, item.prices + 12, 4);
  char line[512];
  const int n = std::snprintf(line, sizeof line, "<%02u:%02u:%02u:%03u> %i %.0f %u\r\n", unsigned(t.wHour),
                              unsigned(t.wMinute), unsigned(t.wSecond), unsigned(t.wMilliseconds), int(last),
                              double(volume), unsigned(GetTickCount()));
  AppendLine(path, line, std::min<int>(n, int(sizeof line) - 1));
}

void TRealDataClnt::LogLatency(const PUSHQUOTEITEM &item) {
  SYSTEMTIME t;
  LocalNow(&t);
  char path[32];
  std::snprintf(path, sizeof path, ".\\Lt%04u%02u%02u.txt", unsigned(t.wYear), unsigned(t.wMonth), unsigned(t.wDay));
  QUOTELEVEL bid, ask;
  std::memcpy(&bid, item.book, sizeof bid);
  std::memcpy(&ask, item.book + 5 * sizeof(QUOTELEVEL), sizeof ask);
  // The server puts its send time, hhmmss, where the best ask goes.
  char line[512];
  const int n = std::snprintf(line, sizeof line, "%02u %02u %02u %03u %04u %04.0f %02u %02u %02u %03.0f\r\n",
                              unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond),
                              unsigned(t.wMilliseconds), bid.price, double(bid.volume), ask.price / 10000,
                              ask.price / 100 % 100, ask.price % 100, double(ask.volume));
  AppendLine(path, line, std::min<int>(n, int(sizeof line) - 1));
}
