#include "testing/quote_replay.h"

#include <cmath>
#include <cstring>

#include "market/dataio5.h"
#include "market/realclient.h"

TQuoteReplay::TQuoteReplay(STKPTR stock) : stock_(stock) {}

REALQUOTE &TQuoteReplay::Quote() const { return MarketAt(stock_.market)->m_quotes[stock_.stock]; }

PRICEHIST &TQuoteReplay::History() const { return MarketAt(stock_.market)->m_priceHist[stock_.stock]; }

void TQuoteReplay::Reset() {
  std::memset(static_cast<void *>(&Quote()), 0, sizeof(REALQUOTE));
  std::memset(static_cast<void *>(&History()), 0, sizeof(PRICEHIST));
}

void TQuoteReplay::Apply(double last, double bid, double ask) {
  const STKINFO &info = MarketAt(stock_.market)->m_stocks[stock_.stock];
  const double divisor = info.PriceDivisor();
  REALQUOTE next = Quote();
  next.last = uint32_t(std::llround(last * divisor));
  next.bid[0].price = uint32_t(std::llround(bid * divisor));
  next.ask[0].price = uint32_t(std::llround(ask * divisor));
  next.volume += 1;
  ShiftPriceHistory(History(), Quote());
  Quote() = next;
  if (receiver) receiver(stock_, Quote(), info);
}
