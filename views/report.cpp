#include "views/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/emap.h"
#include "market/answer.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/gdi.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "classlib/printer.h"
#include "platform/profile.h"
#include "platform/clock.h"
#include "platform/winuser.h"
#include "views/colschemes.h"
#include "views/dragdrop.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

namespace {

constexpr char kTooManyTabs[] = "最多只能同时显示 64 个板块。要添加板块，请先移除一些不使用的板块。  ";

// The null instrument handed to the order panel when a tab is loaded.
constexpr uint32_t kNullStock = 0xFFFFu << 16 | 0xFF;

HWND MainWindow() { return MainFrameHost()->MainWindow(); }

void PauseKeyHook(bool paused) {
  if (ViewServices().pauseKeyHook) ViewServices().pauseKeyHook(paused);
}

bool Online() { return ViewServices().hasRequestClient && ViewServices().hasRequestClient(); }

// The block id a sub-block's tab stands for: sub-blocks of a server
// category follow their parent in the block table.
int TopLevelId(int id) {
  while (id > 0) {
    const BLOCK *b = FindBlockById(id);
    if (!b || b->kind != kBlockServer) break;
    --id;
  }
  return id;
}

bool IsServerGroupBlock(const BLOCK *block) {
  if (!block || block->groupIndex < 0 || block->groupIndex >= BlockTable.groupCount) return false;
  return BlockTable.groups[block->groupIndex].type == kGroupServer;
}

bool BlockHolds(const BLOCK *block, STKPTR stock) {
  if (!block || !block->members) return false;
  for (int i = 0; i < block->memberCount; ++i)
    if (block->members[i].market == stock.market && block->members[i].stock == stock.stock) return true;
  return false;
}

}  // namespace

uint8_t &TReport::ScrollBarTracking() {
  static uint8_t tracking = 0;
  return tracking;
}

void RegisterReportView() {
  RegisterViewClass(VIEW_TYPE_REPORT,
                    [](TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                       EArray<VIEW_ATTR_13> *history, PaneNode *node, int) -> TMultiViewChild * {
                      return new TReport(page, record, viewData, history, node);
                    });
}

// ---- Construction -----------------------------------------------------------------

TReport::TReport(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                 EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TChildView(page, viewData, history, node) {
  if (record)
    m_attr = *record;
  else
    InitViewAttr(VIEW_TYPE_REPORT, &m_attr);
  m_attr.viewType = VIEW_TYPE_REPORT;
  m_attr.stock = STKPTR(m_attr.stock.market, 0, m_attr.stock.stock);

  // The pane's view data names the tabs and the columns.
  const MVCDATA_12 &d = *m_viewData;
  tabCount_ = int(std::min<uint32_t>(d.tabCount, kReportMaxTabs));
  std::memcpy(tabIds_, d.tabIds, sizeof tabIds_);
  m_attr.tabCount = tabCount_;
  std::memcpy(m_attr.tabIds, d.tabIds, sizeof m_attr.tabIds);
  m_attr.currentBlock = d.currentBlock;
  bool known = false;
  for (int i = 0; i < tabCount_; ++i) known |= tabIds_[i] == d.currentBlock;
  if (!known && tabCount_ > 0) m_attr.currentBlock = tabIds_[0];
  core_.columnCount = int(std::min<uint32_t>(d.columnCount, kReportMaxColumns));
  for (int i = 0; i < core_.columnCount; ++i) core_.columns[i] = d.columns[i];
  core_.sortColumn = int(d.scheme16);
  m_attr.fixedColumns = d.scheme12;

  // A tab shows the instrument: the current block, another tab, or its market's block.
  const STKPTR stock = m_attr.stock;
  if (!stock.IsNone() && !BlockHolds(FindBlockById(int(m_attr.currentBlock)), stock)) {
    int found = -1;
    for (int i = 0; i < tabCount_ && found < 0; ++i)
      if (BlockHolds(FindBlockById(tabIds_[i]), stock)) found = i;
    if (found >= 0) {
      m_attr.currentBlock = tabIds_[found];
    } else if (FindBlockById(stock.market)) {
      if (tabCount_ >= kReportMaxTabs) tabCount_ = kReportMaxTabs - 1;
      tabIds_[tabCount_++] = uint16_t(stock.market);
      m_attr.currentBlock = stock.market;
    }
  }

  const uint8_t *ids = d.columns;
  LoadColumnSchemes(SchemeFallback{int(d.columnCount), ids, int(d.scheme12)});
  invert_ = GetPrivateProfileIntA("Parameter", "InvertDisplay", 0, "..\\CFG\\SETTING.INI");
  gridLines_ = ViewDisplay().gridLines;
  BuildControls();
  BuildPopup();

  const int sort = core_.sortColumn;
  ApplyFonts();
  for (int i = 0; i < core_.columnCount; ++i)
    if (core_.columns[i] == sort) core_.sortColumn = sort;
  core_.direction = 1;
  requestCounter_ = 0;
  UpdateMenuCaptions();
}

TReport::~TReport() {
  if (dropTarget_) {
    RevokeDragDrop(DrawGrid1->Handle());
    dropTarget_->Release();
  }
  if (Timer1) Timer1->SetEnabled(false);
  if (DrawGrid1) DrawGrid1->OnDrawCell = nullptr;
}

void TReport::BuildControls() {
  Panel2 = new TPanel(this);
  Panel2->SetParent(this);
  Panel2->SetAlign(alRight);
  Panel2->SetWidth(17);
  Panel2->SetBevelOuter(bvNone);
  Panel3 = new TPanel(Panel2);
  Panel3->SetParent(Panel2);
  Panel3->SetAlign(alTop);
  Panel3->SetHeight(15);
  Panel3->SetBevelOuter(bvNone);
  ScrollBar2 = new TScrollBar(Panel2);
  ScrollBar2->SetKind(sbVertical);
  ScrollBar2->SetParent(Panel2);
  ScrollBar2->SetAlign(alClient);
  ScrollBar2->OnScroll = [this](TObject *, TScrollCode code, int &pos) {
    const int v = VisibleRows(), h = std::max(metrics_.RowHeight(), 1);
    const int g = DrawGrid1->RowCount();
    int top = DrawGrid1->TopRow();
    switch (code) {
      case scLineUp: top = std::max(top - 1, 1); break;
      case scLineDown: top = std::min(top + 1, std::max(g - v, 1)); break;
      case scPageUp: top = std::max(top - v, 1); break;
      case scPageDown: top = std::min(top + v, std::max(core_.rowCount - v + 1, 1)); break;
      case scPosition:
      case scTrack: top = std::min((pos + h / 2) / h + 1, std::max(g - 1, 1)); break;
      default: return;
    }
    ScrollBarTracking() = code == scTrack ? 1 : 0;
    DrawGrid1->SetTopRow(top);
    if (code != scTrack) {
      pos = (DrawGrid1->TopRow() - 1) * h;
      if (DrawGrid1->HandleAllocated()) DrawGrid1->SetFocus();
      PostRefresh();
    }
  };

  ToolPanel = new TPanel(this);
  ToolPanel->SetParent(this);
  ToolPanel->SetAlign(alBottom);
  ToolPanel->SetHeight(22);
  ToolPanel->SetBevelOuter(bvNone);
  Panel1 = new TPanel(ToolPanel);
  Panel1->SetParent(ToolPanel);
  Panel1->SetAlign(alRight);
  Panel1->SetWidth(60);
  Panel1->SetBevelOuter(bvNone);
  ScrollBar1 = new TScrollBar(Panel1);
  ScrollBar1->SetParent(Panel1);
  ScrollBar1->SetAlign(alClient);
  ScrollBar1->OnScroll = [this](TObject *, TScrollCode code, int &pos) {
    const int fixed = DrawGrid1->FixedCols();
    int left = DrawGrid1->LeftCol();
    switch (code) {
      case scLineUp:
      case scPageUp:
        if (left > fixed) --left;
        break;
      case scLineDown:
      case scPageDown:
        if (DrawGrid1->LeftCol() + DrawGrid1->VisibleColCount() - fixed < DrawGrid1->ColCount()) ++left;
        break;
      case scPosition:
      case scTrack: {
        int x = 0;
        for (int c = fixed; c < DrawGrid1->ColCount(); ++c) {
          if (x + DrawGrid1->ColWidths(c) / 2 > pos) {
            left = c;
            break;
          }
          x += DrawGrid1->ColWidths(c);
        }
        break;
      }
      default: return;
    }
    DrawGrid1->SetLeftCol(left);
    if (code != scTrack) UpdateHorzScrollBar();
  };
  Tabs = new TKivoTabSet(ToolPanel);
  Tabs->SetParent(ToolPanel);
  Tabs->SetAlign(alClient);
  Tabs->OnDrawBackGround = [](TObject *, HDC dc, RECT *rect) { DrawReportTabsBackground(dc, *rect); };
  Tabs->OnDrawItem = [](TObject *, HDC dc, RECT *rect, const std::string &caption, bool selected, bool hot) {
    DrawReportTabItem(dc, *rect, caption, selected, hot);
  };
  Tabs->OnLButtonDown = [this](TObject *, int32_t index, int32_t offset) { TabsLButtonDown(index, offset); };

  DrawGrid1 = new TMsgDrawGrid(this);
  DrawGrid1->SetParent(this);
  DrawGrid1->SetAlign(alClient);
  DrawGrid1->SetColor(TColor(0));
  DrawGrid1->SetDefaultColWidth(80);
  DrawGrid1->SetDefaultRowHeight(20);
  DrawGrid1->DefaultDrawing = false;
  DrawGrid1->SetFixedCols(0);
  DrawGrid1->SetFixedRows(1);
  DrawGrid1->SetRowCount(2);
  DrawGrid1->SetGridLineWidth(0);
  DrawGrid1->SetOptions(goColSizing | goColMoving | goThumbTracking);
  DrawGrid1->OnDrawCell = [this](TObject *, int col, int row, TRect rect, TGridDrawState) {
    if (!detached_) PaintCell(col, row, rect);
  };
  DrawGrid1->OnKeyDown = [this](TObject *, WORD &key, TShiftState shift) { DrawGrid1KeyDown(key, shift); };
  DrawGrid1->OnKeyDown2 = [this](TObject *, WPARAM key, bool *handled) { DrawGrid1KeyDown2(key, handled); };
  DrawGrid1->OnKeyUp2 = [this](TObject *, WPARAM key, bool *handled) { DrawGrid1KeyUp2(key, handled); };
  DrawGrid1->OnLButtonDown = [this](TObject *, int32_t x, int32_t y, bool *h) { DrawGrid1LButtonDown(x, y, h); };
  DrawGrid1->OnLButtonUp = [this](TObject *, int32_t x, int32_t y, bool *h) { DrawGrid1LButtonUp(x, y, h); };
  DrawGrid1->OnRButtonDown = [this](TObject *, int32_t x, int32_t y, bool *h) { DrawGrid1RButtonDown(x, y, h); };
  DrawGrid1->OnMouseMove = [this](TObject *, TShiftState shift, int x, int y) { DrawGrid1MouseMove(shift, x, y); };
  DrawGrid1->OnDblClick = [this](TObject *) { DrawGrid1DblClick(); };
  DrawGrid1->OnColumnMoved = [this](TObject *, int from, int to) { DrawGrid1ColumnMoved(from, to); };
  DrawGrid1->OnTopLeftChanged = [this](TObject *) { DrawGrid1TopLeftChanged(); };

  Timer1 = new TTimer(this);
  Timer1->SetInterval(100);
  Timer1->OnTimer = [this](TObject *) { Timer1Timer(); };
}

void TReport::BuildPopup() {
  PopupMenu1 = new TPopupMenu(this);
  auto item = [this](TMenuItem *parent, const char *caption, std::function<void()> click) {
    auto *i = new TMenuItem(PopupMenu1);
    i->Caption = caption;
    if (click) i->OnClick = [click](TObject *) { click(); };
    (parent ? parent : PopupMenu1->Items())->Add(i);
    return i;
  };
  TMenuItem *p1 = item(nullptr, "变换画面(&P)", nullptr);
  auto post = [this](UINT message) {
    return [this, message] { PostToPage(message); };
  };
  item(p1, "闪电图(&T)", post(WM_MVM_SHOW_TICK));
  item(p1, "分时图(&M)", post(WM_MVM_SHOW_MINUTE));
  item(p1, "K线图(&K)", post(WM_MVM_SHOW_KLINE));
  item(nullptr, "-", nullptr);
  N6 = item(nullptr, "新闻资讯      F9", post(WM_MVM_SHOW_NEWS));
  item(nullptr, "-", nullptr);
  N1 = item(nullptr, "添加板块      Ctrl+M", [this] { N1Click(); });
  N3 = item(nullptr, "关闭板块      Ctrl+C", [this] { N3Click(); });
  item(nullptr, "板块设置(&B)", [] {
    if (ViewServices().blockSettings) ViewServices().blockSettings();
  });
  item(nullptr, "-", nullptr);
  A1 = item(nullptr, "加入自选      Ctrl+Z", nullptr);
  N8 = item(nullptr, "加入预警(&A)", [this] { AddAlarm(); });
  N9 = item(nullptr, "删除(&D)", [this] { DeleteSelected(); });
  H1 = item(nullptr, "隐藏(&H)", [this] { HideSelected(); });
  H1->Visible = false;
  W1 = item(nullptr, "取消隐藏(&W)", [this] { Unhide(); });
  W1->Visible = false;
  item(nullptr, "-", nullptr);
  item(nullptr, "编辑栏目(&E)", [this] { N10Click(); });
  NSync = item(nullptr, "联动(&S)", [this] {
    m_linked = m_linked ? 0 : 1;
    if (!m_linked && ViewServices().uncheckLinkMenu) ViewServices().uncheckLinkMenu();
  });
  NSync->Visible = false;
  item(nullptr, "打印(&P)", [this] { Print(); });
  item(nullptr, "-", nullptr);
  item(nullptr, "属性(&O)", [this] { ShowOptions(); });
  PopupMenu1->OnPopup = [this](TObject *) { PopupMenu1Popup(); };
  DrawGrid1->PopupMenu = PopupMenu1;
  Tabs->PopupMenu = PopupMenu1;
}

// ---- Fonts and layout ----------------------------------------------------------------

void TReport::ApplyFonts() {
  const TViewDisplay &d = ViewDisplay();
  fonts_.Make(std::clamp(m_attr.zoomStep, 1, 10), d.bsZoom2);
  HDC dc = GetDC(Handle());
  metrics_.Measure(dc, fonts_);
  ReleaseDC(Handle(), dc);
  ViewDisplay().selectedRowFactor = metrics_.SelectedRowFactor(d.bsZoom2);
  if (currentBlock_) LayoutColumns();
  UpdateHorzScrollBar();
  Panel3->SetColor(TColor(ViewColor(17)));
  DrawGrid1->SetColor(TColor(ViewColor(17)));
  DrawGrid1->SetFixedColor(TColor(ViewColor(34)));
  DrawGrid1->SetDefaultRowHeight(metrics_.RowHeight());
  if (DrawGrid1->Row() >= 1)
    DrawGrid1->SetRowHeights(DrawGrid1->Row(), int(metrics_.RowHeight() * ViewDisplay().selectedRowFactor));
  DrawGrid1->Invalidate();
  TMultiViewChild::ApplyFonts();
}

int TReport::SchemeIndex() const { return SchemeIndexForBlock(currentBlock_); }

void TReport::LayoutColumns() {
  if (!ColumnSchemes) return;
  const int scheme = SchemeIndex();
  const int count = std::clamp(ColumnSchemes->count[scheme], 0, kReportMaxColumns);
  core_.columnCount = count;
  DrawGrid1->SetColCount(std::max(count, 1));
  for (int k = 0; k < count; ++k) {
    const int id = ColumnSchemes->ids[scheme][k];
    core_.columns[k] = id;
    DrawGrid1->SetColWidths(k, metrics_.ColumnWidth(scheme, id, ColumnSchemes->widths[scheme][k]));
  }
  core_.sortColumn = ColumnSchemes->sortColumn[scheme];
  const int fixed = std::clamp(ColumnSchemes->fixedCount[scheme], 0, std::max(count - 1, 0));
  m_attr.fixedColumns = uint32_t(fixed);
  DrawGrid1->SetFixedCols(fixed);
  DrawGrid1->SetDefaultRowHeight(metrics_.RowHeight());
}

ReportPaintState TReport::PaintState() {
  ReportPaintState s;
  s.core = &core_;
  s.block = currentBlock_;
  s.fonts = &fonts_;
  s.fixedColumns = DrawGrid1->FixedCols();
  s.selectedRow = DrawGrid1->Row();
  s.gridLines = gridLines_;
  s.invert = invert_ != 0;
  s.rowStyle = ViewDisplay().selectedRowStyle;
  s.bsZoom2 = ViewDisplay().bsZoom2;
  return s;
}

void TReport::PaintCell(int col, int row, const TRect &rect) {
  HDC dc = DrawGrid1->Canvas()->Handle();
  const RECT r = rect;
  PaintReportCell(dc, PaintState(), col, row, r);
}

int TReport::VisibleRows() { return std::max(DrawGrid1->VisibleRowCount(), 1); }

void TReport::RepaintRow(int gridRow, bool onlyWhenVisible) {
  if (gridRow < 1 || gridRow >= DrawGrid1->RowCount()) return;
  const int top = DrawGrid1->TopRow();
  if (onlyWhenVisible && (gridRow < top || gridRow > top + VisibleRows())) return;
  if (!DrawGrid1->HandleAllocated()) return;
  HDC dc = DrawGrid1->Canvas()->Handle();
  const ReportPaintState state = PaintState();
  const int width = DrawGrid1->ClientWidth();
  for (int c = 0; c < DrawGrid1->ColCount(); ++c) {
    if (c >= DrawGrid1->FixedCols() && c < DrawGrid1->LeftCol()) continue;
    const TRect rect = DrawGrid1->CellRect(c, gridRow);
    if (rect.Width() <= 0 || rect.Height() <= 0) {
      if (c >= DrawGrid1->LeftCol()) break;
      continue;
    }
    const RECT r = rect;
    PaintReportCell(dc, state, c, gridRow, r);
    if (rect.Right >= width) break;
  }
}

void TReport::RedrawFastChangeColumn() {
  int c = -1;
  for (int i = 0; i < core_.columnCount && c < 0; ++i)
    if (core_.columns[i] == kColFastChange) c = i;
  if (c < 0 || !DrawGrid1->HandleAllocated()) return;
  HDC dc = DrawGrid1->Canvas()->Handle();
  const ReportPaintState state = PaintState();
  const int top = DrawGrid1->TopRow();
  for (int r = top; r < DrawGrid1->RowCount() && r <= top + VisibleRows(); ++r) {
    const TRect rect = DrawGrid1->CellRect(c, r);
    if (rect.Width() <= 0) return;
    PaintReportCell(dc, state, c, r, RECT(rect));
  }
}

// ---- Rows and selection ------------------------------------------------------------

void TReport::PostRefresh() {
  if (HWND main = MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

void TReport::SelectRow(int gridRow) {
  const int old = DrawGrid1->Row();
  const int h = metrics_.RowHeight();
  if (old >= 1 && old < DrawGrid1->RowCount()) DrawGrid1->SetRowHeights(old, h);
  gridRow = std::clamp(gridRow, 1, std::max(DrawGrid1->RowCount() - 1, 1));
  DrawGrid1->SetRow(gridRow);
  DrawGrid1->SetRowHeights(gridRow, int(h * ViewDisplay().selectedRowFactor));
}

void TReport::ScrollToThird(int gridRow) {
  const int v = VisibleRows();
  int top = 1;
  if (core_.rowCount > v) top = std::clamp(gridRow - v / 3, 1, core_.rowCount - v + 1);
  const int kept = m_attr.keptTopRow;
  if (kept >= std::max(1, gridRow - v) && kept <= top) top = kept;
  DrawGrid1->SetTopRow(top);
}

void TReport::SetCurrentFromSelection(bool orderPanel, bool onlyWhenChanged) {
  const STKPTR before = m_attr.stock;
  const STKPTR now = core_.RowStock(DrawGrid1->Row() - 1);
  if (!now.IsNone()) m_attr.stock = now;
  if (orderPanel && m_active && (!onlyWhenChanged || !SameStock(before, m_attr.stock)))
    MainFrameHost()->SetOrderContract(kNullStock, 1);
}

void TReport::SelectAfterReload() {
  DrawGrid1->SetRowCount(std::max(core_.rowCount + 1, 2));
  if (toTop) {
    SelectRow(1);
    DrawGrid1->SetTopRow(1);
    toTop = false;
    return;
  }
  const int row = core_.FindRow(m_attr.stock.market, m_attr.stock.stock);
  if (row < 0) {
    SelectRow(1);
    DrawGrid1->SetTopRow(1);
  } else {
    SelectRow(row + 1);
    ScrollToThird(row + 1);
  }
}

void TReport::MoveSelection(int gridRow, bool keepLeft) {
  const int top = DrawGrid1->TopRow();
  const int old = DrawGrid1->Row();
  const int left = DrawGrid1->LeftCol();
  detached_ = true;
  SelectRow(gridRow);
  if (keepLeft) DrawGrid1->SetLeftCol(left);
  detached_ = false;
  if (DrawGrid1->TopRow() == top) {
    RepaintRow(old, true);
    RepaintRow(DrawGrid1->Row(), true);
  } else {
    DrawGrid1->Invalidate();
    DrawGrid1TopLeftChanged();
  }
  const STKPTR now = core_.RowStock(DrawGrid1->Row() - 1);
  if (!now.IsNone()) m_attr.stock = now;
  if (m_active) MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1);
}

// ---- Tabs --------------------------------------------------------------------------------

void TReport::SetTabCaption(int index, bool subBlockMark) {
  if (index < 0 || index >= Tabs->Tabs.Count()) return;
  Tabs->Tabs.Put(index, ReportTabCaption(FindBlockById(tabIds_[index]), subBlockMark));
  Tabs->Invalidate();
}

void TReport::AppendTab(int blockId) {
  if (tabCount_ >= kReportMaxTabs) return;
  tabIds_[tabCount_] = uint16_t(blockId);
  m_attr.tabIds[tabCount_] = uint16_t(blockId);
  ++tabCount_;
  m_attr.tabCount = tabCount_;
  Tabs->Tabs.Add(ReportTabCaption(FindBlockById(blockId), true));
}

void TReport::RemoveTab(int index) {
  if (index < 0 || index >= tabCount_) return;
  std::memmove(tabIds_ + index, tabIds_ + index + 1, size_t(tabCount_ - index - 1) * sizeof *tabIds_);
  --tabCount_;
  m_attr.tabCount = tabCount_;
  std::memcpy(m_attr.tabIds, tabIds_, sizeof tabIds_);
  if (index < Tabs->Tabs.Count()) Tabs->Tabs.Delete(index);
  Tabs->Invalidate();
}

bool TReport::LoadTab(int index, bool fromTabSet) {
  if (index < 0 || index >= tabCount_) return false;
  const BLOCK *block = FindBlockById(tabIds_[index]);
  if (!block || !block->members) return false;
  const BLOCKGROUP *group = block->groupIndex >= 0 && block->groupIndex < BlockTable.groupCount
                                ? &BlockTable.groups[block->groupIndex]
                                : nullptr;
  if (fromTabSet && group && group->type == kGroupServer && (Tabs->TabIndex() != -1 || block->kind == kBlockShared)) {
    const int chosen = SubBlockMenu(block, index);
    if (chosen < 0) return false;
    tabIds_[index] = uint16_t(chosen);
    m_attr.tabIds[index] = uint16_t(chosen);
    block = FindBlockById(chosen);
    if (!block || !block->members) return false;
    SetTabCaption(index, true);
  }
  ++requestCounter_;
  loadedTab_ = index;
  currentBlock_ = block;
  m_attr.currentBlock = uint32_t(block->blockId);
  LayoutColumns();
  core_.LoadRows(block);
  DrawGrid1->SetRowCount(std::max(core_.rowCount + 1, 2));
  DrawGrid1->SetCol(DrawGrid1->FixedCols());
  const int row = std::max(core_.FindRow(m_attr.stock.market, m_attr.stock.stock), 0);
  SelectRow(row + 1);
  const int v = VisibleRows();
  DrawGrid1->SetTopRow(core_.rowCount > v ? std::clamp(row + 1 - v / 3, 1, core_.rowCount - v + 1) : 1);
  const STKPTR now = core_.RowStock(row);
  if (!now.IsNone()) m_attr.stock = now;
  if (m_active && fromTabSet) MainFrameHost()->SetOrderContract(kNullStock, 1);
  UpdateVertScrollBar();
  UpdateHorzScrollBar();
  if (m_layoutDone) {
    SortRows(fromTabSet);
    PostRefresh();
  }
  DrawGrid1->Invalidate();
  if (fromTabSet && DrawGrid1->HandleAllocated() && DrawGrid1->CanFocus()) DrawGrid1->SetFocus();
  return true;
}

HMENU MakeSubBlockMenu(const BLOCK *block, int currentBlockId) {
  if (!block || block->groupIndex < 0 || block->groupIndex >= BlockTable.groupCount) return nullptr;
  const BLOCKGROUP &group = BlockTable.groups[block->groupIndex];
  HMENU menu = CreatePopupMenu();
  int items = 0;
  for (int i = 0; i < group.blockCount; ++i) {
    const BLOCK *b = FindBlockById(group.blockIds[i]);
    if (!b || b->kind != kBlockServer) continue;
    UINT flags = MF_STRING;
    if (b->blockId == currentBlockId) flags |= MF_CHECKED;
    if (items > 0 && items % 16 == 0) flags |= MF_MENUBREAK;
    AppendMenuA(menu, flags, UINT_PTR(b->blockId), b->name);
    ++items;
  }
  return menu;
}

int TReport::SubBlockMenu(const BLOCK *block, int index) {
  HMENU menu = MakeSubBlockMenu(block, int(m_attr.currentBlock));
  if (!menu) return -1;
  RECT r{};
  Tabs->GetItemRect(index, &r);
  POINT p{r.left, r.top};
  ::ClientToScreen(Tabs->Handle(), &p);
  const int chosen =
      GetMenuItemCount(menu) > 0 ? int(TrackPopupMenu(menu, TPM_RETURNCMD, p.x, p.y, 0, Handle(), nullptr)) : 0;
  DestroyMenu(menu);
  return chosen > 0 ? chosen : -1;
}

bool TReport::SelectTab(int index) {
  if (index == Tabs->TabIndex()) return true;
  if (!LoadTab(index, true)) return false;
  Tabs->SetTabIndex(index);
  return true;
}

bool TReport::OpenBlockTab(int blockId, bool mayReplace) {
  const int top = TopLevelId(blockId);
  for (int i = 0; i < tabCount_; ++i) {
    if (TopLevelId(tabIds_[i]) != top) continue;
    if (tabIds_[i] != blockId) {
      tabIds_[i] = uint16_t(blockId);
      m_attr.tabIds[i] = uint16_t(blockId);
      SetTabCaption(i, true);
      Tabs->SetTabIndex(-1);  // the change fires, without the sub-block menu
    }
    if (Tabs->TabIndex() == i)
      LoadTab(i, false);
    else
      SelectTab(i);
    return true;
  }
  if (tabCount_ >= kReportMaxTabs) {
    if (!mayReplace) return false;
    Tabs->SetTabIndex(0);
    RemoveTab(tabCount_ - 1);
  }
  AppendTab(blockId);
  // A category's title tab opens the sub-block menu; a sub-block loads at once.
  const BLOCK *block = FindBlockById(blockId);
  if (block && block->kind == kBlockServer) Tabs->SetTabIndex(-1);
  SelectTab(tabCount_ - 1);
  return true;
}

void TReport::N3Click() {
  if (tabCount_ < 2) return;
  int index = -1;
  for (int i = 0; i < tabCount_ && index < 0; ++i)
    if (tabIds_[i] == int(m_attr.currentBlock)) index = i;
  if (index < 0) return;
  RemoveTab(index);
  const int next = index == 0 ? 0 : index - 1;
  LoadTab(next, false);
  Tabs->SetTabIndex(next);
}

void TReport::N1Click() {
  if (tabCount_ >= kReportMaxTabs) {
    MessageBoxA(Handle(), kTooManyTabs, "提示", MB_ICONINFORMATION);
    return;
  }
  if (!ViewServices().chooseBlock) return;
  PauseKeyHook(true);
  const int id = ViewServices().chooseBlock(false);
  PauseKeyHook(false);
  if (id >= 0) OpenBlockTab(id, false);
}

void TReport::N10Click() {
  if (!ViewServices().editScheme) return;
  PauseKeyHook(true);
  const bool ok = ViewServices().editScheme(SchemeIndex());
  PauseKeyHook(false);
  if (ok) LoadTab(loadedTab_, false);
}

void TReport::LocateStock(uint32_t key) {
  if (tabCount_ <= 0) return;
  const int market = int(key & 0xFFFF), stockIndex = int(key >> 16);
  const int row = core_.FindRow(market, stockIndex);
  if (row >= 0) {
    MoveSelection(row + 1, true);
    return;
  }
  const STKPTR stock(market, 0, stockIndex);
  for (int i = 0; i < tabCount_; ++i) {
    if (currentBlock_ && tabIds_[i] == currentBlock_->blockId) continue;
    if (!BlockHolds(FindBlockById(tabIds_[i]), stock)) continue;
    m_attr.stock = stock;
    LoadTab(i, false);
    Tabs->SetTabIndex(i);
    return;
  }
  if (!FindBlockById(market)) return;
  if (tabCount_ >= kReportMaxTabs) {
    Tabs->SetTabIndex(0);
    RemoveTab(tabCount_ - 1);
  }
  m_attr.stock = stock;
  AppendTab(market);
  LoadTab(tabCount_ - 1, false);
  Tabs->SetTabIndex(tabCount_ - 1);
}

void TReport::OnBlockDeleted(int blockId) {
  if (currentBlock_ && currentBlock_->blockId == blockId) {
    if (tabCount_ > 1) return N3Click();
    char text[256];
    GetPrivateProfileStringA("PARAMETER", "SysBlocks", "上海期货 大连商品 郑州商品 美汇 上海黄金 LME", text, sizeof text,
                             "..\\CFG\\SETTING.INI");
    std::string first(text);
    first = first.substr(0, first.find(' '));
    const BLOCK *b = FindBlockByName(first.c_str());
    const int id = b ? b->blockId : 0;
    while (tabCount_ > 0) RemoveTab(tabCount_ - 1);
    AppendTab(id);
    LoadTab(0, false);
    Tabs->SetTabIndex(0);
    return;
  }
  for (int i = 0; i < tabCount_; ++i)
    if (tabIds_[i] == blockId) return RemoveTab(i);
}

void TReport::AddSelectedToBlock(int blockId) {
  const int row = DrawGrid1->Row() - 1;
  if (row < 0 || row >= core_.rowCount) return;
  BLOCK *block = FindBlockById(blockId);
  if (!block || !block->members) return;
  const STKPTR stock = core_.RowStock(row);
  if (AppendBlockMember(block, stock)) SaveUserBlocks();
  if (ViewServices().notifyViews) ViewServices().notifyViews(10, stock.Word(), block->blockId, 0);
}

// ---- Sorting -----------------------------------------------------------------------

void TReport::SortRows(bool notifyOrderPanel) {
  const int column = core_.sortColumn;
  if (TReportCore::IsLocalSortColumn(column)) {
    core_.SortLocal();
    if (toTop) {
      SelectRow(1);
      DrawGrid1->SetTopRow(1);
      toTop = false;
    } else {
      const int row = core_.FindRow(m_attr.stock.market, m_attr.stock.stock);
      if (row < 0) {
        SelectRow(1);
        DrawGrid1->SetTopRow(1);
      } else {
        SelectRow(row + 1);
        ScrollToThird(row + 1);
      }
    }
    const STKPTR now = core_.RowStock(DrawGrid1->Row() - 1);
    if (!now.IsNone()) m_attr.stock = now;
    if (m_active && notifyOrderPanel) MainFrameHost()->SetOrderContract(kNullStock, 1);
    PostRefresh();
    DrawGrid1->Invalidate();
    return;
  }
  if (!Online() || !currentBlock_ || !currentBlock_->memberCount) return;
  ReportSortRequest request;
  if (!core_.BuildSortRequest(currentBlock_, &request)) return;
  RequestSortData(uint32_t(requestCounter_), request.sortKind, request.count, request.codes, m_requestTag, 0);
}

// ---- Notifications and messages ------------------------------------------------------

int TReport::Notify(int code, uint32_t stock, intptr_t first, intptr_t second) {
  switch (code) {
    case 0: {
      const int row = core_.OnQuote(int(stock & 0xFF), int(stock >> 16), uint32_t(second));
      if (row >= 0) RepaintRow(row + 1, true);
      break;
    }
    case 10: {
      const BLOCK *block = FindBlockById(int(first));
      if (!block) break;
      for (int i = 0; i < tabCount_; ++i)
        if (tabIds_[i] == first) {
          SetTabCaption(i, false);
          break;
        }
      if (currentBlock_ == block) LoadTab(loadedTab_, true);
      break;
    }
    case 1:
      if (OpenBlockTab(int(first & 0xFFFF), false)) {
        core_.sortColumn = int(second);
        ++requestCounter_;
        SortRows(true);
        if (second == 0 || second == 1 || second == 9) DrawGrid1->Invalidate();
      } else {
        MessageBoxA(Handle(), kTooManyTabs, "提示", MB_ICONINFORMATION);
      }
      break;
    case 8:
      if (first == 0) {
        if (DrawGrid1->Row() < DrawGrid1->RowCount() - 1) {
          PostMessageA(DrawGrid1->Handle(), WM_KEYDOWN, VK_NEXT, 0);
          PostMessageA(DrawGrid1->Handle(), WM_KEYUP, VK_NEXT, 0);
        } else {
          SelectRow(1);
          PostRefresh();
        }
      } else if (first == 1) {
        TMultiViewChild *active = m_page ? m_page->m_active : nullptr;
        if ((!active || active == this) && core_.sortColumn > 1 && core_.sortColumn != 9 && Online()) {
          ++requestCounter_;
          SortRows(true);
        }
      } else if (first == 2) {
        TMultiViewChild *active = m_page ? m_page->m_active : nullptr;
        bool shown = false;
        for (int i = 0; i < core_.columnCount; ++i) shown |= core_.columns[i] == kColFastChange;
        if (Tabs->TabIndex() < 0 || !shown || core_.sortColumn == kColFastChange || !Online() ||
            (active && active != this))
          break;
        STKMS *list = new (std::nothrow) STKMS[256];
        if (!list) break;
        int n = 0;
        for (int r = DrawGrid1->TopRow() - 1; r < core_.rowCount && n < 256 && r < DrawGrid1->TopRow() - 1 + VisibleRows();
             ++r) {
          const STKPTR s = core_.RowStock(r);
          if (HasMarketRight(s.market, s.kind)) list[n++] = STKMS{s.market, s.stock};
        }
        if (n > 0)
          RequestSortData(0, kColFastChange, uint32_t(n), list, m_requestTag, 1);
        else
          delete[] list;
      }
      break;
    case 15: {
      const int before = m_attr.zoomStep;
      const int step = std::clamp(before + (first > 0 ? 1 : first < 0 ? -1 : 0), 1, 10);
      if (step != before) {
        m_attr.zoomStep = step;
        ApplyFonts();
      }
      break;
    }
    default:
      break;
  }
  return 1;
}

void TReport::Timer1Timer() {
  core_.Tick();
  const int top = DrawGrid1->TopRow();
  for (int r = top; r - 1 < core_.rowCount && r <= top + VisibleRows(); ++r) {
    const int row = r - 1;
    if (core_.rows[row].changedMask && !core_.IsRowFlashing(row)) RepaintRow(r, true);
  }
}

void TReport::CollectStocks(EArray<STKMS> *stocks) {
  TMultiViewChild *active = m_page ? m_page->m_active : nullptr;
  if (active && active != this) return;
  const int top = DrawGrid1->TopRow() - 1;
  for (int r = std::max(top, 0); r < core_.rowCount && r <= top + VisibleRows() && stocks->GetCount() <= 255; ++r) {
    const STKPTR s = core_.RowStock(r);
    if (!HasMarketRight(s.market, s.kind)) continue;
    bool held = false;
    for (int i = stocks->GetCount() - 1; i >= 0 && !held; --i)
      held = stocks->GetAt(i).market == s.market && stocks->GetAt(i).stock == s.stock;
    if (!held) stocks->Add(STKMS{s.market, s.stock});
  }
}

void TReport::SendStockToOrderPanel() { MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1); }

void TReport::SyncFrameButtons() { MainFrameHost()->ReleasePeriodButtons(); }

void TReport::StoreViewState() {
  m_attr.keptTopRow = DrawGrid1->TopRow();
  m_attr.columnCount = uint32_t(core_.columnCount);
  m_attr.sortColumn = uint32_t(core_.sortColumn);
  for (int i = 0; i < core_.columnCount; ++i) m_attr.columns[i] = uint8_t(core_.columns[i]);
  MVCDATA_12 &d = *m_viewData;
  d.tabCount = uint32_t(tabCount_);
  d.currentBlock = m_attr.currentBlock;
  std::memcpy(d.tabIds, tabIds_, sizeof d.tabIds);
  d.columnCount = m_attr.columnCount;
  d.scheme12 = m_attr.fixedColumns;
  d.scheme16 = m_attr.sortColumn;
  std::memcpy(d.columns, m_attr.columns, sizeof d.columns);
}

uint32_t TReport::MakeHandOverList(int32_t *position) {
  std::vector<STKPTR> items;
  for (int i = 0; i < core_.rowCount; ++i) items.push_back(core_.RowStock(i));
  if (position) *position = DrawGrid1->Row() - 1;
  return NewViewStockList(items.data(), uint32_t(items.size()));
}

void TReport::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_SORT_DATA_READY: {
      char folder[MAX_PATH] = {};
      if (AnswerHooks().tempFolder[0])
        std::snprintf(folder, sizeof folder, "%s", AnswerHooks().tempFolder);
      else
        GetTempPathA(sizeof folder, folder);
      char path[MAX_PATH + 16];
      std::snprintf(path, sizeof path, "%s%d.tmp", folder, int(m.WParam & 0xFFFF));
      if (int(m.LParam) == requestCounter_ && currentBlock_ &&
          core_.LoadSortAnswer(currentBlock_, path)) {
        const STKPTR before = m_attr.stock;
        SelectAfterReload();
        const STKPTR now = core_.RowStock(DrawGrid1->Row() - 1);
        if (!now.IsNone()) m_attr.stock = now;
        if (m_active && !SameStock(before, m_attr.stock)) MainFrameHost()->SetOrderContract(kNullStock, 1);
        DrawGrid1->Invalidate();
        PostRefresh();
      }
      DeleteFileA(path);
      m.Result = 0;
      return;
    }
    case WM_REPORT_SORT_COLUMN:
      core_.direction = 1;
      toTop = true;
      core_.sortColumn = int(m.WParam);
      ++requestCounter_;
      SortRows(true);
      m.Result = 0;
      return;
    case WM_DROP_STOCKS:
      Activate();
      m.Result = AcceptDroppedStock(uint32_t(m.WParam), int(int16_t(LOWORD(uint32_t(m.LParam)))),
                                    int(int16_t(HIWORD(uint32_t(m.LParam)))));
      return;
    case WM_SIZE:
      TChildView::WndProc(m);
      UpdateVertScrollBar();
      UpdateHorzScrollBar();
      return;
    default:
      break;
  }
  TChildView::WndProc(m);
}

void TReport::InitView() {
  if (!dropTarget_) {
    dropTarget_ = new CReportViewDropTarget(Handle());
    if (!RegisterDragDrop(DrawGrid1->Handle(), dropTarget_)) {
      dropTarget_->Release();
      dropTarget_ = nullptr;
    }
  }
  Tabs->Tabs.Clear();
  tabCount_ = std::min(tabCount_, kReportMaxTabs);
  for (int i = 0; i < tabCount_;) {
    if (FindBlockById(tabIds_[i])) {
      Tabs->Tabs.Add(ReportTabCaption(FindBlockById(tabIds_[i]), true));
      ++i;
    } else {
      std::memmove(tabIds_ + i, tabIds_ + i + 1, size_t(tabCount_ - i - 1) * sizeof *tabIds_);
      --tabCount_;
    }
  }
  m_attr.tabCount = tabCount_;
  std::memcpy(m_attr.tabIds, tabIds_, sizeof tabIds_);
  int select = -1;
  for (int i = 0; i < tabCount_ && select < 0; ++i)
    if (tabIds_[i] == int(m_attr.currentBlock)) select = i;
  if (select < 0 && tabCount_ > 0) select = 0;
  const int sort = core_.sortColumn;
  if (select >= 0) {
    LoadTab(select, false);
    Tabs->SetTabIndex(select);
  }
  LayoutColumns();
  for (int i = 0; i < core_.columnCount; ++i)
    if (core_.columns[i] == sort) core_.sortColumn = sort;
  const int row = core_.FindRow(m_attr.stock.market, m_attr.stock.stock);
  DrawGrid1->SetRowCount(std::max(core_.rowCount + 1, 2));
  if (row >= 0) {
    SelectRow(row + 1);
    ScrollToThird(row + 1);
  } else {
    SelectRow(1);
    DrawGrid1->SetTopRow(1);
  }
  const STKPTR now = core_.RowStock(DrawGrid1->Row() - 1);
  if (!now.IsNone()) m_attr.stock = now;
  if (m_active) MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1);
  ++requestCounter_;
  SortRows(true);
  DrawGrid1->Invalidate();
  PostRefresh();
  Timer1->SetEnabled(true);
}

// ---- Scroll bars -----------------------------------------------------------------------

void TReport::UpdateVertScrollBar() {
  if (!DrawGrid1) return;
  const int h = std::max(metrics_.RowHeight(), 1);
  const int a = DrawGrid1->ClientHeight() - h;
  const int v = VisibleRows();
  if (DrawGrid1->TopRow() > 1 && core_.rowCount - (DrawGrid1->TopRow() - 1) < v)
    DrawGrid1->SetTopRow(std::max(core_.rowCount - v + 1, 1));
  const bool hidden = core_.rowCount > v || DrawGrid1->TopRow() > 1;
  if (hidden && a > 0) {
    const double factor = ViewDisplay().selectedRowFactor;
    const double c = (factor - 1) * h + double(core_.rowCount) * h;
    const double d = a < c ? double((a / h) * h) : c;
    const double e = d == 0 ? a - h : a - d;
    ScrollBar2->SetParams((DrawGrid1->TopRow() - 1) * h, 0, std::max(int(c + e) - 1, 0));
    ScrollBar2->SetPageSize(a);
    Panel2->Show();
  } else {
    Panel2->Hide();
  }
}

void TReport::UpdateHorzScrollBar() {
  if (!DrawGrid1) return;
  const int fixed = DrawGrid1->FixedCols();
  int fixedWidth = 0;
  for (int c = 0; c < fixed; ++c) fixedWidth += DrawGrid1->ColWidths(c);
  int total = 0, left = 0;
  for (int c = fixed; c < DrawGrid1->ColCount(); ++c) {
    if (c < DrawGrid1->LeftCol()) left += DrawGrid1->ColWidths(c);
    total += DrawGrid1->ColWidths(c);
  }
  const int a = DrawGrid1->ClientWidth() - fixedWidth;
  if (total > a && a > 0) {
    ScrollBar1->SetParams(left, 0, std::max(total - 1, 0));
    ScrollBar1->SetPageSize(a);
    Panel1->Show();
  } else {
    Panel1->Hide();
  }
}

void TReport::DrawGrid1TopLeftChanged() {
  if (detached_) return;
  if (DrawGrid1->TopRow() == lastTop_ && DrawGrid1->LeftCol() == lastLeft_) return;
  lastTop_ = DrawGrid1->TopRow();
  lastLeft_ = DrawGrid1->LeftCol();
  const int h = std::max(metrics_.RowHeight(), 1);
  if (Panel2->Visible()) ScrollBar2->SetPosition((DrawGrid1->TopRow() - 1) * h);
  if (!ScrollBarTracking()) PostRefresh();
}

// ---- Keys ---------------------------------------------------------------------------------

void TReport::OpenSelected() {
  const int row = DrawGrid1->Row() - 1;
  if (row < 0 || row >= core_.rowCount) return;
  m_attr.stock = core_.RowStock(row);
  static VIEW_ATTR_13 open;
  std::memset(static_cast<void *>(&open), 0, sizeof open);
  InitViewAttr(ViewDisplay().trendFirst ? VIEW_TYPE_INTRADAY : VIEW_TYPE_KLINE, &open);
  open.stock = m_attr.stock;
  open.currentBlock = m_attr.currentBlock;
  int32_t position = 0;
  const uint32_t list = MakeHandOverList(&position);
  if (!list) return;
  open.SetHandOverList(list);
  open.SetHandOverPosition(position);
  if (HWND main = MainWindow()) PostMessageA(main, WM_MF_EVENT, 0, reinterpret_cast<LPARAM>(&open));
}

void TReport::DrawGrid1KeyDown(WORD &key, TShiftState shift) {
  if (key != VK_RETURN && key != VK_LEFT && key != VK_RIGHT && Tabs->TabIndex() != loadedTab_)
    Tabs->SetTabIndex(loadedTab_);
  switch (key) {
    case VK_RETURN:
      if (Tabs->TabIndex() != loadedTab_) {
        LoadTab(Tabs->TabIndex(), true);
        key = 0;
      } else {
        OpenSelected();
      }
      break;
    case 'Z':
      if (!shift.Contains(ssAlt) || core_.rowCount <= 0) return;
      AddStockToUserBlock(core_.RowStock(DrawGrid1->Row() - 1));
      break;
    case VK_ESCAPE:
      PostToPage(WM_MVM_BACK);
      break;
    case VK_LEFT:
    case VK_RIGHT: {
      const int index = std::clamp(Tabs->TabIndex() + (key == VK_LEFT ? -1 : 1), 0, std::max(tabCount_ - 1, 0));
      Tabs->SetTabIndex(index);
      key = 0;
      break;
    }
    case VK_END:
      if (Tabs->TabIndex() == loadedTab_) return;
      LoadTab(Tabs->TabIndex(), true);
      key = 0;
      break;
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
      key = 0;
      break;
    case VK_DELETE:
      DeleteSelected();
      break;
    default:
      return;
  }
  DrawGrid1->Invalidate();
}

void TReport::DrawGrid1KeyDown2(WPARAM key, bool *handled) {
  if (key != VK_PRIOR && key != VK_NEXT && key != VK_UP && key != VK_DOWN) {
    *handled = false;
    return;
  }
  if (Tabs->TabIndex() != loadedTab_) Tabs->SetTabIndex(loadedTab_);
  ScrollBarTracking() = 1;
  const int v = VisibleRows();
  int top = DrawGrid1->TopRow(), selected = DrawGrid1->Row();
  const TMarketData *md = currentBlock_ ? MarketAt(currentBlock_->market) : nullptr;
  const int sort = core_.sortColumn;
  if (key == VK_PRIOR || key == VK_NEXT) {
    if ((m_attr.displayFlags & 0x100) && md && md->m_info.type == 2 && core_.rowCount > 0 && selected >= 1 &&
        (sort == 0 || sort == 1 || sort == 9)) {
      const int row = core_.GroupJumpRow(selected - 1, key == VK_NEXT);
      // The group of the chosen row: scroll so that it shows when it does not.
      selected = row + 1;
      if (selected < top || selected >= top + v) top = std::max(selected - v / 2, 1);
    } else {
      core_.PageMove(key == VK_NEXT, v, &top, &selected);
    }
  } else {
    core_.LineMove(key == VK_DOWN, &selected);
  }
  detached_ = true;
  DrawGrid1->SetTopRow(top);
  detached_ = false;
  MoveSelection(selected, true);
  UpdateVertScrollBar();
}

void TReport::DrawGrid1KeyUp2(WPARAM key, bool *handled) {
  if (key != VK_PRIOR && key != VK_NEXT && key != VK_UP && key != VK_DOWN) {
    *handled = false;
    return;
  }
  ScrollBarTracking() = 0;
  if (!wheelFlag) PostRefresh();
}

// ---- Mouse ----------------------------------------------------------------------------

void TReport::DrawGrid1LButtonDown(int x, int y, bool *handled) {
  lastPress_ = POINT{x, y};
  if (DrawGrid1->CanFocus()) DrawGrid1->SetFocus();
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(x, y, col, row);
  if (row == 0) {
    DrawGrid1->Tag = 0;
    *handled = false;
    return;
  }
  if (row >= 1 && col >= 0) {
    DrawGrid1->Tag = 1;
    if (row == DrawGrid1->Row())
      MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1);
    else if (row - 1 < core_.rowCount)
      MoveSelection(row, true);
    Activate();
    return;
  }
  DrawGrid1->Tag = -1;
}

void TReport::DrawGrid1LButtonUp(int x, int y, bool *handled) {
  if (DrawGrid1->Tag != 0) {
    DrawGrid1->Tag = 0;
    return;
  }
  *handled = false;
  UpdateHorzScrollBar();
  DrawGrid1->Invalidate();
}

void TReport::DrawGrid1RButtonDown(int x, int y, bool *handled) {
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(x, y, col, row);
  if (row >= 1 && row != DrawGrid1->Row() && row - 1 < core_.rowCount) MoveSelection(row, true);
  Activate();
  *handled = false;
}

void TReport::DrawGrid1MouseMove(TShiftState shift, int, int) {
  if (!shift.Contains(ssLeft) || DrawGrid1->Tag != 1) return;
  const std::string text = DragText(m_attr.stock);
  if (!text.empty() && GlobalDropSource()) {
    auto *data = new CDragDropStringObject(text.c_str());
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data, GlobalDropSource(), DROPEFFECT_COPY, &effect);
    data->Release();
  }
  DrawGrid1->Tag = 0;
}

void TReport::DrawGrid1DblClick() {
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(lastPress_.x, lastPress_.y, col, row);
  if (row == 0) {
    if (Tabs->TabIndex() < 0 || col < 0 || col >= core_.columnCount) return;
    const int id = core_.columns[col];
    if ((id >= 30 && id <= 44) || id >= 59 || id < 0) return;
    toTop = true;
    if (id == core_.sortColumn)
      core_.direction = core_.direction ? 0 : 1;
    else
      core_.sortColumn = id;
    ++requestCounter_;
    SortRows(true);
    DrawGrid1->Invalidate();
    return;
  }
  if (row >= 1 && core_.rowCount > 0) {
    PostMessageA(DrawGrid1->Handle(), WM_KEYDOWN, VK_CONTROL, 0);
    PostMessageA(DrawGrid1->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  }
}

void TReport::DrawGrid1ColumnMoved(int from, int to) {
  int32_t columns[kReportMaxColumns];
  std::copy(core_.columns, core_.columns + kReportMaxColumns, columns);
  MoveSchemeColumn(SchemeIndex(), from, to, columns, core_.columnCount);
  std::copy(columns, columns + kReportMaxColumns, core_.columns);
  DrawGrid1->Invalidate();
  UpdateHorzScrollBar();
}

void TReport::TabsLButtonDown(int index, int offset) {
  Activate();
  if (index < 0 || index >= tabCount_) return;
  const BLOCK *block = FindBlockById(tabIds_[index]);
  if (index == Tabs->TabIndex()) {
    if (IsServerGroupBlock(block)) LoadTab(index, true);
    return;
  }
  // Away from the drop-down mark of a "^" tab the tab loads without the
  // sub-block menu: with no tab selected first, the change opens no menu.
  const std::string caption = Tabs->Tabs.Get(index);
  if (!caption.empty() && caption[0] == '^' && offset > 16) Tabs->SetTabIndex(-1);
  if (LoadTab(index, true)) Tabs->SetTabIndex(index);
}

// ---- Popup commands -----------------------------------------------------------------

void TReport::PopupMenu1Popup() {
  A1->Clear();
  for (int i = 0; i < BlockTable.blockCount; ++i) {
    const BLOCK &b = BlockTable.blocks[i];
    if (!b.inUse || b.kind != kBlockUser) continue;
    auto *item = new TMenuItem(PopupMenu1);
    item->Caption = b.name;
    item->Tag = b.blockId;
    const int id = b.blockId;
    item->OnClick = [this, id](TObject *) { AddSelectedToBlock(id); };
    A1->Add(item);
  }
  N3->Enabled = tabCount_ > 1;
  const int kind = currentBlock_ ? currentBlock_->kind : -1;
  N9->Visible = kind == kBlockUser;
  H1->Visible = kind >= 0 && kind < kBlockUser;
  W1->Visible = kind >= 0 && kind < kBlockUser;
  NSync->Checked = m_linked != 0;
}

void TReport::DeleteSelected() {
  BLOCK *block = const_cast<BLOCK *>(currentBlock_);
  const int row = DrawGrid1->Row() - 1;
  if (!block || block->kind != kBlockUser || !core_.DeleteFromUserBlock(block, row)) return;
  LoadTab(loadedTab_, true);
  MoveSelection(std::max(row, 1), true);
}

void TReport::HideSelected() {
  const int row = DrawGrid1->Row() - 1;
  if (!core_.HideRow(currentBlock_, row)) return;
  DrawGrid1->SetRowCount(std::max(core_.rowCount + 1, 2));
  SelectRow(std::min(row + 1, std::max(core_.rowCount, 1)));
  UpdateVertScrollBar();
  DrawGrid1->Invalidate();
}

void TReport::Unhide() {
  if (!currentBlock_ || currentBlock_->kind >= kBlockUser) return;
  TReportCore::UnhideAll(currentBlock_);
  LoadTab(loadedTab_, true);
}

void TReport::AddAlarm() {
  if (!ViewServices().addAlarm) return;
  PauseKeyHook(true);
  const int index = ViewServices().addAlarm(m_attr.stock);
  PauseKeyHook(false);
  if (index >= 0) PostRefresh();
}

void TReport::ShowOptions() {
  if (!ViewServices().showOptions) return;
  PauseKeyHook(true);
  ViewServices().showOptions(&m_attr);
  PauseKeyHook(false);
  Invalidate();
}

void TReport::UpdateMenuCaptions() {
  auto keyText = [](int command) {
    char out[64] = {};
    uint32_t flags = 0;
    char keys[16] = {};
    if (ViewDisplay().hotKey && ViewDisplay().hotKey(command, &flags, keys)) FormatHotKeyText(flags, keys, out);
    return std::string(out);
  };
  N6->Caption = "新闻资讯      " + keyText(44);
  N1->Caption = "添加板块      " + keyText(63);
  N3->Caption = "关闭板块      " + keyText(64);
  A1->Caption = "加入自选      " + keyText(65);
  const std::string alarm = keyText(81);
  N8->Caption = alarm.empty() ? "加入预警(&A)" : "加入预警      " + alarm;
  TChildView::UpdateMenuCaptions();
}

// ---- Drop ---------------------------------------------------------------------------------

int TReport::AcceptDroppedStock(uint32_t fileNumber, int x, int y) {
  STKPTR stock;
  if (!TakeHandOverFile(fileNumber, &stock) || !currentBlock_) return -1;

  POINT p{x, y};
  ::ScreenToClient(DrawGrid1->Handle(), &p);
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(p.x, p.y, col, row);
  const int d = row >= 1 && row - 1 < core_.rowCount ? row - 1 : -1;
  BLOCK *block = const_cast<BLOCK *>(currentBlock_);
  switch (core_.DropStock(block, stock, d)) {
    case TReportCore::kDropMoved: {
      toTop = false;
      if (ViewServices().notifyViews) ViewServices().notifyViews(10, stock.Word(), block->blockId, 0);
      const int at = core_.FindRow(stock.market, stock.stock);
      MoveSelection(at + 1, true);
      return 0;
    }
    case TReportCore::kDropInserted: {
      toTop = false;
      m_attr.stock = stock;
      if (ViewServices().notifyViews)
        ViewServices().notifyViews(10, stock.Word(), block->blockId, 0);
      else
        LoadTab(loadedTab_, false);
      const int at = core_.FindRow(stock.market, stock.stock);
      if (at >= 0) MoveSelection(at + 1, true);
      return 0;
    }
    case TReportCore::kDropSystemBlock:
      MessageBoxA(Handle(), "不能向系统板块中添加品种。  ", "错误", MB_ICONERROR | MB_TOPMOST);
      return -1;
    case TReportCore::kDropFull:
      MessageBoxA(Handle(), "自选品种数量太多，请加至其它自选板块。  ", "错误", MB_ICONERROR | MB_TOPMOST);
      return -1;
    default:
      return -1;
  }
}

// ---- Printing ---------------------------------------------------------------------------

void TReport::Print() {
  TPrintDialog dialog;
  if (!dialog.Execute()) return;
  Invalidate();
  Update();
  const int w = ClientWidth(), h = ClientHeight();
  HDC mem = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = std::max(w, 1);
  info.bmiHeader.biHeight = -std::max(h, 1);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  HBITMAP shot = mem ? CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!shot || !bits || w <= 0 || h <= 0) {
    if (shot) DeleteObject(shot);
    if (mem) DeleteDC(mem);
    MessageBoxA(Handle(), "资源不足，无法打印。  ", "提示", MB_ICONERROR | MB_TOPMOST);
    return;
  }
  HGDIOBJ old = SelectObject(mem, shot);
  PaintTo(mem, 0, 0);
  TPrinter *printer = Printer();
  try {
    printer->BeginDoc();
    const int pw = printer->PageWidth(), ph = printer->PageHeight();
    const int mx = pw / 20, my = ph / 20;
    const int aw = pw - 2 * mx, ah = ph - 2 * my;
    HDC pdc = printer->Handle();
    // A line with the year above the picture.
    PrintYearLine(pdc, mx, my - 56, "行情报表");

    // Black and white: the report's background colours and unreadable pixels white.
    const bool turn = w != h && pw != ph && ((pw > ph) != (w > h));
    const COLORREF white[] = {ViewColor(17), ViewColor(34), ViewColor(63), ViewColor(64)};
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t *pixels = static_cast<const uint32_t *>(bits);
    auto isWhite = [&](int x, int y) {
      const uint32_t p = pixels[size_t(y) * size_t(w) + size_t(x)];
      const COLORREF c = RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p));
      if (turn && c == face) return true;
      return std::find(std::begin(white), std::end(white), c) != std::end(white);
    };
    const int iw = turn ? h : w, ih = turn ? w : h;
    BITMAPINFO bw = info;
    bw.bmiHeader.biWidth = iw;
    bw.bmiHeader.biHeight = -ih;
    void *bwBits = nullptr;
    HBITMAP image = CreateDIBSection(mem, &bw, DIB_RGB_COLORS, &bwBits, nullptr, 0);
    if (!image || !bwBits) throw EPrinter("no bitmap");
    uint32_t *out = static_cast<uint32_t *>(bwBits);
    for (int oy = 0; oy < ih; ++oy)
      for (int ox = 0; ox < iw; ++ox) {
        const int sx = turn ? oy : ox, sy = turn ? h - 1 - ox : oy;
        out[size_t(oy) * size_t(iw) + size_t(ox)] = isWhite(sx, sy) ? 0xFFFFFFu : 0;
      }
    const double scale = std::min(double(aw) / iw, double(ah) / ih);
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ oldImage = SelectObject(src, image);
    SetStretchBltMode(pdc, COLORONCOLOR);
    const bool copied = StretchBlt(pdc, mx, my, int(iw * scale), int(ih * scale), src, 0, 0, iw, ih, SRCCOPY);
    SelectObject(src, oldImage);
    DeleteDC(src);
    DeleteObject(image);
    if (!copied) throw EPrinter("copy failed");
    printer->EndDoc();
  } catch (const EPrinter &) {
    if (printer->Printing()) printer->Abort();
    MessageBoxA(Handle(), "资源不足，无法打印。  ", "提示", MB_ICONERROR | MB_TOPMOST);
  }
  SelectObject(mem, old);
  DeleteObject(shot);
  DeleteDC(mem);
}
