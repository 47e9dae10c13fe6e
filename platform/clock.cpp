#include "platform/clock.h"

#include "platform/kernel.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace platform {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kTicksPerDay = kTicksPerSecond * kSecondsPerDay;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysTo1970 = 134774;
// The last instant a FILETIME can hold (its top bit must stay clear).
constexpr int64_t kMaxFileTime = INT64_MAX;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

// By 400-year eras whose years start on 1 March so that the leap day comes
// last.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = FloorDiv(year, 400);
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t &year, int &month, int &day) {
  days += 719468;
  const int64_t era = FloorDiv(days, 146097);
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  year = yearOfEra + era * 400 + (month <= 2);
}

namespace {

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// 0 = Sunday, as SYSTEMTIME counts.
int WeekdayOfDays1970(int64_t days) { return int(days + 4 - FloorDiv(days + 4, 7) * 7); }

bool ValidSystemTime(const SYSTEMTIME &st) {
  return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 &&
         st.wDay >= 1 && st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 &&
         st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

// FILETIME units of a valid SYSTEMTIME; the day of week is not looked at.
int64_t TicksFromSystemTime(const SYSTEMTIME &st) {
  const int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kDaysTo1970;
  const int64_t seconds = days * kSecondsPerDay + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
  return seconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMs;
}

// ticks must lie in 0..kMaxFileTime.
SYSTEMTIME SystemTimeFromTicks(int64_t ticks) {
  const int64_t days1601 = ticks / kTicksPerDay;
  const int64_t rest = ticks % kTicksPerDay;
  const int64_t days1970 = days1601 - kDaysTo1970;
  int64_t year;
  int month, day;
  CivilFromDays(days1970, year, month, day);
  SYSTEMTIME st{};
  st.wYear = WORD(year);
  st.wMonth = WORD(month);
  st.wDay = WORD(day);
  st.wDayOfWeek = WORD(WeekdayOfDays1970(days1970));
  st.wHour = WORD(rest / (3600 * kTicksPerSecond));
  st.wMinute = WORD(rest / (60 * kTicksPerSecond) % 60);
  st.wSecond = WORD(rest / kTicksPerSecond % 60);
  st.wMilliseconds = WORD(rest / kTicksPerMs % 1000);
  return st;
}

int64_t TicksFromFileTime(const FILETIME &ft) {
  return int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME FileTimeFromTicks(int64_t ticks) {
  return FILETIME{DWORD(uint64_t(ticks)), DWORD(uint64_t(ticks) >> 32)};
}

bool InFileTimeRange(int64_t ticks) { return ticks >= 0 && ticks <= kMaxFileTime; }

time_t UnixSeconds(int64_t ticks) {
  return time_t(FloorDiv(ticks - kFileTimeUnixEpoch, kTicksPerSecond));
}

void CopyZoneName(WCHAR (&to)[32], const char *from) {
  size_t i = 0;
  for (; from && from[i] && i < 31; ++i) to[i] = WCHAR(static_cast<unsigned char>(from[i]));
  to[i] = 0;
}

// A moment of a daylight rule in the form the zone record keeps it: the
// month, the weekday and its occurrence in the month (5 = the last one).
SYSTEMTIME RuleFromLocal(time_t local) {
  tm parts{};
  gmtime_r(&local, &parts);
  SYSTEMTIME rule{};
  rule.wMonth = WORD(parts.tm_mon + 1);
  rule.wDayOfWeek = WORD(parts.tm_wday);
  const int daysInMonth = DaysInMonth(parts.tm_year + 1900, parts.tm_mon + 1);
  rule.wDay = WORD(parts.tm_mday + 7 > daysInMonth ? 5 : (parts.tm_mday - 1) / 7 + 1);
  rule.wHour = WORD(parts.tm_hour);
  rule.wMinute = WORD(parts.tm_min);
  rule.wSecond = WORD(parts.tm_sec);
  return rule;
}

// The wall-clock moment (seconds since 1970 as if UTC) at which a zone rule
// takes effect in the given year; false when the rule does not apply then.
bool RuleMomentInYear(const SYSTEMTIME &rule, int64_t year, int64_t &local) {
  if (rule.wMonth < 1 || rule.wMonth > 12) return false;
  int day;
  const int daysInMonth = DaysInMonth(year, rule.wMonth);
  if (rule.wYear == 0) {
    const int firstWeekday = WeekdayOfDays1970(DaysFromCivil(year, rule.wMonth, 1));
    const int occurrence = rule.wDay < 1 ? 1 : (rule.wDay > 5 ? 5 : rule.wDay);
    day = 1 + (rule.wDayOfWeek % 7 - firstWeekday + 7) % 7 + 7 * (occurrence - 1);
    while (day > daysInMonth) day -= 7;
  } else {
    if (rule.wYear != year || rule.wDay < 1 || rule.wDay > daysInMonth) return false;
    day = rule.wDay;
  }
  local = DaysFromCivil(year, rule.wMonth, day) * kSecondsPerDay + rule.wHour * 3600 +
          rule.wMinute * 60 + rule.wSecond;
  return true;
}

struct ZoneProbe {
  long offset;
  bool daylight;
};

ZoneProbe ProbeProcessZone(time_t at) {
  tm parts{};
  if (!localtime_r(&at, &parts)) return {0, false};
  return {parts.tm_gmtoff, parts.tm_isdst > 0};
}

ClockSource &RealClock() {
  static ClockSource *real = new ClockSource;  // lives past static destruction
  return *real;
}

std::atomic<ClockSource *> g_installed{nullptr};
std::atomic<uint64_t> g_sourceChanges{0};

}  // namespace

ClockSource::~ClockSource() = default;

int64_t ClockSource::UtcNow100ns() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return kFileTimeUnixEpoch + int64_t(now.tv_sec) * kTicksPerSecond + now.tv_nsec / 100;
}

uint64_t ClockSource::TickMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

void ClockSource::Sleep(DWORD ms) {
  if (ms == 0) {
    std::this_thread::yield();
  } else if (ms == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  } else {
    // Sleeping still answers messages other threads send, so that a worker
    // sending to a sleeping GUI thread never deadlocks.
    SleepServingSends(ms);
  }
}

BOOL ClockSource::SetSystemTimeUtc(const SYSTEMTIME &) {
  SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return FALSE;
}

BOOL ClockSource::SetTimeZone(const TIME_ZONE_INFORMATION &) {
  SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return FALSE;
}

int32_t ClockSource::UtcOffsetSeconds(int64_t utc100ns) {
  return int32_t(ProbeProcessZone(UnixSeconds(utc100ns)).offset);
}

DWORD ClockSource::TimeZone(TIME_ZONE_INFORMATION &zone) {
  tzset();
  zone = {};
  CopyZoneName(zone.StandardName, tzname[0]);
  CopyZoneName(zone.DaylightName, tzname[1]);
  const time_t now = UnixSeconds(UtcNow100ns());
  const ZoneProbe current = ProbeProcessZone(now);
  tm nowParts{};
  localtime_r(&now, &nowParts);
  const int64_t year = nowParts.tm_year + 1900;

  // The process zone is known only by its offsets, so walk this year a day at
  // a time and narrow each change of daylight time down to the second.
  const time_t yearStart = time_t(DaysFromCivil(year, 1, 1) * kSecondsPerDay);
  const time_t yearEnd = time_t(DaysFromCivil(year + 1, 1, 1) * kSecondsPerDay);
  bool haveStart = false, haveEnd = false;
  time_t daylightStart = 0, daylightEnd = 0;
  long standardOffset = current.offset, daylightOffset = current.offset;
  ZoneProbe previous = ProbeProcessZone(yearStart - kSecondsPerDay);
  for (time_t day = yearStart; day <= yearEnd + kSecondsPerDay; day += kSecondsPerDay) {
    const ZoneProbe probe = ProbeProcessZone(day);
    if (probe.daylight != previous.daylight) {
      time_t before = day - kSecondsPerDay, after = day;
      while (after - before > 1) {
        const time_t middle = before + (after - before) / 2;
        (ProbeProcessZone(middle).daylight == previous.daylight ? before : after) = middle;
      }
      const ZoneProbe changed = ProbeProcessZone(after);
      const time_t localBefore = after + previous.offset;
      if (localBefore >= yearStart && localBefore < yearEnd) {
        if (changed.daylight && !haveStart) {
          haveStart = true;
          daylightStart = localBefore;  // in standard time
          standardOffset = previous.offset;
          daylightOffset = changed.offset;
        } else if (!changed.daylight && !haveEnd) {
          haveEnd = true;
          daylightEnd = localBefore;  // in daylight time
        }
      }
    }
    previous = probe;
  }

  if (!haveStart || !haveEnd) {
    zone.Bias = LONG(-current.offset / 60);
    return TIME_ZONE_ID_UNKNOWN;
  }
  zone.Bias = LONG(-standardOffset / 60);
  zone.StandardBias = 0;
  zone.DaylightBias = LONG(-(daylightOffset - standardOffset) / 60);
  zone.DaylightDate = RuleFromLocal(daylightStart);
  zone.StandardDate = RuleFromLocal(daylightEnd);
  return current.daylight ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

ClockSource *SetClockSource(ClockSource *source) {
  ClockSource *previous = g_installed.exchange(source);
  ++g_sourceChanges;
  // Waits measure their time-outs again on the new source.
  ClockMoved();
  return previous;
}

uint64_t ClockSourceChanges() { return g_sourceChanges.load(); }

ClockSource &Clock() {
  ClockSource *source = g_installed.load();
  return source ? *source : RealClock();
}

int64_t UnixTimeNow() { return FloorDiv(Clock().UtcNow100ns() - kFileTimeUnixEpoch, kTicksPerSecond); }

int32_t ZoneOffsetSeconds(const TIME_ZONE_INFORMATION &zone, int64_t utc100ns, DWORD *zoneId) {
  auto answer = [&](DWORD id, LONG bias) {
    if (zoneId) *zoneId = id;
    return int32_t(-bias * 60);
  };
  if (zone.DaylightDate.wMonth == 0 || zone.StandardDate.wMonth == 0)
    return answer(TIME_ZONE_ID_UNKNOWN, zone.Bias);
  const int64_t t = FloorDiv(utc100ns - kFileTimeUnixEpoch, kTicksPerSecond);
  int64_t year;
  int month, day;
  CivilFromDays(FloorDiv(t - zone.Bias * 60, kSecondsPerDay), year, month, day);
  int64_t startLocal, endLocal;
  if (!RuleMomentInYear(zone.DaylightDate, year, startLocal) ||
      !RuleMomentInYear(zone.StandardDate, year, endLocal))
    return answer(TIME_ZONE_ID_STANDARD, zone.Bias + zone.StandardBias);
  // Daylight time starts at a moment of standard time and ends at a moment
  // of daylight time; south of the equator it spans the turn of the year.
  const int64_t start = startLocal + (zone.Bias + zone.StandardBias) * 60;
  const int64_t end = endLocal + (zone.Bias + zone.DaylightBias) * 60;
  const bool daylight = start < end ? (t >= start && t < end) : (t >= start || t < end);
  return daylight ? answer(TIME_ZONE_ID_DAYLIGHT, zone.Bias + zone.DaylightBias)
                  : answer(TIME_ZONE_ID_STANDARD, zone.Bias + zone.StandardBias);
}

}  // namespace platform

using platform::Clock;

namespace {

// Local time of a UTC instant by the offset in force now, as the Win32
// file-time conversions do.
bool ShiftByCurrentOffset(int64_t ticks, int direction, int64_t &shifted) {
  auto &clock = Clock();
  const int64_t offset = int64_t(clock.UtcOffsetSeconds(clock.UtcNow100ns())) * 10000000;
  shifted = ticks + direction * offset;
  return platform::InFileTimeRange(shifted);
}

}  // namespace

void GetSystemTime(LPSYSTEMTIME utc) {
  if (utc) *utc = platform::SystemTimeFromTicks(Clock().UtcNow100ns());
}

void GetLocalTime(LPSYSTEMTIME local) {
  if (!local) return;
  auto &clock = Clock();
  const int64_t now = clock.UtcNow100ns();
  const int64_t ticks = now + int64_t(clock.UtcOffsetSeconds(now)) * 10000000;
  *local = platform::SystemTimeFromTicks(platform::InFileTimeRange(ticks) ? ticks : now);
}

void GetSystemTimeAsFileTime(LPFILETIME utc) {
  if (utc) *utc = platform::FileTimeFromTicks(Clock().UtcNow100ns());
}

DWORD GetTickCount() { return DWORD(Clock().TickMs()); }

ULONGLONG GetTickCount64() { return Clock().TickMs(); }

void Sleep(DWORD ms) { Clock().Sleep(ms); }

BOOL SetSystemTime(const SYSTEMTIME *utc) {
  if (!utc || !platform::ValidSystemTime(*utc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Clock().SetSystemTimeUtc(*utc);
}

BOOL SetLocalTime(const SYSTEMTIME *local) {
  int64_t utc;
  if (!local || !platform::ValidSystemTime(*local) ||
      !ShiftByCurrentOffset(platform::TicksFromSystemTime(*local), -1, utc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Clock().SetSystemTimeUtc(platform::SystemTimeFromTicks(utc));
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone) {
  if (!zone) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  return Clock().TimeZone(*zone);
}

BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION *zone) {
  if (!zone) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Clock().SetTimeZone(*zone);
}

BOOL FileTimeToSystemTime(const FILETIME *fileTime, LPSYSTEMTIME systemTime) {
  if (!fileTime || !systemTime || !platform::InFileTimeRange(platform::TicksFromFileTime(*fileTime))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *systemTime = platform::SystemTimeFromTicks(platform::TicksFromFileTime(*fileTime));
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, LPFILETIME fileTime) {
  if (!systemTime || !fileTime || !platform::ValidSystemTime(*systemTime)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *fileTime = platform::FileTimeFromTicks(platform::TicksFromSystemTime(*systemTime));
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME *utc, LPFILETIME local) {
  int64_t shifted;
  if (!utc || !local || !platform::InFileTimeRange(platform::TicksFromFileTime(*utc)) ||
      !ShiftByCurrentOffset(platform::TicksFromFileTime(*utc), +1, shifted)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *local = platform::FileTimeFromTicks(shifted);
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME *local, LPFILETIME utc) {
  int64_t shifted;
  if (!local || !utc || !platform::InFileTimeRange(platform::TicksFromFileTime(*local)) ||
      !ShiftByCurrentOffset(platform::TicksFromFileTime(*local), -1, shifted)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *utc = platform::FileTimeFromTicks(shifted);
  return TRUE;
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION *zone, const SYSTEMTIME *utc,
                                     LPSYSTEMTIME local) {
  if (!utc || !local || !platform::ValidSystemTime(*utc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int64_t ticks = platform::TicksFromSystemTime(*utc);
  const int32_t offset =
      zone ? platform::ZoneOffsetSeconds(*zone, ticks) : Clock().UtcOffsetSeconds(ticks);
  const int64_t shifted = ticks + int64_t(offset) * 10000000;
  if (!platform::InFileTimeRange(shifted)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *local = platform::SystemTimeFromTicks(shifted);
  return TRUE;
}
