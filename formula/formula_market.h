// The formula engine's view of the market side: name-table lookups in the
// market table and cross-instrument references served by the series
// agents. The main window installs one with SetIndexMarket at start-up.
// GUI thread only.
#pragma once

#include "formula/indexmarket.h"

class TFormulaMarket : public IIndexMarket {
 public:
  const STKINFO *FindStockInMarket(const char *code, uint8_t market) override;
  const STKINFO *FindStockFromMarket(const char *code, uint8_t *market) override;
  const STKINFO *LookupStock(const char *code, uint16_t *market, bool searchAll) override;
  IndexStockFacts Facts(const STKINFO *info) override;
  const STKINFO *GetStockInfo(IndexStockRef stock) override;

  // A bar agent of the kind and count for the window (kinds 6 to 10, the
  // ones that hold bars); -1 for any other kind or an unknown instrument.
  int32_t AcquireDataAgent(IndexStockRef stock, uint8_t kind, uint32_t count, HWND window) override;
  void ReleaseDataAgent(int32_t agent, HWND window) override;
  // The agent's bars; none for an agent that is free or holds no bars.
  void GetSeries(int32_t agent, const KLINEBAR **bars, uint32_t *count) override;
};
