// Window classes: registration, look-up by name or atom.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/gbk.h"
#include "platform/internal/window_layer.h"
#include "platform/kernel.h"

namespace platform {
namespace {

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
    if (platform::IsGbkPair(p, 0)) {  // a double-byte character: keep both bytes
      result += *p++;
      result += *p;
      continue;
    }
    result += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return result;
}

}  // namespace

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

}  // namespace platform

using namespace platform;

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
