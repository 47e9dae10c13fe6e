// Fonts, pens, brushes and the canvas over the device-context calls.
#include "classlib/graphics.h"

#include "platform/gdi.h"

COLORREF ColorToRGB(TColor color) {
  if ((uint32_t(color) & 0xFF000000u) == uint32_t(clSystemColor)) return GetSysColor(int(color & 0xFF));
  if (color == clNone || color == clDefault) return RGB(0, 0, 0);
  return COLORREF(uint32_t(color) & 0x00FFFFFFu);
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---- TFont -----------------------------------------------------------------------------
TFont::TFont() : name_("Tahoma"), height_(-11) {}  // 8 points

TFont::~TFont() {
  if (handle_) DeleteObject(handle_);
}

void TFont::Modified() {
  // A canvas that has the old handle selected puts its own object back when
  // told, so the old handle can be deleted after.
  HFONT old = handle_;
  handle_ = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TFont::SetName(const std::string &name) {
  if (name.empty() || name == name_) return;
  name_ = name;
  Modified();
}

int TFont::Size() const {
  // Height is -(points * 96 / 72), rounded; back again the same way.
  int h = height_ < 0 ? -height_ : height_;
  return (h * 72 + kPixelsPerInch / 2) / kPixelsPerInch * (height_ < 0 ? 1 : -1);
}

void TFont::SetSize(int points) { SetHeight(-((points * kPixelsPerInch + 36) / 72)); }

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Modified();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();  // the colour is not part of the font object
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Modified();
}

void TFont::SetCharset(BYTE charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Modified();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Modified();
}

HFONT TFont::Handle() {
  if (!handle_) {
    BYTE pitch = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    handle_ = CreateFontA(height_, 0, 0, 0, (style_ & fsBold) ? FW_BOLD : FW_NORMAL, (style_ & fsItalic) ? 1 : 0,
                          (style_ & fsUnderline) ? 1 : 0, (style_ & fsStrikeOut) ? 1 : 0, charset_, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, name_.c_str());
  }
  return handle_;
}

void TFont::Assign(TPersistent *source) {
  auto *other = dynamic_cast<TFont *>(source);
  if (!other || other == this) return;
  if (other->name_ == name_ && other->height_ == height_ && other->style_ == style_ && other->charset_ == charset_ &&
      other->pitch_ == pitch_) {
    SetColor(other->color_);
    return;
  }
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  charset_ = other->charset_;
  pitch_ = other->pitch_;
  color_ = other->color_;
  Modified();
}

// ---- TPen ------------------------------------------------------------------------------
TPen::~TPen() {
  if (handle_) DeleteObject(handle_);
}

void TPen::Modified() {
  // A canvas that has the old handle selected puts its own object back when
  // told, so the old handle can be deleted after.
  HPEN old = handle_;
  handle_ = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Modified();
}

void TPen::SetWidth(int width) {
  if (width < 0) width = 0;
  if (width == width_) return;
  width_ = width;
  Modified();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Modified();
}

void TPen::SetMode(TPenMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  Changed();
}

HPEN TPen::Handle() {
  if (!handle_) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(styles[style_], width_, ColorToRGB(color_));
  }
  return handle_;
}

void TPen::Assign(TPersistent *source) {
  auto *other = dynamic_cast<TPen *>(source);
  if (!other || other == this) return;
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
  mode_ = other->mode_;
  Modified();
}

// ---- TBrush ----------------------------------------------------------------------------
TBrush::~TBrush() {
  if (handle_) DeleteObject(handle_);
}

void TBrush::Modified() {
  // A canvas that has the old handle selected puts its own object back when
  // told, so the old handle can be deleted after.
  HBRUSH old = handle_;
  handle_ = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != bsClear) return;
  color_ = color;
  if (style_ == bsClear) style_ = bsSolid;
  Modified();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Modified();
}

HBRUSH TBrush::Handle() {
  if (!handle_) {
    switch (style_) {
      case bsSolid: handle_ = CreateSolidBrush(ColorToRGB(color_)); break;
      case bsClear: handle_ = GetStockObject(NULL_BRUSH); break;
      default: handle_ = CreateHatchBrush(int(style_) - int(bsHorizontal) + HS_HORIZONTAL, ColorToRGB(color_)); break;
    }
  }
  return handle_;
}

void TBrush::Assign(TPersistent *source) {
  auto *other = dynamic_cast<TBrush *>(source);
  if (!other || other == this) return;
  color_ = other->color_;
  style_ = other->style_;
  Modified();
}

// ---- TCanvas ---------------------------------------------------------------------------
TCanvas::TCanvas() {
  // A changed drawing object is taken out of the context (what was there
  // before goes back, or its old handle could not be deleted) and selected
  // again before the next call.
  auto deselect = [this](HGDIOBJ &selected, HGDIOBJ &old) {
    if (dc_ && selected && old) SelectObject(dc_, old);
    selected = old = nullptr;
  };
  font_.OnChange = [this, deselect](TObject *) { deselect(selFont_, oldFont_); };
  pen_.OnChange = [this, deselect](TObject *) { deselect(selPen_, oldPen_); };
  brush_.OnChange = [this, deselect](TObject *) { deselect(selBrush_, oldBrush_); };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  if (dc_) DeselectObjects();
  dc_ = dc;
  if (dc_) {
    POINT p{0, 0};
    GetCurrentPositionEx(dc_, &p);
    penPos_ = p;
  }
}

void TCanvas::DeselectObjects() {
  if (!dc_) return;
  if (oldPen_) SelectObject(dc_, oldPen_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldFont_) SelectObject(dc_, oldFont_);
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
  selPen_ = selBrush_ = selFont_ = nullptr;
}

void TCanvas::RequireState(bool pen, bool brush, bool font) {
  if (!Handle()) return;
  if (pen) {
    HPEN h = pen_.Handle();
    if (selPen_ != h) {
      HGDIOBJ old = SelectObject(dc_, h);
      if (!oldPen_) oldPen_ = old;
      selPen_ = h;
    }
    static const int rop2[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                               R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                               R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                               R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    SetROP2(dc_, rop2[pen_.Mode()]);
  }
  if (brush) {
    HBRUSH h = brush_.Handle();
    if (selBrush_ != h) {
      HGDIOBJ old = SelectObject(dc_, h);
      if (!oldBrush_) oldBrush_ = old;
      selBrush_ = h;
    }
    // Hatches and text cells show the brush colour behind them unless clear.
    SetBkColor(dc_, ColorToRGB(brush_.Color()));
    SetBkMode(dc_, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
  }
  if (font) {
    HFONT h = font_.Handle();
    if (selFont_ != h) {
      HGDIOBJ old = SelectObject(dc_, h);
      if (!oldFont_) oldFont_ = old;
      selFont_ = h;
    }
    SetTextColor(dc_, ColorToRGB(font_.Color()));
  }
}

TRect TCanvas::ClipRect() {
  RECT r{0, 0, 0, 0};
  if (Handle()) GetClipBox(dc_, &r);
  return r;
}

void TCanvas::MoveTo(int x, int y) {
  if (Handle()) MoveToEx(dc_, x, y, nullptr);
  penPos_ = POINT{x, y};
}

void TCanvas::LineTo(int x, int y) {
  RequireState(true, true, false);
  if (dc_) ::LineTo(dc_, x, y);
  penPos_ = POINT{x, y};
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  RequireState(true, true, false);
  if (dc_) ::Rectangle(dc_, x1, y1, x2, y2);
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int w, int h) {
  RequireState(true, true, false);
  if (dc_) ::RoundRect(dc_, x1, y1, x2, y2, w, h);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  RequireState(true, true, false);
  if (dc_) ::Ellipse(dc_, x1, y1, x2, y2);
}

void TCanvas::Polygon(const POINT *points, int count) {
  RequireState(true, true, false);
  if (dc_ && points && count > 0) ::Polygon(dc_, points, count);
}

void TCanvas::Polyline(const POINT *points, int count) {
  RequireState(true, true, false);
  if (dc_ && points && count > 0) ::Polyline(dc_, points, count);
}

void TCanvas::FillRect(const TRect &r) {
  RequireState(false, true, false);
  RECT rc = r;
  if (dc_) ::FillRect(dc_, &rc, brush_.Handle());
}

void TCanvas::FrameRect(const TRect &r) {
  RequireState(false, true, false);
  RECT rc = r;
  if (dc_) ::FrameRect(dc_, &rc, brush_.Handle());
}

void TCanvas::DrawFocusRect(const TRect &r) {
  RequireState(false, true, false);
  RECT rc = r;
  if (dc_) ::DrawFocusRect(dc_, &rc);
}

void TCanvas::TextOut(int x, int y, const std::string &text) {
  RequireState(false, true, true);
  if (dc_) ::TextOutA(dc_, x, y, text.data(), int(text.size()));
  penPos_ = POINT{x + TextWidth(text), y};
}

void TCanvas::TextRect(const TRect &r, int x, int y, const std::string &text) {
  RequireState(false, true, true);
  RECT rc = r;
  UINT options = UINT(ETO_CLIPPED) | (brush_.Style() != bsClear ? UINT(ETO_OPAQUE) : 0u);
  if (dc_) ::ExtTextOutA(dc_, x, y, options, &rc, text.data(), UINT(text.size()), nullptr);
}

SIZE TCanvas::TextExtent(const std::string &text) {
  RequireState(false, false, true);
  SIZE size{0, 0};
  if (dc_) GetTextExtentPoint32A(dc_, text.data(), int(text.size()), &size);
  return size;
}

int TCanvas::DrawText(const std::string &text, TRect &r, UINT flags) {
  RequireState(false, true, true);
  RECT rc = r;
  int height = dc_ ? ::DrawTextA(dc_, text.data(), int(text.size()), &rc, flags) : 0;
  r = rc;
  return height;
}

COLORREF TCanvas::Pixel(int x, int y) { return Handle() ? GetPixel(dc_, x, y) : CLR_INVALID; }

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (Handle()) ::SetPixel(dc_, x, y, ColorToRGB(color));
}

void TCanvas::CopyRect(const TRect &dest, TCanvas *source, const TRect &src) {
  if (!source || !Handle() || !source->Handle()) return;
  RequireState(false, true, false);
  source->RequireState(false, true, false);
  ::StretchBlt(dc_, dest.Left, dest.Top, dest.Width(), dest.Height(), source->dc_, src.Left, src.Top, src.Width(),
               src.Height(), CopyMode);
}

void TCanvas::StretchDraw(const TRect &dest, HBITMAP bitmap) {
  if (!bitmap || !Handle()) return;
  BITMAP info{};
  if (!GetObjectA(bitmap, sizeof info, &info)) return;
  HDC mem = CreateCompatibleDC(dc_);
  HGDIOBJ old = SelectObject(mem, bitmap);
  ::StretchBlt(dc_, dest.Left, dest.Top, dest.Width(), dest.Height(), mem, 0, 0, info.bmWidth, info.bmHeight,
               CopyMode);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void TCanvas::Draw(int x, int y, HBITMAP bitmap) {
  if (!bitmap || !Handle()) return;
  BITMAP info{};
  if (!GetObjectA(bitmap, sizeof info, &info)) return;
  HDC mem = CreateCompatibleDC(dc_);
  HGDIOBJ old = SelectObject(mem, bitmap);
  ::BitBlt(dc_, x, y, info.bmWidth, info.bmHeight, mem, 0, 0, CopyMode);
  SelectObject(mem, old);
  DeleteDC(mem);
}
