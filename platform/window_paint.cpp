// What is left to paint and when WM_PAINT comes.
#include <algorithm>
#include <mutex>

#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {

void RemoveFromPaintList(HWND hwnd) { std::erase(t_state.paintList, hwnd); }

void MarkDirty(Window &window, const RECT *area, bool erase) {
  const RECT inner = window.ClientRect();
  const RECT client{0, 0, inner.right - inner.left, inner.bottom - inner.top};
  RECT add = client;
  if (area) {
    add.left = std::max(area->left, client.left);
    add.top = std::max(area->top, client.top);
    add.right = std::min(area->right, client.right);
    add.bottom = std::min(area->bottom, client.bottom);
  }
  if (add.right <= add.left || add.bottom <= add.top) return;
  if (window.needsPaint) {
    window.dirty.left = std::min(window.dirty.left, add.left);
    window.dirty.top = std::min(window.dirty.top, add.top);
    window.dirty.right = std::max(window.dirty.right, add.right);
    window.dirty.bottom = std::max(window.dirty.bottom, add.bottom);
  } else {
    window.dirty = add;
    window.needsPaint = true;
    t_state.paintList.push_back(window.handle);
    if (window.thread) {
      std::lock_guard guard(SyncLock());
      WakeThreadLocked(*window.thread);
    }
  }
  window.needsErase = window.needsErase || erase;
}

void Validate(Window &window) {
  if (window.needsPaint) RemoveFromPaintList(window.handle);
  window.needsPaint = false;
  window.needsErase = false;
  window.dirty = RECT{};
}

void ValidateAfterPaint(Window &window) { Validate(window); }

}  // namespace platform

using namespace platform;

// ---- painting -------------------------------------------------------------------------
BOOL InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase) {
  Window *window = OwnWindow(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MarkDirty(*window, rect, erase != FALSE);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT *) {
  Window *window = OwnWindow(hwnd);
  if (!window) return FALSE;
  Validate(*window);
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT *rect, BOOL) {
  Window *window = OwnWindow(hwnd);
  if (!window) return FALSE;
  if (rect) *rect = window->needsPaint ? window->dirty : RECT{};
  return window->needsPaint;
}

BOOL UpdateWindow(HWND hwnd) {
  Window *window = OwnWindow(hwnd);
  if (!window) return FALSE;
  if (window->needsPaint && window->visible) {
    SendInternal(*window, WM_PAINT, 0, 0);
    if (Window *again = OwnWindow(hwnd); again && again->needsPaint) Validate(*again);
    if (Window *again = OwnWindow(hwnd)) HostUpdate(*again);
  }
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT *rect, HRGN, UINT flags) {
  Window *window = OwnWindow(hwnd);
  if (!window) return FALSE;
  if (flags & RDW_FRAME) window->needsNcPaint = true;
  if (flags & RDW_INVALIDATE) MarkDirty(*window, rect, (flags & RDW_ERASE) != 0);
  if (flags & RDW_VALIDATE) Validate(*window);
  if (flags & RDW_ALLCHILDREN) {
    std::vector<HWND> children = window->children;
    for (HWND child : children) RedrawWindow(child, nullptr, nullptr, flags & ~UINT(RDW_UPDATENOW));
  }
  if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
  return TRUE;
}
