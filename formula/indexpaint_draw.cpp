// Painting the drawing statements: texts, numbers, icons and pictures, filled
// bands, sticks, K-lines and BAR lines, segments, polylines, straight and
// sloped lines, vertical lines, and the two background statements.
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "classlib/picture.h"
#include "core/ewnd.h"
#include "formula/kvindex.h"
#include "platform/gdi.h"
#include "platform/module.h"

namespace {

using TransparentBltProc = BOOL (*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);

// The image library's transparent copy, looked up by name until found and
// kept from then on.
TransparentBltProc TransparentCopy() {
  static TransparentBltProc proc = nullptr;
  if (proc) return proc;
  HMODULE library = GetModuleHandleA("Msimg32.dll");
  if (!library) library = LoadLibraryA("Msimg32.dll");
  if (library) proc = reinterpret_cast<TransparentBltProc>(GetProcAddress(library, "TransparentBlt"));
  return proc;
}

void Segment(HDC dc, POINT a, POINT b) {
  MoveToEx(dc, a.x, a.y, nullptr);
  LineTo(dc, b.x, b.y);
}

// A pen made for one statement call and put back when it ends.
struct PenFor : IndexSelected {
  PenFor(HDC dc, int style, int width, COLORREF colour) : IndexSelected(dc, CreatePen(style, width, colour)) {}
};

// A filled 3 x 3 square centred on p in the colour, which also becomes the
// surface's background colour.
void Mark3x3(HDC dc, POINT p, COLORREF colour) {
  SetBkColor(dc, colour);
  HBRUSH brush = CreateSolidBrush(colour);
  const RECT r{p.x - 1, p.y - 1, p.x + 2, p.y + 2};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

bool Inside(const RECT &r, POINT p) { return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom; }

// Everything a statement's paint at one bar shares.
struct StatementPaint {
  EDibBitmap *dib;
  HDC dc;
  IndexBarGeometry g;
  IndexValueAxis axis;
  uint32_t count;
  COLORREF colour;

  int X(int64_t c) const { return g.Centre(c); }
  int Y(double v) const { return axis.Y(v); }
};

// The picture file of DRAWICON, DRAWBMP and DRAWBKBMP.
void PictureFile(const CKvIndexDraw &d, char *path, size_t size) {
  if (d.kind == kDrawIcon) {
    const uint32_t n = std::clamp<uint32_t>(d.IconNumber(), 1, 14);
    std::snprintf(path, size, "..\\cfg\\Icon\\Icon%u.bmp", n);
    return;
  }
  const size_t length = strnlen(d.text, sizeof d.text);
  if (length >= 4 && strcasecmp(d.text + length - 4, ".bmp") == 0)
    std::snprintf(path, size, "..\\cfg\\Bmp\\%s", d.text);
  else
    std::snprintf(path, size, "..\\cfg\\Bmp\\%s.bmp", d.text);
}

// The statement's picture, loaded at its first use; a failed load is tried
// again at the next paint.
bool EnsurePicture(CKvIndexDraw &d, SIZE *size) {
  if (!d.picture) {
    char path[320];
    PictureFile(d, path, sizeof path);
    d.picture = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    if (!d.picture) return false;
  }
  BITMAP bm{};
  if (!GetObjectA(d.picture, sizeof bm, &bm)) return false;
  *size = SIZE{bm.bmWidth, bm.bmHeight};
  return true;
}

// The memory bitmap texts are composed in, kept from one text to the next
// (painting runs on the GUI thread only) and grown when a text needs more;
// only its top-left part of the text's clipped size is used.
HDC TextScratch(HDC like, int width, int height) {
  static HDC memory = nullptr;
  static HBITMAP bitmap = nullptr;
  static int haveWidth = 0, haveHeight = 0;
  if (!memory) memory = CreateCompatibleDC(like);
  if (!memory) return nullptr;
  if (width > haveWidth || height > haveHeight) {
    haveWidth = std::max(width, haveWidth);
    haveHeight = std::max(height, haveHeight);
    HBITMAP grown = CreateCompatibleBitmap(like, haveWidth, haveHeight);
    if (!grown) return nullptr;
    SelectObject(memory, grown);
    if (bitmap) DeleteObject(bitmap);
    bitmap = grown;
  }
  return memory;
}

// DRAWTEXT, DRAWNUMBER, DRAWICON and DRAWBMP: the item placed by ALIGN and
// VALIGN around its anchor and clipped to the plot rectangle.
void PaintItem(CKvIndexDraw &d, const StatementPaint &s, int64_t c, uint32_t bar) {
  const bool isText = d.kind == kDrawText || d.kind == kDrawNumber;
  const double anchorValue = d.series[0][bar];
  if (!std::isfinite(anchorValue)) return;
  if (d.kind == kDrawNumber) {
    const double value = d.series[1][bar], decimals = d.series[2][bar];
    if (!std::isfinite(value)) return;
    const int n = std::isfinite(decimals) ? int(std::clamp(std::trunc(decimals), 0.0, 10.0)) : 0;
    std::snprintf(d.text, sizeof d.text, "%.*f", n, value);
  }
  HDC dc = s.dc;
  HFONT font = nullptr;
  HGDIOBJ oldFont = nullptr;
  SIZE size{};
  const int length = isText ? int(strnlen(d.text, sizeof d.text)) : 0;
  if (isText) {
    if (d.fontSize) {
      LOGFONTA lf{};
      GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
      lf.lfHeight = -(GetDeviceCaps(dc, LOGPIXELSY) * d.fontSize / 72);
      font = CreateFontIndirectA(&lf);
      oldFont = SelectObject(dc, font);
    }
    GetTextExtentPoint32A(dc, d.text, length, &size);
  } else if (!EnsurePicture(d, &size)) {
    return;
  }
  const int x = s.X(c), y = s.Y(anchorValue);
  const int m1 = isText ? 3 : 0, m2 = isText ? 2 : 0;
  const RECT &rect = s.axis.rect;
  const int w = size.cx, h = size.cy;
  const int left = d.align == 1 ? x - (w >> 1) : d.align == 2 ? x - w - m2 : x + m1;
  int top;
  if (d.valign == 1) {
    top = y - (h >> 1);
  } else if (d.valign == 2) {
    top = y - h - m2;
  } else if (d.valign == 3) {
    // Centred in the larger of the spaces above and below the anchor.
    const int legendBottom = rect.top + kIndexLegendHeight;
    top = (y - legendBottom > rect.bottom - y ? (y + legendBottom) >> 1 : (y + rect.bottom) >> 1) - (h >> 1);
  } else {
    top = y + m1;
  }
  const RECT item{left, top, left + w, top + h};
  const RECT visible{std::max(item.left, rect.left), std::max(item.top, rect.top),
                     std::min(item.right, rect.right), std::min(item.bottom, rect.bottom)};
  const int vw = visible.right - visible.left, vh = visible.bottom - visible.top;
  if (vw > 0 && vh > 0) {
    const bool whole = visible.left == item.left && visible.top == item.top && visible.right == item.right &&
                       visible.bottom == item.bottom;
    if (isText && whole) {
      // Nothing to clip: straight onto the surface, the same pixels.
      const COLORREF oldText = SetTextColor(dc, s.colour);
      const int oldMode = SetBkMode(dc, TRANSPARENT);
      TextOutA(dc, item.left, item.top, d.text, length);
      SetBkMode(dc, oldMode);
      SetTextColor(dc, oldText);
    } else if (isText) {
      // Drawn into a copy of the surface under it, so the plot edge clips it.
      HDC memory = TextScratch(dc, vw, vh);
      if (memory) {
        HGDIOBJ memoryFont = SelectObject(memory, GetCurrentObject(dc, OBJ_FONT));
        BitBlt(memory, 0, 0, vw, vh, dc, visible.left, visible.top, SRCCOPY);
        SetTextColor(memory, s.colour);
        SetBkMode(memory, TRANSPARENT);
        TextOutA(memory, item.left - visible.left, item.top - visible.top, d.text, length);
        BitBlt(dc, visible.left, visible.top, vw, vh, memory, 0, 0, SRCCOPY);
        SelectObject(memory, memoryFont);
      }
    } else {
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ oldBitmap = SelectObject(memory, d.picture);
      const int sx = visible.left - item.left, sy = visible.top - item.top;
      if (d.kind == kDrawBmp) {
        BitBlt(dc, visible.left, visible.top, vw, vh, memory, sx, sy, SRCCOPY);
      } else if (TransparentBltProc copy = TransparentCopy()) {
        copy(dc, visible.left, visible.top, vw, vh, memory, sx, sy, vw, vh, RGB(255, 0, 255));
      }
      SelectObject(memory, oldBitmap);
      DeleteDC(memory);
    }
  }
  if (font) {
    SelectObject(dc, oldFont);
    DeleteObject(font);
  }
  if (d.kind == kDrawText) {
    HBRUSH brush = CreateSolidBrush(s.colour);
    const RECT r{x - 1, y - 1, x + 2, y + 2};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
}

// Columns of a band edge: every pixel of the midpoint line from a to b
// widens its column's [lowest, highest]. Columns past the table are cut.
struct BandColumns {
  int origin;
  int low[128], high[128];
  bool used[128] = {};

  void Widen(int px, int py) {
    const int k = px - origin;
    if (k < 0 || k >= 128) return;
    if (!used[k]) low[k] = high[k] = py;
    low[k] = std::min(low[k], py);
    high[k] = std::max(high[k], py);
    used[k] = true;
  }
  void Edge(POINT a, POINT b) {
    int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    const int sx = b.x >= a.x ? 1 : -1, sy = b.y >= a.y ? 1 : -1;
    if (dx >= dy) {
      int e = 2 * dy - dx, y = a.y;
      for (int x = a.x, i = 0; i <= dx; ++i, x += sx) {
        Widen(x, y);
        if (e > 0) {
          y += sy;
          e -= 2 * dx;
        }
        e += 2 * dy;
      }
    } else if (dy <= 4096) {
      int e = 2 * dx - dy, x = a.x;
      for (int y = a.y, i = 0; i <= dy; ++i, y += sy) {
        Widen(x, y);
        if (e > 0) {
          x += sx;
          e -= 2 * dy;
        }
        e += 2 * dx;
      }
    } else {
      // A steep edge far beyond the plot: each column's run of rows, as the
      // midpoint walk would give it, without walking every row.
      for (int i = 0; i <= dx && i < 128; ++i) {
        const double from = std::max(0.0, (i - 0.5) * dy / std::max(dx, 1));
        const double to = std::min(double(dy), (i + 0.5) * dy / std::max(dx, 1));
        Widen(a.x + i * sx, IndexPixel(a.y + sy * from));
        Widen(a.x + i * sx, IndexPixel(a.y + sy * to));
      }
    }
  }
};

void PaintFillRgn(const CKvIndexDraw &d, const StatementPaint &s, int64_t c, int64_t cPrev, uint32_t bar,
                  uint32_t barPrev) {
  const double v[4] = {d.series[0][barPrev], d.series[0][bar], d.series[1][barPrev], d.series[1][bar]};
  for (double value : v)
    if (!std::isfinite(value)) return;
  const POINT A{s.X(cPrev), s.Y(v[0])}, B{s.X(c), s.Y(v[1])};
  const POINT C{s.X(cPrev), s.Y(v[2])}, D{s.X(c), s.Y(v[3])};
  BandColumns columns;
  columns.origin = A.x;
  columns.Edge(A, B);
  columns.Edge(C, D);
  PenFor pen(s.dc, PS_SOLID, 1, s.colour);
  for (int x = A.x; x <= B.x && x - A.x < 128; ++x) {
    const int k = x - A.x;
    if (columns.used[k]) Segment(s.dc, POINT{x, columns.low[k]}, POINT{x, columns.high[k] + 1});
  }
}

void PaintStick(const CKvIndexDraw &d, const StatementPaint &s, int64_t c, uint32_t bar) {
  const double p1 = d.series[0][bar], p2 = d.series[1][bar], W = d.series[2][bar];
  if (!std::isfinite(p1) || !std::isfinite(p2) || !std::isfinite(W)) return;
  const bool filled = d.series[3][bar] == 0;
  const int left = s.g.left + IndexPixel(s.g.gap + s.g.Pitch() * double(c - int64_t(s.g.first)) +
                                          s.g.width * (1 - W * 0.25) * 0.5);
  const int right = left + IndexPixel(s.g.width * W * 0.25);
  const int yA = s.Y(p1), yB = s.Y(p2);
  const int top = std::min(yA, yB), bottom = std::max(yA, yB) + 1;
  PenFor pen(s.dc, PS_SOLID, 1, s.colour);
  if (yA != yB) {
    if (left == right) {
      Segment(s.dc, POINT{left, top}, POINT{left, bottom});
    } else {
      HBRUSH brush = CreateSolidBrush(s.colour);
      if (filled) FillRectNormalized(s.dc, RECT{left, top, right, bottom}, brush);
      else FrameRectNormalized(s.dc, RECT{left, top, right, bottom}, brush);
      DeleteObject(brush);
    }
  } else if (left != right) {
    Segment(s.dc, POINT{left, top}, POINT{right, top});
  } else {
    PutDibPixel(s.dib, left, top, s.colour);
  }
}

// DRAWKLINE and DRAWBARLINE.
void PaintKLine(const CKvIndexDraw &d, const StatementPaint &s, int64_t c, uint32_t bar) {
  const double H = d.series[0][bar], O = d.series[1][bar], L = d.series[2][bar], C = d.series[3][bar];
  for (double value : {H, O, L, C})
    if (!std::isfinite(value)) return;
  const bool given = d.color != 0xFFFFFFFFu;
  const COLORREF down = given ? d.color : IndexColor(2), up = given ? d.color : IndexColor(3);
  const COLORREF flat = given ? d.color : ~IndexColor(1) & 0xFFFFFF;
  const bool falling = O > C;
  PenFor pen(s.dc, PS_SOLID, 1, falling ? down : O < C ? up : flat);
  const int left = s.g.L(c), right = left + IndexPixel(s.g.width);
  const int yO = s.Y(O), yC = s.Y(C), yH = s.Y(H), yL = s.Y(L);
  const int top = std::min(yO, yC), bottom = std::max(yO, yC) + 1;
  const int xm = (left + right) >> 1;
  const bool body = yO != yC, wide = left != right;
  const COLORREF pixel = falling ? down : up;
  if (d.kind == kDrawKLine) {
    if (body && wide) {
      HBRUSH brush = CreateSolidBrush(falling ? down : up);
      const RECT r{left, top, right, bottom};
      if (!falling && IndexKLineMode() != 0) FrameRect(s.dc, &r, brush);
      else FillRect(s.dc, &r, brush);
      DeleteObject(brush);
    } else if (body) {
      Segment(s.dc, POINT{left, top}, POINT{left, bottom});
    } else if (wide) {
      Segment(s.dc, POINT{left, top}, POINT{right, top});
    } else {
      PutDibPixel(s.dib, left, top, pixel);
    }
    if (yH != top) Segment(s.dc, POINT{xm, yH}, POINT{xm, top + 1});
    if (bottom - 1 != yL) Segment(s.dc, POINT{xm, bottom - 1}, POINT{xm, yL + 1});
    return;
  }
  const int tick = (3 * (xm - left)) / 5;
  if (body && wide) {
    Segment(s.dc, POINT{xm - tick, yO}, POINT{xm, yO});
    Segment(s.dc, POINT{xm, yC}, POINT{right, yC});
  } else if (body) {
    Segment(s.dc, POINT{left, top}, POINT{left, bottom});
  } else if (wide) {
    Segment(s.dc, POINT{xm - tick, top}, POINT{right, top});
  } else {
    PutDibPixel(s.dib, left, top, pixel);
  }
  Segment(s.dc, POINT{xm, yH}, POINT{xm, yL + 1});
}

void PaintPartLine(const CKvIndexDraw &d, const StatementPaint &s, int64_t c, int64_t cPrev, uint32_t bar,
                   int64_t barPrev) {
  const double value = d.series[0][bar];
  if (!std::isfinite(value)) return;
  const int x = s.X(c), y = s.Y(value);
  HDC dc = s.dc;
  if (d.dotStyle == kStyleCircleDot) {
    PenFor pen(dc, PS_SOLID, 1, s.colour);
    Segment(dc, POINT{x - 1, y - 2}, POINT{x + 2, y - 2});
    Segment(dc, POINT{x - 1, y + 2}, POINT{x + 2, y + 2});
    Segment(dc, POINT{x - 2, y - 1}, POINT{x - 2, y + 2});
    Segment(dc, POINT{x + 2, y - 1}, POINT{x + 2, y + 2});
  } else if (d.dotStyle == kStyleCrossDot) {
    PenFor pen(dc, PS_SOLID, 1, s.colour);
    Segment(dc, POINT{x - 2, y - 2}, POINT{x + 3, y + 3});
    Segment(dc, POINT{x - 2, y + 2}, POINT{x + 3, y - 3});
  } else if (d.dotStyle == kStylePointDot) {
    const int t = d.lineThick, h = t >> 1;
    if (t == 0) return;
    PenFor pen(dc, PS_SOLID, 1, s.colour);
    for (int row = y - h; row < y - h + t; ++row) Segment(dc, POINT{x - h, row}, POINT{x - h + t, row});
  } else if (cPrev >= 0 && barPrev >= 0) {
    const double before = d.series[0][barPrev];
    if (!std::isfinite(before)) return;
    PenFor pen(dc, PS_SOLID, d.lineThick, s.colour);
    Segment(dc, POINT{s.X(cPrev), s.Y(before)}, POINT{x, y});
  }
}

// The y where the line through p with the slope crosses column x, and the
// column where it crosses row y; false where the slope makes that undefined.
bool RowAt(POINT p, double slope, int x, int *y) {
  const double v = p.y - (p.x - x) * slope;
  if (!std::isfinite(v)) return false;
  *y = IndexPixel(v);
  return true;
}
bool ColumnAt(POINT p, double slope, int y, int *x) {
  if (slope == 0 || !std::isfinite(slope)) return false;
  const double v = p.x - (p.y - y) / slope;
  if (!std::isfinite(v)) return false;
  *x = IndexPixel(v);
  return true;
}

// Moves a point onto column x along the line through p, then, when that
// leaves the rows [top, bottom], onto the nearer of those rows; false when
// the line has no such point.
bool OntoColumn(POINT p, double slope, int x, int top, int bottom, POINT *out) {
  int y = 0;
  if (!RowAt(p, slope, x, &y)) return false;
  if (y < top || y > bottom) {
    y = y < top ? top : bottom;
    if (!ColumnAt(p, slope, y, &x)) return false;
  }
  *out = POINT{x, y};
  return true;
}

double SlopeOf(POINT a, POINT b) { return double(b.y - a.y) / double(b.x - a.x); }

void PaintPolyLine(CKvIndexDraw &d, const StatementPaint &s, int64_t c, uint32_t bar) {
  const double value = d.series[0][bar];
  if (!std::isfinite(value)) return;  // the next point starts afresh
  const POINT p{s.X(c), s.Y(value)};
  const RECT &rect = s.axis.rect;
  POINT last = d.lastPoint;
  if (last.x != INT_MAX && Inside(rect, p)) {
    bool drawable = true;
    if (last.x < rect.left)
      drawable = OntoColumn(p, SlopeOf(last, p), rect.left, rect.top + kIndexLegendHeight, rect.bottom, &last);
    if (drawable) {
      PenFor pen(s.dc, PS_SOLID, d.lineThick, s.colour);
      Segment(s.dc, last, p);
    }
  }
  d.lastPoint = p;
}

void PaintStraightLine(CKvIndexDraw &d, const StatementPaint &s, int64_t c, uint32_t bar) {
  const bool pending = d.lastPoint.x != INT_MAX;
  const double value = d.series[pending ? 2 : 0][bar];
  if (!std::isfinite(value)) {
    d.lastPoint = POINT{INT_MAX, INT_MAX};
    return;
  }
  const POINT p{s.X(c), s.Y(value)};
  const RECT &rect = s.axis.rect;
  if (pending && Inside(rect, p)) {
    POINT start = d.lastPoint, end = p;
    const bool extend = d.series[3][bar] != 0;
    const double slope = SlopeOf(start, p);
    bool drawable = true, clipped = false;
    if (extend)
      drawable = OntoColumn(p, slope, rect.right, rect.top + kIndexLegendHeight, rect.bottom, &end);
    if (start.x < rect.left) {
      drawable = drawable && OntoColumn(p, slope, rect.left, rect.top, rect.bottom, &start);
      clipped = true;
    }
    if (!clipped) Mark3x3(s.dc, start, s.colour);
    Mark3x3(s.dc, p, s.colour);
    if (drawable) {
      PenFor pen(s.dc, PS_SOLID, d.lineThick, s.colour);
      Segment(s.dc, start, end);
    }
  }
  d.lastPoint = pending ? POINT{INT_MAX, INT_MAX} : p;
}

void PaintSlope(const CKvIndexDraw &d, const StatementPaint &s, int64_t c, uint32_t bar) {
  const double P = d.series[0][bar], S = d.series[1][bar], LEN = d.series[2][bar], D = d.series[3][bar];
  for (double value : {P, S, LEN, D})
    if (!std::isfinite(value)) return;
  const POINT p{s.X(c), s.Y(P)};
  if (!Inside(s.axis.rect, p)) return;
  Mark3x3(s.dc, p, s.colour);
  PenFor pen(s.dc, PS_SOLID, d.lineThick, s.colour);
  const int64_t offset = c - int64_t(s.g.first);
  // n bars toward one side, held to LEN and to the value range.
  auto reach = [&](double n, double sign) {
    if (LEN >= 1 && n > LEN) n = std::trunc(LEN);
    const double e = P + sign * S * n;
    if (e > s.axis.maximum) n = sign * (s.axis.maximum - P) / S;
    else if (e < s.axis.minimum) n = sign * (s.axis.minimum - P) / S;
    if (!std::isfinite(n)) return;  // a flat line outside the range has no end
    const POINT end{s.g.left + IndexPixel(s.g.gap + s.g.Pitch() * (double(offset) + sign * n) + s.g.width * 0.5),
                    s.Y(P + sign * S * n)};
    Segment(s.dc, p, end);
  };
  if (D != 1) reach(double(int64_t(s.count) - offset - 1), 1);
  if (D == 1 || D == 2) reach(double(offset), -1);
}

void PaintVertLine(const CKvIndexDraw &d, const StatementPaint &s, int64_t c) {
  const int x = s.X(c);
  const RECT &rect = s.axis.rect;
  if (x < rect.left || x > rect.right) return;
  PenFor pen(s.dc, PS_SOLID, d.lineThick, s.colour);
  const int top = ValueToY(s.axis.inverted, rect, IndexPixel((s.axis.maximum - s.axis.minimum) * s.axis.scale));
  Segment(s.dc, POINT{x, top}, POINT{x, ValueToY(s.axis.inverted, rect, 0)});
}

bool HasArrays(const CKvIndexDraw &d) {
  auto series = [&d](int n) {
    for (int k = 0; k < n; ++k)
      if (!d.series[k]) return false;
    return true;
  };
  switch (d.kind) {
    case kDrawText:
    case kDrawIcon:
    case kDrawBmp:
    case kDrawPolyLine:
    case kDrawPartLine:
      return d.condBits && series(1);
    case kDrawNumber:
      return d.condBits && series(3);
    case kDrawFillRgn:
      return d.condBits && series(2);
    case kDrawStickLine:
    case kDrawSlope:
      return d.condBits && series(4);
    case kDrawKLine:
    case kDrawBarLine:
      return series(4);
    case kDrawLine:
      return d.condBits && d.series[0] && d.series[2] && d.series[3];
    case kDrawVertLine:
      return d.condBits != nullptr;
    default:
      return false;
  }
}

}  // namespace

void CKvIndexDraw::Paint(EDibBitmap *dib, double gap, double width, int64_t c, int64_t cPrev, uint32_t first,
                         uint32_t count, uint32_t bar, int64_t barPrev, double scale, double minimum,
                         double maximum, const RECT &rect, uint8_t inverted) {
  if (!dib || !dib->m_hDC || !HasArrays(*this) || bar >= capacity) return;
  if (barPrev >= int64_t(capacity)) barPrev = -1;
  IndexValueAxis axis(rect, minimum, maximum, inverted);
  axis.scale = scale;
  const COLORREF colour = color != 0xFFFFFFFFu ? color : IndexColor(1) ^ 0xFFFFFF;
  const StatementPaint s{dib, dib->m_hDC, IndexBarGeometry{width, gap, rect.left, first}, axis, count, colour};
  switch (kind) {
    case kDrawText:
    case kDrawNumber:
    case kDrawIcon:
    case kDrawBmp:
      PaintItem(*this, s, c, bar);
      break;
    case kDrawFillRgn:
      if (cPrev >= 0 && barPrev >= 0) PaintFillRgn(*this, s, c, cPrev, bar, uint32_t(barPrev));
      break;
    case kDrawStickLine:
      PaintStick(*this, s, c, bar);
      break;
    case kDrawKLine:
    case kDrawBarLine:
      PaintKLine(*this, s, c, bar);
      break;
    case kDrawPartLine:
      PaintPartLine(*this, s, c, cPrev, bar, barPrev);
      break;
    case kDrawPolyLine:
      PaintPolyLine(*this, s, c, bar);
      break;
    case kDrawLine:
      PaintStraightLine(*this, s, c, bar);
      break;
    case kDrawSlope:
      PaintSlope(*this, s, c, bar);
      break;
    case kDrawVertLine:
      PaintVertLine(*this, s, c);
      break;
    default:
      break;
  }
}

void CKvIndexDraw::PaintBackground(HDC dc, const RECT &rect, CKvIndex *formula, const char *owner,
                                   uint8_t periodKind, uint32_t periodMultiple, const STKINFO *info,
                                   const IndexWindow &window, uint32_t priceDivisor) {
  if ((kind != kDrawBkBmp && kind != kDrawGbk) || !dc || !args[0]) return;
  if (!window.chartTimes || window.chartTimeCount == 0 || window.first >= window.chartTimeCount) return;
  if (!window.bars || window.barCount == 0) return;
  // The formula's last bar at or before the last visible chart bar decides.
  const uint32_t i = window.End() - 1;
  const uint32_t t = window.chartTimes[i];
  const KLINEBAR *bars = window.bars;
  const uint32_t barCount = window.barCount;
  if (bars[0].time >= t || bars[barCount - 1].time < window.chartTimes[window.first]) return;
  const int32_t b = FindBarAtOrBefore(bars, barCount, t);
  if (b < 0) return;
  INDEXCALC ctx = MakeIndexContext(formula, owner, periodKind, periodMultiple, info, bars, barCount, priceDivisor);
  ctx.bar = uint32_t(b);
  if (args[0]->Evaluate(&ctx) == 0) return;

  const int L = rect.left + 1, T = rect.top + kIndexLegendHeight, R = rect.right, B = rect.bottom;
  if (kind == kDrawBkBmp) {
    SIZE size{};
    if (!EnsurePicture(*this, &size)) return;
    const RECT visible{std::max(int(rect.left), L), std::max(int(rect.top), T), std::min(int(rect.right), L + size.cx),
                       std::min(int(rect.bottom), T + size.cy)};
    const int w = visible.right - visible.left - 1, h = visible.bottom - visible.top;
    if (w <= 0 || h <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(dc, visible.left, visible.top, w, h, memory, visible.left - L, visible.top - T, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    return;
  }
  auto colourArg = [&](int k) {
    const double v = args[k] ? args[k]->Evaluate(&ctx) + 0.5 : 0.5;
    return std::isfinite(v) ? uint32_t(int64_t(std::clamp(v, -9e18, 9e18))) : 0u;
  };
  const COLORREF c1 = colourArg(1) & 0xFFFFFF, c2 = colourArg(2) & 0xFFFFFF;
  const int D = int(colourArg(3));
  auto blend = [&](double f) {
    auto channel = [&](int shift) {
      const int a = (c1 >> shift) & 0xFF, z = (c2 >> shift) & 0xFF;
      return uint32_t(int(a + (z - a) * f)) << shift;
    };
    return COLORREF(channel(0) | channel(8) | channel(16));
  };
  if (D == 0) {
    for (int x = L; x < R - 1; ++x) {
      PenFor pen(dc, PS_SOLID, 1, blend(double(x - L) / (R - L)));
      Segment(dc, POINT{x, T}, POINT{x, B});
    }
  } else if (D == 1) {
    for (int y = T; y < B; ++y) {
      PenFor pen(dc, PS_SOLID, 1, blend(double(y - T) / (B - T)));
      Segment(dc, POINT{L, y}, POINT{R - 1, y});
    }
  }
}
