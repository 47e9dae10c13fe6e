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
#include "views/openrecord.h"
#include "views/viewdisplay.h"
#include "views/report_internal.h"
#include "views/viewhost.h"

using namespace report_detail;

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
  SelectShownStock();
}

void TReport::SelectShownStock() {
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
