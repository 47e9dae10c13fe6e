// The nature of one futures trade: whether it opened, closed or turned over
// positions of the long or the short side, read from the change of open
// interest the trade brought against its volume. The detail list and the
// intraday view's detail page compare the raw change with the volume in
// trading units, the price distribution divides both by the unit, and the
// price-volume statistics compare the raw change with the raw volume.
#pragma once

#include <cstdint>

enum TradeNatureMode {
  kNatureVolumeInUnits,  // change as it is, volume over the unit
  kNatureBothInUnits,    // change and volume over the unit
  kNatureRaw,            // both as they are
};

// The classes in the order they are tested.
enum TradeNatureClass {
  kNatureTurnover,   // no change: 多换 / 空换
  kNatureBothOpen,   // change = volume: 双开
  kNatureBothClose,  // change = -volume: 双平
  kNatureOpen,       // other increase: 多开 / 空开
  kNatureClose,      // other decrease: 空平 / 多平
};

// unit: the trading unit (0 or less counts as 1).
TradeNatureClass ClassifyTrade(float volume, float change, int32_t unit, TradeNatureMode mode);
// The two-character word of a class for the trade's side byte (0 buyer,
// anything else seller) and the market type (8 has its own words).
const char *TradeNatureWord(TradeNatureClass nature, uint8_t side, int marketType);
// Both in one: the word the detail list shows.
const char *TradeNature(float volume, float change, int32_t unit, uint8_t side, int marketType,
                        TradeNatureMode mode = kNatureVolumeInUnits);
