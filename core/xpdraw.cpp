#include "core/xpdraw.h"

#include <set>
#include <utility>

// ---- flat frame ---------------------------------------------------------------------------
void XPFlatCreateParams(TCreateParams &params) {
  params.Style &= ~DWORD(WS_BORDER);
  params.ExStyle &= ~DWORD(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
  params.ExStyle |= WS_EX_STATICEDGE;
}

namespace {

void FrameRing(HDC dc, const RECT &rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FrameRect(dc, &rect, brush);
  DeleteObject(brush);
}

void PaintFrame(HWND hwnd, const COLORREF *inner) {
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  RECT r;
  GetWindowRect(hwnd, &r);
  OffsetRect(&r, -r.left, -r.top);
  FrameRing(dc, r, XPFrameColor);
  if (inner) {
    InflateRect(&r, -1, -1);
    FrameRing(dc, r, *inner);
  }
  ReleaseDC(hwnd, dc);
}

}  // namespace

void XPPaintFlatFrame(HWND hwnd) { PaintFrame(hwnd, nullptr); }
void XPPaintFlatFrame(HWND hwnd, COLORREF inner) { PaintFrame(hwnd, &inner); }

// ---- repaint and mouse tracking ---------------------------------------------------------
void XPRepaint(HWND hwnd) {
  InvalidateRect(hwnd, nullptr, FALSE);
  UpdateWindow(hwnd);
}

void XPTrackMouseLeave(HWND hwnd) {
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, HOVER_DEFAULT};
  TrackMouseEvent(&track);
}

bool TXPMouseFlags::OnMouseMove(HWND hwnd, UINT keys, int x, int y, int w, int h) {
  bool held = (keys & MK_LBUTTON) != 0;
  bool inside = x >= 0 && x < w && y >= 0 && y < h;
  if (FHot == 0) {
    FHot = 1;
    FPressed = held ? 1 : 0;
    XPTrackMouseLeave(hwnd);
    return true;
  }
  if (FPressed == 1) {
    if (inside) return false;
    FPressed = 0;
    return true;
  }
  if (held && inside) {
    FPressed = 1;
    return true;
  }
  return false;
}

bool TXPMouseFlags::OnMouseLeave() {
  if (FHot != 1) return false;
  FHot = 0;
  FPressed = 0;
  return true;
}

bool TXPMouseFlags::OnLButtonDown() {
  FPressed = 1;
  return true;
}

bool TXPMouseFlags::OnLButtonUp() {
  FPressed = 0;
  return true;
}

void TXPMouseFlags::Handle(HWND hwnd, const TMessage &m, int w, int h) {
  bool changed = false;
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      changed = OnMouseMove(hwnd, UINT(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam), w, h);
      break;
    case WM_LBUTTONDOWN: changed = OnLButtonDown(); break;
    case WM_LBUTTONUP: changed = OnLButtonUp(); break;
    case WM_MOUSELEAVE: changed = OnMouseLeave(); break;
    default: return;
  }
  if (changed && IsWindow(hwnd)) XPRepaint(hwnd);
}

// ---- owner-drawn buttons ------------------------------------------------------------
namespace {
constexpr DWORD kButtonTypeBits = 0x1F;
}

void XPOwnerDrawWndProc(TWinControl *control, TMessage &m, TXPMouseFlags &mouse, std::initializer_list<UINT> repaintOn,
                        const std::function<void(HDC)> &paint, const std::function<void(TMessage &)> &base) {
  switch (m.Msg) {
    case WM_CREATE: {
      HWND hwnd = control->Handle();
      DWORD style = DWORD(GetWindowLongA(hwnd, GWL_STYLE));
      SetWindowLongA(hwnd, GWL_STYLE, LONG((style & ~kButtonTypeBits) | BS_OWNERDRAW));
      break;
    }
    case BM_SETSTYLE: m.WParam = (m.WParam & ~WPARAM(kButtonTypeBits)) | BS_OWNERDRAW; break;
    case WM_PAINT:
    case WM_ERASEBKGND: XPHandlePaint(control->Handle(), m, paint); return;
    default:
      for (UINT notification : repaintOn) {
        if (m.Msg != notification) continue;
        if (control->HandleAllocated()) InvalidateRect(control->Handle(), nullptr, FALSE);
        base(m);
        return;
      }
      break;
  }
  base(m);
  if (control->HandleAllocated()) mouse.Handle(control->Handle(), m, control->Width(), control->Height());
}

bool XPHandlePaint(HWND hwnd, TMessage &message, const std::function<void(HDC)> &paint) {
  if (message.Msg == WM_ERASEBKGND) {
    message.Result = 1;
    return true;
  }
  if (message.Msg != WM_PAINT) return false;
  if (message.WParam) {
    paint(reinterpret_cast<HDC>(message.WParam));  // a picture of the window
  } else {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) paint(dc);
    EndPaint(hwnd, &ps);
  }
  message.Result = 0;
  return true;
}

void XPPaintOffscreen(HDC dc, int w, int h, const std::function<void(HDC)> &draw) {
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, w, h) : nullptr;
  if (!bitmap) {
    if (memory) DeleteDC(memory);
    draw(dc);
    return;
  }
  HGDIOBJ old = SelectObject(memory, bitmap);
  draw(memory);
  BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

// ---- drawing ------------------------------------------------------------------------------
void XPLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void XPFill(HDC dc, const RECT &rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void XPFillButtonBackground(HWND hwnd, HDC dc, int w, int h) {
  RECT all{0, 0, w, h};
  HWND parent = GetParent(hwnd);
  auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageA(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(hwnd)))
                      : nullptr;
  if (brush)
    FillRect(dc, &all, brush);
  else
    XPFill(dc, all, GetSysColor(COLOR_BTNFACE));
}

void XPDrawText(HWND hwnd, HDC dc, const std::string &text, RECT rect, UINT format, COLORREF color, SIZE *measured) {
  auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, color);
  if (measured) {
    *measured = SIZE{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), measured);
  }
  DrawTextA(dc, text.c_str(), int(text.size()), &rect, format);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  if (font) SelectObject(dc, oldFont);
}

// ---- image-list look ----------------------------------------------------------------------
TXPImageLink::TXPImageLink(TComponent *owner) : owner_(owner), link_(std::make_unique<TChangeLink>()) {
  // A change of the list's pictures asks for nothing.
  link_->OnChange = [](TObject *) {};
}

TXPImageLink::~TXPImageLink() {
  if (images_) {
    images_->UnRegisterChanges(link_.get());
    images_->RemoveFreeNotification(owner_);
  }
}

bool TXPImageLink::Set(TCustomImageList *list) {
  if (list == images_) return false;
  if (images_) {
    images_->UnRegisterChanges(link_.get());
    images_->RemoveFreeNotification(owner_);
  }
  images_ = list;
  if (images_) {
    images_->RegisterChanges(link_.get());
    images_->FreeNotification(owner_);
  }
  return true;
}

void TXPImageLink::Notification(TComponent *component, TOperation operation) {
  if (operation == opRemove && component != nullptr && component == images_) images_ = nullptr;
}

void TXPImageLink::Draw(HDC dc, int index) const {
  if (images_) images_->Draw(dc, 0, 0, index, true);
}

// ---- palette ------------------------------------------------------------------------------
namespace {
std::set<std::pair<std::string, std::string>> &Palette() {
  static std::set<std::pair<std::string, std::string>> palette;
  return palette;
}
}  // namespace

void RegisterComponent(const char *page, const char *className) { Palette().emplace(page, className); }

bool IsComponentRegistered(const char *page, const std::string &className) {
  return Palette().count({page, className}) != 0;
}
