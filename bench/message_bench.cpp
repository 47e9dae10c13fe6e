#include <benchmark/benchmark.h>

#include "platform/winuser.h"

namespace {

int64_t g_handled = 0;

LRESULT Counting(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) {
    ++g_handled;
    return LRESULT(wParam);
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CountingWindow() {
  static HWND hwnd = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Counting;
    wc.lpszClassName = "BenchCounting";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "BenchCounting", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }();
  return hwnd;
}

// Posted messages handed out by the GUI thread's loop, in batches as a busy
// quote stream would queue them.
void BM_PostedMessagesDispatched(benchmark::State &state) {
  HWND hwnd = CountingWindow();
  const int batch = int(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < batch; ++i) PostMessageA(hwnd, WM_USER, WPARAM(i), 0);
    platform::ProcessPendingMessages();
  }
  state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostedMessagesDispatched)->Arg(1000)->Arg(100000);

void BM_SameThreadSend(benchmark::State &state) {
  HWND hwnd = CountingWindow();
  WPARAM i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageA(hwnd, WM_USER, ++i, 0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SameThreadSend);

}  // namespace
