// A form on the usual dialog colour for the XP-look control tests, with a
// plain edit that holds the focus so no control under test has it unless a
// test gives it; and mouse moves with the pointer really over the control,
// so that hover tracking sees it there.
#pragma once

#include <QCursor>

#include <initializer_list>
#include <string>
#include <vector>

#include "core/xplistview.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "classlib/imglist.h"
#include "classlib/stdctrls.h"
#include "testing/view_harness.h"

namespace xp_test {

// The header procedure a form installs on a flat list view's header: paint
// and erase through the list view's static operations, everything else to
// the header's own procedure, kept in OldHeaderProc().
inline WNDPROC &OldHeaderProc() {
  static WNDPROC old = nullptr;
  return old;
}
inline LRESULT FlatHeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    TXPListView::OnHeaderPaint(hwnd, dc);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) {
    TXPListView::OnHeaderEraseBkgnd(hwnd, reinterpret_cast<HDC>(wParam));
    return 1;
  }
  return CallWindowProcA(OldHeaderProc(), hwnd, msg, wParam, lParam);
}

constexpr COLORREF kDialogColour = RGB(236, 233, 216);

inline void PointerAt(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  QCursor::setPos(p.x, p.y);
}

// A mouse move with the pointer placed there first.
inline void Hover(testing_support::ViewHarness &h, HWND hwnd, int x, int y, UINT keys = 0) {
  PointerAt(hwnd, x, y);
  h.MouseMove(hwnd, x, y, keys);
}

// The pointer leaves for good: off the form, then the leave message.
inline void Leave(testing_support::ViewHarness &h, HWND hwnd) {
  PointerAt(hwnd, -500, -500);
  PostMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
  h.Pump();
}

// A pixel of the whole window, border included.
inline COLORREF FramePixel(HWND hwnd, int x, int y) {
  HDC dc = GetWindowDC(hwnd);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(hwnd, dc);
  return c;
}

// An image list of w x h pictures, each one colour.
// The pixels at `points` of a picture of the control (PaintTo onto a memory
// context of its size), in order.
inline std::vector<COLORREF> PicturePixels(TWinControl *control, std::initializer_list<POINT> points) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, control->Width(), control->Height());
  HGDIOBJ old = SelectObject(memory, bitmap);
  control->PaintTo(memory, 0, 0);
  std::vector<COLORREF> pixels;
  for (POINT p : points) pixels.push_back(GetPixel(memory, p.x, p.y));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

inline TImageList *SolidImages(int w, int h, std::initializer_list<COLORREF> colours) {
  auto *images = new TImageList(nullptr);
  images->SetSize(w, h);
  for (COLORREF c : colours) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, w, h};
    HBRUSH brush = CreateSolidBrush(c);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    images->Add(bitmap);
    DeleteObject(bitmap);
  }
  return images;
}

struct Form {
  explicit Form(testing_support::ViewHarness &h, int w = 320, int height = 240) {
    form.SetBounds(40, 40, w, height);
    form.SetColor(kDialogColour);
    holder = new TEdit(&form);
    holder->SetParent(&form);
    holder->SetBounds(w - 60, height - 30, 50, 20);
    form.Show();
    h.Pump();
    holder->SetFocus();
    h.Pump();
  }
  // Places a control on the form in the form's colour.
  template <class T>
  T *Add(int x, int y, int w, int height, const std::string &caption = std::string()) {
    T *control = new T(&form);
    control->SetParent(&form);
    control->SetBounds(x, y, w, height);
    control->SetParentColor(true);
    if (!caption.empty()) control->SetCaption(caption);
    return control;
  }
  TForm form{nullptr};
  TEdit *holder = nullptr;
};

}  // namespace xp_test
