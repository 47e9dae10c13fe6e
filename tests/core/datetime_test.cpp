#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/datetime.h"

namespace {

constexpr PackedDateTime P(unsigned y, unsigned mo, unsigned d, unsigned h = 0, unsigned mi = 0) {
  return MakePackedDateTime(y, mo, d, h, mi);
}

std::string Show(PackedDateTime v) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", PackedYear(v), PackedMonth(v),
                PackedDay(v), PackedHour(v), PackedMinute(v));
  return text;
}

SYSTEMTIME St(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms = 0) {
  SYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = mo;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = mi;
  t.wSecond = s;
  t.wMilliseconds = ms;
  return t;
}

TEST(PackedDateTime, FieldLayout) {
  EXPECT_EQ(P(2012, 3, 9, 14, 5), (2012u << 20) | (3u << 16) | (9u << 11) | (14u << 6) | 5u);
  EXPECT_EQ(P(2012, 3, 9, 14, 5) & kPackedDateMask, P(2012, 3, 9));
}

// The civil date of a count of days since 1970-01-01, by era arithmetic
// rather than month stepping, so that it checks the day steps independently.
PackedDateTime CivilFromDays(int64_t z, unsigned hour, unsigned minute) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = int64_t(yoe) + era * 400 + (m <= 2);
  return P(unsigned(y), m, d, hour, minute);
}

// Every day from 1601 to 2400 against a reference calendar: weekdays, both
// next-day steps and the step back.
TEST(PackedDateTime, DayStepsAndWeekdaysMatchTheGregorianCalendar) {
  const int64_t first = -134774;  // 1601-01-01, a Monday
  const int64_t last = 157419;    // 2400-12-31
  ASSERT_EQ(Show(CivilFromDays(first, 0, 0)), "1601-01-01 00:00");
  ASSERT_EQ(Show(CivilFromDays(last, 0, 0)), "2400-12-31 00:00");
  for (int64_t day = first; day < last; ++day) {
    PackedDateTime v = CivilFromDays(day, 9, 30);
    PackedDateTime n = CivilFromDays(day + 1, 9, 30);
    // 1970-01-01 was a Thursday.
    ASSERT_EQ(PackedWeekday(v), int(((day + 4) % 7 + 7) % 7)) << Show(v);
    ASSERT_EQ(PackedNextDay(v), n) << Show(v);
    PackedDateTime stepped = v;
    PackedNextDayInPlace(&stepped);
    ASSERT_EQ(stepped, n) << Show(v);
    PackedPreviousDayInPlace(&stepped);
    ASSERT_EQ(stepped, v) << Show(n);
  }
}

TEST(PackedDateTime, NamedDays) {
  EXPECT_EQ(PackedWeekday(P(2012, 1, 1)), 0);
  EXPECT_EQ(PackedWeekday(P(2000, 2, 29)), 2);
  EXPECT_EQ(PackedWeekday(P(2012, 3, 1)), 4);
  struct {
    PackedDateTime from, to;
  } next[] = {
      {P(2012, 2, 28), P(2012, 2, 29)},
      {P(2011, 2, 28), P(2011, 3, 1)},
      {P(2012, 12, 31, 9, 30), P(2013, 1, 1, 9, 30)},
      {P(1900, 2, 28), P(1900, 3, 1)},
  };
  for (const auto &c : next) EXPECT_EQ(Show(PackedNextDay(c.from)), Show(c.to));
  struct {
    PackedDateTime from, to;
  } back[] = {
      {P(2012, 3, 1), P(2012, 2, 29)},
      {P(2013, 1, 1, 23, 59), P(2012, 12, 31, 23, 59)},
      {P(2100, 3, 1), P(2100, 2, 28)},
  };
  for (const auto &c : back) {
    PackedDateTime v = c.from;
    PackedPreviousDayInPlace(&v);
    EXPECT_EQ(Show(v), Show(c.to));
  }
}

TEST(PackedDateTime, InPlaceStepsLeaveInvalidValuesAlone) {
  const PackedDateTime invalid[] = {
      P(2012, 3, 1, 24, 0), P(2012, 0, 1), P(2012, 13, 1), P(2012, 3, 0), P(2012, 3, 1, 10, 60),
  };
  for (PackedDateTime v : invalid) {
    PackedDateTime w = v;
    PackedPreviousDayInPlace(&w);
    EXPECT_EQ(w, v) << std::hex << v;
    PackedNextDayInPlace(&w);
    EXPECT_EQ(w, v) << std::hex << v;
  }
  PackedNextDayInPlace(nullptr);
  PackedPreviousDayInPlace(nullptr);
  // The value-returning step has no month length to go by either.
  EXPECT_EQ(PackedNextDay(P(2012, 0, 5)), P(2012, 0, 5));
  EXPECT_EQ(PackedNextDay(P(2012, 15, 5)), P(2012, 15, 5));
}

TEST(PackedDateTime, WeekEndAndSamePeriods) {
  EXPECT_EQ(PackedWeekEnd(P(2012, 3, 3, 10, 0)), P(2012, 3, 3, 10, 0)) << "a Saturday";
  EXPECT_EQ(PackedWeekEnd(P(2012, 2, 26, 8, 1)), P(2012, 3, 3, 8, 1)) << "across February 29";
  struct {
    PackedDateTime a, b;
    bool week, month, quarter, day;
  } cases[] = {
      {P(2012, 2, 26), P(2012, 3, 3, 15, 0), true, false, true, false},  // Sunday, next Saturday
      {P(2012, 3, 3), P(2012, 3, 4), false, true, true, false},          // Saturday, next Sunday
      {P(2012, 3, 31), P(2012, 4, 1), false, false, false, false},
      {P(2012, 4, 1), P(2012, 6, 30), false, false, true, false},
      {P(2012, 12, 31), P(2013, 1, 1), true, false, false, false},       // Monday, Tuesday
      {P(2012, 12, 30), P(2013, 1, 5), true, false, false, false},       // one week over New Year
      {P(2012, 5, 7, 9, 0), P(2012, 5, 7, 15, 0), true, true, true, true},
      {P(2011, 5, 7), P(2012, 5, 7), false, false, false, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(Show(c.a) + " / " + Show(c.b));
    EXPECT_EQ(IsSameWeek(c.a, c.b), c.week);
    EXPECT_EQ(IsSameMonth(c.a, c.b), c.month);
    EXPECT_EQ(IsSameQuarter(c.a, c.b), c.quarter);
    EXPECT_EQ(IsSameDay(c.a, c.b), c.day);
  }
}

TEST(PackedDateTime, ComparePackedDateIgnoresTheTime) {
  EXPECT_EQ(ComparePackedDate(P(2012, 5, 7, 9, 0), P(2012, 5, 7, 15, 0)), 0);
  EXPECT_EQ(ComparePackedDate(P(2012, 5, 7, 23, 59), P(2012, 5, 8, 0, 0)), -1);
  EXPECT_EQ(ComparePackedDate(P(2013, 1, 1), P(2012, 12, 31, 23, 59)), 1);
  EXPECT_EQ(ComparePackedDate(P(4095, 1, 1), P(1, 1, 1)), 1) << "compared unsigned";
}

uint32_t Bits(const CTime32 &t) {
  uint32_t v;
  std::memcpy(&v, &t, sizeof v);
  return v;
}

TEST(CTime32, LayoutAndConstruction) {
  CTime32 zero;
  EXPECT_EQ(Bits(zero), 0u);
  CTime32 t(St(2012, 3, 9, 14, 5, 30, 999));
  EXPECT_EQ(Bits(t), (12u << 26) | (3u << 22) | (9u << 17) | (14u << 12) | (5u << 6) | 30u);
  CTime32 copy = t;
  EXPECT_EQ(Bits(copy), Bits(t));
  SetCTime32(copy, St(2063, 12, 31, 23, 59, 59));
  EXPECT_EQ(Bits(copy), (63u << 26) | (12u << 22) | (31u << 17) | (23u << 12) | (59u << 6) | 59u);
  EXPECT_EQ(copy.hour * 10000u + copy.minute * 100u + copy.second, 235959u);
}

TEST(CTime32, StepsBackWithBorrow) {
  struct {
    SYSTEMTIME from, to;
    void (CTime32::*step)();
  } cases[] = {
      {St(2012, 3, 1, 0, 0, 30), St(2012, 2, 29, 23, 59, 30), &CTime32::PrevMinute},
      {St(2011, 3, 1, 0, 0, 30), St(2011, 2, 28, 23, 59, 30), &CTime32::PrevMinute},
      {St(2013, 1, 1, 0, 0, 0), St(2012, 12, 31, 23, 59, 0), &CTime32::PrevMinute},
      {St(2012, 5, 7, 10, 0, 1), St(2012, 5, 7, 9, 59, 1), &CTime32::PrevMinute},
      {St(2012, 5, 1, 0, 7, 0), St(2012, 4, 30, 23, 7, 0), &CTime32::PrevHour},
      {St(2000, 3, 1, 8, 0, 0), St(2000, 2, 29, 8, 0, 0), &CTime32::PrevDay},
      {St(2012, 8, 1, 8, 0, 0), St(2012, 7, 31, 8, 0, 0), &CTime32::PrevDay},
  };
  for (const auto &c : cases) {
    CTime32 t(c.from);
    (t.*c.step)();
    EXPECT_EQ(Bits(t), Bits(CTime32(c.to)))
        << c.from.wYear << '-' << c.from.wMonth << '-' << c.from.wDay << ' ' << c.from.wHour;
  }
  CTime32 bad(St(2012, 0, 1, 0, 0, 0));
  bad.PrevDay();
  EXPECT_EQ(bad.month, 0u);
  EXPECT_EQ(bad.day, 1u);
}

uint64_t Bits(const CTime64 &t) { return t.Value(); }

TEST(CTime64, LayoutAndOrder) {
  CTime64 t;
  SetCTime64(t, St(2012, 3, 9, 14, 5, 30, 999));
  EXPECT_EQ(Bits(t), (2012ull << 52) | (3ull << 48) | (9ull << 43) | (14ull << 38) |
                         (5ull << 32) | (30ull << 26));
  EXPECT_EQ(Bits(CTime64(2012, 3, 9)), (2012ull << 52) | (3ull << 48) | (9ull << 43));
  EXPECT_EQ(Bits(CTime64()), 0u);

  EXPECT_LT(CTime64(2012, 3, 9), t);
  EXPECT_LT(t, CTime64(2012, 3, 10));
  EXPECT_LT(CTime64(2012, 12, 31), CTime64(2013, 1, 1));
  EXPECT_EQ(CTime64(2012, 3, 9), CTime64(2012, 3, 9));
}

TEST(CTime64, NextDay) {
  struct {
    CTime64 from, to;
  } cases[] = {
      {CTime64(2100, 2, 28), CTime64(2100, 3, 1)},
      {CTime64(2000, 2, 28), CTime64(2000, 2, 29)},
      {CTime64(2000, 2, 29), CTime64(2000, 3, 1)},
      {CTime64(2012, 4, 30), CTime64(2012, 5, 1)},
      {CTime64(2012, 12, 31), CTime64(2013, 1, 1)},
      {CTime64(2012, 4, 31), CTime64(2012, 5, 1)},  // a bad day rolls over, not into day 0
      {CTime64(2012, 0, 5), CTime64(2012, 0, 5)},
      {CTime64(2012, 13, 5), CTime64(2012, 13, 5)},
  };
  for (auto c : cases) {
    c.from.NextDay();
    EXPECT_EQ(c.from, c.to) << std::hex << Bits(c.to);
  }
  CTime64 t;
  SetCTime64(t, St(2012, 1, 31, 23, 59, 58));
  t.NextDay();
  EXPECT_EQ(t.month, 2u);
  EXPECT_EQ(t.day, 1u);
  EXPECT_EQ(t.hour * 10000u + t.minute * 100u + t.second, 235958u);
}

}  // namespace
