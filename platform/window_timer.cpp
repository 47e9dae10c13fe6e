// Timers of the message queue.
#include <algorithm>

#include "platform/clock.h"
#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {

long long NowMs() { return static_cast<long long>(Clock().TickMs()); }

long long NextTimerTick() {
  long long next = -1;
  for (const Timer &timer : t_state.timers)
    if (next < 0 || timer.due < next) next = timer.due;
  return next;
}

long long NextTimerDueMs() {
  long long next = NextTimerTick();
  return next < 0 ? -1 : std::max(0LL, next - NowMs());
}

}  // namespace platform

using namespace platform;

// ---- timers -----------------------------------------------------------------------
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !OwnWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
  auto &timers = t_state.timers;
  if (!hwnd) id = t_state.nextTimerId++;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; });
  Timer timer{hwnd, id, elapse, proc, NowMs() + elapse};
  if (it != timers.end())
    *it = timer;
  else
    timers.push_back(timer);
  if (IsGuiThread()) HostArmTimer(CurrentContext(), NextTimerDueMs());
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto &timers = t_state.timers;
  auto before = timers.size();
  std::erase_if(timers, [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; });
  if (timers.size() == before) return FALSE;
  // A WM_TIMER already posted for it is dropped when it is taken.
  return TRUE;
}
