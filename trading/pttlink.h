// The local link with one outside trading program on the same machine,
// over UDP on 127.0.0.1. The outside program logs in, sends its positions,
// orders and quote subscriptions and may ask the terminal to show a
// contract; the terminal answers heartbeats, tells it the contract chosen
// in the order panel and sends it the quotes of the contracts it
// subscribed.
//
// TPttLinkCore is the link without a socket: it takes one datagram with its
// source and the tick count and returns what to send and what to post, so
// that tests drive it directly. The worker thread runs it over a socket;
// the senders below run on the GUI thread. The received tables live under
// the core's lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "market/marketrecords.h"
#include "platform/windef.h"

namespace pttlink {

constexpr uint16_t kDefaultPort = 13159;
constexpr int kMaxDatagram = 4096;
// A silent peer gets a heartbeat after this long, and is dropped after the
// second.
constexpr uint32_t kHeartbeatMs = 3000;
constexpr uint32_t kDropMs = 15000;
constexpr int kMaxSubscriptions = 64;

#pragma pack(push, 1)
// One position of the peer's table (the body of "POS|").
struct LinkPosition {
  uint16_t Count;  // records in the table being sent, 0 = empty table
  uint16_t Index;
  uint8_t Zero4[12];
  char InstrumentID[8];
  uint8_t Zero24[24];
  char Direction;  // '0' long, '1' short
  char Attribute;
  uint8_t Zero50[2];
  int32_t Volume;
  int32_t Price;  // average price x 1000
  int32_t ContractAttribute;
};
static_assert(sizeof(LinkPosition) == 64);
static_assert(offsetof(LinkPosition, InstrumentID) == 16 && offsetof(LinkPosition, Direction) == 48);
static_assert(offsetof(LinkPosition, Attribute) == 49 && offsetof(LinkPosition, Volume) == 52);
static_assert(offsetof(LinkPosition, Price) == 56 && offsetof(LinkPosition, ContractAttribute) == 60);

// One order of the peer's table (the body of "ODR|").
struct LinkOrder {
  uint16_t Count;
  uint16_t Index;
  char ExchangeID[8];
  uint8_t Zero12[4];
  char InstrumentID[8];
  uint8_t Zero24[24];
  int32_t OrderNumber;  // the table's sort key
  char Direction;       // '0' buy, '1' sell
  char OffsetFlag;
  uint8_t Zero54[2];
  int32_t Volume;
  int32_t Traded;
  int32_t Price;  // x 1000
};
static_assert(sizeof(LinkOrder) == 68);
static_assert(offsetof(LinkOrder, ExchangeID) == 4 && offsetof(LinkOrder, InstrumentID) == 16);
static_assert(offsetof(LinkOrder, OrderNumber) == 48 && offsetof(LinkOrder, Direction) == 52);
static_assert(offsetof(LinkOrder, OffsetFlag) == 53 && offsetof(LinkOrder, Volume) == 56);
static_assert(offsetof(LinkOrder, Traded) == 60 && offsetof(LinkOrder, Price) == 64);

// One record of the peer's subscription list: the contract code from byte
// 12; the rest is the peer's.
struct LinkSubscription {
  uint8_t Head[12];
  char Code[32];
};
static_assert(sizeof(LinkSubscription) == 44);
static_assert(offsetof(LinkSubscription, Code) == 12);

// The body of a peer's "COD|": the contract to show, its code from byte 12.
struct LinkPeerContract {
  uint8_t Head[12];
  char Code[50];
};
static_assert(sizeof(LinkPeerContract) == 62);
static_assert(offsetof(LinkPeerContract, Code) == 12);

// "COD|" as the terminal sends it: the order panel's contract.
struct LinkContract {
  char Verb[4];
  uint8_t Zero4[12];
  char Code[32];
  char SecondCode[8];
  uint8_t Byte56;
  uint8_t Byte57;
  int32_t Int58;
  int32_t Int62;
};
static_assert(sizeof(LinkContract) == 66);
static_assert(offsetof(LinkContract, Code) == 16 && offsetof(LinkContract, SecondCode) == 48);
static_assert(offsetof(LinkContract, Byte56) == 56 && offsetof(LinkContract, Int58) == 58);
static_assert(offsetof(LinkContract, Int62) == 62);

struct LinkQuoteLevel {
  uint32_t Price;
  int32_t Volume;
};
static_assert(sizeof(LinkQuoteLevel) == 8);

// "QTE|": one quote of a subscribed contract.
struct LinkQuote {
  char Verb[4];
  uint8_t One;    // 1
  uint8_t Three;  // 3
  uint8_t Zero6[2];
  char Code[36];
  uint32_t PrevClose;
  uint32_t RefPrice;
  uint32_t Open;
  uint32_t High;
  uint32_t Low;
  uint32_t Last;
  uint32_t LimitUp;
  uint32_t LimitDown;
  uint32_t BarSettlement;
  uint32_t BarSettlement2;
  int32_t Volume;
  int32_t Amount;
  int32_t PrevOpenInterest;
  uint8_t Zero96[8];
  LinkQuoteLevel Bid[5];
  LinkQuoteLevel Ask[5];
  int32_t End;  // -4096
};
static_assert(sizeof(LinkQuote) == 188);
static_assert(offsetof(LinkQuote, Code) == 8 && offsetof(LinkQuote, PrevClose) == 44);
static_assert(offsetof(LinkQuote, BarSettlement2) == 80 && offsetof(LinkQuote, Volume) == 84);
static_assert(offsetof(LinkQuote, PrevOpenInterest) == 92 && offsetof(LinkQuote, Bid) == 104);
static_assert(offsetof(LinkQuote, Ask) == 144 && offsetof(LinkQuote, End) == 184);
#pragma pack(pop)

// The quote datagram of an instrument's extended code and quote record.
LinkQuote BuildQuote(const char *code, const REALQUOTE &quote);
// The contract datagram.
LinkContract BuildContract(const char *code, const char *secondCode, uint8_t byte56, uint8_t byte57, int32_t int58,
                           int32_t int62);

class TPttLinkCore {
 public:
  // A datagram to 127.0.0.1 at port.
  struct Send {
    uint16_t port;
    std::vector<uint8_t> bytes;
  };
  // A WM_TRADE_VIEWS_UPDATE: wParam what; for 1 the contract's own copy,
  // handed to the main window with the post (PttLinkFreeContract frees it).
  struct Post {
    WPARAM what;
    std::unique_ptr<LinkPeerContract> record;
  };
  enum class Change { None, Linked, Dropped };
  struct Step {
    Change change = Change::None;
    std::vector<Send> sends;
    std::vector<Post> posts;
  };

  explicit TPttLinkCore(uint32_t ownId);
  ~TPttLinkCore();
  TPttLinkCore(const TPttLinkCore &) = delete;
  TPttLinkCore &operator=(const TPttLinkCore &) = delete;

  // One datagram from address:port (network order as received). Anything
  // not from 127.0.0.1 is ignored.
  Step Receive(const uint8_t *data, int length, uint32_t address, uint16_t port, uint32_t tick);
  // After every receive or receive time-out: the heartbeat and the drop.
  Step Pass(uint32_t tick);

  // 0 while no peer is linked. Read without the lock.
  uint16_t PeerPort() const { return peerPort_.load(std::memory_order_relaxed); }
  uint32_t PeerId() const { return peerId_.load(std::memory_order_relaxed); }
  uint32_t OwnId() const { return ownId_; }

  // Copies under the lock.
  int Subscriptions(LinkSubscription *out, int max) const;
  // The positions and orders of a contract (code, or the second code when
  // that is not empty; without regard to case); the counts copied.
  void TradeTables(const char *code, const char *secondCode, LinkPosition *positions, int maxPositions,
                   int *positionCount, LinkOrder *orders, int maxOrders, int *orderCount) const;
  // The visible counts, for tests and the chart bridge.
  int PositionCount() const;
  int OrderCount() const;
  // Forgets the peer and every table.
  void Clear();

 private:
  template <class Record>
  struct Table {
    std::unique_ptr<Record[]> records;
    int capacity = 0;
    int count = 0;  // visible records
  };
  template <class Record>
  bool Store(Table<Record> &table, const Record &record);
  void DropLocked(Step &step);
  static Send Verb(uint16_t port, const char *verb, const uint32_t *value);

  const uint32_t ownId_;
  std::atomic<uint16_t> peerPort_{0};
  std::atomic<uint32_t> peerId_{0};
  std::atomic<uint32_t> peerTick_{0};
  mutable std::mutex lock_;
  Table<LinkPosition> positions_;
  Table<LinkOrder> orders_;
  LinkSubscription subscriptions_[kMaxSubscriptions] = {};
  int subscriptionCount_ = 0;
};

}  // namespace pttlink

// ---- the running link ----

// The port of "..\cfg\setting.ini" [Parameter] Linkport.
uint16_t PttLinkPort();
// Stops a running link, then starts the worker on the port, posting to
// window; true when the thread started. port 0 reads the setting.
bool PttLinkStart(HWND window, uint16_t port = 0);
// Says "ERR|" to the peer, ends the worker (waiting up to 2000 ms; a
// worker that outlives the wait ends at its next receive time-out, on its
// own share of the state) and forgets the tables.
void PttLinkStop();
// The peer of the running link (0 none); the link's own port, once bound.
uint16_t PttLinkPeerPort();
uint16_t PttLinkBoundPort();
// "COD|" to the peer, when one is linked.
void PttLinkSendContract(const char *code, const char *secondCode, uint8_t byte56, uint8_t byte57, int32_t int58,
                         int32_t int62);
// "QTE|" to the peer, when one is linked and the instrument has an
// extended code through its market combo.
void PttLinkSendQuote(STKPTR stock, const REALQUOTE &quote);
// The subscription records, at most max; the count.
int PttLinkGetSubscriptions(pttlink::LinkSubscription *records, int max);
// The positions and orders of a contract, zero-filled past the copies.
void PttLinkGetTradeTables(const char *code, const char *secondCode, pttlink::LinkPosition *positions,
                           int maxPositions, pttlink::LinkOrder *orders, int maxOrders);
// Frees the contract record a wParam 1 post carried.
void PttLinkFreeContract(LPARAM record);
