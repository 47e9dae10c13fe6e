// The lists over a busy day: the order list rebuilt from 2,000 orders; the
// trade list of 5,000 trades summed by contract against the same trades
// one row each (the yardstick, same run); and the profit columns of one
// quote rewritten on a page of 50 positions, two of them of that contract.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testing/futures_desk.h"
#include "testing/market_fixture_min.h"
#include "trading/deskdata.h"
#include "trading/deskui.h"
#include "trading/listcommands.h"
#include "trading/listrows.h"
#include "trading/orderbook.h"
#include "trading/pluginapi.h"
#include "trading/positions.h"

namespace {

constexpr int kListContracts = 50;

struct ListWorld : FuturesDeskWorld {
  std::unique_ptr<TOrderBook> book;
  std::unique_ptr<TPositionBook> positions;

  ListWorld() : FuturesDeskWorld(kListContracts) {
    book = std::make_unique<TOrderBook>(data, host);
    positions = std::make_unique<TPositionBook>(data);
  }
  void Orders(int count) {
    for (int i = 0; i < count; ++i) {
      CKivoOrderField o{};
      snprintf(o.OrderRef, sizeof o.OrderRef, "%i", i + 1);
      strcpy(o.InstrumentID, codes[size_t(i % kListContracts)].c_str());
      o.Direction = i % 2 ? '1' : '0';
      o.OffsetFlag = i % 3 ? '0' : '1';
      o.HedgeFlag = '1';
      o.VolumeTotal = 5;
      o.VolumeTraded = i % 4 == 0 ? 1 : 5;
      o.OrderStatus[0] = '3';
      o.OrderStatus[1] = i % 4 == 0 ? '1' : '0';
      o.LimitPrice = 3500 + i % 17;
      o.PriceType = '2';
      strcpy(o.InsertTime, "09:30:00");
      strcpy(o.CancelText120, "1");
      data.orders.Add(o);
    }
  }
  void Trades(int count) {
    for (int i = 0; i < count; ++i) {
      Trade_Lite t{};
      strcpy(t.InstrumentID, codes[size_t(i % kListContracts)].c_str());
      snprintf(t.OrderRef, sizeof t.OrderRef, "%i", i / 3 + 1);
      t.Direction = i % 2 ? '1' : '0';
      t.OffsetFlag = i % 3 ? '0' : '1';
      t.HedgeFlag = '1';
      const unsigned second = unsigned(i) % 21600;
      snprintf(t.TradeTime, sizeof t.TradeTime, "%02u:%02u:%02u", 9 + second / 3600, second / 60 % 60, second % 60);
      t.Price = 3500 + i % 11;
      t.Volume = 1 + i % 3;
      data.trades.Add(t);
    }
  }
};

void BM_OrderListRebuild2000(benchmark::State &state) {
  ListWorld world;
  world.Orders(2000);
  int tag = 10;
  for (auto _ : state) OnOrderRadioClick(*world.book, world.data, 12, tag);
  state.counters["rows"] = double(world.book->lists.orderRows.rows.size());
}
BENCHMARK(BM_OrderListRebuild2000)->Unit(benchmark::kMillisecond);

void TradeListMode(benchmark::State &state, TTradeListMode mode) {
  ListWorld world;
  world.Trades(5000);
  world.book->lists.tradeMode = mode;
  for (auto _ : state) OnTradeRadioClick(*world.book, world.data);
  state.counters["rows"] = double(world.book->lists.tradeRows.rows.size());
}
// The yardstick: one row per trade.
void BM_TradeListDetail5000(benchmark::State &state) { TradeListMode(state, TTradeListMode::Detail); }
BENCHMARK(BM_TradeListDetail5000)->Unit(benchmark::kMillisecond);
void BM_TradeListByContract5000(benchmark::State &state) { TradeListMode(state, TTradeListMode::ByContract); }
BENCHMARK(BM_TradeListByContract5000)->Unit(benchmark::kMillisecond);

void BM_QuoteProfitRefresh50Positions(benchmark::State &state) {
  ListWorld world;
  // 50 positions on the page: 48 of other contracts, a long and a short of
  // the quoted one.
  for (int i = 0; i < 50; ++i) {
    InvestorPosition_Lite p{};
    const int contract = i < 48 ? i + 2 : 0;
    strcpy(p.InstrumentID, world.codes[size_t(contract)].c_str());
    p.PosiDirection = i == 49 ? '3' : '2';
    p.HedgeFlag = '1';
    p.Volume = 3;
    p.OpenAverage = p.HoldingAverage = 3490;
    p.Stock = STKPTR(1, 0, contract);
    world.data.positions.Add(p);
  }
  world.positions->FillPositionList();
  int rewritten = 0;
  for (auto _ : state) rewritten = RefreshQuoteProfits(*world.positions, world.data.positions, STKPTR(1, 0, 0));
  state.counters["rows"] = rewritten;
}
BENCHMARK(BM_QuoteProfitRefresh50Positions)->Unit(benchmark::kMicrosecond);

}  // namespace
