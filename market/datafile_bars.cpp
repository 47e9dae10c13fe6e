// Bar files (1-minute, 5-minute, 60-minute and day bars) and advice files.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/efile.h"
#include "core/emem.h"
#include "market/dataio5.h"
#include "market/datafile.h"
#include "market/datafile_internal.h"
#include "market/utildata.h"
#include "platform/fileapi.h"

using namespace datafile_detail;

namespace {

constexpr int32_t kBar = int32_t(sizeof(KLINEBAR));
constexpr int32_t kAdvice = int32_t(sizeof(ADVICEREC));
constexpr int32_t kAdviceKept = 1024;

bool BarKindOfReadBase(int base, CacheKind *kind) {
  switch (base) {
    case 1: *kind = kCacheMin1Bars; return true;
    case 4: *kind = kCacheMin5Bars; return true;
    case 7: *kind = kCacheMin60Bars; return true;
    case 8: *kind = kCacheDayBars; return true;
    default: return false;
  }
}

bool ReadTime(int32_t file, int32_t index, uint32_t *time) { return ReadExactly(file, index * kBar, time, 4); }

std::string_view BytesOf(const void *data, size_t length) {
  return std::string_view(static_cast<const char *>(data), length);
}

}  // namespace

// ---- Reading ---------------------------------------------------------------

int ReadBars(const TMarketData *market, KLINEBAR **buffer, const char *code, int32_t *count, int base, int wanted,
             int32_t capacity) {
  if (count) *count = 0;
  CacheKind kind;
  if (!market || !buffer || !count || !BarKindOfReadBase(base, &kind)) return 0;
  char path[MAX_PATH];
  if (!CacheFilePathForCode(market, code, kind, path, sizeof path)) return 0;
  int64_t spare = int64_t(market->m_longestDay) + 16;

  int32_t file = FileOpen(path, "rb");
  int32_t bars = 0;
  if (file > 0) {
    int32_t size = FileSize(file);
    bars = size > 0 ? size / kBar : 0;
  }
  int64_t take = bars;
  if (wanted != 0) take = std::clamp<int64_t>(int64_t(wanted) - spare, 0, bars);

  if (!*buffer) {
    int64_t bytes = (take + spare) * kBar;
    if (bytes > INT32_MAX || !(*buffer = static_cast<KLINEBAR *>(Malloc(int32_t(bytes))))) {
      FileClose(file);
      return 0;
    }
  } else {
    take = std::min<int64_t>(take, std::max(capacity, 0));
  }
  int result = 1;
  if (take > 0) {
    int32_t from = (bars - int32_t(take)) * kBar;
    int32_t got = FileSeek(file, from, 0) == from ? FileRead(file, *buffer, kBar, int32_t(take)) : 0;
    *count = got / kBar;
    result = got == int32_t(take) * kBar ? 1 : 0;
  }
  FileClose(file);
  return result;
}

int ReadDayBarAt(const TMarketData *market, const char *code, PackedDateTime date, KLINEBAR pair[2]) {
  char path[MAX_PATH];
  if (!pair || !CacheFilePathForCode(market, code, kCacheDayBars, path, sizeof path)) return 0;
  int32_t file = FileOpen(path, "rb");
  if (file <= 0) return 0;
  int32_t size = FileSize(file);
  int32_t bars = size > 0 ? size / kBar : 0;
  int32_t low = 0, high = bars - 1, found = -1;
  while (low <= high) {
    int32_t mid = low + (high - low) / 2;
    uint32_t time;
    if (!ReadTime(file, mid, &time)) break;
    if (time == date) {
      found = mid;
      break;
    }
    if (time < date)
      low = mid + 1;
    else
      high = mid - 1;
  }
  int result = 0;
  if (found > 0) {
    result = ReadExactly(file, (found - 1) * kBar, pair, 2 * kBar) ? 1 : 0;
  } else if (found == 0 && ReadExactly(file, 0, &pair[1], kBar)) {
    std::memset(&pair[0], 0, sizeof pair[0]);
    pair[0].close = pair[1].open;
    result = 1;
  }
  FileClose(file);
  return result;
}

int ReadDayBarPair(int market, const char *code, PackedDateTime date, KLINEBAR pair[2]) {
  if (!code || !*code || !pair) return 0;
  const TMarketData *m = MarketAt(market);
  return m ? ReadDayBarAt(m, code, date, pair) : 0;
}

// ---- Merging ---------------------------------------------------------------

int MergeBarsIntoFile(const char *path, const KLINEBAR *bars, int base, int n) {
  if (!path || !*path || !bars || n <= 0) return 0;
  bool dayBased = base >= 8 && base <= 12;
  std::vector<KLINEBAR> fresh;
  fresh.reserve(size_t(n));
  for (int i = 0; i < n; ++i) {
    KLINEBAR bar = bars[i];
    if (dayBased) bar.time &= kPackedDateMask;
    if (PackedYear(bar.time) == 0) return 0;
    // Bars must rise in time; one that does not is a repeat or out of place.
    if (!fresh.empty() && bar.time <= fresh.back().time) continue;
    fresh.push_back(bar);
  }

  std::vector<KLINEBAR> old;
  int32_t size = SizeOfFile(path);
  if (size > 0) {
    int32_t stored = size / kBar;
    int32_t keep = std::min(stored, std::max(MaxDataRecords, 1));
    old.resize(size_t(keep));
    int32_t file = FileOpen(path, "rb");
    bool read = file > 0 && ReadExactly(file, (stored - keep) * kBar, old.data(), keep * kBar);
    FileClose(file);
    if (!read) return 0;
  }

  std::vector<KLINEBAR> merged;
  merged.reserve(old.size() + fresh.size());
  if (old.empty() || fresh.back().time < old.front().time) {
    merged = fresh;
    merged.insert(merged.end(), old.begin(), old.end());
  } else if (fresh.front().time > old.back().time) {
    merged = old;
    merged.insert(merged.end(), fresh.begin(), fresh.end());
  } else {
    size_t i = 0, j = 0;
    while (i < old.size() || j < fresh.size()) {
      if (j == fresh.size() || (i < old.size() && old[i].time < fresh[j].time)) {
        merged.push_back(old[i++]);
      } else {
        if (i < old.size() && old[i].time == fresh[j].time) ++i;  // the new bar replaces the stored one
        merged.push_back(fresh[j++]);
      }
    }
  }

  if (!WriteWholeFile(path, BytesOf(merged.data(), merged.size() * sizeof(KLINEBAR)))) {
    DeleteFileA(path);
    return 0;
  }
  StampWithServerClock(path);
  return 1;
}

int MergeBarAnswer(TMarketData *market, int stock, int base, const KLINEBAR *bars, int n) {
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, BarFileKindOfBase(base), path, sizeof path)) return 0;
  MakeFolderOf(path);
  return MergeBarsIntoFile(path, bars, base, n);
}

// ---- Advice ---------------------------------------------------------------

int MergeAdviceFile(const char *path, const ADVICEREC *records, int n) {
  if (!path || !*path || !records || n <= 0) return 0;
  for (int i = 1; i < n; ++i)
    if (records[i].key < records[i - 1].key) return 0;
  MakeFolderOf(path);

  int32_t size = SizeOfFile(path);
  int32_t stored = size > 0 ? size / kAdvice : 0;
  uint32_t lastKey = 0;
  int32_t file = stored > 0 ? FileOpen(path, "rb") : kNoFile;
  if (stored > 0 && !ReadExactly(file, (stored - 1) * kAdvice, &lastKey, 4)) {
    FileClose(file);
    return 0;
  }

  if (stored > 0 && records[0].key < lastKey) {
    // The new records reach back among the stored ones: merge the newest
    // stored records with them from the back and keep the newest 1024.
    int32_t keep = std::min(stored, kAdviceKept);
    std::vector<ADVICEREC> old(static_cast<size_t>(keep));
    bool read = ReadExactly(file, (stored - keep) * kAdvice, old.data(), keep * kAdvice);
    FileClose(file);
    if (!read) return 0;
    std::vector<ADVICEREC> merged(static_cast<size_t>(kAdviceKept));
    int32_t out = kAdviceKept, i = keep - 1, j = n - 1;
    while (out > 0 && (i >= 0 || j >= 0)) {
      // Going backwards, a new record goes first on equal keys so that it
      // ends up after the stored one.
      if (j >= 0 && (i < 0 || records[j].key >= old[size_t(i)].key))
        merged[size_t(--out)] = records[j--];
      else
        merged[size_t(--out)] = old[size_t(i--)];
    }
    return WriteWholeFile(path, BytesOf(merged.data() + out, size_t(kAdviceKept - out) * sizeof(ADVICEREC))) ? 1
                                                                                                              : 0;
  }
  FileClose(file);

  file = FileOpen(path, "r+b");
  if (file <= 0) return 0;
  int32_t end = stored * kAdvice;  // a torn last record is written over
  bool ok = int64_t(end) + int64_t(n) * kAdvice <= INT32_MAX && WriteExactly(file, end, records, n * kAdvice) &&
            FileTruncate(file, end + n * kAdvice) >= 0;
  FileClose(file);
  return ok ? 1 : 0;
}

int MergeAdviceAnswer(TMarketData *market, int stock, const ADVICEREC *records, int n) {
  char path[MAX_PATH];
  if (!CacheFilePath(market, stock, kCacheAdvice, path, sizeof path)) return 0;
  return MergeAdviceFile(path, records, n);
}
