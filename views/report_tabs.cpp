// The quote report's tabs of blocks and the sorting of its rows.
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
    SelectShownStock();
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
