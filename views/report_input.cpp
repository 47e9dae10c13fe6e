// The quote report's keys, mouse, popup commands, drops and printing.
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

// ---- Keys ---------------------------------------------------------------------------------

void TReport::OpenSelected() {
  const int row = DrawGrid1->Row() - 1;
  if (row < 0 || row >= core_.rowCount) return;
  m_attr.stock = core_.RowStock(row);
  VIEW_ATTR_13 open;
  std::memset(static_cast<void *>(&open), 0, sizeof open);
  InitViewAttr(ViewDisplay().trendFirst ? VIEW_TYPE_INTRADAY : VIEW_TYPE_KLINE, &open);
  open.stock = m_attr.stock;
  open.currentBlock = m_attr.currentBlock;
  int32_t position = 0;
  const uint32_t list = MakeHandOverList(&position);
  if (!list) return;
  open.SetHandOverList(list);
  open.SetHandOverPosition(position);
  PostOpenRecord(open);
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
