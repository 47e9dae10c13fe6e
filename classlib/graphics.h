// Colours, fonts, pens, brushes and the canvas: the class library's drawing
// objects over GDI. A canvas draws through the device-context calls, so the
// same painting code serves a window, a bitmap and the printer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "platform/windef.h"

// ---- colours -----------------------------------------------------------------------
// A TColor is an RGB value (0x00BBGGRR) or, with the top byte 0xFF, a
// system colour whose low byte is the COLOR_ index.
typedef int32_t TColor;
constexpr TColor clSystemColor = TColor(0xFF000000u);
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour (system colours looked up).
COLORREF ColorToRGB(TColor color);

// ---- rectangles and points ---------------------------------------------------------------
struct TRect {
  LONG Left = 0, Top = 0, Right = 0, Bottom = 0;
  TRect() = default;
  TRect(LONG left, LONG top, LONG right, LONG bottom) : Left(left), Top(top), Right(right), Bottom(bottom) {}
  TRect(const RECT &r) : Left(r.left), Top(r.top), Right(r.right), Bottom(r.bottom) {}  // NOLINT
  operator RECT() const { return RECT{Left, Top, Right, Bottom}; }                      // NOLINT
  LONG Width() const { return Right - Left; }
  LONG Height() const { return Bottom - Top; }
  bool Contains(POINT p) const { return p.x >= Left && p.x < Right && p.y >= Top && p.y < Bottom; }
  bool operator==(const TRect &o) const = default;
};
static_assert(sizeof(TRect) == sizeof(RECT));
typedef POINT TPoint;
inline TRect Rect(LONG left, LONG top, LONG right, LONG bottom) { return TRect(left, top, right, bottom); }
inline TRect Bounds(LONG left, LONG top, LONG width, LONG height) {
  return TRect(left, top, left + width, top + height);
}
inline TPoint Point(LONG x, LONG y) { return POINT{x, y}; }

// ---- fonts, pens and brushes -----------------------------------------------------------
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
typedef unsigned TFontStyles;  // a set of TFontStyle bits
enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Pen modes are the line raster operations.
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// Common base: a drawing object that tells its owner when it changes and
// makes its GDI object on demand.
class TGraphicsObject : public TPersistent {
 public:
  VCL_CLASS_NAME(TGraphicsObject)
  TNotifyEvent OnChange;

 protected:
  void Changed();
};

class TFont : public TGraphicsObject {
 public:
  VCL_CLASS_NAME(TFont)
  TFont();
  ~TFont() override;
  TFont(const TFont &) = delete;
  TFont &operator=(const TFont &) = delete;

  // Face name in GBK ("宋体", "Tahoma" ...).
  const std::string &Name() const { return name_; }
  void SetName(const std::string &name);
  // Size in points; Height in pixels, negative for the character height
  // (the two are kept in step at 96 pixels per inch).
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int height);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);

  // The font object, made on first use and kept until the font changes.
  HFONT Handle();
  void Assign(TPersistent *source) override;

  static constexpr int kPixelsPerInch = 96;

 private:
  void Modified();
  std::string name_;
  int height_;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  BYTE charset_ = 1;  // DEFAULT_CHARSET
  TFontPitch pitch_ = fpDefault;
  HFONT handle_ = nullptr;
};

class TPen : public TGraphicsObject {
 public:
  VCL_CLASS_NAME(TPen)
  TPen() = default;
  ~TPen() override;
  TPen(const TPen &) = delete;
  TPen &operator=(const TPen &) = delete;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);  // takes effect as the canvas's ROP2

  HPEN Handle();
  void Assign(TPersistent *source) override;

 private:
  void Modified();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  HPEN handle_ = nullptr;
};

class TBrush : public TGraphicsObject {
 public:
  VCL_CLASS_NAME(TBrush)
  TBrush() = default;
  ~TBrush() override;
  TBrush(const TBrush &) = delete;
  TBrush &operator=(const TBrush &) = delete;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);

  HBRUSH Handle();
  void Assign(TPersistent *source) override;

 private:
  void Modified();
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  HBRUSH handle_ = nullptr;
};

// ---- the canvas ------------------------------------------------------------------------

// Draws on a device context with its own pen, brush and font, which it
// selects into the context before each drawing call and takes out again
// when the context is released. A canvas over a context it did not make
// (SetHandle) never deletes it.
class TCanvas : public TPersistent {
 public:
  VCL_CLASS_NAME(TCanvas)
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas &) = delete;
  TCanvas &operator=(const TCanvas &) = delete;

  HDC Handle();
  // Attaches a context (null detaches, restoring the context's own objects).
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont *Font() { return &font_; }
  TPen *Pen() { return &pen_; }
  TBrush *Brush() { return &brush_; }

  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { MoveTo(p.x, p.y); }
  DWORD CopyMode = 0x00CC0020;  // SRCCOPY
  TRect ClipRect();

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect &r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int w, int h);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect &r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void Polygon(const POINT *points, int count);
  void Polyline(const POINT *points, int count);
  void FillRect(const TRect &r);
  void FrameRect(const TRect &r);
  void DrawFocusRect(const TRect &r);
  void TextOut(int x, int y, const std::string &text);
  // Text clipped to the rectangle, drawn at (x, y).
  void TextRect(const TRect &r, int x, int y, const std::string &text);
  SIZE TextExtent(const std::string &text);
  int TextWidth(const std::string &text) { return int(TextExtent(text).cx); }
  int TextHeight(const std::string &text) { return int(TextExtent(text).cy); }
  // DrawText with the given DT_ flags; returns the text height (for
  // DT_CALCRECT the rectangle is updated).
  int DrawText(const std::string &text, TRect &r, UINT flags);
  COLORREF Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);
  void CopyRect(const TRect &dest, TCanvas *source, const TRect &src);
  void StretchDraw(const TRect &dest, HBITMAP bitmap);
  void Draw(int x, int y, HBITMAP bitmap);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Makes sure a context is attached (a derived canvas may create one) and
  // that the pen, brush and font are selected.
  virtual void CreateHandle() {}
  void RequireState(bool pen, bool brush, bool font);
  void DeselectObjects();

 private:
  HDC dc_ = nullptr;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TPoint penPos_{0, 0};
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
  HGDIOBJ selPen_ = nullptr, selBrush_ = nullptr, selFont_ = nullptr;
};
