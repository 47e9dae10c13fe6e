// The drawing statements painted: placement of texts and pictures, sticks,
// K-lines, segments and lines with their clipping, and the two background
// statements.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "formula/indexpaint.h"
#include "formula/kvindex.h"
#include "testing/index_window.h"
#include "tests/formula/formula_support.h"

namespace {

using formula_test::DailyBars;
using testing_support::IndexWindowRender;

constexpr COLORREF kInk = RGB(0, 255, 0);  // COLOR00FF00 of the statements below

// One pixel per value unit over [0, 180]: value v lies on row 197 - v; bar i
// spans columns 6i + 1 .. 6i + 5 with its centre at 6i + 3.
struct Plot : IndexWindowRender {
  explicit Plot(int width = 300, int height = 200) : IndexWindowRender(width, height, 50) {
    fixedRange = true;
    minimum = 0;
    maximum = plot.bottom - plot.top - kIndexLegendHeight;
  }
  int Y(double v) const { return plot.bottom - int(v); }
  int X(int i) const { return 6 * i + 3; }
  COLORREF Colour(int nn) const { return scheme.colors[nn - 1]; }
  // The box around the pixels of the colour, the anchor square left out.
  RECT Box(COLORREF c, POINT anchor) const {
    RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = plot.top; y < plot.bottom; ++y)
      for (int x = plot.left; x < plot.right; ++x) {
        if (Pixel(x, y) != c || (std::abs(x - anchor.x) <= 1 && std::abs(y - anchor.y) <= 1)) continue;
        box = RECT{std::min<int>(box.left, x), std::min<int>(box.top, y), std::max<int>(box.right, x + 1),
                   std::max<int>(box.bottom, y + 1)};
      }
    return box;
  }
};

std::vector<KLINEBAR> Flat(size_t n, double v = 50) { return DailyBars(std::vector<double>(n, v)); }

TEST(IndexStatements, TextPlacedByAlignAndClippedToThePlot) {
  const struct {
    const char *options;
    int dx, dy;  // where the text box starts relative to the anchor (INT_MIN: not checked)
  } cases[] = {{",ALIGN0,VALIGN0", 3, 3}, {",ALIGN2,VALIGN2", INT_MIN, INT_MIN}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.options);
    Plot w;
    ASSERT_TRUE(w.Load(std::string("DRAWTEXT(BARPOS=3,100,'WWWW'),COLOR00FF00") + c.options + ";", Flat(5)));
    w.first = 0;
    w.count = 5;
    w.Paint();
    const POINT anchor{w.X(2), w.Y(100)};
    EXPECT_EQ(w.Pixel(anchor.x + 1, anchor.y + 1), kInk);  // the 3 x 3 anchor mark
    const RECT box = w.Box(kInk, anchor);
    if (c.dx != INT_MIN) {
      EXPECT_GE(box.left, anchor.x + c.dx);
      EXPECT_LE(box.left, anchor.x + c.dx + 2);
      EXPECT_GE(box.top, anchor.y + c.dy);
    } else {
      EXPECT_LE(box.right, anchor.x - 2);
      EXPECT_LE(box.bottom, anchor.y - 2);
    }
  }
  // Near the right edge the text is cut at the plot, not moved inside.
  Plot edge;
  ASSERT_TRUE(edge.Load("DRAWTEXT(C>0,100,'WWWWWWWW'),COLOR00FF00,ALIGN0;", Flat(41)));
  edge.Paint();
  EXPECT_EQ(edge.Count(kInk, RECT{edge.plot.right, 0, edge.dib.m_width, edge.dib.m_height}), 0);
}

TEST(IndexStatements, AutomaticVerticalPlacementTakesTheLargerSpace) {
  Plot w;
  ASSERT_TRUE(w.Load("DRAWTEXT(BARPOS=2,150,'WW'),COLOR00FF00,ALIGN1,VALIGN3;", Flat(3)));
  w.Paint();
  const POINT anchor{w.X(1), w.Y(150)};
  const RECT box = w.Box(kInk, anchor);
  const int middle = (box.top + box.bottom) / 2, expected = (anchor.y + w.plot.bottom) / 2;
  EXPECT_NEAR(middle, expected, 2);
}

TEST(IndexStatements, NumbersAreBounded) {
  Plot w;
  ASSERT_TRUE(w.Load("DRAWNUMBER(C>0,100,POW(10,300),99),COLOR00FF00;DRAWNUMBER(C>0,50,C/3,-2.7);", Flat(2)));
  w.Paint();
  EXPECT_LT(strnlen(w.formula.draws[0]->text, sizeof w.formula.draws[0]->text), sizeof w.formula.draws[0]->text);
  EXPECT_STREQ(w.formula.draws[1]->text, "17");  // decimals truncated and held at 0
}

TEST(IndexStatements, Sticks) {
  const struct {
    const char *text;
    int left, right;  // columns covered at bar 2 (W = 4 is the bar: 13 .. 17)
    bool hollow;
  } cases[] = {
      {"STICKLINE(C>0,20,100,4,0),COLOR00FF00;", 13, 17, false},
      {"STICKLINE(C>0,20,100,8,1),COLOR00FF00;", 10, 19, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    Plot w;
    ASSERT_TRUE(w.Load(c.text, Flat(3)));
    w.Paint();
    const int row = w.Y(60);
    EXPECT_EQ(w.Pixel(c.left, row), kInk);
    EXPECT_EQ(w.Pixel(c.right, row), kInk);
    EXPECT_NE(w.Pixel(c.left - 1, row), kInk);
    EXPECT_NE(w.Pixel(c.right + 1, row), kInk);
    EXPECT_EQ(w.Pixel((c.left + c.right) / 2, row) == kInk, !c.hollow);
  }
  Plot flat;
  ASSERT_TRUE(flat.Load("STICKLINE(1,10,10,4,0),COLOR00FF00;", Flat(3)));
  flat.Paint();
  EXPECT_EQ(flat.Count(kInk, RECT{13, 0, 18, 200}), 5);  // one row across the bar
  flat.barWidth = 0.5;
  flat.barGap = 0;
  flat.count = 3;
  flat.Paint();
  EXPECT_EQ(flat.Pixel(0, flat.Y(10)), kInk);  // single pixels; bars 0 and 1 share column 0
  EXPECT_EQ(flat.Count(kInk), 2);
}

TEST(IndexStatements, KLinesFollowTheKLineMode) {
  const auto bars = DailyBars({100, 50, 80}, 100, {50, 100, 80}, {120, 110, 90}, {40, 45, 70});
  for (int mode : {0, 1}) {
    Plot w;
    ASSERT_TRUE(w.Load("DRAWKLINE(H,O,L,C);", bars));
    SetIndexKLineMode(mode);
    w.Paint();
    EXPECT_EQ(w.Pixel(1, w.Y(75)), w.Colour(3));
    EXPECT_EQ(w.Pixel(3, w.Y(75)), mode ? w.Colour(1) : w.Colour(3)) << mode;
    EXPECT_EQ(w.Pixel(9, w.Y(75)), w.Colour(2));
    EXPECT_EQ(w.Pixel(15, w.Y(80)), ~w.Colour(1) & 0xFFFFFF);  // flat pen
  }
}

TEST(IndexStatements, PartLinesNeedTheBarBefore) {
  Plot w;
  ASSERT_TRUE(w.Load("PARTLINE(1,C),COLOR00FF00;", Flat(10)));
  w.first = 5;
  w.count = 1;
  w.Paint();
  EXPECT_EQ(w.Count(kInk), 0);
  w.count = 3;
  w.Paint();
  EXPECT_GT(w.Count(kInk), 0);
}

TEST(IndexStatements, APolylineFromBeforeTheWindowStartsOnTheLeftEdge) {
  Plot w;
  // Condition bars 1 and 8; the window shows bars 4 .. 10.
  ASSERT_TRUE(w.Load("POLYLINE(BARPOS=2 OR BARPOS=9,BARPOS*10),COLOR00FF00;", Flat(11)));
  w.first = 4;
  w.count = 7;
  w.Paint();
  bool onEdge = false;
  for (int y = w.plot.top; y < w.plot.bottom; ++y) onEdge = onEdge || w.Pixel(0, y) == kInk;
  EXPECT_TRUE(onEdge);
  EXPECT_EQ(w.Pixel(w.X(4), w.Y(90)), w.Colour(1));  // the end point is left out
}

TEST(IndexStatements, StraightLinesExtendAndClip) {
  const struct {
    const char *text;
    uint32_t first;
    bool reachesRight, startSquare;
  } cases[] = {
      {"DRAWLINE(BARPOS=2,50,BARPOS=5,55,0),COLOR00FF00;", 0, false, true},
      {"DRAWLINE(BARPOS=2,50,BARPOS=5,55,1),COLOR00FF00;", 0, true, true},
      {"DRAWLINE(BARPOS=2,50,BARPOS=5,55,0),COLOR00FF00;", 2, false, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " first " << c.first);
    Plot w;
    ASSERT_TRUE(w.Load(c.text, Flat(12)));
    w.first = c.first;
    w.count = 10;
    w.Paint();
    const int startX = 6 * (1 - int(c.first)) + 3;
    EXPECT_EQ(w.Pixel(startX + 1, w.Y(50) + 1) == kInk, c.startSquare);
    bool right = false;
    for (int y = w.plot.top; y < w.plot.bottom; ++y) right = right || w.Pixel(w.plot.right - 1, y) == kInk;
    EXPECT_EQ(right, c.reachesRight);
    EXPECT_EQ(w.Pixel(6 * (4 - int(c.first)) + 3 + 1, w.Y(55) + 1), kInk);  // the end square
  }
}

TEST(IndexStatements, SlopedLinesRunToBothEdges) {
  Plot w;
  ASSERT_TRUE(w.Load("DRAWSL(BARPOS=5,90,0,0,2),COLOR00FF00;", Flat(10)));
  w.count = 10;
  w.Paint();
  EXPECT_EQ(w.Pixel(w.X(0) + 1, w.Y(90)), kInk);  // lines leave out their end point
  EXPECT_EQ(w.Pixel(w.X(9) - 1, w.Y(90)), kInk);
  // A flat line outside the range has no end to run to: only its mark.
  Plot outside;
  ASSERT_TRUE(outside.Load("DRAWSL(BARPOS=5,170,0,0,0),COLOR00FF00;", Flat(10)));
  outside.maximum = 160;
  outside.Paint();
  EXPECT_LE(outside.Count(kInk), 9);
}

TEST(IndexStatements, FilledBandsAndVerticalLines) {
  Plot w;
  ASSERT_TRUE(w.Load("FILLRGN(BARPOS>=2 AND BARPOS<=4,40,60),COLOR00FF00;VERTLINE(BARPOS=6),COLOR0000FF;", Flat(8)));
  w.Paint();
  for (int x = w.X(0); x <= w.X(3); ++x) EXPECT_EQ(w.Pixel(x, w.Y(50)), kInk) << x;
  EXPECT_NE(w.Pixel(w.X(3) + 1, w.Y(50)), kInk);
  EXPECT_EQ(w.Pixel(w.X(5), w.plot.top + kIndexLegendHeight + 5), RGB(255, 0, 0));
}

TEST(IndexStatements, GradientBackground) {
  Plot w;
  ASSERT_TRUE(w.Load("DRAWGBK(1,255,65280,0);", Flat(5)));
  w.Paint();
  const int y = w.plot.top + 50;
  EXPECT_EQ(w.Pixel(w.plot.left + 1, y), RGB(255, 0, 0));
  const COLORREF right = w.Pixel(w.plot.right - 2, y);
  EXPECT_LT(GetRValue(right), 5);
  EXPECT_GT(GetGValue(right), 250);
  EXPECT_EQ(w.Pixel(w.plot.left, y), w.Colour(1));  // first column and legend line untouched
  EXPECT_EQ(w.Pixel(w.plot.left + 5, w.plot.top + 10), w.Colour(1));
  Plot none;
  ASSERT_TRUE(none.Load("DRAWGBK(1,255,65280,2);", Flat(5)));
  none.Paint();
  EXPECT_EQ(none.Pixel(none.plot.left + 5, y), none.Colour(1));
}

TEST(IndexStatements, PicturesAndIcons) {
  const COLORREF panel = RGB(32, 32, 48);  // the pictures' own background
  // A picture behind the pane only when its condition holds at the last visible bar.
  for (const char *text : {"DRAWBKBMP(BARPOS=5,'up');", "DRAWBKBMP(BARPOS=4,'up');"}) {
    Plot w;
    ASSERT_TRUE(w.Load(text, Flat(5)));
    w.Paint();
    EXPECT_EQ(w.Count(panel) > 0, std::string(text).find("=5") != std::string::npos) << text;
  }
  for (const char *text : {"DRAWBMP(C>0,50,'up');", "DRAWBMP(C>0,50,'up.bmp');"}) {
    Plot w;
    ASSERT_TRUE(w.Load(text, Flat(2)));
    w.Paint();
    EXPECT_GT(w.Count(panel), 0) << text;
  }
  Plot missing;
  ASSERT_TRUE(missing.Load("DRAWBMP(C>0,50,'nothing');", Flat(2)));
  missing.Paint();
  EXPECT_EQ(missing.formula.draws[0]->picture, nullptr);
  // Icon numbers are held to 1 .. 14; magenta stays transparent.
  auto icon = [](int n) {
    Plot w;
    EXPECT_TRUE(w.Load("DRAWICON(C>0,50," + std::to_string(n) + ");", Flat(2)));
    w.Paint();
    EXPECT_EQ(w.Count(RGB(255, 0, 255)), 0);
    return w.Image();
  };
  EXPECT_EQ(icon(0), icon(1));
  EXPECT_EQ(icon(15), icon(14));
  EXPECT_NE(icon(1), icon(14));
}

}  // namespace
