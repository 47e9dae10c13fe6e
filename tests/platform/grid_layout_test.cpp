#include <gtest/gtest.h>

#include "platform/grid_layout.h"
#include "platform/winuser.h"

using platform::GridCell;
using platform::GridLayout;

namespace {

// One fixed row and column; columns 40, 50, 60, rows 18, 20, 20, 20; 1-pixel
// lines. Row r >= 1 starts at 19 + 21 * (r - 1), column 1 at 41, column 2 at 92.
GridLayout SmallGrid(int width = 200, int height = 100) {
  GridLayout grid;
  grid.SetColCount(3);
  grid.SetRowCount(4);
  grid.SetColWidth(0, 40);
  grid.SetColWidth(1, 50);
  grid.SetColWidth(2, 60);
  grid.SetRowHeight(0, 18);
  for (int r = 1; r < 4; ++r) grid.SetRowHeight(r, 20);
  grid.SetClientSize(width, height);
  return grid;
}

bool SameRect(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(GridLayoutTest, CellsLieBetweenTheirLines) {
  GridLayout grid = SmallGrid();
  EXPECT_TRUE(SameRect(grid.CellRect({0, 0}), RECT{0, 0, 40, 18}));
  EXPECT_TRUE(SameRect(grid.CellRect({1, 2}), RECT{41, 40, 91, 60}));
  EXPECT_TRUE(SameRect(grid.CellRect({2, 3}), RECT{92, 61, 152, 81}));
  struct Probe {
    int x, y;
    bool hit;
    GridCell cell;
  } probes[] = {
      {0, 0, true, {0, 0}},   {39, 17, true, {0, 0}}, {40, 5, false, {}},  // on the first vertical line
      {41, 19, true, {1, 1}}, {90, 59, true, {1, 2}}, {60, 39, false, {}},  // on a horizontal line
      {151, 80, true, {2, 3}}, {153, 50, false, {}},  {50, 82, false, {}},  // beyond the last line
  };
  for (const Probe &p : probes) {
    GridCell cell{-1, -1};
    EXPECT_EQ(grid.MouseToCell(p.x, p.y, cell), p.hit) << p.x << "," << p.y;
    if (p.hit) EXPECT_EQ(cell, p.cell) << p.x << "," << p.y;
  }
}

TEST(GridLayoutTest, ScrolledRowsAreSkippedAndHiddenCellsHaveNoRectangle) {
  GridLayout grid = SmallGrid(200, 60);  // the fixed row and two data rows fit
  EXPECT_EQ(grid.VisibleRowCount(), 2);
  EXPECT_TRUE(grid.SetTopRow(2));
  EXPECT_TRUE(SameRect(grid.CellRect({1, 1}), RECT{}));
  EXPECT_TRUE(SameRect(grid.CellRect({1, 2}), RECT{41, 19, 91, 39}));
  GridCell cell;
  ASSERT_TRUE(grid.MouseToCell(45, 45, cell));
  EXPECT_EQ(cell, (GridCell{1, 3}));
  grid.SetTopRow(0);
  EXPECT_EQ(grid.TopRow(), 1);  // fixed rows never scroll
}

TEST(GridLayoutTest, KeysMoveTheCurrentCellWithinTheScrollableCells) {
  GridLayout grid;  // 5 x 5, one fixed row and column, 64 x 24 cells
  grid.SetRowCount(20);
  grid.SetClientSize(400, 125);  // the fixed row and four data rows fit
  struct Case {
    const char *name;
    GridCell start;
    int startTop;
    int key;
    bool shift, control, rowSelect, tabs;
    GridCell current;
    int topRow;
  } cases[] = {
      {"down", {1, 1}, 1, VK_DOWN, false, false, false, false, {1, 2}, 1},
      {"up stops at the first data row", {1, 1}, 1, VK_UP, false, false, false, false, {1, 1}, 1},
      {"left stops at the first data column", {1, 1}, 1, VK_LEFT, false, false, false, false, {1, 1}, 1},
      {"right", {1, 1}, 1, VK_RIGHT, false, false, false, false, {2, 1}, 1},
      {"right with row selection scrolls instead", {1, 1}, 1, VK_RIGHT, false, false, true, false, {1, 1}, 1},
      {"page down by a page less one", {1, 1}, 1, VK_NEXT, false, false, false, false, {1, 4}, 4},
      {"page down stops at the last page", {1, 18}, 15, VK_NEXT, false, false, false, false, {1, 19}, 16},
      {"end", {2, 3}, 1, VK_END, false, false, false, false, {4, 3}, 1},
      {"ctrl end", {2, 3}, 1, VK_END, false, true, false, false, {4, 19}, 1},
      {"ctrl home", {2, 3}, 1, VK_HOME, false, true, false, false, {1, 1}, 1},
      {"tab off", {4, 1}, 1, VK_TAB, false, false, false, false, {4, 1}, 1},
      {"tab wraps to the next row", {4, 1}, 1, VK_TAB, false, false, false, true, {1, 2}, 1},
      {"shift tab wraps back", {1, 2}, 1, VK_TAB, true, false, false, true, {4, 1}, 1},
      {"unknown key", {2, 2}, 1, 'A', false, false, false, false, {2, 2}, 1},
  };
  for (const Case &c : cases) {
    grid.SetCurrent(c.start);
    grid.SetTopRow(c.startTop);
    GridLayout::KeyMove move = grid.MoveForKey(c.key, c.shift, c.control, c.rowSelect, c.tabs);
    EXPECT_EQ(move.current, c.current) << c.name;
    EXPECT_EQ(move.topLeft.row, c.topRow) << c.name;
  }
}

TEST(GridLayoutTest, ScrollInViewMovesTheTopRowJustEnough) {
  GridLayout grid;
  grid.SetRowCount(20);
  grid.SetClientSize(400, 125);
  EXPECT_FALSE(grid.ScrollInView({1, 4}));
  EXPECT_TRUE(grid.ScrollInView({1, 6}));
  EXPECT_EQ(grid.TopRow(), 3);
  EXPECT_TRUE(grid.ScrollInView({1, 2}));
  EXPECT_EQ(grid.TopRow(), 2);
}

TEST(GridLayoutTest, ShrinkingKeepsPositionsAndFixedCountsInside) {
  GridLayout grid;
  grid.SetRowCount(10);
  grid.SetCurrent({3, 9});
  grid.SetTopRow(8);
  grid.SetRowCount(3);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.TopRow(), 2);
  grid.SetRowCount(1);
  EXPECT_EQ(grid.FixedRows(), 0);
  grid.SetFixedCols(9);
  EXPECT_EQ(grid.FixedCols(), 4);
  EXPECT_EQ(grid.ColWidth(-1), 0);
  grid.SetColWidth(99, 10);  // ignored
}

TEST(GridLayoutTest, ColumnsAreSizedAtTheirRightLineAndMovedWithTheirWidths) {
  GridLayout grid = SmallGrid();
  EXPECT_EQ(grid.SizingColumnAt(91, 5), 1);
  EXPECT_EQ(grid.SizingColumnAt(89, 5), 1);
  EXPECT_EQ(grid.SizingColumnAt(70, 5), -1);
  EXPECT_EQ(grid.SizingColumnAt(91, 30), -1);  // only in the fixed row
  EXPECT_EQ(grid.SizingColumnAt(40, 5), -1);   // fixed columns keep their width
  grid.SetCurrent({1, 1});
  EXPECT_TRUE(grid.MoveColumn(1, 2));
  EXPECT_EQ(grid.ColWidth(1), 60);
  EXPECT_EQ(grid.ColWidth(2), 50);
  EXPECT_EQ(grid.Col(), 2);  // the current cell moves with its column
  EXPECT_FALSE(grid.MoveColumn(0, 2));
  EXPECT_FALSE(grid.MoveColumn(1, 7));
}

}  // namespace
