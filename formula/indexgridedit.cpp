#include "formula/indexgridedit.h"

#include "platform/winuser.h"

TIndexGridEditor::TIndexGridEditor(TStringGrid *grid) : grid_(grid) {
  edit_ = new TXPEdit(grid);
  edit_->SetParent(grid);
  edit_->SetMaxLength(63);
  edit_->OnChange = [this](TObject *) {
    if (!placing_ && col_ >= 0) grid_->SetCells(col_, row_, edit_->Text());
  };
  edit_->OnKeyDown = [this](TObject *sender, WORD &key, TShiftState shift) {
    if ((key == VK_UP || key == VK_DOWN) && row_ >= 0) {
      const int row = row_ + (key == VK_UP ? -1 : 1);
      if (row >= grid_->FixedRows() && row < grid_->RowCount()) {
        grid_->SetRow(row);
        Place();
        edit_->SetFocus();
      }
      key = 0;
    } else if (grid_->OnKeyDown) {
      grid_->OnKeyDown(sender, key, shift);
    }
  };
  TSelectCellEvent previous = grid->OnSelectCell;
  grid->OnSelectCell = [this, previous](TObject *sender, int col, int row, bool &can) {
    if (previous) previous(sender, col, row, can);
    if (!can) return;
    col_ = col;
    row_ = row;
    placing_ = true;
    const TRect r = grid_->CellRect(col, row);
    edit_->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    edit_->SetText(grid_->Cells(col, row));
    placing_ = false;
  };
}

void TIndexGridEditor::Place() {
  bool can = true;
  grid_->OnSelectCell(grid_, grid_->Col(), grid_->Row(), can);
}
