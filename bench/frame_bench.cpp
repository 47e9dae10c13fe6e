// The main window's hottest path, every pushed quote handed on to the
// views, the stop engine, the order panel, the alarms, the series agents,
// the index slots and the quote board; and the subscription recomputed from
// its eight sources.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/emem.h"
#include "market/blocks.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/rights.h"
#include "platform/winuser.h"
#include "classlib/forms.h"
#include "shell/alarm.h"
#include "shell/framecore.h"
#include "shell/keypreview.h"
#include "testing/market_fixture_min.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"
#include "testing/desk_ui_recorder.h"
#include "trading/deskautomation.h"
#include "trading/deskdata.h"
#include "trading/manualorder.h"
#include "trading/orderbook.h"
#include "trading/orderentry.h"
#include "trading/orderforms.h"
#include "trading/orderpanel.h"
#include "trading/tradedesk.h"
#include "trading/tradingwindow.h"
#include "market/merger.h"
#include "platform/winsock.h"
#include "testing/link_peer_double.h"
#include "trading/pttlink.h"

#include <filesystem>

// Allocations through operator new while counting is on.
namespace {
std::atomic<bool> g_countNew{false};
std::atomic<int64_t> g_newCalls{0};
int64_t g_heapCalls = 0;  // the system heap's, through its refusal hook
}  // namespace

void *operator new(std::size_t size) {
  if (g_countNew.load(std::memory_order_relaxed)) g_newCalls.fetch_add(1, std::memory_order_relaxed);
  if (void *p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The no-throw forms too (the standard library's temporary buffers use
// them), so that every delete above frees what malloc gave.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  if (g_countNew.load(std::memory_order_relaxed)) g_newCalls.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }

namespace {

constexpr int kStocks = 400;
constexpr int kFutures = 16;

LRESULT Quiet(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_AGENT_UPDATE) return 0;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND ChartWindow() {
  static HWND hwnd = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Quiet;
    wc.lpszClassName = "BenchFrameChart";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "BenchFrameChart", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }();
  return hwnd;
}

// A stock market of 400 instruments and a futures market of 16 contracts,
// the block table, every right, and a page of ten chart panes in a form
// that plays the main window.
struct World {
  testing_support::ViewHarness harness;
  market_fixture::MarketSandbox box;
  std::unique_ptr<TDataIO> io;
  std::unique_ptr<TBlockGroup> blocks;
  std::unique_ptr<TForm> main;
  TMultiViewMain *page = nullptr;
  TIndexSlot indices[3];
  int32_t board = 0;
  bool tickFirst = false;
  STKPTR orderStock;
  int32_t retry = 12;
  TFrameReceivers receivers;
  std::unique_ptr<TFrameCore> core;
  std::vector<int> stops, alarms;  // the stop and alarm lists: empty

  World() {
    using namespace market_fixture;
    MKINFO sh = MakeMarket("SH", "shd", 1, kStocks);
    AddKind(sh, "A", {{570, 690}, {780, 900}}, 540, 960);
    MKINFO qh = MakeMarket("QH", "qhd", 2, kFutures);
    AddKind(qh, "F", {{540, 690}, {810, 900}}, 480, 960);
    box.WriteMarketInfo({sh, qh});
    std::vector<STKINFO> stocks, contracts;
    std::vector<STKINFOEX> codes;
    for (int i = 0; i < kStocks; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "6%05d", i % 100000);
      stocks.push_back(MakeStock(0, 0, code, "stock"));
    }
    for (int i = 0; i < kFutures; ++i) {
      char code[16], full[16];
      std::snprintf(code, sizeof code, "C%02d", i % 100);
      std::snprintf(full, sizeof full, "CU24%02d", i % 100);
      contracts.push_back(MakeStock(1, 0, code, "contract"));
      codes.push_back(MakeStockEx(full));
    }
    box.WriteTable(sh, "nametbl", stocks);
    box.WriteTable(qh, "nametbl", contracts);
    box.WriteTable(qh, "nametble", codes);
    io = std::make_unique<TDataIO>(nullptr);
    blocks = std::make_unique<TBlockGroup>();
    DSINFO all{};
    std::memset(all.marketRights, 0xFF, sizeof all.marketRights);
    TakeOverRights(all);

    main = std::make_unique<TForm>(nullptr);
    main->SetBorderStyle(bsNone);
    main->SetClientSize(1600, 1000);
    page = new TMultiViewMain(main.get(), 1, "");
    harness.Pump();
    for (int i = 1; i < 10; ++i) {
      page->SplitPane(page->PaneAt(page->PaneCount() - 1)->m_node, nullptr, 0.5f, i % 2 ? 1 : 0);
    }
    std::vector<PaneNode *> nodes;
    for (int i = 0; i < page->PaneCount(); ++i) nodes.push_back(page->PaneAt(i)->m_node);
    for (size_t i = 0; i < nodes.size(); ++i) {
      VIEW_ATTR_13 attributes{};
      InitViewAttr(i % 2 ? VIEW_TYPE_KLINE : VIEW_TYPE_INTRADAY, &attributes);
      attributes.stock = STKPTR(0, 0, int(i));
      page->CreateView(nodes[i], &attributes, 0, 0)->m_layoutDone = 1;
    }
    harness.Pump();
    for (int i = 0; i < 50; ++i) AcquireDataAgent(STKPTR(0, 0, i), kAgentRecentTrades, 50, ChartWindow());

    TFrameLinks links;
    links.page = &page;
    links.indices = indices;
    links.quoteBoardBlock = &board;
    links.tickFirst = &tickFirst;
    links.orderStock = &orderStock;
    links.retryCounter = &retry;
    receivers.checkStopOrders = [this](uint32_t stock, const REALQUOTE &, const STKINFO &) {
      for (int s : stops) benchmark::DoNotOptimize(s + int(stock));
    };
    receivers.alarmsOn = [] { return true; };
    receivers.checkAlarm = [this](uint32_t stock, const REALQUOTE &) {
      for (int a : alarms) benchmark::DoNotOptimize(a + int(stock));
    };
    receivers.orderEntryLayout = [] { return 1; };
    receivers.updatePriceFields = [](uint32_t, const REALQUOTE &, const STKINFO &) {};
    receivers.indicesChanged = [] {};
    receivers.quoteBoardVisible = [] { return false; };
    receivers.quoteBoardCells = [] { return 200; };
    core = std::make_unique<TFrameCore>(links, receivers);
    indices[0].stock = 0;
    indices[1].stock = -1;
    indices[2].stock = 1;
  }
  ~World() {
    core.reset();
    FreeAllDataAgents();
    delete page;
    main.reset();
    ClearRights();
    blocks.reset();
    io.reset();
  }
};

// Quotes round the 400 instruments, 50 of which have a live series agent;
// the argument is the number of armed alarms, all on other instruments.
void BM_QuoteFanOut(benchmark::State &state) {
  World w;
  TAlarm alarms(false);
  for (int i = 0; i < state.range(0); ++i) {
    AlarmData item = NewAlarmItem(STKPTR(1, 0, i));
    item.priceHigh = 1.0f;
    alarms.AddAlarm(item);
  }
  w.receivers.alarmsOn = [] { return true; };
  w.receivers.checkAlarm = [&alarms](uint32_t stock, const REALQUOTE &quote) { alarms.CheckQuote(STKPTR(stock), quote); };
  TMarketData *market = MarketAt(0);
  std::vector<MFEVENTSLOT> events;
  for (int i = 0; i < kStocks; ++i) events.push_back(MFEVENTSLOT{STKPTR(0, 0, i).Word(), 0x81});
  size_t next = 0;
  g_newCalls = 0;
  g_heapCalls = 0;
  SetMallocRefusal([](int32_t) {
    ++g_heapCalls;
    return false;
  });
  g_countNew = true;
  for (auto _ : state) {
    const MFEVENTSLOT &event = events[next];
    market->m_quotes[next].last += 1;
    w.core->OnQuote(event, false);
    if (++next == events.size()) next = 0;
  }
  g_countNew = false;
  SetMallocRefusal(nullptr);
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs/quote"] = double(g_newCalls + g_heapCalls) / double(state.iterations());
  alarms.items.RemoveAll();
}
BENCHMARK(BM_QuoteFanOut)->Arg(0)->Arg(100);

// 100 posted messages the key preview does not treat, served by the loop
// without the hook (0) and with it (1).
void BM_UntreatedMessagesThroughTheHook(benchmark::State &state) {
  TForm form(nullptr);
  const HWND window = form.Handle();
  TKeyPreview preview{TKeyPreviewLinks{}};
  if (state.range(0)) Application()->SetOnMessage([&preview](MSG &msg, bool &handled) { preview.Hook(msg, handled); });
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) PostMessageA(window, WM_USER + 100, 0, 0);
    platform::ProcessPendingMessages();
  }
  Application()->SetOnMessage(nullptr);
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_UntreatedMessagesThroughTheHook)->Arg(0)->Arg(1);

// The subscription from all eight sources: 16 link contracts, 40 positions,
// 40 condition orders, 40 armed alarms, the ten views, 50 agents, the index
// slots and a quote board of 200 cells: 256 entries, the cap.
void BM_RecomputeSubscription(benchmark::State &state) {
  World w;
  w.receivers.linkSubscriptions = [](uint8_t (*records)[kLinkRecordSize], int max) {
    for (int i = 0; i < kFutures && i < max; ++i) {
      std::memset(records[i], 0, kLinkRecordSize);
      std::snprintf(reinterpret_cast<char *>(records[i]) + kLinkCodeOffset, 16, "CU24%02d", i % 100);
    }
    return kFutures;
  };
  const auto range = [](int first, int count) {
    return [first, count](TSubscriptionBuilder &b) {
      for (int i = 0; i < count; ++i) b.Add(0, 200 + first + i);
    };
  };
  w.receivers.positionStocks = range(0, 40);
  w.receivers.conditionOrderStocks = range(40, 40);
  w.receivers.armedAlarmStocks = range(80, 40);
  w.receivers.quoteBoardVisible = [] { return true; };
  w.board = 0;  // the stock market's own block
  const BLOCK *block = FindBlockById(0);
  int entries = 0;
  for (auto _ : state) {
    EArray<STKMS> list(384);
    TSubscriptionBuilder builder(list);
    w.core->BuildSubscription(builder);
    uint16_t count = 0;
    PrepareSubscription(list, nullptr, false, &count);
    entries = list.GetCount();
    benchmark::DoNotOptimize(list.GetData());
  }
  state.counters["entries"] = entries;
  state.counters["board members"] = block ? block->memberCount : 0;
}
BENCHMARK(BM_RecomputeSubscription)->Unit(benchmark::kMicrosecond);

// The stop engine over a book that never fires: 50 positions on the 16
// contracts with 100 stop entries between them, and 100 price-triggered
// condition orders, armed with both rights.
struct StopBookWorld {
  TTradeDesk desk;
  std::unique_ptr<TDeskAutomation> automation;
  explicit StopBookWorld(World &w) {
    desk.SetAccount("880001");
    std::filesystem::create_directories(w.box.Path("user/880001/stoporder"));
    std::vector<CContractInfo> table(kFutures);
    for (int i = 0; i < kFutures; ++i) {
      std::snprintf(table[size_t(i)].InstrumentID, 8, "CU24%02d", i % 100);
      table[size_t(i)].PriceTick = 1;
      table[size_t(i)].VolumeMultiple = 5;
      table[size_t(i)].Stock = STKPTR(1, 0, i);
    }
    desk.SetContracts(table.data(), kFutures);
    automation = std::make_unique<TDeskAutomation>(desk);
    automation->hooks.armed = [] { return true; };
    automation->hooks.rights = [] { return uint8_t(kRightStopOrders | kRightConditionOrders); };
    automation->hooks.journal = nullptr;
    for (int p = 0; p < 50; ++p) {
      InvestorPosition_Lite position{};
      std::memcpy(position.InstrumentID, table[size_t(p % kFutures)].InstrumentID, 7);
      position.PosiDirection = p % 2 ? '3' : '2';
      position.HedgeFlag = '1';
      position.Attribute = char(p / kFutures % 3);
      position.Volume = 10;
      position.Stock = STKPTR(1, 0, p % kFutures);
      desk.positions.Add(position);
    }
    for (int p = 0; p < 50; ++p) {
      InvestorPosition_Lite &position = desk.positions.GetData()[p];
      const bool isLong = position.PosiDirection == '2';
      for (int e = 0; e < 2; ++e)
        position.AddStop(desk.positions, 1 + e, isLong ? 1000.0 - e : 1e6 + e, 0, isLong ? 1e6 : 1000.0, 0, 0, 0);
    }
    for (int c = 0; c < 100; ++c) {
      ConditionOrder order;
      std::memset(static_cast<void *>(&order), 0, sizeof order);
      std::memcpy(order.InstrumentID, table[size_t(c % kFutures)].InstrumentID, 7);
      order.Direction = '0';
      order.OffsetFlag = '0';
      order.Ticks = 2;
      order.TriggerKind = 0;
      order.Volume = 1;
      order.TriggerPrice = 1e6;
      order.Stock = STKPTR(1, 0, c % kFutures);
      desk.conditions.Add(order);
    }
    // The first quote after the lists changed builds the engine's index;
    // built here, so that the figures are of the quotes that follow.
    automation->engine.CheckStopOrders(STKPTR(1, 0, 0), MarketAt(1)->m_quotes[0], MarketAt(1)->m_stocks[0]);
  }
  ~StopBookWorld() {
    ReleaseAllStops(desk);
    automation.reset();
  }
};

// Quotes round the 16 contracts, each a tick up, through one handler,
// counting the allocations.
template <typename Handle>
void RunFuturesQuotes(benchmark::State &state, Handle handle) {
  TMarketData *market = MarketAt(1);
  for (int i = 0; i < kFutures; ++i) market->m_quotes[i].last = 3000000;
  int next = 0;
  g_newCalls = 0;
  g_heapCalls = 0;
  SetMallocRefusal([](int32_t) {
    ++g_heapCalls;
    return false;
  });
  g_countNew = true;
  for (auto _ : state) {
    market->m_quotes[next].last += 1;
    handle(next, market->m_quotes[next], market->m_stocks[next]);
    if (++next == kFutures) next = 0;
  }
  g_countNew = false;
  SetMallocRefusal(nullptr);
  state.counters["allocs/quote"] = double(g_newCalls + g_heapCalls) / double(state.iterations());
}

// One quiet quote through the engine alone.
void BM_StopEngineQuietQuote(benchmark::State &state) {
  World w;
  StopBookWorld book(w);
  RunFuturesQuotes(state, [&book](int stock, const REALQUOTE &quote, const STKINFO &info) {
    book.automation->engine.CheckStopOrders(STKPTR(1, 0, stock), quote, info);
  });
  state.counters["tasks"] = book.desk.tasks.GetCount();
}
BENCHMARK(BM_StopEngineQuietQuote);

// The frame's fan-out of futures quotes without the engine (0) and with
// it over the quiet book (1), in the same run.
void BM_FuturesFanOutWithStopEngine(benchmark::State &state) {
  World w;
  StopBookWorld book(w);
  if (state.range(0))
    w.receivers.checkStopOrders = [&book](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
      book.automation->engine.CheckStopOrders(stock, quote, info);
    };
  RunFuturesQuotes(state, [&w](int stock, const REALQUOTE &, const STKINFO &) {
    w.core->OnQuote(MFEVENTSLOT{STKPTR(1, 0, stock).Word(), 0x81}, false);
  });
}
BENCHMARK(BM_FuturesFanOutWithStopEngine)->Arg(0)->Arg(1);

// The frame's whole fan-out of futures quotes with the local link as the
// program wires it (the stop engine hands every quote on first, nothing
// armed): no link (0), a link without a peer (1), and a peer subscribed to
// every quoted contract (2, a "QTE|" built and sent on loopback per quote).
void BM_FuturesFanOutWithLink(benchmark::State &state) {
  World w;
  w.box.WriteText("cfg/MktMerge.ini", "[Combo1]\nMarketNumber=1\nMarket1ID=1\nMarket1Time=480\n");
  CMarketMerger::Instance()->LoadDefault();
  WSADATA data;
  ws::WSAStartup(0x0202, &data);
  TTradeDesk desk;
  TDeskAutomation automation(desk);
  automation.hooks.linkSendQuote = [](STKPTR stock, const REALQUOTE &quote) { PttLinkSendQuote(stock, quote); };
  w.receivers.checkStopOrders = [&automation](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
    automation.engine.CheckStopOrders(stock, quote, info);
  };
  std::unique_ptr<testing_support::LinkPeerDouble> peer;
  bool ready = true;
  if (state.range(0) >= 1) {
    uint16_t port;
    {
      testing_support::LinkPeerDouble spare;
      port = spare.Port();
    }
    ready = PttLinkStart(nullptr, port);
  }
  if (ready && state.range(0) == 2) {
    peer = std::make_unique<testing_support::LinkPeerDouble>();
    peer->Target(PttLinkBoundPort());
    peer->Login(1);
    ready = !peer->ReceiveVerb("ACP|").empty();
    std::vector<std::string> codes;
    for (int i = 0; i < kFutures; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "CU24%02d", i);
      codes.push_back(code);
    }
    if (ready) peer->SendSubscriptions(codes);
  }
  if (!ready) {
    state.SkipWithError("no link");
  } else {
    TMarketData *market = MarketAt(1);
    int next = 0;
    int64_t sent = 0;
    for (auto _ : state) {
      market->m_quotes[next].last += 1;
      w.core->OnQuote(MFEVENTSLOT{STKPTR(1, 0, next).Word(), 0x81}, false);
      if (++next == kFutures) next = 0;
      // Keep the peer's receive buffer from filling.
      if (peer && ++sent % 256 == 0) {
        state.PauseTiming();
        while (!peer->Receive(0).empty()) {
        }
        state.ResumeTiming();
      }
    }
  }
  PttLinkStop();
  peer.reset();
  ws::WSACleanup();
  CMarketMerger::FreeInstance();
}
BENCHMARK(BM_FuturesFanOutWithLink)->Arg(0)->Arg(1)->Arg(2);

// A quote that moves one trailing stop a step: the stop file rewritten and
// the stop snapshot written.
void BM_StopEngineTrailingMove(benchmark::State &state) {
  World w;
  StopBookWorld book(w);
  InvestorPosition_Lite &position = book.desk.positions.GetData()[0];
  position.AddStop(book.desk.positions, 1, 2000, 1, 0, 3000, 0, 0);
  position.SortStops();
  TMarketData *market = MarketAt(1);
  market->m_quotes[0].last = 3000000;
  for (auto _ : state) {
    market->m_quotes[0].last += 1000;
    book.automation->engine.CheckStopOrders(STKPTR(1, 0, 0), market->m_quotes[0], market->m_stocks[0]);
  }
  state.counters["tasks"] = book.desk.tasks.GetCount();
}
BENCHMARK(BM_StopEngineTrailingMove)->Unit(benchmark::kMicrosecond);

// The keyboard-order panel of a login holding contract 0 of the futures
// market: price labels, word, the bar's mirror and a repaint per quote.
struct OrderPanelWorld {
  TTradeDesk desk;
  DeskUiRecorder ui;
  DeskHostRecorder host;
  TTradingDesk trading{desk, host, ui};
  TOrderBook book{desk, host};
  TOrderPanel panel{desk};
  TManualOrder manual{desk, panel, book, nullptr};
  TOrderEntry entry{trading, panel, manual};
  OrderPanelWorld() {
    std::vector<CContractInfo> table(kFutures);
    for (int i = 0; i < kFutures; ++i) {
      std::snprintf(table[size_t(i)].InstrumentID, 8, "CU24%02d", i % 100);
      table[size_t(i)].PriceTick = 1;
      table[size_t(i)].DefaultOpenVolume = 1;
      table[size_t(i)].Stock = STKPTR(1, 0, i);
    }
    desk.SetContracts(table.data(), kFutures);
    desk.options.Layout = 1;
    entry.SetOrderContract(STKPTR(1, 0, 0));
  }
};

// The panels on screen as the main window shows them: the trading window
// over a pane of a form, on its trading page.
struct OrderFormsWorld {
  TForm *form = new TForm(nullptr);
  TOwnerDrawPanel *pane = new TOwnerDrawPanel(form);
  std::unique_ptr<TTradingWindow> window;
  std::unique_ptr<TOrderPanelForms> forms;
  explicit OrderFormsWorld(OrderPanelWorld &panel) {
    form->SetClientSize(1000, 700);
    pane->SetParent(form);
    pane->SetAlign(alBottom);
    pane->SetHeight(300);
    window = std::make_unique<TTradingWindow>(pane, panel.trading);
    forms = std::make_unique<TOrderPanelForms>(*window, panel.entry, form);
    panel.trading.pageState = kPageTrading;
    form->Show();
    window->Layout();
    forms->Refresh();
    platform::ProcessPendingMessages();
  }
  ~OrderFormsWorld() {
    forms.reset();
    window.reset();
    delete form;
  }
};

// The frame's fan-out of the panel contract's quotes without trading
// receivers (0) and with the keyboard-order panel showing it (1: a repaint
// of one window stands for the panels'; 2: the panel controls on screen,
// as the main window wires them), in the same run.
void BM_FuturesFanOutWithOrderPanel(benchmark::State &state) {
  World w;
  OrderPanelWorld panel;
  std::unique_ptr<OrderFormsWorld> screen;
  if (state.range(0) == 1) {
    w.orderStock = STKPTR(1, 0, 0);
    w.receivers.updatePriceFields = [&panel](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
      if (panel.entry.UpdateQuotePrices(stock, quote, info)) InvalidateRect(ChartWindow(), nullptr, FALSE);
    };
  } else if (state.range(0) == 2) {
    screen = std::make_unique<OrderFormsWorld>(panel);
    w.orderStock = STKPTR(1, 0, 0);
    w.receivers.updatePriceFields = [&panel, &screen](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
      if (panel.entry.UpdateQuotePrices(stock, quote, info))
        screen->forms->RefreshQuotePrices(panel.entry.quoteTextsChanged);
    };
  }
  TMarketData *market = MarketAt(1);
  REALQUOTE &quote = market->m_quotes[0];
  quote.last = 3000000;
  quote.bid[0].price = 2999000;
  quote.ask[0].price = 3001000;
  const MFEVENTSLOT event{STKPTR(1, 0, 0).Word(), 0x81};
  w.core->OnQuote(event, false);
  g_newCalls = 0;
  g_heapCalls = 0;
  SetMallocRefusal([](int32_t) {
    ++g_heapCalls;
    return false;
  });
  g_countNew = true;
  uint32_t step = 0;
  for (auto _ : state) {
    step = step == 999 ? 0 : step + 1;
    quote.last = 3000000 + step * 1000;
    quote.ask[0].price = 3001000 + step * 1000;
    w.core->OnQuote(event, false);
  }
  g_countNew = false;
  SetMallocRefusal(nullptr);
  state.counters["allocs/quote"] = double(g_newCalls + g_heapCalls) / double(state.iterations());
  benchmark::DoNotOptimize(panel.entry.keyboard.buyLabel.size());
}
BENCHMARK(BM_FuturesFanOutWithOrderPanel)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
