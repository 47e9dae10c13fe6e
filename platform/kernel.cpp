#include "platform/kernel.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/internal/thread_context.h"

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

// ---------------------------------------------------------------------------
// Critical sections

void InitializeCriticalSection(CRITICAL_SECTION *cs) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&cs->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
}
void DeleteCriticalSection(CRITICAL_SECTION *cs) { pthread_mutex_destroy(&cs->mutex); }
void EnterCriticalSection(CRITICAL_SECTION *cs) { pthread_mutex_lock(&cs->mutex); }
void LeaveCriticalSection(CRITICAL_SECTION *cs) { pthread_mutex_unlock(&cs->mutex); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION *cs) { return pthread_mutex_trylock(&cs->mutex) == 0; }

// ---------------------------------------------------------------------------
// Thread contexts

namespace platform {

std::mutex &SyncLock() {
  static std::mutex *lock = new std::mutex;  // used until the last thread ends
  return *lock;
}

namespace {

std::atomic<DWORD> g_nextThreadId{1000};
std::atomic<DWORD> g_guiThreadId{0};

struct ContextRegistry {
  std::mutex lock;
  std::unordered_map<DWORD, std::weak_ptr<ThreadContext>> byId;
};
ContextRegistry &Registry() {
  static ContextRegistry *registry = new ContextRegistry;
  return *registry;
}

// Owns the context for the life of the thread; at exit every message still
// sent to the thread is answered with 0 so that no sender waits forever.
struct ContextHolder {
  std::shared_ptr<ThreadContext> context;
  ContextHolder() : context(std::make_shared<ThreadContext>()) {
    context->id = g_nextThreadId.fetch_add(1);
    auto &registry = Registry();
    std::lock_guard guard(registry.lock);
    registry.byId[context->id] = context;
  }
  ~ContextHolder() {
    {
      std::lock_guard guard(SyncLock());
      context->alive = false;
      context->kickEventLoop = nullptr;
      for (SentMessage *sent : context->incoming) {
        sent->done = true;
        if (sent->sender) sent->sender->wake.notify_all();
      }
      context->incoming.clear();
    }
    auto &registry = Registry();
    std::lock_guard guard(registry.lock);
    registry.byId.erase(context->id);
  }
};
thread_local ContextHolder t_context;

}  // namespace

ThreadContext &CurrentContext() { return *t_context.context; }

constinit thread_local DWORD t_contextId = 0;
DWORD FirstContextId() { return t_contextId = CurrentContext().id; }

std::shared_ptr<ThreadContext> ContextOf(DWORD threadId) {
  auto &registry = Registry();
  std::lock_guard guard(registry.lock);
  auto it = registry.byId.find(threadId);
  return it == registry.byId.end() ? nullptr : it->second.lock();
}

namespace {
std::atomic<SendServer> g_sendServer{nullptr};
}  // namespace

void SetSendServer(SendServer server) { g_sendServer.store(server); }

bool ServeSends() {
  SendServer server = g_sendServer.load();
  return server && server();
}

bool WaitUntilTick(std::unique_lock<std::mutex> &lock, ThreadContext &self, uint64_t deadlineMs) {
  uint64_t now = Clock().TickMs();
  if (now >= deadlineMs) return false;
  // On the real clock this is the time left; a clock that jumps wakes every
  // thread when it moves (ClockMoved), and the caller looks again.
  self.wake.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
  return true;
}

void ClockMoved() {
  std::vector<std::shared_ptr<ThreadContext>> all;
  {
    auto &registry = Registry();
    std::lock_guard guard(registry.lock);
    for (auto &[id, weak] : registry.byId)
      if (auto context = weak.lock()) all.push_back(std::move(context));
  }
  std::lock_guard guard(SyncLock());
  for (auto &context : all) WakeThreadLocked(*context);
}

void WakeThreadLocked(ThreadContext &target) {
  target.wake.notify_all();
  if (target.kickEventLoop) target.kickEventLoop();
}

bool IsGuiThread() { return g_guiThreadId.load() == CurrentContext().id; }

void MarkGuiThread() { g_guiThreadId.store(CurrentContext().id); }

DWORD GuiThreadId() { return g_guiThreadId.load(); }

}  // namespace platform

DWORD GetCurrentThreadId() { return platform::CurrentContext().id; }
DWORD GetCurrentProcessId() { return DWORD(getpid()); }

// ---------------------------------------------------------------------------
// Waitable objects

namespace platform {
namespace {

struct Waitable : KernelObject {
  std::vector<ThreadContext *> waiters;  // under SyncLock
  virtual bool SignaledLocked() const = 0;
  virtual void ConsumeLocked() {}
  void NotifyLocked() {
    for (ThreadContext *waiter : waiters) waiter->wake.notify_all();
  }
};

struct Event : Waitable {
  bool manualReset = false;
  bool signaled = false;
  bool SignaledLocked() const override { return signaled; }
  void ConsumeLocked() override {
    if (!manualReset) signaled = false;
  }
};

struct Thread : Waitable {
  std::thread worker;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  bool suspended = false;
  std::condition_variable resume;  // with SyncLock
  bool SignaledLocked() const override { return finished; }
  ~Thread() override {
    if (worker.joinable()) worker.detach();
  }
};

DWORD WaitForObjects(DWORD count, const HANDLE *handles, bool waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> objects(count);
  for (DWORD i = 0; i < count; ++i) {
    objects[i] = ReferenceHandleAs<Waitable>(handles[i]);
    if (!objects[i]) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
  }
  const bool forever = milliseconds == INFINITE;
  uint64_t source = ClockSourceChanges();
  uint64_t deadline = Clock().TickMs() + (forever ? 0 : milliseconds);
  ThreadContext &self = CurrentContext();

  std::unique_lock lock(SyncLock());
  for (auto &object : objects) object->waiters.push_back(&self);
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    if (waitAll) {
      bool all = true;
      for (auto &object : objects) all = all && object->SignaledLocked();
      if (all) {
        for (auto &object : objects) object->ConsumeLocked();
        result = WAIT_OBJECT_0;
        break;
      }
    } else {
      bool found = false;
      for (DWORD i = 0; i < count && !found; ++i) {
        if (objects[i]->SignaledLocked()) {
          objects[i]->ConsumeLocked();
          result = WAIT_OBJECT_0 + i;
          found = true;
        }
      }
      if (found) break;
    }
    if (!self.incoming.empty()) {
      lock.unlock();
      ServeSends();
      lock.lock();
      continue;
    }
    if (!forever && ClockSourceChanges() != source) {
      // A new source counts the whole time-out again: its ticks don't
      // compare with the old one's.
      source = ClockSourceChanges();
      deadline = Clock().TickMs() + milliseconds;
    }
    if (forever) {
      self.wake.wait(lock);
    } else if (!WaitUntilTick(lock, self, deadline)) {
      result = WAIT_TIMEOUT;
      break;
    }
  }
  for (auto &object : objects) std::erase(object->waiters, &self);
  return result;
}

}  // namespace

void SleepServingSends(DWORD ms) {
  ThreadContext &self = CurrentContext();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::unique_lock lock(SyncLock());
  for (;;) {
    if (!self.incoming.empty()) {
      lock.unlock();
      ServeSends();
      lock.lock();
      continue;
    }
    if (self.wake.wait_until(lock, deadline) == std::cv_status::timeout && self.incoming.empty()) return;
  }
}

}  // namespace platform

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
  auto event = std::make_shared<platform::Event>();
  event->manualReset = manualReset != FALSE;
  event->signaled = initialState != FALSE;
  return platform::InsertHandle(std::move(event));
}

BOOL SetEvent(HANDLE handle) {
  auto event = platform::ReferenceHandleAs<platform::Event>(handle);
  if (!event) return FALSE;
  std::lock_guard guard(platform::SyncLock());
  event->signaled = true;
  event->NotifyLocked();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  auto event = platform::ReferenceHandleAs<platform::Event>(handle);
  if (!event) return FALSE;
  std::lock_guard guard(platform::SyncLock());
  event->signaled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return platform::WaitForObjects(1, &handle, false, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds) {
  return platform::WaitForObjects(count, handles, waitAll != FALSE, milliseconds);
}

// ---------------------------------------------------------------------------
// Threads

namespace {

HANDLE StartThread(std::function<DWORD()> body, DWORD flags, DWORD *threadId) {
  using namespace platform;
  auto thread = std::make_shared<Thread>();
  thread->suspended = (flags & CREATE_SUSPENDED) != 0;
  std::atomic<DWORD> id{0};
  std::mutex started;
  std::condition_variable startedCv;
  std::weak_ptr<Thread> weak = thread;
  try {
    thread->worker = std::thread([weak, body = std::move(body), &id, &started, &startedCv] {
      {
        // Notified under the lock: the creator's locals may vanish right after.
        std::lock_guard guard(started);
        id.store(GetCurrentThreadId());
        startedCv.notify_all();
      }
      if (auto self = weak.lock()) {
        std::unique_lock lock(SyncLock());
        self->resume.wait(lock, [&] { return !self->suspended; });
      }
      DWORD code = body();
      if (auto self = weak.lock()) {
        std::lock_guard guard(SyncLock());
        self->exitCode = code;
        self->finished = true;
        self->NotifyLocked();
      }
    });
  } catch (const std::system_error &) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  {
    std::unique_lock lock(started);
    startedCv.wait(lock, [&] { return id.load() != 0; });
  }
  if (threadId) *threadId = id.load();
  thread->worker.detach();
  return InsertHandle(std::move(thread));
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD *threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return StartThread([start, parameter] { return start(parameter); }, flags, threadId);
}

uintptr_t _beginthreadex(void *, unsigned, unsigned (*start)(void *), void *argument, unsigned flags,
                         unsigned *threadId) {
  if (!start) return 0;
  DWORD id = 0;
  HANDLE handle = StartThread([start, argument] { return DWORD(start(argument)); }, flags, &id);
  if (threadId) *threadId = id;
  return reinterpret_cast<uintptr_t>(handle);
}

BOOL ResumeThread(HANDLE handle) {
  auto thread = platform::ReferenceHandleAs<platform::Thread>(handle);
  if (!thread) return FALSE;
  std::lock_guard guard(platform::SyncLock());
  thread->suspended = false;
  thread->resume.notify_all();
  return TRUE;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD *exitCode) {
  auto thread = platform::ReferenceHandleAs<platform::Thread>(handle);
  if (!thread || !exitCode) return FALSE;
  std::lock_guard guard(platform::SyncLock());
  *exitCode = thread->exitCode;
  return TRUE;
}

BOOL TerminateThread(HANDLE handle, DWORD) {
  if (!platform::ReferenceHandleAs<platform::Thread>(handle)) return FALSE;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
