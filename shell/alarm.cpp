#include "shell/alarm.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/beep.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/handles.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "shell/alarmdlg.h"
#include "shell/framecore.h"

TAlarm *AlarmEngine = nullptr;

namespace {

constexpr char kMagic04[] = "KVAS04";
constexpr char kMagic03[] = "KVAS03";
constexpr char kBeep[4] = {'B', 'E', 'P', 0};
constexpr char kDefaultSound[] = ".\\alarm.wav";
constexpr DWORD kPlayGapMs = 500;

// The stored record; texts are fixed fields, a 7-character code fills its
// field without a terminator.
#pragma pack(push, 1)
struct ALARMREC {
  char market[9];
  char code[7];
  float priceHigh;
  float priceLow;
  float tradeSize;
  float volume;
  float amount;
  char sound[kAlarmSoundPath];
};
#pragma pack(pop)
static_assert(sizeof(ALARMREC) == kAlarmRecord04);
static_assert(offsetof(ALARMREC, sound) == kAlarmRecord03);

// A fixed text field as a terminated text (the field may fill its width).
template <size_t N>
void TakeField(char *out, const char (&field)[N]) {
  const size_t n = strnlen(field, N);
  std::memcpy(out, field, n);
  out[n] = 0;
}

template <size_t N>
void PutField(char (&field)[N], const char *text, size_t width) {
  std::memset(field, 0, N);
  std::memcpy(field, text, strnlen(text, width));
}

}  // namespace

float AlarmUnset() {
  const uint32_t bits = 0xFFFFFFFFu;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

bool AlarmIsSet(float threshold) { return !std::isnan(threshold); }

AlarmData NewAlarmItem(STKPTR stock) {
  AlarmData item;
  std::memset(static_cast<void *>(&item), 0, sizeof item);
  item.stock = stock;
  item.priceHigh = item.priceLow = item.tradeSize = item.volume = item.amount = AlarmUnset();
  return item;
}

bool AlarmSoundExists(const char *path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string AlarmFilePath() { return std::string(UserDataPath) + "ALARM.SET"; }

// ---- Life --------------------------------------------------------------------------------

TAlarm::TAlarm(bool soundThread) {
  InitializeCriticalSection(&lock_);
  Load();
  slots_ = new (std::nothrow) ALARMSOUND[kAlarmSoundSlots]();
  bool ok = slots_ != nullptr;
  for (auto &queue : queues_) {
    queue = new (std::nothrow) ALARMSOUND *[kAlarmSoundSlots]();
    ok = ok && queue;
  }
  if (!ok) {
    delete[] slots_;
    slots_ = nullptr;
    for (auto &queue : queues_) {
      delete[] queue;
      queue = nullptr;
    }
    MessageBoxA(nullptr, "内存不足，价格预警系统无法正常运行。  ", "警告", MB_OK | MB_ICONWARNING | MB_TOPMOST);
    return;
  }
  if (soundThread) StartSoundThread();
}

TAlarm::~TAlarm() {
  StopSoundThread();
  Save();
  delete[] slots_;
  for (auto &queue : queues_) delete[] queue;
  DeleteCriticalSection(&lock_);
  if (AlarmEngine == this) AlarmEngine = nullptr;
}

// ---- The file ----------------------------------------------------------------------------

void TAlarm::Load() {
  items.RemoveAll();
  HANDLE file = CreateFileA(AlarmFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char header[kAlarmFileHeader];
  DWORD got = 0;
  int recordSize = 0;
  if (ReadFile(file, header, sizeof header, &got, nullptr) && got == sizeof header) {
    if (std::memcmp(header, kMagic04, 6) == 0) recordSize = kAlarmRecord04;
    else if (std::memcmp(header, kMagic03, 6) == 0) recordSize = kAlarmRecord03;
  }
  const DWORD size = GetFileSize(file, nullptr);
  int n = recordSize && size != INVALID_FILE_SIZE ? int((int64_t(size) - kAlarmFileHeader) / recordSize) : 0;
  if (n <= 0) {
    CloseHandle(file);
    return;
  }
  if (n > kAlarmMaxItems) n = kAlarmMaxItems;
  uint32_t flags;
  std::memcpy(&flags, header + 6, sizeof flags);
  soundOn = flags & 1;
  popupOn = (flags & 2) != 0;
  for (int i = 0; i < n;) {
    ALARMREC record;
    std::memset(&record, 0, sizeof record);
    if (!ReadFile(file, &record, DWORD(recordSize), &got, nullptr) || got != DWORD(recordSize)) break;
    char marketName[sizeof record.market + 1], code[sizeof record.code + 1];
    TakeField(marketName, record.market);
    TakeField(code, record.code);
    TMarketData *market = FindMarketByName(marketName);
    const STKINFO *info = market ? market->FindStock(code) : nullptr;
    if (!info) continue;  // gone from the tables: dropped
    AlarmData item = NewAlarmItem(STKPTR(info->market, info->kind, info->index));
    item.priceHigh = record.priceHigh;
    item.priceLow = record.priceLow;
    item.tradeSize = record.tradeSize;
    item.volume = record.volume;
    item.amount = record.amount;
    // A path that fills its field has lost its end: it names no file.
    if (recordSize == kAlarmRecord04 && strnlen(record.sound, sizeof record.sound) < sizeof record.sound &&
        AlarmSoundExists(record.sound))
      std::memcpy(item.sound, record.sound, sizeof item.sound);
    if (items.Add(item) < 0) break;
    ++i;
  }
  CloseHandle(file);
  ListChanged();
}

bool TAlarm::Save() {
  std::string bytes(kMagic04, 6);
  const uint32_t flags = (soundOn ? 1u : 0u) | (popupOn ? 2u : 0u);
  bytes.append(reinterpret_cast<const char *>(&flags), sizeof flags);
  for (int i = 0; i < items.GetCount(); ++i) {
    const AlarmData &item = items.GetData()[i];
    const TMarketData *market = MarketAt(item.stock.market);
    const STKINFO *info = GetStockInfo(item.stock);
    if (!market || !info) continue;
    ALARMREC record;
    std::memset(&record, 0, sizeof record);
    PutField(record.market, market->m_info.shortName, sizeof record.market - 1);
    PutField(record.code, info->code, sizeof record.code);
    record.priceHigh = item.priceHigh;
    record.priceLow = item.priceLow;
    record.tradeSize = item.tradeSize;
    record.volume = item.volume;
    record.amount = item.amount;
    PutField(record.sound, item.sound, sizeof record.sound - 1);
    bytes.append(reinterpret_cast<const char *>(&record), sizeof record);
  }
  const std::string path = AlarmFilePath();
  const std::string staging = path + ".tmp";
  HANDLE out = CreateFileA(staging.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(out);
  if (ok && MoveFileExA(staging.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileA(staging.c_str());
  return false;
}

// ---- The list ----------------------------------------------------------------------------

int TAlarm::AddAlarm(const AlarmData &item) {
  if (items.GetCount() >= kAlarmMaxItems) return -1;
  AlarmData armed = item;
  armed.state = 0;
  std::memset(&armed.firedAt, 0, sizeof armed.firedAt);
  const int index = items.Add(armed);
  ListChanged();
  return index;
}

bool TAlarm::RemoveAlarm(int index) {
  if (index < 0 || index >= items.GetCount()) return false;
  items.RemoveAt(index);
  ListChanged();
  return true;
}

void TAlarm::Rearm() {
  for (int i = 0; i < items.GetCount(); ++i) {
    AlarmData &item = items.GetData()[i];
    item.state = 0;
    std::memset(&item.firedAt, 0, sizeof item.firedAt);
  }
}

void TAlarm::AddArmedStocks(TSubscriptionBuilder &builder) const {
  for (int i = 0; i < items.GetCount() && !builder.Full(); ++i) {
    const AlarmData &item = items.GetData()[i];
    if (item.state == 0) builder.Add(item.stock);
  }
}

// ---- A quote -----------------------------------------------------------------------------

namespace {
uint32_t WatchKey(STKPTR stock) { return (uint32_t(stock.market) << 16 | stock.stock) + 1; }
uint32_t WatchSlot(uint32_t key, int slots) { return (key * 2654435761u) >> 24 & uint32_t(slots - 1); }
}  // namespace

void TAlarm::ListChanged() {
  std::memset(watched_, 0, sizeof watched_);
  for (int i = 0; i < items.GetCount(); ++i) {
    const uint32_t key = WatchKey(items.GetData()[i].stock);
    uint32_t slot = WatchSlot(key, kWatchSlots);
    while (watched_[slot] && watched_[slot] != key) slot = (slot + 1) & (kWatchSlots - 1);
    watched_[slot] = key;
  }
  watchedCount_ = items.GetCount();
}

void TAlarm::CheckQuote(STKPTR stock, const REALQUOTE &quote) {
  if (quote.last == 0) return;
  if (items.GetCount() != watchedCount_) ListChanged();
  // Most quotes are of instruments no item watches.
  const uint32_t key = WatchKey(stock);
  uint32_t slot = WatchSlot(key, kWatchSlots);
  while (watched_[slot] && watched_[slot] != key) slot = (slot + 1) & (kWatchSlots - 1);
  if (!watched_[slot]) return;
  bool fired = false, needDefault = false;
  const int n = items.GetCount();
  AlarmData *list = items.GetData();
  for (int i = 0; i < n; ++i) {
    AlarmData &item = list[i];
    if (item.state != 0 || !SameStock(item.stock, stock)) continue;
    uint32_t state = 0;
    if (AlarmIsSet(item.priceHigh) || AlarmIsSet(item.priceLow)) {
      const STKINFO *info = GetStockInfo(item.stock);
      const double last = double(quote.last) / double(info ? info->PriceDivisor() : 1000u);
      if (AlarmIsSet(item.priceHigh) && last >= double(item.priceHigh)) state |= ALARM_ABOVE_HIGH;
      if (AlarmIsSet(item.priceLow) && last <= double(item.priceLow)) state |= ALARM_BELOW_LOW;
    }
    if (AlarmIsSet(item.tradeSize) && quote.lastVolume >= item.tradeSize) state |= ALARM_TRADE_SIZE;
    if (AlarmIsSet(item.volume) && quote.volume >= item.volume) state |= ALARM_VOLUME;
    if (AlarmIsSet(item.amount) && quote.amount >= item.amount) state |= ALARM_AMOUNT;
    if (state == 0) continue;
    item.state = state;
    GetLocalTime(&item.firedAt);
    fired = true;
    if (!soundOn) continue;
    if (item.sound[0] && AlarmSoundExists(item.sound)) {
      if (slots_) {
        EnterCriticalSection(&lock_);
        QueueSound(item.sound, strnlen(item.sound, sizeof item.sound - 1));
        LeaveCriticalSection(&lock_);
      }
    } else {
      needDefault = true;
    }
  }
  if (!fired) return;
  if (slots_) {
    EnterCriticalSection(&lock_);
    QueueSound(kBeep, sizeof kBeep - 1);
    if (needDefault) QueueSound(kDefaultSound, sizeof kDefaultSound - 1);
    LeaveCriticalSection(&lock_);
    if (wake_) SetEvent(wake_);
  }
  if (AlarmWindow && AlarmWindow->Visible()) AlarmWindow->RefreshList();
  else if (popupOn && frameWindow) PostMessageA(frameWindow, WM_SHOW_ALARM_WINDOW, 0, 0);
  if (AlarmSettingsForm && AlarmSettingsForm->Visible()) AlarmSettingsForm->RefreshList();
  if (frameWindow) PostMessageA(frameWindow, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

// ---- Sounds ------------------------------------------------------------------------------

void TAlarm::QueueSound(const char *path, size_t bytes) {
  for (int s = 0; s < kAlarmSoundSlots; ++s) {
    ALARMSOUND &slot = slots_[s];
    if (slot.count > 0) continue;
    std::memset(slot.path, 0, sizeof slot.path);
    std::memcpy(slot.path, path, bytes < sizeof slot.path ? bytes : sizeof slot.path - 1);
    slot.count = kAlarmQueues;
    for (auto &queue : queues_)
      for (int p = 0; p < kAlarmSoundSlots; ++p)
        if (!queue[p]) {
          queue[p] = &slot;
          break;
        }
    return;
  }
  // Every slot is taken: the sound is dropped.
}

bool TAlarm::AnyQueued() const {
  if (!slots_) return false;
  for (const auto &queue : queues_)
    if (queue[0]) return true;
  return false;
}

bool TAlarm::TakeSound(char (&path)[kAlarmSoundPath]) {
  if (!slots_) return false;
  bool taken = false;
  EnterCriticalSection(&lock_);
  for (auto &queue : queues_) {
    ALARMSOUND *slot = queue[0];
    if (!slot) continue;
    std::memmove(queue, queue + 1, sizeof(ALARMSOUND *) * (kAlarmSoundSlots - 1));
    queue[kAlarmSoundSlots - 1] = nullptr;
    std::memcpy(path, slot->path, sizeof path);
    path[kAlarmSoundPath - 1] = 0;
    --slot->count;
    taken = true;
    break;
  }
  LeaveCriticalSection(&lock_);
  return taken;
}

void TAlarm::StopSounds() {
  if (!slots_) return;
  EnterCriticalSection(&lock_);
  std::memset(static_cast<void *>(slots_), 0, sizeof(ALARMSOUND) * kAlarmSoundSlots);
  for (auto &queue : queues_) std::memset(static_cast<void *>(queue), 0, sizeof(ALARMSOUND *) * kAlarmSoundSlots);
  LeaveCriticalSection(&lock_);
}

void TAlarm::StartSoundThread() {
  if (thread_ || !slots_) return;
  wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  running_ = 1;
  thread_ = CreateThread(nullptr, 0, &TAlarm::SoundThread, this, 0, nullptr);
  if (!thread_) {
    running_ = 0;
    CloseHandle(wake_);
    CloseHandle(stop_);
    wake_ = stop_ = nullptr;
  }
}

void TAlarm::StopSoundThread() {
  if (!thread_) return;
  running_ = 0;
  SetEvent(stop_);
  // Every wait of the thread ends on the stop event, so it ends within the
  // play that is running: joined, never cut off.
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(wake_);
  CloseHandle(stop_);
  thread_ = wake_ = stop_ = nullptr;
}

DWORD TAlarm::SoundThread(LPVOID self) {
  static_cast<TAlarm *>(self)->RunSounds();
  return 0;
}

void TAlarm::RunSounds() {
  // A second's grace after the start.
  WaitForSingleObject(stop_, 1000);
  const HANDLE events[2] = {stop_, wake_};
  while (running_) {
    if (!AnyQueued()) {
      WaitForMultipleObjects(2, events, FALSE, INFINITE);
      continue;
    }
    char path[kAlarmSoundPath];
    if (!TakeSound(path)) continue;
    const DWORD start = GetTickCount();
    if (!path[0]) {
      WaitForSingleObject(stop_, 1000);
      continue;
    }
    if (std::memcmp(path, kBeep, sizeof kBeep) == 0) Beep(597, 500);
    else PlaySoundA(path, nullptr, SND_FILENAME);
    const DWORD took = GetTickCount() - start;
    if (took < kPlayGapMs) WaitForSingleObject(stop_, kPlayGapMs - took);
  }
}
