// The quote board of the main window: its layout, the card a pushed quote
// repaints, its menu's column choices, showing and closing it, and the
// chart a double click opens with the whole block to page through.
#include <vector>

#include "market/blocks.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "shell/mframe.h"
#include "views/viewattr.h"

namespace {

std::vector<STKMS> BoardMembers(int blockId) {
  std::vector<STKMS> out;
  const BLOCK *block = blockId >= 0 ? FindBlockById(blockId) : nullptr;
  for (int i = 0; block && block->members && i < block->memberCount; ++i)
    out.push_back(STKMS{block->members[i].market, block->members[i].stock});
  return out;
}

}  // namespace

void TMFrame::LayoutQuoteBoard(bool keepColumns) {
  const std::vector<STKMS> members = BoardMembers(quoteBoardBlock);
  board.columns = quoteBoardColumns;
  board.gridWidth = DrawGrid1->Width();
  board.gridHeight = DrawGrid1->Height();
  board.Layout(keepColumns, quoteBoardBlock >= 0 && FindBlockById(quoteBoardBlock), int(members.size()));
  quoteBoardColumns = board.columns;
  DrawGrid1->SetWidth(board.gridWidth);
  DrawGrid1->SetDefaultColWidth(board.columnWidth);
  DrawGrid1->SetDefaultRowHeight(board.rowHeight);
  DrawGrid1->SetColCount(board.columns);
  DrawGrid1->SetRowCount(board.rows);
}

void TMFrame::RedrawQuoteBoardStock(uint32_t key) {
  if (quoteBoardBlock < 0 || !DrawGrid1->Visible()) return;
  const std::vector<STKMS> members = BoardMembers(quoteBoardBlock);
  const int i = board.VisibleCard(members.data(), int(members.size()), int(key & 0xFF), int(key >> 16));
  if (i < 0) return;
  const TRect r = DrawGrid1->CellRect(i % board.columns, i / board.columns);
  if (DrawGrid1->HandleAllocated()) {
    RECT rect{r.Left, r.Top, r.Right, r.Bottom};
    InvalidateRect(DrawGrid1->Handle(), &rect, FALSE);
  }
}

void TMFrame::N110Click(int columns) {
  if (!board.ColumnsFit(columns, Width())) return;
  quoteBoardColumns = columns;
  LayoutQuoteBoard(true);
  UpdateRealtimeSubscription(true);
  DrawGrid1->Invalidate();
}

void TMFrame::Q1Click(bool show) {
  quoteBoard = show;
  if (TMenuItem *item = chrome->MenuItem("Q1")) item->Checked = show;
  DrawGrid1->SetVisible(show);
  Splitter1->SetVisible(show);
  if (show) LayoutQuoteBoard(true);
  UpdateRealtimeSubscription(true);
}

void TMFrame::ChooseQuoteBoardBlock(int blockId) {
  if (blockId < 0 || blockId == quoteBoardBlock || !FindBlockById(blockId)) return;
  quoteBoardBlock = blockId;
  LayoutQuoteBoard(true);
  UpdateRealtimeSubscription(true);
  DrawGrid1->Invalidate();
}

void TMFrame::OpenQuoteBoardCard(int index) {
  const std::vector<STKMS> members = BoardMembers(quoteBoardBlock);
  if (index < 0 || index >= int(members.size())) return;
  VIEW_ATTR_13 attributes{};
  if (!InitViewAttr(trendFirst ? VIEW_TYPE_INTRADAY : VIEW_TYPE_KLINE, &attributes)) return;
  std::vector<STKPTR> items;
  for (const STKMS &m : members) items.push_back(STKPTR(m.market, 0, m.stock));
  attributes.stock = items[size_t(index)];
  attributes.currentBlock = int16_t(quoteBoardBlock);
  const uint32_t list = NewViewStockList(items.data(), uint32_t(items.size()));
  if (list) {
    attributes.SetHandOverPosition(index);
    attributes.SetHandOverList(list);
  }
  // The view that takes the attributes adds its reference to the list.
  SendMessageA(Handle(), WM_MF_EVENT, 0, LPARAM(&attributes));
  if (list) DropUnusedViewStockList(list);
}

void TMFrame::BindQuoteBoard() {
  TFrameChrome &c = *chrome;
  receivers.quoteBoardCell = [this](uint32_t key) { RedrawQuoteBoardStock(key); };
  receivers.quoteBoardRelayout = [this] { LayoutQuoteBoard(true); };
  receivers.quoteBoardRepaint = [this] { DrawGrid1->Invalidate(); };
  const std::pair<const char *, int> columns[] = {{"N110", 1}, {"N111", 2}, {"N112", 3}};
  for (const auto &[name, count] : columns)
    if (TMenuItem *item = c.MenuItem(name)) item->OnClick = [this, n = count](TObject *) { N110Click(n); };
  if (TMenuItem *item = c.MenuItem("Q1")) item->OnClick = [this](TObject *) { Q1Click(!quoteBoard); };
  if (TMenuItem *item = c.MenuItem("N41")) item->OnClick = [this](TObject *) { Q1Click(false); };
  if (TMenuItem *item = c.MenuItem("N34"))
    item->OnClick = [this](TObject *) {
      if (receivers.pickBlock) ChooseQuoteBoardBlock(receivers.pickBlock(4, 4, "选择报价排板块"));
    };
  c.PopupMenu3->OnPopup = [this](TObject *) {
    for (const char *name : {"N110", "N111", "N112"})
      if (TMenuItem *item = chrome->MenuItem(name)) item->Checked = item->Tag == (board.columns == 2 || board.columns == 3 ? board.columns : 1);
  };
  DrawGrid1->PopupMenu = c.PopupMenu3;
  DrawGrid1->OnDblClick = [this](TObject *) {
    OpenQuoteBoardCard(DrawGrid1->Row() * board.columns + DrawGrid1->Col());
  };
  Splitter1->OnMoved = [this](TObject *) {
    LayoutQuoteBoard(false);
    UpdateRealtimeSubscription(true);
    DrawGrid1->Invalidate();
  };
}
