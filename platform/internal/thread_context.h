// Per-thread state shared by the wait functions and the message queue.
// Internal to the platform library.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/windef.h"

namespace platform {

// Guards every waitable object's state, every thread's waiter and every
// thread's queue of incoming sent messages. Sent messages cross threads
// rarely, so one lock keeps the waits simple and correct.
std::mutex &SyncLock();

struct ThreadContext;

struct SentMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
  ThreadContext *sender = nullptr;
  // Instead of a window message: work to run on the receiving thread.
  const std::function<void()> *task = nullptr;
};

struct ThreadContext {
  DWORD id = 0;
  bool alive = true;                     // under SyncLock
  std::condition_variable wake;          // with SyncLock: a wait of this thread
  std::deque<SentMessage *> incoming;    // under SyncLock
  // Set on the Qt thread: asks its event loop to serve the queues soon.
  std::function<void()> kickEventLoop;   // under SyncLock

  // Posted messages; the lock is separate and short so posting stays cheap.
  std::mutex postLock;
  // Whoever empties it last or leaves it non-empty without going on
  // serving it wakes the thread again.
  std::deque<MSG> posted;
};

// The calling thread's context, made on first use and dropped at thread exit.
ThreadContext &CurrentContext();
// Its id, which the window layer asks on nearly every call: after the first
// time one load of a thread-local word (ids are never given out twice, so
// the word stays right after the context is dropped).
extern constinit thread_local DWORD t_contextId [[gnu::tls_model("initial-exec"), gnu::visibility("hidden")]];
[[gnu::visibility("hidden")]] DWORD FirstContextId();
inline DWORD CurrentContextId() {
  const DWORD id = t_contextId;
  return id ? id : FirstContextId();
}
// Another thread's context, or null when it has ended.
std::shared_ptr<ThreadContext> ContextOf(DWORD threadId);

// Answers every message other threads sent to the calling thread; returns
// whether any was served. The window layer, which knows windows, registers
// it at start-up; the waits of the kernel call it through ServeSends.
using SendServer = bool (*)();
void SetSendServer(SendServer server);
// Serves what was sent to the calling thread with the registered server;
// false when none is registered or nothing was waiting.
bool ServeSends();

// Waits on the thread's wake until notified or until the platform clock
// reaches deadlineMs (its tick count). Returns false once the deadline has
// passed. Call with SyncLock held, through lock.
bool WaitUntilTick(std::unique_lock<std::mutex> &lock, ThreadContext &self, uint64_t deadlineMs);

// Wakes the thread (its wait or its event loop) after something was queued
// for it. Call with SyncLock held.
void WakeThreadLocked(ThreadContext &target);

}  // namespace platform
