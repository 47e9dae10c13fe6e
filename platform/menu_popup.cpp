// The popup menu window (class "#32768") and the menu loop. The loop owns
// the keyboard and the mouse while a menu is shown: keys move the selection
// and choose, a click on an item chooses it, a click elsewhere or Esc at the
// top level dismisses the menu. Owner-drawn items are measured and drawn by
// the owner window (WM_MEASUREITEM / WM_DRAWITEM).
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi.h"
#include "platform/menu.h"
#include "platform/menu_internal.h"
#include "platform/winctrl.h"

namespace platform {
namespace {

constexpr int kMargin = 3;         // inside the window, around the items
constexpr int kCheckWidth = 20;    // room for the check mark on the left
constexpr int kArrowWidth = 16;    // room for a submenu's arrow on the right
constexpr int kSeparatorHeight = 9;

struct Popup {
  HWND hwnd = nullptr;
  HMENU menu = nullptr;
  int selected = -1;
  std::vector<RECT> items;  // client rectangles, one per item
  Popup *parent = nullptr;
  Popup *child = nullptr;
};

struct Loop {
  HWND owner = nullptr;
  UINT flags = 0;
  std::vector<std::unique_ptr<Popup>> popups;  // top first
  bool done = false;
  UINT chosen = 0;
};

Loop *g_loop = nullptr;

Popup *PopupOf(HWND hwnd) {
  if (!g_loop) return nullptr;
  for (auto &p : g_loop->popups)
    if (p->hwnd == hwnd) return p.get();
  return nullptr;
}

HFONT MenuFont() {
  static HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "宋体");
  return font;
}

bool Selectable(const MenuItemRecord &item) { return !(item.type & MFT_SEPARATOR); }
bool Enabled(const MenuItemRecord &item) { return !(item.state & MFS_GRAYED); }

std::string LeftPart(const std::string &text) { return text.substr(0, text.find('\t')); }
std::string RightPart(const std::string &text) {
  size_t tab = text.find('\t');
  return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

SIZE TextSize(HDC dc, const std::string &text) {
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), int(text.size()), &r, DT_SINGLELINE | DT_CALCRECT);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Sizes the items and returns the window size.
SIZE Layout(Popup &popup) {
  MenuRecord *record = FindMenu(popup.menu);
  popup.items.clear();
  HDC dc = GetDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, MenuFont());
  int width = 0, y = kMargin;
  int leftWidth = 0, rightWidth = 0;
  std::vector<int> heights;
  for (size_t i = 0; i < record->items.size(); ++i) {
    MenuItemRecord &item = record->items[i];
    int h;
    if (item.type & MFT_SEPARATOR) {
      h = kSeparatorHeight;
    } else if (item.type & MFT_OWNERDRAW) {
      MEASUREITEMSTRUCT mis{ODT_MENU, 0, item.id, 0, 0, item.data};
      SendMessageA(g_loop->owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
      h = int(mis.itemHeight);
      width = std::max(width, int(mis.itemWidth) + kCheckWidth);
    } else {
      SIZE left = TextSize(dc, LeftPart(item.text));
      SIZE right = TextSize(dc, RightPart(item.text));
      leftWidth = std::max(leftWidth, int(left.cx));
      rightWidth = std::max(rightWidth, int(right.cx));
      h = std::max<int>(left.cy + 6, 18);
    }
    heights.push_back(h);
  }
  width = std::max(width, kCheckWidth + leftWidth + (rightWidth ? rightWidth + 16 : 0) + kArrowWidth);
  for (int h : heights) {
    popup.items.push_back(RECT{kMargin, y, kMargin + width, y + h});
    y += h;
  }
  SelectObject(dc, oldFont);
  ReleaseDC(nullptr, dc);
  return SIZE{width + 2 * kMargin, y + kMargin};
}

void Fill(HDC dc, const RECT &r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void PaintItems(Popup &popup, HDC dc) {
  MenuRecord *record = FindMenu(popup.menu);
  RECT client;
  GetClientRect(popup.hwnd, &client);
  Fill(dc, client, GetSysColor(COLOR_MENU));
  // A raised one-pixel frame.
  HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ oldPen = SelectObject(dc, light);
  MoveToEx(dc, 0, client.bottom - 1, nullptr);
  LineTo(dc, 0, 0);
  LineTo(dc, client.right - 1, 0);
  SelectObject(dc, dark);
  LineTo(dc, client.right - 1, client.bottom - 1);
  LineTo(dc, -1, client.bottom - 1);
  SelectObject(dc, oldPen);
  if (!record) {
    DeleteObject(light);
    DeleteObject(dark);
    return;
  }
  HGDIOBJ oldFont = SelectObject(dc, MenuFont());
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < record->items.size() && i < popup.items.size(); ++i) {
    const MenuItemRecord &item = record->items[i];
    RECT r = popup.items[i];
    bool selected = int(i) == popup.selected;
    if (item.type & MFT_OWNERDRAW) {
      DRAWITEMSTRUCT dis{ODT_MENU, 0, item.id, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(popup.menu), dc, r, item.data};
      if (selected) dis.itemState |= ODS_SELECTED;
      if (!Enabled(item)) dis.itemState |= ODS_GRAYED | ODS_DISABLED;
      if (item.state & MFS_CHECKED) dis.itemState |= ODS_CHECKED;
      SendMessageA(g_loop->owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
      continue;
    }
    if (item.type & MFT_SEPARATOR) {
      int y = (r.top + r.bottom) / 2;
      SelectObject(dc, dark);
      MoveToEx(dc, r.left + 1, y, nullptr);
      LineTo(dc, r.right - 1, y);
      SelectObject(dc, light);
      MoveToEx(dc, r.left + 1, y + 1, nullptr);
      LineTo(dc, r.right - 1, y + 1);
      SelectObject(dc, oldPen);
      continue;
    }
    if (selected) Fill(dc, r, GetSysColor(COLOR_HIGHLIGHT));
    COLORREF text = !Enabled(item) ? GetSysColor(COLOR_GRAYTEXT)
                    : selected     ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                   : GetSysColor(COLOR_MENUTEXT);
    SetTextColor(dc, text);
    if (item.state & MFS_CHECKED) {
      // A check mark, or a dot for a radio item.
      HPEN pen = CreatePen(PS_SOLID, 1, text);
      HGDIOBJ old = SelectObject(dc, pen);
      int cx = r.left + 8, cy = (r.top + r.bottom) / 2;
      if (item.type & MFT_RADIOCHECK) {
        HBRUSH brush = CreateSolidBrush(text);
        HGDIOBJ ob = SelectObject(dc, brush);
        Ellipse(dc, cx - 2, cy - 2, cx + 3, cy + 3);
        SelectObject(dc, ob);
        DeleteObject(brush);
      } else {
        for (int k = 0; k < 2; ++k) {
          MoveToEx(dc, cx - 3, cy - 1 + k, nullptr);
          LineTo(dc, cx - 1, cy + 1 + k);
          LineTo(dc, cx + 4, cy - 4 + k);
        }
      }
      SelectObject(dc, old);
      DeleteObject(pen);
    }
    RECT textRect{r.left + kCheckWidth, r.top, r.right - kArrowWidth, r.bottom};
    std::string left = LeftPart(item.text), right = RightPart(item.text);
    DrawTextA(dc, left.c_str(), int(left.size()), &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (!right.empty()) DrawTextA(dc, right.c_str(), int(right.size()), &textRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    if (item.submenu) {
      // A small arrow pointing right.
      HPEN pen = CreatePen(PS_SOLID, 1, text);
      HGDIOBJ old = SelectObject(dc, pen);
      int ax = r.right - 10, cy = (r.top + r.bottom) / 2;
      for (int k = 0; k < 4; ++k) {
        MoveToEx(dc, ax + k, cy - 3 + k, nullptr);
        LineTo(dc, ax + k, cy + 4 - k);
      }
      SelectObject(dc, old);
      DeleteObject(pen);
    }
  }
  SelectObject(dc, oldFont);
  DeleteObject(light);
  DeleteObject(dark);
}

void InvalidateItem(Popup &popup, int index) {
  if (index < 0 || size_t(index) >= popup.items.size()) return;
  InvalidateRect(popup.hwnd, &popup.items[size_t(index)], FALSE);
}

LRESULT PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Popup *popup = PopupOf(hwnd);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc && popup) PaintItems(*popup, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      if (popup && wParam) PaintItems(*popup, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND: return 1;
    case MN_GETHMENU: return popup ? reinterpret_cast<LRESULT>(popup->menu) : 0;
    case MN_SELECTITEM: {
      if (!popup) return 0;
      int index = int(INT_PTR(wParam));
      if (index == popup->selected) return 0;
      InvalidateItem(*popup, popup->selected);
      popup->selected = index;
      InvalidateItem(*popup, index);
      MenuRecord *record = FindMenu(popup->menu);
      if (record && index >= 0 && size_t(index) < record->items.size() && !(g_loop->flags & TPM_NONOTIFY)) {
        const MenuItemRecord &item = record->items[size_t(index)];
        UINT flags = (item.submenu ? UINT(MF_POPUP) : 0u) | MF_HILITE | (item.state & (MFS_GRAYED | MFS_CHECKED));
        WPARAM w = MAKEWPARAM(WORD(item.submenu ? UINT(index) : item.id), WORD(flags));
        SendMessageA(g_loop->owner, WM_MENUSELECT, w, reinterpret_cast<LPARAM>(popup->menu));
      }
      return 0;
    }
    case WM_MOUSEACTIVATE: return 3;  // no activation
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

void RegisterPopupClass() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSA wc{};
  wc.style = CS_SAVEBITS | CS_DBLCLKS | CS_DROPSHADOW;
  wc.lpfnWndProc = &PopupProc;
  wc.lpszClassName = "#32768";
  RegisterClassA(&wc);
}

void ClosePopup(Popup *popup);

Popup *OpenPopup(HMENU menu, int x, int y, UINT flags, Popup *parent) {
  if (!(g_loop->flags & TPM_NONOTIFY))
    SendMessageA(g_loop->owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                 MAKELPARAM(WORD(parent ? parent->selected : 0), 0));
  if (!FindMenu(menu)) return nullptr;
  auto popup = std::make_unique<Popup>();
  popup->menu = menu;
  popup->parent = parent;
  Popup *raw = popup.get();
  g_loop->popups.push_back(std::move(popup));
  SIZE size = Layout(*raw);
  if (flags & TPM_RIGHTALIGN) x -= size.cx;
  if (flags & TPM_CENTERALIGN) x -= size.cx / 2;
  if (flags & TPM_BOTTOMALIGN) y -= size.cy;
  if (flags & TPM_VCENTERALIGN) y -= size.cy / 2;
  // The menu stays on the screen.
  RECT screen{0, 0, 0, 0};
  if (QScreen *primary = QGuiApplication::primaryScreen()) {
    QRect g = primary->geometry();
    screen = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  }
  if (screen.right > screen.left) {
    x = std::max<int>(screen.left, std::min<int>(x, screen.right - size.cx));
    y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - size.cy));
  }
  raw->hwnd = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "#32768", "", WS_POPUP, x, y, size.cx, size.cy,
                              g_loop->owner, nullptr, nullptr, nullptr);
  if (!raw->hwnd) {
    g_loop->popups.pop_back();
    return nullptr;
  }
  SendMessageA(raw->hwnd, MN_SHOWING, 1, 0);
  SetWindowPos(raw->hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (parent) parent->child = raw;
  return raw;
}

void ClosePopup(Popup *popup) {
  if (!popup) return;
  ClosePopup(popup->child);
  popup->child = nullptr;
  if (popup->parent) popup->parent->child = nullptr;
  HWND hwnd = popup->hwnd;
  auto &list = g_loop->popups;
  // The window goes first (its messages still find the popup), then the record.
  if (hwnd) DestroyWindow(hwnd);
  list.erase(std::remove_if(list.begin(), list.end(), [popup](const std::unique_ptr<Popup> &p) { return p.get() == popup; }),
             list.end());
}

Popup *Deepest() {
  Popup *p = g_loop->popups.empty() ? nullptr : g_loop->popups.front().get();
  while (p && p->child) p = p->child;
  return p;
}

void Select(Popup &popup, int index) { SendMessageA(popup.hwnd, MN_SELECTITEM, WPARAM(INT_PTR(index)), 0); }

void OpenSubmenu(Popup &popup) {
  MenuRecord *record = FindMenu(popup.menu);
  if (!record || popup.selected < 0 || size_t(popup.selected) >= record->items.size()) return;
  const MenuItemRecord &item = record->items[size_t(popup.selected)];
  if (!item.submenu || !Enabled(item)) return;
  if (popup.child) {
    if (popup.child->menu == item.submenu) return;
    ClosePopup(popup.child);
  }
  RECT r = popup.items[size_t(popup.selected)];
  POINT corner{r.right, r.top - kMargin};
  ClientToScreen(popup.hwnd, &corner);
  OpenPopup(item.submenu, corner.x, corner.y, 0, &popup);
}

// Chooses the selected item: a command ends the loop, a submenu opens.
void Choose(Popup &popup) {
  MenuRecord *record = FindMenu(popup.menu);
  if (!record || popup.selected < 0 || size_t(popup.selected) >= record->items.size()) return;
  const MenuItemRecord &item = record->items[size_t(popup.selected)];
  if (!Selectable(item) || !Enabled(item)) return;
  if (item.submenu) {
    OpenSubmenu(popup);
    if (popup.child) {
      for (size_t i = 0; i < FindMenu(popup.child->menu)->items.size(); ++i)
        if (Selectable(FindMenu(popup.child->menu)->items[i])) {
          Select(*popup.child, int(i));
          break;
        }
    }
    return;
  }
  g_loop->chosen = item.id;
  g_loop->done = true;
}

void Step(Popup &popup, int direction) {
  MenuRecord *record = FindMenu(popup.menu);
  int n = record ? int(record->items.size()) : 0;
  if (n == 0) return;
  int index = popup.selected;
  for (int tries = 0; tries < n; ++tries) {
    index = index < 0 ? (direction > 0 ? 0 : n - 1) : (index + direction + n) % n;
    if (Selectable(record->items[size_t(index)])) {
      Select(popup, index);
      return;
    }
  }
}

void Key(WPARAM vk) {
  Popup *popup = Deepest();
  if (!popup) return;
  switch (vk) {
    case VK_UP: Step(*popup, -1); break;
    case VK_DOWN: Step(*popup, +1); break;
    case VK_RIGHT: Choose(*popup); break;
    case VK_RETURN: Choose(*popup); break;
    case VK_LEFT:
    case VK_ESCAPE:
      if (popup->parent)
        ClosePopup(popup);
      else
        g_loop->done = true;
      break;
    default: break;
  }
}

// An access key ('&' letter) chooses its item.
void Char(BYTE c) {
  Popup *popup = Deepest();
  MenuRecord *record = popup ? FindMenu(popup->menu) : nullptr;
  if (!record) return;
  int wanted = std::tolower(c);
  for (size_t i = 0; i < record->items.size(); ++i) {
    const std::string &text = record->items[i].text;
    size_t amp = text.find('&');
    if (amp == std::string::npos || amp + 1 >= text.size()) continue;
    if (std::tolower(static_cast<unsigned char>(text[amp + 1])) != wanted) continue;
    Select(*popup, int(i));
    Choose(*popup);
    return;
  }
}

// The popup and item under a screen point.
Popup *HitTest(POINT screen, int &index) {
  index = -1;
  for (auto it = g_loop->popups.rbegin(); it != g_loop->popups.rend(); ++it) {
    Popup *p = it->get();
    RECT w;
    GetWindowRect(p->hwnd, &w);
    if (screen.x < w.left || screen.x >= w.right || screen.y < w.top || screen.y >= w.bottom) continue;
    POINT local = screen;
    ScreenToClient(p->hwnd, &local);
    for (size_t i = 0; i < p->items.size(); ++i) {
      const RECT &r = p->items[i];
      if (local.x >= r.left && local.x < r.right && local.y >= r.top && local.y < r.bottom) index = int(i);
    }
    return p;
  }
  return nullptr;
}

void Mouse(const MSG &msg) {
  POINT screen{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
  if (msg.hwnd) ClientToScreen(msg.hwnd, &screen);
  int index;
  Popup *popup = HitTest(screen, index);
  switch (msg.message) {
    case WM_MOUSEMOVE:
      if (popup && index >= 0) {
        Select(*popup, index);
        if (popup->child && popup->child->menu != GetSubMenu(popup->menu, index)) ClosePopup(popup->child);
        OpenSubmenu(*popup);
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!popup) g_loop->done = true;  // a press outside dismisses the menu
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (msg.message == WM_RBUTTONUP && !(g_loop->flags & TPM_RIGHTBUTTON)) break;
      if (popup && index >= 0) {
        Select(*popup, index);
        Choose(*popup);
      }
      break;
    default: break;
  }
}

}  // namespace
}  // namespace platform

using namespace platform;

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS *) {
  if (g_loop || !FindMenu(menu) || !IsWindow(owner)) return FALSE;
  RegisterPopupClass();
  Loop loop;
  loop.owner = owner;
  loop.flags = flags;
  g_loop = &loop;
  if (!(flags & TPM_NONOTIFY)) {
    SendMessageA(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageA(owner, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  }
  Popup *top = OpenPopup(menu, x, y, flags, nullptr);
  if (top) {
    SetCapture(top->hwnd);
    while (!loop.done) {
      MSG msg;
      if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        WaitMessage();
        continue;
      }
      if (msg.message == WM_QUIT) {
        PostQuitMessage(int(msg.wParam));
        break;
      }
      if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        TranslateMessage(&msg);  // access keys arrive as characters
        Key(msg.wParam);
      } else if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
        Char(BYTE(msg.wParam));
      } else if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) {
        // taken by the menu
      } else if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) && msg.message != WM_MOUSEWHEEL) {
        Mouse(msg);
      } else {
        DispatchMessageA(&msg);
      }
      if (loop.popups.empty()) break;
    }
    if (GetCapture() && PopupOf(GetCapture())) ReleaseCapture();
  }
  while (!loop.popups.empty()) ClosePopup(loop.popups.front().get());
  g_loop = nullptr;
  if (!(flags & TPM_NONOTIFY)) {
    SendMessageA(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    SendMessageA(owner, WM_EXITMENULOOP, TRUE, 0);
  }
  if (flags & TPM_RETURNCMD) return BOOL(loop.chosen);
  if (loop.chosen && IsWindow(owner)) PostMessageA(owner, WM_COMMAND, MAKEWPARAM(WORD(loop.chosen), 0), 0);
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT *) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL EndMenu() {
  if (!g_loop) return FALSE;
  g_loop->done = true;
  PostMessageA(g_loop->owner, WM_NULL, 0, 0);  // wakes the loop
  return TRUE;
}

BOOL GetMenuItemRect(HWND, HMENU menu, UINT position, RECT *rect) {
  if (!g_loop || !rect) return FALSE;
  for (auto &p : g_loop->popups) {
    if (p->menu != menu || position >= p->items.size()) continue;
    RECT r = p->items[position];
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ClientToScreen(p->hwnd, &tl);
    ClientToScreen(p->hwnd, &br);
    *rect = RECT{tl.x, tl.y, br.x, br.y};
    return TRUE;
  }
  return FALSE;
}
