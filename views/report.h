// The quote report: the view of one block (sector) per tab, a row per
// instrument and a column per report column, live updates from the pushed
// quotes with flashing of the changed fields, local and server sorts,
// hidden codes, block tabs with sub-block menus, paging by keys and wheel,
// popup commands, dragging an instrument out and dropping one in.
//
// The rows and their sorting live in TReportCore; the cells are painted by
// PaintReportCell; this form feeds them and shows what they hold.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/kivotabset.h"
#include "core/msgdrawgrid.h"
#include "classlib/extctrls.h"
#include "classlib/menus.h"
#include "classlib/scrollbar.h"
#include "views/childview.h"
#include "views/reportcore.h"
#include "views/reportpaint.h"
#include "views/viewservices.h"

struct BLOCK;
class CReportViewDropTarget;

// The report class in the view factory.
void RegisterReportView();

// The sub-block menu of a tab whose block belongs to a server category: every
// sub-block of the block's group in the group's order (item id = block id),
// the current block checked, a new column every 16 items. Null when the
// block has no group; the caller destroys the menu.
HMENU MakeSubBlockMenu(const BLOCK *block, int currentBlockId);

class TReport : public TChildView {
 public:
  TReport(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
          PaneNode *node);
  ~TReport() override;

  // ---- pane operations ----
  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void Print() override;
  void InitView() override;
  void ApplyFonts() override;
  void CollectStocks(EArray<STKMS> *stocks) override;
  void UpdateMenuCaptions() override;
  void SendStockToOrderPanel() override;
  void SyncFrameButtons() override;
  void StoreViewState() override;
  uint32_t MakeHandOverList(int32_t *position) override;
  void WndProc(TMessage &message) override;

  // ---- operations the main window calls ----
  void SortRows(bool notifyOrderPanel);
  bool OpenBlockTab(int blockId, bool mayReplace);
  void AddSelectedToBlock(int blockId);
  void LocateStock(uint32_t key);
  void OnBlockDeleted(int blockId);
  void RedrawFastChangeColumn();
  void N1Click();   // 添加板块
  void N3Click();   // 关闭板块
  void N10Click();  // 编辑栏目
  int AcceptDroppedStock(uint32_t fileNumber, int x, int y);

  // ---- painting and layout ----
  void LayoutColumns();
  void RepaintRow(int gridRow, bool onlyWhenVisible);
  // Loads tab index (a change from the tab set when fromTabSet).
  bool LoadTab(int index, bool fromTabSet);
  // Selects a tab as the tab set does when its index is set: a different
  // index loads the tab as a change from the tab set, and a refused change
  // leaves the selection as it was.
  bool SelectTab(int index);
  void SelectRow(int gridRow);
  void UpdateVertScrollBar();
  void UpdateHorzScrollBar();

  // ---- what tests and the page read ----
  TReportCore &Core() { return core_; }
  TMsgDrawGrid *Grid() const { return DrawGrid1; }
  TKivoTabSet *TabSet() const { return Tabs; }
  TPopupMenu *Popup() const { return PopupMenu1; }
  const BLOCK *CurrentBlock() const { return currentBlock_; }
  int TabCount() const { return tabCount_; }
  int TabId(int i) const { return i >= 0 && i < tabCount_ ? tabIds_[i] : -1; }
  int LoadedTab() const { return loadedTab_; }
  int RequestCounter() const { return requestCounter_; }
  int SchemeIndex() const;
  bool toTop = false;
  bool wheelFlag = false;

  // Process-wide: a report's scroll bar is dragged or a paging key held.
  static uint8_t &ScrollBarTracking();

 private:
  void BuildControls();
  void BuildPopup();
  void PaintCell(int col, int row, const TRect &rect);
  ReportPaintState PaintState();
  int VisibleRows();
  void PostRefresh();
  void SetCurrentFromSelection(bool orderPanel, bool onlyWhenChanged);
  void ScrollToThird(int gridRow);
  void SelectAfterReload();
  // The row of the shown instrument selected (the first row when it is not
  // listed or the list goes to the top).
  void SelectShownStock();
  void AppendTab(int blockId);
  void RemoveTab(int index);
  void SetTabCaption(int index, bool subBlockMark);
  int SubBlockMenu(const BLOCK *block, int index);
  void MoveSelection(int gridRow, bool keepLeft);
  void OpenSelected();
  void DeleteSelected();
  void HideSelected();
  void Unhide();
  void ShowOptions();
  void AddAlarm();

  // Events.
  void DrawGrid1KeyDown(WORD &key, TShiftState shift);
  void DrawGrid1KeyDown2(WPARAM key, bool *handled);
  void DrawGrid1KeyUp2(WPARAM key, bool *handled);
  void DrawGrid1LButtonDown(int x, int y, bool *handled);
  void DrawGrid1LButtonUp(int x, int y, bool *handled);
  void DrawGrid1RButtonDown(int x, int y, bool *handled);
  void DrawGrid1MouseMove(TShiftState shift, int x, int y);
  void DrawGrid1DblClick();
  void DrawGrid1ColumnMoved(int from, int to);
  void DrawGrid1TopLeftChanged();
  void TabsLButtonDown(int index, int offset);
  void Timer1Timer();
  void PopupMenu1Popup();

  TReportCore core_;
  ReportFonts fonts_;
  ReportMetrics metrics_;
  const BLOCK *currentBlock_ = nullptr;
  int tabCount_ = 0;
  uint16_t tabIds_[kReportMaxTabs] = {};
  int loadedTab_ = -1;
  int requestCounter_ = 0;
  uint32_t invert_ = 0;
  bool gridLines_ = false;
  bool detached_ = false;  // draw-cell and top-left events detached while the selection moves
  int lastTop_ = 1;
  int lastLeft_ = 0;
  POINT lastPress_{0, 0};  // the last left press on the grid: what a double click hits
  CReportViewDropTarget *dropTarget_ = nullptr;  // the grid's drop target, registered once the view is set up

  TMsgDrawGrid *DrawGrid1 = nullptr;
  TPanel *ToolPanel = nullptr;
  TKivoTabSet *Tabs = nullptr;
  TPanel *Panel1 = nullptr;
  TScrollBar *ScrollBar1 = nullptr;
  TPanel *Panel2 = nullptr;
  TPanel *Panel3 = nullptr;
  TScrollBar *ScrollBar2 = nullptr;
  TPopupMenu *PopupMenu1 = nullptr;
  TTimer *Timer1 = nullptr;
  TMenuItem *N1 = nullptr, *N3 = nullptr, *N6 = nullptr, *N8 = nullptr, *N9 = nullptr, *H1 = nullptr,
            *W1 = nullptr, *A1 = nullptr, *NSync = nullptr;
};
