#include "market/ntpclock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/registry.h"
#include "testing/fake_clock.h"
#include "testing/msgbox_recorder.h"
#include "testing/sntp_server.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Seconds from 1601 (FILETIME's epoch) to 1900 (NTP's).
constexpr int64_t kNtpEpochIn1601Seconds = 9435484800LL;

SYSTEMTIME Utc(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
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

bool SameTime(const SYSTEMTIME &a, const SYSTEMTIME &b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
         a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

std::string Show(const SYSTEMTIME &t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
  return text;
}

// ---- Timestamp arithmetic ------------------------------------------------

TEST(NtpTimestampTest, CalendarConversionsMatchKnownInstants) {
  struct Case {
    SYSTEMTIME utc;
    uint32_t seconds, fraction;
    WORD dayOfWeek;
  } cases[] = {
      {Utc(1900, 1, 1), 0, 0, 1},
      {Utc(1900, 1, 1, 0, 0, 0, 500), 0, 2147483648u, 1},
      {Utc(1900, 3, 1), 59 * 86400, 0, 4},  // 1900 is no leap year
      {Utc(1970, 1, 1), 2208988800u, 0, 4},
      {Utc(2000, 2, 29, 23, 59, 59, 1), 3160857599u, 4294967, 2},
      {Utc(2024, 1, 15, 2, 0, 0, 999), 3914272800u, 4290672329u, 1},
      {Utc(2036, 2, 7, 6, 28, 15), 0xFFFFFFFFu, 0, 4},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Show(c.utc));
    const NtpTimestamp t = NtpTimestamp::FromSystemTime(c.utc);
    EXPECT_EQ(t.Seconds(), c.seconds);
    EXPECT_EQ(t.Fraction(), c.fraction);
    const SYSTEMTIME back = t.ToSystemTime();
    EXPECT_TRUE(SameTime(back, c.utc)) << Show(back);
    EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek);
  }
}

// Every day of the era against the platform's own calendar: the day-number
// conversion and its inverse must agree on every month end and leap day.
TEST(NtpTimestampTest, EveryDayOfTheEraRoundTrips) {
  for (int64_t day = 0; day <= 49709; ++day) {  // the era ends on day 49710
    const int64_t seconds = day * 86400 + 12 * 3600 + 34 * 60 + 56;
    const uint64_t ticks = uint64_t(kNtpEpochIn1601Seconds + seconds) * 10000000u;
    const FILETIME ft{DWORD(ticks), DWORD(ticks >> 32)};
    SYSTEMTIME expected;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &expected));
    const SYSTEMTIME got = NtpTimestamp(uint32_t(seconds), 0).ToSystemTime();
    ASSERT_TRUE(SameTime(got, expected) && got.wDayOfWeek == expected.wDayOfWeek)
        << "day " << day << ": " << Show(got) << " vs " << Show(expected);
    ASSERT_EQ(NtpTimestamp::FromSystemTime(expected).Seconds(), uint32_t(seconds)) << "day " << day;
  }
}

TEST(NtpTimestampTest, MillisecondsRoundBothWays) {
  // Each millisecond maps to the nearest fraction and back to itself.
  for (WORD ms = 0; ms < 1000; ++ms) {
    const NtpTimestamp t = NtpTimestamp::FromSystemTime(Utc(2024, 6, 1, 8, 0, 0, ms));
    ASSERT_EQ(uint64_t(t.Fraction()), (uint64_t(ms) * 4294967296u + 500) / 1000);
    ASSERT_EQ(t.ToSystemTime().wMilliseconds, ms);
  }
  // Within half a millisecond of the next second the seconds carry, and the
  // result stays a valid time even at the end of a year.
  const SYSTEMTIME carried = (NtpTimestamp::FromSystemTime(Utc(1999, 12, 31, 23, 59, 59)) + 0.9999999).ToSystemTime();
  EXPECT_TRUE(SameTime(carried, Utc(2000, 1, 1))) << Show(carried);
  const SYSTEMTIME justBelow = NtpTimestamp(10, 4292819381u).ToSystemTime();  // 999.4999 ms
  EXPECT_EQ(justBelow.wSecond, 10);
  EXPECT_EQ(justBelow.wMilliseconds, 999);
}

TEST(NtpTimestampTest, WireFormIsBigEndianSecondsThenFraction) {
  const uint8_t wire[8] = {0xE9, 0x4C, 0x2D, 0x20, 0x80, 0x00, 0x00, 0x01};
  const NtpTimestamp t = NtpTimestamp::FromWire(wire);
  EXPECT_EQ(t.Seconds(), 0xE94C2D20u);
  EXPECT_EQ(t.Fraction(), 0x80000001u);
  uint8_t out[8] = {};
  t.ToWire(out);
  EXPECT_EQ(std::memcmp(out, wire, 8), 0);
}

TEST(NtpTimestampTest, DifferencesAndOffsetsUseTheFullScaleDivisor) {
  const NtpTimestamp base(1000, 0);
  struct Case {
    double offset;
    uint64_t expected;
  } cases[] = {
      {-1.5, base.Value() - (uint64_t(1) << 32) - 2147483647u},
      {1.5, base.Value() + (uint64_t(1) << 32) + 2147483647u},
      {0.0, base.Value()},
      {-0.25, base.Value() - 1073741823u},
      {300.0, base.Value() + (uint64_t(300) << 32)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.offset);
    const NtpTimestamp moved = base + c.offset;
    EXPECT_EQ(moved.Value(), c.expected);
    EXPECT_NEAR(moved - base, c.offset, 1e-9);
    EXPECT_NEAR(base - moved, -c.offset, 1e-9);
  }
  // The fraction divides by 2^32 - 1, so a full fraction is a whole second.
  EXPECT_DOUBLE_EQ(NtpTimestamp(0, 0xFFFFFFFFu) - NtpTimestamp(0, 0), 1.0);
  EXPECT_DOUBLE_EQ(NtpTimestamp(1, 0xFFFFFFFFu) - NtpTimestamp(0, 0), 2.0);
}

// ---- Queries against the loopback time server ----------------------------

class NtpQueryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
  }
  static void TearDownTestSuite() { ws::WSACleanup(); }

  // A loopback port with nobody listening.
  static uint16_t ClosedPort() {
    SntpServer gone;
    return gone.Port();
  }

  ScopedFakeClock clock_{Utc(2024, 3, 1, 4, 0, 0, 250)};
  SntpServer server_;
};

TEST_F(NtpQueryTest, AnsweredQueryMeasuresTheServersOffset) {
  ASSERT_TRUE(server_.Running());
  server_.AnswerWithOffset(123.5);
  server_.SetStratum(3);
  server_.SetLeapIndicator(1);
  NtpQueryResult result;
  ASSERT_EQ(QueryNtpTime(2000, server_.Host(), result, server_.Port()), 1);

  const NtpTimestamp now = NtpTimestamp::FromSystemTime(Utc(2024, 3, 1, 4, 0, 0, 250));
  EXPECT_NEAR(result.offset, 123.5, 1e-6);
  EXPECT_EQ(result.stratum, 3);
  EXPECT_EQ(result.leapIndicator, 1);
  EXPECT_EQ(result.originate, now);  // the server echoes our transmit time
  EXPECT_EQ(result.destination, now);
  EXPECT_NEAR(result.transmit - now, 123.5, 1e-6);

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  ASSERT_EQ(requests[0].size(), 48u);
  EXPECT_EQ(requests[0][0], 0x1B);
  for (int i = 1; i < 40; ++i) EXPECT_EQ(requests[0][i], 0) << i;
  EXPECT_EQ(NtpTimestamp::FromWire(requests[0].data() + 40), now);
}

TEST_F(NtpQueryTest, ReplyWithinTheTimeOutIsTaken) {
  server_.AnswerWithOffset(-42);
  server_.SetDelayMs(150);
  NtpQueryResult result;
  ASSERT_EQ(QueryNtpTime(3000, server_.Host(), result, server_.Port()), 1);
  EXPECT_NEAR(result.offset, -42, 1e-6);
}

// Nothing usable within the time: silence, a late reply, and replies that
// must be dropped rather than read (too short to hold the times, of no
// meaning, or not from a server) all end in a time-out.
TEST_F(NtpQueryTest, NoUsableReplyTimesOut) {
  struct Case {
    const char *name;
    SntpServer::Reply reply;
    int delayMs;
    int shortLength;
  } cases[] = {
      {"silent", SntpServer::Reply::kSilent, 0, 0},         {"late", SntpServer::Reply::kAnswer, 900, 0},
      {"empty", SntpServer::Reply::kShort, 0, 0},           {"20 bytes", SntpServer::Reply::kShort, 0, 20},
      {"47 bytes", SntpServer::Reply::kShort, 0, 47},       {"garbage", SntpServer::Reply::kGarbage, 0, 0},
      {"client mode", SntpServer::Reply::kWrongMode, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SntpServer server;
    server.SetReply(c.reply);
    server.SetDelayMs(c.delayMs);
    server.SetShortLength(c.shortLength);
    NtpQueryResult result;
    result.offset = 77;
    SetLastError(0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(QueryNtpTime(300, server.Host(), result, server.Port()), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(GetLastError(), DWORD(WSAETIMEDOUT));
    EXPECT_EQ(ws::WSAGetLastError(), WSAETIMEDOUT);
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_EQ(result.offset, 77);  // a failed query leaves the result alone
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

// A bad reply does not end the wait: a good one that follows still counts.
TEST_F(NtpQueryTest, GoodReplyAfterBadOnesIsTaken) {
  server_.SetReplies({SntpServer::Reply::kShort, SntpServer::Reply::kGarbage, SntpServer::Reply::kWrongMode,
                      SntpServer::Reply::kAnswer});
  server_.AnswerWithOffset(5);
  NtpQueryResult result;
  ASSERT_EQ(QueryNtpTime(2000, server_.Host(), result, server_.Port()), 1);
  EXPECT_NEAR(result.offset, 5, 1e-6);
  EXPECT_EQ(result.stratum, 2);
}

TEST_F(NtpQueryTest, FailedStepsKeepTheirErrorCode) {
  NtpQueryResult result;
  EXPECT_EQ(QueryNtpTime(2000, "127.0.0.1", result, ClosedPort()), 0);
  EXPECT_EQ(GetLastError(), DWORD(WSAECONNREFUSED));
  EXPECT_EQ(QueryNtpTime(2000, "time.invalid", result, 123), 0);
  EXPECT_EQ(GetLastError(), DWORD(WSAHOST_NOT_FOUND));
  EXPECT_EQ(ws::WSAGetLastError(), WSAHOST_NOT_FOUND);
}

TEST_F(NtpQueryTest, SettingTheClockGoesThroughThePlatform) {
  EXPECT_TRUE(SetClockFromNtp(NtpTimestamp::FromSystemTime(Utc(2024, 3, 1, 4, 5, 6, 789))));
  ASSERT_EQ(clock_.SystemTimeRequests().size(), 1u);
  EXPECT_TRUE(SameTime(clock_.SystemTimeRequests()[0], Utc(2024, 3, 1, 4, 5, 6, 789)));
}

// ---- Time-zone switch and the start-up check ------------------------------

TIME_ZONE_INFORMATION ZoneWithBias(LONG bias) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = bias;
  return zone;
}

class ClockCheckTest : public NtpQueryTest {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    root_ = testing_support::MakeTempFolder("kivo-ntp");
    ASSERT_FALSE(root_.empty());
    fs::create_directories(root_ / "prog");
    fs::create_directories(root_ / "cfg");
    fs::current_path(root_ / "prog");
    setenv("KIVO_REGISTRY_FILE", (root_ / "registry.ini").c_str(), 1);
    PointAt(server_.Port());
    clock_.SetZone(ZoneWithBias(-480));
  }
  void TearDown() override {
    fs::current_path(old_);
    unsetenv("KIVO_REGISTRY_FILE");
    fs::remove_all(root_);
  }

  // Every check in these tests asks the loopback server, never the
  // built-in one.
  void PointAt(uint16_t port) {
    std::ofstream(root_ / "cfg" / "Setting.ini")
        << "[Parameter]\r\nTimeServer=127.0.0.1\r\nTimeServerPort=" << port << "\r\n";
  }

  void SetChinaTzi(const std::string &bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\China Standard Time", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(key, "TZI", 0, REG_BINARY, reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }

  SYSTEMTIME Now() const {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return t;
  }

  fs::path old_, root_;
};

TEST_F(ClockCheckTest, SwitchSetsChinaStandardTimeFromTheRegistry) {
  ASSERT_EQ(SwitchToChinaTimeZone(), 1);
  const auto zones = clock_.TimeZoneRequests();
  ASSERT_EQ(zones.size(), 1u);
  EXPECT_EQ(zones[0].Bias, -480);
  EXPECT_EQ(zones[0].StandardBias, 0);
  EXPECT_EQ(zones[0].DaylightBias, -60);
  EXPECT_EQ(std::u16string(zones[0].StandardName), u"China Standard Time");
  EXPECT_EQ(std::u16string(zones[0].DaylightName), u"China Standard Time");
}

TEST_F(ClockCheckTest, SwitchRefusesAMissingOrMisshapenRecord) {
  SetChinaTzi(std::string(40, '\0'));  // too short: would move the zone to UTC
  EXPECT_EQ(SwitchToChinaTimeZone(), 0);
  SetChinaTzi(std::string(48, '\x10'));
  EXPECT_EQ(SwitchToChinaTimeZone(), 0);
  EXPECT_TRUE(clock_.TimeZoneRequests().empty());

  // A registry whose zone table lacks the entry.
  std::ofstream(root_ / "registry.ini")
      << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones]\n";
  EXPECT_EQ(SwitchToChinaTimeZone(), 0);
  EXPECT_TRUE(clock_.TimeZoneRequests().empty());
}

TEST_F(ClockCheckTest, RealClockRefusesTheZoneChange) {
  platform::ClockSource *fake = platform::SetClockSource(nullptr);
  EXPECT_EQ(SwitchToChinaTimeZone(), 0);
  platform::SetClockSource(fake);
}

// In UTC+8 the clock is offered a correction only when it is off by five
// minutes to an hour; more than that is taken for a server fault.
TEST_F(ClockCheckTest, DriftDecidesWhetherToAsk) {
  struct Case {
    double offset;
    bool asked;
  } cases[] = {
      {0, false},   {299.9, false}, {300, true},    {3599, true},
      {-300, true}, {3600, false},  {-3600, false}, {86400, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.offset);
    server_.AnswerWithOffset(c.offset);
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(CheckClockAndZone(nullptr), 0u);
    ASSERT_EQ(boxes.Count(), c.asked ? 1u : 0u);
    if (c.asked) {
      const auto call = boxes.Calls()[0];
      EXPECT_EQ(call.owner, nullptr);
      EXPECT_EQ(call.caption, "提示");
      EXPECT_EQ(call.text, "系统时间误差大于5分钟，kivo可能无法正常运行。是否自动调整？  ");
      EXPECT_EQ(call.type, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    }
    EXPECT_TRUE(clock_.SystemTimeRequests().empty());  // No leaves the clock alone
  }
}

TEST_F(ClockCheckTest, AcceptedCorrectionSetsTheClockAndSaysSo) {
  server_.AnswerWithOffset(-1200.5);
  const SYSTEMTIME start = Now();
  MessageBoxRecorder boxes(IDOK);
  boxes.QueueAnswer(IDYES);
  CheckClockAndZone(nullptr);

  ASSERT_EQ(clock_.SystemTimeRequests().size(), 1u);
  const NtpTimestamp set = NtpTimestamp::FromSystemTime(clock_.SystemTimeRequests()[0]);
  EXPECT_NEAR(set - NtpTimestamp::FromSystemTime(start), -1200.5, 0.002);
  ASSERT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(boxes.Calls()[1].text, "调整系统时间成功，请退出并重新运行kivo。  ");
  EXPECT_EQ(boxes.Calls()[1].type, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
  EXPECT_TRUE(clock_.TimeZoneRequests().empty());
}

TEST_F(ClockCheckTest, UnreachableServerInChinaEndsSilently) {
  server_.SetReply(SntpServer::Reply::kSilent);
  MessageBoxRecorder boxes;
  const auto start = std::chrono::steady_clock::now();
  CheckClockAndZone(nullptr);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_TRUE(clock_.SystemTimeRequests().empty());
  // One time-out of the query (real time, as the network has it), not more.
  EXPECT_LT(waited, std::chrono::milliseconds(2 * kNtpTimeoutMs));
  EXPECT_EQ(server_.Requests().size(), 1u);
}

// Outside UTC+8 the zone comes first; the clock follows without thresholds
// or a second question when the server answers.
TEST_F(ClockCheckTest, OtherZoneOffersTheSwitch) {
  struct Case {
    const char *name;
    int answer;
    bool registryEntry;
    bool serverAnswers;
    size_t zoneChanges, clockChanges;
    const char *lastText, *lastCaption;
  } cases[] = {
      {"declined", IDNO, true, true, 0, 0, "时区设置为东8区（北京）时，kivo才能正常运行。是否调整时区？  ", "提示"},
      {"switched", IDYES, true, true, 1, 1, "调整时区成功，请退出并重新运行kivo。  ", "提示"},
      {"switched, server unreachable", IDYES, true, false, 1, 0, "调整时区成功，请退出并重新运行kivo。  ", "提示"},
      {"switch refused", IDYES, false, true, 0, 0, "调整时区失败，kivo可能无法正常运行。  ", "警告"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ScopedFakeClock clock(Utc(2024, 3, 1, 4, 0, 0));
    clock.SetZone(ZoneWithBias(-540));
    fs::remove(root_ / "registry.ini");
    if (!c.registryEntry)
      std::ofstream(root_ / "registry.ini")
          << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones]\n";
    PointAt(c.serverAnswers ? server_.Port() : ClosedPort());
    server_.AnswerWithOffset(7.25);  // far below the thresholds of UTC+8

    MessageBoxRecorder boxes(IDOK);
    boxes.QueueAnswer(c.answer);
    CheckClockAndZone(nullptr);

    ASSERT_GE(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Calls()[0].type, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    EXPECT_EQ(boxes.Calls().back().text, c.lastText);
    EXPECT_EQ(boxes.Calls().back().caption, c.lastCaption);
    EXPECT_EQ(boxes.Count(), c.answer == IDYES ? 2u : 1u);
    EXPECT_EQ(clock.TimeZoneRequests().size(), c.zoneChanges);
    ASSERT_EQ(clock.SystemTimeRequests().size(), c.clockChanges);
    if (c.clockChanges) {
      const NtpTimestamp set = NtpTimestamp::FromSystemTime(clock.SystemTimeRequests()[0]);
      EXPECT_NEAR(set - NtpTimestamp::FromSystemTime(Utc(2024, 3, 1, 4, 0, 0)), 7.25, 0.002);
    }
  }
}

}  // namespace
