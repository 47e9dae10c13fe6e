#include "views/viewattr.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "core/emem.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "views/viewhost.h"

namespace {

std::string UserFile(const char *name) { return std::string(UserDataPath) + name; }

// Reads a setting, cut to at most size - 1 bytes.
std::string ReadSetting(const char *section, const char *key, const char *fallback, const std::string &file,
                        int size = 512) {
  std::vector<char> buffer(size_t(size), '\0');
  GetPrivateProfileStringA(section, key, fallback, buffer.data(), DWORD(size), file.c_str());
  return std::string(buffer.data());
}

// A formula name item: cut to 15 bytes, then trimmed.
std::string FormulaItem(const std::string &text) {
  char item[kFormulaNameSize] = {};
  AnsiToBuf(text, item, sizeof item);
  Trim(item);
  return item;
}

std::vector<std::string> SplitCommas(const std::string &text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

void SetName(char (&field)[kFormulaNameSize], const std::string &name) { AnsiToBuf(name, field, sizeof field); }

STKPTR RebuiltStock(STKPTR stock) { return STKPTR(stock.market, 0, stock.stock); }

}  // namespace

bool IsKnownViewType(int type) {
  switch (type) {
    case VIEW_TYPE_NONE:
    case VIEW_TYPE_INTRADAY:
    case VIEW_TYPE_KLINE:
    case VIEW_TYPE_RANKING:
    case VIEW_TYPE_REPORT:
    case VIEW_TYPE_NEWS:
    case VIEW_TYPE_TEXT:
    case VIEW_TYPE_NOTES:
      return true;
    default:
      return false;
  }
}

const char *ViewTypeName(int type) {
  switch (type) {
    case VIEW_TYPE_NONE: return "空白窗口";
    case VIEW_TYPE_INTRADAY: return "分时图";
    case VIEW_TYPE_KLINE: return "K线图";
    case VIEW_TYPE_RANKING: return "综合排名";
    case VIEW_TYPE_REPORT: return "报价画面";
    case VIEW_TYPE_NEWS: return "新闻画面";
    case VIEW_TYPE_TEXT: return "背景资料";
    case VIEW_TYPE_NOTES: return "笔记";
    default: return "未知画面";
  }
}

int32_t VIEW_ATTR_13::HandOverPosition() const {
  int32_t v;
  std::memcpy(&v, reinterpret_cast<const uint8_t *>(this) + 212, 4);
  return v;
}
void VIEW_ATTR_13::SetHandOverPosition(int32_t position) {
  std::memcpy(reinterpret_cast<uint8_t *>(this) + 212, &position, 4);
}
uint32_t VIEW_ATTR_13::HandOverList() const {
  uint32_t v;
  std::memcpy(&v, reinterpret_cast<const uint8_t *>(this) + 216, 4);
  return v;
}
void VIEW_ATTR_13::SetHandOverList(uint32_t handle) { std::memcpy(reinterpret_cast<uint8_t *>(this) + 216, &handle, 4); }

// ---- Settings ----------------------------------------------------------------

uint32_t DefaultDisplayFlags() { return GetPrivateProfileIntA("UI", "Property", 0, UserFile("defui.ini").c_str()); }

void DefaultWebAddress(char (&address)[kWebAddressSize]) {
  std::memset(address, 0, sizeof address);
  GetPrivateProfileStringA("News", "WebURL1", "", address, sizeof address, "..\\CFG\\defui.ini");
}

void WalkSysBlocks(bool (*visit)(BLOCK *block, void *context), void *context) {
  const std::string text =
      ReadSetting("PARAMETER", "SysBlocks", "上海期货 大连商品 郑州商品 美汇 上海黄金 LME", "..\\CFG\\SETTING.INI");
  const size_t length = text.size();
  size_t pos = 0;
  while (pos < length) {
    if (text[pos] == ' ') {
      ++pos;
      continue;
    }
    const size_t start = pos;
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = length;
    pos = end;
    if (end - start < 3 || end - start > 15) continue;
    // A token that names no block may be the first word of a longer name:
    // join the next word while the name stays within 15 bytes.
    size_t candidate = end;
    BLOCK *block = nullptr;
    for (;;) {
      block = FindBlockByName(text.substr(start, candidate - start).c_str());
      if (block || candidate >= length) break;
      size_t next = text.find(' ', candidate + 1);
      if (next == std::string::npos) next = length;
      if (next - start > 15) break;
      candidate = next;
    }
    if (!block) continue;
    pos = candidate;
    if (!visit(block, context)) return;
  }
}

// ---- Defaults ----------------------------------------------------------------

void PrepareEmptyRecord(VIEW_ATTR_13 *record) {
  std::memset(static_cast<void *>(record), 0, kViewAttr11Size);
  record->displayFlags = DefaultDisplayFlags();
  DefaultWebAddress(record->webAddress);
}

int InitViewAttr(int viewType, VIEW_ATTR_13 *record) {
  if (!record) return 0;
  char web[kWebAddressSize];
  std::memcpy(web, record->webAddress, sizeof web);
  std::memset(static_cast<void *>(record), 0, sizeof *record);
  record->viewType = int16_t(viewType);

  ForEachSysBlock([record](BLOCK *block) {
    if (block->memberCount == 0) return true;
    record->stock = STKPTR(block->members[0].market, 0, block->members[0].stock);
    record->currentBlock = uint32_t(int32_t(block->blockId));
    return false;
  });
  record->displayFlags = DefaultDisplayFlags();
  const std::string defui = UserFile("defui.ini");

  switch (viewType) {
    case VIEW_TYPE_KLINE: {
      std::string main = ReadSetting("UI", "MainGraph", "K", defui);
      main = FormulaItem(main.substr(0, main.find(',')));
      if (main.empty() || FormulaKind(main.c_str()) != 2) main = "K";
      SetName(record->formulas[0], main);
      int taken = 0;
      for (const std::string &raw : SplitCommas(ReadSetting("UI", "SubGraph", "VOL,MACD", defui))) {
        const std::string item = FormulaItem(raw);
        if (item.empty() || FormulaKind(item.c_str()) != 0 || taken + 1 >= kMaxChartWindows) continue;
        SetName(record->formulas[++taken], item);
      }
      record->windowCount = uint32_t(1 + taken);
      record->period = uint8_t(GetPrivateProfileIntA("UI", "DefCycle", 8, defui.c_str()));
      record->keptTopRow = 1;
      return 1;
    }
    case VIEW_TYPE_INTRADAY:
    case VIEW_TYPE_TEXT:
      return 1;
    case VIEW_TYPE_RANKING:
      record->tabCount = 1;
      record->tabIds[0] = 11;
      return 1;
    case VIEW_TYPE_REPORT: {
      static const uint8_t kColumns[] = {0, 1, 6, 24, 25, 26, 28, 29, 7, 10, 8, 30, 3, 4, 5, 11};
      record->zoomStep = 1;
      record->keptTopRow = -1;
      int tabs = 0;
      ForEachSysBlock([record, &tabs](BLOCK *block) {
        record->tabIds[tabs++] = uint16_t(block->blockId);
        return tabs < kMaxTabs;
      });
      record->tabCount = tabs > 0 ? tabs : 1;
      record->columnCount = sizeof kColumns;
      std::memcpy(record->columns, kColumns, sizeof kColumns);
      return 1;
    }
    case VIEW_TYPE_NEWS:
    case VIEW_TYPE_NOTES:
      std::memcpy(record->webAddress, web, sizeof web);
      return 1;
    default:
      return 0;
  }
}

// ---- Conversions ---------------------------------------------------------------

void ConvertViewAttr5To10(const VIEW_ATTR_5 &from, VIEW_ATTR_10 &to) {
  std::memset(static_cast<void *>(&to), 0, sizeof to);
  std::memcpy(static_cast<void *>(&to.v5), &from, sizeof from);
  to.v5.head.stock = RebuiltStock(from.head.stock);
  to.zoomStep = 1;
  to.keptTopRow = from.head.viewType == VIEW_TYPE_REPORT ? -1 : 1;
}

void ConvertViewAttr10To11(const VIEW_ATTR_10 &from, VIEW_ATTR_11 &to) {
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  const VIEW_ATTR_5 &v5 = from.v5;
  r.viewType = v5.head.viewType;
  r.stock = RebuiltStock(v5.head.stock);
  r.columnCount = v5.head.columnCount;
  r.fixedColumns = v5.head.fixedColumns;
  r.sortColumn = v5.head.sortColumn;
  std::memcpy(r.columns, v5.head.columns, sizeof r.columns);
  r.tabCount = v5.head.tabCount;
  r.currentBlock = v5.head.currentBlock;
  for (int k = 0; k < 16; ++k) r.tabIds[k] = uint16_t(uint32_t(v5.tabIds[k]) & 0xFFFF);
  r.windowCount = v5.windowCount;
  std::memcpy(r.formulas, v5.formulas, sizeof r.formulas);
  r.period = v5.period;
  r.flags = v5.flags;
  r.zoomStep = from.zoomStep;
  r.keptTopRow = from.keptTopRow;
  std::memcpy(to.bytes, &r, sizeof to.bytes);
}

void ConvertViewAttr11To12(const VIEW_ATTR_11 &from, VIEW_ATTR_12 &to) {
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  std::memcpy(static_cast<void *>(&r), from.bytes, sizeof from.bytes);
  r.stock = RebuiltStock(r.stock);
  r.displayFlags = DefaultDisplayFlags();
  std::memcpy(to.bytes, &r, sizeof to.bytes);
}

void ConvertViewAttr12To13(const VIEW_ATTR_12 &from, VIEW_ATTR_13 &to) {
  std::memset(static_cast<void *>(&to), 0, sizeof to);
  std::memcpy(static_cast<void *>(&to), from.bytes, sizeof from.bytes);
  to.stock = RebuiltStock(to.stock);
  DefaultWebAddress(to.webAddress);
}

// ---- View data -------------------------------------------------------------------

bool IsEndMark(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == ~uint64_t(0);
}

double EndMark() {
  const uint64_t bits = ~uint64_t(0);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool IsOverlayEnd(STKPTR stock) {
  return stock.market == kNoMarket || stock.kind == kNoKind || stock.stock == kNoStock;
}

void ClearViewData(MVCDATA_12 *data) {
  std::memset(static_cast<void *>(data), 0, sizeof *data);
  data->overlays[0] = STKPTR();
  for (int w = 0; w < kMaxChartWindows; ++w) {
    data->refLines[w][0].value = EndMark();
    data->params[w][0] = EndMark();
  }
  for (int j = 0; j < kMaxOverlays; ++j) data->overlayParams[j][0] = EndMark();
  data->displayFlags = DefaultDisplayFlags();
}

void InitViewData(MVCDATA_12 *data) {
  ClearViewData(data);
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_REPORT, &r);
  data->tabCount = uint32_t(r.tabCount);
  std::memcpy(data->tabIds, r.tabIds, sizeof data->tabIds);
  data->currentBlock = 0;
  data->columnCount = r.columnCount;
  std::memcpy(data->columns, r.columns, sizeof data->columns);
  data->scheme12 = r.fixedColumns;
  data->paneCount = 2;

  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_KLINE, &r);
  data->windowCount = r.windowCount;
  std::memcpy(data->formulas, r.formulas, sizeof data->formulas);

  const std::string defui = UserFile("defui.ini");
  data->linked = 0;
  data->infoVisible = GetPrivateProfileIntA("UI", "InfoVisible", 1, defui.c_str()) != 0 ? 1 : 0;

  const std::vector<std::string> items = SplitCommas(ReadSetting("UI", "MainGraph", "K,MA", defui));
  int taken = 0;
  for (size_t i = 1; i < items.size() && taken < kMaxOverlays; ++i) {
    const std::string item = FormulaItem(items[i]);
    if (item.empty() || FormulaKind(item.c_str()) != 1) continue;
    SetName(data->overlayFormulas[taken++], item);
  }
}

void ConvertMvcData10To12(const MVCDATA_10 &from, MVCDATA_12 &to) {
  to.tabCount = from.tabCount;
  to.currentBlock = from.currentBlock;
  for (int k = 0; k < 16; ++k) to.tabIds[k] = uint16_t(uint32_t(from.tabIds[k]) & 0xFFFF);
  for (int k = 16; k < kMaxTabs; ++k) to.tabIds[k] = 0;
  to.columnCount = from.columnCount;
  to.scheme12 = from.scheme12;
  to.scheme16 = from.scheme16;
  std::memcpy(to.columns, from.columns, sizeof to.columns);
  to.paneCount = from.paneCount;
  to.windowCount = from.windowCount;
  std::memcpy(to.formulas, from.formulas, sizeof to.formulas);
  std::memcpy(to.overlayFormulas, from.overlayFormulas, sizeof to.overlayFormulas);
  std::memcpy(static_cast<void *>(to.overlays), from.overlays, sizeof to.overlays);
  to.firstOverlaySetting = from.firstOverlaySetting;
  std::memcpy(to.refLines, from.refLines, sizeof to.refLines);
  std::memcpy(to.params, from.params, sizeof to.params);
  std::memcpy(to.overlayParams, from.overlayParams, sizeof to.overlayParams);
  to.firstOverlayOwnFormula = from.bytes3744[0];
  to.firstOverlayByte = from.bytes3744[1];
  to.linked = from.bytes3744[2];
  to.infoVisible = from.bytes3744[3];
  std::memcpy(to.heightRatios, from.heightRatios, sizeof to.heightRatios);
  std::memcpy(to.overlayTexts, from.overlayTexts, sizeof to.overlayTexts);
}

// ---- Instruments as text ------------------------------------------------------------

void StockToText(STKPTR stock, char (&text)[32]) {
  std::memset(text, 0, sizeof text);
  const STKINFO *info = GetStockInfo(stock);
  const TMarketData *market = info ? MarketAt(stock.market) : nullptr;
  if (!market) return;
  char code[sizeof info->code + 1] = {};
  std::memcpy(code, info->code, sizeof info->code);
  char name[sizeof market->m_info.shortName + 1] = {};
  std::memcpy(name, market->m_info.shortName, sizeof market->m_info.shortName);
  std::snprintf(text, sizeof text, "%s %s", name, code);
}

bool StockFromText(const char *text, size_t size, STKPTR *stock) {
  const std::string s(text, strnlen(text, size));
  const size_t blank = s.find(' ');
  if (blank == std::string::npos) return false;
  const TMarketData *market = FindMarketByName(s.substr(0, blank).c_str());
  if (!market) return false;
  const STKINFO *info = market->FindStock(s.substr(blank + 1).c_str());
  if (!info) return false;
  *stock = STKPTR(info->market, 0, info->index);
  return true;
}

void OverlaysToTexts(MVCDATA_12 *data) {
  std::memset(data->overlayTexts, 0, sizeof data->overlayTexts);
  for (int i = 0; i < kMaxOverlays && !IsOverlayEnd(data->overlays[i]); ++i)
    StockToText(data->overlays[i], data->overlayTexts[i]);
}

void OverlaysFromTexts(MVCDATA_12 *data) {
  for (int i = 0; i < kMaxOverlays; ++i) {
    STKPTR stock;
    if (!StockFromText(data->overlayTexts[i], sizeof data->overlayTexts[i], &stock)) {
      data->overlays[i] = STKPTR();
      return;
    }
    data->overlays[i] = stock;
  }
}

// ---- Hand-over lists ---------------------------------------------------------------

namespace {

struct ListSlot {
  ViewStockList *list = nullptr;
  uint16_t generation = 1;
};
std::vector<ListSlot> &ListSlots() {
  static std::vector<ListSlot> slots;
  return slots;
}

ListSlot *SlotOf(uint32_t handle) {
  const uint32_t index = handle & 0xFFFF;
  std::vector<ListSlot> &slots = ListSlots();
  if (index == 0 || index > slots.size()) return nullptr;
  ListSlot &slot = slots[index - 1];
  if (!slot.list || slot.generation != (handle >> 16)) return nullptr;
  return &slot;
}

void FreeSlot(ListSlot *slot) {
  Free(slot->list->items);
  Free(slot->list);
  slot->list = nullptr;
  slot->generation = uint16_t(slot->generation == 0xFFFF ? 1 : slot->generation + 1);
}

}  // namespace

uint32_t NewViewStockList(const STKPTR *items, uint32_t count) {
  if (count > 0x10000) count = 0x10000;
  std::vector<ListSlot> &slots = ListSlots();
  size_t index = 0;
  while (index < slots.size() && slots[index].list) ++index;
  if (index >= 0xFFFF) return 0;
  auto *list = static_cast<ViewStockList *>(Malloc(sizeof(ViewStockList)));
  if (!list) return 0;
  list->items = static_cast<STKPTR *>(Malloc(int32_t(count * sizeof(STKPTR))));
  if (!list->items) {
    Free(list);
    return 0;
  }
  if (count) std::memcpy(static_cast<void *>(list->items), items, count * sizeof(STKPTR));
  list->count = count;
  list->refCount = 0;
  if (index == slots.size()) slots.emplace_back();
  slots[index].list = list;
  return uint32_t(slots[index].generation) << 16 | uint32_t(index + 1);
}

ViewStockList *FindViewStockList(uint32_t handle) {
  ListSlot *slot = SlotOf(handle);
  return slot ? slot->list : nullptr;
}

bool AddRefViewStockList(uint32_t handle) {
  ListSlot *slot = SlotOf(handle);
  if (!slot) return false;
  ++slot->list->refCount;
  return true;
}

void ReleaseViewStockList(uint32_t handle) {
  ListSlot *slot = SlotOf(handle);
  if (!slot) return;
  if (slot->list->refCount <= 1)
    FreeSlot(slot);
  else
    --slot->list->refCount;
}

void DropUnusedViewStockList(uint32_t handle) {
  ListSlot *slot = SlotOf(handle);
  if (slot && slot->list->refCount == 0) FreeSlot(slot);
}

int LiveViewStockLists() {
  int n = 0;
  for (const ListSlot &slot : ListSlots()) n += slot.list != nullptr;
  return n;
}
