// An offline market data set written from one readable description: the
// markets and their kinds and sessions, the instruments, the trading
// calendar, the time zones, the shared and user blocks and the news
// headlines. The same description feeds the tests, the quote-service double
// and the offline demo, so everything here is plain data and every series
// is a pure function of the description: the same description gives the
// same bars, trends, ticks and quotes byte for byte, on disk or on the wire.
//
// Prices follow deterministic pseudo-random walks on the trading days of
// the description's own calendar (high >= max(open, close) >= min(open,
// close) >= low, whole price ticks). Day bars cover the completed trading
// days before each kind's trading date; the last few of them, and the
// trading date itself up to the description's clock, also have minute bars
// and trends. The day being traded is in the intraday files, the minute
// bars and the quote, not in the day file.
//
// Text fields are GBK, as every narrow literal of our sources is.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/datetime.h"
#include "market/datafile.h"
#include "market/marketrecords.h"
#include "market/records.h"

namespace market_fixture {

// ---- The description -------------------------------------------------------

struct KindDesc {
  std::string name;                           // at most 7 bytes
  std::vector<std::pair<int, int>> sessions;  // {open, close} minutes of the clock day: 1 to 4, rising, closing by 1439
  int dayStart = 0;                           // day window, minutes of the clock day
  int dayEnd = 1440;
  bool noOrderBook = false;  // index kinds: no bid and ask values
};

struct InstrumentDesc {
  std::string code;      // at most 6 bytes; also the cache file name
  std::string name;      // at most 8 bytes
  int kind = 0;          // index into the market's kinds
  std::string contract;  // futures markets: the full contract code, at most 7 bytes
  uint32_t priceDivisor = 1000;
  int decimals = 2;           // prices move in steps of priceDivisor / 10^decimals
  double priceTick = 0;       // futures: the contract's price tick, in price units; 0: the step above
  int32_t volumeUnit = 1;     // lot size
  double price = 10.0;        // where the walk starts, in price units
  double volatility = 0.015;  // of a day's close, as a fraction
  double dayVolume = 1e6;     // a typical day's volume, raw units
  // Turnover of one unit of volume; 0 takes the bar's average price.
  // Indices trade their member stocks, not their points.
  double tradePrice = 0;
  double openInterest = 0;  // where the open interest starts; 0 keeps none
  // Writes day bars, 1-, 5- and 60-minute bars, the trend history, today's
  // trend and ticks. Every instrument gets its name entry and quote.
  bool history = false;
};

// The raw units an instrument's price moves by: its price tick, or the
// smallest step its decimals allow.
uint32_t PriceStepUnits(const InstrumentDesc &in);

struct MarketDesc {
  std::string name;       // at most 14 bytes
  std::string shortName;  // at most 8 bytes: the data folder and the "SH 600000" word
  std::string extension;  // at most 10 bytes
  uint8_t type = 1;       // 1 and 6 stock-like, 2 futures, ...
  uint8_t calendarKey = 0;
  int16_t hourOffset = 8;  // market time = UTC + this many hours
  uint16_t capacity = 0;   // stock count of the record; at least the instruments
  std::vector<KindDesc> kinds;
  std::vector<InstrumentDesc> instruments;
};

struct ZoneDesc {
  std::string name;  // at most 31 bytes
  int hourOffset;    // from the reference zone (the first zone)
};

struct BlockDesc {
  std::string name;                  // at most 15 bytes
  std::vector<std::string> members;  // "<market short name> <code>"
};

struct BlockFileDesc {
  // Without [FileInfo]: one line per member, alternately "<short> <code>"
  // and "<two-digit market index>  <code>". The reader rewrites such a file
  // in the current form.
  bool olderForm = false;
  std::vector<BlockDesc> blocks;
};

struct NewsDesc {
  uint32_t id;
  uint32_t type;  // 1 or more
  // Market 0's clock; only month, day, hour and minute (and two digits of
  // the year) reach the index.
  PackedDateTime time;
  std::string title;  // at most 79 bytes
  std::string text;   // the item's text file; none when empty
};

struct DataSetDesc {
  // The clock the data set is written for (UTC, to the minute): it fixes
  // every kind's trading date and how far today has traded, and it is the
  // last-write time of every cache file, so the intraday files belong to
  // the trading day this clock is in.
  PackedDateTime utcNow = 0;
  uint32_t seed = 1;
  int dayBars = 320;            // completed trading days of day bars
  int minuteDays = 3;           // of those, the latest with minute bars and a trend day
  int referenceHourOffset = 8;  // the first zone's UTC offset; a market's own offset is measured from it
  int maxDataRecords = 15000;
  std::vector<MarketDesc> markets;                      // market i is record i of mkinfo.cfg
  std::vector<int> holidays;                            // yyyymmdd, at most 63
  std::vector<std::pair<int, int>> weekendTradingDays;  // {yyyymmdd, calendar key}, at most 127
  std::vector<ZoneDesc> zones;                          // at most 32
  BlockFileDesc sharedBlocks;                           // "cfg/blocks.ini"
  BlockFileDesc userBlocks;                             // "user/blocks.ini"
  std::vector<NewsDesc> news;
};

// Four markets as they come from the quote service: market 0 "SH" and
// market 1 "SZ" stock-like with an index kind, market 2 "WH" foreign
// exchange that also trades on listed weekend days, market 3 "QH"
// commodity futures with a night session (its clock runs 11 hours ahead of
// UTC, so the night session opens its clock day) and full contract codes.
// Each market's calendar key is its index. Five instruments have full
// history: the SH index 000001, the stocks SH 600000 and SZ 000001, the
// pair WH EURUSD and the contract QH CU05. Holidays of 2022-2024, weekend
// trading days of the foreign-exchange key, four time zones, a shared block
// file in the older form, user blocks and news headlines, half of them with
// a text.
DataSetDesc StandardDataSet(PackedDateTime utcNow);


// ---- What the description makes ------------------------------------------

// The calendar rule of the terminal applied to the description's lists:
// weekdays trade unless a holiday listed for keys 0, 1, 3, 5 and 15;
// weekends trade only where listed with the key.
bool IsTradingDay(const DataSetDesc &desc, PackedDateTime date, int calendarKey);
// UTC now moved to the market's clock.
PackedDateTime MarketClock(const DataSetDesc &desc, int market);
// The date a kind trades for at the clock (hour and minute clear).
PackedDateTime TradingDateOf(const DataSetDesc &desc, int market, int kind);

// The records of a market as the files hold them.
MKINFO MarketRecord(const DataSetDesc &desc, int market);
std::vector<STKINFO> NameTable(const DataSetDesc &desc, int market);
std::vector<STKINFOEX> ContractTable(const DataSetDesc &desc, int market);

struct DayMinutes {
  PackedDateTime date;
  std::vector<KLINEBAR> minutes;  // one per trading minute, stamped with its end minute
};

struct InstrumentSeries {
  std::vector<KLINEBAR> days;        // completed trading days, oldest first
  std::vector<DayMinutes> pastDays;  // the latest minuteDays of them, minute by minute
  DayMinutes today;                  // the trading date, up to the clock
  REALQUOTE quote;                   // today's quote at the clock
  FINANCE finance;                   // markets 0 and 1; zero for indices
  bool turnover;                     // the amount field is turnover (types 1, 6), else open interest
  bool index;                        // index instrument: kind 0 of markets 0 and 1
};
// Throws std::out_of_range for a market or instrument the description lacks
// and std::invalid_argument when the instrument, its kind or the day counts
// break the limits WriteDataSet checks.
InstrumentSeries BuildSeries(const DataSetDesc &desc, int market, int instrument);

// The simulated broker's script statements ("price cu2402 69010", one a
// line) that move its market to the last prices the data set quotes for the
// shared futures contracts, so both doubles start at the same prices.
std::string BrokerPriceStatements(const DataSetDesc &desc);

// Bars of n minutes each, grouped within each day (the last group of a day
// may be short), past days first and today last.
std::vector<KLINEBAR> GroupMinuteBars(const InstrumentSeries &series, int n);
// One day's trend items: the opening slot, then one per trading minute
// (cumulative volume, turnover or open interest, index counters).
std::vector<TRENDITEM> TrendItems(const InstrumentSeries &series, const DayMinutes &day);
// One past day as the multi-day trend history holds it: the same items with
// the volume (and a turnover market's amount) per minute; the opening slot
// keeps its own values.
std::vector<TRENDITEM> PastDayTrendItems(const InstrumentSeries &series, const DayMinutes &day);
// Today's trend file: its head and the opening slot and traded minutes.
TRENDHEAD TodayTrendHead(const InstrumentSeries &series);
std::vector<TRENDREC> TodayTrend(const InstrumentSeries &series);
// One trade per traded minute today, with cumulative volume.
std::vector<TICKREC> TodayTicks(const InstrumentSeries &series);

// ---- Writing -------------------------------------------------------------

// Writes the data set below root (a POSIX folder): "cfg" (mkinfo.cfg,
// systime.dat, hldy.ini, hldyex.ini, SETTING.INI, blocks.ini, UserPath.INI
// naming "user"), "user" (SETTING.INI as the first run copies it,
// blocks.ini) and "data" (per market nametbl, nametble for futures, real,
// Finance for markets 0 and 1, the history instruments' cache files, and
// "info" with news.ntl and the news texts). Files of the data set that are
// there already are replaced. The program folder beside them is not
// touched. A description that breaks a limit of the files, names a block
// member that is not in it or repeats a news identifier throws
// std::invalid_argument before anything is written; a file that can't be
// written throws std::runtime_error.
void WriteDataSet(const DataSetDesc &desc, const std::string &root);

}  // namespace market_fixture
