#include "market/calendar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/efile.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"

TradingCalendarTables TradingCalendar;
SessionTimeTable TimeZoneTable;

namespace {

constexpr const char kHolidayFile[] = "..\\cfg\\hldy.ini";
constexpr const char kWeekendFile[] = "..\\cfg\\hldyex.ini";
constexpr const char kSessionTimeFile[] = "..\\cfg\\systime.dat";

int DecimalDate(PackedDateTime d) {
  return int(PackedYear(d)) * 10000 + int(PackedMonth(d)) * 100 + int(PackedDay(d));
}

// Zeller's congruence, January and February counted as months 13 and 14 of
// the year before; 0 Sunday ... 6 Saturday. Kept non-negative for any field
// values so that a damaged date still gets an answer.
int ZellerWeekday(PackedDateTime d) {
  int year = int(PackedYear(d));
  int month = int(PackedMonth(d));
  int day = int(PackedDay(d));
  if (month < 3) {
    month += 12;
    year -= 1;
  }
  int k = ((year % 100) + 100) % 100;
  int j = year >= 0 ? year / 100 : 0;
  int h = (day + 13 * (month + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 = Saturday
  return (h + 6) % 7;
}

bool KeyUsesHolidays(int key) { return key == 0 || key == 1 || key == 3 || key == 5 || key == 15; }

// The kind's sessions in use: at most four, a close before its open taken
// as the open (an empty session).
struct Sessions {
  int count = 0;
  int open[kMaxSessions];
  int close[kMaxSessions];
};

Sessions SessionsOf(const MKINFO *market, int kind) {
  Sessions s;
  if (!market || kind < 0 || kind >= kMaxStockKinds) return s;
  const MKKINDINFO &k = market->kinds[kind];
  s.count = k.sessionCount < kMaxSessions ? k.sessionCount : kMaxSessions;
  for (int i = 0; i < s.count; ++i) {
    s.open[i] = k.open[i];
    s.close[i] = k.close[i] > k.open[i] ? k.close[i] : k.open[i];
  }
  return s;
}

int TotalMinutes(const Sessions &s) {
  int sum = 0;
  for (int i = 0; i < s.count; ++i) sum += s.close[i] - s.open[i];
  return sum;
}

const MKKINDINFO *KindOf(const TMarketData *market, int kind) {
  if (!market || kind < 0 || kind >= kMaxStockKinds) return nullptr;
  return &market->m_info.kinds[kind];
}

int WorkingOffset(const SessionTimeTable *table, int market, int kind) {
  if (!table || market < 0 || market >= kMaxMarkets || kind < 0 || kind >= kMaxStockKinds) return 0;
  return table->working[market * kMaxStockKinds + kind].hourOffset;
}

void CopyZoneName(char *to, const char *from) {
  size_t n = strnlen(from, sizeof(ZONEENTRY::name) - 1);
  std::memcpy(to, from, n);
  std::memset(to + n, 0, sizeof(ZONEENTRY::name) - n);
}

void SettingPath(char *path, size_t size) { std::snprintf(path, size, "%sSETTING.INI", UserDataPath); }

}  // namespace

// ---- Calendar ------------------------------------------------------------

void LoadHolidayLists() {
  std::memset(&TradingCalendar, 0, sizeof TradingCalendar);
  char key[16];
  for (int i = 1; i <= kMaxHolidays; ++i) {
    std::snprintf(key, sizeof key, "%u", unsigned(i));
    int date = int(GetPrivateProfileIntA("JJR", key, 0, kHolidayFile));
    TradingCalendar.holidays[i - 1] = date;
    if (date == 0) break;
  }
  for (int i = 1; i <= kMaxWeekendTradingDays; ++i) {
    std::snprintf(key, sizeof key, "%u", unsigned(i));
    char value[16] = {};
    GetPrivateProfileStringA("WKND", key, "", value, sizeof value, kWeekendFile);
    char *comma = std::strchr(value, ',');
    if (value[0] == 0 || !comma) break;
    *comma = 0;
    TradingCalendar.weekendDays[i - 1].date = int32_t(std::strtol(value, nullptr, 10));
    TradingCalendar.weekendDays[i - 1].calendarKey = int32_t(std::strtol(comma + 1, nullptr, 10));
  }
}

int IsNonTradingDay(const PackedDateTime *date, int calendarKey) {
  if (!date) return 1;
  int weekday = ZellerWeekday(*date);
  int decimal = DecimalDate(*date);
  if (weekday >= 1 && weekday <= 5) {
    if (!KeyUsesHolidays(calendarKey)) return 0;
    for (int i = 0; i < kMaxHolidays && TradingCalendar.holidays[i] != 0; ++i)
      if (TradingCalendar.holidays[i] == decimal) return 1;
    return 0;
  }
  for (int i = 0; i < kMaxWeekendTradingDays; ++i) {
    const WeekendTradingDay &w = TradingCalendar.weekendDays[i];
    if (w.calendarKey == 0 && w.date == 0) break;
    if (w.calendarKey == calendarKey && w.date == decimal) return 0;
  }
  return 1;
}

int IsValidPackedDate(const PackedDateTime *date) {
  if (!date) return 0;
  unsigned year = PackedYear(*date), month = PackedMonth(*date), day = PackedDay(*date);
  if (month < 1 || month > 12 || day < 1) return 0;
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned length = kDays[month - 1];
  if (month == 2 && (year % 400 == 0 || (year % 4 == 0 && year % 100 != 0))) length = 29;
  return day <= length && PackedHour(*date) <= 23 && PackedMinute(*date) <= 59;
}

// ---- Sessions ------------------------------------------------------------

int TradingMinutesOfKind(const MKINFO *market, int kind) { return TotalMinutes(SessionsOf(market, kind)); }

int ClockToTradingMinute(const MKINFO *market, int m, int kind) {
  Sessions s = SessionsOf(market, kind);
  int total = TotalMinutes(s);
  if (total <= 0) return 0;
  int sum = 0;
  for (int i = 0; i < s.count; ++i) {
    if (m <= s.open[i]) break;
    if (m < s.close[i]) {
      sum += m - s.open[i];
      break;
    }
    if (i + 1 < s.count && m < (s.close[i] + s.open[i + 1]) / 2) {
      // The first half of a break still shows the session before it.
      sum += s.close[i] - s.open[i] - 1;
      break;
    }
    sum += s.close[i] - s.open[i];
  }
  if (sum < 0) sum = 0;
  return sum < total ? sum : total - 1;
}

int TradingMinuteToClock(const MKINFO *market, int index, int kind) {
  Sessions s = SessionsOf(market, kind);
  if (s.count == 0) return 0;
  int total = TotalMinutes(s);
  int c = index < total ? index : total - 1;
  if (c < 0) c = 0;
  for (int i = 0; i < s.count; ++i) {
    int length = s.close[i] - s.open[i];
    if (c < length) return s.open[i] + c;
    c -= length;
  }
  return s.close[s.count - 1] - 1;
}

int IsPastDayStartAt(const TMarketData *market, int kind, int minute) {
  const MKKINDINFO *k = KindOf(market, kind);
  return k && minute >= int(k->dayStart) + 2;
}

int IsPastDayStart(const TMarketData *market, int kind) {
  return market ? IsPastDayStartAt(market, kind, market->m_currentMinute) : 0;
}

int IsInDayWindow(const TMarketData *market, int kind) {
  const MKKINDINFO *k = KindOf(market, kind);
  if (!k) return 0;
  PackedDateTime today = market->m_currentTime & kPackedDateMask;
  if (IsNonTradingDay(&today, market->m_info.calendarKey)) return 0;
  return market->m_currentMinute >= k->dayStart && market->m_currentMinute < k->dayEnd;
}

int IsInSession(const TMarketData *market, int kind) {
  if (!market) return 0;
  Sessions s = SessionsOf(&market->m_info, kind);
  int now = market->m_currentMinute;
  for (int i = 0; i < s.count; ++i)
    if (now >= s.open[i] && now < s.close[i]) return 1;
  return 0;
}

PackedDateTime ComputeTradingDate(const TMarketData *market, int kind, int calendarKey) {
  if (!market) return 0;
  PackedDateTime date = market->m_currentTime & kPackedDateMask;
  if (!IsValidPackedDate(&date)) return date;
  if (!IsPastDayStart(market, kind)) PackedPreviousDayInPlace(&date);
  // Weekdays stop a calendar from running back far: at most 63 holidays
  // and the weekends between them. The bound only guards against a table
  // that somehow closes every day.
  for (int step = 0; step < 800 && IsNonTradingDay(&date, calendarKey); ++step)
    PackedPreviousDayInPlace(&date);
  return date;
}

// ---- Time zones ----------------------------------------------------------

void ShiftPackedHours(PackedDateTime *time, int hours) {
  if (!time) return;
  int hour = int(PackedHour(*time)) + hours;
  PackedDateTime t = *time;
  while (hour > 23) {
    PackedNextDayInPlace(&t);
    hour -= 24;
  }
  while (hour < 0) {
    PackedPreviousDayInPlace(&t);
    hour += 24;
  }
  *time = (t & ~PackedDateTime(0x1F << 6)) | PackedDateTime(hour) << 6;
}

void LoadSessionTimeTable(SessionTimeTable *table) {
  if (!table) return;
  int32_t file = FileOpen(kSessionTimeFile, "rb");
  if (file > 0) {
    // Only a file of exactly the table's size is taken; anything else is
    // damaged or of another version and leaves the table as it was.
    if (FileSize(file) == int32_t(sizeof(SYSTIMEFILE))) {
      SYSTIMEFILE image;
      if (FileRead(file, &image, sizeof image, 1) == int32_t(sizeof image)) table->file = image;
    }
    FileClose(file);
  }
  if (table->file.zoneCount > kMaxTimeZones) table->file.zoneCount = kMaxTimeZones;
  char path[MAX_PATH + 32];
  SettingPath(path, sizeof path);
  UINT zone = GetPrivateProfileIntA("Parameter", "TimeZone", 0, path);
  if (zone >= table->file.zoneCount) zone = 0;
  table->file.selectedZone = zone;
  SelectTimeZone(table, int(zone));
}

void SelectTimeZone(SessionTimeTable *table, int zone) {
  if (!table || zone < 0 || uint32_t(zone) >= table->file.zoneCount || zone >= kMaxTimeZones) return;
  if (zone == 0) {
    for (int i = 0; i < kZoneEntries; ++i) {
      table->working[i].hourOffset = table->file.entries[i].hourOffset;
      CopyZoneName(table->working[i].name, table->file.entries[i].name);
    }
  } else {
    const ZONEENTRY &z = table->file.zones[zone];
    for (int m = 0; m < kMaxMarkets; ++m) {
      for (int k = 0; k < kMaxStockKinds; ++k) {
        ZONEENTRY &w = table->working[m * kMaxStockKinds + k];
        w.hourOffset = int8_t(z.hourOffset - table->file.marketOffsets[m]);
        CopyZoneName(w.name, z.name);
      }
    }
  }
  table->file.selectedZone = uint32_t(zone);
  char path[MAX_PATH + 32], value[16];
  SettingPath(path, sizeof path);
  std::snprintf(value, sizeof value, "%d", zone);
  WritePrivateProfileStringA("Parameter", "TimeZone", value, path);
}

void MarketTimeToLocal(const SessionTimeTable *table, int market, int kind, PackedDateTime *time) {
  ShiftPackedHours(time, WorkingOffset(table, market, kind));
}

void LocalTimeToMarket(const SessionTimeTable *table, int market, int kind, PackedDateTime *time) {
  ShiftPackedHours(time, -WorkingOffset(table, market, kind));
}

PackedDateTime SystemTimeToMarketPacked(const SessionTimeTable *table, int market, int kind,
                                        const SYSTEMTIME *time) {
  if (!time) return 0;
  PackedDateTime packed = MakePackedDateTime(time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute);
  MarketTimeToLocal(table, market, kind, &packed);
  return packed;
}

int ShiftHourByZone(const SessionTimeTable *table, int market, int kind, int *hour) {
  if (!hour) return 2;
  int v = *hour + WorkingOffset(table, market, kind) + 48;
  if (v < 0) v = 0;  // only an hour far out of range gets here
  *hour = v % 24;
  return v / 24;
}
