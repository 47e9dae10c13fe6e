// The drawing objects on a small test-built chart: mapping between data and
// pixels, snapping, hit testing, the mouse protocol, the label builders of
// the kinds and their XOR pictures.
#include <gtest/gtest.h>

#include "charts/textline.h"
#include "tests/charts/line_fixture.h"
#include "testing/view_harness.h"

using namespace line_fixture;

namespace {

LINEPOINT Point(uint32_t time, float price) {
  LINEPOINT p{};
  p.time = time;
  p.price = price;
  return p;
}

LINEPOINT Pixel(int x, int y) {
  LINEPOINT p{};
  p.x = x;
  p.y = y;
  return p;
}

TEST(LineMapping, DataToScreenPlacesTimesOnBarCentres) {
  ChartWorld world;
  auto line = world.Make(1);
  const uint32_t t5 = world.times[5];
  struct Case {
    const char *what;
    uint32_t time;
    float price;
    int x, y;
  } cases[] = {
      {"a bar's own time", t5, 20.0f, CentreOf(5), 120},
      {"between two bars: the later one", t5 + 1, 20.0f, CentreOf(6), 120},
      {"before the first bar: one pitch left", MakePackedDateTime(2011, 2, 1, 0, 0), 10.0f, CentreOf(-1), 220},
      {"after the last bar: where the next will stand", MakePackedDateTime(2012, 1, 1, 0, 0), 30.0f, CentreOf(40),
       20},
  };
  for (const Case &c : cases) {
    LINEPOINT p = Point(c.time, c.price);
    EXPECT_TRUE(line->DataToScreen(p)) << c.what;
    EXPECT_EQ(p.x, c.x) << c.what;
    EXPECT_EQ(p.y, c.y) << c.what;
  }

  // No time axis: off the chart and false; a flat axis: no division by zero.
  LINEPOINT p = Point(t5, 20);
  line->SetMapping(0, STKPTR(0, 0, 0), nullptr, 0, nullptr, 0, 0, kBars, kPlot, kLow, kHigh, kWidth, kGap);
  EXPECT_FALSE(line->DataToScreen(p));
  EXPECT_EQ(p.x, -1);
  EXPECT_EQ(p.y, -1);
  line->SetMapping(0, STKPTR(0, 0, 0), world.times.data(), kBars, world.bars.data(), kBars, 0, kBars, kPlot, 20, 20,
                   kWidth, kGap);
  EXPECT_TRUE(line->DataToScreen(p));
  EXPECT_EQ(p.y, kPlot.bottom);
}

TEST(LineMapping, ScreenToDataSnapsToTheBarsHighBeforeItsLow) {
  ChartWorld world;
  // Bar 7's low only 5 pixels under its high: both are within reach.
  world.bars[7].low = world.bars[7].high - 50;
  auto line = world.Make(1);
  const int highRow5 = RowOf(20.5), lowRow5 = RowOf(15.5);
  struct Case {
    const char *what;
    int x, y;
    bool snap;
    int bar;
    float price;
  } cases[] = {
      {"9 pixels above the high: the high", CentreOf(5), highRow5 - 9, true, 5, 20.5f},
      {"10 pixels above the high: the value under the mouse", CentreOf(5), highRow5 - 10, true, 5, 21.5f},
      {"9 pixels below the low: the low", CentreOf(5), lowRow5 + 9, true, 5, 15.5f},
      {"snap off: the value under the mouse", CentreOf(5), highRow5 - 9, false, 5, 21.4f},
      {"both within reach: the high wins", CentreOf(7), 116, true, 7, 20.7f},
      {"left of the plot: the first bar, no snap", kPlot.left - 15, RowOf(20.5), true, 0, 20.5f},
      {"right of the last bar: the last bar, no snap", kPlot.right + 20, RowOf(24.4), true, 39, 24.4f},
  };
  for (const Case &c : cases) {
    LINEPOINT p = Pixel(c.x, c.y);
    ASSERT_TRUE(line->ScreenToData(p, c.snap)) << c.what;
    EXPECT_EQ(p.time, world.times[c.bar]) << c.what;
    EXPECT_NEAR(p.price, c.price, 1e-4) << c.what;
    EXPECT_EQ(p.x, c.x) << c.what << ": pixels stay";
  }
  // Bar 7's high read with its own divisor, exactly.
  LINEPOINT p = Pixel(CentreOf(7), 116);
  line->ScreenToData(p, true);
  EXPECT_EQ(p.price, float(world.bars[7].high / 100.0));
}

TEST(LineMapping, ScreenToDataAlongKeepsTheDrawnSlope) {
  ChartWorld world;
  auto line = world.Make(1);
  // Same column as the other point: the point's own value.
  LINEPOINT p = Pixel(CentreOf(5) + 2, 100), other = Pixel(CentreOf(5) + 2, 150);
  ASSERT_TRUE(line->ScreenToDataAlong(p, other, false));
  EXPECT_FLOAT_EQ(p.price, 22.0f);
  // A slope of -1: three pixels right of the centre the line is three
  // pixels higher there than at the centre.
  p = Pixel(CentreOf(5) + 3, 100);
  other = Pixel(CentreOf(5) - 47, 150);
  ASSERT_TRUE(line->ScreenToDataAlong(p, other, false));
  EXPECT_NEAR(p.price, (220 - 103) / 10.0 + 10, 1e-4);
}

TEST(LineMapping, ClampToChartAndContrastColour) {
  ChartWorld world;
  auto line = world.Make(1);
  LINEPOINT p = Pixel(500, 10);
  EXPECT_TRUE(line->ClampToChart(p, true));
  EXPECT_EQ(p.x, CentreOf(39));
  EXPECT_EQ(p.y, kPlot.top);
  p = Pixel(100, 100);
  EXPECT_FALSE(line->ClampToChart(p, true));

  struct Case {
    COLORREF background, colour, shown;
  } cases[] = {
      {0x000000, 0x00FFFF, 0x00FFFF},  // far from the background: itself
      {0x000000, 0x101010, 0xFFFFFF},  // lost on dark: white
      {0xFFFFFF, 0xF0F0F0, 0x000000},  // lost on light: black
  };
  for (const Case &c : cases) {
    world.SetBackground(c.background);
    line->colour = c.colour;
    EXPECT_EQ(line->ContrastColour(false), c.shown);
    EXPECT_EQ(line->ContrastColour(true), c.shown ^ c.background);
  }
}

TEST(LineHitTest, HandlesThenBodies) {
  ChartWorld world;
  auto horizontal = world.Make(24, {{200, 100}});
  auto straight = world.Make(1, {{100, 150}, {300, 50}});
  straight->ComputeExtendedLine(straight->anchors[0], straight->anchors[1]);
  auto ray = world.Make(26, {{100, 200}});
  struct Case {
    const char *what;
    TLine *line;
    POINT at;
    int hit;
  } cases[] = {
      {"3 pixels off the anchor both ways", horizontal.get(), {203, 103}, 0},
      {"4 pixels off the anchor: the body", horizontal.get(), {204, 100}, int(kLineBody)},
      {"3 pixels off the line", horizontal.get(), {150, 103}, -1},
      {"second anchor", straight.get(), {297, 53}, 1},
      {"on the line 4 pixels from the anchor", straight.get(), {104, 148}, int(kLineBody)},
      {"off the line", straight.get(), {200, 110}, -1},
      {"far along a 45-degree ray", ray.get(), {5100, -4800}, int(kLineBody)},
      {"beside the ray", ray.get(), {5100, -4790}, -1},
  };
  for (const Case &c : cases) EXPECT_EQ(c.line->HitTest(c.at), c.hit) << c.what;

  // An object still being placed is never hit.
  straight->state = kLinePlacing;
  EXPECT_EQ(straight->HitTest(POINT{200, 100}), -1);
}

TEST(LineHitTest, TheArcIsHitOnItsDrawnHalfOnly) {
  ChartWorld world;
  // Right and below: the lower half of the ellipse centred (150, 100), 50 x 50.
  auto arc = world.Make(7, {{100, 100}, {150, 150}});
  arc->anchors[1] = Pixel(150, 150);
  struct Case {
    const char *what;
    POINT at;
    bool hit;
  } cases[] = {
      {"beside the lowest point", {155, 150}, true},
      {"on the steep end, by the along-axis measure", {102, 108}, true},
      {"its mirror on the undrawn half", {102, 92}, false},
      {"the top of the undrawn half", {150, 50}, false},
      {"inside the ellipse", {150, 120}, false},
  };
  for (const Case &c : cases) EXPECT_EQ(arc->HitTest(c.at) == int(kLineBody), c.hit) << c.what;
}

TEST(LineHitTest, GlyphsAreHitByTheirBoxAsAWhole) {
  ChartWorld world;
  auto text = world.Make(15, {{100, 100}});
  text->textSize = SIZE{40, 15};
  auto up = world.Make(16, {{200, 100}});
  EXPECT_EQ(text->HitTest(POINT{139, 114}), 0);
  EXPECT_EQ(text->HitTest(POINT{140, 100}), -1);
  EXPECT_EQ(up->HitTest(POINT{196, 91}), 0);
  EXPECT_EQ(up->HitTest(POINT{204, 100}), -1);
}

TEST(LineMouse, AHorizontalLineMovesByItsAnchorOrByItsBody) {
  ChartWorld world;
  Canvas canvas(480, 260, kDarkBackground);
  struct Case {
    const char *what;
    POINT grab, drop;
    int mode;
    POINT result;
  } cases[] = {
      // The anchor jumps to the drop point (on bar 21's centre).
      {"by its anchor", {204, 101}, {250, 125}, kMoveAnchor, {CentreOf(21), 125}},
      // The body keeps its offset: the anchor moves by (+20, +25).
      {"by its body", {150, 100}, {170, 125}, kMoveWhole, {CentreOf(18), 125}},
  };
  for (const Case &c : cases) {
    auto line = world.Make(24, {{200, 100}});
    line->DataToScreen(line->anchors[0]);  // onto bar 16's centre, 206
    line->Draw(canvas.Dc(), false);        // as the view painted it
    line->activePart = uint32_t(line->HitTest(c.grab));
    line->OnClick(c.grab.x, c.grab.y, canvas.Dc());
    EXPECT_EQ(line->state, kLineMoving) << c.what;
    EXPECT_EQ(line->moveMode, c.mode) << c.what;
    line->OnMouseMove(c.drop.x, c.drop.y, canvas.Dc());
    line->OnClick(c.drop.x, c.drop.y, canvas.Dc());
    EXPECT_EQ(line->state, kLinePlaced) << c.what;
    EXPECT_EQ(line->moveMode, kMoveNone) << c.what;
    EXPECT_EQ(line->anchors[0].x, c.result.x) << c.what;
    EXPECT_EQ(line->anchors[0].y, c.result.y) << c.what;
    EXPECT_EQ(line->anchors[0].time, world.times[(c.result.x - kPlot.left) / 10]) << c.what;
    line->Draw(canvas.Dc(), false);  // off the screen again
  }
  EXPECT_EQ(canvas.CountNot(kDarkBackground), 0) << "every XOR pass was undone";
}

TEST(LineMouse, AGoldenSectionPlacedFromLowToHighHasItsZeroLevelAtTheSecondClick) {
  ChartWorld world;
  Canvas canvas(480, 260, kDarkBackground);
  std::unique_ptr<TLine> golden(TLine::CreateByType(5));
  world.Map(*golden);
  const int x = CentreOf(2);
  EXPECT_EQ(golden->OnClick(x, 200, canvas.Dc()), 1);
  golden->OnMouseMove(x + 30, 60, canvas.Dc());
  EXPECT_EQ(golden->OnClick(x + 30, 60, canvas.Dc()), 1);
  EXPECT_EQ(golden->state, kLinePlaced);
  EXPECT_EQ(golden->anchors[0].y, 60) << "the second click is the 0 level";
  EXPECT_EQ(golden->anchors[1].y, 200);
  // 161.8 % and 261.8 % lie beyond the first click.
  EXPECT_GT(golden->labels[10].y, 200);
  EXPECT_GT(golden->labels[12].y, golden->labels[10].y);
  EXPECT_EQ(golden->labels[0].y, 60);
  EXPECT_NEAR(golden->labels[0].price, 26.0, 1e-4);
}

TEST(LineMouse, ANewTextObjectAsksForItsText) {
  testing_support::ViewHarness harness;
  ChartWorld world;
  Canvas canvas(480, 260, kDarkBackground);
  struct Case {
    const char *what;
    const char *typed;
    bool ok;
    int result;
  } cases[] = {{"typed and confirmed", "高点", true, 1}, {"confirmed empty", "", true, 0}, {"cancelled", "x", false, 0}};
  for (const Case &c : cases) {
    std::unique_ptr<TLine> text(TLine::CreateByType(15));
    world.Map(*text);
    harness.Soon([&] {
      auto *dialog = dynamic_cast<TTextLineDlg *>(TWinControl::FromHandle(GetActiveWindow()));
      ASSERT_NE(dialog, nullptr);
      dialog->Edit1->SetText(c.typed);
      harness.Click(c.ok ? dialog->Button1 : dialog->Button2, 5, 5);
    });
    EXPECT_EQ(text->OnClick(100, 100, canvas.Dc()), c.result) << c.what;
    if (c.result) {
      EXPECT_STREQ(text->text, "高点");
      EXPECT_GT(text->textSize.cx, 0);
      EXPECT_EQ(text->HitTest(POINT{text->anchors[0].x + 1, text->anchors[0].y + 1}), 0) << "its box is its body";
    }
  }
  EXPECT_EQ(world.host.Calls("SetDialogOpen"),
            (std::vector<std::string>{"SetDialogOpen 1", "SetDialogOpen 0", "SetDialogOpen 1", "SetDialogOpen 0",
                                      "SetDialogOpen 1", "SetDialogOpen 0"}));
}

// ---- kinds ----

TEST(LineKinds, ExtendedLinesAndSegments) {
  ChartWorld world;
  auto row = world.Make(1, {{100, 120}, {300, 120}});
  row->ComputeExtendedLine(row->anchors[0], row->anchors[1]);
  EXPECT_EQ((std::vector<int>{row->labels[0].x, row->labels[0].y, row->labels[1].x, row->labels[1].y}),
            (std::vector<int>{kPlot.left, 120, kPlot.right, 120}));
  auto column = world.Make(1, {{100, 50}, {100, 150}});
  column->ComputeExtendedLine(column->anchors[0], column->anchors[1]);
  EXPECT_EQ((std::vector<int>{column->labels[0].x, column->labels[0].y, column->labels[1].x, column->labels[1].y}),
            (std::vector<int>{100, kPlot.top, 100, kPlot.bottom}));
  // A slope that leaves through the top before the right edge.
  auto steep = world.Make(1, {{100, 200}, {110, 180}});
  steep->ComputeExtendedLine(steep->anchors[0], steep->anchors[1]);
  EXPECT_EQ(steep->labels[1].y, kPlot.top);
  EXPECT_EQ(steep->labels[1].x, 190);

  // A vertical segment left of the plot is not drawn at all; one crossing
  // the left edge is cut there.
  Canvas canvas(480, 260, kDarkBackground);
  std::unique_ptr<TLine> segment(TLine::CreateByType(2));
  world.Map(*segment);
  segment->state = kLinePlaced;
  segment->anchors[0] = Point(MakePackedDateTime(2011, 2, 1, 0, 0), 15);  // x 37
  segment->anchors[1] = Point(MakePackedDateTime(2011, 2, 1, 0, 0), 25);
  segment->UpdateAndDraw(canvas.Dc(), false);
  EXPECT_EQ(canvas.CountNot(kDarkBackground, RECT{0, 0, 480, 260}), 0);
  segment->anchors[1] = Point(world.times[10], 15);
  segment->UpdateAndDraw(canvas.Dc(), false);
  EXPECT_EQ(segment->labels[0].x, kPlot.left);
  EXPECT_GT(canvas.CountNot(kDarkBackground), 0);
}

TEST(LineKinds, LevelsOnThePlotEdges) {
  ChartWorld world;
  Canvas canvas(480, 260, kDarkBackground);
  auto rowDrawn = [&](int y) {
    for (int x = kPlot.left; x < kPlot.right; ++x)
      if (canvas.Pixel(x, y) != kDarkBackground) return true;
    return false;
  };
  // Percentage levels on T and B are not drawn (strict); golden ones are.
  auto percent = world.Make(6, {{100, kPlot.top}, {300, kPlot.bottom}});
  percent->anchors[0].y = kPlot.top;
  percent->anchors[1].y = kPlot.bottom;
  percent->ComputePercentLevels(percent->anchors[0], percent->anchors[1]);
  percent->Draw(canvas.Dc(), false);
  EXPECT_FALSE(rowDrawn(kPlot.top));
  EXPECT_FALSE(rowDrawn(kPlot.bottom));
  EXPECT_TRUE(rowDrawn(70)) << "the 25 % level";
  canvas.Fill(kDarkBackground);
  auto golden = world.Make(5, {{100, kPlot.top}, {300, kPlot.bottom}});
  golden->anchors[0].y = kPlot.top;
  golden->anchors[1].y = kPlot.bottom;
  golden->ComputeGoldenLevels(golden->anchors[0], golden->anchors[1]);
  golden->Draw(canvas.Dc(), false);
  EXPECT_TRUE(rowDrawn(kPlot.top));
  EXPECT_TRUE(rowDrawn(kPlot.bottom));
  // The complex set: eighths and thirds.
  auto complex = world.Make(29, {{100, 20}, {300, 180}});
  complex->anchors[0].y = 20;
  complex->anchors[1].y = 180;
  complex->ComputeComplexPercentLevels(complex->anchors[0], complex->anchors[1]);
  EXPECT_EQ(complex->labels[2].y, 40);
  EXPECT_EQ(complex->labels[18].y, 20 + 160 / 3);
}

TEST(LineKinds, FansAndRegressionRefuseASecondAnchorOnTheLeft) {
  ChartWorld world;
  Canvas canvas(480, 260, kDarkBackground);
  for (int type : {9, 12, 13, 14}) {
    auto fan = world.Make(type, {{300, 100}, {200, 50}});
    for (int i = 0; i < fan->labelCount; ++i) fan->labels[i] = Pixel(7, 7);
    fan->UpdateAndDraw(canvas.Dc(), false);
    EXPECT_EQ(fan->labels[1].x, 7) << type << ": nothing computed";
    EXPECT_EQ(canvas.CountNot(kDarkBackground, RECT{0, 0, 480, 260}), 0) << type << ": nothing drawn";
    EXPECT_EQ(fan->HitTest(POINT{7, 7}), -1) << type << ": nothing hit";
  }
}

TEST(LineKinds, RegressionBandThroughTheCloses) {
  ChartWorld world;
  // From bar 5 the closes rise a whole unit (10 pixels) a bar, 50 pixels
  // above the bottom at bar 5; highs and lows a unit above and below.
  for (int i = 5; i <= 15; ++i) {
    world.bars[i].close = 1500 + 100 * (i - 5);
    world.bars[i].high = world.bars[i].close + 100;
    world.bars[i].low = world.bars[i].close - 100;
  }
  auto band = world.Make(13, {{CentreOf(5), 100}, {CentreOf(15), 100}});
  band->ComputeRegressionBand(band->anchors[0], band->anchors[1]);
  const int expected[6][2] = {{4, 170}, {5, 70}, {0, 160}, {1, 60}, {2, 180}, {3, 80}};
  for (const auto &[label, y] : expected) EXPECT_EQ(band->labels[label].y, y) << "label " << label;
  EXPECT_EQ(band->labels[4].x, CentreOf(5));
  EXPECT_EQ(band->labels[5].x, CentreOf(15));
  EXPECT_EQ(band->anchors[0].y, 170) << "the anchors ride on the line";
  EXPECT_EQ(band->anchors[1].y, 70);

  // Over one bar, or over axis times without bars, the labels stay.
  struct Case {
    const char *what;
    int bar0, bar1;
  } cases[] = {{"one bar", 5, 6}, {"no bar of the instrument", 20, 25}};
  for (const Case &c : cases) {
    std::vector<KLINEBAR> saved = world.bars;
    if (c.bar0 == 20)
      for (int i = 21; i <= 25; ++i) world.bars[i].time += 1;  // bars off the axis times
    auto one = world.Make(13, {{CentreOf(c.bar0), 100}, {CentreOf(c.bar1), 100}});
    for (int i = 0; i < one->labelCount; ++i) one->labels[i] = Pixel(7, 7);
    one->ComputeRegressionBand(one->anchors[0], one->anchors[1]);
    EXPECT_EQ(one->labels[4].x, 7) << c.what;
    world.bars = saved;
  }

  // The channel continues each line to the right edge.
  auto channel = world.Make(14, {{CentreOf(5), 100}, {CentreOf(15), 100}});
  channel->ComputeRegressionChannel(channel->anchors[0], channel->anchors[1]);
  // The regression line leaves through the top before the right edge.
  EXPECT_EQ((std::vector<int>{channel->labels[7].x, channel->labels[7].y}), (std::vector<int>{246, kPlot.top}));
  EXPECT_EQ(channel->labels[6].y, kPlot.top);
}

TEST(LineKinds, CyclesAndGlyphsStayInsideThePlot) {
  ChartWorld world;
  Canvas canvas(480, 260, kDarkBackground);
  auto fib = world.Make(10, {{445, 100}});  // right of the last visible bar
  fib->anchors[0].x = 445;
  fib->Draw(canvas.Dc(), false);
  EXPECT_EQ(canvas.CountNot(kDarkBackground, RECT{0, 0, 480, 260}), 0);

  auto nearEdge = world.Make(16, {{42, 100}});
  nearEdge->anchors[0].x = 42;
  nearEdge->Draw(canvas.Dc(), false);
  EXPECT_EQ(canvas.CountNot(kDarkBackground, RECT{0, 0, 480, 260}), 0) << "closer than its box to the edge";
  auto up = world.Make(16, {{100, 100}});
  up->anchors[0] = Pixel(100, 100);
  up->state = kLinePlaced;
  up->Draw(canvas.Dc(), false);
  EXPECT_EQ(canvas.Pixel(100, 91), ViewColor(3)) << "the rising colour";
}

TEST(LineKinds, DrawingTwiceLeavesThePictureUnchanged) {
  ChartWorld world;
  for (COLORREF background : {kDarkBackground, kLightBackground}) {
    world.SetBackground(background);
    Canvas canvas(480, 260, background);
    const std::vector<uint8_t> before = canvas.Bytes();
    for (int type : {1, 2, 3, 4, 7, 8, 9, 11, 12, 13, 14, 24, 25, 26, 27}) {
      auto line = world.Make(type, {{CentreOf(5), 150}, {CentreOf(25), 80}});
      line->UpdateAndDraw(canvas.Dc(), true);
      EXPECT_NE(canvas.Bytes(), before) << type << " drew something";
      line->Redraw(canvas.Dc(), true);
      EXPECT_EQ(canvas.Bytes(), before) << type;
    }
  }
}

}  // namespace
