#include "charts/tradenature.h"

#include <cmath>

TradeNatureClass ClassifyTrade(float volume, float change, int32_t unit, TradeNatureMode mode) {
  const double n = unit > 0 ? unit : 1;
  double v = volume, d = change;
  if (mode != kNatureRaw) v = std::trunc(volume / n);
  if (mode == kNatureBothInUnits) d = change / n;
  d = std::trunc(d);
  if (mode == kNatureRaw) v = std::trunc(v);
  if (d == 0) return kNatureTurnover;
  if (d == v) return kNatureBothOpen;
  if (d == -v) return kNatureBothClose;
  return d > 0 ? kNatureOpen : kNatureClose;
}

const char *TradeNatureWord(TradeNatureClass nature, uint8_t side, int marketType) {
  const bool seller = side != 0;
  const bool order = marketType == 8;
  switch (nature) {
    case kNatureTurnover:
      return seller ? "空换" : "多换";
    case kNatureBothOpen:
      return order ? "双订" : "双开";
    case kNatureBothClose:
      return order ? "双转" : "双平";
    case kNatureOpen:
      if (order) return seller ? "空订" : "多订";
      return seller ? "空开" : "多开";
    case kNatureClose:
      if (order) return seller ? "多转" : "空转";
      return seller ? "多平" : "空平";
  }
  return "";
}

const char *TradeNature(float volume, float change, int32_t unit, uint8_t side, int marketType,
                        TradeNatureMode mode) {
  return TradeNatureWord(ClassifyTrade(volume, change, unit, mode), side, marketType);
}
