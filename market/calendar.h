// Trading calendar and market time: which dates are trading days, where
// each stock kind's sessions lie in the market's clock day, how a clock
// minute maps to a trading-minute index and back, which date a kind trades
// for, and how market times are shown in the zone the user picked.
//
// The tables come from files the quote service downloads at login into
// "..\cfg\": hldy.ini (holidays), hldyex.ini (weekend trading days) and
// systime.dat (the time-zone table). Sessions are part of each market's
// MKINFO record. Everything here is plain computation on the GUI thread.
#pragma once

#include <cstdint>

#include "core/datetime.h"
#include "market/marketrecords.h"
#include "platform/windef.h"

class TMarketData;

// ---- Calendar ------------------------------------------------------------

constexpr int kMaxHolidays = 63;
constexpr int kMaxWeekendTradingDays = 127;

struct WeekendTradingDay {
  int32_t calendarKey;
  int32_t date;  // yyyymmdd
};

// Dates are decimal yyyymmdd numbers; each table ends with a 0 (a zero pair)
// after its last entry.
struct TradingCalendarTables {
  int32_t holidays[kMaxHolidays + 1];
  WeekendTradingDay weekendDays[kMaxWeekendTradingDays + 1];
};
extern TradingCalendarTables TradingCalendar;

// Clears both tables and reads "..\cfg\hldy.ini" [JJR] "1".."63" (stopping
// after the first 0) and "..\cfg\hldyex.ini" [WKND] "1".."127", values
// "yyyymmdd,key" (stopping at the first empty value or one without a comma).
void LoadHolidayLists();

// 1 when the date is not a trading day for the calendar key, else 0.
// Monday to Friday: a holiday only for the keys 0, 1, 3, 5 and 15; every
// other key trades. Saturday and Sunday: non-trading unless the weekend
// table lists this date with this key.
int IsNonTradingDay(const PackedDateTime *date, int calendarKey);

// 1 when month, day (leap years included), hour and minute are in range.
int IsValidPackedDate(const PackedDateTime *date);

// ---- Sessions ------------------------------------------------------------
// A kind outside 0..14 has no sessions; sessions past the fourth are not
// used, and a session whose close lies before its open counts as empty.

// Sum of (close - open) over the kind's sessions.
int TradingMinutesOfKind(const MKINFO *market, int kind);

// The trading-minute index of a minute of the clock day: 0 before the first
// open; the first half of a break counts as the last minute of the session
// before it, the second half as the first minute of the next; at or after
// the last close, the last index. 0 for a kind without trading minutes.
int ClockToTradingMinute(const MKINFO *market, int clockMinute, int kind);

// The clock minute at which a trading-minute index starts; an index at or
// past the day's minutes gives the last close - 1.
int TradingMinuteToClock(const MKINFO *market, int index, int kind);

// 1 when today (the market clock's date) is a trading day for the market's
// calendar key and day start <= current minute < day end.
int IsInDayWindow(const TMarketData *market, int kind);
// 1 when the market's current minute is at least day start + 2.
int IsPastDayStart(const TMarketData *market, int kind);
int IsPastDayStartAt(const TMarketData *market, int kind, int minute);
// 1 when open <= current minute < close for one of the kind's sessions.
int IsInSession(const TMarketData *market, int kind);

// The date a kind currently trades for (hour and minute clear): the market
// clock's date, one day earlier while the day start + 2 minutes has not
// passed, then back over the days the calendar key does not trade.
PackedDateTime ComputeTradingDate(const TMarketData *market, int kind, int calendarKey);

// ---- Time zones ----------------------------------------------------------

constexpr int kMaxTimeZones = 32;
constexpr int kZoneEntries = kMaxMarkets * kMaxStockKinds;  // 720

#pragma pack(push, 1)
struct ZONEENTRY {
  int8_t hourOffset;
  char name[32];  // GBK
};
static_assert(sizeof(ZONEENTRY) == 33);

// "..\cfg\systime.dat", exactly as stored.
struct SYSTIMEFILE {
  uint32_t zoneCount;
  uint32_t selectedZone;
  int8_t marketOffsets[kMaxMarkets];  // each market's offset from the zone list's reference
  ZONEENTRY entries[kZoneEntries];    // (market, kind), market-major
  ZONEENTRY zones[kMaxTimeZones];
};
static_assert(sizeof(SYSTIMEFILE) == 24872);
#pragma pack(pop)

// The file's image and the working entries every conversion reads.
struct SessionTimeTable {
  SYSTIMEFILE file;
  ZONEENTRY working[kZoneEntries];
};
// The one table of the program; zero until LoadSessionTimeTable reads it.
extern SessionTimeTable TimeZoneTable;

// Reads systime.dat (a missing file or one of another size leaves the
// table as it was), caps the zone count at 32 and selects the zone of the
// per-user "SETTING.INI" [Parameter] "TimeZone" (0 when it is not below the
// zone count).
void LoadSessionTimeTable(SessionTimeTable *table);

// Zone 0 puts the file's own entries in force; zone z > 0 gives every kind
// of market m the offset zone z - market m's own offset and zone z's name.
// The choice is kept and written to [Parameter] "TimeZone". A zone outside
// 0..zone count - 1 changes nothing.
void SelectTimeZone(SessionTimeTable *table, int zone);

// Shift a market time into the display zone and back, in place, stepping
// the date when the hour leaves 0..23. A market or kind out of range has
// offset 0.
void MarketTimeToLocal(const SessionTimeTable *table, int market, int kind, PackedDateTime *time);
void LocalTimeToMarket(const SessionTimeTable *table, int market, int kind, PackedDateTime *time);
PackedDateTime SystemTimeToMarketPacked(const SessionTimeTable *table, int market, int kind,
                                        const SYSTEMTIME *time);

// hour := (hour + offset + 48) mod 24; returns 1 when that lies on the
// previous day, 2 on the same day, 3 on the next day.
int ShiftHourByZone(const SessionTimeTable *table, int market, int kind, int *hour);

// Moves a date-time by a number of hours, stepping the date as often as
// the hour leaves 0..23.
void ShiftPackedHours(PackedDateTime *time, int hours);
