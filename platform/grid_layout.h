// The geometry and navigation of a grid, without a window: column widths and
// row heights, fixed rows and columns, the first visible scrollable row and
// column, the current cell, where a cell lies, which cell a point hits, where
// a key moves the current cell and column sizing and moving by the mouse.
// The grid controls own one and paint what it computes.
#pragma once

#include <vector>

#include "platform/windef.h"

namespace platform {

struct GridCell {
  int col = 0;
  int row = 0;
  bool operator==(const GridCell &) const = default;
};

class GridLayout {
 public:
  GridLayout();

  // ---- sizes ----------------------------------------------------------------
  // Counts are at least 1; fixed counts stay below them. Shrinking keeps the
  // current cell and the top-left cell inside. A new fixed count scrolls to
  // the first scrollable row (column): without fixed rows row 0 is the top.
  int ColCount() const { return int(widths_.size()); }
  int RowCount() const { return int(heights_.size()); }
  void SetColCount(int count);
  void SetRowCount(int count);
  int FixedCols() const { return fixedCols_; }
  int FixedRows() const { return fixedRows_; }
  void SetFixedCols(int count);
  void SetFixedRows(int count);

  // Setting a default size gives it to every column (row); new columns (rows)
  // take the default.
  int DefaultColWidth() const { return defaultWidth_; }
  int DefaultRowHeight() const { return defaultHeight_; }
  void SetDefaultColWidth(int width);
  void SetDefaultRowHeight(int height);
  // Out-of-range indexes read 0 and are not written.
  int ColWidth(int col) const;
  int RowHeight(int row) const;
  void SetColWidth(int col, int width);
  void SetRowHeight(int row, int height);
  int GridLineWidth() const { return lineWidth_; }
  void SetGridLineWidth(int width) { lineWidth_ = width < 0 ? 0 : width; }

  void SetClientSize(int width, int height);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }

  // ---- position -------------------------------------------------------------
  int Col() const { return current_.col; }
  int Row() const { return current_.row; }
  GridCell Current() const { return current_; }
  // Sets the current cell as it is (clamped to the scrollable cells); the
  // caller asks first whether the cell may be selected.
  void SetCurrent(GridCell cell);
  int TopRow() const { return topLeft_.row; }
  int LeftCol() const { return topLeft_.col; }
  GridCell TopLeft() const { return topLeft_; }
  // Clamped to the scrollable rows (columns); true when it changed.
  bool SetTopRow(int row);
  bool SetLeftCol(int col);
  // Scrolls as little as possible to show the cell whole (as far as it fits);
  // true when the top-left cell changed.
  bool ScrollInView(GridCell cell);

  // ---- geometry -------------------------------------------------------------
  // The cell's rectangle in client coordinates, grid lines excluded (each
  // line lies right of and below its cell); an empty rectangle when the cell
  // is scrolled away or lies beyond the client area.
  RECT CellRect(GridCell cell) const;
  // False when the point lies on no cell (on the last line, below or right
  // of the cells, or outside the client area).
  bool MouseToCell(int x, int y, GridCell &cell) const;
  // Scrollable rows (columns) shown whole from the top row (left column).
  int VisibleRowCount() const;
  int VisibleColCount() const;
  // Width (height) of the fixed columns (rows), their lines included.
  int FixedWidth() const;
  int FixedHeight() const;
  // The right (bottom) end of the drawn cells, limited by the client area.
  int GridRight() const;
  int GridBottom() const;

  // ---- keyboard ---------------------------------------------------------------
  struct KeyMove {
    GridCell current;  // where the current cell goes
    GridCell topLeft;  // where the top-left cell goes
  };
  // Where a key moves the current cell: arrows, Page Up / Page Down by the
  // visible page, Home / End to the first / last column (with Ctrl to the
  // first / last row), Tab and Shift+Tab through the cells when tabs are on.
  // With row selection Left and Right scroll the columns instead. Unknown
  // keys leave everything where it is.
  KeyMove MoveForKey(int virtualKey, bool shift, bool control, bool rowSelect, bool tabs) const;

  // ---- column sizing and moving ---------------------------------------------------
  // The column whose right edge line lies within a few pixels of x in a fixed
  // row, for sizing; -1 when none.
  int SizingColumnAt(int x, int y) const;
  // Moves a column to another place; the widths move along. Indexes outside
  // the scrollable columns are refused.
  bool MoveColumn(int from, int to);

 private:
  void ClampPositions();
  void ChangeFixed(int &fixed, int count, int &top, int &current);
  int ColExtent(int col) const { return ColWidth(col) + lineWidth_; }
  int RowExtent(int row) const { return RowHeight(row) + lineWidth_; }
  int ColLeft(int col) const;  // -1 when not shown
  int RowTop(int row) const;

  std::vector<int> widths_;
  std::vector<int> heights_;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultWidth_ = 64;
  int defaultHeight_ = 24;
  int lineWidth_ = 1;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  GridCell current_{1, 1};
  GridCell topLeft_{1, 1};
};

}  // namespace platform
