#include "core/datetime.h"

namespace {

bool IsLeapYear(unsigned year) { return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0); }

// The caller guarantees a month of 1 to 12.
unsigned MonthLength(unsigned year, unsigned month) {
  static const unsigned char kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kLengths[month - 1];
}

bool IsValidMonth(unsigned month) { return month >= 1 && month <= 12; }

constexpr PackedDateTime kTimeBits = ~kPackedDateMask;

PackedDateTime WithDate(PackedDateTime value, unsigned year, unsigned month, unsigned day) {
  return MakePackedDateTime(year, month, day) | (value & kTimeBits);
}

}  // namespace

int PackedWeekday(PackedDateTime value) {
  // Gauss's rule, counting months from March so that February's leap day
  // falls at the end of the counted year.
  int m = int(PackedMonth(value)) - 2;
  int y = int(PackedYear(value));
  if (m <= 0) {
    m += 12;
    y -= 1;
  }
  int c = y / 100;
  int r = y % 100;
  int w = int(PackedDay(value)) + (13 * m - 1) / 5 + r + r / 4 + c / 4 - 2 * c;
  return (w % 7 + 7) % 7;
}

PackedDateTime PackedNextDay(PackedDateTime value) {
  unsigned year = PackedYear(value), month = PackedMonth(value);
  if (!IsValidMonth(month)) return value;
  unsigned day = (PackedDay(value) + 1) & 0x1F;
  if (day == 0 || day > MonthLength(year, month)) {
    day = 1;
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return WithDate(value, year, month, day);
}

namespace {

bool IsSteppable(PackedDateTime value) {
  unsigned day = PackedDay(value);
  return IsValidMonth(PackedMonth(value)) && day >= 1 && PackedHour(value) <= 23 &&
         PackedMinute(value) <= 59;
}

}  // namespace

void PackedNextDayInPlace(PackedDateTime *value) {
  if (!value || !IsSteppable(*value)) return;
  unsigned year = PackedYear(*value), month = PackedMonth(*value), day = PackedDay(*value);
  if (day < MonthLength(year, month)) {
    ++day;
  } else {
    day = 1;
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  *value = WithDate(*value, year, month, day);
}

void PackedPreviousDayInPlace(PackedDateTime *value) {
  if (!value || !IsSteppable(*value)) return;
  unsigned year = PackedYear(*value), month = PackedMonth(*value), day = PackedDay(*value);
  if (day > 1) {
    --day;
  } else if (month == 1) {
    --year;
    month = 12;
    day = 31;
  } else {
    --month;
    day = MonthLength(year, month);
  }
  *value = WithDate(*value, year, month, day);
}

PackedDateTime PackedWeekEnd(PackedDateTime value) {
  for (int n = 6 - PackedWeekday(value); n > 0; --n) value = PackedNextDay(value);
  return value;
}

bool IsSameDay(PackedDateTime a, PackedDateTime b) {
  return (a & kPackedDateMask) == (b & kPackedDateMask);
}

bool IsSameWeek(PackedDateTime a, PackedDateTime b) {
  return IsSameDay(PackedWeekEnd(a), PackedWeekEnd(b));
}

bool IsSameMonth(PackedDateTime a, PackedDateTime b) { return (a >> 16) == (b >> 16); }

bool IsSameQuarter(PackedDateTime a, PackedDateTime b) {
  return PackedYear(a) == PackedYear(b) && (PackedMonth(a) + 2) / 3 == (PackedMonth(b) + 2) / 3;
}

int ComparePackedDate(PackedDateTime a, PackedDateTime b) {
  a &= kPackedDateMask;
  b &= kPackedDateMask;
  return a > b ? 1 : (a < b ? -1 : 0);
}

CTime32::CTime32(const SYSTEMTIME &time) : CTime32() { SetCTime32(*this, time); }

void SetCTime32(CTime32 &stamp, const SYSTEMTIME &time) {
  stamp.year = (time.wYear - 2000u) & 0x3F;
  stamp.month = time.wMonth & 0xF;
  stamp.day = time.wDay & 0x1F;
  stamp.hour = time.wHour & 0x1F;
  stamp.minute = time.wMinute & 0x3F;
  stamp.second = time.wSecond & 0x3F;
}

void CTime32::PrevMinute() {
  if (minute > 0) {
    minute = minute - 1;
    return;
  }
  PrevHour();
  minute = 59;
}

void CTime32::PrevHour() {
  if (hour > 0) {
    hour = hour - 1;
    return;
  }
  PrevDay();
  hour = 23;
}

void CTime32::PrevDay() {
  if (day > 1) {
    day = day - 1;
  } else if (month == 1) {
    year = (year - 1u) & 0x3F;
    month = 12;
    day = 31;
  } else if (month >= 2 && month <= 12) {
    month = month - 1;
    day = MonthLength(2000u + year, month);
  }
}

void CTime64::NextDay() {
  if (!IsValidMonth(unsigned(month))) return;
  // A day past the month's end (a bad stamp) rolls over like the last day
  // rather than running on into day 0.
  if (day >= MonthLength(unsigned(year), unsigned(month))) {
    day = 1;
    if (month == 12) {
      month = 1;
      year = (year + 1u) & 0xFFF;
    } else {
      month = month + 1;
    }
  } else {
    day = (day + 1u) & 0x1F;
  }
}

void SetCTime64(CTime64 &stamp, const SYSTEMTIME &time) {
  stamp.zero = 0;
  stamp.subSecond = 0;
  stamp.year = time.wYear & 0xFFF;
  stamp.month = time.wMonth & 0xF;
  stamp.day = time.wDay & 0x1F;
  stamp.hour = time.wHour & 0x1F;
  stamp.minute = time.wMinute & 0x3F;
  stamp.second = time.wSecond & 0x3F;
}
