#include "core/skinmenu.h"

#include <cstring>
#include <map>

#include "platform/gdi.h"
#include "platform/kernel.h"

COLORREF MenuDark = RGB(13, 96, 136);
COLORREF MenuLight = RGB(159, 192, 208);

namespace {

constexpr int kStrip = 5;
constexpr int kBorder = 3;  // the frame around the items that the skin keeps

struct HookState {
  std::map<HWND, CSkinMenu *> menus;
  CSkinMenu *current = nullptr;
  HMENU pending = nullptr;
  HHOOK hook = nullptr;
  bool dispatching = false;
};

HookState &State() {
  static HookState state;
  return state;
}

bool IsMenuWindow(HWND hwnd) {
  char name[16] = {};
  return GetClassNameA(hwnd, name, sizeof name) > 0 && std::strncmp(name, "#32768", 6) == 0;
}

LRESULT SkinMenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (CSkinMenu *object = CSkinMenu::FromWindow(hwnd)) return object->WindowProc(hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Subclass(HWND hwnd) {
  HookState &s = State();
  if (s.menus.count(hwnd)) return;
  auto *object = new CSkinMenu(hwnd);
  object->m_oldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinMenuProc)));
  if (object->m_oldProc == nullptr) {
    delete object;
    return;
  }
  s.current = object;
  object->AttachMenu(s.pending, s.pending ? CSkinMenu::FindParentOf(s.pending) : nullptr);
  s.menus[hwnd] = object;
}

void Unsubclass(HWND hwnd) {
  HookState &s = State();
  s.current = nullptr;
  s.pending = nullptr;
  auto it = s.menus.find(hwnd);
  if (it == s.menus.end()) return;
  CSkinMenu *object = it->second;
  s.menus.erase(it);
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(object->m_oldProc));
  for (auto &[window, other] : s.menus) {
    if (other->m_parent == object) other->m_parent = nullptr;
  }
  delete object;
}

void Dispatch(const CWPSTRUCT &m) {
  HookState &s = State();
  switch (m.message) {
    case WM_CREATE:
      if (IsMenuWindow(m.hwnd)) Subclass(m.hwnd);
      break;
    case WM_DESTROY:
    case WM_NCDESTROY:
      if (IsMenuWindow(m.hwnd)) Unsubclass(m.hwnd);
      break;
    case WM_SHOWWINDOW:
      if (IsMenuWindow(m.hwnd)) {
        if (m.wParam) {
          Subclass(m.hwnd);
        } else {
          Unsubclass(m.hwnd);
        }
      }
      break;
    case WM_WINDOWPOSCHANGING:
      if (IsMenuWindow(m.hwnd)) {
        auto *pos = reinterpret_cast<const WINDOWPOS *>(m.lParam);
        if (pos->flags & SWP_SHOWWINDOW) {
          Subclass(m.hwnd);
        } else if (pos->flags & SWP_HIDEWINDOW) {
          Unsubclass(m.hwnd);
        }
      }
      break;
    case MN_SHOWING:
      if (m.wParam && IsMenuWindow(m.hwnd)) Subclass(m.hwnd);
      break;
    case WM_INITMENUPOPUP: {
      HMENU menu = reinterpret_cast<HMENU>(m.wParam);
      if (s.current != nullptr && s.current->m_hMenu == nullptr) {
        s.current->AttachMenu(menu, CSkinMenu::FindParentOf(menu));
        s.pending = nullptr;
      } else {
        s.pending = menu;
      }
      s.current = nullptr;
      break;
    }
    case WM_CONTEXTMENU:
      s.current = nullptr;
      break;
  }
}

LRESULT HookProc(int code, WPARAM wParam, LPARAM lParam) {
  HookState &s = State();
  if (code == HC_ACTION && !s.dispatching && lParam != 0) {
    s.dispatching = true;
    Dispatch(*reinterpret_cast<const CWPSTRUCT *>(lParam));
    s.dispatching = false;
  }
  return CallNextHookEx(s.hook, code, wParam, lParam);
}

}  // namespace

int InstallMenuSkinHook() {
  HookState &s = State();
  if (s.hook == nullptr) s.hook = SetWindowsHookExA(WH_CALLWNDPROC, &HookProc, nullptr, GetCurrentThreadId());
  return 1;
}

CSkinMenu::CSkinMenu(HWND window) : m_hWnd(window) {}

CSkinMenu *CSkinMenu::FromWindow(HWND window) {
  auto &menus = State().menus;
  auto it = menus.find(window);
  return it == menus.end() ? nullptr : it->second;
}

CSkinMenu *CSkinMenu::FromMenu(HMENU menu) {
  if (menu == nullptr) return nullptr;
  for (auto &[window, object] : State().menus) {
    if (object->m_hMenu == menu) return object;
  }
  return nullptr;
}

bool CSkinMenu::ItemRect(int item, RECT *rect) const {
  if (m_hMenu == nullptr || item < 0 || !GetMenuItemRect(m_hWnd, m_hMenu, UINT(item), rect)) return false;
  POINT origin{0, 0};
  ClientToScreen(m_hWnd, &origin);
  OffsetRect(rect, kStrip - origin.x, -origin.y);
  return true;
}

void CSkinMenu::AttachMenu(HMENU menu, CSkinMenu *parent) {
  if (m_hMenu == nullptr || menu == nullptr) m_hMenu = IsMenu(menu) ? menu : nullptr;
  m_parent = parent;
}

CSkinMenu *CSkinMenu::FindParentOf(HMENU menu) {
  if (menu == nullptr) return nullptr;
  for (auto &[window, object] : State().menus) {
    HMENU own = object->m_hMenu;
    if (own == nullptr) continue;
    int n = GetMenuItemCount(own);
    for (int i = 0; i < n; ++i) {
      if (GetSubMenu(own, i) == menu) return object;
    }
  }
  return nullptr;
}

LRESULT CSkinMenu::Previous(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(m_oldProc, m_hWnd, message, wParam, lParam);
}

// The frame and the strip, drawn around the client area.
void CSkinMenu::PaintFrame(HDC dc) {
  RECT w;
  GetWindowRect(m_hWnd, &w);
  OffsetRect(&w, -w.left, -w.top);
  RECT client{w.left + kBorder + kStrip, w.top + kBorder, w.right - kBorder, w.bottom - kBorder};

  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w.right > 0 ? w.right : 1, w.bottom > 0 ? w.bottom : 1);
  HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
  RECT strip{w.left + 3, w.top + 3, w.left + 3 + kStrip, w.bottom - 3};
  if (MenuDark == MenuLight) {
    HBRUSH b = CreateSolidBrush(MenuDark);
    FillRect(mem, &strip, b);
    DeleteObject(b);
  } else {
    TRIVERTEX v[2] = {{strip.left, strip.top, COLOR16(GetRValue(MenuDark) << 8), COLOR16(GetGValue(MenuDark) << 8),
                       COLOR16(GetBValue(MenuDark) << 8), 0},
                      {strip.right, strip.bottom, COLOR16(GetRValue(MenuLight) << 8),
                       COLOR16(GetGValue(MenuLight) << 8), COLOR16(GetBValue(MenuLight) << 8), 0}};
    GRADIENT_RECT g{0, 1};
    GradientFill(mem, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
  }
  // The rest white, then the frame.
  HRGN rest = CreateRectRgnIndirect(&w);
  HRGN stripRgn = CreateRectRgnIndirect(&strip);
  CombineRgn(rest, rest, stripRgn, RGN_DIFF);
  FillRgn(mem, rest, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DeleteObject(stripRgn);
  DeleteObject(rest);
  HBRUSH frame = CreateSolidBrush(MenuDark);
  FrameRect(mem, &w, frame);
  DeleteObject(frame);

  int saved = SaveDC(dc);
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  BitBlt(dc, 0, 0, w.right, w.bottom, mem, 0, 0, SRCCOPY);
  RestoreDC(dc, saved);
  SelectObject(mem, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(mem);
}

LRESULT CSkinMenu::WindowProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      m_lastPaint = ps.rcPaint;
      SendMessageA(m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_CHECKVISIBLE);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PRINTCLIENT: {
      // Only the part the target shows is drawn (the update area when
      // painting): moving the selection redraws two items, not the menu.
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT c;
      GetClientRect(m_hWnd, &c);
      RECT area;
      if (GetClipBox(dc, &area) == NULLREGION || !IntersectRect(&area, &area, &c)) return 0;
      int cw = c.right > 0 ? c.right : 1, ch = c.bottom > 0 ? c.bottom : 1;
      HDC mem = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, cw, ch);
      HGDIOBJ old = SelectObject(mem, bitmap);
      IntersectClipRect(mem, area.left, area.top, area.right, area.bottom);
      FillRect(mem, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      POINT oldOrigin;
      SetViewportOrgEx(mem, kStrip, 0, &oldOrigin);
      Previous(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), lParam);
      SetViewportOrgEx(mem, oldOrigin.x, oldOrigin.y, nullptr);
      RECT inner{c.left + kBorder + kStrip, c.top + kBorder, c.right - kBorder, c.bottom - kBorder}, within;
      if (!IntersectRect(&within, &area, &inner) || !EqualRect(&within, &area)) PaintFrame(mem);
      BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, mem, area.left, area.top,
             SRCCOPY);
      SelectObject(mem, old);
      DeleteObject(bitmap);
      DeleteDC(mem);
      return 0;
    }
    case WM_WINDOWPOSCHANGING: {
      auto *pos = reinterpret_cast<WINDOWPOS *>(lParam);
      if (!(pos->flags & SWP_NOSIZE)) pos->cx += kStrip;
      if (m_parent != nullptr && !(pos->flags & SWP_NOMOVE)) {
        RECT parent;
        GetWindowRect(m_parent->m_hWnd, &parent);
        // Opening to the right: start at the parent's client edge.
        if (parent.left < pos->x) pos->x = parent.right - kBorder;
      }
      return Previous(message, wParam, lParam);
    }
    case MN_SHOWING:
      // The window was made at its final size: widen it once as it is shown
      // (and place a submenu) through the position change below.
      if (wParam && !m_widened) {
        m_widened = 1;
        RECT r;
        GetWindowRect(m_hWnd, &r);
        SetWindowPos(m_hWnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return Previous(message, wParam, lParam);
    case WM_NCCALCSIZE: {
      LRESULT result = Previous(message, wParam, lParam);
      reinterpret_cast<RECT *>(lParam)->left += kStrip;
      return result;
    }
    case WM_NCPAINT:
      if (!m_menuAnimation || !m_firstPaint) {
        HDC dc = GetWindowDC(m_hWnd);
        PaintFrame(dc);
        ReleaseDC(m_hWnd, dc);
        return 0;
      }
      return Previous(message, wParam, lParam);
    case MN_SELECTITEM: {
      int item = int(wParam);
      if (item == m_lastSelected) return Previous(message, wParam, lParam);
      RECT area{};
      RECT a{}, b{};
      if (m_hMenu != nullptr && item != -2 && m_lastSelected != -2) {
        ItemRect(m_lastSelected, &a);
        ItemRect(item, &b);
        UnionRect(&area, &a, &b);
      } else {
        GetClientRect(m_hWnd, &area);
      }
      // What the window invalidates itself is dropped: only the two items
      // (and whatever was waiting to be painted before) are repainted.
      RECT pending{};
      GetUpdateRect(m_hWnd, &pending, FALSE);
      LRESULT result = Previous(message, wParam, lParam);
      ValidateRect(m_hWnd, nullptr);
      m_lastSelected = item;
      if (!IsRectEmpty(&pending)) InvalidateRect(m_hWnd, &pending, FALSE);
      InvalidateRect(m_hWnd, &area, FALSE);
      if (!m_firstPaint) UpdateWindow(m_hWnd);
      if (m_menuAnimation && m_firstPaint) {
        HDC dc = GetWindowDC(m_hWnd);
        PaintFrame(dc);
        ReleaseDC(m_hWnd, dc);
      }
      m_firstPaint = 0;
      return result;
    }
    case WM_PRINT: {
      LRESULT result = Previous(message, wParam, lParam);
      PaintFrame(reinterpret_cast<HDC>(wParam));
      return result;
    }
  }
  return Previous(message, wParam, lParam);
}
