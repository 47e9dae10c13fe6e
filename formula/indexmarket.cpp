#include "formula/indexmarket.h"

namespace {

IIndexMarket *g_market = nullptr;
COLORREF g_ownColors[kIndexColorSlots] = {};
COLORREF *g_colors = g_ownColors;
const VIEWFONTDEF *g_fonts = nullptr;
int32_t g_kLineMode = 0;
int32_t g_antiAlias = 1;

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

const VIEWFONTDEF *SetIndexFontTable(const VIEWFONTDEF *fonts) {
  const VIEWFONTDEF *previous = g_fonts;
  g_fonts = fonts;
  return previous;
}

const VIEWFONTDEF &IndexFontEntry(int nn) {
  static const VIEWFONTDEF kDefault{0, "宋体", 12};
  if (!g_fonts || nn < 1 || nn > kIndexFontSlots) return kDefault;
  return g_fonts[nn - 1];
}

void SetIndexKLineMode(int32_t mode) { g_kLineMode = mode; }
int32_t IndexKLineMode() { return g_kLineMode; }
void SetIndexAntiAlias(int32_t on) { g_antiAlias = on; }
int32_t IndexAntiAlias() { return g_antiAlias; }
