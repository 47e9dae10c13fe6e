// The message queue: posting, taking and dispatching.
#include <algorithm>
#include <mutex>

#include "platform/clock.h"
#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {

bool PostToContext(ThreadContext &target, const MSG &msg) {
  bool kick;
  {
    std::lock_guard guard(target.postLock);
    kick = target.posted.empty();
    target.posted.push_back(msg);
  }
  if (kick) {
    std::lock_guard guard(SyncLock());
    WakeThreadLocked(target);
  }
  return true;
}

namespace {

DWORD MessagePosNow() {
  POINT p = HostCursorPos();
  return DWORD(MAKELONG(WORD(p.x), WORD(p.y)));
}

}  // namespace
}  // namespace platform

using namespace platform;

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ThreadContext &self = CurrentContext();
  MSG msg{hwnd, message, wParam, lParam, GetTickCount(), POINT{}};
  if (!hwnd) return PostToContext(self, msg);
  if (OwnWindow(hwnd)) return PostToContext(self, msg);
  std::shared_ptr<ThreadContext> target = ThreadOfWindow(hwnd);
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return PostToContext(*target, msg);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  auto target = ContextOf(threadId);
  if (!target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return PostToContext(*target, MSG{nullptr, message, wParam, lParam, GetTickCount(), POINT{}});
}

void PostQuitMessage(int exitCode) {
  t_state.quitPosted = true;
  t_state.quitCode = exitCode;
  ThreadContext &self = CurrentContext();
  std::lock_guard guard(SyncLock());
  WakeThreadLocked(self);
}

BOOL InSendMessage() { return t_state.inSendDepth > 0; }
DWORD GetMessageTime() { return t_state.messageTime; }
DWORD GetMessagePos() { return t_state.messagePos; }

namespace platform {
namespace {

// Shows a message taken off the queue to the thread's newest WH_GETMESSAGE
// hook, which passes it on with CallNextHookEx.
void CallGetMessageHook(MSG *msg) {
  for (const Hook &hook : t_state.hooks) {
    if (hook.kind != WH_GETMESSAGE) continue;
    hook.proc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(msg));
    break;
  }
}

bool Matches(const MSG &msg, HWND hwnd, UINT low, UINT high) {
  if (hwnd && msg.hwnd != hwnd && !IsChild(hwnd, msg.hwnd)) return false;
  if (hwnd == reinterpret_cast<HWND>(-1) && msg.hwnd) return false;
  if (low == 0 && high == 0) return true;
  return msg.message >= low && msg.message <= high;
}

// Takes the next message of the calling thread without blocking, in the
// queue's order of priority: posted and input messages, quit, paint, timers.
bool TakeMessage(MSG *out, HWND hwnd, UINT low, UINT high, bool remove) {
  ThreadContext &self = CurrentContext();
  ThreadState &state = t_state;
  {
    std::lock_guard guard(self.postLock);
    for (auto it = self.posted.begin(); it != self.posted.end(); ++it) {
      if (!Matches(*it, hwnd, low, high)) continue;
      *out = *it;
      if (remove) self.posted.erase(it);
      return true;
    }
  }
  if (state.quitPosted && (low == 0 || (WM_QUIT >= low && WM_QUIT <= high))) {
    *out = MSG{nullptr, WM_QUIT, WPARAM(state.quitCode), 0, GetTickCount(), POINT{}};
    if (remove) state.quitPosted = false;
    return true;
  }
  if (low == 0 || (WM_PAINT >= low && WM_PAINT <= high)) {
    for (HWND candidate : state.paintList) {
      Window *window = OwnWindow(candidate);
      if (!window || !window->visible) continue;
      MSG msg{candidate, WM_PAINT, 0, 0, GetTickCount(), POINT{}};
      if (!Matches(msg, hwnd, low, high)) continue;
      *out = msg;
      return true;  // stays pending until the window validates itself
    }
  }
  if (low == 0 || (WM_TIMER >= low && WM_TIMER <= high)) {
    long long now = NowMs();
    for (Timer &timer : state.timers) {
      if (timer.due > now) continue;
      MSG msg{timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), GetTickCount(), POINT{}};
      if (!Matches(msg, hwnd, low, high)) continue;
      // The next tick counts from now: a stalled loop gets one tick, not a backlog.
      if (remove) timer.due = now + timer.interval;
      *out = msg;
      return true;
    }
  }
  return false;
}

// Blocks the calling thread until something may have come for it: a posted
// or sent message, a quit, a timer falling due or the clock moving. The GUI
// thread waits in Qt's event loop, which the same things wake.
void WaitForMessage(ThreadContext &self) {
  if (IsGuiThread()) {
    ++t_state.explicitGetDepth;
    HostArmTimer(self, NextTimerDueMs());
    HostProcessEvents(true);
    --t_state.explicitGetDepth;
    return;
  }
  std::unique_lock lock(SyncLock());
  {
    std::lock_guard guard(self.postLock);
    if (!self.posted.empty()) return;
  }
  if (!self.incoming.empty() || t_state.quitPosted) return;
  // The due tick is absolute: a clock that moved before this wait began is
  // seen by WaitUntilTick, one that moves during it wakes the thread.
  long long due = NextTimerTick();
  if (due < 0)
    self.wake.wait(lock);
  else
    WaitUntilTick(lock, self, uint64_t(due));
}

}  // namespace

bool InExplicitGetMessage() { return t_state.explicitGetDepth > 0; }


void RunTakenMessage(MSG &msg) {
  ThreadState &state = t_state;
  state.messageTime = msg.time;
  state.messagePos = MessagePosNow();
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      state.keyState[msg.wParam & 0xFF] = BYTE((state.keyState[msg.wParam & 0xFF] & 1) ^ 1) | 0x80;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP: state.keyState[msg.wParam & 0xFF] &= 1; break;
    default:
      if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST && msg.message != WM_MOUSEWHEEL) {
        state.keyState[VK_LBUTTON] = (msg.wParam & MK_LBUTTON) ? 0x80 : 0;
        state.keyState[VK_RBUTTON] = (msg.wParam & MK_RBUTTON) ? 0x80 : 0;
        state.keyState[VK_MBUTTON] = (msg.wParam & MK_MBUTTON) ? 0x80 : 0;
      }
  }
  CallGetMessageHook(&msg);
  bool handled = false;
  if (AppMessageHook hook = AppHook()) hook(msg, handled);
  if (handled) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void ServeQueue() {
  ThreadContext &self = CurrentContext();
  // A bounded batch: Qt's own events (input, painting) get their turn.
  for (int budget = 100000; budget > 0; --budget) {
    ServeIncomingSends();
    MSG msg;
    if (!TakeMessage(&msg, nullptr, 0, 0, true)) break;
    if (msg.message == WM_QUIT) {
      HostQuit(int(msg.wParam));
      break;
    }
    RunTakenMessage(msg);
  }
  bool more;
  {
    std::lock_guard guard(self.postLock);
    more = !self.posted.empty();
  }
  bool paint = false;
  for (HWND hwnd : t_state.paintList)
    if (Window *window = OwnWindow(hwnd); window && window->visible) paint = true;
  if (more || paint || t_state.quitPosted) {
    std::lock_guard guard(SyncLock());
    WakeThreadLocked(self);
  }
  HostArmTimer(self, NextTimerDueMs());
}

void PostInput(Window &window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{window.handle, message, wParam, lParam, GetTickCount(), POINT{}};
  PostToContext(*window.thread, msg);
}

void RecordKeyText(HWND hwnd, WPARAM virtualKey, LPARAM lParam, std::string text) {
  auto &texts = t_state.keyTexts;
  if (texts.size() >= 64) texts.pop_front();
  texts.push_back(KeyText{hwnd, virtualKey, lParam, std::move(text)});
}

}  // namespace platform

BOOL PeekMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  if (!msg) return FALSE;
  ServeIncomingSends();
  if (IsGuiThread() && !InExplicitGetMessage()) {
    // Let Qt turn pending input into messages, without it draining our queue.
    ++t_state.explicitGetDepth;
    HostProcessEvents(false);
    --t_state.explicitGetDepth;
  }
  if (!TakeMessage(msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0)) return FALSE;
  if (remove & PM_REMOVE) CallGetMessageHook(msg);
  return TRUE;
}

BOOL GetMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  ThreadContext &self = CurrentContext();
  for (;;) {
    ServeIncomingSends();
    if (TakeMessage(msg, hwnd, filterMin, filterMax, true)) {
      CallGetMessageHook(msg);
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    WaitForMessage(self);
  }
}

BOOL WaitMessage() {
  MSG msg;
  ThreadContext &self = CurrentContext();
  while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) WaitForMessage(self);
  return TRUE;
}

BOOL TranslateMessage(const MSG *msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  Window *window = OwnWindow(msg->hwnd);
  if (!window) return FALSE;
  std::string text;
  bool found = false;
  auto &texts = t_state.keyTexts;
  for (auto it = texts.begin(); it != texts.end(); ++it) {
    if (it->hwnd == msg->hwnd && it->key == msg->wParam && it->lParam == msg->lParam) {
      text = std::move(it->text);
      texts.erase(texts.begin(), it + 1);
      found = true;
      break;
    }
  }
  if (!found) text = platform::CharsForKey(int(msg->wParam), GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                                           (GetKeyState(VK_CAPITAL) & 1) != 0);
  if (text.empty()) return FALSE;
  UINT charMessage = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  // The characters come next, before anything else queued.
  ThreadContext &self = CurrentContext();
  std::lock_guard guard(self.postLock);
  for (size_t i = text.size(); i-- > 0;)
    self.posted.push_front(MSG{msg->hwnd, charMessage, WPARAM(BYTE(text[i])), msg->lParam, msg->time, msg->pt});
  return TRUE;
}

LRESULT DispatchMessageA(const MSG *msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  Window *window = OwnWindow(msg->hwnd);
  if (!window) return 0;
  if (msg->message == WM_TIMER) {
    // A timer killed after its message was taken delivers nothing.
    bool running = std::any_of(t_state.timers.begin(), t_state.timers.end(),
                               [&](const Timer &t) { return t.hwnd == msg->hwnd && t.id == msg->wParam; });
    if (!running) return 0;
  }
  if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) CursorPointerWindow(msg->hwnd);
  WNDPROC proc = window->proc;
  LRESULT result = proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam)
                        : DefWindowProcA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  if (msg->message == WM_PAINT) {
    // A procedure that paints without BeginPaint would be asked forever.
    if (Window *again = OwnWindow(msg->hwnd)) {
      if (again->needsPaint) ValidateAfterPaint(*again);
      HostUpdate(*again);
    }
  }
  return result;
}
