// Bit-packed dates and times. Each layout compares in date order as a plain
// unsigned number. All arithmetic uses the Gregorian calendar.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>

#include "platform/windef.h"

// The 32-bit date-time of bars, trading calendars and market-data files,
// from the low end: minute 6 bits, hour 5, day 5, month 4, full year 12.
// The date part is the value with the low 11 bits (hour and minute) clear.
typedef uint32_t PackedDateTime;

constexpr PackedDateTime kPackedDateMask = 0xFFFFF800u;

constexpr PackedDateTime MakePackedDateTime(unsigned year, unsigned month, unsigned day,
                                            unsigned hour = 0, unsigned minute = 0) {
  return (PackedDateTime(year & 0xFFF) << 20) | (PackedDateTime(month & 0xF) << 16) |
         (PackedDateTime(day & 0x1F) << 11) | (PackedDateTime(hour & 0x1F) << 6) |
         PackedDateTime(minute & 0x3F);
}
constexpr unsigned PackedYear(PackedDateTime v) { return v >> 20; }
constexpr unsigned PackedMonth(PackedDateTime v) { return (v >> 16) & 0xF; }
constexpr unsigned PackedDay(PackedDateTime v) { return (v >> 11) & 0x1F; }
constexpr unsigned PackedHour(PackedDateTime v) { return (v >> 6) & 0x1F; }
constexpr unsigned PackedMinute(PackedDateTime v) { return v & 0x3F; }

// 0 Sunday ... 6 Saturday.
int PackedWeekday(PackedDateTime value);
// The following day, hour and minute kept. A month outside 1-12 gives the
// value back unchanged.
PackedDateTime PackedNextDay(PackedDateTime value);
// One calendar day forward or back in place, hour and minute kept. A value
// with a field out of range (month 1-12, day 1-31, hour 0-23, minute 0-59)
// is left as it is, and so is a null pointer.
void PackedNextDayInPlace(PackedDateTime *value);
void PackedPreviousDayInPlace(PackedDateTime *value);
// The Saturday of the value's Sunday-to-Saturday week, hour and minute kept.
PackedDateTime PackedWeekEnd(PackedDateTime value);
bool IsSameWeek(PackedDateTime a, PackedDateTime b);
bool IsSameMonth(PackedDateTime a, PackedDateTime b);
bool IsSameQuarter(PackedDateTime a, PackedDateTime b);
bool IsSameDay(PackedDateTime a, PackedDateTime b);
// -1, 0 or 1 comparing the date parts only.
int ComparePackedDate(PackedDateTime a, PackedDateTime b);

// The 32-bit stamp of clocks and stored trading records: seconds, and the
// year as an offset from 2000 (0-63).
struct CTime32 {
  uint32_t second : 6;
  uint32_t minute : 6;
  uint32_t hour : 5;
  uint32_t day : 5;
  uint32_t month : 4;
  uint32_t year : 6;  // year - 2000

  CTime32() : second(0), minute(0), hour(0), day(0), month(0), year(0) {}
  explicit CTime32(const SYSTEMTIME &time);

  void PrevMinute();
  void PrevHour();
  // Leaves a month outside 1-12 as it is when the step would need its length.
  void PrevDay();
};
static_assert(sizeof(CTime32) == 4, "CTime32 is stored as 4 bytes");

// Milliseconds are dropped.
void SetCTime32(CTime32 &stamp, const SYSTEMTIME &time);

// The 64-bit stamp of logs: seconds and the full year.
struct CTime64 {
  uint64_t zero : 16;
  uint64_t subSecond : 10;
  uint64_t second : 6;
  uint64_t minute : 6;
  uint64_t hour : 5;
  uint64_t day : 5;
  uint64_t month : 4;
  uint64_t year : 12;

  CTime64() : zero(0), subSecond(0), second(0), minute(0), hour(0), day(0), month(0), year(0) {}
  CTime64(uint16_t y, uint8_t m, uint8_t d)
      : zero(0), subSecond(0), second(0), minute(0), hour(0), day(d), month(m), year(y) {}

  // One day on, time kept. A month outside 1-12 is left as it is.
  void NextDay();

  uint64_t Value() const {
    uint64_t v;
    std::memcpy(&v, this, sizeof v);
    return v;
  }
  friend bool operator==(const CTime64 &a, const CTime64 &b) { return a.Value() == b.Value(); }
  friend auto operator<=>(const CTime64 &a, const CTime64 &b) { return a.Value() <=> b.Value(); }
};
static_assert(sizeof(CTime64) == 8, "CTime64 is 8 bytes");

// Sub-second 0.
void SetCTime64(CTime64 &stamp, const SYSTEMTIME &time);
