// Replays a price path on one instrument of the market table as the push
// client applies its quotes: on a trade the recent prices move older with
// the client's own function, then the new quote is stored; after each quote
// the receiver runs (the stop engine, or the frame's fan-out).
#pragma once

#include <cstdint>
#include <functional>

#include "market/marketrecords.h"

class TQuoteReplay {
 public:
  explicit TQuoteReplay(STKPTR stock);

  std::function<void(STKPTR, const REALQUOTE &, const STKINFO &)> receiver;

  // One quote: prices in the instrument's units (0 = none); every quote is
  // a trade (the volume grows by one).
  void Apply(double last, double bid = 0, double ask = 0);
  // Clears the quote and the recent prices.
  void Reset();

  REALQUOTE &Quote() const;
  PRICEHIST &History() const;

 private:
  STKPTR stock_;
};
