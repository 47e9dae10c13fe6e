// One broker session of the plug-in: what the login learned, the request
// slot through which the exports hand work to the request worker, the
// events and locks, the result pool and the two threads. The exports work
// on the current session; a session whose threads did not end at the logout
// is left to them, whole, and goes when they end.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "core/earray.h"
#include "core/emap.h"
#include "platform/kernel.h"
#include "platform/windef.h"
#include "plugin/brokerlib.h"
#include "plugin/brokerstr.h"
#include "plugin/records.h"
#include "plugin/resultpool.h"

namespace tb {

enum RequestKind : int32_t {
  TR_EXIT = -1,
  TR_SETTLEMENT_INFO = 1,
  TR_SETTLEMENT_CONFIRM = 2,
  TR_CONTRACTS = 3,
  TR_MAX_ORDER_VOLUME = 4,
  TR_ORDER_INSERT = 5,
  TR_ORDER_ACTION = 6,
  TR_TRADING_ACCOUNT = 7,
  TR_POSITIONS = 8,
  TR_TRADES = 9,
  TR_ORDERS = 10,
  TR_CHANGE_PASSWORD = 11,
  TR_MONEY_HISTORY = 12,
  TR_TRADE_STATISTICS = 13,
  TR_SINGLE_POSITION = 14,
  TR_QUOTE = 15,
  TR_BANKS = 16,
  TR_BANK_BALANCE = 17,
  TR_BANK_TRANSFERS = 18,
  TR_BANK_TO_FUTURE = 19,
  TR_FUTURE_TO_BANK = 20,
  TR_CFMMC = 21,
  TR_MARGIN_RATE = 22,
};
constexpr int kRequestKinds = 23;

// The arguments an export hands to the worker. Written only by an export
// that holds the token, read only by the worker.
struct RequestSlot {
  char text[4][64];
  int32_t small[3];
  int32_t volume;
  double price;
  int32_t result;
  char errorText[kErrorTextSize];
  char orderRef[13];  // the new order's reference, for OrderInsert
  CKivoOrderField order;
};

// The exchange table as a whole: the entries the contract query fills and
// the close-today exchange.
struct ExchangeTable {
  ExchangeEntry entries[kExchangeCount];
  char closeToday[8];
};

// The session's exchange table. The worker rewrites it, the push receiver
// marks exchange status in it and the exports read it from the terminal's
// thread, so it is only ever touched under its own lock, and a rewrite puts
// a whole table in place at once: a reader sees the table before or after,
// never one half built. The lock is held for copies only (no call out of
// here runs under it), so it can't close a circle with the other locks.
class ExchangeBook {
 public:
  // A copy of the whole table.
  ExchangeTable Get() const;
  // Puts a new table in place of the old one.
  void Put(const ExchangeTable &table);
  // FindExchangeSeat on the table.
  void Seat(const char *exchange, char hedge, char code[8], char seat[16]) const;
  // Marks the status of the exchange whose speculation trading code is code
  // and copies its entry to *entry; its index, or -1 when no exchange has
  // the code.
  int MarkStatus(const char *code, int status, ExchangeEntry *entry);

 private:
  mutable std::mutex lock_;
  ExchangeTable table_{};
};

// Counts of an order the push receiver follows.
struct OrderCounts {
  int32_t volume;
  int32_t traded;
  int32_t cancelled;
};

struct Session {
  Session();
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  // False when an event or the pool could not be created.
  bool Ok() const { return readyEvent && requestEvent && stopEvent && pool; }

  // Where results go.
  HWND window = nullptr;
  UINT message = 0;
  char account[16] = {};
  char password[41] = {};
  char holderName[32] = {};
  char tradeDate[16] = {};
  char adapter[16] = {};
  char clientTag[10] = {};
  ExchangeBook exchanges;
  char dataFolder[260] = {};
  char accountFolder[260] = {};

  BrokerApi broker{};
  std::shared_ptr<ResultPool> pool;

  // The token (auto-reset, signalled while no request runs), the worker's
  // wake-up and the push receiver's stop.
  HANDLE readyEvent = nullptr;
  HANDLE requestEvent = nullptr;
  HANDLE stopEvent = nullptr;
  // Held by the worker around each request and by the push receiver around
  // its own request line, so the two never send at once.
  CRITICAL_SECTION workerLock;
  // Guards the order map.
  CRITICAL_SECTION orderMapLock;
  // Keyed by the order number, the whole value of the order reference.
  EMap<uint64_t, OrderCounts *> orderMap;
  EArray<uint64_t> orderKeys{128};

  std::atomic<int32_t> kind{0};
  RequestSlot slot{};

  HANDLE worker = nullptr;
  HANDLE push = nullptr;
  // Cleared by the logout: posts of a session that ended go nowhere.
  std::atomic<bool> live{false};

  RequestHead Head() const { return RequestHead{adapter, clientTag, account, password}; }

  // A zeroed result block; null (and "2|内存不足" in the log) when none.
  void *AllocBlock();
  // Posts code | flags with lParam; false when the session ended or the
  // window is gone (a block is then taken back).
  bool PostValue(uint32_t code, LPARAM value);
  bool PostBlock(uint32_t code, void *block);
  // A text block with TN_TEXT_FLAG (lParam 0 when no block can be had).
  void PostText(uint32_t code, const char *text);
  // Lets the next request in.
  void SignalReady() { SetEvent(readyEvent); }

  // The order map, under orderMapLock.
  OrderCounts *FindOrder(uint64_t number);
  // Adds an order unless known; null when no block could be had for it.
  OrderCounts *AddOrder(uint64_t number, const OrderCounts &counts);
  // Returns every entry to the pool and empties the map.
  void ClearOrders();
};

// The current session, or null when none is open.
std::shared_ptr<Session> CurrentSession();

// A request routine, run by the worker under the worker lock. It signals
// the token exactly once, before its last post and on every failure path.
using RequestRoutine = void (*)(Session &);
// Puts a routine in place of the plug-in's own for a request kind (tests);
// null puts the plug-in's own back. A kind without one only signals the
// token.
void SetRequestRoutine(int kind, RequestRoutine routine);
RequestRoutine GetRequestRoutine(int kind);

// What the push receiver does with one pushed record; null puts the
// plug-in's own handling back.
using PushRecordHandler = void (*)(Session &, char *text, int length);
void SetPushRecordHandler(PushRecordHandler handler);

// A new session, not yet current: fresh events (the token taken), locks,
// order map and result pool. Null when any of them could not be had.
std::shared_ptr<Session> CreateSession();
// Starts the request worker and the push receiver, makes the session
// current, signals the token. False when a thread could not be started
// (nothing is left running).
bool StartSession(const std::shared_ptr<Session> &session);
// The logout: ends the current session (or the given one that never became
// current). The threads are stopped and joined, then the broker library is
// closed, stopped and cleaned up. A thread that has not ended after the
// wait is reported and left running with its session intact, and the
// library is left alone while that thread may be inside it.
void EndSession(std::shared_ptr<Session> session = nullptr);
// True when no thread a logout left behind is still running. The library
// teardown of sessions whose threads have ended since is done here. A login
// must not start the library again before this holds.
bool OldSessionsEnded();

// How long the logout waits for the threads.
constexpr DWORD kThreadStopWaitMs = 10000;

// Sends one line through the broker library and checks a first answer.
// Returns 0 on success; otherwise the library's code (its text from
// KSI_GetErrorMessage_B2C), the broker's code (-1 when it reads 0) or -1
// for a line that was refused unsent, with the text in errorText. The
// short copy and the answer are logged under logCode (0: not logged).
int SendRequest(Session &session, RequestLine &line, int logCode, char *answer,
                char errorText[kErrorTextSize]);
// A request with a multi-packet answer: sends the line, reads the packet
// count (field 4 of the first answer) and asks for that many continuation
// packets, handing each record to onRecord with a reader at field 3. A
// continuation that fails ends the list as a failure (its text in
// errorText), never as a complete list. Returns 0 when every packet came.
int SendListRequest(Session &session, RequestLine &line, int logCode,
                    const std::function<void(AnswerReader &record)> &onRecord,
                    char errorText[kErrorTextSize], int *packetCount = nullptr);

// The posted busy text and log line of a refused export (code "1" to "D").
void PostBusy(Session &session, uint32_t notifyCode, const char *busyCode, bool log = true);

}  // namespace tb
