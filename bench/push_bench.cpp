// The push client's hot path: pushed quote items applied to the market
// table, each handed to the main window with a sent WM_MF_EVENT, as a busy
// market delivers them: full bodies of 68 items spread over 8,000
// instruments, prices and volumes moving from one body to the next.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/realclient.h"
#include "market/utildata.h"
#include "platform/winuser.h"
#include "testing/market_fixture_min.h"
#include "testing/quote_double_push.h"

namespace {

constexpr int kMarkets = 4;
constexpr int kStocks = 2000;
constexpr int kItemsPerBody = 68;
constexpr int kBodies = 64;

std::string Code(int market, int stock) {
  char code[16];
  std::snprintf(code, sizeof code, "P%c%04d", 'A' + market, stock);
  return code;
}

// The main window's side of the fan-out: it reads the slot, as every
// handler does.
uint64_t g_seen = 0;
LRESULT FanOutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MF_EVENT) {
    const auto *slot = reinterpret_cast<const MFEVENTSLOT *>(lParam);
    g_seen += slot->stock ^ slot->flags;
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A market table of four markets (stock-like, futures, foreign exchange
// and one more stock-like) in a scratch folder, the main window, and the
// bodies, for as long as one benchmark runs.
struct PushSetup {
  market_fixture::MarketSandbox box;
  std::unique_ptr<TDataIO> io;
  HWND main = nullptr;
  std::vector<std::vector<uint8_t>> bodies;

  PushSetup() {
    UpdateCurrentUtcTime();
    ResetPushState();
    std::vector<MKINFO> markets;
    const uint8_t types[kMarkets] = {1, 2, 4, 1};
    for (int m = 0; m < kMarkets; ++m) {
      char name[16];
      std::snprintf(name, sizeof name, "PM%d", m);
      MKINFO info = market_fixture::MakeMarket(name, "dat", types[m], kStocks);
      market_fixture::AddKind(info, "index", {{570, 690}, {780, 900}}, 540, 960);
      market_fixture::AddKind(info, "main", {{0, 150}, {720, 825}, {870, 990}}, 0, 1080);
      info.kinds[0].noOrderBook = 1;
      markets.push_back(info);
      std::vector<STKINFO> stocks;
      for (int i = 0; i < kStocks; ++i) stocks.push_back(market_fixture::MakeStock(m, i % 10 == 0 ? 0 : 1,
                                                                                 Code(m, i).c_str(), "name"));
      box.WriteTable(info, "nametbl", stocks);
      box.WriteTable(info, "real", std::vector<REALQUOTE>(kStocks));
      if (types[m] == 2) box.WriteTable(info, "nametble", std::vector<STKINFOEX>(kStocks));
      if (m < 2) box.WriteTable(info, "Finance", std::vector<FINANCE>(kStocks));
    }
    box.WriteMarketInfo(markets);
    io = std::make_unique<TDataIO>(nullptr);

    WNDCLASSA wc{};
    wc.lpfnWndProc = &FanOutProc;
    wc.lpszClassName = "KivoPushBench";
    RegisterClassA(&wc);
    main = CreateWindowExA(0, "KivoPushBench", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    QuoteClientHooks().mainWindow = main;

    std::mt19937 random(7);
    for (int b = 0; b < kBodies; ++b) {
      std::vector<QuotePushDouble::Item> items;
      for (int i = 0; i < kItemsPerBody; ++i) {
        const int market = int(random() % kMarkets);
        const int stock = int(random() % kStocks);
        REALQUOTE q{};
        q.last = 10000 + random() % 40;
        q.high = 10040;
        q.low = 10000;
        q.volume = float(1000 + b * 10 + int(random() % 10));
        q.amount = q.volume * 10.0f;
        q.lastVolume = float(random() % 10);
        for (int level = 0; level < 5; ++level) {
          q.bid[level] = QUOTELEVEL{q.last - 1 - uint32_t(level), float(random() % 100)};
          q.ask[level] = QUOTELEVEL{q.last + 1 + uint32_t(level), float(random() % 100)};
        }
        items.push_back(QuotePushDouble::QuoteItem(market, stock, Code(market, stock), q));
      }
      bodies.push_back(QuotePushDouble::ItemsBody(items));
    }
  }
  ~PushSetup() {
    QuoteClientHooks().mainWindow = nullptr;
    DestroyWindow(main);
  }
};

void BM_PushQuotesApplied(benchmark::State &state) {
  PushSetup setup;
  TRealDataClnt client;
  int b = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> &body = setup.bodies[size_t(b)];
    benchmark::DoNotOptimize(client.DispatchPush(FRAME_PUSH_QUOTES, body.data(), int(body.size())));
    if (++b == kBodies) b = 0;
  }
  state.SetItemsProcessed(state.iterations() * kItemsPerBody);
  benchmark::DoNotOptimize(g_seen);
}
BENCHMARK(BM_PushQuotesApplied);

// The same through the whole reading chain: frames cut from the byte
// stream, bodies decoded when compressed, then applied.
void BM_PushFramesRead(benchmark::State &state) {
  PushSetup setup;
  TRealDataClnt client;
  const auto compression = QuotePushDouble::Compression(state.range(0));
  std::vector<std::vector<uint8_t>> frames;
  for (const auto &body : setup.bodies)
    frames.push_back(QuotePushDouble::MakeFrame(FRAME_PUSH_QUOTES, body, compression));
  int b = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> &frame = frames[size_t(b)];
    if (!client.TakeReceived(frame.data(), int(frame.size()))) state.SkipWithError("a frame was refused");
    if (++b == kBodies) b = 0;
  }
  state.SetItemsProcessed(state.iterations() * kItemsPerBody);
}
BENCHMARK(BM_PushFramesRead)
    ->Arg(int(QuotePushDouble::Compression::kNone))
    ->Arg(int(QuotePushDouble::Compression::kLzw))
    ->Arg(int(QuotePushDouble::Compression::kZlib));

}  // namespace
