// The quote board of the main window: its layout, the card a pushed quote
// repaints, its menu's column choices, showing and closing it, and the
// chart a double click opens with the whole block to page through.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "market/blocks.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "shell/mframe.h"
#include "shell/settings_store.h"
#include "charts/linetool.h"
#include "core/emenubar.h"
#include "views/mvchild.h"
#include "views/reportcolumns.h"
#include "views/viewattr.h"

namespace {

std::vector<STKMS> BoardMembers(int blockId) {
  std::vector<STKMS> out;
  const BLOCK *block = blockId >= 0 ? FindBlockById(blockId) : nullptr;
  for (int i = 0; block && block->members && i < block->memberCount; ++i)
    out.push_back(STKMS{block->members[i].market, block->members[i].stock});
  return out;
}

COLORREF BoardColor(int number) { return ThemeColors[number - 1]; }

SIZE BoardExtent(HDC dc, HFONT font, const char *text) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
  SelectObject(dc, old);
  return size;
}

int BoardBand(int height) { return int(height * 1.4 + 0.5); }

void BoardFill(HDC dc, const RECT &r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void BoardText(HDC dc, HFONT font, COLORREF colour, const char *text, RECT r, UINT format) {
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, colour);
  DrawTextA(dc, text, int(std::strlen(text)), &r, format | DT_NOPREFIX);
  SelectObject(dc, old);
}

// One card: name, quote time, last price (head and enlarged tail), low and
// high, framed so that neighbours share their lines.
void PaintBoardCard(HDC dc, TBoardFonts &fonts, const RECT &cell, int column, int row, const STKINFO &info,
                    const REALQUOTE &quote) {
  HFONT f1 = fonts.Theme(1), f8 = fonts.Theme(8), f9 = fonts.Theme(9), f11 = fonts.Theme(11), f15 = fonts.Theme(15);
  const int decimals = info.decimals;
  const double divisor = info.PriceDivisor();
  RECT band = cell;
  char name[sizeof info.name + 1] = {};
  std::memcpy(name, info.name, sizeof info.name);
  band.bottom = band.top + BoardBand(BoardExtent(dc, f1, name[0] ? name : "欧元美元").cy);
  BoardFill(dc, band, BoardColor(56));
  BoardText(dc, f1, BoardColor(24), name, band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  int hour = int((quote.time >> 12) & 0x1F);
  const int minute = int((quote.time >> 6) & 0x3F), second = int(quote.time & 0x3F);
  ShiftHourByZone(&TimeZoneTable, info.market, info.kind, &hour);
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", hour, minute, second);
  band.top = band.bottom;
  band.bottom = band.top + BoardBand(BoardExtent(dc, f8, time).cy);
  BoardFill(dc, band, BoardColor(62));
  BoardText(dc, f8, BoardColor(18), time, band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  const TBoardPrice price = SplitBoardPrice(quote.last, info.PriceDivisor(), decimals);
  const SIZE head = BoardExtent(dc, f9, price.head.c_str()), tail = BoardExtent(dc, f11, price.tail.c_str());
  const int bandHeight = BoardBand(std::max(head.cy, tail.cy));
  band.top = band.bottom;
  band.bottom = band.top + bandHeight;
  BoardFill(dc, band, BoardColor(56));
  const int split = band.left + (band.right - band.left - tail.cx - head.cx) / 2 + head.cx;
  const int bottom = band.bottom - (bandHeight - tail.cy) / 2;
  BoardText(dc, f9, BoardColor(48), price.head.c_str(), RECT{band.left, band.top, split, bottom},
            DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
  const int colour = PriceColorIndex(int32_t(quote.last), int32_t(quote.refPrice)) + 1;
  BoardText(dc, f11, BoardColor(colour), price.tail.c_str(), RECT{split, band.top, band.right, bottom},
            DT_LEFT | DT_BOTTOM | DT_SINGLELINE);

  char low[48], high[48];
  std::snprintf(low, sizeof low, "L:%.*f", decimals, quote.low / divisor);
  std::snprintf(high, sizeof high, "H:%.*f", decimals, quote.high / divisor);
  band.top = band.bottom;
  band.bottom = band.top + BoardBand(BoardExtent(dc, f15, low).cy);
  BoardFill(dc, band, BoardColor(62));
  const int middle = (band.left + band.right) / 2;
  BoardText(dc, f15, BoardColor(18), low, RECT{band.left, band.top, middle, band.bottom},
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  BoardText(dc, f15, BoardColor(18), high, RECT{middle, band.top, band.right, band.bottom},
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  RECT frame = cell;
  if (column > 0) --frame.left;
  if (row > 0) --frame.top;
  HBRUSH border = CreateSolidBrush(BoardColor(32));
  FrameRect(dc, &frame, border);
  DeleteObject(border);
}

}  // namespace

void TMFrame::MeasureQuoteBoardCell() {
  HDC dc = GetDC(nullptr);
  HFONT f1 = boardFonts_.Theme(1), f8 = boardFonts_.Theme(8), f9 = boardFonts_.Theme(9), f11 = boardFonts_.Theme(11),
        f15 = boardFonts_.Theme(15);
  const SIZE s1 = BoardExtent(dc, f1, "欧元美元"), s8 = BoardExtent(dc, f8, "00:00:00"), s9 = BoardExtent(dc, f9, "0000"),
             s11 = BoardExtent(dc, f11, "0.0"), s15 = BoardExtent(dc, f15, "L:00.0000 ");
  ReleaseDC(nullptr, dc);
  MeasureBoardCell(s1.cx, s1.cy, s8.cx, s8.cy, s9.cx, s9.cy, s11.cx, s11.cy, s15.cx, s15.cy, &board);
}

void TMFrame::DrawGrid1DrawCell(int column, int row, const TRect &rect) {
  HDC dc = DrawGrid1->Canvas()->Handle();
  const RECT cell{rect.Left, rect.Top, rect.Right, rect.Bottom};
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const std::vector<STKMS> members = BoardMembers(quoteBoardBlock);
  if (members.empty()) {
    if (column == 0 && row == 0) {
      RECT inner{cell.left + 4, cell.top + 4, cell.right - 4, cell.bottom - 4};
      const char *help = quoteBoardBlock >= 0 && FindBlockById(quoteBoardBlock) ? "请向报价排板块中添加品种。"
                                                                                  : "点击鼠标右键，在弹出的菜单中指定窗口内容。";
      BoardText(dc, boardFonts_.Help(), BoardColor(24), help, inner, DT_WORDBREAK);
    }
    SetBkMode(dc, oldMode);
    return;
  }
  const int i = row * board.columns + column;
  if (i < int(members.size())) {
    const STKMS &m = members[size_t(i)];
    TMarketData *md = MarketAt(m.market);
    if (md && md->m_stocks && md->m_quotes && m.stock < md->m_stockCount && m.stock < md->m_loadedCount)
      PaintBoardCard(dc, boardFonts_, cell, column, row, md->m_stocks[m.stock], md->m_quotes[m.stock]);
  }
  SetBkMode(dc, oldMode);
}

void TMFrame::SetupQuoteBoard() {
  char name[65] = {};
  GetPrivateProfileStringA("Parameter", "QuoteBlock", "", name, sizeof name,
                           (std::string(UserDataPath) + "SETTING.INI").c_str());
  const BLOCK *block = name[0] ? FindBlockByName(name) : nullptr;
  quoteBoardBlock = block ? block->blockId : -1;
  DrawGrid1->SetColor(BoardColor(17));
  MeasureQuoteBoardCell();
  LayoutQuoteBoard(true);
  DrawGrid1->SetVisible(quoteBoard);
  Splitter1->SetVisible(quoteBoard);
  if (TMenuItem *item = chrome->MenuItem("Q1")) item->Checked = quoteBoard;
}

void TFrameParts::SetupQuoteBoard(TMFrame &frame) { frame.SetupQuoteBoard(); }

void TMFrame::FormResize() {
  if (linePalette) linePalette->SetBounds(Width() - 204, 52, 83, linePalette->Height());
  if (DrawGrid1->Visible()) {
    board.FitFrame(Width());
    quoteBoardColumns = board.columns;
    LayoutQuoteBoard(true);
    UpdateRealtimeSubscription(true);
    DrawGrid1->Invalidate();
  }
  for (TControl *control : std::initializer_list<TControl *>{ToolBar1, chrome->PageLeftPanel, chrome->PageBar, Panel1,
                                                               Panel2, Panel3, Panel5, Panel6})
    if (auto *window = dynamic_cast<TWinControl *>(control); window && window->HandleAllocated())
      InvalidateRect(window->Handle(), nullptr, FALSE);
  if (menuBar && menuBar->m_hWnd) InvalidateRect(menuBar->m_hWnd, nullptr, FALSE);
}

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
  // The search walks the block itself: a push costs no copy of its members.
  const BLOCK *block = FindBlockById(quoteBoardBlock);
  if (!block || !block->members) return;
  const int market = int(key & 0xFF), stock = int(key >> 16);
  const int visible = std::min(board.columns * board.rows, int(block->memberCount));
  int i = -1;
  for (int k = 0; k < visible && i < 0; ++k)
    if (block->members[k].market == market && block->members[k].stock == stock) i = k;
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
  DrawGrid1->OnDrawCell = [this](TObject *, int column, int row, TRect rect, TGridDrawState) {
    DrawGrid1DrawCell(column, row, rect);
  };
  DrawGrid1->OnClick = [this](TObject *) {
    const std::vector<STKMS> members = BoardMembers(quoteBoardBlock);
    const int i = DrawGrid1->Row() * board.columns + DrawGrid1->Col();
    if (i >= 0 && i < int(members.size()))
      SetOrderContract(STKPTR(members[size_t(i)].market, 0, members[size_t(i)].stock).Word(), 1);
    if (TMultiViewChild *view = Core().ActiveView(); view && view->HandleAllocated()) ::SetFocus(view->Handle());
  };
  DrawGrid1->OnDblClick = [this](TObject *) {
    OpenQuoteBoardCard(DrawGrid1->Row() * board.columns + DrawGrid1->Col());
  };
  OnResize = [this](TObject *) { FormResize(); };
  Splitter1->OnMoved = [this](TObject *) {
    LayoutQuoteBoard(false);
    UpdateRealtimeSubscription(true);
    DrawGrid1->Invalidate();
  };
}
