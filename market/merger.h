// The market merger: some exchanges are served as several markets of the
// market table, each covering part of the clock day (a day and a night
// market of the same contracts). A combo lists such markets with the
// minute of day from which each is the active one; the merger says which
// market of a combo is active now, whether two markets belong together,
// and which entry of the active market stands for an instrument. The
// trading desk binds its contracts through it.
//
// Configured from "..\cfg\MktMerge.ini": every section whose name begins
// with "Combo" (any case) is one combo, with "MarketNumber" units, unit n
// from "Market<n>ID" and "Market<n>Time". GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "market/marketrecords.h"

class CMarketComboUnit {
 public:
  virtual ~CMarketComboUnit() = default;

  int32_t m_market = kMaxMarkets;  // none until read
  uint32_t m_startMinute = 0;      // minute of day from which it is active
};

class CMarketCombo {
 public:
  virtual ~CMarketCombo() = default;

  // 1 when a unit has that market index.
  int HasMarket(int market) const;
  // The market of the unit active at the minute of day (above 1440 counts
  // from the next midnight): the latest start at or before the minute,
  // else the unit that runs across midnight (the latest start of all).
  // 0 for a combo without units.
  int SelectUnitMarket(int minute) const;

  std::vector<CMarketComboUnit> m_units;
};

class CMarketMerger {
 public:
  virtual ~CMarketMerger() = default;

  // The one merger, made empty on the first call.
  static CMarketMerger *Instance();
  static void FreeInstance();

  // Load of "..\cfg\MktMerge.ini".
  int LoadDefault();
  // Replaces every combo by those of the file (none when it is missing).
  // Returns 1.
  int Load(const char *file);

  // The active market of the first combo that holds the market; the market
  // itself when no combo holds it or the selected one is not in the table.
  int MapMarket(int market, int minute) const;
  // 1 when one combo holds both markets.
  int AreMerged(int a, int b) const;
  // The entry with the same code in the market MapMarket selects for the
  // entry's market; the entry itself when that market lacks the code.
  STKINFO *MapStock(STKINFO *entry, int minute) const;
  // In the first combo that holds the entry's market: the entry with the
  // same code in the first unit market that has extended contract codes
  // (a futures market); null when there is none or it lacks the code.
  STKINFO *FindComboStock(const STKINFO *entry) const;

  std::vector<CMarketCombo> m_combos;
};
