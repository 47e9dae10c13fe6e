// The ranking view re-ranking its nine panels from the six answers over a
// block of 7,168 instruments, and the news view loading a "news.ntl" of
// 5,000 records and showing its first screen of headlines.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/newsindex.h"
#include "testing/report_world.h"
#include "testing/view_harness.h"
#include "views/intesort.h"
#include "views/msgform.h"

namespace {

constexpr int kInstruments = 7168;

void BM_RankNinePanels(benchmark::State &state) {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world(kInstruments);
  std::mt19937 random(11);
  for (int s = 0; s < kInstruments; ++s) {
    world.PutQuote(4, s);
    world.Quote(4, s).last = 9000 + random() % 2000;
  }
  // The six answers: records of 11 bytes, 15 for kind 3, 8 for kind 5.
  const int sizes[7] = {0, 11, 11, 15, 11, 8, 11};
  for (int kind = 1; kind <= 6; ++kind) {
    std::string bytes;
    for (int s = 0; s < kInstruments; ++s) {
      uint8_t r[15] = {4, uint8_t(s), uint8_t(s >> 8)};
      const float a = float(900 + random() % 200) / 10, b = float(950 + random() % 100) / 10, c = 100;
      std::memcpy(r + 3, &a, 4);
      std::memcpy(r + 7, &b, 4);
      std::memcpy(r + 11, &c, 4);
      bytes.append(reinterpret_cast<char *>(r), size_t(sizes[kind]));
    }
    world.Box().Write("rank" + std::to_string(kind) + ".tmp", bytes.data(), bytes.size());
  }
  TRankingCore core;
  core.SetRowsPerPanel(20);
  if (!core.SetBlock(4) || core.count != kInstruments) {
    state.SkipWithError("no block of 7168 instruments");
    return;
  }
  for (auto _ : state) {
    for (int kind = 1; kind <= 6; ++kind) {
      const std::string path = "..\\rank" + std::to_string(kind) + ".tmp";
      core.LoadRankingFile(kind, path.c_str());
    }
    benchmark::DoNotOptimize(core.panels[8].rows.GetCount());
  }
}
BENCHMARK(BM_RankNinePanels)->Unit(benchmark::kMillisecond);

void BM_LoadNewsAndShowTheFirstScreen(benchmark::State &state) {
  testing_support::ViewHarness harness;
  testing_support::ReportWorld world;
  std::string bytes = "kvni01";
  for (uint32_t i = 0; i < 5000; ++i) {
    NEWSREC r{};
    r.typeAndRead = (1 + i % 5) << 1 | (i % 7 == 0 ? 1 : 0);
    r.dateTime = (240100 + 1 + i / 400) | (900 + i % 60) << 20;
    r.id = 100000 + i;
    std::snprintf(r.title, sizeof r.title, "第%u条新闻：铜价与铝价走势分析", i);
    bytes.append(reinterpret_cast<const char *>(&r), sizeof r);
  }
  world.Box().Write("data/info/news.ntl", bytes.data(), bytes.size());
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 640, 480);
  auto *list = new TListBox(form.get());
  list->SetParent(form.get());
  list->SetAlign(alClient);
  form->Show();
  harness.Pump();
  TNewsListCore core;
  for (auto _ : state) {
    TNewsIndex index;
    index.Load();
    core.Fill(&index, 0, nullptr, nullptr, true, false);
    list->Items()->BeginUpdate();
    list->Clear();
    for (const NewsLine &line : core.lines) list->Items()->Add(line.text);
    list->Items()->EndUpdate();
    list->Repaint();
    benchmark::DoNotOptimize(core.lines.size());
  }
  state.counters["lines"] = double(core.lines.size());
}
BENCHMARK(BM_LoadNewsAndShowTheFirstScreen)->Unit(benchmark::kMillisecond);

}  // namespace
