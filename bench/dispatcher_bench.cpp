// The dispatcher's share of a login: a recorded stream of 2,000 contracts,
// 2,000 orders, 1,000 trades, 200 positions and 3 banks replayed into a
// fresh desk ("Contract.dat" written and read back included); one contract
// record against appending 72 bytes to an open file in the same run; and
// a code the terminal ignores.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/merger.h"
#include "testing/futures_desk.h"
#include "platform/fileapi.h"
#include "plugin/tradeapi.h"
#include "testing/desk_ui_recorder.h"
#include "testing/market_fixture_min.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/pluginapi.h"
#include "trading/tradedesk.h"

using namespace tb;

namespace {

constexpr int kContracts = 2000;

void FreeBlock(void *block) { delete[] static_cast<char *>(block); }
int Asked() { return 0; }
int AskedWait(int) { return 0; }
int AskedTrades(char *, char *, int) { return 0; }
int AskedLimit(char *, char *) { return 0; }
int Version() { return kInterfaceVersion; }
void Investor(char *, char *id, char *) {
  if (id) strcpy(id, "880001");
}
void Finalize() {}
int TradeDate(char *out) {
  strcpy(out, "20240115");
  return 0;
}

// A futures market of 2,000 contracts and a desk over it.
struct ReplayWorld {
  market_fixture::MarketSandbox box;
  std::unique_ptr<TDataIO> io;
  TTradeDesk data;
  DeskUiRecorder ui;
  DeskHostRecorder host;
  std::unique_ptr<TTradingDesk> desk;
  std::unique_ptr<TTradeDispatcher> dispatcher;
  std::vector<std::string> codes;

  ReplayWorld() {
    // Market 0 is never a futures market.
    codes = WriteFuturesWorld(box, kContracts);
    io = std::make_unique<TDataIO>(nullptr);
    CMarketMerger::Instance()->LoadDefault();
    std::filesystem::create_directories(box.Path("user/880001"));
    data.SetAccount("880001");
    data.serverMinute = [] { return 120; };
    TradePlugin = TradePluginApi{};
    TradePlugin.GetTraderDllVersion = Version;
    TradePlugin.TraderDllFree = FreeBlock;
    TradePlugin.GetInvestor = Investor;
    TradePlugin.TradeFinalize = Finalize;
    TradePlugin.GetTradeDate = TradeDate;
    TradePlugin.QueryOrder = AskedWait;
    TradePlugin.QueryTrade = AskedTrades;
    TradePlugin.QueryInvestorPosition = AskedWait;
    TradePlugin.QueryBank = Asked;
    TradePlugin.QueryFutureToBankLimit = AskedLimit;
    desk = std::make_unique<TTradingDesk>(data, host, ui);
    dispatcher = std::make_unique<TTradeDispatcher>(*desk, host);
  }
  ~ReplayWorld() {
    dispatcher.reset();
    TradePlugin = TradePluginApi{};
    CMarketMerger::FreeInstance();
  }

  template <class T>
  void Record(uint32_t code, const T &record) {
    char *block = new char[kResultBlockSize]();
    memcpy(block, &record, sizeof record);
    dispatcher->HandleTradeNotify(code, LPARAM(block));
  }

  // The chain from the contract list to the armed trading page.
  void Replay() {
    desk->pageState = kPageLogin;
    dispatcher->contracts.Begin();
    for (const std::string &code : codes) {
      TB_CONTRACT c{};
      memcpy(c.InstrumentID, code.c_str(), code.size());
      c.Valid = 1;
      c.Attribute = 10;
      c.PriceTick = 1;
      Record(TN_CONTRACT, c);
    }
    dispatcher->HandleTradeNotify(TN_CONTRACT, 0);
    for (int i = 0; i < 2000; ++i) {
      CKivoOrderField o{};
      memcpy(o.InstrumentID, codes[size_t(i)].c_str(), 5);
      Record(TN_ORDERS, o);
    }
    dispatcher->HandleTradeNotify(TN_ORDERS, 0);
    for (int i = 0; i < 1000; ++i) {
      TB_TRADE t{};
      memcpy(t.InstrumentID, codes[size_t(i)].c_str(), 5);
      Record(TN_TRADES, t);
    }
    dispatcher->HandleTradeNotify(TN_TRADES, 0);
    for (int i = 0; i < 200; ++i) {
      TB_POSITION p{};
      memcpy(p.InstrumentID, codes[size_t(i)].c_str(), 5);
      p.PosiDirection = '2';
      Record(TN_POSITIONS, p);
    }
    dispatcher->HandleTradeNotify(TN_POSITIONS, 0);
    for (int i = 0; i < 3; ++i) {
      CKivoTransferBankField bank{};
      bank.BankID[0] = char('1' + i);
      Record(TN_BANKS, bank);
    }
    dispatcher->HandleTradeNotify(TN_BANKS, 0);
    Record(TN_WITHDRAW_LIMIT, int32_t(0));
  }
};

void BM_DeskShareOfALogin(benchmark::State &state) {
  ReplayWorld world;
  for (auto _ : state) {
    world.Replay();
    if (world.desk->pageState != kPageTrading || world.data.contractCount != kContracts)
      return state.SkipWithError(("the chain ended on page " + std::to_string(world.desk->pageState) + ": " +
                                  world.desk->login.message).c_str());
  }
  state.SetLabel("2000 contracts, 2000 orders, 1000 trades, 200 positions, 3 banks");
}
BENCHMARK(BM_DeskShareOfALogin)->Unit(benchmark::kMillisecond);

void BM_OneContractRecord(benchmark::State &state) {
  ReplayWorld world;
  world.desk->pageState = kPageLogin;
  world.dispatcher->contracts.Begin();
  TB_CONTRACT c{};
  memcpy(c.InstrumentID, "C0001", 5);
  c.Valid = 1;
  int n = 0;
  for (auto _ : state) {
    world.Record(TN_CONTRACT, c);
    if (++n == 100000) {
      state.PauseTiming();
      world.dispatcher->contracts.Begin();
      n = 0;
      state.ResumeTiming();
    }
  }
  world.dispatcher->contracts.Abandon();
}
BENCHMARK(BM_OneContractRecord);

void BM_Append72BytesToAnOpenFile(benchmark::State &state) {
  market_fixture::MarketSandbox box;
  HANDLE f = CreateFileA("append.bin", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  const uint8_t bytes[72] = {};
  int n = 0;
  for (auto _ : state) {
    DWORD written;
    WriteFile(f, bytes, sizeof bytes, &written, nullptr);
    if (++n == 100000) {
      state.PauseTiming();
      SetFilePointer(f, 0, nullptr, FILE_BEGIN);
      SetEndOfFile(f);
      n = 0;
      state.ResumeTiming();
    }
  }
  CloseHandle(f);
}
BENCHMARK(BM_Append72BytesToAnOpenFile);

void BM_IgnoredCode(benchmark::State &state) {
  ReplayWorld world;
  static char quote[kResultBlockSize];
  for (auto _ : state) benchmark::DoNotOptimize(world.dispatcher->HandleTradeNotify(TN_QUOTE, LPARAM(quote)));
}
BENCHMARK(BM_IgnoredCode);

}  // namespace
