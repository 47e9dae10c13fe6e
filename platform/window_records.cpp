// The window table, creation and destruction, and what is stored with a
// window: long values and text.
#include <strings.h>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {
namespace {

constexpr size_t kChunkBits = 12;
constexpr size_t kChunkSize = size_t(1) << kChunkBits;
constexpr size_t kChunkCount = size_t(1) << 16;

std::atomic<WindowSlot *> g_chunks[kChunkCount];
std::atomic<uint32_t> g_nextSerial{0};
std::atomic<size_t> g_liveWindows{0};

void SendSizeAndMove(Window &window) {
  SendInternal(window, WM_MOVE, 0, MAKELPARAM(WORD(window.rect.left), WORD(window.rect.top)));
  SendInternal(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(window.ClientWidth()), WORD(window.ClientHeight())));
}

void DestroyTree(Window &window) {
  HWND hwnd = window.handle;
  window.destroying = true;
  ThreadState &state = t_state;
  if (state.capture == hwnd) ReleaseCapture();
  SendInternal(window, WM_DESTROY, 0, 0);
  // Children first die whole; then this window gets its last message.
  std::vector<HWND> children = window.children;
  for (HWND child : children) {
    if (Window *c = OwnWindow(child); c && !c->destroying) DestroyTree(*c);
  }
  if (state.focus == hwnd) state.focus = nullptr;
  if (state.active == hwnd) state.active = nullptr;
  SendInternal(window, WM_NCDESTROY, 0, 0);

  std::erase_if(state.timers, [&](const Timer &t) { return t.hwnd == hwnd; });
  RemoveFromPaintList(hwnd);
  std::erase_if(state.keyTexts, [&](const KeyText &k) { return k.hwnd == hwnd; });
  if (window.parent) {
    if (Window *p = FindWindowRecord(window.parent)) std::erase(p->children, hwnd);
  }
  if (Window *owner = FindWindowRecord(window.owner)) std::erase(owner->owned, hwnd);
  HostDestroy(window);
  SlotOf(hwnd, false)->window.store(nullptr, std::memory_order_release);
  --g_liveWindows;
  delete &window;
}

// The window's extra bytes from index on, size of them; null with
// ERROR_INVALID_PARAMETER when they don't all lie inside.
unsigned char *ExtraAt(Window &window, int index, size_t size) {
  if (index >= 0 && size_t(index) + size <= window.extra.size()) return window.extra.data() + index;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

}  // namespace

thread_local ThreadState t_state;

WindowSlot *SlotOf(HWND hwnd, bool create) {
  auto value = reinterpret_cast<uintptr_t>(hwnd);
  if (value < kHandleBase || (value - kHandleBase) % kHandleStep != 0) return nullptr;
  size_t serial = (value - kHandleBase) / kHandleStep;
  size_t chunk = serial >> kChunkBits;
  if (chunk >= kChunkCount) return nullptr;
  auto *slots = g_chunks[chunk].load(std::memory_order_acquire);
  if (!slots) {
    if (!create) return nullptr;
    auto *fresh = new WindowSlot[kChunkSize];
    if (g_chunks[chunk].compare_exchange_strong(slots, fresh)) {
      slots = fresh;
    } else {
      delete[] fresh;
    }
  }
  return &slots[serial & (kChunkSize - 1)];
}

// ---- records -------------------------------------------------------------------
Window *FindWindowRecord(HWND hwnd) {
  auto *slot = SlotOf(hwnd, false);
  return slot ? slot->window.load(std::memory_order_acquire) : nullptr;
}

Window *OwnWindow(HWND hwnd) {
  // The owner is asked first: a window of another thread may be deleted by
  // it at any moment, one of ours only by us.
  auto *slot = SlotOf(hwnd, false);
  if (!slot || slot->thread.load(std::memory_order_relaxed) != CurrentContextId()) return nullptr;
  return slot->window.load(std::memory_order_acquire);
}

std::shared_ptr<ThreadContext> ThreadOfWindow(HWND hwnd) {
  DWORD thread = WindowThreadId(hwnd);
  return thread ? ContextOf(thread) : nullptr;
}

DWORD WindowThreadId(HWND hwnd) {
  auto *slot = SlotOf(hwnd, false);
  if (!slot || !slot->window.load(std::memory_order_acquire)) return 0;
  return slot->thread.load(std::memory_order_relaxed);
}

int Window::BorderWidth() const {
  if (OwnFrame()) return kOwnFrameWidth;
  if (!(style & WS_CHILD)) return 0;  // top-level frames belong to the desktop's window manager
  if (exStyle & WS_EX_CLIENTEDGE) return 2;
  if ((style & WS_BORDER) || (exStyle & WS_EX_STATICEDGE)) return 1;
  return 0;
}

RECT Window::ClientRect() const {
  int border = BorderWidth();
  LONG width = std::max<LONG>(0, rect.right - rect.left - 2 * border);
  LONG height = std::max<LONG>(0, rect.bottom - rect.top - 2 * border);
  return RECT{border, border, border + width, border + height};
}

size_t LiveWindowCount() { return g_liveWindows.load(); }

Window *Checked(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

Window *OwnChecked(HWND hwnd) {
  Window *window = OwnWindow(hwnd);
  if (!window) SetLastError(IsWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

}  // namespace platform

using namespace platform;

// ---- creation and destruction -------------------------------------------------
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  // The new window joins its parent's (or owner's) lists, so that window
  // must be one of this thread's.
  Window *parentWindow = nullptr;
  if (parent) {
    parentWindow = OwnChecked(parent);
    if (!parentWindow) return nullptr;
  } else if (style & WS_CHILD) {
    SetLastError(ERROR_INVALID_PARAMETER);  // a child needs a parent
    return nullptr;
  }
  InitGuiThread();

  auto window = std::make_unique<Window>();
  ThreadContext &context = CurrentContext();
  window->threadId = context.id;
  window->thread = ContextOf(context.id);
  window->cls = cls;
  window->proc = cls->proc;
  window->style = style;
  window->exStyle = exStyle;
  window->instance = instance;
  window->extra.assign(size_t(cls->windowExtra), 0);
  if (windowName) window->text = windowName;
  if (style & WS_CHILD) {
    window->parent = parent;
    window->id = reinterpret_cast<LONG_PTR>(menu);
  } else if (parentWindow) {
    // A top-level window's "parent" is its owner, itself top-level.
    HWND owner = parent;
    while (Window *w = OwnWindow(owner)) {
      if (!(w->style & WS_CHILD) || !w->parent) break;
      owner = w->parent;
    }
    window->owner = owner;
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  window->rect = RECT{x, y, x + width, y + height};

  uint32_t serial = g_nextSerial.fetch_add(1);
  HWND hwnd = reinterpret_cast<HWND>(kHandleBase + uintptr_t(serial) * kHandleStep);
  auto *slot = SlotOf(hwnd, true);
  if (!slot) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  window->handle = hwnd;
  Window *record = window.release();
  slot->thread.store(record->threadId, std::memory_order_relaxed);
  slot->window.store(record, std::memory_order_release);
  ++g_liveWindows;
  if (parentWindow && (style & WS_CHILD)) parentWindow->children.push_back(hwnd);
  if (Window *owner = OwnWindow(record->owner)) owner->owned.push_back(hwnd);
  HostCreate(*record);

  CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, LONG(style), windowName,
                   IsAtomName(className) ? cls->name.c_str() : className, exStyle};
  auto alive = [&] { return FindWindowRecord(hwnd) == record && !record->destroying; };
  if (!(style & WS_CHILD)) {
    MINMAXINFO mmi{};
    mmi.ptMaxTrackSize = POINT{32767, 32767};
    SendInternal(*record, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  }
  bool ok = alive() && SendInternal(*record, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) != 0;
  if (ok && alive()) {
    NCCALCSIZE_PARAMS calc{};
    calc.rgrc[0] = record->rect;
    SendInternal(*record, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&calc.rgrc[0]));
  }
  ok = ok && alive() && SendInternal(*record, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) != -1;
  if (!ok || !alive()) {
    if (FindWindowRecord(hwnd) == record) DestroyWindow(hwnd);
    return nullptr;
  }
  SendSizeAndMove(*record);
  if (!alive()) return nullptr;
  if (style & WS_VISIBLE) {
    record->style &= ~DWORD(WS_VISIBLE);
    ShowWindow(hwnd, SW_SHOW);
  }
  return alive() ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  Window *window = OwnChecked(hwnd);
  if (!window) return FALSE;
  if (window->destroying) return TRUE;
  // Owned top-level windows go first, as on the desktop.
  std::vector<HWND> owned = window->owned;
  for (HWND h : owned) DestroyWindow(h);
  if (window->visible) ShowWindow(hwnd, SW_HIDE);
  if (FindWindowRecord(hwnd) != window || window->destroying) return TRUE;
  DestroyTree(*window);
  return TRUE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  // Top-level windows of this thread, oldest first; handles are never reused.
  const uint32_t made = g_nextSerial.load();
  for (uint32_t serial = 0; serial < made; ++serial) {
    HWND hwnd = reinterpret_cast<HWND>(kHandleBase + uintptr_t(serial) * kHandleStep);
    Window *window = OwnWindow(hwnd);
    if (!window || (window->style & WS_CHILD) || window->destroying) continue;
    if (className && (!window->cls || strcasecmp(window->cls->name.c_str(), className) != 0)) continue;
    if (windowName && window->text != windowName) continue;
    return hwnd;
  }
  return nullptr;
}

BOOL IsWindow(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window != nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD *processId) {
  DWORD thread = WindowThreadId(hwnd);
  if (!thread) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId) *processId = GetCurrentProcessId();
  return thread;
}

// ---- long values ---------------------------------------------------------------
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(window->parent ? window->parent : window->owner);
    case GWLP_ID: return window->id;
    case GWL_STYLE: return LONG_PTR(LONG(window->style));
    case GWL_EXSTYLE: return LONG_PTR(LONG(window->exStyle));
    case GWLP_USERDATA: return window->userData;
    default: {
      LONG_PTR value = 0;
      if (const unsigned char *at = ExtraAt(*window, index, sizeof value)) std::memcpy(&value, at, sizeof value);
      return value;
    }
  }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  LONG_PTR old = GetWindowLongPtrA(hwnd, index);
  switch (index) {
    case GWLP_WNDPROC: window->proc = reinterpret_cast<WNDPROC>(value); break;
    case GWLP_HINSTANCE: window->instance = reinterpret_cast<HINSTANCE>(value); break;
    case GWLP_ID: window->id = value; break;
    case GWLP_USERDATA: window->userData = value; break;
    case GWL_STYLE: {
      DWORD style = DWORD(value);
      bool wasVisible = window->style & WS_VISIBLE;
      window->style = (style & ~DWORD(WS_VISIBLE)) | (wasVisible ? DWORD(WS_VISIBLE) : DWORD(0));
      break;
    }
    case GWL_EXSTYLE: window->exStyle = DWORD(value); break;
    case GWLP_HWNDPARENT:
      if (!(window->style & WS_CHILD)) {
        if (Window *old = FindWindowRecord(window->owner)) std::erase(old->owned, hwnd);
        window->owner = reinterpret_cast<HWND>(value);
        if (Window *owner = FindWindowRecord(window->owner)) owner->owned.push_back(hwnd);
      }
      break;
    default: {
      unsigned char *at = ExtraAt(*window, index, sizeof value);
      if (!at) return 0;
      std::memcpy(at, &value, sizeof value);
    }
  }
  return old;
}

LONG GetWindowLongA(HWND hwnd, int index) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  if (index >= 0) {
    LONG value = 0;
    if (const unsigned char *at = ExtraAt(*window, index, sizeof value)) std::memcpy(&value, at, sizeof value);
    return value;
  }
  return LONG(GetWindowLongPtrA(hwnd, index));
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  if (index >= 0) {
    unsigned char *at = ExtraAt(*window, index, sizeof value);
    if (!at) return 0;
    LONG old;
    std::memcpy(&old, at, sizeof old);
    std::memcpy(at, &value, sizeof value);
    return old;
  }
  return LONG(SetWindowLongPtrA(hwnd, index, value));
}

// ---- text ------------------------------------------------------------------------
BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
  Window *window = Checked(hwnd);
  if (!window) return FALSE;
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) != 0;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  if (!Checked(hwnd) || !buffer || size <= 0) return 0;
  return int(SendMessageA(hwnd, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
  if (!Checked(hwnd)) return 0;
  return int(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}
