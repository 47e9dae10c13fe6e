#include "testing/market_fixture_min.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"

namespace market_fixture {

namespace {

void ResetTables() {
  for (TMarketData *&m : MarketTable.markets) {
    delete m;
    m = nullptr;
  }
  std::memset(static_cast<void *>(&MarketTable), 0, sizeof MarketTable);
  std::memset(&TradingCalendar, 0, sizeof TradingCalendar);
  std::memset(&TimeZoneTable, 0, sizeof TimeZoneTable);
  MarketServices() = MarketTableServices{};
}

}  // namespace

MarketSandbox::MarketSandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kivo-market-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  Enter();
}

MarketSandbox::MarketSandbox(const std::string &keptRoot) : root_(keptRoot), kept_(true) { Enter(); }

void MarketSandbox::Enter() {
  for (const char *folder : {"prog", "cfg", "data", "user"})
    std::filesystem::create_directories(std::filesystem::path(root_) / folder);
  previousFolder_ = std::filesystem::current_path().string();
  std::filesystem::current_path(std::filesystem::path(root_) / "prog");
  previousUserPath_ = UserDataPath;
  std::string user = root_ + "/user/";
  for (char &c : user)
    if (c == '/') c = '\\';
  std::snprintf(UserDataPath, sizeof UserDataPath, "%s", user.c_str());
  ResetTables();
}

MarketSandbox::~MarketSandbox() {
  ResetTables();
  std::snprintf(UserDataPath, sizeof UserDataPath, "%s", previousUserPath_.c_str());
  std::error_code ignored;
  std::filesystem::current_path(previousFolder_, ignored);
  if (!kept_) std::filesystem::remove_all(root_, ignored);
}

std::string MarketSandbox::Path(const std::string &relative) const { return root_ + "/" + relative; }

void MarketSandbox::Write(const std::string &relative, const void *bytes, size_t length) const {
  std::filesystem::path path = Path(relative);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char *>(bytes), std::streamsize(length));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void MarketSandbox::WriteText(const std::string &relative, const std::string &text) const {
  Write(relative, text.data(), text.size());
}

std::string MarketSandbox::Read(const std::string &relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool MarketSandbox::Exists(const std::string &relative) const { return std::filesystem::exists(Path(relative)); }

void MarketSandbox::WriteMarketInfo(const std::vector<MKINFO> &markets) const {
  Write("cfg/mkinfo.cfg", markets.data(), markets.size() * sizeof(MKINFO));
}

std::string MarketSandbox::Table(const MKINFO &market, const std::string &base) const {
  return std::string("data/") + market.shortName + "/" + base + "." + market.extension;
}

MKINFO MakeMarket(const char *shortName, const char *extension, uint8_t type, uint16_t stockCount,
                  int16_t hourOffset, uint8_t calendarKey) {
  MKINFO m;
  std::memset(&m, 0, sizeof m);
  m.calendarKey = calendarKey;
  m.type = type;
  std::snprintf(m.name, sizeof m.name, "%s", shortName);
  std::snprintf(m.shortName, sizeof m.shortName, "%s", shortName);
  std::snprintf(m.extension, sizeof m.extension, "%s", extension);
  m.hourOffset = hourOffset;
  m.stockCount = stockCount;
  return m;
}

void AddKind(MKINFO &market, const char *name, std::initializer_list<std::pair<int, int>> sessions,
             int dayStart, int dayEnd) {
  AddKind(market, name, std::vector<std::pair<int, int>>(sessions), dayStart, dayEnd);
}

void AddKind(MKINFO &market, const char *name, const std::vector<std::pair<int, int>> &sessions, int dayStart,
             int dayEnd) {
  if (market.kindCount >= kMaxStockKinds) throw std::logic_error("too many kinds");
  MKKINDINFO &k = market.kinds[market.kindCount++];
  std::memcpy(k.name, name, strnlen(name, sizeof k.name));
  int i = 0;
  for (auto [open, close] : sessions) {
    if (i == kMaxSessions) break;
    k.open[i] = uint16_t(open);
    k.close[i] = uint16_t(close);
    ++i;
  }
  k.sessionCount = uint8_t(i);
  k.dayStart = uint16_t(dayStart);
  k.dayEnd = uint16_t(dayEnd);
}

STKINFO MakeStock(int market, int kind, const char *code, const char *name, uint32_t priceDivisor) {
  STKINFO s;
  std::memset(&s, 0, sizeof s);
  s.market = uint8_t(market);
  s.kind = uint8_t(kind);
  std::memcpy(s.code, code, strnlen(code, sizeof s.code));
  std::memcpy(s.name, name, strnlen(name, sizeof s.name));
  s.priceDivisor = priceDivisor;
  s.volumeUnit = 1;
  s.decimals = 2;
  return s;
}

STKINFOEX MakeStockEx(const char *code) {
  STKINFOEX e;
  std::memset(&e, 0, sizeof e);
  std::memcpy(e.code, code, strnlen(code, sizeof e.code));
  return e;
}

SYSTEMTIME UtcAt(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  return t;
}

}  // namespace market_fixture
