// The "BUTTON" window class: push buttons, check boxes, radio buttons and
// group boxes, painted by our code. A press is a click when the mouse is
// released over the button (or Space is released); the parent learns it
// from WM_COMMAND with BN_CLICKED.
#include <algorithm>

#include "platform/gdi.h"
#include "platform/winctrl.h"

namespace platform {
namespace {

// Window extra bytes: the state bits, then the font.
constexpr int kStateIndex = 0;
constexpr int kFontIndex = 8;
constexpr LONG kChecksMask = 0x3;  // BST_CHECKED / BST_INDETERMINATE
constexpr LONG kPushed = BST_PUSHED;
constexpr LONG kFocus = BST_FOCUS;
constexpr LONG kTracking = 0x100;  // the left button went down here

DWORD Kind(HWND hwnd) { return DWORD(GetWindowLongA(hwnd, GWL_STYLE)) & BS_TYPEMASK; }
LONG State(HWND hwnd) { return GetWindowLongA(hwnd, kStateIndex); }
void SetState(HWND hwnd, LONG state) {
  if (State(hwnd) == state) return;
  SetWindowLongA(hwnd, kStateIndex, state);
  InvalidateRect(hwnd, nullptr, FALSE);
}

bool IsCheck(DWORD kind) { return kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE || kind == BS_AUTO3STATE; }
bool IsRadio(DWORD kind) { return kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON; }

void Clicked(HWND hwnd) {
  DWORD kind = Kind(hwnd);
  LONG state = State(hwnd);
  // The automatic kinds change their own check before telling the parent.
  if (kind == BS_AUTOCHECKBOX) SetState(hwnd, (state & ~kChecksMask) | ((state & BST_CHECKED) ? 0L : LONG(BST_CHECKED)));
  if (kind == BS_AUTO3STATE) SetState(hwnd, (state & ~kChecksMask) | (((state & kChecksMask) + 1) % 3));
  if (kind == BS_AUTORADIOBUTTON) {
    SetState(hwnd, (state & ~kChecksMask) | BST_CHECKED);
    if (HWND parent = GetParent(hwnd)) {
      for (HWND sibling = GetWindow(parent, GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT))
        if (sibling != hwnd && Kind(sibling) == BS_AUTORADIOBUTTON) SendMessageA(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
  if (HWND parent = GetParent(hwnd))
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(WORD(GetWindowLongA(hwnd, GWL_ID)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(hwnd));
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void Fill(HDC dc, RECT r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// Raised (or, pressed, sunken) two-pixel edge of a push button.
void Edge(HDC dc, RECT r, bool sunken) {
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_3DLIGHT);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW);
  if (sunken) {
    std::swap(light, dark);
    std::swap(face, shadow);
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w < 2 || h < 2) return;
  Line(dc, r.left, r.bottom - 1, r.left, r.top, light);
  Line(dc, r.left, r.top, r.right - 1, r.top, light);
  Line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, dark);
  Line(dc, r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1, dark);
  Line(dc, r.left + 1, r.bottom - 2, r.left + 1, r.top + 1, face);
  Line(dc, r.left + 1, r.top + 1, r.right - 2, r.top + 1, face);
  Line(dc, r.right - 2, r.top + 1, r.right - 2, r.bottom - 2, shadow);
  Line(dc, r.right - 2, r.bottom - 2, r.left, r.bottom - 2, shadow);
}

void Caption(HWND hwnd, HDC dc, RECT r, UINT format) {
  char text[512];
  int n = GetWindowTextA(hwnd, text, sizeof text);
  if (n <= 0) return;
  HFONT font = reinterpret_cast<HFONT>(GetWindowLongPtrA(hwnd, kFontIndex));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextA(dc, text, n, &r, format);
  if (font) SelectObject(dc, old);
}

void Paint(HWND hwnd, HDC dc) {
  RECT r;
  GetClientRect(hwnd, &r);
  DWORD style = DWORD(GetWindowLongA(hwnd, GWL_STYLE));
  DWORD kind = style & BS_TYPEMASK;
  LONG state = State(hwnd);
  HWND parent = GetParent(hwnd);
  if (kind == BS_OWNERDRAW) {
    DRAWITEMSTRUCT dis{ODT_BUTTON, UINT(GetWindowLongA(hwnd, GWL_ID)), 0, ODA_DRAWENTIRE, 0, hwnd, dc, r, 0};
    if (state & kPushed) dis.itemState |= ODS_SELECTED;
    if (state & kFocus) dis.itemState |= ODS_FOCUS;
    if (!IsWindowEnabled(hwnd)) dis.itemState |= ODS_DISABLED;
    if (parent) SendMessageA(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    return;
  }
  // The background the parent chooses for its buttons.
  UINT colorMessage = (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC;
  HBRUSH background = parent ? reinterpret_cast<HBRUSH>(SendMessageA(parent, colorMessage, reinterpret_cast<WPARAM>(dc),
                                                                    reinterpret_cast<LPARAM>(hwnd)))
                             : nullptr;
  if (background)
    FillRect(dc, &r, background);
  else
    Fill(dc, r, GetSysColor(COLOR_BTNFACE));

  if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
    RECT face = r;
    if (kind == BS_DEFPUSHBUTTON || (state & kFocus)) {
      HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
      FrameRect(dc, &face, black);
      DeleteObject(black);
      InflateRect(&face, -1, -1);
    }
    bool pushed = (state & kPushed) != 0;
    if (pushed) {
      HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
      FrameRect(dc, &face, shadow);
      DeleteObject(shadow);
    } else {
      Edge(dc, face, false);
    }
    RECT text = face;
    InflateRect(&text, -2, -2);
    if (pushed) OffsetRect(&text, 1, 1);
    Caption(hwnd, dc, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (state & kFocus) {
      RECT focus = r;
      InflateRect(&focus, -4, -4);
      DrawFocusRect(dc, &focus);
    }
    return;
  }
  if (kind == BS_GROUPBOX) {
    RECT frame = r;
    frame.top += 6;
    HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    FrameRect(dc, &frame, shadow);
    DeleteObject(shadow);
    RECT text{r.left + 8, r.top, r.right - 8, r.top + 14};
    Caption(hwnd, dc, text, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    return;
  }
  // Check boxes and radio buttons: a 13-pixel box, the caption beside it.
  bool leftText = (style & BS_LEFTTEXT) != 0;
  int top = (r.bottom - r.top - 13) / 2;
  int left = leftText ? r.right - 13 : r.left;
  RECT box{left, top, left + 13, top + 13};
  bool pushed = (state & kPushed) != 0;
  COLORREF fill = pushed || !IsWindowEnabled(hwnd) ? GetSysColor(COLOR_BTNFACE) : GetSysColor(COLOR_WINDOW);
  COLORREF mark = IsWindowEnabled(hwnd) ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT);
  if (IsRadio(kind)) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
    if (state & BST_CHECKED) {
      HBRUSH dot = CreateSolidBrush(mark);
      HPEN none = CreatePen(PS_NULL, 1, 0);
      ob = SelectObject(dc, dot);
      op = SelectObject(dc, none);
      Ellipse(dc, box.left + 4, box.top + 4, box.left + 10, box.top + 10);
      SelectObject(dc, ob);
      SelectObject(dc, op);
      DeleteObject(dot);
      DeleteObject(none);
    }
  } else {
    Fill(dc, box, (state & kChecksMask) == BST_INDETERMINATE ? GetSysColor(COLOR_BTNFACE) : fill);
    Edge(dc, box, true);
    if (state & kChecksMask) {
      // A check mark of three strokes, three pixels thick.
      for (int i = 0; i < 3; ++i) {
        Line(dc, box.left + 3, box.top + 5 + i, box.left + 5, box.top + 7 + i, mark);
        Line(dc, box.left + 5, box.top + 7 + i, box.left + 10, box.top + 2 + i, mark);
      }
    }
  }
  RECT text = r;
  if (leftText)
    text.right = box.left - 4;
  else
    text.left = box.right + 4;
  Caption(hwnd, dc, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (state & kFocus) {
    RECT focus = text;
    focus.left -= 1;
    DrawFocusRect(dc, &focus);
  }
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      if (wParam) {
        Paint(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
      }
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) Paint(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (Kind(hwnd) == BS_GROUPBOX) return 0;
      SetCapture(hwnd);
      if (GetFocus() != hwnd) SetFocus(hwnd);
      SetState(hwnd, State(hwnd) | kPushed | kTracking);
      return 0;
    case WM_MOUSEMOVE:
      if (State(hwnd) & kTracking) {
        RECT r;
        GetClientRect(hwnd, &r);
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        bool inside = p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
        SetState(hwnd, inside ? State(hwnd) | kPushed : State(hwnd) & ~kPushed);
      }
      return 0;
    case WM_LBUTTONUP: {
      LONG state = State(hwnd);
      if (!(state & kTracking)) return 0;
      SetState(hwnd, state & ~(kPushed | kTracking));
      if (GetCapture() == hwnd) ReleaseCapture();
      if (state & kPushed) Clicked(hwnd);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd) SetState(hwnd, State(hwnd) & ~(kPushed | kTracking));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) SetState(hwnd, State(hwnd) | kPushed);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && (State(hwnd) & kPushed)) {
        SetState(hwnd, State(hwnd) & ~kPushed);
        Clicked(hwnd);
      }
      return 0;
    case WM_SETFOCUS: SetState(hwnd, State(hwnd) | kFocus); return 0;
    case WM_KILLFOCUS: SetState(hwnd, State(hwnd) & ~(kFocus | kPushed)); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return r;
    }
    case WM_SETFONT:
      SetWindowLongPtrA(hwnd, kFontIndex, LONG_PTR(wParam));
      if (lParam) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT: return GetWindowLongPtrA(hwnd, kFontIndex);
    case WM_GETDLGCODE: {
      DWORD kind = Kind(hwnd);
      if (kind == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (kind == BS_PUSHBUTTON || kind == BS_OWNERDRAW) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (IsRadio(kind)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      if (kind == BS_GROUPBOX) return DLGC_STATIC;
      return DLGC_BUTTON;
    }
    case BM_GETCHECK: return State(hwnd) & kChecksMask;
    case BM_SETCHECK:
      if (IsCheck(Kind(hwnd)) || IsRadio(Kind(hwnd)))
        SetState(hwnd, (State(hwnd) & ~kChecksMask) | LONG(wParam & kChecksMask));
      return 0;
    case BM_GETSTATE: return State(hwnd) & (kChecksMask | kPushed | kFocus);
    case BM_SETSTATE:
      SetState(hwnd, wParam ? State(hwnd) | kPushed : State(hwnd) & ~kPushed);
      return 0;
    case BM_SETSTYLE: {
      LONG style = GetWindowLongA(hwnd, GWL_STYLE);
      SetWindowLongA(hwnd, GWL_STYLE, LONG((DWORD(style) & 0xFFFF0000u) | (DWORD(wParam) & 0xFFFF)));
      if (lParam) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) Clicked(hwnd);
      return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

void RegisterButtonClass() {
  WNDCLASSA wc{};
  if (GetClassInfoA(nullptr, "BUTTON", &wc)) return;
  wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &ButtonProc;
  wc.cbWndExtra = 16;
  wc.lpszClassName = "BUTTON";
  RegisterClassA(&wc);
}

}  // namespace platform
