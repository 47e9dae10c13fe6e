// The price alarm engine TAlarm: the user's list of at most 100 alarms, each
// watching one instrument with up to five thresholds; every pushed quote of
// a watched instrument is checked, an item that fires stays silent until
// the day roll re-arms it, and its sounds are played three times each by a
// thread of the engine's own, so the quote road never waits for a sound.
// The list lives in "%sALARM.SET" of the user's folder.
#pragma once

#include <atomic>
#include <string>
#include <cstdint>

#include "core/earray.h"
#include "market/marketrecords.h"
#include "platform/kernel.h"
#include "platform/windef.h"

class TSubscriptionBuilder;

// Fired conditions (AlarmData::state); 0 = armed.
constexpr uint32_t ALARM_ABOVE_HIGH = 0x1;
constexpr uint32_t ALARM_BELOW_LOW = 0x2;
constexpr uint32_t ALARM_TRADE_SIZE = 0x10;
constexpr uint32_t ALARM_VOLUME = 0x20;
constexpr uint32_t ALARM_AMOUNT = 0x40;

// A threshold that is not set: the dialogs write this bit pattern (a NaN);
// every test takes any NaN as "not set".
float AlarmUnset();
bool AlarmIsSet(float threshold);

constexpr int kAlarmMaxItems = 100;
constexpr int kAlarmSoundSlots = 20;
constexpr int kAlarmQueues = 3;
constexpr int kAlarmSoundPath = 260;

// One alarm item, kept by value.
struct AlarmData {
  STKPTR stock;
  uint32_t state;
  float priceHigh;  // in price units (the quote's integer price / the divisor)
  float priceLow;
  float tradeSize;  // last single trade
  float volume;     // the day's volume
  float amount;     // the day's amount or open interest
  char sound[kAlarmSoundPath];  // empty for none
  SYSTEMTIME firedAt;           // local time; zero while armed
};

// A new item: every threshold unset, no sound, armed.
AlarmData NewAlarmItem(STKPTR stock);

// One sound slot: plays still due (0 = free) and the path ("BEP" = a beep).
struct ALARMSOUND {
  int32_t count;
  char path[kAlarmSoundPath];
};

// The stored forms ("KVAS04" is written, "KVAS03" only read).
constexpr int kAlarmFileHeader = 10;
constexpr int kAlarmRecord04 = 296;
constexpr int kAlarmRecord03 = 36;

class TAlarm {
 public:
  // Loads "ALARM.SET" and, with soundThread, starts the sound thread.
  explicit TAlarm(bool soundThread = true);
  // Stops the sound thread and saves the list.
  ~TAlarm();
  TAlarm(const TAlarm &) = delete;
  TAlarm &operator=(const TAlarm &) = delete;

  // Replaces the list by the file's; a missing or unknown file leaves it
  // empty and the two switches as they are.
  void Load();
  // Writes a new file and renames it over the old one; false (silently)
  // when that failed, and the old file stays.
  bool Save();

  // One pushed quote of one instrument. Allocates nothing; sounds go to the
  // sound thread, window work is posted.
  void CheckQuote(STKPTR stock, const REALQUOTE &quote);
  // -1 when the list is full; else the item is armed, appended and its
  // index returned.
  int AddAlarm(const AlarmData &item);
  bool RemoveAlarm(int index);
  // Every item armed again (the day roll).
  void Rearm();
  // The instruments of the armed items into the real-time subscription.
  void AddArmedStocks(TSubscriptionBuilder &builder) const;

  // The compact table of watched instruments that lets a quote of another
  // instrument leave at once; whoever changes the list's instruments in
  // place calls it (a change of the count is seen by itself).
  void ListChanged();

  void StartSoundThread();
  // Asks the thread to end and waits for it; it ends within the play that
  // is running.
  void StopSoundThread();
  bool SoundThreadRunning() const { return thread_ != nullptr; }
  // "中止声音": every slot and queue emptied; a sound playing ends by itself.
  void StopSounds();
  // The sound thread's step: the next sound of the queues in their order
  // (the slot's count goes down by one). False when nothing is queued.
  bool TakeSound(char (&path)[kAlarmSoundPath]);
  // Whether the engine could set up its sound slots.
  bool SoundsReady() const { return slots_ != nullptr; }

  bool soundOn = true;
  bool popupOn = true;
  EArray<AlarmData> items{kAlarmMaxItems};
  // Where "show the alarm window" and "refresh the subscription" are
  // posted: the main window.
  HWND frameWindow = nullptr;

 private:
  static DWORD SoundThread(LPVOID self);
  void RunSounds();
  // Under the lock.
  void QueueSound(const char *path, size_t bytes);
  bool AnyQueued() const;

  // (market << 16 | stock) + 1 of every item, open addressing; 0 = free.
  static constexpr int kWatchSlots = 256;
  uint32_t watched_[kWatchSlots] = {};
  int32_t watchedCount_ = -1;

  CRITICAL_SECTION lock_{};
  ALARMSOUND *slots_ = nullptr;
  ALARMSOUND **queues_[kAlarmQueues] = {};
  HANDLE thread_ = nullptr;
  HANDLE wake_ = nullptr;  // a sound was queued
  HANDLE stop_ = nullptr;  // the thread shall end
  std::atomic<int32_t> running_{0};
};

// The one engine, null while there is none.
extern TAlarm *AlarmEngine;

// A sound path names a file that exists.
bool AlarmSoundExists(const char *path);

// The path of "ALARM.SET" in the user's folder.
std::string AlarmFilePath();
