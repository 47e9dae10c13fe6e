#include "classlib/grids.h"

#include <algorithm>

#include "platform/gdi.h"
#include "classlib/forms.h"
#include "platform/winctrl.h"

using platform::GridCell;

// ---- TCustomGrid ---------------------------------------------------------------------
TCustomGrid::TCustomGrid(TComponent *owner) : TCustomControl(owner) {
  TabStop = true;
  SetColor(clWindow);
  SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid() { BeginDestroy(); }

void TCustomGrid::SetColCount(int count) {
  int oldCols = ColCount(), oldRows = RowCount();
  GridCell topLeft = layout_.TopLeft();
  layout_.SetColCount(count);
  SizeChanged(oldCols, oldRows);
  if (!(layout_.TopLeft() == topLeft)) TopLeftChanged();
  Invalidate();
}

void TCustomGrid::SetRowCount(int count) {
  int oldCols = ColCount(), oldRows = RowCount();
  GridCell topLeft = layout_.TopLeft();
  layout_.SetRowCount(count);
  SizeChanged(oldCols, oldRows);
  if (!(layout_.TopLeft() == topLeft)) TopLeftChanged();
  Invalidate();
}

void TCustomGrid::SetFixedCols(int count) {
  const GridCell topLeft = layout_.TopLeft();
  layout_.SetFixedCols(count);
  if (!(layout_.TopLeft() == topLeft)) TopLeftChanged();
  Invalidate();
}

void TCustomGrid::SetFixedRows(int count) {
  const GridCell topLeft = layout_.TopLeft();
  layout_.SetFixedRows(count);
  if (!(layout_.TopLeft() == topLeft)) TopLeftChanged();
  Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int width) {
  layout_.SetDefaultColWidth(width);
  Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
  layout_.SetDefaultRowHeight(height);
  Invalidate();
}

void TCustomGrid::SetColWidths(int col, int width) {
  layout_.SetColWidth(col, width);
  Invalidate();
}

void TCustomGrid::SetRowHeights(int row, int height) {
  layout_.SetRowHeight(row, height);
  Invalidate();
}

void TCustomGrid::SetGridLineWidth(int width) {
  layout_.SetGridLineWidth(width);
  Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions options) {
  options_ = options;
  Invalidate();
}

void TCustomGrid::SetFixedColor(TColor color) {
  fixedColor_ = color;
  Invalidate();
}

void TCustomGrid::SyncClientSize() {
  TRect client = ClientRect();
  layout_.SetClientSize(client.Width(), client.Height());
}

void TCustomGrid::SetCol(int col) { MoveCurrent(GridCell{col, Row()}, true); }
void TCustomGrid::SetRow(int row) { MoveCurrent(GridCell{Col(), row}, true); }

void TCustomGrid::SetTopRow(int row) {
  SyncClientSize();
  if (layout_.SetTopRow(row)) {
    Invalidate();
    TopLeftChanged();
  }
}

void TCustomGrid::SetLeftCol(int col) {
  SyncClientSize();
  if (layout_.SetLeftCol(col)) {
    Invalidate();
    TopLeftChanged();
  }
}

int TCustomGrid::VisibleColCount() {
  SyncClientSize();
  return layout_.VisibleColCount();
}

int TCustomGrid::VisibleRowCount() {
  SyncClientSize();
  return layout_.VisibleRowCount();
}

TRect TCustomGrid::CellRect(int col, int row) {
  SyncClientSize();
  return layout_.CellRect(GridCell{col, row});
}

void TCustomGrid::MouseToCell(int x, int y, int &col, int &row) {
  SyncClientSize();
  GridCell cell;
  if (layout_.MouseToCell(x, y, cell)) {
    col = cell.col;
    row = cell.row;
  } else {
    col = row = -1;
  }
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) {
  TGridCoord coord;
  MouseToCell(x, y, coord.X, coord.Y);
  return coord;
}

bool TCustomGrid::SelectCell(int col, int row) {
  bool can = true;
  if (OnSelectCell && !Destroying()) OnSelectCell(this, col, row, can);
  return can;
}

void TCustomGrid::TopLeftChanged() {
  if (OnTopLeftChanged && !Destroying()) OnTopLeftChanged(this);
}

void TCustomGrid::ColumnMoved(int from, int to) {
  if (OnColumnMoved && !Destroying()) OnColumnMoved(this, from, to);
}

bool TCustomGrid::MoveCurrent(GridCell cell, bool show) {
  SyncClientSize();
  cell.col = std::clamp(cell.col, FixedCols(), ColCount() - 1);
  cell.row = std::clamp(cell.row, FixedRows(), RowCount() - 1);
  if (!(cell == layout_.Current())) {
    if (!SelectCell(cell.col, cell.row)) return false;
    layout_.SetCurrent(cell);
    Invalidate();
  }
  if (show && layout_.ScrollInView(layout_.Current())) {
    Invalidate();
    TopLeftChanged();
  }
  return true;
}

TGridDrawState TCustomGrid::StateOf(int col, int row) {
  if (col < FixedCols() || row < FixedRows()) return gdFixed;
  TGridDrawState state = 0;
  bool current = row == Row() && (col == Col() || (options_ & goRowSelect));
  if (current) state |= gdSelected;
  if (col == Col() && row == Row() && HandleAllocated() && Focused()) state |= gdFocused;
  return state;
}

void TCustomGrid::Paint() {
  SyncClientSize();
  TCanvas *canvas = Canvas();
  const int width = layout_.ClientWidth(), height = layout_.ClientHeight();
  // Fixed cells first, then the scrollable ones, each row from the left.
  auto paintCell = [&](int col, int row) {
    TRect rect = layout_.CellRect(GridCell{col, row});
    if (rect.Width() <= 0 || rect.Height() <= 0) return;
    TGridDrawState state = StateOf(col, row);
    canvas->Font()->Assign(Font());
    if (DefaultDrawing) {
      TColor back = Color();
      if (state & gdFixed) {
        back = fixedColor_;
      } else if ((state & gdSelected) &&
                 (!(state & gdFocused) || (options_ & (goDrawFocusSelected | goRowSelect)))) {
        back = clHighlight;
        canvas->Font()->SetColor(clHighlightText);
      }
      canvas->Brush()->SetColor(back);
      canvas->Brush()->SetStyle(bsSolid);
      canvas->FillRect(rect);
    }
    DrawCell(col, row, rect, state);
    if (DefaultDrawing && (state & gdFocused) && !(options_ & goRowSelect)) {
      canvas->Brush()->SetColor(Color());
      canvas->Font()->SetColor(clWindowText);
      canvas->DrawFocusRect(rect);
    }
  };
  auto walkCols = [&](int row) {
    for (int c = 0; c < FixedCols(); ++c) paintCell(c, row);
    for (int c = LeftCol(); c < ColCount(); ++c) {
      TRect r = layout_.CellRect(GridCell{c, row});
      if (r.Width() <= 0 && r.Left == 0) break;  // beyond the client area
      paintCell(c, row);
    }
  };
  for (int r = 0; r < FixedRows(); ++r) walkCols(r);
  for (int r = TopRow(); r < RowCount(); ++r) {
    if (TRect(layout_.CellRect(GridCell{LeftCol(), r})).Height() <= 0 &&
        TRect(layout_.CellRect(GridCell{0, r})).Height() <= 0)
      break;
    walkCols(r);
  }
  // What lies beyond the cells is the grid's own colour.
  canvas->Brush()->SetColor(Color());
  canvas->Brush()->SetStyle(bsSolid);
  int right = layout_.GridRight(), bottom = layout_.GridBottom();
  if (right < width) canvas->FillRect(Rect(right, 0, width, height));
  if (bottom < height) canvas->FillRect(Rect(0, bottom, std::min(right, width), height));
  DrawLines();
}

void TCustomGrid::DrawLines() {
  const int line = GridLineWidth();
  if (line <= 0) return;
  TCanvas *canvas = Canvas();
  const int right = layout_.GridRight(), bottom = layout_.GridBottom();
  const int fixedWidth = layout_.FixedWidth(), fixedHeight = layout_.FixedHeight();
  // One filled band per line, so wide lines come out whole.
  auto band = [&](TColor color, const TRect &r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    canvas->Brush()->SetColor(color);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(r);
  };
  const TColor fixedLine = clBlack, cellLine = clSilver;
  // Vertical lines: right of each column.
  int x = 0;
  for (int c = 0; c < ColCount() && x < right; ++c) {
    if (c == FixedCols()) c = LeftCol();
    if (c >= ColCount()) break;
    x += ColWidths(c);
    bool fixedCol = c < FixedCols();
    if (fixedCol ? (options_ & goFixedVertLine) : (options_ & goVertLine)) {
      band(fixedCol ? fixedLine : cellLine, Rect(x, fixedCol ? 0 : fixedHeight, x + line, bottom));
    }
    if (!fixedCol && (options_ & goFixedVertLine) && fixedHeight > 0)
      band(fixedLine, Rect(x, 0, x + line, fixedHeight));
    x += line;
  }
  // Horizontal lines: below each row.
  int y = 0;
  for (int r = 0; r < RowCount() && y < bottom; ++r) {
    if (r == FixedRows()) r = TopRow();
    if (r >= RowCount()) break;
    y += RowHeights(r);
    bool fixedRow = r < FixedRows();
    if (fixedRow ? (options_ & goFixedHorzLine) : (options_ & goHorzLine))
      band(fixedRow ? fixedLine : cellLine, Rect(fixedRow ? 0 : fixedWidth, y, right, y + line));
    if (!fixedRow && (options_ & goFixedHorzLine) && fixedWidth > 0) band(fixedLine, Rect(0, y, fixedWidth, y + line));
    y += line;
  }
}

void TCustomGrid::WMSize(TWMSize &msg) {
  SyncClientSize();
  TCustomControl::WMSize(msg);
}

void TCustomGrid::WMEraseBkgnd(TWMEraseBkgnd &msg) { msg.Result = 1; }  // Paint covers everything

void TCustomGrid::WMMouseWheel(TWMMouseWheel &msg) {
  if (msg.WheelDelta != 0) {
    WORD key = msg.WheelDelta > 0 ? VK_UP : VK_DOWN;
    KeyDown(key, TShiftState());
    msg.Result = 1;
    return;
  }
  TCustomControl::WMMouseWheel(msg);
}

LRESULT TCustomGrid::DialogCode() {
  LRESULT code = DLGC_WANTARROWS;
  if (options_ & goTabs) code |= DLGC_WANTTAB;
  return code;
}

void TCustomGrid::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);  // OnKeyDown may take the key
  if (!key) return;
  SyncClientSize();
  platform::GridLayout::KeyMove move = layout_.MoveForKey(key, shift.Contains(ssShift), shift.Contains(ssCtrl),
                                                          (options_ & goRowSelect) != 0, (options_ & goTabs) != 0);
  bool topLeftMoved = false;
  if (!(move.topLeft == layout_.TopLeft())) {
    layout_.SetTopRow(move.topLeft.row);
    layout_.SetLeftCol(move.topLeft.col);
    topLeftMoved = true;
    Invalidate();
  }
  if (!(move.current == layout_.Current())) MoveCurrent(move.current, true);
  if (topLeftMoved) TopLeftChanged();
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    SyncClientSize();
    int sizing = (options_ & goColSizing) ? layout_.SizingColumnAt(x, y) : -1;
    GridCell cell;
    bool onCell = layout_.MouseToCell(x, y, cell);
    if (sizing >= 0) {
      drag_ = Drag::Sizing;
      dragIndex_ = sizing;
      dragStartX_ = x;
      dragStartWidth_ = ColWidths(sizing);
    } else if (onCell && cell.row < FixedRows() && cell.col >= FixedCols() && (options_ & goColMoving)) {
      drag_ = Drag::Moving;
      dragIndex_ = cell.col;
    } else if (onCell && cell.col >= FixedCols() && cell.row >= FixedRows()) {
      MoveCurrent(cell, true);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
  if (drag_ == Drag::Sizing) {
    int width = std::max(dragStartWidth_ + x - dragStartX_, 0);
    if (width != ColWidths(dragIndex_)) SetColWidths(dragIndex_, width);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && drag_ == Drag::Moving) {
    GridCell cell;
    // The column lands where the button is released, inside the scrollable columns.
    if (layout_.MouseToCell(std::max(x, 0), 0, cell) || x >= layout_.GridRight()) {
      int to = x >= layout_.GridRight() ? ColCount() - 1 : cell.col;
      if (to >= FixedCols() && to != dragIndex_ && layout_.MoveColumn(dragIndex_, to)) {
        ColumnMoved(dragIndex_, to);
        Invalidate();
      }
    }
  }
  if (button == mbLeft) {
    drag_ = Drag::None;
    dragIndex_ = -1;
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

// ---- TDrawGrid -------------------------------------------------------------------------
void TDrawGrid::DrawCell(int col, int row, const TRect &rect, TGridDrawState state) {
  if (OnDrawCell && !Destroying()) OnDrawCell(this, col, row, rect, state);
}

// ---- TStringGrid -------------------------------------------------------------------------
// One row or column of the grid seen as a list of strings.
class TStringGrid::Line : public TStrings {
 public:
  Line(TStringGrid *grid, bool isRow, int index) : grid_(grid), isRow_(isRow), index_(index) {}
  int Count() const override { return isRow_ ? grid_->ColCount() : grid_->RowCount(); }
  std::string Get(int i) const override { return isRow_ ? grid_->Cells(i, index_) : grid_->Cells(index_, i); }
  void Put(int i, const std::string &text) override {
    if (isRow_)
      grid_->SetCells(i, index_, text);
    else
      grid_->SetCells(index_, i, text);
  }
  TObject *GetObject(int i) const override {
    return isRow_ ? grid_->Objects(i, index_) : grid_->Objects(index_, i);
  }
  void PutObject(int i, TObject *object) override {
    if (isRow_)
      grid_->SetObjects(i, index_, object);
    else
      grid_->SetObjects(index_, i, object);
  }
  // The line has the grid's length: adding fills the first cells, deleting
  // and clearing empty cells.
  void Insert(int i, const std::string &text) override { Put(i, text); }
  int Add(const std::string &text) override {
    for (int i = 0; i < Count(); ++i)
      if (Get(i).empty()) {
        Put(i, text);
        return i;
      }
    return -1;
  }
  void Delete(int i) override { Put(i, std::string()); }
  void Clear() override {
    for (int i = 0; i < Count(); ++i) {
      Put(i, std::string());
      PutObject(i, nullptr);
    }
  }
  bool Is(bool isRow, int index) const { return isRow_ == isRow && index_ == index; }

 private:
  TStringGrid *grid_;
  bool isRow_;
  int index_;
};

TStringGrid::TStringGrid(TComponent *owner) : TDrawGrid(owner) { SizeChanged(0, 0); }

TStringGrid::~TStringGrid() { BeginDestroy(); }

void TStringGrid::SizeChanged(int, int) {
  cells_.resize(size_t(RowCount()));
  for (auto &row : cells_) row.resize(size_t(ColCount()));
}

TStringGrid::Cell *TStringGrid::At(int col, int row) {
  if (row < 0 || col < 0 || size_t(row) >= cells_.size() || size_t(col) >= cells_[size_t(row)].size()) return nullptr;
  return &cells_[size_t(row)][size_t(col)];
}

const TStringGrid::Cell *TStringGrid::At(int col, int row) const {
  return const_cast<TStringGrid *>(this)->At(col, row);
}

std::string TStringGrid::Cells(int col, int row) const {
  const Cell *cell = At(col, row);
  return cell ? cell->text : std::string();
}

void TStringGrid::SetCells(int col, int row, const std::string &text) {
  if (Cell *cell = At(col, row)) {
    if (cell->text == text) return;
    cell->text = text;
    if (HandleAllocated()) {
      TRect r = CellRect(col, row);
      if (r.Width() > 0) {
        RECT area = r;
        InvalidateRect(Handle(), &area, FALSE);
      }
    }
  }
}

TObject *TStringGrid::Objects(int col, int row) const {
  const Cell *cell = At(col, row);
  return cell ? cell->object : nullptr;
}

void TStringGrid::SetObjects(int col, int row, TObject *object) {
  if (Cell *cell = At(col, row)) cell->object = object;
}

TStrings *TStringGrid::Rows(int row) {
  if (row < 0 || row >= RowCount()) return nullptr;
  for (auto &line : lines_)
    if (line->Is(true, row)) return line.get();
  lines_.push_back(std::make_unique<Line>(this, true, row));
  return lines_.back().get();
}

TStrings *TStringGrid::Cols(int col) {
  if (col < 0 || col >= ColCount()) return nullptr;
  for (auto &line : lines_)
    if (line->Is(false, col)) return line.get();
  lines_.push_back(std::make_unique<Line>(this, false, col));
  return lines_.back().get();
}

void TStringGrid::DrawCell(int col, int row, const TRect &rect, TGridDrawState state) {
  if (DefaultDrawing) {
    std::string text = Cells(col, row);
    if (!text.empty()) {
      TCanvas *canvas = Canvas();
      canvas->Brush()->SetStyle(bsClear);
      canvas->TextRect(rect, rect.Left + 2, rect.Top + 2, text);
      canvas->Brush()->SetStyle(bsSolid);
    }
  }
  TDrawGrid::DrawCell(col, row, rect, state);
}

void TStringGrid::ColumnMoved(int from, int to) {
  for (auto &row : cells_) {
    if (size_t(from) >= row.size() || size_t(to) >= row.size()) continue;
    Cell moved = std::move(row[size_t(from)]);
    row.erase(row.begin() + from);
    row.insert(row.begin() + to, std::move(moved));
  }
  TDrawGrid::ColumnMoved(from, to);
}

// ---- the in-place editor ----

bool TStringGrid::EditorMode() const { return editor_ && editor_->Visible(); }

void TStringGrid::ShowEditor() {
  if (!(Options() & goEditing) || Col() < FixedCols() || Row() < FixedRows()) return;
  if (!editor_) {
    editor_ = new TEdit(this);
    editor_->SetParent(this);
    editor_->SetVisible(false);
    editor_->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
      if (key == VK_RETURN || key == VK_ESCAPE) {
        const bool keep = key == VK_RETURN;
        key = 0;
        CloseEditor(keep);
        if (CanFocus()) SetFocus();
      }
    };
    editor_->OnExit = [this](TObject *) { CloseEditor(true); };
  }
  editCol_ = Col();
  editRow_ = Row();
  const TRect r = CellRect(editCol_, editRow_);
  editor_->SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  editor_->SetText(Cells(editCol_, editRow_));
  editor_->SetVisible(true);
  if (editor_->CanFocus()) editor_->SetFocus();
  editor_->SelectAll();
}

void TStringGrid::HideEditor() { CloseEditor(true); }

void TStringGrid::CloseEditor(bool keep) {
  if (!EditorMode()) return;
  editor_->SetVisible(false);
  if (keep) SetCells(editCol_, editRow_, editor_->Text());
  editCol_ = editRow_ = -1;
  Invalidate();
}

void TStringGrid::KeyDown(WORD &key, TShiftState shift) {
  if ((Options() & goEditing) && (key == VK_F2 || key == VK_RETURN) && !EditorMode()) {
    key = 0;
    ShowEditor();
    return;
  }
  TDrawGrid::KeyDown(key, shift);
}

void TStringGrid::KeyPress(char &key) {
  TDrawGrid::KeyPress(key);
  if (!(Options() & goEditing) || EditorMode() || uint8_t(key) < ' ') return;
  const char typed = key;
  key = 0;
  ShowEditor();
  if (EditorMode()) {
    editor_->SetText(std::string(1, typed));
    editor_->SetSelStart(1);
  }
}

void TStringGrid::DblClick() {
  TDrawGrid::DblClick();
  ShowEditor();
}

bool TStringGrid::SelectCell(int col, int row) {
  CloseEditor(true);
  return TDrawGrid::SelectCell(col, row);
}
