#include "core/ewnd.h"

#include <cstring>

namespace {

ATOM g_ewndAtom = 0;
EWnd *g_creating = nullptr;  // the object whose window CreateWindowExA is making

}  // namespace

EMap<void *, EWnd *> &EWndMap() {
  static EMap<void *, EWnd *> *map = new EMap<void *, EWnd *>(10);
  return *map;
}

void InitEWndMap() { EWndMap(); }

EWnd::EWnd() {
  if (g_ewndAtom) return;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = EWndProc;
  wc.lpszClassName = "EWnd";
  g_ewndAtom = RegisterClassA(&wc);
  EWndMap().InitHashTable(131);
}

EWnd::~EWnd() {
  // Being deleted already: the window's WM_NCDESTROY must not delete again.
  m_autoDelete = 0;
  if (m_hWnd) DestroyWindow(m_hWnd);
}

LRESULT EWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

bool EWnd::Create(DWORD exStyle, DWORD style, int x, int y, int width, int height, HWND parent) {
  g_creating = this;
  CreateWindowExA(exStyle, reinterpret_cast<LPCSTR>(uintptr_t(g_ewndAtom)), nullptr, style, x, y, width, height,
                  parent, nullptr, nullptr, nullptr);
  if (m_hWnd) return true;
  g_creating = nullptr;
  return false;
}

EWnd *EWnd::FromHandle(HWND hwnd) {
  EWnd *object = nullptr;
  return EWndMap().Lookup(hwnd, object) ? object : nullptr;
}

HDC EWnd::GetDC() { return ::GetDC(m_hWnd); }

void EWnd::ReleaseDC(HDC dc) { ::ReleaseDC(m_hWnd, dc); }

void EWnd::GetTextExtent(SIZE *size, const char *text, HDC dc, HFONT font) {
  HDC use = dc ? dc : GetDC();
  HGDIOBJ previous = font ? SelectObject(use, font) : nullptr;
  GetTextExtentPoint32A(use, text, text ? int(std::strlen(text)) : 0, size);
  if (font) SelectObject(use, previous);
  if (!dc) ReleaseDC(use);
}

void EWnd::Redraw() { RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

void EWnd::Repaint() { Redraw(); }

void EWnd::Destroy() { DestroyWindow(m_hWnd); }

LRESULT EWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE && g_creating) {
    g_creating->m_hWnd = hwnd;
    EWndMap()[hwnd] = g_creating;
    g_creating = nullptr;
  }
  EWnd *object = EWnd::FromHandle(hwnd);
  if (!object) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_SIZE) {
    object->m_width = LOWORD(uintptr_t(lParam));
    object->m_height = HIWORD(uintptr_t(lParam));
  }
  LRESULT result = object->WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    EWndMap().RemoveKey(hwnd);
    object->m_hWnd = nullptr;
    if (object->m_autoDelete) delete object;
  }
  return result;
}

EDibBitmap::~EDibBitmap() {
  if (m_hBitmap) DeleteObject(m_hBitmap);
}

void EDibBitmap::Create(HDC dc, int width, int height) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  // After a failed creation there is no bitmap: the same size tries again.
  if (m_hBitmap && width == m_width && height == m_height) return;
  if (m_hBitmap) DeleteObject(m_hBitmap);
  m_hBitmap = nullptr;
  m_pBits = nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  m_hBitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!m_hBitmap) return;
  m_pBits = static_cast<unsigned char *>(bits);
  m_width = width;
  m_height = height;
  m_stride = ((width * 24 + 31) / 32) * 4;
  m_imageSize = m_stride * height;
}
