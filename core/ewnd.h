// The system's own light window wrapper for windows that need no form (the
// socket window, the menu bar, the tool-tip pop-up, small child windows), and
// the holder of a 24-bit off-screen bitmap.
#pragma once

#include "core/emap.h"
#include "platform/gdi.h"
#include "platform/winuser.h"

class EWnd {
 public:
  EWnd();
  // Destroys the window (its last messages reach this class's procedure).
  virtual ~EWnd();
  EWnd(const EWnd &) = delete;
  EWnd &operator=(const EWnd &) = delete;

  // The default passes the message on to DefWindowProcA.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  bool Create(DWORD exStyle, DWORD style, int x, int y, int width, int height, HWND parent);
  static EWnd *FromHandle(HWND hwnd);
  HDC GetDC();
  void ReleaseDC(HDC dc);
  // Measures the whole text; without a context it uses the window's own,
  // with a font it measures in that font and restores the previous one.
  void GetTextExtent(SIZE *size, const char *text, HDC dc, HFONT font);
  void Redraw();
  void Repaint();
  void Destroy();

  HWND m_hWnd = nullptr;
  int32_t m_autoDelete = 0;  // delete this object after WM_NCDESTROY
  int32_t m_width = 0;       // client size from the last WM_SIZE
  int32_t m_height = 0;
};

LRESULT EWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The handle-to-object map of every EWnd window.
EMap<void *, EWnd *> &EWndMap();
void InitEWndMap();

class EDibBitmap {
 public:
  EDibBitmap() = default;
  ~EDibBitmap();
  EDibBitmap(const EDibBitmap &) = delete;
  EDibBitmap &operator=(const EDibBitmap &) = delete;

  // (Re)makes a bottom-up 24-bit bitmap of at least 1 x 1 pixels; the same
  // size keeps the existing one.
  void Create(HDC dc, int width, int height);

  HBITMAP m_hBitmap = nullptr;
  unsigned char *m_pBits = nullptr;  // blue, green, red; bottom row first
  HDC m_hDC = nullptr;               // set by the owner while it draws
  int32_t m_width = 0;
  int32_t m_height = 0;
  int32_t m_stride = 0;
  int32_t m_imageSize = 0;
};
