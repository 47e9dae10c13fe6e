// State and helpers shared by the window layer's sources (window_*.cpp):
// the window table, the per-thread state and the small steps that several
// of them take. Internal to the platform library; nothing outside the window
// layer includes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal/window_record.h"

namespace platform {

// ---- the window table ------------------------------------------------------
// Handles count up and are never given out twice, so a message that names a
// destroyed window can never reach a newer one.
// They step by 16 so that maps hashing a handle shifted right by 4 spread them.
constexpr uintptr_t kHandleBase = 0x10000;
constexpr uintptr_t kHandleStep = 16;

struct WindowSlot {
  std::atomic<Window *> window{nullptr};  // null once the window is destroyed
  // The thread that made the window. Stored before the window is published
  // and never changed (handles are not reused), so any thread may read it
  // without touching the record, which only that thread ever deletes.
  std::atomic<DWORD> thread{0};
};

// The table slot of a handle, made when asked; null for a handle that can't
// be one of ours.
[[gnu::visibility("hidden")]] WindowSlot *SlotOf(HWND hwnd, bool create);

// The thread of a live window, from its table slot without touching the
// record; null when the handle names no live window or its thread ended.
// Safe from any thread.
std::shared_ptr<ThreadContext> ThreadOfWindow(HWND hwnd);
// The id of that thread; 0 for no live window.
DWORD WindowThreadId(HWND hwnd);

// The window, or null with ERROR_INVALID_WINDOW_HANDLE.
Window *Checked(HWND hwnd);
// The window if it belongs to the calling thread. Otherwise null, with
// ERROR_ACCESS_DENIED for another thread's window, whose record only that
// thread may touch, and ERROR_INVALID_WINDOW_HANDLE for no live window.
Window *OwnChecked(HWND hwnd);

// ---- classes -----------------------------------------------------------------
bool IsAtomName(LPCSTR name);
std::shared_ptr<WindowClass> FindClass(LPCSTR name);

// ---- per-thread state ------------------------------------------------------
struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT interval;
  TIMERPROC proc;
  long long due;
};

struct Hook {
  HHOOK handle;
  int kind;
  HOOKPROC proc;
};

struct KeyText {
  HWND hwnd;
  WPARAM key;
  LPARAM lParam;
  std::string text;
};

struct ThreadState {
  std::vector<Timer> timers;
  UINT_PTR nextTimerId = 1;
  std::vector<Hook> hooks;  // newest first
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  std::vector<HWND> paintList;  // windows waiting for WM_PAINT, oldest first
  std::deque<KeyText> keyTexts;
  BYTE keyState[256] = {};
  DWORD messageTime = 0;
  DWORD messagePos = 0;
  int explicitGetDepth = 0;
  int inSendDepth = 0;
  bool quitPosted = false;
  int quitCode = 0;
};
extern thread_local ThreadState t_state;

AppMessageHook &AppHook();

long long NowMs();
// The platform tick at which the calling thread's next timer falls due; -1
// when no timer runs.
long long NextTimerTick();

// ---- sending -----------------------------------------------------------------
// Calls the window procedure of a window of this thread, through the hooks.
LRESULT SendInternal(Window &window, UINT message, WPARAM wParam, LPARAM lParam);
// The same for a handle; 0 when it is not a live window of this thread.
LRESULT SendTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- the queue ---------------------------------------------------------------
bool PostToContext(ThreadContext &target, const MSG &msg);

// ---- states of top-level windows (window_state.cpp) ---------------------------
// WM_SIZE's kind for the window's state.
WPARAM SizeKindOf(const Window &window);
// WM_GETMINMAXINFO asked with the defaults: maximised over the work area
// of the window's screen with its frame outside, no tracking limits.
MINMAXINFO MinMaxOf(HWND hwnd);
// Holds a new size of a top-level window within its tracking sizes.
void ClampToTracking(HWND hwnd, WINDOWPOS &pos);
// The state change a ShowWindow command asks of a top-level window.
void ApplyShowState(HWND hwnd, int command);

// ---- painting ----------------------------------------------------------------
void RemoveFromPaintList(HWND hwnd);
[[gnu::visibility("hidden")]] void MarkDirty(Window &window, const RECT *area, bool erase);
void Validate(Window &window);

}  // namespace platform
