// The market table: at most 48 markets, each with its name table and its
// per-instrument quote, finance, price-history and broker-queue arrays, and
// the lookups that turn a code into an instrument reference and a reference
// into its records.
//
// The table is built once per run by TDataIO: at login on the login
// dialog's loader thread, or from the local files for offline browsing.
// Afterwards only the GUI thread uses it, without locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <new>
#include <vector>

#include "core/datetime.h"
#include "market/marketrecords.h"
#include "platform/windef.h"

class TMarketData;

// What the market table asks of the rest of the program during a build.
// The main window (and the request client it keeps) fills these in; an
// empty function means "not there": no request client, nothing downloaded.
struct MarketTableServices {
  // True while the main window holds a connected request client.
  std::function<bool()> hasRequestClient;
  // Fills the market's name table (and extended codes) from the server and
  // writes its files; returns the number of entries, or -1 on failure.
  std::function<int(TMarketData &)> downloadCodeTables;
  // Fills the market's finance records from the server; 0, or -1.
  std::function<int(TMarketData &)> downloadFinance;
  // Deletes the request client and clears its pointer (the program then
  // goes on offline). Called on the GUI thread only.
  std::function<void()> dropRequestClient;
};
MarketTableServices &MarketServices();

// Why a build of the market table failed.
enum TMarketBuildFailure : int {
  kBuildOk = 0,
  kBuildNoMarketList = 1,    // "..\cfg\mkinfo.cfg" can't be read: nothing to tell
  kBuildNoMemory = 2,        // a market could not be made
  kBuildNoNameTable = 3,     // offline without a local name table
  kBuildDownloadFailed = 4,  // a table download through the request client failed
  kBuildCancelled = 5,       // stopped by its caller: nothing to tell
};
// On the GUI thread: tells the user of a failed build with its message
// box; a failed download also drops the request client.
void TellMarketBuildFailure(int failure);

// Error of a market whose per-stock arrays could not be allocated.
constexpr int32_t kMarketAllocError = 3001;

class TMarketData {
 public:
  // An index of 48 or more is kept as 0. The record is copied with its
  // kind count capped at 15 and its name fields NUL-terminated.
  TMarketData(int marketIndex, const MKINFO &record);
  // Writes the quotes (and finance records) back and frees the arrays.
  ~TMarketData();
  TMarketData(const TMarketData &) = delete;
  TMarketData &operator=(const TMarketData &) = delete;

  // Markets live on the system heap like every other block, so that a
  // shortage shows as a null result of new (std::nothrow).
  static void *operator new(size_t size);
  static void *operator new(size_t size, const std::nothrow_t &) noexcept;
  static void operator delete(void *block);
  static void operator delete(void *block, const std::nothrow_t &) noexcept;

  // Reads or downloads the name table, then (offline) the quote and finance
  // files. 1 on success, 0 on failure: with failure given, the reason goes
  // there and nothing is told; without, the user is told
  // (TellMarketBuildFailure).
  int Load(int nameTableFlag, int forceDownload, int *failure = nullptr);
  // Reads nametbl.<ext> (and nametble.<ext> for futures); 0 when it can't
  // be opened.
  int LoadNameTable();
  // Downloads the tables through the request client: 1, or 0 when a
  // download failed (Load tells).
  int DownloadTables();

  // Zeroes the quote and price history of every loaded stock of the kind
  // (types 2 and 8 keep the open interest) and rewrites real.<ext>.
  void ClearKindQuotes(int kind);

  // The market clock from the shared UTC clock: current time, current
  // minute and every kind's current trading-minute index.
  void UpdateMarketClock(PackedDateTime utc);
  // Every kind's current trading-minute index from the current minute.
  void UpdateTradingMinutes();
  // 1 when today trades for the market's calendar key and some kind is in
  // a session now.
  int IsTradingNow() const;

  // Lookups by code, without regard to case; the first entry wins.
  STKINFO *FindStock(const char *code) const;
  int FindStockIndex(const char *code) const;
  // The code index follows the name table by itself when the table is
  // loaded or downloaded here; whoever rewrites entries in place calls this.
  void InvalidateCodeIndex() { m_indexStocks = nullptr; }

  // Path of one of the market's table files, "..\data\<short>\<base>.<ext>".
  void TablePath(const char *base, char *path, int size) const;

  int32_t m_market = 0;
  int32_t m_stockCount = 0;
  MKINFO m_info{};
  int32_t m_error = 0;
  int32_t m_loadedCount = 0;
  PackedDateTime m_currentTime = 0;
  PackedDateTime m_tradingDate[kMaxStockKinds] = {};
  uint16_t m_currentMinute = 0;
  uint16_t m_longestDay = 0;
  STKINFO *m_stocks = nullptr;
  STKINFOEX *m_stocksEx = nullptr;  // futures markets only
  REALQUOTE *m_quotes = nullptr;
  FINANCE *m_finance = nullptr;  // markets 0 and 1 only
  PRICEHIST *m_priceHist = nullptr;
  BROKERQUEUE *m_brokerQueues = nullptr;

 private:
  struct IndexSlot {
    uint64_t key;  // the code folded to upper case, 0 = free
    int32_t stock;
  };
  void FreeArrays();
  int Probe(uint64_t key) const;
  void BuildCodeIndex() const;
  void WriteQuoteFile(int32_t records) const;

  mutable std::vector<IndexSlot> m_index;
  mutable const STKINFO *m_indexStocks = nullptr;  // table the index was built for
  mutable int32_t m_indexCount = 0;
  mutable uint32_t m_indexMask = 0;
};

// The one market table of the program.
struct TMarketTable {
  TMarketData *markets[kMaxMarkets];
  int32_t marketCount;  // records of mkinfo.cfg that were taken, at most 48
  MKINFO records[kMaxMarkets];
  int32_t futuresMarkets[kMaxMarkets];
  int32_t futuresCount;
  int32_t extraCodeAskMarkets[kMaxMarkets];
  int32_t extraCodeAskCount;
  int32_t loadState;   // 0, or -1 after a failed build
  int32_t firstBuild;  // 1 until the first build completes
};
extern TMarketTable MarketTable;

// The market of a slot, null for an index out of range or an empty slot.
inline TMarketData *MarketAt(int market) {
  return market >= 0 && market < MarketTable.marketCount ? MarketTable.markets[market] : nullptr;
}
// The market of an instrument, null as above.
inline const TMarketData *MarketOf(STKPTR stock) { return MarketAt(int(stock.market)); }

// Owner of the market table: builds it when constructed and frees every
// market when destroyed (each writes its quote and finance files).
class TDataIO {
 public:
  // The build on the GUI thread: a failure is told at once.
  explicit TDataIO(HWND progressWindow);
  // The build on the login dialog's worker: it stops before the next
  // market once cancel is set, and tells nothing and drops nothing, so
  // that it touches nothing of the GUI thread's but the progress window
  // (by sent messages). Failure() says what the GUI thread is to tell.
  TDataIO(HWND progressWindow, const std::atomic<bool> &cancel);
  ~TDataIO();
  TDataIO(const TDataIO &) = delete;
  TDataIO &operator=(const TDataIO &) = delete;

  // 1 on success, 0 on failure; progress goes to the window as
  // WM_LOGIN_MARKET_SYNC, WM_LOGIN_FAILED and WM_LOGIN_DONE (none of them
  // once the build was cancelled).
  int LoadAllMarkets(int reload, HWND progressWindow);
  // 0 when "..\cfg\mkinfo.cfg" can't be opened; else 1, with at most 48
  // whole records taken and the rest of the file ignored.
  int LoadMarketInfoFile();
  // kBuildOk, or why the last build failed.
  int Failure() const { return failure_; }

 private:
  void Build(HWND progressWindow);
  void FreeMarkets();
  bool Cancelled() const { return cancel_ && cancel_->load(); }
  // Keeps the failure (a cancel overrides it), tells it on the GUI
  // thread's build and returns 0.
  int Fail(int failure);

  const std::atomic<bool> *cancel_ = nullptr;
  int failure_ = kBuildOk;
};

// The kind byte of a stock: its entry's kind, or the market's kind count - 1
// for an index outside the loaded entries.
int StockKindOf(const TMarketData *market, int stock);

// Lookups. Codes compare without regard to case; the loaded count bounds
// every scan; nothing found gives null (or 0, or -1 where so stated).
STKINFO *GetStockInfo(uint32_t stockWord);
inline STKINFO *GetStockInfo(STKPTR stock) { return GetStockInfo(stock.Word()); }
STKINFOEX *GetStockInfoEx(uint32_t stockWord);
inline STKINFOEX *GetStockInfoEx(STKPTR stock) { return GetStockInfoEx(stock.Word()); }
STKINFO *FindStockInMarket(const char *code, int market);
// Searches from *market upwards; sets *market to where the code was found.
STKINFO *FindStockFromMarket(const char *code, uint32_t *market);
// *market first, then (with searchAll) every other market in index order.
// 1 with *out and *market filled, else 0.
int FindStockRef(const char *code, uint16_t *market, STKPTR *out, int searchAll);
STKINFO *LookupStock(const char *code, uint16_t *market, int searchAll);
// By extended code; a stock-kind-2 contract with a six-character code is
// also found by its five-character form without the third character.
STKINFO *FindStockByAltCode(const char *text, int market);
TMarketData *FindMarketByName(const char *shortName);
// The next or previous stock of the market, wrapping round; the current
// reference when it is not of that market or the market has no entries.
STKPTR *NextStockInMarket(STKPTR *result, const TMarketData *market, STKPTR current);
STKPTR *PrevStockInMarket(STKPTR *result, const TMarketData *market, STKPTR current);
int IsMajorIndexCode(int market, const char *code);
int IsIndexStock(int market, const char *code);

void ClearKindQuotes(TMarketData *market, int kind);

// Market lists.
int RegisterFuturesMarket(int market);
int GetFuturesMarketCount();
int GetFuturesMarketAt(int i);
int RegisterExtraCodeAskMarket(int market);
int GetExtraCodeAskMarketCount();
int GetExtraCodeAskMarketAt(int i);
