// Grids: TDrawGrid, whose owner paints every cell in OnDrawCell, and
// TStringGrid, which keeps a text per cell and draws it. The grid paints
// itself through its canvas (so its pictures are the same in a window, a
// bitmap or on paper); the geometry and the keyboard moves come from
// platform::GridLayout.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/grid_layout.h"
#include "classlib/controls.h"
#include "classlib/stdctrls.h"

enum TGridOption : unsigned {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goRangeSelect = 1u << 4,
  goDrawFocusSelected = 1u << 5,
  goRowSizing = 1u << 6,
  goColSizing = 1u << 7,
  goRowMoving = 1u << 8,
  goColMoving = 1u << 9,
  goEditing = 1u << 10,
  goTabs = 1u << 11,
  goRowSelect = 1u << 12,
  goAlwaysShowEditor = 1u << 13,
  goThumbTracking = 1u << 14,
};
typedef unsigned TGridOptions;
constexpr TGridOptions kDefaultGridOptions =
    goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;

enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
typedef unsigned TGridDrawState;

struct TGridCoord {
  int X = 0;
  int Y = 0;
};

using TDrawCellEvent =
    std::function<void(TObject *Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject *Sender, int ACol, int ARow, bool &CanSelect)>;
using TMovedEvent = std::function<void(TObject *Sender, int FromIndex, int ToIndex)>;

class TCustomGrid : public TCustomControl {
 public:
  VCL_CLASS_NAME(TCustomGrid)
  explicit TCustomGrid(TComponent *owner);
  ~TCustomGrid() override;

  int ColCount() const { return layout_.ColCount(); }
  void SetColCount(int count);
  int RowCount() const { return layout_.RowCount(); }
  void SetRowCount(int count);
  int FixedCols() const { return layout_.FixedCols(); }
  void SetFixedCols(int count);
  int FixedRows() const { return layout_.FixedRows(); }
  void SetFixedRows(int count);
  int DefaultColWidth() const { return layout_.DefaultColWidth(); }
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return layout_.DefaultRowHeight(); }
  void SetDefaultRowHeight(int height);
  int ColWidths(int col) const { return layout_.ColWidth(col); }
  void SetColWidths(int col, int width);
  int RowHeights(int row) const { return layout_.RowHeight(row); }
  void SetRowHeights(int row, int height);
  int GridLineWidth() const { return layout_.GridLineWidth(); }
  void SetGridLineWidth(int width);

  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions options);
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor color);
  // With default drawing the grid fills each cell and draws the focus
  // rectangle around OnDrawCell; without, OnDrawCell paints all of it.
  bool DefaultDrawing = true;
  // Kept for the forms that set it; the grid shows no scroll bars of its own.
  TScrollStyle ScrollBars = ssBoth;

  // The current cell. Setting it asks OnSelectCell and scrolls it into view.
  int Col() const { return layout_.Col(); }
  void SetCol(int col);
  int Row() const { return layout_.Row(); }
  void SetRow(int row);
  int TopRow() const { return layout_.TopRow(); }
  void SetTopRow(int row);
  int LeftCol() const { return layout_.LeftCol(); }
  void SetLeftCol(int col);
  int VisibleColCount();
  int VisibleRowCount();

  TRect CellRect(int col, int row);
  // -1, -1 when the point lies on no cell.
  void MouseToCell(int x, int y, int &col, int &row);
  TGridCoord MouseCoord(int x, int y);

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;
  TNotifyEvent OnTopLeftChanged;
  TMovedEvent OnColumnMoved;

 protected:
  void Paint() override;
  void WMSize(TWMSize &msg) override;
  void WMEraseBkgnd(TWMEraseBkgnd &msg) override;
  void WMMouseWheel(TWMMouseWheel &msg) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  LRESULT DialogCode() override;

  virtual void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) {}
  virtual bool SelectCell(int col, int row);
  virtual void TopLeftChanged();
  virtual void ColumnMoved(int from, int to);
  // The grid's size changed: string grids resize their cell store.
  virtual void SizeChanged(int oldColCount, int oldRowCount) {}

  // Makes a cell current when OnSelectCell allows it; true when it did.
  bool MoveCurrent(platform::GridCell cell, bool show);
  void SyncClientSize();
  platform::GridLayout layout_;

 private:
  void DrawLines();
  TGridDrawState StateOf(int col, int row);

  TGridOptions options_ = kDefaultGridOptions;
  TColor fixedColor_ = clBtnFace;
  enum class Drag { None, Sizing, Moving } drag_ = Drag::None;
  int dragIndex_ = -1;
  int dragStartX_ = 0;
  int dragStartWidth_ = 0;
};

class TDrawGrid : public TCustomGrid {
 public:
  VCL_CLASS_NAME(TDrawGrid)
  explicit TDrawGrid(TComponent *owner) : TCustomGrid(owner) {}

 protected:
  void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) override;
};

class TStringGrid : public TDrawGrid {
 public:
  VCL_CLASS_NAME(TStringGrid)
  explicit TStringGrid(TComponent *owner);
  ~TStringGrid() override;

  // Cells outside the grid read empty and are not written.
  std::string Cells(int col, int row) const;
  void SetCells(int col, int row, const std::string &text);
  TObject *Objects(int col, int row) const;
  void SetObjects(int col, int row, TObject *object);
  // The texts of one row (column) as a list; changes go to the cells.
  TStrings *Rows(int row);
  TStrings *Cols(int col);

  // The in-place editor of a grid with goEditing: an edit over the current
  // cell (not a fixed one), opened by F2, Enter, a double click or a typed
  // character (which replaces the text). Enter and leaving the edit put its
  // text into the cell, Esc drops it.
  void ShowEditor();
  // Puts the editor's text into its cell and hides it; nothing when closed.
  void HideEditor();
  bool EditorMode() const;
  // Null until the editor was first opened.
  TEdit *InplaceEditor() { return editor_; }

 protected:
  void DrawCell(int col, int row, const TRect &rect, TGridDrawState state) override;
  void KeyDown(WORD &key, TShiftState shift) override;
  void KeyPress(char &key) override;
  void DblClick() override;
  bool SelectCell(int col, int row) override;
  void ColumnMoved(int from, int to) override;
  void SizeChanged(int oldColCount, int oldRowCount) override;

 private:
  class Line;
  struct Cell {
    std::string text;
    TObject *object = nullptr;
  };
  Cell *At(int col, int row);
  const Cell *At(int col, int row) const;
  std::vector<std::vector<Cell>> cells_;  // [row][col]
  std::vector<std::unique_ptr<Line>> lines_;
  void CloseEditor(bool keep);
  TEdit *editor_ = nullptr;
  int editCol_ = -1, editRow_ = -1;
};
