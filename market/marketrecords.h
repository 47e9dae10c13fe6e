// The records of the market table: the instrument reference, the market
// description read from "..\cfg\mkinfo.cfg", the name-table entry and the
// per-instrument quote, finance, price-history and broker-queue records.
// Little-endian, fixed layout; the stored ones are read and written as is.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/datetime.h"

constexpr int kMaxMarkets = 48;
constexpr int kMaxStockKinds = 15;
constexpr int kMaxSessions = 4;
constexpr uint8_t kNoMarket = 255;
constexpr uint8_t kNoKind = 255;
constexpr uint16_t kNoStock = 0xFFFF;

#pragma pack(push, 1)

// One stock kind of a market: its trading sessions and day window in
// minutes of the market's clock day. The byte before the kind's fields is
// its no-order-book flag (set for index kinds: no bid and ask values, no
// broker queue).
struct MKKINDINFO {
  uint8_t noOrderBook;
  char name[8];  // the kind's name, also the name of its block
  uint8_t reserved8;
  uint8_t sessionCount;  // at most 4 are used
  uint16_t open[kMaxSessions];
  uint16_t close[kMaxSessions];  // exclusive
  uint8_t reserved26[65];
  uint16_t currentTradingMinute;  // working field, follows the market clock
  uint16_t minutesPerDay;         // working field, set when the market is built
  uint8_t reserved95[2];
  uint16_t dayStart;
  uint16_t dayEnd;  // exclusive
};
static_assert(sizeof(MKKINDINFO) == 102);

// One market, as a record of "..\cfg\mkinfo.cfg" (record i is market i).
struct MKINFO {
  uint8_t calendarKey;  // the key this market's own calendar questions use
  uint8_t type;         // 1..8: 1 and 6 stock-like, 2 futures, ...
  char name[15];
  char shortName[9];  // the market's data folder and the first word of "name code" texts
  char extension[11];  // extension of the market's table files
  int16_t hourOffset;  // market time = shared UTC clock + this many hours
  uint16_t stockCount;  // capacity of every per-stock array
  uint16_t kindCount;   // at most 15 are used
  MKKINDINFO kinds[kMaxStockKinds];
  uint8_t reserved1573[17];
};
static_assert(sizeof(MKINFO) == 1590);

// Name-table entry of one instrument; also the record of nametbl.<ext>.
struct STKINFO {
  uint8_t market;
  uint8_t kind;
  char code[7];
  char name[9];           // GBK
  uint32_t priceDivisor;  // stored prices are integers over this
  int32_t volumeUnit;     // lot size; 0 counts as 1
  uint8_t decimals;       // decimals the views print prices with
  uint8_t reserved27;
  uint16_t index;  // the entry's own stock index
  uint8_t reserved30[2];

  // What every price and volume is divided by: the divisor (1000 when the
  // entry holds 0) and the lot size (1 when the entry holds none).
  uint32_t PriceDivisor() const { return priceDivisor ? priceDivisor : 1000; }
  int32_t VolumeUnit() const { return volumeUnit > 0 ? volumeUnit : 1; }
};
static_assert(sizeof(STKINFO) == 32);

// Extended contract code of a futures instrument (record of nametble.<ext>):
// NUL-terminated only when shorter than 7 characters.
struct STKINFOEX {
  char code[7];
};
static_assert(sizeof(STKINFOEX) == 7);

struct QUOTELEVEL {
  uint32_t price;
  float volume;
};
static_assert(sizeof(QUOTELEVEL) == 8);

// Real-time quote of one instrument; also the record of real.<ext>.
struct REALQUOTE {
  uint32_t prevClose;
  uint32_t refPrice;  // previous settlement (the base of the change columns)
  float prevOpenInterest;  // types 2, 7, 8; the average daily volume for the others
  uint32_t open;
  uint32_t staticPrice;
  uint32_t settlement;
  uint32_t limitUp;
  uint32_t limitDown;
  uint16_t indexCounters[3];
  uint32_t high;
  uint32_t low;
  uint32_t last;  // 0 = no trade yet
  float volume;
  float amount;  // turnover for types 1 and 6, open interest for the others
  float lastVolume;
  float fastChange;
  uint32_t time;
  QUOTELEVEL bid[5];
  QUOTELEVEL ask[5];
  uint32_t barSettlement;
};
static_assert(sizeof(REALQUOTE) == 154);

// Financial record of a stock of markets 0 and 1; record of Finance.<ext>.
struct FINANCE {
  float netAssetsPerShare;
  float earningsPerShare;
  float projectedEarningsPerShare;
  float netProfit;  // this and the next four in units of 10,000
  float totalShares;
  float floatShares;
  float totalAssets;
  float totalLiabilities;
  float indexWeight;  // as a fraction
};
static_assert(sizeof(FINANCE) == 36);

// The last five trade, best-bid and best-ask prices before the newest quote,
// newest first; in memory only.
struct PRICEHIST {
  uint32_t trades[5];
  uint32_t bids[5];
  uint32_t asks[5];
};
static_assert(sizeof(PRICEHIST) == 60);

struct BROKERENTRY {
  uint8_t marker;  // 0: value is a broker number, else a price-level number
  uint16_t value;
};
static_assert(sizeof(BROKERENTRY) == 3);

// Broker queue (order-book levels) of one instrument; in memory only.
struct BROKERQUEUE {
  static constexpr int kSideEntries = 40;
  uint16_t count[2];  // first side, second side
  BROKERENTRY side[2][kSideEntries];

  // The number of entries of a side that may be read: the stored count
  // comes from the server and is never trusted past the 40 slots.
  int Count(int s) const {
    if (s < 0 || s > 1) return 0;
    return count[s] < kSideEntries ? count[s] : kSideEntries;
  }
};
static_assert(sizeof(BROKERQUEUE) == 244);

// Entry of selection and subscription lists.
struct STKMS {
  uint8_t market;
  uint16_t stock;
};
static_assert(sizeof(STKMS) == 3);

// Reference to one instrument, passed as one 32-bit word: the low byte is
// the market, then the stock kind, then the 16-bit stock index. The kind is
// never taken from the caller: every constructor looks it up in the
// market's name table (255 when there is no such market or stock).
//
// Copies are bytewise: records that hold a reference (the series agents
// among them) are kept in EArrays and files and copied as bytes, which a
// copy constructor of its own would forbid. So a copy keeps the kind it was
// made with, and a reference kept across a reload of its market's name
// table may carry a kind the instrument no longer has. Whoever decides by
// the kind looks it up again first (StockKindOf, or a fresh construction
// from market and stock, as RebuildAgents does); a reference read back
// from a word or a stored record is rebuilt with the constructors, which
// look the kind up again.
struct STKPTR {
  uint8_t market;
  uint8_t kind;
  uint16_t stock;

  // The empty reference (255, 255, 0xFFFF).
  STKPTR() : market(kNoMarket), kind(kNoKind), stock(kNoStock) {}
  // The kind argument is ignored.
  STKPTR(int market, int kind, int stock);
  explicit STKPTR(uint32_t word);

  uint32_t Word() const { return uint32_t(market) | uint32_t(kind) << 8 | uint32_t(stock) << 16; }
  bool IsNone() const { return market == kNoMarket || stock == kNoStock; }
};
static_assert(sizeof(STKPTR) == 4);
static_assert(std::is_trivially_copyable_v<STKPTR>);

#pragma pack(pop)

// References are compared by market and stock index only; the kind byte may
// be stale.
inline bool SameStock(const STKPTR &a, const STKPTR &b) {
  return a.market == b.market && a.stock == b.stock;
}
