// The order and trade returns over a desk of 2,000 orders and 200
// positions with nothing behind the lists: an order-state return, a fill
// with its trade and position update, the frozen-volume recount against
// one pass reading the orders' volumes, and the end of a 200-position list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "testing/futures_desk.h"
#include "testing/market_fixture_min.h"
#include "trading/deskdata.h"
#include "trading/deskui.h"
#include "trading/orderbook.h"
#include "trading/pluginapi.h"
#include "trading/positions.h"
#include "testing/stopstore_standin.h"

namespace {

constexpr int kContracts = 200;
constexpr int kOrders = 2000;

int NoCloseToday(char *) { return 0; }

struct BookWorld : FuturesDeskWorld {
  TStopStoreStandIn stops;
  std::unique_ptr<TOrderBook> book;
  std::unique_ptr<TPositionBook> positions;

  BookWorld() : FuturesDeskWorld(kContracts) {
    data.stopStore = &stops;
    TradePlugin.ProcessCloseToday = NoCloseToday;
    book = std::make_unique<TOrderBook>(data, host);
    positions = std::make_unique<TPositionBook>(data);
    book->positions = positions.get();
    // Every fourth order is a resting close.
    for (int i = 0; i < kOrders; ++i) {
      CKivoOrderField o{};
      snprintf(o.OrderRef, sizeof o.OrderRef, "%i", i + 1);
      strcpy(o.InstrumentID, codes[size_t(i % kContracts)].c_str());
      o.Direction = '1';
      o.OffsetFlag = i % 4 == 0 ? '1' : '0';
      o.HedgeFlag = '1';
      o.VolumeTotal = 5;
      o.VolumeTraded = i % 4 == 0 ? 1 : 5;
      o.OrderStatus[0] = '3';
      o.OrderStatus[1] = i % 4 == 0 ? '1' : '0';
      o.LimitPrice = 3500;
      o.PriceType = '2';
      strcpy(o.InsertTime, "09:30:00");
      strcpy(o.CancelText120, "1");
      book->AddOrder(o);
    }
    book->SortOrders();
    ListPositions();
  }
  // The positions go while the stop store they may reach is still here.
  ~BookWorld() {
    data.positions.RemoveAll();
    data.stopStore = nullptr;
  }
  void ListPositions() {
    data.positions.RemoveAll();
    for (int i = kContracts - 1; i >= 0; --i) {
      TB_POSITION p{};
      strcpy(p.InstrumentID, codes[size_t(i)].c_str());
      p.PosiDirection = '2';
      p.HedgeFlag = '1';
      p.Volume = 100;
      p.OpenAmount = p.HoldingAmount = 3500;
      positions->PositionListRecord(p, 120);
    }
  }
};

void BM_OrderStateReturn(benchmark::State &state) {
  BookWorld world;
  CKivoOrderField r = world.data.orders.GetData()[kOrders / 2];
  for (auto _ : state) {
    r.OrderStatus[0] = r.OrderStatus[0] == '3' ? '1' : '3';
    world.book->OrderReturn(&r);
  }
}
BENCHMARK(BM_OrderStateReturn);

void BM_FillReturnWithTradeAndPosition(benchmark::State &state) {
  BookWorld world;
  CKivoOrderField fill{};
  strcpy(fill.OrderRef, "6");  // an opening order
  strcpy(fill.InstrumentID, world.codes[5].c_str());
  fill.Direction = '1';
  fill.OffsetFlag = '0';  // a sell opening: a short position beside the listed long
  fill.HedgeFlag = '1';
  fill.OrderStatus[0] = '3';
  fill.OrderStatus[1] = '0';
  fill.LimitPrice = 3500;
  fill.PriceType = '2';
  fill.VolumeTraded = 1;
  strcpy(fill.InsertTime, "10:00:00");
  int64_t n = 0;
  for (auto _ : state) {
    if (++n % 1000 == 0) {
      state.PauseTiming();
      world.data.trades.RemoveAll();
      state.ResumeTiming();
    }
    world.book->OrderReturn(&fill);
  }
}
BENCHMARK(BM_FillReturnWithTradeAndPosition);

void BM_RecountFrozenVolumes(benchmark::State &state) {
  BookWorld world;
  for (auto _ : state) world.positions->RecountFrozenVolumes();
}
BENCHMARK(BM_RecountFrozenVolumes);

// The yardstick of the recount: one pass reading every order's volumes.
void BM_ReadOrderVolumes(benchmark::State &state) {
  BookWorld world;
  for (auto _ : state) {
    int64_t sum = 0;
    const CKivoOrderField *o = world.data.orders.GetData();
    for (int32_t k = 0; k < world.data.orders.GetCount(); ++k) sum += o[k].VolumeTotal - o[k].VolumeTraded;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ReadOrderVolumes);

void BM_PositionListEnd200(benchmark::State &state) {
  BookWorld world;
  for (auto _ : state) world.positions->PositionListEnd(20240115);
}
BENCHMARK(BM_PositionListEnd200);

}  // namespace
