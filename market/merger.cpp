#include "market/merger.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "market/dataio5.h"
#include "platform/profile.h"

namespace {

constexpr const char kMergeFile[] = "..\\cfg\\MktMerge.ini";
constexpr int kMinutesPerDay = 1440;
// A combo of more units than the table has markets is a damaged file; the
// units past this many are not read.
constexpr int kMaxUnits = kMaxMarkets;
constexpr size_t kMaxNameList = 1 << 20;

CMarketMerger *TheMerger = nullptr;

bool StartsWithCombo(const char *name) {
  static const char kPrefix[] = "combo";
  for (int i = 0; i < 5; ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != kPrefix[i]) return false;
  }
  return true;
}

// The code of a name-table entry as a string (the field need not end in a
// NUL).
std::string CodeOf(const STKINFO &entry) { return std::string(entry.code, strnlen(entry.code, sizeof entry.code)); }

}  // namespace

// ---- CMarketCombo ----------------------------------------------------------

int CMarketCombo::HasMarket(int market) const {
  for (const CMarketComboUnit &unit : m_units)
    if (unit.m_market == market) return 1;
  return 0;
}

int CMarketCombo::SelectUnitMarket(int minute) const {
  if (m_units.empty()) return 0;
  if (minute > kMinutesPerDay) minute -= kMinutesPerDay;
  // The unit that started last before now; a start of 0 means "not at a
  // set time" and only counts below, as the unit that runs over midnight.
  const CMarketComboUnit *chosen = nullptr;
  for (const CMarketComboUnit &unit : m_units) {
    if (unit.m_startMinute == 0 || minute < 0 || unit.m_startMinute > uint32_t(minute)) continue;
    if (!chosen || unit.m_startMinute > chosen->m_startMinute) chosen = &unit;
  }
  if (!chosen) {
    // Before the first start of the day: the unit that began last
    // yesterday is still active.
    for (const CMarketComboUnit &unit : m_units)
      if (!chosen || unit.m_startMinute >= chosen->m_startMinute) chosen = &unit;
  }
  return chosen->m_market;
}

// ---- CMarketMerger ---------------------------------------------------------

CMarketMerger *CMarketMerger::Instance() {
  if (!TheMerger) TheMerger = new CMarketMerger;
  return TheMerger;
}

void CMarketMerger::FreeInstance() {
  delete TheMerger;
  TheMerger = nullptr;
}

int CMarketMerger::LoadDefault() { return Load(kMergeFile); }

int CMarketMerger::Load(const char *file) {
  // Section names: a list that fills the buffer may have been cut, so the
  // buffer grows until it holds them all.
  std::string names(1024, '\0');
  DWORD got = 0;
  for (;;) {
    got = GetPrivateProfileSectionNamesA(names.data(), DWORD(names.size()), file);
    if (got != names.size() - 2 || names.size() >= kMaxNameList) break;
    names.assign(names.size() + 1024, '\0');
  }
  if (got > names.size()) got = DWORD(names.size());
  names.resize(got);

  m_combos.clear();
  char key[32];
  for (size_t at = 0; at < names.size();) {
    const char *name = names.c_str() + at;
    size_t length = strnlen(name, names.size() - at);
    at += length + 1;
    if (length < 5 || !StartsWithCombo(name)) continue;
    CMarketCombo combo;
    int units = int(GetPrivateProfileIntA(name, "MarketNumber", 0, file));
    if (units > kMaxUnits) units = kMaxUnits;
    for (int n = 1; n <= units; ++n) {
      CMarketComboUnit unit;
      std::snprintf(key, sizeof key, "Market%dID", n);
      unit.m_market = int32_t(GetPrivateProfileIntA(name, key, 0, file));
      std::snprintf(key, sizeof key, "Market%dTime", n);
      unit.m_startMinute = GetPrivateProfileIntA(name, key, 0, file);
      combo.m_units.push_back(unit);
    }
    m_combos.push_back(std::move(combo));
  }
  return 1;
}

int CMarketMerger::MapMarket(int market, int minute) const {
  for (const CMarketCombo &combo : m_combos) {
    if (!combo.HasMarket(market)) continue;
    int selected = combo.SelectUnitMarket(minute);
    return selected >= 0 && selected < MarketTable.marketCount ? selected : market;
  }
  return market;
}

int CMarketMerger::AreMerged(int a, int b) const {
  for (const CMarketCombo &combo : m_combos)
    if (combo.HasMarket(a) && combo.HasMarket(b)) return 1;
  return 0;
}

STKINFO *CMarketMerger::MapStock(STKINFO *entry, int minute) const {
  if (!entry) return nullptr;
  int market = MapMarket(entry->market, minute);
  STKINFO *mapped = FindStockInMarket(CodeOf(*entry).c_str(), market);
  return mapped ? mapped : entry;
}

STKINFO *CMarketMerger::FindComboStock(const STKINFO *entry) const {
  if (!entry) return nullptr;
  for (const CMarketCombo &combo : m_combos) {
    if (!combo.HasMarket(entry->market)) continue;
    for (const CMarketComboUnit &unit : combo.m_units) {
      const TMarketData *market = MarketAt(unit.m_market);
      if (market && market->m_info.type == 2) return FindStockInMarket(CodeOf(*entry).c_str(), unit.m_market);
    }
    return nullptr;
  }
  return nullptr;
}
