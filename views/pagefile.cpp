#include "views/pagefile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/path.h"

namespace {

constexpr int kMaxTreeDepth = 64;

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
    const uint32_t firstOffset = PageWord(payload, offset);
    const uint32_t secondOffset = PageWord(payload, offset + 4);
    PageFileNode node;
    node.hasPane = PageWord(payload, offset + 8) == 1;
    node.side = PageWord(payload, offset + 12);
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
  if (uint64_t(PageWord(bytes, 72)) + kPageHeaderSize != bytes.size()) return PageCheck::BadLength;
  if (version) *version = v;
  return PageCheck::Ok;
}

PageCheck ParsePageFile(const std::string &bytes, PageFile *page) {
  int version = 0;
  const PageCheck check = CheckPageHeader(bytes, &version);
  if (check != PageCheck::Ok) return check;
  page->version = version;
  page->nodes.clear();
  platform::GbkCopyCut(bytes.data() + 8, kPageNameSize, page->name, kPageNameSize);
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
