// System time, local time, tick count and sleeping, all read from one clock
// source so that tests can put a fake clock in its place. Local time is the
// source's UTC moved by the process time zone (the TZ variable).
//
// Nothing here ever changes this machine's clock or zone: the real source
// refuses to set them with ERROR_PRIVILEGE_NOT_HELD, which the callers treat
// as a quiet failure.
#pragma once

#include "platform/windef.h"

struct TIME_ZONE_INFORMATION {
  LONG Bias;  // minutes; UTC = local time + Bias
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
typedef TIME_ZONE_INFORMATION *LPTIME_ZONE_INFORMATION;

constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFFu;

namespace platform {

// The real clock of the machine. Tests derive from it and override what they
// fake; whatever they leave alone stays real.
class ClockSource {
 public:
  virtual ~ClockSource();
  // Now, in FILETIME units (100 ns since 1601-01-01 UTC).
  virtual int64_t UtcNow100ns();
  // Milliseconds on a clock that never goes back.
  virtual uint64_t TickMs();
  // Suspends the calling thread; 0 gives up the rest of the time slice,
  // INFINITE never returns.
  virtual void Sleep(DWORD ms);
  // The real source refuses both with ERROR_PRIVILEGE_NOT_HELD.
  virtual BOOL SetSystemTimeUtc(const SYSTEMTIME &utc);
  virtual BOOL SetTimeZone(const TIME_ZONE_INFORMATION &zone);
  // Seconds by which local time is ahead of UTC at the given instant
  // (FILETIME units); the real source asks the process zone.
  virtual int32_t UtcOffsetSeconds(int64_t utc100ns);
  // The zone as GetTimeZoneInformation reports it, for the current year of
  // this source's clock; returns a TIME_ZONE_ID_ value.
  virtual DWORD TimeZone(TIME_ZONE_INFORMATION &zone);
};

// Installs a clock source (null puts the real one back) and returns the one
// installed before (null for the real one). The caller keeps ownership.
ClockSource *SetClockSource(ClockSource *source);
ClockSource &Clock();
// How often a source was installed. Ticks read under two different counts
// come from different sources and can't be compared.
uint64_t ClockSourceChanges();

// A source whose time jumps (a test's fake clock) calls this after every
// jump: every thread wakes, so that timers that fell due fire and waits
// whose time-out passed end.
void ClockMoved();

// Seconds since 1970-01-01 UTC, for code that would call time().
int64_t UnixTimeNow();

// Days since 1970-01-01 (negative before it) of a date in the proleptic
// Gregorian calendar, and back. The month must lie in 1..12; the day is not
// checked but counted on from the month's first.
int64_t DaysFromCivil(int64_t year, int month, int day);
void CivilFromDays(int64_t days, int64_t &year, int &month, int &day);

// Seconds by which local time in the given zone is ahead of UTC at the
// instant, applying the zone's daylight rules; *zoneId (if given) receives
// TIME_ZONE_ID_UNKNOWN for a zone without daylight time, else STANDARD or
// DAYLIGHT.
int32_t ZoneOffsetSeconds(const TIME_ZONE_INFORMATION &zone, int64_t utc100ns,
                          DWORD *zoneId = nullptr);

}  // namespace platform

void GetSystemTime(LPSYSTEMTIME utc);
void GetLocalTime(LPSYSTEMTIME local);
void GetSystemTimeAsFileTime(LPFILETIME utc);
// Wraps to 0 after 49.7 days, as callers expect.
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD ms);
BOOL SetSystemTime(const SYSTEMTIME *utc);
BOOL SetLocalTime(const SYSTEMTIME *local);
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone);
BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION *zone);
BOOL FileTimeToSystemTime(const FILETIME *fileTime, LPSYSTEMTIME systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, LPFILETIME fileTime);
// These two use the zone's offset of this moment, not that of the converted
// time, as Win32 does.
BOOL FileTimeToLocalFileTime(const FILETIME *utc, LPFILETIME local);
BOOL LocalFileTimeToFileTime(const FILETIME *local, LPFILETIME utc);
// A null zone means the current one, with the offset in force at that time.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION *zone, const SYSTEMTIME *utc,
                                     LPSYSTEMTIME local);
