// The series records shared by the cache files, the series agents, the charts
// and the formula engine. Little-endian, fixed layout, stored in files as is.
#pragma once

#include <cstdint>

#include "core/datetime.h"

#pragma pack(push, 1)

// One bar of any period. Prices are over the instrument's price divisor.
struct KLINEBAR {
  uint32_t time;  // PackedDateTime; day and longer bars have hour and minute clear,
                  // intraday bars carry the end minute of the bar
  uint32_t close;
  uint32_t open;
  uint32_t high;
  uint32_t low;
  float volume;
  float amount;  // turnover for market types 1 and 6, open interest for the others
  uint32_t settlement;
  uint32_t keep1;  // values kept from the first bar of a merged bar
  uint32_t keep2;
};
static_assert(sizeof(KLINEBAR) == 40);

// One trade.
struct TICKREC {
  uint32_t time;  // PackedDateTime
  uint32_t price;
  float volume;  // in files: cumulative volume of the day; in a built series: this trade's
  float amount;  // cumulative turnover (types 1, 6) or open interest
  uint8_t side;  // 0 buyer-initiated, 1 seller-initiated, 2 not known
  uint8_t unused[3];
};
static_assert(sizeof(TICKREC) == 20);

// One minute of the intraday trend: slot 0 is the opening slot, slot i the
// trading minute i - 1; at most 1441 per day.
struct TRENDREC {
  uint32_t price;        // last price of the minute
  float volume;          // cumulative as delivered; per minute once loaded into a day
  float amount;          // types 1 and 6: turnover (as volume); others: open interest, a level
  double priceVolume;    // cumulative sum of price x volume increment since the open
  uint32_t firstPrice;
  uint32_t highPrice;
  uint32_t lowPrice;
  uint8_t reserved[8];
  uint16_t advancing;    // index instruments
  uint16_t declining;
  int32_t leadingOffset; // unweighted index against the reference, in 1/10000
};
static_assert(sizeof(TRENDREC) == 48);

#pragma pack(pop)

constexpr int kTrendSlotsPerDay = 1441;
