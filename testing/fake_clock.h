// A clock that stands still until the test moves it. UTC and the tick count
// move together; sleeping moves them at once instead of waiting. Requests to
// set the clock or the zone are recorded and applied to this clock only.
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "platform/clock.h"

class FakeClock : public platform::ClockSource {
 public:
  // 2024-01-15 02:00:00 UTC (10:00 in Shanghai), tick count 1000.
  FakeClock();
  explicit FakeClock(const SYSTEMTIME &utc, uint64_t tickMs = 1000);
  explicit FakeClock(const FILETIME &utc, uint64_t tickMs = 1000);

  void SetUtc(const SYSTEMTIME &utc);
  void SetUtc(const FILETIME &utc);
  void SetTick(uint64_t ms);
  // Moves UTC and the tick count forward together.
  void Advance(uint64_t ms);
  // Local time then follows this zone instead of the process zone.
  void SetZone(const TIME_ZONE_INFORMATION &zone);
  void UseProcessZone();

  // What SetSystemTime / SetLocalTime (as UTC) and SetTimeZoneInformation
  // asked for, in order.
  std::vector<SYSTEMTIME> SystemTimeRequests() const;
  std::vector<TIME_ZONE_INFORMATION> TimeZoneRequests() const;

  int64_t UtcNow100ns() override;
  uint64_t TickMs() override;
  void Sleep(DWORD ms) override;
  BOOL SetSystemTimeUtc(const SYSTEMTIME &utc) override;
  BOOL SetTimeZone(const TIME_ZONE_INFORMATION &zone) override;
  int32_t UtcOffsetSeconds(int64_t utc100ns) override;
  DWORD TimeZone(TIME_ZONE_INFORMATION &zone) override;

 private:
  mutable std::mutex lock_;
  int64_t utc_;
  uint64_t tick_;
  std::optional<TIME_ZONE_INFORMATION> zone_;
  std::vector<SYSTEMTIME> timeRequests_;
  std::vector<TIME_ZONE_INFORMATION> zoneRequests_;
};

// A fake clock that is the process clock for as long as it lives.
class ScopedFakeClock : public FakeClock {
 public:
  template <class... Args>
  explicit ScopedFakeClock(Args &&...args) : FakeClock(std::forward<Args>(args)...) {
    previous_ = platform::SetClockSource(this);
  }
  ~ScopedFakeClock() override { platform::SetClockSource(previous_); }
  ScopedFakeClock(const ScopedFakeClock &) = delete;
  ScopedFakeClock &operator=(const ScopedFakeClock &) = delete;

 private:
  platform::ClockSource *previous_ = nullptr;
};
