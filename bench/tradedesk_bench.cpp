// The trading desk's hot spots: one trade-log record through the logger
// stand-in, the stop snapshot of a full book, the contract look-up against
// a plain hash-map look-up in the same run, and loading the options.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/netutil.h"
#include "market/utildata.h"
#include "testing/market_fixture_min.h"
#include "trading/deskdata.h"
#include "trading/tradelog.h"
#include "trading/tradingoptions.h"

namespace {

// A desk of account 880001 in a scratch folder, with its daily log open.
struct LoggedDesk {
  market_fixture::MarketSandbox box;
  TTradeDesk desk;
  bool ok = false;
  LoggedDesk() {
    desk.SetAccount("880001");
    ok = BindLoggerLibrary() == 1 && OpenTradeLog(desk, 20240115) == 1;
  }
  ~LoggedDesk() { CloseTradeLog(desk); }
};

void BM_WriteTradeLog60Bytes(benchmark::State &state) {
  LoggedDesk logged;
  if (!logged.ok) return state.SkipWithError("no logger");
  const std::string text = "M2401|0|0|1|3050.000|1|手动|" + std::string(60 - 32, 'x');
  for (auto _ : state) benchmark::DoNotOptimize(WriteTradeLog(logged.desk, TLOG_ORDER_REQUEST, text.c_str()));
}
BENCHMARK(BM_WriteTradeLog60Bytes);

// A book of 200 positions with 5 stop entries each.
struct StopBook {
  std::vector<StopOrder> entries = std::vector<StopOrder>(1000);
  std::vector<StopOrderPointer> holders = std::vector<StopOrderPointer>(200);
  void Fill(TTradeDesk &desk) {
    for (int p = 0; p < 200; ++p) {
      for (int e = 0; e < 5; ++e) {
        StopOrder &entry = entries[size_t(p * 5 + e)];
        entry = StopOrder{0, CTime32(), e + 1, e < 4 ? &entries[size_t(p * 5 + e + 1)] : nullptr, 3000.0 - e, 5, 3100, 0, 0, 0};
      }
      holders[size_t(p)] = StopOrderPointer{&entries[size_t(p * 5)], 1};
      InvestorPosition_Lite position{};
      char code[16];
      snprintf(code, sizeof code, "M%d", 2401 + p);
      memcpy(position.InstrumentID, code, strnlen(code, 7));
      position.PosiDirection = '2', position.HedgeFlag = '1', position.Stops = &holders[size_t(p)];
      desk.positions.Add(position);
    }
  }
};

void BM_LogStopSettings200x5(benchmark::State &state) {
  LoggedDesk logged;
  if (!logged.ok) return state.SkipWithError("no logger");
  StopBook book;
  book.Fill(logged.desk);
  for (auto _ : state) LogStopSettings(logged.desk);
}
BENCHMARK(BM_LogStopSettings200x5)->Unit(benchmark::kMicrosecond);

// The desk's own share of the same snapshot: a logger that takes each
// record without writing it anywhere.
void BM_LogStopSettings200x5NoDisk(benchmark::State &state) {
  market_fixture::MarketSandbox box;
  TTradeDesk desk;
  StopBook book;
  book.Fill(desk);
  const KvLoggerApi saved = KvLogger;
  KvLogger.Log = [](uint32_t, int, const char *text, int, int) { return int(text[0]); };
  desk.tradeLog = 1;
  for (auto _ : state) LogStopSettings(desk);
  desk.tradeLog = 0;
  KvLogger = saved;
}
BENCHMARK(BM_LogStopSettings200x5NoDisk)->Unit(benchmark::kMicrosecond);

std::vector<std::string> ContractCodes() {
  std::vector<std::string> codes;
  const char *products[] = {"CU", "AL", "ZN", "M", "Y", "P", "SR", "CF", "RB", "AU"};
  for (int i = 0; codes.size() < 2000; ++i) {
    char code[16];
    snprintf(code, sizeof code, "%s%d", products[i % 10], 1000 + i);
    codes.push_back(code);
  }
  return codes;
}

void BM_FindContract2000(benchmark::State &state) {
  market_fixture::MarketSandbox box;
  TTradeDesk desk;
  const std::vector<std::string> codes = ContractCodes();
  std::vector<CContractInfo> table(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) strncpy(table[i].InstrumentID, codes[i].c_str(), 7);
  desk.SetContracts(table.data(), int32_t(table.size()));
  std::vector<std::string> queries = codes;
  for (std::string &q : queries)
    for (char &c : q) c = char(tolower(c));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(desk.FindContract(queries[i].c_str()));
    i = (i + 7) % queries.size();
  }
}
BENCHMARK(BM_FindContract2000);

// The yardstick: one look-up in a hash map of the same codes.
void BM_HashMapLookup2000(benchmark::State &state) {
  const std::vector<std::string> codes = ContractCodes();
  std::unordered_map<std::string, int> map;
  for (size_t i = 0; i < codes.size(); ++i) map.emplace(codes[i], int(i));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(codes[i]));
    i = (i + 7) % codes.size();
  }
}
BENCHMARK(BM_HashMapLookup2000);

void BM_LoadTradingOptions60Keys(benchmark::State &state) {
  market_fixture::MarketSandbox box;
  TradingOptions written;
  std::filesystem::create_directories(box.Path("user/880001"));
  const std::string file = std::string(UserDataPath) + "880001\\Consign.ini";
  WriteTradingOptions(written, file.c_str());
  // Beside the options a file holds more: the window's keys and products.
  std::string extra = "[UI]\nPPercent=400000\nPPercentWidth=300000\nLeft=1\nLayOut1=2\nLayOut2=3\nOrderTag=10\n[DefVol]\n";
  for (int i = 0; i < 13; ++i) {
    char line[16];
    snprintf(line, sizeof line, "P%d=2\n", i);
    extra += line;
  }
  box.WriteText("user/880001/Consign.ini", extra + box.Read("user/880001/Consign.ini"));
  for (auto _ : state) {
    TradingOptions options;
    LoadTradingOptions(options, file.c_str(), "..\\cfg\\Consign.ini", 1);
    benchmark::DoNotOptimize(options);
  }
}
BENCHMARK(BM_LoadTradingOptions60Keys)->Unit(benchmark::kMicrosecond);

}  // namespace
