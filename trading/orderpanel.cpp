#include "trading/orderpanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "trading/deskdata.h"

const char *const kPriceWords[5] = {"对手价", "挂单价", "最新价", "涨停价", "跌停价"};

int PriceWordOf(const char *field) {
  if (!field) return -1;
  char head[7] = {};
  strncpy(head, field, sizeof head);
  for (int i = 0; i < 5; ++i)
    if (memcmp(head, kPriceWords[i], 7) == 0) return i;
  return -1;
}

double FieldPrice(const char *field) {
  if (!field) return 0;
  const double price = atof(field);
  return price > 0.0001 && std::isfinite(price) ? price : 0;
}

double WordPrice(int word, bool buy, const TQuotePrices &q, bool useLastClose) {
  if (!q.valid) return 0;
  switch (word) {
    case kWordOpposite:
    case kWordQueue: {
      if (useLastClose && q.bid1 == 0 && q.ask1 == 0) return q.prevClose;
      const bool ask = (word == kWordOpposite) == buy;
      return ask ? q.ask1 : q.bid1;
    }
    case kWordLast: return useLastClose && q.last == 0 ? q.prevClose : q.last;
    case kWordLimitUp: return useLastClose && q.limitUp == 0 ? q.prevClose : q.limitUp;
    case kWordLimitDown: return useLastClose && q.limitDown == 0 ? q.prevClose : q.limitDown;
    default: return 0;
  }
}

double SpinPrice(const char *field, bool up, double tick, const TQuotePrices &q, bool useLastClose) {
  (void)useLastClose;
  if (!(tick > 0) || !std::isfinite(tick)) return 0;
  double p = FieldPrice(field);
  if (p == 0) {
    const int word = PriceWordOf(field);
    if (word == kWordLast || word == kWordLimitUp || word == kWordLimitDown) {
      p = WordPrice(word, true, q, false);
      if (p == 0) p = q.prevClose;
    } else if (up) {
      const double side = q.ask1 != 0 ? q.ask1 : q.bid1;
      if (side == 0) return 0;
      p = side - tick;
    } else {
      const double side = q.bid1 != 0 ? q.bid1 : q.ask1;
      if (side == 0) return 0;
      p = side + tick;
    }
  }
  if (!(p > 0.0001)) return 0;
  if (up) return std::trunc((p + tick) / tick + 0.000001) * tick;
  return std::max(std::trunc((p - tick) / tick + 0.000001) * tick, tick);
}

bool IsTickMultiple(double price, double tick) {
  if (!(tick > 0) || !std::isfinite(tick)) return false;
  const double n = std::floor(price / tick + 0.0000001);
  return std::fabs(price - n * tick) <= 0.0001;
}

std::string PriceWithDecimals(double price, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 6), price);
  return text;
}

TOrderPanel::TOrderPanel(TTradeDesk &data) : data_(data) {
  fields[2].priceKind = -1;
}

TOrderFields &TOrderPanel::Active() {
  const int layout = data_.options.Layout;
  return fields[layout == 1 || layout == 2 ? layout : 0];
}

const CContractInfo *TOrderPanel::TradableContract(const std::string &code) const {
  if (code.empty()) return nullptr;
  const CContractInfo *c = data_.FindContract(code.c_str());
  // A contract without a positive tick can be neither priced nor checked.
  if (!c || !(c->PriceTick > 0)) return nullptr;
  return c;
}

bool TOrderPanel::SpinActivePrice(int delta) {
  TOrderFields &f = Active();
  const CContractInfo *c = TradableContract(f.contract);
  if (!c || f.priceKind == 1) return false;
  if (data_.options.Layout != 2 && (PanelContract.IsNone() || !SameStock(PanelContract, c->Stock))) return false;
  const TQuotePrices q = QuotePricesOf(c->Stock);
  double p;
  if (data_.options.Layout == 2 && FieldPrice(f.price.c_str()) == 0) {
    const std::string last = PriceWithDecimals(q.last, 6);
    p = SpinPrice(last.c_str(), delta > 0, c->PriceTick, q, data_.options.UseLastClose);
  } else {
    p = SpinPrice(f.price.c_str(), delta > 0, c->PriceTick, q, data_.options.UseLastClose);
  }
  if (p == 0) return false;
  f.price = PriceWithDecimals(p + 0.00001, q.decimals);
  return true;
}
