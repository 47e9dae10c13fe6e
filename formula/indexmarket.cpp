#include "formula/indexmarket.h"

namespace {

IIndexMarket *g_market = nullptr;
COLORREF g_ownColors[kIndexColorSlots] = {};
COLORREF *g_colors = g_ownColors;

}  // namespace

IIndexMarket *SetIndexMarket(IIndexMarket *market) {
  IIndexMarket *previous = g_market;
  g_market = market;
  return previous;
}

IIndexMarket *IndexMarket() { return g_market; }

IndexStockFacts IndexStockFactsOf(const STKINFO *info) {
  if (!info || !g_market) return IndexStockFacts{};
  return g_market->Facts(info);
}

COLORREF *SetIndexColorTable(COLORREF *slots) {
  COLORREF *previous = g_colors == g_ownColors ? nullptr : g_colors;
  g_colors = slots ? slots : g_ownColors;
  return previous;
}

COLORREF *IndexColorTable() { return g_colors; }
