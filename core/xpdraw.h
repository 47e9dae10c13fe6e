// What the XP-look controls share: their frame colour and drawing states,
// the flat one-pixel frame of the text and list members, the repaint they
// ask for themselves, the hover and press tracking of the owner-drawn
// buttons, the image list a control may draw instead of its own look, and
// the palette the controls register on.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/gdi.h"
#include "classlib/controls.h"
#include "classlib/imglist.h"

// The colour of every flat frame of the family.
constexpr COLORREF XPFrameColor = RGB(127, 157, 185);

// How an owner-drawn member looks at one paint; chosen anew each time.
enum TXPButtonState { xpsNormal, xpsDefault, xpsHot, xpsPressed, xpsDisabled };

// ---- flat frame ---------------------------------------------------------------------------
// Creation parameters of a flat-framed control: no border, no sunken or
// raised edge, a static edge of one pixel that the frame then covers.
void XPFlatCreateParams(TCreateParams &params);
// Frames the whole window one pixel wide in XPFrameColor over its border.
void XPPaintFlatFrame(HWND hwnd);
// The same, and one more ring inside it in `inner` (the face colour over the
// inner pixel of a two-pixel sunken edge).
void XPPaintFlatFrame(HWND hwnd, COLORREF inner);

// A control with the flat creation parameters and the one-ring frame,
// painted after the base class has handled WM_NCPAINT.
template <class Base>
class TXPFlat : public Base {
 public:
  using Base::Base;
  void WndProc(TMessage &message) override {
    Base::WndProc(message);
    if (message.Msg == WM_NCPAINT && this->HandleAllocated()) XPPaintFlatFrame(this->Handle());
  }

 protected:
  void CreateParams(TCreateParams &params) override {
    Base::CreateParams(params);
    XPFlatCreateParams(params);
  }
};

// ---- repaint and mouse tracking ---------------------------------------------------------
// Invalidates the whole client area without erasing and paints at once.
void XPRepaint(HWND hwnd);
// Asks the platform for one WM_MOUSELEAVE.
void XPTrackMouseLeave(HWND hwnd);

// The hover and press flags of an owner-drawn button and how the mouse
// moves them. Each handler says whether the look changed.
struct TXPMouseFlags {
  int32_t FHot = 0;      // the pointer is over the control
  int32_t FPressed = 0;  // the left button went down here and the pointer stayed
  // (x, y) in client coordinates, (w, h) the control's size.
  bool OnMouseMove(HWND hwnd, UINT keys, int x, int y, int w, int h);
  bool OnMouseLeave();
  bool OnLButtonDown();
  bool OnLButtonUp();
  // Runs the handler of a mouse message (after the base class saw it) and
  // repaints when the look changed.
  void Handle(HWND hwnd, const TMessage &message, int w, int h);
};

// ---- owner-drawn buttons ------------------------------------------------------------
// The window procedure of the owner-drawn members around their base
// class's (`base`): the owner-draw button type at creation and in
// BM_SETSTYLE (so the class library's default-button switching never brings
// the system look back); WM_PAINT through `paint` on the paint context and
// never to the base; WM_ERASEBKGND erasing nothing; the whole control
// invalidated before the base handles one of `repaintOn`; after the base,
// the mouse messages move the hover and press flags.
void XPOwnerDrawWndProc(TWinControl *control, TMessage &message, TXPMouseFlags &mouse,
                        std::initializer_list<UINT> repaintOn, const std::function<void(HDC)> &paint,
                        const std::function<void(TMessage &)> &base);
// WM_PAINT and WM_ERASEBKGND of a control that paints itself whole: the
// paint goes through `paint`, on the context the message brings (a picture
// of the window) or else between BeginPaint and EndPaint; erasing erases
// nothing. False, and the message untouched, for any other message.
bool XPHandlePaint(HWND hwnd, TMessage &message, const std::function<void(HDC)> &paint);
// Runs `draw` on a w x h off-screen bitmap and copies it to dc; straight on
// dc when no bitmap can be made.
void XPPaintOffscreen(HDC dc, int w, int h, const std::function<void(HDC)> &draw);

// ---- drawing ------------------------------------------------------------------------------
// Lines cover the first point and stop one short of the last; rectangles
// exclude right and bottom.
void XPLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color);
void XPFill(HDC dc, const RECT &rect, COLORREF color);
// Fills (0, 0, w, h) with the background the parent gives its buttons
// (WM_CTLCOLORBTN); the button face colour when there is no parent.
void XPFillButtonBackground(HWND hwnd, HDC dc, int w, int h);
// Text in the window's font (WM_GETFONT), transparent, in `color`; the
// context's font, colour and background mode are put back afterwards. With
// `measured` the text's size is measured first (width, height).
void XPDrawText(HWND hwnd, HDC dc, const std::string &text, RECT rect, UINT format, COLORREF color,
                SIZE *measured = nullptr);
// The caption colour of a disabled member.
constexpr COLORREF kXPDisabledText = RGB(161, 161, 146);

// ---- image-list look ----------------------------------------------------------------------
// The image list a control draws instead of its own look, with the change
// link the control owns. The owner passes its Notification on, so that a
// list being freed is dropped.
class TXPImageLink {
 public:
  explicit TXPImageLink(TComponent *owner);
  ~TXPImageLink();
  TXPImageLink(const TXPImageLink &) = delete;
  TXPImageLink &operator=(const TXPImageLink &) = delete;

  TCustomImageList *Images() const { return images_; }
  // False when the list is already the current one.
  bool Set(TCustomImageList *list);
  void Notification(TComponent *component, TOperation operation);
  // Draws image `index` at (0, 0), enabled.
  void Draw(HDC dc, int index) const;

 private:
  TComponent *owner_;
  TCustomImageList *images_ = nullptr;
  std::unique_ptr<TChangeLink> link_;
};

// ---- palette ------------------------------------------------------------------------------
// Form resources name controls by class; each control's unit registers its
// class on a palette page.
constexpr char kXPPalettePage[] = "KV Controls";
void RegisterComponent(const char *page, const char *className);
bool IsComponentRegistered(const char *page, const std::string &className);
