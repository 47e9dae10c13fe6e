#include "core/emenubar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/chartgfx.h"
#include "platform/fileapi.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "classlib/menus.h"
#include "platform/winuser.h"

int32_t SkinLayout = 0;
int32_t SkinNumber = 0;

void SkinFileName(char *out, size_t size, const char *file) {
  std::snprintf(out, size, ".\\skin\\%i\\%i\\%s", int(SkinLayout), int(SkinNumber), file);
}

namespace {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

// Draws the bitmap at (x, y) in its own size.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (bitmap == nullptr) return;
  SIZE s = BitmapSize(bitmap);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(dc, x, y, s.cx, s.cy, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

std::string Cut(const std::string &text, size_t max) { return text.size() > max ? text.substr(0, max) : text; }

}  // namespace

EMenuBar::EMenuBar(TMainMenu *menu, const char *userFolder) : m_menu(menu), m_rects(32) {
  int layout = GetPrivateProfileIntA("UI", "Layout", 1, "..\\CFG\\defui.ini");
  int number = GetPrivateProfileIntA("UI", "Skin", 1, "..\\CFG\\defui.ini");
  char user[MAX_PATH + 16];
  std::snprintf(user, sizeof user, "%sdefui.ini", userFolder ? userFolder : "");
  SkinLayout = int32_t(GetPrivateProfileIntA("UI", "Layout", layout, user));
  SkinNumber = int32_t(GetPrivateProfileIntA("UI", "Skin", number, user));
  char ini[MAX_PATH];
  SkinFileName(ini, sizeof ini, "skin.ini");
  if (GetFileAttributesA(ini) == INVALID_FILE_ATTRIBUTES) {
    SkinLayout = 0;
    SkinNumber = 0;
  }
}

EMenuBar::~EMenuBar() {
  m_rects.RemoveAll();
  if (m_hWnd) DestroyWindow(m_hWnd);
  if (m_hBack) DeleteObject(m_hBack);
}

HFONT EMenuBar::MakeFont(const char *face, int height, int style) const {
  return CreateFontA(height, 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL, (style & 2) ? 1 : 0, 0, 0, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DWORD(DEFAULT_PITCH) | FF_SWISS, face);
}

void EMenuBar::SetCaption(const char *text) {
  size_t n = text ? std::min<size_t>(std::strlen(text), sizeof m_caption - 1) : 0;
  if (n > 0) std::memcpy(m_caption, text, n);
  m_caption[n] = 0;
  if (m_hWnd) Redraw();
}

HWND EMenuBar::MainWindow() const {
  HWND panel = GetParent(m_hWnd);
  return panel ? GetParent(panel) : nullptr;
}

bool EMenuBar::MainMaximized() const {
  HWND main = MainWindow();
  return main != nullptr && (GetWindowLongA(main, GWL_STYLE) & WS_MAXIMIZE) != 0;
}

int EMenuBar::RightWidth() const { return BitmapSize(m_hRight).cx; }

TMenuItem *EMenuBar::VisibleItem(int index) const {
  if (m_menu == nullptr) return nullptr;
  TMenuItem *top = m_menu->Items();
  for (int i = 0, seen = 0; i < top->Count(); ++i) {
    TMenuItem *item = top->Items(i);
    if (!item->Visible) continue;
    if (seen++ == index) return item;
  }
  return nullptr;
}

void EMenuBar::LayoutItems() {
  m_hot = -1;
  char ini[MAX_PATH];
  SkinFileName(ini, sizeof ini, "skin.ini");
  int margin = int(GetPrivateProfileIntA("UI", "MenuBarMargin", 0, ini));
  m_rects.RemoveAll();
  if (m_menu == nullptr) {
    m_fitCount = 0;
    return;
  }
  HDC dc = ::GetDC(nullptr);
  HFONT font = MakeFont(m_menuFace, m_menuFontHeight, 0);
  HGDIOBJ old = SelectObject(dc, font);
  int x = margin;
  for (int i = 0; TMenuItem *item = VisibleItem(i); ++i) {
    std::string caption = Cut(item->Caption, 255);
    RECT calc{0, 0, 0, 0};
    DrawTextA(dc, caption.c_str(), int(caption.size()), &calc, DT_CALCRECT | DT_SINGLELINE);
    int w = calc.right - calc.left;
    m_rects.Add(RECT{x, 2, x + w + 24, m_height - 2});
    x += w + 24;
  }
  SelectObject(dc, old);
  DeleteObject(font);
  ::ReleaseDC(nullptr, dc);
  OnSize(m_width, m_height);
}

void EMenuBar::OnSize(int width, int height) {
  int limit = width - RightWidth();
  m_fitCount = 0;
  for (int i = 0; i < m_rects.GetCount(); ++i) {
    RECT r = m_rects.GetAt(i);
    r.top = 2;
    r.bottom = height - 2;
    m_rects.SetAt(i, r);
    if (r.right < limit) ++m_fitCount;
  }
}

int EMenuBar::ItemAt(int x, int y) const {
  POINT p{x, y};
  for (int i = 0; i < m_fitCount && i < m_rects.GetCount(); ++i) {
    RECT r = m_rects.GetAt(i);
    if (PtInRect(&r, p)) return i;
  }
  return -1;
}

// The background: the left part, the right part, and between them each row
// shading from the left part's last column to the right part's first.
void EMenuBar::DrawBackground(HDC dc) {
  int W = m_width, R = RightWidth();
  SIZE left = BitmapSize(m_hLeft);
  RECT all{0, 0, m_backAllocWidth, m_backAllocHeight};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawBitmap(dc, m_hLeft, 0, 0);
  DrawBitmap(dc, m_hRight, W - R, 0);
  int from = left.cx, to = W - R;  // the gap is [from, to)
  if (m_hLeft == nullptr || from >= to) return;
  // A gap of one pixel takes the left colour (no division by zero).
  int span = to - from - 1;
  for (int y = 0; y < left.cy; ++y) {
    COLORREF c1 = GetPixel(dc, from - 1, y);
    COLORREF c2 = GetPixel(dc, to, y);
    for (int x = from; x < to; ++x) {
      double t = span > 0 ? double(x - from) / span : 0.0;
      auto ch = [t](int a, int b) { return BYTE(a - int((a - b) * t)); };
      SetPixelV(dc, x, y,
                RGB(ch(GetRValue(c1), GetRValue(c2)), ch(GetGValue(c1), GetGValue(c2)),
                    ch(GetBValue(c1), GetBValue(c2))));
    }
  }
}

void EMenuBar::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  int W = m_width, H = m_height, R = RightWidth();
  HDC mem = CreateCompatibleDC(dc);
  if (m_hBack == nullptr || W != m_backWidth || H != m_backHeight) {
    if (m_hBack == nullptr || W > m_backAllocWidth || H > m_backAllocHeight) {
      int aw = std::max<int>(std::max(m_backAllocWidth, W), 1);
      int ah = std::max<int>(std::max(m_backAllocHeight, H), 1);
      if (m_hBack) DeleteObject(m_hBack);
      m_hBack = CreateCompatibleBitmap(dc, aw, ah);
      m_backAllocWidth = aw;
      m_backAllocHeight = ah;
    }
    m_backWidth = W;
    m_backHeight = H;
    HGDIOBJ old = SelectObject(mem, m_hBack);
    DrawBackground(mem);
    SelectObject(mem, old);
  }
  HGDIOBJ old = SelectObject(mem, m_hBack);
  BitBlt(dc, 0, 0, W, H, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);

  // Window buttons, vertically centred.
  SIZE mn = BitmapSize(m_hMinimize), cl = BitmapSize(m_hClose);
  HBITMAP maxBitmap = MainMaximized() ? m_hRestore : m_hMaximize;
  SIZE mx = BitmapSize(maxBitmap);
  DrawBitmap(dc, m_hMinimize, W - mn.cx - mx.cx - cl.cx - 2, (H - mn.cy) / 2);
  DrawBitmap(dc, maxBitmap, W - mx.cx - cl.cx - 2, (H - mx.cy) / 2);
  DrawBitmap(dc, m_hClose, W - cl.cx - 2, (H - cl.cy) / 2);

  // Items.
  SetBkMode(dc, TRANSPARENT);
  HFONT menuFont = MakeFont(m_menuFace, m_menuFontHeight, 0);
  HGDIOBJ oldFont = SelectObject(dc, menuFont);
  int last = m_rects.GetCount() > 0 ? m_rects.GetAt(0).right : 0;
  for (int i = 0; i < m_fitCount && i < m_rects.GetCount(); ++i) {
    TMenuItem *item = VisibleItem(i);
    if (item == nullptr) break;
    RECT r = m_rects.GetAt(i);
    if (i == m_hot) {
      HBRUSH fill = CreateSolidBrush(m_hotFill);
      HPEN pen = CreatePen(PS_SOLID, 1, m_hotBorder);
      HGDIOBJ ob = SelectObject(dc, fill), op = SelectObject(dc, pen);
      RoundRect(dc, r.left, r.top, r.right, r.bottom, 5, 5);
      SelectObject(dc, ob);
      SelectObject(dc, op);
      DeleteObject(fill);
      DeleteObject(pen);
    }
    if (item->Caption == "特色功能") {
      SetTextColor(dc, m_highlightText);
    } else {
      SetTextColor(dc, i == m_hot ? m_hotBorder : m_menuText);
    }
    RECT t = r;
    t.top += 1;
    if (t.bottom - t.top > 31) t.bottom = t.top + (t.bottom - t.top) * 7 / 9;
    std::string caption = Cut(item->Caption, 127);
    DrawTextA(dc, caption.c_str(), int(caption.size()), &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    last = r.right;
  }
  SelectObject(dc, oldFont);
  DeleteObject(menuFont);

  // Caption, centred in the room between the last item and the right part;
  // left out when it does not fit.
  if (m_caption[0] != 0) {
    HFONT captionFont = MakeFont(m_captionFace, m_captionFontHeight, m_captionFontStyle);
    oldFont = SelectObject(dc, captionFont);
    SIZE text{};
    int n = int(std::strlen(m_caption));
    GetTextExtentPoint32A(dc, m_caption, n, &text);
    if (W - R - last >= text.cx) {
      SetTextColor(dc, m_captionText);
      BindGdiWrapper();
      TextOutAA(dc, last + (W - R - last - text.cx) / 2, (H - text.cy) / 2, m_caption, n);
    }
    SelectObject(dc, oldFont);
    DeleteObject(captionFont);
  }
  EndPaint(m_hWnd, &ps);
}

void EMenuBar::PostSysCommand(WPARAM command) {
  if (HWND main = MainWindow()) PostMessageA(main, WM_SYSCOMMAND, command, 0);
}

void EMenuBar::OnMouseMove(WPARAM keys, int x, int y) {
  if (!m_tracking) {
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, 0};
    TrackMouseEvent(&track);
    m_tracking = 1;
  }
  int hot = ItemAt(x, y);
  if (hot != m_hot) {
    if (m_hot >= 0 && m_hot < m_rects.GetCount()) {
      RECT r = m_rects.GetAt(m_hot);
      InvalidateRect(m_hWnd, &r, FALSE);
    }
    if (hot >= 0) {
      RECT r = m_rects.GetAt(hot);
      InvalidateRect(m_hWnd, &r, FALSE);
    }
    m_hot = hot;
    UpdateWindow(m_hWnd);
  }
  HWND main = MainWindow();
  if ((keys & MK_LBUTTON) && GetCapture() == m_hWnd && main != nullptr && !MainMaximized()) {
    RECT r;
    GetWindowRect(main, &r);
    POINT origin{r.left, r.top};
    if (HWND owner = GetParent(main)) ScreenToClient(owner, &origin);
    SetWindowPos(main, nullptr, origin.x + x - m_dragX, origin.y + y - m_dragY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void EMenuBar::OnMouseLeave() {
  m_tracking = 0;
  if (m_hot >= 0) {
    if (m_hot < m_rects.GetCount()) {
      RECT r = m_rects.GetAt(m_hot);
      InvalidateRect(m_hWnd, &r, FALSE);
    }
    m_hot = -1;
    UpdateWindow(m_hWnd);
  }
}

void EMenuBar::OnLButtonDown(int x, int y) {
  int W = m_width, R = RightWidth();
  if (x >= W - R + 6) {
    int mn = BitmapSize(m_hMinimize).cx, cl = BitmapSize(m_hClose).cx;
    int mx = BitmapSize(MainMaximized() ? m_hRestore : m_hMaximize).cx;
    if (x >= W - mn - mx - cl - 2) {
      if (y >= 16) return;
      if (x >= W - cl - 2) {
        PostSysCommand(SC_CLOSE);
      } else if (x >= W - mx - cl - 2) {
        PostSysCommand(MainMaximized() ? SC_RESTORE : SC_MAXIMIZE);
      } else {
        PostSysCommand(SC_MINIMIZE);
      }
    } else if (x >= W - R + 83 && x < W - R + 156) {
      if (HWND main = MainWindow()) PostMessageA(main, WM_START_SERVICE_CLIENT, 0, 0);
    } else if (x < W - R + 79) {
      if (HWND main = MainWindow()) PostMessageA(main, WM_START_SERVICE_CLIENT, 1, 0);
    }
    return;
  }
  int index = ItemAt(x, y);
  if (index < 0) {
    SetCapture(m_hWnd);
    m_dragX = x;
    m_dragY = y;
    return;
  }
  TMenuItem *item = VisibleItem(index);
  if (item == nullptr) return;
  m_hot = index;
  Redraw();
  if (item->OnClick) item->OnClick(item);
  HMENU popup = CreatePopupMenu();
  BuildPopupMenu(popup, item, 1);
  RECT r = m_rects.GetAt(index);
  POINT corner{r.left, r.bottom};
  ClientToScreen(m_hWnd, &corner);
  int chosen = int(TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RETURNCMD, corner.x, corner.y, 0, m_hWnd, nullptr));
  DestroyMenu(popup);
  m_hot = -1;
  Redraw();
  if (chosen >= 1) FireMenuCommand(item, chosen, 1);
}

void EMenuBar::OnLButtonDblClk(int x, int y) {
  if (x > 0 && x < 20 && y > 0 && y < m_height) {
    PostSysCommand(SC_CLOSE);
  } else if (x < m_width - RightWidth() + 7 && ItemAt(x, y) < 0) {
    PostSysCommand(MainMaximized() ? SC_RESTORE : SC_MAXIMIZE);
  }
}

LRESULT EMenuBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (message) {
    case WM_SIZE:
      OnSize(LOWORD(uintptr_t(lParam)), HIWORD(uintptr_t(lParam)));
      break;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      OnMouseMove(wParam, x, y);
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(x, y);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == m_hWnd) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(x, y);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 0;
  }
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

// ---- popup menus from the class library's items -----------------------------

int BuildPopupMenu(HMENU menu, TMenuItem *parent, int id) {
  if (parent == nullptr) return id;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem *child = parent->Items(i);
    if (!child->Visible) continue;
    HMENU sub = nullptr;
    if (child->Count() > 0) {
      if (child->OnClick) child->OnClick(child);
      sub = CreatePopupMenu();
      id = BuildPopupMenu(sub, child, id);
    }
    std::string caption = Cut(child->Caption, 127);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STRING;
    info.fType = child->IsLine() ? MFT_SEPARATOR : MFT_STRING;
    if (child->RadioItem) info.fType |= MFT_RADIOCHECK;
    info.fState = (child->Checked ? UINT(MFS_CHECKED) : 0u) | (child->Enabled ? 0u : UINT(MFS_GRAYED));
    info.wID = UINT(id);
    info.hSubMenu = sub;
    info.dwItemData = ULONG_PTR(child->Tag);
    info.dwTypeData = caption.data();
    InsertMenuItemA(menu, UINT(id), FALSE, &info);
    ++id;
  }
  return id;
}

int FireMenuCommand(TMenuItem *parent, int target, int id) {
  if (parent == nullptr) return id;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem *child = parent->Items(i);
    if (!child->Visible) continue;
    if (child->Count() > 0) {
      id = FireMenuCommand(child, target, id);
      if (id == 0) return 0;
    }
    if (id == target) {
      if (child->OnClick) child->OnClick(child);
      return 0;
    }
    ++id;
  }
  return id;
}
