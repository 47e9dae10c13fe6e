#include "market/dataio5.h"

#include "market/datafile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/efile.h"
#include "core/emem.h"
#include "market/calendar.h"
#include "platform/gbk.h"
#include "platform/messages.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/winuser.h"

TMarketTable MarketTable;

namespace {

// The local cache lies in the folder "data" above the program folder,
// beside the shared configuration folder.
constexpr const char kDataFolder[] = "..\\data";
constexpr const char kMarketInfoFile[] = "..\\cfg\\mkinfo.cfg";
constexpr const char kMarketExFile[] = "..\\cfg\\MarketEx.ini";

constexpr uint64_t kNoCode = 0;

// A code of at most 7 bytes as one number, ASCII letters folded to upper
// case (the trail byte of a GBK character stays as it is), so that two
// codes equal without regard to case exactly when their numbers are equal.
// kNoCode for an empty code.
uint64_t FoldCode(const char *code, size_t length) {
  uint64_t key = 0;
  for (size_t i = 0; i < length; ++i) {
    uint8_t b = uint8_t(code[i]);
    if (platform::IsGbkPair(std::string_view(code, length), i)) {
      key |= uint64_t(b) << (8 * i);
      ++i;
      key |= uint64_t(uint8_t(code[i])) << (8 * i);
      continue;
    }
    if (b >= 'a' && b <= 'z') b = uint8_t(b - 'a' + 'A');
    key |= uint64_t(b) << (8 * i);
  }
  return key;
}

uint64_t FieldKey(const char (&field)[7]) { return FoldCode(field, strnlen(field, sizeof field)); }

// kNoCode for a null or empty code and for one too long to be any entry's.
uint64_t QueryKey(const char *code) {
  if (!code) return kNoCode;
  size_t length = strnlen(code, 8);
  if (length == 0 || length > 7) return kNoCode;
  return FoldCode(code, length);
}

uint32_t HashKey(uint64_t key) { return uint32_t((key * 0x9E3779B97F4A7C15ull) >> 32); }

void TerminateField(char *field, size_t size) {
  field[size - 1] = 0;
  TrimRight(field);
}

template <size_t N>
void TerminateField(char (&field)[N]) {
  TerminateField(field, N);
}

bool FileExists(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Reads whole records from the start of a file into the buffer: at most
// maxRecords, never more than the file holds. With exactMultiple a file
// whose size is not a whole number of records is refused. Returns the
// records read, or -1 when the file can't be opened or is refused.
int32_t ReadRecords(const char *path, void *buffer, int32_t recordSize, int32_t maxRecords,
                    bool exactMultiple) {
  int32_t file = FileOpen(path, "rb");
  if (file <= 0) return -1;
  int32_t size = FileSize(file);
  int32_t result = -1;
  if (size >= 0 && !(exactMultiple && size % recordSize != 0)) {
    int32_t records = size / recordSize;
    if (records > maxRecords) records = maxRecords;
    result = records > 0 ? FileRead(file, buffer, recordSize, records) / recordSize : 0;
  }
  FileClose(file);
  return result;
}

// Replaces a file with the bytes given, by way of a new file renamed over
// the old one.
bool WriteWholeFile(const char *path, const void *bytes, size_t length) {
  if (!path || !*path) return false;
  std::string posix = platform::ResolvePath(path);
  if (posix.empty()) return false;
  return platform::WriteFileReplacing(posix, std::string_view(static_cast<const char *>(bytes), length)) == 0;
}

void SendProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window) SendMessageA(window, message, wParam, lParam);
}

bool HasRequestClient() {
  const MarketTableServices &s = MarketServices();
  return s.hasRequestClient && s.hasRequestClient();
}

int RegisterIn(int32_t *list, int32_t *count, int market) {
  for (int i = 0; i < *count; ++i)
    if (list[i] == market) return i;
  if (*count >= kMaxMarkets) return -1;
  list[*count] = market;
  return (*count)++;
}

int ListAt(const int32_t *list, int32_t count, int i) { return i >= 0 && i < count ? list[i] : 0; }

void DestroyMarketAt(int slot) {
  delete MarketTable.markets[slot];
  MarketTable.markets[slot] = nullptr;
}

}  // namespace

MarketTableServices &MarketServices() {
  static MarketTableServices services;
  return services;
}

// ---- STKPTR --------------------------------------------------------------

STKPTR::STKPTR(int marketIndex, int, int stockIndex)
    : market(uint8_t(marketIndex)), kind(kNoKind), stock(uint16_t(stockIndex)) {
  if (stock == kNoStock) return;
  if (const TMarketData *md = market < kMaxMarkets ? MarketTable.markets[market] : nullptr)
    kind = uint8_t(StockKindOf(md, stock));
}

STKPTR::STKPTR(uint32_t word) : STKPTR(int(word & 0xFF), 0, int(word >> 16)) {}

int StockKindOf(const TMarketData *market, int stock) {
  if (!market) return kNoKind;
  if (!market->m_stocks || stock < 0 || stock >= market->m_loadedCount) return market->m_info.kindCount - 1;
  return market->m_stocks[stock].kind;
}

// ---- TMarketData ---------------------------------------------------------

void *TMarketData::operator new(size_t size) {
  void *block = size <= size_t(INT32_MAX) ? Malloc(int32_t(size)) : nullptr;
  if (!block) throw std::bad_alloc();
  return block;
}

void *TMarketData::operator new(size_t size, const std::nothrow_t &) noexcept {
  return size <= size_t(INT32_MAX) ? Malloc(int32_t(size)) : nullptr;
}

void TMarketData::operator delete(void *block) { Free(block); }
void TMarketData::operator delete(void *block, const std::nothrow_t &) noexcept { Free(block); }

TMarketData::TMarketData(int marketIndex, const MKINFO &record) {
  m_market = marketIndex >= 0 && marketIndex < kMaxMarkets ? marketIndex : 0;
  m_info = record;
  if (m_info.kindCount > kMaxStockKinds) m_info.kindCount = kMaxStockKinds;
  // Names longer than their fields lose their last byte rather than run
  // into the next field.
  m_info.name[sizeof m_info.name - 1] = 0;
  m_info.shortName[sizeof m_info.shortName - 1] = 0;
  m_info.extension[sizeof m_info.extension - 1] = 0;
  m_stockCount = m_info.stockCount;

  MakeDirChain(kDataFolder);

  int32_t n = m_stockCount;
  m_stocks = static_cast<STKINFO *>(Malloc(n * int32_t(sizeof(STKINFO))));
  m_quotes = static_cast<REALQUOTE *>(Malloc(n * int32_t(sizeof(REALQUOTE))));
  m_priceHist = static_cast<PRICEHIST *>(Malloc(n * int32_t(sizeof(PRICEHIST))));
  m_brokerQueues = static_cast<BROKERQUEUE *>(Malloc(n * int32_t(sizeof(BROKERQUEUE))));
  if (m_info.type == 2) m_stocksEx = static_cast<STKINFOEX *>(Malloc(n * int32_t(sizeof(STKINFOEX))));
  if (m_market == 0 || m_market == 1) m_finance = static_cast<FINANCE *>(Malloc(n * int32_t(sizeof(FINANCE))));
  if (!m_stocks || !m_quotes || !m_priceHist || !m_brokerQueues) {
    // Such a market is never loaded, read or written; the arrays that did
    // come are given back at once.
    m_error = kMarketAllocError;
    FreeArrays();
    return;
  }
  if (m_info.type == 2 && m_market != 0) RegisterFuturesMarket(m_market);

  m_loadedCount = 0;
  m_longestDay = 0;
  for (int k = 0; k < m_info.kindCount; ++k) {
    int minutes = TradingMinutesOfKind(&m_info, k);
    if (minutes > 0xFFFF) minutes = 0xFFFF;
    m_info.kinds[k].minutesPerDay = uint16_t(minutes);
    if (minutes > m_longestDay) m_longestDay = uint16_t(minutes);
  }
  UpdateMarketClock(CurrentUtcTime);
  for (int k = 0; k < m_info.kindCount; ++k) m_tradingDate[k] = ComputeTradingDate(this, k, m_info.calendarKey);
}

TMarketData::~TMarketData() {
  if (m_error == 0 && m_quotes) {
    WriteQuoteFile(m_loadedCount);
    if (m_finance) {
      char path[MAX_PATH];
      TablePath("Finance", path, sizeof path);
      WriteWholeFile(path, m_finance, size_t(m_loadedCount) * sizeof(FINANCE));
    }
  }
  FreeArrays();
}

void TMarketData::FreeArrays() {
  Free(m_stocks);
  Free(m_stocksEx);
  Free(m_quotes);
  Free(m_finance);
  Free(m_priceHist);
  Free(m_brokerQueues);
  m_stocks = nullptr;
  m_stocksEx = nullptr;
  m_quotes = nullptr;
  m_finance = nullptr;
  m_priceHist = nullptr;
  m_brokerQueues = nullptr;
  m_loadedCount = 0;
  InvalidateCodeIndex();
}

// The folder and extension come from the server's "mkinfo.cfg": a name that
// could leave the data folder gives no path, so nothing is read or written.
void TMarketData::TablePath(const char *base, char *path, int size) const {
  if (size <= 0) return;
  path[0] = '\0';
  if (!IsSafeCacheName(m_info.shortName) || !IsSafeCacheName(m_info.extension)) return;
  std::snprintf(path, size_t(size), "%s\\%s\\%s.%s", kDataFolder, m_info.shortName, base, m_info.extension);
}

void TMarketData::WriteQuoteFile(int32_t records) const {
  if (!IsSafeCacheName(m_info.shortName)) return;
  char folder[MAX_PATH], path[MAX_PATH];
  std::snprintf(folder, sizeof folder, "%s\\%s", kDataFolder, m_info.shortName);
  MakeDirChain(folder);
  TablePath("real", path, sizeof path);
  WriteWholeFile(path, m_quotes, size_t(records) * sizeof(REALQUOTE));
}

int TMarketData::Load(int nameTableFlag, int forceDownload, int *failure) {
  auto fail = [failure](int why) {
    if (failure)
      *failure = why;
    else
      TellMarketBuildFailure(why);
    return 0;
  };
  if (failure) *failure = kBuildOk;
  if (m_error != 0) {
    // A market without its arrays is never loaded; the build has skipped it.
    if (failure) *failure = kBuildNoMemory;
    return 0;
  }
  if (nameTableFlag) {
    char path[MAX_PATH];
    TablePath("nametbl", path, sizeof path);
    if (!HasRequestClient() || (!forceDownload && FileExists(path))) {
      if (!LoadNameTable()) return fail(kBuildNoNameTable);
    } else if (!DownloadTables()) {
      return fail(kBuildDownloadFailed);
    }
  }
  if (HasRequestClient()) return 1;  // quotes and finance come from the servers

  char path[MAX_PATH];
  TablePath("real", path, sizeof path);
  ReadRecords(path, m_quotes, sizeof(REALQUOTE), m_loadedCount, true);
  if (m_finance) {
    TablePath("Finance", path, sizeof path);
    ReadRecords(path, m_finance, sizeof(FINANCE), m_loadedCount, true);
  }
  return 1;
}

int TMarketData::LoadNameTable() {
  if (m_error != 0) return 0;
  char path[MAX_PATH];
  TablePath("nametbl", path, sizeof path);
  int32_t n = ReadRecords(path, m_stocks, sizeof(STKINFO), m_stockCount, false);
  if (n < 0) return 0;
  std::memset(static_cast<void *>(m_stocks + n), 0, size_t(m_stockCount - n) * sizeof(STKINFO));
  for (int32_t i = 0; i < n; ++i) {
    STKINFO &e = m_stocks[i];
    e.index = uint16_t(i);
    TerminateField(e.code);
    TerminateField(e.name);
  }
  m_loadedCount = n;
  if (m_info.type == 2 && m_stocksEx) {
    // A short or missing file leaves the codes it lacks empty.
    TablePath("nametble", path, sizeof path);
    int32_t got = ReadRecords(path, m_stocksEx, sizeof(STKINFOEX), n, false);
    if (got < 0) got = 0;
    std::memset(static_cast<void *>(m_stocksEx + got), 0, size_t(m_stockCount - got) * sizeof(STKINFOEX));
  }
  InvalidateCodeIndex();
  return 1;
}

int TMarketData::DownloadTables() {
  if (m_error != 0) return 0;
  const MarketTableServices &s = MarketServices();
  int count = s.downloadCodeTables ? s.downloadCodeTables(*this) : -1;
  int finance = 0;
  if (count >= 0 && (m_market == 0 || m_market == 1)) finance = s.downloadFinance ? s.downloadFinance(*this) : -1;
  if (count < 0 || finance < 0) return 0;
  m_loadedCount = count < m_stockCount ? count : m_stockCount;
  InvalidateCodeIndex();
  return 1;
}

void TMarketData::ClearKindQuotes(int kind) {
  if (m_error != 0 || !m_stocks || !m_quotes) return;
  bool keepOpenInterest = m_info.type == 2 || m_info.type == 8;
  for (int32_t i = 0; i < m_loadedCount; ++i) {
    if (m_stocks[i].kind != kind) continue;
    float openInterest = m_quotes[i].amount;
    std::memset(static_cast<void *>(&m_quotes[i]), 0, sizeof(REALQUOTE));
    if (keepOpenInterest) m_quotes[i].amount = openInterest;
    if (m_priceHist) std::memset(static_cast<void *>(&m_priceHist[i]), 0, sizeof(PRICEHIST));
  }
  WriteQuoteFile(m_stockCount);
}

void ClearKindQuotes(TMarketData *market, int kind) {
  if (market) market->ClearKindQuotes(kind);
}

void TMarketData::UpdateMarketClock(PackedDateTime utc) {
  PackedDateTime now = utc;
  ShiftPackedHours(&now, m_info.hourOffset);
  m_currentTime = now;
  m_currentMinute = uint16_t(PackedHour(now) * 60 + PackedMinute(now));
  UpdateTradingMinutes();
}

void TMarketData::UpdateTradingMinutes() {
  for (int k = 0; k < m_info.kindCount && k < kMaxStockKinds; ++k)
    m_info.kinds[k].currentTradingMinute = uint16_t(ClockToTradingMinute(&m_info, m_currentMinute, k));
}

int TMarketData::IsTradingNow() const {
  PackedDateTime today = m_currentTime & kPackedDateMask;
  if (IsNonTradingDay(&today, m_info.calendarKey)) return 0;
  for (int k = 0; k < m_info.kindCount && k < kMaxStockKinds; ++k)
    if (IsInSession(this, k)) return 1;
  return 0;
}

// ---- Code index ----------------------------------------------------------
// Codes are looked up many thousand times a second (every view, chart,
// formula and quote turns a code into a reference), so each market keeps an
// open-addressing table from the folded code to the first entry with it.

void TMarketData::BuildCodeIndex() const {
  uint32_t capacity = 16;
  while (capacity < uint32_t(m_loadedCount) * 2) capacity <<= 1;
  m_index.assign(capacity, IndexSlot{kNoCode, -1});
  m_indexMask = capacity - 1;
  for (int32_t i = 0; i < m_loadedCount; ++i) {
    uint64_t key = FieldKey(m_stocks[i].code);
    if (key == kNoCode) continue;
    for (uint32_t h = HashKey(key) & m_indexMask;; h = (h + 1) & m_indexMask) {
      if (m_index[h].key == key) break;  // the first entry with the code stays
      if (m_index[h].key == kNoCode) {
        m_index[h] = IndexSlot{key, i};
        break;
      }
    }
  }
  m_indexStocks = m_stocks;
  m_indexCount = m_loadedCount;
}

int TMarketData::Probe(uint64_t key) const {
  if (key == kNoCode || !m_stocks || m_loadedCount <= 0) return -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (m_indexStocks != m_stocks || m_indexCount != m_loadedCount) BuildCodeIndex();
    for (uint32_t h = HashKey(key) & m_indexMask;; h = (h + 1) & m_indexMask) {
      const IndexSlot &slot = m_index[h];
      if (slot.key == kNoCode) return -1;
      if (slot.key != key) continue;
      // An entry rewritten behind the index's back shows here: build it
      // again and look once more.
      if (slot.stock < m_loadedCount && FieldKey(m_stocks[slot.stock].code) == key) return slot.stock;
      break;
    }
    m_indexStocks = nullptr;
  }
  return -1;
}

STKINFO *TMarketData::FindStock(const char *code) const {
  int i = Probe(QueryKey(code));
  return i >= 0 ? &m_stocks[i] : nullptr;
}

int TMarketData::FindStockIndex(const char *code) const { return Probe(QueryKey(code)); }

// ---- The table -----------------------------------------------------------

void TellMarketBuildFailure(int failure) {
  const char *text = nullptr;
  switch (failure) {
    case kBuildNoMemory: text = "内存不足，初始化失败。  "; break;
    case kBuildNoNameTable: text = "市场信息不存在，不能脱机浏览。请连接服务器查看。  "; break;
    case kBuildDownloadFailed: {
      const MarketTableServices &s = MarketServices();
      if (s.dropRequestClient) s.dropRequestClient();
      text = "网络故障，下载市场信息失败。  ";
      break;
    }
    default: return;
  }
  MessageBoxA(nullptr, text, "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

TDataIO::TDataIO(HWND progressWindow) { Build(progressWindow); }

TDataIO::TDataIO(HWND progressWindow, const std::atomic<bool> &cancel) : cancel_(&cancel) { Build(progressWindow); }

void TDataIO::Build(HWND progressWindow) {
  MarketTable.loadState = 0;
  MarketTable.marketCount = 0;
  MarketTable.firstBuild = 1;
  for (TMarketData *&m : MarketTable.markets) m = nullptr;
  if (!LoadAllMarkets(1, progressWindow)) MarketTable.loadState = -1;
}

TDataIO::~TDataIO() { FreeMarkets(); }

int TDataIO::Fail(int failure) {
  // A download cut short by the cancel fails as well: it is the cancel.
  failure_ = Cancelled() ? int(kBuildCancelled) : failure;
  if (!cancel_) TellMarketBuildFailure(failure_);
  return 0;
}

void TDataIO::FreeMarkets() {
  for (int i = 0; i < kMaxMarkets; ++i) DestroyMarketAt(i);
}

int TDataIO::LoadMarketInfoFile() {
  int32_t n = ReadRecords(kMarketInfoFile, MarketTable.records, sizeof(MKINFO), kMaxMarkets, false);
  if (n < 0) return 0;
  // Records past the 48 slots of the table are ignored.
  std::memset(static_cast<void *>(MarketTable.records + n), 0, size_t(kMaxMarkets - n) * sizeof(MKINFO));
  MarketTable.marketCount = n;
  return 1;
}

int TDataIO::LoadAllMarkets(int reload, HWND progressWindow) {
  failure_ = kBuildOk;
  if (reload) FreeMarkets();
  LoadSessionTimeTable(&TimeZoneTable);
  if (!LoadMarketInfoFile()) return Fail(kBuildNoMarketList);
  MarketTable.futuresCount = 0;

  char setting[MAX_PATH + 32];
  std::snprintf(setting, sizeof setting, "%sSETTING.INI", UserDataPath);
  const int downEach = int(GetPrivateProfileIntA("Parameter", "DownEach", 1, setting));

  for (int i = 0; i < MarketTable.marketCount; ++i) {
    if (Cancelled()) return Fail(kBuildCancelled);
    DestroyMarketAt(i);
    TMarketData *market = new (std::nothrow) TMarketData(i, MarketTable.records[i]);
    if (!market) {
      SendProgress(progressWindow, WM_LOGIN_FAILED, 0, 0);
      return Fail(kBuildNoMemory);
    }
    if (market->m_error != 0) {
      // Its arrays could not be had: the market stays out of the table
      // and the others go on.
      delete market;
      continue;
    }
    MarketTable.markets[i] = market;

    bool download = i > 2 || downEach == 1;
    if (!download) {
      char path[MAX_PATH];
      market->TablePath("nametbl", path, sizeof path);
      download = !FileExists(path);
    }
    if (download) SendProgress(progressWindow, WM_LOGIN_MARKET_SYNC, WPARAM(MarketTable.marketCount), LPARAM(i));
    int failure = kBuildOk;
    if (!market->Load(1, download, &failure)) {
      if (Cancelled()) return Fail(kBuildCancelled);
      SendProgress(progressWindow, WM_LOGIN_FAILED, 0, 0);
      return Fail(failure);
    }
  }
  if (Cancelled()) return Fail(kBuildCancelled);

  MarketTable.extraCodeAskCount = 0;
  char list[512];
  GetPrivateProfileStringA("Option", "ExtraOnlineCodeAsk", "", list, sizeof list, kMarketExFile);
  for (char *p = list; *p;) {
    char *end = nullptr;
    long value = std::strtol(p, &end, 10);
    if (end != p && value >= 0 && value < MarketTable.marketCount) RegisterExtraCodeAskMarket(int(value));
    char *comma = std::strchr(p, ',');
    if (!comma) break;
    p = comma + 1;
  }

  SendProgress(progressWindow, WM_LOGIN_DONE, 0, 0);
  MarketTable.firstBuild = 0;
  return 1;
}

// ---- Lookups -------------------------------------------------------------

STKINFO *GetStockInfo(uint32_t word) {
  TMarketData *md = MarketAt(int(word & 0xFF));
  uint32_t stock = word >> 16;
  if (!md || !md->m_stocks || stock >= uint32_t(md->m_loadedCount)) return nullptr;
  return &md->m_stocks[stock];
}

STKINFOEX *GetStockInfoEx(uint32_t word) {
  TMarketData *md = MarketAt(int(word & 0xFF));
  uint32_t stock = word >> 16;
  if (!md || !md->m_stocksEx || stock >= uint32_t(md->m_loadedCount)) return nullptr;
  return &md->m_stocksEx[stock];
}

STKINFO *FindStockInMarket(const char *code, int market) {
  TMarketData *md = MarketAt(market);
  return md ? md->FindStock(code) : nullptr;
}

STKINFO *FindStockFromMarket(const char *code, uint32_t *market) {
  if (!market) return nullptr;
  for (uint32_t m = *market; m < uint32_t(MarketTable.marketCount); ++m) {
    if (STKINFO *e = FindStockInMarket(code, int(m))) {
      *market = m;
      return e;
    }
  }
  return nullptr;
}

int FindStockRef(const char *code, uint16_t *market, STKPTR *out, int searchAll) {
  if (!code || !market || *market >= MarketTable.marketCount) return 0;
  int found = *market;
  STKINFO *e = FindStockInMarket(code, found);
  for (int m = 0; !e && searchAll && m < MarketTable.marketCount; ++m) {
    if (m == *market) continue;
    if ((e = FindStockInMarket(code, m))) found = m;
  }
  if (!e) return 0;
  if (out) *out = STKPTR(e->market, e->kind, e->index);
  *market = uint16_t(found);
  return 1;
}

STKINFO *LookupStock(const char *code, uint16_t *market, int searchAll) {
  STKPTR ref;
  if (!FindStockRef(code, market, &ref, searchAll)) return nullptr;
  return GetStockInfo(ref);
}

STKINFO *FindStockByAltCode(const char *text, int market) {
  if (!text || !*text) return nullptr;
  TMarketData *md = MarketAt(market);
  if (!md || !md->m_stocksEx || !md->m_stocks) return nullptr;
  std::string_view wanted(text, strnlen(text, 8));
  if (wanted.size() > sizeof(STKINFOEX::code)) return nullptr;
  for (int32_t i = 0; i < md->m_loadedCount; ++i) {
    const char *ex = md->m_stocksEx[i].code;
    size_t n = strnlen(ex, sizeof(STKINFOEX::code));
    if (n == 0) continue;
    if (platform::EqualNoCase(std::string_view(ex, n), wanted)) return &md->m_stocks[i];
    if (md->m_stocks[i].kind == 2 && n == 6 && wanted.size() == 5) {
      // The short form drops the decade digit of the year: AB1203 -> AB203.
      const char brief[5] = {ex[0], ex[1], ex[3], ex[4], ex[5]};
      if (platform::EqualNoCase(std::string_view(brief, 5), wanted)) return &md->m_stocks[i];
    }
  }
  return nullptr;
}

TMarketData *FindMarketByName(const char *shortName) {
  if (!shortName || !*shortName) return nullptr;
  for (int m = 0; m < MarketTable.marketCount; ++m) {
    TMarketData *md = MarketTable.markets[m];
    if (md && platform::EqualNoCase(md->m_info.shortName, shortName)) return md;
  }
  return nullptr;
}

STKPTR *NextStockInMarket(STKPTR *result, const TMarketData *market, STKPTR current) {
  if (!result) return nullptr;
  int stock = current.stock;
  if (market && current.market == market->m_market && market->m_loadedCount > 0) {
    stock = stock + 1 < market->m_loadedCount ? stock + 1 : 0;
  }
  *result = STKPTR(current.market, 0, stock);
  return result;
}

STKPTR *PrevStockInMarket(STKPTR *result, const TMarketData *market, STKPTR current) {
  if (!result) return nullptr;
  int stock = current.stock;
  if (market && current.market == market->m_market && market->m_loadedCount > 0) {
    stock = stock > 0 && stock <= market->m_loadedCount ? stock - 1 : market->m_loadedCount - 1;
  }
  *result = STKPTR(current.market, 0, stock);
  return result;
}

int IsMajorIndexCode(int market, const char *code) {
  if (!code) return 0;
  static const char *const kMarket0[] = {"000001", "000002", "000003", "000300"};
  static const char *const kMarket1[] = {"399001", "399002", "399003", "399005", "399006"};
  if (market == 0) {
    for (const char *c : kMarket0)
      if (std::strcmp(code, c) == 0) return 1;
  } else if (market == 1) {
    for (const char *c : kMarket1)
      if (std::strcmp(code, c) == 0) return 1;
  }
  return 0;
}

int IsIndexStock(int market, const char *code) {
  if (market != 0 && market != 1) return 0;
  const STKINFO *e = FindStockInMarket(code, market);
  return e && e->kind == 0;
}

// ---- Market lists --------------------------------------------------------

int RegisterFuturesMarket(int market) {
  return RegisterIn(MarketTable.futuresMarkets, &MarketTable.futuresCount, market);
}
int GetFuturesMarketCount() { return MarketTable.futuresCount; }
int GetFuturesMarketAt(int i) { return ListAt(MarketTable.futuresMarkets, MarketTable.futuresCount, i); }

int RegisterExtraCodeAskMarket(int market) {
  return RegisterIn(MarketTable.extraCodeAskMarkets, &MarketTable.extraCodeAskCount, market);
}
int GetExtraCodeAskMarketCount() { return MarketTable.extraCodeAskCount; }
int GetExtraCodeAskMarketAt(int i) {
  return ListAt(MarketTable.extraCodeAskMarkets, MarketTable.extraCodeAskCount, i);
}
