#include "views/pagefile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "classlib/listbox.h"
#include "classlib/stdctrls.h"
#include "views/mvmain.h"
#include "views/viewhost.h"

namespace {

constexpr char kMagic13[] = "kvpage13";
constexpr int kMaxTreeDepth = 64;

uint32_t Le32(const std::string &b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void PutLe32(std::string &b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
void AppendLe32(std::string &b, uint32_t v) { b.append(reinterpret_cast<const char *>(&v), 4); }

std::string Lower(std::string s) {
  for (char &c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string FixedText(const char *p, size_t size) { return std::string(p, strnlen(p, size)); }

// The name rule of report tabs: each stored name finds its block again.
void TabsFromNames(VIEW_ATTR_13 &rec, const char *names, int slots, std::vector<std::string> &kept) {
  int count = rec.tabCount;
  if (count < 0) count = 0;
  if (count > slots) count = slots;
  uint16_t ids[kMaxTabs] = {};
  int found = 0;
  for (int i = 0; i < count; ++i) {
    const std::string name = FixedText(names + 16 * i, 16);
    if (BLOCK *block = FindBlockByName(name.c_str()))
      ids[found++] = uint16_t(block->blockId);
    else if (!name.empty())
      kept.push_back(name);
  }
  std::memset(rec.tabIds, 0, sizeof rec.tabIds);
  std::memcpy(rec.tabIds, ids, sizeof ids);
  rec.tabCount = found > 0 ? found : 1;
}

void StockFromFileText(VIEW_ATTR_13 &rec, const char *text) {
  STKPTR stock;
  if (StockFromText(text, 32, &stock)) rec.stock = stock;
}

// Overlay instruments again from their texts; texts from the first one that
// names no instrument on are kept.
void OverlaysFromFileTexts(MVCDATA_12 &data, std::vector<std::string> &kept) {
  char texts[kMaxOverlays][32];
  std::memcpy(texts, data.overlayTexts, sizeof texts);
  OverlaysFromTexts(&data);
  int i = 0;
  while (i < kMaxOverlays && !IsOverlayEnd(data.overlays[i])) ++i;
  for (; i < kMaxOverlays; ++i) {
    const std::string text = FixedText(texts[i], 32);
    if (text.empty()) break;
    kept.push_back(text);
  }
}

struct Parser {
  const std::string &payload;
  int version;
  PageFile *page;
  std::set<uint32_t> visited;

  int Node(uint32_t offset, int depth) {
    if (depth > kMaxTreeDepth) return -1;
    if (uint64_t(offset) + kNodeRecordSize > payload.size()) return -1;
    if (!visited.insert(offset).second) return -1;  // a cycle or a shared record
    const uint32_t firstOffset = Le32(payload, offset);
    const uint32_t secondOffset = Le32(payload, offset + 4);
    PageFileNode node;
    node.hasPane = Le32(payload, offset + 8) == 1;
    node.side = Le32(payload, offset + 12);
    std::memcpy(&node.ratio, payload.data() + offset + 16, 4);
    if (!std::isfinite(node.ratio)) return -1;
    node.ratio = std::clamp(node.ratio, 0.0f, 1.0f);
    if (node.hasPane) {
      const uint64_t attrAt = uint64_t(offset) + kNodeRecordSize;
      const uint64_t dataAt = attrAt + uint64_t(ViewAttrFileSize(version));
      if (dataAt + uint64_t(ViewDataFileSize(version)) > payload.size()) return -1;
      ConvertAttr(payload.data() + attrAt, node);
      ConvertData(payload.data() + dataAt, node);
      page->nodes.push_back(std::move(node));
      return int(page->nodes.size() - 1);
    }
    page->nodes.push_back(std::move(node));
    const int index = int(page->nodes.size() - 1);
    if (firstOffset) {
      const int child = Node(firstOffset, depth + 1);
      if (child < 0) return -1;
      page->nodes[size_t(index)].first = child;
    }
    if (secondOffset) {
      const int child = Node(secondOffset, depth + 1);
      if (child < 0) return -1;
      page->nodes[size_t(index)].second = child;
    }
    return index;
  }

  void ConvertAttr(const char *p, PageFileNode &node) {
    VIEW_ATTR_13 &rec = node.attr;
    VIEW_ATTR_5 v5;
    VIEW_ATTR_10 v10;
    VIEW_ATTR_11 v11;
    VIEW_ATTR_12 v12;
    const char *names = nullptr;
    int slots = 0;
    const char *text = nullptr;
    switch (version) {
      case 5:
      case 7:
        std::memcpy(static_cast<void *>(&v5), p, sizeof v5);
        ConvertViewAttr5To10(v5, v10);
        if (version == 7) {
          names = p + 268;
          slots = 16;
        }
        break;
      case 8:
      case 9:
      case 10:
        std::memcpy(static_cast<void *>(&v10), p, sizeof v10);
        v10.v5.head.stock = STKPTR(v10.v5.head.stock.market, 0, v10.v5.head.stock.stock);
        if (version == 8 && v10.v5.head.viewType == VIEW_TYPE_REPORT) v10.keptTopRow = -1;
        names = p + 276;
        slots = 16;
        if (version == 10) text = p + 532;
        break;
      case 11:
        std::memcpy(v11.bytes, p, sizeof v11.bytes);
        names = p + 340;
        slots = 64;
        text = p + 1364;
        break;
      case 12:
        std::memcpy(v12.bytes, p, sizeof v12.bytes);
        names = p + 376;
        slots = 64;
        text = p + 1400;
        break;
      default:
        std::memcpy(static_cast<void *>(&rec), p, sizeof rec);
        rec.stock = STKPTR(rec.stock.market, 0, rec.stock.stock);
        names = p + 504;
        slots = 64;
        text = p + 1528;
        break;
    }
    if (version <= 10) ConvertViewAttr10To11(v10, v11);
    if (version <= 11) ConvertViewAttr11To12(v11, v12);
    if (version <= 12) ConvertViewAttr12To13(v12, rec);
    if (names && rec.viewType == VIEW_TYPE_REPORT) TabsFromNames(rec, names, slots, node.keptTabNames);
    if (text) StockFromFileText(rec, text);
    if (!GetStockInfo(rec.stock)) {
      rec.stock.market = 0;
      rec.stock.kind = 0;
      rec.stock.stock = 0;
    }
  }

  void ConvertData(const char *p, PageFileNode &node) {
    MVCDATA_12 &data = node.data;
    ClearViewData(&data);
    if (version >= 12) {
      std::memcpy(static_cast<void *>(&data), p, sizeof data);
      OverlaysFromFileTexts(data, node.keptOverlayTexts);
      return;
    }
    if (version == 11) {
      std::memcpy(static_cast<void *>(&data), p, kMvcData11Size);
      OverlaysFromFileTexts(data, node.keptOverlayTexts);
      return;
    }
    MVCDATA_10 old;
    std::memset(static_cast<void *>(&old), 0, sizeof old);
    std::memcpy(static_cast<void *>(&old), p, size_t(ViewDataFileSize(version)));
    ConvertMvcData10To12(old, data);
    if (version == 10)
      OverlaysFromFileTexts(data, node.keptOverlayTexts);
    else
      OverlaysToTexts(&data);
  }
};

std::string PageIndexPath() { return std::string(UserDataPath) + "kvpage.idx"; }

}  // namespace

int PageFileVersion(const char *magic) {
  static const char *const kMagics[] = {"kvpage05", "kvpage07", "kvpage08", "kvpage09",
                                        "kvpage10", "kvpage11", "kvpage12", "kvpage13"};
  static const int kVersions[] = {5, 7, 8, 9, 10, 11, 12, 13};
  for (int i = 0; i < 8; ++i)
    if (std::memcmp(magic, kMagics[i], 8) == 0) return kVersions[i];
  return 0;
}

int ViewAttrFileSize(int version) {
  switch (version) {
    case 5: return 268;
    case 7: return 524;
    case 8:
    case 9: return 532;
    case 10: return 564;
    case 11: return 1396;
    case 12: return 1432;
    case 13: return 1560;
    default: return 0;
  }
}

int ViewDataFileSize(int version) {
  switch (version) {
    case 5: return 3752;
    case 7: return 3776;
    case 8:
    case 9: return 3784;
    case 10: return 4040;
    case 11: return 4088;
    case 12:
    case 13: return 4128;
    default: return 0;
  }
}

PageCheck CheckPageHeader(const std::string &bytes, int *version) {
  if (bytes.size() < 8) return PageCheck::TooShort;
  const int v = PageFileVersion(bytes.data());
  if (!v) return PageCheck::UnknownMagic;
  // The header and at least one node record.
  if (bytes.size() < size_t(kPageHeaderSize + kNodeRecordSize)) return PageCheck::TooShort;
  if (uint64_t(Le32(bytes, 72)) + kPageHeaderSize != bytes.size()) return PageCheck::BadLength;
  if (version) *version = v;
  return PageCheck::Ok;
}

PageCheck ParsePageFile(const std::string &bytes, PageFile *page) {
  int version = 0;
  const PageCheck check = CheckPageHeader(bytes, &version);
  if (check != PageCheck::Ok) return check;
  page->version = version;
  page->nodes.clear();
  std::memcpy(page->name, bytes.data() + 8, kPageNameSize);
  page->name[kPageNameSize - 1] = 0;
  const std::string payload = bytes.substr(kPageHeaderSize);
  Parser parser{payload, version, page, {}};
  if (parser.Node(0, 0) != 0) {
    page->nodes.clear();
    return PageCheck::BadTree;
  }
  return PageCheck::Ok;
}

bool ReadWholeFile(const char *path, std::string *bytes) {
  FILE *f = std::fopen(platform::ResolvePath(path).c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  std::fclose(f);
  return true;
}

bool IsSystemPagePath(const std::string &path) { return Lower(path).find("..\\cfg\\kvpage") != std::string::npos; }
bool IsDefaultPagePath(const std::string &path) {
  return path == "Default" || platform::EqualNoCase(path, "..\\CFG\\Default.ppg");
}

void SetPageFileAside(const char *path, PageCheck check) {
  if (check == PageCheck::Ok || check == PageCheck::Missing || check == PageCheck::UnknownMagic) return;
  const std::string p = path;
  if (IsSystemPagePath(p) || IsDefaultPagePath(p)) return;
  const std::string aside = p + ".bad";
  MoveFileExA(p.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
}

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
  AppendLe32(out, 0);
  AppendLe32(out, 0);
  AppendLe32(out, node->pane ? 1 : 0);
  AppendLe32(out, node->side);
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
    PutLe32(out, at + size_t(4 * i), uint32_t(childAt - kPageHeaderSize));
  }
}

std::string TMultiViewMain::PageBytes(const char (&name)[64]) {
  std::string out(kMagic13, 8);
  out.append(name, kPageNameSize);
  out[8 + kPageNameSize - 1] = 0;
  AppendLe32(out, kPageHeaderSize);
  if (m_root.first) AppendNode(out, m_root.first);
  PutLe32(out, 72, uint32_t(out.size() - kPageHeaderSize));
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
  name[kPageNameSize - 1] = 0;
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

// ---- The page table ------------------------------------------------------------------------

PageTableData &PageTable() {
  static PageTableData table;
  return table;
}

void WriteLastPage(const char *path) {
  std::string record(kPagePathSize, '\0');
  std::memcpy(&record[0], path, strnlen(path, kPagePathSize - 1));
  const std::string file = std::string(UserDataPath) + "LP3.DAT";
  platform::WriteFileReplacing(platform::ResolvePath(file.c_str()), record);
}

bool SavePageIndex() {
  const PageTableData &table = PageTable();
  std::string out;
  AppendLe32(out, 1);
  for (int i = 0; i < table.count; ++i) {
    std::string record(kPagePathSize, '\0');
    std::memcpy(&record[0], table.entries[i].path, strnlen(table.entries[i].path, kPagePathSize - 1));
    out += record;
  }
  const std::string posix = platform::ResolvePath(PageIndexPath().c_str());
  return !posix.empty() && platform::WriteFileReplacing(posix, out) == 0;
}

namespace {

// Reads a page file's header; Ok with its name when the file can be listed.
PageCheck CheckListedFile(const char *path, char (&name)[kPageNameSize]) {
  FILE *f = std::fopen(platform::ResolvePath(path).c_str(), "rb");
  if (!f) return PageCheck::Missing;
  std::string head(kPageHeaderSize + kNodeRecordSize, '\0');
  const size_t got = std::fread(&head[0], 1, head.size(), f);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  head.resize(got);
  if (size < 0) return PageCheck::TooShort;
  if (got < 8) return PageCheck::TooShort;
  if (!PageFileVersion(head.data())) return PageCheck::UnknownMagic;
  if (size_t(size) < size_t(kPageHeaderSize + kNodeRecordSize)) return PageCheck::TooShort;
  if (uint64_t(Le32(head, 72)) + kPageHeaderSize != uint64_t(size)) return PageCheck::BadLength;
  std::memcpy(name, head.data() + 8, kPageNameSize);
  name[kPageNameSize - 1] = 0;
  return PageCheck::Ok;
}

bool Listed(const PageTableData &table, const char *path) {
  for (int i = 0; i < table.count; ++i)
    if (platform::EqualNoCase(table.entries[i].path, path)) return true;
  return false;
}

// Appends the file when it can be listed; sets a damaged one aside.
bool TryList(PageTableData &table, const char *path) {
  char name[kPageNameSize];
  const PageCheck check = CheckListedFile(path, name);
  if (check != PageCheck::Ok) {
    SetPageFileAside(path, check);
    return false;
  }
  CPageData &entry = table.entries[table.count++];
  std::memset(&entry, 0, sizeof entry);
  std::memcpy(entry.name, name, sizeof entry.name);
  std::memcpy(entry.path, path, strnlen(path, sizeof entry.path - 1));
  return true;
}

}  // namespace

void LoadPageList() {
  PageTableData &table = PageTable();
  table.count = 0;
  std::string index;
  if (ReadWholeFile(PageIndexPath().c_str(), &index) && index.size() >= 4 && Le32(index, 0) == 1) {
    for (size_t at = 4; at + kPagePathSize <= index.size() && table.count < kMaxPages; at += kPagePathSize) {
      char path[kPagePathSize];
      std::memcpy(path, index.data() + at, kPagePathSize);
      path[kPagePathSize - 1] = 0;
      if (!path[0] || Listed(table, path)) continue;
      TryList(table, path);
    }
  }
  bool appended = false;
  char path[kPagePathSize];
  for (int pass = 0; pass < 2; ++pass)
    for (int d = 0; d < kMaxPageFiles && table.count < kMaxPages; ++d) {
      const std::string candidate =
          std::string(pass == 0 ? "..\\cfg\\" : UserDataPath) + "kvpage" + std::to_string(d) + ".ppg";
      if (candidate.size() >= sizeof path) continue;
      std::memcpy(path, candidate.c_str(), candidate.size() + 1);
      if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES || Listed(table, path)) continue;
      appended |= TryList(table, path);
    }
  if (appended) SavePageIndex();
}

// ---- Page manager ------------------------------------------------------------------------

TPageMngr::TPageMngr(TComponent *owner) : TForm(owner) {
  SetCaption("页面管理");
  SetBorderStyle(bsDialog);
  SetClientSize(300, 260);
  Position = poScreenCenter;
  auto *label1 = new TLabel(this);
  label1->SetParent(this);
  label1->SetCaption("页面名称:");
  label1->SetBounds(10, 10, 80, 16);
  Edit1 = new TEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(90, 8, 120, 22);
  Edit1->SetMaxLength(10);
  auto *label2 = new TLabel(this);
  label2->SetParent(this);
  label2->SetCaption("已保存的页面:");
  label2->SetBounds(10, 40, 100, 16);
  ListBox1 = new TListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetBounds(10, 60, 200, 190);
  ListBox1->OnClick = [this](TObject *s) { ListBox1Click(s); };
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("确定");
  Button1->SetBounds(220, 8, 70, 25);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = new TButton(this);
  Button2->SetParent(this);
  Button2->SetCaption("取消");
  Button2->SetBounds(220, 40, 70, 25);
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;
  XPButton1 = new TButton(this);
  XPButton1->SetParent(this);
  XPButton1->SetCaption("上移");
  XPButton1->SetBounds(220, 150, 70, 25);
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2 = new TButton(this);
  XPButton2->SetParent(this);
  XPButton2->SetCaption("下移");
  XPButton2->SetBounds(220, 180, 70, 25);
  XPButton2->OnClick = [this](TObject *s) { XPButton2Click(s); };
  const PageTableData &table = PageTable();
  for (int i = 0; i < table.count; ++i) ListBox1->Items()->Add(table.entries[i].name);
  DoCreate();
}

void TPageMngr::SetManageMode(const char *pageInUse) {
  m_manageMode = true;
  Button1->SetLeft(144);
  Button1->SetCaption("删除");
  Button1->SetDefault(false);
  Button2->SetCaption("关闭");
  Button2->SetDefault(true);
  Edit1->SetEnabled(false);
  std::strncpy(m_pageInUse, pageInUse ? pageInUse : "", sizeof m_pageInUse - 1);
}

void TPageMngr::ListBox1Click(TObject *) {
  const int i = ListBox1->ItemIndex();
  if (i < 0) return;
  Edit1->SetText(ListBox1->Items()->Get(i));
  if (Edit1->CanFocus()) Edit1->SetFocus();
}

void TPageMngr::Button1Click(TObject *) {
  PageTableData &table = PageTable();
  if (!m_manageMode) {
    const std::string name = Edit1->Text();
    if (name.empty()) {
      MessageBoxA(Handle(), "请指定页面文件的名称。  ", "未命名", MB_TOPMOST | MB_ICONEXCLAMATION);
      return;
    }
    for (int i = 0; i < ListBox1->Count(); ++i)
      if (ListBox1->Items()->Get(i) == name) {
        MessageBoxA(Handle(), "同名页面已存在，请使用其它名称。  ", "提示", MB_TOPMOST | MB_ICONINFORMATION);
        return;
      }
    std::memset(m_entry.name, 0, sizeof m_entry.name);
    std::strncpy(m_entry.name, name.c_str(), 63);
    SetModalResult(mrOk);
    return;
  }
  const int i = ListBox1->ItemIndex();
  if (i < 0 || i >= table.count) return;
  const char *path = table.entries[i].path;
  if (IsSystemPagePath(path)) {
    MessageBoxA(Handle(), "不允许删除系统页面。  ", "提示", MB_TOPMOST | MB_ICONINFORMATION);
    return;
  }
  if (platform::EqualNoCase(path, m_pageInUse)) {
    MessageBoxA(Handle(), "您不能删除当前正在使用的页面。  ", "提示", MB_TOPMOST | MB_ICONINFORMATION);
    return;
  }
  char question[160];
  std::snprintf(question, sizeof question, "确定删除页面 %s 吗？  ", table.entries[i].name);
  if (MessageBoxA(Handle(), question, "确认", MB_TOPMOST | MB_ICONQUESTION | MB_YESNO) != IDYES) return;
  DeleteFileA(path);
  for (int k = i; k + 1 < table.count; ++k) table.entries[k] = table.entries[k + 1];
  --table.count;
  ListBox1->Items()->Delete(i);
  m_modified = 1;
}

void TPageMngr::Swap(int a, int b) {
  PageTableData &table = PageTable();
  if (a < 0 || b < 0 || a >= table.count || b >= table.count) return;
  std::swap(table.entries[a], table.entries[b]);
  ListBox1->Items()->Exchange(a, b);
  ListBox1->SetItemIndex(b);
  m_modified = 1;
}

void TPageMngr::XPButton1Click(TObject *) {
  const int i = ListBox1->ItemIndex();
  if (i > 0) Swap(i, i - 1);
}

void TPageMngr::XPButton2Click(TObject *) {
  const int i = ListBox1->ItemIndex();
  if (i >= 0 && i + 1 < ListBox1->Count()) Swap(i, i + 1);
}
