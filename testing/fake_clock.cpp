#include "testing/fake_clock.h"

namespace {

int64_t Ticks(const FILETIME &ft) {
  return int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

int64_t Ticks(const SYSTEMTIME &st) {
  FILETIME ft{};
  SystemTimeToFileTime(&st, &ft);  // an invalid time leaves 1601-01-01
  return Ticks(ft);
}

}  // namespace

FakeClock::FakeClock() : FakeClock(SYSTEMTIME{2024, 1, 1, 15, 2, 0, 0, 0}) {}

FakeClock::FakeClock(const SYSTEMTIME &utc, uint64_t tickMs) : utc_(Ticks(utc)), tick_(tickMs) {}

FakeClock::FakeClock(const FILETIME &utc, uint64_t tickMs) : utc_(Ticks(utc)), tick_(tickMs) {}

void FakeClock::SetUtc(const SYSTEMTIME &utc) {
  std::lock_guard guard(lock_);
  utc_ = Ticks(utc);
}

void FakeClock::SetUtc(const FILETIME &utc) {
  std::lock_guard guard(lock_);
  utc_ = Ticks(utc);
}

void FakeClock::SetTick(uint64_t ms) {
  {
    std::lock_guard guard(lock_);
    tick_ = ms;
  }
  platform::ClockMoved();
}

void FakeClock::Advance(uint64_t ms) {
  {
    std::lock_guard guard(lock_);
    utc_ += int64_t(ms) * 10000;
    tick_ += ms;
  }
  platform::ClockMoved();
}

void FakeClock::SetZone(const TIME_ZONE_INFORMATION &zone) {
  std::lock_guard guard(lock_);
  zone_ = zone;
}

void FakeClock::UseProcessZone() {
  std::lock_guard guard(lock_);
  zone_.reset();
}

std::vector<SYSTEMTIME> FakeClock::SystemTimeRequests() const {
  std::lock_guard guard(lock_);
  return timeRequests_;
}

std::vector<TIME_ZONE_INFORMATION> FakeClock::TimeZoneRequests() const {
  std::lock_guard guard(lock_);
  return zoneRequests_;
}

int64_t FakeClock::UtcNow100ns() {
  std::lock_guard guard(lock_);
  return utc_;
}

uint64_t FakeClock::TickMs() {
  std::lock_guard guard(lock_);
  return tick_;
}

void FakeClock::Sleep(DWORD ms) { Advance(ms); }

BOOL FakeClock::SetSystemTimeUtc(const SYSTEMTIME &utc) {
  std::lock_guard guard(lock_);
  timeRequests_.push_back(utc);
  utc_ = Ticks(utc);
  return TRUE;
}

BOOL FakeClock::SetTimeZone(const TIME_ZONE_INFORMATION &zone) {
  std::lock_guard guard(lock_);
  zoneRequests_.push_back(zone);
  zone_ = zone;
  return TRUE;
}

int32_t FakeClock::UtcOffsetSeconds(int64_t utc100ns) {
  std::unique_lock guard(lock_);
  if (!zone_) {
    guard.unlock();
    return ClockSource::UtcOffsetSeconds(utc100ns);
  }
  return platform::ZoneOffsetSeconds(*zone_, utc100ns);
}

DWORD FakeClock::TimeZone(TIME_ZONE_INFORMATION &zone) {
  std::unique_lock guard(lock_);
  if (!zone_) {
    guard.unlock();
    return ClockSource::TimeZone(zone);
  }
  zone = *zone_;
  DWORD id = TIME_ZONE_ID_UNKNOWN;
  platform::ZoneOffsetSeconds(zone, utc_, &id);
  return id;
}
