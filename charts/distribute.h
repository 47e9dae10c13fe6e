// The price distribution of today's trades: the volume traded at each
// price, split into buyer- and seller-initiated volume (a trade whose side
// is not known counts as seller-initiated), kept in ascending price order,
// and the open/close tally of the trades (see charts/tradenature.h; this
// model compares change and volume in trading units). The model works on
// its own copy of the trade series. GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "market/records.h"
#include "views/viewattr.h"

struct PriceBar {
  uint32_t price;
  uint32_t sellVolume;  // side not 0
  uint32_t buyVolume;   // side 0
  uint8_t relation;     // 1 above the reference, 2 at it, 3 below
};

// The twelve counters, in order: T0/T1 buyer/seller trades without change,
// T2 change = volume, T3 change = -volume, T4/T5 buyer/seller opening,
// T6/T7 buyer/seller closing, T8/T9 the unmatched part of buyer/seller
// opening, T10/T11 of buyer/seller closing.
struct DistributeTally {
  uint32_t t[12];
};

class CDistributePrice {
 public:
  CDistributePrice();
  CDistributePrice(const CDistributePrice &) = delete;
  CDistributePrice &operator=(const CDistributePrice &) = delete;

  // Copies the trades; false (and no copy) when memory is short.
  bool SetTicks(const TICKREC *ticks, int count, const VIEW_ATTR_13 &attr);
  // Bars, totals and tallies from the copy; nothing without one.
  void Build(const VIEW_ATTR_13 &attr);
  // Adds one trade to its bar; returns its volume truncated.
  uint32_t AddTrade(const TICKREC &trade, uint32_t reference);
  // The largest bar total; returns the bar count.
  int GetMaxBarVolume(uint32_t *max) const;
  // The cumulative amount/open-interest field of the copy as per-trade
  // changes; the first against the given previous value.
  void ToPerTrade(float previous);

  int32_t decimals = 0;
  float divisor = 0;
  std::vector<PriceBar> bars;
  uint32_t maxBarVolume = 0;
  int32_t totalVolume = 0;
  DistributeTally tally{};
  std::vector<TICKREC> ticks;
  bool copied = false;
};
