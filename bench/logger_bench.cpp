// The logger library under load: 100,000 records from 4 threads into one
// daily file, as the terminal and the plug-in write a busy trading day.
// Every run's file is read back once: each record whole, numbered, and in
// order per thread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/netutil.h"
#include "testing/temp_folder.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRecords = 100000;

bool Whole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<int> next(kThreads, 0);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    int t = -1, i = -1;
    unsigned long long number = 0;
    char time[16];
    int code = 0;
    if (std::sscanf(line.c_str(), "%llu|%12[0-9:.]|%d|0|t%d|%d", &number, time, &code, &t, &i) != 5) return false;
    if (number != unsigned(count + 1) || t < 0 || t >= kThreads || i != next[size_t(t)]++) return false;
    ++count;
  }
  return count == kRecords;
}

void BM_LoggerFourThreads(benchmark::State &state) {
  if (BindLoggerLibrary() != 1) {
    state.SkipWithError("no logger library");
    return;
  }
  const std::string folder = testing_support::MakeTempFolder("kivo-logbench");
  const std::string path = folder + "/day.phl";
  bool checked = false;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
    uint32_t handle = 0;
    if (KvLogger.Open(path.c_str(), 1, &handle) != 0) {
      state.SkipWithError("open failed");
      break;
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([handle, t] {
        char text[48];
        for (int i = 0; i < kRecords / kThreads; ++i) {
          std::snprintf(text, sizeof text, "0|t%d|%d|CU2405|3456.000", t, i);
          KvLogger.Log(handle, 3011, text, 0, 0);
        }
      });
    for (auto &th : threads) th.join();
    KvLogger.Close(handle);
    if (!checked) {
      state.PauseTiming();
      if (!Whole(path)) state.SkipWithError("records were lost, cut or out of order");
      checked = true;
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoggerFourThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
