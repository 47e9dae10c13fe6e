#include "charts/distribute.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "charts/tradenature.h"
#include "market/dataio5.h"
#include "platform/msgbox.h"

namespace {

uint32_t AddTruncated(uint32_t sum, float value) {
  const double total = double(float(sum) + value);
  if (!(total > 0)) return 0;
  return total >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(total);
}

}  // namespace

CDistributePrice::CDistributePrice() { bars.reserve(42); }

bool CDistributePrice::SetTicks(const TICKREC *source, int count, const VIEW_ATTR_13 &attr) {
  if (const STKINFO *info = GetStockInfo(attr.stock)) {
    decimals = info->decimals;
    divisor = float(info->PriceDivisor());
  }
  if (count < 0 || (count > 0 && !source)) count = 0;
  try {
    if (ticks.capacity() < size_t(count)) {
      ticks = std::vector<TICKREC>();
      ticks.reserve(std::max<size_t>(size_t(count) * 133 / 100, 120));
    }
    ticks.assign(source, source + count);
  } catch (const std::bad_alloc &) {
    ticks = std::vector<TICKREC>();
    copied = false;
    MessageBoxA(nullptr, "内存不足，图形无法显示。", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return false;
  }
  copied = true;
  return true;
}

uint32_t CDistributePrice::AddTrade(const TICKREC &trade, uint32_t reference) {
  // The first bar at or above the price, searching the ascending bars.
  auto it = std::lower_bound(bars.begin(), bars.end(), trade.price,
                             [](const PriceBar &bar, uint32_t price) { return bar.price < price; });
  if (it == bars.end() || it->price != trade.price) {
    PriceBar bar{trade.price, 0, 0, uint8_t(reference < trade.price ? 1 : reference == trade.price ? 2 : 3)};
    if (bars.size() == bars.capacity()) bars.reserve(bars.empty() ? 42 : bars.capacity() * 2);
    it = bars.insert(std::lower_bound(bars.begin(), bars.end(), trade.price,
                                      [](const PriceBar &b, uint32_t price) { return b.price < price; }),
                     bar);
  }
  if (trade.side == 0)
    it->buyVolume = AddTruncated(it->buyVolume, trade.volume);
  else
    it->sellVolume = AddTruncated(it->sellVolume, trade.volume);
  return trade.volume > 0 ? uint32_t(trade.volume) : 0;
}

int CDistributePrice::GetMaxBarVolume(uint32_t *max) const {
  uint32_t best = 0;
  for (const PriceBar &bar : bars) best = std::max(best, bar.sellVolume + bar.buyVolume);
  if (max) *max = best;
  return int(bars.size());
}

void CDistributePrice::ToPerTrade(float previous) {
  for (size_t i = ticks.size(); i-- > 1;) ticks[i].amount -= ticks[i - 1].amount;
  if (!ticks.empty()) ticks[0].amount -= previous;
}

void CDistributePrice::Build(const VIEW_ATTR_13 &attr) {
  if (!copied) return;
  const STKINFO *info = GetStockInfo(attr.stock);
  if (info) {
    decimals = info->decimals;
    divisor = float(info->PriceDivisor());
  }
  const TMarketData *market = attr.stock.market < kMaxMarkets ? MarketAt(attr.stock.market) : nullptr;
  const REALQUOTE *quote =
      market && attr.stock.stock < market->m_stockCount && market->m_quotes ? &market->m_quotes[attr.stock.stock]
                                                                            : nullptr;
  const uint32_t reference = quote ? quote->refPrice : 0;
  bars.clear();
  tally = DistributeTally{};
  totalVolume = 0;
  const int32_t unit = info ? info->VolumeUnit() : 1;
  ToPerTrade(quote ? quote->prevOpenInterest : 0.0f);
  int64_t total = 0;
  for (const TICKREC &trade : ticks) {
    total += AddTrade(trade, reference);
    const float v = trade.volume, change = trade.amount;
    const bool buyer = trade.side == 0;
    uint32_t *t = tally.t;
    const bool covered = std::fabs(v) >= std::fabs(change);
    switch (ClassifyTrade(v, change, unit, kNatureBothInUnits)) {
      case kNatureTurnover:
        t[buyer ? 0 : 1] = AddTruncated(t[buyer ? 0 : 1], v);
        break;
      case kNatureBothOpen:
        t[2] = AddTruncated(t[2], v);
        break;
      case kNatureBothClose:
        t[3] = AddTruncated(t[3], v);
        break;
      case kNatureOpen:
        t[buyer ? 4 : 5] = AddTruncated(t[buyer ? 4 : 5], v);
        t[buyer ? 8 : 9] = AddTruncated(t[buyer ? 8 : 9], covered ? v - change : 0);
        break;
      case kNatureClose:
        t[buyer ? 6 : 7] = AddTruncated(t[buyer ? 6 : 7], v);
        t[buyer ? 10 : 11] = AddTruncated(t[buyer ? 10 : 11], covered ? v + change : 0);
        break;
    }
  }
  totalVolume = int32_t(std::min<int64_t>(total, INT32_MAX));
  GetMaxBarVolume(&maxBarVolume);
}
