// Window records, classes, the message queue and the default window
// procedure. The Qt side (widgets, input, the event-loop hook-up) is in
// qthost.cpp.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/gdi.h"
#include "platform/kernel.h"
#include "platform/window_internal.h"

namespace platform {
namespace {

// ---- the window table ------------------------------------------------------
// Handles count up and are never given out twice, so a message that names a
// destroyed window can never reach a newer one.
// They step by 16 so that maps hashing a handle shifted right by 4 spread them.
constexpr uintptr_t kHandleBase = 0x10000;
constexpr uintptr_t kHandleStep = 16;
constexpr size_t kChunkBits = 12;
constexpr size_t kChunkSize = size_t(1) << kChunkBits;
constexpr size_t kChunkCount = size_t(1) << 16;

std::atomic<std::atomic<Window *> *> g_chunks[kChunkCount];
std::atomic<uint32_t> g_nextSerial{0};
std::atomic<size_t> g_liveWindows{0};

std::atomic<Window *> *SlotOf(HWND hwnd, bool create) {
  auto value = reinterpret_cast<uintptr_t>(hwnd);
  if (value < kHandleBase || (value - kHandleBase) % kHandleStep != 0) return nullptr;
  size_t serial = (value - kHandleBase) / kHandleStep;
  size_t chunk = serial >> kChunkBits;
  if (chunk >= kChunkCount) return nullptr;
  auto *slots = g_chunks[chunk].load(std::memory_order_acquire);
  if (!slots) {
    if (!create) return nullptr;
    auto *fresh = new std::atomic<Window *>[kChunkSize]();
    if (g_chunks[chunk].compare_exchange_strong(slots, fresh)) {
      slots = fresh;
    } else {
      delete[] fresh;
    }
  }
  return &slots[serial & (kChunkSize - 1)];
}

// ---- classes -----------------------------------------------------------------
struct ClassRegistry {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<WindowClass>> byName;  // lower-case names
  ATOM nextAtom = 0xC000;
};
ClassRegistry &Classes() {
  static ClassRegistry *registry = new ClassRegistry;
  return *registry;
}

std::string LowerAscii(const char *text) {
  std::string result;
  for (const char *p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x81 && p[1]) {  // a double-byte character: keep both bytes
      result += *p++;
      result += *p;
      continue;
    }
    result += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return result;
}

bool IsAtomName(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
  auto &classes = Classes();
  std::lock_guard guard(classes.lock);
  if (!name) return nullptr;
  if (IsAtomName(name)) {
    ATOM atom = ATOM(reinterpret_cast<uintptr_t>(name));
    for (auto &[key, cls] : classes.byName)
      if (cls->atom == atom) return cls;
    return nullptr;
  }
  auto it = classes.byName.find(LowerAscii(name));
  return it == classes.byName.end() ? nullptr : it->second;
}

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
thread_local ThreadState t_state;

std::atomic<uintptr_t> g_nextHook{0x100};

AppMessageHook &AppHook() {
  static AppMessageHook *hook = new AppMessageHook;
  return *hook;
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// ---- records -------------------------------------------------------------------
std::mutex &WindowTableLock() {
  static std::mutex *lock = new std::mutex;
  return *lock;
}

Window *FindWindowRecord(HWND hwnd) {
  auto *slot = SlotOf(hwnd, false);
  return slot ? slot->load(std::memory_order_acquire) : nullptr;
}

Window *OwnWindow(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window && window->threadId == CurrentContext().id ? window : nullptr;
}

int Window::BorderWidth() const {
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

namespace {

Window *Checked(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

LRESULT SendInternal(Window &window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowWithHooks(window, message, wParam, lParam, true);
}

LRESULT SendTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *window = OwnWindow(hwnd);
  return window ? SendInternal(*window, message, wParam, lParam) : 0;
}

void RemoveFromPaintList(HWND hwnd) { std::erase(t_state.paintList, hwnd); }

void MarkDirty(Window &window, const RECT *area, bool erase) {
  RECT client{0, 0, window.ClientWidth(), window.ClientHeight()};
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

void SendSizeAndMove(Window &window) {
  SendInternal(window, WM_MOVE, 0, MAKELPARAM(WORD(window.rect.left), WORD(window.rect.top)));
  SendInternal(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(window.ClientWidth()), WORD(window.ClientHeight())));
}

void DestroyTree(Window &window);

}  // namespace

// ---- sending with hooks --------------------------------------------------------
LRESULT CallWindowWithHooks(Window &window, UINT message, WPARAM wParam, LPARAM lParam, bool fromThisThread) {
  if (!t_state.hooks.empty()) {
    for (const Hook &hook : t_state.hooks) {
      if (hook.kind != WH_CALLWNDPROC) continue;
      CWPSTRUCT cwp{lParam, wParam, message, window.handle};
      hook.proc(HC_ACTION, fromThisThread ? 1 : 0, reinterpret_cast<LPARAM>(&cwp));
      break;  // the hook passes it on with CallNextHookEx
    }
    // A hook may have destroyed the window.
    if (FindWindowRecord(window.handle) != &window) return 0;
  }
  WNDPROC proc = window.proc;
  return proc ? proc(window.handle, message, wParam, lParam) : DefWindowProcA(window.handle, message, wParam, lParam);
}

bool ServeIncomingSends() {
  ThreadContext &self = CurrentContext();
  bool served = false;
  for (;;) {
    SentMessage *sent;
    {
      std::lock_guard guard(SyncLock());
      if (self.incoming.empty()) return served;
      sent = self.incoming.front();
      self.incoming.pop_front();
    }
    served = true;
    LRESULT result = 0;
    if (sent->task) {
      ++t_state.inSendDepth;
      (*sent->task)();
      --t_state.inSendDepth;
    } else if (Window *window = OwnWindow(sent->hwnd)) {
      ++t_state.inSendDepth;
      result = CallWindowWithHooks(*window, sent->message, sent->wParam, sent->lParam, false);
      --t_state.inSendDepth;
    }
    std::lock_guard guard(SyncLock());
    sent->result = result;
    sent->done = true;
    if (sent->sender) sent->sender->wake.notify_all();
  }
}

}  // namespace platform

using namespace platform;

// ---- classes -------------------------------------------------------------------
ATOM RegisterClassExA(const WNDCLASSEXA *wc) {
  if (!wc || !wc->lpszClassName || IsAtomName(wc->lpszClassName) || !*wc->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto &classes = Classes();
  std::lock_guard guard(classes.lock);
  std::string key = LowerAscii(wc->lpszClassName);
  if (classes.byName.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->atom = classes.nextAtom++;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->classExtra = std::max(0, wc->cbClsExtra);
  cls->windowExtra = std::max(0, wc->cbWndExtra);
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  classes.byName[key] = cls;
  return cls->atom;
}

ATOM RegisterClassA(const WNDCLASSA *wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style,         wc->lpfnWndProc,  wc->cbClsExtra,
                 wc->cbWndExtra,      wc->hInstance,     wc->hIcon,        wc->hCursor,
                 wc->hbrBackground,   wc->lpszMenuName,  wc->lpszClassName, nullptr};
  return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  auto &classes = Classes();
  std::lock_guard guard(classes.lock);
  classes.byName.erase(LowerAscii(cls->name.c_str()));
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA *wc) {
  auto cls = FindClass(className);
  if (!cls || !wc) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *wc = WNDCLASSA{cls->style,  cls->proc,   cls->classExtra, cls->windowExtra, cls->instance,
                  cls->icon,   cls->cursor, cls->background, nullptr,          nullptr};
  return TRUE;
}

int GetClassNameA(HWND hwnd, LPSTR buffer, int size) {
  Window *window = Checked(hwnd);
  if (!window || !buffer || size <= 0) return 0;
  int n = int(std::min<size_t>(window->cls->name.size(), size_t(size - 1)));
  std::memcpy(buffer, window->cls->name.data(), size_t(n));
  buffer[n] = 0;
  return n;
}

// ---- creation and destruction -------------------------------------------------
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Window *parentWindow = nullptr;
  if (parent) {
    parentWindow = Checked(parent);
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
    while (Window *w = FindWindowRecord(owner)) {
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
  {
    std::lock_guard guard(WindowTableLock());
    slot->store(record, std::memory_order_release);
  }
  ++g_liveWindows;
  if (parentWindow && (style & WS_CHILD)) parentWindow->children.push_back(hwnd);
  if (Window *owner = FindWindowRecord(record->owner)) owner->owned.push_back(hwnd);
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

namespace platform {
namespace {

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
  {
    std::lock_guard guard(WindowTableLock());
    SlotOf(hwnd, false)->store(nullptr, std::memory_order_release);
  }
  --g_liveWindows;
  delete &window;
}

}  // namespace
}  // namespace platform

BOOL DestroyWindow(HWND hwnd) {
  Window *window = Checked(hwnd);
  if (!window) return FALSE;
  if (window->threadId != CurrentContext().id) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (window->destroying) return TRUE;
  // Owned top-level windows go first, as on the desktop.
  std::vector<HWND> owned = window->owned;
  for (HWND h : owned) DestroyWindow(h);
  if (window->visible) ShowWindow(hwnd, SW_HIDE);
  if (FindWindowRecord(hwnd) != window || window->destroying) return TRUE;
  DestroyTree(*window);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window != nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD *processId) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return window->threadId;
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
    default:
      if (index >= 0 && size_t(index) + sizeof(LONG_PTR) <= window->extra.size()) {
        LONG_PTR value;
        std::memcpy(&value, window->extra.data() + index, sizeof value);
        return value;
      }
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
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
    default:
      if (index >= 0 && size_t(index) + sizeof(LONG_PTR) <= window->extra.size()) {
        std::memcpy(window->extra.data() + index, &value, sizeof value);
      } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
  }
  return old;
}

LONG GetWindowLongA(HWND hwnd, int index) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  if (index >= 0) {
    if (size_t(index) + sizeof(LONG) > window->extra.size()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    LONG value;
    std::memcpy(&value, window->extra.data() + index, sizeof value);
    return value;
  }
  return LONG(GetWindowLongPtrA(hwnd, index));
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
  Window *window = Checked(hwnd);
  if (!window) return 0;
  if (index >= 0) {
    if (size_t(index) + sizeof(LONG) > window->extra.size()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    LONG old;
    std::memcpy(&old, window->extra.data() + index, sizeof old);
    std::memcpy(window->extra.data() + index, &value, sizeof value);
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

// ---- geometry and visibility ---------------------------------------------------
BOOL ShowWindow(HWND hwnd, int command) {
  Window *window = Checked(hwnd);
  if (!window) return FALSE;
  bool was = window->visible;
  bool show = command != SW_HIDE && command != SW_MINIMIZE;
  if (show == was) return was;
  SendInternal(*window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!IsWindow(hwnd)) return was;
  window->visible = show;
  if (show)
    window->style |= WS_VISIBLE;
  else
    window->style &= ~DWORD(WS_VISIBLE);
  HostVisibilityChanged(*window);
  if (show) MarkDirty(*window, nullptr, true);
  if (!show && t_state.capture == hwnd) ReleaseCapture();
  bool activate = show && !(window->style & WS_CHILD) && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                  command != SW_SHOWMINNOACTIVE && !(window->exStyle & WS_EX_NOACTIVATE);
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
    }
  }
  if (insertAfter == HWND_TOPMOST) window->exStyle |= WS_EX_TOPMOST;
  if (insertAfter == HWND_NOTOPMOST) window->exStyle &= ~DWORD(WS_EX_TOPMOST);
  if (moved || sized || !(pos.flags & SWP_NOZORDER)) HostGeometryChanged(*window);
  if (!(pos.flags & SWP_NOREDRAW) && sized) MarkDirty(*window, nullptr, true);
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
  POINT origin = ScreenOrigin(*window);
  RECT client = window->ClientRect();
  point->x += origin.x + client.left;
  point->y += origin.y + client.top;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT *point) {
  Window *window = Checked(hwnd);
  if (!window || !point) return FALSE;
  POINT origin = ScreenOrigin(*window);
  RECT client = window->ClientRect();
  point->x -= origin.x + client.left;
  point->y -= origin.y + client.top;
  return TRUE;
}

HWND GetParent(HWND hwnd) {
  Window *window = Checked(hwnd);
  if (!window) return nullptr;
  return (window->style & WS_CHILD) ? window->parent : window->owner;
}

HWND SetParent(HWND child, HWND newParent) {
  Window *window = Checked(child);
  if (!window) return nullptr;
  Window *parent = nullptr;
  if (newParent && !(parent = Checked(newParent))) return nullptr;
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

SHORT GetKeyState(int virtualKey) {
  BYTE state = t_state.keyState[virtualKey & 0xFF];
  return SHORT(((state & 0x80) ? 0x8000 : 0) | (state & 1));
}

SHORT GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }

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
  if (flags & RDW_INVALIDATE) MarkDirty(*window, rect, (flags & RDW_ERASE) != 0);
  if (flags & RDW_VALIDATE) Validate(*window);
  if (flags & RDW_ALLCHILDREN) {
    std::vector<HWND> children = window->children;
    for (HWND child : children) RedrawWindow(child, nullptr, nullptr, flags & ~UINT(RDW_UPDATENOW));
  }
  if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
  return TRUE;
}

namespace platform {
void ValidateAfterPaint(Window &window) { Validate(window); }
}  // namespace platform

// ---- the default window procedure -------------------------------------------------
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *window = OwnWindow(hwnd);
  if (!window) return 0;
  switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 0;
    case WM_SETTEXT:
      window->text = lParam ? reinterpret_cast<const char *>(lParam) : "";
      return TRUE;
    case WM_GETTEXT: {
      auto *buffer = reinterpret_cast<char *>(lParam);
      if (!buffer || wParam == 0) return 0;
      size_t n = std::min(window->text.size(), size_t(wParam) - 1);
      std::memcpy(buffer, window->text.data(), n);
      buffer[n] = 0;
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: return LRESULT(window->text.size());
    case WM_NCHITTEST: return HTCLIENT;
    case WM_MOUSEACTIVATE: return 1;  // activate
    case WM_WINDOWPOSCHANGED: {
      auto *pos = reinterpret_cast<const WINDOWPOS *>(lParam);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOMOVE))
        SendInternal(*window, WM_MOVE, 0, MAKELPARAM(WORD(window->rect.left), WORD(window->rect.top)));
      if (!(pos->flags & SWP_NOSIZE) && IsWindow(hwnd))
        SendInternal(*window, WM_SIZE, SIZE_RESTORED,
                     MAKELPARAM(WORD(window->ClientWidth()), WORD(window->ClientHeight())));
      return 0;
    }
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
      // Unhandled in a child, these travel up to the parent.
      if ((window->style & WS_CHILD) && window->parent) return SendMessageA(window->parent, message, wParam, lParam);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
      return 0;
    case WM_CANCELMODE:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    default: return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

// ---- sending and posting -------------------------------------------------------------
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ThreadContext &self = CurrentContext();
  Window *window = FindWindowRecord(hwnd);
  if (window && window->threadId == self.id) return CallWindowWithHooks(*window, message, wParam, lParam, true);

  std::shared_ptr<ThreadContext> target;
  {
    std::lock_guard guard(WindowTableLock());
    window = FindWindowRecord(hwnd);
    if (window) target = window->thread;
  }
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  SentMessage sent{hwnd, message, wParam, lParam};
  return DeliverAndWait(*target, sent);
}

namespace platform {

LRESULT DeliverAndWait(ThreadContext &target, SentMessage &sent) {
  ThreadContext &self = CurrentContext();
  sent.sender = &self;
  std::unique_lock lock(SyncLock());
  if (!target.alive) return 0;
  target.incoming.push_back(&sent);
  WakeThreadLocked(target);
  // While waiting, answer what others send us: two threads sending to each
  // other must not deadlock.
  while (!sent.done) {
    if (!self.incoming.empty()) {
      lock.unlock();
      ServeIncomingSends();
      lock.lock();
      continue;
    }
    self.wake.wait(lock);
  }
  return sent.result;
}

bool RunOnGuiThread(const std::function<void()> &work) {
  if (IsGuiThread()) {
    work();
    return true;
  }
  auto target = ContextOf(GuiThreadId());
  if (!target) return false;
  SentMessage sent{nullptr, 0, 0, 0};
  sent.task = &work;
  DeliverAndWait(*target, sent);
  return true;
}

}  // namespace platform

namespace platform {
namespace {

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

DWORD MessagePosNow() {
  POINT p = HostCursorPos();
  return DWORD(MAKELONG(WORD(p.x), WORD(p.y)));
}

}  // namespace
}  // namespace platform

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ThreadContext &self = CurrentContext();
  MSG msg{hwnd, message, wParam, lParam, GetTickCount(), POINT{}};
  if (!hwnd) return PostToContext(self, msg);
  Window *window = FindWindowRecord(hwnd);
  if (window && window->threadId == self.id) return PostToContext(self, msg);
  std::shared_ptr<ThreadContext> target;
  {
    std::lock_guard guard(WindowTableLock());
    window = FindWindowRecord(hwnd);
    if (window) target = window->thread;
  }
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

}  // namespace

bool InExplicitGetMessage() { return t_state.explicitGetDepth > 0; }

long long NextTimerDueMs() {
  long long next = -1;
  long long now = NowMs();
  for (const Timer &timer : t_state.timers) {
    long long in = std::max(0LL, timer.due - now);
    if (next < 0 || in < next) next = in;
  }
  return next;
}

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
  for (const Hook &hook : state.hooks) {
    if (hook.kind != WH_GETMESSAGE) continue;
    hook.proc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
    break;
  }
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
  if (remove & PM_REMOVE) {
    for (const auto &hook : t_state.hooks)
      if (hook.kind == WH_GETMESSAGE) {
        hook.proc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(msg));
        break;
      }
  }
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
      for (const auto &hook : t_state.hooks)
        if (hook.kind == WH_GETMESSAGE) {
          hook.proc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(msg));
          break;
        }
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    if (IsGuiThread()) {
      ++t_state.explicitGetDepth;
      HostArmTimer(self, NextTimerDueMs());
      HostProcessEvents(true);
      --t_state.explicitGetDepth;
    } else {
      long long due = NextTimerDueMs();
      std::unique_lock lock(SyncLock());
      bool posted;
      {
        std::lock_guard guard(self.postLock);
        posted = !self.posted.empty();
      }
      if (posted || !self.incoming.empty() || t_state.quitPosted) continue;
      if (due < 0)
        self.wake.wait(lock);
      else
        self.wake.wait_for(lock, std::chrono::milliseconds(due));
    }
  }
}

BOOL WaitMessage() {
  MSG msg;
  ThreadContext &self = CurrentContext();
  while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (IsGuiThread()) {
      ++t_state.explicitGetDepth;
      HostArmTimer(self, NextTimerDueMs());
      HostProcessEvents(true);
      --t_state.explicitGetDepth;
    } else {
      std::unique_lock lock(SyncLock());
      self.wake.wait_for(lock, std::chrono::milliseconds(10));
    }
  }
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
