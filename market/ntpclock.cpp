#include "market/ntpclock.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace {

// Day number of 1900-01-01, the NTP epoch.
constexpr int64_t kNtpEpochDay = 2415021;
constexpr double kFractionScale = 4294967295.0;

// Day number of 1970-01-01.
constexpr int64_t kUnixEpochDay = 2440588;

// The Gregorian day number.
int64_t DayNumber(int64_t year, int month, int day) {
  return platform::DaysFromCivil(year, month, day) + kUnixEpochDay;
}

void DateOfDayNumber(int64_t dayNumber, int64_t &year, int &month, int &day) {
  platform::CivilFromDays(dayNumber - kUnixEpochDay, year, month, day);
}

// Milliseconds to fractions: round(ms * 2^32 / 1000). No product lands
// exactly on a half, so the integer rounding below is exact.
constexpr std::array<uint32_t, 1000> MakeMillisecondTable() {
  std::array<uint32_t, 1000> table{};
  for (uint64_t ms = 0; ms < 1000; ++ms) table[ms] = uint32_t((ms * (uint64_t(1) << 32) + 500) / 1000);
  return table;
}
constexpr std::array<uint32_t, 1000> kMillisecondFraction = MakeMillisecondTable();

uint32_t ReadBigEndian32(const uint8_t *p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void WriteBigEndian32(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

constexpr int kNtpHeaderSize = 48;
constexpr int kNtpReplyRoom = 68;  // the header, a key id and a digest
constexpr uint8_t kModeServer = 4;

// Sets both views of the thread's last error, which are one value on Windows.
void SetThreadError(int code) {
  SetLastError(DWORD(code));
  ws::WSASetLastError(code);
}

constexpr char kTimeZoneKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\China Standard Time";
constexpr char16_t kChinaZoneName[] = u"China Standard Time";
constexpr DWORD kTziSize = 44;

// The registry's REG_TZI_FORMAT, little-endian.
struct RegistryTzi {
  LONG bias, standardBias, daylightBias;
  SYSTEMTIME standardDate, daylightDate;
};

SYSTEMTIME ReadTziDate(const uint8_t *p) {
  WORD fields[8];
  for (int i = 0; i < 8; ++i) fields[i] = WORD(p[2 * i] | (p[2 * i + 1] << 8));
  return SYSTEMTIME{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
}

RegistryTzi ParseTzi(const uint8_t *p) {
  auto get32 = [](const uint8_t *q) {
    return LONG(uint32_t(q[0]) | (uint32_t(q[1]) << 8) | (uint32_t(q[2]) << 16) | (uint32_t(q[3]) << 24));
  };
  return RegistryTzi{get32(p), get32(p + 4), get32(p + 8), ReadTziDate(p + 12), ReadTziDate(p + 28)};
}

// The time-zone privilege has no counterpart here: changing the zone goes
// through the platform, which decides by itself whether it may.
void EnableTimeZonePrivilege(bool) {}

// Where the check asks for the time: the shared settings may name another
// server than the built-in one.
void TimeServerSetting(char (&host)[128], uint16_t &port) {
  const char *file = "..\\cfg\\Setting.ini";
  GetPrivateProfileStringA("Parameter", "TimeServer", kDefaultTimeServer, host, sizeof host, file);
  if (!host[0]) std::strcpy(host, kDefaultTimeServer);
  const UINT configured = GetPrivateProfileIntA("Parameter", "TimeServerPort", kNtpPort, file);
  port = configured >= 1 && configured <= 65535 ? uint16_t(configured) : kNtpPort;
}

const UINT kQuestion = MB_YESNO | MB_ICONQUESTION | MB_TOPMOST;
const UINT kInformation = MB_OK | MB_ICONINFORMATION | MB_TOPMOST;
const UINT kWarning = MB_OK | MB_ICONWARNING | MB_TOPMOST;

}  // namespace

// ---------------------------------------------------------------------------
// NtpTimestamp

NtpTimestamp NtpTimestamp::FromWire(const uint8_t *bytes) {
  return NtpTimestamp(ReadBigEndian32(bytes), ReadBigEndian32(bytes + 4));
}

void NtpTimestamp::ToWire(uint8_t *bytes) const {
  WriteBigEndian32(bytes, Seconds());
  WriteBigEndian32(bytes + 4, Fraction());
}

NtpTimestamp NtpTimestamp::FromSystemTime(const SYSTEMTIME &utc) {
  const int64_t days = DayNumber(utc.wYear, utc.wMonth, utc.wDay) - kNtpEpochDay;
  if (days < 0) return NtpTimestamp();
  const int64_t seconds = ((days * 24 + utc.wHour) * 60 + utc.wMinute) * 60 + utc.wSecond;
  const unsigned ms = utc.wMilliseconds < 1000 ? utc.wMilliseconds : 999;
  return NtpTimestamp(uint32_t(seconds), kMillisecondFraction[ms]);
}

NtpTimestamp NtpTimestamp::Now() {
  SYSTEMTIME utc;
  GetSystemTime(&utc);
  return FromSystemTime(utc);
}

SYSTEMTIME NtpTimestamp::ToSystemTime() const {
  uint64_t s = Seconds();
  unsigned ms = unsigned(Fraction() * 1000.0 / kFractionScale + 0.5);
  if (ms >= 1000) {
    ms -= 1000;
    ++s;
  }
  int64_t year;
  int month, day;
  DateOfDayNumber(int64_t(s / 86400) + kNtpEpochDay, year, month, day);
  SYSTEMTIME out{};
  out.wYear = WORD(year);
  out.wMonth = WORD(month);
  out.wDayOfWeek = WORD((s / 86400 + kNtpEpochDay + 1) % 7);
  out.wDay = WORD(day);
  out.wHour = WORD((s / 3600) % 24);
  out.wMinute = WORD((s / 60) % 60);
  out.wSecond = WORD(s % 60);
  out.wMilliseconds = WORD(ms);
  return out;
}

double operator-(NtpTimestamp a, NtpTimestamp b) {
  if (a < b) return -(b - a);
  const uint64_t d = a.Value() - b.Value();
  return double(d >> 32) + double(d & 0xFFFFFFFFu) / kFractionScale;
}

NtpTimestamp NtpTimestamp::operator+(double seconds) const {
  if (std::isnan(seconds)) return *this;
  const double size = std::fabs(seconds);
  // Offsets of more than one era wrap, as the wire's seconds do.
  const double whole = std::fmod(std::trunc(size), 4294967296.0);
  const double part = size - std::trunc(size);
  const uint64_t delta = (uint64_t(whole) << 32) + uint64_t(part * kFractionScale);
  return NtpTimestamp(seconds >= 0 ? value_ + delta : value_ - delta);
}

// ---------------------------------------------------------------------------
// CNtpSocket

CNtpSocket::~CNtpSocket() { Close(); }

bool CNtpSocket::Create() {
  Close();
  socket_ = ws::socket(AF_INET, SOCK_DGRAM, 0);
  return socket_ != INVALID_SOCKET;
}

bool CNtpSocket::Connect(const char *host, uint16_t port) {
  if (!IsOpen() || !host) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = inet_addr(host);
  if (address.sin_addr.s_addr == INADDR_NONE) {
    hostent *found = ws::gethostbyname(host);
    if (!found || !found->h_addr_list || !found->h_addr_list[0]) return false;
    std::memcpy(&address.sin_addr, found->h_addr_list[0], sizeof address.sin_addr);
  }
  return ws::connect(socket_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != SOCKET_ERROR;
}

bool CNtpSocket::Send(const void *bytes, int length) {
  return ws::send(socket_, static_cast<const char *>(bytes), length, 0) != SOCKET_ERROR;
}

int CNtpSocket::Receive(void *buffer, int size) { return ws::recv(socket_, static_cast<char *>(buffer), size, 0); }

bool CNtpSocket::Close() {
  if (!IsOpen()) return false;
  const bool closed = ws::closesocket(socket_) != SOCKET_ERROR;
  socket_ = INVALID_SOCKET;
  return closed;
}

bool CNtpSocket::IsReadable(bool &readable, DWORD timeoutMs) {
  readable = false;
  WSAFDSET set;
  WSA_FD_ZERO(&set);
  WSA_FD_SET(socket_, &set);
  timeval wait{long(timeoutMs / 1000), long(timeoutMs % 1000) * 1000};
  const int ready = ws::select(0, &set, nullptr, nullptr, &wait);
  if (ready == SOCKET_ERROR) return false;
  readable = ready > 0 && WSA_FD_ISSET(socket_, &set);
  return true;
}

// ---------------------------------------------------------------------------
// The query

int QueryNtpTime(DWORD timeoutMs, const char *host, NtpQueryResult &result, uint16_t port) {
  CNtpSocket socket;
  if (!socket.Create()) return 0;

  auto fail = [&socket](int code) {
    socket.Close();
    SetThreadError(code);
    return 0;
  };

  if (!socket.Connect(host, port)) return fail(ws::WSAGetLastError());

  uint8_t request[kNtpHeaderSize] = {};
  request[0] = 0x1B;  // no leap warning, version 3, client mode
  NtpTimestamp::Now().ToWire(request + 40);
  if (!socket.Send(request, sizeof request)) return fail(ws::WSAGetLastError());

  // The wait is on the network, so it is measured in real time whatever
  // clock the rest of the program reads.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  uint8_t reply[kNtpReplyRoom];
  NtpTimestamp arrived;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    bool readable = false;
    if (!socket.IsReadable(readable, DWORD(left.count() > 0 ? left.count() : 0)) || !readable)
      return fail(WSAETIMEDOUT);
    arrived = NtpTimestamp::Now();
    std::memset(reply, 0, sizeof reply);
    const int got = socket.Receive(reply, sizeof reply);
    if (got == SOCKET_ERROR) return fail(ws::WSAGetLastError());
    // Only a whole header from a server that knows the time is read; anything
    // else is passed over while the time allows.
    if (got >= kNtpHeaderSize && (reply[0] & 0x07) == kModeServer && NtpTimestamp::FromWire(reply + 40).Value() != 0)
      break;
  }

  result.leapIndicator = reply[0] >> 6;
  result.stratum = reply[1];
  result.originate = NtpTimestamp::FromWire(reply + 24);
  result.receive = NtpTimestamp::FromWire(reply + 32);
  result.transmit = NtpTimestamp::FromWire(reply + 40);
  result.destination = arrived;
  result.offset = ((result.receive - result.originate) + (result.transmit - result.destination)) / 2;
  socket.Close();
  return 1;
}

BOOL SetClockFromNtp(NtpTimestamp time) {
  const SYSTEMTIME utc = time.ToSystemTime();
  return SetSystemTime(&utc);
}

int SwitchToChinaTimeZone() {
  EnableTimeZonePrivilege(true);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTimeZoneKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  uint8_t tzi[kTziSize] = {};
  DWORD size = sizeof tzi;
  const LSTATUS read = RegQueryValueExA(key, "TZI", nullptr, nullptr, tzi, &size);
  RegCloseKey(key);
  // A record of another size is no time-zone record: a short one would
  // leave the bias 0 and move the computer to UTC.
  if (read != ERROR_SUCCESS || size != kTziSize) return 0;

  const RegistryTzi record = ParseTzi(tzi);
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = record.bias;
  std::memcpy(zone.StandardName, kChinaZoneName, sizeof kChinaZoneName);
  std::memcpy(zone.DaylightName, kChinaZoneName, sizeof kChinaZoneName);
  zone.StandardDate = record.standardDate;
  zone.DaylightDate = record.daylightDate;
  zone.DaylightBias = record.daylightBias;
  if (!SetTimeZoneInformation(&zone)) return 0;
  EnableTimeZonePrivilege(false);
  return 1;
}

DWORD CheckClockAndZone(LPVOID) {
  char host[128];
  uint16_t port;
  TimeServerSetting(host, port);

  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  NtpQueryResult result;

  if (zone.Bias == -480) {
    if (!QueryNtpTime(kNtpTimeoutMs, host, result, port)) return 0;
    const double drift = std::fabs(result.offset);
    if (drift < 300 || drift >= 3600) return 0;
    if (MessageBoxA(nullptr, "系统时间误差大于5分钟，kivo可能无法正常运行。是否自动调整？  ", "提示", kQuestion) !=
        IDYES)
      return 0;
    SetClockFromNtp(NtpTimestamp::Now() + result.offset);
    MessageBoxA(nullptr, "调整系统时间成功，请退出并重新运行kivo。  ", "提示", kInformation);
    return 0;
  }

  if (MessageBoxA(nullptr, "时区设置为东8区（北京）时，kivo才能正常运行。是否调整时区？  ", "提示", kQuestion) !=
      IDYES)
    return 0;
  if (!SwitchToChinaTimeZone()) {
    MessageBoxA(nullptr, "调整时区失败，kivo可能无法正常运行。  ", "警告", kWarning);
    return 0;
  }
  if (QueryNtpTime(kNtpTimeoutMs, host, result, port)) SetClockFromNtp(NtpTimestamp::Now() + result.offset);
  MessageBoxA(nullptr, "调整时区成功，请退出并重新运行kivo。  ", "提示", kInformation);
  return 0;
}
