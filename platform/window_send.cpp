// Sending messages: to a window of this thread through the hooks, and to
// other threads, answering what they send meanwhile.
#include <mutex>

#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {

LRESULT SendInternal(Window &window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowWithHooks(window, message, wParam, lParam, true);
}

LRESULT SendTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *window = OwnWindow(hwnd);
  return window ? SendInternal(*window, message, wParam, lParam) : 0;
}

// ---- sending with hooks --------------------------------------------------------
LRESULT CallWindowWithHooks(Window &window, UINT message, WPARAM wParam, LPARAM lParam, bool fromThisThread) {
  if (!t_state.hooks.empty()) {
    for (const Hook &hook : t_state.hooks) {
      if (hook.kind != WH_CALLWNDPROC) continue;
      CWPSTRUCT cwp{lParam, wParam, message, window.handle};
      hook.proc(HC_ACTION, fromThisThread ? 1 : 0, reinterpret_cast<LPARAM>(&cwp));
      break;  // the hook passes it on with CallNextHookEx
    }
    // A hook may have destroyed the window.
    if (FindWindowRecord(window.handle) != &window) return 0;
  }
  WNDPROC proc = window.proc;
  return proc ? proc(window.handle, message, wParam, lParam) : DefWindowProcA(window.handle, message, wParam, lParam);
}

namespace {
// Waits of the kernel serve sends through this from the start.
[[maybe_unused]] const bool g_sendServerRegistered = (SetSendServer(&ServeIncomingSends), true);
}  // namespace

bool ServeIncomingSends() {
  ThreadContext &self = CurrentContext();
  bool served = false;
  for (;;) {
    SentMessage *sent;
    {
      std::lock_guard guard(SyncLock());
      if (self.incoming.empty()) return served;
      sent = self.incoming.front();
      self.incoming.pop_front();
    }
    served = true;
    LRESULT result = 0;
    if (sent->task) {
      ++t_state.inSendDepth;
      (*sent->task)();
      --t_state.inSendDepth;
    } else if (Window *window = OwnWindow(sent->hwnd)) {
      ++t_state.inSendDepth;
      result = CallWindowWithHooks(*window, sent->message, sent->wParam, sent->lParam, false);
      --t_state.inSendDepth;
    }
    std::lock_guard guard(SyncLock());
    sent->result = result;
    sent->done = true;
    if (sent->sender) sent->sender->wake.notify_all();
  }
}

}  // namespace platform

using namespace platform;

// ---- sending and posting -------------------------------------------------------------
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Window *window = OwnWindow(hwnd)) return CallWindowWithHooks(*window, message, wParam, lParam, true);
  // Another thread's window may be destroyed meanwhile: only its thread is
  // looked up, from the table slot.
  std::shared_ptr<ThreadContext> target = ThreadOfWindow(hwnd);
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  SentMessage sent{hwnd, message, wParam, lParam};
  return DeliverAndWait(*target, sent);
}

namespace platform {

LRESULT DeliverAndWait(ThreadContext &target, SentMessage &sent) {
  ThreadContext &self = CurrentContext();
  sent.sender = &self;
  std::unique_lock lock(SyncLock());
  if (!target.alive) return 0;
  target.incoming.push_back(&sent);
  WakeThreadLocked(target);
  // While waiting, answer what others send us: two threads sending to each
  // other must not deadlock.
  while (!sent.done) {
    if (!self.incoming.empty()) {
      lock.unlock();
      ServeIncomingSends();
      lock.lock();
      continue;
    }
    self.wake.wait(lock);
  }
  return sent.result;
}

bool RunOnGuiThread(const std::function<void()> &work) {
  if (IsGuiThread()) {
    work();
    return true;
  }
  auto target = ContextOf(GuiThreadId());
  if (!target) return false;
  SentMessage sent{nullptr, 0, 0, 0};
  sent.task = &work;
  DeliverAndWait(*target, sent);
  return true;
}

}  // namespace platform
