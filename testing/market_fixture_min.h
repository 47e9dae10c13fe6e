// A small market fixture for tests and benchmarks: a scratch folder laid
// out as the program expects it (program folder, "..\cfg", "..\data" and a
// per-user folder), and builders of the market description, name-table,
// quote and finance files the market table loads.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "market/marketrecords.h"

namespace market_fixture {

// While it lives the current folder is <root>/prog and UserDataPath is
// "<root>\user\"; the market table, the calendar tables and the zone table
// start empty and are emptied again (markets freed) when it goes. The
// destructor puts the previous folder and user path back and deletes the
// scratch folder.
class MarketSandbox {
 public:
  MarketSandbox();
  // The same layout in a folder the caller names and keeps: it is made if
  // missing and left as it is at the end (for a program run twice on the
  // same files).
  explicit MarketSandbox(const std::string &keptRoot);
  ~MarketSandbox();
  MarketSandbox(const MarketSandbox &) = delete;
  MarketSandbox &operator=(const MarketSandbox &) = delete;

  // POSIX path of a file below the scratch root ("cfg/mkinfo.cfg").
  std::string Path(const std::string &relative) const;
  // Writes bytes, creating the folders on the way.
  void Write(const std::string &relative, const void *bytes, size_t length) const;
  void WriteText(const std::string &relative, const std::string &text) const;
  std::string Read(const std::string &relative) const;
  bool Exists(const std::string &relative) const;

  // cfg/mkinfo.cfg from the records, in order.
  void WriteMarketInfo(const std::vector<MKINFO> &markets) const;
  // data/<short>/<base>.<ext> of a market, e.g. Table(m, "nametbl").
  std::string Table(const MKINFO &market, const std::string &base) const;
  template <class T>
  void WriteTable(const MKINFO &market, const std::string &base, const std::vector<T> &records) const {
    Write(Table(market, base), records.data(), records.size() * sizeof(T));
  }

  const std::string &Root() const { return root_; }

 private:
  void Enter();
  std::string root_;
  std::string previousFolder_;
  std::string previousUserPath_;
  bool kept_ = false;
};

// A market description with no kinds yet.
MKINFO MakeMarket(const char *shortName, const char *extension, uint8_t type, uint16_t stockCount,
                  int16_t hourOffset = 8, uint8_t calendarKey = 0);
// Appends a kind with its sessions ({open, close} minutes) and day window.
void AddKind(MKINFO &market, const char *name, std::initializer_list<std::pair<int, int>> sessions,
             int dayStart, int dayEnd);
void AddKind(MKINFO &market, const char *name, const std::vector<std::pair<int, int>> &sessions, int dayStart,
             int dayEnd);
STKINFO MakeStock(int market, int kind, const char *code, const char *name, uint32_t priceDivisor = 1000);
STKINFOEX MakeStockEx(const char *code);
// A UTC time to the minute (seconds and milliseconds zero).
SYSTEMTIME UtcAt(WORD year, WORD month, WORD day, WORD hour, WORD minute);

}  // namespace market_fixture
