#include "plugin/session.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/eautolock.h"
#include "platform/debugout.h"
#include "platform/handles.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "plugin/requests.h"
#include "plugin/tradelog.h"

namespace tb {

namespace {

// A bad packet count must not keep the worker asking forever.
constexpr int kMaxPackets = 100000;
constexpr size_t kPushBufferSize = 16384;
constexpr DWORD kPushIdleMs = 50;

std::mutex g_currentLock;
std::shared_ptr<Session> g_current;

// A session whose threads did not end at its logout: the threads still
// running in the broker library, and the library's entry points for its
// teardown, which waits until they have ended.
struct LeftBehind {
  BrokerApi broker;
  std::vector<HANDLE> threads;
};
std::mutex g_leftLock;
std::vector<LeftBehind> g_left;

bool Running(HANDLE thread) {
  DWORD code = 0;
  return GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
}

void CloseBrokerLibrary(const BrokerApi &broker) {
  if (broker.Close) broker.Close();
  if (broker.Stop) broker.Stop();
  if (broker.CleanUp) broker.CleanUp();
}

std::atomic<RequestRoutine> g_routines[kRequestKinds];
std::atomic<PushRecordHandler> g_pushHandler{nullptr};

void CopyText(char *out, size_t width, const char *text) {
  snprintf(out, width, "%s", text ? text : "");
}

void LogFailure(int logCode, int code, const char *text) {
  if (!logCode) return;
  char line[kErrorTextSize + 32];
  snprintf(line, sizeof line, "A|%i|%s|", code, text);
  LogText(logCode, line);
}

// A call the broker library failed: its text for the code, logged; the code.
int LibraryFailure(Session &session, int logCode, int result, char errorText[kErrorTextSize]) {
  if (session.broker.GetErrorMessage) session.broker.GetErrorMessage(result, errorText, int(kErrorTextSize));
  errorText[kErrorTextSize - 1] = '\0';
  LogFailure(logCode, result, errorText);
  return result;
}

DWORD RequestWorkerProc(LPVOID argument) {
  std::unique_ptr<std::shared_ptr<Session>> hold(static_cast<std::shared_ptr<Session> *>(argument));
  Session &session = **hold;
  for (;;) {
    WaitForSingleObject(session.requestEvent, INFINITE);
    const int32_t kind = session.kind.load();
    if (kind == TR_EXIT) return 0;
    {
      EAutoLock lock(&session.workerLock);
      RequestRoutine routine = GetRequestRoutine(kind);
      if (routine)
        routine(session);
      else
        session.SignalReady();
    }
    // A logout that came while the request ran (and gave up waiting for it)
    // has set the exit already.
    if (session.kind.load() == TR_EXIT) return 0;
  }
}

// Connection states of the broker library: 3 to 5 connected, 6 broken (the
// library reconnects), anything else lost.
enum LinkState { kConnected, kBroken, kLost };

LinkState LinkStateOf(int status) {
  if (status >= 3 && status <= 5) return kConnected;
  return status == 6 ? kBroken : kLost;
}

DWORD PushReceiverProc(LPVOID argument) {
  std::unique_ptr<std::shared_ptr<Session>> hold(static_cast<std::shared_ptr<Session> *>(argument));
  Session &session = **hold;
  auto record = std::make_unique<char[]>(kPushBufferSize + 1);
  LinkState state = kConnected;
  for (;;) {
    // A steady stream of records must not keep the logout waiting.
    if (!session.stopEvent || WaitForSingleObject(session.stopEvent, 0) != WAIT_TIMEOUT) break;
    const int waiting = session.broker.CheckPushDataArrival ? session.broker.CheckPushDataArrival() : 0;
    bool received = false;
    for (int i = 0; i < waiting; ++i) {
      int length = int(kPushBufferSize);
      // A record the library announces but can't hand over is tried again
      // after the idle wait, not at once: the thread would spin.
      if (!session.broker.ReceivePushData || session.broker.ReceivePushData(record.get(), &length) != 0) break;
      received = true;
      if (length < 0 || length > int(kPushBufferSize)) length = int(kPushBufferSize);
      record[size_t(length)] = '\0';
      PushRecordHandler handler = g_pushHandler.load();
      (handler ? handler : HandlePushRecord)(session, record.get(), length);
    }
    if (received) continue;
    const DWORD wait = session.stopEvent ? WaitForSingleObject(session.stopEvent, kPushIdleMs) : WAIT_FAILED;
    if (wait != WAIT_TIMEOUT) break;
    const LinkState now = LinkStateOf(session.broker.GetConnectionStatus ? session.broker.GetConnectionStatus() : 0);
    // Broken and lost are both "not connected": a change between them is
    // not reported.
    if (now == state || (now != kConnected && state != kConnected)) continue;
    state = now;
    const LPARAM value = now == kConnected ? 1 : now == kBroken ? -1 : -2;
    LogText(kLogConnection, now == kConnected ? "0|1" : now == kBroken ? "0|0" : "0|2");
    session.PostValue(TN_CONNECTION_STATE, value);
  }
  EAutoLock lock(&session.orderMapLock);
  session.ClearOrders();
  return 0;
}

HANDLE StartThread(LPTHREAD_START_ROUTINE proc, const std::shared_ptr<Session> &session) {
  auto *argument = new std::shared_ptr<Session>(session);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, proc, argument, 0, &id);
  if (!thread) delete argument;
  return thread;
}

}  // namespace

ExchangeTable ExchangeBook::Get() const {
  std::lock_guard guard(lock_);
  return table_;
}

void ExchangeBook::Put(const ExchangeTable &table) {
  std::lock_guard guard(lock_);
  table_ = table;
}

void ExchangeBook::Seat(const char *exchange, char hedge, char code[8], char seat[16]) const {
  std::lock_guard guard(lock_);
  FindExchangeSeat(table_.entries, kExchangeCount, exchange, hedge, code, seat);
}

int ExchangeBook::MarkStatus(const char *code, int status, ExchangeEntry *entry) {
  std::lock_guard guard(lock_);
  for (int index = 0; index < kExchangeCount && table_.entries[index].exchange[0]; ++index) {
    ExchangeEntry &found = table_.entries[index];
    if (strcasecmp(found.tradingCode[0], code) != 0) continue;
    found.status = status;
    if (entry) *entry = found;
    return index;
  }
  return -1;
}

Session::Session() {
  InitializeCriticalSection(&workerLock);
  InitializeCriticalSection(&orderMapLock);
  // The first size of the map's prime table from 2400 on.
  orderMap.InitHashTable(2411, false);
}

Session::~Session() {
  ClearOrders();
  RetireResultPool(std::move(pool));
  for (HANDLE event : {readyEvent, requestEvent, stopEvent})
    if (event) CloseHandle(event);
  DeleteCriticalSection(&workerLock);
  DeleteCriticalSection(&orderMapLock);
}

void *Session::AllocBlock() {
  void *block = pool ? pool->Alloc() : nullptr;
  if (!block) LogText(kLogFreeText, "2|内存不足");
  return block;
}

bool Session::PostValue(uint32_t code, LPARAM value) {
  if (!live.load() || !window) return false;
  return PostMessageA(window, message, WPARAM(code), value) != FALSE;
}

bool Session::PostBlock(uint32_t code, void *block) {
  if (PostValue(code, reinterpret_cast<LPARAM>(block))) return true;
  if (block) pool->Free(block);
  return false;
}

void Session::PostText(uint32_t code, const char *text) {
  char *block = static_cast<char *>(AllocBlock());
  if (block) CopyText(block, kResultBlockSize, text);
  PostBlock(code | TN_TEXT_FLAG, block);
}

OrderCounts *Session::FindOrder(uint64_t number) {
  OrderCounts *counts = nullptr;
  return orderMap.Lookup(number, counts) ? counts : nullptr;
}

OrderCounts *Session::AddOrder(uint64_t number, const OrderCounts &counts) {
  if (OrderCounts *known = FindOrder(number)) return known;
  auto *entry = static_cast<OrderCounts *>(AllocBlock());
  if (!entry) return nullptr;
  if (orderKeys.Add(number) < 0) {
    pool->Free(entry);
    return nullptr;
  }
  *entry = counts;
  orderMap[number] = entry;
  if (!FindOrder(number)) {  // the map could not grow
    orderKeys.RemoveAt(orderKeys.GetCount() - 1, 1);
    pool->Free(entry);
    return nullptr;
  }
  return entry;
}

void Session::ClearOrders() {
  for (int32_t i = 0; i < orderKeys.GetCount(); ++i)
    if (OrderCounts *entry = FindOrder(orderKeys.GetData()[i])) pool->Free(entry);
  orderKeys.RemoveAll();
  orderMap.RemoveAll();
}

std::shared_ptr<Session> CurrentSession() {
  std::lock_guard guard(g_currentLock);
  return g_current;
}

void SetRequestRoutine(int kind, RequestRoutine routine) {
  if (kind > 0 && kind < kRequestKinds) g_routines[kind].store(routine);
}

RequestRoutine GetRequestRoutine(int kind) {
  if (kind <= 0 || kind >= kRequestKinds) return nullptr;
  RequestRoutine routine = g_routines[kind].load();
  return routine ? routine : DefaultRequestRoutine(kind);
}

void SetPushRecordHandler(PushRecordHandler handler) { g_pushHandler.store(handler); }

std::shared_ptr<Session> CreateSession() {
  auto session = std::make_shared<Session>();
  session->readyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  session->requestEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  session->stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  session->pool = CreateResultPool();
  if (!session->pool) {
    MessageBoxA(nullptr, "Not Enough Memory ( EBP 1 ).  ", "Fatal Error", MB_OK | MB_ICONERROR | MB_TOPMOST);
    PostQuitMessage(0);
  }
  return session->Ok() ? session : nullptr;
}

bool StartSession(const std::shared_ptr<Session> &session) {
  if (!session || !session->Ok()) return false;
  session->live.store(true);
  session->worker = StartThread(RequestWorkerProc, session);
  if (session->worker) session->push = StartThread(PushReceiverProc, session);
  if (!session->worker || !session->push) {
    EndSession(session);
    return false;
  }
  {
    std::lock_guard guard(g_currentLock);
    g_current = session;
  }
  session->SignalReady();
  return true;
}

void EndSession(std::shared_ptr<Session> session) {
  {
    std::lock_guard guard(g_currentLock);
    if (!session || session == g_current) {
      if (!session) session = g_current;
      g_current.reset();
    }
  }
  if (!session) return;
  LogText(kLogFreeText, "0|退出交易");
  session->kind.store(TR_EXIT);
  SetEvent(session->requestEvent);
  SetEvent(session->stopEvent);

  HANDLE threads[2];
  DWORD count = 0;
  for (HANDLE thread : {session->worker, session->push})
    if (thread) threads[count++] = thread;
  bool ended = true;
  LeftBehind left{session->broker, {}};
  if (count > 0 && WaitForMultipleObjects(count, threads, TRUE, kThreadStopWaitMs) != WAIT_OBJECT_0) {
    // A thread stuck in the broker library can't be ended safely: it is left
    // to finish on its own, and the session it uses (pool, order map,
    // events) stays whole until it does; its late results go nowhere.
    for (DWORD i = 0; i < count; ++i) {
      if (!Running(threads[i])) continue;
      ended = false;
      left.threads.push_back(threads[i]);
      threads[i] = nullptr;
      const char *which = left.threads.back() == session->worker ? "请求" : "推送";
      char line[96];
      snprintf(line, sizeof line, "2|%s线程未能在%u秒内结束", which, unsigned(kThreadStopWaitMs / 1000));
      LogText(kLogFreeText, line);
      OutputDebugStringA(line + 2);
    }
  }
  session->live.store(false);
  for (DWORD i = 0; i < count; ++i)
    if (threads[i]) CloseHandle(threads[i]);
  session->worker = session->push = nullptr;

  // The library is not closed under a call still inside it: its teardown
  // waits until the threads left behind have ended (see OldSessionsEnded).
  if (ended) {
    CloseBrokerLibrary(session->broker);
  } else {
    std::lock_guard guard(g_leftLock);
    g_left.push_back(std::move(left));
  }
  // The pool goes once the terminal has returned its blocks and no thread
  // holds the session any more.
  RetireResultPool(session->pool);
  // A thread left running still needs its wake-ups.
  if (ended)
    for (HANDLE event : {session->readyEvent, session->requestEvent, session->stopEvent})
      if (event) ResetEvent(event);
}

bool OldSessionsEnded() {
  std::vector<BrokerApi> done;
  bool all = true;
  {
    std::lock_guard guard(g_leftLock);
    for (auto it = g_left.begin(); it != g_left.end();) {
      bool running = false;
      for (HANDLE thread : it->threads) running = running || Running(thread);
      if (running) {
        all = false;
        ++it;
        continue;
      }
      for (HANDLE thread : it->threads) CloseHandle(thread);
      done.push_back(it->broker);
      it = g_left.erase(it);
    }
  }
  for (const BrokerApi &broker : done) CloseBrokerLibrary(broker);
  return all;
}

int SendRequest(Session &session, RequestLine &line, int logCode, char *answer, char errorText[kErrorTextSize]) {
  errorText[0] = '\0';
  memset(answer, 0, kAnswerSize);
  if (!line.Ok()) {
    CopyText(errorText, kErrorTextSize, "请求数据过长，未发送。");
    LogFailure(logCode, -1, errorText);
    return -1;
  }
  if (logCode) LogText(logCode, line.LogCopy());
  // A thread the logout left behind must not talk to the library any more:
  // by now it may serve a new login, whose answers this line would take.
  if (!session.live.load()) {
    CopyText(errorText, kErrorTextSize, "交易已退出。");
    return -1;
  }
  if (!session.broker.SendToServer) {
    CopyText(errorText, kErrorTextSize, "交易接口未连接。");
    return -1;
  }
  const int result = session.broker.SendToServer(line.Line(), answer);
  answer[kAnswerSize - 1] = '\0';
  if (result != 0) return LibraryFailure(session, logCode, result, errorText);
  int code = 0;
  if (!AnswerSucceeded(answer, &code, errorText, kErrorTextSize)) {
    if (code == 0) code = -1;
    LogFailure(logCode, code, errorText);
    return code;
  }
  if (logCode) {
    AnswerReader rest(answer);
    rest.SkipTo(4);
    LogTextPair(logCode, "A|0||", rest.Rest());
  }
  return 0;
}

int SendListRequest(Session &session, RequestLine &line, int logCode,
                    const std::function<void(AnswerReader &record)> &onRecord, char errorText[kErrorTextSize],
                    int *packetCount) {
  if (packetCount) *packetCount = 0;
  char answer[kAnswerSize];
  int result = SendRequest(session, line, logCode, answer, errorText);
  if (result != 0) return result;
  AnswerReader first(answer);
  const int packets = first.AtInt(4);
  if (packets < 0 || packets > kMaxPackets) {
    CopyText(errorText, kErrorTextSize, "应答包数无效。");
    LogFailure(logCode, -1, errorText);
    return -1;
  }
  if (packetCount) *packetCount = packets;
  char next[kRequestLineSize];
  if (packets > 0 && !FormatContinuation(session.Head(), next, sizeof next)) {
    CopyText(errorText, kErrorTextSize, "请求数据过长，未发送。");
    LogFailure(logCode, -1, errorText);
    return -1;
  }
  for (int i = 0; i < packets; ++i) {
    if (!session.live.load()) {
      CopyText(errorText, kErrorTextSize, "交易已退出。");
      return -1;
    }
    memset(answer, 0, sizeof answer);
    result = session.broker.SendToServer(next, answer);
    answer[kAnswerSize - 1] = '\0';
    // What came so far is not the whole list: the caller reports the
    // failure instead of a complete list.
    if (result != 0) return LibraryFailure(session, logCode, result, errorText);
    AnswerReader record(answer);
    record.SkipTo(3);
    if (logCode) LogTextPair(logCode, "A|0||", record.Rest());
    onRecord(record);
  }
  if (logCode) LogText(logCode, "A|0||");
  return 0;
}

void PostBusy(Session &session, uint32_t notifyCode, const char *busyCode, bool log) {
  char text[96];
  if (log) {
    snprintf(text, sizeof text, "1|前次查询尚未完成P%s", busyCode);
    LogText(kLogFreeText, text);
  }
  snprintf(text, sizeof text, "前次查询尚未完成，请稍后重试（P%s）。", busyCode);
  session.PostText(notifyCode, text);
}

}  // namespace tb
