// The trading plug-in: one request from the export through the request
// worker, the broker library stand-in and the simulated broker in this
// process, back as a posted notification; and the answer field splitter.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "platform/messages.h"
#include "platform/winuser.h"
#include "plugin/brokerstr.h"
#include "plugin/session.h"
#include "plugin/tradebridge.h"
#include "testing/sim_broker_link.h"

namespace {

using namespace tb;

HWND NotifyWindow() {
  static HWND hwnd = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "BenchTradeNotify";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "BenchTradeNotify", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }();
  return hwnd;
}

// A one-answer request and one posted record, as the margin-monitoring query
// makes them.
void CfmmcRoutine(Session &session) {
  RequestLine line(6056, session.Head());
  char answer[kAnswerSize], error[kErrorTextSize];
  const int result = SendRequest(session, line, 0, answer, error);
  session.SignalReady();
  if (result != 0) {
    session.PostText(TN_CFMMC, error);
    return;
  }
  auto *record = static_cast<TB_CFMMC *>(session.AllocBlock());
  if (record) {
    AnswerReader reader(answer);
    reader.At(5, record->CompanyID);
    record->KeyID = reader.AtInt(6);
  }
  session.PostBlock(TN_CFMMC, record);
}

std::shared_ptr<Session> OpenSession() {
  auto session = CreateSession();
  if (!session) return nullptr;
  session->window = NotifyWindow();
  session->message = WM_TRADE_NOTIFY;
  strcpy(session->account, "880001");
  strcpy(session->password, "111111");
  strcpy(session->clientTag, "other#C#");
  ReadAdapterAddress(session->adapter);
  if (!BindBrokerLibrary(session->broker)) return nullptr;
  session->broker.InitSystem(1);
  session->broker.Start();
  RequestLine line(6011, session->Head());
  line.Add("127.0.0.1").Add("1").Add("1");
  char answer[kAnswerSize];
  if (session->broker.Open("0001", "127.0.0.1", 17001, 0, "", 0, "", "", line.Line(), answer) != 0) return nullptr;
  return StartSession(session) ? session : nullptr;
}

void BM_RequestToPostedNotification(benchmark::State &state) {
  testing_support::SimBrokerLink link;
  SetRequestRoutine(TR_CFMMC, CfmmcRoutine);
  if (!OpenSession()) {
    state.SkipWithError("no session");
    return;
  }
  HWND hwnd = NotifyWindow();
  for (auto _ : state) {
    QueryCFMMC();
    MSG msg;
    while (!PeekMessageA(&msg, hwnd, WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE)) {
    }
    TraderDllFree(reinterpret_cast<void *>(msg.lParam));
  }
  EndSession();
  SetRequestRoutine(TR_CFMMC, nullptr);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RequestToPostedNotification)->UseRealTime();

// A 4096-byte answer of 300 fields, read field by field.
void BM_SplitFieldAnswer(benchmark::State &state) {
  std::string answer;
  for (int i = 0; answer.size() < kAnswerSize - 1; ++i) {
    std::string field = i % 3 == 0 ? " 白糖\x81\x7C期货 " : "12345.678";
    field.resize(12, 'x');
    answer += field;
    answer += '|';
    if (i == 298) break;
  }
  answer.resize(kAnswerSize - 1, 'y');
  int fields = 0;
  for (auto _ : state) {
    char out[kSkipWidth];
    const char *at = answer.c_str();
    fields = 0;
    while (*at) {
      at = SplitField(at, out, sizeof out);
      benchmark::DoNotOptimize(out);
      ++fields;
    }
  }
  state.counters["fields"] = fields;
  state.SetBytesProcessed(state.iterations() * int64_t(answer.size()));
}
BENCHMARK(BM_SplitFieldAnswer);

}  // namespace
