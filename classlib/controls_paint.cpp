// Painting of the controls: a windowed control paints itself and then its
// graphic children into the same device context; a custom or graphic
// control paints through its canvas.
#include "classlib/controls.h"

#include <functional>

#include "platform/gdi.h"

void TWinControl::PaintTo(HDC dc, int x, int y) {
  if (!dc) return;
  int saved = SaveDC(dc);
  OffsetViewportOrgEx(dc, x, y, nullptr);
  IntersectClipRect(dc, 0, 0, width_, height_);
  TMessage erase{WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0, 0};
  WindowProc(erase);
  TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
  WindowProc(paint);
  for (TControl *c : controls_) {
    auto *win = dynamic_cast<TWinControl *>(c);
    if (win && win->Visible()) win->PaintTo(dc, win->Left(), win->Top());
  }
  RestoreDC(dc, saved);
}

void TWinControl::WMPaint(TWMPaint &msg) {
  if (defWndProc_ && defWndProc_ != DefWindowProcA) {
    DefaultHandler(*msg.Raw);  // a standard control paints into the given context
  }
  PaintControls(msg.DC);
}

void TWinControl::WMEraseBkgnd(TWMEraseBkgnd &msg) {
  if (defWndProc_ && defWndProc_ != DefWindowProcA) {
    DefaultHandler(*msg.Raw);
    msg.Result = msg.Raw->Result;
    return;
  }
  if (msg.DC) {
    RECT r = ClientRect();
    FillRect(msg.DC, &r, brush_.Handle());
  }
  msg.Result = 1;
}

void TWinControl::PaintControls(HDC dc, TControl *first) {
  if (!dc) return;
  bool started = first == nullptr;
  for (TControl *c : controls_) {
    if (!started) {
      started = c == first;
      if (!started) continue;
    }
    if (dynamic_cast<TWinControl *>(c) || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    RECT bounds = c->BoundsRect();
    if (!RectVisible(dc, &bounds)) continue;
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, c->Left(), c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
  }
}

// ---- TCustomControl and TGraphicControl ----------------------------------------------------------
void TControlCanvas::CreateHandle() {
  if (own_ || !control_) return;
  if (auto *win = dynamic_cast<TWinControl *>(control_)) {
    if (!win->HandleAllocated()) return;
    window_ = win->Handle();
    own_ = GetDC(window_);
    SetHandle(own_);
    return;
  }
  // A control without a window draws on its part of the parent.
  TWinControl *parent = control_->Parent();
  if (!parent || !parent->HandleAllocated()) return;
  window_ = parent->Handle();
  own_ = GetDC(window_);
  if (!own_) return;
  SetViewportOrgEx(own_, control_->Left(), control_->Top(), nullptr);
  IntersectClipRect(own_, 0, 0, control_->Width(), control_->Height());
  SetHandle(own_);
}

void TControlCanvas::FreeHandle() {
  if (!own_) return;
  SetHandle(nullptr);
  if (IsWindow(window_)) ReleaseDC(window_, own_);
  own_ = nullptr;
  window_ = nullptr;
}

void TControlCanvas::PaintOn(HDC dc, const std::function<void()> &paint) {
  FreeHandle();
  int saved = SaveDC(dc);
  SetHandle(dc);
  Font()->Assign(control_->Font());
  Brush()->SetColor(control_->Color());
  paint();
  SetHandle(nullptr);
  RestoreDC(dc, saved);
}

TCustomControl::TCustomControl(TComponent *owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}
TCustomControl::~TCustomControl() {
  BeginDestroy();
  canvas_->FreeHandle();
}

void TCustomControl::WMPaint(TWMPaint &msg) {
  canvas_->PaintOn(msg.DC, [this] { Paint(); });
  PaintControls(msg.DC);
}

TGraphicControl::TGraphicControl(TComponent *owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}
TGraphicControl::~TGraphicControl() {
  BeginDestroy();
  canvas_->FreeHandle();
}

void TGraphicControl::WMPaint(TWMPaint &msg) {
  if (msg.DC) canvas_->PaintOn(msg.DC, [this] { Paint(); });
}
