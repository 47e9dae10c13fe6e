// What the order-entry panels share: the fields of each layout as manual
// orders read them (contract, price kind, volume with its spin range,
// price), the one contract the active panel holds, the price words and how
// each resolves from the live quote, and the tick arithmetic of the price
// spinners.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "market/marketrecords.h"
#include "platform/windef.h"
#include "trading/positions.h"

class TTradeDesk;
struct CContractInfo;

// The price words, in the order of the panels' price-kind lists.
enum : int { kWordOpposite = 0, kWordQueue = 1, kWordLast = 2, kWordLimitUp = 3, kWordLimitDown = 4 };
extern const char *const kPriceWords[5];

// The word a price field holds (its first 7 bytes equal the word with its
// NUL), or -1.
int PriceWordOf(const char *field);
// The field's text read as a number when it is above 0.0001, else 0.
double FieldPrice(const char *field);

// A word's price for a side; with useLastClose a 0 is replaced by the
// previous close (for the two book words only when both sides are 0).
double WordPrice(int word, bool buy, const TQuotePrices &quote, bool useLastClose);

// The price a spinner step gives (up or down), 0 when nothing changes: a
// contract without a positive tick, no price and an empty book.
double SpinPrice(const char *field, bool up, double tick, const TQuotePrices &quote, bool useLastClose);

// Whether price is a whole multiple of tick (within 0.0001). A tick not
// above 0 has no multiples.
bool IsTickMultiple(double price, double tick);

// A price printed with decimals clamped to 0..6.
std::string PriceWithDecimals(double price, int decimals);
// The same text after prefix into out, without printf and without a new
// buffer once out has room: the panels print on every quote. False when out
// held that text already (nothing to repaint).
bool PrintPriceWithDecimals(std::string &out, double price, int decimals, const char *prefix = "");

constexpr size_t kPanelPriceTextRoom = 48;

// Whether the n bytes at a and b are equal: the panels compare their texts
// on every quote.
// Prices and words are short: up to 16 bytes take two overlapping loads a
// side instead of a library call.
inline bool PanelSameBytes(const char *a, const char *b, size_t n) {
  if (n >= 8 && n <= 16) {
    uint64_t a0, b0, a1, b1;
    memcpy(&a0, a, 8);
    memcpy(&b0, b, 8);
    memcpy(&a1, a + n - 8, 8);
    memcpy(&b1, b + n - 8, 8);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
  }
  if (n >= 4 && n < 8) {
    uint32_t a0, b0, a1, b1;
    memcpy(&a0, a, 4);
    memcpy(&b0, b, 4);
    memcpy(&a1, a + n - 4, 4);
    memcpy(&b1, b + n - 4, 4);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
  }
  if (n < 4) {
    for (size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  return memcmp(a, b, n) == 0;
}

// One text that shows a price on every quote. It remembers the last price
// it printed, so that a quote leaving the price as it was costs a
// comparison of texts, not a print.
class TPriceText {
 public:
  // As PrintPriceWithDecimals; prefix is compared by address.
  bool Print(std::string &out, double price, int decimals, const char *prefix = "");
  // The same for a raw price of the quote q gives (q.Price(raw) with
  // q.decimals, no prefix): an unchanged raw price costs no division, and a
  // price of a power-of-ten divisor that the decimals show exactly is
  // printed from the integer.
  bool PrintRaw(std::string &out, uint32_t raw, const TQuoteScale &q);

 private:
  uint64_t bits_ = 0;  // the price's bits: -0 prints otherwise than 0
  int decimals_ = 0;
  const char *prefix_ = nullptr;
  size_t length_ = 0;  // 0: nothing remembered
  // What PrintRaw printed last: valid only while rawKnown_.
  bool rawKnown_ = false;
  uint32_t raw_ = 0;
  double divisor_ = 0;
  int divisorDigits_ = -1;  // divisor_ is 10 to this power; -1: not a power of ten
  char text_[kPanelPriceTextRoom];
};

// The fields of one layout's panel.
struct TOrderFields {
  std::string contract;
  int priceKind = 0;  // 0 "1.限价", 1 "3.市价"; -1 the layout has no such list
  std::string volume = "1";
  int spinMin = 1, spinMax = 10000, spinPosition = 1;
  std::string price;
  // A window handle the focus-back click lands on (the panel's tag).
  int focusTag = 0;
};

class TOrderPanel {
 public:
  explicit TOrderPanel(TTradeDesk &data);

  // The fields of the login's layout (layout 3 reads layout 0's).
  TOrderFields &Active();
  TOrderFields fields[3];
  // Label1005: the ordinary panel's hint line.
  std::string hint;
  COLORREF hintColour = 0;
  bool hintShown = false;

  // The instrument the active panel holds; none by default.
  STKPTR PanelContract;
  int OrdinaryPriceKind = 0;
  int KeyboardPriceKind = 0;

  // A price spinner of the active layout (up +1, down -1). Only a contract
  // of the table whose code is the field's text, with a positive tick, and
  // a limit order; the field gets the new price.
  bool SpinActivePrice(int delta);
  // The contract of the field, tradable (known, tick above 0), or null.
  const CContractInfo *TradableContract(const std::string &code) const;

 private:
  TTradeDesk &data_;
};
