// The page's own reading and writing of page files: the tree and views
// built from a parsed file, the view data stored from the views, the bytes
// of the file and the save commands.
#include <algorithm>
#include <cstring>
#include <string>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "classlib/stdctrls.h"
#include "views/mvmain.h"
#include "views/pagefile.h"
#include "views/pagelist.h"
#include "views/pagemngr.h"
#include "views/viewhost.h"

// ---- The page: reading ----------------------------------------------------------------

bool TMultiViewMain::BuildFromFile(const PageFile &file) {
  struct Builder {
    TMultiViewMain *page;
    const PageFile &file;
    PaneNode *Build(int index, PaneNode *parent) {
      const PageFileNode &src = file.nodes[size_t(index)];
      auto *node = new PaneNode;
      node->parent = parent;
      node->side = src.side;
      node->ratio = src.ratio;
      NodeRect(node);
      if (!src.hasPane) {
        if (src.first >= 0) node->first = Build(src.first, node);
        if (src.second >= 0) node->second = Build(src.second, node);
        return node;
      }
      VIEW_ATTR_13 rec = src.attr;
      auto *data = new MVCDATA_12(src.data);
      const int type = rec.viewType;
      int newsFlag = 1;
      if (TakesHandOverList(type)) {
        std::memset(rec.tabIds, 0, sizeof rec.tabIds);
      } else if (type == VIEW_TYPE_REPORT) {
        data->tabCount = uint32_t(rec.tabCount);
        std::memcpy(data->tabIds, rec.tabIds, sizeof data->tabIds);
      } else if (type == VIEW_TYPE_NEWS) {
        newsFlag = 0;
      }
      if (type == VIEW_TYPE_NONE || !IsKnownViewType(type))
        node->pane = new TMultiViewChild(page, data, nullptr, node);
      else
        node->pane = MakeView(type, page, &rec, data, nullptr, node, newsFlag);
      if (!src.keptTabNames.empty() || !src.keptOverlayTexts.empty())
        page->m_kept[data] = PaneKeptTexts{src.keptTabNames, src.keptOverlayTexts};
      return node;
    }
  };
  Builder builder{this, file};
  m_root.first = builder.Build(0, &m_root);
  return true;
}

bool TMultiViewMain::LoadPage(const char *path) {
  m_pagePath = path ? path : "";
  std::string bytes;
  if (!path || !ReadWholeFile(path, &bytes)) return false;
  PageFile file;
  const PageCheck check = ParsePageFile(bytes, &file);
  if (check != PageCheck::Ok) {
    SetPageFileAside(path, check);
    return false;
  }
  BuildFromFile(file);
  return true;
}

// ---- The page: writing ----------------------------------------------------------------

void TMultiViewMain::StoreViewData(TMultiViewChild *pane) {
  if (!pane || !pane->m_viewData) return;
  pane->StoreViewState();
  MVCDATA_12 *d = pane->m_viewData;
  const VIEW_ATTR_13 &r = pane->m_attr;
  switch (r.viewType) {
    case VIEW_TYPE_INTRADAY:
      d->paneCount = r.windowCount;
      if (TChartViewOps *ops = pane->ChartOps()) ops->StoreChartData(d);
      d->displayFlags = r.displayFlags;
      break;
    case VIEW_TYPE_KLINE: {
      d->currentBlock = r.currentBlock;
      d->windowCount = r.windowCount;
      const uint32_t windows = std::min<uint32_t>(kMaxChartWindows, r.windowCount);
      for (uint32_t i = 0; i < windows; ++i) std::memcpy(d->formulas[i], r.formulas[i], kFormulaNameSize);
      if (TChartViewOps *ops = pane->ChartOps()) ops->StoreChartData(d);
      d->displayFlags = r.displayFlags;
      break;
    }
    case VIEW_TYPE_REPORT:
      d->tabCount = uint32_t(r.tabCount);
      std::memcpy(d->tabIds, r.tabIds, sizeof d->tabIds);
      d->currentBlock = r.currentBlock;
      d->columnCount = r.columnCount;
      std::memcpy(d->columns, r.columns, sizeof d->columns);
      d->scheme12 = r.fixedColumns;
      d->scheme16 = r.sortColumn;
      break;
    default:
      break;
  }
  d->linked = pane->m_linked;
}

void TMultiViewMain::AppendNode(std::string &out, PaneNode *node) {
  const size_t at = out.size();
  AppendPageWord(out, 0);
  AppendPageWord(out, 0);
  AppendPageWord(out, node->pane ? 1 : 0);
  AppendPageWord(out, node->side);
  out.append(reinterpret_cast<const char *>(&node->ratio), 4);
  if (TMultiViewChild *pane = node->pane) {
    StoreViewData(pane);
    const auto kept = m_kept.find(pane->m_viewData);
    const PaneKeptTexts *keptTexts = kept == m_kept.end() ? nullptr : &kept->second;
    // The attribute record with its block names and instrument text.
    VIEW_ATTR_13 rec = pane->m_attr;
    char names[kMaxTabs][16] = {};
    if (rec.viewType == VIEW_TYPE_REPORT) {
      int count = std::clamp(rec.tabCount, 0, kMaxTabs);
      if (keptTexts && !keptTexts->tabNames.empty() && count == 1 && rec.tabIds[0] == 0) count = 0;
      for (int i = 0; i < count; ++i)
        if (const BLOCK *block = FindBlockById(rec.tabIds[i])) std::memcpy(names[i], block->name, 16);
      if (keptTexts)
        for (const std::string &name : keptTexts->tabNames) {
          if (count >= kMaxTabs) break;
          rec.tabIds[count] = 0;
          std::strncpy(names[count++], name.c_str(), 15);
        }
      rec.tabCount = count > 0 ? count : 1;
    }
    if (TakesHandOverList(rec.viewType)) rec.SetHandOverList(0);
    char text[32];
    StockToText(rec.stock, text);
    out.append(reinterpret_cast<const char *>(&rec), sizeof rec);
    out.append(&names[0][0], sizeof names);
    out.append(text, sizeof text);
    // The view data with its overlay texts.
    MVCDATA_12 data = *pane->m_viewData;
    OverlaysToTexts(&data);
    if (keptTexts) {
      int slot = 0;
      while (slot < kMaxOverlays && !IsOverlayEnd(data.overlays[slot])) ++slot;
      for (const std::string &t : keptTexts->overlayTexts) {
        if (slot >= kMaxOverlays) break;
        std::strncpy(data.overlayTexts[slot++], t.c_str(), 31);
      }
    }
    out.append(reinterpret_cast<const char *>(&data), sizeof data);
    return;
  }
  PaneNode *children[2] = {node->first, node->second};
  for (int i = 0; i < 2; ++i) {
    if (!children[i]) continue;
    const size_t childAt = out.size();
    AppendNode(out, children[i]);
    PutPageWord(out, at + size_t(4 * i), uint32_t(childAt - kPageHeaderSize));
  }
}

std::string TMultiViewMain::PageBytes(const char (&name)[64]) {
  std::string out(kPageMagic, 8);
  char cut[kPageNameSize];
  platform::GbkCopyCut(name, kPageNameSize, cut, kPageNameSize);
  out.append(cut, kPageNameSize);
  AppendPageWord(out, kPageHeaderSize);
  if (m_root.first) AppendNode(out, m_root.first);
  PutPageWord(out, 72, uint32_t(out.size() - kPageHeaderSize));
  return out;
}

bool TMultiViewMain::SavePage(int mode) {
  if ((mode == 0 || mode == 2) && !m_pagePath.empty()) {
    if (IsDefaultPagePath(m_pagePath) || IsSystemPagePath(m_pagePath)) return false;
    char name[kPageNameSize] = {};
    std::string old;
    if (ReadWholeFile(m_pagePath.c_str(), &old) && old.size() >= 8 + kPageNameSize)
      std::memcpy(name, old.data() + 8, kPageNameSize);
    const std::string posix = platform::ResolvePath(m_pagePath.c_str());
    return !posix.empty() && platform::WriteFileReplacing(posix, PageBytes(name)) == 0;
  }
  if (mode == 2) return false;

  // Save as: a new user page under a name the user gives.
  char name[kPageNameSize] = {};
  bool named;
  if (AskPageName) {
    named = AskPageName(name);
  } else {
    MainFrameHost()->SetDialogOpen(true);
    TPageMngr dialog(this);
    dialog.XPButton1->Hide();
    dialog.XPButton2->Hide();
    named = dialog.ShowModal() == mrOk;
    std::memcpy(name, dialog.m_entry.name, sizeof name);
    MainFrameHost()->SetDialogOpen(false);
  }
  if (!named) return false;
  platform::GbkCopyCut(name, kPageNameSize, name, kPageNameSize);
  PageTableData &table = PageTable();
  int free = -1;
  char path[kPagePathSize] = {};
  for (int d = 0; d < kMaxPageFiles && free < 0; ++d) {
    const std::string candidate = std::string(UserDataPath) + "kvpage" + std::to_string(d) + ".ppg";
    if (candidate.size() >= sizeof path) break;
    std::memcpy(path, candidate.c_str(), candidate.size() + 1);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) free = d;
  }
  if (table.count >= kMaxPages || free < 0) {
    MessageBoxA(Handle(), "页面文件的数目已经达到上限，无法创建新页面。  ", "提示", MB_TOPMOST | MB_ICONERROR);
    return false;
  }
  CPageData &entry = table.entries[table.count++];
  std::memset(&entry, 0, sizeof entry);
  std::memcpy(entry.name, name, sizeof entry.name);
  std::memcpy(entry.path, path, strnlen(path, sizeof entry.path - 1));
  SavePageIndex();
  WriteLastPage(path);
  m_pagePath = path;
  const bool written = platform::WriteFileReplacing(platform::ResolvePath(path), PageBytes(name)) == 0;
  LoadPageList();
  int mark = -1;
  for (int i = 0; i < table.count; ++i)
    if (platform::EqualNoCase(table.entries[i].path, path)) mark = i + 1;
  MainFrameHost()->BuildPageMenu(mark);
  return written;
}
