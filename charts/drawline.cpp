// The drawing-object model: construction, mapping between data and pixels,
// handles and segments, hit testing and the mouse protocol the view drives.
// The pictures and label builders of each kind are in drawshapes.cpp.
#include "charts/drawline.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "charts/linetool.h"
#include "charts/textline.h"
#include "core/chartgfx.h"
#include "core/emem.h"
#include "market/dataio5.h"
#include "platform/gdi.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

int ColourLuminance(COLORREF c) {
  return int(c & 0xFF) * 299 + int((c >> 8) & 0xFF) * 587 + int((c >> 16) & 0xFF) * 114;
}

HFONT CreateLineFont(int height, const char *face, uint32_t style) {
  return CreateFontA(height, 0, 0, 0, (style & 1) ? FW_BOLD : 400, (style & 2) ? 1 : 0, (style & 4) ? 1 : 0,
                     (style & 8) ? 1 : 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS, face);
}

SIZE MeasureLineText(const char *text, const char *face, int height, uint32_t style, bool applyStyle) {
  SIZE size{0, 0};
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return size;
  HFONT font = CreateLineFont(height, face, applyStyle ? style : 0);
  HGDIOBJ old = SelectObject(dc, font);
  GetTextExtentPoint32A(dc, text, int(strnlen(text, 255)), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  if (applyStyle && (style & 2)) size.cx += std::abs(height) / 2;
  return size;
}

// ---- construction ----

TLine::TLine(uint16_t typeCode, uint16_t anchorTotal, uint16_t labelTotal)
    : type(typeCode), anchorCount(anchorTotal), labelCount(labelTotal) {
  colour = (ViewColor(35) ^ ViewColor(1)) & 0xFFFFFF;
  anchors = static_cast<LINEPOINT *>(Malloc(int32_t(sizeof(LINEPOINT)) * anchorCount));
  if (labelCount) labels = static_cast<LINEPOINT *>(Malloc(int32_t(sizeof(LINEPOINT)) * labelCount));
  showHandles = 0;
}

TLine::~TLine() {
  Free(anchors);
  Free(labels);
}

TLine *TLine::CreateByType(int code) {
  TLine *line = nullptr;
  switch (code) {
    case 1: line = new (std::nothrow) DrawDDLINE; break;
    case 2: line = new (std::nothrow) DrawDOT_DOT; break;
    case 3: line = new (std::nothrow) DrawPLINE; break;
    case 4: line = new (std::nothrow) DrawSINLINE; break;
    case 5: line = new (std::nothrow) DrawGOLDLINE; break;
    case 6: line = new (std::nothrow) DrawPERLINE; break;
    case 7: line = new (std::nothrow) DrawARCLINE; break;
    case 8: line = new (std::nothrow) DrawRECTANGLE; break;
    case 9: line = new (std::nothrow) DrawGUNSLINE; break;
    case 10: line = new (std::nothrow) DrawFABCYCLELINE; break;
    case 11: line = new (std::nothrow) DrawCYCLELINE; break;
    case 12: line = new (std::nothrow) DrawSRLINE; break;
    case 13: line = new (std::nothrow) DrawLRZONE; break;
    case 14: line = new (std::nothrow) DrawLRCHANNEL; break;
    case 15: line = new (std::nothrow) DrawTEXT; break;
    case 16: line = new (std::nothrow) DrawUPARROW; break;
    case 17: line = new (std::nothrow) DrawDOWNARROW; break;
    case 20: line = new (std::nothrow) DrawTopLeftArrow; break;
    case 21: line = new (std::nothrow) DrawTopRightArrow; break;
    case 22: line = new (std::nothrow) DrawBottomLeftArrow; break;
    case 23: line = new (std::nothrow) DrawBottomRightArrow; break;
    case 24: line = new (std::nothrow) HorizontalLine; break;
    case 25: line = new (std::nothrow) VerticalLine; break;
    case 26: line = new (std::nothrow) AngularBisectorUp; break;
    case 27: line = new (std::nothrow) AngularBisectorDown; break;
    case 29: line = new (std::nothrow) DrawCOMPLEXPERLINE; break;
    default: return nullptr;
  }
  if (line && !line->Allocated()) {
    delete line;
    return nullptr;
  }
  return line;
}

// ---- mapping ----

void TLine::SetMapping(int window, STKPTR stock, const uint32_t *times, uint32_t timeCount, const KLINEBAR *bars,
                       uint32_t barCount, int firstBar, int visibleBars, const RECT &plot, double low, double high,
                       double barWidth, double barGap) {
  map.window = window;
  map.stock = stock;
  map.times = times;
  map.timeCount = times ? timeCount : 0;
  map.bars = bars;
  map.barCount = bars ? barCount : 0;
  map.firstBar = firstBar;
  map.visibleBars = visibleBars;
  map.rect = plot;
  map.low = low;
  map.high = high;
  map.barWidth = barWidth;
  map.barGap = barGap;
}

int TLine::BarCentre(double index) const {
  return map.rect.left + LineTrunc(Pitch() * (index - map.firstBar) + map.barWidth * 0.5 + map.barGap);
}

int TLine::SlotOf(int x) const {
  const double pitch = Pitch();
  return pitch > 0 ? LineTrunc((x - map.rect.left) / pitch) : 0;
}

double TLine::PriceDivisor() const {
  const STKINFO *info = GetStockInfo(map.stock);
  return info && info->priceDivisor ? double(info->priceDivisor) : 1.0;
}

int TLine::PriceDecimals() const {
  const STKINFO *info = GetStockInfo(map.stock);
  return info ? info->decimals : 4;
}

bool TLine::DataToScreen(LINEPOINT &p) const {
  if (map.timeCount == 0) {
    p.x = p.y = -1;
    return false;
  }
  // A time between two bars goes to the later bar, one before the first to
  // -1, and one after the last to where the next bar will stand.
  int64_t k = map.timeCount;
  for (uint32_t i = 0; i < map.timeCount; ++i) {
    const int c = CompareUInt(map.times[i], p.time);
    if (c == 0) {
      k = i;
      break;
    }
    if (c > 0) {
      k = i == 0 ? -1 : int64_t(i);
      break;
    }
  }
  p.x = BarCentre(double(k));
  const double height = map.rect.bottom - map.rect.top;
  if (map.high > map.low)
    p.y = map.rect.bottom - LineTrunc(height / (map.high - map.low) * (p.price - map.low) + 0.5);
  else
    p.y = map.rect.bottom;  // a flat axis has no height to place values on
  return true;
}

bool TLine::ScreenToData(LINEPOINT &p, bool snap) const {
  LINEPOINT other = p;
  other.mark = std::numeric_limits<uint32_t>::max();  // no line to follow
  return ScreenToDataAlong(p, other, snap);
}

bool TLine::ScreenToDataAlong(LINEPOINT &p, const LINEPOINT &other, bool snap) const {
  const bool along = other.mark != std::numeric_limits<uint32_t>::max();
  const int s = SlotOf(p.x);
  int64_t index;
  if (s < 0) {
    snap = false;
    index = map.firstBar;
  } else if (s > map.visibleBars - 1) {
    snap = false;
    index = int64_t(map.firstBar) + map.visibleBars - 1;
  } else {
    index = int64_t(map.firstBar) + s;
  }
  if (index < 0 || map.timeCount == 0 || index >= int64_t(map.timeCount)) return false;
  p.time = map.times[index];
  const double scale = map.high > map.low ? (map.rect.bottom - map.rect.top) / (map.high - map.low) : 0.0;
  if (snap && map.bars) {
    const int bar = FindBarByTime(map.bars, int(map.barCount), p.time);
    if (bar >= 0) {
      const double divisor = PriceDivisor();
      const double h = map.bars[bar].high / divisor, l = map.bars[bar].low / divisor;
      const int yH = LineTrunc(map.rect.bottom - (h - map.low) * scale);
      const int yL = LineTrunc(map.rect.bottom - (l - map.low) * scale);
      if (std::abs(int64_t(p.y) - yH) < 10) {
        p.price = float(h);
        return true;
      }
      if (std::abs(int64_t(p.y) - yL) < 10) {
        p.price = float(l);
        return true;
      }
    }
  }
  double y = p.y;
  if (along && p.x != other.x) {
    // Keep the slope the user drew when the point moves onto the bar centre.
    const int xc = BarCentre(double(index));
    y = double(p.y - other.y) / double(p.x - other.x) * (xc - other.x) + other.y;
  }
  p.price = scale > 0 ? float((map.rect.bottom - y) / scale + map.low) : 0.0f;
  return true;
}

bool TLine::ClampToChart(LINEPOINT &p, bool apply) const {
  const int right = BarCentre(double(map.firstBar) + map.visibleBars - 1);
  bool outside = false;
  if (p.y > map.rect.bottom) {
    outside = true;
    if (apply) p.y = map.rect.bottom;
  }
  if (p.y < map.rect.top) {
    outside = true;
    if (apply) p.y = map.rect.top;
  }
  if (p.x > right) {
    outside = true;
    if (apply) p.x = right;
  }
  if (p.x < map.rect.left) {
    outside = true;
    if (apply) p.x = map.rect.left;
  }
  return outside;
}

COLORREF TLine::ContrastColour(bool xorWithBackground) const {
  const COLORREF background = ViewColor(1) & 0xFFFFFF;
  COLORREF c = colour & 0xFFFFFF;
  const int lb = ColourLuminance(background);
  if (std::abs(ColourLuminance(c) - lb) < 24000) c = lb < 128000 ? 0xFFFFFF : 0x000000;
  return xorWithBackground ? (c ^ background) : c;
}

bool TLine::SnapOn() const {
  TLineToolBox *palette = MainFrameHost()->LinePalette();
  return !palette || palette->SnapOn();
}

// ---- handles and segments ----

void TLine::DrawHandle(POINT p, HDC dc, const RECT &clip) {
  const int l = p.x - 3, r = p.x + 3, t = p.y - 3, b = p.y + 3;
  if (r < clip.left || b < clip.top || l >= clip.right || t >= clip.bottom) return;
  HPEN pen = CreatePen(PS_SOLID, 1, ContrastColour(true));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const int oldRop = SetROP2(dc, R2_XORPEN);
  // Each side covers its own pixels (the corners once), so a second pass
  // restores every pixel.
  auto horizontal = [&](int y, int x0, int x1) {
    x0 = std::max(x0, int(clip.left));
    x1 = std::min(x1, int(clip.right) - 1);
    if (x0 > x1) return;
    MoveToEx(dc, x0, y, nullptr);
    LineTo(dc, x1 + 1, y);
  };
  auto vertical = [&](int x, int y0, int y1) {
    y0 = std::max(y0, int(clip.top));
    y1 = std::min(y1, int(clip.bottom) - 1);
    if (y0 > y1) return;
    MoveToEx(dc, x, y0, nullptr);
    LineTo(dc, x, y1 + 1);
  };
  if (t >= clip.top) horizontal(t, l, r - 1);
  if (r < clip.right) vertical(r, t, b - 1);
  if (b < clip.bottom) horizontal(b, l + 1, r);
  if (l >= clip.left) vertical(l, t + 1, b);
  SetROP2(dc, oldRop);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void TLine::DrawHandleAt(LINEPOINT p, HDC dc, const RECT &clip) { DrawHandle(POINT{p.x, p.y}, dc, clip); }

void TLine::Segment(HDC dc, POINT a, POINT b, int penStyle) {
  HPEN pen = CreatePen(penStyle, 1, ContrastColour(true));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, a.x, a.y, nullptr);
  LineTo(dc, b.x, b.y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TLine::SegmentWithHandles(HDC dc, POINT a, POINT b, int penStyle, bool withHandles) {
  Segment(dc, a, b, penStyle);
  if (withHandles) {
    DrawHandle(a, dc, map.rect);
    DrawHandle(b, dc, map.rect);
  }
}

void TLine::DrawSegment(POINT a, POINT b, HDC dc, bool withHandles) {
  SegmentWithHandles(dc, a, b, PS_SOLID, withHandles);
}

void TLine::DrawSegmentXY(LINEPOINT a, LINEPOINT b, HDC dc, bool withHandles) {
  SegmentWithHandles(dc, POINT{a.x, a.y}, POINT{b.x, b.y}, PS_SOLID, withHandles);
}

void TLine::DrawDottedSegment(POINT a, POINT b, HDC dc, bool withHandles) {
  SegmentWithHandles(dc, a, b, PS_DOT, withHandles);
}

void TLine::DrawDottedSegmentXY(LINEPOINT a, LINEPOINT b, HDC dc, bool withHandles) {
  SegmentWithHandles(dc, POINT{a.x, a.y}, POINT{b.x, b.y}, PS_DOT, withHandles);
}

// ---- drawing ----

void TLine::Draw(HDC dc, bool withHandles) {
  const int oldRop = SetROP2(dc, R2_XORPEN);
  if (state == kLinePlacing) {
    // Only the rubber band, once its second point has a position.
    if (anchorCount == 2 && anchors[0].mark != 0 && anchors[1].mark != 0)
      DrawSegmentXY(anchors[0], anchors[1], dc, withHandles);
  } else {
    DrawPicture(dc);
    SetROP2(dc, R2_XORPEN);
    if (withHandles && !IsGlyph())
      for (int i = 0; i < anchorCount; ++i) DrawHandleAt(anchors[i], dc, map.rect);
  }
  SetROP2(dc, oldRop);
}

void TLine::UpdateAndDraw(HDC dc, bool withHandles) {
  if (map.timeCount == 0) return;
  for (int i = 0; i < anchorCount; ++i) DataToScreen(anchors[i]);
  if (!RebuildLabels(true)) return;
  Draw(dc, withHandles);
}

void TLine::Redraw(HDC dc, bool withHandles) { Draw(dc, withHandles); }

bool TLine::ResetActivePoint() {
  if (activePart < anchorCount) {
    if (state == kLinePlacing)
      anchors[activePart].mark = 0;
    else if (state == kLineMoving)
      DataToScreen(anchors[activePart]);
  }
  return true;
}

// ---- hit testing ----

int TLine::HitTest(POINT p) {
  if (state == kLinePlacing) return -1;
  if (IsGlyph()) {
    const int ax = anchors[0].x, ay = anchors[0].y;
    int x0, x1, y0, y1;
    switch (type) {
      case 15: x0 = ax, x1 = ax + textSize.cx, y0 = ay, y1 = ay + textSize.cy; break;
      case 16: x0 = ax - 4, x1 = ax + 4, y0 = ay - 9, y1 = ay + 3; break;
      case 17: x0 = ax - 4, x1 = ax + 4, y0 = ay - 3, y1 = ay + 9; break;
      case 20: x0 = ax - 6, x1 = ax + 4, y0 = ay - 6, y1 = ay + 4; break;
      case 21: x0 = ax - 4, x1 = ax + 6, y0 = ay - 6, y1 = ay + 4; break;
      case 22: x0 = ax - 6, x1 = ax + 4, y0 = ay - 4, y1 = ay + 6; break;
      default: x0 = ax - 4, x1 = ax + 6, y0 = ay - 4, y1 = ay + 6; break;
    }
    return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1 ? 0 : -1;
  }
  for (int i = 0; i < anchorCount; ++i)
    if (std::abs(p.x - anchors[i].x) <= 3 && std::abs(p.y - anchors[i].y) <= 3) return i;
  return BodyHit(p);
}

namespace {

bool Near(POINT p, const LINEPOINT &a, const LINEPOINT &b) {
  return PointNearSegment(p, POINT{a.x, a.y}, POINT{b.x, b.y});
}

}  // namespace

int TLine::BodyHit(POINT p) const {
  const RECT &r = map.rect;
  if ((type == 9 || type == 12 || type == 13 || type == 14) && anchors[1].x < anchors[0].x) return -1;
  const LINEPOINT *lb = labels;
  auto pairs = [&](std::initializer_list<std::pair<int, int>> list) {
    for (const auto &[a, b] : list)
      if (Near(p, lb[a], lb[b])) return true;
    return false;
  };
  bool hit = false;
  switch (type) {
    case 1:
    case 2: hit = pairs({{0, 1}}); break;
    case 3: hit = pairs({{4, 5}, {0, 1}, {2, 3}}); break;
    case 4: hit = SineHit(p); break;
    case 5:
    case 6:
    case 29:
      for (int i = 0; 2 * i + 1 < labelCount && !hit; ++i) hit = Near(p, lb[2 * i], lb[2 * i + 1]);
      break;
    case 7: hit = ArcHit(p); break;
    case 8: hit = pairs({{0, 1}, {1, 2}, {2, 3}, {0, 3}}); break;
    case 9:
    case 12:
      for (int i = 1; i < labelCount && !hit; ++i) hit = Near(p, lb[0], lb[i]);
      break;
    case 10:
    case 11: {
      const int k0 = SlotOf(anchors[0].x);
      if (k0 < 0 || k0 >= map.visibleBars) break;
      auto lineAt = [&](int64_t slot) {
        const int x = r.left + LineTrunc(double(slot) * Pitch() + map.barWidth * 0.5 + map.barGap);
        return std::pair<int, bool>(x, x >= r.left && x < r.right);
      };
      auto nearLine = [&](int x) { return PointNearSegment(p, POINT{x, int(r.top)}, POINT{x, int(r.bottom)}); };
      if (type == 10) {
        int64_t a = 1, b = 2;  // offsets 0, 1, 2, 3, 5, 8, ...
        for (int64_t offset = 0;; ) {
          const auto [x, inside] = lineAt(k0 + offset);
          if (!inside) break;
          if (nearLine(x)) {
            hit = true;
            break;
          }
          if (offset == 0) {
            offset = 1;
          } else if (offset == 1) {
            offset = 2;
          } else {
            const int64_t next = a + b;
            a = b;
            b = next;
            offset = b;
          }
        }
      } else {
        const int k1 = SlotOf(anchors[1].x);
        if (k1 < 0 || k1 >= map.visibleBars) break;
        const int64_t d = k1 - k0;
        for (int64_t i = 0;; ++i) {
          const auto [x, inside] = lineAt(k0 + i * d);
          if (!inside) break;
          if (nearLine(x)) {
            hit = true;
            break;
          }
          if (d == 0) break;
        }
      }
      break;
    }
    case 13: hit = pairs({{4, 5}, {0, 1}, {2, 3}}); break;
    case 14: hit = pairs({{4, 7}, {0, 6}, {2, 8}}); break;
    case 24:
      hit = std::abs(p.y - anchors[0].y) <= 2 && p.x != anchors[0].x && p.x >= r.left && p.x <= r.right;
      break;
    case 25:
      hit = std::abs(p.x - anchors[0].x) <= 2 && p.y != anchors[0].y && p.y >= r.top && p.y <= r.bottom;
      break;
    case 26:
      hit = PointNearSegment(p, POINT{anchors[0].x, anchors[0].y}, POINT{anchors[0].x + 10000, anchors[0].y - 10000});
      break;
    case 27:
      hit = PointNearSegment(p, POINT{anchors[0].x, anchors[0].y}, POINT{anchors[0].x + 10000, anchors[0].y + 10000});
      break;
    default: break;
  }
  return hit ? int(kLineBody) : -1;
}

bool TLine::SineHit(POINT p) const {
  const int x0 = anchors[0].x, y0 = anchors[0].y, x1 = anchors[1].x;
  const int a = anchors[1].y - y0;
  if (std::abs(p.y - y0) > std::abs(a)) return false;
  if (x0 == x1) return PointNearSegment(p, POINT{x0, y0 + std::abs(a)}, POINT{x0, y0 - std::abs(a)});
  auto f = [&](int x) { return y0 + LineTrunc(a * std::sin((x - x0) * 3.14159 / (2.0 * (x1 - x0)))); };
  const POINT here{p.x, f(p.x)}, right{p.x + 1, f(p.x + 1)}, left{p.x - 1, f(p.x - 1)};
  if (PointNearSegment(p, right, left)) return true;
  if (std::abs(p.x - here.x) <= 3 && std::abs(p.y - here.y) <= 3) return true;
  return PointNearSegment(p, here, right) || PointNearSegment(p, here, left);
}

bool TLine::ArcHit(POINT p) const {
  const int x0 = anchors[0].x, y0 = anchors[0].y, x1 = anchors[1].x, y1 = anchors[1].y;
  const double a = std::abs(x1 - x0), b = std::abs(y1 - y0);
  // The ellipse whose half is drawn, the axis it is drawn along and the side.
  double cx, cy;
  bool alongX;
  int side;
  if (x1 > x0 && y1 > y0) {
    cx = x1, cy = y0, alongX = true, side = +1;  // lower half
  } else if (x1 > x0) {
    cx = x0, cy = y1, alongX = false, side = +1;  // right half
  } else if (y1 > y0) {
    cx = x0, cy = y1, alongX = false, side = -1;  // left half
  } else {
    cx = x1, cy = y0, alongX = true, side = -1;  // upper half
  }
  const double dx = p.x - cx, dy = p.y - cy;
  if (std::abs(dx) > a || std::abs(dy) > b) return false;
  auto root = [](double v) { return v > 0 ? std::sqrt(v) : 0.0; };
  // Measured along the drawing axis u with the semi-axis su; across it v, sv.
  const double u = alongX ? dx : dy, v = alongX ? dy : dx;
  const double su = alongX ? a : b, sv = alongX ? b : a;
  if (su == 0) return false;
  const double across = LineTrunc(sv * root(1 - (u / su) * (u / su)));
  if (std::abs(v - side * across) <= 3) return true;
  // Along the axis only on the drawn side, so the undrawn mirror half is no hit.
  if (sv == 0 || v * side < 0) return false;
  const double reach = LineTrunc(su * root(1 - (v / sv) * (v / sv)));
  return std::abs(u - reach) <= 3 || std::abs(u + reach) <= 3;
}

// ---- mouse ----

int TLine::OnClick(int x, int y, HDC dc) {
  if (map.timeCount == 0) return 1;
  const bool snap = SnapOn();
  if (state == kLinePlacing) {
    if (activePart >= anchorCount) activePart = 0;
    if (activePart > 0) Redraw(dc, false);
    LINEPOINT &a = anchors[activePart];
    a.x = x;
    a.y = y;
    if (AlongKind() && activePart == uint32_t(anchorCount - 1) && activePart > 0)
      ScreenToDataAlong(a, anchors[activePart - 1], snap);
    else
      ScreenToData(a, snap);
    DataToScreen(a);
    a.mark = 1;
    ++activePart;
    if (activePart == anchorCount) {
      if (type == 5) std::swap(anchors[0], anchors[1]);
      if (type == 15) {
        MainFrameHost()->SetDialogOpen(true);
        TTextLineDlg dialog(nullptr, text, fontFace, &colour, &fontStyle, &fontHeight, &textSize);
        const int result = dialog.ShowModal();
        MainFrameHost()->SetDialogOpen(false);
        if (result != mrOk) return 0;
      }
      CompletePlacement(dc);
      activePart = 0;
    }
    return 1;
  }
  if (state == kLinePlaced) {
    if (activePart < kLineBody) {
      if (IsGlyph()) {
        grabX = x;
        grabY = y;
      }
      if (activePart < anchorCount) anchors[activePart].mark = 2;
      moveMode = kMoveAnchor;
    } else {
      grabX = x;
      grabY = y;
      moveMode = kMoveWhole;
    }
    state = kLineMoving;
    Redraw(dc, showHandles != 0);
    Draw(dc, false);
    return 1;
  }
  // Dropping a moved object.
  Redraw(dc, false);
  if (moveMode == kMoveWhole || IsGlyph()) {
    MoveBy(x, y);
    for (int i = 0; i < anchorCount; ++i) {
      ScreenToData(anchors[i], snap);
      DataToScreen(anchors[i]);
      anchors[i].mark = 1;
    }
  } else if (moveMode == kMoveAnchor && activePart < anchorCount) {
    LINEPOINT &a = anchors[activePart];
    a.x = x;
    a.y = y;
    if (AlongKind() && anchorCount == 2)
      ScreenToDataAlong(a, anchors[1 - activePart], snap);
    else
      ScreenToData(a, snap);
    DataToScreen(a);
    a.mark = 1;
  }
  CompletePlacement(dc);
  activePart = 0;
  moveMode = kMoveNone;
  return 1;
}

void TLine::OnMouseMove(int x, int y, HDC dc) {
  if (state == kLineMoving && moveMode == kMoveWhole) {
    Redraw(dc, false);
    MoveBy(x, y);
  } else if (state == kLinePlacing || (state == kLineMoving && moveMode == kMoveAnchor)) {
    if (activePart >= anchorCount) return;
    LINEPOINT &a = anchors[activePart];
    if (a.mark == 2) Redraw(dc, false);
    a.mark = 2;
    a.x = x;
    a.y = y;
  } else {
    return;
  }
  switch (type) {
    case 1: ComputeExtendedLine(anchors[0], anchors[1]); break;
    case 2:
      labels[0] = anchors[0];
      labels[1] = anchors[1];
      break;
    case 8: ComputeRectangle(anchors[0], anchors[1]); break;
    case 9: ComputeGannFan(anchors[0], anchors[1]); break;
    case 12: ComputeSpeedResistance(anchors[0], anchors[1]); break;
    case 3:
      if (moveMode != kMoveNone) ComputeParallelLines(anchors[0], anchors[1]);
      break;
    case 13:
      if (moveMode != kMoveNone) ComputeRegressionBand(anchors[0], anchors[1]);
      break;
    case 14:
      if (moveMode != kMoveNone) ComputeRegressionChannel(anchors[0], anchors[1]);
      break;
    default: break;
  }
  Draw(dc, false);
}

void TLine::MoveBy(int x, int y) {
  for (int i = 0; i < anchorCount; ++i) {
    anchors[i].x += x - grabX;
    anchors[i].y += y - grabY;
  }
  grabX = x;
  grabY = y;
}

void TLine::CompletePlacement(HDC dc) {
  RebuildLabels(false);
  state = kLinePlaced;
  Draw(dc, showHandles != 0);
}
