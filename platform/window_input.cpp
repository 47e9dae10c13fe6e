// Focus, activation, mouse capture and the keyboard state.
#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

using namespace platform;

// ---- focus, activation, capture ------------------------------------------------------
HWND SetFocus(HWND hwnd) {
  ThreadState &state = t_state;
  HWND previous = state.focus;
  if (hwnd && !OwnWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (hwnd == previous) return previous;
  state.focus = hwnd;
  if (previous) SendTo(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && state.focus == hwnd) {
    if (Window *window = OwnWindow(hwnd)) {
      HostFocus(*window);
      SendInternal(*window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
  }
  return previous;
}

HWND GetFocus() { return IsWindow(t_state.focus) ? t_state.focus : nullptr; }

HWND GetActiveWindow() { return IsWindow(t_state.active) ? t_state.active : nullptr; }

HWND SetActiveWindow(HWND hwnd) {
  ThreadState &state = t_state;
  HWND previous = state.active;
  Window *window = OwnWindow(hwnd);
  if (!window || (window->style & WS_CHILD) || hwnd == previous) return previous;
  state.active = hwnd;
  if (previous) SendTo(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
  if (state.active == hwnd) SendTo(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
  return previous;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (!OwnWindow(hwnd)) return FALSE;
  SetActiveWindow(hwnd);
  return TRUE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

HWND SetCapture(HWND hwnd) {
  ThreadState &state = t_state;
  HWND previous = state.capture;
  Window *window = OwnWindow(hwnd);
  if (!window) return previous;
  if (previous == hwnd) return previous;
  state.capture = hwnd;
  if (previous) SendTo(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  HostCapture(window);
  return previous;
}

BOOL ReleaseCapture() {
  ThreadState &state = t_state;
  HWND previous = state.capture;
  state.capture = nullptr;
  HostCapture(nullptr);
  if (previous) SendTo(previous, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return IsWindow(t_state.capture) ? t_state.capture : nullptr; }

BOOL TrackMouseEvent(TRACKMOUSEEVENT *track) {
  if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Window *window = track->dwFlags & TME_QUERY ? nullptr : Checked(track->hwndTrack);
  if (track->dwFlags & TME_QUERY) return TRUE;
  if (!window) return FALSE;
  DWORD kinds = track->dwFlags & (TME_HOVER | TME_LEAVE);
  if (track->dwFlags & TME_CANCEL) {
    window->trackFlags &= ~kinds;
    return TRUE;
  }
  window->trackFlags |= kinds;
  if (kinds & TME_HOVER) {
    window->hoverTime = track->dwHoverTime == HOVER_DEFAULT ? 400 : track->dwHoverTime;
    HostStartHoverTimer(*window);
  }
  // Tracking a window the mouse is not over ends at once with a leave.
  if (kinds & TME_LEAVE) {
    Window *under = HostWindowAt(HostCursorPos());
    if (under != window) {
      window->trackFlags &= ~DWORD(TME_LEAVE | TME_HOVER);
      PostMessageA(window->handle, WM_MOUSELEAVE, 0, 0);
    }
  }
  return TRUE;
}

BOOL GetCursorPos(POINT *point) {
  if (!point) return FALSE;
  *point = HostCursorPos();
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  HostSetCursorPos(POINT{x, y});
  return TRUE;
}

HWND WindowFromPoint(POINT screen) {
  Window *window = HostWindowAt(screen);
  return window && OwnWindow(window->handle) ? window->handle : nullptr;
}

void mouse_event(DWORD flags, DWORD, DWORD, DWORD, ULONG_PTR) {
  if (flags & MOUSEEVENTF_LEFTDOWN) HostSynthesizeButton(WM_LBUTTONDOWN);
  if (flags & MOUSEEVENTF_LEFTUP) HostSynthesizeButton(WM_LBUTTONUP);
  if (flags & MOUSEEVENTF_RIGHTDOWN) HostSynthesizeButton(WM_RBUTTONDOWN);
  if (flags & MOUSEEVENTF_RIGHTUP) HostSynthesizeButton(WM_RBUTTONUP);
}

SHORT GetKeyState(int virtualKey) {
  BYTE state = t_state.keyState[virtualKey & 0xFF];
  return SHORT(((state & 0x80) ? 0x8000 : 0) | (state & 1));
}

SHORT GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }
