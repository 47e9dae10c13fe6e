// The default window procedure.
#include <algorithm>
#include <cstring>

#include "platform/gdi.h"
#include "platform/internal/window_layer.h"

using namespace platform;

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
    case WM_NCHITTEST: {
      // A frame the window draws itself sizes it from its edges.
      RECT r;
      if (!window->OwnFrame() || !GetWindowRect(hwnd, &r)) return HTCLIENT;
      const int b = window->BorderWidth(), x = GET_X_LPARAM(lParam) - r.left, y = GET_Y_LPARAM(lParam) - r.top;
      const bool left = x < b, right = x >= r.right - r.left - b, top = y < b, bottom = y >= r.bottom - r.top - b;
      if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
      if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
      return left ? HTLEFT : right ? HTRIGHT : HTCLIENT;
    }
    case WM_MOUSEACTIVATE: return 1;  // activate
    case WM_WINDOWPOSCHANGED: {
      auto *pos = reinterpret_cast<const WINDOWPOS *>(lParam);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOMOVE))
        SendInternal(*window, WM_MOVE, 0, MAKELPARAM(WORD(window->rect.left), WORD(window->rect.top)));
      if (!(pos->flags & SWP_NOSIZE) && IsWindow(hwnd))
        SendInternal(*window, WM_SIZE, SizeKindOf(*window),
                     MAKELPARAM(WORD(window->ClientWidth()), WORD(window->ClientHeight())));
      return 0;
    }
    case WM_WINDOWPOSCHANGING:
      if (auto *pos = reinterpret_cast<WINDOWPOS *>(lParam)) ClampToTracking(hwnd, *pos);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
        case SC_SIZE: HostSystemSizeOrMove(*window, int(wParam & 0xF)); break;
        case SC_MOVE: HostSystemSizeOrMove(*window, 0); break;
        default: break;
      }
      return 0;
    case WM_NCLBUTTONDOWN:
      // A press on the frame sizes the window, on the caption moves it.
      if (wParam >= WPARAM(HTLEFT) && wParam <= WPARAM(HTBOTTOMRIGHT))
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_SIZE | (wParam - HTLEFT + 1), lParam);
      else if (wParam == WPARAM(HTCAPTION))
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE | WPARAM(HTCAPTION), lParam);
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == WPARAM(HTCAPTION) && !(window->style & WS_CHILD) && (window->style & WS_MAXIMIZEBOX))
        SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      return 0;
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
