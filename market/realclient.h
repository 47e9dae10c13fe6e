// The push client of the quote service.
//
// A second TCP connection, to the push server: after a one-frame login the
// server sends, without being asked, the real-time quotes of the
// instruments the client subscribed to, a clock item every minute, news
// headlines, advice records and its session message. The client writes the
// quotes straight into the market table, keeps the shared UTC clock and
// every market's clock, and hands each change to the main window with a
// sent WM_MF_EVENT whose lParam is the address of an 8-byte event slot, so
// nothing is copied or allocated per quote.
//
// It connects through the same direct, proxy or relay path as the request
// client, to ".\SERVER.INI" [Server] dsAddr at [Server] Port2 (13153 when
// missing). After the login its socket reports through the socket window,
// and everything runs on the GUI thread.
//
// Bodies may come compressed with LZW or with zlib; the client tries both
// and keeps trying first the one that worked last. A frame whose head is
// refused, whose body decodes with neither, or whose body is not a whole
// number of items or is shorter than its fixed layout closes the
// connection; a bad frame never makes the client read past what it
// received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/earray.h"
#include "core/esock.h"
#include "market/datafile.h"
#include "market/marketrecords.h"
#include "market/nclient.h"
#include "market/nclient_frames.h"
#include "platform/messages.h"

class LCompressLite;

// WM_MF_EVENT: what wParam carries.
constexpr WPARAM kMfClockMinute = 2;
constexpr WPARAM kMfQuote = 0x10005;
constexpr WPARAM kMfPriceHead = 0x10006;
// WM_QUOTE_EVENT from the push client: (0, kQuoteEventPushLink) when its
// connection closed, (kQuoteEventSessionEnd, block) when the server ended
// the session. The block is the server's 148-byte message on the process
// heap (its text from byte 20, NUL-terminated within the block); the
// receiver frees it with HeapFree.
constexpr LPARAM kQuoteEventPushLink = 1;
constexpr WPARAM kQuoteEventSessionEnd = 2;

// What changed with a pushed quote: the second word of its event slot.
enum : uint32_t {
  kQuoteLastChanged = 0x0001,
  kQuoteLastVolumeChanged = 0x0002,  // integer part of the last trade's volume; not from 0
  kQuoteBidChanged = 0x0008,         // best bid price
  kQuoteAskChanged = 0x0010,         // best ask price
  kQuoteBidVolumeChanged = 0x0020,   // integer part of the best bid volume; not from 0
  kQuoteAskVolumeChanged = 0x0040,
  kQuoteVolumeChanged = 0x0080,  // integer part of the cumulative volume; not from 0
  kQuoteTrade = 0x0100,          // the volume grew (or, where no volume is kept, the price moved)
  kQuoteTradeUp = 0x0200,        // with kQuoteTrade: at or above the ask
  kQuoteTradeDown = 0x0400,      // with kQuoteTrade: at or below the bid
  kQuotePriceHead = 0x0800,      // a price head was applied (alone)
  kQuoteDepthBidChanged = 0x1000,  // a bid price of levels 2-5
  kQuoteDepthAskChanged = 0x2000,
  kQuoteDepthBidVolumeChanged = 0x4000,  // integer part of a bid volume of levels 2-5; not from 0
  kQuoteDepthAskVolumeChanged = 0x8000,
};

#pragma pack(push, 1)

// One quote event: the packed STKPTR of the instrument and what changed.
struct MFEVENTSLOT {
  uint32_t stock;
  uint32_t flags;
};

// Body of the push login (command 103).
struct PUSHLOGINBODY {
  uint16_t eight;  // always 8
  uint32_t session;
  char user[16];
  uint8_t zero[64];
};

// Body of a subscription (command 100).
struct SUBSCRIBEBODY {
  static constexpr int kMaxEntries = 256;
  STKMS entries[kMaxEntries];  // unused entries zero
  uint16_t count;
  uint16_t value;  // the caller's: the main window's number of new entries at the front
  uint16_t flag;   // 1 or 0
};

// The 120-byte items of a push body (command 8). With M the number of
// markets, an item's kind follows from its first bytes:
//   clock        uint16 at 0 is 0, byte 108 is 0 and uint16 at 2 below 10000
//   quote        uint16 at 0 below M, uint16 at 2 below 10000
//   advice       uint16 at 0 below M, uint16 at 2 from 10000
//   news         byte 0 = M + 1 (uint16 at 0 from M on)
//   message      byte 0 = M + 2
//   price head   byte 0 = M + 3
//   short quote  byte 0 = M + 5
// Other items from M on are ignored.
constexpr int kPushItemSize = 120;
constexpr uint16_t kAdviceStockBase = 10000;
constexpr int kPushNewsKind = 1;
constexpr int kPushMessageKind = 2;
constexpr int kPushPriceHeadKind = 3;
constexpr int kPushShortQuoteKind = 5;

struct PUSHCLOCKITEM {
  uint16_t zero;
  uint16_t minute;  // of the day, 0-1439
  uint8_t reserved[104];
  uint8_t mark;  // 0
  uint8_t reserved109[11];
};

struct PUSHQUOTEITEM {
  uint16_t market;
  uint16_t stock;         // below 10000; the code decides which instrument it is
  uint8_t prices[24];     // REALQUOTE bytes 38-61: high, low, last, volume, amount, last volume
  uint8_t book[80];       // REALQUOTE bytes 70-149: five bid levels, five ask levels
  char code[8];
  uint32_t barSettlement;  // REALQUOTE bytes 150-153
};

struct PUSHADVICEITEM {
  uint16_t market;  // its low byte
  uint16_t stock;   // kAdviceStockBase + stock index
  uint8_t reserved4[2];
  ADVICEREC record;
  uint8_t reserved114[6];
};

struct PUSHNEWSITEM {
  uint8_t kind;  // M + kPushNewsKind
  uint8_t type;
  uint32_t id;
  uint32_t dateTime;  // as NEWSREC keeps it
  char title[110];
};

struct PUSHPRICEHEADITEM {
  uint8_t kind;  // M + kPushPriceHeadKind
  uint8_t reserved1;
  uint16_t market;
  uint8_t head[32];  // REALQUOTE bytes 0-31: previous close ... limit down
  char code[8];
  uint8_t reserved44[76];
};

struct PUSHSHORTQUOTEITEM {
  uint8_t kind;  // M + kPushShortQuoteKind
  uint8_t reserved1;
  uint16_t market;
  uint8_t reserved4[2];
  uint8_t prices[24];  // REALQUOTE bytes 38-61
  uint8_t reserved30[6];
  uint16_t counters[3];  // REALQUOTE uint16 at 32, 34, 36
  uint8_t reserved42[14];
  char code[8];
  uint8_t reserved64[56];
};

#pragma pack(pop)

static_assert(sizeof(MFEVENTSLOT) == 8);
static_assert(sizeof(PUSHLOGINBODY) == 86);
static_assert(offsetof(PUSHLOGINBODY, session) == 2 && offsetof(PUSHLOGINBODY, user) == 6);
static_assert(sizeof(SUBSCRIBEBODY) == 774);
static_assert(offsetof(SUBSCRIBEBODY, count) == 768 && offsetof(SUBSCRIBEBODY, flag) == 772);
static_assert(sizeof(PUSHCLOCKITEM) == kPushItemSize && offsetof(PUSHCLOCKITEM, mark) == 108);
static_assert(sizeof(PUSHQUOTEITEM) == kPushItemSize);
static_assert(offsetof(PUSHQUOTEITEM, prices) == 4 && offsetof(PUSHQUOTEITEM, book) == 28);
static_assert(offsetof(PUSHQUOTEITEM, code) == 108 && offsetof(PUSHQUOTEITEM, barSettlement) == 116);
static_assert(sizeof(PUSHADVICEITEM) == kPushItemSize && offsetof(PUSHADVICEITEM, record) == 6);
static_assert(sizeof(PUSHNEWSITEM) == kPushItemSize && offsetof(PUSHNEWSITEM, title) == 10);
static_assert(sizeof(PUSHPRICEHEADITEM) == kPushItemSize);
static_assert(offsetof(PUSHPRICEHEADITEM, head) == 4 && offsetof(PUSHPRICEHEADITEM, code) == 36);
static_assert(sizeof(PUSHSHORTQUOTEITEM) == kPushItemSize);
static_assert(offsetof(PUSHSHORTQUOTEITEM, prices) == 6 && offsetof(PUSHSHORTQUOTEITEM, counters) == 36);
static_assert(offsetof(PUSHSHORTQUOTEITEM, code) == 56);

// The server's session message (command 52): [0] uint32 session value,
// [20] NUL-terminated text; the rest is not read.
constexpr int kSessionMessageSize = 148;
constexpr int kSessionMessageText = 20;
constexpr uint16_t kDefaultPushPort = 13153;

// What the push side keeps for the whole process.
struct TPushState {
  static constexpr int kEventSlots = 1024;
  enum : int32_t { kModeUnknown = 0, kModeLzw = 1, kModeZlib = 2 };

  // The decoder that last decoded a body, tried first for the next one.
  int32_t compressionMode;
  // Set by a clock item after 23:00; the next one before 1:00 then starts
  // the next day.
  int32_t clockRollOver;
  // Tick of the last clock item; 0 before the first.
  DWORD lastClockTick;
  // The ring of event slots: a slot stays valid for the 1023 events after
  // its own.
  MFEVENTSLOT slots[kEventSlots];
  uint32_t nextSlot;
  // "..\CFG\NEWSTYPE.INI" [OEMNEWS] OemOnly and PopOem, read once.
  int32_t newsOptionsRead;
  int32_t oemOnly;
  int32_t popOem;
  // Whether the command line holds "/latency", tested once.
  int32_t latencyTested;
  int32_t latencyLog;
};
extern TPushState PushState;
// Back to the state before the first push client ran (the shared UTC clock
// is left alone).
void ResetPushState();

// On a trade: the instrument's recent prices move one place older and the
// quote before the trade becomes the newest (its last price where it had
// no bid or ask).
void ShiftPriceHistory(PRICEHIST &history, const REALQUOTE &before);

// What the push client needs of the program around it besides the main
// window of QuoteClientHooks(). The main window fills these in.
struct TPushClientHooks {
  // Queues the real-time message request (kind 24) with this value on the
  // request client; null while there is no request client.
  std::function<void(uint32_t value)> requestRealtimeMessage;
  // True while the main window shows its modal information box.
  std::function<bool()> modalBoxShown;
};
TPushClientHooks &PushClientHooks();

class TRealDataClnt : public ESock {
 public:
  // Closed, nothing subscribed; reads "..\cfg\setting.ini" [Log] Code, the
  // instrument whose quotes are logged.
  TRealDataClnt();
  // Runs OnClose (which tells the main window when the socket was open).
  ~TRealDataClnt() override;

  // Connects and sends the login with the session value of the last login
  // grant and the user name (a 16-byte field, NUL-terminated only when
  // shorter). No answer is awaited: 1 when the server took the login and
  // the socket reports through the socket window, 0 with the socket closed
  // (Text() says why when the proxy or relay failed). Nothing is posted.
  int ConnectAndLogin(const char *user);
  // Queues the keep-alive and offers the send buffer to the socket: 1, also
  // when the socket would block; 0 after closing (full buffer, socket
  // failure, or not connected).
  int SendKeepAlive();
  // Sends the instruments to push: the first 256 entries of the list, the
  // caller's value and flag (any non-zero flag goes out as 1). The client
  // takes the list over and keeps it as its subscription; a null list
  // subscribes to nothing. 0 sent or queued, -1 after closing; a list that
  // could not even be queued (not connected, no room) is freed at once.
  int Subscribe(EArray<STKMS> *list, uint16_t value, int flag);

  // The reading chain. MakeFrame takes every whole frame the receive buffer
  // holds; MakeData decodes one frame's body and dispatches it;
  // DispatchPush handles a plain body. A false or negative result is a
  // protocol error, after which the connection closes.
  bool MakeFrame();
  int MakeData(const FRAMEHEAD &head, const uint8_t *body);
  // Command 8: every whole item in order (bytes after the last whole item
  // are left), and the length; command 52: -1 when it ended this session
  // (after posting it), else 0; any other command is ignored (0). A session
  // message shorter than 148 bytes is refused (-1).
  int DispatchPush(int command, const uint8_t *body, int length);
  // Bytes handed over as if received: the path OnReceive takes after every
  // receive. False when they made the connection close (on a client that
  // is not connected the receive buffer is simply emptied then).
  bool TakeReceived(const void *bytes, int count);

  void OnReceive(int error) override;
  void OnSend(int error) override;
  void OnClose(int error) override;

  // The tick of the last login, send or receive: the main window sends a
  // keep-alive when 10 s have passed since it.
  DWORD LastActivity() const { return m_lastActivity; }
  // 1 while the server marks its frames as sent over a slow network.
  int32_t SlowNetwork() const { return m_slowNetwork; }
  // The list last sent, null before the first subscription.
  const EArray<STKMS> *Subscription() const { return m_subscription; }
  // Why the last connect failed (GBK).
  const char *Text() const { return m_text; }
  int QueuedBytes() const { return m_sendCount; }

 private:
  void SetText(const char *text);
  // Closes the socket and empties both buffers without telling anyone.
  void Shut();
  bool Flush();
  void Rearm();
  // Runs the receive path on count bytes just placed in the buffer.
  bool Received(int count);
  void NoteFrameMark(uint8_t mark);
  void CheckSlowNetwork();
  bool Decode(const FRAMEHEAD &head, const uint8_t *body, const uint8_t **plain, int *length);
  void DispatchItem(const uint8_t *item, int marketCount);
  void ApplyClock(int minute);
  void ApplyQuote(const uint8_t *item);
  void ApplyShortQuote(const uint8_t *item);
  void ApplyPriceHead(const uint8_t *item);
  void ApplyAdvice(const uint8_t *item);
  void ApplyNews(const uint8_t *item);
  void LogQuote(const PUSHQUOTEITEM &item);
  void LogLatency(const PUSHQUOTEITEM &item);
  void SendEvent(WPARAM kind, uint32_t stock, uint32_t flags);

  char m_logCode[8] = {};
  FrameAssembler m_frames{FrameLink::kPush};
  uint8_t m_send[kSendBufferSize];
  int32_t m_sendCount = 0;
  uint8_t m_decoded[kDecodeBufferSize];
  LCompressLite *m_decoder = nullptr;
  DWORD m_lastNotice = 0;
  DWORD m_lastActivity = 0;
  int32_t m_slowNetwork = 0;
  int32_t m_armed = 0;
  EArray<STKMS> *m_subscription = nullptr;
  char m_text[TNormalClnt::kTextSize] = {};
};
