#include "market/reqqueue.h"

#include <strings.h>

#include <cstring>

#include "core/emem.h"
#include "market/answer.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "platform/clock.h"
#include "platform/winuser.h"

namespace {

struct RequestRing {
  REQUESTREC slots[kRequestRingSize];
  // Of a history slot: true when it was answered, false when it was given
  // up. Only answered requests keep a download from being asked again.
  bool answered[kRequestRingSize];
  uint8_t historyStart;
  uint8_t head;     // oldest in flight
  uint8_t next;     // next to send
  uint8_t tail;     // first free
  int32_t count;    // in flight and queued
  int32_t history;  // answered or given up, before head
};

RequestRing ring;
TNormalClnt *client = nullptr;

int InFlight() { return uint8_t(ring.next - ring.head); }
int Queued() { return ring.count - InFlight(); }

void ReleaseCodes(REQUESTREC &r) {
  delete[] r.codes;
  r.codes = nullptr;
}

// The head leaves the flight: into the history, answered or not.
void RetireHead(bool answered, DWORD tick) {
  REQUESTREC &r = ring.slots[ring.head];
  ReleaseCodes(r);
  r.tick = tick;
  ring.answered[ring.head] = answered;
  ++ring.head;
  --ring.count;
  ++ring.history;
}

bool SameCode(const char (&a)[12], const char (&b)[12]) { return strncasecmp(a, b, sizeof a) == 0; }

bool SameCode(const REQUESTREC &r, const char *code) {
  return code != nullptr && strncasecmp(r.code, code, sizeof r.code) == 0;
}

// Kinds 6 and 7 are one kind: bars of a base.
int KindGroup(int kind) { return kind == REQ_DAY_BARS ? REQ_MINUTE_BARS : kind; }

// The base a bar request asks for; day bars always go out as base 8.
int BarBase(const REQUESTREC &r) { return r.kind == REQ_DAY_BARS ? 8 : r.sub; }

// Whether a kind takes part in the duplicate rules, and whether two
// requests of it ask for the same thing.
bool HasIdentity(int kind) {
  switch (kind) {
    case REQ_MINUTE_BARS:
    case REQ_DAY_BARS:
    case REQ_MINUTE_TREND:
    case REQ_TICKS:
    case REQ_RECENT_TRADES:
    case REQ_WEIGHTS:
    case REQ_ADVICE:
    case REQ_TREND_HISTORY:
    case REQ_BASE_INDEX:
    case REQ_BASE_TEXT: return true;
    default: return false;
  }
}

bool Identical(const REQUESTREC &a, const REQUESTREC &b) {
  if (KindGroup(a.kind) != KindGroup(b.kind) || a.market != b.market || !SameCode(a.code, b.code)) return false;
  switch (a.kind) {
    case REQ_MINUTE_BARS:
    case REQ_DAY_BARS: return BarBase(a) == BarBase(b);
    case REQ_TREND_HISTORY:
    case REQ_BASE_INDEX: return a.value1 == b.value1;
    case REQ_BASE_TEXT: return a.sub == b.sub && a.value1 == b.value1 && a.value2 == b.value2;
    default: return true;
  }
}

bool IsNewsList(const REQUESTREC &r) { return r.kind == REQ_NEWS && r.sub == 0; }

bool Queueable(int kind) {
  switch (kind) {
    case REQ_CODE_TABLE:
    case REQ_MINUTE_BARS:
    case REQ_DAY_BARS:
    case REQ_BASE_TEXT_FILE:
    case REQ_NEWS:
    case REQ_MINUTE_TREND:
    case REQ_RECENT_TRADES:
    case REQ_WEIGHTS:
    case REQ_TICKS:
    case REQ_BROKER_QUEUE:
    case REQ_SYSTEM_MESSAGE:
    case REQ_REALTIME_MESSAGE:
    case REQ_SORT_DATA:
    case REQ_NOTES_LIST:
    case REQ_NOTE:
    case REQ_CHANGE_PASSWORD:
    case REQ_ADVICE:
    case REQ_TREND_HISTORY:
    case REQ_NAME_TABLE:
    case REQ_BASE_INDEX:
    case REQ_BASE_TEXT: return true;
    default: return false;
  }
}

// A request whose frame can never go out (an unknown sub-kind, a ranking of
// an unlisted sort kind, a code list too long for the send buffer) is
// refused here, so that it can't close the connection when its turn comes.
bool Sendable(const REQUESTREC &r) {
  static uint8_t frame[kMaxSentFrame];
  RequestInputs inputs;
  const int length = EncodeRequest(r, inputs, frame, sizeof frame);
  return length > 0 && length <= kSendBufferSize;
}

// Answered less than kRecentAnswerMs ago: scans the history from the most
// recent answer back and stops at the first one that is older.
bool AnsweredRecently(const REQUESTREC &r, DWORD now) {
  for (int i = 1; i <= ring.history; ++i) {
    const uint8_t at = uint8_t(ring.head - i);
    if (!ring.answered[at]) continue;
    if (TicksElapsed(ring.slots[at].tick, now, kRecentAnswerMs)) return false;
    if (Identical(ring.slots[at], r)) return true;
  }
  return false;
}

bool AnsweredInHistory(const REQUESTREC &r) {
  for (int i = 1; i <= ring.history; ++i) {
    const uint8_t at = uint8_t(ring.head - i);
    if (ring.answered[at] && Identical(ring.slots[at], r)) return true;
  }
  return false;
}

enum class Merge { kAppend, kDropped, kPlaced };

// The duplicate and replacement rules. The queued requests are examined from
// the newest to the oldest and the first one that matches decides; then the
// flight, then the history. A replacement takes over the queued entry in
// place and keeps its turn. Tag 0 means no asker and replaces nothing.
Merge MergeQueuedRequest(const REQUESTREC &r, DWORD now) {
  const bool identity = HasIdentity(r.kind);
  const bool newsList = IsNewsList(r);
  const bool ranking = r.kind == REQ_SORT_DATA;
  if (!identity && !newsList && !ranking) return Merge::kAppend;

  const int queued = Queued();
  for (int i = 1; i <= queued; ++i) {
    REQUESTREC &q = ring.slots[uint8_t(ring.tail - i)];
    if (identity) {
      if (Identical(q, r)) return Merge::kDropped;
      if (r.tag != 0 && q.tag == r.tag && KindGroup(q.kind) == KindGroup(r.kind)) {
        q = r;
        return Merge::kPlaced;
      }
    } else if (newsList) {
      if (IsNewsList(q)) {
        q = r;
        return Merge::kPlaced;
      }
    } else if (r.tag != 0 && q.kind == REQ_SORT_DATA && q.tag == r.tag) {
      ReleaseCodes(q);
      q = r;
      return Merge::kPlaced;
    }
  }
  if (ranking) return Merge::kAppend;

  const int flying = InFlight();
  for (int i = 0; i < flying; ++i) {
    const REQUESTREC &f = ring.slots[uint8_t(ring.head + i)];
    if (identity ? Identical(f, r) : IsNewsList(f)) return Merge::kDropped;
  }
  if ((r.kind == REQ_MINUTE_TREND || r.kind == REQ_TICKS) && AnsweredRecently(r, now)) return Merge::kDropped;
  if (r.kind == REQ_WEIGHTS && AnsweredInHistory(r)) return Merge::kDropped;
  return Merge::kAppend;
}

// Whether a request of this kind for the instrument is queued or in flight
// (or, with recent, answered less than kRecentAnswerMs ago).
bool Pending(int kind, const char *code, int market, int base, bool recent) {
  auto matches = [&](const REQUESTREC &r) {
    if (KindGroup(r.kind) != KindGroup(kind) || r.market != market || !SameCode(r, code)) return false;
    return base < 0 || BarBase(r) == base;
  };
  const int queued = Queued();
  for (int i = 1; i <= queued; ++i)
    if (matches(ring.slots[uint8_t(ring.tail - i)])) return true;
  const int flying = InFlight();
  for (int i = 0; i < flying; ++i)
    if (matches(ring.slots[uint8_t(ring.head + i)])) return true;
  if (!recent) return false;
  const DWORD now = GetTickCount();
  for (int i = 1; i <= ring.history; ++i) {
    const uint8_t at = uint8_t(ring.head - i);
    if (!ring.answered[at]) continue;
    if (TicksElapsed(ring.slots[at].tick, now, kRecentAnswerMs)) return false;
    if (matches(ring.slots[at])) return true;
  }
  return false;
}

template <class Match>
const REQUESTREC *FirstInFlight(Match match) {
  const int flying = InFlight();
  for (int i = 0; i < flying; ++i) {
    const REQUESTREC &r = ring.slots[uint8_t(ring.head + i)];
    if (match(r)) return &r;
  }
  return nullptr;
}

bool ClientUsable() { return client != nullptr && client->m_socket != INVALID_SOCKET; }

}  // namespace

void SetQueueClient(TNormalClnt *c) { client = c; }
TNormalClnt *QueueClient() { return client; }

int SendRequest(TNormalClnt &c, const REQUESTREC &request) {
  RequestInputs inputs;
  GatherRequestInputs(request, &inputs);
  uint8_t frame[kMaxSentFrame];
  const int length = EncodeRequest(request, inputs, frame, sizeof frame);
  if (length < 0) return -1;
  return c.SendFrame(frame, length);
}

void EnqueueRequest(const REQUESTREC &request) {
  REQUESTREC r = request;
  if (!Queueable(r.kind)) {
    ReleaseCodes(r);
    return;
  }
  const DWORD now = GetTickCount();
  while (InFlight() > 0 && TicksElapsed(ring.slots[ring.head].tick, now, kRequestTimeoutMs))
    RetireHead(false, ring.slots[ring.head].tick);
  if (ring.count >= kRequestRingSize || !Sendable(r)) {
    ReleaseCodes(r);
    return;
  }
  switch (MergeQueuedRequest(r, now)) {
    case Merge::kDropped: ReleaseCodes(r); break;
    case Merge::kPlaced: break;
    case Merge::kAppend:
      if (ring.count + ring.history >= kRequestRingSize) {
        // The oldest history entry is overwritten.
        ++ring.historyStart;
        --ring.history;
      }
      ring.slots[ring.tail] = r;
      ring.answered[ring.tail] = false;
      ++ring.tail;
      ++ring.count;
      break;
  }
  PumpRequests();
}

void PumpRequests() {
  while (InFlight() < kMaxRequestsInFlight && Queued() > 0) {
    REQUESTREC &r = ring.slots[ring.next];
    r.tick = GetTickCount();
    // Advanced first: a close handler that runs inside the send may come
    // back here, and must not send this entry again.
    ++ring.next;
    if (ClientUsable() && SendRequest(*client, r) < 0) client->OnClose(0);
    ReleaseCodes(r);
  }
}

int CompleteRequest(const FRAMEHEAD &head) {
  if (InFlight() == 0) {
    PumpRequests();
    return 0;
  }
  const REQUESTREC &r = ring.slots[ring.head];
  const int expected = AnswerCommand(r.kind);
  HWND main = QuoteClientHooks().mainWindow;
  if (head.command == FRAME_SERVER_TEXT) {
    if (IsNewsList(r) && NewsIndex != nullptr && NewsIndex->IsListLoading()) {
      NewsIndex->SetListLoading(false);
      if (main) PostMessageA(main, WM_STOCK_DATA, StockDataParam(FRAME_NEWS, 0), 0);
    } else if (r.kind == REQ_TREND_HISTORY && main) {
      const TMarketData *md = MarketAt(r.market);
      const int stock = md ? md->FindStockIndex(r.code) : -1;
      TRENDDAYNOTE note{STKPTR(r.market, 0, stock < 0 ? kNoStock : stock).Word(), r.value1};
      SendMessageA(main, WM_STOCK_DATA, StockDataParam(FRAME_TREND_HISTORY, 0), LPARAM(&note));
    }
  }
  int result = 0;
  // The send above may have run a nested loop that changed the flight.
  if (InFlight() > 0 && &ring.slots[ring.head] == &r &&
      (head.command == FRAME_SERVER_TEXT || head.command == expected)) {
    result = head.command == FRAME_NEWS && IsNewsList(r) && r.value2 == 0 && r.market == 0 ? 1 : 0;
    RetireHead(true, GetTickCount());
  }
  PumpRequests();
  return result;
}

void ResetRequestQueue() {
  const int live = ring.count;
  for (int i = 0; i < live; ++i) ReleaseCodes(ring.slots[uint8_t(ring.head + i)]);
  ring.historyStart = ring.head = ring.next = ring.tail = 0;
  ring.count = 0;
  ring.history = 0;
}

int IsTickRequestPending(const char *code, int market) { return Pending(REQ_TICKS, code, market, -1, true); }
int IsTrendRequestPending(const char *code, int market) { return Pending(REQ_MINUTE_TREND, code, market, -1, true); }
int IsRecentTradesRequestPending(const char *code, int market) {
  return Pending(REQ_RECENT_TRADES, code, market, -1, false);
}
int IsBarRequestPending(const char *code, int market, int base) {
  return Pending(REQ_MINUTE_BARS, code, market, base, false);
}

int FindPendingSortRequest(uint32_t *tag, uint32_t *value3) {
  const REQUESTREC *r = FirstInFlight([](const REQUESTREC &f) { return f.kind == REQ_SORT_DATA; });
  if (!r) return -1;
  if (tag) *tag = r->tag;
  if (value3) *value3 = r->value3;
  return r->market;
}

uint32_t FindPendingNewsId() {
  const REQUESTREC *r = FirstInFlight([](const REQUESTREC &f) { return f.kind == REQ_NEWS && f.sub == 2; });
  return r ? r->value1 : 0;
}

bool FindPendingNoteKey(char (&key)[16]) {
  std::memset(key, 0, sizeof key);
  const REQUESTREC *r = FirstInFlight([](const REQUESTREC &f) { return f.kind == REQ_NOTE; });
  if (!r) return false;
  std::memcpy(key, r->text, sizeof key - 1);
  return true;
}

const REQUESTREC *OldestRequestInFlight() { return InFlight() > 0 ? &ring.slots[ring.head] : nullptr; }
const REQUESTREC *GivenUpRequest(int i) {
  for (int back = 1; back <= ring.history; ++back) {
    const uint8_t at = uint8_t(ring.head - back);
    if (!ring.answered[at] && i-- == 0) return &ring.slots[at];
  }
  return nullptr;
}
int RequestsInFlight() { return InFlight(); }
int RequestsQueued() { return Queued(); }
