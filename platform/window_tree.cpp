// The window tree, positions and visibility.
#include <algorithm>

#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

using namespace platform;

// ---- geometry and visibility ---------------------------------------------------
BOOL ShowWindow(HWND hwnd, int command) {
  Window *window = Checked(hwnd);
  if (!window) return FALSE;
  bool was = window->visible;
  const bool topLevel = !(window->style & WS_CHILD);
  // A minimised top-level window stays visible; a child is hidden.
  bool show = command != SW_HIDE && (topLevel || command != SW_MINIMIZE);
  if (topLevel && show) {
    ApplyShowState(hwnd, command);
    window = OwnWindow(hwnd);
    if (!window) return was;
  }
  if (show == was) return was;
  SendInternal(*window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!IsWindow(hwnd)) return was;
  window->visible = show;
  if (show)
    window->style |= WS_VISIBLE;
  else
    window->style &= ~DWORD(WS_VISIBLE);
  HostVisibilityChanged(*window);
  if (show) {
    window->needsNcPaint = true;
    MarkDirty(*window, nullptr, true);
  }
  if (!show && t_state.capture == hwnd) ReleaseCapture();
  bool activate = show && !(window->style & WS_CHILD) && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                  command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE && !(window->exStyle & WS_EX_NOACTIVATE);
  if (activate) SetActiveWindow(hwnd);
  return was;
}

BOOL IsWindowVisible(HWND hwnd) {
  for (Window *window = FindWindowRecord(hwnd); window; window = FindWindowRecord(window->parent)) {
    if (!window->visible) return FALSE;
    if (!window->parent) return TRUE;
  }
  return FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  Window *window = Checked(hwnd);
  if (!window) return FALSE;
  bool wasDisabled = !window->enabled;
  if (window->enabled != (enable != FALSE)) {
    window->enabled = enable != FALSE;
    if (enable)
      window->style &= ~DWORD(WS_DISABLED);
    else
      window->style |= WS_DISABLED;
    SendInternal(*window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  }
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window && window->enabled;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window *window = Checked(hwnd);
  if (!window) return FALSE;
  WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    pos.x = window->rect.left;
    pos.y = window->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    pos.cx = window->rect.right - window->rect.left;
    pos.cy = window->rect.bottom - window->rect.top;
  }
  if (!(flags & SWP_NOSENDCHANGING)) SendInternal(*window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  if (!IsWindow(hwnd)) return FALSE;
  pos.cx = std::max(0, pos.cx);
  pos.cy = std::max(0, pos.cy);
  RECT old = window->rect;
  window->rect = RECT{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
  bool moved = old.left != window->rect.left || old.top != window->rect.top;
  bool sized = old.right - old.left != pos.cx || old.bottom - old.top != pos.cy;
  if (!(pos.flags & SWP_NOZORDER) && window->parent) {
    if (Window *parent = FindWindowRecord(window->parent)) {
      auto &list = parent->children;
      std::erase(list, hwnd);
      if (insertAfter == HWND_BOTTOM)
        list.push_back(hwnd);
      else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)
        list.insert(list.begin(), hwnd);
      else {
        auto it = std::find(list.begin(), list.end(), insertAfter);
        list.insert(it == list.end() ? list.end() : it + 1, hwnd);
      }
      HostZOrderChanged(*window);
    }
  }
  if (insertAfter == HWND_TOPMOST) window->exStyle |= WS_EX_TOPMOST;
  if (insertAfter == HWND_NOTOPMOST) window->exStyle &= ~DWORD(WS_EX_TOPMOST);
  if (moved || sized || !(pos.flags & SWP_NOZORDER)) HostGeometryChanged(*window);
  if (sized || (flags & SWP_FRAMECHANGED)) window->needsNcPaint = true;
  if (!(pos.flags & SWP_NOREDRAW) && (sized || (flags & SWP_FRAMECHANGED))) MarkDirty(*window, nullptr, true);
  if (moved) pos.flags &= ~UINT(SWP_NOMOVE); else pos.flags |= SWP_NOMOVE;
  if (sized) pos.flags &= ~UINT(SWP_NOSIZE); else pos.flags |= SWP_NOSIZE;
  SendInternal(*window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  if (!IsWindow(hwnd)) return TRUE;
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : UINT(SWP_NOREDRAW)));
}

namespace {
// The screen position of a window's top-left corner.
POINT ScreenOrigin(const Window &window) {
  POINT origin{window.rect.left, window.rect.top};
  for (Window *parent = FindWindowRecord(window.parent); parent; parent = FindWindowRecord(parent->parent)) {
    RECT client = parent->ClientRect();
    origin.x += parent->rect.left + client.left;
    origin.y += parent->rect.top + client.top;
  }
  return origin;
}

// The screen position of the top-left corner of a window's client area.
POINT ClientOrigin(const Window &window) {
  POINT origin = ScreenOrigin(window);
  RECT client = window.ClientRect();
  return POINT{origin.x + client.left, origin.y + client.top};
}
}  // namespace

BOOL GetWindowRect(HWND hwnd, RECT *rect) {
  Window *window = Checked(hwnd);
  if (!window || !rect) return FALSE;
  POINT origin = ScreenOrigin(*window);
  *rect = RECT{origin.x, origin.y, origin.x + window->rect.right - window->rect.left,
               origin.y + window->rect.bottom - window->rect.top};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT *rect) {
  Window *window = Checked(hwnd);
  if (!window || !rect) return FALSE;
  *rect = RECT{0, 0, window->ClientWidth(), window->ClientHeight()};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT *point) {
  Window *window = Checked(hwnd);
  if (!window || !point) return FALSE;
  POINT origin = ClientOrigin(*window);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT *point) {
  Window *window = Checked(hwnd);
  if (!window || !point) return FALSE;
  POINT origin = ClientOrigin(*window);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

HWND GetParent(HWND hwnd) {
  Window *window = Checked(hwnd);
  if (!window) return nullptr;
  return (window->style & WS_CHILD) ? window->parent : window->owner;
}

HWND SetParent(HWND child, HWND newParent) {
  // Both windows' lists change: they must be this thread's.
  Window *window = OwnChecked(child);
  if (!window) return nullptr;
  Window *parent = nullptr;
  if (newParent && !(parent = OwnChecked(newParent))) return nullptr;
  HWND old = window->parent;
  if (Window *oldParent = FindWindowRecord(old)) std::erase(oldParent->children, child);
  window->parent = newParent;
  if (parent) {
    parent->children.insert(parent->children.begin(), child);
    window->style |= WS_CHILD;
  } else {
    window->style &= ~DWORD(WS_CHILD);
  }
  HostParentChanged(*window);
  return old;
}

HWND GetWindow(HWND hwnd, UINT relation) {
  Window *window = Checked(hwnd);
  if (!window) return nullptr;
  if (relation == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
  if (relation == GW_OWNER) return window->owner;
  Window *parent = FindWindowRecord(window->parent);
  if (!parent) return nullptr;
  auto &list = parent->children;
  auto it = std::find(list.begin(), list.end(), hwnd);
  switch (relation) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return (it != list.end() && it + 1 != list.end()) ? *(it + 1) : nullptr;
    case GW_HWNDPREV: return (it != list.begin() && it != list.end()) ? *(it - 1) : nullptr;
    default: return nullptr;
  }
}

BOOL IsChild(HWND parent, HWND hwnd) {
  for (Window *window = FindWindowRecord(hwnd); window && (window->style & WS_CHILD);
       window = FindWindowRecord(window->parent)) {
    if (window->parent == parent) return TRUE;
  }
  return FALSE;
}

HWND GetDesktopWindow() { return nullptr; }

