// The cell editor of the formula dialogs' grids: an edit laid over the
// grid's current cell that writes every change straight into the cell, so
// the cells always hold what was typed. It follows the current cell; Up and
// Down move it a row, Enter and Esc go to the grid's key handler.
#pragma once

#include "classlib/grids.h"
#include "core/xpedit.h"

class TIndexGridEditor {
 public:
  explicit TIndexGridEditor(TStringGrid *grid);
  // Lays the edit over the grid's current cell with that cell's text.
  void Place();
  TXPEdit *Edit() const { return edit_; }

 private:
  TStringGrid *grid_;
  TXPEdit *edit_;
  int col_ = -1, row_ = -1;
  bool placing_ = false;
};
