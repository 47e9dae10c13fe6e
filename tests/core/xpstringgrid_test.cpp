#include <gtest/gtest.h>

#include "core/xpstringgrid.h"
#include "platform/gdi.h"
#include "classlib/forms.h"
#include "testing/view_harness.h"
#include "tests/core/xp_test_support.h"

namespace {

constexpr COLORREF kLine = RGB(192, 192, 192);
constexpr COLORREF kBack = RGB(250, 250, 240);
constexpr COLORREF kFixed = RGB(200, 220, 240);

// One fixed row and column; widths 40, 50, 60; heights 18, 20, 20, 20.
class XPStringGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 320, 200);
    grid = new TXPStringGrid(&form);
    grid->SetParent(&form);
    grid->SetBounds(0, 0, 252, 152);  // client 250 x 150 inside the flat edge
    grid->SetColCount(3);
    grid->SetRowCount(4);
    grid->SetColWidths(0, 40);
    grid->SetColWidths(1, 50);
    grid->SetColWidths(2, 60);
    grid->SetRowHeights(0, 18);
    for (int r = 1; r < 4; ++r) grid->SetRowHeights(r, 20);
    grid->SetColor(kBack);
    grid->SetFixedColor(kFixed);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 3; ++c) grid->SetCells(c, r, "W");
    grid->SetCol(1);
    grid->SetRow(2);
    form.Show();
    h.Pump();
  }
  COLORREF At(int x, int y) { return h.Pixel(grid->Handle(), x, y); }
  // Whether any pixel of the rectangle has the colour.
  bool Has(RECT r, COLORREF colour) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (At(x, y) == colour) return true;
    return false;
  }
  testing_support::ViewHarness h;
  TForm form{nullptr};
  TXPStringGrid *grid = nullptr;
};

TEST_F(XPStringGrid, GridLinesOfTheExample) {
  for (int y : {18, 39, 60, 81}) {
    EXPECT_EQ(At(0, y), kLine) << y;
    EXPECT_EQ(At(152, y), kLine) << y;
    EXPECT_EQ(At(153, y), kBack) << y;  // lines end at x = 153
  }
  for (int x : {40, 91, 152}) {
    EXPECT_EQ(At(x, 0), kLine) << x;
    EXPECT_EQ(At(x, 80), kLine) << x;
    EXPECT_EQ(At(x, 85), kBack) << x;
  }
  // No other lines: inside cells and beyond the last row and column.
  EXPECT_EQ(At(130, 50), kBack);
  EXPECT_EQ(At(200, 10), kBack);  // right of the cells, even on the fixed row
  EXPECT_EQ(At(20, 100), kBack);  // below the cells, even in the fixed column
  EXPECT_EQ(At(2, 2), kFixed);
  EXPECT_EQ(At(100, 2), kFixed);
  EXPECT_EQ(At(2, 70), kFixed);
}

// A picture of the window (PaintTo onto a memory context) holds the grid's
// own painting, not whatever the bitmap had before.
TEST_F(XPStringGrid, PictureOfTheWindowShowsTheGrid) {
  EXPECT_EQ(xp_test::PicturePixels(grid, {{2, 2}, {130, 50}, {40, 80}}),
            (std::vector<COLORREF>{kFixed, kBack, kLine}));
}

TEST_F(XPStringGrid, CurrentCellAndRowHighlight) {
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  // (41, 40, 91, 60) in the highlight colour, with white text.
  EXPECT_EQ(At(41, 40), highlight);
  EXPECT_EQ(At(90, 59), highlight);
  EXPECT_EQ(At(40, 45), kLine);
  EXPECT_EQ(At(91, 45), kLine);
  EXPECT_TRUE(Has(RECT{41, 40, 91, 60}, RGB(255, 255, 255)));
  EXPECT_EQ(At(130, 45), kBack);  // column 2 of that row is not current
  EXPECT_FALSE(Has(RECT{92, 40, 152, 60}, RGB(255, 255, 255)));

  grid->SetOptions(grid->Options() | goRowSelect);
  grid->Invalidate();
  EXPECT_EQ(At(130, 45), highlight);
  EXPECT_EQ(At(151, 59), highlight);
  // The fixed column of the current row keeps its colour.
  EXPECT_EQ(At(2, 45), kFixed);
  EXPECT_FALSE(Has(RECT{0, 40, 40, 60}, highlight));
  EXPECT_FALSE(Has(RECT{0, 0, 153, 18}, highlight));
}

// The row below a highlighted row end: its fixed text keeps the font
// colour instead of the white of the highlight.
TEST_F(XPStringGrid, FixedTextUnderAHighlightedRowEndStaysInk) {
  grid->SetOptions(grid->Options() | goRowSelect);
  grid->Invalidate();
  // Row 3 (y 61 .. 80), fixed column: some ink, nothing white.
  EXPECT_FALSE(Has(RECT{0, 61, 40, 81}, RGB(255, 255, 255)));
  EXPECT_TRUE(Has(RECT{0, 61, 40, 81}, RGB(0, 0, 0)));
}

TEST_F(XPStringGrid, ScrolledGridDrawsFromTheTopLeftCell) {
  grid->SetRowCount(40);
  for (int r = 1; r < 40; ++r) grid->SetRowHeights(r, 20);
  grid->SetTopRow(10);
  grid->SetRow(10);
  grid->Invalidate();
  // Row 10 is now the first scrollable row: its highlight starts under the
  // fixed row's line.
  EXPECT_EQ(At(41, 19), GetSysColor(COLOR_HIGHLIGHT));
  // Rows beyond the client area: the lines stop with the client (150 high).
  EXPECT_EQ(At(0, 144), kLine);
}

TEST_F(XPStringGrid, FlatFrame) {
  EXPECT_NE(GetWindowLongA(grid->Handle(), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
  EXPECT_EQ(GetWindowLongA(grid->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  // Painted with the first paint, without being asked.
  EXPECT_EQ(xp_test::FramePixel(grid->Handle(), 0, 0), RGB(127, 157, 185));
  EXPECT_EQ(xp_test::FramePixel(grid->Handle(), 251, 151), RGB(127, 157, 185));
}

}  // namespace
