// The screens: which one holds a point or a window, their geometry and work
// areas, as the host reports them (screen 0 is the primary one).
#include <algorithm>

#include "platform/internal/window_layer.h"

using namespace platform;

namespace {

// A monitor handle is its screen's index plus one.
HMONITOR MonitorOfIndex(int index) { return reinterpret_cast<HMONITOR>(uintptr_t(index) + 1); }

bool Contains(const RECT &r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

LONG Overlap(const RECT &a, const RECT &b) {
  const LONG w = std::min(a.right, b.right) - std::max(a.left, b.left);
  const LONG h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance from the point to the rectangle.
long long Distance(const RECT &r, POINT p) {
  const long long dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
  const long long dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
  return dx * dx + dy * dy;
}

HMONITOR Fallback(DWORD flags, int nearest) {
  if (flags == MONITOR_DEFAULTTOPRIMARY) return MonitorOfIndex(0);
  if (flags == MONITOR_DEFAULTTONEAREST) return MonitorOfIndex(nearest);
  return nullptr;
}

}  // namespace

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
  RECT geometry, work;
  int nearest = 0;
  long long best = -1;
  for (int i = 0; HostScreen(i, &geometry, &work); ++i) {
    if (Contains(geometry, point)) return MonitorOfIndex(i);
    const long long d = Distance(geometry, point);
    if (best < 0 || d < best) {
      best = d;
      nearest = i;
    }
  }
  return Fallback(flags, nearest);
}

HMONITOR MonitorFromRect(const RECT *rect, DWORD flags) {
  if (!rect) return Fallback(flags, 0);
  RECT geometry, work;
  int most = -1;
  LONG mostArea = 0;
  for (int i = 0; HostScreen(i, &geometry, &work); ++i) {
    const LONG area = Overlap(geometry, *rect);
    if (area > mostArea) {
      mostArea = area;
      most = i;
    }
  }
  if (most >= 0) return MonitorOfIndex(most);
  if (flags != MONITOR_DEFAULTTONEAREST) return Fallback(flags, 0);
  return MonitorFromPoint(POINT{(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2}, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return Fallback(flags, 0);
  return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO *info) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(monitor);
  RECT geometry, work;
  if (!info || info->cbSize < sizeof(MONITORINFO) || value == 0 || value > 64 ||
      !HostScreen(int(value - 1), &geometry, &work))
    return FALSE;
  info->rcMonitor = geometry;
  info->rcWork = work;
  info->dwFlags = value == 1 ? DWORD(MONITORINFOF_PRIMARY) : DWORD(0);
  return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT, void *value, UINT) {
  RECT geometry, work;
  if (action != SPI_GETWORKAREA || !value || !HostScreen(0, &geometry, &work)) return FALSE;
  *static_cast<RECT *>(value) = work;
  return TRUE;
}

int GetSystemMetrics(int index) {
  RECT geometry, work;
  if (!HostScreen(0, &geometry, &work)) return 0;
  switch (index) {
    case SM_CXSCREEN: return int(geometry.right - geometry.left);
    case SM_CYSCREEN: return int(geometry.bottom - geometry.top);
    default: return 0;
  }
}
