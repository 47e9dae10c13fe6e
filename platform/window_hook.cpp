// Message hooks: the thread's Windows hooks and the application's hook.
#include <algorithm>
#include <atomic>

#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {
namespace {
std::atomic<uintptr_t> g_nextHook{0x100};
}  // namespace

AppMessageHook &AppHook() {
  static AppMessageHook *hook = new AppMessageHook;
  return *hook;
}

}  // namespace platform

using namespace platform;

// ---- hooks --------------------------------------------------------------------------
HHOOK SetWindowsHookExA(int kind, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (!proc || (kind != WH_CALLWNDPROC && kind != WH_GETMESSAGE) ||
      (threadId != 0 && threadId != GetCurrentThreadId())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HHOOK handle = reinterpret_cast<HHOOK>(g_nextHook.fetch_add(4));
  t_state.hooks.insert(t_state.hooks.begin(), Hook{handle, kind, proc});
  return handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  auto &hooks = t_state.hooks;
  auto before = hooks.size();
  std::erase_if(hooks, [&](const Hook &h) { return h.handle == hook; });
  if (hooks.size() == before) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto &hooks = t_state.hooks;
  auto it = std::find_if(hooks.begin(), hooks.end(), [&](const Hook &h) { return h.handle == hook; });
  if (it == hooks.end()) return 0;
  int kind = it->kind;
  for (++it; it != hooks.end(); ++it)
    if (it->kind == kind) return it->proc(code, wParam, lParam);
  return 0;
}

AppMessageHook platform::SetAppMessageHook(AppMessageHook hook) {
  AppMessageHook previous = std::move(AppHook());
  AppHook() = std::move(hook);
  return previous;
}
