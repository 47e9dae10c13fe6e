// Paths, stamps and the intraday cache files (ticks, latest trades, today's
// trend), and the answer writes of the byte files (weights, base text,
// information index and text).
#include "market/datafile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/efile.h"
#include "core/emem.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/datafile_internal.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/path.h"

using namespace datafile_detail;

namespace {

constexpr int32_t kTrendHeadSize = int32_t(sizeof(TRENDHEAD));
constexpr int32_t kIndexTrendWire = 32;  // trend record of index instruments on the wire
constexpr int32_t kTrendWire = 40;       // and of the others
constexpr int32_t kInfoIndexRecord = 256;

struct CacheLayout {
  const char *data;  // the spelling of the data folder the file has always been named with
  const char *folder;
  const char *extension;
  bool numbered;  // a number follows the code in the name
};

constexpr CacheLayout kLayouts[] = {
    {"data", "tick", "tik", false},   {"data", "tick", "nnt", false},   {"data", "tick", "tr3", false},
    {"data", "min1", "m11", false},   {"data", "min", "mi1", false},    {"data", "MIN60", "hr1", false},
    {"data", "day", "da1", false},    {"data", "trend", "ot3", false},  {"Data", "trend", "ot3", true},
    {"Data", "advice", "adv", false}, {"Data", "weight", "wgt", false}, {"Data", "base", "Txt", false},
    {"Data", "base", "idx", true},    {"Data", "base", "txt", true},
};
static_assert(sizeof kLayouts / sizeof kLayouts[0] == kCacheInfoText + 1);

HANDLE AsHandle(int32_t file) { return reinterpret_cast<HANDLE>(intptr_t(file)); }

// The market time of a file's last write: its UTC time with the market's
// hour offset added.
bool FileMarketTime(const TMarketData *market, const char *path, PackedDateTime *out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  SYSTEMTIME utc;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc)) return false;
  PackedDateTime t = MakePackedDateTime(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute);
  ShiftPackedHours(&t, market->m_info.hourOffset);
  *out = t;
  return true;
}

int PurgeStale(const TMarketData *market, int stock, CacheKind kind) {
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, kind, path, sizeof path)) return 0;
  PackedDateTime written;
  if (!FileMarketTime(market, path, &written)) return 0;
  PackedDateTime today = market->m_currentTime & kPackedDateMask;
  bool stale = (written & kPackedDateMask) != today;
  int k = StockKindOf(market, stock);
  if (!stale && k >= 0 && k < kMaxStockKinds && k < market->m_info.kindCount) {
    // Written today but before the day began: left over from the session
    // before (a night session's files would otherwise live on).
    PackedDateTime date = today;
    int minute = int(PackedHour(written)) * 60 + int(PackedMinute(written));
    stale = !IsNonTradingDay(&date, market->m_info.calendarKey) &&
            today == (market->m_tradingDate[k] & kPackedDateMask) && minute < market->m_info.kinds[k].dayStart;
  }
  if (stale) DeleteFileA(path);
  return stale ? 1 : 0;
}

int32_t CountRecords(const TMarketData *market, int stock, CacheKind kind, int32_t head, int32_t record) {
  PurgeStale(market, stock, kind);
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, kind, path, sizeof path)) return 0;
  int32_t size = SizeOfFile(path);
  return size >= head ? (size - head) / record : 0;
}

// Reads min(*count, records) records after a head (which goes to headOut
// when given). 1 when the file was read.
int ReadRecords(const TMarketData *market, int stock, CacheKind kind, void *buffer, int32_t *count,
                int32_t headSize, int32_t record, void *headOut) {
  int32_t wanted = count ? *count : 0;
  if (count) *count = 0;
  if (!market || !count || (!buffer && wanted > 0)) return 0;
  PurgeStale(market, stock, kind);
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, kind, path, sizeof path)) return 0;
  int32_t file = FileOpen(path, "rb");
  if (file <= 0) return 0;
  int32_t size = FileSize(file);
  int result = 0;
  if (size >= headSize && (!headOut || ReadExactly(file, 0, headOut, headSize))) {
    int32_t n = std::min((size - headSize) / record, std::max(wanted, 0));
    int32_t got = 0;
    if (n > 0 && FileSeek(file, headSize, 0) == headSize) got = FileRead(file, buffer, record, n) / record;
    *count = got;
    result = 1;
  }
  FileClose(file);
  return result;
}

// Gives a heap buffer room for the records, freeing a smaller one.
template <class T>
bool GrowHeapBuffer(T **buffer, int32_t records) {
  int64_t bytes = int64_t(records) * int64_t(sizeof(T));
  if (bytes > INT32_MAX) return false;
  if (*buffer && MSize(*buffer) >= bytes) return true;
  Free(*buffer);
  *buffer = static_cast<T *>(Malloc(int32_t(bytes)));
  return *buffer != nullptr;
}

// The shared steps of LoadTicksFor and its twins: count, ask when there is
// nothing, grow, read, ask again.
template <class T, class Count, class Read, class Ask>
int LoadFor(T **buffer, uint32_t stockWord, int32_t *count, uint32_t tag, Count countRecords, Read read,
            Ask ask) {
  if (count) *count = 0;
  if (!buffer || !count || !GetStockInfo(stockWord)) return 0;
  int marketIndex = int(stockWord & 0xFF), stock = int(stockWord >> 16);
  const TMarketData *market = MarketAt(marketIndex);
  int32_t records = countRecords(market, stock);
  if (records <= 0) {
    if (tag) ask(marketIndex, stock, tag);
    return 1;
  }
  if (!GrowHeapBuffer(buffer, records)) return 0;
  int32_t n = records;
  read(market, *buffer, stock, &n);
  *count = n;
  if (tag) ask(marketIndex, stock, tag);
  return 1;
}

// Opens an intraday or byte file of a stock for writing, creating it and
// its folder. path receives the file's name.
int32_t OpenForWriting(const TMarketData *market, int stock, CacheKind kind, char (&path)[MAX_PATH],
                       uint32_t number = 0) {
  if (!CacheFilePath(market, stock, kind, path, sizeof path, number)) return kNoFile;
  MakeFolderOf(path);
  return FileOpen(path, "r+b");
}

// A write that failed leaves no half-written file to be read later.
int Drop(int32_t file, const char *path) {
  FileClose(file);
  DeleteFileA(path);
  return -1;
}

// Appends whole records of `record` bytes after the file's last whole one
// (a torn tail is cut off first). The written count, or -1 (file dropped).
int AppendRecords(const TMarketData *market, int stock, CacheKind kind, const void *data, int32_t length,
                  int32_t record, bool stamp, const void **last) {
  char path[MAX_PATH];
  int32_t file = OpenForWriting(market, stock, kind, path);
  if (file <= 0) return -1;
  int32_t size = FileSize(file);
  if (size < 0) return Drop(file, path);
  int32_t n = data && length > 0 ? length / record : 0;
  int32_t end = size / record * record;
  if (int64_t(end) + int64_t(n) * record > INT32_MAX) return Drop(file, path);
  if (n > 0 && !WriteExactly(file, end, data, n * record)) return Drop(file, path);
  if (FileTruncate(file, end + n * record) < 0) return Drop(file, path);
  if (stamp) StampOpenFile(file);
  FileClose(file);
  if (last) *last = n > 0 ? static_cast<const uint8_t *>(data) + (n - 1) * record : nullptr;
  return n;
}

// The trend record of the wire turned into the stored one. Index
// instruments send price, volume, amount, first, high, low and their three
// counters; the others the stored record's first 40 bytes.
TRENDREC TrendFromWire(const uint8_t *wire, bool index) {
  TRENDREC r;
  std::memset(&r, 0, sizeof r);
  if (!index) {
    std::memcpy(&r, wire, kTrendWire);
    return r;
  }
  std::memcpy(&r.price, wire + 0, 4);
  std::memcpy(&r.volume, wire + 4, 4);
  std::memcpy(&r.amount, wire + 8, 4);
  std::memcpy(&r.firstPrice, wire + 12, 4);
  std::memcpy(&r.highPrice, wire + 16, 4);
  std::memcpy(&r.lowPrice, wire + 20, 4);
  std::memcpy(&r.advancing, wire + 24, 2);
  std::memcpy(&r.declining, wire + 26, 2);
  std::memcpy(&r.leadingOffset, wire + 28, 4);
  return r;
}

// Appends plain bytes (weights, base text); part 0 of the base text starts
// the file afresh.
int WriteBytes(TMarketData *market, int stock, CacheKind kind, bool restart, const void *data, int32_t length,
               bool stamp) {
  char path[MAX_PATH];
  int32_t file = OpenForWriting(market, stock, kind, path);
  if (file <= 0) return -1;
  int32_t size = restart ? 0 : FileSize(file);
  int32_t n = data && length > 0 ? length : 0;
  if (size < 0 || int64_t(size) + n > INT32_MAX) return Drop(file, path);
  if (n > 0 && !WriteExactly(file, size, data, n)) return Drop(file, path);
  if (FileTruncate(file, size + n) < 0) return Drop(file, path);
  if (stamp) StampOpenFile(file);
  FileClose(file);
  return n;
}

}  // namespace

// ---- Shared helpers ------------------------------------------------------

namespace datafile_detail {

const STKINFO *StockEntry(const TMarketData *market, int stock) {
  if (!market || !market->m_stocks || stock < 0 || stock >= market->m_loadedCount) return nullptr;
  return &market->m_stocks[stock];
}

bool IsIndexInstrument(const TMarketData *market, int stock) {
  const STKINFO *e = StockEntry(market, stock);
  return e && (market->m_market == 0 || market->m_market == 1) && e->kind == 0;
}

bool IsTurnoverMarket(const TMarketData *market) { return market->m_info.type == 1 || market->m_info.type == 6; }

bool MakeFolderOf(const char *path) {
  const char *cut = std::strrchr(path, '\\');
  if (!cut) return true;
  std::string folder(path, size_t(cut - path));
  return MakeDirChain(folder.c_str());
}

bool WriteWholeFile(const char *path, std::string_view bytes) {
  MakeFolderOf(path);
  std::string posix = platform::ResolvePath(path);
  return !posix.empty() && platform::WriteFileReplacing(posix, bytes) == 0;
}

int32_t SizeOfFile(const char *path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.nFileSizeHigh != 0 ||
      data.nFileSizeLow > DWORD(INT32_MAX))
    return -1;
  return int32_t(data.nFileSizeLow);
}

bool ReadExactly(int32_t file, int32_t position, void *buffer, int32_t length) {
  if (length == 0) return true;
  return FileSeek(file, position, 0) == position && FileRead(file, buffer, 1, length) == length;
}

bool WriteExactly(int32_t file, int32_t position, const void *buffer, int32_t length) {
  if (length == 0) return true;
  return FileSeek(file, position, 0) == position && FileWrite(file, buffer, 1, length) == length;
}

bool StampOpenFile(int32_t file) {
  PackedDateTime now = CurrentUtcTime;
  SYSTEMTIME st{};
  st.wYear = WORD(PackedYear(now));
  st.wMonth = WORD(PackedMonth(now));
  st.wDay = WORD(PackedDay(now));
  st.wHour = WORD(PackedHour(now));
  st.wMinute = WORD(PackedMinute(now));
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  return SetFileTime(AsHandle(file), nullptr, nullptr, &ft) != FALSE;
}

}  // namespace datafile_detail

// ---- Paths ---------------------------------------------------------------

bool IsSafeCacheName(const char *text) {
  if (!text || !*text) return false;
  for (const char *p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == '\\' || c == '/' || c == ':') return false;
    if (c == '.' && p[1] == '.') return false;
  }
  return true;
}

int CacheFilePath(const TMarketData *market, int stock, CacheKind kind, char *path, int size, uint32_t number) {
  if (path && size > 0) path[0] = 0;
  const STKINFO *entry = StockEntry(market, stock);
  if (!path || size <= 0 || !entry || kind < kCacheTicks || kind > kCacheInfoText) return 0;
  char code[sizeof entry->code + 1];
  std::memcpy(code, entry->code, sizeof entry->code);
  code[sizeof entry->code] = 0;
  if (!IsSafeCacheName(code) || !IsSafeCacheName(market->m_info.shortName)) return 0;
  const CacheLayout &l = kLayouts[kind];
  int n = l.numbered ? std::snprintf(path, size_t(size), "%s%s\\%s\\%s\\%s%u.%s", kCacheRoot, l.data,
                                     market->m_info.shortName, l.folder, code, number, l.extension)
                     : std::snprintf(path, size_t(size), "%s%s\\%s\\%s\\%s.%s", kCacheRoot, l.data,
                                     market->m_info.shortName, l.folder, code, l.extension);
  if (n < 0 || n >= size) {
    path[0] = 0;
    return 0;
  }
  return 1;
}

int CacheFilePathForCode(const TMarketData *market, const char *code, CacheKind kind, char *path, int size,
                         uint32_t number) {
  if (path && size > 0) path[0] = 0;
  if (!market || !IsSafeCacheName(code)) return 0;
  return CacheFilePath(market, market->FindStockIndex(code), kind, path, size, number);
}

CacheKind BarFileKindOfBase(int base) {
  if (base == 8) return kCacheDayBars;
  if (base == 7) return kCacheMin60Bars;
  if (base < 4) return kCacheMin1Bars;
  return kCacheMin5Bars;
}

bool StampWithServerClock(const char *path) {
  int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return false;
  bool ok = StampOpenFile(file);
  FileClose(file);
  return ok;
}

CacheRequestHooks &CacheRequests() {
  static CacheRequestHooks hooks;
  return hooks;
}

// ---- Intraday readers -----------------------------------------------------

int PurgeStaleTickFile(const TMarketData *market, int stock) { return PurgeStale(market, stock, kCacheTicks); }
int PurgeStaleRecentTrades(const TMarketData *market, int stock) {
  return PurgeStale(market, stock, kCacheRecentTrades);
}
int PurgeStaleTrendFile(const TMarketData *market, int stock) { return PurgeStale(market, stock, kCacheTodayTrend); }

int32_t CountTicks(const TMarketData *market, int stock) {
  return CountRecords(market, stock, kCacheTicks, 0, sizeof(TICKREC));
}
int32_t CountRecentTrades(const TMarketData *market, int stock) {
  return CountRecords(market, stock, kCacheRecentTrades, 0, sizeof(TICKREC));
}
int32_t CountTrendMinutes(const TMarketData *market, int stock) {
  return CountRecords(market, stock, kCacheTodayTrend, kTrendHeadSize, sizeof(TRENDREC));
}

int ReadTicks(const TMarketData *market, TICKREC *buffer, int stock, int32_t *count) {
  return ReadRecords(market, stock, kCacheTicks, buffer, count, 0, sizeof(TICKREC), nullptr);
}
int ReadRecentTrades(const TMarketData *market, TICKREC *buffer, int stock, int32_t *count) {
  return ReadRecords(market, stock, kCacheRecentTrades, buffer, count, 0, sizeof(TICKREC), nullptr);
}
int ReadTrendMinutes(const TMarketData *market, TRENDREC *buffer, int stock, int32_t *count, TRENDHEAD *head) {
  TRENDHEAD scratch;
  return ReadRecords(market, stock, kCacheTodayTrend, buffer, count, kTrendHeadSize, sizeof(TRENDREC),
                     head ? head : &scratch);
}

int LoadTicksFor(TICKREC **buffer, uint32_t stockWord, int32_t *count, uint32_t tag) {
  return LoadFor(buffer, stockWord, count, tag, CountTicks, ReadTicks, [](int m, int s, uint32_t t) {
    if (CacheRequests().ticks) CacheRequests().ticks(m, s, t);
  });
}

int LoadRecentTradesFor(TICKREC **buffer, uint32_t stockWord, int32_t *count, uint32_t tag) {
  return LoadFor(buffer, stockWord, count, tag, CountRecentTrades, ReadRecentTrades, [](int m, int s, uint32_t t) {
    if (CacheRequests().recentTrades) CacheRequests().recentTrades(m, s, 50, t);
  });
}

int LoadTrendFor(TRENDREC **buffer, uint32_t stockWord, int32_t *count, TRENDHEAD *head, uint32_t tag) {
  if (head) std::memset(head, 0, sizeof *head);
  auto read = [head](const TMarketData *m, TRENDREC *b, int s, int32_t *n) {
    return ReadTrendMinutes(m, b, s, n, head);
  };
  return LoadFor(buffer, stockWord, count, tag, CountTrendMinutes, read, [](int m, int s, uint32_t t) {
    if (CacheRequests().minuteTrend) CacheRequests().minuteTrend(m, s, t);
  });
}

// ---- Intraday answer writes ----------------------------------------------

void BringQuoteForward(TMarketData *market, int stock, uint32_t price, float cumulativeVolume) {
  if (!StockEntry(market, stock) || !market->m_quotes) return;
  REALQUOTE &q = market->m_quotes[stock];
  if (q.volume < cumulativeVolume) {
    q.volume = cumulativeVolume;
    q.last = price;
  }
}

int WriteTrendAnswerPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                         bool lastPart) {
  char path[MAX_PATH];
  int32_t file = OpenForWriting(market, stock, kCacheTodayTrend, path);
  if (file <= 0) return -1;
  const uint8_t *p = static_cast<const uint8_t *>(data);
  int32_t left = p && length > 0 ? length : 0;
  int32_t size = FileSize(file);
  if (size < 0) return Drop(file, path);
  int32_t stored = size >= kTrendHeadSize ? (size - kTrendHeadSize) / int32_t(sizeof(TRENDREC)) : 0;
  int32_t end = kTrendHeadSize + stored * int32_t(sizeof(TRENDREC));
  int32_t position = end;
  if (part == 0) {
    // A new head, and the last stored minute is asked again: it may have
    // been incomplete when it was stored.
    if (left < kTrendHeadSize || !WriteExactly(file, 0, p, kTrendHeadSize)) return Drop(file, path);
    p += kTrendHeadSize;
    left -= kTrendHeadSize;
    if (stored > 0) position = end - int32_t(sizeof(TRENDREC));
  } else if (size < kTrendHeadSize) {
    return Drop(file, path);  // the head never arrived
  }
  bool index = IsIndexInstrument(market, stock);
  int32_t wire = index ? kIndexTrendWire : kTrendWire;
  int32_t n = left / wire;
  if (int64_t(position) + int64_t(n) * int32_t(sizeof(TRENDREC)) > INT32_MAX) return Drop(file, path);
  std::vector<TRENDREC> records(size_t(n > 0 ? n : 0));
  for (int32_t i = 0; i < n; ++i) records[size_t(i)] = TrendFromWire(p + i * wire, index);
  int32_t bytes = n * int32_t(sizeof(TRENDREC));
  if (n > 0 && !WriteExactly(file, position, records.data(), bytes)) return Drop(file, path);
  if (FileTruncate(file, std::max(end, position + bytes)) < 0) return Drop(file, path);
  StampOpenFile(file);
  FileClose(file);
  if (lastPart && n > 0) BringQuoteForward(market, stock, records.back().price, records.back().volume);
  return n;
}

int WriteRecentTradesPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                          bool lastPart) {
  if (part == 0) {
    char path[MAX_PATH];
    if (!CacheFilePath(market, stock, kCacheRecentTrades, path, sizeof path)) return -1;
    DeleteFileA(path);
  }
  const void *last = nullptr;
  int n = AppendRecords(market, stock, kCacheRecentTrades, data, length, sizeof(TICKREC), false, &last);
  if (lastPart && last) {
    TICKREC t;
    std::memcpy(&t, last, sizeof t);
    BringQuoteForward(market, stock, t.price, t.volume);
  }
  return n;
}

int WriteTicksPart(TMarketData *market, int stock, int part, const void *data, int32_t length, bool lastPart) {
  const void *last = nullptr;
  int n = AppendRecords(market, stock, kCacheTicks, data, length, sizeof(TICKREC), true, &last);
  if (lastPart && last) {
    TICKREC t;
    std::memcpy(&t, last, sizeof t);
    BringQuoteForward(market, stock, t.price, t.volume);
  }
  return n;
}

// ---- Byte files ------------------------------------------------------------

int WriteWeightPart(TMarketData *market, int stock, int part, const void *data, int32_t length, bool lastPart) {
  return WriteBytes(market, stock, kCacheWeight, false, data, length, lastPart);
}

int WriteBaseTextPart(TMarketData *market, int stock, int part, const void *data, int32_t length,
                      bool lastPart) {
  return WriteBytes(market, stock, kCacheBaseText, part == 0, data, length, lastPart);
}

int WriteInfoIndexPart(TMarketData *market, int stock, int infoClass, int part, const void *data,
                       int32_t length, bool lastPart) {
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, kCacheInfoIndex, path, sizeof path, uint32_t(infoClass))) return -1;
  MakeFolderOf(path);
  int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return -1;
  int32_t size = FileSize(file);
  int32_t n = data && length > 0 ? length / kInfoIndexRecord : 0;
  int32_t end = size >= 0 ? size / kInfoIndexRecord * kInfoIndexRecord : -1;
  if (end < 0 || int64_t(end) + int64_t(n) * kInfoIndexRecord > INT32_MAX) return Drop(file, path);
  if (n > 0 && !WriteExactly(file, end, data, n * kInfoIndexRecord)) return Drop(file, path);
  if (FileTruncate(file, end + n * kInfoIndexRecord) < 0) return Drop(file, path);
  if (lastPart) StampOpenFile(file);
  FileClose(file);
  return n;
}

int WriteInfoTextPart(TMarketData *market, int stock, int infoClass, uint32_t offset, int part, const void *data,
                      int32_t length, int32_t *written) {
  if (!written || offset > uint32_t(kInfoTextOffsetLimit)) return -1;
  if (part == 0) *written = 0;
  int32_t n = data && length > 0 ? length : 0;
  int64_t position = int64_t(offset) + *written;
  if (*written < 0 || position + n > INT32_MAX) return -1;
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, kCacheInfoText, path, sizeof path, uint32_t(infoClass))) return -1;
  MakeFolderOf(path);
  int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return -1;
  int32_t size = FileSize(file);
  bool ok = size >= 0;
  if (ok && part == 0 && size < int32_t(offset)) {
    static const char kZeros[1024] = {};
    for (int32_t at = size; ok && at < int32_t(offset); at += int32_t(sizeof kZeros))
      ok = WriteExactly(file, at, kZeros, std::min(int32_t(sizeof kZeros), int32_t(offset) - at));
  }
  if (ok && n > 0) ok = WriteExactly(file, int32_t(position), data, n);
  FileClose(file);
  if (!ok) return -1;
  *written += n;
  return n;
}
