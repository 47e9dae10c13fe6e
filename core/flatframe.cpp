#include "core/flatframe.h"

#include "platform/gdi.h"
#include "platform/winuser.h"

namespace flatframe {

void FlatCreateParams(TCreateParams &params) {
  params.Style &= ~DWORD(WS_BORDER);
  params.ExStyle &= ~DWORD(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
  params.ExStyle |= WS_EX_STATICEDGE;
}

void PaintOneRing(HWND hwnd) {
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  RECT r;
  GetWindowRect(hwnd, &r);
  OffsetRect(&r, -r.left, -r.top);
  HBRUSH brush = CreateSolidBrush(kFrameColor);
  FrameRect(dc, &r, brush);
  DeleteObject(brush);
  ReleaseDC(hwnd, dc);
}

}  // namespace flatframe
