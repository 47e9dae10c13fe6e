// One trade of a test's series, and the record of an intraday view.
#pragma once

#include "market/records.h"
#include "views/viewattr.h"

namespace charts_test {

inline TICKREC MakeTrade(uint32_t price, float volume = 1, float openInterest = 100, uint8_t side = 0) {
  TICKREC t{};
  t.time = (2024u << 20) | (3u << 16) | (4u << 11) | (9u << 6) | 30u;  // 2024-03-04 09:30
  t.price = price;
  t.volume = volume;
  t.amount = openInterest;
  t.side = side;
  return t;
}

// The record of an intraday view of the instrument.
inline VIEW_ATTR_13 IntradayAttr(STKPTR stock) {
  VIEW_ATTR_13 a{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &a);
  a.stock = stock;
  return a;
}

}  // namespace charts_test
