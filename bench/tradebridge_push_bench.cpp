// The trading plug-in's push receiver turning pushed order states and fills
// into posted order returns, and list and report queries of 500 records
// through the simulated broker in this process.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/eautolock.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "plugin/requests.h"
#include "plugin/session.h"
#include "plugin/tradebridge.h"
#include "testing/plugin_session.h"
#include "testing/sim_broker_link.h"
#include "testing/temp_folder.h"

namespace {

using namespace tb;

HWND PushWindow() {
  static HWND hwnd = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "BenchPushNotify";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "BenchPushNotify", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }();
  return hwnd;
}

// Takes every posted notification and gives its block back; the number of
// notifications. *ended turns true when a notification of endCode comes
// that ends its query: a list's end mark, or any one of a report.
int Drain(uint32_t endCode = 0, bool *ended = nullptr, bool list = true) {
  int count = 0;
  MSG msg;
  while (PeekMessageA(&msg, PushWindow(), WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE)) {
    ++count;
    if (ended && (msg.wParam & 0xFFFF) == endCode && (!list || msg.lParam == 0)) *ended = true;
    if (msg.lParam) TraderDllFree(reinterpret_cast<void *>(msg.lParam));
  }
  return count;
}

std::string Record(const std::vector<std::pair<int, std::string>> &fields) {
  std::vector<std::string> all(42);
  for (const auto &[index, value] : fields) all[size_t(index)] = value;
  std::string record;
  for (const auto &field : all) {
    record += field;
    record += '|';
  }
  return record;
}

std::string State(int ref, char letter, int volume, int traded) {
  const std::string r = std::to_string(ref);
  return Record({{0, "P"}, {3, "16002"}, {7, "880001"}, {8, r}, {9, "SHFE"}, {11, "cu2402"},
                 {13, std::string(1, letter)}, {14, "msg"}, {15, "0"}, {17, "0"}, {18, "开仓"}, {19, "0"},
                 {21, std::to_string(volume)}, {22, "69000.000"}, {23, std::to_string(traded)},
                 {25, std::to_string(volume - traded)}, {26, "L" + r}, {29, "09:00:01"}, {41, "9" + r}});
}

std::string FillOf(int ref, int volume, int remaining) {
  const std::string r = std::to_string(ref);
  return Record({{0, "P"}, {3, "16005"}, {7, "880001"}, {8, "SHFE"}, {10, r}, {11, "p"}, {12, "成交"},
                 {13, "cu2402"}, {15, "0"}, {17, "0"}, {18, "开仓"}, {19, "0"}, {21, std::to_string(volume)},
                 {22, std::to_string(remaining)}, {23, "69010.000"}, {27, "L" + r}, {28, "T" + r},
                 {30, "09:00:02"}, {36, "9" + r}});
}

// 10,000 pushed records: 1,000 orders of 4 lots, each accepted, filled a lot
// at a time with the order's state after each fill, and its acceptance
// pushed once more after it is complete.
void BM_PushedStatesToOrderReturns(benchmark::State &state) {
  std::vector<std::string> records;
  for (int order = 0; order < 1000; ++order) {
    const int ref = 100000 + order;
    records.push_back(State(ref, 'a', 4, 0));
    for (int lot = 1; lot <= 4; ++lot) {
      records.push_back(FillOf(ref, 1, 4 - lot));
      records.push_back(State(ref, lot < 4 ? 'p' : 'c', 4, lot));
    }
    records.push_back(State(ref, 'a', 4, 0));
  }
  auto session = CreateSession();
  if (!session) {
    state.SkipWithError("no session");
    return;
  }
  session->window = PushWindow();
  session->message = WM_TRADE_NOTIFY;
  strcpy(session->account, "880001");
  strcpy(session->tradeDate, "20240115");
  session->live.store(true);
  int posted = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < records.size(); ++i) {
      HandlePushRecord(*session, records[i].data(), int(records[i].size()));
      if (i % 100 == 99) posted += Drain();
    }
    posted += Drain();
    EAutoLock lock(&session->orderMapLock);
    session->ClearOrders();
  }
  session->live.store(false);
  state.counters["posted"] = benchmark::Counter(double(posted) / double(state.iterations()));
  state.SetItemsProcessed(state.iterations() * int64_t(records.size()));
}
BENCHMARK(BM_PushedStatesToOrderReturns)->Unit(benchmark::kMillisecond);

std::string FiveHundred() {
  std::string script = sim::SimBroker::DefaultScript();
  for (int i = 0; i < 500; ++i) {
    char lines[512];
    snprintf(lines, sizeof lines,
             "contract SHFE c%d price=1000 delivery=2405\n"
             "position 880001 c%d long=%d short=%d price=999\n"
             "money 880001 date=20240112 serial=%d deposit=100 summary=入金 bank=工商银行\n",
             1000 + i, 1000 + i, i % 7 + 1, i % 3, i);
    script += lines;
  }
  return script;
}

// One query's routine run on this thread (the worker stays idle): the
// broker's answers read, the records posted or the report file written.
// Taking the notifications and giving their blocks back is the terminal's
// part and is not timed.
void RunQuery(benchmark::State &state, void (*routine)(Session &), const char *from = "", const char *to = "") {
  testing_support::SimBrokerLink link(FiveHundred());
  const auto folder = std::filesystem::current_path();
  const std::string temp = testing_support::MakeTempFolder("kivo-bench");
  std::filesystem::current_path(temp);
  auto session = testing_support::OpenSimSession(PushWindow());
  if (!session) {
    state.SkipWithError("no session");
  } else {
    snprintf(session->slot.text[0], sizeof session->slot.text[0], "%s", from);
    snprintf(session->slot.text[1], sizeof session->slot.text[1], "%s", to);
    int posted = 0;
    for (auto _ : state) {
      routine(*session);
      state.PauseTiming();
      posted = Drain();
      link.Broker().ClearRecordedLines();
      state.ResumeTiming();
    }
    state.counters["posted"] = posted;
  }
  session.reset();
  EndSession();
  std::filesystem::current_path(folder);
  std::filesystem::remove_all(temp);
}

// 500 positions (two sides of some), posted one record each.
void BM_PositionQueryOf500(benchmark::State &state) { RunQuery(state, PositionsRoutine); }
BENCHMARK(BM_PositionQueryOf500)->Unit(benchmark::kMillisecond);

// 500 money movements written to the report file.
void BM_MoneyReportOf500(benchmark::State &state) { RunQuery(state, MoneyHistoryRoutine, "20240101", "20240115"); }
BENCHMARK(BM_MoneyReportOf500)->Unit(benchmark::kMillisecond);

}  // namespace
