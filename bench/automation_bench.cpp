// The desk's automation: sending 50 open-trigger orders through the
// trading plug-in to the simulated broker in this process (the walk
// announced in the firing journal, each answer added to it, the file
// rewritten once at the end) against the same plug-in's bare order call,
// the rewrite on its own,
// and filling the after-login check list of 100 stop entries, 100
// condition orders and 50 open-trigger orders.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "market/dataio5.h"
#include "market/merger.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "plugin/session.h"
#include "plugin/tradebridge.h"
#include "testing/futures_desk.h"
#include "testing/msgbox_recorder.h"
#include "testing/plugin_session.h"
#include "testing/sim_broker_link.h"
#include "testing/stopstore_standin.h"
#include "trading/checklist.h"
#include "trading/conditionorders.h"
#include "trading/deskdata.h"
#include "trading/deskui.h"
#include "trading/firingjournal.h"
#include "trading/orderbook.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"

namespace {

HWND AutomationNotifyWindow() {
  static HWND hwnd = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "BenchAutomationNotify";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "BenchAutomationNotify", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                           nullptr);
  }();
  return hwnd;
}

// The plug-in's notifications of the sends, returned to it.
void AutomationDrain() {
  MSG msg;
  while (PeekMessageA(&msg, AutomationNotifyWindow(), WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE)) {
    const uint32_t code = uint32_t(msg.wParam) & 0xFFFF, high = uint32_t(msg.wParam) >> 16;
    const bool block = code == tb::TN_ORDER_RETURN || (code == 22 && high != 1);
    if (msg.lParam && block) TraderDllFree(reinterpret_cast<void *>(msg.lParam));
  }
}

// The account's desk without a market: the sends and the check list need
// none.
struct AutomationDesk : FuturesDeskWorld {
  MessageBoxRecorder boxes;
  AutomationDesk() : FuturesDeskWorld(0) {}
};

// The default broker with funds for every order the runs send.
std::string AutomationScript() {
  std::string script = sim::SimBroker::DefaultScript();
  const size_t at = script.find("balance=500000");
  if (at != std::string::npos) script.replace(at, 14, "balance=900000000000");
  return script;
}

int AutomationInsert(char *contract, char *exchange, double price, int volume, char direction, char offset,
                     char hedge, char *ref, char *text) {
  return OrderInsert(contract, exchange, price, volume, direction, offset, hedge, ref, text);
}

void BM_BareOrderInsert(benchmark::State &state) {
  testing_support::SimBrokerLink link(AutomationScript());
  if (!testing_support::OpenSimSession(AutomationNotifyWindow())) return state.SkipWithError("no session");
  char contract[] = "m2405", exchange[] = "DCE";
  int refused = 0;
  for (auto _ : state) {
    char ref[16] = {}, text[1024] = {};
    refused += AutomationInsert(contract, exchange, 3300, 1, '0', '0', '1', ref, text) != 0;
    state.PauseTiming();
    AutomationDrain();
    state.ResumeTiming();
  }
  tb::EndSession();
  AutomationDrain();
  if (refused) state.SkipWithError("orders were refused");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareOrderInsert)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ExecutePendingOrders50(benchmark::State &state) {
  testing_support::SimBrokerLink link(AutomationScript());
  if (!testing_support::OpenSimSession(AutomationNotifyWindow())) return state.SkipWithError("no session");
  AutomationDesk world;
  TOrderBook book(world.data, world.host);
  TPendingOrders pending(world.data, book);
  TFiringJournal journal(world.data);
  // Argument 1: as the terminal sends them, with the journal; 0: without
  // it, the file rewritten after each send instead.
  if (state.range(0)) pending.journal = &journal;
  pending.armed = [] { return true; };
  const TradePluginApi saved = TradePlugin;
  TradePlugin.OrderInsert = AutomationInsert;
  for (auto _ : state) {
    state.PauseTiming();
    AutomationDrain();
    world.data.orders.RemoveAll();
    for (int i = 0; i < 50; ++i)
      world.data.orders.Add(MakePendingOrder(world.data, "DCE", "m2405", '0', '0', '1', 3300, 1));
    SavePendingOrders(world.data, nullptr);
    state.ResumeTiming();
    pending.Execute(nullptr);
  }
  // Every send accepted: nothing kept for the next opening and no error box.
  if (HasPendingOrders(world.data) || world.boxes.Count() != 0) state.SkipWithError("orders were refused");
  TradePlugin = saved;
  tb::EndSession();
  AutomationDrain();
  state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_ExecutePendingOrders50)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// The rewrite after a send alone: 25 orders left in "Pending.dat".
void BM_SavePendingOrders25(benchmark::State &state) {
  AutomationDesk world;
  for (int i = 0; i < 25; ++i)
    world.data.orders.Add(MakePendingOrder(world.data, "DCE", "m2405", '0', '0', '1', 3300, 1));
  for (auto _ : state) benchmark::DoNotOptimize(SavePendingOrders(world.data, nullptr));
}
BENCHMARK(BM_SavePendingOrders25)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_FillCheckList(benchmark::State &state) {
  AutomationDesk world;
  TAutomationHooks hooks;
  TConditionOrders conditions(world.data, hooks);
  TAutomationCheckList list(world.data, conditions);
  std::vector<StopOrder> entries(100);
  std::vector<StopOrderPointer> holders(20);
  for (int p = 0; p < 20; ++p) {
    for (int e = 0; e < 5; ++e)
      entries[size_t(p * 5 + e)] =
          StopOrder{0, CTime32(), e + 1, e < 4 ? &entries[size_t(p * 5 + e + 1)] : nullptr, 3000.0 - e, 5, 3100, 0, 0, 0};
    holders[size_t(p)] = StopOrderPointer{&entries[size_t(p * 5)], 1};
    InvestorPosition_Lite position{};
    snprintf(position.InstrumentID, sizeof position.InstrumentID, "M%u", unsigned(2401 + p) % 10000);
    position.PosiDirection = '2', position.HedgeFlag = '1', position.Volume = 15;
    position.Stops = &holders[size_t(p)];
    world.data.positions.Add(position);
  }
  for (int i = 0; i < 100; ++i) {
    ConditionOrder c;
    memset(static_cast<void *>(&c), 0, sizeof c);
    strcpy(c.InstrumentID, "M2401");
    c.Direction = '0', c.OffsetFlag = '0', c.HedgeFlag = '1';
    c.TriggerKind = int8_t(i % 4), c.PriceKind = int8_t(i % 2 ? 1 : 2), c.Volume = 1, c.TriggerPrice = 3500;
    world.data.conditions.Add(c);
  }
  for (int i = 0; i < 50; ++i)
    world.data.orders.Add(MakePendingOrder(world.data, "DCE", "M2401", '0', '0', '1', 3500, 1));
  for (auto _ : state) {
    list.Fill();
    benchmark::DoNotOptimize(list.rows.data());
  }
  state.counters["rows"] = double(list.rows.size());
}
BENCHMARK(BM_FillCheckList)->Unit(benchmark::kMicrosecond);

}  // namespace
