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
  // Every word is six bytes: the field holds one only when its text is
  // exactly six bytes long.
  for (int i = 0; i < 6; ++i)
    if (!field[i]) return -1;
  if (field[6]) return -1;
  for (int i = 0; i < 5; ++i)
    if (memcmp(field, kPriceWords[i], 6) == 0) return i;
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

namespace {
const char kPanelDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// units printed before p with a point ahead of the last decimals digits;
// the new start.
template <typename Unsigned>
char *PanelDigits(char *p, Unsigned units, int decimals) {
  int left = decimals;
  if (left & 1) {
    *--p = char('0' + units % 10);
    units /= 10;
    --left;
  }
  for (; left > 0; left -= 2) {
    const unsigned pair = unsigned(units % 100) * 2;
    units /= 100;
    *--p = kPanelDigitPairs[pair + 1];
    *--p = kPanelDigitPairs[pair];
  }
  if (decimals) *--p = '.';
  while (units >= 100) {
    const unsigned pair = unsigned(units % 100) * 2;
    units /= 100;
    *--p = kPanelDigitPairs[pair + 1];
    *--p = kPanelDigitPairs[pair];
  }
  if (units >= 10) {
    *--p = kPanelDigitPairs[units * 2 + 1];
    *--p = kPanelDigitPairs[units * 2];
  } else {
    *--p = char('0' + units);
  }
  return p;
}

// The text of PriceWithDecimals after prefix (at most 8 bytes) at the end
// of text; its length, or 0 when the price is beyond what is printed here
// (infinities, NaN, 2^52 units and more: printf prints those).
size_t PanelFormatPrice(char (&text)[kPanelPriceTextRoom], double price, int decimals, const char *prefix) {
  static const double kScale[7] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  decimals = std::clamp(decimals, 0, 6);
  const double magnitude = std::fabs(price);
  const double scaled = magnitude * kScale[decimals];
  // Below 2^52 every fraction of the product is exact.
  if (!(scaled < 4503599627370496.0)) return 0;
  char *const end = text + kPanelPriceTextRoom;
  char *p = end;
  // Rounded to nearest as printf rounds the exact binary value, a tie to
  // the even neighbour. The product's own rounding matters only when it
  // lands on a half: its exact error then decides.
  uint64_t units = uint64_t(scaled);
  const double fraction = scaled - double(units);
  if (fraction > 0.5) {
    ++units;
  } else if (fraction == 0.5) {
    const double error = std::fma(magnitude, kScale[decimals], -scaled);
    if (error > 0 || (error == 0 && (units & 1))) ++units;
  }
  // Prices fit 32 bits nearly always, where the digits come cheaper.
  p = units <= UINT32_MAX ? PanelDigits(p, uint32_t(units), decimals) : PanelDigits(p, units, decimals);
  if (std::signbit(price)) *--p = '-';
  size_t head = 0;
  while (head < 8 && prefix[head]) ++head;
  while (head) *--p = prefix[--head];
  return size_t(end - p);
}

// out takes text unless it holds it already.
bool PanelTakeText(std::string &out, const char *text, size_t length) {
  if (out.size() != length) {
    out.assign(text, length);
    return true;
  }
  // A price of as many digits as the last: copied over it in place.
  if (PanelSameBytes(out.data(), text, length)) return false;
  memcpy(out.data(), text, length);
  return true;
}

}  // namespace

bool PrintPriceWithDecimals(std::string &out, double price, int decimals, const char *prefix) {
  char text[kPanelPriceTextRoom];
  if (const size_t length = PanelFormatPrice(text, price, decimals, prefix))
    return PanelTakeText(out, text + kPanelPriceTextRoom - length, length);
  const std::string printed = prefix + PriceWithDecimals(price, decimals);
  return PanelTakeText(out, printed.data(), printed.size());
}

bool TPriceText::Print(std::string &out, double price, int decimals, const char *prefix) {
  uint64_t bits;
  memcpy(&bits, &price, sizeof bits);
  rawKnown_ = false;
  if (length_ == 0 || bits != bits_ || decimals != decimals_ || prefix != prefix_) {
    length_ = PanelFormatPrice(text_, price, decimals, prefix);
    if (length_ == 0) return PrintPriceWithDecimals(out, price, decimals, prefix);
    bits_ = bits;
    decimals_ = decimals;
    prefix_ = prefix;
  }
  return PanelTakeText(out, text_ + sizeof text_ - length_, length_);
}

bool TPriceText::PrintRaw(std::string &out, uint32_t raw, const TQuoteScale &q) {
  static const char kNoPrefix[] = "";
  if (!q.quote) return Print(out, 0, q.decimals, kNoPrefix);
  if (rawKnown_ && raw == raw_ && q.divisor == divisor_ && q.decimals == decimals_)
    return PanelTakeText(out, text_ + sizeof text_ - length_, length_);
  if (q.divisor != divisor_) {
    divisor_ = q.divisor;
    divisorDigits_ = -1;
    double power = 1;
    for (int k = 0; k <= 9 && power <= q.divisor; ++k, power *= 10)
      if (power == q.divisor) divisorDigits_ = k;
  }
  // The integer gives the text the division gives when the decimals hold
  // the price exactly: the quotient's error stays far below half a unit of
  // the last decimal while the units stay below 2^40.
  const int decimals = std::clamp(q.decimals, 0, 6);
  uint64_t units = raw;
  bool exact = divisorDigits_ >= 0;
  for (int k = divisorDigits_; exact && k > decimals; --k) {
    exact = units % 10 == 0;
    units /= 10;
  }
  for (int k = divisorDigits_; exact && k < decimals; ++k) units *= 10;
  if (!exact || units >= (uint64_t(1) << 40)) {
    const bool changed = Print(out, q.Price(raw), q.decimals, kNoPrefix);
    rawKnown_ = length_ != 0;  // 0: printf's text, not remembered
    raw_ = raw;
    return changed;
  }
  char *const end = text_ + sizeof text_;
  char *const start =
      units <= UINT32_MAX ? PanelDigits(end, uint32_t(units), decimals) : PanelDigits(end, units, decimals);
  length_ = size_t(end - start);
  decimals_ = q.decimals;
  // No caller's prefix has this address: the next Print prints.
  static const char kPrintedRaw[] = "";
  prefix_ = kPrintedRaw;
  rawKnown_ = true;
  raw_ = raw;
  return PanelTakeText(out, start, length_);
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
