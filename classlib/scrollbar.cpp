#include "classlib/scrollbar.h"

#include <algorithm>
#include <string>

namespace {

void Line(TCanvas *canvas, TColor color, int x1, int y1, int x2, int y2) {
  canvas->Pen()->SetColor(color);
  canvas->MoveTo(x1, y1);
  canvas->LineTo(x2, y2);
}

// A raised button face over r.
void RaisedBox(TCanvas *canvas, const TRect &r) {
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(r);
  Line(canvas, clBtnHighlight, r.Left, r.Bottom - 1, r.Left, r.Top);
  Line(canvas, clBtnHighlight, r.Left, r.Top, r.Right, r.Top);
  Line(canvas, clBtnShadow, r.Left, r.Bottom - 1, r.Right - 1, r.Bottom - 1);
  Line(canvas, clBtnShadow, r.Right - 1, r.Top, r.Right - 1, r.Bottom);
}

// A small filled triangle pointing up (dir 0), down (1), left (2) or right (3).
void Arrow(TCanvas *canvas, const TRect &r, int dir, TColor color) {
  int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
  for (int k = 0; k < 4; ++k) {
    switch (dir) {
      case 0: Line(canvas, color, cx - k, cy - 2 + k, cx + k + 1, cy - 2 + k); break;
      case 1: Line(canvas, color, cx - 3 + k, cy - 1 + k, cx + 4 - k, cy - 1 + k); break;
      case 2: Line(canvas, color, cx - 2 + k, cy - k, cx - 2 + k, cy + k + 1); break;
      default: Line(canvas, color, cx - 1 + k, cy - 3 + k, cx - 1 + k, cy + 4 - k); break;
    }
  }
}

}  // namespace

// ---- TScrollBar -----------------------------------------------------------------------------
TScrollBar::TScrollBar(TComponent *owner) : TCustomControl(owner) {
  SetBounds(0, 0, 121, 17);
  TabStop = true;
}

void TScrollBar::SetKind(TScrollBarKind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

int TScrollBar::MaxPosition() const { return std::max(min_, pageSize_ > 0 ? max_ - pageSize_ + 1 : max_); }

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) max = min;
  bool moved = false;
  min_ = min;
  max_ = max;
  position = std::clamp(position, min_, MaxPosition());
  if (position != position_) {
    position_ = position;
    moved = true;
  }
  Invalidate();
  if (moved && OnChange && !Destroying()) OnChange(this);
}

void TScrollBar::SetPosition(int position) { SetParams(position, min_, max_); }

void TScrollBar::SetPageSize(int size) {
  pageSize_ = std::clamp(size, 0, max_ - min_ + 1);
  SetParams(position_, min_, max_);
}

int TScrollBar::Length() const { return kind_ == sbVertical ? height_ : width_; }
int TScrollBar::Breadth() const { return kind_ == sbVertical ? width_ : height_; }

int TScrollBar::ArrowSize() const { return std::min(Breadth(), Length() / 2); }

TRect TScrollBar::ThumbRect() const {
  int arrow = ArrowSize();
  int track = Length() - 2 * arrow;
  int range = max_ - min_ + 1;
  int thumb = pageSize_ > 0 ? std::max(track * pageSize_ / std::max(range, 1), 8) : std::min(arrow, track);
  thumb = std::min(thumb, track);
  if (track <= 0 || thumb <= 0) return TRect();
  int span = MaxPosition() - min_;
  int at = arrow + (span > 0 ? int((long long)(position_ - min_) * (track - thumb) / span) : 0);
  return kind_ == sbVertical ? Rect(0, at, width_, at + thumb) : Rect(at, 0, at + thumb, height_);
}

int TScrollBar::PositionAt(int along) const {
  int arrow = ArrowSize();
  TRect thumb = ThumbRect();
  int size = kind_ == sbVertical ? thumb.Height() : thumb.Width();
  int track = Length() - 2 * arrow - size;
  if (track <= 0) return min_;
  int span = MaxPosition() - min_;
  return std::clamp(min_ + int((long long)(along - arrow) * span / track), min_, MaxPosition());
}

void TScrollBar::Scroll(TScrollCode code, int position) {
  int pos = position;
  if (OnScroll && !Destroying()) OnScroll(this, code, pos);
  if (code != scEndScroll) SetPosition(pos);
}

void TScrollBar::Paint() {
  TCanvas *canvas = Canvas();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(cl3DLight);
  canvas->FillRect(Rect(0, 0, width_, height_));
  int arrow = ArrowSize();
  TColor ink = Enabled() ? clBtnText : clGrayText;
  if (kind_ == sbVertical) {
    TRect up = Rect(0, 0, width_, arrow), down = Rect(0, height_ - arrow, width_, height_);
    RaisedBox(canvas, up);
    RaisedBox(canvas, down);
    Arrow(canvas, up, 0, ink);
    Arrow(canvas, down, 1, ink);
  } else {
    TRect left = Rect(0, 0, arrow, height_), right = Rect(width_ - arrow, 0, width_, height_);
    RaisedBox(canvas, left);
    RaisedBox(canvas, right);
    Arrow(canvas, left, 2, ink);
    Arrow(canvas, right, 3, ink);
  }
  TRect thumb = ThumbRect();
  if (thumb.Width() > 0 && thumb.Height() > 0 && Enabled()) RaisedBox(canvas, thumb);
}

void TScrollBar::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    int along = kind_ == sbVertical ? y : x;
    int arrow = ArrowSize();
    TRect thumb = ThumbRect();
    int thumbStart = kind_ == sbVertical ? thumb.Top : thumb.Left;
    int thumbEnd = kind_ == sbVertical ? thumb.Bottom : thumb.Right;
    if (along < arrow) {
      Scroll(scLineUp, position_ - SmallChange);
    } else if (along >= Length() - arrow) {
      Scroll(scLineDown, position_ + SmallChange);
    } else if (thumbEnd > thumbStart && along >= thumbStart && along < thumbEnd) {
      dragging_ = true;
      dragOffset_ = along - thumbStart;
    } else if (along < thumbStart) {
      Scroll(scPageUp, position_ - std::max(LargeChange, pageSize_ > 0 ? pageSize_ : LargeChange));
    } else {
      Scroll(scPageDown, position_ + std::max(LargeChange, pageSize_ > 0 ? pageSize_ : LargeChange));
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TScrollBar::MouseMove(TShiftState shift, int x, int y) {
  if (dragging_) {
    int along = (kind_ == sbVertical ? y : x) - dragOffset_;
    int pos = PositionAt(along);
    if (pos != position_) Scroll(scTrack, pos);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (dragging_) {
      dragging_ = false;
      Scroll(scPosition, position_);
    }
    Scroll(scEndScroll, position_);
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TScrollBar::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  bool back = key == (kind_ == sbVertical ? VK_UP : VK_LEFT);
  bool forward = key == (kind_ == sbVertical ? VK_DOWN : VK_RIGHT);
  if (back) Scroll(scLineUp, position_ - SmallChange);
  if (forward) Scroll(scLineDown, position_ + SmallChange);
  if (key == VK_PRIOR) Scroll(scPageUp, position_ - LargeChange);
  if (key == VK_NEXT) Scroll(scPageDown, position_ + LargeChange);
}

void TScrollBar::WndProc(TMessage &m) {
  switch (m.Msg) {
    case SBM_GETPOS: m.Result = position_; return;
    case SBM_SETPOS: {
      int old = position_;
      SetPosition(int(intptr_t(m.WParam)));
      m.Result = old;
      return;
    }
    case SBM_GETRANGE:
      if (m.WParam) *reinterpret_cast<int *>(m.WParam) = min_;
      if (m.LParam) *reinterpret_cast<int *>(m.LParam) = max_;
      m.Result = 0;
      return;
    case SBM_SETRANGE:
      SetParams(position_, int(intptr_t(m.WParam)), int(m.LParam));
      m.Result = position_;
      return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

// ---- TUpDown -----------------------------------------------------------------------------------
TUpDown::TUpDown(TComponent *owner) : TCustomControl(owner) { SetBounds(0, 0, 16, 24); }

void TUpDown::SetPosition(int position) {
  int lo = std::min(Min, Max), hi = std::max(Min, Max);
  position_ = std::clamp(position, lo, hi);
  if (Associate) Associate->SetText(std::to_string(position_));
  Invalidate();
}

bool TUpDown::Step(TUDBtnType button) {
  int lo = std::min(Min, Max), hi = std::max(Min, Max);
  int step = (button == btNext) == (Min <= Max) ? Increment : -Increment;
  int next = position_ + step;
  if (next > hi) next = Wrap ? lo : hi;
  if (next < lo) next = Wrap ? hi : lo;
  bool allow = true;
  if (OnChanging && !Destroying()) OnChanging(this, allow);
  if (allow && OnChangingEx && !Destroying())
    OnChangingEx(this, allow, short(next), button == btNext ? updUp : updDown);
  if (!allow) return false;
  SetPosition(next);
  if (OnClick && !Destroying()) OnClick(this, button);
  return true;
}

void TUpDown::Paint() {
  TCanvas *canvas = Canvas();
  TColor ink = Enabled() ? clBtnText : clGrayText;
  if (Orientation == udVertical) {
    TRect up = Rect(0, 0, width_, height_ / 2), down = Rect(0, height_ - height_ / 2, width_, height_);
    RaisedBox(canvas, up);
    RaisedBox(canvas, down);
    Arrow(canvas, up, 0, ink);
    Arrow(canvas, down, 1, ink);
  } else {
    TRect left = Rect(0, 0, width_ / 2, height_), right = Rect(width_ - width_ / 2, 0, width_, height_);
    RaisedBox(canvas, left);
    RaisedBox(canvas, right);
    Arrow(canvas, left, 2, ink);
    Arrow(canvas, right, 3, ink);
  }
}

void TUpDown::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }

void TUpDown::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    // The upper (left) half steps back up, the lower (right) half down.
    bool first = Orientation == udVertical ? y < height_ / 2 : x < width_ / 2;
    bool second = Orientation == udVertical ? y >= height_ - height_ / 2 : x >= width_ - width_ / 2;
    if (first) Step(Orientation == udVertical ? btNext : btPrev);
    if (second) Step(Orientation == udVertical ? btPrev : btNext);
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TUpDown::WndProc(TMessage &m) {
  switch (m.Msg) {
    case UDM_GETPOS: m.Result = LRESULT(WORD(position_)); return;
    case UDM_SETPOS: {
      int old = position_;
      SetPosition(SHORT(LOWORD(m.LParam)));
      m.Result = old;
      return;
    }
    case UDM_SETRANGE:
      Max = SHORT(LOWORD(m.LParam));
      Min = SHORT(HIWORD(m.LParam));
      SetPosition(position_);
      m.Result = 0;
      return;
    case UDM_GETRANGE: m.Result = MAKELPARAM(WORD(Max), WORD(Min)); return;
    default: break;
  }
  TCustomControl::WndProc(m);
}
