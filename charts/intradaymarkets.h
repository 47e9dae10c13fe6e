// The few instruments the intraday charts treat in their own way, named in
// one place: the index futures of the financial futures market (market 3,
// stock kind 3), among them the bond futures whose codes begin "0401" and
// which carry an estimated delivery price, and the reference index
// "000300" of market 0, whose advancing and declining counts the index
// futures show as bars and whose price gives their basis.
#pragma once

#include <cstring>

#include "market/marketrecords.h"

constexpr int kIndexFuturesMarket = 3;
constexpr int kIndexFuturesKind = 3;
constexpr char kDeliveryEstimatePrefix[] = "0401";
constexpr int kReferenceIndexMarket = 0;
constexpr char kReferenceIndexCode[] = "000300";

// The instrument belongs to the index futures (market 3, kind 3); kind is
// the kind byte of its name-table entry.
inline bool IsIndexFutures(int market, int kind) {
  return market == kIndexFuturesMarket && kind == kIndexFuturesKind;
}

// Its code begins with the prefix of the contracts that show an estimated
// delivery price.
inline bool HasDeliveryEstimate(const char *code) {
  return std::strncmp(code, kDeliveryEstimatePrefix, sizeof kDeliveryEstimatePrefix - 1) == 0;
}
