#include "market/reqbuild.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "market/answer.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"

namespace {

constexpr int32_t kBar = int32_t(sizeof(KLINEBAR));
constexpr int32_t kTrendHead = int32_t(sizeof(TRENDHEAD));
constexpr int32_t kInfoEntry = 256;
// The newest bars a stale minute file is examined by: a day and its edges.
constexpr int32_t kMinuteTrimWindow = 1444;
constexpr int32_t kMinutesPerDay = 1440;

struct Instrument {
  TMarketData *md = nullptr;
  int market = 0;
  int stock = 0;
  const STKINFO *info = nullptr;
};

bool Resolve(int market, int stock, Instrument *out) {
  TMarketData *md = MarketAt(market);
  if (!md || !md->m_stocks || stock < 0 || stock >= md->m_loadedCount) return false;
  *out = Instrument{md, market, stock, &md->m_stocks[stock]};
  return true;
}

bool HasRight(const Instrument &in) { return HasMarketRight(in.market, in.info->kind) != 0; }

REQUESTREC NewRequest(int kind, const Instrument *in) {
  REQUESTREC r;
  std::memset(&r, 0, sizeof r);
  r.kind = uint8_t(kind);
  if (in) {
    r.market = uint16_t(in->market);
    std::memcpy(r.code, in->info->code, strnlen(in->info->code, sizeof in->info->code));
  }
  return r;
}

// Last-write time of an existing plain file; false for a missing one or a
// folder.
bool LastWrite(const char *path, FILETIME *written, int32_t *size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (written) *written = data.ftLastWriteTime;
  if (size) *size = data.nFileSizeHigh != 0 || data.nFileSizeLow > DWORD(INT32_MAX) ? -1 : int32_t(data.nFileSizeLow);
  return true;
}

bool SetLastWrite(const char *path, const FILETIME &written) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const BOOL ok = SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  return ok != FALSE;
}

// The market time of a file's last write: its UTC time with the market's
// hour offset added.
bool FileMarketTime(const TMarketData *md, const char *path, PackedDateTime *out) {
  FILETIME written;
  SYSTEMTIME utc;
  if (!LastWrite(path, &written, nullptr) || !FileTimeToSystemTime(&written, &utc)) return false;
  PackedDateTime t = MakePackedDateTime(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute);
  ShiftPackedHours(&t, md->m_info.hourOffset);
  *out = t;
  return true;
}

PackedDateTime DateOf(PackedDateTime t) { return t & kPackedDateMask; }
int MinuteOfDay(PackedDateTime t) { return int(PackedHour(t)) * 60 + int(PackedMinute(t)); }
PackedDateTime MarketDate(const TMarketData *md) { return DateOf(md->m_currentTime); }

int DayStartOf(const TMarketData *md, int kind) {
  return kind >= 0 && kind < md->m_info.kindCount && kind < kMaxStockKinds ? md->m_info.kinds[kind].dayStart : 0;
}

// The trading date a moment belongs to: its date, one day earlier before
// the kind's day start + 2 minutes, then back over the days the market does
// not trade.
PackedDateTime TradingDateAt(const TMarketData *md, int kind, PackedDateTime t) {
  PackedDateTime date = DateOf(t);
  if (MinuteOfDay(t) < DayStartOf(md, kind) + 2) PackedPreviousDayInPlace(&date);
  for (int guard = 0; guard < 366 && IsNonTradingDay(&date, md->m_info.calendarKey); ++guard)
    PackedPreviousDayInPlace(&date);
  return date;
}

// Reads count records of size bytes at a position; false on any shortfall.
bool ReadAt(const char *path, int32_t position, void *buffer, int32_t bytes) {
  const int32_t file = FileOpen(path, "rb");
  if (file <= 0) return false;
  const bool ok = FileSeek(file, position, 0) == position && FileRead(file, buffer, 1, bytes) == bytes;
  FileClose(file);
  return ok;
}

bool TruncateTo(const char *path, int32_t length) {
  const int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return false;
  const bool ok = FileTruncate(file, length) == length;
  FileClose(file);
  return ok;
}

// A bar file last written on an earlier day may end in a bar that was still
// forming: its tail goes before the request asks from after it. The file
// keeps its last-write time, which the request then looks at.
void TrimStaleBars(const char *path, int base) {
  FILETIME written;
  int32_t size = 0;
  if (!LastWrite(path, &written, &size) || size < 0) return;
  const int32_t n = size / kBar;
  int32_t keep = 0;
  if (base == 8) {
    keep = n >= 6 ? n - 5 : 0;
  } else if (n > 1) {
    const int32_t window = std::min(n, kMinuteTrimWindow);
    uint32_t times[kMinuteTrimWindow];
    for (int32_t i = 0; i < window; ++i)
      if (!ReadAt(path, (n - window + i) * kBar, &times[i], 4)) return;
    const PackedDateTime newest = DateOf(times[window - 1]);
    if (window > kMinutesPerDay && DateOf(times[window - 1 - kMinutesPerDay]) == newest) {
      keep = 0;
    } else {
      int32_t i = window - 1;
      while (i >= 0 && DateOf(times[i]) == newest) --i;
      keep = n - (window - 1 - i);
    }
  }
  if (TruncateTo(path, keep * kBar)) SetLastWrite(path, written);
}

// The moment just before a bar: a minute earlier for minute bases (wrapping
// into the hour and the day before), the day before for day bars. A bar
// with a field out of range is taken as it is.
PackedDateTime MomentBefore(PackedDateTime t, int base) {
  if (!IsValidPackedDate(&t)) return t;
  if (base == 8) {
    PackedDateTime d = DateOf(t);
    PackedPreviousDayInPlace(&d);
    return d;
  }
  int hour = int(PackedHour(t)), minute = int(PackedMinute(t));
  PackedDateTime date = DateOf(t);
  if (minute > 0) return date | PackedDateTime(hour) << 6 | PackedDateTime(minute - 1);
  if (hour > 0) return date | PackedDateTime(hour - 1) << 6 | 59;
  PackedPreviousDayInPlace(&date);
  return date | PackedDateTime(23) << 6 | 59;
}

bool PrepareBars(const TMarketData *md, const char *path, uint32_t *first, uint32_t *second, bool history) {
  const int base = int(*first);
  int32_t size = 0;
  if (!LastWrite(path, nullptr, &size) || size < kBar) {
    *first = 0;
    *second = 0;
    return true;
  }
  const int32_t n = size / kBar;
  uint32_t newest = 0, oldest = 0;
  if (!ReadAt(path, (n - 1) * kBar, &newest, 4) || !ReadAt(path, 0, &oldest, 4)) return false;
  const PackedDateTime after = PackedNextDay(DateOf(newest));
  const PackedDateTime today = MarketDate(md);
  if (after >= today || history) {
    if (!history || n >= MaxDataRecords) return false;
    *first = 0;
    *second = MomentBefore(oldest, base);
    return true;
  }
  PackedDateTime written;
  if (FileMarketTime(md, path, &written) && DateOf(written) == today) return false;
  StampWithServerClock(path);
  *first = after;
  *second = 0;
  return true;
}

// Weights, base text files and notes lists belong to a trading date.
bool PrepareDated(const TMarketData *md, int stock, const char *path) {
  PackedDateTime written;
  if (!md) {
    // No market to take a trading date from: the file keeps for the day of
    // the shared clock.
    FILETIME ft;
    SYSTEMTIME utc;
    if (!LastWrite(path, &ft, nullptr)) return true;
    if (FileTimeToSystemTime(&ft, &utc) &&
        MakePackedDateTime(utc.wYear, utc.wMonth, utc.wDay) == DateOf(CurrentUtcTime))
      return false;
    DeleteFileA(path);
    return true;
  }
  if (!FileMarketTime(md, path, &written)) return true;
  const int kind = StockKindOf(md, stock);
  if (TradingDateAt(md, kind, written) == TradingDateAt(md, kind, md->m_currentTime)) return false;
  DeleteFileA(path);
  return true;
}

int CompareStamp(const SYSTEMTIME &a, const SYSTEMTIME &b) {
  const uint64_t ka = uint64_t(a.wYear) << 40 | uint64_t(a.wMonth) << 32 | uint64_t(a.wDay) << 24 |
                      uint64_t(a.wHour) << 16 | uint64_t(a.wMinute) << 8 | a.wSecond;
  const uint64_t kb = uint64_t(b.wYear) << 40 | uint64_t(b.wMonth) << 32 | uint64_t(b.wDay) << 24 |
                      uint64_t(b.wHour) << 16 | uint64_t(b.wMinute) << 8 | b.wSecond;
  return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

// An information index is kept for the session it was written in; a newer
// one of the classes that grow (all but 1 and 2) is asked from its end.
bool PrepareInfoIndex(const TMarketData *md, int stock, const char *path, uint32_t *first, uint32_t infoClass) {
  FILETIME ft;
  int32_t size = 0;
  if (!LastWrite(path, &ft, &size)) return true;
  SYSTEMTIME utc;
  const TNormalClnt *client = QueueClient();
  PackedDateTime written;
  const int kind = StockKindOf(md, stock);
  if (client && size >= 0 && FileTimeToSystemTime(&ft, &utc) && CompareStamp(utc, client->SessionStart()) >= 0 &&
      FileMarketTime(md, path, &written) &&
      TradingDateAt(md, kind, written) == TradingDateAt(md, kind, md->m_currentTime)) {
    if (infoClass == 1 || infoClass == 2) return false;
    *first = uint32_t(size / kInfoEntry);
    return true;
  }
  DeleteFileA(path);
  // The text of the same name goes with its index.
  char text[MAX_PATH];
  if (CacheFilePath(md, stock, kCacheInfoText, text, sizeof text, infoClass)) DeleteFileA(text);
  return true;
}

// Ticks and today's trend: asked from the records held on the stock kind's
// trading date, from scratch otherwise.
void RequestIntraday(int kind, int market, int stock, uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in) || !HasRight(in)) return;
  const bool ticks = kind == REQ_TICKS;
  if (ticks ? IsTickRequestPending(in.info->code, market) : IsTrendRequestPending(in.info->code, market)) return;
  char path[MAX_PATH];
  if (!CacheFilePath(in.md, stock, ticks ? kCacheTicks : kCacheTodayTrend, path, sizeof path)) return;
  uint32_t from = 0;
  PackedDateTime written;
  int32_t size = 0;
  if (FileMarketTime(in.md, path, &written) && LastWrite(path, nullptr, &size)) {
    PackedDateTime today = MarketDate(in.md);
    const int k = StockKindOf(in.md, stock);
    const bool kindDate = k >= 0 && k < kMaxStockKinds && today == DateOf(in.md->m_tradingDate[k]);
    if (DateOf(written) != today) {
      DeleteFileA(path);
    } else if (IsNonTradingDay(&today, in.md->m_info.calendarKey) || !kindDate) {
      return;
    } else if (MinuteOfDay(written) < DayStartOf(in.md, k)) {
      DeleteFileA(path);
    } else {
      const int32_t record = ticks ? int32_t(sizeof(TICKREC)) : int32_t(sizeof(TRENDREC));
      const int32_t head = ticks ? 0 : kTrendHead;
      const int32_t count = size >= head ? (size - head) / record : 0;
      from = uint32_t(std::max(count, 0));
      if (count > 0) {
        // The quote catches up with what the file already holds.
        uint32_t price = 0;
        float volume = 0;
        uint8_t last[sizeof(TRENDREC)];
        if (ReadAt(path, head + (count - 1) * record, last, record)) {
          std::memcpy(&price, last + (ticks ? offsetof(TICKREC, price) : offsetof(TRENDREC, price)), 4);
          std::memcpy(&volume, last + (ticks ? offsetof(TICKREC, volume) : offsetof(TRENDREC, volume)), 4);
          BringQuoteForward(in.md, stock, price, volume);
        }
      }
    }
  }
  REQUESTREC r = NewRequest(kind, &in);
  r.sub = ticks ? 0 : 1;
  r.value1 = from;
  r.tag = tag;
  EnqueueRequest(r);
}

void ResetQueueForLogin() { ResetRequestQueue(); }

}  // namespace

bool PrepareIncrementalRequest(int kind, uint32_t stockWord, const char *path, uint32_t *first, uint32_t *second,
                               bool history) {
  if (!path || !first || !second) return false;
  const int market = int(stockWord & 0xFF), stock = int(stockWord >> 16);
  const TMarketData *md = MarketAt(market);
  switch (kind) {
    case REQ_MINUTE_BARS:
    case REQ_DAY_BARS: return md && PrepareBars(md, path, first, second, history);
    case REQ_BASE_TEXT_FILE:
    case REQ_WEIGHTS:
    case REQ_NOTES_LIST: return PrepareDated(md, stock, path);
    case REQ_BASE_INDEX: return md && PrepareInfoIndex(md, stock, path, first, *second);
    default: return false;
  }
}

void RequestBars(int market, int stock, int period, int n, bool history, uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in) || !HasRight(in)) return;
  int p = period;
  if (p == 3) p = n > 0 && n % 60 == 0 ? 7 : (n > 0 && n % 5 == 0 ? 4 : 1);
  if (p == 12) p = 8;
  int base, kind = REQ_MINUTE_BARS;
  if (p >= 8 && p <= 12) {
    base = 8;
    kind = REQ_DAY_BARS;
  } else if (p <= 3 || p > 127) {
    base = 1;
  } else if (p == 7 || p == 13 || p == 14) {
    base = 7;
  } else {
    base = 4;
  }
  if (IsBarRequestPending(in.info->code, market, base)) return;
  char path[MAX_PATH];
  if (!CacheFilePath(in.md, stock, BarFileKindOfBase(base), path, sizeof path)) return;
  PackedDateTime written;
  if (FileMarketTime(in.md, path, &written) && DateOf(written) < MarketDate(in.md)) TrimStaleBars(path, base);
  uint32_t first = uint32_t(base), second = 0;
  if (!PrepareIncrementalRequest(kind, STKPTR(market, 0, stock).Word(), path, &first, &second, history)) return;
  REQUESTREC r = NewRequest(kind, &in);
  r.sub = base;
  r.value1 = first;
  r.value2 = second;
  r.tag = tag;
  EnqueueRequest(r);
}

void RequestTicks(int market, int stock, uint32_t tag) { RequestIntraday(REQ_TICKS, market, stock, tag); }
void RequestMinuteTrend(int market, int stock, uint32_t tag) { RequestIntraday(REQ_MINUTE_TREND, market, stock, tag); }

void RequestRecentTrades(int market, int stock, int count, uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in) || !HasRight(in)) return;
  if (IsRecentTradesRequestPending(in.info->code, market)) return;
  REQUESTREC r = NewRequest(REQ_RECENT_TRADES, &in);
  r.value1 = uint32_t(std::max(count, 0));
  r.tag = tag;
  EnqueueRequest(r);
}

void RequestTrendHistory(int market, int stock, PackedDateTime date, uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in) || !HasRight(in)) return;
  REQUESTREC r = NewRequest(REQ_TREND_HISTORY, &in);
  r.value1 = DateOf(date);
  r.tag = tag;
  EnqueueRequest(r);
}

void RequestNotesList(int channel) {
  if (channel < 0 || channel > 255) return;
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%sdata\\notes\\notes%d.ls2", kCacheRoot, channel);
  uint32_t first = 0, second = 0;
  if (!PrepareIncrementalRequest(REQ_NOTES_LIST, STKPTR(channel / 2, 0, 0).Word(), path, &first, &second, false))
    return;
  REQUESTREC r = NewRequest(REQ_NOTES_LIST, nullptr);
  r.market = uint16_t(channel);
  EnqueueRequest(r);
}

void RequestNoteBody(int channel, const char *key, int value) {
  if (channel < 0 || channel > 255 || !key) return;
  REQUESTREC r = NewRequest(REQ_NOTE, nullptr);
  r.market = uint16_t(channel);
  r.sub = value;
  std::memcpy(r.text, key, strnlen(key, 15));
  EnqueueRequest(r);
}

void RequestNewsList(bool older, uint32_t type) {
  const int64_t boundary = NewsIndex ? NewsIndex->GetBoundaryId(older, type) : -1;
  uint32_t from = 0;
  if (older) {
    if (boundary < 0) {
      older = false;  // nothing known of the type: start with the newest
    } else if (boundary == 0) {
      return;
    } else {
      from = uint32_t(boundary - 1);
    }
  } else if (boundary >= 0) {
    from = uint32_t(boundary + 1);
  }
  REQUESTREC r = NewRequest(REQ_NEWS, nullptr);
  r.sub = 0;
  r.market = uint16_t(type);
  r.value1 = from;
  r.value2 = older ? 1 : 0;
  EnqueueRequest(r);
}

void RequestNewsBody(uint32_t firstWord, uint32_t id) {
  REQUESTREC r = NewRequest(REQ_NEWS, nullptr);
  r.sub = 2;
  r.market = uint16_t(firstWord >> 1);
  r.value1 = id;
  EnqueueRequest(r);
}

bool RequestBaseIndex(int market, int stock, int infoClass, uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in) || infoClass < 0 || infoClass > 255) return false;
  char path[MAX_PATH];
  if (!CacheFilePath(in.md, stock, kCacheInfoIndex, path, sizeof path, uint32_t(infoClass))) return false;
  uint32_t held = 0, cls = uint32_t(infoClass);
  if (!PrepareIncrementalRequest(REQ_BASE_INDEX, STKPTR(market, 0, stock).Word(), path, &held, &cls, false))
    return false;
  REQUESTREC r = NewRequest(REQ_BASE_INDEX, &in);
  r.value1 = uint32_t(infoClass);
  r.value2 = infoClass == 3 ? held : 0;
  r.tag = tag;
  EnqueueRequest(r);
  return true;
}

void RequestBaseText(int market, int stock, int infoClass, const char *fileName, uint32_t offset, uint32_t length,
                     uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in)) return;
  REQUESTREC r = NewRequest(REQ_BASE_TEXT, &in);
  r.sub = infoClass;
  r.value1 = offset;
  r.value2 = length;
  if (fileName) std::memcpy(r.text, fileName, strnlen(fileName, sizeof r.text - 1));
  r.tag = tag;
  EnqueueRequest(r);
}

void RequestWeights(int market, int stock, uint32_t tag) {
  Instrument in;
  if (!Resolve(market, stock, &in) || !HasRight(in)) return;
  char path[MAX_PATH];
  if (!CacheFilePath(in.md, stock, kCacheWeight, path, sizeof path)) return;
  uint32_t first = 0, second = 0;
  if (!PrepareIncrementalRequest(REQ_WEIGHTS, STKPTR(market, 0, stock).Word(), path, &first, &second, false)) return;
  REQUESTREC r = NewRequest(REQ_WEIGHTS, &in);
  r.tag = tag;
  EnqueueRequest(r);
}

void RequestBrokerQueue(int market, int stock) {
  Instrument in;
  if (!Resolve(market, stock, &in)) return;
  EnqueueRequest(NewRequest(REQ_BROKER_QUEUE, &in));
}

void RequestSortData(uint32_t value3, int sortKind, uint32_t count, STKMS *codes, uint32_t tag, int mode) {
  REQUESTREC r = NewRequest(REQ_SORT_DATA, nullptr);
  r.market = uint16_t(mode);
  r.sub = sortKind;
  r.value1 = count;
  r.codes = codes;
  r.value3 = value3;
  r.tag = tag;
  EnqueueRequest(r);
}

void RequestSystemMessage() { EnqueueRequest(NewRequest(REQ_SYSTEM_MESSAGE, nullptr)); }

void RequestRealtimeMessage(uint32_t value) {
  REQUESTREC r = NewRequest(REQ_REALTIME_MESSAGE, nullptr);
  r.value1 = value;
  EnqueueRequest(r);
}

void RequestPasswordChange(const char *newPassword) {
  REQUESTREC r = NewRequest(REQ_CHANGE_PASSWORD, nullptr);
  if (newPassword) std::memcpy(r.code, newPassword, strnlen(newPassword, 11));
  EnqueueRequest(r);
}

void RequestCodeTable(int market, int firstEntry) {
  TMarketData *md = MarketAt(market);
  if (!md || firstEntry < 0 || firstEntry > 0xFFFF) return;
  if (firstEntry == 0) {
    char path[MAX_PATH];
    md->TablePath("codetemp", path, sizeof path);
    DeleteFileA(path);
  }
  REQUESTREC r = NewRequest(REQ_CODE_TABLE, nullptr);
  r.market = uint16_t(market);
  r.sub = firstEntry;
  EnqueueRequest(r);
}

void RequestNameTable(int market) {
  if (market < 0 || market >= kMaxMarkets) return;
  REQUESTREC r = NewRequest(REQ_NAME_TABLE, nullptr);
  r.market = uint16_t(market);
  EnqueueRequest(r);
}

void InstallRequestHooks() {
  CacheRequestHooks &hooks = CacheRequests();
  hooks.ticks = [](int market, int stock, uint32_t tag) { RequestTicks(market, stock, tag); };
  hooks.minuteTrend = [](int market, int stock, uint32_t tag) { RequestMinuteTrend(market, stock, tag); };
  hooks.recentTrades = [](int market, int stock, int count, uint32_t tag) {
    RequestRecentTrades(market, stock, count, tag);
  };
  hooks.trendHistory = [](int market, int stock, PackedDateTime date, uint32_t tag) {
    RequestTrendHistory(market, stock, date, tag);
  };
  QuoteClientHooks().resetRequestQueue = ResetQueueForLogin;
}
