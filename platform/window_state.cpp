// Top-level window states: maximised, minimised and restored, the restored
// place, and the tracking sizes of WM_GETMINMAXINFO.
#include <algorithm>

#include "platform/internal/window_layer.h"

namespace platform {

namespace {

enum class ShowState { Keep, Normal, Maximized, Minimized };

ShowState StateOfCommand(int command) {
  switch (command) {
    case SW_SHOWMAXIMIZED: return ShowState::Maximized;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE: return ShowState::Minimized;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT: return ShowState::Normal;
    default: return ShowState::Keep;
  }
}

RECT WorkAreaFor(const RECT &rect) {
  MONITORINFO info{sizeof info, {}, {}, 0};
  if (GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  return RECT{0, 0, 1024, 768};
}

// Moves the window to the rectangle; WM_SIZE tells the new state even when
// the size stays.
void PlaceForState(HWND hwnd, const RECT &r) {
  Window *window = OwnWindow(hwnd);
  if (!window) return;
  const RECT old = window->rect;
  SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  window = OwnWindow(hwnd);
  if (!window) return;
  if (window->rect.right - window->rect.left == old.right - old.left &&
      window->rect.bottom - window->rect.top == old.bottom - old.top)
    SendInternal(*window, WM_SIZE, SizeKindOf(*window), MAKELPARAM(WORD(window->ClientWidth()), WORD(window->ClientHeight())));
}

}  // namespace

WPARAM SizeKindOf(const Window &window) {
  if (window.style & WS_MINIMIZE) return SIZE_MINIMIZED;
  if (window.style & WS_MAXIMIZE) return SIZE_MAXIMIZED;
  return SIZE_RESTORED;
}

MINMAXINFO MinMaxOf(HWND hwnd) {
  MINMAXINFO info{};
  Window *window = OwnWindow(hwnd);
  if (!window) return info;
  const int border = window->BorderWidth();
  const RECT work = WorkAreaFor(window->rect);
  info.ptMaxPosition = POINT{-border, -border};
  info.ptMaxSize = POINT{work.right - work.left + 2 * border, work.bottom - work.top + 2 * border};
  info.ptMinTrackSize = POINT{0, 0};
  info.ptMaxTrackSize = POINT{32767, 32767};
  SendInternal(*window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  return info;
}

void ClampToTracking(HWND hwnd, WINDOWPOS &pos) {
  Window *window = OwnWindow(hwnd);
  if (!window || (pos.flags & SWP_NOSIZE) || (window->style & (WS_CHILD | WS_MINIMIZE))) return;
  if (!(window->style & WS_THICKFRAME) && (window->style & WS_POPUP)) return;
  const MINMAXINFO info = MinMaxOf(hwnd);
  window = OwnWindow(hwnd);
  if (!window) return;
  pos.cx = std::max<int>(std::min<int>(pos.cx, info.ptMaxTrackSize.x), info.ptMinTrackSize.x);
  pos.cy = std::max<int>(std::min<int>(pos.cy, info.ptMaxTrackSize.y), info.ptMinTrackSize.y);
  HostTrackLimits(*window, info.ptMinTrackSize, info.ptMaxTrackSize);
}

void ApplyShowState(HWND hwnd, int command) {
  Window *window = OwnWindow(hwnd);
  const ShowState state = StateOfCommand(command);
  if (!window || (window->style & WS_CHILD) || state == ShowState::Keep) return;
  const bool maximized = window->style & WS_MAXIMIZE, minimized = window->style & WS_MINIMIZE;
  switch (state) {
    case ShowState::Minimized: {
      if (minimized) return;
      if (!maximized) window->normalRect = window->rect;
      window->restoreToMaximized = maximized;
      window->style = (window->style & ~DWORD(WS_MAXIMIZE)) | WS_MINIMIZE;
      HostStateChanged(*window);
      SendInternal(*window, WM_SIZE, SIZE_MINIMIZED, 0);
      return;
    }
    case ShowState::Normal:
      if (minimized) {
        window->style &= ~DWORD(WS_MINIMIZE);
        HostStateChanged(*window);
        if (window->restoreToMaximized) {
          window->style |= WS_MAXIMIZE;
          break;  // placed as maximised below
        }
      } else if (maximized) {
        window->style &= ~DWORD(WS_MAXIMIZE);
      } else {
        return;
      }
      PlaceForState(hwnd, window->normalRect);
      return;
    case ShowState::Maximized:
      if (minimized) {
        window->style &= ~DWORD(WS_MINIMIZE);
        HostStateChanged(*window);
      } else if (!maximized) {
        window->normalRect = window->rect;
      }
      window->style |= WS_MAXIMIZE;
      break;
    case ShowState::Keep: return;
  }
  // Maximised: WM_GETMINMAXINFO places it within the work area of its screen.
  const RECT normal = window->normalRect;
  const MINMAXINFO info = MinMaxOf(hwnd);
  if (!OwnWindow(hwnd)) return;
  const RECT work = WorkAreaFor(normal);
  const LONG left = work.left + info.ptMaxPosition.x, top = work.top + info.ptMaxPosition.y;
  PlaceForState(hwnd, RECT{left, top, left + info.ptMaxSize.x, top + info.ptMaxSize.y});
}

}  // namespace platform

using namespace platform;

BOOL IsZoomed(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window && (window->style & WS_MAXIMIZE);
}

BOOL IsIconic(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window && (window->style & WS_MINIMIZE);
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT *placement) {
  Window *window = OwnChecked(hwnd);
  if (!window || !placement) return FALSE;
  const bool maximized = window->style & WS_MAXIMIZE, minimized = window->style & WS_MINIMIZE;
  placement->flags = minimized && window->restoreToMaximized ? UINT(WPF_RESTORETOMAXIMIZED) : 0u;
  placement->showCmd = !window->visible ? UINT(SW_HIDE)
                       : minimized     ? UINT(SW_SHOWMINIMIZED)
                       : maximized     ? UINT(SW_SHOWMAXIMIZED)
                                       : UINT(SW_SHOWNORMAL);
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  placement->rcNormalPosition = maximized || minimized ? window->normalRect : window->rect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT *placement) {
  Window *window = OwnChecked(hwnd);
  if (!window || !placement) return FALSE;
  const RECT r = placement->rcNormalPosition;
  window->normalRect = r;
  if (!(window->style & (WS_MAXIMIZE | WS_MINIMIZE))) {
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    window = OwnWindow(hwnd);
    if (!window) return FALSE;
  }
  if (window->style & WS_MINIMIZE) window->restoreToMaximized = placement->flags & WPF_RESTORETOMAXIMIZED;
  if (placement->showCmd != SW_HIDE) ShowWindow(hwnd, int(placement->showCmd));
  return TRUE;
}
