#include "market/calendar.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture_min.h"

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MarketSandbox;

namespace {

constexpr PackedDateTime Day(unsigned y, unsigned m, unsigned d, unsigned h = 0, unsigned min = 0) {
  return MakePackedDateTime(y, m, d, h, min);
}

SYSTEMTIME Utc(WORD y, WORD m, WORD d, WORD h, WORD min) {
  SYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = m;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = min;
  return t;
}

void WriteCalendar(const MarketSandbox &box) {
  // Key 4 is missing: the holiday list ends there, so 20240102 is no holiday.
  box.WriteText("cfg/hldy.ini",
                "[JJR]\r\n1=20240212\r\n2=20240213\r\n3=20240101\r\n5=20240102\r\n");
  // The fourth value has no comma: the list ends there.
  box.WriteText("cfg/hldyex.ini",
                "[WKND]\n1=20240106,1\n2=20240107,3\n3=20240218,0\n4=20240224\n5=20240210,0\n");
  LoadHolidayLists();
}

TEST(TradingCalendar, TradingDaysByCalendarKey) {
  MarketSandbox box;
  WriteCalendar(box);
  struct Case {
    PackedDateTime date;
    int key;
    int nonTrading;
  } cases[] = {
      {Day(2024, 1, 6), 1, 0},    // Saturday listed for key 1
      {Day(2024, 1, 6), 0, 1},    // ... but not for key 0
      {Day(2024, 1, 7), 3, 0},    // Sunday listed for key 3
      {Day(2024, 1, 7), 1, 1},
      {Day(2024, 2, 18), 0, 0},   // weekend trading day, key 0
      {Day(2024, 2, 10), 0, 1},   // listed after the malformed value: not read
      {Day(2024, 1, 13), 0, 1},   // plain Saturday
      {Day(2024, 2, 12), 0, 1},   // weekday holiday, keys that keep holidays
      {Day(2024, 2, 12), 1, 1},
      {Day(2024, 2, 12), 3, 1},
      {Day(2024, 2, 12), 5, 1},
      {Day(2024, 2, 12), 15, 1},
      {Day(2024, 2, 12), 2, 0},   // other keys trade on holidays
      {Day(2024, 2, 12), 4, 0},
      {Day(2024, 2, 12), 16, 0},
      {Day(2024, 1, 1, 14, 30), 0, 1},  // the time of day does not matter
      {Day(2024, 1, 2), 0, 0},    // after the gap in the holiday keys
      {Day(2024, 1, 16), 0, 0},   // plain Tuesday
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.date << std::dec << " key " << c.key);
    EXPECT_EQ(IsNonTradingDay(&c.date, c.key), c.nonTrading);
  }
}

TEST(TradingCalendar, HolidayListKeepsAtMost63Dates) {
  MarketSandbox box;
  std::string ini = "[JJR]\n";
  for (int i = 1; i <= 70; ++i) ini += std::to_string(i) + "=" + std::to_string(20250100 + i) + "\n";
  box.WriteText("cfg/hldy.ini", ini);
  std::string weekend = "[WKND]\n";
  for (int i = 1; i <= 130; ++i) weekend += std::to_string(i) + "=" + std::to_string(20000000 + i) + ",7\n";
  box.WriteText("cfg/hldyex.ini", weekend);
  LoadHolidayLists();
  EXPECT_EQ(TradingCalendar.holidays[62], 20250163);
  EXPECT_EQ(TradingCalendar.holidays[63], 0);
  EXPECT_EQ(TradingCalendar.weekendDays[126].date, 20000127);
  EXPECT_EQ(TradingCalendar.weekendDays[127].date, 0);
  EXPECT_EQ(TradingCalendar.weekendDays[127].calendarKey, 0);

  // A second load starts from empty tables.
  box.WriteText("cfg/hldy.ini", "[JJR]\n1=20250101\n");
  box.WriteText("cfg/hldyex.ini", "");
  LoadHolidayLists();
  EXPECT_EQ(TradingCalendar.holidays[1], 0);
  EXPECT_EQ(TradingCalendar.weekendDays[0].date, 0);
}

TEST(TradingCalendar, ValidPackedDates) {
  struct Case {
    PackedDateTime date;
    int valid;
  } cases[] = {
      {Day(2024, 2, 29), 1}, {Day(2023, 2, 29), 0}, {Day(1900, 2, 29), 0}, {Day(2000, 2, 29), 1},
      {Day(2024, 4, 31), 0}, {Day(2024, 12, 31, 23, 59), 1}, {Day(2024, 13, 1), 0},
      {Day(2024, 0, 1), 0},  {Day(2024, 1, 0), 0},  {Day(2024, 1, 1, 24, 0), 0}, {Day(2024, 1, 1, 0, 60), 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.date);
    EXPECT_EQ(IsValidPackedDate(&c.date), c.valid);
  }
}

MKINFO DaySessionMarket() {
  MKINFO m = MakeMarket("SH", "shf", 1, 10, 8, 0);
  AddKind(m, "A", {{570, 690}, {780, 900}}, 540, 960);
  // A night-and-day kind: 21:00-23:30, then the day sessions, in a clock day
  // that starts at 21:00.
  AddKind(m, "N", {{0, 150}, {720, 825}, {870, 990}}, 0, 1080);
  return m;
}

TEST(TradingMinutes, ClockMinuteToIndexAndBack) {
  const MKINFO m = DaySessionMarket();
  EXPECT_EQ(TradingMinutesOfKind(&m, 0), 240);
  EXPECT_EQ(TradingMinutesOfKind(&m, 1), 375);
  struct Case {
    int kind, clock, index;
  } toIndex[] = {
      {0, 500, 0},   {0, 570, 0},   {0, 571, 1},   {0, 689, 119}, {0, 690, 119},
      {0, 700, 119},  // first half of the break: last minute of the morning
      {0, 734, 119}, {0, 735, 120},  // from the midpoint on: first minute after it
      {0, 780, 120}, {0, 899, 239}, {0, 900, 239}, {0, 1439, 239},
      {1, 0, 0},     {1, 149, 149}, {1, 300, 149}, {1, 435, 150}, {1, 825, 254},
      {1, 847, 255}, {1, 989, 374}, {1, 990, 374},
  };
  for (const Case &c : toIndex) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " clock " << c.clock);
    EXPECT_EQ(ClockToTradingMinute(&m, c.clock, c.kind), c.index);
  }
  Case toClock[] = {
      {0, 780, 120}, {0, 899, 500}, {0, 570, 0}, {0, 689, 119}, {0, 899, 239}, {0, 570, -5},
      {1, 720, 150}, {1, 870, 255}, {1, 989, 374}, {1, 989, 9999},
  };
  for (const Case &c : toClock) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " index " << c.index);
    EXPECT_EQ(TradingMinuteToClock(&m, c.index, c.kind), c.clock);
  }
  for (int kind = 0; kind < 2; ++kind)
    for (int i = 0; i < TradingMinutesOfKind(&m, kind); ++i)
      ASSERT_EQ(ClockToTradingMinute(&m, TradingMinuteToClock(&m, i, kind), kind), i) << kind << " " << i;
}

TEST(TradingMinutes, DamagedSessionTablesStayInRange) {
  MKINFO m = MakeMarket("X", "x", 1, 1);
  AddKind(m, "four", {{60, 120}, {130, 140}, {200, 300}, {400, 410}}, 0, 1440);
  m.kinds[0].sessionCount = 9;  // only four exist
  AddKind(m, "backward", {{600, 500}, {700, 760}}, 0, 1440);
  AddKind(m, "none", {}, 0, 1440);

  EXPECT_EQ(TradingMinutesOfKind(&m, 0), 180);
  EXPECT_EQ(TradingMinuteToClock(&m, 179, 0), 409);
  EXPECT_EQ(TradingMinutesOfKind(&m, 1), 60);
  for (int clock : {0, 550, 600, 650, 700, 759, 800}) {
    int index = ClockToTradingMinute(&m, clock, 1);
    EXPECT_GE(index, 0) << clock;
    EXPECT_LT(index, 60) << clock;
  }
  EXPECT_EQ(TradingMinutesOfKind(&m, 2), 0);
  EXPECT_EQ(ClockToTradingMinute(&m, 600, 2), 0);
  for (int kind : {-1, 15, 200}) {
    EXPECT_EQ(TradingMinutesOfKind(&m, kind), 0);
    EXPECT_EQ(ClockToTradingMinute(&m, 600, kind), 0);
    EXPECT_EQ(TradingMinuteToClock(&m, 3, kind), 0);
  }
}

// The market clock, the trading date and the session tests of kind 0 under
// a fake clock, across holidays, weekend trading days, the market's own
// midnight and a night session. The market trades while any of its kinds
// does: the day market's second kind has a session from 0:00 and one from
// 12:00.
TEST(MarketTime, ClockAndTradingDateFollowTheCalendar) {
  MarketSandbox box;
  WriteCalendar(box);
  MKINFO day = DaySessionMarket();
  // Beijing + 3 hours: 21:00 in Beijing is the start of this market's day.
  MKINFO night = MakeMarket("NT", "nt", 2, 10, 11, 1);
  AddKind(night, "N", {{0, 150}, {720, 825}, {870, 990}}, 0, 1080);

  struct Case {
    const char *what;
    const MKINFO *market;
    SYSTEMTIME utc;
    PackedDateTime marketTime;
    PackedDateTime tradingDate;
    int inDayWindow, inSession, tradingNow, tradingMinute;
  } cases[] = {
      {"morning session", &day, Utc(2024, 1, 15, 2, 0), Day(2024, 1, 15, 10, 0), Day(2024, 1, 15), 1, 1, 1, 30},
      {"before the day start", &day, Utc(2024, 1, 15, 0, 30), Day(2024, 1, 15, 8, 30), Day(2024, 1, 12), 0, 0, 0, 0},
      {"day start + 1", &day, Utc(2024, 1, 15, 1, 1), Day(2024, 1, 15, 9, 1), Day(2024, 1, 12), 1, 0, 0, 0},
      {"day start + 2", &day, Utc(2024, 1, 15, 1, 2), Day(2024, 1, 15, 9, 2), Day(2024, 1, 15), 1, 0, 0, 0},
      {"lunch break", &day, Utc(2024, 1, 15, 4, 0), Day(2024, 1, 15, 12, 0), Day(2024, 1, 15), 1, 0, 1, 119},
      {"saturday", &day, Utc(2024, 1, 13, 3, 0), Day(2024, 1, 13, 11, 0), Day(2024, 1, 12), 0, 1, 0, 90},
      {"holiday tuesday", &day, Utc(2024, 2, 13, 2, 0), Day(2024, 2, 13, 10, 0), Day(2024, 2, 9), 0, 1, 0, 30},
      {"before start after holidays", &day, Utc(2024, 2, 14, 0, 0), Day(2024, 2, 14, 8, 0), Day(2024, 2, 9), 0, 0, 0,
       0},
      {"weekend trading day", &day, Utc(2024, 2, 18, 2, 0), Day(2024, 2, 18, 10, 0), Day(2024, 2, 18), 1, 1, 1, 30},
      {"offset crosses into a leap day", &day, Utc(2024, 2, 28, 16, 30), Day(2024, 2, 29, 0, 30), Day(2024, 2, 28),
       0, 0, 1, 0},
      {"offset crosses into March", &day, Utc(2023, 2, 28, 16, 30), Day(2023, 3, 1, 0, 30), Day(2023, 2, 28), 0, 0,
       1, 0},
      {"night: last minute of the clock day", &night, Utc(2024, 1, 16, 12, 59), Day(2024, 1, 16, 23, 59),
       Day(2024, 1, 16), 0, 0, 0, 374},
      {"night: new clock day, day start + 1", &night, Utc(2024, 1, 16, 13, 1), Day(2024, 1, 17, 0, 1),
       Day(2024, 1, 16), 1, 1, 1, 1},
      {"night: day start + 2 rolls the date", &night, Utc(2024, 1, 16, 13, 2), Day(2024, 1, 17, 0, 2),
       Day(2024, 1, 17), 1, 1, 1, 2},
      {"night of friday", &night, Utc(2024, 1, 19, 13, 30), Day(2024, 1, 20, 0, 30), Day(2024, 1, 19), 0, 1, 0, 30},
      {"night before the holidays", &night, Utc(2024, 2, 9, 13, 30), Day(2024, 2, 10, 0, 30), Day(2024, 2, 9), 0, 1,
       0, 30},
      {"night on a holiday", &night, Utc(2024, 2, 12, 15, 30), Day(2024, 2, 13, 2, 30), Day(2024, 2, 9), 0, 0, 0, 149},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ScopedFakeClock clock(c.utc);
    UpdateCurrentUtcTime();
    std::unique_ptr<TMarketData> market(new TMarketData(0, *c.market));
    EXPECT_EQ(market->m_currentTime, c.marketTime);
    EXPECT_EQ(market->m_currentMinute, PackedHour(c.marketTime) * 60 + PackedMinute(c.marketTime));
    EXPECT_EQ(market->m_tradingDate[0], c.tradingDate);
    EXPECT_EQ(IsInDayWindow(market.get(), 0), c.inDayWindow);
    EXPECT_EQ(IsInSession(market.get(), 0), c.inSession);
    EXPECT_EQ(market->IsTradingNow(), c.tradingNow);
    EXPECT_EQ(+market->m_info.kinds[0].currentTradingMinute, c.tradingMinute);
  }
}

TEST(MarketTime, ClockUpdateMovesTheTradingMinutesOnly) {
  MarketSandbox box;
  ScopedFakeClock clock(Utc(2024, 1, 15, 2, 0));
  UpdateCurrentUtcTime();
  TMarketData market(0, DaySessionMarket());
  EXPECT_EQ(+market.m_info.kinds[0].minutesPerDay, 240);
  EXPECT_EQ(+market.m_info.kinds[1].minutesPerDay, 375);
  EXPECT_EQ(market.m_longestDay, 375);
  EXPECT_TRUE(IsPastDayStart(&market, 0));
  EXPECT_FALSE(IsPastDayStartAt(&market, 0, 541));
  EXPECT_TRUE(IsPastDayStartAt(&market, 0, 542));

  market.UpdateMarketClock(Day(2024, 1, 15, 5, 30));  // 13:30 in the market
  EXPECT_EQ(market.m_currentMinute, 810);
  EXPECT_EQ(+market.m_info.kinds[0].currentTradingMinute, 150);
  EXPECT_EQ(+market.m_info.kinds[1].currentTradingMinute, 240);
  // The trading date is the day roll-over's business, not the clock's.
  EXPECT_EQ(market.m_tradingDate[0], Day(2024, 1, 15));
}

// ---- Time zones ----------------------------------------------------------

SYSTIMEFILE ZoneFile() {
  SYSTIMEFILE f;
  std::memset(&f, 0, sizeof f);
  f.zoneCount = 3;
  f.selectedZone = 2;  // never taken from the file
  f.marketOffsets[0] = 8;
  f.marketOffsets[1] = 8;
  f.marketOffsets[2] = 0;
  for (int k = 0; k < kMaxStockKinds; ++k) {
    f.entries[0 * kMaxStockKinds + k] = ZONEENTRY{0, "market"};
    f.entries[1 * kMaxStockKinds + k] = ZONEENTRY{-5, "west"};
    f.entries[2 * kMaxStockKinds + k] = ZONEENTRY{8, "london"};
  }
  f.zones[0] = ZONEENTRY{0, "own"};
  f.zones[1] = ZONEENTRY{8, "beijing"};
  f.zones[2].hourOffset = 11;
  std::memset(f.zones[2].name, 'Z', sizeof f.zones[2].name);  // no NUL
  return f;
}

std::string ReadTimeZoneSetting() {
  char path[MAX_PATH + 16], value[32];
  std::snprintf(path, sizeof path, "%sSETTING.INI", UserDataPath);
  GetPrivateProfileStringA("Parameter", "TimeZone", "none", value, sizeof value, path);
  return value;
}

TEST(TimeZones, SelectedZoneComesFromTheSettingsAndIsWrittenBack) {
  struct Case {
    const char *setting;
    uint32_t selected;
    int offset0, offset2;
    const char *name0;
  } cases[] = {
      {nullptr, 0, 0, 8, "market"},
      {"1", 1, 0, 8, "beijing"},
      {"2", 2, 3, 11, "ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ"},  // 31 characters kept
      {"3", 0, 0, 8, "market"},                            // equal to the zone count
      {"-1", 0, 0, 8, "market"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "none");
    MarketSandbox box;
    SYSTIMEFILE file = ZoneFile();
    box.Write("cfg/systime.dat", &file, sizeof file);
    if (c.setting) box.WriteText("user/SETTING.INI", std::string("[Parameter]\nTimeZone=") + c.setting + "\n");
    LoadSessionTimeTable(&TimeZoneTable);
    EXPECT_EQ(+TimeZoneTable.file.selectedZone, c.selected);
    EXPECT_EQ(+TimeZoneTable.working[0].hourOffset, c.offset0);
    EXPECT_EQ(+TimeZoneTable.working[2 * kMaxStockKinds + 14].hourOffset, c.offset2);
    EXPECT_STREQ(TimeZoneTable.working[5].name, c.name0);
    EXPECT_EQ(ReadTimeZoneSetting(), std::to_string(c.selected));
  }
}

TEST(TimeZones, DamagedOrOversizedTablesAreRefusedOrCapped) {
  MarketSandbox box;
  SYSTIMEFILE file = ZoneFile();
  std::string bytes(reinterpret_cast<const char *>(&file), sizeof file);
  for (size_t size : {size_t(0), size_t(8), sizeof file - 1}) {
    SCOPED_TRACE(size);
    box.Write("cfg/systime.dat", bytes.data(), size);
    LoadSessionTimeTable(&TimeZoneTable);
    EXPECT_EQ(+TimeZoneTable.file.zoneCount, 0u);
    EXPECT_EQ(+TimeZoneTable.working[30].hourOffset, 0);
  }
  box.Write("cfg/systime.dat", (bytes + "x").data(), bytes.size() + 1);
  LoadSessionTimeTable(&TimeZoneTable);
  EXPECT_EQ(+TimeZoneTable.file.zoneCount, 0u);

  file.zoneCount = 40;
  box.Write("cfg/systime.dat", &file, sizeof file);
  LoadSessionTimeTable(&TimeZoneTable);
  EXPECT_EQ(+TimeZoneTable.file.zoneCount, 32u);
  SelectTimeZone(&TimeZoneTable, 31);  // in range now, an empty zone
  EXPECT_EQ(+TimeZoneTable.file.selectedZone, 31u);
  SelectTimeZone(&TimeZoneTable, 32);
  EXPECT_EQ(+TimeZoneTable.file.selectedZone, 31u);
  SelectTimeZone(&TimeZoneTable, -1);
  EXPECT_EQ(ReadTimeZoneSetting(), "31");
}

TEST(TimeZones, MarketTimesShiftAcrossDaysAndBack) {
  MarketSandbox box;
  SYSTIMEFILE file = ZoneFile();
  box.Write("cfg/systime.dat", &file, sizeof file);
  LoadSessionTimeTable(&TimeZoneTable);
  SelectTimeZone(&TimeZoneTable, 2);  // market 0: +3, market 1: +3, market 2: +11

  struct Case {
    int market;
    PackedDateTime in, out;
  } cases[] = {
      {0, Day(2024, 2, 28, 22, 0), Day(2024, 2, 29, 1, 0)},
      {0, Day(2023, 2, 28, 22, 15), Day(2023, 3, 1, 1, 15)},
      {0, Day(2024, 12, 31, 23, 59), Day(2025, 1, 1, 2, 59)},
      {0, Day(2024, 1, 15, 10, 0), Day(2024, 1, 15, 13, 0)},
      {2, Day(2024, 3, 1, 20, 0), Day(2024, 3, 2, 7, 0)},
      {47, Day(2024, 3, 1, 20, 0), Day(2024, 3, 2, 7, 0)},  // offset 11 - 0
      {48, Day(2024, 3, 1, 20, 0), Day(2024, 3, 1, 20, 0)},  // out of range: no shift
      {-1, Day(2024, 3, 1, 20, 0), Day(2024, 3, 1, 20, 0)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.market << " " << std::hex << c.in);
    PackedDateTime t = c.in;
    MarketTimeToLocal(&TimeZoneTable, c.market, 4, &t);
    EXPECT_EQ(t, c.out);
    LocalTimeToMarket(&TimeZoneTable, c.market, 4, &t);
    EXPECT_EQ(t, c.in);
  }
  SYSTEMTIME st = Utc(2024, 2, 28, 23, 30);
  EXPECT_EQ(SystemTimeToMarketPacked(&TimeZoneTable, 0, 0, &st), Day(2024, 2, 29, 2, 30));

  SelectTimeZone(&TimeZoneTable, 0);  // market 1 is -5 in the file
  struct HourCase {
    int market, hour, shifted, day;
  } hours[] = {
      {1, 3, 22, 1}, {1, 5, 0, 2}, {1, 12, 7, 2}, {2, 16, 0, 3}, {2, 22, 6, 3}, {2, 8, 16, 2},
  };
  for (const HourCase &c : hours) {
    int hour = c.hour;
    EXPECT_EQ(ShiftHourByZone(&TimeZoneTable, c.market, 0, &hour), c.day) << c.market << " " << c.hour;
    EXPECT_EQ(hour, c.shifted);
  }
}

}  // namespace
