#include <gtest/gtest.h>

#include <vector>

#include "classlib/grids.h"
#include "tests/classlib/control_fixture.h"

namespace {

using GridTest = ControlTest;

TEST_F(GridTest, KeysMoveTheCurrentCellAndAskBeforeSelecting) {
  auto *grid = Make<TStringGrid>(0, 0, 300, 125);  // the fixed row and four data rows fit
  grid->SetColCount(5);
  grid->SetRowCount(20);
  int refusedCol = -1, topLeftChanges = 0;
  grid->OnSelectCell = [&](TObject *, int col, int, bool &can) { can = col != refusedCol; };
  grid->OnTopLeftChanged = [&](TObject *) { ++topLeftChanges; };
  ShowForm();
  grid->SetFocus();
  h.Pump();

  h.Key(VK_DOWN);
  h.Key(VK_RIGHT);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_EQ(grid->Row(), 2);
  refusedCol = 3;
  h.Key(VK_RIGHT);  // refused: stays
  EXPECT_EQ(grid->Col(), 2);
  h.Key(VK_NEXT);
  EXPECT_EQ(grid->Row(), 5);
  EXPECT_EQ(grid->TopRow(), 4);
  EXPECT_EQ(topLeftChanges, 1);
  h.Key(VK_END, ssCtrl);  // the last column is refusable too; column 4 is allowed
  EXPECT_EQ(grid->Col(), 4);
  EXPECT_EQ(grid->Row(), 19);
  EXPECT_EQ(grid->TopRow(), 16);  // the last page is shown

  // A key taken by OnKeyDown never moves the grid.
  grid->OnKeyDown = [](TObject *, WORD &key, TShiftState) { key = 0; };
  h.Key(VK_UP);
  EXPECT_EQ(grid->Row(), 19);
}

TEST_F(GridTest, OwnerPaintsEveryCellWithItsRectangleAndState) {
  auto *grid = Make<TDrawGrid>(0, 0, 200, 100);
  grid->SetColCount(3);
  grid->SetRowCount(4);
  grid->SetDefaultColWidth(50);
  grid->SetDefaultRowHeight(20);
  grid->DefaultDrawing = false;
  struct Call {
    int col, row;
    TRect rect;
    TGridDrawState state;
  };
  std::vector<Call> calls;
  grid->OnDrawCell = [&](TObject *, int col, int row, TRect rect, TGridDrawState state) {
    calls.push_back({col, row, rect, state});
    TCanvas *canvas = grid->Canvas();
    canvas->Brush()->SetColor((state & gdFixed) ? clGray : (state & gdSelected) ? clRed : clWhite);
    canvas->FillRect(rect);
  };
  ShowForm();
  grid->SetFocus();
  h.Pump();
  calls.clear();
  grid->SetRow(2);
  h.Pump();

  ASSERT_EQ(calls.size(), 12u);  // every visible cell, the fixed ones included
  auto find = [&](int col, int row) {
    for (const Call &c : calls)
      if (c.col == col && c.row == row) return c;
    return Call{-1, -1, {}, 0};
  };
  EXPECT_EQ(find(1, 2).rect, Rect(51, 42, 101, 62));
  EXPECT_EQ(find(1, 2).state, TGridDrawState(gdSelected | gdFocused));
  EXPECT_EQ(find(0, 2).state, TGridDrawState(gdFixed));
  EXPECT_EQ(find(2, 2).state, 0u);  // without row selection only the current cell
  EXPECT_EQ(h.Pixel(grid, 70, 50), COLORREF(RGB(255, 0, 0)));
  EXPECT_EQ(h.Pixel(grid, 20, 50), COLORREF(RGB(128, 128, 128)));
  EXPECT_EQ(h.Pixel(grid, 120, 50), COLORREF(RGB(255, 255, 255)));
}

// Without fixed rows and columns the first scrollable cell is the top-left
// one: row 0 and column 0 are shown, and the current cell starts there.
TEST_F(GridTest, AGridWithoutFixedCellsShowsRowAndColumnZero) {
  auto *grid = Make<TDrawGrid>(0, 0, 200, 100);
  grid->SetColCount(3);
  grid->SetRowCount(4);
  grid->SetDefaultColWidth(50);
  grid->SetDefaultRowHeight(20);
  int topLeftChanges = 0;
  grid->OnTopLeftChanged = [&](TObject *) { ++topLeftChanges; };
  grid->SetFixedRows(0);
  grid->SetFixedCols(0);
  EXPECT_EQ(grid->TopRow(), 0);
  EXPECT_EQ(grid->LeftCol(), 0);
  EXPECT_EQ(grid->Row(), 0);
  EXPECT_EQ(grid->Col(), 0);
  EXPECT_EQ(topLeftChanges, 2);
  grid->DefaultDrawing = false;
  grid->OnDrawCell = [&](TObject *, int col, int row, TRect rect, TGridDrawState) {
    TCanvas *canvas = grid->Canvas();
    canvas->Brush()->SetColor(col == 0 && row == 0 ? clRed : clWhite);
    canvas->FillRect(rect);
  };
  ShowForm();
  h.Pump();
  EXPECT_EQ(h.Pixel(grid, 10, 10), COLORREF(RGB(255, 0, 0))) << "cell 0, 0 at the top left";
  EXPECT_EQ(h.Pixel(grid, 60, 30), COLORREF(RGB(255, 255, 255)));
}

TEST_F(GridTest, RowSelectionHighlightsTheWholeRowButNotTheFixedCells) {
  auto *grid = Make<TStringGrid>(0, 0, 200, 100);
  grid->SetColCount(3);
  grid->SetRowCount(4);
  grid->SetDefaultColWidth(50);
  grid->SetDefaultRowHeight(20);
  grid->SetOptions(grid->Options() | goRowSelect);
  grid->SetFixedColor(clYellow);
  ShowForm();
  grid->SetRow(2);
  h.Pump();
  COLORREF highlight = ColorToRGB(clHighlight);
  EXPECT_EQ(h.Pixel(grid, 70, 50), highlight);
  EXPECT_EQ(h.Pixel(grid, 120, 50), highlight);
  EXPECT_EQ(h.Pixel(grid, 20, 50), COLORREF(RGB(255, 255, 0)));
  EXPECT_EQ(h.Pixel(grid, 70, 30), ColorToRGB(clWindow));
}

TEST_F(GridTest, AClickFromQtSelectsTheCellUnderIt) {
  auto *grid = Make<TStringGrid>(0, 0, 300, 125);
  grid->SetDefaultColWidth(50);
  grid->SetDefaultRowHeight(20);
  ShowForm();
  h.QtClick(grid->Handle(), 120, 50);  // column 2 (x 102..151), row 2 (y 42..61)
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_EQ(grid->Row(), 2);
  EXPECT_TRUE(grid->Focused());
  h.QtClick(grid->Handle(), 20, 50);  // a fixed cell selects nothing
  EXPECT_EQ(grid->Col(), 2);
}

TEST_F(GridTest, HeaderDragsMoveAndSizeColumns) {
  auto *grid = Make<TStringGrid>(0, 0, 300, 100);
  grid->SetColCount(4);
  grid->SetRowCount(3);
  grid->SetDefaultColWidth(50);
  grid->SetOptions(grid->Options() | goColMoving | goColSizing);
  for (int c = 0; c < 4; ++c) grid->SetCells(c, 1, std::string(1, char('a' + c)));
  int movedFrom = -1, movedTo = -1;
  grid->OnColumnMoved = [&](TObject *, int from, int to) {
    movedFrom = from;
    movedTo = to;
  };
  ShowForm();
  HWND hwnd = grid->Handle();
  // Column 1 (x 51..100) dropped on column 3 (x 153..202).
  h.MouseDown(hwnd, 70, 5);
  h.MouseMove(hwnd, 170, 5, MK_LBUTTON);
  h.MouseUp(hwnd, 170, 5);
  EXPECT_EQ(movedFrom, 1);
  EXPECT_EQ(movedTo, 3);
  EXPECT_EQ(grid->Cells(1, 1), "c");
  EXPECT_EQ(grid->Cells(3, 1), "b");

  // The line right of column 1 dragged 20 pixels to the right.
  h.MouseDown(hwnd, 101, 5);
  h.MouseMove(hwnd, 121, 5, MK_LBUTTON);
  h.MouseUp(hwnd, 121, 5);
  EXPECT_EQ(grid->ColWidths(1), 70);
}

}  // namespace
