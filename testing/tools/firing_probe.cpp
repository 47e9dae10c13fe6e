// The crash probe of automatic orders: a headless desk with its stop engine,
// condition orders, firing journal and task queue, logged in through the
// trading plug-in to the simulator program on 127.0.0.1, arms one item and
// fires it; at the named point the process ends at once with _Exit, as a
// crash ends it, leaving its files as they are. Run again with "restart" on
// the same folder, it comes back from the files and the broker's order list,
// reconciles, and repeats the item's trigger once.
//
//   firing_probe ROOT PORT ITEM POINT
//     ITEM   stop | trailing | profit | price | time | open | pending
//            (pending: three open-trigger orders sent in one walk, the
//            first two alike but for the price)
//     POINT  intent    the intent is written, the item not yet consumed
//            itemfile  the item's file is rewritten, the task queued
//            stored    inside the order call, once ROOT/exit appears (the
//                      test makes it while the broker holds its answer)
//            returned  the order call has returned and the journal knows
//            walk1     pending only: the walk's intents are written, the
//                      first order not yet sent
//            walk2     pending only: the broker took the second order,
//                      the process ends before it hears so
//            walk3     pending only: two orders answered, the third not
//                      yet sent
//            restart   the second run
//            status6   no crash: with the close task waiting for its fill
//                      the link breaks (ROOT/broken is made when the probe
//                      hears so) and comes back; the lists are asked again,
//                      the journal reconciled and the trigger repeated
//
// Exit codes: 3 ended at the point; 0 the run ended (its findings on the
// output); 1 the set-up failed (the reason on the error output).
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/datetime.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "market/rights.h"
#include "platform/clock.h"
#include "platform/iphlpapi.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "plugin/session.h"
#include "plugin/tradebridge.h"
#include "testing/desk_ui_recorder.h"
#include "testing/market_fixture_min.h"
#include "testing/plugin_session.h"
#include "testing/quote_replay.h"
#include "trading/deskautomation.h"
#include "trading/deskdata.h"
#include "trading/orderbook.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"
#include "trading/taskqueue.h"
#include "trading/tradedesk.h"

namespace {

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;

constexpr int32_t kProbeTradeDate = 20240115;
constexpr int kProbeCrashed = 3;

std::string ProbeRoot, ProbeItem, ProbePoint;
int ProbeOrderCalls = 0;

[[noreturn]] void ProbeCrash() {
  std::fflush(stdout);
  std::_Exit(kProbeCrashed);
}

int ProbeFail(const char *why) {
  std::fprintf(stderr, "firing_probe: %s\n", why);
  std::fflush(stderr);
  std::_Exit(1);
}

// The plug-in's order call; at "stored" the process ends while the call
// waits for the broker's held answer.
int ProbeOrderInsert(char *contract, char *exchange, double price, int volume, char direction, char offset,
                     char hedge, char *orderRef, char *errorText) {
  ++ProbeOrderCalls;
  if ((ProbePoint == "walk1" && ProbeOrderCalls == 1) || (ProbePoint == "walk3" && ProbeOrderCalls == 3))
    ProbeCrash();
  if (ProbePoint == "walk2" && ProbeOrderCalls == 2) {
    ::OrderInsert(contract, exchange, price, volume, direction, offset, hedge, orderRef, errorText);
    ProbeCrash();
  }
  if (ProbePoint == "stored") {
    std::thread([] {
      const std::filesystem::path mark = std::filesystem::path(ProbeRoot) / "exit";
      for (;;) {
        if (std::filesystem::exists(mark)) ProbeCrash();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }).detach();
  }
  return ::OrderInsert(contract, exchange, price, volume, direction, offset, hedge, orderRef, errorText);
}

HWND ProbeWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "FiringProbeNotify";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "FiringProbeNotify", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// Today's orders the broker holds, into the desk's array.
bool ProbeLoadOrders(TTradeDesk &data, HWND window) {
  if (::QueryOrder(1) != 0) return false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until) {
    MSG msg;
    if (!PeekMessageA(&msg, window, WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    if ((msg.wParam & 0xFFFF) != tb::TN_ORDERS) continue;  // pushed returns: not needed here
    if ((msg.wParam >> 16) != 0) return false;
    if (!msg.lParam) return true;
    data.orders.Add(*reinterpret_cast<const CKivoOrderField *>(msg.lParam));
    ::TraderDllFree(reinterpret_cast<void *>(msg.lParam));
  }
  return false;
}

// Waits for the link state the plug-in reports (-1 broken, 1 connected).
bool ProbeAwaitLink(HWND window, LPARAM state) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < until) {
    MSG msg;
    if (!PeekMessageA(&msg, window, WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    if ((msg.wParam & 0xFFFF) == tb::TN_CONNECTION_STATE && msg.lParam == state) return true;
  }
  return false;
}

ConditionOrder ProbeCondition(int8_t kind) {
  ConditionOrder c;
  memset(static_cast<void *>(&c), 0, sizeof c);
  strcpy(c.InstrumentID, "M2401");
  c.Direction = '0';
  c.OffsetFlag = '0';
  c.HedgeFlag = '1';
  c.Ticks = 1;
  c.TriggerKind = kind;
  c.PriceKind = 1;
  c.Volume = 1;
  c.TriggerPrice = 3500;
  if (kind == 3) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const CTime32 at(now);
    memcpy(static_cast<void *>(&c.TriggerPrice), &at, sizeof at);
  }
  c.Stock = STKPTR(1, 0, 0);
  return c;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 5) return ProbeFail("usage: firing_probe ROOT PORT ITEM POINT");
  ProbeRoot = argv[1];
  const int port = atoi(argv[2]);
  ProbeItem = argv[3];
  ProbePoint = argv[4];
  const bool restart = ProbePoint == "restart";
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::InitGuiThread();
  platform::SetFixedAdapters({{"eth0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}});

  // The market: a stock market, then the day futures market (1) with
  // M2401 as its stock 0.
  market_fixture::MarketSandbox box(ProbeRoot);
  MKINFO sh = MakeMarket("SH", "shd", 1, 4);
  AddKind(sh, "A股", {{570, 690}, {780, 900}}, 540, 960);
  MKINFO dl = MakeMarket("DL", "dlf", 2, 4);
  AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
  box.WriteMarketInfo({sh, dl});
  box.WriteTable(sh, "nametbl", std::vector<STKINFO>{MakeStock(0, 0, "600000", "浦发")});
  box.WriteTable(dl, "nametbl", std::vector<STKINFO>{MakeStock(1, 0, "M01", "豆粕")});
  box.WriteTable(dl, "nametble", std::vector<STKINFOEX>{MakeStockEx("M2401")});
  TDataIO io(nullptr);
  CMarketMerger::Instance()->LoadDefault();
  std::filesystem::create_directories(box.Path("user/880001/stoporder"));

  TTradeDesk data;
  data.SetAccount("880001");
  data.serverMinute = [] { return 2 * 60; };
  data.options.StopTrigger = 1;
  data.options.StopTriggerP = 1;
  data.options.StopTriggerMethodP = 0;
  CContractInfo m{};
  strcpy(m.InstrumentID, "M2401");
  strcpy(m.ExchangeID, "DCE");
  m.PriceTick = 0.2;
  m.VolumeMultiple = 10;
  m.DefaultOpenVolume = 1;
  m.Stock = STKPTR(1, 0, 0);
  data.SetContracts(&m, 1);
  InvestorPosition_Lite held{};
  memset(static_cast<void *>(&held), 0, sizeof held);
  strcpy(held.InstrumentID, "M2401");
  held.PosiDirection = '2';
  held.HedgeFlag = '1';
  held.Volume = 2;
  held.OpenAverage = 3500;
  held.Stock = STKPTR(1, 0, 0);
  data.positions.Add(held);

  DeskUiRecorder ui;
  DeskHostRecorder host;
  TTradingDesk desk(data, host, ui);
  TOrderBook book(data, host);
  TTaskQueue queue(desk, book, host);
  TDeskAutomation automation(data);
  automation.hooks.armed = [] { return true; };
  automation.hooks.rights = [] { return uint8_t(kRightStopOrders | kRightConditionOrders); };
  automation.engine.tradeDate = [] { return kProbeTradeDate; };
  automation.conditions.tradeDate = [] { return kProbeTradeDate; };
  automation.journal.tellFailure = [](const char *text) { std::fprintf(stderr, "firing_probe: %s\n", text); };
  automation.journal.onRecorded = [](int32_t) {
    if (ProbePoint == "intent") ProbeCrash();
  };
  automation.hooks.startOrderScripts = [&queue] {
    if (ProbePoint == "itemfile") ProbeCrash();
    queue.StartOrderScripts();
  };
  automation.hooks.runOrderScripts = [&queue] {
    if (ProbePoint == "itemfile") ProbeCrash();
    queue.RunOrderScripts();
  };
  queue.onOrderInsert = [&automation](const TTaskInsert &sent) {
    automation.OnOrderInsert(*sent.task, sent.result, sent.orderRef, sent.text);
    if (ProbePoint == "returned") ProbeCrash();
  };

  HWND window = ProbeWindow();
  auto session = testing_support::OpenSimSession(window, port);
  if (!session) return ProbeFail("no session with the broker");
  memset(static_cast<void *>(&TradePlugin), 0, sizeof TradePlugin);
  TradePlugin.OrderInsert = ProbeOrderInsert;

  TQuoteReplay replay(STKPTR(1, 0, 0));
  replay.receiver = [&automation](STKPTR s, const REALQUOTE &q, const STKINFO &i) {
    automation.engine.CheckStopOrders(s, q, i);
  };
  replay.Reset();
  auto quote = [&replay](double last) { replay.Apply(last, last - 0.2, last + 0.2); };
  const bool stopItem = ProbeItem == "stop" || ProbeItem == "trailing" || ProbeItem == "profit";
  const bool pendingItem = ProbeItem == "pending";
  TPendingOrders pending(data, book);
  pending.journal = &automation.journal;
  pending.armed = [] { return true; };

  if (restart) {
    // The program comes back: the broker's orders, the condition orders,
    // the complete position list with its stops and the journal.
    if (!ProbeLoadOrders(data, window)) return ProbeFail("no order list");
    automation.conditions.LoadConditionOrders(kProbeTradeDate);
    automation.PositionsComplete(kProbeTradeDate);
  } else {
    InvestorPosition_Lite &p = data.positions.GetData()[0];
    if (ProbePoint == "status6") data.options.TimeOutS = 30;  // the task waits for its fill
    if (ProbeItem == "stop") p.AddStop(data.positions, 2, 3500, 0, 0, 0, 0, 0);
    if (ProbeItem == "trailing") p.AddStop(data.positions, 2, 3490, 10, 0, 3500, 0, 0);
    if (ProbeItem == "profit") p.AddStop(data.positions, 2, 0, 0, 3600, 0, 0, 0);
    if (stopItem) SaveStopOrders(data, nullptr, false);
    if (pendingItem) {
      const double prices[] = {3500, 3499.8, 3499.6};
      for (int i = 0; i < 3; ++i)
        data.orders.Add(MakePendingOrder(data, "DCE", "M2401", '0', '0', '1', prices[i], i < 2 ? 1 : 2));
      if (!SavePendingOrders(data, nullptr)) return ProbeFail("no Pending.dat");
    } else if (!stopItem) {
      data.conditions.Add(ProbeCondition(ProbeItem == "price" ? 1 : ProbeItem == "time" ? 3 : 2));
      automation.conditions.SaveConditionOrders();
    }
    if (ProbeItem == "trailing") quote(3520);  // the stop trails to 3510
  }

  // The item's trigger; open-trigger orders go when the login is confirmed.
  if (pendingItem) {
    if (restart) pending.Load(true);
    pending.Execute(nullptr);
    std::printf("pending %i ", int(HasPendingOrders(data)));
  }
  if (ProbeItem == "stop" || ProbeItem == "price") quote(3495);
  if (ProbeItem == "trailing") quote(3450);
  if (ProbeItem == "profit") quote(3600);
  if (ProbeItem == "time" || ProbeItem == "open") {
    quote(3500);  // a book to price the order from
    if (ProbeItem == "time") automation.conditions.CheckTimeConditionOrders();
    if (ProbeItem == "open") automation.conditions.TriggerOpenConditionOrders("DCE");
  }
  if (ProbePoint == "status6") {
    if (data.tasks.GetCount() != 1 || !data.tasks.GetData()[0].OrderRef[0])
      return ProbeFail("the close task is not waiting for its fill");
    if (!ProbeAwaitLink(window, -1)) return ProbeFail("the link never broke");
    std::ofstream(std::filesystem::path(ProbeRoot) / "broken") << "";
    if (!ProbeAwaitLink(window, 1)) return ProbeFail("the link never came back");
    // The reconnection's refresh: orders, then the complete position list.
    data.orders.RemoveAll();
    if (!ProbeLoadOrders(data, window)) return ProbeFail("no order list");
    automation.PositionsComplete(kProbeTradeDate);
    quote(3495);
    std::printf("stops %i ", int(data.positions.GetData()[0].StopCount()));
  } else if (!restart) {
    return ProbeFail("the item did not fire");
  }

  std::printf("tasks %i intents %zu\n", int(data.tasks.GetCount()), automation.journal.Intents().size());
  std::fflush(stdout);
  // Nothing else to tear down: the broker keeps what it got.
  std::_Exit(0);
}
