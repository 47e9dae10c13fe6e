// The start-up check of the computer's clock and time zone, and the small
// SNTP client it uses.
//
// Market times, closing times and trading-day roll-overs come from the
// computer's clock, which the terminal expects to run in UTC+8 and to be
// right within a few minutes. The check asks a time server on UDP and offers
// the user to correct the zone or the clock. Setting either goes through the
// platform's time calls.
#pragma once

#include <compare>
#include <cstdint>

#include "platform/windef.h"
#include "platform/winsock.h"

// Seconds since 1900-01-01 00:00:00 UTC in 32.32 fixed point: whole seconds
// in the upper half, the fraction in the lower half. Whole seconds wrap in
// 2036, as on the wire; the calendar conversions cover 1900 to 2036.
class NtpTimestamp {
 public:
  constexpr NtpTimestamp() = default;
  constexpr explicit NtpTimestamp(uint64_t value) : value_(value) {}
  constexpr NtpTimestamp(uint32_t seconds, uint32_t fraction) : value_((uint64_t(seconds) << 32) | fraction) {}

  constexpr uint64_t Value() const { return value_; }
  constexpr uint32_t Seconds() const { return uint32_t(value_ >> 32); }
  constexpr uint32_t Fraction() const { return uint32_t(value_); }

  // 8 bytes: whole seconds, then the fraction, both big-endian.
  static NtpTimestamp FromWire(const uint8_t *bytes);
  void ToWire(uint8_t *bytes) const;

  // A UTC calendar time; the milliseconds become the fraction rounded to the
  // nearest unit of 2^-32 s. A date before 1900 gives 0.
  static NtpTimestamp FromSystemTime(const SYSTEMTIME &utc);
  // The system clock (UTC).
  static NtpTimestamp Now();
  // The UTC calendar time, day of week included (0 Sunday). A fraction
  // within half a millisecond of the next second is carried into the
  // seconds, so the result is always a valid time.
  SYSTEMTIME ToSystemTime() const;

  // a - b in seconds, negative when a is earlier.
  friend double operator-(NtpTimestamp a, NtpTimestamp b);
  // Moved by a number of seconds, forward or back.
  NtpTimestamp operator+(double seconds) const;

  friend constexpr auto operator<=>(NtpTimestamp a, NtpTimestamp b) = default;

 private:
  uint64_t value_ = 0;
};

// One UDP socket for one query; the destructor closes it.
class CNtpSocket {
 public:
  CNtpSocket() = default;
  ~CNtpSocket();
  CNtpSocket(const CNtpSocket &) = delete;
  CNtpSocket &operator=(const CNtpSocket &) = delete;

  bool Create();
  // The host is a dotted address or a name, of which the first address is
  // taken. False when the name can't be resolved or the connect fails.
  bool Connect(const char *host, uint16_t port);
  bool Send(const void *bytes, int length);
  // What the receive returns: a byte count, or SOCKET_ERROR.
  int Receive(void *buffer, int size);
  // True when an open socket was closed without error.
  bool Close();
  // False when the wait itself failed; else true, with readable telling
  // whether data arrived within the time-out.
  bool IsReadable(bool &readable, DWORD timeoutMs);

  bool IsOpen() const { return socket_ != INVALID_SOCKET; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

struct NtpQueryResult {
  int32_t leapIndicator = 0;
  int32_t stratum = 0;
  NtpTimestamp originate;    // T1, as the server echoed it
  NtpTimestamp receive;      // T2
  NtpTimestamp transmit;     // T3
  NtpTimestamp destination;  // T4, our clock when the reply became readable
  double offset = 0;         // seconds to add to our clock
};

constexpr uint16_t kNtpPort = 123;
constexpr DWORD kNtpTimeoutMs = 5000;
// The time server the check asks unless "..\cfg\Setting.ini" [Parameter]
// "TimeServer" (and "TimeServerPort") name another.
constexpr const char kDefaultTimeServer[] = "cn.pool.ntp.org";

// Asks host:port for the time, waiting at most timeoutMs for a usable
// reply. 1 on success with the result filled; 0 on failure with the
// thread's last error (both GetLastError and WSAGetLastError) set to the
// failed step's code: WSAETIMEDOUT when no usable reply came in time. A
// failure to create the socket returns 0 and sets nothing.
//
// Replies shorter than the 48-byte header, replies that are not in server
// mode and replies without a transmit time are dropped and the wait goes
// on; replies from other peers never reach the connected socket.
int QueryNtpTime(DWORD timeoutMs, const char *host, NtpQueryResult &result, uint16_t port = kNtpPort);

// Sets the system clock (UTC); the platform's result.
BOOL SetClockFromNtp(NtpTimestamp time);

// Sets the computer's zone to China Standard Time from the registry's
// time-zone table. 1 on success, 0 when the table entry can't be read, is
// not a 44-byte record, or the zone change is refused.
int SwitchToChinaTimeZone();

// The body of the start-up thread: checks the zone and the clock and offers
// the user the corrections. Its boxes have no owner and stay on top.
// Always returns 0.
DWORD CheckClockAndZone(LPVOID unused = nullptr);
