#include "views/colschemes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"

TColumnSchemes *ColumnSchemes = nullptr;

namespace {

constexpr char kDefaultIds[] = "0,9,1,3,6,10,11,7,24,8,4,5,12,13,21,2";
constexpr char kDefaultWidths[] = "8,8,8,8,8,8,8,8,8,8,8,8,8,8,8,8";
constexpr char kSharedFile[] = "..\\cfg\\setting.ini";

std::string UserSettingFile() { return std::string(UserDataPath) + "SETTING.INI"; }

// Up to 64 comma-separated decimal integers; entries the text does not
// provide keep what they hold.
void ParseList(const char *text, int32_t *out) {
  const char *p = text;
  for (int i = 0; i < kSchemeColumns && *p; ++i) {
    out[i] = int32_t(std::strtol(p, nullptr, 10));
    const char *comma = std::strchr(p, ',');
    if (!comma) break;
    p = comma + 1;
  }
}

// The first count entries, "%d" each, joined by commas.
std::string JoinList(const int32_t *values, int count) {
  std::string text;
  for (int i = 0; i < count && i < kSchemeColumns; ++i) {
    if (i) text += ',';
    text += std::to_string(values[i]);
  }
  return text;
}

}  // namespace

void LoadColumnSchemes(const SchemeFallback &fallback) {
  if (ColumnSchemes) return;
  auto *store = new (std::nothrow) TColumnSchemes;
  if (!store) return;
  std::memset(store, 0xFF, sizeof *store);
  const std::string user = UserSettingFile();
  for (int i = 0; i < kSchemeCount; ++i) {
    char section[24];
    std::snprintf(section, sizeof section, "TableDef%d", i + 1);
    int count = int(GetPrivateProfileIntA(section, "Count", 0, user.c_str()));
    if (count <= 0) count = int(GetPrivateProfileIntA(section, "Count", 0, kSharedFile));
    if (count <= 0) {
      const int n = std::clamp(fallback.ids ? fallback.count : 0, 0, kSchemeColumns);
      store->count[i] = n;
      for (int k = 0; k < n; ++k) {
        store->ids[i][k] = fallback.ids[k];
        store->widths[i][k] = 8;
      }
      store->fixedCount[i] = std::clamp(fallback.fixedCount, 0, n);
      store->sortColumn[i] = 0;
      continue;
    }
    store->count[i] = std::min(count, kSchemeColumns);
    store->fixedCount[i] = int32_t(GetPrivateProfileIntA(section, "FixedCol", 0, user.c_str()));
    store->sortColumn[i] = 0;
    char text[256];
    GetPrivateProfileStringA(section, "Id", kDefaultIds, text, sizeof text, user.c_str());
    ParseList(text, store->ids[i]);
    GetPrivateProfileStringA(section, "ColWidth", kDefaultWidths, text, sizeof text, user.c_str());
    ParseList(text, store->widths[i]);
  }
  ColumnSchemes = store;
}

void SaveColumnSchemes() {
  if (!ColumnSchemes) return;
  const std::string user = UserSettingFile();
  for (int i = 0; i < kSchemeCount; ++i) {
    char section[24], number[16];
    std::snprintf(section, sizeof section, "TableDef%d", i + 1);
    const int count = std::clamp(ColumnSchemes->count[i], 0, kSchemeColumns);
    WritePrivateProfileStringA(section, "ver", "1", user.c_str());
    std::snprintf(number, sizeof number, "%d", ColumnSchemes->count[i]);
    WritePrivateProfileStringA(section, "Count", number, user.c_str());
    std::snprintf(number, sizeof number, "%d", ColumnSchemes->fixedCount[i]);
    WritePrivateProfileStringA(section, "FixedCol", number, user.c_str());
    WritePrivateProfileStringA(section, "Id", JoinList(ColumnSchemes->ids[i], count).c_str(), user.c_str());
    WritePrivateProfileStringA(section, "ColWidth", JoinList(ColumnSchemes->widths[i], count).c_str(),
                               user.c_str());
  }
}

void FreeColumnSchemes() {
  delete ColumnSchemes;
  ColumnSchemes = nullptr;
}

int SchemeIndexForBlock(const BLOCK *block) {
  if (!block || block->kind == kBlockShared || block->kind == kBlockUser) return 6;
  const TMarketData *md = MarketAt(block->market);
  const int type = md ? md->m_info.type : 0;
  const bool named300 = std::strcmp(block->name, "沪深300") == 0;
  switch (type) {
    case 8: return 7;
    case 6: return 4;
    case 1: return named300 ? 10 : 1;
    case 2: return block->kind == kBlockStockKind && std::strcmp(block->name, "中金所") == 0 ? 9 : 0;
    case 3: return 2;
    case 4: return 3;
    case 7: return 5;
    default: return 6;
  }
}

void MoveSchemeColumn(int scheme, int from, int to, int32_t *reportColumns, int reportCount) {
  auto move = [&](int32_t *list, int n) {
    if (!list || from < 0 || to < 0 || from >= n || to >= n || from == to) return;
    const int32_t taken = list[from];
    if (from < to)
      std::memmove(list + from, list + from + 1, size_t(to - from) * sizeof *list);
    else
      std::memmove(list + to + 1, list + to, size_t(from - to) * sizeof *list);
    list[to] = taken;
  };
  move(reportColumns, reportCount);
  if (!ColumnSchemes || scheme < 0 || scheme >= kSchemeCount) return;
  move(ColumnSchemes->ids[scheme], kSchemeColumns);
  move(ColumnSchemes->widths[scheme], kSchemeColumns);
}
