#include "core/etooltip.h"

#include <cstring>

#include "platform/gbk.h"
#include "platform/gdi.h"

namespace {

constexpr COLORREF kTipFill = RGB(255, 255, 231);

// Length of the text cut to at most max bytes without splitting a
// double-byte character.
size_t CutLength(const char *text, size_t max) { return platform::GbkCutLength(text, max); }

// The lines of the text: each one ended by CR LF, then the rest after the
// last CR LF when it is not empty.
template <typename Fn>
void ForEachLine(const char *text, Fn fn) {
  const char *p = text;
  for (;;) {
    const char *crlf = std::strstr(p, "\r\n");
    if (crlf == nullptr) break;
    fn(p, int(crlf - p));
    p = crlf + 2;
  }
  if (*p != 0) fn(p, int(std::strlen(p)));
}

}  // namespace

EToolTip::EToolTip(HWND parent) {
  m_hFont = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        DEFAULT_QUALITY, DWORD(DEFAULT_PITCH) | FF_SWISS, "宋体");
  Create(0, WS_CHILD, 0, 0, 0, 0, parent);
}

EToolTip::~EToolTip() {
  if (m_hWnd) DestroyWindow(m_hWnd);
  if (m_hFont) DeleteObject(m_hFont);
}

void EToolTip::Measure(SIZE *size, const char *text) {
  size->cx = 0;
  size->cy = 0;
  if (text == nullptr || *text == 0) return;
  size_t n = CutLength(text, sizeof m_text - 1);
  std::memcpy(m_text, text, n);
  m_text[n] = 0;
  m_multiLine = std::strstr(m_text, "\r\n") != nullptr;
  HDC dc = ::GetDC(m_hWnd);
  HGDIOBJ old = SelectObject(dc, m_hFont);
  SIZE extent{};
  if (!m_multiLine) {
    GetTextExtentPoint32A(dc, m_text, int(n), &extent);
    size->cx = extent.cx;
    size->cy = extent.cy;
    m_lineHeight = extent.cy;
  } else {
    ForEachLine(m_text, [&](const char *line, int length) {
      if (length == 0) {
        GetTextExtentPoint32A(dc, " ", 1, &extent);
      } else {
        GetTextExtentPoint32A(dc, line, length, &extent);
      }
      if (extent.cx > size->cx) size->cx = extent.cx;
      size->cy += extent.cy;
      m_lineHeight = extent.cy;
    });
  }
  SelectObject(dc, old);
  ::ReleaseDC(m_hWnd, dc);
  size->cx += 5;
  size->cy += 5;
}

bool EToolTip::Show(POINT point, const char *text, HWND newParent) {
  if (text == nullptr || *text == 0) {
    Hide();
    return true;
  }
  if (newParent != nullptr && newParent != GetParent(m_hWnd)) SetParent(m_hWnd, newParent);
  SIZE size;
  Measure(&size, text);
  InvalidateRect(m_hWnd, nullptr, FALSE);
  return SetWindowPos(m_hWnd, HWND_TOP, point.x, point.y, size.cx, size.cy, SWP_SHOWWINDOW | SWP_NOACTIVATE) != 0;
}

void EToolTip::Hide() { ShowWindow(m_hWnd, SW_HIDE); }

void EToolTip::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SetBkMode(dc, TRANSPARENT);
  RECT r{0, 0, m_width, m_height};
  HBRUSH fill = CreateSolidBrush(kTipFill);
  FillRect(dc, &r, fill);
  DeleteObject(fill);
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ old = SelectObject(dc, m_hFont);
  if (!m_multiLine) {
    TextOutA(dc, 3, 3, m_text, int(std::strlen(m_text)));
  } else {
    int y = 3;
    ForEachLine(m_text, [&](const char *line, int length) {
      TextOutA(dc, 3, y, line, length);
      y += m_lineHeight;
    });
  }
  SelectObject(dc, old);
  EndPaint(m_hWnd, &ps);
}

LRESULT EToolTip::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETFOCUS:
      SetFocus(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_MOUSEMOVE:
      Hide();
      break;
  }
  return EWnd::WindowProc(message, wParam, lParam);
}
