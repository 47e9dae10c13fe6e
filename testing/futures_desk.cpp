#include "testing/futures_desk.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "market/dataio5.h"
#include "market/merger.h"
#include "trading/pluginapi.h"

std::vector<std::string> WriteFuturesWorld(market_fixture::MarketSandbox &box, int count) {
  MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 4);
  market_fixture::AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
  MKINFO dl = market_fixture::MakeMarket("DL", "dlf", 2, count);
  market_fixture::AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
  box.WriteMarketInfo({sh, dl});
  box.WriteTable(sh, "nametbl", std::vector<STKINFO>{market_fixture::MakeStock(0, 0, "600000", "浦发")});
  std::vector<std::string> codes;
  std::vector<STKINFO> stocks;
  std::vector<STKINFOEX> extended;
  for (int i = 0; i < count; ++i) {
    char code[16];
    snprintf(code, sizeof code, "C%04d", i);
    codes.push_back(code);
    stocks.push_back(market_fixture::MakeStock(1, 0, code, "合约"));
    extended.push_back(market_fixture::MakeStockEx(code));
  }
  box.WriteTable(dl, "nametbl", stocks);
  box.WriteTable(dl, "nametble", extended);
  return codes;
}

FuturesDeskWorld::FuturesDeskWorld(int count) {
  TradePlugin = TradePluginApi{};
  std::filesystem::create_directories(box.Path("user/880001"));
  data.SetAccount("880001");
  if (count <= 0) return;
  codes = WriteFuturesWorld(box, count);
  std::vector<CContractInfo> table;
  for (int i = 0; i < count; ++i) {
    CContractInfo c{};
    strcpy(c.InstrumentID, codes[size_t(i)].c_str());
    strcpy(c.ExchangeID, "DCE");
    c.PriceTick = 1;
    c.VolumeMultiple = 10;
    c.Stock = STKPTR(1, 0, i);
    table.push_back(c);
  }
  io = std::make_unique<TDataIO>(nullptr);
  CMarketMerger::Instance()->LoadDefault();
  data.SetContracts(table.data(), int32_t(table.size()));
  for (int i = 0; i < count; ++i) MarketAt(1)->m_quotes[i].last = 3500000;
}

FuturesDeskWorld::~FuturesDeskWorld() {
  data.positions.RemoveAll();
  data.stopStore = nullptr;
  TradePlugin = TradePluginApi{};
  if (io) CMarketMerger::FreeInstance();
}
