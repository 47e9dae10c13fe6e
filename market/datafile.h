// The local market-data cache: one set of plain record files per
// instrument under "..\data\<market>\", written when the quote server's
// answers arrive and read by the series agents, the charts and the request
// builders, so that charts open from disk at once and requests ask only for
// what is missing.
//
// Every path is built from the instrument's own code as the market table
// holds it, never from a code that came with an answer or a caller, and a
// code or market folder name that could leave its folder (a '\', '/', ':'
// or "..") is refused. Every count, offset and length taken from a file is
// checked against the file's size: whole records only, and a damaged trend
// history is cut back to its last good block.
//
// Intraday files (ticks, latest trades, today's trend) belong to one
// trading day: the first count or read after the day has changed deletes
// them. Their age is the file's last-write time, which the writers set from
// the shared UTC clock (the quote server's time), not the machine's.
//
// GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "core/datetime.h"
#include "market/marketrecords.h"
#include "market/records.h"

class TMarketData;

#pragma pack(push, 1)

// Head of today's trend file (.tr3), before the 48-byte minute records.
// Both reference values are used for the first minute when it has none of
// its own.
struct TRENDHEAD {
  float side0Volume;  // volume of buyer-initiated trades so far
  float side1Volume;  // volume of seller-initiated trades so far
  uint32_t refPrice;
  float refOpenInterest;
};
static_assert(sizeof(TRENDHEAD) == 16);

// One minute of a past day in the trend history (.ot3) and in a downloaded
// trend day. The three counters are carried by index instruments only.
struct TRENDITEM {
  uint32_t price;
  float volume;
  float amount;  // turnover for market types 1 and 6, open interest for the others
  int32_t leadingOffset;
  uint16_t advancing;
  uint16_t declining;
};
static_assert(sizeof(TRENDITEM) == 20);

// One advice record (.adv): a time key and the server's bytes.
struct ADVICEREC {
  uint32_t key;
  uint8_t body[104];
};
static_assert(sizeof(ADVICEREC) == 108);

#pragma pack(pop)

// ---- Paths ---------------------------------------------------------------

enum CacheKind : int {
  kCacheTicks,         // tick\<code>.tik      TICKREC of the current trading day
  kCacheRecentTrades,  // tick\<code>.nnt      TICKREC, the latest trades
  kCacheTodayTrend,    // tick\<code>.tr3      TRENDHEAD + TRENDREC
  kCacheMin1Bars,      // min1\<code>.m11      KLINEBAR
  kCacheMin5Bars,      // min\<code>.mi1       KLINEBAR
  kCacheMin60Bars,     // MIN60\<code>.hr1     KLINEBAR
  kCacheDayBars,       // day\<code>.da1       KLINEBAR
  kCacheTrendHistory,  // trend\<code>.ot3     header + one block per past day
  kCacheTrendDay,      // trend\<code><date>.ot3, one downloaded day (number = date)
  kCacheAdvice,        // advice\<code>.adv    ADVICEREC
  kCacheWeight,        // weight\<code>.wgt    the server's bytes
  kCacheBaseText,      // base\<code>.Txt      the server's text
  kCacheInfoIndex,     // base\<code><class>.idx, 256-byte records (number = class)
  kCacheInfoText,      // base\<code><class>.txt, text addressed by offsets
};

// The data-root prefix: the cache lies in "data" beside the shared
// configuration folder, above the program folder.
constexpr char kCacheRoot[] = "..\\";

// The most items one day of trend history may have: a whole day of 1440
// trading minutes and the opening slot.
constexpr int kTrendItemsLimit = kTrendSlotsPerDay;

// True when the text may be one component of a cache file name: not empty,
// no control byte, no '\', '/' or ':' and no "..".
bool IsSafeCacheName(const char *text);

// The path of one cache file of a stock of the market (its stock index in
// the market's name table). 1 on success; 0 for a stock outside the loaded
// entries, a code or market folder refused by IsSafeCacheName, or a path
// longer than the buffer (path is then empty).
int CacheFilePath(const TMarketData *market, int stock, CacheKind kind, char *path, int size,
                  uint32_t number = 0);
// The same for a code, looked up in the market's name table without regard
// to case; the path is built from the table's spelling of it.
int CacheFilePathForCode(const TMarketData *market, const char *code, CacheKind kind, char *path,
                         int size, uint32_t number = 0);
// The bar file kind of a bar base: 8 day, 7 60-minute, below 4 1-minute,
// any other 5-minute (the rule the bar answers are filed by).
CacheKind BarFileKindOfBase(int base);

// Sets a file's last-write time to the shared UTC clock (CurrentUtcTime,
// seconds 0). False when the file can't be opened or the clock is not a
// valid date.
bool StampWithServerClock(const char *path);

// ---- Requests the readers queue ------------------------------------------
// The readers ask the request queue for what the cache lacks. The queue
// lives above this file, so whoever owns it fills these in; an empty
// function asks nothing. Tags are the asker's receiver tag (never 0 here).
struct CacheRequestHooks {
  std::function<void(int market, int stock, uint32_t tag)> ticks;
  std::function<void(int market, int stock, uint32_t tag)> minuteTrend;
  std::function<void(int market, int stock, int count, uint32_t tag)> recentTrades;
  std::function<void(int market, int stock, PackedDateTime date, uint32_t tag)> trendHistory;
};
CacheRequestHooks &CacheRequests();

// ---- Intraday files: ticks (.tik), latest trades (.nnt), today's trend (.tr3)

// Deletes the file when it is stale: its last-write time in market time
// (the market's hour offset added) has another date than the market clock,
// or the market clock's date is a trading day, equals the stock kind's
// trading date, and the file was written before the kind's day-start
// minute. 1 when a file was deleted.
int PurgeStaleTickFile(const TMarketData *market, int stock);
int PurgeStaleRecentTrades(const TMarketData *market, int stock);
int PurgeStaleTrendFile(const TMarketData *market, int stock);

// Purge, then the number of whole records (size / 20; for .tr3
// (size - 16) / 48, 0 when shorter than its head). 0 for a missing file.
int32_t CountTicks(const TMarketData *market, int stock);
int32_t CountRecentTrades(const TMarketData *market, int stock);
int32_t CountTrendMinutes(const TMarketData *market, int stock);

// Purge, then read min(*count, records) records from the start; *count is
// set to the number read. 1 when the file was read, else 0 with *count 0.
int ReadTicks(const TMarketData *market, TICKREC *buffer, int stock, int32_t *count);
int ReadRecentTrades(const TMarketData *market, TICKREC *buffer, int stock, int32_t *count);
// The same for today's trend; needs the whole head, which goes to *head.
int ReadTrendMinutes(const TMarketData *market, TRENDREC *buffer, int stock, int32_t *count,
                     TRENDHEAD *head);

// Read the file of the stock (a STKPTR word) into a heap buffer (Malloc),
// growing it when it is smaller than the file's records (the old one is
// freed). With a tag the request for the file's kind is queued: when the
// file has no records (then the result is 1 with *count 0), and again after
// a read. 0 for a null buffer pointer, a stock not in the table, or a
// failed allocation (*count 0).
int LoadTicksFor(TICKREC **buffer, uint32_t stockWord, int32_t *count, uint32_t tag);
int LoadRecentTradesFor(TICKREC **buffer, uint32_t stockWord, int32_t *count, uint32_t tag);
int LoadTrendFor(TRENDREC **buffer, uint32_t stockWord, int32_t *count, TRENDHEAD *head, uint32_t tag);

// ---- Bar files ----------------------------------------------------------

// The newest bars of one bar file of the code: base 1 .m11, 4 .mi1, 7 .hr1,
// 8 .da1; any other base gives 0. With wanted 0 every bar is read, else
// min(bars, wanted - L - 16) (none when that is not positive), L being the
// market's longest trading day in minutes. A null *buffer is allocated
// (Malloc) with room for the bars read + L + 16; a given one holds
// `capacity` bars and never gets more (the newest ones are kept). A missing
// file reads 0 bars and succeeds. 1 on success, 0 for a bad argument, a
// code not in the table or a failed allocation or read.
int ReadBars(const TMarketData *market, KLINEBAR **buffer, const char *code, int32_t *count, int base,
             int wanted, int32_t capacity);

// The day bar whose time equals the date exactly, found by binary search
// in the day file: pair[1] gets it, pair[0] the bar before it; for the
// first bar of the file pair[0] is cleared and its close is the found
// bar's open. 1 when found.
int ReadDayBarAt(const TMarketData *market, const char *code, PackedDateTime date, KLINEBAR pair[2]);
// The same by market index, after checking the arguments.
int ReadDayBarPair(int market, const char *code, PackedDateTime date, KLINEBAR pair[2]);

// Merges n new bars into a bar file. Day-based bases (8 to 12) have hour
// and minute cleared; a bar of year 0 stops the merge before anything is
// written; a bar not later than the one kept before it is dropped. At most
// the newest MaxDataRecords stored bars are kept; on equal times the new
// bar replaces the stored one. The file is replaced whole and stamped with
// the shared clock. 1 on success; 0 when nothing was written (a failed
// read leaves the file as it was, a failed write deletes it).
int MergeBarsIntoFile(const char *path, const KLINEBAR *bars, int base, int n);

// The bar answer of a base for a stock: MergeBarsIntoFile into the file
// BarFileKindOfBase chooses, its folder created when missing.
int MergeBarAnswer(TMarketData *market, int stock, int base, const KLINEBAR *bars, int n);

// ---- Advice -------------------------------------------------------------

// Merges records in ascending key order into an advice file; records out
// of order refuse the whole call (0). New records that all come at or
// after the stored ones are appended; otherwise the newest 1024 stored
// records are merged with them (on equal keys the new one comes after) and
// the file is replaced by the newest 1024 of the result. 1 on success.
int MergeAdviceFile(const char *path, const ADVICEREC *records, int n);
int MergeAdviceAnswer(TMarketData *market, int stock, const ADVICEREC *records, int n);

// ---- Trend history (.ot3) -------------------------------------------------

// The items per day of the stock's trend history: its kind's trading
// minutes per day + 1; 0 when that exceeds kTrendItemsLimit.
int TrendItemsPerDay(const TMarketData *market, int stock);

// Finds one past day in the trend history and reads its items into the
// buffer (room for kTrendItemsLimit items); *count = items per day, *extra
// = the day's extra word of index instruments (0 for others). A header
// that does not fit the kind empties the file; a block with an invalid
// date or that can't be read is cut off with everything after it.
// Market types 2 and 8 get BackfillLeadingTrend. 1 when found.
int ReadTrendDay(const TMarketData *market, int stock, PackedDateTime date, TRENDITEM *buffer,
                 int32_t *count, uint32_t *extra);
// The same by STKPTR word; with a tag, a day that is not there is asked
// from the server.
int ReadDayTrend(uint32_t stockWord, PackedDateTime date, TRENDITEM *buffer, int32_t *count,
                 uint32_t *extra, uint32_t tag);

// Merges the downloaded day file of the date into the history: the block
// of that date is replaced, or inserted in date order; a history without
// blocks or with another header becomes the header and this block. A day
// short of items is completed from its last item (same price, no volume),
// and items without a price take the price before them. The history is
// replaced whole, so a failure leaves it as it was. The day file stays.
// 1 on success, 0 when the day file has no whole item or the write failed.
int MergeTrendDay(const TMarketData *market, int stock, PackedDateTime date);
int MergeTrendDayFor(uint32_t stockWord, PackedDateTime date);

// Market types 2 and 8: the items before the first one with volume take
// its open interest.
void BackfillLeadingTrend(const TMarketData *market, TRENDITEM *items, int n);

// ---- Answer writes ------------------------------------------------------
// Each takes the part's payload (the answer body after its fixed fields),
// the part index and whether it is the last part. A failed write deletes
// the file where the file must never be read half-written (ticks, latest
// trades, today's trend, weights, base text, information index). The
// results are the records (or bytes) written, or -1.

// Today's trend. The first part begins with the 16-byte head and replaces
// the last stored minute; later parts append. Items are 32-byte records for index
// instruments and 40-byte ones for the others, stored as TRENDREC. Stamped.
int WriteTrendAnswerPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                         bool lastPart);
// Latest trades: part 0 deletes the file; 20-byte records appended.
int WriteRecentTradesPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                          bool lastPart);
// Ticks: 20-byte records appended. Stamped.
int WriteTicksPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                   bool lastPart);
// One past day of trend. The first part creates the day file; every part
// of an index instrument begins with the day's extra word (the first one
// is kept). Items are
// 20-byte (index) or 12-byte (price, volume, amount) records, stored as
// TRENDITEM; an item priced below 1 or with volume below 1 repeats the
// item before it. A last part with items merges the day into the history
// and deletes the day file.
int WriteTrendDayPart(TMarketData *market, int stock, PackedDateTime date, int part, const void *data,
                      int32_t length, bool lastPart);
// Weights: appended; the last part stamps.
int WriteWeightPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                    bool lastPart);
// Base text: part 0 replaces the content, later parts append; the last
// part stamps.
int WriteBaseTextPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                      bool lastPart);
// Information index of a class: whole 256-byte records appended (a
// remainder is not written); the last part stamps.
int WriteInfoIndexPart(TMarketData *market, int stock, int infoClass, int part, const void *data,
                       int32_t length, bool lastPart);
// Information text of a class at a start offset: part 0 resets *written and
// pads a shorter file with zero bytes up to the offset; each part is
// written at offset + *written, which then grows. Offsets beyond
// kInfoTextOffsetLimit are refused.
constexpr int32_t kInfoTextOffsetLimit = 64 * 1024 * 1024;
int WriteInfoTextPart(TMarketData *market, int stock, int infoClass, uint32_t offset, int part,
                      const void *data, int32_t length, int32_t *written);

// When the quote's cumulative volume is below the volume of the newest
// record of an intraday file, the quote takes that volume and the record's
// price as its last price. The writers above do it after their last part.
void BringQuoteForward(TMarketData *market, int stock, uint32_t price, float cumulativeVolume);
