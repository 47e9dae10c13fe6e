#include "formula/formula_market.h"

#include "market/dataagent.h"
#include "market/dataio5.h"

const STKINFO *TFormulaMarket::FindStockInMarket(const char *code, uint8_t market) {
  return code ? ::FindStockInMarket(code, market) : nullptr;
}

const STKINFO *TFormulaMarket::FindStockFromMarket(const char *code, uint8_t *market) {
  if (!code || !market) return nullptr;
  uint32_t where = *market;
  const STKINFO *found = ::FindStockFromMarket(code, &where);
  if (found) *market = uint8_t(where);
  return found;
}

const STKINFO *TFormulaMarket::LookupStock(const char *code, uint16_t *market, bool searchAll) {
  return code && market ? ::LookupStock(code, market, searchAll ? 1 : 0) : nullptr;
}

IndexStockFacts TFormulaMarket::Facts(const STKINFO *info) {
  IndexStockFacts facts;
  if (!info) return facts;
  facts.market = info->market;
  facts.kind = info->kind;
  facts.index = info->index;
  // An entry of the table knows its index by where it lies.
  if (const TMarketData *md = MarketAt(info->market))
    if (md->m_stocks && info >= md->m_stocks && info < md->m_stocks + md->m_loadedCount)
      facts.index = uint16_t(info - md->m_stocks);
  facts.priceDivisor = info->priceDivisor ? info->priceDivisor : 1;
  facts.priceDecimals = info->decimals;
  return facts;
}

const STKINFO *TFormulaMarket::GetStockInfo(IndexStockRef stock) {
  return ::GetStockInfo(STKPTR(stock.market, 0, stock.index));
}

int32_t TFormulaMarket::AcquireDataAgent(IndexStockRef stock, uint8_t kind, uint32_t count, HWND window) {
  if (kind < kAgentMinuteBars || kind > kAgentQuarterBars) return -1;
  const STKPTR ref(stock.market, 0, stock.index);
  if (!::GetStockInfo(ref)) return -1;
  return ::AcquireDataAgent(ref, kind, count, window);
}

void TFormulaMarket::ReleaseDataAgent(int32_t agent, HWND window) { ::ReleaseDataAgent(agent, window); }

void TFormulaMarket::GetSeries(int32_t agent, const KLINEBAR **bars, uint32_t *count) {
  const CDataAgent *a = DataAgentAt(agent);
  const KLINEBAR *first = a && a->InUse() ? a->Bars() : nullptr;
  if (bars) *bars = first;
  if (count) *count = first && a->itemCount > 0 ? uint32_t(a->itemCount) : 0;
}
