#include "platform/grid_layout.h"

#include <algorithm>

#include "platform/winuser.h"

namespace platform {

namespace {
constexpr int kSizingSlack = 3;  // pixels either side of a line that grab it
}

GridLayout::GridLayout() : widths_(5, 64), heights_(5, 24) {}

void GridLayout::SetColCount(int count) {
  count = std::max(count, 1);
  widths_.resize(size_t(count), defaultWidth_);
  ChangeFixed(fixedCols_, std::min(fixedCols_, count - 1), topLeft_.col, current_.col);
}

void GridLayout::SetRowCount(int count) {
  count = std::max(count, 1);
  heights_.resize(size_t(count), defaultHeight_);
  ChangeFixed(fixedRows_, std::min(fixedRows_, count - 1), topLeft_.row, current_.row);
}

void GridLayout::SetFixedCols(int count) {
  ChangeFixed(fixedCols_, std::clamp(count, 0, ColCount() - 1), topLeft_.col, current_.col);
}

void GridLayout::SetFixedRows(int count) {
  ChangeFixed(fixedRows_, std::clamp(count, 0, RowCount() - 1), topLeft_.row, current_.row);
}

// A new fixed count makes the first scrollable row (column) the top one;
// the current cell goes along when it stood on the old first one.
void GridLayout::ChangeFixed(int &fixed, int count, int &top, int &current) {
  if (count != fixed) {
    if (current == fixed) current = count;
    top = count;
    fixed = count;
  }
  ClampPositions();
}

void GridLayout::SetDefaultColWidth(int width) {
  defaultWidth_ = std::max(width, 0);
  std::fill(widths_.begin(), widths_.end(), defaultWidth_);
}

void GridLayout::SetDefaultRowHeight(int height) {
  defaultHeight_ = std::max(height, 0);
  std::fill(heights_.begin(), heights_.end(), defaultHeight_);
}

int GridLayout::ColWidth(int col) const { return col >= 0 && col < ColCount() ? widths_[size_t(col)] : 0; }
int GridLayout::RowHeight(int row) const { return row >= 0 && row < RowCount() ? heights_[size_t(row)] : 0; }

void GridLayout::SetColWidth(int col, int width) {
  if (col >= 0 && col < ColCount()) widths_[size_t(col)] = std::max(width, 0);
}

void GridLayout::SetRowHeight(int row, int height) {
  if (row >= 0 && row < RowCount()) heights_[size_t(row)] = std::max(height, 0);
}

void GridLayout::SetClientSize(int width, int height) {
  clientWidth_ = std::max(width, 0);
  clientHeight_ = std::max(height, 0);
}

void GridLayout::ClampPositions() {
  current_.col = std::clamp(current_.col, fixedCols_, ColCount() - 1);
  current_.row = std::clamp(current_.row, fixedRows_, RowCount() - 1);
  topLeft_.col = std::clamp(topLeft_.col, fixedCols_, ColCount() - 1);
  topLeft_.row = std::clamp(topLeft_.row, fixedRows_, RowCount() - 1);
}

void GridLayout::SetCurrent(GridCell cell) {
  current_ = cell;
  ClampPositions();
}

bool GridLayout::SetTopRow(int row) {
  int old = topLeft_.row;
  topLeft_.row = std::clamp(row, fixedRows_, RowCount() - 1);
  return old != topLeft_.row;
}

bool GridLayout::SetLeftCol(int col) {
  int old = topLeft_.col;
  topLeft_.col = std::clamp(col, fixedCols_, ColCount() - 1);
  return old != topLeft_.col;
}

int GridLayout::FixedWidth() const {
  int x = 0;
  for (int c = 0; c < fixedCols_; ++c) x += ColExtent(c);
  return x;
}

int GridLayout::FixedHeight() const {
  int y = 0;
  for (int r = 0; r < fixedRows_; ++r) y += RowExtent(r);
  return y;
}

int GridLayout::ColLeft(int col) const {
  if (col < 0 || col >= ColCount()) return -1;
  int x = 0;
  if (col < fixedCols_) {
    for (int c = 0; c < col; ++c) x += ColExtent(c);
    return x;
  }
  if (col < topLeft_.col) return -1;
  x = FixedWidth();
  for (int c = topLeft_.col; c < col; ++c) {
    x += ColExtent(c);
    if (x >= clientWidth_) return -1;
  }
  return x < clientWidth_ ? x : -1;
}

int GridLayout::RowTop(int row) const {
  if (row < 0 || row >= RowCount()) return -1;
  int y = 0;
  if (row < fixedRows_) {
    for (int r = 0; r < row; ++r) y += RowExtent(r);
    return y;
  }
  if (row < topLeft_.row) return -1;
  y = FixedHeight();
  for (int r = topLeft_.row; r < row; ++r) {
    y += RowExtent(r);
    if (y >= clientHeight_) return -1;
  }
  return y < clientHeight_ ? y : -1;
}

RECT GridLayout::CellRect(GridCell cell) const {
  int x = ColLeft(cell.col);
  int y = RowTop(cell.row);
  if (x < 0 || y < 0 || x >= clientWidth_ || y >= clientHeight_) return RECT{0, 0, 0, 0};
  return RECT{x, y, x + ColWidth(cell.col), y + RowHeight(cell.row)};
}

bool GridLayout::MouseToCell(int x, int y, GridCell &cell) const {
  if (x < 0 || y < 0 || x >= clientWidth_ || y >= clientHeight_) return false;
  auto find = [](int pos, int fixed, int first, int count, auto extent, auto size, int &index) {
    int at = 0;
    for (int i = 0; i < count; ++i) {
      if (i == fixed) i = first;  // skip the scrolled-away part
      if (i >= count) break;
      if (pos < at + size(i)) {
        index = i;
        return true;
      }
      at += extent(i);
      if (pos < at) return false;  // on the line
    }
    return false;
  };
  int col = 0, row = 0;
  if (!find(x, fixedCols_, topLeft_.col, ColCount(), [&](int c) { return ColExtent(c); },
            [&](int c) { return ColWidth(c); }, col))
    return false;
  if (!find(y, fixedRows_, topLeft_.row, RowCount(), [&](int r) { return RowExtent(r); },
            [&](int r) { return RowHeight(r); }, row))
    return false;
  cell = GridCell{col, row};
  return true;
}

int GridLayout::VisibleRowCount() const {
  int y = FixedHeight();
  int count = 0;
  for (int r = topLeft_.row; r < RowCount(); ++r) {
    if (y + RowHeight(r) > clientHeight_) break;
    y += RowExtent(r);
    ++count;
  }
  return count;
}

int GridLayout::VisibleColCount() const {
  int x = FixedWidth();
  int count = 0;
  for (int c = topLeft_.col; c < ColCount(); ++c) {
    if (x + ColWidth(c) > clientWidth_) break;
    x += ColExtent(c);
    ++count;
  }
  return count;
}

int GridLayout::GridRight() const {
  int x = FixedWidth();
  for (int c = topLeft_.col; c < ColCount() && x < clientWidth_; ++c) x += ColExtent(c);
  return std::min(x, clientWidth_);
}

int GridLayout::GridBottom() const {
  int y = FixedHeight();
  for (int r = topLeft_.row; r < RowCount() && y < clientHeight_; ++r) y += RowExtent(r);
  return std::min(y, clientHeight_);
}

bool GridLayout::ScrollInView(GridCell cell) {
  GridCell old = topLeft_;
  if (cell.row >= fixedRows_ && cell.row < RowCount()) {
    if (cell.row < topLeft_.row) {
      topLeft_.row = cell.row;
    } else {
      // Move the top row down until the cell's bottom fits (or it is the top).
      int room = clientHeight_ - FixedHeight();
      while (topLeft_.row < cell.row) {
        int bottom = 0;
        for (int r = topLeft_.row; r <= cell.row; ++r) bottom += RowExtent(r);
        if (bottom - lineWidth_ <= room) break;
        ++topLeft_.row;
      }
    }
  }
  if (cell.col >= fixedCols_ && cell.col < ColCount()) {
    if (cell.col < topLeft_.col) {
      topLeft_.col = cell.col;
    } else {
      int room = clientWidth_ - FixedWidth();
      while (topLeft_.col < cell.col) {
        int right = 0;
        for (int c = topLeft_.col; c <= cell.col; ++c) right += ColExtent(c);
        if (right - lineWidth_ <= room) break;
        ++topLeft_.col;
      }
    }
  }
  return !(old == topLeft_);
}

GridLayout::KeyMove GridLayout::MoveForKey(int vk, bool shift, bool control, bool rowSelect, bool tabs) const {
  KeyMove move{current_, topLeft_};
  const int firstCol = fixedCols_, lastCol = ColCount() - 1;
  const int firstRow = fixedRows_, lastRow = RowCount() - 1;
  const int page = std::max(1, VisibleRowCount() - 1);
  switch (vk) {
    case VK_UP: --move.current.row; break;
    case VK_DOWN: ++move.current.row; break;
    case VK_LEFT:
      if (rowSelect)
        --move.topLeft.col;
      else
        --move.current.col;
      break;
    case VK_RIGHT:
      if (rowSelect)
        ++move.topLeft.col;
      else
        ++move.current.col;
      break;
    case VK_PRIOR:
      move.current.row -= page;
      move.topLeft.row -= page;
      break;
    case VK_NEXT:
      move.current.row += page;
      move.topLeft.row += page;
      break;
    case VK_HOME:
      if (control) move.current.row = firstRow;
      if (!rowSelect || control) move.current.col = firstCol;
      if (rowSelect && !control) move.topLeft.col = firstCol;
      break;
    case VK_END:
      if (control) move.current.row = lastRow;
      if (!rowSelect || control) move.current.col = lastCol;
      if (rowSelect && !control) move.topLeft.col = lastCol;
      break;
    case VK_TAB:
      if (!tabs || control) break;
      if (shift) {
        if (--move.current.col < firstCol) {
          if (move.current.row > firstRow) {
            move.current.col = lastCol;
            --move.current.row;
          } else {
            move.current.col = firstCol;
          }
        }
      } else if (++move.current.col > lastCol) {
        if (move.current.row < lastRow) {
          move.current.col = firstCol;
          ++move.current.row;
        } else {
          move.current.col = lastCol;
        }
      }
      break;
    default: break;
  }
  move.current.col = std::clamp(move.current.col, firstCol, lastCol);
  move.current.row = std::clamp(move.current.row, firstRow, lastRow);
  // The top row never scrolls past the point where the last page starts.
  int lastTop = lastRow;
  for (int y = FixedHeight() + RowExtent(lastRow); lastTop > firstRow; --lastTop) {
    int next = y + RowExtent(lastTop - 1);
    if (next - lineWidth_ > clientHeight_) break;
    y = next;
  }
  move.topLeft.row = std::clamp(move.topLeft.row, firstRow, std::max(firstRow, lastTop));
  move.topLeft.col = std::clamp(move.topLeft.col, firstCol, lastCol);
  return move;
}

int GridLayout::SizingColumnAt(int x, int y) const {
  if (y < 0 || y >= FixedHeight() || fixedRows_ == 0) return -1;
  int at = 0;
  for (int c = 0; c < ColCount(); ++c) {
    if (c == fixedCols_) c = topLeft_.col;
    if (c >= ColCount()) break;
    at += ColWidth(c);
    // Only scrollable columns are sized by the mouse.
    if (c >= fixedCols_ && x >= at - kSizingSlack && x <= at + lineWidth_ + kSizingSlack - 1) return c;
    at += lineWidth_;
    if (at > clientWidth_) break;
  }
  return -1;
}

bool GridLayout::MoveColumn(int from, int to) {
  if (from < fixedCols_ || to < fixedCols_ || from >= ColCount() || to >= ColCount() || from == to) return false;
  int width = widths_[size_t(from)];
  widths_.erase(widths_.begin() + from);
  widths_.insert(widths_.begin() + to, width);
  if (current_.col == from)
    current_.col = to;
  else if (from < to && current_.col > from && current_.col <= to)
    --current_.col;
  else if (from > to && current_.col >= to && current_.col < from)
    ++current_.col;
  return true;
}

}  // namespace platform
