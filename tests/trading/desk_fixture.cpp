#include "tests/trading/desk_fixture.h"

#include <cstring>
#include <filesystem>
#include <sstream>

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;

namespace trading_test {

DeskTest::DeskTest() : clock_(market_fixture::UtcAt(2024, 1, 15, 2, 0)) {
  UpdateCurrentUtcTime();
  MKINFO sh = MakeMarket("SH", "shd", 1, 4);
  AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
  MKINFO dl = MakeMarket("DL", "dlf", 2, 4);
  AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
  MKINFO dn = MakeMarket("DN", "dnf", 2, 4);
  AddKind(dn, "期货", {{1260, 1380}}, 1200, 1440);
  box_.WriteMarketInfo({sh, dl, dn});
  box_.WriteTable(sh, "nametbl", std::vector<STKINFO>{MakeStock(0, 0, "600000", "浦发")});
  box_.WriteTable(dl, "nametbl",
                  std::vector<STKINFO>{MakeStock(1, 0, "M01", "豆粕"), MakeStock(1, 0, "CU05", "a沪铜"),
                                       MakeStock(1, 0, "SR05", "白糖 05")});
  box_.WriteTable(dl, "nametble",
                  std::vector<STKINFOEX>{MakeStockEx("M2401"), MakeStockEx("CU2405"), MakeStockEx("SR405")});
  box_.WriteTable(dn, "nametbl", std::vector<STKINFO>{MakeStock(2, 0, "M01", "夜豆粕")});
  box_.WriteTable(dn, "nametble", std::vector<STKINFOEX>{MakeStockEx("M2401")});
  box_.WriteText("cfg/MktMerge.ini", "[Combo1]\nMarketNumber=2\nMarket1ID=1\nMarket1Time=480\nMarket2ID=2\nMarket2Time=1260\n");
  io_ = std::make_unique<TDataIO>(nullptr);
  CMarketMerger::Instance()->LoadDefault();
  std::filesystem::create_directories(box_.Path("user/880001"));
  desk_.SetAccount("880001");
  desk_.serverMinute = [] { return 2 * 60; };  // 10:00 at the exchange
}

DeskTest::~DeskTest() { CMarketMerger::FreeInstance(); }

std::vector<std::string> DeskTest::TradeLogRecords(const std::string &name) const {
  std::vector<std::string> records;
  std::istringstream in(box_.Read("user/880001/tradelog/" + name));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find('|');
    records.push_back(line.substr(line.find('|', first + 1) + 1));
  }
  return records;
}

CContractInfo DeskTest::Contract(const char *code, STKPTR stock) {
  CContractInfo c{};
  strncpy(c.InstrumentID, code, 7);
  c.Stock = stock;
  c.DefaultOpenVolume = 1;
  return c;
}

}  // namespace trading_test
