// The trend history (.ot3): a 4-byte header with the items per day, then
// one block per past day in ascending date order (date, the extra word of
// index instruments, the day's 20-byte items); and the downloaded day
// files that are merged into it.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/efile.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/datafile.h"
#include "market/datafile_internal.h"
#include "platform/fileapi.h"

using namespace datafile_detail;

namespace {

constexpr int32_t kItem = int32_t(sizeof(TRENDITEM));
constexpr int32_t kShortWireItem = 12;  // price, volume, amount

struct HistoryShape {
  int32_t items = 0;  // per day
  int32_t extra = 0;  // 4 for index instruments
  int32_t block = 0;  // date + extra + items
};

bool ShapeOf(const TMarketData *market, int stock, HistoryShape *shape) {
  shape->items = TrendItemsPerDay(market, stock);
  if (shape->items <= 0) return false;
  shape->extra = IsIndexInstrument(market, stock) ? 4 : 0;
  shape->block = 4 + shape->extra + shape->items * kItem;
  return true;
}

// Fills a gap item from the item it follows: no trade in it, price and
// counter carried, turnover 0 or open interest carried.
void Flatten(TRENDITEM *item, const TRENDITEM &from, bool turnover) {
  item->price = from.price;
  item->leadingOffset = from.leadingOffset;
  item->volume = 0;
  item->amount = turnover ? 0.0f : from.amount;
}

}  // namespace

int TrendItemsPerDay(const TMarketData *market, int stock) {
  if (!StockEntry(market, stock)) return 0;
  int items = TradingMinutesOfKind(&market->m_info, StockKindOf(market, stock)) + 1;
  return items >= 1 && items <= kTrendItemsLimit ? items : 0;
}

void BackfillLeadingTrend(const TMarketData *market, TRENDITEM *items, int n) {
  if (!market || !items || (market->m_info.type != 2 && market->m_info.type != 8)) return;
  for (int i = 0; i < n; ++i) {
    if (items[i].volume > 0.00001f) {
      for (int j = 0; j < i; ++j) items[j].amount = items[i].amount;
      return;
    }
  }
}

// ---- Reading ---------------------------------------------------------------

int ReadTrendDay(const TMarketData *market, int stock, PackedDateTime date, TRENDITEM *buffer, int32_t *count,
                 uint32_t *extra) {
  if (count) *count = 0;
  if (extra) *extra = 0;
  HistoryShape shape;
  char path[MAX_PATH];
  if (!buffer || !count || !ShapeOf(market, stock, &shape) ||
      !CacheFilePath(market, stock, kCacheTrendHistory, path, sizeof path) || SizeOfFile(path) < 0)
    return 0;
  // Read and write: damaged parts are cut off.
  int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return 0;
  int32_t size = FileSize(file);
  auto cutAt = [&](int32_t block) {
    FileTruncate(file, 4 + block * shape.block);
    FileClose(file);
    return 0;
  };

  uint32_t header = 0;
  if (size < 4 || !ReadExactly(file, 0, &header, 4) || header != uint32_t(shape.items)) {
    // Written for another length of day: nothing in it can be used.
    FileTruncate(file, 0);
    FileClose(file);
    return 0;
  }
  int32_t blocks = (size - 4) / shape.block;
  if (blocks == 0) return size > 4 ? cutAt(0) : (FileClose(file), 0);

  auto dateAt = [&](int32_t block, PackedDateTime *out) {
    return ReadExactly(file, 4 + block * shape.block, out, 4) && IsValidPackedDate(out);
  };
  auto readBlock = [&](int32_t block) {
    uint32_t word = 0;
    int32_t at = 4 + block * shape.block + 4;
    if (shape.extra && !ReadExactly(file, at, &word, 4)) return false;
    if (!ReadExactly(file, at + shape.extra, buffer, shape.items * kItem)) return false;
    *count = shape.items;
    if (extra) *extra = word;
    BackfillLeadingTrend(market, buffer, shape.items);
    FileClose(file);
    return true;
  };

  date &= kPackedDateMask;
  PackedDateTime first, last;
  if (!dateAt(0, &first)) return cutAt(0);
  first &= kPackedDateMask;
  if (date < first) return FileClose(file), 0;
  if (date == first) return readBlock(0) ? 1 : cutAt(0);

  int32_t lastBlock = blocks - 1;
  if (!dateAt(lastBlock, &last)) return cutAt(lastBlock);
  last &= kPackedDateMask;
  if (date > last) return FileClose(file), 0;
  if (date == last) return readBlock(lastBlock) ? 1 : cutAt(lastBlock);

  int32_t low = 0, high = lastBlock;  // first < date < last
  while (high - low > 1) {
    int32_t mid = low + (high - low) / 2;
    PackedDateTime d;
    if (!dateAt(mid, &d)) return cutAt(mid);
    d &= kPackedDateMask;
    if (d == date) return readBlock(mid) ? 1 : cutAt(mid);
    if (d < date)
      low = mid;
    else
      high = mid;
  }
  FileClose(file);
  return 0;
}

int ReadDayTrend(uint32_t stockWord, PackedDateTime date, TRENDITEM *buffer, int32_t *count, uint32_t *extra,
                 uint32_t tag) {
  if (count) *count = 0;
  if (!GetStockInfo(stockWord)) return 0;
  int market = int(stockWord & 0xFF), stock = int(stockWord >> 16);
  if (ReadTrendDay(MarketAt(market), stock, date, buffer, count, extra)) return 1;
  if (tag && CacheRequests().trendHistory) CacheRequests().trendHistory(market, stock, date & kPackedDateMask, tag);
  return 0;
}

// ---- Merging ---------------------------------------------------------------

int MergeTrendDay(const TMarketData *market, int stock, PackedDateTime date) {
  date &= kPackedDateMask;
  HistoryShape shape;
  char dayPath[MAX_PATH], path[MAX_PATH];
  if (!ShapeOf(market, stock, &shape) ||
      !CacheFilePath(market, stock, kCacheTrendDay, dayPath, sizeof dayPath, date) ||
      !CacheFilePath(market, stock, kCacheTrendHistory, path, sizeof path))
    return 0;

  // The new block: date, extra word, then the day file's items.
  std::vector<uint8_t> block(size_t(shape.block), 0);
  std::memcpy(block.data(), &date, 4);
  int32_t day = FileOpen(dayPath, "rb");
  int32_t daySize = FileSize(day);
  int32_t whole = 0;
  if (daySize > 19) {
    int32_t itemBytes = std::min(daySize - shape.extra, shape.items * kItem);
    whole = itemBytes > 0 ? itemBytes / kItem : 0;
    if (!ReadExactly(day, 0, block.data() + 4, shape.extra) ||
        !ReadExactly(day, shape.extra, block.data() + 4 + shape.extra, whole * kItem))
      whole = 0;
  }
  FileClose(day);
  if (whole < 1) return 0;

  auto *items = reinterpret_cast<TRENDITEM *>(block.data() + 4 + shape.extra);
  std::vector<TRENDITEM> dayItems(items, items + shape.items);  // aligned copy to work on
  bool turnover = IsTurnoverMarket(market);
  for (int32_t i = whole; i < shape.items; ++i) {
    dayItems[size_t(i)] = dayItems[size_t(whole - 1)];
    Flatten(&dayItems[size_t(i)], dayItems[size_t(whole - 1)], turnover);
  }
  if (dayItems[0].price == 0) {
    auto priced = std::find_if(dayItems.begin(), dayItems.end(), [](const TRENDITEM &t) { return t.price != 0; });
    if (priced != dayItems.end())
      for (auto it = dayItems.begin(); it != priced; ++it) Flatten(&*it, *priced, turnover);
  }
  for (size_t i = 1; i < dayItems.size(); ++i)
    if (dayItems[i].price == 0) Flatten(&dayItems[i], dayItems[i - 1], turnover);
  std::memcpy(block.data() + 4 + shape.extra, dayItems.data(), dayItems.size() * sizeof(TRENDITEM));

  // The history as it is: its whole blocks, when its header fits.
  std::string history;
  int32_t size = SizeOfFile(path);
  int32_t blocks = 0;
  if (size >= 4) {
    int32_t file = FileOpen(path, "rb");
    if (file <= 0) return 0;
    uint32_t header = 0;
    if (ReadExactly(file, 0, &header, 4) && header == uint32_t(shape.items)) {
      blocks = (size - 4) / shape.block;
      history.resize(size_t(4 + blocks * shape.block));
      if (!ReadExactly(file, 0, history.data(), int32_t(history.size()))) {
        FileClose(file);
        return 0;  // can't be read now; leave it for the next try
      }
    }
    FileClose(file);
  }

  std::string_view newBlock(reinterpret_cast<const char *>(block.data()), block.size());
  if (blocks == 0) {
    uint32_t header = uint32_t(shape.items);
    history.assign(reinterpret_cast<const char *>(&header), 4);
    history.append(newBlock);
  } else {
    int32_t at = 0;
    uint32_t stored = 0;
    for (; at < blocks; ++at) {
      std::memcpy(&stored, history.data() + 4 + size_t(at) * size_t(shape.block), 4);
      if (stored >= date) break;
    }
    size_t offset = 4 + size_t(at) * size_t(shape.block);
    if (at < blocks && stored == date)
      history.replace(offset, newBlock.size(), newBlock);
    else
      history.insert(offset, newBlock);
  }
  return WriteWholeFile(path, history) ? 1 : 0;
}

int MergeTrendDayFor(uint32_t stockWord, PackedDateTime date) {
  if (!GetStockInfo(stockWord)) return 0;
  return MergeTrendDay(MarketAt(int(stockWord & 0xFF)), int(stockWord >> 16), date);
}

// ---- Answer write ----------------------------------------------------------

int WriteTrendDayPart(TMarketData *market, int stock, PackedDateTime date, int part, const void *data,
                      int32_t length, bool lastPart) {
  date &= kPackedDateMask;
  HistoryShape shape;
  char path[MAX_PATH];
  if (!ShapeOf(market, stock, &shape) || !CacheFilePath(market, stock, kCacheTrendDay, path, sizeof path, date))
    return -1;
  const uint8_t *p = static_cast<const uint8_t *>(data);
  int32_t left = p && length > 0 ? length : 0;
  uint32_t extraWord = 0;
  if (shape.extra) {
    // Every part of an index instrument carries the day's extra word; the
    // file keeps the first one.
    if (left >= 4) {
      std::memcpy(&extraWord, p, 4);
      p += 4;
    }
    left = std::max(left - 4, 0);
  }
  MakeFolderOf(path);
  int32_t file = FileOpen(path, "r+b");
  if (file <= 0) return -1;
  auto drop = [&] {
    FileClose(file);
    DeleteFileA(path);
    return -1;
  };
  if (part == 0 && (FileTruncate(file, 0) < 0 || (shape.extra && !WriteExactly(file, 0, &extraWord, 4))))
    return drop();
  int32_t size = FileSize(file);
  if (size < shape.extra) return drop();  // the start of the day never arrived
  int32_t end = shape.extra + (size - shape.extra) / kItem * kItem;

  TRENDITEM previous{};
  bool havePrevious = end > shape.extra && ReadExactly(file, end - kItem, &previous, kItem);
  int32_t wire = shape.extra ? kItem : kShortWireItem;
  int32_t n = left / wire;
  if (int64_t(end) + int64_t(n) * kItem > INT32_MAX) return drop();
  std::vector<TRENDITEM> items(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TRENDITEM item{};
    std::memcpy(&item, p + i * wire, size_t(wire));
    // A minute without a trade repeats the minute before it.
    if (havePrevious && (item.price < 1 || !(item.volume >= 1.0f))) item = previous;
    items[size_t(i)] = previous = item;
    havePrevious = true;
  }
  if ((n > 0 && !WriteExactly(file, end, items.data(), n * kItem)) || FileTruncate(file, end + n * kItem) < 0)
    return drop();
  FileClose(file);
  if (lastPart && n > 0) {
    MergeTrendDay(market, stock, date);
    DeleteFileA(path);
  }
  return n;
}
