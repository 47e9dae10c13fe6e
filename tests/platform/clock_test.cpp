#include "platform/clock.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "testing/fake_clock.h"

namespace {

int64_t Ticks(const FILETIME &ft) {
  return int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME FileTime(int64_t ticks) {
  return FILETIME{DWORD(uint64_t(ticks)), DWORD(uint64_t(ticks) >> 32)};
}

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0,
                WORD ms = 0) {
  return SYSTEMTIME{year, month, 0, day, hour, minute, second, ms};
}

std::string Text(const SYSTEMTIME &st) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", st.wYear,
                st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds,
                st.wDayOfWeek);
  return text;
}

struct ConversionCase {
  SYSTEMTIME time;
  WORD dayOfWeek;
  int64_t ticks;
};

TEST(FileTimeConversion, RoundTripsThroughSystemTime) {
  const ConversionCase cases[] = {
      {Time(1601, 1, 1), 1, 0},
      {Time(1900, 3, 1), 4, 94405824000000000},
      {Time(1970, 1, 1), 4, kFileTimeUnixEpoch},
      {Time(2000, 2, 29, 12, 34, 56, 789), 2, 125963012967890000},
      {Time(2024, 2, 29, 23, 59, 59, 999), 4, 133537247999990000},
      {Time(2100, 2, 28, 23), 0, 157520124000000000},
      {Time(9999, 12, 31, 23, 59, 59, 999), 5, 2650467743999990000},
  };
  for (const auto &c : cases) {
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&c.time, &ft)) << Text(c.time);
    EXPECT_EQ(Ticks(ft), c.ticks) << Text(c.time);
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    SYSTEMTIME expected = c.time;
    expected.wDayOfWeek = c.dayOfWeek;
    EXPECT_EQ(Text(back), Text(expected));
  }
}

TEST(FileTimeConversion, OneMillisecondPastTheLeapDay) {
  const SYSTEMTIME leapDayEnd = Time(2024, 2, 29, 23, 59, 59, 999);
  FILETIME ft{};
  ASSERT_TRUE(SystemTimeToFileTime(&leapDayEnd, &ft));
  const FILETIME next = FileTime(Ticks(ft) + 10000);
  SYSTEMTIME st{};
  ASSERT_TRUE(FileTimeToSystemTime(&next, &st));
  EXPECT_EQ(Text(st), Text(SYSTEMTIME{2024, 3, 5, 1, 0, 0, 0, 0}));
}

TEST(FileTimeConversion, RefusesWhatNoFileTimeCanHold) {
  const SYSTEMTIME bad[] = {
      Time(1900, 2, 29), Time(2023, 2, 29), Time(2024, 2, 30), Time(2024, 4, 31),
      Time(2024, 13, 1), Time(2024, 0, 1),  Time(2024, 1, 0),  Time(1600, 12, 31),
      Time(2024, 1, 1, 24), Time(2024, 1, 1, 0, 60), Time(2024, 1, 1, 0, 0, 60),
      Time(2024, 1, 1, 0, 0, 0, 1000),
  };
  for (const auto &st : bad) {
    FILETIME ft{7, 7};
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << Text(st);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Ticks(ft), Ticks(FILETIME{7, 7}));
  }
  SYSTEMTIME st{};
  const FILETIME last = FileTime(INT64_MAX);
  ASSERT_TRUE(FileTimeToSystemTime(&last, &st));
  EXPECT_EQ(st.wYear, 30828);
  const FILETIME topBit{0, 0x80000000u};
  EXPECT_FALSE(FileTimeToSystemTime(&topBit, &st));
}

TEST(TickCount, WrapsAfter32BitsWhileTheWideCountGoesOn) {
  ScopedFakeClock clock(Time(2024, 1, 15), 0xFFFFFFFFull - 500);
  const DWORD before = GetTickCount();
  EXPECT_EQ(before, 0xFFFFFFFFu - 500);
  clock.Advance(1000);
  EXPECT_EQ(GetTickCount(), 499u);
  EXPECT_EQ(GetTickCount64(), 0x100000000ull + 499);
  EXPECT_EQ(DWORD(GetTickCount() - before), 1000u);
}

TEST(FakeClockTest, SleepMovesTimeAtOnceFromAnyThread) {
  ScopedFakeClock clock(Time(2024, 1, 15), 1000);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 500; ++i) Sleep(2);
    });
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(GetTickCount64(), 1000u + 4 * 500 * 2);
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  EXPECT_EQ(Text(utc), Text(SYSTEMTIME{2024, 1, 1, 15, 0, 0, 4, 0}));
}

TEST(FakeClockTest, InstallsAndRestoresTheClock) {
  platform::ClockSource *real = &platform::Clock();
  {
    ScopedFakeClock outer;
    {
      ScopedFakeClock inner(Time(1999, 12, 31));
      EXPECT_EQ(&platform::Clock(), &inner);
    }
    EXPECT_EQ(&platform::Clock(), &outer);
  }
  EXPECT_EQ(&platform::Clock(), real);
}

TEST(LocalTime, ShanghaiIsEightHoursAheadAndCrossesTheLeapDay) {
  ScopedFakeClock clock(Time(2024, 2, 28, 20, 30, 15, 250));
  SYSTEMTIME local{};
  GetLocalTime(&local);
  EXPECT_EQ(Text(local), Text(SYSTEMTIME{2024, 2, 4, 29, 4, 30, 15, 250}));

  FILETIME utc{}, shifted{}, back{};
  GetSystemTimeAsFileTime(&utc);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &shifted));
  EXPECT_EQ(Ticks(shifted) - Ticks(utc), 8 * 3600 * 10000000LL);
  ASSERT_TRUE(LocalFileTimeToFileTime(&shifted, &back));
  EXPECT_EQ(Ticks(back), Ticks(utc));

  EXPECT_EQ(platform::UnixTimeNow(), (Ticks(utc) - kFileTimeUnixEpoch) / 10000000);

  TIME_ZONE_INFORMATION zone{};
  EXPECT_EQ(GetTimeZoneInformation(&zone), TIME_ZONE_ID_UNKNOWN);
  EXPECT_EQ(zone.Bias, -480);
  EXPECT_EQ(zone.DaylightDate.wMonth, 0);
}

TEST(LocalTime, TzSpecificConversionUsesTheOffsetOfThatDate) {
  ScopedFakeClock clock(Time(2024, 1, 15));
  struct {
    SYSTEMTIME utc, local;
  } cases[] = {
      {Time(2024, 7, 1, 0, 0), Time(2024, 7, 1, 8, 0)},
      // China kept summer time from 1986 to 1991.
      {Time(1988, 7, 1, 0, 0), Time(1988, 7, 1, 9, 0)},
      {Time(2024, 12, 31, 16, 0), Time(2025, 1, 1, 0, 0)},
  };
  for (const auto &c : cases) {
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &c.utc, &local));
    local.wDayOfWeek = 0;
    EXPECT_EQ(Text(local), Text(c.local)) << Text(c.utc);
  }
}

TEST(RealClock, NeverSetsTheMachinesClockOrZone) {
  ASSERT_EQ(platform::SetClockSource(nullptr), nullptr);
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  SetLastError(0);
  EXPECT_FALSE(SetSystemTime(&utc));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PRIVILEGE_NOT_HELD));
  SetLastError(0);
  EXPECT_FALSE(SetLocalTime(&utc));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PRIVILEGE_NOT_HELD));
  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  SetLastError(0);
  EXPECT_FALSE(SetTimeZoneInformation(&zone));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PRIVILEGE_NOT_HELD));

  EXPECT_LE(std::llabs(platform::UnixTimeNow() - int64_t(time(nullptr))), 1);
  const ULONGLONG start = GetTickCount64();
  Sleep(20);
  EXPECT_GE(GetTickCount64() - start, 20u);
}

TEST(FakeClockTest, RecordsAndAppliesRequestsToSetTheClockAndZone) {
  ScopedFakeClock clock(Time(2024, 1, 15, 2, 0), 5000);
  const SYSTEMTIME wanted = Time(2024, 1, 15, 2, 7, 30);
  EXPECT_TRUE(SetSystemTime(&wanted));
  const SYSTEMTIME wantedLocal = Time(2024, 1, 15, 10, 0);
  EXPECT_TRUE(SetLocalTime(&wantedLocal));
  const auto requests = clock.SystemTimeRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(Text(requests[0]), Text(wanted));
  EXPECT_EQ(Text(requests[1]), Text(SYSTEMTIME{2024, 1, 1, 15, 2, 0, 0, 0}));
  EXPECT_EQ(GetTickCount(), 5000u);

  TIME_ZONE_INFORMATION london{};
  london.Bias = 0;
  london.DaylightBias = -60;
  london.StandardDate = SYSTEMTIME{0, 10, 0, 5, 2, 0, 0, 0};
  london.DaylightDate = SYSTEMTIME{0, 3, 0, 5, 1, 0, 0, 0};
  EXPECT_TRUE(SetTimeZoneInformation(&london));
  ASSERT_EQ(clock.TimeZoneRequests().size(), 1u);
  TIME_ZONE_INFORMATION now{};
  EXPECT_EQ(GetTimeZoneInformation(&now), TIME_ZONE_ID_STANDARD);
  EXPECT_EQ(now.Bias, 0);
  SYSTEMTIME local{}, utc{};
  GetLocalTime(&local);
  GetSystemTime(&utc);
  EXPECT_EQ(Text(local), Text(utc));
  clock.SetUtc(Time(2024, 7, 1, 12, 0));
  EXPECT_EQ(GetTimeZoneInformation(&now), TIME_ZONE_ID_DAYLIGHT);
  GetLocalTime(&local);
  EXPECT_EQ(local.wHour, 13);
}

// Runs a test in another process zone and puts the zone back afterwards.
class ZoneTest : public ::testing::Test {
 protected:
  void UseZone(const char *name) {
    setenv("TZ", name, 1);
    tzset();
  }
  void TearDown() override {
    if (hadZone_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  const char *const original_ = std::getenv("TZ");
  const bool hadZone_ = original_ != nullptr;
  const std::string saved_ = original_ ? original_ : "";
};

TEST_F(ZoneTest, EuropeanRulesReadAsTheLastSundays) {
  UseZone("Europe/Berlin");
  ScopedFakeClock clock(Time(2024, 6, 1));
  TIME_ZONE_INFORMATION zone{};
  EXPECT_EQ(GetTimeZoneInformation(&zone), TIME_ZONE_ID_DAYLIGHT);
  EXPECT_EQ(zone.Bias, -60);
  EXPECT_EQ(zone.DaylightBias, -60);
  EXPECT_EQ(Text(zone.DaylightDate), Text(SYSTEMTIME{0, 3, 0, 5, 2, 0, 0, 0}));
  EXPECT_EQ(Text(zone.StandardDate), Text(SYSTEMTIME{0, 10, 0, 5, 3, 0, 0, 0}));
}

// The zone record built from the process zone must give, through its own
// rules, the offsets the process zone gives, all year round.
class ProcessZone : public ZoneTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(ProcessZone, ZoneRecordAgreesWithTheProcessZoneAllYear) {
  UseZone(GetParam());
  ScopedFakeClock clock(Time(2024, 5, 1));
  TIME_ZONE_INFORMATION zone{};
  ASSERT_NE(GetTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
  FILETIME ft{};
  const SYSTEMTIME yearStart = Time(2024, 1, 1);
  ASSERT_TRUE(SystemTimeToFileTime(&yearStart, &ft));
  for (int64_t step = 0; step < 366 * 24 * 4; ++step) {
    const int64_t ticks = Ticks(ft) + step * 15 * 60 * 10000000LL;
    ASSERT_EQ(platform::ZoneOffsetSeconds(zone, ticks), clock.UtcOffsetSeconds(ticks))
        << GetParam() << " at quarter hour " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, ProcessZone,
                         ::testing::Values("Asia/Shanghai", "Europe/Berlin", "America/New_York",
                                           "Australia/Sydney"));

}  // namespace
