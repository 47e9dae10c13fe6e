// The drawing objects users place on a K-line view's windows: lines,
// segments, channels, level sets, fans, cycles, regression bands, arrows and
// text. An object keeps its points in data coordinates (bar time and value on
// its window's axis) and maps them to pixels through the mapping the view
// hands it after every layout change. Objects are drawn straight onto the
// screen with an XOR pen, so drawing the same picture twice removes it; that
// is how placing, moving and hover highlighting work without repainting the
// chart.
//
// All kind-specific behaviour is a switch on the type code inside TLine; the
// 26 classes only set their type and point counts. GUI thread only.
#pragma once

#include <cstdint>

#include "market/marketrecords.h"
#include "market/records.h"
#include "platform/windef.h"

#pragma pack(push, 1)
// One point of an object: pixels in the view's client area, the bar time it
// sits on, its value on the window's axis. For anchors `mark` is 0 not set,
// 1 set, 2 being dragged (its rubber band is on the screen).
struct LINEPOINT {
  int32_t x;
  int32_t y;
  uint32_t time;  // PackedDateTime
  float price;
  uint32_t mark;
};
#pragma pack(pop)
static_assert(sizeof(LINEPOINT) == 20);

// Where the object's window lies and what its axes hold; written by the view.
struct LINEMAPPING {
  int32_t window;
  STKPTR stock;
  const uint32_t *times;  // one PackedDateTime per time-axis position, ascending
  uint32_t timeCount;
  const KLINEBAR *bars;
  uint32_t barCount;
  int32_t firstBar;
  int32_t visibleBars;
  RECT rect;  // the window's plot area
  double low;
  double high;
  double barWidth;
  double barGap;
};

// Object states and move modes.
enum : int16_t { kLinePlacing = 0, kLinePlaced = 1, kLineMoving = 2 };
enum : int16_t { kMoveNone = 0, kMoveAnchor = 1, kMoveWhole = 2 };
// The hit part that stands for the whole body.
constexpr uint32_t kLineBody = 256;
// Type codes without an object class: the palette's delete tool, delete
// all and the spiral-calendar aid.
constexpr int kToolDelete = 18;
constexpr int kToolDeleteAll = 19;
constexpr int kToolSpiral = 28;

class TLine {
 public:
  virtual ~TLine();
  TLine(const TLine &) = delete;
  TLine &operator=(const TLine &) = delete;

  // A new object of the class of the type code (1-17, 20-27, 29); null for
  // any other code or when its point arrays can't be had.
  static TLine *CreateByType(int type);

  // ---- drawing slots ----
  // XOR outline square of 7x7 pixels around the point, clipped.
  virtual void DrawHandle(POINT p, HDC dc, const RECT &clip);
  virtual void DrawHandleAt(LINEPOINT p, HDC dc, const RECT &clip);
  // Solid or dotted 1-pixel line, with handles at both ends on request.
  virtual void DrawSegment(POINT a, POINT b, HDC dc, bool withHandles);
  virtual void DrawSegmentXY(LINEPOINT a, LINEPOINT b, HDC dc, bool withHandles);
  virtual void DrawDottedSegment(POINT a, POINT b, HDC dc, bool withHandles);
  virtual void DrawDottedSegmentXY(LINEPOINT a, LINEPOINT b, HDC dc, bool withHandles);
  // Paints the object in its current state.
  virtual void Draw(HDC dc, bool withHandles);
  // Maps the anchors, rebuilds the labels, then draws.
  virtual void UpdateAndDraw(HDC dc, bool withHandles);
  // Draws again, which erases what Draw put on the screen.
  virtual void Redraw(HDC dc, bool withHandles);
  // -1 miss, an anchor index, or kLineBody.
  virtual int HitTest(POINT p);
  virtual bool ResetActivePoint();

  // ---- mapping ----
  void SetMapping(int window, STKPTR stock, const uint32_t *times, uint32_t timeCount, const KLINEBAR *bars,
                  uint32_t barCount, int firstBar, int visibleBars, const RECT &plot, double low, double high,
                  double barWidth, double barGap);
  bool DataToScreen(LINEPOINT &p) const;
  bool ScreenToData(LINEPOINT &p, bool snap) const;
  bool ScreenToDataAlong(LINEPOINT &p, const LINEPOINT &other, bool snap) const;
  // True when the point lies outside the plot; with apply it is pulled in.
  bool ClampToChart(LINEPOINT &p, bool apply) const;
  // The object's colour, or white or black when it would vanish on the
  // chart background; XORed with the background for XOR pens.
  COLORREF ContrastColour(bool xorWithBackground) const;

  // ---- mouse ----
  // 0 only when a new text object's dialog was cancelled.
  int OnClick(int x, int y, HDC dc);
  void OnMouseMove(int x, int y, HDC dc);
  void MoveBy(int x, int y);
  void CompletePlacement(HDC dc);

  // ---- label builders ----
  void ComputeExtendedLine(LINEPOINT a0, LINEPOINT a1);
  void ComputeParallelLines(LINEPOINT a0, LINEPOINT a1);
  void ComputeGoldenLevels(LINEPOINT a0, LINEPOINT a1);
  void ComputePercentLevels(LINEPOINT a0, LINEPOINT a1);
  void ComputeComplexPercentLevels(LINEPOINT a0, LINEPOINT a1);
  void ComputeRectangle(LINEPOINT a0, LINEPOINT a1);
  void ComputeGannFan(LINEPOINT a0, LINEPOINT a1);
  void ComputeSpeedResistance(LINEPOINT a0, LINEPOINT a1);
  void ComputeRegressionBand(LINEPOINT a0, LINEPOINT a1);
  void ComputeRegressionChannel(LINEPOINT a0, LINEPOINT a1);
  // Moves a segment end onto the plot border along the segment; false when
  // it can't be (a vertical segment beside the plot, a flat one above it).
  bool ClipPointToChart(LINEPOINT &p, const LINEPOINT &other) const;

  // ---- glyph painters ----
  void DrawUpArrowGlyph(HDC dc, const RECT &clip);
  void DrawDownArrowGlyph(HDC dc, const RECT &clip);
  void DrawCornerArrowGlyph(HDC dc, const RECT &clip);
  void DrawTextObject(HDC dc, const RECT &clip);
  void DrawHorizontalObject(HDC dc, const RECT &clip);
  void DrawVerticalObject(HDC dc, const RECT &clip);
  void DrawRising45(HDC dc, const RECT &clip);
  void DrawFalling45(HDC dc, const RECT &clip);

  bool IsGlyph() const { return type == 15 || type == 16 || type == 17 || (type >= 20 && type <= 23); }
  bool IsTwoPoint() const { return anchorCount == 2; }

  char text[256] = {};
  SIZE textSize{0, 0};
  LINEPOINT *anchors = nullptr;
  LINEPOINT *labels = nullptr;
  int32_t grabX = 0;
  int32_t grabY = 0;
  uint16_t type = 0;
  uint16_t anchorCount = 0;
  uint16_t labelCount = 0;
  int16_t state = kLinePlacing;
  int16_t moveMode = kMoveNone;
  uint8_t showHandles = 0;
  uint32_t activePart = 0;
  LINEMAPPING map{};
  int32_t fontHeight = 15;
  uint32_t fontStyle = 0;
  COLORREF colour = 0;
  char fontFace[32] = "Tahoma";

 protected:
  TLine(uint16_t typeCode, uint16_t anchorTotal, uint16_t labelTotal);

 private:
  bool Allocated() const { return anchors && (labelCount == 0 || labels); }
  // Pitch of one bar and the centre x of a time-axis position.
  double Pitch() const { return map.barWidth + map.barGap; }
  int BarCentre(double index) const;
  int SlotOf(int x) const;
  double PriceDivisor() const;
  int PriceDecimals() const;
  bool SnapOn() const;
  bool AlongKind() const { return type == 1 || type == 2 || type == 3 || type == 9 || type == 12; }
  // Rebuilds the labels of the kind; false when a segment can't be drawn.
  bool RebuildLabels(bool forPaint);
  void DrawPicture(HDC dc);
  // Level pairs of labels; a level without a text is drawn solid.
  void DrawLevels(HDC dc, int levels, const char *const *texts, int textLength, bool strict);
  void ComputeRegression(LINEPOINT a0, LINEPOINT a1, bool channel);
  void DrawSine(HDC dc);
  void DrawArc(HDC dc);
  void DrawFibonacciCycle(HDC dc);
  void DrawCycles(HDC dc);
  void DrawRays(HDC dc, int rays, int solidRay);
  int BodyHit(POINT p) const;
  bool ArcHit(POINT p) const;
  bool SineHit(POINT p) const;
  void Segment(HDC dc, POINT a, POINT b, int penStyle);
  void SegmentWithHandles(HDC dc, POINT a, POINT b, int penStyle, bool withHandles);
};

// The 26 kinds; each only sets its type code and point counts.
class DrawDDLINE : public TLine { public: DrawDDLINE() : TLine(1, 2, 3) {} };
class DrawDOT_DOT : public TLine { public: DrawDOT_DOT() : TLine(2, 2, 3) {} };
class DrawPLINE : public TLine { public: DrawPLINE() : TLine(3, 2, 6) {} };
class DrawSINLINE : public TLine { public: DrawSINLINE() : TLine(4, 2, 0) {} };
class DrawGOLDLINE : public TLine { public: DrawGOLDLINE() : TLine(5, 2, 14) {} };
class DrawPERLINE : public TLine { public: DrawPERLINE() : TLine(6, 2, 10) {} };
class DrawARCLINE : public TLine { public: DrawARCLINE() : TLine(7, 2, 0) {} };
class DrawRECTANGLE : public TLine { public: DrawRECTANGLE() : TLine(8, 2, 4) {} };
class DrawGUNSLINE : public TLine { public: DrawGUNSLINE() : TLine(9, 2, 18) {} };
class DrawFABCYCLELINE : public TLine { public: DrawFABCYCLELINE() : TLine(10, 1, 0) {} };
class DrawCYCLELINE : public TLine { public: DrawCYCLELINE() : TLine(11, 2, 0) {} };
class DrawSRLINE : public TLine { public: DrawSRLINE() : TLine(12, 2, 6) {} };
class DrawLRZONE : public TLine { public: DrawLRZONE() : TLine(13, 2, 6) {} };
class DrawLRCHANNEL : public TLine { public: DrawLRCHANNEL() : TLine(14, 2, 9) {} };
class DrawTEXT : public TLine { public: DrawTEXT() : TLine(15, 1, 0) {} };
class DrawUPARROW : public TLine { public: DrawUPARROW() : TLine(16, 1, 0) {} };
class DrawDOWNARROW : public TLine { public: DrawDOWNARROW() : TLine(17, 1, 0) {} };
class DrawTopLeftArrow : public TLine { public: DrawTopLeftArrow() : TLine(20, 1, 0) {} };
class DrawTopRightArrow : public TLine { public: DrawTopRightArrow() : TLine(21, 1, 0) {} };
class DrawBottomLeftArrow : public TLine { public: DrawBottomLeftArrow() : TLine(22, 1, 0) {} };
class DrawBottomRightArrow : public TLine { public: DrawBottomRightArrow() : TLine(23, 1, 0) {} };
class HorizontalLine : public TLine { public: HorizontalLine() : TLine(24, 1, 0) {} };
class VerticalLine : public TLine { public: VerticalLine() : TLine(25, 1, 0) {} };
class AngularBisectorUp : public TLine { public: AngularBisectorUp() : TLine(26, 1, 0) {} };
class AngularBisectorDown : public TLine { public: AngularBisectorDown() : TLine(27, 1, 0) {} };
class DrawCOMPLEXPERLINE : public TLine { public: DrawCOMPLEXPERLINE() : TLine(29, 2, 22) {} };

// Truncation toward zero, held inside the int range for any value (NaN 0).
inline int LineTrunc(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return int(v);
}

// Luminance of a colour as the chart weighs it (R x 299 + G x 587 + B x 114).
int ColourLuminance(COLORREF c);

// The extent of a text in a font of that height, face and style (1 bold,
// 2 italic, 4 underline, 8 strike-out); italic text is widened by half the
// height. The style is left out when applyStyle is false.
SIZE MeasureLineText(const char *text, const char *face, int height, uint32_t style, bool applyStyle);
// A font of that height, face and style bits, swiss family.
HFONT CreateLineFont(int height, const char *face, uint32_t style);
